#pragma once

#include "framework/Controls.h"

#include <memory>
#include <vector>

namespace kq {

class TCustomImageList;
class TMenu;

// A key code with modifier bits.
using TShortCut = std::uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
TShortCut ShortCut(std::uint16_t key, TShiftState shift);
// "Ctrl+S", "Shift+F10", "Alt+Enter"; empty for 0.
String ShortCutToText(TShortCut short_cut);

enum class TOwnerDrawStateFlag : std::uint8_t {
    odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel,
    odNoFocusRect
};
using TOwnerDrawState = enum_set<TOwnerDrawStateFlag>;

using TMenuMeasureItemEvent = std::function<void(TObject* sender, TCanvas& canvas, int& width, int& height)>;
using TMenuDrawItemEvent = std::function<void(TObject* sender, TCanvas& canvas, const RECT& rect, bool selected)>;
using TAdvancedMenuDrawItemEvent =
    std::function<void(TObject* sender, TCanvas& canvas, const RECT& rect, TOwnerDrawState state)>;

// Automatic accelerators and line reduction: stored and copied with menus; the menus draw the captions
// as given.
enum class TMenuAutoFlag : std::uint8_t { maAutomatic, maManual };
enum class TMenuItemAutoFlag : std::uint8_t { maAutomatic, maManual, maParent };

// One entry of a menu; the caption "-" makes a separator. An item frees the items it holds.
class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;

    const String& Caption() const noexcept { return FCaption; }
    void SetCaption(const String& value) { assign(FCaption, value); }
    bool IsLine() const noexcept { return FCaption == u"-"; }
    bool Checked() const noexcept { return FChecked; }
    void SetChecked(bool value) { assign(FChecked, value); }
    bool RadioItem() const noexcept { return FRadioItem; }
    void SetRadioItem(bool value) { assign(FRadioItem, value); }
    std::uint8_t GroupIndex() const noexcept { return FGroupIndex; }
    void SetGroupIndex(std::uint8_t value) { FGroupIndex = value; }
    bool Default() const noexcept { return FDefault; }
    void SetDefault(bool value) { assign(FDefault, value); }
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool value) { assign(FEnabled, value); }
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool value) { assign(FVisible, value); }
    int ImageIndex() const noexcept { return FImageIndex; }
    void SetImageIndex(int value) { assign(FImageIndex, value); }
    TShortCut ShortCut() const noexcept { return FShortCut; }
    void SetShortCut(TShortCut value) { assign(FShortCut, value); }
    const String& Hint() const noexcept { return FHint; }
    void SetHint(const String& value) { FHint = value; }
    // A click turns Checked over before OnClick runs.
    bool AutoCheck() const noexcept { return FAutoCheck; }
    void SetAutoCheck(bool value) { FAutoCheck = value; }
    int HelpContext() const noexcept { return FHelpContext; }
    void SetHelpContext(int value) { FHelpContext = value; }
    TMenuItemAutoFlag AutoHotkeys() const noexcept { return FAutoHotkeys; }
    void SetAutoHotkeys(TMenuItemAutoFlag value) { FAutoHotkeys = value; }
    TMenuItemAutoFlag AutoLineReduction() const noexcept { return FAutoLineReduction; }
    void SetAutoLineReduction(TMenuItemAutoFlag value) { FAutoLineReduction = value; }
    // The item's own picture, made on first use.
    TBitmap& Bitmap();
    void SetBitmap(const TBitmap& value) { Bitmap().Assign(&value); }
    bool HasBitmap() const noexcept { return FBitmap && !FBitmap->Empty(); }
    // The images of the menu the item belongs to, or nullptr.
    TCustomImageList* GetImageList() const;

    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    TMenuItem* Items(int index) const;
    TMenuItem* Parent() const noexcept { return FParent; }
    int MenuIndex() const;
    int IndexOf(const TMenuItem* item) const;
    // The item takes item (which must have no parent) into its list.
    void Add(TMenuItem* item);
    void Insert(int index, TMenuItem* item);
    // Takes item out of the list; the caller then owns it.
    void Remove(TMenuItem* item);
    // Frees the item at index.
    void Delete(int index);
    void Clear();
    // The item with this caption (ignoring '&'), or nullptr.
    TMenuItem* Find(const String& caption) const;

    // The submenu of this item (built on demand).
    HMENU Handle();
    // The command number the system menu reports for this item.
    UINT Command() const noexcept { return FCommand; }
    // The menu this item belongs to, or nullptr.
    TMenu* GetParentMenu() const;

    virtual void Click();

    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* value) override;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
    const property_table& PublishedProperties() const override;

    TNotifyEvent OnClick;
    TMenuMeasureItemEvent OnMeasureItem;
    TMenuDrawItemEvent OnDrawItem;
    TAdvancedMenuDrawItemEvent OnAdvancedDrawItem;

