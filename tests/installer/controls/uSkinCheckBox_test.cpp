#include "installer/controls/uSkinCheckBox.h"

#include "InstallerControlFixture.h"
#include "skin/uSkinResManager.h"

using namespace kq;
using namespace kq::test;

namespace {

class check_boxes : public installer_controls {
protected:
    TSkinCheckBox* box(const TSkResID& pictures) {
        TSkinCheckBox* b = place<TSkinCheckBox>(20, 20, 130, 17);
        b->SetPictures(pictures);
        b->SetCaption(u"创建快捷方式");
        b->Font().SetColor(clWhite);
        b->OnChanged = [this](TObject*) { ++changes; };
        return b;
    }
    int changes = 0;
};

// A real click on the box and Space while it has the focus each toggle once and report once; the
// check-set message only answers the state.
TEST_F(check_boxes, ClickAndSpaceToggleAndReportOnce) {
    TSkinCheckBox* b = box(u"checkbox_tick");
    show();
    EXPECT_EQ(::SendMessageW(b->Handle(), BM_SETCHECK, BST_CHECKED, 0), BST_UNCHECKED);
    EXPECT_FALSE(b->Checked());

    click(b, 8, 8);
    EXPECT_TRUE(b->Checked());
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(b->Focused());
    EXPECT_EQ(::SendMessageW(b->Handle(), BM_SETCHECK, BST_UNCHECKED, 0), BST_CHECKED);
    EXPECT_TRUE(b->Checked());

    key(VK_SPACE);
    pump_until([&] { return !b->Checked(); });
    EXPECT_FALSE(b->Checked());
    EXPECT_EQ(changes, 2);

    b->SetChecked(false);
    EXPECT_EQ(changes, 2) << "an unchanged state reports nothing";
}

// The frame follows the state and the pointer: the checked frame differs from the unchecked one, and the
// caption is drawn beside the box.
TEST_F(check_boxes, DrawsTheFrameOfItsStateAndTheCaption) {
    TSkinCheckBox* b = box(u"checkbox_tick");
    show();
    TBitmap32* buffer = b->Buffer();
    const std::uint32_t unchecked = buffer->GetPixel(8, 8);
    b->SetChecked(true);
    form->Update();
    pump_until([] { return false; }, 50);
    EXPECT_NE(buffer->GetPixel(8, 8), unchecked);
    int caption_pixels = 0;
    for (int x = 20; x < 130; ++x)
        for (int y = 0; y < 17; ++y) caption_pixels += rgb_at(buffer, x, y) != form_pixel;
    EXPECT_GT(caption_pixels, 20);
}

// A picture the store lacks: neither box nor caption, only what lies behind.
TEST_F(check_boxes, APictureTheStoreLacksShowsNothing) {
    TSkinCheckBox* b = box(u"no such picture");
    b->SetChecked(true);
    show();
    for (int x = 0; x < b->Width(); ++x)
        for (int y = 0; y < b->Height(); ++y) ASSERT_EQ(rgb_at(b->Buffer(), x, y), form_pixel) << x << "," << y;
}

// Right to left, by the box's own reading order or its parent's: the frame stands at the right edge, the
// caption ends 3 pixels left of it; both are the left-to-right pixels moved, nothing else is drawn.
TEST_F(check_boxes, RightToLeftPutsTheFrameAtTheRightAndTheCaptionBesideIt) {
    struct row {
        const char* name;
        void (*right_to_left)(TForm* form, TSkinCheckBox* b);
    };
    const row rows[] = {
        {"its own reading order", [](TForm*, TSkinCheckBox* b) { b->SetBiDiMode(TBiDiMode::bdRightToLeft); }},
        {"its parent's", [](TForm* f, TSkinCheckBox*) { f->SetBiDiMode(TBiDiMode::bdRightToLeft); }},
        {"placed on a right-to-left parent",
         [](TForm* f, TSkinCheckBox* b) {
             b->SetParent(nullptr);
             f->SetBiDiMode(TBiDiMode::bdRightToLeft);
             b->SetParent(f);
         }},
    };
    const int frame = SkinResManager()->GetImageByName(u"checkbox_tick")->Width() / 4;
    TSkinCheckBox *ltr = nullptr, *rtl = nullptr;
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        delete ltr;
        delete rtl;
        form->SetBiDiMode(TBiDiMode::bdLeftToRight);
        ltr = box(u"checkbox_tick");
        ltr->SetParentBiDiMode(false);
        rtl = box(u"checkbox_tick");
        rtl->SetTop(60);
        r.right_to_left(form, rtl);
        show();
        ASSERT_TRUE(rtl->IsRightToLeft());
        ASSERT_FALSE(ltr->IsRightToLeft());
        rtl->Repaint();
        TBitmap32 *left = ltr->Buffer(), *right = rtl->Buffer();
        const int w = ltr->Width(), h = ltr->Height();
        // The frame at the left edge, at the right edge when reading right to left.
        for (int x = 0; x < frame; ++x)
            for (int y = 0; y < h; ++y)
                ASSERT_EQ(rgb_at(right, w - frame + x, y), rgb_at(left, x, y)) << x << "," << y;
        // The caption: where its pixels start and end in each.
        const auto span = [&](TBitmap32* b, int from, int to) {
            std::pair<int, int> s{w, -1};
            for (int x = from; x < to; ++x)
                for (int y = 0; y < h; ++y)
                    if (rgb_at(b, x, y) != form_pixel) s = {std::min(s.first, x), std::max(s.second, x)};
            return s;
        };
        const auto ltr_caption = span(left, frame, w);
        const auto rtl_caption = span(right, 0, w - frame);
        ASSERT_GE(ltr_caption.second, ltr_caption.first);
        EXPECT_GE(ltr_caption.first, frame + 3);
        EXPECT_LT(rtl_caption.second, w - frame - 3);
        EXPECT_GE(rtl_caption.second, w - frame - 3 - 3) << "the caption ends beside the frame";
        // The same caption: as wide and as much ink (glyph edges may blend a little differently).
        EXPECT_NEAR(rtl_caption.second - rtl_caption.first, ltr_caption.second - ltr_caption.first, 1);
        const auto ink = [&](TBitmap32* b, std::pair<int, int> s) {
            int n = 0;
            for (int x = s.first; x <= s.second; ++x)
                for (int y = 0; y < h; ++y) n += rgb_at(b, x, y) != form_pixel;
            return n;
        };
        EXPECT_NEAR(ink(right, rtl_caption), ink(left, ltr_caption), ink(left, ltr_caption) / 10);
    }
}

} // namespace
