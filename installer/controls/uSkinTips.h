#pragma once
// TSkinCustomTips: short messages in small borderless pop-up windows (TSkinTipsWindow) next to a control,
// with an optional bold title and close button; a tip can close itself after a pause, follows its
// control when the form moves, and can hide while the control's form is inactive.

#include "framework/Controls.h"
#include "framework/Geometry.h"
#include "graphics/Raster_Bitmap.h"
#include "skin/uSimpleTimer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kq {

class TSkinCustomTips;

enum TTipsDirection : std::uint8_t { hdTop, hdBottom, hdCustom };
enum TMouseInTips : std::uint8_t { itNone, itCloseButton };

// One tip on the screen. Made and freed by its tips component; a closed tip is freed soon after.
class TSkinTipsWindow : public TCustomControl {
public:
    explicit TSkinTipsWindow(TSkinCustomTips* Tips);
    ~TSkinTipsWindow() override;

    const String& Title() const noexcept { return FTitle; }
    const String& Tips() const noexcept { return FTips; }
    TControl* ParentControl() const noexcept { return FParentControl; }
    TRect CloseButtonRect() const noexcept { return FCloseButtonRect; }
    bool closed() const noexcept { return FClosed; }

    virtual void DoTimer();
    virtual void HideTips(bool Animate);
    // Destroys the window; the tips component frees the object.
    virtual void Close();
    virtual void ActivateTips(const String& ATitle, const String& ATips, const TRect* R, TControl* ParentControl);

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
    void PaintWindow(HDC DC) override;
    virtual void Paint(TBitmap32* Buffer);
    void Resize() override;

private:
    int wrapped_tips_height(const TRect* R);
    int title_line_height();
    void set_mouse_in(TMouseInTips Value);

    TSkinCustomTips* FSkTips;
    String FTitle;
    String FTips;
    TControl* FParentControl = nullptr;
    TPoint FOldParentControlPos{};
    TRect FCloseButtonRect{};
    TMouseInTips FMouseInTips = itNone;
    bool FMousePressed = false;
    bool FClosed = false;
    std::unique_ptr<TBitmap32> FMemBmp;
    std::unique_ptr<TSimpleTimer> FTimer;
    std::uint64_t FT1 = 0;
    std::uint64_t FT2 = 0;
};

class TSkinCustomTips : public TComponent {
public:
    explicit TSkinCustomTips(TComponent* AOwner);
    ~TSkinCustomTips() override;

    TTipsDirection TipsDirection() const noexcept { return FTipsDirection; }
    void SetTipsDirection(TTipsDirection Value) noexcept { FTipsDirection = Value; }
    TColor TipsColor() const noexcept { return FTipsColor; }
    void SetTipsColor(TColor Value) noexcept { FTipsColor = Value; }
    TColor FrameColor() const noexcept { return FFrameColor; }
    void SetFrameColor(TColor Value) noexcept { FFrameColor = Value; }
    TFont& TipsFont() noexcept { return *FTipsFont; }
    void SetTipsFont(const TFont& Value) { FTipsFont->Assign(&Value); }
    TFont& TitleFont() noexcept { return *FTitleFont; }
    void SetTitleFont(const TFont& Value) { FTitleFont->Assign(&Value); }
    // Milliseconds until an untouched tip fades out; 0 keeps it.
    std::int32_t PauseTime() const noexcept { return FPauseTime; }
    void SetPauseTime(std::int32_t Value) noexcept { FPauseTime = Value; }
    bool CloseButtonVisible() const noexcept { return FCloseButtonVisible; }
    void SetCloseButtonVisible(bool Value) noexcept { FCloseButtonVisible = Value; }
    bool HideOfParentDeactivate() const noexcept { return FHideOfParentDeactivate; }
    void SetHideOfParentDeactivate(bool Value) noexcept { FHideOfParentDeactivate = Value; }

    // The handle of the new tip window, 0 when neither R nor a control is given. With a control, R is
    // in its parent's client coordinates.
    HWND Show(const String& Title, const String& Tips, TTipsDirection ATipsDirection, const TRect* R,
              TControl* ParentControl);
    HWND Show(const String& Title, const String& Tips, const TRect* R, TControl* ParentControl) {
        return Show(Title, Tips, hdTop, R, ParentControl);
    }
    int GetTipsWidth(const String& Str);
    int GetTipsHeight(const String& Str);

    // The tip windows open now (closed ones are freed).
    int count() const noexcept { return static_cast<int>(FList.size()); }
    TSkinTipsWindow* window(int index) const { return FList.at(static_cast<size_t>(index)).get(); }

    // Copies the colours, fonts and switches of another tips component.
    void Assign(const TPersistent* Source) override;

protected:
    // Frees every tip window, last first.
    void free_windows();

private:
    friend class TSkinTipsWindow;
    // A tip that closed: freed from the message loop, never from inside its own handlers.
    void tip_closed();
    void free_closed();
    SIZE tips_extent(const String& Str);

    TTipsDirection FTipsDirection = hdTop;
    TColor FTipsColor = 11596287;
    std::unique_ptr<TFont> FTipsFont;
    std::unique_ptr<TFont> FTitleFont;
    TColor FFrameColor = 700646;
    std::int32_t FPauseTime = 3500;
    std::vector<std::unique_ptr<TSkinTipsWindow>> FList;
    bool FCloseButtonVisible = true;
    bool FHideOfParentDeactivate = false;
    std::shared_ptr<int> FAlive = std::make_shared<int>(0);
};

} // namespace kq
