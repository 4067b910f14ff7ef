#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "browser/WebB.Cef.CefErr.h"
#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Core.BrowserView.h"
#include "browser/WebB.Locker.h"
#include "browser/WebB.Settings.h"
#include "browser/WebB.Utils.h"
#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/Forms.h"
#include "framework/Streams.h"
#include "testengine/ControlExports.h"
#include "tests/engine/StandinHarness.h"
#include "tests/framework/visual/VisualFixture.h"

namespace kq {
namespace {

// The component's stand-in for the default behaviour: records the events that precede a default, and may
// take the default over.
class default_sink : public IWebBrowser {
public:
    void FillBrowserSettings(cef_browser_settings_t&) override {}
    void OnAddBrowser(const ICefBrowser& b) override { add("OnAddBrowser " + std::to_string(b.GetIdentifier())); }
    void OnFavIconChange(const ICefBrowser& b, const String& url, HICON icon) override {
        add("OnFavIconChange " + std::to_string(b.GetIdentifier()) + " " + string_to_utf8(url) + (icon ? " icon" : " none"));
    }
    void OnLoadError(const ICefBrowser&, const ICefFrame&, int, const String&, const String&, bool& cancel) override {
        cancel = take_over;
    }
    void OnJsdialog(const ICefBrowser&, const String&, cef_jsdialog_type_t, const String&, const String&,
                    const ICefJsDialogCallback&, bool&, bool&, bool& cancel) override {
        cancel = take_over;
    }
    void OnBeforeDownload(const ICefBrowser&, const ICefDownloadItem&, const String&, const ICefBeforeDownloadCallback&,
                          bool& cancel) override {
        cancel = take_over;
    }
    void OnGetAuthCredentials(const ICefBrowser&, const ICefFrame&, bool, const String&, int, const String&,
                              const String&, const ICefAuthCallback&, bool& cancel) override {
        cancel = take_over;
    }

    std::vector<std::string> texts(const std::string& prefix) const {
        const std::lock_guard lock(FLock);
        std::vector<std::string> out;
        for (const std::string& e : FEvents) {
            if (e.rfind(prefix, 0) == 0) out.push_back(e);
        }
        return out;
    }

    bool take_over = false; // sets CancelDefaultEvent

private:
    void add(std::string text) {
        const std::lock_guard lock(FLock);
        FEvents.push_back(std::move(text));
    }
    mutable std::mutex FLock; // guards FEvents
    std::vector<std::string> FEvents;
};

// A child window of a dialog by class, the n-th of that class.
HWND child_of_class(HWND parent, const wchar_t* cls, int n = 0) {
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        ::GetClassNameW(c, name, 64);
        if (::lstrcmpiW(name, cls) == 0 && n-- == 0) return c;
    }
    return nullptr;
}
HWND child_with_text(HWND parent, const wchar_t* text) {
    for (HWND c = ::GetWindow(parent, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t buffer[256] = {};
        ::GetWindowTextW(c, buffer, 256);
        if (std::wstring(buffer) == text) return c;
    }
    return nullptr;
}
std::wstring window_text(HWND w) {
    wchar_t buffer[256] = {};
    ::GetWindowTextW(w, buffer, 256);
    return buffer;
}
// The text of a message box: its static control with text (the icon's static has none).
std::wstring message_text(HWND box) {
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[64] = {};
        ::GetClassNameW(c, cls, 64);
        if (::lstrcmpiW(cls, L"Static") == 0 && !window_text(c).empty()) return window_text(c);
    }
    return {};
}

class DefaultBehaviourTest : public test::visual_test {
protected:
    void SetUp() override {
        visual_test::SetUp();
        ASSERT_EQ(FControlLibrary.load(test::standin_path()), engine_load_status::loaded);
        control().reset();
        weblocker_startup();
        cef_error_manager_startup();
        webbapp_startup();
        WebBApp->SetCefLibrary(test::standin_path());
        ASSERT_TRUE(WebBApp->Init());
        Application->SetTitle(u"KQ default test");
        FOptions.SetCloseWPagesClosed(false);
        FForm = new TForm(Application);
        FForm->SetBounds(0, 0, 640, 480);
        FView = new TBrowserView(FForm, &FSink, &FOptions);
        FView->SetParent(FForm);
        FView->SetAlign(TAlign::alClient);
        FForm->Show();
    }
    void TearDown() override {
        delete FForm;
        pump_until([] { return false; }, 50);
        webbapp_shutdown();
        cef_error_manager_shutdown();
        weblocker_shutdown();
        EXPECT_EQ(control().live_total(), 0);
        EXPECT_EQ(control().live("over_released"), 0);
        visual_test::TearDown();
    }

