#include "framework/ImageCodecs.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace kq {

namespace {

constexpr std::array<uint8_t, 8> png_signature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct adam7_pass {
    int x0, y0, dx, dy;
};
constexpr std::array<adam7_pass, 7> adam7{{
    {0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}};

[[noreturn]] void fail(const std::string& why) {
    throw EInvalidGraphic(utf8_to_string("Invalid PNG image: " + why));
}

uint32_t read_be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}
uint16_t read_be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

int channels_of(png_color_type t) {
    switch (t) {
    case png_color_type::grey: return 1;
    case png_color_type::rgb: return 3;
    case png_color_type::palette: return 1;
    case png_color_type::grey_alpha: return 2;
    case png_color_type::rgba: return 4;
    }
    return 0;
}

bool depth_allowed(png_color_type t, int depth) {
    switch (t) {
    case png_color_type::grey: return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    case png_color_type::palette: return depth == 1 || depth == 2 || depth == 4 || depth == 8;
    default: return depth == 8 || depth == 16;
    }
}

// Bytes of one filtered row of `width` pixels, without the filter byte.
size_t row_bytes(uint32_t width, int bits_per_pixel) {
    return (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits_per_pixel) + 7) / 8;
}

uint8_t paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    if (pb <= pc) return static_cast<uint8_t>(b);
    return static_cast<uint8_t>(c);
}

