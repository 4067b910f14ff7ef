#include "framework/ImageCodecs.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <random>
#include <string>

#include <jpeglib.h>

using namespace kq;

namespace {

using bytes = std::vector<uint8_t>;

raster_image make_image(int32_t w, int32_t h, uint32_t seed, auto&& colour) {
    raster_image img;
    img.width = w;
    img.height = h;
    img.pixels.resize(static_cast<size_t>(w) * h);
    std::mt19937 random(seed);
    for (uint32_t& p : img.pixels) p = colour(random());
    return img;
}

// --- Hand-built PNG files, for the cases our encoder never writes

void put_be32(bytes& out, uint32_t v) {
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

void chunk(bytes& out, const char* type, const bytes& body) {
    put_be32(out, static_cast<uint32_t>(body.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), body.begin(), body.end());
    put_be32(out, crc32(0, out.data() + start, static_cast<uInt>(body.size() + 4)));
}

bytes deflate_bytes(const bytes& raw) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    bytes out(size);
    compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    out.resize(size);
    return out;
}

struct png_parts {
    uint32_t width = 1, height = 1;
    uint8_t depth = 8, type = 2, interlace = 0;
    bytes plte, trns;
    bytes rows; // filtered scan lines, filter bytes included
};

bytes build_png(const png_parts& p) {
    bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bytes ihdr;
    put_be32(ihdr, p.width);
    put_be32(ihdr, p.height);
    ihdr.insert(ihdr.end(), {p.depth, p.type, 0, 0, p.interlace});
    chunk(out, "IHDR", ihdr);
    if (!p.plte.empty()) chunk(out, "PLTE", p.plte);
    if (!p.trns.empty()) chunk(out, "tRNS", p.trns);
    chunk(out, "IDAT", deflate_bytes(p.rows));
    chunk(out, "IEND", {});
    return out;
}

std::string png_error(const bytes& file) {
    try {
        decode_png(file);
    } catch (const EInvalidGraphic& e) {
        return string_to_utf8(e.Message());
    }
    return "decoded";
}

// Offset of the first byte of the chunk with this type (its length field).
size_t chunk_offset(const bytes& file, const char* type) {
    for (size_t pos = 8; pos + 8 <= file.size();) {
        const uint32_t length = uint32_t{file[pos]} << 24 | uint32_t{file[pos + 1]} << 16 |
                                uint32_t{file[pos + 2]} << 8 | file[pos + 3];
        if (std::equal(type, type + 4, file.begin() + pos + 4)) return pos;
        pos += 12 + length;
    }
    return file.size();
}

void fix_crc(bytes& file, size_t chunk_at) {
    const uint32_t length = uint32_t{file[chunk_at]} << 24 | uint32_t{file[chunk_at + 1]} << 16 |
                            uint32_t{file[chunk_at + 2]} << 8 | file[chunk_at + 3];
    const uint32_t crc = crc32(0, file.data() + chunk_at + 4, length + 4);
    for (int i = 0; i < 4; ++i) file[chunk_at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
}

} // namespace

// --- PNG

TEST(PngCodec, RoundTripIsPixelExact) {
    auto any = [](uint32_t r) { return r; };
    auto opaque = [](uint32_t r) { return r | 0xFF000000u; };
    auto grey = [](uint32_t r) { const uint32_t g = r & 0xFF; return 0xFF000000u | g << 16 | g << 8 | g; };
    auto grey_alpha = [](uint32_t r) { const uint32_t g = r & 0xFF; return (r & 0xFF000000u) | g << 16 | g << 8 | g; };
    // Few colours, some of them partly transparent: a palette image with a tRNS chunk.
    auto few = [](uint32_t r) {
        static const uint32_t colours[] = {0xFF102030, 0x80FF0000, 0x00000000, 0xFFFFFFFF, 0x40123456};
        return colours[r % 5];
    };
    struct row {
        const char* name;
        png_color_type type;
        std::function<uint32_t(uint32_t)> colour;
    };
    const row rows[] = {{"rgba", png_color_type::rgba, any},      {"rgb", png_color_type::rgb, opaque},
                        {"palette", png_color_type::palette, few}, {"grey", png_color_type::grey, grey},
                        {"grey+alpha", png_color_type::grey_alpha, grey_alpha}};
    const std::pair<int32_t, int32_t> sizes[] = {{1, 1}, {3, 2}, {7, 5}, {33, 17}, {64, 1}};
    for (const row& r : rows)
        for (bool interlaced : {false, true})
            for (auto [w, h] : sizes) {
                SCOPED_TRACE(std::string(r.name) + (interlaced ? " interlaced " : " ") + std::to_string(w) + "x" +
                             std::to_string(h));
                const raster_image source = make_image(w, h, static_cast<uint32_t>(w * 31 + h), r.colour);
                const png_picture back = decode_png(encode_png(source, {r.type, interlaced, 9}));
                EXPECT_EQ(back.image.width, w);
                EXPECT_EQ(back.image.height, h);
                EXPECT_EQ(back.image.pixels, source.pixels);
                EXPECT_EQ(back.color_type, r.type);
                EXPECT_EQ(back.interlaced, interlaced);
            }
}

TEST(PngCodec, DecodesDepthsAndTransparencyKinds) {
    struct row {
        const char* name;
        png_parts parts;
        std::vector<uint32_t> expected;
        TPngTransparencyMode mode;
    };
    const row rows[] = {
        {"grey 1 bit", {4, 1, 1, 0, 0, {}, {}, {0, 0b10100000}}, {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000},
         TPngTransparencyMode::ptmNone},
        {"grey 2 bits", {3, 1, 2, 0, 0, {}, {}, {0, 0b00011100}}, {0xFF000000, 0xFF555555, 0xFFFFFFFF},
         TPngTransparencyMode::ptmNone},
        {"grey 4 bits with key", {2, 1, 4, 0, 0, {}, {0, 5}, {0, 0x5F}}, {0x00555555, 0xFFFFFFFF},
         TPngTransparencyMode::ptmBit},
        {"rgb 16 bits keeps the high bytes", {1, 1, 16, 2, 0, {}, {}, {0, 0x12, 0x34, 0xAB, 0xCD, 0xFF, 0x00}},
         {0xFF12ABFF}, TPngTransparencyMode::ptmNone},
        {"rgb 16-bit key compares all 16 bits",
         {2, 1, 16, 2, 0, {}, {0x12, 0x34, 0, 0, 0, 0}, {0, 0x12, 0x34, 0, 0, 0, 0, 0x12, 0x35, 0, 0, 0, 0}},
         {0x00120000, 0xFF120000}, TPngTransparencyMode::ptmBit},
        {"grey+alpha 16 bits", {1, 1, 16, 4, 0, {}, {}, {0, 0x80, 0x00, 0x40, 0x00}}, {0x40808080},
         TPngTransparencyMode::ptmPartial},
        {"palette 4 bits, on/off alpha",
         {3, 1, 4, 3, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9}, {255, 0}, {0, 0x01, 0x20}},
         {0xFF010203, 0x00040506, 0xFF070809}, TPngTransparencyMode::ptmBit},
        {"palette, partial alpha", {1, 1, 8, 3, 0, {1, 2, 3}, {128}, {0, 0}}, {0x80010203},
         TPngTransparencyMode::ptmPartial},
        {"sub, up, average and paeth filters",
         {2, 4, 8, 0, 0, {}, {}, {1, 10, 5, 2, 1, 1, 3, 2, 2, 4, 1, 1}},
         {0xFF0A0A0A, 0xFF0F0F0F, 0xFF0B0B0B, 0xFF101010, 0xFF070707, 0xFF0D0D0D, 0xFF080808, 0xFF0E0E0E},
         TPngTransparencyMode::ptmNone},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        const png_picture pic = decode_png(build_png(r.parts));
        EXPECT_EQ(pic.image.pixels, r.expected);
        EXPECT_EQ(pic.transparency, r.mode);
        EXPECT_EQ(pic.bit_depth, r.parts.depth);
    }
}

