#include "graphics/Raster_VectorUtils.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_Transforms.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace kq {

namespace {

std::int32_t out_code(std::int32_t x, std::int32_t y, std::int32_t min_x, std::int32_t min_y, std::int32_t max_x,
                      std::int32_t max_y) {
    return (x < min_x ? 1 : 0) | (x > max_x ? 2 : 0) | (y < min_y ? 4 : 0) | (y > max_y ? 8 : 0);
}

// A x B / C rounded; where the 32-bit form cannot hold the quotient (ends far apart), the same in floating
// point, held in the 32-bit range. C is not 0.
std::int64_t shift_of(std::int64_t a, std::int64_t b, std::int64_t c) {
    if (a >= INT32_MIN && a <= INT32_MAX && b >= INT32_MIN && b <= INT32_MAX && c >= INT32_MIN && c <= INT32_MAX) {
        const std::int32_t q = MulDivRounded(static_cast<std::int32_t>(a), static_cast<std::int32_t>(b),
                                             static_cast<std::int32_t>(c));
        if (q != -1)
            return q;
    }
    const double v = std::round(static_cast<double>(a) * static_cast<double>(b) / static_cast<double>(c));
    return static_cast<std::int64_t>(std::clamp(v, -4294967296.0, 4294967296.0));
}

std::int32_t held(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

} // namespace

bool ClipSegment(std::int32_t& X1, std::int32_t& Y1, std::int32_t& X2, std::int32_t& Y2, std::int32_t MinX,
                 std::int32_t MinY, std::int32_t MaxX, std::int32_t MaxY) {
    std::int32_t c1 = out_code(X1, Y1, MinX, MinY, MaxX, MaxY), c2 = out_code(X2, Y2, MinX, MinY, MaxX, MaxY);
    if ((c1 | c2) == 0)
        return true;
    if (c1 & c2)
        return false;
    // Differences of two 32-bit values need 33 bits.
    const std::int64_t x1 = X1, y1 = Y1, x2 = X2, y2 = Y2;
    const auto onto_row = [&](std::int32_t& x, std::int32_t& y, std::int32_t& code) {
        if (!(code & 12))
            return;
        const std::int32_t ny = (code & 4) ? MinY : MaxY;
        x = held(x1 + shift_of(ny - y1, x2 - x1, y2 - y1));
        y = ny;
        code = out_code(x, y, MinX, MinY, MaxX, MaxY);
    };
    onto_row(X1, Y1, c1);
    onto_row(X2, Y2, c2);
    if (c1 & c2)
        return false;
    if ((c1 | c2) == 0)
        return true;
    const auto onto_column = [&](std::int32_t& x, std::int32_t& y, std::int32_t code) {
        if (!(code & 3))
            return;
        const std::int32_t nx = (code & 1) ? MinX : MaxX;
        y = held(y1 + shift_of(nx - x1, y2 - y1, x2 - x1));
        x = nx;
    };
    onto_column(X1, Y1, c1);
    onto_column(X2, Y2, c2);
    return true;
}

// --- Polygons

TArrayOfFloatPoint CloseRing(const TArrayOfFloatPoint& Points) {
    TArrayOfFloatPoint result = Points;
    if (result.size() >= 2 && !(result.front() == result.back()))
        result.push_back(result.front());
    return result;
}

namespace {

enum : std::uint8_t { inside_left = 1, inside_right = 2, inside_top = 4, inside_bottom = 8, inside_all = 15 };

std::uint8_t inside_bits(const TFloatPoint& p, const TFloatRect& r) {
    return static_cast<std::uint8_t>((p.X >= r.Left ? inside_left : 0) | (p.X <= r.Right ? inside_right : 0) |
                                     (p.Y >= r.Top ? inside_top : 0) | (p.Y <= r.Bottom ? inside_bottom : 0));
}

// A point of the ring being clipped, with where it lies along the original ring (point i at i), so that the
// result can start where the original did.
struct ring_point {
    double x, y, position;
};

bool is_inside(const ring_point& p, std::uint8_t side, const TFloatRect& r) {
    switch (side) {
    case inside_left: return p.x >= r.Left;
    case inside_right: return p.x <= r.Right;
    case inside_top: return p.y >= r.Top;
    default: return p.y <= r.Bottom;
    }
}

// Where the edge a -> b meets the side's line. In double: the coordinates may be as large as a float goes.
ring_point crossing(const ring_point& a, const ring_point& b, std::uint8_t side, const TFloatRect& r, double ring_size) {
    double b_position = b.position;
    if (b_position < a.position)
        b_position += ring_size;
    double position = (a.position + b_position) / 2;
    if (position >= ring_size)
        position -= ring_size;
    if (side == inside_left || side == inside_right) {
        const double x = side == inside_left ? r.Left : r.Right;
        return {x, a.y + (x - a.x) * (b.y - a.y) / (b.x - a.x), position};
    }
    const double y = side == inside_top ? r.Top : r.Bottom;
    return {a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y), y, position};
}

// One side of the rectangle: every edge into a point, from the last point's edge on.
std::vector<ring_point> clip_side(const std::vector<ring_point>& ring, std::uint8_t side, const TFloatRect& r,
                                  double ring_size) {
    std::vector<ring_point> out;
    out.reserve(ring.size() + 4);
    const ring_point* previous = &ring.back();
    bool previous_in = is_inside(*previous, side, r);
    for (const ring_point& p : ring) {
        const bool in = is_inside(p, side, r);
        if (in != previous_in)
            out.push_back(crossing(*previous, p, side, r, ring_size));
        if (in)
            out.push_back(p);
        previous = &p;
        previous_in = in;
    }
    return out;
}

bool finite_points(const TArrayOfFloatPoint& points) {
    return std::all_of(points.begin(), points.end(),
                       [](const TFloatPoint& p) { return std::isfinite(p.X) && std::isfinite(p.Y); });
}

} // namespace

