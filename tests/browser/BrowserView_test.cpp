#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Core.BrowserView.h"
#include "browser/WebB.Locker.h"
#include "browser/WebB.Settings.h"
#include "browser/WebB.Utils.h"
#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "tests/browser/EngineFixture.h"

namespace kq {
namespace {

// The component's stand-in: records every event it receives with the thread it arrived on.
class test_sink : public IWebBrowser {
public:
    struct event {
        std::string text;
        bool on_gui_thread;
    };
    void FillBrowserSettings(cef_browser_settings_t&) override {}
    void ShowDevTools(const ICefBrowser& b) override { add("ShowDevTools " + id(b)); }
    void OnAddBrowser(const ICefBrowser& b) override { add("OnAddBrowser " + id(b)); }
    void OnBeforeCloseBrowser(const std::vector<int>& ids, TCloseBrowserType type, int& show) override {
        add("OnBeforeCloseBrowser " + list(ids) + (type == CLOSETYPE_JS ? " js " : " default ") + std::to_string(show));
        if (change_show_to) show = *change_show_to;
    }
    void OnCloseBrowser(const std::vector<int>& ids, int show) override {
        add("OnCloseBrowser " + list(ids) + " " + std::to_string(show));
    }
    void OnStateChange(const ICefBrowser& b, TBrowserDataChangeKind kind, const String& value) override {
        const char* k = kind == BrowserDataChange_Address ? "address" : kind == BrowserDataChange_Title ? "title" : "status";
        add("OnStateChange " + id(b) + " " + k + " " + string_to_utf8(value));
        if (throw_from_events && kind == BrowserDataChange_StatusMessage) throw Exception(u"handler failed on " + value);
    }
    void OnProtocolExecution(const ICefBrowser& b, const String& url, bool& allow) override {
        add("OnProtocolExecution " + id(b) + " " + string_to_utf8(url));
        allow = true;
        if (throw_from_events) throw Exception(u"handler failed on " + url);
    }
    void OnPreKeyEvent(const ICefBrowser& b, const cef_key_event_t& e, const MSG*, bool&, bool&, bool&) override {
        add("OnPreKeyEvent " + id(b) + " " + std::to_string(e.windows_key_code));
    }
    void OnBeforePopup(const ICefBrowser& b, const ICefFrame&, const String& url, const String&,
                       cef_window_open_disposition_t, bool, const cef_popup_features_t&, cef_window_info_t&,
                       cef_client_t**&, cef_browser_settings_t&, bool&, bool& Cancel, bool&) override {
        add("OnBeforePopup " + id(b) + " " + string_to_utf8(url));
        Cancel = refuse_popups;
    }
    void OnLoadError(const ICefBrowser& b, const ICefFrame&, int code, const String&, const String&, bool&) override {
        add("OnLoadError " + id(b) + " " + std::to_string(code));
    }
    // The events of the messages the view dispatches though no handler sends them; each one that has an
    // out flag sets it, so the test sees it written through the record.
    void OnSetFocus(const ICefBrowser& b, cef_focus_source_t source, bool& Cancel, bool& CancelDefaultEvent) override {
        add("OnSetFocus " + id(b) + " " + std::to_string(source));
        Cancel = CancelDefaultEvent = true;
    }
    void OnTakeFocus(const ICefBrowser& b, bool next) override { add("OnTakeFocus " + id(b) + " " + std::to_string(next)); }
    void OnBeforeContextMenu(const ICefBrowser& b, const ICefFrame&, const ICefContextMenuParams&,
                             const ICefMenuModel&) override {
        add("OnBeforeContextMenu " + id(b));
    }
    void OnContextMenuDismissed(const ICefBrowser& b, const ICefFrame&) override { add("OnContextMenuDismissed " + id(b)); }
    void OnKeyEvent(const ICefBrowser& b, const cef_key_event_t& e, const MSG*, bool& Cancel) override {
        add("OnKeyEvent " + id(b) + " " + std::to_string(e.windows_key_code));
        Cancel = true;
    }
    void OnDownloadUpdated(const ICefBrowser& b, const ICefDownloadItem&,
                           const engine_ref<cef_download_item_callback_t>&) override {
        add("OnDownloadUpdated " + id(b));
    }
    void OnRequestGeolocationPermission(const ICefBrowser& b, const String& url, int request,
                                        const engine_ref<cef_geolocation_callback_t>&, bool& Cancel) override {
        add("OnRequestGeolocationPermission " + id(b) + " " + string_to_utf8(url) + " " + std::to_string(request));
        Cancel = true;
    }
    void OnCancelGeolocationPermission(const ICefBrowser& b, int request) override {
        add("OnCancelGeolocationPermission " + id(b) + " " + std::to_string(request));
    }
    void OnResetDialogState(const ICefBrowser& b) override { add("OnResetDialogState " + id(b)); }
    void OnDialogClosed(const ICefBrowser& b) override { add("OnDialogClosed " + id(b)); }
    void OnDragEnter(const ICefBrowser& b, const engine_ref<cef_drag_data_t>&, cef_drag_operations_mask_t mask,
                     bool& Cancel) override {
        add("OnDragEnter " + id(b) + " " + std::to_string(mask));
        Cancel = true;
    }

