#pragma once
// TSkinProgressBar: a bar drawn from a background image and a three-slice progress image, with a centred
// caption and an optional thumb that makes it a slider.

#include "skin/uSkinCtrls.h"

#include <cstdint>
#include <memory>

namespace kq {

class TTimer;

// The slider's thumb.
class TSkPBTrackButton : public TPersistent {
public:
    const TSkResID& Normal() const noexcept { return FNormal; }
    void SetNormal(const TSkResID& Value);
    const TSkResID& Hot() const noexcept { return FHot; }
    void SetHot(const TSkResID& Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    std::int32_t Offset() const noexcept { return FOffset; }
    void SetOffset(std::int32_t Value) { FOffset = Value; }
    bool AlwaysShow() const noexcept { return FAlwaysShow; }
    void SetAlwaysShow(bool Value) { FAlwaysShow = Value; }
    TNotifyEvent OnChanged;

    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    void Changed();

    TSkResID FNormal, FHot;
    bool FVisible = false;
    std::int32_t FOffset = 0;
    bool FAlwaysShow = true;
};

class TSkinProgressBar : public TSkinCustomControl {
public:
    explicit TSkinProgressBar(TComponent* AOwner);
    ~TSkinProgressBar() override;

    // MinValue never exceeds MaxValue: setting either past the other moves the other along.
    std::int32_t MinValue() const noexcept { return FMinValue; }
    void SetMinValue(std::int32_t Value);
    std::int32_t MaxValue() const noexcept { return FMaxValue; }
    void SetMaxValue(std::int32_t Value);
    std::int32_t Value() const noexcept { return FValue; }
    // Clamped to the range; raises OnChanged when the value changes, unless updates are suspended.
    void SetValue(std::int32_t Value);
    const TSkResID& Bar_Progress() const noexcept { return FBar_Progress; }
    void SetBar_Progress(const TSkResID& Value);
    const TSkResID& Bar_Background() const noexcept { return FBar_Background; }
    void SetBar_Background(const TSkResID& Value);
    std::int32_t BarLeftRightSize() const noexcept { return FBarLeftRightSize; }
    void SetBarLeftRightSize(std::int32_t Value);
    TSkCaption& Caption() noexcept { return *FCaption; }
    void SetCaption(const TSkCaption& Value);
    TSkPBTrackButton& TrackButton() noexcept { return *FTrackButton; }
    void SetTrackButton(const TSkPBTrackButton& Value);

    void BeginUpdate() noexcept { ++FUpdateCount; }
    void EndUpdate() noexcept { --FUpdateCount; }

    // The filled width of the bar for its value (also the thumb's right edge).
    std::int32_t filled_width() const;

    TNotifyEvent OnChanged;

    const property_table& PublishedProperties() const override;

protected:
    void DrawBody(TBitmap32* Canvas) override;
    void WndProc(TMessage& Message) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void DoMouseEnter() override;
    void DoMouseLeave() override;

private:
    // Max - Min, 1 for an empty range; 64 bits, as the difference of two 32-bit ends may not fit in 32.
    std::int64_t range() const noexcept;
    std::int32_t value_at(int X) const;
    void set_value_notifying(std::int32_t Value);
    void draw_thumb(TBitmap32* Canvas);
    void track_press(int X, int Y);
    void end_repeat();
    void repeat_tick();

    std::int32_t FMinValue = 0;
    std::int32_t FValue = 50;
    std::int32_t FMaxValue = 100;
    TSkResID FBar_Progress = u"SkinBar_cur";
    TSkResID FBar_Background = u"SkinBar_base";
    std::unique_ptr<TSkPBTrackButton> FTrackButton;
    TTimer* FRepeatTimer = nullptr; // owned as a component
    bool FSliding = false;
    bool FPaging = false;
    bool FPagingDirInc = false;
    std::int32_t FThumbCenterOffsetX = 0, FThumbCenterOffsetY = 0;
    std::int32_t FLastX = 0, FLastY = 0;
    std::int16_t FThumbHeight = 0, FThumbWidth = 0;
    TRect FThumbRct{};
    TRect FTrackRct{};
    bool FMouseIn = false;
    std::int32_t FBarLeftRightSize = 6;
    std::int32_t FUpdateCount = 0;
    std::unique_ptr<TSkCaption> FCaption;
};

// Image stretched to Width x its height: a left cap and a right cap of Cap pixels and a stretched middle
// (equal thirds when Cap is 0). Owned by the caller; nil for nil.
std::unique_ptr<TSkinImage> ThreeSliceStretch(TBitmap32* Image, std::int32_t Width, std::int32_t Cap);
// Image cut into a left cap, a middle and a right cap; equal thirds when Cap is not between 0 and a third
// of the width. A nil image leaves Slices empty.
void SplitImageThreeSlices(TBitmap32* Image, std::int32_t Cap, TDynSkinImage& Slices);

} // namespace kq
