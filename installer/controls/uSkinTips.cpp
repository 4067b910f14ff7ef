#include "installer/controls/uSkinTips.h"

#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/Geometry.h"
#include "framework/Threads.h"
#include "framework/TickClock.h"
#include "graphics/Raster.h"
#include "skin/uSkinIntf.h"
#include "skin/uSkinResManager.h"

#include <algorithm>

#include <windowsx.h>

namespace kq {

namespace {

// The close button's strip: normal frame 0, hot and pressed frame 1.
TSkinImage* close_button_strip() { return SkinResManager()->GetImageByName(u"SkinMini_close_btn"); }

SIZE close_button_size(bool visible) {
    TSkinImage* strip = visible ? close_button_strip() : nullptr;
    return strip ? SIZE{strip->Width() / 2, strip->Height()} : SIZE{0, 0};
}

int close_button_width(bool visible) { return close_button_size(visible).cx; }

SIZE text_extent(const TFont& font, const String& text) {
    TBitmap32 scratch;
    scratch.SetSize(1, 1);
    scratch.Font()->Assign(&font);
    return scratch.TextExtent(text);
}

} // namespace

// --- TSkinTipsWindow

TSkinTipsWindow::TSkinTipsWindow(TSkinCustomTips* Tips)
    : TCustomControl(nullptr), FSkTips(Tips), FMemBmp(std::make_unique<TBitmap32>()) {
    SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csClickEvents});
    SetVisible(false);
    Canvas().Brush().SetStyle(TBrushStyle::bsClear);
    FT1 = FT2 = tick_count();
    FTimer = std::make_unique<TSimpleTimer>(50, [this](TObject*) {
        try {
            DoTimer();
        } catch (const Exception&) {
            // A tip that cannot follow its control goes away rather than stay stale; anything else is a
            // fault for the timer's guard to report.
            Close();
        }
    });
    FTimer->SetEnabled(true);
}

TSkinTipsWindow::~TSkinTipsWindow() {
    FTimer.reset();
    if (FParentControl) FParentControl->RemoveFreeNotification(this);
}

void TSkinTipsWindow::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style = WS_POPUP;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WndParent = nullptr;
    Params.WindowClass.style = CS_SAVEBITS;
}

void TSkinTipsWindow::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FParentControl) {
        // Its control is gone: never look at it again.
        FParentControl = nullptr;
        Close();
    }
}

int TSkinTipsWindow::title_line_height() { return text_extent(FSkTips->TitleFont(), u"Ww").cy; }

