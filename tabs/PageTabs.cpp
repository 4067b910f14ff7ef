#include "tabs/PageTabs.h"

#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "framework/ImageLists.h"
#include "framework/Messages.h"
#include "framework/Properties.h"
#include "tabs/PageTabsUtils.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace kq {

namespace {

int rect_width(const TRect& r) noexcept { return r.Right - r.Left; }

// Posted to the strip when its capture has ended: by then the mouse may have left without a move the
// strip saw, and the system tracks the leaving only from moves seen without capture.
constexpr UINT check_mouse_left_message = WM_USER + 1;

// An item placed nowhere (a hidden button) has no polygons to test; building them would fail.
bool contains(TBasePageTabsControl& control, TPoint pt) {
    const TRect& r = control.ControlRect();
    return r.Right > r.Left && r.Bottom > r.Top && control.ContainsPoint(pt);
}

} // namespace

TCustomPageTabs::TCustomPageTabs(TComponent* AOwner) : TCustomControl(AOwner) {
    auto style = ControlStyle();
    style.include(TControlStyleFlag::csCaptureMouse);
    // The strip paints every pixel itself: nothing is erased first.
    style.include(TControlStyleFlag::csOpaque);
    SetControlStyle(style);
    FLookAndFeel = std::make_unique<TPageTabsLookAndFeel>(this);
    FOptions = std::make_unique<TOptions>(this);
    FTabs = std::make_unique<TPageTabsList>(this);
    FAddButtonControl = std::make_unique<TAddButtonControl>(this);
    FScrollButtonLeftControl = std::make_unique<TScrollButtonLeftControl>(this);
    FScrollButtonRightControl = std::make_unique<TScrollButtonRightControl>(this);

    // The clock starts with the options' own interval; later changes arrive with the next update.
    FAnimateTimer = new TThreadTimer(this);
    FAnimateTimer->SetInterval(FOptions->Animation()->AnimationTimerInterval());
    FAnimateTimer->OnTimer = [this](TObject*) { AdvanceAnimations(); };
    FAnimateTimer->SetEnabled(true);

    FCancelTabSmartResizeTimer = new TTimer(this);
    FCancelTabSmartResizeTimer->SetEnabled(false);
    FCancelTabSmartResizeTimer->SetInterval(
        static_cast<unsigned>(std::max(0, FOptions->Behaviour()->TabSmartDeleteResizeCancelDelay())));
    FCancelTabSmartResizeTimer->OnTimer = [this](TObject*) { SmartResizeTimerTick(); };
    FScrollTimer = new TTimer(this);
    FScrollTimer->SetEnabled(false);
    FScrollTimer->SetInterval(static_cast<unsigned>(std::max(0, FOptions->Scrolling()->ScrollRepeatDelay())));
    FScrollTimer->OnTimer = [this](TObject*) { ScrollTabs(FScrollDirection, false); };

    SetBounds(Left(), Top(), 300, 30);
    FScrollOffset = -1;
    FTabs->SetActiveTab(nullptr);

    BeginUpdate();
    SetDefaultOptions();
    SetDefaultLookAndFeel();
    EndUpdate();
    for (int i = 0; i < FTabs->Count(); ++i)
        if (auto* control = FTabs->Items(i)->TabControl())
            control->SetDrawState(control->DrawState(), 0, TPageTabsEaseType::ttNone, true);
    FControlConstructed = true;
}

TCustomPageTabs::~TCustomPageTabs() {
    // Timers first: no tick may reach a strip that is half gone.
    FAnimateTimer->SetEnabled(false);
    FScrollTimer->SetEnabled(false);
    FCancelTabSmartResizeTimer->SetEnabled(false);
    FControlConstructed = false;
    FDragTabObject.reset();
    FActiveDragTabObject.reset();
    FDragTabControl = nullptr;
    FDragTabStandIn.reset();
    FTabs.reset();
    FScrollButtonLeftControl.reset();
    FScrollButtonRightControl.reset();
    FAddButtonControl.reset();
    FOptions.reset();
    FLookAndFeel.reset();
}

void TCustomPageTabs::Loaded() {
    TCustomControl::Loaded();
    if (auto* tab = FTabs->ActiveTab(); tab && tab->TabControl())
        tab->TabControl()->SetDrawState(TDrawState::dsActive, 0, TPageTabsEaseType::ttNone, true);
}

void TCustomPageTabs::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove) return;
    if (AComponent == FImages) FImages = nullptr;
    if (AComponent == FImagesOverlay) FImagesOverlay = nullptr;
    if (AComponent == FImagesSpinnerUpload) FImagesSpinnerUpload = nullptr;
    if (AComponent == FImagesSpinnerDownload) FImagesSpinnerDownload = nullptr;
}

// --- Properties

void TCustomPageTabs::SetActiveTab(TPageTab* Value) {
    if (Value) FTabs->SetActiveTab(Value);
}

int TCustomPageTabs::ActiveTabIndex() const {
    const TPageTab* tab = FTabs->ActiveTab();
    return tab ? tab->Index() : -1;
}

void TCustomPageTabs::SetActiveTabIndex(int Value) {
    if (Value == -1) {
        if (auto* tab = FTabs->ActiveTab()) tab->SetActive(false);
    } else if (Value >= 0 && Value < FTabs->Count()) {
        FTabs->Items(Value)->SetActive(true);
    }
}

void TCustomPageTabs::SetImages(TCustomImageList* Value) {
    FImages = Value;
    if (Value) Value->FreeNotification(this);
    RequestRepaint();
}

void TCustomPageTabs::SetImagesOverlay(TCustomImageList* Value) {
    FImagesOverlay = Value;
    if (Value) Value->FreeNotification(this);
    RequestRepaint();
}

void TCustomPageTabs::SetImagesSpinnerUpload(TCustomImageList* Value) {
    FImagesSpinnerUpload = Value;
    if (Value) Value->FreeNotification(this);
}

void TCustomPageTabs::SetImagesSpinnerDownload(TCustomImageList* Value) {
    FImagesSpinnerDownload = Value;
    if (Value) Value->FreeNotification(this);
}

bool TCustomPageTabs::right_to_left() const noexcept {
    return BiDiMode() == TBiDiMode::bdRightToLeft || BiDiMode() == TBiDiMode::bdRightToLeftNoAlign;
}

void TCustomPageTabs::SetDefaultOptions() { apply_strip_defaults(*FOptions); }
void TCustomPageTabs::SetDefaultLookAndFeel() { apply_strip_defaults(*FLookAndFeel); }

String TCustomPageTabs::GetTabDescription(int Index) const {
    if (Index < 0 || Index >= FTabs->Count()) return {};
    const String& caption = FTabs->Items(Index)->Caption();
    return caption.empty() ? String(u"<No Caption>") : caption;
}

TPageTab* TCustomPageTabs::GetTabUnderMouse() {
    const THitTestResult hit = HitTest(TPoint{FLastMouseX, FLastMouseY}, false);
    return hit.TabIndex >= 0 && hit.TabIndex < FTabs->Count() ? FTabs->Items(hit.TabIndex) : nullptr;
}

