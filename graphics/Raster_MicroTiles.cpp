#include "graphics/Raster_MicroTiles.h"

#include "framework/Handles.h"
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_Math.h"

#include <mmintrin.h>
#include <emmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace kq {

tile_merge_proc TileMerge = tile_merge_portable;
tiles_merge_row_proc TilesMergeRow = tiles_merge_row_portable;

namespace {

constexpr TRect no_used_tiles(const TMicroTiles& t) {
    return {t.Columns, t.Rows, 0, 0};
}

bool carries_area(TMicroTile t) {
    return tile_left(t) != tile_right(t) && tile_top(t) != tile_bottom(t);
}

static_assert(microtile_empty == 0, "set_tiles_16 compares with zero");

// Bit i set: tile p[i] of sixteen is not empty.
inline unsigned set_tiles_16(const TMicroTile* p) {
    const __m128i zero = _mm_setzero_si128();
    const auto empty = [&](int i) {
        return _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), zero);
    };
    const __m128i low = _mm_packs_epi32(empty(0), empty(4)), high = _mm_packs_epi32(empty(8), empty(12));
    return ~static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(low, high))) & 0xFFFFu;
}

// ClampToRange, inlined for the walk over a frame's tiles.
inline std::int32_t clamp_inline(std::int32_t v, std::int32_t min, std::int32_t max) {
    v = v < min ? min : v;
    return v > max ? max : v;
}

TMicroTile& tile_at(TMicroTiles& t, std::int32_t x, std::int32_t y) {
    return t.Tiles[static_cast<std::size_t>(y) * static_cast<std::size_t>(t.Columns) + static_cast<std::size_t>(x)];
}

} // namespace

// --- Merging

void tile_merge_portable(TMicroTile& dst, TMicroTile src) {
    if (dst == microtile_full || src == microtile_empty || !carries_area(src))
        return;
    if (dst == microtile_empty || src == microtile_full) {
        dst = src;
        return;
    }
    dst = TilePack(static_cast<std::uint32_t>(std::min(tile_left(dst), tile_left(src))),
                   static_cast<std::uint32_t>(std::min(tile_top(dst), tile_top(src))),
                   static_cast<std::uint32_t>(std::max(tile_right(dst), tile_right(src))),
                   static_cast<std::uint32_t>(std::max(tile_bottom(dst), tile_bottom(src))));
}

namespace {

// Left and Top are the two high bytes (smaller wins), Right and Bottom the two low ones (larger wins).
inline TMicroTile merge_bytes(TMicroTile dst, TMicroTile src) {
    const __m64 d = _mm_cvtsi32_si64(static_cast<int>(dst));
    const __m64 s = _mm_cvtsi32_si64(static_cast<int>(src));
    const __m64 high = _mm_cvtsi32_si64(static_cast<int>(0xFFFF0000u));
    const __m64 merged = _mm_or_si64(_mm_and_si64(high, _mm_min_pu8(d, s)), _mm_andnot_si64(high, _mm_max_pu8(d, s)));
    return static_cast<TMicroTile>(_mm_cvtsi64_si32(merged));
}

inline void merge_one_emmx(TMicroTile& dst, TMicroTile src) {
    if (dst == microtile_full || src == microtile_empty || !carries_area(src))
        return;
    if (dst == microtile_empty || src == microtile_full) {
        dst = src;
        return;
    }
    dst = merge_bytes(dst, src);
}

} // namespace

void tile_merge_emmx(TMicroTile& dst, TMicroTile src) {
    merge_one_emmx(dst, src);
    _mm_empty();
}

void tiles_merge_row_portable(TMicroTile* dst, const TMicroTile* src, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i)
        tile_merge_portable(dst[i], src[i]);
}

void tiles_merge_row_emmx(TMicroTile* dst, const TMicroTile* src, std::int32_t count) {
    for (std::int32_t i = 0; i < count; ++i)
        merge_one_emmx(dst[i], src[i]);
    _mm_empty();
}

// --- Tile sets

void TilesInit(TMicroTiles& Tiles) {
    Tiles = TMicroTiles{};
}

void TilesFree(TMicroTiles& Tiles) {
    std::vector<TMicroTile>().swap(Tiles.Tiles);
    Tiles.Count = 0; // a set without an array has no tiles to write
}

