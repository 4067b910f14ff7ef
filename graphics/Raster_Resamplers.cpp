#include "graphics/Raster_Resamplers.h"

#include "framework/Properties.h"
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_OrdinalMaps.h"

#include <emmintrin.h>
#include <mmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kq {

average_block_proc AverageBlock;
interpolate_four_proc InterpolateFour;

namespace {

constexpr float pi_f = 3.14159265358979f;

std::unique_ptr<TClassList> kernel_classes;

} // namespace

// --- Kernels

void TCustomKernel::Changed() {
    if (FObserver)
        FObserver->Changed();
}

void TCustomKernel::AssignTo(TPersistent* dest) const {
    if (auto* kernel = dynamic_cast<TCustomKernel*>(dest)) {
        CopyPublishedProperties(this, kernel, copyable_property_kinds());
        return;
    }
    TPersistent::AssignTo(dest);
}

float TBoxKernel::Filter(float value) const {
    return value >= -0.5f && value <= 0.5f ? 1.0f : 0.0f;
}

float TLinearKernel::Filter(float value) const {
    if (value < -1.0f || value >= 1.0f)
        return 0;
    return 1.0f - std::fabs(value);
}

float TCosineKernel::Filter(float value) const {
    if (std::fabs(value) >= 1.0f)
        return 0;
    return (std::cos(pi_f * value) + 1.0f) * 0.5f;
}

float TSplineKernel::Filter(float value) const {
    const float t = std::fabs(value);
    if (t < 1.0f) {
        const float t2 = t * t;
        return t2 * t * 0.5f - t2 + 2.0f / 3.0f;
    }
    if (t < 2.0f) {
        const float u = 2.0f - t;
        return u * u * u / 6.0f;
    }
    return 0;
}

float TMitchellKernel::Filter(float value) const {
    const float t = std::fabs(value);
    const float t2 = t * t, t3 = t2 * t;
    if (t < 1.0f)
        return (21.0f * t3 - 36.0f * t2 + 16.0f) / 18.0f;
    if (t < 2.0f)
        return (36.0f * t2 - 7.0f * t3 - 60.0f * t + 32.0f) / 18.0f;
    return 0;
}

float TCubicKernel::Filter(float value) const {
    const float t = std::fabs(value);
    const float t2 = t * t, t3 = t2 * t;
    if (t < 1.0f)
        return (FCoeff + 2.0f) * t3 - (FCoeff + 3.0f) * t2 + 1.0f;
    if (t < 2.0f)
        return FCoeff * (t3 - 5.0f * t2 + 8.0f * t - 4.0f);
    return 0;
}

const property_table& TCubicKernel::PublishedProperties() const {
    static const property_table table = property_table::of<TCubicKernel>(TCustomKernel::PublishedProperties())
                                            .floating(u"Coeff", &TCubicKernel::Coeff, &TCubicKernel::SetCoeff, -0.5f);
    return table;
}

void TCubicKernel::SetCoeff(float value) {
    if (FCoeff != value) {
        FCoeff = value;
        Changed();
    }
}

float THermiteKernel::Filter(float value) const {
    const float i = std::floor(value);
    const float t = std::fabs(i - value);
    const float t2 = t * t, t3 = t2 * t;
    const float e = 3.0f * t2 - 2.0f * t3;
    const float f0 = (1.0f - FTension) * 0.5f;
    const float g = f0 * (1.0f - FBias), f = f0 * (1.0f + FBias);
    const float p = t3 - 2.0f * t2 + t, d = t3 - t2;
    if (i == -2.0f)
        return g * d;
    if (i == -1.0f)
        return e + g * p + d * (f - g);
    if (i == 0.0f)
        return p * (f - g) + (1.0f - e) - d * f;
    if (i == 1.0f)
        return -p * f;
    return 0;
}

const property_table& THermiteKernel::PublishedProperties() const {
    static const property_table table = property_table::of<THermiteKernel>(TCustomKernel::PublishedProperties())
                                            .floating(u"Bias", &THermiteKernel::Bias, &THermiteKernel::SetBias, 0.0f)
                                            .floating(u"Tension", &THermiteKernel::Tension, &THermiteKernel::SetTension, 0.0f);
    return table;
}

void THermiteKernel::SetBias(float value) {
    if (FBias != value) {
        FBias = value;
        Changed();
    }
}

void THermiteKernel::SetTension(float value) {
    if (FTension != value) {
        FTension = value;
        Changed();
    }
}

float SincValue(float x) {
    if (x == 0)
        return 1;
    const float px = pi_f * x;
    return std::sin(px) / px;
}