THitTestResult TCustomPageTabs::HitTest(TPoint pt, bool IgnoreDisabledControls) {
    THitTestResult result{-1, THitTestArea::htBackground};
    if (pt.X < 0 || pt.Y < 0 || pt.X >= ClientWidth() || pt.Y >= ClientHeight()) return {-1, THitTestArea::htNowhere};
    if (contains(*FAddButtonControl, pt)) return {-1, THitTestArea::htAddButton};
    if (ScrollButtonsVisible()) {
        const auto usable = [&](TBasePageTabsControl& button) {
            return (button.DrawState() != TDrawState::dsDisabled || !IgnoreDisabledControls) && contains(button, pt);
        };
        if (usable(*FScrollButtonLeftControl)) return {-1, THitTestArea::htScrollButtonLeft};
        if (usable(*FScrollButtonRightControl)) return {-1, THitTestArea::htScrollButtonRight};
    }
    const TRect& c = FTabContainerRect;
    if (!FOptions->Display()->TabContainer()->OverlayButtons() &&
        (pt.X < c.Left || pt.X >= c.Right || pt.Y < c.Top || pt.Y >= c.Bottom))
        return result;
    const int active = ActiveTabIndex();
    if (active >= 0 && FTabs->Items(active)->TabControl()) {
        const THitTestArea area = FTabs->Items(active)->TabControl()->GetHitTestArea(pt.X, pt.Y);
        if (area != THitTestArea::htBackground) return {active, area};
    }
    for (int i = 0; i < FTabs->Count(); ++i) {
        TPageTab* tab = FTabs->Items(i);
        if (i == active || !tab->Visible() || !tab->TabControl()) continue;
        const THitTestArea area = tab->TabControl()->GetHitTestArea(pt.X, pt.Y);
        if (area != THitTestArea::htBackground) return {i, area};
    }
    return result;
}

// --- States and updates

bool TCustomPageTabs::IncludeState(TPageTabState State) {
    if (FState.contains(State)) return false;
    const TPageTabStates previous = FState;
    FState.include(State);
    DoOnStateChange(previous, FState);
    return true;
}

bool TCustomPageTabs::ExcludeState(TPageTabState State) {
    if (!FState.contains(State)) return false;
    const TPageTabStates previous = FState;
    FState.exclude(State);
    DoOnStateChange(previous, FState);
    return true;
}

bool TCustomPageTabs::HasState(TPageTabState State) const { return FState.contains(State); }

void TCustomPageTabs::BeginUpdate() {
    if (FUpdateCount == 0) FPausedUpdateCount = 0;
    ++FUpdateCount;
}

void TCustomPageTabs::EndUpdate() {
    if (FUpdateCount == 0) return;
    if (--FUpdateCount == 0 && FPausedUpdateCount > 0) {
        FPausedUpdateCount = 0;
        RequestRepaint();
    }
}

void TCustomPageTabs::RequestRepaint() {
    if (FUpdateCount > 0) {
        ++FPausedUpdateCount;
        IncludeState(TPageTabState::stsPendingUpdates);
        return;
    }
    ExcludeState(TPageTabState::stsPendingUpdates);
    if (HandleAllocated()) {
        TCustomControl::Invalidate();
        Update();
    }
}

void TCustomPageTabs::Invalidate() { TCustomControl::Invalidate(); }

bool TCustomPageTabs::IsReadyForUpdates() const {
    const auto state = ComponentState();
    return !state.contains(TComponentStateFlag::csLoading) && !state.contains(TComponentStateFlag::csDestroying) &&
           FControlConstructed && !FCreatingWindow;
}

void TCustomPageTabs::ClearDeletionStates() {
    ExcludeState(TPageTabState::stsDeletingUnPinnedTabs);
    ExcludeState(TPageTabState::stsTabDeleted);
    ExcludeState(TPageTabState::stsEndTabDeleted);
    RequestRepaint();
}

void TCustomPageTabs::InvalidateAllControls() {
    if (!IsReadyForUpdates() || FInvalidatingControls) return;
    FInvalidatingControls = true;
    for (int i = 0; i < FTabs->Count(); ++i)
        if (auto* control = FTabs->Items(i)->TabControl()) ApplyControlDrawState(*control, control->DrawState(), true);
    FLookAndFeel->Invalidate();
    FAddButtonControl->Invalidate();
    FScrollButtonLeftControl->Invalidate();
    FScrollButtonRightControl->Invalidate();
    if (!HasState(TPageTabState::stsDeletingUnPinnedTabs)) IncludeState(TPageTabState::stsControlPositionsInvalidated);
    FInvalidatingControls = false;
    RequestRepaint();
}

void TCustomPageTabs::SelectMovementAnimation(const TPageTabsMovementAnimationTypes& Animation) {
    const auto& options = *FOptions->Animation();
    FMovementEaseType = Animation.UseDefaultEaseType() ? options.DefaultMovementEaseType() : Animation.EaseType();
    FMovementAnimationTime =
        Animation.UseDefaultAnimationTime() ? options.DefaultMovementAnimationTimeMS() : Animation.AnimationTimeMS();
}

TPageTabControl* TCustomPageTabs::GetTabControl(int Index) {
    if (Index == -1) return nullptr;
    return FTabs->Items(Index)->TabControl();
}

page_tab_polygons TCustomPageTabs::GetPreviousTabPolygons(int Index) {
    const int previous = VisibleTabIndexAtOrBefore(Index - 1);
    if (previous < 0) return nullptr;
    auto* control = FTabs->Items(previous)->TabControl();
    return control ? control->GetPolygons() : nullptr;
}

// --- Events

void TCustomPageTabs::DoOnBeforeDrawItem(TGPGraphics& TargetCanvas, const TRect& ItemRect,
                                         TPageTabItemType ItemType, int TabIndex, bool& Handled) {
    Handled = false;
    if (OnBeforeDrawItem) OnBeforeDrawItem(this, TargetCanvas, ItemRect, ItemType, TabIndex, Handled);
}

void TCustomPageTabs::DoOnAfterDrawItem(TGPGraphics& TargetCanvas, const TRect& ItemRect,
                                        TPageTabItemType ItemType, int TabIndex) {
    if (OnAfterDrawItem) OnAfterDrawItem(this, TargetCanvas, ItemRect, ItemType, TabIndex);
}

void TCustomPageTabs::DoOnGetControlPolygons(TBasePageTabsControl* PageTabsControl, const TRect& ItemRect,
                                             TPageTabItemType ItemType, TTabOrientation Orientation,
                                             page_tab_polygons& Polygons) {
    if (OnGetControlPolygons) OnGetControlPolygons(this, PageTabsControl, ItemRect, ItemType, Orientation, Polygons);
}

void TCustomPageTabs::DoOnDebugLog(StringView Text, std::initializer_list<format_arg> Args) {
    if (FOptions && FOptions->Behaviour()->DebugMode() && OnDebugLog) OnDebugLog(this, Format(Text, Args));
}

void TCustomPageTabs::DoOnActiveTabChanging(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow) {
    if (OnActiveTabChanging) OnActiveTabChanging(this, AOldTab, ANewTab, Allow);
}

void TCustomPageTabs::DoOnActiveTabChanged(TPageTab* ATab) {
    if (OnActiveTabChanged) OnActiveTabChanged(this, ATab);
}

void TCustomPageTabs::DoOnButtonCloseTabClick(TPageTab* ATab, bool& Close) {
    if (OnButtonCloseTabClick) OnButtonCloseTabClick(this, ATab, Close);
}

void TCustomPageTabs::DoOnButtonAddClick() {
    bool handled = false;
    if (OnButtonAddClick) OnButtonAddClick(this, handled);
    if (!handled) FTabs->Add();
}

void TCustomPageTabs::DoOnStateChange(TPageTabStates PreviousState, TPageTabStates CurrentState) {
    if (OnStateChange) OnStateChange(this, PreviousState, CurrentState);
}

void TCustomPageTabs::DoOnMouseLeave() {
    if (OnMouseLeave) OnMouseLeave(this);
}

void TCustomPageTabs::DoOnShowHint(const THitTestResult& HitTestResult, String& HintText, int& HintTimeout) {
    if (OnShowHint) OnShowHint(this, HitTestResult, HintText, HintTimeout);
}