void TilesResize(TMicroTiles& Tiles, const TRect& DstRect) {
    Tiles.BoundsRect = DstRect;
    Tiles.Columns = ((DstRect.Right - DstRect.Left) >> microtile_shift) + 1;
    Tiles.Rows = ((DstRect.Bottom - DstRect.Top) >> microtile_shift) + 1;
    Tiles.Count = (Tiles.Columns + 1) * (Tiles.Rows + 1);
    Tiles.Tiles.resize(static_cast<std::size_t>(Tiles.Count));
    TilesFill(Tiles, microtile_empty);
}

void TilesFill(TMicroTiles& Tiles, TMicroTile Value) {
    Tiles.BoundsUsedTiles = no_used_tiles(Tiles);
    FillDwords(Tiles.Tiles.data(), Tiles.Count, Value);
}

void TilesFillUsed(TMicroTiles& Tiles, TMicroTile Value) {
    const TRect& used = Tiles.BoundsUsedTiles;
    if (Tiles.Count != 0) {
        const std::int32_t right = std::min(used.Right, Tiles.Columns), bottom = std::min(used.Bottom, Tiles.Rows);
        const std::int32_t left = std::max(used.Left, 0);
        if (left <= right)
            for (std::int32_t y = std::max(used.Top, 0); y <= bottom; ++y)
                std::fill_n(&tile_at(Tiles, left, y), right - left + 1, Value);
    }
    Tiles.BoundsUsedTiles = no_used_tiles(Tiles);
}

void TilesAssign(TMicroTiles& Dst, const TMicroTiles& Src) {
    if (Dst.Count != 0)
        TilesFillUsed(Dst, microtile_empty);
    Dst.BoundsRect = Src.BoundsRect;
    Dst.Columns = Src.Columns;
    Dst.Rows = Src.Rows;
    Dst.BoundsUsedTiles = Src.BoundsUsedTiles;
    Dst.Tiles.resize(static_cast<std::size_t>(Src.Count));
    Dst.Count = Src.Count;
    const TRect& used = Src.BoundsUsedTiles;
    for (std::int32_t y = std::max(used.Top, 0); y <= std::min(used.Bottom, Src.Rows); ++y) {
        const std::int32_t left = std::max(used.Left, 0), right = std::min(used.Right, Src.Columns);
        if (right < left)
            continue;
        const std::size_t start = static_cast<std::size_t>(y) * static_cast<std::size_t>(Src.Columns) +
                                  static_cast<std::size_t>(left);
        std::copy_n(Src.Tiles.begin() + static_cast<std::ptrdiff_t>(start), right - left + 1,
                    Dst.Tiles.begin() + static_cast<std::ptrdiff_t>(start));
    }
}

void TilesMerge(TMicroTiles& Dst, const TMicroTiles& Src, bool RoundToWholeTiles) {
    // A destination without tiles (or of another geometry) is never written outside its own grid.
    if (Src.Count == 0 || Dst.Count == 0)
        return;
    const TRect& used = Src.BoundsUsedTiles;
    const std::int32_t left = std::max(used.Left, 0);
    const std::int32_t right = std::min({used.Right, Src.Columns, Dst.Columns});
    const std::int32_t bottom = std::min({used.Bottom, Src.Rows, Dst.Rows});
    for (std::int32_t y = std::max(used.Top, 0); y <= bottom && left <= right; ++y) {
        const TMicroTile* src = &Src.Tiles[static_cast<std::size_t>(y) * static_cast<std::size_t>(Src.Columns) +
                                           static_cast<std::size_t>(left)];
        TMicroTile* dst = &tile_at(Dst, left, y);
        if (RoundToWholeTiles) {
            for (std::int32_t i = 0; i <= right - left; ++i)
                if (dst[i] != microtile_full && src[i] != microtile_empty && carries_area(src[i]))
                    dst[i] = microtile_full;
        } else {
            TilesMergeRow(dst, src, right - left + 1);
        }
    }
    TRect& box = Dst.BoundsUsedTiles;
    box = {std::min(box.Left, used.Left), std::min(box.Top, used.Top), std::max(box.Right, used.Right),
           std::max(box.Bottom, used.Bottom)};
}

