#pragma once
// TSkEditItem, TSkEditItems: small image buttons, images or texts shown inside a skinned edit's frame.

#include "framework/Controls.h"
#include "installer/controls/SkinEditHost.h"
#include "installer/controls/uSkLocateObj.h"
#include "skin/uSkinIntf.h"

#include <memory>

namespace kq {

enum TItemKind : std::uint8_t { ikButton, ikImage, ikText };

class TSkEditItem : public TCollectionItem {
public:
    TSkEditItem();
    ~TSkEditItem() override;

    // Mouse cursor over the item; crDefault keeps the default one.
    TCursor Curosor() const noexcept { return FCurosor; }
    void SetCurosor(TCursor Value) noexcept { FCurosor = Value; }
    TFont& Font() noexcept { return *FFont; }
    void SetFont(const TFont& Value) { FFont->Assign(&Value); }
    TItemKind Kind() const noexcept { return FKind; }
    void SetKind(TItemKind Value);
    const TSkResID& Image() const noexcept { return FImage; }
    void SetImage(const TSkResID& Value);
    const TSkResID& ImageHot() const noexcept { return FImageHot; }
    void SetImageHot(const TSkResID& Value);
    const TSkResID& ImagePress() const noexcept { return FImagePress; }
    void SetImagePress(const TSkResID& Value);
    const String& Text() const noexcept { return FText; }
    // Repaints only a text item.
    void SetText(const String& Value);
    TSkLocateObj& Pos() noexcept { return *FPos; }
    void SetPos(const TSkLocateObj& Value) { FPos->Assign(&Value); }
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    // The typed text keeps clear of the item.
    bool MakeSpace() const noexcept { return FMakeSpace; }
    void SetMakeSpace(bool Value) noexcept { FMakeSpace = Value; }
    std::int32_t Tag() const noexcept { return FTag; }
    void SetTag(std::int32_t Value) noexcept { FTag = Value; }

    // In the edit's client coordinates; an image missing from the store gives right and bottom 0.
    TRect Rect();
    void Click();
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

    TNotifyEvent OnChanged;
    TNotifyEvent OnClick;

private:
    template <class T>
    void change(T& field, const T& value) {
        if (field == value) return;
        field = value;
        notify();
    }
    void notify();

    TSkResID FImage;
    bool FVisible = true;
    TItemKind FKind = ikButton;
    String FText;
    std::unique_ptr<TSkLocateObj> FPos;
    std::unique_ptr<TFont> FFont;
    TSkResID FImageHot;
    TCursor FCurosor = crDefault;
    bool FMakeSpace = true;
    TSkResID FImagePress;
    std::int32_t FTag = 0;
};

class TSkEditItems : public TCollection {
public:
    // Items are of the edit's item class when an edit is given.
    explicit TSkEditItems(skin_edit_host* Edit);

    skin_edit_host* Edit() const noexcept { return FEdit; }
    TSkEditItem* Add();
    // Item nil: a new item (nil when there is no edit to make one). The item moves into this collection
    // at Index; a negative Index means the last position.
    TSkEditItem* AddItem(TSkEditItem* Item, int Index);
    TSkEditItem* Insert(int Index) { return AddItem(nullptr, Index); }
    TSkEditItem* Items(int Index) const;
    void SetItems(int Index, const TSkEditItem* Value) { SetItem(Index, Value); }
    // The button item under the pointer, -1 for none.
    int HotIndex() const noexcept { return FHotIndex; }
    void SetHotIndex(int Value) noexcept { FHotIndex = Value; }

protected:
    void Update(TCollectionItem* Item) override;
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;

private:
    friend class TSkinPngEdit;
    skin_edit_host* FEdit;
    int FHotIndex = -1;
};

} // namespace kq
