#include "tabs/PageTabsDragDrop.h"

#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "tabs/PageTabs.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kq {

namespace {

unsigned thread_count() {
    using unique_snapshot = unique_handle<HANDLE, ::CloseHandle, invalid_is_minus_one>;
    const unique_snapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    unsigned count = 0;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more; more = ::Thread32Next(snapshot.get(), &entry))
        if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++count;
    return count;
}

// Two strips of three tabs, one above the other in a shown form, driven by mouse and key messages posted
// to the upper strip's window, as the system delivers them while that strip holds the capture.
struct drag_fixture : test::visual_test {
    TForm* form = nullptr;
    TPageTabs* upper = nullptr;
    TPageTabs* lower = nullptr;
    std::vector<String> events;

    void SetUp() override {
        test::visual_test::SetUp();
        gdiplus_startup();
        form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 760, 140);
        upper = make_strip(u"upper", 0, u"a");
        lower = make_strip(u"lower", 60, u"b");
        form->Show();
        pump();
    }
    void TearDown() override {
        delete form;
        pump();
        gdiplus_shutdown();
        test::visual_test::TearDown();
    }

    TPageTabs* make_strip(const String& name, int top, const String& prefix) {
        auto* strip = new TPageTabs(form);
        strip->SetName(name);
        strip->SetBounds(0, top, 724, 35);
        strip->SetParent(form);
        for (int i = 0; i < 3; ++i) {
            TPageTab* tab = strip->Tabs().Add();
            tab->SetCaption(prefix + IntToStr(i));
            tab->SetTag(top + i);
        }
        strip->OnTabDragDrop = [this](TObject* sender, int, int, IDragTabObject*, bool cancelled, TTabDropOptions&) {
            events.push_back(static_cast<TComponent*>(sender)->Name() + (cancelled ? u" drop cancelled" : u" drop"));
        };
        strip->OnTabDragEnd = [this](TObject* sender, int, int, bool cancelled) {
            events.push_back(static_cast<TComponent*>(sender)->Name() + (cancelled ? u" end cancelled" : u" end"));
        };
        return strip;
    }

    void pump() {
        for (int i = 0; i < 10; ++i) {
            Application->ProcessMessages();
            ::Sleep(5);
        }
    }
    // Until no tab moves any more: presses must find the tabs where they end up.
    void settle() {
        pump_until([&] {
            return !upper->HasState(TPageTabState::stsAnimatingMovement) &&
                   !lower->HasState(TPageTabState::stsAnimatingMovement);
        });
    }
    // Points are the upper strip's client coordinates.
    void post(UINT msg, WPARAM keys, TPoint pt) {
        ::PostMessageW(upper->Handle(), msg, keys, MAKELPARAM(pt.X, pt.Y));
        pump();
    }
    void press(TPoint pt) {
        post(WM_MOUSEMOVE, 0, pt);
        post(WM_LBUTTONDOWN, MK_LBUTTON, pt);
    }
    void move(TPoint pt) { post(WM_MOUSEMOVE, MK_LBUTTON, pt); }
    void release(TPoint pt) { post(WM_LBUTTONUP, 0, pt); }
    void escape() {
        ::PostMessageW(upper->Handle(), WM_KEYDOWN, VK_ESCAPE, 1);
        pump();
    }

    static TPoint middle_of(TPageTabs& strip, int index) {
        const TRect r = strip.Tabs().Items(index)->TabControl()->ControlRect();
        const int clear_of_close_button = r.Right - r.Left > 100 ? 20 : 0;
        return {(r.Left + r.Right) / 2 - clear_of_close_button, (r.Top + r.Bottom) / 2};
    }
    // A point over the lower strip, in the upper strip's client coordinates.
    TPoint over_lower(int x) const { return {x, lower->Top() - upper->Top() + 17}; }
    static std::vector<String> captions(TPageTabs& strip) {
        std::vector<String> result;
        for (int i = 0; i < strip.Tabs().Count(); ++i) result.push_back(strip.Tabs().Items(i)->Caption());
        return result;
    }
    bool dragging() const { return upper->HasState(TPageTabState::stsDragging) || upper->DragTabObject(); }
};

