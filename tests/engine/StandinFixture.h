#pragma once
// The engine tests' fixture over the stand-in engine library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/CefLibrary.h"
#include "engine/EngineObject.h"
#include "engine/EngineStrings.h"
#include "framework/Win32.h"
#include "testengine/ControlExports.h"
#include "tests/engine/StandinHarness.h"
#include "tests/engine/TestClient.h"

namespace kq::test {

inline constexpr DWORD page_style = 0x56010000; // child, visible, clipping siblings and children, tab stop

inline LRESULT CALLBACK plain_window_proc(HWND h, UINT m, WPARAM w, LPARAM l) { return ::DefWindowProcW(h, m, w, l); }

// A top-level window to parent the pages.
class test_window {
public:
    test_window() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &plain_window_proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"EngineTestWindow";
        ::RegisterClassW(&wc);
        FWindow = ::CreateWindowExW(0, L"EngineTestWindow", L"engine test", WS_OVERLAPPEDWINDOW, 0, 0,
                                    640, 480, nullptr, nullptr, wc.hInstance, nullptr);
    }
    test_window(const test_window&) = delete;
    test_window& operator=(const test_window&) = delete;
    ~test_window() { ::DestroyWindow(FWindow); }
    HWND get() const { return FWindow; }

private:
    HWND FWindow;
};

// The stand-in loaded and started as the program starts the engine; stopped and checked for leaks at the end.
class StandinEngine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FLibrary.load(test::standin_path()), engine_load_status::loaded);
        control().reset();
        ASSERT_EQ(control().live_total(), 0);
    }
    void TearDown() override {
        if (FStarted) api().cef_shutdown();
        EXPECT_EQ(control().live_total(), 0);
        EXPECT_EQ(control().live("over_released"), 0);
    }

    const cef_exports& api() const { return FLibrary.exports(); }
    test::standin_control control() const { return test::standin_control(FLibrary); }

    void start(bool single_process = true) {
        const cef_main_args_t args{::GetModuleHandleW(nullptr)};
        auto app = make_engine_object<test::test_app>(FLog);
        ASSERT_EQ(api().cef_execute_process(&args, app.pass(), nullptr), -1);
        cef_settings_t settings{};
        settings.size = sizeof settings;
        settings.single_process = single_process ? 1 : 0;
        const String cache = u"C:\\缓存";
        settings.cache_path = cef_string_view(cache);
        ASSERT_EQ(api().cef_initialize(&args, &settings, app.pass(), nullptr), 1);
        FStarted = true;
    }

    // Runs the engine's UI work and the window messages until both are idle.
    void pump() {
        for (int i = 0; i < 5; ++i) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            api().cef_do_message_loop_work();
        }
    }

    engine_ref<cef_browser_t> create_sync(HWND parent, RECT r, engine_ref<cef_client_t> client) {
        cef_window_info_t info{};
        info.style = page_style;
        info.parent_window = parent;
        info.x = r.left;
        info.y = r.top;
        info.width = r.right - r.left;
        info.height = r.bottom - r.top;
        cef_browser_settings_t settings{};
        settings.size = sizeof settings;
        const cef_string_t empty{};
        return engine_ref<cef_browser_t>::adopt(
            api().cef_browser_host_create_browser_sync(&info, client.pass(), &empty, &settings, nullptr));
    }

    // The client's log without the renderer's lines, which arrive from their own thread.
    std::vector<std::string> log_lines() {
        std::vector<std::string> lines = FLog.lines();
        std::erase_if(lines, [](const std::string& l) { return l.rfind("renderer ", 0) == 0; });
        return lines;
    }
    std::vector<std::string> renderer_lines() {
        std::vector<std::string> lines = FLog.lines();
        std::erase_if(lines, [](const std::string& l) { return l.rfind("renderer ", 0) != 0; });
        return lines;
    }

    // Pumps until the log has a line that starts with `prefix` (at most five seconds).
    bool pump_until(const std::string& prefix) {
        for (int i = 0; i < 500; ++i) {
            pump();
            for (const std::string& l : FLog.lines()) {
                if (l.rfind(prefix, 0) == 0) return true;
            }
            ::Sleep(10);
        }
        return false;
    }

    // Pumps until the stand-in has recorded a call of this name (at most five seconds).
    bool pump_until_recorded(const std::string& name) {
        for (int i = 0; i < 500; ++i) {
            pump();
            if (!control().calls(name).empty()) return true;
            ::Sleep(10);
        }
        return false;
    }

    int inject(int browser, const char* callback, const char* thread, const wchar_t* argument) {
        return control().function<decltype(&standin_inject)>("standin_inject")(browser, callback, thread, argument);
    }

    void close_by_engine(const engine_ref<cef_browser_t>& b) {
        auto host = engine_ref<cef_browser_host_t>::adopt(b->get_host(b.get()));
        host->close_browser(host.get(), 1);
        pump();
    }

    void load(const engine_ref<cef_browser_t>& b, const String& url) {
        auto frame = engine_ref<cef_frame_t>::adopt(b->get_main_frame(b.get()));
        const cef_string_t u = cef_string_view(url);
        frame->load_url(frame.get(), &u);
    }

    engine_library FLibrary;
    event_log FLog;
    bool FStarted = false;
};

} // namespace kq::test
