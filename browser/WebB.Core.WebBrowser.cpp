#include "browser/WebB.Core.WebBrowser.h"

#include "browser/WebB.Core.BrowserView.h"
#include "browser/WebB.Core.DevToolsView.h"
#include "browser/WebB.Settings.h"
#include "framework/Forms.h"
#include "framework/Handles.h"
#include "framework/Properties.h"

#include <windowsx.h>

#include <algorithm>

namespace kq {

// --- The event sink

// Raises the component's events for the view and the handlers: each operation calls the event when a
// handler is assigned.
class TCustomWebBrowser::event_sink final : public IWebBrowser {
public:
    explicit event_sink(TCustomWebBrowser& owner) noexcept : FOwner(owner) {}

    void FillBrowserSettings(cef_browser_settings_t& settings) override {
        kq::FillBrowserSettings(settings, *FOwner.FChromiumOptions, *FOwner.FChromiumFontOptions,
                                FOwner.FDefaultEncoding);
    }
    void ShowDevTools(const ICefBrowser& browser) override { FOwner.ShowDevTools(browser); }
    void CloseDevTools(const ICefBrowser& browser) override { FOwner.CloseDevTools(browser); }

    void OnLoadingStateChange(const ICefBrowser& browser, bool is_loading, bool can_go_back,
                              bool can_go_forward) override {
        raise(FOwner.OnLoadingStateChange, browser, is_loading, can_go_back, can_go_forward);
    }
    void OnStateChange(const ICefBrowser& browser, TBrowserDataChangeKind Kind, const String& Value) override {
        if (Kind == BrowserDataChange_Title) FOwner.default_tab_titled(browser.GetIdentifier(), Value);
        raise(FOwner.OnStateChange, browser, Kind, Value);
    }
    void OnFavIconChange(const ICefBrowser& browser, const String& fav_url, HICON icon) override {
        raise(FOwner.OnFavIconChange, browser, fav_url, icon);
    }
    void OnFullScreenModeChange(const ICefBrowser& browser, bool fullscreen) override {
        raise(FOwner.OnFullScreenModeChange, browser, fullscreen);
    }
    void OnAddBrowser(const ICefBrowser& browser) override {
        FOwner.default_tab_added(browser.GetIdentifier());
        raise(FOwner.OnAddBrowser, browser);
    }
    void OnCloseBrowser(const std::vector<int>& CloseBrowserIdArr, int ShowBrowserId) override {
        FOwner.default_tabs_closed(CloseBrowserIdArr, ShowBrowserId);
        raise(FOwner.OnCloseBrowser, CloseBrowserIdArr, ShowBrowserId);
    }
    void OnBeforeCloseBrowser(const std::vector<int>& CloseBrowserIdArr, TCloseBrowserType close_browser_type,
                              int& ShowBrowserId) override {
        raise(FOwner.OnBeforeCloseBrowser, CloseBrowserIdArr, close_browser_type, ShowBrowserId);
    }
    void OnLoadStart(const ICefBrowser& browser, const ICefFrame& frame) override {
        raise(FOwner.OnLoadStart, browser, frame);
    }
    void OnLoadEnd(const ICefBrowser& browser, const ICefFrame& frame, int http_status_code) override {
        raise(FOwner.OnLoadEnd, browser, frame, http_status_code);
    }
    void OnLoadError(const ICefBrowser& browser, const ICefFrame& frame, int error_code, const String& error_text,
                     const String& failed_url, bool& CancelDefaultEvent) override {
        raise(FOwner.OnLoadError, browser, frame, error_code, error_text, failed_url, CancelDefaultEvent);
    }
    void OnBeforeBrowse(const ICefBrowser& browser, const ICefFrame& frame, const ICefRequest& request,
                        bool is_redirect, bool& Cancel) override {
        raise(FOwner.OnBeforeBrowse, browser, frame, request, is_redirect, Cancel);
    }
    void OnOpenUrlFromTab(const ICefBrowser& browser, const ICefFrame& frame, const String& target_url,
                          cef_window_open_disposition_t target_disposition, bool user_gesture, bool& Cancel) override {
        raise(FOwner.OnOpenUrlFromTab, browser, frame, target_url, target_disposition, user_gesture, Cancel);
    }
    void OnPreKeyEvent(const ICefBrowser& browser, const cef_key_event_t& event, const MSG* os_event,
                       bool& is_keyboard_shortcut, bool& Cancel, bool& CancelDefaultEvent) override {
        raise(FOwner.OnPreKeyEvent, browser, event, os_event, is_keyboard_shortcut, Cancel, CancelDefaultEvent);
    }
    void OnKeyEvent(const ICefBrowser& browser, const cef_key_event_t& event, const MSG* os_event,
                    bool& Cancel) override {
        raise(FOwner.OnKeyEvent, browser, event, os_event, Cancel);
    }
    void OnBeforeResourceLoad(const ICefBrowser& browser, const ICefFrame& frame, const ICefRequest& request,
                              const ICefRequestCallback& callback, cef_return_value_t& Result) override {
        if (!FOwner.OnBeforeResourceLoad) Result = RV_CONTINUE;
        raise(FOwner.OnBeforeResourceLoad, browser, frame, request, callback, Result);
    }
    void OnGetResourceHandler(const ICefBrowser& browser, const ICefFrame& frame, const ICefRequest& request,
                              engine_ref<cef_resource_handler_t>& ResourceHandler) override {
        raise(FOwner.OnGetResourceHandler, browser, frame, request, ResourceHandler);
    }
    void OnResourceRedirect(const ICefBrowser& browser, const ICefFrame& frame, const ICefRequest& request,
                            String& new_url) override {
        raise(FOwner.OnResourceRedirect, browser, frame, request, new_url);
    }
    void OnResourceResponse(const ICefBrowser& browser, const ICefFrame& frame, const ICefRequest& request,
                            const engine_ref<cef_response_t>& response, bool& Result) override {
        raise(FOwner.OnResourceResponse, browser, frame, request, response, Result);
    }
    void OnGetResourceResponseFilter(const ICefBrowser& browser, const ICefFrame& frame, const ICefRequest& request,
                                     const engine_ref<cef_response_t>& response,
                                     engine_ref<cef_response_filter_t>& Result) override {
        Result.reset();
        raise(FOwner.OnGetResourceResponseFilter, browser, frame, request, response, Result);
    }
    void OnResourceLoadComplete(const ICefBrowser& browser, const ICefFrame& frame, const ICefRequest& request,
                                const engine_ref<cef_response_t>& response, cef_urlrequest_status_t status,
                                int64_t received_content_length) override {
        raise(FOwner.OnResourceLoadComplete, browser, frame, request, response, status, received_content_length);
    }
    void OnGotFocus(const ICefBrowser& browser, bool& CancelDefaultEvent) override {
        raise(FOwner.OnGotFocus, browser, CancelDefaultEvent);
    }
    void OnSetFocus(const ICefBrowser& browser, cef_focus_source_t source, bool& Cancel,
                    bool& CancelDefaultEvent) override {
        raise(FOwner.OnSetFocus, browser, source, Cancel, CancelDefaultEvent);
    }
    void OnTakeFocus(const ICefBrowser& browser, bool next) override { raise(FOwner.OnTakeFocus, browser, next); }
    void OnBeforeContextMenu(const ICefBrowser& browser, const ICefFrame& frame, const ICefContextMenuParams& params,
                             const ICefMenuModel& model) override {
        raise(FOwner.OnBeforeContextMenu, browser, frame, params, model);
    }
    void OnContextMenuCommand(const ICefBrowser& browser, const ICefFrame& frame, const ICefContextMenuParams& params,
                              int command_id, cef_event_flags_t event_flags, bool& CancelDefaultEvent) override {
        raise(FOwner.OnContextMenuCommand, browser, frame, params, command_id, event_flags, CancelDefaultEvent);
    }
    void OnContextMenuDismissed(const ICefBrowser& browser, const ICefFrame& frame) override {
        raise(FOwner.OnContextMenuDismissed, browser, frame);
    }
    void OnJsdialog(const ICefBrowser& browser, const String& origin_url, cef_jsdialog_type_t dialog_type,
                    const String& message_text, const String& default_prompt_text, const ICefJsDialogCallback& callback,
                    bool& suppress_message, bool& Cancel, bool& CancelDefaultEvent) override {
        raise(FOwner.OnJsdialog, browser, origin_url, dialog_type, message_text, default_prompt_text, callback,
              suppress_message, Cancel, CancelDefaultEvent);
    }
    void OnBeforeUnloadDialog(const ICefBrowser& browser, const String& message_text, bool is_reload,
                              const ICefJsDialogCallback& callback, bool& Cancel, bool& CancelDefaultEvent) override {
        raise(FOwner.OnBeforeUnloadDialog, browser, message_text, is_reload, callback, Cancel, CancelDefaultEvent);
    }
    void OnDialogClosed(const ICefBrowser& browser) override { raise(FOwner.OnDialogClosed, browser); }
    void OnBeforeDownload(const ICefBrowser& browser, const ICefDownloadItem& download_item,
                          const String& suggested_name, const ICefBeforeDownloadCallback& callback,
                          bool& CancelDefaultEvent) override {
        raise(FOwner.OnBeforeDownload, browser, download_item, suggested_name, callback, CancelDefaultEvent);
    }
    void OnDownloadUpdated(const ICefBrowser& browser, const ICefDownloadItem& download_item,
                           const engine_ref<cef_download_item_callback_t>& callback) override {
        raise(FOwner.OnDownloadUpdated, browser, download_item, callback);
    }
    void OnGetAuthCredentials(const ICefBrowser& browser, const ICefFrame& frame, bool is_proxy, const String& host,
                              int port, const String& realm, const String& scheme, const ICefAuthCallback& callback,
                              bool& CancelDefaultEvent) override {
        raise(FOwner.OnGetAuthCredentials, browser, frame, is_proxy, host, port, realm, scheme, callback,
              CancelDefaultEvent);
    }
    void OnConsoleMessage(const ICefBrowser& browser, const String& message, const String& source, int line,
                          bool& Cancel) override {
        raise(FOwner.OnConsoleMessage, browser, message, source, line, Cancel);
    }
    void OnProtocolExecution(const ICefBrowser& browser, const String& url, bool& allow_os_execution) override {
        raise(FOwner.OnProtocolExecution, browser, url, allow_os_execution);
    }
    void OnCertificateError(const ICefBrowser& browser, cef_errorcode_t cert_error, const String& request_url,
                            const engine_ref<cef_sslinfo_t>& ssl_info, const ICefRequestCallback& callback,
                            bool& Cancel) override {
        raise(FOwner.OnCertificateError, browser, cert_error, request_url, ssl_info, callback, Cancel);
    }
    void OnFileDialog(const ICefBrowser& browser, cef_file_dialog_mode_t mode, const String& title,
                      const String& default_file_path, const std::vector<String>& accept_filters,
                      int selected_accept_filter, const engine_ref<cef_file_dialog_callback_t>& callback,
                      bool& Cancel) override {
        raise(FOwner.OnFileDialog, browser, mode, title, default_file_path, accept_filters, selected_accept_filter,
              callback, Cancel);
    }
    void OnPluginCrashed(const ICefBrowser& browser, const String& plugin_path) override {
        raise(FOwner.OnPluginCrashed, browser, plugin_path);
    }
    void OnRequestGeolocationPermission(const ICefBrowser& browser, const String& requesting_url, int request_id,
                                        const engine_ref<cef_geolocation_callback_t>& callback, bool& Cancel) override {
        raise(FOwner.OnRequestGeolocationPermission, browser, requesting_url, request_id, callback, Cancel);
    }
    void OnCancelGeolocationPermission(const ICefBrowser& browser, int request_id) override {
        raise(FOwner.OnCancelGeolocationPermission, browser, request_id);
    }
    void OnQuotaRequest(const ICefBrowser& browser, const String& origin_url, int64_t new_size,
                        const ICefRequestCallback& callback, bool& Cancel) override {
        raise(FOwner.OnQuotaRequest, browser, origin_url, new_size, callback, Cancel);
    }
    void OnDragEnter(const ICefBrowser& browser, const engine_ref<cef_drag_data_t>& drag_data,
                     cef_drag_operations_mask_t mask, bool& Cancel) override {
        raise(FOwner.OnDragEnter, browser, drag_data, mask, Cancel);
    }
    void OnStartDragging(const ICefBrowser& browser, const engine_ref<cef_drag_data_t>& drag_data,
                         cef_drag_operations_mask_t mask, int x, int y, bool& Cancel) override {
        raise(FOwner.OnStartDragging, browser, drag_data, mask, x, y, Cancel);
    }
    void OnDraggableRegionsChanged(const ICefBrowser& browser, size_t regions_count,
                                   const cef_draggable_region_t* regions) override {
        raise(FOwner.OnDraggableRegionsChanged, browser, regions_count, regions);
    }
    void OnUpdateDragCursor(const ICefBrowser& browser, cef_drag_operations_mask_t operation) override {
        raise(FOwner.OnUpdateDragCursor, browser, operation);
    }
    void OnScrollOffsetChanged(const ICefBrowser& browser, double x, double y) override {
        raise(FOwner.OnScrollOffsetChanged, browser, x, y);
    }
    void OnFindResult(const ICefBrowser& browser, int identifier, int count, const cef_rect_t& selection_rect,
                      int active_match_ordinal, bool final_update) override {
        raise(FOwner.OnFindResult, browser, identifier, count, selection_rect, active_match_ordinal, final_update);
    }
    void OnCursorChange(const ICefBrowser& browser, HCURSOR cursor, cef_cursor_type_t cursor_type,
                        const cef_cursor_info_t* custom_cursor_info) override {
        raise(FOwner.OnCursorChange, browser, cursor, cursor_type, custom_cursor_info);
    }
    void OnTooltip(const ICefBrowser& browser, String& text, bool& Cancel) override {
        raise(FOwner.OnTooltip, browser, text, Cancel);
    }
    void OnResetDialogState(const ICefBrowser& browser) override { raise(FOwner.OnResetDialogState, browser); }
    void OnRenderProcessTerminated(const ICefBrowser& browser, cef_termination_status_t status) override {
        raise(FOwner.OnRenderProcessTerminated, browser, status);
    }
    void OnBeforePopup(const ICefBrowser& browser, const ICefFrame& frame, const String& target_url,
                       const String& target_frame_name, cef_window_open_disposition_t target_disposition,
                       bool user_gesture, const cef_popup_features_t& popup_features, cef_window_info_t& window_info,
                       cef_client_t**& client, cef_browser_settings_t& settings, bool& no_javascript_access,
                       bool& Cancel, bool& CancelDefaultEvent) override {
        raise(FOwner.OnBeforePopup, browser, frame, target_url, target_frame_name, target_disposition, user_gesture,
              popup_features, window_info, client, settings, no_javascript_access, Cancel, CancelDefaultEvent);
    }

private:
    template <class E, class... A>
    static void raise(const E& event, A&&... args) {
        if (event) event(std::forward<A>(args)...);
    }
    TCustomWebBrowser& FOwner;
};

// --- TCustomWebBrowser

TCustomWebBrowser::TCustomWebBrowser(TComponent* AOwner)
    : TWinControl(AOwner), FEvents(std::make_unique<event_sink>(*this)), FWebBOptions(std::make_unique<TWebBOptions>()),
      FChromiumOptions(std::make_unique<TChromiumOptions>()),
      FChromiumFontOptions(std::make_unique<TChromiumFontOptions>()) {
    FBrowserView = new TBrowserView(this, FEvents.get(), FWebBOptions.get());
    FBrowserView->SetParent(this);
    FBrowserView->SetAlign(TAlign::alClient);
}

TCustomWebBrowser::~TCustomWebBrowser() {
    // From here on the parent form's messages are dropped, and Load does nothing.
    Destroying();
    // The view goes first: it stops the events the engine still raises, while everything they reach
    // is still here.
    delete FDevToolsView;
    delete FBrowserView;
    delete FDefaultTabControl;
    UnhookParentForm();
}

void TCustomWebBrowser::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == FDefaultTabControl) FDefaultTabControl = nullptr;
    TWinControl::Notification(component, operation);
}

