#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "tabs/PageTabs.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <set>
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

} // namespace
} // namespace kq
