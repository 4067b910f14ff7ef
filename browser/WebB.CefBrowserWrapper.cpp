#include "browser/WebB.CefBrowserWrapper.h"

#include <mutex>

#include "browser/WebB.Locker.h"
#include "browser/WebB.Utils.h"
#include "framework/Streams.h"

namespace kq {

bool IsIconStream(TStream& stream) {
    const std::int64_t start = stream.Position();
    unsigned char header[6] = {};
    const std::int64_t read = stream.Read(header, 6);
    stream.SetPosition(start);
    if (read < 6) return true;
    const unsigned type = header[2] | (header[3] << 8u);
    return type < 2;
}

TCefBrowserWrapper::TCefBrowserWrapper(TBrowserWrapperDic* parent, ICefBrowser browser)
    : FParent(parent), FBrowser(std::move(browser)) {}

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
        Value, [this](const String& url, TStream& stream) { FaviconLoaded(url, stream); });
}

void TCefBrowserWrapper::FaviconLoaded(const String& url, TStream& stream) {
    auto icon = std::make_unique<TIcon>();
    {
        const std::lock_guard lock(*PageLocker);
        if (url != FLastFavUrl || !IsIconStream(stream)) return;
        stream.SetPosition(0);
        icon->LoadFromStream(stream);
        SetFavicon(std::move(icon));
    }
    if (IWebBrowser* events = FParent ? FParent->Events() : nullptr) events->OnFavIconChange(FBrowser, url, FFavicon->Handle());
}

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
