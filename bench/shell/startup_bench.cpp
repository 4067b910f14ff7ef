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

#include "bench/Figures.h"
#include "bench/shell/ProgramRuns.h"

namespace {

using namespace kq;
namespace fs = std::filesystem;
using clock_type = std::chrono::steady_clock;

constexpr COLORREF page = RGB(0xE5, 0x39, 0x35); // the stand-in's first page

// Milliseconds from the program's start to the page colour at the screen's centre; -1 when it did not come
// within 60 s. The program is closed and waited for either way.
double time_start(const fs::path& program, const fs::path& folder) {
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2, y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    const HDC screen = ::GetDC(nullptr);
    if (::GetPixel(screen, x, y) == page) {
        std::fprintf(stderr, "the screen already shows the page colour\n");
        std::exit(2);
    }
    const auto start = clock_type::now();
    const PROCESS_INFORMATION pi = bench::start_program(program, folder);
    double ms = -1;
    while (clock_type::now() - start < std::chrono::seconds(60)) {
        if (::GetPixel(screen, x, y) == page) {
            ms = std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
            break;
        }
        ::Sleep(2);
    }
    ::ReleaseDC(nullptr, screen);
    const bool kq = program.filename() == "KQ.exe";
    bench::close_and_wait(pi, bench::shown_window(pi.dwProcessId, kq ? L"TF_Main" : L"BareWindow"));
    ::Sleep(500); // the engine's sub-process ends, the screen is repainted without the window
    return ms;
}

} // namespace

// startup_bench [runs]: each run starts both programs, in alternating order.
int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 10;
    // KQ in a folder of its own with the stand-in as its engine, as the installer lays it out.
    const fs::path folder = fs::temp_directory_path() / ("kq-startup-" + std::to_string(::GetCurrentProcessId()));
    bench::install_kq(folder);
    const fs::path bare = bench::here() / "bare_window.exe";

    time_start(bare, bench::here()); // the first start of any program loads Wine's own libraries
    bench::figures kq{"KQ to its first page", {}}, peer{"bare program to its window", {}},
        own{"KQ's own share (difference)", {}};
    for (int i = 0; i < runs; ++i) {
        double k = 0, b = 0;
        if (i % 2 == 0) {
            k = time_start(folder / "KQ.exe", folder);
            b = time_start(bare, bench::here());
        } else {
            b = time_start(bare, bench::here());
            k = time_start(folder / "KQ.exe", folder);
        }
        if (k < 0 || b < 0) {
            std::fprintf(stderr, "run %d: no page within 60 s (KQ %.0f, bare %.0f)\n", i + 1, k, b);
            return 1;
        }
        std::printf("run %2d: KQ %7.0f ms, bare %7.0f ms, KQ's own %7.0f ms\n", i + 1, k, b, k - b);
        std::fflush(stdout);
        kq.samples.push_back(k);
        peer.samples.push_back(b);
        own.samples.push_back(k - b);
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    std::printf("%d runs of each\n", runs);
    for (const bench::figures* f : {&kq, &peer, &own})
        std::printf("%-28s min %7.0f  median %7.0f  max %7.0f ms\n", f->name, f->least(), f->median(), f->most());
    return 0;
}