using strings = std::vector<String>;

TEST_F(drag_fixture, AMoveBelowTheThresholdStartsNothingAndOneAtItStartsADrag) {
    struct row {
        int dx, dy;
        bool starts;
    } const rows[] = {{1, 0, false}, {0, 1, false}, {1, 1, false}, {2, 0, true}, {0, 2, true}, {-2, 1, true}};
    int started = 0;
    upper->OnTabDragStart = [&](TObject*, TPageTab* tab, bool&) {
        ++started;
        EXPECT_EQ(tab, upper->Tabs().Items(1));
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.dx << ", " << r.dy);
        started = 0;
        const TPoint down = middle_of(*upper, 1);
        press(down);
        move(TPoint{down.X + r.dx, down.Y + r.dy});
        EXPECT_EQ(dragging(), r.starts);
        EXPECT_EQ(started, r.starts ? 1 : 0);
        release(TPoint{down.X + r.dx, down.Y + r.dy});
        EXPECT_FALSE(dragging());
        EXPECT_EQ(captions(*upper), (strings{u"a0", u"a1", u"a2"}));
    }
}

TEST_F(drag_fixture, WithinAStripTheFirstTabMovesPastTheSecondAndADropAtItsOwnIndexCancels) {
    struct row {
        TPageTabDragType type;
        int to_tab; // the drop point: the middle of this tab's place
        strings order;
        TPageTabState ending;
    } const rows[] = {
        {TPageTabDragType::dtBetweenContainers, 1, {u"a1", u"a0", u"a2"}, TPageTabState::stsCompletingDrag},
        {TPageTabDragType::dtWithinContainer, 1, {u"a1", u"a0", u"a2"}, TPageTabState::stsCompletingDrag},
        {TPageTabDragType::dtBetweenContainers, 0, {u"a0", u"a1", u"a2"}, TPageTabState::stsCancellingDrag},
        {TPageTabDragType::dtWithinContainer, 0, {u"a0", u"a1", u"a2"}, TPageTabState::stsCancellingDrag},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(r.type) << " to " << r.to_tab);
        upper->Options().DragDrop()->SetDragType(r.type);
        upper->Tabs().Items(2)->SetActive(true);
        pump();
        settle();
        std::vector<TPageTabState> entered;
        upper->OnStateChange = [&](TObject*, TPageTabStates before, TPageTabStates now) {
            for (TPageTabState s : {TPageTabState::stsCancellingDrag, TPageTabState::stsCompletingDrag})
                if (now.contains(s) && !before.contains(s)) entered.push_back(s);
        };
        const TPoint down = middle_of(*upper, 0);
        const TPoint to = middle_of(*upper, r.to_tab);
        press(down);
        move(TPoint{down.X + 3, down.Y});
        move(TPoint{to.X + 40, to.Y}); // a little past the middle of that tab's place
        ASSERT_TRUE(dragging());
        EXPECT_EQ(upper->DragTabObject()->DropTabIndex(), r.to_tab);
        release(TPoint{to.X + 40, to.Y});
        upper->OnStateChange = nullptr;
        EXPECT_FALSE(dragging());
        EXPECT_EQ(captions(*upper), r.order);
        EXPECT_EQ(entered, (std::vector<TPageTabState>{r.ending}));
        EXPECT_EQ(upper->ActiveTab()->Caption(), u"a0") << "the dragged tab stays active";
        EXPECT_EQ(captions(*lower), (strings{u"b0", u"b1", u"b2"}));
        // Back to the start for the next row.
        upper->Tabs().Move(upper->Tabs().IndexOf(upper->ActiveTab()), 0);
        pump();
    }
}