// Reverses one row's filter in place; `prior` is the previous unfiltered row (zeros for the first).
void unfilter_row(uint8_t filter, uint8_t* row, const uint8_t* prior, size_t length, size_t bpp) {
    switch (filter) {
    case 0: break;
    case 1:
        for (size_t i = bpp; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
        break;
    case 2:
        for (size_t i = 0; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
        break;
    case 3:
        for (size_t i = 0; i < length; ++i) {
            const int left = i >= bpp ? row[i - bpp] : 0;
            row[i] = static_cast<uint8_t>(row[i] + ((left + prior[i]) >> 1));
        }
        break;
    case 4:
        for (size_t i = 0; i < length; ++i) {
            const int left = i >= bpp ? row[i - bpp] : 0;
            const int upper_left = i >= bpp ? prior[i - bpp] : 0;
            row[i] = static_cast<uint8_t>(row[i] + paeth(left, prior[i], upper_left));
        }
        break;
    default: fail("unknown row filter " + std::to_string(filter));
    }
}

struct header {
    uint32_t width = 0, height = 0;
    int depth = 0;
    png_color_type type = png_color_type::rgb;
    bool interlaced = false;
    int bits_per_pixel() const { return depth * channels_of(type); }
};

struct transparency_info {
    bool present = false;
    uint16_t grey = 0, red = 0, green = 0, blue = 0; // key colour of grey and RGB files, full depth
};

// Reads sample `index` of a row at the file's bit depth, full width (16-bit samples whole).
uint32_t sample(const uint8_t* row, size_t index, int depth) {
    switch (depth) {
    case 16: return read_be16(row + index * 2);
    case 8: return row[index];
    default: {
        const size_t bit = index * static_cast<size_t>(depth);
        const int shift = 8 - depth - static_cast<int>(bit % 8);
        return (row[bit / 8] >> shift) & ((1u << depth) - 1);
    }
    }
}

uint8_t to8(uint32_t value, int depth) {
    switch (depth) {
    case 16: return static_cast<uint8_t>(value >> 8);
    case 8: return static_cast<uint8_t>(value);
    default: return static_cast<uint8_t>(value * 255 / ((1u << depth) - 1));
    }
}

uint32_t argb(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t{a} << 24 | uint32_t{r} << 16 | uint32_t{g} << 8 | b;
}

struct decoder {
    header h;
    std::vector<uint32_t> palette;
    transparency_info key;

    // Converts one unfiltered row of `count` pixels to image pixels x0, x0+dx, ... of row y.
    void emit_row(const uint8_t* row, uint32_t count, raster_image& out, uint32_t y, uint32_t x0,
                  uint32_t dx) const {
        const int d = h.depth;
        uint32_t* dest = out.pixels.data() + static_cast<size_t>(y) * out.width;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t pixel = 0;
            switch (h.type) {
            case png_color_type::grey: {
                const uint32_t v = sample(row, i, d);
                const uint8_t g = to8(v, d);
                pixel = argb(key.present && v == key.grey ? 0 : 255, g, g, g);
                break;
            }
            case png_color_type::rgb: {
                const uint32_t r = sample(row, i * 3, d), g = sample(row, i * 3 + 1, d),
                               b = sample(row, i * 3 + 2, d);
                const bool clear = key.present && r == key.red && g == key.green && b == key.blue;
                pixel = argb(clear ? 0 : 255, to8(r, d), to8(g, d), to8(b, d));
                break;
            }
            case png_color_type::palette: {
                const uint32_t index = sample(row, i, d);
                if (index >= palette.size()) fail("palette index " + std::to_string(index) + " out of range");
                pixel = palette[index];
                break;
            }
            case png_color_type::grey_alpha: {
                const uint8_t g = to8(sample(row, i * 2, d), d);
                pixel = argb(to8(sample(row, i * 2 + 1, d), d), g, g, g);
                break;
            }
            case png_color_type::rgba:
                pixel = argb(to8(sample(row, i * 4 + 3, d), d), to8(sample(row, i * 4, d), d),
                             to8(sample(row, i * 4 + 1, d), d), to8(sample(row, i * 4 + 2, d), d));
                break;
            }
            dest[x0 + static_cast<size_t>(i) * dx] = pixel;
        }
    }

    // `data` holds exactly the inflated image data.
    void unfilter_all(std::vector<uint8_t>& data, raster_image& out) const {
        const int bpp_bits = h.bits_per_pixel();
        const size_t bpp = static_cast<size_t>(std::max(1, bpp_bits / 8));
        size_t pos = 0;
        auto run = [&](uint32_t w, uint32_t rows, auto place) {
            if (w == 0 || rows == 0) return;
            const size_t length = row_bytes(w, bpp_bits);
            std::vector<uint8_t> zero(length, 0);
            const uint8_t* prior = zero.data();
            for (uint32_t r = 0; r < rows; ++r) {
                uint8_t* row = data.data() + pos + 1;
                unfilter_row(data[pos], row, prior, length, bpp);
                place(row, w, r);
                prior = row;
                pos += length + 1;
            }
        };
        if (!h.interlaced) {
            run(h.width, h.height, [&](const uint8_t* row, uint32_t w, uint32_t r) { emit_row(row, w, out, r, 0, 1); });
            return;
        }
        for (const adam7_pass& p : adam7) {
            const uint32_t w = h.width > static_cast<uint32_t>(p.x0) ? (h.width - p.x0 + p.dx - 1) / p.dx : 0;
            const uint32_t rows = h.height > static_cast<uint32_t>(p.y0) ? (h.height - p.y0 + p.dy - 1) / p.dy : 0;
            run(w, rows, [&](const uint8_t* row, uint32_t count, uint32_t r) {
                emit_row(row, count, out, p.y0 + r * p.dy, p.x0, p.dx);
            });
        }
    }

    uint64_t data_size() const {
        const int bits = h.bits_per_pixel();
        if (!h.interlaced) return static_cast<uint64_t>(h.height) * (row_bytes(h.width, bits) + 1);
        uint64_t total = 0;
        for (const adam7_pass& p : adam7) {
            const uint32_t w = h.width > static_cast<uint32_t>(p.x0) ? (h.width - p.x0 + p.dx - 1) / p.dx : 0;
            const uint32_t rows = h.height > static_cast<uint32_t>(p.y0) ? (h.height - p.y0 + p.dy - 1) / p.dy : 0;
            if (w != 0) total += static_cast<uint64_t>(rows) * (row_bytes(w, bits) + 1);
        }
        return total;
    }
};

struct zstream_owner {
    z_stream z{};
    bool live = false;
    ~zstream_owner() {
        if (live) inflateEnd(&z);
    }
};

std::string chunk_name(const uint8_t* p) { return std::string(reinterpret_cast<const char*>(p), 4); }

} // namespace

