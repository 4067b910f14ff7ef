#include "shell/U_Main.h"

#include "browser/WebB.Core.WebBrowser.h"
#include "framework/Files.h"
#include "framework/Handles.h"
#include "framework/ImageLists.h"
#include "framework/Properties.h"
#include "skin/uSkinButton.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"
#include "skin/uSkinPanel.h"
#include "tabs/PageTabs.h"

#include <algorithm>
#include <iterator>

namespace kq {

namespace {

// The only web address built into the program.
constexpr StringView home_page = u"http://www.tessaro-zb.com/";

// The engine's view-source item of its context menu.
constexpr int view_source_command = 132;

// Control with numeric plus, numeric minus, plus-and-equals and minus; all under one identifier.
constexpr UINT zoom_keys[] = {109, 107, 187, 189};

// The engine's cookie store, held from the window's creation to the module's shutdown.
struct main_state {
    ICefCookieManager cookie_manager;
    String cookie_folder;
};

main_state& state() {
    static main_state s;
    return s;
}

// A tab that still counts: shown, and not on its way out of the strip.
bool counts(const TPageTab* tab) { return tab->Visible() && !tab->MarkedForDeletion(); }

} // namespace

TF_Main::TF_Main(TComponent* AOwner) : TForm(AOwner) {}

TF_Main::~TF_Main() = default;

// --- Creation and closing

void TF_Main::FormCreate(TObject*) {
    if (!::FindAtomW(L"WCTRL")) WCTRL = ::GlobalAddAtomW(L"WCTRL");
    for (const UINT key : zoom_keys) ::RegisterHotKey(Handle(), WCTRL, MOD_CONTROL, key);

    main_state& s = state();
    s.cookie_folder = ExtractFilePath(Application->ExeName()) + u"Cookies";
    s.cookie_manager = ICefCookieManager::Global();
    if (s.cookie_manager) s.cookie_manager.SetStoragePath(s.cookie_folder, true);

    FTitleHook = HookWindowProc([this](TMessage& m, const TWndMethod& next) { TitleMessage(m, next); });

    FClosing = false;
    FHomePage = String(home_page);
    CEFBrowser->AddPage(FHomePage);
    CEFBrowser->SetDefaultURL(FHomePage);
}

void TF_Main::FormClose(TObject*, TCloseAction&) {
    if (const main_state& s = state(); s.cookie_manager) s.cookie_manager.FlushStore();
    // Every registration under the identifier goes; one call takes one away.
    for (size_t i = 0; i < std::size(zoom_keys); ++i) ::UnregisterHotKey(Handle(), WCTRL);
    if (WCTRL) ::GlobalDeleteAtom(std::exchange(WCTRL, ATOM{0}));
}

// --- Title bar

// The window has no maximise box, so the skin form leaves a double click on its title alone; the title
// bar still maximises and restores the window, as the strip's empty area does, so that a restored window
// can be maximised again where a person expects it.
void TF_Main::TitleMessage(TMessage& Message, const TWndMethod& Next) {
    const bool on_button = (SkinSystemButton1 && SkinSystemButton1->Visible() && SkinSystemButton1->CursorEnter()) ||
                           (btn1 && btn1->Visible() && btn1->CursorEnter());
    if (Message.Msg != WM_NCLBUTTONDBLCLK || Message.WParam != HTCAPTION || on_button) {
        Next(Message);
        return;
    }
    ::SendMessageW(Handle(), WM_SYSCOMMAND, ::IsZoomed(Handle()) ? SC_RESTORE : SC_MAXIMIZE, 0);
    Message.Result = 0;
}

// --- Zoom

void TF_Main::WndProc(TMessage& Message) {
    if (Message.Msg == WM_HOTKEY) {
        WMHotKey(Message);
        return;
    }
    TForm::WndProc(Message);
}

void TF_Main::WMHotKey(TMessage& Message) {
    if (LOWORD(Message.LParam) != MOD_CONTROL) return;
    switch (HIWORD(Message.LParam)) {
    case 107:
    case 187: CEFBrowser->AddZoomLevel(); break;
    case 109:
    case 189: CEFBrowser->ReduceZoomLevel(); break;
    default: break;
    }
}

void TF_Main::ApplicationEventsMessage(MSG& Msg, bool& Handled) {
    if (Msg.message != WM_MOUSEWHEEL || (static_cast<std::uint16_t>(::GetKeyState(VK_CONTROL)) >> 8) == 0) return;
    Handled = true;
    const int delta = static_cast<std::int16_t>(HIWORD(Msg.wParam));
    if (delta > 8) {
        CEFBrowser->AddZoomLevel();
        ::Sleep(10);
    } else if (delta < -8) {
        CEFBrowser->ReduceZoomLevel();
        ::Sleep(10);
    }
}

// --- Navigation buttons

void TF_Main::btn4Click(TObject*) {
    if (CEFBrowser->CanGoBack()) CEFBrowser->GoBack();
}

void TF_Main::btn5Click(TObject*) {
    if (CEFBrowser->CanGoForward()) CEFBrowser->GoForward();
}

void TF_Main::btn7Click(TObject*) { CEFBrowser->ReloadIgnoreCache(); }

// --- Pages

void TF_Main::CEFBrowserAddBrowser(const ICefBrowser& browser) {
    TPageTab* tab = FPageTabs->Tabs().Add();
    tab->SetTag(browser.GetIdentifier());
    tab->SetCaption(u"loading");
    if (tab->Tag() == CEFBrowser->ActiveBrowserId()) FPageTabs->SetActiveTab(tab);
}

// A page the engine or its script closed takes its tab along; the close button's own tab is the strip's.
void TF_Main::CEFBrowserCloseBrowser(const std::vector<int>& CloseBrowserIdArr, int) {
    for (const int id : CloseBrowserIdArr) {
        for (int i = 0; i < FPageTabs->Tabs().Count(); ++i) {
            TPageTab* tab = FPageTabs->Tabs().Items(i);
            if (tab->Tag() != id || tab == FClosingTab || tab->MarkedForDeletion()) continue;
            FPageTabs->Tabs().DeleteTab(i, false);
            break;
        }
    }
    activate_tab_of_shown_page();
}

void TF_Main::CEFBrowserBeforeContextMenu(const ICefBrowser&, const ICefFrame&, const ICefContextMenuParams&,
                                          const ICefMenuModel& model) {
    model.Remove(view_source_command);
}

void TF_Main::CEFBrowserLoadEnd(const ICefBrowser& browser, const ICefFrame&, int) {
    if (TPageTab* tab = FindTabByBrowserId(browser.GetIdentifier()))
        tab->SetSpinnerState(TPageTabSpinnerState::tssNone);
}

void TF_Main::CEFBrowserLoadingStateChange(const ICefBrowser& browser, bool isLoading, bool, bool) {
    if (TPageTab* tab = FindTabByBrowserId(browser.GetIdentifier()))
        tab->SetSpinnerState(isLoading ? TPageTabSpinnerState::tssRenderedDownload : TPageTabSpinnerState::tssNone);
}

void TF_Main::CEFBrowserLoadStart(const ICefBrowser&, const ICefFrame&) {}

// Addresses of schemes the engine cannot handle go to the system.
void TF_Main::CEFBrowserProtocolExecution(const ICefBrowser&, const String&, bool& allowOsExecution) {
    allowOsExecution = true;
}

void TF_Main::CEFBrowserStateChange(const ICefBrowser& browser, TBrowserDataChangeKind Kind, const String& Value) {
    if (Kind != BrowserDataChange_Title) return;
    if (TPageTab* tab = FindTabByBrowserId(browser.GetIdentifier())) tab->SetCaption(Value);
}

// --- Tab strip

void TF_Main::FPageTabsActiveTabChanged(TObject*, TPageTab* ATab) {
    if (ATab) CEFBrowser->ShowBrowser(ATab->Tag());
}

void TF_Main::FPageTabsButtonAddClick(TObject*, bool& Handled) {
    CEFBrowser->AddPage(FHomePage);
    Handled = true;
}

void TF_Main::FPageTabsButtonCloseTabClick(TObject*, TPageTab* ATab, bool& Close) { Close = CloseTab(ATab); }

TPageTab* TF_Main::FindTabByBrowserId(int id) const {
    for (int i = 0; i < FPageTabs->Tabs().Count(); ++i) {
        if (TPageTab* tab = FPageTabs->Tabs().Items(i); tab->Tag() == id) return tab;
    }
    return nullptr;
}

// Tabs on their way out (a close still animating) and hidden ones do not count: the last tab that does
// stays and shows the home page, so the strip never ends empty over an empty view.
bool TF_Main::CloseTab(TPageTab* tab) {
    TPageTabsList& tabs = FPageTabs->Tabs();
    std::vector<TPageTab*> left;
    for (int i = 0; i < tabs.Count(); ++i) {
        if (TPageTab* t = tabs.Items(i); counts(t) || t == tab) left.push_back(t);
    }
    if (left.size() <= 1 && !FClosing) {
        CEFBrowser->Load(FHomePage);
        return false;
    }
    const auto at = static_cast<size_t>(std::find(left.begin(), left.end(), tab) - left.begin());
    TPageTab* next = tabs.ActiveTab();
    if (!next || next == tab || !counts(next)) next = at + 1 < left.size() ? left[at + 1] : left[at - 1];
    FClosingTab = tab;
    const auto done = scope_exit([this] { FClosingTab = nullptr; });
    CEFBrowser->CloseBrowser(tab->Tag(), next->Tag());
    activate_tab_of_shown_page();
    return true;
}

void TF_Main::activate_tab_of_shown_page() {
    TPageTab* shown = FindTabByBrowserId(CEFBrowser->ActiveBrowserId());
    if (shown && !shown->Active() && counts(shown)) FPageTabs->SetActiveTab(shown);
}

// --- Published

const property_table& TF_Main::PublishedProperties() const {
    static const property_table table = property_table::of<TF_Main>(TForm::PublishedProperties())
        .field(u"SkinPanel1", &TF_Main::SkinPanel1)
        .field(u"SkinPanel2", &TF_Main::SkinPanel2)
        .field(u"btn7", &TF_Main::btn7)
        .field(u"btn5", &TF_Main::btn5)
        .field(u"btn4", &TF_Main::btn4)
        .field(u"FPageTabs", &TF_Main::FPageTabs)
        .field(u"CEFBrowser", &TF_Main::CEFBrowser)
        .field(u"SkinSystemButton1", &TF_Main::SkinSystemButton1)
        .field(u"btn1", &TF_Main::btn1)
        .field(u"nclbl1", &TF_Main::nclbl1)
        .field(u"sknfrm1", &TF_Main::sknfrm1)
        .field(u"ImageList4", &TF_Main::ImageList4)
        .field(u"ImageList3", &TF_Main::ImageList3)
        .field(u"ImageList2", &TF_Main::ImageList2)
        .field(u"ImageList1", &TF_Main::ImageList1)
        .field(u"ApplicationEvents", &TF_Main::ApplicationEvents)
        .string(u"HomePage", &TF_Main::HomePage, &TF_Main::SetHomePage)
        .method(u"FormCreate", &TF_Main::FormCreate)
        .method(u"FormClose", &TF_Main::FormClose)
        .method(u"ApplicationEventsMessage", &TF_Main::ApplicationEventsMessage)
        .method(u"btn4Click", &TF_Main::btn4Click)
        .method(u"btn5Click", &TF_Main::btn5Click)
        .method(u"btn7Click", &TF_Main::btn7Click)
        .method(u"CEFBrowserAddBrowser", &TF_Main::CEFBrowserAddBrowser)
        .method(u"CEFBrowserCloseBrowser", &TF_Main::CEFBrowserCloseBrowser)
        .method(u"CEFBrowserBeforeContextMenu", &TF_Main::CEFBrowserBeforeContextMenu)
        .method(u"CEFBrowserLoadEnd", &TF_Main::CEFBrowserLoadEnd)
        .method(u"CEFBrowserLoadingStateChange", &TF_Main::CEFBrowserLoadingStateChange)
        .method(u"CEFBrowserLoadStart", &TF_Main::CEFBrowserLoadStart)
        .method(u"CEFBrowserProtocolExecution", &TF_Main::CEFBrowserProtocolExecution)
        .method(u"CEFBrowserStateChange", &TF_Main::CEFBrowserStateChange)
        .method(u"FPageTabsActiveTabChanged", &TF_Main::FPageTabsActiveTabChanged)
        .method(u"FPageTabsButtonAddClick", &TF_Main::FPageTabsButtonAddClick)
        .method(u"FPageTabsButtonCloseTabClick", &TF_Main::FPageTabsButtonCloseTabClick);
    return table;
}

// --- Module start-up and shutdown

// The skin's classes are registered by the skin library's start-up.
void u_main_startup() {
    register_class<TPageTabs>();
    register_class<TWebBrowser>();
}

void u_main_shutdown() {
    main_state& s = state();
    s.cookie_manager = {};
    s.cookie_folder.clear();
}

} // namespace kq