void TilesAddRect(TMicroTiles& Tiles, TRect Rect, bool RoundToWholeTiles) {
    if (Tiles.Count == 0)
        return;
    SortPair(Rect.Left, Rect.Right);
    SortPair(Rect.Top, Rect.Bottom);
    const std::int32_t left = std::max(Rect.Left, 0), top = std::max(Rect.Top, 0);
    const std::int32_t right = saturate(std::min<std::int64_t>(Rect.Right, std::int64_t{Tiles.Columns} * microtile_size));
    const std::int32_t bottom = saturate(std::min<std::int64_t>(Rect.Bottom, std::int64_t{Tiles.Rows} * microtile_size));
    if (left > right || top > bottom)
        return;

    const std::int32_t sx = left >> microtile_shift, sy = top >> microtile_shift;
    const std::int32_t ex = right >> microtile_shift, ey = bottom >> microtile_shift;

    if (RoundToWholeTiles) {
        // Column Columns lies past the area; with the row stride it would be the next row's first tile.
        for (std::int32_t y = sy; y <= ey; ++y)
            for (std::int32_t x = sx; x <= std::min(ex, Tiles.Columns - 1); ++x)
                tile_at(Tiles, x, y) = microtile_full;
    } else {
        const auto ml = static_cast<std::uint32_t>(left & 31), mt = static_cast<std::uint32_t>(top & 31);
        const auto mr = static_cast<std::uint32_t>(right & 31), mb = static_cast<std::uint32_t>(bottom & 31);
        const auto merge = [&](std::int32_t x, std::int32_t y, TMicroTile t) { TileMerge(tile_at(Tiles, x, y), t); };
        if (sx == ex && sy == ey) {
            merge(sx, sy, TilePack(ml, mt, mr, mb));
        } else if (sx == ex) {
            merge(sx, sy, TilePack(ml, mt, mr, 32));
            for (std::int32_t y = sy + 1; y < ey; ++y)
                merge(sx, y, TilePack(ml, 0, mr, 32));
            merge(sx, ey, TilePack(ml, 0, mr, mb));
        } else if (sy == ey) {
            merge(sx, sy, TilePack(ml, mt, 32, mb));
            for (std::int32_t x = sx + 1; x < ex; ++x)
                merge(x, sy, TilePack(0, mt, 32, mb));
            merge(ex, sy, TilePack(0, mt, mr, mb));
        } else {
            merge(sx, sy, TilePack(ml, mt, 32, 32));
            for (std::int32_t x = sx + 1; x < ex; ++x)
                merge(x, sy, TilePack(0, mt, 32, 32));
            merge(ex, sy, TilePack(0, mt, mr, 32));
            for (std::int32_t y = sy + 1; y < ey; ++y) {
                merge(sx, y, TilePack(ml, 0, 32, 32));
                if (ex - sx > 1)
                    std::fill_n(&tile_at(Tiles, sx + 1, y), ex - sx - 1, microtile_full);
                merge(ex, y, TilePack(0, 0, mr, 32));
            }
            merge(sx, ey, TilePack(ml, 0, 32, mb));
            for (std::int32_t x = sx + 1; x < ex; ++x)
                merge(x, ey, TilePack(0, 0, 32, mb));
            merge(ex, ey, TilePack(0, 0, mr, mb));
        }
    }

    TRect& box = Tiles.BoundsUsedTiles;
    box = {std::min(box.Left, sx), std::min(box.Top, sy), std::max(box.Right, ex), std::max(box.Bottom, ey)};
}

namespace {

void add_grown_rect(TMicroTiles& tiles, std::int64_t x1, std::int64_t y1, std::int64_t x2, std::int64_t y2,
                    std::int64_t grow, bool round) {
    TRect r{saturate(x1), saturate(y1), saturate(x2), saturate(y2)};
    GrowArea(r, saturate(grow), saturate(grow));
    TilesAddRect(tiles, r, round);
}

// Cuts the segment to the box; false when nothing of it lies inside.
bool clip_segment(std::int64_t& x1, std::int64_t& y1, std::int64_t& x2, std::int64_t& y2, std::int64_t low_x,
                  std::int64_t low_y, std::int64_t high_x, std::int64_t high_y) {
    const bool inside = x1 >= low_x && x1 <= high_x && y1 >= low_y && y1 <= high_y && x2 >= low_x && x2 <= high_x &&
                        y2 >= low_y && y2 <= high_y;
    if (inside)
        return true;
    const double dx = static_cast<double>(x2 - x1), dy = static_cast<double>(y2 - y1);
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {static_cast<double>(x1 - low_x), static_cast<double>(high_x - x1),
                         static_cast<double>(y1 - low_y), static_cast<double>(high_y - y1)};
    double t0 = 0, t1 = 1;
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 > t1)
        return false;
    const double ox = static_cast<double>(x1), oy = static_cast<double>(y1);
    x1 = static_cast<std::int64_t>(std::llround(ox + t0 * dx));
    y1 = static_cast<std::int64_t>(std::llround(oy + t0 * dy));
    x2 = static_cast<std::int64_t>(std::llround(ox + t1 * dx));
    y2 = static_cast<std::int64_t>(std::llround(oy + t1 * dy));
    return true;
}

} // namespace

