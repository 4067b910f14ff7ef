#pragma once
// Kernels and resamplers.
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_OrdinalMaps.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kq {

class TTransformation;

// --- Kernels
// Filter(x) is the weight of a sample at distance x; GetWidth is the half-width of its support. Every step
// is evaluated in single precision.

class TCustomKernel : public TPersistent {
public:
    virtual bool NeedsClamping() const { return false; }
    virtual float Filter(float value) const = 0;
    virtual float GetWidth() const = 0;

    // Tells the observer, when one is set.
    void Changed();

    TNotifiablePersistent* FObserver = nullptr; // borrowed

protected:
    // Onto another kernel copies the published properties.
    void AssignTo(TPersistent* dest) const override;
};

class TBoxKernel : public TCustomKernel {
public:
    float Filter(float value) const override;
    float GetWidth() const override { return 1; }
};

class TLinearKernel : public TCustomKernel {
public:
    float Filter(float value) const override;
    float GetWidth() const override { return 1; }
};

class TCosineKernel : public TCustomKernel {
public:
    float Filter(float value) const override;
    float GetWidth() const override { return 1; }
};

class TSplineKernel : public TCustomKernel {
public:
    bool NeedsClamping() const override { return true; }
    float Filter(float value) const override;
    float GetWidth() const override { return 2; }
};

class TMitchellKernel : public TCustomKernel {
public:
    bool NeedsClamping() const override { return true; }
    float Filter(float value) const override;
    float GetWidth() const override { return 2; }
};

class TCubicKernel : public TCustomKernel {
public:
    bool NeedsClamping() const override { return true; }
    float Filter(float value) const override;
    float GetWidth() const override { return 2; }
    const property_table& PublishedProperties() const override;

    float Coeff() const { return FCoeff; }
    void SetCoeff(float value);

private:
    float FCoeff = -0.5f;
};

class THermiteKernel : public TCustomKernel {
public:
    bool NeedsClamping() const override { return true; }
    float Filter(float value) const override;
    float GetWidth() const override { return 2; }
    const property_table& PublishedProperties() const override;

    float Bias() const { return FBias; }
    void SetBias(float value);
    float Tension() const { return FTension; }
    void SetTension(float value);

private:
    float FBias = 0;
    float FTension = 0;
};

// sin(pi x) / (pi x), 1 at 0.
float SincValue(float x);

// A sinc cut off at Width (at most 16) and shaped by a window.
class TWindowedSincKernel : public TCustomKernel {
public:
    bool NeedsClamping() const override { return true; }
    float Filter(float value) const override;
    float GetWidth() const override { return FWidth; }
    const property_table& PublishedProperties() const override;
    virtual float WindowValue(float x) const = 0;

    float Width() const { return FWidth; }
    void SetWidth(float value);

protected:
    float FWidth = 3;
    float FWidthReciprocal = 1.0f / 3;
};

class TAlbrechtKernel : public TWindowedSincKernel {
public:
    TAlbrechtKernel();
    float WindowValue(float x) const override;
    const property_table& PublishedProperties() const override;

    // Clamped to 2..11.
    std::int32_t Terms() const { return FTerms; }
    void SetTerms(std::int32_t value);

private:
    std::int32_t FTerms = 0;
    double FCoefPointer[11] = {};
};

class TLanczosKernel : public TWindowedSincKernel {
public:
    float WindowValue(float x) const override;
};

class TGaussianKernel : public TWindowedSincKernel {
public:
    TGaussianKernel();
    float WindowValue(float x) const override;
    const property_table& PublishedProperties() const override;

    float Sigma() const { return FSigma; }
    // 0 and the current value are ignored.
    void SetSigma(float value);

private:
    float FSigma = 1.33f;
    float FSigmaReciprocalLn2 = 0;
};

class TBlackmanKernel : public TWindowedSincKernel {
public:
    float WindowValue(float x) const override;
};

class THannKernel : public TWindowedSincKernel {
public:
    float WindowValue(float x) const override;
};

class THammingKernel : public TWindowedSincKernel {
public:
    float WindowValue(float x) const override;
};

// Its filter has no cut-off; Width only says how far samplers reach.
class TSinshKernel : public TCustomKernel {
public:
    bool NeedsClamping() const override { return true; }
    float Filter(float value) const override;
    float GetWidth() const override { return FWidth; }
    const property_table& PublishedProperties() const override;

    float Width() const { return FWidth; }
    void SetWidth(float value);
    float Coeff() const { return FCoeff; }
    // 0 and the current value are ignored.
    void SetCoeff(float value);

private:
    float FWidth = 3;
    float FCoeff = 0.5f;
};

// The coefficients of the Albrecht window for 2..11 terms (row n - 2).
extern const double AlbrechtCoefficients[10][11];

// --- Class lists

// A kernel class of the kernel class list: its name and how to make one.
struct kernel_class : class_info {
    std::unique_ptr<TCustomKernel> (*Create)();
};

template <class K>
TClass kernel_class_of() {
    static const kernel_class info{{class_name_of(typeid(K))}, [] { return std::unique_ptr<TCustomKernel>(new K); }};
    return &info;
}

// Each list is made on first use and freed at shutdown; nil before.
TClassList* KernelClassList();
void AddKernelClass(TClass kernel_class);
// A new kernel of the listed class of exactly this name, or nil.
std::unique_ptr<TCustomKernel> create_kernel(StringView class_name);

// --- Weights

// Rows 0..TableSize of Round(Filter(J + Row / (TableSize - 1)) x 256) for J = -W..W (W = Ceil of the
// kernel's width, never below 0), each row corrected in its centre entry to sum to 256.
void build_weight_table(const TCustomKernel& kernel, std::int32_t tableSize, TIntegerMap& table);

struct TPointRec {
    std::int32_t Pos;    // source index
    std::int32_t Weight; // 0..256
    constexpr bool operator==(const TPointRec&) const = default;
};
using TCluster = std::vector<TPointRec>;
using TMappingTable = std::vector<TCluster>;

// The contributions of source positions SrcLo..SrcHi - 1 to each destination position ClipLo..ClipHi - 1,
// for a destination span DstLo..DstHi. Every position lies inside SrcLo..SrcHi - 1 and every cluster sums
// to 256.
TMappingTable BuildWeightMap(std::int32_t dstLo, std::int32_t dstHi, std::int32_t clipLo, std::int32_t clipHi,
                             std::int32_t srcLo, std::int32_t srcHi, const TCustomKernel& kernel);

// --- Resamplers

// Reads the nearest pixel; stretches by nearest neighbour.
class TNearestResampler : public TCustomResampler {
public:
    using TCustomResampler::TCustomResampler;

    TColor32 GetSampleInt(std::int32_t X, std::int32_t Y) override;
    TColor32 GetSampleFixed(TFixed X, TFixed Y) override;
    TColor32 GetSampleFloat(float X, float Y) override;
    void Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) override;

    // The nearest pixel of the clip rectangle; a position outside it gives that pixel with alpha 0.
    TColor32 ReadPixelTransparentEdge(std::int32_t X, std::int32_t Y) const;

protected:
    float GetWidth() const override { return 1; }
};

