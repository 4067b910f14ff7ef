#include "framework/ImageCodecs.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>

namespace kq {

namespace {

// The decoder's errors leave its C frames by longjmp back to the setjmp of the step that was running;
// each step below keeps only trivially destructible locals, so the jump skips no destructor.
struct error_manager {
    jpeg_error_mgr base;
    std::jmp_buf resume;
    char message[JMSG_LENGTH_MAX];
    bool warned;
};

extern "C" void on_error(j_common_ptr info) {
    auto* e = reinterpret_cast<error_manager*>(info->err);
    (*info->err->format_message)(info, e->message);
    std::longjmp(e->resume, 1);
}

// A warning means damaged data (the library would paint the rest grey): remember it as an error.
extern "C" void on_message(j_common_ptr info, int level) {
    auto* e = reinterpret_cast<error_manager*>(info->err);
    if (level < 0 && !e->warned) {
        (*info->err->format_message)(info, e->message);
        e->warned = true;
    }
}

struct decompressor {
    jpeg_decompress_struct info;
    error_manager errors;
    bool created = false;
    ~decompressor() {
        if (created) jpeg_destroy_decompress(&info);
    }
};

bool start(decompressor& d, const uint8_t* data, size_t size) {
    if (setjmp(d.errors.resume)) return false;
    jpeg_create_decompress(&d.info);
    d.created = true;
    jpeg_mem_src(&d.info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&d.info, TRUE);
    d.info.out_color_space = d.info.jpeg_color_space == JCS_CMYK || d.info.jpeg_color_space == JCS_YCCK ? JCS_CMYK
                                                                                                         : JCS_RGB;
    jpeg_calc_output_dimensions(&d.info);
    return true;
}

// Writes packed samples (3 or 4 per pixel) of every row into `samples`.
bool read_rows(decompressor& d, uint8_t* samples, size_t stride) {
    if (setjmp(d.errors.resume)) return false;
    jpeg_start_decompress(&d.info);
    while (d.info.output_scanline < d.info.output_height) {
        JSAMPROW row = samples + static_cast<size_t>(d.info.output_scanline) * stride;
        jpeg_read_scanlines(&d.info, &row, 1);
    }
    jpeg_finish_decompress(&d.info);
    return true;
}

[[noreturn]] void fail(const char* why) {
    throw EInvalidGraphic(utf8_to_string(std::string("Invalid JPEG image: ") + why));
}

} // namespace

raster_image decode_jpeg(std::span<const uint8_t> file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) fail("not a JPEG file");
    decompressor d;
    std::memset(&d.info, 0, sizeof d.info);
    std::memset(&d.errors, 0, sizeof d.errors);
    d.info.err = jpeg_std_error(&d.errors.base);
    d.errors.base.error_exit = on_error;
    d.errors.base.emit_message = on_message;

    if (!start(d, file.data(), file.size())) fail(d.errors.message);
    if (d.errors.warned) fail(d.errors.message);
    const uint64_t pixels = uint64_t{d.info.output_width} * d.info.output_height;
    if (pixels == 0 || pixels > max_picture_pixels) fail("bad image size");
    const int components = d.info.out_color_space == JCS_CMYK ? 4 : 3;
    const size_t stride = static_cast<size_t>(d.info.output_width) * components;
    std::vector<uint8_t> samples(stride * d.info.output_height);
    if (!read_rows(d, samples.data(), stride)) fail(d.errors.message);
    if (d.errors.warned) fail(d.errors.message);

    raster_image image;
    image.width = static_cast<int32_t>(d.info.output_width);
    image.height = static_cast<int32_t>(d.info.output_height);
    image.pixels.resize(static_cast<size_t>(pixels));
    const bool inverted = d.info.saw_Adobe_marker; // Adobe writers store CMYK inverted
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        const uint8_t* s = samples.data() + i * components;
        uint32_t r = s[0], g = s[1], b = s[2];
        if (components == 4) {
            uint32_t k = s[3];
            if (!inverted) {
                r = 255 - r;
                g = 255 - g;
                b = 255 - b;
                k = 255 - k;
            }
            r = r * k / 255;
            g = g * k / 255;
            b = b * k / 255;
        }
        image.pixels[i] = 0xFF000000u | r << 16 | g << 8 | b;
    }
    return image;
}

} // namespace kq
