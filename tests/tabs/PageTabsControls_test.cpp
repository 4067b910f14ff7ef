#include "tabs/PageTabsControls.h"

#include "framework/GdiPlus.h"
#include "framework/Graphics.h"
#include "framework/ImageLists.h"
#include "framework/TickClock.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"
#include "tabs/PageTabsStyleTransitions.h"
#include "tests/tabs/RecordingStrip.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kq::test {
namespace {

using enum TTabChangeType;
using enum TPageTabsEaseType;

// A strip with the application's options and one tab with its drawn item.
class tab_item_test : public ::testing::Test {
protected:
    void SetUp() override {
        gdiplus_startup();
        item = strip.add_drawn_tab();
        tab = strip.Tabs().Items(0);
        strip.clear_changes();
    }
    void TearDown() override {
        strip.Tabs().Clear();
        gdiplus_shutdown();
    }

    void place(const TRect& r) { item->SetPosition(r, 0, ttNone); }
    TPolygon shape() { return item->GetPolygons()->GetPolygons(0).Polygon(); }

    stepped_tick_clock clock;
    recording_strip strip;
    TPageTab* tab = nullptr;
    TPageTabControl* item = nullptr;
};

struct canvas_probe {
    TGPBitmap bitmap{120, 40};
    TGPGraphics graphics{bitmap};
};

// The tab shape of a 100 x 28 tab relative to its rectangle.
TPolygon tab_shape_at(int dx, int dy) {
    const TPolygon relative = {{0, 28},  {4, 25}, {12, 3}, {13, 2}, {14, 1}, {16, 0},
                               {84, 0}, {86, 1}, {87, 2}, {88, 3}, {96, 25}, {100, 28}};
    TPolygon moved;
    for (const TPoint& p : relative) moved.push_back({p.X + dx, p.Y + dy});
    return moved;
}

TEST_F(tab_item_test, TabShapeIsPlacedByRectangleScrollAndReadingOrder) {
    struct row {
        const char* name;
        TBiDiMode bidi;
        int scroll;
        int dx;
    };
    const row rows[] = {
        {"left to right", TBiDiMode::bdLeftToRight, 0, 10},
        {"scrolled", TBiDiMode::bdLeftToRight, 5, 5},
        {"right to left: mirrored within 300, scrolled the other way", TBiDiMode::bdRightToLeft, 5, 195},
        {"right-to-left reading only counts as left to right", TBiDiMode::bdRightToLeftReadingOnly, 0, 10},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        strip.bidi_mode = r.bidi;
        strip.scroll_offset = r.scroll;
        place({10, 3, 110, 31});
        EXPECT_EQ(shape(), tab_shape_at(r.dx, 3));
    }
}

TEST_F(tab_item_test, TabShapeOpensUpwardsForBottomTabs) {
    strip.Options().Display()->Tabs()->SetOrientation(TTabOrientation::toBottom);
    place({0, 0, 100, 28});
    const TPolygon polygon = shape();
    ASSERT_EQ(polygon.size(), 12u);
    EXPECT_EQ(polygon.front(), (TPoint{0, -1}));
    EXPECT_EQ(polygon[5], (TPoint{16, 27}));
}

TEST_F(tab_item_test, CloseButtonAndCrossRectangles) {
    place({0, 3, 100, 31});
    EXPECT_EQ(item->GetCloseButonRect(), (TRect{68, 9, 82, 23}));
    EXPECT_EQ(item->GetCloseButtonCrossRect(), (TRect{72, 13, 78, 19}));
}

TEST_F(tab_item_test, HitTestsInBothReadingOrders) {
    struct row {
        const char* name;
        TBiDiMode bidi;
        int x, y;
        THitTestArea expected;
    };
    const row rows[] = {
        {"close button", TBiDiMode::bdLeftToRight, 75, 15, THitTestArea::htCloseButton},
        {"close button, top left corner", TBiDiMode::bdLeftToRight, 68, 9, THitTestArea::htCloseButton},
        {"close button's right edge is outside", TBiDiMode::bdLeftToRight, 82, 15, THitTestArea::htTab},
        {"body", TBiDiMode::bdLeftToRight, 40, 15, THitTestArea::htTab},
        {"beside the slanted edge", TBiDiMode::bdLeftToRight, 3, 6, THitTestArea::htBackground},
        {"beyond the tab", TBiDiMode::bdLeftToRight, 150, 15, THitTestArea::htBackground},
        {"mirrored close button", TBiDiMode::bdRightToLeft, 225, 15, THitTestArea::htCloseButton},
        {"mirrored body", TBiDiMode::bdRightToLeft, 260, 15, THitTestArea::htTab},
        {"where the tab stands left to right", TBiDiMode::bdRightToLeft, 40, 15, THitTestArea::htBackground},
        {"no-align mirrors too", TBiDiMode::bdRightToLeftNoAlign, 225, 15, THitTestArea::htCloseButton},
    };
    tab->SetActive(true);
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        strip.bidi_mode = r.bidi;
        place({0, 3, 100, 31});
        EXPECT_EQ(item->GetHitTestArea(r.x, r.y), r.expected);
    }
}