void TCustomPageTabs::DoOnTabDblClick(TPageTab* ATab) {
    if (OnTabDblClick) OnTabDblClick(this, ATab);
}

void TCustomPageTabs::DoOnTabPopupMenu(TPageTab* ATab, TPopupMenu* PopupMenu) {
    if (OnTabPopupMenu) OnTabPopupMenu(this, ATab, PopupMenu);
}

void TCustomPageTabs::DoOnAnimateStyle(TBasePageTabsControl* Control, TDrawState NewDrawState,
                                       std::uint32_t& AnimationTimeMS, TPageTabsEaseType& EaseType) {
    if (OnAnimateStyle) OnAnimateStyle(this, Control, NewDrawState, AnimationTimeMS, EaseType);
}

void TCustomPageTabs::DoOnScroll() {
    if (OnScroll) OnScroll(this);
}

void TCustomPageTabs::DoOnScrollWidthChanged() {
    if (OnScrollWidthChanged) OnScrollWidthChanged(this);
}

void TCustomPageTabs::DoOnAnimateMovement(TBasePageTabsControl* Control, std::uint32_t& AnimationTimeMS,
                                          TPageTabsEaseType& EaseType) {
    if (OnAnimateMovement) OnAnimateMovement(this, Control, AnimationTimeMS, EaseType);
}

void TCustomPageTabs::DoOnSetTabWidth(TPageTabControl* ATabControl, int& TabWidth) {
    if (OnSetTabWidth) OnSetTabWidth(this, ATabControl, TabWidth);
}

// --- The single change path

void TCustomPageTabs::HandleTabChange(TPageTab* ATab, TTabChangeType TabChangeType) {
    if (!FOptions || !FTabs) return; // being built or torn down
    if (TabChangeType == TTabChangeType::tcPropertyUpdated) ++FPictureGeneration;
    if (IsReadyForUpdates() && TabChangeType == TTabChangeType::tcPropertyUpdated) {
        FAnimateTimer->SetInterval(FOptions->Animation()->AnimationTimerInterval());
        FCancelTabSmartResizeTimer->SetInterval(
            static_cast<unsigned>(std::max(0, FOptions->Behaviour()->TabSmartDeleteResizeCancelDelay())));
        FScrollTimer->SetInterval(static_cast<unsigned>(std::max(0, FOptions->Scrolling()->ScrollRepeatDelay())));
        UpdateHoverDrawStates(true);
        InvalidateAllControls();
    }
    if (ATab) {
        const auto& tabs = *FOptions->Display()->Tabs();
        const auto& animation = *FOptions->Animation();
        if (!ATab->TabControl()) {
            ATab->SetTabControl(std::make_unique<TPageTabControl>(this, ATab));
            const auto& add = *animation.MovementAnimations()->TabAdd();
            if ((add.UseDefaultEaseType() ? animation.DefaultMovementEaseType() : add.EaseType()) !=
                TPageTabsEaseType::ttNone) {
                const int previous = VisibleTabIndexAtOrBefore(ATab->Index() - 1);
                const int left = previous >= 0 && FTabs->Items(previous)->TabControl()
                                     ? FTabs->Items(previous)->TabControl()->ControlRect().Right - tabs.TabOverlap()
                                     : tabs.OffsetLeft() + FOptions->Display()->TabContainer()->PaddingLeft();
                ATab->TabControl()->SetPosition(TRect{left, tabs.OffsetTop(),
                                                      left + animation.MinimumTabAnimationWidth(),
                                                      ClientHeight() - tabs.OffsetBottom()},
                                                0, TPageTabsEaseType::ttNone);
                SelectMovementAnimation(add);
            }
            if (OnChange) OnChange(this, ATab, TabChangeType);
            if (FOptions->Behaviour()->ActivateNewTab() &&
                (!FTabs->ActiveTab() || (IsReadyForUpdates() && !HasState(TPageTabState::stsAddingDroppedTab)))) {
                ATab->SetActive(true);
                IncludeState(TPageTabState::stsAnimatingNewTab);
            } else {
                ApplyControlDrawState(*ATab->TabControl(), TDrawState::dsNotActive, false);
            }
        }
        switch (TabChangeType) {
        case TTabChangeType::tcAdded:
            ClearDeletionStates();
            break;
        case TTabChangeType::tcDeleting:
            forget_menu_tab(ATab);
            ExcludeState(TPageTabState::stsEndTabDeleted);
            if (FOptions->Behaviour()->TabSmartDeleteResizing())
                IncludeState(ATab->Index() == FTabs->Count() - 1 ? TPageTabState::stsEndTabDeleted
                                                                  : TPageTabState::stsTabDeleted);
            break;
        case TTabChangeType::tcDeleted: {
            SelectMovementAnimation(*animation.MovementAnimations()->TabDelete());
            if (FMovementEaseType != TPageTabsEaseType::ttNone) {
                if (GetTabDisplayState() == TTabDisplayState::tdCompressed && ATab->Index() == FTabs->Count() - 1) {
                    FTabs->DeleteTab(ATab->Index(), true);
                    ATab = nullptr; // gone
                } else {
                    IncludeState(TPageTabState::stsAnimatingCloseTab);
                    ATab->TabControl()->SetWidth(animation.MinimumTabAnimationWidth(), FMovementAnimationTime,
                                                 FMovementEaseType);
                }
            }
            break;
        }
        case TTabChangeType::tcActivated:
            ApplyControlDrawState(*ATab->TabControl(), TDrawState::dsActive, false);
            if (FOptions->Scrolling()->Enabled()) ScrollIntoView(ATab);
            DoOnActiveTabChanged(ATab);
            break;
        case TTabChangeType::tcDeactivated:
            ApplyControlDrawState(*ATab->TabControl(), TDrawState::dsNotActive, false);
            if (!FTabs->ActiveTab()) {
                const int index = ATab->Index();
                TPageTab* next = nullptr;
                for (int i = index + 1; i < FTabs->Count() && !next; ++i)
                    if (FTabs->Items(i)->Visible() && !FTabs->Items(i)->MarkedForDeletion()) next = FTabs->Items(i);
                for (int i = index - 1; i >= 0 && !next; --i)
                    if (FTabs->Items(i)->Visible() && !FTabs->Items(i)->MarkedForDeletion()) next = FTabs->Items(i);
                if (next) next->SetActive(true);
            }
            break;
        case TTabChangeType::tcPinned:
        case TTabChangeType::tcVisibility:
            IncludeState(TPageTabState::stsControlPositionsInvalidated);
            break;
        case TTabChangeType::tcControlState:
            ATab->TabControl()->Invalidate();
            break;
        case TTabChangeType::tcMoved:
        case TTabChangeType::tcPropertyUpdated:
            break;
        }
        if (!FTabs->ActiveTab() && FOptions->Behaviour()->ActivateNewTab() && VisibleTabCount(false) > 0) {
            for (int i = FTabs->Count() - 1; i >= 0; --i) {
                TPageTab* tab = FTabs->Items(i);
                if (tab->Visible() && !tab->MarkedForDeletion()) {
                    tab->SetActive(true);
                    break;
                }
            }
        }
        RequestRepaint();
    }
    if (OnChange) OnChange(this, ATab, TabChangeType);
}

TRect TCustomPageTabs::OffsetByScroll(const TRect& Rect) {
    const int offset = std::max(0, FScrollOffset);
    return {Rect.Left - offset, Rect.Top, Rect.Right - offset, Rect.Bottom};
}

TRect TCustomPageTabs::OffsetByBidiScroll(const TRect& Rect) {
    const int offset = right_to_left() ? -std::max(0, FScrollOffset) : std::max(0, FScrollOffset);
    return {Rect.Left - offset, Rect.Top, Rect.Right - offset, Rect.Bottom};
}

