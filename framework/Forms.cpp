#include "framework/Forms.h"

#include "framework/ComponentText.h"
#include "framework/Conversions.h"
#include "framework/DataModules.h"
#include "framework/Files.h"
#include "framework/ImageLists.h"
#include "framework/Menus.h"
#include "framework/Properties.h"
#include "framework/ResourceStreams.h"
#include "framework/Threads.h"

#include <algorithm>
#include <functional>

namespace kq {

TApplication* Application = nullptr;
TScreen* Screen = nullptr;
TMouse* Mouse = nullptr;

namespace {

struct forms_state {
    std::unique_ptr<TApplication> application;
    std::unique_ptr<TScreen> screen;
    std::unique_ptr<TMouse> mouse;
    exception_handler previous_handler = nullptr;
    bool names_registered = false;
};

forms_state& state() {
    static forms_state s;
    return s;
}

void application_exception_handler(const std::exception_ptr& error) {
    if (Application)
        Application->HandleException(nullptr, error);
    else
        default_exception_handler(error);
}

// The window styles of a form's border; shared by CreateParams and the size of a form without window.
void border_styles(TFormBorderStyle border, TBorderIcons icons, DWORD& style, DWORD& ex_style) {
    style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    ex_style = 0;
    switch (border) {
    case TFormBorderStyle::bsNone: style |= WS_POPUP; break;
    case TFormBorderStyle::bsSingle: style |= WS_CAPTION | WS_BORDER; break;
    case TFormBorderStyle::bsSizeable: style |= WS_CAPTION | WS_THICKFRAME; break;
    case TFormBorderStyle::bsDialog:
        style |= WS_POPUP | WS_CAPTION;
        ex_style |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    case TFormBorderStyle::bsToolWindow:
        style |= WS_CAPTION;
        ex_style |= WS_EX_TOOLWINDOW;
        break;
    case TFormBorderStyle::bsSizeToolWin:
        style |= WS_CAPTION | WS_THICKFRAME;
        ex_style |= WS_EX_TOOLWINDOW;
        break;
    }
    if (border != TFormBorderStyle::bsNone && icons.contains(TBorderIcon::biSystemMenu)) {
        style |= WS_SYSMENU;
        const bool tool = border == TFormBorderStyle::bsDialog || border == TFormBorderStyle::bsToolWindow ||
                          border == TFormBorderStyle::bsSizeToolWin;
        if (!tool && icons.contains(TBorderIcon::biMinimize)) style |= WS_MINIMIZEBOX;
        if (!tool && icons.contains(TBorderIcon::biMaximize)) style |= WS_MAXIMIZEBOX;
    }
}

void broadcast(TWinControl& parent, TMessage& message) {
    for (int i = 0; i < parent.ControlCount() && message.Result == 0; ++i) {
        TControl* c = parent.Controls(i);
        message.Result = c->Perform(message.Msg, message.WParam, message.LParam);
        if (auto* w = dynamic_cast<TWinControl*>(c); w && message.Result == 0) broadcast(*w, message);
    }
}

struct enabled_windows {
    std::vector<HWND> windows;
    std::exception_ptr error;
};

BOOL CALLBACK collect_enabled_window(HWND h, LPARAM data) noexcept {
    auto* found = reinterpret_cast<enabled_windows*>(data);
    return guard_callback(found->error, FALSE, [&] {
        if (::IsWindowVisible(h) && ::IsWindowEnabled(h)) found->windows.push_back(h);
        return TRUE;
    });
}

void collect_tab_stops(TWinControl& parent, std::vector<TWinControl*>& out) {
    for (TWinControl* w : parent.TabList()) {
        if (w->CanFocus()) out.push_back(w);
        collect_tab_stops(*w, out);
    }
    // Containers without TabStop still hold tab stops of their own.
    for (int i = 0; i < parent.ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(parent.Controls(i)); w && !w->TabStop()) collect_tab_stops(*w, out);
}

} // namespace

bool IsAccel(std::uint16_t key, StringView caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&') continue;
        if (caption[i + 1] == u'&') {
            ++i; // "&&" shows a plain '&'
            continue;
        }
        auto upper = [](char16_t c) {
            return static_cast<char16_t>(reinterpret_cast<std::uintptr_t>(
                ::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<std::uintptr_t>(c)))));
        };
        return key != 0 && upper(caption[i + 1]) == upper(static_cast<char16_t>(key));
    }
    return false;
}

String innermost_message(const std::exception_ptr& e) {
    std::exception_ptr current = e;
    for (;;) {
        std::exception_ptr inner;
        try {
            std::rethrow_exception(current);
        } catch (const std::nested_exception& n) {
            inner = n.nested_ptr();
        } catch (...) {
        }
        if (!inner) break;
        current = inner;
    }
    return exception_message(current);
}

// --- TCustomForm

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner), FCanvas(make_control_canvas(*this)) {
    TControl::SetVisible(false);
    SetParentFont(false);
    FLeft = FTop = 0;
    FWidth = 320;
    FHeight = 240;
    if (Screen) Screen->add_form(this);
}

