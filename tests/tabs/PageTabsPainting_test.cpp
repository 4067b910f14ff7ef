#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/TickClock.h"
#include "tabs/PageTabs.h"
#include "tests/tabs/MainWindowStrip.h"
#include "tests/tabs/TickedStrip.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace kq {
namespace {

using enum TPageTabItemType;

constexpr TColor parent_colour = 0x00336699; // $00BBGGRR
constexpr std::uint32_t parent_pixel = 0x996633; // as a 32-bit DIB holds it

struct draw_event {
    bool before;
    TPageTabItemType type;
    int tab_index;
    bool operator==(const draw_event&) const = default;
};

// A 724 x 35 strip of the application's options, see-through, with five tabs, the third active, on a coloured
// form; painted through a DC handed over with WM_PAINT into a DIB the test reads.
class strip_painting_test : public test::visual_test {
protected:
    void SetUp() override {
        test::visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 800, 80);
        form->SetColor(parent_colour);
        strip = new TPageTabs(form);
        apply_strip_defaults(strip->Options());
        strip->Options().Display()->TabContainer()->SetTransparentBackground(true);
        strip->SetBounds(0, 0, 724, 35);
        strip->SetParent(form);
        for (int i = 0; i < 5; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
        strip->SetActiveTabIndex(2);
        form->Show();
        settle();
        strip->OnBeforeDrawItem = [this](TObject*, TGPGraphics&, const TRect&, TPageTabItemType type, int index,
                                         bool& handled) {
            draws.push_back({true, type, index});
            handled = handled_items.contains(type);
        };
        strip->OnAfterDrawItem = [this](TObject*, TGPGraphics&, const TRect&, TPageTabItemType type, int index) {
            draws.push_back({false, type, index});
        };
    }
    void TearDown() override {
        delete form;
        dib.reset(); // counted by the fixture's handle check
        test::visual_test::TearDown();
    }
    void settle() {
        for (int i = 0; i < 20; ++i) {
            Application->ProcessMessages();
            ::Sleep(5);
        }
    }
    // Paints the strip into a fresh 724 x 35 DIB through WM_PAINT's DC.
    void paint() {
        draws.clear();
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 724, -35, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        dib.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        ASSERT_TRUE(dib);
        pixels = static_cast<std::uint32_t*>(bits);
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        const HGDIOBJ old = ::SelectObject(dc.get(), dib.get());
        strip->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.get()), 0);
        ::GdiFlush();
        ::SelectObject(dc.get(), old);
    }
    std::uint32_t pixel(int x, int y) const { return pixels[y * 724 + x] & 0xFFFFFF; }
    std::vector<int> tabs_drawn() const {
        std::vector<int> order;
        for (const draw_event& e : draws)
            if (e.before && e.type == itTab) order.push_back(e.tab_index);
        return order;
    }

    TForm* form = nullptr;
    TPageTabs* strip = nullptr;
    std::vector<draw_event> draws;
    std::set<TPageTabItemType> handled_items;
    unique_hbitmap dib;
    std::uint32_t* pixels = nullptr;
};

TEST_F(strip_painting_test, HooksReportContainerBackgroundTabsFromTheRightActiveLastThenTheAddButton) {
    paint();
    ASSERT_GE(draws.size(), 3u);
    EXPECT_EQ(draws[0], (draw_event{true, itTabContainer, -1}));
    EXPECT_EQ(draws[1], (draw_event{true, itBackground, -1}));
    EXPECT_EQ(draws[2], (draw_event{false, itBackground, -1}));
    EXPECT_EQ(tabs_drawn(), (std::vector<int>{4, 3, 1, 0, 2}));
    std::vector<TPageTabItemType> after_tabs;
    bool active_seen = false;
    for (const draw_event& e : draws) {
        if (e.before && e.type == itTab && e.tab_index == 2) active_seen = true;
        if (active_seen && e.before && (e.type == itAddButton || e.type == itTab)) after_tabs.push_back(e.type);
    }
    EXPECT_EQ(after_tabs, (std::vector<TPageTabItemType>{itTab, itAddButton}));
    EXPECT_EQ(draws.back(), (draw_event{false, itTabContainer, -1}));
}

