#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/Messages.h"
#include "framework/TickClock.h"
#include "tabs/PageTabs.h"
#include "tabs/PageTabsStyleTransitions.h"
#include "tests/tabs/MainWindowStrip.h"
#include "tests/tabs/TickedStrip.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace kq {

static void PrintTo(const TRect& r, std::ostream* out) {
    *out << '(' << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ')';
}

namespace {

using PageTabsClock = test::visual_test;

using test::ticked_strip;

// A 724 x 35 strip of the main window in a shown form; the clock stands still until the test moves
// it, and ticks come only from the test.
class strip_animation : public test::visual_test {
protected:
    void SetUp() override {
        test::visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 800, 80);
        strip = new ticked_strip(form);
        strip->AnimateTimer().SetEnabled(false);
        test::apply_main_window_settings(*strip);
        strip->Options().Behaviour()->SetBackgroundDragMovesForm(false);
        strip->SetBounds(0, 0, 724, 35);
        strip->SetParent(form);
        form->Show();
        Application->ProcessMessages();
    }
    void TearDown() override {
        delete form;
        dib.reset(); // counted by the fixture's handle check
        test::visual_test::TearDown();
    }
    void add_tabs(int Count) {
        for (int i = 0; i < Count; ++i) strip->Tabs().Add()->SetCaption(IntToStr(strip->Tabs().Count()));
        settle();
    }
    // Long enough for every movement and fade to arrive.
    void settle() {
        for (int i = 0; i < 4; ++i) step(200);
    }
    void step(std::uint32_t Milliseconds) {
        clock.advance(Milliseconds);
        strip->tick();
    }
    TPageTabControl& control(int Index) { return *strip->Tabs().Items(Index)->TabControl(); }
    void mouse_move(TPoint Pt) {
        ::SendMessageW(strip->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(Pt.X, Pt.Y));
    }

    // Paints the strip into a 724 x 35 DIB through WM_PAINT's DC, as a parent painting it does.
    void paint() {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 724, -35, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* data = nullptr;
        dib.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &data, nullptr, 0));
        ASSERT_TRUE(dib);
        bits = static_cast<const std::uint32_t*>(data);
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        const HGDIOBJ old = ::SelectObject(dc.get(), dib.get());
        strip->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.get()), 0);
        ::GdiFlush();
        ::SelectObject(dc.get(), old);
    }
    std::uint32_t pixel(TPoint Pt) const { return bits[Pt.Y * 724 + Pt.X] & 0xFFFFFF; }

    stepped_tick_clock clock;
    TForm* form = nullptr;
    ticked_strip* strip = nullptr;
    unique_hbitmap dib;
    const std::uint32_t* bits = nullptr;
};

TEST_F(strip_animation, TheAddButtonShowsAtTheFirstPaintWithoutATick) {
    form->SetColor(15921906);
    paint();
    const TRect add = strip->AddButtonControl().ControlRect();
    ASSERT_GT(width_of(add), 0);
    EXPECT_NE(pixel({(add.Left + add.Right) / 2, (add.Top + add.Bottom) / 2}), 0xF2F2F2u);
}

