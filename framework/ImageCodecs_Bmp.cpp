#include "framework/ImageCodecs.h"

#include <bit>
#include <string>

namespace kq {

namespace {

[[noreturn]] void fail(const std::string& why) {
    throw EInvalidGraphic(utf8_to_string("Invalid bitmap image: " + why));
}

uint32_t le32(const uint8_t* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr uint32_t bi_rgb = 0, bi_bitfields = 3;

// Extracts the channel under `mask` from `value`, scaled to 8 bits.
uint8_t channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    const uint32_t v = (value & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    return static_cast<uint8_t>(v * 255 / ((1u << bits) - 1));
}

// Writes little-endian values into a buffer sized in advance.
struct le_writer {
    uint8_t* at;
    void u16(uint32_t v) { for (int i = 0; i < 2; ++i) *at++ = static_cast<uint8_t>(v >> (8 * i)); }
    void u32(uint32_t v) { for (int i = 0; i < 4; ++i) *at++ = static_cast<uint8_t>(v >> (8 * i)); }
};

} // namespace

bmp_picture decode_bmp(std::span<const uint8_t> file) {
    if (file.size() < 14 + 12 || file[0] != 'B' || file[1] != 'M') fail("not a bitmap file");
    const uint32_t bits_offset = le32(&file[10]);
    const uint8_t* info = &file[14];
    const uint32_t info_size = le32(info);
    if (info_size < 12 || info_size > file.size() - 14) fail("truncated header");

    int64_t width = 0, height = 0;
    uint16_t bit_count = 0;
    uint32_t compression = bi_rgb, colours_used = 0;
    uint32_t masks[4] = {0, 0, 0, 0};
    size_t palette_entry = 4;
    if (info_size == 12) { // the oldest header: 16-bit sizes, 3-byte palette entries
        width = le16(info + 4);
        height = static_cast<int16_t>(le16(info + 6));
        bit_count = le16(info + 10);
        palette_entry = 3;
    } else {
        if (info_size < 40) fail("truncated header");
        width = static_cast<int32_t>(le32(info + 4));
        height = static_cast<int32_t>(le32(info + 8));
        bit_count = le16(info + 14);
        compression = le32(info + 16);
        colours_used = le32(info + 32);
        if (compression == bi_bitfields) {
            // The masks follow a 40-byte header, or sit inside the larger ones.
            if (info_size == 40) {
                if (file.size() < 14 + 40 + 12) fail("truncated header");
                for (int i = 0; i < 3; ++i) masks[i] = le32(info + 40 + 4 * i);
            } else {
                if (info_size < 52) fail("truncated header");
                for (int i = 0; i < 3; ++i) masks[i] = le32(info + 40 + 4 * i);
                if (info_size >= 56) masks[3] = le32(info + 52);
            }
        } else if (compression != bi_rgb) {
            fail("compression " + std::to_string(compression) + " is not supported");
        }
    }
    const bool top_down = height < 0;
    if (top_down) height = -height;
    if (width <= 0 || height <= 0) fail("bad image size");
    if (static_cast<uint64_t>(width) * static_cast<uint64_t>(height) > max_picture_pixels) fail("image too large");
    if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 && bit_count != 32)
        fail("bad bit count " + std::to_string(bit_count));
    if (compression == bi_bitfields && bit_count != 16 && bit_count != 32) fail("bit fields need 16 or 32 bits");
    if (compression == bi_rgb && bit_count == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }

