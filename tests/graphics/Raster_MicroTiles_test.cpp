#include "graphics/Raster_MicroTiles.h"

#include "graphics/Raster_Layers.h"
#include "graphics/Raster_System.h"
#include "graphics_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <utility>
#include <vector>

using namespace kq;

namespace {

TMicroTiles tiles_of(std::int32_t width, std::int32_t height) {
    TMicroTiles t;
    TilesInit(t);
    TilesResize(t, {0, 0, width, height});
    return t;
}

std::vector<TRect> rects_of(const TMicroTiles& t, bool whole_tiles = false) {
    TRectList list;
    const std::int32_t n = TilesToRects(t, list, false, whole_tiles);
    std::vector<TRect> rects;
    for (std::int32_t i = 0; i < list.Count(); ++i)
        rects.push_back(*list.Get(i));
    EXPECT_EQ(n, list.Count());
    return rects;
}

TMicroTile at(const TMicroTiles& t, std::int32_t x, std::int32_t y) {
    return t.Tiles[static_cast<std::size_t>(y * t.Columns + x)];
}

// The tiles (column, row) that hold a change.
std::set<std::pair<int, int>> marked(const TMicroTiles& t) {
    std::set<std::pair<int, int>> s;
    for (int y = 0; y < t.Rows; ++y)
        for (int x = 0; x < t.Columns; ++x)
            if (at(t, x, y) != microtile_empty)
                s.insert({x, y});
    return s;
}

TMicroTile random_tile() {
    // Mostly valid boxes, with empty, full and area-less tiles mixed in.
    const std::uint32_t w = test::random_word();
    switch (w % 8) {
    case 0: return microtile_empty;
    case 1: return microtile_full;
    case 2: return TilePack(5, 3, 5, 20); // no width
    default: {
        const std::uint32_t l = (w >> 8) % 32, t = (w >> 13) % 32;
        const std::uint32_t r = l + 1 + (w >> 18) % (32 - l), b = t + 1 + (w >> 23) % (32 - t);
        return TilePack(l, t, r, b);
    }
    }
}

} // namespace

TEST(RasterMicroTiles, PackingAndSetGeometry) {
    EXPECT_EQ(TilePack(1, 2, 3, 4), 0x01020304u);
    EXPECT_EQ(microtile_full, TilePack(0, 0, 32, 32));
    EXPECT_EQ(microtile_full, 8224u);
    struct row { std::int32_t width, height, columns, rows, count; };
    const row rows[] = {{100, 50, 4, 2, 15}, {128, 64, 5, 3, 24}, {0, 0, 1, 1, 4}, {1920, 1080, 61, 34, 2170}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.width);
        const TMicroTiles t = tiles_of(r.width, r.height);
        EXPECT_EQ(t.Columns, r.columns);
        EXPECT_EQ(t.Rows, r.rows);
        EXPECT_EQ(t.Count, r.count);
        EXPECT_EQ(static_cast<std::int32_t>(t.Tiles.size()), r.count);
        EXPECT_EQ(t.BoundsUsedTiles, (TRect{r.columns, r.rows, 0, 0}));
        EXPECT_TRUE(rects_of(t).empty());
    }
}

TEST(RasterMicroTiles, MarkedRectangleComesBackExactly) {
    struct row { TRect marked; std::vector<TRect> expected; };
    const row rows[] = {
        {{10, 10, 20, 20}, {{10, 10, 20, 20}}},
        {{40, 5, 100, 20}, {{40, 5, 100, 20}}},
        {{40, 5, 100, 50}, {{40, 5, 100, 50}}},
        {{5, 5, 40, 40}, {{5, 5, 40, 40}}},
        {{0, 0, 64, 64}, {{0, 0, 64, 64}}},
        {{31, 31, 33, 33}, {{31, 31, 33, 33}}},
        {{0, 0, 128, 64}, {{0, 0, 128, 64}}},
        {{100, 20, 40, 5}, {{40, 5, 100, 20}}},        // reversed corners
        {{-10, -10, 300, 300}, {{0, 0, 128, 64}}},     // clipped to the set
        {{-50, 10, -5, 20}, {}},                        // entirely left of the area
        {{10, 10, 10, 20}, {}},                         // no width
        {{200, 10, 300, 20}, {}},                       // right of the grid
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.marked.Left << "," << r.marked.Top << "," << r.marked.Right << ","
                                        << r.marked.Bottom);
        TMicroTiles t = tiles_of(128, 64);
        TilesAddRect(t, r.marked);
        EXPECT_EQ(rects_of(t), r.expected);
    }
}

