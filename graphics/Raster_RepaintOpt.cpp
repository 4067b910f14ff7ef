#include "graphics/Raster_RepaintOpt.h"

#include "graphics/Raster_Math.h"

#include <algorithm>
#include <limits>

namespace kq {

TCustomRepaintOptimizer::TCustomRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects)
    : FInvalidRects(InvalidRects), FBuffer(Buffer) {}

TCustomRepaintOptimizer::~TCustomRepaintOptimizer() {
    for (TLayerCollection* layers : FLayerCollections)
        unhook_collection(layers);
}

void TCustomRepaintOptimizer::SetEnabled(bool Value) {
    FEnabled = Value;
}

void TCustomRepaintOptimizer::hook_collection(TLayerCollection* layers) {
    layers->OnLayerUpdated = [this](TObject* s, TCustomLayer* l) { LayerUpdateHandler(s, l); };
    layers->OnAreaUpdated = [this](TObject* s, const TRect& a, std::uint32_t i) { AreaUpdateHandler(s, a, i); };
    layers->OnListNotify = [this](TObject* s, TLayerListNotification a, TCustomLayer* l, std::int32_t i) {
        LayerListNotifyHandler(s, a, l, i);
    };
}

void TCustomRepaintOptimizer::unhook_collection(TLayerCollection* layers) {
    layers->OnLayerUpdated = nullptr;
    layers->OnAreaUpdated = nullptr;
    layers->OnListNotify = nullptr;
}

void TCustomRepaintOptimizer::RegisterLayerCollection(TLayerCollection* Layers) {
    if (std::find(FLayerCollections.begin(), FLayerCollections.end(), Layers) != FLayerCollections.end())
        return;
    FLayerCollections.push_back(Layers);
    Layers->OnListNotify = [this](TObject* s, TLayerListNotification a, TCustomLayer* l, std::int32_t i) {
        LayerListNotifyHandler(s, a, l, i);
    };
}

void TCustomRepaintOptimizer::UnregisterLayerCollection(TLayerCollection* Layers) {
    unhook_collection(Layers);
    std::erase(FLayerCollections, Layers);
}

void TCustomRepaintOptimizer::BeginPaint() {}
void TCustomRepaintOptimizer::EndPaint() {}
void TCustomRepaintOptimizer::BeginPaintBuffer() {}
void TCustomRepaintOptimizer::EndPaintBuffer() {}

void GrowArea(TRect& Area, std::int32_t Dx, std::int32_t Dy) {
    std::int64_t dx = Dx, dy = Dy;
    if (Area.Right < Area.Left)
        dx = -dx;
    if (Area.Bottom < Area.Top)
        dy = -dy;
    Area = {saturate(Area.Left - dx), saturate(Area.Top - dy), saturate(Area.Right + dx), saturate(Area.Bottom + dy)};
}

} // namespace kq
