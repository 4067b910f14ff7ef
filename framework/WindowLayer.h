#pragma once
// The bottom window layer: window messages, the framework's window classes and their one window
// procedure, handle binding, hidden windows and which thread is the GUI thread.

#include "framework/Object.h"
#include "framework/Win32Handles.h"

#include <functional>

namespace kq {

// One window message as the framework's window procedures see it.
struct TMessage {
    UINT Msg;
    WPARAM WParam;
    LPARAM LParam;
    LRESULT Result;
};

using TWndMethod = std::function<void(TMessage& message)>;

// --- Window handles and their objects
//
// Every window the framework makes is of a class registered by register_window_class, and every such
// class has the one window procedure below, which hands each message to the method bound to the handle.
// A window created with a window_binding* as its creation parameter is bound from its first message on,
// which for a top-level window is WM_GETMINMAXINFO, sent before WM_NCCREATE. Messages before the binding
// and after WM_NCDESTROY go to DefWindowProcW.

// What a window's messages go to: the method, and the object the window belongs to (nullptr for a
// bare hidden window).
struct window_binding {
    TObject* object = nullptr;
    TWndMethod method;
    // Where the object keeps the handle, if anywhere: set when bound, cleared after WM_NCDESTROY.
    HWND* handle = nullptr;
};

// Registers a window class of this module once, with the framework's window procedure in place of
// lpfnWndProc and this module as hInstance; a later call for a registered name does nothing.
// controls_shutdown unregisters them.
HINSTANCE register_window_class(WNDCLASSEXW window_class);
// A class with no style, cursor or background of its own.
HINSTANCE register_window_class(const wchar_t* name);

// Hands the messages of window (of a class above) to binding.method from now until WM_NCDESTROY.
void bind_window(HWND window, window_binding binding);
// Creates a window of a framework class bound to binding from its first message on; the binding is
// also handed over as the creation parameter. Returns the window, or nullptr (GetLastError says why).
HWND create_bound_window(DWORD ex_style, const wchar_t* class_name, const wchar_t* caption, DWORD style, int x, int y,
                         int width, int height, HWND parent, window_binding binding);
// Its messages go to DefWindowProcW again (the window stays).
void unbind_window(HWND window) noexcept;
// The object bound to a window, or nullptr.
TObject* window_object(HWND window) noexcept;

// A hidden window whose messages go to method (WM_TIMER, posted notifications). Messages not handled
// should be passed to DefWindowProcW by method; the window lives until DeallocateHWnd.
HWND AllocateHWnd(TWndMethod method);
// The same as a hidden top-level window, which also receives the system's broadcasts (WM_THEMECHANGED,
// WM_SETTINGCHANGE); freed by DeallocateHWnd too.
HWND AllocateBroadcastHWnd(TWndMethod method);
void DeallocateHWnd(HWND window) noexcept;

using unique_hidden_window = unique_handle<HWND, DeallocateHWnd>;

// Unregisters every class register_window_class registered (controls_shutdown calls it).
void unregister_window_classes() noexcept;

// --- The GUI thread

// Makes the calling thread the GUI thread (threads_startup calls it).
void set_gui_thread() noexcept;
// 0 before the first threads_startup.
DWORD gui_thread_id() noexcept;
// True on the GUI thread, and on any thread before the first threads_startup (there is only one then).
bool on_gui_thread() noexcept;
// Debug builds stop here when a window or component is touched off the GUI thread.
void assert_gui_thread() noexcept;

} // namespace kq
