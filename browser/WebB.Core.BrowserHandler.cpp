#include "browser/WebB.Core.BrowserHandler.h"

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Handler.RenderProcess.h"
#include "browser/WebB.Utils.h"
#include "engine/EngineStrings.h"
#include "framework/Conversions.h"
#include "framework/Handles.h"
#include "framework/Timers.h"

#include <atomic>

namespace kq {

namespace {

// --- The process's message-loop timer (created, run and freed on the GUI thread)

std::unique_ptr<TTimer> MessageLoopTimer;
std::atomic<int> live_client_count{0};
bool busy = false; // a tick is in the engine's work, which may run a nested message loop

void MessageLoopTick(TObject*) {
    if (busy || live_client_count.load() <= 0) return;
    busy = true;
    const scope_exit clear([] { busy = false; });
    WebBApp->CefDoMessageLoopWork();
}

// Frees the timer unless a client came back meanwhile.
void free_timer_when_unused() {
    if (live_client_count.load() == 0) MessageLoopTimer.reset();
}

String text(const cef_string_t* s) { return s ? to_string(s) : String(); }

// The base of every handler: the sink it raises its events through.
template <class CStruct>
class webb_handler : public engine_object<CStruct> {
public:
    explicit webb_handler(std::shared_ptr<sink_link> events) : FEvents(std::move(events)) {}

protected:
    template <class F>
    void raise(F&& f) {
        FEvents->with(std::forward<F>(f));
    }
    std::shared_ptr<sink_link> FEvents;
};

// --- Handlers

class TWebBFocusHandler : public webb_handler<cef_focus_handler_t> {
public:
    using self = TWebBFocusHandler;
    explicit TWebBFocusHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_take_focus = &engine_thunk<&self::OnTakeFocus>::call;
        cef()->on_set_focus = &engine_thunk<&self::OnSetFocus>::call;
        cef()->on_got_focus = &engine_thunk<&self::OnGotFocus>::call;
    }

private:
    void OnTakeFocus(ICefBrowser browser, int next) {
        raise([&](IWebBrowser& s) { s.OnTakeFocus(browser, next != 0); });
    }
    int OnSetFocus(ICefBrowser browser, cef_focus_source_t source) {
        bool Cancel = false, CancelDefaultEvent = false;
        raise([&](IWebBrowser& s) { s.OnSetFocus(browser, source, Cancel, CancelDefaultEvent); });
        // Focus changes caused by navigation are refused unless a handler decided.
        if (CancelDefaultEvent) return Cancel;
        return source == FOCUS_SOURCE_NAVIGATION;
    }
    void OnGotFocus(ICefBrowser browser) { SendToBrowserView(browser, view_msg::got_focus, 0); }
};

class TWebBDisplayHandler : public webb_handler<cef_display_handler_t> {
public:
    using self = TWebBDisplayHandler;
    explicit TWebBDisplayHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_address_change = &engine_thunk<&self::OnAddressChange>::call;
        cef()->on_title_change = &engine_thunk<&self::OnTitleChange>::call;
        cef()->on_favicon_urlchange = &engine_thunk<&self::OnFaviconURLChange>::call;
        cef()->on_fullscreen_mode_change = &engine_thunk<&self::OnFullscreenModeChange>::call;
        cef()->on_tooltip = &engine_thunk<&self::OnTooltip>::call;
        cef()->on_status_message = &engine_thunk<&self::OnStatusMessage>::call;
        cef()->on_console_message = &engine_thunk<&self::OnConsoleMessage>::call;
    }

private:
    void OnAddressChange(ICefBrowser browser, ICefFrame, const cef_string_t* url) {
        const String u = text(url);
        SendToBrowserView(browser, view_msg::address_change, reinterpret_cast<LPARAM>(&u));
    }
    void OnTitleChange(ICefBrowser browser, const cef_string_t* title) {
        const String t = text(title);
        SendToBrowserView(browser, view_msg::title_change, reinterpret_cast<LPARAM>(&t));
    }
    void OnFaviconURLChange(ICefBrowser browser, cef_string_list_t icon_urls) {
        const std::vector<String> urls = string_list_values(icon_urls);
        SendToBrowserView(browser, view_msg::favicon_change, reinterpret_cast<LPARAM>(&urls));
    }
    void OnFullscreenModeChange(ICefBrowser browser, int fullscreen) {
        const bool f = fullscreen != 0;
        SendToBrowserView(browser, view_msg::fullscreen_change, reinterpret_cast<LPARAM>(&f));
    }
    int OnTooltip(ICefBrowser browser, cef_string_t* value) {
        String t = text(value);
        bool result = false;
        tooltip_record r{&t, &result};
        SendToBrowserView(browser, view_msg::tooltip, reinterpret_cast<LPARAM>(&r));
        if (value) assign_cef_string(value, t);
        return result;
    }
    void OnStatusMessage(ICefBrowser browser, const cef_string_t* value) {
        const String t = text(value);
        SendToBrowserView(browser, view_msg::status_message, reinterpret_cast<LPARAM>(&t));
    }
    int OnConsoleMessage(ICefBrowser browser, const cef_string_t* message, const cef_string_t* source, int line) {
        const String m = text(message), s = text(source);
        bool result = false;
        console_record r{&m, &s, line, &result};
        SendToBrowserView(browser, view_msg::console_message, reinterpret_cast<LPARAM>(&r));
        return result;
    }
};

