#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Handler.RenderProcess.h"
#include "browser/WebB.Handler.ResourceBundle.h"
#include "browser/WebB.Settings.h"
#include "engine/EngineStrings.h"
#include "framework/Conversions.h"
#include "testengine/ControlExports.h"
#include "tests/engine/StandinHarness.h"
#include "tests/engine/TestClient.h"
#include "tests/TestProcess.h"

namespace kq {
namespace {

bool is_sub_process() { return std::wstring(::GetCommandLineW()).find(L"--type=") != std::wstring::npos; }

// WebBApp made by the module's start-up step, with the stand-in engine as its library. The test keeps a
// library handle of its own, so the stand-in's record outlives the engine object's unloading.
class WebBAppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FControlLibrary.load(test::standin_path()), engine_load_status::loaded);
        control().reset();
        webbapp_startup();
        WebBApp->SetCefLibrary(test::standin_path());
    }
    void TearDown() override {
        webbapp_shutdown();
        EXPECT_EQ(control().live_total(), 0);
        EXPECT_EQ(control().live("over_released"), 0);
    }
    test::standin_control control() const { return test::standin_control(FControlLibrary); }
    std::vector<std::string> call_names() const {
        std::vector<std::string> names;
        for (const auto& c : control().calls()) names.push_back(c.name);
        return names;
    }
    // Runs the engine's UI work until `done` holds (at most five seconds).
    template <class F>
    bool pump_until(F done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            WebBApp->CefDoMessageLoopWork();
            ::Sleep(10);
        }
        return done();
    }

    engine_library FControlLibrary;
};

TEST_F(WebBAppTest, InitStartsTheMainProcessWithTheSettingsOnce) {
    WebBApp->SetCefCache(u".\\Cache\\");
    WebBApp->SetCefLocale(u"zh-CN");
    WebBApp->SetCefLocalesDirPath(u".\\Bin\\locales");
    WebBApp->SetCefBackgroundColor(0xFF102030);
    EXPECT_TRUE(WebBApp->Init());
    EXPECT_TRUE(WebBApp->CefIsMainProcess());
    const auto init = control().calls("cef_initialize");
    ASSERT_EQ(init.size(), 1u);
    EXPECT_EQ(init[0].detail, "size=" + std::to_string(sizeof(cef_settings_t)) +
                                  " single_process=1 no_sandbox=0 browser_subprocess_path= "
                                  "multi_threaded_message_loop=0 windowless_rendering_enabled=0 "
                                  "cache_path=.\\Cache\\ user_agent= locale=zh-CN locales_dir_path=.\\Bin\\locales "
                                  "log_severity=99 remote_debugging_port=0 background_color=" +
                                  std::to_string(0xFF102030u));
    EXPECT_EQ(control().calls("cef_execute_process").at(0).detail, "-1");

    control().reset();
    EXPECT_TRUE(WebBApp->Init());
    EXPECT_EQ(call_names(), std::vector<std::string>{});

    WebBApp->CefShutDown();
    EXPECT_FALSE(WebBApp->Loaded());
    EXPECT_EQ(call_names(), std::vector<std::string>{"cef_shutdown"});
}

TEST_F(WebBAppTest, InitReportsALibraryThatCannotBeUsed) {
    // Without a library at the path: the system's error for the failed load.
    WebBApp->SetCefLibrary(test::standin_path(L"no-such-engine.dll"));
    try {
        WebBApp->Init();
        ADD_FAILURE() << "no exception";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode, static_cast<std::uint32_t>(ERROR_MOD_NOT_FOUND));
        EXPECT_EQ(e.Message(), u"System Error.  Code: 126.\r\n" + SysErrorMessage(ERROR_MOD_NOT_FOUND));
    }
    EXPECT_FALSE(WebBApp->Loaded());

    WebBApp->SetCefLibrary(test::standin_path(L"libcef_missing_export.dll"));
    try {
        WebBApp->Init();
        ADD_FAILURE() << "no exception";
    } catch (const ECefException& e) {
        EXPECT_EQ(e.Message(), u"Invalid CEF Library version");
    }
    EXPECT_FALSE(WebBApp->Loaded());
    EXPECT_TRUE(control().calls("cef_initialize").empty());
}

