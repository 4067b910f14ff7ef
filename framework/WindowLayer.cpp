#include "framework/WindowLayer.h"

#include <atomic>
#include <cassert>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

namespace kq {

namespace {

struct window_layer_state {
    std::unordered_map<HWND, window_binding> windows;
    std::set<std::wstring> classes;
    window_binding* creating = nullptr; // the binding of the window create_bound_window is making
};

window_layer_state& state() {
    static window_layer_state s;
    return s;
}

HINSTANCE instance() noexcept { return ::GetModuleHandleW(nullptr); }

std::atomic<DWORD> gui_id{0};

} // namespace

// --- Window handles and their objects

namespace {

// The window procedure of every class the framework registers.
LRESULT CALLBACK framework_window_proc(HWND h, UINT m, WPARAM w, LPARAM l) noexcept {
    assert_gui_thread();
    auto& windows = state().windows;
    auto it = windows.find(h);
    if (it == windows.end() && state().creating) {
        // The first message of the window being created: a top-level window's WM_GETMINMAXINFO comes
        // before WM_NCCREATE, and its handlers must see it too.
        window_binding* binding = std::exchange(state().creating, nullptr);
        if (binding->handle) *binding->handle = h;
        it = windows.insert_or_assign(h, std::move(*binding)).first;
    }
    if (it == windows.end() && m == WM_NCCREATE) {
        if (auto* binding = static_cast<window_binding*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams)) {
            if (binding->handle) *binding->handle = h;
            it = windows.insert_or_assign(h, std::move(*binding)).first;
        }
    }
    if (it == windows.end()) return ::DefWindowProcW(h, m, w, l);
    // A copy: the method may destroy its own window, and with it the binding.
    const TWndMethod method = it->second.method;
    const LRESULT result = guard_callback(LRESULT{0}, [&] {
        TMessage message{m, w, l, 0};
        method(message);
        return message.Result;
    });
    if (m == WM_NCDESTROY) {
        it = windows.find(h);
        if (it != windows.end()) {
            if (it->second.handle) *it->second.handle = nullptr;
            windows.erase(it);
        }
    }
    return result;
}

} // namespace

HINSTANCE register_window_class(WNDCLASSEXW window_class) {
    auto& classes = state().classes;
    const HINSTANCE module = instance();
    if (!classes.count(window_class.lpszClassName)) {
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = framework_window_proc;
        window_class.hInstance = module;
        if (!::RegisterClassExW(&window_class) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            RaiseLastOSError();
        classes.insert(window_class.lpszClassName);
    }
    return module;
}

HINSTANCE register_window_class(const wchar_t* name) {
    WNDCLASSEXW window_class{};
    window_class.lpszClassName = name;
    return register_window_class(window_class);
}

void bind_window(HWND window, window_binding binding) {
    if (binding.handle) *binding.handle = window;
    state().windows.insert_or_assign(window, std::move(binding));
}

void unbind_window(HWND window) noexcept { state().windows.erase(window); }

HWND create_bound_window(DWORD ex_style, const wchar_t* class_name, const wchar_t* caption, DWORD style, int x, int y,
                         int width, int height, HWND parent, window_binding binding) {
    auto& s = state();
    const auto previous = std::exchange(s.creating, &binding);
    auto restore = scope_exit([&] { s.creating = previous; });
    return ::CreateWindowExW(ex_style, class_name, caption, style, x, y, width, height, parent, nullptr, instance(),
                             &binding);
}

TObject* window_object(HWND window) noexcept {
    auto& w = state().windows;
    const auto it = w.find(window);
    return it == w.end() ? nullptr : it->second.object;
}

namespace {

HWND allocate_hidden(TWndMethod method, HWND parent) {
    constexpr wchar_t hidden_class[] = L"THiddenWindow";
    const HINSTANCE module = register_window_class(hidden_class);
    const HWND window = ::CreateWindowExW(0, hidden_class, L"", 0, 0, 0, 0, 0, parent, nullptr, module, nullptr);
    if (!window) RaiseLastOSError();
    bind_window(window, {nullptr, std::move(method)});
    return window;
}

} // namespace

HWND AllocateHWnd(TWndMethod method) {
    // A message-only window: never shown, never enumerated as a top-level window.
    return allocate_hidden(std::move(method), HWND_MESSAGE);
}

HWND AllocateBroadcastHWnd(TWndMethod method) {
    // A hidden top-level window: the system's broadcasts reach only top-level windows.
    return allocate_hidden(std::move(method), nullptr);
}

void DeallocateHWnd(HWND window) noexcept {
    unbind_window(window);
    ::DestroyWindow(window);
}

void unregister_window_classes() noexcept {
    for (const std::wstring& name : state().classes) ::UnregisterClassW(name.c_str(), instance());
    state().classes.clear();
}

// --- The GUI thread

void set_gui_thread() noexcept { gui_id.store(::GetCurrentThreadId()); }

DWORD gui_thread_id() noexcept { return gui_id.load(); }

bool on_gui_thread() noexcept {
    const DWORD id = gui_id.load();
    return id == 0 || id == ::GetCurrentThreadId();
}

void assert_gui_thread() noexcept { assert(on_gui_thread()); }

} // namespace kq