TEST_F(tab_item_test, NarrowTabsFollowTheCloseButtonRules) {
    struct row {
        const char* name;
        int width;
        bool active;
        bool shown;
    };
    const row rows[] = {
        {"inactive, content width 20", 54, false, false},
        {"inactive, content width 21", 55, false, true},
        {"active, content width 20", 54, true, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        tab->SetActive(r.active);
        place({0, 3, r.width, 31});
        EXPECT_EQ(item->CloseButtonShown(), r.shown);
    }
}

TEST_F(tab_item_test, ANarrowActiveTabDrawsItsCloseButtonCentredButHitTestsItUncentred) {
    tab->SetActive(true);
    place({0, 3, 54, 31});
    const tab_content_rects r = item->CalculateContentRects();
    EXPECT_FALSE(r.ShowText);
    EXPECT_EQ(r.CloseRect, (TRect{20, 9, 34, 23}));
    EXPECT_EQ(r.CrossRect, (TRect{24, 13, 30, 19}));
    EXPECT_EQ(item->GetHitTestArea(35, 15), THitTestArea::htCloseButton); // uncentred: 22 to 36
    EXPECT_EQ(item->GetHitTestArea(21, 15), THitTestArea::htTab);
}

TEST_F(tab_item_test, ContentLayoutLeavesRoomForTheCloseButton) {
    tab->SetActive(true);
    place({0, 3, 100, 31});
    const tab_content_rects r = item->CalculateContentRects();
    EXPECT_TRUE(r.ShowText);
    EXPECT_FALSE(r.ShowImage);
    // The text starts one pixel after the (empty) image box.
    EXPECT_EQ(r.TextRect, (TRect{19, 3, 67, 31}));
    EXPECT_EQ(r.CloseRect, (TRect{68, 9, 82, 23}));

    tab->SetActive(false);
    strip.Options().Display()->CloseButton()->SetVisibility(TCloseButtonVisiblity::bvActive);
    const tab_content_rects hidden = item->CalculateContentRects();
    EXPECT_EQ(hidden.TextRect, (TRect{19, 3, 84, 31}));
    EXPECT_EQ(hidden.CloseRect.Left, hidden.CloseRect.Right);
}

TEST_F(tab_item_test, APinnedTabWithoutTextCentresItsImageBox) {
    tab->SetPinned(true);
    tab->SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload);
    place({0, 3, 60, 31});
    const tab_content_rects r = item->CalculateContentRects();
    EXPECT_FALSE(r.ShowText);
    EXPECT_TRUE(r.ShowSpinner);
    EXPECT_EQ(r.ImageRect, (TRect{22, 9, 38, 25}));

    strip.Options().Display()->Tabs()->SetShowPinnedTabText(true);
    const tab_content_rects with_text = item->CalculateContentRects();
    EXPECT_EQ(with_text.ImageRect, (TRect{18, 9, 34, 25}));
}