TEST_F(WebBAppTest, NeedsInitInTheMainProcessOnlyWithSubProcessesAndNoLibrary) {
    EXPECT_FALSE(WebBApp->IsNeedInitInMainProcess());
    WebBApp->SetCefSingleProcess(false);
    EXPECT_TRUE(WebBApp->IsNeedInitInMainProcess());
    // The renderer the stand-in would start is this program again; it runs no test.
    ::SetEnvironmentVariableW(L"STANDIN_RENDERER_ARGUMENTS", L"--gtest_filter=NoSuchTest.None");
    // The browser-process handler sees the child's command line before it starts.
    WebBApp->SetOnBeforeChildProcessLaunch([](const ICefCommandLine& line) { line.AppendSwitch(u"child-seen"); });
    EXPECT_TRUE(WebBApp->Init());
    ::SetEnvironmentVariableW(L"STANDIN_RENDERER_ARGUMENTS", nullptr);
    EXPECT_FALSE(WebBApp->IsNeedInitInMainProcess());
    const auto launched = control().calls("launch_renderer");
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].detail, "--type=renderer --child-seen");
}

TEST_F(WebBAppTest, GuardedWrappersRaiseBeforeTheLibraryIsLoaded) {
    const cef_window_info_t window{};
    cef_browser_settings_t settings{};
    settings.size = sizeof settings;
    const auto expect_raises = [](auto call) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), u"TWebBApp.LoadLib must be called first");
        }
    };
    expect_raises([&] { WebBApp->CefBrowserHostCreate(window, nullptr, u"about:blank", settings, nullptr); });
    expect_raises([&] { WebBApp->CefBrowserHostCreateSync(window, nullptr, u"about:blank", settings, nullptr); });
    expect_raises([&] { WebBApp->CefRegisterSchemeHandlerFactory(u"kq", u"", nullptr); });
    expect_raises([&] { WebBApp->CefClearSchemeHandlerFactories(); });
    expect_raises([&] { WebBApp->CefAddCrossOriginWhitelistEntry(u"a", u"b", u"c", true); });
    expect_raises([&] { WebBApp->CefRemoveCrossOriginWhitelistEntry(u"a", u"b", u"c", true); });
    expect_raises([&] { WebBApp->CefClearCrossOriginWhitelist(); });
    expect_raises([&] { WebBApp->CefRegisterExtension(u"x", u"var x;", nullptr); });
    // The message-loop wrappers do nothing instead.
    WebBApp->CefDoMessageLoopWork();
    WebBApp->CefRunMessageLoop();
    EXPECT_EQ(call_names(), std::vector<std::string>{});
}

TEST_F(WebBAppTest, ProcessEventsReachTheApplication) {
    std::vector<std::string> seen;
    DWORD context_thread = 0;
    WebBApp->SetOnBeforeCommandLineProcessing([&](const String& type, const ICefCommandLine& line) {
        seen.push_back("command line type=" + string_to_utf8(type));
        line.AppendSwitch(u"disable-gpu");
    });
    WebBApp->SetOnContextInitialized([&] { context_thread = ::GetCurrentThreadId(); });
    ASSERT_TRUE(WebBApp->Init());
    EXPECT_EQ(seen, std::vector<std::string>{"command line type="});
    EXPECT_NE(control().calls("command_line").at(0).detail.find("--disable-gpu"), std::string::npos);
    EXPECT_TRUE(pump_until([&] { return context_thread != 0; }));
    EXPECT_EQ(context_thread, ::GetCurrentThreadId());
}

