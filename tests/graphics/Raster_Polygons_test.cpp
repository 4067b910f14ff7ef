// Coverage rasterisation and the polygon renderers.

#include "graphics/Raster_Polygons.h"

#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Transforms.h"
#include "graphics/Raster_VPR.h"
#include "tests/graphics/graphics_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <vector>

using namespace kq;

namespace {

constexpr TColor32 background = 0xFF102030;
constexpr TColor32 ink = 0xFFC08040;

struct canvas {
    TCustomBitmap32 bitmap;
    std::vector<TRect> reports;

    explicit canvas(std::int32_t w = 12, std::int32_t h = 12) {
        bitmap.SetSize(w, h);
        bitmap.Clear(background);
        bitmap.OnAreaChanged = [this](TObject*, const TRect& r, std::uint32_t) { reports.push_back(r); };
    }
    TColor32 at(std::int32_t x, std::int32_t y) const { return bitmap.GetPixel(x, y); }
};

TArrayOfFloatPoint square(float l, float t, float r, float b, bool clockwise = true) {
    if (clockwise)
        return {{l, t}, {r, t}, {r, b}, {l, b}};
    return {{l, t}, {l, b}, {r, b}, {r, t}};
}

// Coverage per pixel, as the rasteriser hands it over.
std::map<std::pair<int, int>, float> coverage_of(const TArrayOfArrayOfFloatPoint& polygons, const TFloatRect& clip) {
    std::map<std::pair<int, int>, float> cells;
    RasterizeCoverage(
        polygons, clip,
        [](void* data, const TValueSpan& span, std::int32_t y) {
            auto& c = *static_cast<std::map<std::pair<int, int>, float>*>(data);
            for (std::int32_t x = span.X1; x <= span.X2; ++x)
                if (span.Values[x - span.X1] != 0)
                    c[{x, y}] = span.Values[x - span.X1];
        },
        &cells);
    return cells;
}

} // namespace

TEST(RasterCoverage, AnIntegerSquareCoversExactlyItsPixels) {
    for (const bool clockwise : {true, false}) {
        SCOPED_TRACE(clockwise);
        const auto cells = coverage_of({square(2, 2, 8, 8, clockwise)}, {0, 0, 12, 12});
        EXPECT_EQ(cells.size(), 36u);
        for (const auto& [xy, value] : cells) {
            EXPECT_TRUE(xy.first >= 2 && xy.first <= 7 && xy.second >= 2 && xy.second <= 7);
            EXPECT_FLOAT_EQ(std::abs(value), 1.0f);
            EXPECT_EQ(value < 0, clockwise); // the sign follows the orientation
        }
    }
}

TEST(RasterCoverage, CoverageAddsUpToTheArea) {
    struct row {
        const char* name;
        TArrayOfFloatPoint polygon;
        double area;
    };
    const float c = 32, r = 20;
    TArrayOfFloatPoint rotated;
    for (int k = 0; k < 4; ++k) {
        const double a = 0.3 + k * std::numbers::pi / 2;
        rotated.push_back({static_cast<float>(c + r * std::cos(a)), static_cast<float>(c + r * std::sin(a))});
    }
    const row rows[] = {
        {"half pixels", square(2.5f, 2.25f, 8.5f, 7.75f), 6.0 * 5.5},
        {"triangle", {{1, 1}, {30, 5}, {7, 40}}, std::abs((29.0 * 39 - 4.0 * 6) / 2)},
        {"rotated square", rotated, 2.0 * r * r},
        {"thin sliver", {{0.2f, 3.1f}, {50.7f, 3.3f}, {50.7f, 3.35f}}, 50.5 * 0.05 / 2},
    };
    for (const row& t : rows) {
        SCOPED_TRACE(t.name);
        double sum = 0;
        for (const auto& [xy, v] : coverage_of({t.polygon}, {0, 0, 64, 64})) {
            EXPECT_LE(std::abs(v), 1.0001f);
            sum += std::abs(v);
        }
        EXPECT_NEAR(sum, t.area, t.area * 1e-4 + 1e-3);
    }
}

