#pragma once
// The strip's options and settings objects.
#include "framework/Components.h"
#include "framework/Controls.h"
#include "tabs/PageTabsTypes.h"

#include <cstdint>
#include <memory>

namespace kq {

// --- Base of every settings and look object of the strip

class TPageTabsPersistent : public TPersistent {
public:
    explicit TPageTabsPersistent(TPersistent* AOwner) : FOwner(AOwner) {}

    TPersistent* Owner() const noexcept { return FOwner; }
    TPersistent* GetOwner() const override { return FOwner; }

    // Tells the strip at the root of the tree (tcPropertyUpdated); a tree without a strip stays silent.
    virtual void DoChanged();
    virtual void Invalidate() { FInvalidated = true; }
    bool Invalidated() const noexcept { return FInvalidated; }

    // Copies the published properties of an object of the same class, sub-objects included, without
    // reporting each value; any other source raises the framework's assignment error.
    void Assign(const TPersistent* Source) override;

protected:
    // The common setter: store, then report.
    template <class T>
    void changed(T& field, T value) {
        field = value;
        DoChanged();
    }

    // Setters of sub-objects that report: copy into the held object, then report.
    void copy_and_report(TPersistent& held, const TPersistent* value) {
        held.Assign(value);
        DoChanged();
    }

    bool FInvalidated = false;

private:
    TPersistent* FOwner;
    bool FAssigning = false;
};

// --- Enumerations

enum class TCloseButtonVisiblity : std::uint8_t { bvNever, bvAll, bvActive };
enum class TAddButtonVisibility : std::uint8_t { avNone, avLeft, avRightFloating, avRightFixed };
enum class TPageTabModifiedStyle : std::uint8_t { msNone, msLeftToRight, msRightToLeft, msKnightRider };
enum class TTextTrimType : std::uint8_t {
    tttNone,
    tttCharacter,
    tttWord,
    tttEllipsisCharacter,
    tttEllipsisWord,
    tttEllipsisPath,
    tttFade,
};
enum class TPageTabDragType : std::uint8_t { dtNone, dtWithinContainer, dtBetweenContainers };
enum class TPageTabDragDisplay : std::uint8_t { ddCursor, ddTab, ddControl, ddTabAndControl };
enum class TPageTabScrollButtons : std::uint8_t { csbNone, csbLeft, csbRight, csbLeftAndRight };

// --- Positions

class TPageTabsOffsets : public TPageTabsPersistent {
public:
    explicit TPageTabsOffsets(TPersistent* AOwner, int Vertical = 0, int Horizontal = 0)
        : TPageTabsPersistent(AOwner), FVertical(Vertical), FHorizontal(Horizontal) {}

    int Vertical() const noexcept { return FVertical; }
    void SetVertical(int Value) { changed(FVertical, Value); }
    int Horizontal() const noexcept { return FHorizontal; }
    void SetHorizontal(int Value) { changed(FHorizontal, Value); }

    const property_table& PublishedProperties() const override;

private:
    int FVertical;
    int FHorizontal;
};

class TPageTabsControlPosition : public TPageTabsPersistent {
public:
    TPageTabsControlPosition(TPersistent* AOwner, int Vertical, int Horizontal, int Height, int Width);

    TPageTabsOffsets* Offsets() const noexcept { return FOffsets.get(); }
    void SetOffsets(const TPageTabsOffsets* Value) { FOffsets->Assign(Value); }
    int Height() const noexcept { return FHeight; }
    void SetHeight(int Value) { changed(FHeight, Value); }
    int Width() const noexcept { return FWidth; }
    void SetWidth(int Value) { changed(FWidth, Value); }

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsOffsets> FOffsets;
    int FHeight;
    int FWidth;
};

class TPageTabsControlPropertiesEx : public TPageTabsControlPosition {
public:
    using TPageTabsControlPosition::TPageTabsControlPosition;

    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value) { changed(FVisible, Value); }

    const property_table& PublishedProperties() const override;

private:
    bool FVisible = true;
};

class TPageTabsCloseButtonProperties : public TPageTabsControlPosition {
public:
    explicit TPageTabsCloseButtonProperties(TPersistent* AOwner);

