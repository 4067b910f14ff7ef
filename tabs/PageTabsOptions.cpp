#include "tabs/PageTabsOptions.h"

#include "framework/Handles.h"
#include "framework/Properties.h"
#include "tabs/PageTabsClasses.h"

#include <typeinfo>

namespace kq {

namespace {

std::vector<String> close_button_visibility_names() { return {u"bvNever", u"bvAll", u"bvActive"}; }
std::vector<String> add_button_visibility_names() { return {u"avNone", u"avLeft", u"avRightFloating", u"avRightFixed"}; }
std::vector<String> modified_style_names() { return {u"msNone", u"msLeftToRight", u"msRightToLeft", u"msKnightRider"}; }
std::vector<String> text_trim_type_names() {
    return {u"tttNone",         u"tttCharacter",    u"tttWord", u"tttEllipsisCharacter",
            u"tttEllipsisWord", u"tttEllipsisPath", u"tttFade"};
}
std::vector<String> drag_type_names() { return {u"dtNone", u"dtWithinContainer", u"dtBetweenContainers"}; }
std::vector<String> drag_display_names() { return {u"ddCursor", u"ddTab", u"ddControl", u"ddTabAndControl"}; }
std::vector<String> scroll_buttons_names() { return {u"csbNone", u"csbLeft", u"csbRight", u"csbLeftAndRight"}; }

} // namespace

// --- Base

void TPageTabsPersistent::DoChanged() {
    if (FAssigning) return;
    for (TPersistent* node = FOwner; node;) {
        if (auto* strip = dynamic_cast<IPageTabs*>(node)) {
            strip->HandleTabChange(nullptr, TTabChangeType::tcPropertyUpdated);
            return;
        }
        if (auto* settings = dynamic_cast<TPageTabsPersistent*>(node))
            node = settings->Owner();
        else if (auto* component = dynamic_cast<TComponent*>(node))
            node = component->Owner();
        else
            return;
    }
}

void TPageTabsPersistent::Assign(const TPersistent* Source) {
    if (!Source || typeid(*Source) != typeid(*this)) {
        TPersistent::Assign(Source);
        return;
    }
    FAssigning = true;
    auto done = scope_exit([this] { FAssigning = false; });
    for (const property_info* info : PublishedProperties().all()) {
        if (info->kind == property_kind::persistent)
            std::get<TPersistent*>(info->get(*this))->Assign(std::get<TPersistent*>(info->get(*Source)));
        else
            info->set(*this, info->get(*Source));
    }
}

// --- Positions

const property_table& TPageTabsOffsets::PublishedProperties() const {
    static const property_table table = property_table::of<TPageTabsOffsets>(TPersistent::PublishedProperties())
        .integer(u"Vertical", &TPageTabsOffsets::Vertical, &TPageTabsOffsets::SetVertical)
        .integer(u"Horizontal", &TPageTabsOffsets::Horizontal, &TPageTabsOffsets::SetHorizontal);
    return table;
}

TPageTabsControlPosition::TPageTabsControlPosition(TPersistent* AOwner, int Vertical, int Horizontal, int Height,
                                                   int Width)
    : TPageTabsPersistent(AOwner), FOffsets(std::make_unique<TPageTabsOffsets>(this, Vertical, Horizontal)),
      FHeight(Height), FWidth(Width) {}

const property_table& TPageTabsControlPosition::PublishedProperties() const {
    static const property_table table =
        property_table::of<TPageTabsControlPosition>(TPersistent::PublishedProperties())
            .persistent(u"Offsets", &TPageTabsControlPosition::Offsets)
            .integer(u"Height", &TPageTabsControlPosition::Height, &TPageTabsControlPosition::SetHeight)
            .integer(u"Width", &TPageTabsControlPosition::Width, &TPageTabsControlPosition::SetWidth);
    return table;
}

const property_table& TPageTabsControlPropertiesEx::PublishedProperties() const {
    static const property_table table =
        property_table::of<TPageTabsControlPropertiesEx>(TPageTabsControlPosition::PublishedProperties())
            .boolean(u"Visible", &TPageTabsControlPropertiesEx::Visible, &TPageTabsControlPropertiesEx::SetVisible);
    return table;
}

TPageTabsCloseButtonProperties::TPageTabsCloseButtonProperties(TPersistent* AOwner)
    : TPageTabsControlPosition(AOwner, 6, 0, 13, 13) {}

const property_table& TPageTabsCloseButtonProperties::PublishedProperties() const {
    using C = TPageTabsCloseButtonProperties;
    static const property_table table = property_table::of<C>(TPageTabsControlPosition::PublishedProperties())
        .boolean(u"AutoHide", &C::AutoHide, &C::SetAutoHide)
        .enumeration(u"Visibility", &C::Visibility, &C::SetVisibility, close_button_visibility_names())
        .integer(u"AutoHideWidth", &C::AutoHideWidth, &C::SetAutoHideWidth)
        .integer(u"CrossRadialOffset", &C::CrossRadialOffset, &C::SetCrossRadialOffset);
    return table;
}

TPageTabsAddButtonProperties::TPageTabsAddButtonProperties(TPersistent* AOwner)
    : TPageTabsControlPosition(AOwner, 9, 0, 14, 25) {}

const property_table& TPageTabsAddButtonProperties::PublishedProperties() const {
    using C = TPageTabsAddButtonProperties;
    static const property_table table = property_table::of<C>(TPageTabsControlPosition::PublishedProperties())
        .boolean(u"ShowPlusSign", &C::ShowPlusSign, &C::SetShowPlusSign)
        .enumeration(u"Visibility", &C::Visibility, &C::SetVisibility, add_button_visibility_names())
        .integer(u"HorizontalOffsetFloating", &C::HorizontalOffsetFloating, &C::SetHorizontalOffsetFloating);
    return table;
}

// --- Display

const property_table& TPageTabModifiedDisplayOptions::PublishedProperties() const {
    using C = TPageTabModifiedDisplayOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .enumeration(u"Style", &C::Style, &C::SetStyle, modified_style_names())
        .integer(u"VerticalOffset", &C::VerticalOffset, &C::SetVerticalOffset)
        .integer(u"Height", &C::Height, &C::SetHeight)
        .integer(u"Width", &C::Width, &C::SetWidth)
        .integer(u"AnimationPeriodMS", &C::AnimationPeriodMS, &C::SetAnimationPeriodMS)
        .enumeration(u"EaseType", &C::EaseType, &C::SetEaseType, ease_type_names())
        .integer(u"AnimationUpdateMS", &C::AnimationUpdateMS, &C::SetAnimationUpdateMS);
    return table;
}

const property_table& TPageTabsOptions::PublishedProperties() const {
    using C = TPageTabsOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"SeeThroughTabs", &C::SeeThroughTabs, &C::SetSeeThroughTabs)
        .integer(u"TabOverlap", &C::TabOverlap, &C::SetTabOverlap)
        .integer(u"ContentOffsetLeft", &C::ContentOffsetLeft, &C::SetContentOffsetLeft)
        .integer(u"ContentOffsetRight", &C::ContentOffsetRight, &C::SetContentOffsetRight)
        .integer(u"OffsetLeft", &C::OffsetLeft, &C::SetOffsetLeft)
        .integer(u"OffsetTop", &C::OffsetTop, &C::SetOffsetTop)
        .integer(u"OffsetRight", &C::OffsetRight, &C::SetOffsetRight)
        .integer(u"OffsetBottom", &C::OffsetBottom, &C::SetOffsetBottom)
        .integer(u"MinWidth", &C::MinWidth, &C::SetMinWidth)
        .integer(u"MaxWidth", &C::MaxWidth, &C::SetMaxWidth)
        .boolean(u"TabWidthFromContent", &C::TabWidthFromContent, &C::SetTabWidthFromContent)
        .integer(u"PinnedWidth", &C::PinnedWidth, &C::SetPinnedWidth)
        .integer(u"ImageOffsetLeft", &C::ImageOffsetLeft, &C::SetImageOffsetLeft)
        .enumeration(u"TextTrimType", &C::TextTrimType, &C::SetTextTrimType, text_trim_type_names())
        .enumeration(u"Orientation", &C::Orientation, &C::SetOrientation, tab_orientation_names())
        .boolean(u"BaseLineTabRegionOnly", &C::BaseLineTabRegionOnly, &C::SetBaseLineTabRegionOnly)
        .boolean(u"WordWrap", &C::WordWrap, &C::SetWordWrap)
        .enumeration(u"TextAlignmentHorizontal", &C::TextAlignmentHorizontal, &C::SetTextAlignmentHorizontal,
                     alignment_names())
        .enumeration(u"TextAlignmentVertical", &C::TextAlignmentVertical, &C::SetTextAlignmentVertical,
                     vertical_alignment_names())
        .boolean(u"ShowImages", &C::ShowImages, &C::SetShowImages)
        .boolean(u"ShowPinnedTabText", &C::ShowPinnedTabText, &C::SetShowPinnedTabText);
    return table;
}