float TWindowedSincKernel::Filter(float value) const {
    const float t = std::fabs(value);
    if (t >= FWidth)
        return 0;
    return SincValue(t) * WindowValue(t);
}

const property_table& TWindowedSincKernel::PublishedProperties() const {
    static const property_table table =
        property_table::of<TWindowedSincKernel>(TCustomKernel::PublishedProperties())
            .floating(u"Width", &TWindowedSincKernel::Width, &TWindowedSincKernel::SetWidth, 3.0f);
    return table;
}

void TWindowedSincKernel::SetWidth(float value) {
    value = std::min(value, 16.0f);
    if (value != FWidth) {
        FWidth = value;
        FWidthReciprocal = 1.0f / value;
        Changed();
    }
}

const double AlbrechtCoefficients[10][11] = {
    {0.5383553946707251, 0.4616446053292749},
    {0.346100822018625, 0.497340635096738, 0.156558542884637},
    {0.226982412792069, 0.457254070828427, 0.273199027957384, 0.0425644884221201},
    {0.14894260601583, 0.386001173639176, 0.340977403214053, 0.1139879604246, 0.0100908567063414},
    {0.0971676200107429, 0.308845222524055, 0.362623371437917, 0.188953325525116, 0.0402095714148751,
     0.0022008890872942},
    {0.0639644241143904, 0.239938645993528, 0.350159563238205, 0.247741118970808, 0.085438256055858,
     0.0123202033692932, 0.000437788257917735},
    {0.0421072107042137, 0.182076226633776, 0.317713781059942, 0.284438001373442, 0.136762237777383,
     0.0334038053504025, 0.00341677216705768, 8.19649337831348e-05},
    {0.0276143731612611, 0.135382228758844, 0.275287234472237, 0.298843335317801, 0.185319330279284,
     0.0648884482549063, 0.0117641910285655, 0.000885987580106899, 1.48711469943406e-05},
    {0.0179908225352538, 0.098795958606521, 0.229883817001211, 0.294113019095183, 0.224338977814325,
     0.103248806248099, 0.0275674109448523, 0.00383958622947123, 0.000218971708430106, 2.62981665347889e-06},
    {0.0118717127796602, 0.0719533651951142, 0.187887160922585, 0.275808174097291, 0.248904243244464,
     0.141729867200712, 0.0502002976228256, 0.0104589649084984, 0.0011361511274166, 4.96285981703436e-05,
     4.3430326268572e-07},
};

TAlbrechtKernel::TAlbrechtKernel() {
    SetTerms(7);
}

float TAlbrechtKernel::WindowValue(float x) const {
    const float c = std::cos(pi_f * x * FWidthReciprocal);
    float r = static_cast<float>(FCoefPointer[FTerms - 1]);
    for (std::int32_t i = FTerms - 2; i >= 0; --i)
        r = static_cast<float>(r * c + FCoefPointer[i]);
    return r;
}

const property_table& TAlbrechtKernel::PublishedProperties() const {
    static const property_table table =
        property_table::of<TAlbrechtKernel>(TWindowedSincKernel::PublishedProperties())
            .integer(u"Terms", &TAlbrechtKernel::Terms, &TAlbrechtKernel::SetTerms, 7);
    return table;
}

void TAlbrechtKernel::SetTerms(std::int32_t value) {
    value = std::clamp(value, 2, 11);
    if (value != FTerms) {
        FTerms = value;
        std::copy_n(AlbrechtCoefficients[value - 2], value, FCoefPointer);
        Changed();
    }
}

float TLanczosKernel::WindowValue(float x) const {
    return SincValue(x * FWidthReciprocal);
}

TGaussianKernel::TGaussianKernel() {
    FSigmaReciprocalLn2 = -std::log(2.0f) / FSigma;
}

float TGaussianKernel::WindowValue(float x) const {
    return std::exp(FSigmaReciprocalLn2 * x * x);
}

const property_table& TGaussianKernel::PublishedProperties() const {
    static const property_table table =
        property_table::of<TGaussianKernel>(TWindowedSincKernel::PublishedProperties())
            .floating(u"Sigma", &TGaussianKernel::Sigma, &TGaussianKernel::SetSigma, 1.33f);
    return table;
}

void TGaussianKernel::SetSigma(float value) {
    if (value != FSigma && value != 0) {
        FSigma = value;
        FSigmaReciprocalLn2 = -std::log(2.0f) / value;
        Changed();
    }
}

float TBlackmanKernel::WindowValue(float x) const {
    const float c = std::cos(pi_f * x * FWidthReciprocal);
    return 0.34f + 0.5f * c + 0.16f * c * c;
}

