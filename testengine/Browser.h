#pragma once
// The stand-in's browsers.
#include <memory>
#include <string>
#include <vector>

#include "engine/cef_capi.h"
#include "testengine/StandinObject.h"

// The stand-in's browsers: a Win32 child window each, a navigation history and the client's callbacks.
namespace kq::standin {

struct browser_state {
    int id = 0;
    HWND window = nullptr;       // UI thread only
    held<cef_client_t> client;   // until the browser has closed
    std::vector<std::wstring> history;
    int history_index = -1;
    std::wstring url;            // the committed address
    bool loading = false;
    bool closed = false;
    double zoom = 0;
    bool popup = false;
    std::weak_ptr<browser_state> devtools; // the browser of this page's developer tools, while open
};

// An object of one browser (the browser itself, its host, frame, script context): it keeps the browser's
// state while it is referenced.
template <class CStruct>
class page_object : public standin_object<CStruct> {
protected:
    explicit page_object(std::shared_ptr<browser_state> b) : FState(std::move(b)) {}
    void release_resources() noexcept override { FState.reset(); }
    std::shared_ptr<browser_state> FState;
};

std::shared_ptr<browser_state> find_browser(int id);
// On the UI thread: a new browser with its window, loading url when it is not empty.
void create_browser_from(const cef_window_info_t* info, engine_ref<cef_client_t> client, const std::wstring& url,
                         bool popup);
void reset_page_tables();

// New counted references for a callback parameter or a getter's answer.
cef_browser_t* browser_param(const std::shared_ptr<browser_state>& b);
cef_frame_t* frame_param(const std::shared_ptr<browser_state>& b);

// The client's handler of one kind for a browser (none when it has none).
template <class G>
auto client_handler(const browser_state& b, G cef_client_t::*getter, const char* kind) {
    return get_handler(b.client.get(), getter, kind);
}

} // namespace kq::standin
