#include "graphics/Raster_Bitmap.h"

#include "framework/ImageCodecs.h"
#include "framework/Properties.h"
#include "framework/Streams.h"
#include "graphics/Raster_Backends.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_Resamplers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <typeinfo>
#include <vector>

namespace kq {

namespace {

std::unique_ptr<TClassList> resampler_classes;

constexpr std::int32_t bmp_header_size = 54;

void put_u16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put_u32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t get_u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t get_u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The pixels a stream's header announces must be there before anything is allocated.
void require_remaining(TStream& stream, std::uint64_t bytes) {
    const std::int64_t remaining = stream.Size() - stream.Position();
    if (remaining < 0 || bytes > static_cast<std::uint64_t>(remaining))
        throw EReadError(u"Stream read error");
}

std::uint64_t pixel_count(std::int32_t width, std::int32_t height) {
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

} // namespace

// --- Resampler classes

TClassList& ResamplerClassList() {
    if (!resampler_classes)
        resampler_classes = std::make_unique<TClassList>();
    return *resampler_classes;
}

void AddResamplerClass(TCustomResamplerClass AClass) {
    if (AClass && ResamplerClassList().IndexOf(AClass) < 0)
        ResamplerClassList().Add(AClass);
}

TCustomResamplerClass FindResamplerClass(StringView name) {
    if (!resampler_classes)
        return nullptr;
    return static_cast<TCustomResamplerClass>(resampler_classes->Find(name));
}

void FreeResamplerClassList() {
    resampler_classes.reset();
}

void Raster_Bitmap_shutdown() {
    FreeResamplerClassList();
}

// --- TCustomSampler

TColor32 TCustomSampler::GetSampleInt(std::int32_t X, std::int32_t Y) {
    return GetSampleFixed(IntToFixed(X), IntToFixed(Y));
}

TColor32 TCustomSampler::GetSampleFixed(TFixed X, TFixed Y) {
    return GetSampleFloat(static_cast<float>(X) / 65536.0f, static_cast<float>(Y) / 65536.0f);
}

TColor32 TCustomSampler::GetSampleFloat(float X, float Y) {
    return GetSampleFixed(FloatToFixed(X), FloatToFixed(Y));
}

void TCustomSampler::PrepareSampling() {}

void TCustomSampler::FinalizeSampling() {}

bool TCustomSampler::HasBounds() const {
    return false;
}

TFloatRect TCustomSampler::GetSampleBounds() const {
    constexpr float inf = std::numeric_limits<float>::infinity();
    return {-inf, -inf, inf, inf};
}

// --- TCustomResampler

TCustomResampler::TCustomResampler(TCustomBitmap32* ABitmap) : FBitmap(ABitmap) {
    if (ABitmap)
        ABitmap->SetResampler(this);
}

void TCustomResampler::SetPixelAccessMode(TPixelAccessMode value) {
    if (FPixelAccessMode == value)
        return;
    FPixelAccessMode = value;
    Changed();
}

void TCustomResampler::Changed() {
    if (FBitmap)
        FBitmap->Changed();
}

void TCustomResampler::PrepareSampling() {
    if (FBitmap)
        FClipRect = FBitmap->ClipRect();
}

bool TCustomResampler::HasBounds() const {
    return FPixelAccessMode != pamWrap;
}

TFloatRect TCustomResampler::GetSampleBounds() const {
    TFloatRect r = FBitmap ? RectToFloatRect(FBitmap->ClipRect()) : TFloatRect{};
    if (FPixelAccessMode == pamTransparentEdge)
        InflateFloatRect(r, 1, 1);
    return r;
}

float TCustomResampler::GetWidth() const {
    return 0;
}

void TCustomResampler::AssignTo(TPersistent* Dest) const {
    if (auto* dest = dynamic_cast<TCustomResampler*>(Dest)) {
        CopyPublishedProperties(this, dest, copyable_property_kinds());
        return;
    }
    TCustomSampler::AssignTo(Dest);
}

const property_table& TCustomResampler::PublishedProperties() const {
    static const property_table table =
        property_table::of<TCustomResampler>(TCustomSampler::PublishedProperties())
            .enumeration(u"PixelAccessMode", &TCustomResampler::PixelAccessMode, &TCustomResampler::SetPixelAccessMode,
                         {u"pamUnsafe", u"pamSafe", u"pamWrap", u"pamTransparentEdge"}, pamSafe);
    return table;
}

// --- TCustomBitmap32: construction and backends

TCustomBitmap32::TCustomBitmap32() : TCustomBitmap32(&memory_backend_class) {}

TCustomBitmap32::TCustomBitmap32(TCustomBackendClass Backend) {
    BlendProc = blend_pixel_by_mode[cmBlend];
    WrapProcHorz = WrapFuncFor(wmClamp);
    WrapProcVert = WrapFuncFor(wmClamp);
    CreateBackend(Backend);
    if (TCustomResamplerClass nearest = FindResamplerClass(u"TNearestResampler"))
        nearest->Create(this);
}

TCustomBitmap32::~TCustomBitmap32() {
    BeginUpdate();
    Lock();
    try {
        SetSize(0, 0);
    } catch (...) {
        // A destructor cannot report; the storage goes with the backend below.
    }
    FResampler.reset();
    DetachBackend();
    Unlock();
}

TCustomBackendClass TCustomBitmap32::GetPlatformBackendClass() const {
    return &memory_backend_class;
}

void TCustomBitmap32::CreateBackend(TCustomBackendClass Backend) {
    Backend->Create(this);
}

void TCustomBitmap32::SetBackend(TCustomBackend* Value) {
    if (!Value || Value == FBackend.get())
        return;
    BeginUpdate();
    {
        const scope_exit end_update([this] { EndUpdate(); });
        Value->FOwner = this;
        if (FBackend) {
            Value->Assign(FBackend.get());
            DetachBackend();
        }
        FBackend = counted_ref<TCustomBackend>(Value);
        Value->OnChange = [this](TObject*) { BackendChanged(); };
        Value->OnChanging = [this](TObject*) { BackendChanging(); };
    }
    FBackend->Changed();
    Changed();
}

TCustomBackend* TCustomBitmap32::ReleaseBackend() {
    return counted_ref<TCustomBackend>(FBackend).release();
}

void TCustomBitmap32::DetachBackend() {
    if (!FBackend)
        return;
    const counted_ref<TCustomBackend> backend = std::move(FBackend);
    backend->FOwner = nullptr;
    backend->OnChange = nullptr;
    backend->OnChanging = nullptr;
}

void TCustomBitmap32::BackendChanging() {}

void TCustomBitmap32::BackendChanged() {
    FBits = FBackend ? FBackend->Bits() : nullptr;
    ResetClipRect();
}

// --- Size and clipping

void TCustomBitmap32::ChangeSize(std::int32_t& width, std::int32_t& height, std::int32_t newWidth,
                                 std::int32_t newHeight) {
    FBackend->ChangeSize(width, height, newWidth, newHeight, true);
}

bool TCustomBitmap32::Empty() const {
    return !FBackend || FBackend->Empty() || FWidth == 0 || FHeight == 0;
}

void TCustomBitmap32::Delete() {
    SetSize(0, 0);
}

void TCustomBitmap32::SetClipRect(const TRect& Value) {
    TRect r;
    const TRect bounds = BoundsRect();
    r.Left = std::max(Value.Left, bounds.Left);
    r.Top = std::max(Value.Top, bounds.Top);
    r.Right = std::min(Value.Right, bounds.Right);
    r.Bottom = std::min(Value.Bottom, bounds.Bottom);
    if (r.Right < r.Left || r.Bottom < r.Top)
        r = {};
    FClipRect = r;
    FFixedClipRect = RectToFixedRect(r);
    // Sides beyond 2^23 pixels (possible without storage) saturate rather than overflow.
    const auto by256 = [](std::int32_t v) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{v} * 256, std::numeric_limits<std::int32_t>::max()));
    };
    F256ClipRect = {by256(r.Left), by256(r.Top), by256(r.Right), by256(r.Bottom)};
    FClipping = !(r == bounds);
    WrapProcHorz = WrapFuncForRange(FWrapMode, r.Left, r.Right - 1);
    WrapProcVert = WrapFuncForRange(FWrapMode, r.Top, r.Bottom - 1);
}

