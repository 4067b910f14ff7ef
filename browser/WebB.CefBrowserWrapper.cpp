#include "browser/WebB.CefBrowserWrapper.h"

#include <mutex>

#include "browser/WebB.Locker.h"
#include "browser/WebB.Utils.h"
#include "framework/Streams.h"

namespace kq {

bool IsIconStream(TStream& aStream) {
    const std::int64_t start = aStream.Position();
    unsigned char header[6] = {};
    const std::int64_t read = aStream.Read(header, 6);
    aStream.SetPosition(start);
    if (read < 6) return true;
    const unsigned type = header[2] | (header[3] << 8u);
    return type < 2;
}

TCefBrowserWrapper::TCefBrowserWrapper(TBrowserWrapperDic* aParent, ICefBrowser aBrowser)
    : FParent(aParent), FBrowser(std::move(aBrowser)) {}

TCefBrowserWrapper::~TCefBrowserWrapper() { cancel_favicon(); }

void TCefBrowserWrapper::cancel_favicon() {
    if (!FFaviconGetter) return;
    engine_impl<TFaviconGetter>(FFaviconGetter.get())->Cancel();
    FFaviconGetter.reset();
}

void TCefBrowserWrapper::SetLastFavUrl(const String& Value) {
    FLastFavUrl = Value;
    cancel_favicon();
    // The wrapper cancels the download before it goes, so the callback never outlives it.
    FFaviconGetter = make_engine_object<TFaviconGetter>(
        Value, [this](const String& aUrl, TStream& aStream) { FaviconLoaded(aUrl, aStream); });
}

void TCefBrowserWrapper::FaviconLoaded(const String& aUrl, TStream& aStream) {
    auto icon = std::make_unique<TIcon>();
    {
        const std::lock_guard lock(*PageLocker);
        if (aUrl != FLastFavUrl || !IsIconStream(aStream)) return;
        aStream.SetPosition(0);
        icon->LoadFromStream(aStream);
        FFavicon = std::move(icon);
    }
    if (IWebBrowser* events = FParent ? FParent->Events() : nullptr) events->OnFavIconChange(FBrowser, aUrl, FFavicon->Handle());
}

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
