#include "framework/Graphics.h"

#include "framework/Conversions.h"
#include "framework/ImageCodecs.h"
#include "framework/Properties.h"
#include "framework/Streams.h"

#include <algorithm>
#include <cstring>

namespace kq {

namespace {

int screen_pixels_per_inch() {
    const window_dc screen;
    const int ppi = screen ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return ppi > 0 ? ppi : 96;
}

} // namespace

std::vector<std::uint8_t> read_to_end(TStream& stream) {
    const std::int64_t size = stream.Size() - stream.Position();
    std::vector<std::uint8_t> data(static_cast<size_t>(std::max<std::int64_t>(size, 0)));
    if (!data.empty()) stream.ReadBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    return data;
}

std::int32_t ColorToRGB(TColor color) {
    if (color < 0) return static_cast<std::int32_t>(::GetSysColor(color & 0xFF));
    return color;
}

// --- Graphics objects

void TGraphicsObject::Changed() {
    FStale = true;
    if (OnChange) OnChange(this);
}

HGDIOBJ TGraphicsObject::current_handle() noexcept {
    if (FStale) {
        FHandle.reset();
        FStale = false;
    }
    return FHandle.get();
}

TFont::TFont() : FPixelsPerInch(screen_pixels_per_inch()) {
    FHeight = -::MulDiv(8, FPixelsPerInch, 72);
}

void TFont::Assign(const TPersistent* source) {
    if (auto* f = dynamic_cast<const TFont*>(source)) {
        FName = f->FName;
        FHeight = ::MulDiv(f->FHeight, FPixelsPerInch, f->FPixelsPerInch);
        FColor = f->FColor;
        FStyle = f->FStyle;
        FCharset = f->FCharset;
        FPitch = f->FPitch;
        FQuality = f->FQuality;
        FAdopted.reset(); // a later change replaces an adopted handle not yet used
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

HFONT TFont::Handle() {
    if (!current_handle() && FAdopted) FHandle = std::move(FAdopted);
    if (!current_handle()) {
        const LOGFONTW lf = logfont_of(*this);
        FHandle.reset(::CreateFontIndirectW(&lf));
        if (!FHandle) raise_out_of_resources();
    }
    return static_cast<HFONT>(FHandle.get());
}

void TFont::SetName(const String& value) {
    if (value.empty() || value == FName) return;
    FName = value;
    FAdopted.reset();
    Changed();
}

const property_table& TFont::PublishedProperties() const {
    static const property_table table = property_table::of<TFont>(TGraphicsObject::PublishedProperties())
        .integer(u"Charset", &TFont::Charset, &TFont::SetCharset, std::uint8_t{DEFAULT_CHARSET})
        .color(u"Color", &TFont::Color, &TFont::SetColor, clWindowText)
        .integer(u"Height", &TFont::Height, &TFont::SetHeight)
        .string(u"Name", &TFont::Name, &TFont::SetName, String(u"Tahoma"))
        .set_of(u"Style", &TFont::Style, &TFont::SetStyle, {u"fsBold", u"fsItalic", u"fsUnderline", u"fsStrikeOut"},
                TFontStyles{})
        .enumeration(u"Pitch", &TFont::Pitch, &TFont::SetPitch, {u"fpDefault", u"fpVariable", u"fpFixed"},
                     TFontPitch::fpDefault)
        .enumeration(u"Quality", &TFont::Quality, &TFont::SetQuality,
                     {u"fqDefault", u"fqDraft", u"fqProof", u"fqNonAntialiased", u"fqAntialiased", u"fqClearType",
                      u"fqClearTypeNatural"},
                     TFontQuality::fqDefault);
    return table;
}

void TFont::SetPitch(TFontPitch value) {
    if (value == FPitch) return;
    FPitch = value;
    FAdopted.reset();
    Changed();
}

void TFont::SetQuality(TFontQuality value) {
    if (value == FQuality) return;
    FQuality = value;
    FAdopted.reset();
    Changed();
}

void TFont::SetHandle(HFONT value) {
    unique_gdi_object adopted{value};
    LOGFONTW lf{};
    if (!value || ::GetObjectW(value, sizeof lf, &lf) != sizeof lf) {
        adopted.release(); // not ours to free when it is no font
        throw EInvalidOperation(u"Invalid font handle");
    }
    FName = from_wide(lf.lfFaceName);
    FHeight = lf.lfHeight;
    FStyle = TFontStyles{};
    if (lf.lfWeight >= FW_BOLD) FStyle.include(TFontStyle::fsBold);
    if (lf.lfItalic) FStyle.include(TFontStyle::fsItalic);
    if (lf.lfUnderline) FStyle.include(TFontStyle::fsUnderline);
    if (lf.lfStrikeOut) FStyle.include(TFontStyle::fsStrikeOut);
    FCharset = lf.lfCharSet;
    const int pitch = lf.lfPitchAndFamily & 3;
    FPitch = pitch == FIXED_PITCH ? TFontPitch::fpFixed : pitch == VARIABLE_PITCH ? TFontPitch::fpVariable
                                                                                 : TFontPitch::fpDefault;
    FQuality = lf.lfQuality <= CLEARTYPE_NATURAL_QUALITY ? static_cast<TFontQuality>(lf.lfQuality)
                                                          : TFontQuality::fqDefault;
    FAdopted = std::move(adopted);
    Changed();
}

LOGFONTW logfont_of(const TFont& font) {
    LOGFONTW lf{};
    lf.lfHeight = font.Height();
    lf.lfWeight = font.Style().contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = font.Style().contains(TFontStyle::fsItalic);
    lf.lfUnderline = font.Style().contains(TFontStyle::fsUnderline);
    lf.lfStrikeOut = font.Style().contains(TFontStyle::fsStrikeOut);
    lf.lfCharSet = font.Charset();
    lf.lfQuality = static_cast<BYTE>(font.Quality());
    lf.lfPitchAndFamily = font.Pitch() == TFontPitch::fpFixed      ? FIXED_PITCH
                          : font.Pitch() == TFontPitch::fpVariable ? VARIABLE_PITCH
                                                                   : DEFAULT_PITCH;
    const String face = SameText(font.Name(), u"Default") ? String(u"MS Sans Serif") : font.Name();
    const size_t n = std::min(face.size(), size_t{LF_FACESIZE - 1});
    std::memcpy(lf.lfFaceName, face.data(), n * sizeof(wchar_t));
    return lf;
}

int TFont::Size() const { return -::MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int value) { SetHeight(-::MulDiv(value, FPixelsPerInch, 72)); }

void TFont::SetHeight(int value) {
    if (value == FHeight) return;
    FHeight = value;
    FAdopted.reset();
    Changed();
}

void TFont::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    // The colour is not part of the GDI font: keep the handle.
    if (OnChange) OnChange(this);
}

void TFont::SetStyle(TFontStyles value) {
    if (value == FStyle) return;
    FStyle = value;
    FAdopted.reset();
    Changed();
}

void TFont::SetCharset(std::uint8_t value) {
    if (value == FCharset) return;
    FCharset = value;
    FAdopted.reset();
    Changed();
}

void TBrush::Assign(const TPersistent* source) {
    if (auto* b = dynamic_cast<const TBrush*>(source)) {
        FColor = b->FColor;
        FStyle = b->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

HBRUSH TBrush::Handle() {
    if (FStyle == TBrushStyle::bsClear) return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    if (!current_handle()) {
        FHandle.reset(::CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(FColor))));
        if (!FHandle) raise_out_of_resources();
    }
    return static_cast<HBRUSH>(FHandle.get());
}

void TBrush::SetColor(TColor value) {
    if (value == FColor && FStyle == TBrushStyle::bsSolid) return;
    FColor = value;
    // Picking a colour makes a clear brush solid again.
    FStyle = TBrushStyle::bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    Changed();
}

void TPen::Assign(const TPersistent* source) {
    if (auto* p = dynamic_cast<const TPen*>(source)) {
        FColor = p->FColor;
        FWidth = p->FWidth;
        FStyle = p->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(source);
}

HPEN TPen::Handle() {
    if (!current_handle()) {
        static constexpr int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        FHandle.reset(::CreatePen(styles[static_cast<int>(FStyle)], FWidth, static_cast<COLORREF>(ColorToRGB(FColor))));
        if (!FHandle) raise_out_of_resources();
    }
    return static_cast<HPEN>(FHandle.get());
}

void TPen::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    Changed();
}

void TPen::SetWidth(int value) {
    if (value == FWidth || value < 0) return;
    FWidth = value;
    Changed();
}

void TPen::SetStyle(TPenStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    Changed();
}

// --- Canvas

TCanvas::TCanvas() {
    // A changed object is deselected before its old GDI handle is deleted (a selected one cannot be).
    FFont.OnChange = [this](TObject*) {
        if (FHandle) {
            ::SelectObject(FHandle, ::GetStockObject(SYSTEM_FONT));
            SelectObjects();
        }
        if (OnChange) OnChange(this);
    };
    FBrush.OnChange = [this](TObject*) {
        if (FHandle) {
            ::SelectObject(FHandle, ::GetStockObject(NULL_BRUSH));
            SelectObjects();
        }
        if (OnChange) OnChange(this);
    };
    FPen.OnChange = [this](TObject*) {
        if (FHandle) {
            ::SelectObject(FHandle, ::GetStockObject(BLACK_PEN));
            SelectObjects();
        }
        if (OnChange) OnChange(this);
    };
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

HDC TCanvas::Handle() {
    RequiredState();
    return FHandle;
}

void TCanvas::SetHandle(HDC value) {
    if (value == FHandle) return;
    if (FHandle) RestoreObjects();
    FHandle = value;
    if (FHandle) SelectObjects();
}

void TCanvas::RequiredState() {
    if (!FHandle) CreateHandle();
    if (!FHandle) throw EInvalidOperation(u"Canvas does not allow drawing");
}

void TCanvas::SelectObjects() {
    const HGDIOBJ font = ::SelectObject(FHandle, FFont.Handle());
    const HGDIOBJ brush = ::SelectObject(FHandle, FBrush.Handle());
    const HGDIOBJ pen = ::SelectObject(FHandle, FPen.Handle());
    if (!FOldFont) {
        FOldFont = font;
        FOldBrush = brush;
        FOldPen = pen;
    }
    ::SetTextColor(FHandle, static_cast<COLORREF>(ColorToRGB(FFont.Color())));
    ::SetBkColor(FHandle, static_cast<COLORREF>(ColorToRGB(FBrush.Color())));
    ::SetBkMode(FHandle, FBrush.Style() == TBrushStyle::bsClear ? TRANSPARENT : OPAQUE);
}

void TCanvas::RestoreObjects() {
    if (!FOldFont) return;
    ::SelectObject(FHandle, FOldFont);
    ::SelectObject(FHandle, FOldBrush);
    ::SelectObject(FHandle, FOldPen);
    FOldFont = FOldBrush = FOldPen = nullptr;
}

// Brackets one drawing operation; the outermost one's end lets the canvas give back a borrowed DC.
class canvas_use {
public:
    explicit canvas_use(TCanvas& canvas) noexcept : FCanvas(canvas) { ++FCanvas.FUseDepth; }
    canvas_use(const canvas_use&) = delete;
    canvas_use& operator=(const canvas_use&) = delete;
    ~canvas_use() {
        if (--FCanvas.FUseDepth == 0) FCanvas.FreeHandle();
    }

private:
    TCanvas& FCanvas;
};

RECT TCanvas::ClipRect() {
    const canvas_use use(*this);
    RECT r{};
    ::GetClipBox(Handle(), &r);
    return r;
}

void TCanvas::MoveTo(int x, int y) {
    const canvas_use use(*this);
    ::MoveToEx(Handle(), x, y, nullptr);
}
void TCanvas::LineTo(int x, int y) {
    const canvas_use use(*this);
    ::LineTo(Handle(), x, y);
}
void TCanvas::Rectangle(const RECT& rect) {
    const canvas_use use(*this);
    ::Rectangle(Handle(), rect.left, rect.top, rect.right, rect.bottom);
}

void TCanvas::FillRect(const RECT& rect) {
    const canvas_use use(*this);
    if (FBrush.Style() != TBrushStyle::bsClear) ::FillRect(Handle(), &rect, FBrush.Handle());
}

void TCanvas::FrameRect(const RECT& rect) {
    const canvas_use use(*this);
    if (FBrush.Style() != TBrushStyle::bsClear) ::FrameRect(Handle(), &rect, FBrush.Handle());
}

void TCanvas::Polygon(const POINT* points, int count) {
    const canvas_use use(*this);
    ::Polygon(Handle(), points, count);
}

COLORREF TCanvas::Pixel(int x, int y) {
    const canvas_use use(*this);
    return ::GetPixel(Handle(), x, y);
}
void TCanvas::SetPixel(int x, int y, TColor color) {
    const canvas_use use(*this);
    ::SetPixelV(Handle(), x, y, static_cast<COLORREF>(ColorToRGB(color)));
}

void TCanvas::TextOut(int x, int y, const String& text) {
    const canvas_use use(*this);
    ::ExtTextOutW(Handle(), x, y, 0, nullptr, wide(text), static_cast<UINT>(text.size()), nullptr);
    ::MoveToEx(FHandle, x + TextWidth(text), y, nullptr);
}

void TCanvas::TextRect(const RECT& rect, int x, int y, const String& text) {
    const canvas_use use(*this);
    const UINT opaque = FBrush.Style() == TBrushStyle::bsClear ? 0 : ETO_OPAQUE;
    ::ExtTextOutW(Handle(), x, y, ETO_CLIPPED | opaque, &rect, wide(text), static_cast<UINT>(text.size()), nullptr);
}

void TCanvas::TextRect(RECT& rect, const String& text, UINT format) {
    const canvas_use use(*this);
    ::DrawTextW(Handle(), wide(text), static_cast<int>(text.size()), &rect, format);
}

SIZE TCanvas::TextExtent(const String& text) {
    const canvas_use use(*this);
    SIZE s{};
    ::GetTextExtentPoint32W(Handle(), wide(text), static_cast<int>(text.size()), &s);
    return s;
}

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
    const canvas_use use(*this);
    if (graphic.Empty()) return;
    graphic.Draw(*this, RECT{x, y, x + graphic.Width(), y + graphic.Height()});
}

void TCanvas::Draw(int x, int y, TGraphic& graphic, std::uint8_t opacity) {
    const canvas_use use(*this);
    if (graphic.Empty()) return;
    if (opacity == 255) {
        Draw(x, y, graphic);
        return;
    }
    // The graphic lands on a copy of what lies under it, which is then mixed in at the opacity.
    const int w = graphic.Width(), h = graphic.Height();
    TBitmap layer;
    layer.SetPixelFormat(TPixelFormat::pf32bit);
    layer.SetSize(w, h);
    ::BitBlt(layer.Canvas().Handle(), 0, 0, w, h, Handle(), x, y, SRCCOPY);
    graphic.Draw(layer.Canvas(), RECT{0, 0, w, h});
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, opacity, 0};
    ::AlphaBlend(Handle(), x, y, w, h, layer.Canvas().Handle(), 0, 0, w, h, blend);
}

void TCanvas::StretchDraw(const RECT& rect, TGraphic& graphic) {
    const canvas_use use(*this);
    if (!graphic.Empty()) graphic.Draw(*this, rect);
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& source, const RECT& source_rect) {
    const canvas_use use(*this);
    ::StretchBlt(Handle(), dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, source.Handle(),
                 source_rect.left, source_rect.top, source_rect.right - source_rect.left,
                 source_rect.bottom - source_rect.top, SRCCOPY);
}

// --- Graphic base

void TGraphic::Changed() {
    if (OnChange) OnChange(this);
}

void TGraphic::SetTransparent(bool value) {
    if (value == FTransparent) return;
    FTransparent = value;
    Changed();
}

void TGraphic::LoadFromFile(const String& file_name) {
    TFileStream stream(file_name, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const String& file_name) {
    TFileStream stream(file_name, fmCreate);
    SaveToStream(stream);
}

// --- Bitmap

// The bitmap's canvas draws through a memory DC with the DIB selected, made on first use.
class TBitmap::bitmap_canvas : public TCanvas {
public:
    explicit bitmap_canvas(TBitmap& owner) : FOwner(owner) {}
    ~bitmap_canvas() override { FreeContext(); }

    void FreeContext() {
        if (!FDC) return;
        SetHandle(nullptr);
        ::SelectObject(FDC.get(), FOldBitmap);
        FDC.reset();
    }

protected:
    void CreateHandle() override {
        FDC.reset(::CreateCompatibleDC(nullptr));
        if (!FDC) raise_out_of_resources();
        FOldBitmap = ::SelectObject(FDC.get(), FOwner.Handle());
        SetHandle(FDC.get());
    }

private:
    TBitmap& FOwner;
    unique_hdc FDC;
    HGDIOBJ FOldBitmap = nullptr;
};

TBitmap::TBitmap() : FCanvas(std::make_unique<bitmap_canvas>(*this)) {}
TBitmap::~TBitmap() { FCanvas.reset(); }

int TBitmap::stride() const noexcept {
    const int bytes = FPixelFormat == TPixelFormat::pf32bit ? 4 : 3;
    return (FWidth * bytes + 3) & ~3;
}

void TBitmap::Recreate(int width, int height, TPixelFormat format) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    // Keep what fits of the old pixels, as a resized picture does.
    std::vector<uint8_t> old;
    const int old_width = FWidth, old_height = FHeight, old_stride = stride();
    const int bytes_old = FPixelFormat == TPixelFormat::pf32bit ? 4 : 3;
    if (FBits) old.assign(FBits, FBits + static_cast<size_t>(old_stride) * old_height);

    FCanvas->FreeContext();
    FDib.reset();
    FBits = nullptr;
    FWidth = width;
    FHeight = height;
    FPixelFormat = format;
    if (width > 0 && height > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = format == TPixelFormat::pf32bit ? 32 : 24;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        FDib.reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!FDib) {
            FWidth = FHeight = 0;
            raise_out_of_resources();
        }
        FBits = static_cast<uint8_t*>(bits);
        const int bytes_new = format == TPixelFormat::pf32bit ? 4 : 3;
        for (int y = 0; y < std::min(old_height, height); ++y)
            for (int x = 0; x < std::min(old_width, width); ++x)
                std::memcpy(FBits + static_cast<size_t>(y) * stride() + x * bytes_new,
                            old.data() + static_cast<size_t>(y) * old_stride + x * bytes_old, 3);
    }
    Changed();
}

