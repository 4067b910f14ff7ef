#pragma once
// TSkinMainMenu and TSkinNCMenuItem: a form's main menu shown as text buttons in its skinned title bar,
// each opening a popup menu built from copies of its item's children.

#include "framework/Menus.h"
#include "skin/uSkinNCButton.h"

#include <memory>
#include <vector>

namespace kq {

class TSkinMenu;
class TSkinNCMenuItem;

// One title-bar entry: a visible top-level item of the main menu.
struct TSkMainMenuData {
    String Caption;
    std::unique_ptr<TPopupMenu> PopupMenu; // copies of the item's children
    TSkinNCMenuItem* NCMenuItem = nullptr;  // the title-bar button showing it, owned by the form
    bool Enabled = true;
};
using PSkMainMenuData = TSkMainMenuData*;

// The object behind a skin form's MainMenu. The entries are built at the first title-bar paint after a
// main menu is attached, and again after Reset.
class TSkinMainMenu : public TPersistent {
public:
    explicit TSkinMainMenu(title_bar_host* SkinForm);
    ~TSkinMainMenu() override;

    TMainMenu* MainMenu() const noexcept { return FMainMenu; }
    // At run time the first menu attached installs the popup list that reports a closed popup.
    void SetMainMenu(TMainMenu* Value);
    TSkinMenu* MenuSkin() const noexcept { return FMenuSkin; }
    // The popups built from then on are drawn by it.
    void SetMenuSkin(TSkinMenu* Value);
    TFont& Font() noexcept { return *FFont; }
    void SetFont(const TFont& Value) { FFont->Assign(&Value); }
    // Where the first title-bar item goes.
    TNCCtrlPos& Pos() noexcept { return *FPos; }
    void SetPos(const TNCCtrlPos& Value) { FPos->Assign(&Value); }
    // Kept with the settings, not drawn.
    TPngPictures& Pictures() noexcept { return *FPictures; }
    void SetPictures(const TPngPictures& Value) { FPictures->Assign(&Value); }
    TColor HotColor() const noexcept { return FHotColor; }
    void SetHotColor(TColor Value) { FHotColor = Value; }
    TColor PressColor() const noexcept { return FPressColor; }
    void SetPressColor(TColor Value) { FPressColor = Value; }

    // The entries in title-bar order, owned.
    const std::vector<std::unique_ptr<TSkMainMenuData>>& MenuList() const noexcept { return FMenuList; }
    bool Done() const noexcept { return FDone; }
    TSkinNCMenuItem* FocusMenu = nullptr;     // the item whose popup is open
    TSkinNCMenuItem* NextFocusMenu = nullptr; // the item to open once the current popup has closed
    title_bar_host* SkinForm() const noexcept { return FSkinForm; }

    // One entry per visible top-level item; nothing when already done.
    void Build();
    void Reset() noexcept { FDone = false; }
    void Refresh();
    // Frees every entry's popup; with RemoveItems the form also frees the title-bar items, otherwise they
    // stay inert.
    void ClearMenuItems(bool RemoveItems);
    // An item going away is forgotten by its entry and by the focus fields.
    void forget(TSkinNCMenuItem* Item) noexcept;

    // Copies the settings (menu, menu skin, font, position, pictures, colours); the entries stay.
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    TMenuItem* CopyMenuItem(TMenuItem* Item);
    bool designing() const;

    title_bar_host* FSkinForm;
    TMainMenu* FMainMenu = nullptr;
    TSkinMenu* FMenuSkin = nullptr;
    std::unique_ptr<TFont> FFont;
    std::unique_ptr<TNCCtrlPos> FPos;
    std::unique_ptr<TPngPictures> FPictures;
    TColor FHotColor = 11463932;
    TColor FPressColor = 8184058;
    std::vector<std::unique_ptr<TSkMainMenuData>> FMenuList;
    bool FDone = false;
    bool FHooked = false;
};

// A title-bar button showing one entry: it follows the mouse every 10 ms (also while a popup menu holds
// the mouse) and opens the entry's popup under itself.
class TSkinNCMenuItem : public TSkinNCButton {
public:
    TSkinNCMenuItem(TComponent* AOwner, TSkinMainMenu* SkinMainMenu, PSkMainMenuData MenuData);
    ~TSkinNCMenuItem() override;

    PSkMainMenuData MenuData() const noexcept { return FMenuData; }
    TSkinMainMenu* SkinMainMenu() const noexcept { return FSkinMainMenu; }
    // Presses (LMouseDown) counted since the mouse came; one arriving at a count of 1, 4, 7, ... opens the
    // popup. A press and release arrive as two, so a click opens it.
    std::int32_t FClickCount = 0;

    void TimerTick() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void LMouseDown() override;
    void Paint(TBitmap32* Canvas) override;
    void NCMouseMove(TPoint CursorPos) override;
    void Click() override;

    // The entry and the menu object are gone: the item does nothing more.
    void detach() noexcept;

private:
    bool live() const noexcept { return FMenuData && FSkinMainMenu; }

    PSkMainMenuData FMenuData;
    TSkinMainMenu* FSkinMainMenu;
};

} // namespace kq
