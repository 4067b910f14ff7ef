// Every form of every blend routine lives here, so that the registration list at the end reads against
// the forms it names; the file is long for that reason.
#include "graphics/Raster_Blend.h"

#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_System.h"

#include <emmintrin.h>
#include <mmintrin.h>
#include <xmmintrin.h>

#include <algorithm>
#include <cstring>

namespace kq {

std::uint8_t ProductTable[256][256];
std::uint8_t RatioTable[256][256];
std::unique_ptr<alpha_weight[]> AlphaWeights;
bool MMXActive = false;

end_blending_proc EndBlending;
blend_reg_proc MergeColors;
blend_mem_proc MergePixel;
blend_line_proc MergeRow;
blend_reg_ex_proc MergeColorsAlpha;
TBlendMemEx MergePixelAlpha;
blend_line_ex_proc MergeRowAlpha;
combine_reg_proc CombineColors;
combine_mem_proc CombinePixel;
combine_line_proc CombineRow;
blend_reg_proc BlendColors;
blend_mem_proc BlendPixel;
blend_span_proc BlendSpan;
blend_line_proc BlendRow;
blend_reg_ex_proc BlendColorsAlpha;
TBlendMemEx BlendPixelAlpha;
blend_line_ex_proc BlendRowAlpha;
channel_proc ChannelMax;
channel_proc ChannelMin;
channel_proc ChannelAverage;
channel_proc ChannelAdd;
channel_proc ChannelSub;
channel_proc ChannelDiv;
channel_proc ChannelMultiply;
channel_proc ChannelDifference;
channel_proc ChannelExclusion;
channel_scale_proc ChannelScale;
channel_scale_proc ChannelLighten;
per_channel_reg_proc BlendColorsPerChannel;
per_channel_mem_proc BlendPixelPerChannel;

blend_mem_proc* const blend_pixel_by_mode[2] = {&BlendPixel, &MergePixel};
TBlendMemEx* const blend_pixel_alpha_by_mode[2] = {&BlendPixelAlpha, &MergePixelAlpha};
blend_line_proc* const blend_row_by_mode[2] = {&BlendRow, &MergeRow};
blend_line_ex_proc* const blend_row_alpha_by_mode[2] = {&BlendRowAlpha, &MergeRowAlpha};

// The row "over" one pixel at a time: the definition the SIMD form and its shortcuts are tested against.
void blend_row_over_reference(const TColor32* src, TColor32* dst, std::int32_t count) {
    for (; count > 0; --count, ++src, ++dst) {
        const std::int32_t fa = static_cast<std::int32_t>(*src >> 24);
        TColor32 result = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const std::int32_t fc = static_cast<std::int32_t>(*src >> shift & 255);
            const std::int32_t bc = static_cast<std::int32_t>(*dst >> shift & 255);
            const std::int32_t own = shift == 24 ? fa : (fc * fa + 128) >> 8;
            const std::int32_t c = own + bc - ((bc * fa + 128) >> 8);
            result |= static_cast<TColor32>(std::clamp(c, 0, 255)) << shift;
        }
        *dst = result;
    }
}