void TBitmap::SetSize(int width, int height) {
    if (width != FWidth || height != FHeight) Recreate(width, height, FPixelFormat);
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
    if (value != FPixelFormat) Recreate(FWidth, FHeight, value);
}

void* TBitmap::ScanLine(int row) {
    if (row < 0 || row >= FHeight) throw EInvalidGraphic(u"Scan line index out of range");
    ::GdiFlush(); // pending GDI drawing must reach the bits first
    return FBits + static_cast<size_t>(row) * stride();
}

HBITMAP TBitmap::Handle() { return FDib.get(); }

TCanvas& TBitmap::Canvas() { return *FCanvas; }

void TBitmap::Assign(const TPersistent* source) {
    if (auto* b = dynamic_cast<const TBitmap*>(source)) {
        if (b == this) return;
        FAlphaFormat = b->FAlphaFormat;
        FTransparent = b->FTransparent;
        Recreate(0, 0, b->FPixelFormat);
        Recreate(b->FWidth, b->FHeight, b->FPixelFormat);
        ::GdiFlush();
        if (FBits) std::memcpy(FBits, b->FBits, static_cast<size_t>(stride()) * FHeight);
        return;
    }
    if (auto* g = dynamic_cast<const TGraphic*>(source)) {
        auto& graphic = const_cast<TGraphic&>(*g);
        Recreate(0, 0, TPixelFormat::pf32bit);
        Recreate(graphic.Width(), graphic.Height(), TPixelFormat::pf32bit);
        FAlphaFormat = TAlphaFormat::afDefined;
        if (!graphic.Empty()) graphic.Draw(Canvas(), RECT{0, 0, FWidth, FHeight});
        ::GdiFlush();
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::Draw(TCanvas& canvas, const RECT& rect) {
    if (Empty()) return;
    const HDC source = Canvas().Handle();
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (FPixelFormat == TPixelFormat::pf32bit && FAlphaFormat != TAlphaFormat::afIgnored) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        if (FAlphaFormat == TAlphaFormat::afPremultiplied) {
            ::AlphaBlend(canvas.Handle(), rect.left, rect.top, w, h, source, 0, 0, FWidth, FHeight, blend);
            return;
        }
        // AlphaBlend wants premultiplied pixels: blend a premultiplied copy.
        TBitmap copy;
        copy.Assign(this);
        copy.SetAlphaFormat(TAlphaFormat::afPremultiplied);
        for (int y = 0; y < FHeight; ++y) {
            auto* p = static_cast<uint8_t*>(copy.ScanLine(y));
            for (int x = 0; x < FWidth; ++x, p += 4)
                for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * p[3] + 127) / 255);
        }
        copy.Draw(canvas, rect);
        return;
    }
    if (FTransparent) {
        const COLORREF key = ::GetPixel(source, 0, FHeight - 1);
        ::TransparentBlt(canvas.Handle(), rect.left, rect.top, w, h, source, 0, 0, FWidth, FHeight, key);
        return;
    }
    ::StretchBlt(canvas.Handle(), rect.left, rect.top, w, h, source, 0, 0, FWidth, FHeight, SRCCOPY);
}

