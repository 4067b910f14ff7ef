// Stretch and block-transfer rates of the raster library, single thread, against the platform's compositing
// library on the same pixels in the same run. Run by hand (see README.md).
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Resamplers.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace kq;

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::exit(1);
    }
}

struct size {
    std::int32_t w, h;
};

// Random colours; Opaque makes every alpha 255, otherwise alphas are random.
std::unique_ptr<TCustomBitmap32> random_bitmap(size s, bool opaque, unsigned seed) {
    auto b = std::make_unique<TCustomBitmap32>();
    b->SetSize(s.w, s.h);
    std::mt19937 engine(seed);
    for (std::int32_t i = 0; i < s.w * s.h; ++i)
        b->Bits()[i] = engine() | (opaque ? 0xFF000000u : 0u);
    return b;
}

// The other library works on premultiplied colour: its copy of a source is premultiplied once, outside
// the timing (for opaque images that copy is the same pixels).
std::vector<TColor32> premultiplied(const TCustomBitmap32& b) {
    std::vector<TColor32> out(static_cast<std::size_t>(b.Width()) * static_cast<std::size_t>(b.Height()));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const TColor32 c = b.Bits()[i];
        const std::uint32_t a = c >> 24;
        const auto mul = [a](std::uint32_t v) { return (v * a + 127) / 255; };
        out[i] = a << 24 | mul(c >> 16 & 255) << 16 | mul(c >> 8 & 255) << 8 | mul(c & 255);
    }
    return out;
}

struct pixman_image {
    pixman_image_t* image;
    pixman_image(TColor32* bits, size s)
        : image(pixman_image_create_bits(PIXMAN_a8r8g8b8, s.w, s.h, reinterpret_cast<std::uint32_t*>(bits), s.w * 4)) {}
    ~pixman_image() { pixman_image_unref(image); }
    pixman_image(const pixman_image&) = delete;
    pixman_image& operator=(const pixman_image&) = delete;
};

void set_rate(benchmark::State& state, size dst) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * dst.w * dst.h);
}

// --- Stretches

enum class filter { nearest, bilinear };

void stretch_ours(benchmark::State& state, size from, size to, filter f) {
    const auto src = random_bitmap(from, true, 1);
    TCustomBitmap32 dst;
    dst.SetSize(to.w, to.h);
    const auto run = [&] {
        if (f == filter::nearest)
            StretchNearestNeighbour(&dst, dst.BoundsRect(), dst.BoundsRect(), src.get(), src->BoundsRect(), dmOpaque, {});
        else
            StretchBilinear(&dst, dst.BoundsRect(), dst.BoundsRect(), src.get(), src->BoundsRect(), dmOpaque, {});
    };
    for (auto _ : state) {
        run();
        benchmark::ClobberMemory();
    }
    set_rate(state, to);
}

// The source scaled onto the whole destination with the same filter, edges padded as ours clamp, SRC
// operator (a plain store, as the opaque mode).
void stretch_pixman(benchmark::State& state, size from, size to, filter f) {
    const auto src = random_bitmap(from, true, 1);
    std::vector<TColor32> src_bits = premultiplied(*src), dst_bits(static_cast<std::size_t>(to.w) * to.h);
    const pixman_image s(src_bits.data(), from), d(dst_bits.data(), to);
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(static_cast<double>(from.w) / to.w),
                                pixman_double_to_fixed(static_cast<double>(from.h) / to.h));
    pixman_image_set_transform(s.image, &t);
    pixman_image_set_filter(s.image, f == filter::nearest ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(s.image, PIXMAN_REPEAT_PAD);
    const auto run = [&] { pixman_image_composite32(PIXMAN_OP_SRC, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, to.w, to.h); };
    // An exact enlargement samples the same pixels in both libraries.
    if (f == filter::nearest && to.w % from.w == 0 && to.h % from.h == 0) {
        run();
        TCustomBitmap32 ours;
        ours.SetSize(to.w, to.h);
        StretchNearestNeighbour(&ours, ours.BoundsRect(), ours.BoundsRect(), src.get(), src->BoundsRect(), dmOpaque, {});
        require(std::memcmp(ours.Bits(), dst_bits.data(), dst_bits.size() * 4) == 0, "nearest enlargement");
    }
    for (auto _ : state) {
        run();
        benchmark::ClobberMemory();
    }
    set_rate(state, to);
}