TRect TCustomPageTabs::MirrorRect(const TRect& Rect) {
    if (!right_to_left()) return Rect;
    return MirrorRectInRect(TRect{0, 0, ClientWidth(), ClientHeight()}, Rect);
}

// --- Window

void TCustomPageTabs::CreateWnd() {
    FCreatingWindow = true;
    TCustomControl::CreateWnd();
    FCreatingWindow = false;
    SetScrollOffset(0);
    if (FScrollOffset < 0) FScrollOffset = 0; // kept in range even with scrolling off
    for (TBasePageTabsControl* button : std::initializer_list<TBasePageTabsControl*>{
             FAddButtonControl.get(), FScrollButtonLeftControl.get(), FScrollButtonRightControl.get()})
        if (button->DrawState() == TDrawState::dsUnknown) ApplyControlDrawState(*button, TDrawState::dsNotActive, true);
    UpdateHoverDrawStates(true);
    IncludeState(TPageTabState::stsControlPositionsInvalidated);
    IncludeState(TPageTabState::stsFirstPaint);
    RequestRepaint();
}

void TCustomPageTabs::PaintWindow(HDC DC) { TCustomControl::PaintWindow(DC); }

void TCustomPageTabs::Paint() { DrawStrip(); }

void TCustomPageTabs::Resize() {
    TCustomControl::Resize();
    if (!FOptions) return;
    FitScrollOffsetToWidth(false);
    IncludeState(TPageTabState::stsResizing);
    UpdateHoverDrawStates(true);
    InvalidateAllControls();
    RequestRepaint();
}

// --- Mouse

void TCustomPageTabs::UpdateHoverDrawStates(bool Force) {
    if (!FOptions || !FTabs || FActiveDragTabObject) return;
    BeginUpdate();
    auto end = scope_exit([this] { EndUpdate(); });
    const THitTestResult hit = HitTest(TPoint{FLastMouseX, FLastMouseY}, false);
    if (!Force && (HasState(TPageTabState::stsPendingUpdates) ||
                   (hit.TabIndex == FLastHitTestResult.TabIndex && hit.HitTestArea == FLastHitTestResult.HitTestArea)))
        return;
    FLastHitTestResult = hit;
    const int maximum = MaxScrollOffset();
    const bool rtl = right_to_left();
    const int offset = std::max(0, FScrollOffset);
    using enum TDrawState;
    ApplyControlDrawState(*FScrollButtonLeftControl,
                        (!rtl && offset == 0) || (rtl && offset == maximum) ? dsDisabled : dsActive, Force);
    ApplyControlDrawState(*FScrollButtonRightControl,
                        (!rtl && offset == maximum) || (rtl && offset == 0) ? dsDisabled : dsActive, Force);
    ApplyControlDrawState(*FAddButtonControl, dsNotActive, Force);
    const TDrawState pressed = HasState(TPageTabState::stsMouseDown) ? dsDown : dsHot;
    switch (hit.HitTestArea) {
    case THitTestArea::htAddButton:
        ApplyControlDrawState(*FAddButtonControl, pressed, Force);
        return;
    case THitTestArea::htScrollButtonLeft:
        if (offset > 0) ApplyControlDrawState(*FScrollButtonLeftControl, pressed, Force);
        return;
    case THitTestArea::htScrollButtonRight:
        if (offset < maximum) ApplyControlDrawState(*FScrollButtonRightControl, pressed, Force);
        return;
    default:
        break;
    }
    for (int i = 0; i < FTabs->Count(); ++i) {
        TPageTab* tab = FTabs->Items(i);
        TPageTabControl* control = tab->TabControl();
        if (!control) continue;
        if (i == hit.TabIndex && !HasState(TPageTabState::stsDragging)) {
            if (!tab->Active()) ApplyControlDrawState(*control, dsHot, Force);
            control->SetCloseButtonState(hit.HitTestArea == THitTestArea::htCloseButton ? pressed
                                         : tab->Active()                               ? dsActive
                                                                                       : dsNotActive);
        } else if (!tab->Active()) {
            ApplyControlDrawState(*control, dsNotActive, Force);
            control->SetCloseButtonState(dsNotActive);
        } else {
            // The active tab's close button lit by the mouse must not stay lit once the mouse is elsewhere.
            control->SetCloseButtonState(dsActive);
        }
    }
}

void TCustomPageTabs::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomControl::MouseDown(Button, Shift, X, Y);
    if (HasState(TPageTabState::stsMouseDown)) return;
    FMouseDownHitTest = HitTest(TPoint{X, Y}, false);
    FMouseButton = Button;
    FMouseDownPoint = TPoint{X, Y};
    if (FOptions->Behaviour()->BackgroundDragMovesForm() && FMouseDownHitTest.HitTestArea == THitTestArea::htBackground)
        if (TCustomForm* form = GetParentForm(this)) {
            ::ReleaseCapture();
            ::SendMessageW(form->Handle(), WM_SYSCOMMAND, 61458, 0);
            return;
        }
    IncludeState(TPageTabState::stsMouseDown);
    UpdateHoverDrawStates(true);
    if (FMouseDownHitTest.HitTestArea == THitTestArea::htScrollButtonLeft) {
        ScrollTabs(TScrollDirection::mdsLeft, true);
    } else if (FMouseDownHitTest.HitTestArea == THitTestArea::htScrollButtonRight) {
        ScrollTabs(TScrollDirection::mdsRight, true);
    } else {
        BeginUpdate();
        auto end = scope_exit([this] { EndUpdate(); });
        if (CanFocus()) SetFocus();
        const bool selects = Button == TMouseButton::mbLeft ||
                             (Button == TMouseButton::mbRight && FOptions->Behaviour()->TabRightClickSelect());
        const THitTestArea area = FMouseDownHitTest.HitTestArea;
        if (selects && FMouseDownHitTest.TabIndex >= 0 &&
            (area == THitTestArea::htTab || (area == THitTestArea::htCloseButton && Button == TMouseButton::mbRight)))
            if (TPageTab* tab = FTabs->Items(FMouseDownHitTest.TabIndex); !tab->Active()) tab->SetActive(true);
    }
}

void TCustomPageTabs::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomControl::MouseMove(Shift, X, Y);
    if (X == FLastMouseX && Y == FLastMouseY) return;
    FLastMouseX = X;
    FLastMouseY = Y;
    {
        BeginUpdate();
        auto end = scope_exit([this] { EndUpdate(); });
        CheckDragStart(X, Y, HitTest(TPoint{X, Y}, false));
        if (FDragTabObject) {
            DragMouseMove(X, Y);
            return;
        }
    }
    UpdateHoverDrawStates(false);
    const THitTestArea area = FLastHitTestResult.HitTestArea;
    if (FOptions->Display()->TabMouseGlow()->Visible() &&
        (area == THitTestArea::htTab || area == THitTestArea::htCloseButton))
        RequestRepaint();
}

