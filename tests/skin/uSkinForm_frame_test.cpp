// The skin form's frame, window region, maximising, minimising, maximised size and backgrounds, read
// back from the screen under real input.

#include "skin/uSkinForm.h"

#include "framework/Forms.h"
#include "framework/Messages.h"
#include "skin/uSkFormBorder.h"
#include "skin/uSkinResManager.h"
#include "tests/skin/SkinFormTestFixture.h"

#include "SkinControlTestSupport.h"

using namespace kq;
using kq::test::channel;
using kq::test::window_pixels;

namespace {

// colour (0x00RRGGBB) at alpha over background, as the frame's blended lines lay it.
std::uint32_t blend(std::uint32_t colour, int alpha, std::uint32_t background) {
    std::uint32_t r = 0;
    for (const int shift : {16, 8, 0})
        r |= static_cast<std::uint32_t>(
                 (channel(colour, shift) * alpha + channel(background, shift) * (255 - alpha)) / 255)
             << shift;
    return r;
}

// A skin form whose monitors are given by the test.
class monitored_skin_form : public TSkinForm {
public:
    using TSkinForm::TSkinForm;
    std::vector<TMonitor> monitors;
    TMonitor form_monitor;

protected:
    std::vector<TMonitor> screen_monitors() const override { return monitors; }
    TMonitor monitor_of_form() const override { return form_monitor; }
};

TMonitor monitor(int num, bool primary, RECT bounds, RECT work) {
    TMonitor m;
    m.MonitorNum = num;
    m.Primary = primary;
    m.BoundsRect = bounds;
    m.WorkareaRect = work;
    return m;
}

class skin_form_frame : public test::skinned_form_test {
protected:
    // A sizeable form at (100, 80) with the default skin form: frame 2, title 27, round, double frame.
    void make(int width = 400, int height = 300, TBorderIcons icons = {TBorderIcon::biSystemMenu,
                                                                        TBorderIcon::biMinimize,
                                                                        TBorderIcon::biMaximize}) {
        form = CreateForm<TForm>(Application);
        form->SetBorderStyle(TFormBorderStyle::bsSizeable);
        form->SetBorderIcons(icons);
        form->SetBounds(100, 80, width, height);
        form->SetCaption(u"Framed");
        skin = new TSkinForm(form);
    }
    int client_width() const {
        RECT r{};
        ::GetClientRect(form->Handle(), &r);
        return r.right;
    }
    // Whether the window's region holds the window-relative point.
    bool in_region(int x, int y) const {
        const HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        const int kind = ::GetWindowRgn(form->Handle(), rgn);
        const bool in = kind != ERROR && ::PtInRegion(rgn, x, y);
        ::DeleteObject(rgn);
        return in;
    }
    void real_double_click(POINT screen) {
        test::mouse_to(screen);
        settle(60);
        const std::jthread hand = test::double_click_hand();
        settle(400);
    }
};

// Every part of the frame: the outer line black at half alpha (or the frame colour when kept), the inner
// one white at alpha 176, over what the unframed window shows at the same pixel.
TEST_F(skin_form_frame, DrawFrameLaysItsLinesOverEachPartOfTheWindow) {
    enum kind { outer, inner, none };
    struct pixel {
        int x, y;
        kind k;
    };
    // 400 x 300, frame 2, title 27: title (0..26), side strips, bottom strip (298..299).
    const pixel pixels[] = {
        {200, 0, outer}, {200, 1, inner}, {200, 2, none},   {0, 13, outer},   {1, 13, inner},
        {2, 13, none},   {399, 13, outer}, {398, 13, inner}, {397, 13, none}, {2, 2, inner},
        {0, 150, outer}, {1, 150, inner}, {2, 150, none},   {399, 150, outer}, {398, 150, inner},
        {200, 299, outer}, {200, 298, inner}, {200, 297, none},
    };
    struct config {
        const char* name;
        bool keep_frame_color, double_frame;
    };
    const config configs[] = {{"default", false, true}, {"kept red frame", true, true}, {"single", false, false}};
    for (const config& c : configs) {
        SCOPED_TRACE(c.name);
        make();
        skin->SetKeepFrameColor(c.keep_frame_color);
        skin->SetFrameColor(clRed);
        skin->SetDoubleFrame(c.double_frame);
        show();
        const window_pixels framed(form->Handle());
        framed.save(L"skin_form_frame.bmp");
        ASSERT_EQ(framed.width(), 400);
        // The same window without the frame's lines: its background at every pixel.
        skin->SetFlatFrame(true);
        skin->Repaint();
        settle();
        const window_pixels flat(form->Handle());
        for (const pixel& p : pixels) {
            SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
            const std::uint32_t bg = flat.at(p.x, p.y);
            std::uint32_t expected = bg;
            if (p.k == outer)
                expected = c.keep_frame_color ? 0xFF0000u : blend(0, 128, bg);
            else if (p.k == inner && c.double_frame)
                expected = blend(0xFFFFFF, 176, bg);
            for (const int shift : {16, 8, 0})
                EXPECT_NEAR(channel(framed.at(p.x, p.y), shift), channel(expected, shift), 2) << "shift " << shift;
        }
        delete form;
        form = nullptr;
    }
}

// The region follows the shape values when they change, at the next non-client paint: rounded, rounded at
// the top only (a thin frame), square; a maximised window is square whatever they say.
TEST_F(skin_form_frame, WindowRegionFollowsRoundFrameWidthFlatAndMaximised) {
    make();
    show();
    struct row {
        bool round;
        int frame;
        bool flat;
        bool top_corner, bottom_corner; // (0, 0) and (0, 299) inside the region
    };
    const row rows[] = {
        {true, 2, false, false, false}, {true, 1, false, false, true}, {true, 1, true, false, false},
        {false, 2, false, true, true},  {true, 2, false, false, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.round << r.frame << r.flat);
        skin->SetRoundWindow(r.round);
        skin->SetFramWidth(r.frame);
        skin->SetFlatFrame(r.flat);
        skin->InvalidateNC();
        EXPECT_EQ(in_region(0, 0), r.top_corner);
        EXPECT_EQ(in_region(0, 299), r.bottom_corner);
        EXPECT_EQ(in_region(399, 299), r.bottom_corner);
        EXPECT_TRUE(in_region(200, 150));
        EXPECT_TRUE(in_region(3, 3));
    }
    ::ShowWindow(form->Handle(), SW_MAXIMIZE);
    settle(200);
    ASSERT_TRUE(::IsZoomed(form->Handle()));
    skin->InvalidateNC();
    EXPECT_TRUE(in_region(0, 0));
    EXPECT_TRUE(in_region(0, form->Height() - 1));
    ::ShowWindow(form->Handle(), SW_RESTORE);
    settle(200);
    EXPECT_FALSE(in_region(0, 0));

    // A non-client paint takes away a system border it finds.
    const HWND w = form->Handle();
    ::SetWindowLongW(w, GWL_STYLE, ::GetWindowLongW(w, GWL_STYLE) | WS_BORDER | WS_DLGFRAME);
    ::SendMessageW(w, WM_NCPAINT, 1, 0);
    EXPECT_EQ(::GetWindowLongW(w, GWL_STYLE) & (WS_BORDER | WS_DLGFRAME), 0);
}

// A picture skin under an opaque image border gives the border its frame and title: the form turns flat,
// square and without title at its first non-client paint, and its region follows at once.
TEST_F(skin_form_frame, AnOpaqueImageBorderMakesAPictureSkinSquareAndFlat) {
    TBitmap32 picture;
    picture.SetSize(40, 20);
    picture.FillRectS(0, 0, 40, 20, 0xFF336699u);
    SkinResManager()->AddRes(&picture, u"BorderTestPicture", u"");
    const auto reload = scope_exit([] { SkinResManager()->Reload(); });
    make();
    skin->SetStyle(ssPicture);
    skin->SetCustomPicture(u"BorderTestPicture");
    auto* border = new TSkFormLayerBorder(form);
    border->SetTransparent(false);
    skin->SetImageBorder(border);
    show();
    EXPECT_TRUE(skin->FlatFrame());
    EXPECT_FALSE(skin->RoundWindow());
    EXPECT_EQ(skin->FramWidth(), 0);
    EXPECT_EQ(skin->TitleHeight(), 0);
    EXPECT_EQ(skin->HitTestWidth(), 0);
    EXPECT_TRUE(in_region(0, 0));
    EXPECT_TRUE(in_region(399, 299));
}

// Maximised, the window has no frame (its width kept aside) and draws no frame lines; restored, it gets
// both back.
TEST_F(skin_form_frame, MaximisingSuppressesTheFrameAndRestoringBringsItBack) {
    make();
    show();
    const HWND w = form->Handle();
    ::SendMessageW(w, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    settle(200);
    ASSERT_TRUE(::IsZoomed(w));
    EXPECT_EQ(skin->FramWidth(), 0);
    EXPECT_EQ(skin->RealFrameWidth(), 2);
    EXPECT_EQ(client_width(), form->Width());
    {
        const window_pixels px(w);
        px.save(L"skin_form_maximised.bmp");
        // no outer line at the left or right edge: the same as the pixel beside it
        EXPECT_EQ(px.at(0, 200), px.at(3, 200));
        EXPECT_EQ(px.at(px.width() - 1, 200), px.at(px.width() - 4, 200));
    }
    // Dragging a maximised window by its title does nothing.
    const RECT before = window_rect();
    ::SendMessageW(w, WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    EXPECT_EQ(window_rect().left, before.left);

    ::SendMessageW(w, WM_SYSCOMMAND, SC_RESTORE, 0);
    settle(200);
    ASSERT_FALSE(::IsZoomed(w));
    EXPECT_EQ(skin->FramWidth(), 2);
    EXPECT_EQ(skin->RealFrameWidth(), 0);
    EXPECT_EQ(client_width(), 400 - 4);
    const window_pixels px(w);
    EXPECT_NE(px.at(0, 150), px.at(3, 150));
}

// A double click on the title maximises and restores a form made with a maximise box; without one it does
// nothing at all; a double click below the title does nothing either.
TEST_F(skin_form_frame, TitleDoubleClickMaximisesOnlyWithTheMaximiseBox) {
    struct row {
        bool maximize_box;
        bool zooms;
    };
    for (const row r : {row{true, true}, row{false, false}}) {
        SCOPED_TRACE(r.maximize_box);
        make(400, 300,
             r.maximize_box ? TBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMaximize}
                            : TBorderIcons{TBorderIcon::biSystemMenu});
        int commands = 0;
        const window_hook count = form->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
            const WPARAM command = m.WParam & 0xFFF0;
            if (m.Msg == WM_SYSCOMMAND && (command == SC_MAXIMIZE || command == SC_RESTORE)) ++commands;
            next(m);
        });
        show();
        const HWND w = form->Handle();
        const RECT at = window_rect();
        real_double_click({at.left + 200, at.top + 60}); // client area
        settle(100);
        EXPECT_FALSE(::IsZoomed(w));
        real_double_click({at.left + 200, at.top + 12});
        EXPECT_EQ(pump_until([&] { return ::IsZoomed(w) != 0; }, r.zooms ? 3000 : 300), r.zooms);
        if (r.zooms) {
            EXPECT_EQ(skin->RealFrameWidth(), 2);
            const RECT zoomed = window_rect();
            real_double_click({zoomed.left + 200, zoomed.top + 12});
            EXPECT_TRUE(pump_until([&] { return !::IsZoomed(w); }));
            EXPECT_EQ(skin->FramWidth(), 2);
        } else {
            // not even a command to the system
            EXPECT_EQ(commands, 0);
        }
        delete form;
        form = nullptr;
    }
}