TCustomForm::~TCustomForm() {
    // From here on the form's hooks are passed by: OnDestroy and the closing window are its own.
    Destroying();
    if (FCreated && OnDestroy) guard_callback([&] { OnDestroy(this); });
    if (Screen) Screen->remove_form(this);
    if (Application) Application->Notification(this, TOperation::opRemove);
}

void TCustomForm::AfterConstruction() {
    {
        DisableAlign();
        auto realign = scope_exit([this] { EnableAlign(); });
        read_component_resource(*this);
    }
    FCreated = true;
    if (OnCreate) OnCreate(this);
}

void TCustomForm::SetBorderStyle(TFormBorderStyle value) {
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons value) {
    if (value == FBorderIcons) return;
    FBorderIcons = value;
    RecreateWnd();
}

TWindowState TCustomForm::WindowState() const {
    if (!HandleAllocated() || !Visible()) return FWindowState;
    HWND h = const_cast<TCustomForm*>(this)->Handle();
    if (::IsIconic(h)) return TWindowState::wsMinimized;
    if (::IsZoomed(h)) return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

void TCustomForm::SetWindowState(TWindowState value) {
    FWindowState = value;
    if (!HandleAllocated() || !Visible()) return;
    static constexpr int commands[] = {SW_RESTORE, SW_MINIMIZE, SW_MAXIMIZE};
    ::ShowWindow(Handle(), commands[static_cast<int>(value)]);
}

void TCustomForm::SetFormStyle(TFormStyle value) {
    if (value == FFormStyle) return;
    FFormStyle = value;
    if (HandleAllocated())
        ::SetWindowPos(Handle(), value == TFormStyle::fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetMenu(TMainMenu* value) {
    if (FMenu) FMenu->RemoveFreeNotification(this);
    FMenu = value;
    if (FMenu) FMenu->FreeNotification(this);
    if (HandleAllocated()) ::SetMenu(Handle(), FMenu ? FMenu->Handle() : nullptr);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove) {
        if (component == FMenu) {
            FMenu = nullptr;
            if (HandleAllocated()) ::SetMenu(Handle(), nullptr);
        }
        if (component == FActiveControl) FActiveControl = nullptr;
    }
    TWinControl::Notification(component, operation);
}

const property_table& TCustomForm::PublishedProperties() const {
    static const property_table table = property_table::of<TCustomForm>(TWinControl::PublishedProperties())
        .enumeration(u"BorderStyle", &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle,
                     {u"bsNone", u"bsSingle", u"bsSizeable", u"bsDialog", u"bsToolWindow", u"bsSizeToolWin"},
                     TFormBorderStyle::bsSizeable)
        .set_of(u"BorderIcons", &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons,
                {u"biSystemMenu", u"biMinimize", u"biMaximize"},
                TBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize})
        .integer(u"ClientWidth", [](const TCustomForm& f) { return const_cast<TCustomForm&>(f).ClientWidth(); },
                 [](TCustomForm& f, int w) { f.SetClientSize(w, f.ClientHeight()); })
        .integer(u"ClientHeight", [](const TCustomForm& f) { return const_cast<TCustomForm&>(f).ClientHeight(); },
                 [](TCustomForm& f, int h) { f.SetClientSize(f.ClientWidth(), h); })
        .enumeration(u"Position", &TCustomForm::Position, &TCustomForm::SetPosition,
                     {u"poDesigned", u"poDefault", u"poScreenCenter", u"poMainFormCenter", u"poOwnerFormCenter"},
                     TPosition::poDesigned)
        .enumeration(u"WindowState", [](const TCustomForm& f) { return f.FWindowState; }, &TCustomForm::SetWindowState,
                     {u"wsNormal", u"wsMinimized", u"wsMaximized"}, TWindowState::wsNormal)
        .enumeration(u"FormStyle", &TCustomForm::FormStyle, &TCustomForm::SetFormStyle, {u"fsNormal", u"fsStayOnTop"},
                     TFormStyle::fsNormal)
        .boolean(u"KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview, false)
        .boolean(u"AlphaBlend", &TCustomForm::AlphaBlend, &TCustomForm::SetAlphaBlend, false)
        .integer(u"AlphaBlendValue", &TCustomForm::AlphaBlendValue, &TCustomForm::SetAlphaBlendValue,
                 std::uint8_t{255})
        .boolean(u"TransparentColor", &TCustomForm::TransparentColor, &TCustomForm::SetTransparentColor, false)
        .color(u"TransparentColorValue", &TCustomForm::TransparentColorValue, &TCustomForm::SetTransparentColorValue,
               clBlack)
        .component(u"Menu", &TCustomForm::Menu, &TCustomForm::SetMenu)
        .event(u"OnCreate", &TCustomForm::OnCreate)
        .event(u"OnDestroy", &TCustomForm::OnDestroy)
        .event(u"OnShow", &TCustomForm::OnShow)
        .event(u"OnHide", &TCustomForm::OnHide)
        .event(u"OnActivate", &TCustomForm::OnActivate)
        .event(u"OnDeactivate", &TCustomForm::OnDeactivate)
        .event(u"OnPaint", &TCustomForm::OnPaint)
        .event(u"OnClose", &TCustomForm::OnClose)
        .event(u"OnCloseQuery", &TCustomForm::OnCloseQuery);
    return table;
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    FActiveControl = control;
    if (control && FActive && Visible() && control->CanFocus()) ::SetFocus(control->Handle());
}

void TCustomForm::FocusControlChanged(TWinControl* control) {
    FActiveControl = control;
    TMessage m{CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control), 0};
    broadcast(*this, m);
}

void TCustomForm::SelectNext(TWinControl* current, bool go_forward) {
    std::vector<TWinControl*> stops;
    collect_tab_stops(*this, stops);
    if (stops.empty()) return;
    auto it = std::find(stops.begin(), stops.end(), current);
    size_t index = 0;
    if (it == stops.end())
        index = go_forward ? 0 : stops.size() - 1;
    else {
        const size_t at = static_cast<size_t>(it - stops.begin());
        index = go_forward ? (at + 1) % stops.size() : (at + stops.size() - 1) % stops.size();
    }
    stops[index]->SetFocus();
}

void TCustomForm::CreateParams(TCreateParams& params) {
    TWinControl::CreateParams(params);
    border_styles(FBorderStyle, FBorderIcons, params.Style, params.ExStyle);
    if (!Enabled()) params.Style |= WS_DISABLED;
    if (FFormStyle == TFormStyle::fsStayOnTop) params.ExStyle |= WS_EX_TOPMOST;
    params.WndParent = ParentWindow();
    if (Application && !params.WndParent) {
        TCustomForm* main = Application->MainForm();
        if (main && main != this && main->HandleAllocated())
            params.WndParent = main->Handle();
        else if (main == this && Application->MainFormOnTaskBar())
            params.ExStyle |= WS_EX_APPWINDOW;
    }
}

void TCustomForm::CreateWnd() {
    TWinControl::CreateWnd();
    apply_layered();
    set_icons();
    if (FMenu) ::SetMenu(Handle(), FMenu->Handle());
}

void TCustomForm::SetAlphaBlend(bool value) {
    if (value == FAlphaBlend) return;
    FAlphaBlend = value;
    apply_layered();
}

void TCustomForm::SetAlphaBlendValue(std::uint8_t value) {
    if (value == FAlphaBlendValue) return;
    FAlphaBlendValue = value;
    apply_layered();
}

void TCustomForm::SetTransparentColor(bool value) {
    if (value == FTransparentColor) return;
    FTransparentColor = value;
    apply_layered();
}

void TCustomForm::SetTransparentColorValue(TColor value) {
    if (value == FTransparentColorValue) return;
    FTransparentColorValue = value;
    apply_layered();
}

void TCustomForm::apply_layered() {
    if (!HandleAllocated()) return;
    const HWND h = Handle();
    const auto ex_style = static_cast<DWORD>(::GetWindowLongPtrW(h, GWL_EXSTYLE));
    if (!FAlphaBlend && !FTransparentColor) {
        if (ex_style & WS_EX_LAYERED) {
            ::SetWindowLongPtrW(h, GWL_EXSTYLE, ex_style & ~static_cast<DWORD>(WS_EX_LAYERED));
            ::RedrawWindow(h, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
        }
        return;
    }
    if (!(ex_style & WS_EX_LAYERED)) ::SetWindowLongPtrW(h, GWL_EXSTYLE, ex_style | WS_EX_LAYERED);
    DWORD flags = 0;
    if (FAlphaBlend) flags |= LWA_ALPHA;
    if (FTransparentColor) flags |= LWA_COLORKEY;
    ::SetLayeredWindowAttributes(h, static_cast<COLORREF>(ColorToRGB(FTransparentColorValue)),
                                 FAlphaBlend ? FAlphaBlendValue : 255, flags);
}

TMonitor TCustomForm::Monitor() {
    if (!Screen) throw EInvalidOperation(u"The screen is not started");
    return Screen->MonitorFromWindow(Handle());
}

void TCustomForm::set_icons() {
    ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(FIcon.Handle()));
    ::SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(FIcon.Handle()));
}