void TCustomWebBrowser::SetWebBOptions(const TWebBOptions& Value) { FWebBOptions->Assign(&Value); }
void TCustomWebBrowser::SetChromiumOptions(const TChromiumOptions& Value) { FChromiumOptions->Assign(&Value); }

// --- Pages

void TCustomWebBrowser::AddPage(const String& url) { FBrowserView->AddPage(url, FDefaultUrl); }

void TCustomWebBrowser::Load(const String& url) {
    if (ComponentState().contains(TComponentStateFlag::csDestroying)) return;
    FBrowserView->Load(url);
}

void TCustomWebBrowser::GoHome() { Load(FDefaultUrl); }
bool TCustomWebBrowser::ShowBrowser(int browser_id) { return FBrowserView->ShowBrowser(browser_id); }
bool TCustomWebBrowser::ShowBrowser(const ICefBrowser& browser) { return FBrowserView->ShowBrowser(browser); }

bool TCustomWebBrowser::CloseBrowser(int close_browser_id, int show_browser_id) {
    return FBrowserView->CloseBrowser(close_browser_id, show_browser_id);
}

bool TCustomWebBrowser::CloseAllOtherBrowser(int browser_id) {
    const bool destroyed = FBrowserView->CloseAllOtherBrowser(browser_id);
    // The shown page may have been one of the others: the kept page is shown, not an empty area.
    if (FBrowserView->ActiveBrowserId() != browser_id) FBrowserView->ShowBrowser(browser_id);
    return destroyed;
}