TArrayOfFloatPoint ClipPolygon(const TArrayOfFloatPoint& Points, const TFloatRect& ClipRect) {
    if (Points.empty())
        return {};
    std::uint8_t all_in = inside_all, any_in = 0;
    for (const TFloatPoint& p : Points) {
        const std::uint8_t bits = inside_bits(p, ClipRect);
        all_in &= bits;
        any_in |= bits;
    }
    if (all_in == inside_all)
        return Points;
    // A point that is not a number has no side; nothing sound can be made of its polygon.
    if (any_in != inside_all || !finite_points(Points))
        return {};
    std::vector<ring_point> ring;
    ring.reserve(Points.size());
    for (std::size_t i = 0; i < Points.size(); ++i)
        ring.push_back({Points[i].X, Points[i].Y, static_cast<double>(i)});
    const double ring_size = static_cast<double>(Points.size());
    for (const std::uint8_t side : {inside_left, inside_right, inside_top, inside_bottom}) {
        if (all_in & side)
            continue;
        ring = clip_side(ring, side, ClipRect, ring_size);
        if (ring.empty())
            return {};
    }
    // The order along the ring is kept; start where the original ring started.
    const auto first = std::min_element(ring.begin(), ring.end(), [](const ring_point& a, const ring_point& b) {
        return a.position < b.position;
    });
    std::rotate(ring.begin(), first, ring.end());
    TArrayOfFloatPoint result;
    result.reserve(ring.size());
    for (const ring_point& p : ring)
        result.push_back({std::clamp(static_cast<float>(p.x), ClipRect.Left, ClipRect.Right),
                          std::clamp(static_cast<float>(p.y), ClipRect.Top, ClipRect.Bottom)});
    return result;
}

TFloatRect PolygonBounds(const TArrayOfFloatPoint& Points) {
    if (Points.empty())
        throw EAssertionFailed(u"Assertion failed", u"Raster_VectorUtils", __LINE__);
    TFloatRect r{Points[0].X, Points[0].Y, Points[0].X, Points[0].Y};
    for (const TFloatPoint& p : Points) {
        r.Left = std::min(r.Left, p.X);
        r.Top = std::min(r.Top, p.Y);
        r.Right = std::max(r.Right, p.X);
        r.Bottom = std::max(r.Bottom, p.Y);
    }
    return r;
}

TArrayOfFloatPoint ScalePoints(const TArrayOfFloatPoint& Points, float Sx, float Sy) {
    TArrayOfFloatPoint result(Points.size());
    for (std::size_t i = 0; i < Points.size(); ++i)
        result[i] = {Points[i].X * Sx, Points[i].Y * Sy};
    return result;
}

TArrayOfArrayOfFloatPoint ScalePoints(const TArrayOfArrayOfFloatPoint& Points, float Sx, float Sy) {
    TArrayOfArrayOfFloatPoint result;
    result.reserve(Points.size());
    for (const TArrayOfFloatPoint& polygon : Points)
        result.push_back(ScalePoints(polygon, Sx, Sy));
    return result;
}