RECT TCustomForm::ClientRect() {
    if (HandleAllocated()) return TWinControl::ClientRect();
    DWORD style = 0, ex_style = 0;
    border_styles(FBorderStyle, FBorderIcons, style, ex_style);
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, style, FMenu != nullptr, ex_style);
    return RECT{0, 0, std::max(0L, FWidth - (frame.right - frame.left)),
                std::max(0L, FHeight - (frame.bottom - frame.top))};
}

POINT TCustomForm::ClientOrigin() {
    POINT p{0, 0};
    ::ClientToScreen(Handle(), &p);
    return p;
}

bool TCustomForm::Showing() const { return Visible() && HandleAllocated(); }

void TCustomForm::SetVisible(bool value) {
    if (value == Visible()) return;
    if (FModal && !value) {
        // Hiding ends a modal loop the way Close does.
        if (FModalResult == mrNone) FModalResult = mrCancel;
    }
    TControl::SetVisible(value);
    Perform(CM_SHOWINGCHANGED, 0, 0);
}

void TCustomForm::showing_changed() {
    if (Visible()) {
        const HWND h = Handle();
        apply_position();
        static constexpr int commands[] = {SW_SHOWNORMAL, SW_SHOWMINIMIZED, SW_SHOWMAXIMIZED};
        ::ShowWindow(h, commands[static_cast<int>(FWindowState)]);
        if (OnShow) OnShow(this);
        if (FActiveControl && FActiveControl->CanFocus()) ::SetFocus(FActiveControl->Handle());
    } else if (HandleAllocated()) {
        if (OnHide) OnHide(this);
        ::ShowWindow(Handle(), SW_HIDE);
    }
}