void TBitmap::LoadFromStream(TStream& stream) {
    const bmp_picture pic = decode_bmp(read_to_end(stream));
    const TPixelFormat format = pic.has_alpha ? TPixelFormat::pf32bit : TPixelFormat::pf24bit;
    Recreate(0, 0, format);
    Recreate(pic.image.width, pic.image.height, format);
    FAlphaFormat = pic.has_alpha ? TAlphaFormat::afDefined : TAlphaFormat::afIgnored;
    const int bytes = format == TPixelFormat::pf32bit ? 4 : 3;
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* row = static_cast<uint8_t*>(ScanLine(y));
        for (int x = 0; x < FWidth; ++x) {
            const uint32_t p = pic.image.at(x, y);
            std::memcpy(row + x * bytes, &p, bytes);
        }
    }
    Changed();
}

void TBitmap::SaveToStream(TStream& stream) {
    raster_image image;
    image.width = FWidth;
    image.height = FHeight;
    image.pixels.resize(static_cast<size_t>(FWidth) * FHeight);
    const int bytes = FPixelFormat == TPixelFormat::pf32bit ? 4 : 3;
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(ScanLine(y));
        for (int x = 0; x < FWidth; ++x) {
            uint32_t p = 0xFF000000u;
            std::memcpy(&p, row + x * bytes, bytes);
            image.at(x, y) = p;
        }
    }
    const std::vector<uint8_t> file = encode_bmp(image, FPixelFormat == TPixelFormat::pf32bit ? 32 : 24);
    stream.WriteBuffer(file.data(), static_cast<std::int64_t>(file.size()));
}

