#pragma once
// TWebBrowser, the browser component.
#include <memory>

#include "browser/WebB.CefBrowserWrapper.h"
#include "browser/WebB.Core.JsExtention.h"
#include "browser/WebB.Events.h"
#include "framework/ComCtrls.h"

namespace kq {

class TBrowserView;
class TChromiumFontOptions;
class TChromiumOptions;
class TCustomForm;
class TDevToolsView;
class TWebBOptions;

// The browser component: one window area that shows any number of engine pages, one at a time, and the
// single place where an application learns what they do. Its methods forward to the view that holds the
// pages; its events are raised on the GUI thread, except those the sink marks "engine", which run on
// the engine thread that made the callback. It watches its parent form's window procedure so that the
// engine learns of moves and the view of the form's activation.
class TCustomWebBrowser : public TWinControl {
public:
    explicit TCustomWebBrowser(TComponent* AOwner);
    ~TCustomWebBrowser() override;

    // Opens a new page; an empty address opens DefaultURL.
    void AddPage(const String& url);
    // Loads the address into the shown page (a new page when there is none); ignored while destroyed.
    void Load(const String& url);
    void GoHome();
    bool ShowBrowser(int browser_id);
    bool ShowBrowser(const ICefBrowser& browser);
    bool CloseBrowser(int close_browser_id, int show_browser_id);
    bool CloseAllOtherBrowser(int browser_id);
    void CloseAllBrowser(bool is_trig_close_page_event);
    void CopyBrowser(int browser_id);
    void CopyBrowser(const ICefBrowser& browser);
    void GoBack();
    void GoForward();
    void Reload();
    void ReloadIgnoreCache();
    void StopLoad();
    void Print();
    void ExecuteJavaScript(const String& code);
    void DownloadFile(const String& file_url);
    void GetSourceInNewPage();
    void ReOpenClosedPage();
    void SearchText();
    // The shown page's source or text, waiting up to TimeOut milliseconds for the engine to deliver it;
    // false, with the text delivered before, when it did not come in time.
    bool GetSource(String& SourceText, DWORD TimeOut);
    bool GetText(String& aText, DWORD TimeOut);
    // The state of a page (nil when absent); its fields are guarded by PageLocker.
    TCefBrowserWrapper* GetWrapperBrowsers(int browser_id) const;
    // Runs AProc inside the shown page's renderer; only with the engine in one process (otherwise
    // Exception "暂时只支持单进程模式"). Nothing without a shown page.
    void RunInRenderProcess(const TRenderProcessCallbackA& AProc, void* data);
    // Zoom steps of the shown page; nothing without one.
    void AddZoomLevel();
    void ReduceZoomLevel();
    void ResetZoomLevel();
    // The tools of the given page, or of the shown page for nil; nothing without a page.
    void ShowDevTools(const ICefBrowser& browser = {});
    void CloseDevTools(const ICefBrowser& browser = {});
    // A plain tab control, height pixels high at the top, with a tab per page that follows the pages;
    // selecting a tab shows its page. Made once.
    void CreateDefaultTabsControl(int height);

    const String& DefaultURL() const noexcept { return FDefaultUrl; }
    void SetDefaultURL(const String& Value) { FDefaultUrl = Value; }
    const String& DefaultEncoding() const noexcept { return FDefaultEncoding; }
    void SetDefaultEncoding(const String& Value) { FDefaultEncoding = Value; }
    // The option objects are the component's own; the setters copy the given values.
    TWebBOptions& WebBOptions() const noexcept { return *FWebBOptions; }
    void SetWebBOptions(const TWebBOptions& Value);
    TChromiumOptions& ChromiumOptions() const noexcept { return *FChromiumOptions; }
    void SetChromiumOptions(const TChromiumOptions& Value);
    TChromiumFontOptions& ChromiumFontOptions() const noexcept { return *FChromiumFontOptions; }