class TWebBDialogHandler : public webb_handler<cef_dialog_handler_t> {
public:
    explicit TWebBDialogHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_file_dialog = &engine_thunk<&TWebBDialogHandler::OnFileDialog>::call;
    }

private:
    int OnFileDialog(ICefBrowser browser, cef_file_dialog_mode_t mode, const cef_string_t* title,
                     const cef_string_t* default_file_path, cef_string_list_t accept_filters,
                     int selected_accept_filter, engine_ref<cef_file_dialog_callback_t> callback) {
        const String t = text(title), path = text(default_file_path);
        const std::vector<String> filters = string_list_values(accept_filters);
        bool result = false;
        file_dialog_record r{mode, &t, &path, &filters, selected_accept_filter, &callback, &result};
        SendToBrowserView(browser, view_msg::file_dialog, reinterpret_cast<LPARAM>(&r));
        return result;
    }
};

class TWebBDownloadHandler : public webb_handler<cef_download_handler_t> {
public:
    using self = TWebBDownloadHandler;
    explicit TWebBDownloadHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_before_download = &engine_thunk<&self::OnBeforeDownload>::call;
        cef()->on_download_updated = &engine_thunk<&self::OnDownloadUpdated>::call;
    }

private:
    void OnBeforeDownload(ICefBrowser browser, ICefDownloadItem item, const cef_string_t* suggested_name,
                          ICefBeforeDownloadCallback callback) {
        const String name = text(suggested_name);
        before_download_record r{&item, &name, &callback, false};
        SendToBrowserView(browser, view_msg::before_download, reinterpret_cast<LPARAM>(&r));
    }
    void OnDownloadUpdated(ICefBrowser browser, ICefDownloadItem item, engine_ref<cef_download_item_callback_t> callback) {
        raise([&](IWebBrowser& s) { s.OnDownloadUpdated(browser, item, callback); });
    }
};

class TWebBGeolocationHandler : public webb_handler<cef_geolocation_handler_t> {
public:
    using self = TWebBGeolocationHandler;
    explicit TWebBGeolocationHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_request_geolocation_permission = &engine_thunk<&self::OnRequestGeolocationPermission>::call;
        cef()->on_cancel_geolocation_permission = &engine_thunk<&self::OnCancelGeolocationPermission>::call;
    }

private:
    int OnRequestGeolocationPermission(ICefBrowser browser, const cef_string_t* url, int id,
                                       engine_ref<cef_geolocation_callback_t> callback) {
        bool Cancel = false;
        raise([&](IWebBrowser& s) { s.OnRequestGeolocationPermission(browser, text(url), id, callback, Cancel); });
        return Cancel;
    }
    void OnCancelGeolocationPermission(ICefBrowser browser, int id) {
        raise([&](IWebBrowser& s) { s.OnCancelGeolocationPermission(browser, id); });
    }
};

