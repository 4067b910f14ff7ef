#pragma once
// What the resampler unit's source files share (not part of the unit's interface): how computed colours
// reach the destination, the clipping of the transfers, a kernel's reach, the SSE2 interpolator that the
// bilinear stretch runs inline, and the kernel class list's release.
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_Resamplers.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kq::detail {

// --- Applying colours to the destination

// How computed colours reach the destination, chosen once per call from the source's settings.
struct combine_op {
    TDrawMode mode;
    std::int32_t master;
    TColor32 outer;
    TBlendMemEx blend;              // pixel with master alpha, by the source's combine mode
    blend_line_proc row;            // rows at full master alpha
    blend_line_ex_proc row_alpha;   // rows with master alpha
    const TPixelCombineEvent* callback;
};

inline combine_op combine_of(const TCustomBitmap32& src, TDrawMode mode, const TPixelCombineEvent& callback) {
    if (mode == dmCustom && !callback)
        mode = dmOpaque;
    const TCombineMode cm = src.CombineMode();
    return {mode,
            static_cast<std::int32_t>(std::min<std::uint32_t>(src.MasterAlpha(), 0x7FFFFFFF)),
            src.OuterColor(),
            *blend_pixel_alpha_by_mode[cm],
            *blend_row_by_mode[cm],
            *blend_row_alpha_by_mode[cm],
            &callback};
}

// One computed colour onto one pixel, as the scaled transfers apply it.
inline void apply_pixel(const combine_op& op, TColor32 c, TColor32& d) {
    switch (op.mode) {
    case dmOpaque:
        d = c;
        break;
    case dmBlend:
        op.blend(c, d, op.master);
        break;
    case dmCustom:
        (*op.callback)(c, d, static_cast<TColor32>(op.master));
        break;
    case dmTransparent:
        if (c != op.outer)
            d = c;
        break;
    }
}

inline void apply_row(const combine_op& op, const TColor32* src, TColor32* dst, std::int32_t count) {
    switch (op.mode) {
    case dmOpaque:
        std::memmove(dst, src, static_cast<std::size_t>(count) * sizeof(TColor32));
        break;
    case dmBlend:
        for (std::int32_t i = 0; i < count; ++i)
            op.blend(src[i], dst[i], op.master);
        break;
    default:
        for (std::int32_t i = 0; i < count; ++i)
            apply_pixel(op, src[i], dst[i]);
        break;
    }
}

// The block transfers blend whole rows.
inline void apply_block_row(const combine_op& op, const TColor32* src, TColor32* dst, std::int32_t count) {
    const auto s = reinterpret_cast<std::uintptr_t>(src), d = reinterpret_cast<std::uintptr_t>(dst);
    const auto bytes = static_cast<std::uintptr_t>(count) * sizeof(TColor32);
    if (op.mode == dmOpaque && (s + bytes <= d || d + bytes <= s)) {
        std::memcpy(dst, src, static_cast<std::size_t>(count) * sizeof(TColor32));
        return;
    }
    if (op.mode == dmBlend) {
        if (op.master >= 255)
            op.row(src, dst, count);
        else
            op.row_alpha(src, dst, count, op.master);
        return;
    }
    apply_row(op, src, dst, count);
}

inline bool blend_without_alpha(const TCustomBitmap32& src, TDrawMode mode) {
    return mode == dmBlend && src.MasterAlpha() == 0;
}

inline TRect offset_saturated(const TRect& r, std::int64_t dx, std::int64_t dy) {
    return {saturate(r.Left + dx), saturate(r.Top + dy), saturate(r.Right + dx), saturate(r.Bottom + dy)};
}

// R := R ∩ By; true when something is left.
inline bool clip_to(TRect& r, const TRect& by) {
    TRect out;
    IntersectRects(out, r, by);
    r = out;
    return !RectIsEmpty(r);
}

inline bool inside(const TRect& inner, const TRect& outer) {
    return !RectIsEmpty(inner) && inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

// Runs EndBlending at scope end, also when a callback raises.
struct end_blending_at_exit {
    end_blending_at_exit() = default;
    end_blending_at_exit(const end_blending_at_exit&) = delete;
    end_blending_at_exit& operator=(const end_blending_at_exit&) = delete;
    ~end_blending_at_exit() { EndBlending(); }
};

// DstClip within the destination and DstRect; false when nothing is left.
inline bool stretch_clip(const TCustomBitmap32& dst, const TRect& dstRect, TRect& dstClip) {
    return clip_to(dstClip, dst.BoundsRect()) && clip_to(dstClip, dstRect);
}

// --- Kernels and their weights

// Ceil of the kernel's width; a negative width reaches nowhere.
inline std::int32_t reach_of(const TCustomKernel& kernel) {
    const float width = kernel.GetWidth();
    if (!(width > 0))
        return 0;
    return static_cast<std::int32_t>(std::ceil(std::min(width, 1.0e6f)));
}

void free_kernel_class_list();

// --- Bound routines

// The bilinear stretch runs whole rows inline with this form's arithmetic when it is the bound one.
TColor32 interpolate_four_sse2(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom);

} // namespace kq::detail