constexpr size full_hd{1920, 1080}, third{640, 360}, small{256, 256}, large{1024, 1024};

void BM_Nearest_ours(benchmark::State& s, size from, size to) { stretch_ours(s, from, to, filter::nearest); }
void BM_Nearest_pixman(benchmark::State& s, size from, size to) { stretch_pixman(s, from, to, filter::nearest); }
void BM_Bilinear_ours(benchmark::State& s, size from, size to) { stretch_ours(s, from, to, filter::bilinear); }
void BM_Bilinear_pixman(benchmark::State& s, size from, size to) { stretch_pixman(s, from, to, filter::bilinear); }

BENCHMARK_CAPTURE(BM_Nearest_ours, shrink_1920x1080_to_640x360, full_hd, third);
BENCHMARK_CAPTURE(BM_Nearest_pixman, shrink_1920x1080_to_640x360, full_hd, third);
BENCHMARK_CAPTURE(BM_Nearest_ours, enlarge_256_to_1024, small, large);
BENCHMARK_CAPTURE(BM_Nearest_pixman, enlarge_256_to_1024, small, large);
BENCHMARK_CAPTURE(BM_Bilinear_ours, shrink_1920x1080_to_640x360, full_hd, third);
BENCHMARK_CAPTURE(BM_Bilinear_pixman, shrink_1920x1080_to_640x360, full_hd, third);
BENCHMARK_CAPTURE(BM_Bilinear_ours, enlarge_256_to_1024, small, large);
BENCHMARK_CAPTURE(BM_Bilinear_pixman, enlarge_256_to_1024, small, large);

// --- Kernel stretches: the whole stretch, and its two weight maps alone

std::unique_ptr<TCustomKernel> kernel_named(const char16_t* name) {
    auto k = create_kernel(name);
    require(k != nullptr, "kernel class");
    return k;
}

void BM_Kernel_stretch(benchmark::State& state, const char16_t* name, size from, size to) {
    const auto kernel = kernel_named(name);
    const auto src = random_bitmap(from, false, 3);
    TCustomBitmap32 dst;
    dst.SetSize(to.w, to.h);
    for (auto _ : state) {
        KernelStretch(&dst, dst.BoundsRect(), dst.BoundsRect(), src.get(), src->BoundsRect(), dmOpaque, {}, *kernel);
        benchmark::ClobberMemory();
    }
    set_rate(state, to);
}

void BM_Kernel_weights(benchmark::State& state, const char16_t* name, size from, size to) {
    const auto kernel = kernel_named(name);
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildWeightMap(0, to.w, 0, to.w, 0, from.w, *kernel));
        benchmark::DoNotOptimize(BuildWeightMap(0, to.h, 0, to.h, 0, from.h, *kernel));
    }
    set_rate(state, to);
}

