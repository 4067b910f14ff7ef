#include <windows.h>

#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Menus.h"
#include "framework/Program.h"
#include "graphics/Raster.h"
#include "skin/Skin.h"

namespace kq {
namespace {

// The modules' start-up steps in link order; shutdown in reverse.
void start_modules() {
    forms_startup();
    menus_startup();
    graphics_startup();
    gdiplus_startup();
    skin_startup();
}

void stop_modules() {
    skin_shutdown();
    gdiplus_shutdown();
    graphics_shutdown();
    menus_shutdown();
    forms_shutdown();
}

} // namespace
} // namespace kq

// The installer window comes with the installer; until then the program starts its modules and ends.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int code = kq::run_program(kq::start_modules);
    code |= kq::run_program(kq::stop_modules);
    return code;
}
