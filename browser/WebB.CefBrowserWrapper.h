#pragma once
// TCefBrowserWrapper, the page table.
#include <map>
#include <memory>

#include "browser/WebB.Events.h"
#include "engine/CefInterfaces.h"
#include "framework/Graphics.h"
#include "framework/Strings.h"

namespace kq {

class TBrowserWrapperDic;
class TStream;

// Whether the remaining data starts like an icon file (type word below 2); also true when fewer than six
// bytes remain. The position is left where it was.
bool IsIconStream(TStream& stream);

// The state of one page. Its fields are guarded by PageLocker.
class TCefBrowserWrapper {
public:
    TCefBrowserWrapper(TBrowserWrapperDic* parent, ICefBrowser browser);
    // Cancels a running favicon download.
    ~TCefBrowserWrapper();
    TCefBrowserWrapper(const TCefBrowserWrapper&) = delete;
    TCefBrowserWrapper& operator=(const TCefBrowserWrapper&) = delete;

    const ICefBrowser& Browser() const noexcept { return FBrowser; }
    int LoadingState() const noexcept { return FLoadingState; }
    void SetLoadingState(int Value) noexcept { FLoadingState = Value; }
    const String& LastTitle() const noexcept { return FLastTitle; }
    void SetLastTitle(const String& Value) { FLastTitle = Value; }
    const String& LastAddress() const noexcept { return FLastAddress; }
    void SetLastAddress(const String& Value) { FLastAddress = Value; }
    const String& LastFavUrl() const noexcept { return FLastFavUrl; }
    // Stores the address and starts downloading the icon from it (on the GUI thread).
    void SetLastFavUrl(const String& Value);
    // The current favicon; none until one has loaded.
    const TIcon* Favicon() const noexcept { return FFavicon.get(); }
    // The wrapper takes the icon over and frees the one it had; no event is raised.
    void SetFavicon(std::unique_ptr<TIcon> Value) noexcept { FFavicon = std::move(Value); }

    // A download has delivered: when it is the address wanted and the data is an icon, the icon is
    // replaced and OnFavIconChange raised; anything else changes nothing.
    void FaviconLoaded(const String& url, TStream& stream);

private:
    void cancel_favicon();

    TBrowserWrapperDic* FParent;
    ICefBrowser FBrowser;
    int FLoadingState = 1; // 1 loading, 2 can go back, 4 can go forward
    String FLastTitle = u"正在加载";
    String FLastAddress;
    String FLastFavUrl;
    engine_ref<cef_urlrequest_client_t> FFaviconGetter; // the running download
    std::unique_ptr<TIcon> FFavicon;
};

// The page table of a view, keyed by browser identifier; owns its wrappers. Guarded by PageLocker.
class TBrowserWrapperDic {
public:
    explicit TBrowserWrapperDic(IWebBrowser* events) noexcept : FEvents(events) {}

    // Ignores a nil browser and one whose identifier is -1.
    void Add(const ICefBrowser& browser);
    // Every page stops loading; then the table is emptied.
    void Clear();
    bool Remove(int browser_id);
    TCefBrowserWrapper* Find(int browser_id) const;
    int Count() const noexcept { return static_cast<int>(FItems.size()); }
    const std::map<int, std::unique_ptr<TCefBrowserWrapper>>& Items() const noexcept { return FItems; }
    IWebBrowser* Events() const noexcept { return FEvents; }

private:
    IWebBrowser* FEvents;
    std::map<int, std::unique_ptr<TCefBrowserWrapper>> FItems;
};

} // namespace kq