namespace {

// Weights and master alphas index 256-entry tables; anything outside 0..255 is clamped first.
inline std::int32_t to_byte(std::int32_t v) {
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

inline std::uint32_t alpha_of(TColor32 c) {
    return c >> 24;
}

// Applies Fn(channel of A, channel of B, shift) to the channels given by Shifts and packs the results.
template <int... Shifts, class Fn>
inline TColor32 per_channel(TColor32 a, TColor32 b, Fn fn) {
    return ((static_cast<TColor32>(fn((a >> Shifts) & 0xFF, (b >> Shifts) & 0xFF, Shifts) & 0xFF) << Shifts) | ...);
}

template <class Fn>
inline TColor32 all4(TColor32 a, TColor32 b, Fn fn) {
    return per_channel<0, 8, 16, 24>(a, b, fn);
}

template <class Fn>
inline TColor32 bgr(TColor32 a, TColor32 b, Fn fn) {
    return per_channel<0, 8, 16>(a, b, fn);
}

// Two table products: the red, green and blue of F weighted by W plus those of B by 255 - W.
inline TColor32 table_mix_bgr(TColor32 f, TColor32 b, std::int32_t w) {
    const std::uint8_t* fw = ProductTable[w];
    const std::uint8_t* bw = ProductTable[255 - w];
    return bgr(f, b, [fw, bw](std::uint32_t fc, std::uint32_t bc, int) { return fw[fc] + bw[bc]; });
}

inline std::uint32_t rounded_product(std::uint32_t c, std::uint32_t w) {
    return (c * w + 128) >> 8;
}

// --- Portable forms

// The in-place form of a routine that blends two colours.
template <auto& Colors, class... Extra>
void in_place(TColor32 f, TColor32& b, Extra... extra) {
    b = Colors(f, b, extra...);
}

// A row through a pixel routine (a bound variable or a form), while Count > 0.
template <auto& Pixel, class... Extra>
void row_of(const TColor32* src, TColor32* dst, std::int32_t count, Extra... extra) {
    for (; count > 0; --count)
        Pixel(*src++, *dst++, extra...);
}

void end_blending_portable() {}

TColor32 merge_colors_table(TColor32 f, TColor32 b) {
    const std::uint32_t fa = alpha_of(f), ba = alpha_of(b);
    if (fa == 0)
        return b;
    if (ba == 255)
        return BlendColors(f, b) | 0xFF000000;
    if (fa == 255 || ba == 0)
        return f;
    const std::uint32_t ra = (fa + ba - ProductTable[ba][fa]) & 255;
    const std::uint8_t* ratio = RatioTable[ra];
    const std::uint8_t* background = ProductTable[ba];
    const std::uint8_t* foreground = ProductTable[fa];
    return ra << 24 | bgr(f, b, [&](std::int32_t fc, std::int32_t bc, int) {
               const std::int32_t bp = background[bc];
               const std::int32_t d = fc - bp;
               const std::int32_t p = d >= 0 ? bp + foreground[d] : bp - foreground[-d];
               return ratio[p];
           });
}

TColor32 merge_colors_alpha_portable(TColor32 f, TColor32 b, std::int32_t m) {
    return MergeColors((f & 0x00FFFFFF) | static_cast<TColor32>(ProductTable[to_byte(m)][alpha_of(f)]) << 24, b);
}

TColor32 combine_colors_portable(TColor32 x, TColor32 y, std::int32_t w) {
    if (w <= 0)
        return y;
    if (w >= 255)
        return x;
    return (x & 0xFF000000) | table_mix_bgr(x, y, w);
}

TColor32 blend_colors_portable(TColor32 f, TColor32 b) {
    const std::uint32_t fa = alpha_of(f);
    if (fa == 0)
        return b;
    if (fa == 255)
        return f;
    return (b & 0xFF000000) | table_mix_bgr(f, b, static_cast<std::int32_t>(fa));
}

void blend_span_portable(TColor32 f, TColor32* dst, std::int32_t count) {
    for (; count > 0; --count)
        BlendPixel(f, *dst++);
}

TColor32 blend_colors_alpha_portable(TColor32 f, TColor32 b, std::int32_t m) {
    const std::int32_t w = ProductTable[to_byte(m)][alpha_of(f)];
    if (w == 0)
        return b;
    if (w == 255)
        return f;
    return (b & 0xFF000000) | table_mix_bgr(f, b, w);
}

TColor32 channel_max_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::uint32_t a, std::uint32_t b, int) { return std::max(a, b); });
}

TColor32 channel_min_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::uint32_t a, std::uint32_t b, int) { return std::min(a, b); });
}

TColor32 channel_average_portable(TColor32 c1, TColor32 c2) {
    return (c1 & c2) + (((c1 ^ c2) >> 1) & 0x7F7F7F7F);
}

TColor32 channel_add_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::uint32_t a, std::uint32_t b, int) { return std::min(a + b, 255u); });
}

TColor32 channel_sub_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::int32_t a, std::int32_t b, int) { return std::max(a - b, 0); });
}

TColor32 channel_div_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::uint32_t a, std::uint32_t b, int) { return a == 0 ? 255u : std::min(b * 256 / a, 255u); });
}

TColor32 channel_multiply_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::uint32_t a, std::uint32_t b, int) { return (a * b) >> 8; });
}

TColor32 channel_difference_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::int32_t a, std::int32_t b, int) { return a > b ? a - b : b - a; });
}

TColor32 channel_exclusion_portable(TColor32 c1, TColor32 c2) {
    return all4(c1, c2, [](std::int32_t a, std::int32_t b, int) { return std::clamp(a + b - ((a * b) >> 7), 0, 255); });
}

TColor32 channel_scale_portable(TColor32 c, std::int32_t w) {
    const std::int64_t weight = std::max(w, 0);
    return all4(c, 0, [weight](std::int64_t a, std::uint32_t, int) { return std::min<std::int64_t>((a * weight) >> 8, 255); });
}

TColor32 channel_lighten_portable(TColor32 c, std::int32_t n) {
    n = std::clamp(n, -255, 255);
    return (c & 0xFF000000) | bgr(c, 0, [n](std::int32_t a, std::uint32_t, int) { return std::clamp(a + n, 0, 255); });
}

// Weights from W's bytes: red by its blue, green by its green, blue by its red. The alpha is the
// background's (these forms never set it).
TColor32 blend_colors_per_channel_portable(TColor32 f, TColor32 b, TColor32 w) {
    return (b & 0xFF000000) | bgr(f, b, [w](std::int32_t fc, std::int32_t bc, int shift) {
               const std::int32_t weight = static_cast<std::int32_t>((w >> (16 - shift)) & 0xFF);
               return bc + (fc - bc) * weight / 255;
           });
}

// --- Plain integer forms (the processor's general registers, no extensions)

TColor32 combine_colors_x86(TColor32 x, TColor32 y, std::int32_t w) {
    w = to_byte(w);
    if (w == 0)
        return y;
    if (w == 255)
        return x;
    const std::uint32_t wx = static_cast<std::uint32_t>(w), wy = 255 - wx;
    return all4(x, y, [wx, wy](std::uint32_t xc, std::uint32_t yc, int) {
        return rounded_product(xc, wx) + rounded_product(yc, wy);
    });
}

