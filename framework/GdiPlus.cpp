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

TGPSolidBrush::TGPSolidBrush(ARGB Color) {
    Gdiplus::GpSolidFill* fill = nullptr;
    gdip_check(GdipCreateSolidFill(Color, &fill));
    FHandle.reset(fill);
}

ARGB TGPSolidBrush::Color() const {
    ARGB color = 0;
    gdip_check(GdipGetSolidFillColor(static_cast<Gdiplus::GpSolidFill*>(Handle()), &color));
    return color;
}

void TGPSolidBrush::SetColor(ARGB Value) {
    gdip_check(GdipSetSolidFillColor(static_cast<Gdiplus::GpSolidFill*>(Handle()), Value));
}

TGPLinearGradientBrush::TGPLinearGradientBrush(Gdiplus::PointF Point1, Gdiplus::PointF Point2, ARGB Color1, ARGB Color2) {
    Gdiplus::GpLineGradient* line = nullptr;
    gdip_check(GdipCreateLineBrush(&Point1, &Point2, Color1, Color2, Gdiplus::WrapModeTile, &line));
    FHandle.reset(line);
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const Gdiplus::RectF& Rect, ARGB Color1, ARGB Color2,
                                               Gdiplus::LinearGradientMode Mode) {
    Gdiplus::GpLineGradient* line = nullptr;
    gdip_check(GdipCreateLineBrushFromRect(&Rect, Color1, Color2, Mode, Gdiplus::WrapModeTile, &line));
    FHandle.reset(line);
}

void TGPLinearGradientBrush::SetBlend(gp_blend Blend) {
    assert(Blend.Factors.size() == Blend.Positions.size());
    gdip_check(GdipSetLineBlend(line(), Blend.Factors.data(), Blend.Positions.data(), count_of(Blend.Factors.size())));
}

void TGPLinearGradientBrush::SetInterpolationColors(std::span<const ARGB> Colors, std::span<const float> Positions) {
    assert(Colors.size() == Positions.size());
    gdip_check(GdipSetLinePresetBlend(line(), Colors.data(), Positions.data(), count_of(Colors.size())));
}

std::pair<ARGB, ARGB> TGPLinearGradientBrush::LinearColors() const {
    ARGB colors[2] = {};
    gdip_check(GdipGetLineColors(line(), colors));
    return {colors[0], colors[1]};
}

Gdiplus::RectF TGPLinearGradientBrush::Rectangle() const {
    Gdiplus::RectF rect;
    gdip_check(GdipGetLineRect(line(), &rect));
    return rect;
}

TGPPathGradientBrush::TGPPathGradientBrush(const TGPGraphicsPath& Path) {
    Gdiplus::GpPathGradient* gradient = nullptr;
    gdip_check(GdipCreatePathGradientFromPath(Path.Handle(), &gradient));
    FHandle.reset(gradient);
}

void TGPPathGradientBrush::SetCenterColor(ARGB Value) {
    gdip_check(GdipSetPathGradientCenterColor(path(), Value));
}

ARGB TGPPathGradientBrush::CenterColor() const {
    ARGB color = 0;
    gdip_check(GdipGetPathGradientCenterColor(path(), &color));
    return color;
}

void TGPPathGradientBrush::SetCenterPoint(Gdiplus::PointF Value) {
    gdip_check(GdipSetPathGradientCenterPoint(path(), &Value));
}

void TGPPathGradientBrush::SetSurroundColors(std::span<const ARGB> Colors) {
    INT count = count_of(Colors.size());
    gdip_check(GdipSetPathGradientSurroundColorsWithCount(path(), Colors.data(), &count));
}

void TGPPathGradientBrush::SetBlend(gp_blend Blend) {
    assert(Blend.Factors.size() == Blend.Positions.size());
    gdip_check(GdipSetPathGradientBlend(path(), Blend.Factors.data(), Blend.Positions.data(),
                                        count_of(Blend.Factors.size())));
}

void TGPPathGradientBrush::SetFocusScales(float X, float Y) {
    gdip_check(GdipSetPathGradientFocusScales(path(), X, Y));
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

void TGPPen::SetAlignment(Gdiplus::PenAlignment Value) {
    gdip_check(GdipSetPenMode(Handle(), Value));
}
void TGPPen::SetLineJoin(Gdiplus::LineJoin Value) {
    gdip_check(GdipSetPenLineJoin(Handle(), Value));
}
void TGPPen::SetStartCap(Gdiplus::LineCap Value) {
    gdip_check(GdipSetPenStartCap(Handle(), Value));
}
void TGPPen::SetEndCap(Gdiplus::LineCap Value) {
    gdip_check(GdipSetPenEndCap(Handle(), Value));
}

// --- Paths and regions

TGPGraphicsPath::TGPGraphicsPath(Gdiplus::FillMode Mode)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpPath** path) { return GdipCreatePath(Mode, path); })) {}

