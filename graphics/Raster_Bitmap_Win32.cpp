// The bitmap's Windows side: the backend's font, canvas, text and device context, and the framework's
// pictures assigned in and out.

#include "graphics/Raster_Bitmap.h"

#include "framework/Conversions.h"
#include "framework/Handles.h"
#include "framework/Pictures.h"
#include "framework/ResourceStreams.h"
#include "framework/Streams.h"
#include "graphics/Raster_Backends_GDI.h"
#include "graphics/Raster_Resamplers.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

namespace kq {

namespace {

template <class I>
I* capability(TCustomBackend* backend, const TGUID& iid) {
    return require_interface<I>(backend, iid);
}

template <class I>
I* optional_capability(TCustomBackend* backend, const TGUID& iid) {
    return static_cast<I*>(query_interface(backend, iid));
}

// Swaps in a backend with a device context or canvas for the scope's lifetime.
class backend_for_drawing {
public:
    backend_for_drawing(TCustomBitmap32* target, std::initializer_list<TGUID> interfaces, bool flush)
        : FTarget(target), FSaved(RequireBackendSupport(target, interfaces, backend_support_mode::any, flush)) {}
    ~backend_for_drawing() {
        try {
            RestoreBackend(FTarget, FSaved);
        } catch (...) {
            // Restoring copies pixels into storage that already existed; nothing is left to report.
        }
    }
    backend_for_drawing(const backend_for_drawing&) = delete;
    backend_for_drawing& operator=(const backend_for_drawing&) = delete;

private:
    TCustomBitmap32* FTarget;
    TCustomBackend* FSaved;
};

void DrawGraphicInto(TCustomBitmap32* Target, TGraphic* Graphic, TColor32 FillColor, bool ResetAlphaAfter) {
    if (!Graphic)
        return;
    backend_for_drawing scope(Target, {IID_IDeviceContextSupport, IID_ICanvasSupport}, true);
    Target->SetSize(Graphic->Width(), Graphic->Height());
    if (!Target->Empty()) {
        Target->Clear(FillColor);
        const RECT bounds{0, 0, Target->Width(), Target->Height()};
        if (auto* dc = optional_capability<IDeviceContextSupport>(Target->Backend(), IID_IDeviceContextSupport)) {
            TCanvas canvas;
            canvas.Lock();
            auto unlock = scope_exit([&] {
                canvas.SetHandle(nullptr);
                canvas.Unlock();
            });
            canvas.SetHandle(dc->GetHandle());
            Graphic->Draw(canvas, bounds);
        } else if (auto* cs = optional_capability<ICanvasSupport>(Target->Backend(), IID_ICanvasSupport)) {
            Graphic->Draw(*cs->GetCanvas(), bounds);
        } else {
            throw EBitmapException(u"Inpropriate Backend");
        }
        if (ResetAlphaAfter)
            Target->ResetAlpha();
    }
}

// Pixels that differ between a drawing on white and one on red are transparent.
void DrawGraphicMasked(TCustomBitmap32* Target, TGraphic* Graphic) {
    DrawGraphicInto(Target, Graphic, clWhite32, false);
    if (Target->Empty())
        return;
    TBitmap32 on_red;
    DrawGraphicInto(&on_red, Graphic, clRed32, false);
    if (on_red.Width() != Target->Width() || on_red.Height() != Target->Height())
        return;
    const std::int64_t count = static_cast<std::int64_t>(Target->Width()) * Target->Height();
    TColor32* p = Target->Bits();
    const TColor32* q = on_red.Bits();
    for (std::int64_t i = 0; i < count; ++i)
        p[i] = (p[i] & 0x00FFFFFF) | (((p[i] ^ q[i]) & 0x00FFFFFF) == 0 ? 0xFF000000u : 0u);
}

void AssignFromFrameworkBitmap(TCustomBitmap32* Target, TBitmap* Bitmap) {
    DrawGraphicInto(Target, Bitmap, 0, Bitmap->PixelFormat() != TPixelFormat::pf32bit);
    if (Target->Empty())
        return;
    if (Bitmap->Transparent()) {
        const TColor32 key = WinColorToColor32(static_cast<std::int32_t>(
                                 ::GetPixel(Bitmap->Canvas().Handle(), 0, Bitmap->Height() - 1))) &
                             0x00FFFFFF;
        const std::int64_t count = static_cast<std::int64_t>(Target->Width()) * Target->Height();
        TColor32* p = Target->Bits();
        for (std::int64_t i = 0; i < count; ++i)
            if ((p[i] & 0x00FFFFFF) == key)
                p[i] &= 0x00FFFFFF;
    }
    if (auto* fs = optional_capability<IFontSupport>(Target->Backend(), IID_IFontSupport))
        fs->SetFont(&Bitmap->Canvas().Font());
}

void AssignFromIcon(TCustomBitmap32* Target, TIcon* Icon) {
    DrawGraphicInto(Target, Icon, 0, false);
    if (Target->Empty())
        return;
    const std::int64_t count = static_cast<std::int64_t>(Target->Width()) * Target->Height();
    const TColor32* p = Target->Bits();
    for (std::int64_t i = 0; i < count; ++i)
        if (Color32Alpha(p[i]) != 0)
            return;
    DrawGraphicMasked(Target, Icon);
}

void AssignFromGraphic(TCustomBitmap32* Target, TGraphic* Graphic) {
    if (auto* bitmap = dynamic_cast<TBitmap*>(Graphic))
        AssignFromFrameworkBitmap(Target, bitmap);
    else if (auto* icon = dynamic_cast<TIcon*>(Graphic))
        AssignFromIcon(Target, icon);
    else if (auto* metafile = dynamic_cast<TMetafile*>(Graphic))
        DrawGraphicMasked(Target, metafile);
    else
        DrawGraphicInto(Target, Graphic, clWhite32, true);
}

void CopyToFrameworkBitmap(TBitmap* Bmp, TCustomBitmap32* Src) {
    backend_for_drawing scope(Src, {IID_IDeviceContextSupport}, false);
    Bmp->SetPixelFormat(TPixelFormat::pf32bit);
    Bmp->SetSize(Src->Width(), Src->Height());
    if (auto* fs = optional_capability<IFontSupport>(Src->Backend(), IID_IFontSupport))
        Bmp->Canvas().SetFont(*fs->GetFont());
    if (Src->Empty())
        return;
    auto* dc = capability<IDeviceContextSupport>(Src->Backend(), IID_IDeviceContextSupport);
    TCanvas& canvas = Bmp->Canvas();
    canvas.Lock();
    auto unlock = scope_exit([&] { canvas.Unlock(); });
    dc->DrawTo(canvas.Handle(), Src->BoundsRect(), Src->BoundsRect());
}

} // namespace

// --- Framework pictures in and out

bool TCustomBitmap32::assign_from_platform(const TPersistent* Source) {
    // The framework's drawing calls are not const; the source is only read.
    auto* source = const_cast<TPersistent*>(Source);
    if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
        AssignFromGraphic(this, graphic);
        return true;
    }
    if (auto* picture = dynamic_cast<TPicture*>(source)) {
        AssignFromGraphic(this, picture->Graphic());
        if (!picture->Graphic())
            SetSize(0, 0);
        return true;
    }
    return false;
}

