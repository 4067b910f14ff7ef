// Resolving skin image names: an existing file first, then the built-in store; the store's own edits and
// its reload from a component-text file.
#include "skin/uSkinResManager.h"
#include "tests/skin/SkinTestSupport.h"

#include "framework/ComponentText.h"
#include "framework/Conversions.h"
#include "framework/Handles.h"
#include "framework/ImageCodecs.h"
#include "framework/ResourceStreams.h"
#include "framework/Streams.h"
#include "skin/uSkinResDM.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>

namespace kq::test {
namespace {

std::vector<std::uint8_t> png_file(std::uint32_t pixel, png_color_type type) {
    raster_image image{4, 3, std::vector<std::uint32_t>(12, pixel)};
    return encode_png(image, {type, false, 6});
}

struct SkinResManagerTest : ::testing::Test {
    void TearDown() override { // undo the store edits and forget the files read
        SkinResManager()->Reload();
        SkinResManager()->RunTimeImageList()->Bitmaps()->Clear();
    }
    TSkinResManager& manager = *SkinResManager();
};

// The store arrives through the data module the skin's start-up makes.
TEST_F(SkinResManagerTest, TheStoreComesFromTheDataModule) {
    TSkinResDM* dm = SkinResDM();
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dm->Name(), u"SkinResDM");
    EXPECT_EQ(dm->SkinImageListMain->Name(), u"SkinImageListMain");
    EXPECT_EQ(manager.ImageList(), dm->SkinImageListMain);
    EXPECT_EQ(manager.ImageList()->Bitmaps()->Count(), 87);
    manager.Reload();
    EXPECT_NE(SkinResDM(), nullptr);
    EXPECT_EQ(manager.ImageList(), SkinResDM()->SkinImageListMain);
}

TEST_F(SkinResManagerTest, NamesCompareTrimmedWithoutCase) {
    TSkinImage* check = manager.GetImageByName(u"SkinCheckBox");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->Width(), 68);
    for (const char16_t* name : {u"  skincheckbox ", u"SKINCHECKBOX", u"SkinCheckBox\t"}) {
        SCOPED_TRACE(string_to_utf8(name));
        EXPECT_EQ(manager.GetImageByName(name), check);
    }
}

// Blank names, and names the programs ask for that the store lacks, draw nothing.
TEST_F(SkinResManagerTest, BlankOrUnknownNamesGiveNil) {
    for (const char16_t* name : {u"", u"   ", u"NoSuchImage", u"a1", u"skin_bk_leaf"}) {
        SCOPED_TRACE(string_to_utf8(name));
        EXPECT_EQ(manager.GetImageByName(name), nullptr);
    }
}

// An existing file of the asked name comes before the store, and its loader's error reaches the caller;
// the name is a file's only as given, blanks included.
TEST_F(SkinResManagerTest, AnExistingFileComesBeforeTheStore) {
    temp_working_folder folder;
    folder.write(L"sysclose", png_file(0xFF102030u, png_color_type::rgb));
    folder.write(L"SkinCheckBox", std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'g'});

    TSkinImage* file = manager.GetImageByName(u"sysclose");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->Width(), 4);
    EXPECT_EQ(file->GetPixel(0, 0), 0xFF102030u);
    EXPECT_EQ(manager.RunTimeImageList()->Bitmaps()->Items(0)->ResID(), u"sysclose");
    TSkinImage* store = manager.GetImageByName(u" sysclose ");
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->Width(), 90);

    EXPECT_THROW(manager.GetImageByName(u"SkinCheckBox"), EReadError);
    EXPECT_EQ(manager.RunTimeImageList()->Bitmaps()->Count(), 1);
    EXPECT_EQ(manager.GetImageByName(u" skincheckbox")->Width(), 68);
}

