#pragma once
// Rounding and fixed-point maths.
#include "graphics/Raster.h"

#include <climits>
#include <cstdint>

namespace kq {

namespace detail {
// Round half to even, the rounding the library's figures assume: the framework's Round, whatever rounding
// mode the processor is in (the vector renderer changes it).
std::int64_t round_half_even(double value);
} // namespace detail

// A 64-bit result clamped into the Integer range: coordinates moved or grown near its ends stay ordered.
constexpr std::int32_t saturate(std::int64_t v) {
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<std::int32_t>(v);
}

// Computed in 64 bits, so values near the ends of the range do not overflow.
constexpr std::int32_t FixedToIntDown(TFixed a) {
    return a >> 16;
}
constexpr std::int32_t FixedToIntUp(TFixed a) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(a) + 0xFFFF) >> 16);
}
// An exact half rounds down.
constexpr std::int32_t FixedToIntNearest(TFixed a) {
    return static_cast<std::int32_t>((static_cast<std::int64_t>(a) + 0x7FFF) >> 16);
}
constexpr TFixed FixedProduct(TFixed a, TFixed b) {
    return static_cast<TFixed>(static_cast<std::uint32_t>((static_cast<std::int64_t>(a) * b) >> 16));
}
// B must not be 0.
TFixed FixedQuotient(TFixed a, TFixed b);

void SineCosine(float theta, float& sin, float& cos);
void SineCosineScaled(float theta, float radius, float& sin, float& cos);
float FloatHypot(float x, float y);
// Saturates at the largest Integer (the hypotenuse of two Integers can pass it).
std::int32_t IntHypot(std::int32_t x, std::int32_t y);

// A x B / C rounded half away from zero; -1 when the quotient does not fit or C is 0.
std::int32_t MulDivRounded(std::int32_t a, std::int32_t b, std::int32_t c);

constexpr bool IsPowerOfTwo(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    return (u & (u - 1)) == 0;
}

// Truncating division; Divisor must not be 0.
std::int32_t DivRem(std::int32_t dividend, std::int32_t divisor, std::int32_t& remainder);

// Running sum in place: Values[i] becomes the sum of Values[0..i]. Bound at start-up to the SSE2 form
// when the processor has SSE2 (its sums may differ in the last bit).
using cumulative_sum_proc = void (*)(float* values, std::int32_t count);
extern cumulative_sum_proc CumulativeSum;
void cumulative_sum_portable(float* values, std::int32_t count);
void cumulative_sum_sse2(float* values, std::int32_t count);

void Raster_Math_startup();

} // namespace kq
