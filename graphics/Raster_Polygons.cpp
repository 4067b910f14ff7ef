#include "graphics/Raster_Polygons.h"

#include "framework/Handles.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_VectorUtils.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace kq {

namespace {

std::unique_ptr<TClassList> renderer_classes;

// --- Fill procedures. Every rounding is a floor; a run of equal coverage values (bit for bit) is
// converted once.

// abs(floor(c x 65536)) (the product is exact), held where overlapping polygons cannot reach. The floor
// by truncation and one correction: the library's floor is a call on processors without SSE4.1.
std::uint32_t coverage_16(float c) {
    const float v = std::clamp(c * 65536.0f, -1073741824.0f, 1073741824.0f);
    auto f = static_cast<std::int32_t>(v);
    if (static_cast<float>(f) > v)
        --f;
    return static_cast<std::uint32_t>(f < 0 ? -static_cast<std::int64_t>(f) : f);
}

// floor(abs(c) x 256), held likewise.
std::uint32_t coverage_8(float c) {
    return static_cast<std::uint32_t>(std::min(std::floor(std::abs(static_cast<double>(c)) * 256.0), 1073741824.0));
}

std::uint32_t non_zero_16(std::uint32_t v) {
    return std::min<std::uint32_t>(v, 65536);
}

// Odd windings are inside: the coverage folded back every 65536.
std::uint32_t even_odd_16(std::uint32_t v) {
    return ((v & 0x10000) == 0 ? v : ~v) & 0x1FFFF;
}

std::uint32_t non_zero_8(std::uint32_t a) {
    return std::min<std::uint32_t>(a, 255);
}

std::uint32_t even_odd_8(std::uint32_t a) {
    return ((a & 0x100) == 0 ? a : ~a) & 0x1FF;
}

template <class Convert>
void convert_runs(const float* coverage, TColor32* output, std::int32_t count, Convert convert) {
    std::uint32_t last_bits = 0;
    TColor32 last = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(coverage[i]);
        if (i == 0 || bits != last_bits) {
            last = convert(coverage[i]);
            last_bits = bits;
        }
        output[i] = last;
    }
}

template <std::uint32_t (*Rule)(std::uint32_t)>
TColor32 color_of(float c, TColor32 color) {
    const std::uint64_t a = Color32Alpha(color);
    return (color & 0x00FFFFFF) | static_cast<TColor32>(GammaLookup[(a * 257 * Rule(coverage_16(c))) >> 24]) << 24;
}

template <std::uint32_t (*Rule)(std::uint32_t)>
void fill_color(const float* coverage, TColor32* output, std::int32_t count, TColor32 color) {
    convert_runs(coverage, output, count, [color](float c) { return color_of<Rule>(c, color); });
}

// One coverage value of a run to its colour, by fill rule: the colour forms of the table above.
using color_of_proc = TColor32 (*)(float c, TColor32 color);
constexpr color_of_proc run_colors[2] = {&color_of<even_odd_16>, &color_of<non_zero_16>};

template <std::uint32_t (*Rule)(std::uint32_t)>
void fill_alpha(const float* coverage, TColor32* output, std::int32_t count, TColor32) {
    convert_runs(coverage, output, count, [](float c) { return TColor32{GammaLookup[Rule(coverage_8(c))]}; });
}

// [fill rule][filler]
constexpr TFillProc vpr_fill_procs[2][2] = {
    {&fill_color<even_odd_16>, &fill_alpha<even_odd_8>},
    {&fill_color<non_zero_16>, &fill_alpha<non_zero_8>},
};

// The LCD bytes of Count sub-pixel coverage values, Count + 4 of them: byte k holds the gamma of the sum of
// the weights k - 2 .. k; the last two are 0.
void fill_lcd(const float* coverage, std::uint8_t* output, std::int32_t count, TColor32 color, TFillRule rule,
              std::vector<std::uint8_t>& weights) {
    const std::uint64_t a = Color32Alpha(color);
    weights.assign(static_cast<std::size_t>(count) + 4, 0);
    std::uint8_t* w = weights.data() + 2; // w[-2], w[-1], w[count] and w[count + 1] are 0
    std::uint32_t last_bits = 0;
    std::uint8_t last = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto bits = std::bit_cast<std::uint32_t>(coverage[i]);
        if (i == 0 || bits != last_bits) {
            const std::uint32_t v = coverage_16(coverage[i]);
            last = static_cast<std::uint8_t>((a * 86 * (rule == frNonZero ? non_zero_16(v) : even_odd_16(v))) >> 24);
            last_bits = bits;
        }
        w[i] = last;
    }
    for (std::int32_t k = 0; k <= count + 1; ++k)
        output[k] = GammaLookup[w[k - 2] + w[k - 1] + w[k]];
    output[count + 2] = 0;
    output[count + 3] = 0;
}

