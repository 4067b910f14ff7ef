#include "browser/WebB.Core.BrowserView.h"

#include "browser/WebB.Cef.CefErr.h"
#include "browser/WebB.Core.App.h"
#include "browser/WebB.CustomDialog.h"
#include "browser/WebB.Locker.h"
#include "browser/WebB.Settings.h"
#include "browser/WebB.Utils.h"
#include "engine/EngineStrings.h"
#include "framework/Conversions.h"
#include "framework/Dialogs.h"
#include "framework/Forms.h"
#include "framework/Messages.h"

#include <array>
#include <functional>
#include <memory>
#include <mutex>

namespace kq {

namespace {
constexpr DWORD page_style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP; // 0x56010000

// The zoom steps: levels -6 to 9 of the engine.
constexpr int lowest_zoom_level = -6;
constexpr int highest_zoom_level = 9;
constexpr std::array<const char16_t*, 16> zoom_texts{u"25%",  u"33%",  u"50%",  u"67%",  u"75%",  u"90%",
                                                     u"100%", u"110%", u"125%", u"150%", u"175%", u"200%",
                                                     u"250%", u"300%", u"400%", u"500%"};

// Text put into the error page stays text, whatever the failed address holds.
String html_escaped(const String& text) {
    String out;
    for (const char16_t c : text) {
        switch (c) {
        case u'&': out += u"&amp;"; break;
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'"': out += u"&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// The favicon a page declares: the last address with ".ico" after its first character, trimmed.
String favicon_address(const std::vector<String>& urls) {
    String chosen;
    for (const String& url : urls) {
        const size_t at = url.find(u".ico");
        if (at != String::npos && at > 0) chosen = url;
    }
    return Trim(chosen);
}
} // namespace

struct TBrowserView::web_code {
    std::mutex lock; // the engine may deliver on any thread
    String text;
};

namespace {
// Hands one delivered text to the view's store and tells the waiting call.
class web_code_visitor : public engine_object<cef_string_visitor_t> {
public:
    using store = std::function<void(const String&)>;
    explicit web_code_visitor(store done) : FDone(std::move(done)) {
        cef()->visit = &engine_thunk<&web_code_visitor::Visit>::call;
    }

private:
    void Visit(const cef_string_t* text) { FDone(to_string(text)); }
    store FDone;
};
} // namespace

TBrowserView::TBrowserView(TComponent* AOwner, IWebBrowser* events, TWebBOptions* web_b_options)
    : TWinControl(AOwner), FEvents(events), FSinkLink(std::make_shared<sink_link>(events)), FBrowserDic(events),
      FWebBOptions(web_b_options), FWebCode(std::make_shared<web_code>()) {}

TBrowserView::~TBrowserView() {
    // Views messages still on their way from engine threads find no view from here on.
    FDestroying = true;
    ClearPages();
    DestroyHandle();
}

void TBrowserView::CreateParams(TCreateParams& Params) {
    TWinControl::CreateParams(Params);
    Params.Style |= WS_CLIPCHILDREN;
}

// --- Pages

void TBrowserView::AddPage(const String& url, const String& default_url) {
    NewBrowser(url.empty() ? default_url : url);
}

void TBrowserView::Load(const String& url) {
    if (Empty()) {
        NewBrowser(url);
    } else {
        FActiveBrowser.GetMainFrame().LoadUrl(url);
    }
}

void TBrowserView::NewBrowser(const String& url) {
    assert_gui_thread();
    if (!FHandler) FHandler = make_engine_object<TWebBHandler>(false, FSinkLink);
    cef_window_info_t window{};
    window.style = page_style;
    window.parent_window = Handle();
    RECT r{};
    ::GetClientRect(Handle(), &r);
    window.x = r.left;
    window.y = r.top;
    window.width = r.right - r.left;
    window.height = r.bottom - r.top;
    browser_settings_record settings;
    FEvents->FillBrowserSettings(settings.get());
    if (WebBApp->IsNeedInitInMainProcess())
        throw Exception(u"TWebBApp.LoadLib must be called first in the main process");
    WebBApp->Init();
    const ICefBrowser browser = WebBApp->CefBrowserHostCreateSync(window, FHandler, u"", settings.get(), nullptr);
    // The page shown so far stays shown when the engine made nothing.
    if (!browser) throw Exception(u"The browser engine could not create a page");
    engine_impl<TWebBHandler>(FHandler.get())->StartTimer();
    browser.GetMainFrame().LoadUrl(url);
}

void TBrowserView::HideActiveBrowser() {
    if (FActiveBrowser && FActiveBrowserWinHandle) ::ShowWindow(FActiveBrowserWinHandle, SW_HIDE);
}

void TBrowserView::SetActiveBrowser(const ICefBrowser& browser) {
    FActiveBrowser = browser;
    FActiveBrowserId = browser.GetIdentifier();
    const ICefBrowserHost host = browser.GetHost();
    FActiveBrowserWinHandle = host ? host.GetWindowHandle() : nullptr;
    if (host) host.SetFocus(true);
}

bool TBrowserView::ShowBrowser(const ICefBrowser& browser) {
    HideActiveBrowser();
    if (!browser) return false;
    const ICefBrowserHost host = browser.GetHost();
    const HWND window = host ? host.GetWindowHandle() : nullptr;
    if (!window) return false;
    ::ShowWindow(window, SW_SHOWMAXIMIZED);
    SetActiveBrowser(browser);
    String address, title;
    bool registered = false;
    {
        const std::lock_guard lock(*PageLocker);
        if (const TCefBrowserWrapper* page = FBrowserDic.Find(FActiveBrowserId)) {
            address = page->LastAddress();
            title = page->LastTitle();
            registered = true;
        }
    }
    if (registered) {
        // The shown page's address and title are reported again.
        Perform(view_msg::address_change, reinterpret_cast<WPARAM>(&browser), reinterpret_cast<LPARAM>(&address));
        Perform(view_msg::title_change, reinterpret_cast<WPARAM>(&browser), reinterpret_cast<LPARAM>(&title));
    }
    return true;
}

bool TBrowserView::ShowBrowser(int browser_id) {
    ICefBrowser browser;
    {
        const std::lock_guard lock(*PageLocker);
        const TCefBrowserWrapper* page = FBrowserDic.Find(browser_id);
        if (!page) return false;
        browser = page->Browser();
    }
    return ShowBrowser(browser);
}

bool TBrowserView::CloseBrowser(int close_browser_id, int show_browser_id) {
    return CloseBrowserInternal(close_browser_id, show_browser_id, CLOSETYPE_DEFAULT);
}

bool TBrowserView::CloseBrowserInternal(int close_browser_id, int show_browser_id, TCloseBrowserType close_type) {
    const std::lock_guard lock(*PageLocker);
    TCefBrowserWrapper* closing = FBrowserDic.Find(close_browser_id);
    if (!closing) return false;
    const TCefBrowserWrapper* showing = FBrowserDic.Find(show_browser_id);
    const ICefBrowser to_show = showing ? showing->Browser() : ICefBrowser();
    const ICefBrowser page = closing->Browser();
    {
        const std::lock_guard closed_lock(*ClosedUrlLocker);
        FClosedURL.push_back(page.GetMainFrame().GetUrl());
    }
    page.StopLoad();
    const std::vector<int> ids{close_browser_id};
    int show_id = show_browser_id;
    FEvents->OnBeforeCloseBrowser(ids, close_type, show_id);
    const ICefBrowserHost host = page.GetHost();
    const bool destroyed = host && ::DestroyWindow(host.GetWindowHandle());
    FEvents->OnCloseBrowser(ids, show_id);
    FBrowserDic.Remove(close_browser_id);
    TWebBJsExtention::PageClosed(close_browser_id);
    send_wm_close_when_empty();
    // A handler may have closed the page to show meanwhile; showing it would hide the one shown now.
    if (to_show && to_show.GetIdentifier() != close_browser_id && FBrowserDic.Find(to_show.GetIdentifier()))
        ShowBrowser(to_show);
    return destroyed;
}

void TBrowserView::send_wm_close_when_empty() {
    if (FBrowserDic.Count() == 0 && FWebBOptions && FWebBOptions->CloseWPagesClosed() && Application)
        ::SendMessageW(Application->Handle(), WM_CLOSE, 0, 0);
}

// Closes the listed pages: each one's address goes to the closed-page list, it stops loading, its window
// is destroyed and it leaves the table. Both locks are held by the caller.
void TBrowserView::close_pages(const std::vector<int>& ids, bool& destroyed) {
    for (const int id : ids) {
        const TCefBrowserWrapper* page = FBrowserDic.Find(id);
        if (!page) continue;
        const ICefBrowser browser = page->Browser();
        FClosedURL.push_back(browser.GetMainFrame().GetUrl());
        browser.StopLoad();
        const ICefBrowserHost host = browser.GetHost();
        destroyed = host && ::DestroyWindow(host.GetWindowHandle());
        FBrowserDic.Remove(id);
        TWebBJsExtention::PageClosed(id);
    }
}

void TBrowserView::CloseAllBrowser(bool is_trig_close_page_event) {
    const std::lock_guard page_lock(*PageLocker); // before the closed-page list's
    const std::lock_guard closed_lock(*ClosedUrlLocker);
    std::vector<int> ids;
    for (const auto& [id, page] : FBrowserDic.Items()) ids.push_back(id);
    int show_id = -1;
    if (is_trig_close_page_event) FEvents->OnBeforeCloseBrowser(ids, CLOSETYPE_DEFAULT, show_id);
    bool destroyed = false;
    close_pages(ids, destroyed);
    if (is_trig_close_page_event) FEvents->OnCloseBrowser(ids, show_id);
    send_wm_close_when_empty();
}

bool TBrowserView::CloseAllOtherBrowser(int browser_id) {
    const std::lock_guard page_lock(*PageLocker); // before the closed-page list's
    const std::lock_guard closed_lock(*ClosedUrlLocker);
    std::vector<int> ids;
    for (const auto& [id, page] : FBrowserDic.Items()) {
        if (id != browser_id) ids.push_back(id);
    }
    int show_id = browser_id;
    FEvents->OnBeforeCloseBrowser(ids, CLOSETYPE_DEFAULT, show_id);
    bool destroyed = false;
    close_pages(ids, destroyed);
    FEvents->OnCloseBrowser(ids, -1);
    return destroyed;
}

void TBrowserView::CopyBrowser(int browser_id) {
    ICefBrowser browser;
    {
        const std::lock_guard lock(*PageLocker);
        if (const TCefBrowserWrapper* page = FBrowserDic.Find(browser_id)) browser = page->Browser();
    }
    CopyBrowser(browser);
}

void TBrowserView::CopyBrowser(const ICefBrowser& browser) {
    if (browser) NewBrowser(browser.GetMainFrame().GetUrl());
}

void TBrowserView::ReOpenClosedPage() {
    String url;
    {
        const std::lock_guard lock(*ClosedUrlLocker);
        if (FClosedURL.empty()) return;
        url = FClosedURL.front();
        FClosedURL.erase(FClosedURL.begin());
    }
    NewBrowser(url);
}

void TBrowserView::GoBack() {
    if (FActiveBrowser) FActiveBrowser.GoBack();
}

void TBrowserView::GoForward() {
    if (FActiveBrowser) FActiveBrowser.GoForward();
}

void TBrowserView::Reload() {
    if (!FActiveBrowser) return;
    FActiveBrowser.Reload();
    SetActiveBrowser(FActiveBrowser);
}

void TBrowserView::ReloadIgnoreCache() {
    if (!FActiveBrowser) return;
    FActiveBrowser.ReloadIgnoreCache();
    SetActiveBrowser(FActiveBrowser);
}

void TBrowserView::StopLoad() {
    if (!FActiveBrowser) return;
    FActiveBrowser.StopLoad();
    SetActiveBrowser(FActiveBrowser);
}

void TBrowserView::Print() {
    if (FActiveBrowser) FActiveBrowser.GetHost().Print();
}

void TBrowserView::ExecuteJavaScript(const String& code) {
    if (FActiveBrowser) FActiveBrowser.GetMainFrame().ExecuteJavaScript(code, u"about:blank", 0);
}

void TBrowserView::DownloadFile(const String& file_url) {
    if (FActiveBrowser) FActiveBrowser.GetHost().StartDownload(file_url);
}

void TBrowserView::GetSourceInNewPage() {
    if (FActiveBrowser) NewBrowser(u"view-source:" + FActiveBrowser.GetMainFrame().GetUrl());
}

bool TBrowserView::GetSource(String& SourceText, DWORD TimeOut) {
    return visit_active_page(&ICefFrame::GetSource, SourceText, TimeOut);
}

bool TBrowserView::GetText(String& aText, DWORD TimeOut) { return visit_active_page(&ICefFrame::GetText, aText, TimeOut); }

bool TBrowserView::visit_active_page(void (ICefFrame::*ask)(const engine_ref<cef_string_visitor_t>&) const,
                                     String& text, DWORD TimeOut) {
    bool arrived = false;
    if (FActiveBrowser) {
        // The visit may come after this call has given up, or after the view has gone.
        const auto done = std::make_shared<TEvent>(true, false);
        const std::shared_ptr<web_code> code = FWebCode;
        (FActiveBrowser.GetMainFrame().*ask)(make_engine_object<web_code_visitor>([done, code](const String& t) {
            {
                const std::lock_guard lock(code->lock);
                code->text = t;
            }
            done->SetEvent();
        }));
        arrived = WaitForReply(done->Handle(), TimeOut) == TWaitResult::wrSignaled;
    }
    const std::lock_guard lock(FWebCode->lock);
    text = FWebCode->text;
    return arrived;
}

void TBrowserView::RunInRenderProcess(const TRenderProcessCallbackA& AProc, void* data) {
    if (!WebBApp->CefSingleProcess()) throw Exception(u"暂时只支持单进程模式");
    if (FActiveBrowser) send_run_in_render(FActiveBrowser, AProc, data);
}

void TBrowserView::AddZoomLevel() {
    if (!FActiveBrowser) return;
    const ICefBrowserHost host = FActiveBrowser.GetHost();
    if (const double level = host.GetZoomLevel(); level < highest_zoom_level) host.SetZoomLevel(level + 1);
}

void TBrowserView::ReduceZoomLevel() {
    if (!FActiveBrowser) return;
    const ICefBrowserHost host = FActiveBrowser.GetHost();
    if (const double level = host.GetZoomLevel(); level > lowest_zoom_level) host.SetZoomLevel(level - 1);
}

void TBrowserView::ResetZoomLevel() {
    if (FActiveBrowser) FActiveBrowser.GetHost().SetZoomLevel(0);
}

String TBrowserView::ZoomLevel() const {
    if (!FActiveBrowser) return {};
    const double level = FActiveBrowser.GetHost().GetZoomLevel();
    for (int step = lowest_zoom_level; step <= highest_zoom_level; ++step) {
        if (level == step) return zoom_texts[static_cast<size_t>(step - lowest_zoom_level)];
    }
    return FloatToStr(level);
}

void TBrowserView::ClearPages() {
    std::vector<int> ids;
    {
        const std::lock_guard lock(*PageLocker);
        for (const auto& [id, page] : FBrowserDic.Items()) ids.push_back(id);
        FBrowserDic.Clear();
    }
    // Replies for these pages came through this view; calls of other views' bridges stop waiting.
    for (const int id : ids) TWebBJsExtention::PageClosed(id);
    // Callbacks the engine still makes for the pages raise nothing from here on.
    FSinkLink->clear();
    if (FHandler) {
        engine_impl<TWebBHandler>(FHandler.get())->ReleaseHandlers();
        FHandler.reset();
    }
}

// --- State

bool TBrowserView::Empty() const {
    if (!FActiveBrowser) return true;
    const std::lock_guard lock(*PageLocker);
    return FBrowserDic.Count() == 0;
}

int TBrowserView::BrowserCount() const {
    const std::lock_guard lock(*PageLocker);
    return FBrowserDic.Count();
}

int TBrowserView::ClosedUrlCount() const {
    const std::lock_guard lock(*ClosedUrlLocker);
    return static_cast<int>(FClosedURL.size());
}

String TBrowserView::Title() const {
    const std::lock_guard lock(*PageLocker);
    const TCefBrowserWrapper* page = FActiveBrowser ? FBrowserDic.Find(FActiveBrowserId) : nullptr;
    return page ? page->LastTitle() : String();
}

String TBrowserView::Url() const { return FActiveBrowser ? FActiveBrowser.GetMainFrame().GetUrl() : String(); }

TCefBrowserWrapper* TBrowserView::BrowserWrappers(int browser_id) const {
    const std::lock_guard lock(*PageLocker);
    return FBrowserDic.Find(browser_id);
}

// --- Messages

void TBrowserView::ResizeActiveBrowser() {
    if (!FActiveBrowser || !FActiveBrowserWinHandle) return;
    const ICefBrowserHost host = FActiveBrowser.GetHost();
    if (host) host.NotifyMoveOrResizeStarted();
    RECT r{};
    ::GetClientRect(Handle(), &r);
    HDWP pos = ::BeginDeferWindowPos(1);
    pos = ::DeferWindowPos(pos, FActiveBrowserWinHandle, nullptr, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, SWP_NOZORDER);
    ::EndDeferWindowPos(pos);
}

void TBrowserView::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SIZE:
        TWinControl::WndProc(Message);
        ResizeActiveBrowser();
        return;
    case WM_ERASEBKGND:
        if (!FActiveBrowser) TWinControl::WndProc(Message);
        else Message.Result = 1;
        return;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case CM_WANTSPECIALKEY:
        switch (Message.WParam) {
        case VK_RETURN: case VK_ESCAPE: case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
            TWinControl::WndProc(Message);
            return;
        default:
            Message.Result = 1;
            return;
        }
    default:
        if (Message.Msg > WM_USER && Message.Msg <= WM_USER + 52 && dispatch_page_message(Message)) return;
        TWinControl::WndProc(Message);
    }
}

// The engine callbacks carried here; false for a message the view leaves to the default handling.
bool TBrowserView::dispatch_page_message(TMessage& Message) {
    if (FDestroying) return true; // answered 0: the pages are going
    const UINT n = Message.Msg;
    if (n == view_msg::fullscreen_change) return false;
    if (n == view_msg::focus_view) {
        if (CanFocus()) SetFocus();
        return true;
    }
    // A copy of the sender's reference: the page stays valid however the handling ends.
    const ICefBrowser browser = *reinterpret_cast<const ICefBrowser*>(Message.WParam);
    const LPARAM l = Message.LParam;
    IWebBrowser& events = *FEvents;
    const auto text = [l] { return *reinterpret_cast<const String*>(l); };
    Message.Result = 0;
    switch (n) {
    case view_msg::loading_state: {
        const int bits = static_cast<int>(l);
        {
            const std::lock_guard lock(*PageLocker);
            if (TCefBrowserWrapper* page = FBrowserDic.Find(browser.GetIdentifier())) page->SetLoadingState(bits);
        }
        if (browser.GetIdentifier() == FActiveBrowserId) FLoadingState = bits;
        events.OnLoadingStateChange(browser, bits & 1, bits & 2, bits & 4);
        return true;
    }
    case view_msg::popup_check: return true;
    case view_msg::before_popup: {
        auto& r = *reinterpret_cast<popup_record*>(l);
        events.OnBeforePopup(browser, *r.frame, *r.targetUrl, *r.targetFrameName, r.targetDisposition, r.userGesture,
                             *r.popupFeatures, *r.window_info, r.client, *r.settings, *r.noJavascriptAccess, *r.Cancel,
                             r.CancelDefaultEvent);
        if (!r.CancelDefaultEvent) default_popup(*r.popupFeatures, *r.window_info);
        return true;
    }
    case view_msg::after_created:
        ShowBrowser(browser);
        {
            const std::lock_guard lock(*PageLocker);
            FBrowserDic.Add(browser);
        }
        events.OnAddBrowser(browser);
        return true;
    case view_msg::load_start:
        Perform(WM_SIZE, 0, 0);
        events.OnLoadStart(browser, *reinterpret_cast<const ICefFrame*>(l));
        return true;
    case view_msg::load_end: {
        const auto& r = *reinterpret_cast<const load_end_record*>(l);
        Perform(WM_SIZE, 0, 0);
        events.OnLoadEnd(browser, *r.frame, r.httpStatusCode);
        return true;
    }
    case view_msg::load_error: {
        auto& r = *reinterpret_cast<load_error_record*>(l);
        events.OnLoadError(browser, *r.frame, r.errorCode, *r.errorText, *r.failed_url, r.CancelDefaultEvent);
        if (!r.CancelDefaultEvent) default_error_page(browser, r.errorCode, *r.failed_url);
        return true;
    }
    case view_msg::got_focus: {
        bool cancel = false;
        events.OnGotFocus(browser, cancel);
        if (cancel) return true;
        if (FIsActivating) {
            FIsActivating = false;
        } else {
            Perform(view_msg::focus_view, 0, 0);
        }
        return true;
    }
    case view_msg::set_focus: {
        auto& r = *reinterpret_cast<set_focus_record*>(l);
        events.OnSetFocus(browser, *r.source, *r.Cancel, r.CancelDefaultEvent);
        return true;
    }
    case view_msg::take_focus:
        events.OnTakeFocus(browser, *reinterpret_cast<const bool*>(l));
        return true;
    case view_msg::before_context_menu: {
        const auto& r = *reinterpret_cast<const context_menu_record*>(l);
        events.OnBeforeContextMenu(browser, *r.frame, *r.params, *r.model);
        return true;
    }
    case view_msg::context_menu_dismissed:
        events.OnContextMenuDismissed(browser, *reinterpret_cast<const ICefFrame*>(l));
        return true;
    case view_msg::key_event: {
        auto& r = *reinterpret_cast<key_record*>(l);
        events.OnKeyEvent(browser, *r.event, r.osEvent, *r.Cancel);
        return true;
    }
    case view_msg::pre_key_event:
        pre_key(browser, *reinterpret_cast<pre_key_record*>(l));
        return true;
    case view_msg::download_updated: {
        const auto& r = *reinterpret_cast<const download_updated_record*>(l);
        events.OnDownloadUpdated(browser, *r.downloadItem, *r.callback);
        return true;
    }
    case view_msg::geolocation_request: {
        auto& r = *reinterpret_cast<geolocation_record*>(l);
        events.OnRequestGeolocationPermission(browser, *r.requestingUrl, r.requestId, *r.callback, *r.Cancel);
        return true;
    }
    case view_msg::geolocation_cancel:
        events.OnCancelGeolocationPermission(browser, *reinterpret_cast<const int*>(l));
        return true;
    case view_msg::reset_dialog_state:
        events.OnResetDialogState(browser);
        return true;
    case view_msg::dialog_closed:
        events.OnDialogClosed(browser);
        return true;
    case view_msg::drag_enter: {
        auto& r = *reinterpret_cast<drag_enter_record*>(l);
        events.OnDragEnter(browser, *r.dragData, *r.mask, *r.Cancel);
        return true;
    }
    case view_msg::context_menu_command: {
        auto& r = *reinterpret_cast<context_menu_command_record*>(l);
        events.OnContextMenuCommand(browser, *r.frame, *r.params, r.command_id, r.eventFlags, *r.result);
        return true;
    }
    case view_msg::file_dialog: {
        auto& r = *reinterpret_cast<file_dialog_record*>(l);
        events.OnFileDialog(browser, r.mode, *r.title, *r.defaultFilePath, *r.acceptFilters, r.selectedAcceptFilter,
                            *r.callback, *r.result);
        return true;
    }
    case view_msg::address_change:
    case view_msg::title_change: {
        const String value = text();
        const bool address = n == view_msg::address_change;
        {
            const std::lock_guard lock(*PageLocker);
            if (TCefBrowserWrapper* page = FBrowserDic.Find(browser.GetIdentifier())) {
                if (address) page->SetLastAddress(value);
                else page->SetLastTitle(value);
            }
        }
        if (browser.GetIdentifier() == FActiveBrowserId) (address ? FLastAddress : FLastTitle) = value;
        events.OnStateChange(browser, address ? BrowserDataChange_Address : BrowserDataChange_Title, value);
        return true;
    }
    case view_msg::status_message:
        events.OnStateChange(browser, BrowserDataChange_StatusMessage, text());
        return true;
    case view_msg::console_message: {
        auto& r = *reinterpret_cast<console_record*>(l);
        events.OnConsoleMessage(browser, *r.message, *r.source, r.line, *r.result);
        return true;
    }
    case view_msg::tooltip: {
        auto& r = *reinterpret_cast<tooltip_record*>(l);
        events.OnTooltip(browser, *r.text, *r.result);
        return true;
    }
    case view_msg::before_download: {
        auto& r = *reinterpret_cast<before_download_record*>(l);
        events.OnBeforeDownload(browser, *r.downloadItem, *r.suggested_name, *r.callback, r.CancelDefaultEvent);
        if (!r.CancelDefaultEvent) default_download(*r.suggested_name, *r.callback);
        return true;
    }
    case view_msg::jsdialog: {
        auto& r = *reinterpret_cast<jsdialog_record*>(l);
        events.OnJsdialog(browser, *r.originUrl, r.dialogType, *r.messageText, *r.defaultPromptText, *r.callback,
                          *r.suppressMessage, *r.result, r.CancelDefaultEvent);
        if (!r.CancelDefaultEvent) default_script_dialog(r);
        return true;
    }
    case view_msg::before_unload: {
        auto& r = *reinterpret_cast<before_unload_record*>(l);
        events.OnBeforeUnloadDialog(browser, *r.messageText, r.isReload, *r.callback, *r.result, r.CancelDefaultEvent);
        if (!r.CancelDefaultEvent) default_leave_page(r);
        return true;
    }
    case view_msg::do_close:
        *reinterpret_cast<bool*>(l) = CloseBrowserInternal(browser.GetIdentifier(), -1, CLOSETYPE_JS);
        return true;
    case view_msg::before_close: return true;
    case view_msg::auth_credentials: {
        auto& r = *reinterpret_cast<auth_record*>(l);
        events.OnGetAuthCredentials(browser, *r.frame, r.isProxy, *r.host, r.port, *r.realm, *r.scheme, *r.callback,
                                    r.CancelDefaultEvent);
        if (!r.CancelDefaultEvent) default_authentication(*r.callback);
        return true;
    }
    case view_msg::show_devtools:
        if (FWebBOptions && FWebBOptions->DevToolsEnable()) events.ShowDevTools(browser);
        return true;
    case view_msg::reload_ignore_cache:
        ReloadIgnoreCache();
        return true;
    case view_msg::search_text:
        SearchText();
        return true;
    case view_msg::script_reply: {
        const auto& r = *reinterpret_cast<const script_reply_record*>(l);
        FJsExtention->UnRegisterHandler(*r.identifier, *r.errorText, list_entry_value(*r.value, 1));
        return true;
    }
    case view_msg::favicon_change:
        choose_favicon(browser, *reinterpret_cast<const std::vector<String>*>(l));
        return true;
    default:
        return false;
    }
}

// --- Default behaviour

// The event for the page that sent the keys, then the program's own keys for the active page.
void TBrowserView::pre_key(const ICefBrowser& browser, pre_key_record& r) {
    FEvents->OnPreKeyEvent(browser, *r.event, r.osEvent, *r.isKeyboardShortcut, *r.Cancel, r.CancelDefaultEvent);
    if (r.CancelDefaultEvent) return;
    switch (built_in_key_of(*r.event)) {
    case built_in_key::show_devtools:
        if (FActiveBrowser && FWebBOptions && FWebBOptions->DevToolsEnable()) FEvents->ShowDevTools(FActiveBrowser);
        break;
    case built_in_key::reload_ignore_cache: ReloadIgnoreCache(); break;
    case built_in_key::search_text: SearchText(); break;
    case built_in_key::consume: *r.Cancel = true; break;
    case built_in_key::none: break;
    }
}

void TBrowserView::default_popup(const cef_popup_features_t& features, cef_window_info_t& window) {
    // The popup becomes a page of this view; the engine reports it like any new page.
    window.x = features.x;
    window.y = features.y;
    window.width = features.width;
    window.height = features.height;
    window.style = page_style;
    window.parent_window = Handle();
}

void TBrowserView::default_error_page(const ICefBrowser& browser, int errorCode, const String& failed_url) {
    if (!FWebBOptions || !FWebBOptions->ShowLoadError() || TCefErrorManager::IsUserAborted(errorCode)) return;
    String body = u"<h2>Failed to load URL " + html_escaped(failed_url) + u" with error " + IntToStr(errorCode) + u"</h2>";
    String name, description;
    if (CefErrorManager && CefErrorManager->GetErrorDescription(errorCode, name, description)) {
        body += u"<p>Error Name: " + html_escaped(name) + u"</p>";
        body += u"<p>Error Description: " + html_escaped(description) + u"</p>";
    }
    browser.GetMainFrame().LoadString(u"<html><body>" + body + u"</body></html>", failed_url);
}

void TBrowserView::default_script_dialog(const jsdialog_record& r) {
    const String caption = *r.originUrl + u" 上的网页显示";
    switch (r.dialogType) {
    case JSDIALOGTYPE_ALERT:
        // The engine shows nothing of its own; the page's script goes on once the box is closed.
        *r.suppressMessage = true;
        *r.result = false;
        ShowMessage(*r.messageText);
        return;
    case JSDIALOGTYPE_CONFIRM: {
        *r.suppressMessage = false;
        *r.result = true;
        const bool ok = ::MessageBoxW(Handle(), wide(*r.messageText), wide(caption), MB_OKCANCEL) == IDOK;
        r.callback->Cont(ok, u"");
        return;
    }
    case JSDIALOGTYPE_PROMPT: {
        *r.suppressMessage = false;
        *r.result = true;
        String value = *r.defaultPromptText;
        const bool ok = InputQuery(caption, *r.messageText, value);
        r.callback->Cont(ok, value);
        return;
    }
    }
}

void TBrowserView::default_leave_page(const before_unload_record& r) {
    const String text = *r.messageText + u"\r\n确定要离开此页吗？";
    const bool ok = ::MessageBoxW(Handle(), wide(text), L"确认导航", MB_OKCANCEL) == IDOK;
    r.callback->Cont(ok, u"");
    // Answered here: the engine must not ask again with its own dialog.
    *r.result = true;
}

void TBrowserView::default_authentication(const ICefAuthCallback& callback) {
    const std::unique_ptr<TPasswordDlg> dialog(CreateForm<TPasswordDlg>(nullptr));
    if (dialog->ShowModal() == mrOk) {
        callback.Cont(dialog->edtusername->Text(), dialog->edtPassword->Text());
    } else {
        // Left pending, the request would wait until the page goes.
        callback.Cancel();
    }
}

void TBrowserView::default_download(const String& suggested_name, const ICefBeforeDownloadCallback& callback) {
    if (!FWebBOptions || !FWebBOptions->AutoDown()) {
        // The engine asks the user where to save, offering the suggested name.
        callback.Cont(u"", true);
        return;
    }
    const String folder = FWebBOptions->DownLoadPath();
    if (!DirectoryExists(folder)) ::CreateDirectoryW(wide(folder), nullptr);
    callback.Cont(UniqueDownloadName(folder + plain_download_name(suggested_name)), false);
}

void TBrowserView::choose_favicon(const ICefBrowser& browser, const std::vector<String>& urls) {
    const String address = favicon_address(urls);
    const std::lock_guard lock(*PageLocker);
    TCefBrowserWrapper* page = FBrowserDic.Find(browser.GetIdentifier());
    if (page && !address.empty() && address != page->LastFavUrl()) page->SetLastFavUrl(address);
}

} // namespace kq
