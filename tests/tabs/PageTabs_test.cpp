#include "tabs/PageTabs.h"

#include "tests/tabs/MainWindowStrip.h"

#include "framework/ComponentText.h"
#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/Messages.h"
#include "framework/Object.h"
#include "framework/Properties.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

namespace kq {

// Found by argument lookup, so failures show rectangles.
static void PrintTo(const TRect& r, std::ostream* out) {
    *out << '(' << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ')';
}

namespace {

using PageTabsWindow = test::visual_test;

// A strip of the main window's size with its options, no window needed for layout.
struct strip_fixture : ::testing::Test {
    std::unique_ptr<TPageTabs> strip = std::make_unique<TPageTabs>(nullptr);

    void SetUp() override {
        test::apply_main_window_settings(*strip);
        strip->SetBounds(0, 0, 724, 35);
    }
    void add_tabs(int Count) {
        for (int i = 0; i < Count; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
    }
    // Tabs jump to their places, as after a resize.
    void layout() {
        strip->IncludeState(TPageTabState::stsResizing);
        strip->LayoutAll();
    }
    TRect tab_rect(int Index) { return strip->Tabs().Items(Index)->TabControl()->EndRect(); }
};

TEST_F(strip_fixture, ThreeTabsTakeTheMaximumWidthAndTheAddButtonFollowsThem) {
    add_tabs(3);
    layout();
    EXPECT_EQ(strip->MaxAddButtonRight(), 691);
    EXPECT_EQ(strip->TabContainerRect(), (TRect{0, 3, 690, 35}));
    EXPECT_EQ(tab_rect(0), (TRect{0, 3, 215, 35}));
    EXPECT_EQ(tab_rect(1), (TRect{200, 3, 415, 35}));
    EXPECT_EQ(tab_rect(2), (TRect{400, 3, 615, 35}));
    EXPECT_EQ(strip->ScrollWidth(), 600);
    EXPECT_EQ(strip->AddButtonControl().ControlRect(), (TRect{612, 8, 643, 22}));
    EXPECT_EQ(strip->GetTabDisplayState(), TTabDisplayState::tdNormal);
    EXPECT_FALSE(strip->ScrollButtonsVisible());
}

TEST_F(strip_fixture, TenTabsShareTheRemainderOverTheFirstAdvances) {
    add_tabs(10);
    layout();
    EXPECT_EQ(strip->AdjustedTabWidth(), 67);
    EXPECT_EQ(strip->TabEndSpace(), 5);
    int left = 0;
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tab_rect(i), (TRect{left, 3, left + 82, 35}));
        left += i < 5 ? 68 : 67;
    }
    EXPECT_EQ(strip->ScrollWidth(), 675);
    // The last tab reaches the container's end: compressed, and the add button sits at its limit.
    EXPECT_EQ(strip->GetTabDisplayState(), TTabDisplayState::tdCompressed);
    EXPECT_EQ(strip->AddButtonControl().ControlRect().Left, 691);
}

TEST_F(strip_fixture, WithoutTabsTheAddButtonSitsAtThePaddingAndNothingScrolls) {
    strip->Options().Display()->TabContainer()->SetPaddingLeft(4);
    layout();
    EXPECT_EQ(strip->AdjustedTabWidth(), 25);
    EXPECT_EQ(strip->AddButtonControl().ControlRect().Left, 4);
    EXPECT_EQ(strip->MaxScrollOffset(), 0);
    EXPECT_EQ(strip->GetTabDisplayState(), TTabDisplayState::tdNormal);
}

TEST_F(strip_fixture, OnlyPinnedTabsArePinnedWidthWide) {
    add_tabs(2);
    strip->Tabs().Items(0)->SetPinned(true);
    strip->Tabs().Items(1)->SetPinned(true);
    layout();
    EXPECT_EQ(strip->AdjustedTabWidth(), 25);
    EXPECT_EQ(tab_rect(0), (TRect{0, 3, 54, 35}));
    EXPECT_EQ(tab_rect(1), (TRect{39, 3, 93, 35}));
    EXPECT_EQ(strip->ScrollWidth(), 78);
}

TEST_F(strip_fixture, ManyTabsScrollWithClampedOffsetsAndScrollIntoViewBringsATabsEndIn) {
    add_tabs(40); // 40 x 25 = 1000 pixels in a 690-pixel container
    layout();
    ASSERT_EQ(strip->GetTabDisplayState(), TTabDisplayState::tdScrolling);
    layout(); // the scroll buttons now take their room
    const int maximum = strip->MaxScrollOffset();
    EXPECT_EQ(maximum, strip->ScrollWidth() - (strip->TabContainerRect().Right - strip->TabContainerRect().Left) + 15);

    struct {
        int set, expected;
    } const cases[] = {{100, 100}, {-5, 0}, {maximum + 50, maximum}, {3, 3}};
    for (const auto& c : cases) {
        strip->SetScrollOffset(c.set);
        EXPECT_EQ(strip->ScrollOffset(), c.expected) << c.set;
    }

    strip->SetScrollOffset(0);
    TPageTab* distant = strip->Tabs().Items(30);
    strip->ScrollIntoView(distant);
    const TRect& container = strip->TabContainerRect();
    EXPECT_LE(distant->TabControl()->EndRect().Right, container.Right + strip->ScrollOffset());
    EXPECT_GT(distant->TabControl()->EndRect().Right, container.Right + strip->ScrollOffset() - 25);
    strip->ScrollIntoView(strip->Tabs().Items(0));
    EXPECT_EQ(strip->ScrollOffset(), 0);

    strip->ScrollTabs(TScrollDirection::mdsRight, false);
    EXPECT_EQ(strip->ScrollOffset(), 20);
    strip->ScrollTabs(TScrollDirection::mdsLeft, false);
    strip->ScrollTabs(TScrollDirection::mdsLeft, false);
    EXPECT_EQ(strip->ScrollOffset(), 0);
}

TEST_F(strip_fixture, WithScrollingOffTheOffsetNeverChanges) {
    add_tabs(40);
    layout();
    strip->Options().Scrolling()->SetEnabled(false);
    const int before = strip->ScrollOffset();
    for (int value : {0, 50, -1}) strip->SetScrollOffset(value);
    EXPECT_EQ(strip->ScrollOffset(), before);
}

// --- Events and states

struct event_log_fixture : strip_fixture {
    std::vector<std::string> events;
    void SetUp() override {
        strip_fixture::SetUp();
        // Only additions: styles and look report their own changes on the way.
        strip->OnChange = [this](TObject*, TPageTab*, TTabChangeType type) {
            if (type == TTabChangeType::tcAdded) events.push_back("added");
        };
        strip->OnActiveTabChanging = [this](TObject*, TPageTab*, TPageTab* tab, bool&) {
            events.push_back("changing " + string_to_utf8(tab->Caption()));
        };
        strip->OnActiveTabChanged = [this](TObject*, TPageTab* tab) {
            events.push_back("changed " + string_to_utf8(tab->Caption()));
        };
    }
};

TEST_F(event_log_fixture, TheFirstTabIsActivatedBetweenItsTwoAddedChanges) {
    TPageTab* tab = strip->Tabs().Add();
    EXPECT_EQ(strip->ActiveTab(), tab);
    const std::vector<std::string> expected{"added", "changing ", "changed ", "added"};
    EXPECT_EQ(events, expected);
}

TEST_F(event_log_fixture, ActiveTabIndexIgnoresValuesOutOfRangeAndMinusOneClearsIt) {
    add_tabs(3);
    strip->SetActiveTabIndex(1);
    ASSERT_EQ(strip->ActiveTabIndex(), 1);
    events.clear();
    for (int value : {3, -2}) {
        strip->SetActiveTabIndex(value);
        EXPECT_EQ(strip->ActiveTabIndex(), 1) << value;
    }
    EXPECT_TRUE(events.empty());
    // A neighbour takes over, as when the active tab is deactivated otherwise.
    strip->SetActiveTabIndex(-1);
    EXPECT_EQ(strip->ActiveTabIndex(), 2);
}

TEST_F(event_log_fixture, DeletingTheOnlyTabLeavesNoneActive) {
    strip->Options().Animation()->MovementAnimations()->TabDelete()->SetUseDefaultEaseType(false);
    strip->Options().Animation()->MovementAnimations()->TabDelete()->SetEaseType(TPageTabsEaseType::ttNone);
    add_tabs(1);
    strip->Tabs().DeleteTab(0, false);
    EXPECT_EQ(strip->Tabs().Count(), 0);
    EXPECT_EQ(strip->ActiveTabIndex(), -1);
}

TEST_F(strip_fixture, StatesReportOnlyEffectiveChanges) {
    std::vector<std::pair<bool, bool>> reports;
    strip->OnStateChange = [&](TObject*, TPageTabStates previous, TPageTabStates current) {
        reports.emplace_back(previous.contains(TPageTabState::stsMouseDown),
                             current.contains(TPageTabState::stsMouseDown));
    };
    EXPECT_TRUE(strip->IncludeState(TPageTabState::stsMouseDown));
    EXPECT_FALSE(strip->IncludeState(TPageTabState::stsMouseDown));
    EXPECT_TRUE(strip->ExcludeState(TPageTabState::stsMouseDown));
    EXPECT_FALSE(strip->ExcludeState(TPageTabState::stsMouseDown));
    const std::vector<std::pair<bool, bool>> expected{{false, true}, {true, false}};
    EXPECT_EQ(reports, expected);
}

TEST_F(strip_fixture, DescriptionsNameEmptyCaptionsAndNothingOutsideTheList) {
    add_tabs(1);
    strip->Tabs().Add();
    EXPECT_EQ(strip->GetTabDescription(0), u"0");
    EXPECT_EQ(strip->GetTabDescription(1), u"<No Caption>");
    EXPECT_EQ(strip->GetTabDescription(2), u"");
    EXPECT_EQ(strip->GetTabDescription(-1), u"");
}

TEST_F(strip_fixture, TheAddButtonAddsATabUnlessHandled) {
    struct probe : TPageTabs {
        using TPageTabs::TPageTabs;
        void click() { DoOnButtonAddClick(); }
    };
    probe p(nullptr);
    bool handle = true;
    p.OnButtonAddClick = [&](TObject*, bool& Handled) { Handled = handle; };
    p.click();
    EXPECT_EQ(p.Tabs().Count(), 0);
    handle = false;
    p.click();
    EXPECT_EQ(p.Tabs().Count(), 1);
}

TEST_F(strip_fixture, AClosedTabShrinksToTheAnimationWidthBeforeItGoes) {
    add_tabs(3);
    layout();
    strip->Tabs().DeleteTab(1, false);
    ASSERT_EQ(strip->Tabs().Count(), 3);
    TPageTab* closing = strip->Tabs().Items(1);
    EXPECT_TRUE(closing->MarkedForDeletion());
    EXPECT_TRUE(strip->HasState(TPageTabState::stsAnimatingCloseTab));
    const TRect end = closing->TabControl()->EndRect();
    EXPECT_EQ(end.Right - end.Left, strip->Options().Animation()->MinimumTabAnimationWidth());
    // The active tab handed over to a neighbour that is not going.
    EXPECT_NE(strip->ActiveTab(), closing);
    EXPECT_NE(strip->ActiveTab(), nullptr);
}

TEST_F(PageTabsWindow, TheWindowStartsUnscrolledAndItsFirstPaintLaysOut) {
    TForm* form = CreateForm<TForm>(Application);
    auto destroy = scope_exit([&] { delete form; });
    form->SetBounds(0, 0, 800, 80);
    auto* strip = new TPageTabs(form);
    test::apply_main_window_settings(*strip);
    strip->SetBounds(0, 0, 724, 35);
    strip->SetParent(form);
    EXPECT_EQ(strip->ScrollOffset(), -1);
    for (int i = 0; i < 3; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
    form->Show();
    for (int i = 0; i < 20; ++i) {
        Application->ProcessMessages();
        ::Sleep(5);
    }
    EXPECT_EQ(strip->ScrollOffset(), 0);
    EXPECT_FALSE(strip->HasState(TPageTabState::stsFirstPaint));
    EXPECT_FALSE(strip->HasState(TPageTabState::stsControlPositionsInvalidated));
    EXPECT_EQ(strip->TabContainerRect(), (TRect{0, 3, 690, 35}));
    EXPECT_EQ(strip->Tabs().Items(2)->TabControl()->EndRect(), (TRect{400, 3, 615, 35}));
    EXPECT_EQ(strip->ActiveTabIndex(), 2);
}

// A strip of the main window in a shown form, clicked with posted mouse messages.
struct window_fixture : test::visual_test {
    TForm* form = nullptr;
    TPageTabs* strip = nullptr;
    void SetUp() override {
        test::visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 800, 80);
        strip = new TPageTabs(form);
        test::apply_main_window_settings(*strip);
        strip->Options().Behaviour()->SetBackgroundDragMovesForm(false);
        // Right clicks would pop the menu up and wait for a choice; tests build it instead.
        strip->Options().Behaviour()->SetUseBuiltInPopupMenu(false);
        strip->SetBounds(0, 0, 724, 35);
        strip->SetParent(form);
        for (int i = 0; i < 3; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
        form->Show();
        pump();
    }
    void TearDown() override {
        delete form;
        test::visual_test::TearDown();
    }
    void pump() {
        for (int i = 0; i < 10; ++i) {
            Application->ProcessMessages();
            ::Sleep(5);
        }
    }
    void send(UINT Msg, WPARAM WParam, TPoint Pt) {
        ::SendMessageW(strip->Handle(), Msg, WParam, MAKELPARAM(Pt.X, Pt.Y));
    }
    void click(TPoint Down, TPoint Up, bool Right = false) {
        send(WM_MOUSEMOVE, 0, Down);
        send(Right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, Right ? MK_RBUTTON : MK_LBUTTON, Down);
        send(WM_MOUSEMOVE, Right ? MK_RBUTTON : MK_LBUTTON, Up);
        send(Right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, Up);
        pump();
    }
    TPoint close_button_of(int Index) {
        const TRect r = strip->Tabs().Items(Index)->TabControl()->GetCloseButonRect();
        return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
    }
};

TEST_F(window_fixture, TheCloseButtonClosesOnlyWhenPressedAndReleasedOnIt) {
    std::vector<TPageTab*> asked;
    bool allow = true;
    strip->OnButtonCloseTabClick = [&](TObject*, TPageTab* tab, bool& Close) {
        asked.push_back(tab);
        Close = allow;
    };
    EXPECT_EQ(strip->HitTest(close_button_of(0), false).HitTestArea, THitTestArea::htCloseButton);
    EXPECT_EQ(strip->HitTest(TPoint{-1, 5}, false).HitTestArea, THitTestArea::htNowhere);

    click(close_button_of(0), TPoint{300, 20}); // released elsewhere
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(strip->Tabs().Count(), 3);

    click(close_button_of(0), close_button_of(0), true); // right click selects
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(strip->ActiveTabIndex(), 0);

    allow = false;
    click(close_button_of(1), close_button_of(1));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], strip->Tabs().Items(1));
    EXPECT_FALSE(strip->Tabs().Items(1)->MarkedForDeletion());

