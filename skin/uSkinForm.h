#pragma once
// TSkinForm, the skin form: a component on a form that draws the form's title bar, frame and client
// background itself, answers its hit tests, sets its window region, hosts the title-bar controls and fades
// the window in on its first show.

#include "skin/SkinMessages.h"
#include "skin/SkinTitleBarHost.h"
#include "skin/SkinWindowTimer.h"
#include "skin/uSkStdCtrl.h"
#include "skin/uSkinIntf.h"

#include <memory>
#include <vector>

namespace kq {

class TSkinNCCtrlBase;
// Plugged in by the units that come later; a skin form works without each of them.
class TSkFormLayerBorder;
class TSkinMainMenu;
class TSkinRes;

class TSkinFormOptions : public TPersistent {
public:
    bool MinimizeToTaskbar() const noexcept { return FMinimizeToTaskbar; }
    void SetMinimizeToTaskbar(bool Value) { FMinimizeToTaskbar = Value; }
    bool HideInTaskbar() const noexcept { return FHideInTaskbar; }
    void SetHideInTaskbar(bool Value) { FHideInTaskbar = Value; }
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    bool FMinimizeToTaskbar = false;
    bool FHideInTaskbar = false;
};

class TSkinForm : public TSkHookWindowProc, public title_bar_host {
public:
    static constexpr std::uint32_t state_minimized = 0x100;
    static constexpr std::uint32_t state_restored = 0x200;
    // The system's fixed values: a skin form tagged so leaves the global default form settings alone, and
    // the title-bar items of the main menu form one button group.
    static constexpr std::int32_t tag_keeps_default_settings = 99999;
    static constexpr std::int32_t main_menu_group_index = 99;
    // The parts of the frame, each drawn on its own bitmap.
    enum class frame_part : std::uint8_t { title, left, right, bottom };

    explicit TSkinForm(TComponent* AOwner);
    ~TSkinForm() override;

    bool FlatFrame() const noexcept { return FFlatFrame; }
    void SetFlatFrame(bool Value) { FFlatFrame = Value; }
    std::int32_t TitleHeight() const noexcept { return FTitleHeight; }
    void SetTitleHeight(std::int32_t Value) { FTitleHeight = Value; }
    TColor TitlerColor() const noexcept { return FTitlerColor; }
    void SetTitlerColor(TColor Value);
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor Value) { FColor = Value; }
    TSkinFormOptions& Options() noexcept { return FOptions; }
    bool RoundWindow() const noexcept { return FRoundWindow; }
    void SetRoundWindow(bool Value) { FRoundWindow = Value; }
    std::int32_t FramWidth() const noexcept { return FFramWidth; }
    void SetFramWidth(std::int32_t Value);
    TColor FrameColor() const noexcept { return FFrameColor; }
    void SetFrameColor(TColor Value) { FFrameColor = Value; }
    TSkFillStyle FillStyle() const noexcept { return FFillStyle; }
    void SetFillStyle(TSkFillStyle Value) { FFillStyle = Value; }
    std::int32_t HitTestWidth() const noexcept { return FHitTestWidth; }
    void SetHitTestWidth(std::int32_t Value) { FHitTestWidth = Value; }
    bool EraseBackGround() const noexcept { return FEraseBackGround; }
    void SetEraseBackGround(bool Value) { FEraseBackGround = Value; }
    std::int32_t GradientHeight() const noexcept { return FGradientHeight; }
    void SetGradientHeight(std::int32_t Value) { FGradientHeight = Value; }
    const TSkResID& CustomPicture() const noexcept { return FCustomPicture; }
    void SetCustomPicture(const TSkResID& Value);
    TSkinStyle Style() const noexcept { return FStyle; }
    void SetStyle(TSkinStyle Value) { FStyle = Value; }
    bool ActiveGradient() const noexcept { return FActiveGradient; }
    void SetActiveGradient(bool Value) { FActiveGradient = Value; }
    bool DoubleFrame() const noexcept { return FDoubleFrame; }
    void SetDoubleFrame(bool Value) { FDoubleFrame = Value; }
    bool KeepTitlerColor() const noexcept { return FKeepTitlerColor; }
    void SetKeepTitlerColor(bool Value) { FKeepTitlerColor = Value; }
    bool KeepFrameColor() const noexcept { return FKeepFrameColor; }
    void SetKeepFrameColor(bool Value) { FKeepFrameColor = Value; }
    TSkFormLayerBorder* ImageBorder() const noexcept { return FImageBorder; }
    // At run time a visible form shows the border at once.
    void SetImageBorder(TSkFormLayerBorder* Value);
    TSkinRes* SkinRes() const noexcept { return FSkinRes; }
    // Then takes the settings' values.
    void SetSkinRes(TSkinRes* Value);
    // The title-bar main menu, owned.
    TSkinMainMenu& MainMenu() noexcept { return *FMainMenu; }
    void SetMainMenu(const TSkinMainMenu& Value);

    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value) { FActive = Value; }
    TColor ClientBkColor() const noexcept { return FClientBkColor; }
    TColor NCBkColor() const noexcept { return FNCBkColor; }
    std::uint32_t PictureBgColor() const noexcept { return FPictureBgColor; }
    // The prepared client background of the current style.
    TBitmap32* BackgroundPicture() const;
    const std::vector<TSkinNCCtrlBase*>& NCCtrlList() const noexcept override { return FNCCtrlList; }
    std::int32_t RealFrameWidth() const noexcept { return FOldFramWidth; }
    std::uint32_t FormState() const noexcept { return FFormState; }

    TNotifyEvent Changed;

    void BeginChange() { ++FChangeCount; }
    void EndChange();
    void Repaint() { ApplyChange(); }
    void Invalidate() { ApplyChange(); }
    void InvalidateNC() override;
    void RefreshSkin();
    void Restoring() { DoRestore(); }

    // A title-bar control going away drops out of the list.
    void forget(TSkinNCCtrlBase* Control) noexcept override;
    TComponent* host_component() noexcept override { return this; }

    void Notification(TComponent* AComponent, TOperation Operation) override;
    // Writes the picture into the global default form settings.
    virtual void CustomPictureChanged();
    // Writes the form's values into the global default form settings.
    virtual void SyncDefaultSkinRes();

    const property_table& PublishedProperties() const override;

