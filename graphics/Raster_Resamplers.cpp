// The resamplers and the block and stretch transfers they run share one unit; the file is long for that.
#include "graphics/Raster_Resamplers.h"

#include "framework/Properties.h"
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_OrdinalMaps.h"
#include "graphics/Raster_Transforms.h"

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

void AddKernelClass(TClass kernel_class) {
    if (!kernel_classes)
        kernel_classes = std::make_unique<TClassList>();
    kernel_classes->Add(kernel_class);
}

std::unique_ptr<TCustomKernel> create_kernel(StringView class_name) {
    if (!kernel_classes)
        return nullptr;
    const TClass found = kernel_classes->Find(class_name);
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

// --- Applying colours to the destination

namespace {

// How computed colours reach the destination, chosen once per call from the source's settings.
struct combine_op {
    TDrawMode mode;
    std::int32_t master;
    TColor32 outer;
    TBlendMemEx blend;              // pixel with master alpha, by the source's combine mode
    blend_line_proc row;            // rows at full master alpha
    blend_line_ex_proc row_alpha;   // rows with master alpha
    const TPixelCombineEvent* callback;
};

combine_op combine_of(const TCustomBitmap32& src, TDrawMode mode, const TPixelCombineEvent& callback) {
    if (mode == dmCustom && !callback)
        mode = dmOpaque;
    const TCombineMode cm = src.CombineMode();
    return {mode,
            static_cast<std::int32_t>(std::min<std::uint32_t>(src.MasterAlpha(), 0x7FFFFFFF)),
            src.OuterColor(),
            *blend_pixel_alpha_by_mode[cm],
            *blend_row_by_mode[cm],
            *blend_row_alpha_by_mode[cm],
            &callback};
}

// One computed colour onto one pixel, as the scaled transfers apply it.
inline void apply_pixel(const combine_op& op, TColor32 c, TColor32& d) {
    switch (op.mode) {
    case dmOpaque:
        d = c;
        break;
    case dmBlend:
        op.blend(c, d, op.master);
        break;
    case dmCustom:
        (*op.callback)(c, d, static_cast<TColor32>(op.master));
        break;
    case dmTransparent:
        if (c != op.outer)
            d = c;
        break;
    }
}

void apply_row(const combine_op& op, const TColor32* src, TColor32* dst, std::int32_t count) {
    switch (op.mode) {
    case dmOpaque:
        std::memmove(dst, src, static_cast<std::size_t>(count) * sizeof(TColor32));
        break;
    case dmBlend:
        for (std::int32_t i = 0; i < count; ++i)
            op.blend(src[i], dst[i], op.master);
        break;
    default:
        for (std::int32_t i = 0; i < count; ++i)
            apply_pixel(op, src[i], dst[i]);
        break;
    }
}

// The block transfers blend whole rows.
void apply_block_row(const combine_op& op, const TColor32* src, TColor32* dst, std::int32_t count) {
    const auto s = reinterpret_cast<std::uintptr_t>(src), d = reinterpret_cast<std::uintptr_t>(dst);
    const auto bytes = static_cast<std::uintptr_t>(count) * sizeof(TColor32);
    if (op.mode == dmOpaque && (s + bytes <= d || d + bytes <= s)) {
        std::memcpy(dst, src, static_cast<std::size_t>(count) * sizeof(TColor32));
        return;
    }
    if (op.mode == dmBlend) {
        if (op.master >= 255)
            op.row(src, dst, count);
        else
            op.row_alpha(src, dst, count, op.master);
        return;
    }
    apply_row(op, src, dst, count);
}

bool blend_without_alpha(const TCustomBitmap32& src, TDrawMode mode) {
    return mode == dmBlend && src.MasterAlpha() == 0;
}

std::int32_t saturate(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

TRect offset_saturated(const TRect& r, std::int64_t dx, std::int64_t dy) {
    return {saturate(r.Left + dx), saturate(r.Top + dy), saturate(r.Right + dx), saturate(r.Bottom + dy)};
}

// R := R ∩ By; true when something is left.
bool clip_to(TRect& r, const TRect& by) {
    TRect out;
    IntersectRects(out, r, by);
    r = out;
    return !RectIsEmpty(r);
}

bool inside(const TRect& inner, const TRect& outer) {
    return !RectIsEmpty(inner) && inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

// Runs EndBlending at scope end, also when a callback raises.
struct end_blending_at_exit {
    end_blending_at_exit() = default;
    end_blending_at_exit(const end_blending_at_exit&) = delete;
    end_blending_at_exit& operator=(const end_blending_at_exit&) = delete;
    ~end_blending_at_exit() { EndBlending(); }
};

// DstClip within the destination and DstRect; false when nothing is left.
bool stretch_clip(const TCustomBitmap32& dst, const TRect& dstRect, TRect& dstClip) {
    return clip_to(dstClip, dst.BoundsRect()) && clip_to(dstClip, dstRect);
}

} // namespace

// --- Block transfer

void RequireBitmaps(const TCustomBitmap32* Dst, const TCustomBitmap32* Src) {
    if (!Dst)
        throw EBitmapException(u"Destination bitmap is nil");
    if (!Src)
        throw EBitmapException(u"Source bitmap is nil");
}

void CombineBlock(TCustomBitmap32* Dst, const TRect& DstArea, TCustomBitmap32* Src, std::int32_t SrcX,
                  std::int32_t SrcY, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    // Clip the area so that both its destination and its source part lie inside their bitmaps.
    TRect area = DstArea;
    if (!clip_to(area, Dst->BoundsRect()))
        return;
    const std::int64_t dx = static_cast<std::int64_t>(SrcX) - DstArea.Left;
    const std::int64_t dy = static_cast<std::int64_t>(SrcY) - DstArea.Top;
    if (!clip_to(area, offset_saturated(Src->BoundsRect(), -dx, -dy)))
        return;
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const std::int32_t width = area.Right - area.Left;
    const std::int32_t sx = static_cast<std::int32_t>(area.Left + dx);
    const std::int32_t sy = static_cast<std::int32_t>(area.Top + dy);
    // Copying within one bitmap downwards runs bottom-up so no source row is overwritten before it is read.
    const bool bottom_up = Dst == Src && sy < area.Top;
    std::vector<TColor32> row;
    if (Dst == Src && op.mode != dmOpaque)
        row.resize(static_cast<std::size_t>(width));
    for (std::int32_t k = 0; k < area.Bottom - area.Top; ++k) {
        const std::int32_t i = bottom_up ? area.Bottom - area.Top - 1 - k : k;
        const TColor32* s = Src->PixelPtr(sx, sy + i);
        TColor32* d = Dst->PixelPtr(area.Left, area.Top + i);
        if (!row.empty()) {
            std::memcpy(row.data(), s, row.size() * sizeof(TColor32));
            s = row.data();
        }
        apply_block_row(op, s, d, width);
    }
}

void CopyBlock(TCustomBitmap32* Dst, std::int32_t DstX, std::int32_t DstY, const TRect& DstClip, TCustomBitmap32* Src,
               const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    if (Dst->Empty() || Src->Empty() || blend_without_alpha(*Src, CombineOp))
        return;
    TRect clip = DstClip;
    TRect src = SrcRect;
    if (!clip_to(clip, Dst->BoundsRect()) || !clip_to(src, Src->BoundsRect()))
        return;
    const std::int64_t dx = static_cast<std::int64_t>(DstX) - SrcRect.Left;
    const std::int64_t dy = static_cast<std::int64_t>(DstY) - SrcRect.Top;
    TRect area = offset_saturated(src, dx, dy);
    if (!clip_to(area, clip))
        return;
    if (!Dst->MeasuringMode()) {
        end_blending_at_exit done;
        CombineBlock(Dst, area, Src, static_cast<std::int32_t>(area.Left - dx), static_cast<std::int32_t>(area.Top - dy),
                     CombineOp, CombineCallBack);
    }
    Dst->Changed(area, AreaInfoRect);
}

void StretchBlock(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TCustomResampler* Resampler, TDrawMode CombineOp,
                  const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    if (Src->Empty() || Dst->Empty() || blend_without_alpha(*Src, CombineOp) || RectIsEmpty(SrcRect))
        return;
    // A source rectangle reaching outside the source moves the destination's edges by the scaled overhang.
    TRect dstRect = DstRect, srcRect = SrcRect;
    const double scaleX = (static_cast<double>(DstRect.Right) - DstRect.Left) / (static_cast<double>(SrcRect.Right) - SrcRect.Left);
    const double scaleY = (static_cast<double>(DstRect.Bottom) - DstRect.Top) / (static_cast<double>(SrcRect.Bottom) - SrcRect.Top);
    const auto moved = [](std::int32_t edge, double by) {
        return saturate(static_cast<std::int64_t>(std::clamp(edge + by, -4.0e9, 4.0e9)));
    };
    if (srcRect.Left < 0) {
        dstRect.Left = moved(dstRect.Left, std::ceil(-static_cast<double>(srcRect.Left) * scaleX));
        srcRect.Left = 0;
    }
    if (srcRect.Top < 0) {
        dstRect.Top = moved(dstRect.Top, std::ceil(-static_cast<double>(srcRect.Top) * scaleY));
        srcRect.Top = 0;
    }
    if (srcRect.Right > Src->Width()) {
        dstRect.Right = moved(dstRect.Right, -std::floor((static_cast<double>(srcRect.Right) - Src->Width()) * scaleX));
        srcRect.Right = Src->Width();
    }
    if (srcRect.Bottom > Src->Height()) {
        dstRect.Bottom = moved(dstRect.Bottom, -std::floor((static_cast<double>(srcRect.Bottom) - Src->Height()) * scaleY));
        srcRect.Bottom = Src->Height();
    }
    if (RectIsEmpty(srcRect))
        return;
    if (!Dst->MeasuringMode()) {
        TRect clip = DstClip;
        if (!stretch_clip(*Dst, dstRect, clip))
            return;
        end_blending_at_exit done;
        if (dstRect.Right - dstRect.Left == srcRect.Right - srcRect.Left &&
            dstRect.Bottom - dstRect.Top == srcRect.Bottom - srcRect.Top)
            CombineBlock(Dst, clip, Src, srcRect.Left + clip.Left - dstRect.Left, srcRect.Top + clip.Top - dstRect.Top,
                         CombineOp, CombineCallBack);
        else if (Resampler)
            Resampler->Resample(Dst, dstRect, clip, Src, srcRect, CombineOp, CombineCallBack);
    }
    Dst->Changed(dstRect, AreaInfoRect);
}

// --- Stretches

void StretchNearestNeighbour(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                             const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip))
        return;
    if (!inside(SrcRect, Src->BoundsRect()))
        throw Exception(u"Invalid SrcRect");
    const std::int64_t srcW = SrcRect.Right - SrcRect.Left, srcH = SrcRect.Bottom - SrcRect.Top;
    const std::int64_t dstW = static_cast<std::int64_t>(DstRect.Right) - DstRect.Left;
    const std::int64_t dstH = static_cast<std::int64_t>(DstRect.Bottom) - DstRect.Top;
    if (dstW == srcW && dstH == srcH) {
        CombineBlock(Dst, clip, Src, static_cast<std::int32_t>(SrcRect.Left + clip.Left - DstRect.Left),
                     static_cast<std::int32_t>(SrcRect.Top + clip.Top - DstRect.Top), CombineOp, CombineCallBack);
        return;
    }
    const std::int32_t clipW = clip.Right - clip.Left;
    std::vector<std::int32_t> columns(static_cast<std::size_t>(clipW));
    for (std::int32_t i = 0; i < clipW; ++i)
        columns[static_cast<std::size_t>(i)] =
            dstW < 2 ? (SrcRect.Left + SrcRect.Right - 1) / 2
                     : static_cast<std::int32_t>(SrcRect.Left + (i + clip.Left - DstRect.Left) * srcW / dstW);
    const auto source_row = [&](std::int32_t y) {
        return dstH < 2 ? (SrcRect.Top + SrcRect.Bottom - 1) / 2
                        : static_cast<std::int32_t>(SrcRect.Top + (y + clip.Top - DstRect.Top) * srcH / dstH);
    };
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    std::vector<TColor32> buffer;
    if (op.mode != dmOpaque)
        buffer.resize(static_cast<std::size_t>(clipW));
    std::int32_t previous = -1;
    for (std::int32_t y = 0; y < clip.Bottom - clip.Top; ++y) {
        const std::int32_t row = source_row(y);
        TColor32* d = Dst->PixelPtr(clip.Left, clip.Top + y);
        if (op.mode == dmOpaque) {
            if (row == previous && y > 0)
                std::memcpy(d, Dst->PixelPtr(clip.Left, clip.Top + y - 1), static_cast<std::size_t>(clipW) * sizeof(TColor32));
            else {
                const TColor32* s = Src->ScanLine(row);
                for (std::int32_t i = 0; i < clipW; ++i)
                    d[i] = s[columns[static_cast<std::size_t>(i)]];
            }
        } else {
            if (row != previous) {
                const TColor32* s = Src->ScanLine(row);
                for (std::int32_t i = 0; i < clipW; ++i)
                    buffer[static_cast<std::size_t>(i)] = s[columns[static_cast<std::size_t>(i)]];
            }
            apply_row(op, buffer.data(), d, clipW);
        }
        previous = row;
    }
}

namespace {

struct linear_map_entry {
    std::int32_t Pos;    // the first of the two source pixels
    std::int32_t Weight; // of the first, 0..256
};

// One axis of the bilinear stretch: centres mapped back, clamped to the source, and the last source pixel
// read as the second of a pair so that no read passes SrcHi.
std::vector<linear_map_entry> linear_map(std::int32_t dstLo, std::int32_t dstHi, std::int32_t clipLo,
                                         std::int32_t clipHi, std::int32_t srcLo, std::int32_t srcHi,
                                         std::int32_t srcSize) {
    std::vector<linear_map_entry> map(static_cast<std::size_t>(clipHi - clipLo));
    const double scale = (static_cast<double>(srcHi) - srcLo) / (static_cast<double>(dstHi) - dstLo);
    for (std::size_t i = 0; i < map.size(); ++i) {
        double t = srcLo - 0.5 + (static_cast<double>(clipLo) + static_cast<double>(i) - dstLo + 0.5) * scale;
        t = std::clamp(t, 0.0, static_cast<double>(srcSize - 1));
        const double pos = std::floor(t);
        map[i] = {static_cast<std::int32_t>(pos),
                  256 - static_cast<std::int32_t>(detail::round_half_even((t - pos) * 256.0))};
    }
    for (auto it = map.rbegin(); it != map.rend() && it->Pos + 1 >= srcHi; ++it)
        *it = {it->Pos - 1, 0};
    return map;
}

} // namespace

namespace {

// Lanes 0..3 weigh the left pixel of a pair, lanes 4..7 the right one.
struct alignas(16) pair_weight {
    __m128i lanes;
};

pair_weight pair_weights(std::int32_t w) {
    const auto a = static_cast<short>(w), b = static_cast<short>(256 - w);
    return {_mm_set_epi16(b, b, b, b, a, a, a, a)};
}

struct sse2_column {
    pair_weight weight;
    std::int32_t pos;
};

// The top and bottom pair of one destination pixel, each mixed by its column weight: top sums in lanes 0..3,
// bottom sums in 4..7.
inline __m128i mix_pairs(const sse2_column& c, const TColor32* top, const TColor32* bottom) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_mullo_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + c.pos)), zero), c.weight.lanes);
    const __m128i b = _mm_mullo_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom + c.pos)), zero), c.weight.lanes);
    return _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(t, b), _mm_unpackhi_epi64(t, b)), 8);
}