    // Stored and streamed; nothing reads it.
    bool AutoHide() const noexcept { return FAutoHide; }
    void SetAutoHide(bool Value) { changed(FAutoHide, Value); }
    TCloseButtonVisiblity Visibility() const noexcept { return FVisibility; }
    void SetVisibility(TCloseButtonVisiblity Value) { changed(FVisibility, Value); }
    int AutoHideWidth() const noexcept { return FAutoHideWidth; }
    void SetAutoHideWidth(int Value) { changed(FAutoHideWidth, Value); }
    int CrossRadialOffset() const noexcept { return FCrossRadialOffset; }
    void SetCrossRadialOffset(int Value) { changed(FCrossRadialOffset, Value); }

    const property_table& PublishedProperties() const override;

private:
    bool FAutoHide = true;
    TCloseButtonVisiblity FVisibility = TCloseButtonVisiblity::bvAll;
    int FAutoHideWidth = 20;
    int FCrossRadialOffset = 4;
};

class TPageTabsAddButtonProperties : public TPageTabsControlPosition {
public:
    explicit TPageTabsAddButtonProperties(TPersistent* AOwner);

    bool ShowPlusSign() const noexcept { return FShowPlusSign; }
    void SetShowPlusSign(bool Value) { changed(FShowPlusSign, Value); }
    TAddButtonVisibility Visibility() const noexcept { return FVisibility; }
    void SetVisibility(TAddButtonVisibility Value) { changed(FVisibility, Value); }
    int HorizontalOffsetFloating() const noexcept { return FHorizontalOffsetFloating; }
    void SetHorizontalOffsetFloating(int Value) { changed(FHorizontalOffsetFloating, Value); }

    const property_table& PublishedProperties() const override;

private:
    bool FShowPlusSign = true;
    TAddButtonVisibility FVisibility = TAddButtonVisibility::avRightFloating;
    int FHorizontalOffsetFloating = 0;
};

// --- Display

class TPageTabModifiedDisplayOptions : public TPageTabsPersistent {
public:
    using TPageTabsPersistent::TPageTabsPersistent;

    TPageTabModifiedStyle Style() const noexcept { return FStyle; }
    void SetStyle(TPageTabModifiedStyle Value) { changed(FStyle, Value); }
    int VerticalOffset() const noexcept { return FVerticalOffset; }
    void SetVerticalOffset(int Value) { changed(FVerticalOffset, Value); }
    int Height() const noexcept { return FHeight; }
    void SetHeight(int Value) { changed(FHeight, Value); }
    int Width() const noexcept { return FWidth; }
    void SetWidth(int Value) { changed(FWidth, Value); }
    int AnimationPeriodMS() const noexcept { return FAnimationPeriodMS; }
    void SetAnimationPeriodMS(int Value) { changed(FAnimationPeriodMS, Value); }
    TPageTabsEaseType EaseType() const noexcept { return FEaseType; }
    void SetEaseType(TPageTabsEaseType Value) { changed(FEaseType, Value); }
    int AnimationUpdateMS() const noexcept { return FAnimationUpdateMS; }
    void SetAnimationUpdateMS(int Value) { changed(FAnimationUpdateMS, Value); }

    const property_table& PublishedProperties() const override;

private:
    TPageTabModifiedStyle FStyle = TPageTabModifiedStyle::msRightToLeft;
    int FVerticalOffset = -6;
    int FHeight = 30;
    int FWidth = 100;
    int FAnimationPeriodMS = 4000;
    TPageTabsEaseType FEaseType = TPageTabsEaseType::ttEaseInOutQuad;
    int FAnimationUpdateMS = 50;
};

class TPageTabsOptions : public TPageTabsPersistent {
public:
    using TPageTabsPersistent::TPageTabsPersistent;