float THannKernel::WindowValue(float x) const {
    return 0.5f + 0.5f * std::cos(pi_f * x * FWidthReciprocal);
}

float THammingKernel::WindowValue(float x) const {
    return 0.54f + 0.46f * std::cos(pi_f * x * FWidthReciprocal);
}

float TSinshKernel::Filter(float value) const {
    if (value == 0)
        return 1;
    return FCoeff * std::sin(pi_f * value) / std::sinh(pi_f * FCoeff * value);
}

const property_table& TSinshKernel::PublishedProperties() const {
    static const property_table table = property_table::of<TSinshKernel>(TCustomKernel::PublishedProperties())
                                            .floating(u"Width", &TSinshKernel::Width, &TSinshKernel::SetWidth, 3.0f)
                                            .floating(u"Coeff", &TSinshKernel::Coeff, &TSinshKernel::SetCoeff, 0.5f);
    return table;
}

void TSinshKernel::SetWidth(float value) {
    if (FWidth != value) {
        FWidth = value;
        Changed();
    }
}

void TSinshKernel::SetCoeff(float value) {
    if (value != FCoeff && value != 0) {
        FCoeff = value;
        Changed();
    }
}

// --- Class lists

TClassList* KernelClassList() {
    return kernel_classes.get();
}

void AddKernelClass(TClass kernelClass) {
    if (!kernel_classes)
        kernel_classes = std::make_unique<TClassList>();
    kernel_classes->Add(kernelClass);
}

std::unique_ptr<TCustomKernel> create_kernel(StringView className) {
    if (!kernel_classes)
        return nullptr;
    const TClass found = kernel_classes->Find(className);
    return found ? static_cast<const kernel_class*>(found)->Create() : nullptr;
}

// --- Weights

namespace {

std::int32_t weight_of(float value) {
    return static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(value) * 256.0));
}

// Ceil of the kernel's width; a negative width reaches nowhere.
std::int32_t reach_of(const TCustomKernel& kernel) {
    const float width = kernel.GetWidth();
    if (!(width > 0))
        return 0;
    return static_cast<std::int32_t>(std::ceil(std::min(width, 1.0e6f)));
}

} // namespace

void build_weight_table(const TCustomKernel& kernel, std::int32_t tableSize, TIntegerMap& table) {
    const std::int32_t w = reach_of(kernel);
    tableSize = std::max(tableSize, 2);
    table.SetSize(2 * w + 1, tableSize + 1);
    for (std::int32_t row = 0; row <= tableSize; ++row) {
        const float fraction = static_cast<float>(row) / static_cast<float>(tableSize - 1);
        std::int32_t* line = table.Scanline(row);
        std::int32_t sum = 0;
        for (std::int32_t j = -w; j <= w; ++j) {
            line[j + w] = weight_of(kernel.Filter(static_cast<float>(j) + fraction));
            sum += line[j + w];
        }
        line[w] += 256 - sum;
    }
}

TMappingTable BuildWeightMap(std::int32_t dstLo, std::int32_t dstHi, std::int32_t clipLo, std::int32_t clipHi,
                             std::int32_t srcLo, std::int32_t srcHi, const TCustomKernel& kernel) {
    TMappingTable result;
    const std::int64_t srcW = static_cast<std::int64_t>(srcHi) - srcLo;
    if (srcW <= 0 || clipHi <= clipLo)
        return result;
    const auto clusters = static_cast<std::size_t>(static_cast<std::int64_t>(clipHi) - clipLo);
    if (srcW == 1) {
        result.assign(clusters, TCluster{{srcLo, 256}});
        return result;
    }
    const float scale = static_cast<float>(static_cast<double>(static_cast<std::int64_t>(dstHi) - dstLo) /
                                           static_cast<double>(srcW));
    const std::int32_t middle = static_cast<std::int32_t>((static_cast<std::int64_t>(srcLo) + srcHi) / 2);
    if (!(scale > 0)) {
        // A collapsed (or inverted) destination takes the middle of the source.
        result.assign(clusters, TCluster{{middle, 256}});
        return result;
    }
    const float width = std::max(kernel.GetWidth(), 0.0f);
    const auto clamp_pos = [&](double j) {
        return static_cast<std::int32_t>(std::clamp(j, static_cast<double>(srcLo), static_cast<double>(srcHi - 1)));
    };
    result.resize(clusters);
    for (std::size_t i = 0; i < clusters; ++i) {
        const float center = static_cast<float>(srcLo) - 0.5f +
                             static_cast<float>(static_cast<double>(static_cast<std::int64_t>(i) + clipLo - dstLo) + 0.5) /
                                 scale;
        TCluster& cluster = result[i];
        const bool shrinking = scale < 1.0f;
        const float reach = shrinking ? width / scale : width;
        const double first = std::floor(static_cast<double>(center) - reach);
        const double last = std::ceil(static_cast<double>(center) + reach);
        for (double j = first; j <= last; j += 1.0) {
            const float distance = center - static_cast<float>(j);
            const std::int32_t weight = shrinking ? weight_of(scale * kernel.Filter(distance * scale))
                                                  : weight_of(kernel.Filter(distance));
            if (weight != 0)
                cluster.push_back({clamp_pos(j), weight});
        }
        if (cluster.empty()) {
            cluster.push_back({clamp_pos(std::floor(static_cast<double>(center))), 256});
            continue;
        }
        std::int32_t sum = 0;
        for (const TPointRec& p : cluster)
            sum += p.Weight;
        cluster[(cluster.size() - 1) / 2].Weight += 256 - sum;
    }
    return result;
}

