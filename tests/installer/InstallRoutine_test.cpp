#include "installer/InstallRoutine.h"

#include "framework/Exceptions.h"
#include "framework/ResourceStreams.h"
#include "InstallerTestSupport.h"

#include <numeric>

using namespace kq;
using namespace kq::test;

namespace {

install_choices files_only(const String& folder) {
    install_choices choices;
    choices.folder = folder;
    choices.desktop = choices.start_menu = choices.quick_launch = false;
    return choices;
}

std::vector<int> rows_up_to(int last) {
    std::vector<int> rows(static_cast<std::size_t>(last + 1));
    std::iota(rows.begin(), rows.end(), 0);
    return rows;
}

// The message of the error of class E the install ends with; a test failure when it ends otherwise.
template <class E>
String install_error(HMODULE payload, const install_choices& choices, install_view& view) {
    try {
        run_install(payload, choices, view);
    } catch (const E& e) {
        return e.Message();
    }
    ADD_FAILURE() << "the install ended without an error";
    return {};
}

void expect_payload_installed(const fs::path& folder) {
    EXPECT_EQ(files_below(folder), installed_files());
    for (const std::string& file : installed_files()) {
        SCOPED_TRACE(file);
        const std::string expected = read_file(payload_folder() / file);
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(read_file(folder / file) == expected);
    }
}

} // namespace

TEST(InstallRoutine, WritesEveryPayloadFileIntoTheChosenFolderInRowOrder) {
    temp_folder temp;
    const fs::path folder = temp.path() / L"Programs" / L"Tessaro";
    recording_view view;
    const install_result result = run_install(setup_program(), files_only(to_string(folder)), view);
    EXPECT_FALSE(result.stopped);
    EXPECT_EQ(view.rows, rows_up_to(15));
    EXPECT_EQ(result.application_path, to_string(folder) + u"\\KQ.exe");
    EXPECT_TRUE(result.shortcut_errors.empty());
    expect_payload_installed(folder);
}

TEST(InstallRoutine, InstallingAgainReplacesEveryFile) {
    temp_folder temp;
    recording_view first, second;
    run_install(setup_program(), files_only(temp.text()), first);
    for (const std::string& file : installed_files()) write_file(temp.path() / file, "left from an earlier install");
    run_install(setup_program(), files_only(temp.text()), second);
    EXPECT_EQ(second.rows, rows_up_to(15));
    expect_payload_installed(temp.path());
}

TEST(InstallRoutine, AppendsOneSeparatorToTheTrimmedFolderText) {
    // A text ending with a separator keeps it doubled before the names, as the default folder text does.
    temp_folder temp;
    struct row {
        String text;
        String application;
        fs::path installed;
    };
    const row rows[] = {
        {u"  " + temp.text() + u"\\Tessaro\\ \t", temp.text() + u"\\Tessaro\\\\KQ.exe", temp.path() / L"Tessaro"},
        {temp.text() + u"/Nested/Tessaro", temp.text() + u"/Nested/Tessaro\\KQ.exe",
         temp.path() / L"Nested" / L"Tessaro"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.text));
        recording_view view;
        const install_result result = run_install(setup_program(), files_only(r.text), view);
        EXPECT_EQ(result.application_path, r.application);
        expect_payload_installed(r.installed);
    }
}

TEST(InstallRoutine, StopsAtAFileThatCannotBeReplacedAndKeepsIt) {
    temp_folder temp;
    const fs::path locked = temp.path() / L"Bin" / L"libcef.dll";
    write_file(locked, "the previous engine");
    ::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);

    recording_view view;
    const String target = temp.text() + u"\\Bin\\libcef.dll";
    EXPECT_EQ(install_error<EFCreateError>(setup_program(), files_only(temp.text()), view),
              u"Cannot create file \"" + target + u"\". " + SysErrorMessage(ERROR_ACCESS_DENIED));
    // libcef.dll is row 9: the rows before it are written, none after it, and no temporary file is left.
    EXPECT_EQ(view.rows, rows_up_to(9));
    EXPECT_TRUE(read_file(locked) == "the previous engine");
    std::vector<std::string> written;
    for (const char* file : {"Bin/cef.pak", "Bin/cef_100_percent.pak", "Bin/cef_200_percent.pak",
                             "Bin/cef_extensions.pak", "Bin/d3dcompiler_43.dll", "Bin/d3dcompiler_47.dll",
                             "Bin/devtools_resources.pak", "Bin/libcef.dll", "Bin/locales/zh-CN.pak", "KQ.exe"})
        written.push_back(file);
    EXPECT_EQ(files_below(temp.path()), written);
}

