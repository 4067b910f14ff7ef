#include "graphics/Raster_VPR.h"

#include "graphics/Raster_Math.h"
#include "graphics/Raster_VectorUtils.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace kq {

namespace {

// A piece of an edge inside one row: X in pixels, Y relative to the row's top (0..1).
struct line_segment {
    float X1, Y1, X2, Y2;
};

// The segments of one row, in the shared pool of a run.
struct TScanLine {
    line_segment* Segments = nullptr;
    std::int32_t Count = 0;
};

std::int32_t floor_int(float v) {
    return static_cast<std::int32_t>(std::floor(v));
}

// The rows of a run: every edge of every ring cut at integer rows, in one pool sized exactly from a
// difference array of the edges' row ranges.
class scanline_builder {
public:
    scanline_builder(const std::vector<TArrayOfFloatPoint>& rings, std::int32_t first_row, std::int32_t last_row)
        : FFirstRow(first_row), FRows(static_cast<std::size_t>(last_row - first_row + 1)) {
        std::vector<std::int32_t> difference(FRows.size() + 1, 0);
        for (const TArrayOfFloatPoint& ring : rings)
            for (std::size_t k = 0; k + 1 < ring.size(); ++k) {
                const std::int32_t r1 = floor_int(ring[k].Y), r2 = floor_int(ring[k + 1].Y);
                ++difference[static_cast<std::size_t>(std::min(r1, r2) - FFirstRow)];
                --difference[static_cast<std::size_t>(std::max(r1, r2) - FFirstRow + 1)];
            }
        std::size_t total = 0;
        std::int32_t crossing = 0;
        FStarts.resize(FRows.size());
        for (std::size_t i = 0; i < FRows.size(); ++i) {
            crossing += difference[i];
            FStarts[i] = total;
            total += static_cast<std::size_t>(crossing);
        }
        FPool.resize(total);
        for (std::size_t i = 0; i < FRows.size(); ++i)
            FRows[i].Segments = FPool.data() + FStarts[i];
        // A later polygon's segments come before an earlier one's in a row.
        for (auto ring = rings.rbegin(); ring != rings.rend(); ++ring)
            for (std::size_t k = 0; k + 1 < ring->size(); ++k)
                add_edge((*ring)[k], (*ring)[k + 1]);
    }

    std::int32_t FirstRow() const { return FFirstRow; }
    std::vector<TScanLine>& Rows() { return FRows; }

private:
    void add(std::int32_t row, float x1, float y1, float x2, float y2) {
        if (y1 == 0 && y2 == 0)
            return;
        TScanLine& line = FRows[static_cast<std::size_t>(row - FFirstRow)];
        line.Segments[line.Count++] = {x1, y1, x2, y2};
    }

    void add_edge(const TFloatPoint& p1, const TFloatPoint& p2) {
        const std::int32_t r1 = floor_int(p1.Y), r2 = floor_int(p2.Y);
        if (r1 == r2) {
            add(r1, p1.X, p1.Y - r1, p2.X, p2.Y - r1);
            return;
        }
        const float slope = (p2.X - p1.X) / (p2.Y - p1.Y);
        // The running X is held between the edge's ends: its rounding must not carry it out of the clip.
        const float lo = std::min(p1.X, p2.X), hi = std::max(p1.X, p2.X);
        // Where the edge leaves its first row, as a share of the edge: an edge of almost no height has an
        // infinite slope, and its first row may have no height left at all.
        const auto x_at = [&](float y) {
            const double share = (static_cast<double>(y) - p1.Y) / (static_cast<double>(p2.Y) - p1.Y);
            return std::clamp(static_cast<float>(p1.X + (static_cast<double>(p2.X) - p1.X) * share), lo, hi);
        };
        if (r1 < r2) {
            float x = x_at(static_cast<float>(r1 + 1));
            add(r1, p1.X, p1.Y - r1, x, 1);
            for (std::int32_t row = r1 + 1; row < r2; ++row) {
                const float next = std::clamp(x + slope, lo, hi);
                add(row, x, 0, next, 1);
                x = next;
            }
            add(r2, x, 0, p2.X, p2.Y - r2);
        } else {
            float x = x_at(static_cast<float>(r1));
            add(r1, p1.X, p1.Y - r1, x, 0);
            for (std::int32_t row = r1 - 1; row > r2; --row) {
                const float next = std::clamp(x - slope, lo, hi);
                add(row, x, 1, next, 0);
                x = next;
            }
            add(r2, x, 1, p2.X, p2.Y - r2);
        }
    }

    std::int32_t FFirstRow;
    std::vector<TScanLine> FRows;
    std::vector<std::size_t> FStarts;
    std::vector<line_segment> FPool;
};

// Cells of the row buffer, addressed by pixel column.
class coverage_row {
public:
    coverage_row(std::int32_t first, std::int32_t last)
        : FOrigin(first), FCells(static_cast<std::size_t>(last - first + 1), 0.0f) {}