// --- Block average and four-pixel interpolation

namespace {

// Rounds each channel's total down to the block's mean.
TColor32 mean_of(const std::uint64_t total[4], std::uint64_t count) {
    TColor32 c = 0;
    for (int k = 0; k < 4; ++k)
        c |= static_cast<TColor32>(total[k] / count) << (8 * k);
    return c;
}

const TColor32* row_at(const TColor32* first, std::int32_t row, std::int32_t rowStride) {
    return reinterpret_cast<const TColor32*>(reinterpret_cast<const std::uint8_t*>(first) +
                                             static_cast<std::ptrdiff_t>(row) * rowStride);
}

TColor32 average_block_plain(std::int32_t width, std::int32_t height, const TColor32* first, std::int32_t rowStride) {
    if (width <= 0 || height <= 0)
        return 0;
    std::uint64_t total[4] = {};
    for (std::int32_t y = 0; y < height; ++y) {
        const TColor32* p = row_at(first, y, rowStride);
        for (std::int32_t x = 0; x < width; ++x)
            for (int k = 0; k < 4; ++k)
                total[k] += (p[x] >> (8 * k)) & 0xFF;
    }
    return mean_of(total, static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
}

// Rows are summed in 16-bit lanes, at most 256 pixels per lane before the lanes are emptied into the totals,
// so no lane can wrap.
TColor32 average_block_mmx(std::int32_t width, std::int32_t height, const TColor32* first, std::int32_t rowStride) {
    if (width <= 0 || height <= 0)
        return 0;
    std::uint64_t total[4] = {};
    const __m64 zero = _mm_setzero_si64();
    for (std::int32_t y = 0; y < height; ++y) {
        const TColor32* p = row_at(first, y, rowStride);
        for (std::int32_t x = 0; x < width;) {
            const std::int32_t stop = std::min(width, x + 256);
            __m64 sum = zero;
            for (; x < stop; ++x)
                sum = _mm_add_pi16(sum, _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(p[x])), zero));
            std::uint16_t lanes[4];
            std::memcpy(lanes, &sum, sizeof lanes);
            for (int k = 0; k < 4; ++k)
                total[k] += lanes[k];
        }
    }
    _mm_empty();
    return mean_of(total, static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
}

TColor32 average_block_sse2(std::int32_t width, std::int32_t height, const TColor32* first, std::int32_t rowStride) {
    if (width <= 0 || height <= 0)
        return 0;
    std::uint64_t total[4] = {};
    const __m128i zero = _mm_setzero_si128();
    for (std::int32_t y = 0; y < height; ++y) {
        const TColor32* p = row_at(first, y, rowStride);
        for (std::int32_t x = 0; x < width;) {
            const std::int32_t stop = std::min(width, x + 256);
            __m128i sum = zero;
            for (; x + 2 <= stop; x += 2)
                sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + x)), zero));
            if (x < stop)
                sum = _mm_add_epi16(sum, _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[x++])), zero));
            std::uint16_t lanes[8];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sum);
            for (int k = 0; k < 4; ++k)
                total[k] += static_cast<std::uint64_t>(lanes[k]) + lanes[k + 4];
        }
    }
    return mean_of(total, static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
}

// Weights capped at 255 for the bound CombineColors, so this form can round differently from the others.
TColor32 interpolate_four_plain(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom) {
    wx = std::min(wx, 255);
    wy = std::min(wy, 255);
    return CombineColors(CombineColors(top[0], top[1], wx), CombineColors(bottom[0], bottom[1], wx), wy);
}

