#include "skin/uSkCustomButton.h"

#include "framework/Menus.h"
#include "framework/Messages.h"
#include "framework/Properties.h"
#include "graphics/Raster.h"
#include "skin/uSkRasterLib.h"

#include <windowsx.h>

#include <cwctype>

namespace kq {

void TSkBtnItemOffset::SetX(std::int32_t Value) {
    if (FX == Value)
        return;
    FX = Value;
    FOwner->Invalidate();
}

void TSkBtnItemOffset::SetY(std::int32_t Value) {
    if (FY == Value)
        return;
    FY = Value;
    FOwner->Invalidate();
}

void TSkBtnItemOffset::Assign(const TPersistent* Source) {
    if (const auto* o = dynamic_cast<const TSkBtnItemOffset*>(Source)) {
        SetX(o->FX);
        SetY(o->FY);
        return;
    }
    TPersistent::Assign(Source);
}

TSkinCustomButton::TSkinCustomButton(TComponent* AOwner)
    : TSkinCustomControl(AOwner), FPictures(std::make_unique<TPngPictures>()),
      FLayers(std::make_unique<TPngPictures>()), FDropdownMenuPictures(std::make_unique<TPngPictures>()),
      FHotFont(std::make_unique<TFont>()) {
    SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csSetCaption,
                     TControlStyleFlag::csDoubleClicks, TControlStyleFlag::csReplicatable,
                     TControlStyleFlag::csReflector});
    SetTabStop(true);
    SetAutoInvalidate(true);
    SetBounds(Left(), Top(), 75, 25);
    FDropdownMenuOffset.SetX(-4);
    FDropdownMenuOffset.SetY(-4);
    FDropdownMenuPictures->SetImage(u"SkinDropdownMenu");
    FDropdownMenuPictures->SetCount(4);
    const TNotifyEvent repaint = [this](TObject*) { Invalidate(); };
    FPictures->SetPicturesChanged(repaint);
    FLayers->SetPicturesChanged(repaint);
    FDropdownMenuPictures->SetPicturesChanged(repaint);
    FTimer = std::make_unique<TSimpleTimer>(10, [this](TObject*) {
        if (FCycleDownClick && OnCycleDownClick)
            OnCycleDownClick(this);
    });
    FActiveCycleDown = std::make_unique<TSimpleTimer>(300, [this](TObject*) {
        FActiveCycleDown->SetEnabled(false);
        FTimer->SetEnabled(true);
    });
}

TSkinCustomButton::~TSkinCustomButton() = default;

void TSkinCustomButton::SetDown(bool Value) {
    if (FDown == Value)
        return;
    FDown = Value;
    if (Value)
        ReleaseGroupButtons();
    Invalidate();
}

void TSkinCustomButton::SetGroupIndex(std::int32_t Value) {
    FGroupIndex = Value;
    Invalidate();
}

void TSkinCustomButton::SetLayerMode(bool Value) {
    if (FLayerMode == Value)
        return;
    FLayerMode = Value;
    Invalidate();
}

void TSkinCustomButton::SetCaptionVisible(bool Value) {
    FCaptionVisible = Value;
    Invalidate();
}

void TSkinCustomButton::SetDropdownMenu(TPopupMenu* Value) {
    if (FDropdownMenu == Value)
        return;
    if (FDropdownMenu)
        FDropdownMenu->RemoveFreeNotification(this);
    FDropdownMenu = Value;
    if (Value) {
        Value->FreeNotification(this);
        update_dropdown_rect();
    }
    Invalidate();
}

void TSkinCustomButton::SetDefault(bool Value) {
    FDefault = Value;
    if (HandleAllocated() && FCanFocused)
        if (TCustomForm* form = GetParentForm(this))
            form->Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(form->ActiveControl()));
}

void TSkinCustomButton::update_dropdown_rect() {
    const RECT c = ClientRect();
    FDropdownMenuRect = {c.right - dropdown_arrow_width, c.top, c.right, c.bottom};
}

void TSkinCustomButton::ReleaseGroupButtons() {
    if (!Parent())
        return;
    for (int i = 0; i < Parent()->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TSkinCustomButton*>(Parent()->Controls(i)); b && b != this && b->FGroupIndex == FGroupIndex)
            b->SetDown(false);
}