    test::standin_control control() const { return test::standin_control(FControlLibrary); }

    int open(const String& url) {
        const int before = FView->BrowserCount();
        FView->AddPage(url, u"about:blank");
        EXPECT_TRUE(pump_until([&] { return FView->BrowserCount() == before + 1; }));
        return FView->ActiveBrowserId();
    }
    void inject(int browser, const char* callback, const std::wstring& argument, const char* thread = "ui") {
        ASSERT_EQ(control().function<decltype(&standin_inject)>("standin_inject")(browser, callback, thread,
                                                                                   argument.c_str()), 1);
    }
    // Waits for the injection's outcome as the stand-in records it; answers its detail.
    std::string injected(const std::string& callback, size_t count = 1) {
        const std::string name = "inject." + callback;
        pump_until([&] { return control().calls(name).size() >= count; }, 10000);
        const auto calls = control().calls(name);
        return calls.size() >= count ? calls[count - 1].detail : "(none)";
    }
    std::vector<std::string> details(const std::string& name) const {
        std::vector<std::string> out;
        for (const auto& c : control().calls(name)) out.push_back(c.detail);
        return out;
    }
    void set_url_response(const wchar_t* url, int status, const std::string& body) {
        control().function<decltype(&standin_set_url_response)>("standin_set_url_response")(url, status, body.data(),
                                                                                            body.size());
    }

