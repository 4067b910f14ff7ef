#include "installer/ShortcutWriter.h"

#include "framework/Registry.h"
#include "framework/ShellFolders.h"
#include "framework/ShellLinks.h"
#include "framework/Streams.h"
#include "installer/InstallPaths.h"

#include <knownfolders.h>

#include <iterator>

namespace kq {

namespace {

constexpr StringView link_name = u"Tessaro.lnk";
constexpr StringView link_description = u"Tessaro - 您的招投标神器";
constexpr StringView quick_launch_folder = u"\\Microsoft\\Internet Explorer\\Quick Launch\\";

struct shortcut_place {
    StringView value;        // under "Shell Folders"
    const KNOWNFOLDERID* known;
};

// The folder a link may be written into: a full path that is not a drive root.
bool usable_folder(const String& folder) {
    return check_folder(folder, 0) == path_problem::none && !is_root_folder(folder);
}

String user_folder(const shortcut_place& place) {
    // Opened for reading only: the installer leaves the registry as it found it.
    const registry_key key = registry_key::open_read(
        HKEY_CURRENT_USER, u"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    if (const auto value = key.read_string(String(place.value)); value && usable_folder(*value)) return *value;
    if (String known = known_folder_path(*place.known); usable_folder(known)) return known;
    return {};
}

} // namespace

String shortcut_path(int id) {
    static const shortcut_place places[] = {
        {u"Desktop", &FOLDERID_Desktop}, {u"Start Menu", &FOLDERID_StartMenu}, {u"AppData", &FOLDERID_RoamingAppData}};
    if (id < 0 || id >= static_cast<int>(std::size(places))) return {};
    const String folder = user_folder(places[id]);
    if (folder.empty()) return {};
    return folder + String(id == shortcut_quick_launch ? quick_launch_folder : u"\\") + String(link_name);
}

void CreateUlr(int id, const String& exe_file_name) {
    shell_link link;
    link.set_path(exe_file_name);
    link.set_working_directory(exe_file_name.substr(0, exe_file_name.rfind(u'\\') + 1));
    link.set_description(String(link_description));
    const String file_name = shortcut_path(id);
    if (file_name.empty()) RaiseFileCreateError(String(link_name), ERROR_PATH_NOT_FOUND);
    link.save(file_name);
}

} // namespace kq
