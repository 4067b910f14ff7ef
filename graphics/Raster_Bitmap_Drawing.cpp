// The bitmap's drawing operations: transfers, fills, frames, lines, stipple and whole-bitmap moves.
// Every operation stays inside the bitmap whatever its arguments; the "unclipped" ones only skip ClipRect.

#include "graphics/Raster_Bitmap.h"

#include "graphics/Raster_Blend.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_Resamplers.h"
#include "graphics/Raster_VectorUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kq {

namespace {

// Calls EndBlending on leaving the scope, also when a blend routine fails.
struct end_blending_guard {
    end_blending_guard() = default;
    end_blending_guard(const end_blending_guard&) = delete;
    end_blending_guard& operator=(const end_blending_guard&) = delete;
    ~end_blending_guard() { EndBlending(); }
};

std::int64_t abs64(std::int64_t v) {
    return v < 0 ? -v : v;
}

// The pixels of the exact line from (X1, Y1) to (X2, Y2) (Bresenham, the end point when L) that lie in
// Clip, in drawing order. Only the stretch of the major axis inside Clip is walked.
template <class Plot>
void exact_line(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, bool L, const TRect& Clip,
                Plot plot) {
    if (Clip.Right <= Clip.Left || Clip.Bottom <= Clip.Top)
        return;
    const std::int64_t dx = abs64(std::int64_t{X2} - X1), dy = abs64(std::int64_t{Y2} - Y1);
    const std::int64_t sx = X2 < X1 ? -1 : 1, sy = Y2 < Y1 ? -1 : 1;
    const bool x_major = dx > dy;
    const std::int64_t major = x_major ? dx : dy, minor = x_major ? dy : dx;
    const std::int64_t last = L ? major : major - 1;
    if (last < 0)
        return;
    const std::int64_t m1 = x_major ? X1 : Y1, n1 = x_major ? Y1 : X1;
    const std::int64_t sm = x_major ? sx : sy, sn = x_major ? sy : sx;
    const std::int64_t lo = x_major ? Clip.Left : Clip.Top, hi = (x_major ? Clip.Right : Clip.Bottom) - 1;
    const std::int64_t nlo = x_major ? Clip.Top : Clip.Left, nhi = (x_major ? Clip.Bottom : Clip.Right) - 1;
    // Steps i whose major coordinate m1 + sm * i lies in lo..hi.
    std::int64_t first = sm > 0 ? lo - m1 : m1 - hi, stop = sm > 0 ? hi - m1 : m1 - lo;
    first = std::max<std::int64_t>(first, 0);
    stop = std::min(stop, last);
    const auto half = static_cast<std::uint64_t>(major / 2);
    for (std::int64_t i = first; i <= stop; ++i) {
        // The error term after i steps decides how far the minor axis has moved.
        const std::uint64_t moved =
            major == 0 ? 0 : (half + static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(minor)) /
                                 static_cast<std::uint64_t>(major);
        const std::int64_t n = n1 + sn * static_cast<std::int64_t>(moved);
        if (n < nlo || n > nhi)
            continue;
        const std::int64_t m = m1 + sm * i;
        if (x_major)
            plot(static_cast<std::int32_t>(m), static_cast<std::int32_t>(n));
        else
            plot(static_cast<std::int32_t>(n), static_cast<std::int32_t>(m));
    }
}

bool overlaps(const TRect& r, std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2) {
    return X1 < r.Right && X2 > r.Left && Y1 < r.Bottom && Y2 > r.Top;
}

} // namespace

// --- Transfers

void TCustomBitmap32::Draw(std::int32_t DstX, std::int32_t DstY, TCustomBitmap32* Src) {
    if (Src)
        Src->DrawTo(this, DstX, DstY);
}

void TCustomBitmap32::Draw(std::int32_t DstX, std::int32_t DstY, const TRect& SrcRect, TCustomBitmap32* Src) {
    if (Src)
        Src->DrawTo(this, DstX, DstY, SrcRect);
}

void TCustomBitmap32::Draw(const TRect& DstRect, const TRect& SrcRect, TCustomBitmap32* Src) {
    if (Src)
        Src->DrawTo(this, DstRect, SrcRect);
}

void TCustomBitmap32::DrawTo(TCustomBitmap32* Dst) {
    DrawTo(Dst, 0, 0);
}

void TCustomBitmap32::DrawTo(TCustomBitmap32* Dst, std::int32_t DstX, std::int32_t DstY) {
    DrawTo(Dst, DstX, DstY, BoundsRect());
}

void TCustomBitmap32::DrawTo(TCustomBitmap32* Dst, std::int32_t DstX, std::int32_t DstY, const TRect& SrcRect) {
    if (!Dst)
        return;
    CopyBlock(Dst, DstX, DstY, Dst->ClipRect(), this, SrcRect, FDrawMode, OnPixelCombine);
}

void TCustomBitmap32::DrawTo(TCustomBitmap32* Dst, const TRect& DstRect) {
    DrawTo(Dst, DstRect, BoundsRect());
}

void TCustomBitmap32::DrawTo(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& SrcRect) {
    if (!Dst)
        return;
    StretchBlock(Dst, DstRect, Dst->ClipRect(), this, SrcRect, FResampler.get(), FDrawMode, OnPixelCombine);
}

// --- Fills

void TCustomBitmap32::FillRect(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value) {
    if (FBits) {
        const std::int32_t l = std::max(X1, 0), t = std::max(Y1, 0);
        const std::int32_t r = std::min(X2, FWidth), b = std::min(Y2, FHeight);
        for (std::int32_t y = t; y < b && l < r; ++y)
            FillDwords(PixelPtr(l, y), r - l, Value);
    }
    Changed({X1, Y1, X2, Y2}, AreaInfoRect);
}

void TCustomBitmap32::FillRectS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value) {
    TRect r{X1, Y1, X2, Y2};
    if (!FMeasuringMode && X1 < X2 && Y1 < Y2 && overlaps(FClipRect, X1, Y1, X2, Y2)) {
        r = {std::max(X1, FClipRect.Left), std::max(Y1, FClipRect.Top), std::min(X2, FClipRect.Right),
             std::min(Y2, FClipRect.Bottom)};
        FillRect(r.Left, r.Top, r.Right, r.Bottom, Value);
    }
    Changed(r, AreaInfoRect);
}