TEST_F(strip_painting_test, TheParentShowsThroughATransparentStrip) {
    paint();
    EXPECT_EQ(pixel(720, 1), parent_pixel) << "right of the add button, above the base line";
    EXPECT_NE(pixel(100, 20), parent_pixel) << "inside a tab";

    // For a person to look at, beside the test's other output.
    gdiplus_startup();
    auto stop = scope_exit([] { gdiplus_shutdown(); });
    const TGPBitmap shot = TGPBitmap::FromHBITMAP(dib.get());
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const std::wstring path = (std::filesystem::current_path() / "strip_painting.png").wstring();
    EXPECT_EQ(Gdiplus::DllExports::GdipSaveImageToFile(shot.Handle(), path.c_str(), &png, nullptr), Gdiplus::Ok);
}

TEST_F(strip_painting_test, HandlingTheContainerSuppressesOnlyItsFill) {
    strip->Options().Display()->TabContainer()->SetTransparentBackground(false);
    paint();
    EXPECT_NE(pixel(720, 1), parent_pixel) << "the container fill covers the parent";
    handled_items = {itTabContainer};
    paint();
    EXPECT_EQ(pixel(720, 1), parent_pixel) << "handled: the parent's background stays";
    EXPECT_NE(pixel(100, 20), parent_pixel) << "tabs are still drawn";
}

TEST_F(strip_painting_test, TabsScrolledOutOfViewAreNotDrawn) {
    for (int i = 0; i < 40; ++i) strip->Tabs().Add();
    settle();
    strip->SetScrollOffset(0);
    paint();
    const std::vector<int> drawn = tabs_drawn();
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 0), 1);
    EXPECT_EQ(std::count(drawn.begin(), drawn.end(), 44), 0) << "the last tab lies beyond the strip's end";
}

TEST_F(strip_painting_test, AStripWithoutAreaPaintsNothing) {
    strip->SetBounds(0, 0, 0, 0);
    settle();
    draws.clear();
    strip->Perform(WM_PAINT, 0, 0);
    EXPECT_TRUE(draws.empty());
}


// --- Kept pictures

using test::ticked_strip;

// The main window's strip, 724 x 35, on the top bar's colour; each frame is painted twice into DIBs the
// test reads: once as the strip paints by itself, putting back the pictures its items kept, and once
// with a draw event handler assigned, which makes every item draw afresh.
class kept_pictures : public test::visual_test {
protected:
    void SetUp() override {
        test::visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 800, 80);
        form->SetColor(15921906);
        strip = new ticked_strip(form);
        strip->AnimateTimer().SetEnabled(false);
        test::apply_main_window_settings(*strip);
        strip->Options().Behaviour()->SetBackgroundDragMovesForm(false);
        strip->SetBounds(0, 0, 724, 35);
        strip->SetParent(form);
        form->Show();
        Application->ProcessMessages();
        // Hidden, the strip paints only when the test asks: each paint starts from the pictures the
        // previous frame kept.
        form->Hide();
    }
    void TearDown() override {
        delete form;
        test::visual_test::TearDown();
    }
    void step(std::uint32_t Milliseconds) {
        clock.advance(Milliseconds);
        strip->tick();
    }
    std::vector<std::uint32_t> paint() {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 724, -35, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        unique_handle<HBITMAP, ::DeleteObject> dib(
            ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!dib) return {};
        unique_handle<HDC, ::DeleteDC> dc(::CreateCompatibleDC(nullptr));
        const HGDIOBJ old = ::SelectObject(dc.get(), dib.get());
        strip->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.get()), 0);
        ::GdiFlush();
        ::SelectObject(dc.get(), old);
        const auto* p = static_cast<const std::uint32_t*>(bits);
        return {p, p + 724 * 35};
    }
    std::vector<std::uint32_t> paint_afresh() {
        strip->OnAfterDrawItem = [](TObject*, TGPGraphics&, const TRect&, TPageTabItemType, int) {};
        auto drawn = paint();
        strip->OnAfterDrawItem = nullptr;
        return drawn;
    }
    // "" when both paintings agree, else the first differing pixel and how many differ.
    static std::string difference(const std::vector<std::uint32_t>& kept, const std::vector<std::uint32_t>& fresh) {
        if (kept.size() != fresh.size()) return "sizes differ";
        int count = 0, first = -1;
        for (std::size_t i = 0; i < kept.size(); ++i)
            if (kept[i] != fresh[i]) {
                if (first < 0) first = static_cast<int>(i);
                ++count;
            }
        if (count == 0) return {};
        return std::to_string(count) + " pixels differ, the first at (" + std::to_string(first % 724) + ", " +
               std::to_string(first / 724) + ")";
    }
    TPageTabControl& control(int Index) { return *strip->Tabs().Items(Index)->TabControl(); }

    stepped_tick_clock clock;
    TForm* form = nullptr;
    ticked_strip* strip = nullptr;
};

