#pragma once
// TCustomBitmap32, TBitmap32.
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Strings.h"
#include "graphics/Raster.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

#ifdef _WIN32
#include "framework/Graphics.h"
#endif

namespace kq {

class TStream;
class TCustomBitmap32;
class TCustomBackend;

// --- Types shared by the bitmap, its samplers and its drawing

enum TDrawMode : std::uint8_t { dmOpaque, dmBlend, dmCustom, dmTransparent };
enum TPixelAccessMode : std::uint8_t { pamUnsafe, pamSafe, pamWrap, pamTransparentEdge };

// The Info of an area report: a rectangle, or a line from (Left, Top) to (Right, Bottom) in drawing order
// with its width in the low 24 bits.
constexpr std::uint32_t AreaInfoRect = 0x80000000;
constexpr std::uint32_t AreaInfoLine = 0x40000000;

using TPixelCombineEvent = std::function<void(TColor32 F, TColor32& B, TColor32 M)>;
using TAreaChangedEvent = std::function<void(TObject* Sender, const TRect& Area, std::uint32_t Info)>;

class EBitmapException : public Exception {
public:
    using Exception::Exception;
};

// --- Samplers

// Reads colours at positions. A descendant overrides GetSampleFixed or GetSampleFloat (the defaults call
// each other); callers bracket a run of samples with PrepareSampling and FinalizeSampling.
class TCustomSampler : public TNotifiablePersistent {
public:
    virtual TColor32 GetSampleInt(std::int32_t X, std::int32_t Y);
    virtual TColor32 GetSampleFixed(TFixed X, TFixed Y);
    virtual TColor32 GetSampleFloat(float X, float Y);
    virtual void PrepareSampling();
    virtual void FinalizeSampling();
    virtual bool HasBounds() const;
    virtual TFloatRect GetSampleBounds() const;
};

// A sampler bound to one bitmap. Made with a bitmap, it becomes that bitmap's resampler (the bitmap owns it).
class TCustomResampler : public TCustomSampler {
public:
    TCustomResampler() = default;
    explicit TCustomResampler(TCustomBitmap32* ABitmap);

    TCustomBitmap32* Bitmap() const { return FBitmap; }
    TPixelAccessMode PixelAccessMode() const { return FPixelAccessMode; }
    void SetPixelAccessMode(TPixelAccessMode value);
    // The filter's reach.
    float Width() const { return GetWidth(); }

    // Calls the bitmap's Changed; the resampler's own OnChange is not raised.
    void Changed() override;
    void PrepareSampling() override;
    bool HasBounds() const override;
    TFloatRect GetSampleBounds() const override;

    virtual void Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                          const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) = 0;

    const property_table& PublishedProperties() const override;

protected:
    virtual float GetWidth() const;
    void AssignTo(TPersistent* Dest) const override;

    TCustomBitmap32* FBitmap = nullptr;
    TRect FClipRect;
    TPixelAccessMode FPixelAccessMode = pamSafe;
};

// A resampler class: its name and how to make one bound to a bitmap (which then owns it).
struct resampler_class : class_info {
    TCustomResampler* (*Create)(TCustomBitmap32* ABitmap) = nullptr;
};
using TCustomResamplerClass = const resampler_class*;

// The resampler classes a bitmap makes by name, in registration order; created on first use.
TClassList& ResamplerClassList();
// Two empty bitmaps are equal; otherwise both must be of one class with equal BMP images (size and pixels).
bool BitmapsEqual(const TCustomBitmap32& A, const TCustomBitmap32& B);

void AddResamplerClass(TCustomResamplerClass AClass);
// The registered class of exactly this name, or nil.
TCustomResamplerClass FindResamplerClass(StringView name);
void FreeResamplerClassList();

// --- Backends

// A backend class: its name and how to make one for a bitmap (which installs it and holds its reference).
struct backend_class : class_info {
    TCustomBackend* (*Create)(TCustomBitmap32* Owner) = nullptr;
};
using TCustomBackendClass = const backend_class*;

// --- The bitmap

// Width x Height pixels in one block, rows top-down without gaps, held by a storage backend.
class TCustomBitmap32 : public TCustomMap {
public:
    TCustomBitmap32();
    explicit TCustomBitmap32(TCustomBackendClass Backend);
    ~TCustomBitmap32() override;

