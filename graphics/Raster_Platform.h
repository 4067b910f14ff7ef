#pragma once
// The few system services the pixel core needs.
#include <cstdint>

// The few services of the operating system the pixel core needs. The Win32 build asks the system; the
// native build (tests, benchmarks) answers from the C++ runtime and a fixed system colour.
namespace kq::raster_platform {

// The system colour of a display element as $00BBGGRR.
std::uint32_t sys_color(int index);

std::int64_t performance_counter();
std::int64_t performance_frequency();

// Milliseconds since an arbitrary start; wraps around.
std::uint32_t tick_count();

std::int32_t processor_count();

} // namespace kq::raster_platform