class TWebBJsDialogHandler : public webb_handler<cef_jsdialog_handler_t> {
public:
    using self = TWebBJsDialogHandler;
    explicit TWebBJsDialogHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_jsdialog = &engine_thunk<&self::OnJSDialog>::call;
        cef()->on_before_unload_dialog = &engine_thunk<&self::OnBeforeUnloadDialog>::call;
        cef()->on_reset_dialog_state = &engine_thunk<&self::OnResetDialogState>::call;
        cef()->on_dialog_closed = &engine_thunk<&self::OnDialogClosed>::call;
    }

private:
    int OnJSDialog(ICefBrowser browser, const cef_string_t* origin_url, const cef_string_t*,
                   cef_jsdialog_type_t type, const cef_string_t* message, const cef_string_t* prompt,
                   ICefJsDialogCallback callback, int* suppress_message) {
        const String o = text(origin_url), m = text(message), p = text(prompt);
        bool suppress = false, result = false;
        jsdialog_record r{&o, type, &m, &p, &callback, &suppress, &result, false};
        SendToBrowserView(browser, view_msg::jsdialog, reinterpret_cast<LPARAM>(&r));
        if (suppress_message) *suppress_message = suppress;
        return result;
    }
    int OnBeforeUnloadDialog(ICefBrowser browser, const cef_string_t* message, int is_reload,
                             ICefJsDialogCallback callback) {
        const String m = text(message);
        bool result = false;
        before_unload_record r{&m, is_reload != 0, &callback, &result, false};
        SendToBrowserView(browser, view_msg::before_unload, reinterpret_cast<LPARAM>(&r));
        return result;
    }
    void OnResetDialogState(ICefBrowser browser) { raise([&](IWebBrowser& s) { s.OnResetDialogState(browser); }); }
    void OnDialogClosed(ICefBrowser browser) { raise([&](IWebBrowser& s) { s.OnDialogClosed(browser); }); }
};

class TWebBKeyboardHandler : public webb_handler<cef_keyboard_handler_t> {
public:
    using self = TWebBKeyboardHandler;
    explicit TWebBKeyboardHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_pre_key_event = &engine_thunk<&self::OnPreKeyEvent>::call;
        cef()->on_key_event = &engine_thunk<&self::OnKeyEvent>::call;
    }

private:
    int OnPreKeyEvent(ICefBrowser browser, const cef_key_event_t* event, MSG* os_event, int* is_keyboard_shortcut) {
        bool shortcut = is_keyboard_shortcut && *is_keyboard_shortcut;
        bool Cancel = false, CancelDefaultEvent = false;
        raise([&](IWebBrowser& s) { s.OnPreKeyEvent(browser, *event, os_event, shortcut, Cancel, CancelDefaultEvent); });
        if (is_keyboard_shortcut) *is_keyboard_shortcut = shortcut;
        if (CancelDefaultEvent) return Cancel;
        switch (built_in_key_of(*event)) {
        case built_in_key::show_devtools: SendToBrowserView(browser, view_msg::show_devtools, 0); break;
        case built_in_key::reload_ignore_cache: SendToBrowserView(browser, view_msg::reload_ignore_cache, 0); break;
        case built_in_key::search_text: SendToBrowserView(browser, view_msg::search_text, 0); break;
        case built_in_key::consume: return true;
        case built_in_key::none: break;
        }
        return Cancel;
    }
    int OnKeyEvent(ICefBrowser browser, const cef_key_event_t* event, MSG* os_event) {
        bool Cancel = false;
        raise([&](IWebBrowser& s) { s.OnKeyEvent(browser, *event, os_event, Cancel); });
        return Cancel;
    }
};

class TWebBLifeSpanHandler : public webb_handler<cef_life_span_handler_t> {
public:
    using self = TWebBLifeSpanHandler;
    explicit TWebBLifeSpanHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_before_popup = &engine_thunk<&self::OnBeforePopup>::call;
        cef()->on_after_created = &engine_thunk<&self::OnAfterCreated>::call;
        cef()->do_close = &engine_thunk<&self::DoClose>::call;
        cef()->on_before_close = &engine_thunk<&self::OnBeforeClose>::call;
        // run_modal stays empty: the engine runs its own modal loop.
    }

