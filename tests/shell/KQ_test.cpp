#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/cef_capi.h"
#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "tabs/PageTabs.h"
#include "tests/skin/SkinControlTestSupport.h"
#include "tests/tabs/MainWindowStrip.h"

namespace kq {
namespace {

namespace fs = std::filesystem;

fs::path here() { return fs::path(ExtractFilePath(executable_path())); }

// One line the stand-in appended to its record file, in any process.
struct record_line {
    unsigned long pid = 0;
    std::string thread, name, detail;
};

// What a run of KQ showed and left.
struct run_result {
    DWORD exit_code = STILL_ACTIVE;
    unsigned long pid = 0;
    String box_text;                      // the "Application Error" box, empty when none came
    std::vector<std::wstring> window_classes; // every shown top-level window of the process while the box was up
    std::vector<std::wstring> seen_classes;   // every shown top-level window class seen while it ran
    bool main_window_maximised = false;
    String main_window_text;
    DWORD closed_at = 0;                      // tick count when the main window was asked to close
    DWORD ended_at = 0;
};

// What a test does with the main window once it shows, before closing it as a person would.
using window_driver = std::function<void(HWND main_window)>;


struct window_search {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<window_search*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == s->pid) s->found.push_back(w);
    return TRUE;
}

std::vector<HWND> windows_of(DWORD pid) {
    window_search search{pid, {}};
    ::EnumWindows(&collect_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

String window_text(HWND w) {
    wchar_t text[2048] = {};
    ::GetWindowTextW(w, text, 2048);
    return from_wide(text);
}

std::wstring class_of(HWND w) {
    wchar_t name[256] = {};
    ::GetClassNameW(w, name, 256);
    return name;
}

// A window a person sees, given its class read once (a window can end between two looks). Hidden helper
// windows (the framework's, the system's input-method windows) do not count; a window that has gone between
// the enumeration and the question has no class any more.
bool is_shown_window(HWND w, const std::wstring& name) {
    return ::IsWindowVisible(w) && name != L"IME" && !name.empty();
}

// A fresh folder tree for one run: <root>\app\KQ.exe, the stand-in's record in <root>\record.txt.
class KQProgram : public ::testing::Test {
protected:
    void SetUp() override {
        FRoot = fs::temp_directory_path() / ("kq-shell-" + std::to_string(::GetCurrentProcessId()));
        fs::remove_all(FRoot);
        fs::create_directories(app());
        fs::copy_file(here() / "KQ.exe", app() / "KQ.exe");
        ::SetEnvironmentVariableW(L"STANDIN_RECORD_FILE", (FRoot / "record.txt").c_str());
    }
    void TearDown() override {
        ::SetEnvironmentVariableW(L"STANDIN_RECORD_FILE", nullptr);
        std::error_code error;
        for (int i = 0; i < 100 && fs::exists(FRoot); ++i) {
            fs::remove_all(FRoot, error);
            if (fs::exists(FRoot)) ::Sleep(50);
        }
    }

    fs::path app() const { return FRoot / "app"; }

    // Puts a stand-in engine in <folder>\Bin\libcef.dll.
    void install_engine(const fs::path& folder, const char* standin = "libcef.dll") {
        fs::create_directories(folder / "Bin");
        fs::copy_file(here() / standin, folder / "Bin" / "libcef.dll", fs::copy_options::overwrite_existing);
    }

    // Starts KQ.exe with `folder` as current folder and waits for its end; an "Application Error" box is
    // read and dismissed on the way.
    run_result run(const fs::path& folder, const std::wstring& arguments = {}, const window_driver& drive = {}) {
        run_result result;
        std::wstring command = L"\"" + (app() / "KQ.exe").wstring() + L"\"" + arguments;
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
            ADD_FAILURE() << "KQ.exe did not start";
            return result;
        }
        result.pid = pi.dwProcessId;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (::WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT && std::chrono::steady_clock::now() < end) {
            for (HWND w : windows_of(pi.dwProcessId)) {
                const std::wstring cls = class_of(w);
                if (!result.closed_at && cls == L"TF_Main" && ::IsWindowVisible(w)) {
                    ::Sleep(500); // the first page comes up
                    result.main_window_maximised = ::IsZoomed(w);
                    result.main_window_text = window_text(w);
                    if (drive) drive(w);
                    result.closed_at = ::GetTickCount();
                    ::PostMessageW(w, WM_CLOSE, 0, 0);
                }
                if (is_shown_window(w, cls) &&
                    std::find(result.seen_classes.begin(), result.seen_classes.end(), cls) == result.seen_classes.end())
                    result.seen_classes.push_back(cls);
                if (!::IsWindowVisible(w) || window_text(w) != u"Application Error") continue;
                const String text = window_text(::GetDlgItem(w, 0xFFFF));
                if (text.empty()) continue; // not filled in yet
                if (result.box_text.empty()) {
                    result.box_text = text;
                    for (HWND any : windows_of(pi.dwProcessId)) {
                        const std::wstring cls = class_of(any);
                        if (is_shown_window(any, cls)) result.window_classes.push_back(cls);
                    }
                }
                ::SendMessageW(::GetDlgItem(w, IDOK), BM_CLICK, 0, 0);
            }
        }
        if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
            ADD_FAILURE() << "KQ.exe did not end";
            ::TerminateProcess(pi.hProcess, 99);
            ::WaitForSingleObject(pi.hProcess, INFINITE);
        }
        result.ended_at = ::GetTickCount();
        ::GetExitCodeProcess(pi.hProcess, &result.exit_code);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
        return result;
    }

    std::vector<record_line> record() const {
        std::vector<record_line> lines;
        std::ifstream in(FRoot / "record.txt", std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            record_line r;
            std::string pid;
            std::getline(fields, pid, '\t');
            std::getline(fields, r.thread, '\t');
            std::getline(fields, r.name, '\t');
            std::getline(fields, r.detail);
            r.pid = std::stoul(pid);
            lines.push_back(r);
        }
        return lines;
    }
    std::vector<record_line> record(const std::string& name) const {
        std::vector<record_line> lines = record();
        std::erase_if(lines, [&](const record_line& l) { return l.name != name; });
        return lines;
    }

    // Waits until the renderer the stand-in started has recorded its start and ended; its record line.
    record_line wait_for_renderer(unsigned long main_pid) {
        for (int i = 0; i < 600; ++i) {
            for (const record_line& l : record("cef_execute_process")) {
                if (l.pid == main_pid) continue;
                const HANDLE p = ::OpenProcess(SYNCHRONIZE, FALSE, l.pid);
                if (p) {
                    ::WaitForSingleObject(p, 30000);
                    ::CloseHandle(p);
                }
                return l;
            }
            ::Sleep(50);
        }
        ADD_FAILURE() << "no renderer started";
        return {};
    }

    fs::path FRoot;
};

String expected_box(const char16_t* class_name, const String& message) {
    const String dot = message.back() == u'.' ? u"" : u".";
    return u"Exception " + String(class_name) + u" in module KQ.exe at " + u"%ADDRESS%" + u".\r\n" + message + dot +
           u"\r\n";
}

// The box text with its address replaced by a marker, after checking it has a pointer's digits.
String without_address(const String& text) {
    const std::size_t at = text.find(u" at ");
    if (at == String::npos) return text;
    const std::size_t end = text.find(u".\r\n", at);
    const String address = text.substr(at + 4, end - at - 4);
    EXPECT_EQ(address.size(), sizeof(void*) * 2);
    EXPECT_EQ(address.find_first_not_of(u"0123456789ABCDEF"), String::npos);
    return text.substr(0, at + 4) + u"%ADDRESS%" + text.substr(end);
}

TEST_F(KQProgram, WithoutTheEngineLibraryShowsTheApplicationErrorBoxAndEndsWithOne) {
    const run_result r = run(app());
    EXPECT_EQ(r.exit_code, 1u);
    EXPECT_EQ(without_address(r.box_text),
              expected_box(u"EOSError", u"System Error.  Code: 126.\r\n" + SysErrorMessage(ERROR_MOD_NOT_FOUND)));
    EXPECT_EQ(r.window_classes, std::vector<std::wstring>{L"#32770"});
}

TEST_F(KQProgram, WithAnEngineOfAnotherVersionShowsInvalidLibraryVersion) {
    install_engine(app(), "libcef_missing_export.dll");
    const run_result r = run(app());
    EXPECT_EQ(r.exit_code, 1u);
    EXPECT_EQ(without_address(r.box_text), expected_box(u"ECefException", u"Invalid CEF Library version"));
    EXPECT_EQ(r.window_classes, std::vector<std::wstring>{L"#32770"});
}

// The engine starts, runs its renderer as KQ.exe again, and is shut down at the end.
TEST_F(KQProgram, StartsTheEngineWithItsSettingsAndTheRendererRoad) {
    install_engine(app());
    const run_result r = run(app());
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.box_text, u"");
    // The main window, maximised, is the one window a person sees; closing it ends the program.
    EXPECT_EQ(r.seen_classes, std::vector<std::wstring>{L"TF_Main"});
    EXPECT_TRUE(r.main_window_maximised);
    EXPECT_EQ(r.main_window_text, u"Tessaro");
    const record_line renderer = wait_for_renderer(r.pid);