TEST_F(strip_animation, HoverFadesToTheHotColoursOverTheStyleTimeAndActivationShowsAtOnce) {
    add_tabs(3);
    const TPageTabsLookAndFeelTab& look = *strip->LookAndFeel().Tabs();
    const auto colours = [&](int Index) {
        const TPageTabControlProperties& p = control(Index).PropertyItems().CurrentTabProperties();
        return std::tuple{p.StartColor, p.StopColor, p.OutlineColor, p.StartAlpha, p.StopAlpha, p.OutlineAlpha};
    };
    const auto of = [](const TPageTabsLookAndFeelStyle& s) {
        return std::tuple{s.StartColor(), s.StopColor(), s.OutlineColor(), s.StartAlpha(), s.StopAlpha(), s.OutlineAlpha()};
    };
    ASSERT_EQ(colours(0), of(*look.NotActive()->Style()));

    mouse_move({60, 20});
    EXPECT_EQ(control(0).DrawState(), TDrawState::dsHot);
    EXPECT_EQ(colours(0), of(*look.NotActive()->Style())) << "nothing moves before a tick";
    step(150);
    EXPECT_NE(colours(0), of(*look.NotActive()->Style()));
    EXPECT_NE(colours(0), of(*look.Hot()->Style()));
    step(150);
    EXPECT_EQ(colours(0), of(*look.Hot()->Style()));

    ::SendMessageW(strip->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 20));
    ::SendMessageW(strip->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(60, 20));
    EXPECT_EQ(strip->ActiveTabIndex(), 0);
    EXPECT_EQ(colours(0), of(*look.Active()->Style())) << "activation needs no tick";
    EXPECT_EQ(colours(2), of(*look.NotActive()->Style())) << "nor does leaving the active state";
}

TEST_F(strip_animation, AClosedTabGoesAtTheFirstTickAfterItsWidthReachesTheMinimum) {
    add_tabs(3);
    TPageTab* closing = strip->Tabs().Items(1);
    strip->Tabs().DeleteTab(1, false);
    ASSERT_TRUE(closing->MarkedForDeletion());
    EXPECT_EQ(width_of(closing->TabControl()->EndRect()), 40);
    step(50);
    EXPECT_EQ(strip->Tabs().Count(), 3);
    EXPECT_GT(width_of(closing->TabControl()->ControlRect()), 40);
    step(49);
    EXPECT_EQ(strip->Tabs().Count(), 3);
    step(1);
    EXPECT_EQ(strip->Tabs().Count(), 2);
    EXPECT_EQ(strip->Tabs().IndexOf(closing), -1);
    EXPECT_FALSE(strip->HasState(TPageTabState::stsAnimatingCloseTab));
    settle();
    EXPECT_EQ(control(1).ControlRect(), (TRect{200, 3, 415, 35})) << "the right neighbour closed the gap";
}

TEST_F(strip_animation, ClosingWithoutEaseOrBelowTheMinimumNeedsNoMovement) {
    add_tabs(3);
    // At or below the minimum already: the next tick removes it.
    strip->Options().Animation()->SetMinimumTabAnimationWidth(300);
    strip->Tabs().DeleteTab(0, false);
    EXPECT_EQ(strip->Tabs().Count(), 3);
    step(1);
    EXPECT_EQ(strip->Tabs().Count(), 2);

    auto& remove = *strip->Options().Animation()->MovementAnimations()->TabDelete();
    remove.SetUseDefaultEaseType(false);
    remove.SetEaseType(TPageTabsEaseType::ttNone);
    strip->Tabs().DeleteTab(0, false);
    EXPECT_EQ(strip->Tabs().Count(), 1) << "no tick needed";
}

TEST_F(strip_animation, ANewTabGrowsOutOfItsLeftNeighbourAndTheAddButtonFollows) {
    add_tabs(2);
    const TRect neighbour = control(1).ControlRect();
    strip->Tabs().Add();
    TPageTabControl& grown = control(2);
    EXPECT_EQ(grown.ControlRect(), (TRect{neighbour.Right - 15, 3, neighbour.Right - 15 + 40, 35}));
    EXPECT_EQ(grown.EndRect(), (TRect{400, 3, 615, 35}));
    step(50);
    EXPECT_GT(width_of(grown.ControlRect()), 40);
    EXPECT_LT(width_of(grown.ControlRect()), 215);
    EXPECT_EQ(strip->AddButtonControl().ControlRect().Left, grown.ControlRect().Right - 3);
    step(50);
    EXPECT_EQ(grown.ControlRect(), grown.EndRect());
    step(1);
    EXPECT_EQ(strip->AddButtonControl().ControlRect().Left, 612);
    EXPECT_FALSE(strip->HasState(TPageTabState::stsAnimatingNewTab));
}