TEST(RasterMicroTiles, TilesOfAMarkedRectangle) {
    TMicroTiles t = tiles_of(128, 64);
    TilesAddRect(t, {10, 10, 20, 20});
    EXPECT_EQ(at(t, 0, 0), TilePack(10, 10, 20, 20));
    EXPECT_EQ(t.BoundsUsedTiles, (TRect{0, 0, 0, 0}));
    TilesFillUsed(t, microtile_empty);
    TilesAddRect(t, {40, 5, 100, 20});
    EXPECT_EQ(at(t, 1, 0), TilePack(8, 5, 32, 20));
    EXPECT_EQ(at(t, 2, 0), TilePack(0, 5, 32, 20));
    EXPECT_EQ(at(t, 3, 0), TilePack(0, 5, 4, 20));
    EXPECT_EQ(t.BoundsUsedTiles, (TRect{1, 0, 3, 0}));
    // A right edge on a tile boundary reaches into the next column with no width.
    TilesFillUsed(t, microtile_empty);
    TilesAddRect(t, {0, 0, 64, 10});
    EXPECT_EQ(at(t, 2, 0), microtile_empty);
    EXPECT_EQ(t.BoundsUsedTiles, (TRect{0, 0, 2, 0}));
}

TEST(RasterMicroTiles, SeveralRectanglesCoverTheirUnionWithinTheirTiles) {
    TMicroTiles t = tiles_of(128, 64);
    TilesAddRect(t, {2, 2, 10, 10});
    TilesAddRect(t, {20, 4, 30, 12});  // same tile: the tile's box grows
    TilesAddRect(t, {70, 40, 80, 50});
    EXPECT_EQ(rects_of(t), (std::vector<TRect>{{2, 2, 30, 12}, {70, 40, 80, 50}}));
}

TEST(RasterMicroTiles, RunEndsAtATileShortOfItsRightEdge) {
    TMicroTiles t = tiles_of(128, 64);
    TilesAddRect(t, {0, 0, 73, 32});  // the third tile stops at 9 of its 32 columns
    TilesAddRect(t, {96, 0, 128, 32}); // so the gap after it stays out
    EXPECT_EQ(rects_of(t), (std::vector<TRect>{{0, 0, 73, 32}, {96, 0, 128, 32}}));
}