    const auto init = record("cef_initialize");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(init[0].pid, r.pid);
    EXPECT_EQ(init[0].detail, "size=" + std::to_string(sizeof(cef_settings_t)) +
                                  " single_process=0 no_sandbox=0 browser_subprocess_path= "
                                  "multi_threaded_message_loop=0 windowless_rendering_enabled=0 "
                                  "cache_path=.\\Cache\\ user_agent= locale=zh-CN locales_dir_path=.\\Bin\\locales "
                                  "log_severity=99 remote_debugging_port=0 background_color=0");
    // The browser process's own command line, and the renderer's.
    const auto main_line = record("command_line");
    ASSERT_EQ(main_line.size(), 1u);
    EXPECT_EQ(main_line[0].detail, "--disable-gpu");
    EXPECT_EQ(renderer.detail, "type=renderer --type=renderer --disable-gpu");
    const auto launched = record("launch_renderer");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].detail, "--type=renderer");
    // The renderer ends inside the engine's start-up: it never initialises the engine nor shuts it down.
    for (const record_line& l : record()) {
        if (l.pid == renderer.pid) {
            EXPECT_EQ(l.name, "cef_execute_process");
        }
    }
    const auto shutdown = record("cef_shutdown");
    ASSERT_EQ(shutdown.size(), 1u);
    EXPECT_EQ(shutdown[0].pid, r.pid);
    EXPECT_EQ(shutdown[0].detail, "browsers=0");
    const auto unload = record("unload");
    ASSERT_EQ(unload.size(), 1u);
    EXPECT_EQ(unload[0].detail, "live=0");
}