    std::vector<uint32_t> palette;
    if (bit_count <= 8) {
        size_t count = colours_used ? colours_used : size_t{1} << bit_count;
        if (count > (size_t{1} << bit_count)) fail("palette too large");
        size_t palette_start = 14 + info_size + (compression == bi_bitfields && info_size == 40 ? 12 : 0);
        if (palette_start > file.size() || (file.size() - palette_start) / palette_entry < count)
            fail("truncated palette");
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = &file[palette_start + i * palette_entry];
            palette.push_back(0xFF000000u | uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0]);
        }
    }

    const size_t stride = ((static_cast<size_t>(width) * bit_count + 31) / 32) * 4;
    if (bits_offset > file.size() || (file.size() - bits_offset) / stride < static_cast<size_t>(height))
        fail("truncated pixel data");

    bmp_picture result;
    result.bit_count = bit_count;
    raster_image& image = result.image;
    image.width = static_cast<int32_t>(width);
    image.height = static_cast<int32_t>(height);
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    bool any_alpha = false;
    for (int32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = &file[bits_offset + stride * static_cast<size_t>(top_down ? y : image.height - 1 - y)];
        for (int32_t x = 0; x < image.width; ++x) {
            uint32_t pixel = 0;
            switch (bit_count) {
            case 1:
            case 4:
            case 8: {
                const size_t bit = static_cast<size_t>(x) * bit_count;
                const uint32_t index = (row[bit / 8] >> (8 - bit_count - bit % 8)) & ((1u << bit_count) - 1);
                if (index >= palette.size()) fail("palette index out of range");
                pixel = palette[index];
                break;
            }
            case 16:
            case 32: {
                const uint32_t v = bit_count == 16 ? le16(row + x * 2) : le32(row + x * 4);
                if (compression == bi_rgb && bit_count == 32) {
                    pixel = v;
                    any_alpha |= (v >> 24) != 0;
                } else {
                    pixel = uint32_t{channel(v, masks[0])} << 16 | uint32_t{channel(v, masks[1])} << 8 |
                            channel(v, masks[2]);
                    pixel |= masks[3] ? uint32_t{channel(v, masks[3])} << 24 : 0xFF000000u;
                    any_alpha |= masks[3] != 0;
                }
                break;
            }
            case 24: {
                const uint8_t* p = row + x * 3;
                pixel = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
                break;
            }
            }
            image.at(x, y) = pixel;
        }
    }
    // A 32-bit file without alpha leaves the fourth byte zero; that means opaque, not invisible.
    if (bit_count == 32 && compression == bi_rgb && !any_alpha)
        for (uint32_t& p : image.pixels) p |= 0xFF000000u;
    result.has_alpha = any_alpha;
    return result;
}

std::vector<uint8_t> encode_bmp(const raster_image& image, uint16_t bit_count) {
    if (bit_count != 24 && bit_count != 32) throw EInvalidGraphic(u"Bitmaps are saved with 24 or 32 bits per pixel");
    if (image.width <= 0 || image.height <= 0) throw EInvalidGraphic(u"Cannot save an empty bitmap");
    const size_t stride = ((static_cast<size_t>(image.width) * bit_count + 31) / 32) * 4;
    const size_t bits_size = stride * static_cast<size_t>(image.height);
    std::vector<uint8_t> out(54 + bits_size, 0);
    le_writer w{out.data()};
    w.u16('B' | 'M' << 8);
    w.u32(static_cast<uint32_t>(out.size()));
    w.u32(0);
    w.u32(54);
    w.u32(40);
    w.u32(static_cast<uint32_t>(image.width));
    w.u32(static_cast<uint32_t>(image.height));
    w.u16(1);
    w.u16(bit_count);
    w.u32(bi_rgb);
    w.u32(static_cast<uint32_t>(bits_size));
    w.u32(2835); // 72 dots per inch
    w.u32(2835);
    for (int32_t y = image.height - 1; y >= 0; --y) {
        uint8_t* row = out.data() + 54 + stride * static_cast<size_t>(image.height - 1 - y);
        for (int32_t x = 0; x < image.width; ++x) {
            const uint32_t p = image.at(x, y);
            *row++ = uint8_t(p);
            *row++ = uint8_t(p >> 8);
            *row++ = uint8_t(p >> 16);
            if (bit_count == 32) *row++ = uint8_t(p >> 24);
        }
    }
    return out;
}

} // namespace kq