void TCustomBitmap32::ResetClipRect() {
    SetClipRect(BoundsRect());
}

// --- Settings

void TCustomBitmap32::SetDrawMode(TDrawMode Value) {
    if (FDrawMode == Value)
        return;
    FDrawMode = Value;
    Changed();
}

void TCustomBitmap32::SetCombineMode(TCombineMode Value) {
    if (FCombineMode == Value)
        return;
    FCombineMode = Value;
    BlendProc = blend_pixel_by_mode[Value];
    Changed();
}

void TCustomBitmap32::SetWrapMode(TWrapMode Value) {
    if (FWrapMode == Value)
        return;
    FWrapMode = Value;
    WrapProcHorz = WrapFuncForRange(FWrapMode, FClipRect.Left, FClipRect.Right - 1);
    WrapProcVert = WrapFuncForRange(FWrapMode, FClipRect.Top, FClipRect.Bottom - 1);
    Changed();
}

void TCustomBitmap32::SetMasterAlpha(std::uint32_t Value) {
    if (FMasterAlpha == Value)
        return;
    FMasterAlpha = Value;
    Changed();
}

void TCustomBitmap32::SetResampler(TCustomResampler* Value) {
    if (!Value || Value == FResampler.get())
        return;
    FResampler.reset(Value);
    Changed();
}