    engine_library FControlLibrary;
    default_sink FSink;
    TWebBOptions FOptions;
    TForm* FForm = nullptr;
    TBrowserView* FView = nullptr;
};

// --- Zoom

TEST_F(DefaultBehaviourTest, ZoomStepsThroughTheTableAndStopsAtItsEnds) {
    EXPECT_EQ(FView->ZoomLevel(), u"");
    FView->AddZoomLevel(); // no page: nothing
    const int a = open(u"http://a/");
    const ICefBrowserHost host = FView->BrowserWrappers(a)->Browser().GetHost();
    EXPECT_EQ(FView->ZoomLevel(), u"100%");
    FView->AddZoomLevel();
    EXPECT_EQ(FView->ZoomLevel(), u"110%");
    const char16_t* upwards[] = {u"125%", u"150%", u"175%", u"200%", u"250%", u"300%", u"400%", u"500%", u"500%"};
    for (const char16_t* expected : upwards) {
        FView->AddZoomLevel();
        EXPECT_EQ(FView->ZoomLevel(), expected);
    }
    EXPECT_EQ(host.GetZoomLevel(), 9);
    FView->ResetZoomLevel();
    EXPECT_EQ(FView->ZoomLevel(), u"100%");
    const char16_t* downwards[] = {u"90%", u"75%", u"67%", u"50%", u"33%", u"25%", u"25%"};
    for (const char16_t* expected : downwards) {
        FView->ReduceZoomLevel();
        EXPECT_EQ(FView->ZoomLevel(), expected);
    }
    EXPECT_EQ(host.GetZoomLevel(), -6);
    // A level set from outside, between the steps, shows as its number; the steps go on from it.
    host.SetZoomLevel(1.5);
    EXPECT_EQ(FView->ZoomLevel(), u"1.5");
    FView->AddZoomLevel();
    EXPECT_EQ(FView->ZoomLevel(), u"2.5");
}

// --- Script dialogs

TEST_F(DefaultBehaviourTest, ScriptDialogsAskTheUserAndAnswerTheEngine) {
    const int a = open(u"http://a/");
    const std::string id = "browser=" + std::to_string(a);
    struct row {
        const char* callback;
        std::wstring argument;
        std::wstring title; // of the box the user sees
        std::wstring text;  // its message or prompt
        int button;
        const wchar_t* typed; // into a prompt's edit line
        std::string result;   // the callback's answer to the engine
        std::vector<std::string> continued;
    };
    const row rows[] = {
        {"jsdialog", L"0|http://o.test/|Hello 你好|", L"KQ default test", L"Hello 你好", IDOK, nullptr,
         "result=0 suppress=1", {}},
        {"jsdialog", L"1|http://o.test/|Sure?|", L"http://o.test/ 上的网页显示", L"Sure?", IDCANCEL, nullptr,
         "result=1 suppress=0", {"success=0 input="}},
        {"jsdialog", L"1|http://o.test/|Sure?|", L"http://o.test/ 上的网页显示", L"Sure?", IDOK, nullptr,
         "result=1 suppress=0", {"success=1 input="}},
        {"jsdialog", L"2|http://o.test/|Name?|given", L"http://o.test/ 上的网页显示", L"Name?", IDOK, L"typed 文字",
         "result=1 suppress=0", {"success=1 input=typed 文字"}},
        {"jsdialog", L"2|http://o.test/|Name?|given", L"http://o.test/ 上的网页显示", L"Name?", IDCANCEL, L"typed",
         "result=1 suppress=0", {"success=0 input=given"}},
        {"before_unload", L"Unsaved work|0", L"确认导航", L"Unsaved work\r\n确定要离开此页吗？", IDOK, nullptr,
         "result=1", {"success=1 input="}},
        {"before_unload", L"Unsaved work|1", L"确认导航", L"Unsaved work\r\n确定要离开此页吗？", IDCANCEL, nullptr,
         "result=1", {"success=0 input="}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(from_wide(r.argument.c_str())) + " " + std::to_string(r.button));
        control().reset();
        std::wstring seen;
        // Message boxes are system dialogs; the input line is a form of the framework.
        std::thread user = test::answer_window(r.title.c_str(), [&](HWND w) {
            if (r.typed) {
                seen = window_text(child_of_class(w, L"Static"));
                ::SendMessageW(child_of_class(w, L"Edit"), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(r.typed));
            } else {
                seen = message_text(w);
            }
            return seen.empty() ? 0 : r.button;
        }, r.typed ? nullptr : L"#32770");
        inject(a, r.callback, r.argument);
        EXPECT_EQ(injected(r.callback), id + " " + r.result);
        user.join();
        EXPECT_EQ(seen, r.text);
        EXPECT_EQ(details("jsdialog_callback.cont"), r.continued);
    }
}

TEST_F(DefaultBehaviourTest, AHandlerThatTakesTheDialogOverShowsNothing) {
    const int a = open(u"http://a/");
    FSink.take_over = true;
    inject(a, "jsdialog", L"1|http://o.test/|Sure?|");
    EXPECT_EQ(injected("jsdialog"), "browser=" + std::to_string(a) + " result=0 suppress=0");
    EXPECT_EQ(details("jsdialog_callback.cont"), std::vector<std::string>{});
}

// --- Authentication

// Plays the user of the authentication dialog: waits for it, checks it, then acts on it.
std::thread answer_authentication(std::function<void(HWND)> act) {
    return std::thread([act = std::move(act)] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool acted = false;
        while (std::chrono::steady_clock::now() < end) {
            const HWND w = ::FindWindowW(nullptr, L"Authentication");
            if (!w) {
                if (acted) return;
            } else if (!acted && ::IsWindowVisible(w) && ::IsWindowEnabled(w)) {
                act(w);
                acted = true;
            }
            ::Sleep(20);
        }
    });
}