    std::vector<event> events() const {
        const std::lock_guard lock(FLock);
        return FEvents;
    }
    std::vector<std::string> texts(const std::string& prefix = {}) const {
        std::vector<std::string> out;
        for (const event& e : events()) {
            if (e.text.rfind(prefix, 0) == 0) out.push_back(e.text);
        }
        return out;
    }
    void clear() {
        const std::lock_guard lock(FLock);
        FEvents.clear();
    }

    std::optional<int> change_show_to;
    bool refuse_popups = false;
    bool throw_from_events = false;

private:
    static std::string id(const ICefBrowser& b) { return b ? std::to_string(b.GetIdentifier()) : "nil"; }
    static std::string list(const std::vector<int>& ids) {
        std::string s = "[";
        for (size_t i = 0; i < ids.size(); ++i) s += (i ? "," : "") + std::to_string(ids[i]);
        return s + "]";
    }
    void add(std::string text) {
        const std::lock_guard lock(FLock);
        FEvents.push_back({std::move(text), on_gui_thread()});
    }
    mutable std::mutex FLock; // guards FEvents: direct events arrive on engine threads
    std::vector<event> FEvents;
};

class BrowserViewTest : public test::engine_test {
protected:
    void SetUp() override {
        engine_test::SetUp();
        if (HasFatalFailure()) return;
        FMarks = test::current_handle_marks();
        FForm = new TForm(Application);
        FForm->SetBounds(0, 0, 640, 480);
        FView = new TBrowserView(FForm, &FSink, &FOptions);
        FView->SetParent(FForm);
        FView->SetAlign(TAlign::alClient);
        FForm->Show();
    }
    void TearDown() override {
        delete FForm;
        engine_test::TearDown();
    }

