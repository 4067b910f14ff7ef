#pragma once
// Helpers of the installer tests: paths under Wine, the payload module, temporary folders.
#include "framework/ShellLinks.h"
#include "framework/Win32Handles.h"
#include "framework/Strings.h"
#include "installer/InstallRoutine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace kq::test {

namespace fs = std::filesystem;

// A path of the Linux side as this program reaches it under Wine, through the Z: drive.
inline String wine_path(std::string_view unix_path) {
    String path = u"Z:";
    for (char c : unix_path) path += c == '/' ? u'\\' : static_cast<char16_t>(c);
    return path;
}

inline fs::path to_path(const String& text) { return fs::path(std::wstring(wide(text))); }
inline String to_string(const fs::path& path) { return from_wide(path.c_str()); }

inline std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const fs::path& path, std::string_view bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every file below folder, as paths relative to it, in name order.
inline std::vector<std::string> files_below(const fs::path& folder) {
    std::vector<std::string> names;
    if (!fs::exists(folder)) return names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).generic_string());
    std::sort(names.begin(), names.end());
    return names;
}

// The shortcut file exists and points at target, starting in folder, with the program's description.
inline void expect_link(const fs::path& file, const String& target, const String& folder) {
    SCOPED_TRACE(file.string());
    ASSERT_TRUE(fs::exists(file));
    shell_link link;
    link.load(to_string(file));
    EXPECT_EQ(link.path(), target);
    EXPECT_EQ(link.working_directory(), folder);
    EXPECT_EQ(link.description(), u"Tessaro - 您的招投标神器");
}

// A new empty folder on the Linux side (reached through Z:), removed with everything in it at scope end.
class temp_folder {
public:
    temp_folder() {
        // Z:\tmp is shared by every Wine prefix on the machine, and process ids repeat from one prefix to the
        // next: two test runs at once met in one folder and removed each other's links. A random part, and a
        // folder that must be new.
        static std::atomic<int> counter{0};
        std::random_device random;
        do {
            FPath = fs::path(L"Z:\\tmp") / (L"kq-installer-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                             std::to_wstring(++counter) + L"-" + std::to_wstring(random()));
        } while (!fs::create_directory(FPath));
    }
    ~temp_folder() {
        std::error_code ignored;
        for (const auto& entry : fs::recursive_directory_iterator(FPath, ignored))
            ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(FPath, ignored);
    }
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;

    const fs::path& path() const { return FPath; }
    String text() const { return to_string(FPath); }

private:
    fs::path FPath;
};

// One row of what an install must produce: the file below the install folder.
inline const std::vector<std::string>& installed_files() {
    static const std::vector<std::string> files{
        "Bin/cef.pak", "Bin/cef_100_percent.pak", "Bin/cef_200_percent.pak", "Bin/cef_extensions.pak",
        "Bin/d3dcompiler_43.dll", "Bin/d3dcompiler_47.dll", "Bin/devtools_resources.pak", "Bin/icudtl.dat",
        "Bin/libEGL.dll", "Bin/libGLESv2.dll", "Bin/libcef.dll", "Bin/locales/zh-CN.pak", "Bin/natives_blob.bin",
        "Bin/snapshot_blob.bin", "Bin/widevinecdmadapter.dll", "KQ.exe"};
    return files;
}

// The payload the build gathered, in the install layout.
inline fs::path payload_folder() { return to_path(wine_path(KQ_TEST_PAYLOAD_DIR)); }

// The built TessaroSetup.exe, loaded as data for its resources; loaded once for the whole run.
inline HMODULE setup_program() {
    static const unique_module module{::LoadLibraryExW(
        wide(wine_path(KQ_TEST_SETUP_PROGRAM)), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)};
    return module.get();
}

// Records the rows an install reports; stops it at stop_at.
class recording_view : public install_view {
public:
    bool progress(int row) override {
        if (row == stop_at) return false;
        rows.push_back(row);
        return true;
    }
    std::vector<int> rows;
    int stop_at = -1;
};

// Values of the current user's shell folders, set and removed by the tests (each run has its own prefix).
inline const wchar_t* const shell_folders_key =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline const wchar_t* const user_shell_folders_key =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

inline void set_user_value(const wchar_t* key_path, const wchar_t* name, const String& value) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, key_path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    ::RegCloseKey(key);
}

inline void delete_user_value(const wchar_t* key_path, const wchar_t* name) {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key_path, name);
}

} // namespace kq::test
