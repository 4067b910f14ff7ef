// The main window on the stand-in engine, driven as a person would: mouse input posted to the strip's
// window, wheel and hot-key messages, pages the engine opens and closes on its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "browser/WebB.Core.WebBrowser.h"
#include "browser/WebB.Settings.h"
#include "framework/Files.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"
#include "framework/ImageLists.h"
#include "framework/Properties.h"
#include "graphics/Raster.h"
#include "shell/U_Main.h"
#include "skin/Skin.h"
#include "skin/uSkinButton.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"
#include "skin/uSkinPanel.h"
#include "tabs/PageTabs.h"
#include "tests/HeapBytes.h"
#include "tests/browser/EngineFixture.h"
#include "tests/skin/SkinControlTestSupport.h"
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
    int tab_width(int index) const {
        const TRect r = tab(index)->TabControl()->ControlRect();
        return r.Right - r.Left;
    }
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

    // Real input, as a person gives it: the window in front, the cursor moved, the button pressed and let go.
    void bring_to_front() {
        ::SetForegroundWindow(F->Handle());
        pump_for(100);
    }
    static POINT screen_of(HWND window, int x, int y) {
        POINT p{x, y};
        ::ClientToScreen(window, &p);
        return p;
    }
    static RECT window_rect(HWND window) {
        RECT r{};
        ::GetWindowRect(window, &r);
        return r;
    }
    void real_click(POINT screen) {
        test::mouse_to(screen);
        pump_for(60);
        test::left_down();
        pump_for(60);
        test::left_up();
        pump_for(60);
    }
    // A press on the strip's background or the title bar starts the system's move loop, which runs until
    // the button is let go: the clicks come from another thread while this one serves messages.
    void real_double_click(POINT screen) {
        test::mouse_to(screen);
        pump_for(60);
        std::jthread hand([] {
            for (int i = 0; i < 2; ++i) {
                test::left_down();
                ::Sleep(30);
                test::left_up();
                ::Sleep(30);
            }
        });
        pump_for(400);
    }
    // A point of the strip's empty background, right of the add button.
    POINT strip_background() {
        settle();
        const TRect add = F->FPageTabs->AddButtonControl().ControlRect();
        return screen_of(F->FPageTabs->Handle(), add.Right + 40, 12);
    }

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

// The value of a published property by its path through sub-objects ("Pictures.Image").
property_value published(TPersistent* object, StringView path) {
    for (;;) {
        const std::size_t dot = path.find(u'.');
        const property_info* info = object->PublishedProperties().find(path.substr(0, dot));
        if (!info) {
            ADD_FAILURE() << "no property " << string_to_utf8(String(path));
            return {};
        }
        const property_value value = info->get(*object);
        if (dot == StringView::npos) return value;
        object = std::get<TPersistent*>(value);
        path = path.substr(dot + 1);
    }
}