void TSkinCustomButton::Click() {
    FLastClick = ::GetTickCount64();
    if (FCanFocused)
        if (TCustomForm* form = GetParentForm(this))
            form->SetModalResult(FModalResult);
    FSkipNextClick = false;
    TSkinCustomControl::Click();
}

void TSkinCustomButton::Notification(TComponent* AComponent, TOperation Operation) {
    TSkinCustomControl::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FDropdownMenu)
        SetDropdownMenu(nullptr);
}

void TSkinCustomButton::CreateWnd() {
    TSkinCustomControl::CreateWnd();
    FActive = FDefault;
}

void TSkinCustomButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TSkinCustomControl::MouseDown(Button, Shift, X, Y);
    if (!FIgnoreMouse && FGroupIndex > 0 && !FDown)
        SetDown(true);
}

void TSkinCustomButton::popup_menu() {
    FPressedInDropdownMenuRect = true;
    Invalidate();
    if (Parent()) {
        const POINT at = Parent()->ClientToScreen(
            {Left() + FDropdownMenuOffset.X(), Top() + Height() + FDropdownMenuOffset.Y()});
        FDropdownMenu->Popup(at.x, at.y); // returns when the menu closes
    }
    FSkipNextClick = true;
    SetDown(false);
}

// The arrow area is hot only after a mouse move has been seen in it. A press there without one (the
// button appeared under a still cursor) is taken as neither a click nor a menu: the person has not yet
// seen which part they are on.
bool TSkinCustomButton::in_dropdown_rect(TPoint p) const {
    return PointInRect(FDropdownMenuRect, p);
}

void TSkinCustomButton::handle_left_down(TMessage& Message) {
    const TPoint p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
    const bool in_arrow = FDropdownMenu && in_dropdown_rect(p);
    bool popup = false;
    if (!FMouseInDropdownMenuRect) {
        if ((FDropdownMenu && in_arrow) || FSkipNextClick) {
            FSkipNextClick = false;
        } else {
            popup = !OnClick && FDropdownMenu;
            FActiveCycleDown->SetEnabled(true);
            FMouseDown = true;
            if (!FDown) {
                FMouseIn = true;
                SetDown(true);
            }
        }
    } else {
        popup = FDropdownMenu != nullptr;
    }
    if (popup)
        popup_menu();
}

void TSkinCustomButton::handle_left_up() {
    FTimer->SetEnabled(false);
    FActiveCycleDown->SetEnabled(false);
    FMouseDown = false;
    const bool was_down = FDown;
    POINT cursor{};
    ::GetCursorPos(&cursor);
    FMouseIn = HandleAllocated() && ::WindowFromPoint(cursor) == Handle();
    if (FGroupIndex == 0) {
        if (FMouseIn) {
            SetDown(false);
            if (was_down)
                Click();
        } else {
            FDown = false;
        }
    } else if (FMouseIn) {
        SetDown(true);
        Click();
    }
    FSkipNextClick = false;
    if (HandleAllocated() && Visible())
        Invalidate();
    if (FDropdownMenu) {
        FPressedInDropdownMenuRect = false;
        Invalidate();
    }
}

bool TSkinCustomButton::is_accel(char16_t Key) const {
    const String& text = Caption();
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&')
            continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return std::towupper(text[i + 1]) == std::towupper(Key);
    }
    return false;
}

void TSkinCustomButton::take_focus() {
    if (!FCanFocused || FIgnoreMouse || designing() || !HandleAllocated() || Focused() || !CanFocus())
        return;
    FClicksDisabled = true;
    auto enable = scope_exit([this] { FClicksDisabled = false; });
    ::SetFocus(Handle());
}

void TSkinCustomButton::focus_changed(TWinControl* Focused) {
    auto* button = dynamic_cast<TSkinCustomButton*>(Focused);
    FActive = button ? button == this : FDefault;
    if (FCanFocused && FDefault) {
        if (button && button != this && FMouseIn) {
            FMouseIn = false;
            Invalidate();
        } else if (!button && !FMouseIn) {
            Invalidate();
        }
    }
}

