#include "framework/Controls.h"

#include "VisualFixture.h"

#include <cstdio>
#include <thread>

// RECT lives in the global namespace; its comparison must too, for the test macros to find it.
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

using namespace kq;
using kq::test::probe_dc;
using kq::test::visual_test;

namespace {

class TPanel : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
};

// Paints its client area in one colour.
class TSwatch : public TCustomControl {
public:
    TSwatch(TComponent* owner, TColor colour) : TCustomControl(owner), FFill(colour) {}

protected:
    void Paint() override {
        Canvas().Brush().SetColor(FFill);
        Canvas().FillRect(ClientRect());
    }

private:
    TColor FFill;
};

class TMark : public TGraphicControl {
public:
    TMark(TComponent* owner, TColor colour) : TGraphicControl(owner), FFill(colour) {}

protected:
    void Paint() override {
        Canvas().Brush().SetColor(FFill);
        Canvas().FillRect(RECT{0, 0, Width(), Height()});
    }

private:
    TColor FFill;
};

RECT bounds(const TControl* c) { return c->BoundsRect(); }

std::string text(const RECT& r) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "(%ld,%ld,%ld,%ld)", long(r.left), long(r.top), long(r.right), long(r.bottom));
    return buffer;
}

} // namespace

TEST_F(visual_test, AlignLaysOutEdgesAndClientWhenTheFormResizes) {
    TForm* form = CreateForm<TForm>(Application);
    auto* top = new TPanel(form);
    top->SetBounds(0, 0, 10, 30);
    top->SetAlign(TAlign::alTop);
    top->SetParent(form);
    auto* bottom = new TPanel(form);
    bottom->SetBounds(0, 0, 10, 20);
    bottom->SetAlign(TAlign::alBottom);
    bottom->SetParent(form);
    auto* left = new TPanel(form);
    left->SetBounds(0, 0, 50, 10);
    left->SetAlign(TAlign::alLeft);
    left->SetParent(form);
    auto* right = new TPanel(form);
    right->SetBounds(0, 0, 40, 10);
    right->SetAlign(TAlign::alRight);
    right->SetParent(form);
    auto* client = new TPanel(form);
    client->SetAlign(TAlign::alClient);
    client->SetParent(form);
    auto* corner = new TPanel(client); // anchored to the client panel's bottom-right corner
    corner->SetParent(client);
    corner->SetAnchors({TAnchorKind::akRight, TAnchorKind::akBottom});

    form->SetClientSize(400, 300);
    corner->SetBounds(client->ClientWidth() - 15, client->ClientHeight() - 12, 10, 8);
    form->Show();

    struct row {
        int width, height;
    };
    for (const row size : {row{400, 300}, row{500, 200}, row{150, 120}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        form->SetClientSize(size.width, size.height);
        ASSERT_EQ(form->ClientWidth(), size.width);
        ASSERT_EQ(form->ClientHeight(), size.height);
        const int w = size.width, h = size.height;
        EXPECT_EQ(bounds(top), (RECT{0, 0, w, 30})) << text(bounds(top));
        EXPECT_EQ(bounds(bottom), (RECT{0, h - 20, w, h})) << text(bounds(bottom));
        EXPECT_EQ(bounds(left), (RECT{0, 30, 50, h - 20})) << text(bounds(left));
        EXPECT_EQ(bounds(right), (RECT{w - 40, 30, w, h - 20})) << text(bounds(right));
        EXPECT_EQ(bounds(client), (RECT{50, 30, w - 40, h - 20})) << text(bounds(client));
        EXPECT_EQ(corner->Left(), client->Width() - 15);
        EXPECT_EQ(corner->Top(), client->Height() - 12);
        // The windows agree with the framework's bounds.
        RECT r{};
        ::GetWindowRect(client->Handle(), &r);
        ::MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r, bounds(client)) << text(r);
    }
    // Hidden controls give their room to the others.
    top->Hide();
    EXPECT_EQ(left->Top(), 0);
    delete form;
}

