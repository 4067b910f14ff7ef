#pragma once
// Skin images drawn with the raster library: HSL shifts, fill types, tiles, zoom, nine slices, strips.

#include "graphics/Raster.h"
#include "skin/uSkinIntf.h"

#include <cstdint>
#include <memory>

namespace kq {

// Every pixel shifted in HSL (hue modulo 256, saturation, lightness) and made opaque.
void ShiftBitmapHSL(TCustomBitmap32* Bitmap, std::int32_t dH, std::int32_t dS, std::int32_t dL);
// A hue shift given in degrees (as the colour settings keep it) in the steps of that 0..255 hue, which
// goes round the circle in 255 steps, so that pictures and colours shift alike.
std::int32_t hue_steps(std::int32_t Degrees) noexcept;

// Draws Image onto Dst by fill type, with the image's own draw mode.
void DrawSkinImage(TCustomBitmap32* Image, TCustomBitmap32* Dst, TSkPngFillType FillType);
// Src repeated from (X0, Y0) over Dst.
void TileDrawBitmap(TCustomBitmap32* Src, TCustomBitmap32* Dst, std::int32_t X0, std::int32_t Y0);
// Src scaled to cover Dst and centred.
void ZoomDrawBitmap(TCustomBitmap32* Src, TCustomBitmap32* Dst, float Extra);
// Nine pieces of Image stretched onto Dst; Margins (x1, y1, x2, y2) in image coordinates. ViaGDI copies
// through the image's device context (no alpha).
void DrawNineSlice(TBitmap32* Image, TBitmap32* Dst, const TRect& Margins, bool ViaGDI);
// DrawNineSlice with a third of the image as margins (none across an axis where the sizes agree).
void DrawNineSliceThirds(TBitmap32* Image, TBitmap32* Dst, bool ViaGDI);
// A new image of Width x Height with Image's properties, nine-sliced through GDI; nil for nil.
std::unique_ptr<TSkinImage> ResizeSkinImage(TBitmap32* Image, std::int32_t Width, std::int32_t Height);
// The middle Height rows and first Width columns of Image; a whole copy when they do not fit.
std::unique_ptr<TSkinImage> CropSkinImageMiddle(TBitmap32* Image, std::int32_t Height, std::int32_t Width);
// Count frames side by side, cut as the state strips cut theirs; a nil image leaves Frames empty.
void SplitImageStrip(TBitmap32* Image, std::int32_t Count, TDynSkinImage& Frames);
void FreeSkinImages(TDynSkinImage& Frames);

} // namespace kq