// --- Icon

TIcon::TIcon() { FTransparent = true; }
TIcon::~TIcon() = default;

void TIcon::SetHandle(HICON value) {
    FIcon.reset(value);
    FWidth = FHeight = 0;
    if (value) {
        ICONINFO info{};
        if (::GetIconInfo(value, &info)) {
            unique_hbitmap colour(info.hbmColor), mask(info.hbmMask);
            BITMAP bm{};
            ::GetObjectW(colour ? colour.get() : mask.get(), sizeof bm, &bm);
            FWidth = bm.bmWidth;
            FHeight = colour ? bm.bmHeight : bm.bmHeight / 2;
        }
    }
    Changed();
}

HICON TIcon::ReleaseHandle() {
    FWidth = FHeight = 0;
    return FIcon.release();
}

void TIcon::Assign(const TPersistent* source) {
    if (auto* i = dynamic_cast<const TIcon*>(source)) {
        if (i == this) return;
        SetHandle(i->FIcon ? ::CopyIcon(i->FIcon.get()) : nullptr);
        return;
    }
    TGraphic::Assign(source);
}

void TIcon::Draw(TCanvas& canvas, const RECT& rect) {
    if (FIcon)
        ::DrawIconEx(canvas.Handle(), rect.left, rect.top, FIcon.get(), rect.right - rect.left,
                     rect.bottom - rect.top, 0, nullptr, DI_NORMAL);
}

