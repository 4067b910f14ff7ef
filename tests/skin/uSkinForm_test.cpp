#include "skin/uSkinForm.h"

#include "framework/Forms.h"
#include "framework/Messages.h"
#include "framework/Properties.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"
#include "skin/uSkinPanel.h"
#include "skin/uSkinResManager.h"
#include "tests/framework/visual/VisualFixture.h"
#include "tests/skin/KQSkinForm.h"

#include "SkinControlTestSupport.h"

#include <cwchar>

using namespace kq;
using kq::test::visual_test;
using kq::test::channel;
using kq::test::window_pixels;
using kq::test::kq_skin_form;
using kq::test::make_kq_skin_form;
using kq::test::make_skinned_form;

namespace {

class skin_forms : public visual_test {
protected:
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }
    // A sizeable form with a skin form of the given frame, title and hit-test widths.
    void make(int width, int height) { form = make_skinned_form(width, height, skin); }
    // KQ's main window's values: a teal title bar 28 high without frame, two system buttons, the caption.
    void make_kq() {
        const kq_skin_form k = make_kq_skin_form();
        form = k.form;
        skin = k.skin;
        minimize = k.minimize;
        close = k.close;
        label = k.label;
    }
    void show() {
        form->Show();
        ::SetForegroundWindow(form->Handle());
        settle(300);
    }
    static void settle(int ms = 100) { pump_until([] { return false; }, ms); }
    LRESULT hit(int x, int y) {
        RECT w{};
        ::GetWindowRect(form->Handle(), &w);
        return ::SendMessageW(form->Handle(), WM_NCHITTEST, 0, MAKELPARAM(w.left + x, w.top + y));
    }
    TForm* form = nullptr;
    TSkinForm* skin = nullptr;
    TSkinSystemButton *minimize = nullptr, *close = nullptr;
    TSkinNCLabel* label = nullptr;
};

TEST_F(skin_forms, HitTestingOfASizeableFormAndOfTheMaximisedOne) {
    make(400, 300);
    skin->SetHitTestWidth(5);
    show();
    RECT client{};
    ::GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, 400 - 2 * 2);
    EXPECT_EQ(client.bottom, 300 - 27 - 2);
    struct row {
        int x, y;
        LRESULT normal, zoomed;
    };
    const row rows[] = {
        {2, 2, HTTOPLEFT, HTCAPTION},      {200, 2, HTTOP, HTCAPTION},       {397, 2, HTTOPRIGHT, HTCAPTION},
        {398, 150, HTRIGHT, HTCLIENT},     {398, 298, HTBOTTOMRIGHT, HTNOWHERE}, {200, 297, HTBOTTOM, HTNOWHERE},
        {2, 298, HTBOTTOMLEFT, HTNOWHERE}, {1, 150, HTLEFT, HTCLIENT},       {200, 10, HTCAPTION, HTCAPTION},
        {150, 150, HTCLIENT, HTCLIENT},
    };
    for (const row& r : rows) EXPECT_EQ(hit(r.x, r.y), r.normal) << r.x << "," << r.y;
    ::ShowWindow(form->Handle(), SW_MAXIMIZE);
    settle();
    ASSERT_TRUE(::IsZoomed(form->Handle()));
    for (const row& r : rows) {
        // the maximised form is larger: the edge points are all inside its title or client area now
        if (r.y < 27) {
            EXPECT_EQ(hit(r.x, r.y), HTCAPTION) << r.x << "," << r.y;
        }
    }
    ::ShowWindow(form->Handle(), SW_RESTORE);
    settle();
}