// Interpolates the four pixels around a position; enlarges bilinearly.
class TLinearResampler : public TCustomResampler {
public:
    TLinearResampler();
    explicit TLinearResampler(TCustomBitmap32* ABitmap);

    TColor32 GetSampleFixed(TFixed X, TFixed Y) override;
    TColor32 GetSampleFloat(float X, float Y) override;
    void Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) override;

    // Inside the clip as the bitmap's sub-pixel read; in the one-pixel band around it the pixels outside
    // count as transparent; beyond that 0.
    TColor32 ReadLinearTransparentEdge(TFixed X, TFixed Y) const;

protected:
    float GetWidth() const override { return 1; }

    std::unique_ptr<TLinearKernel> FLinearKernel = std::make_unique<TLinearKernel>();
};

// Averages blocks when shrinking.
class TDraftResampler : public TLinearResampler {
public:
    using TLinearResampler::TLinearResampler;

    void Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) override;
};

enum TKernelMode : std::uint8_t { kmDynamic, kmTableNearest, kmTableLinear };

// Samples and stretches through a kernel (a box by default).
class TKernelResampler : public TCustomResampler {
public:
    TKernelResampler();
    explicit TKernelResampler(TCustomBitmap32* ABitmap);

    TColor32 GetSampleFloat(float X, float Y) override;
    void PrepareSampling() override;
    void FinalizeSampling() override;
    void Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) override;
    const property_table& PublishedProperties() const override;

    TCustomKernel* Kernel() const { return FKernel.get(); }
    // Takes ownership; nil or the current kernel changes nothing.
    void SetKernel(std::unique_ptr<TCustomKernel> value);
    String KernelClassName() const;
    // An unknown name changes nothing.
    void SetKernelClassName(const String& value);
    TKernelMode KernelMode() const { return FKernelMode; }
    void SetKernelMode(TKernelMode value);
    // At least 2.
    std::int32_t TableSize() const { return FTableSize; }
    void SetTableSize(std::int32_t value);

protected:
    float GetWidth() const override { return FKernel->GetWidth(); }