void TCustomWebBrowser::CloseAllBrowser(bool is_trig_close_page_event) {
    FBrowserView->CloseAllBrowser(is_trig_close_page_event);
}

void TCustomWebBrowser::CopyBrowser(int browser_id) { FBrowserView->CopyBrowser(browser_id); }
void TCustomWebBrowser::CopyBrowser(const ICefBrowser& browser) { FBrowserView->CopyBrowser(browser); }
void TCustomWebBrowser::GoBack() { FBrowserView->GoBack(); }
void TCustomWebBrowser::GoForward() { FBrowserView->GoForward(); }
void TCustomWebBrowser::Reload() { FBrowserView->Reload(); }
void TCustomWebBrowser::ReloadIgnoreCache() { FBrowserView->ReloadIgnoreCache(); }
void TCustomWebBrowser::StopLoad() { FBrowserView->StopLoad(); }
void TCustomWebBrowser::Print() { FBrowserView->Print(); }
void TCustomWebBrowser::ExecuteJavaScript(const String& code) { FBrowserView->ExecuteJavaScript(code); }
void TCustomWebBrowser::DownloadFile(const String& file_url) { FBrowserView->DownloadFile(file_url); }
void TCustomWebBrowser::GetSourceInNewPage() { FBrowserView->GetSourceInNewPage(); }
void TCustomWebBrowser::ReOpenClosedPage() { FBrowserView->ReOpenClosedPage(); }
void TCustomWebBrowser::SearchText() { FBrowserView->SearchText(); }
bool TCustomWebBrowser::GetSource(String& SourceText, DWORD TimeOut) { return FBrowserView->GetSource(SourceText, TimeOut); }
bool TCustomWebBrowser::GetText(String& aText, DWORD TimeOut) { return FBrowserView->GetText(aText, TimeOut); }
TCefBrowserWrapper* TCustomWebBrowser::GetWrapperBrowsers(int browser_id) const {
    return FBrowserView->BrowserWrappers(browser_id);
}
void TCustomWebBrowser::RunInRenderProcess(const TRenderProcessCallbackA& AProc, void* data) {
    FBrowserView->RunInRenderProcess(AProc, data);
}
void TCustomWebBrowser::AddZoomLevel() { FBrowserView->AddZoomLevel(); }
void TCustomWebBrowser::ReduceZoomLevel() { FBrowserView->ReduceZoomLevel(); }
void TCustomWebBrowser::ResetZoomLevel() { FBrowserView->ResetZoomLevel(); }