// A row of the bilinear stretch, exactly as the SSE2 four-pixel interpolator computes each pixel, two
// pixels at a time.
void interpolate_row_sse2(const sse2_column* columns, std::size_t count, const TColor32* top, std::int32_t rowWidth,
                          std::int32_t wy, TColor32* out) {
    const __m128i vertical = pair_weights(wy).lanes;
    const TColor32* bottom = top + rowWidth;
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i m0 = _mm_mullo_epi16(mix_pairs(columns[i], top, bottom), vertical);
        const __m128i m1 = _mm_mullo_epi16(mix_pairs(columns[i + 1], top, bottom), vertical);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(m0, m1), _mm_unpackhi_epi64(m0, m1)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(r, r));
    }
    if (i < count) {
        const __m128i m = _mm_mullo_epi16(mix_pairs(columns[i], top, bottom), vertical);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(m, _mm_srli_si128(m, 8)), 8);
        out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
    }
}

// A row of the bilinear stretch whose row weight is 256: the lower row adds nothing (its weight is 0) and
// the vertical mix gives the upper row's horizontal mix back exactly, so only that row is read.
void interpolate_top_row_sse2(const sse2_column* columns, std::size_t count, const TColor32* top, TColor32* out) {
    const __m128i zero = _mm_setzero_si128();
    const auto mixed = [&](std::size_t i) {
        return _mm_mullo_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + columns[i].pos)), zero),
            columns[i].weight.lanes);
    };
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i t0 = mixed(i), t1 = mixed(i + 1);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(r, r));
    }
    if (i < count) {
        const __m128i t = mixed(i);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_si128(t, 8)), 8);
        out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
    }
}

