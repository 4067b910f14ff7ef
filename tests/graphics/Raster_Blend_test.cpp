#include "graphics/Raster_Blend.h"

#include "graphics/Raster_Bindings.h"
#include "graphics_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

using namespace kq;

namespace {

// --- The registration list, written out as the forms are meant to be registered

enum form_kind { portable, x86, mmx, sse2, last };

struct registration_line {
    form_kind kind;
    TCPUFeatures features;
    std::vector<std::int32_t> ids;
};

const std::vector<registration_line>& registration_lines() {
    static const std::vector<registration_line> lines{
        {portable, {}, {0, 1, 2, 5, 4, 3, 6, 22, 19, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 23, 24, 25, 26, 27, 28, 29}},
        {x86, {}, {0, 7, 8, 10, 11, 14, 15, 13, 27}},
        {mmx, {ciMMX}, {0, 7, 8, 9, 10, 11, 14, 15, 13, 16}},
        {mmx, {ciEMMX}, {17, 18}},
        {mmx, {ciMMX}, {20, 21, 23, 24, 25, 26, 27, 28, 29}},
        {sse2, {ciSSE2}, {0, 1, 7, 8, 9, 10, 11, 12, 15, 13, 16, 14, 17, 18, 20, 21, 23, 24, 25, 26}},
        {sse2, {ciSSE}, {27}},
        {sse2, {ciSSE2}, {28, 29}},
        {last, {}, {1}},
    };
    return lines;
}

struct expected_item {
    std::int32_t id;
    form_kind kind;
    TCPUFeatures features;
};

std::vector<expected_item> expected_items() {
    std::vector<expected_item> items;
    for (const registration_line& line : registration_lines())
        for (const std::int32_t id : line.ids)
            items.push_back({id, line.kind, line.features});
    return items;
}

TFunctionRegistry& blend_registry() {
    return test::registry_named(u"Raster_Blend bindings");
}

// The form of a routine registered on the given kind of line.
template <class Proc>
Proc form(std::int32_t id, form_kind kind) {
    const auto items = expected_items();
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].id == id && items[i].kind == kind)
            return reinterpret_cast<Proc>(blend_registry().GetItems(static_cast<std::int32_t>(i))->Proc);
    throw std::runtime_error("form not registered");
}

// The routine variables in ID order, read untyped.
TFunctionProc bound(std::int32_t id) {
    const void* const variables[blend_id::count] = {
        &EndBlending,     &MergeColors,    &MergePixel,        &MergeRow,         &MergeColorsAlpha,
        &MergePixelAlpha, &MergeRowAlpha,  &CombineColors,     &CombinePixel,     &CombineRow,
        &BlendColors,     &BlendPixel,     &BlendSpan,         &BlendRow,         &BlendColorsAlpha,
        &BlendPixelAlpha, &BlendRowAlpha,  &ChannelMax,        &ChannelMin,       &ChannelAverage,
        &ChannelAdd,      &ChannelSub,     &ChannelDiv,        &ChannelMultiply,  &ChannelDifference,
        &ChannelExclusion, &ChannelScale,  &ChannelLighten,    &BlendColorsPerChannel, &BlendPixelPerChannel};
    TFunctionProc proc;
    std::memcpy(&proc, variables[id], sizeof proc);
    return proc;
}

// --- Reference arithmetic

std::uint32_t channel(TColor32 c, int i) {
    return (c >> (8 * i)) & 0xFF;
}

TColor32 lerp_reference(TColor32 f, TColor32 b, std::int32_t w) {
    TColor32 r = 0;
    for (int i = 0; i < 4; ++i) {
        const auto fc = static_cast<std::int32_t>(channel(f, i)), bc = static_cast<std::int32_t>(channel(b, i));
        r |= static_cast<TColor32>((bc * 256 + 128 + (fc - bc) * w) >> 8) << (8 * i);
    }
    return r;
}

TColor32 over_reference(TColor32 f, TColor32 b) {
    const std::int32_t fa = static_cast<std::int32_t>(channel(f, 3));
    TColor32 r = 0;
    for (int i = 0; i < 4; ++i) {
        const auto fc = static_cast<std::int32_t>(channel(f, i)), bc = static_cast<std::int32_t>(channel(b, i));
        const std::int32_t v = i < 3 ? ((fc * fa + 128) >> 8) + bc - ((bc * fa + 128) >> 8)
                                     : fa + bc - ((bc * fa + 128) >> 8);
        r |= static_cast<TColor32>(std::clamp(v, 0, 255)) << (8 * i);
    }
    return r;
}

