#pragma once
// PNG pictures into and out of the raster library's bitmaps, with their transparency.

#include "framework/Pictures.h"
#include "graphics/Raster_Bitmap.h"

#include <cstdint>
#include <memory>

namespace kq {

class TStream;

// A PNG with its transparency into Bitmap. AlphaUsed tells whether the picture carried any: a single
// transparent colour or an alpha channel (a palette with partial alpha loads opaque).
void LoadPngIntoBitmap32(TCustomBitmap32& Bitmap, TStream& Stream, bool& AlphaUsed);
void LoadPngFileIntoBitmap32(TCustomBitmap32& Bitmap, const String& FileName, bool& AlphaUsed);

// A new PNG of the bitmap. A paletted one of a bitmap with more than 256 colours holds the bitmap
// reduced to 8 bits: six levels a channel.
std::unique_ptr<TPngImage> Bitmap32ToPng(const TCustomBitmap32& Bitmap, bool Paletted, bool Transparent,
                                         std::uint8_t Interlace, std::uint8_t CompressionLevel,
                                         TColor32 TransparentColor);
void Bitmap32ToPngDefault(const TCustomBitmap32& Bitmap, std::unique_ptr<TPngImage>& Png);

} // namespace kq