String TCustomBitmap32::ResamplerClassName() const {
    return FResampler ? FResampler->ClassName() : String();
}

void TCustomBitmap32::SetResamplerClassName(const String& Value) {
    if (Value.empty() || Value == ResamplerClassName())
        return;
    if (TCustomResamplerClass cls = FindResamplerClass(Value))
        cls->Create(this);
}

void TCustomBitmap32::SetStipple(const TArrayOfColor32& NewStipple) {
    FStippleCounter = 0;
    FStipplePattern = NewStipple;
}

void TCustomBitmap32::SetStipple(std::initializer_list<TColor32> NewStipple) {
    SetStipple(TArrayOfColor32(NewStipple));
}

// --- Notification

void TCustomBitmap32::Changed() {
    Changed(BoundsRect(), AreaInfoRect);
}

void TCustomBitmap32::Changed(const TRect& Area, std::uint32_t Info) {
    if ((FUpdateCount == 0 || FMeasuringMode) && OnAreaChanged)
        OnAreaChanged(this, Area, Info);
    if (!FMeasuringMode)
        TCustomMap::Changed();
}

void TCustomBitmap32::PropertyChanged() {
    TCustomMap::Changed();
}

void TCustomBitmap32::BeginMeasuring(const TAreaChangedEvent& Callback) {
    FMeasuringMode = true;
    FOldOnAreaChanged = OnAreaChanged;
    OnAreaChanged = Callback;
}

void TCustomBitmap32::EndMeasuring() {
    FMeasuringMode = false;
    OnAreaChanged = FOldOnAreaChanged;
    FOldOnAreaChanged = nullptr;
}

// --- Pixel access

TColor32 TCustomBitmap32::GetPixelS(std::int32_t X, std::int32_t Y) const {
    if (X >= FClipRect.Left && X < FClipRect.Right && Y >= FClipRect.Top && Y < FClipRect.Bottom)
        return GetPixel(X, Y);
    return FOuterColor;
}

void TCustomBitmap32::SetPixelS(std::int32_t X, std::int32_t Y, TColor32 Value) {
    if (X >= FClipRect.Left && X < FClipRect.Right && Y >= FClipRect.Top && Y < FClipRect.Bottom)
        SetPixel(X, Y, Value);
}

TColor32 TCustomBitmap32::GetPixelW(std::int32_t X, std::int32_t Y) const {
    return GetPixel(WrapProcHorz(X, FClipRect.Left, FClipRect.Right - 1),
                    WrapProcVert(Y, FClipRect.Top, FClipRect.Bottom - 1));
}

void TCustomBitmap32::SetPixelW(std::int32_t X, std::int32_t Y, TColor32 Value) {
    SetPixel(WrapProcHorz(X, FClipRect.Left, FClipRect.Right - 1), WrapProcVert(Y, FClipRect.Top, FClipRect.Bottom - 1),
             Value);
}

void TCustomBitmap32::SetPixelT(std::int32_t X, std::int32_t Y, TColor32 Value) {
    (*BlendProc)(Value, *PixelPtr(X, Y));
    EndBlending();
}

void TCustomBitmap32::SetPixelT(PColor32& Ptr, TColor32 Value) {
    (*BlendProc)(Value, *Ptr);
    ++Ptr;
    EndBlending();
}