    allow = true;
    TPageTab* closed = strip->Tabs().Items(1);
    click(close_button_of(1), close_button_of(1));
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_TRUE(strip->Tabs().IndexOf(closed) < 0 || closed->MarkedForDeletion());
    EXPECT_TRUE(strip->HasState(TPageTabState::stsDeletingUnPinnedTabs));

    // Widths come back only after the mouse has left for the delay.
    strip->Perform(CM_MOUSELEAVE, 0, 0);
    pump();
    EXPECT_TRUE(strip->HasState(TPageTabState::stsDeletingUnPinnedTabs));
    for (int i = 0; i < 100 && strip->HasState(TPageTabState::stsDeletingUnPinnedTabs); ++i) pump();
    EXPECT_FALSE(strip->HasState(TPageTabState::stsDeletingUnPinnedTabs));
}

// A close button lit by the mouse goes dark once the mouse has left the strip, the active tab's too (a
// tab sliding under a resting cursor lights it without any move).
TEST_F(window_fixture, ACloseButtonLitByTheMouseGoesDarkWhenTheMouseLeaves) {
    strip->Tabs().Items(0)->SetActive(true);
    pump();
    const struct {
        int tab;
        TDrawState after;
    } cases[] = {{0, TDrawState::dsActive}, {1, TDrawState::dsNotActive}};
    for (const auto& c : cases) {
        const TPageTabControl* control = strip->Tabs().Items(c.tab)->TabControl();
        send(WM_MOUSEMOVE, 0, close_button_of(c.tab));
        pump();
        EXPECT_EQ(control->CloseButtonState(), TDrawState::dsHot) << c.tab;
        strip->Perform(CM_MOUSELEAVE, 0, 0);
        pump();
        EXPECT_EQ(control->CloseButtonState(), c.after) << c.tab;
    }
}