TEST_F(tab_item_test, MovementWithTheSteppedClock) {
    place({0, 0, 100, 28}); // the first placement jumps even with easing
    EXPECT_EQ(item->ControlRect(), (TRect{0, 0, 100, 28}));
    EXPECT_FALSE(item->AnimateMovement());

    item->SetPosition({5, 0, 105, 28}, 100, ttLinearTween);
    EXPECT_EQ(item->ControlRect(), (TRect{0, 0, 100, 28}));
    clock.advance(50);
    EXPECT_TRUE(item->AnimateMovement());
    EXPECT_EQ(item->ControlRect(), (TRect{2, 0, 102, 28})); // 2.5 and 102.5 round half to even

    item->SetPosition({5, 0, 105, 28}, 100, ttLinearTween); // the same target: not restarted
    clock.advance(20);
    EXPECT_TRUE(item->AnimateMovement());
    EXPECT_EQ(item->ControlRect(), (TRect{4, 0, 104, 28})); // 3.5 and 103.5

    clock.advance(40); // past the end: held at the target
    EXPECT_TRUE(item->AnimateMovement());
    EXPECT_EQ(item->ControlRect(), (TRect{5, 0, 105, 28}));
    EXPECT_FALSE(item->AnimateMovement());
}

TEST_F(tab_item_test, MidPointsFollowTheEasing) {
    struct row {
        TPageTabsEaseType ease;
        int left_at_half;
    };
    const row rows[] = {{ttLinearTween, 100}, {ttEaseInQuad, 50}, {ttEaseOutQuad, 150}, {ttEaseInOutQuad, 100},
                        {ttEaseInCubic, 25}};
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.ease));
        tab->SetTabControl(std::make_unique<TPageTabControl>(&strip, tab));
        item = tab->TabControl();
        place({0, 0, 100, 28});
        item->SetPosition({200, 0, 300, 28}, 200, r.ease);
        clock.advance(100);
        item->AnimateMovement();
        EXPECT_EQ(item->ControlRect().Left, r.left_at_half);
    }
}

TEST_F(tab_item_test, NoEasingJumpsAndCountsAsFinished) {
    place({0, 0, 100, 28});
    item->SetPosition({50, 0, 150, 28}, 100, ttLinearTween);
    clock.advance(10);
    item->SetPosition({80, 0, 180, 28}, 100, ttNone);
    EXPECT_EQ(item->ControlRect(), (TRect{80, 0, 180, 28}));
    EXPECT_EQ(item->StartRect(), item->EndRect());
    EXPECT_FALSE(item->AnimateMovement());
}

TEST_F(tab_item_test, MovementSurvivesTheClockWrappingAround) {
    clock.set(0xFFFFFFF0u);
    place({0, 0, 100, 28});
    item->SetPosition({100, 0, 200, 28}, 100, ttLinearTween);
    clock.advance(0x30); // past zero
    EXPECT_TRUE(item->AnimateMovement());
    EXPECT_EQ(item->ControlRect().Left, 48);
}

TEST_F(tab_item_test, SizeAndEdgeSettersKeepTheOtherEdges) {
    place({10, 20, 110, 48});
    item->SetWidth(50, 0, ttNone);
    EXPECT_EQ(item->ControlRect(), (TRect{10, 20, 60, 48}));
    item->SetHeight(10, 0, ttNone);
    EXPECT_EQ(item->ControlRect(), (TRect{10, 20, 60, 30}));
    item->SetLeft(0, 0, ttNone);
    EXPECT_EQ(item->ControlRect(), (TRect{0, 20, 50, 30}));
    item->SetTop(5, 0, ttNone);
    EXPECT_EQ(item->ControlRect(), (TRect{0, 5, 50, 15}));
}

