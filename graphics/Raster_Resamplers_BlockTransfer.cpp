// Block transfer: copies and blends between bitmaps of one size, and the stretch that falls back on it.
#include "graphics/Raster_Resamplers.h"

#include "graphics/Raster_Resamplers_Shared.h"

#include <cstring>
#include <vector>

namespace kq {

using namespace detail;

// --- Block transfer

void RequireBitmaps(const TCustomBitmap32* Dst, const TCustomBitmap32* Src) {
    if (!Dst)
        throw EBitmapException(u"Destination bitmap is nil");
    if (!Src)
        throw EBitmapException(u"Source bitmap is nil");
}

void CombineBlock(TCustomBitmap32* Dst, const TRect& DstArea, TCustomBitmap32* Src, std::int32_t SrcX,
                  std::int32_t SrcY, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    // Clip the area so that both its destination and its source part lie inside their bitmaps.
    TRect area = DstArea;
    if (!clip_to(area, Dst->BoundsRect()))
        return;
    const std::int64_t dx = static_cast<std::int64_t>(SrcX) - DstArea.Left;
    const std::int64_t dy = static_cast<std::int64_t>(SrcY) - DstArea.Top;
    if (!clip_to(area, offset_saturated(Src->BoundsRect(), -dx, -dy)))
        return;
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const std::int32_t width = area.Right - area.Left;
    const std::int32_t sx = static_cast<std::int32_t>(area.Left + dx);
    const std::int32_t sy = static_cast<std::int32_t>(area.Top + dy);
    // Copying within one bitmap downwards runs bottom-up so no source row is overwritten before it is read.
    const bool bottom_up = Dst == Src && sy < area.Top;
    std::vector<TColor32> row;
    if (Dst == Src && op.mode != dmOpaque)
        row.resize(static_cast<std::size_t>(width));
    for (std::int32_t k = 0; k < area.Bottom - area.Top; ++k) {
        const std::int32_t i = bottom_up ? area.Bottom - area.Top - 1 - k : k;
        const TColor32* s = Src->PixelPtr(sx, sy + i);
        TColor32* d = Dst->PixelPtr(area.Left, area.Top + i);
        if (!row.empty()) {
            std::memcpy(row.data(), s, row.size() * sizeof(TColor32));
            s = row.data();
        }
        apply_block_row(op, s, d, width);
    }
}

void CopyBlock(TCustomBitmap32* Dst, std::int32_t DstX, std::int32_t DstY, const TRect& DstClip, TCustomBitmap32* Src,
               const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    if (Dst->Empty() || Src->Empty() || blend_without_alpha(*Src, CombineOp))
        return;
    TRect clip = DstClip;
    TRect src = SrcRect;
    if (!clip_to(clip, Dst->BoundsRect()) || !clip_to(src, Src->BoundsRect()))
        return;
    const std::int64_t dx = static_cast<std::int64_t>(DstX) - SrcRect.Left;
    const std::int64_t dy = static_cast<std::int64_t>(DstY) - SrcRect.Top;
    TRect area = offset_saturated(src, dx, dy);
    if (!clip_to(area, clip))
        return;
    if (!Dst->MeasuringMode()) {
        end_blending_at_exit done;
        CombineBlock(Dst, area, Src, static_cast<std::int32_t>(area.Left - dx), static_cast<std::int32_t>(area.Top - dy),
                     CombineOp, CombineCallBack);
    }
    Dst->Changed(area, AreaInfoRect);
}

void StretchBlock(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TCustomResampler* Resampler, TDrawMode CombineOp,
                  const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    if (Src->Empty() || Dst->Empty() || blend_without_alpha(*Src, CombineOp) || RectIsEmpty(SrcRect))
        return;
    // A source rectangle reaching outside the source moves the destination's edges by the scaled overhang.
    TRect dstRect = DstRect, srcRect = SrcRect;
    const double scaleX = (static_cast<double>(DstRect.Right) - DstRect.Left) / (static_cast<double>(SrcRect.Right) - SrcRect.Left);
    const double scaleY = (static_cast<double>(DstRect.Bottom) - DstRect.Top) / (static_cast<double>(SrcRect.Bottom) - SrcRect.Top);
    const auto moved = [](std::int32_t edge, double by) {
        return saturate(static_cast<std::int64_t>(std::clamp(edge + by, -4.0e9, 4.0e9)));
    };
    if (srcRect.Left < 0) {
        dstRect.Left = moved(dstRect.Left, std::ceil(-static_cast<double>(srcRect.Left) * scaleX));
        srcRect.Left = 0;
    }
    if (srcRect.Top < 0) {
        dstRect.Top = moved(dstRect.Top, std::ceil(-static_cast<double>(srcRect.Top) * scaleY));
        srcRect.Top = 0;
    }
    if (srcRect.Right > Src->Width()) {
        dstRect.Right = moved(dstRect.Right, -std::floor((static_cast<double>(srcRect.Right) - Src->Width()) * scaleX));
        srcRect.Right = Src->Width();
    }
    if (srcRect.Bottom > Src->Height()) {
        dstRect.Bottom = moved(dstRect.Bottom, -std::floor((static_cast<double>(srcRect.Bottom) - Src->Height()) * scaleY));
        srcRect.Bottom = Src->Height();
    }
    if (RectIsEmpty(srcRect))
        return;
    if (!Dst->MeasuringMode()) {
        TRect clip = DstClip;
        if (!stretch_clip(*Dst, dstRect, clip))
            return;
        end_blending_at_exit done;
        if (dstRect.Right - dstRect.Left == srcRect.Right - srcRect.Left &&
            dstRect.Bottom - dstRect.Top == srcRect.Bottom - srcRect.Top)
            CombineBlock(Dst, clip, Src, srcRect.Left + clip.Left - dstRect.Left, srcRect.Top + clip.Top - dstRect.Top,
                         CombineOp, CombineCallBack);
        else if (Resampler)
            Resampler->Resample(Dst, dstRect, clip, Src, srcRect, CombineOp, CombineCallBack);
    }
    Dst->Changed(dstRect, AreaInfoRect);
}

} // namespace kq
