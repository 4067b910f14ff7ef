#include "installer/InstallPaths.h"

#include "framework/Files.h"

#include <algorithm>

namespace kq {

namespace {

bool is_separator(char16_t c) noexcept { return c == u'\\' || c == u'/'; }

bool is_drive_letter(char16_t c) noexcept { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// Length of the root part: "C:\" or "\\server\share"; 0 when the text has none.
std::size_t root_length(StringView path) noexcept {
    if (path.size() >= 3 && is_drive_letter(path[0]) && path[1] == u':' && is_separator(path[2])) return 3;
    if (path.size() < 2 || !is_separator(path[0]) || !is_separator(path[1])) return 0;
    const std::size_t server_end = std::find_if(path.begin() + 2, path.end(), is_separator) - path.begin();
    const StringView server = path.substr(2, server_end - 2);
    // "\\.\" and "\\?\" name devices and the system's own name space, not a share.
    if (server.empty() || server == u"." || server == u"?" || server_end == path.size()) return 0;
    const std::size_t share_end = std::find_if(path.begin() + server_end + 1, path.end(), is_separator) - path.begin();
    if (share_end == server_end + 1) return 0;
    return share_end;
}

} // namespace

bool is_full_path(StringView path) noexcept { return root_length(path) != 0; }

bool is_root_folder(StringView path) noexcept {
    const std::size_t root = root_length(path);
    return root != 0 && std::all_of(path.begin() + root, path.end(), is_separator);
}

path_problem check_folder(StringView folder, std::size_t reserve) noexcept {
    if (folder.empty()) return path_problem::empty;
    const std::size_t root = root_length(folder);
    if (root == 0) return path_problem::not_full;
    // Past the drive's colon, or over the whole text of a share (its server and share names too).
    const StringView named = folder[1] == u':' ? folder.substr(2) : folder;
    if (std::any_of(named.begin(), named.end(), is_refused_name_character)) return path_problem::bad_character;
    const StringView rest = folder.substr(root);
    for (std::size_t start = 0; start < rest.size();) {
        const std::size_t end = std::find_if(rest.begin() + start, rest.end(), is_separator) - rest.begin();
        const StringView name = rest.substr(start, end - start);
        if (!name.empty()) {
            if (is_device_name(name)) return path_problem::device_name;
            // "a." and "a " are opened as "a"; "." and ".." move elsewhere.
            if (name.back() == u'.' || name.back() == u' ') return path_problem::changed_name;
        }
        start = end + 1;
    }
    if (folder.size() + reserve > max_path_length) return path_problem::too_long;
    return path_problem::none;
}

} // namespace kq
