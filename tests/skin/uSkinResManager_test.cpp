// Resolving skin image names: the built-in store first, image files only for names that look like files,
// and the store's own edits.
#include "skin/uSkinResManager.h"
#include "tests/skin/SkinTestSupport.h"

#include "framework/Conversions.h"
#include "framework/ImageCodecs.h"
#include "framework/ResourceStreams.h"
#include "framework/Streams.h"
#include "skin/uSkinResDM.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace kq::test {
namespace {

std::vector<std::uint8_t> png_file(std::uint32_t pixel, png_color_type type) {
    raster_image image{4, 3, std::vector<std::uint32_t>(12, pixel)};
    return encode_png(image, {type, false, 6});
}

struct SkinResManagerTest : ::testing::Test {
    void TearDown() override { SkinResManager()->Reload(); } // undo the store edits
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

// A file in the working folder named like a built-in image neither replaces nor breaks it.
TEST_F(SkinResManagerTest, AStrayFileDoesNotReplaceAStoreImage) {
    temp_working_folder folder;
    const auto junk = std::vector<std::uint8_t>{'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};
    folder.write(L"sysclose", junk);
    folder.write(L"SkinUnknown", junk);
    TSkinImage* close = manager.GetImageByName(u"sysclose");
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->Width(), 90);
    EXPECT_EQ(manager.GetImageByName(u"SkinUnknown"), nullptr);
    EXPECT_EQ(manager.RunTimeImageList()->Bitmaps()->Count(), 0);
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
    // A file that cannot be read is no picture for a control, and nothing is kept of it.
    EXPECT_EQ(manager.GetImageByName(broken), nullptr);
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
    const int added = manager.AddResFile(file, u"", u"from a file");
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
    const int i = manager.AddResResource(instance, u"SKINTESTBMP", u"FromResource", u"");
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
}

} // namespace
} // namespace kq::test
