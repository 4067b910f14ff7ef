#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "framework/Conversions.h"
#include "framework/Files.h"

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
    void file(const String& name) const { std::ofstream(std::filesystem::path(FPath + name)) << "x"; }
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

} // namespace
} // namespace kq