TEST(PngCodec, ReportsTheTransparentColourOfAKey) {
    const png_picture pic = decode_png(build_png({1, 1, 8, 2, 0, {}, {0, 1, 0, 2, 0, 3}, {0, 9, 9, 9}}));
    EXPECT_TRUE(pic.has_transparent_color);
    EXPECT_EQ(pic.transparent_color, 0x010203u);
    EXPECT_EQ(pic.image.pixels[0], 0xFF090909u);
}

TEST(PngCodec, DamagedFilesRaiseAClearError) {
    const bytes good = encode_png(make_image(5, 4, 1, [](uint32_t r) { return r; }));
    const size_t idat = chunk_offset(good, "IDAT");
    const size_t iend = chunk_offset(good, "IEND");
    auto edit = [&](auto change) {
        bytes f = good;
        change(f);
        return f;
    };
    auto rows_of = [](uint8_t filter) {
        png_parts p{1, 1, 8, 0, 0, {}, {}, {filter, 0}};
        return build_png(p);
    };
    struct row {
        const char* name;
        bytes file;
        std::string message;
    };
    const row rows[] = {
        {"empty", {}, "Invalid PNG image: not a PNG file"},
        {"signature only", bytes(good.begin(), good.begin() + 8), "Invalid PNG image: file truncated at offset 8"},
        {"truncated inside IHDR", bytes(good.begin(), good.begin() + 20),
         "Invalid PNG image: chunk \"IHDR\" at offset 8 is truncated"},
        {"truncated inside IDAT", bytes(good.begin(), good.begin() + idat + 20),
         "Invalid PNG image: chunk \"IDAT\" at offset " + std::to_string(idat) + " is truncated"},
        {"no IEND", bytes(good.begin(), good.begin() + iend),
         "Invalid PNG image: file truncated at offset " + std::to_string(iend)},
        {"bad checksum", edit([&](bytes& f) { f[idat + 10] ^= 0x55; }),
         "Invalid PNG image: chunk \"IDAT\" at offset " + std::to_string(idat) + " has a bad checksum"},
        {"huge chunk length", edit([&](bytes& f) { f[idat] = 0x7F; }),
         "Invalid PNG image: chunk \"IDAT\" at offset " + std::to_string(idat) + " is truncated"},
        {"zero width", build_png({0, 1, 8, 0, 0, {}, {}, {0, 0}}), "Invalid PNG image: bad image size"},
        {"too large", build_png({100000, 100000, 8, 0, 0, {}, {}, {0, 0}}), "Invalid PNG image: image too large"},
        {"colour type 1", build_png({1, 1, 8, 1, 0, {}, {}, {0, 0}}), "Invalid PNG image: bad colour type 1"},
        {"rgb at 4 bits", build_png({1, 1, 4, 2, 0, {}, {}, {0, 0}}),
         "Invalid PNG image: bad bit depth 4 for colour type 2"},
        {"interlace 2", build_png({1, 1, 8, 0, 2, {}, {}, {0, 0}}),
         "Invalid PNG image: bad compression, filter or interlace method"},
        {"unknown filter", rows_of(5), "Invalid PNG image: unknown row filter 5"},
        {"palette without PLTE", build_png({1, 1, 8, 3, 0, {}, {}, {0, 0}}),
         "Invalid PNG image: palette image without PLTE"},
        {"index past the palette", build_png({1, 1, 8, 3, 0, {1, 2, 3}, {}, {0, 1}}),
         "Invalid PNG image: palette index 1 out of range"},
        {"tRNS longer than the palette", build_png({1, 1, 8, 3, 0, {1, 2, 3}, {1, 2}, {0, 0}}),
         "Invalid PNG image: tRNS chunk longer than the palette at offset 48"},
        {"short image data", build_png({4, 4, 8, 0, 0, {}, {}, {0, 1, 2, 3, 4}}),
         "Invalid PNG image: image data truncated"},
        {"garbage image data", edit([&](bytes& f) { f[idat + 8] = 0xFF; fix_crc(f, idat); }),
         "Invalid PNG image: corrupted image data at offset " + std::to_string(idat)},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(png_error(r.file), r.message);
    }
}

