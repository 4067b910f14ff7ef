#include "tabs/PageTabsPolygons.h"

#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Lists.h"

namespace kq {

// --- Polygons

TPageTabPolygon& TPageTabPolygons::GetPolygons(int Index) {
    if (Index < 0 || Index >= PolygonCount()) raise_list_index_error(Index);
    return FPolygons[static_cast<std::size_t>(Index)];
}

IPageTabPolygons& TPageTabPolygons::AddPolygon(TPolygon Polygon, std::shared_ptr<const TGPBrush> Brush,
                                               std::shared_ptr<const TGPPen> Pen) {
    FPolygons.emplace_back(std::move(Polygon), std::move(Brush), std::move(Pen));
    return *this;
}

void TPageTabPolygons::DrawTo(TGPGraphics& TargetCanvas, TDrawToFunctions DrawToFunctions) {
    const bool fill = DrawToFunctions != TDrawToFunctions::dfPen;
    const bool outline = DrawToFunctions != TDrawToFunctions::dfBrush;
    std::vector<Gdiplus::Point> points;
    for (const TPageTabPolygon& polygon : FPolygons) {
        points.clear();
        for (const TPoint& p : polygon.Polygon()) points.emplace_back(p.X, p.Y);
        // A handler may hand over an empty shape; there is nothing to draw for it.
        if (points.empty()) continue;
        if (fill && polygon.Brush()) TargetCanvas.FillPolygon(*polygon.Brush(), points);
        if (outline && polygon.Pen()) TargetCanvas.DrawPolygon(*polygon.Pen(), points);
    }
}

// --- Drag object

TDragTabObject::~TDragTabObject() {
    if (FDragForm) FDragForm->Release();
}

} // namespace kq
