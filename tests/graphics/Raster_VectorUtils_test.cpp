// Polygon helpers and shape generators.

#include "graphics/Raster_VectorUtils.h"

#include "framework/Exceptions.h"
#include "graphics/Raster_Transforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

using namespace kq;

namespace {

void expect_points(const TArrayOfFloatPoint& actual, const TArrayOfFloatPoint& expected, float tolerance = 1e-4f) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(actual[i].X, expected[i].X, tolerance);
        EXPECT_NEAR(actual[i].Y, expected[i].Y, tolerance);
    }
}

bool within(const TArrayOfFloatPoint& points, const TFloatRect& r) {
    for (const TFloatPoint& p : points)
        if (!(p.X >= r.Left && p.X <= r.Right && p.Y >= r.Top && p.Y <= r.Bottom))
            return false;
    return true;
}

} // namespace

TEST(RasterVectorUtils, CloseRingAppendsTheFirstPointOnlyWhenOpen) {
    const TArrayOfFloatPoint closed{{0, 0}, {1, 0}, {0, 0}};
    EXPECT_EQ(CloseRing(closed), closed);
    EXPECT_EQ(CloseRing({{0, 0}, {1, 0}, {1, 1}}), (TArrayOfFloatPoint{{0, 0}, {1, 0}, {1, 1}, {0, 0}}));
    EXPECT_EQ(CloseRing({{3, 4}}), (TArrayOfFloatPoint{{3, 4}}));
    EXPECT_TRUE(CloseRing({}).empty());
}

TEST(RasterVectorUtils, ClipPolygon) {
    const TFloatRect r{0, 0, 10, 10};
    struct row {
        const char* name;
        TArrayOfFloatPoint in, out;
    };
    const row rows[] = {
        {"left part cut off", {{-5, 2}, {5, 2}, {5, 8}, {-5, 8}}, {{0, 2}, {5, 2}, {5, 8}, {0, 8}}},
        {"inside: unchanged", {{1, 1}, {9, 1}, {5, 9}}, {{1, 1}, {9, 1}, {5, 9}}},
        {"on the edges counts as inside", {{0, 0}, {10, 0}, {10, 10}}, {{0, 0}, {10, 0}, {10, 10}}},
        {"beyond one side", {{11, 1}, {20, 1}, {15, 9}}, {}},
        {"around the corner outside", {{-5, 1}, {1, -5}, {-5, -5}}, {}},
        {"covering the rectangle", {{-5, -5}, {15, -5}, {15, 15}, {-5, 15}}, {{10, 0}, {10, 10}, {0, 10}, {0, 0}}},
        {"starts inside, cut twice", {{5, 5}, {15, 5}, {15, 15}}, {{5, 5}, {10, 5}, {10, 10}}},
        {"not a number", {{1, 1}, {std::nanf(""), 5}, {20, 5}}, {}},
        {"infinite", {{1, 1}, {std::numeric_limits<float>::infinity(), 5}, {5, 9}}, {}},
    };
    for (const row& c : rows) {
        SCOPED_TRACE(c.name);
        expect_points(ClipPolygon(c.in, r), c.out);
    }
}

TEST(RasterVectorUtils, ClipPolygonOfHugeCoordinatesStaysInsideTheRectangle) {
    const TFloatRect r{0, 0, 100, 50};
    const float big = std::numeric_limits<float>::max();
    const TArrayOfFloatPoint clipped = ClipPolygon({{-big, -big}, {big, -big / 3}, {big / 7, big}, {-big, 20}}, r);
    ASSERT_FALSE(clipped.empty());
    EXPECT_TRUE(within(clipped, r));
}

TEST(RasterVectorUtils, PolygonBoundsNeedsAPoint) {
    EXPECT_EQ(PolygonBounds({{3, 4}, {-1, 9}, {2, -2}}), (TFloatRect{-1, -2, 3, 9}));
    EXPECT_THROW(PolygonBounds({}), EAssertionFailed);
}

TEST(RasterVectorUtils, ScaleAndTransformPoints) {
    EXPECT_EQ(ScalePoints(TArrayOfFloatPoint{{1, 2}, {3, 4}}, 3, 1), (TArrayOfFloatPoint{{3, 2}, {9, 4}}));
    EXPECT_EQ(ScalePoints(TArrayOfArrayOfFloatPoint{{{1, 2}}, {{-1, 0.5f}}}, 2, 4),
              (TArrayOfArrayOfFloatPoint{{{2, 8}}, {{-2, 2}}}));
    TAffineTransformation t;
    t.Translate(10, 20);
    t.Scale(2);
    expect_points(TransformPoints(TArrayOfFloatPoint{{1, 1}}, t), {{22, 42}});
    const TArrayOfArrayOfFloatPoint list = TransformPoints(TArrayOfArrayOfFloatPoint{{{0, 0}}, {{1, 2}}}, t);
    ASSERT_EQ(list.size(), 2u);
    expect_points(list[1], {{22, 44}});
}