TEST(RasterCoverage, BadPolygonsAddNothingAndStayInside) {
    const float inf = std::numeric_limits<float>::infinity(), nan = std::nanf("");
    const float big = std::numeric_limits<float>::max();
    const TArrayOfArrayOfFloatPoint polygons[] = {
        {},
        {{}},
        {{{3, 3}}},
        {{{3, 3}, {6, 6}}},
        {{{1, 1}, {nan, 5}, {8, 8}}},
        {{{1, 1}, {inf, 5}, {8, 8}}},
        {{{-inf, -inf}, {inf, -inf}, {inf, inf}}},
    };
    for (const auto& p : polygons)
        EXPECT_TRUE(coverage_of(p, {0, 0, 16, 16}).empty());
    // A sliver of almost no width but huge height: its slopes are infinite, its coverage must stay a number.
    for (const auto& [xy, v] : coverage_of({{{-0x1.4bbdfep-52f, 0x1.f76f4ap+76f}, {0, 0}}}, {-2.5f, -1, 40.25f, 19}))
        EXPECT_TRUE(std::isfinite(v)) << xy.first << "," << xy.second;
    // Huge coordinates are clipped first: every pixel of the clip covered once, nothing outside it.
    const auto cells = coverage_of({{{-big, -big}, {big, -big}, {big, big}, {-big, big}}}, {2, 3, 10, 7});
    EXPECT_EQ(cells.size(), 32u);
    for (const auto& [xy, v] : cells) {
        EXPECT_TRUE(xy.first >= 2 && xy.first < 10 && xy.second >= 3 && xy.second < 7);
        EXPECT_FLOAT_EQ(std::abs(v), 1.0f);
    }
    // A million edges zig-zagging outside the clip cost only what is clipped.
    TArrayOfFloatPoint zigzag;
    for (int i = 0; i < 1000000; ++i)
        zigzag.push_back({-100.0f - (i % 2) * 50, -100.0f + i * 0.001f});
    zigzag.push_back({8, 8});
    EXPECT_NO_THROW(coverage_of({zigzag}, {0, 0, 16, 16}));
}

TEST(RasterPolygonRenderer, AnOpaqueSquareFillsExactlyItsPixels) {
    for (const TFillRule rule : {frNonZero, frEvenOdd})
        for (const bool clockwise : {true, false}) {
            canvas c;
            TPolygonRenderer32VPR renderer(&c.bitmap, rule);
            renderer.SetColor(ink);
            renderer.PolygonFS(square(2, 2, 8, 8, clockwise));
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 12; ++x)
                    ASSERT_EQ(c.at(x, y), x >= 2 && x < 8 && y >= 2 && y < 8 ? ink : background)
                        << x << "," << y << " rule " << int(rule);
            EXPECT_EQ(c.reports, (std::vector<TRect>{{2, 2, 8, 8}}));
        }
}

TEST(RasterPolygonRenderer, FillRulesDifferOnOverlaps) {
    // Same orientation: the overlap winds twice. Opposite: it winds zero times under both rules.
    struct row {
        bool same_orientation;
        TFillRule rule;
        bool overlap_filled;
    };
    const row rows[] = {{true, frNonZero, true}, {true, frEvenOdd, false}, {false, frNonZero, false},
                        {false, frEvenOdd, false}};
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.same_orientation << " " << int(r.rule));
        canvas c(16, 16);
        TPolygonRenderer32VPR renderer(&c.bitmap, r.rule);
        renderer.SetColor(ink);
        renderer.PolyPolygonFS({square(2, 2, 10, 10), square(6, 6, 14, 14, r.same_orientation)});
        EXPECT_EQ(c.at(3, 3), ink);
        EXPECT_EQ(c.at(12, 12), ink);
        EXPECT_EQ(c.at(8, 8), r.overlap_filled ? ink : background);
        EXPECT_EQ(c.at(12, 3), background);
        EXPECT_EQ(c.reports.size(), 2u);
    }
}