TEST_F(strip_animation, SpinnerAndGlowStepAtMostOncePerUpdatePeriod) {
    add_tabs(1);
    TPageTab* tab = strip->Tabs().Items(0);
    tab->SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload);
    tab->SetModified(true);
    // A linear sweep moves the glow at every step that is taken.
    strip->Options().Display()->TabModifiedGlow()->SetEaseType(TPageTabsEaseType::ttLinearTween);
    strip->Options().Display()->TabModifiedGlow()->SetAnimationPeriodMS(1000);
    int glow_steps = 0;
    int previous_position = control(0).ModifiedPosition();
    const int first_degrees = control(0).SpinnerRenderedDegrees();
    // Twelve ticks 10 ms apart: due at the first, then only once more than 50 ms have passed.
    for (int i = 0; i < 12; ++i) {
        step(10);
        if (control(0).ModifiedPosition() != previous_position) ++glow_steps;
        previous_position = control(0).ModifiedPosition();
    }
    EXPECT_EQ(control(0).SpinnerRenderedDegrees() - first_degrees, 2 * 15);
    EXPECT_EQ(glow_steps, 2);
}

TEST_F(strip_animation, TabsRemovedWhileTheyAnimateOrDuringATickAreSafe) {
    add_tabs(5);
    strip->Tabs().DeleteTab(1, false); // shrinking
    strip->Tabs().Delete(1);           // and gone before its animation ends
    step(10);
    EXPECT_EQ(strip->Tabs().Count(), 4);

    // A handler run by the tick removes tabs the tick has yet to visit.
    strip->Tabs().Add();
    strip->OnStateChange = [&](TObject*, TPageTabStates previous, TPageTabStates current) {
        if (!previous.contains(TPageTabState::stsAnimatingMovement) &&
            current.contains(TPageTabState::stsAnimatingMovement) && strip->Tabs().Count() > 2) {
            strip->Tabs().Delete(0);
            strip->Tabs().Delete(0);
        }
    };
    step(10);
    strip->OnStateChange = nullptr;
    EXPECT_EQ(strip->Tabs().Count(), 3);
    settle();
}

