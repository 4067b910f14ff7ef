// Fill and blend rates of the pixel core on a 1920 x 1080 frame, single thread, against the platform's
// compositing library on the same data. Run by hand (see README.md); every pair of routines is checked
// against the other before it is timed, so both sides do equivalent work.
#include "bench/Paired.h"
#include "graphics/Raster.h"
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_System.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace kq;

constexpr int frame_width = 1920, frame_height = 1080;
constexpr std::size_t frame_pixels = std::size_t{frame_width} * frame_height;

// 16-byte aligned pixel storage.
struct frame {
    std::vector<TColor32> pixels = std::vector<TColor32>(frame_pixels + 4);
    TColor32* data() {
        const auto misalignment = reinterpret_cast<std::uintptr_t>(pixels.data()) & 15;
        return pixels.data() + ((16 - misalignment) & 15) / 4;
    }
};

enum class image_kind { coherent, skin, random_alpha };

// Coherent: runs of 16 to 256 pixels of one alpha, half of them opaque, a third transparent, the rest one
// soft alpha each, as skin images have opaque areas, transparent areas and soft edges. Skin: drawn by
// draw_skin below. Random: every alpha equally likely, pixel by pixel, the worst case of any short cut
// (kept as an extra, not a skin).
void draw_skin(TColor32* p);

void fill_image(TColor32* p, image_kind kind, unsigned seed) {
    std::mt19937 engine(seed);
    if (kind == image_kind::skin) {
        draw_skin(p);
        return;
    }
    std::uint32_t run = 0, run_alpha = 0;
    for (std::size_t i = 0; i < frame_pixels; ++i) {
        const TColor32 c = engine() & 0x00FFFFFF;
        std::uint32_t a = engine() & 255;
        if (kind == image_kind::coherent) {
            if (run == 0) {
                run = 16 + engine() % 241;
                const std::uint32_t r = engine() % 100;
                run_alpha = r < 50 ? 255 : r < 83 ? 0 : 1 + engine() % 254;
            }
            --run;
            a = run_alpha;
        }
        p[i] = c | a << 24;
    }
}

// A screen of controls as the skin library draws them: rounded panels and buttons with a soft shadow,
// anti-aliased edges, a translucent gloss on their upper part and transparent gaps between them.
void draw_skin(TColor32* p) {
    std::fill(p, p + frame_pixels, 0u);
    struct box { int x, y, w, h, radius; TColor32 top, bottom; };
    std::vector<box> boxes;
    std::mt19937 engine(11u);
    for (int y = 8; y + 40 < frame_height; y += 0) {
        const int h = 26 + static_cast<int>(engine() % 90);
        for (int x = 8; x + 40 < frame_width;) {
            const int w = 60 + static_cast<int>(engine() % 300);
            if (x + w < frame_width && y + h < frame_height)
                boxes.push_back({x, y, w, h, 4 + static_cast<int>(engine() % 10), static_cast<TColor32>(engine() & 0x00FFFFFF),
                                 static_cast<TColor32>(engine() & 0x00FFFFFF)});
            x += w + 10 + static_cast<int>(engine() % 30);
        }
        y += h + 12 + static_cast<int>(engine() % 20);
    }
    const auto clamp01 = [](double v) { return std::clamp(v, 0.0, 1.0); };
    for (const box& b : boxes) {
        // Distance to the rounded rectangle: negative inside.
        const auto distance = [&](double px, double py) {
            const double cx = b.x + b.w / 2.0, cy = b.y + b.h / 2.0;
            const double qx = std::abs(px - cx) - (b.w / 2.0 - b.radius), qy = std::abs(py - cy) - (b.h / 2.0 - b.radius);
            return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - b.radius;
        };
        for (int y = b.y - 6; y < b.y + b.h + 8; ++y)
            for (int x = b.x - 6; x < b.x + b.w + 8; ++x) {
                if (x < 0 || y < 0 || x >= frame_width || y >= frame_height)
                    continue;
                TColor32& pixel = p[static_cast<std::size_t>(y) * frame_width + static_cast<std::size_t>(x)];
                const double d = distance(x + 0.5, y + 0.5);
                const double coverage = clamp01(0.5 - d);
                if (coverage <= 0) {
                    // Shadow below and right of the box, fading over six pixels.
                    const double shadow = 0.35 * clamp01(1 - distance(x - 2.5, y - 3.5) / 6);
                    if (shadow > 0 && (pixel >> 24) == 0)
                        pixel = static_cast<TColor32>(shadow * 255 + 0.5) << 24 | 0x101010;
                    continue;
                }
                const double t = (y - b.y) / static_cast<double>(b.h);
                const auto mix = [&](int shift) {
                    const double top = b.top >> shift & 255, bottom = b.bottom >> shift & 255;
                    double v = top + (bottom - top) * t;
                    if (t < 0.4) // gloss
                        v += (255 - v) * 0.3;
                    return static_cast<TColor32>(v) << shift;
                };
                const TColor32 colour = mix(16) | mix(8) | mix(0);
                // Panels (tall boxes) are opaque; buttons are slightly translucent glass.
                const double body = b.h > 80 ? 1.0 : 0.85;
                pixel = static_cast<TColor32>(coverage * body * 255 + 0.5) << 24 | colour;
            }
    }
}

