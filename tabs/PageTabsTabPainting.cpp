// How a tab paints itself on the strip's canvas.

#include "framework/Conversions.h"
#include "framework/GdiPlus.h"
#include "framework/ImageLists.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsControls.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"
#include "tabs/PageTabsStyleTransitions.h"
#include "tabs/PageTabsUtils.h"

#include <algorithm>
#include <array>

namespace kq {

namespace {

bool in_list(TCustomImageList* list, int index) {
    return list && index >= 0 && index < list->Count();
}

Gdiplus::StringAlignment near_or_far(bool leading) {
    return leading ? Gdiplus::StringAlignmentNear : Gdiplus::StringAlignmentFar;
}

} // namespace

void TPageTabControl::DrawTo(TGPGraphics& TabCanvas, int MouseX, int MouseY, IPageTabPolygons* ClipPolygons) {
    if (!FTabProperties) return;
    const int tab_index = FPageTab->GetIndex();
    TPageTabsLookAndFeel& look = *page_tabs().GetLookAndFeel();
    const TPageTabsDisplayOptions& display = *options().Display();

    if (ClipPolygons)
        for (int i = 0; i < ClipPolygons->PolygonCount(); ++i)
            SetClipPolygon(TabCanvas, ClipPolygons->GetPolygons(i).Polygon(), Gdiplus::CombineModeExclude);
    const TGPRegion saved_clip = TabCanvas.Clip();
    const page_tab_polygons polygons = GetPolygons();
    const tab_content_rects r = CalculateContentRects();

    bool handled = false;
    page_tabs().DoOnBeforeDrawItem(TabCanvas, FControlRect, TPageTabItemType::itTab, tab_index, handled);
    if (!handled && polygons) polygons->DrawTo(TabCanvas, TDrawToFunctions::dfBrush);

    // The glows stay inside the tab's shape; a handler may have supplied no shape at all.
    if (polygons && polygons->PolygonCount() > 0) {
        const TPolygon& shape = polygons->GetPolygons(0).Polygon();
        SetClipPolygon(TabCanvas, shape, Gdiplus::CombineModeIntersect);

        const TPageTabModifiedDisplayOptions& modified = *display.TabModifiedGlow();
        if (FPageTab->Modified() && modified.Style() != TPageTabModifiedStyle::msNone) {
            handled = false;
            page_tabs().DoOnBeforeDrawItem(TabCanvas, FControlRect, TPageTabItemType::itTabModifiedGlow, tab_index,
                                           handled);
            if (!handled) {
                const TPageTabsLookAndFeelGlow& colours = *look.Tabs()->Modified();
                DrawRadialGlow(TabCanvas, modified_glow_rect(), colours.CentreColor(), colours.OutsideColor(),
                               colours.CentreAlpha(), colours.OutsideAlpha());
            }
        }

        if (mouse_glow_shown(shape, MouseX, MouseY)) {
            handled = false;
            page_tabs().DoOnBeforeDrawItem(TabCanvas, FControlRect, TPageTabItemType::itTabMouseGlow, tab_index,
                                           handled);
            if (!handled) {
                const int w = display.TabMouseGlow()->Width(), h = display.TabMouseGlow()->Height();
                const TPageTabsLookAndFeelGlow& colours = *look.Tabs()->MouseGlow();
                DrawRadialGlow(TabCanvas, {MouseX - w / 2, MouseY - h / 2, MouseX + w / 2, MouseY + h / 2},
                               colours.CentreColor(), colours.OutsideColor(), colours.CentreAlpha(),
                               colours.OutsideAlpha());
            }
        }
        TabCanvas.SetClip(saved_clip, Gdiplus::CombineModeReplace);
    }

    if (r.ShowText) {
        handled = false;
        page_tabs().DoOnBeforeDrawItem(TabCanvas, r.TextRect, TPageTabItemType::itTabText, tab_index, handled);
        if (!handled) DrawTabCaption(TabCanvas, r.TextRect);
        page_tabs().DoOnAfterDrawItem(TabCanvas, r.TextRect, TPageTabItemType::itTabText, tab_index);
    }

    handled = false;
    page_tabs().DoOnBeforeDrawItem(TabCanvas, FControlRect, TPageTabItemType::itTabOutline, tab_index, handled);
    if (!handled && polygons) polygons->DrawTo(TabCanvas, TDrawToFunctions::dfPen);

    if (CloseButtonShown()) {
        handled = false;
        page_tabs().DoOnBeforeDrawItem(TabCanvas, r.CloseRect, TPageTabItemType::itTabCloseButton, tab_index,
                                       handled);
        if (!handled) {
            const TPageTabsLookAndFeelCloseButton& close = *look.CloseButton();
            TPageTabsLookAndFeelStyle* circle = close.Circle()->Normal();
            TPageTabsLookAndFeelPen* cross = close.Cross()->Normal();
            if (FCloseButtonState == TDrawState::dsDown) {
                circle = close.Circle()->Down();
                cross = close.Cross()->Down();
            } else if (FCloseButtonState == TDrawState::dsHot) {
                circle = close.Circle()->Hot();
                cross = close.Cross()->Hot();
            }
            // A part without colour is skipped: it would leave every pixel as it was, yet a call costs as
            // much as one that paints.
            const Gdiplus::RectF ellipse = RectToGPRectF(r.CloseRect);
            if (circle->StartAlpha() > 0 || circle->StopAlpha() > 0)
                TabCanvas.FillEllipse(*circle->GetBrush(r.CloseRect), ellipse);
            if (circle->OutlineAlpha() > 0) TabCanvas.DrawEllipse(*circle->GetPen(), ellipse);
            const auto x = [](int v) { return static_cast<float>(v); };
            const TRect& c = r.CrossRect;
            try {
                if ((cross->Alpha() & 0xFF) > 0) {
                    const std::shared_ptr<TGPPen> pen = cross->GetPen();
                    TabCanvas.DrawLine(*pen, {x(c.Left), x(c.Top)}, {x(c.Right), x(c.Bottom)});
                    TabCanvas.DrawLine(*pen, {x(c.Left), x(c.Bottom)}, {x(c.Right), x(c.Top)});
                }
            } catch (const Exception&) {
                // A cross that fails to draw leaves the circle; the tab still paints.
            }
        }
        page_tabs().DoOnAfterDrawItem(TabCanvas, r.CloseRect, TPageTabItemType::itTabCloseButton, tab_index);
    }

    if (!(r.ShowSpinner && display.TabSpinners()->HideImagesWhenSpinnerVisible())) {
        if (r.ShowImage)
            DrawTabImage(TabCanvas, page_tabs().GetImages(), FPageTab->ImageIndex(), r.ImageRect,
                         TPageTabItemType::itTabImage);
        if (r.ShowOverlay)
            DrawTabImage(TabCanvas, page_tabs().GetImagesOverlay(), FPageTab->ImageIndexOverlay(), r.ImageRect,
                         TPageTabItemType::itTabImageOverlay);
    }
    if (r.ShowSpinner) DrawTabSpinner(TabCanvas, r.ImageRect);

    page_tabs().DoOnAfterDrawItem(TabCanvas, FControlRect, TPageTabItemType::itTab, tab_index);
}

void TPageTabControl::DrawRadialGlow(TGPGraphics& TabCanvas, const TRect& R, TColor CentreColor,
                                     TColor OutsideColor, std::uint8_t CentreAlpha, std::uint8_t OutsideAlpha) {
    TGPGraphicsPath path;
    path.AddEllipse(RectToGPRectF(R));
    TGPPathGradientBrush brush(path);
    brush.SetCenterPoint(Gdiplus::PointF(static_cast<float>(R.Left + width_of(R) / 2),
                                         static_cast<float>(R.Top + height_of(R) / 2)));
    brush.SetCenterColor(MakeGPColor(CentreColor, CentreAlpha));
    const ARGB outside[] = {MakeGPColor(OutsideColor, OutsideAlpha)};
    brush.SetSurroundColors(outside);
    TabCanvas.FillPath(brush, path);
}

void TPageTabControl::DrawTabCaption(TGPGraphics& TabCanvas, const TRect& TextRect) {
    const TPageTabsOptions& tabs = *options().Display()->Tabs();
    const bool debug = options().Behaviour()->DebugMode();
    const TPageTabControlProperties& stop = FPageTabControlPropertyItems->StopTabProperties();
    const TPageTabControlProperties& current = FPageTabControlPropertyItems->CurrentTabProperties();
    const TBiDiMode bidi = page_tabs().CurrentBiDiMode();

    const TGPFont& font = caption_font(stop.FontName, debug ? 7.0f : static_cast<float>(current.FontSize));
    const Gdiplus::RectF layout = RectToGPRectF(TextRect);
    TGPLinearGradientBrush brush(layout, MakeGPColor(current.FontColor, current.FontAlpha),
                                 MakeGPColor(current.FontColor, 0), Gdiplus::LinearGradientModeHorizontal);
    TGPStringFormat format(0);
    TabCanvas.SetTextRenderingHint(stop.TextRendoringMode);

    const int width = width_of(TextRect);
    // Below 12 pixels the fade point would fall before the left edge: such a caption fades over its
    // whole width.
    const float fade = std::clamp(width > 80 ? 0.85f : 0.85f - static_cast<float>(80 - width) / 80.0f, 0.0f, 0.85f);
    std::array<float, 3> factors{0, 0, 0};
    std::array<float, 3> positions{0, fade, 1};
    if (tabs.TabWidthFromContent() && width_of(FControlRect) < tabs.MaxWidth() + tabs.TabOverlap()) {
        format.SetTrimming(Gdiplus::StringTrimmingNone);
    } else if (tabs.TextTrimType() == TTextTrimType::tttFade) {
        format.SetTrimming(Gdiplus::StringTrimmingNone);
        if (bidi == TBiDiMode::bdRightToLeft) {
            factors = {1, 0, 0};
            positions = {0, 1 - fade, 1};
        } else {
            factors = {0, 0, 1};
        }
    } else {
        format.SetTrimming(static_cast<Gdiplus::StringTrimming>(tabs.TextTrimType()));
    }
    brush.SetBlend({factors, positions});

    switch (tabs.TextAlignmentVertical()) {
    case TVerticalAlignment::taAlignTop: format.SetLineAlignment(Gdiplus::StringAlignmentNear); break;
    case TVerticalAlignment::taAlignBottom: format.SetLineAlignment(Gdiplus::StringAlignmentFar); break;
    case TVerticalAlignment::taVerticalCenter: format.SetLineAlignment(Gdiplus::StringAlignmentCenter); break;
    }
    const bool plain_order = bidi == TBiDiMode::bdLeftToRight || bidi == TBiDiMode::bdRightToLeft;
    switch (tabs.TextAlignmentHorizontal()) {
    case TAlignment::taLeftJustify: format.SetAlignment(near_or_far(plain_order)); break;
    case TAlignment::taRightJustify: format.SetAlignment(near_or_far(!plain_order)); break;
    case TAlignment::taCenter: format.SetAlignment(Gdiplus::StringAlignmentCenter); break;
    }

    int flags = 0;
    if (!debug) {
        if (!tabs.WordWrap()) flags |= Gdiplus::StringFormatFlagsNoWrap;
        if (bidi != TBiDiMode::bdLeftToRight) flags |= Gdiplus::StringFormatFlagsDirectionRightToLeft;
    }
    format.SetFlags(flags);

    TabCanvas.DrawString(caption_text(), font, layout, &format, brush);
}

String TPageTabControl::caption_text() const {
    const TRect& cr = FControlRect;
    return options().Behaviour()->DebugMode()
               ? Format(u"L: %d, T: %d, R: %d: B: %d W: %d H: %d",
                        {cr.Left, cr.Top, cr.Right, cr.Bottom, width_of(cr), height_of(cr)})
               : FPageTab->Caption();
}

TRect TPageTabControl::modified_glow_rect() const {
    const TPageTabModifiedDisplayOptions& modified = *options().Display()->TabModifiedGlow();
    TRect glow{FModifiedPosition, modified.VerticalOffset(), FModifiedPosition + modified.Width(),
               modified.Height() + modified.VerticalOffset()};
    // Bottom tabs hang from the strip's top edge: the glow sits the same distance from the tab's bottom
    // edge as it does from the top on top tabs.
    if (options().Display()->Tabs()->Orientation() == TTabOrientation::toBottom) {
        glow.Bottom = FControlRect.Bottom - modified.VerticalOffset();
        glow.Top = glow.Bottom - modified.Height();
    }
    return MirroredContentRect(glow);
}

bool TPageTabControl::mouse_glow_shown(const TPolygon& Shape, int MouseX, int MouseY) const {
    return options().Display()->TabMouseGlow()->Visible() && !page_tabs().HasActiveDragObject() &&
           IsPointInsidePolygon(Shape, MouseX, MouseY);
}

bool TPageTabControl::describe_pixels(picture_key& Key, TPoint Origin, int MouseX, int MouseY,
                                      IPageTabPolygons* ClipPolygons) {
    if (!FTabProperties) return false;
    const tab_content_rects r = CalculateContentRects();
    // An image list tells the strip of no changed image: a tab showing one draws every time.
    if (r.ShowImage || r.ShowOverlay || (r.ShowSpinner && spinner_image_list())) return false;
    const page_tab_polygons polygons = GetPolygons();
    if (!polygons || polygons->PolygonCount() == 0) return false;

    // The body's gradient runs from the rectangle's top to its bottom: tabs are kept across moves
    // sideways only.
    Key.add(FControlRect.Top);
    Key.add(FControlRect.Bottom);
    Key.add(width_of(FControlRect));
    Key.add(FDrawState);
    Key.add(FCloseButtonState);
    Key.add(CloseButtonShown());
    Key.add(FPageTabControlPropertyItems->CurrentTabProperties());
    Key.add(FPageTabControlPropertyItems->StopTabProperties());
    Key.add(r.ShowText);
    if (r.ShowText) {
        Key.add(r.TextRect, Origin);
        Key.add(caption_text());
    }
    Key.add(r.CloseRect, Origin);
    Key.add(r.CrossRect, Origin);
    Key.add(r.ShowSpinner);
    if (r.ShowSpinner) {
        Key.add(FPageTab->SpinnerState());
        Key.add(FSpinnerRenderedDegrees);
        Key.add(r.ImageRect, Origin);
    }
    const bool modified = FPageTab->Modified() &&
                          options().Display()->TabModifiedGlow()->Style() != TPageTabModifiedStyle::msNone;
    Key.add(modified);
    if (modified) Key.add(modified_glow_rect(), Origin);
    const bool mouse_glow = mouse_glow_shown(polygons->GetPolygons(0).Polygon(), MouseX, MouseY);
    Key.add(mouse_glow);
    if (mouse_glow) Key.add(TPoint{MouseX - Origin.X, MouseY - Origin.Y});
    const int over = ClipPolygons ? ClipPolygons->PolygonCount() : 0;
    Key.add(over);
    for (int i = 0; i < over; ++i) {
        const TPolygon& polygon = ClipPolygons->GetPolygons(i).Polygon();
        Key.add(static_cast<std::uint64_t>(polygon.size()));
        for (const TPoint& p : polygon) Key.add(TPoint{p.X - Origin.X, p.Y - Origin.Y});
    }
    return true;
}

const TGPFont& TPageTabControl::caption_font(const String& name, float size) {
    // Finding the family by name costs about as much as drawing the caption: the font is kept until
    // the look asks for another name or size.
    if (!FCaptionFont || FCaptionFontName != name || FCaptionFontSize != size) {
        FCaptionFont = std::make_unique<TGPFont>(name, size);
        FCaptionFontName = name;
        FCaptionFontSize = size;
    }
    return *FCaptionFont;
}

void TPageTabControl::DrawTabImage(TGPGraphics& TabCanvas, TCustomImageList* List, int Index, const TRect& R,
                                   TPageTabItemType ItemType) {
    // A list that went away or an index outside it (a spinner frame past a shortened list) draws nothing.
    if (!in_list(List, Index)) return;
    const int tab_index = FPageTab->GetIndex();
    bool handled = false;
    page_tabs().DoOnBeforeDrawItem(TabCanvas, R, ItemType, tab_index, handled);
    if (!handled) {
        const TGPImage image = ImageListToGPImage(*List, Index);
        TabCanvas.DrawImage(image, static_cast<float>(R.Left), static_cast<float>(R.Top));
    }
    page_tabs().DoOnAfterDrawItem(TabCanvas, R, ItemType, tab_index);
}

void TPageTabControl::DrawTabSpinner(TGPGraphics& TabCanvas, const TRect& ImageRect) {
    bool handled = false;
    page_tabs().DoOnBeforeDrawItem(TabCanvas, ImageRect, TPageTabItemType::itTabImageSpinner, FPageTab->GetIndex(),
                                   handled);
    if (handled) return;
    const TPageTabSpinnerState state = FPageTab->SpinnerState();
    if (state == TPageTabSpinnerState::tssRenderedUpload || state == TPageTabSpinnerState::tssRenderedDownload) {
        const bool upload = state == TPageTabSpinnerState::tssRenderedUpload;
        const TPageTabsSpinnersOptions& spinners = *options().Display()->TabSpinners();
        const TPageTabsSpinnerOptions& o = upload ? *spinners.Upload() : *spinners.Download();
        const TPageTabsLookAndFeelSpinners& looks = *page_tabs().GetLookAndFeel()->Tabs()->Spinners();
        const TPageTabsLookAndFeelPen& k = upload ? *looks.Upload() : *looks.Download();
        const float half = k.Thickness() / 2;
        const TGPPen pen(MakeGPColor(k.Color(), static_cast<std::uint8_t>(k.Alpha())), k.Thickness());
        const TPageTabsControlPosition& at = *o.Position();
        TabCanvas.DrawArc(pen,
                          {static_cast<float>(ImageRect.Left + at.Offsets()->Horizontal()) + half,
                           static_cast<float>(ImageRect.Top + at.Offsets()->Vertical()) + half,
                           static_cast<float>(at.Width()) - 2 * half, static_cast<float>(at.Height()) - 2 * half},
                          static_cast<float>(FSpinnerRenderedDegrees), static_cast<float>(o.SweepAngle()));
        return;
    }
    if (TCustomImageList* list = spinner_image_list())
        DrawTabImage(TabCanvas, list, FSpinnerImageIndex, ImageRect, TPageTabItemType::itTabImageSpinner);
}

} // namespace kq