TColor32 blend_colors_x86(TColor32 f, TColor32 b) {
    const std::uint32_t fa = alpha_of(f);
    if (fa == 255)
        return f;
    if (fa == 0)
        return b;
    return all4(f, b, [fa](std::uint32_t fc, std::uint32_t bc, int) {
        return rounded_product(fc, fa) + rounded_product(bc, 255 - fa);
    });
}

void blend_row_x86(const TColor32* src, TColor32* dst, std::int32_t count) {
    for (; count > 0; --count, ++src, ++dst) {
        const std::uint32_t fa = alpha_of(*src);
        if (fa == 255)
            *dst = *src;
        else if (fa != 0)
            *dst = blend_colors_x86(*src, *dst);
    }
}

// The alpha of the result is 0.
TColor32 blend_colors_alpha_x86(TColor32 f, TColor32 b, std::int32_t m) {
    const std::uint32_t w = ((static_cast<std::uint32_t>(to_byte(m)) + 1) * alpha_of(f)) >> 8;
    if (w == 0)
        return b;
    return bgr(f, b, [w](std::uint32_t fc, std::uint32_t bc, int) {
        return rounded_product(fc, w) + rounded_product(bc, 255 - w);
    });
}

// --- SIMD forms
// A pixel is unpacked into four 16-bit lanes. Lerp as B x 256 + 128 + (F - B) x W: every intermediate may
// wrap modulo 2^16, but the exact result lies in 0..65535, so the 16-bit arithmetic gives it exactly.

struct sse2_lanes {
    using reg = __m128i;
    static reg unpack(TColor32 c) {
        return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(c)), _mm_setzero_si128());
    }
    static TColor32 pack(reg r) { return static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r))); }
    static reg weight(std::int32_t w) { return _mm_load_si128(reinterpret_cast<const __m128i*>(AlphaWeights[w].w)); }
    static reg lerp(reg f, reg b, reg w) {
        reg t = _mm_add_epi16(_mm_slli_epi16(b, 8), _mm_mullo_epi16(_mm_sub_epi16(f, b), w));
        return _mm_srli_epi16(_mm_add_epi16(t, weight(128)), 8);
    }
    static reg mul_shift(reg a, reg b, int shift) { return _mm_srl_epi16(_mm_mullo_epi16(a, b), _mm_cvtsi32_si128(shift)); }
    static reg add(reg a, reg b) { return _mm_add_epi16(a, b); }
    static reg sub(reg a, reg b) { return _mm_sub_epi16(a, b); }
    static reg splat16(std::int32_t v) { return _mm_set1_epi16(static_cast<short>(v)); }
    static reg bytes(TColor32 c) { return _mm_cvtsi32_si128(static_cast<int>(c)); }
    static TColor32 from_bytes(reg r) { return static_cast<TColor32>(_mm_cvtsi128_si32(r)); }
    static reg max_u8(reg a, reg b) { return _mm_max_epu8(a, b); }
    static reg min_u8(reg a, reg b) { return _mm_min_epu8(a, b); }
    static reg adds_u8(reg a, reg b) { return _mm_adds_epu8(a, b); }
    static reg subs_u8(reg a, reg b) { return _mm_subs_epu8(a, b); }
    static reg or_(reg a, reg b) { return _mm_or_si128(a, b); }
    static reg colour_lanes(std::int32_t v) { return _mm_set_epi16(0, 0, 0, 0, 0, short(v), short(v), short(v)); }
    static void done() {}
};

// Each MMX form clears the multimedia state itself before returning: floating-point code that runs
// after it (the i686 calling convention returns floats on the x87 stack) would otherwise read garbage.
struct mmx_lanes {
    using reg = __m64;
    static reg unpack(TColor32 c) { return _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(c)), _mm_setzero_si64()); }
    static TColor32 pack(reg r) { return static_cast<TColor32>(_mm_cvtsi64_si32(_mm_packs_pu16(r, r))); }
    static reg weight(std::int32_t w) {
        reg r;
        std::memcpy(&r, AlphaWeights[w].w, sizeof r);
        return r;
    }
    static reg lerp(reg f, reg b, reg w) {
        reg t = _mm_add_pi16(_mm_slli_pi16(b, 8), _mm_mullo_pi16(_mm_sub_pi16(f, b), w));
        return _mm_srli_pi16(_mm_add_pi16(t, weight(128)), 8);
    }
    static reg mul_shift(reg a, reg b, int shift) { return _mm_srli_pi16(_mm_mullo_pi16(a, b), shift); }
    static reg add(reg a, reg b) { return _mm_add_pi16(a, b); }
    static reg sub(reg a, reg b) { return _mm_sub_pi16(a, b); }
    static reg splat16(std::int32_t v) { return _mm_set1_pi16(static_cast<short>(v)); }
    static reg bytes(TColor32 c) { return _mm_cvtsi32_si64(static_cast<int>(c)); }
    static TColor32 from_bytes(reg r) { return static_cast<TColor32>(_mm_cvtsi64_si32(r)); }
    static reg max_u8(reg a, reg b) { return _mm_max_pu8(a, b); }
    static reg min_u8(reg a, reg b) { return _mm_min_pu8(a, b); }
    static reg adds_u8(reg a, reg b) { return _mm_adds_pu8(a, b); }
    static reg subs_u8(reg a, reg b) { return _mm_subs_pu8(a, b); }
    static reg or_(reg a, reg b) { return _mm_or_si64(a, b); }
    static reg colour_lanes(std::int32_t v) { return _mm_set_pi16(0, short(v), short(v), short(v)); }
    static void done() { _mm_empty(); }
};

