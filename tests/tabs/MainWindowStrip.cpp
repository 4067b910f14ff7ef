#include "tests/tabs/MainWindowStrip.h"

#include "framework/Graphics.h"
#include "tabs/PageTabs.h"

namespace kq::test {

namespace {

void set_position(TPageTabsControlPosition& p, int vertical, int horizontal, int width, int height) {
    p.Offsets()->SetVertical(vertical);
    p.Offsets()->SetHorizontal(horizontal);
    p.SetWidth(width);
    p.SetHeight(height);
}

void apply_options(TOptions& o) {
    TPageTabsDisplayOptions& display = *o.Display();
    TPageTabsCloseButtonProperties& close = *display.CloseButton();
    set_position(close, 6, 2, 14, 14);
    close.SetAutoHide(true);
    close.SetAutoHideWidth(20);
    close.SetVisibility(TCloseButtonVisiblity::bvAll);
    close.SetCrossRadialOffset(4);

    TPageTabsAddButtonProperties& add = *display.AddButton();
    set_position(add, 8, 2, 31, 14);
    add.SetShowPlusSign(false);
    add.SetVisibility(TAddButtonVisibility::avRightFloating);
    add.SetHorizontalOffsetFloating(-3);
    set_position(*display.ScrollButtonLeft(), 10, 8, 15, 15);
    set_position(*display.ScrollButtonRight(), 10, 8, 15, 15);

    TPageTabModifiedDisplayOptions& glow = *display.TabModifiedGlow();
    glow.SetStyle(TPageTabModifiedStyle::msRightToLeft);
    glow.SetVerticalOffset(-6);
    glow.SetWidth(100);
    glow.SetHeight(30);
    glow.SetAnimationPeriodMS(4000);
    glow.SetEaseType(TPageTabsEaseType::ttEaseInOutQuad);
    glow.SetAnimationUpdateMS(50);

    TPageTabsOptions& tabs = *display.Tabs();
    tabs.SetSeeThroughTabs(true);
    tabs.SetTabOverlap(15);
    tabs.SetContentOffsetLeft(18);
    tabs.SetContentOffsetRight(16);
    tabs.SetOffsetLeft(0);
    tabs.SetOffsetTop(3);
    tabs.SetOffsetRight(0);
    tabs.SetOffsetBottom(0);
    tabs.SetMinWidth(25);
    tabs.SetMaxWidth(200);
    tabs.SetTabWidthFromContent(false);
    tabs.SetPinnedWidth(39);
    tabs.SetImageOffsetLeft(13);
    tabs.SetTextTrimType(TTextTrimType::tttFade);
    tabs.SetOrientation(TTabOrientation::toTop);
    tabs.SetBaseLineTabRegionOnly(true);
    tabs.SetWordWrap(false);
    tabs.SetTextAlignmentHorizontal(TAlignment::taLeftJustify);
    tabs.SetTextAlignmentVertical(TVerticalAlignment::taVerticalCenter);
    tabs.SetShowImages(true);
    tabs.SetShowPinnedTabText(false);

    TPageTabsContainerOptions& container = *display.TabContainer();
    container.SetTransparentBackground(true);
    container.SetOverlayButtons(true);
    container.SetPaddingLeft(0);
    container.SetPaddingRight(0);
    set_position(*display.TabMouseGlow(), 0, 0, 200, 200);
    display.TabMouseGlow()->SetVisible(true);

    TPageTabsSpinnersOptions& spinners = *display.TabSpinners();
    const struct {
        TPageTabsSpinnerOptions* spinner;
        bool reverse;
        int step;
    } spinner_values[] = {{spinners.Upload(), true, 4}, {spinners.Download(), false, 15}};
    for (const auto& s : spinner_values) {
        s.spinner->SetReverseDirection(s.reverse);
        s.spinner->SetRenderedAnimationStep(s.step);
        set_position(*s.spinner->Position(), 0, 0, 16, 16);
        s.spinner->SetSweepAngle(135);
    }
    spinners.SetAnimationUpdateMS(50);
    spinners.SetHideImagesWhenSpinnerVisible(true);

    TPageTabsDragOptions& drag = *o.DragDrop();
    drag.SetDragType(TPageTabDragType::dtNone);
    drag.SetDragOutsideImageAlpha(220);
    drag.SetDragOutsideDistancePixels(30);
    drag.SetDragStartPixels(2);
    drag.SetDragControlImageResizeFactor(0.5);
    drag.SetDragCursor(crDefault);
    drag.SetDragDisplay(TPageTabDragDisplay::ddTabAndControl);
    drag.SetDragFormBorderWidth(2);
    drag.SetDragFormBorderColor(8421504);
    drag.SetContrainDraggedTabWithinContainer(false);

    TPageTabsAnimationOptions& animation = *o.Animation();
    animation.SetDefaultMovementAnimationTimeMS(100);
    animation.SetDefaultStyleAnimationTimeMS(300);
    animation.SetAnimationTimerInterval(15);
    animation.SetMinimumTabAnimationWidth(40);
    animation.SetDefaultMovementEaseType(TPageTabsEaseType::ttLinearTween);
    animation.SetDefaultStyleEaseType(TPageTabsEaseType::ttLinearTween);
    const struct {
        TPageTabsMovementAnimationTypes* kind;
        bool use_defaults;
    } kinds[] = {{animation.MovementAnimations()->TabAdd(), true},
                 {animation.MovementAnimations()->TabDelete(), true},
                 {animation.MovementAnimations()->TabMove(), false}};
    for (const auto& k : kinds) {
        k.kind->SetEaseType(TPageTabsEaseType::ttEaseOutExpo);
        k.kind->SetAnimationTimeMS(500);
        k.kind->SetUseDefaultEaseType(k.use_defaults);
        k.kind->SetUseDefaultAnimationTime(k.use_defaults);
    }

    TPageTabsBehaviourOptions& behaviour = *o.Behaviour();
    behaviour.SetBackgroundDblClickMaximiseRestoreForm(true);
    behaviour.SetBackgroundDragMovesForm(true);
    behaviour.SetTabSmartDeleteResizing(true);
    behaviour.SetTabSmartDeleteResizeCancelDelay(700);
    behaviour.SetUseBuiltInPopupMenu(true);
    behaviour.SetTabRightClickSelect(true);
    behaviour.SetActivateNewTab(true);
    behaviour.SetDebugMode(false);
    behaviour.SetIgnoreDoubleClicksWhileAnimatingMovement(true);

    TPageTabsScrollOptions& scrolling = *o.Scrolling();
    scrolling.SetEnabled(true);
    scrolling.SetScrollButtons(TPageTabScrollButtons::csbRight);
    scrolling.SetScrollStep(20);
    scrolling.SetScrollRepeatDelay(20);
    scrolling.SetAutoHideButtons(true);
    scrolling.SetDragScroll(true);
    scrolling.SetDragScrollOffset(50);
    scrolling.SetMouseWheelScroll(true);
}

void apply_look(TPageTabsLookAndFeel& look) {
    TPageTabsLookAndFeelTab& tabs = *look.Tabs();
    TPageTabsLookAndFeelButtonItems& circle = *look.CloseButton()->Circle();
    TPageTabsLookAndFeelButtonItems& add = *look.AddButton()->Button();
    TPageTabsLookAndFeelButtonItems& plus = *look.AddButton()->PlusSign();
    TPageTabsLookAndFeelDisabledButton& scroll = *look.ScrollButtons()->Button();
    TPageTabsLookAndFeelDisabledButton& arrow = *look.ScrollButtons()->Arrow();
    const style_values white_on_gray{clWhite, clWhite, 255, 255, clGray, 1.0f, 255};
    const style_values arrow_shown{clWhite, clWhite, 255, 255, clGray, 1.0f, 200};
    const struct {
        TPageTabsLookAndFeelStyle* style;
        style_values values;
    } styles[] = {
        {look.TabsContainer(), {16744448, 8388863, 255, 255, clRed, 1.0f, 0}},
        {tabs.Active()->Style(), {clWhite, 16316920, 255, 255, 10189918, 1.0f, 255}},
        {tabs.NotActive()->Style(), {15194573, 15194573, 210, 230, 13546390, 1.0f, 215}},
        {tabs.Hot()->Style(), {15721176, 15589847, 255, 255, 12423799, 1.0f, 235}},
        {circle.Normal(), {clGradientActiveCaption, clNone, 0, 0, clGray, 1.0f, 0}},
        {circle.Down(), {3487169, 3487169, 255, 255, clGray, 1.0f, 255}},
        {circle.Hot(), {9408475, 9803748, 255, 255, 6054595, 1.0f, 255}},
        {add.Normal(), {14340292, 14340035, 255, 255, 13088421, 1.0f, 255}},
        {add.Down(), {13417645, 13417644, 255, 255, 10852748, 1.0f, 255}},
        {add.Hot(), {15524314, 15524314, 255, 255, 14927787, 1.0f, 255}},
        {plus.Normal(), white_on_gray},
        {plus.Down(), white_on_gray},
        {plus.Hot(), white_on_gray},
        {scroll.Normal(), {14735310, 14274499, 255, 255, 11507842, 1.0f, 255}},
        {scroll.Down(), {13417645, 13417644, 255, 255, 10852748, 1.0f, 255}},
        {scroll.Hot(), {15524314, 15524313, 255, 255, 14927788, 1.0f, 255}},
        {scroll.Disabled(), {14340036, 14274499, 150, 150, 11113341, 1.0f, 100}},
        {arrow.Normal(), arrow_shown},
        {arrow.Down(), arrow_shown},
        {arrow.Hot(), arrow_shown},
        {arrow.Disabled(), {clSilver, clSilver, 150, 150, clGray, 1.0f, 200}},
    };
    for (const auto& s : styles) set_style(*s.style, s.values);

    set_pen(*tabs.BaseLine(), 11110509, 1.0f, 255);
    set_pen(*tabs.Spinners()->Upload(), 12759975, 2.5f, 255);
    set_pen(*tabs.Spinners()->Download(), 14388040, 2.5f, 255);
    TPageTabsLookAndFeelPenItem& cross = *look.CloseButton()->Cross();
    set_pen(*cross.Normal(), 6643031, 1.5f, 255);
    set_pen(*cross.Down(), 15461369, 2.0f, 220);
    set_pen(*cross.Hot(), clWhite, 2.0f, 220);

    set_font(*tabs.DefaultFont(), clBlack, 255);
    set_font(*tabs.Active()->Font(), clOlive, 100);
    tabs.Active()->Font()->SetUseDefaultFont(true);
    set_font(*tabs.NotActive()->Font(), 4603477, 215);
    tabs.NotActive()->Font()->SetUseDefaultFont(false);
    set_font(*tabs.Hot()->Font(), 4210752, 215);
    tabs.Hot()->Font()->SetUseDefaultFont(false);

    const struct {
        TPageTabsLookAndFeelGlow* glow;
        int centre_alpha;
    } glows[] = {{tabs.Modified(), 130}, {tabs.MouseGlow(), 120}};
    for (const auto& g : glows) {
        g.glow->SetCentreColor(clWhite);
        g.glow->SetOutsideColor(clWhite);
        g.glow->SetCentreAlpha(g.centre_alpha);
        g.glow->SetOutsideAlpha(0);
    }
}

} // namespace

void apply_main_window_settings(TCustomPageTabs& Strip) {
    Strip.BeginUpdate();
    apply_options(Strip.Options());
    apply_look(Strip.LookAndFeel());
    Strip.EndUpdate();
}

} // namespace kq::test