const property_table& TPageTabsContainerOptions::PublishedProperties() const {
    using C = TPageTabsContainerOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"TransparentBackground", &C::TransparentBackground, &C::SetTransparentBackground)
        .boolean(u"OverlayButtons", &C::OverlayButtons, &C::SetOverlayButtons)
        .integer(u"PaddingLeft", &C::PaddingLeft, &C::SetPaddingLeft)
        .integer(u"PaddingRight", &C::PaddingRight, &C::SetPaddingRight);
    return table;
}

TPageTabsSpinnerOptions::TPageTabsSpinnerOptions(TPersistent* AOwner, bool ReverseDirection, int RenderedAnimationStep)
    : TPageTabsPersistent(AOwner), FReverseDirection(ReverseDirection), FRenderedAnimationStep(RenderedAnimationStep),
      FPosition(std::make_unique<TPageTabsControlPosition>(this, 0, 0, 16, 16)) {}

const property_table& TPageTabsSpinnerOptions::PublishedProperties() const {
    using C = TPageTabsSpinnerOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"ReverseDirection", &C::ReverseDirection, &C::SetReverseDirection)
        .integer(u"RenderedAnimationStep", &C::RenderedAnimationStep, &C::SetRenderedAnimationStep)
        .persistent(u"Position", &C::Position)
        .integer(u"SweepAngle", &C::SweepAngle, &C::SetSweepAngle);
    return table;
}

