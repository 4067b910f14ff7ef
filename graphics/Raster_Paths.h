#pragma once
// Paths and glyph outlines.
#include "graphics/Raster.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>

namespace kq {

namespace detail {
// Lets the text layout move the glyphs of a finished line.
struct flattened_path_access;
} // namespace detail

enum TControlPointOrigin : std::uint8_t { cpNone, cpCubic, cpConic };

// Curves are flattened until their control polygon bends less than this.
constexpr float CubicTolerance = 0.25f;
constexpr float QuadraticTolerance = 0.25f;

// The drawing vocabulary of a path; what the points become is a subclass's business (EmitPoint). Relative
// forms add CurrentPoint to every point given.
class TCustomPath : public TThreadPersistent {
public:
    const TFloatPoint& CurrentPoint() const { return FCurrentPoint; }

    virtual void Clear();
    virtual void MoveTo(const TFloatPoint& P);
    void MoveTo(float X, float Y) { MoveTo(TFloatPoint{X, Y}); }
    void MoveToRelative(const TFloatPoint& P) { MoveTo(moved(P)); }
    void MoveToRelative(float X, float Y) { MoveToRelative(TFloatPoint{X, Y}); }
    virtual void LineTo(const TFloatPoint& P);
    void LineTo(float X, float Y) { LineTo(TFloatPoint{X, Y}); }
    void LineToRelative(const TFloatPoint& P) { LineTo(moved(P)); }
    void LineToRelative(float X, float Y) { LineToRelative(TFloatPoint{X, Y}); }
    void HorizontalLineTo(float X) { LineTo(X, FCurrentPoint.Y); }
    void HorizontalLineToRelative(float X) { HorizontalLineTo(FCurrentPoint.X + X); }
    void VerticalLineTo(float Y) { LineTo(FCurrentPoint.X, Y); }
    void VerticalLineToRelative(float Y) { VerticalLineTo(FCurrentPoint.Y + Y); }

    // A cubic curve through control points C1 and C2 to P.
    virtual void CurveTo(const TFloatPoint& C1, const TFloatPoint& C2, const TFloatPoint& P);
    void CurveTo(float X1, float Y1, float X2, float Y2, float X, float Y) { CurveTo({X1, Y1}, {X2, Y2}, {X, Y}); }
    void CurveToRelative(const TFloatPoint& C1, const TFloatPoint& C2, const TFloatPoint& P) {
        CurveTo(moved(C1), moved(C2), moved(P));
    }
    // Smooth: the first control point mirrors the last cubic one about CurrentPoint.
    virtual void CurveTo(const TFloatPoint& C2, const TFloatPoint& P);
    void CurveTo(float X2, float Y2, float X, float Y) { CurveTo(TFloatPoint{X2, Y2}, TFloatPoint{X, Y}); }
    void CurveToRelative(const TFloatPoint& C2, const TFloatPoint& P) { CurveTo(moved(C2), moved(P)); }
    // A quadratic curve through control point P1 to P.
    virtual void ConicTo(const TFloatPoint& P1, const TFloatPoint& P);
    void ConicTo(float X1, float Y1, float X, float Y) { ConicTo(TFloatPoint{X1, Y1}, TFloatPoint{X, Y}); }
    void ConicToRelative(const TFloatPoint& P1, const TFloatPoint& P) { ConicTo(moved(P1), moved(P)); }
    // Smooth: the control point mirrors the last quadratic one about CurrentPoint.
    virtual void ConicTo(const TFloatPoint& P);
    void ConicTo(float X, float Y) { ConicTo(TFloatPoint{X, Y}); }
    void ConicToRelative(const TFloatPoint& P) { ConicTo(moved(P)); }

    virtual void BeginPath() {}
    virtual void EndPath() {}
    virtual void ClosePath() {}

    // Closed shapes, each one polygon; angles in radians; Steps below 1 picks a count from the radius.
    virtual void Rectangle(const TFloatRect& Rect);
    virtual void RoundRect(const TFloatRect& Rect, float Radius);
    virtual void Arc(const TFloatPoint& P, float StartAngle, float EndAngle, float Radius);
    virtual void Ellipse(float Rx, float Ry, std::int32_t Steps);
    virtual void Ellipse(float Cx, float Cy, float Rx, float Ry, std::int32_t Steps);
    virtual void Circle(float Cx, float Cy, float Radius, std::int32_t Steps = 0);
    virtual void Circle(const TFloatPoint& Center, float Radius, std::int32_t Steps = 0);
    // Nothing for an empty array.
    virtual void Polygon(const TArrayOfFloatPoint& APoints);

protected:
    virtual void EmitPoint(const TFloatPoint&) {}
    void AssignTo(TPersistent* Dest) const override;

    TFloatPoint FCurrentPoint;
    TFloatPoint FLastControlPoint;
    TControlPointOrigin FControlPointOrigin = cpNone;

private:
    TFloatPoint moved(const TFloatPoint& P) const { return {P.X + FCurrentPoint.X, P.Y + FCurrentPoint.Y}; }
    void flatten_cubic(const TFloatPoint& P1, const TFloatPoint& P2, const TFloatPoint& P3, const TFloatPoint& P4,
                       std::int32_t depth);
    void flatten_conic(const TFloatPoint& P1, const TFloatPoint& P2, const TFloatPoint& P3, std::int32_t depth);
};

// Collects the points into closed polygons, ready for a polygon renderer.
class TFlattenedPath : public TCustomPath {
public:
    using TCustomPath::MoveTo;
    using TCustomPath::Polygon;

    void Clear() override;
    // Closes the polygon under construction first, then starts a new one at P.
    void MoveTo(const TFloatPoint& P) override;
    void BeginPath() override;
    void EndPath() override;
    void ClosePath() override;
    void Polygon(const TArrayOfFloatPoint& APoints) override;
    virtual void DrawPath() {}

    const TArrayOfArrayOfFloatPoint& Path() const { return FPath; }
    // The points of the polygon under construction.
    TArrayOfFloatPoint Points() const { return FPoints; }

    TNotifyEvent OnBeginPath;
    TNotifyEvent OnEndPath;
    TNotifyEvent OnClosePath;

protected:
    friend struct detail::flattened_path_access;

    void EmitPoint(const TFloatPoint& P) override;
    void AssignTo(TPersistent* Dest) const override;

    TArrayOfArrayOfFloatPoint FPath;
    TArrayOfFloatPoint FPoints;
};

} // namespace kq
