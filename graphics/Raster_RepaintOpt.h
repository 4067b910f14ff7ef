#pragma once
// The repaint optimiser's base.
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_Layers.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kq {

// Turns the drawing done in a paint box's back buffer into rectangles to copy to the screen. It adds
// them to the paint box's rectangle list; buffer and list are the paint box's.
class TCustomRepaintOptimizer : public TObject {
public:
    TCustomRepaintOptimizer(TBitmap32* Buffer, TRectList* InvalidRects);
    // Unregisters every registered collection.
    ~TCustomRepaintOptimizer() override;

    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool Value);

    // The optimiser takes over the collection's list, layer and area events; a collection is unregistered
    // before it is freed.
    virtual void RegisterLayerCollection(TLayerCollection* Layers);
    virtual void UnregisterLayerCollection(TLayerCollection* Layers);

    virtual void BeginPaint();
    virtual void EndPaint();
    virtual void BeginPaintBuffer();
    virtual void EndPaintBuffer();

    virtual void Reset() = 0;
    virtual bool UpdatesAvailable() = 0;
    virtual void PerformOptimization() = 0;

    // The buffer's and the collections' area reports.
    virtual void AreaUpdateHandler(TObject* Sender, const TRect& Area, std::uint32_t Info) = 0;
    virtual void LayerUpdateHandler(TObject* Sender, TCustomLayer* Layer) = 0;
    virtual void BufferResizedHandler(std::int32_t NewWidth, std::int32_t NewHeight) = 0;

    TBitmap32* Buffer() const { return FBuffer; }
    TRectList* InvalidRects() const { return FInvalidRects; }

protected:
    virtual void LayerListNotifyHandler(TObject* Sender, TLayerListNotification Action, TCustomLayer* Layer,
                                        std::int32_t Index) = 0;
    // Points the collection's three events at this optimiser, or clears them.
    void hook_collection(TLayerCollection* layers);
    static void unhook_collection(TLayerCollection* layers);

    bool FEnabled = false;
    std::vector<TLayerCollection*> FLayerCollections; // registered, borrowed
    TRectList* FInvalidRects;
    TBitmap32* FBuffer;
};

// A repaint optimiser class: its name and how to make one for a paint box's buffer and list.
struct repaint_optimizer_class : class_info {
    std::unique_ptr<TCustomRepaintOptimizer> (*Create)(TBitmap32* Buffer, TRectList* InvalidRects) = nullptr;
};
using TCustomRepaintOptimizerClass = const repaint_optimizer_class*;

// Grows Area by Dx, Dy on each side; a reversed rectangle (a line drawn right to left or upwards) grows
// the mirrored way. Saturates at the ends of the Integer range.
void GrowArea(TRect& Area, std::int32_t Dx, std::int32_t Dy);

} // namespace kq
