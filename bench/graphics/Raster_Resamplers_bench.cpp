// Stretch and block-transfer rates of the raster library, single thread, against the platform's compositing
// library on the same pixels in the same run. Run by hand (see README.md).
#include "bench/Paired.h"
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Resamplers.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
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

// Largest difference of any channel between two pixel arrays.
int max_difference(const TColor32* a, const TColor32* b, std::size_t n, TColor32 mask = 0xFFFFFFFF) {
    int worst = 0;
    for (std::size_t i = 0; i < n; ++i)
        for (int s = 0; s < 32; s += 8)
            if (mask >> s & 255)
                worst = std::max(worst, std::abs(static_cast<int>(a[i] >> s & 255) - static_cast<int>(b[i] >> s & 255)));
    return worst;
}

// --- Stretches: ours and the peer's alternating in one loop (bench/Paired.h), after both were compared

enum class filter { nearest, bilinear };

// Our stretch and the peer's scaled onto the whole destination with the same filter, edges padded as ours
// clamp, SRC operator (a plain store, as the opaque mode). Both sample the same source positions: the
// peer maps a destination pixel's centre, ours (nearest) its left edge, so the peer's transform is moved
// by half a destination pixel for the nearest filter. Bilinear weights have 7 bits in the peer and 8 in
// ours, so those results may differ by the rounding (the tolerance below, stated in README.md).
constexpr int bilinear_tolerance = 2;

void BM_StretchRatio(benchmark::State& state, size from, size to, filter f) {
    const auto src = random_bitmap(from, true, 1);
    TCustomBitmap32 dst;
    dst.SetSize(to.w, to.h);
    std::vector<TColor32> src_bits = premultiplied(*src), dst_bits(static_cast<std::size_t>(to.w) * to.h);
    const pixman_image s(src_bits.data(), from), d(dst_bits.data(), to);
    const double sx = static_cast<double>(from.w) / to.w, sy = static_cast<double>(from.h) / to.h;
    pixman_transform_t t;
    pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
    if (f == filter::nearest) {
        // The peer floors just below its sample point; two fixed-point steps past the edge land on it.
        t.matrix[0][2] = pixman_double_to_fixed(-sx / 2) + 2;
        t.matrix[1][2] = pixman_double_to_fixed(-sy / 2) + 2;
    }
    pixman_image_set_transform(s.image, &t);
    pixman_image_set_filter(s.image, f == filter::nearest ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR, nullptr, 0);
    pixman_image_set_repeat(s.image, PIXMAN_REPEAT_PAD);
    const auto ours = [&] {
        if (f == filter::nearest)
            StretchNearestNeighbour(&dst, dst.BoundsRect(), dst.BoundsRect(), src.get(), src->BoundsRect(), dmOpaque, {});
        else
            StretchBilinear(&dst, dst.BoundsRect(), dst.BoundsRect(), src.get(), src->BoundsRect(), dmOpaque, {});
    };
    const auto peer = [&] { pixman_image_composite32(PIXMAN_OP_SRC, s.image, nullptr, d.image, 0, 0, 0, 0, 0, 0, to.w, to.h); };
    ours();
    peer();
    const int difference = max_difference(dst.Bits(), dst_bits.data(), dst_bits.size());
    require(difference <= (f == filter::nearest ? 0 : bilinear_tolerance), "stretch against the peer's");
    bench::paired(state, [] {}, ours, peer);
    state.counters["max_difference"] = difference;
    set_rate(state, to);
}

constexpr size full_hd{1920, 1080}, third{640, 360}, small{256, 256}, large{1024, 1024}, two_fifths{768, 432};

BENCHMARK_CAPTURE(BM_StretchRatio, nearest_shrink_1920x1080_to_640x360, full_hd, third, filter::nearest)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_StretchRatio, nearest_enlarge_256_to_1024, small, large, filter::nearest)->KQ_SPREAD;
// The bilinear shrink's headline is 768 x 432, where every weight is fractional; the exact 3:1 shrink
// places each sample on a source pixel (row weight 256) and is the extra case.
BENCHMARK_CAPTURE(BM_StretchRatio, bilinear_shrink_1920x1080_to_768x432, full_hd, two_fifths, filter::bilinear)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_StretchRatio, bilinear_shrink_exact_3to1_extra_1920x1080_to_640x360, full_hd, third,
                  filter::bilinear)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_StretchRatio, bilinear_enlarge_256_to_1024, small, large, filter::bilinear)->KQ_SPREAD;

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

// The blend: ours straight alpha, the peer's OVER of the source premultiplied once (outside the timing),
// through a solid mask of the master alpha below 255. Colour agrees within 2 (ours divides by 256 where the
// peer divides by 255), within 3 with the master alpha; the alpha channel is compared at 255 only (the
// master-alpha form interpolates alpha where OVER accumulates it).
void BM_BlockBlendRatio(benchmark::State& state, std::uint32_t master) {
    block_data ours_data, peer_data;
    ours_data.src->SetMasterAlpha(master);
    const pixman_image s(peer_data.src_premultiplied.data(), full_hd), t(peer_data.dst->Bits(), full_hd);
    const pixman_color_t alpha{0, 0, 0, static_cast<std::uint16_t>(master * 257)};
    pixman_image_t* mask = master < 255 ? pixman_image_create_solid_fill(&alpha) : nullptr;
    const auto ours = [&] {
        CopyBlock(ours_data.dst.get(), 0, 0, ours_data.dst->BoundsRect(), ours_data.src.get(),
                  ours_data.src->BoundsRect(), dmBlend);
    };
    const auto peer = [&] {
        pixman_image_composite32(PIXMAN_OP_OVER, s.image, mask, t.image, 0, 0, 0, 0, 0, 0, full_hd.w, full_hd.h);
    };
    ours();
    peer();
    require(max_difference(ours_data.dst->Bits(), peer_data.dst->Bits(), ours_data.under.size(),
                           master < 255 ? 0x00FFFFFF : 0xFFFFFFFF) <= (master < 255 ? 3 : 2),
            "block blend against OVER");
    bench::paired(
        state, [&] { ours_data.reset(); }, [&] { peer_data.reset(); }, ours, peer);
    if (mask)
        pixman_image_unref(mask);
    set_rate(state, full_hd);
}

BENCHMARK_CAPTURE(BM_BlockBlendRatio, master_255, 255u)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_BlockBlendRatio, master_128, 128u)->KQ_SPREAD;

void BM_BlockCopyRatio_memcpy(benchmark::State& state) {
    block_data d;
    const auto ours = [&] { CopyBlock(d.dst.get(), 0, 0, d.dst->BoundsRect(), d.src.get(), d.src->BoundsRect(), dmOpaque); };
    ours();
    require(std::memcmp(d.dst->Bits(), d.src->Bits(), d.under.size() * 4) == 0, "opaque copy");
    bench::paired(state, [] {}, ours, [&] { std::memcpy(d.dst->Bits(), d.src->Bits(), d.under.size() * 4); });
    set_rate(state, full_hd);
}

BENCHMARK(BM_BlockCopyRatio_memcpy)->KQ_SPREAD;

} // namespace

int main(int argc, char** argv) {
    kq::graphics_startup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    kq::graphics_shutdown();
    return 0;
}
