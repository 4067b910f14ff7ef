#pragma once
// Premultiplied alpha and showing a bitmap in a layered window.
#include "framework/Win32.h"

#include <cstdint>
#include <span>

namespace kq {

class TBitmap;

// Multiplies blue, green and red of each B G R A pixel by its alpha (value x alpha div 255), the form a
// layered window takes.
void premultiply_alpha(std::span<std::uint32_t> pixels) noexcept;

// How a block of B G R A pixels carries its alpha.
enum class pixel_alpha : std::uint8_t { straight, premultiplied };

// Shows width x height B G R A pixels (rows top-down, no gaps) as the whole content of window, every
// pixel's alpha further scaled by alpha. The caller's pixels are not changed. The window becomes layered
// when it is not yet; position (screen coordinates) moves it, nullptr keeps its place. EOSError when the
// system refuses (an empty picture included).
void show_layered_pixels(HWND window, const std::uint32_t* pixels, int width, int height, pixel_alpha form,
                         std::uint8_t alpha, const POINT* position = nullptr);

// Shows bitmap (32 bits per pixel, straight alpha unless its AlphaFormat says premultiplied) as the
// whole content of window, every pixel's alpha further scaled by alpha. The window becomes layered
// when it is not yet; position (screen coordinates) moves it, nullptr keeps its place. EOSError when
// the system refuses; EInvalidGraphic for a bitmap of another pixel format.
void show_layered_bitmap(HWND window, TBitmap& bitmap, std::uint8_t alpha, const POINT* position = nullptr);

} // namespace kq