    // Opens a page and waits until the engine has reported it; answers its identifier.
    int open(const String& url) {
        const int before = FView->BrowserCount();
        FView->AddPage(url, u"about:blank");
        EXPECT_TRUE(pump_until([&] { return FView->BrowserCount() == before + 1; }));
        return FView->ActiveBrowserId();
    }
    HWND page_window(int id) const {
        TCefBrowserWrapper* w = FView->BrowserWrappers(id);
        return w ? w->Browser().GetHost().GetWindowHandle() : nullptr;
    }
    std::vector<int> visible_pages() const {
        std::vector<int> ids;
        for (HWND c = ::GetWindow(FView->Handle(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            if (!::IsWindowVisible(c)) continue;
            for (int id = 1; id < 100000; ++id) {
                if (page_window(id) == c) {
                    ids.push_back(id);
                    break;
                }
            }
        }
        return ids;
    }
    // Waits for the injection's outcome, as the stand-in records it; answers its detail.
    std::string injected(const std::string& callback, size_t count = 1) {
        const std::string name = "inject." + callback;
        pump_until([&] { return control().calls(name).size() >= count; });
        const auto calls = control().calls(name);
        return calls.size() >= count ? calls[count - 1].detail : "(none)";
    }

    test_sink FSink;
    TWebBOptions FOptions;
    TForm* FForm = nullptr;
    TBrowserView* FView = nullptr;
    test::handle_marks FMarks;
};

TEST_F(BrowserViewTest, ThreePagesShowOnlyTheLast) {
    EXPECT_EQ(FView->ActiveBrowserId(), -1);
    EXPECT_TRUE(FView->Empty());
    const int a = open(u"http://a/"), b = open(u"http://b/"), c = open(u"http://c/");
    EXPECT_EQ(FView->BrowserCount(), 3);
    EXPECT_EQ(FView->ActiveBrowserId(), c);
    EXPECT_EQ(visible_pages(), std::vector<int>{c});
    EXPECT_EQ(FSink.texts("OnAddBrowser"),
              (std::vector<std::string>{"OnAddBrowser " + std::to_string(a), "OnAddBrowser " + std::to_string(b),
                                        "OnAddBrowser " + std::to_string(c)}));
    EXPECT_TRUE(TWebBHandler::timer_enabled());
}

TEST_F(BrowserViewTest, TheShownPageStaysUntilTheNewOneIsThere) {
    const int a = open(u"http://a/");
    FView->AddPage(u"http://b/", u"");
    // The engine has made the page but not reported it yet.
    EXPECT_EQ(FView->ActiveBrowserId(), a);
    EXPECT_TRUE(::IsWindowVisible(page_window(a)));
    ASSERT_TRUE(pump_until([&] { return FView->BrowserCount() == 2; }));
    EXPECT_FALSE(::IsWindowVisible(page_window(a)));
}

TEST_F(BrowserViewTest, APageTheEngineDidNotMakeIsAnErrorThatChangesNothing) {
    const int a = open(u"http://a/");
    FControlLibrary.exports().cef_shutdown(); // the engine is gone; the program still thinks it runs
    try {
        FView->AddPage(u"http://b/", u"");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"The browser engine could not create a page");
    }
    EXPECT_EQ(FView->ActiveBrowserId(), a);
    EXPECT_EQ(FView->BrowserCount(), 1);
}

TEST_F(BrowserViewTest, CallbacksForAViewBeingDestroyedNeitherCrashNorHang) {
    for (int i = 0; i < 50; ++i) {
        auto* view = new TBrowserView(FForm, &FSink, &FOptions);
        view->SetParent(FForm);
        view->SetBounds(0, 0, 200, 200);
        view->AddPage(u"http://a/", u"");
        ASSERT_TRUE(pump_until([&] { return view->BrowserCount() == 1; })) << i;
        const int id = view->ActiveBrowserId();
        for (const char* thread : {"io", "ui", "io"}) {
            inject(id, "status", thread, L"x");
            inject(id, "tooltip", thread, L"t");
            inject(id, "protocol_execution", thread, L"mailto:x");
        }
        delete view;
    }
    pump_for(100);
}

TEST_F(BrowserViewTest, ShowingAPageReportsItsAddressAndTitleAgain) {
    const int a = open(u"http://a/");
    open(u"http://b/");
    pump_for(100);
    FSink.clear();
    EXPECT_TRUE(FView->ShowBrowser(a));
    EXPECT_EQ(FView->ActiveBrowserId(), a);
    EXPECT_EQ(visible_pages(), std::vector<int>{a});
    EXPECT_EQ(FSink.texts("OnStateChange"),
              (std::vector<std::string>{"OnStateChange " + std::to_string(a) + " address http://a/",
                                        "OnStateChange " + std::to_string(a) + " title http://a/"}));
}

TEST_F(BrowserViewTest, ShowingAnUnknownPageChangesNothing) {
    open(u"http://a/");
    const int b = open(u"http://b/");
    for (const int unknown : {0, -1, 12345}) {
        SCOPED_TRACE(unknown);
        EXPECT_FALSE(FView->ShowBrowser(unknown));
        EXPECT_EQ(FView->ActiveBrowserId(), b);
        EXPECT_EQ(visible_pages(), std::vector<int>{b});
    }
}

TEST_F(BrowserViewTest, ClosingAPageRaisesBothEventsAndShowsTheNamedPage) {
    FOptions.SetCloseWPagesClosed(false);
    const int a = open(u"http://a/"), b = open(u"http://b/"), c = open(u"http://c/");
    FSink.clear();
    EXPECT_TRUE(FView->CloseBrowser(c, a));
    EXPECT_EQ(FSink.texts("On"),
              (std::vector<std::string>{"OnBeforeCloseBrowser [" + std::to_string(c) + "] default " + std::to_string(a),
                                        "OnCloseBrowser [" + std::to_string(c) + "] " + std::to_string(a),
                                        "OnStateChange " + std::to_string(a) + " address http://a/",
                                        "OnStateChange " + std::to_string(a) + " title http://a/"}));
    EXPECT_EQ(FView->BrowserCount(), 2);
    EXPECT_EQ(FView->ActiveBrowserId(), a);
    EXPECT_EQ(visible_pages(), std::vector<int>{a});

    // Closing a page and naming it as the next one shows nothing new.
    EXPECT_TRUE(FView->CloseBrowser(a, a));
    EXPECT_EQ(FView->BrowserCount(), 1);
    EXPECT_EQ(visible_pages(), std::vector<int>{});

    // An unknown page: nothing happens.
    FSink.clear();
    EXPECT_FALSE(FView->CloseBrowser(777, b));
    EXPECT_EQ(FSink.texts(), std::vector<std::string>{});
    EXPECT_EQ(FView->BrowserCount(), 1);
    EXPECT_EQ(test::application_closes, 0);
}

TEST_F(BrowserViewTest, AHandlerMayNameAnotherPageToShow) {
    FOptions.SetCloseWPagesClosed(false);
    const int a = open(u"http://a/"), b = open(u"http://b/"), c = open(u"http://c/");
    FSink.change_show_to = b;
    EXPECT_TRUE(FView->CloseBrowser(c, a));
    // The page looked up before the events is shown; the changed identifier is reported.
    EXPECT_EQ(FSink.texts("OnCloseBrowser"), std::vector<std::string>{"OnCloseBrowser [" + std::to_string(c) + "] " + std::to_string(b)});
    EXPECT_EQ(FView->ActiveBrowserId(), a);
}

TEST_F(BrowserViewTest, ClosingTheLastPageClosesTheApplicationWindowWhenAsked) {
    struct row {
        bool close_when_empty;
        int closes;
    };
    for (const row r : {row{true, 1}, row{false, 0}}) {
        SCOPED_TRACE(r.close_when_empty);
        test::application_closes = 0;
        FOptions.SetCloseWPagesClosed(r.close_when_empty);
        const int a = open(u"http://a/");
        EXPECT_TRUE(FView->CloseBrowser(a, -1));
        EXPECT_EQ(test::application_closes, r.closes);
        EXPECT_EQ(FView->BrowserCount(), 0);
        EXPECT_TRUE(FView->Empty());
    }
    // An empty view opens a new page on Load.
    FView->Load(u"http://again/");
    EXPECT_TRUE(pump_until([&] { return FView->BrowserCount() == 1; }));
}

TEST_F(BrowserViewTest, CloseAllOtherBrowserKeepsOnePage) {
    FOptions.SetCloseWPagesClosed(true);
    const int a = open(u"http://a/"), b = open(u"http://b/"), c = open(u"http://c/");
    FSink.clear();
    EXPECT_TRUE(FView->CloseAllOtherBrowser(b));
    const std::string others = "[" + std::to_string(a) + "," + std::to_string(c) + "]";
    EXPECT_EQ(FSink.texts("On"), (std::vector<std::string>{"OnBeforeCloseBrowser " + others + " default " + std::to_string(b),
                                                          "OnCloseBrowser " + others + " -1"}));
    EXPECT_EQ(FView->BrowserCount(), 1);
    EXPECT_NE(FView->BrowserWrappers(b), nullptr);

    // An unknown identifier closes every page, and never the application.
    EXPECT_TRUE(FView->CloseAllOtherBrowser(999));
    EXPECT_EQ(FView->BrowserCount(), 0);
    EXPECT_EQ(test::application_closes, 0);
    EXPECT_FALSE(FView->CloseAllOtherBrowser(999)) << "nothing left to destroy";
}

TEST_F(BrowserViewTest, CloseAllBrowserClosesEveryPage) {
    struct row {
        bool events;
        size_t event_count;
    };
    FOptions.SetCloseWPagesClosed(true);
    for (const row r : {row{true, 2}, row{false, 0}}) {
        SCOPED_TRACE(r.events);
        test::application_closes = 0;
        const int a = open(u"http://a/"), b = open(u"http://b/");
        FSink.clear();
        FView->CloseAllBrowser(r.events);
        EXPECT_EQ(FSink.texts("On").size(), r.event_count);
        if (r.events) {
            const std::string all = "[" + std::to_string(a) + "," + std::to_string(b) + "]";
            EXPECT_EQ(FSink.texts("On"), (std::vector<std::string>{"OnBeforeCloseBrowser " + all + " default -1",
                                                                  "OnCloseBrowser " + all + " -1"}));
        }
        EXPECT_EQ(FView->BrowserCount(), 0);
        EXPECT_EQ(test::application_closes, 1);
        EXPECT_EQ(visible_pages(), std::vector<int>{});
    }
}

TEST_F(BrowserViewTest, ReOpenClosedPageOpensTheOldestFirst) {
    FOptions.SetCloseWPagesClosed(false);
    const int a = open(u"http://a/"), b = open(u"http://b/");
    pump_for(100);
    FView->CloseBrowser(a, -1);
    FView->CloseBrowser(b, -1);
    EXPECT_EQ(FView->ClosedUrlCount(), 2);
    for (const char16_t* expected : {u"http://a/", u"http://b/"}) {
        FView->ReOpenClosedPage();
        ASSERT_TRUE(pump_until([&] { return FView->Url() == expected; }));
    }
    EXPECT_EQ(FView->ClosedUrlCount(), 0);
    FView->ReOpenClosedPage(); // nothing left: nothing happens
    pump_for(50);
    EXPECT_EQ(FView->BrowserCount(), 2);
}

TEST_F(BrowserViewTest, TheEngineClosingAPageClosesItInTheView) {
    FOptions.SetCloseWPagesClosed(false);
    const int a = open(u"http://a/");
    FSink.clear();
    ASSERT_EQ(inject(a, "do_close", "ui", L""), 1);
    EXPECT_EQ(injected("do_close"), "browser=" + std::to_string(a) + " result=1");
    EXPECT_EQ(FSink.texts("OnBeforeCloseBrowser"),
              std::vector<std::string>{"OnBeforeCloseBrowser [" + std::to_string(a) + "] js -1"});
    EXPECT_EQ(FView->BrowserCount(), 0);
}

// Marshalled events reach the sink on the GUI thread; direct ones on the engine thread that made the
// callback, which the stand-in's record names.
TEST_F(BrowserViewTest, EventsArriveOnTheThreadsOfTheirRoute) {
    const int a = open(u"http://a/");
    struct row {
        const char* callback;
        const char* thread;
        const wchar_t* argument;
        std::string event;
        bool on_gui_thread;
    };
    const std::string id = std::to_string(a);
    const row rows[] = {
        {"status", "io", L"ready", "OnStateChange " + id + " status ready", true},
        {"status", "ui", L"busy", "OnStateChange " + id + " status busy", true},
        {"load_error", "io", L"-105|not resolved|http://x/", "OnLoadError " + id + " -105", true},
        {"protocol_execution", "io", L"mailto:x", "OnProtocolExecution " + id + " mailto:x", false},
        {"protocol_execution", "ui", L"tel:1", "OnProtocolExecution " + id + " tel:1", true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.event);
        FSink.clear();
        control().reset();
        ASSERT_EQ(inject(a, r.callback, r.thread, r.argument), 1);
        injected(r.callback);
        const auto calls = control().calls(std::string("inject.") + r.callback);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].thread, r.thread);
        const auto events = FSink.events();
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].text, r.event);
        EXPECT_EQ(events[0].on_gui_thread, r.on_gui_thread);
    }
}

