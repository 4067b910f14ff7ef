#pragma once
// engine_test, the browser tests' fixture: the browser framework started on the stand-in engine.
#include <gtest/gtest.h>

#include <atomic>

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Locker.h"
#include "framework/Forms.h"
#include "tests/engine/StandinHarness.h"
#include "testengine/ControlExports.h"
#include "tests/framework/visual/VisualFixture.h"

namespace kq::test {

// WM_CLOSE reaching the application's window, counted instead of handled.
inline std::atomic<int> application_closes{0};
inline WNDPROC application_proc = nullptr;
inline LRESULT CALLBACK counting_proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_CLOSE) {
        ++application_closes;
        return 0;
    }
    return ::CallWindowProcW(application_proc, h, m, w, l);
}

// The browser framework started on the stand-in engine for one test; afterwards the engine is shut
// down and nothing of it may be left.
class engine_test : public visual_test {
protected:
    void SetUp() override {
        visual_test::SetUp();
        ASSERT_EQ(FControlLibrary.load(standin_path()), engine_load_status::loaded);
        control().reset();
        weblocker_startup();
        webbapp_startup();
        WebBApp->SetCefLibrary(standin_path());
        ASSERT_TRUE(WebBApp->Init());
        application_closes = 0;
        application_proc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            Application->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&counting_proc)));
    }
    void TearDown() override {
        pump_for(50);
        webbapp_shutdown();
        weblocker_shutdown();
        EXPECT_EQ(control().live_total(), 0);
        EXPECT_EQ(control().live("over_released"), 0);
        EXPECT_EQ(TWebBHandler::live_clients(), 0);
        ::SetWindowLongPtrW(Application->Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(application_proc));
        visual_test::TearDown();
    }

    standin_control control() const { return standin_control(FControlLibrary); }
    // Serves the engine (through the message-loop timer) and the windows.
    static void pump_for(int milliseconds) { pump_until([] { return false; }, milliseconds); }
    int inject(int browser, const char* callback, const char* thread, const wchar_t* argument) const {
        return control().function<decltype(&standin_inject)>("standin_inject")(browser, callback, thread, argument);
    }

    engine_library FControlLibrary;
};

} // namespace kq::test
