#include "skin/uBitmapHelper.h"

#include "framework/Conversions.h"
#include "graphics/Raster_Bitmap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kq {
namespace {

constexpr std::int32_t fade_margin = 100;

std::uint8_t* pixel24(TBitmap& b, std::int32_t x, std::int32_t y) {
    return static_cast<std::uint8_t*>(b.ScanLine(y)) + 3 * x;
}

// One box-filter pass over count pixels spaced stride bytes apart, per channel, ends repeated.
void box_pass(std::uint8_t* first, std::ptrdiff_t stride, std::int32_t count, std::int32_t radius,
              std::vector<std::int32_t>& scratch) {
    scratch.resize(std::size_t(count) * 3);
    auto at = [&](std::int32_t i) { return first + std::clamp(i, 0, count - 1) * stride; };
    const std::int32_t window = 2 * radius + 1;
    for (int k = 0; k < 3; ++k) {
        std::int32_t sum = 0;
        for (std::int32_t i = -radius; i <= radius; ++i) sum += at(i)[k];
        for (std::int32_t x = 0; x < count; ++x) {
            scratch[std::size_t(x) * 3 + k] = sum / window;
            sum += at(x + radius + 1)[k] - at(x - radius)[k];
        }
    }
    for (std::int32_t x = 0; x < count; ++x)
        for (int k = 0; k < 3; ++k) first[x * stride + k] = static_cast<std::uint8_t>(scratch[std::size_t(x) * 3 + k]);
}

// Pulls a pixel toward the glow's colour by the mask, twice per unit of blur radius.
class glow_colour {
public:
    glow_colour(TColor Color, std::int32_t BlurRadius) : FPasses(2 * BlurRadius) {
        const std::int32_t c = ColorToRGB(Color);
        FColour[0] = (c >> 16) & 0xFF; // blue, green, red
        FColour[1] = (c >> 8) & 0xFF;
        FColour[2] = c & 0xFF;
    }
    void blend(std::uint8_t* bgr, std::int32_t m) const {
        for (std::int32_t pass = 0; pass < FPasses; ++pass)
            for (int k = 0; k < 3; ++k)
                bgr[k] = static_cast<std::uint8_t>(((bgr[k] - FColour[k]) * m >> 8) + FColour[k]);
    }

private:
    std::int32_t FPasses;
    std::int32_t FColour[3];
};

void blend_pixel(std::uint8_t* dst, const std::uint8_t* src, std::int32_t alpha) {
    for (int k = 0; k < 3; ++k) dst[k] = static_cast<std::uint8_t>((src[k] * alpha + dst[k] * (255 - alpha) + 127) / 255);
}

// The glow's mask: the text in red on white in a 24-bit bitmap, blurred; one byte a pixel (its blue).
std::vector<std::uint8_t> glow_mask(TFont& Font, std::int32_t w, std::int32_t h, const String& Text, UINT Format) {
    TBitmap M;
    M.SetPixelFormat(TPixelFormat::pf24bit);
    M.SetSize(w, h);
    TCanvas& mc = M.Canvas();
    mc.Brush().SetColor(clWhite);
    mc.FillRect(RECT{0, 0, w, h});
    mc.SetFont(Font);
    mc.Font().SetColor(clRed);
    mc.Brush().SetStyle(TBrushStyle::bsClear);
    RECT r{0, 0, w, h};
    mc.TextRect(r, Text, Format);
    BlurBitmap(M, 1, 2);
    std::vector<std::uint8_t> mask(std::size_t(w) * std::size_t(h));
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            mask[std::size_t(y) * std::size_t(w) + std::size_t(x)] = pixel24(M, x, y)[0];
    return mask;
}

} // namespace

void FadeEdgesToAverage(TBitmap& Bitmap, TColor& AverageColor) {
    Bitmap.SetPixelFormat(TPixelFormat::pf24bit);
    const std::int32_t W = Bitmap.Width(), H = Bitmap.Height(), M = fade_margin;
    std::uint64_t sum[3] = {0, 0, 0};
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x)
            for (int k = 0; k < 3; ++k) sum[k] += pixel24(Bitmap, x, y)[k];
    const std::uint64_t n = std::max<std::uint64_t>(1, std::uint64_t(W) * std::uint64_t(H));
    const std::uint8_t avg[3] = {std::uint8_t(sum[0] / n), std::uint8_t(sum[1] / n), std::uint8_t(sum[2] / n)};
    AverageColor = avg[2] | avg[1] << 8 | avg[0] << 16;
    // Narrower or lower pictures have no room for the fade; only the average is reported.
    if (W <= M || H <= M) return;
    TBitmap T;
    T.SetPixelFormat(TPixelFormat::pf24bit);
    T.SetSize(W, H);
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x) {
            std::uint8_t* t = pixel24(T, x, y);
            const std::uint8_t* s = pixel24(Bitmap, x, y);
            const bool inside = x < W - M && y < H - M;
            for (int k = 0; k < 3; ++k) t[k] = inside ? s[k] : avg[k];
        }
    for (std::int32_t j = 0; j < M; ++j)
        for (std::int32_t i = 0; i < M; ++i) {
            const double d = std::min(std::sqrt(double(i * i + j * j)), 99.0);
            blend_pixel(pixel24(T, W - M + i, H - M + j), pixel24(Bitmap, W - M + i, H - M + j),
                        255 - static_cast<std::int32_t>(Round(d * 2.55)));
        }
    for (std::int32_t i = 0; i < M; ++i) {
        const std::int32_t alpha = 255 - static_cast<std::int32_t>(Round(i * 2.55));
        for (std::int32_t y = 0; y < H - M; ++y)
            blend_pixel(pixel24(T, W - M + i, y), pixel24(Bitmap, W - M + i, y), alpha);
        for (std::int32_t x = 0; x < W - M; ++x)
            blend_pixel(pixel24(T, x, H - M + i), pixel24(Bitmap, x, H - M + i), alpha);
    }
    Bitmap.Assign(&T);
}

