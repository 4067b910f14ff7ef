#include "browser/WebB.CefBrowserWrapper.h"

namespace kq {

TCefBrowserWrapper::TCefBrowserWrapper(TBrowserWrapperDic* aParent, ICefBrowser aBrowser)
    : FParent(aParent), FBrowser(std::move(aBrowser)) {}

void TBrowserWrapperDic::Add(const ICefBrowser& aBrowser) {
    if (!aBrowser) return;
    const int id = aBrowser.GetIdentifier();
    if (id == -1) return;
    FItems[id] = std::make_unique<TCefBrowserWrapper>(this, aBrowser);
}

void TBrowserWrapperDic::Clear() {
    for (const auto& [id, page] : FItems) page->Browser().StopLoad();
    FItems.clear();
}

bool TBrowserWrapperDic::Remove(int aBrowserId) { return FItems.erase(aBrowserId) != 0; }

TCefBrowserWrapper* TBrowserWrapperDic::Find(int aBrowserId) const {
    const auto it = FItems.find(aBrowserId);
    return it == FItems.end() ? nullptr : it->second.get();
}

} // namespace kq