protected:
    void HookWndProc(TMessage& Message) override;
    // The screen's monitors and the form's own, for the maximised size; a test gives the form monitors of
    // its own (a virtual screen shows only one).
    virtual std::vector<TMonitor> screen_monitors() const;
    virtual TMonitor monitor_of_form() const;

private:
    bool designing() const { return ComponentState().contains(TComponentStateFlag::csDesigning); }
    bool sizeable() const;
    void ApplyChange();
    void ApplySkinRes();
    void BuildMainMenuButtons();
    bool HandleMenuAccel(TMessage& Message);
    void handle_menu_closed();
    void UpdateWindowRegion(bool Redraw = true);
    // A handler that returns bool returns true when it has answered the message, which then goes no
    // further; the others decide that themselves.
    bool HandleNCCalcSize(TMessage& Message);
    bool HandleNCHitTest(TMessage& Message);
    void HandleGetMinMaxInfo(TMessage& Message);
    void HandleNCPaint(TMessage& Message);
    void PaintNC();
    void give_frame_to_border();
    void DrawFrame(TBitmap32* Bitmap, frame_part Part);
    void BuildColorBackground();
    void BuildPictureBackground();
    void build_background();
    void PaintClientBackground();
    void EraseClientBackground(HDC DC);
    void handle_sys_command(TMessage& Message);
    void handle_showing_changed(TMessage& Message);
    void handle_window_pos_changing(TMessage& Message);
    void handle_window_pos_changed(TMessage& Message);
    void DispatchNCMouseMove();
    bool DispatchNCButton(bool Down);
    void HandleNCDblClick(TMessage& Message);
    HWND form_window() const;
    void on_size(TMessage& Message);
    void on_paint(TMessage& Message);
    void on_erase_background(TMessage& Message);
    void on_set_cursor(TMessage& Message);
    void on_nc_left_button_down(TMessage& Message);
    void on_timer(TMessage& Message);
    void nc_repaint_due();
    void start_flash_due();
    void next_menu_due();
    void on_update_nc(TMessage& Message);
    void on_visible_changed(TMessage& Message);
    void add_nc_control(TSkinNCCtrlBase* Control);
    void RemoveNCControl(TSkinNCCtrlBase* Control);
    bool AppMainWindowHook(TMessage& Message);
    void DoMinimize();
    void DoRestore();
    void strip_system_caption();
    TPoint window_point(LPARAM LParam) const;

    bool FFlatFrame = false;
    std::int32_t FTitleHeight = 27;
    TColor FTitlerColor = 16761926;
    TColor FColor = 15920353;
    TSkinFormOptions FOptions;
    bool FRoundWindow = true;
    std::int32_t FFramWidth = 2;
    TColor FFrameColor = 0;
    TSkFillStyle FFillStyle = mfsBlur;
    std::int32_t FHitTestWidth = 5;
    bool FEraseBackGround = false;
    std::int32_t FGradientHeight = 168;
    TSkResID FCustomPicture;
    TSkinStyle FStyle = ssColor;
    bool FActiveGradient = true;
    bool FDoubleFrame = true;
    bool FKeepTitlerColor = false;
    bool FKeepFrameColor = false;
    TSkFormLayerBorder* FImageBorder = nullptr;
    TSkinRes* FSkinRes = nullptr;
    std::unique_ptr<TSkinMainMenu> FMainMenu;

    bool FActive = false;
    TColor FClientBkColor = 15920353;
    TColor FNCBkColor = 16761926;
    std::unique_ptr<TBitmap32> FColorBgBitmap, FColorBkGraphic, FPictureBgBitmap, FPictureBkGraphic;
    std::unique_ptr<TBitmap32> FTitleBitmap; // the title bar as last painted
    std::uint32_t FPictureBgColor = 0;
    std::vector<TSkinNCCtrlBase*> FNCCtrlList;
    std::int32_t FOldFramWidth = 0;
    std::int32_t FChangeCount = 0;
    bool FDoChanging = false;
    bool FRgnChanging = false;
    bool FIgnoreNCHit = false;
    TBorderIcons FOldBorderIcons;
    TWindowState FOldWS = TWindowState::wsNormal;
    bool FOldAlphaBlend = false;
    std::uint8_t FOldAlphaBlendValue = 255;
    bool FFixedStartFlash = false;
    bool FMinAlphaBlend = false;
    std::uint8_t FMinAlphaBlendValue = 255;
    bool FFixedMinMaxInfo = false;
    POINT FOldPtMaxPosition{};
    POINT FOldPtMaxSize{};
    std::int32_t FMinMainInfoOffset = 0;
    bool FFormOldMonitorIsPrimary = true;
    // What the window region was made for: it is set again only when one of these changed.
    struct region_key {
        int width = -1, height = -1;
        int shape = -1; // 0 rectangle, 1 rounded, 2 rounded top
        bool operator==(const region_key&) const = default;
    } FRegionKey;
    std::uint32_t FFormState = 0;
    window_timer FNCRepaintTimer{skin_timer_nc_repaint};
    window_timer FStartFlashTimer{skin_timer_start_flash};
    window_timer FNextMenuTimer{skin_timer_next_menu};
};

} // namespace kq
