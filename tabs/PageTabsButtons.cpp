#include "tabs/PageTabsButtons.h"

#include "framework/GdiPlus.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"
#include "tabs/PageTabsUtils.h"

#include <algorithm>
#include <cassert>

namespace kq {

namespace {

std::shared_ptr<TGPLinearGradientBrush> gradient(const TRect& r, const TPageTabControlProperties& p) {
    // A gradient needs two distinct points; a button placed nowhere (hidden) still gets a brush.
    return std::make_shared<TGPLinearGradientBrush>(
        Gdiplus::PointF(0, static_cast<float>(r.Top)),
        Gdiplus::PointF(0, static_cast<float>(std::max(r.Bottom, r.Top + 1))),
        MakeGPColor(p.StartColor, static_cast<std::uint8_t>(p.StartAlpha)),
        MakeGPColor(p.StopColor, static_cast<std::uint8_t>(p.StopAlpha)));
}

std::shared_ptr<TGPPen> outline(const TPageTabControlProperties& p) {
    return std::make_shared<TGPPen>(MakeGPColor(p.OutlineColor, static_cast<std::uint8_t>(p.OutlineAlpha)),
                                    p.OutlineSize);
}

} // namespace

// --- Base button

TBaseChromeButtonControl::TBaseChromeButtonControl(IPageTabs* PageTabs) : TBasePageTabsControl(PageTabs) {}

TBaseChromeButtonControl::~TBaseChromeButtonControl() = default;

TPageTabsLookAndFeel& TBaseChromeButtonControl::look_and_feel() const {
    TPageTabsLookAndFeel* look = page_tabs().GetLookAndFeel();
    assert(look);
    return *look;
}

std::shared_ptr<const TGPBrush> TBaseChromeButtonControl::ButtonBrush() {
    if (!FButtonBrush) FButtonBrush = gradient(FControlRect, FButtonControlPropertyItems.CurrentTabProperties());
    return FButtonBrush;
}

std::shared_ptr<const TGPPen> TBaseChromeButtonControl::ButtonPen() {
    if (!FButtonPen) FButtonPen = outline(FButtonControlPropertyItems.CurrentTabProperties());
    return FButtonPen;
}

std::shared_ptr<const TGPBrush> TBaseChromeButtonControl::SymbolBrush() {
    if (!FSymbolBrush) FSymbolBrush = gradient(FControlRect, FSymbolControlPropertyItems.CurrentTabProperties());
    return FSymbolBrush;
}

std::shared_ptr<const TGPPen> TBaseChromeButtonControl::SymbolPen() {
    if (!FSymbolPen) FSymbolPen = outline(FSymbolControlPropertyItems.CurrentTabProperties());
    return FSymbolPen;
}

void TBaseChromeButtonControl::SetDrawState(TDrawState Value, int AnimationTimeMS, TPageTabsEaseType EaseType,
                                            bool ForceUpdate) {
    if (ForceUpdate || Value != FDrawState) {
        FDrawState = Value;
        SelectButtonStyles();
        assert(FButtonStyle && FSymbolStyle);
        const auto duration = static_cast<std::uint32_t>(AnimationTimeMS);
        FButtonControlPropertyItems.SetProperties(*FButtonStyle, nullptr, nullptr, duration, EaseType);
        FSymbolControlPropertyItems.SetProperties(*FSymbolStyle, nullptr, nullptr, duration, EaseType);
        Invalidate();
    }
    TBasePageTabsControl::SetDrawState(Value, AnimationTimeMS, EaseType, ForceUpdate);
}

bool TBaseChromeButtonControl::AnimateStyle() {
    bool changed = FButtonControlPropertyItems.TransformColors(false);
    if (changed) {
        FButtonBrush.reset();
        FButtonPen.reset();
        if (FSymbolControlPropertyItems.TransformColors(false)) {
            FSymbolBrush.reset();
            FSymbolPen.reset();
        }
        Invalidate();
    }
    return changed;
}

void TBaseChromeButtonControl::Invalidate() {
    TBasePageTabsControl::Invalidate();
    FButtonBrush.reset();
    FButtonPen.reset();
    FSymbolBrush.reset();
    FSymbolPen.reset();
}

void TBaseChromeButtonControl::DrawTo(TGPGraphics& TabCanvas, int, int, IPageTabPolygons*) {
    bool handled = false;
    page_tabs().DoOnBeforeDrawItem(TabCanvas, FControlRect, FControlType, -1, handled);
    if (!handled) {
        if (const page_tab_polygons polygons = GetPolygons()) polygons->DrawTo(TabCanvas, TDrawToFunctions::dfBrushAndPen);
    }
    page_tabs().DoOnAfterDrawItem(TabCanvas, FControlRect, FControlType, -1);
}

bool TBaseChromeButtonControl::describe_pixels(picture_key& Key, TPoint, int, int, IPageTabPolygons*) {
    // The gradients run from the rectangle's top to its bottom: buttons are kept across moves sideways.
    Key.add(FControlRect.Top);
    Key.add(FControlRect.Bottom);
    Key.add(width_of(FControlRect));
    Key.add(FDrawState);
    Key.add(FButtonControlPropertyItems.CurrentTabProperties());
    Key.add(FSymbolControlPropertyItems.CurrentTabProperties());
    return true;
}

// --- Add button

TAddButtonControl::TAddButtonControl(IPageTabs* PageTabs) : TBaseChromeButtonControl(PageTabs) {
    FControlType = TPageTabItemType::itAddButton;
    FButtonStyle = look_and_feel().AddButton()->Button()->Normal();
    FSymbolStyle = look_and_feel().AddButton()->PlusSign()->Normal();
}

void TAddButtonControl::SelectButtonStyles() {
    const TPageTabsLookAndFeelAddButton& add = *look_and_feel().AddButton();
    switch (FDrawState) {
    case TDrawState::dsDown:
        FButtonStyle = add.Button()->Down();
        FSymbolStyle = add.PlusSign()->Down();
        break;
    case TDrawState::dsHot:
        FButtonStyle = add.Button()->Hot();
        FSymbolStyle = add.PlusSign()->Hot();
        break;
    default:
        FButtonStyle = add.Button()->Normal();
        FSymbolStyle = add.PlusSign()->Normal();
        break;
    }
}

page_tab_polygons TAddButtonControl::GetPolygons() {
    if (page_tab_polygons supplied = InternalGetPolygons(TPageTabItemType::itAddButton, ButtonBrush(), ButtonPen()))
        return supplied;
    const TTabOrientation orientation = options().Display()->Tabs()->Orientation();
    const TRect r = BiDiControlRect();
    const std::int32_t w = r.Right - r.Left, h = r.Bottom - r.Top;
    const TPoint body[] = {{7, h}, {4, h - 2}, {0, 2}, {1, 0}, {w - 7, 0}, {w - 4, 2}, {w, h - 2}, {w, h}};
    auto polygons = std::make_shared<TPageTabPolygons>();
    polygons->AddPolygon(BidiPolygon(NewPolygon(r, body, orientation)), ButtonBrush(), ButtonPen());

    const TPageTabsAddButtonProperties& add = *options().Display()->AddButton();
    if (add.ShowPlusSign()) {
        const std::int32_t hx = add.Width() / 2 - 4, hy = add.Height() / 2 - 4;
        const TRect box{r.Left + hx, r.Top + hy, r.Right - hx, r.Bottom - hy};
        const TPoint plus[] = {{0, 3}, {3, 3}, {3, 0}, {6, 0}, {6, 3}, {9, 3}, {9, 6},
                               {6, 6}, {6, 9}, {3, 9}, {3, 6}, {0, 6}, {0, 3}};
        polygons->AddPolygon(BidiPolygon(NewPolygon(box, plus, orientation)), SymbolBrush(), SymbolPen());
    }
    return polygons;
}

// --- Scroll buttons

void TScrollButtonControl::SelectButtonStyles() {
    const TPageTabsLookAndFeelScrollButton& scroll = *look_and_feel().ScrollButtons();
    const auto pick = [this](TPageTabsLookAndFeelDisabledButton& items) {
        switch (FDrawState) {
        case TDrawState::dsDown: return items.Down();
        case TDrawState::dsHot: return items.Hot();
        case TDrawState::dsDisabled: return items.Disabled();
        default: return items.Normal();
        }
    };
    FButtonStyle = pick(*scroll.Button());
    FSymbolStyle = pick(*scroll.Arrow());
}

page_tab_polygons TScrollButtonControl::BuildScrollButtonPolygons(bool Left) {
    const TPageTabItemType type = Left ? TPageTabItemType::itScrollLeftButton : TPageTabItemType::itScrollRightButton;
    if (page_tab_polygons supplied = InternalGetPolygons(type, ButtonBrush(), ButtonPen())) return supplied;
    const TTabOrientation orientation = options().Display()->Tabs()->Orientation();
    const TRect r = BiDiControlRect();
    const std::int32_t w = FControlRect.Right - FControlRect.Left, h = FControlRect.Bottom - FControlRect.Top;
    const TPoint body[] = {{0, h}, {0, 0}, {w, 0}, {w, h}};
    const TPoint left_arrow[] = {{3, h / 2}, {w - 3, 2}, {w - 3, h - 2}, {3, h / 2}};
    const TPoint right_arrow[] = {{w - 3, h / 2}, {3, 2}, {3, h - 2}, {w - 3, h / 2}};
    auto polygons = std::make_shared<TPageTabPolygons>();
    polygons->AddPolygon(BidiPolygon(NewPolygon(r, body, orientation)), ButtonBrush(), ButtonPen());
    const std::span<const TPoint> arrow = Left ? std::span<const TPoint>(left_arrow) : std::span<const TPoint>(right_arrow);
    polygons->AddPolygon(BidiPolygon(NewPolygon(r, arrow, orientation)), SymbolBrush(), SymbolPen());
    return polygons;
}

TScrollButtonLeftControl::TScrollButtonLeftControl(IPageTabs* PageTabs) : TScrollButtonControl(PageTabs) {
    FControlType = TPageTabItemType::itScrollLeftButton;
}

TScrollButtonRightControl::TScrollButtonRightControl(IPageTabs* PageTabs) : TScrollButtonControl(PageTabs) {
    FControlType = TPageTabItemType::itScrollRightButton;
}

} // namespace kq
