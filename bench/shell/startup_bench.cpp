// KQ from its start to the first page painted on the screen by the stand-in engine, against a bare Win32
// program that shows one maximised window of the same colour, started alternately in the same run. A start
// ends when the screen's centre shows the page colour; the program is then closed and waited for.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

constexpr COLORREF page = RGB(0xE5, 0x39, 0x35); // the stand-in's first page

fs::path here() {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

struct window_search {
    DWORD pid;
    HWND found = nullptr;
};

BOOL CALLBACK find_shown(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<window_search*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner != s->pid || !::IsWindowVisible(w)) return TRUE;
    wchar_t name[64] = {};
    ::GetClassNameW(w, name, 64);
    if (std::wstring(name) == L"TF_Main" || std::wstring(name) == L"BareWindow") {
        s->found = w;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds from the program's start to the page colour at the screen's centre; -1 when it did not come
// within 60 s. The program is closed and waited for either way.
double time_start(const fs::path& program, const fs::path& folder) {
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    const HDC screen = ::GetDC(nullptr);
    if (::GetPixel(screen, x, y) == page) {
        std::fprintf(stderr, "the screen already shows the page colour\n");
        std::exit(2);
    }
    std::wstring command = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const auto start = clock_type::now();
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        std::fprintf(stderr, "cannot start %ls\n", program.c_str());
        std::exit(2);
    }
    double ms = -1;
    while (clock_type::now() - start < std::chrono::seconds(60)) {
        if (::GetPixel(screen, x, y) == page) {
            ms = std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
            break;
        }
        ::Sleep(2);
    }
    ::ReleaseDC(nullptr, screen);
    window_search s{pi.dwProcessId};
    for (int i = 0; i < 500 && !s.found; ++i) {
        ::EnumWindows(find_shown, reinterpret_cast<LPARAM>(&s));
        if (!s.found) ::Sleep(20);
    }
    if (s.found) ::PostMessageW(s.found, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(pi.hProcess, 30000) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    ::Sleep(500); // the engine's sub-process ends, the screen is repainted without the window
    return ms;
}

struct figures {
    double min, median, max;
};
figures summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return {v.front(), n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2, v.back()};
}

} // namespace

// startup_bench [runs]: each run starts both programs, in alternating order.
int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
    // KQ in a folder of its own with the stand-in as its engine, as the installer lays it out.
    const fs::path folder = fs::temp_directory_path() / ("kq-startup-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(folder / "Bin");
    fs::copy_file(here() / "KQ.exe", folder / "KQ.exe", fs::copy_options::overwrite_existing);
    fs::copy_file(here() / "libcef.dll", folder / "Bin" / "libcef.dll", fs::copy_options::overwrite_existing);
    const fs::path bare = here() / "bare_window.exe";

    time_start(bare, here()); // the first start of any program loads Wine's own libraries
    std::vector<double> kq, peer, own;
    for (int i = 0; i < runs; ++i) {
        double k = 0, b = 0;
        if (i % 2 == 0) {
            k = time_start(folder / "KQ.exe", folder);
            b = time_start(bare, here());
        } else {
            b = time_start(bare, here());
            k = time_start(folder / "KQ.exe", folder);
        }
        if (k < 0 || b < 0) {
            std::fprintf(stderr, "run %d: no page within 60 s (KQ %.0f, bare %.0f)\n", i + 1, k, b);
            return 1;
        }
        std::printf("run %2d: KQ %7.0f ms, bare %7.0f ms, KQ's own %7.0f ms\n", i + 1, k, b, k - b);
        std::fflush(stdout);
        kq.push_back(k);
        peer.push_back(b);
        own.push_back(k - b);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    const auto print = [](const char* what, const std::vector<double>& v) {
        const figures f = summary(v);
        std::printf("%-28s min %7.0f  median %7.0f  max %7.0f ms\n", what, f.min, f.median, f.max);
    };
    std::printf("%d runs of each\n", runs);
    print("KQ to its first page", kq);
    print("bare program to its window", peer);
    print("KQ's own share (difference)", own);
    return 0;
}
