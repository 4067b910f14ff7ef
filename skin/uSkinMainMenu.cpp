#include "skin/uSkinMainMenu.h"

#include "framework/Properties.h"
#include "skin/SkinMessages.h"
#include "skin/uSkPopupListEx.h"
#include "skin/uSkinMenu.h"

namespace kq {

namespace {

constexpr TColor disabled_caption_color = 13092292;

SIZE caption_size(const TFont& Font, const String& Caption) {
    TBitmap32 measure;
    measure.SetSize(1, 1);
    measure.Font()->Assign(&Font);
    return measure.TextExtent(Caption);
}

} // namespace

// --- TSkinMainMenu

TSkinMainMenu::TSkinMainMenu(title_bar_host* SkinForm)
    : FSkinForm(SkinForm), FFont(std::make_unique<TFont>()),
      FPos(std::make_unique<TNCCtrlPos>(SkinForm ? dynamic_cast<TForm*>(SkinForm->host_component()->Owner()) : nullptr)),
      FPictures(std::make_unique<TPngPictures>()) {
    FPos->SetXValue(5);
    FPos->SetYValue(5);
    FPos->SetAlign(caLeft);
    FPictures->SetImage(u"SkinFlatBtn");
    FPictures->SetCount(3);
    FPictures->SetNormal(0);
    FPictures->SetHot(1);
    FPictures->SetPressed(2);
    FPictures->SetActive(true);
}

TSkinMainMenu::~TSkinMainMenu() {
    if (FHooked)
        RemovePopupListEx();
    ClearMenuItems(false);
}

bool TSkinMainMenu::designing() const {
    return FSkinForm && FSkinForm->host_component()->ComponentState().contains(TComponentStateFlag::csDesigning);
}

void TSkinMainMenu::SetMainMenu(TMainMenu* Value) {
    FMainMenu = Value;
    if (!Value || designing())
        return;
    if (FSkinForm)
        Value->FreeNotification(FSkinForm->host_component());
    if (!FHooked) {
        InstallPopupListEx();
        FHooked = true;
    }
}

void TSkinMainMenu::SetMenuSkin(TSkinMenu* Value) {
    FMenuSkin = Value;
    if (Value && FSkinForm)
        Value->FreeNotification(FSkinForm->host_component());
}

void TSkinMainMenu::Assign(const TPersistent* Source) {
    const auto* s = dynamic_cast<const TSkinMainMenu*>(Source);
    if (!s) {
        TPersistent::Assign(Source);
        return;
    }
    if (s == this)
        return;
    SetMainMenu(s->FMainMenu);
    SetMenuSkin(s->FMenuSkin);
    FFont->Assign(s->FFont.get());
    FPos->Assign(s->FPos.get());
    FPictures->Assign(s->FPictures.get());
    FHotColor = s->FHotColor;
    FPressColor = s->FPressColor;
}

void TSkinMainMenu::Refresh() {
    Reset();
    if (FSkinForm)
        FSkinForm->InvalidateNC();
}

TMenuItem* TSkinMainMenu::CopyMenuItem(TMenuItem* Item) {
    auto copy = std::make_unique<TMenuItem>(nullptr);
    copy->SetCaption(Item->Caption());
    copy->SetShortCut(Item->ShortCut());
    copy->SetChecked(Item->Checked());
    copy->SetEnabled(Item->Enabled());
    copy->OnClick = Item->OnClick;
    copy->SetHelpContext(Item->HelpContext());
    copy->SetName(Item->Name() + u"Copy");
    copy->SetImageIndex(Item->ImageIndex());
    copy->SetGroupIndex(Item->GroupIndex());
    copy->SetAutoCheck(Item->AutoCheck());
    copy->SetVisible(Item->Visible());
    copy->SetRadioItem(Item->RadioItem());
    copy->SetTag(Item->Tag());
    if (Item->HasBitmap())
        copy->SetBitmap(Item->Bitmap());
    if (FMenuSkin)
        FMenuSkin->DrawMenuItem(copy.get());
    for (int i = 0; i < Item->Count(); ++i)
        copy->Add(CopyMenuItem(Item->Items(i)));
    return copy.release(); // the caller's item or menu owns it from here
}

void TSkinMainMenu::Build() {
    if (FDone)
        return;
    FDone = true;
    ClearMenuItems(true);
    if (!FMainMenu)
        return;
    TMenuItem& items = FMainMenu->Items();
    for (int i = 0; i < items.Count(); ++i) {
        TMenuItem* item = items.Items(i);
        if (!item->Visible())
            continue;
        auto entry = std::make_unique<TSkMainMenuData>();
        entry->Caption = item->Caption();
        entry->Enabled = item->Enabled();
        entry->PopupMenu = std::make_unique<TPopupMenu>(nullptr);
        TPopupMenu& popup = *entry->PopupMenu;
        popup.SetImages(FMainMenu->Images());
        popup.SetAutoHotkeys(FMainMenu->AutoHotkeys());
        popup.SetAutoLineReduction(FMainMenu->AutoLineReduction());
        if (FMenuSkin)
            popup.SetOwnerDraw(true);
        for (int c = 0; c < item->Count(); ++c)
            popup.Items().Add(CopyMenuItem(item->Items(c)));
        FMenuList.push_back(std::move(entry));
    }
}

void TSkinMainMenu::ClearMenuItems(bool RemoveItems) {
    FocusMenu = nullptr;
    NextFocusMenu = nullptr;
    while (!FMenuList.empty()) {
        std::unique_ptr<TSkMainMenuData> entry = std::move(FMenuList.back());
        FMenuList.pop_back();
        entry->PopupMenu.reset();
        TSkinNCMenuItem* item = std::exchange(entry->NCMenuItem, nullptr);
        if (!item)
            continue;
        item->detach();
        if (!RemoveItems)
            continue;
        // An item the form has not taken into its list yet would not be found there: it goes at once
        // (its pending registration is then ignored, as it is no longer one of the form's components).
        if (item->Hooked())
            item->RemoveSelf();
        else
            delete item;
    }
}

void TSkinMainMenu::forget(TSkinNCMenuItem* Item) noexcept {
    for (const auto& entry : FMenuList)
        if (entry->NCMenuItem == Item)
            entry->NCMenuItem = nullptr;
    if (FocusMenu == Item)
        FocusMenu = nullptr;
    if (NextFocusMenu == Item)
        NextFocusMenu = nullptr;
}

// --- TSkinNCMenuItem

TSkinNCMenuItem::TSkinNCMenuItem(TComponent* AOwner, TSkinMainMenu* SkinMainMenu, PSkMainMenuData MenuData)
    : TSkinNCButton(AOwner), FMenuData(MenuData), FSkinMainMenu(SkinMainMenu) {
    MenuData->NCMenuItem = this;
    SetEnabled(MenuData->Enabled);
    const SIZE size = caption_size(SkinMainMenu->Font(), MenuData->Caption);
    FPos->SetWidth(size.cx + 4);
    FPos->SetHeight(size.cy + 4);
    FClickCount = 0;
    // The item follows the mouse also while a popup menu holds it, when no mouse messages come.
    SetPollInterval(10);
}

TSkinNCMenuItem::~TSkinNCMenuItem() {
    if (FSkinMainMenu)
        FSkinMainMenu->forget(this);
}

void TSkinNCMenuItem::detach() noexcept {
    FMenuData = nullptr;
    FSkinMainMenu = nullptr;
}

void TSkinNCMenuItem::TimerTick() {
    if (designing())
        return;
    try {
        POINT cursor{};
        if (!::GetCursorPos(&cursor) || !host_form() || !host_form()->HandleAllocated())
            return;
        if (!Hooked())
            ::PostMessageW(host_form()->Handle(), WM_VK_ADDNCCONTROL, reinterpret_cast<WPARAM>(this), 0);
        if (::WindowFromPoint(cursor) == host_form()->Handle()) {
            follow_mouse();
        } else if (FMouseEnter) {
            FMouseEnter = false;
            MouseLeave();
        }
    } catch (const Exception&) {
        // a tick is only a poll: the next one looks again
    }
}

void TSkinNCMenuItem::NCMouseMove(TPoint) {}

void TSkinNCMenuItem::MouseEnter() {
    TSkinNCButton::MouseEnter();
    if (!live() || !Visible() || !Enabled())
        return;
    TSkinNCMenuItem* open = FSkinMainMenu->FocusMenu;
    if (!open || open == this)
        return;
    FClickCount = 0;
    open->SetDown(false);
    if (FPos->Y() + FPos->Height() - 2 > 5) {
        FSkinMainMenu->NextFocusMenu = this;
        // Ends the open popup; its closing hands over to this item.
        if (PopupList)
            ::SendMessageW(PopupList->Window(), WM_CANCELMODE, 0, 0);
    }
}

void TSkinNCMenuItem::MouseLeave() {
    if (Visible() && Enabled())
        FClickCount = 0;
    TSkinNCButton::MouseLeave();
}

void TSkinNCMenuItem::LMouseDown() {
    if (!live() || !FMenuData->PopupMenu)
        return;
    TPopupMenu* popup = FMenuData->PopupMenu.get();
    if (popup->Items().Count() == 0) {
        TSkinNCButton::LMouseDown();
        return;
    }
    if (!Visible() || !Enabled())
        return;
    if ((FClickCount - 1) % 3 == 0) {
        FSkinMainMenu->NextFocusMenu = nullptr;
        FSkinMainMenu->FocusMenu = this;
        SetDown(true);
        TSkinNCButton::LMouseDown();
        // Modal until the popup closes. A skinned popup's items sit BorderOffset in from its edge.
        if (TSkinMenu* skin = FSkinMainMenu->MenuSkin())
            popup->Popup(host_form()->Left() + FPos->X() - skin->BorderOffset(), host_form()->Top() + FPos->Y() + FPos->Height());
        else
            popup->Popup(host_form()->Left() + FPos->X(), host_form()->Top() + FPos->Y() + FPos->Height() + 1);
    }
    ++FClickCount;
}

void TSkinNCMenuItem::Click() {
    if (!Visible() || !Enabled())
        return;
    LMouseDown();
    TSkinNCButton::Click();
}

void TSkinNCMenuItem::Paint(TBitmap32* Canvas) {
    if (!live() || !FMenuData->PopupMenu)
        return;
    const TRect r{FPos->X(), FPos->Y() - 2, FPos->X() + FPos->Width(), FPos->Y() + FPos->Height() + 2};
    if ((State() == bsHot || State() == bsPressed) && Enabled()) {
        const TColor color = State() == bsHot ? FSkinMainMenu->HotColor() : FSkinMainMenu->PressColor();
        Canvas->FillRectTS(r, (WinColorToColor32(color) & 0x00FFFFFFu) | 0x80000000u);
    }
    Canvas->Font()->Assign(&FSkinMainMenu->Font());
    if (!Enabled())
        Canvas->Font()->SetColor(disabled_caption_color);
    Canvas->Textout({r.Left, r.Top - 1, r.Right, r.Bottom - 1}, DT_CENTER | DT_VCENTER | DT_SINGLELINE,
                    FMenuData->Caption);
}


// --- Published

const property_table& TSkinMainMenu::PublishedProperties() const {
    using C = TSkinMainMenu;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .component(u"MainMenu", &C::MainMenu, &C::SetMainMenu)
        .component(u"MenuSkin", &C::MenuSkin, &C::SetMenuSkin)
        .persistent(u"Font", [](const C& c) { return &const_cast<C&>(c).Font(); })
        .persistent(u"Pos", [](const C& c) { return &const_cast<C&>(c).Pos(); })
        .persistent(u"Pictures", [](const C& c) { return &const_cast<C&>(c).Pictures(); })
        .color(u"HotColor", &C::HotColor, &C::SetHotColor, TColor{11463932})
        .color(u"PressColor", &C::PressColor, &C::SetPressColor, TColor{8184058});
    return table;
}

} // namespace kq