void TCustomPageTabs::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button != TMouseButton::mbRight || !FDragTabObject) TCustomControl::MouseUp(Button, Shift, X, Y);
    {
        BeginUpdate();
        auto end = scope_exit([this] { EndUpdate(); });
        FScrollTimer->SetEnabled(false);
        ExcludeState(TPageTabState::stsMouseDown);
        const THitTestResult hit = HitTest(TPoint{X, Y}, false);
        if (HasState(TPageTabState::stsDragging)) EndDrag(X, Y, FDragCancelled);
        if (FMouseDownHitTest.HitTestArea == THitTestArea::htAddButton && hit.HitTestArea == THitTestArea::htAddButton) {
            DoOnButtonAddClick();
            IncludeState(TPageTabState::stsControlPositionsInvalidated);
        } else if (FMouseButton == TMouseButton::mbLeft && hit.TabIndex >= 0 &&
                   FMouseDownHitTest.HitTestArea == THitTestArea::htCloseButton &&
                   hit.HitTestArea == THitTestArea::htCloseButton && hit.TabIndex == FMouseDownHitTest.TabIndex) {
            TPageTab* tab = FTabs->Items(hit.TabIndex);
            bool close = true;
            DoOnButtonCloseTabClick(tab, close);
            // The handler may have removed the tab itself.
            const int index = FTabs->IndexOf(tab);
            if (close && index >= 0) {
                if (!tab->Pinned()) {
                    ClearDeletionStates();
                    IncludeState(TPageTabState::stsDeletingUnPinnedTabs);
                    FClosedTabRect = tab->TabControl()->EndRect();
                    FClosedTabIndex = index;
                }
                FTabs->DeleteTab(index, ComponentState().contains(TComponentStateFlag::csDesigning));
                IncludeState(TPageTabState::stsControlPositionsInvalidated);
            }
        }
    }
    UpdateHoverDrawStates(true);
    RequestRepaint();
}

void TCustomPageTabs::SmartResizeTimerTick() {
    FCancelTabSmartResizeTimer->SetEnabled(false);
    ClearDeletionStates();
    IncludeState(TPageTabState::stsControlPositionsInvalidated);
    FLastClientWidth = -1;
    FitScrollOffsetToWidth(false);
    RequestRepaint();
}

void TCustomPageTabs::BuildTabPopupMenu() {
    FTabPopupMenu.reset(); // a command may still be running from the old one; it is gone by now
    FTabPopupMenu = std::make_unique<TPopupMenu>(nullptr);
    const auto add = [this](const String& caption, int tag) {
        auto* item = new TMenuItem(nullptr);
        item->SetCaption(caption);
        item->SetRadioItem(tag != -1 && tag < 95);
        item->SetChecked(tag == ActiveTabIndex() + 10);
        item->OnClick = [this, tag](TObject*) { TabPopupMenuClick(tag); };
        FTabPopupMenu->Items().Add(item);
    };
    add(u"New tab", 3);
    add(u"-", -1);
    const int index = FMouseDownHitTest.TabIndex;
    // The commands run after the menu has closed, when ticks or handlers may have removed tabs: they
    // act on the tabs the menu showed, never on whatever has moved to their indexes since.
    FTabPopupMenuTab = index >= 0 && index < FTabs->Count() ? FTabs->Items(index) : nullptr;
    FTabPopupMenuTabs.clear();
    for (int i = 0; i < FTabs->Count(); ++i) FTabPopupMenuTabs.push_back(FTabs->Items(i));
    if (FTabPopupMenuTab) {
        add(u"Delete Tab", 2);
        add(u"-", -1);
        if (FTabs->Items(index)->Pinned())
            add(u"Unpin this tab", 1);
        else
            add(u"Pin this tab", 0);
        add(u"-", -1);
    }
    for (int i = 0; i < FTabs->Count(); ++i) add(GetTabDescription(i), 10 + i);
}

void TCustomPageTabs::ShowTabPopupMenu(TObject*, TPoint ScreenPoint) {
    BuildTabPopupMenu();
    const THitTestResult hit = HitTest(TPoint{FLastMouseX, FLastMouseY}, false);
    TPageTab* tab = hit.TabIndex >= 0 ? FTabs->Items(hit.TabIndex) : nullptr;
    DoOnTabPopupMenu(tab, FTabPopupMenu.get());
    FTabPopupMenu->Popup(ScreenPoint.X, ScreenPoint.Y);
}

void TCustomPageTabs::TabPopupMenuClick(int Tag) {
    // A tab that has gone since the menu was built was forgotten when it started going.
    const auto listed = [this](TPageTab* tab) { return FTabs->IndexOf(tab) >= 0 ? tab : nullptr; };
    if (TPageTab* tab = listed(FTabPopupMenuTab)) {
        if (Tag == 0) tab->SetPinned(true);
        if (Tag == 1) tab->SetPinned(false);
        if (Tag == 2)
            FTabs->DeleteTab(FTabs->IndexOf(tab), ComponentState().contains(TComponentStateFlag::csDesigning));
    }
    if (Tag == 3) DoOnButtonAddClick();
    if (Tag > 9 && static_cast<std::size_t>(Tag - 10) < FTabPopupMenuTabs.size())
        if (TPageTab* tab = listed(FTabPopupMenuTabs[static_cast<std::size_t>(Tag - 10)])) tab->SetActive(true);
    RequestRepaint();
}

void TCustomPageTabs::forget_menu_tab(const TPageTab* tab) noexcept {
    if (FTabPopupMenuTab == tab) FTabPopupMenuTab = nullptr;
    for (TPageTab*& listed : FTabPopupMenuTabs)
        if (listed == tab) listed = nullptr;
}

// However the capture ended (the button let go, another window taking it), the strip looks once the
// current message is done: a mouse that is gone leaves as if the system had said so; one still over the
// strip is tracked again.
void TCustomPageTabs::check_mouse_left() {
    if (!HandleAllocated() || ::GetCapture() == Handle() || !MouseInControl()) return;
    POINT cursor{};
    if (!::GetCursorPos(&cursor)) return;
    if (::WindowFromPoint(cursor) != Handle()) {
        Perform(WM_MOUSELEAVE, 0, 0);
        return;
    }
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
    ::TrackMouseEvent(&track);
}