TEST_F(SkinResManagerTest, ImageFilesAreLoadedOnceAndKeyedByPath) {
    temp_working_folder folder;
    const String alpha = folder.write(L"glow.png", png_file(0x80FF0000u, png_color_type::rgba));
    const String opaque = folder.write(L"plain.png", png_file(0xFF00FF00u, png_color_type::rgb));
    const String broken = folder.write(L"broken.png", std::vector<std::uint8_t>{0x89, 'P', 'N', 'G'});

    TSkinImage* a = manager.GetImageByName(alpha);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->DrawMode(), dmBlend);
    EXPECT_EQ(a->GetPixel(0, 0), 0x80FF0000u);
    EXPECT_EQ(manager.GetImageByName(UpperCase(alpha)), a);
    TSkinImage* b = manager.GetImageByName(opaque);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->DrawMode(), dmOpaque);
    EXPECT_EQ(b->GetPixel(3, 2), 0xFF00FF00u);
    // Nothing is kept of a file that cannot be read.
    EXPECT_THROW(manager.GetImageByName(broken), EInvalidGraphic);
    EXPECT_EQ(manager.RunTimeImageList()->Bitmaps()->Count(), 2);
    EXPECT_THROW(manager.GetImageByFileName(broken), EInvalidGraphic);
    manager.Delete(alpha);
    EXPECT_EQ(manager.RunTimeImageList()->Bitmaps()->Count(), 1);
}

TEST_F(SkinResManagerTest, AddReplaceAndDeleteEditTheStore) {
    temp_working_folder folder;
    const String file = folder.write(L"my.button.png", png_file(0xFF112233u, png_color_type::rgb));
    const int before = manager.ImageList()->Bitmaps()->Count();

    // Only the final extension goes from a file's name.
    const int added = manager.add_res_file(file, u"", u"from a file");
    EXPECT_EQ(added, before);
    EXPECT_EQ(manager.ImageList()->Bitmaps()->Items(added)->ResID(), u"my.button");
    EXPECT_EQ(manager.IndexOfRes(u" MY.BUTTON "), added);

    TBitmap32 red;
    red.SetSize(2, 2);
    red.Clear(0xFFFF0000u);
    const int named = manager.AddRes(&red, u"RedDot", u"");
    red.Clear(0xFF0000FFu); // the store holds a copy
    EXPECT_EQ(manager.GetImageByName(u"reddot")->GetPixel(1, 1), 0xFFFF0000u);

    EXPECT_EQ(manager.ReplaceRes(u"RedDot", file), named);
    EXPECT_EQ(manager.GetImageByName(u"RedDot")->GetPixel(0, 0), 0xFF112233u);
    EXPECT_EQ(manager.ImageList()->Bitmaps()->Items(named)->ResID(), u"RedDot");
    EXPECT_EQ(manager.ReplaceRes(u"NoSuchImage", file), -1);

    manager.Delete(u"reddot");
    EXPECT_EQ(manager.IndexOfRes(u"RedDot"), -1);
    manager.Reload();
    EXPECT_EQ(manager.ImageList()->Bitmaps()->Count(), 87);
    EXPECT_EQ(manager.IndexOfRes(u"my.button"), -1);
}

TEST_F(SkinResManagerTest, BitmapResourcesLoadIntoTheStore) {
    const auto instance = reinterpret_cast<std::uintptr_t>(::GetModuleHandleW(nullptr));
    const int i = manager.add_res_resource(instance, u"SKINTESTBMP", u"FromResource", u"");
    TSkinImage* image = manager.ImageList()->Bitmap(i);
    ASSERT_EQ(image->Width(), 3);
    ASSERT_EQ(image->Height(), 2);
    const TColor32 expected[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFF808080u, 0xFF000000u};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(image->GetPixel(k % 3, k / 3), expected[k]) << k;

    TBitmap32 by_id;
    by_id.LoadFromResourceID(::GetModuleHandleW(nullptr), 7);
    EXPECT_EQ(by_id.GetPixel(2, 0), 0xFF0000FFu);
    TBitmap32 missing;
    try {
        missing.LoadFromResourceName(::GetModuleHandleW(nullptr), u"NOSUCHBITMAP");
        ADD_FAILURE() << "no error";
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message(), u"Resource NOSUCHBITMAP not found");
    }
}

