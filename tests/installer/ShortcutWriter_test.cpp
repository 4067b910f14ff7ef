#include "installer/ShortcutWriter.h"

#include "framework/ComObjects.h"
#include "framework/Exceptions.h"
#include "framework/ShellLinks.h"
#include "InstallerTestSupport.h"

using namespace kq;
using namespace kq::test;

namespace {

// The user's three shell folders redirected into a temporary folder; Quick Launch exists below AppData.
// Both registry keys are set: the shell refreshes "Shell Folders" from "User Shell Folders" when it starts.
class shortcut_test : public ::testing::Test {
protected:
    void SetUp() override {
        for (const fs::path& folder : {desktop(), start_menu(), quick_launch()}) fs::create_directories(folder);
        for (const wchar_t* key : {shell_folders_key, user_shell_folders_key}) {
            set_user_value(key, L"Desktop", to_string(desktop()));
            set_user_value(key, L"Start Menu", to_string(start_menu()));
            set_user_value(key, L"AppData", to_string(app_data()));
        }
    }

    fs::path desktop() const { return FTemp.path() / L"Desktop"; }
    fs::path start_menu() const { return FTemp.path() / L"Start Menu"; }
    fs::path app_data() const { return FTemp.path() / L"AppData"; }
    fs::path quick_launch() const { return app_data() / L"Microsoft" / L"Internet Explorer" / L"Quick Launch"; }
    fs::path install_folder() const { return FTemp.path() / L"Tessaro"; }

    com_thread FCom;
    temp_folder FTemp;
};

install_choices all_shortcuts(const String& folder) {
    install_choices choices;
    choices.folder = folder;
    return choices;
}

} // namespace

TEST_F(shortcut_test, InstallMakesTheThreeChosenLinks) {
    recording_view view;
    const install_result result = run_install(setup_program(), all_shortcuts(to_string(install_folder())), view);
    ASSERT_FALSE(result.stopped);
    EXPECT_TRUE(result.shortcut_errors.empty());
    const String program = to_string(install_folder()) + u"\\KQ.exe";
    const String folder = to_string(install_folder()) + u"\\";
    for (const fs::path& place : {desktop(), start_menu(), quick_launch()}) {
        expect_link(place / L"Tessaro.lnk", program, folder);
        EXPECT_EQ(files_below(place), std::vector<std::string>{"Tessaro.lnk"});
    }
}

