#include "graphics/Raster_Backends_GDI.h"

#include "graphics/Raster_Image.h"
#include "graphics/Raster_Text.h"

#include <cstring>

namespace kq {

const backend_class gdi_backend_class{{u"TGDIBackend"}, &create_backend<TGDIBackend>};

TGDIBackend::TGDIBackend() : FFont(std::make_unique<TFont>()) {
    FBitmapInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    FBitmapInfo.bmiHeader.biPlanes = 1;
    FBitmapInfo.bmiHeader.biBitCount = 32;
    FBitmapInfo.bmiHeader.biCompression = BI_RGB;
    FFont->OnChange = [this](TObject*) { FontChangedHandler(); };
}

TGDIBackend::~TGDIBackend() {
    DeleteCanvas();
    ReleaseSurface();
}

std::int32_t TGDIBackend::QueryInterface(const TGUID& iid, void** obj) {
    return TCustomBackend::QueryInterface(iid, obj);
}

std::int32_t TGDIBackend::AddRef() {
    return TCustomBackend::AddRef();
}

std::int32_t TGDIBackend::Release() {
    return TCustomBackend::Release();
}

void* TGDIBackend::GetInterface(const TGUID& iid) {
    if (iid == IID_ITextSupport)
        return static_cast<ITextSupport*>(this);
    if (iid == IID_IFontSupport)
        return static_cast<IFontSupport*>(this);
    if (iid == IID_ITextToPathSupport)
        return static_cast<ITextToPathSupport*>(this);
    if (iid == IID_ICanvasSupport)
        return static_cast<ICanvasSupport*>(this);
    if (iid == IID_IDeviceContextSupport)
        return static_cast<IDeviceContextSupport*>(this);
    if (iid == IID_IBitmapContextSupport)
        return static_cast<IBitmapContextSupport*>(this);
    if (iid == IID_IPaintSupport)
        return static_cast<IPaintSupport*>(this);
    return TCustomBackend::GetInterface(iid);
}

// --- Storage

void TGDIBackend::PrepareFileMapping(std::int32_t, std::int32_t) {}

void TGDIBackend::AllocateSurface(std::int32_t NewWidth, std::int32_t NewHeight, bool) {
    const std::size_t bytes = pixel_bytes(NewWidth, NewHeight);
    FBitmapInfo.bmiHeader.biWidth = NewWidth;
    FBitmapInfo.bmiHeader.biHeight = -NewHeight;
    FBitmapInfo.bmiHeader.biSizeImage = static_cast<DWORD>(bytes);
    PrepareFileMapping(NewWidth, NewHeight);
    void* bits = nullptr;
    FBitmapHandle.reset(::CreateDIBSection(nullptr, &FBitmapInfo, DIB_RGB_COLORS, &bits, FMapHandle, 0));
    if (!bits) {
        FBitmapHandle.reset();
        throw EBitmapException(u"Can't allocate the DIB handle");
    }
    FHDC.reset(::CreateCompatibleDC(nullptr));
    if (!FHDC) {
        FBitmapHandle.reset();
        throw EBitmapException(u"Can't create compatible DC");
    }
    if (!::SelectObject(FHDC.get(), FBitmapHandle.get())) {
        FHDC.reset();
        FBitmapHandle.reset();
        throw EBitmapException(u"Can't select an object into DC");
    }
    FBits = static_cast<PColor32Array>(bits);
    FFontHandle = nullptr; // a new device context holds no font of ours yet
}

void TGDIBackend::ReleaseSurface() {
    FHDC.reset();
    FBitmapHandle.reset();
    FBits = nullptr;
    FFontHandle = nullptr;
}

bool TGDIBackend::Empty() const {
    return !FBitmapHandle;
}

void TGDIBackend::Changed() {
    if (FCanvas)
        FCanvas->SetHandle(FHDC.get());
    TCustomBackend::Changed();
}

// --- Font

void TGDIBackend::SetFont(const TFont* Font) {
    FFont->Assign(Font);
    if (FOnFontChange)
        FOnFontChange(this);
}

void TGDIBackend::UpdateFont() {
    if (!FHDC)
        return;
    if (!FFontHandle) {
        FFontHandle = FFont->Handle();
    }
    ::SelectObject(FHDC.get(), FFontHandle);
    ::SetTextColor(FHDC.get(), static_cast<COLORREF>(ColorToRGB(FFont->Color())));
    ::SetBkMode(FHDC.get(), TRANSPARENT);
}

void TGDIBackend::FontChangedHandler() {
    if (FFontHandle) {
        // The font frees its old handle on the next request; it must not stay selected.
        if (FHDC)
            ::SelectObject(FHDC.get(), ::GetStockObject(SYSTEM_FONT));
        FFontHandle = nullptr;
    }
    if (FOnFontChange)
        FOnFontChange(this);
}

// --- Canvas

TCanvas* TGDIBackend::GetCanvas() {
    if (!FCanvas) {
        FCanvas = std::make_unique<TCanvas>();
        FCanvas->SetHandle(FHDC.get());
        FCanvas->OnChange = [this](TObject*) {
            if (FOnCanvasChange)
                FOnCanvasChange(this);
        };
    }
    return FCanvas.get();
}

void TGDIBackend::DeleteCanvas() {
    if (!FCanvas)
        return;
    FCanvas->SetHandle(nullptr);
    FCanvas.reset();
    FFontHandle = nullptr; // the canvas put its own selection back
}

// --- Text

SIZE TGDIBackend::TextExtent(const String& Text) {
    UpdateFont();
    SIZE size{0, 0};
    if (FHDC) {
        ::GetTextExtentPoint32W(FHDC.get(), wide(Text), static_cast<int>(Text.size()), &size);
    } else {
        // Without storage the text is measured on a screen-compatible context in the same font.
        unique_hdc dc{::CreateCompatibleDC(nullptr)};
        if (dc) {
            select_object font(dc.get(), FFont->Handle());
            ::GetTextExtentPoint32W(dc.get(), wide(Text), static_cast<int>(Text.size()), &size);
        }
    }
    return size;
}

void TGDIBackend::report_text(std::int32_t X, std::int32_t Y, const String& Text) {
    const SIZE extent = TextExtent(Text);
    if (FOwner)
        FOwner->Changed({X, Y, X + extent.cx + 1, Y + extent.cy + 1}, AreaInfoRect);
}

void TGDIBackend::Textout(std::int32_t X, std::int32_t Y, const String& Text) {
    UpdateFont();
    if (FHDC && FOwner && !FOwner->MeasuringMode()) {
        if (FOwner->Clipping()) {
            const RECT clip = to_system<RECT>(FOwner->ClipRect());
            ::ExtTextOutW(FHDC.get(), X, Y, ETO_CLIPPED, &clip, wide(Text), static_cast<UINT>(Text.size()), nullptr);
        } else {
            ::ExtTextOutW(FHDC.get(), X, Y, 0, nullptr, wide(Text), static_cast<UINT>(Text.size()), nullptr);
        }
    }
    report_text(X, Y, Text);
}

void TGDIBackend::Textout(std::int32_t X, std::int32_t Y, const TRect& ClipRect, const String& Text) {
    UpdateFont();
    if (FHDC && FOwner && !FOwner->MeasuringMode()) {
        const RECT clip = to_system<RECT>(ClipRect);
        ::ExtTextOutW(FHDC.get(), X, Y, ETO_CLIPPED, &clip, wide(Text), static_cast<UINT>(Text.size()), nullptr);
    }
    report_text(X, Y, Text);
}

void TGDIBackend::Textout(TRect& DstRect, std::uint32_t Flags, const String& Text) {
    UpdateFont();
    if (FHDC && FOwner && !FOwner->MeasuringMode()) {
        RECT r = to_system<RECT>(DstRect);
        ::DrawTextW(FHDC.get(), wide(Text), static_cast<int>(Text.size()), &r, Flags);
        DstRect = {r.left, r.top, r.right, r.bottom};
    }
    if (FOwner)
        FOwner->Changed(DstRect, AreaInfoRect);
}

// --- Text to path

void TGDIBackend::TextToPath(TCustomPath* Path, float X, float Y, const String& Text) {
    TFloatRect r{X, Y, X, Y};
    FontTextToPath(FFont->Handle(), Path, r, 0, Text);
}

void TGDIBackend::TextToPath(TCustomPath* Path, const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) {
    TFloatRect r = DstRect;
    FontTextToPath(FFont->Handle(), Path, r, Flags, Text);
}

TFloatRect TGDIBackend::MeasureText(const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) {
    return MeasureGlyphText(FFont->Handle(), DstRect, Text, Flags);
}

// --- Device context

void TGDIBackend::Draw(const TRect& DstRect, const TRect& SrcRect, HDC hSrc) {
    if (!FOwner || FOwner->Empty())
        return;
    if (!FOwner->MeasuringMode())
        ::StretchBlt(FHDC.get(), DstRect.Left, DstRect.Top, DstRect.Right - DstRect.Left, DstRect.Bottom - DstRect.Top,
                     hSrc, SrcRect.Left, SrcRect.Top, SrcRect.Right - SrcRect.Left, SrcRect.Bottom - SrcRect.Top,
                     SRCCOPY);
    FOwner->Changed(DstRect, AreaInfoRect);
}

void TGDIBackend::DrawTo(HDC hDst, std::int32_t DstX, std::int32_t DstY) {
    if (!FOwner || !FBits)
        return;
    const std::int32_t w = FOwner->Width(), h = FOwner->Height();
    ::StretchDIBits(hDst, DstX, DstY, w, h, 0, 0, w, h, FBits, &FBitmapInfo, DIB_RGB_COLORS, SRCCOPY);
}

void TGDIBackend::DrawTo(HDC hDst, const TRect& DstRect, const TRect& SrcRect) {
    ::StretchBlt(hDst, DstRect.Left, DstRect.Top, DstRect.Right - DstRect.Left, DstRect.Bottom - DstRect.Top, FHDC.get(),
                 SrcRect.Left, SrcRect.Top, SrcRect.Right - SrcRect.Left, SrcRect.Bottom - SrcRect.Top, SRCCOPY);
}

// --- Paint support

void TGDIBackend::DoPaint(TBitmap32* ABuffer, const TRectList& AInvalidRects, TCanvas* ACanvas,
                          TCustomPaintBox32* APaintBox) {
    const HDC source = ABuffer->Handle();
    const HDC target = ACanvas->Handle();
    const auto copy = [&](const TRect& r) {
        ::BitBlt(target, r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top, source, r.Left, r.Top, SRCCOPY);
    };
    if (AInvalidRects.Count() == 0) {
        copy(APaintBox->GetViewportRect());
        return;
    }
    for (std::int32_t i = 0; i < AInvalidRects.Count(); ++i)
        copy(*AInvalidRects.Get(i));
}

} // namespace kq
