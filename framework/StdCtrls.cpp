#include "framework/StdCtrls.h"

#include "framework/Exceptions.h"
#include "framework/Messages.h"

namespace kq {

namespace {

// The system control paints itself and handles its own mouse; the framework only routes the messages.
constexpr TControlStyle system_control_style{TControlStyleFlag::csSetCaption};

// Messages the system control handles entirely by itself.
bool left_to_system(UINT message) { return message == WM_PAINT || message == WM_ERASEBKGND; }

} // namespace

// --- TLabel

TLabel::TLabel(TComponent* AOwner) : TWinControl(AOwner) { SetControlStyle(system_control_style); }

void TLabel::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    use_system_class(Params, L"STATIC", FDefWndProc);
    Params.Style |= SS_LEFT | SS_NOPREFIX;
}

void TLabel::WndProc(TMessage& Message) {
    if (left_to_system(Message.Msg)) return DefaultHandler(Message);
    TWinControl::WndProc(Message);
}

// --- TEdit

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle(system_control_style);
    SetTabStop(true);
    SetColor(clWindow);
}

void TEdit::SetPasswordChar(char16_t Value) {
    if (FPasswordChar == Value) return;
    FPasswordChar = Value;
    if (HandleAllocated()) {
        ::SendMessageW(Handle(), EM_SETPASSWORDCHAR, Value, 0);
        ::InvalidateRect(Handle(), nullptr, TRUE);
    }
}

void TEdit::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    use_system_class(Params, L"EDIT", FDefWndProc);
    Params.Style |= ES_AUTOHSCROLL | ES_LEFT;
    if (FPasswordChar) Params.Style |= ES_PASSWORD;
    Params.ExStyle |= WS_EX_CLIENTEDGE;
}

void TEdit::WndProc(TMessage& Message) {
    if (left_to_system(Message.Msg)) return DefaultHandler(Message);
    switch (Message.Msg) {
    case WM_CREATE:
        TWinControl::WndProc(Message);
        // The system's password style shows its own character; the chosen one replaces it.
        if (FPasswordChar) ::SendMessageW(Handle(), EM_SETPASSWORDCHAR, FPasswordChar, 0);
        return;
    case CN_COMMAND:
        if (HIWORD(Message.WParam) == EN_CHANGE) {
            const int length = ::GetWindowTextLengthW(Handle());
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            ::GetWindowTextW(Handle(), text.data(), length + 1);
            text.resize(static_cast<size_t>(length));
            FText = from_wide(text.c_str());
            if (OnChange) OnChange(this);
        }
        return;
    default: TWinControl::WndProc(Message);
    }
}

// --- TButton

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
    SetControlStyle(system_control_style);
    SetTabStop(true);
}

void TButton::SetDefault(bool Value) {
    if (FDefault == Value) return;
    FDefault = Value;
    if (HandleAllocated()) ::SendMessageW(Handle(), BM_SETSTYLE, Value ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
}

void TButton::Click() {
    if (FModalResult != mrNone) {
        if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(FModalResult);
    }
    TWinControl::Click();
}

void TButton::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    use_system_class(Params, L"BUTTON", FDefWndProc);
    Params.Style |= FDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
}

void TButton::WndProc(TMessage& Message) {
    if (left_to_system(Message.Msg)) return DefaultHandler(Message);
    switch (Message.Msg) {
    case CN_COMMAND:
        if (HIWORD(Message.WParam) == BN_CLICKED) Click();
        return;
    case CM_DIALOGKEY: {
        bool mine = false;
        if (Message.WParam == VK_RETURN) {
            // A focused button takes Enter itself; otherwise the default button does.
            const TWinControl* focused = FindControl(::GetFocus());
            mine = focused == this || (FDefault && !dynamic_cast<const TButton*>(focused));
        } else if (Message.WParam == VK_ESCAPE) {
            mine = FCancel;
        }
        if (mine && Enabled() && Showing()) {
            Click();
            Message.Result = 1;
        }
        return;
    }
    default: TWinControl::WndProc(Message);
    }
}

} // namespace kq
