#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/CefLibrary.h"
#include "engine/EngineStrings.h"
#include "testengine/ControlExports.h"
#include "tests/HeapBytes.h"
#include "tests/TestProcess.h"
#include "tests/engine/StandinFixture.h"
#include "framework/Win32.h"

namespace kq {
namespace {

using test::event_log;
using test::page_style;
using test::plain_window_proc;
using test::recorded_call;
using test::StandinEngine;
using test::test_window;

std::vector<std::string> navigation(int id, const std::string& url, const std::string& title, const char* before,
                                    const char* after) {
    const std::string b = std::to_string(id);
    return {"loading " + b + " 1" + before, "load_start " + b + " main", "address " + b + " " + url,
            "title " + b + " " + title,    "load_end " + b + " 200",     "loading " + b + " 0" + after};
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

HWND host_window(const engine_ref<cef_browser_t>& b) {
    auto host = engine_ref<cef_browser_host_t>::adopt(b->get_host(b.get()));
    return host->get_window_handle(host.get());
}

TEST_F(StandinEngine, TwoBrowsersNavigateCloseAndShutDownWithoutLeaks) {
    using namespace std::string_literals;
    const auto set_title = control().function<decltype(&standin_set_title)>("standin_set_title");
    set_title(L"http://b.test/", L"页面 B");
    test_window window;
    start();
    pump();
    EXPECT_EQ(log_lines(), (std::vector<std::string>{"command_line type=", "context_initialized"}));
    FLog.clear();

    auto client = make_engine_object<test::test_client>(FLog);
    // First page: created synchronously with no address, then loaded, as a view creates its pages.
    engine_ref<cef_browser_t> first = create_sync(window.get(), {10, 20, 310, 220}, client);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->get_identifier(first.get()), 1);
    {
        auto frame = engine_ref<cef_frame_t>::adopt(first->get_main_frame(first.get()));
        const String url = u"http://a.test/";
        const cef_string_t u = cef_string_view(url);
        frame->load_url(frame.get(), &u);
    }
    // Second page: created by the engine's UI thread with its address.
    {
        cef_window_info_t info{};
        info.style = page_style;
        info.parent_window = window.get();
        info.width = 300;
        info.height = 200;
        const String url = u"http://b.test/";
        const cef_string_t u = cef_string_view(url);
        cef_browser_settings_t settings{};
        settings.size = sizeof settings;
        EXPECT_EQ(api().cef_browser_host_create_browser(&info, client.pass(), &u, &settings, nullptr), 1);
    }
    pump();
    EXPECT_EQ(log_lines(), concat({{"after_created 1"}, navigation(1, "http://a.test/", "http://a.test/", "00", "00"),
                                   {"after_created 2"}, navigation(2, "http://b.test/", "页面 B", "00", "00")}));

    // The page is a real child window of the given style and rectangle.
    const HWND page = host_window(first);
    ASSERT_TRUE(::IsWindow(page));
    EXPECT_EQ(::GetParent(page), window.get());
    EXPECT_EQ(static_cast<DWORD>(::GetWindowLongW(page, GWL_STYLE)) & page_style, page_style);
    RECT r;
    ::GetWindowRect(page, &r);
    ::MapWindowPoints(nullptr, window.get(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 310);
    EXPECT_EQ(r.bottom, 220);

    // Each page paints its own colour (with its address in the corner), so screenshots tell pages apart.
    const auto colour_of = [](HWND w) {
        HDC screen = ::GetDC(nullptr);
        HDC dc = ::CreateCompatibleDC(screen);
        HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 300, 200);
        HGDIOBJ old = ::SelectObject(dc, bitmap);
        ::SendMessageW(w, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        const COLORREF c = ::GetPixel(dc, 200, 150);
        ::SelectObject(dc, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(dc);
        ::ReleaseDC(nullptr, screen);
        return c;
    };
    const HWND second_page = ::GetWindow(page, GW_HWNDNEXT) ? ::GetWindow(page, GW_HWNDNEXT) : ::GetWindow(page, GW_HWNDPREV);
    ASSERT_TRUE(second_page);
    EXPECT_NE(colour_of(page), colour_of(second_page));
    EXPECT_NE(colour_of(page), RGB(0, 0, 0));

    // History: a second address, back, forward.
    FLog.clear();
    {
        auto frame = engine_ref<cef_frame_t>::adopt(first->get_main_frame(first.get()));
        const String url = u"http://c.test/";
        const cef_string_t u = cef_string_view(url);
        frame->load_url(frame.get(), &u);
        pump();
        EXPECT_EQ(take_userfree(frame->get_url(frame.get())), u"http://c.test/");
        EXPECT_TRUE(first->can_go_back(first.get()));
        first->go_back(first.get());
        pump();
        EXPECT_EQ(take_userfree(frame->get_url(frame.get())), u"http://a.test/");
        EXPECT_TRUE(first->can_go_forward(first.get()));
        EXPECT_FALSE(first->can_go_back(first.get()));
        first->go_forward(first.get());
        pump();
    }
    EXPECT_EQ(log_lines(), concat({navigation(1, "http://c.test/", "http://c.test/", "10", "10"),
                                   navigation(1, "http://a.test/", "http://a.test/", "01", "01"),
                                   navigation(1, "http://c.test/", "http://c.test/", "10", "10")}));

    // Closing: the first through the engine (the client lets it close), the second by destroying its window.
    FLog.clear();
    {
        auto host = engine_ref<cef_browser_host_t>::adopt(first->get_host(first.get()));
        host->close_browser(host.get(), 0);
    }
    pump();
    EXPECT_FALSE(::IsWindow(page));
    HWND second = ::GetWindow(window.get(), GW_CHILD);
    ASSERT_TRUE(second);
    ::DestroyWindow(second);
    pump();
    EXPECT_EQ(log_lines(), (std::vector<std::string>{"do_close 1", "before_close 1", "before_close 2"}));

    first.reset();
    client.reset();
    api().cef_shutdown();
    FStarted = false;

    std::vector<std::string> names;
    for (const recorded_call& c : control().calls()) {
        if (c.name.find('.') == std::string::npos || c.name.rfind("frame.", 0) == 0 ||
            c.name.rfind("host.", 0) == 0) {
            names.push_back(c.thread + " " + c.name);
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "other cef_execute_process", "ui cef_initialize", "ui command_line",
                         "ui cef_browser_host_create_browser_sync", "ui browser_created", "ui frame.load_url",
                         "ui cef_browser_host_create_browser", "ui browser_created", "ui frame.load_url",
                         "ui host.close_browser", "ui window_destroyed", "ui window_destroyed", "ui cef_shutdown"}));
    EXPECT_EQ(control().calls("cef_shutdown").at(0).detail, "browsers=0");
    EXPECT_NE(control().calls("cef_initialize").at(0).detail.find("cache_path=C:\\缓存"), std::string::npos);
    EXPECT_NE(control().calls("command_line").at(0).detail.find("--disable-gpu"), std::string::npos);
}

// What the status window received: the thread that handled it, the thread that sent it, the text.
struct status_delivery {
    DWORD handled_on;
    DWORD sent_from;
    String text;
};
std::vector<status_delivery> deliveries;

LRESULT CALLBACK status_window_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_APP) {
        deliveries.push_back({::GetCurrentThreadId(), static_cast<DWORD>(w), *reinterpret_cast<const String*>(l)});
        return 0;
    }
    return ::DefWindowProcW(h, m, w, l);
}

TEST_F(StandinEngine, InjectedCallbacksReachTheGuiThreadFromTheirThreads) {
    test_window window;
    ::SetWindowLongPtrW(window.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&status_window_proc));
    deliveries.clear();
    start();
    auto client = make_engine_object<test::test_client>(FLog);
    engine_impl<test::test_client>(client.get())->display().status_window = window.get();
    engine_ref<cef_browser_t> b = create_sync(window.get(), {0, 0, 200, 100}, client);
    pump();