bool TCustomBitmap32::assign_to_platform(TPersistent* Dest) const {
    auto* self = const_cast<TCustomBitmap32*>(this);
    if (auto* bitmap = dynamic_cast<TBitmap*>(Dest)) {
        CopyToFrameworkBitmap(bitmap, self);
        return true;
    }
    if (auto* picture = dynamic_cast<TPicture*>(Dest)) {
        TBitmap bitmap;
        CopyToFrameworkBitmap(&bitmap, self);
        picture->SetGraphic(&bitmap);
        return true;
    }
    return false;
}

void TCustomBitmap32::load_other_picture(TStream& Stream, bool any_format) {
    if (any_format) {
        TPicture picture;
        picture.LoadFromStream(Stream);
        Assign(&picture);
    } else {
        TBitmap bitmap;
        bitmap.LoadFromStream(Stream);
        Assign(&bitmap);
    }
}

namespace {

// A bitmap resource is a BMP file without its 14-byte file header.
void load_bitmap_resource(TCustomBitmap32& bitmap, HINSTANCE instance, const wchar_t* name, const String& shown) {
    HRSRC info = ::FindResourceW(instance, name, MAKEINTRESOURCEW(2));
    HGLOBAL handle = info ? ::LoadResource(instance, info) : nullptr;
    const auto* bytes = handle ? static_cast<const std::uint8_t*>(::LockResource(handle)) : nullptr;
    const DWORD size = info ? ::SizeofResource(instance, info) : 0;
    if (!bytes || size < sizeof(BITMAPINFOHEADER)) throw EResNotFound(Format(u"Resource %s not found", {shown}));
    BITMAPINFOHEADER header;
    std::memcpy(&header, bytes, sizeof header);
    std::uint32_t colours = header.biClrUsed;
    if (colours == 0 && header.biBitCount <= 8) colours = 1u << header.biBitCount;
    const std::uint32_t masks = header.biCompression == BI_BITFIELDS && header.biSize == sizeof header ? 12 : 0;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfSize = static_cast<DWORD>(sizeof file + size);
    file.bfOffBits = static_cast<DWORD>(sizeof file + header.biSize + masks + 4 * colours);
    TMemoryStream stream;
    stream.WriteBuffer(&file, sizeof file);
    stream.WriteBuffer(bytes, size);
    stream.SetPosition(0);
    TBitmap picture;
    picture.LoadFromStream(stream);
    bitmap.Assign(&picture);
}

} // namespace