TEST(RasterPolygonRenderer, PartialCoverageBlendsThroughTheGammaCurve) {
    canvas c;
    TPolygonRenderer32VPR renderer(&c.bitmap, frNonZero);
    renderer.SetColor(ink);
    renderer.PolygonFS(square(2.5f, 2, 8, 8));
    // Half a pixel: alpha G[(255 x 257 x 32768) shr 24] = G[127].
    TColor32 expected = background;
    const TColor32 half = SetColor32Alpha(ink, GammaLookup[127]);
    BlendRow(&half, &expected, 1);
    EndBlending();
    EXPECT_EQ(c.at(2, 4), expected);
    EXPECT_EQ(c.at(3, 4), ink);
    EXPECT_EQ(c.reports, (std::vector<TRect>{{2, 2, 8, 8}})); // 2.5 rounds half to even
}

TEST(RasterPolygonRenderer, OutsideTheClipNothingIsDrawnButTheBoundsAreReported) {
    canvas c;
    TPolygonRenderer32VPR renderer(&c.bitmap, frNonZero);
    renderer.SetColor(ink);
    c.bitmap.SetClipRect({0, 0, 6, 6});
    renderer.PolygonFS(square(7, 7, 11, 11));
    renderer.PolygonFS(square(-30, 2, -20, 4));
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 12; ++x)
            ASSERT_EQ(c.at(x, y), background);
    EXPECT_EQ(c.reports, (std::vector<TRect>{{7, 7, 11, 11}, {-30, 2, -20, 4}}));

    // Inside BeginUpdate nothing is reported; fewer than three points draw nothing.
    c.reports.clear();
    c.bitmap.BeginUpdate();
    renderer.PolygonFS(square(1, 1, 3, 3));
    c.bitmap.EndUpdate();
    EXPECT_TRUE(c.reports.empty());
    EXPECT_EQ(c.at(1, 1), ink);
    renderer.PolygonFS({{1, 5}, {5, 5}});
    EXPECT_EQ(c.at(2, 5), background);
}

TEST(RasterPolygonRenderer, AClipBeyondTheBitmapDrawsOnlyTheBitmap) {
    canvas c(8, 4);
    TCustomBitmap32 guard; // the rows around the bitmap's block must not change
    TPolygonRenderer32VPR renderer(&c.bitmap, frNonZero);
    renderer.SetColor(ink);
    const float big = std::numeric_limits<float>::max(), nan = std::nanf("");
    renderer.PolygonFS(square(-100, -100, 100, 100), {-1e30f, -1e30f, 1e30f, 1e30f});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(c.at(x, y), ink);
    // Bounds past the Integers are reported held at 2^30; a clip that is no number draws nothing.
    c.bitmap.Clear(background);
    c.reports.clear();
    renderer.PolygonFS({{-big, 0}, {big, nan}, {0, big}}, {0, 0, 8, 4});
    renderer.PolygonFS({{-big, -big}, {big, -big}, {0, big}}, {nan, 0, 8, 4});
    const std::int32_t reach = 1 << 30;
    EXPECT_EQ(c.reports, (std::vector<TRect>{{-reach, 0, reach, reach}, {-reach, -reach, reach, reach}}));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(c.at(x, y), background);
}

TEST(RasterPolygonRenderer, TransformationMovesThePoints) {
    canvas c;
    TPolygonRenderer32VPR renderer(&c.bitmap, frNonZero);
    renderer.SetColor(ink);
    TAffineTransformation t;
    t.Translate(3, 4);
    renderer.PolygonFS(square(0, 0, 2, 2), {0, 0, 12, 12}, &t);
    EXPECT_EQ(c.at(3, 4), ink);
    EXPECT_EQ(c.at(4, 5), ink);
    EXPECT_EQ(c.at(5, 6), background);
    EXPECT_EQ(c.at(0, 0), background);
}