void TSkinCustomButton::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_MOUSEENTER:
        TSkinCustomControl::WndProc(Message);
        if (!FIgnoreMouse && !designing()) {
            FMouseIn = true;
            Invalidate();
        }
        return;
    case CM_MOUSELEAVE:
        TSkinCustomControl::WndProc(Message);
        if (!FIgnoreMouse && !designing()) {
            FMouseDown = FMouseIn = FMouseInDropdownMenuRect = FPressedInDropdownMenuRect = false;
            Invalidate();
        }
        return;
    case WM_LBUTTONDOWN:
        TSkinCustomControl::WndProc(Message);
        if (!FIgnoreMouse)
            handle_left_down(Message);
        take_focus();
        return;
    case WM_LBUTTONDBLCLK:
        // The second press of a double click only takes the focus: its release finds the button up and
        // so raises no second click.
        TSkinCustomControl::WndProc(Message);
        take_focus();
        return;
    case WM_LBUTTONUP:
        TSkinCustomControl::WndProc(Message);
        if (!FIgnoreMouse)
            handle_left_up();
        return;
    case WM_MOUSEMOVE:
        TSkinCustomControl::WndProc(Message);
        if (!FIgnoreMouse && FDropdownMenu) {
            const bool in_arrow = in_dropdown_rect({GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)});
            if (in_arrow != FMouseInDropdownMenuRect) {
                FMouseInDropdownMenuRect = in_arrow;
                Invalidate(); // the buffer is rebuilt whole, so the whole window is shown anew
            }
        }
        return;
    case WM_SIZE:
        TSkinCustomControl::WndProc(Message);
        if (FDropdownMenu)
            update_dropdown_rect();
        return;
    case WM_KEYDOWN:
        TSkinCustomControl::WndProc(Message);
        if (FCanFocused) {
            if (Message.WParam == VK_SPACE)
                SetDown(true);
            else if (Message.WParam == VK_RETURN)
                Click();
        }
        return;
    case WM_KEYUP:
        TSkinCustomControl::WndProc(Message);
        if (FCanFocused && Message.WParam == VK_SPACE) {
            SetDown(false);
            Click();
        }
        return;
    case CM_DIALOGKEY: {
        const bool no_shift = (::GetKeyState(VK_SHIFT) | ::GetKeyState(VK_CONTROL) | ::GetKeyState(VK_MENU)) >= 0;
        if ((Message.WParam == VK_RETURN && FActive && Enabled()) ||
            (Message.WParam == VK_ESCAPE && FCancel && FCanFocused && no_shift && CanFocus())) {
            Click();
            Message.Result = 1;
            return;
        }
        break;
    }
    case CM_DIALOGCHAR:
        if (is_accel(static_cast<char16_t>(Message.WParam)) && CanFocus() && FCanFocused) {
            if (FCycleDownClick || ::GetTickCount64() - FLastClick > 100)
                Click();
            Message.Result = 1;
            return;
        }
        break;
    case CM_FOCUSCHANGED:
        focus_changed(reinterpret_cast<TWinControl*>(Message.LParam));
        break;
    case CM_FONTCHANGED:
        TSkinCustomControl::WndProc(Message);
        Invalidate();
        return;
    default:
        break;
    }
    TSkinCustomControl::WndProc(Message);
}

namespace {
std::unique_ptr<TSkinImage> state_frame(const TPngPictures& p, bool hot, bool enabled, bool pressed) {
    if (!p.Active())
        return nullptr;
    if (hot)
        return p.GetHotImage();
    if (!enabled)
        return p.GetDisableImage();
    if (pressed)
        return p.GetPressedImage();
    return p.GetNormalImage();
}
} // namespace