TEST_F(drag_fixture, ADropOnTheOtherStripMovesTheTabThereWithItsCaptionTagAndPin) {
    unsigned threads_before = 0;
    for (const bool pinned : {false, true}) {
        SCOPED_TRACE(pinned ? "pinned" : "unpinned");
        // Counted once the system has made the threads it keeps for itself after a first drag.
        if (pinned) threads_before = thread_count();
        TPageTab* source = upper->Tabs().Items(1);
        source->SetPinned(pinned); // a pinned tab goes to the front
        source->SetTag(4711);
        pump();
        settle();
        const String caption = source->Caption();
        const int upper_count = upper->Tabs().Count();
        const int lower_count = lower->Tabs().Count();
        TPageTab* dropped = nullptr;
        IDragTabObject* reported = nullptr;
        upper->OnTabDragDropped = [&](TObject* sender, IDragTabObject* drag, TPageTab* tab) {
            EXPECT_EQ(sender, upper);
            reported = drag;
            dropped = tab;
        };
        events.clear();

        const TPoint down = middle_of(*upper, source->Index());
        press(down);
        move(TPoint{down.X + 5, down.Y});
        // Over the lower strip its three tabs make room for a fourth and narrow: this point lies left of
        // the middle of the second tab's narrowed place.
        const TPoint target = over_lower(middle_of(*lower, 1).X - 40);
        move(TPoint{target.X - 10, target.Y});
        move(target);
        ASSERT_TRUE(dragging());
        EXPECT_EQ(upper->DragTabObject()->DockControl(), static_cast<IPageTabDockControl*>(lower));
        EXPECT_EQ(upper->DragTabObject()->DragOverType(), TDragOverType::dotRemoteContainer);
        EXPECT_TRUE(lower->HasActiveDragObject());
        const int drop_index = upper->DragTabObject()->DropTabIndex();
        EXPECT_EQ(drop_index, pinned ? 0 : 1); // in front of the tab whose end lies past its middle
        release(target);

        EXPECT_FALSE(dragging());
        EXPECT_FALSE(lower->HasActiveDragObject());
        EXPECT_EQ(upper->Tabs().Count(), upper_count - 1);
        EXPECT_EQ(upper->Tabs().IndexOf(source), -1);
        ASSERT_EQ(lower->Tabs().Count(), lower_count + 1);
        ASSERT_NE(dropped, nullptr);
        EXPECT_NE(reported, nullptr);
        EXPECT_EQ(lower->Tabs().IndexOf(dropped), drop_index);
        EXPECT_EQ(dropped->Caption(), caption);
        EXPECT_EQ(dropped->Tag(), 4711);
        EXPECT_EQ(dropped->Pinned(), pinned);
        EXPECT_EQ(lower->ActiveTab(), dropped);
        EXPECT_EQ(events, (strings{u"lower drop", u"lower end", u"upper end"}));
        upper->OnTabDragDropped = nullptr;
    }
    // The strip under the mouse is found by a thread per move, each gone by the time the move is handled.
    EXPECT_TRUE(pump_until([&] { return thread_count() <= threads_before; }, 1000))
        << thread_count() << " threads, " << threads_before << " before the drag";
}