TEST(RasterVectorUtils, ArcAndCircleSteps) {
    EXPECT_EQ(CircleStepCount(10), 19);
    EXPECT_EQ(CircleStepCount(-10), 19);
    EXPECT_EQ(CircleStepCount(0), 2);
    EXPECT_EQ(CircleStepCount(std::numeric_limits<float>::max()), max_shape_steps);
    EXPECT_EQ(CircleStepCount(std::nanf("")), 2);

    // S = 10 x (pi/2)^2 = 24.7 is below 36: six points from angle 0 to pi/2.
    const TArrayOfFloatPoint arc = ArcPoints({5, 5}, 0, std::numbers::pi_v<float> / 2, 10);
    ASSERT_EQ(arc.size(), 6u);
    EXPECT_NEAR(arc.front().X, 15, 1e-4);
    EXPECT_NEAR(arc.front().Y, 5, 1e-4);
    EXPECT_NEAR(arc.back().X, 5, 1e-4);
    EXPECT_NEAR(arc.back().Y, 15, 1e-4);
    // S = 100 x pi^2 = 987: Round(31.4) = 31 points.
    EXPECT_EQ(ArcPoints({0, 0}, 0, std::numbers::pi_v<float>, 100).size(), 31u);
    EXPECT_EQ(ArcPoints({0, 0}, 0, 1e30f, 100).size(), static_cast<std::size_t>(max_shape_steps));

    const TArrayOfFloatPoint circle = CirclePoints({0, 0}, 10);
    ASSERT_EQ(circle.size(), 19u);
    expect_points({circle[0]}, {{10, 0}});
    for (const TFloatPoint& p : circle)
        EXPECT_NEAR(std::hypot(p.X, p.Y), 10, 1e-4);
    EXPECT_EQ(CirclePoints({0, 0}, 10, 4).size(), 4u);
    expect_points(EllipsePoints({1, 1}, 4, 2, 4), {{5, 1}, {1, 3}, {-3, 1}, {1, -1}});
    EXPECT_TRUE(EllipsePoints({1, 1}, 4, 2, 0).empty());
}

TEST(RasterVectorUtils, EdgeNormalsAndOffsets) {
    const TArrayOfFloatPoint square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    expect_points(EdgeNormals(square), {{0, -1}, {1, 0}, {0, 1}, {-1, 0}});
    // A zero-length edge keeps its (zero) normal; a short one stays unscaled.
    expect_points(EdgeNormals({{0, 0}, {0, 0}, {0.00005f, 0}}), {{0, 0}, {0, -0.00005f}, {0, 0.00005f}});

    // Each corner moved by Delta x (N1 + N2), N1 and N2 the normals of its edges.
    expect_points(OffsetPolyline(square, 2, join_style::miter, true), {{-2, -2}, {12, -2}, {12, 12}, {-2, 12}});
    expect_points(OffsetPolyline(square, -1, join_style::miter, true), {{1, 1}, {9, 1}, {9, 9}, {1, 9}});
    // Open: flat ends.
    expect_points(OffsetPolyline({{0, 0}, {10, 0}}, 1, join_style::miter, false), {{0, -1}, {10, -1}});
    // Bevels cut the outer corners, keep the inner ones mitred.
    EXPECT_EQ(OffsetPolyline(square, 2, join_style::bevel, true).size(), 8u);
    EXPECT_EQ(OffsetPolyline(square, -2, join_style::bevel, true).size(), 4u);
    EXPECT_TRUE(OffsetPolyline({{1, 1}}, 1, join_style::round, true).empty());
    EXPECT_TRUE(OffsetPolyline({{1, 1}, {1, 1}}, 1, join_style::round, true).empty());
}

TEST(RasterVectorUtils, RoundRectangleStaysInItsRectangleAndTouchesItsSides) {
    const TFloatRect r{0, 0, 40, 20};
    const TArrayOfFloatPoint points = RoundRectPoints(r, 5);
    ASSERT_GT(points.size(), 8u);
    TFloatRect b = PolygonBounds(points);
    EXPECT_NEAR(b.Left, 0, 1e-3);
    EXPECT_NEAR(b.Top, 0, 1e-3);
    EXPECT_NEAR(b.Right, 40, 1e-3);
    EXPECT_NEAR(b.Bottom, 20, 1e-3);
    // The corners are round: nothing near the rectangle's corner point.
    for (const TFloatPoint& p : points)
        EXPECT_GT(std::hypot(p.X, p.Y), 2.0f);
    for (const TFloatPoint& p : RectanglePoints(r))
        EXPECT_TRUE(p == (TFloatPoint{0, 0}) || p == (TFloatPoint{40, 0}) || p == (TFloatPoint{40, 20}) ||
                    p == (TFloatPoint{0, 20}));
}
