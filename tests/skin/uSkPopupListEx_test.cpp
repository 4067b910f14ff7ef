#include "skin/SkinMessages.h"
#include "skin/uSkPopupListEx.h"

#include "framework/Forms.h"
#include "tests/framework/visual/VisualFixture.h"

#include <thread>
#include <vector>

using namespace kq;
using kq::test::visual_test;

namespace {

class popup_list_ex : public visual_test {
protected:
    void TearDown() override {
        uSkPopupListEx_shutdown();
        visual_test::TearDown();
    }
    // Pops the menu up and closes it from another thread once it shows.
    static void pop_and_close(TPopupMenu& menu) {
        std::thread user([] {
            for (int i = 0; i < 2000 && !::FindWindowW(L"#32768", nullptr); ++i) ::Sleep(5);
            ::Sleep(50);
            ::SendMessageW(PopupList->Window(), WM_CANCELMODE, 0, 0);
        });
        menu.Popup(30, 30);
        user.join();
    }
};

// The active form hears of the popup menu's loop and of its closing.
TEST_F(popup_list_ex, ForwardsTheMenuLoopToTheActiveForm) {
    TForm* form = CreateForm<TForm>(Application);
    auto free_form = scope_exit([&] { delete form; });
    form->SetBounds(50, 50, 200, 150);
    std::vector<unsigned> heard;
    const window_hook listen = form->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        if (m.Msg >= WM_VK_MENUCLOSED && m.Msg <= WM_VK_EXITMENULOOP) heard.push_back(m.Msg);
        next(m);
    });
    form->Show();
    ::SetForegroundWindow(form->Handle());
    pump_until([&] { return Screen->ActiveForm() == form; });
    ASSERT_EQ(Screen->ActiveForm(), form);

    TPopupMenu menu(nullptr);
    auto* item = new TMenuItem(&menu);
    item->SetCaption(u"Item");
    menu.Items().Add(item);

    InstallPopupListEx();
    pop_and_close(menu);
    pump_until([] { return false; }, 100);
    EXPECT_EQ(heard, (std::vector<unsigned>{WM_VK_ENTERMENULOOP, WM_VK_MENUCLOSED, WM_VK_EXITMENULOOP}));

    // the plain list again: nothing is forwarded
    RemovePopupListEx();
    heard.clear();
    pop_and_close(menu);
    EXPECT_TRUE(heard.empty());
}

// Installs are counted, and every popup menu stays in exactly the list in use, also one made or freed
// while the other list was.
TEST_F(popup_list_ex, InstallsAreCountedAndTheMenusMoveBetweenTheLists) {
    TPopupList* plain = PopupList;
    TPopupMenu before(nullptr);
    ASSERT_EQ(plain->Count(), 1);
    InstallPopupListEx();
    InstallPopupListEx();
    TPopupList* ex = PopupList;
    ASSERT_NE(ex, plain);
    EXPECT_NE(dynamic_cast<TPopupListEx*>(ex), nullptr);
    EXPECT_EQ(plain->Count(), 0);
    EXPECT_EQ(ex->Count(), 1);
    auto made = std::make_unique<TPopupMenu>(nullptr);
    {
        TPopupMenu freed(nullptr);
        EXPECT_EQ(ex->Count(), 3);
    }
    RemovePopupListEx();
    EXPECT_EQ(PopupList, ex);
    RemovePopupListEx();
    EXPECT_EQ(PopupList, plain);
    EXPECT_EQ(plain->Count(), 2);
    RemovePopupListEx(); // one too many changes nothing
    EXPECT_EQ(PopupList, plain);
    made.reset();
    EXPECT_EQ(plain->Count(), 1);
}

} // namespace
