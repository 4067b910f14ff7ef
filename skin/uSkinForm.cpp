#include "skin/uSkinForm.h"

#include "framework/Graphics.h"
#include "framework/Messages.h"
#include "framework/Properties.h"
#include "framework/Regions.h"
#include "graphics/Raster.h"
#include "skin/SkinMessages.h"
#include "skin/uBitmapHelper.h"
#include "skin/uSkComm.h"
#include "skin/uSkFormBorder.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkinCtrls.h"
#include "skin/uSkinHelper.h"
#include "skin/uSkinMainMenu.h"
#include "skin/uSkinMenu.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinRes.h"
#include "skin/uSkinResManager.h"

#include <windowsx.h>

#include <algorithm>
#include <optional>

namespace kq {

void TSkinFormOptions::Assign(const TPersistent* Source) {
    if (const auto* o = dynamic_cast<const TSkinFormOptions*>(Source)) {
        FMinimizeToTaskbar = o->FMinimizeToTaskbar;
        FHideInTaskbar = o->FHideInTaskbar;
        return;
    }
    TPersistent::Assign(Source);
}

TSkinForm::TSkinForm(TComponent* AOwner)
    : TSkHookWindowProc(AOwner), FColorBgBitmap(std::make_unique<TBitmap32>()),
      FColorBkGraphic(std::make_unique<TBitmap32>()), FPictureBgBitmap(std::make_unique<TBitmap32>()),
      FPictureBkGraphic(std::make_unique<TBitmap32>()), FTitleBitmap(std::make_unique<TBitmap32>()) {
    FMainMenu = std::make_unique<TSkinMainMenu>(this);
    if (FDestForm)
        FormSkinHelper()->Add(FDestForm, this);
    if (designing() || !FDestForm)
        return;
    FOldBorderIcons = FDestForm->BorderIcons();
    FOldWS = FDestForm->WindowState();
    FActive = true;
    if (Application)
        Application->HookMainWindow(this, [this](TMessage& m) { return AppMainWindowHook(m); });
}

TSkinForm::~TSkinForm() {
    if (Application)
        Application->UnhookMainWindow(this);
    if (FDestForm) {
        FormSkinHelper()->Remove(FDestForm);
        FNCRepaintTimer.stop();
        FStartFlashTimer.stop();
        FNextMenuTimer.stop();
    }
    FMainMenu.reset();
    for (TSkinNCCtrlBase* c : FNCCtrlList) c->SetParentObject(nullptr);
    if (FImageBorder) {
        FImageBorder->forget_nc_ctrl_list(&FNCCtrlList);
        FImageBorder->RemoveFreeNotification(this);
    }
}

void TSkinForm::SetImageBorder(TSkFormLayerBorder* Value) {
    if (FImageBorder == Value)
        return;
    if (FImageBorder) {
        FImageBorder->forget_nc_ctrl_list(&FNCCtrlList);
        FImageBorder->RemoveFreeNotification(this);
    }
    FImageBorder = Value;
    if (!FImageBorder)
        return;
    FImageBorder->FreeNotification(this);
    if (!designing() && FDestForm && FDestForm->Visible()) {
        FImageBorder->InitFrame(FDestForm);
        FImageBorder->CheckFormAlpha(false);
        FImageBorder->ShowWithForm(&FNCCtrlList);
    }
}

void TSkinForm::SetTitlerColor(TColor Value) {
    if (FTitlerColor == Value)
        return;
    FTitlerColor = Value;
    FNCBkColor = Value;
}

void TSkinForm::SetFramWidth(std::int32_t Value) {
    if (Value < 0 || Value == FFramWidth)
        return;
    FFramWidth = Value;
    if (Value == 0)
        FFlatFrame = true;
}

void TSkinForm::SetCustomPicture(const TSkResID& Value) {
    if (FCustomPicture == Value)
        return;
    FCustomPicture = Value;
    CustomPictureChanged();
}

void TSkinForm::SetSkinRes(TSkinRes* Value) {
    FSkinRes = Value;
    if (Value)
        Value->FreeNotification(this);
    ApplySkinRes();
}

void TSkinForm::SetMainMenu(const TSkinMainMenu& Value) { FMainMenu->Assign(&Value); }

void TSkinForm::Notification(TComponent* AComponent, TOperation Operation) {
    if (Operation == TOperation::opRemove) {
        if (AComponent == FImageBorder)
            FImageBorder = nullptr;
        if (AComponent == FSkinRes)
            FSkinRes = nullptr;
        if (FMainMenu && AComponent == FMainMenu->MainMenu())
            FMainMenu->SetMainMenu(nullptr);
        if (FMainMenu && AComponent == FMainMenu->MenuSkin())
            FMainMenu->SetMenuSkin(nullptr);
    }
    TSkHookWindowProc::Notification(AComponent, Operation);
}

void TSkinForm::CustomPictureChanged() {
    if (TSkFormSkinRes* defaults = default_skin_res())
        defaults->SetCustomPicture(FCustomPicture);
}

void TSkinForm::SyncDefaultSkinRes() {
    TSkFormSkinRes* defaults = default_skin_res();
    if (!defaults)
        return;
    defaults->BeginUpdate();
    auto end = scope_exit([defaults] { defaults->EndUpdate(); });
    defaults->SetColor(FColor);
    defaults->SetCustomPicture(FCustomPicture);
    defaults->SetFramWidth(FFramWidth);
    defaults->SetHitTestWidth(FHitTestWidth);
    defaults->SetStyle(FStyle);
    defaults->SetTitlerColor(FTitlerColor);
}

// Only a skin form given a settings component takes its values; the main menu is detached meanwhile.
void TSkinForm::ApplySkinRes() {
    if (!FSkinRes || designing())
        return;
    const TSkFormSkinRes& settings = FSkinRes->Form();
    FColor = settings.Color();
    SetCustomPicture(settings.CustomPicture());
    FGradientHeight = settings.GradientHeight();
    FStyle = settings.Style();
    SetTitlerColor(settings.TitlerColor());
    build_background();
    SyncDefaultSkinRes();
    TMainMenu* menu = FMainMenu->MainMenu();
    FMainMenu->SetMainMenu(nullptr);
    auto attach = scope_exit([this, menu] { FMainMenu->SetMainMenu(menu); });
    ApplyChange();
}

TBitmap32* TSkinForm::BackgroundPicture() const {
    if (FStyle == ssColor)
        return FColorBkGraphic.get();
    if (FStyle == ssPicture)
        return FPictureBkGraphic.get();
    return nullptr;
}

void TSkinForm::EndChange() {
    --FChangeCount;
    if (FChangeCount == 0)
        ApplyChange();
}

void TSkinForm::InvalidateNC() {
    if (FDestForm && FDestForm->HandleAllocated())
        FDestForm->Perform(WM_VK_UPDATENC, 0, 0);
}

void TSkinForm::RefreshSkin() {
    if (FDestForm && FDestForm->HandleAllocated())
        FDestForm->Perform(WM_VK_REFRESHSKIN, 0, 0);
}

void TSkinForm::forget(TSkinNCCtrlBase* Control) noexcept {
    FNCCtrlList.erase(std::remove(FNCCtrlList.begin(), FNCCtrlList.end(), Control), FNCCtrlList.end());
}

bool TSkinForm::sizeable() const {
    const TFormBorderStyle b = FDestForm->BorderStyle();
    return b == TFormBorderStyle::bsSizeable || b == TFormBorderStyle::bsSizeToolWin;
}

TPoint TSkinForm::window_point(LPARAM LParam) const {
    RECT w{};
    ::GetWindowRect(FDestForm->Handle(), &w);
    const TRect window = to_TRect(w);
    return {GET_X_LPARAM(LParam) - window.Left, GET_Y_LPARAM(LParam) - window.Top};
}

// --- Messages

// One function per message the skin form handles, below; every other message goes on to the form.
void TSkinForm::HookWndProc(TMessage& Message) {
    if (!FActive) {
        pass_on(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_SIZE: on_size(Message); return;
    case WM_PAINT: on_paint(Message); return;
    case WM_ERASEBKGND: on_erase_background(Message); return;
    case WM_SETCURSOR: on_set_cursor(Message); return;
    case WM_WINDOWPOSCHANGING: handle_window_pos_changing(Message); return;
    case WM_WINDOWPOSCHANGED: handle_window_pos_changed(Message); return;
    case WM_GETMINMAXINFO:
        HandleGetMinMaxInfo(Message);
        pass_on(Message);
        return;
    case WM_NCCALCSIZE:
        if (!HandleNCCalcSize(Message))
            pass_on(Message);
        return;
    case WM_NCHITTEST:
        if (!HandleNCHitTest(Message))
            pass_on(Message);
        return;
    case WM_NCPAINT: HandleNCPaint(Message); return;
    case WM_NCACTIVATE: Message.Result = 1; return;
    case WM_NCMOUSEMOVE:
        pass_on(Message);
        DispatchNCMouseMove();
        return;
    case WM_NCLBUTTONDOWN: on_nc_left_button_down(Message); return;
    case WM_NCLBUTTONUP:
        if (!DispatchNCButton(false))
            pass_on(Message);
        return;
    case WM_NCLBUTTONDBLCLK: HandleNCDblClick(Message); return;
    case WM_SYSCOMMAND: handle_sys_command(Message); return;
    case WM_TIMER: on_timer(Message); return;
    case WM_VK_UPDATENC: on_update_nc(Message); return;
    case WM_VK_REFRESHSKIN:
        build_background();
        ApplyChange();
        return;
    case WM_VK_APPLYSKINRES: ApplySkinRes(); return;
    case WM_VK_MENUCLOSED: handle_menu_closed(); return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
        if (!HandleMenuAccel(Message))
            pass_on(Message);
        return;
    case WM_VK_ADDNCCONTROL: add_nc_control(reinterpret_cast<TSkinNCCtrlBase*>(Message.WParam)); return;
    case WM_VK_REMOVENCCONTROL: RemoveNCControl(reinterpret_cast<TSkinNCCtrlBase*>(Message.WParam)); return;
    case CM_SHOWINGCHANGED: handle_showing_changed(Message); return;
    case CM_VISIBLECHANGED: on_visible_changed(Message); return;
    default: pass_on(Message); return;
    }
}

HWND TSkinForm::form_window() const { return FDestForm->HandleAllocated() ? FDestForm->Handle() : nullptr; }

void TSkinForm::on_size(TMessage& Message) {
    pass_on(Message);
    if (Message.WParam == SIZE_MINIMIZED)
        return;
    // A restore by the program (ShowWindow, WindowState) comes by no command: without this the form
    // would stay see-through.
    if (FFormState & state_minimized)
        DoRestore();
    if (const HWND window = form_window())
        FNCRepaintTimer.start(window, 50);
    if (FImageBorder)
        FImageBorder->SetBoundsWithForm();
    UpdateWindowRegion();
    if (FStyle == ssPicture && FFillStyle == mfsStretch)
        FDestForm->Invalidate();
}

void TSkinForm::on_paint(TMessage& Message) {
    // The background goes first, so that what the form paints itself stays on top of it.
    if (FDestForm->Showing())
        PaintClientBackground();
    pass_on(Message);
}

void TSkinForm::on_erase_background(TMessage& Message) {
    Message.Result = 1;
    if (FEraseBackGround && Message.WParam)
        EraseClientBackground(reinterpret_cast<HDC>(Message.WParam));
}

void TSkinForm::on_set_cursor(TMessage& Message) {
    if (reinterpret_cast<HWND>(Message.WParam) == form_window() && NCButtonCursorSet) {
        Message.Result = 1;
        return;
    }
    pass_on(Message);
}

void TSkinForm::on_nc_left_button_down(TMessage& Message) {
    if (!DispatchNCButton(true))
        pass_on(Message);
    // A drag by the title bar has ended here.
    if (FImageBorder)
        FImageBorder->MoveWithForm(FDestForm->Left(), FDestForm->Top());
}

void TSkinForm::on_timer(TMessage& Message) {
    if (FNCRepaintTimer.take_tick(Message.WParam))
        nc_repaint_due();
    else if (FStartFlashTimer.take_tick(Message.WParam))
        start_flash_due();
    else if (FNextMenuTimer.take_tick(Message.WParam))
        next_menu_due();
    else
        pass_on(Message);
}

// The frame is painted once the sizes have settled, not for every step of a resize.
void TSkinForm::nc_repaint_due() { ::SendMessageW(form_window(), WM_NCPAINT, 0, 0); }

// The first show's fade-in ends: the border appears and the form's own alpha values come back.
void TSkinForm::start_flash_due() {
    if (FImageBorder) {
        FImageBorder->CheckFormAlpha(false);
        FImageBorder->ShowWithForm(&FNCCtrlList);
    }
    if (FFixedStartFlash) {
        FDestForm->SetAlphaBlendValue(FOldAlphaBlendValue);
        FDestForm->SetAlphaBlend(FOldAlphaBlend);
    }
    if (FDestForm->WindowState() == TWindowState::wsMaximized)
        FDestForm->SetHeight(FDestForm->Height() + 1);
}

// A closed title-bar menu hands over to the next one the mouse went to.
void TSkinForm::next_menu_due() {
    if (TSkinNCMenuItem* next = FMainMenu->NextFocusMenu) {
        next->FClickCount = 1;
        next->Click();
    }
}

void TSkinForm::on_update_nc(TMessage& Message) {
    if (FDestForm->Showing())
        HandleNCPaint(Message);
    // An opaque border's top edge hosts the title-bar controls.
    if (FImageBorder && !FImageBorder->Transparent() && FImageBorder->TopBorder())
        FImageBorder->TopBorder()->Perform(WM_VK_UPDATENC, Message.WParam, Message.LParam);
}

void TSkinForm::on_visible_changed(TMessage& Message) {
    pass_on(Message);
    if (!FImageBorder)
        return;
    if (FDestForm->Visible())
        FImageBorder->Restoring();
    else
        FImageBorder->Minimizing();
}

// The control's pointer came through a posted message: it counts only while it is still one of the
// form's components (a control freed before the message arrived is not appended).
void TSkinForm::add_nc_control(TSkinNCCtrlBase* Control) {
    bool known = false;
    for (int i = 0; i < FDestForm->ComponentCount() && !known; ++i) known = FDestForm->Components(i) == Control;
    if (!known || Control->Hooked())
        return;
    FNCCtrlList.push_back(Control);
    Control->SetParentObject(this);
    Control->SetHooked(true);
    if (FDestForm->HandleAllocated())
        FDestForm->Perform(WM_VK_UPDATENC, 0, 0);
}

void TSkinForm::RemoveNCControl(TSkinNCCtrlBase* Control) {
    const auto it = std::find(FNCCtrlList.rbegin(), FNCCtrlList.rend(), Control);
    if (it == FNCCtrlList.rend())
        return;
    FNCCtrlList.erase(std::next(it).base());
    delete Control;
}

// --- Non-client metrics

bool TSkinForm::HandleNCCalcSize(TMessage& Message) {
    if (FDestForm->BorderStyle() == TFormBorderStyle::bsNone)
        return false;
    if (Message.WParam == 0)
        return true;
    RECT& r = reinterpret_cast<NCCALCSIZE_PARAMS*>(Message.LParam)->rgrc[0];
    r.left += FFramWidth;
    r.top += FTitleHeight;
    r.right -= FFramWidth;
    r.bottom -= FFramWidth;
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    Message.Result = 0;
    return true;
}

bool TSkinForm::HandleNCHitTest(TMessage& Message) {
    if (FDestForm->BorderStyle() == TFormBorderStyle::bsNone)
        return false;
    const TPoint p = window_point(Message.LParam);
    const int w = FDestForm->Width(), h = FDestForm->Height(), e = FHitTestWidth;
    const auto in = [&p](int l, int t, int r, int b) { return PointInRect({l, t, r, b}, p); };
    LRESULT code = HTNOWHERE;
    bool found = false;
    if (sizeable() && !::IsZoomed(FDestForm->Handle())) {
        const struct {
            int l, t, r, b;
            LRESULT code;
        } zones[] = {{0, 0, e, e, HTTOPLEFT},         {e, 0, w - e, e, HTTOP},
                     {w - e, 0, w, e, HTTOPRIGHT},    {w - e, e, w, h - e, HTRIGHT},
                     {w - e, h - e, w, h, HTBOTTOMRIGHT}, {e, h - e, w - e, h, HTBOTTOM},
                     {0, h - e, e, h, HTBOTTOMLEFT},  {0, e, e, h - e, HTLEFT}};
        for (const auto& z : zones)
            if (in(z.l, z.t, z.r, z.b)) {
                code = z.code;
                found = true;
                break;
            }
    }
    if (!found) {
        if (in(0, 0, w, FTitleHeight))
            code = HTCAPTION;
        else if (in(0, 0, FDestForm->ClientWidth(), FDestForm->ClientHeight()))
            code = HTCLIENT;
    }
    FIgnoreNCHit = found;
    Message.Result = code;
    return true;
}

std::vector<TMonitor> TSkinForm::screen_monitors() const {
    return Screen ? Screen->Monitors() : std::vector<TMonitor>{};
}

TMonitor TSkinForm::monitor_of_form() const {
    const HWND window = FDestForm->HandleAllocated() ? FDestForm->Handle() : nullptr;
    return Screen ? Screen->MonitorFromWindow(window) : TMonitor{};
}

// The system's own maximised values count a frame the skinned window has not: they are saved once, with
// that frame as an offset, and taken again when the form moves between the primary monitor and another.
void TSkinForm::HandleGetMinMaxInfo(TMessage& Message) {
    if (FDestForm->BorderStyle() == TFormBorderStyle::bsNone)
        return;
    auto* info = reinterpret_cast<MINMAXINFO*>(Message.LParam);
    const TMonitor form_monitor = monitor_of_form();
    const std::vector<TMonitor> monitors = screen_monitors();
    const bool listed = form_monitor.MonitorNum >= 0 && form_monitor.MonitorNum < static_cast<int>(monitors.size());
    const RECT work = listed ? monitors[static_cast<size_t>(form_monitor.MonitorNum)].WorkareaRect
                             : form_monitor.WorkareaRect;
    if (form_monitor.Primary != FFormOldMonitorIsPrimary) {
        FFormOldMonitorIsPrimary = form_monitor.Primary;
        FFixedMinMaxInfo = false;
    }
    if (!FFixedMinMaxInfo) {
        FFixedMinMaxInfo = true;
        FOldPtMaxPosition = info->ptMaxPosition;
        FOldPtMaxSize = info->ptMaxSize;
        FMinMainInfoOffset = -info->ptMaxPosition.x;
    }
    if (FOldWS == TWindowState::wsMaximized) {
        // Created maximised and not shown yet: a pixel short, which the first show's timer gives back.
        info->ptMaxPosition = {work.left, work.top};
        info->ptMaxSize = {work.right - work.left, work.bottom - work.top - 1};
    } else {
        const int o = FMinMainInfoOffset;
        info->ptMaxPosition = {FOldPtMaxPosition.x + o, FOldPtMaxPosition.y + o};
        info->ptMaxSize = {FOldPtMaxSize.x - 2 * o, FOldPtMaxSize.y - 2 * o};
        if (form_monitor.Primary)
            info->ptMaxSize.y = work.bottom - work.top;
    }
    const TSizeConstraints& c = FDestForm->Constraints();
    info->ptMinTrackSize.y = c.MinHeight() ? c.MinHeight() : FTitleHeight + (FFlatFrame ? 30 : 6);
    info->ptMinTrackSize.x = c.MinWidth() ? c.MinWidth() : 120;
    if (c.MaxWidth())
        info->ptMaxTrackSize.x = c.MaxWidth();
    if (c.MaxHeight())
        info->ptMaxTrackSize.y = c.MaxHeight();
    Message.Result = 0;
}

// Made again only when its size or shape changed. From inside the non-client paint it is set without a
// redraw (a redraw there loses the client inset; the paint that follows draws the frame anyway). The
// system owns a region it accepted.
void TSkinForm::UpdateWindowRegion(bool Redraw) {
    if (designing() || FRgnChanging || !FDestForm->HandleAllocated())
        return;
    FRgnChanging = true;
    auto done = scope_exit([this] { FRgnChanging = false; });
    const HWND window = FDestForm->Handle();
    const int w = FDestForm->Width(), h = FDestForm->Height();
    region_key key{w, h, 0};
    if (FRoundWindow && !::IsZoomed(window))
        key.shape = FFramWidth > 1 || FFlatFrame ? 1 : 2;
    if (key == FRegionKey)
        return;
    unique_hrgn region;
    if (key.shape == 0) {
        region.reset(::CreateRectRgn(0, 0, w + 1, h + 1));
    } else {
        region.reset(::CreateRoundRectRgn(0, 0, w + 1, h + 1, 4, 4));
        if (key.shape == 2) {
            const unique_hrgn bottom(::CreateRectRgn(0, h - 10, w + 1, h + 1));
            ::CombineRgn(region.get(), region.get(), bottom.get(), RGN_OR);
        }
    }
    if (!set_window_region(window, std::move(region), Redraw))
        return;
    FRegionKey = key;
    // Without the redraw a client corner the new region uncovers is painted by no one yet.
    if (!Redraw)
        ::InvalidateRect(window, nullptr, FALSE);
}

// --- Painting

void TSkinForm::HandleNCPaint(TMessage& Message) {
    UpdateWindowRegion(false);
    PaintNC();
    if (FDestForm->HandleAllocated()) {
        const HWND window = FDestForm->Handle();
        const LONG style = ::GetWindowLongW(window, GWL_STYLE);
        if (style & (WS_BORDER | WS_DLGFRAME))
            ::SetWindowLongW(window, GWL_STYLE, style & ~static_cast<LONG>(WS_BORDER | WS_DLGFRAME));
    }
    Message.Result = 0;
}

void TSkinForm::strip_system_caption() {
    const HWND window = FDestForm->Handle();
    const LONG style = ::GetWindowLongW(window, GWL_STYLE);
    const LONG wanted = style & ~static_cast<LONG>(WS_CAPTION | WS_SYSMENU);
    if (wanted != style) {
        ::SetWindowLongW(window, GWL_STYLE, wanted);
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TSkinForm::PaintNC() {
    if (FDestForm->BorderStyle() == TFormBorderStyle::bsNone || !FDestForm->HandleAllocated())
        return;
    const HWND window = FDestForm->Handle();
    if (FDestForm->Width() <= 0 || FDestForm->Height() <= 0)
        return;
    const bool border_has_title = FImageBorder && !FImageBorder->Transparent();
    if (FStyle == ssPicture && border_has_title && FPictureBkGraphic->Width() > 0)
        give_frame_to_border();
    window_frame_dc dc(window);
    if (!dc)
        return;
    // The main menu's title-bar items are made by the first paint after the menu is set, when the
    // title bar they sit in is drawn.
    BuildMainMenuButtons();
    const saved_dc keep(dc.get());
    const int w = FDestForm->Width(), h = FDestForm->Height(), f = FFramWidth, t = FTitleHeight;
    // The frame's strips share one bitmap, made only when there is a frame.
    std::optional<TBitmap32> strip_bitmap;
    auto end = scope_exit([&strip_bitmap] {
        if (strip_bitmap)
            strip_bitmap->EndUpdate();
    });
    const auto strip = [&](int sw, int sh, int x, int y, const auto& fill, frame_part part) {
        if (sw <= 0 || sh <= 0)
            return;
        if (!strip_bitmap) {
            strip_bitmap.emplace();
            strip_bitmap->BeginUpdate();
        }
        strip_bitmap->SetSize(sw, sh);
        fill(*strip_bitmap);
        DrawFrame(&*strip_bitmap, part);
        strip_bitmap->DrawTo(dc.get(), x, y);
    };
    // The title bar's bitmap is kept between paints: making a new one and filling its fresh pages was
    // most of a repaint's time under Wine.
    TBitmap32& title = *FTitleBitmap;
    if (t > 0 && (title.Width() != w || title.Height() != t))
        title.SetSize(w, t);
    title.BeginUpdate();
    auto end_title = scope_exit([&title] { title.EndUpdate(); });
    const auto paint_title_controls = [&] {
        for (size_t i = 0; i < FNCCtrlList.size(); ++i)
            if (FNCCtrlList[i]->Visible())
                FNCCtrlList[i]->Paint(&title);
    };
    if (FStyle == ssColor) {
        if (FColorBkGraphic->Width() < w + 10 || FColorBkGraphic->Height() < h + 10)
            BuildColorBackground();
        if (t > 0) {
            if (FActiveGradient) {
                title.Clear(WinColorToColor32(FClientBkColor));
                // The colour background keeps the gradient; computing all its rows on every paint, for the
                // few the title bar shows, was most of the paint's time.
                if (FGradientHeight > 0 && FColorBgBitmap->Width() >= w && FColorBgBitmap->Height() == FGradientHeight)
                    FColorBgBitmap->DrawTo(&title, 0, 0);
                else
                    GradientFillRect(*title.Canvas(), FNCBkColor, FClientBkColor, false, {0, 0, w, FGradientHeight});
            } else {
                title.Clear(WinColorToColor32(FNCBkColor));
            }
            paint_title_controls();
            if (!FKeepTitlerColor)
                DrawFrame(&title, frame_part::title);
            title.DrawTo(dc.get(), 0, 0);
        }
        TBitmap32* bk = FColorBkGraphic.get();
        strip(f, h - f, 0, t, [&](TBitmap32& b) { bk->DrawTo(&b, 0, 0); }, frame_part::left);
        strip(f, h - f, w - f, t, [&](TBitmap32& b) { bk->DrawTo(&b, f - bk->Width(), 0); }, frame_part::right);
        strip(w, f, 0, h - f, [&](TBitmap32& b) { bk->DrawTo(&b, 0, t + f - h); }, frame_part::bottom);
    } else if (FPictureBkGraphic->Width() > 0) {
        TBitmap32* bk = FPictureBkGraphic.get();
        if (t > 0) {
            // cleared as a new bitmap is, for what the picture leaves uncovered
            title.Clear(FKeepTitlerColor ? WinColorToColor32(FTitlerColor) : 0);
            if (!FKeepTitlerColor)
                bk->DrawTo(&title, 0, 0);
            if (!border_has_title)
                paint_title_controls();
            DrawFrame(&title, frame_part::title);
            title.DrawTo(dc.get(), 0, 0);
        }
        strip(f, h - f, 0, t, [&](TBitmap32& b) { bk->DrawTo(&b, 0, -t); }, frame_part::left);
        strip(f, h - f, w - f, t, [&](TBitmap32& b) { bk->DrawTo(&b, f - w, -t); }, frame_part::right);
        strip(w, f, 0, h - f, [&](TBitmap32& b) { bk->DrawTo(&b, 0, f - h); }, frame_part::bottom);
    }
}

// An opaque image border is the frame, and its top edge the title bar: the form's own frame metrics
// become zero (once), so hit tests, the region and the client area no longer count a frame it does not
// draw. A paint changes them, as the picture style and the border are only known together there.
void TSkinForm::give_frame_to_border() {
    if (FFlatFrame && !FHitTestWidth && !FFramWidth && !FTitleHeight && !FRoundWindow)
        return;
    FFlatFrame = true;
    FHitTestWidth = 0;
    FFramWidth = 0;
    FTitleHeight = 0;
    FRoundWindow = false;
    UpdateWindowRegion(false);
}

void TSkinForm::DrawFrame(TBitmap32* Bitmap, frame_part Part) {
    if (FFlatFrame || FFramWidth <= 0 || (FDestForm->HandleAllocated() && ::IsZoomed(FDestForm->Handle())))
        return;
    const TColor32 o = FKeepFrameColor ? WinColorToColor32(FFrameColor) : 0x80000000u;
    const TColor32 i = 0xB0FFFFFFu;
    const TRect& clip = Bitmap->ClipRect();
    const int l = clip.Left, t = clip.Top, r = clip.Right - 1, b = clip.Bottom - 1;
    switch (Part) {
    case frame_part::title: {
        const int b1 = b + 1;
        Bitmap->LineAS(l, t, r, t, o);
        Bitmap->LineAS(l, t, l, b1, o);
        Bitmap->LineAS(r, t, r, b1, o);
        if (FDoubleFrame) {
            Bitmap->LineAS(l + 1, t + 1, r - 1, t + 1, i);
            Bitmap->LineAS(l + 1, t + 1, l + 1, b1, i);
            Bitmap->LineAS(r - 1, t + 1, r - 1, b1, i);
        }
        if (FRoundWindow) {
            Bitmap->SetPixelTS(1, 1, o);
            Bitmap->SetPixelTS(r - 1, 1, o);
            if (FFramWidth > 1 && FDoubleFrame) {
                Bitmap->SetPixelTS(2, 2, i);
                Bitmap->SetPixelTS(r - 2, 2, i);
            }
        }
        break;
    }
    case frame_part::left:
        Bitmap->LineAS(l, t, l, b, o);
        if (FDoubleFrame) Bitmap->LineAS(l + 1, t, l + 1, b, i);
        break;
    case frame_part::right:
        Bitmap->LineAS(r, t, r, b, o);
        if (FDoubleFrame) Bitmap->LineAS(r - 1, t, r - 1, b, i);
        break;
    case frame_part::bottom:
        Bitmap->LineAS(l, b, r, t + b, o);
        Bitmap->LineAS(l, b - 1, l, 2, o);
        Bitmap->LineAS(r, b - 1, r, 2, o);
        if (FDoubleFrame) Bitmap->LineAS(l + 1, b - 1, l + r - 1, b - 1, i);
        if (FRoundWindow) {
            Bitmap->SetPixelTS(1, t + b - 1, o);
            Bitmap->SetPixelTS(r - 1, t + b - 1, o);
        }
        break;
    }
}

void TSkinForm::build_background() {
    if (FStyle == ssColor)
        BuildColorBackground();
    else
        BuildPictureBackground();
}

void TSkinForm::BuildColorBackground() {
    if (designing() || !FDestForm)
        return;
    if (const skin_color_shift& s = SkinColorShift(); s.any()) {
        ShiftColorHSB(FTitlerColor, s.Hue, s.Saturation, s.Brightness, FNCBkColor);
        ShiftColorHSB(FColor, s.Hue, s.Saturation, s.Brightness, FClientBkColor);
    } else {
        FNCBkColor = FTitlerColor;
        FClientBkColor = FColor;
    }
    const int w = FDestForm->Width(), h = FDestForm->Height();
    FColorBkGraphic->BeginUpdate();
    auto end = scope_exit([this] { FColorBkGraphic->EndUpdate(); });
    if (FActiveGradient) {
        const int monitor_width = FDestForm->HandleAllocated() ? monitor_of_form().Width() : w;
        FColorBgBitmap->SetSize(monitor_width + 10, std::max(FGradientHeight, 1));
        if (FGradientHeight > 0) {
            TBitmap32 column;
            column.SetSize(1, FGradientHeight);
            GradientFillRect(*column.Canvas(), FNCBkColor, FClientBkColor, false, {0, 0, 1, FGradientHeight});
            column.DrawTo(FColorBgBitmap.get(), FColorBgBitmap->BoundsRect());
        }
    }
    FColorBkGraphic->SetSize(w + 10, h + 10);
    FColorBkGraphic->Clear(WinColorToColor32(FClientBkColor));
    if (FActiveGradient && FGradientHeight > 0)
        FColorBgBitmap->DrawTo(FColorBkGraphic.get(), 0, -FTitleHeight);
}

void TSkinForm::BuildPictureBackground() {
    if (designing() || FCustomPicture.empty() || !FDestForm)
        return;
    TSkinImage* image = SkinResManager()->GetImageByName(FCustomPicture);
    if (image) {
        FPictureBgBitmap->Assign(image);
        // Only a fresh copy is shifted: a picture kept from before has had its shift already.
        if (const skin_color_shift& s = SkinColorShift(); s.any())
            ShiftBitmapHSL(FPictureBgBitmap.get(), hue_steps(s.Hue), s.Saturation, s.Brightness);
    }
    const int w = FDestForm->Width(), h = FDestForm->Height();
    // A tiled border continues the tiles of the picture under it.
    int dx = 0, dy = 0;
    if (FImageBorder && FImageBorder->StretchKind() == skTile) {
        dx = FFramWidth - FImageBorder->Size().Left();
        dy = FTitleHeight - FImageBorder->Size().Top();
    }
    FPictureBkGraphic->SetSize(w + 10, h + 10);
    switch (FFillStyle) {
    case mfsTile:
        TileDrawBitmap(FPictureBgBitmap.get(), FPictureBkGraphic.get(), dx, dy);
        break;
    case mfsStretch:
        ZoomDrawBitmap(FPictureBgBitmap.get(), FPictureBkGraphic.get(), 0);
        break;
    default: {
        // The picture's right and bottom edges fade into its average colour, which fills the rest. A name
        // the store does not know leaves the picture as it was, faded already.
        if (image) {
            TBitmap faded;
            faded.Assign(FPictureBgBitmap.get());
            TColor average = 0;
            FadeEdgesToAverage(faded, average);
            FPictureBgColor = static_cast<std::uint32_t>(average);
            if (!FPictureBgBitmap->Empty())
                FPictureBgBitmap->Assign(&faded);
        }
        FPictureBkGraphic->Clear(WinColorToColor32(static_cast<std::int32_t>(FPictureBgColor)));
        FPictureBgBitmap->DrawTo(FPictureBkGraphic.get(), dx, dy);
        break;
    }
    }
}

// Only what the window outgrew is made again, from the prepared picture or colours: the picture is not
// looked up, shifted or faded again. A stretched picture follows the window's size.
void TSkinForm::PaintClientBackground() {
    const int w = FDestForm->Width(), h = FDestForm->Height();
    if (FStyle == ssPicture) {
        TBitmap32& bk = *FPictureBkGraphic;
        const bool outgrown = bk.Width() < w || bk.Height() < h;
        if (outgrown || (FFillStyle == mfsStretch && (bk.Width() != w + 10 || bk.Height() != h + 10))) {
            bk.SetSize(w + 10, h + 10);
            switch (FFillStyle) {
            case mfsTile:
                TileDrawBitmap(FPictureBgBitmap.get(), &bk, 0, 0);
                break;
            case mfsStretch:
                ZoomDrawBitmap(FPictureBgBitmap.get(), &bk, 0);
                break;
            default:
                bk.Clear(WinColorToColor32(static_cast<std::int32_t>(FPictureBgColor)));
                FPictureBgBitmap->DrawTo(&bk, 0, 0);
                break;
            }
        }
    } else {
        // Without a gradient the gradient bitmap stays empty: it is no reason to build again.
        if (FActiveGradient && FColorBgBitmap->Width() < monitor_of_form().Width())
            BuildColorBackground();
        TBitmap32& bk = *FColorBkGraphic;
        if (bk.Width() < w || bk.Height() < h) {
            bk.SetSize(w + 10, h + 10);
            bk.Clear(WinColorToColor32(FClientBkColor));
            if (FActiveGradient && FGradientHeight > 0)
                FColorBgBitmap->DrawTo(&bk, 0, -FTitleHeight);
        }
    }
    window_dc dc(FDestForm->Handle());
    if (dc)
        EraseClientBackground(dc.get());
}

void TSkinForm::EraseClientBackground(HDC DC) {
    if (FStyle == ssColor)
        FColorBkGraphic->DrawTo(DC, 0, 0);
    else
        FPictureBkGraphic->DrawTo(DC, -FFramWidth, -FTitleHeight);
}

void TSkinForm::ApplyChange() {
    if (designing() || FChangeCount > 0 || FDoChanging || !FDestForm)
        return;
    FDoChanging = true;
    auto done = scope_exit([this] {
        FDoChanging = false;
        if (Changed)
            Changed(this);
    });
    UpdateWindowRegion(false);
    PaintNC();
    FDestForm->Invalidate();
    if (Tag() != tag_keeps_default_settings)
        SyncDefaultSkinRes();
    for (TSkinCustomControl* c : WinControlHelper()->Items()) {
        c->InvalidateNC();
        c->Invalidate();
    }
}

// --- Commands, title-bar controls, showing

void TSkinForm::handle_sys_command(TMessage& Message) {
    // The low four bits are the system's own: a move by keyboard ($F011) or by dragging ($F012) is told
    // apart by them, every other command is not.
    const WPARAM command = Message.WParam & 0xFFF0;
    const HWND window = FDestForm->Handle();
    if ((Message.WParam == (SC_MOVE | 1) || Message.WParam == (SC_MOVE | HTCAPTION)) && ::IsZoomed(window))
        return;
    if (command == SC_MINIMIZE) {
        pass_on(Message);
        DoMinimize();
        return;
    }
    if (command == SC_MAXIMIZE) {
        if (FFramWidth != 0) {
            FOldFramWidth = FFramWidth;
            FFramWidth = 0;
        }
        pass_on(Message);
        if (FImageBorder)
            FImageBorder->ReAlign();
        return;
    }
    pass_on(Message);
    if (command != SC_RESTORE)
        return;
    if (FOldFramWidth != 0 && !::IsIconic(window)) {
        FFramWidth = FOldFramWidth;
        FOldFramWidth = 0;
        ::SetWindowPos(window, nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    DoRestore();
    if (FImageBorder) {
        FImageBorder->ReAlign();
        FImageBorder->MoveWithForm(FDestForm->Left(), FDestForm->Top());
    }
}

// The system minimises a window by showing it anew without activation, and the application hides its
// main form; a form that is not the main form hides or shows its border with it.
void TSkinForm::handle_window_pos_changing(TMessage& Message) {
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
    const TCustomForm* main = Application ? Application->MainForm() : nullptr;
    if (pos) {
        constexpr UINT minimizing = SWP_NOCOPYBITS | SWP_SHOWWINDOW | SWP_FRAMECHANGED | SWP_NOACTIVATE;
        constexpr UINT hiding_main = SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE;
        const UINT f = pos->flags;
        if ((f & minimizing) == minimizing || ((f & hiding_main) == hiding_main && main == FDestForm)) {
            if (FDestForm->Visible())
                DoMinimize();
        } else if (FImageBorder && main != FDestForm) {
            if (f & SWP_HIDEWINDOW)
                FImageBorder->Minimizing();
            else if ((f & SWP_SHOWWINDOW) && !::IsIconic(FDestForm->Handle()))
                FImageBorder->Restoring();
        }
    }
    pass_on(Message);
}

void TSkinForm::handle_window_pos_changed(TMessage& Message) {
    pass_on(Message);
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
    if (!pos || !FImageBorder)
        return;
    if (pos->flags & SWP_NOMOVE)
        FImageBorder->MoveWithForm(FDestForm->Left(), FDestForm->Top());
    else
        FImageBorder->MoveWithForm(pos->x, pos->y);
}

// The title-bar items of the main menu: one per entry, side by side from the menu's position.
void TSkinForm::BuildMainMenuButtons() {
    if (!FMainMenu->MainMenu() || FMainMenu->Done())
        return;
    FMainMenu->Build();
    const TNCCtrlPos& pos = FMainMenu->Pos();
    std::int32_t x = pos.XValue();
    for (const auto& entry : FMainMenu->MenuList()) {
        auto* item = new TSkinNCMenuItem(FDestForm, FMainMenu.get(), entry.get());
        item->Pos().SetAlign(pos.Align());
        item->Pos().SetXValue(x);
        item->Pos().SetYValue(pos.YValue());
        item->SetGroupIndex(main_menu_group_index);
        x += pos.Align() == caRight ? -(item->Pos().Width() + 8) : item->Pos().Width() + 8;
    }
}

bool TSkinForm::HandleMenuAccel(TMessage& Message) {
    const auto key = static_cast<std::uint16_t>(Message.WParam);
    if (key == VK_MENU) {
        Message.Result = 1;
        return false;
    }
    if (!FMainMenu->MainMenu())
        return false;
    bool handled = false;
    for (const auto& entry : FMainMenu->MenuList()) {
        if (!entry->NCMenuItem || !IsAccel(key, entry->Caption))
            continue;
        // A count of 1 opens the popup, as the hand-over between items does: with 0 the key would only
        // press the title-bar button.
        entry->NCMenuItem->FClickCount = 1;
        entry->NCMenuItem->Click();
        Message.Result = 1;
        handled = true;
    }
    return handled;
}

void TSkinForm::handle_menu_closed() {
    if (!FMainMenu->MainMenu() || !FMainMenu->FocusMenu)
        return;
    FMainMenu->FocusMenu->SetDown(false);
    FMainMenu->FocusMenu = nullptr;
    if (FMainMenu->NextFocusMenu && FDestForm->HandleAllocated())
        FNextMenuTimer.start(FDestForm->Handle(), 20);
}

void TSkinForm::DispatchNCMouseMove() {
    const std::vector<TSkinNCCtrlBase*> controls = FNCCtrlList; // a control may remove itself meanwhile
    for (TSkinNCCtrlBase* c : controls)
        if (std::find(FNCCtrlList.begin(), FNCCtrlList.end(), c) != FNCCtrlList.end())
            c->NCMouseMove({});
}

bool TSkinForm::DispatchNCButton(bool Down) {
    if (FIgnoreNCHit)
        return false;
    for (size_t i = 0; i < FNCCtrlList.size(); ++i) {
        TSkinNCCtrlBase* c = FNCCtrlList[i];
        if (!c->Visible() || !c->CursorEnter())
            continue;
        if (Down)
            c->LMouseDown();
        else
            c->LMouseUp();
        if (FDestForm->ComponentState().contains(TComponentStateFlag::csDestroying))
            return true;
        FDestForm->SetActiveControl(nullptr);
        return true;
    }
    return false;
}

void TSkinForm::HandleNCDblClick(TMessage& Message) {
    for (TSkinNCCtrlBase* c : FNCCtrlList)
        if (dynamic_cast<TSkinCustomNCButton*>(c) && c->Visible() && c->CursorEnter())
            return;
    const TFormBorderStyle b = FDestForm->BorderStyle();
    if (!FOldBorderIcons.contains(TBorderIcon::biMaximize) ||
        (b != TFormBorderStyle::bsSizeable && b != TFormBorderStyle::bsSingle))
        return;
    if (!PointInRect({0, 0, FDestForm->Width(), FTitleHeight}, window_point(Message.LParam)))
        return;
    const HWND window = FDestForm->Handle();
    ::SendMessageW(window, WM_SYSCOMMAND, (::GetWindowLongW(window, GWL_STYLE) & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE, 0);
}

void TSkinForm::handle_showing_changed(TMessage& Message) {
    if (!FDestForm->Visible()) {
        pass_on(Message);
        if (FImageBorder)
            FImageBorder->Hide();
        return;
    }
    const HWND window = FDestForm->Handle();
    TCustomForm* main = Application ? Application->MainForm() : nullptr;
    LONG ex = ::GetWindowLongW(window, GWL_EXSTYLE);
    if (FOptions.MinimizeToTaskbar() && main && main != FDestForm) {
        ex |= WS_EX_APPWINDOW;
        // No owner window: the form has a taskbar button of its own and is minimised and restored apart
        // from the main form (which owns every other form's window).
        ::SetWindowLongPtrW(window, GWLP_HWNDPARENT, 0);
    }
    if (FOptions.HideInTaskbar() && main)
        ex = (ex & ~static_cast<LONG>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
    ::SetWindowLongW(window, GWL_EXSTYLE, ex);
    strip_system_caption();
    if (FImageBorder) {
        FImageBorder->InitFrame(FDestForm);
        FImageBorder->Show();
    }
    // A settings component built it when it was given.
    if (!FSkinRes)
        build_background();
    if (!FFixedStartFlash) {
        FFixedStartFlash = true;
        FOldAlphaBlend = FDestForm->AlphaBlend();
        FOldAlphaBlendValue = FDestForm->AlphaBlendValue();
        FDestForm->SetAlphaBlend(true);
        FDestForm->SetAlphaBlendValue(0);
    }
    pass_on(Message);
    if (FDestForm->Visible()) {
        FStartFlashTimer.start(window, 30);
        if (FOldWS == TWindowState::wsMaximized && FDestForm->WindowState() == TWindowState::wsMaximized) {
            FOldWS = TWindowState::wsNormal;
            FOldFramWidth = FFramWidth;
            FFramWidth = 0;
        }
    }
    UpdateWindowRegion();
}

// Minimised: transparent, so that the restore does not flash an old picture; restored: its alpha back.
void TSkinForm::DoMinimize() {
    if (Application)
        Application->ProcessMessages();
    // Seen twice for one minimising (the command, then the system's move): the second would save the
    // transparency the first made.
    if (!(FFormState & state_minimized)) {
        FMinAlphaBlend = FDestForm->AlphaBlend();
        FMinAlphaBlendValue = FDestForm->AlphaBlendValue();
    }
    FFormState = (FFormState | state_minimized) & ~state_restored;
    FDestForm->SetAlphaBlend(true);
    FDestForm->SetAlphaBlendValue(0);
    if (FImageBorder)
        FImageBorder->Minimizing();
}

// The alpha comes back only from a minimising that saved it: a form never minimised keeps its own.
void TSkinForm::DoRestore() {
    if (FFormState & state_restored)
        return;
    if (Application)
        Application->ProcessMessages();
    const bool was_minimized = FFormState & state_minimized;
    FFormState = (FFormState & ~state_minimized) | state_restored;
    if (was_minimized) {
        FDestForm->SetAlphaBlendValue(FMinAlphaBlendValue == 0 ? 255 : FMinAlphaBlendValue);
        FDestForm->SetAlphaBlend(FMinAlphaBlend);
    }
    if (FDestForm->CanFocus())
        ::SetFocus(FDestForm->Handle());
    if (FImageBorder)
        FImageBorder->Restoring();
}

// Sees the application window's messages while the application, not the main form, has the taskbar
// button: a restore without size or move, and the minimise and restore commands.
bool TSkinForm::AppMainWindowHook(TMessage& Message) {
    if (Message.Msg == WM_WINDOWPOSCHANGING) {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(Message.LParam);
        if (pos && pos->flags == (SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE))
            DoRestore();
        return false;
    }
    if (Message.Msg != WM_SYSCOMMAND || !FActive || !Application || Application->MainFormOnTaskBar())
        return false;
    TCustomForm* main = Application->MainForm();
    switch (Message.WParam & 0xFFF0) {
    case SC_MINIMIZE:
        if (::IsIconic(Application->Handle()))
            return false;
        if (main && main->Visible()) {
            Application->Minimize();
            DoMinimize();
        }
        return false;
    case SC_RESTORE:
        if (!main)
            return false;
        Application->Restore();
        DoRestore();
        if (FImageBorder) {
            FImageBorder->ReAlign();
            FImageBorder->MoveWithForm(FDestForm->Left(), FDestForm->Top());
        }
        return true;
    default:
        return false;
    }
}

bool skin_form_background(TForm* Form, TBitmap32*& Source, int& DX, int& DY) {
    const PFormSkinHelperData data = FormSkinHelper()->Get(Form);
    if (!data || !data->SkinObj)
        return false;
    TSkinForm* skin = data->SkinObj;
    Source = skin->BackgroundPicture();
    // The picture covers the whole window, the colour graphic the client area.
    DX = skin->Style() == ssPicture ? skin->FramWidth() : 0;
    DY = skin->Style() == ssPicture ? skin->TitleHeight() : 0;
    return Source != nullptr;
}


// --- Published

const property_table& TSkinFormOptions::PublishedProperties() const {
    using C = TSkinFormOptions;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"MinimizeToTaskbar", &C::MinimizeToTaskbar, &C::SetMinimizeToTaskbar, false)
        .boolean(u"HideInTaskbar", &C::HideInTaskbar, &C::SetHideInTaskbar, false);
    return table;
}

const property_table& TSkinForm::PublishedProperties() const {
    using C = TSkinForm;
    static const property_table table = property_table::of<C>(TSkHookWindowProc::PublishedProperties())
        .boolean(u"FlatFrame", &C::FlatFrame, &C::SetFlatFrame, false)
        .integer(u"TitleHeight", &C::TitleHeight, &C::SetTitleHeight, 27)
        .color(u"TitlerColor", &C::TitlerColor, &C::SetTitlerColor, TColor{16761926})
        .color(u"Color", &C::Color, &C::SetColor, TColor{15920353})
        .persistent(u"Options", [](const C& c) { return &const_cast<C&>(c).Options(); })
        .persistent(u"MainMenu", [](const C& c) { return &const_cast<C&>(c).MainMenu(); })
        .boolean(u"RoundWindow", &C::RoundWindow, &C::SetRoundWindow, true)
        .integer(u"FramWidth", &C::FramWidth, &C::SetFramWidth, 2)
        .color(u"FrameColor", &C::FrameColor, &C::SetFrameColor, TColor{0})
        .enumeration(u"FillStyle", &C::FillStyle, &C::SetFillStyle, {u"mfsBlur", u"mfsTile", u"mfsStretch"}, mfsBlur)
        .integer(u"HitTestWidth", &C::HitTestWidth, &C::SetHitTestWidth, 5)
        .boolean(u"EraseBackGround", &C::EraseBackGround, &C::SetEraseBackGround, false)
        .integer(u"GradientHeight", &C::GradientHeight, &C::SetGradientHeight, 168)
        .string(u"CustomPicture", &C::CustomPicture, &C::SetCustomPicture, String())
        .enumeration(u"Style", &C::Style, &C::SetStyle, {u"ssColor", u"ssPicture"}, ssColor)
        .boolean(u"ActiveGradient", &C::ActiveGradient, &C::SetActiveGradient, true)
        .component(u"SkinRes", &C::SkinRes, &C::SetSkinRes)
        .event(u"Changed", &C::Changed)
        .boolean(u"DoubleFrame", &C::DoubleFrame, &C::SetDoubleFrame, true)
        .boolean(u"KeepTitlerColor", &C::KeepTitlerColor, &C::SetKeepTitlerColor, false)
        .boolean(u"KeepFrameColor", &C::KeepFrameColor, &C::SetKeepFrameColor, false)
        .component(u"ImageBorder", &C::ImageBorder, &C::SetImageBorder);
    return table;
}

} // namespace kq