TEST_F(KQProgram, ClearsFilesAndEmptyFoldersAtTheCachesTopLevelOnly) {
    install_engine(app());
    const fs::path cache = app() / "Cache";
    fs::create_directories(cache / "empty");
    fs::create_directories(cache / "full" / "inner");
    std::ofstream(cache / "full" / "kept.txt") << "x";
    std::ofstream(cache / "data_0") << "x";
    std::ofstream(cache / "缓存.idx") << "x";
    std::ofstream(cache / "hidden") << "x";
    ::SetFileAttributesW((cache / "hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    // A folder with further attribute bits goes to the file deletion, which leaves it.
    fs::create_directories(cache / "hidden folder");
    ::SetFileAttributesW((cache / "hidden folder").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    const run_result r = run(app());
    EXPECT_EQ(r.exit_code, 0u);
    wait_for_renderer(r.pid);
    std::vector<std::string> left;
    for (const auto& e : fs::recursive_directory_iterator(cache)) left.push_back(fs::relative(e.path(), cache).string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"full", "full\\inner", "full\\kept.txt", "hidden folder"}));
}

// Started by the engine as one of its sub-processes: the same preparation, no window, the end.
TEST_F(KQProgram, AsAnEngineSubProcessClearsTheCacheAndEndsWithoutWindow) {
    install_engine(app());
    fs::create_directories(app() / "Cache");
    std::ofstream(app() / "Cache" / "data_1") << "x";
    const run_result r = run(app(), L" --type=renderer");
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.seen_classes, std::vector<std::wstring>{});
    EXPECT_FALSE(fs::exists(app() / "Cache" / "data_1"));
    const auto lines = record();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].name, "cef_execute_process");
    EXPECT_EQ(lines[0].detail, "type=renderer --type=renderer --disable-gpu");
}

