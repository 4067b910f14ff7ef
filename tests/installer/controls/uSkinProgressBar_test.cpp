#include "installer/controls/uSkinProgressBar.h"

#include "InstallerControlFixture.h"

#include <climits>

using namespace kq;
using namespace kq::test;

namespace {

using progress_bars = installer_controls;

constexpr TColor32 red = 0xFFFF0000, green = 0xFF00FF00, blue = 0xFF0000FF;

// The filled width for a value, also across the whole 32-bit range, where max - min does not fit in 32 bits.
TEST_F(progress_bars, FilledWidthFollowsTheValueWithoutOverflow) {
    struct row {
        std::int32_t min, max, value;
        std::int32_t filled;
    };
    const row rows[] = {
        {0, 15, 15, 513}, {0, 15, 0, 0}, {0, 15, 7, 239}, {5, 5, 5, 0},
        {INT_MIN, INT_MAX, 0, 256}, {INT_MIN, INT_MAX, INT_MAX, 513}, {-10, 10, -10, 0},
    };
    TSkinProgressBar* bar = place<TSkinProgressBar>(10, 10, 513, 17);
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.min << ".." << r.max << " at " << r.value);
        bar->SetMinValue(INT_MIN);
        bar->SetMaxValue(r.max);
        bar->SetMinValue(r.min);
        bar->SetValue(r.value);
        EXPECT_EQ(bar->Value(), r.value);
        EXPECT_EQ(bar->filled_width(), r.filled);
    }
}

// Minimum never above maximum, and the value stays inside; only a changed value is reported.
TEST_F(progress_bars, KeepsMinimumAtMostMaximumAndTheValueInside) {
    TSkinProgressBar* bar = place<TSkinProgressBar>(10, 10, 150, 17);
    int changes = 0;
    bar->OnChanged = [&](TObject*) { ++changes; };
    bar->SetMaxValue(15);
    EXPECT_EQ(bar->Value(), 15);
    bar->SetMinValue(20);
    EXPECT_EQ(bar->MaxValue(), 20);
    EXPECT_EQ(bar->Value(), 20);
    bar->SetMaxValue(-5);
    EXPECT_EQ(bar->MinValue(), -5);
    EXPECT_EQ(bar->Value(), -5);
    EXPECT_EQ(changes, 0) << "bounds pull the value in silently";
    bar->SetValue(100);
    EXPECT_EQ(bar->Value(), -5);
    EXPECT_EQ(changes, 0);
    bar->SetMaxValue(10);
    bar->BeginUpdate();
    bar->SetValue(3);
    bar->EndUpdate();
    EXPECT_EQ(changes, 0);
    bar->SetValue(4);
    EXPECT_EQ(changes, 1);
}

// Full at 15 of 0..15: the progress image reaches the right end; at 0 only the background shows.
TEST_F(progress_bars, PaintsTheFilledPartOverTheBackground) {
    TSkinProgressBar* empty = place<TSkinProgressBar>(10, 10, 513, 17);
    TSkinProgressBar* full = place<TSkinProgressBar>(10, 40, 513, 17);
    TSkinProgressBar* narrow = place<TSkinProgressBar>(10, 70, 29, 17);
    for (TSkinProgressBar* b : {empty, full}) {
        b->SetMinValue(0);
        b->SetMaxValue(15);
    }
    empty->SetValue(0);
    full->SetValue(15);
    show();
    for (const int x : {3, 256, 509}) {
        SCOPED_TRACE(x);
        EXPECT_NE(full->Buffer()->GetPixel(x, 8), empty->Buffer()->GetPixel(x, 8));
        EXPECT_NE(rgb_at(empty->Buffer(), x, 8), form_pixel);
    }
    for (int x = 0; x < 29; ++x) ASSERT_EQ(rgb_at(narrow->Buffer(), x, 8), form_pixel) << x;
    const window_pixels px(form->Handle());
    px.save(wide(String(u"" KQ_TEST_OUTPUT_DIR "/progress_bars.bmp")));
}

// With the thumb hidden keys and clicks leave the value; shown, End and Home move it to the ends.
TEST_F(progress_bars, TakesInputOnlyWithItsThumb) {
    TSkinProgressBar* bar = place<TSkinProgressBar>(10, 10, 300, 17);
    bar->SetTabStop(true);
    show();
    bar->SetFocus();
    click(bar, 250, 8);
    key(VK_END);
    pump_until([] { return false; }, 80);
    EXPECT_EQ(bar->Value(), 50);

    bar->TrackButton().SetNormal(u"SkinSwitch_on");
    bar->TrackButton().SetVisible(true);
    bar->SetFocus();
    key(VK_END);
    pump_until([&] { return bar->Value() == 100; });
    EXPECT_EQ(bar->Value(), 100);
    key(VK_HOME);
    pump_until([&] { return bar->Value() == 0; });
    EXPECT_EQ(bar->Value(), 0);
    key(VK_LEFT);
    pump_until([] { return false; }, 50);
    EXPECT_EQ(bar->Value(), 0);
}

// Three slices of a 30-pixel image with red, green and blue columns (caps of 6): a width the caps do not
// leave room in shows the left cap only; a wide one stretches the middle; a cap of a third or more splits
// the image into equal thirds instead.
TEST(ThreeSliceStretch, KeepsTheCapsAndStretchesTheMiddle) {
    TBitmap32 source;
    source.SetSize(30, 4);
    source.FillRect(0, 0, 6, 4, red);
    source.FillRect(6, 0, 24, 4, green);
    source.FillRect(24, 0, 30, 4, blue);
    struct row {
        std::int32_t width, cap;
        std::vector<std::pair<int, TColor32>> columns; // x and its colour
    };
    const row rows[] = {
        {8, 6, {{0, red}, {5, red}, {6, 0}, {7, 0}}},
        {100, 6, {{0, red}, {5, red}, {6, green}, {93, green}, {94, blue}, {99, blue}}},
        {100, 10, {{5, red}, {6, green}, {9, green}, {10, green}, {89, green}, {90, green},
                   {93, green}, {94, blue}}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.width << " with caps " << r.cap);
        const auto result = ThreeSliceStretch(&source, r.width, r.cap);
        ASSERT_TRUE(result);
        ASSERT_EQ(result->Width(), r.width);
        ASSERT_EQ(result->Height(), 4);
        for (const auto& [x, colour] : r.columns) EXPECT_EQ(result->GetPixel(x, 2), colour) << "x " << x;
    }
    EXPECT_EQ(ThreeSliceStretch(&source, 0, 6)->Width(), 0);
    EXPECT_FALSE(ThreeSliceStretch(nullptr, 10, 6));
}

} // namespace