TEST_F(WebBAppTest, RegisterClassesKeepsOneEntryPerNameAndCode) {
    WebBApp->RegisterClasses({{u"a", u"x", nullptr, {}}, {u"a", u"x", nullptr, {}}, {u"a", u"y", nullptr, {}}});
    WebBApp->RegisterClasses({{u"b", u"x", nullptr, {}}, {u"a", u"y", nullptr, {}}, {u"A", u"x", nullptr, {}}});
    std::vector<String> entries;
    for (const TRegExtentionPar& e : RegisteredExtentions()) entries.push_back(e.name + u":" + e.code);
    EXPECT_EQ(entries, (std::vector<String>{u"a:x", u"a:y", u"b:x", u"A:x"}));
}

// Objects become extensions named after their class, with no code and the object itself as the value;
// the same class twice is one entry.
TEST_F(WebBAppTest, RegisterClassesWithObjectsNamesThemByClass) {
    const auto fonts = std::make_shared<TChromiumFontOptions>();
    const auto options = std::make_shared<TWebBOptions>();
    WebBApp->RegisterClasses(std::vector<typed_value::object_ref>{fonts, options, std::make_shared<TWebBOptions>()});
    std::vector<String> names;
    for (const TRegExtentionPar& e : RegisteredExtentions()) {
        names.push_back(e.name);
        EXPECT_EQ(e.code, u"");
        EXPECT_FALSE(e.Handler);
    }
    EXPECT_EQ(names, (std::vector<String>{u"TChromiumFontOptions", u"TWebBOptions"}));
    EXPECT_EQ(RegisteredExtentions()[0].value, typed_value(typed_value::object_ref(fonts)));
}

// The engine asks the resource-bundle handler; only an event that sets Cancel answers.
TEST_F(WebBAppTest, ResourceBundleAnswersOnlyThroughItsEvents) {
    ASSERT_TRUE(WebBApp->Init());
    cef_resource_bundle_handler_t* h = TWebBApp::ResourceBundleHandler().cef();
    cef_string_t text{};
    void* data = nullptr;
    std::size_t size = 0;
    EXPECT_EQ(h->get_localized_string(h, 7, &text), 0);
    EXPECT_EQ(h->get_data_resource(h, 7, &data, &size), 0);
    EXPECT_EQ(h->get_data_resource_for_scale(h, 7, SCALE_FACTOR_200P, &data, &size), 0);

    static const char bytes[] = "png";
    WebBApp->SetOnGetLocalizedString([](int id, String& value, bool& Cancel) {
        value = u"本地化 " + IntToStr(id);
        Cancel = id == 7;
    });
    WebBApp->SetOnGetDataResourceForScale(
        [](int, cef_scale_factor_t scale, void*& d, std::size_t& n, bool& Cancel) {
            d = const_cast<char*>(bytes);
            n = scale == SCALE_FACTOR_200P ? 3 : 0;
            Cancel = true;
        });
    EXPECT_EQ(h->get_localized_string(h, 8, &text), 0);
    EXPECT_EQ(text.str, nullptr);
    EXPECT_EQ(h->get_localized_string(h, 7, &text), 1);
    EXPECT_EQ(to_string(&text), u"本地化 7");
    FControlLibrary.exports().cef_string_utf16_clear(&text);
    EXPECT_EQ(h->get_data_resource_for_scale(h, 7, SCALE_FACTOR_200P, &data, &size), 1);
    EXPECT_EQ(data, bytes);
    EXPECT_EQ(size, 3u);
}

// When the renderer's script engine starts, the registered extensions with code or handler reach it.
TEST_F(WebBAppTest, RendererRegistersTheExtensionsWhenScriptStarts) {
    WebBApp->RegisterClasses({{u"first", u"var first;", nullptr, {}}, {u"second", u"", nullptr, typed_value(2)}});
    bool raised = false;
    WebBApp->SetOnWebKitInitialized([&] { raised = true; });
    ASSERT_TRUE(WebBApp->Init());
    cef_render_process_handler_t* h = TWebBApp::RenderProcessHandler().cef();
    h->on_web_kit_initialized(h);
    // An entry without code or handler is registered from its value: a global property whose reads and
    // writes call the handler's native functions.
    const auto registered = control().calls("cef_register_extension");
    ASSERT_EQ(registered.size(), 2u);
    EXPECT_EQ(registered[0].detail, "first var first;");
    EXPECT_EQ(registered[1].detail,
              "second __defineSetter__('second', function(v){native function $s();$s(v)});"
              "__defineGetter__('second', function(){native function $g();return $g()});");
    EXPECT_TRUE(raised);
}