    bool SeeThroughTabs() const noexcept { return FSeeThroughTabs; }
    void SetSeeThroughTabs(bool Value) { changed(FSeeThroughTabs, Value); }
    int TabOverlap() const noexcept { return FTabOverlap; }
    void SetTabOverlap(int Value) { changed(FTabOverlap, Value); }
    int ContentOffsetLeft() const noexcept { return FContentOffsetLeft; }
    void SetContentOffsetLeft(int Value) { changed(FContentOffsetLeft, Value); }
    int ContentOffsetRight() const noexcept { return FContentOffsetRight; }
    void SetContentOffsetRight(int Value) { changed(FContentOffsetRight, Value); }
    int OffsetLeft() const noexcept { return FOffsetLeft; }
    void SetOffsetLeft(int Value) { changed(FOffsetLeft, Value); }
    int OffsetTop() const noexcept { return FOffsetTop; }
    void SetOffsetTop(int Value) { changed(FOffsetTop, Value); }
    int OffsetRight() const noexcept { return FOffsetRight; }
    void SetOffsetRight(int Value) { changed(FOffsetRight, Value); }
    int OffsetBottom() const noexcept { return FOffsetBottom; }
    void SetOffsetBottom(int Value) { changed(FOffsetBottom, Value); }
    int MinWidth() const noexcept { return FMinWidth; }
    void SetMinWidth(int Value) { changed(FMinWidth, Value); }
    int MaxWidth() const noexcept { return FMaxWidth; }
    // Never below MinWidth.
    void SetMaxWidth(int Value) { changed(FMaxWidth, Value < FMinWidth ? FMinWidth : Value); }
    bool TabWidthFromContent() const noexcept { return FTabWidthFromContent; }
    void SetTabWidthFromContent(bool Value) { changed(FTabWidthFromContent, Value); }
    int PinnedWidth() const noexcept { return FPinnedWidth; }
    void SetPinnedWidth(int Value) { changed(FPinnedWidth, Value); }
    // Stored and streamed; nothing reads it.
    int ImageOffsetLeft() const noexcept { return FImageOffsetLeft; }
    void SetImageOffsetLeft(int Value) { changed(FImageOffsetLeft, Value); }
    TTextTrimType TextTrimType() const noexcept { return FTextTrimType; }
    void SetTextTrimType(TTextTrimType Value) { changed(FTextTrimType, Value); }
    TTabOrientation Orientation() const noexcept { return FOrientation; }
    void SetOrientation(TTabOrientation Value) { changed(FOrientation, Value); }
    bool BaseLineTabRegionOnly() const noexcept { return FBaseLineTabRegionOnly; }
    void SetBaseLineTabRegionOnly(bool Value) { changed(FBaseLineTabRegionOnly, Value); }
    bool WordWrap() const noexcept { return FWordWrap; }
    void SetWordWrap(bool Value) { changed(FWordWrap, Value); }
    TAlignment TextAlignmentHorizontal() const noexcept { return FTextAlignmentHorizontal; }
    void SetTextAlignmentHorizontal(TAlignment Value) { changed(FTextAlignmentHorizontal, Value); }
    TVerticalAlignment TextAlignmentVertical() const noexcept { return FTextAlignmentVertical; }
    void SetTextAlignmentVertical(TVerticalAlignment Value) { changed(FTextAlignmentVertical, Value); }
    bool ShowImages() const noexcept { return FShowImages; }
    void SetShowImages(bool Value) { changed(FShowImages, Value); }
    bool ShowPinnedTabText() const noexcept { return FShowPinnedTabText; }
    void SetShowPinnedTabText(bool Value) { changed(FShowPinnedTabText, Value); }

    // Not a property: the smoothing mode the strip paints with (2, high quality).
    int FCanvasSmoothingMode = 2;

    const property_table& PublishedProperties() const override;

private:
    bool FSeeThroughTabs = false;
    int FTabOverlap = 15;
    int FContentOffsetLeft = 18;
    int FContentOffsetRight = 16;
    int FOffsetLeft = 0;
    int FOffsetTop = 0;
    int FOffsetRight = 0;
    int FOffsetBottom = 0;
    int FMinWidth = 20;
    int FMaxWidth = 200;
    bool FTabWidthFromContent = false;
    int FPinnedWidth = 39;
    int FImageOffsetLeft = 13;
    TTextTrimType FTextTrimType = TTextTrimType::tttFade;
    TTabOrientation FOrientation = TTabOrientation::toTop;
    bool FBaseLineTabRegionOnly = false;
    bool FWordWrap = false;
    TAlignment FTextAlignmentHorizontal = TAlignment::taLeftJustify;
    TVerticalAlignment FTextAlignmentVertical = TVerticalAlignment::taVerticalCenter;
    bool FShowImages = true;
    bool FShowPinnedTabText = false;
};

