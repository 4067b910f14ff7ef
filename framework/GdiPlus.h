#pragma once
// Owners of GDI+ objects. Each class holds one object from the line that creates it, moves but never
// copies, and raises EGdiPlusError for every failing call. GDI+ must be running (gdiplus_startup).

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Strings.h"
#include "framework/Win32.h"
#include "framework/Win32Handles.h"

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
    // The status of the brush's last call: a brush whose call failed may be left half set.
    Gdiplus::Status LastStatus() const noexcept { return FLastStatus; }

protected:
    TGPBrush() = default;
    // Records status as the last and raises EGdiPlusError unless it is Ok.
    void check(Gdiplus::Status status) const;
    detail::gdip_handle<Gdiplus::GpBrush, Gdiplus::DllExports::GdipDeleteBrush> FHandle;

private:
    mutable Gdiplus::Status FLastStatus = Gdiplus::Ok;
};

class TGPSolidBrush : public TGPBrush {
public:
    explicit TGPSolidBrush(ARGB color);
    ARGB Color() const;
    void SetColor(ARGB value);
};

// Positions and factors (or colours) of a blend, each position from 0 to 1.
struct gp_blend {
    std::span<const float> Factors;
    std::span<const float> Positions;
};

class TGPLinearGradientBrush : public TGPBrush {
public:
    // color1 at point1, color2 at point2, repeated beyond them.
    TGPLinearGradientBrush(Gdiplus::PointF point1, Gdiplus::PointF point2, ARGB color1, ARGB color2);
    TGPLinearGradientBrush(const Gdiplus::RectF& rect, ARGB color1, ARGB color2, Gdiplus::LinearGradientMode mode);
    void SetBlend(gp_blend blend);
    void SetInterpolationColors(std::span<const ARGB> colors, std::span<const float> positions);
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
    explicit TGPPathGradientBrush(const TGPGraphicsPath& path);
    void SetCenterColor(ARGB value);
    ARGB CenterColor() const;
    void SetCenterPoint(Gdiplus::PointF value);
    // One colour per point of the path (the last one repeats for the rest).
    void SetSurroundColors(std::span<const ARGB> colors);
    void SetBlend(gp_blend blend);
    void SetFocusScales(float x, float y);

private:
    Gdiplus::GpPathGradient* path() const noexcept { return static_cast<Gdiplus::GpPathGradient*>(Handle()); }
};

// --- Pens

class TGPPen {
public:
    TGPPen(ARGB color, float width);
    TGPPen(const TGPBrush& brush, float width);
    Gdiplus::GpPen* Handle() const noexcept { return FHandle.get(); }
    ARGB Color() const;
    float Width() const;
    void SetAlignment(Gdiplus::PenAlignment value);
    void SetLineJoin(Gdiplus::LineJoin value);
    void SetStartCap(Gdiplus::LineCap value);
    void SetEndCap(Gdiplus::LineCap value);

private:
    detail::gdip_handle<Gdiplus::GpPen, Gdiplus::DllExports::GdipDeletePen> FHandle;
};

// --- Paths and regions

class TGPGraphicsPath {
public:
    explicit TGPGraphicsPath(Gdiplus::FillMode mode = Gdiplus::FillModeAlternate);
    Gdiplus::GpPath* Handle() const noexcept { return FHandle.get(); }

    void AddPolygon(std::span<const Gdiplus::Point> points);
    void AddLines(std::span<const Gdiplus::PointF> points);
    void AddRectangle(const Gdiplus::RectF& rect);
    void AddEllipse(const Gdiplus::RectF& rect);
    // Angles in degrees, clockwise from the x axis.
    void AddArc(const Gdiplus::RectF& rect, float start_angle, float sweep_angle);
    void StartFigure();
    void CloseFigure();
    int PointCount() const;
    Gdiplus::RectF Bounds() const;
    // By the path's fill mode.
    bool IsVisible(float x, float y) const;

private:
    detail::gdip_handle<Gdiplus::GpPath, Gdiplus::DllExports::GdipDeletePath> FHandle;
};