// The other library blends premultiplied colour; the same "over" on straight colour is its OVER with the
// source premultiplied once beforehand (outside the timing).
void premultiply(const TColor32* src, TColor32* dst) {
    for (std::size_t i = 0; i < frame_pixels; ++i) {
        const std::uint32_t a = src[i] >> 24;
        const auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        dst[i] = a << 24 | mul(src[i] >> 16 & 255) << 16 | mul(src[i] >> 8 & 255) << 8 | mul(src[i] & 255);
    }
}

struct pixman_frame {
    pixman_image_t* image;
    explicit pixman_frame(TColor32* bits)
        : image(pixman_image_create_bits(PIXMAN_a8r8g8b8, frame_width, frame_height, bits, frame_width * 4)) {}
    ~pixman_frame() { pixman_image_unref(image); }
    pixman_frame(const pixman_frame&) = delete;
    pixman_frame& operator=(const pixman_frame&) = delete;
};

// Largest per-channel difference over the channels in Mask (bytes of a pixel).
int max_difference(const TColor32* a, const TColor32* b, TColor32 mask) {
    int worst = 0;
    for (std::size_t i = 0; i < frame_pixels; ++i)
        for (int s = 0; s < 32; s += 8)
            if (mask >> s & 255)
                worst = std::max(worst, std::abs(static_cast<int>(a[i] >> s & 255) - static_cast<int>(b[i] >> s & 255)));
    return worst;
}

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::exit(1);
    }
}

// Binds every registry as on a processor with these features for the life of the object.
struct binding {
    TCPUFeatures saved = ProcessorFeatures;
    explicit binding(TCPUFeatures features) { bind(features); }
    ~binding() { bind(saved); }
    static void bind(TCPUFeatures features) {
        ProcessorFeatures = features;
        for (const auto& r : FunctionRegistries())
            r->RebindAll();
    }
};

const TCPUFeatures no_extensions{};
const TCPUFeatures with_sse2{ciMMX, ciEMMX, ciSSE, ciSSE2};

void set_rate(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(frame_pixels));
}

// --- Fill

constexpr TColor32 fill_value = 0x7F7F7F7F; // one byte repeated, so memset writes the same bytes

void fill_bench(benchmark::State& state, fill_dwords_proc fill) {
    frame f;
    fill(f.data(), static_cast<std::int32_t>(frame_pixels), fill_value);
    require(std::all_of(f.data(), f.data() + frame_pixels, [](TColor32 p) { return p == fill_value; }), "fill");
    for (auto _ : state) {
        fill(f.data(), static_cast<std::int32_t>(frame_pixels), fill_value);
        benchmark::ClobberMemory();
    }
    set_rate(state);
}

void BM_FillDwords_bound(benchmark::State& state) { fill_bench(state, FillDwords); }
void BM_FillDwords_portable(benchmark::State& state) { fill_bench(state, fill_dwords_portable); }
void BM_FillDwords_store_run(benchmark::State& state) { fill_bench(state, fill_dwords_store_run); }
void BM_FillDwords_mmx(benchmark::State& state) { fill_bench(state, fill_dwords_mmx); }

void BM_Fill_memset(benchmark::State& state) {
    frame f;
    for (auto _ : state) {
        std::memset(f.data(), 0x7F, frame_pixels * 4);
        benchmark::ClobberMemory();
    }
    set_rate(state);
}

void BM_Fill_pixman(benchmark::State& state) {
    frame f;
    pixman_fill(reinterpret_cast<std::uint32_t*>(f.data()), frame_width, 32, 0, 0, frame_width, frame_height, fill_value);
    require(std::all_of(f.data(), f.data() + frame_pixels, [](TColor32 p) { return p == fill_value; }), "pixman fill");
    for (auto _ : state) {
        pixman_fill(reinterpret_cast<std::uint32_t*>(f.data()), frame_width, 32, 0, 0, frame_width, frame_height, fill_value);
        benchmark::ClobberMemory();
    }
    set_rate(state);
}

// --- Blending rows

