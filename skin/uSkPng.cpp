#include "skin/uSkPng.h"

#include "framework/Streams.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace kq {
namespace {

// An image of more colours than a palette holds is reduced to the halftone cube of six levels a
// channel (216 colours), each channel to its nearest level; the fully transparent pixels keep their
// colour, which is one more entry at most. Fewer colours are kept exactly.
void reduce_to_palette(std::vector<std::uint32_t>& pixels) {
    std::set<std::uint32_t> colours;
    for (const std::uint32_t p : pixels)
        if (colours.insert(p).second && colours.size() > 256) break;
    if (colours.size() <= 256) return;
    const auto level = [](std::uint32_t channel) { return (channel + 25) / 51 * 51; };
    for (std::uint32_t& p : pixels) {
        if ((p >> 24) == 0) continue;
        p = 0xFF000000u | level((p >> 16) & 0xFFu) << 16 | level((p >> 8) & 0xFFu) << 8 | level(p & 0xFFu);
    }
}

} // namespace

void LoadPngIntoBitmap32(TCustomBitmap32& Bitmap, TStream& Stream, bool& AlphaUsed) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::max<std::int64_t>(0, Stream.Size() - Stream.Position())));
    Stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    const png_picture png = decode_png(bytes);
    const raster_image& image = png.image;
    const bool alpha_channel = png.color_type == png_color_type::grey_alpha || png.color_type == png_color_type::rgba;
    AlphaUsed = png.transparency == TPngTransparencyMode::ptmBit ||
                (png.transparency == TPngTransparencyMode::ptmPartial && alpha_channel);
    Bitmap.SetSize(image.width, image.height);
    TColor32* out = Bitmap.Bits();
    const std::size_t n = image.pixels.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t p = image.pixels[i];
        if (!AlphaUsed)
            out[i] = p | 0xFF000000u;
        else if (png.transparency == TPngTransparencyMode::ptmBit)
            out[i] = (p >> 24) == 0 ? p & 0x00FFFFFFu : p | 0xFF000000u;
        else
            out[i] = p;
    }
    Bitmap.Changed();
}

void LoadPngFileIntoBitmap32(TCustomBitmap32& Bitmap, const String& FileName, bool& AlphaUsed) {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    LoadPngIntoBitmap32(Bitmap, file, AlphaUsed);
}

std::unique_ptr<TPngImage> Bitmap32ToPng(const TCustomBitmap32& Bitmap, bool Paletted, bool Transparent,
                                         std::uint8_t Interlace, std::uint8_t CompressionLevel,
                                         TColor32 TransparentColor) {
    raster_image image;
    image.width = Bitmap.Width();
    image.height = Bitmap.Height();
    image.pixels.assign(Bitmap.Bits(), Bitmap.Bits() + std::size_t(image.width) * std::size_t(image.height));
    for (std::uint32_t& p : image.pixels) {
        if (!Transparent)
            p |= 0xFF000000u;
        else if (Paletted)
            p = (p & 0x00FFFFFFu) == (TransparentColor & 0x00FFFFFFu) ? p & 0x00FFFFFFu : p | 0xFF000000u;
    }
    if (Paletted) reduce_to_palette(image.pixels);
    png_encode_options options;
    options.color_type = Paletted ? png_color_type::palette : Transparent ? png_color_type::rgba : png_color_type::rgb;
    options.interlaced = Interlace != 0;
    options.compression_level = std::min<int>(CompressionLevel, 9);
    auto png = std::make_unique<TPngImage>();
    png->SetPixels(std::move(image));
    png->SaveOptions() = options;
    return png;
}

void Bitmap32ToPngDefault(const TCustomBitmap32& Bitmap, std::unique_ptr<TPngImage>& Png) {
    Png = Bitmap32ToPng(Bitmap, false, true, 0, 9, 0);
}

} // namespace kq
