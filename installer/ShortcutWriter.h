#pragma once
// The shortcuts "Tessaro.lnk" of the installed program.
#include "framework/Strings.h"

namespace kq {

// Where a shortcut goes.
constexpr int shortcut_desktop = 0;
constexpr int shortcut_start_menu = 1;
constexpr int shortcut_quick_launch = 2;

// The path of the link file "Tessaro.lnk" for id, in the folder named by the user's "Shell Folders"
// registry value, or else by the shell; empty when neither gives a full path that is not a drive root.
// Reads the registry only; creates nothing.
String shortcut_path(int id);

// Writes the link to the installed application exe_file_name for id (shortcut_desktop, ...): the target as
// passed, the working folder up to its last backslash, the program's description. An existing link is
// replaced. Raises EFCreateError "Cannot create file "%s". %s" when there is no folder for the link or
// the link cannot be saved there, EOleSysError or EIntfCastError when the link object cannot be had.
// Needs COM on the calling thread.
void CreateUlr(int id, const String& exe_file_name);

} // namespace kq
