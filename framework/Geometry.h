#pragma once

// TPoint and TRect, the integer geometry shared by the framework, the raster library and the tab strip.

#include <cstdint>

namespace kq {

struct TPoint {
    std::int32_t X = 0, Y = 0;
    constexpr bool operator==(const TPoint&) const = default;
};

// Right and Bottom are exclusive.
struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr bool operator==(const TRect&) const = default;
};

} // namespace kq