// Ends a form: clears the multimedia state where the lanes have one, then hands back the result.
template <class L>
inline TColor32 finish(TColor32 result) {
    L::done();
    return result;
}

// The same name for the lerp of two colours on either kind of lane.
template <class L>
inline TColor32 lerp_simd(TColor32 f, TColor32 b, std::int32_t w) {
    return L::pack(L::lerp(L::unpack(f), L::unpack(b), L::weight(w)));
}

template <class L>
void end_blending_simd() {
    L::done();
}

template <class L>
TColor32 blend_colors_simd(TColor32 f, TColor32 b) {
    return finish<L>(lerp_simd<L>(f, b, static_cast<std::int32_t>(alpha_of(f))));
}

template <class L>
inline void blend_pixel_core(TColor32 f, TColor32& b) {
    const std::uint32_t fa = alpha_of(f);
    if (fa == 0)
        return;
    b = fa == 255 ? f : lerp_simd<L>(f, b, static_cast<std::int32_t>(fa));
}

template <class L>
void blend_pixel_simd(TColor32 f, TColor32& b) {
    blend_pixel_core<L>(f, b);
    L::done();
}

// Copies opaque pixels, leaves transparent ones and blends the rest with the form's BlendColors.
template <class L>
void blend_row_by_pixel_simd(const TColor32* src, TColor32* dst, std::int32_t count) {
    for (; count > 0; --count)
        blend_pixel_core<L>(*src++, *dst++);
    L::done();
}

void blend_span_sse2(TColor32 f, TColor32* dst, std::int32_t count) {
    const std::uint32_t fa = alpha_of(f);
    if (count <= 0 || fa == 0)
        return;
    if (fa == 255) {
        FillDwords(dst, count, f);
        return;
    }
    const __m128i fr = sse2_lanes::unpack(f), w = sse2_lanes::weight(static_cast<std::int32_t>(fa));
    for (; count > 0; --count, ++dst)
        *dst = sse2_lanes::pack(sse2_lanes::lerp(fr, sse2_lanes::unpack(*dst), w));
}

inline std::int32_t master_weight(TColor32 f, std::int32_t m) {
    return static_cast<std::int32_t>(((static_cast<std::uint32_t>(to_byte(m)) + 1) * alpha_of(f)) >> 8);
}

template <class L>
TColor32 blend_colors_alpha_simd(TColor32 f, TColor32 b, std::int32_t m) {
    const std::int32_t w = master_weight(f, m);
    if (w == 0)
        return b;
    return finish<L>(lerp_simd<L>(f, b, w));
}

template <class L>
inline void blend_pixel_alpha_core(TColor32 f, TColor32& b, std::int32_t m) {
    const std::int32_t w = master_weight(f, m);
    if (w != 0)
        b = lerp_simd<L>(f, b, w);
}

template <class L>
void blend_pixel_alpha_simd(TColor32 f, TColor32& b, std::int32_t m) {
    blend_pixel_alpha_core<L>(f, b, m);
    L::done();
}

template <class L>
void blend_row_alpha_simd(const TColor32* src, TColor32* dst, std::int32_t count, std::int32_t m) {
    for (; count > 0; --count)
        blend_pixel_alpha_core<L>(*src++, *dst++, m);
    L::done();
}

template <class L>
TColor32 combine_colors_simd(TColor32 x, TColor32 y, std::int32_t w) {
    return finish<L>(lerp_simd<L>(x, y, to_byte(w)));
}

template <class L>
void combine_pixel_simd(TColor32 x, TColor32& y, std::int32_t w) {
    w = to_byte(w);
    if (w == 0)
        return;
    y = w == 255 ? x : lerp_simd<L>(x, y, w);
    L::done();
}

template <class L>
void combine_row_simd(const TColor32* src, TColor32* dst, std::int32_t count, std::int32_t w) {
    w = to_byte(w);
    if (count <= 0 || w == 0)
        return;
    if (w == 255) {
        MoveDwords(src, dst, count);
        return;
    }
    const typename L::reg weight = L::weight(w);
    for (; count > 0; --count, ++src, ++dst)
        *dst = L::pack(L::lerp(L::unpack(*src), L::unpack(*dst), weight));
    L::done();
}

