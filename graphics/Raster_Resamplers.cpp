// The resamplers and nested samplers, and the unit's start-up. The kernels, their weights, the bound
// interpolation routines, the block transfer and the stretches are the unit's other source files.
#include "graphics/Raster_Resamplers.h"

#include "framework/Properties.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_Resamplers_Shared.h"
#include "graphics/Raster_Transforms.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kq {

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
    const std::int32_t w = detail::reach_of(*FKernel);
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
    detail::free_kernel_class_list();
}

} // namespace kq
