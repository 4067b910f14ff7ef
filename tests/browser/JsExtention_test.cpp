#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Core.BrowserView.h"
#include "browser/WebB.Core.JsExtention.h"
#include "browser/WebB.Handler.RenderProcess.h"
#include "browser/WebB.Locker.h"
#include "browser/WebB.Settings.h"
#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/Threads.h"
#include "testengine/ControlExports.h"
#include "tests/browser/EngineFixture.h"
#include "tests/engine/StandinHarness.h"
#include "tests/framework/visual/VisualFixture.h"

namespace kq {
namespace {

// --- Variant readings

TEST(Variant, ReadingsOfEachKind) {
    struct row {
        Variant value;
        const char16_t* text;
        std::int32_t integer;
        bool boolean;
    };
    const row rows[] = {
        {Variant(), u"", 0, false},
        {Variant::Null(), u"", 0, false},
        {Variant(true), u"True", 1, true},
        {Variant(false), u"False", 0, false},
        {Variant(std::int32_t{-7}), u"-7", -7, true},
        {Variant(std::uint32_t{7}), u"7", 7, true},
        {Variant(std::int64_t{1} << 20), u"1048576", 1 << 20, true},
        {Variant(2.5), u"2.5", 2, true}, // half to even
        {Variant(u"42"), u"42", 42, true},
        {Variant(u"0"), u"0", 0, false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.text));
        EXPECT_EQ(r.value.AsString(), r.text);
        EXPECT_EQ(r.value.AsInteger(), r.integer);
        EXPECT_EQ(r.value.AsBoolean(), r.boolean);
    }
    EXPECT_EQ(Variant(u"1.5").AsFloat(), 1.5);
    EXPECT_EQ(Variant(std::int32_t{3}).AsFloat(), 3.0);
}

TEST(Variant, ValuesThatDoNotReadRaise) {
    EXPECT_THROW(Variant(u"abc").AsInteger(), EConvertError);
    EXPECT_THROW(Variant(u"abc").AsFloat(), EConvertError);
    EXPECT_THROW(Variant(u"abc").AsBoolean(), EConvertError);
    EXPECT_THROW(Variant(std::vector<Variant>{}).AsString(), EConvertError);
    EXPECT_THROW(Variant(std::int64_t{1} << 40).AsInteger(), ERangeError);
    EXPECT_THROW(Variant(std::uint32_t{0x80000000u}).AsInteger(), ERangeError);
    EXPECT_THROW(Variant(1e10).AsInteger(), ERangeError);
    EXPECT_THROW(Variant(1e300).AsInteger(), ERangeError);
    EXPECT_THROW(Variant(std::numeric_limits<double>::quiet_NaN()).AsInteger(), ERangeError);
    EXPECT_EQ(Variant(-2147483648.4).AsInteger(), std::numeric_limits<std::int32_t>::min());
}

// --- The bridge with the stand-in engine

class test_sink : public IWebBrowser {
public:
    void FillBrowserSettings(cef_browser_settings_t&) override {}
    // A status text the engine reports runs this, inside the engine's work on the GUI thread.
    void OnStateChange(const ICefBrowser&, TBrowserDataChangeKind kind, const String&) override {
        if (kind == BrowserDataChange_StatusMessage && on_status) on_status();
    }
    std::function<void()> on_status;
};

class JsExtentionTest : public test::engine_test {
protected:
    void SetUp() override {
        engine_test::SetUp();
        if (HasFatalFailure()) return;
        FForm = new TForm(Application);
        FForm->SetBounds(0, 0, 400, 300);
        FView = new TBrowserView(FForm, &FSink, &FOptions);
        FView->SetParent(FForm);
        FView->SetAlign(TAlign::alClient);
        FForm->Show();
        FView->AddPage(u"http://a.test/", u"");
        ASSERT_TRUE(pump_until([&] { return FView->BrowserCount() == 1; }));
        FPage = FView->ActiveBrowser();
    }
    void TearDown() override {
        FPage = ICefBrowser();
        delete FForm;
        pump_until([] { return false; }, 50);
        engine_test::TearDown();
    }