    ASSERT_EQ(inject(1, "status", "io", L"from io"), 1);
    ASSERT_EQ(inject(1, "status", "ui", L"from ui"), 1);
    for (int i = 0; i < 500 && deliveries.size() < 2; ++i) {
        pump();
        ::Sleep(10);
    }
    const DWORD gui = ::GetCurrentThreadId();
    ASSERT_EQ(deliveries.size(), 2u);
    std::sort(deliveries.begin(), deliveries.end(), [](const auto& a, const auto& b) { return a.text < b.text; });
    EXPECT_EQ(deliveries[0].text, u"from io");
    EXPECT_EQ(deliveries[0].handled_on, gui);
    EXPECT_NE(deliveries[0].sent_from, gui); // SendMessageW from the IO thread
    EXPECT_EQ(deliveries[1].text, u"from ui");
    EXPECT_EQ(deliveries[1].handled_on, gui);
    EXPECT_EQ(deliveries[1].sent_from, gui); // a direct call on the GUI thread
    std::vector<std::string> threads;
    for (const recorded_call& c : control().calls("inject.status")) threads.push_back(c.thread);
    std::sort(threads.begin(), threads.end());
    EXPECT_EQ(threads, (std::vector<std::string>{"io", "ui"}));

    close_by_engine(b);
    b.reset();
    client.reset();
    ::SetWindowLongPtrW(window.get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&plain_window_proc));
}