// The application's handler, recording each report with the thread it was made on.
std::mutex reports_lock;
std::vector<std::pair<String, bool>> reports; // message, on the GUI thread
void recording_handler(const std::exception_ptr& e) {
    const std::lock_guard lock(reports_lock);
    reports.push_back({exception_message(e), on_gui_thread()});
}

TEST_F(BrowserViewTest, AnExceptionInAnEventStopsAtTheCallbackAndIsReportedOnTheGuiThread) {
    const exception_handler previous = get_exception_handler();
    set_exception_handler(recording_handler);
    const auto restore = scope_exit([&] { set_exception_handler(previous); });
    reports.clear();
    const int a = open(u"http://a/");
    FSink.throw_from_events = true;
    // Direct on the IO thread: the engine gets the neutral answer (execution not allowed).
    ASSERT_EQ(inject(a, "protocol_execution", "io", L"mailto:x"), 1);
    EXPECT_EQ(injected("protocol_execution"), "browser=" + std::to_string(a) + " allow=0");
    // Marshalled: raised on the GUI thread inside the view's window procedure.
    ASSERT_EQ(inject(a, "status", "io", L"s"), 1);
    injected("status");
    ASSERT_TRUE(pump_until([] {
        const std::lock_guard lock(reports_lock);
        return reports.size() == 2;
    }));
    // The queued report and the sent message may arrive in either order.
    std::sort(reports.begin(), reports.end());
    EXPECT_EQ(reports, (std::vector<std::pair<String, bool>>{{u"handler failed on mailto:x", true},
                                                             {u"handler failed on s", true}}));
}

