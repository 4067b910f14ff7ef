// The resampling kernels and the list of kernel classes that names are looked up in.
#include "graphics/Raster_Resamplers.h"

#include "framework/Properties.h"
#include "graphics/Raster_Resamplers_Shared.h"

#include <algorithm>
#include <cmath>

namespace kq {

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

void detail::free_kernel_class_list() {
    kernel_classes.reset();
}

} // namespace kq