TFloatRect to_float_rect(const TRect& r) {
    return {static_cast<float>(r.Left), static_cast<float>(r.Top), static_cast<float>(r.Right),
            static_cast<float>(r.Bottom)};
}

} // namespace

// --- Base renderer

void TCustomPolygonRenderer::PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points, const TFloatRect& ClipRect,
                                           TTransformation* Transformation) {
    if (Transformation)
        PolyPolygonFS(TransformPoints(Points, *Transformation), ClipRect);
    else
        PolyPolygonFS(Points, ClipRect);
}

void TCustomPolygonRenderer::PolyPolygonFS(const TArrayOfArrayOfFloatPoint&, const TFloatRect&) {}

void TCustomPolygonRenderer::PolygonFS(const TArrayOfFloatPoint& Points, const TFloatRect& ClipRect,
                                       TTransformation* Transformation) {
    PolyPolygonFS(TArrayOfArrayOfFloatPoint{Points}, ClipRect, Transformation);
}

void TCustomPolygonRenderer::PolygonFS(const TArrayOfFloatPoint& Points, const TFloatRect& ClipRect) {
    PolyPolygonFS(TArrayOfArrayOfFloatPoint{Points}, ClipRect);
}

// --- Bitmap renderer

TPolygonRenderer32::TPolygonRenderer32(TCustomBitmap32* Bitmap, TFillRule FillMode)
    : FBitmap(Bitmap), FFillMode(FillMode) {}

void TPolygonRenderer32::SetBitmap(TCustomBitmap32* Value) {
    if (FBitmap == Value)
        return;
    FBitmap = Value;
    Changed();
}

void TPolygonRenderer32::SetFillMode(TFillRule Value) {
    if (FFillMode == Value)
        return;
    FFillMode = Value;
    Changed();
}

void TPolygonRenderer32::SetColor(TColor32 Value) {
    if (FColor == Value)
        return;
    FColor = Value;
    Changed();
}

void TPolygonRenderer32::SetFiller(TCustomPolygonFiller* Value) {
    if (FFiller == Value)
        return;
    FFiller = Value;
    Changed();
}

void TPolygonRenderer32::PolygonFS(const TArrayOfFloatPoint& Points) {
    if (FBitmap)
        PolygonFS(Points, to_float_rect(FBitmap->ClipRect()));
}

void TPolygonRenderer32::PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points) {
    if (FBitmap)
        PolyPolygonFS(Points, to_float_rect(FBitmap->ClipRect()));
}

// --- Coverage renderer

void TPolygonRenderer32VPR::PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points, const TFloatRect& ClipRect) {
    FFillProc = vpr_fill_procs[FFillMode == frNonZero ? 1 : 0][FFiller ? 1 : 0];
    FLastRunValid = false; // the colour or the rule may have changed since
    TFloatRect clip;
    if (drawable_clip(ClipRect, clip)) {
        if (FFiller) {
            FFiller->BeginRendering();
            auto end = scope_exit([this] { FFiller->EndRendering(); });
            FFillLine = FFiller->GetFillLine();
            RasterizeCoverage(
                Points, clip,
                [](void* data, const TValueSpan& span, std::int32_t y) {
                    static_cast<TPolygonRenderer32VPR*>(data)->FillSpan(span, y);
                },
                this);
        } else {
            rasterize_coverage_runs(
                Points, clip,
                [](void* data, const TValueSpan& span, std::int32_t y) {
                    static_cast<TPolygonRenderer32VPR*>(data)->RenderSpan(span, y);
                },
                this);
        }
    }
    report_bounds(Points);
}