// --- DevTools

void TCustomWebBrowser::ShowDevTools(const ICefBrowser& browser) {
    const ICefBrowser page = browser ? browser : FBrowserView->ActiveBrowser();
    if (!page) return;
    if (!FDevToolsView) FDevToolsView = new TDevToolsView(this);
    FDevToolsView->ShowDevTools(page);
}

void TCustomWebBrowser::CloseDevTools(const ICefBrowser& browser) {
    const ICefBrowser page = browser ? browser : FBrowserView->ActiveBrowser();
    if (FDevToolsView) FDevToolsView->CloseDevTools(page);
}

// --- The default tab control
// Each tab's Tag is the identifier of its page.

void TCustomWebBrowser::CreateDefaultTabsControl(int height) {
    if (FDefaultTabControl) return;
    FDefaultTabControl = new TPageControl(this);
    FDefaultTabControl->SetParent(this);
    FDefaultTabControl->SetAlign(TAlign::alTop);
    FDefaultTabControl->SetHeight(height);
    FDefaultTabControl->OnChange = [this](TObject* sender) {
        if (const TTabSheet* sheet = FDefaultTabControl->ActivePage()) ShowBrowser(static_cast<int>(sheet->Tag()));
        if (OnDefaultTabChanged) OnDefaultTabChanged(sender);
    };
    FDefaultTabControl->OnChanging = [this](TObject* sender, bool& allow) {
        if (OnDefaultTabChanging) OnDefaultTabChanging(sender, allow);
    };
}