void TIcon::LoadFromStream(TStream& stream) {
    const std::vector<uint8_t> file = read_to_end(stream);
    auto le16 = [&](size_t at) { return static_cast<uint16_t>(file[at] | file[at + 1] << 8); };
    auto le32 = [&](size_t at) { return uint32_t{le16(at)} | uint32_t{le16(at + 2)} << 16; };
    if (file.size() < 6 + 16 || le16(0) != 0 || le16(2) != 1 || le16(4) == 0)
        throw EInvalidGraphic(u"Invalid icon image: not an icon file");
    const uint32_t size = le32(6 + 8), offset = le32(6 + 12);
    if (offset > file.size() || file.size() - offset < size || size < sizeof(BITMAPINFOHEADER))
        throw EInvalidGraphic(u"Invalid icon image: truncated file");
    HICON icon = ::CreateIconFromResourceEx(const_cast<PBYTE>(file.data() + offset), size, TRUE, 0x00030000,
                                            file[6], file[7], LR_DEFAULTCOLOR);
    if (!icon) throw EInvalidGraphic(u"Invalid icon image: corrupted image data");
    SetHandle(icon);
}

void TIcon::SaveToStream(TStream& stream) {
    if (!FIcon) throw EInvalidGraphic(u"Cannot save an empty icon");
    ICONINFO info{};
    if (!::GetIconInfo(FIcon.get(), &info)) RaiseLastOSError();
    unique_hbitmap colour(info.hbmColor), mask(info.hbmMask);
    const int w = FWidth, h = FHeight;
    // Colour pixels as 32-bit bottom-up rows, then the 1-bit AND mask, as the icon format stores them.
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    const size_t mask_stride = ((static_cast<size_t>(w) + 31) / 32) * 4;
    std::vector<uint8_t> and_mask(mask_stride * h);
    const window_dc screen_dc;
    const HDC screen = screen_dc.get();
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    if (colour) ::GetDIBits(screen, colour.get(), 0, static_cast<UINT>(h), pixels.data(), &bi, DIB_RGB_COLORS);
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } mono{};
    mono.header = {sizeof(BITMAPINFOHEADER), w, h, 1, 1, BI_RGB, 0, 0, 0, 0, 0};
    ::GetDIBits(screen, mask.get(), 0, static_cast<UINT>(h), and_mask.data(), reinterpret_cast<BITMAPINFO*>(&mono),
                DIB_RGB_COLORS);
    // An icon without alpha: opaque wherever the mask shows the colour.
    bool any_alpha = false;
    for (size_t i = 3; i < pixels.size(); i += 4) any_alpha |= pixels[i] != 0;
    if (!any_alpha)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool hidden = (and_mask[y * mask_stride + x / 8] >> (7 - x % 8)) & 1;
                pixels[(static_cast<size_t>(y) * w + x) * 4 + 3] = hidden ? 0 : 255;
            }

    std::vector<uint8_t> out;
    auto p16 = [&](uint32_t v) { for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    auto p32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i))); };
    const uint32_t image_size = static_cast<uint32_t>(40 + pixels.size() + and_mask.size());
    p16(0);
    p16(1);
    p16(1);
    out.push_back(static_cast<uint8_t>(w >= 256 ? 0 : w));
    out.push_back(static_cast<uint8_t>(h >= 256 ? 0 : h));
    out.push_back(0);
    out.push_back(0);
    p16(1);
    p16(32);
    p32(image_size);
    p32(22);
    p32(40);
    p32(static_cast<uint32_t>(w));
    p32(static_cast<uint32_t>(h * 2));
    p16(1);
    p16(32);
    for (int i = 0; i < 6; ++i) p32(0);
    out.insert(out.end(), pixels.begin(), pixels.end());
    out.insert(out.end(), and_mask.begin(), and_mask.end());
    stream.WriteBuffer(out.data(), static_cast<std::int64_t>(out.size()));
}

