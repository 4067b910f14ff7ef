#include "framework/GdiPlus.h"

#include "framework/Conversions.h"
#include "framework/Streams.h"

#include <atomic>
#include <cassert>
#include <climits>
#include <utility>

namespace kq {

using namespace Gdiplus::DllExports;
using Gdiplus::Status;

// --- Start-up

namespace {
// GUI thread only, like every start-up step.
ULONG_PTR gdiplus_token = 0;
int gdiplus_starts = 0;
} // namespace

void gdiplus_startup() {
    if (gdiplus_starts++ > 0) return;
    Gdiplus::GdiplusStartupInput input;
    const Status status = Gdiplus::GdiplusStartup(&gdiplus_token, &input, nullptr);
    if (status != Gdiplus::Ok) {
        gdiplus_starts = 0;
        throw EGdiPlusError(status);
    }
}

void gdiplus_shutdown() {
    assert(gdiplus_starts > 0);
    if (--gdiplus_starts > 0) return;
    Gdiplus::GdiplusShutdown(std::exchange(gdiplus_token, 0));
}

// --- Errors

namespace {
const char16_t* status_name(Status status) noexcept {
    static const char16_t* const names[] = {
        u"Ok", u"GenericError", u"InvalidParameter", u"OutOfMemory", u"ObjectBusy", u"InsufficientBuffer",
        u"NotImplemented", u"Win32Error", u"WrongState", u"Aborted", u"FileNotFound", u"ValueOverflow",
        u"AccessDenied", u"UnknownImageFormat", u"FontFamilyNotFound", u"FontStyleNotFound",
        u"NotTrueTypeFont", u"UnsupportedGdiplusVersion", u"GdiplusNotInitialized", u"PropertyNotFound",
        u"PropertyNotSupported", u"ProfileNotFound"};
    const auto index = static_cast<std::size_t>(status);
    return index < std::size(names) ? names[index] : u"UnknownStatus";
}
} // namespace

EGdiPlusError::EGdiPlusError(Gdiplus::Status status)
    : Exception(u"GDI+ error " + IntToStr(static_cast<int>(status)) + u" (" + status_name(status) + u")"),
      Status(status) {}

void gdip_check(Status status) {
    if (status != Gdiplus::Ok) throw EGdiPlusError(status);
}

namespace {
// Creates an object through an out-parameter and hands it to its owner.
template <class Handle, class Create>
Handle make(Create&& create) {
    Handle owner;
    gdip_check(create(owner.put()));
    return owner;
}

INT count_of(std::size_t size) {
    if (size > static_cast<std::size_t>(INT_MAX)) throw EGdiPlusError(Gdiplus::ValueOverflow);
    return static_cast<INT>(size);
}

String family_name(Gdiplus::GpFontFamily* family) {
    WCHAR name[LF_FACESIZE] = {};
    gdip_check(GdipGetFamilyName(family, name, LANG_NEUTRAL));
    return from_wide(name);
}
} // namespace

// --- Brushes

void TGPBrush::check(Status status) const {
    FLastStatus = status;
    gdip_check(status);
}

TGPSolidBrush::TGPSolidBrush(ARGB color) {
    Gdiplus::GpSolidFill* fill = nullptr;
    gdip_check(GdipCreateSolidFill(color, &fill));
    FHandle.reset(fill);
}

ARGB TGPSolidBrush::Color() const {
    ARGB color = 0;
    check(GdipGetSolidFillColor(static_cast<Gdiplus::GpSolidFill*>(Handle()), &color));
    return color;
}

void TGPSolidBrush::SetColor(ARGB value) {
    check(GdipSetSolidFillColor(static_cast<Gdiplus::GpSolidFill*>(Handle()), value));
}

TGPLinearGradientBrush::TGPLinearGradientBrush(Gdiplus::PointF point1, Gdiplus::PointF point2, ARGB color1, ARGB color2) {
    Gdiplus::GpLineGradient* line = nullptr;
    gdip_check(GdipCreateLineBrush(&point1, &point2, color1, color2, Gdiplus::WrapModeTile, &line));
    FHandle.reset(line);
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const Gdiplus::RectF& rect, ARGB color1, ARGB color2,
                                               Gdiplus::LinearGradientMode mode) {
    Gdiplus::GpLineGradient* line = nullptr;
    gdip_check(GdipCreateLineBrushFromRect(&rect, color1, color2, mode, Gdiplus::WrapModeTile, &line));
    FHandle.reset(line);
}

void TGPLinearGradientBrush::SetBlend(gp_blend blend) {
    assert(blend.Factors.size() == blend.Positions.size());
    check(GdipSetLineBlend(line(), blend.Factors.data(), blend.Positions.data(), count_of(blend.Factors.size())));
}

void TGPLinearGradientBrush::SetInterpolationColors(std::span<const ARGB> colors, std::span<const float> positions) {
    assert(colors.size() == positions.size());
    check(GdipSetLinePresetBlend(line(), colors.data(), positions.data(), count_of(colors.size())));
}

std::pair<ARGB, ARGB> TGPLinearGradientBrush::LinearColors() const {
    ARGB colors[2] = {};
    check(GdipGetLineColors(line(), colors));
    return {colors[0], colors[1]};
}

Gdiplus::RectF TGPLinearGradientBrush::Rectangle() const {
    Gdiplus::RectF rect;
    check(GdipGetLineRect(line(), &rect));
    return rect;
}

TGPPathGradientBrush::TGPPathGradientBrush(const TGPGraphicsPath& path) {
    Gdiplus::GpPathGradient* gradient = nullptr;
    gdip_check(GdipCreatePathGradientFromPath(path.Handle(), &gradient));
    FHandle.reset(gradient);
}

void TGPPathGradientBrush::SetCenterColor(ARGB value) {
    check(GdipSetPathGradientCenterColor(path(), value));
}

ARGB TGPPathGradientBrush::CenterColor() const {
    ARGB color = 0;
    check(GdipGetPathGradientCenterColor(path(), &color));
    return color;
}

void TGPPathGradientBrush::SetCenterPoint(Gdiplus::PointF value) {
    check(GdipSetPathGradientCenterPoint(path(), &value));
}

void TGPPathGradientBrush::SetSurroundColors(std::span<const ARGB> colors) {
    INT count = count_of(colors.size());
    check(GdipSetPathGradientSurroundColorsWithCount(path(), colors.data(), &count));
}

void TGPPathGradientBrush::SetBlend(gp_blend blend) {
    assert(blend.Factors.size() == blend.Positions.size());
    check(GdipSetPathGradientBlend(path(), blend.Factors.data(), blend.Positions.data(),
                                   count_of(blend.Factors.size())));
}

void TGPPathGradientBrush::SetFocusScales(float x, float y) {
    check(GdipSetPathGradientFocusScales(path(), x, y));
}

// --- Pens

TGPPen::TGPPen(ARGB Color, float Width)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpPen** pen) {
          return GdipCreatePen1(Color, Width, Gdiplus::UnitWorld, pen);
      })) {}

