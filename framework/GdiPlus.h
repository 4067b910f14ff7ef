#pragma once

// Owners of GDI+ objects. Each class holds one object from the line that creates it, moves but never
// copies, and raises EGdiPlusError for every failing call. GDI+ must be running (gdiplus_startup).

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Strings.h"
#include "framework/Win32.h"

#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <span>

namespace kq {

class TStream;

// --- Start-up

// Starts GDI+ for the process; calls nest, and only the last gdiplus_shutdown stops it. Every object
// below must be gone before GDI+ stops.
void gdiplus_startup();
void gdiplus_shutdown();

// --- Errors

class EGdiPlusError : public Exception {
public:
    explicit EGdiPlusError(Gdiplus::Status status);
    Gdiplus::Status Status;
};

// Raises EGdiPlusError unless status is Ok.
void gdip_check(Gdiplus::Status status);

namespace detail {
template <class T, Gdiplus::Status (WINGDIPAPI* Delete)(T*)>
void gdip_delete(T* object) noexcept {
    Delete(object);
}
template <class T, Gdiplus::Status (WINGDIPAPI* Delete)(T*)>
using gdip_handle = unique_handle<T*, gdip_delete<T, Delete>>;
} // namespace detail

using Gdiplus::ARGB;

// --- Brushes

class TGPBrush {
public:
    TGPBrush(TGPBrush&&) noexcept = default;
    TGPBrush& operator=(TGPBrush&&) noexcept = default;
    virtual ~TGPBrush() = default;
    Gdiplus::GpBrush* Handle() const noexcept { return FHandle.get(); }

protected:
    TGPBrush() = default;
    detail::gdip_handle<Gdiplus::GpBrush, Gdiplus::DllExports::GdipDeleteBrush> FHandle;
};

class TGPSolidBrush : public TGPBrush {
public:
    explicit TGPSolidBrush(ARGB Color);
    ARGB Color() const;
    void SetColor(ARGB Value);
};

// Positions and factors (or colours) of a blend, each position from 0 to 1.
struct gp_blend {
    std::span<const float> Factors;
    std::span<const float> Positions;
};

class TGPLinearGradientBrush : public TGPBrush {
public:
    // Color1 at Point1, Color2 at Point2, repeated beyond them.
    TGPLinearGradientBrush(Gdiplus::PointF Point1, Gdiplus::PointF Point2, ARGB Color1, ARGB Color2);
    TGPLinearGradientBrush(const Gdiplus::RectF& Rect, ARGB Color1, ARGB Color2, Gdiplus::LinearGradientMode Mode);
    void SetBlend(gp_blend Blend);
    void SetInterpolationColors(std::span<const ARGB> Colors, std::span<const float> Positions);
    // The start and end colour.
    std::pair<ARGB, ARGB> LinearColors() const;
    Gdiplus::RectF Rectangle() const;

private:
    Gdiplus::GpLineGradient* line() const noexcept { return static_cast<Gdiplus::GpLineGradient*>(Handle()); }
};

class TGPGraphicsPath;

// Fills a path from its centre colour outwards to the colours of its edge.
class TGPPathGradientBrush : public TGPBrush {
public:
    explicit TGPPathGradientBrush(const TGPGraphicsPath& Path);
    void SetCenterColor(ARGB Value);
    ARGB CenterColor() const;
    void SetCenterPoint(Gdiplus::PointF Value);
    // One colour per point of the path (the last one repeats for the rest).
    void SetSurroundColors(std::span<const ARGB> Colors);
    void SetBlend(gp_blend Blend);
    void SetFocusScales(float X, float Y);

private:
    Gdiplus::GpPathGradient* path() const noexcept { return static_cast<Gdiplus::GpPathGradient*>(Handle()); }
};

// --- Pens

class TGPPen {
public:
    TGPPen(ARGB Color, float Width);
    TGPPen(const TGPBrush& Brush, float Width);
    Gdiplus::GpPen* Handle() const noexcept { return FHandle.get(); }
    ARGB Color() const;
    float Width() const;
    void SetAlignment(Gdiplus::PenAlignment Value);
    void SetLineJoin(Gdiplus::LineJoin Value);
    void SetStartCap(Gdiplus::LineCap Value);
    void SetEndCap(Gdiplus::LineCap Value);

private:
    detail::gdip_handle<Gdiplus::GpPen, Gdiplus::DllExports::GdipDeletePen> FHandle;
};

// --- Paths and regions

class TGPGraphicsPath {
public:
    explicit TGPGraphicsPath(Gdiplus::FillMode Mode = Gdiplus::FillModeAlternate);
    Gdiplus::GpPath* Handle() const noexcept { return FHandle.get(); }