// A tab from the other strip takes its share of the width there, with one overlap more for the twelve
// tabs and it; dropped behind the last tab, the scroll width grows by the last tab's width.
TEST_F(drag_fixture, ATabDraggedInFromAnotherStripTakesItsShareOfTheWidth) {
    for (int i = 3; i < 12; ++i) lower->Tabs().Add()->SetCaption(u"b" + IntToStr(i));
    pump();
    settle();
    const TRect container = lower->TabContainerRect();
    ASSERT_EQ(container.Right - container.Left, 656);
    // (656 - 15) / 12 tabs
    EXPECT_EQ(lower->AdjustedTabWidth(), 53);
    EXPECT_EQ(lower->TabEndSpace(), 5);
    EXPECT_EQ(lower->ScrollWidth(), 12 * 53 + 5);

    const TPoint down = middle_of(*upper, 1);
    press(down);
    move(TPoint{down.X + 5, down.Y});
    const TPoint target = over_lower(container.Right - 2);
    move(TPoint{target.X - 10, target.Y});
    move(target);
    ASSERT_TRUE(lower->HasActiveDragObject());
    // 656 / 13 tabs: the dragged one counts, and so does its overlap
    EXPECT_EQ(lower->AdjustedTabWidth(), 50);
    EXPECT_EQ(lower->TabEndSpace(), 6);
    EXPECT_EQ(upper->DragTabObject()->DropTabIndex(), 12) << "behind the last tab";
    EXPECT_EQ(lower->ScrollWidth(), 12 * 50 + 6 + (50 + 15)) << "the advances and the last tab's width";
    escape();
    EXPECT_FALSE(dragging());
}

// While a strip drags its own tab over itself the others keep their widths, whatever happens to the
// strip meanwhile; the widths follow it again once the drag ends.
TEST_F(drag_fixture, TabsKeepTheirWidthsWhileTheirStripDragsOneOfThemOverItself) {
    for (int i = 3; i < 12; ++i) upper->Tabs().Add()->SetCaption(u"a" + IntToStr(i));
    pump();
    settle();
    const int before = upper->AdjustedTabWidth();
    ASSERT_EQ(before, 53);
    const TPoint down = middle_of(*upper, 2);
    press(down);
    move(TPoint{down.X + 5, down.Y});
    ASSERT_TRUE(dragging());
    upper->SetBounds(0, 0, 600, 35);
    upper->LayoutAll();
    EXPECT_EQ(upper->AdjustedTabWidth(), before);
    release(TPoint{down.X + 5, down.Y});
    ASSERT_FALSE(dragging());
    upper->LayoutAll();
    EXPECT_LT(upper->AdjustedTabWidth(), before);
}

// While the strip's active tab is dragged away, the tabs that close up over its old place are drawn
// whole: nothing of the absent tab's shape is kept out of its neighbours.
TEST_F(drag_fixture, NeighboursOfAnActiveTabDraggedAwayAreDrawnWhole) {
    ASSERT_FALSE(upper->Options().Display()->Tabs()->SeeThroughTabs());
    upper->Tabs().Items(1)->SetActive(true);
    pump();
    settle();
    const TPoint down = middle_of(*upper, 1);
    press(down);
    move(TPoint{down.X + 5, down.Y});
    move(TPoint{down.X + 5, 300}); // below the form, far from both strips
    ASSERT_TRUE(dragging());
    EXPECT_EQ(upper->DragTabObject()->DockControl(), nullptr);
    settle();

    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 724, -35, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const unique_hbitmap dib(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(dib);
    {
        const unique_hdc dc(::CreateCompatibleDC(nullptr));
        const HGDIOBJ old = ::SelectObject(dc.get(), dib.get());
        upper->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.get()), 0);
        ::GdiFlush();
        ::SelectObject(dc.get(), old);
    }
    // Below the captions, two fifths into each inactive tab: the same body colour in both.
    const auto body = [&](int index) {
        const TRect r = upper->Tabs().Items(index)->TabControl()->ControlRect();
        return static_cast<const std::uint32_t*>(bits)[(r.Bottom - 4) * 724 + r.Left + (r.Right - r.Left) * 2 / 5];
    };
    EXPECT_EQ(body(2), body(0)) << "the right neighbour, now where the dragged tab was";
    escape();
    EXPECT_FALSE(dragging());
}