TEST_F(window_fixture, TheBuiltInMenuListsItsCommandsAndTheTabsWithTheActiveChecked) {
    strip->Tabs().Items(1)->SetCaption(u"");
    const auto captions = [&] {
        std::vector<std::pair<String, bool>> items;
        for (int i = 0; i < strip->TabPopupMenu()->Items().Count(); ++i) {
            const TMenuItem* item = strip->TabPopupMenu()->Items().Items(i);
            items.emplace_back(item->Caption(), item->Checked());
        }
        return items;
    };
    // The background: no tab commands.
    send(WM_RBUTTONDOWN, MK_RBUTTON, TPoint{700, 2});
    send(WM_RBUTTONUP, 0, TPoint{700, 2});
    strip->BuildTabPopupMenu();
    const std::vector<std::pair<String, bool>> background{
        {u"New tab", false}, {u"-", false}, {u"0", false}, {u"<No Caption>", false}, {u"2", true}};
    EXPECT_EQ(captions(), background);

    // A right click on a tab selects it and offers to delete and pin it.
    click(TPoint{100, 20}, TPoint{100, 20}, true);
    strip->BuildTabPopupMenu();
    const std::vector<std::pair<String, bool>> on_tab{
        {u"New tab", false},     {u"-", false}, {u"Delete Tab", false}, {u"-", false},
        {u"Pin this tab", false}, {u"-", false}, {u"0", true},          {u"<No Caption>", false},
        {u"2", false}};
    EXPECT_EQ(captions(), on_tab);

    bool asked = false;
    strip->OnButtonCloseTabClick = [&](TObject*, TPageTab*, bool&) { asked = true; };
    TPageTab* first = strip->Tabs().Items(0);
    strip->TabPopupMenu()->Items().Items(2)->OnClick(nullptr); // "Delete Tab"
    EXPECT_FALSE(asked);
    EXPECT_TRUE(strip->Tabs().IndexOf(first) < 0 || first->MarkedForDeletion());
}

