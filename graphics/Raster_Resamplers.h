#pragma once

#include "graphics/Raster.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kq {

class TIntegerMap;

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
void AddKernelClass(TClass kernelClass);
// A new kernel of the listed class of exactly this name, or nil.
std::unique_ptr<TCustomKernel> create_kernel(StringView className);

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
