#include "tabs/PageTabsButtons.h"

#include "framework/GdiPlus.h"
#include "framework/TickClock.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"
#include "tabs/PageTabsUtils.h"
#include "tests/tabs/RecordingStrip.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kq::test {
namespace {

using enum TPageTabsEaseType;
using enum TTabChangeType;

// A strip that also records the drawing events of its items, and may take their drawing over.
class drawing_strip : public recording_strip {
public:
    struct draw_event {
        bool before;
        TRect rect;
        TPageTabItemType type;
        int index;
        bool operator==(const draw_event&) const = default;
    };
    std::vector<draw_event> draws;
    bool handle_drawing = false;

    void DoOnBeforeDrawItem(TGPGraphics&, const TRect& ItemRect, TPageTabItemType ItemType, int TabIndex,
                            bool& Handled) override {
        draws.push_back({true, ItemRect, ItemType, TabIndex});
        Handled = handle_drawing;
    }
    void DoOnAfterDrawItem(TGPGraphics&, const TRect& ItemRect, TPageTabItemType ItemType, int TabIndex) override {
        draws.push_back({false, ItemRect, ItemType, TabIndex});
    }
};

class button_test : public ::testing::Test {
protected:
    void SetUp() override {
        gdiplus_startup();
        apply_strip_defaults(strip.Options());
        apply_strip_defaults(strip.LookAndFeel());
        strip.clear_changes();
    }
    void TearDown() override { gdiplus_shutdown(); }

    static TPolygon polygon(TBasePageTabsControl& item, int index) {
        return item.GetPolygons()->GetPolygons(index).Polygon();
    }
    static TPolygon moved(std::initializer_list<TPoint> points, int dx, int dy) {
        TPolygon result;
        for (const TPoint& p : points) result.push_back({p.X + dx, p.Y + dy});
        return result;
    }

