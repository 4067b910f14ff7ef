#pragma once
// The event types of the engine application and handlers.
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
using TOnBeforeCommandLineProcessing =
    std::function<void(const String& process_type, const ICefCommandLine& command_line)>;
using TOnRegisterCustomSchemes = std::function<void(const engine_ref<cef_scheme_registrar_t>& registrar)>;

// --- Resource bundle
// Cancel set to true means the handler supplied the answer.
using TOnGetDataResource = std::function<void(int resource_id, void*& data, std::size_t& data_size, bool& Cancel)>;
using TOnGetLocalizedString = std::function<void(int message_id, String& string_val, bool& Cancel)>;
// The size is a reference so that a handler supplying data for a scale can report its size too.
using TOnGetDataResourceForScale =
    std::function<void(int resource_id, cef_scale_factor_t scale_factor, void*& data, std::size_t& data_size,
                       bool& Cancel)>;

// --- Browser process
using TOnContextInitialized = std::function<void()>;
using TOnBeforeChildProcessLaunch = std::function<void(const ICefCommandLine& command_line)>;
using TOnRenderProcessThreadCreated = std::function<void(const ICefListValue& extra_info)>;

// --- Render process
using TOnRenderThreadCreated = std::function<void(const ICefListValue& extra_info)>;
using TOnWebKitInitialized = std::function<void()>;
using TOnBrowserCreated = std::function<void(const ICefBrowser& browser)>;
using TOnBrowserDestroyed = std::function<void(const ICefBrowser& browser)>;
using TOnBeforeNavigation =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_request_t>& request,
                       cef_navigation_type_t navigation_type, bool is_redirect, bool& Cancel)>;
using TOnContextCreated =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context)>;
using TOnContextReleased =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context)>;
using TOnUncaughtException =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context,
                       const ICefV8Exception& exception, const engine_ref<cef_v8stack_trace_t>& stack_trace)>;