void TCustomBitmap32::FillRectS(const TRect& ARect, TColor32 Value) {
    if (FMeasuringMode)
        Changed(ARect, AreaInfoRect);
    else
        FillRectS(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom, Value);
}

void TCustomBitmap32::FillRectT(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value) {
    const std::int32_t a = Color32Alpha(Value);
    if (a == 255) {
        FillRect(X1, Y1, X2, Y2, Value);
        return;
    }
    if (a == 0)
        return;
    if (FBits) {
        end_blending_guard end;
        const std::int32_t l = std::max(X1, 0), t = std::max(Y1, 0);
        const std::int32_t r = std::min(X2, FWidth), b = std::min(Y2, FHeight);
        for (std::int32_t y = t; y < b && l < r; ++y)
            for (TColor32 *p = PixelPtr(l, y), *e = p + (r - l); p < e; ++p)
                if (FCombineMode == cmMerge)
                    MergePixel(Value, *p);
                else
                    CombinePixel(Value, *p, a);
    }
    Changed({X1, Y1, X2, Y2}, AreaInfoRect);
}

void TCustomBitmap32::FillRectTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value) {
    TRect r{X1, Y1, X2, Y2};
    if (!FMeasuringMode && X1 < X2 && Y1 < Y2 && overlaps(FClipRect, X1, Y1, X2, Y2)) {
        r = {std::max(X1, FClipRect.Left), std::max(Y1, FClipRect.Top), std::min(X2, FClipRect.Right),
             std::min(Y2, FClipRect.Bottom)};
        FillRectT(r.Left, r.Top, r.Right, r.Bottom, Value);
    }
    Changed(r, AreaInfoRect);
}

void TCustomBitmap32::FillRectTS(const TRect& ARect, TColor32 Value) {
    if (FMeasuringMode)
        Changed(ARect, AreaInfoRect);
    else
        FillRectTS(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom, Value);
}

// --- Frames

void TCustomBitmap32::FrameRectS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value) {
    if (X1 >= X2 || Y1 >= Y2 || !overlaps(FClipRect, X1, Y1, X2, Y2))
        return;
    const std::int32_t x2 = X2 - 1;
    HorzLineS(X1, Y1, x2, Value);
    if (Y1 < Y2 - 1)
        HorzLineS(X1, Y2 - 1, x2, Value);
    if (Y1 + 1 < Y2 - 1) {
        VertLineS(X1, Y1 + 1, Y2 - 2, Value);
        if (X1 < x2)
            VertLineS(x2, Y1 + 1, Y2 - 2, Value);
    }
}

void TCustomBitmap32::FrameRectS(const TRect& ARect, TColor32 Value) {
    FrameRectS(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom, Value);
}

void TCustomBitmap32::FrameRectTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                                  TColor32 Value) {
    if (X1 >= X2 || Y1 >= Y2 || !overlaps(FClipRect, X1, Y1, X2, Y2))
        return;
    const std::int32_t x2 = X2 - 1;
    HorzLineTS(X1, Y1, x2, Value);
    if (Y1 < Y2 - 1)
        HorzLineTS(X1, Y2 - 1, x2, Value);
    if (Y1 + 1 < Y2 - 1) {
        VertLineTS(X1, Y1 + 1, Y2 - 2, Value);
        if (X1 < x2)
            VertLineTS(x2, Y1 + 1, Y2 - 2, Value);
    }
}

void TCustomBitmap32::FrameRectTS(const TRect& ARect, TColor32 Value) {
    FrameRectTS(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom, Value);
}

void TCustomBitmap32::FrameRectTSP(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2) {
    if (X1 >= X2 || Y1 >= Y2 || X1 >= FWidth || Y1 >= FHeight || X2 <= 0 || Y2 <= 0)
        return;
    if (X1 == X2 - 1 && Y1 == Y2 - 1) {
        if (!FMeasuringMode && PointInRect(FClipRect, {X1, Y1}))
            SetPixelT(X1, Y1, GetStippleColor());
        Changed({X1, Y1, X1 + 1, Y1 + 1}, AreaInfoRect);
    } else if (Y1 == Y2 - 1) {
        HorzLineTSP(X1, Y1, X2 - 1);
    } else if (X1 == X2 - 1) {
        VertLineTSP(X1, Y1, Y2 - 1);
    } else {
        HorzLineTSP(X1, Y1, X2 - 2);
        VertLineTSP(X2 - 1, Y1, Y2 - 2);
        HorzLineTSP(X2 - 1, Y2 - 1, X1 + 1);
        VertLineTSP(X1, Y2 - 1, Y1 + 1);
    }
}

void TCustomBitmap32::FrameRectTSP(const TRect& ARect) {
    FrameRectTSP(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom);
}

void TCustomBitmap32::RaiseRectTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                                  std::int32_t Contrast) {
    if (X1 >= X2 || Y1 >= Y2 || Contrast == 0 || !overlaps(FClipRect, X1, Y1, X2, Y2))
        return;
    const auto percent = [](std::int64_t c, std::int64_t scale) {
        return static_cast<std::uint8_t>(ClampByte(static_cast<std::int32_t>(std::clamp<std::int64_t>(c * scale / 100, -1, 256))));
    };
    TColor32 light, dark;
    if (Contrast > 0) {
        light = SetColor32Alpha(clWhite32, percent(Contrast, 512));
        dark = SetColor32Alpha(clBlack32, percent(Contrast, 255));
    } else {
        light = SetColor32Alpha(clBlack32, percent(-std::int64_t{Contrast}, 255));
        dark = SetColor32Alpha(clWhite32, percent(-std::int64_t{Contrast}, 512));
    }
    HorzLineTS(X1, Y1, X2 - 1, light);
    HorzLineTS(X1, Y2 - 1, X2 - 1, dark);
    VertLineTS(X1, Y1 + 1, Y2 - 2, light);
    VertLineTS(X2 - 1, Y1 + 1, Y2 - 2, dark);
}

