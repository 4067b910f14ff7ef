#pragma once
// Starting the test program itself as a child process, to run one of its cases there.

#include <string>

#include "framework/Win32.h"
#include "framework/Win32Handles.h"

namespace kq::test {

// Starts this program again with Arguments after its path; the process handle, empty when it could not
// start. The child gets none of the sharding variables a sharded run gives this process: with them it
// would run only its shard's part of the filter, often no case at all, and still end with 0.
inline unique_kernel_handle start_this_program(const std::wstring& Arguments, DWORD Flags = 0) {
    ::SetEnvironmentVariableW(L"GTEST_TOTAL_SHARDS", nullptr);
    ::SetEnvironmentVariableW(L"GTEST_SHARD_INDEX", nullptr);
    wchar_t exe[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(exe) + L"\" " + Arguments;
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, Flags, nullptr, nullptr, &si, &pi)) return {};
    ::CloseHandle(pi.hThread);
    return unique_kernel_handle(pi.hProcess);
}

} // namespace kq::test
