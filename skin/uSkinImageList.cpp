#include "skin/uSkinImageList.h"

#include "framework/Properties.h"

namespace kq {

// --- TSkinBitmapItem

TSkinBitmapItem::TSkinBitmapItem() : FBitmap(std::make_unique<TSkinImage>()) {}

TSkinBitmapItem::~TSkinBitmapItem() = default;

void TSkinBitmapItem::SetBitmap(const TBitmap32* Value) {
    FBitmap->Assign(Value);
}

void TSkinBitmapItem::AssignTo(TPersistent* Dest) const {
    if (auto* item = dynamic_cast<TSkinBitmapItem*>(Dest)) {
        item->FResID = FResID;
        item->FDescription = FDescription;
        item->FBitmap->Assign(FBitmap.get());
        return;
    }
    TCollectionItem::AssignTo(Dest);
}

const property_table& TSkinBitmapItem::PublishedProperties() const {
    static const property_table table = property_table::of<TSkinBitmapItem>(TCollectionItem::PublishedProperties())
        .string(u"ResID", &TSkinBitmapItem::ResID, &TSkinBitmapItem::SetResID)
        .persistent(u"Bitmap", &TSkinBitmapItem::Bitmap)
        .string(u"Description", &TSkinBitmapItem::Description, &TSkinBitmapItem::SetDescription);
    return table;
}

// --- TSkinBitmapCollection

TSkinBitmapCollection::TSkinBitmapCollection(TPersistent* AOwner)
    : TCollection(&TCollection::item_class<TSkinBitmapItem>, AOwner) {}

// --- TSkinImageList

TSkinImageList::TSkinImageList(TComponent* AOwner)
    : TComponent(AOwner), FBitmaps(std::make_unique<TSkinBitmapCollection>(this)) {}

TSkinImageList::~TSkinImageList() = default;

void TSkinImageList::SetBitmaps(const TSkinBitmapCollection* Value) {
    FBitmaps->Assign(Value);
}

const property_table& TSkinImageList::PublishedProperties() const {
    static const property_table table = property_table::of<TSkinImageList>(TComponent::PublishedProperties())
        .persistent(u"Bitmaps", &TSkinImageList::Bitmaps);
    return table;
}

} // namespace kq
