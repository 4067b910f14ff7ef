// The main window on the stand-in engine, driven as a person would: mouse input posted to the strip's
// window, wheel and hot-key messages, pages the engine opens and closes on its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "browser/WebB.Core.WebBrowser.h"
#include "browser/WebB.Settings.h"
#include "framework/Files.h"
#include "framework/GdiPlus.h"
#include "framework/ImageLists.h"
#include "graphics/Raster.h"
#include "shell/U_Main.h"
#include "skin/Skin.h"
#include "skin/uSkinButton.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"
#include "skin/uSkinPanel.h"
#include "tabs/PageTabs.h"
#include "tests/browser/EngineFixture.h"
#include "tests/tabs/MainWindowStrip.h"

namespace kq {
namespace {

constexpr const char16_t* home_title = u"Tessaro home";

class MainWindow : public test::engine_test {
protected:
    void SetUp() override {
        engine_test::SetUp();
        if (HasFatalFailure()) return;
        graphics_startup();
        gdiplus_startup();
        skin_startup();
        u_main_startup();
        const std::u16string home = u"http://www.tessaro-zb.com/";
        control().function<decltype(&standin_set_title)>("standin_set_title")(
            reinterpret_cast<const wchar_t*>(home.c_str()), reinterpret_cast<const wchar_t*>(home_title));
        F = CreateForm<TF_Main>(Application);
        F->Show();
        ASSERT_TRUE(pump_until([&] { return tabs().Count() == 1 && tab(0)->Caption() == home_title; }));
    }
    void TearDown() override {
        if (F) {
            F->Close();
            delete F;
        }
        u_main_shutdown();
        skin_shutdown();
        gdiplus_shutdown();
        graphics_shutdown();
        engine_test::TearDown();
    }

    TPageTabsList& tabs() const { return F->FPageTabs->Tabs(); }
    TPageTab* tab(int index) const { return tabs().Items(index); }
    // The tabs that are still there (not on their way out).
    int tab_count() const {
        int n = 0;
        for (int i = 0; i < tabs().Count(); ++i) n += tab(i)->MarkedForDeletion() ? 0 : 1;
        return n;
    }
    int shown() const { return F->CEFBrowser->ActiveBrowserId(); }
    int active_tag() const {
        const TPageTab* t = tabs().ActiveTab();
        return t ? t->Tag() : -1;
    }
    // Lets the strip's animations end, so that its items are where a person would see them.
    void settle() { pump_for(200); }

    void post_click(TPoint at) {
        const HWND strip = F->FPageTabs->Handle();
        const LPARAM where = MAKELPARAM(at.X, at.Y);
        ::PostMessageW(strip, WM_MOUSEMOVE, 0, where);
        ::PostMessageW(strip, WM_LBUTTONDOWN, MK_LBUTTON, where);
        ::PostMessageW(strip, WM_LBUTTONUP, 0, where);
        pump_for(30);
    }
    static TPoint centre(const TRect& r) { return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2}; }
    void click_add() {
        settle();
        post_click(centre(F->FPageTabs->AddButtonControl().ControlRect()));
    }
    void click_close(int index) {
        settle();
        // The close button shows on the tab under the mouse.
        const TPoint at = centre(tab(index)->TabControl()->GetCloseButonRect());
        ::PostMessageW(F->FPageTabs->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(at.X, at.Y));
        pump_for(30);
        post_click(centre(tab(index)->TabControl()->GetCloseButonRect()));
    }
    // Adds tabs with the add button until there are n, each with its page loaded.
    void open_tabs(int n) {
        while (tab_count() < n) {
            const int before = tab_count();
            click_add();
            ASSERT_TRUE(pump_until([&] { return tab_count() == before + 1 && tab(before)->Caption() == home_title; }));
        }
        settle();
    }
    size_t count(const std::string& name) const { return control().calls(name).size(); }