private:
    int OnBeforePopup(ICefBrowser browser, ICefFrame frame, const cef_string_t* target_url,
                      const cef_string_t* target_frame_name, cef_window_open_disposition_t disposition,
                      int user_gesture, const cef_popup_features_t* features, cef_window_info_t* window_info,
                      cef_client_t** client, cef_browser_settings_t* settings, int* no_javascript_access) {
        const String url = text(target_url), name = text(target_frame_name);
        bool no_script = no_javascript_access && *no_javascript_access;
        bool result = false;
        popup_record r{&frame, &url, &name, disposition, user_gesture != 0, features, window_info, client,
                       settings, &no_script, &result, false};
        const scope_exit write_back([&] {
            if (no_javascript_access) *no_javascript_access = no_script;
        });
        if (!SendToBrowserView(browser, view_msg::popup_check, reinterpret_cast<LPARAM>(&r))) return true;
        if (!SendToBrowserView(browser, view_msg::before_popup, reinterpret_cast<LPARAM>(&r))) return true;
        return result;
    }
    void OnAfterCreated(ICefBrowser browser) {
        SendToBrowserView(browser, view_msg::after_created, browser.GetIdentifier());
    }
    int DoClose(ICefBrowser browser) {
        bool destroyed = false;
        SendToBrowserView(browser, view_msg::do_close, reinterpret_cast<LPARAM>(&destroyed));
        return destroyed;
    }
    void OnBeforeClose(ICefBrowser browser) { SendToBrowserView(browser, view_msg::before_close, 0); }
};

class TWebBLoadHandler : public webb_handler<cef_load_handler_t> {
public:
    using self = TWebBLoadHandler;
    explicit TWebBLoadHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_loading_state_change = &engine_thunk<&self::OnLoadingStateChange>::call;
        cef()->on_load_start = &engine_thunk<&self::OnLoadStart>::call;
        cef()->on_load_end = &engine_thunk<&self::OnLoadEnd>::call;
        cef()->on_load_error = &engine_thunk<&self::OnLoadError>::call;
    }

private:
    void OnLoadingStateChange(ICefBrowser browser, int loading, int back, int forward) {
        const LPARAM bits = (loading ? 1 : 0) | (back ? 2 : 0) | (forward ? 4 : 0);
        SendToBrowserView(browser, view_msg::loading_state, bits);
    }
    void OnLoadStart(ICefBrowser browser, ICefFrame frame) {
        SendToBrowserView(browser, view_msg::load_start, reinterpret_cast<LPARAM>(&frame));
    }
    void OnLoadEnd(ICefBrowser browser, ICefFrame frame, int status) {
        load_end_record r{&frame, status};
        SendToBrowserView(browser, view_msg::load_end, reinterpret_cast<LPARAM>(&r));
    }
    void OnLoadError(ICefBrowser browser, ICefFrame frame, cef_errorcode_t code, const cef_string_t* error_text,
                     const cef_string_t* failed_url) {
        const String t = text(error_text), u = text(failed_url);
        load_error_record r{&frame, code, &t, &u, false};
        SendToBrowserView(browser, view_msg::load_error, reinterpret_cast<LPARAM>(&r));
    }
};

class TWebBContextMenuHandler : public webb_handler<cef_context_menu_handler_t> {
public:
    using self = TWebBContextMenuHandler;
    explicit TWebBContextMenuHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_before_context_menu = &engine_thunk<&self::OnBeforeContextMenu>::call;
        cef()->on_context_menu_command = &engine_thunk<&self::OnContextMenuCommand>::call;
        cef()->on_context_menu_dismissed = &engine_thunk<&self::OnContextMenuDismissed>::call;
    }