TEST_F(DefaultBehaviourTest, TheAuthenticationDialogAsksForNameAndPassword) {
    const int a = open(u"http://a/");
    const std::string id = "browser=" + std::to_string(a);
    enum class answer { ok_button, enter_key, cancel_button, escape_key };
    struct row {
        answer how;
        std::vector<std::string> continued;
        size_t cancels;
    };
    const row rows[] = {
        {answer::ok_button, {"user=alice password=s3cret 密"}, 0},
        {answer::enter_key, {"user=alice password=s3cret 密"}, 0},
        {answer::cancel_button, {}, 1},
        {answer::escape_key, {}, 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.how));
        control().reset();
        RECT client{};
        std::wstring labels, ok_text, cancel_text;
        LRESULT password_char = 0;
        LONG password_style = 0;
        std::thread user = answer_authentication([&](HWND w) {
            ::GetClientRect(w, &client);
            labels = window_text(child_of_class(w, L"TLabel", 0)) + L"," + window_text(child_of_class(w, L"TLabel", 1));
            const HWND name = child_of_class(w, L"TEdit", 0), password = child_of_class(w, L"TEdit", 1);
            password_char = ::SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0);
            password_style = ::GetWindowLongW(password, GWL_STYLE);
            ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"alice"));
            ::SendMessageW(password, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"s3cret 密"));
            const HWND ok = child_with_text(w, L"OK"), cancel = child_with_text(w, L"Cancel");
            ok_text = window_text(ok);
            cancel_text = window_text(cancel);
            switch (r.how) {
            case answer::ok_button: ::SendMessageW(ok, BM_CLICK, 0, 0); break;
            case answer::cancel_button: ::SendMessageW(cancel, BM_CLICK, 0, 0); break;
            case answer::enter_key: ::PostMessageW(password, WM_KEYDOWN, VK_RETURN, 0); break;
            case answer::escape_key: ::PostMessageW(name, WM_KEYDOWN, VK_ESCAPE, 0); break;
            }
        });
        inject(a, "auth", L"0|proxy.test|8080|realm|basic");
        EXPECT_EQ(injected("auth"), id + " result=1");
        user.join();
        EXPECT_EQ(client.right, 233);
        EXPECT_EQ(client.bottom, 128);
        EXPECT_EQ(labels, L"Username,Password");
        EXPECT_EQ(ok_text, L"OK");
        EXPECT_EQ(cancel_text, L"Cancel");
        EXPECT_EQ(password_char, '*');
        EXPECT_TRUE(password_style & ES_PASSWORD);
        EXPECT_EQ(details("auth_callback.cont").size(), r.continued.size());
        for (size_t i = 0; i < r.continued.size() && i < details("auth_callback.cont").size(); ++i)
            EXPECT_EQ(details("auth_callback.cont")[i], r.continued[i]);
        EXPECT_EQ(control().calls("auth_callback.cancel").size(), r.cancels);
        EXPECT_EQ(::FindWindowW(nullptr, L"Authentication"), nullptr);
    }
    // A handler that takes it over: no dialog, no answer.
    FSink.take_over = true;
    control().reset();
    inject(a, "auth", L"0|proxy.test|8080|realm|basic");
    EXPECT_EQ(injected("auth"), id + " result=1");
    EXPECT_TRUE(control().calls("auth_callback.cont").empty());
}

// --- Downloads