class TPageTabsContainerOptions : public TPageTabsPersistent {
public:
    using TPageTabsPersistent::TPageTabsPersistent;

    bool TransparentBackground() const noexcept { return FTransparentBackground; }
    void SetTransparentBackground(bool Value) { changed(FTransparentBackground, Value); }
    bool OverlayButtons() const noexcept { return FOverlayButtons; }
    void SetOverlayButtons(bool Value) { changed(FOverlayButtons, Value); }
    int PaddingLeft() const noexcept { return FPaddingLeft; }
    void SetPaddingLeft(int Value) { changed(FPaddingLeft, Value); }
    int PaddingRight() const noexcept { return FPaddingRight; }
    void SetPaddingRight(int Value) { changed(FPaddingRight, Value); }

    const property_table& PublishedProperties() const override;

private:
    bool FTransparentBackground = false;
    bool FOverlayButtons = false;
    int FPaddingLeft = 0;
    int FPaddingRight = 0;
};

class TPageTabsSpinnerOptions : public TPageTabsPersistent {
public:
    TPageTabsSpinnerOptions(TPersistent* AOwner, bool ReverseDirection, int RenderedAnimationStep);

    bool ReverseDirection() const noexcept { return FReverseDirection; }
    void SetReverseDirection(bool Value) { changed(FReverseDirection, Value); }
    int RenderedAnimationStep() const noexcept { return FRenderedAnimationStep; }
    void SetRenderedAnimationStep(int Value) { changed(FRenderedAnimationStep, Value); }
    TPageTabsControlPosition* Position() const noexcept { return FPosition.get(); }
    void SetPosition(const TPageTabsControlPosition* Value) { FPosition->Assign(Value); }
    std::uint16_t SweepAngle() const noexcept { return FSweepAngle; }
    void SetSweepAngle(std::uint16_t Value) { changed(FSweepAngle, Value); }

    const property_table& PublishedProperties() const override;

private:
    bool FReverseDirection;
    int FRenderedAnimationStep;
    std::unique_ptr<TPageTabsControlPosition> FPosition;
    std::uint16_t FSweepAngle = 135;
};

class TPageTabsSpinnersOptions : public TPageTabsPersistent {
public:
    explicit TPageTabsSpinnersOptions(TPersistent* AOwner);

    TPageTabsSpinnerOptions* Upload() const noexcept { return FUpload.get(); }
    void SetUpload(const TPageTabsSpinnerOptions* Value) { FUpload->Assign(Value); }
    TPageTabsSpinnerOptions* Download() const noexcept { return FDownload.get(); }
    void SetDownload(const TPageTabsSpinnerOptions* Value) { FDownload->Assign(Value); }
    int AnimationUpdateMS() const noexcept { return FAnimationUpdateMS; }
    void SetAnimationUpdateMS(int Value) { FAnimationUpdateMS = Value; }
    bool HideImagesWhenSpinnerVisible() const noexcept { return FHideImagesWhenSpinnerVisible; }
    void SetHideImagesWhenSpinnerVisible(bool Value) { changed(FHideImagesWhenSpinnerVisible, Value); }

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsSpinnerOptions> FUpload;
    std::unique_ptr<TPageTabsSpinnerOptions> FDownload;
    int FAnimationUpdateMS = 50;
    bool FHideImagesWhenSpinnerVisible = true;
};

class TPageTabsDisplayOptions : public TPageTabsPersistent {
public:
    explicit TPageTabsDisplayOptions(TPersistent* AOwner);

