#include "framework/Graphics.h"

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

std::vector<std::uint8_t> read_to_end(TStream& Stream) {
    const std::int64_t size = Stream.Size() - Stream.Position();
    std::vector<std::uint8_t> data(static_cast<size_t>(std::max<std::int64_t>(size, 0)));
    if (!data.empty()) Stream.ReadBuffer(data.data(), static_cast<std::int64_t>(data.size()));
    return data;
}

std::int32_t ColorToRGB(TColor Color) {
    if (Color < 0) return static_cast<std::int32_t>(::GetSysColor(Color & 0xFF));
    return Color;
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

void TFont::Assign(const TPersistent* Source) {
    if (auto* f = dynamic_cast<const TFont*>(Source)) {
        FName = f->FName;
        FHeight = ::MulDiv(f->FHeight, FPixelsPerInch, f->FPixelsPerInch);
        FColor = f->FColor;
        FStyle = f->FStyle;
        FCharset = f->FCharset;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

HFONT TFont::Handle() {
    if (!current_handle()) {
        LOGFONTW lf{};
        lf.lfHeight = FHeight;
        lf.lfWeight = FStyle.contains(TFontStyle::fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = FStyle.contains(TFontStyle::fsItalic);
        lf.lfUnderline = FStyle.contains(TFontStyle::fsUnderline);
        lf.lfStrikeOut = FStyle.contains(TFontStyle::fsStrikeOut);
        lf.lfCharSet = FCharset;
        lf.lfQuality = DEFAULT_QUALITY;
        const size_t n = std::min(FName.size(), size_t{LF_FACESIZE - 1});
        std::memcpy(lf.lfFaceName, FName.data(), n * sizeof(wchar_t));
        FHandle.reset(::CreateFontIndirectW(&lf));
        if (!FHandle) raise_out_of_resources();
    }
    return static_cast<HFONT>(FHandle.get());
}

void TFont::SetName(const String& Value) {
    if (Value.empty() || Value == FName) return;
    FName = Value;
    Changed();
}

const property_table& TFont::PublishedProperties() const {
    static const property_table table = property_table::of<TFont>(TGraphicsObject::PublishedProperties())
        .integer(u"Charset", &TFont::Charset, &TFont::SetCharset, std::uint8_t{DEFAULT_CHARSET})
        .color(u"Color", &TFont::Color, &TFont::SetColor, clWindowText)
        .integer(u"Height", &TFont::Height, &TFont::SetHeight)
        .string(u"Name", &TFont::Name, &TFont::SetName, String(u"Tahoma"))
        .set_of(u"Style", &TFont::Style, &TFont::SetStyle, {u"fsBold", u"fsItalic", u"fsUnderline", u"fsStrikeOut"},
                TFontStyles{});
    return table;
}

int TFont::Size() const { return -::MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int Value) { SetHeight(-::MulDiv(Value, FPixelsPerInch, 72)); }

void TFont::SetHeight(int Value) {
    if (Value == FHeight) return;
    FHeight = Value;
    Changed();
}

void TFont::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    // The colour is not part of the GDI font: keep the handle.
    if (OnChange) OnChange(this);
}

void TFont::SetStyle(TFontStyles Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}

void TFont::SetCharset(std::uint8_t Value) {
    if (Value == FCharset) return;
    FCharset = Value;
    Changed();
}

void TBrush::Assign(const TPersistent* Source) {
    if (auto* b = dynamic_cast<const TBrush*>(Source)) {
        FColor = b->FColor;
        FStyle = b->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

HBRUSH TBrush::Handle() {
    if (FStyle == TBrushStyle::bsClear) return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    if (!current_handle()) {
        FHandle.reset(::CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(FColor))));
        if (!FHandle) raise_out_of_resources();
    }
    return static_cast<HBRUSH>(FHandle.get());
}

void TBrush::SetColor(TColor Value) {
    if (Value == FColor && FStyle == TBrushStyle::bsSolid) return;
    FColor = Value;
    // Picking a colour makes a clear brush solid again.
    FStyle = TBrushStyle::bsSolid;
    Changed();
}

void TBrush::SetStyle(TBrushStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
    Changed();
}

void TPen::Assign(const TPersistent* Source) {
    if (auto* p = dynamic_cast<const TPen*>(Source)) {
        FColor = p->FColor;
        FWidth = p->FWidth;
        FStyle = p->FStyle;
        Changed();
        return;
    }
    TPersistent::Assign(Source);
}

HPEN TPen::Handle() {
    if (!current_handle()) {
        static constexpr int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
        FHandle.reset(::CreatePen(styles[static_cast<int>(FStyle)], FWidth, static_cast<COLORREF>(ColorToRGB(FColor))));
        if (!FHandle) raise_out_of_resources();
    }
    return static_cast<HPEN>(FHandle.get());
}

void TPen::SetColor(TColor Value) {
    if (Value == FColor) return;
    FColor = Value;
    Changed();
}

void TPen::SetWidth(int Value) {
    if (Value == FWidth || Value < 0) return;
    FWidth = Value;
    Changed();
}

void TPen::SetStyle(TPenStyle Value) {
    if (Value == FStyle) return;
    FStyle = Value;
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

void TCanvas::SetHandle(HDC Value) {
    if (Value == FHandle) return;
    if (FHandle) RestoreObjects();
    FHandle = Value;
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

RECT TCanvas::ClipRect() {
    RECT r{};
    ::GetClipBox(Handle(), &r);
    return r;
}

void TCanvas::MoveTo(int X, int Y) { ::MoveToEx(Handle(), X, Y, nullptr); }
void TCanvas::LineTo(int X, int Y) { ::LineTo(Handle(), X, Y); }
void TCanvas::Rectangle(const RECT& Rect) { ::Rectangle(Handle(), Rect.left, Rect.top, Rect.right, Rect.bottom); }

void TCanvas::FillRect(const RECT& Rect) {
    if (FBrush.Style() != TBrushStyle::bsClear) ::FillRect(Handle(), &Rect, FBrush.Handle());
}

void TCanvas::FrameRect(const RECT& Rect) {
    if (FBrush.Style() != TBrushStyle::bsClear) ::FrameRect(Handle(), &Rect, FBrush.Handle());
}

void TCanvas::Polygon(const POINT* Points, int Count) { ::Polygon(Handle(), Points, Count); }

COLORREF TCanvas::Pixel(int X, int Y) { return ::GetPixel(Handle(), X, Y); }
void TCanvas::SetPixel(int X, int Y, TColor Color) {
    ::SetPixelV(Handle(), X, Y, static_cast<COLORREF>(ColorToRGB(Color)));
}

void TCanvas::TextOut(int X, int Y, const String& Text) {
    ::ExtTextOutW(Handle(), X, Y, 0, nullptr, wide(Text), static_cast<UINT>(Text.size()), nullptr);
    ::MoveToEx(FHandle, X + TextWidth(Text), Y, nullptr);
}

void TCanvas::TextRect(const RECT& Rect, int X, int Y, const String& Text) {
    const UINT opaque = FBrush.Style() == TBrushStyle::bsClear ? 0 : ETO_OPAQUE;
    ::ExtTextOutW(Handle(), X, Y, ETO_CLIPPED | opaque, &Rect, wide(Text), static_cast<UINT>(Text.size()), nullptr);
}

void TCanvas::TextRect(RECT& Rect, const String& Text, UINT Format) {
    ::DrawTextW(Handle(), wide(Text), static_cast<int>(Text.size()), &Rect, Format);
}

SIZE TCanvas::TextExtent(const String& Text) {
    SIZE s{};
    ::GetTextExtentPoint32W(Handle(), wide(Text), static_cast<int>(Text.size()), &s);
    return s;
}

void TCanvas::Draw(int X, int Y, TGraphic& Graphic) {
    if (Graphic.Empty()) return;
    Graphic.Draw(*this, RECT{X, Y, X + Graphic.Width(), Y + Graphic.Height()});
}

void TCanvas::StretchDraw(const RECT& Rect, TGraphic& Graphic) {
    if (!Graphic.Empty()) Graphic.Draw(*this, Rect);
}

void TCanvas::CopyRect(const RECT& Dest, TCanvas& Source, const RECT& SourceRect) {
    ::StretchBlt(Handle(), Dest.left, Dest.top, Dest.right - Dest.left, Dest.bottom - Dest.top, Source.Handle(),
                 SourceRect.left, SourceRect.top, SourceRect.right - SourceRect.left,
                 SourceRect.bottom - SourceRect.top, SRCCOPY);
}

// --- Graphic base

void TGraphic::Changed() {
    if (OnChange) OnChange(this);
}

void TGraphic::SetTransparent(bool Value) {
    if (Value == FTransparent) return;
    FTransparent = Value;
    Changed();
}

void TGraphic::LoadFromFile(const String& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const String& FileName) {
    TFileStream stream(FileName, fmCreate);
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

void TBitmap::Recreate(int AWidth, int AHeight, TPixelFormat Format) {
    AWidth = std::max(AWidth, 0);
    AHeight = std::max(AHeight, 0);
    // Keep what fits of the old pixels, as a resized picture does.
    std::vector<uint8_t> old;
    const int old_width = FWidth, old_height = FHeight, old_stride = stride();
    const int bytes_old = FPixelFormat == TPixelFormat::pf32bit ? 4 : 3;
    if (FBits) old.assign(FBits, FBits + static_cast<size_t>(old_stride) * old_height);

    FCanvas->FreeContext();
    FDib.reset();
    FBits = nullptr;
    FWidth = AWidth;
    FHeight = AHeight;
    FPixelFormat = Format;
    if (AWidth > 0 && AHeight > 0) {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = AWidth;
        bi.bmiHeader.biHeight = -AHeight;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = Format == TPixelFormat::pf32bit ? 32 : 24;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        FDib.reset(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!FDib) {
            FWidth = FHeight = 0;
            raise_out_of_resources();
        }
        FBits = static_cast<uint8_t*>(bits);
        const int bytes_new = Format == TPixelFormat::pf32bit ? 4 : 3;
        for (int y = 0; y < std::min(old_height, AHeight); ++y)
            for (int x = 0; x < std::min(old_width, AWidth); ++x)
                std::memcpy(FBits + static_cast<size_t>(y) * stride() + x * bytes_new,
                            old.data() + static_cast<size_t>(y) * old_stride + x * bytes_old, 3);
    }
    Changed();
}

void TBitmap::SetSize(int AWidth, int AHeight) {
    if (AWidth != FWidth || AHeight != FHeight) Recreate(AWidth, AHeight, FPixelFormat);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
    if (Value != FPixelFormat) Recreate(FWidth, FHeight, Value);
}

void* TBitmap::ScanLine(int Row) {
    if (Row < 0 || Row >= FHeight) throw EInvalidGraphic(u"Scan line index out of range");
    ::GdiFlush(); // pending GDI drawing must reach the bits first
    return FBits + static_cast<size_t>(Row) * stride();
}

HBITMAP TBitmap::Handle() { return FDib.get(); }

TCanvas& TBitmap::Canvas() { return *FCanvas; }

void TBitmap::Assign(const TPersistent* Source) {
    if (auto* b = dynamic_cast<const TBitmap*>(Source)) {
        if (b == this) return;
        FAlphaFormat = b->FAlphaFormat;
        FTransparent = b->FTransparent;
        Recreate(0, 0, b->FPixelFormat);
        Recreate(b->FWidth, b->FHeight, b->FPixelFormat);
        ::GdiFlush();
        if (FBits) std::memcpy(FBits, b->FBits, static_cast<size_t>(stride()) * FHeight);
        return;
    }
    if (auto* g = dynamic_cast<const TGraphic*>(Source)) {
        auto& graphic = const_cast<TGraphic&>(*g);
        Recreate(0, 0, TPixelFormat::pf32bit);
        Recreate(graphic.Width(), graphic.Height(), TPixelFormat::pf32bit);
        FAlphaFormat = TAlphaFormat::afDefined;
        if (!graphic.Empty()) graphic.Draw(Canvas(), RECT{0, 0, FWidth, FHeight});
        ::GdiFlush();
        return;
    }
    TGraphic::Assign(Source);
}

void TBitmap::Draw(TCanvas& ACanvas, const RECT& Rect) {
    if (Empty()) return;
    const HDC source = Canvas().Handle();
    const int w = Rect.right - Rect.left, h = Rect.bottom - Rect.top;
    if (FPixelFormat == TPixelFormat::pf32bit && FAlphaFormat != TAlphaFormat::afIgnored) {
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        if (FAlphaFormat == TAlphaFormat::afPremultiplied) {
            ::AlphaBlend(ACanvas.Handle(), Rect.left, Rect.top, w, h, source, 0, 0, FWidth, FHeight, blend);
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
        copy.Draw(ACanvas, Rect);
        return;
    }
    if (FTransparent) {
        const COLORREF key = ::GetPixel(source, 0, FHeight - 1);
        ::TransparentBlt(ACanvas.Handle(), Rect.left, Rect.top, w, h, source, 0, 0, FWidth, FHeight, key);
        return;
    }
    ::StretchBlt(ACanvas.Handle(), Rect.left, Rect.top, w, h, source, 0, 0, FWidth, FHeight, SRCCOPY);
}

void TBitmap::LoadFromStream(TStream& Stream) {
    const bmp_picture pic = decode_bmp(read_to_end(Stream));
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

void TBitmap::SaveToStream(TStream& Stream) {
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
    Stream.WriteBuffer(file.data(), static_cast<std::int64_t>(file.size()));
}

// --- Icon

TIcon::TIcon() { FTransparent = true; }
TIcon::~TIcon() = default;

void TIcon::SetHandle(HICON Value) {
    FIcon.reset(Value);
    FWidth = FHeight = 0;
    if (Value) {
        ICONINFO info{};
        if (::GetIconInfo(Value, &info)) {
            unique_handle<HBITMAP, ::DeleteObject> colour(info.hbmColor), mask(info.hbmMask);
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

void TIcon::Assign(const TPersistent* Source) {
    if (auto* i = dynamic_cast<const TIcon*>(Source)) {
        if (i == this) return;
        SetHandle(i->FIcon ? ::CopyIcon(i->FIcon.get()) : nullptr);
        return;
    }
    TGraphic::Assign(Source);
}

void TIcon::Draw(TCanvas& ACanvas, const RECT& Rect) {
    if (FIcon)
        ::DrawIconEx(ACanvas.Handle(), Rect.left, Rect.top, FIcon.get(), Rect.right - Rect.left,
                     Rect.bottom - Rect.top, 0, nullptr, DI_NORMAL);
}

void TIcon::LoadFromStream(TStream& Stream) {
    const std::vector<uint8_t> file = read_to_end(Stream);
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

void TIcon::SaveToStream(TStream& Stream) {
    if (!FIcon) throw EInvalidGraphic(u"Cannot save an empty icon");
    ICONINFO info{};
    if (!::GetIconInfo(FIcon.get(), &info)) RaiseLastOSError();
    unique_handle<HBITMAP, ::DeleteObject> colour(info.hbmColor), mask(info.hbmMask);
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
    Stream.WriteBuffer(out.data(), static_cast<std::int64_t>(out.size()));
}

} // namespace kq
