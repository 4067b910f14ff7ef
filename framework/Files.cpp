#include "framework/Files.h"

#include <windows.h>

#include "framework/Win32Handles.h"
#include "framework/Streams.h"

#include <algorithm>
#include <array>
#include <cstdint>

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
    const unique_find find{::FindFirstFileW(wide(pattern), &data)};
    if (!find) return entries;
    do {
        const String name = from_wide(data.cFileName);
        if (name != u"." && name != u"..") entries.push_back({name, data.dwFileAttributes});
    } while (::FindNextFileW(find.get(), &data));
    return entries;
}

bool delete_file(const String& path) { return ::DeleteFileW(wide(path)) != 0; }

bool remove_folder(const String& path) { return ::RemoveDirectoryW(wide(path)) != 0; }

namespace {


// Raises when an existing target may not be replaced: read-only or in use. Moving a file onto it would
// succeed on some systems regardless, so both are asked first.
void check_replaceable(const String& target) {
    const DWORD attributes = ::GetFileAttributesW(wide(target));
    if (attributes == INVALID_FILE_ATTRIBUTES) return;
    if (attributes & FILE_ATTRIBUTE_READONLY) RaiseFileCreateError(target, ERROR_ACCESS_DENIED);
    const unique_file existing{
        ::CreateFileW(wide(target), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!existing) RaiseFileCreateError(target, ::GetLastError());
}

} // namespace

void write_file_replacing(const String& target, const void* data, std::size_t size) {
    check_replaceable(target);
    const String temporary = target + String(replacing_file_suffix);
    auto remove_temporary = scope_exit([&] { ::DeleteFileW(wide(temporary)); });
    unique_file file{::CreateFileW(wide(temporary), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr)};
    if (!file) RaiseFileCreateError(target, ::GetLastError());
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t done = 0; done < size;) {
        // WriteFile takes at most 4 GB at once; 1 GB steps keep every count well inside a DWORD.
        const auto count = static_cast<DWORD>(std::min<std::size_t>(size - done, std::size_t{1} << 30));
        DWORD written = 0;
        if (!::WriteFile(file.get(), bytes + done, count, &written, nullptr))
            RaiseFileCreateError(target, ::GetLastError());
        if (written == 0) RaiseFileCreateError(target, ERROR_WRITE_FAULT);
        done += written;
    }
    file.reset();
    if (!::MoveFileExW(wide(temporary), wide(target), MOVEFILE_REPLACE_EXISTING))
        RaiseFileCreateError(target, ::GetLastError());
    remove_temporary.release();
}

bool is_device_name(StringView name) noexcept {
    name = name.substr(0, name.find(u'.'));
    while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
    const auto upper = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    static constexpr std::array<StringView, 6> plain{u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"};
    const auto same = [&](StringView device) {
        return device.size() == name.size() &&
               std::equal(name.begin(), name.end(), device.begin(), [&](char16_t a, char16_t b) { return upper(a) == b; });
    };
    if (std::any_of(plain.begin(), plain.end(), same)) return true;
    if (name.size() != 4 || name[3] < u'1' || name[3] > u'9') return false;
    const String head{upper(name[0]), upper(name[1]), upper(name[2])};
    return head == u"COM" || head == u"LPT";
}

bool is_refused_name_character(char16_t c) noexcept {
    return c < 32 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|' || c == u'?' || c == u'*';
}

} // namespace kq
