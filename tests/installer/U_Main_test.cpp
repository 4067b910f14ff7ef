// TessaroSetup.exe as a person uses it: started, its window read back, driven with real cursor moves and
// clicks, the installed files and links read afterwards.
#include "framework/ComObjects.h"
#include "framework/Exceptions.h"
#include "framework/ShellLinks.h"
#include "InstallerTestSupport.h"

#include "tests/skin/SkinControlTestSupport.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <thread>

using namespace kq;
using namespace kq::test;

namespace {

using namespace std::chrono_literals;

constexpr int client_width = 569, client_height = 428;
constexpr int title_height = 32;

// Where the installer's default folder lands in a prefix without drive D:.
const fs::path default_install_folder = L"C:\\KQ\\TSR";

struct child_window {
    HWND handle = nullptr;
    String class_name, text;
    RECT rect{}; // in the main window's client coordinates
};

// The text a window answers WM_GETTEXT with, as automation reads it (the drawn text field keeps its text
// itself, not in the system's copy of the window text).
String window_text(HWND w) {
    wchar_t text[256]{};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(w, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &copied);
    return from_wide(text);
}

String class_of(HWND w) {
    wchar_t name[128]{};
    ::GetClassNameW(w, name, 128);
    return from_wide(name);
}

// One run of TessaroSetup.exe, started from its own folder; ended at scope end if still running.
class setup_run {
public:
    setup_run() {
        const String program = wine_path(KQ_TEST_SETUP_PROGRAM);
        std::wstring command = L"\"" + std::wstring(wide(program)) + L"\"";
        const fs::path folder = to_path(program).parent_path();
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                              &process))
            return;
        FProcess.reset(process.hProcess);
        ::CloseHandle(process.hThread);
        FId = process.dwProcessId;
        for (int i = 0; i < 300 && !FWindow; ++i) {
            if (::WaitForSingleObject(FProcess.get(), 100) == WAIT_OBJECT_0) break;
            FWindow = find_window(L"Tessaro", L"TForm4");
        }
        // The window fades in on its first show; let it settle.
        if (FWindow) std::this_thread::sleep_for(700ms);
    }
    ~setup_run() {
        if (FProcess && ::WaitForSingleObject(FProcess.get(), 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(FProcess.get(), 3);
            ::WaitForSingleObject(FProcess.get(), 10000);
        }
    }
    setup_run(const setup_run&) = delete;
    setup_run& operator=(const setup_run&) = delete;

    HWND window() const noexcept { return FWindow; }

    // A visible top-level window of the process with this text (any text when empty) and class.
    HWND find_window(const wchar_t* text, const wchar_t* class_name) const {
        struct search {
            DWORD id;
            const wchar_t *text, *class_name;
            HWND found;
        } s{FId, text, class_name, nullptr};
        ::EnumWindows(
            [](HWND w, LPARAM data) -> BOOL {
                auto& s = *reinterpret_cast<search*>(data);
                DWORD owner = 0;
                ::GetWindowThreadProcessId(w, &owner);
                if (owner != s.id || !::IsWindowVisible(w)) return TRUE;
                if (class_of(w) != from_wide(s.class_name)) return TRUE;
                if (s.text && *s.text && window_text(w) != from_wide(s.text)) return TRUE;
                s.found = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&s));
        return s.found;
    }

    // Every child window at any depth.
    std::vector<child_window> children() const {
        std::vector<child_window> list;
        ::EnumChildWindows(
            FWindow,
            [](HWND w, LPARAM data) -> BOOL {
                auto& list = *reinterpret_cast<std::vector<child_window>*>(data);
                child_window c{w, class_of(w), window_text(w), {}};
                ::GetWindowRect(w, &c.rect);
                list.push_back(c);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&list));
        for (child_window& c : list) ::MapWindowPoints(nullptr, FWindow, reinterpret_cast<POINT*>(&c.rect), 2);
        return list;
    }
    HWND child(const String& class_name, const String& text = {}) const {
        for (const child_window& c : children())
            if (c.class_name == class_name && (text.empty() || c.text == text)) return c.handle;
        return nullptr;
    }

    // A real click at the middle of a window (or at a point of the main window's client area).
    void click(HWND w) const {
        RECT r{};
        ::GetWindowRect(w, &r);
        click_screen(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    void click_screen(POINT p) const {
        ::SetForegroundWindow(FWindow);
        mouse_to(p);
        std::this_thread::sleep_for(60ms);
        left_down();
        std::this_thread::sleep_for(60ms);
        left_up();
        std::this_thread::sleep_for(150ms);
    }

    // The process's exit code once it has ended within the time, else -1.
    long exit_code(std::chrono::milliseconds wait = 20s) const {
        if (::WaitForSingleObject(FProcess.get(), static_cast<DWORD>(wait.count())) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        ::GetExitCodeProcess(FProcess.get(), &code);
        return static_cast<long>(code);
    }

private:
    unique_kernel_handle FProcess;
    DWORD FId = 0;
    HWND FWindow = nullptr;
};

// Waits until pred holds or the time runs out.
template <class P>
bool wait_for(P pred, std::chrono::milliseconds limit = 60s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

bool checked(HWND box) { return ::SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0) == BST_CHECKED; }

void press(WORD vk) {
    INPUT in[2]{};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, in, sizeof(INPUT));
}

// Replaces the install folder's text as a person does: a click into the field, End, Backspace over the
// old text, then the new text typed character by character.
void type_folder(const setup_run& run, const String& folder) {
    const HWND field = run.child(u"TSkinEdit");
    ASSERT_NE(field, nullptr);
    run.click(field);
    press(VK_END);
    const auto old_length = static_cast<int>(window_text(field).size());
    for (int i = 0; i < old_length; ++i) press(VK_BACK);
    for (char16_t c : folder) {
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wScan = in[1].ki.wScan = c;
        in[0].ki.dwFlags = KEYEVENTF_UNICODE;
        in[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
    }
    ASSERT_TRUE(wait_for([&] { return window_text(field) == folder; }, 10s))
        << string_to_utf8(window_text(field));
}

// The text of a message box of the run (its static text), and a real click on its OK button.
String message_box_text(HWND box) {
    String text;
    ::EnumChildWindows(
        box,
        [](HWND w, LPARAM data) -> BOOL {
            const String t = window_text(w);
            if (class_of(w) == u"Static" && t.size() > 1) *reinterpret_cast<String*>(data) = t;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&text));
    return text;
}

// The three shell folders of the user pointed at a temporary folder for the test, and the default install
// folder removed before and after.
class setup_program : public ::testing::Test {
protected:
    void SetUp() override {
        remove_install_folder();
        for (const fs::path& folder : {desktop(), start_menu(), quick_launch()}) fs::create_directories(folder);
        for (const wchar_t* key : {shell_folders_key, user_shell_folders_key}) {
            set_user_value(key, L"Desktop", to_string(desktop()));
            set_user_value(key, L"Start Menu", to_string(start_menu()));
            set_user_value(key, L"AppData", to_string(app_data()));
        }
    }
    void TearDown() override { remove_install_folder(); }

    static void remove_install_folder() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(default_install_folder, ignored))
            ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(default_install_folder, ignored);
    }

    fs::path desktop() const { return FTemp.path() / L"Desktop"; }
    fs::path start_menu() const { return FTemp.path() / L"Start Menu"; }
    fs::path app_data() const { return FTemp.path() / L"AppData"; }
    fs::path quick_launch() const { return app_data() / L"Microsoft" / L"Internet Explorer" / L"Quick Launch"; }
    std::vector<fs::path> links() const {
        return {desktop() / L"Tessaro.lnk", start_menu() / L"Tessaro.lnk", quick_launch() / L"Tessaro.lnk"};
    }

    // Clicks the install button and waits for the finish button to read "安装完成" and be enabled. Meanwhile
    // the window is asked to handle a message again and again; the longest wait for an answer is returned.
    std::chrono::milliseconds install(const setup_run& run) {
        std::atomic<bool> done{false};
        std::chrono::milliseconds longest{0};
        std::thread probe([&] {
            while (!done) {
                const auto start = std::chrono::steady_clock::now();
                DWORD_PTR ignored = 0;
                ::SendMessageTimeoutW(run.window(), WM_NULL, 0, 0, SMTO_NORMAL, 30000, &ignored);
                longest = std::max(longest, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - start));
                std::this_thread::sleep_for(2ms);
            }
        });
        run.click(run.child(u"TSkinImageButton", u"立刻安装"));
        const bool finished = wait_for([&] {
            const HWND finish = run.child(u"TSkinImageButton", u"安装完成");
            return finish && ::IsWindowEnabled(finish);
        });
        done = true;
        probe.join();
        EXPECT_TRUE(finished) << "the finish button never read 安装完成";
        return longest;
    }

    com_thread FCom;
    temp_folder FTemp;
};

