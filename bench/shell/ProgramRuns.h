#pragma once
// What the shell benchmarks share: KQ laid out in a folder of its own with the stand-in engine, programs
// started, their shown windows found, and closed as a person closes them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kq::bench {

namespace detail {

struct window_search {
    DWORD pid;
    const wchar_t* class_name;
    HWND found = nullptr;
};

inline BOOL CALLBACK find_window(HWND w, LPARAM p) {
    auto* s = reinterpret_cast<window_search*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    wchar_t name[64] = {};
    ::GetClassNameW(w, name, 64);
    if (owner != s->pid || !::IsWindowVisible(w) || std::wstring(name) != s->class_name) return TRUE;
    s->found = w;
    return FALSE;
}

} // namespace detail

// The folder of the running benchmark, where its build put KQ, the stand-in and the bare program.
inline std::filesystem::path here() {
    wchar_t path[MAX_PATH];
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(path).parent_path();
}

// KQ.exe in Folder with the stand-in as Folder\Bin\libcef.dll, as the installer lays it out.
inline void install_kq(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    fs::create_directories(folder / "Bin");
    fs::copy_file(here() / "KQ.exe", folder / "KQ.exe", fs::copy_options::overwrite_existing);
    fs::copy_file(here() / "libcef.dll", folder / "Bin" / "libcef.dll", fs::copy_options::overwrite_existing);
}

// Starts Program with Folder as its current folder; the benchmark stops when it cannot.
inline PROCESS_INFORMATION start_program(const std::filesystem::path& program, const std::filesystem::path& folder) {
    std::wstring command = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        std::fprintf(stderr, "cannot start %ls\n", program.c_str());
        std::exit(2);
    }
    return pi;
}

// The process's shown window of the class (a child of Parent when given), waited for up to a minute.
inline HWND shown_window(DWORD pid, const wchar_t* class_name, HWND parent = nullptr) {
    detail::window_search s{pid, class_name};
    for (int i = 0; i < 3000 && !s.found; ++i) {
        if (parent)
            ::EnumChildWindows(parent, detail::find_window, reinterpret_cast<LPARAM>(&s));
        else
            ::EnumWindows(detail::find_window, reinterpret_cast<LPARAM>(&s));
        if (!s.found) ::Sleep(20);
    }
    return s.found;
}

// Closes the window and waits for the program's end (ending it after 30 s).
inline void close_and_wait(const PROCESS_INFORMATION& pi, HWND window) {
    if (window) ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (::WaitForSingleObject(pi.hProcess, 30000) == WAIT_TIMEOUT) ::TerminateProcess(pi.hProcess, 99);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
}

} // namespace kq::bench
