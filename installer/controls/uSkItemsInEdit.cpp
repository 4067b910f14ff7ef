#include "installer/controls/uSkItemsInEdit.h"

#include "framework/Properties.h"
#include "graphics/Raster_Bitmap.h"
#include "skin/uSkinResManager.h"

namespace kq {

// --- TSkEditItem

TSkEditItem::TSkEditItem() : FPos(std::make_unique<TSkLocateObj>()), FFont(std::make_unique<TFont>()) {
    FPos->OnChange = [this](TObject*) { notify(); };
}

TSkEditItem::~TSkEditItem() = default;

void TSkEditItem::notify() {
    Changed(true);
    if (OnChanged) OnChanged(this);
}

void TSkEditItem::SetKind(TItemKind Value) { change(FKind, Value); }
void TSkEditItem::SetImage(const TSkResID& Value) { change(FImage, Value); }
void TSkEditItem::SetImageHot(const TSkResID& Value) { change(FImageHot, Value); }
void TSkEditItem::SetImagePress(const TSkResID& Value) { change(FImagePress, Value); }
void TSkEditItem::SetVisible(bool Value) { change(FVisible, Value); }

void TSkEditItem::SetText(const String& Value) {
    if (FText == Value) return;
    FText = Value;
    if (FKind == ikText) notify();
}

TRect TSkEditItem::Rect() {
    auto* items = dynamic_cast<TSkEditItems*>(Collection());
    skin_edit_host* edit = items ? items->Edit() : nullptr;
    TRect r{};
    r.Left = FPos->Align() == agLeft ? FPos->X() : (edit ? edit->host_control().Width() : 0) - FPos->X();
    r.Top = FPos->Y();
    if (FKind == ikText) {
        TBitmap32 scratch;
        scratch.SetSize(1, 1);
        scratch.Font()->Assign(FFont.get());
        const SIZE extent = scratch.TextExtent(FText);
        r.Right = r.Left + extent.cx;
        r.Bottom = r.Top + extent.cy;
    } else if (TSkinImage* image = SkinResManager()->GetImageByName(FImage)) {
        r.Right = r.Left + image->Width();
        r.Bottom = r.Top + image->Height();
    }
    return r;
}

void TSkEditItem::Click() {
    if (OnClick) OnClick(this);
}

void TSkEditItem::Assign(const TPersistent* Source) {
    if (const auto* other = dynamic_cast<const TSkEditItem*>(Source)) {
        SetCurosor(other->FCurosor);
        SetFont(*other->FFont);
        SetKind(other->FKind);
        SetImage(other->FImage);
        SetImageHot(other->FImageHot);
        SetImagePress(other->FImagePress);
        SetText(other->FText);
        SetPos(*other->FPos);
        SetVisible(other->FVisible);
        SetMakeSpace(other->FMakeSpace);
        SetTag(other->FTag);
        return;
    }
    TCollectionItem::Assign(Source);
}

const property_table& TSkEditItem::PublishedProperties() const {
    using C = TSkEditItem;
    static const property_table table = property_table::of<C>(TCollectionItem::PublishedProperties())
        .cursor(u"Curosor", &C::Curosor, &C::SetCurosor, crDefault)
        .persistent(u"Font", [](const C& c) { return &const_cast<C&>(c).Font(); })
        .enumeration(u"Kind", &C::Kind, &C::SetKind, {u"ikButton", u"ikImage", u"ikText"}, ikButton)
        .string(u"Image", &C::Image, &C::SetImage, String())
        .string(u"ImageHot", &C::ImageHot, &C::SetImageHot, String())
        .string(u"ImagePress", &C::ImagePress, &C::SetImagePress, String())
        .string(u"Text", &C::Text, &C::SetText, String())
        .persistent(u"Pos", [](const C& c) { return &const_cast<C&>(c).Pos(); })
        .boolean(u"Visible", &C::Visible, &C::SetVisible, true)
        .boolean(u"MakeSpace", &C::MakeSpace, &C::SetMakeSpace, true)
        .integer(u"Tag", &C::Tag, &C::SetTag)
        .event(u"OnChanged", &C::OnChanged)
        .event(u"OnClick", &C::OnClick);
    return table;
}

// --- TSkEditItems

TSkEditItems::TSkEditItems(skin_edit_host* Edit)
    : TCollection(Edit ? Edit->GetItemClass() : &TCollection::item_class<TSkEditItem>,
                  Edit ? &Edit->host_control() : nullptr),
      FEdit(Edit) {}

TSkEditItem* TSkEditItems::Add() { return static_cast<TSkEditItem*>(TCollection::Add()); }

TSkEditItem* TSkEditItems::Items(int Index) const { return static_cast<TSkEditItem*>(TCollection::Items(Index)); }

TSkEditItem* TSkEditItems::AddItem(TSkEditItem* Item, int Index) {
    if (!Item && FEdit) Item = Add();
    if (!Item) return nullptr;
    if (Item->Collection() != this) Item->SetCollection(this);
    Item->SetIndex(Index < 0 ? Count() - 1 : Index);
    return Item;
}

void TSkEditItems::Update(TCollectionItem*) {
    if (FEdit && UpdateCount() == 0 && Count() > 0) FEdit->host_control().Invalidate();
}

void TSkEditItems::Notify(TCollectionItem* Item, TCollectionNotification Action) {
    TCollection::Notify(Item, Action);
    if (Action == TCollectionNotification::cnDeleting && FEdit) FEdit->item_deleting(Item);
}

} // namespace kq
