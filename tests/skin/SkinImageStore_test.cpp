// The two skin image stores the programs carry: exactly their images, with names, sizes, draw modes and
// the frames the controls cut; the bitmaps' "Data" blocks byte-exact; a damaged store refused cleanly.
#include "skin/SkinImageStore.h"
#include "tests/skin/SkinTestSupport.h"

#include "framework/Streams.h"
#include "graphics/Raster.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kq::test {
namespace {

struct image_row {
    const char16_t* name;
    std::int32_t width, height;
    TDrawMode mode;
};

const image_row kq_rows[] = {
    {u"skin_bk_leaf", 1100, 640, dmOpaque},
    {u"sysminimize", 90, 27, dmBlend},
    {u"sysclose", 90, 27, dmBlend},
    {u"a6", 93, 29, dmBlend},
    {u"a3", 93, 29, dmBlend},
    {u"a2", 84, 29, dmBlend},
    {u"a1", 87, 29, dmBlend},
    {u"a5", 93, 29, dmBlend},
};

const image_row setup_rows[] = {
    {u"SkinCheckBox", 68, 17, dmBlend},
    {u"SkinButton", 340, 27, dmBlend},
    {u"SkinRadiobtn", 68, 17, dmBlend},
    {u"SkinDropdownMenu", 60, 32, dmBlend},
    {u"SkinFlatBtn", 66, 22, dmBlend},
    {u"SkinMsgIcon_Error", 40, 40, dmBlend},
    {u"SkinMsgIcon_Warn", 40, 40, dmBlend},
    {u"SkinMsgIcon_Info", 40, 40, dmBlend},
    {u"SkinMsgIcon_OK", 40, 40, dmBlend},
    {u"SkinMsgIcon_Question", 40, 40, dmBlend},
    {u"SkinBorderHot", 20, 26, dmBlend},
    {u"SkinBorderNormal", 20, 26, dmBlend},
    {u"SkinBtn_close", 117, 19, dmBlend},
    {u"SkinBtn_max", 84, 19, dmBlend},
    {u"SkinBtn_mini", 84, 19, dmBlend},
    {u"SkinBtn_restore", 84, 19, dmBlend},
    {u"SkinTips_close", 54, 18, dmBlend},
    {u"SkinSlider_dragBackground", 12, 21, dmBlend},
    {u"SkinPreview_bkg", 60, 134, dmBlend},
    {u"SkinSlider_Aio_light_bkg", 60, 134, dmBlend},
    {u"SkinPasswordchar", 6, 6, dmBlend},
    {u"SkinKeyboard", 20, 20, dmBlend},
    {u"SkinDrop_arrow_hot", 23, 24, dmBlend},
    {u"SkinDrop_arrow_normal", 23, 24, dmBlend},
    {u"SkinExpand_1", 17, 17, dmBlend},
    {u"SkinExpand_2", 17, 17, dmBlend},
    {u"SkinCancel_18_Normal", 18, 18, dmBlend},
    {u"SkinCancel_18_Hot", 18, 18, dmBlend},
    {u"SkinMenu_bk", 157, 38, dmBlend},
    {u"SkinMenu_hilight", 22, 22, dmBlend},
    {u"SkinMenu_sub_arrow", 21, 11, dmBlend},
    {u"SkinMenu_icon_check", 60, 20, dmBlend},
    {u"SkinMenu_icon_radio", 60, 20, dmBlend},
    {u"SkinTabDown", 10, 35, dmOpaque},
    {u"SkinTabHover", 10, 35, dmBlend},
    {u"SkinTab_button_normal", 10, 25, dmBlend},
    {u"SkinTab_button_hot", 10, 25, dmBlend},
    {u"SkinTab_button_down", 10, 25, dmBlend},
    {u"SkinBar_base", 102, 13, dmBlend},
    {u"SkinBar_cur", 102, 13, dmBlend},
    {u"SkinScrollbar_bar_down", 10, 42, dmBlend},
    {u"SkinScrollbar_bar_highlight", 10, 42, dmBlend},
    {u"SkinScrollbar_bar_normal", 10, 42, dmBlend},
    {u"SkinScrollbar_bkg", 10, 62, dmBlend},
    {u"SkinScrollbar_arrowdown_normal", 10, 9, dmBlend},
    {u"SkinScrollbar_arrowup_normal", 10, 9, dmBlend},
    {u"SkinScrollbar_horz_bkg", 34, 10, dmBlend},
    {u"SkinScrollbar_horzbar_down", 34, 10, dmBlend},
    {u"SkinScrollbar_horzbar_highlight", 34, 10, dmBlend},
    {u"SkinScrollbar_horzbar_normal", 34, 10, dmBlend},
    {u"SkinScrollbar_arrowleft_normal", 9, 10, dmBlend},
    {u"SkinScrollbar_arrowright_normal", 9, 10, dmBlend},
    {u"SkinScrollbar_arrowdown_down", 10, 9, dmBlend},
    {u"SkinScrollbar_arrowdown_highlight", 10, 9, dmBlend},
    {u"SkinScrollbar_arrowleft_down", 9, 10, dmBlend},
    {u"SkinScrollbar_arrowleft_highlight", 9, 10, dmBlend},
    {u"SkinScrollbar_arrowright_down", 9, 10, dmBlend},
    {u"SkinScrollbar_arrowright_highlight", 9, 10, dmBlend},
    {u"SkinScrollbar_arrowup_down", 10, 9, dmBlend},
    {u"SkinScrollbar_arrowup_highlight", 10, 9, dmBlend},
    {u"SkinDrag_flag", 8, 8, dmBlend},
    {u"SkinSwitch_on", 102, 17, dmBlend},
    {u"SkinSwitch_off", 102, 17, dmBlend},
    {u"SkinMini_close_btn", 24, 12, dmBlend},
    {u"SkinColor_tabs", 360, 40, dmBlend},
    {u"SkinBrower_back", 120, 29, dmBlend},
    {u"SkinBrower_front", 120, 29, dmBlend},
    {u"SkinBrower_up", 29, 120, dmBlend},
    {u"SkinBrower_down", 29, 120, dmBlend},
    {u"SkinSearch_icon", 16, 14, dmBlend},
    {u"SkinCalendar_18_N", 25, 16, dmBlend},
    {u"SkinCalendar_18_H", 25, 16, dmBlend},
    {u"SkinSpin_normal_up", 23, 12, dmBlend},
    {u"SkinSpin_highlight_up", 23, 12, dmBlend},
    {u"SkinSpin_pushed_up", 23, 12, dmBlend},
    {u"SkinSpin_normal_down", 23, 12, dmBlend},
    {u"SkinSpin_highlight_down", 23, 12, dmBlend},
    {u"SkinSpin_pushed_down", 23, 12, dmBlend},
    {u"SkinToolbtn", 87, 29, dmBlend},
    {u"button_login", 582, 30, dmBlend},
    {u"00601[36x22x8BPP]", 36, 22, dmBlend},
    {u"00603[36x22x8BPP]", 36, 22, dmBlend},
    {u"checkbox_tick", 68, 17, dmBlend},
    {u"sysclose", 90, 27, dmBlend},
    {u"sysminimize", 90, 27, dmBlend},
    {u"1", 168, 32, dmBlend},
    {u"afternoon", 500, 262, dmOpaque},
};

struct SkinImageStore : ::testing::Test {};

std::string narrow(const String& s) {
    return string_to_utf8(s);
}

void expect_inventory(std::span<const std::uint8_t> store, std::span<const image_row> rows) {
    TSkinImageList list(nullptr);
    read_skin_store(store, list);
    ASSERT_EQ(list.Bitmaps()->Count(), static_cast<int>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const TSkinBitmapItem* item = list.Bitmaps()->Items(static_cast<int>(i));
        SCOPED_TRACE(narrow(rows[i].name));
        EXPECT_EQ(item->ResID(), rows[i].name);
        EXPECT_EQ(item->Bitmap()->Width(), rows[i].width);
        EXPECT_EQ(item->Bitmap()->Height(), rows[i].height);
        EXPECT_EQ(item->Bitmap()->DrawMode(), rows[i].mode);
        EXPECT_EQ(item->Bitmap()->ResamplerClassName(), u"TNearestResampler");
    }
}

TEST_F(SkinImageStore, KQCarriesExactlyItsImages) {
    expect_inventory(kq_store_bytes(), kq_rows);
}

TEST_F(SkinImageStore, TheInstallerCarriesExactlyItsImages) {
    expect_inventory(setup_store_bytes(), setup_rows);
}

// The frames the controls cut: each strip divides into its count without a remainder.
TEST_F(SkinImageStore, StripsHoldTheirFrames) {
    struct row {
        bool kq;
        const char16_t* name;
        std::int32_t count, frame_width;
    };
    const row rows[] = {
        {true, u"a1", 3, 29},           {true, u"a2", 3, 28},           {true, u"a3", 3, 31},
        {true, u"a5", 3, 31},           {true, u"a6", 3, 31},           {true, u"sysminimize", 3, 30},
        {true, u"sysclose", 3, 30},     {false, u"sysminimize", 3, 30}, {false, u"sysclose", 3, 30},
        {false, u"1", 3, 56},           {false, u"button_login", 3, 194}, {false, u"checkbox_tick", 4, 17},
        {false, u"SkinCheckBox", 4, 17}, {false, u"SkinRadiobtn", 4, 17}, {false, u"SkinButton", 5, 68},
        {false, u"SkinDropdownMenu", 4, 15}, {false, u"SkinFlatBtn", 3, 22}, {false, u"SkinBtn_close", 3, 39},
        {false, u"SkinBtn_max", 3, 28}, {false, u"SkinBtn_mini", 3, 28}, {false, u"SkinBtn_restore", 3, 28},
        {false, u"SkinMenu_icon_check", 3, 20}, {false, u"SkinMenu_icon_radio", 3, 20},
        {false, u"SkinMenu_sub_arrow", 3, 7}, {false, u"SkinMini_close_btn", 2, 12},
    };
    TSkinImageList kq(nullptr), setup(nullptr);
    read_skin_store(kq_store_bytes(), kq);
    read_skin_store(setup_store_bytes(), setup);
    for (const row& r : rows) {
        SCOPED_TRACE(narrow(r.name));
        const TSkinImageList& list = r.kq ? kq : setup;
        const TSkinBitmapItem* found = nullptr;
        for (int i = 0; i < list.Bitmaps()->Count(); ++i)
            if (list.Bitmaps()->Items(i)->ResID() == r.name) found = list.Bitmaps()->Items(i);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->Bitmap()->Width() % r.count, 0);
        EXPECT_EQ(found->Bitmap()->Width() / r.count, r.frame_width);
    }
}

