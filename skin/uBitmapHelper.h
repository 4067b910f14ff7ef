#pragma once
// Background pictures for the blurred fill: edges faded to the average colour, and a box blur.

#include "framework/Graphics.h"
#include "graphics/Raster.h"

#include <cstdint>
#include <vector>

namespace kq {

class TBitmap32;

// Prepares a background picture for the blurred fill: the right and bottom 100 pixels fade into the
// picture's average colour, which is returned. The picture becomes 24-bit.
void FadeEdgesToAverage(TBitmap& Bitmap, TColor& AverageColor);
// A box blur of a 24-bit bitmap (rows Passes times, columns once more), then grey; nothing for Radius 0.
void BlurBitmap(TBitmap& Bitmap, std::int32_t Radius, std::int32_t Passes);
// A soft halo of Color where Text would be drawn in Rect with Format; the caller draws the text after.
void DrawGlowText(TCanvas& Canvas, const TRect& Rect, const String& Text, std::int32_t BlurRadius, TColor Color,
                  UINT Format);

// DrawGlowText for a text drawn again and again into a 32-bit bitmap, with the same pixels: the blurred
// mask of the text is kept until the text, the bitmap canvas's font, Format or the rectangle's size change.
class glow_text {
public:
    void Draw(TBitmap32& Bitmap, const TRect& Rect, const String& Text, std::int32_t BlurRadius, TColor Color,
              UINT Format);

private:
    String FText;
    LOGFONTW FFont{};
    std::int32_t FWidth = 0, FHeight = 0;
    UINT FFormat = 0;
    std::vector<std::uint8_t> FMask; // empty until the first draw
};

} // namespace kq
