#pragma once
// The skin's drawing helpers: colour shifts, gradient and translucent fills, text drawing and measuring.

#include "framework/Graphics.h"
#include "framework/Win32.h"
#include "graphics/Raster.h"

#include <cstdint>

namespace kq {

// The colour shifted by hue (degrees), saturation and brightness (percent), as the skin's colour settings do.
void ShiftColorHSB(TColor Color, std::int32_t H, std::int32_t S, std::int32_t B, TColor& Result);

// A two-colour gradient over Rect, by columns (Horizontal) or rows.
void GradientFillRect(TCanvas& Canvas, TColor ColorFrom, TColor ColorTo, bool Horizontal, const TRect& Rect);

void SkinDrawText(HDC DC, const String& Text, RECT& Rect, UINT Format);
// The size of the DT_CALCRECT rectangle of an empty starting rectangle.
std::int32_t SkinTextWidth(HDC DC, const String& Text);
std::int32_t SkinTextHeight(HDC DC, const String& Text);

// FloatRectToRect is the raster library's (nearest, ties to even).
inline std::int32_t RectWidth(const TRect& Rect) {
    return Rect.Right - Rect.Left;
}
inline std::int32_t RectHeight(const TRect& Rect) {
    return Rect.Bottom - Rect.Top;
}
// The three low bytes of the value, lowest first; system colours are not resolved.
void ColorToRGBParts(TColor Color, std::uint8_t& R, std::uint8_t& G, std::uint8_t& B);

void FillSolidRect(HDC DC, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, TColor Color);
// Color blended over Rect with a constant alpha.
void AlphaFillRect(HDC DC, const TRect& Rect, TColor Color, std::uint8_t Alpha);
// Makes Bitmap a 32-bit DIB with every pixel black at that alpha.
void AlphaFillBitmap(TBitmap& Bitmap, std::uint8_t Alpha);

// The skin library's install folder from the user's registry, with a trailing delimiter; empty when absent.
void GetSkinInstallPath(String& Path);

} // namespace kq