void TCustomForm::apply_position() {
    if (FPosition != TPosition::poScreenCenter && FPosition != TPosition::poMainFormCenter &&
        FPosition != TPosition::poOwnerFormCenter)
        return;
    RECT area = Screen ? Screen->WorkAreaRect() : RECT{0, 0, 1024, 768};
    if (FPosition != TPosition::poScreenCenter && Application && Application->MainForm() &&
        Application->MainForm() != this)
        area = Application->MainForm()->BoundsRect();
    SetBounds(area.left + (area.right - area.left - FWidth) / 2, area.top + (area.bottom - area.top - FHeight) / 2,
              FWidth, FHeight);
}

void TCustomForm::Show() {
    SetVisible(true);
    if (HandleAllocated()) ::SetForegroundWindow(Handle());
}

bool TCustomForm::CloseQuery() {
    bool can_close = true;
    if (OnCloseQuery) OnCloseQuery(this, can_close);
    return can_close;
}

void TCustomForm::DoClose(TCloseAction& action) {
    if (OnClose) OnClose(this, action);
}

void TCustomForm::Close() {
    if (FModal) {
        FModalResult = mrCancel;
        return;
    }
    if (!CloseQuery()) return;
    const bool main = Application && Application->MainForm() == this;
    TCloseAction action = main ? TCloseAction::caFree : TCloseAction::caHide;
    DoClose(action);
    if (action == TCloseAction::caNone) return;
    if (main) {
        Application->Terminate();
        return;
    }
    switch (action) {
    case TCloseAction::caHide: Hide(); break;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); break;
    case TCloseAction::caFree: Release(); break;
    default: break;
    }
}

TModalResult TCustomForm::ShowModal() {
    if (Visible() || FModal) throw EInvalidOperation(u"Cannot make a visible window modal");
    // Every other enabled window of the thread is disabled while the form is up.
    enabled_windows found;
    ::EnumThreadWindows(::GetCurrentThreadId(), collect_enabled_window, reinterpret_cast<LPARAM>(&found));
    rethrow_pending(found.error);
    std::vector<HWND>& disabled = found.windows;
    const HWND before = ::GetActiveWindow();
    for (HWND h : disabled) ::EnableWindow(h, FALSE);
    FModal = true;
    FModalResult = mrNone;
    auto restore = scope_exit([&] {
        FModal = false;
        for (HWND h : disabled)
            if (::IsWindow(h)) ::EnableWindow(h, TRUE);
        if (before && ::IsWindow(before)) ::SetActiveWindow(before);
    });
    Show();
    while (Application && !Application->Terminated()) {
        Application->HandleMessage();
        if (FModalResult == mrNone) continue;
        if (!CloseQuery()) {
            FModalResult = mrNone;
            continue;
        }
        TCloseAction action = TCloseAction::caHide;
        DoClose(action);
        if (action == TCloseAction::caNone) {
            FModalResult = mrNone;
            continue;
        }
        break;
    }
    const TModalResult result = FModalResult;
    FModal = false;
    Hide();
    return result;
}

void TCustomForm::SetModalResult(TModalResult value) {
    FModalResult = value;
    // A sent message is handled inside the loop's wait for a posted one: wake the loop to see the result.
    if (FModal && value != mrNone && HandleAllocated()) ::PostMessageW(Handle(), WM_NULL, 0, 0);
}

void TCustomForm::Release() {
    if (HandleAllocated()) ::PostMessageW(Handle(), CM_RELEASE, 0, 0);
}

void TCustomForm::PaintWindow(HDC dc) {
    if (OnPaint) paint_on(*FCanvas, dc, Font(), [this] { OnPaint(this); });
}

void TCustomForm::dialog_key(TMessage& message) {
    if (message.Msg == CM_DIALOGKEY && message.WParam == VK_TAB) {
        if (::GetKeyState(VK_CONTROL) >= 0) {
            SelectNext(FActiveControl, ::GetKeyState(VK_SHIFT) >= 0);
            message.Result = 1;
        }
        return;
    }
    TMessage m{message.Msg, message.WParam, message.LParam, 0};
    broadcast(*this, m);
    message.Result = m.Result;
}

