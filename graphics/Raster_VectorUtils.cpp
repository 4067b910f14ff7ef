#include "graphics/Raster_VectorUtils.h"

#include "graphics/Raster_Math.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kq {

namespace {

std::int32_t out_code(std::int32_t x, std::int32_t y, std::int32_t min_x, std::int32_t min_y, std::int32_t max_x,
                      std::int32_t max_y) {
    return (x < min_x ? 1 : 0) | (x > max_x ? 2 : 0) | (y < min_y ? 4 : 0) | (y > max_y ? 8 : 0);
}

// A x B / C rounded; where the 32-bit form cannot hold the quotient (ends far apart), the same in floating
// point, held in the 32-bit range. C is not 0.
std::int64_t shift_of(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (a >= INT32_MIN && a <= INT32_MAX && b >= INT32_MIN && b <= INT32_MAX && c >= INT32_MIN && c <= INT32_MAX) {
        const std::int32_t q = MulDivRounded(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b),
                                             static_cast<std::int32_t>(c));
        if (q != -1)
            return q;
    }
    const double v = std::round(static_cast<double>(a) * static_cast<double>(b) / static_cast<double>(c));
    return static_cast<std::int64_t>(std::clamp(v, -4294967296.0, 4294967296.0));
}

std::int32_t held(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

} // namespace

bool ClipSegment(std::int32_t& X1, std::int32_t& Y1, std::int32_t& X2, std::int32_t& Y2, std::int32_t MinX,
                 std::int32_t MinY, std::int32_t MaxX, std::int32_t MaxY) {
    std::int32_t c1 = out_code(X1, Y1, MinX, MinY, MaxX, MaxY), c2 = out_code(X2, Y2, MinX, MinY, MaxX, MaxY);
    if ((c1 | c2) == 0)
        return true;
    if (c1 & c2)
        return false;
    // Differences of two 32-bit values need 33 bits.
    const std::int64_t x1 = X1, y1 = Y1, x2 = X2, y2 = Y2;
    const auto onto_row = [&](std::int32_t& x, std::int32_t& y, std::int32_t& code) {
        if (!(code & 12))
            return;
        const std::int32_t ny = (code & 4) ? MinY : MaxY;
        x = held(x1 + shift_of(ny - y1, x2 - x1, y2 - y1));
        y = ny;
        code = out_code(x, y, MinX, MinY, MaxX, MaxY);
    };
    onto_row(X1, Y1, c1);
    onto_row(X2, Y2, c2);
    if (c1 & c2)
        return false;
    if ((c1 | c2) == 0)
        return true;
    const auto onto_column = [&](std::int32_t& x, std::int32_t& y, std::int32_t code) {
        if (!(code & 3))
            return;
        const std::int32_t nx = (code & 1) ? MinX : MaxX;
        y = held(y1 + shift_of(nx - x1, y2 - y1, x2 - x1));
        x = nx;
    };
    onto_column(X1, Y1, c1);
    onto_column(X2, Y2, c2);
    return true;
}

} // namespace kq
