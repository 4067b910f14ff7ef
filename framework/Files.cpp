#include "framework/Files.h"

#include <windows.h>

#include "framework/Handles.h"

namespace kq {

String executable_path() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) return from_wide(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

String ExpandFileName(const String& file_name) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetFullPathNameW(wide(file_name), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0) return file_name;
        if (n < buffer.size()) return from_wide(buffer.data(), n);
        buffer.resize(n);
    }
}

std::vector<folder_entry> find_entries(const String& pattern) {
    std::vector<folder_entry> entries;
    WIN32_FIND_DATAW data{};
    const unique_handle<HANDLE, ::FindClose, invalid_is_minus_one> find{::FindFirstFileW(wide(pattern), &data)};
    if (!find) return entries;
    do {
        const String name = from_wide(data.cFileName);
        if (name != u"." && name != u"..") entries.push_back({name, data.dwFileAttributes});
    } while (::FindNextFileW(find.get(), &data));
    return entries;
}

bool delete_file(const String& path) { return ::DeleteFileW(wide(path)) != 0; }

bool remove_folder(const String& path) { return ::RemoveDirectoryW(wide(path)) != 0; }

} // namespace kq