void TilesAddLine(TMicroTiles& Tiles, std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                  std::int32_t LineWidth, bool RoundToWholeTiles) {
    if (Tiles.Count == 0)
        return;
    // A width beyond any buffer is capped, so the walk below stays bounded.
    constexpr std::int64_t widest = std::int64_t{1} << 16;
    const std::int64_t width = std::clamp<std::int64_t>(std::int64_t{LineWidth} * 2, -widest, widest);
    std::int64_t x1 = X1, y1 = Y1, x2 = X2, y2 = Y2;
    if (x1 == x2 || y1 == y2) {
        add_grown_rect(Tiles, x1, y1, x2, y2, width, RoundToWholeTiles);
        return;
    }
    // Only the part of the line that can reach the tiles is walked: far coordinates would overflow the
    // 16.16 steps and wrap into wrong tiles.
    const std::int64_t margin = (width < 0 ? -width : width) + microtile_size;
    if (!clip_segment(x1, y1, x2, y2, -margin, -margin, std::int64_t{Tiles.Columns} * microtile_size + margin,
                      std::int64_t{Tiles.Rows} * microtile_size + margin))
        return;
    if (x1 == x2 || y1 == y2) {
        add_grown_rect(Tiles, x1, y1, x2, y2, width, RoundToWholeTiles);
        return;
    }
    const std::int64_t sx = x2 > x1 ? 1 : -1, sy = y2 > y1 ? 1 : -1;
    std::int64_t x = x1 << 16, y = y1 << 16;
    std::int64_t major = (x2 > x1 ? x2 - x1 : x1 - x2) << 16, minor = (y2 > y1 ? y2 - y1 : y1 - y2) << 16;
    const bool swapped = major < minor;
    if (swapped)
        std::swap(major, minor);
    const std::int64_t steps = major / microtile_size; // 16.16
    std::int64_t delta_x = std::int64_t{microtile_size} << 16;
    std::int64_t delta_y = minor * 65536 / steps;
    if (swapped)
        std::swap(delta_x, delta_y);
    delta_x *= sx;
    delta_y *= sy;
    const auto nearest = [](std::int64_t v) { return (v + 0x7FFF) >> 16; };
    const std::int64_t count = (steps + 0xFFFF) >> 16;
    for (std::int64_t i = 1; i <= count; ++i) {
        const std::int64_t nx = x + delta_x, ny = y + delta_y;
        add_grown_rect(Tiles, nearest(x), nearest(y), nearest(nx), nearest(ny), width, RoundToWholeTiles);
        x = nx;
        y = ny;
    }
}

