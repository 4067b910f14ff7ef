#include "framework/Components.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Lists.h"
#include "framework/Properties.h"

#include <algorithm>
#include <cassert>

namespace kq {

namespace {

bool ascii_letter(char16_t c) noexcept { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_'; }
bool ascii_digit(char16_t c) noexcept { return c >= u'0' && c <= u'9'; }

template <class T>
void erase_value(std::vector<T*>& list, const T* value) {
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

} // namespace

bool is_valid_ident(StringView text) noexcept {
    if (text.empty() || !ascii_letter(text.front())) return false;
    return std::all_of(text.begin() + 1, text.end(), [](char16_t c) { return ascii_letter(c) || ascii_digit(c); });
}

// --- TPersistent

void TPersistent::Assign(const TPersistent* source) {
    if (!source) AssignError(nullptr);
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
    const String source_name = source ? source->ClassName() : String(u"nil");
    throw EConvertError(Format(u"Cannot assign a %s to a %s", {source_name, ClassName()}));
}

const property_table& TPersistent::PublishedProperties() const {
    static const property_table table;
    return table;
}

TPersistent* TPersistent::GetOwner() const { return nullptr; }

// --- TComponent

TComponent::TComponent(TComponent* owner) {
    if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
    Destroying();
    // Whoever asked to be told learns it now, while this object's address still means this object.
    while (!FFreeNotifies.empty()) {
        TComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        erase_value(other->FFreeNotifies, this);
        other->Notification(this, TOperation::opRemove);
    }
    DestroyComponents();
    if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::Destroying() noexcept {
    if (FComponentState.contains(TComponentStateFlag::csDestroying)) return;
    FComponentState.include(TComponentStateFlag::csDestroying);
    for (TComponent* c : FComponents) c->Destroying();
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) raise_list_index_error(index);
    return FComponents[static_cast<std::size_t>(index)];
}

int TComponent::ComponentIndex() const noexcept {
    if (!FOwner) return -1;
    const auto& list = FOwner->FComponents;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TComponent::SetName(const String& new_name) {
    if (FName == new_name) return;
    if (!new_name.empty() && !is_valid_ident(new_name))
        throw EComponentError(Format(u"Component name \"%s\" is not a valid identifier", {new_name}));
    if (FOwner) FOwner->ValidateRename(this, FName, new_name);
    FName = new_name;
}

void TComponent::ValidateRename(const TComponent* component, StringView cur_name, StringView new_name) const {
    if (new_name.empty() || SameText(cur_name, new_name)) return;
    const TComponent* existing = FindComponent(new_name);
    if (existing && existing != component)
        throw EComponentError(Format(u"A component named %s already exists", {new_name}));
}

void TComponent::SetComponentState(TComponentState value) noexcept {
    constexpr TComponentState destroying{TComponentStateFlag::csDestroying};
    FComponentState = (value - destroying) + (FComponentState * destroying);
}

TComponent* TComponent::FindComponent(StringView name) const noexcept {
    if (name.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, name)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
    assert(component && !component->FOwner && component != this);
    ValidateRename(component, u"", component->FName);
    FComponents.push_back(component);
    component->FOwner = this;
    Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    assert(component && component->FOwner == this);
    Notification(component, TOperation::opRemove);
    Detach(component);
}

void TComponent::Detach(TComponent* component) noexcept {
    erase_value(FComponents, component);
    component->FOwner = nullptr;
}

void TComponent::DestroyComponents() noexcept {
    while (!FComponents.empty()) {
        TComponent* last = FComponents.back();
        // The remaining components hear of it, so none keeps a pointer to a freed sibling.
        Notification(last, TOperation::opRemove);
        Detach(last);
        delete last; // the owner model: an owner frees what it owns
    }
}

void TComponent::FreeNotification(TComponent* component) {
    assert(component && component != this);
    if (FOwner && component->FOwner == FOwner) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) != FFreeNotifies.end()) return;
    // Both ways: whichever goes first unlinks itself from the other.
    FFreeNotifies.push_back(component);
    component->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) noexcept {
    erase_value(FFreeNotifies, component);
    erase_value(component->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component) RemoveFreeNotification(component);
    // A field bound to an owned component never outlives it.
    if (operation == TOperation::opRemove && component && component->FOwner == this) {
        for (const field_info* f : PublishedProperties().fields())
            if (f->get(*this) == component) f->set(*this, nullptr);
    }
    // A handler may free components, so the list is re-read on every step.
    for (std::size_t i = FComponents.size(); i-- > 0;) {
        if (i < FComponents.size()) FComponents[i]->Notification(component, operation);
    }
}

void TComponent::Loaded() { FComponentState.exclude(TComponentStateFlag::csLoading); }

void TComponent::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    if (root != this) return;
    for (TComponent* c : FComponents) proc(c);
}

TComponent* TComponent::GetParentComponent() const { return nullptr; }

void TComponent::SetParentComponent(TComponent*) {}

TPersistent* TComponent::GetOwner() const { return FOwner; }

const property_table& TComponent::PublishedProperties() const {
    static const property_table table = property_table::of<TComponent>(TPersistent::PublishedProperties())
        .integer(u"Tag", &TComponent::Tag, &TComponent::SetTag, 0);
    return table;
}

// --- TCollectionItem

void TCollectionItem::SetCollection(TCollection* value) {
    assert(value && FCollection);
    if (value == FCollection) return;
    std::unique_ptr<TCollectionItem> self = FCollection->Extract(Index(), TCollectionNotification::cnExtracting);
    value->Adopt(std::move(self));
}

int TCollectionItem::Index() const noexcept {
    if (!FCollection) return -1;
    const auto& items = FCollection->FItems;
    const auto found = std::find_if(items.begin(), items.end(), [this](const auto& p) { return p.get() == this; });
    return static_cast<int>(found - items.begin());
}

void TCollectionItem::SetIndex(int value) {
    const int current = Index();
    if (current < 0 || value == current) return;
    FCollection->CheckIndex(value);
    auto& items = FCollection->FItems;
    auto self = std::move(items[static_cast<std::size_t>(current)]);
    items.erase(items.begin() + current);
    items.insert(items.begin() + value, std::move(self));
    Changed(true);
}

void TCollectionItem::Changed(bool all_items) {
    if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(all_items ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() const { return FCollection; }

// --- TCollection

// Brackets a batch of changes. Ended by end(); when an exception leaves the batch, the count is
// restored without an Update call for the half-done change.
class TCollection::update_scope {
public:
    explicit update_scope(TCollection& c) noexcept : FCollection(c) { c.BeginUpdate(); }
    update_scope(const update_scope&) = delete;
    update_scope& operator=(const update_scope&) = delete;
    ~update_scope() {
        if (!FEnded) --FCollection.FUpdateCount;
    }
    void end() {
        FEnded = true;
        FCollection.EndUpdate();
    }

private:
    TCollection& FCollection;
    bool FEnded = false;
};

TCollection::TCollection(item_factory factory, TPersistent* owner) : FItemClass(factory), FOwner(owner) {
    assert(FItemClass);
}

TCollection::~TCollection() {
    FUpdateCount = 1; // no Update calls from a collection being destroyed
    Clear();
}

TCollectionItem* TCollection::Items(int index) const {
    CheckIndex(index);
    return FItems[static_cast<std::size_t>(index)].get();
}

void TCollection::SetItem(int index, const TCollectionItem* value) { Items(index)->Assign(value); }

TCollectionItem* TCollection::Add() {
    auto item = FItemClass();
    TCollectionItem* result = item.get();
    Adopt(std::move(item));
    return result;
}

TCollectionItem* TCollection::Insert(int index) {
    if (index < 0 || index > Count()) raise_list_index_error(index);
    update_scope update(*this);
    TCollectionItem* item = Add();
    item->SetIndex(index);
    update.end();
    return item;
}

void TCollection::Delete(int index) {
    CheckIndex(index);
    // Freed after the collection is consistent again, so the item's destructor sees no half state.
    auto item = Extract(index, TCollectionNotification::cnDeleting);
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    update_scope update(*this);
    while (!FItems.empty()) Delete(Count() - 1);
    update.end();
}

TCollectionItem* TCollection::FindItemID(int id) const noexcept {
    for (const auto& item : FItems)
        if (item->FID == id) return item.get();
    return nullptr;
}

void TCollection::EndUpdate() {
    assert(FUpdateCount > 0);
    if (--FUpdateCount == 0) Changed();
}

void TCollection::Assign(const TPersistent* other) {
    const auto* source = dynamic_cast<const TCollection*>(other);
    if (!source) {
        TPersistent::Assign(other);
        return;
    }
    if (source == this) return;
    // Copies are made aside first: an item that cannot be copied leaves this collection as it was.
    TCollection copies(FItemClass);
    for (const auto& item : source->FItems) copies.Add()->Assign(item.get());
    update_scope update(*this);
    Clear();
    while (!copies.FItems.empty()) copies.FItems.front()->SetCollection(this);
    update.end();
}

TPersistent* TCollection::GetOwner() const { return FOwner; }

void TCollection::Update(TCollectionItem*) {}

void TCollection::Notify(TCollectionItem*, TCollectionNotification) {}

void TCollection::Changed() {
    if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::Adopt(std::unique_ptr<TCollectionItem> owned) {
    TCollectionItem* item = owned.get();
    item->FCollection = this;
    item->FID = FNextID++;
    FItems.push_back(std::move(owned));
    Notify(item, TCollectionNotification::cnAdded);
    Changed();
}

std::unique_ptr<TCollectionItem> TCollection::Extract(int index, TCollectionNotification action) {
    TCollectionItem* target = FItems[static_cast<std::size_t>(index)].get();
    Notify(target, action);
    // Notify may have moved items; take the item from where it is now.
    const auto at = std::find_if(FItems.begin(), FItems.end(), [target](const auto& p) { return p.get() == target; });
    assert(at != FItems.end());
    auto item = std::move(*at);
    FItems.erase(at);
    item->FCollection = nullptr;
    Changed();
    return item;
}

void TCollection::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) raise_list_index_error(index);
}

} // namespace kq
