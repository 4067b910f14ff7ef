#include "graphics/Raster.h"

#include "graphics/Raster_Platform.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kq;

namespace {

struct graphics_environment : ::testing::Environment {
    void SetUp() override { graphics_startup(); }
    void TearDown() override { graphics_shutdown(); }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new graphics_environment);

} // namespace

TEST(RasterConversions, FloatToFixedRoundsHalfToEven) {
    struct row { float value; TFixed fixed; };
    const row rows[] = {{1.5f, 0x18000},       {-1.0f, -65536},          {0.5f / 65536, 0},
                        {1.5f / 65536, 2},     {2.5f / 65536, 2},        {-2.5f / 65536, -2},
                        {32767.0f, 0x7FFF0000}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(FloatToFixed(r.value), r.fixed);
    }
    EXPECT_EQ(IntToFixed(-3), -3 * 65536);
}

TEST(RasterConversions, FixedRectToRectByMode) {
    // (1.5, 1.25, 3.5, 3.75) and a sliver narrower than a pixel.
    const TFixedRect r{0x18000, 0x14000, 0x38000, 0x3C000};
    EXPECT_EQ(FixedRectToRect(r, rect_rounding::nearest), (TRect{1, 1, 3, 4}));
    EXPECT_EQ(FixedRectToRect(r, rect_rounding::outward), (TRect{1, 1, 4, 4}));
    EXPECT_EQ(FixedRectToRect(r, rect_rounding::inward), (TRect{2, 2, 3, 3}));
    const TFixedRect sliver{0x18000, 0x18000, 0x1C000, 0x1C000};
    EXPECT_EQ(FixedRectToRect(sliver, rect_rounding::inward), (TRect{2, 2, 2, 2}));
    EXPECT_EQ(RectToFixedRect({1, -2, 3, 4}), (TFixedRect{0x10000, -0x20000, 0x30000, 0x40000}));
}

TEST(RasterConversions, FloatRectToRectByMode) {
    const TFloatRect r{1.5f, 2.5f, 3.5f, 4.2f};
    EXPECT_EQ(FloatRectToRect(r, rect_rounding::nearest), (TRect{2, 2, 4, 4}));
    EXPECT_EQ(FloatRectToRect(r, rect_rounding::outward), (TRect{1, 2, 4, 5}));
    EXPECT_EQ(FloatRectToRect(r, rect_rounding::inward), (TRect{2, 3, 3, 4}));
    EXPECT_EQ(FloatRectToRect({1.2f, 1.2f, 1.8f, 1.8f}, rect_rounding::inward), (TRect{2, 2, 2, 2}));
    EXPECT_EQ(RectToFloatRect({1, 2, 3, 4}), (TFloatRect{1, 2, 3, 4}));
}

TEST(RasterRects, IntersectionCountsTouchingRectangles) {
    struct row { TRect a, b; bool intersect; TRect dst; };
    const row rows[] = {
        {{0, 0, 10, 10}, {10, 0, 20, 10}, true, {10, 0, 10, 10}},
        {{0, 0, 10, 10}, {11, 0, 20, 10}, false, {0, 0, 0, 0}},
        {{0, 0, 10, 10}, {5, -5, 15, 5}, true, {5, 0, 10, 5}},
        {{0, 0, 10, 10}, {0, 20, 10, 30}, false, {0, 0, 0, 0}},
    };
    for (const row& r : rows) {
        TRect dst{7, 7, 7, 7};
        EXPECT_EQ(IntersectRects(dst, r.a, r.b), r.intersect);
        EXPECT_EQ(dst, r.dst);
    }
    TFloatRect fdst;
    EXPECT_FALSE(IntersectFloatRects(fdst, {0, 0, 1, 1}, {2, 2, 3, 3}));
    EXPECT_EQ(fdst, (TFloatRect{}));
    EXPECT_TRUE(IntersectFloatRects(fdst, {0, 0, 1, 1}, {0.5f, 0.5f, 3, 3}));
    EXPECT_EQ(fdst, (TFloatRect{0.5f, 0.5f, 1, 1}));
}

TEST(RasterRects, ArithmeticAndTests) {
    TRect r{1, 2, 3, 4};
    InflateRectBy(r, 1, 2);
    EXPECT_EQ(r, (TRect{0, 0, 4, 6}));
    OffsetRectBy(r, -1, 3);
    EXPECT_EQ(r, (TRect{-1, 3, 3, 9}));
    TFloatRect f{1, 1, 2, 2};
    InflateFloatRect(f, 0.5f, -0.25f);
    EXPECT_EQ(f, (TFloatRect{0.5f, 1.25f, 2.5f, 1.75f}));
    EXPECT_TRUE(EqualRects({1, 2, 3, 4}, {1, 2, 3, 4}));
    EXPECT_FALSE(EqualRects({1, 2, 3, 4}, {1, 2, 3, 5}));

    EXPECT_TRUE(RectIsEmpty({0, 0, 0, 5}));
    EXPECT_TRUE(RectIsEmpty({0, 0, 5, -1}));
    EXPECT_FALSE(RectIsEmpty({0, 0, 1, 1}));
    const TRect box{0, 0, 10, 5};
    EXPECT_TRUE(PointInRect(box, {0, 0}));
    EXPECT_TRUE(PointInRect(box, {9, 4}));
    EXPECT_FALSE(PointInRect(box, {10, 4}));
    EXPECT_FALSE(PointInRect(box, {9, 5}));
    EXPECT_FALSE(PointInRect(box, {-1, 0}));
}

