#include "tabs/PageTabsStyleTransitions.h"

#include "framework/TickClock.h"
#include "tabs/PageTabsLookAndFeel.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

using enum TPageTabsEaseType;

// Two looks to move between: red, size 9, outline 1 and green, size 12, outline 2.
struct looks {
    TPageTabsLookAndFeelStyle red_style{nullptr}, green_style{nullptr};
    TPageTabsLookAndFeelFont red_font{nullptr}, green_font{nullptr};
    looks() {
        red_style.SetStartColor(0x0000FF);
        red_style.SetOutlineSize(1.0f);
        red_style.SetStartAlpha(100);
        red_font.SetColor(0x0000FF);
        red_font.SetSize(9);
        green_style.SetStartColor(0x00FF00);
        green_style.SetOutlineSize(2.0f);
        green_style.SetStartAlpha(201);
        green_font.SetColor(0x00FF00);
        green_font.SetSize(12);
        green_font.SetName(u"Tahoma");
        green_font.SetTextRendoringMode(Gdiplus::TextRenderingHintAntiAlias);
    }
};

TEST(TPageTabControlPropertyItems, LinearTransitionsMoveEachValueOnTheClock) {
    stepped_tick_clock clock(5000);
    looks l;
    TPageTabControlPropertyItems items;
    items.SetProperties(l.red_style, &l.red_font, nullptr, 0, ttNone);
    items.SetProperties(l.green_style, &l.green_font, nullptr, 100, ttLinearTween);
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 9); // nothing moves before the clock does

    clock.advance(50);
    ASSERT_TRUE(items.TransformColors(false));
    const TPageTabControlProperties& now = items.CurrentTabProperties();
    EXPECT_EQ(now.FontSize, 10);        // 9 + 3 x 50 div 100
    EXPECT_EQ(now.OutlineSize, 1.5f);
    EXPECT_EQ(now.StartColor, 0x007F80); // red 128, green 127
    EXPECT_EQ(now.FontColor, 0x007F80);
    EXPECT_EQ(now.StartAlpha, 150);     // 100 + 101 x 50 div 100
    EXPECT_EQ(items.CurrentTickCount(), 50u);
    // Name and rendering mode never move, not even by a jump: users read them from the stop values.
    EXPECT_EQ(now.FontName, u"");
    EXPECT_EQ(now.TextRendoringMode, Gdiplus::TextRenderingHintSystemDefault);
    EXPECT_EQ(items.StopTabProperties().FontName, u"Tahoma");

    clock.advance(80); // past the end: held at the end
    EXPECT_TRUE(items.TransformColors(false));
    EXPECT_EQ(items.CurrentTickCount(), 100u);
    EXPECT_EQ(now.FontSize, 12);
    EXPECT_EQ(now.StartColor, 0x00FF00);
    EXPECT_EQ(now.OutlineSize, 2.0f);
    EXPECT_FALSE(items.TransformColors(false));
}

TEST(TPageTabControlPropertyItems, MidPointsFollowTheEasing) {
    struct row {
        TPageTabsEaseType ease;
        int size_at_half; // from 0 to 100
    };
    const row rows[] = {{ttLinearTween, 50}, {ttEaseInQuad, 25}, {ttEaseOutQuad, 75}, {ttEaseInCubic, 12}}; // 12.5 rounds to even
    for (const row& r : rows) {
        SCOPED_TRACE(int(r.ease));
        stepped_tick_clock clock;
        TPageTabsLookAndFeelStyle style(nullptr);
        TPageTabsLookAndFeelFont small(nullptr), large(nullptr);
        small.SetSize(0);
        large.SetSize(100);
        TPageTabControlPropertyItems items;
        items.SetProperties(style, &small, nullptr, 0, ttNone);
        items.SetProperties(style, &large, nullptr, 200, r.ease);
        clock.advance(100);
        items.TransformColors(false);
        EXPECT_EQ(items.CurrentTabProperties().FontSize, r.size_at_half);
    }
}

TEST(TPageTabControlPropertyItems, NoEasingJumpsAndAZeroDurationNeverMoves) {
    stepped_tick_clock clock;
    looks l;
    TPageTabControlPropertyItems items;
    items.SetProperties(l.green_style, &l.green_font, nullptr, 300, ttNone);
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 12);
    EXPECT_EQ(items.CurrentTabProperties().StartColor, 0x00FF00);
    clock.advance(10);
    EXPECT_FALSE(items.TransformColors(false));

    // Deliberately: an ease type with no time stays where it was.
    items.SetProperties(l.red_style, &l.red_font, nullptr, 0, ttLinearTween);
    clock.advance(10);
    EXPECT_FALSE(items.TransformColors(false));
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 12);
    EXPECT_TRUE(items.TransformColors(true));
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 9);
}

TEST(TPageTabControlPropertyItems, EndedOrInterruptedTransitionsKeepWhatIsShown) {
    stepped_tick_clock clock;
    looks l;
    TPageTabControlPropertyItems items;
    items.SetProperties(l.red_style, &l.red_font, nullptr, 0, ttNone);
    items.SetProperties(l.green_style, &l.green_font, nullptr, 100, ttLinearTween);
    clock.advance(50);
    items.TransformColors(false);
    items.EndAnimation();
    clock.advance(20);
    EXPECT_FALSE(items.TransformColors(false));
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 10);

    // A new transition starts from the values shown.
    items.SetProperties(l.red_style, &l.red_font, nullptr, 100, ttLinearTween);
    EXPECT_EQ(items.StartTabProperties().FontSize, 10);
    clock.advance(100);
    items.TransformColors(false);
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 9);
}

TEST(TPageTabControlPropertyItems, TheDefaultFontWinsAndClassDefaultsStandInForNone) {
    TPageTabsLookAndFeelStyle style(nullptr);
    TPageTabsLookAndFeelFont own(nullptr);
    own.SetSize(20);
    TPageTabsLookAndFeelBaseFont shared(nullptr);
    shared.SetSize(11);
    TPageTabControlPropertyItems items;
    items.SetProperties(style, &own, &shared, 0, ttNone);
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 11);
    items.SetProperties(style, &own, nullptr, 0, ttNone);
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 20);
    items.SetProperties(style, nullptr, nullptr, 0, ttNone);
    EXPECT_EQ(items.CurrentTabProperties().FontSize, 9);
    EXPECT_EQ(items.CurrentTabProperties().FontAlpha, 255);
    EXPECT_EQ(items.StopTabProperties().FontName, u"Segoe UI");
}

} // namespace
} // namespace kq