    void set_global(const wchar_t* name, const char* type, const wchar_t* value = L"") const {
        control().function<decltype(&standin_set_global)>("standin_set_global")(name, type, value);
    }
    void set_eval(const wchar_t* code, const char* type, const wchar_t* value = L"") const {
        control().function<decltype(&standin_set_eval)>("standin_set_eval")(code, type, value);
    }
    TWebBJsExtention& bridge() const { return FView->JsExtention(); }
    // The renderer holds every request until release is set.
    static void hold_requests(std::atomic<bool>& release) {
        TWebBApp::RenderProcessHandler().js_extention_message = [&release](const ICefBrowser& b,
                                                                          const ICefProcessMessage& m) {
            while (!release) ::Sleep(5);
            HandleJsExtentionMessage(b, m);
        };
    }
    size_t replies_received() const { return control().calls("client.process_message_received").size(); }

    test_sink FSink;
    TWebBOptions FOptions;
    TForm* FForm = nullptr;
    TBrowserView* FView = nullptr;
    ICefBrowser FPage;
};

// The request goes to the renderer's thread, the answer comes back through the engine's loop on the GUI
// thread while the call waits there.
TEST_F(JsExtentionTest, GetAsStringWaitsForTheRenderersAnswer) {
    control().reset(); // also forgets the script tables
    set_global(L"greeting", "string", L"你好");
    EXPECT_EQ(bridge().GetAsString(FPage, u"greeting"), u"你好");
    const auto received = control().calls("renderer.process_message_received");
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].thread, "renderer");
    EXPECT_NE(received[0].detail.find("@webbrowser_torender_jsextention handled=1"), std::string::npos);
    const auto answered = control().calls("client.process_message_received");
    ASSERT_EQ(answered.size(), 1u);
    EXPECT_EQ(answered[0].thread, "ui");
    EXPECT_NE(answered[0].detail.find("@webbrowser_tobrowser_jsextention handled=1"), std::string::npos);
    EXPECT_EQ(bridge().PendingCount(), 0);
}

TEST_F(JsExtentionTest, GetAsStringOfEachKindOfValue) {
    struct row {
        const wchar_t* name;
        const char* type; // nullptr: not defined
        const wchar_t* value;
        const char16_t* expected;
    };
    const row rows[] = {
        {L"s", "string", L"text", u"text"},
        {L"f", "function", L"doSomething", u"doSomething"},
        {L"arr", "array", L"", u""},
        {L"obj", "object", L"", u""},
        {L"u", "undefined", L"", u""},
        {L"n", "null", L"", u""},
        {L"i", "int", L"-42", u"-42"},
        {L"big", "uint", L"4000000000", u""}, // above the signed range: travels as no value
        {L"d", "double", L"2.5", u"2.5"},
        {L"b", "bool", L"true", u"True"},
        {L"nosuch", nullptr, L"", u"变量 nosuch 不存在或类型不匹配"},
        // A date does not convert: the reason is the answer, and the renderer goes on (next rows).
        {L"when", "date", L"", u"指定的JavaScript变量无法转换为 Variant"},
        {L"after", "string", L"still here", u"still here"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(from_wide(r.name)));
        if (r.type) set_global(r.name, r.type, r.value);
        EXPECT_EQ(bridge().GetAsString(FPage, from_wide(r.name)), r.expected);
    }
    // The undefined one was looked up, then evaluated.
    const auto evals = control().calls("v8.eval");
    EXPECT_NE(std::find_if(evals.begin(), evals.end(), [](const auto& c) { return c.detail == "u"; }), evals.end());
}

TEST_F(JsExtentionTest, TypedReadsAndDefined) {
    set_global(L"i", "int", L"42");
    set_global(L"d", "double", L"0.25");
    set_global(L"b", "bool", L"true");
    set_global(L"u", "undefined");
    set_global(L"word", "string", L"abc");
    EXPECT_EQ(bridge().GetAsInteger(FPage, u"i"), 42);
    EXPECT_EQ(bridge().GetAsFloat(FPage, u"d"), 0.25);
    EXPECT_TRUE(bridge().GetAsBoolean(FPage, u"b"));
    EXPECT_EQ(bridge().GetAsInteger(FPage, u"nosuch"), 0) << "no value reads as 0";
    EXPECT_TRUE(bridge().GetDefined(FPage, u"u")) << "the property exists, with the value undefined";
    EXPECT_FALSE(bridge().GetDefined(FPage, u"nosuch"));
    // A value that does not read as the type: the call still ends and forgets its request.
    EXPECT_THROW(bridge().GetAsInteger(FPage, u"word"), EConvertError);
    EXPECT_EQ(bridge().PendingCount(), 0);
}