private:
    friend class TMenu;
    friend class TMainMenu;
    // Stores a property; the parent menu is rebuilt on its next use.
    template <class T, class V>
    void assign(T& field, const V& value) {
        if (field == value) return;
        field = value;
        if (FParent) FParent->changed();
    }
    void changed();
    void rebuild(bool bar);
    void fill_info(MENUITEMINFOW& info, String& text);
    TMenuItem* find_command(UINT command);
    TMenuItem* find_submenu(HMENU menu);

    String FCaption;
    bool FChecked = false;
    bool FRadioItem = false;
    std::uint8_t FGroupIndex = 0;
    bool FDefault = false;
    bool FEnabled = true;
    bool FVisible = true;
    int FImageIndex = -1;
    TShortCut FShortCut = 0;
    String FHint;
    bool FAutoCheck = false;
    int FHelpContext = 0;
    TMenuItemAutoFlag FAutoHotkeys = TMenuItemAutoFlag::maParent;
    TMenuItemAutoFlag FAutoLineReduction = TMenuItemAutoFlag::maParent;
    std::unique_ptr<TBitmap> FBitmap;
    UINT FCommand;
    TMenuItem* FParent = nullptr;
    TMenu* FMenu = nullptr; // set on the root item
    std::vector<TMenuItem*> FItems; // owned
    unique_handle<HMENU, ::DestroyMenu> FHandle;
    bool FStale = true;
    bool FBar = false;
};

class TMenu : public TComponent {
public:
    explicit TMenu(TComponent* owner);
    ~TMenu() override;

    TMenuItem& Items() noexcept { return *FItems; }
    TCustomImageList* Images() const noexcept { return FImages; }
    void SetImages(TCustomImageList* value);
    // Every item is drawn by the menu's draw events (or the default owner drawing).
    bool OwnerDraw() const noexcept { return FOwnerDraw; }
    void SetOwnerDraw(bool value);
    TMenuAutoFlag AutoHotkeys() const noexcept { return FAutoHotkeys; }
    void SetAutoHotkeys(TMenuAutoFlag value) { FAutoHotkeys = value; }
    TMenuAutoFlag AutoLineReduction() const noexcept { return FAutoLineReduction; }
    void SetAutoLineReduction(TMenuAutoFlag value) { FAutoLineReduction = value; }
    TBiDiMode BiDiMode() const noexcept { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode value) { FBiDiMode = value; }
    bool IsRightToLeft() const noexcept { return FBiDiMode != TBiDiMode::bdLeftToRight; }
    virtual HMENU Handle();

    // WM_COMMAND of a menu item: clicks it. False when the command is not this menu's.
    bool DispatchCommand(UINT command);
    // WM_MEASUREITEM and WM_DRAWITEM of this menu's items; false when not one of them.
    bool DispatchOwnerDraw(TMessage& message);
    // WM_INITMENUPOPUP of one of this menu's submenus: clicks the item that holds it, so that its OnClick
    // can fill the submenu before it shows. False when the submenu is not this menu's.
    bool DispatchPopup(HMENU submenu);
    TMenuItem* FindItem(UINT command);

    void Notification(TComponent* component, TOperation operation) override;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
    const property_table& PublishedProperties() const override;

protected:
    std::unique_ptr<TMenuItem> FItems;

private:
    TCustomImageList* FImages = nullptr;
    bool FOwnerDraw = false;
    TMenuAutoFlag FAutoHotkeys = TMenuAutoFlag::maAutomatic;
    TMenuAutoFlag FAutoLineReduction = TMenuAutoFlag::maAutomatic;
    TBiDiMode FBiDiMode = TBiDiMode::bdLeftToRight;
};

// The menu bar of a form.
class TMainMenu : public TMenu {
public:
    explicit TMainMenu(TComponent* owner);
    HMENU Handle() override;
};

enum class TPopupAlignment : std::uint8_t { paLeft, paRight, paCenter };

class TPopupMenu : public TMenu {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    // Shows the menu at a screen position; the chosen item's OnClick runs from the message loop.
    virtual void Popup(int x, int y);
    bool AutoPopup() const noexcept { return FAutoPopup; }
    void SetAutoPopup(bool value) { FAutoPopup = value; }
    TPopupAlignment Alignment() const noexcept { return FAlignment; }
    void SetAlignment(TPopupAlignment value) { FAlignment = value; }
    // The control whose context menu this is, while it is up.
    TComponent* PopupComponent() const noexcept { return FPopupComponent; }
    void SetPopupComponent(TComponent* value) { FPopupComponent = value; }

    TNotifyEvent OnPopup;
    const property_table& PublishedProperties() const override;

private:
    bool FAutoPopup = true;
    TPopupAlignment FAlignment = TPopupAlignment::paLeft;
    TComponent* FPopupComponent = nullptr;
};

// The hidden window that owns every popup menu while it is up: it receives the menus' commands,
// owner-draw, popup (WM_INITMENUPOPUP), selection and menu-loop messages. A replacement may be installed (with its own WndProc) by setting
// PopupList; the popup menus move with Add and Remove.
class TPopupList : public TObject {
public:
    TPopupList();
    ~TPopupList() override;

    HWND Window() const noexcept { return FWindow.get(); }
    int Count() const noexcept { return static_cast<int>(FMenus.size()); }
    TPopupMenu* Items(int index) const { return FMenus.at(static_cast<size_t>(index)); }
    void Add(TPopupMenu* menu);
    void Remove(TPopupMenu* menu) noexcept;

protected:
    virtual void WndProc(TMessage& message);

private:
    std::vector<TPopupMenu*> FMenus;
    unique_handle<HWND, ::DestroyWindow> FWindow;
};

// The popup list in use (borrowed: the default one is made by menus_startup).
extern TPopupList* PopupList;

void menus_startup();
void menus_shutdown();

} // namespace kq
