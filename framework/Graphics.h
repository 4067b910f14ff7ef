#pragma once
// Colours, TFont, TBrush, TPen, TCanvas, TBitmap, TIcon, TMetafile.
#include "framework/Components.h"
#include "framework/Handles.h"
#include "framework/Sets.h"
#include "framework/Sync.h"
#include "framework/Win32.h"
#include "framework/Win32Handles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kq {

class TStream;
class TCanvas;

// --- Colours

// 0x00BBGGRR, or a system colour: the high bit set and the COLOR_* index in the low byte.
using TColor = std::int32_t;

constexpr TColor system_color(int index) noexcept { return static_cast<TColor>(0x80000000u | unsigned(index)); }

constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clOlive = 0x008080;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clMenu = system_color(COLOR_MENU);
constexpr TColor clWindow = system_color(COLOR_WINDOW);
constexpr TColor clMenuText = system_color(COLOR_MENUTEXT);
constexpr TColor clWindowText = system_color(COLOR_WINDOWTEXT);
constexpr TColor clHighlight = system_color(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = system_color(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = system_color(COLOR_BTNFACE);
constexpr TColor clGrayText = system_color(COLOR_GRAYTEXT);
constexpr TColor clBtnText = system_color(COLOR_BTNTEXT);
constexpr TColor clInfoText = system_color(COLOR_INFOTEXT);
constexpr TColor clInfoBk = system_color(COLOR_INFOBK);
constexpr TColor clGradientActiveCaption = system_color(COLOR_GRADIENTACTIVECAPTION);

// A system colour resolved to its current RGB value; plain colours unchanged.
std::int32_t ColorToRGB(TColor color);

// --- Fonts, brushes, pens

enum class TFontStyle : std::uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = enum_set<TFontStyle>;
enum class TFontPitch : std::uint8_t { fpDefault, fpVariable, fpFixed };
// In the order of the system's quality values (0 to 6).
enum class TFontQuality : std::uint8_t {
    fqDefault, fqDraft, fqProof, fqNonAntialiased, fqAntialiased, fqClearType, fqClearTypeNatural
};

// Base of fonts, brushes and pens: a GDI object made on demand from the properties and remade after a
// change, and OnChange raised once per change.
class TGraphicsObject : public TPersistent {
public:
    TNotifyEvent OnChange;

protected:
    // The old GDI object stays alive until the next Handle call: a canvas deselects it first, since a
    // selected object cannot be deleted.
    void Changed();
    HGDIOBJ current_handle() noexcept;
    unique_gdi_object FHandle;

private:
    bool FStale = false;
};

class TFont : public TGraphicsObject {
public:
    TFont();
    void Assign(const TPersistent* source) override;

    HFONT Handle();
    const String& Name() const noexcept { return FName; }
    void SetName(const String& value);
    // Points; a negative Height is pixels of character height at the font's PixelsPerInch.
    int Size() const;
    void SetSize(int value);
    int Height() const noexcept { return FHeight; }
    void SetHeight(int value);
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor value);
    TFontStyles Style() const noexcept { return FStyle; }
    void SetStyle(TFontStyles value);
    std::uint8_t Charset() const noexcept { return FCharset; }
    void SetCharset(std::uint8_t value);
    TFontPitch Pitch() const noexcept { return FPitch; }
    void SetPitch(TFontPitch value);
    TFontQuality Quality() const noexcept { return FQuality; }
    void SetQuality(TFontQuality value);
    int PixelsPerInch() const noexcept { return FPixelsPerInch; }
    // Adopts value (the font owns and frees it) and takes its face, height, style, charset, pitch and
    // quality; EInvalidOperation for a handle that is no font.
    void SetHandle(HFONT value);
    const property_table& PublishedProperties() const override;

private:
    unique_gdi_object FAdopted; // a handle given to SetHandle, used by the next Handle call
    String FName = u"Tahoma";
    int FHeight = -11;
    TColor FColor = clWindowText;
    TFontStyles FStyle;
    std::uint8_t FCharset = DEFAULT_CHARSET;
    TFontPitch FPitch = TFontPitch::fpDefault;
    TFontQuality FQuality = TFontQuality::fqDefault;
    int FPixelsPerInch = 96;
};

enum class TBrushStyle : std::uint8_t { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
public:
    void Assign(const TPersistent* source) override;
    // nullptr for bsClear.
    HBRUSH Handle();
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor value);
    TBrushStyle Style() const noexcept { return FStyle; }
    void SetStyle(TBrushStyle value);

private:
    TColor FColor = clWhite;
    TBrushStyle FStyle = TBrushStyle::bsSolid;
};

