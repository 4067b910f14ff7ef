#pragma once
// Windows only: text as glyph outlines, laid out in a rectangle.

#include "framework/Strings.h"
#include "framework/Win32.h"
#include "graphics/Raster.h"

#include <cstdint>

namespace kq {

class TCustomPath;

// Layout flags.
constexpr std::uint32_t glyph_align_left = 0, glyph_align_center = 1, glyph_align_right = 2,
                        glyph_align_justify = 3, glyph_align_mask = 3;
constexpr std::uint32_t glyph_vertical_center = 4, glyph_bottom = 8, glyph_word_break = 0x10,
                        glyph_single_line = 0x20;

// The width limit of a layout without one.
constexpr float unlimited_text_width = 3.4e38f;

// 0: unhinted outlines; any other mode hints them, and mode 1 also takes them at 16 times the horizontal
// resolution. Process-wide; mode 0 until changed.
void SetGlyphHinting(std::int32_t Mode);

// The outline of the character Glyph of the DC's font with its origin at (DstX, DstY), Y growing downwards.
// False, and nothing added, when DstX plus its advance passes MaxX; a nil Path only measures.
bool GlyphOutlineToPath(HDC DC, TCustomPath* Path, std::uint32_t Glyph, GLYPHMETRICS& Metrics, float DstY, float MaxX,
                        float DstX);

// Lays Text out in DstRect by the layout flags and adds its glyph outlines to Path (nil: measures only).
// DstRect comes back as the laid-out text's extent: Right at the widest line, Bottom below the last line.
void GlyphsToPath(HDC DC, TCustomPath* Path, TFloatRect& DstRect, std::uint32_t Flags, const String& Text);
// The same in a font, on the screen's device context.
void FontTextToPath(HFONT FontHandle, TCustomPath* Path, TFloatRect& DstRect, std::uint32_t Flags,
                    const String& Text);
// The laid-out extent, each coordinate rounded to an integer.
TFloatRect MeasureGlyphText(HDC DC, const TFloatRect& DstRect, const String& Text, std::uint32_t Flags);
TFloatRect MeasureGlyphText(HFONT FontHandle, const TFloatRect& DstRect, const String& Text, std::uint32_t Flags);

} // namespace kq