TEST_F(JsExtentionTest, SetsCreateAndChangeGlobals) {
    bridge().SetAsBoolean(FPage, u"fresh", true);
    EXPECT_TRUE(bridge().GetDefined(FPage, u"fresh"));
    EXPECT_TRUE(bridge().GetAsBoolean(FPage, u"fresh"));
    EXPECT_EQ(control().calls("v8.set_value_bykey").at(0).detail, "fresh attribute=0");
    bridge().SetAsInteger(FPage, u"n", std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(bridge().GetAsInteger(FPage, u"n"), std::numeric_limits<std::int32_t>::min());
    bridge().SetAsFloat(FPage, u"x", 1.75);
    EXPECT_EQ(bridge().GetAsFloat(FPage, u"x"), 1.75);
    bridge().SetAsString(FPage, u"s", u"文字");
    EXPECT_EQ(bridge().GetAsString(FPage, u"s"), u"文字");
}

TEST_F(JsExtentionTest, AnIntegerBeyond32BitsRaisesBeforeAnythingIsSent) {
    control().reset();
    for (const std::int64_t v : {std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1,
                                 std::int64_t{std::numeric_limits<std::int32_t>::min()} - 1}) {
        EXPECT_THROW(bridge().SetAsInteger(FPage, u"n", v), ERangeError);
        EXPECT_THROW(bridge().SetAsIntegerProc(FPage, u"n", v, nullptr), ERangeError);
        EXPECT_THROW(bridge().SetAsInteger(ICefBrowser(), u"n", v), ERangeError);
    }
    EXPECT_TRUE(control().calls("browser.send_process_message").empty());
    EXPECT_EQ(bridge().PendingCount(), 0);
}

TEST_F(JsExtentionTest, EvaluationResultsAndErrors) {
    set_eval(L"1+1", "int", L"2");
    set_eval(L"lookup()", "string", L"用户不存在");
    set_eval(L"boom()", "throw", L"Error: 出错了|3|7");
    EXPECT_EQ(bridge().GetExecuteScriptResult(FPage, u"1+1"), Variant(std::int32_t{2}));
    EXPECT_EQ(bridge().GetExecuteScriptResult(FPage, u"lookup()"), Variant(u""));
    EXPECT_EQ(bridge().GetExecuteScriptResult(FPage, u"boom()").VarType(), Variant::varEmpty);

    // The asynchronous form receives the error text, on the GUI thread.
    std::vector<std::pair<Variant, String>> outcomes;
    bool on_gui = false;
    bridge().GetExecuteScriptResultProc(FPage, u"boom()", [&](const Variant& v, const String& e) {
        outcomes.emplace_back(v, e);
        on_gui = on_gui_thread();
    });
    ASSERT_TRUE(pump_until([&] { return !outcomes.empty(); }));
    EXPECT_EQ(outcomes[0].first.VarType(), Variant::varEmpty);
    EXPECT_EQ(outcomes[0].second,
              u"执行脚本时发生异常：\r\n信息：Error: 出错了\r\n位置:第 3 行 7 列\r\n脚本:\r\nboom()");
    EXPECT_TRUE(on_gui);
}

TEST_F(JsExtentionTest, WithoutAPageNothingIsSentOrWaitedFor) {
    control().reset();
    bool called = false;
    bridge().GetAsStringProc(ICefBrowser(), u"x", [&](const Variant&, const String&) { called = true; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bridge().GetAsString(ICefBrowser(), u"x"), u"");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    pump_until([] { return false; }, 100);
    EXPECT_FALSE(called);
    EXPECT_EQ(bridge().PendingCount(), 0);
    EXPECT_TRUE(control().calls("browser.send_process_message").empty());
}

// The reply's name is matched without regard to case in the browser, exactly in the renderer.
TEST_F(JsExtentionTest, ReplyNamesAndRequestNamesAreMatchedAsEachSideSays) {
    auto& renderer = TWebBApp::RenderProcessHandler();
    renderer.js_extention_message = [](const ICefBrowser& b, const ICefProcessMessage& m) {
        const ICefProcessMessage reply = ICefProcessMessage::New(u"@WebBrowser_ToBrowser_JSExtention");
        const ICefListValue args = reply.GetArgumentList();
        args.SetSize(3);
        args.SetString(0, m.GetArgumentList().GetString(0));
        args.SetString(1, u"answered");
        args.SetString(2, u"");
        b.SendProcessMessage(PID_BROWSER, reply);
    };
    EXPECT_EQ(bridge().GetAsString(FPage, u"x"), u"answered");
    renderer.js_extention_message = &HandleJsExtentionMessage;

    control().reset();
    const ICefProcessMessage request = ICefProcessMessage::New(u"@WebBrowser_ToRender_JsExtention");
    request.GetArgumentList().SetString(0, u"{id}");
    ASSERT_TRUE(FPage.SendProcessMessage(PID_RENDERER, request));
    ASSERT_TRUE(pump_until([&] { return !control().calls("renderer.process_message_received").empty(); }));
    EXPECT_NE(control().calls("renderer.process_message_received")[0].detail.find("handled=0"), std::string::npos);
    pump_until([] { return false; }, 100);
    EXPECT_EQ(replies_received(), 0u) << "not answered";
}

TEST_F(JsExtentionTest, AnUnknownOperationIsNotAnswered) {
    control().reset();
    const ICefProcessMessage request = ICefProcessMessage::New(torender_jsextention_message);
    const ICefListValue args = request.GetArgumentList();
    args.SetString(0, u"{id}");
    args.SetInt(1, 9);
    args.SetString(2, u"x");
    ASSERT_TRUE(FPage.SendProcessMessage(PID_RENDERER, request));
    ASSERT_TRUE(pump_until([&] { return !control().calls("renderer.process_message_received").empty(); }));
    EXPECT_NE(control().calls("renderer.process_message_received")[0].detail.find("handled=1"), std::string::npos);
    pump_until([] { return false; }, 100);
    EXPECT_EQ(replies_received(), 0u);
}

// A renderer that takes long is waited for: the call has no time limit and still gets its reply.
TEST_F(JsExtentionTest, ASlowReplyIsWaitedFor) {
    set_global(L"v", "string", L"value");
    std::atomic<bool> release{false};
    hold_requests(release);
    std::thread releaser([&] {
        ::Sleep(1500);
        release = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(bridge().GetAsString(FPage, u"v"), u"value");
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1400));
    releaser.join();
    EXPECT_EQ(bridge().PendingCount(), 0);
    TWebBApp::RenderProcessHandler().js_extention_message = &HandleJsExtentionMessage;
}

// When no reply can come the call ends with no value: its page closed while it waits, or it sits in the
// engine's own work, which cannot deliver one until it returns.
TEST_F(JsExtentionTest, ACallThatCannotBeAnsweredEndsWithNoValue) {
    set_global(L"v", "string", L"value");
    std::atomic<bool> release{false};
    hold_requests(release);
    const int id = FPage.GetIdentifier();
    Queue([&] { FView->CloseBrowser(id, -1); });
    EXPECT_EQ(bridge().GetAsString(FPage, u"v"), u"");
    EXPECT_EQ(FView->BrowserCount(), 0);
    EXPECT_EQ(bridge().PendingCount(), 0);
    // Its late answer finds nothing waiting.
    release = true;
    pump_until([&] { return replies_received() == 1; }, 2000);
    EXPECT_EQ(bridge().PendingCount(), 0);
    TWebBApp::RenderProcessHandler().js_extention_message = &HandleJsExtentionMessage;

    FView->AddPage(u"http://b.test/", u"");
    ASSERT_TRUE(pump_until([&] { return FView->BrowserCount() == 1; }));
    const ICefBrowser page = FView->ActiveBrowser();
    String inside = u"(not run)";
    std::chrono::steady_clock::duration took{};
    FSink.on_status = [&] {
        const auto start = std::chrono::steady_clock::now();
        inside = bridge().GetAsString(page, u"v");
        took = std::chrono::steady_clock::now() - start;
    };
    ASSERT_EQ(inject(page.GetIdentifier(), "status", "ui", L"working"), 1);
    ASSERT_TRUE(pump_until([&] { return inside != u"(not run)"; }));
    FSink.on_status = nullptr;
    EXPECT_EQ(inside, u"");
    EXPECT_LT(took, std::chrono::seconds(2));
    // The request itself went, and the answer that comes afterwards is dropped.
    EXPECT_TRUE(pump_until([&] { return replies_received() == 2; }));
    EXPECT_EQ(bridge().PendingCount(), 0);
    EXPECT_EQ(bridge().GetAsString(page, u"v"), u"value");
}

// Any bridge may ask about any page: the reply comes through the page's own view. When that view goes
// before the answer, the call ends with no value.
TEST_F(JsExtentionTest, ABridgeAsksAboutAnotherViewsPage) {
    set_global(L"v", "string", L"value");
    auto* other = new TBrowserView(FForm, &FSink, &FOptions);
    other->SetParent(FForm);
    other->SetBounds(0, 0, 200, 200);
    other->AddPage(u"http://other.test/", u"");
    ASSERT_TRUE(pump_until([&] { return other->BrowserCount() == 1; }));
    const ICefBrowser page = other->ActiveBrowser();
    EXPECT_EQ(bridge().GetAsString(page, u"v"), u"value");
    EXPECT_EQ(other->JsExtention().GetAsString(FPage, u"v"), u"value");

    std::atomic<bool> release{false};
    hold_requests(release);
    Queue([&] { delete other; });
    EXPECT_EQ(bridge().GetAsString(page, u"v"), u"");
    EXPECT_EQ(bridge().PendingCount(), 0);
    release = true;
    TWebBApp::RenderProcessHandler().js_extention_message = &HandleJsExtentionMessage;
}

// Extensions made from values: a script's reads and writes of the extension's name reach the value
// through the handler's native functions; scalars take what the script writes, type included.
TEST_F(JsExtentionTest, AValueExtensionIsReadAndWrittenByScript) {
    WebBApp->RegisterClasses({{u"number", u"", nullptr, typed_value(41)},
                              {u"flag", u"", nullptr, typed_value(true)},
                              {u"ratio", u"", nullptr, typed_value(2.5)},
                              {u"text", u"", nullptr, typed_value(u"文字")},
                              {u"nothing", u"", nullptr, typed_value()}});
    cef_render_process_handler_t* h = TWebBApp::RenderProcessHandler().cef();
    h->on_web_kit_initialized(h);
    struct row {
        const char16_t* name;
        Variant read;
    };
    const row rows[] = {
        {u"number", Variant(41)}, {u"flag", Variant(true)}, {u"ratio", Variant(2.5)},
        {u"text", Variant(u"文字")}, {u"nothing", Variant()},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.name));
        EXPECT_EQ(bridge().GetExecuteScriptResult(FPage, r.name), r.read);
    }
    bridge().SetAsInteger(FPage, u"number", 7);
    EXPECT_EQ(bridge().GetAsInteger(FPage, u"number"), 7);
    bridge().SetAsString(FPage, u"number", u"seven");
    EXPECT_EQ(bridge().GetExecuteScriptResult(FPage, u"number"), Variant(u"seven"));
    bridge().SetAsBoolean(FPage, u"flag", false);
    EXPECT_EQ(bridge().GetExecuteScriptResult(FPage, u"flag"), Variant(false));
    bridge().SetAsFloat(FPage, u"nothing", 0.25);
    EXPECT_EQ(bridge().GetAsFloat(FPage, u"nothing"), 0.25);
    // Each value lives in its own handler: the others are untouched.
    EXPECT_EQ(bridge().GetAsString(FPage, u"text"), u"文字");
}

