#pragma once
// TSkinPanel: a container that paints a translucent colour over what lies behind it, an optional image
// and one- or two-line borders on chosen sides.

#include "skin/uSkinCtrls.h"

namespace kq {

class TSkinCustomPanel : public TSkinCustomControl {
public:
    explicit TSkinCustomPanel(TComponent* AOwner);

    std::uint8_t Alpha() const noexcept { return FAlpha; }
    void SetAlpha(std::uint8_t Value);
    TSides BorderSides() const noexcept { return FBorderSides; }
    void SetBorderSides(TSides Value);
    TColor BorderColor() const noexcept { return FBorderColor; }
    void SetBorderColor(TColor Value);
    std::uint8_t BorderAlpha() const noexcept { return FBorderAlpha; }
    void SetBorderAlpha(std::uint8_t Value);
    bool DoubleBorder() const noexcept { return FDoubleBorder; }
    void SetDoubleBorder(bool Value);
    const TSkResID& BackgroundImage() const noexcept { return FBackgroundImage; }
    void SetBackgroundImage(const TSkResID& Value);
    TSkPngFillType BackgroundFillType() const noexcept { return FBackgroundFillType; }
    void SetBackgroundFillType(TSkPngFillType Value);
    std::int32_t BackgroundOffsetX() const noexcept { return FBackgroundOffsetX; }
    void SetBackgroundOffsetX(std::int32_t Value) { FBackgroundOffsetX = Value; }
    std::int32_t BackgroundOffsetY() const noexcept { return FBackgroundOffsetY; }
    void SetBackgroundOffsetY(std::int32_t Value) { FBackgroundOffsetY = Value; }

    TSkCustomDrawEvent OnCustomDraw;

    const property_table& PublishedProperties() const override;

protected:
    virtual void DrawBorder(TBitmap32* Canvas);
    void DrawBody(TBitmap32* Canvas) override;
    void AlignControls(RECT& Rect) override;

private:
    template <class T>
    void change(T& field, T value) {
        if (field == value)
            return;
        field = value;
        Invalidate();
    }

    std::uint8_t FAlpha = 192;
    TSides FBorderSides{sdLeft, sdTop, sdRight, sdBottom};
    TColor FBorderColor = 14273466;
    std::uint8_t FBorderAlpha = 255;
    bool FDoubleBorder = true;
    TSkResID FBackgroundImage;
    TSkPngFillType FBackgroundFillType = ftNormal;
    std::int32_t FBackgroundOffsetX = 0;
    std::int32_t FBackgroundOffsetY = 0;
};

class TSkinPanel : public TSkinCustomPanel {
public:
    using TSkinCustomPanel::TSkinCustomPanel;
};

} // namespace kq
