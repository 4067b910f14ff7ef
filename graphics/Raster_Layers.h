#pragma once
// Layers and their collection.
#include "framework/Sets.h"
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <functional>
#include <vector>

#ifdef _WIN32
#include "framework/Controls.h"
#endif

namespace kq {

class TCustomLayer;
class TLayerCollection;

enum TLayerListNotification : std::uint8_t { lnLayerAdded, lnLayerInserted, lnLayerDeleted, lnCleared };
enum TLayerState : std::uint8_t { lsMouseLeft, lsMouseRight, lsMouseMiddle };
using TLayerStates = enum_set<TLayerState>;

using TLayerListNotifyEvent =
    std::function<void(TObject* Sender, TLayerListNotification Action, TCustomLayer* Layer, std::int32_t Index)>;
using TLayerUpdateEvent = std::function<void(TObject* Sender, TCustomLayer* Layer)>;
using TGetScaleEvent = std::function<void(TObject* Sender, float& X, float& Y)>;
using TGetShiftEvent = std::function<void(TObject* Sender, float& X, float& Y)>;
using TPaintLayerEvent = std::function<void(TObject* Sender, TBitmap32* Buffer)>;
using THitTestEvent = std::function<void(TObject* Sender, std::int32_t X, std::int32_t Y, bool& Passed)>;

// LayerOptions bits.
constexpr std::uint32_t layer_visible = 0x80000000;
constexpr std::uint32_t layer_gdi_overlay = 0x40000000;
constexpr std::uint32_t layer_mouse_events = 0x20000000;
constexpr std::uint32_t layer_no_update = 0x10000000;
constexpr std::uint32_t layer_invalid = 0x04000000;
constexpr std::uint32_t layer_force_update = 0x02000000;

// A layer class: its name and how to make one in a collection (which then owns it).
struct layer_class : class_info {
    TCustomLayer* (*Create)(TLayerCollection* ALayerCollection) = nullptr;
};
using TLayerClass = const layer_class*;

extern const layer_class custom_layer_class;

// Makes a layer of class T in the collection.
template <class T>
TCustomLayer* create_layer(TLayerCollection* ALayerCollection) {
    return new T(ALayerCollection); // owned by the collection it joins
}

// --- The collection: layers in paint order (index 0 first), owned.

class TLayerCollection : public TPersistent {
public:
    explicit TLayerCollection(TPersistent* AOwner);
    ~TLayerCollection() override;

    TCustomLayer* Add(TLayerClass ItemClass);
    TCustomLayer* Insert(std::int32_t Index, TLayerClass ItemClass);
    void Delete(std::int32_t Index);
    void Clear();
    void Assign(const TPersistent* Source) override;

    void BeginUpdate();
    // Asserts "Unpaired EndUpdate" when not inside an update.
    void EndUpdate();

    std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
    // Raises the list's index error for an index outside 0..Count - 1.
    TCustomLayer* Items(std::int32_t Index) const;
    void SetItem(std::int32_t Index, const TCustomLayer* Value);
    std::int32_t IndexOf(const TCustomLayer* Layer) const;

    bool MouseEvents() const { return FMouseEvents; }
    void SetMouseEvents(bool Value);
    TCustomLayer* MouseListener() const { return FMouseListener; }
    void SetMouseListener(TCustomLayer* Value);
    TPersistent* Owner() const { return FOwner; }
    TPersistent* GetOwner() const override { return FOwner; }

    void LayerUpdated(TCustomLayer* Layer);
    void AreaUpdated(const TRect& Rect);
    void GDIUpdate();
    void Changing();
    void Changed();

    virtual void GetViewportScale(float& ScaleX, float& ScaleY);
    virtual void GetViewportShift(float& ShiftX, float& ShiftY);
    TFloatPoint LocalToViewport(TFloatPoint P, bool AScaled);
    TFloatPoint ViewportToLocal(TFloatPoint P, bool AScaled);

    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;
    TNotifyEvent OnGDIUpdate;
    TLayerListNotifyEvent OnListNotify;
    TLayerUpdateEvent OnLayerUpdated;
    TAreaChangedEvent OnAreaUpdated;
    TGetScaleEvent OnGetViewportScale;
    TGetShiftEvent OnGetViewportShift;

protected:
    void Notify(TLayerListNotification Action, TCustomLayer* Layer, std::int32_t Index);

private:
    friend class TCustomLayer;
    void InsertItem(TCustomLayer* Item);
    void RemoveItem(TCustomLayer* Item);
    void free_layer(TCustomLayer* layer);