TEST_F(visual_test, HooksSeeEveryMessageAndUnhookInEitherOrder) {
    TForm* form = CreateForm<TForm>(Application);
    form->HandleNeeded();
    std::vector<UINT> seen_a, seen_b, seen_proc;
    // A component in the style of a skin: it saves WindowProc and puts its own in front.
    const TWndMethod original = form->WindowProc;
    form->WindowProc = [&](TMessage& m) {
        if (m.Msg >= WM_APP) seen_proc.push_back(m.Msg);
        original(m);
    };
    auto hook_into = [&](std::vector<UINT>& seen) {
        return form->HookWindowProc([&seen](TMessage& m, const TWndMethod& next) {
            if (m.Msg >= WM_APP) seen.push_back(m.Msg);
            next(m);
        });
    };
    auto send = [&](UINT m) {
        ::SendMessageW(form->Handle(), m, 0, 0); // through the window
        form->Perform(m + 100, 0, 0);           // and straight to the control
    };

    for (bool a_first : {true, false}) {
        SCOPED_TRACE(a_first ? "A unhooked first" : "B unhooked first");
        seen_a.clear();
        seen_b.clear();
        seen_proc.clear();
        window_hook a = hook_into(seen_a);
        window_hook b = hook_into(seen_b);
        send(WM_APP + 1);
        EXPECT_EQ(seen_a, (std::vector<UINT>{WM_APP + 1, WM_APP + 101}));
        EXPECT_EQ(seen_b, seen_a);
        (a_first ? a : b).Unhook();
        send(WM_APP + 2);
        (a_first ? b : a).Unhook();
        send(WM_APP + 3);
        const std::vector<UINT>& survivor = a_first ? seen_b : seen_a;
        const std::vector<UINT>& gone = a_first ? seen_a : seen_b;
        EXPECT_EQ(survivor, (std::vector<UINT>{WM_APP + 1, WM_APP + 101, WM_APP + 2, WM_APP + 102}));
        EXPECT_EQ(gone.size(), 2u);
        // Nothing was lost on the way to the window procedure.
        EXPECT_EQ(seen_proc, (std::vector<UINT>{WM_APP + 1, WM_APP + 101, WM_APP + 2, WM_APP + 102, WM_APP + 3,
                                                WM_APP + 103}));
    }

    // A hook that removes itself (and its neighbour) while handling a message.
    seen_a.clear();
    window_hook inner = hook_into(seen_a);
    window_hook self;
    self = form->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        if (m.Msg == WM_APP + 7) {
            inner.Unhook();
            self.Unhook();
        }
        next(m);
    });
    send(WM_APP + 7);
    send(WM_APP + 8);
    EXPECT_EQ(seen_a, std::vector<UINT>{});
    EXPECT_FALSE(self.Hooked());

    // A hook may outlive its control.
    window_hook late = hook_into(seen_a);
    delete form;
    late.Unhook();
}