// "Over": C = F x Fa + B - B x Fa per colour channel, A = Fa + Ba - Ba x Fa, each product rounded and every
// result saturated. Two pixels per register; F's alpha lane is taken as 256 so the same multiply gives Fa.
inline __m128i over_pair_sse2(__m128i f, __m128i b) {
    const __m128i alpha_256 = _mm_set_epi16(256, 0, 0, 0, 256, 0, 0, 0);
    const __m128i colour_lanes = _mm_set_epi16(0, -1, -1, -1, 0, -1, -1, -1);
    const __m128i bias = _mm_set1_epi16(128);
    const __m128i fa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(f, 0xFF), 0xFF);
    const __m128i fm = _mm_or_si128(_mm_and_si128(f, colour_lanes), alpha_256);
    const __m128i t1 = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(fm, fa), bias), 8);
    const __m128i t2 = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(b, fa), bias), 8);
    return _mm_sub_epi16(_mm_add_epi16(t1, b), t2);
}

// "Over" of four opaque source pixels without multiplying: with Fa = 255, (X x 255 + 128) shr 8 is X less
// one when X is above 128, so each colour is F - [F > 128] + [B > 128] (never outside 0..255) and the alpha
// saturates to 255.
inline __m128i over_opaque_quad_sse2(__m128i f, __m128i b) {
    const __m128i sign = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i above_128_f = _mm_cmpgt_epi8(_mm_xor_si128(f, sign), _mm_setzero_si128());
    const __m128i above_128_b = _mm_cmpgt_epi8(_mm_xor_si128(b, sign), _mm_setzero_si128());
    const __m128i colour = _mm_sub_epi8(_mm_add_epi8(f, above_128_f), above_128_b);
    return _mm_or_si128(colour, _mm_set1_epi32(static_cast<int>(0xFF000000)));
}

void blend_row_sse2(const TColor32* src, TColor32* dst, std::int32_t count) {
    if (count <= 0)
        return;
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_cmpeq_epi32(zero, zero);
    if (count & 1) {
        const __m128i r = over_pair_sse2(sse2_lanes::unpack(*src), sse2_lanes::unpack(*dst));
        *dst = sse2_lanes::pack(r);
        ++src, ++dst, --count;
    }
    // Skin images come in runs of transparent, opaque and soft pixels; the first two take short cuts.
    for (; count >= 4; count -= 4, src += 4, dst += 4) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        if ((_mm_movemask_epi8(_mm_cmpeq_epi8(f, zero)) & 0x8888) == 0x8888)
            continue;
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
        if ((_mm_movemask_epi8(_mm_cmpeq_epi8(f, ones)) & 0x8888) == 0x8888) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), over_opaque_quad_sse2(f, b));
            continue;
        }
        const __m128i lo = over_pair_sse2(_mm_unpacklo_epi8(f, zero), _mm_unpacklo_epi8(b, zero));
        const __m128i hi = over_pair_sse2(_mm_unpackhi_epi8(f, zero), _mm_unpackhi_epi8(b, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(lo, hi));
    }
    if (count >= 2) {
        const __m128i f = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)), zero);
        const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst)), zero);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(over_pair_sse2(f, b), zero));
    }
}

// Rows with a weight per pixel or per row, four pixels per step: a lerp with weight 0 gives B exactly, so
// the per-pixel shortcuts need no branch here.
template <class Weights>
inline void lerp_quads_sse2(const TColor32*& src, TColor32*& dst, std::int32_t& count, Weights weights) {
    const __m128i zero = _mm_setzero_si128();
    for (; count >= 4; count -= 4, src += 4, dst += 4) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
        const __m128i f_lo = _mm_unpacklo_epi8(f, zero), f_hi = _mm_unpackhi_epi8(f, zero);
        const __m128i lo = sse2_lanes::lerp(f_lo, _mm_unpacklo_epi8(b, zero), weights(f_lo));
        const __m128i hi = sse2_lanes::lerp(f_hi, _mm_unpackhi_epi8(b, zero), weights(f_hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(lo, hi));
    }
}

void blend_row_alpha_sse2(const TColor32* src, TColor32* dst, std::int32_t count, std::int32_t m) {
    if (count <= 0)
        return;
    // W = ((M + 1) x Fa) shr 8 on every lane of a pixel.
    const __m128i master_plus_one = _mm_set1_epi16(static_cast<short>(to_byte(m) + 1));
    lerp_quads_sse2(src, dst, count, [master_plus_one](__m128i f) {
        const __m128i fa = _mm_shufflehi_epi16(_mm_shufflelo_epi16(f, 0xFF), 0xFF);
        return _mm_srli_epi16(_mm_mullo_epi16(fa, master_plus_one), 8);
    });
    for (; count > 0; --count)
        blend_pixel_alpha_core<sse2_lanes>(*src++, *dst++, m);
}

void combine_row_sse2(const TColor32* src, TColor32* dst, std::int32_t count, std::int32_t w) {
    w = to_byte(w);
    if (count <= 0 || w == 0)
        return;
    if (w == 255) {
        MoveDwords(src, dst, count);
        return;
    }
    const __m128i weight = sse2_lanes::weight(w);
    lerp_quads_sse2(src, dst, count, [weight](__m128i) { return weight; });
    for (; count > 0; --count, ++src, ++dst)
        *dst = sse2_lanes::pack(sse2_lanes::lerp(sse2_lanes::unpack(*src), sse2_lanes::unpack(*dst), weight));
}