TEST(PngCodec, EveryTruncationAndByteFlipFailsCleanly) {
    const bytes good = encode_png(make_image(9, 7, 3, [](uint32_t r) { return r; }), {png_color_type::rgba, true, 6});
    for (size_t length = 0; length < good.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_THROW(decode_png(std::span(good).first(length)), EInvalidGraphic);
    }
    // A flipped byte either still decodes (ancillary data) or raises; it never reads outside the file.
    for (size_t at = 0; at < good.size(); ++at) {
        bytes f = good;
        f[at] ^= 0xA5;
        try {
            decode_png(f);
        } catch (const EInvalidGraphic&) {
        }
    }
}

TEST(PngCodec, RefusesPaletteOutputWithTooManyColours) {
    const raster_image img = make_image(20, 20, 7, [](uint32_t r) { return r; });
    EXPECT_THROW(encode_png(img, {png_color_type::palette, false, 6}), EInvalidGraphic);
}

// --- JPEG

namespace {

struct jpeg_jump {
    jpeg_error_mgr base;
    std::jmp_buf at;
};

// Test fixture data: a JPEG written by the same library, at full quality.
bytes encode_jpeg(const raster_image& img, bool grey) {
    jpeg_compress_struct c{};
    jpeg_jump errors{};
    c.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr i) { std::longjmp(reinterpret_cast<jpeg_jump*>(i->err)->at, 1); };
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.at)) ADD_FAILURE() << "encoding failed";
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(img.width);
    c.image_height = static_cast<JDIMENSION>(img.height);
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(img.width) * 3);
    while (c.next_scanline < c.image_height) {
        for (int32_t x = 0; x < img.width; ++x) {
            const uint32_t p = img.at(x, static_cast<int32_t>(c.next_scanline));
            if (grey) {
                row[x] = uint8_t(p >> 8);
            } else {
                row[x * 3] = uint8_t(p >> 16);
                row[x * 3 + 1] = uint8_t(p >> 8);
                row[x * 3 + 2] = uint8_t(p);
            }
        }
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    bytes out(buffer, buffer + size);
    free(buffer);
    return out;
}

