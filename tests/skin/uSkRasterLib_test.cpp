// Fills, slices, crops, strips and colour shifts of skin images.
#include "skin/uSkRasterLib.h"

#include <gtest/gtest.h>

namespace kq::test {
namespace {

// An opaque image whose pixels are colour(x, y).
template <class F>
std::unique_ptr<TSkinImage> image_of(std::int32_t w, std::int32_t h, F colour) {
    auto image = std::make_unique<TSkinImage>();
    image->SetSize(w, h);
    image->SetResamplerClassName(u"TNearestResampler");
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) image->SetPixel(x, y, colour(x, y));
    return image;
}

constexpr TColor32 red = 0xFFFF0000u, green = 0xFF00FF00u, blue = 0xFF0000FFu;

TEST(SkinFills, CentreDrawsLargerImagesWithNegativeOffsets) {
    auto image = image_of(4, 4, [](std::int32_t x, std::int32_t y) { return 0xFF000000u | TColor32(y * 4 + x); });
    TBitmap32 dst;
    dst.SetSize(2, 2);
    DrawSkinImage(image.get(), &dst, ftCenter);
    EXPECT_EQ(dst.GetPixel(0, 0), image->GetPixel(1, 1));
    EXPECT_EQ(dst.GetPixel(1, 1), image->GetPixel(2, 2));
}

TEST(SkinFills, TileRepeatsFromTheOrigin) {
    auto image = image_of(2, 2, [](std::int32_t x, std::int32_t y) { return x == y ? red : blue; });
    TBitmap32 dst;
    dst.SetSize(5, 3);
    DrawSkinImage(image.get(), &dst, ftTile);
    for (std::int32_t y = 0; y < 3; ++y)
        for (std::int32_t x = 0; x < 5; ++x) EXPECT_EQ(dst.GetPixel(x, y), (x % 2 == y % 2) ? red : blue) << x << y;
}

TEST(SkinFills, ZoomCoversTheTarget) {
    auto image = image_of(10, 10, [](std::int32_t, std::int32_t) { return green; });
    TBitmap32 dst;
    dst.SetSize(20, 30);
    dst.Clear(red);
    ZoomDrawBitmap(image.get(), &dst, 0);
    // Every pixel takes the picture's colour; only the outermost rows fade, as the edge samples blend with
    // the transparent outside.
    for (std::int32_t y = 0; y < 30; ++y)
        for (std::int32_t x = 0; x < 20; ++x) ASSERT_EQ(dst.GetPixel(x, y) & 0xFFFFFFu, 0x00FF00u) << x << "," << y;
    EXPECT_EQ(dst.GetPixel(10, 15), green);
}

// A 60 x 30 image stretched to 200 x 30: margins (20, 0, 40, 0), only the middle third widens.
TEST(SkinFills, NineSliceThirdsStretchesTheMiddle) {
    auto image = image_of(60, 30, [](std::int32_t x, std::int32_t) { return x < 20 ? red : x < 40 ? green : blue; });
    for (const bool via_gdi : {false, true}) {
        SCOPED_TRACE(via_gdi);
        TBitmap32 dst;
        dst.SetSize(200, 30);
        DrawNineSliceThirds(image.get(), &dst, via_gdi);
        for (std::int32_t x = 0; x < 200; ++x) {
            const TColor32 expected = x < 20 ? red : x < 180 ? green : blue;
            ASSERT_EQ(dst.GetPixel(x, 0) | 0xFF000000u, expected) << x;
            ASSERT_EQ(dst.GetPixel(x, 29) | 0xFF000000u, expected) << x;
        }
    }
}

TEST(SkinFills, ResizeKeepsTheCorners) {
    // Nine 3 x 3 blocks of distinct colours.
    auto image = image_of(9, 9, [](std::int32_t x, std::int32_t y) { return 0xFF000000u | TColor32(1 + y / 3 * 3 + x / 3) * 20; });
    auto resized = ResizeSkinImage(image.get(), 30, 20);
    ASSERT_NE(resized, nullptr);
    EXPECT_EQ(resized->Width(), 30);
    EXPECT_EQ(resized->Height(), 20);
    struct row {
        std::int32_t x, y, sx, sy;
    };
    for (const row r : {row{0, 0, 0, 0}, {29, 0, 8, 0}, {0, 19, 0, 8}, {29, 19, 8, 8}, {2, 2, 2, 2}, {27, 17, 6, 6},
                        {15, 10, 4, 4}, {15, 0, 4, 0}, {0, 10, 0, 4}})
        EXPECT_EQ(resized->GetPixel(r.x, r.y) & 0xFFFFFFu, image->GetPixel(r.sx, r.sy) & 0xFFFFFFu) << r.x << "," << r.y;
    EXPECT_EQ(ResizeSkinImage(nullptr, 5, 5), nullptr);
}

TEST(SkinFills, CropTakesTheMiddleRows) {
    auto frame = image_of(15, 32, [](std::int32_t, std::int32_t y) { return 0xFF000000u | TColor32(y); });
    auto cropped = CropSkinImageMiddle(frame.get(), 21, 15);
    ASSERT_EQ(cropped->Height(), 21);
    EXPECT_EQ(cropped->GetPixel(0, 0), 0xFF000005u);
    EXPECT_EQ(cropped->GetPixel(14, 20), 0xFF000019u);
    struct row {
        std::int32_t height, width;
    };
    for (const row r : {row{0, 15}, {21, 0}, {40, 15}, {21, 16}}) {
        auto whole = CropSkinImageMiddle(frame.get(), r.height, r.width);
        EXPECT_EQ(whole->Width(), 15);
        EXPECT_EQ(whole->Height(), 32);
    }
}

TEST(SkinFills, SplitCutsEqualFrames) {
    auto strip = image_of(117, 19, [](std::int32_t x, std::int32_t) { return x < 39 ? red : x < 78 ? green : blue; });
    strip->SetDrawMode(dmBlend);
    TDynSkinImage frames;
    SplitImageStrip(strip.get(), 3, frames);
    ASSERT_EQ(frames.size(), 3u);
    const TColor32 colours[] = {red, green, blue};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(frames[i]->Width(), 39);
        EXPECT_EQ(frames[i]->Height(), 19);
        EXPECT_EQ(frames[i]->GetPixel(0, 0), colours[i]);
        EXPECT_EQ(frames[i]->GetPixel(38, 18), colours[i]);
    }
    SplitImageStrip(nullptr, 3, frames);
    EXPECT_TRUE(frames.empty());
}

TEST(SkinColours, HslShiftMakesOpaqueAndMovesLightness) {
    auto image = image_of(2, 1, [](std::int32_t x, std::int32_t) { return x == 0 ? 0x40808080u : 0x80FF0000u; });
    ShiftBitmapHSL(image.get(), 0, 0, 0);
    EXPECT_EQ(image->GetPixel(0, 0) >> 24, 0xFFu);
    const TColor32 shifted_red = image->GetPixel(1, 0); // the byte-sized HSL round trip moves it slightly
    EXPECT_EQ(shifted_red >> 24, 0xFFu);
    EXPECT_GE((shifted_red >> 16) & 0xFF, 0xFCu);
    EXPECT_LE(shifted_red & 0xFFFF, 0x0303u);
    ShiftBitmapHSL(image.get(), 0, 0, 40);
    const TColor32 grey = image->GetPixel(0, 0);
    EXPECT_GT(grey & 0xFF, 0x80u);
    EXPECT_EQ(grey & 0xFF, (grey >> 8) & 0xFF); // stays grey
}

} // namespace
} // namespace kq::test
