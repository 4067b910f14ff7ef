// Paths: the drawing vocabulary, curve flattening and the flattened polygons.

#include "graphics/Raster_Paths.h"

#include "framework/Exceptions.h"
#include "graphics/Raster_VectorUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace kq;

namespace {

// Records every emitted point.
class recording_path : public TCustomPath {
public:
    std::vector<TFloatPoint> points;

protected:
    void EmitPoint(const TFloatPoint& P) override { points.push_back(P); }
};

TFloatPoint cubic_at(const TFloatPoint& p1, const TFloatPoint& p2, const TFloatPoint& p3, const TFloatPoint& p4,
                     float t) {
    const float u = 1 - t;
    return {u * u * u * p1.X + 3 * u * u * t * p2.X + 3 * u * t * t * p3.X + t * t * t * p4.X,
            u * u * u * p1.Y + 3 * u * u * t * p2.Y + 3 * u * t * t * p3.Y + t * t * t * p4.Y};
}

} // namespace

TEST(RasterPaths, StraightCurvesEmitOnlyTheirEnds) {
    recording_path path;
    path.MoveTo(0, 0);
    path.CurveTo(1, 0, 2, 0, 3, 0);
    EXPECT_EQ(path.points, (std::vector<TFloatPoint>{{0, 0}, {3, 0}}));
    path.points.clear();
    path.ConicTo(4, 0, 5, 0);
    EXPECT_EQ(path.points, (std::vector<TFloatPoint>{{3, 0}, {5, 0}}));
    EXPECT_EQ(path.CurrentPoint(), (TFloatPoint{5, 0}));
}

TEST(RasterPaths, FlattenedCurvesStayOnTheCurve) {
    recording_path path;
    const TFloatPoint p1{0, 0}, p2{0, 55}, p3{45, 100}, p4{100, 100};
    path.MoveTo(p1);
    path.CurveTo(p2, p3, p4);
    ASSERT_GT(path.points.size(), 8u);
    EXPECT_EQ(path.points.front(), p1);
    EXPECT_EQ(path.points.back(), p4);
    // Every point is a point of the curve at a dyadic parameter; consecutive ones are close.
    for (std::size_t i = 1; i < path.points.size(); ++i)
        EXPECT_LT(std::hypot(path.points[i].X - path.points[i - 1].X, path.points[i].Y - path.points[i - 1].Y), 16);
    const float t = 0.5f;
    const TFloatPoint mid = cubic_at(p1, p2, p3, p4, t);
    bool found = false;
    for (const TFloatPoint& p : path.points)
        found |= std::abs(p.X - mid.X) < 1e-3 && std::abs(p.Y - mid.Y) < 1e-3;
    EXPECT_TRUE(found);
}

TEST(RasterPaths, SmoothCurvesMirrorTheLastControlPoint) {
    // After a line: the current point is the first control point.
    recording_path smooth, explicit_form;
    for (recording_path* p : {&smooth, &explicit_form}) {
        p->MoveTo(0, 0);
        p->LineTo(10, 0);
    }
    smooth.CurveTo(TFloatPoint{20, 40}, TFloatPoint{30, 0});
    explicit_form.CurveTo({10, 0}, {20, 40}, {30, 0});
    EXPECT_EQ(smooth.points, explicit_form.points);

    // After a cubic: the reflection of its second control point.
    smooth.CurveTo(TFloatPoint{50, -40}, TFloatPoint{60, 0});
    explicit_form.CurveTo({40, -40}, {50, -40}, {60, 0});
    EXPECT_EQ(smooth.points, explicit_form.points);

    // A quadratic after a cubic does not mirror; after a quadratic it does.
    recording_path conic, conic_explicit;
    for (recording_path* p : {&conic, &conic_explicit}) {
        p->MoveTo(0, 0);
        p->CurveTo(5, 5, 10, 5, 10, 0);
    }
    conic.ConicTo(TFloatPoint{20, 0});
    conic_explicit.ConicTo({10, 0}, {20, 0});
    conic.ConicTo(TFloatPoint{40, 0});
    conic_explicit.ConicTo({30, 0}, {40, 0});
    EXPECT_EQ(conic.points, conic_explicit.points);
}

TEST(RasterPaths, RelativeFormsAddTheCurrentPoint) {
    recording_path path;
    path.MoveTo(10, 10);
    path.LineToRelative(5, 0);
    path.VerticalLineToRelative(5);
    path.HorizontalLineTo(0);
    path.VerticalLineTo(2);
    path.MoveToRelative(1, 1);
    path.LineToRelative(1, 1);
    EXPECT_EQ(path.points, (std::vector<TFloatPoint>{{15, 10}, {15, 15}, {0, 15}, {0, 2}, {2, 4}}));
}

