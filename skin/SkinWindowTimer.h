#pragma once
// window_timer: the owner of one window timer the skin sets on a window (a form's, a control's, a
// shared hidden window's).

#include "framework/Win32.h"

#include <cstdint>

namespace kq {

// One system timer, named by its identifier, on the window it was last started on. Starting checks the
// system's answer, stopping kills it once, and the owner going kills a timer still running. Ticks arrive
// as WM_TIMER on that window; `take_tick` recognises one and ends a one-shot timer.
class window_timer {
public:
    explicit constexpr window_timer(std::uintptr_t id) noexcept : FId(id) {}
    ~window_timer() { stop(); }
    window_timer(const window_timer&) = delete;
    window_timer& operator=(const window_timer&) = delete;

    std::uintptr_t id() const noexcept { return FId; }
    bool running() const noexcept { return FWindow != nullptr; }
    // (Re)starts the period on window (a timer running on another window is killed first). False, and not
    // running, when the system refused it.
    bool start(HWND window, std::uint32_t interval_ms) noexcept;
    // Kills a running timer; does nothing otherwise.
    void stop() noexcept;
    // True when a WM_TIMER's WParam names this timer; it is then stopped, since the skin's timers fire once.
    bool take_tick(WPARAM timer_id) noexcept;

private:
    std::uintptr_t FId;
    HWND FWindow = nullptr;
};

} // namespace kq
