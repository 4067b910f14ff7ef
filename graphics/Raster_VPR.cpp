#include "graphics/Raster_VPR.h"

#include "graphics/Raster_Math.h"
#include "graphics/Raster_VectorUtils.h"

#include <algorithm>
#include <bit>
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

// Coordinates here lie within the clip, which is held within 2^30: truncation and one correction is the
// floor, without a call to the library's floor on processors that have no rounding instruction.
std::int32_t floor_int(float v) {
    const auto t = static_cast<std::int32_t>(v);
    return static_cast<float>(t) > v ? t - 1 : t;
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
        std::vector<std::size_t> starts(FRows.size());
        for (std::size_t i = 0; i < FRows.size(); ++i) {
            crossing += difference[i];
            starts[i] = total;
            total += static_cast<std::size_t>(crossing);
        }
        FPool.resize(total);
        for (std::size_t i = 0; i < FRows.size(); ++i)
            FRows[i].Segments = FPool.data() + starts[i];
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
    std::vector<line_segment> FPool;
};

// Cells of the row buffer, addressed by pixel column. Only the cells a row's segments touch are written;
// between them the running sum of the steps stays constant, so it is summed and handed over as runs.
class coverage_row {
public:
    coverage_row(std::int32_t first, std::int32_t last)
        : FOrigin(first), FCells(static_cast<std::size_t>(last - first + 1), 0.0f), FValues(FCells.size()) {}

    void start() { FTouched.clear(); }
    float* at(std::int32_t x) { return FCells.data() + (x - FOrigin); }
    void step(std::int32_t x, float f, float sign) {
        *at(x) += sign * (1 - f);
        *at(x + 1) += sign * f;
        touch(x, x + 1);
    }
    void touch(std::int32_t first, std::int32_t last) { FTouched.push_back({first, last, 0}); }

    // The running sum of the steps over cells x1..x2. Over the touched cells only, in order, when they
    // are few (a cell between them holds the sum reached before it); over all of them when a row is
    // crowded with edges.
    void sum_steps(std::int32_t x1, std::int32_t x2) {
        FDense = FTouched.size() * 16 > static_cast<std::size_t>(x2 - x1 + 1);
        if (FDense) {
            FFirst = x1;
            FLast = x2;
            CumulativeSum(at(x1), x2 - x1 + 1);
            return;
        }
        // Most rows have a few ranges: insertion sort.
        for (std::size_t i = 1; i < FTouched.size(); ++i) {
            const range r = FTouched[i];
            std::size_t j = i;
            for (; j > 0 && FTouched[j - 1].first > r.first; --j)
                FTouched[j] = FTouched[j - 1];
            FTouched[j] = r;
        }
        std::size_t merged = 0;
        for (const range& r : FTouched) {
            if (merged > 0 && r.first <= FTouched[merged - 1].last + 1)
                FTouched[merged - 1].last = std::max(FTouched[merged - 1].last, r.last);
            else
                FTouched[merged++] = r;
        }
        FTouched.resize(merged);
        float running = 0;
        for (range& r : FTouched) {
            for (float* c = at(r.first), *end = at(r.last) + 1; c != end; ++c) {
                running += *c;
                *c = running;
            }
            r.after = running;
        }
    }

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
        const double per_width = 1 / (static_cast<double>(xb) - xa), rise = static_cast<double>(yb) - ya;
        float x = xa, y = ya;
        for (std::int32_t j = std::min(j1, j2), last = std::max(j1, j2); j <= last; ++j) {
            const float x_end = j == last ? xb : static_cast<float>(j + 1);
            const float y_end =
                j == last ? yb : static_cast<float>(ya + rise * std::clamp((x_end - xa) * per_width, 0.0, 1.0));
            *at(j) += sign * (x_end - x) * (y + y_end) / 2;
            x = x_end;
            y = y_end;
        }
    }

    // Cells x1..x2 as runs of equal values, and written out in full when wanted.
    TValueSpan span(std::int32_t x1, std::int32_t x2, bool values_wanted) {
        FRuns.clear();
        if (FDense) {
            const float* values = at(x1);
            for (std::int32_t x = x1; x <= x2;) {
                const auto bits = std::bit_cast<std::uint32_t>(*at(x));
                std::int32_t end = x;
                while (end < x2 && std::bit_cast<std::uint32_t>(*at(end + 1)) == bits)
                    ++end;
                FRuns.push_back({x, end, *at(x)});
                x = end + 1;
            }
            return {x1, x2, values, FRuns.data(), static_cast<std::int32_t>(FRuns.size())};
        }
        float gap = 0;
        std::int32_t x = x1;
        const auto add_run = [this](std::int32_t a, std::int32_t b, float v) {
            if (!FRuns.empty() && FRuns.back().X2 + 1 == a && same(FRuns.back().Value, v))
                FRuns.back().X2 = b;
            else
                FRuns.push_back({a, b, v});
        };
        for (const range& r : FTouched) {
            if (r.last < x) {
                gap = r.after;
                continue;
            }
            if (r.first > x2)
                break;
            if (r.first > x)
                add_run(x, r.first - 1, gap);
            for (std::int32_t c = std::max(r.first, x), last = std::min(r.last, x2); c <= last; ++c)
                add_run(c, c, *at(c));
            x = r.last + 1;
            gap = r.after;
        }
        if (x <= x2)
            add_run(x, x2, gap);
        float* values = nullptr;
        if (values_wanted) {
            values = FValues.data() + (x1 - FOrigin);
            for (const coverage_run& run : FRuns)
                std::fill(values + (run.X1 - x1), values + (run.X2 - x1) + 1, run.Value);
        }
        return {x1, x2, values, FRuns.data(), static_cast<std::int32_t>(FRuns.size())};
    }

    void clear() {
        if (FDense) {
            std::fill(at(FFirst), at(FLast) + 1, 0.0f);
            return;
        }
        for (const range& r : FTouched)
            std::fill(at(r.first), at(r.last) + 1, 0.0f);
    }

