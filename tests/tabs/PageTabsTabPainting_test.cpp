#include "framework/GdiPlus.h"
#include "framework/Graphics.h"
#include "framework/ImageLists.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsControls.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"
#include "tests/tabs/RecordingStrip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

namespace kq::test {
namespace {

using enum TPageTabItemType;
using draw_event = recording_strip::draw_event;

constexpr TRect tab_rect{0, 3, 200, 31};

// One active tab of the application's look on a 220 x 40 transparent canvas.
class tab_painting_test : public ::testing::Test {
protected:
    void SetUp() override {
        gdiplus_startup();
        item = strip.add_drawn_tab();
        tab = strip.Tabs().Items(0);
        tab->SetActive(true);
        item->SetPosition(tab_rect, 0, TPageTabsEaseType::ttNone);
        item->SetDrawState(TDrawState::dsActive, 0, TPageTabsEaseType::ttNone, true);
        strip.clear_changes();
    }
    void TearDown() override {
        canvas.reset();
        bitmap.reset();
        strip.Tabs().Clear();
        gdiplus_shutdown();
    }

    // Paints the tab on a fresh canvas, the mouse far away unless given.
    void paint(TPoint mouse = {-100, -100}, IPageTabPolygons* clip = nullptr) {
        canvas.reset();
        bitmap = std::make_unique<TGPBitmap>(220, 40);
        canvas = std::make_unique<TGPGraphics>(*bitmap);
        strip.draws.clear();
        item->DrawTo(*canvas, mouse.X, mouse.Y, clip);
        canvas->Flush();
    }
    std::uint8_t alpha(int x, int y) const { return static_cast<std::uint8_t>(bitmap->Pixel(x, y) >> 24); }
    // The strongest alpha in columns [x0, x1) over the tab's height.
    int max_alpha(int x0, int x1) const {
        int most = 0;
        for (int x = x0; x < x1; ++x)
            for (int y = tab_rect.Top; y < tab_rect.Bottom; ++y) most = std::max<int>(most, alpha(x, y));
        return most;
    }
    // Only the caption is drawn.
    void caption_only() { strip.handled_items = {itTab, itTabOutline, itTabCloseButton}; }
    std::vector<TPageTabItemType> befores() const {
        std::vector<TPageTabItemType> types;
        for (const draw_event& e : strip.draws)
            if (e.before) types.push_back(e.type);
        return types;
    }
    std::vector<TPageTabItemType> afters() const {
        std::vector<TPageTabItemType> types;
        for (const draw_event& e : strip.draws)
            if (!e.before) types.push_back(e.type);
        return types;
    }

