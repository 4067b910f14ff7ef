#include "skin/uSkinPanel.h"

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "tests/framework/visual/VisualFixture.h"

#include "SkinControlTestSupport.h"

using namespace kq;
using kq::test::visual_test;
using kq::test::channel;
using kq::test::window_pixels;

namespace {

constexpr std::uint32_t rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return (r << 16) | (g << 8) | b; }
// A TColor (0x00BBGGRR) as read back (0x00RRGGBB).
constexpr std::uint32_t shown(TColor c) {
    const auto v = static_cast<std::uint32_t>(c);
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}
class skinned_panels : public visual_test {
protected:
    void SetUp() override {
        visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(40, 40, 300, 200);
        form->SetColor(0x000080); // dark red
    }
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }
    TSkinPanel* panel(TWinControl* parent, int x, int y, int w, int h) {
        auto* p = new TSkinPanel(form);
        p->SetParent(parent);
        p->SetBounds(x, y, w, h);
        return p;
    }
    void show() {
        form->Show();
        form->Update();
        pump_until([] { return false; }, 150);
    }
    TForm* form = nullptr;
};

// Alpha 0 and no border: the form's own colour; the default alpha 192 blends white over it; borders.
TEST_F(skinned_panels, ShowTheParentThroughATranslucentFillUnderTwoLineBorders) {
    TSkinPanel* clear = panel(form, 10, 10, 60, 40);
    clear->SetAlpha(0);
    clear->SetBorderSides({});
    panel(form, 100, 10, 60, 40);
    show();

    const window_pixels px(form->Handle());
    EXPECT_EQ(px.at(30, 30), rgb(0x80, 0, 0));
    // white at 192/255 over (128, 0, 0)
    const std::uint32_t mid = px.at(130, 30);
    EXPECT_NEAR(channel(mid, 16), 255 * 192 / 255 + 128 * 63 / 255, 2);
    EXPECT_NEAR(channel(mid, 8), 192, 2);
    // outer line in the border colour, inner line white, on every side
    const std::uint32_t outer = shown(14273466);
    for (const POINT p : {POINT{100, 30}, POINT{130, 10}, POINT{159, 30}, POINT{130, 49}})
        EXPECT_EQ(px.at(p.x, p.y), outer) << p.x << "," << p.y;
    for (const POINT p : {POINT{101, 30}, POINT{130, 11}, POINT{158, 30}, POINT{130, 48}})
        EXPECT_EQ(px.at(p.x, p.y), 0xFFFFFFu) << p.x << "," << p.y;
    px.save(L"skinned_panels.bmp");
}

// A transparent panel inside a skinned panel shows the outer panel's buffer at its own offset.
TEST_F(skinned_panels, NestedPanelShowsItsParentsPictureAtItsOffset) {
    TSkinPanel* outer = panel(form, 20, 20, 200, 150);
    outer->SetBorderSides({});
    outer->SetAlpha(0);
    outer->OnCustomDraw = [](TObject*, TBitmap32* c) { c->FillRectS(50, 40, 60, 50, MakeColor32(0, 200, 0)); };
    TSkinPanel* inner = panel(outer, 45, 35, 40, 30);
    inner->SetBorderSides({});
    inner->SetAlpha(0);
    show();

    EXPECT_EQ(inner->Buffer()->GetPixel(5, 5), MakeColor32(0, 200, 0));     // (50, 40) of the outer panel
    EXPECT_EQ(inner->Buffer()->GetPixel(4, 4) & 0xFFFFFF, MakeColor32(128, 0, 0) & 0xFFFFFF);
    const window_pixels px(form->Handle());
    EXPECT_EQ(px.at(20 + 55, 20 + 45), rgb(0, 200, 0));
}

// A windowless control filled with one colour; counts its paints into another control's picture.
class colour_block : public TGraphicControl {
public:
    colour_block(TWinControl* parent, TColor colour, int x, int y) : TGraphicControl(parent), FColour(colour) {
        SetParent(parent);
        SetBounds(x, y, 40, 30);
    }
    int copies = 0;

protected:
    void Paint() override {
        if (ControlState().contains(TControlStateFlag::csPaintCopy))
            ++copies;
        Canvas().Brush().SetColor(FColour);
        Canvas().FillRect(RECT{0, 0, Width(), Height()});
    }

private:
    TColor FColour;
};