enum class TPenStyle : std::uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

class TPen : public TGraphicsObject {
public:
    void Assign(const TPersistent* source) override;
    HPEN Handle();
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor value);
    int Width() const noexcept { return FWidth; }
    void SetWidth(int value);
    TPenStyle Style() const noexcept { return FStyle; }
    void SetStyle(TPenStyle value);

private:
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = TPenStyle::psSolid;
};

// --- Pictures

// The bytes of stream from its position to its end.
std::vector<std::uint8_t> read_to_end(TStream& stream);

// Base of bitmaps, icons and the picture formats.
class TGraphic : public TPersistent {
public:
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const { return Width() == 0 || Height() == 0; }
    // Draws the picture stretched to rect, with its transparency.
    virtual void Draw(TCanvas& canvas, const RECT& rect) = 0;
    // EInvalidGraphic when the stream does not hold a picture of this class.
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    void LoadFromFile(const String& file_name);
    void SaveToFile(const String& file_name);

    bool Transparent() const noexcept { return FTransparent; }
    virtual void SetTransparent(bool value);
    TNotifyEvent OnChange;

protected:
    void Changed();
    bool FTransparent = false;
};

enum class TPixelFormat : std::uint8_t { pf24bit, pf32bit };
enum class TAlphaFormat : std::uint8_t { afIgnored, afDefined, afPremultiplied };

// A device-independent bitmap with top-down rows, and a canvas that draws on it.
class TBitmap : public TGraphic {
public:
    TBitmap();
    ~TBitmap() override;

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetSize(int width, int height);
    void SetWidth(int value) { SetSize(value, FHeight); }
    void SetHeight(int value) { SetSize(FWidth, value); }
    TPixelFormat PixelFormat() const noexcept { return FPixelFormat; }
    void SetPixelFormat(TPixelFormat value);
    // How Draw treats the fourth byte of 32-bit pixels.
    TAlphaFormat AlphaFormat() const noexcept { return FAlphaFormat; }
    void SetAlphaFormat(TAlphaFormat value) { FAlphaFormat = value; }

    // Row row of the pixels (3 or 4 bytes per pixel, B G R [A]); rows are top-down.
    void* ScanLine(int row);
    HBITMAP Handle();
    TCanvas& Canvas();

    void Assign(const TPersistent* source) override;
    void Draw(TCanvas& canvas, const RECT& rect) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

private:
    class bitmap_canvas;
    void Recreate(int width, int height, TPixelFormat format);
    int stride() const noexcept;

    int FWidth = 0;
    int FHeight = 0;
    TPixelFormat FPixelFormat = TPixelFormat::pf24bit;
    TAlphaFormat FAlphaFormat = TAlphaFormat::afIgnored;
    unique_hbitmap FDib;
    std::uint8_t* FBits = nullptr;
    std::unique_ptr<bitmap_canvas> FCanvas;
};

class TIcon : public TGraphic {
public:
    TIcon();
    ~TIcon() override;

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    HICON Handle() const noexcept { return FIcon.get(); }
    // Takes ownership of value.
    void SetHandle(HICON value);
    // Gives the handle away; the icon becomes empty.
    HICON ReleaseHandle();

    void Assign(const TPersistent* source) override;
    void Draw(TCanvas& canvas, const RECT& rect) override;
    // The first image of an icon file.
    void LoadFromStream(TStream& stream) override;
    // One 32-bit image as an icon file.
    void SaveToStream(TStream& stream) override;

private:
    unique_hicon FIcon;
    int FWidth = 0;
    int FHeight = 0;
};

// An enhanced metafile: recorded drawing calls, played into the rectangle it is drawn in. Only what it
// records is drawn, so it is transparent.
class TMetafile : public TGraphic {
public:
    TMetafile();
    ~TMetafile() override;

