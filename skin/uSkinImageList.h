#pragma once
// TSkinImageList: a component holding named skin images (TSkinBitmapItem) in a collection.

#include "framework/Components.h"
#include "skin/uSkinIntf.h"

#include <memory>

namespace kq {

// One named image of a skin image list.
class TSkinBitmapItem : public TCollectionItem {
public:
    TSkinBitmapItem();
    ~TSkinBitmapItem() override;

    const String& ResID() const noexcept { return FResID; }
    void SetResID(const String& Value) { FResID = Value; }
    // Owned by the item; the setter copies.
    TSkinImage* Bitmap() const noexcept { return FBitmap.get(); }
    void SetBitmap(const TBitmap32* Value);
    const String& Description() const noexcept { return FDescription; }
    void SetDescription(const String& Value) { FDescription = Value; }

    const property_table& PublishedProperties() const override;

protected:
    void AssignTo(TPersistent* Dest) const override;

private:
    String FResID;
    std::unique_ptr<TSkinImage> FBitmap;
    String FDescription;
};

class TSkinBitmapCollection : public TCollection {
public:
    explicit TSkinBitmapCollection(TPersistent* AOwner);

    TSkinBitmapItem* Add() { return static_cast<TSkinBitmapItem*>(TCollection::Add()); }
    TSkinBitmapItem* Items(int Index) const { return static_cast<TSkinBitmapItem*>(TCollection::Items(Index)); }
    // Copies Value into the item at Index (its name, description and pixels).
    void SetItems(int Index, const TSkinBitmapItem* Value) { Items(Index)->Assign(Value); }
};

// A component holding named images.
class TSkinImageList : public TComponent {
public:
    explicit TSkinImageList(TComponent* AOwner);
    ~TSkinImageList() override;

    TSkinBitmapCollection* Bitmaps() const noexcept { return FBitmaps.get(); }
    // Copies the items of Value (the list keeps its own collection).
    void SetBitmaps(const TSkinBitmapCollection* Value);
    TSkinImage* Bitmap(int Index) const { return FBitmaps->Items(Index)->Bitmap(); }
    void SetBitmap(int Index, const TBitmap32* Value) { FBitmaps->Items(Index)->SetBitmap(Value); }

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TSkinBitmapCollection> FBitmaps;
};

} // namespace kq
