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

void TPersistent::Assign(const TPersistent* Source) {
    if (!Source) AssignError(nullptr);
    Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) const { Dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* Source) const {
    const String source_name = Source ? Source->ClassName() : String(u"nil");
    throw EConvertError(Format(u"Cannot assign a %s to a %s", {source_name, ClassName()}));
}

const property_table& TPersistent::PublishedProperties() const {
    static const property_table table;
    return table;
}

TPersistent* TPersistent::GetOwner() const { return nullptr; }

// --- TComponent

TComponent::TComponent(TComponent* AOwner) {
    if (AOwner) AOwner->InsertComponent(this);
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

TComponent* TComponent::Components(int Index) const {
    if (Index < 0 || Index >= ComponentCount()) raise_list_index_error(Index);
    return FComponents[static_cast<std::size_t>(Index)];
}

int TComponent::ComponentIndex() const noexcept {
    if (!FOwner) return -1;
    const auto& list = FOwner->FComponents;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TComponent::SetName(const String& NewName) {
    if (FName == NewName) return;
    if (!NewName.empty() && !is_valid_ident(NewName))
        throw EComponentError(Format(u"Component name \"%s\" is not a valid identifier", {NewName}));
    if (FOwner) FOwner->ValidateRename(this, FName, NewName);
    FName = NewName;
}

void TComponent::ValidateRename(const TComponent* AComponent, StringView CurName, StringView NewName) const {
    if (NewName.empty() || SameText(CurName, NewName)) return;
    const TComponent* existing = FindComponent(NewName);
    if (existing && existing != AComponent)
        throw EComponentError(Format(u"A component named %s already exists", {NewName}));
}

void TComponent::SetComponentState(TComponentState Value) noexcept {
    constexpr TComponentState destroying{TComponentStateFlag::csDestroying};
    FComponentState = (Value - destroying) + (FComponentState * destroying);
}

TComponent* TComponent::FindComponent(StringView AName) const noexcept {
    if (AName.empty()) return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, AName)) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
    assert(AComponent && !AComponent->FOwner && AComponent != this);
    ValidateRename(AComponent, u"", AComponent->FName);
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
    Notification(AComponent, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
    assert(AComponent && AComponent->FOwner == this);
    Notification(AComponent, TOperation::opRemove);
    Detach(AComponent);
}

void TComponent::Detach(TComponent* AComponent) noexcept {
    erase_value(FComponents, AComponent);
    AComponent->FOwner = nullptr;
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

void TComponent::FreeNotification(TComponent* AComponent) {
    assert(AComponent && AComponent != this);
    if (FOwner && AComponent->FOwner == FOwner) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) != FFreeNotifies.end()) return;
    // Both ways: whichever goes first unlinks itself from the other.
    FFreeNotifies.push_back(AComponent);
    AComponent->FFreeNotifies.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) noexcept {
    erase_value(FFreeNotifies, AComponent);
    erase_value(AComponent->FFreeNotifies, this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == TOperation::opRemove && AComponent) RemoveFreeNotification(AComponent);
    // A handler may free components, so the list is re-read on every step.
    for (std::size_t i = FComponents.size(); i-- > 0;) {
        if (i < FComponents.size()) FComponents[i]->Notification(AComponent, Operation);
    }
}

void TComponent::Loaded() { FComponentState.exclude(TComponentStateFlag::csLoading); }

void TComponent::GetChildren(const std::function<void(TComponent*)>& Proc, TComponent* Root) {
    if (Root != this) return;
    for (TComponent* c : FComponents) Proc(c);
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

void TCollectionItem::SetCollection(TCollection* Value) {
    assert(Value && FCollection);
    if (Value == FCollection) return;
    std::unique_ptr<TCollectionItem> self = FCollection->Extract(Index(), TCollectionNotification::cnExtracting);
    Value->Adopt(std::move(self));
}

int TCollectionItem::Index() const noexcept {
    if (!FCollection) return -1;
    const auto& items = FCollection->FItems;
    const auto found = std::find_if(items.begin(), items.end(), [this](const auto& p) { return p.get() == this; });
    return static_cast<int>(found - items.begin());
}

void TCollectionItem::SetIndex(int Value) {
    const int current = Index();
    if (current < 0 || Value == current) return;
    FCollection->CheckIndex(Value);
    auto& items = FCollection->FItems;
    auto self = std::move(items[static_cast<std::size_t>(current)]);
    items.erase(items.begin() + current);
    items.insert(items.begin() + Value, std::move(self));
    Changed(true);
}

void TCollectionItem::Changed(bool AllItems) {
    if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(AllItems ? nullptr : this);
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

TCollection::TCollection(item_factory ItemClass, TPersistent* AOwner) : FItemClass(ItemClass), FOwner(AOwner) {
    assert(FItemClass);
}

TCollection::~TCollection() {
    FUpdateCount = 1; // no Update calls from a collection being destroyed
    Clear();
}

TCollectionItem* TCollection::Items(int Index) const {
    CheckIndex(Index);
    return FItems[static_cast<std::size_t>(Index)].get();
}

void TCollection::SetItem(int Index, const TCollectionItem* Value) { Items(Index)->Assign(Value); }

TCollectionItem* TCollection::Add() {
    auto item = FItemClass();
    TCollectionItem* result = item.get();
    Adopt(std::move(item));
    return result;
}

TCollectionItem* TCollection::Insert(int Index) {
    if (Index < 0 || Index > Count()) raise_list_index_error(Index);
    update_scope update(*this);
    TCollectionItem* item = Add();
    item->SetIndex(Index);
    update.end();
    return item;
}

void TCollection::Delete(int Index) {
    CheckIndex(Index);
    // Freed after the collection is consistent again, so the item's destructor sees no half state.
    auto item = Extract(Index, TCollectionNotification::cnDeleting);
}

void TCollection::Clear() {
    if (FItems.empty()) return;
    update_scope update(*this);
    while (!FItems.empty()) Delete(Count() - 1);
    update.end();
}

TCollectionItem* TCollection::FindItemID(int ID) const noexcept {
    for (const auto& item : FItems)
        if (item->FID == ID) return item.get();
    return nullptr;
}

void TCollection::EndUpdate() {
    assert(FUpdateCount > 0);
    if (--FUpdateCount == 0) Changed();
}

void TCollection::Assign(const TPersistent* Source) {
    const auto* source = dynamic_cast<const TCollection*>(Source);
    if (!source) {
        TPersistent::Assign(Source);
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

void TCollection::Adopt(std::unique_ptr<TCollectionItem> Item) {
    TCollectionItem* item = Item.get();
    item->FCollection = this;
    item->FID = FNextID++;
    FItems.push_back(std::move(Item));
    Notify(item, TCollectionNotification::cnAdded);
    Changed();
}

std::unique_ptr<TCollectionItem> TCollection::Extract(int Index, TCollectionNotification Action) {
    TCollectionItem* target = FItems[static_cast<std::size_t>(Index)].get();
    Notify(target, Action);
    // Notify may have moved items; take the item from where it is now.
    const auto at = std::find_if(FItems.begin(), FItems.end(), [target](const auto& p) { return p.get() == target; });
    assert(at != FItems.end());
    auto item = std::move(*at);
    FItems.erase(at);
    item->FCollection = nullptr;
    Changed();
    return item;
}

void TCollection::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count()) raise_list_index_error(Index);
}

} // namespace kq