void TCustomForm::WndProc(TMessage& message) {
    switch (message.Msg) {
    case WM_CLOSE: Close(); return;
    case CM_SHOWINGCHANGED: showing_changed(); return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR: dialog_key(message); return;
    case WM_ACTIVATE:
        DefaultHandler(message);
        if (LOWORD(message.WParam) != WA_INACTIVE) {
            FActive = true;
            if (Screen) Screen->set_active_form(this);
            if (FActiveControl && FActiveControl->CanFocus()) ::SetFocus(FActiveControl->Handle());
            if (OnActivate) OnActivate(this);
        } else {
            FActive = false;
            if (OnDeactivate) OnDeactivate(this);
        }
        return;
    case WM_SYSCOMMAND:
        if ((message.WParam & 0xFFF0) == SC_MINIMIZE) FWindowState = TWindowState::wsMinimized;
        if ((message.WParam & 0xFFF0) == SC_MAXIMIZE) FWindowState = TWindowState::wsMaximized;
        if ((message.WParam & 0xFFF0) == SC_RESTORE) FWindowState = TWindowState::wsNormal;
        break;
    case WM_COMMAND:
        if (message.LParam == 0 && HIWORD(message.WParam) == 0 && FMenu &&
            FMenu->DispatchCommand(LOWORD(message.WParam))) {
            return;
        }
        break;
    case WM_INITMENUPOPUP:
        if (FMenu) FMenu->DispatchPopup(reinterpret_cast<HMENU>(message.WParam));
        break;
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
        if (message.WParam == 0 && FMenu && FMenu->DispatchOwnerDraw(message)) return;
        break;
    default: break;
    }
    TWinControl::WndProc(message);
}

// --- THintWindow

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
    SetColor(clInfoBk);
    SetParentFont(false);
    Font().SetColor(clInfoText);
    TControl::SetVisible(false);
}

void THintWindow::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.Style = WS_POPUP | WS_BORDER;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    params.WndParent = nullptr;
    params.WindowClass.style |= CS_SAVEBITS;
}