void TCustomBitmap32::LoadFromResourceID(HINSTANCE Instance, std::uint32_t ResID) {
    auto changed = scope_exit([this] { Changed(); });
    load_bitmap_resource(*this, Instance, MAKEINTRESOURCEW(ResID), Format(u"%d", {static_cast<std::int64_t>(ResID)}));
}

void TCustomBitmap32::LoadFromResourceName(HINSTANCE Instance, const String& ResName) {
    auto changed = scope_exit([this] { Changed(); });
    load_bitmap_resource(*this, Instance, wide(ResName), ResName);
}

// --- TBitmap32 on its backend's capabilities

TBitmap32::~TBitmap32() {
    if (FBackend) {
        if (auto* fs = optional_capability<IFontSupport>(FBackend.get(), IID_IFontSupport))
            fs->SetOnFontChange(nullptr);
        if (auto* cs = optional_capability<ICanvasSupport>(FBackend.get(), IID_ICanvasSupport))
            cs->SetCanvasChange(nullptr);
    }
}

void TBitmap32::hook_backend(TCustomBackend* backend) {
    if (!backend)
        return;
    if (auto* fs = optional_capability<IFontSupport>(backend, IID_IFontSupport))
        fs->SetOnFontChange([](TObject*) {}); // the bitmap's font handler has nothing to do
    if (auto* cs = optional_capability<ICanvasSupport>(backend, IID_ICanvasSupport))
        cs->SetCanvasChange([this](TObject*) { Changed(); });
}

void TBitmap32::BackendChanging() {
    TCustomBitmap32::BackendChanging();
    if (auto* cs = optional_capability<ICanvasSupport>(FBackend.get(), IID_ICanvasSupport))
        cs->DeleteCanvas();
}

void TBitmap32::DetachBackend() {
    if (FBackend) {
        if (auto* fs = optional_capability<IFontSupport>(FBackend.get(), IID_IFontSupport))
            fs->SetOnFontChange(nullptr);
        if (auto* cs = optional_capability<ICanvasSupport>(FBackend.get(), IID_ICanvasSupport))
            cs->SetCanvasChange(nullptr);
    }
    TCustomBitmap32::DetachBackend();
}

void TBitmap32::CopyPropertiesTo(TCustomBitmap32* Dst) const {
    TCustomBitmap32::CopyPropertiesTo(Dst);
    auto* dst = dynamic_cast<TBitmap32*>(Dst);
    if (!dst)
        return;
    auto* mine = optional_capability<IFontSupport>(FBackend.get(), IID_IFontSupport);
    auto* theirs = optional_capability<IFontSupport>(dst->FBackend.get(), IID_IFontSupport);
    if (mine && theirs)
        theirs->SetFont(mine->GetFont());
}

TFont* TBitmap32::Font() {
    return capability<IFontSupport>(FBackend.get(), IID_IFontSupport)->GetFont();
}

void TBitmap32::SetFont(const TFont* Value) {
    capability<IFontSupport>(FBackend.get(), IID_IFontSupport)->SetFont(Value);
}

void TBitmap32::UpdateFont() {
    capability<IFontSupport>(FBackend.get(), IID_IFontSupport)->UpdateFont();
}

TCanvas* TBitmap32::Canvas() {
    return capability<ICanvasSupport>(FBackend.get(), IID_ICanvasSupport)->GetCanvas();
}

bool TBitmap32::CanvasAllocated() {
    return capability<ICanvasSupport>(FBackend.get(), IID_ICanvasSupport)->CanvasAllocated();
}

