#include "graphics/Raster_LowLevel.h"

#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Math.h"

#include <emmintrin.h>
#include <mmintrin.h>

#include <cmath>
#include <cstring>

namespace kq {

fill_dwords_proc FillDwords = fill_dwords_portable;

// --- Fill forms

void fill_dwords_portable(std::uint32_t* dst, std::int32_t count, std::uint32_t value) {
    for (std::int32_t i = count - 1; i >= 0; --i)
        dst[i] = value;
}

void fill_dwords_store_run(std::uint32_t* dst, std::int32_t count, std::uint32_t value) {
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = value;
}

void fill_dwords_mmx(std::uint32_t* dst, std::int32_t count, std::uint32_t value) {
    if (count <= 0)
        return;
    if (count & 1) {
        *dst++ = value;
        --count;
    }
    const __m64 pair = _mm_set1_pi32(static_cast<int>(value));
    for (; count > 0; count -= 2, dst += 2)
        std::memcpy(dst, &pair, sizeof pair);
    _mm_empty();
}

void fill_dwords_sse2(std::uint32_t* dst, std::int32_t count, std::uint32_t value) {
    if (count <= 0)
        return;
    const auto address = reinterpret_cast<std::uintptr_t>(dst);
    if (count >= 32 && (address & 3) == 0) {
        // 1 to 4 single words up to the next 16-byte boundary (4 when already aligned).
        const std::int32_t head = 4 - static_cast<std::int32_t>((address >> 2) & 3);
        for (std::int32_t i = 0; i < head; ++i)
            *dst++ = value;
        count -= head;
        const __m128i quad = _mm_set1_epi32(static_cast<int>(value));
        // Eight stores per step: with one, the loop's own instructions hold back the stores.
        for (; count >= 32; count -= 32, dst += 32) {
            __m128i* q = reinterpret_cast<__m128i*>(dst);
            _mm_store_si128(q, quad);
            _mm_store_si128(q + 1, quad);
            _mm_store_si128(q + 2, quad);
            _mm_store_si128(q + 3, quad);
            _mm_store_si128(q + 4, quad);
            _mm_store_si128(q + 5, quad);
            _mm_store_si128(q + 6, quad);
            _mm_store_si128(q + 7, quad);
        }
        for (; count >= 4; count -= 4, dst += 4)
            _mm_store_si128(reinterpret_cast<__m128i*>(dst), quad);
    }
    fill_dwords_store_run(dst, count, value);
}

void MoveDwords(const std::uint32_t* src, std::uint32_t* dst, std::int32_t count) {
    if (src == dst)
        return;
    for (std::int32_t i = 0; i < count; ++i)
        dst[i] = src[i];
}

void SwapValues(std::int32_t& a, std::int32_t& b) {
    const std::int32_t t = a;
    a = b;
    b = t;
}

void SortPair(std::int32_t& a, std::int32_t& b) {
    if (b < a)
        SwapValues(a, b);
}

bool ClipSpan(std::int32_t& a, std::int32_t& b, std::int32_t start, std::int32_t stop) {
    SortPair(a, b);
    if (a < start)
        a = start;
    if (b > stop - 1)
        b = stop - 1;
    return b >= a;
}

// --- Clamping

std::int32_t ClampByte(std::int32_t v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

std::int32_t ClampToRange(std::int32_t v, std::int32_t min, std::int32_t max) {
    if (v < min)
        v = min;
    if (v > max)
        v = max;
    return v;
}

std::int32_t ConstrainUnordered(std::int32_t v, std::int32_t b1, std::int32_t b2) {
    SortPair(b1, b2);
    return ClampToRange(v, b1, b2);
}

std::int32_t ClampUpTo(std::int32_t v, std::int32_t max) {
    return v > max ? max : v < 0 ? 0 : v;
}

std::int32_t MaxOf3(std::int32_t a, std::int32_t b, std::int32_t c) {
    return a > b ? (a > c ? a : c) : (b > c ? b : c);
}

std::int32_t MinOf3(std::int32_t a, std::int32_t b, std::int32_t c) {
    return a < b ? (a < c ? a : c) : (b < c ? b : c);
}

// --- Wrapping
// Differences are taken in 64 bits: V - Max and the range size can pass 32 bits at the ends of the range.

std::int32_t WrapInt(std::int32_t v, std::int32_t min, std::int32_t max) {
    const std::int64_t n = static_cast<std::int64_t>(max) - min + 1;
    if (n <= 0)
        return max;
    if (v < min)
        return static_cast<std::int32_t>(max + (static_cast<std::int64_t>(v) - max) % n);
    return static_cast<std::int32_t>(min + (static_cast<std::int64_t>(v) - min) % n);
}

std::int32_t MirrorInt(std::int32_t v, std::int32_t min, std::int32_t max) {
    const std::int64_t n = static_cast<std::int64_t>(max) - min + 1;
    if (n <= 0)
        return max;
    std::int64_t q, r;
    if (v < min) {
        q = (static_cast<std::int64_t>(v) - max) / n;
        r = (static_cast<std::int64_t>(v) - max) % n + max;
    } else {
        q = (static_cast<std::int64_t>(v) - min) / n;
        r = (static_cast<std::int64_t>(v) - min) % n + min;
    }
    return static_cast<std::int32_t>(q & 1 ? static_cast<std::int64_t>(min) + max - r : r);
}

std::int32_t WrapMask(std::int32_t v, std::int32_t min, std::int32_t max) {
    const std::uint32_t d = static_cast<std::uint32_t>(v) - static_cast<std::uint32_t>(min);
    const std::uint32_t mask = static_cast<std::uint32_t>(max) - static_cast<std::uint32_t>(min);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(min) + (d & mask));
}

std::int32_t MirrorMask(std::int32_t v, std::int32_t min, std::int32_t max) {
    const std::uint32_t d = static_cast<std::uint32_t>(v) - static_cast<std::uint32_t>(min);
    const std::uint32_t mask = static_cast<std::uint32_t>(max) - static_cast<std::uint32_t>(min);
    const std::uint32_t a = d & mask;
    if (d & (mask + 1))
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(max) - a);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(min) + a);
}