// The window as the form resource lays it out: caption, client size inside the skinned title bar, every
// component's place, caption and check state, the options shown and the progress hidden, the tab order.
TEST_F(setup_program, ShowsItsWindowAsItsFormGivesIt) {
    setup_run run;
    ASSERT_NE(run.window(), nullptr) << "TessaroSetup showed no window";
    EXPECT_EQ(window_text(run.window()), u"Tessaro");
    RECT client{}, outer{};
    ::GetClientRect(run.window(), &client);
    ::GetWindowRect(run.window(), &outer);
    EXPECT_EQ(client.right, client_width);
    EXPECT_EQ(client.bottom, client_height);
    EXPECT_EQ(outer.right - outer.left, client_width);
    EXPECT_EQ(outer.bottom - outer.top, client_height + title_height);

    // Bounds in the parent's client area, as the form resource gives them; the labels are fitted to their text.
    const auto bounds_in_parent = [](HWND w) {
        RECT rect{};
        ::GetWindowRect(w, &rect);
        ::MapWindowPoints(nullptr, ::GetParent(w), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    };
    struct row {
        const char16_t *class_name, *text;
        RECT rect;
        bool visible, enabled;
    };
    const row rows[] = {
        {u"TSkinEdit", u"C:\\KQ\\TSR\\", {32, 58, 450, 90}, true, true}, // no drive D: here
        {u"TSkinButton", u"浏览", {464, 57, 539, 91}, true, true},
        {u"TSkinCheckBox", u"创建快捷方式", {32, 111, 153, 128}, true, true},
        {u"TSkinCheckBox", u"创建开始菜单组", {200, 111, 330, 128}, true, true},
        {u"TSkinCheckBox", u"创建快速启动连接", {384, 111, 514, 128}, true, true},
        {u"TSkinImageButton", u"立刻安装", {185, 153, 379, 183}, true, true},
        {u"TSkinImageButton", u"安装中", {185, 121, 379, 151}, false, false},
        {u"TSkinProgressBar", u"", {32, 65, 545, 82}, false, true},
        {u"TSkinLabel", u"安装位置：", {32, 32, 0, 0}, true, true},
        {u"TSkinLabel", u"安装进度：", {32, 32, 0, 0}, false, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(String(r.class_name) + u" " + r.text));
        const HWND w = run.child(r.class_name, r.text);
        ASSERT_NE(w, nullptr);
        const RECT rect = bounds_in_parent(w);
        EXPECT_EQ(rect.left, r.rect.left);
        EXPECT_EQ(rect.top, r.rect.top);
        if (r.rect.right) {
            EXPECT_EQ(rect.right, r.rect.right);
            EXPECT_EQ(rect.bottom, r.rect.bottom);
        } else {
            EXPECT_GT(rect.right - rect.left, 40) << "fitted to its text";
        }
        EXPECT_EQ(::IsWindowVisible(w) != FALSE, r.visible);
        EXPECT_EQ(::IsWindowEnabled(w) != FALSE, r.enabled);
    }
    // The options panel at the bottom; the progress panel hidden where the form resource puts it.
    std::vector<std::pair<RECT, bool>> panels;
    for (const child_window& c : run.children())
        if (c.class_name == u"TSkinPanel") panels.emplace_back(c.rect, ::IsWindowVisible(c.handle) != FALSE);
    ASSERT_EQ(panels.size(), 2u);
    for (const auto& [rect, visible] : panels) {
        EXPECT_EQ(rect.left, 0);
        EXPECT_EQ(rect.top, visible ? 224 : 20);
        EXPECT_EQ(rect.right - rect.left, client_width);
        EXPECT_EQ(rect.bottom - rect.top, 204);
    }
    EXPECT_NE(panels[0].second, panels[1].second);
    for (const char16_t* box : {u"创建快捷方式", u"创建开始菜单组", u"创建快速启动连接"})
        EXPECT_TRUE(checked(run.child(u"TSkinCheckBox", box)));

    // The tab key walks the tab stops in tab order.
    run.click(run.child(u"TSkinCheckBox", u"创建快捷方式"));
    run.click(run.child(u"TSkinCheckBox", u"创建快捷方式")); // checked again
    std::vector<String> order;
    for (int i = 0; i < 6; ++i) {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        ::GetGUIThreadInfo(::GetWindowThreadProcessId(run.window(), nullptr), &info);
        order.push_back(window_text(info.hwndFocus));
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = VK_TAB;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
        std::this_thread::sleep_for(150ms);
    }
    const std::vector<String> expected{u"创建快捷方式", u"创建开始菜单组", u"C:\\KQ\\TSR\\", u"立刻安装",
                                       u"浏览", u"创建快速启动连接"};
    EXPECT_EQ(order, expected);

    const window_pixels picture(run.window());
    picture.save(wide(String(u"" KQ_TEST_OUTPUT_DIR "/setup-window.bmp")));
    // The background picture under the title bar, the white options panel below it.
    EXPECT_NE(picture.at(100, title_height + 100), 0xFFFFFFu);
    EXPECT_EQ(picture.at(10, title_height + 224 + 10), 0xFFFFFFu);

    run.click_screen(POINT{outer.right - 15, outer.top + 13}); // the title bar's close button
    EXPECT_EQ(run.exit_code(), 0);
}

// The title bar's minimise button minimises the window; restored, the close button ends the program.
TEST_F(setup_program, TitleBarButtonsMinimiseAndClose) {
    setup_run run;
    ASSERT_NE(run.window(), nullptr);
    RECT outer{};
    ::GetWindowRect(run.window(), &outer);
    run.click_screen(POINT{outer.right - 45, outer.top + 13});
    EXPECT_TRUE(wait_for([&] { return ::IsIconic(run.window()) != FALSE; }, 5s));
    // As the taskbar restores a window.
    ::PostMessageW(run.window(), WM_SYSCOMMAND, SC_RESTORE, 0);
    ASSERT_TRUE(wait_for([&] { return !::IsIconic(run.window()); }, 5s));
    std::this_thread::sleep_for(300ms);
    ::GetWindowRect(run.window(), &outer);
    run.click_screen(POINT{outer.right - 15, outer.top + 13});
    EXPECT_EQ(run.exit_code(), 0);
}

// All three boxes checked: every payload file byte for byte, three links, the bar full, the finish button
// enabled; clicking it ends the program with 0. The longest wait of the window meanwhile is printed.
TEST_F(setup_program, InstallsThePayloadAndTheChosenLinksThenFinishes) {
    setup_run run;
    ASSERT_NE(run.window(), nullptr);
    const fs::path folder = FTemp.path() / L"Programs" / L"Tessaro";
    type_folder(run, to_string(folder));
    const auto longest = install(run);
    // The figure for bench/installer/README.md: the window is left alone only while one file is written,
    // so its longest wait is set beside the system's copy of the largest file, taken in the same run.
    const fs::path copy = FTemp.path() / L"copy-of-KQ.exe";
    const auto start = std::chrono::steady_clock::now();
    ::CopyFileW((payload_folder() / L"KQ.exe").c_str(), copy.c_str(), FALSE);
    const auto copy_time =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    fs::remove(copy);
    std::printf("[ figure   ] longest wait for the window during the install: %lld ms; CopyFileW of KQ.exe "
                "(%lld MB): %lld ms\n",
                static_cast<long long>(longest.count()),
                static_cast<long long>(fs::file_size(payload_folder() / L"KQ.exe") >> 20),
                static_cast<long long>(copy_time.count()));

    EXPECT_EQ(files_below(folder), installed_files());
    for (const std::string& file : installed_files()) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(read_file(folder / file) == read_file(payload_folder() / file));
    }
    for (const fs::path& link : links()) expect_link(link, to_string(folder / L"KQ.exe"), to_string(folder) + u"\\");

    const HWND bar = run.child(u"TSkinProgressBar");
    ASSERT_TRUE(::IsWindowVisible(bar));
    EXPECT_FALSE(::IsWindowVisible(run.child(u"TSkinImageButton", u"立刻安装")));
    const window_pixels filled(bar);
    EXPECT_EQ(filled.at(filled.width() - 8, 8), filled.at(8, 8)) << "the bar is full";

    run.click(run.child(u"TSkinImageButton", u"安装完成"));
    EXPECT_EQ(run.exit_code(), 0);
}