// Four different channel values from two bytes, so a lane mix-up shows.
TColor32 spread(std::uint32_t a, std::uint32_t b) {
    return a | b << 8 | (a ^ b) << 16 | (255 - a) << 24;
}

std::vector<TColor32> random_pixels(std::size_t n) {
    std::vector<TColor32> pixels(n);
    for (TColor32& p : pixels) {
        p = test::random_word();
        // Plenty of fully transparent and fully opaque pixels, where the shortcuts are.
        switch (test::random_word() % 4) {
        case 0: p &= 0x00FFFFFF; break;
        case 1: p |= 0xFF000000; break;
        default: break;
        }
    }
    return pixels;
}

} // namespace

// --- Registration and binding

TEST(RasterBlend, RegistrationFollowsTheListedOrder) {
    const auto items = expected_items();
    TFunctionRegistry& r = blend_registry();
    ASSERT_EQ(r.Count(), static_cast<std::int32_t>(items.size()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(r.GetItems(static_cast<std::int32_t>(i))->FunctionID, items[i].id);
        EXPECT_EQ(r.GetItems(static_cast<std::int32_t>(i))->CPUFeatures, items[i].features);
        EXPECT_NE(r.GetItems(static_cast<std::int32_t>(i))->Proc, nullptr);
    }
}

TEST(RasterBlend, EveryIdBindsTheLastRunnableRegistration) {
    const auto items = expected_items();
    const TCPUFeatures sets[] = {{}, {ciMMX}, {ciMMX, ciEMMX}, {ciMMX, ciSSE, ciSSE2}, {ciMMX, ciEMMX, ciSSE, ciSSE2}};
    for (const TCPUFeatures set : sets) {
        test::simulated_processor processor(set);
        for (std::int32_t id = 0; id < blend_id::count; ++id) {
            SCOPED_TRACE(testing::Message() << "features " << int(set.Bits()) << " id " << id);
            std::int32_t expected = -1;
            for (std::size_t i = 0; i < items.size(); ++i)
                if (items[i].id == id && set.Includes(items[i].features))
                    expected = static_cast<std::int32_t>(i);
            ASSERT_GE(expected, 0);
            ASSERT_NE(bound(id), nullptr);
            EXPECT_EQ(bound(id), blend_registry().GetItems(expected)->Proc);
        }
        // The table form of MergeColors, whatever the processor.
        EXPECT_EQ(bound(blend_id::MergeColors), reinterpret_cast<TFunctionProc>(form<blend_reg_proc>(1, last)));
    }
}

TEST(RasterBlend, CombineModeTablesFollowTheBinding) {
    EXPECT_EQ(blend_pixel_by_mode[cmBlend], &BlendPixel);
    EXPECT_EQ(blend_pixel_by_mode[cmMerge], &MergePixel);
    EXPECT_EQ(blend_pixel_alpha_by_mode[cmMerge], &MergePixelAlpha);
    EXPECT_EQ(blend_row_by_mode[cmBlend], &BlendRow);
    EXPECT_EQ(blend_row_alpha_by_mode[cmBlend], &BlendRowAlpha);
    test::simulated_processor processor({});
    EXPECT_EQ(*blend_row_by_mode[cmBlend], form<blend_line_proc>(blend_id::BlendRow, x86));
}

TEST(RasterBlend, TablesAndWeights) {
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b) {
            ASSERT_EQ(ProductTable[a][b], (a * b * 2 + 255) / 510) << a << " " << b;
            if (a == 0) {
                ASSERT_EQ(RatioTable[a][b], 0);
                continue;
            }
            const int twice = 2 * b * 255, q = twice / (2 * a), r = b * 255 % a;
            const int rounded = 2 * r > a || (2 * r == a && q % 2 == 1) ? q + 1 : q;
            ASSERT_EQ(RatioTable[a][b], rounded & 255) << a << " " << b;
        }
    EXPECT_EQ(RatioTable[192][128], 170);
    EXPECT_EQ(RatioTable[192][64], 85);
    EXPECT_EQ(RatioTable[2][1], 128); // 127.5 rounds to even
    ASSERT_NE(AlphaWeights, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(AlphaWeights.get()) % 16, 0u);
    for (int i = 0; i < 256; ++i)
        for (const std::uint16_t w : AlphaWeights[static_cast<std::size_t>(i)].w)
            ASSERT_EQ(w, i);
    EXPECT_TRUE(MMXActive);
}