void TCustomPageTabs::WndProc(TMessage& Message) {
    if (Message.Msg == WM_CAPTURECHANGED) {
        ::PostMessageW(Handle(), check_mouse_left_message, 0, 0);
    } else if (Message.Msg == check_mouse_left_message) {
        check_mouse_left();
        return;
    }
    if (Message.Msg == WM_CONTEXTMENU) {
        const POINT screen = ClientToScreen(POINT{FLastMouseX, FLastMouseY});
        if (PopupMenu())
            PopupMenu()->Popup(screen.x, screen.y);
        else if (FOptions->Behaviour()->UseBuiltInPopupMenu() && !FDragTabObject)
            ShowTabPopupMenu(this, to_TPoint(screen));
        return;
    }
    if (FDragTabObject && Message.Msg == WM_GETDLGCODE) {
        // Esc must reach the strip, not the form's cancel key handling.
        Message.Result = DLGC_WANTALLKEYS;
        return;
    }
    if (FDragTabObject && Message.Msg == WM_KEYDOWN && Message.WParam == VK_ESCAPE) {
        FDragCancelled = true;
        ::SendMessageW(Handle(), WM_LBUTTONUP, 0, 0);
    }
    if (Message.Msg == CM_BIDIMODECHANGED) {
        RequestRepaint();
    } else if (Message.Msg == CM_MOUSEENTER) {
        FCancelTabSmartResizeTimer->SetEnabled(false);
    } else if (Message.Msg == CM_MOUSELEAVE) {
        // Closed tabs keep their neighbours' widths until the mouse has been away a while.
        FLastMouseX = -1;
        FLastMouseY = -1;
        UpdateHoverDrawStates(false);
        FCancelTabSmartResizeTimer->SetEnabled(true);
        RequestRepaint();
        // The framework's part without its event: the strip raises OnMouseLeave through its own raiser.
        {
            TNotifyEvent handler = std::exchange(OnMouseLeave, nullptr);
            auto restore = scope_exit([&] { OnMouseLeave = std::move(handler); });
            TCustomControl::WndProc(Message);
        }
        DoOnMouseLeave();
        return;
    } else if (Message.Msg == WM_WINDOWPOSCHANGED) {
        // A strip that shows its parent through it must show what now lies under it, also when it only
        // moved: the system copies the old pixels along.
        TCustomControl::WndProc(Message);
        if (!ComponentState().contains(TComponentStateFlag::csLoading)) RequestRepaint();
        return;
    } else if (Message.Msg == WM_LBUTTONDBLCLK && !(FOptions->Behaviour()->IgnoreDoubleClicksWhileAnimatingMovement() &&
                                                    HasState(TPageTabState::stsAnimatingMovement))) {
        const THitTestResult hit = HitTest(TPoint{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)}, false);
        if (hit.TabIndex >= 0) DoOnTabDblClick(FTabs->Items(hit.TabIndex));
        if (FOptions->Behaviour()->BackgroundDblClickMaximiseRestoreForm() &&
            hit.HitTestArea == THitTestArea::htBackground)
            if (TCustomForm* form = GetParentForm(this))
                form->SetWindowState(form->WindowState() == TWindowState::wsNormal ? TWindowState::wsMaximized
                                                                                  : TWindowState::wsNormal);
    } else if (Message.Msg == CM_HINTSHOW && !HasState(TPageTabState::stsDragging)) {
        auto& info = *reinterpret_cast<THintInfo*>(Message.LParam);
        const THitTestResult hit = HitTest(to_TPoint(info.CursorPos), false);
        String text = GetTabDescription(hit.TabIndex);
        int timeout = 5000;
        DoOnShowHint(hit, text, timeout);
        if (!text.empty()) {
            info.HintStr = text;
            // Where the tab is seen, scrolled: the hint is asked for again once the mouse leaves it.
            const TRect r = hit.TabIndex >= 0 && FTabs->Items(hit.TabIndex)->TabControl()
                                ? FTabs->Items(hit.TabIndex)->TabControl()->ControlRectScrolled()
                                : TRect{0, 0, ClientWidth(), ClientHeight()};
            info.CursorRect = to_system<RECT>(r);
            info.HideTimeout = timeout;
            Message.Result = 0;
            return;
        }
    } else if (Message.Msg == WM_MOUSEWHEEL) {
        const int delta = GET_WHEEL_DELTA_WPARAM(Message.WParam);
        const auto& scrolling = *FOptions->Scrolling();
        if (scrolling.Enabled() && scrolling.MouseWheelScroll() && Visible() && delta != 0) {
            SetScrollOffset(std::max(0, FScrollOffset) + delta);
            Message.Result = 1;
        }
        return;
    }
    TCustomControl::WndProc(Message);
}

// --- Layout

int TCustomPageTabs::LastPinnedIndex() const {
    int last = -1;
    while (last + 1 < FTabs->Count() && FTabs->Items(last + 1)->Pinned()) ++last;
    return last;
}

int TCustomPageTabs::VisiblePinnedTabCount(bool IncludeMarked) const {
    int count = 0;
    for (int i = 0, last = LastPinnedIndex(); i <= last; ++i) {
        const TPageTab* tab = FTabs->Items(i);
        if (tab->Visible() && (IncludeMarked || !tab->MarkedForDeletion())) ++count;
    }
    return count;
}

int TCustomPageTabs::VisibleUnpinnedTabCount(bool IncludeMarked) const {
    int count = 0;
    for (int i = LastPinnedIndex() + 1; i < FTabs->Count(); ++i) {
        const TPageTab* tab = FTabs->Items(i);
        if (tab->Visible() && (IncludeMarked || !tab->MarkedForDeletion())) ++count;
    }
    return count;
}

int TCustomPageTabs::VisibleTabCount(bool IncludeMarked) const {
    return VisiblePinnedTabCount(IncludeMarked) + VisibleUnpinnedTabCount(IncludeMarked);
}

int TCustomPageTabs::VisibleTabIndexAtOrBefore(int Index) const {
    for (int i = std::min(Index, FTabs->Count() - 1); i >= 0; --i)
        if (FTabs->Items(i)->Visible()) return i;
    return -1;
}

bool TCustomPageTabs::ScrollingActive() const { return Width() < FScrollWidth - FTabEndSpace; }

bool TCustomPageTabs::ScrollButtonsVisible() const {
    const auto& scrolling = *FOptions->Scrolling();
    return scrolling.Enabled() && (ScrollingActive() || !scrolling.AutoHideButtons());
}

void TCustomPageTabs::PlaceControl(TBasePageTabsControl& Control, const TRect& Rect, bool Animate) {
    std::uint32_t time = 0;
    TPageTabsEaseType ease = TPageTabsEaseType::ttNone;
    const bool designing = ComponentState().contains(TComponentStateFlag::csDesigning);
    if (Animate && !designing) {
        time = FMovementAnimationTime;
        ease = FMovementEaseType;
    }
    if (!designing) DoOnAnimateMovement(&Control, time, ease);
    Control.SetPosition(Rect, time, ease);
}

void TCustomPageTabs::PlaceControlAtLeft(TBasePageTabsControl& Control, int NewLeft, bool Animate) {
    const TRect& r = Control.ControlRect();
    PlaceControl(Control, TRect{NewLeft, r.Top, NewLeft + rect_width(r), r.Bottom}, Animate);
}

void TCustomPageTabs::LayoutAll() {
    const bool buttons_shown = ScrollButtonsVisible();
    LayoutButtonsAndContainer();
    LayoutTabRects();
    if (ScrollButtonsVisible() == buttons_shown) return;
    LayoutButtonsAndContainer();
    LayoutTabRects();
}

void TCustomPageTabs::LayoutButtonsAndContainer() {
    const auto& display = *FOptions->Display();
    const auto& scrolling = *FOptions->Scrolling();
    const auto& tabs = *display.Tabs();
    int L = display.TabContainer()->PaddingLeft();
    int R = Width() - display.TabContainer()->PaddingRight();
    for (TBasePageTabsControl* button : std::initializer_list<TBasePageTabsControl*>{
             FScrollButtonLeftControl.get(), FScrollButtonRightControl.get(), FAddButtonControl.get()})
        PlaceControl(*button, TRect{}, false);

    const bool shown = ScrollButtonsVisible();
    const auto buttons = scrolling.ScrollButtons();
    const auto place_left = [&](TBasePageTabsControl& control, const TPageTabsControlPosition& position) {
        const int H = position.Offsets()->Horizontal(), V = position.Offsets()->Vertical();
        PlaceControl(control, TRect{L + H, V, L + H + position.Width(), V + position.Height()}, false);
        L += rect_width(control.ControlRect()) + H + 1;
    };
    const auto place_right = [&](TBasePageTabsControl& control, const TPageTabsControlPosition& position) {
        const int H = position.Offsets()->Horizontal(), V = position.Offsets()->Vertical();
        PlaceControl(control, TRect{R - position.Width() - H, V, R - H, V + position.Height()}, false);
        R -= rect_width(control.ControlRect()) + H + 1;
    };
    using enum TPageTabScrollButtons;
    if (shown && (buttons == csbLeft || buttons == csbLeftAndRight))
        place_left(*FScrollButtonLeftControl, *display.ScrollButtonLeft());
    if (shown && buttons == csbLeft) place_left(*FScrollButtonRightControl, *display.ScrollButtonRight());
    const auto& add = *display.AddButton();
    const int add_h = add.Offsets()->Horizontal(), add_v = add.Offsets()->Vertical();
    if (add.Visibility() == TAddButtonVisibility::avLeft) {
        PlaceControl(*FAddButtonControl, TRect{L + add_h, add_v, L + add_h + add.Width(), add_v + add.Height()}, false);
        L += add.Width() + add_h + 1;
    }
    if (shown && (buttons == csbRight || buttons == csbLeftAndRight))
        place_right(*FScrollButtonRightControl, *display.ScrollButtonRight());
    if (shown && buttons == csbRight) place_right(*FScrollButtonLeftControl, *display.ScrollButtonLeft());
    if (add.Visibility() == TAddButtonVisibility::avRightFixed ||
        add.Visibility() == TAddButtonVisibility::avRightFloating) {
        FMaxAddButtonRight = R - add.Width() - add_h;
        if (add.Visibility() == TAddButtonVisibility::avRightFixed)
            PlaceControl(*FAddButtonControl, TRect{FMaxAddButtonRight, add_v, R - add_h, add_v + add.Height()}, false);
        R -= add.Width() + add_h + 1;
    }

    FTabContainerRect = TRect{L + tabs.OffsetLeft(), tabs.OffsetTop(), R - tabs.OffsetRight(),
                              ClientHeight() - tabs.OffsetBottom()};
    if (FOptions->Behaviour()->TabSmartDeleteResizing() && HasState(TPageTabState::stsDeletingUnPinnedTabs) &&
        HasState(TPageTabState::stsEndTabDeleted)) {
        // The container ends where the closed tab ended, so the others keep their width under the mouse.
        const int old = FScrollOffset;
        FScrollOffset = std::max(0, FScrollOffset - rect_width(FClosedTabRect) + tabs.TabOverlap());
        const int D = old - FScrollOffset;
        FTabContainerRect.Right = FClosedTabRect.Right - D;
        if (D > 0) ExcludeState(TPageTabState::stsEndTabDeleted);
    }
}