TEST_F(KQProgram, WithoutACacheFolderCreatesNone) {
    install_engine(app());
    const run_result r = run(app());
    EXPECT_EQ(r.exit_code, 0u);
    wait_for_renderer(r.pid);
    EXPECT_FALSE(fs::exists(app() / "Cache"));
}

// The engine's paths are relative to the current folder; the cache clearing works beside the executable.
TEST_F(KQProgram, FindsTheEngineFromTheCurrentFolderAndClearsTheCacheBesideTheProgram) {
    const fs::path work = FRoot / "work";
    install_engine(work);
    fs::create_directories(work / "Cache");
    std::ofstream(work / "Cache" / "stays") << "x";
    fs::create_directories(app() / "Cache");
    std::ofstream(app() / "Cache" / "goes") << "x";
    const run_result r = run(work);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.box_text, u"");
    wait_for_renderer(r.pid);
    EXPECT_TRUE(fs::exists(work / "Cache" / "stays"));
    EXPECT_FALSE(fs::exists(app() / "Cache" / "goes"));
    EXPECT_EQ(record("cef_initialize").size(), 1u);

    // And the folder of the executable alone does not make the engine found.
    install_engine(app());
    const fs::path empty = FRoot / "empty";
    fs::create_directories(empty);
    const run_result elsewhere = run(empty);
    EXPECT_EQ(elsewhere.exit_code, 1u);
    EXPECT_NE(elsewhere.box_text.find(u"EOSError"), String::npos);
}

BOOL CALLBACK find_strip(HWND w, LPARAM found) {
    if (class_of(w) != L"TPageTabs") return TRUE;
    *reinterpret_cast<HWND*>(found) = w;
    return FALSE;
}

