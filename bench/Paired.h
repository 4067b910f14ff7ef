#pragma once
// Ratios taken side by side: our routine and the peer's alternate within one loop on the same data, so a
// busy machine slows both alike; which side goes first swaps every pass, so neither always finds the
// other's data in the cache. Counters: "ratio" (our time / the peer's, below 1: we are faster), and each
// side's time per pass in microseconds. Benchmarks that use it run with repetitions and report the median
// and the spread (KQ_SPREAD) of each counter.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace kq::bench {

using clock_type = std::chrono::steady_clock;

// Each side's reset runs just before it, outside the timing (so its data is the freshest in the cache).
template <class ResetOurs, class ResetPeer, class Ours, class Peer>
void paired(benchmark::State& state, ResetOurs reset_ours, ResetPeer reset_peer, Ours ours, Peer peer) {
    clock_type::duration ours_time{}, peer_time{};
    const auto timed = [](auto& reset, auto& side, clock_type::duration& total) {
        reset();
        const auto start = clock_type::now();
        side();
        benchmark::ClobberMemory();
        total += clock_type::now() - start;
    };
    bool ours_first = true;
    for (auto _ : state) {
        if (ours_first) {
            timed(reset_ours, ours, ours_time);
            timed(reset_peer, peer, peer_time);
        } else {
            timed(reset_peer, peer, peer_time);
            timed(reset_ours, ours, ours_time);
        }
        ours_first = !ours_first;
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["ratio"] = std::chrono::duration<double>(ours_time) / std::chrono::duration<double>(peer_time);
    state.counters["ours_us"] = std::chrono::duration<double, std::micro>(ours_time).count() / passes;
    state.counters["peer_us"] = std::chrono::duration<double, std::micro>(peer_time).count() / passes;
}

// One reset before either side.
template <class Reset, class Ours, class Peer>
void paired(benchmark::State& state, Reset reset, Ours ours, Peer peer) {
    paired(state, reset, reset, ours, peer);
}

inline double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
inline double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

} // namespace kq::bench

// Every benchmark also reports the smallest and largest of its repetitions: the spread on a shared machine.
#define KQ_SPREAD ComputeStatistics("min", kq::bench::smallest)->ComputeStatistics("max", kq::bench::largest)