// One source row mixed horizontally for every destination column (four 16-bit lanes per column), kept
// while destination rows share their source rows.
void mix_row_sse2(const sse2_column* columns, std::size_t count, const TColor32* row, std::uint16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t i = 0; i < count; ++i) {
        const __m128i t = _mm_mullo_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + columns[i].pos)), zero),
            columns[i].weight.lanes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i), _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_si128(t, 8)), 8));
    }
}

// The vertical mix of two mixed rows, two pixels at a time.
void mix_rows_sse2(const std::uint16_t* top, const std::uint16_t* bottom, std::size_t count, std::int32_t wy,
                   TColor32* out) {
    const __m128i a = _mm_set1_epi16(static_cast<short>(wy)), b = _mm_set1_epi16(static_cast<short>(256 - wy));
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 4 * i));
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 4 * i));
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, a), _mm_mullo_epi16(u, b)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(r, r));
    }
    if (i < count) {
        const __m128i t = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + 4 * i));
        const __m128i u = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom + 4 * i));
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, a), _mm_mullo_epi16(u, b)), 8);
        out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
    }
}

} // namespace

void StretchBilinear(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                     const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip) || !inside(SrcRect, Src->BoundsRect()))
        return;
    // A pair needs two source pixels on each axis; a single column or row is the linear kernel's case.
    if (SrcRect.Right - SrcRect.Left < 2 || SrcRect.Bottom - SrcRect.Top < 2) {
        const TLinearKernel linear;
        KernelStretch(Dst, DstRect, clip, Src, SrcRect, CombineOp, CombineCallBack, linear);
        return;
    }
    const auto columns = linear_map(DstRect.Left, DstRect.Right, clip.Left, clip.Right, SrcRect.Left, SrcRect.Right,
                                    Src->Width());
    const auto rows = linear_map(DstRect.Top, DstRect.Bottom, clip.Top, clip.Bottom, SrcRect.Top, SrcRect.Bottom,
                                 Src->Height());
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const interpolate_four_proc interpolate = InterpolateFour;
    end_blending_at_exit done;
    const std::int32_t width = Src->Width();
    // With the SSE2 interpolator bound, whole rows run inline with the same arithmetic; when enlarging
    // vertically, the horizontal mix of a source row serves every destination row that reads it.
    const bool inline_rows = interpolate == interpolate_four_sse2;
    const bool keep_rows = inline_rows && clip.Bottom - clip.Top > 1 && DstRect.Bottom - DstRect.Top > SrcRect.Bottom - SrcRect.Top;
    std::vector<sse2_column> sse2_columns;
    if (inline_rows)
        for (const linear_map_entry& c : columns)
            sse2_columns.push_back({pair_weights(c.Weight), c.Pos});
    std::vector<std::uint16_t> mixed_top(keep_rows ? 4 * columns.size() : 0), mixed_bottom(mixed_top.size());
    std::int32_t mixed_pos = -1; // the source row in mixed_top; none yet
    bool mixed = false;
    std::vector<TColor32> line(op.mode == dmOpaque ? 0 : columns.size());
    for (std::size_t y = 0; y < rows.size(); ++y) {
        const TColor32* top = Src->ScanLine(rows[y].Pos);
        const std::int32_t wy = rows[y].Weight;
        TColor32* d = Dst->PixelPtr(clip.Left, clip.Top + static_cast<std::int32_t>(y));
        TColor32* out = line.empty() ? d : line.data();
        if (keep_rows) {
            if (mixed && rows[y].Pos == mixed_pos + 1) {
                mixed_top.swap(mixed_bottom);
                mix_row_sse2(sse2_columns.data(), columns.size(), top + width, mixed_bottom.data());
            } else if (!mixed || rows[y].Pos != mixed_pos) {
                mix_row_sse2(sse2_columns.data(), columns.size(), top, mixed_top.data());
                mix_row_sse2(sse2_columns.data(), columns.size(), top + width, mixed_bottom.data());
            }
            mixed_pos = rows[y].Pos;
            mixed = true;
            mix_rows_sse2(mixed_top.data(), mixed_bottom.data(), columns.size(), wy, out);
        } else if (inline_rows && wy == 256) {
            interpolate_top_row_sse2(sse2_columns.data(), columns.size(), top, out);
        } else if (inline_rows) {
            interpolate_row_sse2(sse2_columns.data(), columns.size(), top, width, wy, out);
        } else {
            for (std::size_t i = 0; i < columns.size(); ++i)
                out[i] = interpolate(columns[i].Weight, wy, top + columns[i].Pos, top + columns[i].Pos + width);
        }
        if (!line.empty())
            apply_row(op, line.data(), d, static_cast<std::int32_t>(line.size()));
    }
}