void TCustomBitmap32::SetPixelTS(std::int32_t X, std::int32_t Y, TColor32 Value) {
    if (X >= FClipRect.Left && X < FClipRect.Right && Y >= FClipRect.Top && Y < FClipRect.Bottom)
        SetPixelT(X, Y, Value);
}

void TCustomBitmap32::SetPixelX(TFixed X, TFixed Y, TColor32 Value) {
    SpreadPixel256((X + 127) >> 8, (Y + 127) >> 8, Value);
    EndBlending();
}

void TCustomBitmap32::SetPixelF(float X, float Y, TColor32 Value) {
    SpreadPixel256(static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(X) * 256)),
                   static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(Y) * 256)), Value);
    EndBlending();
}

void TCustomBitmap32::SetPixelXS(TFixed X, TFixed Y, TColor32 Value) {
    SpreadPixel256Clipped((X + 127) >> 8, (Y + 127) >> 8, Value);
    EndBlending();
}

void TCustomBitmap32::SetPixelFS(float X, float Y, TColor32 Value) {
    SpreadPixel256Clipped(static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(X) * 256)),
                          static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(Y) * 256)), Value);
    EndBlending();
}

void TCustomBitmap32::SetPixelXW(TFixed X, TFixed Y, TColor32 Value) {
    const std::int32_t x = WrapProcHorz((X + 127) >> 8, F256ClipRect.Left, F256ClipRect.Right - 128);
    const std::int32_t y = WrapProcVert((Y + 127) >> 8, F256ClipRect.Top, F256ClipRect.Bottom - 128);
    SpreadPixel256(x, y, Value);
    EndBlending();
}

void TCustomBitmap32::SetPixelFW(float X, float Y, TColor32 Value) {
    SetPixelXW(FloatToFixed(X), FloatToFixed(Y), Value);
}

TColor32 TCustomBitmap32::GetPixelXR(TFixed X, TFixed Y) {
    return FResampler->GetSampleFixed(X, Y);
}

TColor32 TCustomBitmap32::GetPixelFR(float X, float Y) {
    return FResampler->GetSampleFloat(X, Y);
}

void TCustomBitmap32::SpreadPixel256(std::int32_t X, std::int32_t Y, TColor32 C) {
    const std::int32_t fx = X & 255, fy = Y & 255;
    const std::int32_t wl = GammaLookup[255 - fx], wr = GammaLookup[fx];
    const std::int32_t wt = GammaLookup[255 - fy], wb = GammaLookup[fy];
    TColor32* p00 = PixelPtr(X >> 8, Y >> 8);
    TColor32* p10 = p00 + 1;
    TColor32* p01 = p00 + FWidth;
    TColor32* p11 = p01 + 1;
    if (FCombineMode == cmMerge) {
        CombinePixel(MergeColors(C, *p00), *p00, (wl * wt) >> 8);
        CombinePixel(MergeColors(C, *p10), *p10, (wr * wt) >> 8);
        CombinePixel(MergeColors(C, *p11), *p11, (wr * wb) >> 8);
        CombinePixel(MergeColors(C, *p01), *p01, (wl * wb) >> 8);
    } else {
        const std::int32_t a = Color32Alpha(C);
        CombinePixel(C, *p00, (a * wl * wt) >> 16);
        CombinePixel(C, *p10, (a * wr * wt) >> 16);
        CombinePixel(C, *p11, (a * wr * wb) >> 16);
        CombinePixel(C, *p01, (a * wl * wb) >> 16);
    }
}