int TSkinTipsWindow::wrapped_tips_height(const TRect* R) {
    RECT r{};
    if (R)
        r = to_system<RECT>(*R);
    else if (FParentControl)
        r = FParentControl->ClientRect();
    r.right -= 4 + close_button_width(FSkTips->CloseButtonVisible());
    TBitmap32 scratch;
    scratch.SetSize(1, 1);
    TCanvas* canvas = scratch.Canvas();
    canvas->SetFont(FSkTips->TipsFont());
    canvas->TextRect(r, FTips, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    return r.bottom - r.top;
}

void TSkinTipsWindow::ActivateTips(const String& ATitle, const String& ATips, const TRect* R,
                                   TControl* ParentControl) {
    FTitle = ATitle;
    FTips = ATips;
    SetText(ATips);
    TRect bounds{};
    int height = 0;
    if (ParentControl) {
        if (FParentControl != ParentControl) {
            if (FParentControl) FParentControl->RemoveFreeNotification(this);
            FParentControl = ParentControl;
            FParentControl->FreeNotification(this);
        }
        FOldParentControlPos = to_TPoint(ParentControl->ClientToScreen({0, 0}));
        height = wrapped_tips_height(R) + 10;
        const RECT client = ParentControl->ClientRect();
        POINT anchor{};
        switch (FSkTips->TipsDirection()) {
        case hdTop: anchor = ParentControl->ClientToScreen({client.left, client.top}); break;
        case hdBottom: {
            int top = client.bottom - height;
            if (!FTitle.empty()) top -= title_line_height() + 6;
            anchor = ParentControl->ClientToScreen({client.left, top});
            break;
        }
        case hdCustom: anchor = {R ? R->Left : 0, R ? R->Top : 0}; break;
        }
        bounds = {anchor.x, anchor.y, anchor.x + client.right - client.left, anchor.y + client.bottom - client.top};
        if (R) {
            bounds.Left = R->Left;
            bounds.Right = R->Right;
        }
    } else if (R) {
        bounds = *R;
        height = R->Bottom - R->Top;
    }
    bounds.Bottom = bounds.Top + height;
    if (!FTitle.empty()) bounds.Bottom += title_line_height() + 6;

    SetBounds(bounds.Left, bounds.Top, bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    FMemBmp->SetSize(Width(), Height());
    {
        // What lies under the tip, as a backdrop for what the tip leaves unpainted.
        const window_dc screen(nullptr);
        ::BitBlt(FMemBmp->Handle(), 0, 0, Width(), Height(), screen.get(), Left(), Top(), SRCCOPY);
    }
    ::SetWindowPos(Handle(), HWND_TOPMOST, Left(), Top(), 0, 0,
                   SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ::InvalidateRect(Handle(), nullptr, FALSE);
    ::UpdateWindow(Handle());
}

void TSkinTipsWindow::Resize() {
    TCustomControl::Resize();
    if (FSkTips->CloseButtonVisible()) {
        const SIZE size = close_button_size(true);
        FCloseButtonRect = {Width() - size.cx - 4, 5, Width() - 4, size.cy + 5};
    } else {
        FCloseButtonRect = {};
    }
}

void TSkinTipsWindow::PaintWindow(HDC DC) {
    if (FMemBmp->Width() != Width() || FMemBmp->Height() != Height()) FMemBmp->SetSize(Width(), Height());
    Paint(FMemBmp.get());
    FMemBmp->DrawTo(DC, 0, 0);
}

void TSkinTipsWindow::Paint(TBitmap32* Buffer) {
    const bool close_visible = FSkTips->CloseButtonVisible();
    RECT text{4, 4, Width() - 4, Height() - 4};
    text.right -= close_visible ? close_button_width(true) + 2 : 2;
    TCanvas* canvas = Buffer->Canvas();
    canvas->Pen().SetColor(FSkTips->FrameColor());
    canvas->Pen().SetStyle(TPenStyle::psSolid);
    canvas->Brush().SetColor(FSkTips->TipsColor());
    canvas->Brush().SetStyle(TBrushStyle::bsSolid);
    canvas->Rectangle({0, 0, Width(), Height()});
    ::SetBkMode(canvas->Handle(), TRANSPARENT);
    if (!FTitle.empty()) {
        canvas->SetFont(FSkTips->TitleFont());
        RECT title = text;
        canvas->TextRect(title, FTitle, DT_WORDBREAK | DT_NOPREFIX);
        const int down = canvas->TextHeight(u"Ww") + 4;
        text.top += down;
        text.bottom += down;
    }
    canvas->SetFont(FSkTips->TipsFont());
    canvas->TextRect(text, FTips, DT_WORDBREAK | DT_NOPREFIX);
    if (close_visible) {
        const int index = FMouseInTips == itCloseButton ? 1 : 0;
        if (std::unique_ptr<TSkinImage> frame = cut_frame(close_button_strip(), 2, index, false)) frame->DrawTo(Buffer, FCloseButtonRect.Left, FCloseButtonRect.Top);
    }
}

void TSkinTipsWindow::DoTimer() {
    const std::uint64_t now = tick_count();
    FT2 = now;
    if (FSkTips->PauseTime() > 0 && now - FT1 >= static_cast<std::uint64_t>(FSkTips->PauseTime())) {
        FTimer->SetEnabled(false);
        HideTips(true);
        return;
    }
    if (!FParentControl || !FParentControl->Visible() || !HandleAllocated()) return;
    const TPoint pos = to_TPoint(FParentControl->ClientToScreen({0, 0}));
    if (pos != FOldParentControlPos) {
        SetBounds(Left() + pos.X - FOldParentControlPos.X, Top() + pos.Y - FOldParentControlPos.Y, Width(), Height());
        ::SetWindowPos(Handle(), HWND_TOPMOST, Left(), Top(), 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        FOldParentControlPos = pos;
    }
    TCustomForm* form = GetParentForm(FParentControl);
    if (form && FSkTips->HideOfParentDeactivate()) {
        const bool active = form->HandleAllocated() && ::GetForegroundWindow() == form->Handle();
        if (active)
            ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                           SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        else
            ::ShowWindow(Handle(), SW_HIDE);
    }
}

void TSkinTipsWindow::HideTips(bool Animate) {
    FTimer->SetEnabled(false);
    if (Animate && HandleAllocated()) ::AnimateWindow(Handle(), 500, AW_HIDE | AW_BLEND);
    Close();
}

void TSkinTipsWindow::Close() {
    if (FClosed) return;
    FClosed = true;
    FTimer->SetEnabled(false);
    if (HandleAllocated()) DestroyHandle();
    FSkTips->tip_closed();
}

void TSkinTipsWindow::set_mouse_in(TMouseInTips Value) {
    if (FMouseInTips == Value) return;
    FMouseInTips = Value;
    Invalidate();
}

void TSkinTipsWindow::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_ERASEBKGND: Message.Result = 1; return;
    case WM_MOUSEMOVE: {
        FT1 = tick_count();
        const TPoint p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        set_mouse_in(PointInRect(FCloseButtonRect, p) ? itCloseButton : itNone);
        break;
    }
    case WM_LBUTTONDOWN:
        FMousePressed = true;
        Invalidate();
        break;
    case WM_LBUTTONUP: {
        const bool on_close = FMousePressed && FMouseInTips == itCloseButton;
        FMousePressed = false;
        Invalidate();
        if (on_close) {
            HideTips(false);
            return;
        }
        break;
    }
    case CM_MOUSELEAVE:
        FMousePressed = false;
        FMouseInTips = itNone;
        Invalidate();
        break;
    default: break;
    }
    TCustomControl::WndProc(Message);
}

// --- TSkinCustomTips

TSkinCustomTips::TSkinCustomTips(TComponent* AOwner)
    : TComponent(AOwner), FTipsFont(std::make_unique<TFont>()), FTitleFont(std::make_unique<TFont>()) {
    FTipsFont->SetSize(9);
    FTipsFont->SetColor(28146);
    FTitleFont->SetSize(10);
    FTitleFont->SetStyle({TFontStyle::fsBold});
    FTitleFont->SetColor(5326307);
}

TSkinCustomTips::~TSkinCustomTips() { free_windows(); }

void TSkinCustomTips::free_windows() {
    while (!FList.empty()) FList.pop_back();
}

void TSkinCustomTips::tip_closed() {
    Queue([alive = std::weak_ptr<int>(FAlive), this] {
        if (alive.lock()) free_closed();
    });
}

void TSkinCustomTips::free_closed() {
    std::erase_if(FList, [](const std::unique_ptr<TSkinTipsWindow>& w) { return w->closed(); });
}

HWND TSkinCustomTips::Show(const String& Title, const String& Tips, TTipsDirection ATipsDirection, const TRect* R,
                           TControl* ParentControl) {
    if (!R && !ParentControl) return nullptr;
    FTipsDirection = ATipsDirection;
    FList.push_back(std::make_unique<TSkinTipsWindow>(this));
    TSkinTipsWindow* window = FList.back().get();
    TRect rect{};
    if (R) rect = *R;
    if (R && ParentControl) {
        // R is in the parent's client coordinates (the control's own without a parent).
        const POINT origin = ParentControl->Parent() ? ParentControl->Parent()->ClientToScreen({0, 0})
                                                     : ParentControl->ClientToScreen({0, 0});
        rect = {R->Left + origin.x, R->Top + origin.y, R->Right + origin.x, R->Top + origin.y + 10};
    }
    window->ActivateTips(Title, Tips, R ? &rect : nullptr, ParentControl);
    return window->Handle();
}

SIZE TSkinCustomTips::tips_extent(const String& Str) { return text_extent(*FTipsFont, Str); }
int TSkinCustomTips::GetTipsWidth(const String& Str) { return tips_extent(Str).cx; }
int TSkinCustomTips::GetTipsHeight(const String& Str) { return tips_extent(Str).cy; }

void TSkinCustomTips::Assign(const TPersistent* Source) {
    if (const auto* other = dynamic_cast<const TSkinCustomTips*>(Source)) {
        FTipsDirection = other->FTipsDirection;
        FTipsColor = other->FTipsColor;
        FFrameColor = other->FFrameColor;
        FTipsFont->Assign(other->FTipsFont.get());
        FTitleFont->Assign(other->FTitleFont.get());
        FPauseTime = other->FPauseTime;
        FCloseButtonVisible = other->FCloseButtonVisible;
        FHideOfParentDeactivate = other->FHideOfParentDeactivate;
        return;
    }
    TComponent::Assign(Source);
}

} // namespace kq