TEST_F(BrowserViewTest, BuiltInKeys) {
    FOptions.SetCloseWPagesClosed(false);
    const int a = open(u"http://a/");
    const std::string id = std::to_string(a);
    constexpr int down = KEYEVENT_RAWKEYDOWN, up = KEYEVENT_KEYUP, alt = EVENTFLAG_ALT_DOWN, ctrl = EVENTFLAG_CONTROL_DOWN;
    struct row {
        int type, modifiers, key;
        std::string result;
        std::vector<std::string> effects; // events of the sink after OnPreKeyEvent, and engine calls
    };
    const row rows[] = {
        {down, alt, VK_F4, "result=1", {}},
        {up, 0, VK_F4, "result=0", {}},
        {down, 0, VK_F12, "result=0", {}},
        {up, 0, VK_F12, "result=0", {"ShowDevTools " + id}},
        {down, 0, VK_F5, "result=0", {}},
        {up, 0, VK_F5, "result=0", {"browser.reload_ignore_cache"}},
        {down, ctrl, 'F', "result=0", {}},
        {up, ctrl, 'F', "result=0", {}},
        {down, 0, 'F', "result=0", {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.type) + " " + std::to_string(r.modifiers) + " " + std::to_string(r.key));
        FSink.clear();
        control().reset();
        const std::wstring argument = std::to_wstring(r.type) + L"|" + std::to_wstring(r.modifiers) + L"|" +
                                      std::to_wstring(r.key) + L"|0";
        ASSERT_EQ(inject(a, "pre_key", "ui", argument.c_str()), 1);
        EXPECT_EQ(injected("pre_key"), "browser=" + id + " " + r.result + " shortcut=0");
        std::vector<std::string> effects;
        for (const std::string& e : FSink.texts()) {
            // A reload reports the page's address and title again; those are the engine's, not the key's.
            if (e.rfind("OnPreKeyEvent", 0) != 0 && e.rfind("OnStateChange", 0) != 0) effects.push_back(e);
        }
        for (const auto& c : control().calls("browser.reload_ignore_cache")) effects.push_back(c.name);
        EXPECT_EQ(effects, r.effects);
        EXPECT_EQ(FSink.texts("OnPreKeyEvent").size(), 1u);
    }
}