TEST_F(tab_item_test, RenderedSpinnerWrapsAt360InBothDirections) {
    TPageTabsSpinnersOptions& spinners = *strip.Options().Display()->TabSpinners();
    spinners.Download()->SetRenderedAnimationStep(15);
    tab->SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload);
    for (int i = 0; i < 23; ++i) ASSERT_TRUE(item->AnimateSpinner());
    EXPECT_EQ(item->SpinnerRenderedDegrees(), 345);
    item->AnimateSpinner();
    EXPECT_EQ(item->SpinnerRenderedDegrees(), 360); // 360 itself stays for one step
    item->AnimateSpinner();
    EXPECT_EQ(item->SpinnerRenderedDegrees(), 15);

    // Upload: 2 forward, then backwards by 4 below zero.
    tab->SetSpinnerState(TPageTabSpinnerState::tssRenderedUpload);
    spinners.Upload()->SetReverseDirection(false);
    spinners.Upload()->SetRenderedAnimationStep(2);
    tab->SetTabControl(std::make_unique<TPageTabControl>(&strip, tab));
    item = tab->TabControl();
    item->AnimateSpinner();
    EXPECT_EQ(item->SpinnerRenderedDegrees(), 2);
    spinners.Upload()->SetReverseDirection(true);
    spinners.Upload()->SetRenderedAnimationStep(4);
    item->AnimateSpinner();
    EXPECT_EQ(item->SpinnerRenderedDegrees(), 358);
}

// An image list of Count blank images of Width x Height.
void fill_image_list(TImageList& List, int Width, int Height, int Count) {
    List.SetSize(Width, Height);
    TBitmap images;
    images.SetSize(Width * Count, Height);
    List.Add(images, nullptr);
}

TEST_F(tab_item_test, ImageSpinnersStepThroughTheirListAndWrap) {
    TImageList frames(nullptr);
    fill_image_list(frames, 16, 16, 3);
    strip.images_spinner_download = &frames;
    strip.images_spinner_upload = &frames;
    tab->SetSpinnerState(TPageTabSpinnerState::tssImageDownload);
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(item->AnimateSpinner());
        seen.push_back(item->SpinnerImageIndex());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0, 1}));

    tab->SetSpinnerState(TPageTabSpinnerState::tssImageUpload); // runs backwards
    seen.clear();
    for (int i = 0; i < 3; ++i) {
        item->AnimateSpinner();
        seen.push_back(item->SpinnerImageIndex());
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 1}));
}

TEST_F(tab_item_test, ImageBoxTakesTheSizeOfTheListsThatExist) {
    TImageList overlays(nullptr);
    fill_image_list(overlays, 20, 12, 1);
    TImageList images(nullptr);
    fill_image_list(images, 16, 16, 2);
    place({0, 3, 100, 31});

    // An overlay list without a main list sizes the box by itself.
    strip.images_overlay = &overlays;
    tab->SetImageIndexOverlay(0);
    tab_content_rects r = item->CalculateContentRects();
    EXPECT_TRUE(r.ShowOverlay);
    EXPECT_FALSE(r.ShowImage);
    EXPECT_EQ(r.ImageRect, (TRect{18, 11, 38, 23}));
    EXPECT_EQ(r.TextRect.Left, 39);

    strip.images = &images;
    tab->SetImageIndex(1);
    r = item->CalculateContentRects();
    EXPECT_TRUE(r.ShowImage);
    EXPECT_EQ(r.ImageRect, (TRect{18, 9, 38, 25}));

    tab->SetImageIndex(2); // outside the list
    EXPECT_FALSE(item->CalculateContentRects().ShowImage);
    strip.Options().Display()->Tabs()->SetShowImages(false);
    r = item->CalculateContentRects();
    EXPECT_FALSE(r.ShowImage);
    EXPECT_FALSE(r.ShowOverlay);
}

TEST_F(tab_item_test, SpinnerStepsOnlyWhenThereIsOne) {
    EXPECT_FALSE(item->AnimateSpinner());
    tab->SetSpinnerState(TPageTabSpinnerState::tssImageDownload); // no image list: nothing to step
    EXPECT_FALSE(item->AnimateSpinner());
}