void TGPGraphicsPath::AddPolygon(std::span<const Gdiplus::Point> Points) {
    gdip_check(GdipAddPathPolygonI(Handle(), Points.data(), count_of(Points.size())));
}
void TGPGraphicsPath::AddLines(std::span<const Gdiplus::PointF> Points) {
    gdip_check(GdipAddPathLine2(Handle(), Points.data(), count_of(Points.size())));
}
void TGPGraphicsPath::AddRectangle(const Gdiplus::RectF& Rect) {
    gdip_check(GdipAddPathRectangle(Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height));
}
void TGPGraphicsPath::AddEllipse(const Gdiplus::RectF& Rect) {
    gdip_check(GdipAddPathEllipse(Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height));
}
void TGPGraphicsPath::AddArc(const Gdiplus::RectF& Rect, float StartAngle, float SweepAngle) {
    gdip_check(GdipAddPathArc(Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height, StartAngle, SweepAngle));
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

bool TGPGraphicsPath::IsVisible(float X, float Y) const {
    BOOL visible = FALSE;
    gdip_check(GdipIsVisiblePathPoint(Handle(), X, Y, nullptr, &visible));
    return visible != FALSE;
}

TGPRegion::TGPRegion()
    : FHandle(make<decltype(FHandle)>([](Gdiplus::GpRegion** region) { return GdipCreateRegion(region); })) {}

TGPRegion::TGPRegion(const Gdiplus::RectF& Rect)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpRegion** region) { return GdipCreateRegionRect(&Rect, region); })) {}

TGPRegion::TGPRegion(const TGPGraphicsPath& Path)
    : FHandle(make<decltype(FHandle)>(
          [&](Gdiplus::GpRegion** region) { return GdipCreateRegionPath(Path.Handle(), region); })) {}

void TGPRegion::Combine(const TGPRegion& Other, Gdiplus::CombineMode Mode) {
    gdip_check(GdipCombineRegionRegion(Handle(), Other.Handle(), Mode));
}
void TGPRegion::Combine(const TGPGraphicsPath& Path, Gdiplus::CombineMode Mode) {
    gdip_check(GdipCombineRegionPath(Handle(), Path.Handle(), Mode));
}
void TGPRegion::Combine(const Gdiplus::RectF& Rect, Gdiplus::CombineMode Mode) {
    gdip_check(GdipCombineRegionRect(Handle(), &Rect, Mode));
}

bool TGPRegion::IsVisible(float X, float Y) const {
    BOOL visible = FALSE;
    gdip_check(GdipIsVisibleRegionPoint(Handle(), X, Y, nullptr, &visible));
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

TGPFontFamily::TGPFontFamily(const String& Name) {
    Status status = GdipCreateFontFamilyFromName(wide(Name), nullptr, FHandle.put());
    if (status == Gdiplus::FontFamilyNotFound) status = default_font_family(FHandle);
    gdip_check(status);
}

String TGPFontFamily::Name() const {
    return family_name(Handle());
}

bool TGPFontFamily::Exists(const String& Name) {
    font_family_handle family;
    const Status status = GdipCreateFontFamilyFromName(wide(Name), nullptr, family.put());
    if (status == Gdiplus::FontFamilyNotFound) return false;
    gdip_check(status);
    return true;
}

TGPFont::TGPFont(const TGPFontFamily& Family, float Size, int Style, Gdiplus::Unit Unit)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpFont** font) {
          return GdipCreateFont(Family.Handle(), Size, Style, Unit, font);
      })) {}

TGPFont::TGPFont(const String& FamilyName, float Size, int Style, Gdiplus::Unit Unit)
    : TGPFont(TGPFontFamily(FamilyName), Size, Style, Unit) {}

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

TGPStringFormat::TGPStringFormat(int Flags)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpStringFormat** format) {
          return GdipCreateStringFormat(Flags, LANG_NEUTRAL, format);
      })) {}