    TF_Main* F = nullptr;
};

// --- The form

TEST_F(MainWindow, TheFormResourceBuildsTheWindowWithItsComponentsAndSettings) {
    EXPECT_EQ(F->Caption(), u"Tessaro");
    EXPECT_EQ(F->BorderIcons(), (TBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize}));
    EXPECT_EQ(F->WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(F->Font().Name(), u"Tahoma");
    EXPECT_EQ(F->Font().Height(), -12);
    EXPECT_EQ(F->Constraints().MinWidth(), 100);
    EXPECT_EQ(F->Constraints().MinHeight(), 100);

    // Parents, places and alignment as the window is laid out.
    ASSERT_TRUE(F->SkinPanel1 && F->SkinPanel2 && F->btn4 && F->btn5 && F->btn7 && F->FPageTabs && F->CEFBrowser &&
                F->ImageList1 && F->ImageList2 && F->ImageList3 && F->ImageList4 && F->ApplicationEvents);
    EXPECT_EQ(F->SkinPanel1->Parent(), F);
    EXPECT_EQ(F->SkinPanel1->Align(), TAlign::alTop);
    EXPECT_EQ(F->SkinPanel1->Height(), 35);
    EXPECT_EQ(F->SkinPanel1->Color(), TColor{15921906});
    EXPECT_EQ(F->SkinPanel2->Parent(), F->SkinPanel1);
    EXPECT_EQ(F->SkinPanel2->Align(), TAlign::alLeft);
    EXPECT_EQ(F->SkinPanel2->Width(), 101);
    const struct {
        TSkinImageButton* button;
        RECT bounds;
        int tab_order;
    } buttons[] = {{F->btn4, {5, 3, 34, 32}, 2}, {F->btn5, {33, 3, 62, 32}, 1}, {F->btn7, {67, 3, 98, 32}, 0}};
    for (const auto& b : buttons) {
        SCOPED_TRACE(string_to_utf8(b.button->Name()));
        EXPECT_EQ(b.button->Parent(), F->SkinPanel2);
        const RECT got = b.button->BoundsRect();
        EXPECT_TRUE(::EqualRect(&b.bounds, &got));
        EXPECT_EQ(b.button->TabOrder(), b.tab_order);
    }
    EXPECT_EQ(F->FPageTabs->Parent(), F->SkinPanel1);
    EXPECT_EQ(F->FPageTabs->Align(), TAlign::alClient);
    EXPECT_EQ(F->FPageTabs->Left(), 101);
    EXPECT_EQ(F->FPageTabs->Width(), F->SkinPanel1->Width() - 101);
    EXPECT_EQ(F->CEFBrowser->Parent(), F);
    EXPECT_EQ(F->CEFBrowser->Align(), TAlign::alClient);
    EXPECT_EQ(F->CEFBrowser->Top(), 35);
    EXPECT_EQ(F->CEFBrowser->Height(), F->ClientHeight() - 35);

    // The strip carries the main window's options and look, and its image lists.
    TPageTabs expected(nullptr);
    test::apply_main_window_settings(expected);
    EXPECT_EQ(F->FPageTabs->OptionsToCode(), expected.OptionsToCode());
    EXPECT_EQ(F->FPageTabs->LookAndFeelToCode(), expected.LookAndFeelToCode());
    EXPECT_EQ(F->FPageTabs->Images(), F->ImageList1);
    EXPECT_EQ(F->FPageTabs->ImagesOverlay(), F->ImageList2);
    EXPECT_EQ(F->FPageTabs->ImagesSpinnerUpload(), F->ImageList3);
    EXPECT_EQ(F->FPageTabs->ImagesSpinnerDownload(), F->ImageList4);
    // Their pictures are the ones the program carries.
    for (TImageList* list : {F->ImageList1, F->ImageList2, F->ImageList3, F->ImageList4}) {
        SCOPED_TRACE(string_to_utf8(list->Name()));
        EXPECT_EQ(list->DrawingStyle(), TDrawingStyle::dsTransparent);
        EXPECT_GT(list->Count(), 0);
    }

    // The browser: no tools, the window stays when its pages are gone, local storage on.
    EXPECT_FALSE(F->CEFBrowser->WebBOptions().DevToolsEnable());
    EXPECT_FALSE(F->CEFBrowser->WebBOptions().CloseWPagesClosed());
    EXPECT_EQ(F->CEFBrowser->ChromiumOptions().LocalStorage(), STATE_ENABLED);
    EXPECT_EQ(F->CEFBrowser->DefaultURL(), F->HomePage());
}

TEST_F(MainWindow, OpensTheHomePageInOneActiveTabAndSetsUpCookiesAndHotKeys) {
    EXPECT_EQ(F->HomePage(), u"http://www.tessaro-zb.com/");
    ASSERT_EQ(tabs().Count(), 1);
    EXPECT_TRUE(tab(0)->Active());
    EXPECT_EQ(tab(0)->Tag(), shown());
    EXPECT_EQ(tab(0)->SpinnerState(), TPageTabSpinnerState::tssNone);
    const auto storage = control().calls("cookie_manager.set_storage_path");
    ASSERT_EQ(storage.size(), 1u);
    EXPECT_EQ(storage[0].detail, string_to_utf8(ExtractFilePath(Application->ExeName())) + "Cookies persist=1");
    // The keys belong to the window now: nobody else gets them. The system may keep only the last key
    // registered under one identifier (Wine does), so only that one is asked for.
    EXPECT_FALSE(::RegisterHotKey(nullptr, 0x7000, MOD_CONTROL, 189));
    EXPECT_NE(::GlobalFindAtomW(L"WCTRL"), 0);
}

TEST_F(MainWindow, ClosingTheWindowFlushesCookiesAndGivesBackEveryHotKeyAndTheAtom) {
    F->Close();
    EXPECT_EQ(count("cookie_manager.flush_store"), 1u);
    for (const UINT key : {109u, 107u, 187u, 189u}) {
        SCOPED_TRACE(key);
        EXPECT_TRUE(::RegisterHotKey(nullptr, 0x7000, MOD_CONTROL, key));
        ::UnregisterHotKey(nullptr, 0x7000);
    }
    EXPECT_EQ(::GlobalFindAtomW(L"WCTRL"), 0);
}

// --- Tabs and pages

TEST_F(MainWindow, TheAddButtonOpensTheHomePageInASecondActiveTab) {
    const int first = shown();
    click_add();
    ASSERT_TRUE(pump_until([&] { return tabs().Count() == 2 && tab(1)->Caption() == home_title; }));
    EXPECT_NE(shown(), first);
    EXPECT_EQ(tab(1)->Tag(), shown());
    EXPECT_TRUE(tab(1)->Active());
    EXPECT_EQ(count("cef_browser_host_create_browser_sync"), 2u);
    EXPECT_EQ(control().calls("frame.load_url").back().detail,
              "browser=" + std::to_string(shown()) + " http://www.tessaro-zb.com/");
}

TEST_F(MainWindow, ClosingATabShowsTheRightPage) {
    struct row {
        const char* name;
        int active, closed, shown_after;
    };
    // Indexes into the three tabs before the close.
    const row rows[] = {{"active middle: its right neighbour", 1, 1, 2},
                        {"active last: its left neighbour", 2, 2, 1},
                        {"inactive: the active page stays", 0, 2, 0}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        open_tabs(3);
        std::vector<int> ids;
        for (int i = 0; i < 3; ++i) ids.push_back(tab(i)->Tag());
        post_click(centre(tab(r.active)->TabControl()->ControlRect()));
        ASSERT_TRUE(pump_until([&] { return shown() == ids[static_cast<size_t>(r.active)]; }));
        const int browsers = F->CEFBrowser->BrowserCount();
        click_close(r.closed);
        ASSERT_TRUE(pump_until([&] { return tab_count() == 2; }));
        EXPECT_EQ(F->CEFBrowser->BrowserCount(), browsers - 1);
        EXPECT_EQ(F->CEFBrowser->BrowserWrappers(ids[static_cast<size_t>(r.closed)]), nullptr);
        EXPECT_EQ(shown(), ids[static_cast<size_t>(r.shown_after)]);
        EXPECT_EQ(active_tag(), shown());
        // Back to one tab for the next row.
        settle();
        while (tab_count() > 1) click_close(tab_count() - 1);
        settle();
    }
}

TEST_F(MainWindow, ClosingTheLastTabKeepsItAndLoadsTheHomePage) {
    const int page = shown();
    F->CEFBrowser->Load(u"http://elsewhere.example/");
    ASSERT_TRUE(pump_until([&] { return tab(0)->Caption() == u"http://elsewhere.example/"; }));
    click_close(0);
    ASSERT_TRUE(pump_until([&] { return tab(0)->Caption() == home_title; }));
    EXPECT_EQ(tabs().Count(), 1);
    EXPECT_EQ(shown(), page);
    EXPECT_EQ(tab(0)->Tag(), page);
    EXPECT_EQ(control().calls("frame.load_url").back().detail,
              "browser=" + std::to_string(page) + " http://www.tessaro-zb.com/");
}

// The second close comes while the first tab still shrinks away: the tab that stays keeps its page.
TEST_F(MainWindow, ClosingTheLastTwoTabsQuicklyLeavesOneTabWithTheHomePage) {
    open_tabs(2);
    const int kept = tab(0)->Tag();
    const TPoint second = centre(tab(1)->TabControl()->GetCloseButonRect());
    const TPoint first = centre(tab(0)->TabControl()->GetCloseButonRect());
    ::PostMessageW(F->FPageTabs->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(second.X, second.Y));
    pump_for(30);
    post_click(second);
    ::PostMessageW(F->FPageTabs->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(first.X, first.Y));
    post_click(first);
    settle();
    ASSERT_EQ(tabs().Count(), 1);
    EXPECT_EQ(tab(0)->Tag(), kept);
    EXPECT_EQ(shown(), kept);
    EXPECT_TRUE(tab(0)->Active());
    EXPECT_EQ(F->CEFBrowser->BrowserCount(), 1);
    EXPECT_EQ(control().calls("frame.load_url").back().detail,
              "browser=" + std::to_string(kept) + " http://www.tessaro-zb.com/");
}

TEST_F(MainWindow, APopupGetsATabLoadingThenTitledAndWindowCloseRemovesIt) {
    std::vector<String> captions_when_added;
    auto added = F->CEFBrowser->OnAddBrowser;
    F->CEFBrowser->OnAddBrowser = [&](const ICefBrowser& browser) {
        added(browser);
        captions_when_added.push_back(tab(tabs().Count() - 1)->Caption());
    };
    const int opener = shown();
    EXPECT_NE(inject(opener, "popup", "ui", L"http://popup.example/|10|10|300|200"), 0);
    ASSERT_TRUE(pump_until([&] { return tabs().Count() == 2 && tab(1)->Caption() == u"http://popup.example/"; }));
    EXPECT_EQ(captions_when_added, std::vector<String>{u"loading"});
    const int popup = tab(1)->Tag();
    EXPECT_EQ(active_tag(), shown());

    // The page's script closes its window: the tab goes with it, the shown page's tab is active.
    EXPECT_NE(inject(popup, "do_close", "ui", L""), 0);
    ASSERT_TRUE(pump_until([&] { return tab_count() == 1; }));
    settle();
    ASSERT_EQ(tabs().Count(), 1);
    EXPECT_EQ(tab(0)->Tag(), opener);
    EXPECT_EQ(shown(), opener);
    EXPECT_TRUE(tab(0)->Active());
}

TEST_F(MainWindow, TheViewSourceItemLeavesEveryContextMenuAndUnknownProtocolsGoToTheSystem) {
    const std::string page = "browser=" + std::to_string(shown());
    EXPECT_NE(inject(shown(), "before_context_menu", "ui", L"|http://www.tessaro-zb.com/|100|132|131"), 0);
    ASSERT_TRUE(pump_until([&] { return count("inject.before_context_menu") == 1; }));
    EXPECT_EQ(control().calls("inject.before_context_menu")[0].detail, page + " items=2");
    EXPECT_NE(inject(shown(), "protocol_execution", "io", L"tencent://message/?uin=1"), 0);
    ASSERT_TRUE(pump_until([&] { return count("inject.protocol_execution") == 1; }));
    EXPECT_EQ(control().calls("inject.protocol_execution")[0].detail, page + " allow=1");
}

// --- Zoom

// The zoom steps the page was given so far.
std::vector<std::string> zoom_steps(const test::standin_control& c) {
    std::vector<std::string> steps;
    for (const auto& call : c.calls("host.set_zoom_level")) steps.push_back(call.detail.substr(call.detail.find(' ') + 1));
    return steps;
}

void set_control_key(bool down) {
    BYTE keys[256] = {};
    ::GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    ::SetKeyboardState(keys);
}

TEST_F(MainWindow, ControlWithTheWheelZoomsOneStepPerMessageBeyondEight) {
    struct row {
        short delta;
        bool control;
        std::vector<std::string> steps; // the levels set by this one message
    };
    const row rows[] = {{120, true, {"1.000000"}},  {9, true, {"2.000000"}},  {8, true, {}},  {-8, true, {}},
                        {-9, true, {"1.000000"}}, {-240, true, {"0.000000"}}, {120, false, {}}};
    size_t seen = 0;
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.delta) + (r.control ? " with Control" : " alone"));
        set_control_key(r.control);
        ::PostMessageW(F->FPageTabs->Handle(), WM_MOUSEWHEEL, MAKEWPARAM(r.control ? MK_CONTROL : 0, r.delta),
                       MAKELPARAM(10, 10));
        pump_for(40);
        const std::vector<std::string> steps = zoom_steps(control());
        EXPECT_EQ(std::vector<std::string>(steps.begin() + static_cast<std::ptrdiff_t>(seen), steps.end()), r.steps);
        seen = steps.size();
    }
    set_control_key(false);
}

