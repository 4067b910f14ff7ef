#pragma once
// Vector polygon rasterization spans.
#include "graphics/Raster.h"

#include <cstdint>

namespace kq {

// Pixels X1..X2 of a span that share one coverage value.
struct coverage_run {
    std::int32_t X1 = 0, X2 = 0;
    float Value = 0;
};

// A run of pixels of one row with their coverage: Values points at pixel X1's, X2 - X1 + 1 follow. The
// sign follows the polygons' orientation and overlaps add up; the span step applies the fill rule. Runs
// hold the same values as runs of equal ones, in order, for a step that converts a run at a time.
struct TValueSpan {
    std::int32_t X1 = 0, X2 = 0;
    const float* Values = nullptr;
    const coverage_run* Runs = nullptr;
    std::int32_t RunCount = 0;
};

using TRenderSpanEvent = void (*)(void* Data, const TValueSpan& Span, std::int32_t DstY);

// Exact per-pixel coverage of the polygons (filled together) within ClipRect, handed to SpanStep row by
// row, top to bottom. Polygons with fewer than three points or with coordinates that are no finite number
// add nothing; memory stays within the clipped polygons' size, whatever the coordinates.
void RasterizeCoverage(const TArrayOfArrayOfFloatPoint& Polygons, const TFloatRect& ClipRect,
                       TRenderSpanEvent SpanStep, void* Data);
// The same with spans that carry their runs only (Values nil), for a step that converts run by run: the
// values of a wide span are not written out pixel by pixel.
void rasterize_coverage_runs(const TArrayOfArrayOfFloatPoint& Polygons, const TFloatRect& ClipRect,
                             TRenderSpanEvent SpanStep, void* Data);

} // namespace kq