TEST_F(shortcut_test, AnInstallTheViewStopsMakesNoLinks) {
    // As when the window is closed during the install: the rows before the stop stay written, nothing follows.
    recording_view view;
    view.stop_at = 7;
    const install_result result = run_install(setup_program(), all_shortcuts(to_string(install_folder())), view);
    EXPECT_TRUE(result.stopped);
    EXPECT_TRUE(result.shortcut_errors.empty());
    EXPECT_EQ(view.rows, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    const std::vector<std::string> written{"Bin/cef.pak", "Bin/cef_100_percent.pak", "Bin/cef_200_percent.pak",
                                           "Bin/cef_extensions.pak", "Bin/devtools_resources.pak",
                                           "Bin/locales/zh-CN.pak", "KQ.exe"};
    EXPECT_EQ(files_below(install_folder()), written);
    for (const fs::path& place : {desktop(), start_menu(), quick_launch()}) EXPECT_TRUE(files_below(place).empty());
}

TEST_F(shortcut_test, InstallMakesOnlyTheChosenLinks) {
    install_choices choices = all_shortcuts(to_string(install_folder()));
    choices.desktop = choices.quick_launch = false;
    recording_view view;
    const install_result result = run_install(setup_program(), choices, view);
    ASSERT_FALSE(result.stopped);
    EXPECT_TRUE(result.shortcut_errors.empty());
    EXPECT_FALSE(fs::exists(desktop() / L"Tessaro.lnk"));
    EXPECT_TRUE(fs::exists(start_menu() / L"Tessaro.lnk"));
    EXPECT_FALSE(fs::exists(quick_launch() / L"Tessaro.lnk"));
}

TEST_F(shortcut_test, AMissingQuickLaunchFolderIsReportedAfterTheOtherLinks) {
    fs::remove_all(app_data() / L"Microsoft");
    recording_view view;
    const install_result result = run_install(setup_program(), all_shortcuts(to_string(install_folder())), view);
    EXPECT_FALSE(result.stopped);
    EXPECT_TRUE(fs::exists(desktop() / L"Tessaro.lnk"));
    EXPECT_TRUE(fs::exists(start_menu() / L"Tessaro.lnk"));
    ASSERT_EQ(result.shortcut_errors.size(), 1u);
    const String head = u"Cannot create file \"" + to_string(quick_launch()) + u"\\Tessaro.lnk\". ";
    EXPECT_EQ(result.shortcut_errors[0].substr(0, head.size()), head);
    EXPECT_GT(result.shortcut_errors[0].size(), head.size());
    EXPECT_FALSE(fs::exists(app_data() / L"Microsoft"));
}

TEST_F(shortcut_test, AnUnusableRegistryValueFallsBackToTheShellsFolder) {
    const fs::path fallback = FTemp.path() / L"Known Desktop";
    fs::create_directories(fallback);
    set_user_value(user_shell_folders_key, L"Desktop", to_string(fallback));
    struct row {
        const char* name;
        const wchar_t* value; // nullptr: the value is missing
    };
    for (const row& r : {row{"missing", nullptr}, row{"empty", L""}, row{"drive root", L"C:\\"},
                         row{"current drive's root", L"\\"}, row{"relative", L"Desktop"}}) {
        SCOPED_TRACE(r.name);
        if (r.value)
            set_user_value(shell_folders_key, L"Desktop", from_wide(r.value));
        else
            delete_user_value(shell_folders_key, L"Desktop");
        EXPECT_EQ(shortcut_path(shortcut_desktop), to_string(fallback) + u"\\Tessaro.lnk");
    }
    CreateUlr(shortcut_desktop, u"C:\\Tessaro\\KQ.exe");
    expect_link(fallback / L"Tessaro.lnk", u"C:\\Tessaro\\KQ.exe", u"C:\\Tessaro\\");
}

TEST_F(shortcut_test, NoLinkIsWrittenToADriveRoot) {
    set_user_value(shell_folders_key, L"Desktop", u"C:\\");
    set_user_value(user_shell_folders_key, L"Desktop", u"C:\\");
    EXPECT_EQ(shortcut_path(shortcut_desktop), u"");
    EXPECT_EQ(shortcut_path(7), u"");
    try {
        CreateUlr(shortcut_desktop, u"C:\\Tessaro\\KQ.exe");
        ADD_FAILURE() << "no error raised";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), u"Cannot create file \"Tessaro.lnk\". " + SysErrorMessage(ERROR_PATH_NOT_FOUND));
    }
    EXPECT_FALSE(fs::exists(L"C:\\Tessaro.lnk"));
}

TEST_F(shortcut_test, LinksInTheThreePlacesAreAlikeAndReplaceEarlierOnes) {
    for (int id : {shortcut_desktop, shortcut_start_menu, shortcut_quick_launch}) CreateUlr(id, u"C:\\Old\\KQ.exe");
    for (int id : {shortcut_desktop, shortcut_start_menu, shortcut_quick_launch}) CreateUlr(id, u"D:\\KQ\\TSR\\KQ.exe");
    for (const fs::path& place : {desktop(), start_menu(), quick_launch()})
        expect_link(place / L"Tessaro.lnk", u"D:\\KQ\\TSR\\KQ.exe", u"D:\\KQ\\TSR\\");
    EXPECT_EQ(shortcut_path(shortcut_start_menu), to_string(start_menu()) + u"\\Tessaro.lnk");
}
