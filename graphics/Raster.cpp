#include "graphics/Raster.h"

#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Filters.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_MicroTiles.h"
#include "graphics/Raster_Persistent.h"
#include "graphics/Raster_Platform.h"
#include "graphics/Raster_Polygons.h"
#include "graphics/Raster_Resamplers.h"
#include "graphics/Raster_System.h"
#include "graphics/Raster_Transforms.h"

#ifdef _WIN32
#include "graphics/Raster_XPThemes.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kq {

std::uint8_t GammaLookup[256];

// --- Conversions and rectangles

TFixed FloatToFixed(float value) {
    return static_cast<TFixed>(detail::round_half_even(static_cast<double>(value) * 65536.0));
}

TFixedRect RectToFixedRect(const TRect& r) {
    return {IntToFixed(r.Left), IntToFixed(r.Top), IntToFixed(r.Right), IntToFixed(r.Bottom)};
}

TFloatRect RectToFloatRect(const TRect& r) {
    return {static_cast<float>(r.Left), static_cast<float>(r.Top), static_cast<float>(r.Right),
            static_cast<float>(r.Bottom)};
}

namespace {

// An inward rectangle narrower than a pixel collapses to an empty one at its Left/Top.
TRect no_negative_size(TRect r) {
    r.Right = std::max(r.Right, r.Left);
    r.Bottom = std::max(r.Bottom, r.Top);
    return r;
}

} // namespace

TRect FixedRectToRect(const TFixedRect& r, rect_rounding mode) {
    switch (mode) {
    case rect_rounding::nearest:
        return {FixedToIntNearest(r.Left), FixedToIntNearest(r.Top), FixedToIntNearest(r.Right),
                FixedToIntNearest(r.Bottom)};
    case rect_rounding::outward:
        return {FixedToIntDown(r.Left), FixedToIntDown(r.Top), FixedToIntUp(r.Right), FixedToIntUp(r.Bottom)};
    case rect_rounding::inward:
        break;
    }
    return no_negative_size(
        {FixedToIntUp(r.Left), FixedToIntUp(r.Top), FixedToIntDown(r.Right), FixedToIntDown(r.Bottom)});
}

TRect FloatRectToRect(const TFloatRect& r, rect_rounding mode) {
    const auto to_int = [](double v) { return static_cast<std::int32_t>(v); };
    switch (mode) {
    case rect_rounding::nearest:
        return {static_cast<std::int32_t>(detail::round_half_even(r.Left)),
                static_cast<std::int32_t>(detail::round_half_even(r.Top)),
                static_cast<std::int32_t>(detail::round_half_even(r.Right)),
                static_cast<std::int32_t>(detail::round_half_even(r.Bottom))};
    case rect_rounding::outward:
        return {to_int(std::floor(r.Left)), to_int(std::floor(r.Top)), to_int(std::ceil(r.Right)),
                to_int(std::ceil(r.Bottom))};
    case rect_rounding::inward:
        break;
    }
    return no_negative_size({to_int(std::ceil(r.Left)), to_int(std::ceil(r.Top)), to_int(std::floor(r.Right)),
                             to_int(std::floor(r.Bottom))});
}

namespace {

template <class R>
bool intersect(R& dst, const R& r1, const R& r2) {
    const R r{std::max(r1.Left, r2.Left), std::max(r1.Top, r2.Top), std::min(r1.Right, r2.Right),
              std::min(r1.Bottom, r2.Bottom)};
    const bool intersect = r.Right >= r.Left && r.Bottom >= r.Top;
    dst = intersect ? r : R{};
    return intersect;
}

} // namespace

bool IntersectRects(TRect& dst, const TRect& r1, const TRect& r2) {
    return intersect(dst, r1, r2);
}

bool IntersectFloatRects(TFloatRect& dst, const TFloatRect& r1, const TFloatRect& r2) {
    return intersect(dst, r1, r2);
}

bool EqualRects(const TRect& r1, const TRect& r2) {
    return std::memcmp(&r1, &r2, sizeof(TRect)) == 0;
}

void InflateRectBy(TRect& r, std::int32_t dx, std::int32_t dy) {
    r.Left -= dx;
    r.Top -= dy;
    r.Right += dx;
    r.Bottom += dy;
}

void InflateFloatRect(TFloatRect& r, float dx, float dy) {
    r.Left -= dx;
    r.Top -= dy;
    r.Right += dx;
    r.Bottom += dy;
}

void OffsetRectBy(TRect& r, std::int32_t dx, std::int32_t dy) {
    r.Left += dx;
    r.Top += dy;
    r.Right += dx;
    r.Bottom += dy;
}

bool RectIsEmpty(const TRect& r) {
    return !(r.Left < r.Right && r.Top < r.Bottom);
}

