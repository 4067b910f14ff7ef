#pragma once
// Numeric types, fixed and float geometry, TColor32, start-up.
#include "framework/Geometry.h"

#include <cstdint>
#include <vector>

namespace kq {

// --- Numeric types and geometry

// Signed 16.16 fixed point: 1.0 = 65536.
using TFixed = std::int32_t;

struct TFixedPoint {
    TFixed X = 0, Y = 0;
    constexpr bool operator==(const TFixedPoint&) const = default;
};

struct TFloatPoint {
    float X = 0, Y = 0;
    constexpr bool operator==(const TFloatPoint&) const = default;
};

struct TFixedRect {
    TFixed Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr TFixedPoint TopLeft() const { return {Left, Top}; }
    constexpr TFixedPoint BottomRight() const { return {Right, Bottom}; }
    constexpr bool operator==(const TFixedRect&) const = default;
};

struct TFloatRect {
    float Left = 0, Top = 0, Right = 0, Bottom = 0;
    constexpr TFloatPoint TopLeft() const { return {Left, Top}; }
    constexpr TFloatPoint BottomRight() const { return {Right, Bottom}; }
    constexpr bool operator==(const TFloatRect&) const = default;
};

using TArrayOfInteger = std::vector<std::int32_t>;
using TArrayOfFloatPoint = std::vector<TFloatPoint>;
using TArrayOfArrayOfFloatPoint = std::vector<TArrayOfFloatPoint>;

enum TWrapMode : std::uint8_t { wmClamp, wmRepeat, wmMirror };
enum TCombineMode : std::uint8_t { cmBlend, cmMerge };

// How a fixed or float rectangle is turned into pixels.
enum class rect_rounding { nearest, outward, inward };

TFixed FloatToFixed(float value);
constexpr TFixed IntToFixed(std::int32_t value) {
    return static_cast<TFixed>(static_cast<std::uint32_t>(value) << 16);
}

constexpr TPoint MakePoint(std::int32_t x, std::int32_t y) {
    return {x, y};
}
constexpr TFloatPoint MakeFloatPoint(float x, float y) {
    return {x, y};
}
constexpr TRect MakeIntRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
    return {l, t, r, b};
}
constexpr TFixedRect MakeFixedRect(TFixed l, TFixed t, TFixed r, TFixed b) {
    return {l, t, r, b};
}
constexpr TFloatRect MakeFloatRect(float l, float t, float r, float b) {
    return {l, t, r, b};
}

TFixedRect RectToFixedRect(const TRect& r);
TFloatRect RectToFloatRect(const TRect& r);
TRect FixedRectToRect(const TFixedRect& r, rect_rounding mode = rect_rounding::nearest);
TRect FloatRectToRect(const TFloatRect& r, rect_rounding mode = rect_rounding::nearest);

// Touching rectangles intersect (with an empty Dst); disjoint ones give False and all zeros.
bool IntersectRects(TRect& dst, const TRect& r1, const TRect& r2);
bool IntersectFloatRects(TFloatRect& dst, const TFloatRect& r1, const TFloatRect& r2);
bool EqualRects(const TRect& r1, const TRect& r2);
void InflateRectBy(TRect& r, std::int32_t dx, std::int32_t dy);
void InflateFloatRect(TFloatRect& r, float dx, float dy);
void OffsetRectBy(TRect& r, std::int32_t dx, std::int32_t dy);
bool RectIsEmpty(const TRect& r);
bool PointInRect(const TRect& r, const TPoint& p);

// --- Colour

// $AARRGGBB with straight (not premultiplied) alpha; in memory blue, green, red, alpha.
using TColor32 = std::uint32_t;
using PColor32 = TColor32*;
using PColor32Array = TColor32*;
using TArrayOfColor32 = std::vector<TColor32>;

constexpr TColor32 clBlack32 = 0xFF000000;
constexpr TColor32 clWhite32 = 0xFFFFFFFF;
constexpr TColor32 clRed32 = 0xFFFF0000;

// A weight curve for antialiasing: entry f is the weight of an 8-bit coverage f. All zero before start-up.
extern std::uint8_t GammaLookup[256];

// A framework colour ($00BBGGRR, negative for a system colour) as an opaque TColor32.
TColor32 WinColorToColor32(std::int32_t color);

constexpr TColor32 MakeColor32(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 255) {
    return static_cast<TColor32>(a) << 24 | static_cast<TColor32>(r) << 16 | static_cast<TColor32>(g) << 8 | b;
}
constexpr std::uint8_t Color32Alpha(TColor32 color) {
    return static_cast<std::uint8_t>(color >> 24);
}
// The alpha is clamped to 0..255.
TColor32 SetColor32Alpha(TColor32 color, std::int32_t alpha);

TColor32 HslToColor32(std::int32_t h, std::int32_t s, std::int32_t l, std::int32_t a = 255);
void Color32ToHsl(TColor32 color, std::uint8_t& h, std::uint8_t& s, std::uint8_t& l);

void SetGammaTable(float gamma);

// --- Start-up of the whole pixel core, in its units' order; shutdown in reverse.

void Raster_startup();
void graphics_startup();
void graphics_shutdown();
// Frees the bitmap's class lists.
void Raster_Bitmap_shutdown();

} // namespace kq