TEST_F(drag_fixture, EscCancelsWhereverTheMouseIsAndEveryTabStaysWhereItWas) {
    struct row {
        const char* where;
        TPoint at;
    } const rows[] = {
        {"over its own strip", TPoint{500, 17}},
        {"over the other strip", over_lower(300)},
        {"outside every strip", TPoint{300, 400}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.where);
        events.clear();
        const TPoint down = middle_of(*upper, 0);
        press(down);
        move(TPoint{down.X + 5, down.Y});
        move(r.at);
        ASSERT_TRUE(dragging());
        escape();
        EXPECT_FALSE(dragging());
        EXPECT_FALSE(lower->HasActiveDragObject());
        EXPECT_EQ(captions(*upper), (strings{u"a0", u"a1", u"a2"}));
        EXPECT_EQ(captions(*lower), (strings{u"b0", u"b1", u"b2"}));
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), u"upper end cancelled");
        // The real release that follows is a plain mouse-up.
        release(r.at);
        EXPECT_EQ(captions(*upper), (strings{u"a0", u"a1", u"a2"}));
    }
}

TEST_F(drag_fixture, ReleasedOutsideEveryStripTheTabGoesUnlessAHandlerKeepsIt) {
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "deleted");
        upper->OnTabDragDrop = [&](TObject*, int, int, IDragTabObject*, bool, TTabDropOptions& options) {
            if (keep) options.exclude(TTabDropOption::tdDeleteDraggedTab);
        };
        const int count = upper->Tabs().Count();
        TPageTab* tab = upper->Tabs().Items(count - 1);
        const TPoint down = middle_of(*upper, count - 1);
        press(down);
        move(TPoint{down.X - 5, down.Y});
        move(TPoint{down.X, 300});
        ASSERT_TRUE(dragging());
        EXPECT_EQ(upper->DragTabObject()->DockControl(), nullptr);
        release(TPoint{down.X, 300});
        EXPECT_FALSE(dragging());
        EXPECT_EQ(upper->Tabs().IndexOf(tab) >= 0, keep);
        EXPECT_EQ(lower->Tabs().Count(), 3);
    }
}

TEST_F(drag_fixture, OutsideEveryStripALayeredImageOfTheTabFollowsTheMouse) {
    const TPoint down = middle_of(*upper, 1);
    press(down);
    move(TPoint{down.X + 5, down.Y});
    const TPoint outside{down.X + 40, 250};
    move(outside);
    ASSERT_TRUE(dragging());
    TCustomForm* image = upper->DragTabObject()->DragForm();
    ASSERT_NE(image, nullptr);
    const HWND window = image->Handle();
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    const POINT cursor = upper->ClientToScreen(to_system<POINT>(outside));
    const TPoint offset = upper->DragTabObject()->DragFormOffset();
    RECT r{};
    ::GetWindowRect(window, &r);
    EXPECT_EQ(r.left, cursor.x - offset.X);
    EXPECT_EQ(r.top, cursor.y - offset.Y);
    const TRect tab = upper->Tabs().Items(1)->TabControl()->ControlRect();
    EXPECT_EQ(r.right - r.left, tab.Right - tab.Left);
    EXPECT_EQ(r.bottom - r.top, tab.Bottom - tab.Top);

    // For a person to look at: the screen around the image.
    {
        const int w = 420, h = 120;
        const int x = std::max(0, static_cast<int>(r.left) - 100), y = std::max(0, static_cast<int>(r.top) - 40);
        const window_dc screen;
        unique_hbitmap shot(::CreateCompatibleBitmap(screen.get(), w, h));
        unique_hdc memory(::CreateCompatibleDC(screen.get()));
        {
            select_object selected(memory.get(), shot.get());
            ::BitBlt(memory.get(), 0, 0, w, h, screen.get(), x, y, SRCCOPY);
        }
        const TGPBitmap picture = TGPBitmap::FromHBITMAP(shot.get());
        const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        const std::wstring path = (std::filesystem::current_path() / "tab_drag_image.png").wstring();
        EXPECT_EQ(Gdiplus::DllExports::GdipSaveImageToFile(picture.Handle(), path.c_str(), &png, nullptr),
                  Gdiplus::Ok);
    }

    // Back over its strip the image hides and the tab is drawn in the strip again.
    move(TPoint{down.X + 40, down.Y});
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(upper->DragTabObject()->DockControl(), static_cast<IPageTabDockControl*>(upper));
    escape();
    EXPECT_FALSE(dragging());
}