// An object registered by class: script sees its published properties live, and what script writes
// reaches the object; a value that does not fit a property is refused with the script's exception.
TEST_F(JsExtentionTest, AnObjectExtensionReadsAndWritesThePublishedProperties) {
    const auto fonts = std::make_shared<TChromiumFontOptions>();
    fonts->SetDefaultFontSize(16);
    fonts->SetRemoteFonts(STATE_ENABLED);
    WebBApp->RegisterClasses(std::vector<typed_value::object_ref>{fonts});
    cef_render_process_handler_t* h = TWebBApp::RenderProcessHandler().cef();
    h->on_web_kit_initialized(h);
    const auto run = [&](const char16_t* script) { return bridge().GetExecuteScriptResult(FPage, script); };
    EXPECT_EQ(run(u"TChromiumFontOptions.DefaultFontSize"), Variant(16));
    EXPECT_EQ(run(u"TChromiumFontOptions.RemoteFonts"), Variant(u"STATE_ENABLED"));
    fonts->SetFixedFontFamily(u"Consolas");
    EXPECT_EQ(run(u"TChromiumFontOptions.FixedFontFamily"), Variant(u"Consolas"));

    run(u"TChromiumFontOptions.SerifFontFamily='Georgia'");
    run(u"TChromiumFontOptions.MinimumFontSize=9");
    run(u"TChromiumFontOptions.RemoteFonts='STATE_DISABLED'");
    EXPECT_EQ(fonts->SerifFontFamily(), u"Georgia");
    EXPECT_EQ(fonts->MinimumFontSize(), 9);
    EXPECT_EQ(fonts->RemoteFonts(), STATE_DISABLED);

    control().reset();
    run(u"TChromiumFontOptions.DefaultFontSize='big'");
    EXPECT_EQ(fonts->DefaultFontSize(), 16);
    const auto thrown = control().calls("v8.exception");
    ASSERT_EQ(thrown.size(), 1u);
    EXPECT_EQ(thrown[0].detail, "invalid value for property DefaultFontSize");
}

