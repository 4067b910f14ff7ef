#include "installer/controls/uSkinButton.h"

#include "InstallerControlFixture.h"

using namespace kq;
using namespace kq::test;

namespace {

using skinned_buttons = installer_controls;

bool near_grey(std::uint32_t p, int level) {
    for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((p >> shift) & 0xFF) - level) > 12) return false;
    return true;
}

// The browse button's strip has three frames and none for the disabled state: enabled, its face fills
// the whole button (stretched to 75 x 34); disabled, there is no face, only grey text over what lies
// behind.
TEST_F(skinned_buttons, AStateWithoutAFrameDrawsNoFace) {
    TSkinButton* b = place<TSkinButton>(20, 20, 75, 34);
    b->SetCaption(u"浏览");
    b->Pictures().SetImage(u"1");
    b->Pictures().SetCount(3);
    b->Pictures().SetPressed(0);
    show();
    TBitmap32* buffer = b->Buffer();
    for (const POINT p : {POINT{1, 1}, POINT{73, 32}, POINT{37, 2}})
        EXPECT_NE(rgb_at(buffer, p.x, p.y), form_pixel) << p.x << "," << p.y;

    b->SetEnabled(false);
    form->Update();
    pump_until([] { return false; }, 50);
    for (const POINT p : {POINT{1, 1}, POINT{73, 32}, POINT{37, 2}})
        EXPECT_EQ(rgb_at(buffer, p.x, p.y), form_pixel) << p.x << "," << p.y;
    bool grey_text = false;
    for (int x = 0; x < 75 && !grey_text; ++x)
        for (int y = 0; y < 34 && !grey_text; ++y) grey_text = near_grey(buffer->GetPixel(x, y), 178);
    EXPECT_TRUE(grey_text);
}

// The pointer over the button shows the hot frame; a click raises OnClick once.
TEST_F(skinned_buttons, HotFrameUnderThePointerAndOneClick) {
    TSkinButton* b = place<TSkinButton>(20, 20, 75, 34);
    int clicks = 0;
    b->OnClick = [&](TObject*) { ++clicks; };
    show();
    const std::uint32_t normal = b->Buffer()->GetPixel(37, 3);
    mouse_to(screen_at(b, 37, 17));
    pump_until([&] { return b->Buffer()->GetPixel(37, 3) != normal; });
    EXPECT_NE(b->Buffer()->GetPixel(37, 3), normal);
    click(b, 37, 17);
    EXPECT_EQ(clicks, 1);
}

} // namespace
