#include "skin/uSkComm.h"

#include "framework/Conversions.h"
#include "framework/Registry.h"

#include <algorithm>
#include <array>

namespace kq {
namespace {

std::int32_t clamp_channel(std::int32_t v) {
    return std::clamp(v, 0, 255);
}

void adjust_brightness(std::array<std::int32_t, 3>& c, std::int32_t n) {
    for (std::int32_t& x : c) x = clamp_channel(n > 0 ? x + n * (255 - x) / 255 : x + n * x / 255);
}

void adjust_hue_saturation(std::array<std::int32_t, 3>& c, std::int32_t n, std::int32_t hue) {
    std::int32_t& R = c[0];
    std::int32_t& G = c[1];
    std::int32_t& B = c[2];
    const std::int32_t mx = std::max({R, G, B}), mn = std::min({R, G, B});
    const std::int32_t diff = mx - mn;
    if (diff == 0) return;
    const std::int32_t L = (mx + mn) / 2;
    const std::int32_t S0 = mx + mn > 255 ? diff * 255 / (510 - mx - mn) : diff * 255 / (mx + mn);
    if (hue != 0) {
        std::int32_t h = R == mx ? (G - B) * 60 / diff : G == mx ? (B - R) * 60 / diff + 120 : (R - G) * 60 / diff + 240;
        h += hue;
        if (h < 0) h += 360;
        if (h > 360) h -= 360;
        const std::int32_t sector = h / 60;
        std::int32_t f = h % 60;
        if (sector % 2 == 1) f = 60 - f;
        std::int32_t e = (f * 255 + 30) / 60;
        e = e - (255 - S0) * (e - 128) / 255;
        const std::int32_t t = L - 128;
        std::int32_t mid = t > 0 ? (t * (255 - e) + 64) / 128 + e : t < 0 ? e * t / 128 + e : e;
        mid = clamp_channel(mid);
        switch (sector) {
        case 1: R = mid, G = mx, B = mn; break;
        case 2: R = mn, G = mx, B = mid; break;
        case 3: R = mn, G = mid, B = mx; break;
        case 4: R = mid, G = mn, B = mx; break;
        case 5: R = mx, G = mn, B = mid; break;
        default: R = mx, G = mid, B = mn; break; // sectors 0 and 6
        }
    }
    if (n != 0) {
        if (n > 0) {
            const std::int32_t d = n + S0 < 255 ? 255 - n : S0;
            n = 65025 / std::max(1, d) - 255;
        }
        for (std::int32_t& x : c) x = clamp_channel(x + n * (x - L) / 255);
    }
}

} // namespace

// --- Colours

void ShiftColorHSB(TColor Color, std::int32_t H, std::int32_t S, std::int32_t B, TColor& Result) {
    std::array<std::int32_t, 3> c{Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF};
    const std::int32_t s = S * 255 / 100, b = B * 255 / 100;
    if (s > 0 && b != 0) adjust_brightness(c, b);
    adjust_hue_saturation(c, s, H);
    if (s <= 0 && b != 0) adjust_brightness(c, b);
    Result = c[0] | c[1] << 8 | c[2] << 16;
}

void ColorToRGBParts(TColor Color, std::uint8_t& R, std::uint8_t& G, std::uint8_t& B) {
    R = static_cast<std::uint8_t>(Color & 0xFF);
    G = static_cast<std::uint8_t>((Color >> 8) & 0xFF);
    B = static_cast<std::uint8_t>((Color >> 16) & 0xFF);
}

// --- Fills

void GradientFillRect(TCanvas& Canvas, TColor ColorFrom, TColor ColorTo, bool Horizontal, const TRect& Rect) {
    const std::int32_t w = RectWidth(Rect), h = RectHeight(Rect);
    if (w <= 0 || h <= 0) return;
    auto resolve = [](TColor c) { return c < 0 ? static_cast<TColor>(::GetSysColor(c & 0xFF)) : c; };
    std::uint8_t from[3], to[3];
    ColorToRGBParts(resolve(ColorFrom), from[0], from[1], from[2]);
    ColorToRGBParts(resolve(ColorTo), to[0], to[1], to[2]);
    const std::int32_t n = std::max(1, Horizontal ? w : h);
    const std::int32_t step = static_cast<std::int32_t>(Round(16777216.0 / n));
    TBitmap bitmap;
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.SetSize(w, h);
    for (std::int32_t y = 0; y < h; ++y) {
        auto* row = static_cast<std::uint8_t*>(bitmap.ScanLine(y));
        for (std::int32_t x = 0; x < w; ++x) {
            const std::int32_t i = Horizontal ? x : y;
            std::uint8_t* p = row + 4 * x;
            // Wraps in 32 bits as the colour arithmetic always has; the byte keeps the low bits.
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t product = static_cast<std::uint32_t>(to[k] - from[k]) * static_cast<std::uint32_t>(step) *
                                              static_cast<std::uint32_t>(i);
                const std::int32_t channel = from[k] + (static_cast<std::int32_t>(product) >> 24);
                p[2 - k] = static_cast<std::uint8_t>(channel);
            }
            p[3] = 0;
        }
    }
    Canvas.Draw(Rect.Left, Rect.Top, bitmap);
}