TGPPen::TGPPen(const TGPBrush& Brush, float Width)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpPen** pen) {
          return GdipCreatePen2(Brush.Handle(), Width, Gdiplus::UnitWorld, pen);
      })) {}

ARGB TGPPen::Color() const {
    ARGB color = 0;
    gdip_check(GdipGetPenColor(Handle(), &color));
    return color;
}

float TGPPen::Width() const {
    Gdiplus::REAL width = 0;
    gdip_check(GdipGetPenWidth(Handle(), &width));
    return width;
}

void TGPPen::SetAlignment(Gdiplus::PenAlignment value) {
    gdip_check(GdipSetPenMode(Handle(), value));
}
void TGPPen::SetLineJoin(Gdiplus::LineJoin value) {
    gdip_check(GdipSetPenLineJoin(Handle(), value));
}
void TGPPen::SetStartCap(Gdiplus::LineCap value) {
    gdip_check(GdipSetPenStartCap(Handle(), value));
}
void TGPPen::SetEndCap(Gdiplus::LineCap value) {
    gdip_check(GdipSetPenEndCap(Handle(), value));
}

// --- Paths and regions

TGPGraphicsPath::TGPGraphicsPath(Gdiplus::FillMode mode)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpPath** path) { return GdipCreatePath(mode, path); })) {}

