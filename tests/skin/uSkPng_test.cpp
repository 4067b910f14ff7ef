// Bitmaps into PNG pictures: a paletted picture of a bitmap with more colours than a palette holds.
#include "skin/uSkPng.h"
#include "tests/skin/SkinTestSupport.h"

#include "framework/Streams.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

namespace kq::test {
namespace {

// What a reader of the saved file finds.
png_picture saved(TPngImage& png) {
    TMemoryStream stream;
    png.SaveToStream(stream);
    const auto* bytes = static_cast<const std::uint8_t*>(stream.Memory());
    return decode_png({bytes, static_cast<std::size_t>(stream.Size())});
}

TEST(Bitmap32ToPng, PalettedPicturesKeepFewColoursAndReduceMany) {
    constexpr TColor32 hole = 0xFF00FF00u; // the transparent colour, where a row asks for one
    struct row {
        const char* what;
        std::function<TColor32(int, int)> pixel;
        bool transparent;
        bool exact; // every colour kept; otherwise each channel to its nearest of six levels
    };
    const row rows[] = {
        {"256 colours", [](int x, int y) { return 0xFF000000u | TColor32(y * 16 + x) << 8 | 7u; }, false, true},
        {"1024 colours", [](int x, int y) { return 0xFF000000u | TColor32(x * 8) << 16 | TColor32(y * 8) << 8 | 100u; },
         false, false},
        {"1024 colours and a hole",
         [](int x, int y) {
             return x < 2 && y < 2 ? hole : 0xFF000000u | TColor32(x * 8 + 3) << 16 | TColor32(y * 8) | 0x4000u;
         },
         true, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        const int side = r.exact ? 16 : 32;
        TBitmap32 bitmap;
        bitmap.SetSize(side, side);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) bitmap.SetPixel(x, y, r.pixel(x, y));
        auto png = Bitmap32ToPng(bitmap, true, r.transparent, 0, 9, hole);
        ASSERT_NE(png, nullptr);
        const png_picture file = saved(*png);
        EXPECT_EQ(file.color_type, png_color_type::palette);
        EXPECT_EQ(file.bit_depth, 8);
        EXPECT_LE(file.palette.size(), r.exact ? 256u : 217u);
        std::set<std::uint32_t> colours;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const TColor32 in = r.pixel(x, y);
                const std::uint32_t out = file.image.at(x, y);
                colours.insert(out);
                if (r.transparent && in == hole) {
                    ASSERT_EQ(out, hole & 0x00FFFFFFu) << x << "," << y;
                    continue;
                }
                if (r.exact) {
                    ASSERT_EQ(out, in) << x << "," << y;
                    continue;
                }
                ASSERT_EQ(out >> 24, 0xFFu);
                for (const int shift : {16, 8, 0}) {
                    const int a = int(in >> shift & 0xFF), b = int(out >> shift & 0xFF);
                    ASSERT_EQ(b % 51, 0) << x << "," << y;
                    ASSERT_LE(std::abs(a - b), 25) << x << "," << y;
                }
            }
        if (!r.exact) {
            EXPECT_GT(colours.size(), 20u); // reduced, not flattened
        }
    }
}

// A picture that is not paletted keeps every colour and, when transparent, every alpha.
TEST(Bitmap32ToPng, TruePicturesKeepTheirPixels) {
    TBitmap32 bitmap;
    bitmap.SetSize(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) bitmap.SetPixel(x, y, TColor32(x * 8) << 24 | TColor32(y * 8) << 16 | 0x1234u);
    std::unique_ptr<TPngImage> png;
    Bitmap32ToPngDefault(bitmap, png);
    ASSERT_NE(png, nullptr);
    const png_picture file = saved(*png);
    EXPECT_EQ(file.color_type, png_color_type::rgba);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(file.image.at(x, y), bitmap.GetPixel(x, y)) << x << "," << y;
}

} // namespace
} // namespace kq::test