// --- Bound behaviour (the SSE2 binding)

TEST(RasterBlend, BoundEdgeValues) {
    EXPECT_EQ(BlendColors(0xFFFFFFFF, 0), 0xFEFEFEFEu); // no shortcut for an opaque foreground
    EXPECT_EQ(MergeColors(0x80FF0000, 0x800000FF), 0xC0AA0055u);
    EXPECT_EQ(ChannelDiv(0, 0x12345678), 0xFFFFFFFFu);
    EXPECT_EQ(ChannelExclusion(0xFFFFFFFF, 0xFFFFFFFF), 0x02020202u);
    EXPECT_EQ(ChannelAverage(0x00FF0103, 0xFFFF0300), 0x7FFF0201u);
    EXPECT_EQ(CombineColors(0x00000000, 0xFFFFFFFF, 0), 0xFFFFFFFFu);

    TColor32 pixel = 0x11223344;
    BlendPixel(0x00FFFFFF, pixel);
    EXPECT_EQ(pixel, 0x11223344u);
    BlendPixel(0xFF123456, pixel);
    EXPECT_EQ(pixel, 0xFF123456u);
    CombinePixel(0x12345678, pixel, 255);
    EXPECT_EQ(pixel, 0x12345678u);
    CombinePixel(0xFFFFFFFF, pixel, 0);
    EXPECT_EQ(pixel, 0x12345678u);
    EndBlending();
}

TEST(RasterBlend, CombineColorsWithFullWeightNearlyGivesX) {
    for (std::uint32_t x = 0; x < 256; x += 15)
        for (std::uint32_t y = 0; y < 256; y += 17) {
            const TColor32 r = CombineColors(x * 0x01010101u, y * 0x01010101u, 255);
            EXPECT_EQ(r, ((x * 255 + y + 128) >> 8) * 0x01010101u) << x << " " << y;
        }
}

TEST(RasterBlend, MergeColorsCases) {
    struct row { TColor32 f, b; TColor32 result; };
    const row rows[] = {
        {0x00FF0000, 0x80123456, 0x80123456}, // transparent foreground: B
        {0xFF123456, 0x80ABCDEF, 0xFF123456}, // opaque foreground: F
        {0x80123456, 0x00ABCDEF, 0x80123456}, // transparent background: F
        {0x80FF0000, 0x800000FF, 0xC0AA0055},
    };
    for (const row& r : rows)
        EXPECT_EQ(MergeColors(r.f, r.b), r.result) << std::hex << r.f << " " << r.b;
    // Over an opaque background it is BlendColors, made opaque.
    for (int i = 0; i < 2000; ++i) {
        const TColor32 f = test::random_word(), b = test::random_word() | 0xFF000000;
        ASSERT_EQ(MergeColors(f, b), (f >> 24 == 0 ? b : BlendColors(f, b) | 0xFF000000)) << std::hex << f << " " << b;
    }
    // Master alpha scales the foreground's alpha through the product table.
    const TColor32 f = 0xC0FF8000, b = 0x60004080;
    EXPECT_EQ(MergeColorsAlpha(f, b, 100), MergeColors((f & 0xFFFFFF) | std::uint32_t{ProductTable[100][0xC0]} << 24, b));
    TColor32 p = b;
    MergePixelAlpha(f, p, 100);
    EXPECT_EQ(p, MergeColorsAlpha(f, b, 100));
    std::vector<TColor32> src = random_pixels(33), dst = random_pixels(33), expected = dst;
    for (std::size_t i = 0; i < src.size(); ++i)
        expected[i] = MergeColorsAlpha(src[i], expected[i], 77);
    MergeRowAlpha(src.data(), dst.data(), 33, 77);
    EXPECT_EQ(dst, expected);
}

