#pragma once

#include "framework/Win32.h"

#include <cstdint>
#include <span>

namespace kq {

class TBitmap;

// Multiplies blue, green and red of each B G R A pixel by its alpha (value x alpha div 255), the form a
// layered window takes.
void premultiply_alpha(std::span<std::uint32_t> Pixels) noexcept;

// Shows Bitmap (32 bits per pixel, straight alpha unless its AlphaFormat says premultiplied) as the
// whole content of Window, every pixel's alpha further scaled by Alpha. The window becomes layered
// when it is not yet; Position (screen coordinates) moves it, nullptr keeps its place. EOSError when
// the system refuses; EInvalidGraphic for a bitmap of another pixel format.
void show_layered_bitmap(HWND Window, TBitmap& Bitmap, std::uint8_t Alpha, const POINT* Position = nullptr);

} // namespace kq
