#include "framework/StdCtrls.h"

#include "VisualFixture.h"

#include <chrono>
#include <functional>
#include <thread>

using namespace kq;
using kq::test::visual_test;

namespace {

// A small dialog: a label, a password edit, a plain button and OK / Cancel.
struct sample_dialog {
    sample_dialog() {
        form->SetCaption(u"Standard controls");
        form->SetBorderStyle(TFormBorderStyle::bsDialog);
        form->SetClientSize(240, 110);
        label->SetBounds(8, 4, 100, 13);
        label->SetCaption(u"Secret 密码");
        label->SetParent(form.get());
        edit->SetBounds(8, 22, 220, 21);
        edit->SetPasswordChar(u'#');
        edit->SetParent(form.get());
        edit->OnChange = [this](TObject*) { ++changes; };
        other->SetBounds(8, 75, 60, 25);
        other->SetCaption(u"Other");
        other->SetParent(form.get());
        other->OnClick = [this](TObject*) { ++other_clicks; };
        ok->SetBounds(80, 75, 70, 25);
        ok->SetCaption(u"OK");
        ok->SetDefault(true);
        ok->SetModalResult(mrOk);
        ok->SetParent(form.get());
        cancel->SetBounds(160, 75, 70, 25);
        cancel->SetCaption(u"Cancel");
        cancel->SetCancel(true);
        cancel->SetModalResult(mrCancel);
        cancel->SetParent(form.get());
        form->SetActiveControl(edit);
    }
    std::unique_ptr<TForm> form{CreateForm<TForm>(nullptr)};
    TLabel* label = new TLabel(form.get());
    TEdit* edit = new TEdit(form.get());
    TButton* other = new TButton(form.get());
    TButton* ok = new TButton(form.get());
    TButton* cancel = new TButton(form.get());
    int changes = 0;
    int other_clicks = 0;
};

HWND child_with_text(HWND parent, const wchar_t* text) {
    return ::FindWindowExW(parent, nullptr, nullptr, text);
}

// Acts once on the visible window with this title, then waits until it is hidden.
std::thread act_on_window(const wchar_t* title, std::function<void(HWND)> act) {
    return std::thread([title, act = std::move(act)] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool acted = false;
        while (std::chrono::steady_clock::now() < end) {
            const HWND w = ::FindWindowW(nullptr, title);
            if (!w || !::IsWindowVisible(w)) {
                if (acted) return;
            } else if (!acted) {
                act(w);
                acted = true;
            }
            ::Sleep(20);
        }
    });
}

} // namespace

TEST_F(visual_test, StandardButtonsCloseTheirModalFormWithTheirResult) {
    enum class how { click_ok, click_cancel, enter_in_edit, enter_on_focused_cancel, escape };
    struct row {
        how user;
        bool click_other; // which also gives that button the focus
        TModalResult result;
    };
    const row rows[] = {{how::click_ok, true, mrOk},
                        {how::click_cancel, true, mrCancel},
                        {how::enter_in_edit, false, mrOk},
                        {how::enter_on_focused_cancel, false, mrCancel},
                        {how::escape, true, mrCancel}};
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.user));
        sample_dialog d;
        if (r.user == how::enter_on_focused_cancel) d.form->SetActiveControl(d.cancel);
        std::wstring typed;
        std::thread user = act_on_window(L"Standard controls", [&](HWND w) {
            const HWND edit = ::FindWindowExW(w, nullptr, L"TEdit", nullptr);
            ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abc 文字"));
            // A button without a result only raises its click.
            if (r.click_other) ::SendMessageW(child_with_text(w, L"Other"), BM_CLICK, 0, 0);
            switch (r.user) {
            case how::click_ok: ::SendMessageW(child_with_text(w, L"OK"), BM_CLICK, 0, 0); break;
            case how::click_cancel: ::SendMessageW(child_with_text(w, L"Cancel"), BM_CLICK, 0, 0); break;
            case how::enter_in_edit: ::PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 0); break;
            case how::enter_on_focused_cancel:
                ::PostMessageW(child_with_text(w, L"Cancel"), WM_KEYDOWN, VK_RETURN, 0);
                break;
            case how::escape: ::PostMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0); break;
            }
        });
        EXPECT_EQ(d.form->ShowModal(), r.result);
        user.join();
        EXPECT_EQ(d.edit->Text(), u"abc 文字");
        EXPECT_EQ(d.changes, 1);
        EXPECT_EQ(d.other_clicks, r.click_other ? 1 : 0);
    }
}

TEST_F(visual_test, StandardControlsAreTheSystemsControls) {
    sample_dialog d;
    d.form->Show();
    EXPECT_EQ(::SendMessageW(d.edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), '#');
    EXPECT_TRUE(::GetWindowLongW(d.edit->Handle(), GWL_STYLE) & ES_PASSWORD);
    EXPECT_TRUE(::GetWindowLongW(d.ok->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_FALSE(::GetWindowLongW(d.cancel->Handle(), GWL_STYLE) & BS_DEFPUSHBUTTON);
    wchar_t text[64] = {};
    ::GetWindowTextW(d.label->Handle(), text, 64);
    EXPECT_STREQ(text, L"Secret 密码");
    d.edit->SetText(u"aaaa");
    EXPECT_EQ(d.edit->Text(), u"aaaa");
    EXPECT_EQ(d.changes, 1);
    d.edit->SetPasswordChar(0);
    EXPECT_EQ(::SendMessageW(d.edit->Handle(), EM_GETPASSWORDCHAR, 0, 0), 0);
}