bool TPolygonRenderer32VPR::drawable_clip(const TFloatRect& ClipRect, TFloatRect& Clip) const {
    // A clip reaching past the bitmap would let spans write outside its rows.
    if (!FBitmap || FBitmap->Empty() || FBitmap->MeasuringMode())
        return false;
    return IntersectFloatRects(Clip, ClipRect, to_float_rect(FBitmap->BoundsRect())) && Clip.Left < Clip.Right &&
           Clip.Top < Clip.Bottom;
}

void TPolygonRenderer32VPR::report_bounds(const TArrayOfArrayOfFloatPoint& Points) {
    if (!FBitmap || FBitmap->UpdateCount() != 0)
        return;
    // Reported areas are Integers; coordinates past them are held at the range's ends.
    const auto held = [](float v) { return std::clamp(v, -float{1 << 30}, float{1 << 30}); };
    for (const TArrayOfFloatPoint& polygon : Points) {
        if (polygon.empty())
            continue;
        const TFloatRect b = PolygonBounds(polygon);
        if (std::isnan(b.Left) || std::isnan(b.Top) || std::isnan(b.Right) || std::isnan(b.Bottom))
            continue;
        FBitmap->Changed(FloatRectToRect({held(b.Left), held(b.Top), held(b.Right), held(b.Bottom)}),
                         AreaInfoRect);
    }
}

void TPolygonRenderer32VPR::RenderSpan(const TValueSpan& Span, std::int32_t DstY) {
    // A run of equal coverage converts once. The row blend has no opaque case (it would give an opaque
    // colour 255/256 of itself): fully covered pixels of an opaque colour take the colour, transparent
    // ones are left, the rest are blended, neighbours in one call.
    TColor32* row = FBitmap->ScanLine(DstY);
    std::int32_t pending = 0; // colours in FLine waiting to be blended from pending_x
    std::int32_t pending_x = 0;
    FLine.clear();
    const auto flush = [&] {
        if (pending > 0)
            BlendRow(FLine.data(), row + pending_x, pending);
        pending = 0;
        FLine.clear();
    };
    const auto put = [&](std::int32_t x1, std::int32_t count, TColor32 c) {
        const TColor32 alpha = c >> 24;
        if (alpha == 255 || alpha == 0) {
            flush();
            if (alpha == 0)
                return;
            if (count < 8)
                std::fill(row + x1, row + x1 + count, c);
            else
                FillDwords(row + x1, count, c);
            return;
        }
        if (pending > 0 && pending_x + pending != x1)
            flush();
        if (pending == 0)
            pending_x = x1;
        FLine.insert(FLine.end(), static_cast<std::size_t>(count), c);
        pending += count;
    };
    if (Span.Runs) {
        const color_of_proc color_of_run = run_colors[FFillMode == frNonZero ? 1 : 0];
        // The inside of a shape has the same coverage row after row: it converts once.
        for (std::int32_t i = 0; i < Span.RunCount; ++i) {
            const coverage_run& run = Span.Runs[i];
            const auto bits = std::bit_cast<std::uint32_t>(run.Value);
            if (!FLastRunValid || bits != FLastRunBits) {
                FLastRunColor = color_of_run(run.Value, FColor);
                FLastRunBits = bits;
                FLastRunValid = true;
            }
            put(run.X1, run.X2 - run.X1 + 1, FLastRunColor);
        }
    } else {
        const std::int32_t count = Span.X2 - Span.X1 + 1;
        std::vector<TColor32> line(static_cast<std::size_t>(count));
        FFillProc(Span.Values, line.data(), count, FColor);
        for (std::int32_t i = 0; i < count;) {
            std::int32_t j = i + 1;
            while (j < count && line[static_cast<std::size_t>(j)] == line[static_cast<std::size_t>(i)])
                ++j;
            put(Span.X1 + i, j - i, line[static_cast<std::size_t>(i)]);
            i = j;
        }
    }
    flush();
    EndBlending();
}

void TPolygonRenderer32VPR::FillSpan(const TValueSpan& Span, std::int32_t DstY) {
    const std::int32_t count = Span.X2 - Span.X1 + 1;
    FLine.resize(static_cast<std::size_t>(count));
    FFillProc(Span.Values, FLine.data(), count, FColor);
    FFillLine(FBitmap->PixelPtr(Span.X1, DstY), Span.X1, DstY, count, FLine.data());
    EndBlending();
}