// Closes the popup menu once it shows: a cancel before the menu loop would be lost.
std::thread cancel_menu_once_shown() {
    return std::thread([] {
        const auto menu_shows = [] {
            const HWND shown = ::FindWindowW(L"#32768", nullptr);
            return shown && ::IsWindowVisible(shown);
        };
        for (int i = 0; i < 1000 && !menu_shows(); ++i) ::Sleep(20);
        ::SendMessageW(PopupList->Window(), WM_CANCELMODE, 0, 0);
    });
}

// The system keeps what it draws separators and radio checks with from the first menu that shows them:
// such a menu is shown before the handles are counted.
struct radio_menu_fixture : window_fixture {
    void SetUp() override {
        forms_startup();
        menus_startup();
        {
            TPopupMenu menu(nullptr);
            for (const char16_t* caption : {u"warm-up", u"-", u"checked"}) {
                auto* item = new TMenuItem(&menu);
                item->SetCaption(caption);
                item->SetRadioItem(true);
                item->SetChecked(caption[0] == u'c');
                menu.Items().Add(item);
            }
            std::thread user = cancel_menu_once_shown();
            menu.Popup(10, 10);
            user.join();
        }
        menus_shutdown();
        forms_shutdown();
        window_fixture::SetUp();
    }
};

TEST_F(radio_menu_fixture, TheBuiltInMenuIsHandedToItsHandlerWithTheTabUnderTheMouseBeforeItShows) {
    strip->Options().Behaviour()->SetUseBuiltInPopupMenu(true);
    TPageTab* seen_tab = nullptr;
    std::vector<String> seen_items;
    bool shown_before = false;
    strip->OnTabPopupMenu = [&](TObject*, TPageTab* tab, TPopupMenu* menu) {
        seen_tab = tab;
        for (int i = 0; i < menu->Items().Count(); ++i) seen_items.push_back(menu->Items().Items(i)->Caption());
        shown_before = ::FindWindowW(L"#32768", nullptr) && ::IsWindowVisible(::FindWindowW(L"#32768", nullptr));
    };
    std::thread user = cancel_menu_once_shown();
    send(WM_MOUSEMOVE, 0, TPoint{100, 20});
    ::SendMessageW(strip->Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(strip->Handle()), -1);
    user.join();
    EXPECT_EQ(seen_tab, strip->Tabs().Items(0));
    EXPECT_EQ(seen_items, (std::vector<String>{u"New tab", u"-", u"0", u"1", u"2"}));
    EXPECT_FALSE(shown_before);
}