// Every value the form resource gives the skinned parts, read back from the live components (the strip's
// settings are compared as a whole above). Sets are bit masks of their members, enumerations ordinals.
TEST_F(MainWindow, EveryValueOfTheSkinnedPartsIsLiveInItsComponent) {
    const auto i = [](std::int64_t v) { return property_value{v}; };
    const auto s = [](const char16_t* v) { return property_value{String(v)}; };
    // A maximised window's title-bar controls sit one pixel further up and to the side.
    const std::int64_t shift = ::IsZoomed(F->Handle()) ? 1 : 0;
    const auto pos = [&](std::int64_t v) { return property_value{v - shift}; };
    struct row {
        const char16_t* component; // empty: the form
        const char16_t* path;
        property_value value;
    };
    const std::vector<row> rows = {
        {u"", u"Caption", s(u"Tessaro")},
        {u"", u"BorderIcons", i(0b011)},
        {u"", u"Color", i(clBtnFace)},
        {u"", u"Constraints.MinWidth", i(100)},
        {u"", u"Constraints.MinHeight", i(100)},
        {u"", u"Font.Name", s(u"Tahoma")},
        {u"", u"Font.Height", i(-12)},
        {u"SkinPanel1", u"Height", i(35)},
        {u"SkinPanel1", u"Align", i(1)},
        {u"SkinPanel1", u"Color", i(15921906)},
        {u"SkinPanel1", u"Alpha", i(255)},
        {u"SkinPanel1", u"BorderSides", i(0)},
        {u"SkinPanel2", u"Width", i(101)},
        {u"SkinPanel2", u"Height", i(35)},
        {u"SkinPanel2", u"Align", i(3)},
        {u"SkinPanel2", u"Color", i(15921906)},
        {u"SkinPanel2", u"BorderSides", i(1 << 3)},
        {u"SkinPanel2", u"BorderColor", i(11110509)},
        {u"FPageTabs", u"Left", i(101)},
        {u"FPageTabs", u"TabOrder", i(1)},
        {u"CEFBrowser", u"Top", i(35)},
        {u"CEFBrowser", u"TabOrder", i(1)},
        {u"SkinSystemButton1", u"Pos.Align", i(1)},
        {u"SkinSystemButton1", u"Pos.XValue", pos(60)},
        {u"SkinSystemButton1", u"Pos.YValue", pos(0)},
        {u"SkinSystemButton1", u"Pos.UseDefault", i(0)},
        {u"SkinSystemButton1", u"Kind", i(1)},
        {u"SkinSystemButton1", u"CloseImage", s(u"SkinBtn_close")},
        {u"SkinSystemButton1", u"MinimizeImage", s(u"sysminimize")},
        {u"SkinSystemButton1", u"MaximizeImage", s(u"SkinBtn_max")},
        {u"SkinSystemButton1", u"RestoresizeImage", s(u"SkinBtn_restore")},
        {u"btn1", u"Pos.Align", i(1)},
        {u"btn1", u"Pos.XValue", pos(30)},
        {u"btn1", u"Pos.YValue", pos(0)},
        {u"btn1", u"Pos.UseDefault", i(0)},
        {u"btn1", u"Kind", i(0)},
        {u"btn1", u"CloseImage", s(u"sysclose")},
        {u"btn1", u"MinimizeImage", s(u"SkinBtn_mini")},
        {u"btn1", u"MaximizeImage", s(u"SkinBtn_max")},
        {u"btn1", u"RestoresizeImage", s(u"SkinBtn_restore")},
        {u"nclbl1", u"Pos.Align", i(0)},
        {u"nclbl1", u"Pos.XValue", pos(5)},
        {u"nclbl1", u"Pos.YValue", pos(5)},
        {u"nclbl1", u"Pos.UseDefault", i(0)},
        {u"nclbl1", u"Caption", s(u"Tessaro  --  您的招投标神器")},
        {u"nclbl1", u"Light.Active", i(0)},
        {u"nclbl1", u"Font.Name", s(u"微软雅黑")},
        {u"nclbl1", u"Font.Height", i(-12)},
        {u"nclbl1", u"Font.Style", i(1)},
        {u"nclbl1", u"Font.Color", i(clWhite)},
        {u"nclbl1", u"Font.Charset", i(ANSI_CHARSET)},
        {u"sknfrm1", u"FlatFrame", i(1)},
        {u"sknfrm1", u"TitleHeight", i(28)},
        {u"sknfrm1", u"TitlerColor", i(11837458)},
        {u"sknfrm1", u"Color", i(clSilver)},
        {u"sknfrm1", u"RoundWindow", i(0)},
        {u"sknfrm1", u"FramWidth", i(0)},
        {u"sknfrm1", u"DoubleFrame", i(0)},
        {u"sknfrm1", u"CustomPicture", s(u"skin_bk_leaf")},
        // No menu is attached, so the main-menu settings stay unseen.
        {u"sknfrm1", u"MainMenu.MainMenu", property_value{static_cast<TComponent*>(nullptr)}},
        {u"sknfrm1", u"MainMenu.Font.Name", s(u"Tahoma")},
        {u"sknfrm1", u"MainMenu.Font.Height", i(-11)},
        {u"sknfrm1", u"MainMenu.Font.Color", i(clWindowText)},
        {u"sknfrm1", u"MainMenu.Font.Style", i(0)},
        {u"sknfrm1", u"MainMenu.Font.Charset", i(DEFAULT_CHARSET)},
        {u"sknfrm1", u"MainMenu.Pos.UseDefault", i(0)},
        {u"sknfrm1", u"MainMenu.Pos.Align", i(caLeft)},
        {u"sknfrm1", u"MainMenu.Pos.XValue", i(5)},
        {u"sknfrm1", u"MainMenu.Pos.YValue", i(5)},
        {u"sknfrm1", u"MainMenu.Pictures.Image", s(u"SkinFlatBtn")},
        {u"sknfrm1", u"MainMenu.Pictures.Count", i(3)},
        {u"sknfrm1", u"MainMenu.Pictures.Normal", i(0)},
        {u"sknfrm1", u"MainMenu.Pictures.Hot", i(1)},
        {u"sknfrm1", u"MainMenu.Pictures.Pressed", i(2)},
        {u"sknfrm1", u"MainMenu.Pictures.Disable", i(0)},
        {u"sknfrm1", u"MainMenu.HotColor", i(11463932)},
        {u"sknfrm1", u"MainMenu.PressColor", i(8184058)},
    };
    // The three image buttons differ in their place, image and tab order only.
    struct button {
        const char16_t* name;
        int left, width, tab_order;
        const char16_t* image;
    };
    std::vector<row> all = rows;
    for (const button& b : {button{u"btn4", 5, 29, 2, u"a1"}, button{u"btn5", 33, 29, 1, u"a2"},
                            button{u"btn7", 67, 31, 0, u"a3"}}) {
        for (const row& r : std::initializer_list<row>{
                 {b.name, u"Left", i(b.left)}, {b.name, u"Top", i(3)}, {b.name, u"Width", i(b.width)},
                 {b.name, u"Height", i(29)}, {b.name, u"TabOrder", i(b.tab_order)}, {b.name, u"Pictures.Image", s(b.image)},
                 {b.name, u"Pictures.Active", i(1)}, {b.name, u"Pictures.Count", i(3)}, {b.name, u"Pictures.Normal", i(0)},
                 {b.name, u"Pictures.Hot", i(1)}, {b.name, u"Pictures.Pressed", i(2)}, {b.name, u"Pictures.Disable", i(0)},
                 {b.name, u"Layers.Active", i(0)}, {b.name, u"CaptionVisible", i(0)}, {b.name, u"AutoInvalidate", i(1)}})
            all.push_back(r);
    }
    for (const char16_t* name : {u"SkinSystemButton1", u"btn1"})
        for (const char16_t* path : {u"Picture.Normal", u"Picture.Hot", u"Picture.Pressed", u"Picture.Disable"})
            all.push_back({name, path, i(String(path) == u"Picture.Hot" ? 1 : String(path) == u"Picture.Pressed" ? 2 : 0)});
    all.push_back({u"SkinSystemButton1", u"Picture.Image", s(u"sysminimize")});
    all.push_back({u"btn1", u"Picture.Image", s(u"sysclose")});
    for (const row& r : all) {
        SCOPED_TRACE(string_to_utf8(String(r.component) + u"." + r.path));
        TPersistent* object = *r.component ? F->FindComponent(r.component) : static_cast<TPersistent*>(F);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(published(object, r.path), r.value);
    }
    // Events bound by name, and the skin form's hold on the window.
    EXPECT_TRUE(F->btn4->OnClick && F->btn5->OnClick && F->btn7->OnClick);
    EXPECT_EQ(F->sknfrm1->NCCtrlList(),
              (std::vector<TSkinNCCtrlBase*>{F->SkinSystemButton1, F->btn1, F->nclbl1}));
}