// A fresh folder under the temporary folder, removed with everything in it.
class temp_folder {
public:
    explicit temp_folder(const wchar_t* name) {
        wchar_t base[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, base);
        FPath = from_wide(base) + from_wide(name) + u"\\";
        remove();
        ::CreateDirectoryW(wide(FPath), nullptr);
    }
    ~temp_folder() { remove(); }
    const String& path() const noexcept { return FPath; }
    void touch(const String& name) const {
        const HANDLE h = ::CreateFileW(wide(FPath + name), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    }
    void remove() const {
        for (const folder_entry& e : find_entries(FPath + u"*")) delete_file(FPath + e.Name);
        remove_folder(FPath);
    }

private:
    String FPath;
};

TEST_F(DefaultBehaviourTest, AutomaticDownloadsTakeAFreeNumberedNameInTheFolder) {
    const temp_folder folder(L"kq_downloads");
    for (const char16_t* name : {u"a.txt", u"a(1).txt", u"CON.txt", u"_CON"}) folder.touch(name);
    for (int i = 0; i <= 120; ++i) folder.touch(i ? u"big(" + IntToStr(i) + u").bin" : String(u"big.bin"));
    FOptions.SetDownLoadPath(folder.path());
    FOptions.SetAutoDown(true);
    const int a = open(u"http://a/");
    struct row {
        const wchar_t* suggested;
        String saved; // in the folder
    };
    const row rows[] = {
        {L"new.txt", u"new.txt"},
        {L"a.txt", u"a(2).txt"},
        {L"big.bin", u"big(121).bin"},
        {L"..\\..\\x.exe", u"x.exe"},
        {L"C:\\Windows\\evil.dll", u"evil.dll"},
        {L"sub/dir/y.txt", u"y.txt"},
        {L"CON", u"_CON(1)"},
        {L"con.txt", u"_con.txt"},
        {L"a<b>c:d\"e?f*g.txt", u"abcdefg.txt"}, // "|" cannot pass the stand-in's argument list
        {L"..", u"download"},
        {L"name. . ", u"name"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(from_wide(r.suggested)));
        control().reset();
        inject(a, "before_download", std::wstring(L"http://a/file|") + r.suggested);
        injected("before_download");
        EXPECT_EQ(details("download_callback.cont"),
                  std::vector<std::string>{"path=" + string_to_utf8(folder.path() + r.saved) + " show_dialog=0"});
    }
}

TEST_F(DefaultBehaviourTest, DownloadsAskTheEngineUnlessSavedAutomatically) {
    const int a = open(u"http://a/");
    inject(a, "before_download", L"http://a/file|a.txt");
    injected("before_download");
    EXPECT_EQ(details("download_callback.cont"), std::vector<std::string>{"path= show_dialog=1"});

    // The folder is made again when it has gone.
    temp_folder folder(L"kq_downloads_gone");
    FOptions.SetDownLoadPath(folder.path());
    FOptions.SetAutoDown(true);
    folder.remove();
    control().reset();
    inject(a, "before_download", L"http://a/file|a.txt");
    injected("before_download");
    EXPECT_EQ(details("download_callback.cont"),
              std::vector<std::string>{"path=" + string_to_utf8(folder.path()) + "a.txt show_dialog=0"});
    EXPECT_TRUE(DirectoryExists(folder.path()));

    FSink.take_over = true;
    control().reset();
    inject(a, "before_download", L"http://a/file|a.txt");
    injected("before_download");
    EXPECT_EQ(details("download_callback.cont"), std::vector<std::string>{});
}

TEST(UniqueDownloadName, EndsWithAClearErrorWhenNoNumberIsFree) {
    const temp_folder folder(L"kq_downloads_full");
    folder.touch(u"f.txt");
    for (int i = 1; i <= 10000; ++i) folder.touch(u"f(" + IntToStr(i) + u").txt");
    try {
        UniqueDownloadName(folder.path() + u"f.txt");
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"No free name for the download " + folder.path() + u"f.txt");
    }
    folder.touch(u"g.txt");
    EXPECT_EQ(UniqueDownloadName(folder.path() + u"g.txt"), folder.path() + u"g(1).txt");
}

// --- Error page

TEST_F(DefaultBehaviourTest, AFailedLoadShowsTheErrorPageUnderTheFailedAddress) {
    const int a = open(u"http://a/");
    const std::string id = "browser=" + std::to_string(a);
    struct row {
        bool show;
        bool take_over;
        const wchar_t* argument;
        std::vector<std::string> loaded;
    };
    const row rows[] = {
        {true, false, L"-105|not resolved|http://x.invalid/",
         {id + " http://x.invalid/ <html><body><h2>Failed to load URL http://x.invalid/ with error -105</h2>"
               "<p>Error Name: NET_ERROR_NAME_NOT_RESOLVED</p>"
               "<p>Error Description: The host name could not be resolved.</p></body></html>"}},
        {true, false, L"-132|unknown|http://y/",
         {id + " http://y/ <html><body><h2>Failed to load URL http://y/ with error -132</h2></body></html>"}},
        {true, false, L"-105|x|http://x/<script>alert(\"&\")</script>",
         {id + " http://x/<script>alert(\"&\")</script> <html><body><h2>Failed to load URL "
               "http://x/&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt; with error -105</h2>"
               "<p>Error Name: NET_ERROR_NAME_NOT_RESOLVED</p>"
               "<p>Error Description: The host name could not be resolved.</p></body></html>"}},
        {true, false, L"-3|aborted|http://x.invalid/", {}},
        {false, false, L"-105|not resolved|http://x.invalid/", {}},
        {true, true, L"-105|not resolved|http://x.invalid/", {}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(from_wide(r.argument)));
        FOptions.SetShowLoadError(r.show);
        FSink.take_over = r.take_over;
        control().reset();
        inject(a, "load_error", r.argument, "io");
        injected("load_error");
        EXPECT_EQ(details("frame.load_string"), r.loaded);
    }
}

