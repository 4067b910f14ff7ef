// Random polygons for the coverage rasteriser and the renderers: any coordinates (huge, infinite, not a
// number), any number of points and polygons, any clip. Nothing may be read or written outside the bitmap,
// every span must lie in the clip, and coverage stays a number.

#include "fuzz/FuzzInput.h"
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Polygons.h"
#include "graphics/Raster_VPR.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

using namespace kq;

using fuzz::check;

// Half the time a raw float (anything at all), else a small coordinate around the bitmap.
float coordinate(fuzz::input_reader& in) {
    if (in.byte() & 1) return in.next<float>();
    return static_cast<float>(static_cast<std::int8_t>(in.byte())) / 2.0f;
}

struct clip_check {
    TFloatRect clip;
};

void check_span(void* data, const TValueSpan& span, std::int32_t y) {
    const TFloatRect& c = static_cast<clip_check*>(data)->clip;
    check(span.X1 <= span.X2);
    check(span.X1 >= std::floor(c.Left) && span.X2 <= std::ceil(c.Right) - 1);
    check(y >= std::floor(c.Top) && y <= std::ceil(c.Bottom) - 1);
    for (std::int32_t i = 0; i <= span.X2 - span.X1; ++i)
        check(!std::isnan(span.Values[i]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::start_once([] { graphics_startup(); });
    fuzz::input_reader in{data, size};
    const std::uint8_t setup = in.byte();
    TArrayOfArrayOfFloatPoint polygons;
    while (in.more() && polygons.size() < 16) {
        TArrayOfFloatPoint polygon;
        const std::size_t points = in.byte() % 64;
        for (std::size_t i = 0; i < points && in.more(); ++i)
            polygon.push_back({coordinate(in), coordinate(in)});
        polygons.push_back(std::move(polygon));
    }

    TCustomBitmap32 bitmap;
    bitmap.SetSize(37, 23);
    bitmap.Clear(0xFF203040);
    if (setup & 8)
        bitmap.SetClipRect({3, 2, 30, 20});
    const TFillRule rule = setup & 1 ? frNonZero : frEvenOdd;
    const std::uint8_t kind = (setup >> 1) & 3;
    std::unique_ptr<TPolygonRenderer32> renderer =
        kind == 1 ? std::unique_ptr<TPolygonRenderer32>(new TPolygonRenderer32LCD(&bitmap, rule))
        : kind == 2 ? std::unique_ptr<TPolygonRenderer32>(new TPolygonRenderer32LCD2(&bitmap, rule))
                    : std::unique_ptr<TPolygonRenderer32>(new TPolygonRenderer32VPR(&bitmap, rule));
    renderer->SetColor(setup & 16 ? 0x80C0A060 : 0xFFC0A060);
    if (setup & 32) {
        // A clip of any numbers: the renderer holds it to the bitmap.
        fuzz::input_reader clip_in{data, size};
        renderer->PolyPolygonFS(polygons, {coordinate(clip_in), coordinate(clip_in), coordinate(clip_in),
                                           coordinate(clip_in)});
    } else {
        renderer->PolyPolygonFS(polygons);
    }

    clip_check c{{-2.5f, -1.0f, 40.25f, 19.0f}};
    RasterizeCoverage(polygons, c.clip, &check_span, &c);
    return 0;
}