TEST_F(window_fixture, MenuCommandsForTabsThatHaveGoneDoNothingAndOthersFindTheirTabs) {
    click(TPoint{300, 20}, TPoint{300, 20}, true); // right click on tab "1"
    strip->BuildTabPopupMenu();
    TPopupMenu& menu = *strip->TabPopupMenu();
    ASSERT_EQ(menu.Items().Items(2)->Caption(), u"Delete Tab");
    TPageTab* last = strip->Tabs().Items(2);
    // Gone while the menu was up: the command runs only after it closes.
    strip->Tabs().DeleteTab(1, true);
    ASSERT_EQ(strip->Tabs().Count(), 2);
    menu.Items().Items(2)->OnClick(nullptr); // "Delete Tab" for the gone tab
    menu.Items().Items(4)->OnClick(nullptr); // "Pin this tab"
    EXPECT_EQ(strip->Tabs().Count(), 2);
    EXPECT_FALSE(strip->Tabs().Items(1)->Pinned()) << "the tab now at the index is another";
    strip->SetActiveTabIndex(0);
    menu.Items().Items(7)->OnClick(nullptr); // tab "1", gone
    EXPECT_EQ(strip->ActiveTabIndex(), 0);
    menu.Items().Items(8)->OnClick(nullptr); // tab "2", now at index 1
    EXPECT_EQ(strip->ActiveTab(), last);
}

TEST_F(window_fixture, HintsNameTheTabUnderTheCursorAndAHandlerMayChangeThem) {
    strip->Tabs().Items(1)->SetCaption(u"");
    const auto hint = [&](TPoint Pt) {
        THintInfo info;
        info.CursorPos = to_system<POINT>(Pt);
        strip->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
        return info;
    };
    THintInfo info = hint({100, 20});
    EXPECT_EQ(info.HintStr, u"0");
    EXPECT_EQ(info.HideTimeout, 5000);
    EXPECT_EQ(info.CursorRect.right, strip->Tabs().Items(0)->TabControl()->ControlRect().Right);
    EXPECT_EQ(hint({300, 20}).HintStr, u"<No Caption>");
    EXPECT_EQ(hint({700, 2}).HintStr, u"") << "no tab: left to the default handling";

    strip->OnShowHint = [](TObject*, const THitTestResult& hit, String& text, int& timeout) {
        if (hit.HitTestArea == THitTestArea::htBackground) text = u"empty";
        timeout = 100;
    };
    info = hint({700, 2});
    EXPECT_EQ(info.HintStr, u"empty");
    EXPECT_EQ(info.HideTimeout, 100);
    EXPECT_EQ(info.CursorRect.right, strip->ClientWidth());
}

TEST_F(window_fixture, ADoubleClickOnTheEmptyStripMaximisesAndRestoresTheForm) {
    ASSERT_EQ(form->WindowState(), TWindowState::wsNormal);
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, TPoint{700, 2});
    EXPECT_EQ(form->WindowState(), TWindowState::wsMaximized);
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, TPoint{700, 2});
    EXPECT_EQ(form->WindowState(), TWindowState::wsNormal);
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, TPoint{100, 20});
    EXPECT_EQ(form->WindowState(), TWindowState::wsNormal) << "a tab is not the empty strip";
}

TEST_F(window_fixture, DoubleClicksOnATabReportIt) {
    std::vector<TPageTab*> clicked;
    strip->OnTabDblClick = [&](TObject*, TPageTab* tab) { clicked.push_back(tab); };
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, TPoint{100, 20});
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, TPoint{700, 2});
    EXPECT_EQ(clicked, std::vector<TPageTab*>{strip->Tabs().Items(0)});
}

TEST_F(window_fixture, TheAddButtonRaisesItsEventAndTheWheelScrollsClamped) {
    int clicks = 0;
    strip->OnButtonAddClick = [&](TObject*, bool&) { ++clicks; };
    const TRect add = strip->AddButtonControl().ControlRect();
    const TPoint centre{(add.Left + add.Right) / 2, (add.Top + add.Bottom) / 2};
    EXPECT_EQ(strip->HitTest(centre, false).HitTestArea, THitTestArea::htAddButton);
    click(centre, centre);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(strip->Tabs().Count(), 4);

    // Four tabs fit: a notch changes nothing.
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), TPoint{10, 10});
    EXPECT_EQ(strip->ScrollOffset(), 0);
    for (int i = 0; i < 40; ++i) strip->Tabs().Add();
    pump();
    strip->SetScrollOffset(0); // the newest tab, active, was scrolled into view
    send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), TPoint{10, 10});
    EXPECT_EQ(strip->ScrollOffset(), 120);
    for (int i = 0; i < 20; ++i) send(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), TPoint{10, 10});
    EXPECT_EQ(strip->ScrollOffset(), strip->MaxScrollOffset());
}


// A strip that lets the test place its items.
class placing_strip : public TPageTabs {
public:
    using TPageTabs::TPageTabs;
    using TCustomPageTabs::PlaceControlAtLeft;
};