TEST_F(strip_animation, ClosingTabsInARowKeepsTheirWidthsUntilTheMouseHasBeenAwayAWhile) {
    add_tabs(10);
    ASSERT_EQ(width_of(control(0).ControlRect()), 82);
    const TRect close = control(3).GetCloseButonRect();
    for (int closed = 0; closed < 2; ++closed) {
        SCOPED_TRACE(closed);
        // The next tab's close button comes to lie under the mouse.
        EXPECT_EQ(control(3).GetCloseButonRect(), close);
        const LPARAM at = MAKELPARAM((close.Left + close.Right) / 2, (close.Top + close.Bottom) / 2);
        ::SendMessageW(strip->Handle(), WM_MOUSEMOVE, 0, at);
        ::SendMessageW(strip->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(strip->Handle(), WM_LBUTTONUP, 0, at);
        settle();
    }
    ASSERT_EQ(strip->Tabs().Count(), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(width_of(control(i).ControlRect()), 82) << i;

    strip->Perform(CM_MOUSELEAVE, 0, 0);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    while (std::chrono::steady_clock::now() < until) Application->ProcessMessages();
    settle();
    EXPECT_EQ(width_of(control(0).ControlRect()), 82) << "not before the delay";
    const auto later = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    while (std::chrono::steady_clock::now() < later) Application->ProcessMessages();
    settle();
    EXPECT_FALSE(strip->HasState(TPageTabState::stsDeletingUnPinnedTabs));
    // 690 - 15 = 675 pixels for eight tabs: 84 each, rectangles 99 wide.
    EXPECT_EQ(width_of(control(0).ControlRect()), 99);
}

TEST_F(strip_animation, AWheelOverAnEmptyStripKeepsTheOffsetAtZero) {
    EXPECT_EQ(strip->ScrollOffset(), 0);
    ::SendMessageW(strip->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(10, 10));
    ::SendMessageW(strip->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, -240), MAKELPARAM(10, 10));
    EXPECT_EQ(strip->ScrollOffset(), 0);
}

// The strip as the application shows it, for a person to look at: five tabs (a pinned one, one loading,
// one under the mouse), on the colour of the main window's top bar, saved beside the test's output.
TEST_F(strip_animation, AScreenshotOfTheApplicationsStripLooksLikeABrowsersTabStrip) {
    form->SetColor(15921906);
    const char16_t* const captions[] = {u"首页", u"招标公告 - 正在加载", u"中标结果公示", u"项目详情", u"新标签页"};
    for (const char16_t* caption : captions) strip->Tabs().Add()->SetCaption(caption);
    strip->Tabs().Items(0)->SetPinned(true);
    strip->Tabs().Items(1)->SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload);
    strip->SetActiveTabIndex(3);
    settle();
    mouse_move({control(2).ControlRect().Left + 60, 20});
    settle();
    ASSERT_EQ(control(2).DrawState(), TDrawState::dsHot);

    paint();
    constexpr std::uint32_t top_bar = 0xF2F2F2;
    const TRect add = strip->AddButtonControl().ControlRect();
    ASSERT_GT(width_of(add), 0);
    // Five tabs fill the row: the add button stands at its limit, just right of the last tab.
    EXPECT_EQ(strip->GetTabDisplayState(), TTabDisplayState::tdCompressed);
    EXPECT_EQ(add.Left, strip->MaxAddButtonRight());
    EXPECT_LE(control(4).ControlRect().Right - 3, add.Left);
    EXPECT_NE(pixel({(add.Left + add.Right) / 2, (add.Top + add.Bottom) / 2}), top_bar) << "the add button shows";
    EXPECT_EQ(pixel({(add.Right + 723) / 2, 2}), top_bar) << "the bar shows right of the tabs";

    gdiplus_startup();
    auto stop = scope_exit([] { gdiplus_shutdown(); });
    const TGPBitmap shot = TGPBitmap::FromHBITMAP(dib.get());
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const std::wstring path = (std::filesystem::current_path() / "main_window_strip.png").wstring();
    EXPECT_EQ(Gdiplus::DllExports::GdipSaveImageToFile(shot.Handle(), path.c_str(), &png, nullptr), Gdiplus::Ok);
}

// The running clock: ticks arrive from its thread while the strip animates, and none after it is gone.
TEST_F(PageTabsClock, TheStripStopsItsClockWhenDestroyedWhileTicking) {
    for (int round = 0; round < 2; ++round) {
        TForm* form = CreateForm<TForm>(Application);
        auto* strip = new TPageTabs(form);
        test::apply_main_window_settings(*strip);
        strip->Options().Animation()->SetDefaultMovementAnimationTimeMS(2000); // still moving when freed
        strip->SetBounds(0, 0, 724, 35);
        strip->SetParent(form);
        form->Show();
        for (int i = 0; i < 6; ++i) strip->Tabs().Add();
        strip->Tabs().DeleteTab(2, false);
        int steps = 0;
        strip->OnStateChange = [&](TObject*, TPageTabStates, TPageTabStates current) {
            steps += current.contains(TPageTabState::stsAnimatingMovement);
        };
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (std::chrono::steady_clock::now() < until) {
            Application->ProcessMessages();
            ::Sleep(2);
        }
        EXPECT_GT(steps, 0) << "the clock drives the movement";
        delete form;
        // A tick still on its way would reach freed memory here.
        const auto after = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
        while (std::chrono::steady_clock::now() < after) {
            Application->ProcessMessages();
            ::Sleep(2);
        }
    }
}

} // namespace
} // namespace kq
