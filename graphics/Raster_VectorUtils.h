#pragma once

#include <cstdint>

namespace kq {

// Clips the segment to the rectangle (edges included): False when nothing of it is inside; otherwise
// the ends outside are moved onto the edges they cross. Integer coordinates of any scale (the bitmap's
// sub-pixel lines pass 16.16 fixed-point values).
bool ClipSegment(std::int32_t& X1, std::int32_t& Y1, std::int32_t& X2, std::int32_t& Y2, std::int32_t MinX,
                 std::int32_t MinY, std::int32_t MaxX, std::int32_t MaxY);

} // namespace kq
