#include "browser/WebB.CefBrowserWrapper.h"

namespace kq {

TCefBrowserWrapper::TCefBrowserWrapper(TBrowserWrapperDic* parent, ICefBrowser browser)
    : FParent(parent), FBrowser(std::move(browser)) {}

void TBrowserWrapperDic::Add(const ICefBrowser& browser) {
    if (!browser) return;
    const int id = browser.GetIdentifier();
    if (id == -1) return;
    FItems[id] = std::make_unique<TCefBrowserWrapper>(this, browser);
}

void TBrowserWrapperDic::Clear() {
    for (const auto& [id, page] : FItems) page->Browser().StopLoad();
    FItems.clear();
}

bool TBrowserWrapperDic::Remove(int browser_id) { return FItems.erase(browser_id) != 0; }

TCefBrowserWrapper* TBrowserWrapperDic::Find(int browser_id) const {
    const auto it = FItems.find(browser_id);
    return it == FItems.end() ? nullptr : it->second.get();
}

} // namespace kq