bool PointInRect(const TRect& r, const TPoint& p) {
    return r.Left <= p.X && p.X < r.Right && r.Top <= p.Y && p.Y < r.Bottom;
}

// --- Colour

TColor32 WinColorToColor32(std::int32_t color) {
    std::uint32_t bgr = static_cast<std::uint32_t>(color);
    if (color < 0)
        bgr = raster_platform::sys_color(static_cast<int>(bgr & 0xFF));
    const std::uint32_t r = bgr & 0xFF, g = (bgr >> 8) & 0xFF, b = (bgr >> 16) & 0xFF;
    return 0xFF000000u | r << 16 | g << 8 | b;
}

TColor32 SetColor32Alpha(TColor32 color, std::int32_t alpha) {
    const std::uint32_t a = static_cast<std::uint32_t>(std::clamp(alpha, 0, 255));
    return (color & 0x00FFFFFF) | a << 24;
}

namespace {

// The colour model's arithmetic is 32-bit and wraps, so arguments outside 0..255 give the same colour
// wherever they are computed (and no overflow is undefined).
std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

std::int32_t wrap_sub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

} // namespace

TColor32 HslToColor32(std::int32_t h, std::int32_t s, std::int32_t l, std::int32_t a) {
    // Arguments are not clamped: a hue past 255 leaves the sextant table and gives black, and each
    // channel (alpha too) keeps its low byte.
    std::int32_t v;
    if (l <= 127)
        v = wrap_mul(l, wrap_add(s, 256)) >> 8;
    else
        v = wrap_sub(wrap_add(l, s), wrap_mul(wrap_mul(l, s), 32897) >> 23);
    if (v <= 0)
        return clBlack32;
    const std::int32_t m = wrap_sub(wrap_mul(2, l), v);
    const std::int32_t h6 = wrap_mul(h, 6);
    const std::int32_t sextant = h6 >> 8;
    const std::int32_t fraction = h6 & 255;
    const std::int32_t vsf = wrap_mul(wrap_sub(v, m), fraction) >> 8;
    const std::int32_t mid1 = wrap_add(m, vsf), mid2 = wrap_sub(v, vsf);
    std::int32_t r = 0, g = 0, b = 0;
    switch (sextant) {
    case 0: r = v, g = mid1, b = m; break;
    case 1: r = mid2, g = v, b = m; break;
    case 2: r = m, g = v, b = mid1; break;
    case 3: r = m, g = mid2, b = v; break;
    case 4: r = mid1, g = m, b = v; break;
    case 5: r = v, g = m, b = mid2; break;
    default: break;
    }
    return MakeColor32(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b),
                       static_cast<std::uint8_t>(a));
}

void Color32ToHsl(TColor32 color, std::uint8_t& h, std::uint8_t& s, std::uint8_t& l) {
    const std::int32_t r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
    const std::int32_t max = MaxOf3(r, g, b), min = MinOf3(r, g, b);
    l = static_cast<std::uint8_t>((max + min) >> 1);
    if (max == min) {
        h = 0;
        s = 0;
        return;
    }
    const std::int32_t d = (max - min) * 255;
    s = static_cast<std::uint8_t>(l <= 127 ? d / (max + min) : d / (510 - max - min));
    const std::int32_t d6 = d * 6;
    std::int32_t hue;
    if (r == max)
        hue = ((g - b) * 65025) / d6;
    else if (g == max)
        hue = ((b - r) * 65025) / d6 + 85;
    else
        hue = ((r - g) * 65025) / d6 + 170;
    if (hue < 0)
        hue += 510;
    h = static_cast<std::uint8_t>(hue);
}

void SetGammaTable(float gamma) {
    for (int i = 0; i < 256; ++i)
        GammaLookup[i] = static_cast<std::uint8_t>(
            detail::round_half_even(255.0 * std::pow(static_cast<double>(i) / 255.0, static_cast<double>(gamma))));
}

// --- Start-up

void Raster_startup() {
    SetGammaTable(1.6f);
}

void graphics_startup() {
    Raster_System_startup();
    Raster_Math_startup();
    Raster_LowLevel_startup();
    Raster_Blend_startup();
    Raster_startup();
    Raster_Transforms_startup();
    Raster_Resamplers_startup();
    Raster_MicroTiles_startup();
    Raster_Filters_startup();
    Raster_Polygons_startup();
#ifdef _WIN32
    Raster_Persistent_startup();
    Raster_XPThemes_startup();
#endif
}

void graphics_shutdown() {
#ifdef _WIN32
    Raster_XPThemes_shutdown();
    Raster_Persistent_shutdown();
#endif
    Raster_Polygons_shutdown();
    Raster_Resamplers_shutdown();
    Raster_Bitmap_shutdown();
    Raster_Blend_shutdown();
    Raster_Bindings_shutdown();
    Raster_System_shutdown();
}

} // namespace kq