// A resource handler that notes what it was made for.
class noted_resource_handler : public engine_object<cef_resource_handler_t> {
public:
    noted_resource_handler(const ICefBrowser& browser, const ICefFrame& frame, const String& scheme_name,
                           const ICefRequest& request) {
        made.push_back(string_to_utf8(scheme_name) + " " + string_to_utf8(request ? request.GetUrl() : u"") +
                       (browser || frame ? " with page" : ""));
    }
    static inline std::vector<std::string> made;
};

TEST_F(WebBAppTest, ASchemeRegisteredByClassMakesAHandlerPerRequest) {
    EXPECT_THROW(WebBApp->CefRegisterSchemeHandlerFactory<noted_resource_handler>(u"kq", u""), Exception);
    ASSERT_TRUE(WebBApp->Init());
    noted_resource_handler::made.clear();
    EXPECT_TRUE(WebBApp->CefRegisterSchemeHandlerFactory<noted_resource_handler>(u"kq", u"host"));
    EXPECT_EQ(control().calls("cef_register_scheme_handler_factory").at(0).detail, "kq host");
    const auto request = control().function<decltype(&standin_create_scheme_handler)>("standin_create_scheme_handler");
    EXPECT_EQ(request(L"kq", L"kq://host/a"), 1);
    EXPECT_EQ(request(L"kq", L"kq://host/b"), 1);
    EXPECT_EQ(request(L"other", L"other://x"), 0);
    EXPECT_EQ(noted_resource_handler::made, (std::vector<std::string>{"kq kq://host/a", "kq kq://host/b"}));
    EXPECT_TRUE(WebBApp->CefClearSchemeHandlerFactories());
    EXPECT_EQ(request(L"kq", L"kq://host/c"), 0);
}