private:
    void OnBeforeContextMenu(ICefBrowser browser, ICefFrame frame, ICefContextMenuParams params, ICefMenuModel model) {
        raise([&](IWebBrowser& s) { s.OnBeforeContextMenu(browser, frame, params, model); });
    }
    int OnContextMenuCommand(ICefBrowser browser, ICefFrame frame, ICefContextMenuParams params, int command_id,
                             cef_event_flags_t event_flags) {
        bool result = false;
        context_menu_command_record r{&frame, &params, command_id, event_flags, &result};
        SendToBrowserView(browser, view_msg::context_menu_command, reinterpret_cast<LPARAM>(&r));
        return result;
    }
    void OnContextMenuDismissed(ICefBrowser browser, ICefFrame frame) {
        raise([&](IWebBrowser& s) { s.OnContextMenuDismissed(browser, frame); });
    }
};

class TWebBRequestHandler : public webb_handler<cef_request_handler_t> {
public:
    using self = TWebBRequestHandler;
    explicit TWebBRequestHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef_request_handler_t* c = cef();
        c->on_before_browse = &engine_thunk<&self::OnBeforeBrowse>::call;
        c->on_open_urlfrom_tab = &engine_thunk<&self::OnOpenUrlFromTab>::call;
        c->on_before_resource_load = &engine_thunk<&self::OnBeforeResourceLoad>::call;
        c->get_resource_handler = &engine_thunk<&self::GetResourceHandler>::call;
        c->on_resource_redirect = &engine_thunk<&self::OnResourceRedirect>::call;
        c->on_resource_response = &engine_thunk<&self::OnResourceResponse>::call;
        c->get_resource_response_filter = &engine_thunk<&self::GetResourceResponseFilter>::call;
        c->on_resource_load_complete = &engine_thunk<&self::OnResourceLoadComplete>::call;
        c->get_auth_credentials = &engine_thunk<&self::GetAuthCredentials>::call;
        c->on_quota_request = &engine_thunk<&self::OnQuotaRequest>::call;
        c->on_protocol_execution = &engine_thunk<&self::OnProtocolExecution>::call;
        c->on_certificate_error = &engine_thunk<&self::OnCertificateError>::call;
        c->on_plugin_crashed = &engine_thunk<&self::OnPluginCrashed>::call;
        c->on_render_view_ready = &engine_thunk<&self::OnRenderViewReady>::call;
        c->on_render_process_terminated = &engine_thunk<&self::OnRenderProcessTerminated>::call;
    }