class TGPRegion {
public:
    // The infinite region.
    TGPRegion();
    explicit TGPRegion(const Gdiplus::RectF& rect);
    explicit TGPRegion(const TGPGraphicsPath& path);
    Gdiplus::GpRegion* Handle() const noexcept { return FHandle.get(); }

    void Combine(const TGPRegion& other, Gdiplus::CombineMode mode);
    void Combine(const TGPGraphicsPath& path, Gdiplus::CombineMode mode);
    void Combine(const Gdiplus::RectF& rect, Gdiplus::CombineMode mode);
    bool IsVisible(float x, float y) const;

private:
    detail::gdip_handle<Gdiplus::GpRegion, Gdiplus::DllExports::GdipDeleteRegion> FHandle;
};

// --- Text

class TGPFontFamily {
public:
    // The named family; a family the machine lacks gives the system's default sans-serif family, so
    // text is still drawn.
    explicit TGPFontFamily(const String& name);
    Gdiplus::GpFontFamily* Handle() const noexcept { return FHandle.get(); }
    String Name() const;
    // The family's name exists on this machine.
    static bool Exists(const String& name);

private:
    detail::gdip_handle<Gdiplus::GpFontFamily, Gdiplus::DllExports::GdipDeleteFontFamily> FHandle;
};

class TGPFont {
public:
    TGPFont(const TGPFontFamily& family, float size, int style = Gdiplus::FontStyleRegular,
            Gdiplus::Unit unit = Gdiplus::UnitPoint);
    // A family by name, falling back as TGPFontFamily does.
    TGPFont(const String& family_name, float size, int style = Gdiplus::FontStyleRegular,
            Gdiplus::Unit unit = Gdiplus::UnitPoint);
    Gdiplus::GpFont* Handle() const noexcept { return FHandle.get(); }
    float Size() const;
    String FamilyName() const;

private:
    detail::gdip_handle<Gdiplus::GpFont, Gdiplus::DllExports::GdipDeleteFont> FHandle;
};

class TGPStringFormat {
public:
    // flags: StringFormatFlags bits.
    explicit TGPStringFormat(int flags = 0);
    Gdiplus::GpStringFormat* Handle() const noexcept { return FHandle.get(); }
    int Flags() const;
    void SetFlags(int value);
    Gdiplus::StringTrimming Trimming() const;
    void SetTrimming(Gdiplus::StringTrimming value);
    void SetAlignment(Gdiplus::StringAlignment value);
    void SetLineAlignment(Gdiplus::StringAlignment value);

private:
    detail::gdip_handle<Gdiplus::GpStringFormat, Gdiplus::DllExports::GdipDeleteStringFormat> FHandle;
};

// --- Images

// An IStream over stream, which it owns; GDI+ reads pictures from it.
com_ptr<IStream> make_stream_adapter(std::unique_ptr<TStream> stream);

class TGPImage {
public:
    TGPImage(TGPImage&&) noexcept = default;
    TGPImage& operator=(TGPImage&&) noexcept = default;
    virtual ~TGPImage() = default;
    Gdiplus::GpImage* Handle() const noexcept { return FHandle.get(); }
    int Width() const;
    int Height() const;
    // A picture in any format GDI+ reads (PNG, BMP, ICO, ...).
    static TGPImage FromStream(IStream* stream);

protected:
    TGPImage() = default;
    detail::gdip_handle<Gdiplus::GpImage, Gdiplus::DllExports::GdipDisposeImage> FHandle;
};