TEST(RasterBlend, RowsWithNothingToDoChangeNothing) {
    std::vector<TColor32> src = random_pixels(8), dst = random_pixels(8);
    const std::vector<TColor32> before = dst;
    BlendRowAlpha(src.data(), dst.data(), 0, 200);
    BlendRow(src.data(), dst.data(), -1);
    BlendSpan(0x80FFFFFF, dst.data(), 0);
    BlendSpan(0x00FFFFFF, dst.data(), 8);
    CombineRow(src.data(), dst.data(), 8, 0);
    MergeRow(src.data(), dst.data(), -4);
    EXPECT_EQ(dst, before);
}

// Weights and master alphas outside 0..255 are clamped, in every form: they index 256-entry tables.
TEST(RasterBlend, WeightsOutsideTheByteRangeAreClamped) {
    const TColor32 x = 0x80FF4020, y = 0xFF2040FF;
    for (const form_kind kind : {portable, x86, mmx, sse2}) {
        SCOPED_TRACE(kind);
        const auto combine = form<combine_reg_proc>(blend_id::CombineColors, kind);
        EXPECT_EQ(combine(x, y, 300), combine(x, y, 255));
        EXPECT_EQ(combine(x, y, -7), combine(x, y, 0));
        const auto alpha = form<blend_reg_ex_proc>(blend_id::BlendColorsAlpha, kind);
        EXPECT_EQ(alpha(x, y, 1000), alpha(x, y, 255));
        EXPECT_EQ(alpha(x, y, -1000), alpha(x, y, 0));
        std::vector<TColor32> src{x, x, x}, a{y, y, y}, b{y, y, y};
        if (kind != x86) {
            const auto row = form<blend_line_ex_proc>(blend_id::BlendRowAlpha, kind);
            row(src.data(), a.data(), 3, 256);
            row(src.data(), b.data(), 3, 255);
            EXPECT_EQ(a, b);
        }
    }
    EXPECT_EQ(MergeColorsAlpha(x, y, 999), MergeColorsAlpha(x, y, 255));
}

// --- The SIMD forms against the stated arithmetic, exhaustively over 8-bit inputs

TEST(RasterBlend, SimdLerpFormsAreExact) {
    const auto blend_sse2 = form<blend_reg_proc>(blend_id::BlendColors, sse2);
    const auto blend_mmx = form<blend_reg_proc>(blend_id::BlendColors, mmx);
    const auto combine_sse2 = form<combine_reg_proc>(blend_id::CombineColors, sse2);
    const auto combine_mmx = form<combine_reg_proc>(blend_id::CombineColors, mmx);
    for (std::uint32_t w = 0; w < 256; ++w)
        for (std::uint32_t f = 0; f < 256; ++f)
            for (std::uint32_t b = 0; b < 256; b += 3) {
                const TColor32 fc = (spread(f, b) & 0x00FFFFFF) | w << 24, bc = spread(b, f);
                const TColor32 expected = lerp_reference(fc, bc, static_cast<std::int32_t>(w));
                ASSERT_EQ(blend_sse2(fc, bc), expected) << std::hex << fc << " " << bc;
                ASSERT_EQ(blend_mmx(fc, bc), expected) << std::hex << fc << " " << bc;
                ASSERT_EQ(combine_sse2(fc, bc, static_cast<std::int32_t>(w)), expected);
                ASSERT_EQ(combine_mmx(fc, bc, static_cast<std::int32_t>(w)), expected);
            }
}

TEST(RasterBlend, SimdMasterAlphaFormsAgree) {
    const auto sse2_form = form<blend_reg_ex_proc>(blend_id::BlendColorsAlpha, sse2);
    const auto mmx_form = form<blend_reg_ex_proc>(blend_id::BlendColorsAlpha, mmx);
    for (const std::int32_t m : {0, 1, 64, 128, 254, 255})
        for (std::uint32_t fa = 0; fa < 256; ++fa)
            for (std::uint32_t c = 0; c < 256; c += 5) {
                const TColor32 f = (spread(c, fa) & 0x00FFFFFF) | fa << 24, b = spread(255 - c, c);
                const std::int32_t w = static_cast<std::int32_t>(((static_cast<std::uint32_t>(m) + 1) * fa) >> 8);
                const TColor32 expected = w == 0 ? b : lerp_reference(f, b, w);
                ASSERT_EQ(sse2_form(f, b, m), expected) << m << " " << std::hex << f;
                ASSERT_EQ(mmx_form(f, b, m), expected) << m << " " << std::hex << f;
            }
}

