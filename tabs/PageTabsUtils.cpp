#include "tabs/PageTabsUtils.h"

#include "framework/ComponentText.h"
#include "framework/Controls.h"
#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/ImageLists.h"
#include "framework/LayeredWindows.h"
#include "framework/Lists.h"
#include "framework/Streams.h"

#include <array>
#include <cmath>
#include <memory>
#include <numbers>

namespace kq {

// --- Easing

double ComputeEasedValue(TPageTabsEaseType EaseType, double t, double b, double c, double d) {
    using enum TPageTabsEaseType;
    constexpr double pi = std::numbers::pi;
    const double h = t / (d / 2); // the in-out variants switch half-way
    switch (EaseType) {
    case ttNone: return 0;
    case ttLinearTween: return c * t / d + b;
    case ttEaseInQuad: {
        const double u = t / d;
        return c * u * u + b;
    }
    case ttEaseOutQuad: {
        const double u = t / d;
        return -c * u * (u - 2) + b;
    }
    case ttEaseInOutQuad: {
        if (h < 1) return c / 2 * h * h + b;
        const double u = h - 1;
        return -c / 2 * (u * (u - 2) - 1) + b;
    }
    case ttEaseInCubic: {
        const double u = t / d;
        return c * u * u * u + b;
    }
    case ttEaseOutCubic: {
        const double u = t / d - 1;
        return c * (u * u * u + 1) + b;
    }
    case ttEaseInOutCubic: {
        if (h < 1) return c / 2 * h * h * h + b;
        const double u = h - 2;
        return c / 2 * (u * u * u + 2) + b;
    }
    case ttEaseInQuart: {
        const double u = t / d;
        return c * u * u * u * u + b;
    }
    case ttEaseOutQuart: {
        const double u = t / d - 1;
        return -c * (u * u * u * u - 1) + b;
    }
    case ttEaseInOutQuart: {
        if (h < 1) return c / 2 * h * h * h * h + b;
        const double u = h - 2;
        return -c / 2 * (u * u * u * u - 2) + b;
    }
    case ttEaseInQuint: {
        const double u = t / d;
        return c * u * u * u * u * u + b;
    }
    case ttEaseOutQuint: {
        const double u = t / d - 1;
        return c * (u * u * u * u * u + 1) + b;
    }
    case ttEaseInOutQuint: {
        if (h < 1) return c / 2 * h * h * h * h * h + b;
        const double u = h - 2;
        return c / 2 * (u * u * u * u * u + 2) + b;
    }
    case ttEaseInSine: return -c * std::cos(t / d * (pi / 2)) + c + b;
    case ttEaseOutSine: return c * std::sin(t / d * (pi / 2)) + b;
    case ttEaseInOutSine: return -c / 2 * (std::cos(pi * t / d) - 1) + b;
    case ttEaseInExpo: return c * std::pow(2.0, 10 * (t / d - 1)) + b;
    case ttEaseOutExpo: return c * (1 - std::pow(2.0, -10 * t / d)) + b;
    case ttEaseInOutExpo:
        if (h < 1) return c / 2 * std::pow(2.0, 10 * (h - 1)) + b;
        return c / 2 * (2 - std::pow(2.0, -10 * (h - 1))) + b;
    case ttEaseInCirc: {
        const double u = t / d;
        return -c * (std::sqrt(1 - u * u) - 1) + b;
    }
    case ttEaseOutCirc: {
        const double u = t / d - 1;
        return c * std::sqrt(1 - u * u) + b;
    }
    case ttEaseInOutCirc: {
        if (h < 1) return -c / 2 * (std::sqrt(1 - h * h) - 1) + b;
        const double u = h - 2;
        return c / 2 * (std::sqrt(1 - u * u) + 1) + b;
    }
    }
    throw EAssertionFailed(u"Invalid Ease Type");
}

TRect InterpolateRectEased(const TRect& StartRect, const TRect& EndRect, std::uint32_t CurrentTime,
                           std::uint32_t Duration, TPageTabsEaseType EaseType) {
    const auto ease = [&](std::int32_t from, std::int32_t to) {
        return static_cast<std::int32_t>(Round(ComputeEasedValue(EaseType, CurrentTime, from,
                                                                 static_cast<double>(to) - from, Duration)));
    };
    return TRect{ease(StartRect.Left, EndRect.Left), ease(StartRect.Top, EndRect.Top),
                 ease(StartRect.Right, EndRect.Right), ease(StartRect.Bottom, EndRect.Bottom)};
}

// --- Geometry

TRect MirrorRectInRect(const TRect& Container, const TRect& R) {
    const std::int32_t axis = Container.Left + Container.Right;
    return TRect{axis - R.Right, R.Top, axis - R.Left, R.Bottom};
}

TPolygon MirrorPolygon(const TRect& Container, const TPolygon& Polygon) {
    const std::int32_t axis = Container.Left + Container.Right;
    TPolygon result(Polygon);
    for (TPoint& p : result) p.X = axis - p.X;
    return result;
}

bool IsPointInsidePolygon(const TPolygon& Polygon, int X, int Y) {
    bool inside = false;
    const std::size_t n = Polygon.size();
    for (std::size_t i = 0, j = n - 1; i < n; j = i++) {
        const TPoint& pi = Polygon[i];
        const TPoint& pj = Polygon[j];
        if ((pi.Y <= Y && Y < pj.Y) || (pj.Y <= Y && Y < pi.Y)) {
            // The product wraps at 32 bits, as the system forms it; strip coordinates keep it small.
            const auto product = static_cast<std::int32_t>(std::int64_t{pj.X - pi.X} * (Y - pi.Y));
            const double crossing = pi.X + static_cast<double>(product) / (pj.Y - pi.Y);
            if (X < crossing) inside = !inside;
        }
    }
    return inside;
}

TPolygon PositionPolygon(const TRect& R, std::span<const TPoint> Points, TTabOrientation Orientation) {
    TPolygon result;
    result.reserve(Points.size());
    const std::int32_t height = R.Bottom - R.Top;
    for (const TPoint& p : Points) {
        if (Orientation == TTabOrientation::toTop)
            result.push_back(TPoint{R.Left + p.X, R.Top + p.Y});
        else
            result.push_back(TPoint{R.Left + p.X, R.Top + height - p.Y - 1});
    }
    return result;
}

TRect ShrinkRect(const TRect& R, int Amount) {
    return TRect{R.Left + Amount, R.Top + Amount, R.Right - Amount, R.Bottom - Amount};
}

bool RectsEqual(const TRect& A, const TRect& B) {
    return A == B;
}

// --- Blending

int BlendInteger(int Start, int Stop, int Percent) {
    return Start + (Stop - Start) * Percent / 100;
}

float BlendSingle(float Start, float Stop, int Percent) {
    return Start + static_cast<float>(Percent) * (Stop - Start) / 100;
}

TColor BlendColor(TColor Start, TColor Stop, int Percent) {
    std::uint32_t result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int from = (static_cast<std::uint32_t>(Start) >> shift) & 0xFF;
        const int to = (static_cast<std::uint32_t>(Stop) >> shift) & 0xFF;
        result |= (static_cast<std::uint32_t>(BlendInteger(from, to, Percent)) & 0xFF) << shift;
    }
    return static_cast<TColor>(result);
}

