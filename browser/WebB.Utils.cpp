#include "browser/WebB.Utils.h"

#include "framework/ComObjects.h"

namespace kq {

HWND GetBrowserViewWindow(const ICefBrowser& browser) {
    if (!browser) return nullptr;
    const ICefBrowserHost host = browser.GetHost();
    if (!host) return nullptr;
    const HWND page = host.GetWindowHandle();
    return page ? ::GetParent(page) : nullptr;
}

bool SendToBrowserView(const ICefBrowser& browser, UINT message, LPARAM LParam) {
    const HWND view = GetBrowserViewWindow(browser);
    if (!view) return true;
    return ::SendMessageW(view, message, reinterpret_cast<WPARAM>(&browser), LParam) != 1;
}

TWaitResult WaitForReply(HANDLE event, DWORD milliseconds) {
    return wait_for_handle(event, milliseconds, wait_serving::all_input);
}

void ProcessPendingMessages() { dispatch_pending_messages(); }

String CreateGuidString() { return GUIDToString(CreateGUID()); }

} // namespace kq
