#pragma once
// The fuzz targets' input reader, their start-up and their assertion.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kq::fuzz {

// Runs a target's start-up step on its first input only (each call site's lambda keeps its own flag).
template <class Step>
void start_once(Step step) {
    static const bool started = (step(), true);
    (void)started;
}

// A fuzz target's assertion: stops the run where it fails, also in builds without asserts.
inline void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Values taken from the fuzzer's bytes in order; past the end they read as zero.
struct input_reader {
    const std::uint8_t* data;
    std::size_t size;

    bool more() const { return size > 0; }
    template <class T>
    T next() {
        T v{};
        const std::size_t n = std::min(size, sizeof v);
        std::memcpy(&v, data, n);
        data += n;
        size -= n;
        return v;
    }
    std::uint8_t byte() { return next<std::uint8_t>(); }
};

} // namespace kq::fuzz