namespace {

TArrayOfFloatPoint transformed(const TArrayOfFloatPoint& Points, TTransformation& Transformation) {
    TArrayOfFloatPoint result(Points.size());
    for (std::size_t i = 0; i < Points.size(); ++i)
        Transformation.TransformFloat(Points[i].X, Points[i].Y, result[i].X, result[i].Y);
    return result;
}

} // namespace

TArrayOfFloatPoint TransformPoints(const TArrayOfFloatPoint& Points, TTransformation& Transformation) {
    if (!Transformation.TransformValid())
        Transformation.PrepareTransform();
    return transformed(Points, Transformation);
}

TArrayOfArrayOfFloatPoint TransformPoints(const TArrayOfArrayOfFloatPoint& Points, TTransformation& Transformation) {
    Transformation.PrepareTransform();
    TArrayOfArrayOfFloatPoint result;
    result.reserve(Points.size());
    for (const TArrayOfFloatPoint& polygon : Points)
        result.push_back(transformed(polygon, Transformation));
    return result;
}

// --- Shapes

namespace {

// A step count from a real number: held within 0..max_shape_steps, and the fallback for what is no number.
std::int32_t held_steps(double steps, std::int32_t fallback) {
    if (!std::isfinite(steps))
        return steps > 0 ? max_shape_steps : fallback;
    return static_cast<std::int32_t>(std::clamp(steps, 0.0, static_cast<double>(max_shape_steps)));
}

// N points about P from the first, each turned by Step radians further.
TArrayOfFloatPoint turned_points(const TFloatPoint& P, double rx, double ry, double start, double step,
                                 std::int32_t n) {
    TArrayOfFloatPoint result(static_cast<std::size_t>(std::max(n, 0)));
    for (std::int32_t k = 0; k < n; ++k) {
        const double a = start + step * k;
        result[static_cast<std::size_t>(k)] = {static_cast<float>(P.X + rx * std::cos(a)),
                                               static_cast<float>(P.Y + ry * std::sin(a))};
    }
    return result;
}

} // namespace

TArrayOfFloatPoint ArcPoints(const TFloatPoint& P, float StartAngle, float EndAngle, float Radius) {
    const double sweep = static_cast<double>(EndAngle) - StartAngle;
    const double s = std::abs(static_cast<double>(Radius)) * sweep * sweep;
    const std::int32_t n =
        s >= 36 ? std::max(held_steps(static_cast<double>(Round(std::sqrt(std::min(s, 1e18)))), 6), 2) : 6;
    return turned_points(P, Radius, Radius, StartAngle, sweep / (n - 1), n);
}

std::int32_t CircleStepCount(float Radius) {
    const double r = std::abs(static_cast<double>(Radius));
    return held_steps(std::trunc(std::numbers::pi / std::acos(r / (r + 0.125))), 2);
}

TArrayOfFloatPoint CirclePoints(const TFloatPoint& P, float Radius, std::int32_t Steps) {
    const std::int32_t n = Steps < 1 ? CircleStepCount(Radius) : std::min(Steps, max_shape_steps);
    return turned_points(P, Radius, Radius, 0, 2 * std::numbers::pi / n, n);
}

TArrayOfFloatPoint EllipsePoints(const TFloatPoint& P, float Rx, float Ry, std::int32_t Steps) {
    const std::int32_t n = std::clamp(Steps, 0, max_shape_steps);
    return turned_points(P, Rx, Ry, 0, n > 0 ? 2 * std::numbers::pi / n : 0, n);
}

TArrayOfFloatPoint RectanglePoints(const TFloatRect& R) {
    return {{R.Left, R.Top}, {R.Right, R.Top}, {R.Right, R.Bottom}, {R.Left, R.Bottom}};
}

TArrayOfFloatPoint RoundRectPoints(const TFloatRect& R, float Radius) {
    TFloatRect inner = R;
    InflateFloatRect(inner, -Radius, -Radius);
    return OffsetPolyline(RectanglePoints(inner), Radius, join_style::round, true, 4);
}

TArrayOfFloatPoint EdgeNormals(const TArrayOfFloatPoint& Points) {
    const std::size_t n = Points.size();
    TArrayOfFloatPoint result(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TFloatPoint& a = Points[i];
        const TFloatPoint& b = Points[i + 1 < n ? i + 1 : 0];
        const float dx = b.X - a.X, dy = b.Y - a.Y;
        const float length = std::sqrt(dx * dx + dy * dy);
        result[i] = length > 1e-4f ? TFloatPoint{dy / length, -dx / length} : TFloatPoint{dy, -dx};
    }
    return result;
}

namespace {

bool is_zero(const TFloatPoint& p) {
    return p.X == 0 && p.Y == 0;
}

struct offset_builder {
    TArrayOfFloatPoint& out;
    float delta;
    float miter_r;
    double cos_a = 1, sin_a = 0, steps_per_radian = 0;