std::string file_text(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The store's round trip through its file: written when the file is missing, read back in place of the
// items otherwise.
TEST_F(SkinResManagerTest, RefreshWritesTheStoreOnceAndReadsItBack) {
    temp_working_folder folder;
    const std::filesystem::path file = folder.path() / L"store.tmp";
    const String name = from_wide(file.wstring().c_str());
    const TColor32 corner = manager.GetImageByName(u"SkinBtn_close")->GetPixel(1, 1);

    manager.Refresh(name);
    const std::string text = file_text(file);
    EXPECT_EQ(text.rfind("object SkinImageListMain: TSkinImageList", 0), 0u) << text.substr(0, 80);
    ASSERT_EQ(manager.ImageList()->Bitmaps()->Count(), 87);
    TSkinImage* close = manager.GetImageByName(u"SkinBtn_close");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->Width(), 117);
    EXPECT_EQ(close->DrawMode(), dmBlend);
    EXPECT_EQ(close->GetPixel(1, 1), corner);

    // A file that exists is only read.
    TSkinImageList other(nullptr);
    other.SetName(u"SkinImageListMain");
    TSkinBitmapItem* item = other.Bitmaps()->Add();
    item->SetResID(u"OnlyOne");
    TBitmap32 dot;
    dot.SetSize(2, 1);
    dot.Clear(0xFF405060u);
    item->SetBitmap(&dot);
    {
        TFileStream out(name, fmCreate);
        write_component_text(out, other);
    }
    manager.Refresh(name);
    ASSERT_EQ(manager.ImageList()->Bitmaps()->Count(), 1);
    EXPECT_EQ(manager.GetImageByName(u"onlyone")->GetPixel(1, 0), 0xFF405060u);
    EXPECT_EQ(manager.GetImageByName(u"SkinBtn_close"), nullptr);
}

// Without a name the file lies in the skin's install folder, which the user's registry names.
TEST_F(SkinResManagerTest, RefreshFindsItsDefaultFileInTheInstallFolder) {
    temp_working_folder folder;
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Skin", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    const std::wstring path = folder.path().wstring(); // no trailing delimiter: the reader adds it
    ::RegSetValueExW(key, L"Path32", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                     static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(key);
    const auto forget = scope_exit([] { ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Skin"); });

    manager.Refresh(u"");
    EXPECT_TRUE(std::filesystem::exists(folder.path() / L"SkinDesignTimeRes.tmp"));
    EXPECT_EQ(manager.ImageList()->Bitmaps()->Count(), 87);
}

TEST_F(SkinResManagerTest, RefreshWithoutAFileItCanMakeRaisesAndKeepsTheStore) {
    temp_working_folder folder;
    const String missing = from_wide((folder.path() / L"no such folder" / L"store.tmp").wstring().c_str());
    try {
        manager.Refresh(missing);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"Not found SkinDesignTimeRes.tmp file!");
    }
    EXPECT_EQ(manager.ImageList()->Bitmaps()->Count(), 87);
}

TEST(TSkinImageList, SettersCopy) {
    TSkinImageList a(nullptr), b(nullptr);
    TSkinBitmapItem* item = a.Bitmaps()->Add();
    item->SetResID(u"one");
    TBitmap32 dot;
    dot.SetSize(1, 1);
    dot.Clear(0xFF123456u);
    a.SetBitmap(0, &dot);
    b.SetBitmaps(a.Bitmaps());
    ASSERT_EQ(b.Bitmaps()->Count(), 1);
    EXPECT_NE(b.Bitmap(0), a.Bitmap(0));
    EXPECT_EQ(b.Bitmaps()->Items(0)->ResID(), u"one");
    EXPECT_EQ(b.Bitmap(0)->GetPixel(0, 0), 0xFF123456u);

    // An item set by index takes the other's name, description and pixels, and stays its own.
    b.Bitmaps()->Add()->SetResID(u"two");
    b.Bitmaps()->Items(1)->SetDescription(u"second");
    a.Bitmaps()->SetItems(0, b.Bitmaps()->Items(1));
    EXPECT_EQ(a.Bitmaps()->Items(0)->ResID(), u"two");
    EXPECT_EQ(a.Bitmaps()->Items(0)->Description(), u"second");
    EXPECT_TRUE(a.Bitmap(0)->Empty());
    b.Bitmaps()->SetItems(1, b.Bitmaps()->Items(0));
    EXPECT_EQ(b.Bitmaps()->Items(1)->ResID(), u"one");
    EXPECT_EQ(b.Bitmap(1)->GetPixel(0, 0), 0xFF123456u);
    EXPECT_NE(b.Bitmap(1), b.Bitmap(0));
    EXPECT_THROW(b.Bitmaps()->SetItems(0, nullptr), EConvertError);
}

} // namespace
} // namespace kq::test
