#include "graphics/Raster_Bitmap.h"

#include "graphics/Raster_Blend.h"
#include "graphics/Raster_VectorUtils.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <set>
#include <utility>
#include <vector>

using namespace kq;

namespace {

constexpr TColor32 C = 0xFF123456;
constexpr TColor32 bg = 0;

struct report {
    TRect area;
    std::uint32_t info;
    bool operator==(const report&) const = default;
};

// A bitmap of transparent black with its reports recorded.
struct canvas {
    TCustomBitmap32 b;
    std::vector<report> reports;
    int changes = 0;

    canvas(std::int32_t w, std::int32_t h) {
        b.SetSize(w, h);
        b.Clear(bg);
        b.OnAreaChanged = [this](TObject*, const TRect& a, std::uint32_t i) { reports.push_back({a, i}); };
        b.OnChange = [this](TObject*) { ++changes; };
    }

    std::set<std::pair<int, int>> set_pixels() const {
        std::set<std::pair<int, int>> s;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                if (b.GetPixel(x, y) != bg)
                    s.insert({x, y});
        return s;
    }
};

using pixels = std::set<std::pair<int, int>>;

} // namespace

TEST(RasterDrawing, ExactLines) {
    struct row {
        const char* name;
        std::function<void(TCustomBitmap32&)> draw;
        pixels expected;
    };
    const row rows[] = {
        {"shallow without end", [](TCustomBitmap32& b) { b.Line(0, 0, 3, 1, C, false); }, {{0, 0}, {1, 0}, {2, 1}}},
        {"shallow with end", [](TCustomBitmap32& b) { b.Line(0, 0, 3, 1, C, true); }, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {"steep backwards", [](TCustomBitmap32& b) { b.Line(1, 3, 0, 0, C, true); }, {{1, 3}, {1, 2}, {0, 1}, {0, 0}}},
        {"horizontal leaves the end", [](TCustomBitmap32& b) { b.Line(3, 2, 0, 2, C); }, {{3, 2}, {2, 2}, {1, 2}}},
        {"vertical with end", [](TCustomBitmap32& b) { b.Line(4, 0, 4, 2, C, true); }, {{4, 0}, {4, 1}, {4, 2}}},
        {"point", [](TCustomBitmap32& b) { b.Line(2, 2, 2, 2, C, true); }, {{2, 2}}},
        {"clipped keeps the unclipped positions",
         [](TCustomBitmap32& b) {
             b.SetClipRect({1, 0, 3, 5});
             b.LineS(0, 0, 4, 2, C, true);
         },
         {{1, 1}, {2, 1}}},
        {"clipped horizontal from far outside",
         [](TCustomBitmap32& b) { b.LineS(-10, 0, 10, 0, C); },
         {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        canvas c(5, 5);
        r.draw(c.b);
        EXPECT_EQ(c.set_pixels(), r.expected);
    }
}

TEST(RasterDrawing, ClippedLinesMatchTheUnclippedOnesInsideTheClip) {
    // Every line between points of a 30 x 30 area, drawn on a 30 x 30 bitmap and clipped to its middle.
    const TRect clip{8, 11, 21, 19};
    for (int x1 = 0; x1 < 30; x1 += 7)
        for (int y1 = 0; y1 < 30; y1 += 5)
            for (int x2 = 1; x2 < 30; x2 += 6)
                for (int y2 = 2; y2 < 30; y2 += 9) {
                    TCustomBitmap32 whole, clipped;
                    for (auto* b : {&whole, &clipped}) {
                        b->SetSize(30, 30);
                        b->Clear(bg);
                    }
                    clipped.SetClipRect(clip);
                    whole.Line(x1, y1, x2, y2, C, true);
                    clipped.LineS(x1, y1, x2, y2, C, true);
                    for (int y = 0; y < 30; ++y)
                        for (int x = 0; x < 30; ++x) {
                            const bool inside = PointInRect(clip, {x, y});
                            ASSERT_EQ(clipped.GetPixel(x, y), inside ? whole.GetPixel(x, y) : bg)
                                << x1 << "," << y1 << "-" << x2 << "," << y2 << " at " << x << "," << y;
                        }
                }
}

TEST(RasterDrawing, FillsAndTheirReports) {
    {
        canvas c(4, 4);
        c.b.FillRectT(0, 0, 4, 4, 0x00FFFFFF);
        EXPECT_TRUE(c.set_pixels().empty());
        EXPECT_TRUE(c.reports.empty());
        EXPECT_EQ(c.changes, 0);
        c.b.FillRectT(1, 1, 3, 2, 0xFFFFFFFF);
        EXPECT_EQ(c.set_pixels(), (pixels{{1, 1}, {2, 1}}));
        EXPECT_EQ(c.b.GetPixel(1, 1), 0xFFFFFFFFu);
        EXPECT_EQ(c.reports, (std::vector<report>{{{1, 1, 3, 2}, AreaInfoRect}}));
    }
    {
        canvas c(4, 4);
        c.b.SetPixel(0, 0, 0xFF000000);
        c.b.FillRectT(0, 0, 1, 1, 0x80FFFFFF);
        EXPECT_EQ(c.b.GetPixel(0, 0), CombineColors(0x80FFFFFF, 0xFF000000, 0x80));
    }
    {
        canvas c(4, 4);
        std::vector<report> measured;
        c.b.BeginMeasuring([&](TObject*, const TRect& a, std::uint32_t i) { measured.push_back({a, i}); });
        c.b.FillRectS(-2, 1, 9, 3, C);
        c.b.FillRectS(TRect{1, 1, 2, 2}, C);
        c.b.EndMeasuring();
        EXPECT_TRUE(c.set_pixels().empty());
        EXPECT_EQ(measured, (std::vector<report>{{{-2, 1, 9, 3}, AreaInfoRect}, {{1, 1, 2, 2}, AreaInfoRect}}));
        EXPECT_EQ(c.changes, 0);
    }
    {
        canvas c(4, 4);
        c.b.SetClipRect({1, 1, 3, 3});
        c.b.FillRectS(-2, -2, 9, 9, C);
        EXPECT_EQ(c.set_pixels(), (pixels{{1, 1}, {2, 1}, {1, 2}, {2, 2}}));
        EXPECT_EQ(c.reports, (std::vector<report>{{{1, 1, 3, 3}, AreaInfoRect}, {{1, 1, 3, 3}, AreaInfoRect}}));
    }
}

TEST(RasterDrawing, FramesAndBevels) {
    {
        canvas c(4, 4);
        c.b.FrameRectS(0, 0, 1, 1, C);
        EXPECT_EQ(c.set_pixels(), (pixels{{0, 0}}));
    }
    {
        canvas c(4, 4);
        c.b.FrameRectS(0, 0, 3, 3, C);
        EXPECT_EQ(c.set_pixels(), (pixels{{0, 0}, {1, 0}, {2, 0}, {0, 2}, {1, 2}, {2, 2}, {0, 1}, {2, 1}}));
        // Each edge reports its own area.
        EXPECT_EQ(c.reports, (std::vector<report>{{{0, 0, 2, 1}, AreaInfoRect},
                                                  {{0, 2, 2, 3}, AreaInfoRect},
                                                  {{0, 1, 1, 1}, AreaInfoRect},
                                                  {{2, 1, 3, 1}, AreaInfoRect}}));
    }
    {
        canvas c(4, 4);
        c.b.Clear(0xFF808080);
        c.b.RaiseRectTS(0, 0, 4, 4, 50);
        // White at full strength on the top and left, black at alpha 127 on the bottom and right.
        EXPECT_EQ(c.b.GetPixel(1, 0), 0xFFFFFFFFu);
        EXPECT_EQ(c.b.GetPixel(0, 2), 0xFFFFFFFFu);
        TColor32 dark = 0xFF808080;
        BlendPixel(0x7F000000, dark);
        EXPECT_EQ(c.b.GetPixel(1, 3), dark);
        EXPECT_EQ(c.b.GetPixel(3, 2), dark);
        EXPECT_EQ(c.b.GetPixel(1, 1), 0xFF808080u);
    }
}

TEST(RasterDrawing, StippleColoursAndStippledFrames) {
    TCustomBitmap32 b;
    b.SetStipple({clRed32, 0xFF0000FF});
    b.SetStippleStep(0.5f);
    EXPECT_EQ(b.GetStippleColor(), clRed32);
    EXPECT_EQ(b.GetStippleColor(), CombineColors(clRed32, 0xFF0000FF, 127));
    EXPECT_EQ(b.GetStippleColor(), 0xFF0000FFu);
    EXPECT_EQ(b.StippleCounter(), 1.5f);
    b.AdvanceStippleCounter(3); // 1.5 + 1.5, wrapped into the pattern's length
    EXPECT_EQ(b.StippleCounter(), 1.0f);
    TCustomBitmap32 empty;
    EXPECT_EQ(empty.GetStippleColor(), clBlack32);

    // A clipped stippled span keeps the pattern running as if it had been drawn whole.
    canvas whole(6, 1), clipped(6, 1);
    for (canvas* c : {&whole, &clipped})
        c->b.SetStipple({0xFF000001, 0xFF000002, 0xFF000003});
    clipped.b.SetClipRect({2, 0, 4, 1});
    whole.b.HorzLineTSP(0, 0, 5);
    clipped.b.HorzLineTSP(0, 0, 5);
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(clipped.b.GetPixel(x, 0), x >= 2 && x < 4 ? whole.b.GetPixel(x, 0) : bg) << x;
    EXPECT_EQ(std::fmod(clipped.b.StippleCounter(), 3.0f), std::fmod(whole.b.StippleCounter(), 3.0f));

    canvas frame(3, 3);
    frame.b.SetStipple({0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004});
    frame.b.FrameRectTSP(0, 0, 3, 3);
    // Clockwise from the top-left corner.
    EXPECT_EQ(frame.b.GetPixel(0, 0), 0xFF000001u);
    EXPECT_EQ(frame.b.GetPixel(1, 0), 0xFF000002u);
    EXPECT_EQ(frame.b.GetPixel(2, 0), 0xFF000003u);
    EXPECT_EQ(frame.b.GetPixel(2, 1), 0xFF000004u);
    EXPECT_EQ(frame.b.GetPixel(2, 2), 0xFF000001u);
    EXPECT_EQ(frame.b.GetPixel(0, 1), 0xFF000004u);
    EXPECT_EQ(frame.b.GetPixel(1, 1), bg);
}

TEST(RasterDrawing, RollFlipAndRotate) {
    canvas c(3, 2);
    for (int i = 0; i < 6; ++i)
        c.b.SetPixel(i % 3, i / 3, 0xFF000000u + i);
    c.b.Roll(1, 0, true, C);
    // Pixels move in memory order ((2, 0) into the next row) and the uncovered column is filled.
    EXPECT_EQ(std::vector<TColor32>(c.b.Bits(), c.b.Bits() + 6),
              (std::vector<TColor32>{C, 0xFF000000, 0xFF000001, C, 0xFF000003, 0xFF000004}));
    c.b.Roll(5, 0, false, C);
    EXPECT_EQ(c.b.GetPixel(1, 0), 0xFF000000u); // too far without filling: nothing

    TCustomBitmap32 src, dst;
    src.SetSize(3, 2);
    for (int i = 0; i < 6; ++i)
        src.SetPixel(i % 3, i / 3, static_cast<TColor32>(i));
    struct row {
        const char* name;
        std::function<void(TCustomBitmap32*)> op;
        std::int32_t w, h;
        std::vector<TColor32> expected;
    };
    const row rows[] = {
        {"flip horizontally", [&](TCustomBitmap32* d) { src.FlipHorz(d); }, 3, 2, {2, 1, 0, 5, 4, 3}},
        {"flip vertically", [&](TCustomBitmap32* d) { src.FlipVert(d); }, 3, 2, {3, 4, 5, 0, 1, 2}},
        {"rotate 90", [&](TCustomBitmap32* d) { src.Rotate90(d); }, 2, 3, {3, 0, 4, 1, 5, 2}},
        {"rotate 180", [&](TCustomBitmap32* d) { src.Rotate180(d); }, 3, 2, {5, 4, 3, 2, 1, 0}},
        {"rotate 270", [&](TCustomBitmap32* d) { src.Rotate270(d); }, 2, 3, {2, 5, 1, 4, 0, 3}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        r.op(&dst);
        ASSERT_EQ(dst.Width(), r.w);
        ASSERT_EQ(dst.Height(), r.h);
        EXPECT_EQ(std::vector<TColor32>(dst.Bits(), dst.Bits() + 6), r.expected);
    }
    TCustomBitmap32 in_place;
    in_place.Assign(&src);
    in_place.Rotate90();
    EXPECT_EQ(in_place.Width(), 2);
    EXPECT_EQ(std::vector<TColor32>(in_place.Bits(), in_place.Bits() + 6), (std::vector<TColor32>{3, 0, 4, 1, 5, 2}));
}

TEST(RasterDrawing, EveryOperationStaysInsideTheBitmap) {
    // Under the address sanitizer a write outside the pixel block fails the run; the guard colour shows
    // writes outside the clip rectangle for the clipped forms.
    const std::int32_t M = INT_MAX, m = INT_MIN;
    const TRect rects[] = {{m, m, M, M}, {-5, -5, 2, 2}, {3, 3, -3, -3}, {M - 1, M - 1, M, M},
                           {m, 2, m + 1, 3}, {2, m, 3, M}, {0, 0, 0, 0}};
    using op = std::function<void(TCustomBitmap32&, const TRect&)>;
    const std::pair<const char*, op> ops[] = {
        {"FillRect", [](TCustomBitmap32& b, const TRect& r) { b.FillRect(r.Left, r.Top, r.Right, r.Bottom, C); }},
        {"FillRectS", [](TCustomBitmap32& b, const TRect& r) { b.FillRectS(r, C); }},
        {"FillRectT", [](TCustomBitmap32& b, const TRect& r) { b.FillRectT(r.Left, r.Top, r.Right, r.Bottom, 0x80FFFFFF); }},
        {"FillRectTS", [](TCustomBitmap32& b, const TRect& r) { b.FillRectTS(r, 0x80FFFFFF); }},
        {"FrameRectS", [](TCustomBitmap32& b, const TRect& r) { b.FrameRectS(r, C); }},
        {"FrameRectTS", [](TCustomBitmap32& b, const TRect& r) { b.FrameRectTS(r, 0x80FFFFFF); }},
        {"FrameRectTSP", [](TCustomBitmap32& b, const TRect& r) { b.FrameRectTSP(r); }},
        {"RaiseRectTS", [](TCustomBitmap32& b, const TRect& r) { b.RaiseRectTS(r, 50); }},
        {"HorzLine", [](TCustomBitmap32& b, const TRect& r) { b.HorzLine(r.Left, r.Top, r.Right, C); }},
        {"HorzLineT", [](TCustomBitmap32& b, const TRect& r) { b.HorzLineT(r.Left, r.Top, r.Right, C); }},
        {"HorzLineS", [](TCustomBitmap32& b, const TRect& r) { b.HorzLineS(r.Left, r.Top, r.Right, C); }},
        {"HorzLineTSP", [](TCustomBitmap32& b, const TRect& r) { b.HorzLineTSP(r.Left, r.Top, r.Right); }},
        {"VertLine", [](TCustomBitmap32& b, const TRect& r) { b.VertLine(r.Left, r.Top, r.Bottom, C); }},
        {"VertLineTS", [](TCustomBitmap32& b, const TRect& r) { b.VertLineTS(r.Left, r.Top, r.Bottom, C); }},
        {"VertLineTSP", [](TCustomBitmap32& b, const TRect& r) { b.VertLineTSP(r.Left, r.Top, r.Bottom); }},
        {"Line", [](TCustomBitmap32& b, const TRect& r) { b.Line(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"LineT", [](TCustomBitmap32& b, const TRect& r) { b.LineT(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"LineS", [](TCustomBitmap32& b, const TRect& r) { b.LineS(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"LineTS", [](TCustomBitmap32& b, const TRect& r) { b.LineTS(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"Roll", [](TCustomBitmap32& b, const TRect& r) { b.Roll(r.Left, r.Top, true, C); }},
        {"LineA", [](TCustomBitmap32& b, const TRect& r) { b.LineA(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"LineAS", [](TCustomBitmap32& b, const TRect& r) { b.LineAS(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"LineX", [](TCustomBitmap32& b, const TRect& r) { b.LineX(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"LineXS", [](TCustomBitmap32& b, const TRect& r) { b.LineXS(r.Left, r.Top, r.Right, r.Bottom, C, true); }},
        {"LineXSP", [](TCustomBitmap32& b, const TRect& r) { b.LineXSP(r.Left, r.Top, r.Right, r.Bottom, true); }},
        {"HorzLineXS", [](TCustomBitmap32& b, const TRect& r) { b.HorzLineXS(r.Left, r.Top, r.Right, C); }},
        {"VertLineXS", [](TCustomBitmap32& b, const TRect& r) { b.VertLineXS(r.Left, r.Top, r.Bottom, C); }},
    };
    for (const auto& [name, draw] : ops)
        for (const TRect& r : rects) {
            SCOPED_TRACE(testing::Message() << name << " " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom);
            TCustomBitmap32 b;
            b.SetSize(6, 5);
            b.Clear(bg);
            b.SetStipple({C, 0xFF00FF00});
            const bool clipped = std::string(name).find('S') != std::string::npos;
            if (clipped)
                b.SetClipRect({1, 1, 5, 4});
            draw(b, r);
            if (!clipped)
                continue;
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 6; ++x) {
                    if (!PointInRect({1, 1, 5, 4}, {x, y})) {
                        ASSERT_EQ(b.GetPixel(x, y), bg) << x << "," << y;
                    }
                }
        }
}

TEST(RasterDrawing, ClipSegmentKeepsThePartInside) {
    struct row {
        std::int32_t x1, y1, x2, y2;
        bool inside;
        std::int32_t cx1, cy1, cx2, cy2;
    };
    const row rows[] = {
        {-10, 5, 20, 5, true, 0, 5, 10, 5},
        {-10, -5, -1, -1, false, 0, 0, 0, 0},
        {2, 3, 4, 5, true, 2, 3, 4, 5},
        {-10, -10, 20, 20, true, 0, 0, 10, 10},
        {5, -20, 5, 30, true, 5, 0, 5, 10},
        {-5, 8, 8, -5, true, 0, 3, 3, 0},
        {INT_MIN, INT_MIN, INT_MAX, INT_MAX, true, 0, 0, 10, 10},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x1 << "," << r.y1 << " " << r.x2 << "," << r.y2);
        std::int32_t x1 = r.x1, y1 = r.y1, x2 = r.x2, y2 = r.y2;
        ASSERT_EQ(ClipSegment(x1, y1, x2, y2, 0, 0, 10, 10), r.inside);
        if (r.inside) {
            EXPECT_EQ((std::vector<int>{x1, y1, x2, y2}), (std::vector<int>{r.cx1, r.cy1, r.cx2, r.cy2}));
        }
    }
}

TEST(RasterDrawing, SubPixelLinesSplatInsideTheClipAndReportRoundedEnds) {
    canvas c(10, 10);
    c.b.LineXS(IntToFixed(1), IntToFixed(2), IntToFixed(8), IntToFixed(2), 0xFFFFFFFF, true);
    // An integer-aligned line lands on its own row only (the splats' other weights are 0).
    for (const auto& [x, y] : c.set_pixels())
        EXPECT_EQ(y, 2) << x;
    EXPECT_EQ(c.b.GetPixel(4, 2), CombineColors(0xFFFFFFFF, 0, (255 * 255 * 255) >> 16));
    ASSERT_FALSE(c.reports.empty());
    EXPECT_EQ(c.reports.back(), (report{{1, 2, 8, 2}, AreaInfoLine + 2}));

    canvas clipped(10, 10);
    clipped.b.SetClipRect({2, 2, 6, 6});
    clipped.b.LineFS(-50.3f, -40.7f, 60.2f, 70.9f, 0xFFFFFFFF);
    clipped.b.HorzLineXS(IntToFixed(-100), 0x38000, IntToFixed(100), 0xFFFF0000);
    clipped.b.VertLineXS(0x30000 + 0x8000, IntToFixed(-100), IntToFixed(100), 0xFF00FF00);
    EXPECT_FALSE(clipped.set_pixels().empty());
    for (const auto& [x, y] : clipped.set_pixels())
        EXPECT_TRUE(PointInRect({2, 2, 6, 6}, {x, y})) << x << "," << y;

    // Unclipped forms with far-away ends still stay inside the bitmap (the sanitizer watches).
    canvas distant(4, 4);
    distant.b.LineX(INT_MIN, INT_MIN, INT_MAX, INT_MAX, C, true);
    distant.b.HorzLineX(INT_MIN, IntToFixed(1), INT_MAX, C);
    distant.b.VertLineX(IntToFixed(2), INT_MIN, INT_MAX, C);
    distant.b.LineF(-1e30f, 2.0f, 1e30f, 2.0f, C);
    EXPECT_FALSE(distant.set_pixels().empty());
}

TEST(RasterDrawing, SubPixelSpanWeights) {
    canvas c(6, 3);
    // Half a pixel down: the two rows share the colour by the gamma curve's halves.
    c.b.HorzLineX(IntToFixed(1), 0x8000, IntToFixed(4), 0xFFFFFFFF);
    const TColor32 top = c.b.GetPixel(2, 0), bottom = c.b.GetPixel(2, 1);
    EXPECT_EQ(top, CombineColors(0xFFFFFFFF, 0, GammaLookup[0x7FFF >> 8]));
    EXPECT_EQ(bottom, CombineColors(0xFFFFFFFF, 0, GammaLookup[0x8000 >> 8]));
    EXPECT_EQ(c.b.GetPixel(5, 0), bg);
    // Y and Y + 1/65536 round to the rows either side of the half.
    EXPECT_EQ(c.reports.back(), (report{{1, 0, 4, 1}, AreaInfoLine + 2}));
}

TEST(RasterDrawing, AntialiasedLinesShareEachStepBetweenTwoPixels) {
    canvas whole(12, 8);
    whole.b.LineA(0, 1, 10, 5, 0xFFFFFFFF, true);
    // Each column holds the line in one or two pixels.
    for (int x = 0; x <= 10; ++x) {
        int lit = 0;
        for (int y = 0; y < 8; ++y)
            lit += whole.b.GetPixel(x, y) != bg;
        EXPECT_GE(lit, 1) << x;
        EXPECT_LE(lit, 2) << x;
    }
    EXPECT_EQ(whole.b.GetPixel(0, 1), 0xFFFFFFFFu); // the start at full strength
    EXPECT_EQ(whole.reports.back(), (report{{0, 1, 10, 5}, AreaInfoLine + 2}));

    canvas clipped(12, 8);
    clipped.b.SetClipRect({3, 0, 7, 8});
    clipped.b.LineAS(0, 1, 10, 5, 0xFFFFFFFF, true);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 12; ++x)
            EXPECT_EQ(clipped.b.GetPixel(x, y), x >= 3 && x < 7 ? whole.b.GetPixel(x, y) : bg) << x << "," << y;
}

TEST(RasterDrawing, StippledSubPixelLinesRunThePatternOnOutsideTheClip) {
    canvas c(10, 10);
    c.b.SetStipple({0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004});
    c.b.LineXSP(IntToFixed(-30), IntToFixed(2), IntToFixed(-20), IntToFixed(2)); // wholly outside
    EXPECT_FLOAT_EQ(c.b.StippleCounter(), 2.0f);                                   // 10 pixels on a 4-pattern
    EXPECT_TRUE(c.reports.empty());
    c.b.LineXSP(IntToFixed(1), IntToFixed(3), IntToFixed(6), IntToFixed(3), true);
    EXPECT_EQ(c.b.GetPixel(1, 3) & 0x00FFFFFF, 3u); // the pattern went on from where it stood
    EXPECT_EQ(c.reports.back(), (report{{1, 3, 6, 3}, AreaInfoLine + 2}));
    std::vector<report> measured;
    c.b.BeginMeasuring([&](TObject*, const TRect& a, std::uint32_t i) { measured.push_back({a, i}); });
    c.b.LineXSP(0, 0, IntToFixed(4), IntToFixed(4));
    c.b.EndMeasuring();
    EXPECT_EQ(measured, (std::vector<report>{{{0, 0, 4, 4}, AreaInfoLine + 4}}));
}
