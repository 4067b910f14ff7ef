#include "tabs/PageTabsClasses.h"

#include "framework/Exceptions.h"
#include "framework/Properties.h"
#include "tabs/PageTabsControls.h"
#include "tabs/PageTabsOptions.h"


namespace kq {

// --- Tab

TPageTab::TPageTab() = default;

// The collection has already taken the tab out; its drawn item goes with it.
TPageTab::~TPageTab() = default;

void TPageTab::SetTabControl(std::unique_ptr<TPageTabControl> Value) { FTabControl = std::move(Value); }

template <class T>
void TPageTab::update(T& field, const T& value) {
    if (field == value) return;
    field = value;
    notify(TTabChangeType::tcPropertyUpdated);
}

void TPageTab::SetCaption(const String& Value) { update(FCaption, Value); }

void TPageTab::SetActive(bool Value) {
    if (Value == FActive) return;
    IPageTabs* strip = GetPageTabInterface();
    bool allow = true;
    if (Value) {
        if (strip) strip->DoOnActiveTabChanging(strip->GetActiveTab(), this, allow);
        if (allow) FModified = false;
    }
    if (!allow) return;
    FActive = Value;
    if (Value) {
        for (int i = 0; i < Collection()->Count(); ++i) {
            auto* other = static_cast<TPageTab*>(Collection()->Items(i));
            if (other != this && other->FActive) other->SetActive(false);
        }
        notify(TTabChangeType::tcActivated);
    } else {
        notify(TTabChangeType::tcDeactivated);
    }
    notify(TTabChangeType::tcPropertyUpdated);
}

void TPageTab::SetImageIndex(int Value) { update(FImageIndex, Value); }

void TPageTab::SetImageIndexOverlay(int Value) { update(FImageIndexOverlay, Value); }

void TPageTab::SetPinned(bool Value) {
    if (Value == FPinned) return;
    if (IPageTabs* strip = GetPageTabInterface()) {
        const int last_pinned = strip->GetLastPinnedIndex();
        // Unpinning takes the last place of the run, which is the first one behind the pinned tabs
        // that remain.
        SetIndex(Value ? last_pinned + 1 : last_pinned);
    }
    FPinned = Value;
    notify(TTabChangeType::tcPinned);
    SetActive(true);
}

void TPageTab::SetVisible(bool Value) {
    FVisible = Value;
    if (!Value && FActive) SetActive(false);
    notify(TTabChangeType::tcVisibility);
}

void TPageTab::SetModified(bool Value) { update(FModified, Value); }

void TPageTab::SetSpinnerState(TPageTabSpinnerState Value) { update(FSpinnerState, Value); }

void TPageTab::SetHideCloseButton(bool Value) { update(FHideCloseButton, Value); }

String TPageTab::DisplayCaption() const { return FPinned ? String() : FCaption; }

IPageTabs* TPageTab::GetPageTabInterface() const {
    return Collection() ? dynamic_cast<IPageTabs*>(Collection()->GetOwner()) : nullptr;
}

void TPageTab::SetCollection(TCollection* Value) {
    IPageTabs* strip = GetPageTabInterface();
    if (!strip || !strip->ComponentStateOf().contains(TComponentStateFlag::csDesigning)) {
        TCollectionItem::SetCollection(Value);
        return;
    }
    TCollection* old = Collection();
    TCollectionItem::SetCollection(Value);
    if (old && Value != old) notify(TTabChangeType::tcPropertyUpdated);
}

void TPageTab::notify(TTabChangeType change) {
    // A tab outside a strip has nobody to tell.
    if (IPageTabs* strip = GetPageTabInterface()) strip->HandleTabChange(this, change);
}

const property_table& TPageTab::PublishedProperties() const {
    static const property_table table =
        property_table::of<TPageTab>(TCollectionItem::PublishedProperties())
            .string(u"Caption", &TPageTab::Caption, &TPageTab::SetCaption)
            .boolean(u"Active", &TPageTab::Active, &TPageTab::SetActive)
            .integer(u"Tag", &TPageTab::Tag, &TPageTab::SetTag)
            .integer(u"ImageIndex", &TPageTab::ImageIndex, &TPageTab::SetImageIndex)
            .integer(u"ImageIndexOverlay", &TPageTab::ImageIndexOverlay, &TPageTab::SetImageIndexOverlay)
            .boolean(u"Pinned", &TPageTab::Pinned, &TPageTab::SetPinned)
            .boolean(u"Visible", &TPageTab::Visible, &TPageTab::SetVisible)
            .boolean(u"Modified", &TPageTab::Modified, &TPageTab::SetModified)
            .enumeration(u"SpinnerState", &TPageTab::SpinnerState, &TPageTab::SetSpinnerState,
                         {u"tssNone", u"tssRenderedUpload", u"tssRenderedDownload", u"tssImageUpload",
                          u"tssImageDownload"})
            .boolean(u"HideCloseButton", &TPageTab::HideCloseButton, &TPageTab::SetHideCloseButton);
    return table;
}

// --- Tab list

TPageTabsList::TPageTabsList(TPersistent* AOwner) : TCollection(item_class<TPageTab>, AOwner) {}

TPageTab* TPageTabsList::Add() { return static_cast<TPageTab*>(TCollection::Add()); }

TPageTab* TPageTabsList::ActiveTab() const {
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->Active()) return Items(i);
    return nullptr;
}

