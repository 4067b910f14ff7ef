// How the strip paints itself: everything into a back buffer over the parent's background, then one
// copy to the window.

#include "framework/GdiPlus.h"
#include "framework/Graphics.h"
#include "framework/Handles.h"
#include "framework/TickClock.h"
#include "tabs/PageTabs.h"
#include "tabs/PageTabsUtils.h"

#include <cstdint>
#include <vector>

namespace kq {

namespace {

void size_buffer(std::unique_ptr<TBitmap>& buffer, int width, int height) {
    if (!buffer) {
        buffer = std::make_unique<TBitmap>();
        buffer->SetPixelFormat(TPixelFormat::pf32bit);
    }
    buffer->SetSize(width, height);
}

} // namespace

void TCustomPageTabs::ClipToTabArea(TGPGraphics& Canvas) {
    Canvas.ResetClip();
    Canvas.SetClip(RectToGPRectF(tab_area()), Gdiplus::CombineModeReplace);
}

TRect TCustomPageTabs::tab_area() {
    const TPageTabsOptions& tabs = *FOptions->Display()->Tabs();
    const TRect area = FOptions->Display()->TabContainer()->OverlayButtons()
                           ? TRect{tabs.OffsetLeft(), tabs.OffsetTop(), Width() - tabs.OffsetRight(),
                                   ClientHeight() - tabs.OffsetBottom()}
                           : FTabContainerRect;
    return MirrorRect(area);
}

bool TCustomPageTabs::keeps_item_pictures() const {
    return !OnBeforeDrawItem && !OnAfterDrawItem && !OnGetControlPolygons;
}

void TCustomPageTabs::DrawStrip() {
    if (!IsReadyForUpdates()) return;
    const std::uint32_t started = tick_count();
    auto report = scope_exit([&] { DoOnDebugLog(u"Canvas Draw: %d ms", {tick_count() - started}); });

    if (ExcludeState(TPageTabState::stsControlPositionsInvalidated) ||
        (HasState(TPageTabState::stsAnimatingMovement) && GetTabDisplayState() == TTabDisplayState::tdNormal))
        LayoutAll();
    if (ExcludeState(TPageTabState::stsFirstPaint)) UpdateHoverDrawStates(true);

    const int width = ClientWidth();
    const int height = ClientHeight();
    // A strip without area has nothing to show, and a bitmap of no pixels is no GDI+ target.
    if (width <= 0 || height <= 0) return;
    size_buffer(FCanvasBmp, width, height);
    size_buffer(FBackgroundBmp, width, height);

    {
        TGPGraphics canvas(FCanvasBmp->Canvas().Handle());
        TGPGraphics background(FBackgroundBmp->Canvas().Handle());
        const auto smoothing = static_cast<Gdiplus::SmoothingMode>(FOptions->Display()->Tabs()->FCanvasSmoothingMode);
        canvas.SetSmoothingMode(smoothing);
        background.SetSmoothingMode(smoothing);
        const TRect client{0, 0, width, height};

        std::vector<TGPGraphics*> filled;
        bool handled = false;
        DoOnBeforeDrawItem(canvas, client, TPageTabItemType::itTabContainer, -1, handled);
        if (!handled) filled.push_back(&canvas);
        handled = false;
        DoOnBeforeDrawItem(background, client, TPageTabItemType::itBackground, -1, handled);
        if (!handled) filled.push_back(&background);

        PaintParentBackground(*this, FCanvasBmp->Canvas());
        PaintParentBackground(*this, FBackgroundBmp->Canvas());
        if (!FOptions->Display()->TabContainer()->TransparentBackground()) {
            TPageTabsLookAndFeelStyle& container = *FLookAndFeel->TabsContainer();
            const Gdiplus::RectF r = RectToGPRectF(client);
            for (TGPGraphics* target : filled) {
                target->FillRectangle(*container.GetBrush(client), r);
                target->DrawRectangle(*container.GetPen(), r);
            }
        }
        DoOnAfterDrawItem(background, client, TPageTabItemType::itBackground, -1);

        // An item draws into the back buffer clipped to Clip (the canvas clip), or comes back from its
        // kept picture when that shows what it would draw.
        FRedrawnItems = 0;
        const bool keeping = keeps_item_pictures();
        const TRect buffer_rect{0, 0, width, height};
        buffer_snapshot before;
        auto draw_item = [&](TBasePageTabsControl& item, TRect clip, IPageTabPolygons* over, auto&& draw) {
            item_picture& picture = item.kept_picture();
            picture_key key;
            const TRect place = item.ScrolledItemRect(item.BiDiControlRect());
            const TPoint origin{place.Left, place.Top};
            // While a handler may draw over items the pictures wait unused: they stay true to their keys.
            if (!keeping) {
                ++FRedrawnItems;
                draw();
                return;
            }
            if (!item.describe_pixels(key, origin, FLastMouseX, FLastMouseY, over) ||
                !IntersectRects(clip, clip, buffer_rect)) {
                picture.clear();
                ++FRedrawnItems;
                draw();
                return;
            }
            // Antialiased edges and outlines reach past the shape; the picture proves it changed
            // nothing outside this margin before it is kept.
            constexpr int margin = 3;
            TRect bounds{place.Left - margin, place.Top - margin, place.Right + margin, place.Bottom + margin};
            if (!IntersectRects(bounds, bounds, clip)) bounds = {};
            key.add(FPictureGeneration);
            key.add(BiDiMode());
            key.add(bounds, origin);
            if (!RectIsEmpty(bounds) && picture.put(*FCanvasBmp, bounds, key)) return;
            ++FRedrawnItems;
            before.take(*FCanvasBmp, clip);
            draw();
            picture.keep(*FCanvasBmp, before, bounds, std::move(key), static_cast<std::int64_t>(width) * height);
        };

        const TPageTabsOptions& tabs = *FOptions->Display()->Tabs();
        TPageTab* active = FTabs->ActiveTab();
        const int active_index = active ? active->GetIndex() : -1;
        auto in_view = [&](const TRect& r) { return r.Right >= FScrollOffset && r.Left <= Width() + FScrollOffset; };
        auto first_polygon = [](TPageTabControl& control, TPageTabPolygons& into) {
            const page_tab_polygons shapes = control.GetPolygons();
            if (shapes && shapes->PolygonCount() > 0) into.AddPolygon(shapes->GetPolygons(0).Polygon(), nullptr, nullptr);
        };

        for (int i = FTabs->Count() - 1; i >= 0; --i) {
            TPageTab* tab = FTabs->Items(i);
            TPageTabControl* control = tab->TabControl();
            if (!control || !tab->Visible() || i == active_index || !in_view(control->ControlRect())) continue;
            ClipToTabArea(canvas);
            TPageTabPolygons over;
            if (!tabs.SeeThroughTabs()) {
                // While this strip drags its active tab, that tab is elsewhere: nothing of it is kept out.
                const bool dragging = FDragTabObject != nullptr;
                for (int left = i - 1; left >= 0; --left) {
                    TPageTab* neighbour = FTabs->Items(left);
                    if (!neighbour->Visible() || !neighbour->TabControl()) continue;
                    if (!(dragging && neighbour == active)) first_polygon(*neighbour->TabControl(), over);
                    break;
                }
                if (!dragging && active && active->TabControl() && active_index == i + 1)
                    first_polygon(*active->TabControl(), over);
            }
            IPageTabPolygons* const kept_out = over.PolygonCount() > 0 ? &over : nullptr;
            draw_item(*control, tab_area(), kept_out,
                      [&] { control->DrawTo(canvas, FLastMouseX, FLastMouseY, kept_out); });
        }

        if (tabs.BaseLineTabRegionOnly())
            ClipToTabArea(canvas);
        else
            canvas.ResetClip();
        const auto y = static_cast<float>(tabs.Orientation() == TTabOrientation::toTop ? FTabContainerRect.Bottom - 1
                                                                                         : FTabContainerRect.Top);
        canvas.DrawLine(*FLookAndFeel->Tabs()->BaseLine()->GetPen(), {0, y}, {static_cast<float>(Width()), y});

        ClipToTabArea(canvas);
        if (active && active->TabControl() && active->Visible() && DrawsActiveTabInPlace() &&
            in_view(active->TabControl()->ControlRect())) {
            TPageTabControl& control = *active->TabControl();
            draw_item(control, tab_area(), nullptr, [&] { control.DrawTo(canvas, FLastMouseX, FLastMouseY, nullptr); });
        }

        canvas.ResetClip();
        if (TPageTabControl* dragged = DragTabControl())
            draw_item(*dragged, client, nullptr, [&] { dragged->DrawTo(canvas, FLastMouseX, FLastMouseY, nullptr); });
        const auto draw_button = [&](TBaseChromeButtonControl& button) {
            draw_item(button, client, nullptr, [&] { button.DrawTo(canvas, FLastMouseX, FLastMouseY, nullptr); });
        };
        if (FOptions->Display()->AddButton()->Visibility() != TAddButtonVisibility::avNone && !DragHidesAddButton() &&
            width_of(FAddButtonControl->ControlRect()) <= width)
            draw_button(*FAddButtonControl);
        if (ScrollButtonsVisible())
            for (TBaseChromeButtonControl* button :
                 {static_cast<TBaseChromeButtonControl*>(FScrollButtonLeftControl.get()),
                  static_cast<TBaseChromeButtonControl*>(FScrollButtonRightControl.get())})
                // Shown but not yet placed by a layout: nothing to draw until the next one.
                if (width_of(button->ControlRect()) > 0) draw_button(*button);
        DoOnAfterDrawItem(canvas, client, TPageTabItemType::itTabContainer, -1);
    }

    ::BitBlt(Canvas().Handle(), 0, 0, width, height, FCanvasBmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

} // namespace kq