void TCustomBitmap32::RaiseRectTS(const TRect& ARect, std::int32_t Contrast) {
    RaiseRectTS(ARect.Left, ARect.Top, ARect.Right, ARect.Bottom, Contrast);
}

// --- Horizontal and vertical spans

void TCustomBitmap32::HorzLine(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value) {
    if (!FBits || Y < 0 || Y >= FHeight || X2 < X1)
        return;
    const std::int32_t l = std::max(X1, 0), r = std::min(X2, FWidth - 1);
    if (l <= r)
        FillDwords(PixelPtr(l, Y), r - l + 1, Value);
}

void TCustomBitmap32::HorzLineS(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value) {
    if (FMeasuringMode) {
        Changed({X1, Y, X2, Y + 1}, AreaInfoRect);
        return;
    }
    if (Y >= FClipRect.Top && Y < FClipRect.Bottom && ClipSpan(X1, X2, FClipRect.Left, FClipRect.Right)) {
        HorzLine(X1, Y, X2, Value);
        Changed({X1, Y, X2, Y + 1}, AreaInfoRect);
    }
}

void TCustomBitmap32::HorzLineT(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value) {
    if (!FBits || Y < 0 || Y >= FHeight || X2 < X1)
        return;
    end_blending_guard end;
    const std::int32_t l = std::max(X1, 0), r = std::min(X2, FWidth - 1);
    for (std::int32_t x = l; x <= r; ++x)
        (*BlendProc)(Value, *PixelPtr(x, Y));
}

void TCustomBitmap32::HorzLineTS(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value) {
    if (FMeasuringMode) {
        Changed({X1, Y, X2, Y + 1}, AreaInfoRect);
        return;
    }
    if (Y >= FClipRect.Top && Y < FClipRect.Bottom && ClipSpan(X1, X2, FClipRect.Left, FClipRect.Right)) {
        HorzLineT(X1, Y, X2, Value);
        Changed({X1, Y, X2, Y + 1}, AreaInfoRect);
    }
}

void TCustomBitmap32::VertLine(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value) {
    if (!FBits || X < 0 || X >= FWidth || Y2 < Y1)
        return;
    const std::int32_t t = std::max(Y1, 0), b = std::min(Y2, FHeight - 1);
    for (std::int32_t y = t; y <= b; ++y)
        SetPixel(X, y, Value);
}

void TCustomBitmap32::VertLineS(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value) {
    if (FMeasuringMode) {
        Changed({X, Y1, X + 1, Y2}, AreaInfoRect);
        return;
    }
    if (X >= FClipRect.Left && X < FClipRect.Right && ClipSpan(Y1, Y2, FClipRect.Top, FClipRect.Bottom)) {
        VertLine(X, Y1, Y2, Value);
        Changed({X, Y1, X + 1, Y2}, AreaInfoRect);
    }
}

void TCustomBitmap32::VertLineT(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value) {
    if (!FBits || X < 0 || X >= FWidth || Y2 < Y1)
        return;
    end_blending_guard end;
    const std::int32_t t = std::max(Y1, 0), b = std::min(Y2, FHeight - 1);
    for (std::int32_t y = t; y <= b; ++y)
        (*BlendProc)(Value, *PixelPtr(X, y));
}

void TCustomBitmap32::VertLineTS(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value) {
    if (FMeasuringMode) {
        Changed({X, Y1, X + 1, Y2}, AreaInfoRect);
        return;
    }
    if (X >= FClipRect.Left && X < FClipRect.Right && ClipSpan(Y1, Y2, FClipRect.Top, FClipRect.Bottom)) {
        VertLineT(X, Y1, Y2, Value);
        Changed({X, Y1, X + 1, Y2}, AreaInfoRect);
    }
}

// --- Stipple

void TCustomBitmap32::AdvanceStippleCounter(float LengthPixels) {
    if (FStipplePattern.empty())
        return;
    const auto l = static_cast<float>(FStipplePattern.size());
    const float d = LengthPixels * FStippleStep;
    if (d == 0 || !std::isfinite(d))
        return;
    FStippleCounter = FStippleCounter + d;
    FStippleCounter = FStippleCounter - l * std::floor(FStippleCounter / l);
}

TColor32 TCustomBitmap32::GetStippleColor() {
    if (FStipplePattern.empty())
        return clBlack32;
    const auto count = static_cast<std::int32_t>(FStipplePattern.size());
    const auto l = static_cast<float>(count);
    if (!std::isfinite(FStippleCounter))
        FStippleCounter = 0;
    if (FStippleCounter >= l || FStippleCounter < 0)
        FStippleCounter = FStippleCounter - l * std::floor(FStippleCounter / l);
    const auto i = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(detail::round_half_even(static_cast<double>(FStippleCounter) - 0.5), 0, count - 1));
    const auto w = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(detail::round_half_even((static_cast<double>(FStippleCounter) - i) * 255), 0, 255));
    const TColor32 result =
        w == 0 ? FStipplePattern[i] : CombineColors(FStipplePattern[i], FStipplePattern[(i + 1) % count], 255 - w);
    EndBlending();
    FStippleCounter = FStippleCounter + FStippleStep;
    return result;
}

void TCustomBitmap32::HorzLineTSP(std::int32_t X1, std::int32_t Y, std::int32_t X2) {
    if (FMeasuringMode) {
        Changed({X1, Y, X2, Y + 1}, AreaInfoRect);
        return;
    }
    if (Empty())
        return;
    const TRect& c = FClipRect;
    if (Y < c.Top || Y >= c.Bottom || (X1 < c.Left && X2 < c.Left) || (X1 >= c.Right && X2 >= c.Right)) {
        AdvanceStippleCounter(static_cast<float>(abs64(std::int64_t{X2} - X1) + 1));
        return;
    }
    if (X1 < c.Left) {
        AdvanceStippleCounter(static_cast<float>(std::int64_t{c.Left} - X1));
        X1 = c.Left;
    } else if (X1 >= c.Right) {
        AdvanceStippleCounter(static_cast<float>(std::int64_t{X1} - (c.Right - 1)));
        X1 = c.Right - 1;
    }
    std::int64_t cut = 0;
    if (X2 < c.Left) {
        cut = std::int64_t{c.Left} - X2;
        X2 = c.Left;
    } else if (X2 >= c.Right) {
        cut = std::int64_t{X2} - (c.Right - 1);
        X2 = c.Right - 1;
    }
    const std::int32_t step = X2 < X1 ? -1 : 1;
    for (std::int32_t x = X1;; x += step) {
        SetPixelT(x, Y, GetStippleColor());
        if (x == X2)
            break;
    }
    Changed({X1, Y, X2, Y + 1}, AreaInfoRect);
    if (cut > 0)
        AdvanceStippleCounter(static_cast<float>(cut));
}

