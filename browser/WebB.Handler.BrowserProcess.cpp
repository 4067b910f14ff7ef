#include "browser/WebB.Handler.BrowserProcess.h"

namespace kq {

TWebBBrowserProcessHandler::TWebBBrowserProcessHandler() {
    cef()->on_context_initialized = &engine_thunk<&TWebBBrowserProcessHandler::ContextInitialized>::call;
    cef()->on_before_child_process_launch = &engine_thunk<&TWebBBrowserProcessHandler::BeforeChildProcessLaunch>::call;
    cef()->on_render_process_thread_created =
        &engine_thunk<&TWebBBrowserProcessHandler::RenderProcessThreadCreated>::call;
    cef()->get_print_handler = &engine_thunk<&TWebBBrowserProcessHandler::GetPrintHandler>::call;
}

void TWebBBrowserProcessHandler::ContextInitialized() {
    if (OnContextInitialized) OnContextInitialized();
}

void TWebBBrowserProcessHandler::BeforeChildProcessLaunch(const ICefCommandLine& command_line) {
    if (OnBeforeChildProcessLaunch) OnBeforeChildProcessLaunch(command_line);
}

void TWebBBrowserProcessHandler::RenderProcessThreadCreated(const ICefListValue& extra_info) {
    if (OnRenderProcessThreadCreated) OnRenderProcessThreadCreated(extra_info);
}

// The engine prints with its own defaults.
cef_print_handler_t* TWebBBrowserProcessHandler::GetPrintHandler() { return nullptr; }

} // namespace kq
