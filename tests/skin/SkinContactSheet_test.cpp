// Every image of both stores on one sheet with its name, drawn by the raster library and written as
// skin-contact-sheet.png in the working folder, for a person to look at.
#include "skin/SkinImageStore.h"
#include "tests/skin/SkinTestSupport.h"

#include "framework/Conversions.h"
#include "framework/ImageCodecs.h"
#include "framework/Streams.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kq::test {
namespace {

constexpr std::int32_t sheet_width = 1240, margin = 10, label_height = 16;

// Title-bar pictures carry white glyphs: they are shown on a title colour, the rest on a checkerboard.
bool on_title(const String& name) {
    return name == u"sysclose" || name == u"sysminimize" || name.starts_with(u"SkinBtn_");
}

void backdrop(TBitmap32& sheet, const TRect& r, bool title) {
    for (std::int32_t y = std::max(0, r.Top); y < std::min(sheet.Height(), r.Bottom); ++y)
        for (std::int32_t x = std::max(0, r.Left); x < std::min(sheet.Width(), r.Right); ++x)
            sheet.SetPixel(x, y, title ? 0xFF12A0B4u : (((x - r.Left) / 6 + (y - r.Top) / 6) % 2 ? 0xFFD8D8D8u : 0xFFF4F4F4u));
}

TEST(SkinContactSheet, ShowsEveryImageWithItsName) {
    struct placed {
        TSkinBitmapItem* item;
        std::int32_t scale;
        TRect cell;
    };
    TSkinImageList kq(nullptr), setup(nullptr);
    read_skin_store(kq_store_bytes(), kq);
    read_skin_store(setup_store_bytes(), setup);
    std::vector<placed> cells;
    std::vector<std::int32_t> group_tops;
    std::int32_t x = margin, y = margin + 2 * label_height, row_height = 0;
    for (TSkinImageList* list : {&kq, &setup}) {
        group_tops.push_back(y - label_height - 2);
        for (int i = 0; i < list->Bitmaps()->Count(); ++i) {
            TSkinBitmapItem* item = list->Bitmaps()->Items(i);
            const TSkinImage* b = item->Bitmap();
            // Small pictures twice their size, so their detail shows.
            const std::int32_t scale = b->Width() <= 200 && b->Height() <= 140 ? 2 : 1;
            const String label = item->ResID() + u"  " + IntToStr(b->Width()) + u"x" + IntToStr(b->Height());
            const std::int32_t w = std::max<std::int32_t>(b->Width() * scale, 6 * static_cast<std::int32_t>(label.size())),
                               h = b->Height() * scale + label_height;
            if (x + w > sheet_width - margin) {
                x = margin;
                y += row_height + margin;
                row_height = 0;
            }
            cells.push_back({item, scale, {x, y, x + b->Width() * scale, y + b->Height() * scale}});
            x += w + margin;
            row_height = std::max(row_height, h);
        }
        // KQ's images, then the installer's from a new row.
        x = margin;
        y += row_height + margin + 2 * label_height;
        row_height = 0;
    }
    TBitmap32 sheet;
    sheet.SetSize(sheet_width, y + margin);
    sheet.Clear(0xFFFFFFFFu);
    sheet.Font()->SetName(u"Tahoma");
    sheet.Font()->SetHeight(-11);
    sheet.Font()->SetStyle(TFontStyles{TFontStyle::fsBold});
    sheet.RenderText(margin, group_tops[0] - 12, u"KQ", 0, 0xFF000000u);
    sheet.RenderText(margin, group_tops[1] - 12, u"TessaroSetup", 0, 0xFF000000u);
    sheet.Font()->SetStyle(TFontStyles{});
    for (const placed& c : cells) {
        TSkinImage* b = c.item->Bitmap();
        SCOPED_TRACE(string_to_utf8(c.item->ResID()));
        // A picture with nothing visible would draw nothing in its control.
        const std::size_t n = std::size_t(b->Width()) * std::size_t(b->Height());
        EXPECT_TRUE(std::any_of(b->Bits(), b->Bits() + n, [](TColor32 p) { return (p >> 24) != 0; }));
        backdrop(sheet, c.cell, on_title(c.item->ResID()));
        b->DrawTo(&sheet, c.cell);
        sheet.RenderText(c.cell.Left, c.cell.Top - label_height + 2,
                         c.item->ResID() + u"  " + IntToStr(b->Width()) + u"x" + IntToStr(b->Height()), 0,
                         0xFF000000u);
    }
    raster_image image{sheet.Width(), sheet.Height(), {}};
    image.pixels.assign(sheet.Bits(), sheet.Bits() + std::size_t(sheet.Width()) * std::size_t(sheet.Height()));
    for (std::uint32_t& p : image.pixels) p |= 0xFF000000u;
    const std::vector<std::uint8_t> png = encode_png(image, {png_color_type::rgb, false, 6});
    TFileStream out(u"skin-contact-sheet.png", fmCreate);
    out.WriteBuffer(png.data(), static_cast<std::int64_t>(png.size()));
    EXPECT_EQ(cells.size(), 95u);
}

} // namespace
} // namespace kq::test
