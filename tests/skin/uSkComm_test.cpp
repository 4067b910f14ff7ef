// Colour shifts, gradients and the small GDI helpers.
#include "skin/uSkComm.h"
#include "skin/uBitmapHelper.h"

#include "graphics/Raster_Bitmap.h"

#include "tests/framework/visual/VisualFixture.h"

namespace kq::test {
namespace {

TEST(ShiftColorHSB, ShiftsHueSaturationAndBrightness) {
    struct row {
        TColor colour;
        std::int32_t h, s, b;
        TColor expected;
    };
    const row rows[] = {
        {0x3366CC, 0, 0, 0, 0x3366CC},   // nothing to do
        {0x0000FF, 120, 0, 0, 0x00FF00}, // red turned a third: green
        {0x0000FF, 240, 0, 0, 0xFF0000}, // two thirds: blue
        {0x808080, 120, 50, 0, 0x808080}, // grey has no hue or saturation to shift
        {0x808080, 120, 50, 50, 0xBFBFBF}, // only brightness acts on it: 128 + 127 x 127 / 255
        {0x808080, 0, 0, -50, 0x414141},  // darker: 128 - 127 x 128 / 255
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.colour);
        TColor result = -1;
        ShiftColorHSB(r.colour, r.h, r.s, r.b, result);
        EXPECT_EQ(result, r.expected);
    }
}

TEST(SkinRects, PartsAndSizes) {
    std::uint8_t r, g, b;
    ColorToRGBParts(0x80112233, r, g, b);
    EXPECT_EQ(r, 0x33);
    EXPECT_EQ(g, 0x22);
    EXPECT_EQ(b, 0x11);
    EXPECT_EQ(RectWidth({3, 4, 10, 20}), 7);
    EXPECT_EQ(RectHeight({3, 4, 10, 20}), 16);
}

using SkinGdiHelpers = visual_test;

TEST_F(SkinGdiHelpers, GradientSteps) {
    TBitmap target;
    target.SetPixelFormat(TPixelFormat::pf32bit);
    target.SetSize(256, 4);
    GradientFillRect(target.Canvas(), 0x000000, 0xFFFFFF, true, {0, 0, 256, 4});
    auto red_at = [&](int x, int y) { return static_cast<const std::uint8_t*>(target.ScanLine(y))[4 * x + 2]; };
    struct row {
        int x;
        std::uint8_t value;
    };
    for (const row r : {row{0, 0}, {1, 0}, {2, 1}, {128, 127}, {255, 254}}) EXPECT_EQ(red_at(r.x, 3), r.value) << r.x;
    // Downward, white to black, over 4 rows: the negative products round down, and the last one wraps in
    // 32 bits (-255 x 2^22 x 3), as the step's arithmetic does.
    GradientFillRect(target.Canvas(), 0xFFFFFF, 0x000000, false, {0, 0, 256, 4});
    const std::uint8_t rows[] = {255, 191, 127, 63};
    for (int y = 0; y < 4; ++y) EXPECT_EQ(red_at(10, y), rows[y]) << y;
}

TEST_F(SkinGdiHelpers, BlurAveragesIntoGreyAndRadiusZeroChangesNothing) {
    TBitmap b;
    b.SetPixelFormat(TPixelFormat::pf24bit);
    b.SetSize(5, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
            auto* p = static_cast<std::uint8_t*>(b.ScanLine(y)) + 3 * x;
            p[0] = 90, p[1] = 60, p[2] = 30;
        }
    BlurBitmap(b, 0, 2);
    EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(2))[6], 90);
    BlurBitmap(b, 1, 2);
    const auto* p = static_cast<std::uint8_t*>(b.ScanLine(2)) + 6;
    EXPECT_EQ(p[0], 60);
    EXPECT_EQ(p[1], 60);
    EXPECT_EQ(p[2], 60);
}

