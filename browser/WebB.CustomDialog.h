#pragma once
// TPasswordDlg, the authentication dialog.
#include "framework/StdCtrls.h"

namespace kq {

// The authentication dialog: user name and password, OK and Cancel.
class TPasswordDlg : public TForm {
public:
    explicit TPasswordDlg(TComponent* AOwner);

    TLabel* Label1;
    TEdit* edtPassword;
    TButton* OKBtn;
    TButton* CancelBtn;
    TLabel* Label2;
    TEdit* edtusername;
};

} // namespace kq