TPageTabsSpinnersOptions::TPageTabsSpinnersOptions(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FUpload(std::make_unique<TPageTabsSpinnerOptions>(this, true, 2)),
      FDownload(std::make_unique<TPageTabsSpinnerOptions>(this, false, 5)) {}

const property_table& TPageTabsSpinnersOptions::PublishedProperties() const {
    using C = TPageTabsSpinnersOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Upload", &C::Upload)
        .persistent(u"Download", &C::Download)
        .integer(u"AnimationUpdateMS", &C::AnimationUpdateMS, &C::SetAnimationUpdateMS)
        .boolean(u"HideImagesWhenSpinnerVisible", &C::HideImagesWhenSpinnerVisible,
                 &C::SetHideImagesWhenSpinnerVisible);
    return table;
}

TPageTabsDisplayOptions::TPageTabsDisplayOptions(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FCloseButton(std::make_unique<TPageTabsCloseButtonProperties>(this)),
      FAddButton(std::make_unique<TPageTabsAddButtonProperties>(this)),
      FScrollButtonLeft(std::make_unique<TPageTabsControlPosition>(this, 10, 0, 15, 15)),
      FScrollButtonRight(std::make_unique<TPageTabsControlPosition>(this, 10, 0, 15, 15)),
      FTabModifiedGlow(std::make_unique<TPageTabModifiedDisplayOptions>(this)),
      FTabs(std::make_unique<TPageTabsOptions>(this)), FTabContainer(std::make_unique<TPageTabsContainerOptions>(this)),
      FTabMouseGlow(std::make_unique<TPageTabsControlPropertiesEx>(this, 0, 0, 70, 70)),
      FTabSpinners(std::make_unique<TPageTabsSpinnersOptions>(this)) {}

const property_table& TPageTabsDisplayOptions::PublishedProperties() const {
    using C = TPageTabsDisplayOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"CloseButton", &C::CloseButton)
        .persistent(u"AddButton", &C::AddButton)
        .persistent(u"ScrollButtonLeft", &C::ScrollButtonLeft)
        .persistent(u"ScrollButtonRight", &C::ScrollButtonRight)
        .persistent(u"TabModifiedGlow", &C::TabModifiedGlow)
        .persistent(u"Tabs", &C::Tabs)
        .persistent(u"TabContainer", &C::TabContainer)
        .persistent(u"TabMouseGlow", &C::TabMouseGlow)
        .persistent(u"TabSpinners", &C::TabSpinners);
    return table;
}

// --- Drag and drop

const property_table& TPageTabsDragOptions::PublishedProperties() const {
    using C = TPageTabsDragOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .enumeration(u"DragType", &C::DragType, &C::SetDragType, drag_type_names())
        .integer(u"DragOutsideImageAlpha", &C::DragOutsideImageAlpha, &C::SetDragOutsideImageAlpha)
        .integer(u"DragOutsideDistancePixels", &C::DragOutsideDistancePixels, &C::SetDragOutsideDistancePixels)
        .integer(u"DragStartPixels", &C::DragStartPixels, &C::SetDragStartPixels)
        .floating(u"DragControlImageResizeFactor", &C::DragControlImageResizeFactor,
                  &C::SetDragControlImageResizeFactor)
        .cursor(u"DragCursor", &C::DragCursor, &C::SetDragCursor)
        .enumeration(u"DragDisplay", &C::DragDisplay, &C::SetDragDisplay, drag_display_names())
        .integer(u"DragFormBorderWidth", &C::DragFormBorderWidth, &C::SetDragFormBorderWidth)
        .integer(u"DragFormBorderColor", &C::DragFormBorderColor, &C::SetDragFormBorderColor)
        .boolean(u"ContrainDraggedTabWithinContainer", &C::ContrainDraggedTabWithinContainer,
                 &C::SetContrainDraggedTabWithinContainer);
    return table;
}

// --- Animation

TPageTabsMovementAnimationTypes::TPageTabsMovementAnimationTypes(TPersistent* AOwner, bool UseDefaults,
                                                                 TPageTabsEaseType EaseType,
                                                                 std::uint32_t AnimationTimeMS)
    : TPageTabsPersistent(AOwner), FUseDefaultEaseType(UseDefaults), FUseDefaultAnimationTime(UseDefaults),
      FEaseType(EaseType), FAnimationTimeMS(AnimationTimeMS) {}

const property_table& TPageTabsMovementAnimationTypes::PublishedProperties() const {
    using C = TPageTabsMovementAnimationTypes;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"UseDefaultEaseType", &C::UseDefaultEaseType, &C::SetUseDefaultEaseType)
        .boolean(u"UseDefaultAnimationTime", &C::UseDefaultAnimationTime, &C::SetUseDefaultAnimationTime)
        .enumeration(u"EaseType", &C::EaseType, &C::SetEaseType, ease_type_names())
        .integer(u"AnimationTimeMS", &C::AnimationTimeMS, &C::SetAnimationTimeMS);
    return table;
}