TEST_F(visual_test, PaintsIntoTheDeviceContextGivenWithWmPaint) {
    TForm* form = CreateForm<TForm>(Application);
    form->SetColor(clWhite);
    auto* swatch = new TSwatch(form, clRed);
    swatch->SetBounds(10, 10, 40, 30);
    swatch->SetParent(form);
    auto* mark = new TMark(swatch, RGB(0, 0, 255)); // windowless, painted by its parent
    mark->SetBounds(5, 5, 6, 6);
    mark->SetParent(swatch);
    form->HandleNeeded(); // created, never shown: the paint must not need the screen

    probe_dc probe(100, 80);
    probe.fill(RGB(0, 255, 0));
    ::SendMessageW(swatch->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(probe.dc()), 0);
    EXPECT_EQ(probe.at(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(probe.at(39, 29), RGB(255, 0, 0));
    EXPECT_EQ(probe.at(7, 7), RGB(0, 0, 255));
    EXPECT_EQ(probe.at(40, 30), RGB(0, 255, 0)); // nothing outside the control's size

    // A whole form into a foreign DC: background, then each child at its place.
    probe.fill(RGB(0, 255, 0));
    form->PaintTo(probe.dc(), 0, 0);
    EXPECT_EQ(probe.at(2, 2), RGB(255, 255, 255));
    EXPECT_EQ(probe.at(12, 12), RGB(255, 0, 0));
    EXPECT_EQ(probe.at(16, 16), RGB(0, 0, 255));
    delete form;
}

namespace {

struct box_seen {
    std::wstring title, text;
    bool error_icon = false;
};

// Reads a message box: its title, its text and whether it shows the error icon. Not ready (0) until the
// text is there.
int read_box(HWND box, box_seen& seen) {
    wchar_t buffer[256] = {};
    ::GetWindowTextW(box, buffer, 256);
    seen.title = buffer;
    // The message is the static text without an icon; the icon static holds the error icon.
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::GetClassNameW(child, buffer, 256);
        if (std::wstring(buffer) != L"Static") continue;
        const auto icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        if (icon) {
            seen.error_icon = icon == ::LoadIconW(nullptr, IDI_HAND);
        } else if (::GetWindowTextW(child, buffer, 256) > 0) {
            seen.text = buffer;
        }
    }
    return seen.text.empty() ? 0 : IDOK;
}

} // namespace

TEST_F(visual_test, ExceptionInAClickReachesTheTopLevelHandlerAndTheLoopGoesOn) {
    Application->SetTitle(u"KQ handler test");
    TForm* form = CreateForm<TForm>(Application);
    auto* button = new TSwatch(form, clBtnFace);
    button->SetBounds(0, 0, 50, 20);
    button->SetParent(form);
    int clicks = 0;
    button->OnClick = [&](TObject*) {
        ++clicks;
        try {
            throw EConvertError(u"inner cause");
        } catch (...) {
            std::throw_with_nested(Exception(u"outer wrapper"));
        }
    };
    form->Show();

    box_seen seen;
    std::thread watcher = kq::test::answer_window(
        L"KQ handler test", [&](HWND box) { return read_box(box, seen); }, L"#32770");
    ::PostMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    pump_until([&] { return clicks == 1 && !::FindWindowW(L"#32770", L"KQ handler test"); }, 60000);
    watcher.join();

    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(seen.title, L"KQ handler test");
    EXPECT_EQ(seen.text, L"inner cause");
    EXPECT_TRUE(seen.error_icon);

    // The loop goes on: the next click arrives.
    button->OnClick = [&](TObject*) { ++clicks; };
    ::PostMessageW(button->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    ::PostMessageW(button->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(pump_until([&] { return clicks == 2; }));
    delete form;
}

TEST_F(visual_test, ControlsAreFoundByClassNameAndCaption) {
    TForm* form = CreateForm<TForm>(Application);
    form->SetCaption(u"Finder");
    auto* panel = new TPanel(form);
    panel->SetCaption(u"第一");
    panel->SetParent(form);
    form->Show();
    const HWND found = ::FindWindowW(L"TForm", L"Finder");
    EXPECT_EQ(found, form->Handle());
    EXPECT_EQ(::FindWindowExW(found, nullptr, L"TPanel", L"第一"), panel->Handle());
    // Text set through the window reaches the control, and the other way round.
    ::SendMessageW(panel->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"second"));
    EXPECT_EQ(panel->Caption(), u"second");
    int changes = 0;
    auto counter = panel->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        changes += m.Msg == CM_TEXTCHANGED;
        next(m);
    });
    panel->SetCaption(u"third");
    wchar_t buffer[32] = {};
    ::GetWindowTextW(panel->Handle(), buffer, 32);
    EXPECT_EQ(std::wstring(buffer), L"third");
    EXPECT_EQ(changes, 1);
    delete form;
}

TEST_F(visual_test, MouseEnterAndLeaveFollowTheControlUnderTheMouse) {
    TForm* form = CreateForm<TForm>(Application);
    auto* panel = new TPanel(form);
    panel->SetBounds(0, 0, 100, 100);
    panel->SetParent(form);
    auto* mark = new TMark(panel, clRed);
    mark->SetBounds(50, 50, 20, 20);
    mark->SetParent(panel);
    std::vector<std::string> log;
    panel->OnMouseEnter = [&](TObject*) { log.push_back("enter panel"); };
    panel->OnMouseLeave = [&](TObject*) { log.push_back("leave panel"); };
    mark->OnMouseEnter = [&](TObject*) { log.push_back("enter mark"); };
    mark->OnMouseLeave = [&](TObject*) { log.push_back("leave mark"); };
    int mark_clicks = 0;
    mark->OnClick = [&](TObject*) { ++mark_clicks; };
    form->Show();

    ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(55, 55));
    ::SendMessageW(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(55, 55));
    ::SendMessageW(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(56, 56));
    ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ::SendMessageW(panel->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"enter panel", "leave panel", "enter mark", "leave mark", "enter panel",
                                             "leave panel"}));
    EXPECT_EQ(mark_clicks, 1);
    EXPECT_FALSE(panel->MouseInControl());
    delete form;
}

