#pragma once
// TSkinCheckBox: the installer's check box, drawn from a four-frame picture (unchecked, unchecked under
// the pointer, checked, checked under the pointer) with its caption beside it.

#include "skin/uSkinCtrls.h"

namespace kq {

class TSkinCheckBox : public TSkinCustomControl {
public:
    explicit TSkinCheckBox(TComponent* AOwner);

    bool Checked() const noexcept { return FChecked; }
    void SetChecked(bool Value);
    const TSkResID& Pictures() const noexcept { return FPictures; }
    void SetPictures(const TSkResID& Value);
    TSkLightClass& Light() noexcept { return FLight; }
    void SetLight(const TSkLightClass& Value) { FLight.Assign(&Value); }

    TNotifyEvent OnChanged;

    const property_table& PublishedProperties() const override;

protected:
    virtual void Changed();
    void CreateWnd() override;
    void WndProc(TMessage& Message) override;
    void DoMouseEnter() override;
    void DoMouseLeave() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    void DrawBody(TBitmap32* Canvas) override;

private:
    bool FChecked = false;
    TSkResID FPictures = u"SkinCheckBox";
    bool FMouseInControl = false;
    TSkLightClass FLight;
};

} // namespace kq