void TCustomBitmap32::SpreadPixel256Clipped(std::int32_t X, std::int32_t Y, TColor32 C) {
    if (!(X >= F256ClipRect.Left - 256 && X < F256ClipRect.Right && Y >= F256ClipRect.Top - 256 &&
          Y < F256ClipRect.Bottom))
        return;
    const std::int32_t ix = X >> 8, iy = Y >> 8;
    const TRect& c = FClipRect;
    if (ix >= c.Left && ix < c.Right - 1 && iy >= c.Top && iy < c.Bottom - 1) {
        SpreadPixel256(X, Y, C);
        return;
    }
    const std::int32_t fx = X & 255, fy = Y & 255;
    const std::int32_t wl = GammaLookup[255 - fx], wr = GammaLookup[fx];
    const std::int32_t wt = GammaLookup[255 - fy], wb = GammaLookup[fy];
    const bool merge = FCombineMode == cmMerge;
    const std::int32_t a = Color32Alpha(C);
    const auto put = [&](std::int32_t x, std::int32_t y, std::int32_t w1, std::int32_t w2) {
        TColor32& p = *PixelPtr(x, y);
        if (merge)
            CombinePixel(MergeColors(C, p), p, (w1 * w2) >> 8);
        else
            CombinePixel(C, p, (a * w1 * w2) >> 16);
    };
    if (ix >= c.Left && iy >= c.Top)
        put(ix, iy, wl, wt);
    if (ix < c.Right - 1 && iy >= c.Top)
        put(ix + 1, iy, wr, wt);
    if (ix < c.Right - 1 && iy < c.Bottom - 1)
        put(ix + 1, iy + 1, wr, wb);
    if (ix >= c.Left && iy < c.Bottom - 1)
        put(ix, iy + 1, wl, wb);
}

TColor32 TCustomBitmap32::SamplePixel256(std::int32_t X, std::int32_t Y) const {
    const TColor32* top = PixelPtr(X >> 8, Y >> 8);
    return InterpolateFour(GammaLookup[255 - (X & 255)], GammaLookup[255 - (Y & 255)], top, top + FWidth);
}

TColor32 TCustomBitmap32::SamplePixel256Clipped(std::int32_t X, std::int32_t Y) const {
    const std::int32_t r = FClipRect.Right - 1, b = FClipRect.Bottom - 1;
    if (X < F256ClipRect.Left || Y < F256ClipRect.Top)
        return FOuterColor;
    const std::int64_t r256 = std::int64_t{r} * 256, b256 = std::int64_t{b} * 256;
    if (X < r256 && Y < b256)
        return SamplePixel256(X, Y);
    if (X == r256 && Y <= b256)
        return GetPixel(r, Y / 256);
    if (X <= r256 && Y == b256)
        return GetPixel(X / 256, b);
    return FOuterColor;
}

TColor32 TCustomBitmap32::GetPixelX(TFixed X, TFixed Y) const {
    const TColor32 result = SamplePixel256((X + 127) >> 8, (Y + 127) >> 8);
    EndBlending();
    return result;
}

TColor32 TCustomBitmap32::GetPixelF(float X, float Y) const {
    const TColor32 result =
        SamplePixel256(static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(X) * 256)),
                       static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(Y) * 256)));
    EndBlending();
    return result;
}

TColor32 TCustomBitmap32::GetPixelXS(TFixed X, TFixed Y) const {
    const TColor32 result = SamplePixel256Clipped((X + 127) >> 8, (Y + 127) >> 8);
    EndBlending();
    return result;
}

TColor32 TCustomBitmap32::GetPixelFS(float X, float Y) const {
    const TColor32 result =
        SamplePixel256Clipped(static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(X) * 256)),
                              static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(Y) * 256)));
    EndBlending();
    return result;
}

TColor32 TCustomBitmap32::GetPixelXW(TFixed X, TFixed Y) const {
    const std::int32_t x0 = WrapProcHorz(X >> 16, FClipRect.Left, FClipRect.Right - 1);
    const std::int32_t x1 = WrapProcHorz((X >> 16) + 1, FClipRect.Left, FClipRect.Right - 1);
    const std::int32_t y0 = WrapProcVert(Y >> 16, FClipRect.Top, FClipRect.Bottom - 1);
    const std::int32_t y1 = WrapProcVert((Y >> 16) + 1, FClipRect.Top, FClipRect.Bottom - 1);
    const std::int32_t fx = (X >> 8) & 255, fy = (Y >> 8) & 255;
    const TColor32 top = CombineColors(GetPixel(x1, y0), GetPixel(x0, y0), fx);
    const TColor32 bottom = CombineColors(GetPixel(x1, y1), GetPixel(x0, y1), fx);
    const TColor32 result = CombineColors(bottom, top, fy);
    EndBlending();
    return result;
}

TColor32 TCustomBitmap32::GetPixelFW(float X, float Y) const {
    return GetPixelXW(FloatToFixed(X), FloatToFixed(Y));
}

// --- Whole-bitmap fills

