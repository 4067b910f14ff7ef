#include "installer/InstallRoutine.h"

#include "framework/ComObjects.h"
#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/ResourceStreams.h"
#include "installer/InstallPaths.h"
#include "installer/ShortcutWriter.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace kq {

namespace {

// One row of the install table: the file, the resource that carries it, and its folder below the base folder.
struct install_file {
    StringView name;
    StringView resource;
    StringView type;
    StringView folder;
};

constexpr install_file install_files[] = {
    {u"KQ.exe", u"KQ_O_EXE", u"MYEXEFILE", u""},
    {u"cef.pak", u"KQ_O_PAK", u"MYPAKFILE", u"Bin\\"},
    {u"cef_100_percent.pak", u"KQ_1_PAK", u"MYPAKFILE", u"Bin\\"},
    {u"cef_200_percent.pak", u"KQ_2_PAK", u"MYPAKFILE", u"Bin\\"},
    {u"cef_extensions.pak", u"KQ_3_PAK", u"MYPAKFILE", u"Bin\\"},
    {u"devtools_resources.pak", u"KQ_4_PAK", u"MYPAKFILE", u"Bin\\"},
    {u"zh-CN.pak", u"KQ_5_PAK", u"MYPAKFILE", u"Bin\\locales\\"},
    {u"d3dcompiler_43.dll", u"KQ_O_DLL", u"MYDLLFILE", u"Bin\\"},
    {u"d3dcompiler_47.dll", u"KQ_1_DLL", u"MYDLLFILE", u"Bin\\"},
    {u"libcef.dll", u"KQ_2_DLL", u"MYDLLFILE", u"Bin\\"},
    {u"libEGL.dll", u"KQ_3_DLL", u"MYDLLFILE", u"Bin\\"},
    {u"libGLESv2.dll", u"KQ_4_DLL", u"MYDLLFILE", u"Bin\\"},
    {u"widevinecdmadapter.dll", u"KQ_5_DLL", u"MYDLLFILE", u"Bin\\"},
    {u"icudtl.dat", u"KQ_O_DAT", u"MYDATFILE", u"Bin\\"},
    {u"natives_blob.bin", u"KQ_O_DIN", u"MYBINFILE", u"Bin\\"},
    {u"snapshot_blob.bin", u"KQ_1_DIN", u"MYBINFILE", u"Bin\\"},
};
static_assert(std::size(install_files) == install_row_count);

// Characters a path below the base folder needs: the separator appended to the folder text, the longest
// folder and file name, and the temporary suffix.
std::size_t longest_relative_path() {
    std::size_t longest = 0;
    for (const install_file& file : install_files) longest = std::max(longest, file.folder.size() + file.name.size());
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
    for (const install_file& file : install_files)
        payload.push_back(std::make_unique<TResourceStream>(payload_module, String(file.resource), String(file.type),
                                                            payload_language));

    // The separator is appended whatever the text ends with; the file system reads a doubled one as one.
    const String base = folder + u"\\";
    install_result result;
    result.application_path = base + String(install_files[0].name);
    for (int row = 0; row < install_row_count; ++row) {
        const install_file& file = install_files[row];
        const String target_folder_path = base + String(file.folder);
        // A folder that cannot be made shows when the file is written into it.
        ForceDirectories(target_folder_path);
        if (!view.progress(row)) {
            result.stopped = true;
            return result;
        }
        TResourceStream& data = *payload[row];
        write_file_replacing(target_folder_path + String(file.name), data.Memory(),
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
