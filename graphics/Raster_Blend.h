#pragma once
// Blending routines.
#include "graphics/Raster.h"

#include <cstdint>
#include <memory>

namespace kq {

// Routine types. F is the foreground and B the background pixel, M a master alpha and W a weight
// (both 0..255; values outside are clamped), Count a number of pixels.
using end_blending_proc = void (*)();
using blend_reg_proc = TColor32 (*)(TColor32 f, TColor32 b);
using blend_mem_proc = void (*)(TColor32 f, TColor32& b);
using blend_line_proc = void (*)(const TColor32* src, TColor32* dst, std::int32_t count);
using blend_span_proc = void (*)(TColor32 f, TColor32* dst, std::int32_t count);
using blend_reg_ex_proc = TColor32 (*)(TColor32 f, TColor32 b, std::int32_t m);
using TBlendMemEx = void (*)(TColor32 f, TColor32& b, std::int32_t m);
using blend_line_ex_proc = void (*)(const TColor32* src, TColor32* dst, std::int32_t count, std::int32_t m);
using combine_reg_proc = TColor32 (*)(TColor32 x, TColor32 y, std::int32_t w);
using combine_mem_proc = void (*)(TColor32 x, TColor32& y, std::int32_t w);
using combine_line_proc = void (*)(const TColor32* src, TColor32* dst, std::int32_t count, std::int32_t w);
using channel_proc = TColor32 (*)(TColor32 c1, TColor32 c2);
using channel_scale_proc = TColor32 (*)(TColor32 c, std::int32_t w);
using per_channel_reg_proc = TColor32 (*)(TColor32 f, TColor32 b, TColor32 w);
using per_channel_mem_proc = void (*)(TColor32 f, TColor32& b, TColor32 w);

// The routine variables, bound at start-up by the registry "Raster_Blend bindings".
extern end_blending_proc EndBlending;
extern blend_reg_proc MergeColors;
extern blend_mem_proc MergePixel;
extern blend_line_proc MergeRow;
extern blend_reg_ex_proc MergeColorsAlpha;
extern TBlendMemEx MergePixelAlpha;
extern blend_line_ex_proc MergeRowAlpha;
extern combine_reg_proc CombineColors;
extern combine_mem_proc CombinePixel;
extern combine_line_proc CombineRow;
extern blend_reg_proc BlendColors;
extern blend_mem_proc BlendPixel;
extern blend_span_proc BlendSpan;
extern blend_line_proc BlendRow;
extern blend_reg_ex_proc BlendColorsAlpha;
extern TBlendMemEx BlendPixelAlpha;
extern blend_line_ex_proc BlendRowAlpha;
extern channel_proc ChannelMax;
extern channel_proc ChannelMin;
extern channel_proc ChannelAverage;
extern channel_proc ChannelAdd;
extern channel_proc ChannelSub;
extern channel_proc ChannelDiv;
extern channel_proc ChannelMultiply;
extern channel_proc ChannelDifference;
extern channel_proc ChannelExclusion;
extern channel_scale_proc ChannelScale;
extern channel_scale_proc ChannelLighten;
extern per_channel_reg_proc BlendColorsPerChannel;
extern per_channel_mem_proc BlendPixelPerChannel;

// Function IDs of the registry.
namespace blend_id {
enum : std::int32_t {
    EndBlending, MergeColors, MergePixel, MergeRow, MergeColorsAlpha, MergePixelAlpha, MergeRowAlpha,
    CombineColors, CombinePixel, CombineRow, BlendColors, BlendPixel, BlendSpan, BlendRow, BlendColorsAlpha,
    BlendPixelAlpha, BlendRowAlpha, ChannelMax, ChannelMin, ChannelAverage, ChannelAdd, ChannelSub, ChannelDiv,
    ChannelMultiply, ChannelDifference, ChannelExclusion, ChannelScale, ChannelLighten, BlendColorsPerChannel,
    BlendPixelPerChannel, count
};
}

// Pick the routine by a bitmap's combine mode; the tables hold the variables, so they follow the binding.
extern blend_mem_proc* const blend_pixel_by_mode[2];
extern TBlendMemEx* const blend_pixel_alpha_by_mode[2];
extern blend_line_proc* const blend_row_by_mode[2];
extern blend_line_ex_proc* const blend_row_alpha_by_mode[2];

// [a][b] = a x b / 255 rounded.
extern std::uint8_t ProductTable[256][256];
// [a][b] = b x 255 / a rounded half to even, low 8 bits; row 0 is 0.
extern std::uint8_t RatioTable[256][256];

// Entry i holds i in eight 16-bit words, for the SIMD forms; present only with MMX or SSE2.
struct alignas(16) alpha_weight {
    std::uint16_t w[8];
};
extern std::unique_ptr<alpha_weight[]> AlphaWeights;

extern bool MMXActive;

// The row "over" pixel by pixel (C = F x Fa + B - B x Fa, each product rounded, A = Fa + Ba - Ba x Fa),
// the plain definition of the SSE2 form bound to BlendRow; not registered.
void blend_row_over_reference(const TColor32* src, TColor32* dst, std::int32_t count);

void RegisterBlendBindings();
void BuildBlendTables();
void BuildAlphaWeights();
void Raster_Blend_startup();
void Raster_Blend_shutdown();

} // namespace kq