private:
    std::unique_ptr<TCustomKernel> FKernel = std::make_unique<TBoxKernel>();
    TKernelMode FKernelMode = kmDynamic;
    TIntegerMap FWeightTable;
    std::int32_t FTableSize = 32;
    TColor32 FOuterColor = 0;

    // One axis's weights for the offsets -W..W, summing to 256.
    void weights_for(float fraction, std::int32_t w, std::int32_t* weights) const;
};

// Wraps another sampler (borrowed); without one, its run operations raise ENestedException.
class TNestedSampler : public TCustomSampler {
public:
    TNestedSampler() = default;
    explicit TNestedSampler(TCustomSampler* ASampler) : FSampler(ASampler) {}

    TCustomSampler* Sampler() const { return FSampler; }
    void SetSampler(TCustomSampler* value) { FSampler = value; }

    void PrepareSampling() override;
    void FinalizeSampling() override;
    bool HasBounds() const override;
    TFloatRect GetSampleBounds() const override;

protected:
    void AssignTo(TPersistent* Dest) const override;
    TCustomSampler& sampler() const;

    TCustomSampler* FSampler = nullptr;
};

class ENestedException : public Exception {
public:
    using Exception::Exception;
};

// Samples the wrapped sampler at the reverse-mapped position (pixel centres map to pixel centres).
class TTransformer : public TNestedSampler {
public:
    TTransformer(TCustomSampler* ASampler, TTransformation* ATransformation)
        : TNestedSampler(ASampler), FTransformation(ATransformation) {}

    TTransformation* Transformation() const { return FTransformation; }
    void SetTransformation(TTransformation* value) { FTransformation = value; }

    void PrepareSampling() override;
    TColor32 GetSampleInt(std::int32_t X, std::int32_t Y) override;
    TColor32 GetSampleFixed(TFixed X, TFixed Y) override;
    TColor32 GetSampleFloat(float X, float Y) override;
    bool HasBounds() const override;
    TFloatRect GetSampleBounds() const override;

private:
    TTransformation* FTransformation; // borrowed
};

template <class R>
TCustomResamplerClass resampler_class_of() {
    // The bitmap given to Create owns the new resampler.
    static const resampler_class info{{class_name_of(typeid(R))}, [](TCustomBitmap32* bitmap) -> TCustomResampler* {
                                          return new R(bitmap);
                                      }};
    return &info;
}

// --- Block and stretch transfer. Every routine clips its rectangles to both bitmaps; a dmCustom request
// without a callback copies as dmOpaque.

// Raises EBitmapException when either is nil (the destination first).
void RequireBitmaps(const TCustomBitmap32* Dst, const TCustomBitmap32* Src);
// Applies the source pixels from (SrcX, SrcY) onward to DstArea.
void CombineBlock(TCustomBitmap32* Dst, const TRect& DstArea, TCustomBitmap32* Src, std::int32_t SrcX,
                  std::int32_t SrcY, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack);
void CopyBlock(TCustomBitmap32* Dst, std::int32_t DstX, std::int32_t DstY, const TRect& DstClip, TCustomBitmap32* Src,
               const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack = {});
// DstRect is where the whole source area would land.
void StretchBlock(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TCustomResampler* Resampler, TDrawMode CombineOp,
                  const TPixelCombineEvent& CombineCallBack = {});
// These write only inside DstClip and DstRect and report nothing. The nearest-neighbour stretch raises
// "Invalid SrcRect" for a source rectangle not inside Src; the others then do nothing.
void StretchNearestNeighbour(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                             const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack);
void StretchBilinear(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                     const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack);
void KernelStretch(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                   const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack,
                   const TCustomKernel& Kernel);
void DraftStretch(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack,
                  const TCustomKernel& Kernel);

// --- Bound routines (registry "Raster_Resamplers bindings")

// Averages a Width x Height block whose rows are RowStride bytes apart.
using average_block_proc = TColor32 (*)(std::int32_t width, std::int32_t height, const TColor32* firstPixel,
                                        std::int32_t rowStride);
// Mixes the pixel pair at TopPair (C11, C12) and the one at BottomPair (C21, C22): WX is the weight of the
// left pixels, WY of the top pair, both 0..256.
using interpolate_four_proc = TColor32 (*)(std::int32_t wx, std::int32_t wy, const TColor32* topPair,
                                           const TColor32* bottomPair);

extern average_block_proc AverageBlock;
extern interpolate_four_proc InterpolateFour;

namespace resamplers_id {
enum : std::int32_t { AverageBlock, InterpolateFour };
}

void RegisterResamplerBindings();
void Raster_Resamplers_startup();
void Raster_Resamplers_shutdown();

} // namespace kq