void TCustomBitmap32::VertLineTSP(std::int32_t X, std::int32_t Y1, std::int32_t Y2) {
    if (FMeasuringMode) {
        Changed({X, Y1, X + 1, Y2}, AreaInfoRect);
        return;
    }
    if (Empty())
        return;
    const TRect& c = FClipRect;
    if (X < c.Left || X >= c.Right || (Y1 < c.Top && Y2 < c.Top) || (Y1 >= c.Bottom && Y2 >= c.Bottom)) {
        AdvanceStippleCounter(static_cast<float>(abs64(std::int64_t{Y2} - Y1) + 1));
        return;
    }
    if (Y1 < c.Top) {
        AdvanceStippleCounter(static_cast<float>(std::int64_t{c.Top} - Y1));
        Y1 = c.Top;
    } else if (Y1 >= c.Bottom) {
        AdvanceStippleCounter(static_cast<float>(std::int64_t{Y1} - (c.Bottom - 1)));
        Y1 = c.Bottom - 1;
    }
    std::int64_t cut = 0;
    if (Y2 < c.Top) {
        cut = std::int64_t{c.Top} - Y2;
        Y2 = c.Top;
    } else if (Y2 >= c.Bottom) {
        cut = std::int64_t{Y2} - (c.Bottom - 1);
        Y2 = c.Bottom - 1;
    }
    const std::int32_t step = Y2 < Y1 ? -1 : 1;
    for (std::int32_t y = Y1;; y += step) {
        SetPixelT(X, y, GetStippleColor());
        if (y == Y2)
            break;
    }
    Changed({X, Y1, X + 1, Y2}, AreaInfoRect);
    if (cut > 0)
        AdvanceStippleCounter(static_cast<float>(cut));
}

// --- General lines

void TCustomBitmap32::Line(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value,
                           bool L) {
    if (X1 == X2 || Y1 == Y2) {
        if (X1 == X2 && Y1 < Y2)
            VertLine(X1, Y1, Y2 - 1, Value);
        else if (X1 == X2 && Y1 > Y2)
            VertLine(X1, Y2 + 1, Y1, Value);
        else if (X1 < X2)
            HorzLine(X1, Y1, X2 - 1, Value);
        else if (X1 > X2)
            HorzLine(X2 + 1, Y1, X1, Value);
        if (L && PointInRect(BoundsRect(), {X2, Y2}) && FBits)
            SetPixel(X2, Y2, Value);
    } else if (FBits) {
        exact_line(X1, Y1, X2, Y2, L, BoundsRect(), [&](std::int32_t x, std::int32_t y) { SetPixel(x, y, Value); });
    }
    Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
}

void TCustomBitmap32::LineS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value,
                            bool L) {
    if (FMeasuringMode) {
        Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
        return;
    }
    if (X1 == X2 || Y1 == Y2) {
        if (X1 == X2 && Y1 < Y2)
            VertLineS(X1, Y1, Y2 - 1, Value);
        else if (X1 == X2 && Y1 > Y2)
            VertLineS(X1, Y2 + 1, Y1, Value);
        else if (X1 < X2)
            HorzLineS(X1, Y1, X2 - 1, Value);
        else if (X1 > X2)
            HorzLineS(X2 + 1, Y1, X1, Value);
        if (L)
            SetPixelS(X2, Y2, Value);
        Changed();
        return;
    }
    if (FBits)
        exact_line(X1, Y1, X2, Y2, L, FClipRect, [&](std::int32_t x, std::int32_t y) { SetPixel(x, y, Value); });
    Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
}

void TCustomBitmap32::LineT(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value,
                            bool L) {
    end_blending_guard end;
    if (X1 == X2 || Y1 == Y2) {
        if (X1 == X2 && Y1 < Y2)
            VertLineT(X1, Y1, Y2 - 1, Value);
        else if (X1 == X2 && Y1 > Y2)
            VertLineT(X1, Y2 + 1, Y1, Value);
        else if (X1 < X2)
            HorzLineT(X1, Y1, X2 - 1, Value);
        else if (X1 > X2)
            HorzLineT(X2 + 1, Y1, X1, Value);
        if (L && FBits && PointInRect(BoundsRect(), {X2, Y2}))
            SetPixelT(X2, Y2, Value);
    } else if (FBits) {
        exact_line(X1, Y1, X2, Y2, L, BoundsRect(),
                   [&](std::int32_t x, std::int32_t y) { (*BlendProc)(Value, *PixelPtr(x, y)); });
    }
    Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
}

void TCustomBitmap32::LineTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value,
                             bool L) {
    if (FMeasuringMode) {
        Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
        return;
    }
    end_blending_guard end;
    if (X1 == X2 || Y1 == Y2) {
        if (X1 == X2 && Y1 < Y2)
            VertLineTS(X1, Y1, Y2 - 1, Value);
        else if (X1 == X2 && Y1 > Y2)
            VertLineTS(X1, Y2 + 1, Y1, Value);
        else if (X1 < X2)
            HorzLineTS(X1, Y1, X2 - 1, Value);
        else if (X1 > X2)
            HorzLineTS(X2 + 1, Y1, X1, Value);
        if (L)
            SetPixelTS(X2, Y2, Value);
        return;
    }
    if (FBits)
        exact_line(X1, Y1, X2, Y2, L, FClipRect,
                   [&](std::int32_t x, std::int32_t y) { (*BlendProc)(Value, *PixelPtr(x, y)); });
    Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
}

// --- Sub-pixel lines

