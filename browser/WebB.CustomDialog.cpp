#include "browser/WebB.CustomDialog.h"

namespace kq {

namespace {
template <class T>
T* place(TPasswordDlg* form, const char16_t* name, int left, int top, int width, int height) {
    T* control = new T(form);
    control->SetName(name);
    control->SetBounds(left, top, width, height);
    control->SetParent(form);
    return control;
}
} // namespace

TPasswordDlg::TPasswordDlg(TComponent* AOwner) : TForm(AOwner) {
    SetName(u"PasswordDlg");
    SetCaption(u"Authentication");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetColor(clBtnFace);
    SetClientSize(233, 128);
    // Made in tab order: the user name, the password, OK, Cancel.
    Label2 = place<TLabel>(this, u"Label2", 8, 3, 48, 13);
    Label2->SetCaption(u"Username");
    edtusername = place<TEdit>(this, u"edtusername", 24, 22, 201, 21);
    Label1 = place<TLabel>(this, u"Label1", 8, 49, 46, 13);
    Label1->SetCaption(u"Password");
    edtPassword = place<TEdit>(this, u"edtPassword", 24, 68, 201, 21);
    edtPassword->SetPasswordChar(u'*');
    OKBtn = place<TButton>(this, u"OKBtn", 62, 95, 75, 25);
    OKBtn->SetCaption(u"OK");
    OKBtn->SetDefault(true);
    OKBtn->SetModalResult(mrOk);
    CancelBtn = place<TButton>(this, u"CancelBtn", 150, 95, 75, 25);
    CancelBtn->SetCaption(u"Cancel");
    CancelBtn->SetCancel(true);
    CancelBtn->SetModalResult(mrCancel);
    SetActiveControl(edtusername);
}

} // namespace kq