TEST(RasterColour, FrameworkColoursBecomeOpaqueWithChannelsSwapped) {
    EXPECT_EQ(WinColorToColor32(0x000000FF), 0xFFFF0000u);
    EXPECT_EQ(WinColorToColor32(0x00123456), 0xFF563412u);
    // A system colour: the index is the low byte.
    const std::uint32_t bgr = raster_platform::sys_color(5);
    const TColor32 expected = 0xFF000000u | (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
    EXPECT_EQ(WinColorToColor32(static_cast<std::int32_t>(0x80000005u)), expected);
}

TEST(RasterColour, ChannelsPackAndAlphaIsClamped) {
    EXPECT_EQ(MakeColor32(0x12, 0x34, 0x56, 0x78), 0x78123456u);
    EXPECT_EQ(Color32Alpha(0x78123456u), 0x78);
    struct row { std::int32_t alpha; TColor32 result; };
    const row rows[] = {{300, 0xFF345678}, {-5, 0x00345678}, {0x80, 0x80345678}, {255, 0xFF345678}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.alpha);
        EXPECT_EQ(SetColor32Alpha(0x12345678, r.alpha), r.result);
    }
}

TEST(RasterColour, HslToColor32) {
    struct row { std::int32_t h, s, l, a; TColor32 result; };
    const row rows[] = {
        {0, 0, 0, 128, 0xFF000000},     // V = 0: opaque black whatever the alpha
        {0, 255, 128, 255, 0xFFFF0101}, // V = 255, M = 1
        {0, 0, 100, 50, 0x32646464},    // grey keeps its alpha
        {85, 255, 127, 255, 0xFF03FD01},  // sextant 1: (Mid2, V, M)
        {170, 255, 127, 255, 0xFF0105FD}, // sextant 3: (M, Mid2, V)
        {200, 100, 200, 255, 0xFFD0B2DE}, // L above 127: the fast division by 255
        {255, 255, 127, 255, 0xFFFD0107}, // sextant 5: (V, M, Mid2)
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.h << "," << r.s << "," << r.l);
        EXPECT_EQ(HslToColor32(r.h, r.s, r.l, r.a), r.result);
    }
}

TEST(RasterColour, HslToColor32OutsideTheByteRange) {
    constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t hi = std::numeric_limits<std::int32_t>::max();
    struct row { std::int32_t h, s, l, a; TColor32 result; };
    const row rows[] = {
        {256, 255, 127, 255, 0xFF000000}, // sextant 6: no channel set
        {300, 255, 127, 128, 0x80000000}, // sextant 7 keeps the alpha, unlike V <= 0
        {-1, 255, 127, 255, 0xFF000000},  // a negative hue leaves the table too
        {0, 300, 100, 255, 0xFFD9EFEF},   // V = 217, M = -17: each channel its low byte
        {0, 0, 300, 255, 0xFF2C2C2C},     // L above 127 with S = 0: V = M = 300
        {0, 0, 100, 300, 0x2C646464},     // alpha its low byte
        {0, 0, -10, 7, 0xFF000000},       // V = -10
        {hi, hi, hi, hi, 0xFF000000},     // the sums wrap to V = -2
        {lo, lo, lo, lo, 0xFF000000},     // the product wraps to V = 0
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.h << "," << r.s << "," << r.l << "," << r.a);
        EXPECT_EQ(HslToColor32(r.h, r.s, r.l, r.a), r.result);
    }
}

TEST(RasterColour, Color32ToHsl) {
    struct row { TColor32 color; std::uint8_t h, s, l; };
    const row rows[] = {
        {0xFFFF0000, 0, 255, 127},
        {0x00808080, 0, 0, 128},  // grey, alpha ignored
        {0xFFFFFFFF, 0, 0, 255},
        {0xFF00FF00, 85, 255, 127},
        {0xFF0000FF, 170, 255, 127},
        {0xFFFF0006, 253, 255, 127}, // a hue of -1: 510 added, low byte kept
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << r.color);
        std::uint8_t h = 1, s = 1, l = 1;
        Color32ToHsl(r.color, h, s, l);
        EXPECT_EQ(h, r.h);
        EXPECT_EQ(s, r.s);
        EXPECT_EQ(l, r.l);
    }
}

TEST(RasterColour, GammaTableAfterStartUp) {
    EXPECT_EQ(GammaLookup[0], 0);
    EXPECT_EQ(GammaLookup[128], 85);
    EXPECT_EQ(GammaLookup[255], 255);
    for (int i = 1; i < 256; ++i)
        EXPECT_LE(GammaLookup[i - 1], GammaLookup[i]) << i;
    SetGammaTable(1.0f);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(GammaLookup[i], i);
    SetGammaTable(1.6f);
    EXPECT_EQ(GammaLookup[128], 85);
}