struct blend_data {
    frame src, src_premultiplied, dst, work, check;
    explicit blend_data(image_kind kind) {
        fill_image(src.data(), kind, 1);
        fill_image(dst.data(), image_kind::random_alpha, 2);
        premultiply(src.data(), src_premultiplied.data());
    }
    void reset() { std::memcpy(work.data(), dst.data(), frame_pixels * 4); }
};

template <class Row>
void rows_bench(benchmark::State& state, blend_data& d, Row row) {
    for (auto _ : state) {
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
        for (int y = 0; y < frame_height; ++y)
            row(d.src.data() + std::size_t{frame_width} * y, d.work.data() + std::size_t{frame_width} * y, frame_width);
        benchmark::ClobberMemory();
    }
    set_rate(state);
}

void pixman_over(blend_data& d, pixman_image_t* mask) {
    const pixman_frame src(d.src_premultiplied.data()), dst(d.work.data());
    pixman_image_composite32(PIXMAN_OP_OVER, src.image, mask, dst.image, 0, 0, 0, 0, 0, 0, frame_width, frame_height);
}

// Our "over" and the other library's OVER agree up to rounding (ours divides by 256 where it divides by 255).
void check_over(blend_data& d) {
    d.reset();
    BlendRow(d.src.data(), d.work.data(), static_cast<std::int32_t>(frame_pixels));
    std::memcpy(d.check.data(), d.work.data(), frame_pixels * 4);
    d.reset();
    pixman_over(d, nullptr);
    require(max_difference(d.work.data(), d.check.data(), 0xFFFFFFFF) <= 2, "over against OVER");
}

void BM_BlendRow(benchmark::State& state, image_kind kind, TCPUFeatures features) {
    blend_data d(kind);
    check_over(d);
    const binding b(features);
    rows_bench(state, d, [](const TColor32* s, TColor32* t, std::int32_t n) { BlendRow(s, t, n); });
}

void BM_BlendRow_pixman(benchmark::State& state, image_kind kind) {
    blend_data d(kind);
    check_over(d);
    for (auto _ : state) {
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
        pixman_over(d, nullptr);
        benchmark::ClobberMemory();
    }
    set_rate(state);
}

// Master alpha 128: our interpolation of the colour equals OVER through a mask of 128 (the alphas differ on
// purpose: ours interpolates alpha as well), so only the colour channels are compared.
constexpr std::int32_t master = 128;

pixman_image_t* master_mask() {
    const pixman_color_t alpha{0, 0, 0, static_cast<std::uint16_t>(master * 257)};
    return pixman_image_create_solid_fill(&alpha);
}

void check_master(blend_data& d) {
    d.reset();
    BlendRowAlpha(d.src.data(), d.work.data(), static_cast<std::int32_t>(frame_pixels), master);
    std::memcpy(d.check.data(), d.work.data(), frame_pixels * 4);
    d.reset();
    pixman_image_t* mask = master_mask();
    pixman_over(d, mask);
    pixman_image_unref(mask);
    require(max_difference(d.work.data(), d.check.data(), 0x00FFFFFF) <= 3, "master alpha against masked OVER");
}

void BM_BlendRowAlpha(benchmark::State& state, image_kind kind, TCPUFeatures features) {
    blend_data d(kind);
    check_master(d);
    const binding b(features);
    rows_bench(state, d, [](const TColor32* s, TColor32* t, std::int32_t n) { BlendRowAlpha(s, t, n, master); });
}

