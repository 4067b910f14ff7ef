#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "framework/Win32.h"

#include "engine/CefInterfaces.h"
#include "engine/EngineRef.h"
#include "engine/cef_capi.h"
#include "framework/Strings.h"

// Event types of the engine application and its process handlers. Each is raised on the engine thread
// that makes the callback; "var" parameters are references the handler may change.
namespace kq {

// --- Application callbacks
using TOnBeforeCommandLineProcessing = std::function<void(const String& processType, const ICefCommandLine& commandLine)>;
using TOnRegisterCustomSchemes = std::function<void(const engine_ref<cef_scheme_registrar_t>& registrar)>;

// --- Resource bundle
// Cancel set to true means the handler supplied the answer.
using TOnGetDataResource = std::function<void(int resourceId, void*& data, std::size_t& dataSize, bool& Cancel)>;
using TOnGetLocalizedString = std::function<void(int messageId, String& stringVal, bool& Cancel)>;
// The size is a reference so that a handler supplying data for a scale can report its size too.
using TOnGetDataResourceForScale =
    std::function<void(int resourceId, cef_scale_factor_t scaleFactor, void*& data, std::size_t& dataSize, bool& Cancel)>;

// --- Browser process
using TOnContextInitialized = std::function<void()>;
using TOnBeforeChildProcessLaunch = std::function<void(const ICefCommandLine& commandLine)>;
using TOnRenderProcessThreadCreated = std::function<void(const ICefListValue& extraInfo)>;

// --- Render process
using TOnRenderThreadCreated = std::function<void(const ICefListValue& extraInfo)>;
using TOnWebKitInitialized = std::function<void()>;
using TOnBrowserCreated = std::function<void(const ICefBrowser& browser)>;
using TOnBrowserDestroyed = std::function<void(const ICefBrowser& browser)>;
using TOnBeforeNavigation =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_request_t>& request,
                       cef_navigation_type_t navigationType, bool isRedirect, bool& Cancel)>;
using TOnContextCreated =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context)>;
using TOnContextReleased =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context)>;
using TOnUncaughtException =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context,
                       const ICefV8Exception& exception, const engine_ref<cef_v8stack_trace_t>& stackTrace)>;
using TOnFocusedNodeChanged =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_domnode_t>& node)>;
using TOnProcessMessageReceived = std::function<void(const ICefBrowser& browser, cef_process_id_t sourceProcess,
                                                     const ICefProcessMessage& message, bool& Cancel)>;

// --- The browser component's event sink

enum class TBrowserDataChangeKind { BrowserDataChange_StatusMessage, BrowserDataChange_Address, BrowserDataChange_Title };
using enum TBrowserDataChangeKind;
// Closed by the program, or by the engine (a page's script).
enum class TCloseBrowserType { CLOSETYPE_DEFAULT, CLOSETYPE_JS };
using enum TCloseBrowserType;

// Through it the handler set and the view raise the component's events: one operation per event, each
// raising it when a handler is assigned. Operations marked "engine" run on the engine thread that made
// the callback, the others on the GUI thread. Every operation does nothing here, so a sink overrides only
// what it raises. Not counted: the component owns itself.
class IWebBrowser {
public:
    virtual void FillBrowserSettings(cef_browser_settings_t& settings) = 0;
    virtual void ShowDevTools(const ICefBrowser&) {}
    virtual void CloseDevTools(const ICefBrowser&) {}