    // The backend the parameterless constructor of the class uses.
    virtual TCustomBackendClass GetPlatformBackendClass() const;

    // --- Backend
    TCustomBackend* Backend() const { return FBackend.get(); }
    // Value takes over the pixels and the bitmap holds the reference Value was made with; nil or the
    // current backend changes nothing.
    virtual void SetBackend(TCustomBackend* Value);
    // Adds a reference to the current backend and returns it, to keep it alive across a switch.
    TCustomBackend* ReleaseBackend();
    // Called by the backend before and after it replaces its storage.
    virtual void BackendChanging();
    virtual void BackendChanged();

    // --- Size and clipping
    bool Empty() const override;
    void Delete() override;
    TRect BoundsRect() const { return {0, 0, FWidth, FHeight}; }
    PColor32Array Bits() const { return FBits; }

    const TRect& ClipRect() const { return FClipRect; }
    // Intersected with the bounds; (0, 0, 0, 0) when they do not overlap. Raises no notification.
    void SetClipRect(const TRect& Value);
    void ResetClipRect();
    bool Clipping() const { return FClipping; }
    const TFixedRect& FixedClipRect() const { return FFixedClipRect; }

    // --- Settings
    TDrawMode DrawMode() const { return FDrawMode; }
    void SetDrawMode(TDrawMode Value);
    TCombineMode CombineMode() const { return FCombineMode; }
    void SetCombineMode(TCombineMode Value);
    TWrapMode WrapMode() const { return FWrapMode; }
    void SetWrapMode(TWrapMode Value);
    std::uint32_t MasterAlpha() const { return FMasterAlpha; }
    void SetMasterAlpha(std::uint32_t Value);
    TColor32 OuterColor() const { return FOuterColor; }
    void SetOuterColor(TColor32 Value) { FOuterColor = Value; }
    TColor32 PenColor() const { return FPenColor; }
    void SetPenColor(TColor32 Value) { FPenColor = Value; }

    TCustomResampler* Resampler() const { return FResampler.get(); }
    // Takes ownership of Value and frees the previous resampler; nil or the current one changes nothing.
    void SetResampler(TCustomResampler* Value);
    String ResamplerClassName() const;
    // An unregistered name changes nothing and raises nothing.
    void SetResamplerClassName(const String& Value);

    float StippleCounter() const { return FStippleCounter; }
    void SetStippleCounter(float Value) { FStippleCounter = Value; }
    float StippleStep() const { return FStippleStep; }
    void SetStippleStep(float Value) { FStippleStep = Value; }
    const TArrayOfColor32& StipplePattern() const { return FStipplePattern; }
    void SetStipple(const TArrayOfColor32& NewStipple);
    void SetStipple(std::initializer_list<TColor32> NewStipple);

    // --- Notification
    using TCustomMap::Changed;
    // Reports the whole bitmap as a rectangle.
    void Changed() override;
    virtual void Changed(const TRect& Area, std::uint32_t Info);
    // Raises OnChange only, without an area.
    virtual void PropertyChanged();
    // Drawing then reports areas to Callback and touches no pixel; does not nest.
    void BeginMeasuring(const TAreaChangedEvent& Callback);
    void EndMeasuring();
    bool MeasuringMode() const { return FMeasuringMode; }

    TPixelCombineEvent OnPixelCombine;
    TAreaChangedEvent OnAreaChanged;

