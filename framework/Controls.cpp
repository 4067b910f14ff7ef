#include "framework/Controls.h"

#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/Properties.h"
#include "framework/Threads.h"

#include <windowsx.h>

#include <algorithm>
#include <unordered_map>
#include <optional>
#include <set>

namespace kq {

// --- Window procedure hooks

namespace detail {
struct window_hook_chain {
    struct entry {
        std::uint64_t id;
        TWndHook hook;
        bool removed = false;
    };
    std::vector<std::shared_ptr<entry>> entries; // oldest first
    std::uint64_t next_id = 1;

    void remove(std::uint64_t id) noexcept {
        for (auto it = entries.begin(); it != entries.end(); ++it)
            if ((*it)->id == id) {
                // A dispatch running now may still hold the entry: mark it so that it is skipped.
                (*it)->removed = true;
                entries.erase(it);
                return;
            }
    }
};
} // namespace detail

window_hook::window_hook(std::weak_ptr<detail::window_hook_chain> chain, std::uint64_t id) noexcept
    : FChain(std::move(chain)), FId(id) {}
window_hook::window_hook(window_hook&& other) noexcept
    : FChain(std::move(other.FChain)), FId(std::exchange(other.FId, 0)) {}
window_hook& window_hook::operator=(window_hook&& other) noexcept {
    if (this != &other) {
        Unhook();
        FChain = std::move(other.FChain);
        FId = std::exchange(other.FId, 0);
    }
    return *this;
}
window_hook::~window_hook() { Unhook(); }

void window_hook::Unhook() noexcept {
    if (auto chain = FChain.lock()) chain->remove(FId);
    FChain.reset();
    FId = 0;
}

bool window_hook::Hooked() const noexcept {
    auto chain = FChain.lock();
    return chain && std::any_of(chain->entries.begin(), chain->entries.end(),
                                [&](const auto& e) { return e->id == FId; });
}

// --- Shared state of the GUI thread

namespace {

struct controls_state {
    TControl* mouse_control = nullptr;   // the control under the mouse (entered, not yet left)
    TControl* capture_control = nullptr; // a graphic control holding the mouse while a button is down
};

controls_state& state() {
    static controls_state s;
    return s;
}

HINSTANCE instance() noexcept { return ::GetModuleHandleW(nullptr); }

TShiftState shift_from_keys(WPARAM keys) {
    TShiftState s;
    if (keys & MK_SHIFT) s.include(TShiftStateFlag::ssShift);
    if (keys & MK_CONTROL) s.include(TShiftStateFlag::ssCtrl);
    if (keys & MK_LBUTTON) s.include(TShiftStateFlag::ssLeft);
    if (keys & MK_RBUTTON) s.include(TShiftStateFlag::ssRight);
    if (keys & MK_MBUTTON) s.include(TShiftStateFlag::ssMiddle);
    if (::GetKeyState(VK_MENU) < 0) s.include(TShiftStateFlag::ssAlt);
    return s;
}

bool is_mouse_message(UINT m) { return m >= WM_MOUSEFIRST && m <= WM_MBUTTONDBLCLK && m != WM_MOUSEWHEEL; }

LPARAM point_param(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

} // namespace

TShiftState KeyboardState() {
    TShiftState s;
    if (::GetKeyState(VK_SHIFT) < 0) s.include(TShiftStateFlag::ssShift);
    if (::GetKeyState(VK_CONTROL) < 0) s.include(TShiftStateFlag::ssCtrl);
    if (::GetKeyState(VK_MENU) < 0) s.include(TShiftStateFlag::ssAlt);
    if (::GetKeyState(VK_LBUTTON) < 0) s.include(TShiftStateFlag::ssLeft);
    if (::GetKeyState(VK_RBUTTON) < 0) s.include(TShiftStateFlag::ssRight);
    if (::GetKeyState(VK_MBUTTON) < 0) s.include(TShiftStateFlag::ssMiddle);
    return s;
}

TCustomForm* GetParentForm(const TControl* control) noexcept {
    const TControl* c = control;
    while (c && c->Parent()) c = c->Parent();
    return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

// --- Window handles

void use_system_class(TCreateParams& params, const wchar_t* system_class, WNDPROC& system_proc) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    if (!::GetClassInfoExW(nullptr, system_class, &info)) RaiseLastOSError();
    system_proc = info.lpfnWndProc;
    params.WindowClass.style = info.style & ~static_cast<UINT>(CS_GLOBALCLASS);
    params.WindowClass.cbClsExtra = info.cbClsExtra;
    params.WindowClass.cbWndExtra = info.cbWndExtra;
    params.WindowClass.hCursor = info.hCursor;
    params.WindowClass.hbrBackground = info.hbrBackground;
}

TWinControl* FindControl(HWND handle) noexcept { return dynamic_cast<TWinControl*>(window_object(handle)); }

void controls_startup() {}

const std::vector<String>& bidi_mode_names() {
    static const std::vector<String> names{u"bdLeftToRight", u"bdRightToLeft", u"bdRightToLeftNoAlign",
                                           u"bdRightToLeftReadingOnly"};
    return names;
}

const std::vector<String>& alignment_names() {
    static const std::vector<String> names{u"taLeftJustify", u"taRightJustify", u"taCenter"};
    return names;
}

const std::vector<String>& vertical_alignment_names() {
    static const std::vector<String> names{u"taAlignTop", u"taAlignBottom", u"taVerticalCenter"};
    return names;
}

void controls_shutdown() { unregister_window_classes(); }

// --- TControl

TControl::TControl(TComponent* owner) : TComponent(owner), FFont(std::make_unique<TFont>()) {
    WindowProc = [this](TMessage& m) { WndProc(m); };
    FFont->OnChange = [this](TObject*) { FontChanged(); };
    FConstraints.OnChange = [this](TObject*) { SetBounds(FLeft, FTop, FWidth, FHeight); };
}

TControl::~TControl() {
    if (Application) Application->forget_control(this);
    auto& s = state();
    if (s.mouse_control == this) s.mouse_control = nullptr;
    if (s.capture_control == this) s.capture_control = nullptr;
    if (FParent) FParent->RemoveControl(this);
    FParent = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == FParent) return;
    if (parent == this) throw EInvalidOperation(u"A control cannot have itself as its parent");
    if (FParent) FParent->RemoveControl(this);
    if (parent) parent->InsertControl(this);
}

TComponent* TControl::GetParentComponent() const { return FParent; }

void TControl::SetParentComponent(TComponent* value) {
    if (auto* p = dynamic_cast<TWinControl*>(value)) SetParent(p);
}

void TControl::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == FPopupMenu) FPopupMenu = nullptr;
    TComponent::Notification(component, operation);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    assert_gui_thread();
    if (FConstraints.MinWidth() > 0) width = std::max(width, FConstraints.MinWidth());
    if (FConstraints.MaxWidth() > 0) width = std::min(width, FConstraints.MaxWidth());
    if (FConstraints.MinHeight() > 0) height = std::max(height, FConstraints.MinHeight());
    if (FConstraints.MaxHeight() > 0) height = std::min(height, FConstraints.MaxHeight());
    width = std::max(width, 0);
    height = std::max(height, 0);
    const bool resized = width != FWidth || height != FHeight;
    if (!resized && left == FLeft && top == FTop) return;
    InvalidateParentRect();
    FLeft = left;
    FTop = top;
    FWidth = width;
    FHeight = height;
    InvalidateParentRect();
    BoundsChanged();
    if (FParent && FParent->FAlignLevel == 0) {
        const RECT client = FParent->ClientRect();
        FAnchorRight = client.right - (FLeft + FWidth);
        FAnchorBottom = client.bottom - (FTop + FHeight);
        FAnchorsKnown = true;
    }
    if (resized) Resize();
    RequestAlign();
}