TTabSheet* TCustomWebBrowser::default_tab(int browser_id) const {
    for (int i = 0; i < FDefaultTabControl->PageCount(); ++i)
        if (FDefaultTabControl->Pages(i)->Tag() == browser_id) return FDefaultTabControl->Pages(i);
    return nullptr;
}

void TCustomWebBrowser::default_tab_added(int browser_id) {
    if (!FDefaultTabControl) return;
    auto* sheet = new TTabSheet(FDefaultTabControl);
    sheet->SetTag(browser_id);
    sheet->SetPageControl(FDefaultTabControl);
    FDefaultTabControl->SetActivePage(sheet);
}

void TCustomWebBrowser::default_tab_titled(int browser_id, const String& title) {
    if (!FDefaultTabControl) return;
    if (TTabSheet* sheet = default_tab(browser_id)) sheet->SetCaption(title);
}

void TCustomWebBrowser::default_tabs_closed(const std::vector<int>& closed_ids, int show_id) {
    if (!FDefaultTabControl) return;
    for (int i = FDefaultTabControl->PageCount(); i-- > 0;) {
        TTabSheet* sheet = FDefaultTabControl->Pages(i);
        if (std::find(closed_ids.begin(), closed_ids.end(), sheet->Tag()) != closed_ids.end()) delete sheet;
    }
    TTabSheet* shown = default_tab(show_id);
    if (shown && shown != FDefaultTabControl->ActivePage()) FDefaultTabControl->SetActivePage(shown);
}