void TCustomBitmap32::Clear() {
    Clear(clBlack32);
}

void TCustomBitmap32::Clear(TColor32 FillColor) {
    if (Empty())
        return;
    if (!FMeasuringMode) {
        if (FClipping) {
            for (std::int32_t y = FClipRect.Top; y < FClipRect.Bottom; ++y)
                FillDwords(PixelPtr(FClipRect.Left, y), FClipRect.Right - FClipRect.Left, FillColor);
        } else {
            const std::uint64_t count = pixel_count(FWidth, FHeight);
            for (std::uint64_t done = 0; done < count;) {
                const auto n = static_cast<std::int32_t>(std::min<std::uint64_t>(count - done, 1u << 30));
                FillDwords(FBits + done, n, FillColor);
                done += static_cast<std::uint64_t>(n);
            }
        }
    }
    Changed();
}

void TCustomBitmap32::ResetAlpha() {
    ResetAlpha(255);
}

void TCustomBitmap32::ResetAlpha(std::uint8_t AlphaValue) {
    if (!FMeasuringMode && FBits) {
        const std::uint64_t count = pixel_count(FWidth, FHeight);
        const TColor32 alpha = static_cast<TColor32>(AlphaValue) << 24;
        for (std::uint64_t i = 0; i < count; ++i)
            FBits[i] = (FBits[i] & 0x00FFFFFF) | alpha;
    }
    Changed();
}

// --- Assignment

void TCustomBitmap32::Assign(const TPersistent* Source) {
    BeginUpdate();
    // Not a scope_exit: Changed raises OnChange, which may throw, and a destructor must not.
    try {
        if (!Source) {
            SetSize(0, 0);
        } else if (const auto* bitmap = dynamic_cast<const TCustomBitmap32*>(Source)) {
            bitmap->CopyPixelsTo(this);
            bitmap->CopyPropertiesTo(this);
        } else if (!assign_from_platform(Source)) {
            TCustomMap::Assign(Source);
        }
    } catch (...) {
        EndUpdate();
        Changed();
        throw;
    }
    EndUpdate();
    Changed();
}

void TCustomBitmap32::AssignTo(TPersistent* Dest) const {
    if (!assign_to_platform(Dest))
        TCustomMap::AssignTo(Dest);
}

void TCustomBitmap32::CopyPixelsTo(TCustomBitmap32* Dst) const {
    Dst->SetSize(FWidth, FHeight);
    if (!Empty() && !Dst->Empty())
        std::memcpy(Dst->FBits, FBits, pixel_bytes(FWidth, FHeight));
}

void TCustomBitmap32::CopyPropertiesTo(TCustomBitmap32* Dst) const {
    Dst->SetDrawMode(FDrawMode);
    Dst->SetCombineMode(FCombineMode);
    Dst->SetWrapMode(FWrapMode);
    Dst->SetMasterAlpha(FMasterAlpha);
    Dst->FOuterColor = FOuterColor;
    Dst->SetResamplerClassName(ResamplerClassName());
    if (Dst->FResampler && FResampler)
        Dst->FResampler->Assign(FResampler.get());
}

// --- Persistence

void TCustomBitmap32::WriteData(TStream& Stream) const {
    std::uint8_t head[8];
    put_u32(head, static_cast<std::uint32_t>(FWidth));
    put_u32(head + 4, static_cast<std::uint32_t>(FHeight));
    Stream.WriteBuffer(head, sizeof head);
    if (FBits)
        Stream.WriteBuffer(FBits, static_cast<std::int64_t>(pixel_bytes(FWidth, FHeight)));
}

void TCustomBitmap32::ReadData(TStream& Stream) {
    // Read and checked in full before the bitmap changes, so a bad block leaves it as it was.
    std::uint8_t head[8];
    Stream.ReadBuffer(head, sizeof head);
    const auto width = std::max<std::int32_t>(0, static_cast<std::int32_t>(get_u32(head)));
    const auto height = std::max<std::int32_t>(0, static_cast<std::int32_t>(get_u32(head + 4)));
    require_remaining(Stream, pixel_count(width, height) * 4);
    std::vector<TColor32> pixels(static_cast<std::size_t>(pixel_count(width, height)));
    Stream.ReadBuffer(pixels.data(), static_cast<std::int64_t>(pixels.size() * 4));
    // Not a scope_exit: Changed raises OnChange, which may throw, and a destructor must not.
    try {
        SetSize(width, height);
        if (FBits && !pixels.empty())
            std::memcpy(FBits, pixels.data(), pixels.size() * 4);
    } catch (...) {
        Changed();
        throw;
    }
    Changed();
}