    void add(const TFloatPoint& at, double dx, double dy) {
        if (out.size() == out.capacity())
            out.reserve(out.size() + 128);
        out.push_back({static_cast<float>(at.X + dx), static_cast<float>(at.Y + dy)});
    }

    void two_points(const TFloatPoint& at, const TFloatPoint& n1, const TFloatPoint& n2) {
        add(at, n1.X * delta, n1.Y * delta);
        add(at, n2.X * delta, n2.Y * delta);
    }

    void miter(const TFloatPoint& at, const TFloatPoint& n1, const TFloatPoint& n2) {
        const float mx = n1.X + n2.X, my = n1.Y + n2.Y;
        const float d = n1.X * mx + n1.Y * my;
        if (d >= miter_r && d > 0)
            add(at, mx * delta / d, my * delta / d);
        else
            two_points(at, n1, n2);
    }

    void bevel(const TFloatPoint& at, const TFloatPoint& n1, const TFloatPoint& n2) {
        if ((n1.X * n2.Y - n1.Y * n2.X) * delta <= 0)
            miter(at, n1, n2);
        else
            two_points(at, n1, n2);
    }

    void round(const TFloatPoint& at, const TFloatPoint& n1, const TFloatPoint& n2) {
        const float cross = n1.X * n2.Y - n1.Y * n2.X;
        if (cross * delta <= 0) {
            miter(at, n1, n2);
            return;
        }
        const double ex = n1.X - n2.X, ey = n1.Y - n2.Y;
        const double m = 1 - (ex * ex + ey * ey) / 2;
        const double angle = std::abs(std::numbers::pi / 2 - m * (0.1667 * m * m + 1));
        // A huge Delta gives ever more steps; they stay within what a screen can use.
        double steps = angle * steps_per_radian;
        if (!(steps < max_shape_steps))
            steps = max_shape_steps;
        const auto n = static_cast<std::int32_t>(Round(steps)) - 1;
        const double s = cross < 0 ? -sin_a : sin_a;
        double x = static_cast<double>(n1.X) * delta, y = static_cast<double>(n1.Y) * delta;
        add(at, x, y);
        for (std::int32_t k = 0; k < n; ++k) {
            const double nx = x * cos_a - y * s;
            y = x * s + y * cos_a;
            x = nx;
            add(at, x, y);
        }
        add(at, n2.X * delta, n2.Y * delta);
    }

    void join(join_style style, const TFloatPoint& at, const TFloatPoint& n1, const TFloatPoint& n2) {
        switch (style) {
        case join_style::miter: miter(at, n1, n2); break;
        case join_style::bevel: bevel(at, n1, n2); break;
        case join_style::round: round(at, n1, n2); break;
        }
    }
};

} // namespace

TArrayOfFloatPoint OffsetPolyline(const TArrayOfFloatPoint& Points, float Delta, join_style Join, bool Closed,
                                  float MiterLimit) {
    TArrayOfFloatPoint result;
    const auto n = static_cast<std::int64_t>(Points.size());
    if (n < 2)
        return result;
    const TArrayOfFloatPoint normals = EdgeNormals(Points);
    std::int64_t high = Closed ? n - 1 : n - 2;
    while (high >= 0 && is_zero(normals[static_cast<std::size_t>(high)]))
        --high;
    std::int64_t low = 0;
    while (low <= high && is_zero(normals[static_cast<std::size_t>(low)]))
        ++low;
    if (high < 0 || low > high)
        return result;
    offset_builder b{result, Delta, 2 / (MiterLimit * MiterLimit)};
    if (Join == join_style::round) {
        const double c = 1.414 / std::abs(static_cast<double>(Delta));
        b.cos_a = 1 - std::min(c * c, 3.0) / 2;
        b.sin_a = std::sqrt(1 - b.cos_a * b.cos_a);
        b.steps_per_radian = 1 / std::acos(b.cos_a);
    }
    TFloatPoint n1 = normals[static_cast<std::size_t>(Closed ? high : low)];
    for (std::int64_t i = low; i <= high; ++i) {
        const TFloatPoint& n2 = normals[static_cast<std::size_t>(i)];
        if (is_zero(n2))
            continue;
        b.join(Join, Points[static_cast<std::size_t>(i)], n1, n2);
        n1 = n2;
    }
    if (!Closed)
        b.join(Join, Points[static_cast<std::size_t>(high + 1)], n1, n1);
    return result;
}

} // namespace kq