    std::vector<TCustomLayer*> FItems; // owned
    bool FMouseEvents = true;
    TCustomLayer* FMouseListener = nullptr;
    std::int32_t FUpdateCount = 0;
    TPersistent* FOwner;
};

// --- A layer. Owned by its collection: freed by Delete, Clear or the collection's destruction.

class TCustomLayer : public TNotifiablePersistent {
public:
    explicit TCustomLayer(TLayerCollection* ALayerCollection);
    ~TCustomLayer() override;

    // Raises OnDestroy; the collection calls it before it frees the layer.
    void BeforeDestruction() override;
    // The class a copy of this layer is made of (the collection's Assign).
    virtual TLayerClass GetLayerClass() const;

    TLayerCollection* LayerCollection() const { return FLayerCollection; }
    virtual void SetLayerCollection(TLayerCollection* Value);
    // -1 outside a collection.
    std::int32_t Index() const;
    virtual void SetIndex(std::int32_t Value);
    void BringToFront();
    void SendToBack();

    std::uint32_t LayerOptions() const { return FLayerOptions; }
    virtual void SetLayerOptions(std::uint32_t Value);
    bool Visible() const { return (FLayerOptions & layer_visible) != 0; }
    void SetVisible(bool Value);
    bool MouseEvents() const { return (FLayerOptions & layer_mouse_events) != 0; }
    void SetMouseEvents(bool Value);
    // The mark the repaint optimiser keeps on a layer it has to measure again; no notification.
    bool GetInvalidMark() const { return (FLayerOptions & layer_invalid) != 0; }
    void SetInvalidMark(bool Value);
    void SetForceUpdate(bool Value);

    TLayerStates LayerStates() const { return FLayerStates; }
    void SetLayerStates(TLayerStates Value) { FLayerStates = Value; }
    std::int32_t Tag() const { return FTag; }
    void SetTag(std::int32_t Value) { FTag = Value; }
    std::int16_t Cursor() const { return FCursor; }
    virtual void SetCursor(std::int16_t Value);

    void Changing();
    void Changed() override;
    void Changed(const TRect& Rect);
    void Update();
    void Update(const TRect& Rect);

    bool HitTest(std::int32_t X, std::int32_t Y);
    // Paint, then OnPaint: how the layer draws itself into a buffer.
    void DoPaint(TBitmap32* Buffer);

    // Layers told (Notification) when this one is freed.
    void AddNotification(TCustomLayer* ALayer);
    void RemoveNotification(TCustomLayer* ALayer);

#ifdef _WIN32
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
    virtual void MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y);
    // The GDI step, drawn over the copied buffer; nothing here.
    virtual void PaintGDI(TCanvas* Canvas);
    void SetAsMouseListener();

    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
#endif

    THitTestEvent OnHitTest;
    TPaintLayerEvent OnPaint;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnClick;

protected:
    virtual bool DoHitTest(std::int32_t X, std::int32_t Y);
    virtual void Notification(TCustomLayer* ALayer);
    virtual void Paint(TBitmap32* Buffer);

private:
    // Reports a change (the layer as a whole, or an area) and tells the collection, unless suppressed.
    template <class Report>
    void changed_by(Report report);

    std::int16_t FCursor = 0;
    std::vector<TCustomLayer*> FFreeNotifies; // borrowed
    TLayerCollection* FLayerCollection = nullptr;
    TLayerStates FLayerStates;
    std::uint32_t FLayerOptions = 0;
    std::int32_t FTag = 0;
#ifdef _WIN32
    bool FClicked = false; // a left press waits for its release
#endif
};

#ifdef _WIN32
// The screen's cursor, which the mouse listener's cursor sets.
void set_screen_cursor(std::int16_t cursor);
#endif

} // namespace kq