using TOnFocusedNodeChanged =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_domnode_t>& node)>;
using TOnProcessMessageReceived = std::function<void(const ICefBrowser& browser, cef_process_id_t source_process,
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

    virtual void OnLoadingStateChange(const ICefBrowser&, bool /*is_loading*/, bool /*can_go_back*/,
                                      bool /*can_go_forward*/) {}
    virtual void OnStateChange(const ICefBrowser&, TBrowserDataChangeKind, const String& /*Value*/) {}
    virtual void OnFavIconChange(const ICefBrowser&, const String& /*fav_url*/, HICON) {}
    virtual void OnFullScreenModeChange(const ICefBrowser&, bool) {}
    virtual void OnAddBrowser(const ICefBrowser&) {}
    virtual void OnCloseBrowser(const std::vector<int>& /*CloseBrowserIdArr*/, int /*ShowBrowserId*/) {}
    virtual void OnBeforeCloseBrowser(const std::vector<int>& /*CloseBrowserIdArr*/, TCloseBrowserType,
                                      int& /*ShowBrowserId*/) {}
    virtual void OnLoadStart(const ICefBrowser&, const ICefFrame&) {}
    virtual void OnLoadEnd(const ICefBrowser&, const ICefFrame&, int /*http_status_code*/) {}
    virtual void OnLoadError(const ICefBrowser&, const ICefFrame&, int /*error_code*/, const String& /*error_text*/,
                             const String& /*failed_url*/, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnBeforeBrowse(const ICefBrowser&, const ICefFrame&, const ICefRequest&, bool /*is_redirect*/,
                                bool& /*Cancel*/) {}
    // engine
    virtual void OnOpenUrlFromTab(const ICefBrowser&, const ICefFrame&, const String& /*target_url*/,
                                  cef_window_open_disposition_t, bool /*user_gesture*/, bool& /*Cancel*/) {}
    // engine
    virtual void OnPreKeyEvent(const ICefBrowser&, const cef_key_event_t&, const MSG*, bool& /*is_keyboard_shortcut*/,
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
    virtual void OnResourceRedirect(const ICefBrowser&, const ICefFrame&, const ICefRequest&, String& /*new_url*/) {}
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
                                        int64_t /*received_content_length*/) {}
    virtual void OnGotFocus(const ICefBrowser&, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnSetFocus(const ICefBrowser&, cef_focus_source_t, bool& /*Cancel*/, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnTakeFocus(const ICefBrowser&, bool /*next*/) {}
    // engine
    virtual void OnBeforeContextMenu(const ICefBrowser&, const ICefFrame&, const ICefContextMenuParams&,
                                     const ICefMenuModel&) {}
    virtual void OnContextMenuCommand(const ICefBrowser&, const ICefFrame&, const ICefContextMenuParams&,
                                      int /*command_id*/, cef_event_flags_t, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnContextMenuDismissed(const ICefBrowser&, const ICefFrame&) {}
    virtual void OnJsdialog(const ICefBrowser&, const String& /*origin_url*/, cef_jsdialog_type_t,
                            const String& /*message_text*/, const String& /*default_prompt_text*/,
                            const ICefJsDialogCallback&, bool& /*suppress_message*/, bool& /*Cancel*/,
                            bool& /*CancelDefaultEvent*/) {}
    virtual void OnBeforeUnloadDialog(const ICefBrowser&, const String& /*message_text*/, bool /*is_reload*/,
                                      const ICefJsDialogCallback&, bool& /*Cancel*/, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnDialogClosed(const ICefBrowser&) {}
    virtual void OnBeforeDownload(const ICefBrowser&, const ICefDownloadItem&, const String& /*suggested_name*/,
                                  const ICefBeforeDownloadCallback&, bool& /*CancelDefaultEvent*/) {}
    // engine
    virtual void OnDownloadUpdated(const ICefBrowser&, const ICefDownloadItem&,
                                   const engine_ref<cef_download_item_callback_t>&) {}
    virtual void OnGetAuthCredentials(const ICefBrowser&, const ICefFrame&, bool /*is_proxy*/, const String& /*host*/,
                                      int /*port*/, const String& /*realm*/, const String& /*scheme*/,
                                      const ICefAuthCallback&, bool& /*CancelDefaultEvent*/) {}
    virtual void OnConsoleMessage(const ICefBrowser&, const String& /*message*/, const String& /*source*/,
                                  int /*line*/, bool& /*Cancel*/) {}
    // engine
    virtual void OnProtocolExecution(const ICefBrowser&, const String& /*url*/, bool& /*allow_os_execution*/) {}
    // engine
    virtual void OnCertificateError(const ICefBrowser&, cef_errorcode_t, const String& /*request_url*/,
                                    const engine_ref<cef_sslinfo_t>&, const ICefRequestCallback&, bool& /*Cancel*/) {}
    virtual void OnFileDialog(const ICefBrowser&, cef_file_dialog_mode_t, const String& /*title*/,
                              const String& /*default_file_path*/, const std::vector<String>& /*accept_filters*/,
                              int /*selected_accept_filter*/, const engine_ref<cef_file_dialog_callback_t>&,
                              bool& /*Cancel*/) {}
    // engine
    virtual void OnPluginCrashed(const ICefBrowser&, const String& /*plugin_path*/) {}
    // engine
    virtual void OnRequestGeolocationPermission(const ICefBrowser&, const String& /*requesting_url*/, int /*request_id*/,
                                                const engine_ref<cef_geolocation_callback_t>&, bool& /*Cancel*/) {}
    // engine
    virtual void OnCancelGeolocationPermission(const ICefBrowser&, int /*request_id*/) {}
    // engine
    virtual void OnQuotaRequest(const ICefBrowser&, const String& /*origin_url*/, int64_t /*new_size*/,
                                const ICefRequestCallback&, bool& /*Cancel*/) {}
    // engine
    virtual void OnDragEnter(const ICefBrowser&, const engine_ref<cef_drag_data_t>&, cef_drag_operations_mask_t,
                             bool& /*Cancel*/) {}
    // Windowless pages only: raised by nothing here.
    virtual void OnStartDragging(const ICefBrowser&, const engine_ref<cef_drag_data_t>&, cef_drag_operations_mask_t,
                                 int /*x*/, int /*y*/, bool& /*Cancel*/) {}
    // engine
    virtual void OnDraggableRegionsChanged(const ICefBrowser&, size_t /*regions_count*/,
                                           const cef_draggable_region_t* /*regions*/) {}
    // engine
    // Windowless pages only: raised by nothing here.
    virtual void OnUpdateDragCursor(const ICefBrowser&, cef_drag_operations_mask_t /*operation*/) {}
    virtual void OnScrollOffsetChanged(const ICefBrowser&, double /*x*/, double /*y*/) {}
    // engine
    virtual void OnFindResult(const ICefBrowser&, int /*identifier*/, int /*count*/, const cef_rect_t&,
                              int /*active_match_ordinal*/, bool /*final_update*/) {}
    // Windowless pages only: raised by nothing here.
    virtual void OnCursorChange(const ICefBrowser&, HCURSOR /*cursor*/, cef_cursor_type_t /*cursor_type*/,
                                const cef_cursor_info_t* /*custom_cursor_info*/) {}
    virtual void OnTooltip(const ICefBrowser&, String& /*text*/, bool& /*Cancel*/) {}
    // engine
    virtual void OnResetDialogState(const ICefBrowser&) {}
    // engine
    virtual void OnRenderProcessTerminated(const ICefBrowser&, cef_termination_status_t) {}
    // The popup's window, client and settings are the engine's, written through.
    virtual void OnBeforePopup(const ICefBrowser&, const ICefFrame&, const String& /*target_url*/,
                               const String& /*target_frame_name*/, cef_window_open_disposition_t, bool /*user_gesture*/,
                               const cef_popup_features_t&, cef_window_info_t&, cef_client_t**& /*client*/,
                               cef_browser_settings_t&, bool& /*no_javascript_access*/, bool& /*Cancel*/,
                               bool& /*CancelDefaultEvent*/) {}

protected:
    ~IWebBrowser() = default;
};

namespace detail {
template <class M>
struct sink_event;
template <class... A>
struct sink_event<void (IWebBrowser::*)(A...)> {
    using type = std::function<void(A...)>;
};
} // namespace detail

// The type of the browser component's event that the sink operation Op raises: the operation's parameters.
template <auto Op>
using TWebBrowserEvent = typename detail::sink_event<decltype(Op)>::type;

} // namespace kq