    // --- Pixel access. The forms without S or W trust their coordinates.
    TColor32 GetPixel(std::int32_t X, std::int32_t Y) const { return FBits[X + Y * FWidth]; }
    void SetPixel(std::int32_t X, std::int32_t Y, TColor32 Value) { FBits[X + Y * FWidth] = Value; }
    // Outside ClipRect: reads OuterColor, writes nothing.
    TColor32 GetPixelS(std::int32_t X, std::int32_t Y) const;
    void SetPixelS(std::int32_t X, std::int32_t Y, TColor32 Value);
    // Coordinates wrapped into ClipRect by WrapMode.
    TColor32 GetPixelW(std::int32_t X, std::int32_t Y) const;
    void SetPixelW(std::int32_t X, std::int32_t Y, TColor32 Value);
    void SetPixelT(std::int32_t X, std::int32_t Y, TColor32 Value);
    void SetPixelT(PColor32& Ptr, TColor32 Value);
    void SetPixelTS(std::int32_t X, std::int32_t Y, TColor32 Value);
    PColor32 PixelPtr(std::int32_t X, std::int32_t Y) const { return FBits + X + Y * FWidth; }
    PColor32Array ScanLine(std::int32_t Y) const { return FBits + Y * FWidth; }
    // Sub-pixel access: X fixed-point 16.16, F float.
    void SetPixelX(TFixed X, TFixed Y, TColor32 Value);
    void SetPixelF(float X, float Y, TColor32 Value);
    void SetPixelXS(TFixed X, TFixed Y, TColor32 Value);
    void SetPixelFS(float X, float Y, TColor32 Value);
    void SetPixelXW(TFixed X, TFixed Y, TColor32 Value);
    void SetPixelFW(float X, float Y, TColor32 Value);
    TColor32 GetPixelX(TFixed X, TFixed Y) const;
    TColor32 GetPixelF(float X, float Y) const;
    TColor32 GetPixelXS(TFixed X, TFixed Y) const;
    TColor32 GetPixelFS(float X, float Y) const;
    TColor32 GetPixelXW(TFixed X, TFixed Y) const;
    TColor32 GetPixelFW(float X, float Y) const;
    // Through the resampler.
    TColor32 GetPixelXR(TFixed X, TFixed Y);
    TColor32 GetPixelFR(float X, float Y);

    // 1/256-pixel splats and samples (gamma-weighted 2 x 2 blocks).
    void SpreadPixel256(std::int32_t X, std::int32_t Y, TColor32 C);
    void SpreadPixel256Clipped(std::int32_t X, std::int32_t Y, TColor32 C);
    TColor32 SamplePixel256(std::int32_t X, std::int32_t Y) const;
    TColor32 SamplePixel256Clipped(std::int32_t X, std::int32_t Y) const;

    // Fills with opaque black / FillColor (written as is), inside ClipRect when clipping.
    void Clear();
    void Clear(TColor32 FillColor);
    void ResetAlpha();
    void ResetAlpha(std::uint8_t AlphaValue);

    // --- Transfers onto other bitmaps, by this bitmap's DrawMode (nothing for a nil source or target).
    void Draw(std::int32_t DstX, std::int32_t DstY, TCustomBitmap32* Src);
    void Draw(std::int32_t DstX, std::int32_t DstY, const TRect& SrcRect, TCustomBitmap32* Src);
    void Draw(const TRect& DstRect, const TRect& SrcRect, TCustomBitmap32* Src);
    void DrawTo(TCustomBitmap32* Dst);
    void DrawTo(TCustomBitmap32* Dst, std::int32_t DstX, std::int32_t DstY);
    void DrawTo(TCustomBitmap32* Dst, std::int32_t DstX, std::int32_t DstY, const TRect& SrcRect);
    // Stretched through the resampler.
    void DrawTo(TCustomBitmap32* Dst, const TRect& DstRect);
    void DrawTo(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& SrcRect);

