#pragma once
// TSkinNCLabel: the caption of a skinned title bar, with glow and ellipsis.

#include "skin/uSkinNCCtrlBase.h"

namespace kq {

// The caption of a skinned title bar; pressing it drags the window.
class TSkinNCLabel : public TSkinNCCtrlBase {
public:
    explicit TSkinNCLabel(TComponent* AOwner);

    TSkLightClass& Light() noexcept { return FLight; }
    void SetLight(const TSkLightClass& Value) { FLight.Assign(&Value); }
    TEllipsisPosition EllipsisPosition() const noexcept { return FEllipsisPosition; }
    void SetEllipsisPosition(TEllipsisPosition Value);
    const String& Caption() const noexcept { return FCaption; }
    void SetCaption(const String& Value);
    TFont& Font() noexcept { return *FFont; }
    bool CaptureMouse() const noexcept { return FCaptureMouse; }
    void SetCaptureMouse(bool Value) { FCaptureMouse = Value; }
    bool RenderText() const noexcept { return FRenderText; }
    void SetRenderText(bool Value) { FRenderText = Value; }
    std::int32_t MaxWidth() const noexcept { return FMaxWidth; }
    void SetMaxWidth(std::int32_t Value) { FMaxWidth = Value; }
    // The caption's size measured at the last paint.
    std::int32_t Width() const noexcept { return FWidth; }
    std::int32_t Height() const noexcept { return FHeight; }

    std::int32_t GetWidth() override { return FWidth; }
    std::int32_t GetHeight() override { return FHeight; }
    void LMouseDown() override;
    void Paint(TBitmap32* Canvas) override;

    const property_table& PublishedProperties() const override;

private:
    TSkLightClass FLight;
    TEllipsisPosition FEllipsisPosition = epNone;
    String FCaption;
    std::unique_ptr<TFont> FFont;
    bool FCaptureMouse = true;
    bool FRenderText = false;
    std::int32_t FMaxWidth = 0;
    std::int32_t FWidth = 0, FHeight = 0;
};

} // namespace kq