// The maximised size: the system's values less the frame they count, saved once; the work area's height on
// the primary monitor; taken anew on another kind of monitor; the work area less a pixel while a form
// made maximised is not shown yet; the track sizes from the constraints or the title.
TEST_F(skin_form_frame, MaxInfoComesFromTheMonitorsAndTheSavedSystemValues) {
    form = CreateForm<TForm>(Application);
    form->SetBorderStyle(TFormBorderStyle::bsSizeable);
    form->SetBounds(100, 80, 400, 300);
    auto* monitored = new monitored_skin_form(form);
    const TMonitor primary = monitor(0, true, {0, 0, 1024, 768}, {0, 0, 1024, 740});
    const TMonitor second = monitor(1, false, {1024, 0, 2304, 1024}, {1024, 20, 2304, 1024});
    monitored->monitors = {primary, second};
    // The window is made on the second monitor: the values the system gives then are not the primary's.
    monitored->form_monitor = second;
    const HWND w = form->Handle();
    const auto ask = [&](POINT pos, POINT size) {
        MINMAXINFO info{};
        info.ptMaxPosition = pos;
        info.ptMaxSize = size;
        info.ptMaxTrackSize = {5000, 5000};
        ::SendMessageW(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
        return info;
    };
    struct row {
        const char* step;
        const TMonitor* on;
        POINT system_pos, system_size;
        POINT max_pos, max_size;
    };
    const row rows[] = {
        {"primary", &primary, {-4, -4}, {1032, 776}, {0, 0}, {1024, 740}},
        {"saved once", &primary, {-9, -9}, {1100, 900}, {0, 0}, {1024, 740}},
        {"other monitor", &second, {-6, -6}, {1292, 1016}, {0, 0}, {1280, 1004}},
        {"saved there too", &second, {-1, -1}, {10, 10}, {0, 0}, {1280, 1004}},
        {"back on the primary", &primary, {-3, -3}, {1030, 774}, {0, 0}, {1024, 740}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.step);
        monitored->form_monitor = *r.on;
        const MINMAXINFO info = ask(r.system_pos, r.system_size);
        EXPECT_EQ(info.ptMaxPosition.x, r.max_pos.x);
        EXPECT_EQ(info.ptMaxPosition.y, r.max_pos.y);
        EXPECT_EQ(info.ptMaxSize.x, r.max_size.x);
        EXPECT_EQ(info.ptMaxSize.y, r.max_size.y);
        EXPECT_EQ(info.ptMinTrackSize.x, 120);
        EXPECT_EQ(info.ptMinTrackSize.y, 27 + 6);
        EXPECT_EQ(info.ptMaxTrackSize.x, 5000);
    }
    // A flat frame wants more room; the constraints win.
    monitored->SetFlatFrame(true);
    EXPECT_EQ(ask({-3, -3}, {1030, 774}).ptMinTrackSize.y, 27 + 30);
    form->Constraints().SetMinWidth(200);
    form->Constraints().SetMinHeight(100);
    form->Constraints().SetMaxWidth(900);
    form->Constraints().SetMaxHeight(700);
    const MINMAXINFO constrained = ask({-3, -3}, {1030, 774});
    EXPECT_EQ(constrained.ptMinTrackSize.x, 200);
    EXPECT_EQ(constrained.ptMinTrackSize.y, 100);
    EXPECT_EQ(constrained.ptMaxTrackSize.x, 900);
    EXPECT_EQ(constrained.ptMaxTrackSize.y, 700);
    // A monitor number the screen does not list: the form's own monitor's work area.
    monitored->form_monitor = monitor(5, true, {0, 0, 800, 600}, {0, 0, 800, 570});
    EXPECT_EQ(ask({-3, -3}, {1030, 774}).ptMaxSize.y, 570);
    delete form;
    form = nullptr;

    // Made maximised: the second monitor's work area, one pixel lower, until the first show.
    form = CreateForm<TForm>(Application);
    form->SetBorderStyle(TFormBorderStyle::bsSizeable);
    form->SetWindowState(TWindowState::wsMaximized);
    auto* maximised = new monitored_skin_form(form);
    maximised->monitors = {primary, second};
    maximised->form_monitor = second;
    MINMAXINFO info{};
    ::SendMessageW(form->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMaxPosition.x, 1024);
    EXPECT_EQ(info.ptMaxPosition.y, 20);
    EXPECT_EQ(info.ptMaxSize.x, 1280);
    EXPECT_EQ(info.ptMaxSize.y, 1004 - 1);
}

// A form made maximised shows without frame, and the start's timer gives back the pixel its maximised
// height was short of the work area.
TEST_F(skin_form_frame, AFormMadeMaximisedShowsWithoutFrameAndGetsItsLastPixel) {
    form = CreateForm<TForm>(Application);
    form->SetBorderStyle(TFormBorderStyle::bsSizeable);
    form->SetBounds(100, 80, 400, 300);
    form->SetWindowState(TWindowState::wsMaximized);
    skin = new TSkinForm(form);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    form->Show();
    EXPECT_EQ(skin->FramWidth(), 0);
    EXPECT_EQ(skin->RealFrameWidth(), 2);
    ASSERT_TRUE(::IsZoomed(form->Handle()));
    EXPECT_EQ(form->Height(), work.bottom - work.top - 1);
    EXPECT_TRUE(pump_until([&] { return form->Height() == work.bottom - work.top; }));
    EXPECT_TRUE(pump_until([&] { return !form->AlphaBlend() || form->AlphaBlendValue() == 255; }));
}

// Minimised by the command, the form is see-through and its own transparency kept aside; restored, it
// gets that back once, however often it is told.
TEST_F(skin_form_frame, MinimisingKeepsTheFormsOwnAlphaForTheRestore) {
    make();
    form->SetAlphaBlend(true);
    form->SetAlphaBlendValue(200);
    show();
    const HWND w = form->Handle();
    ASSERT_TRUE(pump_until([&] { return form->AlphaBlendValue() == 200; }));
    ::SendMessageW(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    settle(100);
    ASSERT_TRUE(::IsIconic(w));
    EXPECT_EQ(form->AlphaBlendValue(), 0);
    EXPECT_EQ(skin->FormState() & (TSkinForm::state_minimized | TSkinForm::state_restored), TSkinForm::state_minimized);
    ::SendMessageW(w, WM_SYSCOMMAND, SC_RESTORE, 0);
    settle(100);
    EXPECT_FALSE(::IsIconic(w));
    EXPECT_TRUE(form->AlphaBlend());
    EXPECT_EQ(form->AlphaBlendValue(), 200);
    EXPECT_EQ(skin->FormState() & (TSkinForm::state_minimized | TSkinForm::state_restored), TSkinForm::state_restored);
    // A restore with nothing minimised changes nothing.
    form->SetAlphaBlendValue(150);
    skin->Restoring();
    EXPECT_EQ(form->AlphaBlendValue(), 150);
}

// While the application has the taskbar button, its window's minimise command minimises the main form
// and makes it see-through; its restore command brings both back.
TEST_F(skin_form_frame, TheApplicationsCommandsMinimiseAndRestoreTheMainForm) {
    if (Application->MainForm())
        GTEST_SKIP() << "the test program has a main form already";
    Application->CreateForm(form); // the main form until it is freed
    form->SetBorderStyle(TFormBorderStyle::bsSizeable);
    form->SetBounds(100, 80, 400, 300);
    skin = new TSkinForm(form);
    show();
    ASSERT_EQ(Application->MainForm(), form);
    const bool on_taskbar = Application->MainFormOnTaskBar();
    const auto keep = scope_exit([on_taskbar] { Application->SetMainFormOnTaskBar(on_taskbar); });
    Application->SetMainFormOnTaskBar(false);
    const HWND app = Application->Handle();
    ::SendMessageW(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(pump_until([&] { return ::IsIconic(form->Handle()) != 0; }));
    EXPECT_EQ(form->AlphaBlendValue(), 0);
    ::SendMessageW(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(pump_until([&] { return !::IsIconic(form->Handle()); }));
    EXPECT_TRUE(!form->AlphaBlend() || form->AlphaBlendValue() == 255);
    EXPECT_EQ(skin->FormState() & TSkinForm::state_restored, TSkinForm::state_restored);
    // With the taskbar button on the main form the application's commands are not the skin's.
    Application->SetMainFormOnTaskBar(true);
    ::SendMessageW(app, WM_SYSCOMMAND, SC_RESTORE, 0);
    ::ShowWindow(app, SW_RESTORE);
    ::SendMessageW(app, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    settle(200);
    EXPECT_FALSE(::IsIconic(form->Handle()));
    EXPECT_TRUE(!form->AlphaBlend() || form->AlphaBlendValue() == 255);
}

// A picture background tiled from the window's corner, and one stretched over the window that follows it
// when the window grows.
TEST_F(skin_form_frame, TiledAndStretchedPictureBackgrounds) {
    TBitmap32 picture; // four quadrants of 20 x 10
    picture.SetSize(40, 20);
    picture.FillRectS(0, 0, 20, 10, 0xFFC80000u);
    picture.FillRectS(20, 0, 40, 10, 0xFF00C800u);
    picture.FillRectS(0, 10, 20, 20, 0xFF0000C8u);
    picture.FillRectS(20, 10, 40, 20, 0xFFC8C800u);
    SkinResManager()->AddRes(&picture, u"FillTestPicture", u"");
    const auto reload = scope_exit([] { SkinResManager()->Reload(); });
    const auto quadrant = [](int x, int y) -> std::uint32_t {
        const bool right = x % 40 >= 20, low = y % 20 >= 10;
        return low ? (right ? 0xC8C800u : 0x0000C8u) : (right ? 0x00C800u : 0xC80000u);
    };

    make();
    skin->SetStyle(ssPicture);
    skin->SetFillStyle(mfsTile);
    skin->SetCustomPicture(u"FillTestPicture");
    show();
    {
        const window_pixels px(form->Handle());
        px.save(L"skin_form_tiled.bmp");
        // window pixels well inside each tile (the frame's lines lie over the edges)
        for (const POINT p :
             {POINT{45, 45}, POINT{65, 45}, POINT{45, 55}, POINT{65, 55}, POINT{385, 285}, POINT{205, 35}})
            EXPECT_EQ(px.at(p.x, p.y), quadrant(p.x, p.y)) << p.x << "," << p.y;
    }
    delete form;
    form = nullptr;

    make();
    skin->SetStyle(ssPicture);
    skin->SetFillStyle(mfsStretch);
    skin->SetCustomPicture(u"FillTestPicture");
    show();
    for (const SIZE size : {SIZE{400, 300}, SIZE{600, 360}}) {
        SCOPED_TRACE(size.cx);
        form->SetBounds(100, 80, size.cx, size.cy);
        settle(200);
        ::RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        settle();
        const window_pixels px(form->Handle());
        px.save(L"skin_form_stretched.bmp");
        // The picture covers the window's background, which is 10 pixels larger than the window.
        TBitmap32* bk = skin->BackgroundPicture();
        ASSERT_NE(bk, nullptr);
        EXPECT_EQ(bk->Width(), size.cx + 10);
        EXPECT_EQ(bk->Height(), size.cy + 10);
        // a quarter of the window in, each quadrant; the frame's strips and the client agree
        const int qx = (size.cx + 10) / 4, qy = (size.cy + 10) / 4;
        EXPECT_EQ(px.at(qx, qy), 0xC80000u);
        EXPECT_EQ(px.at(3 * qx, qy), 0x00C800u);
        EXPECT_EQ(px.at(qx, 3 * qy), 0x0000C8u);
        EXPECT_EQ(px.at(3 * qx, 3 * qy) & 0xFFFFFFu, 0xC8C800u);
    }
}

} // namespace