    void AddPolygon(std::span<const Gdiplus::Point> Points);
    void AddLines(std::span<const Gdiplus::PointF> Points);
    void AddRectangle(const Gdiplus::RectF& Rect);
    void AddEllipse(const Gdiplus::RectF& Rect);
    // Angles in degrees, clockwise from the x axis.
    void AddArc(const Gdiplus::RectF& Rect, float StartAngle, float SweepAngle);
    void StartFigure();
    void CloseFigure();
    int PointCount() const;
    Gdiplus::RectF Bounds() const;
    // By the path's fill mode.
    bool IsVisible(float X, float Y) const;

private:
    detail::gdip_handle<Gdiplus::GpPath, Gdiplus::DllExports::GdipDeletePath> FHandle;
};

class TGPRegion {
public:
    // The infinite region.
    TGPRegion();
    explicit TGPRegion(const Gdiplus::RectF& Rect);
    explicit TGPRegion(const TGPGraphicsPath& Path);
    Gdiplus::GpRegion* Handle() const noexcept { return FHandle.get(); }

    void Combine(const TGPRegion& Other, Gdiplus::CombineMode Mode);
    void Combine(const TGPGraphicsPath& Path, Gdiplus::CombineMode Mode);
    void Combine(const Gdiplus::RectF& Rect, Gdiplus::CombineMode Mode);
    bool IsVisible(float X, float Y) const;

private:
    detail::gdip_handle<Gdiplus::GpRegion, Gdiplus::DllExports::GdipDeleteRegion> FHandle;
};

// --- Text

class TGPFontFamily {
public:
    // The named family; a family the machine lacks gives the system's default sans-serif family, so
    // text is still drawn.
    explicit TGPFontFamily(const String& Name);
    Gdiplus::GpFontFamily* Handle() const noexcept { return FHandle.get(); }
    String Name() const;
    // The family's name exists on this machine.
    static bool Exists(const String& Name);

private:
    detail::gdip_handle<Gdiplus::GpFontFamily, Gdiplus::DllExports::GdipDeleteFontFamily> FHandle;
};

class TGPFont {
public:
    TGPFont(const TGPFontFamily& Family, float Size, int Style = Gdiplus::FontStyleRegular,
            Gdiplus::Unit Unit = Gdiplus::UnitPoint);
    // A family by name, falling back as TGPFontFamily does.
    TGPFont(const String& FamilyName, float Size, int Style = Gdiplus::FontStyleRegular,
            Gdiplus::Unit Unit = Gdiplus::UnitPoint);
    Gdiplus::GpFont* Handle() const noexcept { return FHandle.get(); }
    float Size() const;
    String FamilyName() const;

private:
    detail::gdip_handle<Gdiplus::GpFont, Gdiplus::DllExports::GdipDeleteFont> FHandle;
};

class TGPStringFormat {
public:
    // Flags: StringFormatFlags bits.
    explicit TGPStringFormat(int Flags = 0);
    Gdiplus::GpStringFormat* Handle() const noexcept { return FHandle.get(); }
    int Flags() const;
    void SetFlags(int Value);
    Gdiplus::StringTrimming Trimming() const;
    void SetTrimming(Gdiplus::StringTrimming Value);
    void SetAlignment(Gdiplus::StringAlignment Value);
    void SetLineAlignment(Gdiplus::StringAlignment Value);

private:
    detail::gdip_handle<Gdiplus::GpStringFormat, Gdiplus::DllExports::GdipDeleteStringFormat> FHandle;
};

// --- Images

namespace detail {
template <class I>
void com_release(I* p) noexcept {
    p->Release();
}
} // namespace detail

// A COM reference, released at scope end.
template <class I>
using unique_com = unique_handle<I*, detail::com_release<I>>;

// An IStream over Stream, which it owns; GDI+ reads pictures from it.
unique_com<IStream> make_stream_adapter(std::unique_ptr<TStream> Stream);

class TGPImage {
public:
    TGPImage(TGPImage&&) noexcept = default;
    TGPImage& operator=(TGPImage&&) noexcept = default;
    virtual ~TGPImage() = default;
    Gdiplus::GpImage* Handle() const noexcept { return FHandle.get(); }
    int Width() const;
    int Height() const;
    // A picture in any format GDI+ reads (PNG, BMP, ICO, ...).
    static TGPImage FromStream(IStream* Stream);

protected:
    TGPImage() = default;
    detail::gdip_handle<Gdiplus::GpImage, Gdiplus::DllExports::GdipDisposeImage> FHandle;
};

using unique_hbitmap = unique_handle<HBITMAP, ::DeleteObject>;

class TGPBitmap : public TGPImage {
public:
    TGPBitmap(int Width, int Height, Gdiplus::PixelFormat Format = PixelFormat32bppARGB);
    // Colour management off: pixels come as the file holds them.
    static TGPBitmap FromStream(IStream* Stream);
    static TGPBitmap FromHBITMAP(HBITMAP Bitmap);
    // A GDI bitmap of the pixels over Background; the caller owns it.
    unique_hbitmap GetHBITMAP(ARGB Background) const;
    ARGB Pixel(int X, int Y) const;
    void SetPixel(int X, int Y, ARGB Color);

private:
    TGPBitmap() = default;
    Gdiplus::GpBitmap* bitmap() const noexcept { return static_cast<Gdiplus::GpBitmap*>(Handle()); }
};

// --- Drawing

class TGPGraphics {
public:
    // Draws on a device context the caller keeps alive.
    explicit TGPGraphics(HDC DC);
    // Draws on an image (a bitmap).
    explicit TGPGraphics(TGPImage& Image);
    Gdiplus::GpGraphics* Handle() const noexcept { return FHandle.get(); }