// --- State

TWebBJsExtention& TCustomWebBrowser::JsExtention() const {
    return FBrowserView->JsExtention();
}

TCefBrowserWrapper* TCustomWebBrowser::BrowserWrappers(int browser_id) const {
    return FBrowserView->BrowserWrappers(browser_id);
}
ICefBrowser TCustomWebBrowser::ActiveBrowser() const { return FBrowserView->ActiveBrowser(); }
int TCustomWebBrowser::ActiveBrowserId() const { return FBrowserView->ActiveBrowserId(); }
int TCustomWebBrowser::BrowserCount() const { return FBrowserView->BrowserCount(); }
int TCustomWebBrowser::ClosedUrlCount() const { return FBrowserView->ClosedUrlCount(); }
bool TCustomWebBrowser::IsLoading() const { return FBrowserView->IsLoading(); }
bool TCustomWebBrowser::CanGoBack() const { return FBrowserView->CanGoBack(); }
bool TCustomWebBrowser::CanGoForward() const { return FBrowserView->CanGoForward(); }
String TCustomWebBrowser::URL() const { return FBrowserView->Url(); }
String TCustomWebBrowser::title() const { return FBrowserView->Title(); }
String TCustomWebBrowser::ZoomLevel() const { return FBrowserView->ZoomLevel(); }

