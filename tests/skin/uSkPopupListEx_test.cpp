// The popup list that reports a closed popup: installed and removed by count, keeping every popup menu.
#include "skin/uSkPopupListEx.h"

#include "tests/framework/visual/VisualFixture.h"

#include <algorithm>
#include <memory>

namespace kq::test {
namespace {

bool holds(const TPopupList* list, const TPopupMenu* menu) {
    for (int i = 0; i < list->Count(); ++i)
        if (list->Items(i) == menu) return true;
    return false;
}

using popup_list_ex = visual_test;

TEST_F(popup_list_ex, InstalledByCountAndRemovedWithEveryMenuGivenBack) {
    TPopupList* const framework_list = PopupList;
    auto early = std::make_unique<TPopupMenu>(nullptr);
    InstallPopupListEx();
    TPopupList* const replacement = PopupList;
    EXPECT_NE(replacement, framework_list);
    EXPECT_NE(dynamic_cast<TPopupListEx*>(replacement), nullptr);
    EXPECT_TRUE(holds(replacement, early.get())) << "the menus move to the replacement";
    InstallPopupListEx();
    EXPECT_EQ(PopupList, replacement) << "one replacement for every user";

    // a menu made meanwhile is the replacement's
    auto late = std::make_unique<TPopupMenu>(nullptr);
    EXPECT_TRUE(holds(replacement, late.get()));
    RemovePopupListEx();
    EXPECT_EQ(PopupList, replacement) << "a user is left";
    RemovePopupListEx();
    EXPECT_EQ(PopupList, framework_list);
    EXPECT_TRUE(holds(framework_list, early.get()));
    EXPECT_TRUE(holds(framework_list, late.get())) << "not lost with the replacement";
    RemovePopupListEx(); // one too many changes nothing
    EXPECT_EQ(PopupList, framework_list);
}

} // namespace
} // namespace kq::test