void TPageTabsList::SetActiveTab(TPageTab* Value) {
    if (IndexOf(Value) != -1) Value->SetActive(true);
}

int TPageTabsList::IndexOf(const TPageTab* ATab) const noexcept {
    if (!ATab) return -1;
    for (int i = 0; i < Count(); ++i)
        if (TCollection::Items(i) == ATab) return i;
    return -1;
}

void TPageTabsList::Move(int OldIndex, int NewIndex) {
    Items(OldIndex)->SetIndex(NewIndex);
    GetPageTabInterface()->HandleTabChange(Items(NewIndex), TTabChangeType::tcMoved);
}

void TPageTabsList::DeleteTab(int Index, bool DeleteNow) {
    TPageTab* tab = Items(Index);
    if (tab->MarkedForDeletion()) {
        Delete(Index);
        return;
    }
    IPageTabs* strip = GetPageTabInterface();
    const TPageTabsAnimationOptions* animation = strip->GetOptions()->Animation();
    const bool animated = !DeleteNow && animation->GetMovementAnimationEaseType(
                                            animation->MovementAnimations()->TabDelete()) != TPageTabsEaseType::ttNone;

    // While the tab still stands in the list its right neighbour is at Index + 1.
    int next = -1;
    if (tab->Active()) {
        if (Index < Count() - 1)
            next = animated ? Index + 1 : Index;
        else
            next = Index - 1;
    }

    strip->HandleTabChange(tab, TTabChangeType::tcDeleting);
    if (animated) {
        tab->FMarkedForDeletion = true;
        strip->HandleTabChange(tab, TTabChangeType::tcDeleted);
    } else {
        Delete(Index);
        strip->HandleTabChange(nullptr, TTabChangeType::tcDeleted);
    }

    // A tab that is animating out can never take over: the strip would end with no active tab.
    if (next > Count() - 1) next = Count() - 1;
    while (next != -1 && (!Items(next)->Visible() || Items(next)->MarkedForDeletion())) --next;
    if (next != -1) Items(next)->SetActive(true);
}

void TPageTabsList::SetItem(int Index, const TCollectionItem* Value) {
    TCollection::SetItem(Index, Value);
    // The tab that changed is the one at Index; Value may belong to another list.
    GetPageTabInterface()->HandleTabChange(Items(Index), TTabChangeType::tcAdded);
}

void TPageTabsList::Assign(const TPersistent* Source) {
    TCollection::Assign(Source);
    GetPageTabInterface()->HandleTabChange(nullptr, TTabChangeType::tcPropertyUpdated);
}

IPageTabs* TPageTabsList::GetPageTabInterface() const {
    auto* strip = dynamic_cast<IPageTabs*>(GetOwner());
    if (!strip) throw EAssertionFailed(u"Collection owner must support IPageTabInterface", u"PageTabsClasses", __LINE__);
    return strip;
}

void TPageTabsList::Notify(TCollectionItem* Item, TCollectionNotification Action) {
    TCollection::Notify(Item, Action);
    if (Action != TCollectionNotification::cnAdded) return;
    if (auto* strip = dynamic_cast<IPageTabs*>(GetOwner()))
        strip->HandleTabChange(static_cast<TPageTab*>(Item), TTabChangeType::tcAdded);
}

// --- Settings wrappers

const property_table& TTabsOptions::PublishedProperties() const {
    static const property_table table = property_table::of<TTabsOptions>(TComponent::PublishedProperties())
        .persistent(u"Options", &TTabsOptions::Options);
    return table;
}

const property_table& TTabsLookAndFeel::PublishedProperties() const {
    static const property_table table = property_table::of<TTabsLookAndFeel>(TComponent::PublishedProperties())
        .persistent(u"LookAndFeel", &TTabsLookAndFeel::LookAndFeel);
    return table;
}

} // namespace kq
