#pragma once
// TPoint and TRect, the integer geometry shared by the framework, the raster library and the tab strip,
// and their one conversion to and from the system's POINT and RECT.

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

// --- The system's POINT and RECT
//
// Templates over the system's types, so that this header stays free of <windows.h>:
// to_system<RECT>(rect), to_system<POINT>(point), to_TRect(rect), to_TPoint(point).

template <class R>
constexpr R to_system(const TRect& r) noexcept {
    return R{r.Left, r.Top, r.Right, r.Bottom};
}
template <class P>
constexpr P to_system(const TPoint& p) noexcept {
    return P{p.X, p.Y};
}
template <class R>
constexpr TRect to_TRect(const R& r) noexcept {
    return {static_cast<std::int32_t>(r.left), static_cast<std::int32_t>(r.top), static_cast<std::int32_t>(r.right),
            static_cast<std::int32_t>(r.bottom)};
}
template <class P>
constexpr TPoint to_TPoint(const P& p) noexcept {
    return {static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

} // namespace kq