// Messages no handler sends are still dispatched to their events, with the records' out flags written
// through, when something sends them to the view (here an engine thread).
TEST_F(BrowserViewTest, MessagesNoHandlerSendsReachTheirEvents) {
    const int a = open(u"http://a/");
    const std::string id = std::to_string(a);
    const ICefBrowser page = FView->BrowserWrappers(a)->Browser();
    const ICefFrame frame;
    const ICefContextMenuParams params;
    const ICefMenuModel model;
    const ICefDownloadItem item;
    const engine_ref<cef_download_item_callback_t> download_callback;
    const engine_ref<cef_geolocation_callback_t> geolocation_callback;
    const engine_ref<cef_drag_data_t> drag_data;
    const cef_key_event_t key{};
    const cef_focus_source_t source = FOCUS_SOURCE_SYSTEM;
    const cef_drag_operations_mask_t mask = DRAG_OPERATION_COPY;
    const String url = u"http://where/";
    const int request = 7;
    const bool next = true;
    bool cancel = false;
    set_focus_record focus{&source, &cancel, false};
    context_menu_record menu{&frame, &params, &model};
    key_record key_rec{&key, nullptr, &cancel};
    download_updated_record download{&item, &download_callback};
    geolocation_record geolocation{&url, request, &geolocation_callback, &cancel};
    drag_enter_record drag{&drag_data, &mask, &cancel};
    struct row {
        UINT message;
        const void* record;
        std::string event;
        bool sets_cancel;
    };
    const row rows[] = {
        {view_msg::set_focus, &focus, "OnSetFocus " + id + " " + std::to_string(FOCUS_SOURCE_SYSTEM), true},
        {view_msg::take_focus, &next, "OnTakeFocus " + id + " 1", false},
        {view_msg::before_context_menu, &menu, "OnBeforeContextMenu " + id, false},
        {view_msg::context_menu_dismissed, &frame, "OnContextMenuDismissed " + id, false},
        {view_msg::key_event, &key_rec, "OnKeyEvent " + id + " 0", true},
        {view_msg::download_updated, &download, "OnDownloadUpdated " + id, false},
        {view_msg::geolocation_request, &geolocation, "OnRequestGeolocationPermission " + id + " http://where/ 7", true},
        {view_msg::geolocation_cancel, &request, "OnCancelGeolocationPermission " + id + " 7", false},
        {view_msg::reset_dialog_state, nullptr, "OnResetDialogState " + id, false},
        {view_msg::dialog_closed, nullptr, "OnDialogClosed " + id, false},
        {view_msg::drag_enter, &drag, "OnDragEnter " + id + " " + std::to_string(DRAG_OPERATION_COPY), true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.event);
        FSink.clear();
        cancel = false;
        LRESULT answer = -1;
        std::thread engine([&] {
            answer = ::SendMessageW(FView->Handle(), r.message, reinterpret_cast<WPARAM>(&page),
                                    reinterpret_cast<LPARAM>(r.record));
        });
        ASSERT_TRUE(pump_until([&] { return !FSink.texts().empty(); }));
        engine.join();
        EXPECT_EQ(answer, 0);
        EXPECT_EQ(FSink.texts(), std::vector<std::string>{r.event});
        EXPECT_TRUE(FSink.events()[0].on_gui_thread);
        EXPECT_EQ(cancel, r.sets_cancel);
    }
    EXPECT_TRUE(focus.CancelDefaultEvent);
}