TEST(TPageTabs, PlacingAtALeftEdgeKeepsWidthTopAndBottom) {
    placing_strip strip(nullptr);
    test::apply_main_window_settings(strip);
    strip.SetBounds(0, 0, 724, 35);
    strip.Tabs().Add();
    strip.IncludeState(TPageTabState::stsResizing);
    strip.LayoutAll();
    TPageTabControl& control = *strip.Tabs().Items(0)->TabControl();
    const TRect start = control.ControlRect();
    const int width = start.Right - start.Left;

    strip.PlaceControlAtLeft(control, 40, false);
    EXPECT_EQ(control.ControlRect(), (TRect{40, start.Top, 40 + width, start.Bottom}));
    // Placed like every item: the movement handler may make it glide there.
    strip.OnAnimateMovement = [](TObject*, TBasePageTabsControl*, std::uint32_t& time, TPageTabsEaseType& ease) {
        time = 100;
        ease = TPageTabsEaseType::ttLinearTween;
    };
    strip.PlaceControlAtLeft(control, 100, true);
    EXPECT_EQ(control.EndRect(), (TRect{100, start.Top, 100 + width, start.Bottom}));
    EXPECT_EQ(control.ControlRect().Left, 40) << "on its way there";
}

// --- Raisers

// A descendant that sees the events through the strip's raisers.
class raising_strip : public TPageTabs {
public:
    using TPageTabs::TPageTabs;
    std::vector<String> raised;

protected:
    void DoOnMouseLeave() override {
        raised.push_back(u"MouseLeave");
        TPageTabs::DoOnMouseLeave();
    }
    void DoOnShowHint(const THitTestResult& HitTestResult, String& HintText, int& HintTimeout) override {
        raised.push_back(u"ShowHint " + IntToStr(HitTestResult.TabIndex));
        TPageTabs::DoOnShowHint(HitTestResult, HintText, HintTimeout);
    }
    void DoOnTabDblClick(TPageTab* ATab) override {
        raised.push_back(u"TabDblClick " + ATab->Caption());
        TPageTabs::DoOnTabDblClick(ATab);
    }
    void DoOnAnimateStyle(TBasePageTabsControl* Control, TDrawState NewDrawState, std::uint32_t& AnimationTimeMS,
                          TPageTabsEaseType& EaseType) override {
        if (Control->ControlType() == TPageTabItemType::itTab && NewDrawState == TDrawState::dsActive)
            raised.push_back(u"AnimateStyle active");
        TPageTabs::DoOnAnimateStyle(Control, NewDrawState, AnimationTimeMS, EaseType);
    }
};

TEST_F(PageTabsWindow, DescendantsSeeTheEventsThroughTheRaisersAndHandlersStillRunOnce) {
    TForm* form = CreateForm<TForm>(Application);
    auto destroy = scope_exit([&] { delete form; });
    form->SetBounds(0, 0, 800, 80);
    auto* strip = new raising_strip(form);
    test::apply_main_window_settings(*strip);
    strip->Options().Behaviour()->SetBackgroundDblClickMaximiseRestoreForm(false);
    strip->SetBounds(0, 0, 724, 35);
    strip->SetParent(form);
    for (int i = 0; i < 3; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
    form->Show();
    Application->ProcessMessages();
    std::vector<String> handled;
    strip->OnMouseLeave = [&](TObject*) { handled.push_back(u"MouseLeave"); };
    strip->OnTabDblClick = [&](TObject*, TPageTab* tab) { handled.push_back(u"TabDblClick " + tab->Caption()); };
    strip->OnShowHint = [&](TObject*, const THitTestResult&, String&, int&) { handled.push_back(u"ShowHint"); };
    strip->OnAnimateStyle = [&](TObject*, TBasePageTabsControl*, TDrawState, std::uint32_t&, TPageTabsEaseType&) {
        handled.push_back(u"AnimateStyle");
    };
    strip->raised.clear();

    strip->SetActiveTabIndex(0);
    ::SendMessageW(strip->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(100, 20));
    THintInfo info;
    info.CursorPos = POINT{100, 20};
    strip->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    strip->Perform(CM_MOUSELEAVE, 0, 0);

    EXPECT_EQ(strip->raised, (std::vector<String>{u"AnimateStyle active", u"TabDblClick 0", u"ShowHint 0",
                                                  u"MouseLeave"}));
    // The style handler also sees the tab that gave up being active.
    std::erase(handled, u"AnimateStyle");
    EXPECT_EQ(handled, (std::vector<String>{u"TabDblClick 0", u"ShowHint", u"MouseLeave"}));
}

// --- Moving the window

// A parent painted red on its left half and blue on its right half.
class two_tone_parent : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void Paint() override {
        const int half = ClientWidth() / 2;
        Canvas().Brush().SetColor(0x0000FF);
        Canvas().FillRect(RECT{0, 0, half, ClientHeight()});
        Canvas().Brush().SetColor(0xFF0000);
        Canvas().FillRect(RECT{half, 0, ClientWidth(), ClientHeight()});
    }
};