void FillSolidRect(HDC DC, std::int32_t X, std::int32_t Y, std::int32_t W, std::int32_t H, TColor Color) {
    const RECT r{X, Y, X + W, Y + H};
    const COLORREF old = ::SetBkColor(DC, static_cast<COLORREF>(Color));
    ::ExtTextOutW(DC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(DC, old);
}

void AlphaFillRect(HDC DC, const TRect& Rect, TColor Color, std::uint8_t Alpha) {
    const std::int32_t w = RectWidth(Rect), h = RectHeight(Rect);
    if (w <= 0 || h <= 0) return;
    TBitmap fill;
    fill.SetPixelFormat(TPixelFormat::pf24bit);
    fill.SetSize(w, h);
    FillSolidRect(fill.Canvas().Handle(), 0, 0, w, h, ColorToRGB(Color));
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, Alpha, 0};
    ::AlphaBlend(DC, Rect.Left, Rect.Top, w, h, fill.Canvas().Handle(), 0, 0, w, h, blend);
}

void AlphaFillBitmap(TBitmap& Bitmap, std::uint8_t Alpha) {
    Bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    for (std::int32_t y = 0; y < Bitmap.Height(); ++y) {
        auto* row = static_cast<std::uint32_t*>(Bitmap.ScanLine(y));
        std::fill_n(row, Bitmap.Width(), std::uint32_t{Alpha} << 24);
    }
}

// --- Text

void SkinDrawText(HDC DC, const String& Text, RECT& Rect, UINT Format) {
    ::DrawTextW(DC, wide(Text), static_cast<int>(Text.size()), &Rect, Format);
}

std::int32_t SkinTextWidth(HDC DC, const String& Text) {
    RECT r{0, 0, 0, 0};
    ::DrawTextW(DC, wide(Text), static_cast<int>(Text.size()), &r, DT_CALCRECT);
    return r.right - r.left;
}

std::int32_t SkinTextHeight(HDC DC, const String& Text) {
    RECT r{0, 0, 0, 0};
    ::DrawTextW(DC, wide(Text), static_cast<int>(Text.size()), &r, DT_CALCRECT);
    return r.bottom - r.top;
}

// --- Install folder

void GetSkinInstallPath(String& Path) {
    Path.clear();
    const registry_key key = registry_key::open_read(HKEY_CURRENT_USER, u"Software\\Skin");
    if (!key) return;
    if (auto value = key.read_string(Format(u"Path%.0f", {32.0}))) Path = IncludeTrailingPathDelimiter(*value);
}

} // namespace kq