RECT THintWindow::CalcHintRect(int max_width, const String& hint) {
    RECT r{0, 0, max_width, 0};
    Canvas().SetFont(Font());
    Canvas().TextRect(r, hint, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
    r.right += 6;
    r.bottom += 2;
    return r;
}

void THintWindow::ActivateHint(const RECT& rect, const String& hint) {
    SetCaption(hint);
    SetBoundsRect(rect);
    const HWND h = Handle();
    ::SetWindowPos(h, HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_SHOWWINDOW | SWP_NOACTIVATE);
    TControl::SetVisible(true);
    Invalidate();
}

void THintWindow::ReleaseHandle() {
    TControl::SetVisible(false);
    DestroyHandle();
}

void THintWindow::Paint() {
    RECT r = ClientRect();
    r.left += 2;
    r.top += 1;
    Canvas().Brush().SetStyle(TBrushStyle::bsClear);
    Canvas().TextRect(r, Caption(), DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

// --- TApplication

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}

TApplication::~TApplication() {
    DestroyComponents();
    if (FHandle) unbind_window(FHandle.get());
    FHandle.reset();
}

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    if (FTitle.empty()) {
        const String name = ExtractFileName(executable_path());
        FTitle = name.substr(0, name.find_last_of(u'.'));
    }
    Handle();
}

HWND TApplication::Handle() {
    if (!FHandle) {
        const HINSTANCE instance = register_window_class(L"TApplication");
        FHandle.reset(::CreateWindowExW(WS_EX_TOOLWINDOW, L"TApplication", wide(FTitle), WS_POPUP, 0, 0, 0, 0,
                                        nullptr, nullptr, instance, nullptr));
        if (!FHandle) RaiseLastOSError();
        bind_window(FHandle.get(), {this, [this](TMessage& m) { WndProc(m); }});
    }
    return FHandle.get();
}

String TApplication::ExeName() const { return executable_path(); }

void TApplication::HookMainWindow(const void* owner, TWindowHook hook) {
    FWindowHooks.emplace_back(owner, std::move(hook));
}

void TApplication::UnhookMainWindow(const void* owner) noexcept {
    std::erase_if(FWindowHooks, [&](const auto& h) { return h.first == owner; });
}

void TApplication::WndProc(TMessage& message) {
    // A copy: a hook may unhook itself or others.
    const auto hooks = FWindowHooks;
    for (const auto& hook : hooks) {
        if (hook.second(message)) return;
    }
    if (message.Msg == WM_CLOSE) {
        if (FMainForm) FMainForm->Close();
        return;
    }
    message.Result = ::DefWindowProcW(FHandle.get(), message.Msg, message.WParam, message.LParam);
}

void TApplication::SetTitle(const String& value) {
    FTitle = value;
    if (FHandle) ::SetWindowTextW(FHandle.get(), wide(value));
}

// --- Hints

namespace {

// A stopped timer that stops itself before it acts, so that it fires once per start.
std::unique_ptr<TTimer> one_shot_timer(std::function<void()> action) {
    auto timer = std::make_unique<TTimer>(nullptr);
    timer->SetEnabled(false);
    timer->OnTimer = [self = timer.get(), action = std::move(action)](TObject*) {
        self->SetEnabled(false);
        action();
    };
    return timer;
}

void start_one_shot(TTimer& timer, int interval) {
    timer.SetEnabled(false);
    timer.SetInterval(static_cast<unsigned>(std::max(interval, 1)));
    timer.SetEnabled(true);
}

} // namespace

void TApplication::SetShowHint(bool value) {
    FShowHint = value;
    if (!value) CancelHint();
}

void TApplication::CancelHint() {
    if (FShowHintTimer) FShowHintTimer->SetEnabled(false);
    if (FHideHintTimer) FHideHintTimer->SetEnabled(false);
    if (FHintShown && FHintWindow) FHintWindow->ReleaseHandle();
    FHintShown = false;
    FHintControl = nullptr;
}

void TApplication::forget_control(const TControl* control) noexcept {
    if (control != FHintControl) return;
    if (FShowHintTimer) FShowHintTimer->SetEnabled(false);
    FHintControl = nullptr;
}

void TApplication::hint_mouse_move(TControl* control, POINT screen_pos) {
    if (control == FHintControl && (!FHintShown || ::PtInRect(&FHintRect, screen_pos))) return;
    CancelHint();
    if (!FShowHint || !control || !control->ShowHint()) return;
    FHintControl = control;
    if (!FShowHintTimer) FShowHintTimer = one_shot_timer([this] { activate_hint(); });
    start_one_shot(*FShowHintTimer, FHintPause);
}

void TApplication::activate_hint() {
    TControl* control = FHintControl;
    if (!control) return;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    THintInfo info;
    info.HintControl = control;
    info.CursorPos = control->ScreenToClient(cursor);
    info.CursorRect = control->ClientRect();
    info.HintPos = POINT{cursor.x, cursor.y + ::GetSystemMetrics(SM_CYCURSOR) / 2 + 4};
    info.HintMaxWidth = Screen ? Screen->Width() : 1024;
    info.HintStr = control->Hint();
    info.HideTimeout = FHintHidePause;
    if (control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0 || info.HintStr.empty()) return;
    if (!FHintWindow) FHintWindow = new THintWindow(this);
    RECT r = FHintWindow->CalcHintRect(info.HintMaxWidth, info.HintStr);
    ::OffsetRect(&r, info.HintPos.x, info.HintPos.y);
    FHintWindow->ActivateHint(r, info.HintStr);
    FHintShown = true;
    const POINT top_left = control->ClientToScreen(POINT{info.CursorRect.left, info.CursorRect.top});
    FHintRect = RECT{top_left.x, top_left.y, top_left.x + info.CursorRect.right - info.CursorRect.left,
                     top_left.y + info.CursorRect.bottom - info.CursorRect.top};
    if (info.HideTimeout > 0) {
        if (!FHideHintTimer) FHideHintTimer = one_shot_timer([this] { CancelHint(); });
        start_one_shot(*FHideHintTimer, info.HideTimeout);
    }
}

void TApplication::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == FMainForm) FMainForm = nullptr;
    if (operation == TOperation::opRemove && component == FHintWindow) FHintWindow = nullptr;
    TComponent::Notification(component, operation);
}

void TApplication::add_events(TApplicationEvents* events) { FEvents.push_back(events); }
void TApplication::remove_events(TApplicationEvents* events) noexcept {
    FEvents.erase(std::remove(FEvents.begin(), FEvents.end(), events), FEvents.end());
}

bool TApplication::IsKeyMsg(MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN && msg.message != WM_SYSCHAR) return false;
    // System controls on a form (an edit line of a dialog) count as the framework control they sit on.
    TWinControl* target = nullptr;
    for (HWND h = msg.hwnd; h && !target; h = ::GetParent(h)) target = FindControl(h);
    if (!target) return false;
    TCustomForm* form = GetParentForm(target);
    if (!form) return false;
    if (msg.message == WM_SYSCHAR) return form->Perform(CM_DIALOGCHAR, msg.wParam, msg.lParam) != 0;
    switch (msg.wParam) {
    case VK_TAB:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_EXECUTE:
    case VK_CANCEL: break;
    default: return false;
    }
    const LRESULT code = ::SendMessageW(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    const bool arrows = msg.wParam >= VK_LEFT && msg.wParam <= VK_DOWN;
    if ((code & DLGC_WANTALLKEYS) || (arrows && (code & DLGC_WANTARROWS)) ||
        (msg.wParam == VK_TAB && (code & DLGC_WANTTAB)))
        return false;
    if (target->Perform(CM_WANTSPECIALKEY, msg.wParam, msg.lParam) != 0) return false;
    return form->Perform(CM_DIALOGKEY, msg.wParam, msg.lParam) != 0;
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (msg.message == WM_QUIT) {
        FTerminated = true;
        return true;
    }
    bool handled = false;
    if (OnMessage) OnMessage(msg, handled);
    for (size_t i = 0; i < FEvents.size() && !handled; ++i)
        if (FEvents[i]->OnMessage) FEvents[i]->OnMessage(msg, handled);
    if (handled || IsKeyMsg(msg)) return true;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
    return true;
}