TEST(RasterBlend, ChannelArithmeticFormsAgreeWithPortable) {
    for (const std::int32_t id : {blend_id::ChannelMax, blend_id::ChannelMin, blend_id::ChannelAdd, blend_id::ChannelSub,
                                  blend_id::ChannelMultiply, blend_id::ChannelDifference, blend_id::ChannelExclusion}) {
        SCOPED_TRACE(id);
        const auto reference = form<channel_proc>(id, portable);
        const auto simd_forms = {form<channel_proc>(id, mmx), form<channel_proc>(id, sse2)};
        for (std::uint32_t a = 0; a < 256; ++a)
            for (std::uint32_t b = 0; b < 256; ++b) {
                const TColor32 c1 = spread(a, b), c2 = spread(b, a ^ 0x3C);
                const TColor32 expected = reference(c1, c2);
                for (const auto simd : simd_forms)
                    ASSERT_EQ(simd(c1, c2), expected) << std::hex << c1 << " " << c2;
            }
    }
}

TEST(RasterBlend, ScaleAndLightenFormsAgreeWithPortable) {
    const auto scale = form<channel_scale_proc>(blend_id::ChannelScale, portable);
    const auto lighten = form<channel_scale_proc>(blend_id::ChannelLighten, portable);
    const auto scale_mmx = form<channel_scale_proc>(blend_id::ChannelScale, mmx);
    const auto scale_sse2 = form<channel_scale_proc>(blend_id::ChannelScale, sse2);
    const channel_scale_proc lighten_forms[] = {form<channel_scale_proc>(blend_id::ChannelLighten, x86),
                                                form<channel_scale_proc>(blend_id::ChannelLighten, mmx),
                                                form<channel_scale_proc>(blend_id::ChannelLighten, sse2)};
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::int32_t w = 0; w < 256; ++w) {
            const TColor32 c = spread(a, static_cast<std::uint32_t>(w));
            ASSERT_EQ(scale_mmx(c, w), scale(c, w));
            ASSERT_EQ(scale_sse2(c, w), scale(c, w));
            for (const std::int32_t n : {w, -w})
                for (const auto f : lighten_forms)
                    ASSERT_EQ(f(c, n), lighten(c, n)) << std::hex << c << " " << std::dec << n;
        }
    EXPECT_EQ(lighten(0x80102030, 0xF0), 0x80FFFFFFu);
    EXPECT_EQ(lighten(0x80102030, -0x18), 0x80000818u);
    // Only the portable form takes weights above 255, saturating.
    EXPECT_EQ(scale(0x40404040, 1024), 0xFFFFFFFFu);
    EXPECT_EQ(scale(0x01020304, 512), 0x02040608u);
}

TEST(RasterBlend, PerChannelWeights) {
    // W = $AARRGGBB gives each channel its own weight; the SIMD forms take them from W's bytes reversed.
    const TColor32 f = 0xFFFFFFFF, b = 0x00000000, w = 0x80FF0040;
    const TColor32 simd_expected = static_cast<TColor32>((128 + 255 * 0x80) >> 8)             // blue by alpha byte
                                   | static_cast<TColor32>((128 + 255 * 0xFF) >> 8) << 8      // green by red byte
                                   | static_cast<TColor32>((128 + 255 * 0x00) >> 8) << 16     // red by green byte
                                   | static_cast<TColor32>((128 + 255 * 0x40) >> 8) << 24;    // alpha by blue byte
    for (const form_kind kind : {mmx, sse2}) {
        EXPECT_EQ(form<per_channel_reg_proc>(blend_id::BlendColorsPerChannel, kind)(f, b, w), simd_expected);
        TColor32 p = b;
        form<per_channel_mem_proc>(blend_id::BlendPixelPerChannel, kind)(f, p, w);
        EXPECT_EQ(p, simd_expected);
    }
    EXPECT_EQ(BlendColorsPerChannel(f, b, w), simd_expected);
    // The portable form: red by blue, green by green, blue by red, truncating; the background's alpha stays.
    const auto portable_form = form<per_channel_reg_proc>(blend_id::BlendColorsPerChannel, portable);
    EXPECT_EQ(portable_form(0xFFC8C8C8, 0x11000000, 0x0032FF80), 0x1164C827u);
}

// --- Forms that differ on purpose: the portable table forms and the plain integer forms