TEST_F(visual_test, FormsWithControlsLeaveNoGdiOrUserObjects) {
    auto cycle = [] {
        TForm* form = CreateForm<TForm>(Application);
        form->SetBounds(10, 10, 200, 150);
        auto* panel = new TPanel(form);
        panel->SetAlign(TAlign::alTop);
        panel->SetParent(form);
        panel->Font().SetStyle({TFontStyle::fsBold});
        auto* swatch = new TSwatch(form, clRed);
        swatch->SetParent(panel);
        auto* mark = new TMark(form, RGB(0, 0, 255));
        mark->SetParent(form);
        // Created and painted but never mapped: without a window manager each shown top-level
        // window costs seconds to withdraw.
        form->HandleNeeded();
        probe_dc probe(200, 150);
        form->PaintTo(probe.dc(), 0, 0);
        ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
        Application->ProcessMessages();
        delete form;
    };
    cycle(); // classes registered, stock objects loaded
    const kq::test::handle_counts before = kq::test::current_handle_counts();
    for (int i = 0; i < 1000; ++i) cycle();
    const kq::test::handle_counts after = kq::test::current_handle_counts();
    EXPECT_EQ(after.gdi, before.gdi);
    EXPECT_EQ(after.user, before.user);
}

TEST_F(visual_test, ParentFontAndColourFlowDownUntilAChildChoosesItsOwn) {
    TForm* form = CreateForm<TForm>(Application);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    auto* inner = new TPanel(form);
    inner->SetParent(panel);
    inner->SetParentColor(true);
    int font_changes = 0;
    auto counter = inner->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        font_changes += m.Msg == CM_FONTCHANGED;
        next(m);
    });

    form->Font().SetName(u"Arial");
    EXPECT_EQ(panel->Font().Name(), u"Arial");
    EXPECT_EQ(inner->Font().Name(), u"Arial");
    EXPECT_TRUE(inner->ParentFont());
    EXPECT_EQ(font_changes, 1);
    panel->SetColor(clRed);
    EXPECT_EQ(inner->Color(), clRed);

    inner->Font().SetSize(20); // its own choice from now on
    EXPECT_FALSE(inner->ParentFont());
    form->Font().SetName(u"Tahoma");
    EXPECT_EQ(panel->Font().Name(), u"Tahoma");
    EXPECT_EQ(inner->Font().Name(), u"Arial");
    delete form;
}

TEST_F(visual_test, ConstraintsLimitTheSizeSetBoundsGives) {
    TForm* form = CreateForm<TForm>(Application);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    panel->SetConstraints({20, 10, 100, 50});
    struct row {
        int width, height, expected_width, expected_height;
    };
    for (const row r : {row{5, 5, 20, 10}, row{60, 30, 60, 30}, row{500, 500, 100, 50}}) {
        panel->SetBounds(0, 0, r.width, r.height);
        EXPECT_EQ(panel->Width(), r.expected_width);
        EXPECT_EQ(panel->Height(), r.expected_height);
    }
    // An aligned control is bounded too.
    panel->SetAlign(TAlign::alClient);
    form->SetClientSize(300, 300);
    EXPECT_EQ(panel->Width(), 100);
    delete form;
}

TEST_F(visual_test, ScreenKnowsItsMonitorsAndForms) {
    const std::vector<TMonitor> monitors = Screen->Monitors();
    ASSERT_FALSE(monitors.empty());
    EXPECT_EQ(std::count_if(monitors.begin(), monitors.end(), [](const TMonitor& m) { return m.Primary; }), 1);
    const RECT work = Screen->WorkAreaRect();
    EXPECT_GT(work.right - work.left, 0);
    EXPECT_LE(work.right - work.left, Screen->Width());
    TForm* form = CreateForm<TForm>(Application);
    EXPECT_EQ(Screen->MonitorFromWindow(form->Handle()).Handle, monitors.front().Handle);
    delete form;
}

TEST_F(visual_test, ControlStyleDecidesCaptureClicksAndDoubleClicks) {
    using enum TControlStyleFlag;
    struct row {
        const char* name;
        bool windowed;
        TControlStyle removed;
        bool captures, clicks, double_clicks;
    };
    const row rows[] = {
        {"windowed, default style", true, {}, true, true, true},
        {"windowed without capture", true, {csCaptureMouse}, false, true, true},
        {"windowed without clicks", true, {csClickEvents}, true, false, true},
        {"windowed without double clicks", true, {csDoubleClicks}, true, true, false},
        {"graphic, default style", false, {}, true, true, true},
        {"graphic without capture", false, {csCaptureMouse}, false, true, true},
        {"graphic without clicks", false, {csClickEvents}, true, false, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TForm* form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 200, 100);
        TControl* control = r.windowed ? static_cast<TControl*>(new TPanel(form)) : new TMark(form, clRed);
        control->SetBounds(10, 10, 50, 30);
        control->SetParent(form);
        control->SetControlStyle(control->ControlStyle() - r.removed);
        int clicks = 0, double_clicks = 0, downs = 0;
        control->OnClick = [&](TObject*) { ++clicks; };
        control->OnDblClick = [&](TObject*) { ++double_clicks; };
        control->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
        form->HandleNeeded();

        const HWND window = r.windowed ? static_cast<TWinControl*>(control)->Handle() : form->Handle();
        const LPARAM at = r.windowed ? MAKELPARAM(5, 5) : MAKELPARAM(15, 15);
        ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        EXPECT_EQ(::GetCapture() == window, r.captures);
        ::SendMessageW(window, WM_LBUTTONUP, 0, at);
        EXPECT_EQ(::GetCapture(), nullptr);
        EXPECT_EQ(clicks, r.clicks ? 1 : 0);
        ::SendMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        ::SendMessageW(window, WM_LBUTTONUP, 0, at);
        EXPECT_EQ(double_clicks, r.double_clicks ? 1 : 0);
        EXPECT_EQ(downs, 2); // a double click without csDoubleClicks is a plain press
        delete form;
    }
}

