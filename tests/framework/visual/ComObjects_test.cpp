#include "framework/ComObjects.h"
#include "framework/ShellFolders.h"
#include "framework/ShellLinks.h"

#include "../raised.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <knownfolders.h>

using namespace kq;

namespace {

// An object with one interface that counts its references.
class counted : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++References; }
    ULONG STDMETHODCALLTYPE Release() override { return --References; }
    ULONG References = 0;
};

std::filesystem::path temp_path(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, folder);
    return std::filesystem::path(folder) / name;
}

} // namespace

TEST(com_ptr, HoldsOneReferencePerOwner) {
    counted object;
    {
        com_ptr<IUnknown> first;
        *first.put() = &object;
        object.AddRef();
        com_ptr<IUnknown> copy = first;
        EXPECT_EQ(object.References, 2u);
        com_ptr<IUnknown> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(object.References, 2u);
        com_ptr<IUnknown> same = first.as<IUnknown>();
        EXPECT_EQ(object.References, 3u);
        same.put();
        EXPECT_EQ(object.References, 2u);
        EXPECT_EQ(raised_message<EIntfCastError>([&] { first.as<IPersistFile>(); }), u"Interface not supported");
        EXPECT_EQ(object.References, 2u);
    }
    EXPECT_EQ(object.References, 0u);
}

TEST(com_ptr, CreatingAnUnknownClassRaisesTheSystemsError) {
    const com_thread com;
    const CLSID unknown{0x1234abcd, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
    try {
        CreateComObject<IUnknown>(unknown);
        ADD_FAILURE() << "no error raised";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, REGDB_E_CLASSNOTREG);
        EXPECT_FALSE(e.Message().empty());
    }
}

TEST(shell_link, SavesAndLoadsALink) {
    const com_thread com;
    const std::filesystem::path file = temp_path(L"kq-framework-link.lnk");
    {
        shell_link link;
        // An ASCII target: a target that does not exist may keep its path in the ANSI code page only.
        link.set_path(u"C:\\Program Files\\Tessaro\\app.exe");
        link.set_working_directory(u"C:\\Program Files\\程序\\");
        link.set_description(u"描述 text");
        link.save(from_wide(file.c_str()));
    }
    shell_link read;
    read.load(from_wide(file.c_str()));
    EXPECT_EQ(read.path(), u"C:\\Program Files\\Tessaro\\app.exe");
    EXPECT_EQ(read.working_directory(), u"C:\\Program Files\\程序\\");
    EXPECT_EQ(read.description(), u"描述 text");
    std::filesystem::remove(file);
}

TEST(shell_link, FileErrorsNameTheFileAndTheReason) {
    const com_thread com;
    shell_link link;
    const String missing = from_wide(temp_path(L"kq-no-such-folder\\x.lnk").c_str());
    const String created = raised_message<EFCreateError>([&] { link.save(missing); });
    EXPECT_EQ(created.substr(0, 21 + missing.size()), u"Cannot create file \"" + missing + u"\"");
    EXPECT_GT(created.size(), 23 + missing.size());
    const String opened = raised_message<EFOpenError>([&] { link.load(missing); });
    EXPECT_EQ(opened.substr(0, 19 + missing.size()), u"Cannot open file \"" + missing + u"\"");
}

TEST(known_folder_path, GivesAnExistingFolder) {
    const com_thread com;
    const String desktop = known_folder_path(FOLDERID_Desktop);
    ASSERT_FALSE(desktop.empty());
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(std::wstring(wide(desktop)))));
}

TEST(guid_text, IsTheUpperCaseRegistryForm) {
    // The bytes of the last group are written in memory order, the first three fields as numbers.
    const GUID known{0xE76F6888, 0xD9C3, 0x4FCE, {0x9C, 0x23, 0xE8, 0x96, 0x59, 0x82, 0x0A, 0x36}};
    EXPECT_EQ(GUIDToString(known), u"{E76F6888-D9C3-4FCE-9C23-E89659820A36}");
    EXPECT_EQ(GUIDToString(GUID{}), u"{00000000-0000-0000-0000-000000000000}");
    wchar_t system_text[40];
    ASSERT_GT(::StringFromGUID2(known, system_text, 40), 0);
    EXPECT_EQ(GUIDToString(known), String(reinterpret_cast<const char16_t*>(system_text)));
}

TEST(guid_text, NewGuidsDiffer) {
    const String a = GUIDToString(CreateGUID()), b = GUIDToString(CreateGUID());
    EXPECT_EQ(a.size(), 38u);
    EXPECT_NE(a, b);
}