void TApplication::ProcessMessages() {
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        guard_callback([&] { ProcessMessage(msg); });
        if (msg.message == WM_QUIT) break;
    }
}

void TApplication::HandleMessage() {
    MSG msg{};
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        guard_callback([&] { ProcessMessage(msg); });
        return;
    }
    ::WaitMessage();
}

void TApplication::Run() {
    if (FMainForm && FShowMainForm) FMainForm->Show();
    while (!FTerminated) HandleMessage();
}

void TApplication::Terminate() {
    FTerminated = true;
    ::PostQuitMessage(0);
}

void TApplication::Minimize() {
    if (FMainForm) FMainForm->SetWindowState(TWindowState::wsMinimized);
}

void TApplication::Restore() {
    if (FMainForm) FMainForm->SetWindowState(TWindowState::wsNormal);
}

int TApplication::MessageBox(const String& text, const String& caption, UINT flags) {
    HWND owner = ::GetActiveWindow();
    if (!owner) owner = Handle();
    const String& title = caption.empty() ? FTitle : caption;
    return ::MessageBoxW(owner, wide(text), wide(title), flags);
}

void TApplication::HandleException(TObject* sender, const std::exception_ptr& e) {
    if (OnException) {
        OnException(sender, e);
        return;
    }
    for (TApplicationEvents* events : FEvents)
        if (events->OnException) {
            events->OnException(sender, e);
            return;
        }
    ShowException(e);
}

void TApplication::ShowException(const std::exception_ptr& e) {
    // A failure while reporting stays silent: the handler must not raise in its turn.
    guard_callback([&] { MessageBox(innermost_message(e), FTitle, MB_OK | MB_ICONERROR); });
}

TApplicationEvents::TApplicationEvents(TComponent* owner) : TComponent(owner) {
    if (Application) Application->add_events(this);
}

TApplicationEvents::~TApplicationEvents() {
    if (Application) Application->remove_events(this);
}

const property_table& TApplicationEvents::PublishedProperties() const {
    static const property_table table = property_table::of<TApplicationEvents>(TComponent::PublishedProperties())
        .event(u"OnMessage", &TApplicationEvents::OnMessage)
        .event(u"OnException", &TApplicationEvents::OnException);
    return table;
}

// --- TScreen

TScreen::TScreen(TComponent* owner) : TComponent(owner) {
    if (const window_dc screen; screen) FPixelsPerInch = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
}

TScreen::~TScreen() {
    for (const auto& own : FCursors)
        if (::GetCursor() == own.second.get()) ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

TWinControl* TScreen::ActiveControl() const { return FActiveForm ? FActiveForm->ActiveControl() : nullptr; }

void TScreen::add_form(TCustomForm* form) { FForms.push_back(form); }

void TScreen::remove_form(TCustomForm* form) noexcept {
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    if (FActiveForm == form) FActiveForm = nullptr;
}

void TScreen::SetCursors(TCursor index, HCURSOR cursor) {
    const auto old = FCursors.find(index);
    // The system refuses to destroy the cursor it shows: put the replacement up first.
    if (old != FCursors.end() && ::GetCursor() == old->second.get())
        ::SetCursor(cursor ? cursor : ::LoadCursorW(nullptr, IDC_ARROW));
    if (cursor)
        FCursors[index].reset(cursor);
    else if (old != FCursors.end())
        FCursors.erase(old);
    if (index == FCursor || (FCursor == crDefault && index == crArrow)) SetCursor(FCursor);
}

void TScreen::SetCursor(TCursor value) {
    FCursor = value;
    ::SetCursor(Cursors(value == crDefault ? crArrow : value));
}

HCURSOR TScreen::Cursors(TCursor index) const {
    if (const auto own = FCursors.find(index); own != FCursors.end()) return own->second.get();
    const wchar_t* id = IDC_ARROW;
    switch (index) {
    case crCross: id = IDC_CROSS; break;
    case crIBeam: id = IDC_IBEAM; break;
    case crSizeNESW: id = IDC_SIZENESW; break;
    case crSizeNS: id = IDC_SIZENS; break;
    case crSizeNWSE: id = IDC_SIZENWSE; break;
    case crSizeWE: id = IDC_SIZEWE; break;
    case crHourGlass: id = IDC_WAIT; break;
    case crNo: id = IDC_NO; break;
    case crHandPoint: id = IDC_HAND; break;
    case crSizeAll: id = IDC_SIZEALL; break;
    default: break;
    }
    return ::LoadCursorW(nullptr, id);
}

int TScreen::Width() const { return ::GetSystemMetrics(SM_CXSCREEN); }
int TScreen::Height() const { return ::GetSystemMetrics(SM_CYSCREEN); }

RECT TScreen::WorkAreaRect() const {
    RECT r{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

namespace {
TMonitor monitor_of(HMONITOR h) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ::GetMonitorInfoW(h, &info);
    return TMonitor{h, info.rcMonitor, info.rcWork, (info.dwFlags & MONITORINFOF_PRIMARY) != 0};
}

struct monitor_list {
    std::vector<TMonitor> monitors;
    std::exception_ptr error;
};

BOOL CALLBACK collect_monitor(HMONITOR h, HDC, LPRECT, LPARAM data) noexcept {
    auto* list = reinterpret_cast<monitor_list*>(data);
    return guard_callback(list->error, FALSE, [&] {
        list->monitors.push_back(monitor_of(h));
        return TRUE;
    });
}
} // namespace

std::vector<TMonitor> TScreen::Monitors() const {
    monitor_list list;
    ::EnumDisplayMonitors(nullptr, nullptr, collect_monitor, reinterpret_cast<LPARAM>(&list));
    rethrow_pending(list.error);
    for (size_t i = 0; i < list.monitors.size(); ++i) list.monitors[i].MonitorNum = static_cast<int>(i);
    return std::move(list.monitors);
}

TMonitor TScreen::MonitorFromWindow(HWND handle) const {
    TMonitor monitor = monitor_of(::MonitorFromWindow(handle, MONITOR_DEFAULTTONEAREST));
    const std::vector<TMonitor> all = Monitors();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].Handle == monitor.Handle) monitor.MonitorNum = static_cast<int>(i);
    return monitor;
}