TEST_F(MainWindow, HotKeysWithControlAloneZoomTheShownPage) {
    struct row {
        UINT modifiers, key;
        std::vector<std::string> steps;
    };
    const row rows[] = {{MOD_CONTROL, 107, {"1.000000"}},  {MOD_CONTROL, 187, {"2.000000"}},
                        {MOD_CONTROL, 109, {"1.000000"}},  {MOD_CONTROL, 189, {"0.000000"}},
                        {MOD_CONTROL | MOD_SHIFT, 107, {}}, {MOD_ALT, 109, {}}, {MOD_CONTROL, 65, {}}};
    size_t seen = 0;
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.modifiers) + "+" + std::to_string(r.key));
        ::SendMessageW(F->Handle(), WM_HOTKEY, 0, MAKELPARAM(r.modifiers, r.key));
        pump_for(20);
        const std::vector<std::string> steps = zoom_steps(control());
        EXPECT_EQ(std::vector<std::string>(steps.begin() + static_cast<std::ptrdiff_t>(seen), steps.end()), r.steps);
        seen = steps.size();
    }
}

// --- Reliability

TEST_F(MainWindow, TwoHundredCyclesOfAddLoadCloseLeaveNothingBehind) {
    const test::handle_counts before = test::current_handle_counts();
    for (int i = 0; i < 200; ++i) {
        click_add();
        ASSERT_TRUE(pump_until([&] { return tab_count() == 2 && tab(1)->Caption() == home_title; })) << i;
        F->CEFBrowser->Load(u"http://cycle.example/" + IntToStr(i));
        ASSERT_TRUE(pump_until([&] { return tab(1)->Caption() == u"http://cycle.example/" + IntToStr(i); })) << i;
        click_close(1);
        ASSERT_TRUE(pump_until([&] { return tab_count() == 1 && F->CEFBrowser->BrowserCount() == 1; })) << i;
    }
    settle();
    EXPECT_EQ(tabs().Count(), 1);
    const test::handle_counts after = test::current_handle_counts();
    EXPECT_LE(after.gdi, before.gdi + 4);
    EXPECT_LE(after.user, before.user + 4);
}

} // namespace
} // namespace kq

