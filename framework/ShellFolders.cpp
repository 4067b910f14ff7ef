#include "framework/ShellFolders.h"

#include "framework/ComObjects.h"

#include <shlobj.h>

namespace kq {

String known_folder_path(REFKNOWNFOLDERID folder) {
    co_task_ptr<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(folder, 0, nullptr, path.put()))) return {};
    return from_wide(path.get());
}

} // namespace kq
