// How the strip animates: the clock's tick that advances every drawn item, and the rules that choose a
// style transition's time and easing.

#include "framework/TickClock.h"
#include "tabs/PageTabs.h"
#include "tabs/PageTabsUtils.h"

namespace kq {

namespace {

// A tab fades only between hot and not active: becoming active, or leaving it, shows at once.
bool tab_transition_fades(TDrawState from, TDrawState to) noexcept {
    using enum TDrawState;
    return (from == dsHot && to != dsActive) || (to == dsHot && from != dsActive);
}

// Not due before next or at it; a next of 0 is due at once, whatever the clock reads.
bool step_due(std::uint32_t& next, std::uint32_t now, int period_ms) noexcept {
    if (next != 0 && tick_difference(now, next) <= 0) return false;
    next = now + static_cast<std::uint32_t>(period_ms > 0 ? period_ms : 0);
    if (next == 0) next = 1; // 0 means "due"; one millisecond later is as good
    return true;
}

} // namespace

void TCustomPageTabs::ApplyControlDrawState(TBasePageTabsControl& Control, TDrawState Value, bool Force) {
    const TDrawState previous = Control.DrawState();
    if (previous == Value && !Force) return;
    const bool designing = ComponentState().contains(TComponentStateFlag::csDesigning);
    const auto& animation = *FOptions->Animation();
    TPageTabsEaseType ease = animation.DefaultStyleEaseType();
    // An item's first state shows at once: fading in from no colours at all would leave a button
    // invisible for the first paints.
    if (designing || previous == TDrawState::dsUnknown ||
        (Control.ControlType() == TPageTabItemType::itTab && !tab_transition_fades(previous, Value)))
        ease = TPageTabsEaseType::ttNone;
    std::uint32_t time = animation.DefaultStyleAnimationTimeMS();
    if (previous != Value && !designing) DoOnAnimateStyle(&Control, Value, time, ease);
    Control.SetDrawState(Value, static_cast<int>(time), ease, Force);
}

void TCustomPageTabs::AdvanceAnimations() {
    if (!FControlConstructed || ComponentState().contains(TComponentStateFlag::csDestroying)) return;
    ExcludeState(TPageTabState::stsAnimatingMovement);
    ExcludeState(TPageTabState::stsAnimatingStyle);
    const std::uint32_t now = tick_count();
    const auto& display = *FOptions->Display();
    const bool glow_due =
        step_due(FNextModifiedGlowAnimateTickCount, now, display.TabModifiedGlow()->AnimationUpdateMS());
    const bool spinner_due = step_due(FNextSpinnerAnimateTickCount, now, display.TabSpinners()->AnimationUpdateMS());
    const int minimum_width = FOptions->Animation()->MinimumTabAnimationWidth();

    // From the highest index down, so a removal never moves a tab still to be visited. Handlers raised on
    // the way (scrolling, activation) may change the list: each step checks its tab is still there.
    for (int i = FTabs->Count() - 1; i >= 0; --i) {
        if (i >= FTabs->Count()) continue;
        TPageTab* tab = FTabs->Items(i);
        TPageTabControl* control = tab->TabControl();
        if (!control) continue;
        // Every state change and scroll raises events: the tab is looked up again after each.
        const auto present = [&] { return i < FTabs->Count() && FTabs->Items(i) == tab; };
        bool styled = glow_due && control->AnimateModified();
        if (spinner_due && control->AnimateSpinner()) styled = true;
        if (control->AnimateStyle()) styled = true;
        const bool moved = control->AnimateMovement();
        const bool new_active = tab == FTabs->ActiveTab() && HasState(TPageTabState::stsAnimatingNewTab);
        if (styled) IncludeState(TPageTabState::stsAnimatingStyle);
        if (moved) IncludeState(TPageTabState::stsAnimatingMovement);
        if (new_active && present()) {
            if (!moved) {
                ExcludeState(TPageTabState::stsAnimatingNewTab);
                FitScrollOffsetToWidth(true);
            }
            if (present()) ScrollIntoView(tab);
        }
        if (!present()) continue;
        if (tab->MarkedForDeletion()) {
            IncludeState(TPageTabState::stsControlPositionsInvalidated);
            IncludeState(TPageTabState::stsAnimatingMovement);
            if (present() && width_of(tab->TabControl()->ControlRect()) <= minimum_width) {
                FTabs->DeleteTab(i, true); // the second deletion of a marked tab removes it
                ExcludeState(TPageTabState::stsAnimatingCloseTab);
            }
        }
    }

    for (TBasePageTabsControl* button : std::initializer_list<TBasePageTabsControl*>{
             FAddButtonControl.get(), FScrollButtonLeftControl.get(), FScrollButtonRightControl.get()}) {
        if (button->AnimateMovement()) IncludeState(TPageTabState::stsAnimatingMovement);
        if (button->AnimateStyle()) IncludeState(TPageTabState::stsAnimatingStyle);
    }

    if (HasState(TPageTabState::stsAnimatingMovement) || HasState(TPageTabState::stsAnimatingStyle)) {
        if (HasState(TPageTabState::stsDeletingUnPinnedTabs) && !HasState(TPageTabState::stsDragging))
            UpdateHoverDrawStates(false);
        RequestRepaint();
    }
    if (FDragTabObject && FDragTabObject->DockControl() &&
        FDragTabObject->DockControl() != FDragTabObject->SourceControl())
        FDragTabObject->DockControl()->FireScrollTimer();
}

} // namespace kq