TColor32 interpolate_four_mmx(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom) {
    const __m64 zero = _mm_setzero_si64();
    const auto unpack = [zero](TColor32 c) { return _mm_unpacklo_pi8(_mm_cvtsi32_si64(static_cast<int>(c)), zero); };
    const __m64 w1 = _mm_set1_pi16(static_cast<short>(wx)), w2 = _mm_set1_pi16(static_cast<short>(256 - wx));
    const __m64 t = _mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(unpack(top[0]), w1), _mm_mullo_pi16(unpack(top[1]), w2)), 8);
    const __m64 b =
        _mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(unpack(bottom[0]), w1), _mm_mullo_pi16(unpack(bottom[1]), w2)), 8);
    const __m64 v1 = _mm_set1_pi16(static_cast<short>(wy)), v2 = _mm_set1_pi16(static_cast<short>(256 - wy));
    const __m64 r = _mm_srli_pi16(_mm_add_pi16(_mm_mullo_pi16(t, v1), _mm_mullo_pi16(b, v2)), 8);
    const auto result = static_cast<TColor32>(_mm_cvtsi64_si32(_mm_packs_pu16(r, r)));
    _mm_empty();
    return result;
}

// Both pairs in one register: lanes 0..3 the left pixel, 4..7 the right one.
TColor32 interpolate_four_sse2(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i wxs = _mm_set_epi16(short(256 - wx), short(256 - wx), short(256 - wx), short(256 - wx), short(wx),
                                      short(wx), short(wx), short(wx));
    const __m128i t = _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top)), zero), wxs);
    const __m128i b =
        _mm_mullo_epi16(_mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom)), zero), wxs);
    // Top in lanes 0..3 and bottom in 4..7 after adding each pair's halves.
    const __m128i tops = _mm_add_epi16(t, _mm_srli_si128(t, 8));
    const __m128i bottoms = _mm_add_epi16(b, _mm_srli_si128(b, 8));
    const __m128i rows = _mm_srli_epi16(_mm_unpacklo_epi64(tops, bottoms), 8);
    const __m128i wys = _mm_set_epi16(short(256 - wy), short(256 - wy), short(256 - wy), short(256 - wy), short(wy),
                                      short(wy), short(wy), short(wy));
    const __m128i m = _mm_mullo_epi16(rows, wys);
    const __m128i r = _mm_srli_epi16(_mm_add_epi16(m, _mm_srli_si128(m, 8)), 8);
    return static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
}

} // namespace

void RegisterResamplerBindings() {
    namespace id = resamplers_id;
    TFunctionRegistry& r = *NewFunctionRegistry(u"Raster_Resamplers bindings");
    r.RegisterBinding(id::AverageBlock, &kq::AverageBlock);
    r.RegisterBinding(id::InterpolateFour, &kq::InterpolateFour);
    r.Add(id::AverageBlock, average_block_plain);
    r.Add(id::AverageBlock, average_block_mmx, TCPUFeatures{ciMMX});
    r.Add(id::AverageBlock, average_block_sse2, TCPUFeatures{ciSSE2});
    r.Add(id::InterpolateFour, interpolate_four_plain);
    r.Add(id::InterpolateFour, interpolate_four_mmx, TCPUFeatures{ciMMX, ciSSE});
    r.Add(id::InterpolateFour, interpolate_four_sse2, TCPUFeatures{ciSSE2});
    r.RebindAll();
}

void Raster_Resamplers_startup() {
    RegisterResamplerBindings();
    AddKernelClass(kernel_class_of<TBoxKernel>());
    AddKernelClass(kernel_class_of<TLinearKernel>());
    AddKernelClass(kernel_class_of<TCosineKernel>());
    AddKernelClass(kernel_class_of<TSplineKernel>());
    AddKernelClass(kernel_class_of<TCubicKernel>());
    AddKernelClass(kernel_class_of<TMitchellKernel>());
    AddKernelClass(kernel_class_of<TAlbrechtKernel>());
    AddKernelClass(kernel_class_of<TLanczosKernel>());
    AddKernelClass(kernel_class_of<TGaussianKernel>());
    AddKernelClass(kernel_class_of<TBlackmanKernel>());
    AddKernelClass(kernel_class_of<THannKernel>());
    AddKernelClass(kernel_class_of<THammingKernel>());
    AddKernelClass(kernel_class_of<TSinshKernel>());
    AddKernelClass(kernel_class_of<THermiteKernel>());
}

void Raster_Resamplers_shutdown() {
    kernel_classes.reset();
}

} // namespace kq
