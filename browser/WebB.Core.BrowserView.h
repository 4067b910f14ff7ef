#pragma once
// TBrowserView, the window area of the pages and its message table.
#include <memory>
#include <vector>

#include "browser/WebB.CefBrowserWrapper.h"
#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Core.JsExtention.h"
#include "browser/WebB.Events.h"
#include "browser/WebB.Utils.h"
#include "framework/Controls.h"

namespace kq {

class TWebBOptions;

// The window area that shows any number of engine pages as its child windows, one of them (the active
// page) visible. It receives the engine callbacks carried to the GUI thread and raises the component's
// events for them. Every operation runs on the GUI thread.
class TBrowserView : public TWinControl {
public:
    TBrowserView(TComponent* AOwner, IWebBrowser* events, TWebBOptions* web_b_options);
    ~TBrowserView() override;

    void AddPage(const String& url, const String& default_url);
    void Load(const String& url);
    bool ShowBrowser(const ICefBrowser& browser);
    // False, changing nothing, for an identifier not in the table.
    bool ShowBrowser(int browser_id);
    bool CloseBrowser(int close_browser_id, int show_browser_id);
    bool CloseAllOtherBrowser(int browser_id);
    void CloseAllBrowser(bool is_trig_close_page_event);
    void CopyBrowser(int browser_id);
    void CopyBrowser(const ICefBrowser& browser);
    void ReOpenClosedPage();
    void GoBack();
    void GoForward();
    void Reload();
    void ReloadIgnoreCache();
    void StopLoad();
    void Print();
    void ExecuteJavaScript(const String& code);
    void DownloadFile(const String& file_url);
    void GetSourceInNewPage();
    // The active page's source (GetSource) or text (GetText), which the engine delivers later: waits for it
    // up to TimeOut milliseconds, serving messages. True with the text just delivered; false with the text
    // an earlier call received when it did not come in time (also when there is no active page).
    bool GetSource(String& SourceText, DWORD TimeOut);
    bool GetText(String& aText, DWORD TimeOut);
    void SearchText() {}
    // Runs AProc inside the active page's renderer; only with the engine in one process (otherwise
    // Exception "暂时只支持单进程模式"). Nothing without an active page.
    void RunInRenderProcess(const TRenderProcessCallbackA& AProc, void* data);
    TWebBJsExtention& JsExtention() noexcept { return *FJsExtention; }

    // Zoom steps of the active page, whole levels from -6 ("25%") to 9 ("500%"); nothing without one.
    void AddZoomLevel();
    void ReduceZoomLevel();
    void ResetZoomLevel();
    // The text of the active page's level: its percentage for one of the steps, else the level as a
    // number; empty without an active page.
    String ZoomLevel() const;

    bool Empty() const;
    int BrowserCount() const;
    int ClosedUrlCount() const;
    String Title() const;
    String Url() const;
    const ICefBrowser& ActiveBrowser() const noexcept { return FActiveBrowser; }
    int ActiveBrowserId() const noexcept { return FActiveBrowserId; }
    bool IsLoading() const noexcept { return FLoadingState & 1; }
    bool CanGoBack() const noexcept { return FLoadingState & 2; }
    bool CanGoForward() const noexcept { return FLoadingState & 4; }
    bool IsActivating() const noexcept { return FIsActivating; }
    void SetIsActivating(bool Value) noexcept { FIsActivating = Value; }
    // The wrapper of a page (nil when absent); its fields are guarded by PageLocker.
    TCefBrowserWrapper* BrowserWrappers(int browser_id) const;

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;

private:
    void NewBrowser(const String& url);
    bool CloseBrowserInternal(int close_browser_id, int show_browser_id, TCloseBrowserType close_type);
    void HideActiveBrowser();
    void SetActiveBrowser(const ICefBrowser& browser);
    void ResizeActiveBrowser();
    void ClearPages();
    void close_pages(const std::vector<int>& ids, bool& destroyed);
    void send_wm_close_when_empty();
    bool dispatch_page_message(TMessage& Message);
    // The default behaviour, when the event's handler left it.
    void default_popup(const cef_popup_features_t& features, cef_window_info_t& window);
    void default_error_page(const ICefBrowser& browser, int errorCode, const String& failed_url);
    void default_script_dialog(const jsdialog_record& r);
    void default_leave_page(const before_unload_record& r);
    void default_authentication(const ICefAuthCallback& callback);
    void default_download(const String& suggested_name, const ICefBeforeDownloadCallback& callback);
    void choose_favicon(const ICefBrowser& browser, const std::vector<String>& urls);
    void pre_key(const ICefBrowser& browser, pre_key_record& r);
    bool visit_active_page(void (ICefFrame::*ask)(const engine_ref<cef_string_visitor_t>&) const, String& text,
                           DWORD TimeOut);

    IWebBrowser* FEvents;
    std::shared_ptr<sink_link> FSinkLink;
    engine_ref<cef_client_t> FHandler;
    std::unique_ptr<TWebBJsExtention> FJsExtention = std::make_unique<TWebBJsExtention>();
    TBrowserWrapperDic FBrowserDic;
    std::vector<String> FClosedURL; // oldest first; guarded by ClosedUrlLocker
    TWebBOptions* FWebBOptions;
    ICefBrowser FActiveBrowser;
    HWND FActiveBrowserWinHandle = nullptr; // none: no page, or a page without a window
    int FActiveBrowserId = -1;
    int FLoadingState = 1;
    String FLastTitle = u"正在加载";
    String FLastAddress;
    bool FIsActivating = true;
    bool FDestroying = false;
    // The last source or text delivered; shared with the visits still on their way.
    struct web_code;
    std::shared_ptr<web_code> FWebCode;
};

} // namespace kq