    TPageTabsCloseButtonProperties* CloseButton() const noexcept { return FCloseButton.get(); }
    void SetCloseButton(const TPageTabsCloseButtonProperties* Value) { FCloseButton->Assign(Value); }
    TPageTabsAddButtonProperties* AddButton() const noexcept { return FAddButton.get(); }
    void SetAddButton(const TPageTabsAddButtonProperties* Value) { copy_and_report(*FAddButton, Value); }
    TPageTabsControlPosition* ScrollButtonLeft() const noexcept { return FScrollButtonLeft.get(); }
    void SetScrollButtonLeft(const TPageTabsControlPosition* Value) { FScrollButtonLeft->Assign(Value); }
    TPageTabsControlPosition* ScrollButtonRight() const noexcept { return FScrollButtonRight.get(); }
    void SetScrollButtonRight(const TPageTabsControlPosition* Value) { FScrollButtonRight->Assign(Value); }
    TPageTabModifiedDisplayOptions* TabModifiedGlow() const noexcept { return FTabModifiedGlow.get(); }
    void SetTabModifiedGlow(const TPageTabModifiedDisplayOptions* Value) { copy_and_report(*FTabModifiedGlow, Value); }
    TPageTabsOptions* Tabs() const noexcept { return FTabs.get(); }
    void SetTabs(const TPageTabsOptions* Value) { copy_and_report(*FTabs, Value); }
    TPageTabsContainerOptions* TabContainer() const noexcept { return FTabContainer.get(); }
    void SetTabContainer(const TPageTabsContainerOptions* Value) { copy_and_report(*FTabContainer, Value); }
    TPageTabsControlPropertiesEx* TabMouseGlow() const noexcept { return FTabMouseGlow.get(); }
    void SetTabMouseGlow(const TPageTabsControlPropertiesEx* Value) { copy_and_report(*FTabMouseGlow, Value); }
    TPageTabsSpinnersOptions* TabSpinners() const noexcept { return FTabSpinners.get(); }
    void SetTabSpinners(const TPageTabsSpinnersOptions* Value) { FTabSpinners->Assign(Value); }

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsCloseButtonProperties> FCloseButton;
    std::unique_ptr<TPageTabsAddButtonProperties> FAddButton;
    std::unique_ptr<TPageTabsControlPosition> FScrollButtonLeft;
    std::unique_ptr<TPageTabsControlPosition> FScrollButtonRight;
    std::unique_ptr<TPageTabModifiedDisplayOptions> FTabModifiedGlow;
    std::unique_ptr<TPageTabsOptions> FTabs;
    std::unique_ptr<TPageTabsContainerOptions> FTabContainer;
    std::unique_ptr<TPageTabsControlPropertiesEx> FTabMouseGlow;
    std::unique_ptr<TPageTabsSpinnersOptions> FTabSpinners;
};

// --- Drag and drop (the strip reads these when a drag happens; changing them reports nothing)

class TPageTabsDragOptions : public TPageTabsPersistent {
public:
    using TPageTabsPersistent::TPageTabsPersistent;

    TPageTabDragType DragType() const noexcept { return FDragType; }
    void SetDragType(TPageTabDragType Value) { FDragType = Value; }
    std::uint8_t DragOutsideImageAlpha() const noexcept { return FDragOutsideImageAlpha; }
    void SetDragOutsideImageAlpha(std::uint8_t Value) { FDragOutsideImageAlpha = Value; }
    int DragOutsideDistancePixels() const noexcept { return FDragOutsideDistancePixels; }
    void SetDragOutsideDistancePixels(int Value) { FDragOutsideDistancePixels = Value; }
    int DragStartPixels() const noexcept { return FDragStartPixels; }
    void SetDragStartPixels(int Value) { FDragStartPixels = Value; }
    // Stored and streamed; nothing reads it.
    double DragControlImageResizeFactor() const noexcept { return FDragControlImageResizeFactor; }
    void SetDragControlImageResizeFactor(double Value) { FDragControlImageResizeFactor = Value; }
    TCursor DragCursor() const noexcept { return FDragCursor; }
    void SetDragCursor(TCursor Value) { FDragCursor = Value; }
    TPageTabDragDisplay DragDisplay() const noexcept { return FDragDisplay; }
    void SetDragDisplay(TPageTabDragDisplay Value) { FDragDisplay = Value; }
    int DragFormBorderWidth() const noexcept { return FDragFormBorderWidth; }
    void SetDragFormBorderWidth(int Value) { FDragFormBorderWidth = Value; }
    int DragFormBorderColor() const noexcept { return FDragFormBorderColor; }
    void SetDragFormBorderColor(int Value) { FDragFormBorderColor = Value; }
    bool ContrainDraggedTabWithinContainer() const noexcept { return FContrainDraggedTabWithinContainer; }
    void SetContrainDraggedTabWithinContainer(bool Value) { FContrainDraggedTabWithinContainer = Value; }

