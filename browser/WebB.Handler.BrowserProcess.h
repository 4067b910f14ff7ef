#pragma once
// The browser-process events.
#include "browser/WebB.Events.h"
#include "engine/EngineObject.h"

namespace kq {

// The engine's browser-process events. OnContextInitialized comes on the GUI thread; the other two on
// whichever engine thread launches the child process.
class TWebBBrowserProcessHandler : public engine_object<cef_browser_process_handler_t> {
public:
    TWebBBrowserProcessHandler();

    TOnBeforeChildProcessLaunch OnBeforeChildProcessLaunch;
    TOnRenderProcessThreadCreated OnRenderProcessThreadCreated;
    TOnContextInitialized OnContextInitialized;

private:
    void ContextInitialized();
    void BeforeChildProcessLaunch(const ICefCommandLine& command_line);
    void RenderProcessThreadCreated(const ICefListValue& extra_info);
    cef_print_handler_t* GetPrintHandler();
};

} // namespace kq
