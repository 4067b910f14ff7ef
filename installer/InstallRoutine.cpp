#include "installer/InstallRoutine.h"

#include "framework/ComObjects.h"
#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/ResourceStreams.h"
#include "installer/InstallPaths.h"
#include "installer/ShortcutWriter.h"

#include <algorithm>
#include <memory>

namespace kq {

namespace {

// The install table: two parallel arrays; a row's resource type and folder follow from its index.
constexpr StringView file_names[install_row_count] = {
    u"KQ.exe",
    u"cef.pak", u"cef_100_percent.pak", u"cef_200_percent.pak", u"cef_extensions.pak", u"devtools_resources.pak",
    u"zh-CN.pak",
    u"d3dcompiler_43.dll", u"d3dcompiler_47.dll", u"libcef.dll", u"libEGL.dll", u"libGLESv2.dll",
    u"widevinecdmadapter.dll",
    u"icudtl.dat",
    u"natives_blob.bin", u"snapshot_blob.bin"};
constexpr StringView resource_names[install_row_count] = {
    u"KQ_O_EXE",
    u"KQ_O_PAK", u"KQ_1_PAK", u"KQ_2_PAK", u"KQ_3_PAK", u"KQ_4_PAK",
    u"KQ_5_PAK",
    u"KQ_O_DLL", u"KQ_1_DLL", u"KQ_2_DLL", u"KQ_3_DLL", u"KQ_4_DLL", u"KQ_5_DLL",
    u"KQ_O_DAT",
    u"KQ_O_DIN", u"KQ_1_DIN"};

StringView resource_type(int row) {
    if (row == 0) return u"MYEXEFILE";
    if (row <= 6) return u"MYPAKFILE";
    if (row <= 12) return u"MYDLLFILE";
    if (row == 13) return u"MYDATFILE";
    return u"MYBINFILE";
}

StringView target_folder(int row) {
    if (row == 0) return u"";
    if (row == 6) return u"Bin\\locales\\";
    return u"Bin\\";
}

// Characters a path below the base folder needs: the separator appended to the folder text, the longest
// folder and file name, and the temporary suffix.
std::size_t longest_relative_path() {
    std::size_t longest = 0;
    for (int row = 0; row < install_row_count; ++row)
        longest = std::max(longest, target_folder(row).size() + file_names[row].size());
    return 1 + longest + replacing_file_suffix.size();
}

String folder_error(const String& folder, path_problem problem) {
    auto refused = [&](StringView reason) { return Format(u"Cannot install into \"%s\". %s", {folder, reason}); };
    switch (problem) {
    case path_problem::none: break;
    case path_problem::empty: return u"Choose the folder to install into.";
    case path_problem::not_full:
        return refused(u"The folder must be a full path beginning with a drive letter, such as D:\\KQ, or with "
                       u"\\\\server\\share.");
    case path_problem::bad_character:
        return refused(u"A folder name cannot contain < > : \" | ? * or control characters.");
    case path_problem::device_name:
        return refused(u"A folder name cannot be a device name such as CON, PRN, AUX, NUL, COM1 or LPT1.");
    case path_problem::changed_name: return refused(u"A folder name cannot end with a dot or a blank.");
    case path_problem::too_long:
        return refused(Format(u"The folder path can have at most %d characters.",
                              {static_cast<int>(max_path_length - longest_relative_path())}));
    }
    return {};
}

} // namespace

install_result run_install(HMODULE payload_module, const install_choices& choices, install_view& view) {
    const String folder = Trim(choices.folder);
    if (const path_problem problem = check_folder(folder, longest_relative_path()); problem != path_problem::none)
        throw install_folder_error(folder_error(folder, problem));

    // Every resource is found before the first file is written.
    std::vector<std::unique_ptr<TResourceStream>> payload;
    for (int row = 0; row < install_row_count; ++row)
        payload.push_back(std::make_unique<TResourceStream>(payload_module, String(resource_names[row]),
                                                            String(resource_type(row)), payload_language));

    // The separator is appended whatever the text ends with; the file system reads a doubled one as one.
    const String base = folder + u"\\";
    install_result result;
    result.application_path = base + String(file_names[0]);
    for (int row = 0; row < install_row_count; ++row) {
        const String target_folder_path = base + String(target_folder(row));
        // A folder that cannot be made shows when the file is written into it.
        ForceDirectories(target_folder_path);
        if (!view.progress(row)) {
            result.stopped = true;
            return result;
        }
        TResourceStream& data = *payload[row];
        write_file_replacing(target_folder_path + String(file_names[row]), data.Memory(),
                             static_cast<std::size_t>(data.Size()));
    }

    const com_thread com;
    const std::pair<bool, int> shortcuts[] = {{choices.desktop, shortcut_desktop},
                                              {choices.start_menu, shortcut_start_menu},
                                              {choices.quick_launch, shortcut_quick_launch}};
    for (const auto& [chosen, id] : shortcuts) {
        if (!chosen) continue;
        try {
            CreateUlr(id, result.application_path);
        } catch (const Exception& e) {
            result.shortcut_errors.push_back(e.Message());
        }
    }
    return result;
}

} // namespace kq
