#pragma once

#include "framework/Controls.h"

namespace kq {

// Registers a window class of this module once (later calls find it registered).
HINSTANCE register_window_class(const wchar_t* Name, WNDPROC Proc);

// A hidden window whose messages go to Method (WM_TIMER, posted notifications). Messages not handled
// should be passed to DefWindowProcW by Method; the window lives until DeallocateHWnd.
HWND AllocateHWnd(TWndMethod Method);
// The same as a hidden top-level window, which also receives the system's broadcasts (WM_THEMECHANGED,
// WM_SETTINGCHANGE); freed by DeallocateHWnd too.
HWND AllocateBroadcastHWnd(TWndMethod Method);
void DeallocateHWnd(HWND Window) noexcept;

using unique_hidden_window = unique_handle<HWND, DeallocateHWnd>;

// Raises OnTimer every Interval milliseconds on the GUI thread while Enabled and Interval > 0.
class TTimer : public TComponent {
public:
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    unsigned Interval() const noexcept { return FInterval; }
    void SetInterval(unsigned Value);

    TNotifyEvent OnTimer;
    const property_table& PublishedProperties() const override;

private:
    void UpdateTimer();

    bool FEnabled = true;
    unsigned FInterval = 1000;
    unique_hidden_window FWindow;
};

} // namespace kq
