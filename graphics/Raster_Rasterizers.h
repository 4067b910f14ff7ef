#pragma once
// Rasterizers.
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <memory>

namespace kq {

// How a rasterizer stores its samples, taken from a source bitmap.
struct TCombineInfo {
    std::int32_t SrcAlpha = 255;
    TDrawMode DrawMode = dmOpaque;
    TCombineMode CombineMode = cmBlend;
    TPixelCombineEvent CombineCallBack;
    TColor32 TransparentColor = clBlack32;
};

// The bitmap's master alpha, modes, pixel-combine event and outer colour (as the transparent colour). A
// dmCustom mode without an event becomes dmBlend.
TCombineInfo CombineInfoOf(const TCustomBitmap32& Bitmap);

// Fills a destination rectangle pixel by pixel from a sampler (borrowed).
class TRasterizer : public TThreadPersistent {
public:
    TRasterizer();

    TCustomSampler* Sampler() const { return FSampler; }
    void SetSampler(TCustomSampler* Value);

    // From a bitmap takes its combine settings.
    void Assign(const TPersistent* Source) override;

    void Rasterize(TCustomBitmap32* Dst);
    // Within Dst and, when the sampler has bounds, within them; prepares and finalizes the sampler even
    // when nothing is left to fill.
    void Rasterize(TCustomBitmap32* Dst, const TRect& DstRect);
    void Rasterize(TCustomBitmap32* Dst, const TRect& DstRect, const TCombineInfo& CombineInfo);
    void Rasterize(TCustomBitmap32* Dst, const TRect& DstRect, const TCustomBitmap32* Src);

protected:
    void AssignTo(TPersistent* Dest) const override;
    virtual void DoRasterize(TCustomBitmap32* Dst, const TRect& DstRect) = 0;
    void ApplyCombineInfo(const TCombineInfo& Info);
    // Stores a sample into a pixel by the selected draw mode.
    void AssignColor(TColor32& Dst, TColor32 Src) { (this->*FAssignColor)(Dst, Src); }

private:
    void StoreOpaque(TColor32& Dst, TColor32 Src);
    void StoreBlend(TColor32& Dst, TColor32 Src);
    void StoreTransparent(TColor32& Dst, TColor32 Src);
    void StoreCustom(TColor32& Dst, TColor32 Src);

    TCustomSampler* FSampler = nullptr;
    std::int32_t FSrcAlpha = 255;
    TBlendMemEx* FBlendMemEx = &BlendPixelAlpha; // the bound routine variable of the combine mode
    TPixelCombineEvent FCombineCallBack;
    void (TRasterizer::*FAssignColor)(TColor32&, TColor32) = &TRasterizer::StoreOpaque;
    TColor32 FTransparentColor = clBlack32;
};

// Walks the rectangle row by row; with UpdateRowCount above 0 reports every that many rows.
class TRegularRasterizer : public TRasterizer {
public:
    std::int32_t UpdateRowCount() const { return FUpdateRowCount; }
    void SetUpdateRowCount(std::int32_t Value) { FUpdateRowCount = Value; }
    const property_table& PublishedProperties() const override;

protected:
    void DoRasterize(TCustomBitmap32* Dst, const TRect& DstRect) override;

private:
    std::int32_t FUpdateRowCount = 0;
};

// Makes the rasterizer that TransformBitmap uses when given none (a TRegularRasterizer at first).
using rasterizer_factory = std::unique_ptr<TRasterizer> (*)();
extern rasterizer_factory TransformRasterizerClass;

} // namespace kq
