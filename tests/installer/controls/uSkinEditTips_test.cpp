#include "installer/controls/uSkinEditTips.h"

#include "framework/ComponentText.h"
#include "tests/PublishedRoundTrip.h"

#include "ControlTestSupport.h"

using namespace kq;
using namespace kq::test;

namespace {

class edit_tips : public edit_form {};

// The field's tip in a form text: the four published values are read and written back; a pause of 3500,
// the declared default, is left out of the text although the field's tip starts without a pause.
TEST_F(edit_tips, FormTextSetsThePublishedValuesAndLeavesTheDefaultPauseOut) {
    TSkinEditTips& tips = edit->Tips();
    const std::vector<published_row> rows = {
        {u"FrameColor", u"700646"},
        {u"TipsColor", u"11596287"},
        {u"TipsFont.Color", u"8553090"},
        {u"TipsFont.Height", u"-14"},
        {u"PauseTime", u"1200"},
    };
    expect_round_trip(tips, u"object Tips: TSkinEditTips\r\n", rows, u"end\r\n", u"object Tips: TSkinEditTips");
    EXPECT_EQ(tips.PauseTime(), 1200);
    EXPECT_EQ(tips.FrameColor(), TColor{700646});

    tips.SetPauseTime(0);
    EXPECT_NE(write_component_text(tips).find(u"PauseTime = 0"), String::npos);
    tips.SetPauseTime(3500);
    EXPECT_EQ(write_component_text(tips).find(u"PauseTime"), String::npos);
}

} // namespace
