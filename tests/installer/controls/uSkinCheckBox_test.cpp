#include "installer/controls/uSkinCheckBox.h"

#include "InstallerControlFixture.h"

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

} // namespace