void TSkinCustomButton::DrawBody(TBitmap32* Canvas) {
    const RECT c = ClientRect();
    POINT image{c.left + FImageOffset.X(), c.top + FImageOffset.Y()};
    RECT caption{c.left + FCaptionOffset.X(), c.top + FCaptionOffset.Y(), c.right, c.bottom};
    const bool pressed = FMouseDown || FDown;
    const bool hot = FMouseIn && !FDown;
    if (FPictures->Active() && !hot && Enabled() && pressed) {
        image.x += FPressedOffset;
        caption.left += FPressedOffset + 1;
        caption.bottom += FPressedOffset;
    }
    if (auto frame = state_frame(*FPictures, hot, Enabled(), pressed))
        frame->DrawTo(Canvas, image.x, image.y);
    if (FLayerMode)
        DrawLayers(Canvas);
    DrawDropdownArrow(Canvas);
    if (FCaptionVisible) {
        Canvas->Font()->Assign(hot ? FHotFont.get() : &Font());
        std::uint32_t flags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_SINGLELINE;
        if (FWordWrap) {
            flags &= ~static_cast<std::uint32_t>(DT_SINGLELINE);
            RECT measure{0, 0, caption.right - caption.left, 0};
            ::DrawTextW(Canvas->Handle(), reinterpret_cast<LPCWSTR>(Caption().c_str()), -1, &measure,
                        flags | DT_CALCRECT);
            caption.top = ((caption.bottom - caption.top) - (measure.bottom - measure.top)) / 2;
        }
        Canvas->Textout(TRect{caption.left, caption.top, caption.right, caption.bottom}, flags, Caption());
    }
    if (designing())
        Canvas->FrameRectTS(0, 0, Width(), Height(), MakeColor32(23, 180, 187, 176));
}

void TSkinCustomButton::DrawLayers(TBitmap32* Canvas) {
    const bool pressed = FMouseDown || FDown;
    const bool hot = FMouseIn && !FDown;
    auto frame = state_frame(*FLayers, hot, Enabled(), pressed);
    if (!frame)
        return;
    const int shift = (!hot && Enabled() && pressed) ? FPressedOffset : 0;
    frame->DrawTo(Canvas, FLayersOffset.X() + shift, FLayersOffset.Y() + shift);
}

void TSkinCustomButton::DrawDropdownArrow(TBitmap32* Canvas) {
    if (!FDropdownMenu)
        return;
    std::unique_ptr<TSkinImage> frame;
    if (FPressedInDropdownMenuRect)
        frame = FDropdownMenuPictures->GetPressedImage();
    else if (FMouseInDropdownMenuRect)
        frame = FDropdownMenuPictures->GetHotImage();
    else
        frame = FDropdownMenuPictures->GetNormalImage();
    if (!frame)
        return;
    auto cut = CropSkinImageMiddle(frame.get(), Height() - 4, frame->Width());
    if (cut)
        cut->DrawTo(Canvas, FDropdownMenuRect.Left, (Height() - cut->Height()) / 2);
}

// --- Published

const property_table& TSkBtnItemOffset::PublishedProperties() const {
    static const property_table table = property_table::of<TSkBtnItemOffset>(TPersistent::PublishedProperties())
        .integer(u"X", &TSkBtnItemOffset::X, &TSkBtnItemOffset::SetX, 0)
        .integer(u"Y", &TSkBtnItemOffset::Y, &TSkBtnItemOffset::SetY, 0);
    return table;
}

const property_table& TSkinCustomButton::PublishedProperties() const {
    using C = TSkinCustomButton;
    static const property_table table = property_table::of<C>(TSkinCustomControl::PublishedProperties())
        .boolean(u"IgnoreMouse", &C::IgnoreMouse, &C::SetIgnoreMouse, false)
        .boolean(u"CycleDownClick", &C::CycleDownClick, &C::SetCycleDownClick, false)
        .boolean(u"WordWrap", &C::WordWrap, &C::SetWordWrap, false)
        .boolean(u"Down", &C::Down, &C::SetDown, false)
        .persistent(u"HotFont", [](const C& c) { return &const_cast<C&>(c).HotFont(); })
        .integer(u"GroupIndex", &C::GroupIndex, &C::SetGroupIndex, 0)
        .persistent(u"DropdownMenuOffset", [](const C& c) { return &const_cast<C&>(c).DropdownMenuOffset(); })
        .integer(u"PressedOffset", &C::PressedOffset, &C::SetPressedOffset, 1)
        .boolean(u"CanFocused", &C::CanFocused, &C::SetCanFocused, true)
        .boolean(u"Default", &C::Default, &C::SetDefault, false)
        .boolean(u"Cancel", &C::Cancel, &C::SetCancel, false)
        .integer(u"ModalResult", &C::ModalResult, &C::SetModalResult, 0)
        .event(u"OnCycleDownClick", &C::OnCycleDownClick);
    return table;
}

} // namespace kq