private:
    struct range {
        std::int32_t first, last;
        float after; // the running sum after the range
    };

    static bool same(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

    std::int32_t FOrigin;
    std::vector<float> FCells;
    std::vector<float> FValues;
    std::vector<range> FTouched;
    std::vector<coverage_run> FRuns;
    bool FDense = false;
    std::int32_t FFirst = 0, FLast = 0; // the cells summed in full
};

void rasterize(const TArrayOfArrayOfFloatPoint& Polygons, const TFloatRect& ClipRect, TRenderSpanEvent SpanStep,
               void* Data, bool values_wanted) {
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
        row.start();
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
            row.touch(floor_int(std::min(s.X1, s.X2)), floor_int(std::max(s.X1, s.X2)));
        }
        row.sum_steps(x1, x2);
        for (std::int32_t i = 0; i < line.Count; ++i)
            row.add_area(line.Segments[i]);
        const std::int32_t span_x1 = std::max(x1, clip_min_x), span_x2 = std::min(x2, clip_max_x);
        if (span_x1 <= span_x2 && row_y <= clip_max_y)
            SpanStep(Data, row.span(span_x1, span_x2, values_wanted), row_y);
        // All of the touched cells, also those the span left out: the next row sums over them again.
        row.clear();
    }
}

} // namespace

void RasterizeCoverage(const TArrayOfArrayOfFloatPoint& Polygons, const TFloatRect& ClipRect,
                       TRenderSpanEvent SpanStep, void* Data) {
    rasterize(Polygons, ClipRect, SpanStep, Data, true);
}

void rasterize_coverage_runs(const TArrayOfArrayOfFloatPoint& Polygons, const TFloatRect& ClipRect,
                             TRenderSpanEvent SpanStep, void* Data) {
    rasterize(Polygons, ClipRect, SpanStep, Data, false);
}

} // namespace kq
