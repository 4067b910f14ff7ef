// Picture files from anywhere: each decoder may only succeed or raise EInvalidGraphic, never read past the
// file or allocate past its pixel limit, and what it decodes is a whole picture that the encoders write
// back to the same pixels. The first byte picks the decoder, so one corpus serves all three.

#include "fuzz/FuzzInput.h"
#include "framework/ImageCodecs.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

using namespace kq;

using fuzz::check;

void check_whole(const raster_image& image) {
    check(image.width > 0 && image.height > 0);
    const auto count = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
    check(count <= max_picture_pixels);
    check(image.pixels.size() == count);
}

void png(std::span<const std::uint8_t> file) {
    png_picture picture;
    try {
        picture = decode_png(file);
    } catch (const EInvalidGraphic&) {
        return;
    }
    check_whole(picture.image);
    const png_picture again = decode_png(encode_png(picture.image, {png_color_type::rgba, false, 1}));
    check(again.image.pixels == picture.image.pixels);
}

void jpeg(std::span<const std::uint8_t> file) {
    raster_image image;
    try {
        image = decode_jpeg(file);
    } catch (const EInvalidGraphic&) {
        return;
    }
    check_whole(image);
    for (const std::uint32_t p : image.pixels) check(p >> 24 == 0xFF);
}

void bmp(std::span<const std::uint8_t> file) {
    bmp_picture picture;
    try {
        picture = decode_bmp(file);
    } catch (const EInvalidGraphic&) {
        return;
    }
    check_whole(picture.image);
    const bmp_picture again = decode_bmp(encode_bmp(picture.image, 32));
    // A 32-bit file whose alpha bytes are all zero reads as opaque.
    for (std::size_t i = 0; i < picture.image.pixels.size(); ++i) {
        const std::uint32_t want = picture.image.pixels[i];
        const std::uint32_t got = again.image.pixels[i];
        check((want & 0xFFFFFFu) == (got & 0xFFFFFFu));
        check(again.has_alpha ? want == got : got >> 24 == 0xFF);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    switch (data[0] % 3) {
    case 0: png(file); break;
    case 1: jpeg(file); break;
    default: bmp(file); break;
    }
    return 0;
}