// --- The parent form

void TCustomWebBrowser::WndProc(TMessage& Message) {
    TWinControl::WndProc(Message);
    if (Message.Msg == WM_CREATE) HookParentForm();
}

void TCustomWebBrowser::HookParentForm() {
    TCustomForm* form = GetParentForm(this);
    if (!form || form == FParentForm) return;
    UnhookParentForm();
    FParentForm = form;
    FParentFormHook =
        form->HookWindowProc([this](TMessage& m, const TWndMethod& next) { ParentFormWindowProc(m, next); });
}

void TCustomWebBrowser::UnhookParentForm() {
    FParentFormHook.Unhook();
    FParentForm = nullptr;
}

void TCustomWebBrowser::ParentFormWindowProc(TMessage& Message, const TWndMethod& Next) {
    if (ComponentState().contains(TComponentStateFlag::csDestroying)) return;
    switch (Message.Msg) {
    case WM_ACTIVATE:
        // The page's next focus report gives the view the framework's focus, unless the form is activated
        // from another window of the program while the view is its active control.
        if (Message.LParam == 0) FBrowserView->SetIsActivating(false);
        else if (FParentForm) FBrowserView->SetIsActivating(FParentForm->ActiveControl() == FBrowserView);
        break;
    case WM_MOVE:
        notify_move(GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam));
        break;
    case WM_MOVING: {
        const auto* r = reinterpret_cast<const RECT*>(Message.LParam);
        notify_move(r->left, r->top);
        break;
    }
    default:
        break;
    }
    Next(Message);
}

// The engine hides what it shows outside the page (menus, tips) when its window moves.
void TCustomWebBrowser::notify_move(int x, int y) {
    if (!FParentForm || !FBrowserView->HandleAllocated() || FParentForm->WindowState() != TWindowState::wsNormal)
        return;
    if (x == FParentForm->Left() && y == FParentForm->Top()) return;
    if (FIsMoving || FParentForm->Left() < 0 || !Screen) return;
    const std::vector<TMonitor> monitors = Screen->Monitors();
    if (monitors.empty() || monitors.back().Width() < FParentForm->Left() + FParentForm->Width()) return;
    FIsMoving = true;
    const auto done = scope_exit([this] { FIsMoving = false; });
    if (const ICefBrowser page = FBrowserView->ActiveBrowser()) {
        if (const ICefBrowserHost host = page.GetHost()) host.NotifyMoveOrResizeStarted();
    }
}

// --- TWebBrowser

