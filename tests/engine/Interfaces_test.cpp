#include <gtest/gtest.h>

#include "engine/CefInterfaces.h"
#include "tests/engine/StandinFixture.h"
#include "framework/Win32.h"

namespace kq {
namespace {

using test::recorded_call;
using test::StandinEngine;
using test::test_window;

// Names and details of the recorded calls whose name starts with one of the prefixes.
std::vector<std::string> recorded(const test::standin_control& control, std::initializer_list<const char*> prefixes) {
    std::vector<std::string> lines;
    for (const recorded_call& c : control.calls()) {
        for (const char* p : prefixes) {
            if (c.name.rfind(p, 0) == 0) {
                lines.push_back(c.name + " " + c.detail);
                break;
            }
        }
    }
    return lines;
}

TEST_F(StandinEngine, BrowserWrappersDriveThePage) {
    test_window window;
    start();
    auto client = make_engine_object<test::test_client>(FLog);
    const ICefBrowser browser(create_sync(window.get(), {0, 0, 200, 100}, client));
    const ICefFrame frame = browser.GetMainFrame();
    EXPECT_TRUE(frame.IsMain());
    EXPECT_TRUE(frame.GetBrowser().IsSame(browser));
    frame.LoadUrl(u"http://a.test/");
    pump();
    frame.LoadUrl(u"http://b.test/");
    pump();
    EXPECT_EQ(frame.GetUrl(), u"http://b.test/");
    EXPECT_TRUE(browser.CanGoBack());
    browser.GoBack();
    pump();
    EXPECT_EQ(frame.GetUrl(), u"http://a.test/");
    EXPECT_FALSE(browser.IsLoading());
    control().reset();

    browser.Reload();
    browser.ReloadIgnoreCache();
    browser.StopLoad();
    frame.LoadString(u"<html><body>错误</body></html>", u"http://failed.test/");
    frame.ExecuteJavaScript(u"alert(1)", u"about:blank", 0);
    const ICefBrowserHost host = browser.GetHost();
    EXPECT_EQ(::GetParent(host.GetWindowHandle()), window.get());
    host.SetFocus(true);
    host.SetZoomLevel(1.5);
    EXPECT_EQ(host.GetZoomLevel(), 1.5);
    host.NotifyMoveOrResizeStarted();
    host.Print();
    host.StartDownload(u"http://a.test/file.zip");
    cef_window_info_t devtools{};
    cef_browser_settings_t settings{};
    settings.size = sizeof settings;
    host.ShowDevTools(devtools, nullptr, settings, nullptr);
    host.CloseDevTools();
    pump();
    EXPECT_EQ(recorded(control(), {"browser.", "frame.", "host."}),
              (std::vector<std::string>{"browser.reload browser=1", "browser.reload_ignore_cache browser=1",
                                        "browser.stop_load browser=1",
                                        "frame.load_string browser=1 http://failed.test/ <html><body>错误</body></html>",
                                        "frame.execute_java_script browser=1 about:blank:0 alert(1)",
                                        "host.set_focus browser=1 1", "host.set_zoom_level browser=1 1.500000",
                                        "host.notify_move_or_resize_started browser=1", "host.print browser=1",
                                        "host.start_download browser=1 http://a.test/file.zip",
                                        "host.show_dev_tools browser=1 url= style=00000000 rect=0,0,0,0 name=",
                                        "host.close_dev_tools browser=1"}));
    // Both reloads ran the page's navigation again.
    std::vector<std::string> loads;
    for (const std::string& l : log_lines()) {
        if (l.rfind("load_end", 0) == 0) loads.push_back(l);
    }
    EXPECT_EQ(loads.size(), 5u);

    host.CloseBrowser(true);
    pump();
}

TEST_F(StandinEngine, ListValuesKeepTypedEntries) {
    const ICefProcessMessage message = ICefProcessMessage::New(u"@webbrowser_torender_jsextention");
    EXPECT_EQ(message.GetName(), u"@webbrowser_torender_jsextention");
    const ICefListValue list = message.GetArgumentList();
    EXPECT_TRUE(list.SetSize(4));
    EXPECT_TRUE(list.SetString(0, u"{0F0E}"));
    EXPECT_TRUE(list.SetInt(1, -7));
    EXPECT_TRUE(list.SetDouble(2, 2.5));
    EXPECT_TRUE(list.SetBool(3, true));
    EXPECT_TRUE(list.SetNull(5)); // past the end grows the list

    // What was set through one list is seen through the next one the message hands out.
    const ICefListValue again = message.GetArgumentList();
    EXPECT_EQ(again.GetSize(), 6u);
    struct row {
        int index;
        cef_value_type_t type;
    };
    const row rows[] = {{0, VTYPE_STRING}, {1, VTYPE_INT}, {2, VTYPE_DOUBLE}, {3, VTYPE_BOOL},
                        {4, VTYPE_NULL},   {5, VTYPE_NULL}, {6, VTYPE_INVALID}, {-1, VTYPE_INVALID}};
    for (const row& r : rows) EXPECT_EQ(again.GetType(r.index), r.type) << r.index;
    EXPECT_EQ(again.GetString(0), u"{0F0E}");
    EXPECT_EQ(again.GetInt(1), -7);
    EXPECT_EQ(again.GetDouble(2), 2.5);
    EXPECT_TRUE(again.GetBool(3));
    // Reading an entry as another type gives the empty value.
    EXPECT_EQ(again.GetInt(0), 0);
    EXPECT_EQ(again.GetString(1), u"");

    const ICefListValue own = ICefListValue::New();
    EXPECT_EQ(own.GetSize(), 0u);
}

TEST_F(StandinEngine, CommandLineKeepsSwitchesInOrder) {
    const ICefCommandLine line = ICefCommandLine::adopt(api().cef_command_line_create());
    line.AppendSwitch(u"disable-gpu");
    line.AppendSwitchWithValue(u"lang", u"zh-CN");
    line.AppendArgument(u"http://a.test/");
    EXPECT_TRUE(line.HasSwitch(u"disable-gpu"));
    EXPECT_FALSE(line.HasSwitch(u"disable"));
    EXPECT_EQ(line.GetSwitchValue(u"lang"), u"zh-CN");
    EXPECT_EQ(line.GetSwitchValue(u"missing"), u"");
    EXPECT_EQ(line.GetCommandLineString(), u"--disable-gpu --lang=zh-CN http://a.test/");
}

TEST_F(StandinEngine, ScriptContextReadsTheTestTables) {
    struct global {
        const wchar_t* name;
        const char* type;
        const wchar_t* value;
    };
    const global globals[] = {{L"s", "string", L"文本"}, {L"b", "bool", L"true"}, {L"i", "int", L"-3"},
                              {L"u", "uint", L"4000000000"}, {L"d", "double", L"0.25"}, {L"f", "function", L"run"},
                              {L"n", "null", L""}, {L"a", "array", L""}, {L"o", "object", L""},
                              {L"t", "date", L""}, {L"x", "undefined", L""}};
    const auto set_global = control().function<decltype(&standin_set_global)>("standin_set_global");
    for (const global& g : globals) set_global(g.name, g.type, g.value);
    control().function<decltype(&standin_set_eval)>("standin_set_eval")(L"1+1", "int", L"2");

    test_window window;
    start();
    auto client = make_engine_object<test::test_client>(FLog);
    const ICefBrowser browser(create_sync(window.get(), {0, 0, 200, 100}, client));
    const ICefv8Context context = browser.GetMainFrame().GetV8Context();
    ASSERT_TRUE(context);
    ASSERT_TRUE(context.Enter());
    EXPECT_EQ(context.GetBrowser().GetIdentifier(), 1);
    const ICefV8Value g = context.GetGlobal();
    EXPECT_EQ(g.GetValueByKey(u"s").GetStringValue(), u"文本");
    EXPECT_TRUE(g.GetValueByKey(u"b").GetBoolValue());
    EXPECT_EQ(g.GetValueByKey(u"i").GetIntValue(), -3);
    EXPECT_TRUE(g.GetValueByKey(u"u").IsUInt());
    EXPECT_EQ(g.GetValueByKey(u"u").GetUIntValue(), 4000000000u);
    EXPECT_EQ(g.GetValueByKey(u"d").GetDoubleValue(), 0.25);
    EXPECT_TRUE(g.GetValueByKey(u"f").IsFunction());
    EXPECT_EQ(g.GetValueByKey(u"f").GetFunctionName(), u"run");
    EXPECT_TRUE(g.GetValueByKey(u"n").IsNull());
    EXPECT_TRUE(g.GetValueByKey(u"a").IsArray());
    EXPECT_TRUE(g.GetValueByKey(u"o").IsObject());
    EXPECT_TRUE(g.GetValueByKey(u"t").IsDate());
    // A property whose value is undefined exists; a missing one reads as undefined.
    EXPECT_TRUE(g.HasValueByKey(u"x"));
    EXPECT_TRUE(g.GetValueByKey(u"x").IsUndefined());
    EXPECT_FALSE(g.HasValueByKey(u"missing"));
    EXPECT_TRUE(g.GetValueByKey(u"missing").IsUndefined());

    // Writing creates the property.
    EXPECT_TRUE(g.SetValueByKey(u"created", ICefV8Value::NewString(u"新"), V8_PROPERTY_ATTRIBUTE_NONE));
    EXPECT_EQ(context.GetGlobal().GetValueByKey(u"created").GetStringValue(), u"新");

    ICefV8Value result;
    ICefV8Exception error;
    EXPECT_TRUE(context.Eval(u"1+1", result, error));
    EXPECT_EQ(result.GetIntValue(), 2);
    EXPECT_FALSE(error);
    EXPECT_TRUE(context.Eval(u"s", result, error));
    EXPECT_EQ(result.GetStringValue(), u"文本");
    EXPECT_FALSE(context.Eval(u"nothing()", result, error));
    EXPECT_FALSE(result);
    ASSERT_TRUE(error);
    EXPECT_EQ(error.GetMessage(), u"ReferenceError: nothing() is not defined");
    EXPECT_EQ(error.GetLineNumber(), 1);
    EXPECT_EQ(error.GetStartColumn(), 0);
    EXPECT_EQ(error.GetSourceLine(), u"nothing()");
    EXPECT_TRUE(context.Exit());

    browser.GetHost().CloseBrowser(true);
    pump();
}

// Collects what a URL request delivers.
class collecting_client : public engine_object<cef_urlrequest_client_t> {
public:
    collecting_client() {
        cef()->on_download_data = &engine_thunk<&collecting_client::OnDownloadData>::call;
        cef()->on_request_complete = &engine_thunk<&collecting_client::OnRequestComplete>::call;
    }
    std::string data;
    int completions = 0;
    cef_urlrequest_status_t status = UR_UNKNOWN;
    cef_errorcode_t error = ERR_NONE;
    int http_status = -1;

private:
    void OnDownloadData(engine_ref<cef_urlrequest_t>, const void* bytes, size_t length) {
        data.append(static_cast<const char*>(bytes), length);
    }
    void OnRequestComplete(engine_ref<cef_urlrequest_t> request) {
        ++completions;
        status = request->get_request_status(request.get());
        error = request->get_request_error(request.get());
        const auto response = engine_ref<cef_response_t>::adopt(request->get_response(request.get()));
        http_status = response->get_status(response.get());
    }
};

TEST_F(StandinEngine, UrlRequestsAreAnsweredFromTheTable) {
    control().function<decltype(&standin_set_url_response)>("standin_set_url_response")(
        L"http://a.test/favicon.ico", 200, "ICO\0data", 8);
    start();
    struct row {
        const char16_t* url;
        bool cancel;
        std::string data;
        cef_urlrequest_status_t status;
        cef_errorcode_t error;
        int http_status;
    };
    const row rows[] = {
        {u"http://a.test/favicon.ico", false, std::string("ICO\0data", 8), UR_SUCCESS, ERR_NONE, 200},
        {u"http://a.test/missing.ico", false, "", UR_FAILED, ERR_FILE_NOT_FOUND, 0},
        {u"http://a.test/favicon.ico", true, "", UR_CANCELED, ERR_ABORTED, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.url));
        auto client = make_engine_object<collecting_client>();
        auto request = engine_ref<cef_request_t>::adopt(api().cef_request_create());
        const String url = r.url;
        const cef_string_t u = cef_string_view(url);
        request->set_url(request.get(), &u);
        auto running = engine_ref<cef_urlrequest_t>::adopt(api().cef_urlrequest_create(request.pass(), client.pass(), nullptr));
        ASSERT_TRUE(running);
        if (r.cancel) running->cancel(running.get());
        pump();
        const collecting_client& c = *engine_impl<collecting_client>(client.get());
        EXPECT_EQ(c.completions, 1);
        EXPECT_EQ(c.data, r.data);
        EXPECT_EQ(c.status, r.status);
        EXPECT_EQ(c.error, r.error);
        EXPECT_EQ(c.http_status, r.http_status);
    }
}

TEST_F(StandinEngine, CookieManagerCallsAreRecorded) {
    start();
    auto manager = engine_ref<cef_cookie_manager_t>::adopt(api().cef_cookie_manager_get_global_manager(nullptr));
    const String folder = u"C:\\KQ\\Cookies";
    const cef_string_t f = cef_string_view(folder);
    EXPECT_EQ(manager->set_storage_path(manager.get(), &f, 1, nullptr), 1);
    EXPECT_EQ(manager->flush_store(manager.get(), nullptr), 1);
    EXPECT_EQ(recorded(control(), {"cookie_manager.", "cef_cookie"}),
              (std::vector<std::string>{"cef_cookie_manager_get_global_manager ",
                                        "cookie_manager.set_storage_path C:\\KQ\\Cookies persist=1",
                                        "cookie_manager.flush_store "}));
}

} // namespace
} // namespace kq