TEST_F(skin_forms, KQsTitleBarIsTealWithItsButtonsAndCaption) {
    make_kq();
    int clicks = 0;
    close->OnClick = [&](TObject*) { ++clicks; };
    show();
    ASSERT_EQ(skin->NCCtrlList().size(), 3u);

    const window_pixels px(form->Handle());
    px.save(L"skin_form_kq.bmp");
    EXPECT_EQ(px.width(), 480);
    // teal at the top of the title bar, the gradient toward silver below it
    const std::uint32_t top = px.at(200, 1);
    EXPECT_NEAR(channel(top, 16), 18, 4);
    EXPECT_NEAR(channel(top, 8), 160, 4);
    EXPECT_NEAR(channel(top, 0), 180, 4);
    // the buttons where the system's names put them: close from x = 450, minimise from x = 420
    EXPECT_EQ(close->ClientRect().Left, 450);
    EXPECT_EQ(minimize->ClientRect().Left, 420);
    EXPECT_GT(close->ClientRect().Right, 450);
    EXPECT_NE(px.at(close->ClientRect().Left + 10, 8), top);
    // the caption: white text left in the title bar
    int white = 0;
    for (int y = 5; y < 22; ++y)
        for (int x = 5; x < 100; ++x) white += px.at(x, y) == 0xFFFFFFu;
    EXPECT_GT(white, 10);
    // client area: silver
    EXPECT_EQ(px.at(240, 310) & 0xF0F0F0u, 0xC0C0C0u);

    // a real click on close: the event, then the form closes
    const RECT w = [&] { RECT r{}; ::GetWindowRect(form->Handle(), &r); return r; }();
    test::mouse_to({w.left + 460, w.top + 8});
    settle();
    EXPECT_TRUE(close->CursorEnter());
    test::left_down();
    settle();
    test::left_up();
    settle(200);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(::IsWindowVisible(form->Handle()));
}

TEST_F(skin_forms, ARealClickOnMinimiseMinimisesAndRestoringShowsTheFormAgain) {
    make_kq();
    show();
    const RECT w = [&] { RECT r{}; ::GetWindowRect(form->Handle(), &r); return r; }();
    test::mouse_to({w.left + 430, w.top + 8});
    settle();
    test::left_down();
    settle();
    test::left_up();
    settle(200);
    EXPECT_TRUE(::IsIconic(form->Handle()));
    EXPECT_EQ(form->AlphaBlendValue(), 0);
    ::ShowWindow(form->Handle(), SW_RESTORE);
    settle(200);
    EXPECT_FALSE(::IsIconic(form->Handle()));
    // never left invisible
    EXPECT_TRUE(!form->AlphaBlend() || form->AlphaBlendValue() == 255);
}

struct hint_search {
    const wchar_t* text;
    HWND found;
};

BOOL CALLBACK find_hint(HWND w, LPARAM data) noexcept {
    auto& s = *reinterpret_cast<hint_search*>(data);
    DWORD process = 0;
    ::GetWindowThreadProcessId(w, &process);
    wchar_t title[64]{};
    ::GetWindowTextW(w, title, 64);
    if (process == ::GetCurrentProcessId() && ::IsWindowVisible(w) && std::wcscmp(title, s.text) == 0 &&
        (::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW))
        s.found = w;
    return TRUE;
}