// Calls that overlap each return their own reply: one nested in the wait of another on the GUI thread, one
// from another thread.
TEST_F(JsExtentionTest, OverlappingCallsEachGetTheirOwnReply) {
    set_global(L"slow", "string", L"slow value");
    set_global(L"fast", "string", L"fast value");
    set_global(L"other", "string", L"other value");
    auto& renderer = TWebBApp::RenderProcessHandler();
    renderer.js_extention_message = [](const ICefBrowser& b, const ICefProcessMessage& m) {
        if (m.GetArgumentList().GetString(2) == u"slow") ::Sleep(300);
        HandleJsExtentionMessage(b, m);
    };
    String nested, from_thread;
    std::atomic<bool> thread_done{false};
    std::thread worker;
    Queue([&] {
        worker = std::thread([&] {
            from_thread = bridge().GetAsString(FPage, u"other");
            thread_done = true;
        });
        nested = bridge().GetAsString(FPage, u"fast");
    });
    EXPECT_EQ(bridge().GetAsString(FPage, u"slow"), u"slow value");
    EXPECT_EQ(nested, u"fast value");
    ASSERT_TRUE(pump_until([&] { return thread_done.load(); }));
    worker.join();
    EXPECT_EQ(from_thread, u"other value");
    EXPECT_EQ(bridge().PendingCount(), 0);
    renderer.js_extention_message = &HandleJsExtentionMessage;
}