bool TCustomBitmap32::HasDataToStore(const TPersistent* Ancestor) const {
    if (!Ancestor)
        return !Empty();
    const auto* bitmap = dynamic_cast<const TCustomBitmap32*>(Ancestor);
    return !bitmap || !BitmapsEqual(*bitmap, *this);
}

bool BitmapsEqual(const TCustomBitmap32& A, const TCustomBitmap32& B) {
    if (A.Empty() || B.Empty())
        return A.Empty() && B.Empty();
    if (typeid(A) != typeid(B))
        return false;
    TMemoryStream a, b;
    A.SaveToStream(a, false);
    B.SaveToStream(b, false);
    return a.Size() == b.Size() &&
           std::memcmp(a.Memory(), b.Memory(), static_cast<std::size_t>(a.Size())) == 0;
}

void TCustomBitmap32::SaveToStream(TStream& Stream, bool SaveTopDown) const {
    const std::uint64_t image_size = pixel_count(FWidth, FHeight) * 4;
    std::uint8_t h[bmp_header_size] = {};
    put_u16(h, 0x4D42);
    put_u32(h + 2, static_cast<std::uint32_t>(bmp_header_size + image_size));
    put_u32(h + 10, bmp_header_size);
    put_u32(h + 14, 40);
    put_u32(h + 18, static_cast<std::uint32_t>(FWidth));
    put_u32(h + 22, static_cast<std::uint32_t>(SaveTopDown ? FHeight : -FHeight));
    put_u16(h + 26, 1);
    put_u16(h + 28, 32);
    put_u32(h + 30, 0);
    put_u32(h + 34, static_cast<std::uint32_t>(image_size));
    Stream.WriteBuffer(h, sizeof h);
    if (!FBits)
        return;
    if (SaveTopDown) {
        for (std::int32_t y = FHeight - 1; y >= 0; --y)
            Stream.WriteBuffer(ScanLine(y), static_cast<std::int64_t>(FWidth) * 4);
    } else {
        Stream.WriteBuffer(FBits, static_cast<std::int64_t>(image_size));
    }
}

void TCustomBitmap32::read_bmp_32(TStream& Stream, std::int32_t width, std::int32_t height, bool top_down) {
    require_remaining(Stream, pixel_count(width, height) * 4);
    std::vector<TColor32> pixels(static_cast<std::size_t>(pixel_count(width, height)));
    Stream.ReadBuffer(pixels.data(), static_cast<std::int64_t>(pixels.size() * 4));
    // Not a scope_exit: Changed raises OnChange, which may throw, and a destructor must not.
    try {
        SetSize(width, height);
        if (FBits && !pixels.empty()) {
            if (top_down) {
                std::memcpy(FBits, pixels.data(), pixels.size() * 4);
            } else {
                for (std::int32_t y = 0; y < height; ++y)
                    std::memcpy(ScanLine(height - 1 - y), pixels.data() + static_cast<std::size_t>(y) * width,
                                static_cast<std::size_t>(width) * 4);
            }
        }
    } catch (...) {
        Changed();
        throw;
    }
}

void TCustomBitmap32::LoadFromStream(TStream& Stream) {
    std::uint8_t h[bmp_header_size];
    Stream.ReadBuffer(h, sizeof h);
    const bool direct =
        get_u16(h) == 0x4D42 && get_u16(h + 28) == 32 && get_u16(h + 26) == 1 && get_u32(h + 30) == 0;
    if (direct) {
        const auto width = static_cast<std::int32_t>(get_u32(h + 18));
        const auto height = static_cast<std::int32_t>(get_u32(h + 22));
        if (width < 0 || height == std::numeric_limits<std::int32_t>::min())
            throw EReadError(u"Stream read error");
        read_bmp_32(Stream, width, std::abs(height), height <= 0);
    } else {
        Stream.Seek(-bmp_header_size, soFromCurrent);
        load_other_picture(Stream, false);
    }
    Changed();
}

void TCustomBitmap32::SaveToFile(const String& FileName, bool SaveTopDown) const {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(stream, SaveTopDown);
}

