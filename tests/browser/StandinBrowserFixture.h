#pragma once

#include <gtest/gtest.h>

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Locker.h"
#include "engine/CefLibrary.h"
#include "tests/engine/StandinHarness.h"
#include "tests/framework/visual/VisualFixture.h"

namespace kq::test {

// A visual test with the browser framework running on the stand-in engine: its locks, its engine object
// and the engine started. Afterwards the engine is shut down and no engine object may be left; a derived
// fixture frees its windows first, and returns from its SetUp when this one failed.
class standin_browser_test : public visual_test {
protected:
    void SetUp() override {
        visual_test::SetUp();
        ASSERT_EQ(FControlLibrary.load(standin_path()), engine_load_status::loaded);
        control().reset();
        weblocker_startup();
        webbapp_startup();
        WebBApp->SetCefLibrary(standin_path());
        ASSERT_TRUE(WebBApp->Init());
    }
    void TearDown() override {
        webbapp_shutdown();
        weblocker_shutdown();
        EXPECT_EQ(control().live_total(), 0);
        EXPECT_EQ(control().live("over_released"), 0);
        EXPECT_EQ(TWebBHandler::live_clients(), 0);
        visual_test::TearDown();
    }

    standin_control control() const { return standin_control(FControlLibrary); }

    engine_library FControlLibrary;
};

} // namespace kq::test