TEST_F(drag_fixture, TheDragImageShowsTheTabTheOwnersControlOrBothScaledByTheFactor) {
    const TRect tab = upper->Tabs().Items(1)->TabControl()->ControlRect();
    const int tab_width = tab.Right - tab.Left, tab_height = tab.Bottom - tab.Top;
    const auto half = [](int pixels) { return static_cast<int>(Round(pixels * 0.5)); };
    using enum TPageTabDragDisplay;
    struct row {
        TPageTabDragDisplay display;
        bool control_supplied;
        bool shown;
        int width, height;
    } const rows[] = {
        {ddCursor, true, false, 0, 0},
        {ddTab, true, true, tab_width, tab_height},
        {ddTabAndControl, false, true, tab_width, tab_height}, // no control: the tab alone, unscaled
        {ddTabAndControl, true, true, half(lower->ClientWidth()), half(tab_height + lower->ClientHeight())},
        {ddControl, true, true, half(lower->ClientWidth()), half(lower->ClientHeight())},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(r.display) << (r.control_supplied ? " with" : " without")
                                        << " a control");
        upper->Options().DragDrop()->SetDragDisplay(r.display);
        upper->OnNeedDragImageControl = [&](TObject*, TPageTab*, TWinControl*& control) {
            if (r.control_supplied) control = lower;
        };
        int created = 0;
        upper->OnAfterDragImageCreated = [&](TObject*) { ++created; };
        const TPoint down = middle_of(*upper, 1);
        press(down);
        move(TPoint{down.X + 5, down.Y});
        move(TPoint{down.X, 300});
        ASSERT_TRUE(dragging());
        TCustomForm* image = upper->DragTabObject()->DragForm();
        EXPECT_EQ(image != nullptr, r.shown);
        EXPECT_EQ(created, r.shown ? 1 : 0);
        if (image) {
            RECT bounds{};
            ::GetWindowRect(image->Handle(), &bounds);
            EXPECT_EQ(bounds.right - bounds.left, r.width);
            EXPECT_EQ(bounds.bottom - bounds.top, r.height);
        }
        escape();
        release(TPoint{down.X, 300});
        EXPECT_EQ(captions(*upper), (strings{u"a0", u"a1", u"a2"}));
    }
}

TEST_F(drag_fixture, WithDragTypeNoneNothingStartsAndAPressStillSelects) {
    upper->Options().DragDrop()->SetDragType(TPageTabDragType::dtNone);
    bool asked = false;
    upper->OnTabDragStart = [&](TObject*, TPageTab*, bool&) { asked = true; };
    const TPoint down = middle_of(*upper, 0);
    press(down);
    move(TPoint{down.X + 30, down.Y});
    move(over_lower(300));
    EXPECT_FALSE(dragging());
    EXPECT_FALSE(lower->HasActiveDragObject());
    release(over_lower(300));
    EXPECT_FALSE(asked);
    EXPECT_EQ(upper->ActiveTab(), upper->Tabs().Items(0));
    EXPECT_EQ(captions(*upper), (strings{u"a0", u"a1", u"a2"}));
    EXPECT_EQ(captions(*lower), (strings{u"b0", u"b1", u"b2"}));
}

TEST(FindTabStripAtPoint, NothingOutsideTheApplicationsStrips) {
    EXPECT_EQ(FindTabStripAtPoint(TPoint{-5000, -5000}, 30, 5), nullptr);
    EXPECT_EQ(FindTabStripAtPoint(TPoint{-5000, -5000}, 7, 0), nullptr); // a step of 0 still ends
}

} // namespace

} // namespace kq