    // --- Drawing. No suffix: the colour written as is, unclipped (but never outside the bitmap); S: clipped
    // to ClipRect and reported (only reported while measuring); T: combined through BlendProc; P: stipple
    // colours; X: 16.16 fixed-point and F: float coordinates; A: antialiased. Spans include both ends;
    // L says whether a line includes its end point.
    void FillRect(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value);
    void FillRectS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value);
    void FillRectS(const TRect& ARect, TColor32 Value);
    void FillRectT(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value);
    void FillRectTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value);
    void FillRectTS(const TRect& ARect, TColor32 Value);
    void FrameRectS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value);
    void FrameRectS(const TRect& ARect, TColor32 Value);
    void FrameRectTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value);
    void FrameRectTS(const TRect& ARect, TColor32 Value);
    void FrameRectTSP(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2);
    void FrameRectTSP(const TRect& ARect);
    // A bevel: Contrast in percent, positive raised, negative sunken.
    void RaiseRectTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, std::int32_t Contrast);
    void RaiseRectTS(const TRect& ARect, std::int32_t Contrast);

    void HorzLine(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value);
    void HorzLineS(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value);
    void HorzLineT(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value);
    void HorzLineTS(std::int32_t X1, std::int32_t Y, std::int32_t X2, TColor32 Value);
    void HorzLineTSP(std::int32_t X1, std::int32_t Y, std::int32_t X2);
    void VertLine(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value);
    void VertLineS(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value);
    void VertLineT(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value);
    void VertLineTS(std::int32_t X, std::int32_t Y1, std::int32_t Y2, TColor32 Value);
    void VertLineTSP(std::int32_t X, std::int32_t Y1, std::int32_t Y2);

    void Line(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value, bool L = false);
    void LineS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value, bool L = false);
    void LineT(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value, bool L = false);
    void LineTS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value, bool L = false);

    // Sub-pixel spans and lines of gamma-weighted splats; the fixed-point spans report one 1/65536 unit
    // of thickness.
    void HorzLineX(TFixed X1, TFixed Y, TFixed X2, TColor32 Value);
    void HorzLineXS(TFixed X1, TFixed Y, TFixed X2, TColor32 Value);
    void VertLineX(TFixed X, TFixed Y1, TFixed Y2, TColor32 Value);
    void VertLineXS(TFixed X, TFixed Y1, TFixed Y2, TColor32 Value);
    void LineX(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, TColor32 Value, bool L = false);
    void LineF(float X1, float Y1, float X2, float Y2, TColor32 Value, bool L = false);
    void LineXS(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, TColor32 Value, bool L = false);
    void LineFS(float X1, float Y1, float X2, float Y2, TColor32 Value, bool L = false);

    // Stippled sub-pixel lines; the clipped forms run the pattern on over the pieces cut off.
    void LineXP(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, bool L = false);
    void LineFP(float X1, float Y1, float X2, float Y2, bool L = false);
    void LineXSP(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, bool L = false);
    void LineFSP(float X1, float Y1, float X2, float Y2, bool L = false);
    // Antialiased integer lines (pairs of pixels weighted by the gamma curve).
    void LineA(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value, bool L = false);
    void LineAS(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value, bool L = false);

    void MoveTo(std::int32_t X, std::int32_t Y);
    void LineToAS(std::int32_t X, std::int32_t Y);
    void LineToXSP(TFixed X, TFixed Y);
    void LineToFSP(float X, float Y);
    void MoveToX(TFixed X, TFixed Y);
    void MoveToF(float X, float Y);
    void LineToXS(TFixed X, TFixed Y);
    void LineToFS(float X, float Y);
    void LineToS(std::int32_t X, std::int32_t Y);
    void LineToTS(std::int32_t X, std::int32_t Y);

    // Moves the pattern position by LengthPixels drawn pixels.
    void AdvanceStippleCounter(float LengthPixels);
    // The colour at the pattern position (opaque black without a pattern), then one step on.
    TColor32 GetStippleColor();

    // Moves the pixels by (Dx, Dy) in memory order and fills what is uncovered when FillBack.
    void Roll(std::int32_t Dx, std::int32_t Dy, bool FillBack, TColor32 FillColor);
    // Into Dst (nil or the bitmap itself: in place).
    void FlipHorz(TCustomBitmap32* Dst = nullptr);
    void FlipVert(TCustomBitmap32* Dst = nullptr);
    void Rotate90(TCustomBitmap32* Dst = nullptr);
    void Rotate180(TCustomBitmap32* Dst = nullptr);
    void Rotate270(TCustomBitmap32* Dst = nullptr);

    // --- Assignment and persistence
    void Assign(const TPersistent* Source) override;
    virtual void CopyPixelsTo(TCustomBitmap32* Dst) const;
    virtual void CopyPropertiesTo(TCustomBitmap32* Dst) const;

    // The "Data" form: 32-bit width, height, then the pixels. A bad or short stream raises EReadError and
    // leaves the bitmap as it was.
    virtual void ReadData(TStream& Stream);
    virtual void WriteData(TStream& Stream) const;
    // Whether "Data" is written: against an ancestor's bitmap, unless the two are equal (BitmapsEqual);
    // without an ancestor (nullptr), unless the bitmap is empty. The framework's writer has no ancestors.
    bool HasDataToStore(const TPersistent* Ancestor) const;
    // A BMP file. SaveTopDown stores the rows bottom-up with a positive height, otherwise the memory
    // block with a negative height; either shows the picture upright.
    virtual void SaveToStream(TStream& Stream, bool SaveTopDown = false) const;
    // 32-bit BMP directly; other pictures through the framework's loaders (Windows). A bad or short
    // stream raises and leaves the bitmap as it was.
    virtual void LoadFromStream(TStream& Stream);
    virtual void SaveToFile(const String& FileName, bool SaveTopDown = false) const;
    virtual void LoadFromFile(const String& FileName);