    virtual void OnLoadingStateChange(const ICefBrowser&, bool /*isLoading*/, bool /*canGoBack*/, bool /*canGoForward*/) {}
    virtual void OnStateChange(const ICefBrowser&, TBrowserDataChangeKind, const String& /*Value*/) {}
    virtual void OnFavIconChange(const ICefBrowser&, const String& /*favUrl*/, HICON) {}
    virtual void OnFullScreenModeChange(const ICefBrowser&, bool) {}
    virtual void OnAddBrowser(const ICefBrowser&) {}
    virtual void OnCloseBrowser(const std::vector<int>& /*CloseBrowserIdArr*/, int /*ShowBrowserId*/) {}
    virtual void OnBeforeCloseBrowser(const std::vector<int>& /*CloseBrowserIdArr*/, TCloseBrowserType,
                                      int& /*ShowBrowserId*/) {}
    virtual void OnLoadStart(const ICefBrowser&, const ICefFrame&) {}
    virtual void OnLoadEnd(const ICefBrowser&, const ICefFrame&, int /*httpStatusCode*/) {}
    virtual void OnLoadError(const ICefBrowser&, const ICefFrame&, int /*errorCode*/, const String& /*errorText*/,
                             const String& /*failedUrl*/, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnBeforeBrowse(const ICefBrowser&, const ICefFrame&, const ICefRequest&, bool /*isRedirect*/,
                                bool& /*Cancel*/) {}
    // engine
    virtual void OnOpenUrlFromTab(const ICefBrowser&, const ICefFrame&, const String& /*targetUrl*/,
                                  cef_window_open_disposition_t, bool /*userGesture*/, bool& /*Cancel*/) {}
    // engine
    virtual void OnPreKeyEvent(const ICefBrowser&, const cef_key_event_t&, const MSG*, bool& /*isKeyboardShortcut*/,
                               bool& /*Cancel*/, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnKeyEvent(const ICefBrowser&, const cef_key_event_t&, const MSG*, bool& /*Cancel*/) {}
    // engine; Result starts as continue.
    virtual void OnBeforeResourceLoad(const ICefBrowser&, const ICefFrame&, const ICefRequest&,
                                      const ICefRequestCallback&, cef_return_value_t& /*Result*/) {}
    // engine
    virtual void OnGetResourceHandler(const ICefBrowser&, const ICefFrame&, const ICefRequest&,
                                      engine_ref<cef_resource_handler_t>& /*ResourceHandler*/) {}
    // engine
    virtual void OnResourceRedirect(const ICefBrowser&, const ICefFrame&, const ICefRequest&, String& /*newUrl*/) {}
    // engine
    virtual void OnResourceResponse(const ICefBrowser&, const ICefFrame&, const ICefRequest&,
                                    const engine_ref<cef_response_t>&, bool& /*Result*/) {}
    // engine
    virtual void OnGetResourceResponseFilter(const ICefBrowser&, const ICefFrame&, const ICefRequest&,
                                             const engine_ref<cef_response_t>&,
                                             engine_ref<cef_response_filter_t>& /*Result*/) {}
    // engine
    virtual void OnResourceLoadComplete(const ICefBrowser&, const ICefFrame&, const ICefRequest&,
                                        const engine_ref<cef_response_t>&, cef_urlrequest_status_t,
                                        int64_t /*receivedContentLength*/) {}
    virtual void OnGotFocus(const ICefBrowser&, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnSetFocus(const ICefBrowser&, cef_focus_source_t, bool& /*Cancel*/, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnTakeFocus(const ICefBrowser&, bool /*next*/) {}
    // engine
    virtual void OnBeforeContextMenu(const ICefBrowser&, const ICefFrame&, const ICefContextMenuParams&,
                                     const ICefMenuModel&) {}
    virtual void OnContextMenuCommand(const ICefBrowser&, const ICefFrame&, const ICefContextMenuParams&,
                                      int /*commandId*/, cef_event_flags_t, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnContextMenuDismissed(const ICefBrowser&, const ICefFrame&) {}
    virtual void OnJsdialog(const ICefBrowser&, const String& /*originUrl*/, cef_jsdialog_type_t,
                            const String& /*messageText*/, const String& /*defaultPromptText*/,
                            const ICefJsDialogCallback&, bool& /*suppressMessage*/, bool& /*Cancel*/,
                            bool& /*CancelDefaultEvent*/) {}
    virtual void OnBeforeUnloadDialog(const ICefBrowser&, const String& /*messageText*/, bool /*isReload*/,
                                      const ICefJsDialogCallback&, bool& /*Cancel*/, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnDialogClosed(const ICefBrowser&) {}
    virtual void OnBeforeDownload(const ICefBrowser&, const ICefDownloadItem&, const String& /*suggestedName*/,
                                  const ICefBeforeDownloadCallback&, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnDownloadUpdated(const ICefBrowser&, const ICefDownloadItem&,
                                   const engine_ref<cef_download_item_callback_t>&) {}
    virtual void OnGetAuthCredentials(const ICefBrowser&, const ICefFrame&, bool /*isProxy*/, const String& /*host*/,
                                      int /*port*/, const String& /*realm*/, const String& /*scheme*/,
                                      const ICefAuthCallback&, bool& /*CancelDefaultEvent*/) {}
    virtual void OnConsoleMessage(const ICefBrowser&, const String& /*message*/, const String& /*source*/,
                                  int /*line*/, bool& /*Cancel*/) {}
    // engine
    virtual void OnProtocolExecution(const ICefBrowser&, const String& /*url*/, bool& /*allowOsExecution*/) {}
    // engine
    virtual void OnCertificateError(const ICefBrowser&, cef_errorcode_t, const String& /*requestUrl*/,
                                    const engine_ref<cef_sslinfo_t>&, const ICefRequestCallback&, bool& /*Cancel*/) {}
    virtual void OnFileDialog(const ICefBrowser&, cef_file_dialog_mode_t, const String& /*title*/,
                              const String& /*defaultFilePath*/, const std::vector<String>& /*acceptFilters*/,
                              int /*selectedAcceptFilter*/, const engine_ref<cef_file_dialog_callback_t>&,
                              bool& /*Cancel*/) {}
    // engine
    virtual void OnPluginCrashed(const ICefBrowser&, const String& /*pluginPath*/) {}
    // engine
    virtual void OnRequestGeolocationPermission(const ICefBrowser&, const String& /*requestingUrl*/, int /*requestId*/,
                                                const engine_ref<cef_geolocation_callback_t>&, bool& /*Cancel*/) {}
    // engine
    virtual void OnCancelGeolocationPermission(const ICefBrowser&, int /*requestId*/) {}
    // engine
    virtual void OnQuotaRequest(const ICefBrowser&, const String& /*originUrl*/, int64_t /*newSize*/,
                                const ICefRequestCallback&, bool& /*Cancel*/) {}
    // engine
    virtual void OnDragEnter(const ICefBrowser&, const engine_ref<cef_drag_data_t>&, cef_drag_operations_mask_t,
                             bool& /*Cancel*/) {}
    // engine
    virtual void OnDraggableRegionsChanged(const ICefBrowser&, size_t /*regionsCount*/,
                                           const cef_draggable_region_t* /*regions*/) {}
    // engine
    virtual void OnFindResult(const ICefBrowser&, int /*identifier*/, int /*count*/, const cef_rect_t&,
                              int /*activeMatchOrdinal*/, bool /*finalUpdate*/) {}
    virtual void OnTooltip(const ICefBrowser&, String& /*text*/, bool& /*Cancel*/) {}
    // engine
    virtual void OnResetDialogState(const ICefBrowser&) {}
    // engine
    virtual void OnRenderProcessTerminated(const ICefBrowser&, cef_termination_status_t) {}
    // The popup's window, client and settings are the engine's, written through.
    virtual void OnBeforePopup(const ICefBrowser&, const ICefFrame&, const String& /*targetUrl*/,
                               const String& /*targetFrameName*/, cef_window_open_disposition_t, bool /*userGesture*/,
                               const cef_popup_features_t&, cef_window_info_t&, cef_client_t**& /*client*/,
                               cef_browser_settings_t&, bool& /*noJavascriptAccess*/, bool& /*Cancel*/,
                               bool& /*CancelDefaultEvent*/) {}

protected:
    ~IWebBrowser() = default;
};

} // namespace kq