// Each image's "Data" block, as the bitmap writes it, is the block the store holds.
TEST_F(SkinImageStore, DataBlocksAreTheBitmapsOwnFormat) {
    for (auto store : {kq_store_bytes(), setup_store_bytes()}) {
        TSkinImageList list(nullptr);
        read_skin_store(store, list);
        for (int i = 0; i < list.Bitmaps()->Count(); ++i) {
            const TSkinBitmapItem* item = list.Bitmaps()->Items(i);
            SCOPED_TRACE(narrow(item->ResID()));
            TMemoryStream written;
            item->Bitmap()->WriteData(written);
            const auto* bytes = static_cast<const std::uint8_t*>(written.Memory());
            const auto size = static_cast<std::size_t>(written.Size());
            ASSERT_EQ(size, 8 + 4 * std::size_t(item->Bitmap()->Width()) * std::size_t(item->Bitmap()->Height()));
            // The block sits in the store right after its 32-bit length.
            const std::string_view haystack(reinterpret_cast<const char*>(store.data()), store.size());
            std::uint8_t length[4];
            for (int k = 0; k < 4; ++k) length[k] = static_cast<std::uint8_t>(size >> (8 * k));
            std::string needle(reinterpret_cast<const char*>(length), 4);
            needle.append(reinterpret_cast<const char*>(bytes), size);
            EXPECT_NE(haystack.find(needle), std::string_view::npos);
        }
    }
}