BENCHMARK_CAPTURE(BM_Kernel_stretch, box_shrink, u"TBoxKernel", full_hd, third);
BENCHMARK_CAPTURE(BM_Kernel_weights, box_shrink, u"TBoxKernel", full_hd, third);
BENCHMARK_CAPTURE(BM_Kernel_stretch, cubic_shrink, u"TCubicKernel", full_hd, third);
BENCHMARK_CAPTURE(BM_Kernel_weights, cubic_shrink, u"TCubicKernel", full_hd, third);
BENCHMARK_CAPTURE(BM_Kernel_stretch, lanczos_shrink, u"TLanczosKernel", full_hd, third);
BENCHMARK_CAPTURE(BM_Kernel_weights, lanczos_shrink, u"TLanczosKernel", full_hd, third);
BENCHMARK_CAPTURE(BM_Kernel_stretch, box_enlarge, u"TBoxKernel", small, large);
BENCHMARK_CAPTURE(BM_Kernel_weights, box_enlarge, u"TBoxKernel", small, large);
BENCHMARK_CAPTURE(BM_Kernel_stretch, cubic_enlarge, u"TCubicKernel", small, large);
BENCHMARK_CAPTURE(BM_Kernel_weights, cubic_enlarge, u"TCubicKernel", small, large);
BENCHMARK_CAPTURE(BM_Kernel_stretch, lanczos_enlarge, u"TLanczosKernel", small, large);
BENCHMARK_CAPTURE(BM_Kernel_weights, lanczos_enlarge, u"TLanczosKernel", small, large);

// --- Block transfers on a full frame

struct block_data {
    std::unique_ptr<TCustomBitmap32> src = random_bitmap(full_hd, false, 5), dst = random_bitmap(full_hd, false, 6);
    std::vector<TColor32> under{dst->Bits(), dst->Bits() + full_hd.w * full_hd.h};
    std::vector<TColor32> src_premultiplied = premultiplied(*src);
    void reset() { std::memcpy(dst->Bits(), under.data(), under.size() * 4); }
};

void BM_BlockBlend_ours(benchmark::State& state, std::uint32_t master) {
    block_data d;
    d.src->SetMasterAlpha(master);
    for (auto _ : state) {
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
        CopyBlock(d.dst.get(), 0, 0, d.dst->BoundsRect(), d.src.get(), d.src->BoundsRect(), dmBlend);
        benchmark::ClobberMemory();
    }
    set_rate(state, full_hd);
}

// OVER of the premultiplied source, through a solid mask of the master alpha below 255.
void BM_BlockBlend_pixman(benchmark::State& state, std::uint32_t master) {
    block_data d;
    const pixman_image s(d.src_premultiplied.data(), full_hd), t(d.dst->Bits(), full_hd);
    const pixman_color_t alpha{0, 0, 0, static_cast<std::uint16_t>(master * 257)};
    pixman_image_t* mask = master < 255 ? pixman_image_create_solid_fill(&alpha) : nullptr;
    for (auto _ : state) {
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
        pixman_image_composite32(PIXMAN_OP_OVER, s.image, mask, t.image, 0, 0, 0, 0, 0, 0, full_hd.w, full_hd.h);
        benchmark::ClobberMemory();
    }
    if (mask)
        pixman_image_unref(mask);
    set_rate(state, full_hd);
}

BENCHMARK_CAPTURE(BM_BlockBlend_ours, master_255, 255u);
BENCHMARK_CAPTURE(BM_BlockBlend_pixman, master_255, 255u);
BENCHMARK_CAPTURE(BM_BlockBlend_ours, master_128, 128u);
BENCHMARK_CAPTURE(BM_BlockBlend_pixman, master_128, 128u);

void BM_BlockCopy_ours(benchmark::State& state) {
    block_data d;
    for (auto _ : state) {
        CopyBlock(d.dst.get(), 0, 0, d.dst->BoundsRect(), d.src.get(), d.src->BoundsRect(), dmOpaque);
        benchmark::ClobberMemory();
    }
    require(std::memcmp(d.dst->Bits(), d.src->Bits(), d.under.size() * 4) == 0, "opaque copy");
    set_rate(state, full_hd);
}

void BM_BlockCopy_memcpy(benchmark::State& state) {
    block_data d;
    for (auto _ : state) {
        std::memcpy(d.dst->Bits(), d.src->Bits(), d.under.size() * 4);
        benchmark::ClobberMemory();
    }
    set_rate(state, full_hd);
}

BENCHMARK(BM_BlockCopy_ours);
BENCHMARK(BM_BlockCopy_memcpy);

} // namespace

int main(int argc, char** argv) {
    kq::graphics_startup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kq::graphics_shutdown();
    return 0;
}
