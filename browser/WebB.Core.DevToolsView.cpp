#include "browser/WebB.Core.DevToolsView.h"

#include <cstdint>
#include <map>
#include <mutex>

#include "browser/WebB.Locker.h"
#include "browser/WebB.Settings.h"
#include "engine/EngineObject.h"
#include "engine/EngineStrings.h"
#include "framework/Messages.h"

namespace kq {

// One entry per inspected page. The serial tells a reopened page's tools from the ones closed before.
struct TDevToolsView::devtools_table {
    struct entry {
        ICefBrowser page;
        std::uint64_t serial;
    };
    std::map<int, entry> pages;
    std::uint64_t next_serial = 1;
};

namespace {

constexpr DWORD devtools_style =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX; // 0x90CD0000

using table_ptr = std::weak_ptr<TDevToolsView::devtools_table>;

// Forgets the page's entry when its tools' window goes, so that the next request opens the tools again.
// Holds the table weakly: the tools may outlive the view.
class devtools_life_span : public engine_object<cef_life_span_handler_t> {
public:
    devtools_life_span(table_ptr table, int id, std::uint64_t serial)
        : FTable(std::move(table)), FId(id), FSerial(serial) {
        cef()->on_before_close = &engine_thunk<&devtools_life_span::OnBeforeClose>::call;
    }

private:
    void OnBeforeClose(ICefBrowser) {
        const auto table = FTable.lock();
        if (!table || !DevToolsLocker) return;
        const std::lock_guard lock(*DevToolsLocker);
        const auto it = table->pages.find(FId);
        if (it != table->pages.end() && it->second.serial == FSerial) table->pages.erase(it);
    }
    table_ptr FTable;
    int FId;
    std::uint64_t FSerial;
};

// The tools' client: no handlers but the one that notices the window closing.
class devtools_client : public engine_object<cef_client_t> {
public:
    devtools_client(table_ptr table, int id, std::uint64_t serial)
        : FLifeSpan(make_engine_object<devtools_life_span>(std::move(table), id, serial)) {
        cef()->get_life_span_handler = &engine_thunk<&devtools_client::GetLifeSpanHandler>::call;
    }

private:
    cef_life_span_handler_t* GetLifeSpanHandler() { return FLifeSpan.pass(); }
    engine_ref<cef_life_span_handler_t> FLifeSpan;
};

} // namespace

TDevToolsView::TDevToolsView(TComponent* AOwner)
    : TWinControl(AOwner), FBrowserDic(std::make_shared<devtools_table>()) {}

TDevToolsView::~TDevToolsView() {
    {
        const std::lock_guard lock(*DevToolsLocker);
        FBrowserDic->pages.clear();
    }
    DestroyHandle();
}

void TDevToolsView::ShowDevTools(const ICefBrowser& browser, const cef_point_t* inspect_element_at) {
    if (!browser) return;
    const int id = browser.GetIdentifier();
    const std::lock_guard lock(*DevToolsLocker);
    if (const auto it = FBrowserDic->pages.find(id); it != FBrowserDic->pages.end()) {
        if (const ICefBrowserHost host = it->second.page.GetHost()) {
            if (const HWND window = host.GetWindowHandle()) ::ShowWindow(window, SW_SHOWNORMAL);
        }
        return;
    }
    const ICefBrowserHost host = browser.GetHost();
    if (!host) return;
    const std::uint64_t serial = FBrowserDic->next_serial++;
    const String name = u"DevTools";
    cef_window_info_t window{};
    window.style = devtools_style;
    window.x = 0;
    window.y = 0;
    window.width = ::GetSystemMetrics(SM_CXSCREEN);
    window.height = ::GetSystemMetrics(SM_CYSCREEN);
    window.window_name = cef_string_view(name);
    browser_settings_record settings;
    const auto client = make_engine_object<devtools_client>(FBrowserDic, id, serial);
    FBrowserDic->pages[id] = {browser, serial};
    host.ShowDevTools(window, client.pass(), settings.get(), inspect_element_at);
}

void TDevToolsView::CloseDevTools(const ICefBrowser& browser) {
    if (!browser) return;
    if (const ICefBrowserHost host = browser.GetHost()) host.CloseDevTools();
    const std::lock_guard lock(*DevToolsLocker);
    FBrowserDic->pages.erase(browser.GetIdentifier());
}

void TDevToolsView::WndProc(TMessage& Message) {
    const HWND child = HandleAllocated() ? ::GetWindow(Handle(), GW_CHILD) : nullptr;
    switch (Message.Msg) {
    case WM_SIZE:
        TWinControl::WndProc(Message);
        if (child) {
            RECT r{};
            ::GetClientRect(Handle(), &r);
            HDWP pos = ::BeginDeferWindowPos(1);
            pos = ::DeferWindowPos(pos, child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                   SWP_NOZORDER);
            ::EndDeferWindowPos(pos);
        }
        return;
    case WM_ERASEBKGND:
        if (child) Message.Result = 1;
        else TWinControl::WndProc(Message);
        return;
    case WM_GETDLGCODE:
        Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    case WM_USER + 10:
        if (child) ::PostMessageW(child, Message.Msg, Message.WParam, 0);
        return;
    case CM_WANTSPECIALKEY:
        switch (Message.WParam) {
        case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
            TWinControl::WndProc(Message);
            return;
        default:
            Message.Result = 1;
            return;
        }
    default:
        TWinControl::WndProc(Message);
    }
}

} // namespace kq
