#pragma once
// TLabel, TEdit, TButton over the system's controls.
#include "framework/Forms.h"

namespace kq {

// The standard controls: each wraps the system's control of its kind, which draws it and handles its
// keys and mouse; the wrapper gives it the framework's properties and events.

// A line of text (the system's static control).
class TLabel : public TWinControl {
public:
    explicit TLabel(TComponent* AOwner);

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;
};

// A one-line text box (the system's edit control). Text follows what the user types.
class TEdit : public TWinControl {
public:
    explicit TEdit(TComponent* AOwner);

    // Shown in place of every character when not zero.
    char16_t PasswordChar() const noexcept { return FPasswordChar; }
    void SetPasswordChar(char16_t Value);

    TNotifyEvent OnChange;

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;

private:
    char16_t FPasswordChar = 0;
};

// A push button (the system's button). A click closes its modal form with ModalResult when that is not
// mrNone; Enter clicks the Default button (unless another button has the focus), Escape the Cancel one.
class TButton : public TWinControl {
public:
    explicit TButton(TComponent* AOwner);

    bool Default() const noexcept { return FDefault; }
    void SetDefault(bool Value);
    bool Cancel() const noexcept { return FCancel; }
    void SetCancel(bool Value) noexcept { FCancel = Value; }
    TModalResult ModalResult() const noexcept { return FModalResult; }
    void SetModalResult(TModalResult Value) noexcept { FModalResult = Value; }

    void Click() override;

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;

private:
    bool FDefault = false;
    bool FCancel = false;
    TModalResult FModalResult = mrNone;
};

} // namespace kq