// A frame's box on a wide set is mostly empty tiles, skipped sixteen at a time: every marked pixel still
// comes back, inside the clip, each once, and nothing else does.
TEST(RasterMicroTiles, RectanglesOfAWideSetCoverExactlyItsTiles) {
    struct row { int marks; int max_side; TRect clip; };
    const row rows[] = {
        {3, 40, {0, 0, 1920, 1080}},     // a few tiles in a wide, mostly empty box
        {40, 100, {0, 0, 1920, 1080}},   // runs crossing every sixteenth column
        {400, 200, {0, 0, 1920, 1080}},  // nearly full
        {40, 100, {33, 17, 1500, 1001}}, // clipped
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.marks);
        TMicroTiles t = tiles_of(1920, 1080);
        for (int i = 0; i < r.marks; ++i) {
            const auto side = [&] { return 1 + static_cast<std::int32_t>(test::random_word() % static_cast<unsigned>(r.max_side)); };
            const std::int32_t x = static_cast<std::int32_t>(test::random_word() % 1920u);
            const std::int32_t y = static_cast<std::int32_t>(test::random_word() % 1080u);
            TilesAddRect(t, {x, y, x + side(), y + side()});
        }
        // The last column always, where no sixteen tiles remain.
        TilesAddRect(t, {1915, 500, 1920, 510});
        std::vector<int> expected(1920 * 1080), got(expected.size());
        for (int ty = 0; ty < t.Rows; ++ty)
            for (int tx = 0; tx < t.Columns; ++tx) {
                const TMicroTile d = at(t, tx, ty);
                for (int y = ty * 32 + tile_top(d); y < ty * 32 + tile_bottom(d); ++y)
                    for (int x = tx * 32 + tile_left(d); x < tx * 32 + tile_right(d); ++x)
                        if (x >= r.clip.Left && x < r.clip.Right && y >= r.clip.Top && y < r.clip.Bottom)
                            expected[static_cast<std::size_t>(y * 1920 + x)] = 1;
            }
        TRectList list;
        TilesToRects(t, list, r.clip);
        for (std::int32_t i = 0; i < list.Count(); ++i) {
            const TRect& c = *list.Get(i);
            for (int y = c.Top; y < c.Bottom; ++y)
                for (int x = c.Left; x < c.Right; ++x)
                    ++got[static_cast<std::size_t>(y * 1920 + x)];
        }
        const auto first = std::mismatch(got.begin(), got.end(), expected.begin());
        EXPECT_TRUE(first.first == got.end()) << "first difference at pixel " << (first.first - got.begin()) % 1920
                                              << ", " << (first.first - got.begin()) / 1920;
    }
}

TEST(RasterMicroTiles, FullSetGivesTheWholeArea) {
    TMicroTiles t = tiles_of(100, 50);
    TilesFill(t, microtile_full);
    t.BoundsUsedTiles = {0, 0, t.Columns, t.Rows};
    EXPECT_EQ(rects_of(t), (std::vector<TRect>{{0, 0, 100, 50}}));
    EXPECT_EQ(rects_of(t, true), (std::vector<TRect>{{0, 0, 100, 50}}));
}

TEST(RasterMicroTiles, WholeTileMarkingStaysInItsRow) {
    TMicroTiles t = tiles_of(128, 64);
    TilesAddRect(t, {10, 10, 20, 20}, true);
    EXPECT_EQ(rects_of(t, true), (std::vector<TRect>{{0, 0, 32, 32}}));
    TilesFillUsed(t, microtile_empty);
    // Past the right edge: column Columns shares its slot with the next row's first tile.
    TilesAddRect(t, {100, 0, 500, 10}, true);
    EXPECT_EQ(at(t, 0, 1), microtile_empty);
    EXPECT_EQ(rects_of(t, true), (std::vector<TRect>{{96, 0, 128, 32}}));
}

TEST(RasterMicroTiles, ZeroWidthMergeChangesNothing) {
    const TMicroTile zero_width = TilePack(0, 0, 0, 10);
    const TMicroTile tiles[] = {microtile_empty, microtile_full, TilePack(3, 4, 10, 12), TilePack(0, 0, 1, 1)};
    for (int form = 0; form < 2; ++form) {
        if (form == 1 && !ProcessorFeatures.Contains(ciEMMX))
            continue;
        const auto merge = test::registered_form<tile_merge_proc>(u"Raster_MicroTiles bindings", FID_TILEMERGE, form);
        for (const TMicroTile tile : tiles) {
            TMicroTile d = tile;
            merge(d, zero_width);
            EXPECT_EQ(d, tile) << form;
        }
    }
    TMicroTiles dst = tiles_of(64, 64), src = tiles_of(64, 64);
    TilesAddRect(dst, {3, 3, 9, 9});
    const std::vector<TMicroTile> before = dst.Tiles;
    TilesAddRect(src, {5, 5, 5, 30});
    TilesMerge(dst, src, false);
    EXPECT_EQ(dst.Tiles, before);
}

