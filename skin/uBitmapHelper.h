#pragma once
// Background pictures for the blurred fill: edges faded to the average colour, and a box blur.

#include "framework/Graphics.h"
#include "graphics/Raster.h"

#include <cstdint>

namespace kq {

// Prepares a background picture for the blurred fill: the right and bottom 100 pixels fade into the
// picture's average colour, which is returned. The picture becomes 24-bit.
void FadeEdgesToAverage(TBitmap& Bitmap, TColor& AverageColor);
// A box blur of a 24-bit bitmap (rows Passes times, columns once more), then grey; nothing for Radius 0.
void BlurBitmap(TBitmap& Bitmap, std::int32_t Radius, std::int32_t Passes);
// A soft halo of Color where Text would be drawn in Rect with Format; the caller draws the text after.
void DrawGlowText(TCanvas& Canvas, const TRect& Rect, const String& Text, std::int32_t BlurRadius, TColor Color,
                  UINT Format);

} // namespace kq
