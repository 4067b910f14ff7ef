#include "framework/Timers.h"

#include "framework/Properties.h"
#include "framework/Threads.h"

#include <map>

namespace kq {

namespace {

constexpr wchar_t hidden_class[] = L"THiddenWindow";

// The methods of the hidden windows, by handle (GUI thread only).
std::map<HWND, TWndMethod>& methods() {
    static std::map<HWND, TWndMethod> m;
    return m;
}

LRESULT CALLBACK hidden_proc(HWND h, UINT m, WPARAM w, LPARAM l) noexcept {
    const auto it = methods().find(h);
    if (it == methods().end()) return ::DefWindowProcW(h, m, w, l);
    return guard_callback(LRESULT{0}, [&] {
        // A copy: the method may deallocate its own window.
        const TWndMethod method = it->second;
        TMessage message{m, w, l, 0};
        method(message);
        return message.Result;
    });
}

} // namespace

HINSTANCE register_window_class(const wchar_t* Name, WNDPROC Proc) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (!::GetClassInfoExW(instance, Name, &wc)) {
        wc = WNDCLASSEXW{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = Proc;
        wc.hInstance = instance;
        wc.lpszClassName = Name;
        if (!::RegisterClassExW(&wc)) RaiseLastOSError();
    }
    return instance;
}

namespace {

HWND allocate_hidden(TWndMethod Method, HWND parent) {
    const HINSTANCE instance = register_window_class(hidden_class, hidden_proc);
    const HWND window = ::CreateWindowExW(0, hidden_class, L"", 0, 0, 0, 0, 0, parent, nullptr, instance, nullptr);
    if (!window) RaiseLastOSError();
    methods()[window] = std::move(Method);
    return window;
}

} // namespace

HWND AllocateHWnd(TWndMethod Method) {
    // A message-only window: never shown, never enumerated as a top-level window.
    return allocate_hidden(std::move(Method), HWND_MESSAGE);
}

HWND AllocateBroadcastHWnd(TWndMethod Method) {
    // A hidden top-level window: the system's broadcasts reach only top-level windows.
    return allocate_hidden(std::move(Method), nullptr);
}

void DeallocateHWnd(HWND Window) noexcept {
    methods().erase(Window);
    ::DestroyWindow(Window);
}

// --- TTimer

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
    FWindow.reset(AllocateHWnd([this](TMessage& m) {
        if (m.Msg == WM_TIMER) {
            if (OnTimer) OnTimer(this);
            return;
        }
        m.Result = ::DefWindowProcW(FWindow.get(), m.Msg, m.WParam, m.LParam);
    }));
    UpdateTimer();
}

TTimer::~TTimer() {
    if (FWindow) ::KillTimer(FWindow.get(), 1);
}

const property_table& TTimer::PublishedProperties() const {
    static const property_table table = property_table::of<TTimer>(TComponent::PublishedProperties())
        .boolean(u"Enabled", &TTimer::Enabled, &TTimer::SetEnabled, true)
        .integer(u"Interval", &TTimer::Interval, &TTimer::SetInterval, 1000u)
        .event(u"OnTimer", &TTimer::OnTimer);
    return table;
}

void TTimer::UpdateTimer() {
    ::KillTimer(FWindow.get(), 1);
    if (FEnabled && FInterval > 0) {
        if (!::SetTimer(FWindow.get(), 1, FInterval, nullptr))
            throw EOutOfResources(u"Not enough timers available");
    }
}

void TTimer::SetEnabled(bool Value) {
    assert_gui_thread();
    if (Value == FEnabled) return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetInterval(unsigned Value) {
    if (Value == FInterval) return;
    FInterval = Value;
    UpdateTimer();
}

} // namespace kq
