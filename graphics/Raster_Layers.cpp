#include "graphics/Raster_Layers.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"

#include <algorithm>

namespace kq {

// --- TLayerCollection

TLayerCollection::TLayerCollection(TPersistent* AOwner) : FOwner(AOwner) {}

TLayerCollection::~TLayerCollection() {
    FUpdateCount = 1; // no change notifications while the layers go
    Clear();
}

void TLayerCollection::free_layer(TCustomLayer* layer) {
    layer->BeforeDestruction();
    delete layer; // its destructor takes it out of the list
}

TCustomLayer* TLayerCollection::Add(TLayerClass ItemClass) {
    TCustomLayer* layer = ItemClass->Create(this);
    const std::int32_t last = Count() - 1;
    const auto it = std::find(FItems.begin(), FItems.end(), layer);
    FItems.erase(it);
    FItems.push_back(layer);
    Notify(lnLayerAdded, layer, last);
    return layer;
}

TCustomLayer* TLayerCollection::Insert(std::int32_t Index, TLayerClass ItemClass) {
    BeginUpdate();
    auto end = scope_exit([this] { EndUpdate(); });
    TCustomLayer* layer = Add(ItemClass);
    layer->SetIndex(Index);
    Notify(lnLayerInserted, layer, Index);
    return layer;
}

void TLayerCollection::Delete(std::int32_t Index) {
    free_layer(Items(Index));
}

void TLayerCollection::Clear() {
    BeginUpdate();
    auto end = scope_exit([this] { EndUpdate(); });
    while (!FItems.empty())
        free_layer(FItems.back());
    Notify(lnCleared, nullptr, 0);
}

void TLayerCollection::Assign(const TPersistent* Source) {
    const auto* source = dynamic_cast<const TLayerCollection*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
        return;
    }
    BeginUpdate();
    auto end = scope_exit([this] { EndUpdate(); });
    while (!FItems.empty())
        free_layer(FItems.back());
    for (const TCustomLayer* layer : source->FItems)
        Add(layer->GetLayerClass())->Assign(layer);
}

void TLayerCollection::BeginUpdate() {
    if (FUpdateCount == 0)
        Changing();
    ++FUpdateCount;
}

void TLayerCollection::EndUpdate() {
    if (FUpdateCount <= 0)
        throw EAssertionFailed(u"Unpaired EndUpdate");
    if (--FUpdateCount == 0)
        Changed();
}

TCustomLayer* TLayerCollection::Items(std::int32_t Index) const {
    if (Index < 0 || Index >= Count())
        raise_list_index_error(Index);
    return FItems[static_cast<std::size_t>(Index)];
}

void TLayerCollection::SetItem(std::int32_t Index, const TCustomLayer* Value) {
    Items(Index)->Assign(Value);
}

std::int32_t TLayerCollection::IndexOf(const TCustomLayer* Layer) const {
    const auto it = std::find(FItems.begin(), FItems.end(), Layer);
    return it == FItems.end() ? -1 : static_cast<std::int32_t>(it - FItems.begin());
}

void TLayerCollection::SetMouseEvents(bool Value) {
    FMouseEvents = Value;
    SetMouseListener(nullptr);
}

void TLayerCollection::SetMouseListener(TCustomLayer* Value) {
    if (Value == FMouseListener)
        return;
    if (FMouseListener)
        FMouseListener->SetLayerStates(FMouseListener->LayerStates() -
                                       TLayerStates{lsMouseLeft, lsMouseRight, lsMouseMiddle});
    FMouseListener = Value;
}

void TLayerCollection::LayerUpdated(TCustomLayer* Layer) {
    if (OnLayerUpdated)
        OnLayerUpdated(this, Layer);
    Changed();
}

void TLayerCollection::AreaUpdated(const TRect& Rect) {
    if (OnAreaUpdated)
        OnAreaUpdated(this, Rect, AreaInfoRect);
    Changed();
}

void TLayerCollection::GDIUpdate() {
    if (FUpdateCount == 0 && OnGDIUpdate)
        OnGDIUpdate(this);
}

void TLayerCollection::Changing() {
    if (OnChanging)
        OnChanging(this);
}

void TLayerCollection::Changed() {
    if (OnChange)
        OnChange(this);
}

void TLayerCollection::GetViewportScale(float& ScaleX, float& ScaleY) {
    ScaleX = 1;
    ScaleY = 1;
    if (OnGetViewportScale)
        OnGetViewportScale(this, ScaleX, ScaleY);
}

void TLayerCollection::GetViewportShift(float& ShiftX, float& ShiftY) {
    ShiftX = 0;
    ShiftY = 0;
    if (OnGetViewportShift)
        OnGetViewportShift(this, ShiftX, ShiftY);
}

TFloatPoint TLayerCollection::LocalToViewport(TFloatPoint P, bool AScaled) {
    if (!AScaled)
        return P;
    float sx, sy, dx, dy;
    GetViewportScale(sx, sy);
    GetViewportShift(dx, dy);
    return {P.X * sx + dx, P.Y * sy + dy};
}

TFloatPoint TLayerCollection::ViewportToLocal(TFloatPoint P, bool AScaled) {
    if (!AScaled)
        return P;
    float sx, sy, dx, dy;
    GetViewportScale(sx, sy);
    GetViewportShift(dx, dy);
    return {(P.X - dx) / sx, (P.Y - dy) / sy};
}

void TLayerCollection::Notify(TLayerListNotification Action, TCustomLayer* Layer, std::int32_t Index) {
    if (OnListNotify)
        OnListNotify(this, Action, Layer, Index);
}

void TLayerCollection::InsertItem(TCustomLayer* Item) {
    FItems.push_back(Item);
    Notify(lnLayerAdded, Item, Count() - 1);
}

