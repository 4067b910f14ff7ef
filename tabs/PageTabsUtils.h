#pragma once
// Free functions of the tab strip: easing, eased and mirrored rectangles, polygons and hit testing,
// colour blending for style transitions, conversions to GDI+ types, drag-image helpers and component
// text. Stateless; GUI thread.

#include "framework/GdiPlus.h"
#include "framework/Geometry.h"
#include "framework/Graphics.h"
#include "tabs/PageTabsTypes.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kq {

class TComponent;
class TControl;
class TCustomForm;
class TCustomImageList;
class TStream;
class TWinControl;

using TPolygon = std::vector<TPoint>;

// --- Easing

// The eased value at CurrentTime of a change from StartValue by ChangeInValue over Duration. Time is
// not clamped. ttNone yields 0. An ease type outside the enumeration raises EAssertionFailed
// "Invalid Ease Type".
double ComputeEasedValue(TPageTabsEaseType EaseType, double CurrentTime, double StartValue, double ChangeInValue,
                         double Duration);

// Each coordinate eased from StartRect to EndRect and rounded half to even.
TRect InterpolateRectEased(const TRect& StartRect, const TRect& EndRect, std::uint32_t CurrentTime,
                           std::uint32_t Duration, TPageTabsEaseType EaseType);

// --- Geometry

// R reflected about the vertical centre line of Container.
TRect MirrorRectInRect(const TRect& Container, const TRect& R);
TPolygon MirrorPolygon(const TRect& Container, const TPolygon& Polygon);
// Even-odd rule: points on a left or top edge are inside, on a right or bottom edge outside.
bool IsPointInsidePolygon(const TPolygon& Polygon, int X, int Y);
// Points relative to R; toBottom flips them vertically inside R.
TPolygon PositionPolygon(const TRect& R, std::span<const TPoint> Points, TTabOrientation Orientation);
TRect ShrinkRect(const TRect& R, int Amount);
constexpr int width_of(const TRect& r) noexcept { return r.Right - r.Left; }
constexpr int height_of(const TRect& r) noexcept { return r.Bottom - r.Top; }
bool RectsEqual(const TRect& A, const TRect& B);

// --- Blending

// Start + (Stop - Start) x Percent div 100, truncating toward zero.
int BlendInteger(int Start, int Stop, int Percent);
float BlendSingle(float Start, float Stop, int Percent);
// Each of the three low bytes blended as BlendInteger; system colours are blended as raw values.
TColor BlendColor(TColor Start, TColor Stop, int Percent);

// --- GDI+

// The colour resolved (system colours included) with Alpha on top.
ARGB MakeGPColor(TColor Color, std::uint8_t Alpha);
Gdiplus::RectF RectToGPRectF(const TRect& R);
Gdiplus::Rect RectToGPRect(const TRect& R);
Gdiplus::Point PointToGPPoint(const TPoint& P);
std::vector<Gdiplus::Point> PolygonToGPPoints(const TPolygon& Polygon);
// Clips Graphics to the polygon (alternate fill) combined with the current clip by CombineMode.
void SetClipPolygon(TGPGraphics& Graphics, const TPolygon& Polygon, Gdiplus::CombineMode CombineMode);
TGPImage IconToGPImage(TIcon& Icon);
TGPImage ImageListToGPImage(TCustomImageList& ImageList, int Index);

// --- Drag images and backgrounds

// Copies the client area of Control's window, as the screen shows it, into Bitmap's canvas at (X, Y).
void CopyControlImage(TWinControl& Control, TBitmap& Bitmap, int X, int Y);
// Lets Control's parent erase and paint into Canvas, shifted so that the parent's pixels under the
// control land at the canvas's origin. Nothing without a parent.
void PaintParentBackground(TControl& Control, TCanvas& Canvas);
// Target becomes Source resampled by Factor (size rounded half to even), 24 bits per pixel; Source is
// made 24-bit first.
void ScaleBitmap(TBitmap& Source, TBitmap& Target, double Factor);
// Passes Bitmap through GDI+ (no colour management): it comes back as 32 bits per pixel, opaque.
void RecreateBitmapThroughGDIPlus(TBitmap& Bitmap);

// Pixels whose colour is Color ($RRGGBB) take Alpha and are premultiplied by it; others stay.
// Bitmap must hold 32 bits per pixel.
void SetColorKeyAlpha(TBitmap& Bitmap, std::uint32_t Color, std::uint8_t Alpha);
// A hidden layered form owned by Owner, showing Bitmap (32 bits, straight alpha) at Alpha; the caller
// places and shows it.
TCustomForm* ShowLayeredDragImage(TComponent* Owner, TBitmap& Bitmap, std::uint8_t Alpha);

// --- Component text

void ComponentToText(TComponent& Component, TStream& Stream);
void TextToComponent(TComponent& Component, TStream& Stream);
// One assignment per property line: "Name.Prop := value;"; empty for a component with no properties.
String ComponentToCode(TComponent& Component, const String& ObjectName);

} // namespace kq
