#include "skin/uSkinButton.h"

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/Messages.h"
#include "tests/framework/visual/VisualFixture.h"

#include "SkinControlTestSupport.h"

#include <atomic>
#include <thread>

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
    // The pointer over the form, away from every button.
    void pointer_away() {
        test::mouse_to(form->ClientToScreen({300, 110}));
        settle();
    }
    static bool same_look(HWND a, HWND b) {
        const test::window_pixels one(a, test::read_from::window), two(b, test::read_from::window);
        if (one.width() != two.width() || one.height() != two.height()) return false;
        for (int y = 0; y < one.height(); ++y)
            for (int x = 0; x < one.width(); ++x)
                if (one.at(x, y) != two.at(x, y)) return false;
        return true;
    }
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

// A fast double click is one click: its second press only takes the focus. The focus comes after the
// press's own handling.
TEST_F(skinned_buttons, ADoubleClickClicksOnceAndTakesTheFocusAfterThePress) {
    int clicks = 0, doubles = 0;
    TSkinImageButton* other = button(100, 10, nullptr);
    TSkinImageButton* b = button(10, 10, &clicks);
    std::vector<bool> focused_at_press;
    b->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { focused_at_press.push_back(b->Focused()); };
    b->OnDblClick = [&](TObject*) { ++doubles; };
    show();
    other->SetFocus();
    ASSERT_TRUE(pump_until([&] { return other->Focused(); }));

    test::mouse_to(centre(b));
    test::left_down();
    test::left_up();
    test::left_down();
    test::left_up();
    ASSERT_TRUE(pump_until([&] { return doubles == 1 && !::GetCapture(); }, 10000));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(b->Down());
    EXPECT_TRUE(b->Focused());
    ASSERT_EQ(focused_at_press.size(), 2u);
    EXPECT_FALSE(focused_at_press[0]);
}

// Held down, the button repeats its cycle event until it is let go; the release still clicks.
TEST_F(skinned_buttons, HoldingTheButtonRepeatsUntilItIsReleased) {
    int clicks = 0, repeats = 0;
    TSkinImageButton* b = button(10, 10, &clicks);
    b->SetCycleDownClick(true);
    b->OnCycleDownClick = [&](TObject* sender) {
        EXPECT_EQ(sender, b);
        ++repeats;
    };
    show();
    test::mouse_to(centre(b));
    test::left_down();
    EXPECT_TRUE(pump_until([&] { return repeats >= 5; }, 10000));
    EXPECT_EQ(clicks, 0);
    test::left_up();
    ASSERT_TRUE(pump_until([&] { return clicks == 1; }, 10000));
    const int held = repeats;
    settle(200); // twenty ticks of the repeat: none may come
    EXPECT_EQ(repeats, held);
}