// A transparent panel on a plain parent shows what the parent paints and the parent's graphic controls
// that come before it in the parent's list (under it), but no windowed sibling and no graphic control
// that comes after it; the marks of the copy are gone afterwards.
TEST_F(skinned_panels, OnAPlainParentShowsItAndTheGraphicControlsUnderIt) {
    auto* plain = new TPanel(form);
    plain->SetParent(form);
    plain->SetBounds(10, 10, 260, 160);
    plain->SetColor(0x008000); // green
    auto* before = new colour_block(plain, 0xC00000, 20, 20); // blue
    auto* windowed = new TPanel(form);
    windowed->SetParent(plain);
    windowed->SetBounds(20, 70, 40, 30);
    windowed->SetColor(0x00FFFF); // yellow
    TSkinPanel* clear = panel(plain, 30, 30, 100, 100);
    clear->SetAlpha(0);
    clear->SetBorderSides({});
    auto* after = new colour_block(plain, 0xFF00FF, 100, 40); // magenta
    show();
    clear->Repaint();

    struct row {
        const char* what;
        int x, y; // in the transparent panel
        std::uint32_t colour;
    };
    const row rows[] = {
        {"the parent's colour", 50, 80, rgb(0, 0x80, 0)},
        {"a graphic control before it", 5, 5, rgb(0, 0, 0xC0)},
        {"the same control's corner", 29, 19, rgb(0, 0, 0xC0)},
        {"beside that control", 30, 5, rgb(0, 0x80, 0)},
        {"a windowed sibling", 5, 50, rgb(0, 0x80, 0)},
        {"a graphic control after it", 80, 20, rgb(0, 0x80, 0)},
    };
    const window_pixels px(form->Handle());
    px.save(L"skinned_panel_on_plain_parent.bmp");
    for (const row& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(clear->Buffer()->GetPixel(r.x, r.y) & 0xFFFFFF, r.colour);
        if (r.x >= 30 || r.y < 40) { // where no windowed sibling lies over the panel on the screen
            EXPECT_EQ(px.at(10 + 30 + r.x, 10 + 30 + r.y), r.colour);
        }
    }
    EXPECT_GT(before->copies, 0);
    EXPECT_EQ(after->copies, 0);
    EXPECT_TRUE(plain->ControlState().empty());
    EXPECT_TRUE(before->ControlState().empty());
    EXPECT_EQ(px.at(10 + 135, 10 + 60), rgb(0xFF, 0, 0xFF)) << "the later control, outside the panel";
}

// Insets of a child aligned to the client area, by sides and line count; a 1-pixel panel.
TEST_F(skinned_panels, ClientInsetFollowsTheBorderSides) {
    struct row {
        TSides sides;
        bool doubled;
        RECT child;
    };
    const row rows[] = {
        {{sdLeft, sdTop, sdRight, sdBottom}, true, {2, 2, 98, 78}},
        {{sdLeft, sdTop, sdRight, sdBottom}, false, {1, 1, 99, 79}},
        {{sdLeft, sdBottom}, true, {2, 0, 100, 78}},
        {{}, true, {0, 0, 100, 80}},
    };
    TSkinPanel* p = panel(form, 0, 0, 100, 80);
    auto* child = new TSkinPanel(form);
    child->SetParent(p);
    child->SetAlign(TAlign::alClient);
    show();
    for (const row& r : rows) {
        p->SetBorderSides(r.sides);
        p->SetDoubleBorder(r.doubled);
        p->Realign();
        const RECT b = child->BoundsRect();
        EXPECT_EQ(b.left, r.child.left);
        EXPECT_EQ(b.top, r.child.top);
        EXPECT_EQ(b.right, r.child.right);
        EXPECT_EQ(b.bottom, r.child.bottom);
    }
}

TEST_F(skinned_panels, OpaquePanelRaisesNoCustomDrawAndHandledBackgroundIsKept) {
    TSkinPanel* opaque = panel(form, 0, 0, 50, 50);
    opaque->SetAlpha(255);
    opaque->SetColor(0x00FF00);
    int draws = 0;
    opaque->OnCustomDraw = [&](TObject*, TBitmap32*) { ++draws; };

    TSkinPanel* own = panel(form, 60, 0, 50, 50);
    own->SetAlpha(0);
    own->SetBorderSides({});
    own->OnBackgroundChanging = [](TObject*, TBitmap32* b, bool& handled) {
        b->FillRectS(0, 0, 10, 10, MakeColor32(1, 2, 3));
        handled = true;
    };
    TSkinPanel* thin = panel(form, 120, 0, 1, 30);
    thin->SetAlpha(0);
    show();

    EXPECT_EQ(draws, 0);
    EXPECT_EQ(opaque->Buffer()->GetPixel(20, 20), MakeColor32(0, 255, 0));
    EXPECT_EQ(own->Buffer()->GetPixel(5, 5), MakeColor32(1, 2, 3));
    // 1 pixel wide: left line (outer colour), no right line over it
    const window_pixels px(form->Handle());
    EXPECT_EQ(px.at(120, 15), shown(14273466));
}

} // namespace
