#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Core.WebBrowser.h"
#include "browser/WebB.Locker.h"
#include "browser/WebB.Settings.h"
#include "framework/ComponentText.h"
#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/Properties.h"
#include "framework/Threads.h"
#include "tests/browser/EngineFixture.h"

namespace kq {
namespace {

// A focusable control beside the browser.
class focus_target : public TCustomControl {
public:
    explicit focus_target(TComponent* AOwner) : TCustomControl(AOwner) { SetTabStop(true); }
};

// A form holding one browser component on the stand-in engine.
class WebBrowserTest : public test::engine_test {
protected:
    void SetUp() override {
        engine_test::SetUp();
        if (HasFatalFailure()) return;
        FForm = new TForm(Application);
        FForm->SetBounds(20, 20, 640, 480);
        FBrowser = make_browser();
        FForm->Show();
        pump_for(20);
    }
    void TearDown() override {
        delete FForm;
        engine_test::TearDown();
    }

    TWebBrowser* make_browser() {
        auto* browser = new TWebBrowser(FForm);
        browser->SetParent(FForm);
        browser->SetAlign(TAlign::alClient);
        browser->WebBOptions().SetCloseWPagesClosed(false);
        FForm->HandleNeeded();
        browser->HandleNeeded();
        return browser;
    }


    // Opens a page and waits until the engine has reported it; answers its identifier.
    int open(const String& url) {
        const int before = FBrowser->BrowserCount();
        FBrowser->AddPage(url);
        EXPECT_TRUE(pump_until([&] { return FBrowser->BrowserCount() == before + 1; }));
        return FBrowser->ActiveBrowserId();
    }
    HWND page_window(int id) const {
        TCefBrowserWrapper* w = FBrowser->BrowserWrappers(id);
        return w ? w->Browser().GetHost().GetWindowHandle() : nullptr;
    }
    size_t count(const std::string& name) const { return control().calls(name).size(); }
    bool wait_count(const std::string& name, size_t n) const {
        return pump_until([&] { return count(name) >= n; }) && count(name) == n;
    }

