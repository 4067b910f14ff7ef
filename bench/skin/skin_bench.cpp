// The skin library's start-up step reads the program's image store into its image list; the floor for
// that is copying the store's bytes once. Both run side by side in one loop on the same bytes.
#include "graphics/Raster.h"
#include "skin/SkinImageStore.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using namespace kq;

std::vector<std::uint8_t> file_bytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using clock_type = std::chrono::steady_clock;

void BM_StoreReadRatio_memcpy(benchmark::State& state, const char* path) {
    static const bool started = (graphics_startup(), true);
    (void)started;
    const std::vector<std::uint8_t> store = file_bytes(path);
    std::vector<std::uint8_t> copy(store.size());
    clock_type::duration read_time{}, copy_time{};
    for (auto _ : state) {
        auto start = clock_type::now();
        {
            TSkinImageList list(nullptr); // made and filled as the start-up step does
            read_skin_store(store, list);
            benchmark::DoNotOptimize(list.Bitmap(0));
        }
        read_time += clock_type::now() - start;
        start = clock_type::now();
        std::memcpy(copy.data(), store.data(), store.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        copy_time += clock_type::now() - start;
    }
    state.counters["ratio"] =
        std::chrono::duration<double>(read_time).count() / std::chrono::duration<double>(copy_time).count();
    state.counters["MB"] = static_cast<double>(store.size()) / 1e6;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * store.size()));
}

double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

} // namespace

#define KQ_SPREAD ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)

BENCHMARK_CAPTURE(BM_StoreReadRatio_memcpy, KQ, KQ_SKIN_STORE_KQ)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_StoreReadRatio_memcpy, TessaroSetup, KQ_SKIN_STORE_SETUP)->KQ_SPREAD;

BENCHMARK_MAIN();