void BM_BlendRowAlpha_pixman(benchmark::State& state, image_kind kind) {
    blend_data d(kind);
    check_master(d);
    pixman_image_t* mask = master_mask();
    for (auto _ : state) {
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
        pixman_over(d, mask);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(mask);
    set_rate(state);
}

// --- Ratios taken side by side (bench/Paired.h): the counter "ratio" is our time over the peer's.

using bench::paired;

// Each side fills the frame from zeros once before the timing and must leave every pixel at the value;
// after the timed passes the frame (last written by either side) must still hold it everywhere.
template <class Ours, class Peer>
void fill_ratio(benchmark::State& state, frame& f, Ours ours, Peer peer) {
    const auto filled = [&] { return std::all_of(f.data(), f.data() + frame_pixels, [](TColor32 p) { return p == fill_value; }); };
    std::memset(f.data(), 0, frame_pixels * 4);
    ours();
    require(filled(), "our fill");
    std::memset(f.data(), 0, frame_pixels * 4);
    peer();
    require(filled(), "peer's fill");
    paired(state, [] {}, ours, peer);
    require(filled(), "fill after the timing");
}

void BM_FillRatio_pixman(benchmark::State& state) {
    frame f;
    fill_ratio(
        state, f, [&] { FillDwords(f.data(), static_cast<std::int32_t>(frame_pixels), fill_value); },
        [&] {
            pixman_fill(reinterpret_cast<std::uint32_t*>(f.data()), frame_width, 32, 0, 0, frame_width, frame_height,
                        fill_value);
        });
}

void BM_FillRatio_memset(benchmark::State& state) {
    frame f;
    fill_ratio(
        state, f, [&] { FillDwords(f.data(), static_cast<std::int32_t>(frame_pixels), fill_value); },
        [&] { std::memset(f.data(), 0x7F, frame_pixels * 4); });
}

void BM_OverRatio_pixman(benchmark::State& state, image_kind kind) {
    blend_data d(kind);
    check_over(d);
    const binding b(with_sse2);
    paired(
        state, [&] { d.reset(); },
        [&] {
            for (int y = 0; y < frame_height; ++y)
                BlendRow(d.src.data() + std::size_t{frame_width} * y, d.work.data() + std::size_t{frame_width} * y,
                         frame_width);
        },
        [&] { pixman_over(d, nullptr); });
}

void BM_CombineRow(benchmark::State& state, TCPUFeatures features) {
    blend_data d(image_kind::random_alpha);
    const binding b(features);
    rows_bench(state, d, [](const TColor32* s, TColor32* t, std::int32_t n) { CombineRow(s, t, n, 100); });
}

void BM_MergeRow(benchmark::State& state, image_kind kind) {
    blend_data d(kind);
    rows_bench(state, d, [](const TColor32* s, TColor32* t, std::int32_t n) { MergeRow(s, t, n); });
}

} // namespace

BENCHMARK(BM_FillRatio_pixman)->KQ_SPREAD;
BENCHMARK(BM_FillRatio_memset)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_OverRatio_pixman, coherent, image_kind::coherent)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_OverRatio_pixman, skin, image_kind::skin)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_OverRatio_pixman, random_extra, image_kind::random_alpha)->KQ_SPREAD;
BENCHMARK(BM_Fill_memset)->KQ_SPREAD;
BENCHMARK(BM_Fill_pixman)->KQ_SPREAD;
BENCHMARK(BM_FillDwords_bound)->KQ_SPREAD;
BENCHMARK(BM_FillDwords_mmx)->KQ_SPREAD;
BENCHMARK(BM_FillDwords_store_run)->KQ_SPREAD;
BENCHMARK(BM_FillDwords_portable)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRow, coherent_sse2, image_kind::coherent, with_sse2)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRow_pixman, coherent, image_kind::coherent)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRow, skin_sse2, image_kind::skin, with_sse2)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRow_pixman, skin, image_kind::skin)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRow, random_extra_sse2, image_kind::random_alpha, with_sse2)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRow_pixman, random_extra, image_kind::random_alpha)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRow, coherent_no_extensions, image_kind::coherent, no_extensions)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRowAlpha, coherent_sse2, image_kind::coherent, with_sse2)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRowAlpha_pixman, coherent, image_kind::coherent)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRowAlpha, random_extra_sse2, image_kind::random_alpha, with_sse2)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRowAlpha_pixman, random_extra, image_kind::random_alpha)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlendRowAlpha, coherent_no_extensions, image_kind::coherent, no_extensions)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_CombineRow, sse2, with_sse2)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_CombineRow, no_extensions, no_extensions)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MergeRow, coherent, image_kind::coherent)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MergeRow, random_extra, image_kind::random_alpha)->KQ_SPREAD;

// --dump-skin=FILE writes the skin image over a grey checkerboard as a PPM, to look at it.
bool dump_skin(int argc, char** argv) {
    const std::string option = "--dump-skin=";
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind(option, 0) != 0)
            continue;
        frame f;
        draw_skin(f.data());
        std::FILE* out = std::fopen(arg.substr(option.size()).c_str(), "wb");
        if (!out)
            return true;
        std::fprintf(out, "P6 %d %d 255\n", frame_width, frame_height);
        for (std::size_t i = 0; i < frame_pixels; ++i) {
            const TColor32 c = f.data()[i];
            const std::uint32_t a = c >> 24;
            const std::uint32_t board = ((i % frame_width / 16) + (i / frame_width / 16)) % 2 ? 200 : 150;
            for (int shift : {16, 8, 0})
                std::fputc(static_cast<int>(((c >> shift & 255) * a + board * (255 - a)) / 255), out);
        }
        std::fclose(out);
        return true;
    }
    return false;
}

int main(int argc, char** argv) {
    if (dump_skin(argc, argv))
        return 0;
    graphics_startup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    graphics_shutdown();
    return 0;
}