void KernelStretch(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                   const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack,
                   const TCustomKernel& Kernel) {
    RequireBitmaps(Dst, Src);
    if (blend_without_alpha(*Src, CombineOp))
        return;
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip) || !inside(SrcRect, Src->BoundsRect()))
        return;
    const TMappingTable columns =
        BuildWeightMap(DstRect.Left, DstRect.Right, clip.Left, clip.Right, SrcRect.Left, SrcRect.Right, Kernel);
    const TMappingTable rows =
        BuildWeightMap(DstRect.Top, DstRect.Bottom, clip.Top, clip.Bottom, SrcRect.Top, SrcRect.Bottom, Kernel);
    if (columns.empty() || rows.empty())
        return;
    std::int32_t first = INT32_MAX, last = INT32_MIN;
    for (const TCluster& cluster : columns)
        for (const TPointRec& p : cluster) {
            first = std::min(first, p.Pos);
            last = std::max(last, p.Pos);
        }
    struct entry {
        std::int32_t B, G, R, A;
    };
    std::vector<entry> buffer(static_cast<std::size_t>(last - first + 1));
    std::vector<TColor32> line(columns.size());
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const bool clamps = Kernel.NeedsClamping();
    const auto channel = [clamps](std::int32_t sum) {
        if (clamps)
            sum = std::clamp(sum, 0, 0xFF0000);
        return static_cast<TColor32>((sum >> 16) & 0xFF);
    };
    end_blending_at_exit done;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        for (std::int32_t x = first; x <= last; ++x) {
            entry e{0, 0, 0, 0};
            for (const TPointRec& p : rows[y]) {
                const TColor32 c = Src->GetPixel(x, p.Pos);
                e.B += static_cast<std::int32_t>(c & 0xFF) * p.Weight;
                e.G += static_cast<std::int32_t>((c >> 8) & 0xFF) * p.Weight;
                e.R += static_cast<std::int32_t>((c >> 16) & 0xFF) * p.Weight;
                e.A += static_cast<std::int32_t>(c >> 24) * p.Weight;
            }
            buffer[static_cast<std::size_t>(x - first)] = e;
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            entry sum{0, 0, 0, 0};
            for (const TPointRec& p : columns[i]) {
                const entry& e = buffer[static_cast<std::size_t>(p.Pos - first)];
                sum.B += e.B * p.Weight;
                sum.G += e.G * p.Weight;
                sum.R += e.R * p.Weight;
                sum.A += e.A * p.Weight;
            }
            line[i] = channel(sum.A) << 24 | channel(sum.R) << 16 | channel(sum.G) << 8 | channel(sum.B);
        }
        apply_row(op, line.data(), Dst->PixelPtr(clip.Left, clip.Top + static_cast<std::int32_t>(y)),
                  static_cast<std::int32_t>(line.size()));
    }
}

