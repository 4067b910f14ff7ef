#pragma once
// Windows only: the backend that keeps a bitmap's pixels in a DIB section with its own device context.

#include "framework/Graphics.h"
#include "graphics/Raster_Backends.h"

#include <cstdint>
#include <memory>

namespace kq {

class TCustomPath;

// --- Capability interfaces (Windows)

class ITextSupport : public IInterface {
public:
    virtual void Textout(std::int32_t X, std::int32_t Y, const String& Text) = 0;
    virtual void Textout(std::int32_t X, std::int32_t Y, const TRect& ClipRect, const String& Text) = 0;
    // DrawTextW into DstRect with its flags; DstRect comes back as the platform leaves it.
    virtual void Textout(TRect& DstRect, std::uint32_t Flags, const String& Text) = 0;
    virtual SIZE TextExtent(const String& Text) = 0;
    // Wide forms: strings are UTF-16 here already.
    void TextoutW(std::int32_t X, std::int32_t Y, const String& Text) { Textout(X, Y, Text); }
    void TextoutW(std::int32_t X, std::int32_t Y, const TRect& ClipRect, const String& Text) {
        Textout(X, Y, ClipRect, Text);
    }
    void TextoutW(TRect& DstRect, std::uint32_t Flags, const String& Text) { Textout(DstRect, Flags, Text); }
    SIZE TextExtentW(const String& Text) { return TextExtent(Text); }

protected:
    ~ITextSupport() = default;
};

class IFontSupport : public IInterface {
public:
    virtual TNotifyEvent GetOnFontChange() = 0;
    virtual void SetOnFontChange(TNotifyEvent Handler) = 0;
    virtual TFont* GetFont() = 0;
    // Copies Font.
    virtual void SetFont(const TFont* Font) = 0;
    virtual void UpdateFont() = 0;

protected:
    ~IFontSupport() = default;
};

class ICanvasSupport : public IInterface {
public:
    virtual TNotifyEvent GetCanvasChange() = 0;
    virtual void SetCanvasChange(TNotifyEvent Handler) = 0;
    // Made on first request, drawing on the backend's device context.
    virtual TCanvas* GetCanvas() = 0;
    virtual void DeleteCanvas() = 0;
    virtual bool CanvasAllocated() = 0;

protected:
    ~ICanvasSupport() = default;
};

class IDeviceContextSupport : public IInterface {
public:
    virtual HDC GetHandle() = 0;
    // Stretches SrcRect of hSrc onto DstRect of this bitmap and reports DstRect.
    virtual void Draw(const TRect& DstRect, const TRect& SrcRect, HDC hSrc) = 0;
    // The whole bitmap at (DstX, DstY), colour channels only.
    virtual void DrawTo(HDC hDst, std::int32_t DstX, std::int32_t DstY) = 0;
    virtual void DrawTo(HDC hDst, const TRect& DstRect, const TRect& SrcRect) = 0;

protected:
    ~IDeviceContextSupport() = default;
};

// Text as glyph outlines in the backend's font (see Raster_Text).
class ITextToPathSupport : public IInterface {
public:
    // At (X, Y) on one line.
    virtual void TextToPath(TCustomPath* Path, float X, float Y, const String& Text) = 0;
    // Laid out in DstRect by the layout flags.
    virtual void TextToPath(TCustomPath* Path, const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) = 0;
    virtual TFloatRect MeasureText(const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) = 0;

protected:
    ~ITextToPathSupport() = default;
};

class IBitmapContextSupport : public IInterface {
public:
    virtual BITMAPINFO GetBitmapInfo() = 0;
    virtual HBITMAP GetBitmapHandle() = 0;

protected:
    ~IBitmapContextSupport() = default;
};

class TCustomPaintBox32;

class IPaintSupport : public IInterface {
public:
    virtual void ImageNeeded() = 0;
    virtual void CheckPixmap() = 0;
    // Copies the listed rectangles of ABuffer to ACanvas at the same places, or the paint box's whole
    // viewport when the list is empty.
    virtual void DoPaint(TBitmap32* ABuffer, const TRectList& AInvalidRects, TCanvas* ACanvas,
                         TCustomPaintBox32* APaintBox) = 0;

protected:
    ~IPaintSupport() = default;
};

// The interface of a capability the object implements; raises EIntfCastError when it does not.
template <class I>
I* require_interface(TPlainInterfacedPersistent* object, const TGUID& iid) {
    void* found = query_interface(object, iid);
    if (!found)
        throw EIntfCastError();
    return static_cast<I*>(found);
}

// --- The DIB section backend.

class TGDIBackend : public TCustomBackend,
                    public ITextSupport,
                    public IFontSupport,
                    public ITextToPathSupport,
                    public ICanvasSupport,
                    public IDeviceContextSupport,
                    public IBitmapContextSupport,
                    public IPaintSupport {
public:
    TGDIBackend();
    ~TGDIBackend() override;

    std::int32_t QueryInterface(const TGUID& iid, void** obj) override;
    std::int32_t AddRef() override;
    std::int32_t Release() override;

    bool Empty() const override;
    void Changed() override;

    // ITextSupport
    using ITextSupport::Textout;
    void Textout(std::int32_t X, std::int32_t Y, const String& Text) override;
    void Textout(std::int32_t X, std::int32_t Y, const TRect& ClipRect, const String& Text) override;
    void Textout(TRect& DstRect, std::uint32_t Flags, const String& Text) override;
    SIZE TextExtent(const String& Text) override;

    // IFontSupport
    TNotifyEvent GetOnFontChange() override { return FOnFontChange; }
    void SetOnFontChange(TNotifyEvent Handler) override { FOnFontChange = std::move(Handler); }
    TFont* GetFont() override { return FFont.get(); }
    void SetFont(const TFont* Font) override;
    void UpdateFont() override;

    // ITextToPathSupport
    void TextToPath(TCustomPath* Path, float X, float Y, const String& Text) override;
    void TextToPath(TCustomPath* Path, const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) override;
    TFloatRect MeasureText(const TFloatRect& DstRect, const String& Text, std::uint32_t Flags) override;

    // ICanvasSupport
    TNotifyEvent GetCanvasChange() override { return FOnCanvasChange; }
    void SetCanvasChange(TNotifyEvent Handler) override { FOnCanvasChange = std::move(Handler); }
    TCanvas* GetCanvas() override;
    void DeleteCanvas() override;
    bool CanvasAllocated() override { return FCanvas != nullptr; }

    // IDeviceContextSupport
    HDC GetHandle() override { return FHDC.get(); }
    void Draw(const TRect& DstRect, const TRect& SrcRect, HDC hSrc) override;
    void DrawTo(HDC hDst, std::int32_t DstX, std::int32_t DstY) override;
    void DrawTo(HDC hDst, const TRect& DstRect, const TRect& SrcRect) override;

    // IBitmapContextSupport
    BITMAPINFO GetBitmapInfo() override { return FBitmapInfo; }
    HBITMAP GetBitmapHandle() override { return FBitmapHandle.get(); }

    // IPaintSupport
    void ImageNeeded() override {}
    void CheckPixmap() override {}
    void DoPaint(TBitmap32* ABuffer, const TRectList& AInvalidRects, TCanvas* ACanvas,
                 TCustomPaintBox32* APaintBox) override;

protected:
    void* GetInterface(const TGUID& iid) override;
    void AllocateSurface(std::int32_t NewWidth, std::int32_t NewHeight, bool ClearBuffer) override;
    void ReleaseSurface() override;
    // Where a file-mapped section would be prepared; system memory needs nothing.
    virtual void PrepareFileMapping(std::int32_t NewWidth, std::int32_t NewHeight);

private:
    void FontChangedHandler();
    void report_text(std::int32_t X, std::int32_t Y, const String& Text);

    BITMAPINFO FBitmapInfo{};
    unique_hbitmap FBitmapHandle;
    unique_hdc FHDC;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TCanvas> FCanvas;
    HFONT FFontHandle = nullptr; // the font's handle selected into FHDC, owned by the font
    HANDLE FMapHandle = nullptr;
    TNotifyEvent FOnFontChange;
    TNotifyEvent FOnCanvasChange;
};

} // namespace kq
