#pragma once
// TWebBHandler, the engine's client and its handlers.
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "browser/WebB.Events.h"
#include "engine/EngineObject.h"

namespace kq {

// What the view asks of its client.
class ICefClientHandler {
public:
    // Drops the client's references to its handler objects.
    virtual void ReleaseHandlers() = 0;
    // Enables the process's message-loop timer.
    virtual void StartTimer() = 0;

protected:
    ~ICefClientHandler() = default;
};

// The sink as the handlers reach it: cleared by the view when it goes, so a callback the engine makes
// afterwards, on any thread, raises nothing. A direct event runs under the shared lock, and the view clears
// it on the GUI thread: a handler of a direct event must not wait for the GUI thread.
class sink_link {
public:
    explicit sink_link(IWebBrowser* sink) noexcept : FSink(sink) {}
    // Runs f(sink) while the sink is there; returns whether it ran.
    template <class F>
    bool with(F&& f) {
        const std::shared_lock lock(FLock);
        if (!FSink) return false;
        f(*FSink);
        return true;
    }
    void clear() noexcept {
        const std::unique_lock lock(FLock);
        FSink = nullptr;
    }

private:
    std::shared_mutex FLock; // guards FSink
    IWebBrowser* FSink;
};

// The engine client shared by all pages of a view: hands the engine one handler of each kind; each raises
// its event directly on the engine's calling thread or carries the callback to the view. While at least
// one client exists the process keeps a 15 ms timer that runs the engine's message-loop work on the GUI
// thread. Create on the GUI thread; the last reference may go on any thread.
class TWebBHandler : public engine_object<cef_client_t>, public ICefClientHandler {
public:
    TWebBHandler(bool renderer, std::shared_ptr<sink_link> web_browser);
    ~TWebBHandler() override;

    void ReleaseHandlers() override;
    void StartTimer() override;

    // The process's clients and whether their timer exists and runs (for tests).
    static int live_clients() noexcept;
    static bool timer_exists() noexcept;
    static bool timer_enabled() noexcept;
    // True on the GUI thread while it is inside the engine's message-loop work (an engine callback), which
    // is not re-entered until that callback returns.
    static bool in_engine_work() noexcept;

private:
    template <class T>
    T* handler(engine_ref<T> TWebBHandler::*field);
    cef_context_menu_handler_t* GetContextMenuHandler();
    cef_dialog_handler_t* GetDialogHandler();
    cef_display_handler_t* GetDisplayHandler();
    cef_download_handler_t* GetDownloadHandler();
    cef_drag_handler_t* GetDragHandler();
    cef_find_handler_t* GetFindHandler();
    cef_focus_handler_t* GetFocusHandler();
    cef_geolocation_handler_t* GetGeolocationHandler();
    cef_jsdialog_handler_t* GetJsdialogHandler();
    cef_keyboard_handler_t* GetKeyboardHandler();
    cef_life_span_handler_t* GetLifeSpanHandler();
    cef_load_handler_t* GetLoadHandler();
    cef_render_handler_t* GetRenderHandler();
    cef_request_handler_t* GetRequestHandler();
    int OnProcessMessageReceived(ICefBrowser browser, cef_process_id_t source_process, ICefProcessMessage message);

    std::shared_ptr<sink_link> FEvents;
    std::mutex FLock; // guards the handler fields: the engine reads them on its threads
    engine_ref<cef_load_handler_t> FLoadHandler;
    engine_ref<cef_focus_handler_t> FFocusHandler;
    engine_ref<cef_context_menu_handler_t> FContextMenuHandler;
    engine_ref<cef_dialog_handler_t> FDialogHandler;
    engine_ref<cef_keyboard_handler_t> FKeyboardHandler;
    engine_ref<cef_display_handler_t> FDisplayHandler;
    engine_ref<cef_download_handler_t> FDownloadHandler;
    engine_ref<cef_geolocation_handler_t> FGeolocationHandler;
    engine_ref<cef_jsdialog_handler_t> FJsDialogHandler;
    engine_ref<cef_life_span_handler_t> FLifeSpanHandler;
    engine_ref<cef_render_handler_t> FRenderHandler;
    engine_ref<cef_request_handler_t> FRequestHandler;
    engine_ref<cef_drag_handler_t> FDragHandler;
    engine_ref<cef_find_handler_t> FFindHandler;
};

} // namespace kq