TEST(RasterMicroTiles, EveryMergeFormAgrees) {
    for (int form = 1; form < 2; ++form) {
        if (!ProcessorFeatures.Contains(ciEMMX))
            GTEST_SKIP() << "no EMMX";
        const auto merge = test::registered_form<tile_merge_proc>(u"Raster_MicroTiles bindings", FID_TILEMERGE, form);
        const auto row = test::registered_form<tiles_merge_row_proc>(u"Raster_MicroTiles bindings", FID_TILESMERGE, form);
        for (int i = 0; i < 20000; ++i) {
            const TMicroTile d = random_tile(), s = random_tile();
            TMicroTile expected = d, got = d;
            tile_merge_portable(expected, s);
            merge(got, s);
            ASSERT_EQ(got, expected) << std::hex << d << " " << s;
        }
        for (const std::int32_t count : {0, 1, 15, 16, 17, 61}) {
            std::vector<TMicroTile> src(static_cast<std::size_t>(count) + 1), dst(src.size());
            for (std::size_t i = 0; i < src.size(); ++i) {
                src[i] = random_tile();
                dst[i] = random_tile();
            }
            std::vector<TMicroTile> expected = dst;
            tiles_merge_row_portable(expected.data(), src.data(), count);
            row(dst.data(), src.data(), count);
            EXPECT_EQ(dst, expected) << count;
        }
    }
}

TEST(RasterMicroTiles, MergeAndAssignCarryTilesAndUsedBox) {
    TMicroTiles a = tiles_of(128, 64), b = tiles_of(128, 64);
    TilesAddRect(a, {2, 2, 10, 10});
    TilesAddRect(b, {70, 40, 80, 50});
    TilesAddRect(b, {5, 5, 20, 20});
    TilesMerge(a, b, false);
    EXPECT_EQ(a.BoundsUsedTiles, (TRect{0, 0, 2, 1}));
    EXPECT_EQ(rects_of(a), (std::vector<TRect>{{2, 2, 20, 20}, {70, 40, 80, 50}}));

    TMicroTiles rounded = tiles_of(128, 64);
    TilesMerge(rounded, b, true);
    EXPECT_EQ(at(rounded, 2, 1), microtile_full);

    TMicroTiles copy;
    TilesInit(copy);
    TilesAssign(copy, b);
    EXPECT_EQ(copy.Count, b.Count);
    EXPECT_EQ(copy.Tiles, b.Tiles);
    EXPECT_EQ(copy.BoundsUsedTiles, b.BoundsUsedTiles);
    // Assigning an empty set clears what the copy held.
    TilesAssign(copy, tiles_of(128, 64));
    EXPECT_TRUE(rects_of(copy).empty());
    EXPECT_EQ(marked(copy).size(), 0u);

    TilesFree(copy);
    EXPECT_EQ(copy.Count, 0);
    TilesAddRect(copy, {0, 0, 10, 10}); // nothing to write into
    TilesMerge(copy, b, false);
    TRectList none;
    EXPECT_EQ(TilesToRects(copy, none), 0);
}

TEST(RasterMicroTiles, LineMarksTilesAlongTheLineOnly) {
    TMicroTiles t = tiles_of(1024, 1024);
    TilesAddLine(t, 10, 20, 1000, 610, 1);
    const auto tiles = marked(t);
    // Every tile the line passes through is marked ...
    for (double s = 0; s <= 1; s += 0.001) {
        const double x = 10 + s * 990, y = 20 + s * 590;
        EXPECT_TRUE(tiles.contains({static_cast<int>(x) / 32, static_cast<int>(y) / 32})) << x << "," << y;
    }
    // ... and every marked tile lies within a tile and the width of it (the last step may run one tile on).
    for (const auto& [cx, cy] : tiles) {
        double best = 1e9;
        for (double s = -0.04; s <= 1.04; s += 0.001) {
            const double x = 10 + s * 990, y = 20 + s * 590;
            const double dx = std::max({cx * 32.0 - x, 0.0, x - (cx * 32.0 + 32)});
            const double dy = std::max({cy * 32.0 - y, 0.0, y - (cy * 32.0 + 32)});
            best = std::min(best, std::hypot(dx, dy));
        }
        EXPECT_LE(best, 40.0) << cx << "," << cy;
    }
    EXPECT_LT(tiles.size(), 120u); // the bounding box holds 31 x 19 = 589 tiles
    EXPECT_FALSE(tiles.contains({31, 0}));
    EXPECT_FALSE(tiles.contains({0, 18}));
}