    const property_table& PublishedProperties() const override;

private:
    TPageTabDragType FDragType = TPageTabDragType::dtBetweenContainers;
    std::uint8_t FDragOutsideImageAlpha = 120;
    int FDragOutsideDistancePixels = 30;
    int FDragStartPixels = 2;
    double FDragControlImageResizeFactor = 0.5;
    TCursor FDragCursor = crDefault;
    TPageTabDragDisplay FDragDisplay = TPageTabDragDisplay::ddTabAndControl;
    int FDragFormBorderWidth = 2;
    int FDragFormBorderColor = 8421504;
    bool FContrainDraggedTabWithinContainer = true;
};

// --- Animation (read on every tick; changing them reports nothing)

class TPageTabsMovementAnimationTypes : public TPageTabsPersistent {
public:
    TPageTabsMovementAnimationTypes(TPersistent* AOwner, bool UseDefaults, TPageTabsEaseType EaseType,
                                    std::uint32_t AnimationTimeMS);

    bool UseDefaultEaseType() const noexcept { return FUseDefaultEaseType; }
    void SetUseDefaultEaseType(bool Value) { FUseDefaultEaseType = Value; }
    bool UseDefaultAnimationTime() const noexcept { return FUseDefaultAnimationTime; }
    void SetUseDefaultAnimationTime(bool Value) { FUseDefaultAnimationTime = Value; }
    TPageTabsEaseType EaseType() const noexcept { return FEaseType; }
    void SetEaseType(TPageTabsEaseType Value) { FEaseType = Value; }
    std::uint32_t AnimationTimeMS() const noexcept { return FAnimationTimeMS; }
    void SetAnimationTimeMS(std::uint32_t Value) { FAnimationTimeMS = Value; }

    const property_table& PublishedProperties() const override;

private:
    bool FUseDefaultEaseType;
    bool FUseDefaultAnimationTime;
    TPageTabsEaseType FEaseType;
    std::uint32_t FAnimationTimeMS;
};

class TPageTabsMovementAnimations : public TPageTabsPersistent {
public:
    explicit TPageTabsMovementAnimations(TPersistent* AOwner);

    TPageTabsMovementAnimationTypes* TabAdd() const noexcept { return FTabAdd.get(); }
    void SetTabAdd(const TPageTabsMovementAnimationTypes* Value) { copy_and_report(*FTabAdd, Value); }
    TPageTabsMovementAnimationTypes* TabDelete() const noexcept { return FTabDelete.get(); }
    void SetTabDelete(const TPageTabsMovementAnimationTypes* Value) { copy_and_report(*FTabDelete, Value); }
    TPageTabsMovementAnimationTypes* TabMove() const noexcept { return FTabMove.get(); }
    void SetTabMove(const TPageTabsMovementAnimationTypes* Value) { copy_and_report(*FTabMove, Value); }

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsMovementAnimationTypes> FTabAdd;
    std::unique_ptr<TPageTabsMovementAnimationTypes> FTabDelete;
    std::unique_ptr<TPageTabsMovementAnimationTypes> FTabMove;
};

class TPageTabsAnimationOptions : public TPageTabsPersistent {
public:
    explicit TPageTabsAnimationOptions(TPersistent* AOwner);