TPageTabsMovementAnimations::TPageTabsMovementAnimations(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner),
      FTabAdd(std::make_unique<TPageTabsMovementAnimationTypes>(this, true, TPageTabsEaseType::ttLinearTween, 200)),
      FTabDelete(std::make_unique<TPageTabsMovementAnimationTypes>(this, true, TPageTabsEaseType::ttLinearTween, 200)),
      FTabMove(std::make_unique<TPageTabsMovementAnimationTypes>(this, false, TPageTabsEaseType::ttEaseOutExpo, 500)) {}

const property_table& TPageTabsMovementAnimations::PublishedProperties() const {
    using C = TPageTabsMovementAnimations;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"TabAdd", &C::TabAdd)
        .persistent(u"TabDelete", &C::TabDelete)
        .persistent(u"TabMove", &C::TabMove);
    return table;
}

TPageTabsAnimationOptions::TPageTabsAnimationOptions(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FMovementAnimations(std::make_unique<TPageTabsMovementAnimations>(this)) {}

TPageTabsEaseType TPageTabsAnimationOptions::GetMovementAnimationEaseType(
    const TPageTabsMovementAnimationTypes* AnimationTypes) const noexcept {
    return AnimationTypes->UseDefaultEaseType() ? FDefaultMovementEaseType : AnimationTypes->EaseType();
}

std::uint32_t TPageTabsAnimationOptions::GetMovementAnimationTime(
    const TPageTabsMovementAnimationTypes* AnimationTypes) const noexcept {
    return AnimationTypes->UseDefaultAnimationTime() ? FDefaultMovementAnimationTimeMS
                                                     : AnimationTypes->AnimationTimeMS();
}

const property_table& TPageTabsAnimationOptions::PublishedProperties() const {
    using C = TPageTabsAnimationOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .integer(u"DefaultMovementAnimationTimeMS", &C::DefaultMovementAnimationTimeMS,
                 &C::SetDefaultMovementAnimationTimeMS)
        .integer(u"DefaultStyleAnimationTimeMS", &C::DefaultStyleAnimationTimeMS, &C::SetDefaultStyleAnimationTimeMS)
        .integer(u"AnimationTimerInterval", &C::AnimationTimerInterval, &C::SetAnimationTimerInterval)
        .integer(u"MinimumTabAnimationWidth", &C::MinimumTabAnimationWidth, &C::SetMinimumTabAnimationWidth)
        .enumeration(u"DefaultMovementEaseType", &C::DefaultMovementEaseType, &C::SetDefaultMovementEaseType,
                     ease_type_names())
        .enumeration(u"DefaultStyleEaseType", &C::DefaultStyleEaseType, &C::SetDefaultStyleEaseType,
                     ease_type_names())
        .persistent(u"MovementAnimations", &C::MovementAnimations);
    return table;
}

// --- Behaviour

const property_table& TPageTabsBehaviourOptions::PublishedProperties() const {
    using C = TPageTabsBehaviourOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"BackgroundDblClickMaximiseRestoreForm", &C::BackgroundDblClickMaximiseRestoreForm,
                 &C::SetBackgroundDblClickMaximiseRestoreForm)
        .boolean(u"BackgroundDragMovesForm", &C::BackgroundDragMovesForm, &C::SetBackgroundDragMovesForm)
        .boolean(u"TabSmartDeleteResizing", &C::TabSmartDeleteResizing, &C::SetTabSmartDeleteResizing)
        .integer(u"TabSmartDeleteResizeCancelDelay", &C::TabSmartDeleteResizeCancelDelay,
                 &C::SetTabSmartDeleteResizeCancelDelay)
        .boolean(u"UseBuiltInPopupMenu", &C::UseBuiltInPopupMenu, &C::SetUseBuiltInPopupMenu)
        .boolean(u"TabRightClickSelect", &C::TabRightClickSelect, &C::SetTabRightClickSelect)
        .boolean(u"ActivateNewTab", &C::ActivateNewTab, &C::SetActivateNewTab)
        .boolean(u"DebugMode", &C::DebugMode, &C::SetDebugMode)
        .boolean(u"IgnoreDoubleClicksWhileAnimatingMovement", &C::IgnoreDoubleClicksWhileAnimatingMovement,
                 &C::SetIgnoreDoubleClicksWhileAnimatingMovement);
    return table;
}

