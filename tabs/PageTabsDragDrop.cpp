// How a tab is dragged: within its strip, into another strip of the application, or out of every strip
// with an image following the mouse. The strip the drag started in keeps the mouse capture and drives
// the drag; the strip under the mouse is told through IPageTabDockControl.

#include "tabs/PageTabsDragDrop.h"

#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/LayeredWindows.h"
#include "tabs/PageTabs.h"
#include "tabs/PageTabsUtils.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <memory>

namespace kq {

namespace {

constexpr std::uint32_t drag_image_key_colour = 0xFFFEFF;
constexpr int drag_probe_step = 5;

bool reads_right_to_left(TBiDiMode mode) noexcept {
    return mode == TBiDiMode::bdRightToLeft || mode == TBiDiMode::bdRightToLeftNoAlign;
}

bool add_button_floats(const TOptions& options) {
    return options.Display()->AddButton()->Visibility() == TAddButtonVisibility::avRightFloating;
}

} // namespace

// --- Finding the strip under a point

TWindowFromPointFixThread::TWindowFromPointFixThread(TPoint Pt, int Range, int Step)
    : FPoint(Pt), FRange(Range), FStep(Step), FThread([this](TThread&) { Execute(); }) {}

void TWindowFromPointFixThread::Execute() {
    const auto probe = [this](int x, int y) { FWindows.push_back(::WindowFromPoint(POINT{x, y})); };
    // A step below one pixel would never come down to the point.
    const int step = std::max(1, FStep);
    for (int r = FRange; r >= 0; r -= step) {
        if (r == 0) {
            probe(FPoint.X, FPoint.Y);
            continue;
        }
        probe(FPoint.X - r, FPoint.Y - r);
        probe(FPoint.X + r, FPoint.Y - r);
        probe(FPoint.X + r, FPoint.Y + r);
        probe(FPoint.X - r, FPoint.Y + r);
    }
}

TCustomPageTabs* TWindowFromPointFixThread::WaitForPageTabs() {
    FThread.WaitFor();
    FPageTabs = nullptr;
    for (HWND window : FWindows)
        if ((FPageTabs = dynamic_cast<TCustomPageTabs*>(FindControl(window)))) break;
    return FPageTabs;
}

TCustomPageTabs* FindTabStripAtPoint(TPoint Pt, int Range, int Step) {
    TWindowFromPointFixThread finder(Pt, Range, Step);
    return finder.WaitForPageTabs();
}

// --- Starting

bool TCustomPageTabs::IsInsideDragArea(int X, int Y) {
    if (!HasState(TPageTabState::stsDragging) || FOptions->DragDrop()->DragType() == TPageTabDragType::dtNone)
        return true;
    const TRect r = MirrorRect(FTabContainerRect);
    return X >= r.Left && X < r.Right && Y >= r.Top && Y < r.Bottom;
}

void TCustomPageTabs::CheckDragStart(int X, int Y, const THitTestResult& Hit) {
    const auto& drag = *FOptions->DragDrop();
    if (HasState(TPageTabState::stsDragging) || drag.DragType() == TPageTabDragType::dtNone) return;
    if (!HasState(TPageTabState::stsMouseDown) || FMouseButton != TMouseButton::mbLeft ||
        FMouseDownHitTest.HitTestArea != THitTestArea::htTab || Hit.TabIndex < 0 || Hit.TabIndex >= FTabs->Count())
        return;
    if (std::abs(X - FMouseDownPoint.X) < drag.DragStartPixels() &&
        std::abs(Y - FMouseDownPoint.Y) < drag.DragStartPixels())
        return;
    bool allow = true;
    DoOnBeginTabDrag(FTabs->Items(Hit.TabIndex), allow);
    if (allow) BeginDrag(FMouseDownPoint.X, FMouseDownPoint.Y);
}

void TCustomPageTabs::BeginDrag(int MouseX, int MouseY) {
    ClearDeletionStates();
    const THitTestResult hit = HitTest(TPoint{MouseX, MouseY}, false);
    TPageTab* tab = hit.TabIndex >= 0 ? FTabs->Items(hit.TabIndex) : nullptr;
    bool allow = tab && tab->TabControl() && FOptions->DragDrop()->DragType() != TPageTabDragType::dtNone;
    if (allow) DoOnTabDragStart(tab, allow);
    if (!allow) {
        EndDrag(MouseX, MouseY, true);
        return;
    }
    SelectMovementAnimation(*FOptions->Animation()->MovementAnimations()->TabMove());
    FDragTabObject = std::make_shared<TDragTabObject>();
    IncludeState(TPageTabState::stsDragging);
    IncludeState(TPageTabState::stsDragStarted);
    // Not a scope_exit: EndDrag raises the drag's events, which may throw, and a destructor must not.
    try {
        IDragTabObject& drag = *FDragTabObject;
        const TRect& r = tab->TabControl()->ControlRect();
        const int scroll = right_to_left() ? -std::max(0, FScrollOffset) : std::max(0, FScrollOffset);
        drag.SetDragTab(tab);
        drag.SetDragCursorOffset(TPoint{MouseX + scroll - MirrorRect(r).Left, MouseY - r.Top});
        drag.SetHideAddButton(false);
        drag.SetDragPoint(TPoint{MouseX, MouseY});
        drag.SetOriginalControlRect(r);
        drag.SetDropTabIndex(tab->Index());
        drag.SetOriginalCursor(Screen->Cursor());
        drag.SetSourceControl(this);
        drag.SetDockControl(this);
        drag.SetDragOverType(TDragOverType::dotHomeContainer);
        Screen->SetCursor(FOptions->DragDrop()->DragCursor());
        bool accept = true;
        DockDragOver(this, MouseX, MouseY, TDragState::dsDragEnter, FDragTabObject, accept);
    } catch (...) {
        // A handler that raises ends the drag it is told about; no drag state outlives it.
        EndDrag(MouseX, MouseY, true);
        throw;
    }
}

// --- Moving

void TCustomPageTabs::DragMouseMove(int X, int Y) {
    const drag_tab_object drag = FDragTabObject; // handlers may end the drag meanwhile
    drag->SetDragOverType(TDragOverType::dotNone);
    switch (FOptions->DragDrop()->DragType()) {
    case TPageTabDragType::dtNone:
        break;
    case TPageTabDragType::dtWithinContainer: {
        drag->SetDragOverType(TDragOverType::dotHomeContainer);
        bool accept = true;
        DockDragOver(this, X, Y, TDragState::dsDragMove, drag, accept);
        break;
    }
    case TPageTabDragType::dtBetweenContainers: {
        // The move's own position: where the mouse was when it moved, not where it has gone since.
        const POINT p = ClientToScreen(POINT{X, Y});
        TCustomPageTabs* found =
            FindTabStripAtPoint(to_TPoint(p), FOptions->DragDrop()->DragOutsideDistancePixels(), drag_probe_step);
        if (found)
            DoOnDebugLog(u"PageTabs (%s) found at X: %d, Y: %d", {found->Name(), int{p.x}, int{p.y}});
        else
            DoOnDebugLog(u"No PageTabs found at X: %d, Y: %d", {int{p.x}, int{p.y}});
        bool over = false;
        if (found) {
            over = true;
            const POINT q = found->ScreenToClient(p);
            IPageTabDockControl* target = found;
            if (drag->DockControl() != target)
                found->DockDragOver(this, q.x, q.y, TDragState::dsDragEnter, drag, over);
            if (over) {
                if (IPageTabDockControl* old = drag->DockControl(); old && old != target) {
                    const POINT o = old->TabStripControl()->ScreenToClient(p);
                    bool accept = true;
                    old->DockDragOver(this, o.x, o.y, TDragState::dsDragLeave, drag, accept);
                }
                drag->SetDockControl(target);
                drag->SetDragOverType(found == this ? TDragOverType::dotHomeContainer
                                                    : TDragOverType::dotRemoteContainer);
                bool accept = true;
                found->DockDragOver(this, q.x, q.y, TDragState::dsDragMove, drag, accept);
                if (found == this) RequestRepaint();
            }
        } else if (IPageTabDockControl* old = drag->DockControl()) {
            const POINT o = old->TabStripControl()->ScreenToClient(p);
            bool accept = true;
            old->DockDragOver(this, o.x, o.y, TDragState::dsDragLeave, drag, accept);
            drag->SetDockControl(nullptr);
        }
        MoveDragForm(p.x, p.y, !over);
        break;
    }
    }
    ExcludeState(TPageTabState::stsDragStarted);
}

void TCustomPageTabs::DockDragOver(TObject*, int X, int Y, TDragState State, const drag_tab_object& DragTabObject,
                                   bool& Accept) {
    Accept = IsInsideDragArea(X, Y);
    DoOnTabDragOver(X, Y, State, DragTabObject.get(), Accept);
    IncludeState(TPageTabState::stsControlPositionsInvalidated);
    if (!Accept && State != TDragState::dsDragLeave) return;
    FActiveDragTabObject = DragTabObject;
    FDragOverPoint = TPoint{X, Y};

    const auto& scrolling = *FOptions->Scrolling();
    if (State != TDragState::dsDragLeave && scrolling.Enabled() && scrolling.DragScroll()) {
        const TRect r = MirrorRect(FTabContainerRect);
        DoOnDebugLog(u"Drag - X: %d, Bidi Left: %d, Offset: %d", {X, r.Left, scrolling.DragScrollOffset()});
        if (X >= r.Right - scrolling.DragScrollOffset())
            ScrollTabs(TScrollDirection::mdsRight, true);
        else if (X <= r.Left + scrolling.DragScrollOffset())
            ScrollTabs(TScrollDirection::mdsLeft, true);
        else
            FScrollTimer->SetEnabled(false);
    }

    TPageTab* active = FTabs->ActiveTab();
    TPageTabControl* active_control = active ? active->TabControl() : nullptr;
    const IPageTabDockControl* self = this;
    switch (State) {
    case TDragState::dsDragEnter:
        if (DragTabObject->SourceControl() == self) {
            FDragTabControl = DragTabObject->DragTab()->TabControl();
        } else if (!FDragTabControl) {
            FDragTabStandIn = std::make_unique<TPageTabControl>(this, DragTabObject->DragTab());
            FDragTabControl = FDragTabStandIn.get();
            ApplyControlDrawState(*FDragTabControl, TDrawState::dsActive, false);
            if (active_control) ApplyControlDrawState(*active_control, TDrawState::dsNotActive, true);
        }
        // Over the strip the dragged tab follows the mouse in client coordinates, whatever the scroll.
        if (FDragTabControl) FDragTabControl->SetScrollableControl(false);
        break;
    case TDragState::dsDragLeave:
        if (FDragTabControl) FDragTabControl->SetScrollableControl(true);
        FScrollTimer->SetEnabled(false);
        if (DragTabObject->SourceControl() == self && DragTabObject->DockControl() == self) {
            FDragTabControl = nullptr;
        } else {
            if (active_control) ApplyControlDrawState(*active_control, TDrawState::dsActive, true);
            FDragTabControl = nullptr;
            FDragTabStandIn.reset();
        }
        if (FActiveDragTabObject->SourceControl() == FActiveDragTabObject->DockControl())
            FActiveDragTabObject->SetHideAddButton(true);
        FActiveDragTabObject.reset();
        IncludeState(TPageTabState::stsControlPositionsInvalidated);
        RequestRepaint();
        break;
    case TDragState::dsDragMove:
        RequestRepaint();
        break;
    }
}

void TCustomPageTabs::FireScrollTimer() {
    if (FScrollTimer->Enabled()) ScrollTabs(FScrollDirection, false);
}

// --- Dropping

void TCustomPageTabs::EndDrag(int MouseX, int MouseY, bool Cancelled) {
    const drag_tab_object drag = FDragTabObject; // alive until every strip has let it go
    TTabDropOptions options;
    // The drag's state is released whatever a handler raises; the first failure goes on afterwards.
    std::exception_ptr failure;
    const auto guarded = [&failure](auto&& step) {
        try {
            step();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    };

    if (drag) {
        Screen->SetCursor(drag->OriginalCursor());
        if (TCustomForm* form = drag->DragForm(); form && form->HandleAllocated())
            ::ShowWindow(form->Handle(), SW_HIDE);
        if (IPageTabDockControl* dock = drag->DockControl()) {
            TCustomPageTabs* target = dock->TabStripControl();
            const bool home = target == this;
            if (home)
                options = TTabDropOptions{TTabDropOption::tdMoveTab};
            else
                options = TTabDropOptions{TTabDropOption::tdDeleteDraggedTab, TTabDropOption::tdCreateDroppedTab};
            const POINT at =
                home ? POINT{MouseX, MouseY} : target->ScreenToClient(ClientToScreen(POINT{MouseX, MouseY}));
            TPageTab* created = nullptr;
            guarded([&] {
                dock->DockDragDrop(this, at.x, at.y, drag, Cancelled, options);
                TPageTab* dragged = drag->DragTab();
                const int drop = drag->DropTabIndex();
                if (!Cancelled && !home) {
                    if (options.contains(TTabDropOption::tdCreateDroppedTab)) created = dock->InsertDroppedTab();
                } else if (Cancelled || drop == -1 || drop == dragged->Index()) {
                    IncludeState(TPageTabState::stsCancellingDrag);
                    RequestRepaint();
                } else {
                    IncludeState(TPageTabState::stsCompletingDrag);
                    if (options.contains(TTabDropOption::tdMoveTab))
                        FTabs->Move(dragged->Index(), std::clamp(drop, 0, FTabs->Count() - 1));
                }
            });
            guarded([&] {
                bool accept = true;
                dock->DockDragOver(this, at.x, at.y, TDragState::dsDragLeave, drag, accept);
            });
            if (created) guarded([&] { DoOnTabDragDropped(drag.get(), created); });
        } else {
            options = TTabDropOptions{TTabDropOption::tdDeleteDraggedTab};
            guarded([&] { DockDragDrop(this, MouseX, MouseY, drag, Cancelled, options); });
        }
        if (IPageTabDockControl* dock = drag->DockControl())
            guarded([&] { dock->DockDragEnd(MouseX, MouseY, Cancelled); });
        guarded([&] { DockDragEnd(MouseX, MouseY, Cancelled); });
    }

    FDragTabObject.reset();
    FActiveDragTabObject.reset();
    FDragTabControl = nullptr;
    FDragTabStandIn.reset();
    FDragCancelled = false;
    // A cancelled drag puts the tab back wherever it was let go.
    if (drag && !Cancelled && options.contains(TTabDropOption::tdDeleteDraggedTab))
        if (const int index = FTabs->IndexOf(drag->DragTab()); index >= 0)
            guarded([&] { FTabs->DeleteTab(index, true); });
    guarded([&] { ExcludeState(TPageTabState::stsDragging); });
    if (failure) std::rethrow_exception(failure);
}

void TCustomPageTabs::DockDragDrop(TObject*, int X, int Y, const drag_tab_object& DragTabObject, bool Cancelled,
                                   TTabDropOptions& TabDropOptions) {
    IncludeState(TPageTabState::stsControlPositionsInvalidated);
    // Back into scrolled coordinates, from where the tabs move on to their places.
    if (FDragTabControl)
        PlaceControlAtLeft(*FDragTabControl, FDragTabControl->ControlRect().Left + std::max(0, FScrollOffset), false);
    DoOnTabDragDrop(X, Y, DragTabObject.get(), Cancelled, TabDropOptions);
}

void TCustomPageTabs::DockDragEnd(int MouseX, int MouseY, bool Cancelled) {
    DoOnTabDragEnd(MouseX, MouseY, Cancelled);
    IncludeState(TPageTabState::stsControlPositionsInvalidated);
    RequestRepaint();
}

TPageTab* TCustomPageTabs::InsertDroppedTab() {
    if (!FActiveDragTabObject) return nullptr;
    const drag_tab_object drag = FActiveDragTabObject;
    const TPageTab& source = *drag->DragTab();
    BeginUpdate();
    auto end = scope_exit([this] { EndUpdate(); });
    TPageTab* tab = nullptr;
    {
        // A dropped tab becomes active only once it stands at its place.
        IncludeState(TPageTabState::stsAddingDroppedTab);
        auto added = scope_exit([this] { ExcludeState(TPageTabState::stsAddingDroppedTab); });
        tab = FTabs->Add();
    }
    tab->SetData(source.Data());
    tab->SetCaption(source.Caption());
    tab->SetImageIndex(source.ImageIndex());
    tab->SetImageIndexOverlay(source.ImageIndexOverlay());
    tab->SetPinned(source.Pinned());
    tab->SetHideCloseButton(source.HideCloseButton());
    tab->SetSpinnerState(source.SpinnerState());
    tab->SetTag(source.Tag());
    tab->SetVisible(source.Visible());
    tab->SetModified(source.Modified());
    FTabs->Move(tab->Index(), std::clamp(drag->DropTabIndex(), 0, FTabs->Count() - 1));
    if (FDragTabControl) tab->TabControl()->SetPosition(FDragTabControl->ControlRect(), 0, TPageTabsEaseType::ttNone);
    tab->SetActive(true);
    return tab;
}

// --- Layout

std::optional<TCustomPageTabs::drag_gap> TCustomPageTabs::PlaceDraggedTab(bool Pinned, int TabWidth) {
    if (!FActiveDragTabObject || !FDragTabControl || FActiveDragTabObject->DragTab()->Pinned() != Pinned)
        return std::nullopt;
    const IDragTabObject& drag = *FActiveDragTabObject;
    const auto& tabs = *FOptions->Display()->Tabs();
    drag_gap gap;
    gap.Width = tabs.TabWidthFromContent() ? ContentTabWidth(*FDragTabControl) + tabs.TabOverlap()
                                           : std::max(TabWidth + tabs.TabOverlap(), tabs.MinWidth());
    int offset = std::min(drag.DragCursorOffset().X, gap.Width - tabs.TabOverlap());
    if (reads_right_to_left(drag.SourceControl()->CurrentBiDiMode()) != right_to_left()) offset = -offset;
    int left = FDragOverPoint.X - offset;
    if (right_to_left()) left = ClientWidth() - left - gap.Width;
    if (FOptions->DragDrop()->ContrainDraggedTabWithinContainer()) {
        int right = FTabContainerRect.Right;
        if (add_button_floats(*FOptions)) {
            const auto& add = *FOptions->Display()->AddButton();
            right += add.Width() + add.Offsets()->Horizontal();
        }
        left = std::max(std::min(left, right - gap.Width),
                        tabs.OffsetLeft() + FOptions->Display()->TabContainer()->PaddingLeft());
    }
    FDragTabControl->SetPosition(
        TRect{left, tabs.OffsetTop(), left + gap.Width, ClientHeight() - tabs.OffsetBottom()}, 0,
        TPageTabsEaseType::ttNone);
    return gap;
}

bool TCustomPageTabs::LeftOutOfLayout(const TPageTab& Tab) const {
    return FDragTabObject && FDragTabObject->DragTab() == &Tab;
}

void TCustomPageTabs::OpenDragGap(drag_gap& Gap, int& X, const TPageTab& Tab, int Width) {
    if (Gap.Made) return;
    IDragTabObject& drag = *FActiveDragTabObject;
    const int overlap = FOptions->Display()->Tabs()->TabOverlap();
    const int middle = FDragTabControl->ControlRect().Left + std::max(0, FScrollOffset) + Gap.Width / 2 + overlap / 2;
    if (middle >= X + Width) return;
    Gap.Made = true;
    X += Gap.Width - overlap;
    FScrollWidth += Gap.Width - overlap;
    const TPageTab* dragged = drag.DragTab();
    if (!dragged->Pinned() && dragged->Index() == dragged->Collection()->Count() - 1)
        drag.SetHideAddButton(add_button_floats(*FOptions));
    const IPageTabDockControl* self = this;
    int index = Tab.Index();
    if (drag.SourceControl() == self && index > dragged->Index()) --index;
    drag.SetDropTabIndex(index);
}

void TCustomPageTabs::CloseDragGap(const drag_gap& Gap, int& X, bool Pinned, int LastWidth) {
    if (Gap.Made) return;
    IDragTabObject& drag = *FActiveDragTabObject;
    const IPageTabDockControl* self = this;
    const int last = Pinned ? LastPinnedIndex() : FTabs->Count() - 1;
    const bool floats = add_button_floats(*FOptions);
    if (Pinned) {
        // The unpinned run starts behind the gap.
        X += Gap.Width - FOptions->Display()->Tabs()->TabOverlap();
        if (LastPinnedIndex() == FTabs->Count() - 1) drag.SetHideAddButton(floats);
    } else {
        drag.SetHideAddButton(floats);
    }
    FScrollWidth += LastWidth;
    drag.SetDropTabIndex(std::max(0, drag.SourceControl() == self ? last : last + 1));
}

// --- Painting

bool TCustomPageTabs::DrawsActiveTabInPlace() const {
    const IPageTabDockControl* self = this;
    return !FDragTabObject || FDragTabObject->DockControl() == self;
}

bool TCustomPageTabs::DragHidesAddButton() const {
    return FActiveDragTabObject && FActiveDragTabObject->HideAddButton();
}

// --- Drag image

void TCustomPageTabs::MoveDragForm(int X, int Y, bool Visible) {
    IDragTabObject* drag = FDragTabObject.get();
    if (!drag) return;
    if (!drag->DragForm() && Visible) drag->SetDragForm(CreateDragForm(drag->DragTab()));
    TCustomForm* form = drag->DragForm();
    if (!form) return;
    const TPoint offset = drag->DragFormOffset();
    // Moved and shown in one step, without activation: the strip keeps the focus, so Esc reaches it.
    ::SetWindowPos(form->Handle(), HWND_TOPMOST, X - offset.X, Y - offset.Y, 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | (Visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

TCustomForm* TCustomPageTabs::CreateDragForm(TPageTab* ATab) {
    const auto& options = *FOptions->DragDrop();
    using enum TPageTabDragDisplay;
    if (options.DragDisplay() == ddCursor) return nullptr;
    TCustomForm* supplied = nullptr;
    DoOnCreateDragForm(ATab, supplied);
    if (supplied) {
        DoOnAfterDragImageCreated();
        return supplied;
    }

    IDragTabObject& drag = *FDragTabObject;
    TPageTabDragDisplay display = options.DragDisplay();
    TWinControl* control = nullptr;
    if (display != ddTab) {
        DoOnNeedDragImageControl(ATab, control);
        if (!control) display = ddTab;
    }
    const double factor = display == ddTab ? 1.0 : options.DragControlImageResizeFactor();
    const int x0 = drag.DragCursorOffset().X + (right_to_left() ? ClientWidth() : 0);
    TPoint offset{x0, drag.DragCursorOffset().Y};
    if (display != ddTab)
        offset = TPoint{static_cast<int>(Round(x0 * factor)), static_cast<int>(Round(offset.Y * factor))};

    TPageTabControl& tab = *ATab->TabControl();
    const TRect saved = tab.ControlRect();
    int tab_width = width_of(saved);
    const int tab_height = height_of(saved);
    const bool on_top = FOptions->Display()->Tabs()->Orientation() == TTabOrientation::toTop;
    const int control_width = control ? control->ClientWidth() : 0;
    const int control_height = control ? control->ClientHeight() : 0;
    int width = tab_width, height = tab_height, band_top = 0, control_top = 0;
    if (display == ddControl) {
        width = control_width;
        height = control_height;
    } else if (display == ddTabAndControl) {
        width = control_width;
        height = tab_height + control_height;
        if (on_top) {
            control_top = tab_height;
        } else {
            band_top = control_height;
            offset.Y += static_cast<int>(Round(control_height * factor));
        }
    }
    drag.SetDragFormOffset(offset);

    TBitmap image;
    image.SetPixelFormat(TPixelFormat::pf32bit);
    image.SetSize(width, height);
    if (control) CopyControlImage(*control, image, 0, control_top);
    if (display != ddControl) {
        const int band_rows = on_top ? tab_height - 1 : tab_height;
        for (int y = band_top; y < band_top + band_rows && y < height; ++y) {
            auto* row = static_cast<std::uint32_t*>(image.ScanLine(y));
            std::fill(row, row + width, drag_image_key_colour);
        }
        if (display == ddTabAndControl && tab_width > width - 10) tab_width = width - 10;
        const bool scrolls = tab.ScrollableControl();
        tab.SetScrollableControl(false);
        tab.SetPosition(TRect{0, band_top, tab_width, band_top + tab_height}, 0, TPageTabsEaseType::ttNone);
        auto restore = scope_exit([&] {
            tab.SetPosition(saved, 0, TPageTabsEaseType::ttNone);
            tab.SetScrollableControl(scrolls);
        });
        TGPGraphics canvas(image.Canvas().Handle());
        canvas.SetSmoothingMode(static_cast<Gdiplus::SmoothingMode>(FOptions->Display()->Tabs()->FCanvasSmoothingMode));
        tab.DrawTo(canvas, -1, -1, nullptr);
    }
    if (display != ddTab) {
        const int border = options.DragFormBorderWidth();
        const float half = static_cast<float>(border) / 2;
        const float left = half, top = static_cast<float>(control_top) + half;
        const float right = static_cast<float>(width) - half;
        const float bottom = static_cast<float>(control_top + control_height) - half;
        const TGPPen pen(MakeGPColor(options.DragFormBorderColor(), 255), static_cast<float>(border));
        TGPGraphics canvas(image.Canvas().Handle());
        const float top_start = display == ddTabAndControl && on_top ? static_cast<float>(tab_width) : left;
        canvas.DrawLine(pen, {top_start, top}, {right, top});
        canvas.DrawLine(pen, {right, top}, {right, bottom});
        canvas.DrawLine(pen, {right, bottom}, {left, bottom});
        canvas.DrawLine(pen, {left, bottom}, {left, top});
    }

    TBitmap scaled;
    ScaleBitmap(image, scaled, factor);
    RecreateBitmapThroughGDIPlus(scaled);
    SetColorKeyAlpha(scaled, drag_image_key_colour, 0);
    const std::uint8_t alpha = display == ddTab ? 255 : options.DragOutsideImageAlpha();
    std::unique_ptr<TCustomForm> form(ShowLayeredDragImage(this, scaled, alpha)); // until it is shown
    form->SetBorderStyle(TFormBorderStyle::bsNone); // makes the window anew, without its layers
    // The image lets the mouse through, so the strip under it is still found.
    const HWND window = form->Handle();
    ::SetWindowLongPtrW(window, GWL_EXSTYLE,
                        ::GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_LAYERED | WS_EX_TRANSPARENT);
    show_layered_bitmap(window, scaled, alpha);
    TCustomForm* shown = form.release(); // owned by the strip as a component from here
    DoOnAfterDragImageCreated();
    return shown;
}

// --- Events

void TCustomPageTabs::DoOnNeedDragImageControl(TPageTab* ATab, TWinControl*& DragControl) {
    if (OnNeedDragImageControl) OnNeedDragImageControl(this, ATab, DragControl);
}

void TCustomPageTabs::DoOnCreateDragForm(TPageTab* ATab, TCustomForm*& DragForm) {
    if (OnCreateDragForm) OnCreateDragForm(this, ATab, DragForm);
}

void TCustomPageTabs::DoOnBeginTabDrag(TPageTab* ATab, bool& Allow) {
    if (FOnBeginTabDrag) FOnBeginTabDrag(this, ATab, Allow);
}

void TCustomPageTabs::DoOnTabDragStart(TPageTab* ATab, bool& Allow) {
    if (OnTabDragStart) OnTabDragStart(this, ATab, Allow);
}

void TCustomPageTabs::DoOnTabDragOver(int X, int Y, TDragState State, IDragTabObject* DragTabObject, bool& Accept) {
    if (OnTabDragOver) OnTabDragOver(this, X, Y, State, DragTabObject, Accept);
}

void TCustomPageTabs::DoOnTabDragDrop(int X, int Y, IDragTabObject* DragTabObject, bool Cancelled,
                                      TTabDropOptions& TabDropOptions) {
    if (OnTabDragDrop) OnTabDragDrop(this, X, Y, DragTabObject, Cancelled, TabDropOptions);
}

void TCustomPageTabs::DoOnTabDragDropped(IDragTabObject* DragTabObject, TPageTab* NewTab) {
    if (OnTabDragDropped) OnTabDragDropped(this, DragTabObject, NewTab);
}

void TCustomPageTabs::DoOnTabDragEnd(int MouseX, int MouseY, bool Cancelled) {
    if (OnTabDragEnd) OnTabDragEnd(this, MouseX, MouseY, Cancelled);
}

void TCustomPageTabs::DoOnAfterDragImageCreated() {
    if (OnAfterDragImageCreated) OnAfterDragImageCreated(this);
}

} // namespace kq