    // The state of a page (nil when absent); its fields are guarded by PageLocker.
    TCefBrowserWrapper* BrowserWrappers(int browser_id) const;
    // The view's script bridge; it lives as long as the component.
    TWebBJsExtention& JsExtention() const;
    ICefBrowser ActiveBrowser() const;
    int ActiveBrowserId() const;
    int BrowserCount() const;
    int ClosedUrlCount() const;
    bool IsLoading() const;
    bool CanGoBack() const;
    bool CanGoForward() const;
    String URL() const;
    String title() const;
    // The shown page's zoom as its step's percentage text; empty without a page.
    String ZoomLevel() const;

    // Raised by the default tab control: Sender is that control.
    TNotifyEvent OnDefaultTabChanged;
    TTabChangingEvent OnDefaultTabChanging;
    TWebBrowserEvent<&IWebBrowser::OnLoadingStateChange> OnLoadingStateChange;
    TWebBrowserEvent<&IWebBrowser::OnStateChange> OnStateChange;
    TWebBrowserEvent<&IWebBrowser::OnFavIconChange> OnFavIconChange;
    TWebBrowserEvent<&IWebBrowser::OnFullScreenModeChange> OnFullScreenModeChange;
    TWebBrowserEvent<&IWebBrowser::OnAddBrowser> OnAddBrowser;
    TWebBrowserEvent<&IWebBrowser::OnCloseBrowser> OnCloseBrowser;
    TWebBrowserEvent<&IWebBrowser::OnBeforeCloseBrowser> OnBeforeCloseBrowser;
    TWebBrowserEvent<&IWebBrowser::OnLoadStart> OnLoadStart;
    TWebBrowserEvent<&IWebBrowser::OnLoadEnd> OnLoadEnd;
    TWebBrowserEvent<&IWebBrowser::OnLoadError> OnLoadError;
    TWebBrowserEvent<&IWebBrowser::OnBeforeBrowse> OnBeforeBrowse;
    TWebBrowserEvent<&IWebBrowser::OnOpenUrlFromTab> OnOpenUrlFromTab;
    TWebBrowserEvent<&IWebBrowser::OnPreKeyEvent> OnPreKeyEvent;
    TWebBrowserEvent<&IWebBrowser::OnKeyEvent> OnKeyEvent;
    TWebBrowserEvent<&IWebBrowser::OnBeforeResourceLoad> OnBeforeResourceLoad;
    TWebBrowserEvent<&IWebBrowser::OnGetResourceHandler> OnGetResourceHandler;
    TWebBrowserEvent<&IWebBrowser::OnResourceRedirect> OnResourceRedirect;
    TWebBrowserEvent<&IWebBrowser::OnResourceResponse> OnResourceResponse;
    TWebBrowserEvent<&IWebBrowser::OnGetResourceResponseFilter> OnGetResourceResponseFilter;
    TWebBrowserEvent<&IWebBrowser::OnResourceLoadComplete> OnResourceLoadComplete;
    TWebBrowserEvent<&IWebBrowser::OnGotFocus> OnGotFocus;
    TWebBrowserEvent<&IWebBrowser::OnSetFocus> OnSetFocus;
    TWebBrowserEvent<&IWebBrowser::OnTakeFocus> OnTakeFocus;
    TWebBrowserEvent<&IWebBrowser::OnBeforeContextMenu> OnBeforeContextMenu;
    TWebBrowserEvent<&IWebBrowser::OnContextMenuCommand> OnContextMenuCommand;
    TWebBrowserEvent<&IWebBrowser::OnContextMenuDismissed> OnContextMenuDismissed;
    TWebBrowserEvent<&IWebBrowser::OnJsdialog> OnJsdialog;
    TWebBrowserEvent<&IWebBrowser::OnBeforeUnloadDialog> OnBeforeUnloadDialog;
    TWebBrowserEvent<&IWebBrowser::OnDialogClosed> OnDialogClosed;
    TWebBrowserEvent<&IWebBrowser::OnBeforeDownload> OnBeforeDownload;
    TWebBrowserEvent<&IWebBrowser::OnDownloadUpdated> OnDownloadUpdated;
    TWebBrowserEvent<&IWebBrowser::OnGetAuthCredentials> OnGetAuthCredentials;
    TWebBrowserEvent<&IWebBrowser::OnConsoleMessage> OnConsoleMessage;
    TWebBrowserEvent<&IWebBrowser::OnProtocolExecution> OnProtocolExecution;
    TWebBrowserEvent<&IWebBrowser::OnCertificateError> OnCertificateError;
    TWebBrowserEvent<&IWebBrowser::OnFileDialog> OnFileDialog;
    TWebBrowserEvent<&IWebBrowser::OnPluginCrashed> OnPluginCrashed;
    TWebBrowserEvent<&IWebBrowser::OnRequestGeolocationPermission> OnRequestGeolocationPermission;
    TWebBrowserEvent<&IWebBrowser::OnCancelGeolocationPermission> OnCancelGeolocationPermission;
    TWebBrowserEvent<&IWebBrowser::OnQuotaRequest> OnQuotaRequest;
    TWebBrowserEvent<&IWebBrowser::OnDragEnter> OnDragEnter;
    TWebBrowserEvent<&IWebBrowser::OnStartDragging> OnStartDragging;
    TWebBrowserEvent<&IWebBrowser::OnDraggableRegionsChanged> OnDraggableRegionsChanged;
    TWebBrowserEvent<&IWebBrowser::OnUpdateDragCursor> OnUpdateDragCursor;
    TWebBrowserEvent<&IWebBrowser::OnScrollOffsetChanged> OnScrollOffsetChanged;
    TWebBrowserEvent<&IWebBrowser::OnFindResult> OnFindResult;
    TWebBrowserEvent<&IWebBrowser::OnCursorChange> OnCursorChange;
    TWebBrowserEvent<&IWebBrowser::OnTooltip> OnTooltip;
    TWebBrowserEvent<&IWebBrowser::OnResetDialogState> OnResetDialogState;
    TWebBrowserEvent<&IWebBrowser::OnRenderProcessTerminated> OnRenderProcessTerminated;
    TWebBrowserEvent<&IWebBrowser::OnBeforePopup> OnBeforePopup;