TEST_F(JsExtentionTest, RunInRenderProcessRunsTheClosureInTheRenderer) {
    struct seen {
        std::atomic<bool> ran{false};
        int page = 0;
        bool context = false;
        void* data = nullptr;
        bool on_gui = true;
    } s;
    int data = 0;
    FView->RunInRenderProcess(
        [&s](const ICefBrowser& b, const ICefv8Context& c, void* d) {
            s.page = b ? b.GetIdentifier() : 0;
            s.context = static_cast<bool>(c);
            s.data = d;
            s.on_gui = on_gui_thread();
            s.ran = true;
        },
        &data);
    ASSERT_TRUE(pump_until([&] { return s.ran.load(); }));
    EXPECT_EQ(s.page, FPage.GetIdentifier());
    EXPECT_TRUE(s.context);
    EXPECT_EQ(s.data, &data);
    EXPECT_FALSE(s.on_gui);

    WebBApp->SetCefSingleProcess(false);
    try {
        FView->RunInRenderProcess([](const ICefBrowser&, const ICefv8Context&, void*) {}, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"暂时只支持单进程模式");
    }
    WebBApp->SetCefSingleProcess(true);
}

TEST_F(JsExtentionTest, RunInRenderProcessWithoutAnActivePageDoesNothing) {
    TBrowserView empty(nullptr, &FSink, &FOptions);
    empty.SetParent(FForm);
    control().reset();
    bool ran = false;
    empty.RunInRenderProcess([&](const ICefBrowser&, const ICefv8Context&, void*) { ran = true; }, nullptr);
    pump_until([] { return false; }, 100);
    EXPECT_FALSE(ran);
    EXPECT_TRUE(control().calls("browser.send_process_message").empty());
}

// The form goes while a call waits for its reply: the call still ends, and nothing is touched afterwards.
TEST_F(JsExtentionTest, TheViewMayGoWhileACallWaits) {
    set_global(L"v", "string", L"value");
    auto& renderer = TWebBApp::RenderProcessHandler();
    renderer.js_extention_message = [](const ICefBrowser& b, const ICefProcessMessage& m) {
        ::Sleep(200);
        HandleJsExtentionMessage(b, m);
    };
    TWebBJsExtention& waiting = bridge();
    Queue([&] {
        delete FForm;
        FForm = nullptr;
        FView = nullptr;
    });
    const ICefBrowser page = FPage;
    EXPECT_EQ(waiting.GetAsString(page, u"v"), u"");
    EXPECT_EQ(FForm, nullptr);
    renderer.js_extention_message = &HandleJsExtentionMessage;
}

} // namespace
} // namespace kq
