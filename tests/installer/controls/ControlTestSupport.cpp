#include "ControlTestSupport.h"

#include "framework/Properties.h"

#include "graphics/Raster.h"
#include "skin/Skin.h"

#include <chrono>
#include <thread>
#include <utility>
#include <vector>

namespace kq::test {
namespace {

// The raster library first (the store names its resampler), then the skin library, which reads this
// program's store (the installer's).
struct skin_environment : ::testing::Environment {
    void SetUp() override {
        graphics_startup();
        skin_startup();
        // The system makes its shared cursors on first use and keeps them: made before any count.
        for (const wchar_t* id : {IDC_IBEAM, IDC_HAND}) ::LoadCursorW(nullptr, id);
    }
    void TearDown() override {
        skin_shutdown();
        graphics_shutdown();
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new skin_environment);

INPUT key_input(WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    return input;
}

// SendInput queues the strokes; the field sees them once the queue is served.
void pump(int ms = 40) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        Application->ProcessMessages();
        ::Sleep(1);
    }
}

// The system keeps what it first makes to draw a menu's separator: a menu with one is shown once, before
// any count.
void warm_up_menu_separator() {
    static bool done = false;
    if (std::exchange(done, true)) return;
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    const HMENU menu = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, 1, L"warm-up");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    std::thread user([] {
        for (int i = 0; i < 300 && !::FindWindowW(L"#32768", nullptr); ++i) ::Sleep(10);
        ::Sleep(200);
        if (const HWND w = ::FindWindowW(L"#32768", nullptr)) ::PostMessageW(w, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ::SetForegroundWindow(owner);
    ::TrackPopupMenuEx(menu, TPM_RETURNCMD, 10, 10, owner, nullptr);
    user.join();
    ::DestroyMenu(menu);
    ::DestroyWindow(owner);
}

// The thread's input method keeps a window from its first composition on: one is made once, before any
// count.
void warm_up_composition() {
    static bool done = false;
    if (std::exchange(done, true)) return;
    const HWND owner = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    compose(owner, u"x");
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::DestroyWindow(owner);
}

} // namespace

void compose(HWND window, const String& text) {
    const HIMC context = ::ImmGetContext(window);
    if (!context) return;
    ::ImmSetOpenStatus(context, TRUE);
    ::ImmSetCompositionStringW(context, SCS_SETSTR, const_cast<char16_t*>(text.data()),
                               static_cast<DWORD>(text.size() * sizeof(char16_t)), nullptr, 0);
    ::ImmNotifyIME(context, NI_COMPOSITIONSTR, CPS_COMPLETE, 0);
    ::ImmSetOpenStatus(context, FALSE);
    ::ImmReleaseContext(window, context);
}

void press(WORD key, std::initializer_list<WORD> held) {
    std::vector<INPUT> inputs;
    for (WORD h : held) inputs.push_back(key_input(h, 0));
    inputs.push_back(key_input(key, 0));
    inputs.push_back(key_input(key, KEYEVENTF_KEYUP));
    for (auto h = std::rbegin(held); h != std::rend(held); ++h) inputs.push_back(key_input(*h, KEYEVENTF_KEYUP));
    ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    pump();
}

void right_click(POINT screen) {
    mouse_to(screen);
    pump();
    INPUT inputs[2]{};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    ::SendInput(2, inputs, sizeof(INPUT));
    pump();
}

void type(const String& text) {
    for (char16_t c : text) {
        INPUT down{};
        down.type = INPUT_KEYBOARD;
        down.ki.wScan = c;
        down.ki.dwFlags = KEYEVENTF_UNICODE;
        INPUT up = down;
        up.ki.dwFlags |= KEYEVENTF_KEYUP;
        INPUT both[] = {down, up};
        ::SendInput(2, both, sizeof(INPUT));
    }
    pump();
}

const property_table& TEventForm::PublishedProperties() const {
    using C = TEventForm;
    static const property_table table = property_table::of<C>(TForm::PublishedProperties())
        .method(u"Notify", &C::Notify)
        .method(u"Key", &C::Key)
        .method(u"KeyPress", &C::KeyPress)
        .method(u"Mouse", &C::Mouse)
        .method(u"MouseMove", &C::MouseMove);
    return table;
}

void expect_item_round_trip(const std::vector<published_row>& rows) {
    register_class<TSkinEdit>();
    const std::unique_ptr<TEventForm> root{CreateForm<TEventForm>(nullptr)};
    expect_round_trip(*root, u"object Root: TEventForm\r\n  object Field: TSkinEdit\r\n    EdItems = <\r\n      item\r\n",
                      rows, u"      end>\r\n  end\r\nend\r\n", u"object Field: TSkinEdit");
}

void edit_form::SetUp() {
    warm_up_menu_separator();
    warm_up_composition();
    visual_test::SetUp();
    form = CreateForm<TForm>(Application);
    form->SetBorderStyle(TFormBorderStyle::bsNone);
    form->SetBounds(40, 40, 569, 180);
    form->SetColor(clWhite);
    edit = new TSkinEdit(form);
    edit->SetParent(form);
    edit->SetBounds(32, 58, 418, 32);
    edit->SetBorderNormal(u"00603[36x22x8BPP]");
    edit->SetBorderHot(u"00601[36x22x8BPP]");
    edit->Space().SetLeft(8);
    edit->Space().SetTop(7);
    edit->Space().SetRight(8);
    edit->Space().SetBottom(6);
    edit->Font().SetName(u"微软雅黑");
    edit->Font().SetHeight(-12);
    edit->FontHint().SetName(u"微软雅黑");
    edit->FontHint().SetHeight(-12);
}

void edit_form::TearDown() {
    delete form;
    visual_test::TearDown();
}

void edit_form::show() {
    form->Show();
    ::SetForegroundWindow(form->Handle());
    edit->SetFocus();
    form->Update();
    settle(100);
}

void edit_form::click(int x, int y) {
    mouse_to(at(x, y));
    settle(20);
    left_down();
    settle(20);
    left_up();
    settle();
}

} // namespace kq::test