TEST_F(StandinEngine, InjectedCallbacksRecordWhatTheClientDid) {
    struct row {
        const char* callback;
        const char* thread;
        const wchar_t* argument;
        std::vector<std::string> expected; // recorded calls after the injection: "name detail"
    };
    const row rows[] = {
        {"before_context_menu", "ui", L"||100|101|102", {"menu.remove 100", "inject.before_context_menu browser=1 items=2"}},
        {"before_context_menu", "ui", L"http://link.test/||100|101", {"inject.before_context_menu browser=1 items=2"}},
        {"jsdialog", "ui", L"1|http://o.test/|sure?|",
         {"jsdialog_callback.cont success=1 input=ok", "inject.jsdialog browser=1 result=1 suppress=0"}},
        {"auth", "io", L"0|proxy.test|8080|realm|basic",
         {"auth_callback.cont user=用户 password=pw", "inject.auth browser=1 result=1"}},
        {"quota", "io", L"http://o.test/|1024", {"inject.quota browser=1 result=0"}},
        {"protocol_execution", "ui", L"mailto:x@y.test", {"inject.protocol_execution browser=1 allow=0"}},
        {"load_error", "ui", L"-105|ERR_NAME_NOT_RESOLVED|http://x.test/", {"inject.load_error browser=1"}},
        {"tooltip", "ui", L"提示", {"inject.tooltip browser=1 result=0 text=提示"}},
        {"pre_key", "ui", L"2|0|123|0", {"inject.pre_key browser=1 no handler"}},
        {"before_download", "io", L"http://a.test/f.zip|f.zip", {"inject.before_download browser=1 no handler"}},
        {"popup", "io", L"http://popup.test/|5|6|120|80",
         {"inject.popup browser=1 result=0 style=56010000 parent=set rect=5,6,120,80", "browser_created browser=2"}},
    };
    test_window window;
    start();
    auto client = make_engine_object<test::test_client>(FLog);
    auto* c = engine_impl<test::test_client>(client.get());
    c->context_menu().removed_command = 100;
    c->life_span().popup_parent = window.get();
    engine_ref<cef_browser_t> b = create_sync(window.get(), {0, 0, 200, 100}, client);
    pump();

    for (const row& r : rows) {
        SCOPED_TRACE(r.callback);
        control().reset();
        ASSERT_EQ(inject(1, r.callback, r.thread, r.argument), 1);
        ASSERT_TRUE(pump_until_recorded(std::string("inject.") + r.callback));
        pump();
        std::vector<std::string> calls;
        for (const recorded_call& call : control().calls()) {
            if (call.name.find("callback.") != std::string::npos || call.name.rfind("menu.", 0) == 0 ||
                call.name.rfind("inject.", 0) == 0 || call.name == "browser_created") {
                calls.push_back(call.name + " " + call.detail);
            }
        }
        EXPECT_EQ(calls, r.expected);
    }
    const std::vector<std::string> lines = log_lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "load_error 1 -105 ERR_NAME_NOT_RESOLVED http://x.test/"),
              lines.end());
    // The popup became a page of its own, loading its address, in a child window at the requested place.
    ASSERT_TRUE(pump_until("address 2 http://popup.test/"));
    HWND popup = ::GetWindow(window.get(), GW_CHILD);
    RECT r{};
    for (; popup; popup = ::GetWindow(popup, GW_HWNDNEXT)) {
        ::GetWindowRect(popup, &r);
        ::MapWindowPoints(nullptr, window.get(), reinterpret_cast<POINT*>(&r), 2);
        if (r.left == 5) break;
    }
    ASSERT_TRUE(popup);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(r.right - r.left, 120);
    EXPECT_EQ(r.bottom - r.top, 80);
    EXPECT_EQ(inject(7, "status", "ui", L""), 0);
    EXPECT_EQ(inject(1, "no_such_callback", "ui", L""), 0);

    for (HWND page; (page = ::GetWindow(window.get(), GW_CHILD)) != nullptr;) ::DestroyWindow(page);
    pump();
    b.reset();
    client.reset();
}