POINT TMouse::CursorPos() const {
    POINT p{};
    ::GetCursorPos(&p);
    return p;
}

void TMouse::SetCursorPos(POINT value) { ::SetCursorPos(value.x, value.y); }

// --- Start-up

namespace {

// The names component text uses for colours and cursors, and the classes it may create.
void register_names() {
    struct named {
        std::int64_t value;
        const char16_t* name;
    };
    static constexpr named colours[] = {
        {clBlack, u"clBlack"}, {clRed, u"clRed"}, {clOlive, u"clOlive"}, {clGray, u"clGray"},
        {clSilver, u"clSilver"}, {clWhite, u"clWhite"}, {clNone, u"clNone"}, {clDefault, u"clDefault"},
        {clMenu, u"clMenu"}, {clWindow, u"clWindow"}, {clMenuText, u"clMenuText"}, {clWindowText, u"clWindowText"},
        {clHighlight, u"clHighlight"}, {clHighlightText, u"clHighlightText"}, {clBtnFace, u"clBtnFace"},
        {clGrayText, u"clGrayText"}, {clBtnText, u"clBtnText"}, {clInfoText, u"clInfoText"}, {clInfoBk, u"clInfoBk"},
        {clGradientActiveCaption, u"clGradientActiveCaption"}};
    static constexpr named cursors[] = {
        {crDefault, u"crDefault"}, {crArrow, u"crArrow"}, {crCross, u"crCross"}, {crIBeam, u"crIBeam"},
        {crSizeNESW, u"crSizeNESW"}, {crSizeNS, u"crSizeNS"}, {crSizeNWSE, u"crSizeNWSE"}, {crSizeWE, u"crSizeWE"},
        {crHourGlass, u"crHourGlass"}, {crNo, u"crNo"}, {crHandPoint, u"crHandPoint"}, {crSizeAll, u"crSizeAll"}};
    for (const named& c : colours) color_idents().add(c.value, c.name);
    for (const named& c : cursors) cursor_idents().add(c.value, c.name);
    register_class<TTimer>();
    register_class<TImageList>();
    register_class<TMainMenu>();
    register_class<TPopupMenu>();
    register_class<TMenuItem>();
    register_class<TApplicationEvents>();
    register_class<TDataModule>();
}

} // namespace

void forms_startup() {
    forms_state& s = state();
    if (!s.names_registered) {
        register_names();
        s.names_registered = true;
    }
    controls_startup();
    threads_startup();
    s.mouse = std::make_unique<TMouse>();
    s.screen = std::make_unique<TScreen>(nullptr);
    s.application = std::make_unique<TApplication>(nullptr);
    Mouse = s.mouse.get();
    Screen = s.screen.get();
    Application = s.application.get();
    s.previous_handler = get_exception_handler();
    set_exception_handler(application_exception_handler);
}

void forms_shutdown() {
    forms_state& s = state();
    // Calls still queued for the GUI thread run while the application is there.
    threads_shutdown();
    set_exception_handler(s.previous_handler);
    // Forms owned by the application go with it; they still find the screen while they close.
    s.application.reset();
    Application = nullptr;
    s.screen.reset();
    Screen = nullptr;
    s.mouse.reset();
    Mouse = nullptr;
    controls_shutdown();
}

} // namespace kq
