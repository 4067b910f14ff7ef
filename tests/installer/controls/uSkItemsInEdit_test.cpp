#include "installer/controls/uSkItemsInEdit.h"

#include "ControlTestSupport.h"

using namespace kq;
using namespace kq::test;

namespace {

class edit_items : public edit_form {
protected:
    TSkEditItem* add(TItemKind kind, const String& image, TSkAlign align, int x, int y) {
        TSkEditItem* item = edit->EdItems().Add();
        item->SetKind(kind);
        item->SetImage(image);
        item->Pos().SetAlign(align);
        item->Pos().SetX(x);
        item->Pos().SetY(y);
        return item;
    }
};

// "SkinSearch_icon" is 16 x 14 in the installer's store.
TEST_F(edit_items, RectangleComesFromThePositionAndTheImageOrText) {
    struct row {
        const char* name;
        TItemKind kind;
        String image;
        TSkAlign align;
        int x, y;
        TRect expected;
    };
    const row rows[] = {
        {"image from the right", ikButton, u"SkinSearch_icon", agRight, 20, 6, {398, 6, 414, 20}},
        {"image from the left", ikImage, u"SkinSearch_icon", agLeft, 5, 2, {5, 2, 21, 16}},
        {"image not in the store", ikButton, u"NoSuchImage", agLeft, 5, 6, {5, 6, 0, 0}},
        {"no image", ikImage, u"", agRight, 30, 1, {388, 1, 0, 0}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        const TRect got = add(r.kind, r.image, r.align, r.x, r.y)->Rect();
        EXPECT_EQ(got.Left, r.expected.Left);
        EXPECT_EQ(got.Top, r.expected.Top);
        EXPECT_EQ(got.Right, r.expected.Right);
        EXPECT_EQ(got.Bottom, r.expected.Bottom);
    }
    TSkEditItem* text = add(ikText, u"", agLeft, 10, 3);
    text->SetText(u"Ww");
    TBitmap32 scratch;
    scratch.SetSize(1, 1);
    scratch.Font()->Assign(&text->Font());
    const SIZE extent = scratch.TextExtent(u"Ww");
    EXPECT_EQ(text->Rect().Right, 10 + extent.cx);
    EXPECT_EQ(text->Rect().Bottom, 3 + extent.cy);
}

// A text change shows only on a text item; the other setters always repaint the field.
TEST_F(edit_items, ChangesRepaintTheFieldExceptTheTextOfAnImageItem) {
    TSkEditItem* button = add(ikButton, u"SkinSearch_icon", agRight, 20, 6);
    TSkEditItem* text = add(ikText, u"", agLeft, 5, 6);
    int changed = 0;
    button->OnChanged = text->OnChanged = [&](TObject*) { ++changed; };
    show();
    const auto repainted_by = [&](const std::function<void()>& change) {
        edit->Repaint();
        changed = 0;
        change();
        return !edit->BufferValid() && changed == 1;
    };
    EXPECT_FALSE(repainted_by([&] { button->SetText(u"x"); }));
    EXPECT_TRUE(repainted_by([&] { text->SetText(u"x"); }));
    EXPECT_TRUE(repainted_by([&] { button->SetImageHot(u"SkinCancel_18_Hot"); }));
    EXPECT_TRUE(repainted_by([&] { button->Pos().SetX(40); }));
    EXPECT_TRUE(repainted_by([&] { button->SetVisible(false); }));
    EXPECT_FALSE(repainted_by([&] { button->SetTag(3); }));
    // Inside an update bracket nothing repaints.
    edit->Repaint();
    edit->EdItems().BeginUpdate();
    text->SetText(u"y");
    EXPECT_TRUE(edit->BufferValid());
    edit->EdItems().EndUpdate();
}

TEST_F(edit_items, AddItemPlacesANewOrMovedItem) {
    TSkEditItems& items = edit->EdItems();
    for (int i = 0; i < 3; ++i) items.Add()->SetTag(i);
    TSkEditItem* last = items.AddItem(nullptr, -1);
    EXPECT_EQ(last->Index(), 3);
    TSkEditItem* first = items.Insert(0);
    EXPECT_EQ(first->Index(), 0);
    EXPECT_EQ(items.Items(1)->Tag(), 0);

    // An item of another collection moves in; without an edit nothing is made.
    TSkEditItems loose(nullptr);
    TSkEditItem* moved = loose.Add();
    moved->SetTag(9);
    EXPECT_EQ(items.AddItem(moved, 2), moved);
    EXPECT_EQ(loose.Count(), 0);
    EXPECT_EQ(items.Items(2)->Tag(), 9);
    EXPECT_EQ(loose.AddItem(nullptr, 0), nullptr);
    EXPECT_EQ(items.HotIndex(), -1);
}

TEST_F(edit_items, AssignCopiesEveryPublishedValue) {
    TSkEditItem* source = add(ikText, u"SkinSearch_icon", agRight, 12, 3);
    source->SetImageHot(u"h");
    source->SetImagePress(u"p");
    source->SetText(u"t");
    source->SetVisible(false);
    source->SetMakeSpace(false);
    source->SetTag(7);
    source->SetCurosor(crHandPoint);
    source->Font().SetHeight(-20);
    TSkEditItem* copy = edit->EdItems().Add();
    copy->Assign(source);
    EXPECT_EQ(copy->Kind(), ikText);
    EXPECT_EQ(copy->Image(), u"SkinSearch_icon");
    EXPECT_EQ(copy->ImageHot(), u"h");
    EXPECT_EQ(copy->ImagePress(), u"p");
    EXPECT_EQ(copy->Text(), u"t");
    EXPECT_FALSE(copy->Visible());
    EXPECT_FALSE(copy->MakeSpace());
    EXPECT_EQ(copy->Tag(), 7);
    EXPECT_EQ(copy->Curosor(), crHandPoint);
    EXPECT_EQ(copy->Font().Height(), -20);
    EXPECT_EQ(copy->Pos().X(), 12);
    EXPECT_EQ(copy->Pos().Align(), agRight);
}

// The field's own check box item may be deleted like any other item; the field then makes a new one.
TEST_F(edit_items, DeletedCheckBoxItemIsNotUsedAgain) {
    edit->SetShowCheckBox(true);
    ASSERT_EQ(edit->EdItems().Count(), 1);
    edit->EdItems().Delete(0);
    edit->SetChecked(true);
    edit->SetShowCheckBox(false);
    edit->SetShowCheckBox(true);
    ASSERT_EQ(edit->EdItems().Count(), 1);
    EXPECT_EQ(edit->EdItems().Items(0)->Image(), u"SkinCheckedCheckbox_18");
}

// An item in a form text: every published property of the item is read and written back.
TEST_F(edit_items, FormTextSetsEveryPublishedPropertyOfAnItem) {
    const std::vector<published_row> rows = {
        {u"Curosor", u"crHandPoint"},
        {u"Font.Color", u"8553090"},
        {u"Font.Height", u"-11"},
        {u"Kind", u"ikText"},
        {u"Image", u"'SkinSearch_icon'"},
        {u"ImageHot", u"'SkinCancel_18_Hot'"},
        {u"ImagePress", u"'SkinCancel_18_Normal'"},
        {u"Text", u"'Browse'"},
        {u"Pos.X", u"20"},
        {u"Visible", u"False"},
        {u"MakeSpace", u"False"},
        {u"Tag", u"7"},
        {u"OnChanged", u"Notify"},
        {u"OnClick", u"Notify"},
    };
    expect_item_round_trip(rows);
}

} // namespace