private:
    int OnBeforeBrowse(ICefBrowser browser, ICefFrame frame, ICefRequest request, int is_redirect) {
        bool Cancel = false;
        raise([&](IWebBrowser& s) { s.OnBeforeBrowse(browser, frame, request, is_redirect != 0, Cancel); });
        return Cancel;
    }
    int OnOpenUrlFromTab(ICefBrowser browser, ICefFrame frame, const cef_string_t* url,
                         cef_window_open_disposition_t disposition, int user_gesture) {
        bool Cancel = false;
        raise([&](IWebBrowser& s) { s.OnOpenUrlFromTab(browser, frame, text(url), disposition, user_gesture != 0, Cancel); });
        return Cancel;
    }
    cef_return_value_t OnBeforeResourceLoad(ICefBrowser browser, ICefFrame frame, ICefRequest request,
                                            ICefRequestCallback callback) {
        cef_return_value_t Result = RV_CONTINUE;
        raise([&](IWebBrowser& s) { s.OnBeforeResourceLoad(browser, frame, request, callback, Result); });
        return Result;
    }
    cef_resource_handler_t* GetResourceHandler(ICefBrowser browser, ICefFrame frame, ICefRequest request) {
        engine_ref<cef_resource_handler_t> handler;
        raise([&](IWebBrowser& s) { s.OnGetResourceHandler(browser, frame, request, handler); });
        return handler.detach();
    }
    void OnResourceRedirect(ICefBrowser browser, ICefFrame frame, ICefRequest request, cef_string_t* new_url) {
        String u = text(new_url);
        raise([&](IWebBrowser& s) { s.OnResourceRedirect(browser, frame, request, u); });
        if (new_url) assign_cef_string(new_url, u);
    }
    int OnResourceResponse(ICefBrowser browser, ICefFrame frame, ICefRequest request, engine_ref<cef_response_t> response) {
        bool Result = false;
        raise([&](IWebBrowser& s) { s.OnResourceResponse(browser, frame, request, response, Result); });
        return Result;
    }
    cef_response_filter_t* GetResourceResponseFilter(ICefBrowser browser, ICefFrame frame, ICefRequest request,
                                                     engine_ref<cef_response_t> response) {
        engine_ref<cef_response_filter_t> filter;
        raise([&](IWebBrowser& s) { s.OnGetResourceResponseFilter(browser, frame, request, response, filter); });
        return filter.detach();
    }
    void OnResourceLoadComplete(ICefBrowser browser, ICefFrame frame, ICefRequest request,
                                engine_ref<cef_response_t> response, cef_urlrequest_status_t status, int64 length) {
        raise([&](IWebBrowser& s) { s.OnResourceLoadComplete(browser, frame, request, response, status, length); });
    }
    int GetAuthCredentials(ICefBrowser browser, ICefFrame frame, int is_proxy, const cef_string_t* host, int port,
                           const cef_string_t* realm, const cef_string_t* scheme, ICefAuthCallback callback) {
        const String h = text(host), r = text(realm), sc = text(scheme);
        auth_record rec{&frame, is_proxy != 0, &h, port, &r, &sc, &callback, false};
        SendToBrowserView(browser, view_msg::auth_credentials, reinterpret_cast<LPARAM>(&rec));
        return true;
    }
    int OnQuotaRequest(ICefBrowser browser, const cef_string_t* origin, int64 new_size, ICefRequestCallback callback) {
        bool Cancel = false;
        raise([&](IWebBrowser& s) { s.OnQuotaRequest(browser, text(origin), new_size, callback, Cancel); });
        return Cancel;
    }
    void OnProtocolExecution(ICefBrowser browser, const cef_string_t* url, int* allow_os_execution) {
        bool allow = allow_os_execution && *allow_os_execution;
        raise([&](IWebBrowser& s) { s.OnProtocolExecution(browser, text(url), allow); });
        if (allow_os_execution) *allow_os_execution = allow;
    }
    int OnCertificateError(ICefBrowser browser, cef_errorcode_t error, const cef_string_t* url,
                           engine_ref<cef_sslinfo_t> info, ICefRequestCallback callback) {
        bool Cancel = false;
        raise([&](IWebBrowser& s) { s.OnCertificateError(browser, error, text(url), info, callback, Cancel); });
        return Cancel;
    }
    void OnPluginCrashed(ICefBrowser browser, const cef_string_t* path) {
        raise([&](IWebBrowser& s) { s.OnPluginCrashed(browser, text(path)); });
    }
    void OnRenderViewReady(ICefBrowser) {}
    void OnRenderProcessTerminated(ICefBrowser browser, cef_termination_status_t status) {
        raise([&](IWebBrowser& s) { s.OnRenderProcessTerminated(browser, status); });
    }
};

class TWebBDragHandler : public webb_handler<cef_drag_handler_t> {
public:
    using self = TWebBDragHandler;
    explicit TWebBDragHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_drag_enter = &engine_thunk<&self::OnDragEnter>::call;
        cef()->on_draggable_regions_changed = &engine_thunk<&self::OnDraggableRegionsChanged>::call;
    }

private:
    int OnDragEnter(ICefBrowser browser, engine_ref<cef_drag_data_t> data, cef_drag_operations_mask_t mask) {
        bool Cancel = false;
        raise([&](IWebBrowser& s) { s.OnDragEnter(browser, data, mask, Cancel); });
        return Cancel;
    }
    void OnDraggableRegionsChanged(ICefBrowser browser, size_t count, const cef_draggable_region_t* regions) {
        raise([&](IWebBrowser& s) { s.OnDraggableRegionsChanged(browser, count, regions); });
    }
};