// Without a click handler a press anywhere on the button opens its drop-down menu; with one, only a press
// in the arrow area does, and a press on the rest clicks. The menu's top-left is the button's bottom-left
// moved by DropdownMenuOffset, and a press that opened it clicks nothing.
TEST_F(skinned_buttons, TheDropdownMenuOpensUnderTheButton) {
    int clicks = 0, ups = 0;
    POINT moved{-1, -1};
    TSkinImageButton* b = button(20, 10, nullptr);
    auto* menu = new TPopupMenu(form);
    for (const char16_t* caption : {u"One", u"Two"}) {
        auto* item = new TMenuItem(form);
        item->SetCaption(caption);
        menu->Items().Add(item);
    }
    b->SetDropdownMenu(menu);
    b->OnMouseUp = [&](TObject*, TMouseButton, TShiftState, int, int) { ++ups; };
    b->OnMouseMove = [&](TObject*, TShiftState, int x, int y) { moved = {x, y}; };
    show();
    const POINT under = form->ClientToScreen(
        {b->Left() + b->DropdownMenuOffset().X(), b->Top() + b->Height() + b->DropdownMenuOffset().Y()});
    EXPECT_EQ(b->DropdownMenuOffset().X(), -4);

    struct row {
        const char* what;
        bool handler;
        POINT at; // in the button
        bool menu;
        int clicks;
    };
    const row rows[] = {
        {"face, no handler", false, {20, 12}, true, 0},
        {"arrow, handler", true, {b->Width() - 6, 12}, true, 0},
        {"face, handler", true, {20, 12}, false, 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        if (r.handler) b->OnClick = [&](TObject*) { ++clicks; };
        clicks = 0;
        test::mouse_to(b->ClientToScreen({r.at.x + 1, r.at.y}));
        test::mouse_to(b->ClientToScreen(r.at));
        ASSERT_TRUE(pump_until([&] { return moved.x == r.at.x && moved.y == r.at.y; }));

        std::atomic<bool> seen{false};
        RECT shown{};
        std::thread user;
        if (r.menu) user = std::thread([&] { // waits for the menu, notes where it is and closes it
            for (int i = 0; i < 2000 && !seen; ++i) {
                const HWND w = ::FindWindowW(L"#32768", nullptr);
                if (w && ::IsWindowVisible(w)) {
                    ::GetWindowRect(w, &shown);
                    seen = true;
                    ::SendMessageW(PopupList->Window(), WM_CANCELMODE, 0, 0);
                }
                ::Sleep(10);
            }
        });
        const int ups_before = ups;
        test::left_down();
        if (r.menu) {
            EXPECT_TRUE(pump_until([&] { return seen.load(); }, 20000));
        }
        test::left_up();
        EXPECT_TRUE(pump_until([&] { return ups > ups_before; }, 10000));
        if (user.joinable()) user.join();
        EXPECT_EQ(seen.load(), r.menu);
        if (r.menu) {
            EXPECT_EQ(shown.left, under.x);
            EXPECT_EQ(shown.top, under.y);
        }
        EXPECT_EQ(clicks, r.clicks);
        EXPECT_FALSE(b->Down());
    }
}

// Space holds the focused button down and clicks on its release; Enter clicks once.
TEST_F(skinned_buttons, SpaceAndEnterClickTheFocusedButton) {
    int clicks = 0;
    TSkinImageButton* b = button(10, 10, &clicks);
    show();
    b->SetFocus();
    ASSERT_TRUE(pump_until([&] { return b->Focused(); }));
    test::key_down(VK_SPACE);
    EXPECT_TRUE(pump_until([&] { return b->Down(); }));
    EXPECT_EQ(clicks, 0);
    test::key_up(VK_SPACE);
    EXPECT_TRUE(pump_until([&] { return clicks == 1; }));
    EXPECT_FALSE(b->Down());

    test::key_down(VK_RETURN);
    test::key_up(VK_RETURN);
    // A space press after it shows when the Enter has been handled.
    test::key_down(VK_SPACE);
    EXPECT_TRUE(pump_until([&] { return b->Down(); }));
    EXPECT_EQ(clicks, 2);
    test::key_up(VK_SPACE);
    EXPECT_TRUE(pump_until([&] { return !b->Down(); }));
    EXPECT_EQ(clicks, 3);
}

// The caption moves when pressed only together with the face strip's pressed frame.
TEST_F(skinned_buttons, ThePressedCaptionMovesOnlyWithTheFaceStrip) {
    for (const bool strip : {true, false}) {
        SCOPED_TRACE(strip ? "with the strip" : "without the strip");
        TSkinImageButton* b = button(10, 10, nullptr);
        TSkinImageButton* same = button(100, 10, nullptr);
        for (TSkinImageButton* each : {b, same}) {
            each->Pictures().SetActive(strip);
            each->Pictures().SetPressed(each->Pictures().Normal());
        }
        show();
        pointer_away();
        ASSERT_TRUE(pump_until([&] { return same_look(b->Handle(), same->Handle()); }));
        b->SetDown(true);
        b->Repaint();
        EXPECT_EQ(same_look(b->Handle(), same->Handle()), !strip);
        delete b;
        delete same;
    }
}

// A drop-down menu that is freed takes its arrow off the button at once.
TEST_F(skinned_buttons, AFreedDropdownMenuLeavesNoArrowBehind) {
    TSkinImageButton* with = button(10, 10, nullptr);
    TSkinImageButton* without = button(100, 10, nullptr);
    auto* menu = new TPopupMenu(form);
    with->SetDropdownMenu(menu);
    show();
    pointer_away();
    ASSERT_TRUE(pump_until([&] { return !same_look(with->Handle(), without->Handle()); }));
    delete menu;
    EXPECT_EQ(with->DropdownMenu(), nullptr);
    EXPECT_TRUE(pump_until([&] { return same_look(with->Handle(), without->Handle()); }));
}

} // namespace