std::int32_t TilesToRects(const TMicroTiles& Tiles, TRectList& DstRects, const TRect& Clip, bool CountOnly,
                          bool RoundToWholeTiles) {
    const TRect& used = Tiles.BoundsUsedTiles;
    if (Tiles.Count == 0 || used.Right - used.Left < 0 || used.Bottom - used.Top < 0)
        return 0;
    // Tiles outside the used box are empty, so only the box is walked.
    const std::int32_t x0 = std::max(used.Left, 0), x1 = std::min(used.Right, Tiles.Columns - 1);
    const std::int32_t y0 = std::max(used.Top, 0), y1 = std::min(used.Bottom, Tiles.Rows - 1);
    if (x1 < x0 || y1 < y0)
        return 0;
    std::vector<TRect> rects;
    rects.reserve(64);
    // The rectangle started at each column in the row above, which a run starting there may extend.
    struct open_rect {
        std::int32_t rect = -1, row = -1;
    };
    std::vector<open_rect> open(static_cast<std::size_t>(x1 - x0 + 1));
    for (std::int32_t y = y0; y <= y1; ++y) {
        const TMicroTile* row = &Tiles.Tiles[static_cast<std::size_t>(y) * static_cast<std::size_t>(Tiles.Columns)];
        std::int32_t x = x0;
        while (x <= x1) {
            // Most tiles of a frame's box are empty: find the next one set sixteen at a time.
            if (x + 16 <= x1 + 1) {
                const unsigned set = set_tiles_16(row + x);
                if (set == 0) {
                    x += 16;
                    continue;
                }
                x += std::countr_zero(set);
            } else if (x1 - x0 >= 15) {
                // The row's last sixteen tiles, those before x masked off.
                const unsigned set = set_tiles_16(row + x1 - 15) >> (x - (x1 - 15));
                if (set == 0)
                    break;
                x += std::countr_zero(set);
            } else if (row[x] == microtile_empty) {
                ++x;
                continue;
            }
            const TMicroTile d = row[x];
            const std::int32_t base_y = y << microtile_shift;
            std::int32_t top, bottom, left, right;
            std::int32_t last = x;
            if (RoundToWholeTiles) {
                top = clamp_inline(base_y, Clip.Top, Clip.Bottom);
                bottom = clamp_inline(base_y + microtile_size, Clip.Top, Clip.Bottom);
                left = clamp_inline(x << microtile_shift, Clip.Left, Clip.Right);
                while (last < x1 && row[last + 1] != microtile_empty)
                    ++last;
                right = clamp_inline((last << microtile_shift) + microtile_size, Clip.Left, Clip.Right);
            } else {
                top = clamp_inline(base_y + tile_top(d), Clip.Top, Clip.Bottom);
                bottom = clamp_inline(base_y + tile_bottom(d), Clip.Top, Clip.Bottom);
                left = clamp_inline((x << microtile_shift) + tile_left(d), Clip.Left, Clip.Right);
                TMicroTile end_tile = d;
                // A run continues only through tiles that reach their right edge.
                while (last < x1 && tile_right(end_tile) == microtile_size) {
                    const TMicroTile t = row[last + 1];
                    if (tile_top(t) != tile_top(d) || tile_bottom(t) != tile_bottom(d) || tile_left(t) != 0)
                        break;
                    ++last;
                    end_tile = t;
                }
                right = clamp_inline((last << microtile_shift) + tile_right(end_tile), Clip.Left, Clip.Right);
            }
            const open_rect above = open[static_cast<std::size_t>(x - x0)];
            std::int32_t i = above.row == y - 1 ? above.rect : -1;
            if (i >= 0 && rects[static_cast<std::size_t>(i)].Left == left &&
                rects[static_cast<std::size_t>(i)].Right == right && rects[static_cast<std::size_t>(i)].Bottom == top) {
                rects[static_cast<std::size_t>(i)].Bottom = bottom;
            } else if (left < right && top < bottom) {
                // Tiles past the clip give empty rectangles; they cover nothing and are left out.
                rects.push_back({left, top, right, bottom});
                i = static_cast<std::int32_t>(rects.size()) - 1;
            } else {
                i = -1;
            }
            if (y < Tiles.Rows - 1)
                open[static_cast<std::size_t>(x - x0)] = {i, y};
            x = last + 1;
        }
    }
    if (!CountOnly)
        for (const TRect& r : rects)
            DstRects.Add(r);
    return static_cast<std::int32_t>(rects.size());
}

std::int32_t TilesToRects(const TMicroTiles& Tiles, TRectList& DstRects, bool CountOnly, bool RoundToWholeTiles) {
    return TilesToRects(Tiles, DstRects, Tiles.BoundsRect, CountOnly, RoundToWholeTiles);
}

void Raster_MicroTiles_startup() {
    TFunctionRegistry& r = *NewFunctionRegistry(u"Raster_MicroTiles bindings");
    r.RegisterBinding(FID_TILEMERGE, &TileMerge);
    r.RegisterBinding(FID_TILESMERGE, &TilesMergeRow);
    r.Add(FID_TILEMERGE, tile_merge_portable);
    r.Add(FID_TILESMERGE, tiles_merge_row_portable);
    r.Add(FID_TILEMERGE, tile_merge_emmx, {ciEMMX});
    r.Add(FID_TILESMERGE, tiles_merge_row_emmx, {ciEMMX});
    r.RebindAll();
}

// --- TMicroTilesMap

TMicroTilesMap::~TMicroTilesMap() {
    Clear(); // the base's destructor cannot reach this class's Delete
}