// --- Channel arithmetic on SIMD lanes

// Maximum, minimum, saturated sum and difference: one instruction on the packed bytes.
template <class L, typename L::reg (*Op)(typename L::reg, typename L::reg)>
TColor32 bytewise_simd(TColor32 c1, TColor32 c2) {
    return finish<L>(L::from_bytes(Op(L::bytes(c1), L::bytes(c2))));
}

template <class L>
TColor32 channel_difference_simd(TColor32 c1, TColor32 c2) {
    const auto a = L::bytes(c1), b = L::bytes(c2);
    return finish<L>(L::from_bytes(L::or_(L::subs_u8(a, b), L::subs_u8(b, a))));
}

template <class L>
TColor32 channel_multiply_simd(TColor32 c1, TColor32 c2) {
    return finish<L>(L::pack(L::mul_shift(L::unpack(c1), L::unpack(c2), 8)));
}

template <class L>
TColor32 channel_exclusion_simd(TColor32 c1, TColor32 c2) {
    const auto a = L::unpack(c1), b = L::unpack(c2);
    return finish<L>(L::pack(L::sub(L::add(a, b), L::mul_shift(a, b, 7))));
}

template <class L>
TColor32 channel_scale_simd(TColor32 c, std::int32_t w) {
    return finish<L>(L::pack(L::mul_shift(L::unpack(c), L::splat16(to_byte(w)), 8)));
}

// Colour lanes get N added, the alpha lane nothing; the pack saturates to 0..255.
template <class L>
TColor32 channel_lighten_simd(TColor32 c, std::int32_t n) {
    return finish<L>(L::pack(L::add(L::unpack(c), L::colour_lanes(std::clamp(n, -255, 255)))));
}

// The SSE form: the MMX form with the amount spread by the extended word shuffle.
TColor32 channel_lighten_sse(TColor32 c, std::int32_t n) {
    n = std::clamp(n, -255, 255);
    const __m64 amount = _mm_shuffle_pi16(_mm_cvtsi32_si64(n & 0xFFFF), 0x40);
    return finish<mmx_lanes>(mmx_lanes::pack(_mm_add_pi16(mmx_lanes::unpack(c), amount)));
}

// Weights per lane from W's bytes in reverse order: blue by its alpha byte, green by its red byte, red by
// its green byte, alpha by its blue byte.
template <class L>
inline TColor32 per_channel_lerp(TColor32 f, TColor32 b, TColor32 w) {
    const TColor32 reversed = (w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24);
    return L::pack(L::lerp(L::unpack(f), L::unpack(b), L::unpack(reversed)));
}

template <class L>
TColor32 blend_colors_per_channel_simd(TColor32 f, TColor32 b, TColor32 w) {
    return finish<L>(per_channel_lerp<L>(f, b, w));
}

template <class L>
void blend_pixel_per_channel_simd(TColor32 f, TColor32& b, TColor32 w) {
    b = per_channel_lerp<L>(f, b, w);
    L::done();
}

} // namespace

// --- Tables

void BuildBlendTables() {
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t b = 0; b < 256; ++b)
            ProductTable[a][b] = static_cast<std::uint8_t>((a * b + 127) / 255);
    std::memset(RatioTable[0], 0, sizeof RatioTable[0]);
    for (std::uint32_t a = 1; a < 256; ++a)
        for (std::uint32_t b = 0; b < 256; ++b) {
            std::uint32_t q = b * 255 / a;
            const std::uint32_t twice_r = 2 * (b * 255 % a);
            if (twice_r > a || (twice_r == a && (q & 1)))
                ++q;
            RatioTable[a][b] = static_cast<std::uint8_t>(q);
        }
}

void BuildAlphaWeights() {
    AlphaWeights = std::make_unique<alpha_weight[]>(256);
    for (std::uint16_t i = 0; i < 256; ++i)
        std::fill(std::begin(AlphaWeights[i].w), std::end(AlphaWeights[i].w), i);
}

// --- Registration