TEST(RasterBlend, PortableAndPlainFormsDifferAsStated) {
    const TColor32 f = 0x80FF8040, b = 0x40204060;
    const auto product = [](int a, int c) { return ProductTable[a][c]; };
    // Portable: table products for the colour, B's alpha kept.
    const TColor32 table_mix = 0x40000000u | std::uint32_t(product(128, 0xFF) + product(127, 0x20)) << 16 |
                               std::uint32_t(product(128, 0x80) + product(127, 0x40)) << 8 |
                               std::uint32_t(product(128, 0x40) + product(127, 0x60));
    EXPECT_EQ(form<blend_reg_proc>(blend_id::BlendColors, portable)(f, b), table_mix);
    // Plain integer: rounded products on all four channels.
    const auto rp = [](std::uint32_t c, std::uint32_t w) { return (c * w + 128) >> 8; };
    const TColor32 plain = (rp(0x80, 128) + rp(0x40, 127)) << 24 | (rp(0xFF, 128) + rp(0x20, 127)) << 16 |
                           (rp(0x80, 128) + rp(0x40, 127)) << 8 | (rp(0x40, 128) + rp(0x60, 127));
    EXPECT_EQ(form<blend_reg_proc>(blend_id::BlendColors, x86)(f, b), plain);
    EXPECT_EQ(form<combine_reg_proc>(blend_id::CombineColors, x86)(f, b, 128), plain);
    // Portable combine keeps X's alpha.
    EXPECT_EQ(form<combine_reg_proc>(blend_id::CombineColors, portable)(f, b, 128), (table_mix & 0x00FFFFFF) | 0x80000000);
    // Plain integer master alpha: W = (128 x 255) shr 8 = 127, alpha 0.
    const TColor32 plain_127 = (rp(0xFF, 127) + rp(0x20, 128)) << 16 | (rp(0x80, 127) + rp(0x40, 128)) << 8 |
                               (rp(0x40, 127) + rp(0x60, 128));
    EXPECT_EQ(form<blend_reg_ex_proc>(blend_id::BlendColorsAlpha, x86)(f | 0xFF000000, b, 127), plain_127);
    // Shortcuts of the portable and plain forms.
    for (const form_kind kind : {portable, x86}) {
        const auto bc = form<blend_reg_proc>(blend_id::BlendColors, kind);
        EXPECT_EQ(bc(0x00FFFFFF, b), b);
        EXPECT_EQ(bc(0xFF123456, b), 0xFF123456u);
        const auto cc = form<combine_reg_proc>(blend_id::CombineColors, kind);
        EXPECT_EQ(cc(f, b, 0), b);
        EXPECT_EQ(cc(f, b, 255), f);
    }
}

// --- Rows: odd lengths and offsets, the bound form against its per-pixel definition

TEST(RasterBlend, RowFormsMatchTheirPixelDefinitions) {
    for (int length = 0; length < 40; ++length)
        for (int offset = 0; offset < 4; ++offset) {
            SCOPED_TRACE(testing::Message() << "length " << length << " offset " << offset);
            const auto n = static_cast<std::size_t>(offset + length);
            const std::vector<TColor32> src = random_pixels(n), dst = random_pixels(n);
            const auto run = [&](auto row_call, auto pixel_call) {
                std::vector<TColor32> got = dst, expected = dst;
                row_call(src.data() + offset, got.data() + offset, length);
                for (std::size_t i = static_cast<std::size_t>(offset); i < n; ++i)
                    pixel_call(src[i], expected[i]);
                ASSERT_EQ(got, expected);
            };
            // "Over" on the SSE2 form; the per-pixel interpolation (alpha too) on the MMX form.
            run(form<blend_line_proc>(blend_id::BlendRow, sse2), [](TColor32 s, TColor32& d) { d = over_reference(s, d); });
            run(form<blend_line_proc>(blend_id::BlendRow, mmx), [](TColor32 s, TColor32& d) {
                d = s >> 24 == 0 ? d : s >> 24 == 255 ? s : lerp_reference(s, d, static_cast<std::int32_t>(s >> 24));
            });
            run(form<blend_line_proc>(blend_id::BlendRow, portable), [](TColor32 s, TColor32& d) { BlendPixel(s, d); });
            for (const form_kind kind : {portable, mmx, sse2}) {
                for (const std::int32_t m : {0, 77, 128, 255})
                    run([&](const TColor32* s, TColor32* d, std::int32_t c) { form<blend_line_ex_proc>(blend_id::BlendRowAlpha, kind)(s, d, c, m); },
                        [&](TColor32 s, TColor32& d) { BlendPixelAlpha(s, d, m); });
                for (const std::int32_t w : {0, 1, 128, 255})
                    run([&](const TColor32* s, TColor32* d, std::int32_t c) { form<combine_line_proc>(blend_id::CombineRow, kind)(s, d, c, w); },
                        [&](TColor32 s, TColor32& d) { CombinePixel(s, d, w); });
            }
            for (const form_kind kind : {portable, sse2})
                for (const TColor32 colour : {0x00FFFFFFu, 0xFF123456u, 0x80FF8040u})
                    run([&](const TColor32*, TColor32* d, std::int32_t c) { form<blend_span_proc>(blend_id::BlendSpan, kind)(colour, d, c); },
                        [&](TColor32, TColor32& d) { BlendPixel(colour, d); });
            run(MergeRow, [](TColor32 s, TColor32& d) { MergePixel(s, d); });
        }
}

