#include "graphics/Raster_Platform.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <thread>
#endif

namespace kq::raster_platform {

#ifdef _WIN32

std::uint32_t sys_color(int index) {
    return ::GetSysColor(index);
}

std::int64_t performance_counter() {
    LARGE_INTEGER value{};
    ::QueryPerformanceCounter(&value);
    return value.QuadPart;
}

std::int64_t performance_frequency() {
    LARGE_INTEGER value{};
    ::QueryPerformanceFrequency(&value);
    return value.QuadPart;
}

std::uint32_t tick_count() {
    return ::GetTickCount();
}

std::int32_t processor_count() {
    SYSTEM_INFO info{};
    ::GetSystemInfo(&info);
    return static_cast<std::int32_t>(info.dwNumberOfProcessors);
}

#else

// There are no system colours off Windows; a light grey with unequal channels keeps the channel swap visible.
std::uint32_t sys_color(int) {
    return 0x00C8D0D4;
}

std::int64_t performance_counter() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t performance_frequency() {
    return 1'000'000'000;
}

std::uint32_t tick_count() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

std::int32_t processor_count() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<std::int32_t>(n);
}

#endif

} // namespace kq::raster_platform