// The visible hint window of this process showing text, or null.
HWND shown_hint(const wchar_t* text) {
    hint_search s{text, nullptr};
    ::EnumWindows(find_hint, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// A hovered title-bar control with a hint shows it at once below right of the cursor, sized to its text;
// leaving the control, within the title bar or off the window, hides it.
TEST_F(skin_forms, HoveringATitleBarButtonShowsItsHint) {
    make_kq();
    close->SetHint(u"关闭");
    show();
    const RECT w = [&] { RECT r{}; ::GetWindowRect(form->Handle(), &r); return r; }();
    SIZE text{};
    {
        THintWindow probe(nullptr);
        probe.Canvas().SetFont(probe.Font());
        text = probe.Canvas().TextExtent(u"关闭");
    }
    const POINT over{w.left + 460, w.top + 8};
    struct row {
        const char* leave_by;
        POINT to;
    };
    const row rows[] = {
        {"a move to the caption", {w.left + 200, w.top + 8}},
        {"a move off the window", {w.left - 40, w.top - 40}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.leave_by);
        test::mouse_to(over);
        ASSERT_TRUE(pump_until([] { return shown_hint(L"关闭") != nullptr; }, 2000));
        const HWND hint = shown_hint(L"关闭");
        RECT at{};
        ::GetWindowRect(hint, &at);
        EXPECT_EQ(at.left, over.x + 16);
        EXPECT_EQ(at.top, over.y + 16);
        EXPECT_EQ(at.right - at.left, text.cx + 8);
        EXPECT_EQ(at.bottom - at.top, text.cy + 2);
        settle(150);
        const window_pixels px(hint);
        px.save(L"skin_form_hint.bmp");
        int dark = 0;
        for (int y = 1; y < px.height() - 1; ++y) // inside the border
            for (int x = 1; x < px.width() - 1; ++x) dark += (px.at(x, y) & 0xFF) < 0xA0;
        EXPECT_GT(dark, 10) << "the hint's text";
        test::mouse_to(r.to);
        EXPECT_TRUE(pump_until([] { return shown_hint(L"关闭") == nullptr; }, 2000));
    }
    // A control without a hint shows none.
    test::mouse_to({w.left + 430, w.top + 8});
    settle(200);
    EXPECT_TRUE(minimize->CursorEnter());
    EXPECT_EQ(shown_hint(L""), nullptr);
}

// A second form minimised to the taskbar has no owner window and a taskbar button of its own (the main
// form's minimising then leaves it; Wine hides no owned window, so that is not looked at here); it
// minimises and restores by itself. Hidden in the taskbar it is a tool window. Otherwise it is the main
// form's.
TEST_F(skin_forms, MinimiseToTaskbarMakesASecondFormAWindowOfItsOwn) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->SetBounds(620, 80, 300, 200);
    main->Show();
    struct row {
        bool minimize_to_taskbar, hide_in_taskbar;
        bool unowned;
        LONG ex_style; // of WS_EX_APPWINDOW and WS_EX_TOOLWINDOW
    };
    const row rows[] = {
        {false, false, false, 0},
        {true, false, true, WS_EX_APPWINDOW},
        {false, true, false, WS_EX_TOOLWINDOW},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.minimize_to_taskbar << r.hide_in_taskbar);
        make_kq();
        skin->Options().SetMinimizeToTaskbar(r.minimize_to_taskbar);
        skin->Options().SetHideInTaskbar(r.hide_in_taskbar);
        show();
        const HWND window = form->Handle();
        EXPECT_EQ(::GetWindow(window, GW_OWNER), r.unowned ? nullptr : main->Handle());
        EXPECT_EQ(::GetWindowLongW(window, GWL_EXSTYLE) & (WS_EX_APPWINDOW | WS_EX_TOOLWINDOW), r.ex_style);

        const RECT w = [&] { RECT x{}; ::GetWindowRect(window, &x); return x; }();
        test::mouse_to({w.left + 430, w.top + 8}); // its own minimise button
        settle();
        test::left_down();
        settle();
        test::left_up();
        settle(200);
        EXPECT_TRUE(::IsIconic(window));
        EXPECT_FALSE(::IsIconic(main->Handle()));
        ::ShowWindow(window, SW_RESTORE);
        settle(200);
        EXPECT_FALSE(::IsIconic(window));
        EXPECT_TRUE(::IsWindowVisible(window));
        EXPECT_TRUE(!form->AlphaBlend() || form->AlphaBlendValue() == 255);
        delete form;
        form = nullptr;
    }
}

TEST_F(skin_forms, MaximisedButtonsMoveOnePixel) {
    make_kq();
    show();
    ::ShowWindow(form->Handle(), SW_MAXIMIZE);
    settle(200);
    ASSERT_TRUE(::IsZoomed(form->Handle()));
    skin->InvalidateNC();
    EXPECT_EQ(close->ClientRect().Left, form->Width() - 29);
    EXPECT_EQ(close->ClientRect().Top, -1);
    ::ShowWindow(form->Handle(), SW_RESTORE);
    settle(200);
    skin->InvalidateNC();
    EXPECT_EQ(close->ClientRect().Left, form->Width() - 30);
}

TEST_F(skin_forms, IdleFormSendsNoStreamOfNonClientPaints) {
    make_kq();
    int paints = 0;
    const window_hook count = form->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        if (m.Msg == WM_NCPAINT) ++paints;
        next(m);
    });
    show();
    settle(300);
    paints = 0;
    settle(1000);
    EXPECT_LE(paints, 1);
}

