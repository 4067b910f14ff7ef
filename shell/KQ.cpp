// The program block of KQ: the same executable is the browser and every sub-process of the engine.
#include <windows.h>

#include "browser/WebB.Cef.CefErr.h"
#include "browser/WebB.Core.App.h"
#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/Forms.h"
#include "framework/Program.h"

namespace kq {
namespace {

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
    // The main window and its message loop come with the shell's main window.
}

// The modules' start-up steps in link order; shutdown in reverse.
void start_modules() {
    forms_startup();
    webbapp_startup();
    cef_error_manager_startup();
}

void stop_modules() {
    cef_error_manager_shutdown();
    webbapp_shutdown();
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
