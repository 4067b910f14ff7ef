#include "skin/SkinWindowTimer.h"

namespace kq {

bool window_timer::start(HWND window, std::uint32_t interval_ms) noexcept {
    if (FWindow && FWindow != window)
        stop();
    // The same identifier on the same window replaces the timer: its period starts again.
    FWindow = ::SetTimer(window, FId, interval_ms, nullptr) != 0 ? window : nullptr;
    return FWindow != nullptr;
}

void window_timer::stop() noexcept {
    if (!FWindow)
        return;
    ::KillTimer(FWindow, FId);
    FWindow = nullptr;
}

bool window_timer::take_tick(WPARAM timer_id) noexcept {
    if (static_cast<std::uintptr_t>(timer_id) != FId)
        return false;
    stop();
    return true;
}

} // namespace kq