// --- Sub-pixel renderers

void TPolygonRenderer32LCD::PolyPolygonFS(const TArrayOfArrayOfFloatPoint& Points, const TFloatRect& ClipRect) {
    TFloatRect clip;
    if (drawable_clip(ClipRect, clip)) {
        clip.Left *= 3;
        clip.Right *= 3;
        RasterizeCoverage(
            ScalePoints(Points, 3, 1), clip,
            [](void* data, const TValueSpan& span, std::int32_t y) {
                static_cast<TPolygonRenderer32LCD*>(data)->RenderSpan(span, y);
            },
            this);
    }
    report_bounds(Points);
}

void TPolygonRenderer32LCD::RenderSpan(const TValueSpan& Span, std::int32_t DstY) {
    render_lcd_span(Span, DstY, false);
}

void TPolygonRenderer32LCD::render_lcd_span(const TValueSpan& Span, std::int32_t DstY, bool smoothed) {
    const std::int32_t n = Span.X2 - Span.X1 + 1;
    std::int32_t p = Span.X1 / 3, r = Span.X1 % 3;
    // Five leading zero bytes, the n + 4 bytes of the span, two spare.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n) + 11, 0);
    fill_lcd(Span.Values, bytes.data() + 5, n, FColor, FFillMode, FWeights);
    if (smoothed) {
        // Downwards, so that every average still reads the bytes before it unchanged.
        std::uint8_t* b = bytes.data() + 5;
        for (std::int32_t k = n + 3; k >= 0; --k) {
            const std::int32_t sum = b[k] + (k >= 1 ? b[k - 1] : 0) + (k >= 2 ? b[k - 2] : 0);
            b[k] = static_cast<std::uint8_t>(sum / 3);
        }
    }
    if (p > 0) {
        --p;
        r += 3;
    }
    const std::int32_t start = (smoothed ? 6 : 5) - r;
    const std::int32_t pixels = (n + r + 2) / 3;
    TColor32* row = FBitmap->PixelPtr(p, DstY);
    for (std::int32_t i = 0; i < pixels; ++i) {
        std::uint32_t w;
        std::memcpy(&w, bytes.data() + start + 3 * i, 4);
        if (w == 0xFFFFFFFF)
            row[i] = FColor;
        else
            BlendPixelPerChannel(FColor, row[i], w);
    }
    EndBlending();
}

void TPolygonRenderer32LCD2::RenderSpan(const TValueSpan& Span, std::int32_t DstY) {
    render_lcd_span(Span, DstY, true);
}

// --- Renderer classes

namespace {

template <class R>
TClass renderer_class_of() {
    static const polygon_renderer_class info{
        {class_name_of(typeid(R))},
        [](TCustomBitmap32* Bitmap, TFillRule FillMode) -> std::unique_ptr<TPolygonRenderer32> {
            return std::make_unique<R>(Bitmap, FillMode);
        }};
    return &info;
}

} // namespace

TClassList* RendererClassList() {
    return renderer_classes.get();
}

void AddRendererClass(TClass RendererClass) {
    if (!renderer_classes)
        renderer_classes = std::make_unique<TClassList>();
    renderer_classes->Add(RendererClass);
}

std::unique_ptr<TPolygonRenderer32> create_polygon_renderer(StringView ClassName, TCustomBitmap32* Bitmap,
                                                            TFillRule FillMode) {
    if (!renderer_classes)
        return nullptr;
    const TClass found = renderer_classes->Find(ClassName);
    return found ? static_cast<const polygon_renderer_class*>(found)->Create(Bitmap, FillMode) : nullptr;
}

void Raster_Polygons_startup() {
    AddRendererClass(renderer_class_of<TPolygonRenderer32VPR>());
    AddRendererClass(renderer_class_of<TPolygonRenderer32LCD>());
    AddRendererClass(renderer_class_of<TPolygonRenderer32LCD2>());
}

void Raster_Polygons_shutdown() {
    renderer_classes.reset();
}

} // namespace kq