TEST_F(MainWindow, OpensTheHomePageInOneActiveTabAndSetsUpCookiesAndHotKeys) {
    EXPECT_EQ(F->HomePage(), u"http://www.tessaro-zb.com/");
    // Published: form text and the property table reach the same address.
    const property_info* home = F->PublishedProperties().find(u"HomePage");
    ASSERT_NE(home, nullptr);
    EXPECT_EQ(home->get(*F), property_value{F->HomePage()});
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

// --- The skinned window, used with real mouse input

std::uint8_t channel(std::uint32_t p, int shift) { return static_cast<std::uint8_t>(p >> shift); }

TEST_F(MainWindow, TheSkinnedTitleBarIsTealWithTheChineseCaptionAndTwoButtonsAndNoSystemCaption) {
    bring_to_front();
    const HWND w = F->Handle();
    EXPECT_TRUE(::IsZoomed(w));
    EXPECT_EQ(::GetWindowLongW(w, GWL_STYLE) & (WS_CAPTION | WS_SYSMENU), 0);
    const RECT frame = window_rect(w);
    const POINT client = screen_of(w, 0, 0);
    EXPECT_EQ(client.y - frame.top, 28);
    EXPECT_EQ(client.x - frame.left, 0);

    const test::window_pixels px(w);
    px.save(L"kq_main_window.bmp");
    const int width = px.width();
    // Teal at the top of the title bar; the minimise and close buttons at the right, 30 pixels each.
    const std::uint32_t teal = px.at(width / 2, 1);
    EXPECT_NEAR(channel(teal, 16), 18, 4);
    EXPECT_NEAR(channel(teal, 8), 160, 4);
    EXPECT_NEAR(channel(teal, 0), 180, 4);
    EXPECT_EQ(F->SkinSystemButton1->ClientRect().Left, width - 60 + 1); // one pixel to the side, maximised
    EXPECT_EQ(F->btn1->ClientRect().Left, width - 30 + 1);
    // The whole width is the window's: the title runs teal up to the buttons, which draw over it.
    EXPECT_EQ(px.at(width - 70, 1), teal);
    int drawn = 0;
    for (int x = width - 59; x < width; ++x) drawn += px.at(x, 13) != px.at(width - 70, 13) && px.at(x, 13) != 0;
    EXPECT_GT(drawn, 10);

    // The caption in white bold; its Chinese half drawn with glyphs of its own font, not boxes.
    const auto white_in = [&](int from, int to) {
        int n = 0;
        for (int y = 3; y < 25; ++y)
            for (int x = from; x < to; ++x) n += (px.at(x, y) & 0xF0F0F0u) == 0xF0F0F0u;
        return n;
    };
    const int latin_end = 4 + F->nclbl1->Width() / 2;
    EXPECT_GT(white_in(4, latin_end), 40);
    EXPECT_GT(white_in(latin_end, 4 + F->nclbl1->Width()), 40);
    window_dc dc(w);
    TFont& font = F->nclbl1->Font();
    const auto old = select_object(dc.get(), font.Handle());
    const std::u16string chinese = u"您的招投标神器";
    std::vector<WORD> glyphs(chinese.size());
    ASSERT_EQ(::GetGlyphIndicesW(dc.get(), wide(chinese), static_cast<int>(chinese.size()), glyphs.data(),
                                 GGI_MARK_NONEXISTING_GLYPHS),
              chinese.size());
    for (const WORD g : glyphs) EXPECT_NE(g, 0xFFFF);

    // The top bar: grey, its button area with a bottom border; the three image buttons drawn from the store.
    const POINT bar = screen_of(F->SkinPanel1->Handle(), 0, 0);
    EXPECT_EQ(px.at(bar.x - frame.left + 100, bar.y - frame.top + 1) & 0xFFFFFFu, 0xF2F2F2u);
    for (TSkinImageButton* b : {F->btn4, F->btn5, F->btn7}) {
        SCOPED_TRACE(string_to_utf8(b->Name()));
        const POINT at = screen_of(b->Handle(), 0, 0);
        int ink = 0;
        for (int y = 0; y < b->Height(); ++y)
            for (int x = 0; x < b->Width(); ++x) ink += (px.at(at.x - frame.left + x, at.y - frame.top + y) & 0xFFFFFFu) != 0xF2F2F2u;
        EXPECT_GT(ink, 40);
    }
}

TEST_F(MainWindow, TheNavigationButtonsReachTheEngineByRealClicks) {
    F->CEFBrowser->Load(u"http://second.example/");
    ASSERT_TRUE(pump_until([&] { return tab(0)->Caption() == u"http://second.example/"; }));
    bring_to_front();
    struct row {
        TSkinImageButton* button;
        const char* call;
        const char16_t* caption_after;
    };
    const row rows[] = {{F->btn4, "browser.go_back", home_title},
                        {F->btn5, "browser.go_forward", u"http://second.example/"},
                        {F->btn7, "browser.reload_ignore_cache", u"http://second.example/"}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.call);
        const size_t before = count(r.call);
        real_click(screen_of(r.button->Handle(), r.button->Width() / 2, r.button->Height() / 2));
        ASSERT_TRUE(pump_until([&] { return count(r.call) == before + 1; }));
        EXPECT_TRUE(pump_until([&] { return tab(0)->Caption() == r.caption_after; }));
    }
    // Pressed and let go elsewhere: no click.
    const size_t before = count("browser.reload_ignore_cache");
    test::mouse_to(screen_of(F->btn7->Handle(), 10, 10));
    pump_for(60);
    test::left_down();
    pump_for(60);
    test::mouse_to(screen_of(F->CEFBrowser->Handle(), 300, 300));
    test::left_up();
    pump_for(200);
    EXPECT_EQ(count("browser.reload_ignore_cache"), before);
}

