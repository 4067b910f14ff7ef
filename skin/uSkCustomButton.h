#pragma once
// TSkinCustomButton, the skin library's push button: a frame of a state strip chosen by hot, pressed,
// normal or disabled, optional layers, an optional drop-down menu with its own arrow area, a caption,
// grouping and dialog keys.

#include "framework/Forms.h"
#include "framework/Properties.h"
#include "skin/uSimpleTimer.h"
#include "skin/uSkinCtrls.h"

#include <memory>

namespace kq {

class TPopupMenu;

class TSkBtnItemOffset : public TPersistent {
public:
    explicit TSkBtnItemOffset(TControl* AOwner) : FOwner(AOwner) {}
    std::int32_t X() const noexcept { return FX; }
    void SetX(std::int32_t Value);
    std::int32_t Y() const noexcept { return FY; }
    void SetY(std::int32_t Value);
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    TControl* FOwner;
    std::int32_t FX = 0;
    std::int32_t FY = 0;
};

class TSkinCustomButton : public TSkinCustomControl {
public:
    // The width of the drop-down arrow area at the right edge.
    static constexpr int dropdown_arrow_width = 17;

    explicit TSkinCustomButton(TComponent* AOwner);
    ~TSkinCustomButton() override;

    bool IgnoreMouse() const noexcept { return FIgnoreMouse; }
    void SetIgnoreMouse(bool Value) { FIgnoreMouse = Value; }
    bool CycleDownClick() const noexcept { return FCycleDownClick; }
    void SetCycleDownClick(bool Value) { FCycleDownClick = Value; }
    bool WordWrap() const noexcept { return FWordWrap; }
    void SetWordWrap(bool Value) { FWordWrap = Value; }
    bool Down() const noexcept { return FDown; }
    void SetDown(bool Value);
    TFont& HotFont() noexcept { return *FHotFont; }
    void SetHotFont(const TFont& Value) { FHotFont->Assign(&Value); }
    std::int32_t GroupIndex() const noexcept { return FGroupIndex; }
    void SetGroupIndex(std::int32_t Value);
    std::int32_t PressedOffset() const noexcept { return FPressedOffset; }
    void SetPressedOffset(std::int32_t Value) { FPressedOffset = Value; }
    bool CanFocused() const noexcept { return FCanFocused; }
    void SetCanFocused(bool Value) { FCanFocused = Value; }
    bool Default() const noexcept { return FDefault; }
    void SetDefault(bool Value);
    bool Cancel() const noexcept { return FCancel; }
    void SetCancel(bool Value) { FCancel = Value; }
    TModalResult ModalResult() const noexcept { return FModalResult; }
    void SetModalResult(TModalResult Value) { FModalResult = Value; }

    TPngPictures& Pictures() noexcept { return *FPictures; }
    void SetPictures(const TPngPictures& Value) { FPictures->Assign(&Value); }
    TPngPictures& Layers() noexcept { return *FLayers; }
    void SetLayers(const TPngPictures& Value) { FLayers->Assign(&Value); }
    bool LayerMode() const noexcept { return FLayerMode; }
    void SetLayerMode(bool Value);
    bool CaptionVisible() const noexcept { return FCaptionVisible; }
    void SetCaptionVisible(bool Value);
    TSkBtnItemOffset& ImageOffset() noexcept { return FImageOffset; }
    TSkBtnItemOffset& CaptionOffset() noexcept { return FCaptionOffset; }
    TSkBtnItemOffset& LayersOffset() noexcept { return FLayersOffset; }
    TSkBtnItemOffset& DropdownMenuOffset() noexcept { return FDropdownMenuOffset; }
    TPopupMenu* DropdownMenu() const noexcept { return FDropdownMenu; }
    void SetDropdownMenu(TPopupMenu* Value);
    const TRect& DropdownMenuRect() const noexcept { return FDropdownMenuRect; }

    TNotifyEvent OnCycleDownClick;

    void Click() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;
    const property_table& PublishedProperties() const override;

protected:
    virtual void ReleaseGroupButtons();
    virtual void DrawDropdownArrow(TBitmap32* Canvas);
    virtual void DrawLayers(TBitmap32* Canvas);
    void DrawBody(TBitmap32* Canvas) override;
    void WndProc(TMessage& Message) override;
    void CreateWnd() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

    // The painting state: hot while the pointer is over a button that is not down; pressed while the
    // mouse holds it or it is down.
    bool hot_state() const noexcept { return FMouseIn && !FDown; }
    bool pressed_state() const noexcept { return FMouseDown || FDown; }

private:
    void handle_left_down(TMessage& Message);
    void handle_left_up();
    void popup_menu();
    void update_dropdown_rect();
    bool in_dropdown_rect(TPoint p) const;
    // After a press: the focus comes to the button unless it is kept from it.
    void take_focus();
    void focus_changed(TWinControl* Focused);
    bool is_accel(char16_t Key) const;

    std::unique_ptr<TPngPictures> FPictures, FLayers, FDropdownMenuPictures;
    std::unique_ptr<TFont> FHotFont;
    TSkBtnItemOffset FImageOffset{this}, FCaptionOffset{this}, FLayersOffset{this}, FDropdownMenuOffset{this};
    TPopupMenu* FDropdownMenu = nullptr;
    TRect FDropdownMenuRect{};
    bool FMouseInDropdownMenuRect = false;
    bool FPressedInDropdownMenuRect = false;
    std::unique_ptr<TSimpleTimer> FTimer, FActiveCycleDown;
    std::uint64_t FLastClick = 0;
    bool FSkipNextClick = false;
    bool FMouseIn = false, FMouseDown = false, FDown = false;
    bool FActive = false;
    bool FClicksDisabled = false;
    bool FIgnoreMouse = false, FCycleDownClick = false, FWordWrap = false;
    std::int32_t FGroupIndex = 0;
    std::int32_t FPressedOffset = 1;
    bool FCanFocused = true, FDefault = false, FCancel = false;
    TModalResult FModalResult = mrNone;
    bool FLayerMode = false;
    bool FCaptionVisible = true;
};

// The face a strip button publishes: its strip, layers, caption switch and drop-down menu (the unit that
// instantiates it includes framework/Menus.h).
template <class C>
property_builder<C> publish_button_face(property_builder<C> table) {
    static_assert(std::is_base_of_v<TSkinCustomButton, C>);
    table.persistent(u"Pictures", [](const C& c) { return &const_cast<C&>(c).Pictures(); })
        .boolean(u"LayerMode", &C::LayerMode, &C::SetLayerMode, false)
        .persistent(u"Layers", [](const C& c) { return &const_cast<C&>(c).Layers(); })
        .persistent(u"LayersOffset", [](const C& c) { return &const_cast<C&>(c).LayersOffset(); })
        .boolean(u"CaptionVisible", &C::CaptionVisible, &C::SetCaptionVisible, true)
        .component(u"DropdownMenu", &C::DropdownMenu, &C::SetDropdownMenu);
    return table;
}

} // namespace kq
