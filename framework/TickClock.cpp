#include "framework/TickClock.h"

#include <cassert>

#ifdef _WIN32
#include <windows.h>
#include <timeapi.h>
#else
#include <chrono>
#endif

namespace kq {

namespace {
// Constant-initialised, so any thread may read it from the start.
std::atomic<tick_clock> current_clock{nullptr};
} // namespace

std::atomic<std::uint32_t> stepped_tick_clock::FNow{0};

std::uint32_t system_tick_count() noexcept {
#ifdef _WIN32
    return ::timeGetTime();
#else
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
#endif
}

std::uint32_t tick_count() noexcept {
    const tick_clock clock = current_clock.load();
    return clock ? clock() : system_tick_count();
}

tick_clock set_tick_clock(tick_clock clock) noexcept {
    return current_clock.exchange(clock);
}

stepped_tick_clock::stepped_tick_clock(std::uint32_t start) noexcept {
    FNow.store(start);
    FPrevious = set_tick_clock(&stepped_tick_clock::read);
    assert(FPrevious != &stepped_tick_clock::read);
}

stepped_tick_clock::~stepped_tick_clock() {
    set_tick_clock(FPrevious);
}

} // namespace kq