const property_table& TWebBrowser::PublishedProperties() const {
    using C = TCustomWebBrowser; // where the properties live
    static const property_table table =
        property_table::of<C>(TWinControl::PublishedProperties())
            .string(u"DefaultURL", &C::DefaultURL, &C::SetDefaultURL, u"about:blank")
            .persistent(u"WebBOptions", &C::WebBOptions)
            .persistent(u"ChromiumOptions", &C::ChromiumOptions)
            .persistent(u"ChromiumFontOptions", &C::ChromiumFontOptions)
            .event(u"OnDefaultTabChanged", &C::OnDefaultTabChanged)
            .event(u"OnDefaultTabChanging", &C::OnDefaultTabChanging)
            .event(u"OnLoadingStateChange", &C::OnLoadingStateChange)
            .event(u"OnStateChange", &C::OnStateChange)
            .event(u"OnFavIconChange", &C::OnFavIconChange)
            .event(u"OnFullScreenModeChange", &C::OnFullScreenModeChange)
            .event(u"OnAddBrowser", &C::OnAddBrowser)
            .event(u"OnCloseBrowser", &C::OnCloseBrowser)
            .event(u"OnBeforeCloseBrowser", &C::OnBeforeCloseBrowser)
            .event(u"OnLoadStart", &C::OnLoadStart)
            .event(u"OnLoadEnd", &C::OnLoadEnd)
            .event(u"OnLoadError", &C::OnLoadError)
            .event(u"OnBeforeBrowse", &C::OnBeforeBrowse)
            .event(u"OnOpenUrlFromTab", &C::OnOpenUrlFromTab)
            .event(u"OnPreKeyEvent", &C::OnPreKeyEvent)
            .event(u"OnKeyEvent", &C::OnKeyEvent)
            .event(u"OnBeforeResourceLoad", &C::OnBeforeResourceLoad)
            .event(u"OnGetResourceHandler", &C::OnGetResourceHandler)
            .event(u"OnResourceRedirect", &C::OnResourceRedirect)
            .event(u"OnResourceResponse", &C::OnResourceResponse)
            .event(u"OnGotFocus", &C::OnGotFocus)
            .event(u"OnSetFocus", &C::OnSetFocus)
            .event(u"OnTakeFocus", &C::OnTakeFocus)
            .event(u"OnBeforeContextMenu", &C::OnBeforeContextMenu)
            .event(u"OnContextMenuCommand", &C::OnContextMenuCommand)
            .event(u"OnContextMenuDismissed", &C::OnContextMenuDismissed)
            .event(u"OnJsdialog", &C::OnJsdialog)
            .event(u"OnBeforeUnloadDialog", &C::OnBeforeUnloadDialog)
            .event(u"OnDialogClosed", &C::OnDialogClosed)
            .event(u"OnBeforeDownload", &C::OnBeforeDownload)
            .event(u"OnDownloadUpdated", &C::OnDownloadUpdated)
            .event(u"OnGetAuthCredentials", &C::OnGetAuthCredentials)
            .event(u"OnConsoleMessage", &C::OnConsoleMessage)
            .event(u"OnProtocolExecution", &C::OnProtocolExecution)
            .event(u"OnCertificateError", &C::OnCertificateError)
            .event(u"OnFileDialog", &C::OnFileDialog)
            .event(u"OnPluginCrashed", &C::OnPluginCrashed)
            .event(u"OnRequestGeolocationPermission", &C::OnRequestGeolocationPermission)
            .event(u"OnCancelGeolocationPermission", &C::OnCancelGeolocationPermission)
            .event(u"OnQuotaRequest", &C::OnQuotaRequest)
            .event(u"OnDragEnter", &C::OnDragEnter)
            .event(u"OnStartDragging", &C::OnStartDragging)
            .event(u"OnDraggableRegionsChanged", &C::OnDraggableRegionsChanged)
            .event(u"OnUpdateDragCursor", &C::OnUpdateDragCursor)
            .event(u"OnFindResult", &C::OnFindResult)
            .event(u"OnCursorChange", &C::OnCursorChange)
            .event(u"OnTooltip", &C::OnTooltip)
            .event(u"OnResetDialogState", &C::OnResetDialogState)
            .event(u"OnRenderProcessTerminated", &C::OnRenderProcessTerminated)
            .event(u"OnBeforePopup", &C::OnBeforePopup);
    return table;
}

} // namespace kq
