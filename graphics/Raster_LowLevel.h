#pragma once
// Words, clamps, fills and moves.
#include "graphics/Raster.h"

#include <cstdint>

namespace kq {

// --- Words

using fill_dwords_proc = void (*)(std::uint32_t* dst, std::int32_t count, std::uint32_t value);
// Count <= 0 writes nothing. Bound at start-up (registry "Raster_LowLevel bindings", function 0).
extern fill_dwords_proc FillDwords;
constexpr std::int32_t FID_FILLDWORDS = 0;

// Copies forward, from the lowest address up: for separate ranges or a destination below the source.
void MoveDwords(const std::uint32_t* src, std::uint32_t* dst, std::int32_t count);

void SwapValues(std::int32_t& a, std::int32_t& b);
template <class T>
void SwapValues(T*& a, T*& b) {
    T* t = a;
    a = b;
    b = t;
}
void SortPair(std::int32_t& a, std::int32_t& b);
bool ClipSpan(std::int32_t& a, std::int32_t& b, std::int32_t start, std::int32_t stop);

// --- Clamping

std::int32_t ClampByte(std::int32_t v);
// With Min > Max the result is Max.
std::int32_t ClampToRange(std::int32_t v, std::int32_t min, std::int32_t max);
std::int32_t ConstrainUnordered(std::int32_t v, std::int32_t b1, std::int32_t b2);
std::int32_t ClampUpTo(std::int32_t v, std::int32_t max);
std::int32_t MaxOf3(std::int32_t a, std::int32_t b, std::int32_t c);
std::int32_t MinOf3(std::int32_t a, std::int32_t b, std::int32_t c);

// --- Wrapping (the bitmap's WrapMode). An empty range (Max < Min) gives Max, as ClampToRange does.

using TWrapProcEx = std::int32_t (*)(std::int32_t value, std::int32_t min, std::int32_t max);

std::int32_t WrapInt(std::int32_t v, std::int32_t min, std::int32_t max);
std::int32_t MirrorInt(std::int32_t v, std::int32_t min, std::int32_t max);
// Valid when Max - Min + 1 is a power of two.
std::int32_t WrapMask(std::int32_t v, std::int32_t min, std::int32_t max);
std::int32_t MirrorMask(std::int32_t v, std::int32_t min, std::int32_t max);
// Max must be positive; anything else returns V unchanged.
float WrapFloat(float v, float max);

TWrapProcEx BestWrapFunc(std::int32_t min, std::int32_t max);
TWrapProcEx BestMirrorFunc(std::int32_t min, std::int32_t max);
TWrapProcEx WrapFuncFor(TWrapMode mode);
TWrapProcEx WrapFuncForRange(TWrapMode mode, std::int32_t min, std::int32_t max);

// V div 255 for V in 0..66298.
constexpr std::uint32_t DivBy255(std::uint32_t v) {
    return (v * 32897) >> 23;
}
constexpr std::int32_t Shift8Right(std::int32_t v) {
    return v >> 8;
}
constexpr std::int32_t Shift9Right(std::int32_t v) {
    return v >> 9;
}

// The registered forms of FillDwords, in registration order (also for tests and benchmarks).
void fill_dwords_portable(std::uint32_t* dst, std::int32_t count, std::uint32_t value);
void fill_dwords_store_run(std::uint32_t* dst, std::int32_t count, std::uint32_t value);
void fill_dwords_mmx(std::uint32_t* dst, std::int32_t count, std::uint32_t value);
void fill_dwords_sse2(std::uint32_t* dst, std::int32_t count, std::uint32_t value);

void RegisterFillBindings();
void Raster_LowLevel_startup();

} // namespace kq