TEST_F(PageTabsWindow, ASeeThroughStripMovedWithoutResizingShowsWhatNowLiesUnderIt) {
    TForm* form = CreateForm<TForm>(Application);
    auto destroy = scope_exit([&] { delete form; });
    form->SetBounds(0, 0, 800, 80);
    auto* parent = new two_tone_parent(form);
    parent->SetBounds(0, 0, 800, 60);
    parent->SetParent(form);
    auto* strip = new TPageTabs(form);
    test::apply_main_window_settings(*strip);
    strip->SetBounds(0, 0, 300, 35);
    strip->SetParent(parent);
    form->Show();
    // What a person sees at the strip's top right corner, right of its add button and above its line.
    const auto seen = [&] {
        const POINT at = strip->ClientToScreen(POINT{295, 1});
        const HDC screen = ::GetDC(nullptr);
        const COLORREF colour = ::GetPixel(screen, at.x, at.y);
        ::ReleaseDC(nullptr, screen);
        return colour;
    };
    const auto shows = [&](COLORREF colour) {
        for (int i = 0; i < 500 && seen() != colour; ++i) {
            Application->ProcessMessages();
            ::Sleep(10);
        }
        return seen() == colour;
    };
    ASSERT_TRUE(shows(RGB(255, 0, 0))) << "over the red half";
    int paints = 0;
    strip->OnAfterDrawItem = [&](TObject*, TGPGraphics&, const TRect&, TPageTabItemType type, int) {
        if (type == TPageTabItemType::itTabContainer) ++paints;
    };
    // The system would copy the strip's old pixels along: the strip paints itself as it moves, before
    // any queued message is seen.
    strip->SetBounds(450, 0, 300, 35);
    EXPECT_GE(paints, 1);
    EXPECT_TRUE(shows(RGB(0, 0, 255))) << "over the blue half once moved";
}

// --- The published table

// A form's root with a method for every event signature of the strip, as the main window's form has
// for the three it uses.
class strip_owner : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<String> called;

    void Notify(TObject*) { called.push_back(u"Notify"); }
    void ActiveTabChanging(TObject*, TPageTab*, TPageTab*, bool&) {}
    void Change(TObject*, TPageTab*, TTabChangeType) {}
    void ActiveTabChanged(TObject*, TPageTab*) {}
    void DebugLog(TObject*, const String& Text) { called.push_back(Text); }
    void ButtonAddClick(TObject*, bool&) {}
    void ButtonCloseTabClick(TObject*, TPageTab*, bool&) {}
    void NeedDragImageControl(TObject*, TPageTab*, TWinControl*&) {}
    void CreateDragForm(TObject*, TPageTab*, TCustomForm*&) {}
    void StateChange(TObject*, TPageTabStates, TPageTabStates) {}
    void BeforeDrawItem(TObject*, TGPGraphics&, const TRect&, TPageTabItemType, int, bool&) {}
    void AfterDrawItem(TObject*, TGPGraphics&, const TRect&, TPageTabItemType, int) {}
    void GetControlPolygons(TObject*, TObject*, const TRect&, TPageTabItemType, TTabOrientation,
                            page_tab_polygons&) {}
    void ShowHint(TObject*, const THitTestResult&, String&, int&) {}
    void TabDblClick(TObject*, TPageTab*) {}
    void TabDragStart(TObject*, TPageTab*, bool&) {}
    void TabDragOver(TObject*, int, int, TDragState, IDragTabObject*, bool&) {}
    void TabDragDrop(TObject*, int, int, IDragTabObject*, bool, TTabDropOptions&) {}
    void TabDragDropped(TObject*, IDragTabObject*, TPageTab*) {}
    void TabDragEnd(TObject*, int, int, bool) {}
    void AnimateStyle(TObject*, TBasePageTabsControl*, TDrawState, std::uint32_t&, TPageTabsEaseType&) {}
    void AnimateMovement(TObject*, TBasePageTabsControl*, std::uint32_t&, TPageTabsEaseType&) {}
    void SetTabWidth(TObject*, TPageTabControl*, int& Width) { Width = 120; }
    void TabPopupMenu(TObject*, TPageTab*, TPopupMenu*) {}
    void KeyDown(TObject*, std::uint16_t&, TShiftState) {}
    void MouseDown(TObject*, TMouseButton, TShiftState, int, int) {}
    void MouseMove(TObject*, TShiftState, int, int) {}

    const property_table& PublishedProperties() const override {
        using C = strip_owner;
        static const property_table table =
            property_table::of<C>(TComponent::PublishedProperties())
                .method(u"Notify", &C::Notify)
                .method(u"ActiveTabChanging", &C::ActiveTabChanging)
                .method(u"Change", &C::Change)
                .method(u"ActiveTabChanged", &C::ActiveTabChanged)
                .method(u"DebugLog", &C::DebugLog)
                .method(u"ButtonAddClick", &C::ButtonAddClick)
                .method(u"ButtonCloseTabClick", &C::ButtonCloseTabClick)
                .method(u"NeedDragImageControl", &C::NeedDragImageControl)
                .method(u"CreateDragForm", &C::CreateDragForm)
                .method(u"StateChange", &C::StateChange)
                .method(u"BeforeDrawItem", &C::BeforeDrawItem)
                .method(u"AfterDrawItem", &C::AfterDrawItem)
                .method(u"GetControlPolygons", &C::GetControlPolygons)
                .method(u"ShowHint", &C::ShowHint)
                .method(u"TabDblClick", &C::TabDblClick)
                .method(u"TabDragStart", &C::TabDragStart)
                .method(u"TabDragOver", &C::TabDragOver)
                .method(u"TabDragDrop", &C::TabDragDrop)
                .method(u"TabDragDropped", &C::TabDragDropped)
                .method(u"TabDragEnd", &C::TabDragEnd)
                .method(u"AnimateStyle", &C::AnimateStyle)
                .method(u"AnimateMovement", &C::AnimateMovement)
                .method(u"SetTabWidth", &C::SetTabWidth)
                .method(u"TabPopupMenu", &C::TabPopupMenu)
                .method(u"KeyDown", &C::KeyDown)
                .method(u"MouseDown", &C::MouseDown)
                .method(u"MouseMove", &C::MouseMove);
        return table;
    }
};

