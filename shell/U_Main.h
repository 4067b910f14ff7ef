#pragma once
// TF_Main, the main window.
#include "browser/WebB.Events.h"
#include "framework/Forms.h"

namespace kq {

class TImageList;
class TPageTab;
class TPageTabs;
class TSkinForm;
class TSkinImageButton;
class TSkinNCLabel;
class TSkinPanel;
class TSkinSystemButton;
class TWebBrowser;

// The one window of KQ: a skinned title bar with the caption, minimise and close, then a top bar with the
// navigation buttons and the tab strip above the browser area.
// A tab and its page are bound only by the tab's Tag, the page's browser identifier. Built from its form
// resource; the handlers below are wired there by name.
class TF_Main : public TForm {
public:
    explicit TF_Main(TComponent* AOwner);
    ~TF_Main() override;

    // The components of the form resource, bound by name when it is read.
    TSkinPanel* SkinPanel1 = nullptr;
    TSkinPanel* SkinPanel2 = nullptr;
    TSkinImageButton* btn7 = nullptr;
    TSkinImageButton* btn5 = nullptr;
    TSkinImageButton* btn4 = nullptr;
    TPageTabs* FPageTabs = nullptr;
    TWebBrowser* CEFBrowser = nullptr;
    TSkinSystemButton* SkinSystemButton1 = nullptr;
    TSkinSystemButton* btn1 = nullptr;
    TSkinNCLabel* nclbl1 = nullptr;
    TSkinForm* sknfrm1 = nullptr;
    TImageList* ImageList4 = nullptr;
    TImageList* ImageList3 = nullptr;
    TImageList* ImageList2 = nullptr;
    TImageList* ImageList1 = nullptr;
    TApplicationEvents* ApplicationEvents = nullptr;

    const String& HomePage() const noexcept { return FHomePage; }
    void SetHomePage(const String& Value) { FHomePage = Value; }

    void FormCreate(TObject* Sender);
    void FormClose(TObject* Sender, TCloseAction& Action);
    void ApplicationEventsMessage(MSG& Msg, bool& Handled);
    void btn4Click(TObject* Sender);
    void btn5Click(TObject* Sender);
    void btn7Click(TObject* Sender);
    void CEFBrowserAddBrowser(const ICefBrowser& browser);
    void CEFBrowserCloseBrowser(const std::vector<int>& CloseBrowserIdArr, int ShowBrowserId);
    void CEFBrowserBeforeContextMenu(const ICefBrowser& browser, const ICefFrame& frame,
                                     const ICefContextMenuParams& params, const ICefMenuModel& model);
    void CEFBrowserLoadEnd(const ICefBrowser& browser, const ICefFrame& frame, int httpStatusCode);
    void CEFBrowserLoadingStateChange(const ICefBrowser& browser, bool isLoading, bool canGoBack, bool canGoForward);
    void CEFBrowserLoadStart(const ICefBrowser& browser, const ICefFrame& frame);
    void CEFBrowserProtocolExecution(const ICefBrowser& browser, const String& url, bool& allowOsExecution);
    void CEFBrowserStateChange(const ICefBrowser& browser, TBrowserDataChangeKind Kind, const String& Value);
    void FPageTabsActiveTabChanged(TObject* Sender, TPageTab* ATab);
    void FPageTabsButtonAddClick(TObject* Sender, bool& Handled);
    void FPageTabsButtonCloseTabClick(TObject* Sender, TPageTab* ATab, bool& Close);

    const property_table& PublishedProperties() const override;

protected:
    void WndProc(TMessage& Message) override;

private:
    void WMHotKey(TMessage& Message);
    void TitleMessage(TMessage& Message, const TWndMethod& Next);
    TPageTab* FindTabByBrowserId(int id) const;
    bool CloseTab(TPageTab* tab);
    void activate_tab_of_shown_page();

    bool FClosing = false;
    String FHomePage;
    ATOM WCTRL = 0;
    // The tab whose close button is being handled: its page's close event must leave it to the strip.
    TPageTab* FClosingTab = nullptr;
    // In front of the skin form: the title bar's double click.
    window_hook FTitleHook;
};

// Registers the classes of the form resource; the shutdown step releases the cookie manager.
void u_main_startup();
void u_main_shutdown();

} // namespace kq