// The glow tints the text's surroundings towards its colour and leaves the far background nearly as it was.
TEST_F(SkinGdiHelpers, GlowSurroundsTheText) {
    TBitmap canvas;
    canvas.SetPixelFormat(TPixelFormat::pf24bit);
    canvas.SetSize(80, 30);
    canvas.Canvas().Brush().SetColor(clWhite);
    canvas.Canvas().FillRect(RECT{0, 0, 80, 30});
    canvas.Canvas().Font().SetHeight(-20);
    DrawGlowText(canvas.Canvas(), {0, 0, 80, 30}, u"WW", 2, 0x00C000, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    int tinted = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const auto* p = static_cast<std::uint8_t*>(canvas.ScanLine(y)) + 3 * x;
            if (p[2] < 160 && p[1] > p[2] + 40) ++tinted;
        }
    EXPECT_GT(tinted, 30);
    const auto* corner = static_cast<std::uint8_t*>(canvas.ScanLine(0));
    EXPECT_GE(corner[2], 250);
    // Blank text draws no glow.
    TBitmap blank;
    blank.SetSize(10, 10);
    blank.Canvas().Brush().SetColor(clWhite);
    blank.Canvas().FillRect(RECT{0, 0, 10, 10});
    DrawGlowText(blank.Canvas(), {0, 0, 10, 10}, u"  ", 2, 0x00C000, 0);
    EXPECT_EQ(static_cast<std::uint8_t*>(blank.ScanLine(5))[15], 255);
}

// The kept glow of a title-bar caption gives exactly the pixels the glow drawn through GDI gives, alpha
// included, also after the text, font, format or rectangle changed and where the rectangle leaves the bitmap.
TEST_F(SkinGdiHelpers, KeptGlowDrawsWhatTheGlowDraws) {
    struct row {
        TRect rect;
        const char16_t* text;
        int font_height;
        std::int32_t radius;
        UINT format;
    };
    const row rows[] = {
        {{5, 5, 90, 22}, u"Tessaro  --  test", -12, 1, DT_VCENTER},
        {{5, 5, 90, 22}, u"Tessaro  --  test", -12, 1, DT_VCENTER}, // the kept mask
        {{5, 5, 90, 22}, u"Tessaro  --  tost", -12, 1, DT_VCENTER},
        {{5, 5, 90, 22}, u"Tessaro  --  tost", -14, 1, DT_VCENTER},
        {{5, 5, 60, 22}, u"Tessaro  --  tost", -14, 2, DT_END_ELLIPSIS},
        {{5, 3, 60, 22}, u"Tessaro  --  tost", -14, 2, DT_END_ELLIPSIS},
        {{-8, -4, 60, 18}, u"投标 WW", -14, 0, 0},
        {{70, 10, 130, 40}, u"投标 WW", -14, 3, DT_VCENTER},
    };
    glow_text kept;
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.rect.Left << "," << r.rect.Top << " " << r.font_height << " " << r.radius);
        TBitmap32 drawn, fast;
        for (TBitmap32* b : {&drawn, &fast}) {
            b->SetSize(100, 28);
            for (int y = 0; y < 28; ++y)
                for (int x = 0; x < 100; ++x)
                    b->SetPixel(x, y, 0xFF000000u | std::uint32_t(x * 2) << 16 | std::uint32_t(y * 9) << 8 | 0x60u);
            b->Canvas()->Font().SetHeight(r.font_height);
        }
        DrawGlowText(*drawn.Canvas(), r.rect, r.text, r.radius, 0xF0E0D0, r.format);
        kept.Draw(fast, r.rect, r.text, r.radius, 0xF0E0D0, r.format);
        ::GdiFlush();
        int differ = 0;
        for (int y = 0; y < 28; ++y)
            for (int x = 0; x < 100; ++x) differ += drawn.GetPixel(x, y) != fast.GetPixel(x, y);
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(SkinGdiHelpers, SolidAndAlphaFills) {
    TBitmap b;
    b.SetPixelFormat(TPixelFormat::pf24bit);
    b.SetSize(4, 4);
    FillSolidRect(b.Canvas().Handle(), 0, 0, 4, 4, 0xFFFFFF);
    AlphaFillRect(b.Canvas().Handle(), {0, 0, 2, 4}, 0x000000, 128);
    EXPECT_NEAR(static_cast<std::uint8_t*>(b.ScanLine(1))[0], 127, 1);
    EXPECT_EQ(static_cast<std::uint8_t*>(b.ScanLine(1))[9], 255);
    AlphaFillBitmap(b, 77);
    EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(static_cast<std::uint32_t*>(b.ScanLine(3))[3], 77u << 24);
}

} // namespace
} // namespace kq::test
