#pragma once
// Files and folders through the system's calls (ForceDirectories, listing, attributes).
#include <cstdint>
#include <vector>

#include "framework/Strings.h"

#include <cstddef>

// Files and folders through the system's own calls, where the portable ones in Conversions.h cannot say
// enough (raw attribute words, the running executable).
namespace kq {

// The full path of the running program's executable file.
String executable_path();

// The full path of a file name, a relative one taken from the current folder.
String ExpandFileName(const String& file_name);

// One entry of a folder: its name (no path) and the system's attribute word.
struct folder_entry {
    String Name;
    std::uint32_t Attr = 0;
};

// Every entry matching a pattern such as "C:\data\*.*", whatever its attributes, except "." and "..";
// none when the folder does not exist.
std::vector<folder_entry> find_entries(const String& pattern);

// False when the system refuses (a file in use, a folder that is not empty); GetLastError says why.
bool delete_file(const String& path);
bool remove_folder(const String& path);

// What write_file_replacing adds to the target's name for the file it writes first.
inline constexpr StringView replacing_file_suffix = u".tmp";

// Writes the bytes to the target's name with replacing_file_suffix added and moves that file onto the
// target once complete, so the target holds either its old content or the whole new one. A read-only or
// locked target is refused before anything is written. EFCreateError "Cannot create file "%s". %s" with
// the target's name and the system's reason; no temporary file is left then.
void write_file_replacing(const String& target, const void* data, std::size_t size);

// Whether the system takes a file name for a device (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1 to COM9,
// LPT1 to LPT9, in any case), as it does with the part before the first dot, trailing blanks dropped.
bool is_device_name(StringView name) noexcept;
// A character that no file or folder name may hold (the path separators aside).
bool is_refused_name_character(char16_t c) noexcept;

} // namespace kq