// --- "Over" rows: the SSE2 form's short cuts against the plain definition

TEST(RasterBlend, OverReferenceIsTheDefinition) {
    const std::vector<TColor32> src = random_pixels(4096), dst = random_pixels(4096);
    std::vector<TColor32> got = dst;
    blend_row_over_reference(src.data(), got.data(), static_cast<std::int32_t>(got.size()));
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], over_reference(src[i], dst[i])) << i;
}

TEST(RasterBlend, OverOfOpaqueQuadsMatchesTheReferenceOnEveryByte) {
    // Every source byte against every destination byte, in whole opaque quads, alpha lane of the
    // destination included.
    std::vector<TColor32> src, dst;
    for (std::uint32_t f = 0; f < 256; ++f)
        for (std::uint32_t b = 0; b < 256; ++b) {
            src.push_back(0xFF000000 | f << 16 | (255 - f) << 8 | (f ^ 0x5A));
            dst.push_back(b << 24 | (255 - b) << 16 | b << 8 | (b ^ 0xA5));
        }
    std::vector<TColor32> got = dst, expected = dst;
    form<blend_line_proc>(blend_id::BlendRow, sse2)(src.data(), got.data(), static_cast<std::int32_t>(src.size()));
    blend_row_over_reference(src.data(), expected.data(), static_cast<std::int32_t>(src.size()));
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], expected[i]) << std::hex << src[i] << " over " << dst[i];
}

TEST(RasterBlend, OverOfRunsMatchesTheReference) {
    // Runs of transparent (with colour), opaque and soft pixels, of lengths that start and end inside quads.
    std::mt19937 engine(7);
    const auto sse2_row = form<blend_line_proc>(blend_id::BlendRow, sse2);
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        const std::size_t offset = engine() % 4, length = engine() % 300;
        std::vector<TColor32> src, dst = random_pixels(offset + length);
        while (src.size() < offset + length) {
            const std::uint32_t kind = engine() % 3, run = 1 + engine() % 24, soft = engine() % 256;
            for (std::uint32_t i = 0; i < run && src.size() < offset + length; ++i) {
                const std::uint32_t alpha = kind == 0 ? 0 : kind == 1 ? 255 : (i % 5 == 4 ? engine() % 256 : soft);
                src.push_back(alpha << 24 | (engine() & 0x00FFFFFF));
            }
        }
        std::vector<TColor32> got = dst, expected = dst;
        sse2_row(src.data() + offset, got.data() + offset, static_cast<std::int32_t>(length));
        blend_row_over_reference(src.data() + offset, expected.data() + offset, static_cast<std::int32_t>(length));
        ASSERT_EQ(got, expected);
    }
}

TEST(RasterBlend, OverIsNotTheInterpolation) {
    // The row blend accumulates alpha ("over"); the pixel blend interpolates it.
    TColor32 row_pixel = 0x80000000, single = 0x80000000;
    const TColor32 src = 0x80FFFFFF;
    BlendRow(&src, &row_pixel, 1);
    BlendPixel(src, single);
    EXPECT_EQ(row_pixel, over_reference(src, 0x80000000));
    EXPECT_EQ(row_pixel >> 24, 0xC0u);
    EXPECT_EQ(single >> 24, 0x80u);
}
