#include "graphics/Raster_Paths.h"

#include "graphics/Raster_VectorUtils.h"

#include <cmath>

namespace kq {

namespace {

// A curve is split at most this often: 65536 pieces, where huge or non-numeric control points would
// otherwise never become flat.
constexpr std::int32_t max_flatten_depth = 16;

TFloatPoint midpoint(const TFloatPoint& a, const TFloatPoint& b) {
    return {(a.X + b.X) / 2, (a.Y + b.Y) / 2};
}

TFloatPoint mirrored(const TFloatPoint& p, const TFloatPoint& about) {
    return {2 * about.X - p.X, 2 * about.Y - p.Y};
}

float bend(const TFloatPoint& a, const TFloatPoint& b, const TFloatPoint& c) {
    return std::abs(a.X + c.X - 2 * b.X) + std::abs(a.Y + c.Y - 2 * b.Y);
}

} // namespace

// --- Path

void TCustomPath::Clear() {
    FControlPointOrigin = cpNone;
}

void TCustomPath::MoveTo(const TFloatPoint& P) {
    FCurrentPoint = P;
    FControlPointOrigin = cpNone;
}

void TCustomPath::LineTo(const TFloatPoint& P) {
    EmitPoint(P);
    FCurrentPoint = P;
    FControlPointOrigin = cpNone;
}

void TCustomPath::CurveTo(const TFloatPoint& C1, const TFloatPoint& C2, const TFloatPoint& P) {
    flatten_cubic(FCurrentPoint, C1, C2, P, 0);
    EmitPoint(P);
    FCurrentPoint = P;
    FLastControlPoint = C2;
    FControlPointOrigin = cpCubic;
}

void TCustomPath::CurveTo(const TFloatPoint& C2, const TFloatPoint& P) {
    const TFloatPoint c1 = FControlPointOrigin == cpCubic ? mirrored(FLastControlPoint, FCurrentPoint) : FCurrentPoint;
    CurveTo(c1, C2, P);
}

void TCustomPath::ConicTo(const TFloatPoint& P1, const TFloatPoint& P) {
    flatten_conic(FCurrentPoint, P1, P, 0);
    EmitPoint(P);
    FCurrentPoint = P;
    FLastControlPoint = P1;
    FControlPointOrigin = cpConic;
}

void TCustomPath::ConicTo(const TFloatPoint& P) {
    const TFloatPoint p1 = FControlPointOrigin == cpConic ? mirrored(FLastControlPoint, FCurrentPoint) : FCurrentPoint;
    ConicTo(p1, P);
}

void TCustomPath::flatten_cubic(const TFloatPoint& P1, const TFloatPoint& P2, const TFloatPoint& P3,
                                const TFloatPoint& P4, std::int32_t depth) {
    const float flatness = bend(P1, P2, P3) + bend(P2, P3, P4);
    if (flatness < CubicTolerance || depth >= max_flatten_depth || !std::isfinite(flatness)) {
        EmitPoint(P1);
        return;
    }
    const TFloatPoint p12 = midpoint(P1, P2), p23 = midpoint(P2, P3), p34 = midpoint(P3, P4);
    const TFloatPoint p123 = midpoint(p12, p23), p234 = midpoint(p23, p34);
    const TFloatPoint p1234 = midpoint(p123, p234);
    flatten_cubic(P1, p12, p123, p1234, depth + 1);
    flatten_cubic(p1234, p234, p34, P4, depth + 1);
}

void TCustomPath::flatten_conic(const TFloatPoint& P1, const TFloatPoint& P2, const TFloatPoint& P3,
                                std::int32_t depth) {
    const float flatness = bend(P1, P2, P3);
    if (flatness < QuadraticTolerance || depth >= max_flatten_depth || !std::isfinite(flatness)) {
        EmitPoint(P1);
        return;
    }
    const TFloatPoint p12 = midpoint(P1, P2), p23 = midpoint(P2, P3);
    const TFloatPoint p123 = midpoint(p12, p23);
    flatten_conic(P1, p12, p123, depth + 1);
    flatten_conic(p123, p23, P3, depth + 1);
}

void TCustomPath::Rectangle(const TFloatRect& Rect) {
    Polygon(RectanglePoints(Rect));
}

void TCustomPath::RoundRect(const TFloatRect& Rect, float Radius) {
    Polygon(RoundRectPoints(Rect, Radius));
}

void TCustomPath::Arc(const TFloatPoint& P, float StartAngle, float EndAngle, float Radius) {
    Polygon(ArcPoints(P, StartAngle, EndAngle, Radius));
}

void TCustomPath::Ellipse(float Rx, float Ry, std::int32_t Steps) {
    Ellipse(FCurrentPoint.X, FCurrentPoint.Y, Rx, Ry, Steps);
}

void TCustomPath::Ellipse(float Cx, float Cy, float Rx, float Ry, std::int32_t Steps) {
    Polygon(EllipsePoints({Cx, Cy}, Rx, Ry, Steps));
}

void TCustomPath::Circle(float Cx, float Cy, float Radius, std::int32_t Steps) {
    Polygon(CirclePoints({Cx, Cy}, Radius, Steps));
}

void TCustomPath::Circle(const TFloatPoint& Center, float Radius, std::int32_t Steps) {
    Polygon(CirclePoints(Center, Radius, Steps));
}

void TCustomPath::Polygon(const TArrayOfFloatPoint& APoints) {
    if (APoints.empty())
        return;
    BeginPath();
    MoveTo(APoints[0]);
    for (std::size_t i = 1; i < APoints.size(); ++i)
        LineTo(APoints[i]);
    ClosePath();
    EndPath();
}

void TCustomPath::AssignTo(TPersistent* Dest) const {
    auto* path = dynamic_cast<TCustomPath*>(Dest);
    if (!path) {
        TThreadPersistent::AssignTo(Dest);
        return;
    }
    path->FCurrentPoint = FCurrentPoint;
    path->FLastControlPoint = FLastControlPoint;
    path->FControlPointOrigin = FControlPointOrigin;
}

// --- Flattened path

void TFlattenedPath::Clear() {
    TCustomPath::Clear();
    FPath.clear();
    FPoints.clear();
}

void TFlattenedPath::EmitPoint(const TFloatPoint& P) {
    if (FPoints.size() == FPoints.capacity())
        FPoints.reserve(FPoints.size() + 128);
    FPoints.push_back(P);
}

void TFlattenedPath::MoveTo(const TFloatPoint& P) {
    if (!FPoints.empty())
        ClosePath();
    TCustomPath::MoveTo(P);
    EmitPoint(P);
}

void TFlattenedPath::BeginPath() {
    FPath.clear();
    FPoints.clear();
    if (OnBeginPath)
        OnBeginPath(this);
}

void TFlattenedPath::EndPath() {
    if (OnEndPath)
        OnEndPath(this);
}

void TFlattenedPath::ClosePath() {
    if (!FPoints.empty()) {
        FCurrentPoint = FPoints.front();
        FPath.push_back(std::move(FPoints));
        FPoints.clear();
    }
    if (OnClosePath)
        OnClosePath(this);
}

void TFlattenedPath::Polygon(const TArrayOfFloatPoint& APoints) {
    if (APoints.empty())
        return;
    BeginPath();
    for (const TFloatPoint& p : APoints)
        EmitPoint(p);
    FCurrentPoint = APoints.back();
    ClosePath();
    EndPath();
}

void TFlattenedPath::AssignTo(TPersistent* Dest) const {
    TCustomPath::AssignTo(Dest);
    if (auto* path = dynamic_cast<TFlattenedPath*>(Dest)) {
        path->BeginPath();
        path->FPath = FPath;
        path->EndPath();
    }
}

} // namespace kq