// --- GDI+

ARGB MakeGPColor(TColor Color, std::uint8_t Alpha) {
    const auto rgb = static_cast<std::uint32_t>(ColorToRGB(Color));
    return make_argb(Alpha, rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

Gdiplus::RectF RectToGPRectF(const TRect& R) {
    return Gdiplus::RectF(static_cast<float>(R.Left), static_cast<float>(R.Top), static_cast<float>(R.Right - R.Left),
                          static_cast<float>(R.Bottom - R.Top));
}

Gdiplus::Rect RectToGPRect(const TRect& R) {
    return Gdiplus::Rect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
}

Gdiplus::Point PointToGPPoint(const TPoint& P) {
    return Gdiplus::Point(P.X, P.Y);
}

std::vector<Gdiplus::Point> PolygonToGPPoints(const TPolygon& Polygon) {
    std::vector<Gdiplus::Point> points;
    points.reserve(Polygon.size());
    for (const TPoint& p : Polygon) points.push_back(PointToGPPoint(p));
    return points;
}

void SetClipPolygon(TGPGraphics& Graphics, const TPolygon& Polygon, Gdiplus::CombineMode CombineMode) {
    TGPGraphicsPath path(Gdiplus::FillModeAlternate);
    path.AddPolygon(PolygonToGPPoints(Polygon));
    Graphics.SetClip(path, CombineMode);
}

TGPImage IconToGPImage(TIcon& Icon) {
    auto bytes = std::make_unique<TMemoryStream>();
    Icon.SaveToStream(*bytes);
    bytes->SetPosition(0);
    const auto stream = make_stream_adapter(std::move(bytes));
    return TGPImage::FromStream(stream.get());
}

TGPImage ImageListToGPImage(TCustomImageList& ImageList, int Index) {
    TIcon icon;
    ImageList.GetIcon(Index, icon);
    icon.SetTransparent(true);
    return IconToGPImage(icon);
}

// --- Drag images and backgrounds

void CopyControlImage(TWinControl& Control, TBitmap& Bitmap, int X, int Y) {
    const window_dc screen(Control.Handle());
    if (!screen) RaiseLastOSError();
    ::BitBlt(Bitmap.Canvas().Handle(), X, Y, Control.ClientWidth(), Control.ClientHeight(), screen.get(), 0, 0,
             SRCCOPY);
}

void PaintParentBackground(TControl& Control, TCanvas& Canvas) {
    TWinControl* parent = Control.Parent();
    if (!parent) return;
    const HDC dc = Canvas.Handle();
    saved_dc state(dc);
    POINT origin{};
    ::GetViewportOrgEx(dc, &origin);
    ::SetViewportOrgEx(dc, origin.x - Control.Left(), origin.y - Control.Top(), nullptr);
    ::IntersectClipRect(dc, 0, 0, parent->ClientWidth(), parent->ClientHeight());
    parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
}

void ScaleBitmap(TBitmap& Source, TBitmap& Target, double Factor) {
    Source.SetPixelFormat(TPixelFormat::pf24bit);
    const auto width = static_cast<int>(Round(Source.Width() * Factor));
    const auto height = static_cast<int>(Round(Source.Height() * Factor));
    Target.SetPixelFormat(TPixelFormat::pf24bit);
    Target.SetSize(width, height);
    TCanvas& canvas = Target.Canvas();
    canvas.FillRect(RECT{0, 0, width, height});
    // Halftone averages the source pixels each target pixel covers when shrinking.
    const HDC dc = canvas.Handle();
    ::SetStretchBltMode(dc, HALFTONE);
    ::SetBrushOrgEx(dc, 0, 0, nullptr);
    ::StretchBlt(dc, 0, 0, width, height, Source.Canvas().Handle(), 0, 0, Source.Width(), Source.Height(), SRCCOPY);
}

void RecreateBitmapThroughGDIPlus(TBitmap& Bitmap) {
    auto bytes = std::make_unique<TMemoryStream>();
    Bitmap.SaveToStream(*bytes);
    bytes->SetPosition(0);
    const auto stream = make_stream_adapter(std::move(bytes));
    const TGPBitmap passed = TGPBitmap::FromStream(stream.get());
    const unique_hbitmap gdi = passed.GetHBITMAP(0);
    Bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    unique_hdc source(::CreateCompatibleDC(nullptr));
    select_object selected(source.get(), gdi.get());
    ::BitBlt(Bitmap.Canvas().Handle(), 0, 0, Bitmap.Width(), Bitmap.Height(), source.get(), 0, 0, SRCCOPY);
}

void SetColorKeyAlpha(TBitmap& Bitmap, std::uint32_t Color, std::uint8_t Alpha) {
    if (Bitmap.PixelFormat() != TPixelFormat::pf32bit) throw EInvalidOperation(u"Colour keys need 32-bit bitmaps");
    const std::uint32_t key = Color & 0xFFFFFF;
    const auto premultiplied = [Alpha](std::uint32_t value) { return value * Alpha / 255; };
    for (int y = 0; y < Bitmap.Height(); ++y) {
        auto* row = static_cast<std::uint32_t*>(Bitmap.ScanLine(y));
        for (int x = 0; x < Bitmap.Width(); ++x) {
            const std::uint32_t p = row[x];
            if ((p & 0xFFFFFF) != key) continue;
            row[x] = (std::uint32_t{Alpha} << 24) | (premultiplied((p >> 16) & 0xFF) << 16) |
                     (premultiplied((p >> 8) & 0xFF) << 8) | premultiplied(p & 0xFF);
        }
    }
}

TCustomForm* ShowLayeredDragImage(TComponent* Owner, TBitmap& Bitmap, std::uint8_t Alpha) {
    std::unique_ptr<TForm> form(CreateForm<TForm>(Owner)); // until it is shown
    form->SetClientSize(Bitmap.Width(), Bitmap.Height());
    show_layered_bitmap(form->Handle(), Bitmap, Alpha);
    return form.release();
}

// --- Component text

void ComponentToText(TComponent& Component, TStream& Stream) {
    write_component_text(Stream, Component);
}

void TextToComponent(TComponent& Component, TStream& Stream) {
    read_component_text(Stream, Component);
}

String ComponentToCode(TComponent& Component, const String& ObjectName) {
    TStringList lines;
    lines.SetText(write_component_text(Component));
    if (lines.Count() <= 2) return String();
    lines.Delete(lines.Count() - 1);
    lines.Delete(0);
    for (int i = 0; i < lines.Count(); ++i)
        lines.SetStrings(i, ObjectName + u"." + StringReplace(Trim(lines.Strings(i)), u" = ", u" := ",
                                                              rfReplaceAll | rfIgnoreCase) + u";");
    return lines.Text();
}

} // namespace kq