TEST_F(SkinImageStore, ADamagedStoreIsRefusedAndLeavesTheListEmpty) {
    const auto good = setup_store_bytes();
    std::vector<std::uint8_t> bad_magic(good.begin(), good.end());
    bad_magic[0] = 'X';
    std::vector<std::uint8_t> huge_count(good.begin(), good.end());
    huge_count[8] = huge_count[9] = huge_count[10] = huge_count[11] = 0xFF;
    std::vector<std::uint8_t> trailing(good.begin(), good.end());
    trailing.push_back(0);
    // The first item's name length made to reach past the end.
    std::vector<std::uint8_t> long_name(good.begin(), good.end());
    long_name[12] = long_name[13] = 0xFF;
    struct row {
        const char* what;
        std::span<const std::uint8_t> bytes;
    };
    const row rows[] = {
        {"empty", {}},
        {"magic only", good.first(8)},
        {"cut inside the first item", good.first(40)},
        {"cut inside the last block", good.first(good.size() - 1)},
        {"bad magic", bad_magic},
        {"count too large", huge_count},
        {"bytes after the last item", trailing},
        {"name past the end", long_name},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        TSkinImageList list(nullptr);
        list.Bitmaps()->Add()->SetResID(u"old");
        try {
            read_skin_store(r.bytes, list);
            ADD_FAILURE() << "no error";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), skin_store_damaged_text);
        }
        EXPECT_EQ(list.Bitmaps()->Count(), 0);
    }
}

} // namespace
} // namespace kq::test
