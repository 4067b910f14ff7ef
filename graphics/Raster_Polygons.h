#pragma once
// Polygon renderers and fillers.
#include "graphics/Raster.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_Persistent.h"
#include "graphics/Raster_VPR.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kq {

class TCustomBitmap32;
class TTransformation;

enum TFillRule : std::uint8_t { frEvenOdd, frNonZero };

// Turns Count coverage values into colours (or alpha values, for a filler).
using TFillProc = void (*)(const float* Coverage, TColor32* Output, std::int32_t Count, TColor32 Color);
// Writes one run of a filler's pixels: Dst is the bitmap's pixel (DstX, DstY), AlphaValues one value per pixel.
using TFillLineEvent = std::function<void(TColor32* Dst, std::int32_t DstX, std::int32_t DstY, std::int32_t Length,
                                          TColor32* AlphaValues)>;

// Supplies the pixels of a polygon instead of a plain colour.
class TCustomPolygonFiller : public TObject {
public:
    virtual TFillLineEvent GetFillLine() = 0;
    virtual void BeginRendering() {}
    virtual void EndRendering() {}
};

class TCustomPolygonRenderer : public TThreadPersistent {
public:
    // With a transformation the points are mapped through it first (nil: as they are).
    virtual void PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points, const TFloatRect& ClipRect,
                               TTransformation* Transformation);
    virtual void PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points, const TFloatRect& ClipRect);
    virtual void PolygonFS(const TArrayOfFloatPoint& Points, const TFloatRect& ClipRect,
                           TTransformation* Transformation);
    virtual void PolygonFS(const TArrayOfFloatPoint& Points, const TFloatRect& ClipRect);
};

// Draws on a bitmap (borrowed) in a colour or through a filler (borrowed).
class TPolygonRenderer32 : public TCustomPolygonRenderer {
public:
    TPolygonRenderer32() = default;
    explicit TPolygonRenderer32(TCustomBitmap32* Bitmap, TFillRule FillMode = frNonZero);

    TCustomBitmap32* Bitmap() const { return FBitmap; }
    void SetBitmap(TCustomBitmap32* Value);
    TFillRule FillMode() const { return FFillMode; }
    void SetFillMode(TFillRule Value);
    TColor32 Color() const { return FColor; }
    void SetColor(TColor32 Value);
    TCustomPolygonFiller* Filler() const { return FFiller; }
    void SetFiller(TCustomPolygonFiller* Value);

    using TCustomPolygonRenderer::PolygonFS;
    using TCustomPolygonRenderer::PolyPolygonFS;
    // Within the bitmap's ClipRect.
    virtual void PolygonFS(const TArrayOfFloatPoint& Points);
    virtual void PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points);

protected:
    TCustomBitmap32* FBitmap = nullptr;
    TFillRule FFillMode = frEvenOdd;
    TColor32 FColor = clWhite32;
    TCustomPolygonFiller* FFiller = nullptr;
};

// Anti-aliased fills from exact coverage. Nothing is drawn outside the bitmap, whatever ClipRect says;
// while the bitmap is not inside BeginUpdate each polygon's bounds are reported as changed, also when it
// lies outside the clip.
class TPolygonRenderer32VPR : public TPolygonRenderer32 {
public:
    using TPolygonRenderer32::TPolygonRenderer32;
    using TPolygonRenderer32::PolyPolygonFS;

    void PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points, const TFloatRect& ClipRect) override;

protected:
    // The colour step. From this class's own fill its spans carry runs only (Values nil); a span with
    // Values and no runs is converted pixel by pixel.
    virtual void RenderSpan(const TValueSpan& Span, std::int32_t DstY);
    // The clip within the bitmap; false when nothing of it is left.
    bool drawable_clip(const TFloatRect& ClipRect, TFloatRect& Clip) const;
    void report_bounds(const TArrayOfArrayOfFloatPoint& Points);

    TFillProc FFillProc = nullptr;
    std::vector<TColor32> FLine; // one span's colours, reused from span to span

private:
    void FillSpan(const TValueSpan& Span, std::int32_t DstY);
    TFillLineEvent FFillLine;
    // The last run's coverage (its bits) and colour, within one fill.
    bool FLastRunValid = false;
    std::uint32_t FLastRunBits = 0;
    TColor32 FLastRunColor = 0;
};

// Sub-pixel fills for a horizontal RGB stripe: three coverage values per pixel, one per channel. The filler
// is not used.
class TPolygonRenderer32LCD : public TPolygonRenderer32VPR {
public:
    using TPolygonRenderer32VPR::TPolygonRenderer32VPR;
    using TPolygonRenderer32::PolyPolygonFS;

    void PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points, const TFloatRect& ClipRect) override;

protected:
    void RenderSpan(const TValueSpan& Span, std::int32_t DstY) override;
    // Smoothed: the bytes once more through a centred three-tap average.
    void render_lcd_span(const TValueSpan& Span, std::int32_t DstY, bool smoothed);

private:
    std::vector<std::uint8_t> FWeights;
};

class TPolygonRenderer32LCD2 : public TPolygonRenderer32LCD {
public:
    using TPolygonRenderer32LCD::TPolygonRenderer32LCD;

protected:
    void RenderSpan(const TValueSpan& Span, std::int32_t DstY) override;
};

// --- Renderer classes

struct polygon_renderer_class : class_info {
    std::unique_ptr<TPolygonRenderer32> (*Create)(TCustomBitmap32* Bitmap, TFillRule FillMode) = nullptr;
};

// Made on first use, in registration order; nil before.
TClassList* RendererClassList();
void AddRendererClass(TClass RendererClass);
// A new renderer of the listed class of exactly this name, or nil.
std::unique_ptr<TPolygonRenderer32> create_polygon_renderer(StringView ClassName, TCustomBitmap32* Bitmap,
                                                            TFillRule FillMode);

void Raster_Polygons_startup();
void Raster_Polygons_shutdown();

} // namespace kq
