#pragma once
// Tick_count, the one clock animations read, and stepped_tick_clock for tests.
#include <atomic>
#include <cstdint>

namespace kq {

// Milliseconds of the process's one tick clock, which every animation reads. It wraps around after
// about 49 days: compare two readings only by tick_difference.
std::uint32_t tick_count() noexcept;

// The system's millisecond clock (the multimedia timer on Win32, a steady clock natively).
std::uint32_t system_tick_count() noexcept;

// Later minus earlier across a wrap-around.
constexpr std::int32_t tick_difference(std::uint32_t later, std::uint32_t earlier) noexcept {
    return static_cast<std::int32_t>(later - earlier);
}

// Replaces the clock (nullptr: the system clock again) and returns the one it replaced.
using tick_clock = std::uint32_t (*)() noexcept;
tick_clock set_tick_clock(tick_clock clock) noexcept;

// A clock that stands still until the test moves it, installed for its lifetime. One at a time.
class stepped_tick_clock {
public:
    explicit stepped_tick_clock(std::uint32_t start = 1000) noexcept;
    stepped_tick_clock(const stepped_tick_clock&) = delete;
    stepped_tick_clock& operator=(const stepped_tick_clock&) = delete;
    ~stepped_tick_clock();

    std::uint32_t now() const noexcept { return FNow.load(); }
    void set(std::uint32_t value) noexcept { FNow.store(value); }
    void advance(std::uint32_t milliseconds) noexcept { FNow.fetch_add(milliseconds); }

private:
    static std::uint32_t read() noexcept { return FNow.load(); }
    static std::atomic<std::uint32_t> FNow;
    tick_clock FPrevious;
};

} // namespace kq