TEST(InstallRoutine, RefusesAnUnfitFolderBeforeWritingAnything) {
    temp_folder temp;
    const String long_folder = temp.text() + u"\\" + String(400 - temp.text().size() - 1, u'a');
    struct row {
        String folder;
        String error;
    };
    const String full = u"The folder must be a full path beginning with a drive letter, such as D:\\KQ, or with "
                        u"\\\\server\\share.";
    const row rows[] = {
        {u"", u"Choose the folder to install into."},
        {u"   ", u"Choose the folder to install into."},
        {u"KQ\\TSR", u"Cannot install into \"KQ\\TSR\". " + full},
        {u"\\KQ", u"Cannot install into \"\\KQ\". " + full},
        {u"CON", u"Cannot install into \"CON\". " + full},
        {temp.text() + u"\\CON", u"Cannot install into \"" + temp.text() + u"\\CON\". A folder name cannot be a "
                                 u"device name such as CON, PRN, AUX, NUL, COM1 or LPT1."},
        {u"C:\\a<b", u"Cannot install into \"C:\\a<b\". A folder name cannot contain < > : \" | ? * or control "
                     u"characters."},
        {long_folder,
         u"Cannot install into \"" + long_folder + u"\". The folder path can have at most 228 characters."},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.folder));
        recording_view view;
        install_choices choices;
        choices.folder = r.folder;
        EXPECT_EQ(install_error<install_folder_error>(setup_program(), choices, view), r.error);
        EXPECT_TRUE(view.rows.empty());
    }
    EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST(InstallRoutine, AMissingResourceStopsTheInstallBeforeTheFirstFile) {
    // This program carries every row but the last in the payload's language.
    temp_folder temp;
    recording_view view;
    EXPECT_EQ(install_error<EResNotFound>(::GetModuleHandleW(nullptr), files_only(temp.text()), view),
              u"Resource KQ_1_DIN not found");
    EXPECT_TRUE(view.rows.empty());
    EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST(InstallRoutine, InstalledProgramStartsFromItsFolderAndEnds) {
    // Started as its desktop link starts it: the working folder is the program's folder, where it finds
    // Bin\ and the engine, and opens its main window; closed as a person closes it, it ends with 0.
    temp_folder temp;
    recording_view view;
    const install_result result = run_install(setup_program(), files_only(temp.text()), view);
    ASSERT_FALSE(result.stopped);
    std::wstring command = L"\"" + std::wstring(wide(result.application_path)) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                 (temp.path().wstring() + L"\\").c_str(), &startup, &process));
    unique_kernel_handle process_handle(process.hProcess), thread_handle(process.hThread);
    HWND main_window = nullptr;
    for (int i = 0; i < 600 && !main_window; ++i) {
        if (::WaitForSingleObject(process.hProcess, 100) == WAIT_OBJECT_0) break;
        const HWND w = ::FindWindowW(L"TF_Main", nullptr);
        DWORD owner = 0;
        if (w) ::GetWindowThreadProcessId(w, &owner);
        if (owner == process.dwProcessId && ::IsWindowVisible(w)) main_window = w;
    }
    ASSERT_NE(main_window, nullptr) << "KQ showed no main window";
    ::PostMessageW(main_window, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exit_code = 1;
    ::GetExitCodeProcess(process.hProcess, &exit_code);
    EXPECT_EQ(exit_code, 0u);
}