void TGPGraphicsPath::AddPolygon(std::span<const Gdiplus::Point> points) {
    gdip_check(GdipAddPathPolygonI(Handle(), points.data(), count_of(points.size())));
}
void TGPGraphicsPath::AddLines(std::span<const Gdiplus::PointF> points) {
    gdip_check(GdipAddPathLine2(Handle(), points.data(), count_of(points.size())));
}
void TGPGraphicsPath::AddRectangle(const Gdiplus::RectF& rect) {
    gdip_check(GdipAddPathRectangle(Handle(), rect.X, rect.Y, rect.Width, rect.Height));
}
void TGPGraphicsPath::AddEllipse(const Gdiplus::RectF& rect) {
    gdip_check(GdipAddPathEllipse(Handle(), rect.X, rect.Y, rect.Width, rect.Height));
}
void TGPGraphicsPath::AddArc(const Gdiplus::RectF& rect, float start_angle, float sweep_angle) {
    gdip_check(GdipAddPathArc(Handle(), rect.X, rect.Y, rect.Width, rect.Height, start_angle, sweep_angle));
}
void TGPGraphicsPath::StartFigure() {
    gdip_check(GdipStartPathFigure(Handle()));
}
void TGPGraphicsPath::CloseFigure() {
    gdip_check(GdipClosePathFigure(Handle()));
}

int TGPGraphicsPath::PointCount() const {
    INT count = 0;
    gdip_check(GdipGetPointCount(Handle(), &count));
    return count;
}

Gdiplus::RectF TGPGraphicsPath::Bounds() const {
    Gdiplus::RectF rect;
    gdip_check(GdipGetPathWorldBounds(Handle(), &rect, nullptr, nullptr));
    return rect;
}

bool TGPGraphicsPath::IsVisible(float x, float y) const {
    BOOL visible = FALSE;
    gdip_check(GdipIsVisiblePathPoint(Handle(), x, y, nullptr, &visible));
    return visible != FALSE;
}

TGPRegion::TGPRegion()
    : FHandle(make<decltype(FHandle)>([](Gdiplus::GpRegion** region) { return GdipCreateRegion(region); })) {}

TGPRegion::TGPRegion(const Gdiplus::RectF& rect)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpRegion** region) { return GdipCreateRegionRect(&rect, region); })) {}

TGPRegion::TGPRegion(const TGPGraphicsPath& path)
    : FHandle(make<decltype(FHandle)>(
          [&](Gdiplus::GpRegion** region) { return GdipCreateRegionPath(path.Handle(), region); })) {}

void TGPRegion::Combine(const TGPRegion& other, Gdiplus::CombineMode mode) {
    gdip_check(GdipCombineRegionRegion(Handle(), other.Handle(), mode));
}
void TGPRegion::Combine(const TGPGraphicsPath& path, Gdiplus::CombineMode mode) {
    gdip_check(GdipCombineRegionPath(Handle(), path.Handle(), mode));
}
void TGPRegion::Combine(const Gdiplus::RectF& rect, Gdiplus::CombineMode mode) {
    gdip_check(GdipCombineRegionRect(Handle(), &rect, mode));
}

bool TGPRegion::IsVisible(float x, float y) const {
    BOOL visible = FALSE;
    gdip_check(GdipIsVisibleRegionPoint(Handle(), x, y, nullptr, &visible));
    return visible != FALSE;
}

// --- Text

namespace {
using font_family_handle = detail::gdip_handle<Gdiplus::GpFontFamily, GdipDeleteFontFamily>;

// The family that stands in for a missing one: the system's sans-serif family; where a machine lacks
// that too, the family of its message font, and at last the first family installed.
Status default_font_family(font_family_handle& family) {
    Gdiplus::GpFontFamily* generic = nullptr;
    Status status = GdipGetGenericFontFamilySansSerif(&generic);
    // The generic family belongs to GDI+; keep a copy of our own.
    if (status == Gdiplus::Ok) return GdipCloneFontFamily(generic, family.put());

    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        status = GdipCreateFontFamilyFromName(metrics.lfMessageFont.lfFaceName, nullptr, family.put());
        if (status == Gdiplus::Ok) return status;
    }

    Gdiplus::GpFontCollection* installed = nullptr;
    gdip_check(GdipNewInstalledFontCollection(&installed));
    INT found = 0;
    Gdiplus::GpFontFamily* first = nullptr;
    gdip_check(GdipGetFontCollectionFamilyList(installed, 1, &first, &found));
    if (found < 1) return Gdiplus::FontFamilyNotFound;
    return GdipCloneFontFamily(first, family.put());
}
} // namespace

TGPFontFamily::TGPFontFamily(const String& name) {
    Status status = GdipCreateFontFamilyFromName(wide(name), nullptr, FHandle.put());
    if (status == Gdiplus::FontFamilyNotFound) status = default_font_family(FHandle);
    gdip_check(status);
}