    TForm* FForm = nullptr;
    TWebBrowser* FBrowser = nullptr;
};

TEST_F(WebBrowserTest, StartsEmptyAndOpensTheDefaultAddress) {
    EXPECT_EQ(FBrowser->ActiveBrowserId(), -1);
    EXPECT_FALSE(FBrowser->CanGoBack());
    EXPECT_EQ(FBrowser->DefaultURL(), u"about:blank");
    EXPECT_TRUE(FBrowser->WebBOptions().DevToolsEnable());
    // Without a page there are no tools to show, and no DevTools view is made.
    const int components = FBrowser->ComponentCount();
    FBrowser->ShowDevTools();
    EXPECT_EQ(FBrowser->ComponentCount(), components);
    EXPECT_EQ(count("host.show_dev_tools"), 0u);

    std::vector<int> added;
    FBrowser->OnAddBrowser = [&](const ICefBrowser& b) { added.push_back(b.GetIdentifier()); };
    const int a = open(u"");
    ASSERT_TRUE(pump_until([&] { return FBrowser->URL() == u"about:blank"; }));
    EXPECT_EQ(added, std::vector<int>{a});
    FBrowser->SetDefaultURL(u"http://home/");
    FBrowser->GoHome();
    EXPECT_TRUE(pump_until([&] { return FBrowser->URL() == u"http://home/"; }));
    EXPECT_EQ(FBrowser->BrowserCount(), 1);

    // The component offers its view's script bridge.
    control().function<decltype(&standin_set_global)>("standin_set_global")(L"answer", "string", L"42");
    EXPECT_EQ(FBrowser->JsExtention().GetAsString(FBrowser->ActiveBrowser(), u"answer"), u"42");
}

// The page's source and text come later from the engine: a call that waits long enough gets them; one
// that does not wait keeps what an earlier call received.
TEST_F(WebBrowserTest, SourceAndTextOfTheShownPage) {
    String text = u"untouched";
    EXPECT_FALSE(FBrowser->GetSource(text, 5000)); // no page
    EXPECT_EQ(text, u"");
    control().function<decltype(&standin_set_title)>("standin_set_title")(L"http://a/", L"页面 A");
    open(u"http://a/");
    ASSERT_TRUE(pump_until([&] { return FBrowser->URL() == u"http://a/"; }));
    EXPECT_TRUE(FBrowser->GetSource(text, 5000));
    EXPECT_EQ(text, u"<html><body>http://a/</body></html>");
    EXPECT_TRUE(FBrowser->GetText(text, 5000));
    EXPECT_EQ(text, u"页面 A");
    // Without waiting, the text is the last delivered; the visit still arrives and is kept.
    EXPECT_FALSE(FBrowser->GetSource(text, 0));
    EXPECT_EQ(text, u"页面 A");
    ASSERT_TRUE(wait_count("visitor.visit", 3));
    EXPECT_FALSE(FBrowser->GetText(text, 0));
    EXPECT_EQ(text, u"<html><body>http://a/</body></html>");
}

TEST_F(WebBrowserTest, WrapperLookupAndRunningInTheRenderer) {
    const int a = open(u"http://a/");
    ASSERT_NE(FBrowser->GetWrapperBrowsers(a), nullptr);
    EXPECT_EQ(FBrowser->GetWrapperBrowsers(a), FBrowser->BrowserWrappers(a));
    EXPECT_EQ(FBrowser->GetWrapperBrowsers(a)->Browser().GetIdentifier(), a);
    EXPECT_EQ(FBrowser->GetWrapperBrowsers(a + 100), nullptr);

    std::atomic<int> ran_for{0};
    int data = 0;
    void* seen_data = nullptr;
    FBrowser->RunInRenderProcess(
        [&](const ICefBrowser& b, const ICefv8Context&, void* d) {
            seen_data = d;
            ran_for = b.GetIdentifier();
        },
        &data);
    ASSERT_TRUE(pump_until([&] { return ran_for.load() != 0; }));
    EXPECT_EQ(ran_for.load(), a);
    EXPECT_EQ(seen_data, &data);

    // The wrapper keeps an icon it is given and frees the one it had.
    TCefBrowserWrapper& page = *FBrowser->GetWrapperBrowsers(a);
    EXPECT_EQ(page.Favicon(), nullptr);
    auto icon = std::make_unique<TIcon>();
    const TIcon* given = icon.get();
    page.SetFavicon(std::move(icon));
    EXPECT_EQ(page.Favicon(), given);
    page.SetFavicon(nullptr);
    EXPECT_EQ(page.Favicon(), nullptr);
}

TEST_F(WebBrowserTest, OptionSettersCopyAndTheViewSeesTheComponentsOwn) {
    TWebBOptions given;
    given.SetCloseWPagesClosed(true);
    given.SetDevToolsEnable(false);
    FBrowser->SetWebBOptions(given);
    given.SetCloseWPagesClosed(false); // a copy was taken: this changes nothing
    EXPECT_TRUE(FBrowser->WebBOptions().CloseWPagesClosed());
    EXPECT_FALSE(FBrowser->WebBOptions().DevToolsEnable());
    // The view reads the component's object: closing the last page now closes the application.
    const int a = open(u"http://a/");
    EXPECT_TRUE(FBrowser->CloseBrowser(a, -1));
    EXPECT_EQ(test::application_closes, 1);

    TChromiumOptions chromium;
    chromium.SetLocalStorage(STATE_ENABLED);
    FBrowser->SetChromiumOptions(chromium);
    EXPECT_EQ(FBrowser->ChromiumOptions().LocalStorage(), STATE_ENABLED);
    EXPECT_NE(&FBrowser->ChromiumOptions(), &chromium);
}

TEST_F(WebBrowserTest, FormsStoreTheAddressAndTheOptions) {
    register_class<TWebBrowser>();
    auto* holder = new TForm(Application);
    auto* browser = new TWebBrowser(holder);
    browser->SetName(u"CEFBrowser");
    browser->SetParent(holder);
    browser->SetDefaultURL(u"http://home/");
    browser->WebBOptions().SetShowLoadError(true);
    browser->ChromiumOptions().SetWebgl(STATE_DISABLED);
    browser->ChromiumFontOptions().SetDefaultFontSize(15);
    const String text = write_component_text(*holder);
    delete holder;
    // The inner view is the component's own, not the form's.
    EXPECT_EQ(text.find(u"TBrowserView"), String::npos);

    auto* copy = new TForm(Application);
    read_component_text(text, *copy);
    auto* read = dynamic_cast<TWebBrowser*>(copy->FindComponent(u"CEFBrowser"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->DefaultURL(), u"http://home/");
    EXPECT_TRUE(read->WebBOptions().ShowLoadError());
    EXPECT_EQ(read->ChromiumOptions().Webgl(), STATE_DISABLED);
    EXPECT_EQ(read->ChromiumFontOptions().DefaultFontSize(), 15);
    delete copy;
}

// Marshalled events reach the handlers on the GUI thread, direct ones on the engine thread.
TEST_F(WebBrowserTest, EventsReachTheHandlers) {
    std::vector<std::string> seen;
    std::atomic<bool> protocol_on_gui{true};
    FBrowser->OnStateChange = [&](const ICefBrowser&, TBrowserDataChangeKind kind, const String& value) {
        if (kind == BrowserDataChange_StatusMessage) seen.push_back("status " + string_to_utf8(value));
    };
    std::atomic<int> protocols{0};
    FBrowser->OnProtocolExecution = [&](const ICefBrowser&, const String&, bool& allow) {
        protocol_on_gui = on_gui_thread();
        allow = true;
        ++protocols;
    };
    const int a = open(u"http://a/");
    ASSERT_EQ(inject(a, "status", "io", L"ready"), 1);
    ASSERT_EQ(inject(a, "protocol_execution", "io", L"mailto:x"), 1);
    ASSERT_TRUE(wait_count("inject.protocol_execution", 1));
    ASSERT_TRUE(pump_until([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, std::vector<std::string>{"status ready"});
    EXPECT_EQ(protocols, 1);
    EXPECT_FALSE(protocol_on_gui);
    EXPECT_EQ(control().calls("inject.protocol_execution")[0].detail, "browser=" + std::to_string(a) + " allow=1");
}

TEST_F(WebBrowserTest, ClosingTwoPagesAtOnceLeavesTheRightPageShown) {
    const int a = open(u"http://a/"), b = open(u"http://b/"), c = open(u"http://c/");
    // While the engine closes c, a handler closes b and names a; the page the first close named has gone.
    bool nested = false;
    FBrowser->OnBeforeCloseBrowser = [&](const std::vector<int>& ids, TCloseBrowserType, int&) {
        if (nested || ids != std::vector<int>{c}) return;
        nested = true;
        EXPECT_TRUE(FBrowser->CloseBrowser(b, a));
    };
    EXPECT_TRUE(FBrowser->CloseBrowser(c, b));
    EXPECT_EQ(FBrowser->BrowserCount(), 1);
    EXPECT_EQ(FBrowser->ActiveBrowserId(), a);
    EXPECT_TRUE(::IsWindowVisible(page_window(a)));

    // Every page but one: the kept one is shown.
    FBrowser->OnBeforeCloseBrowser = nullptr;
    const int d = open(u"http://d/"), e = open(u"http://e/");
    // a and e go together; e was shown.
    EXPECT_TRUE(FBrowser->CloseAllOtherBrowser(d));
    EXPECT_EQ(FBrowser->BrowserCount(), 1);
    EXPECT_EQ(FBrowser->BrowserWrappers(a), nullptr);
    EXPECT_EQ(FBrowser->BrowserWrappers(e), nullptr);
    EXPECT_EQ(FBrowser->ActiveBrowserId(), d);
    EXPECT_TRUE(::IsWindowVisible(page_window(d)));
}

// --- The default tab control

class DefaultTabsTest : public WebBrowserTest {
protected:
    void SetUp() override {
        WebBrowserTest::SetUp();
        if (HasFatalFailure()) return;
        FBrowser->CreateDefaultTabsControl(30);
        for (int i = 0; i < FBrowser->ControlCount(); ++i)
            if (auto* tabs = dynamic_cast<TPageControl*>(FBrowser->Controls(i))) FTabs = tabs;
        ASSERT_NE(FTabs, nullptr);
    }
    // The pages the tabs stand for, in tab order.
    std::vector<int> tab_ids() const {
        std::vector<int> ids;
        for (int i = 0; i < FTabs->PageCount(); ++i) ids.push_back(static_cast<int>(FTabs->Pages(i)->Tag()));
        return ids;
    }
    std::vector<String> captions() const {
        std::vector<String> texts;
        for (int i = 0; i < FTabs->PageCount(); ++i) texts.push_back(FTabs->Pages(i)->Caption());
        return texts;
    }
    int active_tab_id() const { return FTabs->ActivePage() ? static_cast<int>(FTabs->ActivePage()->Tag()) : -1; }
    // The user's click on a tab; answers whether the change went through or was refused in time.
    bool click_tab(int index, const int& events) {
        RECT r{};
        ::SendMessageW(FTabs->Handle(), TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r));
        const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        const int before = events;
        ::PostMessageW(FTabs->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::PostMessageW(FTabs->Handle(), WM_LBUTTONUP, 0, at);
        return pump_until([&] { return events != before; });
    }

    TPageControl* FTabs = nullptr;
};

TEST_F(DefaultTabsTest, TabsFollowThePagesAndAClickShowsItsPage) {
    FBrowser->CreateDefaultTabsControl(50); // made once
    EXPECT_EQ(FTabs->Height(), 30);
    EXPECT_EQ(FTabs->Top(), 0);
    EXPECT_EQ(FTabs->Width(), FBrowser->ClientWidth());

    // A tab per page, the newest active; its caption is the page's title. When the event is raised the
    // new page is registered and shown, and its tab is the active one.
    control().function<decltype(&standin_set_title)>("standin_set_title")(L"http://b/", L"Bee 页");
    std::vector<int> added_in_order;
    FBrowser->OnAddBrowser = [&](const ICefBrowser& b) {
        const int id = b.GetIdentifier();
        if (FBrowser->ActiveBrowserId() == id && FBrowser->BrowserWrappers(id) && active_tab_id() == id)
            added_in_order.push_back(id);
    };
    const int a = open(u"http://a/"), b = open(u"http://b/"), c = open(u"http://c/");
    EXPECT_EQ(added_in_order, (std::vector<int>{a, b, c}));
    EXPECT_EQ(tab_ids(), (std::vector<int>{a, b, c}));
    EXPECT_EQ(active_tab_id(), c);
    EXPECT_TRUE(pump_until([&] {
        return captions() == std::vector<String>{u"http://a/", u"Bee 页", u"http://c/"};
    }));
    // A page in the background titles its own tab.
    FBrowser->BrowserWrappers(b)->Browser().GetMainFrame().LoadUrl(u"http://b2/");
    EXPECT_TRUE(pump_until([&] {
        return captions() == std::vector<String>{u"http://a/", u"http://b2/", u"http://c/"};
    }));
    EXPECT_EQ(active_tab_id(), c);

    // Clicking a tab shows its page; the component's events see the tab control as sender.
    int changing = 0, changed = 0;
    bool allow = true;
    FBrowser->OnDefaultTabChanging = [&](TObject* sender, bool& allow_change) {
        EXPECT_EQ(sender, FTabs);
        allow_change = allow;
        ++changing;
    };
    FBrowser->OnDefaultTabChanged = [&](TObject* sender) {
        EXPECT_EQ(sender, FTabs);
        // The page is shown before the event.
        EXPECT_EQ(FBrowser->ActiveBrowserId(), active_tab_id());
        ++changed;
    };
    ASSERT_TRUE(click_tab(0, changed));
    EXPECT_EQ(changing, 1);
    EXPECT_EQ(active_tab_id(), a);
    EXPECT_EQ(FBrowser->ActiveBrowserId(), a);
    EXPECT_TRUE(::IsWindowVisible(page_window(a)));
    EXPECT_FALSE(::IsWindowVisible(page_window(c)));
    // A refused change keeps tab and page.
    allow = false;
    ASSERT_TRUE(click_tab(1, changing));
    pump_for(30);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(active_tab_id(), a);
    EXPECT_EQ(FBrowser->ActiveBrowserId(), a);

    // Closing a page takes its tab; the tab of the page shown next becomes active, not the neighbour.
    const int d = open(u"http://d/");
    EXPECT_TRUE(FBrowser->CloseBrowser(d, a));
    EXPECT_EQ(tab_ids(), (std::vector<int>{a, b, c}));
    EXPECT_EQ(active_tab_id(), a);
    EXPECT_EQ(FBrowser->ActiveBrowserId(), a);
    // Two pages at once, the shown one among them.
    EXPECT_TRUE(FBrowser->CloseAllOtherBrowser(c));
    EXPECT_EQ(tab_ids(), std::vector<int>{c});
    EXPECT_EQ(active_tab_id(), c);
    EXPECT_EQ(FBrowser->ActiveBrowserId(), c);
    FBrowser->CloseAllBrowser(true);
    EXPECT_EQ(FTabs->PageCount(), 0);
}

// --- The parent form

TEST_F(WebBrowserTest, MovingTheFormNotifiesOncePerMoveAndNotWhileMaximised) {
    open(u"http://a/");
    pump_for(50);
    const std::string name = "host.notify_move_or_resize_started";
    control().reset();
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        FForm->SetBounds(20 + 30 * i, 20 + 10 * i, 640, 480);
        EXPECT_EQ(count(name), static_cast<size_t>(i));
    }
    // A move to where the form already is tells nothing.
    ::SendMessageW(FForm->Handle(), WM_MOVE, 0, MAKELPARAM(FForm->Left(), FForm->Top()));
    EXPECT_EQ(count(name), 3u);
    RECT r{FForm->Left() + 5, FForm->Top() + 5, FForm->Left() + 645, FForm->Top() + 485};
    ::SendMessageW(FForm->Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(count(name), 4u);

    FForm->SetWindowState(TWindowState::wsMaximized);
    pump_for(20);
    // Without a window manager the request is not granted here; the state the system reports is what
    // counts.
    if (FForm->WindowState() != TWindowState::wsMaximized)
        ::SetWindowLongW(FForm->Handle(), GWL_STYLE, ::GetWindowLongW(FForm->Handle(), GWL_STYLE) | WS_MAXIMIZE);
    ASSERT_EQ(FForm->WindowState(), TWindowState::wsMaximized);
    control().reset();
    ::SendMessageW(FForm->Handle(), WM_MOVE, 0, MAKELPARAM(7, 9));
    ::SendMessageW(FForm->Handle(), WM_MOVING, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(count(name), 0u);
}

// Activation from outside the program lets the page's next focus report take the framework's focus;
// activation from one of its windows does so only when the browser's view was not the active control.
TEST_F(WebBrowserTest, ActivationDecidesWhetherThePagesFocusReportMovesTheFocus) {
    auto* other = new focus_target(FForm);
    other->SetBounds(0, 0, 50, 20);
    other->SetAlign(TAlign::alTop);
    other->SetParent(FForm);
    const int a = open(u"http://a/");
    pump_for(50);
    const HWND view = ::GetWindow(FBrowser->Handle(), GW_CHILD);
    ASSERT_NE(view, nullptr);
    struct row {
        const char* name;
        bool view_active; // the view is the form's active control when the form is activated
        bool from_other_window;
        bool focus_moves;
    };
    const row rows[] = {
        {"from outside", true, false, true},
        {"from the program, view active", true, true, false},
        {"from the program, other control active", false, true, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        FForm->SetActiveControl(r.view_active ? static_cast<TWinControl*>(FindControl(view)) : other);
        ::SendMessageW(FForm->Handle(), WM_ACTIVATE, WA_ACTIVE,
                       r.from_other_window ? reinterpret_cast<LPARAM>(Application->Handle()) : 0);
        ::SetFocus(other->Handle());
        ASSERT_EQ(::GetFocus(), other->Handle());
        control().reset();
        ASSERT_EQ(inject(a, "got_focus", "ui", L""), 1);
        ASSERT_TRUE(wait_count("inject.got_focus", 1));
        EXPECT_EQ(::GetFocus() == view, r.focus_moves);
    }
}

// Every hooker of the form, the component included, keeps its hook whichever of them goes first.
TEST_F(WebBrowserTest, FormHooksSurviveDestructionInEitherOrder) {
    for (const bool component_first : {true, false}) {
        SCOPED_TRACE(component_first ? "component first" : "other hooker first");
        TWebBrowser* browser = FBrowser;
        int other_seen = 0;
        window_hook other = FForm->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
            if (m.Msg == WM_APP) ++other_seen;
            next(m);
        });
        const int a = open(u"http://a/");
        pump_for(30);
        if (component_first) {
            delete browser;
            FBrowser = nullptr;
            ::SendMessageW(FForm->Handle(), WM_APP, 0, 0);
            EXPECT_EQ(other_seen, 1);
            other.Unhook();
            FBrowser = make_browser();
        } else {
            other.Unhook();
            control().reset();
            ::SendMessageW(FForm->Handle(), WM_APP, 0, 0);
            FForm->SetBounds(FForm->Left() + 10, FForm->Top(), FForm->Width(), FForm->Height());
            EXPECT_EQ(count("host.notify_move_or_resize_started"), 1u);
            EXPECT_EQ(other_seen, 0);
            EXPECT_TRUE(FBrowser->CloseBrowser(a, -1));
        }
        // The form still works on its own.
        FForm->SetBounds(FForm->Left() + 10, FForm->Top(), FForm->Width(), FForm->Height());
        ::SendMessageW(FForm->Handle(), WM_APP, 0, 0);
    }
}

TEST_F(WebBrowserTest, AFormBeingDestroyedGetsEveryMessagePastTheComponentsAndOtherHooks) {
    for (const bool component_first : {true, false}) {
        SCOPED_TRACE(component_first ? "component hooked first" : "other hooker first");
        TForm* form = CreateForm<TForm>(Application);
        form->SetBounds(40, 40, 400, 300);
        form->HandleNeeded();
        window_hook other;
        const auto hook_other = [&] {
            other = form->HookWindowProc([](TMessage& m, const TWndMethod& next) {
                if (m.Msg != WM_APP) next(m); // takes WM_APP for itself
            });
        };
        if (!component_first) hook_other();
        auto* browser = new TWebBrowser(form);
        browser->SetParent(form);
        browser->SetAlign(TAlign::alClient);
        if (component_first) hook_other();
        form->Show();
        browser->AddPage(u"http://a/");
        ASSERT_TRUE(pump_until([&] { return browser->BrowserCount() == 1; }));

        std::vector<UINT> reached;
        form->WindowProc = [&reached, own = form->WindowProc](TMessage& m) {
            if (m.Msg == WM_APP || m.Msg == WM_DESTROY || m.Msg == WM_NCDESTROY) reached.push_back(m.Msg);
            own(m);
        };
        ::SendMessageW(form->Handle(), WM_APP, 0, 0);
        EXPECT_TRUE(reached.empty());
        form->OnDestroy = [](TObject* sender) { ::SendMessageW(static_cast<TForm*>(sender)->Handle(), WM_APP, 0, 0); };
        delete form;
        EXPECT_EQ(reached, (std::vector<UINT>{WM_APP, WM_DESTROY, WM_NCDESTROY}));
        pump_for(50);
    }
}

// --- DevTools

TEST_F(WebBrowserTest, DevToolsOpenOneWindowAndAgainAfterItCloses) {
    const int a = open(u"http://a/");
    const std::string id = std::to_string(a);
    const std::string opened = "browser=" + id + " url= style=90CD0000 rect=0,0," +
                               std::to_string(::GetSystemMetrics(SM_CXSCREEN)) + "," +
                               std::to_string(::GetSystemMetrics(SM_CYSCREEN)) + " name=DevTools";
    control().reset();
    FBrowser->ShowDevTools();
    FBrowser->ShowDevTools(FBrowser->ActiveBrowser());
    ASSERT_EQ(count("host.show_dev_tools"), 1u);
    EXPECT_EQ(control().calls("host.show_dev_tools")[0].detail, opened);
    const HWND tools = ::FindWindowW(nullptr, L"DevTools");
    ASSERT_NE(tools, nullptr);
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(tools, GWL_STYLE)) & 0x90CD0000u, 0x90CD0000u);
    EXPECT_EQ(::GetParent(tools), nullptr);

    // The user closes the window: the next request opens the tools again.
    ::SendMessageW(tools, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(tools));
    pump_for(50);
    FBrowser->ShowDevTools();
    EXPECT_EQ(count("host.show_dev_tools"), 2u);
    const HWND again = ::FindWindowW(nullptr, L"DevTools");
    EXPECT_NE(again, nullptr);

    // Closed by the program: the same.
    FBrowser->CloseDevTools();
    EXPECT_EQ(count("host.close_dev_tools"), 1u);
    EXPECT_TRUE(pump_until([&] { return !::IsWindow(again); }));
    FBrowser->ShowDevTools();
    EXPECT_EQ(count("host.show_dev_tools"), 3u);
    // Closing the page takes its tools with it.
    const HWND last = ::FindWindowW(nullptr, L"DevTools");
    EXPECT_TRUE(FBrowser->CloseBrowser(a, -1));
    EXPECT_TRUE(pump_until([&] { return !::IsWindow(last); }));
}

TEST_F(WebBrowserTest, TheF12KeyOpensTheToolsOnlyWhenEnabled) {
    const int a = open(u"http://a/");
    const std::wstring f12_up = std::to_wstring(KEYEVENT_KEYUP) + L"|0|" + std::to_wstring(VK_F12) + L"|0";
    for (const bool enabled : {false, true}) {
        SCOPED_TRACE(enabled);
        FBrowser->WebBOptions().SetDevToolsEnable(enabled);
        control().reset();
        ASSERT_EQ(inject(a, "pre_key", "ui", f12_up.c_str()), 1);
        ASSERT_TRUE(wait_count("inject.pre_key", 1));
        EXPECT_EQ(count("host.show_dev_tools"), enabled ? 1u : 0u);
    }
}

// --- Lifetime

// Engine threads keep raising events while the component goes; none reaches a handler afterwards.
TEST_F(WebBrowserTest, DestroyingTheComponentWhileTheEngineRaisesEventsDropsThem) {
    for (int i = 0; i < 30; ++i) {
        const int id = open(u"http://a/");
        std::atomic<bool> gone{false};
        std::atomic<int> late{0};
        FBrowser->OnProtocolExecution = [&](const ICefBrowser&, const String&, bool&) {
            if (gone) ++late;
        };
        FBrowser->OnStateChange = [&](const ICefBrowser&, TBrowserDataChangeKind, const String&) {
            if (gone) ++late;
        };
        std::atomic<bool> stop{false};
        std::thread injector([&] {
            while (!stop) {
                inject(id, "protocol_execution", "io", L"mailto:x");
                inject(id, "status", "io", L"x");
                inject(id, "tooltip", "io", L"t");
            }
        });
        pump_for(5);
        delete FBrowser;
        gone = true;
        FBrowser = nullptr;
        pump_for(5);
        stop = true;
        injector.join();
        pump_for(20);
        EXPECT_EQ(late, 0) << i;
        FBrowser = make_browser();
    }
}

TEST_F(WebBrowserTest, ManyCyclesLeaveNoEngineObjectsAndNoHandles) {
    const test::handle_marks marks = test::current_handle_marks();
    std::atomic<int> statuses{0};
    FBrowser->OnStateChange = [&](const ICefBrowser&, TBrowserDataChangeKind kind, const String&) {
        if (kind == BrowserDataChange_StatusMessage) ++statuses;
    };
    for (int i = 0; i < 1000; ++i) {
        const int id = open(u"http://a/");
        ASSERT_TRUE(pump_until([&] { return FBrowser->URL() == u"http://a/"; })) << i;
        inject(id, "status", "io", L"s");
        inject(id, "protocol_execution", "io", L"mailto:x");
        ASSERT_TRUE(pump_until([&] { return statuses == i + 1; })) << i;
        ASSERT_TRUE(FBrowser->CloseBrowser(id, -1)) << i;
    }
    delete FBrowser;
    FBrowser = nullptr;
    pump_until([&] { return TWebBHandler::live_clients() == 0 && !TWebBHandler::timer_exists(); });
    webbapp_shutdown();
    EXPECT_EQ(control().live_total(), 0);
    const test::handle_marks after = test::current_handle_marks();
    EXPECT_LE(after.gdi, marks.gdi);
    EXPECT_LE(after.user, marks.user);
    webbapp_startup(); // for the fixture's own shutdown
}

} // namespace
} // namespace kq