// The pre-key message raises the event for the page that sent it, then applies the program's keys to the
// active page.
TEST_F(BrowserViewTest, ThePreKeyMessageAppliesTheBuiltInKeysToTheActivePage) {
    FOptions.SetCloseWPagesClosed(false);
    const int a = open(u"http://a/");
    const int b = open(u"http://b/");
    const ICefBrowser sender = FView->BrowserWrappers(a)->Browser();
    constexpr int down = KEYEVENT_RAWKEYDOWN, up = KEYEVENT_KEYUP;
    struct row {
        int type, modifiers, key;
        bool cancel;
        std::vector<std::string> effects;
    };
    const row rows[] = {
        {up, 0, VK_F12, false, {"ShowDevTools " + std::to_string(b)}},
        {down, 0, VK_F12, false, {}},
        {up, 0, VK_F5, false, {"browser.reload_ignore_cache browser=" + std::to_string(b)}},
        {down, EVENTFLAG_ALT_DOWN, VK_F4, true, {}},
        {down, 0, 'A', false, {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::to_string(r.type) + " " + std::to_string(r.key));
        FSink.clear();
        control().reset();
        cef_key_event_t key{};
        key.type = static_cast<cef_key_event_type_t>(r.type);
        key.modifiers = static_cast<uint32>(r.modifiers);
        key.windows_key_code = r.key;
        bool shortcut = false, cancel = false;
        pre_key_record record{&key, nullptr, &shortcut, &cancel, false};
        EXPECT_EQ(FView->Perform(view_msg::pre_key_event, reinterpret_cast<WPARAM>(&sender),
                                 reinterpret_cast<LPARAM>(&record)),
                  0);
        EXPECT_EQ(cancel, r.cancel);
        std::vector<std::string> effects;
        for (const std::string& e : FSink.texts()) {
            if (e.rfind("OnPreKeyEvent", 0) != 0 && e.rfind("OnStateChange", 0) != 0) effects.push_back(e);
        }
        for (const auto& c : control().calls("browser.reload_ignore_cache")) effects.push_back(c.name + " " + c.detail);
        EXPECT_EQ(effects, r.effects);
        EXPECT_EQ(FSink.texts("OnPreKeyEvent"),
                  std::vector<std::string>{"OnPreKeyEvent " + std::to_string(a) + " " + std::to_string(r.key)});
    }
}

TEST_F(BrowserViewTest, PopupsAreCheckedThenOfferedToTheHandler) {
    const int a = open(u"http://a/");
    const std::string id = std::to_string(a);
    FSink.refuse_popups = true;
    ASSERT_EQ(inject(a, "popup", "ui", L"http://pop/|10|20|300|200"), 1);
    EXPECT_EQ(injected("popup").substr(0, std::string("browser=" + id + " result=1").size()), "browser=" + id + " result=1");
    EXPECT_EQ(FSink.texts("OnBeforePopup"), std::vector<std::string>{"OnBeforePopup " + id + " http://pop/"});
    pump_for(100);
    EXPECT_EQ(FView->BrowserCount(), 1);

    FSink.refuse_popups = false;
    ASSERT_EQ(inject(a, "popup", "ui", L"http://pop2/|10|20|300|200"), 1);
    EXPECT_EQ(injected("popup", 2).substr(0, std::string("browser=" + id + " result=0").size()), "browser=" + id + " result=0");
}

TEST_F(BrowserViewTest, TheMessageLoopTimerLivesWithTheClients) {
    EXPECT_FALSE(TWebBHandler::timer_exists());
    open(u"http://a/");
    EXPECT_TRUE(TWebBHandler::timer_exists());
    EXPECT_EQ(TWebBHandler::live_clients(), 1);
    {
        TBrowserView second(nullptr, &FSink, &FOptions);
        second.SetParent(FForm);
        second.AddPage(u"http://b/", u"");
        EXPECT_TRUE(pump_until([&] { return second.BrowserCount() == 1; }));
        EXPECT_EQ(TWebBHandler::live_clients(), 2);
    }
    pump_until([] { return TWebBHandler::live_clients() == 1; });
    EXPECT_TRUE(TWebBHandler::timer_exists());
}

TEST_F(BrowserViewTest, TheLastClientReleasedOnAnEngineThreadFreesTheTimerOnTheGuiThread) {
    auto client = make_engine_object<TWebBHandler>(false, std::make_shared<sink_link>(&FSink));
    engine_impl<TWebBHandler>(client.get())->StartTimer();
    EXPECT_TRUE(TWebBHandler::timer_enabled());
    cef_client_t* raw = client.detach();
    std::thread([raw] { raw->base.release(&raw->base); }).join();
    EXPECT_EQ(TWebBHandler::live_clients(), 0);
    EXPECT_TRUE(TWebBHandler::timer_exists()) << "not touched from the engine thread";
    EXPECT_TRUE(pump_until([] { return !TWebBHandler::timer_exists(); }));
}

TEST_F(BrowserViewTest, WaitForReplyKeepsServingAndKeepsTheQuit) {
    TEvent event(true, false);
    DWORD start = ::GetTickCount();
    EXPECT_EQ(WaitForReply(event.Handle(), 0), TWaitResult::wrTimeout);
    EXPECT_LT(::GetTickCount() - start, 200u);

    DWORD elapsed = 0;
    {
        const test::steady_input input;
        start = ::GetTickCount();
        EXPECT_EQ(WaitForReply(event.Handle(), 1000), TWaitResult::wrTimeout);
        elapsed = ::GetTickCount() - start;
    }
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 1500u);

    ::PostQuitMessage(7);
    EXPECT_EQ(WaitForReply(event.Handle(), 5000), TWaitResult::wrTimeout);
    MSG msg;
    bool quit_kept = false;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit_kept |= msg.message == WM_QUIT && msg.wParam == 7;
    EXPECT_TRUE(quit_kept);
}