    Gdiplus::SmoothingMode SmoothingMode() const;
    void SetSmoothingMode(Gdiplus::SmoothingMode Value);
    Gdiplus::TextRenderingHint TextRenderingHint() const;
    void SetTextRenderingHint(Gdiplus::TextRenderingHint Value);
    void SetPixelOffsetMode(Gdiplus::PixelOffsetMode Value);
    void SetInterpolationMode(Gdiplus::InterpolationMode Value);
    void SetCompositingMode(Gdiplus::CompositingMode Value);

    void Clear(ARGB Color);
    void FillRectangle(const TGPBrush& Brush, const Gdiplus::RectF& Rect);
    void DrawRectangle(const TGPPen& Pen, const Gdiplus::RectF& Rect);
    void FillPolygon(const TGPBrush& Brush, std::span<const Gdiplus::Point> Points,
                     Gdiplus::FillMode Mode = Gdiplus::FillModeAlternate);
    void DrawPolygon(const TGPPen& Pen, std::span<const Gdiplus::Point> Points);
    void FillPath(const TGPBrush& Brush, const TGPGraphicsPath& Path);
    void DrawPath(const TGPPen& Pen, const TGPGraphicsPath& Path);
    void FillEllipse(const TGPBrush& Brush, const Gdiplus::RectF& Rect);
    void DrawEllipse(const TGPPen& Pen, const Gdiplus::RectF& Rect);
    void DrawArc(const TGPPen& Pen, const Gdiplus::RectF& Rect, float StartAngle, float SweepAngle);
    void DrawLine(const TGPPen& Pen, Gdiplus::PointF From, Gdiplus::PointF To);
    void DrawImage(const TGPImage& Image, float X, float Y);
    void DrawImage(const TGPImage& Image, const Gdiplus::RectF& Dest);
    // Format may be null (the default format).
    void DrawString(const String& Text, const TGPFont& Font, const Gdiplus::RectF& Layout,
                    const TGPStringFormat* Format, const TGPBrush& Brush);
    Gdiplus::RectF MeasureString(const String& Text, const TGPFont& Font, const Gdiplus::RectF& Layout,
                                 const TGPStringFormat* Format) const;

    void SetClip(const TGPGraphicsPath& Path, Gdiplus::CombineMode Mode = Gdiplus::CombineModeReplace);
    void SetClip(const TGPRegion& Region, Gdiplus::CombineMode Mode = Gdiplus::CombineModeReplace);
    void SetClip(const Gdiplus::RectF& Rect, Gdiplus::CombineMode Mode = Gdiplus::CombineModeReplace);
    // A copy of the current clip.
    TGPRegion Clip() const;
    void ResetClip();
    void TranslateTransform(float DX, float DY);
    void ResetTransform();
    void Flush();

private:
    detail::gdip_handle<Gdiplus::GpGraphics, Gdiplus::DllExports::GdipDeleteGraphics> FHandle;
};

// The ARGB value of the parts.
constexpr ARGB make_argb(std::uint8_t A, std::uint8_t R, std::uint8_t G, std::uint8_t B) noexcept {
    return (ARGB{A} << 24) | (ARGB{R} << 16) | (ARGB{G} << 8) | ARGB{B};
}

} // namespace kq