void BlurBitmap(TBitmap& Bitmap, std::int32_t Radius, std::int32_t Passes) {
    if (Radius <= 0) return;
    Bitmap.SetPixelFormat(TPixelFormat::pf24bit);
    const std::int32_t W = Bitmap.Width(), H = Bitmap.Height();
    if (W <= 0 || H <= 0) return;
    std::vector<std::int32_t> scratch;
    const std::ptrdiff_t row_stride = H > 1 ? pixel24(Bitmap, 0, 1) - pixel24(Bitmap, 0, 0) : 0;
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t p = 0; p < Passes; ++p) box_pass(pixel24(Bitmap, 0, y), 3, W, Radius, scratch);
    for (std::int32_t x = 0; x < W; ++x)
        for (std::int32_t p = 0; p < Passes + 1; ++p) box_pass(pixel24(Bitmap, x, 0), row_stride, H, Radius, scratch);
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x) {
            std::uint8_t* q = pixel24(Bitmap, x, y);
            const std::uint8_t grey = static_cast<std::uint8_t>((q[0] + q[1] + q[2]) / 3);
            q[0] = q[1] = q[2] = grey;
        }
}

void DrawGlowText(TCanvas& Canvas, const TRect& Rect, const String& Text, std::int32_t BlurRadius, TColor Color,
                  UINT Format) {
    if (Trim(Text).empty()) return;
    const std::int32_t w = Rect.Right - Rect.Left, h = Rect.Bottom - Rect.Top;
    if (w <= 0 || h <= 0) return;
    TBitmap G;
    G.SetPixelFormat(TPixelFormat::pf24bit);
    G.SetSize(w, h);
    ::BitBlt(G.Canvas().Handle(), 0, 0, w, h, Canvas.Handle(), Rect.Left, Rect.Top, SRCCOPY);
    const std::vector<std::uint8_t> mask = glow_mask(Canvas.Font(), w, h, Text, Format);
    const glow_colour colour(Color, BlurRadius);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x)
            colour.blend(pixel24(G, x, y), mask[std::size_t(y) * std::size_t(w) + std::size_t(x)]);
    ::BitBlt(Canvas.Handle(), Rect.Left, Rect.Top, w, h, G.Canvas().Handle(), 0, 0, SRCCOPY);
}

void glow_text::Draw(TBitmap32& Bitmap, const TRect& Rect, const String& Text, std::int32_t BlurRadius,
                     TColor Color, UINT Format) {
    if (Trim(Text).empty()) return;
    const std::int32_t w = Rect.Right - Rect.Left, h = Rect.Bottom - Rect.Top;
    if (w <= 0 || h <= 0) return;
    TFont& font = Bitmap.Canvas()->Font();
    LOGFONTW lf{};
    ::GetObjectW(font.Handle(), sizeof lf, &lf);
    if (FMask.empty() || Text != FText || w != FWidth || h != FHeight || Format != FFormat ||
        std::memcmp(&lf, &FFont, sizeof lf) != 0) {
        FMask = glow_mask(font, w, h, Text, Format);
        FText = Text;
        FFont = lf;
        FWidth = w;
        FHeight = h;
        FFormat = Format;
    }
    ::GdiFlush(); // the bitmap's pixels are read below, after what GDI drew into them
    const glow_colour colour(Color, BlurRadius);
    const std::int32_t left = std::max(Rect.Left, 0), right = std::min(Rect.Right, Bitmap.Width());
    const std::int32_t top = std::max(Rect.Top, 0), bottom = std::min(Rect.Bottom, Bitmap.Height());
    for (std::int32_t y = top; y < bottom; ++y) {
        const std::uint8_t* m = FMask.data() + std::size_t(y - Rect.Top) * std::size_t(w) - Rect.Left;
        for (std::int32_t x = left; x < right; ++x) {
            TColor32* p = Bitmap.PixelPtr(x, y);
            std::uint8_t bgr[3] = {std::uint8_t(*p), std::uint8_t(*p >> 8), std::uint8_t(*p >> 16)};
            colour.blend(bgr, m[x]);
            // the alpha the copy through a 24-bit bitmap leaves
            *p = TColor32(bgr[0]) | TColor32(bgr[1]) << 8 | TColor32(bgr[2]) << 16;
        }
    }
    if (left < right && top < bottom)
        Bitmap.Changed(TRect{left, top, right, bottom}, AreaInfoRect);
}

} // namespace kq