    stepped_tick_clock clock;
    drawing_strip strip;
};

TEST_F(button_test, AddButtonShapeWithAndWithoutItsPlusSign) {
    TAddButtonControl add(&strip);
    add.SetPosition({50, 10, 81, 24}, 0, ttNone);
    const TPolygon body = moved({{7, 14}, {4, 12}, {0, 2}, {1, 0}, {24, 0}, {27, 2}, {31, 12}, {31, 14}}, 50, 10);
    EXPECT_EQ(add.GetPolygons()->PolygonCount(), 1);
    EXPECT_EQ(polygon(add, 0), body);

    strip.Options().Display()->AddButton()->SetShowPlusSign(true);
    ASSERT_EQ(add.GetPolygons()->PolygonCount(), 2);
    EXPECT_EQ(polygon(add, 0), body);
    // The plus sign's box is inset by 31 div 2 - 4 = 11 and 14 div 2 - 4 = 3.
    EXPECT_EQ(polygon(add, 1), moved({{0, 3}, {3, 3}, {3, 0}, {6, 0}, {6, 3}, {9, 3}, {9, 6}, {6, 6}, {6, 9}, {3, 9},
                                      {3, 6}, {0, 6}, {0, 3}},
                                     61, 13));
}

TEST_F(button_test, RightToLeftButtonsAreMirrorImagesAcrossTheStrip) {
    strip.Options().Display()->AddButton()->SetShowPlusSign(true);
    TAddButtonControl add(&strip);
    TScrollButtonLeftControl left(&strip);
    add.SetPosition({50, 10, 81, 24}, 0, ttNone);
    left.SetPosition({0, 10, 15, 25}, 0, ttNone);
    for (TBasePageTabsControl* item : std::initializer_list<TBasePageTabsControl*>{&add, &left}) {
        strip.bidi_mode = TBiDiMode::bdLeftToRight;
        const page_tab_polygons ltr = item->GetPolygons();
        strip.bidi_mode = TBiDiMode::bdRightToLeft;
        const page_tab_polygons rtl = item->GetPolygons();
        ASSERT_EQ(rtl->PolygonCount(), ltr->PolygonCount());
        for (int i = 0; i < ltr->PolygonCount(); ++i) {
            TPolygon expected = ltr->GetPolygons(i).Polygon();
            for (TPoint& p : expected) p.X = strip.client_width - p.X;
            EXPECT_EQ(rtl->GetPolygons(i).Polygon(), expected) << "polygon " << i;
        }
    }
}

TEST_F(button_test, ScrollButtonShapesPointTheirWay) {
    TScrollButtonLeftControl left(&strip);
    TScrollButtonRightControl right(&strip);
    EXPECT_EQ(left.ControlType(), TPageTabItemType::itScrollLeftButton);
    EXPECT_EQ(right.ControlType(), TPageTabItemType::itScrollRightButton);
    left.SetPosition({0, 0, 15, 15}, 0, ttNone);
    right.SetPosition({20, 0, 35, 15}, 0, ttNone);
    EXPECT_EQ(polygon(left, 0), (TPolygon{{0, 15}, {0, 0}, {15, 0}, {15, 15}}));
    EXPECT_EQ(polygon(left, 1), (TPolygon{{3, 7}, {12, 2}, {12, 13}, {3, 7}}));
    EXPECT_EQ(polygon(right, 1), moved({{12, 7}, {3, 2}, {3, 13}, {12, 7}}, 20, 0));

    // Tabs that open upwards flip the shapes inside their rectangle.
    strip.Options().Display()->Tabs()->SetOrientation(TTabOrientation::toBottom);
    EXPECT_EQ(polygon(left, 1), (TPolygon{{3, 7}, {12, 12}, {12, 1}, {3, 7}}));
}

TEST_F(button_test, ButtonsDoNotScroll) {
    TAddButtonControl add(&strip);
    add.SetPosition({50, 10, 81, 24}, 0, ttNone);
    const TPolygon still = polygon(add, 0);
    strip.scroll_offset = 40;
    EXPECT_FALSE(add.ScrollableControl());
    EXPECT_EQ(polygon(add, 0), still);
}

TEST_F(button_test, HandlersSupplyPolygonsAndGetTheButtonsBrushAndPenWhereTheyLeaveThemOut) {
    TAddButtonControl add(&strip);
    add.SetPosition({0, 0, 31, 14}, 0, ttNone);
    strip.OnGetControlPolygons = [&](TBasePageTabsControl* control, TPageTabItemType type, page_tab_polygons& polygons) {
        EXPECT_EQ(control, &add);
        EXPECT_EQ(type, TPageTabItemType::itAddButton);
        polygons = std::make_shared<TPageTabPolygons>();
        polygons->AddPolygon(TPolygon{{0, 0}, {1, 0}, {1, 1}}, nullptr, nullptr);
    };
    const page_tab_polygons supplied = add.GetPolygons();
    ASSERT_EQ(supplied->PolygonCount(), 1);
    EXPECT_EQ(supplied->GetPolygons(0).Brush(), add.ButtonBrush());
    EXPECT_EQ(supplied->GetPolygons(0).Pen(), add.ButtonPen());
}

TEST_F(button_test, DrawStatesChooseTheLooksOfEachButton) {
    TPageTabsLookAndFeel& look = strip.LookAndFeel();
    TAddButtonControl add(&strip);
    TScrollButtonRightControl scroll(&strip);
    EXPECT_EQ(add.ButtonStyle(), look.AddButton()->Button()->Normal());
    EXPECT_EQ(add.SymbolStyle(), look.AddButton()->PlusSign()->Normal());
    struct row {
        TDrawState state;
        TPageTabsLookAndFeelStyle *add_button, *add_symbol, *scroll_button, *scroll_arrow;
    };
    TPageTabsLookAndFeelButtonItems& ab = *look.AddButton()->Button();
    TPageTabsLookAndFeelButtonItems& ap = *look.AddButton()->PlusSign();
    TPageTabsLookAndFeelDisabledButton& sb = *look.ScrollButtons()->Button();
    TPageTabsLookAndFeelDisabledButton& sa = *look.ScrollButtons()->Arrow();
    const row rows[] = {
        {TDrawState::dsDown, ab.Down(), ap.Down(), sb.Down(), sa.Down()},
        {TDrawState::dsHot, ab.Hot(), ap.Hot(), sb.Hot(), sa.Hot()},
        {TDrawState::dsDisabled, ab.Normal(), ap.Normal(), sb.Disabled(), sa.Disabled()},
        {TDrawState::dsActive, ab.Normal(), ap.Normal(), sb.Normal(), sa.Normal()},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(int(r.state));
        add.SetDrawState(r.state, 0, ttNone, false);
        scroll.SetDrawState(r.state, 0, ttNone, false);
        EXPECT_EQ(add.ButtonStyle(), r.add_button);
        EXPECT_EQ(add.SymbolStyle(), r.add_symbol);
        EXPECT_EQ(scroll.ButtonStyle(), r.scroll_button);
        EXPECT_EQ(scroll.SymbolStyle(), r.scroll_arrow);
        // A jump: the current values are the look's.
        EXPECT_EQ(scroll.ButtonPropertyItems().CurrentTabProperties().StartColor, r.scroll_button->StartColor());
        EXPECT_EQ(scroll.SymbolPropertyItems().CurrentTabProperties().OutlineAlpha, r.scroll_arrow->OutlineAlpha());
    }
}

TEST_F(button_test, StyleTransitionsMoveBodyAndSymbolAndRebuildTheirBrushes) {
    TPageTabsLookAndFeel& look = strip.LookAndFeel();
    TAddButtonControl add(&strip);
    add.SetPosition({0, 0, 31, 14}, 0, ttNone);
    add.SetDrawState(TDrawState::dsNotActive, 0, ttNone, true);
    const auto brush = add.ButtonBrush();
    EXPECT_EQ(add.ButtonBrush(), brush);
    EXPECT_FALSE(add.AnimateStyle());

    add.SetDrawState(TDrawState::dsHot, 300, ttLinearTween, false);
    clock.advance(150);
    EXPECT_TRUE(add.AnimateStyle());
    const TColor normal = look.AddButton()->Button()->Normal()->StartColor();
    const TColor hot = look.AddButton()->Button()->Hot()->StartColor();
    EXPECT_EQ(add.ButtonPropertyItems().CurrentTabProperties().StartColor, BlendColor(normal, hot, 50));
    EXPECT_EQ(add.SymbolPropertyItems().CurrentTabProperties().OutlineAlpha, 255);
    const auto halfway = add.ButtonBrush();
    EXPECT_NE(halfway, brush);
    EXPECT_EQ(dynamic_cast<const TGPLinearGradientBrush&>(*halfway).LinearColors().first,
              MakeGPColor(BlendColor(normal, hot, 50), 255));

    clock.advance(150);
    EXPECT_TRUE(add.AnimateStyle()); // the step that arrives
    EXPECT_EQ(add.ButtonPropertyItems().CurrentTabProperties().StartColor, hot);
    EXPECT_FALSE(add.AnimateStyle());
}

TEST_F(button_test, OnlyAForcedStateIsReportedToTheStrip) {
    TScrollButtonLeftControl left(&strip);
    left.SetDrawState(TDrawState::dsHot, 0, ttNone, false);
    EXPECT_TRUE(strip.changes.empty());
    EXPECT_EQ(left.DrawState(), TDrawState::dsHot);
    left.SetDrawState(TDrawState::dsHot, 0, ttNone, true);
    EXPECT_EQ(strip.changes, (std::vector<change>{{nullptr, tcControlState}}));
}

TEST_F(button_test, DrawingGoesBetweenTheStripsEventsUnlessAHandlerTakesItOver) {
    TAddButtonControl add(&strip);
    add.SetPosition({4, 4, 35, 18}, 0, ttNone);
    add.SetDrawState(TDrawState::dsNotActive, 0, ttNone, true);
    using event = drawing_strip::draw_event;
    const TRect r{4, 4, 35, 18};
    for (const bool handled : {true, false}) {
        SCOPED_TRACE(handled ? "handled" : "drawn");
        strip.draws.clear();
        strip.handle_drawing = handled;
        TGPBitmap bitmap(40, 24);
        TGPGraphics graphics(bitmap);
        graphics.Clear(make_argb(255, 0, 0, 0));
        add.DrawTo(graphics, 0, 0, nullptr);
        EXPECT_EQ(strip.draws, (std::vector<event>{{true, r, TPageTabItemType::itAddButton, -1},
                                                   {false, r, TPageTabItemType::itAddButton, -1}}));
        const ARGB inside = bitmap.Pixel(18, 10);
        EXPECT_EQ(inside == make_argb(255, 0, 0, 0), handled);
    }
}

} // namespace
} // namespace kq::test