// --- Metafile

TMetafile::TMetafile() { FTransparent = true; }
TMetafile::~TMetafile() = default;

void TMetafile::SetHandle(HENHMETAFILE value) {
    FMetafile.reset(value);
    FWidth = FHeight = 0;
    ENHMETAHEADER header{};
    if (value && ::GetEnhMetaFileHeader(value, sizeof header, &header) != 0 && header.szlMillimeters.cx > 0 &&
        header.szlMillimeters.cy > 0) {
        // The frame is in hundredths of a millimetre; the header tells the recording device's pixels per mm.
        FWidth = ::MulDiv(header.rclFrame.right - header.rclFrame.left, header.szlDevice.cx,
                          header.szlMillimeters.cx * 100);
        FHeight = ::MulDiv(header.rclFrame.bottom - header.rclFrame.top, header.szlDevice.cy,
                           header.szlMillimeters.cy * 100);
    }
    Changed();
}

void TMetafile::Assign(const TPersistent* source) {
    if (auto* m = dynamic_cast<const TMetafile*>(source)) {
        if (m == this) return;
        SetHandle(m->FMetafile ? ::CopyEnhMetaFileW(m->FMetafile.get(), nullptr) : nullptr);
        return;
    }
    TGraphic::Assign(source);
}

void TMetafile::Draw(TCanvas& canvas, const RECT& rect) {
    if (FMetafile)
        ::PlayEnhMetaFile(canvas.Handle(), FMetafile.get(), &rect);
}

void TMetafile::LoadFromStream(TStream& stream) {
    const std::vector<uint8_t> file = read_to_end(stream);
    HENHMETAFILE metafile = file.size() >= sizeof(ENHMETAHEADER)
                                ? ::SetEnhMetaFileBits(static_cast<UINT>(file.size()), file.data())
                                : nullptr;
    if (!metafile) throw EInvalidGraphic(u"Invalid metafile image");
    SetHandle(metafile);
}

void TMetafile::SaveToStream(TStream& stream) {
    if (!FMetafile) throw EInvalidGraphic(u"Cannot save an empty metafile");
    std::vector<uint8_t> bytes(::GetEnhMetaFileBits(FMetafile.get(), 0, nullptr));
    ::GetEnhMetaFileBits(FMetafile.get(), static_cast<UINT>(bytes.size()), bytes.data());
    stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
}

} // namespace kq