TEST_F(StandinEngine, RendererAnswersAProcessMessageFromTheScriptTable) {
    control().function<decltype(&standin_set_global)>("standin_set_global")(L"greeting", "string", L"你好");
    test_window window;
    start();
    auto client = make_engine_object<test::test_client>(FLog);
    engine_ref<cef_browser_t> b = create_sync(window.get(), {0, 0, 200, 100}, client);
    load(b, u"http://a.test/");
    pump();
    ASSERT_TRUE(pump_until("renderer browser_created"));
    FLog.clear();

    const String name = u"ask";
    const cef_string_t n = cef_string_view(name);
    auto message = engine_ref<cef_process_message_t>::adopt(api().cef_process_message_create(&n));
    {
        auto args = engine_ref<cef_list_value_t>::adopt(message->get_argument_list(message.get()));
        const String variable = u"greeting";
        const cef_string_t v = cef_string_view(variable);
        args->set_string(args.get(), 0, &v);
    }
    EXPECT_EQ(b->send_process_message(b.get(), PID_RENDERER, message.pass()), 1);
    ASSERT_TRUE(pump_until("process_message 1"));
    EXPECT_EQ(renderer_lines(),
              std::vector<std::string>{"renderer process_message from browser on renderer: ask greeting"});
    EXPECT_EQ(log_lines(), std::vector<std::string>{"process_message 1 from renderer on ui: answer greeting 你好"});

    message.reset();
    close_by_engine(b);
    b.reset();
    client.reset();
}

// The bytes in use in the C runtime's heap, where the program's own blocks come from.
std::size_t c_runtime_heap_in_use() { return test::heap_bytes_in_use(reinterpret_cast<HANDLE>(_get_heap_handle())); }

// The objects the stand-in keeps after their release stay out of the program's heap: kept among its
// short-lived blocks, they split it into holes it cannot reuse, and a program using it for hours grows with
// its blocks in use flat.
TEST_F(StandinEngine, ObjectsKeptAfterTheirReleaseStayOutOfTheProgramsHeap) {
    const std::size_t before = c_runtime_heap_in_use();
    for (int i = 0; i < 500; ++i) engine_ref<cef_command_line_t>::adopt(api().cef_command_line_create()).reset();
    // Five hundred kept objects hold about 136 kB; the list of them a few.
    EXPECT_LT(c_runtime_heap_in_use(), before + 32 * 1024);
}

// Objects whose last reference goes on one thread while another thread makes objects, so the stand-in
// frees released ones meanwhile. A count reaches zero before the object's resources go; freed in between,
// the object's resources went twice and the freeing thread waited for the lock it held itself. Run in a
// child process, so a deadlock fails this test instead of hanging the run.
TEST(StandinObjects, ReleasingBesideMakingNeitherDeadlocksNorFreesEarly) {
    ASSERT_TRUE(::SetEnvironmentVariableW(L"KQ_STANDIN_RELEASE_RACE", L"1"));
    const unique_kernel_handle child =
        test::start_this_program(L"--gtest_filter=StandinEngine.ReleaseRaceInAChildProcess");
    ::SetEnvironmentVariableW(L"KQ_STANDIN_RELEASE_RACE", nullptr);
    ASSERT_TRUE(child);
    const bool ended = ::WaitForSingleObject(child.get(), 120000) == WAIT_OBJECT_0;
    if (!ended) ::TerminateProcess(child.get(), 3);
    ASSERT_TRUE(ended) << "the child deadlocked";
    DWORD code = 1;
    ::GetExitCodeProcess(child.get(), &code);
    EXPECT_EQ(code, 0u);
}

TEST_F(StandinEngine, ReleaseRaceInAChildProcess) {
    if (!::GetEnvironmentVariableW(L"KQ_STANDIN_RELEASE_RACE", nullptr, 0)) GTEST_SKIP() << "runs in a child";
    start();
    std::atomic<bool> stop{false};
    std::thread maker([&] {
        while (!stop) engine_ref<cef_request_t>::adopt(api().cef_request_create()).reset();
    });
    // Each request the stand-in answers holds a request of its own, dropped with the last reference.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    while (std::chrono::steady_clock::now() < end) {
        std::vector<engine_ref<cef_urlrequest_t>> requests;
        for (int i = 0; i < 300; ++i)
            requests.push_back(engine_ref<cef_urlrequest_t>::adopt(
                api().cef_urlrequest_create(api().cef_request_create(), nullptr, nullptr)));
        pump();
        requests.clear();
    }
    stop = true;
    maker.join();
    EXPECT_EQ(control().live("cef_request_t"), 0);
}

} // namespace
} // namespace kq