    recording_strip strip;
    TPageTab* tab = nullptr;
    TPageTabControl* item = nullptr;
    std::unique_ptr<TGPBitmap> bitmap;
    std::unique_ptr<TGPGraphics> canvas;
};

// An image list of Count blank images of Width x Height.
void fill_image_list(TImageList& List, int Width, int Height, int Count) {
    List.SetSize(Width, Height);
    TBitmap images;
    images.SetSize(Width * Count, Height);
    List.Add(images, nullptr);
}

TEST_F(tab_painting_test, ATabWithoutDrawStateDrawsNothingAndRaisesNoEvent) {
    strip.add_tabs(1);
    TPageTab* fresh = strip.Tabs().Items(1);
    fresh->SetTabControl(std::make_unique<TPageTabControl>(&strip, fresh));
    fresh->TabControl()->SetPosition(tab_rect, 0, TPageTabsEaseType::ttNone);
    TGPBitmap target(220, 40);
    TGPGraphics graphics(target);
    fresh->TabControl()->DrawTo(graphics, 50, 15, nullptr);
    graphics.Flush();
    EXPECT_TRUE(strip.draws.empty());
    EXPECT_EQ(target.Pixel(100, 15) >> 24, 0u);
}

TEST_F(tab_painting_test, EventsComeInOrderWithTheTabsIndexAndRectangles) {
    paint();
    const tab_content_rects r = item->CalculateContentRects();
    const std::vector<draw_event> expected = {
        {true, itTab, 0, tab_rect},
        {true, itTabText, 0, r.TextRect},
        {false, itTabText, 0, r.TextRect},
        {true, itTabOutline, 0, tab_rect},
        {true, itTabCloseButton, 0, r.CloseRect},
        {false, itTabCloseButton, 0, r.CloseRect},
        {false, itTab, 0, tab_rect},
    };
    EXPECT_EQ(strip.draws, expected);
}

TEST_F(tab_painting_test, BodyFillsTheShapeUnlessHandledAndStaysOutOfOverlyingTabs) {
    paint();
    EXPECT_EQ(alpha(100, 20), 255) << "inside the body";
    EXPECT_EQ(alpha(1, 5), 0) << "beside the slanted edge";
    EXPECT_EQ(alpha(210, 20), 0) << "beyond the tab";

    strip.handled_items = {itTab};
    paint();
    EXPECT_LT(alpha(100, 20), 40) << "handled body: at most the outline's antialiasing";
    EXPECT_GT(max_alpha(0, 30), 0) << "the outline is still drawn";

    strip.handled_items.clear();
    TPageTabPolygons over;
    over.AddPolygon({{0, 0}, {100, 0}, {100, 40}, {0, 40}}, nullptr, nullptr);
    paint({-100, -100}, &over);
    EXPECT_EQ(alpha(50, 20), 0) << "under the overlying tab";
    EXPECT_EQ(alpha(150, 20), 255) << "beside it";
}

TEST_F(tab_painting_test, CaptionFadesTowardsItsEndOrIsTrimmed) {
    struct row {
        const char* name;
        TBiDiMode bidi;
        TTextTrimType trim;
        bool width_from_content;
        bool left_strong, right_strong;
    };
    const row rows[] = {
        {"fade, left to right", TBiDiMode::bdLeftToRight, TTextTrimType::tttFade, false, true, false},
        // Right to left is not here: the test platform's GDI+ refuses to draw text with the
        // right-to-left direction flag.
        {"trimmed: no fade", TBiDiMode::bdLeftToRight, TTextTrimType::tttCharacter, false, true, true},
        {"width from content, narrower than the widest tab: no fade", TBiDiMode::bdLeftToRight,
         TTextTrimType::tttFade, true, true, true},
    };
    caption_only();
    tab->SetCaption(u"WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW");
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        strip.bidi_mode = r.bidi;
        strip.Options().Display()->Tabs()->SetTextTrimType(r.trim);
        strip.Options().Display()->Tabs()->SetTabWidthFromContent(r.width_from_content);
        strip.Options().Display()->Tabs()->SetMaxWidth(400);
        paint();
        const TRect text = item->CalculateContentRects().TextRect;
        const int w = text.Right - text.Left;
        const int left = max_alpha(text.Left, text.Left + w / 4);
        const int right = max_alpha(text.Right - w / 20, text.Right);
        EXPECT_EQ(left >= 200, r.left_strong) << "left alpha " << left;
        EXPECT_EQ(right >= 200, r.right_strong) << "right alpha " << right;
    }
}

// Boxes for missing glyphs all look alike; two different characters drawn differently are real glyphs.
TEST_F(tab_painting_test, ChineseCaptionsDrawGlyphs) {
    caption_only();
    strip.Options().Display()->Tabs()->SetTextTrimType(TTextTrimType::tttNone);
    auto ink = [&](const String& caption) {
        tab->SetCaption(caption);
        paint();
        std::vector<bool> mask;
        for (int y = tab_rect.Top; y < tab_rect.Bottom; ++y)
            for (int x = 0; x < 60; ++x) mask.push_back(alpha(x, y) > 100);
        return mask;
    };
    const std::vector<bool> first = ink(u"标");
    const std::vector<bool> second = ink(u"签");
    EXPECT_GT(std::count(first.begin(), first.end(), true), 10);
    EXPECT_GT(std::count(second.begin(), second.end(), true), 10);
    EXPECT_NE(first, second);
}

TEST_F(tab_painting_test, MouseGlowOnlyInsideTheTabAndWithoutADrag) {
    struct row {
        const char* name;
        TPoint mouse;
        bool visible, drag;
        bool glow;
    };
    const row rows[] = {
        {"inside", {100, 15}, true, false, true},
        {"outside the shape", {1, 5}, true, false, false},
        {"hidden by the options", {100, 15}, false, false, false},
        {"a tab drag is over the strip", {100, 15}, true, true, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        strip.Options().Display()->TabMouseGlow()->SetVisible(r.visible);
        strip.drag_active = r.drag;
        paint(r.mouse);
        const std::vector<TPageTabItemType> types = befores();
        EXPECT_EQ(std::ranges::count(types, itTabMouseGlow), r.glow ? 1 : 0);
    }
}

TEST_F(tab_painting_test, ModifiedTabsRaiseTheirGlowWithinTheShape) {
    tab->SetModified(true);
    item->AnimateModified();
    paint();
    EXPECT_EQ(std::ranges::count(befores(), itTabModifiedGlow), 1);
    strip.Options().Display()->TabModifiedGlow()->SetStyle(TPageTabModifiedStyle::msNone);
    paint();
    EXPECT_EQ(std::ranges::count(befores(), itTabModifiedGlow), 0);
}

TEST_F(tab_painting_test, ImagesOverlayAndSpinnerByTheirOptions) {
    TImageList images(nullptr), overlays(nullptr), frames(nullptr);
    fill_image_list(images, 16, 16, 2);
    fill_image_list(overlays, 16, 16, 1);
    fill_image_list(frames, 16, 16, 3);
    strip.images = &images;
    strip.images_overlay = &overlays;
    strip.images_spinner_download = &frames;
    tab->SetImageIndex(1);
    tab->SetImageIndexOverlay(0);
    struct row {
        const char* name;
        TPageTabSpinnerState spinner;
        bool hide_images;
        std::vector<TPageTabItemType> images;
    };
    const row rows[] = {
        {"no spinner", TPageTabSpinnerState::tssNone, true, {itTabImage, itTabImageOverlay}},
        // An image spinner announces itself, then its frame as an image of its own.
        {"spinner replaces the images", TPageTabSpinnerState::tssImageDownload, true,
         {itTabImageSpinner, itTabImageSpinner}},
        {"spinner over the images", TPageTabSpinnerState::tssImageDownload, false,
         {itTabImage, itTabImageOverlay, itTabImageSpinner, itTabImageSpinner}},
        {"rendered spinner", TPageTabSpinnerState::tssRenderedDownload, true, {itTabImageSpinner}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        tab->SetSpinnerState(r.spinner);
        strip.Options().Display()->TabSpinners()->SetHideImagesWhenSpinnerVisible(r.hide_images);
        paint();
        std::vector<TPageTabItemType> drawn;
        for (TPageTabItemType t : befores())
            if (t == itTabImage || t == itTabImageOverlay || t == itTabImageSpinner) drawn.push_back(t);
        EXPECT_EQ(drawn, r.images);
    }
}

TEST_F(tab_painting_test, SpinnerEventsAndGuardedFrames) {
    TImageList frames(nullptr);
    fill_image_list(frames, 16, 16, 3);
    strip.images_spinner_download = &frames;

    tab->SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload);
    paint();
    EXPECT_EQ(std::ranges::count(afters(), itTabImageSpinner), 0) << "a rendered spinner has no after-event";
    strip.handled_items = {itTabImageSpinner};
    paint();
    EXPECT_EQ(std::ranges::count(afters(), itTabImageSpinner), 0) << "handled: no after-event";
    strip.handled_items.clear();

    tab->SetSpinnerState(TPageTabSpinnerState::tssImageDownload);
    paint();
    EXPECT_EQ(std::ranges::count(afters(), itTabImageSpinner), 1) << "an image spinner has its after-event";

    // The list shrinks below the frame the tab stands on.
    item->AnimateSpinner();
    item->AnimateSpinner();
    ASSERT_EQ(item->SpinnerImageIndex(), 2);
    frames.Delete(2);
    paint();
    EXPECT_EQ(std::ranges::count(befores(), itTabImageSpinner), 1);
    EXPECT_EQ(std::ranges::count(afters(), itTabImageSpinner), 0) << "no frame drawn outside the list";
}

TEST_F(tab_painting_test, CloseButtonLooksFollowItsState) {
    const tab_content_rects r = item->CalculateContentRects();
    const int cx = (r.CloseRect.Left + r.CloseRect.Right) / 2;
    const int cy = r.CloseRect.Top + 2;
    strip.handled_items = {itTab, itTabOutline, itTabText};
    std::vector<ARGB> seen;
    for (TDrawState state : {TDrawState::dsNotActive, TDrawState::dsHot, TDrawState::dsDown}) {
        item->SetCloseButtonState(state);
        paint();
        seen.push_back(bitmap->Pixel(cx, cy));
    }
    EXPECT_NE(seen[0], seen[1]) << "hot differs from normal";
    EXPECT_NE(seen[1], seen[2]) << "down differs from hot";
}

// A part of the close button whose colours are all transparent is left out; colour at either end of the
// circle's gradient, on its outline or on the cross is drawn.
TEST_F(tab_painting_test, CloseButtonPartsAreDrawnExactlyWhenTheyHaveColour) {
    const tab_content_rects r = item->CalculateContentRects();
    const TRect& c = r.CloseRect;
    const int middle = (c.Top + c.Bottom) / 2;
    const TPoint inside{c.Left + 3, middle}, outline{c.Left, middle}, cross{(c.Left + c.Right) / 2, middle};
    struct row {
        std::uint8_t start, stop, edge;
        int cross;
        bool fill_shows, outline_shows, cross_shows;
    };
    const row rows[] = {
        {0, 0, 0, 0, false, false, false}, {255, 0, 0, 0, true, true, true}, {0, 255, 0, 0, true, true, true},
        {0, 0, 255, 0, false, true, false}, {0, 0, 0, 255, false, false, true},
    };
    strip.handled_items = {itTab, itTabOutline, itTabText};
    item->SetCloseButtonState(TDrawState::dsNotActive);
    TPageTabsLookAndFeelCloseButton& look = *strip.LookAndFeel().CloseButton();
    for (const row& w : rows) {
        TPageTabsLookAndFeelStyle& circle = *look.Circle()->Normal();
        circle.SetStartAlpha(w.start);
        circle.SetStopAlpha(w.stop);
        circle.SetOutlineAlpha(w.edge);
        look.Cross()->Normal()->SetAlpha(w.cross);
        paint();
        const auto shown = [&](TPoint p) { return alpha(p.X, p.Y) > 0; };
        EXPECT_EQ(shown(inside), w.fill_shows) << int{w.start} << " " << int{w.stop};
        EXPECT_EQ(shown(outline), w.outline_shows) << int{w.edge};
        EXPECT_EQ(shown(cross), w.cross_shows) << w.cross;
    }
}

// A picture for a person to look at: the application's look, a Chinese caption, the mouse on the tab.
TEST_F(tab_painting_test, ScreenshotOfATab) {
    tab->SetCaption(u"招标公告 - 新标签页");
    tab->SetModified(true);
    item->AnimateModified();
    paint({60, 15});
    // Left in the working directory, beside the test's other output.
    const std::filesystem::path path = std::filesystem::current_path() / "tab_painting.png";
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    EXPECT_EQ(Gdiplus::DllExports::GdipSaveImageToFile(bitmap->Handle(), path.wstring().c_str(), &png, nullptr),
              Gdiplus::Ok);
}

} // namespace
} // namespace kq::test