class TGPBitmap : public TGPImage {
public:
    TGPBitmap(int width, int height, Gdiplus::PixelFormat format = PixelFormat32bppARGB);
    // Colour management off: pixels come as the file holds them.
    static TGPBitmap FromStream(IStream* stream);
    static TGPBitmap FromHBITMAP(HBITMAP bitmap);
    // A GDI bitmap of the pixels over background; the caller owns it.
    unique_hbitmap GetHBITMAP(ARGB background) const;
    ARGB Pixel(int x, int y) const;
    void SetPixel(int x, int y, ARGB color);

private:
    TGPBitmap() = default;
    Gdiplus::GpBitmap* bitmap() const noexcept { return static_cast<Gdiplus::GpBitmap*>(Handle()); }
};

// --- Drawing

class TGPGraphics {
public:
    // Draws on a device context the caller keeps alive.
    explicit TGPGraphics(HDC dc);
    // Draws on an image (a bitmap).
    explicit TGPGraphics(TGPImage& image);
    Gdiplus::GpGraphics* Handle() const noexcept { return FHandle.get(); }

    Gdiplus::SmoothingMode SmoothingMode() const;
    void SetSmoothingMode(Gdiplus::SmoothingMode value);
    Gdiplus::TextRenderingHint TextRenderingHint() const;
    void SetTextRenderingHint(Gdiplus::TextRenderingHint value);
    void SetPixelOffsetMode(Gdiplus::PixelOffsetMode value);
    void SetInterpolationMode(Gdiplus::InterpolationMode value);
    void SetCompositingMode(Gdiplus::CompositingMode value);

    void Clear(ARGB color);
    void FillRectangle(const TGPBrush& brush, const Gdiplus::RectF& rect);
    void DrawRectangle(const TGPPen& pen, const Gdiplus::RectF& rect);
    void FillPolygon(const TGPBrush& brush, std::span<const Gdiplus::Point> points,
                     Gdiplus::FillMode mode = Gdiplus::FillModeAlternate);
    void DrawPolygon(const TGPPen& pen, std::span<const Gdiplus::Point> points);
    void FillPath(const TGPBrush& brush, const TGPGraphicsPath& path);
    void DrawPath(const TGPPen& pen, const TGPGraphicsPath& path);
    void FillEllipse(const TGPBrush& brush, const Gdiplus::RectF& rect);
    void DrawEllipse(const TGPPen& pen, const Gdiplus::RectF& rect);
    void DrawArc(const TGPPen& pen, const Gdiplus::RectF& rect, float start_angle, float sweep_angle);
    void DrawLine(const TGPPen& pen, Gdiplus::PointF from, Gdiplus::PointF to);
    void DrawImage(const TGPImage& image, float x, float y);
    void DrawImage(const TGPImage& image, const Gdiplus::RectF& dest);
    // Format may be null (the default format).
    void DrawString(const String& text, const TGPFont& font, const Gdiplus::RectF& layout,
                    const TGPStringFormat* format, const TGPBrush& brush);
    Gdiplus::RectF MeasureString(const String& text, const TGPFont& font, const Gdiplus::RectF& layout,
                                 const TGPStringFormat* format) const;

    void SetClip(const TGPGraphicsPath& path, Gdiplus::CombineMode mode = Gdiplus::CombineModeReplace);
    void SetClip(const TGPRegion& region, Gdiplus::CombineMode mode = Gdiplus::CombineModeReplace);
    void SetClip(const Gdiplus::RectF& rect, Gdiplus::CombineMode mode = Gdiplus::CombineModeReplace);
    // A copy of the current clip.
    TGPRegion Clip() const;
    void ResetClip();
    void TranslateTransform(float dx, float dy);
    void ResetTransform();
    void Flush();

private:
    detail::gdip_handle<Gdiplus::GpGraphics, Gdiplus::DllExports::GdipDeleteGraphics> FHandle;
};

// The ARGB value of the parts.
constexpr ARGB make_argb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) noexcept {
    return (ARGB{a} << 24) | (ARGB{r} << 16) | (ARGB{g} << 8) | ARGB{b};
}

} // namespace kq