#ifdef _WIN32
    // The module's bitmap resource, read by the framework's bitmap and assigned; EResNotFound when the
    // module has none. Changed runs also on failure.
    void LoadFromResourceID(HINSTANCE Instance, std::uint32_t ResID);
    void LoadFromResourceName(HINSTANCE Instance, const String& ResName);
#endif

    const property_table& PublishedProperties() const override;

    std::int32_t RasterX = 0, RasterY = 0;
    TFixed RasterXF = 0, RasterYF = 0;

protected:
    friend class TCustomBackend;

    void ChangeSize(std::int32_t& width, std::int32_t& height, std::int32_t newWidth, std::int32_t newHeight) override;
    void AssignTo(TPersistent* Dest) const override;
    virtual void CreateBackend(TCustomBackendClass Backend);
    // Unhooks the backend and drops the bitmap's reference.
    virtual void DetachBackend();

    counted_ref<TCustomBackend> FBackend;
    PColor32Array FBits = nullptr;
    TRect FClipRect;
    TFixedRect FFixedClipRect;
    TRect F256ClipRect;
    bool FClipping = false;
    TDrawMode FDrawMode = dmOpaque;
    TCombineMode FCombineMode = cmBlend;
    TWrapMode FWrapMode = wmClamp;
    std::uint32_t FMasterAlpha = 255;
    TColor32 FOuterColor = 0;
    TColor32 FPenColor = clWhite32;
    float FStippleCounter = 0;
    TArrayOfColor32 FStipplePattern;
    float FStippleStep = 1.0f;
    TAreaChangedEvent FOldOnAreaChanged;
    bool FMeasuringMode = false;
    std::unique_ptr<TCustomResampler> FResampler;

public:
    TWrapProcEx WrapProcHorz = nullptr;
    TWrapProcEx WrapProcVert = nullptr;
    blend_mem_proc* BlendProc = nullptr; // the bound routine variable for CombineMode

private:
    // A 1/256-pixel splat that writes only the pixels of its 2 x 2 block inside Clip.
    void spread_within(std::int32_t X, std::int32_t Y, TColor32 C, const TRect& Clip);
    // The splat steps of a sub-pixel line in Value, or in the stipple colours when Value is nullptr;
    // false when it is too short to draw.
    bool splat_line(TFixed X1, TFixed Y1, TFixed X2, TFixed Y2, const TColor32* Value, bool L, const TRect& Clip);
    // start_full: the start pixel blended at full strength, as the unclipped form does.
    void antialiased_line(std::int32_t X1, std::int32_t Y1, std::int32_t X2, std::int32_t Y2, TColor32 Value, bool L,
                          const TRect& Clip, bool start_full);
    void read_bmp_32(TStream& Stream, std::int32_t width, std::int32_t height, bool top_down);
    // The framework's pictures (Windows); false for a source that is none.
    bool assign_from_platform(const TPersistent* Source);
    bool assign_to_platform(TPersistent* Dest) const;
    // A picture that is no 32-bit BMP, from the stream's position: a framework bitmap, or with AnyFormat
    // any picture the framework reads. Loaded in full before the bitmap changes.
    void load_other_picture(TStream& Stream, bool any_format);
};

// The bitmap on the platform's backend: a DIB with its own device context, font and canvas on Windows,
// heap memory elsewhere.
class TBitmap32 : public TCustomBitmap32 {
public:
    TBitmap32();
    explicit TBitmap32(TCustomBackendClass Backend);
    ~TBitmap32() override;