PPMicroTiles TMicroTilesMap::Add(TCustomLayer* Item) {
    PPData slot = nullptr;
    if (TPointerMap::Find(Item, slot))
        return reinterpret_cast<PPMicroTiles>(slot);
    auto tiles = std::make_unique<TMicroTiles>();
    slot = TPointerMap::Add(Item, tiles.get());
    tiles.release(); // the map owns it now
    return reinterpret_cast<PPMicroTiles>(slot);
}

PMicroTiles TMicroTilesMap::GetData(TCustomLayer* Item) const {
    return static_cast<PMicroTiles>(TPointerMap::GetData(Item));
}

PMicroTiles TMicroTilesMap::Find(TCustomLayer* Item) const {
    PPData slot = nullptr;
    return TPointerMap::Find(Item, slot) ? static_cast<PMicroTiles>(*slot) : nullptr;
}

void* TMicroTilesMap::Delete(std::int32_t bucket_index, std::int32_t item_index) {
    std::unique_ptr<TMicroTiles> tiles{static_cast<PMicroTiles>(TPointerMap::Delete(bucket_index, item_index))};
    return nullptr;
}

// --- TMicroTilesRepaintOptimizer

namespace {

std::unique_ptr<TCustomRepaintOptimizer> create_micro_tiles_optimizer(TBitmap32* Buffer, TRectList* InvalidRects) {
    return std::make_unique<TMicroTilesRepaintOptimizer>(Buffer, InvalidRects);
}

constexpr std::int32_t max_level = 2;
constexpr std::int32_t time_delta_min = 1000, time_delta_max = 5000;
constexpr std::int32_t time_penalty = 250;
constexpr std::int32_t rects_hysteresis = 10;

} // namespace

const repaint_optimizer_class micro_tiles_repaint_optimizer_class{{u"TMicroTilesRepaintOptimizer"},
                                                                  &create_micro_tiles_optimizer};

TMicroTilesRepaintOptimizer::TMicroTilesRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects)
    : TCustomRepaintOptimizer(Buffer, InvalidRects) {}

TMicroTilesRepaintOptimizer::~TMicroTilesRepaintOptimizer() = default;

void TMicroTilesRepaintOptimizer::free_working_tiles() {
    TilesFree(FInvalidTiles);
    TilesFree(FTempTiles);
    TilesFree(FForcedInvalidTiles);
}

void TMicroTilesRepaintOptimizer::RegisterLayerCollection(TLayerCollection* Layers) {
    TCustomRepaintOptimizer::RegisterLayerCollection(Layers);
    if (FEnabled)
        hook_collection(Layers);
}

void TMicroTilesRepaintOptimizer::UnregisterLayerCollection(TLayerCollection* Layers) {
    TCustomRepaintOptimizer::UnregisterLayerCollection(Layers);
}

void TMicroTilesRepaintOptimizer::SetEnabled(bool Value) {
    if (Value == FEnabled)
        return;
    if (Value) {
        for (TLayerCollection* layers : FLayerCollections)
            hook_collection(layers);
        // Stored first: the handlers below read the flag.
        TCustomRepaintOptimizer::SetEnabled(true);
        BufferResizedHandler(FBuffer->Width(), FBuffer->Height());
        return;
    }
    for (TLayerCollection* layers : FLayerCollections)
        unhook_collection(layers);
    // Unhooked collections no longer report their list: the map would go stale.
    free_working_tiles();
    FWorkingTilesValid = false;
    FUseInvalidTiles = false;
    FOldInvalidTilesValid = false;
    FOldInvalidTilesMap.Clear();
    FInvalidLayers.clear();
    TCustomRepaintOptimizer::SetEnabled(false);
}

void TMicroTilesRepaintOptimizer::SetAdaptiveMode(bool Value) {
    if (Value == FAdaptiveMode)
        return;
    FAdaptiveMode = Value;
    RestartAdaption();
}

void TMicroTilesRepaintOptimizer::RestartAdaption() {
    FTimeDelta = time_delta_min;
    FAdaptionFailed = false;
    FPerformanceLevel = 0;
}

void TMicroTilesRepaintOptimizer::BufferResizedHandler(std::int32_t NewWidth, std::int32_t NewHeight) {
    FBufferBounds = {0, 0, NewWidth, NewHeight};
    Reset();
}

