// The program block of TessaroSetup: its one window, until that window closes.
#include <windows.h>

#include "framework/ComObjects.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Menus.h"
#include "framework/Program.h"
#include "graphics/Raster.h"
#include "installer/U_Main.h"
#include "skin/Skin.h"

namespace kq {
namespace {

void program_block() {
    // The shortcut writer and the folder dialog need COM on the GUI thread.
    const com_thread com;
    Application->Initialize();
    TForm4* Form4 = nullptr;
    Application->CreateForm(Form4);
    Application->Run();
}

// The modules' start-up steps in link order; shutdown in reverse.
void start_modules() {
    forms_startup();
    menus_startup();
    graphics_startup();
    gdiplus_startup();
    skin_startup();
    u_main_startup();
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

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int code = kq::run_program([] {
        kq::start_modules();
        kq::program_block();
    });
    code |= kq::run_program(kq::stop_modules);
    return code;
}
