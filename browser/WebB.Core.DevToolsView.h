#pragma once
// TDevToolsView, the developer tools windows.
#include <memory>

#include "engine/CefInterfaces.h"
#include "framework/Controls.h"

namespace kq {

// Opens the engine's developer tools for a page, in a top-level window of their own, and remembers the
// pages whose tools are open. Owned by the browser component and given no parent, so it never shows a
// window itself. GUI thread only.
class TDevToolsView : public TWinControl {
public:
    explicit TDevToolsView(TComponent* AOwner);
    ~TDevToolsView() override;

    // Opens the page's tools; while they are open, shows the page's own window instead. Nil: nothing.
    void ShowDevTools(const ICefBrowser& browser, const cef_point_t* inspect_element_at = nullptr);
    // Closes the page's tools and forgets them. Nil: nothing.
    void CloseDevTools(const ICefBrowser& browser);

    // The table of inspected pages, shared with the tools' clients (defined in the source).
    struct devtools_table;

protected:
    void WndProc(TMessage& Message) override;

private:
    std::shared_ptr<devtools_table> FBrowserDic; // guarded by DevToolsLocker
};

} // namespace kq
