// Fill and blend rates of the pixel core on a 1920 x 1080 frame, single thread, against the platform's
// compositing library on the same data. Run by hand (see README.md); every pair of routines is checked
// against the other before it is timed, so both sides do equivalent work.
#include "graphics/Raster.h"
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_System.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
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

enum class image_kind { random_alpha, skin_like };

// Random alpha: every alpha equally likely. Skin-like: mostly opaque, some transparent, a few soft edges.
void fill_image(TColor32* p, image_kind kind, unsigned seed) {
    std::mt19937 engine(seed);
    for (std::size_t i = 0; i < frame_pixels; ++i) {
        TColor32 c = engine() & 0x00FFFFFF;
        std::uint32_t a = engine() & 255;
        if (kind == image_kind::skin_like) {
            const std::uint32_t r = engine() % 100;
            a = r < 85 ? 255 : r < 95 ? 0 : a;
        }
        p[i] = c | a << 24;
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

BENCHMARK(BM_Fill_memset);
BENCHMARK(BM_Fill_pixman);
BENCHMARK(BM_FillDwords_bound);
BENCHMARK(BM_FillDwords_mmx);
BENCHMARK(BM_FillDwords_store_run);
BENCHMARK(BM_FillDwords_portable);
BENCHMARK_CAPTURE(BM_BlendRow, random_sse2, image_kind::random_alpha, with_sse2);
BENCHMARK_CAPTURE(BM_BlendRow_pixman, random, image_kind::random_alpha);
BENCHMARK_CAPTURE(BM_BlendRow, skin_sse2, image_kind::skin_like, with_sse2);
BENCHMARK_CAPTURE(BM_BlendRow_pixman, skin, image_kind::skin_like);
BENCHMARK_CAPTURE(BM_BlendRow, random_no_extensions, image_kind::random_alpha, no_extensions);
BENCHMARK_CAPTURE(BM_BlendRowAlpha, random_sse2, image_kind::random_alpha, with_sse2);
BENCHMARK_CAPTURE(BM_BlendRowAlpha_pixman, random, image_kind::random_alpha);
BENCHMARK_CAPTURE(BM_BlendRowAlpha, skin_sse2, image_kind::skin_like, with_sse2);
BENCHMARK_CAPTURE(BM_BlendRowAlpha_pixman, skin, image_kind::skin_like);
BENCHMARK_CAPTURE(BM_BlendRowAlpha, random_no_extensions, image_kind::random_alpha, no_extensions);
BENCHMARK_CAPTURE(BM_CombineRow, sse2, with_sse2);
BENCHMARK_CAPTURE(BM_CombineRow, no_extensions, no_extensions);
BENCHMARK_CAPTURE(BM_MergeRow, random, image_kind::random_alpha);
BENCHMARK_CAPTURE(BM_MergeRow, skin, image_kind::skin_like);

int main(int argc, char** argv) {
    graphics_startup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    graphics_shutdown();
    return 0;
}
