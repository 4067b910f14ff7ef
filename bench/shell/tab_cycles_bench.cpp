// KQ's memory over tab cycles: KQ is started on the stand-in engine, the strip's add button and then the new
// tab's close button are clicked (real input: the cursor moved, the button pressed and let go) for the given
// number of cycles, and the process's memory is printed every 100 cycles. Then the same clicks go to a bare
// Win32 window that does nothing with them: what that one grows by is Wine's own. Run by hand under Wine;
// see README.md.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "bench/shell/ProgramRuns.h"
#include "framework/Forms.h"
#include "tabs/PageTabs.h"
#include "tests/skin/SkinControlTestSupport.h"
#include "tests/tabs/MainWindowStrip.h"

namespace {

namespace fs = std::filesystem;
using namespace kq;

// Lines of the stand-in's record naming a call, counted from the file it appends to.
class record_reader {
public:
    explicit record_reader(fs::path file) : FFile(std::move(file)) {}
    void update() {
        std::ifstream in(FFile, std::ios::binary);
        in.seekg(FRead);
        for (std::string line; std::getline(in, line);) {
            if (in.eof()) break; // a line still being written
            FRead += static_cast<std::streamoff>(line.size() + 1);
            FCreated += line.find("\tcef_browser_host_create_browser_sync\t") != std::string::npos;
            FDestroyed += line.find("\twindow_destroyed") != std::string::npos;
        }
    }
    int created() const { return FCreated; }
    int destroyed() const { return FDestroyed; }

private:
    fs::path FFile;
    std::streamoff FRead = 0;
    int FCreated = 0, FDestroyed = 0;
};

bool wait(const std::function<bool()>& done, int seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        ::Sleep(10);
    }
    return true;
}

// A real click, as a person gives it: the cursor moved onto the point, a short rest, the button pressed and
// let go.
void click(HWND window, TPoint at) {
    POINT screen{at.X, at.Y};
    ::ClientToScreen(window, &screen);
    test::mouse_to(screen);
    ::Sleep(60); // the close button shows on the tab under the mouse
    test::left_down();
    ::Sleep(30);
    test::left_up();
}

// Clicks until Done, a few times: on a loaded machine a click can come while the tab is still sliding in,
// before its close button is under the cursor.
bool click_until(HWND window, TPoint at, const std::function<bool()>& done) {
    for (int i = 0; i < 5; ++i) {
        click(window, at);
        if (wait(done, 4)) return true;
    }
    return false;
}

void print_memory(const char* who, int cycle, HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX m{};
    m.cb = sizeof m;
    ::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
    std::printf("%-5s cycle %5d: working set %8.1f kB, page file %8.1f kB\n", who, cycle, m.WorkingSetSize / 1024.0,
                m.PagefileUsage / 1024.0);
    std::fflush(stdout);
}

} // namespace

// tab_cycles_bench [cycles]
int wmain(int argc, wchar_t** argv) {
    const int cycles = argc > 1 ? std::max(1, _wtoi(argv[1])) : 1000;
    forms_startup();
    const fs::path folder = fs::temp_directory_path() / ("kq-cycles-" + std::to_string(::GetCurrentProcessId()));
    // A run that stopped early left its record behind.
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    bench::install_kq(folder);
    const fs::path record = folder / "record.txt";
    ::SetEnvironmentVariableW(L"STANDIN_RECORD_FILE", record.c_str());

    const PROCESS_INFORMATION kq = bench::start_program(folder / "KQ.exe", folder);
    const HWND main_window = bench::shown_window(kq.dwProcessId, L"TF_Main");
    const HWND strip = main_window ? bench::shown_window(kq.dwProcessId, L"TPageTabs", main_window) : nullptr;
    record_reader pages(record);
    if (!strip || !wait([&] { pages.update(); return pages.created() == 1; })) {
        std::fprintf(stderr, "KQ showed no strip or no first page\n");
        return 1;
    }
    ::SetForegroundWindow(main_window);
    ::Sleep(1000); // the window reaches its maximised size
    // The places of the add button and of the second tab's close button, from a strip of the window's
    // settings and width.
    RECT client{};
    ::GetClientRect(strip, &client);
    TPageTabs model(nullptr);
    test::apply_main_window_settings(model);
    model.SetBounds(0, 0, client.right, client.bottom);
    model.Tabs().Add();
    model.IncludeState(TPageTabState::stsResizing);
    model.LayoutAll();
    const TRect add = model.AddButtonControl().ControlRect();
    model.Tabs().Add();
    model.IncludeState(TPageTabState::stsResizing);
    model.LayoutAll();
    const TRect close = model.Tabs().Items(1)->TabControl()->GetCloseButonRect();
    const TPoint add_at{(add.Left + add.Right) / 2, (add.Top + add.Bottom) / 2};
    const TPoint close_at{(close.Left + close.Right) / 2, (close.Top + close.Bottom) / 2};

    std::printf("strip %ld wide: add button at %d,%d, the second tab's close button at %d,%d\n", client.right, add_at.X,
                add_at.Y, close_at.X, close_at.Y);
    // A failed cycle ends the run, KQ with it.
    const auto stop = [&](int cycle, const char* what) {
        std::fprintf(stderr, "cycle %d: %s\n", cycle, what);
        bench::close_and_wait(kq, main_window);
        return 1;
    };
    const auto start_time = std::chrono::steady_clock::now();
    for (int i = 0; i < cycles; ++i) {
        if (i % 100 == 0) print_memory("KQ", i, kq.hProcess);
        if (!click_until(strip, add_at, [&] { pages.update(); return pages.created() == i + 2; }))
            return stop(i, "no page made");
        ::Sleep(250); // the new tab slides in and its page loads
        if (!click_until(strip, close_at, [&] { pages.update(); return pages.destroyed() == i + 1; }))
            return stop(i, "the tab did not close");
        ::Sleep(250); // the closed tab slides out
    }
    print_memory("KQ", cycles, kq.hProcess);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_time).count();
    bench::close_and_wait(kq, main_window);

    // The same clicks, at the same pace, to a window that does nothing with them.
    const PROCESS_INFORMATION bare = bench::start_program(bench::here() / "bare_window.exe", bench::here());
    const HWND bare_window = bench::shown_window(bare.dwProcessId, L"BareWindow");
    ::SetForegroundWindow(bare_window);
    ::Sleep(1000);
    const DWORD pause = static_cast<DWORD>(seconds * 1000 / cycles / 2);
    for (int i = 0; i < cycles; ++i) {
        if (i % 100 == 0) print_memory("bare", i, bare.hProcess);
        click(bare_window, add_at);
        ::Sleep(pause);
        click(bare_window, close_at);
        ::Sleep(pause);
    }
    print_memory("bare", cycles, bare.hProcess);
    bench::close_and_wait(bare, bare_window);
    fs::remove_all(folder, ignored);
    forms_shutdown();
    return 0;
}