TEST_F(WebBAppTest, PlugInVisitsAndStabilityReachClosures) {
    ASSERT_TRUE(WebBApp->Init());
    std::vector<std::string> visited;
    WebBApp->CefVisitWebPluginInfoProc([&](const ICefWebPluginInfo& info, int count, int total) {
        visited.push_back(string_to_utf8(info.GetName()) + " " + string_to_utf8(info.GetPath()) + " " +
                          std::to_string(count) + "/" + std::to_string(total));
        return count < 1; // the second plug-in ends the visit
    });
    EXPECT_TRUE(pump_until([&] { return visited.size() == 2; }));
    EXPECT_TRUE(pump_until([&] { return control().calls("plugin_visitor.visit").size() == 2; }));
    EXPECT_EQ(visited, (std::vector<std::string>{"Reader C:\\plugins\\reader.dll 0/3",
                                                 "Player C:\\plugins\\player.dll 1/3"}));

    std::vector<std::string> answers;
    for (const char16_t* path : {u"C:\\plugins\\unstable.dll", u"C:\\plugins\\reader.dll"}) {
        WebBApp->CefIsWebPluginUnstableProc(path, [&](const String& p, bool unstable) {
            answers.push_back(string_to_utf8(p) + (unstable ? " unstable" : " stable"));
        });
    }
    EXPECT_TRUE(pump_until([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, (std::vector<std::string>{"C:\\plugins\\unstable.dll unstable", "C:\\plugins\\reader.dll stable"}));
}

// The render-process handler: bridge messages are handled, with the exact name only; the application's
// event sees each message after the bridge, on the renderer's thread.
TEST_F(WebBAppTest, RendererDispatchesBridgeMessagesByExactName) {
    struct row {
        const char16_t* name;
        bool assigned;
        int handled;
        const char* bridge;
    };
    const row rows[] = {
        {u"@webbrowser_torender_jsextention", false, 1, "js"},
        {u"@webbrowser_runinrender", false, 1, "run"},
        {u"@WebBrowser_RunInRender", false, 0, ""},
        {u"other", false, 0, ""},
        {u"@webbrowser_runinrender", true, 1, "run"},
        {u"other", true, 0, ""},
    };
    std::atomic<int> seen_cancel{-1};
    std::atomic<DWORD> event_thread{0};
    std::string bridge;
    auto& renderer = TWebBApp::RenderProcessHandler();
    renderer.js_extention_message = [&](const ICefBrowser&, const ICefProcessMessage&) { bridge = "js"; };
    renderer.run_in_render_message = [&](const ICefBrowser&, const ICefProcessMessage&) { bridge = "run"; };
    ASSERT_TRUE(WebBApp->Init());

    test::event_log log;
    auto client = make_engine_object<test::test_client>(log);
    cef_window_info_t window{};
    window.style = WS_POPUP;
    window.width = window.height = 100;
    cef_browser_settings_t settings{};
    settings.size = sizeof settings;
    ICefBrowser browser = WebBApp->CefBrowserHostCreateSync(window, client, u"about:blank", settings, nullptr);
    ASSERT_TRUE(browser);
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.name));
        control().reset();
        bridge.clear();
        seen_cancel = -1;
        if (r.assigned) {
            WebBApp->SetOnProcessMessageReceived(
                [&](const ICefBrowser&, cef_process_id_t, const ICefProcessMessage&, bool& Cancel) {
                    seen_cancel = Cancel ? 1 : 0;
                    event_thread = ::GetCurrentThreadId();
                });
        } else {
            WebBApp->SetOnProcessMessageReceived(nullptr);
        }
        EXPECT_TRUE(browser.SendProcessMessage(PID_RENDERER, ICefProcessMessage::New(r.name)));
        ASSERT_TRUE(pump_until([&] { return !control().calls("renderer.process_message_received").empty(); }));
        const auto received = control().calls("renderer.process_message_received").at(0);
        EXPECT_EQ(received.detail, "browser=" + std::to_string(browser.GetIdentifier()) + " " +
                                       string_to_utf8(r.name) + " handled=" + std::to_string(r.handled));
        EXPECT_EQ(received.thread, "renderer");
        EXPECT_EQ(bridge, r.bridge);
        EXPECT_EQ(seen_cancel, r.assigned ? r.handled : -1);
        if (r.assigned) {
            EXPECT_NE(event_thread, ::GetCurrentThreadId());
        }
    }
    WebBApp->SetOnProcessMessageReceived(nullptr);
    browser.GetHost().CloseBrowser(true);
    browser = ICefBrowser();
    client.reset();
    WebBApp->CefShutDown();
}

// Started by SubProcessInitEndsTheProcessWithoutEngineShutdown with the engine's sub-process switch.
TEST_F(WebBAppTest, SubProcessRoad) {
    if (!is_sub_process()) GTEST_SKIP() << "runs only as a sub-process";
    EXPECT_FALSE(WebBApp->Init());
    EXPECT_TRUE(WebBApp->Loaded());
    EXPECT_FALSE(WebBApp->CefIsMainProcess());
    WebBApp->CefShutDown();
    EXPECT_FALSE(WebBApp->Loaded());
    EXPECT_EQ(call_names(), std::vector<std::string>{"cef_execute_process"});
}

TEST(WebBAppSubProcess, InitEndsTheSubProcessWithoutEngineShutdown) {
    if (is_sub_process()) GTEST_SKIP();
    const unique_kernel_handle child = test::start_this_program(L"--gtest_filter=WebBAppTest.SubProcessRoad --type=renderer");
    ASSERT_TRUE(child);
    ::WaitForSingleObject(child.get(), 30000);
    DWORD code = 1;
    ::GetExitCodeProcess(child.get(), &code);
    EXPECT_EQ(code, 0u);
}

} // namespace
} // namespace kq