void TMicroTilesRepaintOptimizer::PrepareWorkingTiles() {
    if (FWorkingTilesValid)
        return;
    TilesResize(FTempTiles, FBufferBounds);
    TilesResize(FInvalidTiles, FBufferBounds);
    TilesResize(FForcedInvalidTiles, FBufferBounds);
    FWorkingTilesValid = true;
}

void TMicroTilesRepaintOptimizer::Reset() {
    FWorkingTilesValid = false;
    FOldInvalidTilesValid = false;
    RebuildOldTiles();
    TilesFill(FForcedInvalidTiles, microtile_full);
    FForcedInvalidTiles.BoundsUsedTiles = {0, 0, FForcedInvalidTiles.Columns, FForcedInvalidTiles.Rows};
    FUseInvalidTiles = true;
}

bool TMicroTilesRepaintOptimizer::UpdatesAvailable() {
    RebuildOldTiles();
    return FUseInvalidTiles;
}

void TMicroTilesRepaintOptimizer::AreaUpdateHandler(TObject*, const TRect& Area, std::uint32_t Info) {
    PrepareWorkingTiles();
    AddAreaToTiles(FForcedInvalidTiles, Area, Info);
    FUseInvalidTiles = true;
}

void TMicroTilesRepaintOptimizer::LayerUpdateHandler(TObject*, TCustomLayer* Layer) {
    if (!FOldInvalidTilesValid || Layer->GetInvalidMark())
        return;
    FInvalidLayers.push_back(Layer);
    Layer->SetInvalidMark(true);
    FUseInvalidTiles = true;
}

void TMicroTilesRepaintOptimizer::LayerListNotifyHandler(TObject*, TLayerListNotification Action,
                                                         TCustomLayer* Layer, std::int32_t) {
    switch (Action) {
    case lnLayerAdded:
    case lnLayerInserted:
        TilesResize(**FOldInvalidTilesMap.Add(Layer), FBuffer->BoundsRect());
        FOldInvalidTilesValid = true;
        break;
    case lnLayerDeleted:
        // A layer that joined while nothing was measured has no tiles to repaint.
        if (FOldInvalidTilesValid)
            if (const PMicroTiles old = FOldInvalidTilesMap.Find(Layer)) {
                TilesMerge(FInvalidTiles, *old, false);
                FUseInvalidTiles = true;
            }
        std::erase(FInvalidLayers, Layer);
        FOldInvalidTilesMap.Remove(Layer);
        break;
    case lnCleared:
        if (FOldInvalidTilesValid) {
            TPointerMapIterator it(FOldInvalidTilesMap);
            while (it.Next())
                TilesMerge(FInvalidTiles, *static_cast<PMicroTiles>(it.Data()), false);
            FUseInvalidTiles = true;
            RestartAdaption();
        }
        FOldInvalidTilesMap.Clear();
        FOldInvalidTilesValid = true;
        break;
    }
}

void TMicroTilesRepaintOptimizer::BeginPaintBuffer() {
    if (FAdaptiveMode)
        FPerfTimer.Start();
}

void TMicroTilesRepaintOptimizer::EndPaintBuffer() {
    FUseInvalidTiles = false;
    AdaptPerformanceLevel();
}

void TMicroTilesRepaintOptimizer::MeasuringHandler(TObject*, const TRect& Area, std::uint32_t Info) {
    AddAreaToTiles(*FWorkMicroTiles, Area, Info);
}

void TMicroTilesRepaintOptimizer::MeasureLayer(TMicroTiles& Tiles, TCustomLayer* Layer) {
    FBuffer->BeginMeasuring([this](TObject* s, const TRect& a, std::uint32_t i) { MeasuringHandler(s, a, i); });
    auto end = scope_exit([this] { FBuffer->EndMeasuring(); });
    FWorkMicroTiles = &Tiles;
    Layer->DoPaint(FBuffer);
}

void TMicroTilesRepaintOptimizer::AddAreaToTiles(TMicroTiles& Tiles, const TRect& Area, std::uint32_t Info) {
    const bool round = FPerformanceLevel > 0;
    if (Info & AreaInfoLine) {
        const auto width = static_cast<std::int32_t>(Info & 0x00FFFFFF);
        TRect line = Area;
        GrowArea(line, width, width);
        TilesAddLine(Tiles, line.Left, line.Top, line.Right, line.Bottom, width, round);
    } else {
        TilesAddRect(Tiles, Area, round);
    }
}

