#pragma once
// TSkinNCCtrlBase: windowless controls drawn by a skin form into its title bar. They register with the
// form by a message, sit relative to the left or right window edge and follow the mouse through the form's
// non-client messages and a polling timer.

#include "framework/Forms.h"
#include "framework/Geometry.h"
#include "framework/Timers.h"
#include "skin/SkinTitleBarHost.h"
#include "skin/uSkinIntf.h"

#include <memory>

namespace kq {

enum TNCCtrlAlign : std::uint8_t { caLeft, caRight };

class TNCCtrlPos : public TPersistent {
public:
    explicit TNCCtrlPos(TForm* AForm) : FForm(AForm) {}

    TNCCtrlAlign Align() const noexcept { return FAlign; }
    void SetAlign(TNCCtrlAlign Value);
    std::int32_t XValue() const noexcept { return FXValue; }
    void SetXValue(std::int32_t Value);
    std::int32_t YValue() const noexcept { return FYValue; }
    void SetYValue(std::int32_t Value);
    bool UseDefault() const noexcept { return FUseDefault; }
    void SetUseDefault(bool Value) { FUseDefault = Value; }
    std::int32_t Width() const noexcept { return FWidth; }
    void SetWidth(std::int32_t Value) { FWidth = Value; }
    std::int32_t Height() const noexcept { return FHeight; }
    void SetHeight(std::int32_t Value) { FHeight = Value; }
    std::int32_t X() const;
    std::int32_t Y() const noexcept { return FYValue; }
    void Lock() noexcept { FLocked = true; }
    void UnLock() noexcept { FLocked = false; }
    // Copies the position and size; the form and the change event stay.
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

    TNotifyEvent OnChanged;

protected:
    virtual void Changed();

private:
    TForm* FForm;
    TNCCtrlAlign FAlign = caLeft;
    std::int32_t FXValue = 0, FYValue = 0;
    bool FUseDefault = false;
    std::int32_t FWidth = 0, FHeight = 0;
    bool FLocked = false;
};

class TSkinNCCtrlBase : public TComponent {
public:
    explicit TSkinNCCtrlBase(TComponent* AOwner);
    ~TSkinNCCtrlBase() override;

    std::int32_t Tag() const noexcept { return FTag; }
    void SetTag(std::int32_t Value) { FTag = Value; }
    TNCCtrlPos& Pos() noexcept { return *FPos; }
    // Copies: the control keeps its own position object.
    void SetPos(const TNCCtrlPos& Value) { FPos->Assign(&Value); }
    const String& Hint() const noexcept { return FHint; }
    void SetHint(const String& Value) { FHint = Value; }
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    bool CursorEnter() const noexcept { return FMouseEnter; }
    TRect ClientRect();
    TPoint ClientRectOffset() const noexcept { return FClientRectOffset; }
    void SetClientRectOffset(TPoint Value) { FClientRectOffset = Value; }
    bool Hooked() const noexcept { return FHooked; }
    void SetHooked(bool Value) { FHooked = Value; }
    // The skin form that lists the control.
    title_bar_host* ParentObject() const noexcept { return FParentObject; }
    void SetParentObject(title_bar_host* Value) { FParentObject = Value; }
    void* Data() const noexcept { return FData; }
    void SetData(void* Value) { FData = Value; }

    TNotifyEvent OnLMouseDown, OnLMouseUp, OnMouseEnter, OnMouseLeave;

    // Repaints the form's title bar at once.
    void Invalidate();
    // Asks the skin form to drop and free this control.
    void RemoveSelf();

    virtual void TimerTick();
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void MouseHover();
    virtual std::int32_t GetWidth();
    virtual std::int32_t GetHeight();
    virtual void LMouseDown();
    virtual void LMouseUp();
    virtual void Paint(TBitmap32* Canvas);
    virtual void NCMouseMove(TPoint CursorPos);

    const property_table& PublishedProperties() const override;

    // The window the control measures itself against and paints into: its form, or the window that
    // hosts the title bar since host_on.
    TForm* host_form() const noexcept { return FForm; }
    // The form the control's commands go to: its own form, wherever it is hosted.
    TForm* command_form() const noexcept { return FSourceForm ? FSourceForm : FForm; }
    // An opaque image border's top edge takes over the title bar: from then on the control measures
    // itself against Host and sends its commands to the form it came from, and a right-aligned control
    // moves in by the border's Margin to keep its place. Once per host.
    void host_on(TForm* Host, std::int32_t Margin);

protected:
    bool designing() const { return ComponentState().contains(TComponentStateFlag::csDesigning); }
    bool destroying() const { return ComponentState().contains(TComponentStateFlag::csDestroying); }

    // How often the control looks where the mouse is.
    void SetPollInterval(unsigned Milliseconds);
    // The cursor relative to the form window's top-left corner.
    TPoint window_point() const;
    // Enter, hover and leave from where the cursor is now.
    void follow_mouse();

    std::unique_ptr<TNCCtrlPos> FPos;
    bool FMouseEnter = false;

private:
    void PositionChanged();
    void show_hint();

    String FHint;
    std::int32_t FTag = 0;
    bool FVisible = true;
    title_bar_host* FParentObject = nullptr;
    void* FData = nullptr;
    TPoint FOldPos{};
    TPoint FClientRectOffset{};
    std::unique_ptr<TTimer> FTimer;
    std::unique_ptr<THintWindow> FHintWindow; // shown while the mouse is over a control with a hint
    bool FHooked = false;
    TForm* FForm = nullptr;
    TForm* FSourceForm = nullptr;
};

} // namespace kq
