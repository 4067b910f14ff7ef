#include "graphics/Raster_Rasterizers.h"

#include "framework/Properties.h"
#include "graphics/Raster_Containers.h"

#include <algorithm>
#include <cmath>

namespace kq {

namespace {

std::unique_ptr<TRasterizer> make_regular_rasterizer() {
    return std::make_unique<TRegularRasterizer>();
}

// Bounds given as floats, rounded outwards, without leaving the integer range.
TRect outward_within(const TFloatRect& r, const TRect& limit) {
    const auto clamp_to = [](float v, std::int32_t lo, std::int32_t hi) {
        return std::clamp(static_cast<double>(v), static_cast<double>(lo), static_cast<double>(hi));
    };
    // A NaN bound leaves nothing.
    if (r.Left != r.Left || r.Top != r.Top || r.Right != r.Right || r.Bottom != r.Bottom)
        return {};
    return {static_cast<std::int32_t>(std::floor(clamp_to(r.Left, limit.Left, limit.Right))),
            static_cast<std::int32_t>(std::floor(clamp_to(r.Top, limit.Top, limit.Bottom))),
            static_cast<std::int32_t>(std::ceil(clamp_to(r.Right, limit.Left, limit.Right))),
            static_cast<std::int32_t>(std::ceil(clamp_to(r.Bottom, limit.Top, limit.Bottom)))};
}

} // namespace

rasterizer_factory TransformRasterizerClass = make_regular_rasterizer;

TCombineInfo CombineInfoOf(const TCustomBitmap32& Bitmap) {
    TCombineInfo info;
    info.SrcAlpha = static_cast<std::int32_t>(std::min<std::uint32_t>(Bitmap.MasterAlpha(), 0x7FFFFFFF));
    info.DrawMode = Bitmap.DrawMode();
    info.CombineMode = Bitmap.CombineMode();
    info.CombineCallBack = Bitmap.OnPixelCombine;
    info.TransparentColor = Bitmap.OuterColor();
    // A custom mode with nothing to call blends, as the rasterizer's store does.
    if (info.DrawMode == dmCustom && !info.CombineCallBack)
        info.DrawMode = dmBlend;
    return info;
}

TRasterizer::TRasterizer() {
    ApplyCombineInfo(TCombineInfo{});
}

void TRasterizer::SetSampler(TCustomSampler* Value) {
    if (Value != FSampler) {
        FSampler = Value;
        Changed();
    }
}

void TRasterizer::ApplyCombineInfo(const TCombineInfo& Info) {
    FTransparentColor = Info.TransparentColor;
    FSrcAlpha = Info.SrcAlpha;
    FCombineCallBack = Info.CombineCallBack;
    FBlendMemEx = blend_pixel_alpha_by_mode[Info.CombineMode];
    switch (Info.DrawMode) {
    case dmOpaque:
        FAssignColor = &TRasterizer::StoreOpaque;
        break;
    case dmBlend:
        FAssignColor = &TRasterizer::StoreBlend;
        break;
    case dmTransparent:
        FAssignColor = &TRasterizer::StoreTransparent;
        break;
    case dmCustom:
        // Without an event the custom mode blends.
        FAssignColor = FCombineCallBack ? &TRasterizer::StoreCustom : &TRasterizer::StoreBlend;
        break;
    }
}

void TRasterizer::StoreOpaque(TColor32& Dst, TColor32 Src) {
    Dst = Src;
}

void TRasterizer::StoreBlend(TColor32& Dst, TColor32 Src) {
    (*FBlendMemEx)(Src, Dst, FSrcAlpha);
    EndBlending();
}

void TRasterizer::StoreTransparent(TColor32& Dst, TColor32 Src) {
    if (Src != FTransparentColor)
        Dst = Src;
}

void TRasterizer::StoreCustom(TColor32& Dst, TColor32 Src) {
    FCombineCallBack(Src, Dst, static_cast<TColor32>(FSrcAlpha));
}

void TRasterizer::Assign(const TPersistent* Source) {
    BeginUpdate();
    struct end_update {
        TRasterizer& r;
        ~end_update() {
            r.EndUpdate();
            r.Changed();
        }
    } done{*this};
    if (const auto* bitmap = dynamic_cast<const TCustomBitmap32*>(Source))
        ApplyCombineInfo(CombineInfoOf(*bitmap));
    else
        TThreadPersistent::Assign(Source);
}

void TRasterizer::AssignTo(TPersistent* Dest) const {
    if (auto* rasterizer = dynamic_cast<TRasterizer*>(Dest)) {
        CopyPublishedProperties(this, rasterizer, copyable_property_kinds());
        return;
    }
    TThreadPersistent::AssignTo(Dest);
}

void TRasterizer::Rasterize(TCustomBitmap32* Dst) {
    Rasterize(Dst, Dst->BoundsRect());
}

void TRasterizer::Rasterize(TCustomBitmap32* Dst, const TRect& DstRect, const TCombineInfo& CombineInfo) {
    ApplyCombineInfo(CombineInfo);
    Rasterize(Dst, DstRect);
}

void TRasterizer::Rasterize(TCustomBitmap32* Dst, const TRect& DstRect, const TCustomBitmap32* Src) {
    Rasterize(Dst, DstRect, CombineInfoOf(*Src));
}

void TRasterizer::Rasterize(TCustomBitmap32* Dst, const TRect& DstRect) {
    if (!FSampler)
        return;
    const std::int32_t updateCount = Dst->UpdateCount();
    FSampler->PrepareSampling();
    struct finish {
        TCustomBitmap32* dst;
        TCustomSampler* sampler;
        std::int32_t count;
        ~finish() {
            while (dst->UpdateCount() > count)
                dst->EndUpdate();
            sampler->FinalizeSampling();
        }
    } done{Dst, FSampler, updateCount};
    TRect r;
    if (!IntersectRects(r, DstRect, Dst->BoundsRect()) || RectIsEmpty(r))
        return;
    if (FSampler->HasBounds()) {
        const TRect bounds = outward_within(FSampler->GetSampleBounds(), r);
        if (!IntersectRects(r, r, bounds) || RectIsEmpty(r))
            return;
    }
    DoRasterize(Dst, r);
}

const property_table& TRegularRasterizer::PublishedProperties() const {
    static const property_table table =
        property_table::of<TRegularRasterizer>(TRasterizer::PublishedProperties())
            .integer(u"UpdateRowCount", &TRegularRasterizer::UpdateRowCount, &TRegularRasterizer::SetUpdateRowCount, 0);
    return table;
}

void TRegularRasterizer::DoRasterize(TCustomBitmap32* Dst, const TRect& DstRect) {
    std::int32_t rows = 0, firstRow = DstRect.Top;
    for (std::int32_t y = DstRect.Top; y < DstRect.Bottom; ++y) {
        TColor32* p = Dst->PixelPtr(DstRect.Left, y);
        for (std::int32_t x = DstRect.Left; x < DstRect.Right; ++x)
            AssignColor(*p++, Sampler()->GetSampleInt(x, y));
        if (++rows == FUpdateRowCount) {
            Dst->Changed({DstRect.Left, firstRow, DstRect.Right, y + 1}, AreaInfoRect);
            rows = 0;
            firstRow = y + 1;
        }
    }
    if (rows > 0 && FUpdateRowCount > 0)
        Dst->Changed({DstRect.Left, firstRow, DstRect.Right, DstRect.Bottom}, AreaInfoRect);
}

} // namespace kq
