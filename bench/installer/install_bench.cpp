// Installs a 50 MB payload into a temporary folder, against copying the same files with the system's file
// copy, and prints both throughputs and their ratio. Run by hand under Wine; see bench/README.md.
#include "installer/InstallRoutine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Each run takes some tens of milliseconds on a shared machine: many runs, the order alternating.
constexpr int repetitions = 25;

class silent_view : public kq::install_view {
public:
    void progress(int) override {}
};

fs::path from_linux(std::string_view path) {
    std::wstring text = L"Z:";
    for (char c : path) text += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return fs::path(text);
}

double seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main() {
    const fs::path source = from_linux(KQ_BENCH_PADDED_DIR);
    const fs::path work = fs::path(L"Z:\\tmp") / (L"kq-install-bench-" + std::to_wstring(::GetCurrentProcessId()));
    std::vector<fs::path> files;
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(source))
        if (entry.is_regular_file()) {
            files.push_back(fs::relative(entry.path(), source));
            bytes += entry.file_size();
        }

    std::vector<double> install_times, copy_times;
    auto run_install = [&] {
        const fs::path installed = work / L"install";
        kq::install_choices choices;
        choices.folder = kq::from_wide(installed.c_str());
        choices.desktop = choices.start_menu = choices.quick_launch = false;
        silent_view view;
        std::wstring error;
        install_times.push_back(seconds([&] {
            const kq::install_result result = kq::run_install(::GetModuleHandleW(nullptr), choices, view);
            error = kq::wide(result.error);
        }));
        if (!error.empty()) {
            std::fwprintf(stderr, L"install failed: %ls\n", error.c_str());
            std::exit(1);
        }
    };
    // The copy makes the same folders, then copies file by file.
    auto run_copy = [&] {
        const fs::path copied = work / L"copy";
        copy_times.push_back(seconds([&] {
            ::CreateDirectoryW(copied.c_str(), nullptr);
            ::CreateDirectoryW((copied / L"Bin").c_str(), nullptr);
            ::CreateDirectoryW((copied / L"Bin" / L"locales").c_str(), nullptr);
            for (const fs::path& file : files) {
                if (!::CopyFileW((source / file).c_str(), (copied / file).c_str(), FALSE)) {
                    std::fwprintf(stderr, L"copy failed: %ls\n", file.c_str());
                    std::exit(1);
                }
            }
        }));
    };
    for (int i = 0; i < repetitions; ++i) {
        fs::remove_all(work);
        fs::create_directories(work);
        if (i % 2 == 0) {
            run_install();
            run_copy();
        } else {
            run_copy();
            run_install();
        }
    }
    fs::remove_all(work);
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    const double install = median(install_times), copy = median(copy_times);
    std::printf("payload: %zu files, %.1f MB; median of %d runs\n", files.size(), mb, repetitions);
    std::printf("install routine: %.3f s, %.0f MB/s\n", install, mb / install);
    std::printf("system file copy: %.3f s, %.0f MB/s\n", copy, mb / copy);
    std::printf("install throughput / copy throughput: %.2f\n", copy / install);
    return 0;
}
