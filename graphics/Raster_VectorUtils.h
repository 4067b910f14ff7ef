#pragma once
// Clipping and polygon helpers.
#include "graphics/Raster.h"

#include <cstdint>

namespace kq {

class TTransformation;

// Clips the segment to the rectangle (edges included): False when nothing of it is inside; otherwise
// the ends outside are moved onto the edges they cross. Integer coordinates of any scale (the bitmap's
// sub-pixel lines pass 16.16 fixed-point values).
bool ClipSegment(std::int32_t& X1, std::int32_t& Y1, std::int32_t& X2, std::int32_t& Y2, std::int32_t MinX,
                 std::int32_t MinY, std::int32_t MaxX, std::int32_t MaxY);

// --- Polygons

// Points with the first point appended when there are two or more and the ring is not closed yet.
TArrayOfFloatPoint CloseRing(const TArrayOfFloatPoint& Points);
// The part of the polygon inside the rectangle (edges included); empty when none is. Every point of the
// result lies within the rectangle, whatever the input's magnitude.
TArrayOfFloatPoint ClipPolygon(const TArrayOfFloatPoint& Points, const TFloatRect& ClipRect);
// Raises EAssertionFailed for an empty array.
TFloatRect PolygonBounds(const TArrayOfFloatPoint& Points);
TArrayOfFloatPoint ScalePoints(const TArrayOfFloatPoint& Points, float Sx, float Sy);
TArrayOfArrayOfFloatPoint ScalePoints(const TArrayOfArrayOfFloatPoint& Points, float Sx, float Sy);
// Through the forward float mapping; the list form prepares the transformation once first.
TArrayOfFloatPoint TransformPoints(const TArrayOfFloatPoint& Points, TTransformation& Transformation);
TArrayOfArrayOfFloatPoint TransformPoints(const TArrayOfArrayOfFloatPoint& Points, TTransformation& Transformation);

// --- Shapes. Angles are radians; a step count that no screen could use is held at max_shape_steps.

constexpr std::int32_t max_shape_steps = 65536;

TArrayOfFloatPoint ArcPoints(const TFloatPoint& P, float StartAngle, float EndAngle, float Radius);
// The steps that keep a circle of the radius within an eighth of a pixel of its polygon.
std::int32_t CircleStepCount(float Radius);
// Steps below 1: CircleStepCount.
TArrayOfFloatPoint CirclePoints(const TFloatPoint& P, float Radius, std::int32_t Steps = 0);
TArrayOfFloatPoint EllipsePoints(const TFloatPoint& P, float Rx, float Ry, std::int32_t Steps);
TArrayOfFloatPoint RectanglePoints(const TFloatRect& R);
TArrayOfFloatPoint RoundRectPoints(const TFloatRect& R, float Radius);

// Per point, the unit normal (dY, -dX) of its edge to the next point (the last edge closes the ring);
// an edge not longer than 1e-4 keeps its normal unscaled.
TArrayOfFloatPoint EdgeNormals(const TArrayOfFloatPoint& Points);

enum class join_style : std::uint8_t { miter, bevel, round };

// The polyline moved by Delta along its normals, with joins of the style at its corners.
TArrayOfFloatPoint OffsetPolyline(const TArrayOfFloatPoint& Points, float Delta, join_style Join, bool Closed,
                                  float MiterLimit = 4);

} // namespace kq