    void Notification(TComponent* component, TOperation operation) override;

protected:
    void WndProc(TMessage& Message) override;

private:
    class event_sink;
    // The default tab control's part of the page events.
    TTabSheet* default_tab(int browser_id) const;
    void default_tab_added(int browser_id);
    void default_tab_titled(int browser_id, const String& title);
    void default_tabs_closed(const std::vector<int>& closed_ids, int show_id);
    void HookParentForm();
    void UnhookParentForm();
    void ParentFormWindowProc(TMessage& Message, const TWndMethod& Next);
    void notify_move(int x, int y);

    std::unique_ptr<event_sink> FEvents;
    std::unique_ptr<TWebBOptions> FWebBOptions;
    std::unique_ptr<TChromiumOptions> FChromiumOptions;
    std::unique_ptr<TChromiumFontOptions> FChromiumFontOptions;
    TBrowserView* FBrowserView = nullptr;   // owned as a component
    TDevToolsView* FDevToolsView = nullptr; // owned as a component, made on first use
    TPageControl* FDefaultTabControl = nullptr; // owned as a component, made on request
    String FDefaultUrl = u"about:blank";
    String FDefaultEncoding;
    bool FIsMoving = false;
    TCustomForm* FParentForm = nullptr;
    window_hook FParentFormHook;
};

// The component as forms hold it.
class TWebBrowser : public TCustomWebBrowser {
public:
    using TCustomWebBrowser::TCustomWebBrowser;
    const property_table& PublishedProperties() const override;
};

} // namespace kq
