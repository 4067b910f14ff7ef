#pragma once
// The render-process events and the script bridge's messages.
#include <functional>

#include "browser/WebB.Events.h"
#include "engine/EngineObject.h"

namespace kq {

// The engine's render-process events, raised on the renderer's main thread. Also dispatches the script
// bridge's messages and registers the script extensions when the script engine starts.
class TWebBRenderProcessHandler : public engine_object<cef_render_process_handler_t> {
public:
    TWebBRenderProcessHandler();

    TOnRenderThreadCreated OnRenderThreadCreated;
    TOnWebKitInitialized OnWebKitInitialized;
    TOnBrowserCreated OnBrowserCreated;
    TOnBrowserDestroyed OnBrowserDestroyed;
    // Kept for the application; navigations always go ahead and this is not raised.
    TOnBeforeNavigation OnBeforeNavigation;
    TOnContextCreated OnContextCreated;
    TOnContextReleased OnContextReleased;
    TOnUncaughtException OnUncaughtException;
    TOnFocusedNodeChanged OnFocusedNodeChanged;
    TOnProcessMessageReceived OnProcessMessageReceived;

    // The script bridge's render half: HandleJsExtentionMessage and HandleRunInRenderMessage unless
    // replaced. A bridge message counts as handled even when its half is not set.
    using bridge_message = std::function<void(const ICefBrowser& browser, const ICefProcessMessage& message)>;
    bridge_message js_extention_message;
    bridge_message run_in_render_message;

private:
    void RenderThreadCreated(const ICefListValue& extra_info);
    void WebKitInitialized();
    void BrowserCreated(const ICefBrowser& browser);
    void BrowserDestroyed(const ICefBrowser& browser);
    cef_load_handler_t* GetLoadHandler();
    int BeforeNavigation(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_request_t>& request,
                         cef_navigation_type_t navigationType, int isRedirect);
    void ContextCreated(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context);
    void ContextReleased(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context);
    void UncaughtException(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context,
                           const ICefV8Exception& exception, const engine_ref<cef_v8stack_trace_t>& stackTrace);
    void FocusedNodeChanged(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_domnode_t>& node);
    int ProcessMessageReceived(const ICefBrowser& browser, cef_process_id_t source_process,
                               const ICefProcessMessage& message);
};

// The names of the script bridge's messages to the renderer, and of its replies.
inline constexpr char16_t torender_jsextention_message[] = u"@webbrowser_torender_jsextention";
inline constexpr char16_t runinrender_message[] = u"@webbrowser_runinrender";
inline constexpr char16_t tobrowser_jsextention_message[] = u"@webbrowser_tobrowser_jsextention";

// The script bridge's render half, on the renderer's main thread: does one request in the page's main
// frame and always answers operations 0 to 3, also when there is no script context.
void HandleJsExtentionMessage(const ICefBrowser& browser, const ICefProcessMessage& message);
// Runs the closure the message refers to with the page's main-frame script context, then releases the
// references the sender handed over.
void HandleRunInRenderMessage(const ICefBrowser& browser, const ICefProcessMessage& message);

} // namespace kq