class TWebBFindHandler : public webb_handler<cef_find_handler_t> {
public:
    explicit TWebBFindHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {
        cef()->on_find_result = &engine_thunk<&TWebBFindHandler::OnFindResult>::call;
    }

private:
    void OnFindResult(ICefBrowser browser, int identifier, int count, const cef_rect_t* selection, int active,
                      int final_update) {
        const cef_rect_t r = selection ? *selection : cef_rect_t{};
        raise([&](IWebBrowser& s) { s.OnFindResult(browser, identifier, count, r, active, final_update != 0); });
    }
};

// Only windowless pages use it; the queries answer False and the rest does nothing.
class TWebBRenderHandler : public webb_handler<cef_render_handler_t> {
public:
    explicit TWebBRenderHandler(std::shared_ptr<sink_link> e) : webb_handler(std::move(e)) {}
};

} // namespace

// --- TWebBHandler

TWebBHandler::TWebBHandler(bool renderer, std::shared_ptr<sink_link> web_browser) : FEvents(std::move(web_browser)) {
    assert_gui_thread();
    if (!MessageLoopTimer) {
        MessageLoopTimer = std::make_unique<TTimer>(nullptr);
        MessageLoopTimer->SetEnabled(false);
        MessageLoopTimer->SetInterval(15);
        MessageLoopTimer->OnTimer = &MessageLoopTick;
    }
    ++live_client_count;
    FLoadHandler = make_engine_object<TWebBLoadHandler>(FEvents);
    FFocusHandler = make_engine_object<TWebBFocusHandler>(FEvents);
    FContextMenuHandler = make_engine_object<TWebBContextMenuHandler>(FEvents);
    FDialogHandler = make_engine_object<TWebBDialogHandler>(FEvents);
    FKeyboardHandler = make_engine_object<TWebBKeyboardHandler>(FEvents);
    FDisplayHandler = make_engine_object<TWebBDisplayHandler>(FEvents);
    FDownloadHandler = make_engine_object<TWebBDownloadHandler>(FEvents);
    FGeolocationHandler = make_engine_object<TWebBGeolocationHandler>(FEvents);
    FJsDialogHandler = make_engine_object<TWebBJsDialogHandler>(FEvents);
    FLifeSpanHandler = make_engine_object<TWebBLifeSpanHandler>(FEvents);
    FRequestHandler = make_engine_object<TWebBRequestHandler>(FEvents);
    if (renderer) FRenderHandler = make_engine_object<TWebBRenderHandler>(FEvents);
    FDragHandler = make_engine_object<TWebBDragHandler>(FEvents);
    FFindHandler = make_engine_object<TWebBFindHandler>(FEvents);

    cef_client_t* c = cef();
    c->get_context_menu_handler = &engine_thunk<&TWebBHandler::GetContextMenuHandler>::call;
    c->get_dialog_handler = &engine_thunk<&TWebBHandler::GetDialogHandler>::call;
    c->get_display_handler = &engine_thunk<&TWebBHandler::GetDisplayHandler>::call;
    c->get_download_handler = &engine_thunk<&TWebBHandler::GetDownloadHandler>::call;
    c->get_drag_handler = &engine_thunk<&TWebBHandler::GetDragHandler>::call;
    c->get_find_handler = &engine_thunk<&TWebBHandler::GetFindHandler>::call;
    c->get_focus_handler = &engine_thunk<&TWebBHandler::GetFocusHandler>::call;
    c->get_geolocation_handler = &engine_thunk<&TWebBHandler::GetGeolocationHandler>::call;
    c->get_jsdialog_handler = &engine_thunk<&TWebBHandler::GetJsdialogHandler>::call;
    c->get_keyboard_handler = &engine_thunk<&TWebBHandler::GetKeyboardHandler>::call;
    c->get_life_span_handler = &engine_thunk<&TWebBHandler::GetLifeSpanHandler>::call;
    c->get_load_handler = &engine_thunk<&TWebBHandler::GetLoadHandler>::call;
    c->get_render_handler = &engine_thunk<&TWebBHandler::GetRenderHandler>::call;
    c->get_request_handler = &engine_thunk<&TWebBHandler::GetRequestHandler>::call;
    c->on_process_message_received = &engine_thunk<&TWebBHandler::OnProcessMessageReceived>::call;
}