TEST_F(tab_item_test, ModifiedGlowSweepsAcrossTheTab) {
    TPageTabModifiedDisplayOptions& glow = *strip.Options().Display()->TabModifiedGlow();
    glow.SetEaseType(ttLinearTween);
    glow.SetStyle(TPageTabModifiedStyle::msLeftToRight);
    place({0, 3, 100, 31});
    EXPECT_FALSE(item->AnimateModified());

    tab->SetModified(true);
    EXPECT_TRUE(item->AnimateModified());
    EXPECT_EQ(item->ModifiedPosition(), -100); // the glow's width left of the tab
    clock.advance(2000);
    item->AnimateModified();
    EXPECT_EQ(item->ModifiedPosition(), 0);
    clock.advance(2000);
    item->AnimateModified();
    EXPECT_EQ(item->ModifiedPosition(), 100);

    glow.SetStyle(TPageTabModifiedStyle::msRightToLeft);
    item->AnimateModified();
    EXPECT_EQ(item->ModifiedPosition(), -100);
}

TEST_F(tab_item_test, KnightRiderGlowTurnsEveryPeriod) {
    TPageTabModifiedDisplayOptions& glow = *strip.Options().Display()->TabModifiedGlow();
    glow.SetEaseType(ttLinearTween);
    glow.SetStyle(TPageTabModifiedStyle::msKnightRider);
    place({0, 3, 100, 31});
    tab->SetModified(true);
    clock.advance(1000);
    item->AnimateModified();
    const int first = item->ModifiedPosition();
    clock.advance(4001);
    item->AnimateModified();
    const int second = item->ModifiedPosition();
    clock.advance(4001);
    item->AnimateModified();
    EXPECT_EQ(std::abs(first), 100);
    EXPECT_EQ(second, -first); // each sweep starts on the other side
    EXPECT_EQ(item->ModifiedPosition(), first);
}

TEST_F(tab_item_test, AGlowPeriodOfZeroIsNoAnimation) {
    strip.Options().Display()->TabModifiedGlow()->SetAnimationPeriodMS(0);
    tab->SetModified(true);
    place({0, 3, 100, 31});
    EXPECT_FALSE(item->AnimateModified());
}

TEST_F(tab_item_test, CloseButtonStateReportsTheTab) {
    item->SetCloseButtonState(TDrawState::dsHot);
    item->SetCloseButtonState(TDrawState::dsHot);
    EXPECT_EQ(strip.changes, (std::vector<change>{{tab, tcControlState}}));
}

TEST_F(tab_item_test, HandlerPolygonsGetTheDefaultBrushAndPen) {
    const auto handler_brush = std::make_shared<TGPSolidBrush>(make_argb(255, 1, 2, 3));
    strip.OnGetControlPolygons = [&](TBasePageTabsControl* control, TPageTabItemType type, page_tab_polygons& result) {
        EXPECT_EQ(control, item);
        EXPECT_EQ(type, TPageTabItemType::itTab);
        result = std::make_shared<TPageTabPolygons>();
        result->AddPolygon({{0, 0}, {10, 0}, {10, 10}}, handler_brush, nullptr);
    };
    place({0, 0, 100, 28});
    const page_tab_polygons polygons = item->GetPolygons();
    ASSERT_EQ(polygons->PolygonCount(), 1);
    EXPECT_EQ(polygons->GetPolygons(0).Brush(), handler_brush);
    EXPECT_EQ(polygons->GetPolygons(0).Pen(), item->TabPen());
    EXPECT_TRUE(item->ContainsPoint({8, 2}));
    EXPECT_FALSE(item->ContainsPoint({50, 20}));
}

TEST_F(tab_item_test, DrawStateChoosesTheTabLook) {
    TPageTabsLookAndFeelTab& look = *strip.LookAndFeel().Tabs();
    struct row {
        TDrawState state;
        TPageTabsLookAndFeelStyleProperties* expected;
        TColor font_color; // the active look takes the default font
        std::uint8_t font_alpha;
    };
    const row rows[] = {
        {TDrawState::dsActive, look.Active(), 0, 255},
        {TDrawState::dsHot, look.Hot(), 4210752, 215},
        {TDrawState::dsNotActive, look.NotActive(), 4603477, 215},
        {TDrawState::dsDown, look.NotActive(), 4603477, 215},
        {TDrawState::dsDisabled, look.NotActive(), 4603477, 215},
    };
    place({0, 3, 100, 31});
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.state));
        strip.clear_changes();
        item->SetDrawState(r.state, 0, ttNone, false);
        EXPECT_EQ(item->TabProperties(), r.expected);
        const TPageTabControlProperties& current = item->PropertyItems().CurrentTabProperties();
        EXPECT_EQ(current.FontColor, r.font_color);
        EXPECT_EQ(current.FontAlpha, r.font_alpha);
        EXPECT_EQ(current.StartColor, r.expected->Style()->StartColor());
        EXPECT_EQ(strip.changes, (std::vector<change>{{nullptr, tcControlState}}));
    }
}

