// The raster library and the skin library, started once for the installer's tests: the skinned controls
// draw from the installer's image store, which this test program carries as the program does.
#include "graphics/Raster.h"
#include "installer/U_Main.h"
#include "skin/Skin.h"

#include <gtest/gtest.h>

namespace {

struct skin_environment : ::testing::Environment {
    void SetUp() override {
        kq::graphics_startup();
        kq::skin_startup();
        kq::u_main_startup();
    }
    void TearDown() override {
        kq::skin_shutdown();
        kq::graphics_shutdown();
    }
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new skin_environment);

} // namespace