// No maximise box, yet the strip's empty area restores and maximises; the restored window moves by its
// title bar, and a double click on the title maximises it again.
TEST_F(MainWindow, TheRestoredWindowMovesByItsTitleAndMaximisesAgain) {
    bring_to_front();
    const HWND w = F->Handle();
    ASSERT_TRUE(::IsZoomed(w));
    real_double_click(strip_background());
    ASSERT_TRUE(pump_until([&] { return !::IsZoomed(w); }));
    const RECT restored = window_rect(w);
    EXPECT_LT(restored.right - restored.left, ::GetSystemMetrics(SM_CXSCREEN));
    // The frame comes back with the restored window: the client starts below the title bar, inside.
    EXPECT_EQ(screen_of(w, 0, 0).y - restored.top, 28);

    // Dragged by the title bar, away from the caption and the buttons. The system's move loop runs inside
    // the press, so the hand that moves the mouse is another thread.
    const POINT grab{restored.left + (restored.right - restored.left) / 2, restored.top + 10};
    test::mouse_to(grab);
    pump_for(60);
    {
        std::jthread hand([grab] {
            ::Sleep(150);
            for (int step = 1; step <= 5; ++step) {
                test::mouse_to({grab.x + 8 * step, grab.y + 6 * step});
                ::Sleep(40);
            }
            test::left_up();
        });
        test::left_down();
        pump_for(600);
    }
    pump_for(100);
    const RECT moved = window_rect(w);
    EXPECT_EQ(moved.left - restored.left, 40);
    EXPECT_EQ(moved.top - restored.top, 30);
    EXPECT_EQ(moved.right - moved.left, restored.right - restored.left);

    // A double click on the title: maximised again, and the strip's background restores it once more.
    real_double_click({moved.left + (moved.right - moved.left) / 2, moved.top + 10});
    EXPECT_TRUE(pump_until([&] { return ::IsZoomed(w) != 0; }));
    real_double_click(strip_background());
    EXPECT_TRUE(pump_until([&] { return !::IsZoomed(w); }));
    real_double_click(strip_background());
    EXPECT_TRUE(pump_until([&] { return ::IsZoomed(w) != 0; }));
}