void DraftStretch(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack,
                  const TCustomKernel& Kernel) {
    RequireBitmaps(Dst, Src);
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip) || !inside(SrcRect, Src->BoundsRect()))
        return;
    const std::int32_t srcW = SrcRect.Right - SrcRect.Left, srcH = SrcRect.Bottom - SrcRect.Top;
    const std::int64_t dstW = static_cast<std::int64_t>(DstRect.Right) - DstRect.Left;
    const std::int64_t dstH = static_cast<std::int64_t>(DstRect.Bottom) - DstRect.Top;
    if (dstW > srcW || dstH > srcH) {
        if (srcW < 2 || srcH < 2)
            KernelStretch(Dst, DstRect, clip, Src, SrcRect, CombineOp, CombineCallBack, Kernel);
        else
            StretchBilinear(Dst, DstRect, clip, Src, SrcRect, CombineOp, CombineCallBack);
        return;
    }
    const float scaleX = static_cast<float>(srcW) / static_cast<float>(dstW);
    const float scaleY = static_cast<float>(srcH) / static_cast<float>(dstH);
    const std::int32_t firstX =
        SrcRect.Left + static_cast<std::int32_t>(static_cast<float>(clip.Left - DstRect.Left) * scaleX);
    const std::int32_t firstY =
        SrcRect.Top + static_cast<std::int32_t>(static_cast<float>(clip.Top - DstRect.Top) * scaleY);
    const std::int64_t sx = static_cast<std::int64_t>(scaleX * 65536.0f);
    const std::int64_t sy = static_cast<std::int64_t>(scaleY * 65536.0f);
    // Block edges as offsets from the first pixel, held inside the source rectangle.
    const auto edge = [](std::int64_t k, std::int64_t step, std::int32_t first, std::int32_t limit) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(first + ((k * step) >> 16), limit));
    };
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const average_block_proc average = AverageBlock;
    const std::int32_t stride = Src->Width() * 4;
    end_blending_at_exit done;
    for (std::int32_t y = 0; y < clip.Bottom - clip.Top; ++y) {
        const std::int32_t y0 = std::min(edge(y, sy, firstY, SrcRect.Bottom), SrcRect.Bottom - 1);
        const std::int32_t dy = std::max(edge(y + 1, sy, firstY, SrcRect.Bottom) - y0, 1);
        TColor32* d = Dst->PixelPtr(clip.Left, clip.Top + y);
        for (std::int32_t x = 0; x < clip.Right - clip.Left; ++x) {
            const std::int32_t x0 = std::min(edge(x, sx, firstX, SrcRect.Right), SrcRect.Right - 1);
            const std::int32_t dx = std::max(edge(x + 1, sx, firstX, SrcRect.Right) - x0, 1);
            apply_pixel(op, average(dx, dy, Src->PixelPtr(x0, y0), stride), d[x]);
        }
    }
}

// --- Resamplers

TColor32 TNearestResampler::ReadPixelTransparentEdge(std::int32_t X, std::int32_t Y) const {
    const TRect& clip = FClipRect;
    if (RectIsEmpty(clip) || !FBitmap)
        return 0;
    const std::int32_t x = std::clamp(X, clip.Left, clip.Right - 1);
    const std::int32_t y = std::clamp(Y, clip.Top, clip.Bottom - 1);
    const TColor32 c = FBitmap->GetPixel(x, y);
    return x != X || y != Y ? c & 0x00FFFFFF : c;
}