    TCustomBackendClass GetPlatformBackendClass() const override;
    void SetBackend(TCustomBackend* Value) override;
    void BackendChanging() override;
    void BackendChanged() override;

    TNotifyEvent OnHandleChanged;

#ifdef _WIN32
    // --- Through the backend's capabilities; a backend without one raises EIntfCastError.
    TFont* Font();
    // Copies Value.
    void SetFont(const TFont* Value);
    void UpdateFont();
    TCanvas* Canvas();
    bool CanvasAllocated();
    void DeleteCanvas();
    HDC Handle();
    HBITMAP BitmapHandle();
    BITMAPINFO BitmapInfo();

    // Text in the bitmap's font, reported as the area it covers.
    void Textout(std::int32_t X, std::int32_t Y, const String& Text);
    void Textout(std::int32_t X, std::int32_t Y, const TRect& ClipRect, const String& Text);
    void Textout(TRect DstRect, std::uint32_t Flags, const String& Text);
    void TextoutW(std::int32_t X, std::int32_t Y, const String& Text) { Textout(X, Y, Text); }
    void TextoutW(std::int32_t X, std::int32_t Y, const TRect& ClipRect, const String& Text) {
        Textout(X, Y, ClipRect, Text);
    }
    void TextoutW(const TRect& DstRect, std::uint32_t Flags, const String& Text) { Textout(DstRect, Flags, Text); }
    SIZE TextExtent(const String& Text);
    SIZE TextExtentW(const String& Text) { return TextExtent(Text); }
    std::int32_t TextWidth(const String& Text) { return TextExtent(Text).cx; }
    std::int32_t TextHeight(const String& Text) { return TextExtent(Text).cy; }
    std::int32_t TextWidthW(const String& Text) { return TextWidth(Text); }
    std::int32_t TextHeightW(const String& Text) { return TextHeight(Text); }

    // --- Device contexts
    // Stretches SrcRect of hSrc onto DstRect; reports DstRect.
    void Draw(const TRect& DstRect, const TRect& SrcRect, HDC hSrc);
    using TCustomBitmap32::Draw;
    // Colour channels only; nothing for an empty bitmap.
    void DrawTo(HDC hDst, std::int32_t DstX, std::int32_t DstY);
    void DrawTo(HDC hDst, const TRect& DstRect, const TRect& SrcRect);
    using TCustomBitmap32::DrawTo;
    // SrcRect stretched onto DstRect of the device context through tiles of at most 1024 x 1024 pixels.
    void TileTo(HDC hDst, const TRect& DstRect, const TRect& SrcRect);

    // Antialiased text in Color (its alpha the opacity): AALevel 1 to 4 supersamples 2^AALevel times,
    // 0 draws unsmoothed, -1 lets the system smooth; the font goes back to default quality afterwards.
    void RenderText(std::int32_t X, std::int32_t Y, const String& Text, std::int32_t AALevel, TColor32 Color);
    // Unsmoothed text laid out in DstRect with DrawTextW flags; the font keeps the unsmoothed quality.
    void RenderText(const TRect& DstRect, std::uint32_t Flags, const String& Text, TColor32 Color);
    void RenderTextW(std::int32_t X, std::int32_t Y, const String& Text, std::int32_t AALevel, TColor32 Color);
#endif

    // Also copies the font when both backends have one.
    void CopyPropertiesTo(TCustomBitmap32* Dst) const override;

protected:
    virtual void DoHandleChanged();
    void DetachBackend() override;

private:
    void hook_backend(TCustomBackend* backend);
#ifdef _WIN32
    void render_text(std::int32_t X, std::int32_t Y, const String& Text, std::int32_t AALevel, TColor32 Color,
                     bool wide_measure);
#endif
};

#ifdef _WIN32
// Remakes Font's handle with the given system quality (0 default, 3 unsmoothed, 4 smoothed), its pitch
// and its face ("MS Sans Serif" for "Default").
void SetFontQuality(TFont& Font, std::uint8_t Quality);
#endif

// Backend classes defined with the backends.
extern const backend_class memory_backend_class;
#ifdef _WIN32
extern const backend_class gdi_backend_class;
#endif

} // namespace kq
