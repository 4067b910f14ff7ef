#pragma once

#include <cstdint>
#include <vector>

#include "framework/Strings.h"

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

} // namespace kq