    std::uint32_t DefaultMovementAnimationTimeMS() const noexcept { return FDefaultMovementAnimationTimeMS; }
    void SetDefaultMovementAnimationTimeMS(std::uint32_t Value) { FDefaultMovementAnimationTimeMS = Value; }
    std::uint32_t DefaultStyleAnimationTimeMS() const noexcept { return FDefaultStyleAnimationTimeMS; }
    void SetDefaultStyleAnimationTimeMS(std::uint32_t Value) { FDefaultStyleAnimationTimeMS = Value; }
    int AnimationTimerInterval() const noexcept { return FAnimationTimerInterval; }
    void SetAnimationTimerInterval(int Value) { FAnimationTimerInterval = Value; }
    int MinimumTabAnimationWidth() const noexcept { return FMinimumTabAnimationWidth; }
    void SetMinimumTabAnimationWidth(int Value) { FMinimumTabAnimationWidth = Value; }
    TPageTabsEaseType DefaultMovementEaseType() const noexcept { return FDefaultMovementEaseType; }
    void SetDefaultMovementEaseType(TPageTabsEaseType Value) { FDefaultMovementEaseType = Value; }
    TPageTabsEaseType DefaultStyleEaseType() const noexcept { return FDefaultStyleEaseType; }
    void SetDefaultStyleEaseType(TPageTabsEaseType Value) { FDefaultStyleEaseType = Value; }
    TPageTabsMovementAnimations* MovementAnimations() const noexcept { return FMovementAnimations.get(); }
    void SetMovementAnimations(const TPageTabsMovementAnimations* Value) { FMovementAnimations->Assign(Value); }

    // The kind's own values unless it uses the defaults; ttNone turns that kind of movement off.
    TPageTabsEaseType GetMovementAnimationEaseType(const TPageTabsMovementAnimationTypes* AnimationTypes) const noexcept;
    std::uint32_t GetMovementAnimationTime(const TPageTabsMovementAnimationTypes* AnimationTypes) const noexcept;

    const property_table& PublishedProperties() const override;

private:
    std::uint32_t FDefaultMovementAnimationTimeMS = 100;
    std::uint32_t FDefaultStyleAnimationTimeMS = 300;
    int FAnimationTimerInterval = 25;
    int FMinimumTabAnimationWidth = 40;
    TPageTabsEaseType FDefaultMovementEaseType = TPageTabsEaseType::ttLinearTween;
    TPageTabsEaseType FDefaultStyleEaseType = TPageTabsEaseType::ttLinearTween;
    std::unique_ptr<TPageTabsMovementAnimations> FMovementAnimations;
};

// --- Behaviour (read when input arrives; changing them reports nothing)

class TPageTabsBehaviourOptions : public TPageTabsPersistent {
public:
    using TPageTabsPersistent::TPageTabsPersistent;

    bool BackgroundDblClickMaximiseRestoreForm() const noexcept { return FBackgroundDblClickMaximiseRestoreForm; }
    void SetBackgroundDblClickMaximiseRestoreForm(bool Value) { FBackgroundDblClickMaximiseRestoreForm = Value; }
    bool BackgroundDragMovesForm() const noexcept { return FBackgroundDragMovesForm; }
    void SetBackgroundDragMovesForm(bool Value) { FBackgroundDragMovesForm = Value; }
    bool TabSmartDeleteResizing() const noexcept { return FTabSmartDeleteResizing; }
    void SetTabSmartDeleteResizing(bool Value) { FTabSmartDeleteResizing = Value; }
    int TabSmartDeleteResizeCancelDelay() const noexcept { return FTabSmartDeleteResizeCancelDelay; }
    void SetTabSmartDeleteResizeCancelDelay(int Value) { FTabSmartDeleteResizeCancelDelay = Value; }
    bool UseBuiltInPopupMenu() const noexcept { return FUseBuiltInPopupMenu; }
    void SetUseBuiltInPopupMenu(bool Value) { FUseBuiltInPopupMenu = Value; }
    bool TabRightClickSelect() const noexcept { return FTabRightClickSelect; }
    void SetTabRightClickSelect(bool Value) { FTabRightClickSelect = Value; }
    bool ActivateNewTab() const noexcept { return FActivateNewTab; }
    void SetActivateNewTab(bool Value) { FActivateNewTab = Value; }
    bool DebugMode() const noexcept { return FDebugMode; }
    void SetDebugMode(bool Value) { FDebugMode = Value; }
    bool IgnoreDoubleClicksWhileAnimatingMovement() const noexcept { return FIgnoreDoubleClicksWhileAnimatingMovement; }
    void SetIgnoreDoubleClicksWhileAnimatingMovement(bool Value) { FIgnoreDoubleClicksWhileAnimatingMovement = Value; }