void RegisterBlendBindings() {
    namespace id = blend_id;
    TFunctionRegistry& r = *NewFunctionRegistry(u"Raster_Blend bindings");

    r.RegisterBinding(id::EndBlending, &kq::EndBlending);
    r.RegisterBinding(id::MergeColors, &kq::MergeColors);
    r.RegisterBinding(id::MergePixel, &kq::MergePixel);
    r.RegisterBinding(id::MergeRow, &kq::MergeRow);
    r.RegisterBinding(id::MergeColorsAlpha, &kq::MergeColorsAlpha);
    r.RegisterBinding(id::MergePixelAlpha, &kq::MergePixelAlpha);
    r.RegisterBinding(id::MergeRowAlpha, &kq::MergeRowAlpha);
    r.RegisterBinding(id::CombineColors, &kq::CombineColors);
    r.RegisterBinding(id::CombinePixel, &kq::CombinePixel);
    r.RegisterBinding(id::CombineRow, &kq::CombineRow);
    r.RegisterBinding(id::BlendColors, &kq::BlendColors);
    r.RegisterBinding(id::BlendPixel, &kq::BlendPixel);
    r.RegisterBinding(id::BlendSpan, &kq::BlendSpan);
    r.RegisterBinding(id::BlendRow, &kq::BlendRow);
    r.RegisterBinding(id::BlendColorsAlpha, &kq::BlendColorsAlpha);
    r.RegisterBinding(id::BlendPixelAlpha, &kq::BlendPixelAlpha);
    r.RegisterBinding(id::BlendRowAlpha, &kq::BlendRowAlpha);
    r.RegisterBinding(id::ChannelMax, &kq::ChannelMax);
    r.RegisterBinding(id::ChannelMin, &kq::ChannelMin);
    r.RegisterBinding(id::ChannelAverage, &kq::ChannelAverage);
    r.RegisterBinding(id::ChannelAdd, &kq::ChannelAdd);
    r.RegisterBinding(id::ChannelSub, &kq::ChannelSub);
    r.RegisterBinding(id::ChannelDiv, &kq::ChannelDiv);
    r.RegisterBinding(id::ChannelMultiply, &kq::ChannelMultiply);
    r.RegisterBinding(id::ChannelDifference, &kq::ChannelDifference);
    r.RegisterBinding(id::ChannelExclusion, &kq::ChannelExclusion);
    r.RegisterBinding(id::ChannelScale, &kq::ChannelScale);
    r.RegisterBinding(id::ChannelLighten, &kq::ChannelLighten);
    r.RegisterBinding(id::BlendColorsPerChannel, &kq::BlendColorsPerChannel);
    r.RegisterBinding(id::BlendPixelPerChannel, &kq::BlendPixelPerChannel);

    // Portable.
    r.Add(id::EndBlending, end_blending_portable);
    // The table form also stands in the two earlier places of ID 1: the last registration binds it on every
    // processor, so nothing registered before it is ever used.
    r.Add(id::MergeColors, merge_colors_table);
    r.Add(id::MergePixel, in_place<MergeColors>);
    r.Add(id::MergePixelAlpha, in_place<MergeColorsAlpha, std::int32_t>);
    r.Add(id::MergeColorsAlpha, merge_colors_alpha_portable);
    r.Add(id::MergeRow, row_of<in_place<MergeColors>>);
    r.Add(id::MergeRowAlpha, row_of<in_place<MergeColorsAlpha, std::int32_t>, std::int32_t>);
    r.Add(id::ChannelDiv, channel_div_portable);
    r.Add(id::ChannelAverage, channel_average_portable);
    r.Add(id::CombineColors, combine_colors_portable);
    r.Add(id::CombinePixel, in_place<combine_colors_portable, std::int32_t>);
    r.Add(id::CombineRow, row_of<CombinePixel, std::int32_t>);
    r.Add(id::BlendColors, blend_colors_portable);
    r.Add(id::BlendPixel, in_place<blend_colors_portable>);
    r.Add(id::BlendSpan, blend_span_portable);
    r.Add(id::BlendRow, row_of<BlendPixel>);
    r.Add(id::BlendColorsAlpha, blend_colors_alpha_portable);
    r.Add(id::BlendPixelAlpha, in_place<blend_colors_alpha_portable, std::int32_t>);
    r.Add(id::BlendRowAlpha, row_of<BlendPixelAlpha, std::int32_t>);
    r.Add(id::ChannelMax, channel_max_portable);
    r.Add(id::ChannelMin, channel_min_portable);
    r.Add(id::ChannelAdd, channel_add_portable);
    r.Add(id::ChannelSub, channel_sub_portable);
    r.Add(id::ChannelMultiply, channel_multiply_portable);
    r.Add(id::ChannelDifference, channel_difference_portable);
    r.Add(id::ChannelExclusion, channel_exclusion_portable);
    r.Add(id::ChannelScale, channel_scale_portable);
    r.Add(id::ChannelLighten, channel_lighten_portable);
    r.Add(id::BlendColorsPerChannel, blend_colors_per_channel_portable);
    r.Add(id::BlendPixelPerChannel, in_place<blend_colors_per_channel_portable, TColor32>);

    // Plain integer forms.
    r.Add(id::EndBlending, end_blending_portable);
    r.Add(id::CombineColors, combine_colors_x86);
    r.Add(id::CombinePixel, in_place<combine_colors_x86, std::int32_t>);
    r.Add(id::BlendColors, blend_colors_x86);
    r.Add(id::BlendPixel, in_place<blend_colors_x86>);
    r.Add(id::BlendColorsAlpha, blend_colors_alpha_x86);
    r.Add(id::BlendPixelAlpha, in_place<blend_colors_alpha_x86, std::int32_t>);
    r.Add(id::BlendRow, blend_row_x86);
    r.Add(id::ChannelLighten, channel_lighten_portable);

    // MMX and extended MMX.
    const TCPUFeatures mmx{ciMMX}, emmx{ciEMMX}, sse{ciSSE}, sse2{ciSSE2};
    r.Add(id::EndBlending, end_blending_simd<mmx_lanes>, mmx);
    r.Add(id::CombineColors, combine_colors_simd<mmx_lanes>, mmx);
    r.Add(id::CombinePixel, combine_pixel_simd<mmx_lanes>, mmx);
    r.Add(id::CombineRow, combine_row_simd<mmx_lanes>, mmx);
    r.Add(id::BlendColors, blend_colors_simd<mmx_lanes>, mmx);
    r.Add(id::BlendPixel, blend_pixel_simd<mmx_lanes>, mmx);
    r.Add(id::BlendColorsAlpha, blend_colors_alpha_simd<mmx_lanes>, mmx);
    r.Add(id::BlendPixelAlpha, blend_pixel_alpha_simd<mmx_lanes>, mmx);
    r.Add(id::BlendRow, blend_row_by_pixel_simd<mmx_lanes>, mmx);
    r.Add(id::BlendRowAlpha, blend_row_alpha_simd<mmx_lanes>, mmx);
    r.Add(id::ChannelMax, bytewise_simd<mmx_lanes, mmx_lanes::max_u8>, emmx);
    r.Add(id::ChannelMin, bytewise_simd<mmx_lanes, mmx_lanes::min_u8>, emmx);
    r.Add(id::ChannelAdd, bytewise_simd<mmx_lanes, mmx_lanes::adds_u8>, mmx);
    r.Add(id::ChannelSub, bytewise_simd<mmx_lanes, mmx_lanes::subs_u8>, mmx);
    r.Add(id::ChannelMultiply, channel_multiply_simd<mmx_lanes>, mmx);
    r.Add(id::ChannelDifference, channel_difference_simd<mmx_lanes>, mmx);
    r.Add(id::ChannelExclusion, channel_exclusion_simd<mmx_lanes>, mmx);
    r.Add(id::ChannelScale, channel_scale_simd<mmx_lanes>, mmx);
    r.Add(id::ChannelLighten, channel_lighten_simd<mmx_lanes>, mmx);
    r.Add(id::BlendColorsPerChannel, blend_colors_per_channel_simd<mmx_lanes>, mmx);
    r.Add(id::BlendPixelPerChannel, blend_pixel_per_channel_simd<mmx_lanes>, mmx);

    // SSE2.
    r.Add(id::EndBlending, end_blending_simd<sse2_lanes>, sse2);
    r.Add(id::MergeColors, merge_colors_table, sse2);
    r.Add(id::CombineColors, combine_colors_simd<sse2_lanes>, sse2);
    r.Add(id::CombinePixel, combine_pixel_simd<sse2_lanes>, sse2);
    r.Add(id::CombineRow, combine_row_sse2, sse2);
    r.Add(id::BlendColors, blend_colors_simd<sse2_lanes>, sse2);
    r.Add(id::BlendPixel, blend_pixel_simd<sse2_lanes>, sse2);
    r.Add(id::BlendSpan, blend_span_sse2, sse2);
    r.Add(id::BlendPixelAlpha, blend_pixel_alpha_simd<sse2_lanes>, sse2);
    r.Add(id::BlendRow, blend_row_sse2, sse2);
    r.Add(id::BlendRowAlpha, blend_row_alpha_sse2, sse2);
    r.Add(id::BlendColorsAlpha, blend_colors_alpha_simd<sse2_lanes>, sse2);
    r.Add(id::ChannelMax, bytewise_simd<sse2_lanes, sse2_lanes::max_u8>, sse2);
    r.Add(id::ChannelMin, bytewise_simd<sse2_lanes, sse2_lanes::min_u8>, sse2);
    r.Add(id::ChannelAdd, bytewise_simd<sse2_lanes, sse2_lanes::adds_u8>, sse2);
    r.Add(id::ChannelSub, bytewise_simd<sse2_lanes, sse2_lanes::subs_u8>, sse2);
    r.Add(id::ChannelMultiply, channel_multiply_simd<sse2_lanes>, sse2);
    r.Add(id::ChannelDifference, channel_difference_simd<sse2_lanes>, sse2);
    r.Add(id::ChannelExclusion, channel_exclusion_simd<sse2_lanes>, sse2);
    r.Add(id::ChannelScale, channel_scale_simd<sse2_lanes>, sse2);
    r.Add(id::ChannelLighten, channel_lighten_sse, sse);
    r.Add(id::BlendColorsPerChannel, blend_colors_per_channel_simd<sse2_lanes>, sse2);
    r.Add(id::BlendPixelPerChannel, blend_pixel_per_channel_simd<sse2_lanes>, sse2);

    // Last: the table form of MergeColors for every processor.
    r.Add(id::MergeColors, merge_colors_table);

    r.RebindAll();
}

void Raster_Blend_startup() {
    RegisterBlendBindings();
    BuildBlendTables();
    MMXActive = ProcessorFeatures.Contains(ciMMX);
    if (ProcessorFeatures.Contains(ciMMX) || ProcessorFeatures.Contains(ciSSE2))
        BuildAlphaWeights();
}

void Raster_Blend_shutdown() {
    AlphaWeights.reset();
}

} // namespace kq