// --- Favicons

// A small valid icon file, as the framework writes one.
std::string icon_file() {
    TIcon icon;
    const unsigned char and_mask[4 * 16 * 16 / 8] = {};
    unsigned int colour[16 * 16];
    std::fill(std::begin(colour), std::end(colour), 0xFF2060A0u);
    icon.SetHandle(::CreateIcon(nullptr, 16, 16, 1, 32, and_mask, reinterpret_cast<const BYTE*>(colour)));
    TMemoryStream stream;
    icon.SaveToStream(stream);
    return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

TEST_F(DefaultBehaviourTest, FaviconsOfIconAddressesAreFetchedOnceAndReported) {
    set_url_response(L"http://a/favicon.ico", 200, icon_file());
    set_url_response(L"http://a/broken.ico", 200, std::string("\0\0\1\0\1\0garbage", 14));
    set_url_response(L"http://a/other.ico", 200, std::string("\0\0\7\0\1\0", 6));
    const int a = open(u"http://a/");
    const std::string id = std::to_string(a);
    struct row {
        std::wstring declared;
        std::vector<std::string> requested;
    };
    const row rows[] = {
        {L"http://a/icon.png", {}},
        {L".ico/start", {}},
        {L"http://a/x.ico|http://a/icon.png| http://a/favicon.ico ", {"http://a/favicon.ico"}},
        {L"http://a/favicon.ico", {}}, // the same address again
        {L"http://a/broken.ico", {"http://a/broken.ico"}},
        {L"http://a/other.ico", {"http://a/other.ico"}},
        {L"http://a/missing.ico", {"http://a/missing.ico"}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(from_wide(r.declared.c_str())));
        control().reset();
        inject(a, "favicon", r.declared);
        injected("favicon");
        pump_until([] { return false; }, 100); // the request is answered at the engine's next work
        EXPECT_EQ(details("cef_urlrequest_create"), r.requested);
    }
    EXPECT_EQ(FSink.texts("OnFavIconChange"), std::vector<std::string>{"OnFavIconChange " + id + " http://a/favicon.ico icon"});
    EXPECT_EQ(FView->BrowserWrappers(a)->LastFavUrl(), u"http://a/missing.ico");
    EXPECT_NE(FView->BrowserWrappers(a)->Favicon(), nullptr) << "a failed download keeps the icon";
}

TEST_F(DefaultBehaviourTest, APageClosedDuringItsFaviconDownloadCancelsIt) {
    set_url_response(L"http://a/favicon.ico", 200, icon_file());
    const int a = open(u"http://a/");
    // The engine closes the page before it answers the request.
    inject(a, "favicon", L"http://a/favicon.ico");
    inject(a, "do_close", L"");
    injected("do_close");
    pump_until([] { return false; }, 100);
    EXPECT_EQ(FSink.texts("OnFavIconChange"), std::vector<std::string>{});
    EXPECT_EQ(details("urlrequest.cancel"), std::vector<std::string>{"http://a/favicon.ico"});
    EXPECT_EQ(FView->BrowserCount(), 0);
}

// --- Popups

TEST_F(DefaultBehaviourTest, APopupBecomesTheActivePageOfTheView) {
    const int a = open(u"http://a/");
    inject(a, "popup", L"http://pop/|10|20|300|200");
    EXPECT_EQ(injected("popup"), "browser=" + std::to_string(a) + " result=0 style=56010000 parent=set rect=10,20,300,200");
    ASSERT_TRUE(pump_until([&] { return FView->BrowserCount() == 2; }));
    const int popup = FView->ActiveBrowserId();
    EXPECT_NE(popup, a);
    EXPECT_EQ(FSink.texts("OnAddBrowser"),
              (std::vector<std::string>{"OnAddBrowser " + std::to_string(a), "OnAddBrowser " + std::to_string(popup)}));
    const HWND window = FView->BrowserWrappers(popup)->Browser().GetHost().GetWindowHandle();
    EXPECT_EQ(::GetParent(window), FView->Handle());
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_FALSE(::IsWindowVisible(FView->BrowserWrappers(a)->Browser().GetHost().GetWindowHandle()));
}

} // namespace
} // namespace kq