    const property_table& PublishedProperties() const override;

private:
    bool FBackgroundDblClickMaximiseRestoreForm = false;
    bool FBackgroundDragMovesForm = false;
    bool FTabSmartDeleteResizing = true;
    int FTabSmartDeleteResizeCancelDelay = 700;
    bool FUseBuiltInPopupMenu = true;
    bool FTabRightClickSelect = true;
    bool FActivateNewTab = true;
    bool FDebugMode = false;
    bool FIgnoreDoubleClicksWhileAnimatingMovement = true;
};

// --- Scrolling

class TPageTabsScrollOptions : public TPageTabsPersistent {
public:
    using TPageTabsPersistent::TPageTabsPersistent;

    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value) { changed(FEnabled, Value); }
    TPageTabScrollButtons ScrollButtons() const noexcept { return FScrollButtons; }
    void SetScrollButtons(TPageTabScrollButtons Value) { changed(FScrollButtons, Value); }
    int ScrollStep() const noexcept { return FScrollStep; }
    void SetScrollStep(int Value) { changed(FScrollStep, Value); }
    int ScrollRepeatDelay() const noexcept { return FScrollRepeatDelay; }
    void SetScrollRepeatDelay(int Value) { changed(FScrollRepeatDelay, Value); }
    bool AutoHideButtons() const noexcept { return FAutoHideButtons; }
    void SetAutoHideButtons(bool Value) { changed(FAutoHideButtons, Value); }
    bool DragScroll() const noexcept { return FDragScroll; }
    void SetDragScroll(bool Value) { changed(FDragScroll, Value); }
    int DragScrollOffset() const noexcept { return FDragScrollOffset; }
    void SetDragScrollOffset(int Value) { changed(FDragScrollOffset, Value); }
    bool MouseWheelScroll() const noexcept { return FMouseWheelScroll; }
    void SetMouseWheelScroll(bool Value) { changed(FMouseWheelScroll, Value); }

    const property_table& PublishedProperties() const override;

private:
    bool FEnabled = false;
    TPageTabScrollButtons FScrollButtons = TPageTabScrollButtons::csbRight;
    int FScrollStep = 20;
    int FScrollRepeatDelay = 20;
    bool FAutoHideButtons = true;
    bool FDragScroll = true;
    int FDragScrollOffset = 50;
    bool FMouseWheelScroll = true;
};

// --- Root

class TOptions : public TPageTabsPersistent {
public:
    explicit TOptions(TPersistent* AOwner);

    TPageTabsDisplayOptions* Display() const noexcept { return FDisplay.get(); }
    void SetDisplay(const TPageTabsDisplayOptions* Value) { FDisplay->Assign(Value); }
    TPageTabsDragOptions* DragDrop() const noexcept { return FDragDrop.get(); }
    void SetDragDrop(const TPageTabsDragOptions* Value) { FDragDrop->Assign(Value); }
    TPageTabsAnimationOptions* Animation() const noexcept { return FAnimation.get(); }
    void SetAnimation(const TPageTabsAnimationOptions* Value) { FAnimation->Assign(Value); }
    TPageTabsBehaviourOptions* Behaviour() const noexcept { return FBehaviour.get(); }
    void SetBehaviour(const TPageTabsBehaviourOptions* Value) { FBehaviour->Assign(Value); }
    TPageTabsScrollOptions* Scrolling() const noexcept { return FScrolling.get(); }
    void SetScrolling(const TPageTabsScrollOptions* Value) { FScrolling->Assign(Value); }

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsDisplayOptions> FDisplay;
    std::unique_ptr<TPageTabsDragOptions> FDragDrop;
    std::unique_ptr<TPageTabsAnimationOptions> FAnimation;
    std::unique_ptr<TPageTabsBehaviourOptions> FBehaviour;
    std::unique_ptr<TPageTabsScrollOptions> FScrolling;
};

// The values the strip gives its options right after creating them, where they differ from the
// classes' own.
void apply_strip_defaults(TOptions& options);

} // namespace kq