// A tab closed by its close button, then the cursor straight into the page: the strip learns that the
// mouse left although its capture ended first, and lays its tabs out again.
TEST_F(MainWindow, AfterAClosedTabTheCursorGoingStraightIntoThePageLeavesNoHotCloseButton) {
    const auto hot_close_buttons = [&] {
        int n = 0;
        for (int i = 0; i < tabs().Count(); ++i)
            if (const TPageTabControl* c = tab(i)->TabControl())
                n += c->CloseButtonState() == TDrawState::dsHot || c->CloseButtonState() == TDrawState::dsDown;
        return n;
    };
    open_tabs(8);
    bring_to_front();
    const int wide_before = tab_width(0);
    // Two tabs closed in a row, the hand moving a little while the button is held (under capture).
    const TPoint close = centre(tab(5)->TabControl()->GetCloseButonRect());
    const POINT at = screen_of(F->FPageTabs->Handle(), close.X, close.Y);
    for (int closed = 1; closed <= 2; ++closed) {
        test::mouse_to(at);
        pump_for(100);
        test::left_down();
        pump_for(30);
        test::mouse_to({at.x + 1, at.y});
        pump_for(30);
        test::left_up();
        ASSERT_TRUE(pump_until([&] { return tab_count() == 8 - closed; }));
        pump_for(150);
    }
    EXPECT_TRUE(F->FPageTabs->HasState(TPageTabState::stsDeletingUnPinnedTabs));
    const POINT page = screen_of(F->CEFBrowser->Handle(), F->CEFBrowser->Width() / 2, F->CEFBrowser->Height() / 2);
    ::SetCursorPos(page.x, page.y);
    EXPECT_TRUE(pump_until([&] { return hot_close_buttons() == 0; }, 3000));
    EXPECT_TRUE(pump_until([&] { return !F->FPageTabs->HasState(TPageTabState::stsDeletingUnPinnedTabs); }, 2000));
    settle();
    EXPECT_GT(tab_width(0), wide_before);
}

