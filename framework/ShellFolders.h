#pragma once
// The user's special folders.
#include "framework/Strings.h"
#include "framework/Win32.h"

#include <shtypes.h>

namespace kq {

// The path of one of the user's special folders as the shell knows it (FOLDERID_Desktop, ...); empty when
// the shell has none or the folder does not exist. Nothing is created.
String known_folder_path(REFKNOWNFOLDERID folder);

} // namespace kq