namespace {

// Writes the alpha values into the pixels' alpha bytes and records the calls.
class alpha_filler : public TCustomPolygonFiller {
public:
    int begun = 0, ended = 0, lines = 0;
    TFillLineEvent GetFillLine() override {
        return [this](TColor32* dst, std::int32_t, std::int32_t, std::int32_t length, TColor32* alpha) {
            ++lines;
            for (std::int32_t i = 0; i < length; ++i)
                dst[i] = alpha[i] << 24 | 0x00ABCDEF;
        };
    }
    void BeginRendering() override { ++begun; }
    void EndRendering() override { ++ended; }
};

} // namespace

TEST(RasterPolygonRenderer, FillerGetsTheAlphaValuesOfTheFillRule) {
    for (const TFillRule rule : {frNonZero, frEvenOdd}) {
        canvas c(16, 16);
        alpha_filler filler;
        TPolygonRenderer32VPR renderer(&c.bitmap, rule);
        renderer.SetFiller(&filler);
        renderer.PolyPolygonFS({square(2, 2, 10, 10), square(6, 6, 14, 14), square(0.5f, 12, 1, 13)});
        EXPECT_EQ(filler.begun, 1);
        EXPECT_EQ(filler.ended, 1);
        EXPECT_GT(filler.lines, 0);
        EXPECT_EQ(c.at(3, 3), 0xFFABCDEFu);
        EXPECT_EQ(c.at(8, 8), rule == frNonZero ? 0xFFABCDEFu : 0x00ABCDEFu);
        EXPECT_EQ(c.at(0, 12), TColor32{GammaLookup[128]} << 24 | 0x00ABCDEF);
        EXPECT_EQ(c.at(15, 0), background);
    }
}

TEST(RasterPolygonRenderer, EvenOddFoldsCoverageAboveOne) {
    // Three same-way squares: coverage 3 inside all three; odd, so filled under even-odd too.
    canvas c(16, 16);
    TPolygonRenderer32VPR renderer(&c.bitmap, frEvenOdd);
    renderer.SetColor(ink);
    renderer.PolyPolygonFS({square(2, 2, 10, 10), square(4, 4, 12, 12), square(6, 6, 14, 14)});
    EXPECT_EQ(c.at(7, 7), ink);     // 3
    EXPECT_EQ(c.at(5, 5), background); // 2
    EXPECT_EQ(c.at(3, 3), ink);     // 1
}

TEST(RasterPolygonRendererLCD, OpaqueInteriorIsTheColourAndEdgesBlendPerChannel) {
    canvas c(16, 4);
    TPolygonRenderer32LCD renderer(&c.bitmap, frNonZero);
    renderer.SetColor(ink);
    renderer.PolygonFS(square(3, 0, 12, 4));
    for (int x = 5; x <= 9; ++x)
        EXPECT_EQ(c.at(x, 1), ink) << x;
    // The filter spreads one sub-pixel beyond the edges: pixels 2 and 12 blended, not set.
    EXPECT_NE(c.at(2, 1), ink);
    EXPECT_NE(c.at(2, 1), background);
    EXPECT_EQ(c.at(0, 1), background);
    EXPECT_EQ(c.at(15, 1), background);
    EXPECT_EQ(c.reports, (std::vector<TRect>{{3, 0, 12, 4}}));

    // With a translucent colour no weight reaches 255: every pixel is blended, none set.
    canvas t(16, 4);
    TPolygonRenderer32LCD translucent(&t.bitmap, frNonZero);
    translucent.SetColor(SetColor32Alpha(ink, 200));
    translucent.PolygonFS(square(3, 0, 12, 4));
    for (int x = 0; x < 16; ++x)
        EXPECT_NE(t.at(x, 1), SetColor32Alpha(ink, 200)) << x;
    EXPECT_NE(t.at(7, 1), background);
}