raster_image gradient(int32_t w, int32_t h) {
    raster_image img;
    img.width = w;
    img.height = h;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            img.pixels.push_back(0xFF000000u | uint32_t(x * 255 / w) << 16 | uint32_t(y * 255 / h) << 8 | 0x80);
    return img;
}

int max_channel_difference(const raster_image& a, const raster_image& b) {
    int worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (int shift : {0, 8, 16, 24})
            worst = std::max(worst, std::abs(int((a.pixels[i] >> shift) & 0xFF) - int((b.pixels[i] >> shift) & 0xFF)));
    return worst;
}

std::string jpeg_error(std::span<const uint8_t> file) {
    try {
        decode_jpeg(file);
    } catch (const EInvalidGraphic& e) {
        return string_to_utf8(e.Message());
    }
    return "decoded";
}

} // namespace

TEST(JpegCodec, DecodesColourAndGreyFiles) {
    const raster_image colour = gradient(37, 21);
    const raster_image back = decode_jpeg(encode_jpeg(colour, false));
    ASSERT_EQ(back.width, 37);
    ASSERT_EQ(back.height, 21);
    EXPECT_LE(max_channel_difference(back, colour), 8);

    const raster_image grey = decode_jpeg(encode_jpeg(colour, true));
    const uint32_t p = grey.at(10, 10);
    EXPECT_EQ(p >> 24, 0xFFu);
    EXPECT_EQ((p >> 16) & 0xFF, p & 0xFF); // grey comes back as equal channels
    EXPECT_NEAR(double((p >> 8) & 0xFF), double((colour.at(10, 10) >> 8) & 0xFF), 3.0);
}

TEST(JpegCodec, DamagedFilesRaiseAClearError) {
    const bytes good = encode_jpeg(gradient(40, 40), false);
    EXPECT_EQ(jpeg_error(bytes{}), "Invalid JPEG image: not a JPEG file");
    EXPECT_EQ(jpeg_error(bytes{0x89, 'P', 'N', 'G'}), "Invalid JPEG image: not a JPEG file");
    // Cut inside the headers, inside the entropy-coded data, and just before the end marker.
    for (size_t length : {size_t{4}, size_t{30}, good.size() / 2, good.size() - 2}) {
        SCOPED_TRACE(length);
        const std::string message = jpeg_error(std::span(good).first(length));
        EXPECT_EQ(message.rfind("Invalid JPEG image: ", 0), 0u) << message;
    }
    for (size_t length = 2; length < good.size(); length += 7)
        EXPECT_THROW(decode_jpeg(std::span(good).first(length)), EInvalidGraphic) << length;
}

// --- BMP

