// Mask filter rates at 4 KB, 256 KB and 64 MB of pixels against memcpy of the same bytes and a plain
// loop, in GB/s of destination written. Run by hand (README.md).
#include "graphics/Raster.h"
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Filters.h"
#include "graphics/Raster_System.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace kq;

constexpr TColor32 mask = 0x00FFFFFF;

// Each registered form of a routine, by its place in the registry.
template <class Proc>
Proc form_of(std::int32_t id, int index) {
    for (const auto& registry : FunctionRegistries()) {
        if (registry->Name() != u"Raster_Filters bindings")
            continue;
        for (std::int32_t i = 0; i < registry->Count(); ++i)
            if (registry->GetItems(i)->FunctionID == id && index-- == 0)
                return reinterpret_cast<Proc>(registry->GetItems(i)->Proc);
    }
    std::abort();
}

struct buffers {
    std::vector<TColor32> src, dst;
    explicit buffers(std::int64_t bytes) : src(static_cast<std::size_t>(bytes / 4), 0x80402010), dst(src.size()) {}
    std::int32_t count() const { return static_cast<std::int32_t>(src.size()); }
};

void set_rate(benchmark::State& state, std::int64_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

// The bound routine (proc_index -1) or one registered form.
void BM_MaskCopyAnd(benchmark::State& state, int form) {
    buffers b(state.range(0));
    const mask_copy_proc proc = form < 0 ? MaskCopyAnd : form_of<mask_copy_proc>(FID_MASKCOPYAND, form);
    for (auto _ : state) {
        proc(b.src.data(), b.dst.data(), b.count(), mask);
        benchmark::ClobberMemory();
    }
    set_rate(state, state.range(0));
}

void BM_MaskLineAnd(benchmark::State& state, int form) {
    buffers b(state.range(0));
    const mask_line_proc proc = form < 0 ? MaskLineAnd : form_of<mask_line_proc>(FID_MASKLINEAND, form);
    for (auto _ : state) {
        proc(b.dst.data(), mask, b.count());
        benchmark::ClobberMemory();
    }
    set_rate(state, state.range(0));
}

void BM_memcpy(benchmark::State& state) {
    buffers b(state.range(0));
    for (auto _ : state) {
        std::memcpy(b.dst.data(), b.src.data(), static_cast<std::size_t>(state.range(0)));
        benchmark::ClobberMemory();
    }
    set_rate(state, state.range(0));
}

// What a caller would write without the library: the compiler vectorises it at -O3.
void BM_plain_loop(benchmark::State& state) {
    buffers b(state.range(0));
    for (auto _ : state) {
        const TColor32* s = b.src.data();
        TColor32* d = b.dst.data();
        for (std::int32_t i = 0, n = b.count(); i < n; ++i)
            d[i] = s[i] & mask;
        benchmark::ClobberMemory();
    }
    set_rate(state, state.range(0));
}

double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

} // namespace

#define KQ_SPREAD ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)
#define KQ_SIZES Arg(4 << 10)->Arg(256 << 10)->Arg(64 << 20)

BENCHMARK(BM_memcpy)->KQ_SIZES->KQ_SPREAD;
BENCHMARK(BM_plain_loop)->KQ_SIZES->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MaskCopyAnd, bound, -1)->KQ_SIZES->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MaskCopyAnd, portable, 0)->KQ_SIZES->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MaskCopyAnd, x86, 1)->KQ_SIZES->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MaskCopyAnd, mmx, 2)->KQ_SIZES->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MaskCopyAnd, emmx, 3)->KQ_SIZES->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MaskLineAnd, bound, -1)->KQ_SIZES->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MaskLineAnd, portable, 0)->KQ_SIZES->KQ_SPREAD;

int main(int argc, char** argv) {
    graphics_startup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    graphics_shutdown();
    return 0;
}