    float* at(std::int32_t x) { return FCells.data() + (x - FOrigin); }
    void step(std::int32_t x, float f, float sign) {
        *at(x) += sign * (1 - f);
        *at(x + 1) += sign * f;
    }
    void clear(std::int32_t x1, std::int32_t x2) { std::fill(at(x1), at(x2) + 1, 0.0f); }

    // The area between the segment and the row's top, cell by cell, signed by the segment's direction.
    void add_area(const line_segment& s) {
        const std::int32_t j1 = floor_int(s.X1), j2 = floor_int(s.X2);
        if (j1 == j2) {
            *at(j1) += (s.X2 - s.X1) * (s.Y1 + s.Y2) / 2;
            return;
        }
        const bool rightwards = s.X2 > s.X1;
        const float xa = rightwards ? s.X1 : s.X2, ya = rightwards ? s.Y1 : s.Y2;
        const float xb = rightwards ? s.X2 : s.X1, yb = rightwards ? s.Y2 : s.Y1;
        const float sign = rightwards ? 1.0f : -1.0f;
        // Y at each cell's edge as a share of the segment: a segment of almost no width has an infinite slope.
        const double width = static_cast<double>(xb) - xa, rise = static_cast<double>(yb) - ya;
        float x = xa, y = ya;
        for (std::int32_t j = std::min(j1, j2), last = std::max(j1, j2); j <= last; ++j) {
            const float x_end = j == last ? xb : static_cast<float>(j + 1);
            const float y_end =
                j == last ? yb : static_cast<float>(ya + rise * std::clamp((x_end - xa) / width, 0.0, 1.0));
            *at(j) += sign * (x_end - x) * (y + y_end) / 2;
            x = x_end;
            y = y_end;
        }
    }

private:
    std::int32_t FOrigin;
    std::vector<float> FCells;
};

} // namespace

void RasterizeCoverage(const TArrayOfArrayOfFloatPoint& Polygons, const TFloatRect& ClipRect,
                       TRenderSpanEvent SpanStep, void* Data) {
    // Pixel columns and rows are Integers; a clip beyond them is held there.
    constexpr float reach = 1 << 30;
    const TFloatRect clip{std::max(ClipRect.Left, -reach), std::max(ClipRect.Top, -reach),
                          std::min(ClipRect.Right, reach), std::min(ClipRect.Bottom, reach)};
    if (Polygons.empty() || !(clip.Left < clip.Right && clip.Top < clip.Bottom))
        return;
    std::vector<TArrayOfFloatPoint> rings;
    rings.reserve(Polygons.size());
    float min_x = clip.Right, max_x = clip.Left, min_y = clip.Bottom, max_y = clip.Top;
    for (const TArrayOfFloatPoint& polygon : Polygons) {
        TArrayOfFloatPoint ring = CloseRing(ClipPolygon(polygon, clip));
        if (ring.size() < 3)
            continue;
        for (const TFloatPoint& p : ring) {
            min_x = std::min(min_x, p.X);
            max_x = std::max(max_x, p.X);
            min_y = std::min(min_y, p.Y);
            max_y = std::max(max_y, p.Y);
        }
        rings.push_back(std::move(ring));
    }
    if (rings.empty())
        return;
    // Spans are limited to the clip's columns; the buffer only to what the rings reach, plus the guard
    // cells: one on the left, two on the right.
    const std::int32_t clip_min_x = floor_int(clip.Left);
    const std::int32_t clip_max_x = static_cast<std::int32_t>(std::ceil(clip.Right)) - 1;
    const std::int32_t clip_max_y = static_cast<std::int32_t>(std::ceil(clip.Bottom)) - 1;
    scanline_builder lines(rings, floor_int(min_y), floor_int(max_y));
    rings.clear();
    coverage_row row(floor_int(min_x) - 1, floor_int(max_x) + 2);
    std::int32_t y = lines.FirstRow();
    for (TScanLine& line : lines.Rows()) {
        const std::int32_t row_y = y++;
        if (line.Count == 0)
            continue;
        std::int32_t x1 = INT_MAX, x2 = INT_MIN;
        const auto step_point = [&](float x, float rel_y, float sign) {
            const std::int32_t j = floor_int(x);
            x1 = std::min(x1, j);
            if (rel_y == 1) {
                row.step(j, x - static_cast<float>(j), sign);
                x2 = std::max(x2, j + 1);
            } else {
                x2 = std::max(x2, j);
            }
        };
        for (std::int32_t i = 0; i < line.Count; ++i) {
            const line_segment& s = line.Segments[i];
            step_point(s.X1, s.Y1, -1);
            step_point(s.X2, s.Y2, 1);
        }
        CumulativeSum(row.at(x1), x2 - x1 + 1);
        for (std::int32_t i = 0; i < line.Count; ++i)
            row.add_area(line.Segments[i]);
        const std::int32_t span_x1 = std::max(x1, clip_min_x), span_x2 = std::min(x2, clip_max_x);
        if (span_x1 <= span_x2 && row_y <= clip_max_y)
            SpanStep(Data, {span_x1, span_x2, row.at(span_x1)}, row_y);
        // All of the touched cells, also those the span left out: the next row sums over them again.
        row.clear(x1, x2);
    }
}

} // namespace kq