// --- Decoding

png_picture decode_png(std::span<const uint8_t> file) {
    if (file.size() < png_signature.size() || !std::equal(png_signature.begin(), png_signature.end(), file.begin()))
        fail("not a PNG file");
    decoder dec;
    png_picture result;
    std::vector<uint8_t> data;
    bool seen_header = false, seen_end = false, seen_data = false, data_complete = false;
    std::vector<uint8_t> palette_alpha;
    uint64_t expected = 0;
    zstream_owner inflater;

    size_t pos = png_signature.size();
    while (!seen_end) {
        if (file.size() - pos < 12) fail("file truncated at offset " + std::to_string(pos));
        const uint32_t length = read_be32(&file[pos]);
        const uint8_t* type = &file[pos + 4];
        const std::string name = chunk_name(type);
        if (length > 0x7FFFFFFFu || file.size() - pos - 12 < length)
            fail("chunk \"" + name + "\" at offset " + std::to_string(pos) + " is truncated");
        const uint8_t* body = type + 4;
        const uint32_t stored_crc = read_be32(body + length);
        if (crc32(0, type, length + 4) != stored_crc)
            fail("chunk \"" + name + "\" at offset " + std::to_string(pos) + " has a bad checksum");
        const std::string where = " at offset " + std::to_string(pos);
        pos += 12 + static_cast<size_t>(length);

        if (!seen_header && name != "IHDR") fail("first chunk is not IHDR");
        if (name == "IHDR") {
            if (seen_header || length != 13) fail("bad IHDR chunk" + where);
            header& h = dec.h;
            h.width = read_be32(body);
            h.height = read_be32(body + 4);
            h.depth = body[8];
            if (h.width == 0 || h.height == 0 || h.width > 0x7FFFFFFFu || h.height > 0x7FFFFFFFu)
                fail("bad image size");
            if (static_cast<uint64_t>(h.width) * h.height > max_picture_pixels) fail("image too large");
            if (body[9] > 6 || body[9] == 1 || body[9] == 5) fail("bad colour type " + std::to_string(body[9]));
            h.type = static_cast<png_color_type>(body[9]);
            if (!depth_allowed(h.type, h.depth))
                fail("bad bit depth " + std::to_string(h.depth) + " for colour type " + std::to_string(body[9]));
            if (body[10] != 0 || body[11] != 0 || body[12] > 1) fail("bad compression, filter or interlace method");
            h.interlaced = body[12] == 1;
            expected = dec.data_size();
            seen_header = true;
        } else if (name == "PLTE") {
            if (length % 3 != 0 || length == 0 || length / 3 > 256 || seen_data) fail("bad PLTE chunk" + where);
            if (dec.h.type == png_color_type::palette && length / 3 > (1u << dec.h.depth))
                fail("palette larger than the bit depth allows");
            dec.palette.clear();
            for (uint32_t i = 0; i < length; i += 3) dec.palette.push_back(argb(255, body[i], body[i + 1], body[i + 2]));
        } else if (name == "tRNS") {
            switch (dec.h.type) {
            case png_color_type::palette:
                if (length > dec.palette.size()) fail("tRNS chunk longer than the palette" + where);
                palette_alpha.assign(body, body + length);
                break;
            case png_color_type::grey:
                if (length != 2) fail("bad tRNS chunk" + where);
                dec.key.present = true;
                dec.key.grey = read_be16(body);
                break;
            case png_color_type::rgb:
                if (length != 6) fail("bad tRNS chunk" + where);
                dec.key.present = true;
                dec.key.red = read_be16(body);
                dec.key.green = read_be16(body + 2);
                dec.key.blue = read_be16(body + 4);
                break;
            default: break; // colour types with alpha ignore it
            }
        } else if (name == "IDAT") {
            if (dec.h.type == png_color_type::palette && dec.palette.empty()) fail("palette image without PLTE");
            if (!seen_data) {
                if (inflateInit(&inflater.z) != Z_OK) fail("cannot start decompression");
                inflater.live = true;
                data.resize(static_cast<size_t>(expected));
                inflater.z.next_out = data.data();
                inflater.z.avail_out = static_cast<uInt>(data.size());
                seen_data = true;
            }
            if (!data_complete) {
                inflater.z.next_in = const_cast<Bytef*>(body);
                inflater.z.avail_in = length;
                while (inflater.z.avail_in > 0 && !data_complete) {
                    const int r = inflate(&inflater.z, Z_NO_FLUSH);
                    if (r == Z_STREAM_END) data_complete = true;
                    else if (r == Z_BUF_ERROR && inflater.z.avail_out == 0) data_complete = true; // surplus data
                    else if (r != Z_OK) fail("corrupted image data" + where);
                }
            }
        } else if (name == "IEND") {
            seen_end = true;
        } else if (!(type[0] & 0x20)) {
            fail("unknown critical chunk \"" + name + "\"" + where);
        }
    }
    if (!seen_data) fail("no image data");
    if (inflater.z.avail_out != 0) fail("image data truncated");

    for (size_t i = 0; i < palette_alpha.size(); ++i)
        dec.palette[i] = (dec.palette[i] & 0x00FFFFFFu) | uint32_t{palette_alpha[i]} << 24;

    result.image.width = static_cast<int32_t>(dec.h.width);
    result.image.height = static_cast<int32_t>(dec.h.height);
    result.image.pixels.resize(static_cast<size_t>(dec.h.width) * dec.h.height);
    dec.unfilter_all(data, result.image);

    result.color_type = dec.h.type;
    result.bit_depth = static_cast<uint8_t>(dec.h.depth);
    result.interlaced = dec.h.interlaced;
    result.palette = dec.palette;
    switch (dec.h.type) {
    case png_color_type::grey_alpha:
    case png_color_type::rgba: result.transparency = TPngTransparencyMode::ptmPartial; break;
    case png_color_type::palette:
        if (!palette_alpha.empty())
            result.transparency = std::all_of(palette_alpha.begin(), palette_alpha.end(),
                                              [](uint8_t a) { return a == 0 || a == 255; })
                                      ? TPngTransparencyMode::ptmBit
                                      : TPngTransparencyMode::ptmPartial;
        break;
    default:
        if (dec.key.present) {
            result.transparency = TPngTransparencyMode::ptmBit;
            result.has_transparent_color = true;
            const int d = dec.h.depth;
            result.transparent_color = dec.h.type == png_color_type::grey
                                           ? argb(0, to8(dec.key.grey, d), to8(dec.key.grey, d), to8(dec.key.grey, d))
                                           : argb(0, to8(dec.key.red, d), to8(dec.key.green, d), to8(dec.key.blue, d));
        }
        break;
    }
    return result;
}

