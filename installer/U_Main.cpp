#include "installer/U_Main.h"

#include "framework/Dialogs.h"
#include "framework/Exceptions.h"
#include "framework/Properties.h"
#include "installer/InstallRoutine.h"
#include "installer/controls/uSkinButton.h"
#include "installer/controls/uSkinCheckBox.h"
#include "installer/controls/uSkinEdit.h"
#include "installer/controls/uSkinLabel.h"
#include "installer/controls/uSkinProgressBar.h"
#include "skin/uSkFormBorder.h"
#include "skin/uSkinButton.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"
#include "skin/uSkinPanel.h"

namespace kq {

namespace {

constexpr StringView installing_caption = u"正在安装";
constexpr StringView done_caption = u"安装完成";
constexpr StringView browse_title = u"将文件安装至";

// A folder on a drive this machine lacks starts on the system's drive instead: "D:\KQ\TSR\" becomes
// "C:\KQ\TSR\" where there is no D:.
String on_existing_drive(const String& folder) {
    if (folder.size() < 3 || folder[1] != u':' || (folder[2] != u'\\' && folder[2] != u'/')) return folder;
    const String root = folder.substr(0, 3);
    if (::GetDriveTypeW(wide(root)) != DRIVE_NO_ROOT_DIR) return folder;
    wchar_t windows[MAX_PATH]{};
    if (::GetSystemWindowsDirectoryW(windows, MAX_PATH) < 2 || windows[1] != L':') return folder;
    String moved = folder;
    moved[0] = static_cast<char16_t>(windows[0]);
    return moved;
}

} // namespace

// Shows each row on the bar and keeps the window alive between rows.
class form_install_view final : public install_view {
public:
    explicit form_install_view(TForm4& form) : FForm(form) {}

    bool progress(int row) override {
        // The first row comes only after the folder and the payload passed their checks.
        if (!FStarted) {
            FForm.show_progress_panel();
            FStarted = true;
        }
        FForm.SkinProgressBar1->SetValue(row);
        Application->ProcessMessages();
        // The window was closed meanwhile: the install stops where it is.
        return !Application->Terminated();
    }

private:
    TForm4& FForm;
    bool FStarted = false;
};

TForm4::TForm4(TComponent* AOwner) : TForm(AOwner) {}

TForm4::~TForm4() = default;

void TForm4::Loaded() {
    TForm::Loaded();
    SetupToPath->SetText(on_existing_drive(SetupToPath->Text()));
}

void TForm4::CreateWnd() {
    // The resource's client size holds inside the skinned title bar and frame, which take over the
    // system's non-client area once the window exists.
    const RECT wanted = ClientRect();
    TForm::CreateWnd();
    SetClientSize(wanted.right, wanted.bottom);
}

void TForm4::show_progress_panel() {
    pnl1->Hide();
    SkinPanel1->Show();
    SkinImageButton2->SetCaption(String(installing_caption));
    SkinProgressBar1->SetMinValue(0);
    SkinProgressBar1->SetMaxValue(install_row_count - 1);
}

void TForm4::show_options_panel() {
    SkinPanel1->Hide();
    pnl1->Show();
}

void TForm4::SkinButton1Click(TObject*) {
    String folder;
    if (BrowseForFolder(Application->Handle(), String(browse_title), folder)) SetupToPath->SetText(folder);
}

void TForm4::SkinImageButton1Click(TObject*) {
    install_choices choices;
    choices.folder = SetupToPath->Text();
    choices.desktop = chk1->Checked();
    choices.start_menu = chk2->Checked();
    choices.quick_launch = chk3->Checked();
    form_install_view view(*this);
    install_result result;
    try {
        result = run_install(::GetModuleHandleW(nullptr), choices, view);
    } catch (const Exception&) {
        // Whether the folder was refused or a file failed, the options come back with the folder text as it
        // was, so it can be corrected and the install tried again; the top-level handler shows why. Not a
        // scope_exit: showing a panel may make its windows, which may throw.
        show_options_panel();
        throw;
    }
    if (result.stopped) return;
    SkinImageButton2->SetCaption(String(done_caption));
    SkinImageButton2->SetEnabled(true);
    if (!result.shortcut_errors.empty()) {
        String text;
        for (const String& e : result.shortcut_errors) text += (text.empty() ? u"" : u"\r\n") + e;
        throw Exception(text);
    }
}

void TForm4::SkinImageButton2Click(TObject*) { Close(); }

// --- Published

const property_table& TForm4::PublishedProperties() const {
    using C = TForm4;
    static const property_table table = property_table::of<C>(TForm::PublishedProperties())
        .field(u"sknfrm1", &C::sknfrm1)
        .field(u"btn1", &C::btn1)
        .field(u"pnl1", &C::pnl1)
        .field(u"chk1", &C::chk1)
        .field(u"chk2", &C::chk2)
        .field(u"btn7", &C::btn7)
        .field(u"skfrmlyrbrdr1", &C::skfrmlyrbrdr1)
        .field(u"nclbl1", &C::nclbl1)
        .field(u"SetupToPath", &C::SetupToPath)
        .field(u"SkinLabel1", &C::SkinLabel1)
        .field(u"SkinImageButton1", &C::SkinImageButton1)
        .field(u"SkinButton1", &C::SkinButton1)
        .field(u"SkinPanel1", &C::SkinPanel1)
        .field(u"SkinLabel2", &C::SkinLabel2)
        .field(u"SkinImageButton2", &C::SkinImageButton2)
        .field(u"SkinProgressBar1", &C::SkinProgressBar1)
        .field(u"chk3", &C::chk3)
        .method(u"SkinButton1Click", &C::SkinButton1Click)
        .method(u"SkinImageButton1Click", &C::SkinImageButton1Click)
        .method(u"SkinImageButton2Click", &C::SkinImageButton2Click);
    return table;
}

void u_main_startup() {
    register_class<TSkinLabel>();
    register_class<TSkinButton>();
    register_class<TSkinCheckBox>();
    register_class<TSkinProgressBar>();
    register_class<TSkinEdit>();
}

} // namespace kq