void TCustomPageTabs::ComputeTabWidth(int& Width, int& Remainder) {
    const auto& tabs = *FOptions->Display()->Tabs();
    Width = 0;
    Remainder = 0;
    int P = VisiblePinnedTabCount(false), U = VisibleUnpinnedTabCount(false);
    // A tab dragged in from another strip takes its place among the others here.
    const IPageTabDockControl* self = this;
    if (FActiveDragTabObject && FActiveDragTabObject->SourceControl() != self) {
        if (FActiveDragTabObject->DragTab()->Pinned())
            ++P;
        else
            ++U;
    }
    const int container = rect_width(FTabContainerRect);
    int available = tabs.ShowPinnedTabText() ? container - tabs.TabOverlap()
                                             : container - P * tabs.PinnedWidth() - tabs.TabOverlap();
    if (FActiveDragTabObject) available += tabs.TabOverlap();
    if (tabs.ShowPinnedTabText()) {
        if (P + U > 0) {
            Width = available / (P + U);
            Remainder = available % (P + U);
        }
    } else if (U > 0) {
        Width = available / U;
        Remainder = available % U;
    }
    if (Width < tabs.MinWidth()) {
        Width = tabs.MinWidth();
        Remainder = 0;
    } else if (Width > tabs.MaxWidth()) {
        Width = tabs.MaxWidth();
        Remainder = 0;
    }
}

int TCustomPageTabs::ContentTabWidth(TPageTabControl& TabControl) {
    const auto& tabs = *FOptions->Display()->Tabs();
    int width = TabControl.GetTabWidthByContent();
    if (width > tabs.MaxWidth())
        width = tabs.MaxWidth();
    else if (width < tabs.MinWidth())
        width = tabs.MinWidth();
    DoOnSetTabWidth(&TabControl, width);
    return width;
}

void TCustomPageTabs::PlaceTabRun(int& X, int TabWidth, int Remainder, bool Pinned) {
    const auto& tabs = *FOptions->Display()->Tabs();
    const int first = Pinned ? 0 : LastPinnedIndex() + 1;
    const int last = Pinned ? LastPinnedIndex() : FTabs->Count() - 1;
    const bool sized_run = !Pinned || tabs.ShowPinnedTabText();
    std::optional<drag_gap> gap = PlaceDraggedTab(Pinned, TabWidth);
    int last_width = 0; // of the run's last tab as laid out
    for (int i = first; i <= last; ++i) {
        TPageTab* tab = FTabs->Items(i);
        TPageTabControl* control = tab->TabControl();
        if (!tab->Visible() || !control || LeftOutOfLayout(*tab)) continue;
        const int extra = sized_run && !tabs.TabWidthFromContent() && !tab->MarkedForDeletion() && Remainder > 0;
        if (tab->MarkedForDeletion()) {
            last_width = rect_width(control->ControlRect());
            X += last_width;
            FScrollWidth += last_width;
            continue;
        }
        --Remainder;
        if (HasState(TPageTabState::stsResizing)) {
            FMovementEaseType = TPageTabsEaseType::ttNone;
            FMovementAnimationTime = 0;
        }
        int width = TabWidth;
        if (tabs.TabWidthFromContent() && sized_run) width = ContentTabWidth(*control);
        if (gap) OpenDragGap(*gap, X, *tab, width);
        PlaceControl(*control,
                     TRect{X, tabs.OffsetTop(), X + width + tabs.TabOverlap(), ClientHeight() - tabs.OffsetBottom()},
                     true);
        last_width = width + tabs.TabOverlap();
        X += width + extra;
        FScrollWidth += width + extra;
    }
    if (gap) CloseDragGap(*gap, X, Pinned, last_width);
}

void TCustomPageTabs::ShiftTabsAfterClosedTab() {
    const auto& tabs = *FOptions->Display()->Tabs();
    const auto& remove = *FOptions->Animation()->MovementAnimations()->TabDelete();
    const auto& animation = *FOptions->Animation();
    const TPageTabsEaseType delete_ease =
        remove.UseDefaultEaseType() ? animation.DefaultMovementEaseType() : remove.EaseType();
    const int slot = HasState(TPageTabState::stsAnimatingCloseTab) && delete_ease != TPageTabsEaseType::ttNone
                         ? FClosedTabIndex + 1
                         : FClosedTabIndex;
    int X = FClosedTabRect.Left;
    for (int i = std::max(0, FClosedTabIndex); i < FTabs->Count(); ++i) {
        TPageTab* tab = FTabs->Items(i);
        TPageTabControl* control = tab->TabControl();
        if (!tab->Visible() || !control) continue;
        const int width = i == slot ? rect_width(FClosedTabRect) : rect_width(control->ControlRect());
        if (!tab->MarkedForDeletion())
            PlaceControl(*control, TRect{X, tabs.OffsetTop(), X + width, ClientHeight() - tabs.OffsetBottom()}, true);
        X += width - tabs.TabOverlap();
        FScrollWidth = X;
    }
}