// Every property and event the strip publishes, set from form text and read back in the text written
// from the strip; the events are then bound to the owner's methods.
TEST(TPageTabs, FormTextSetsEveryPublishedPropertyAndEvent) {
    register_class<TPageTabs>();
    // Each line of the form text comes back in the text written from the strip.
    const StringView lines[] = {
        u"BiDiMode = bdRightToLeft",
        u"Align = alClient",
        u"Anchors = [akLeft, akTop, akRight]",
        u"Enabled = False",
        u"Font.Name = 'SimSun'",
        u"ShowHint = True",
        u"TabStop = True",
        u"Visible = False",
        u"Options.Display.Tabs.TabOverlap = 9",
        u"LookAndFeel.Tabs.BaseLine.Alpha = 100",
        u"OnActiveTabChanging = ActiveTabChanging",
        u"OnChange = Change",
        u"OnActiveTabChanged = ActiveTabChanged",
        u"OnDebugLog = DebugLog",
        u"OnButtonAddClick = ButtonAddClick",
        u"OnButtonCloseTabClick = ButtonCloseTabClick",
        u"OnNeedDragImageControl = NeedDragImageControl",
        u"OnCreateDragForm = CreateDragForm",
        u"OnStateChange = StateChange",
        u"OnBeforeDrawItem = BeforeDrawItem",
        u"OnAfterDrawItem = AfterDrawItem",
        u"OnGetControlPolygons = GetControlPolygons",
        u"OnShowHint = ShowHint",
        u"OnTabDblClick = TabDblClick",
        u"OnTabDragStart = TabDragStart",
        u"OnTabDragOver = TabDragOver",
        u"OnTabDragDrop = TabDragDrop",
        u"OnTabDragDropped = TabDragDropped",
        u"OnTabDragEnd = TabDragEnd",
        u"OnScroll = Notify",
        u"OnScrollWidthChanged = Notify",
        u"OnAnimateStyle = AnimateStyle",
        u"OnAnimateMovement = AnimateMovement",
        u"OnSetTabWidth = SetTabWidth",
        u"OnAfterDragImageCreated = Notify",
        u"OnTabPopupMenu = TabPopupMenu",
        u"OnClick = Notify",
        u"OnDblClick = Notify",
        u"OnEnter = Notify",
        u"OnExit = Notify",
        u"OnKeyDown = KeyDown",
        u"OnKeyUp = KeyDown",
        u"OnMouseDown = MouseDown",
        u"OnMouseUp = MouseDown",
        u"OnMouseMove = MouseMove",
        u"OnResize = Notify",
        u"OnMouseEnter = Notify",
        u"OnMouseLeave = Notify",
    };
    String text = u"object Owner: TComponent\r\n  object Strip: TPageTabs\r\n";
    for (const StringView line : lines) text += u"    " + String(line) + u"\r\n";
    text += u"    Tabs = <\r\n      item\r\n        Caption = #39318#39029\r\n        Pinned = True\r\n      end\r\n"
            u"      item\r\n        Caption = 'b'\r\n        Tag = 7\r\n      end>\r\n"
            u"    ActiveTabIndex = 1\r\n  end\r\nend\r\n";

    strip_owner owner(nullptr);
    read_component_text(text, owner);
    auto* strip = dynamic_cast<TPageTabs*>(owner.FindComponent(u"Strip"));
    ASSERT_NE(strip, nullptr);
    const String written = write_component_text(*strip);
    for (const StringView line : lines)
        EXPECT_NE(written.find(String(line) + u"\r\n"), String::npos) << string_to_utf8(line);
    EXPECT_EQ(strip->BiDiMode(), TBiDiMode::bdRightToLeft);
    ASSERT_EQ(strip->Tabs().Count(), 2);
    EXPECT_EQ(strip->Tabs().Items(0)->Caption(), u"首页");
    EXPECT_TRUE(strip->Tabs().Items(0)->Pinned());
    EXPECT_EQ(strip->Tabs().Items(1)->Tag(), 7);
    EXPECT_EQ(strip->ActiveTabIndex(), 1);
    EXPECT_NE(written.find(u"ActiveTabIndex = 1\r\n"), String::npos);

    // The events call the owner's methods.
    owner.called.clear();
    strip->Options().Behaviour()->SetDebugMode(true);
    strip->Options().Scrolling()->SetEnabled(true);
    strip->DoOnDebugLog(u"logged %d", {3});
    strip->OnScroll(strip);
    int width = 0;
    strip->OnSetTabWidth(strip, nullptr, width);
    EXPECT_EQ(width, 120);
    EXPECT_EQ(owner.called, (std::vector<String>{u"logged 3", u"Notify"}));
}

} // namespace
} // namespace kq
