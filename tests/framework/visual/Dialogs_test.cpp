#include "framework/Dialogs.h"

#include "VisualFixture.h"

#include <thread>

using namespace kq;
using kq::test::visual_test;

namespace {

HWND child_of_class(HWND parent, const wchar_t* cls) { return ::FindWindowExW(parent, nullptr, cls, nullptr); }

// A form with one 100 x 50 control at its corner that shows hint, and hints after a pause of 10 ms.
TCustomControl* hinted_control(TForm* form, const String& hint) {
    auto* panel = new TCustomControl(form);
    panel->SetBounds(0, 0, 100, 50);
    panel->SetParent(form);
    panel->SetHint(hint);
    panel->SetShowHint(true);
    form->HandleNeeded();
    Application->SetHintPause(10);
    return panel;
}

bool visible_hint(const wchar_t* text) {
    const HWND h = ::FindWindowW(L"THintWindow", text);
    return h && ::IsWindowVisible(h);
}

} // namespace

TEST_F(visual_test, InputQueryChangesTheValueOnlyWhenConfirmed) {
    struct row {
        const char* name;
        int button;
        bool result;
        String value;
    };
    for (const row& r : {row{"OK", IDOK, true, u"typed 文字"}, row{"Cancel", IDCANCEL, false, u"initial"}}) {
        SCOPED_TRACE(r.name);
        std::wstring prompt_seen, initial_seen;
        std::thread user = kq::test::answer_window(L"Query title", [&](HWND w) {
            wchar_t buffer[64] = {};
            ::GetWindowTextW(child_of_class(w, L"Static"), buffer, 64);
            prompt_seen = buffer;
            const HWND edit = child_of_class(w, L"Edit");
            ::GetWindowTextW(edit, buffer, 64);
            initial_seen = buffer;
            ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"typed 文字"));
            return r.button;
        });
        String value = u"initial";
        EXPECT_EQ(InputQuery(u"Query title", u"Your name:", value), r.result);
        user.join();
        EXPECT_EQ(value, r.value);
        EXPECT_EQ(prompt_seen, L"Your name:");
        EXPECT_EQ(initial_seen, L"initial");
    }
}

TEST_F(visual_test, ShowMessageUsesTheApplicationTitle) {
    Application->SetTitle(u"Message title");
    std::wstring text;
    std::thread user = kq::test::answer_window(L"Message title", [&](HWND w) {
        for (HWND c = ::GetWindow(w, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            wchar_t buffer[64] = {};
            ::GetClassNameW(c, buffer, 64);
            if (std::wstring(buffer) == L"Static" && ::GetWindowTextW(c, buffer, 64) > 0) text = buffer;
        }
        return text.empty() ? 0 : IDOK;
    }, L"#32770");
    ShowMessage(u"Hello");
    user.join();
    EXPECT_EQ(text, L"Hello");
}

TEST_F(visual_test, HintWindowShowsItsTextWithoutTakingTheFocus) {
    THintWindow hint(nullptr);
    const RECT small = hint.CalcHintRect(400, u"short");
    const RECT wide = hint.CalcHintRect(400, u"a considerably longer hint text");
    const RECT wrapped = hint.CalcHintRect(60, u"a considerably longer hint text");
    EXPECT_GT(wide.right, small.right);
    EXPECT_GT(wrapped.bottom, wide.bottom);

    const HWND before = ::GetActiveWindow();
    hint.ActivateHint(RECT{100, 100, 100 + wide.right, 100 + wide.bottom}, u"a considerably longer hint text");
    EXPECT_TRUE(::IsWindowVisible(hint.Handle()));
    EXPECT_EQ(::GetActiveWindow(), before);
    wchar_t buffer[64] = {};
    ::GetWindowTextW(hint.Handle(), buffer, 64);
    EXPECT_EQ(std::wstring(buffer), L"a considerably longer hint text");
    RECT r{};
    ::GetWindowRect(hint.Handle(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right - r.left, wide.right);
    hint.ReleaseHandle();
    EXPECT_FALSE(hint.HandleAllocated());
}

TEST_F(visual_test, ControlHintsComeAfterThePauseAndGoOnAClick) {
    TForm* form = CreateForm<TForm>(Application);
    TCustomControl* panel = hinted_control(form, u"plain hint");

    ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_TRUE(pump_until([&] { return visible_hint(L"plain hint"); }));
    ::SendMessageW(panel->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_FALSE(visible_hint(L"plain hint"));
    ::SendMessageW(panel->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));

    // CM_HINTSHOW may replace the text, or refuse the hint.
    bool refuse = false;
    auto changer = panel->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        if (m.Msg != CM_HINTSHOW) return next(m);
        reinterpret_cast<THintInfo*>(m.LParam)->HintStr = u"from the control";
        m.Result = refuse;
    });
    ::SendMessageW(panel->Handle(), WM_MOUSELEAVE, 0, 0);
    ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
    EXPECT_TRUE(pump_until([&] { return visible_hint(L"from the control"); }));
    ::SendMessageW(panel->Handle(), WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(visible_hint(L"from the control"));
    refuse = true;
    ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(7, 7));
    pump_until([] { return false; }, 100);
    EXPECT_FALSE(visible_hint(L"from the control"));
    delete form;
}

TEST_F(visual_test, AHintGoesAfterTheHidePauseAndComesBackOnlyOnANewRest) {
    TForm* form = CreateForm<TForm>(Application);
    TCustomControl* panel = hinted_control(form, u"brief hint");
    Application->SetHintHidePause(50);
    const auto visible = [] { return visible_hint(L"brief hint"); };

    for (int rest = 0; rest < 2; ++rest) {
        SCOPED_TRACE(rest);
        ::SendMessageW(panel->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(5 + rest * 10, 5));
        EXPECT_TRUE(pump_until(visible));
        EXPECT_TRUE(pump_until([&] { return !visible(); }));
        pump_until([] { return false; }, 100);
        EXPECT_FALSE(visible()) << "the pause before showing fires once per rest";
        ::SendMessageW(panel->Handle(), WM_MOUSELEAVE, 0, 0);
    }
    Application->SetHintHidePause(2500);
    Application->SetHintPause(500);
    delete form;
}