// The blurred picture fill: the picture's right and bottom 100 pixels fade into its average colour,
// which fills the rest of the window; the same pixels in the background and on the screen.
TEST_F(skin_forms, BlurFillFadesThePicturesEdgesIntoItsAverage) {
    TBitmap32 picture; // red left, blue right: the average is (100, 0, 100)
    picture.SetSize(300, 200);
    picture.FillRectS(0, 0, 150, 200, 0xFFC80000u);
    picture.FillRectS(150, 0, 300, 200, 0xFF0000C8u);
    SkinResManager()->AddRes(&picture, u"FadeTestPicture", u"");
    const auto reload = scope_exit([] { SkinResManager()->Reload(); });
    make(400, 300);
    skin->SetStyle(ssPicture);
    skin->SetFillStyle(mfsBlur);
    skin->SetCustomPicture(u"FadeTestPicture");
    show();
    EXPECT_EQ(skin->PictureBgColor(), 0x640064u);

    constexpr std::uint32_t red = 0xC80000, blue = 0x0000C8, average = 0x640064;
    struct row {
        int x, y;
        std::uint32_t source;
        int alpha; // of the picture over the average: 255 - round(distance into the margin x 2.55)
    };
    const row rows[] = {
        {50, 50, red, 255},    {199, 50, blue, 255}, {200, 50, blue, 255}, {250, 50, blue, 127},
        {299, 50, blue, 3},    {50, 100, red, 255},  {50, 150, red, 127},  {50, 199, red, 3},
        {250, 150, blue, 75},  {299, 199, blue, 3},  {300, 50, average, 0}, {350, 250, average, 0},
    };
    const window_pixels px(form->Handle());
    px.save(L"skin_form_blur_fill.bmp");
    TBitmap32* bk = skin->BackgroundPicture();
    ASSERT_NE(bk, nullptr);
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y);
        for (const int shift : {16, 8, 0}) {
            const int expected =
                (int(channel(r.source, shift)) * r.alpha + int(channel(average, shift)) * (255 - r.alpha)) / 255;
            EXPECT_NEAR(channel(bk->GetPixel(r.x, r.y), shift), expected, 1) << "background, shift " << shift;
            EXPECT_NEAR(channel(px.at(r.x, r.y), shift), expected, 1) << "screen, shift " << shift;
        }
    }
}

// A transparent panel on the skinned form shows the form's background at its own place.
TEST_F(skin_forms, TransparentPanelShowsTheSkinFormsBackground) {
    make_kq();
    auto* panel = new TSkinPanel(form);
    panel->SetParent(form);
    panel->SetBounds(10, 10, 50, 50);
    panel->SetAlpha(0);
    panel->SetBorderSides({});
    show();
    panel->Repaint();
    TBitmap32* bk = skin->BackgroundPicture();
    ASSERT_NE(bk, nullptr);
    for (const POINT p : {POINT{0, 0}, POINT{20, 30}, POINT{49, 49}})
        EXPECT_EQ(panel->Buffer()->GetPixel(p.x, p.y), bk->GetPixel(10 + p.x, 10 + p.y));
}

// A form resource names the skin's settings component; only such a component fits the reference.
TEST_F(skin_forms, SettingsComponentIsAPublishedReference) {
    make(400, 300);
    const property_info* p = skin->PublishedProperties().find(u"SkinRes");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->kind, property_kind::component);
    EXPECT_TRUE(p->accepts(nullptr));
    EXPECT_FALSE(p->accepts(form));
    EXPECT_FALSE(p->accepts(skin));
    EXPECT_EQ(std::get<TComponent*>(p->get(*skin)), nullptr);
}

TEST_F(skin_forms, ShownResizedMaximisedRestoredAndClosedRepeatedlyLeavesNoHandles) {
    for (int i = 0; i < 20; ++i) { // a leak of one object per cycle shows as 20
        make_kq();
        form->Show();
        form->SetBounds(100, 80, 500 + i % 7, 300 + i % 5);
        ::ShowWindow(form->Handle(), SW_MAXIMIZE);
        ::ShowWindow(form->Handle(), SW_RESTORE);
        Application->ProcessMessages();
        form->Close();
        delete form;
        form = nullptr;
    }
}

} // namespace
