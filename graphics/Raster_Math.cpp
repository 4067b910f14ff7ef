#include "graphics/Raster_Math.h"

#include "framework/Conversions.h"
#include "graphics/Raster_System.h"

#include <emmintrin.h>

#include <bit>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace kq {

cumulative_sum_proc CumulativeSum = cumulative_sum_portable;

std::int64_t detail::round_half_even(double value) {
    return Round(value);
}

TFixed FixedQuotient(TFixed a, TFixed b) {
    assert(b != 0);
    return static_cast<TFixed>(static_cast<std::uint32_t>((static_cast<std::int64_t>(a) * 65536) / b));
}

void SineCosine(float theta, float& sin, float& cos) {
    sin = std::sin(theta);
    cos = std::cos(theta);
}

void SineCosineScaled(float theta, float radius, float& sin, float& cos) {
    sin = radius * std::sin(theta);
    cos = radius * std::cos(theta);
}

float FloatHypot(float x, float y) {
    return std::sqrt(x * x + y * y);
}

std::int32_t IntHypot(std::int32_t x, std::int32_t y) {
    const double h = std::sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y);
    const std::int64_t r = detail::round_half_even(h);
    return r > std::numeric_limits<std::int32_t>::max() ? std::numeric_limits<std::int32_t>::max()
                                                          : static_cast<std::int32_t>(r);
}

std::int32_t MulDivRounded(std::int32_t a, std::int32_t b, std::int32_t c) {
    const bool negative = (a ^ b ^ c) < 0;
    const auto magnitude = [](std::int32_t v) {
        return v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    };
    const std::uint64_t product = static_cast<std::uint64_t>(magnitude(a)) * magnitude(b);
    const std::uint32_t divisor = magnitude(c);
    if (2 * (product >> 32) >= divisor)
        return -1;
    std::uint64_t q = product / divisor;
    const std::uint64_t r = product % divisor;
    if (divisor - r <= r)
        ++q;
    // The check above lets through quotients just above the range (and rounding can add one); those would
    // come back wrapped to the wrong sign, so they get the overflow answer too.
    const std::uint64_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    if (q > limit)
        return -1;
    return negative ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(q)) : static_cast<std::int32_t>(q);
}

std::int32_t DivRem(std::int32_t dividend, std::int32_t divisor, std::int32_t& remainder) {
    assert(divisor != 0);
    remainder = dividend % divisor;
    return dividend / divisor;
}

// --- Running sums

void cumulative_sum_portable(float* values, std::int32_t count) {
    // Reading Values[0] of an empty array would pass its end.
    if (count < 1)
        return;
    float v = values[0];
    for (std::int32_t i = 1; i < count; ++i) {
        if (std::bit_cast<std::uint32_t>(values[i]) != 0)
            v += values[i];
        values[i] = v;
    }
}

void cumulative_sum_sse2(float* values, std::int32_t count) {
    if (count < 2)
        return;
    std::int32_t i = 1;
    float v = values[0];
    const auto one_by_one = [&](std::int32_t end) {
        for (; i < end; ++i) {
            if (std::bit_cast<std::uint32_t>(values[i]) != 0)
                v += values[i];
            values[i] = v;
        }
    };
    if (count < 32) {
        one_by_one(count);
        return;
    }
    while (i < count && (reinterpret_cast<std::uintptr_t>(values + i) & 15) != 0)
        one_by_one(i + 1);
    for (; i + 4 <= count; i += 4) {
        __m128 x = _mm_load_ps(values + i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_castps_si128(x), _mm_setzero_si128())) != 0xFFFF) {
            x = _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 4)));
            x = _mm_add_ps(x, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(x), 8)));
            x = _mm_add_ps(x, _mm_set1_ps(v));
        } else {
            x = _mm_set1_ps(v);
        }
        _mm_store_ps(values + i, x);
        v = _mm_cvtss_f32(_mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 3, 3, 3)));
    }
    one_by_one(count);
}

void Raster_Math_startup() {
    CumulativeSum = ProcessorFeatures.Contains(ciSSE2) ? cumulative_sum_sse2 : cumulative_sum_portable;
}

} // namespace kq
