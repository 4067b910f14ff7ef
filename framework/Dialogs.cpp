#include "framework/Dialogs.h"

#include "framework/ComObjects.h"
#include "framework/Forms.h"

#include <shlobj.h>

namespace kq {

void ShowMessage(const String& text) {
    if (Application)
        Application->MessageBox(text, Application->Title(), MB_OK);
    else
        ::MessageBoxW(nullptr, wide(text), L"", MB_OK);
}

namespace {

// The input dialog: a prompt, an edit line and OK / Cancel, as plain system controls on a form.
class TInputQueryForm : public TForm {
public:
    explicit TInputQueryForm(TComponent* owner) : TForm(owner) {}

    void Build(const String& caption, const String& prompt, const String& value) {
        SetCaption(caption);
        SetBorderStyle(TFormBorderStyle::bsDialog);
        SetPosition(TPosition::poScreenCenter);
        SetClientSize(300, 96);
        const HWND form = Handle();
        const HFONT font = Font().Handle();
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        auto child = [&](const wchar_t* cls, const String& text, DWORD style, int x, int y, int w, int h, int id) {
            const HWND c = ::CreateWindowExW(cls == std::wstring(L"EDIT") ? WS_EX_CLIENTEDGE : 0, cls, wide(text),
                                             WS_CHILD | WS_VISIBLE | style, x, y, w, h, form,
                                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
            if (!c) RaiseLastOSError();
            ::SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
            return c;
        };
        child(L"STATIC", prompt, SS_LEFT | SS_NOPREFIX, 8, 8, 284, 16, -1);
        FEdit = child(L"EDIT", value, WS_TABSTOP | ES_AUTOHSCROLL, 8, 28, 284, 22, 100);
        child(L"BUTTON", u"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 136, 62, 75, 25, IDOK);
        child(L"BUTTON", u"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 217, 62, 75, 25, IDCANCEL);
        ::SendMessageW(FEdit, EM_SETSEL, 0, -1);
        FKeys = HookWindowProc([this](TMessage& m, const TWndMethod& next) {
            if (m.Msg == WM_COMMAND && (LOWORD(m.WParam) == IDOK || LOWORD(m.WParam) == IDCANCEL)) {
                SetModalResult(LOWORD(m.WParam) == IDOK ? mrOk : mrCancel);
                return;
            }
            if (m.Msg == CM_DIALOGKEY && (m.WParam == VK_RETURN || m.WParam == VK_ESCAPE)) {
                SetModalResult(m.WParam == VK_RETURN ? mrOk : mrCancel);
                m.Result = 1;
                return;
            }
            if (m.Msg == WM_ACTIVATE && LOWORD(m.WParam) != WA_INACTIVE) {
                next(m);
                ::SetFocus(FEdit);
                return;
            }
            next(m);
        });
    }

    String Text() const {
        const int length = ::GetWindowTextLengthW(FEdit);
        String text(static_cast<size_t>(length) + 1, u'\0');
        ::GetWindowTextW(FEdit, reinterpret_cast<wchar_t*>(text.data()), length + 1);
        text.resize(static_cast<size_t>(length));
        return text;
    }

private:
    HWND FEdit = nullptr;
    window_hook FKeys;
};

} // namespace

bool InputQuery(const String& caption, const String& prompt, String& value) {
    std::unique_ptr<TInputQueryForm> form(CreateForm<TInputQueryForm>(nullptr));
    form->Build(caption, prompt, value);
    if (form->ShowModal() != mrOk) return false;
    value = form->Text();
    return true;
}

bool BrowseForFolder(HWND owner, const String& title, String& folder) {
    // The new dialog style hosts shell views: it needs OLE on this thread.
    com_thread com;
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = wide(title);
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    co_task_ptr<ITEMIDLIST> chosen(::SHBrowseForFolderW(&info));
    if (!chosen) return false;
    wchar_t path[MAX_PATH] = {};
    if (!::SHGetPathFromIDListW(chosen.get(), path)) return false;
    folder = from_wide(path);
    return true;
}

} // namespace kq