// Ten pages open when the window closes: each is closed through the engine before it shuts down, and the
// program ends at once with nothing of the engine left alive.
TEST_F(KQProgram, ClosingTheWindowWithTenPagesOpenEndsAtOnceWithNothingLeft) {
    install_engine(app());
    // The add button's places, from a strip of the same settings and width as the window's.
    forms_startup();
    const auto stop = scope_exit([] { forms_shutdown(); });
    // The program's pages made so far, from the stand-in's record: the clicks wait for them rather than
    // for a span of time, which a loaded machine overruns.
    const auto wait_for_pages = [this](DWORD pid, std::size_t pages, int seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        for (;;) {
            std::vector<record_line> created = record("cef_browser_host_create_browser_sync");
            std::erase_if(created, [&](const record_line& l) { return l.pid != pid; });
            if (created.size() >= pages) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            ::Sleep(20);
        }
    };
    const window_driver add_nine_tabs = [&](HWND main_window) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(main_window, &pid);
        ASSERT_TRUE(wait_for_pages(pid, 1, 20));
        HWND strip = nullptr;
        ::EnumChildWindows(main_window, find_strip, reinterpret_cast<LPARAM>(&strip));
        ASSERT_NE(strip, nullptr);
        TPageTabs model(nullptr);
        test::apply_main_window_settings(model);
        model.Tabs().Add();
        for (int i = 1; i < 10; ++i) {
            // The place is taken afresh for each click: on a loaded machine the window can still be
            // growing to its maximised size after it shows, and with it the width the tabs share. A click
            // the strip took while settling makes no page; it is given again, at most twice.
            bool made = false;
            RECT client{};
            LPARAM at = 0;
            for (int attempt = 1; attempt <= 3 && !made; ++attempt) {
                ::GetClientRect(strip, &client);
                model.SetBounds(0, 0, client.right, client.bottom);
                model.IncludeState(TPageTabState::stsResizing);
                model.LayoutAll();
                const TRect add = model.AddButtonControl().ControlRect();
                at = MAKELPARAM((add.Left + add.Right) / 2, (add.Top + add.Bottom) / 2);
                ::PostMessageW(strip, WM_MOUSEMOVE, 0, at);
                ::PostMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, at);
                ::PostMessageW(strip, WM_LBUTTONUP, 0, at);
                made = wait_for_pages(pid, i + 1, attempt < 3 ? 5 : 20);
            }
            ASSERT_TRUE(made) << "page " << i + 1 << ", clicked at " << LOWORD(at) << "," << HIWORD(at)
                              << " in a strip " << client.right << " wide";
            model.Tabs().Add();
            ::Sleep(400); // the new tab slides in (for a tenth of a second) before the next click aims
        }
    };
    const run_result r = run(app(), {}, add_nine_tabs);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.box_text, u"");
    EXPECT_LT(r.ended_at - r.closed_at, 5000u);
    std::vector<record_line> created = record("cef_browser_host_create_browser_sync");
    std::erase_if(created, [&](const record_line& l) { return l.pid != r.pid; });
    EXPECT_EQ(created.size(), 10u);
    std::vector<record_line> destroyed = record("window_destroyed");
    std::erase_if(destroyed, [&](const record_line& l) { return l.pid != r.pid; });
    EXPECT_EQ(destroyed.size(), 10u);
    const auto shutdown = record("cef_shutdown");
    ASSERT_EQ(shutdown.size(), 1u);
    EXPECT_EQ(shutdown[0].detail, "browsers=0");
    const auto unload = record("unload");
    ASSERT_EQ(unload.size(), 1u);
    EXPECT_EQ(unload[0].detail, "live=0");
}

// Closed as a person closes it: the cursor onto the skinned title bar's close button, pressed and let go.
// The program ends with exit code 0, every page closed through the engine before it shuts down.
TEST_F(KQProgram, TheSkinnedCloseButtonEndsTheProgramWithEveryPageClosed) {
    install_engine(app());
    bool closed_by_the_button = false;
    const window_driver click_close = [&](HWND main_window) {
        ::SetForegroundWindow(main_window);
        ::Sleep(200);
        RECT w{};
        ::GetWindowRect(main_window, &w);
        test::mouse_to({w.right - 15, w.top + 12});
        ::Sleep(200);
        test::left_down();
        ::Sleep(60);
        test::left_up();
        for (int i = 0; i < 100 && ::IsWindow(main_window); ++i) ::Sleep(50);
        closed_by_the_button = !::IsWindow(main_window);
    };
    const run_result r = run(app(), {}, click_close);
    EXPECT_TRUE(closed_by_the_button);
    EXPECT_TRUE(r.main_window_maximised);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.box_text, u"");
    std::vector<record_line> created = record("cef_browser_host_create_browser_sync");
    std::erase_if(created, [&](const record_line& l) { return l.pid != r.pid; });
    std::vector<record_line> destroyed = record("window_destroyed");
    std::erase_if(destroyed, [&](const record_line& l) { return l.pid != r.pid; });
    EXPECT_EQ(created.size(), 1u);
    EXPECT_EQ(destroyed.size(), created.size());
    const auto shutdown = record("cef_shutdown");
    ASSERT_EQ(shutdown.size(), 1u);
    EXPECT_EQ(shutdown[0].detail, "browsers=0");
}

} // namespace
} // namespace kq