TEST_F(BrowserViewTest, ManyOpenCloseCyclesLeaveNothingBehind) {
    FOptions.SetCloseWPagesClosed(false);
    // The first page makes the client and the timer, which stay; count from there.
    FView->CloseBrowser(open(u"http://a/"), -1);
    pump_for(50);
    const int live = control().live_total();
    const test::handle_marks marks = test::current_handle_marks();
    for (int i = 0; i < 1000; ++i) {
        const int id = open(u"http://a/");
        ASSERT_TRUE(FView->CloseBrowser(id, -1)) << i;
    }
    pump_until([&] { return control().live_total() <= live; });
    EXPECT_EQ(control().live_total(), live);
    const test::handle_marks after = test::current_handle_marks();
    EXPECT_LE(after.gdi, marks.gdi + 16);
    EXPECT_LE(after.user, marks.user + 16);
}

TEST_F(BrowserViewTest, CallbacksFromEngineThreadsWhileClosingNeitherCrashNorHang) {
    FOptions.SetCloseWPagesClosed(false);
    for (int i = 0; i < 300; ++i) {
        const int a = open(u"http://a/"), b = open(u"http://b/");
        for (const char* thread : {"io", "ui"}) {
            inject(a, "status", thread, L"x");
            inject(b, "tooltip", thread, L"t");
            inject(a, "protocol_execution", thread, L"mailto:x");
            inject(b, "load_error", thread, L"-3|aborted|http://b/");
        }
        FView->CloseBrowser(a, b);
        FView->CloseAllBrowser(false);
        ASSERT_EQ(FView->BrowserCount(), 0) << i;
    }
    pump_for(100);
}

} // namespace
} // namespace kq