// --- Scrolling

const property_table& TPageTabsScrollOptions::PublishedProperties() const {
    using C = TPageTabsScrollOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"Enabled", &C::Enabled, &C::SetEnabled)
        .enumeration(u"ScrollButtons", &C::ScrollButtons, &C::SetScrollButtons, scroll_buttons_names())
        .integer(u"ScrollStep", &C::ScrollStep, &C::SetScrollStep)
        .integer(u"ScrollRepeatDelay", &C::ScrollRepeatDelay, &C::SetScrollRepeatDelay)
        .boolean(u"AutoHideButtons", &C::AutoHideButtons, &C::SetAutoHideButtons)
        .boolean(u"DragScroll", &C::DragScroll, &C::SetDragScroll)
        .integer(u"DragScrollOffset", &C::DragScrollOffset, &C::SetDragScrollOffset)
        .boolean(u"MouseWheelScroll", &C::MouseWheelScroll, &C::SetMouseWheelScroll);
    return table;
}

// --- Root

TOptions::TOptions(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FDisplay(std::make_unique<TPageTabsDisplayOptions>(this)),
      FDragDrop(std::make_unique<TPageTabsDragOptions>(this)),
      FAnimation(std::make_unique<TPageTabsAnimationOptions>(this)),
      FBehaviour(std::make_unique<TPageTabsBehaviourOptions>(this)),
      FScrolling(std::make_unique<TPageTabsScrollOptions>(this)) {}

const property_table& TOptions::PublishedProperties() const {
    static const property_table table = property_table::of<TOptions>(TPersistent::PublishedProperties())
        .persistent(u"Display", &TOptions::Display)
        .persistent(u"DragDrop", &TOptions::DragDrop)
        .persistent(u"Animation", &TOptions::Animation)
        .persistent(u"Behaviour", &TOptions::Behaviour)
        .persistent(u"Scrolling", &TOptions::Scrolling);
    return table;
}

void apply_strip_defaults(TOptions& options) {
    TPageTabsDisplayOptions& display = *options.Display();
    display.CloseButton()->Offsets()->SetHorizontal(2);
    display.CloseButton()->SetHeight(14);
    display.CloseButton()->SetWidth(14);
    display.AddButton()->Offsets()->SetVertical(10);
    display.AddButton()->Offsets()->SetHorizontal(2);
    display.AddButton()->SetWidth(31);
    display.AddButton()->SetShowPlusSign(false);
    display.AddButton()->SetHorizontalOffsetFloating(-3);
    display.ScrollButtonLeft()->Offsets()->SetHorizontal(1);
    display.ScrollButtonRight()->Offsets()->SetHorizontal(1);
    display.Tabs()->SetOffsetTop(4);
    display.Tabs()->SetMinWidth(25);
    display.TabContainer()->SetTransparentBackground(true);
    display.TabContainer()->SetOverlayButtons(true);
    display.TabMouseGlow()->SetHeight(200);
    display.TabMouseGlow()->SetWidth(200);

    options.DragDrop()->SetDragOutsideImageAlpha(220);
    options.Animation()->SetAnimationTimerInterval(15);
    for (TPageTabsMovementAnimationTypes* kind :
         {options.Animation()->MovementAnimations()->TabAdd(), options.Animation()->MovementAnimations()->TabDelete()}) {
        kind->SetEaseType(TPageTabsEaseType::ttEaseOutExpo);
        kind->SetAnimationTimeMS(500);
    }
    options.Behaviour()->SetBackgroundDblClickMaximiseRestoreForm(true);
    options.Behaviour()->SetBackgroundDragMovesForm(true);
    options.Scrolling()->SetEnabled(true);
    options.Scrolling()->SetAutoHideButtons(false);
}

} // namespace kq