void TMicroTilesRepaintOptimizer::RebuildOldTiles() {
    if (FOldInvalidTilesValid)
        return;
    PrepareWorkingTiles();
    for (TLayerCollection* layers : FLayerCollections)
        for (std::int32_t i = 0; i < layers->Count(); ++i) {
            TCustomLayer* layer = layers->Items(i);
            TMicroTiles& tiles = **FOldInvalidTilesMap.Add(layer);
            TilesResize(tiles, FBufferBounds);
            MeasureLayer(tiles, layer);
            layer->SetInvalidMark(false);
        }
    FInvalidLayers.clear();
    FOldInvalidTilesValid = true;
    FUseInvalidTiles = false;
}

void TMicroTilesRepaintOptimizer::PerformOptimization() {
    const bool round = FPerformanceLevel > 0;
    if (FUseInvalidTiles) {
        PrepareWorkingTiles();
        for (TCustomLayer* layer : FInvalidLayers) {
            TilesFillUsed(FTempTiles, microtile_empty);
            MeasureLayer(FTempTiles, layer);
            TilesMerge(FInvalidTiles, FTempTiles, round);
            // Both the old and the new coverage need repainting.
            TMicroTiles& old = **FOldInvalidTilesMap.Add(layer);
            TilesMerge(FInvalidTiles, old, round);
            TilesAssign(old, FTempTiles);
            layer->SetInvalidMark(false);
        }
        FInvalidLayers.clear();
        TilesToRects(FInvalidTiles, *FInvalidRects, false, round);
        TilesToRects(FForcedInvalidTiles, *FInvalidRects, false, round);
    }
    CheckPerformanceLevel();
    TilesFillUsed(FInvalidTiles, microtile_empty);
    TilesFillUsed(FForcedInvalidTiles, microtile_empty);
}

void TMicroTilesRepaintOptimizer::CheckPerformanceLevel() {
    if (!FAdaptiveMode || FPerformanceLevel <= 0)
        return;
    if (static_cast<std::int32_t>(SystemTickCount()) > FNextCheck) {
        FPerformanceLevel = std::clamp(FPerformanceLevel - 1, 0, max_level);
        FTimedCheck = true;
    } else if (!FAdaptionFailed && FInvalidRects->Count() < FOldInvalidRectsCount - rects_hysteresis) {
        FPerformanceLevel = std::clamp(FPerformanceLevel - 1, 0, max_level);
    } else if (FPerformanceLevel == max_level) {
        FInvalidRects->Clear();
    }
}

void TMicroTilesRepaintOptimizer::AdaptPerformanceLevel() {
    const std::int64_t t = FPerfTimer.ReadValue();
    const auto next_check_in = [this](std::int32_t delta) {
        FNextCheck = static_cast<std::int32_t>(SystemTickCount() + static_cast<std::uint32_t>(delta));
    };
    if (FInvalidRects->Count() == 0) {
        FElapsedTimeForFullSceneRepaint = t;
    } else if (FAdaptiveMode) {
        if (t > FElapsedTimeForFullSceneRepaint) {
            const std::int32_t level = std::clamp(FPerformanceLevel + 1, 0, max_level);
            if (level != FPerformanceLevel) {
                FOldInvalidRectsCount = FInvalidRects->Count();
                FPerformanceLevel = level;
                if (FTimedCheck) {
                    FTimeDelta = std::clamp(FTimeDelta + time_penalty, time_delta_min, time_delta_max);
                    next_check_in(FTimeDelta);
                    FElapsedTimeOnLastPenalty = t;
                    FTimedCheck = false;
                }
                FAdaptionFailed = true;
            }
        } else if (t < FElapsedTimeForFullSceneRepaint) {
            if (FTimedCheck) {
                FTimeDelta = time_delta_min;
                next_check_in(time_delta_min);
                FTimedCheck = false;
            } else if (FTimeDelta > time_delta_min) {
                FTimeDelta = std::clamp(FTimeDelta - 1000, time_delta_min, time_delta_max);
                next_check_in(FTimeDelta);
            }
            FAdaptionFailed = false;
        } else if (FElapsedTimeOnLastPenalty > t && FTimedCheck) {
            FTimeDelta = std::clamp(FTimeDelta - time_penalty, time_delta_min, time_delta_max);
            next_check_in(FTimeDelta);
            FTimedCheck = false;
        }
    }
    FElapsedTimeForLastRepaint = t;
}

} // namespace kq