TEST(RasterPolygonRendererLCD, ASpanStartingInsideTheFirstPixelLeavesItsEarlierSubPixels) {
    // The same edge one pixel further right: the first pixel's weights there are the second pixel's here,
    // and the pixel before it (read from the leading zero bytes) is left as it was.
    for (const bool smoothed : {false, true}) {
        SCOPED_TRACE(smoothed);
        canvas a(8, 2), b(8, 2);
        for (canvas* c : {&a, &b}) {
            std::unique_ptr<TPolygonRenderer32> renderer =
                smoothed ? std::unique_ptr<TPolygonRenderer32>(new TPolygonRenderer32LCD2(&c->bitmap, frNonZero))
                         : std::unique_ptr<TPolygonRenderer32>(new TPolygonRenderer32LCD(&c->bitmap, frNonZero));
            renderer->SetColor(clWhite32);
            const float left = (c == &a ? 0 : 1) + 1.0f / 3;
            renderer->PolygonFS(square(left, 0, left + 0.5f, 2));
        }
        EXPECT_NE(a.at(0, 0), background);
        if (!smoothed) { // the smoothed bytes reach one sub-pixel further left
            EXPECT_EQ(b.at(0, 0), background);
        }
        EXPECT_EQ(b.at(1, 0), a.at(0, 0));
        EXPECT_EQ(b.at(2, 0), a.at(1, 0));
    }
}

TEST(RasterPolygonRendererLCD, SmoothingSpreadsTheEdgesFurther) {
    canvas sharp(16, 2), smooth(16, 2);
    TPolygonRenderer32LCD lcd(&sharp.bitmap, frNonZero);
    TPolygonRenderer32LCD2 lcd2(&smooth.bitmap, frNonZero);
    for (TPolygonRenderer32* r : {static_cast<TPolygonRenderer32*>(&lcd), static_cast<TPolygonRenderer32*>(&lcd2)}) {
        r->SetColor(clWhite32);
        r->PolygonFS(square(5, 0, 5.34f, 2));
    }
    int sharp_touched = 0, smooth_touched = 0;
    for (int x = 0; x < 16; ++x) {
        sharp_touched += sharp.at(x, 0) != background;
        smooth_touched += smooth.at(x, 0) != background;
    }
    EXPECT_GE(smooth_touched, sharp_touched);
    EXPECT_GT(sharp_touched, 0);
}

TEST(RasterPolygonRenderer, ClassesAreRegisteredInOrder) {
    ASSERT_NE(RendererClassList(), nullptr);
    std::vector<String> names;
    RendererClassList()->GetClassNames(names);
    EXPECT_EQ(names, (std::vector<String>{u"TPolygonRenderer32VPR", u"TPolygonRenderer32LCD",
                                          u"TPolygonRenderer32LCD2"}));
    canvas c;
    auto renderer = create_polygon_renderer(u"TPolygonRenderer32LCD2", &c.bitmap, frEvenOdd);
    ASSERT_NE(renderer, nullptr);
    EXPECT_NE(dynamic_cast<TPolygonRenderer32LCD2*>(renderer.get()), nullptr);
    EXPECT_EQ(renderer->FillMode(), frEvenOdd);
    EXPECT_EQ(renderer->Bitmap(), &c.bitmap);
    EXPECT_EQ(create_polygon_renderer(u"TPolygonRenderer32", &c.bitmap, frEvenOdd), nullptr);
}

TEST(RasterPolygonRenderer, SettersReportChanges) {
    TPolygonRenderer32VPR renderer;
    int changes = 0;
    renderer.OnChange = [&](TObject*) { ++changes; };
    TCustomBitmap32 b;
    renderer.SetBitmap(&b);
    renderer.SetColor(ink);
    renderer.SetColor(ink);
    renderer.SetFillMode(frNonZero);
    EXPECT_EQ(changes, 3);
    renderer.PolygonFS(square(0, 0, 4, 4)); // an empty bitmap: nothing to draw on
}