namespace {

std::int32_t fixed_round(TFixed v) {
    return FixedToIntNearest(v);
}

TFixed float_fixed(float v) {
    const double d = static_cast<double>(v) * 65536.0;
    if (!(d > INT32_MIN))
        return INT32_MIN;
    if (!(d < INT32_MAX))
        return INT32_MAX;
    return static_cast<TFixed>(detail::round_half_even(d));
}

TRect line_area(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2) {
    return {fixed_round(X1), fixed_round(Y1), fixed_round(X2), fixed_round(Y2)};
}

} // namespace

void TCustomBitmap32::spread_within(std::int32_t X, std::int32_t Y, TColor32 C, const TRect& Clip) {
    const std::int32_t ix = X >> 8, iy = Y >> 8;
    if (ix >= Clip.Left && ix < Clip.Right - 1 && iy >= Clip.Top && iy < Clip.Bottom - 1) {
        SpreadPixel256(X, Y, C);
        return;
    }
    if (ix < Clip.Left - 1 || ix >= Clip.Right || iy < Clip.Top - 1 || iy >= Clip.Bottom)
        return;
    const std::int32_t fx = X & 255, fy = Y & 255;
    const std::int32_t wl = GammaLookup[255 - fx], wr = GammaLookup[fx];
    const std::int32_t wt = GammaLookup[255 - fy], wb = GammaLookup[fy];
    const std::int32_t a = Color32Alpha(C);
    const auto put = [&](std::int32_t x, std::int32_t y, std::int32_t w1, std::int32_t w2) {
        if (x < Clip.Left || x >= Clip.Right || y < Clip.Top || y >= Clip.Bottom)
            return;
        TColor32& p = *PixelPtr(x, y);
        if (FCombineMode == cmMerge)
            CombinePixel(MergeColors(C, p), p, (w1 * w2) >> 8);
        else
            CombinePixel(C, p, (a * w1 * w2) >> 16);
    };
    put(ix, iy, wl, wt);
    put(ix + 1, iy, wr, wt);
    put(ix + 1, iy + 1, wr, wb);
    put(ix, iy + 1, wl, wb);
}

bool TCustomBitmap32::splat_line(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, const TColor32* Value, bool L,
                                 const TRect& Clip) {
    const std::int64_t dx = std::int64_t{X2} - X1, dy = std::int64_t{Y2} - Y1;
    const double n = std::round(std::hypot(static_cast<double>(dx), static_cast<double>(dy)));
    const double h = n + (L ? 65536.0 : 0.0);
    if (n == 0 || h < 256)
        return false;
    end_blending_guard end;
    const auto steps = static_cast<std::int64_t>(h) >> 16;
    const float factor = static_cast<float>(65536.0 / n);
    const auto sx = static_cast<std::int64_t>(detail::round_half_even(static_cast<double>(dx) * factor));
    const auto sy = static_cast<std::int64_t>(detail::round_half_even(static_cast<double>(dy) * factor));
    std::int64_t x = std::int64_t{X1} + 127, y = std::int64_t{Y1} + 127;
    const auto to256 = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v >> 8, INT32_MIN / 2, INT32_MAX / 2));
    };
    const auto colour = [&] { return Value ? *Value : GetStippleColor(); };
    for (std::int64_t i = 0; i < steps; ++i) {
        spread_within(to256(x), to256(y), colour(), Clip);
        if (!Value)
            EndBlending();
        x += sx;
        y += sy;
    }
    const auto f = static_cast<std::uint32_t>(static_cast<std::int64_t>(h) - steps * 65536);
    const TColor32 last = colour();
    const TColor32 alpha = ((Color32Alpha(last) * f) << 8) & 0xFF000000u;
    const auto mid = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v >> 9, INT32_MIN / 2, INT32_MAX / 2));
    };
    spread_within(mid(x + X2 - sx + 127), mid(y + Y2 - sy + 127), (last & 0x00FFFFFF) | alpha, Clip);
    return true;
}

void TCustomBitmap32::LineX(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, TColor32 Value, bool L) {
    if (FBits)
        splat_line(X1, Y1, X2, Y2, &Value, L, BoundsRect());
    Changed(line_area(X1, Y1, X2, Y2), AreaInfoLine + 2);
}

void TCustomBitmap32::LineF(float X1, float Y1, float X2, float Y2, TColor32 Value, bool L) {
    LineX(float_fixed(X1), float_fixed(Y1), float_fixed(X2), float_fixed(Y2), Value, L);
}

void TCustomBitmap32::LineXS(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, TColor32 Value, bool L) {
    const TRect area = line_area(X1, Y1, X2, Y2);
    if (!FMeasuringMode) {
        const TFixedRect& c = FFixedClipRect;
        const TFixed end_x = X2, end_y = Y2;
        if (!ClipSegment(X1, Y1, X2, Y2, c.Left - 65536, c.Top - 65536, c.Right, c.Bottom))
            return;
        if (X2 != end_x || Y2 != end_y)
            L = true;
        if (!FBits || !splat_line(X1, Y1, X2, Y2, &Value, L, FClipRect))
            return;
    }
    Changed(area, AreaInfoLine + 2);
}

void TCustomBitmap32::LineFS(float X1, float Y1, float X2, float Y2, TColor32 Value, bool L) {
    LineXS(float_fixed(X1), float_fixed(Y1), float_fixed(X2), float_fixed(Y2), Value, L);
}

void TCustomBitmap32::LineXP(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, bool L) {
    if (FBits)
        splat_line(X1, Y1, X2, Y2, nullptr, L, BoundsRect());
    Changed(line_area(X1, Y1, X2, Y2), AreaInfoLine + 2);
}

void TCustomBitmap32::LineFP(float X1, float Y1, float X2, float Y2, bool L) {
    LineXP(float_fixed(X1), float_fixed(Y1), float_fixed(X2), float_fixed(Y2), L);
}