TEST(RasterMicroTiles, LineFarOutsideThe16BitRangeIsClippedNotWrapped) {
    constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
    struct row { const char* name; std::int32_t x1, y1, x2, y2, width; std::set<std::pair<int, int>> expected_in; bool none; };
    const row rows[] = {
        {"diagonal through the set from far away", -100000, -100000, 100000, 100000, 0, {{0, 0}, {3, 3}, {7, 7}}, false},
        {"ends of the Integer range", lo, lo, hi, hi, 0, {{0, 0}, {7, 7}}, false},
        {"past 32767 only", 40000, 40000, 50000, 60000, 2, {}, true},
        {"far away and wide", -1000000, 5000000, 1000000, 5000001, 1 << 23, {}, false},
        {"horizontal at the range's end", lo, 10, hi, 10, 1, {{0, 0}, {7, 0}}, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TMicroTiles t = tiles_of(256, 256);
        TilesAddLine(t, r.x1, r.y1, r.x2, r.y2, r.width);
        const auto tiles = marked(t);
        if (r.none) {
            EXPECT_TRUE(tiles.empty());
        }
        for (const auto& tile : r.expected_in)
            EXPECT_TRUE(tiles.contains(tile)) << tile.first << "," << tile.second;
        for (const TRect& rect : rects_of(t)) {
            EXPECT_GE(rect.Left, 0);
            EXPECT_LE(rect.Right, 256);
            EXPECT_GE(rect.Top, 0);
            EXPECT_LE(rect.Bottom, 256);
        }
    }
    // The diagonal marks only tiles next to it.
    TMicroTiles t = tiles_of(256, 256);
    TilesAddLine(t, -100000, -100000, 100000, 100000, 0);
    for (const auto& [x, y] : marked(t))
        EXPECT_LE(std::abs(x - y), 1) << x << "," << y;
}

// --- The optimiser

namespace {

// A layer that fills its rectangle of the buffer.
struct box_layer : TCustomLayer {
    using TCustomLayer::TCustomLayer;
    TRect box{};
    void Paint(TBitmap32* buffer) override { buffer->FillRectS(box, clWhite32); }
};
const layer_class box_layer_class{{u"box_layer"}, &create_layer<box_layer>};

struct optimizer_fixture : ::testing::Test {
    TBitmap32 buffer;
    TRectList rects;
    std::unique_ptr<TCustomRepaintOptimizer> optimizer{
        micro_tiles_repaint_optimizer_class.Create(&buffer, &rects)};
    TLayerCollection layers{nullptr};

    optimizer_fixture() { buffer.SetSize(128, 64); }

    // Routes the buffer's drawing to the optimiser, as the paint box's optimising mode does.
    void report_drawing() {
        buffer.OnAreaChanged = [this](TObject* s, const TRect& a, std::uint32_t i) {
            optimizer->AreaUpdateHandler(s, a, i);
        };
    }
    std::vector<TRect> optimize() {
        rects.Clear();
        optimizer->PerformOptimization();
        std::vector<TRect> v;
        for (std::int32_t i = 0; i < rects.Count(); ++i)
            v.push_back(*rects.Get(i));
        return v;
    }
    box_layer* add_box(const TRect& r) {
        auto* layer = static_cast<box_layer*>(layers.Add(&box_layer_class));
        layer->box = r;
        return layer;
    }
};

} // namespace

TEST_F(optimizer_fixture, EnablingOrResetGivesTheWholeBufferOnce) {
    EXPECT_FALSE(optimizer->Enabled());
    optimizer->SetEnabled(true);
    EXPECT_TRUE(optimizer->UpdatesAvailable());
    EXPECT_EQ(optimize(), (std::vector<TRect>{{0, 0, 128, 64}}));
    EXPECT_EQ(optimize(), std::vector<TRect>{});
    optimizer->Reset();
    EXPECT_EQ(optimize(), (std::vector<TRect>{{0, 0, 128, 64}}));
    optimizer->BufferResizedHandler(100, 50);
    EXPECT_EQ(optimize(), (std::vector<TRect>{{0, 0, 100, 50}}));
}

TEST_F(optimizer_fixture, DrawingReachesTheListAsItsRectangles) {
    optimizer->SetEnabled(true);
    optimize();
    report_drawing();
    buffer.FillRectS(40, 5, 100, 20, clRed32);
    EXPECT_EQ(optimize(), (std::vector<TRect>{{40, 5, 100, 20}}));
    // A line is reported as a line: the tiles along it, not its bounding box.
    buffer.SetSize(1024, 1024);
    optimizer->BufferResizedHandler(1024, 1024);
    optimize();
    buffer.LineS(0, 0, 1000, 1000, clRed32);
    std::int64_t area = 0;
    for (const TRect& r : optimize()) {
        area += std::int64_t{r.Right - r.Left} * (r.Bottom - r.Top);
        EXPECT_LE(std::abs((r.Left + r.Right) / 2 - (r.Top + r.Bottom) / 2), 64);
    }
    EXPECT_LT(area, 1000 * 1000 / 8);
    // Disabled, the optimiser forgets what it had.
    buffer.FillRectS(0, 0, 10, 10, clRed32);
    optimizer->SetEnabled(false);
    EXPECT_FALSE(optimizer->UpdatesAvailable());
}

TEST_F(optimizer_fixture, LayersRepaintTheirOldAndNewAreas) {
    optimizer->RegisterLayerCollection(&layers);
    box_layer* a = add_box({10, 10, 20, 20});
    add_box({70, 40, 80, 50});
    optimizer->SetEnabled(true);
    EXPECT_EQ(optimize(), (std::vector<TRect>{{0, 0, 128, 64}}));
    EXPECT_EQ(optimize(), std::vector<TRect>{});

    a->box = {40, 10, 50, 20};
    a->Changed();
    EXPECT_TRUE(a->GetInvalidMark());
    EXPECT_EQ(optimize(), (std::vector<TRect>{{10, 10, 20, 20}, {40, 10, 50, 20}}));
    EXPECT_FALSE(a->GetInvalidMark());

    // A deleted layer's last measured area is repainted.
    layers.Delete(1);
    EXPECT_TRUE(optimizer->UpdatesAvailable());
    EXPECT_EQ(optimize(), (std::vector<TRect>{{70, 40, 80, 50}}));

    layers.Clear();
    EXPECT_EQ(optimize(), (std::vector<TRect>{{40, 10, 50, 20}}));

    optimizer->UnregisterLayerCollection(&layers);
    EXPECT_FALSE(layers.OnListNotify);
}

TEST_F(optimizer_fixture, DeletingALayerWhileDisabledRaisesNothing) {
    optimizer->RegisterLayerCollection(&layers);
    add_box({1, 1, 5, 5});
    add_box({6, 6, 9, 9});
    layers.Delete(0);
    optimizer->SetEnabled(true);
    EXPECT_EQ(optimize(), (std::vector<TRect>{{0, 0, 128, 64}}));
}

TEST(RasterRepaintOpt, GrowAreaMirrorsReversedRectanglesAndSaturates) {
    constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
    struct row { TRect area; std::int32_t dx, dy; TRect grown; };
    const row rows[] = {
        {{10, 10, 20, 20}, 2, 3, {8, 7, 22, 23}},
        {{20, 20, 10, 10}, 2, 3, {22, 23, 8, 7}},
        {{0, 0, hi - 1, 5}, 4, 0, {-4, 0, hi, 5}},
    };
    for (const row& r : rows) {
        TRect a = r.area;
        GrowArea(a, r.dx, r.dy);
        EXPECT_EQ(a, r.grown);
    }
}
