#pragma once
// The popup-menu skin: the thread's menu-window hook (no drop shadow, no selection fade while the program
// runs, no frame or background painted while a skinned menu is being built) and TSkinMenu, which draws
// the menus of its form as per-pixel-alpha layered windows from skin images.

#include "framework/Menus.h"
#include "skin/uSkinIntf.h"

#include <memory>
#include <optional>
#include <vector>

namespace kq {

// False from the measuring of a skinned item to the end of its first layered draw: the menu window then
// paints neither frame nor background.
extern bool MenuLayerReady;

// The unit's start: in the program's main process the session's menu selection fade is switched off for
// the run (a helper process of the program, started with a "--type" switch, leaves every session setting
// alone); the menu-window hook is installed for the calling thread. The end puts back every session
// setting the unit changed and removes the hook.
void uSkinMenu_startup();
void uSkinMenu_shutdown() noexcept;
// The selection fade the start found, which the end puts back; empty in a helper process.
std::optional<bool> SavedSelectionFade() noexcept;

// One menu window's pictures.
struct TMenuWndRec {
    HWND Handle = nullptr;
    TBitmap32* hBit = nullptr;   // the window's composed picture
    TBitmap32* BgBmp32 = nullptr; // its background
};

// The pictures of the menu windows a skin has drawn; owns both bitmaps of every record.
class TMenuWnds : public TObject {
public:
    ~TMenuWnds() override;
    // Takes hBit over and keeps a copy of BgBmp32.
    void Add(const TMenuWndRec& Data);
    // The picture of the window (nil when none); records of windows no longer visible are freed first.
    TBitmap32* GetHBITMAP(HWND Handle);
    TBitmap32* GetBgPng(HWND Handle) const;
    void Clear() noexcept;
    int Count() const noexcept { return static_cast<int>(FList.size()); }

private:
    struct record {
        HWND Handle;
        std::unique_ptr<TBitmap32> hBit, BgBmp32;
    };
    std::vector<record> FList;
};

class TSkinMenu : public TComponent {
public:
    explicit TSkinMenu(TComponent* AOwner);
    ~TSkinMenu() override;

    TFont& Font() noexcept { return FFont; }
    void SetFont(const TFont& Value) { FFont.Assign(&Value); }
    TFont& HotFont() noexcept { return FHotFont; }
    void SetHotFont(const TFont& Value) { FHotFont.Assign(&Value); }
    TColor LineColor() const noexcept { return FLineColor; }
    void SetLineColor(TColor Value) { FLineColor = Value; }
    const TSkResID& Menu_bk() const noexcept { return FMenu_bk; }
    void SetMenu_bk(const TSkResID& Value) { FMenu_bk = Value; }
    const TSkResID& Menu_hilight() const noexcept { return FMenu_hilight; }
    void SetMenu_hilight(const TSkResID& Value) { FMenu_hilight = Value; }
    const TSkResID& Menu_Check() const noexcept { return FMenu_Check; }
    void SetMenu_Check(const TSkResID& Value) { FMenu_Check = Value; }
    const TSkResID& Menu_Radio() const noexcept { return FMenu_Radio; }
    void SetMenu_Radio(const TSkResID& Value) { FMenu_Radio = Value; }
    const TSkResID& Menu_SubArrow() const noexcept { return FMenu_SubArrow; }
    void SetMenu_SubArrow(const TSkResID& Value) { FMenu_SubArrow = Value; }
    std::int32_t BorderOffset() const noexcept { return FBorderOffset; }
    void SetBorderOffset(std::int32_t Value) { FBorderOffset = Value; }
    std::int32_t BorderWidth() const noexcept { return FBorderWidth; }
    void SetBorderWidth(std::int32_t Value) { FBorderWidth = Value; }
    std::int32_t GlyphBarWidth() const noexcept { return FGlyphBarWidth; }
    void SetGlyphBarWidth(std::int32_t Value) { FGlyphBarWidth = Value; }

    // The pictures of the menu windows drawn so far.
    TMenuWnds& MenuWnds() noexcept { return FMenuWnds; }
    HWND MenuWindowHandle() const noexcept { return FMenuWindowHandle; }

    void DrawMenuItem(TMenuItem* Item) { HookMenuItem(Item); }
    void MeasureMenuItem(TMenuItem* Item, TCanvas& ACanvas, int& Width, int& Height);
    void DrawMenuItemLayered(TMenuItem* Item, TCanvas& ACanvas, const RECT& ARect, TOwnerDrawState State);

    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    const property_table& PublishedProperties() const override;

private:
    bool designing() const { return ComponentState().contains(TComponentStateFlag::csDesigning); }
    void AttachMenuItems();
    void SetOwnerDrawMenus();
    void HookMenuItem(TMenuItem* Item);
    void UnhookMenuItem(TMenuItem* Item);
    void DrawItemFace(TMenuItem* Item, TBitmap32& B, TOwnerDrawState State, const TRect& R1);
    void DrawMenuCheckMark(TMenuItem* Item, TBitmap32& B, TOwnerDrawState State, const TRect& G);
    void DrawMenuItemText(TMenuItem* Item, TBitmap32& B, TOwnerDrawState State, const TRect& T);

    TFont FFont, FHotFont;
    TColor FLineColor = 13551034;
    TSkResID FMenu_bk = u"SkinMenu_bk";
    TSkResID FMenu_hilight = u"SkinMenu_hilight";
    TSkResID FMenu_Check = u"SkinMenu_icon_check";
    TSkResID FMenu_Radio = u"SkinMenu_icon_radio";
    TSkResID FMenu_SubArrow = u"SkinMenu_sub_arrow";
    std::int32_t FBorderOffset = 6;
    std::int32_t FBorderWidth = 0;
    std::int32_t FGlyphBarWidth = 31;
    std::vector<TMenuItem*> FMenuItemList;
    TComponent* FOwner;
    TMenuWnds FMenuWnds;
    HWND FMenuWindowHandle = nullptr;
};

} // namespace kq