void TLayerCollection::RemoveItem(TCustomLayer* Item) {
    const std::int32_t index = IndexOf(Item);
    if (index < 0)
        return;
    if (FMouseListener == Item)
        SetMouseListener(nullptr);
    FItems.erase(FItems.begin() + index);
    Notify(lnLayerDeleted, Item, index);
}

// --- TCustomLayer

const layer_class custom_layer_class{{u"TCustomLayer"}, &create_layer<TCustomLayer>};

TCustomLayer::TCustomLayer(TLayerCollection* ALayerCollection) {
    SetLayerCollection(ALayerCollection);
    FLayerOptions = layer_visible;
}

TCustomLayer::~TCustomLayer() {
    // A notified layer may free others and their lists; stop when this list is gone.
    while (!FFreeNotifies.empty()) {
        TCustomLayer* layer = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        layer->Notification(this);
    }
    SetLayerCollection(nullptr);
}

void TCustomLayer::BeforeDestruction() {
    if (OnDestroy)
        OnDestroy(this);
    TNotifiablePersistent::BeforeDestruction();
}

TLayerClass TCustomLayer::GetLayerClass() const {
    return &custom_layer_class;
}

void TCustomLayer::SetLayerCollection(TLayerCollection* Value) {
    if (Value == FLayerCollection)
        return;
    if (FLayerCollection)
        FLayerCollection->RemoveItem(this);
    FLayerCollection = Value;
    if (Value)
        Value->InsertItem(this);
}

std::int32_t TCustomLayer::Index() const {
    return FLayerCollection ? FLayerCollection->IndexOf(this) : -1;
}

void TCustomLayer::SetIndex(std::int32_t Value) {
    if (!FLayerCollection)
        return;
    const std::int32_t current = Index();
    if (Value == current)
        return;
    Value = std::clamp(Value, 0, FLayerCollection->Count() - 1);
    if (Value == current)
        return;
    const bool visible = Visible();
    if (visible)
        FLayerCollection->BeginUpdate();
    auto& items = FLayerCollection->FItems;
    items.erase(items.begin() + current);
    items.insert(items.begin() + Value, this);
    if (visible)
        FLayerCollection->EndUpdate();
}

void TCustomLayer::BringToFront() {
    if (FLayerCollection)
        SetIndex(FLayerCollection->Count());
}

void TCustomLayer::SendToBack() {
    SetIndex(0);
}

void TCustomLayer::SetLayerOptions(std::uint32_t Value) {
    Changing();
    FLayerOptions = Value;
    Changed();
}

void TCustomLayer::SetVisible(bool Value) {
    if (Value) {
        SetLayerOptions(FLayerOptions | layer_visible);
        return;
    }
    // Reported once more although hidden: its old area must be repainted.
    SetForceUpdate(true);
    SetLayerOptions(FLayerOptions & ~layer_visible);
    SetForceUpdate(false);
}

void TCustomLayer::SetMouseEvents(bool Value) {
    SetLayerOptions(Value ? FLayerOptions | layer_mouse_events : FLayerOptions & ~layer_mouse_events);
}

void TCustomLayer::SetInvalidMark(bool Value) {
    FLayerOptions = Value ? FLayerOptions | layer_invalid : FLayerOptions & ~layer_invalid;
}

void TCustomLayer::SetForceUpdate(bool Value) {
    FLayerOptions = Value ? FLayerOptions | layer_force_update : FLayerOptions & ~layer_force_update;
}

void TCustomLayer::Changing() {
    if (FUpdateCount == 0 && Visible() && FLayerCollection && !(FLayerOptions & layer_no_update))
        FLayerCollection->Changing();
}

template <class Report>
void TCustomLayer::changed_by(Report report) {
    if (FUpdateCount != 0 || !FLayerCollection || (FLayerOptions & layer_no_update))
        return;
    report();
    if (Visible())
        FLayerCollection->Changed();
    else if (FLayerOptions & layer_gdi_overlay)
        FLayerCollection->GDIUpdate();
    TNotifiablePersistent::Changed();
}

void TCustomLayer::Changed() {
    changed_by([this] { Update(); });
}

void TCustomLayer::Changed(const TRect& Rect) {
    changed_by([&] { Update(Rect); });
}

void TCustomLayer::Update() {
    if (FLayerCollection && (Visible() || (FLayerOptions & layer_force_update)))
        FLayerCollection->LayerUpdated(this);
}

void TCustomLayer::Update(const TRect& Rect) {
    if (FLayerCollection)
        FLayerCollection->AreaUpdated(Rect);
}

bool TCustomLayer::DoHitTest(std::int32_t, std::int32_t) {
    return Visible();
}

bool TCustomLayer::HitTest(std::int32_t X, std::int32_t Y) {
    bool passed = DoHitTest(X, Y);
    if (OnHitTest)
        OnHitTest(this, X, Y, passed);
    return passed;
}

void TCustomLayer::Paint(TBitmap32*) {}

void TCustomLayer::DoPaint(TBitmap32* Buffer) {
    Paint(Buffer);
    if (OnPaint)
        OnPaint(this, Buffer);
}

void TCustomLayer::Notification(TCustomLayer*) {}

void TCustomLayer::AddNotification(TCustomLayer* ALayer) {
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), ALayer) == FFreeNotifies.end())
        FFreeNotifies.push_back(ALayer);
}

void TCustomLayer::RemoveNotification(TCustomLayer* ALayer) {
    std::erase(FFreeNotifies, ALayer);
}

void TCustomLayer::SetCursor(std::int16_t Value) {
    FCursor = Value;
#ifdef _WIN32
    if (FLayerCollection && FLayerCollection->MouseListener() == this)
        set_screen_cursor(Value);
#endif
}

} // namespace kq