TEST_F(kept_pictures, ARepaintFromKeptPicturesMatchesDrawingAfreshThroughoutAnAnimation) {
    const char16_t* const captions[] = {u"首页", u"招标公告 - 正在加载", u"中标结果公示", u"项目详情",
                                        u"新标签页", u"Tenders", u"7", u"8"};
    for (const char16_t* caption : captions) strip->Tabs().Add()->SetCaption(caption);
    strip->Tabs().Items(0)->SetPinned(true);
    strip->Tabs().Items(1)->SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload);
    strip->Tabs().Items(2)->SetModified(true);
    strip->SetActiveTabIndex(3);
    for (int i = 0; i < 4; ++i) step(200);

    // Frame by frame: the spinner turns and the glow sweeps all along; a tab closes and its neighbours
    // slide over, the mouse comes in and its tab fades to hot, a tab is added, the active tab changes,
    // and at the end a resize and a new look make every item draw again.
    const auto at = [&](int Index) {
        const TRect r = control(Index).ControlRect();
        return MAKELPARAM((r.Left + r.Right) / 2, 20);
    };
    int frames_with_pictures = 0;
    for (int frame = 0; frame < 48; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        switch (frame) {
        case 4: strip->Tabs().DeleteTab(5, false); break;
        case 12: ::SendMessageW(strip->Handle(), WM_MOUSEMOVE, 0, at(4)); break;
        case 20: strip->Tabs().Add()->SetCaption(u"新标签页"); break;
        case 30: strip->SetActiveTabIndex(2); break;
        case 38: ::SendMessageW(strip->Handle(), WM_MOUSEMOVE, 0, at(1)); break;
        case 42: strip->SetBounds(0, 0, 640, 35); break;
        case 44: strip->LookAndFeel().Tabs()->NotActive()->Style()->SetStartColor(0x0000FFFF); break;
        default: break;
        }
        step(16);
        const std::vector<std::uint32_t> kept = paint();
        const int redrawn = strip->redrawn_items();
        if (redrawn < strip->Tabs().Count()) ++frames_with_pictures;
        EXPECT_EQ(difference(kept, paint_afresh()), "");
    }
    EXPECT_GE(frames_with_pictures, 20) << "the kept pictures were used";
}

TEST_F(kept_pictures, AHandlerOfTheDrawEventsSeesEveryItemDrawnEveryTime) {
    for (int i = 0; i < 4; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
    strip->SetActiveTabIndex(1);
    for (int i = 0; i < 4; ++i) step(200);
    paint();
    paint();
    EXPECT_EQ(strip->redrawn_items(), 0) << "nothing changed: every item comes from its picture";

    std::vector<draw_event> draws;
    strip->OnBeforeDrawItem = [&](TObject*, TGPGraphics&, const TRect&, TPageTabItemType type, int index, bool&) {
        draws.push_back({true, type, index});
    };
    for (int round = 0; round < 2; ++round) {
        draws.clear();
        paint();
        std::vector<int> tabs;
        for (const draw_event& e : draws)
            if (e.type == itTab) tabs.push_back(e.tab_index);
        EXPECT_EQ(tabs, (std::vector<int>{3, 2, 0, 1})) << "round " << round;
        EXPECT_EQ(draws.back().type, itAddButton);
    }
}

TEST_F(kept_pictures, PicturesStayWithinTheStripsAreaAndGoWithTheirItems) {
    for (int i = 0; i < 6; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
    for (int i = 0; i < 4; ++i) step(200);
    paint();
    std::size_t total = 0;
    for (int i = 0; i < strip->Tabs().Count(); ++i) {
        const std::size_t held = control(i).kept_picture().memory();
        EXPECT_GT(held, 0u) << i;
        EXPECT_LE(held, 724u * 35 * 4) << "no more than the strip's area";
        total += held;
    }
    EXPECT_LE(total, 724u * 35 * 4 * strip->Tabs().Count());
    control(2).Invalidate();
    EXPECT_EQ(control(2).kept_picture().memory(), 0u) << "an invalidated item draws afresh";
}

} // namespace
} // namespace kq