TColor32 TNearestResampler::GetSampleInt(std::int32_t X, std::int32_t Y) {
    switch (FPixelAccessMode) {
    case pamUnsafe:
        return FBitmap->GetPixel(X, Y);
    case pamSafe:
        return FBitmap->GetPixelS(X, Y);
    case pamWrap:
        return FBitmap->GetPixelW(X, Y);
    case pamTransparentEdge:
        break;
    }
    return ReadPixelTransparentEdge(X, Y);
}

TColor32 TNearestResampler::GetSampleFixed(TFixed X, TFixed Y) {
    return GetSampleInt(FixedToIntNearest(X), FixedToIntNearest(Y));
}

TColor32 TNearestResampler::GetSampleFloat(float X, float Y) {
    const auto nearest = [](float v) {
        return static_cast<std::int32_t>(detail::round_half_even(std::clamp(static_cast<double>(v), -2.0e9, 2.0e9)));
    };
    return GetSampleInt(nearest(X), nearest(Y));
}

void TNearestResampler::Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                                 TCustomBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                                 const TPixelCombineEvent& CombineCallBack) {
    StretchNearestNeighbour(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack);
}

TLinearResampler::TLinearResampler() = default;

TLinearResampler::TLinearResampler(TCustomBitmap32* ABitmap) : TCustomResampler(ABitmap) {}

TColor32 TLinearResampler::ReadLinearTransparentEdge(TFixed X, TFixed Y) const {
    const TRect& clip = FClipRect;
    if (RectIsEmpty(clip) || !FBitmap)
        return 0;
    const std::int32_t i = X >> 16, j = Y >> 16;
    const std::int32_t r = clip.Right - 1, b = clip.Bottom - 1;
    if (clip.Left <= i && i < r && clip.Top <= j && j < b) {
        const TColor32 c = FBitmap->SamplePixel256(X >> 8, Y >> 8);
        EndBlending();
        return c;
    }
    if (i < clip.Left - 1 || j < clip.Top - 1 || i > r || j > b)
        return 0;
    const auto sign = [](TFixed v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };
    const std::int32_t x1 = std::clamp(i, 0, r), x2 = std::clamp(i + sign(X), 0, r);
    const std::int32_t y1 = std::clamp(j, 0, b), y2 = std::clamp(j + sign(Y), 0, b);
    TColor32 c1 = FBitmap->GetPixel(x1, y1), c2 = FBitmap->GetPixel(x2, y1);
    TColor32 c3 = FBitmap->GetPixel(x1, y2), c4 = FBitmap->GetPixel(x2, y2);
    constexpr TColor32 colour = 0x00FFFFFF;
    if (static_cast<std::int64_t>(X) <= static_cast<std::int64_t>(clip.Left) * 65536) {
        c1 &= colour;
        c3 &= colour;
    } else if (i == r) {
        c2 &= colour;
        c4 &= colour;
    }
    if (static_cast<std::int64_t>(Y) <= static_cast<std::int64_t>(clip.Top) * 65536) {
        c1 &= colour;
        c2 &= colour;
    } else if (j == b) {
        c3 &= colour;
        c4 &= colour;
    }
    const std::int32_t wx = GammaLookup[((X >> 8) & 255) ^ 255];
    const std::int32_t wy = GammaLookup[((Y >> 8) & 255) ^ 255];
    const TColor32 result = CombineColors(CombineColors(c1, c2, wx), CombineColors(c3, c4, wx), wy);
    EndBlending();
    return result;
}

TColor32 TLinearResampler::GetSampleFixed(TFixed X, TFixed Y) {
    switch (FPixelAccessMode) {
    case pamUnsafe:
        return FBitmap->GetPixelX(X, Y);
    case pamSafe:
        return FBitmap->GetPixelXS(X, Y);
    case pamWrap:
        return FBitmap->GetPixelXW(X, Y);
    case pamTransparentEdge:
        break;
    }
    return ReadLinearTransparentEdge(X, Y);
}

TColor32 TLinearResampler::GetSampleFloat(float X, float Y) {
    return GetSampleFixed(FloatToFixed(std::clamp(X, -32767.0f, 32767.0f)), FloatToFixed(std::clamp(Y, -32767.0f, 32767.0f)));
}

void TLinearResampler::Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                                TCustomBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                                const TPixelCombineEvent& CombineCallBack) {
    const std::int64_t srcW = static_cast<std::int64_t>(SrcRect.Right) - SrcRect.Left;
    const std::int64_t srcH = static_cast<std::int64_t>(SrcRect.Bottom) - SrcRect.Top;
    if (static_cast<std::int64_t>(DstRect.Right) - DstRect.Left > srcW &&
        static_cast<std::int64_t>(DstRect.Bottom) - DstRect.Top > srcH && srcW > 1 && srcH > 1)
        StretchBilinear(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack);
    else
        KernelStretch(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack, *FLinearKernel);
}

void TDraftResampler::Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                               TCustomBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                               const TPixelCombineEvent& CombineCallBack) {
    DraftStretch(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack, *FLinearKernel);
}

TKernelResampler::TKernelResampler() = default;

TKernelResampler::TKernelResampler(TCustomBitmap32* ABitmap) : TCustomResampler(ABitmap) {}

const property_table& TKernelResampler::PublishedProperties() const {
    static const property_table table =
        property_table::of<TKernelResampler>(TCustomResampler::PublishedProperties())
            .string(u"KernelClassName", &TKernelResampler::KernelClassName, &TKernelResampler::SetKernelClassName)
            .persistent(u"Kernel", [](const TKernelResampler& r) { return r.Kernel(); })
            .enumeration(u"KernelMode", &TKernelResampler::KernelMode, &TKernelResampler::SetKernelMode,
                         {u"kmDynamic", u"kmTableNearest", u"kmTableLinear"}, kmDynamic)
            .integer(u"TableSize", &TKernelResampler::TableSize, &TKernelResampler::SetTableSize, 32);
    return table;
}