    // The recorded frame in pixels of the device it was recorded for.
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    HENHMETAFILE Handle() const noexcept { return FMetafile.get(); }
    // Takes ownership of value.
    void SetHandle(HENHMETAFILE value);

    void Assign(const TPersistent* source) override;
    void Draw(TCanvas& canvas, const RECT& rect) override;
    // The bytes of an enhanced metafile file.
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

private:
    unique_henhmetafile FMetafile;
    int FWidth = 0;
    int FHeight = 0;
};

// --- Canvas

// Draws on a device context that someone else owns (a paint DC, a memory DC); the canvas selects its
// font, brush and pen into it and puts the previous objects back when the handle changes.
class TCanvas : public TPersistent {
public:
    TCanvas();
    ~TCanvas() override;

    HDC Handle();
    void SetHandle(HDC value);
    bool HandleAllocated() const noexcept { return FHandle != nullptr; }

    // Serialises drawing from several threads; re-entrant.
    void Lock() { FLock.Enter(); }
    void Unlock() { FLock.Leave(); }
    bool TryLock() { return FLock.TryEnter(); }

    TFont& Font() noexcept { return FFont; }
    TBrush& Brush() noexcept { return FBrush; }
    TPen& Pen() noexcept { return FPen; }
    void SetFont(const TFont& value) { FFont.Assign(&value); }
    void SetBrush(const TBrush& value) { FBrush.Assign(&value); }
    void SetPen(const TPen& value) { FPen.Assign(&value); }

    RECT ClipRect();
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void Rectangle(const RECT& rect);
    void FillRect(const RECT& rect);
    void FrameRect(const RECT& rect);
    void Polygon(const POINT* points, int count);
    COLORREF Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);

    void TextOut(int x, int y, const String& text);
    // Text clipped to rect, drawn at (x, y).
    void TextRect(const RECT& rect, int x, int y, const String& text);
    // Text laid out in rect with DrawTextW flags (DT_*).
    void TextRect(RECT& rect, const String& text, UINT format);
    SIZE TextExtent(const String& text);
    int TextWidth(const String& text) { return TextExtent(text).cx; }
    int TextHeight(const String& text) { return TextExtent(text).cy; }

    void Draw(int x, int y, TGraphic& graphic);
    // The graphic drawn (with its own transparency) at a constant opacity, 255 opaque.
    void Draw(int x, int y, TGraphic& graphic, std::uint8_t opacity);
    void StretchDraw(const RECT& rect, TGraphic& graphic);
    void CopyRect(const RECT& dest, TCanvas& source, const RECT& source_rect);

    TNotifyEvent OnChange;

    // Gives back a device context the canvas took for itself for the operations just done (a control's
    // window DC); a context it was given stays. Each drawing operation calls it when it ends.
    virtual void FreeHandle() {}

protected:
    // A canvas that makes its own DC (a control's, a bitmap's) creates it here on first use.
    virtual void CreateHandle() {}
    void RequiredState();
    // The device context in use, without making one.
    HDC CurrentHandle() const noexcept { return FHandle; }

private:
    friend class canvas_use;
    int FUseDepth = 0; // drawing operations in progress, nested ones included

    void SelectObjects();
    void RestoreObjects();

    HDC FHandle = nullptr;
    HGDIOBJ FOldFont = nullptr, FOldBrush = nullptr, FOldPen = nullptr;
    TFont FFont;
    TBrush FBrush;
    TPen FPen;
    TCriticalSection FLock;
};

// Runs Paint with Canvas locked and drawing on DC in Font; the canvas lets go of DC afterwards.
template <class F>
void paint_on(TCanvas& canvas, HDC dc, const TFont& font, F&& paint) {
    canvas.Lock();
    canvas.FreeHandle();
    auto release = scope_exit([&canvas] {
        canvas.SetHandle(nullptr);
        canvas.Unlock();
    });
    canvas.SetHandle(dc);
    canvas.SetFont(font);
    paint();
}

// The logical font of font: its height, weight, style, charset, pitch and quality; the face is the font's
// name, "MS Sans Serif" for the name "Default" (in any case).
LOGFONTW logfont_of(const TFont& font);

} // namespace kq