String TGPFontFamily::Name() const {
    return family_name(Handle());
}

bool TGPFontFamily::Exists(const String& name) {
    font_family_handle family;
    const Status status = GdipCreateFontFamilyFromName(wide(name), nullptr, family.put());
    if (status == Gdiplus::FontFamilyNotFound) return false;
    gdip_check(status);
    return true;
}

TGPFont::TGPFont(const TGPFontFamily& family, float Size, int Style, Gdiplus::Unit Unit)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpFont** font) {
          return GdipCreateFont(family.Handle(), Size, Style, Unit, font);
      })) {}

TGPFont::TGPFont(const String& family_name, float size, int style, Gdiplus::Unit unit)
    : TGPFont(TGPFontFamily(family_name), size, style, unit) {}

float TGPFont::Size() const {
    Gdiplus::REAL size = 0;
    gdip_check(GdipGetFontSize(Handle(), &size));
    return size;
}

String TGPFont::FamilyName() const {
    font_family_handle family;
    gdip_check(GdipGetFamily(Handle(), family.put()));
    return family_name(family.get());
}

TGPStringFormat::TGPStringFormat(int flags)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpStringFormat** format) {
          return GdipCreateStringFormat(flags, LANG_NEUTRAL, format);
      })) {}

int TGPStringFormat::Flags() const {
    INT flags = 0;
    gdip_check(GdipGetStringFormatFlags(Handle(), &flags));
    return flags;
}
void TGPStringFormat::SetFlags(int value) {
    gdip_check(GdipSetStringFormatFlags(Handle(), value));
}
Gdiplus::StringTrimming TGPStringFormat::Trimming() const {
    Gdiplus::StringTrimming trimming{};
    gdip_check(GdipGetStringFormatTrimming(Handle(), &trimming));
    return trimming;
}
void TGPStringFormat::SetTrimming(Gdiplus::StringTrimming value) {
    gdip_check(GdipSetStringFormatTrimming(Handle(), value));
}
void TGPStringFormat::SetAlignment(Gdiplus::StringAlignment value) {
    gdip_check(GdipSetStringFormatAlign(Handle(), value));
}
void TGPStringFormat::SetLineAlignment(Gdiplus::StringAlignment value) {
    gdip_check(GdipSetStringFormatLineAlign(Handle(), value));
}

// --- Stream adapter