void TCustomBitmap32::LineXSP(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, bool L) {
    const TRect area = line_area(X1, Y1, X2, Y2);
    constexpr std::uint32_t stippled_line = AreaInfoLine + 4;
    if (FMeasuringMode) {
        Changed(area, stippled_line);
        return;
    }
    // Lengths in pixels of the pieces cut off, so the pattern runs on as if they had been drawn.
    const auto pixels = [](std::int64_t dx, std::int64_t dy) {
        return static_cast<float>(std::hypot(static_cast<double>(dx), static_cast<double>(dy)) / 65536.0);
    };
    const TFixed ox1 = X1, oy1 = Y1, ox2 = X2, oy2 = Y2;
    const TFixedRect& c = FFixedClipRect;
    if (!ClipSegment(X1, Y1, X2, Y2, c.Left - 65536, c.Top - 65536, c.Right, c.Bottom)) {
        AdvanceStippleCounter(pixels(std::int64_t{ox2} - ox1, std::int64_t{oy2} - oy1) + (L ? 1.0f : 0.0f));
        return;
    }
    const bool end_moved = X2 != ox2 || Y2 != oy2, start_moved = X1 != ox1 || Y1 != oy1;
    if (end_moved)
        L = true;
    const auto strictly_inside = [&](TFixed x, TFixed y) {
        return x > c.Left && std::int64_t{x} < std::int64_t{c.Right} - 131072 && y > c.Top &&
               std::int64_t{y} < std::int64_t{c.Bottom} - 131072;
    };
    if (strictly_inside(X1, Y1) && strictly_inside(X2, Y2)) {
        LineXP(X1, Y1, X2, Y2, L);
        return;
    }
    if (start_moved)
        AdvanceStippleCounter(pixels(std::int64_t{X1} - ox1, std::int64_t{Y1} - oy1));
    if (!FBits || !splat_line(X1, Y1, X2, Y2, nullptr, L, FClipRect))
        return;
    if (end_moved)
        AdvanceStippleCounter(pixels(std::int64_t{ox2} - X2, std::int64_t{oy2} - Y2));
    Changed(area, stippled_line);
}

void TCustomBitmap32::LineFSP(float X1, float Y1, float X2, float Y2, bool L) {
    LineXSP(float_fixed(X1), float_fixed(Y1), float_fixed(X2), float_fixed(Y2), L);
}

void TCustomBitmap32::LineToXSP(TFixed X, TFixed Y) {
    LineXSP(RasterXF, RasterYF, X, Y);
    MoveToX(X, Y);
}

void TCustomBitmap32::LineToFSP(float X, float Y) {
    LineToXSP(float_fixed(X), float_fixed(Y));
}

// --- Antialiased integer lines

void TCustomBitmap32::antialiased_line(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2,
                                       TColor32 Value, bool L, const TRect& Clip, bool start_full) {
    if (Clip.Right <= Clip.Left || Clip.Bottom <= Clip.Top)
        return;
    end_blending_guard end;
    TBlendMemEx blend = *blend_pixel_alpha_by_mode[FCombineMode];
    const std::int64_t dx = abs64(std::int64_t{X2} - X1), dy = abs64(std::int64_t{Y2} - Y1);
    const std::int64_t sx = X2 < X1 ? -1 : 1, sy = Y2 < Y1 ? -1 : 1;
    const bool x_major = dx > dy;
    const std::int64_t major = x_major ? dx : dy, minor = x_major ? dy : dx;
    // The minor axis moves by G/65536 per step; the 16-bit error is its fraction.
    const std::int64_t g = (minor << 16) / major;
    const auto put = [&](std::int64_t m, std::int64_t n, std::int32_t weight) {
        const std::int64_t x = x_major ? m : n, y = x_major ? n : m;
        if (x >= Clip.Left && x < Clip.Right && y >= Clip.Top && y < Clip.Bottom)
            blend(Value, *PixelPtr(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)), weight);
    };
    const std::int64_t m1 = x_major ? X1 : Y1, n1 = x_major ? Y1 : X1;
    const std::int64_t sm = x_major ? sx : sy, sn = x_major ? sy : sx;
    const std::int64_t last = L ? major : major - 1;
    // Only the steps whose major coordinate lies in the clip are walked, with the error the whole line has there.
    const std::int64_t lo = x_major ? Clip.Left : Clip.Top, hi = (x_major ? Clip.Right : Clip.Bottom) - 1;
    std::int64_t first = sm > 0 ? lo - m1 : m1 - hi, stop = sm > 0 ? hi - m1 : m1 - lo;
    first = std::max<std::int64_t>(first, 0);
    stop = std::min(stop, last);
    for (std::int64_t i = first; i <= stop; ++i) {
        const std::int64_t acc = i * g;
        const std::int64_t n = n1 + sn * (acc >> 16);
        const auto e = static_cast<std::int32_t>((acc & 0xFFFF) >> 8);
        if (i == 0 && start_full) {
            const std::int64_t x = x_major ? m1 : n1, y = x_major ? n1 : m1;
            if (x >= Clip.Left && x < Clip.Right && y >= Clip.Top && y < Clip.Bottom)
                (*BlendProc)(Value, *PixelPtr(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)));
            continue;
        }
        put(m1 + sm * i, n, GammaLookup[e ^ 255]);
        put(m1 + sm * i, n + sn, GammaLookup[e]);
    }
}

void TCustomBitmap32::LineA(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value,
                            bool L) {
    // Equal sides would make the 16-bit step 0 and run the line straight; they go as the blended line.
    if (X1 == X2 || Y1 == Y2 || abs64(std::int64_t{X2} - X1) == abs64(std::int64_t{Y2} - Y1)) {
        LineT(X1, Y1, X2, Y2, Value, L);
        return;
    }
    if (FBits)
        antialiased_line(X1, Y1, X2, Y2, Value, L, BoundsRect(), true);
    Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
}