TEST_F(visual_test, OpaqueControlsKeepTheBackgroundTheyHave) {
    for (const bool opaque : {false, true}) {
        SCOPED_TRACE(opaque ? "opaque" : "erased");
        TForm* form = CreateForm<TForm>(Application);
        auto* panel = new TPanel(form);
        panel->SetBounds(0, 0, 20, 20);
        panel->SetColor(clRed);
        panel->SetParent(form);
        if (opaque) panel->SetControlStyle(panel->ControlStyle() + TControlStyle{TControlStyleFlag::csOpaque});
        form->HandleNeeded();
        probe_dc probe(20, 20);
        probe.fill(RGB(0, 0, 255));
        EXPECT_EQ(::SendMessageW(panel->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(probe.dc()), 0), 1);
        EXPECT_EQ(probe.at(5, 5), opaque ? RGB(0, 0, 255) : RGB(255, 0, 0));
        delete form;
    }
}

TEST_F(visual_test, EachFrameworkWindowLeadsToItsOwnObjectOnly) {
    TForm* form = CreateForm<TForm>(Application);
    auto* panel = new TPanel(form);
    panel->SetParent(form);
    EXPECT_EQ(FindControl(form->Handle()), form);
    EXPECT_EQ(FindControl(panel->Handle()), panel);
    EXPECT_EQ(window_object(Application->Handle()), Application);
    EXPECT_EQ(FindControl(Application->Handle()), nullptr) << "the application is no control";
    EXPECT_EQ(FindControl(::GetDesktopWindow()), nullptr);

    // A method may end its own window; the window's object is gone with it.
    HWND hidden = nullptr;
    int seen = 0;
    hidden = AllocateHWnd([&](TMessage& m) {
        if (m.Msg != WM_USER) return;
        ++seen;
        DeallocateHWnd(hidden);
    });
    EXPECT_EQ(window_object(hidden), nullptr);
    ::SendMessageW(hidden, WM_USER, 0, 0);
    EXPECT_EQ(seen, 1);
    EXPECT_FALSE(::IsWindow(hidden));

    const HWND panel_window = panel->Handle();
    panel->DestroyHandle();
    EXPECT_FALSE(panel->HandleAllocated());
    EXPECT_EQ(FindControl(panel_window), nullptr);
    EXPECT_NE(panel->Handle(), nullptr) << "made again on the next use";
    delete form;
}

// The fixture's check is only as good as its measure: each kind of object must move it by one.
TEST(handle_counts, SeeEachObjectOfTheProcessComeAndGo) {
    using kq::test::current_handle_counts;
    // A top-level window brings system windows of its own; it is the parent here, made before counting.
    const HWND top = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(top);
    const kq::test::handle_counts before = current_handle_counts();
    const HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
    const HMENU menu = ::CreateMenu();
    const HWND child = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, top, nullptr, nullptr, nullptr);
    const HWND hidden = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(brush && menu && child && hidden);
    const kq::test::handle_counts with = current_handle_counts();
    EXPECT_EQ(with.gdi, before.gdi + 1);
    EXPECT_EQ(with.user, before.user + 3);
    ::DeleteObject(brush);
    ::DestroyMenu(menu);
    ::DestroyWindow(hidden);
    ::DestroyWindow(child);
    const kq::test::handle_counts after = current_handle_counts();
    EXPECT_EQ(after.gdi, before.gdi);
    EXPECT_EQ(after.user, before.user);
    ::DestroyWindow(top);
}