namespace {

bytes bmp_file(int32_t w, int32_t h, uint16_t bits, uint32_t compression, const bytes& extra, const bytes& pixels) {
    bytes f{'B', 'M'};
    auto p32 = [&](uint32_t v) { f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); };
    auto p16 = [&](uint16_t v) { f.insert(f.end(), {uint8_t(v), uint8_t(v >> 8)}); };
    const uint32_t offset = static_cast<uint32_t>(54 + extra.size());
    p32(static_cast<uint32_t>(offset + pixels.size()));
    p32(0);
    p32(offset);
    p32(40);
    p32(static_cast<uint32_t>(w));
    p32(static_cast<uint32_t>(h));
    p16(1);
    p16(bits);
    p32(compression);
    for (int i = 0; i < 3; ++i) p32(0);
    p32(bits <= 8 ? static_cast<uint32_t>(extra.size() / 4) : 0); // colours used
    p32(0);
    f.insert(f.end(), extra.begin(), extra.end());
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
}

} // namespace

TEST(BmpCodec, RoundTripAt24And32Bits) {
    const raster_image img = make_image(7, 3, 5, [](uint32_t r) { return r; });
    const bmp_picture b32 = decode_bmp(encode_bmp(img, 32));
    EXPECT_EQ(b32.image.pixels, img.pixels);
    EXPECT_TRUE(b32.has_alpha);
    raster_image opaque = img;
    for (uint32_t& p : opaque.pixels) p |= 0xFF000000u;
    const bmp_picture b24 = decode_bmp(encode_bmp(img, 24));
    EXPECT_EQ(b24.image.pixels, opaque.pixels);
    EXPECT_FALSE(b24.has_alpha);
}

TEST(BmpCodec, DecodesPaletteBitFieldsAndTopDownFiles) {
    const bytes palette{0x30, 0x20, 0x10, 0, 0xFF, 0xFF, 0xFF, 0};
    struct row {
        const char* name;
        bytes file;
        std::vector<uint32_t> expected;
    };
    const row rows[] = {
        {"1 bit, bottom-up", bmp_file(3, 2, 1, 0, palette, {0b10100000, 0, 0, 0, 0b01000000, 0, 0, 0}),
         {0xFF102030, 0xFFFFFFFF, 0xFF102030, 0xFFFFFFFF, 0xFF102030, 0xFFFFFFFF}},
        {"8 bits, top-down", bmp_file(2, -2, 8, 0, palette, {1, 0, 0, 0, 0, 1, 0, 0}),
         {0xFFFFFFFF, 0xFF102030, 0xFF102030, 0xFFFFFFFF}},
        {"16 bits 5-5-5", bmp_file(1, 1, 16, 0, {}, {0x1F, 0x7C, 0, 0}), {0xFFFF00FF}},
        {"32 bits with fields", bmp_file(1, 1, 32, 3, {0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0, 0, 0}, {1, 2, 3, 4}),
         {0xFF030201}},
        {"32 bits, zero alpha means opaque", bmp_file(1, 1, 32, 0, {}, {1, 2, 3, 0}), {0xFF030201}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(decode_bmp(r.file).image.pixels, r.expected);
    }
}

TEST(BmpCodec, DamagedFilesRaiseAClearError) {
    const bytes good = encode_bmp(make_image(4, 4, 9, [](uint32_t r) { return r; }), 24);
    struct row {
        const char* name;
        bytes file;
        std::string message;
    };
    const row rows[] = {
        {"not a bitmap", bytes(good.begin() + 2, good.end()), "Invalid bitmap image: not a bitmap file"},
        {"cut pixels", bytes(good.begin(), good.end() - 1), "Invalid bitmap image: truncated pixel data"},
        {"cut header", bytes(good.begin(), good.begin() + 40), "Invalid bitmap image: truncated header"},
        {"run-length data", bmp_file(1, 1, 8, 1, {}, {0, 0, 0, 0}), "Invalid bitmap image: compression 1 is not supported"},
        {"bit count 7", bmp_file(1, 1, 7, 0, {}, {0, 0, 0, 0}), "Invalid bitmap image: bad bit count 7"},
        {"no palette", bmp_file(1, 1, 8, 0, {}, {}), "Invalid bitmap image: truncated palette"},
        {"zero height", bmp_file(1, 0, 24, 0, {}, {}), "Invalid bitmap image: bad image size"},
        {"pixel offset past the end", [&] { bytes f = good; f[10] = 0xFF; f[11] = 0xFF; return f; }(),
         "Invalid bitmap image: truncated pixel data"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        try {
            decode_bmp(r.file);
            ADD_FAILURE() << "decoded";
        } catch (const EInvalidGraphic& e) {
            EXPECT_EQ(string_to_utf8(e.Message()), r.message);
        }
    }
}
