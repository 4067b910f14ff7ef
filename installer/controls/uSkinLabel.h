#pragma once
// TSkinLabel: a transparent text control of the installer, sized to its caption unless told otherwise.

#include "framework/Controls.h"
#include "skin/uSkinPanel.h"

namespace kq {

class TSkinLabel : public TSkinCustomPanel {
public:
    explicit TSkinLabel(TComponent* AOwner);

    TSkLightClass& Light() noexcept { return FLight; }
    // Copies; an absent object is ignored.
    void SetLight(const TSkLightClass* Value);
    bool AutoSize() const noexcept { return FAutoSize; }
    void SetAutoSize(bool Value);
    TVerticalAlignment AlignmentVertical() const noexcept { return FAlignmentVertical; }
    void SetAlignmentVertical(TVerticalAlignment Value);
    TAlignment AlignmentHorizontal() const noexcept { return FAlignmentHorizontal; }
    void SetAlignmentHorizontal(TAlignment Value);
    bool WordWap() const noexcept { return FWordWap; }
    void SetWordWap(bool Value) { FWordWap = Value; }
    TEllipsisPosition EllipsisPosition() const noexcept { return FEllipsisPosition; }
    // Switches AutoSize off, without resizing.
    void SetEllipsisPosition(TEllipsisPosition Value);

    void Loaded() override;
    const property_table& PublishedProperties() const override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
    void DrawBody(TBitmap32* Canvas) override;

private:
    // Fits the bounds to the caption's single-line extent, when AutoSize and not while reading.
    void adjust_bounds();
    SIZE caption_extent();

    TSkLightClass FLight;
    bool FAutoSize = true;
    TVerticalAlignment FAlignmentVertical = TVerticalAlignment::taAlignTop;
    TAlignment FAlignmentHorizontal = TAlignment::taLeftJustify;
    bool FWordWap = false;
    TEllipsisPosition FEllipsisPosition = epNone;
};

} // namespace kq
