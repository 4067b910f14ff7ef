// The skin library's registries of skinned forms and controls.
#include "skin/uSkinHelper.h"

#include <gtest/gtest.h>

namespace kq::test {
namespace {

// The registries only compare and hand back the pointers; these stand for forms and skin forms.
TForm* form(int n) {
    static char forms[4];
    return reinterpret_cast<TForm*>(&forms[n]);
}

TSkinForm* skin(int n) {
    static char skins[4];
    return reinterpret_cast<TSkinForm*>(&skins[n]);
}

TEST(TSkFormSkinHelper, FindsTheFirstEntryAndRemovesOnePerCall) {
    TSkFormSkinHelper& registry = *FormSkinHelper();
    EXPECT_EQ(FormSkinHelper(), &registry);
    EXPECT_EQ(registry.IndexOf(form(0)), -1);
    EXPECT_EQ(registry.Get(form(0)), nullptr);
    registry.Remove(form(0)); // nothing to remove
    registry.Add(form(1), skin(1));
    registry.Add(form(2), skin(2));
    registry.Add(form(1), skin(3)); // registered twice
    EXPECT_EQ(registry.Count(), 3);
    EXPECT_EQ(registry.IndexOf(form(1)), 0);
    EXPECT_EQ(registry.Get(form(1))->SkinObj, skin(1));
    registry.Remove(form(1));
    EXPECT_EQ(registry.Count(), 2);
    EXPECT_EQ(registry.IndexOf(form(1)), 1);
    EXPECT_EQ(registry.Get(form(1))->SkinObj, skin(3));
    EXPECT_EQ(registry.Items()[0]->Form, form(2));
    registry.Remove(form(1));
    registry.Remove(form(2));
    EXPECT_EQ(registry.Count(), 0);
    uSkinHelper_shutdown();
}

TEST(TSkWinControlHelper, KeepsControlsInOrder) {
    auto& items = WinControlHelper()->Items();
    auto* a = reinterpret_cast<TSkinCustomControl*>(form(0));
    auto* b = reinterpret_cast<TSkinCustomControl*>(form(1));
    items.push_back(a);
    items.push_back(b);
    EXPECT_EQ(WinControlHelper()->Items(), (std::vector<TSkinCustomControl*>{a, b}));
    std::erase(items, a);
    EXPECT_EQ(WinControlHelper()->Items().front(), b);
    uSkinHelper_shutdown();
    EXPECT_TRUE(WinControlHelper()->Items().empty());
    uSkinHelper_shutdown();
}

} // namespace
} // namespace kq::test