void TBitmap32::DeleteCanvas() {
    if (auto* cs = optional_capability<ICanvasSupport>(FBackend.get(), IID_ICanvasSupport))
        cs->DeleteCanvas();
}

HDC TBitmap32::Handle() {
    return capability<IDeviceContextSupport>(FBackend.get(), IID_IDeviceContextSupport)->GetHandle();
}

HBITMAP TBitmap32::BitmapHandle() {
    return capability<IBitmapContextSupport>(FBackend.get(), IID_IBitmapContextSupport)->GetBitmapHandle();
}

BITMAPINFO TBitmap32::BitmapInfo() {
    return capability<IBitmapContextSupport>(FBackend.get(), IID_IBitmapContextSupport)->GetBitmapInfo();
}

void TBitmap32::Textout(std::int32_t X, std::int32_t Y, const String& Text) {
    capability<ITextSupport>(FBackend.get(), IID_ITextSupport)->Textout(X, Y, Text);
}

void TBitmap32::Textout(std::int32_t X, std::int32_t Y, const TRect& ClipRect, const String& Text) {
    capability<ITextSupport>(FBackend.get(), IID_ITextSupport)->Textout(X, Y, ClipRect, Text);
}

void TBitmap32::Textout(TRect DstRect, std::uint32_t Flags, const String& Text) {
    capability<ITextSupport>(FBackend.get(), IID_ITextSupport)->Textout(DstRect, Flags, Text);
}

SIZE TBitmap32::TextExtent(const String& Text) {
    return capability<ITextSupport>(FBackend.get(), IID_ITextSupport)->TextExtent(Text);
}

void TBitmap32::Draw(const TRect& DstRect, const TRect& SrcRect, HDC hSrc) {
    capability<IDeviceContextSupport>(FBackend.get(), IID_IDeviceContextSupport)->Draw(DstRect, SrcRect, hSrc);
}

void TBitmap32::DrawTo(HDC hDst, std::int32_t DstX, std::int32_t DstY) {
    if (Empty())
        return;
    capability<IDeviceContextSupport>(FBackend.get(), IID_IDeviceContextSupport)->DrawTo(hDst, DstX, DstY);
}

void TBitmap32::DrawTo(HDC hDst, const TRect& DstRect, const TRect& SrcRect) {
    if (Empty())
        return;
    capability<IDeviceContextSupport>(FBackend.get(), IID_IDeviceContextSupport)->DrawTo(hDst, DstRect, SrcRect);
}

// --- Tiles and antialiased text

void TBitmap32::TileTo(HDC hDst, const TRect& DstRect, const TRect& SrcRect) {
    constexpr std::int32_t tile = 1024;
    const std::int64_t w = std::int64_t{DstRect.Right} - DstRect.Left, h = std::int64_t{DstRect.Bottom} - DstRect.Top;
    if (w <= 0 || h <= 0)
        return;
    for (std::int64_t top = 0; top < h; top += tile)
        for (std::int64_t left = 0; left < w; left += tile) {
            const auto tw = static_cast<std::int32_t>(std::min<std::int64_t>(tile, w - left));
            const auto th = static_cast<std::int32_t>(std::min<std::int64_t>(tile, h - top));
            TBitmap32 piece;
            piece.SetSize(tw, th);
            TRect moved = DstRect;
            OffsetRectBy(moved, static_cast<std::int32_t>(-left) - DstRect.Left,
                         static_cast<std::int32_t>(-top) - DstRect.Top);
            StretchBlock(&piece, moved, {0, 0, tw, th}, this, SrcRect, FResampler.get(), FDrawMode, OnPixelCombine);
            piece.DrawTo(hDst, static_cast<std::int32_t>(DstRect.Left + left), static_cast<std::int32_t>(DstRect.Top + top));
        }
}

void SetFontQuality(TFont& Font, std::uint8_t Quality) {
    LOGFONTW lf = logfont_of(Font);
    lf.lfQuality = Quality;
    const HFONT handle = ::CreateFontIndirectW(&lf);
    if (!handle)
        throw EOutOfResources(u"Out of system resources");
    Font.SetHandle(handle);
}

