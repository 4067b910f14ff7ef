// Block average and four-pixel interpolation: the bound routines of the draft and bilinear stretches, in
// their portable, MMX and SSE2 forms.
#include "graphics/Raster_Resamplers.h"

#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Resamplers_Shared.h"

#include <emmintrin.h>
#include <mmintrin.h>

#include <algorithm>
#include <cstring>

namespace kq {

average_block_proc AverageBlock;
interpolate_four_proc InterpolateFour;

// --- Block average and four-pixel interpolation

namespace {

// Rounds each channel's total down to the block's mean.
TColor32 mean_of(const std::uint64_t total[4], std::uint64_t count) {
    TColor32 c = 0;
    for (int k = 0; k < 4; ++k)
        c |= static_cast<TColor32>(total[k] / count) << (8 * k);
    return c;
}

const TColor32* row_at(const TColor32* first, std::int32_t row, std::int32_t rowStride) {
    return reinterpret_cast<const TColor32*>(reinterpret_cast<const std::uint8_t*>(first) +
                                             static_cast<std::ptrdiff_t>(row) * rowStride);
}

TColor32 average_block_plain(std::int32_t width, std::int32_t height, const TColor32* first, std::int32_t rowStride) {
    if (width <= 0 || height <= 0)
        return 0;
    std::uint64_t total[4] = {};
    for (std::int32_t y = 0; y < height; ++y) {
        const TColor32* p = row_at(first, y, rowStride);
        for (std::int32_t x = 0; x < width; ++x)
            for (int k = 0; k < 4; ++k)
                total[k] += (p[x] >> (8 * k)) & 0xFF;
    }
    return mean_of(total, static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
}

// Rows are summed in 16-bit lanes, at most 256 pixels per lane before the lanes are emptied into the totals,
// so no lane can wrap.
TColor32 average_block_mmx(std::int32_t width, std::int32_t height, const TColor32* first, std::int32_t rowStride) {
    if (width <= 0 || height <= 0)
        return 0;
    std::uint64_t total[4] = {};
    const __m64 zero = _mm_setzero_si64();
    for (std::int32_t y = 0; y < height; ++y) {
        const TColor32* p = row_at(first, y, rowStride);
        for (std::int32_t x = 0; x < width;) {
            const std::int32_t stop = std::min(width, x + 256);
            __m64 sum = zero;
            for (; x < stop; ++x)
                sum = _mm_add_pi16(sum, _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(p[x])), zero));
            std::uint16_t lanes[4];
            std::memcpy(lanes, &sum, sizeof lanes);
            for (int k = 0; k < 4; ++k)
                total[k] += lanes[k];
        }
    }
    _mm_empty();
    return mean_of(total, static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
}

TColor32 average_block_sse2(std::int32_t width, std::int32_t height, const TColor32* first, std::int32_t rowStride) {
    if (width <= 0 || height <= 0)
        return 0;
    std::uint64_t total[4] = {};
    const __m128i zero = _mm_setzero_si128();
    for (std::int32_t y = 0; y < height; ++y) {
        const TColor32* p = row_at(first, y, rowStride);
        for (std::int32_t x = 0; x < width;) {
            const std::int32_t stop = std::min(width, x + 256);
            __m128i sum = zero;
            for (; x + 2 <= stop; x += 2)
                sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + x)), zero));
            if (x < stop)
                sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[x++])), zero));
            std::uint16_t lanes[8];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sum);
            for (int k = 0; k < 4; ++k)
                total[k] += static_cast<std::uint64_t>(lanes[k]) + lanes[k + 4];
        }
    }
    return mean_of(total, static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
}

// Weights capped at 255 for the bound CombineColors, so this form can round differently from the others.
TColor32 interpolate_four_plain(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom) {
    wx = std::min(wx, 255);
    wy = std::min(wy, 255);
    return CombineColors(CombineColors(top[0], top[1], wx), CombineColors(bottom[0], bottom[1], wx), wy);
}

TColor32 interpolate_four_mmx(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom) {
    const __m64 zero = _mm_setzero_si64();
    const auto unpack = [zero](TColor32 c) { return _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(c)), zero); };
    const __m64 w1 = _mm_set1_pi16(static_cast<short>(wx)), w2 = _mm_set1_pi16(static_cast<short>(256 - wx));
    const __m64 t = _mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(unpack(top[0]), w1), _mm_mullo_pi16(unpack(top[1]), w2)), 8);
    const __m64 b =
        _mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(unpack(bottom[0]), w1), _mm_mullo_pi16(unpack(bottom[1]), w2)), 8);
    const __m64 v1 = _mm_set1_pi16(static_cast<short>(wy)), v2 = _mm_set1_pi16(static_cast<short>(256 - wy));
    const __m64 r = _mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(t, v1), _mm_mullo_pi16(b, v2)), 8);
    const auto result = static_cast<TColor32>(_mm_cvtsi64_si32(_mm_packs_pu16(r, r)));
    _mm_empty();
    return result;
}

} // namespace

// Both pairs in one register: lanes 0..3 the left pixel, 4..7 the right one.
TColor32 detail::interpolate_four_sse2(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wxs = _mm_set_epi16(short(256 - wx), short(256 - wx), short(256 - wx), short(256 - wx), short(wx),
                                      short(wx), short(wx), short(wx));
    const __m128i t = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top)), zero), wxs);
    const __m128i b =
        _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom)), zero), wxs);
    // Top in lanes 0..3 and bottom in 4..7 after adding each pair's halves.
    const __m128i tops = _mm_add_epi16(t, _mm_srli_si128(t, 8));
    const __m128i bottoms = _mm_add_epi16(b, _mm_srli_si128(b, 8));
    const __m128i rows = _mm_srli_epi16(_mm_unpacklo_epi64(tops, bottoms), 8);
    const __m128i wys = _mm_set_epi16(short(256 - wy), short(256 - wy), short(256 - wy), short(256 - wy), short(wy),
                                      short(wy), short(wy), short(wy));
    const __m128i m = _mm_mullo_epi16(rows, wys);
    const __m128i r = _mm_srli_epi16(_mm_add_epi16(m, _mm_srli_si128(m, 8)), 8);
    return static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
}

void RegisterResamplerBindings() {
    namespace id = resamplers_id;
    TFunctionRegistry& r = *NewFunctionRegistry(u"Raster_Resamplers bindings");
    r.RegisterBinding(id::AverageBlock, &kq::AverageBlock);
    r.RegisterBinding(id::InterpolateFour, &kq::InterpolateFour);
    r.Add(id::AverageBlock, average_block_plain);
    r.Add(id::AverageBlock, average_block_mmx, TCPUFeatures{ciMMX});
    r.Add(id::AverageBlock, average_block_sse2, TCPUFeatures{ciSSE2});
    r.Add(id::InterpolateFour, interpolate_four_plain);
    r.Add(id::InterpolateFour, interpolate_four_mmx, TCPUFeatures{ciMMX, ciSSE});
    r.Add(id::InterpolateFour, detail::interpolate_four_sse2, TCPUFeatures{ciSSE2});
    r.RebindAll();
}

} // namespace kq