// --- Encoding

namespace {

void put_be32(std::vector<uint8_t>& out, uint32_t v) {
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void put_chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& body) {
    put_be32(out, static_cast<uint32_t>(body.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    put_be32(out, crc32(0, out.data() + start, static_cast<uInt>(body.size() + 4)));
}

// Picks, per row, the filter whose output has the smallest sum of absolute values.
void filter_row(const uint8_t* row, const uint8_t* prior, size_t length, size_t bpp, std::vector<uint8_t>& out) {
    std::vector<uint8_t> best, trial(length);
    long best_score = -1;
    uint8_t best_filter = 0;
    for (uint8_t f = 0; f < 5; ++f) {
        long score = 0;
        for (size_t i = 0; i < length; ++i) {
            const int left = i >= bpp ? row[i - bpp] : 0;
            const int upper_left = i >= bpp ? prior[i - bpp] : 0;
            int predicted = 0;
            switch (f) {
            case 1: predicted = left; break;
            case 2: predicted = prior[i]; break;
            case 3: predicted = (left + prior[i]) >> 1; break;
            case 4: predicted = paeth(left, prior[i], upper_left); break;
            default: break;
            }
            trial[i] = static_cast<uint8_t>(row[i] - predicted);
            score += std::abs(static_cast<int8_t>(trial[i]));
        }
        if (best_score < 0 || score < best_score) {
            best_score = score;
            best_filter = f;
            best = trial;
        }
    }
    out.push_back(best_filter);
    out.insert(out.end(), best.begin(), best.end());
}

} // namespace

std::vector<uint8_t> encode_png(const raster_image& image, const png_encode_options& options) {
    if (image.width <= 0 || image.height <= 0) throw EInvalidGraphic(u"Cannot save an empty image as PNG");
    const png_color_type type = options.color_type;
    const int channels = channels_of(type);
    const uint32_t width = static_cast<uint32_t>(image.width), height = static_cast<uint32_t>(image.height);

    // Palette: the image's distinct colours in order of first appearance.
    std::vector<uint32_t> palette;
    std::map<uint32_t, uint8_t> index_of;
    if (type == png_color_type::palette) {
        for (uint32_t p : image.pixels) {
            if (index_of.count(p)) continue;
            if (palette.size() == 256) throw EInvalidGraphic(u"Cannot save more than 256 colours as a palette PNG");
            index_of[p] = static_cast<uint8_t>(palette.size());
            palette.push_back(p);
        }
    }

    auto pack = [&](uint32_t x, uint32_t y, uint8_t* dest) {
        const uint32_t p = image.at(static_cast<int32_t>(x), static_cast<int32_t>(y));
        const uint8_t a = uint8_t(p >> 24), r = uint8_t(p >> 16), g = uint8_t(p >> 8), b = uint8_t(p);
        switch (type) {
        case png_color_type::grey: dest[0] = g; break;
        case png_color_type::rgb: dest[0] = r; dest[1] = g; dest[2] = b; break;
        case png_color_type::palette: dest[0] = index_of[p]; break;
        case png_color_type::grey_alpha: dest[0] = g; dest[1] = a; break;
        case png_color_type::rgba: dest[0] = r; dest[1] = g; dest[2] = b; dest[3] = a; break;
        }
    };

    std::vector<uint8_t> raw;
    const size_t bpp = static_cast<size_t>(channels);
    auto pass = [&](uint32_t x0, uint32_t y0, uint32_t dx, uint32_t dy) {
        if (x0 >= width || y0 >= height) return;
        const uint32_t w = (width - x0 + dx - 1) / dx;
        const size_t length = static_cast<size_t>(w) * bpp;
        std::vector<uint8_t> prior(length, 0), row(length);
        for (uint32_t y = y0; y < height; y += dy) {
            for (uint32_t i = 0; i < w; ++i) pack(x0 + i * dx, y, row.data() + i * bpp);
            filter_row(row.data(), prior.data(), length, bpp, raw);
            std::swap(prior, row);
        }
    };
    if (options.interlaced) {
        for (const adam7_pass& p : adam7) pass(p.x0, p.y0, p.dx, p.dy);
    } else {
        pass(0, 0, 1, 1);
    }

    uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()),
                  std::clamp(options.compression_level, 0, 9)) != Z_OK)
        throw EInvalidGraphic(u"Cannot compress the PNG image data");
    packed.resize(packed_size);

    std::vector<uint8_t> out(png_signature.begin(), png_signature.end());
    std::vector<uint8_t> ihdr;
    put_be32(ihdr, width);
    put_be32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, static_cast<uint8_t>(type), 0, 0, static_cast<uint8_t>(options.interlaced ? 1 : 0)});
    put_chunk(out, "IHDR", ihdr);
    if (type == png_color_type::palette) {
        std::vector<uint8_t> plte, trns;
        for (uint32_t p : palette) plte.insert(plte.end(), {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)});
        for (uint32_t p : palette) trns.push_back(uint8_t(p >> 24));
        while (!trns.empty() && trns.back() == 255) trns.pop_back();
        put_chunk(out, "PLTE", plte);
        if (!trns.empty()) put_chunk(out, "tRNS", trns);
    }
    put_chunk(out, "IDAT", packed);
    put_chunk(out, "IEND", {});
    return out;
}

} // namespace kq