TWebBHandler::~TWebBHandler() {
    if (--live_client_count != 0) return;
    // The last client may go on an engine thread; the timer belongs to the GUI thread.
    if (on_gui_thread()) {
        free_timer_when_unused();
    } else {
        Queue(&free_timer_when_unused);
    }
}

void TWebBHandler::ReleaseHandlers() {
    const std::lock_guard lock(FLock);
    FLoadHandler.reset();
    FFocusHandler.reset();
    FContextMenuHandler.reset();
    FDialogHandler.reset();
    FKeyboardHandler.reset();
    FDisplayHandler.reset();
    FDownloadHandler.reset();
    FGeolocationHandler.reset();
    FJsDialogHandler.reset();
    FLifeSpanHandler.reset();
    FRenderHandler.reset();
    FRequestHandler.reset();
    FDragHandler.reset();
    FFindHandler.reset();
}

void TWebBHandler::StartTimer() {
    if (MessageLoopTimer) MessageLoopTimer->SetEnabled(true);
}

int TWebBHandler::live_clients() noexcept { return live_client_count.load(); }
bool TWebBHandler::timer_exists() noexcept { return MessageLoopTimer != nullptr; }
bool TWebBHandler::timer_enabled() noexcept { return MessageLoopTimer && MessageLoopTimer->Enabled(); }
bool TWebBHandler::in_engine_work() noexcept { return on_gui_thread() && busy; }

template <class T>
T* TWebBHandler::handler(engine_ref<T> TWebBHandler::*field) {
    const std::lock_guard lock(FLock);
    return (this->*field).pass(); // the engine takes over the reference
}

cef_context_menu_handler_t* TWebBHandler::GetContextMenuHandler() { return handler(&TWebBHandler::FContextMenuHandler); }
cef_dialog_handler_t* TWebBHandler::GetDialogHandler() { return handler(&TWebBHandler::FDialogHandler); }
cef_display_handler_t* TWebBHandler::GetDisplayHandler() { return handler(&TWebBHandler::FDisplayHandler); }
cef_download_handler_t* TWebBHandler::GetDownloadHandler() { return handler(&TWebBHandler::FDownloadHandler); }
cef_drag_handler_t* TWebBHandler::GetDragHandler() { return handler(&TWebBHandler::FDragHandler); }
cef_find_handler_t* TWebBHandler::GetFindHandler() { return handler(&TWebBHandler::FFindHandler); }
cef_focus_handler_t* TWebBHandler::GetFocusHandler() { return handler(&TWebBHandler::FFocusHandler); }
cef_geolocation_handler_t* TWebBHandler::GetGeolocationHandler() { return handler(&TWebBHandler::FGeolocationHandler); }
cef_jsdialog_handler_t* TWebBHandler::GetJsdialogHandler() { return handler(&TWebBHandler::FJsDialogHandler); }
cef_keyboard_handler_t* TWebBHandler::GetKeyboardHandler() { return handler(&TWebBHandler::FKeyboardHandler); }
cef_life_span_handler_t* TWebBHandler::GetLifeSpanHandler() { return handler(&TWebBHandler::FLifeSpanHandler); }
cef_load_handler_t* TWebBHandler::GetLoadHandler() { return handler(&TWebBHandler::FLoadHandler); }
cef_render_handler_t* TWebBHandler::GetRenderHandler() { return handler(&TWebBHandler::FRenderHandler); }
cef_request_handler_t* TWebBHandler::GetRequestHandler() { return handler(&TWebBHandler::FRequestHandler); }

int TWebBHandler::OnProcessMessageReceived(ICefBrowser browser, cef_process_id_t, ICefProcessMessage message) {
    if (!message || !SameText(message.GetName(), tobrowser_jsextention_message)) return false;
    const ICefListValue args = message.GetArgumentList();
    const String identifier = args ? args.GetString(0) : String();
    const String error = args ? args.GetString(2) : String();
    script_reply_record r{&identifier, &args, &error};
    SendToBrowserView(browser, view_msg::script_reply, reinterpret_cast<LPARAM>(&r));
    return true;
}

} // namespace kq
