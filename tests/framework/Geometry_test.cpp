#include "framework/Geometry.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

// The system's layouts, as the conversions see them: 32-bit fields named in lower case.
struct system_rect {
    long left, top, right, bottom;
};
struct system_point {
    long x, y;
};

TEST(Geometry, ConvertsToAndFromTheSystemsRectAndPoint) {
    constexpr TRect r{-3, 4, 120, 2000};
    constexpr system_rect sr = to_system<system_rect>(r);
    static_assert(sr.left == -3 && sr.top == 4 && sr.right == 120 && sr.bottom == 2000);
    static_assert(to_TRect(sr) == r);
    constexpr TPoint p{-7, 9};
    constexpr system_point sp = to_system<system_point>(p);
    static_assert(sp.x == -7 && sp.y == 9);
    static_assert(to_TPoint(sp) == p);
    EXPECT_EQ(to_TRect(system_rect{1, 2, 3, 4}), (TRect{1, 2, 3, 4}));
}

} // namespace
} // namespace kq
