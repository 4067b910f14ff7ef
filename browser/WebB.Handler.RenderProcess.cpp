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

void TWebBRenderProcessHandler::RenderThreadCreated(cef_list_value_t* extraInfo) {
    const ICefListValue info = ICefListValue::adopt(extraInfo);
    if (OnRenderThreadCreated) OnRenderThreadCreated(info);
}

void TWebBRenderProcessHandler::WebKitInitialized() {
    for (const TRegExtentionPar& entry : RegisteredExtentions()) {
        if (!entry.code.empty() || entry.Handler) WebBApp->CefRegisterExtension(entry.name, entry.code, entry.Handler);
    }
    if (OnWebKitInitialized) OnWebKitInitialized();
}

void TWebBRenderProcessHandler::BrowserCreated(cef_browser_t* browser) {
    const ICefBrowser b = ICefBrowser::adopt(browser);
    if (OnBrowserCreated) OnBrowserCreated(b);
}

void TWebBRenderProcessHandler::BrowserDestroyed(cef_browser_t* browser) {
    const ICefBrowser b = ICefBrowser::adopt(browser);
    if (OnBrowserDestroyed) OnBrowserDestroyed(b);
}

cef_load_handler_t* TWebBRenderProcessHandler::GetLoadHandler() { return nullptr; }

int TWebBRenderProcessHandler::BeforeNavigation(cef_browser_t* browser, cef_frame_t* frame, cef_request_t* request,
                                                cef_navigation_type_t, int) {
    // The references are the engine's gift and are released here; the navigation goes ahead.
    ICefBrowser::adopt(browser);
    ICefFrame::adopt(frame);
    engine_ref<cef_request_t>::adopt(request);
    return 0;
}

void TWebBRenderProcessHandler::ContextCreated(cef_browser_t* browser, cef_frame_t* frame, cef_v8context_t* context) {
    const ICefBrowser b = ICefBrowser::adopt(browser);
    const ICefFrame f = ICefFrame::adopt(frame);
    const ICefv8Context c = ICefv8Context::adopt(context);
    if (OnContextCreated) OnContextCreated(b, f, c);
}

void TWebBRenderProcessHandler::ContextReleased(cef_browser_t* browser, cef_frame_t* frame, cef_v8context_t* context) {
    const ICefBrowser b = ICefBrowser::adopt(browser);
    const ICefFrame f = ICefFrame::adopt(frame);
    const ICefv8Context c = ICefv8Context::adopt(context);
    if (OnContextReleased) OnContextReleased(b, f, c);
}

void TWebBRenderProcessHandler::UncaughtException(cef_browser_t* browser, cef_frame_t* frame, cef_v8context_t* context,
                                                  cef_v8exception_t* exception, cef_v8stack_trace_t* stackTrace) {
    const ICefBrowser b = ICefBrowser::adopt(browser);
    const ICefFrame f = ICefFrame::adopt(frame);
    const ICefv8Context c = ICefv8Context::adopt(context);
    const ICefV8Exception e = ICefV8Exception::adopt(exception);
    const auto trace = engine_ref<cef_v8stack_trace_t>::adopt(stackTrace);
    if (OnUncaughtException) OnUncaughtException(b, f, c, e, trace);
}

void TWebBRenderProcessHandler::FocusedNodeChanged(cef_browser_t* browser, cef_frame_t* frame, cef_domnode_t* node) {
    const ICefBrowser b = ICefBrowser::adopt(browser);
    const ICefFrame f = ICefFrame::adopt(frame);
    const auto n = engine_ref<cef_domnode_t>::adopt(node);
    if (OnFocusedNodeChanged) OnFocusedNodeChanged(b, f, n);
}

int TWebBRenderProcessHandler::ProcessMessageReceived(cef_browser_t* browser, cef_process_id_t sourceProcess,
                                                      cef_process_message_t* message) {
    const ICefBrowser b = ICefBrowser::adopt(browser);
    const ICefProcessMessage m = ICefProcessMessage::adopt(message);
    const String name = m ? m.GetName() : String();
    bool handled = false;
    if (name == torender_jsextention_message) {
        if (js_extention_message) js_extention_message(b, m);
        handled = true;
    } else if (name == runinrender_message) {
        if (run_in_render_message) run_in_render_message(b, m);
        handled = true;
    }
    if (OnProcessMessageReceived) OnProcessMessageReceived(b, sourceProcess, m, handled);
    return handled ? 1 : 0;
}

} // namespace kq