void TCustomPageTabs::LayoutTabRects() {
    struct finally {
        TCustomPageTabs* self;
        ~finally() {
            if (self->HasState(TPageTabState::stsCancellingDrag) || self->HasState(TPageTabState::stsCompletingDrag)) {
                self->ExcludeState(TPageTabState::stsCancellingDrag);
                self->ExcludeState(TPageTabState::stsCompletingDrag);
            }
            self->ExcludeState(TPageTabState::stsResizing);
        }
    } at_end{this};
    const auto& display = *FOptions->Display();
    const auto& tabs = *display.Tabs();
    FScrollWidth = 0;
    int X = FTabContainerRect.Left;
    if (HasState(TPageTabState::stsDeletingUnPinnedTabs) && HasState(TPageTabState::stsTabDeleted)) {
        ShiftTabsAfterClosedTab();
    } else {
        // While this strip's own drag is over it the tabs keep their widths: the dragged tab's place
        // is the gap it opens.
        const IPageTabDockControl* self = this;
        const bool own_drag_here = FDragTabObject && FDragTabObject->DockControl() == self;
        if (!own_drag_here && !tabs.TabWidthFromContent()) ComputeTabWidth(FAdjustedTabWidth, FTabEndSpace);
        PlaceTabRun(X, tabs.ShowPinnedTabText() ? FAdjustedTabWidth : tabs.PinnedWidth(), 0, true);
        PlaceTabRun(X, FAdjustedTabWidth, FTabEndSpace, false);
    }
    const auto& add = *display.AddButton();
    if (add.Visibility() == TAddButtonVisibility::avRightFloating) {
        int X0 = display.TabContainer()->PaddingLeft();
        const int last = VisibleTabIndexAtOrBefore(FTabs->Count() - 1);
        if (last >= 0 && FTabs->Items(last)->TabControl()) {
            const auto* control = FTabs->Items(last)->TabControl();
            X0 = (HasState(TPageTabState::stsEndTabDeleted) ? control->EndRect() : control->ControlRect()).Right +
                 add.HorizontalOffsetFloating();
        }
        X0 = GetTabDisplayState() != TTabDisplayState::tdNormal ? FMaxAddButtonRight : std::min(X0, FMaxAddButtonRight);
        const int V = add.Offsets()->Vertical();
        PlaceControl(*FAddButtonControl, TRect{X0, V, X0 + add.Width(), V + add.Height()}, false);
    }
    if (FScrollWidth != FPreviousScrollWidth) {
        FPreviousScrollWidth = FScrollWidth;
        DoOnScrollWidthChanged();
    }
}

TTabDisplayState TCustomPageTabs::GetTabDisplayState() {
    if (ScrollingActive()) return TTabDisplayState::tdScrolling;
    if (VisibleTabCount(false) == 0) return TTabDisplayState::tdNormal;
    const int last = VisibleTabIndexAtOrBefore(FTabs->Count() - 1);
    const auto* control = last >= 0 ? FTabs->Items(last)->TabControl() : nullptr;
    if (control && control->EndRect().Right >= FTabContainerRect.Right) return TTabDisplayState::tdCompressed;
    return TTabDisplayState::tdNormal;
}

// --- Scrolling

int TCustomPageTabs::MaxScrollOffset() {
    int maximum = FScrollWidth - rect_width(FTabContainerRect);
    if (FTabs->Count() > 1 && FScrollWidth > 0) maximum += FOptions->Display()->Tabs()->TabOverlap();
    return std::max(0, maximum);
}

void TCustomPageTabs::SetScrollOffset(int Value) {
    if (!FOptions->Scrolling()->Enabled() || Value == FScrollOffset) return;
    FScrollOffset = Value;
    if (FTabs->Count() > 0 && FScrollOffset > MaxScrollOffset()) FScrollOffset = MaxScrollOffset();
    if (FScrollOffset < 0) FScrollOffset = 0;
    IncludeState(TPageTabState::stsControlPositionsInvalidated);
    UpdateHoverDrawStates(true);
    RequestRepaint();
    DoOnScroll();
}

void TCustomPageTabs::ScrollIntoView(TPageTab* Tab) {
    if (!Tab || !Tab->TabControl()) return;
    const TRect& end = Tab->TabControl()->EndRect();
    const int container = rect_width(FTabContainerRect);
    if (end.Left < FScrollOffset)
        SetScrollOffset(end.Left);
    else if (end.Right > FTabContainerRect.Right + FScrollOffset)
        SetScrollOffset(end.Right + FOptions->Display()->Tabs()->TabOverlap() - container);
}

void TCustomPageTabs::FitScrollOffsetToWidth(bool Force) {
    if (FOptions->Scrolling()->Enabled() && FScrollOffset > 0 && (Force || Width() > FLastClientWidth)) {
        const int last = VisibleTabIndexAtOrBefore(FTabs->Count() - 1);
        const auto* control = last >= 0 ? FTabs->Items(last)->TabControl() : nullptr;
        if (control && control->ControlRect().Right < ClientWidth() + FScrollOffset) SetScrollOffset(MaxScrollOffset());
    }
    FLastClientWidth = Width();
}

void TCustomPageTabs::ScrollTabs(TScrollDirection Direction, bool StartTimer) {
    if (GetTabDisplayState() != TTabDisplayState::tdScrolling) return;
    FScrollDirection = Direction;
    int step = FOptions->Scrolling()->ScrollStep();
    if (right_to_left()) step = -step;
    if (Direction == TScrollDirection::mdsLeft) SetScrollOffset(FScrollOffset - step);
    if (Direction == TScrollDirection::mdsRight) SetScrollOffset(FScrollOffset + step);
    if (StartTimer) FScrollTimer->SetEnabled(true);
}

// --- TPageTabs

const property_table& TPageTabs::PublishedProperties() const {
    using C = TCustomPageTabs; // where the properties live
    static const property_table table =
        property_table::of<C>(TCustomControl::PublishedProperties())
            .persistent(u"Options", [](const C& c) { return &const_cast<C&>(c).Options(); })
            .persistent(u"LookAndFeel", [](const C& c) { return &const_cast<C&>(c).LookAndFeel(); })
            .persistent(u"Tabs", [](const C& c) { return &const_cast<C&>(c).Tabs(); })
            .integer(u"ActiveTabIndex", &C::ActiveTabIndex, &C::SetActiveTabIndex, -1)
            .component(u"Images", &C::Images, &C::SetImages)
            .component(u"ImagesOverlay", &C::ImagesOverlay, &C::SetImagesOverlay)
            .component(u"ImagesSpinnerUpload", &C::ImagesSpinnerUpload, &C::SetImagesSpinnerUpload)
            .component(u"ImagesSpinnerDownload", &C::ImagesSpinnerDownload, &C::SetImagesSpinnerDownload)
            .event(u"OnActiveTabChanging", &C::OnActiveTabChanging)
            .event(u"OnChange", &C::OnChange)
            .event(u"OnActiveTabChanged", &C::OnActiveTabChanged)
            .event(u"OnDebugLog", &C::OnDebugLog)
            .event(u"OnButtonAddClick", &C::OnButtonAddClick)
            .event(u"OnButtonCloseTabClick", &C::OnButtonCloseTabClick)
            .event(u"OnNeedDragImageControl", &C::OnNeedDragImageControl)
            .event(u"OnCreateDragForm", &C::OnCreateDragForm)
            .event(u"OnStateChange", &C::OnStateChange)
            .event(u"OnBeforeDrawItem", &C::OnBeforeDrawItem)
            .event(u"OnAfterDrawItem", &C::OnAfterDrawItem)
            .event(u"OnGetControlPolygons", &C::OnGetControlPolygons)
            .event(u"OnShowHint", &C::OnShowHint)
            .event(u"OnTabDblClick", &C::OnTabDblClick)
            .event(u"OnTabDragStart", &C::OnTabDragStart)
            .event(u"OnTabDragOver", &C::OnTabDragOver)
            .event(u"OnTabDragDrop", &C::OnTabDragDrop)
            .event(u"OnTabDragDropped", &C::OnTabDragDropped)
            .event(u"OnTabDragEnd", &C::OnTabDragEnd)
            .event(u"OnScroll", &C::OnScroll)
            .event(u"OnScrollWidthChanged", &C::OnScrollWidthChanged)
            .event(u"OnAnimateStyle", &C::OnAnimateStyle)
            .event(u"OnAnimateMovement", &C::OnAnimateMovement)
            .event(u"OnSetTabWidth", &C::OnSetTabWidth)
            .event(u"OnAfterDragImageCreated", &C::OnAfterDragImageCreated)
            .event(u"OnTabPopupMenu", &C::OnTabPopupMenu);
    return table;
}

} // namespace kq