void TKernelResampler::SetKernel(std::unique_ptr<TCustomKernel> value) {
    if (!value || value == FKernel)
        return;
    FKernel = std::move(value);
    Changed();
}

String TKernelResampler::KernelClassName() const {
    return FKernel->ClassName();
}

void TKernelResampler::SetKernelClassName(const String& value) {
    if (value.empty() || value == KernelClassName())
        return;
    if (auto kernel = create_kernel(value)) {
        FKernel = std::move(kernel);
        Changed();
    }
}

void TKernelResampler::SetKernelMode(TKernelMode value) {
    if (value != FKernelMode) {
        FKernelMode = value;
        Changed();
    }
}

void TKernelResampler::SetTableSize(std::int32_t value) {
    value = std::max(value, 2);
    if (value != FTableSize) {
        FTableSize = value;
        Changed();
    }
}

void TKernelResampler::PrepareSampling() {
    TCustomResampler::PrepareSampling();
    FOuterColor = FBitmap ? FBitmap->OuterColor() : 0;
    if (FKernelMode != kmDynamic)
        build_weight_table(*FKernel, FTableSize, FWeightTable);
}

void TKernelResampler::FinalizeSampling() {
    if (FKernelMode != kmDynamic)
        FWeightTable.Delete();
    TCustomResampler::FinalizeSampling();
}

void TKernelResampler::weights_for(float fraction, std::int32_t w, std::int32_t* weights) const {
    const std::int32_t count = 2 * w + 1;
    // A table made for another reach (or none, outside a run) is not used.
    const bool table = FKernelMode != kmDynamic && FWeightTable.Width() == count && FWeightTable.Height() == FTableSize + 1;
    if (table && FKernelMode == kmTableNearest) {
        const auto row = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(detail::round_half_even(static_cast<double>(fraction) * (FTableSize - 1)), 0, FTableSize));
        for (std::int32_t i = 0; i < count; ++i)
            weights[i] = FWeightTable.Value(i, row);
        return;
    }
    if (table) {
        const std::int64_t p = std::clamp<std::int64_t>(
            detail::round_half_even(static_cast<double>(fraction) * (FTableSize - 1) * 65536.0), 0,
            static_cast<std::int64_t>(FTableSize - 1) * 65536);
        const auto row = static_cast<std::int32_t>(p >> 16);
        const auto f = static_cast<std::int32_t>(p & 0xFFFF);
        for (std::int32_t i = 0; i < count; ++i) {
            const std::int32_t a = FWeightTable.Value(i, row), b = FWeightTable.Value(i, row + 1);
            weights[i] = a + ((b - a) * f + 0x7FFF) / 65536;
        }
    } else {
        for (std::int32_t i = 0; i < count; ++i)
            weights[i] = static_cast<std::int32_t>(
                detail::round_half_even(static_cast<double>(FKernel->Filter(static_cast<float>(i - w) + fraction)) * 256.0));
    }
    std::int32_t sum = 0;
    for (std::int32_t i = 0; i < count; ++i)
        sum += weights[i];
    weights[w] += 256 - sum;
}

namespace {

// A colour's four channels weighted, the colour channels premultiplied by alpha.
struct weighted_sum {
    std::int32_t A = 0, R = 0, G = 0, B = 0;

    void add(TColor32 c, std::int32_t w) {
        const std::uint32_t a = c >> 24;
        if (a == 0)
            return;
        std::uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
        if (a != 255) {
            r = DivBy255(r * a);
            g = DivBy255(g * a);
            b = DivBy255(b * a);
        }
        A += static_cast<std::int32_t>(a) * w;
        R += static_cast<std::int32_t>(r) * w;
        G += static_cast<std::int32_t>(g) * w;
        B += static_cast<std::int32_t>(b) * w;
    }
    void add(const weighted_sum& s, std::int32_t w) {
        A += s.A * w;
        R += s.R * w;
        G += s.G * w;
        B += s.B * w;
    }
};

} // namespace