int TGPStringFormat::Flags() const {
    INT flags = 0;
    gdip_check(GdipGetStringFormatFlags(Handle(), &flags));
    return flags;
}
void TGPStringFormat::SetFlags(int Value) {
    gdip_check(GdipSetStringFormatFlags(Handle(), Value));
}
Gdiplus::StringTrimming TGPStringFormat::Trimming() const {
    Gdiplus::StringTrimming trimming{};
    gdip_check(GdipGetStringFormatTrimming(Handle(), &trimming));
    return trimming;
}
void TGPStringFormat::SetTrimming(Gdiplus::StringTrimming Value) {
    gdip_check(GdipSetStringFormatTrimming(Handle(), Value));
}
void TGPStringFormat::SetAlignment(Gdiplus::StringAlignment Value) {
    gdip_check(GdipSetStringFormatAlign(Handle(), Value));
}
void TGPStringFormat::SetLineAlignment(Gdiplus::StringAlignment Value) {
    gdip_check(GdipSetStringFormatLineAlign(Handle(), Value));
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

unique_com<IStream> make_stream_adapter(std::unique_ptr<TStream> Stream) {
    assert(Stream);
    return unique_com<IStream>(new stream_adapter(std::move(Stream)));
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

TGPImage TGPImage::FromStream(IStream* Stream) {
    TGPImage image;
    gdip_check(GdipLoadImageFromStream(Stream, image.FHandle.put()));
    return image;
}

TGPBitmap::TGPBitmap(int Width, int Height, Gdiplus::PixelFormat Format) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip_check(GdipCreateBitmapFromScan0(Width, Height, 0, Format, nullptr, &bitmap));
    FHandle.reset(bitmap);
}

TGPBitmap TGPBitmap::FromStream(IStream* Stream) {
    TGPBitmap result;
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip_check(GdipCreateBitmapFromStream(Stream, &bitmap));
    result.FHandle.reset(bitmap);
    return result;
}

TGPBitmap TGPBitmap::FromHBITMAP(HBITMAP Bitmap) {
    TGPBitmap result;
    Gdiplus::GpBitmap* bitmap = nullptr;
    gdip_check(GdipCreateBitmapFromHBITMAP(Bitmap, nullptr, &bitmap));
    result.FHandle.reset(bitmap);
    return result;
}

unique_hbitmap TGPBitmap::GetHBITMAP(ARGB Background) const {
    unique_hbitmap result;
    gdip_check(GdipCreateHBITMAPFromBitmap(bitmap(), result.put(), Background));
    return result;
}

ARGB TGPBitmap::Pixel(int X, int Y) const {
    ARGB color = 0;
    gdip_check(GdipBitmapGetPixel(bitmap(), X, Y, &color));
    return color;
}

void TGPBitmap::SetPixel(int X, int Y, ARGB Color) {
    gdip_check(GdipBitmapSetPixel(bitmap(), X, Y, Color));
}

// --- Drawing

TGPGraphics::TGPGraphics(HDC DC)
    : FHandle(make<decltype(FHandle)>([&](Gdiplus::GpGraphics** g) { return GdipCreateFromHDC(DC, g); })) {}

TGPGraphics::TGPGraphics(TGPImage& Image)
    : FHandle(make<decltype(FHandle)>(
          [&](Gdiplus::GpGraphics** g) { return GdipGetImageGraphicsContext(Image.Handle(), g); })) {}

Gdiplus::SmoothingMode TGPGraphics::SmoothingMode() const {
    Gdiplus::SmoothingMode mode{};
    gdip_check(GdipGetSmoothingMode(Handle(), &mode));
    return mode;
}
void TGPGraphics::SetSmoothingMode(Gdiplus::SmoothingMode Value) {
    gdip_check(GdipSetSmoothingMode(Handle(), Value));
}
Gdiplus::TextRenderingHint TGPGraphics::TextRenderingHint() const {
    Gdiplus::TextRenderingHint hint{};
    gdip_check(GdipGetTextRenderingHint(Handle(), &hint));
    return hint;
}
void TGPGraphics::SetTextRenderingHint(Gdiplus::TextRenderingHint Value) {
    gdip_check(GdipSetTextRenderingHint(Handle(), Value));
}
void TGPGraphics::SetPixelOffsetMode(Gdiplus::PixelOffsetMode Value) {
    gdip_check(GdipSetPixelOffsetMode(Handle(), Value));
}
void TGPGraphics::SetInterpolationMode(Gdiplus::InterpolationMode Value) {
    gdip_check(GdipSetInterpolationMode(Handle(), Value));
}
void TGPGraphics::SetCompositingMode(Gdiplus::CompositingMode Value) {
    gdip_check(GdipSetCompositingMode(Handle(), Value));
}

void TGPGraphics::Clear(ARGB Color) {
    gdip_check(GdipGraphicsClear(Handle(), Color));
}
void TGPGraphics::FillRectangle(const TGPBrush& Brush, const Gdiplus::RectF& Rect) {
    gdip_check(GdipFillRectangle(Handle(), Brush.Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height));
}
void TGPGraphics::DrawRectangle(const TGPPen& Pen, const Gdiplus::RectF& Rect) {
    gdip_check(GdipDrawRectangle(Handle(), Pen.Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height));
}
void TGPGraphics::FillPolygon(const TGPBrush& Brush, std::span<const Gdiplus::Point> Points, Gdiplus::FillMode Mode) {
    gdip_check(GdipFillPolygonI(Handle(), Brush.Handle(), Points.data(), count_of(Points.size()), Mode));
}
void TGPGraphics::DrawPolygon(const TGPPen& Pen, std::span<const Gdiplus::Point> Points) {
    gdip_check(GdipDrawPolygonI(Handle(), Pen.Handle(), Points.data(), count_of(Points.size())));
}
void TGPGraphics::FillPath(const TGPBrush& Brush, const TGPGraphicsPath& Path) {
    gdip_check(GdipFillPath(Handle(), Brush.Handle(), Path.Handle()));
}
void TGPGraphics::DrawPath(const TGPPen& Pen, const TGPGraphicsPath& Path) {
    gdip_check(GdipDrawPath(Handle(), Pen.Handle(), Path.Handle()));
}
void TGPGraphics::FillEllipse(const TGPBrush& Brush, const Gdiplus::RectF& Rect) {
    gdip_check(GdipFillEllipse(Handle(), Brush.Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height));
}
void TGPGraphics::DrawEllipse(const TGPPen& Pen, const Gdiplus::RectF& Rect) {
    gdip_check(GdipDrawEllipse(Handle(), Pen.Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height));
}
void TGPGraphics::DrawArc(const TGPPen& Pen, const Gdiplus::RectF& Rect, float StartAngle, float SweepAngle) {
    gdip_check(GdipDrawArc(Handle(), Pen.Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height, StartAngle, SweepAngle));
}
void TGPGraphics::DrawLine(const TGPPen& Pen, Gdiplus::PointF From, Gdiplus::PointF To) {
    gdip_check(GdipDrawLine(Handle(), Pen.Handle(), From.X, From.Y, To.X, To.Y));
}
void TGPGraphics::DrawImage(const TGPImage& Image, float X, float Y) {
    gdip_check(GdipDrawImage(Handle(), Image.Handle(), X, Y));
}
void TGPGraphics::DrawImage(const TGPImage& Image, const Gdiplus::RectF& Dest) {
    gdip_check(GdipDrawImageRect(Handle(), Image.Handle(), Dest.X, Dest.Y, Dest.Width, Dest.Height));
}

void TGPGraphics::DrawString(const String& Text, const TGPFont& Font, const Gdiplus::RectF& Layout,
                             const TGPStringFormat* Format, const TGPBrush& Brush) {
    gdip_check(GdipDrawString(Handle(), wide(Text), count_of(Text.size()), Font.Handle(), &Layout,
                              Format ? Format->Handle() : nullptr, Brush.Handle()));
}

Gdiplus::RectF TGPGraphics::MeasureString(const String& Text, const TGPFont& Font, const Gdiplus::RectF& Layout,
                                          const TGPStringFormat* Format) const {
    Gdiplus::RectF bounds;
    gdip_check(GdipMeasureString(Handle(), wide(Text), count_of(Text.size()), Font.Handle(), &Layout,
                                 Format ? Format->Handle() : nullptr, &bounds, nullptr, nullptr));
    return bounds;
}

void TGPGraphics::SetClip(const TGPGraphicsPath& Path, Gdiplus::CombineMode Mode) {
    gdip_check(GdipSetClipPath(Handle(), Path.Handle(), Mode));
}
void TGPGraphics::SetClip(const TGPRegion& Region, Gdiplus::CombineMode Mode) {
    gdip_check(GdipSetClipRegion(Handle(), Region.Handle(), Mode));
}
TGPRegion TGPGraphics::Clip() const {
    TGPRegion region;
    gdip_check(GdipGetClip(Handle(), region.Handle()));
    return region;
}
void TGPGraphics::SetClip(const Gdiplus::RectF& Rect, Gdiplus::CombineMode Mode) {
    gdip_check(GdipSetClipRect(Handle(), Rect.X, Rect.Y, Rect.Width, Rect.Height, Mode));
}
void TGPGraphics::ResetClip() {
    gdip_check(GdipResetClip(Handle()));
}
void TGPGraphics::TranslateTransform(float DX, float DY) {
    gdip_check(GdipTranslateWorldTransform(Handle(), DX, DY, Gdiplus::MatrixOrderPrepend));
}
void TGPGraphics::ResetTransform() {
    gdip_check(GdipResetWorldTransform(Handle()));
}
void TGPGraphics::Flush() {
    gdip_check(GdipFlush(Handle(), Gdiplus::FlushIntentionSync));
}

} // namespace kq