// The default folder, with all boxes cleared by clicks: the files, no link, the done state. The shell keeps
// a link's target as it resolves it, so the doubled separator of a folder text that ends in one shows only
// in the working folder.
TEST_F(setup_program, ClearedBoxesMakeNoLinks) {
    setup_run run;
    ASSERT_NE(run.window(), nullptr);
    for (const char16_t* box : {u"创建快捷方式", u"创建开始菜单组", u"创建快速启动连接"}) {
        const HWND w = run.child(u"TSkinCheckBox", box);
        run.click(w);
        EXPECT_FALSE(checked(w));
    }
    install(run);
    EXPECT_EQ(files_below(default_install_folder), installed_files());
    for (const fs::path& link : links()) EXPECT_FALSE(fs::exists(link)) << link.string();
    run.click(run.child(u"TSkinImageButton", u"安装完成"));
    EXPECT_EQ(run.exit_code(), 0);
}

// A file that cannot be written, first or later in the table, or a folder on a drive the machine lacks: the
// error box names the file and the system's reason; the options come back with the folder text kept, the
// files written before stay, no link is made; a second try into a good folder installs everything.
TEST_F(setup_program, AFailedInstallReturnsToTheOptionsAndASecondTryInstallsEverything) {
    ASSERT_EQ(::GetDriveTypeW(L"Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR)) << "the prefix has a drive Q:";
    const String default_text = u"C:\\KQ\\TSR\\";
    struct row {
        const char* name;
        const wchar_t* read_only; // below the default folder; none: the folder text is typed instead
        String folder_text;
        String failed_file;
        DWORD reason; // 0: whatever the system says, as long as it says something
        std::vector<std::string> left;
    };
    const row rows[] = {
        {"read-only program", L"KQ.exe", default_text, u"C:\\KQ\\TSR\\\\KQ.exe", ERROR_ACCESS_DENIED, {"KQ.exe"}},
        {"read-only engine", L"Bin\\libcef.dll", default_text, u"C:\\KQ\\TSR\\\\Bin\\libcef.dll", ERROR_ACCESS_DENIED,
         {"Bin/cef.pak", "Bin/cef_100_percent.pak", "Bin/cef_200_percent.pak", "Bin/cef_extensions.pak",
          "Bin/d3dcompiler_43.dll", "Bin/d3dcompiler_47.dll", "Bin/devtools_resources.pak", "Bin/libcef.dll",
          "Bin/locales/zh-CN.pak", "KQ.exe"}},
        {"missing drive", nullptr, u"Q:\\x\\", u"Q:\\x\\\\KQ.exe", 0, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        remove_install_folder();
        for (const fs::path& link : links()) fs::remove(link);
        if (r.read_only) {
            const fs::path locked = default_install_folder / r.read_only;
            write_file(locked, "an older file");
            ::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
        }
        setup_run run;
        ASSERT_NE(run.window(), nullptr);
        if (!r.read_only) type_folder(run, r.folder_text);
        run.click(run.child(u"TSkinImageButton", u"立刻安装"));
        HWND box = nullptr;
        ASSERT_TRUE(wait_for([&] { return (box = run.find_window(nullptr, L"#32770")) != nullptr; }));
        const String text = message_box_text(box);
        const String head = u"Cannot create file \"" + r.failed_file + u"\". ";
        ASSERT_EQ(text.substr(0, head.size()), head) << string_to_utf8(text);
        if (r.reason)
            EXPECT_EQ(text.substr(head.size()), SysErrorMessage(r.reason));
        else
            EXPECT_GT(text.size(), head.size()) << "the reason is missing";
        run.click(::GetDlgItem(box, IDOK));
        ASSERT_TRUE(wait_for([&] { return !::IsWindow(box); }, 5s));

        EXPECT_TRUE(wait_for([&] { return ::IsWindowVisible(run.child(u"TSkinImageButton", u"立刻安装")) != FALSE; },
                             5s));
        EXPECT_FALSE(::IsWindowVisible(run.child(u"TSkinProgressBar")));
        EXPECT_EQ(window_text(run.child(u"TSkinEdit")), r.folder_text);
        EXPECT_EQ(files_below(default_install_folder), r.left);
        if (r.read_only) {
            EXPECT_EQ(read_file(default_install_folder / r.read_only), "an older file");
        }
        for (const fs::path& link : links()) EXPECT_FALSE(fs::exists(link)) << link.string();

        const fs::path good = FTemp.path() / L"Second try";
        type_folder(run, to_string(good));
        install(run);
        EXPECT_EQ(files_below(good), installed_files());
        for (const fs::path& link : links()) expect_link(link, to_string(good / L"KQ.exe"), to_string(good) + u"\\");
        run.click(run.child(u"TSkinImageButton", u"安装完成"));
        EXPECT_EQ(run.exit_code(), 0);
        fs::remove_all(good);
    }
}

// A folder the install refuses: its reason in the error box, and the options stay as they were, so the
// folder can be corrected; nothing is written.
TEST_F(setup_program, ARefusedFolderShowsWhyAndKeepsTheOptions) {
    setup_run run;
    ASSERT_NE(run.window(), nullptr);
    type_folder(run, u"KQ\\TSR");
    run.click(run.child(u"TSkinImageButton", u"立刻安装"));
    HWND box = nullptr;
    ASSERT_TRUE(wait_for([&] { return (box = run.find_window(nullptr, L"#32770")) != nullptr; }, 20s));
    EXPECT_EQ(message_box_text(box), u"Cannot install into \"KQ\\TSR\". The folder must be a full path beginning with "
                                     u"a drive letter, such as D:\\KQ, or with \\\\server\\share.");
    run.click(::GetDlgItem(box, IDOK));
    ASSERT_TRUE(wait_for([&] { return !::IsWindow(box); }, 5s));

    EXPECT_TRUE(::IsWindowVisible(run.child(u"TSkinImageButton", u"立刻安装")));
    EXPECT_FALSE(::IsWindowVisible(run.child(u"TSkinProgressBar")));
    EXPECT_EQ(window_text(run.child(u"TSkinEdit")), u"KQ\\TSR");
    EXPECT_FALSE(fs::exists(default_install_folder));

    RECT outer{};
    ::GetWindowRect(run.window(), &outer);
    run.click_screen(POINT{outer.right - 15, outer.top + 13});
    EXPECT_EQ(run.exit_code(), 0);
}

} // namespace