namespace {

// Every pixel that text touched becomes Color's RGB with the coverage (its blue byte) as alpha.
void TextCoverageToAlpha(TCustomBitmap32& B, TColor32 Color) {
    const std::int64_t count = std::int64_t{B.Width()} * B.Height();
    TColor32* p = B.Bits();
    for (std::int64_t i = 0; i < count; ++i)
        if (p[i] != 0)
            p[i] = (Color & 0x00FFFFFF) | (p[i] & 0xFF) << 24;
}

// Each pixel of B averages the coverage of its 2^AALevel square in B2.
void TextDownsample(TCustomBitmap32& B, const TCustomBitmap32& B2, std::int32_t AALevel, TColor32 Color) {
    const std::int32_t n = 1 << AALevel;
    for (std::int32_t y = 0; y < B.Height(); ++y)
        for (std::int32_t x = 0; x < B.Width(); ++x) {
            std::uint32_t sum = 0;
            for (std::int32_t j = 0; j < n; ++j)
                for (std::int32_t i = 0; i < n; ++i) {
                    const std::int32_t sx = x * n + i, sy = y * n + j;
                    if (sx < B2.Width() && sy < B2.Height())
                        sum += B2.GetPixel(sx, sy) & 0xFF;
                }
            B.SetPixel(x, y, (Color & 0x00FFFFFF) | ((sum >> AALevel >> AALevel) & 0xFF) << 24);
        }
}

} // namespace

void TBitmap32::RenderText(std::int32_t X, std::int32_t Y, const String& Text, std::int32_t AALevel, TColor32 Color) {
    render_text(X, Y, Text, AALevel, Color, false);
}

void TBitmap32::RenderTextW(std::int32_t X, std::int32_t Y, const String& Text, std::int32_t AALevel, TColor32 Color) {
    render_text(X, Y, Text, AALevel, Color, true);
}

void TBitmap32::render_text(std::int32_t X, std::int32_t Y, const String& Text, std::int32_t AALevel, TColor32 Color,
                            bool wide_measure) {
    if (Empty())
        return;
    AALevel = std::clamp(AALevel, -1, 4);
    const String measured = Text + u" ";
    TFont& font = *Font();
    SetFontQuality(font, AALevel < 0 ? 4 : 3);
    TBitmap32 b;
    if (AALevel > 0) {
        const std::int32_t scale = 1 << AALevel;
        TBitmap32 big;
        big.SetFont(&font);
        big.Font()->SetHeight(font.Height() * scale);
        big.Font()->SetColor(clWhite);
        SIZE size = big.TextExtent(measured);
        if (wide_measure) {
            size.cx = ((size.cx >> AALevel) + 1) << AALevel;
            size.cy = ((size.cy >> AALevel) + 1) << AALevel;
        } else {
            size.cx += scale;
            size.cy += scale;
        }
        big.SetSize(size.cx, size.cy);
        big.Clear(0);
        big.Textout(0, 0, Text);
        ::GdiFlush();
        b.SetSize(size.cx >> AALevel, size.cy >> AALevel);
        TextDownsample(b, big, AALevel, Color);
    } else {
        SIZE size = TextExtent(measured);
        if (!wide_measure) {
            size.cx = std::min<LONG>(size.cx, Width());
            size.cy = std::min<LONG>(size.cy, Height());
        }
        b.SetSize(size.cx, size.cy);
        b.SetFont(&font);
        b.Clear(0);
        b.Font()->SetColor(clWhite);
        b.Textout(0, 0, Text);
        ::GdiFlush();
        TextCoverageToAlpha(b, Color);
    }
    b.SetDrawMode(dmBlend);
    b.SetMasterAlpha(Color32Alpha(Color));
    b.SetCombineMode(FCombineMode);
    b.DrawTo(this, X, Y);
    SetFontQuality(font, 0);
}

void TBitmap32::RenderText(const TRect& DstRect, std::uint32_t Flags, const String& Text, TColor32 Color) {
    if (Empty())
        return;
    TFont& font = *Font();
    SetFontQuality(font, 3);
    TBitmap32 b;
    b.SetSize(DstRect.Right - DstRect.Left, DstRect.Bottom - DstRect.Top);
    b.SetFont(&font);
    b.Clear(0);
    b.Font()->SetColor(clWhite);
    b.Textout(TRect{0, 0, b.Width(), b.Height()}, Flags, Text);
    ::GdiFlush();
    TextCoverageToAlpha(b, Color);
    b.SetDrawMode(dmBlend);
    b.SetMasterAlpha(Color32Alpha(Color));
    b.SetCombineMode(FCombineMode);
    b.DrawTo(this, DstRect.Left, DstRect.Top);
}

} // namespace kq