TEST(RasterPaths, CurvesOfHugeOrMissingNumbersEnd) {
    const float big = std::numeric_limits<float>::max() / 4, nan = std::nanf("");
    recording_path path;
    path.MoveTo(0, 0);
    path.CurveTo(big, -big, -big, big, 1, 1);
    path.ConicTo(nan, 0, 2, 2);
    EXPECT_LE(path.points.size(), 65536u + 2u + 1u);
    EXPECT_EQ(path.points.back(), (TFloatPoint{2, 2}));
}

TEST(RasterFlattenedPath, MoveToClosesThePendingPolygon) {
    TFlattenedPath path;
    int closes = 0;
    path.OnClosePath = [&](TObject*) { ++closes; };
    path.MoveTo(0, 0);
    path.LineTo(10, 0);
    path.LineTo(10, 10);
    path.MoveTo(20, 20);
    EXPECT_EQ(path.Path(), (TArrayOfArrayOfFloatPoint{{{0, 0}, {10, 0}, {10, 10}}}));
    EXPECT_EQ(path.Points(), (TArrayOfFloatPoint{{20, 20}}));
    EXPECT_EQ(path.CurrentPoint(), (TFloatPoint{20, 20}));
    EXPECT_EQ(closes, 1);
    path.ClosePath();
    EXPECT_EQ(path.Path().size(), 2u);
    EXPECT_TRUE(path.Points().empty());
    EXPECT_EQ(closes, 2);
}

TEST(RasterFlattenedPath, ShapesBecomeOnePolygonEach) {
    TFlattenedPath path;
    std::vector<const char*> events;
    path.OnBeginPath = [&](TObject*) { events.push_back("begin"); };
    path.OnClosePath = [&](TObject*) { events.push_back("close"); };
    path.OnEndPath = [&](TObject*) { events.push_back("end"); };
    path.Circle(50, 50, 10);
    EXPECT_EQ(events, (std::vector<const char*>{"begin", "close", "end"}));
    ASSERT_EQ(path.Path().size(), 1u);
    EXPECT_EQ(path.Path()[0].size(), 19u);
    EXPECT_EQ(path.CurrentPoint(), path.Path()[0].front());

    // Each shape starts a new path: the previous polygons are dropped.
    path.Rectangle({1, 2, 3, 4});
    EXPECT_EQ(path.Path(), (TArrayOfArrayOfFloatPoint{{{1, 2}, {3, 2}, {3, 4}, {1, 4}}}));
    path.Arc({0, 0}, 0, 1, 10);
    EXPECT_EQ(path.Path()[0].size(), 6u);
    path.MoveTo(5, 5);
    path.Ellipse(4, 2, 8);
    EXPECT_EQ(path.Path()[0].size(), 8u);
    EXPECT_NEAR(path.Path()[0][0].X, 9, 1e-5);
    path.RoundRect({0, 0, 20, 20}, 4);
    EXPECT_GT(path.Path()[0].size(), 8u);

    events.clear();
    path.Polygon({});
    EXPECT_TRUE(events.empty());
    path.Clear();
    EXPECT_TRUE(path.Path().empty());
}

TEST(RasterFlattenedPath, TheBaseVocabularyBuildsTheSamePolygons) {
    // The base Polygon goes through MoveTo and LineTo; the flattened path's own emits directly.
    recording_path base;
    base.Polygon({{1, 1}, {5, 1}, {3, 4}});
    EXPECT_EQ(base.points, (std::vector<TFloatPoint>{{5, 1}, {3, 4}}));
    EXPECT_EQ(base.CurrentPoint(), (TFloatPoint{3, 4}));
    base.Polygon({});
}

TEST(RasterFlattenedPath, AssignCopiesThePolygonsAndTheCurveState) {
    TFlattenedPath source, copy;
    source.MoveTo(0, 0);
    source.CurveTo(1, 5, 4, 5, 5, 0);
    source.ClosePath();
    source.MoveTo(7, 7);
    copy.Assign(&source);
    EXPECT_EQ(copy.Path(), source.Path());
    EXPECT_EQ(copy.CurrentPoint(), source.CurrentPoint());
    // The smooth form continues from the copied control point.
    source.CurveTo(TFloatPoint{9, 9}, TFloatPoint{10, 10});
    copy.CurveTo(TFloatPoint{9, 9}, TFloatPoint{10, 10});
    EXPECT_EQ(copy.Points().back(), source.Points().back());

    recording_path plain;
    plain.Assign(&source);
    EXPECT_EQ(plain.CurrentPoint(), source.CurrentPoint());
    TThreadPersistent other;
    EXPECT_THROW(other.Assign(&source), Exception);
}
