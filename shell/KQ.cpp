// The program block of KQ: the same executable is the browser and every sub-process of the engine.
#include <windows.h>

#include "browser/WebB.Cef.CefErr.h"
#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Core.WebBrowser.h"
#include "browser/WebB.Locker.h"
#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Menus.h"
#include "framework/Program.h"
#include "framework/TickClock.h"
#include "graphics/Raster.h"
#include "shell/U_Main.h"
#include "skin/Skin.h"

namespace kq {
namespace {

// How long a shutdown waits for the engine to report its pages closed.
constexpr std::uint32_t page_close_timeout_ms = 5000;

// Every engine process, the browser process included, runs without the GPU.
void BeforeCommandLineProcessing(const String&, const ICefCommandLine& command_line) {
    command_line.AppendSwitch(u"disable-gpu");
}

// Removes the files and empty folders directly inside the cache folder beside the executable. Whatever
// another process still holds, or a folder with contents or further attributes, stays; failures are ignored.
void ClearCacheFolder() {
    const String folder = Format(u"%s\\Cache\\", {ExtractFilePath(Application->ExeName())});
    if (!DirectoryExists(folder)) return;
    for (const folder_entry& entry : find_entries(folder + u"*.*")) {
        if (entry.Attr == FILE_ATTRIBUTE_DIRECTORY)
            remove_folder(folder + entry.Name);
        else
            delete_file(folder + entry.Name);
    }
}

// The engine must not shut down under open pages: each is closed through the engine, and messages are
// served (the engine's work runs on a timer of the loop) until the engine has let go of the last one.
void close_every_page(TF_Main* form) {
    form->CEFBrowser->CloseAllBrowser(false);
    delete form;
    const std::uint32_t start = tick_count();
    while (TWebBHandler::live_clients() > 0 && tick_count() - start < page_close_timeout_ms) {
        Application->ProcessMessages();
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void program_block() {
    ClearCacheFolder();
    WebBApp->SetCefSingleProcess(false);
    WebBApp->SetCefLibrary(u".\\Bin\\libcef.dll");
    WebBApp->SetCefLocale(u"zh-CN");
    WebBApp->SetCefCache(u".\\Cache\\");
    WebBApp->SetCefLocalesDirPath(u".\\Bin\\locales");
    WebBApp->SetOnBeforeCommandLineProcessing(BeforeCommandLineProcessing);
    // An engine sub-process has run to its end inside Init.
    if (!WebBApp->Init()) return;
    Application->Initialize();
    Application->SetTitle(u"Tessaro");
    Application->SetMainFormOnTaskBar(true);
    TF_Main* F_Main = nullptr;
    Application->CreateForm(F_Main);
    Application->Run();
    close_every_page(F_Main);
}

// The modules' start-up steps in link order; shutdown in reverse.
void start_modules() {
    forms_startup();
    menus_startup();
    webbapp_startup();
    graphics_startup();
    gdiplus_startup();
    skin_startup();
    weblocker_startup();
    cef_error_manager_startup();
    u_main_startup();
}

void stop_modules() {
    u_main_shutdown();
    cef_error_manager_shutdown();
    weblocker_shutdown();
    skin_shutdown();
    gdiplus_shutdown();
    graphics_shutdown();
    webbapp_shutdown();
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
