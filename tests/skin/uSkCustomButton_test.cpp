#include "skin/uSkinButton.h"

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/Messages.h"
#include "tests/framework/visual/VisualFixture.h"

#include "SkinControlTestSupport.h"

using namespace kq;
using kq::test::visual_test;

namespace {

class skinned_buttons : public visual_test {
protected:
    void SetUp() override {
        visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(60, 60, 320, 120);
    }
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }
    TSkinImageButton* button(int x, int y, int* clicks) {
        auto* b = new TSkinImageButton(form);
        b->SetParent(form);
        b->SetBounds(x, y, 75, 25);
        b->Pictures().SetImage(u"SkinBtn_close");
        b->Pictures().SetActive(true);
        b->SetCaption(u"&OK");
        if (clicks)
            b->OnClick = [clicks](TObject*) { ++*clicks; };
        return b;
    }
    void show() {
        form->Show();
        ::SetForegroundWindow(form->Handle());
        form->Update();
        settle();
    }
    static void settle(int ms = 100) { pump_until([] { return false; }, ms); }
    static POINT centre(TWinControl* c) { return c->ClientToScreen({c->Width() / 2, c->Height() / 2}); }
    TForm* form = nullptr;
};

// Pressed and released over the button clicks once; released away from it, no click and not left down.
TEST_F(skinned_buttons, ARealClickOverTheButtonClicksAndAReleaseElsewhereDoesNot) {
    int clicks = 0;
    TSkinImageButton* b = button(10, 10, &clicks);
    show();

    test::mouse_to(centre(b));
    settle();
    test::left_down();
    settle();
    EXPECT_TRUE(b->Down());
    test::left_up();
    settle();
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down());

    test::left_down();
    settle();
    test::mouse_to(form->ClientToScreen({250, 100}));
    settle();
    test::left_up();
    settle();
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down());
}

TEST_F(skinned_buttons, AGroupKeepsOneButtonDown) {
    int clicks = 0;
    TSkinImageButton* first = button(10, 10, &clicks);
    TSkinImageButton* second = button(100, 10, &clicks);
    first->SetGroupIndex(1);
    second->SetGroupIndex(1);
    show();
    for (TSkinImageButton* b : {first, second}) {
        test::mouse_to(centre(b));
        settle();
        test::left_down();
        settle();
        test::left_up();
        settle();
        EXPECT_TRUE(b->Down());
        EXPECT_NE(first->Down(), second->Down());
    }
    EXPECT_EQ(clicks, 2);
}

// The pressed face sits one pixel to the right of the normal one (not lower).
TEST_F(skinned_buttons, PressedFaceMovesRightByThePressedOffset) {
    TSkinImageButton* b = button(10, 10, nullptr);
    b->SetCaptionVisible(false);
    b->SetPressedOffset(1);
    b->Pictures().SetPressed(b->Pictures().Normal());
    show();
    b->Repaint();
    TBitmap32 normal;
    normal.Assign(b->Buffer());
    b->SetDown(true);
    b->Repaint();
    const TBitmap32& pressed = *b->Buffer();
    // the same frame for both states, so only the position differs
    int differing = 0;
    for (int y = 0; y < 19; ++y)
        for (int x = 0; x < 38; ++x) {
            EXPECT_EQ(pressed.GetPixel(x + 1, y), normal.GetPixel(x, y)) << x << "," << y;
            differing += normal.GetPixel(x, y) != normal.GetPixel(x + 1, y);
        }
    EXPECT_GT(differing, 0); // the face is not flat, so the comparison sees the shift
}

TEST_F(skinned_buttons, AcceleratorTwiceWithin100MsClicksOnceAndModalResultReachesTheForm) {
    int clicks = 0;
    TSkinImageButton* b = button(10, 10, &clicks);
    b->SetModalResult(mrOk);
    show();
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, u'o', 0), 1);
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, u'o', 0), 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(form->ModalResult(), mrOk);
    EXPECT_EQ(b->Perform(CM_DIALOGCHAR, u'x', 0), 0);
    ::Sleep(120);
    b->Perform(CM_DIALOGCHAR, u'O', 0);
    EXPECT_EQ(clicks, 2);
    form->SetModalResult(mrNone);
}

TEST_F(skinned_buttons, DefaultAnswersEnterAndCancelAnswersEscape) {
    int ok = 0, cancel = 0;
    TSkinImageButton* yes = button(10, 10, &ok);
    TSkinImageButton* no = button(100, 10, &cancel);
    yes->SetDefault(true);
    no->SetCancel(true);
    show();
    EXPECT_EQ(form->Perform(CM_DIALOGKEY, VK_RETURN, 0), 1);
    EXPECT_EQ(form->Perform(CM_DIALOGKEY, VK_ESCAPE, 0), 1);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(cancel, 1);
}

// The arrow area becomes hot by a mouse move in it. A first press there without one (the button came up
// under a still cursor) is neither a click nor a menu; after a move into the arrow area a press opens the
// menu, and a press on the rest of the button clicks.
TEST_F(skinned_buttons, FirstPressInTheArrowAreaIsNeitherClickNorMenu) {
    int clicks = 0;
    TSkinImageButton* b = button(10, 10, &clicks);
    auto* menu = new TPopupMenu(form);
    b->SetDropdownMenu(menu);
    show();
    const LPARAM arrow = MAKELPARAM(b->Width() - 5, 10);
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, arrow);
    b->Perform(WM_LBUTTONUP, 0, arrow);
    EXPECT_EQ(clicks, 0);
    EXPECT_FALSE(b->Down());

    const LPARAM face = MAKELPARAM(10, 10);
    test::mouse_to(b->ClientToScreen({10, 10}));
    settle();
    b->Perform(WM_LBUTTONDOWN, MK_LBUTTON, face);
    b->Perform(WM_LBUTTONUP, 0, face);
    EXPECT_EQ(clicks, 1);
}

} // namespace