void TCustomBitmap32::LineAS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value,
                             bool L) {
    if (FMeasuringMode) {
        Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
        return;
    }
    if (FClipRect.Right <= FClipRect.Left || FClipRect.Bottom <= FClipRect.Top)
        return;
    if (abs64(std::int64_t{X2} - X1) == abs64(std::int64_t{Y2} - Y1)) {
        LineTS(X1, Y1, X2, Y2, Value, L);
        return;
    }
    if (X1 == X2) {
        VertLineTS(X1, Y1, Y2 < Y1 ? Y2 + 1 : Y2 - 1, Value);
        if (L)
            SetPixelTS(X2, Y2, Value);
        return;
    }
    if (Y1 == Y2) {
        HorzLineTS(X1, Y1, X2 < X1 ? X2 + 1 : X2 - 1, Value);
        if (L)
            SetPixelTS(X2, Y2, Value);
        return;
    }
    if (FBits)
        antialiased_line(X1, Y1, X2, Y2, Value, L, FClipRect, false);
    Changed({X1, Y1, X2, Y2}, AreaInfoLine + 2);
}

void TCustomBitmap32::LineToAS(std::int32_t X, std::int32_t Y) {
    LineAS(RasterX, RasterY, X, Y, FPenColor);
    MoveTo(X, Y);
}

void TCustomBitmap32::HorzLineX(TFixed X1, TFixed Y, TFixed X2, TColor32 Value) {
    if (X2 < X1)
        std::swap(X1, X2);
    if (FBits) {
        end_blending_guard end;
        const std::int32_t ix1 = X1 / 65536, ix2 = X2 / 65536, iy = Y / 65536;
        const std::uint32_t w_top = 65535 - (static_cast<std::uint32_t>(Y) & 0xFFFF);
        const std::uint32_t c1 = 65535 - (static_cast<std::uint32_t>(X1) & 0xFFFF);
        const std::uint32_t c2 = static_cast<std::uint32_t>(X2) & 0xFFFF;
        const auto row = [&](std::int64_t y, std::uint32_t w) {
            if (w == 0 || y < 0 || y >= FHeight)
                return;
            const auto put = [&](std::int64_t x, std::int32_t weight) {
                if (x >= 0 && x < FWidth)
                    CombinePixel(Value, *PixelPtr(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)), weight);
            };
            put(ix1, GammaLookup[(w * c1) >> 24]);
            const std::int64_t from = std::max<std::int64_t>(std::int64_t{ix1} + 1, 0);
            const std::int64_t to = std::min<std::int64_t>(std::int64_t{ix2} - 1, FWidth - 1);
            for (std::int64_t x = from; x <= to; ++x)
                put(x, GammaLookup[w >> 8]);
            if (ix2 != ix1)
                put(ix2, GammaLookup[(w * c2) >> 24]);
        };
        row(iy, w_top);
        row(std::int64_t{iy} + 1, w_top ^ 0xFFFF);
    }
    Changed(line_area(X1, Y, X2, Y + 1), AreaInfoLine + 2);
}

void TCustomBitmap32::VertLineX(TFixed X, TFixed Y1, TFixed Y2, TColor32 Value) {
    if (Y2 < Y1)
        std::swap(Y1, Y2);
    if (FBits) {
        end_blending_guard end;
        const std::int32_t iy1 = Y1 / 65536, iy2 = Y2 / 65536, ix = X / 65536;
        const std::uint32_t w_left = 65535 - (static_cast<std::uint32_t>(X) & 0xFFFF);
        const std::uint32_t c1 = 65535 - (static_cast<std::uint32_t>(Y1) & 0xFFFF);
        const std::uint32_t c2 = static_cast<std::uint32_t>(Y2) & 0xFFFF;
        const auto column = [&](std::int64_t x, std::uint32_t w) {
            if (w == 0 || x < 0 || x >= FWidth)
                return;
            const auto put = [&](std::int64_t y, std::int32_t weight) {
                if (y >= 0 && y < FHeight)
                    CombinePixel(Value, *PixelPtr(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)), weight);
            };
            put(iy1, GammaLookup[(w * c1) >> 24]);
            const std::int64_t from = std::max<std::int64_t>(std::int64_t{iy1} + 1, 0);
            const std::int64_t to = std::min<std::int64_t>(std::int64_t{iy2} - 1, FHeight - 1);
            for (std::int64_t y = from; y <= to; ++y)
                put(y, GammaLookup[w >> 8]);
            if (iy2 != iy1)
                put(iy2, GammaLookup[(w * c2) >> 24]);
        };
        column(ix, w_left);
        column(std::int64_t{ix} + 1, w_left ^ 0xFFFF);
    }
    Changed(line_area(X, Y1, X + 1, Y2), AreaInfoLine + 2);
}

void TCustomBitmap32::HorzLineXS(TFixed X1, TFixed Y, TFixed X2, TColor32 Value) {
    if (X2 < X1)
        std::swap(X1, X2);
    if (!FMeasuringMode) {
        const TFixedRect& c = FFixedClipRect;
        const TFixed x1 = std::clamp(X1, c.Left, c.Right), x2 = std::clamp(X2, c.Left, c.Right);
        if (std::int64_t{x2} - x1 > 65536 && Y >= c.Top && std::int64_t{Y} <= std::int64_t{c.Bottom} - 65536)
            // A span clamped to the right edge ends on the column beyond it with no weight.
            HorzLineX(x1, Y, x2, Value);
        else
            LineXS(x1, Y, x2, Y, Value, false);
    }
    Changed(line_area(X1, Y, X2, Y + 1), AreaInfoLine + 2);
}

void TCustomBitmap32::VertLineXS(TFixed X, TFixed Y1, TFixed Y2, TColor32 Value) {
    if (Y2 < Y1)
        std::swap(Y1, Y2);
    if (!FMeasuringMode) {
        const TFixedRect& c = FFixedClipRect;
        const TFixed hi = static_cast<TFixed>(std::max<std::int64_t>(std::int64_t{c.Bottom} - 65536, c.Top));
        const TFixed y1 = std::clamp(Y1, c.Top, hi), y2 = std::clamp(Y2, c.Top, hi);
        if (std::int64_t{y2} - y1 > 65536 && X >= c.Left && std::int64_t{X} <= std::int64_t{c.Right} - 65536)
            VertLineX(X, y1, y2, Value);
        else
            LineXS(X, y1, X, y2, Value, false);
    }
    Changed(line_area(X, Y1, X + 1, Y2), AreaInfoLine + 2);
}

void TCustomBitmap32::MoveToX(TFixed X, TFixed Y) {
    RasterXF = X;
    RasterYF = Y;
}