void TCustomBitmap32::LoadFromFile(const String& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    std::uint8_t h[bmp_header_size];
    stream.ReadBuffer(h, sizeof h);
    stream.SetPosition(0);
    if (get_u16(h) == 0x4D42)
        LoadFromStream(stream);
    else
        load_other_picture(stream, true);
}

const property_table& TCustomBitmap32::PublishedProperties() const {
    static const property_table table =
        property_table::of<TCustomBitmap32>(TCustomMap::PublishedProperties())
            .enumeration(u"DrawMode", &TCustomBitmap32::DrawMode, &TCustomBitmap32::SetDrawMode,
                         {u"dmOpaque", u"dmBlend", u"dmCustom", u"dmTransparent"}, dmOpaque)
            .enumeration(u"CombineMode", &TCustomBitmap32::CombineMode, &TCustomBitmap32::SetCombineMode,
                         {u"cmBlend", u"cmMerge"}, cmBlend)
            .enumeration(u"WrapMode", &TCustomBitmap32::WrapMode, &TCustomBitmap32::SetWrapMode,
                         {u"wmClamp", u"wmRepeat", u"wmMirror"}, wmClamp)
            .integer(u"MasterAlpha", &TCustomBitmap32::MasterAlpha, &TCustomBitmap32::SetMasterAlpha, 255u)
            .integer(u"OuterColor", &TCustomBitmap32::OuterColor, &TCustomBitmap32::SetOuterColor, 0u)
            .string(u"ResamplerClassName", &TCustomBitmap32::ResamplerClassName, &TCustomBitmap32::SetResamplerClassName)
            .persistent(u"Resampler", &TCustomBitmap32::Resampler)
            .binary(
                u"Data",
                [](const TCustomBitmap32& b) {
                    if (!b.HasDataToStore(nullptr))
                        return byte_block();
                    TMemoryStream s;
                    b.WriteData(s);
                    const auto* p = static_cast<const std::uint8_t*>(s.Memory());
                    return byte_block(p, p + s.Size());
                },
                [](TCustomBitmap32& b, const byte_block& v) {
                    TMemoryStream s;
                    s.WriteBuffer(v.data(), static_cast<std::int64_t>(v.size()));
                    s.SetPosition(0);
                    b.ReadData(s);
                });
    return table;
}

#ifndef _WIN32
TBitmap32::~TBitmap32() = default;

void TBitmap32::hook_backend(TCustomBackend*) {}

void TBitmap32::BackendChanging() {
    TCustomBitmap32::BackendChanging();
}

void TBitmap32::DetachBackend() {
    TCustomBitmap32::DetachBackend();
}

void TBitmap32::CopyPropertiesTo(TCustomBitmap32* Dst) const {
    TCustomBitmap32::CopyPropertiesTo(Dst);
}

// Off Windows there are no framework pictures: only the bitmap's own formats are read.
bool TCustomBitmap32::assign_from_platform(const TPersistent*) {
    return false;
}

bool TCustomBitmap32::assign_to_platform(TPersistent*) const {
    return false;
}

void TCustomBitmap32::load_other_picture(TStream&, bool) {
    throw EInvalidGraphic(u"Unknown picture file format");
}
#endif

// --- TBitmap32

TBitmap32::TBitmap32() : TBitmap32(
#ifdef _WIN32
                             &gdi_backend_class
#else
                             &memory_backend_class
#endif
                         ) {
}

TBitmap32::TBitmap32(TCustomBackendClass Backend) : TCustomBitmap32(Backend) {
    // The base installed the backend before this class's overrides existed.
    hook_backend(FBackend.get());
}

void TBitmap32::SetBackend(TCustomBackend* Value) {
    if (!Value || Value == FBackend.get())
        return;
    hook_backend(Value);
    TCustomBitmap32::SetBackend(Value);
}

TCustomBackendClass TBitmap32::GetPlatformBackendClass() const {
#ifdef _WIN32
    return &gdi_backend_class;
#else
    return &memory_backend_class;
#endif
}

void TBitmap32::BackendChanged() {
    TCustomBitmap32::BackendChanged();
    DoHandleChanged();
}

void TBitmap32::DoHandleChanged() {
    if (OnHandleChanged)
        OnHandleChanged(this);
}

} // namespace kq
