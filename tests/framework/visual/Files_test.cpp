#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/Win32Handles.h"

#include <functional>
#include <iterator>
#include <string>

namespace kq {
namespace {

// A fresh folder under the temporary folder, removed with everything in it at the end.
class scratch_folder {
public:
    scratch_folder() {
        wchar_t temp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, temp);
        FPath = from_wide(temp) + u"kq-files-" + IntToStr(::GetCurrentProcessId()) + u"\\";
        std::filesystem::remove_all(std::filesystem::path(FPath));
        std::filesystem::create_directories(std::filesystem::path(FPath));
    }
    scratch_folder(const scratch_folder&) = delete;
    scratch_folder& operator=(const scratch_folder&) = delete;
    ~scratch_folder() {
        std::error_code error;
        std::filesystem::remove_all(std::filesystem::path(FPath), error);
    }
    const String& path() const { return FPath; }
    void file(const String& name, const std::string& content = "x") const {
        std::ofstream(std::filesystem::path(FPath + name), std::ios::binary) << content;
    }
    std::string content(const String& name) const {
        std::ifstream in(std::filesystem::path(FPath + name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void folder(const String& name) const { std::filesystem::create_directories(std::filesystem::path(FPath + name)); }

private:
    String FPath;
};

TEST(Files, ExecutablePathNamesThisProgram) {
    EXPECT_EQ(ExtractFileName(executable_path()), u"framework_visual_tests.exe");
    EXPECT_TRUE(FileExists(executable_path()));
}

TEST(Files, FindEntriesGivesNamesAndRawAttributesWithoutDotEntries) {
    scratch_folder f;
    f.file(u"a.txt");
    f.file(u"隐藏.dat");
    ::SetFileAttributesW(wide(f.path() + u"隐藏.dat"), FILE_ATTRIBUTE_HIDDEN);
    f.folder(u"sub");
    f.folder(u"sys");
    ::SetFileAttributesW(wide(f.path() + u"sys"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM);
    std::vector<folder_entry> entries = find_entries(f.path() + u"*.*");
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[0].Name, u"a.txt");
    EXPECT_EQ(entries[0].Attr & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(entries[1].Name, u"sub");
    EXPECT_EQ(entries[1].Attr, static_cast<std::uint32_t>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(entries[2].Name, u"sys");
    EXPECT_EQ(entries[2].Attr, static_cast<std::uint32_t>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(entries[3].Name, u"隐藏.dat");
    EXPECT_NE(entries[3].Attr & FILE_ATTRIBUTE_HIDDEN, 0u);
    EXPECT_TRUE(find_entries(f.path() + u"missing\\*.*").empty());
    ::SetFileAttributesW(wide(f.path() + u"隐藏.dat"), FILE_ATTRIBUTE_NORMAL);
    ::SetFileAttributesW(wide(f.path() + u"sys"), FILE_ATTRIBUTE_DIRECTORY);
}

TEST(Files, DeletionRefusesWhatIsNotEmptyOrNotThere) {
    scratch_folder f;
    f.file(u"a.txt");
    f.folder(u"empty");
    f.folder(u"full");
    f.file(u"full\\b.txt");
    EXPECT_TRUE(delete_file(f.path() + u"a.txt"));
    EXPECT_FALSE(FileExists(f.path() + u"a.txt"));
    EXPECT_FALSE(delete_file(f.path() + u"a.txt"));
    EXPECT_FALSE(delete_file(f.path() + u"empty"));
    EXPECT_TRUE(remove_folder(f.path() + u"empty"));
    EXPECT_FALSE(remove_folder(f.path() + u"full"));
    EXPECT_TRUE(FileExists(f.path() + u"full\\b.txt"));
}

void write_text(const String& target, const std::string& text) { write_file_replacing(target, text.data(), text.size()); }

TEST(Files, WriteFileReplacingLeavesOnlyTheNewContent) {
    scratch_folder f;
    f.file(u"a.txt", "a much longer old content");
    write_text(f.path() + u"a.txt", "new");
    EXPECT_EQ(f.content(u"a.txt"), "new");
    write_text(f.path() + u"fresh.txt", "");
    EXPECT_EQ(f.content(u"fresh.txt"), "");
    EXPECT_FALSE(FileExists(f.path() + u"a.txt" + String(replacing_file_suffix)));
}

TEST(Files, WriteFileReplacingKeepsATargetItMayNotReplace) {
    struct row {
        const char* name;
        // Makes the target unfit for replacing while the returned handle stays open.
        std::function<unique_file(const String& path)> spoil;
        DWORD reason;
    };
    const row rows[] = {
        {"read-only",
         [](const String& path) {
             ::SetFileAttributesW(wide(path), FILE_ATTRIBUTE_READONLY);
             return unique_file{};
         },
         ERROR_ACCESS_DENIED},
        {"open without sharing",
         [](const String& path) {
             return unique_file{::CreateFileW(wide(path), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)};
         },
         ERROR_SHARING_VIOLATION},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        scratch_folder f;
        const String target = f.path() + u"a.txt";
        f.file(u"a.txt", "old");
        {
            const unique_file held = r.spoil(target);
            try {
                write_text(target, "new");
                ADD_FAILURE() << "no error";
            } catch (const EFCreateError& e) {
                EXPECT_EQ(e.Message(), u"Cannot create file \"" + target + u"\". " + SysErrorMessage(r.reason));
            }
        }
        ::SetFileAttributesW(wide(target), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(f.content(u"a.txt"), "old");
        EXPECT_FALSE(FileExists(target + String(replacing_file_suffix)));
    }
}

TEST(Files, WriteFileReplacingNamesTheTargetWhenItsFolderIsMissing) {
    scratch_folder f;
    const String target = f.path() + u"missing\\a.txt";
    try {
        write_text(target, "new");
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), u"Cannot create file \"" + target + u"\". " + SysErrorMessage(ERROR_PATH_NOT_FOUND));
    }
}

} // namespace
} // namespace kq
