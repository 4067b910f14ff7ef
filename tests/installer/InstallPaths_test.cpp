#include "installer/InstallPaths.h"

#include <gtest/gtest.h>

using namespace kq;

TEST(InstallPaths, ChecksFolderTexts) {
    struct row {
        StringView folder;
        path_problem problem;
    };
    const row rows[] = {
        {u"D:\\KQ\\TSR\\", path_problem::none},
        {u"d:/KQ/TSR", path_problem::none},
        {u"E:\\", path_problem::none},
        {u"\\\\server\\share\\Tessaro", path_problem::none},
        {u"C:\\Program Files\\Tessaro 安装", path_problem::none},
        {u"C:\\a.b\\CONSOLE\\COM10\\x.y", path_problem::none},
        {u"", path_problem::empty},
        {u"KQ", path_problem::not_full},
        {u"\\KQ", path_problem::not_full},
        {u"C:KQ", path_problem::not_full},
        {u"\\\\server", path_problem::not_full},
        {u"\\\\server\\", path_problem::not_full},
        {u"\\\\.\\C:\\KQ", path_problem::not_full},
        {u"\\\\?\\C:\\KQ", path_problem::not_full},
        {u"C:\\a<b", path_problem::bad_character},
        {u"C:\\a\\b:c", path_problem::bad_character},
        {u"C:\\a|b", path_problem::bad_character},
        {u"C:\\a\tb", path_problem::bad_character},
        {u"\\\\ser*ver\\share", path_problem::bad_character},
        {u"C:\\CON", path_problem::device_name},
        {u"C:\\x\\nul.txt\\y", path_problem::device_name},
        {u"C:\\Lpt1 ", path_problem::device_name},
        {u"C:\\com9", path_problem::device_name},
        {u"C:\\KQ.", path_problem::changed_name},
        {u"C:\\KQ \\TSR", path_problem::changed_name},
        {u"C:\\KQ\\..\\Windows", path_problem::changed_name},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.folder.begin(), r.folder.end()));
        EXPECT_EQ(check_folder(r.folder, 0), r.problem);
    }
}

TEST(InstallPaths, LeavesRoomForTheNamesBelowTheFolder) {
    const String folder = u"C:\\" + String(200, u'a');
    EXPECT_EQ(check_folder(folder, 259 - folder.size()), path_problem::none);
    EXPECT_EQ(check_folder(folder, 260 - folder.size()), path_problem::too_long);
}

TEST(InstallPaths, TellsRootsFromFolders) {
    struct row {
        StringView path;
        bool full;
        bool root;
    };
    const row rows[] = {
        {u"C:\\", true, true},   {u"C:\\\\", true, true},          {u"\\\\s\\share", true, true},
        {u"\\\\s\\share\\", true, true}, {u"C:\\KQ", true, false}, {u"\\\\s\\share\\KQ", true, false},
        {u"\\", false, false},   {u"", false, false},              {u"C:", false, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.path.begin(), r.path.end()));
        EXPECT_EQ(is_full_path(r.path), r.full);
        EXPECT_EQ(is_root_folder(r.path), r.root);
    }
}
