#include "tabs/PageTabsControls.h"

#include "framework/Conversions.h"
#include "framework/GdiPlus.h"
#include "framework/ImageLists.h"
#include "framework/TickClock.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"
#include "tabs/PageTabsStyleTransitions.h"
#include "tabs/PageTabsUtils.h"

#include <algorithm>
#include <cassert>

namespace kq {


// --- Base

TBasePageTabsControl::TBasePageTabsControl(IPageTabs* PageTabs) : FPageTabs(PageTabs) { assert(PageTabs); }

TOptions& TBasePageTabsControl::options() const { return *FPageTabs->GetOptions(); }

bool TBasePageTabsControl::right_to_left() const {
    const TBiDiMode mode = FPageTabs->CurrentBiDiMode();
    return mode == TBiDiMode::bdRightToLeft || mode == TBiDiMode::bdRightToLeftNoAlign;
}

TRect TBasePageTabsControl::BiDiControlRect() const {
    return FOverrideBidi ? FControlRect : FPageTabs->MirrorRect(FControlRect);
}

void TBasePageTabsControl::NotifyDrawStateChanged() {
    FPageTabs->HandleTabChange(nullptr, TTabChangeType::tcControlState);
}

void TBasePageTabsControl::StopStyleAnimation() {}

void TBasePageTabsControl::Invalidate() {
    FInvalidated = true;
    FPicture.clear();
}

bool TBasePageTabsControl::describe_pixels(picture_key&, TPoint, int, int, IPageTabPolygons*) { return false; }

page_tab_polygons TBasePageTabsControl::InternalGetPolygons(TPageTabItemType ControlType,
                                                            const std::shared_ptr<const TGPBrush>& DefaultBrush,
                                                            const std::shared_ptr<const TGPPen>& DefaultPen) {
    page_tab_polygons result;
    FPageTabs->DoOnGetControlPolygons(this, FControlRect, ControlType, options().Display()->Tabs()->Orientation(),
                                      result);
    if (result) {
        for (int i = 0; i < result->PolygonCount(); ++i) {
            TPageTabPolygon& polygon = result->GetPolygons(i);
            if (!polygon.Brush()) polygon.SetBrush(DefaultBrush);
            if (!polygon.Pen()) polygon.SetPen(DefaultPen);
        }
    }
    return result;
}

bool TBasePageTabsControl::AnimateMovement() {
    const bool result = FStartTicks != 0 && FCurrentTickCount < FAnimationTime;
    if (result) {
        FCurrentTickCount = std::min<std::uint32_t>(tick_count() - FStartTicks, FAnimationTime);
        FControlRect = InterpolateRectEased(FStartRect, FEndRect, FCurrentTickCount, FAnimationTime, FEaseType);
    }
    return result;
}

bool TBasePageTabsControl::AnimateStyle() { return false; }

TRect TBasePageTabsControl::ControlRectScrolled() const { return FPageTabs->OffsetByBidiScroll(FControlRect); }

bool TBasePageTabsControl::ContainsPoint(TPoint Pt) {
    const page_tab_polygons polygons = GetPolygons();
    if (!polygons) return false;
    for (int i = 0; i < polygons->PolygonCount(); ++i)
        if (IsPointInsidePolygon(polygons->GetPolygons(i).Polygon(), Pt.X, Pt.Y)) return true;
    return false;
}

TPolygon TBasePageTabsControl::NewPolygon(const TRect& ControlRect, std::span<const TPoint> Points,
                                          TTabOrientation Orientation) const {
    return PositionPolygon(ScrolledItemRect(ControlRect), Points, Orientation);
}

void TBasePageTabsControl::SetDrawState(TDrawState Value, int, TPageTabsEaseType, bool ForceUpdate) {
    if (!ForceUpdate && Value == FDrawState) return;
    FDrawState = Value;
    NotifyDrawStateChanged();
}

void TBasePageTabsControl::SetPosition(const TRect& ARect, std::uint32_t AnimationTime, TPageTabsEaseType EaseType) {
    FEaseType = EaseType;
    FAnimationTime = AnimationTime;
    if (FPositionInitialised && EaseType != TPageTabsEaseType::ttNone) {
        if (FEndRect == ARect) return; // already on its way there
        FEndRect = ARect;
        FStartRect = FControlRect;
        FStartTicks = tick_count();
        FCurrentTickCount = 0;
        return;
    }
    FPositionInitialised = true;
    StopStyleAnimation();
    FControlRect = FStartRect = FEndRect = ARect;
    FCurrentTickCount = AnimationTime;
}

void TBasePageTabsControl::SetHeight(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType) {
    TRect r = FControlRect;
    r.Bottom = r.Top + Value;
    SetPosition(r, AnimationTime, EaseType);
}

void TBasePageTabsControl::SetWidth(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType) {
    TRect r = FControlRect;
    r.Right = r.Left + Value;
    SetPosition(r, AnimationTime, EaseType);
}

void TBasePageTabsControl::SetLeft(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType) {
    const TRect r{Value, FControlRect.Top, Value + width_of(FControlRect), FControlRect.Bottom};
    SetPosition(r, AnimationTime, EaseType);
}

void TBasePageTabsControl::SetTop(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType) {
    const TRect r{FControlRect.Left, Value, FControlRect.Right, Value + height_of(FControlRect)};
    SetPosition(r, AnimationTime, EaseType);
}

TPolygon TBasePageTabsControl::BidiPolygon(const TPolygon& Polygon) const {
    return right_to_left() ? MirrorPolygon(BiDiControlRect(), Polygon) : Polygon;
}

TRect TBasePageTabsControl::ScrolledItemRect(const TRect& R) const {
    return FScrollableControl ? FPageTabs->OffsetByBidiScroll(R) : R;
}

TRect TBasePageTabsControl::MirroredContentRect(const TRect& R) const {
    return right_to_left() ? FPageTabs->MirrorRect(R) : R;
}

// --- Tab item

TPageTabControl::TPageTabControl(IPageTabs* PageTabs, IPageTab* TabInterface)
    : TBasePageTabsControl(PageTabs), FPageTab(TabInterface),
      FPageTabControlPropertyItems(std::make_unique<TPageTabControlPropertyItems>()) {
    FControlType = TPageTabItemType::itTab;
    FScrollableControl = true;
}

TPageTabControl::~TPageTabControl() = default;

void TPageTabControl::SetCloseButtonState(TDrawState Value) {
    if (Value == FCloseButtonState) return;
    FCloseButtonState = Value;
    page_tabs().HandleTabChange(FPageTab->GetPageTab(), TTabChangeType::tcControlState);
}

void TPageTabControl::Invalidate() {
    TBasePageTabsControl::Invalidate();
    FBrushInvalidated = true;
    FPenInvalidated = true;
}

void TPageTabControl::StopStyleAnimation() {
    FPageTabControlPropertyItems->EndAnimation();
    AnimateStyle();
}

void TPageTabControl::SetDrawState(TDrawState Value, int AnimationTimeMS, TPageTabsEaseType EaseType,
                                   bool ForceUpdate) {
    if (ForceUpdate || Value != FDrawState) {
        TPageTabsLookAndFeelTab& look = *page_tabs().GetLookAndFeel()->Tabs();
        FTabProperties = Value == TDrawState::dsActive ? look.Active()
                         : Value == TDrawState::dsHot  ? look.Hot()
                                                       : look.NotActive();
        TPageTabsLookAndFeelBaseFont* default_font =
            FTabProperties->Font()->UseDefaultFont() ? look.DefaultFont() : nullptr;
        FPageTabControlPropertyItems->SetProperties(*FTabProperties->Style(), FTabProperties->Font(), default_font,
                                                    static_cast<std::uint32_t>(AnimationTimeMS), EaseType);
        Invalidate();
    }
    TBasePageTabsControl::SetDrawState(Value, AnimationTimeMS, EaseType, ForceUpdate);
}

bool TPageTabControl::AnimateStyle() {
    const bool changed = FPageTabControlPropertyItems->TransformColors(false);
    if (changed) Invalidate();
    return changed;
}

std::shared_ptr<const TGPBrush> TPageTabControl::TabBrush() {
    if (FBrushInvalidated || !FTabBrush) {
        FBrushInvalidated = false;
        const TPageTabControlProperties& current = FPageTabControlPropertyItems->CurrentTabProperties();
        // A gradient needs two distinct points; an item not yet given a height still gets a brush.
        const auto top = static_cast<float>(FControlRect.Top);
        const auto bottom = static_cast<float>(std::max(FControlRect.Bottom, FControlRect.Top + 1));
        FTabBrush = std::make_shared<TGPLinearGradientBrush>(
            Gdiplus::PointF(0, top), Gdiplus::PointF(0, bottom),
            MakeGPColor(current.StartColor, static_cast<std::uint8_t>(current.StartAlpha)),
            MakeGPColor(current.StopColor, static_cast<std::uint8_t>(current.StopAlpha)));
    }
    return FTabBrush;
}

std::shared_ptr<const TGPPen> TPageTabControl::TabPen() {
    if (FPenInvalidated || !FTabPen) {
        FPenInvalidated = false;
        const TPageTabControlProperties& current = FPageTabControlPropertyItems->CurrentTabProperties();
        FTabPen = std::make_shared<TGPPen>(
            MakeGPColor(current.OutlineColor, static_cast<std::uint8_t>(current.OutlineAlpha)), current.OutlineSize);
    }
    return FTabPen;
}

page_tab_polygons TPageTabControl::GetPolygons() {
    if (page_tab_polygons supplied = InternalGetPolygons(TPageTabItemType::itTab, TabBrush(), TabPen())) return supplied;
    const int w = width_of(FControlRect);
    const int h = height_of(FControlRect);
    const TPoint shape[] = {{0, h},      {4, h - 3},      {12, 3},         {13, 2},         {14, 1},     {16, 0},
                            {w - 16, 0}, {w - 14, 1},     {w - 13, 2},     {w - 12, 3},     {w - 4, h - 3}, {w, h}};
    auto result = std::make_shared<TPageTabPolygons>();
    // Symmetric, so placing it in the mirrored rectangle is all right-to-left needs.
    result->AddPolygon(NewPolygon(BiDiControlRect(), shape, options().Display()->Tabs()->Orientation()), TabBrush(),
                       TabPen());
    return result;
}

// --- Layout of the content

TRect TPageTabControl::GetCloseButonRect() const {
    const TPageTabsCloseButtonProperties& close = *options().Display()->CloseButton();
    const int left = FControlRect.Right - options().Display()->Tabs()->ContentOffsetRight() - close.Width() -
                     close.Offsets()->Horizontal();
    const int top = FControlRect.Top + close.Offsets()->Vertical();
    return {left, top, left + close.Width(), top + close.Height()};
}

TRect TPageTabControl::GetCloseButtonCrossRect() const {
    const int inset = options().Display()->CloseButton()->CrossRadialOffset();
    const TRect r = GetCloseButonRect();
    return {r.Left + inset, r.Top + inset, r.Right - inset, r.Bottom - inset};
}

bool TPageTabControl::CloseButtonShown() const {
    const TPageTabsCloseButtonProperties& close = *options().Display()->CloseButton();
    const TPageTabsOptions& tabs = *options().Display()->Tabs();
    if (!FPageTab->Active() &&
        width_of(FControlRect) - tabs.ContentOffsetRight() - tabs.ContentOffsetLeft() <= close.AutoHideWidth())
        return false;
    if (FPageTab->HideCloseButton()) return false;
    switch (close.Visibility()) {
    case TCloseButtonVisiblity::bvAll: return !FPageTab->Pinned();
    case TCloseButtonVisiblity::bvActive: return !FPageTab->Pinned() && FDrawState == TDrawState::dsActive;
    case TCloseButtonVisiblity::bvNever: return false;
    }
    return false;
}

bool TPageTabControl::image_shown(TCustomImageList* list, int index) const {
    return options().Display()->Tabs()->ShowImages() && list && index >= 0 && index < list->Count();
}

tab_content_rects TPageTabControl::CalculateContentRects() const {
    const TPageTabsOptions& tabs = *options().Display()->Tabs();
    const TPageTabsSpinnersOptions& spinners = *options().Display()->TabSpinners();
    const TRect& cr = FControlRect;
    const int cx = cr.Left + width_of(cr) / 2;
    const int cy = cr.Top + height_of(cr) / 2;
    tab_content_rects r;

    r.CloseRect = GetCloseButonRect();
    r.CrossRect = GetCloseButtonCrossRect();
    const bool close_shown = CloseButtonShown();
    int right;
    if (close_shown) {
        right = r.CloseRect.Left - 1;
    } else {
        right = cr.Right - tabs.ContentOffsetRight();
        r.CloseRect.Left = r.CloseRect.Right;
    }
    int left = cr.Left + tabs.ContentOffsetLeft();

    TCustomImageList* images = page_tabs().GetImages();
    TCustomImageList* overlays = page_tabs().GetImagesOverlay();
    r.ShowImage = image_shown(images, FPageTab->ImageIndex());
    r.ShowOverlay = image_shown(overlays, FPageTab->ImageIndexOverlay());
    r.ShowSpinner = FPageTab->SpinnerState() != TPageTabSpinnerState::tssNone &&
                    !page_tabs().ComponentStateOf().contains(TComponentStateFlag::csDesigning);

    int iw = 0, ih = 0;
    if (r.ShowSpinner) {
        const TPageTabsControlPosition& position = FPageTab->SpinnerState() == TPageTabSpinnerState::tssRenderedUpload
                                                       ? *spinners.Upload()->Position()
                                                       : *spinners.Download()->Position();
        iw = position.Width();
        ih = position.Height();
    }
    // An overlay list may come without a main list: only lists that exist give a size.
    if (((r.ShowImage && !(r.ShowSpinner && spinners.HideImagesWhenSpinnerVisible())) || r.ShowOverlay) && images) {
        iw = std::max(iw, images->Width());
        ih = std::max(ih, images->Height());
    }
    if (r.ShowOverlay) {
        iw = std::max(iw, overlays->Width());
        ih = std::max(ih, overlays->Height());
    }
    const bool with_text = !FPageTab->Pinned() || tabs.ShowPinnedTabText();
    if (left + iw > right) {
        r.ShowImage = r.ShowOverlay = r.ShowSpinner = false;
    } else if (with_text) {
        r.ImageRect = {left, cy - ih / 2, left + iw, cy - ih / 2 + ih};
        left += iw + 1;
    } else {
        r.ImageRect = {cx - iw / 2, cy - ih / 2, cx - iw / 2 + iw, cy - ih / 2 + ih};
    }

    r.ShowText = with_text && right - left >= 5;
    if (r.ShowText) r.TextRect = {left, cr.Top, right, cr.Bottom};

    if (close_shown && !r.ShowImage && !r.ShowOverlay && !r.ShowSpinner && !r.ShowText) {
        for (TRect* centred : {&r.CloseRect, &r.CrossRect}) {
            const int w = width_of(*centred);
            centred->Left = cx - w / 2;
            centred->Right = centred->Left + w;
        }
    }

    for (TRect* placed : {&r.ImageRect, &r.TextRect, &r.CloseRect, &r.CrossRect})
        *placed = ScrolledItemRect(MirroredContentRect(*placed));
    return r;
}

THitTestArea TPageTabControl::GetHitTestArea(int MouseX, int MouseY) {
    // The close button is hit-tested where it stands uncentred, even when it is drawn centred.
    if (CloseButtonShown()) {
        const TRect close = page_tabs().OffsetByBidiScroll(MirroredContentRect(GetCloseButonRect()));
        if (MouseX >= close.Left && MouseX < close.Right && MouseY >= close.Top && MouseY < close.Bottom)
            return THitTestArea::htCloseButton;
    }
    return ContainsPoint({MouseX, MouseY}) ? THitTestArea::htTab : THitTestArea::htBackground;
}

int TPageTabControl::GetTabWidthByContent() {
    const TPageTabsOptions& tabs = *options().Display()->Tabs();
    const int height = height_of(FControlRect);
    TGPBitmap bitmap(std::max(tabs.MaxWidth(), 1), std::max(height, 1));
    TGPGraphics canvas(bitmap);
    const TPageTabControlProperties& stop = FPageTabControlPropertyItems->StopTabProperties();
    const TPageTabControlProperties& current = FPageTabControlPropertyItems->CurrentTabProperties();
    const TGPFont font(stop.FontName, static_cast<float>(current.FontSize));
    TGPStringFormat format(0);
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    canvas.SetTextRenderingHint(stop.TextRendoringMode);
    const Gdiplus::RectF box = canvas.MeasureString(FPageTab->Caption(), font,
                                                    Gdiplus::RectF(0, 0, 1000, static_cast<float>(height)), &format);
    const int text_width = static_cast<int>(Round(box.Width));

    const tab_content_rects r = CalculateContentRects();
    const TRect item = ScrolledItemRect(FControlRect);
    const int x = r.ShowImage || r.ShowOverlay || r.ShowSpinner ? r.ImageRect.Right : item.Left + tabs.ContentOffsetLeft();
    return text_width + (x - item.Left) + (item.Right - r.CloseRect.Left) - tabs.TabOverlap();
}

// --- Steps of the glow and the spinner

TCustomImageList* TPageTabControl::spinner_image_list() const {
    switch (FPageTab->SpinnerState()) {
    case TPageTabSpinnerState::tssImageUpload: return page_tabs().GetImagesSpinnerUpload();
    case TPageTabSpinnerState::tssImageDownload: return page_tabs().GetImagesSpinnerDownload();
    default: return nullptr;
    }
}

bool TPageTabControl::AnimateSpinner() {
    const TPageTabSpinnerState state = FPageTab->SpinnerState();
    TCustomImageList* list = spinner_image_list();
    const bool rendered =
        state == TPageTabSpinnerState::tssRenderedUpload || state == TPageTabSpinnerState::tssRenderedDownload;
    if (!list && !rendered) return false;

    if (rendered) {
        const TPageTabsSpinnersOptions& spinners = *options().Display()->TabSpinners();
        const TPageTabsSpinnerOptions& spinner =
            state == TPageTabSpinnerState::tssRenderedUpload ? *spinners.Upload() : *spinners.Download();
        if (spinner.ReverseDirection()) {
            FSpinnerRenderedDegrees -= spinner.RenderedAnimationStep();
            if (FSpinnerRenderedDegrees < 0) FSpinnerRenderedDegrees += 360;
        } else {
            FSpinnerRenderedDegrees += spinner.RenderedAnimationStep();
            if (FSpinnerRenderedDegrees > 360) FSpinnerRenderedDegrees -= 360;
        }
    } else if (state == TPageTabSpinnerState::tssImageUpload) {
        if (--FSpinnerImageIndex < 0) FSpinnerImageIndex = list->Count() - 1;
    } else {
        if (++FSpinnerImageIndex >= list->Count()) FSpinnerImageIndex = 0;
    }
    return true;
}

bool TPageTabControl::AnimateModified() {
    const TPageTabModifiedDisplayOptions& glow = *options().Display()->TabModifiedGlow();
    // A period of 0 would divide by zero: no sweep then.
    if (!FPageTab->Modified() || glow.Style() == TPageTabModifiedStyle::msNone || glow.AnimationPeriodMS() <= 0) {
        FModifiedStartTicks = 0;
        return false;
    }
    const std::uint32_t now = tick_count();
    const auto period = static_cast<std::uint32_t>(glow.AnimationPeriodMS());
    if (FModifiedStartTicks == 0 || now - FModifiedStartTicks > period) {
        if (now - FModifiedStartTicks > period) FModifiedMovingLeft = !FModifiedMovingLeft;
        FModifiedStartTicks = now;
    }
    const TRect r = ScrolledItemRect(FControlRect);
    const int from = r.Left - glow.Width();
    const int to = r.Right;
    const int offset = static_cast<int>(Round(ComputeEasedValue(glow.EaseType(), now - FModifiedStartTicks, 0,
                                                               to - from, glow.AnimationPeriodMS())));
    const bool leftwards = glow.Style() == TPageTabModifiedStyle::msRightToLeft ||
                           (glow.Style() == TPageTabModifiedStyle::msKnightRider && FModifiedMovingLeft);
    FModifiedPosition = leftwards ? to - offset : from + offset;
    return true;
}

} // namespace kq