// --- Reliability

// The bytes in use in every heap of the process: the C runtime's, the system's and the stand-in's.
std::size_t heap_bytes_in_use() {
    std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 8);
    heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    std::size_t total = 0;
    for (HANDLE heap : heaps) total += test::heap_bytes_in_use(heap);
    return total;
}

// Tabs opened by the add button, loaded and closed by their close button, as a person would for hours.
// After a warm-up the heap holds no more at the end than early on (each span's highest figure, since the
// stand-in frees the objects it kept after their release in batches), and the counts of handles and engine
// objects are back where they started. KQ_TAB_CYCLES sets the number of cycles (docs/CONVENTIONS.md: the
// 1,000-cycle check by hand).
TEST_F(MainWindow, CyclesOfAddLoadCloseLeaveNothingBehindAndTheHeapFlat) {
    wchar_t setting[16] = {};
    const int cycles =
        ::GetEnvironmentVariableW(L"KQ_TAB_CYCLES", setting, 16) ? std::max(200, _wtoi(setting)) : 200;
    const int warm_up = 50, span = (cycles - warm_up) / 2;
    // The stand-in's record of calls goes to a file, as in a long run of the program, not into memory.
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring record = std::wstring(temp) + L"kq-cycles-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    ::SetEnvironmentVariableW(L"STANDIN_RECORD_FILE", record.c_str());
    const auto no_record = scope_exit([&] {
        ::SetEnvironmentVariableW(L"STANDIN_RECORD_FILE", nullptr);
        ::DeleteFileW(record.c_str());
    });
    settle();
    const test::handle_counts before = test::current_handle_counts();
    const int engine_objects = control().live_total();
    const int clients = TWebBHandler::live_clients();
    std::size_t early = 0, late = 0;
    for (int i = 0; i < cycles; ++i) {
        click_add();
        ASSERT_TRUE(pump_until([&] { return tab_count() == 2 && tab(1)->Caption() == home_title; })) << i;
        F->CEFBrowser->Load(u"http://cycle.example/" + IntToStr(i));
        ASSERT_TRUE(pump_until([&] { return tab(1)->Caption() == u"http://cycle.example/" + IntToStr(i); })) << i;
        click_close(1);
        ASSERT_TRUE(pump_until([&] { return tab_count() == 1 && F->CEFBrowser->BrowserCount() == 1; })) << i;
        if (i < warm_up) continue;
        std::size_t& peak = i < warm_up + span ? early : late;
        peak = std::max(peak, heap_bytes_in_use());
    }
    settle();
    EXPECT_EQ(tabs().Count(), 1);
    // A few kilobytes a cycle, the growth once seen, pass this bound within a span.
    EXPECT_LE(late, early + 96 * 1024) << "heap at the start " << early << ", at the end " << late;
    const test::handle_counts after = test::current_handle_counts();
    EXPECT_LE(after.gdi, before.gdi + 4);
    EXPECT_LE(after.user, before.user + 4);
    EXPECT_TRUE(pump_until([&] { return control().live_total() == engine_objects; }));
    EXPECT_EQ(TWebBHandler::live_clients(), clients);
}

} // namespace
} // namespace kq


