#include "browser/WebB.Handler.RenderProcess.h"

#include "browser/WebB.Core.App.h"

namespace kq {

TWebBRenderProcessHandler::TWebBRenderProcessHandler() {
    using self = TWebBRenderProcessHandler;
    cef()->on_render_thread_created = &engine_thunk<&self::RenderThreadCreated>::call;
    cef()->on_web_kit_initialized = &engine_thunk<&self::WebKitInitialized>::call;
    cef()->on_browser_created = &engine_thunk<&self::BrowserCreated>::call;
    cef()->on_browser_destroyed = &engine_thunk<&self::BrowserDestroyed>::call;
    cef()->get_load_handler = &engine_thunk<&self::GetLoadHandler>::call;
    cef()->on_before_navigation = &engine_thunk<&self::BeforeNavigation>::call;
    cef()->on_context_created = &engine_thunk<&self::ContextCreated>::call;
    cef()->on_context_released = &engine_thunk<&self::ContextReleased>::call;
    cef()->on_uncaught_exception = &engine_thunk<&self::UncaughtException>::call;
    cef()->on_focused_node_changed = &engine_thunk<&self::FocusedNodeChanged>::call;
    cef()->on_process_message_received = &engine_thunk<&self::ProcessMessageReceived>::call;
}

void TWebBRenderProcessHandler::RenderThreadCreated(const ICefListValue& extraInfo) {
    if (OnRenderThreadCreated) OnRenderThreadCreated(extraInfo);
}

void TWebBRenderProcessHandler::WebKitInitialized() {
    for (const TRegExtentionPar& entry : RegisteredExtentions()) {
        if (!entry.code.empty() || entry.Handler) WebBApp->CefRegisterExtension(entry.name, entry.code, entry.Handler);
    }
    if (OnWebKitInitialized) OnWebKitInitialized();
}

void TWebBRenderProcessHandler::BrowserCreated(const ICefBrowser& browser) {
    if (OnBrowserCreated) OnBrowserCreated(browser);
}

void TWebBRenderProcessHandler::BrowserDestroyed(const ICefBrowser& browser) {
    if (OnBrowserDestroyed) OnBrowserDestroyed(browser);
}

cef_load_handler_t* TWebBRenderProcessHandler::GetLoadHandler() { return nullptr; }

// Every navigation goes ahead.
int TWebBRenderProcessHandler::BeforeNavigation(const ICefBrowser&, const ICefFrame&, const engine_ref<cef_request_t>&,
                                                cef_navigation_type_t, int) {
    return 0;
}

void TWebBRenderProcessHandler::ContextCreated(const ICefBrowser& browser, const ICefFrame& frame,
                                               const ICefv8Context& context) {
    if (OnContextCreated) OnContextCreated(browser, frame, context);
}

void TWebBRenderProcessHandler::ContextReleased(const ICefBrowser& browser, const ICefFrame& frame,
                                                const ICefv8Context& context) {
    if (OnContextReleased) OnContextReleased(browser, frame, context);
}

void TWebBRenderProcessHandler::UncaughtException(const ICefBrowser& browser, const ICefFrame& frame,
                                                  const ICefv8Context& context, const ICefV8Exception& exception,
                                                  const engine_ref<cef_v8stack_trace_t>& stackTrace) {
    if (OnUncaughtException) OnUncaughtException(browser, frame, context, exception, stackTrace);
}

void TWebBRenderProcessHandler::FocusedNodeChanged(const ICefBrowser& browser, const ICefFrame& frame,
                                                   const engine_ref<cef_domnode_t>& node) {
    if (OnFocusedNodeChanged) OnFocusedNodeChanged(browser, frame, node);
}

int TWebBRenderProcessHandler::ProcessMessageReceived(const ICefBrowser& browser, cef_process_id_t sourceProcess,
                                                      const ICefProcessMessage& message) {
    const String name = message ? message.GetName() : String();
    bool handled = false;
    if (name == torender_jsextention_message) {
        if (js_extention_message) js_extention_message(browser, message);
        handled = true;
    } else if (name == runinrender_message) {
        if (run_in_render_message) run_in_render_message(browser, message);
        handled = true;
    }
    if (OnProcessMessageReceived) OnProcessMessageReceived(browser, sourceProcess, message, handled);
    return handled ? 1 : 0;
}

} // namespace kq