void TCustomBitmap32::MoveToF(float X, float Y) {
    MoveToX(float_fixed(X), float_fixed(Y));
}

void TCustomBitmap32::LineToXS(TFixed X, TFixed Y) {
    LineXS(RasterXF, RasterYF, X, Y, FPenColor);
    MoveToX(X, Y);
}

void TCustomBitmap32::LineToFS(float X, float Y) {
    LineToXS(float_fixed(X), float_fixed(Y));
}

void TCustomBitmap32::MoveTo(std::int32_t X, std::int32_t Y) {
    RasterX = X;
    RasterY = Y;
}

void TCustomBitmap32::LineToS(std::int32_t X, std::int32_t Y) {
    LineS(RasterX, RasterY, X, Y, FPenColor);
    MoveTo(X, Y);
}

void TCustomBitmap32::LineToTS(std::int32_t X, std::int32_t Y) {
    LineTS(RasterX, RasterY, X, Y, FPenColor);
    MoveTo(X, Y);
}

// --- Whole-bitmap moves

void TCustomBitmap32::Roll(std::int32_t Dx, std::int32_t Dy, bool FillBack, TColor32 FillColor) {
    if (Empty() || (Dx == 0 && Dy == 0))
        return;
    if (abs64(Dx) < FWidth && abs64(Dy) < FHeight) {
        const std::int64_t shift = std::int64_t{Dx} + std::int64_t{Dy} * FWidth;
        const std::int64_t count = std::int64_t{FWidth} * FHeight - abs64(shift);
        if (shift <= 0)
            std::memmove(FBits, FBits - shift, static_cast<std::size_t>(count) * 4);
        else
            std::memmove(FBits + shift, FBits, static_cast<std::size_t>(count) * 4);
        if (FillBack) {
            TRect r = BoundsRect();
            OffsetRectBy(r, Dx, Dy);
            IntersectRects(r, r, BoundsRect());
            if (r.Top > 0)
                FillRect(0, 0, FWidth, r.Top, FillColor);
            else if (r.Top == 0)
                FillRect(0, r.Bottom, FWidth, FHeight, FillColor);
            if (r.Left > 0)
                FillRect(0, r.Top, r.Left, r.Bottom, FillColor);
            else if (r.Left == 0)
                FillRect(r.Right, r.Top, FWidth, r.Bottom, FillColor);
        }
        Changed();
    } else if (FillBack) {
        Clear(FillColor);
    }
}

void TCustomBitmap32::FlipHorz(TCustomBitmap32* Dst) {
    if (!Dst || Dst == this) {
        for (std::int32_t y = 0; y < FHeight && FBits; ++y)
            std::reverse(ScanLine(y), ScanLine(y) + FWidth);
        Changed();
        return;
    }
    Dst->BeginUpdate();
    {
        const scope_exit end_update([Dst] { Dst->EndUpdate(); });
        Dst->SetSize(FWidth, FHeight);
        for (std::int32_t y = 0; y < FHeight && FBits && Dst->FBits; ++y)
            std::reverse_copy(ScanLine(y), ScanLine(y) + FWidth, Dst->ScanLine(y));
    }
    Dst->Changed();
}

void TCustomBitmap32::FlipVert(TCustomBitmap32* Dst) {
    if (!Dst || Dst == this) {
        if (FBits) {
            std::vector<TColor32> row(static_cast<std::size_t>(FWidth));
            for (std::int32_t y = 0; y < FHeight / 2; ++y) {
                std::memcpy(row.data(), ScanLine(y), row.size() * 4);
                std::memcpy(ScanLine(y), ScanLine(FHeight - 1 - y), row.size() * 4);
                std::memcpy(ScanLine(FHeight - 1 - y), row.data(), row.size() * 4);
            }
        }
        Changed();
        return;
    }
    Dst->SetSize(FWidth, FHeight);
    for (std::int32_t y = 0; y < FHeight && FBits && Dst->FBits; ++y)
        std::memcpy(Dst->ScanLine(FHeight - 1 - y), ScanLine(y), static_cast<std::size_t>(FWidth) * 4);
    Dst->Changed();
}

namespace {

// Quarter turns: pixel (x, y) of Src goes to Map(x, y) of Dst, which has the exchanged size.
template <class Map>
void turn_into(const TCustomBitmap32& src, TCustomBitmap32& dst, Map map) {
    dst.BeginUpdate();
    const scope_exit end_update([&dst] { dst.EndUpdate(); });
    dst.SetSize(src.Height(), src.Width());
    if (src.Bits() && dst.Bits())
        for (std::int32_t y = 0; y < src.Height(); ++y)
            for (std::int32_t x = 0; x < src.Width(); ++x) {
                const TPoint p = map(x, y);
                dst.SetPixel(p.X, p.Y, src.GetPixel(x, y));
            }
}

template <class Map>
void turn(TCustomBitmap32& self, TCustomBitmap32* dst, Map map) {
    if (dst && dst != &self) {
        turn_into(self, *dst, map);
        dst->Changed();
        return;
    }
    TCustomBitmap32 temp;
    turn_into(self, temp, map);
    temp.CopyPixelsTo(&self);
    self.Changed();
}

} // namespace

void TCustomBitmap32::Rotate90(TCustomBitmap32* Dst) {
    const std::int32_t h = FHeight;
    turn(*this, Dst, [h](std::int32_t x, std::int32_t y) { return TPoint{h - 1 - y, x}; });
}

void TCustomBitmap32::Rotate270(TCustomBitmap32* Dst) {
    const std::int32_t w = FWidth;
    turn(*this, Dst, [w](std::int32_t x, std::int32_t y) { return TPoint{y, w - 1 - x}; });
}

void TCustomBitmap32::Rotate180(TCustomBitmap32* Dst) {
    const std::size_t count = static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight);
    if (Dst && Dst != this) {
        Dst->SetSize(FWidth, FHeight);
        if (FBits && Dst->FBits)
            std::reverse_copy(FBits, FBits + count, Dst->FBits);
        Dst->Changed();
        return;
    }
    if (FBits)
        std::reverse(FBits, FBits + count);
    Changed();
}

} // namespace kq
