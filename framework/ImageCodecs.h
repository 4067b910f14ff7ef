#pragma once
// Decoding and encoding of PNG, JPEG and BMP picture files (ImageCodecs_Png, _Jpeg, _Bmp).
#include "framework/Exceptions.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kq {

// A picture file that cannot be decoded (truncated, corrupted or of an unsupported kind).
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// A decoded picture: top-down rows of 0xAARRGGBB pixels (B, G, R, A in memory), alpha not premultiplied.
struct raster_image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    uint32_t& at(int32_t x, int32_t y) { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
    uint32_t at(int32_t x, int32_t y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x];
    }
};

// Decoders refuse pictures above this many pixels rather than try to allocate them.
constexpr uint64_t max_picture_pixels = uint64_t{1} << 26;

// --- PNG

enum class png_color_type : uint8_t { grey = 0, rgb = 2, palette = 3, grey_alpha = 4, rgba = 6 };

enum class TPngTransparencyMode { ptmNone, ptmBit, ptmPartial };

struct png_picture {
    raster_image image;
    png_color_type color_type = png_color_type::rgba;
    uint8_t bit_depth = 8;
    bool interlaced = false;
    TPngTransparencyMode transparency = TPngTransparencyMode::ptmNone;
    bool has_transparent_color = false; // grey and RGB files: the colour a tRNS chunk makes transparent
    uint32_t transparent_color = 0;     // as 0x00RRGGBB, 8 bits per channel
    std::vector<uint32_t> palette;      // palette files: 0xAARRGGBB entries
};

png_picture decode_png(std::span<const uint8_t> file);

struct png_encode_options {
    png_color_type color_type = png_color_type::rgba;
    bool interlaced = false;
    int compression_level = 6; // 0..9
};

// Palette output needs at most 256 distinct colours (alpha included); grey output takes the green channel.
std::vector<uint8_t> encode_png(const raster_image& image, const png_encode_options& options = {});

// --- JPEG

// Any colour space becomes opaque RGB. Warnings of the decoder (a premature end, corrupt data) are errors.
raster_image decode_jpeg(std::span<const uint8_t> file);

// --- BMP

struct bmp_picture {
    raster_image image;
    uint16_t bit_count = 24;
    bool has_alpha = false; // a 32-bit file whose alpha bytes are not all zero
};

// Accepts the file header followed by any of the info header versions; uncompressed or bit fields.
bmp_picture decode_bmp(std::span<const uint8_t> file);
// Bottom-up BI_RGB file with 24 or 32 bits per pixel.
std::vector<uint8_t> encode_bmp(const raster_image& image, uint16_t bit_count);

} // namespace kq
