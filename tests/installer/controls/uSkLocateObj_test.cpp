#include "installer/controls/uSkLocateObj.h"

#include "installer/controls/uSkinEdit.h"

#include "ControlTestSupport.h"

#include <gtest/gtest.h>

using namespace kq;
using namespace kq::test;

namespace {

// Each setter reports a change once, and only when the value differs.
TEST(TSkLocateObj, SettersReportOnlyRealChangesAndAssignCopiesThroughThem) {
    TSkLocateObj pos;
    int changes = 0;
    pos.OnChange = [&](TObject*) { ++changes; };
    pos.SetX(0);
    pos.SetAlign(agLeft);
    EXPECT_EQ(changes, 0);
    pos.SetX(20);
    pos.SetY(6);
    pos.SetAlign(agRight);
    EXPECT_EQ(changes, 3);

    TSkLocateObj copy;
    int copy_changes = 0;
    copy.OnChange = [&](TObject*) { ++copy_changes; };
    copy.Assign(&pos);
    EXPECT_EQ(copy.X(), 20);
    EXPECT_EQ(copy.Y(), 6);
    EXPECT_EQ(copy.Align(), agRight);
    EXPECT_EQ(copy_changes, 3);
}

TEST(TSkSpaceSize, SettersReportOnlyRealChangesAndAssignCopiesAllFive) {
    TSkSpaceSize space;
    int changes = 0;
    space.OnChange = [&](TObject*) { ++changes; };
    space.SetActive(true);
    space.SetLeft(0);
    EXPECT_EQ(changes, 0);
    space.SetLeft(8);
    space.SetTop(7);
    space.SetRight(8);
    space.SetBottom(6);
    space.SetActive(false);
    EXPECT_EQ(changes, 5);

    TSkSpaceSize copy;
    copy.Assign(&space);
    EXPECT_FALSE(copy.Active());
    EXPECT_EQ(copy.Left(), 8);
    EXPECT_EQ(copy.Top(), 7);
    EXPECT_EQ(copy.Right(), 8);
    EXPECT_EQ(copy.Bottom(), 6);

    TSkLocateObj other;
    EXPECT_THROW(copy.Assign(&other), EConvertError);
}

// An item's position in a form text: every published property is read and written back.
TEST_F(edit_form, FormTextSetsEveryPublishedPropertyOfAPosition) {
    const std::vector<published_row> rows = {
        {u"Pos.X", u"20"},
        {u"Pos.Y", u"6"},
        {u"Pos.Align", u"agRight"},
        {u"Pos.OnChange", u"Notify"},
    };
    expect_item_round_trip(rows);
}

} // namespace