float WrapFloat(float v, float max) {
    // A zero, negative or NaN Max would never end the loops.
    if (!(max > 0) || !std::isfinite(v))
        return v;
    // Far outside the range, subtracting Max no longer changes V; reduce it in one step first.
    if (std::fabs(v) > max * 16777216.0f) {
        v = std::fmod(v, max);
    }
    while (v >= max)
        v -= max;
    while (v < 0)
        v += max;
    return v;
}

namespace {

// The size is taken in 32 unsigned bits: the whole non-negative range, 2^31 values, is a power of two too.
bool mask_form_fits(std::int32_t min, std::int32_t max) {
    const std::uint32_t size = static_cast<std::uint32_t>(max) - static_cast<std::uint32_t>(min) + 1u;
    return min >= 0 && max >= min && IsPowerOfTwo(static_cast<std::int32_t>(size));
}

} // namespace

TWrapProcEx BestWrapFunc(std::int32_t min, std::int32_t max) {
    return mask_form_fits(min, max) ? WrapMask : WrapInt;
}

TWrapProcEx BestMirrorFunc(std::int32_t min, std::int32_t max) {
    return mask_form_fits(min, max) ? MirrorMask : MirrorInt;
}

TWrapProcEx WrapFuncFor(TWrapMode mode) {
    switch (mode) {
    case wmRepeat: return WrapInt;
    case wmMirror: return MirrorInt;
    default: return ClampToRange;
    }
}

TWrapProcEx WrapFuncForRange(TWrapMode mode, std::int32_t min, std::int32_t max) {
    switch (mode) {
    case wmRepeat: return BestWrapFunc(min, max);
    case wmMirror: return BestMirrorFunc(min, max);
    default: return ClampToRange;
    }
}

// --- Start-up

void RegisterFillBindings() {
    TFunctionRegistry& r = *NewFunctionRegistry(u"Raster_LowLevel bindings");
    r.RegisterBinding(FID_FILLDWORDS, &FillDwords);
    r.Add(FID_FILLDWORDS, fill_dwords_portable);
    r.Add(FID_FILLDWORDS, fill_dwords_store_run);
    r.Add(FID_FILLDWORDS, fill_dwords_mmx, {ciMMX});
    r.Add(FID_FILLDWORDS, fill_dwords_sse2, {ciSSE2});
    r.RebindAll();
}

void Raster_LowLevel_startup() {
    RegisterFillBindings();
}

} // namespace kq