TColor32 TKernelResampler::GetSampleFloat(float X, float Y) {
    if (!FBitmap || FBitmap->Empty())
        return 0;
    const std::int32_t w = reach_of(*FKernel);
    // Positions far outside any bitmap are read as the farthest representable ones.
    const auto ceil_of = [](float v) {
        return static_cast<std::int32_t>(std::clamp(std::ceil(static_cast<double>(v)), -1.0e9, 1.0e9));
    };
    const std::int32_t cx = ceil_of(X), cy = ceil_of(Y);
    const TRect& clip = FClipRect;
    std::int32_t startX = -w, stopX = w, startY = -w, stopY = w;
    bool edge = false;
    if (FPixelAccessMode == pamSafe || FPixelAccessMode == pamTransparentEdge) {
        const TColor32 outside = FPixelAccessMode == pamSafe ? FOuterColor : 0;
        if (RectIsEmpty(clip) || cx < clip.Left || cx > clip.Right || cy < clip.Top || cy > clip.Bottom)
            return outside;
        if (cx - w < clip.Left) {
            startX = clip.Left - cx;
            edge = true;
        }
        if (cx + w >= clip.Right) {
            stopX = clip.Right - cx - 1;
            edge = true;
        }
        if (cy - w < clip.Top) {
            startY = clip.Top - cy;
            edge = true;
        }
        if (cy + w >= clip.Bottom) {
            stopY = clip.Bottom - cy - 1;
            edge = true;
        }
    } else if (FPixelAccessMode == pamWrap && RectIsEmpty(clip)) {
        return 0;
    }
    // Kernels up to the windowed sincs' widest reach weigh on the stack; wider ones take the heap.
    constexpr std::size_t on_stack = 2 * 16 + 1;
    const auto count = static_cast<std::size_t>(2 * w + 1);
    std::int32_t stack_weights[2 * on_stack];
    std::vector<std::int32_t> heap_weights(count > on_stack ? 2 * count : 0);
    std::int32_t* const wx = heap_weights.empty() ? stack_weights : heap_weights.data();
    std::int32_t* const wy = wx + count;
    weights_for(static_cast<float>(cx) - X, w, wx);
    weights_for(static_cast<float>(cy) - Y, w, wy);
    const TWrapProcEx wrap = WrapFuncFor(FBitmap->WrapMode());
    weighted_sum total;
    for (std::int32_t j = startY; j <= stopY; ++j) {
        const std::int32_t vw = wy[j + w];
        if (vw == 0)
            continue;
        weighted_sum line;
        for (std::int32_t i = startX; i <= stopX; ++i) {
            std::int32_t px = cx + i, py = cy + j;
            if (FPixelAccessMode == pamWrap) {
                px = wrap(px, clip.Left, clip.Right - 1);
                py = wrap(py, clip.Top, clip.Bottom - 1);
            }
            line.add(FBitmap->GetPixel(px, py), wx[i + w]);
        }
        total.add(line, vw);
    }
    if (edge && FPixelAccessMode == pamSafe && (FOuterColor >> 24) != 0) {
        for (std::int32_t j = -w; j <= w; ++j)
            for (std::int32_t i = -w; i <= w; ++i)
                if (i < startX || i > stopX || j < startY || j > stopY) {
                    weighted_sum one;
                    one.add(FOuterColor, wx[i + w]);
                    total.add(one, wy[j + w]);
                }
    }
    const bool clamps = FKernel->NeedsClamping();
    const auto to_byte = [clamps](std::int32_t v) { return clamps ? std::clamp(v, 0, 255) : v & 0xFF; };
    const std::int32_t a = to_byte((total.A + 0x7FFF) >> 16);
    if (a == 0)
        return 0;
    const auto channel = [&](std::int32_t sum) {
        const std::int32_t v = (sum + 0x7FFF) >> 16;
        return static_cast<TColor32>(to_byte(a == 255 ? v : v * 255 / a));
    };
    return static_cast<TColor32>(a) << 24 | channel(total.R) << 16 | channel(total.G) << 8 | channel(total.B);
}

void TKernelResampler::Resample(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip,
                                TCustomBitmap32* Src, const TRect& SrcRect, TDrawMode CombineOp,
                                const TPixelCombineEvent& CombineCallBack) {
    KernelStretch(Dst, DstRect, DstClip, Src, SrcRect, CombineOp, CombineCallBack, *FKernel);
}

// --- Nested samplers

TCustomSampler& TNestedSampler::sampler() const {
    if (!FSampler)
        throw ENestedException(u"Nested sampler is nil");
    return *FSampler;
}

void TNestedSampler::PrepareSampling() {
    sampler().PrepareSampling();
}

void TNestedSampler::FinalizeSampling() {
    sampler().FinalizeSampling();
}

bool TNestedSampler::HasBounds() const {
    return sampler().HasBounds();
}

TFloatRect TNestedSampler::GetSampleBounds() const {
    return sampler().GetSampleBounds();
}

void TNestedSampler::AssignTo(TPersistent* Dest) const {
    if (auto* nested = dynamic_cast<TNestedSampler*>(Dest)) {
        CopyPublishedProperties(this, nested, copyable_property_kinds());
        return;
    }
    TCustomSampler::AssignTo(Dest);
}

void TTransformer::PrepareSampling() {
    TNestedSampler::PrepareSampling();
    if (FTransformation && !FTransformation->TransformValid())
        FTransformation->PrepareTransform();
}

namespace {

TFixed wrapping_add(TFixed a, std::int32_t b) {
    return static_cast<TFixed>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

} // namespace

TColor32 TTransformer::GetSampleInt(std::int32_t X, std::int32_t Y) {
    TFixed u, v;
    FTransformation->ReverseTransformFixed(wrapping_add(IntToFixed(X), 0x7FFF), wrapping_add(IntToFixed(Y), 0x7FFF), u, v);
    return sampler().GetSampleFixed(wrapping_add(u, -0x7FFF), wrapping_add(v, -0x7FFF));
}

TColor32 TTransformer::GetSampleFixed(TFixed X, TFixed Y) {
    TFixed u, v;
    FTransformation->ReverseTransformFixed(wrapping_add(X, 0x7FFF), wrapping_add(Y, 0x7FFF), u, v);
    return sampler().GetSampleFixed(wrapping_add(u, -0x7FFF), wrapping_add(v, -0x7FFF));
}

TColor32 TTransformer::GetSampleFloat(float X, float Y) {
    float u, v;
    FTransformation->ReverseTransformFloat(X + 0.5f, Y + 0.5f, u, v);
    return sampler().GetSampleFloat(u - 0.5f, v - 0.5f);
}

bool TTransformer::HasBounds() const {
    return FTransformation->HasTransformedBounds() && sampler().HasBounds();
}

TFloatRect TTransformer::GetSampleBounds() const {
    TFloatRect r;
    IntersectFloatRects(r, sampler().GetSampleBounds(), FTransformation->SrcRect());
    return FTransformation->GetTransformedBounds(r);
}

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
    AddResamplerClass(resampler_class_of<TNearestResampler>());
    AddResamplerClass(resampler_class_of<TLinearResampler>());
    AddResamplerClass(resampler_class_of<TDraftResampler>());
    AddResamplerClass(resampler_class_of<TKernelResampler>());
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
    FreeResamplerClassList();
    kernel_classes.reset();
}

} // namespace kq