void TControl::RequestAlign() {
    if (FParent && FParent->FAlignLevel == 0 && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::InvalidateParentRect() {
    if (dynamic_cast<TWinControl*>(this) || !FParent || !FParent->HandleAllocated() || !FVisible) return;
    const RECT r = BoundsRect();
    ::InvalidateRect(FParent->Handle(), &r, TRUE);
}

const property_table& TControl::PublishedProperties() const {
    static const property_table table = property_table::of<TControl>(TComponent::PublishedProperties())
        .integer(u"Left", &TControl::Left, &TControl::SetLeft)
        .integer(u"Top", &TControl::Top, &TControl::SetTop)
        .integer(u"Width", &TControl::Width, &TControl::SetWidth)
        .integer(u"Height", &TControl::Height, &TControl::SetHeight)
        .enumeration(u"Align", &TControl::Align, &TControl::SetAlign,
                     {u"alNone", u"alTop", u"alBottom", u"alLeft", u"alRight", u"alClient"}, TAlign::alNone)
        .set_of(u"Anchors", &TControl::Anchors, &TControl::SetAnchors, {u"akLeft", u"akTop", u"akRight", u"akBottom"},
                TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop})
        .persistent(u"Constraints", [](const TControl& c) { return &const_cast<TControl&>(c).Constraints(); })
        .string(u"Caption", &TControl::Caption, &TControl::SetCaption, String())
        .color(u"Color", &TControl::Color, &TControl::SetColor, clBtnFace)
        .boolean(u"ParentColor", &TControl::ParentColor, &TControl::SetParentColor, false)
        .persistent(u"Font", [](const TControl& c) { return &const_cast<TControl&>(c).Font(); })
        .boolean(u"ParentFont", &TControl::ParentFont, &TControl::SetParentFont, true)
        .enumeration(u"BiDiMode", &TControl::BiDiMode, &TControl::SetBiDiMode, bidi_mode_names(),
                     TBiDiMode::bdLeftToRight)
        .boolean(u"ParentBiDiMode", &TControl::ParentBiDiMode, &TControl::SetParentBiDiMode, true)
        .cursor(u"Cursor", &TControl::Cursor, &TControl::SetCursor, crDefault)
        .string(u"Hint", &TControl::Hint, &TControl::SetHint, String())
        .boolean(u"ShowHint", &TControl::ShowHint, &TControl::SetShowHint, false)
        .boolean(u"Enabled", &TControl::Enabled, &TControl::SetEnabled, true)
        .boolean(u"Visible", &TControl::Visible, &TControl::SetVisible, true)
        .component(u"PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu)
        .event(u"OnClick", &TControl::OnClick)
        .event(u"OnDblClick", &TControl::OnDblClick)
        .event(u"OnResize", &TControl::OnResize)
        .event(u"OnMouseEnter", &TControl::OnMouseEnter)
        .event(u"OnMouseLeave", &TControl::OnMouseLeave)
        .event(u"OnMouseDown", &TControl::OnMouseDown)
        .event(u"OnMouseUp", &TControl::OnMouseUp)
        .event(u"OnMouseMove", &TControl::OnMouseMove);
    return table;
}

RECT TControl::ClientRect() { return RECT{0, 0, FWidth, FHeight}; }

void TControl::SetClientSize(int width, int height) {
    const RECT client = ClientRect();
    SetBounds(FLeft, FTop, FWidth + width - client.right, FHeight + height - client.bottom);
}

POINT TControl::ClientOrigin() {
    if (!FParent) throw EInvalidOperation(u"Control '" + Name() + u"' has no parent window");
    const POINT p = FParent->ClientOrigin();
    return POINT{p.x + FLeft, p.y + FTop};
}

POINT TControl::ClientToScreen(POINT point) {
    const POINT o = ClientOrigin();
    return POINT{point.x + o.x, point.y + o.y};
}

POINT TControl::ScreenToClient(POINT point) {
    const POINT o = ClientOrigin();
    return POINT{point.x - o.x, point.y - o.y};
}

void TControl::SetAlign(TAlign value) {
    if (value == FAlign) return;
    FAlign = value;
    if (FParent) FParent->Realign();
}

void TControl::SetAnchors(TAnchors value) { FAnchors = value; }

void TControl::SetConstraints(const TSizeConstraints& value) { FConstraints.Assign(&value); }

// --- TSizeConstraints

TSizeConstraints::TSizeConstraints(int min_width, int min_height, int max_width, int max_height)
    : FMinWidth(min_width), FMinHeight(min_height), FMaxWidth(max_width), FMaxHeight(max_height) {}

void TSizeConstraints::changed() {
    if (OnChange) OnChange(this);
}

void TSizeConstraints::SetMinWidth(int value) {
    if (value == FMinWidth) return;
    FMinWidth = value;
    if (FMaxWidth > 0 && value > FMaxWidth) FMaxWidth = value;
    changed();
}

void TSizeConstraints::SetMinHeight(int value) {
    if (value == FMinHeight) return;
    FMinHeight = value;
    if (FMaxHeight > 0 && value > FMaxHeight) FMaxHeight = value;
    changed();
}

void TSizeConstraints::SetMaxWidth(int value) {
    if (value == FMaxWidth) return;
    FMaxWidth = value;
    if (value > 0 && value < FMinWidth) FMinWidth = value;
    changed();
}

void TSizeConstraints::SetMaxHeight(int value) {
    if (value == FMaxHeight) return;
    FMaxHeight = value;
    if (value > 0 && value < FMinHeight) FMinHeight = value;
    changed();
}

void TSizeConstraints::Assign(const TPersistent* source) {
    const auto* other = dynamic_cast<const TSizeConstraints*>(source);
    if (!other) {
        TPersistent::Assign(source);
        return;
    }
    FMinWidth = other->FMinWidth;
    FMinHeight = other->FMinHeight;
    FMaxWidth = other->FMaxWidth;
    FMaxHeight = other->FMaxHeight;
    changed();
}

const property_table& TSizeConstraints::PublishedProperties() const {
    static const property_table table = property_table::of<TSizeConstraints>(TPersistent::PublishedProperties())
        .integer(u"MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight, 0)
        .integer(u"MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth, 0)
        .integer(u"MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight, 0)
        .integer(u"MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth, 0);
    return table;
}

bool TControl::Showing() const { return FVisible && FParent && FParent->Showing(); }

void TControl::SetVisible(bool value) {
    if (value == FVisible) return;
    if (!value) InvalidateParentRect();
    FVisible = value;
    InvalidateParentRect();
    Perform(CM_VISIBLECHANGED, value, 0);
    if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
    Invalidate();
}

void TControl::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    FParentColor = false;
    Perform(CM_COLORCHANGED, 0, 0);
    Invalidate();
    if (auto* self = dynamic_cast<TWinControl*>(this))
        for (TControl* c : self->FControls) c->ParentColorChanged();
}

void TControl::SetParentColor(bool value) {
    FParentColor = value;
    if (value) ParentColorChanged();
}

void TControl::ParentColorChanged() {
    if (!FParentColor || !FParent) return;
    SetColor(FParent->Color());
    FParentColor = true;
}

void TControl::SetParentFont(bool value) {
    FParentFont = value;
    if (value) ParentFontChanged();
}

void TControl::ParentFontChanged() {
    if (!FParentFont || !FParent) return;
    FFont->Assign(&FParent->Font());
    FParentFont = true; // the copy above is not the user's choice
}

void TControl::FontChanged() {
    FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
    Invalidate();
    if (auto* self = dynamic_cast<TWinControl*>(this))
        for (TControl* c : self->FControls) c->ParentFontChanged();
}

void TControl::SetBiDiMode(TBiDiMode value) {
    if (value == FBiDiMode) return;
    FBiDiMode = value;
    FParentBiDiMode = false;
    Perform(CM_BIDIMODECHANGED, 0, 0);
    Invalidate();
    if (auto* self = dynamic_cast<TWinControl*>(this))
        for (TControl* c : self->FControls) c->ParentBiDiModeChanged();
}

void TControl::SetParentBiDiMode(bool value) {
    FParentBiDiMode = value;
    if (value) ParentBiDiModeChanged();
}

void TControl::ParentBiDiModeChanged() {
    if (!FParentBiDiMode || !FParent) return;
    SetBiDiMode(FParent->BiDiMode());
    FParentBiDiMode = true; // taken from the parent, not the user's choice
}

void TControl::SetCursor(TCursor value) {
    if (value == FCursor) return;
    FCursor = value;
    Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TPopupMenu* value) {
    FPopupMenu = value;
    if (value) value->FreeNotification(this);
}

void TControl::SetText(const String& value) {
    if (value == FText) return;
    auto* self = dynamic_cast<TWinControl*>(this);
    if (self && self->HandleAllocated()) {
        // WM_SETTEXT stores the text and reports the change.
        ::SetWindowTextW(self->Handle(), wide(value));
        return;
    }
    FText = value;
    Perform(CM_TEXTCHANGED, 0, 0);
}

void TControl::Invalidate() { InvalidateParentRect(); }

void TControl::Update() {
    if (FParent) FParent->Update();
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

void TControl::BringToFront() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.push_back(this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        ::SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

void TControl::SendToBack() {
    if (!FParent) return;
    auto& list = FParent->FControls;
    list.erase(std::find(list.begin(), list.end(), this));
    list.insert(list.begin(), this);
    if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
        ::SetWindowPos(w->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    Invalidate();
}

LRESULT TControl::Perform(UINT msg, WPARAM w_param, LPARAM l_param) {
    TMessage m{msg, w_param, l_param, 0};
    Dispatch(m);
    return m.Result;
}

window_hook TControl::HookWindowProc(TWndHook hook) {
    if (!FHooks) FHooks = std::make_shared<detail::window_hook_chain>();
    const std::uint64_t id = FHooks->next_id++;
    FHooks->entries.push_back(
        std::make_shared<detail::window_hook_chain::entry>(detail::window_hook_chain::entry{id, std::move(hook)}));
    return window_hook(FHooks, id);
}

void TControl::Dispatch(TMessage& message) {
    // While the control is being destroyed its hookers may be half gone; its own handling still needs
    // every message as it was sent.
    if (!FHooks || FHooks->entries.empty() || ComponentState().contains(TComponentStateFlag::csDestroying)) {
        if (WindowProc) WindowProc(message);
        return;
    }
    // The hooks of this moment, newest first; one removed meanwhile is skipped.
    const auto hooks = FHooks->entries;
    struct runner {
        TControl& control;
        const std::vector<std::shared_ptr<detail::window_hook_chain::entry>>& hooks;
        void run(size_t count, TMessage& m) const {
            while (count > 0 && hooks[count - 1]->removed) --count;
            if (count == 0) {
                if (control.WindowProc) control.WindowProc(m);
                return;
            }
            const auto& e = hooks[count - 1];
            e->hook(m, [this, count](TMessage& next) { run(count - 1, next); });
        }
    };
    runner{*this, hooks}.run(hooks.size(), message);
}

void TControl::WndProc(TMessage& message) {
    switch (message.Msg) {
    case CM_MOUSEENTER:
        FMouseInControl = true;
        if (OnMouseEnter) OnMouseEnter(this);
        return;
    case CM_MOUSELEAVE:
        if (Application) Application->CancelHint();
        FMouseInControl = false;
        if (OnMouseLeave) OnMouseLeave(this);
        return;
    default: break;
    }
    if (is_mouse_message(message.Msg)) {
        handle_mouse(message);
        return;
    }
    DefaultHandler(message);
}

void TControl::handle_mouse(TMessage& message) {
    const int x = GET_X_LPARAM(message.LParam), y = GET_Y_LPARAM(message.LParam);
    TShiftState shift = shift_from_keys(message.WParam);
    switch (message.Msg) {
    case WM_MOUSEMOVE: MouseMove(shift, x, y); break;
    case WM_LBUTTONDOWN:
        FMouseDown = true;
        MouseDown(TMouseButton::mbLeft, shift, x, y);
        break;
    case WM_LBUTTONDBLCLK:
        FMouseDown = true;
        if (FControlStyle.contains(TControlStyleFlag::csDoubleClicks)) {
            DblClick();
            shift.include(TShiftStateFlag::ssDouble);
        }
        MouseDown(TMouseButton::mbLeft, shift, x, y);
        break;
    case WM_LBUTTONUP: {
        const bool clicked = FMouseDown && FControlStyle.contains(TControlStyleFlag::csClickEvents) && x >= 0 &&
                             y >= 0 && x < FWidth && y < FHeight;
        FMouseDown = false;
        if (clicked) Click();
        MouseUp(TMouseButton::mbLeft, shift, x, y);
        break;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: MouseDown(TMouseButton::mbRight, shift, x, y); break;
    case WM_RBUTTONUP: MouseUp(TMouseButton::mbRight, shift, x, y); break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: MouseDown(TMouseButton::mbMiddle, shift, x, y); break;
    case WM_MBUTTONUP: MouseUp(TMouseButton::mbMiddle, shift, x, y); break;
    default: break;
    }
    DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::Click() {
    if (OnClick) OnClick(this);
}
void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}
void TControl::Resize() {
    if (OnResize) OnResize(this);
}
void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

// --- TWinControl

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    Destroying(); // messages of the closing window see the component as being destroyed
    // Children go with their parent, newest first; each leaves its owner's list as it goes.
    while (!FControls.empty()) delete FControls.back();
    if (FHandle) ::DestroyWindow(FHandle);
}

HWND TWinControl::Handle() {
    if (!FHandle) {
        if (FCreating) throw EInvalidOperation(u"Control '" + Name() + u"' is creating its window");
        FCreating = true;
        auto done = scope_exit([this] { FCreating = false; });
        CreateWnd();
    }
    return FHandle;
}

void TWinControl::CreateParams(TCreateParams& params) {
    params.Caption = FText;
    params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    if (Visible()) params.Style |= WS_VISIBLE;
    if (!Enabled()) params.Style |= WS_DISABLED;
    if (FTabStop) params.Style |= WS_TABSTOP;
    params.X = FLeft;
    params.Y = FTop;
    params.Width = FWidth;
    params.Height = FHeight;
    if (FParent)
        params.WndParent = FParent->Handle();
    else
        params.WndParent = FParentWindow;
    params.WindowClass.cbSize = sizeof(WNDCLASSEXW);
    params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    params.WindowClass.hInstance = instance();
    params.WindowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    params.WinClassName = ClassName();
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    if ((params.Style & WS_CHILD) && !params.WndParent)
        throw EInvalidOperation(u"Control '" + Name() + u"' has no parent window");
    params.WindowClass.lpszClassName = wide(params.WinClassName);
    register_window_class(params.WindowClass);
    CreateWindowHandle(params);
    if (!FHandle) RaiseLastOSError();
    ::SendMessageW(FHandle, WM_SETFONT, reinterpret_cast<WPARAM>(Font().Handle()), 0);
    for (TControl* c : std::vector<TControl*>(FControls))
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
    Realign();
}

void TWinControl::CreateWindowHandle(const TCreateParams& params) {
    create_bound_window(params.ExStyle, wide(params.WinClassName), wide(params.Caption), params.Style, params.X,
                        params.Y, params.Width, params.Height, params.WndParent,
                        {this, [this](TMessage& m) { window_message(m); }, &FHandle});
}

void TWinControl::window_message(TMessage& message) {
    if (message.Msg != CM_RELEASE) {
        Dispatch(message);
        return;
    }
    // Posted by Release: the form's own handlers have all returned by now.
    auto release = scope_exit([this] {
        if (auto* form = dynamic_cast<TCustomForm*>(this)) delete form;
    });
    Dispatch(message);
}

void TWinControl::DestroyWnd() {
    if (FHandle) ::DestroyWindow(FHandle);
}

void TWinControl::DestroyHandle() {
    if (FHandle) DestroyWnd();
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    DestroyHandle();
    HandleNeeded();
}

void TWinControl::InsertControl(TControl* control) {
    control->FParent = this;
    FControls.push_back(control);
    if (auto* w = dynamic_cast<TWinControl*>(control)) FTabList.push_back(w);
    if (control->FParentFont) control->ParentFontChanged();
    if (control->FParentColor) control->ParentColorChanged();
    if (control->FParentBiDiMode) control->ParentBiDiModeChanged();
    if (auto* w = dynamic_cast<TWinControl*>(control)) {
        if (w->HandleAllocated())
            ::SetParent(w->Handle(), HandleAllocated() ? FHandle : nullptr);
        else if (HandleAllocated())
            w->HandleNeeded();
    }
    control->InvalidateParentRect();
    if (FAlignLevel == 0) {
        const RECT client = ClientRect();
        control->FAnchorRight = client.right - (control->FLeft + control->FWidth);
        control->FAnchorBottom = client.bottom - (control->FTop + control->FHeight);
        control->FAnchorsKnown = true;
    }
    Realign();
}

void TWinControl::RemoveControl(TControl* control) {
    control->InvalidateParentRect();
    auto& s = state();
    if (s.capture_control == control) s.capture_control = nullptr;
    if (auto* w = dynamic_cast<TWinControl*>(control)) w->DestroyHandle();
    FControls.erase(std::find(FControls.begin(), FControls.end(), control));
    if (auto* w = dynamic_cast<TWinControl*>(control)) FTabList.erase(std::find(FTabList.begin(), FTabList.end(), w));
    control->FParent = nullptr;
    Realign();
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(POINT pos, bool allow_disabled) {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!c->Visible() || (!allow_disabled && !c->Enabled())) continue;
        const RECT r = c->BoundsRect();
        if (::PtInRect(&r, pos)) return c;
    }
    return nullptr;
}

int TWinControl::TabOrder() const {
    if (!FParent) return -1;
    const auto& list = FParent->FTabList;
    return static_cast<int>(std::find(list.begin(), list.end(), this) - list.begin());
}

void TWinControl::SetTabOrder(int value) {
    if (!FParent) return;
    // The tab order is a list of its own: bringing a control to the front leaves its place in it.
    auto& list = FParent->FTabList;
    list.erase(std::find(list.begin(), list.end(), this));
    const auto at = static_cast<std::size_t>(std::clamp(value, 0, static_cast<int>(list.size())));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), this);
}

std::vector<TWinControl*> TWinControl::TabList() const {
    std::vector<TWinControl*> result;
    for (TWinControl* w : FTabList)
        if (w->FTabStop) result.push_back(w);
    return result;
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return GetParentForm(this) != nullptr;
}

bool TWinControl::Focused() const { return FHandle && ::GetFocus() == FHandle; }

void TWinControl::SetFocus() {
    TCustomForm* form = GetParentForm(this);
    if (form && form != this && !form->Showing()) {
        form->SetActiveControl(this);
        return;
    }
    ::SetFocus(Handle());
}

void TWinControl::EnableAlign() {
    if (--FAlignLevel == 0 && FRealignPending) Realign();
}

void TWinControl::Realign() {
    if (FAlignLevel > 0) {
        FRealignPending = true;
        return;
    }
    FRealignPending = false;
    RECT r = ClientRect();
    AdjustClientRect(r);
    ++FAlignLevel;
    auto done = scope_exit([this] { --FAlignLevel; });
    AlignControls(r);
}

void TWinControl::AlignControls(RECT& rect) {
    auto aligned = [&](TAlign a) {
        std::vector<TControl*> list;
        for (TControl* c : FControls)
            if (c->FAlign == a && c->Visible()) list.push_back(c);
        // Controls of one alignment keep their order on screen: by position from the edge they fill.
        std::stable_sort(list.begin(), list.end(), [a](TControl* x, TControl* y) {
            switch (a) {
            case TAlign::alTop: return x->FTop < y->FTop;
            case TAlign::alBottom: return x->FTop + x->FHeight > y->FTop + y->FHeight;
            case TAlign::alLeft: return x->FLeft < y->FLeft;
            case TAlign::alRight: return x->FLeft + x->FWidth > y->FLeft + y->FWidth;
            default: return false;
            }
        });
        return list;
    };
    for (TControl* c : aligned(TAlign::alTop)) {
        c->SetBounds(rect.left, rect.top, rect.right - rect.left, c->FHeight);
        rect.top += c->FHeight;
    }
    for (TControl* c : aligned(TAlign::alBottom)) {
        c->SetBounds(rect.left, rect.bottom - c->FHeight, rect.right - rect.left, c->FHeight);
        rect.bottom -= c->FHeight;
    }
    for (TControl* c : aligned(TAlign::alLeft)) {
        c->SetBounds(rect.left, rect.top, c->FWidth, std::max(0L, rect.bottom - rect.top));
        rect.left += c->FWidth;
    }
    for (TControl* c : aligned(TAlign::alRight)) {
        c->SetBounds(rect.right - c->FWidth, rect.top, c->FWidth, std::max(0L, rect.bottom - rect.top));
        rect.right -= c->FWidth;
    }
    for (TControl* c : aligned(TAlign::alClient))
        c->SetBounds(rect.left, rect.top, std::max(0L, rect.right - rect.left), std::max(0L, rect.bottom - rect.top));

    // Anchored controls keep their distance to the right and bottom edges.
    const RECT client = ClientRect();
    for (TControl* c : FControls) {
        if (c->FAlign != TAlign::alNone || !c->FAnchorsKnown) continue;
        int left = c->FLeft, top = c->FTop, width = c->FWidth, height = c->FHeight;
        if (c->FAnchors.contains(TAnchorKind::akRight)) {
            if (c->FAnchors.contains(TAnchorKind::akLeft))
                width = client.right - c->FAnchorRight - left;
            else
                left = client.right - c->FAnchorRight - width;
        }
        if (c->FAnchors.contains(TAnchorKind::akBottom)) {
            if (c->FAnchors.contains(TAnchorKind::akTop))
                height = client.bottom - c->FAnchorBottom - top;
            else
                top = client.bottom - c->FAnchorBottom - height;
        }
        c->SetBounds(left, top, width, height);
    }
}

void TWinControl::BoundsChanged() {
    if (FHandle) {
        ::SetWindowPos(FHandle, nullptr, FLeft, FTop, FWidth, FHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    Realign();
}

RECT TWinControl::ClientRect() {
    if (!FHandle) return TControl::ClientRect();
    RECT r{};
    ::GetClientRect(FHandle, &r);
    return r;
}

POINT TWinControl::ClientOrigin() {
    POINT p{0, 0};
    ::ClientToScreen(Handle(), &p);
    return p;
}

void TWinControl::SetVisible(bool value) {
    if (value == Visible()) return;
    TControl::SetVisible(value);
    UpdateShowing();
}

void TWinControl::UpdateShowing() {
    if (!FHandle && Visible() && FParent && FParent->HandleAllocated()) HandleNeeded();
    if (FHandle) ::ShowWindow(FHandle, Visible() ? SW_SHOWNA : SW_HIDE);
}

void TWinControl::SetEnabled(bool value) {
    if (value == Enabled()) return;
    if (FHandle) ::EnableWindow(FHandle, value);
    TControl::SetEnabled(value);
}

bool TWinControl::Showing() const { return FHandle && ::IsWindowVisible(FHandle); }

void TWinControl::Invalidate() { Perform(CM_INVALIDATE, 0, 0); }

void TWinControl::Update() {
    if (FHandle) ::UpdateWindow(FHandle);
}

void TWinControl::SetParentWindow(HWND value) {
    if (FParent || value == FParentWindow) return;
    FParentWindow = value;
    RecreateWnd();
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
    saved_dc keep(dc);
    ::OffsetViewportOrgEx(dc, x, y, nullptr);
    const RECT client = ClientRect();
    ::IntersectClipRect(dc, 0, 0, client.right, client.bottom);
    Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) w->PaintTo(dc, w->Left(), w->Top());
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (TControl* c : FControls)
        if (c->Owner() == root) proc(c);
}

const property_table& TWinControl::PublishedProperties() const {
    static const property_table table = property_table::of<TWinControl>(TControl::PublishedProperties())
        .integer(u"TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
        .boolean(u"TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, false)
        .event(u"OnEnter", &TWinControl::OnEnter)
        .event(u"OnExit", &TWinControl::OnExit)
        .event(u"OnKeyDown", &TWinControl::OnKeyDown)
        .event(u"OnKeyUp", &TWinControl::OnKeyUp)
        .event(u"OnKeyPress", &TWinControl::OnKeyPress);
    return table;
}

void TWinControl::Loaded() {
    TControl::Loaded();
    Realign();
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::PaintControls(HDC dc) {
    for (TControl* c : FControls) {
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        const RECT r = c->BoundsRect();
        if (!::RectVisible(dc, &r)) continue;
        saved_dc keep(dc);
        ::OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
        ::IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    }
}

void TWinControl::paint_handler(TMessage& message) {
    if (message.WParam) {
        const HDC dc = reinterpret_cast<HDC>(message.WParam);
        PaintWindow(dc);
        PaintControls(dc);
        return;
    }
    const paint_dc dc(FHandle);
    PaintWindow(dc.get());
    PaintControls(dc.get());
}

bool TWinControl::UpdateBounds() {
    RECT r{};
    ::GetWindowRect(FHandle, &r);
    if (HWND parent = ::GetParent(FHandle); parent && (::GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD))
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    const bool resized = r.right - r.left != FWidth || r.bottom - r.top != FHeight;
    FLeft = r.left;
    FTop = r.top;
    FWidth = r.right - r.left;
    FHeight = r.bottom - r.top;
    return resized;
}

void TWinControl::focus_changed(bool gained) {
    TCustomForm* form = GetParentForm(this);
    if (gained) {
        if (form && form != this) form->FocusControlChanged(this);
        if (OnEnter) OnEnter(this);
    } else if (OnExit) {
        OnExit(this);
    }
}

void TWinControl::KeyDown(std::uint16_t& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(std::uint16_t& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char16_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::WndProc(TMessage& message) {
    auto& s = state();
    switch (message.Msg) {
    case WM_PAINT: paint_handler(message); return;
    case WM_COMMAND:
    case WM_NOTIFY: {
        // A system control's notification goes back to the control that sent it.
        const HWND from = message.Msg == WM_COMMAND ? reinterpret_cast<HWND>(message.LParam)
                          : message.LParam          ? reinterpret_cast<const NMHDR*>(message.LParam)->hwndFrom
                                                    : nullptr;
        if (TWinControl* sender = from ? FindControl(from) : nullptr; sender && sender != this) {
            message.Result = sender->Perform(CN_BASE + message.Msg, message.WParam, message.LParam);
            return;
        }
        DefaultHandler(message);
        return;
    }
    case CM_INVALIDATE:
        if (FHandle) ::InvalidateRect(FHandle, nullptr, TRUE);
        return;
    case WM_ERASEBKGND: {
        const HDC dc = reinterpret_cast<HDC>(message.WParam);
        if (Color() != clNone && !ControlStyle().contains(TControlStyleFlag::csOpaque)) {
            const RECT r = ClientRect();
            unique_hbrush brush(::CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(Color()))));
            ::FillRect(dc, &r, brush.get());
        }
        message.Result = 1;
        return;
    }
    case WM_WINDOWPOSCHANGED: {
        const UINT flags = reinterpret_cast<WINDOWPOS*>(message.LParam)->flags;
        const bool changed = !(flags & SWP_NOSIZE) || !(flags & SWP_NOMOVE);
        // The size and move messages that the default handling sends already see the new bounds (a
        // window the system restores from its minimised size, for one).
        const bool resized = changed && UpdateBounds();
        DefaultHandler(message);
        if (changed) {
            Realign();
            if (resized) Resize();
        }
        return;
    }
    case WM_SETTEXT:
        DefaultHandler(message);
        FText = from_wide(reinterpret_cast<const wchar_t*>(message.LParam));
        Perform(CM_TEXTCHANGED, 0, 0);
        return;
    case WM_SETFOCUS:
        DefaultHandler(message);
        focus_changed(true);
        return;
    case WM_GETMINMAXINFO: {
        DefaultHandler(message);
        auto* info = reinterpret_cast<MINMAXINFO*>(message.LParam);
        const TSizeConstraints& c = Constraints();
        if (c.MinWidth() > 0) info->ptMinTrackSize.x = c.MinWidth();
        if (c.MinHeight() > 0) info->ptMinTrackSize.y = c.MinHeight();
        if (c.MaxWidth() > 0) info->ptMaxTrackSize.x = c.MaxWidth();
        if (c.MaxHeight() > 0) info->ptMaxTrackSize.y = c.MaxHeight();
        return;
    }
    case WM_KILLFOCUS:
        DefaultHandler(message);
        focus_changed(false);
        return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        auto key = static_cast<std::uint16_t>(message.WParam);
        KeyDown(key, KeyboardState());
        if (key != 0) DefaultHandler(message);
        return;
    }
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        auto key = static_cast<std::uint16_t>(message.WParam);
        KeyUp(key, KeyboardState());
        if (key != 0) DefaultHandler(message);
        return;
    }
    case WM_CHAR: {
        auto key = static_cast<char16_t>(message.WParam);
        KeyPress(key);
        if (key != 0) DefaultHandler(message);
        return;
    }
    case WM_SETCURSOR:
        if (LOWORD(message.LParam) == HTCLIENT && reinterpret_cast<HWND>(message.WParam) == FHandle) {
            TCursor cursor = Screen ? Screen->Cursor() : crDefault;
            if (cursor == crDefault) {
                POINT p{};
                ::GetCursorPos(&p);
                ::ScreenToClient(FHandle, &p);
                TControl* c = ControlAtPos(p);
                cursor = c && !dynamic_cast<TWinControl*>(c) ? c->Cursor() : Cursor();
            }
            if (cursor != crDefault && Screen) {
                ::SetCursor(Screen->Cursors(cursor));
                message.Result = 1;
                return;
            }
        }
        DefaultHandler(message);
        return;
    case WM_CONTEXTMENU: {
        POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
        if (p.x == -1 && p.y == -1) { // from the keyboard: the middle of the control
            const RECT r = ClientRect();
            p = {r.right / 2, r.bottom / 2};
            ::ClientToScreen(FHandle, &p);
        }
        POINT client = p;
        ::ScreenToClient(FHandle, &client);
        TControl* c = ControlAtPos(client);
        TPopupMenu* menu = c && !dynamic_cast<TWinControl*>(c) && c->PopupMenu() ? c->PopupMenu() : PopupMenu();
        if (menu && menu->AutoPopup()) {
            menu->SetPopupComponent(c && c->PopupMenu() == menu ? static_cast<TComponent*>(c) : this);
            menu->Popup(p.x, p.y);
            message.Result = 1;
            return;
        }
        DefaultHandler(message);
        return;
    }
    case WM_MOUSELEAVE:
        if (s.mouse_control == this ||
            (s.mouse_control && s.mouse_control->Parent() == this && !dynamic_cast<TWinControl*>(s.mouse_control))) {
            TControl* left = std::exchange(s.mouse_control, nullptr);
            left->Perform(CM_MOUSELEAVE, 0, 0);
        }
        DefaultHandler(message);
        return;
    default: break;
    }

    if (is_mouse_message(message.Msg)) {
        POINT p{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)};
        TControl* target = s.capture_control && s.capture_control->Parent() == this ? s.capture_control : nullptr;
        if (!target) {
            TControl* c = ControlAtPos(p);
            if (c && !dynamic_cast<TWinControl*>(c)) target = c;
        }
        if (message.Msg == WM_MOUSEMOVE) {
            TControl* now = target ? target : this;
            if (s.mouse_control != now) {
                if (TControl* old = std::exchange(s.mouse_control, now)) old->Perform(CM_MOUSELEAVE, 0, 0);
                now->Perform(CM_MOUSEENTER, 0, 0);
            }
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, FHandle, 0};
            ::TrackMouseEvent(&track);
            if (Application) {
                POINT screen = p;
                ::ClientToScreen(FHandle, &screen);
                Application->hint_mouse_move(now, screen);
            }
        } else if (Application) {
            Application->CancelHint(); // a button went down or up
        }
        if (target) {
            const bool captures = target->ControlStyle().contains(TControlStyleFlag::csCaptureMouse);
            if ((message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK) && captures) {
                s.capture_control = target;
                ::SetCapture(FHandle);
            } else if (message.Msg == WM_LBUTTONUP && s.capture_control == target) {
                s.capture_control = nullptr;
                ::ReleaseCapture();
            }
            message.Result = target->Perform(message.Msg, message.WParam,
                                              point_param(p.x - target->Left(), p.y - target->Top()));
            return;
        }
        if ((message.Msg == WM_LBUTTONDOWN || message.Msg == WM_LBUTTONDBLCLK) &&
            ControlStyle().contains(TControlStyleFlag::csCaptureMouse))
            ::SetCapture(FHandle);
        if (message.Msg == WM_LBUTTONUP && ::GetCapture() == FHandle &&
            ControlStyle().contains(TControlStyleFlag::csCaptureMouse))
            ::ReleaseCapture();
    }
    TControl::WndProc(message);
}

void TWinControl::DefaultHandler(TMessage& message) {
    if (FHandle && message.Msg < CM_BASE)
        message.Result = ::CallWindowProcW(FDefWndProc, FHandle, message.Msg, message.WParam, message.LParam);
}

// --- TCustomControl

namespace {
// Outside painting a control's canvas draws on its window's DC, taken for each drawing operation and
// given back when it ends; a control without a window measures on a screen-compatible memory DC (what
// is drawn there is not shown). While the control paints, the canvas draws on the paint DC.
class control_canvas : public TCanvas {
public:
    explicit control_canvas(TControl& control) : FControl(control) {}
    ~control_canvas() override {
        FreeHandle();
        SetHandle(nullptr);
    }

    void FreeHandle() override {
        if (!FWindowDC) return;
        if (CurrentHandle() == FWindowDC->get()) SetHandle(nullptr);
        FWindowDC.reset();
    }

protected:
    void CreateHandle() override {
        auto* windowed = dynamic_cast<TWinControl*>(&FControl);
        if (windowed && windowed->HandleAllocated()) {
            FWindowDC.emplace(windowed->Handle());
            if (!*FWindowDC) {
                FWindowDC.reset();
                raise_out_of_resources();
            }
            SetHandle(FWindowDC->get());
            return;
        }
        if (!FMemoryDC) FMemoryDC.reset(::CreateCompatibleDC(nullptr));
        if (!FMemoryDC) raise_out_of_resources();
        SetHandle(FMemoryDC.get());
    }

private:
    TControl& FControl;
    std::optional<window_dc> FWindowDC; // taken per drawing operation, given back by FreeHandle
    unique_hdc FMemoryDC;
};
} // namespace

std::unique_ptr<TCanvas> make_control_canvas(TControl& control) { return std::make_unique<control_canvas>(control); }

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), FCanvas(std::make_unique<control_canvas>(*this)) {}
TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
    paint_on(*FCanvas, dc, Font(), [this] { Paint(); });
}

// --- TGraphicControl

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), FCanvas(std::make_unique<control_canvas>(*this)) {}
TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& message) {
    if (message.Msg == WM_PAINT && message.WParam) {
        paint_on(*FCanvas, reinterpret_cast<HDC>(message.WParam), Font(), [this] { Paint(); });
        return;
    }
    TControl::WndProc(message);
}

} // namespace kq
