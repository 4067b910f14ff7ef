// Rectangles and lines of any coordinates marked on a tile set: nothing is written outside the set, the
// rectangles that come back stay inside its area and cover every marked pixel inside it.

#include "fuzz/FuzzInput.h"
#include "graphics/Raster.h"
#include "graphics/Raster_MicroTiles.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using namespace kq;

using fuzz::check;

using reader = fuzz::input_reader;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::start_once([] { graphics_startup(); });
    reader in{data, size};
    const std::int32_t width = in.next<std::uint8_t>() + 1, height = in.next<std::uint8_t>() + 1;
    TMicroTiles tiles;
    TilesInit(tiles);
    TilesResize(tiles, {0, 0, width, height});
    // The pixels marked by rectangles (lines are only checked for staying inside).
    std::vector<bool> marked(static_cast<std::size_t>(width) * height);
    while (in.size > 0) {
        const std::uint8_t op = in.next<std::uint8_t>();
        const auto x1 = in.next<std::int32_t>(), y1 = in.next<std::int32_t>();
        const auto x2 = in.next<std::int32_t>(), y2 = in.next<std::int32_t>();
        if (op & 1) {
            TilesAddLine(tiles, x1, y1, x2, y2, in.next<std::int32_t>() & 0xFFFFFF, (op & 2) != 0);
            continue;
        }
        TilesAddRect(tiles, {x1, y1, x2, y2}, (op & 2) != 0);
        const std::int32_t l = std::max(std::min(x1, x2), 0), r = std::min(std::max(x1, x2), width);
        const std::int32_t t = std::max(std::min(y1, y2), 0), b = std::min(std::max(y1, y2), height);
        for (std::int32_t y = t; y < b; ++y)
            for (std::int32_t x = l; x < r; ++x)
                marked[static_cast<std::size_t>(y) * width + x] = true;
    }
    check(static_cast<std::int32_t>(tiles.Tiles.size()) == tiles.Count);
    for (const bool whole : {false, true}) {
        TRectList rects;
        TilesToRects(tiles, rects, false, whole);
        std::vector<bool> covered(marked.size());
        for (std::int32_t i = 0; i < rects.Count(); ++i) {
            const TRect& r = *rects.Get(i);
            check(r.Left >= 0 && r.Top >= 0 && r.Right <= width && r.Bottom <= height);
            check(r.Left < r.Right && r.Top < r.Bottom);
            for (std::int32_t y = r.Top; y < r.Bottom; ++y)
                for (std::int32_t x = r.Left; x < r.Right; ++x)
                    covered[static_cast<std::size_t>(y) * width + x] = true;
        }
        for (std::size_t i = 0; i < marked.size(); ++i)
            check(!marked[i] || covered[i]);
    }
    return 0;
}