TEST_F(tab_item_test, BodyBrushIsCachedUntilTheLookChanges) {
    place({0, 3, 100, 31});
    item->SetDrawState(TDrawState::dsNotActive, 0, ttNone, false);
    const auto brush = item->TabBrush();
    const auto pen = item->TabPen();
    const page_tab_polygons polygons = item->GetPolygons();
    EXPECT_EQ(item->TabBrush(), brush);
    EXPECT_EQ(item->TabPen(), pen);
    EXPECT_EQ(polygons->GetPolygons(0).Brush(), brush);

    item->SetDrawState(TDrawState::dsActive, 0, ttNone, false);
    EXPECT_NE(item->TabBrush(), brush);
    EXPECT_NE(item->TabPen(), pen);
    // The list made before still draws with the brush it was given.
    canvas_probe probe;
    polygons->DrawTo(probe.graphics, TDrawToFunctions::dfBrush);
    EXPECT_NE(probe.bitmap.Pixel(50, 15), ARGB{0});
}

TEST_F(tab_item_test, StyleTransitionRunsOnTheClockAndStopsWhereItStands) {
    place({0, 3, 100, 31});
    item->SetDrawState(TDrawState::dsNotActive, 0, ttNone, false);
    item->SetDrawState(TDrawState::dsActive, 100, ttLinearTween, false);
    clock.advance(50);
    EXPECT_TRUE(item->AnimateStyle());
    const int half_alpha = item->PropertyItems().CurrentTabProperties().StartAlpha;
    EXPECT_EQ(half_alpha, 210 + (255 - 210) * 50 / 100);
    item->StopStyleAnimation();
    clock.advance(50);
    EXPECT_FALSE(item->AnimateStyle());
    EXPECT_EQ(item->PropertyItems().CurrentTabProperties().StartAlpha, half_alpha);
}

TEST_F(tab_item_test, WidthByContentAddsTheCaptionToTheFixedParts) {
    place({0, 3, 100, 31});
    item->SetDrawState(TDrawState::dsNotActive, 0, ttNone, false);
    tab->SetCaption(u"");
    // Content offset 18, close button from its left to the tab's right 32, less the overlap 15.
    EXPECT_EQ(item->GetTabWidthByContent(), 35);
    tab->SetCaption(u"A longer caption");
    const int longer = item->GetTabWidthByContent();
    tab->SetCaption(u"A");
    EXPECT_GT(longer, item->GetTabWidthByContent());
    EXPECT_GT(item->GetTabWidthByContent(), 35);
}

TEST(TBasePageTabsControl, DrawStateIsReportedWhenChangedOrForced) {
    gdiplus_startup();
    {
        recording_strip strip;
        TPageTabControl item(&strip, strip.Tabs().Add());
        strip.clear_changes();
        item.TBasePageTabsControl::SetDrawState(TDrawState::dsHot, 0, ttNone, false);
        item.TBasePageTabsControl::SetDrawState(TDrawState::dsHot, 0, ttNone, false);
        item.TBasePageTabsControl::SetDrawState(TDrawState::dsHot, 0, ttNone, true);
        EXPECT_EQ(item.DrawState(), TDrawState::dsHot);
        EXPECT_EQ(strip.changes, (std::vector<change>{{nullptr, tcControlState}, {nullptr, tcControlState}}));
    }
    gdiplus_shutdown();
}

} // namespace
} // namespace kq::test