namespace {
// IStream over a TStream it owns. Reference counted, as COM objects are; GDI+ keeps a reference for as
// long as an image made from it lives.
class stream_adapter final : public IStream {
public:
    explicit stream_adapter(std::unique_ptr<TStream> stream) : FStream(std::move(stream)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FReferences; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FReferences;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) override {
        return guard_callback(E_FAIL, [&] {
            const auto done = static_cast<ULONG>(FStream->Read(buffer, count));
            if (read) *read = done;
            return done == count ? S_OK : S_FALSE;
        });
    }
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG count, ULONG* written) override {
        return guard_callback(STG_E_CANTSAVE, [&] {
            const auto done = static_cast<ULONG>(FStream->Write(buffer, count));
            if (written) *written = done;
            return done == count ? S_OK : STG_E_MEDIUMFULL;
        });
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override {
        if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
        return guard_callback(STG_E_INVALIDPOINTER, [&] {
            const auto at = FStream->Seek(move.QuadPart, static_cast<TSeekOrigin>(origin));
            if (position) position->QuadPart = static_cast<ULONGLONG>(at);
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        return guard_callback(E_FAIL, [&] {
            FStream->SetSize(static_cast<std::int64_t>(size.QuadPart));
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return STG_E_REVERTED; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        return guard_callback(E_FAIL, [&] {
            *stat = STATSTG{};
            stat->type = STGTY_STREAM;
            stat->cbSize.QuadPart = static_cast<ULONGLONG>(FStream->Size());
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** clone) override {
        if (clone) *clone = nullptr;
        return E_NOTIMPL;
    }

private:
    ~stream_adapter() = default;
    std::atomic<ULONG> FReferences{1};
    std::unique_ptr<TStream> FStream;
};
} // namespace

com_ptr<IStream> make_stream_adapter(std::unique_ptr<TStream> stream) {
    assert(stream);
    return com_ptr<IStream>(new stream_adapter(std::move(stream)));
}

// --- Images

int TGPImage::Width() const {
    UINT width = 0;
    gdip_check(GdipGetImageWidth(Handle(), &width));
    return static_cast<int>(width);
}

int TGPImage::Height() const {
    UINT height = 0;
    gdip_check(GdipGetImageHeight(Handle(), &height));
    return static_cast<int>(height);
}

TGPImage TGPImage::FromStream(IStream* stream) {
    TGPImage image;
    gdip_check(GdipLoadImageFromStream(stream, image.FHandle.put()));
    return image;
}

TGPBitmap::TGPBitmap(int width, int height, Gdiplus::PixelFormat format) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip_check(GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap));
    FHandle.reset(bitmap);
}

TGPBitmap TGPBitmap::FromStream(IStream* stream) {
    TGPBitmap result;
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip_check(GdipCreateBitmapFromStream(stream, &bitmap));
    result.FHandle.reset(bitmap);
    return result;
}

TGPBitmap TGPBitmap::FromHBITMAP(HBITMAP source) {
    TGPBitmap result;
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip_check(GdipCreateBitmapFromHBITMAP(source, nullptr, &bitmap));
    result.FHandle.reset(bitmap);
    return result;
}

unique_hbitmap TGPBitmap::GetHBITMAP(ARGB background) const {
    unique_hbitmap result;
    gdip_check(GdipCreateHBITMAPFromBitmap(bitmap(), result.put(), background));
    return result;
}

ARGB TGPBitmap::Pixel(int x, int y) const {
    ARGB color = 0;
    gdip_check(GdipBitmapGetPixel(bitmap(), x, y, &color));
    return color;
}

void TGPBitmap::SetPixel(int x, int y, ARGB color) {
    gdip_check(GdipBitmapSetPixel(bitmap(), x, y, color));
}

// --- Drawing

TGPGraphics::TGPGraphics(HDC dc)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpGraphics** g) { return GdipCreateFromHDC(dc, g); })) {}

TGPGraphics::TGPGraphics(TGPImage& image)
    : FHandle(make<decltype(FHandle)>(
          [&](Gdiplus::GpGraphics** g) { return GdipGetImageGraphicsContext(image.Handle(), g); })) {}

Gdiplus::SmoothingMode TGPGraphics::SmoothingMode() const {
    Gdiplus::SmoothingMode mode{};
    gdip_check(GdipGetSmoothingMode(Handle(), &mode));
    return mode;
}
void TGPGraphics::SetSmoothingMode(Gdiplus::SmoothingMode value) {
    gdip_check(GdipSetSmoothingMode(Handle(), value));
}
Gdiplus::TextRenderingHint TGPGraphics::TextRenderingHint() const {
    Gdiplus::TextRenderingHint hint{};
    gdip_check(GdipGetTextRenderingHint(Handle(), &hint));
    return hint;
}
void TGPGraphics::SetTextRenderingHint(Gdiplus::TextRenderingHint value) {
    gdip_check(GdipSetTextRenderingHint(Handle(), value));
}
void TGPGraphics::SetPixelOffsetMode(Gdiplus::PixelOffsetMode value) {
    gdip_check(GdipSetPixelOffsetMode(Handle(), value));
}
void TGPGraphics::SetInterpolationMode(Gdiplus::InterpolationMode value) {
    gdip_check(GdipSetInterpolationMode(Handle(), value));
}
void TGPGraphics::SetCompositingMode(Gdiplus::CompositingMode value) {
    gdip_check(GdipSetCompositingMode(Handle(), value));
}

void TGPGraphics::Clear(ARGB color) {
    gdip_check(GdipGraphicsClear(Handle(), color));
}
void TGPGraphics::FillRectangle(const TGPBrush& brush, const Gdiplus::RectF& rect) {
    gdip_check(GdipFillRectangle(Handle(), brush.Handle(), rect.X, rect.Y, rect.Width, rect.Height));
}
void TGPGraphics::DrawRectangle(const TGPPen& pen, const Gdiplus::RectF& rect) {
    gdip_check(GdipDrawRectangle(Handle(), pen.Handle(), rect.X, rect.Y, rect.Width, rect.Height));
}
void TGPGraphics::FillPolygon(const TGPBrush& brush, std::span<const Gdiplus::Point> points, Gdiplus::FillMode mode) {
    gdip_check(GdipFillPolygonI(Handle(), brush.Handle(), points.data(), count_of(points.size()), mode));
}
void TGPGraphics::DrawPolygon(const TGPPen& pen, std::span<const Gdiplus::Point> points) {
    gdip_check(GdipDrawPolygonI(Handle(), pen.Handle(), points.data(), count_of(points.size())));
}
void TGPGraphics::FillPath(const TGPBrush& brush, const TGPGraphicsPath& path) {
    gdip_check(GdipFillPath(Handle(), brush.Handle(), path.Handle()));
}
void TGPGraphics::DrawPath(const TGPPen& pen, const TGPGraphicsPath& path) {
    gdip_check(GdipDrawPath(Handle(), pen.Handle(), path.Handle()));
}
void TGPGraphics::FillEllipse(const TGPBrush& brush, const Gdiplus::RectF& rect) {
    gdip_check(GdipFillEllipse(Handle(), brush.Handle(), rect.X, rect.Y, rect.Width, rect.Height));
}
void TGPGraphics::DrawEllipse(const TGPPen& pen, const Gdiplus::RectF& rect) {
    gdip_check(GdipDrawEllipse(Handle(), pen.Handle(), rect.X, rect.Y, rect.Width, rect.Height));
}
void TGPGraphics::DrawArc(const TGPPen& pen, const Gdiplus::RectF& rect, float start_angle, float sweep_angle) {
    gdip_check(GdipDrawArc(Handle(), pen.Handle(), rect.X, rect.Y, rect.Width, rect.Height, start_angle, sweep_angle));
}
void TGPGraphics::DrawLine(const TGPPen& pen, Gdiplus::PointF from, Gdiplus::PointF to) {
    gdip_check(GdipDrawLine(Handle(), pen.Handle(), from.X, from.Y, to.X, to.Y));
}
void TGPGraphics::DrawImage(const TGPImage& image, float x, float y) {
    gdip_check(GdipDrawImage(Handle(), image.Handle(), x, y));
}
void TGPGraphics::DrawImage(const TGPImage& image, const Gdiplus::RectF& dest) {
    gdip_check(GdipDrawImageRect(Handle(), image.Handle(), dest.X, dest.Y, dest.Width, dest.Height));
}

void TGPGraphics::DrawString(const String& text, const TGPFont& font, const Gdiplus::RectF& layout,
                             const TGPStringFormat* format, const TGPBrush& brush) {
    gdip_check(GdipDrawString(Handle(), wide(text), count_of(text.size()), font.Handle(), &layout,
                              format ? format->Handle() : nullptr, brush.Handle()));
}

Gdiplus::RectF TGPGraphics::MeasureString(const String& text, const TGPFont& font, const Gdiplus::RectF& layout,
                                          const TGPStringFormat* format) const {
    Gdiplus::RectF bounds;
    gdip_check(GdipMeasureString(Handle(), wide(text), count_of(text.size()), font.Handle(), &layout,
                                 format ? format->Handle() : nullptr, &bounds, nullptr, nullptr));
    return bounds;
}

void TGPGraphics::SetClip(const TGPGraphicsPath& path, Gdiplus::CombineMode mode) {
    gdip_check(GdipSetClipPath(Handle(), path.Handle(), mode));
}
void TGPGraphics::SetClip(const TGPRegion& region, Gdiplus::CombineMode mode) {
    gdip_check(GdipSetClipRegion(Handle(), region.Handle(), mode));
}
TGPRegion TGPGraphics::Clip() const {
    TGPRegion region;
    gdip_check(GdipGetClip(Handle(), region.Handle()));
    return region;
}
void TGPGraphics::SetClip(const Gdiplus::RectF& rect, Gdiplus::CombineMode mode) {
    gdip_check(GdipSetClipRect(Handle(), rect.X, rect.Y, rect.Width, rect.Height, mode));
}
void TGPGraphics::ResetClip() {
    gdip_check(GdipResetClip(Handle()));
}
void TGPGraphics::TranslateTransform(float dx, float dy) {
    gdip_check(GdipTranslateWorldTransform(Handle(), dx, dy, Gdiplus::MatrixOrderPrepend));
}
void TGPGraphics::ResetTransform() {
    gdip_check(GdipResetWorldTransform(Handle()));
}
void TGPGraphics::Flush() {
    gdip_check(GdipFlush(Handle(), Gdiplus::FlushIntentionSync));
}

} // namespace kq
