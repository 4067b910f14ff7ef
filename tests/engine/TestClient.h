#pragma once
// A client and an application object written with the binding's helpers.
#include <mutex>
#include <string>
#include <vector>

#include "engine/EngineObject.h"
#include "engine/EngineRef.h"
#include "engine/EngineStrings.h"

// A client and an application object written with the binding's helpers, as the program writes its own;
// every callback it receives is logged with the browser identifier.
namespace kq::test {

class event_log {
public:
    void add(std::string line) {
        const std::lock_guard lock(FLock);
        FLines.push_back(std::move(line));
    }
    std::vector<std::string> lines() const {
        const std::lock_guard lock(FLock);
        return FLines;
    }
    void clear() {
        const std::lock_guard lock(FLock);
        FLines.clear();
    }

private:
    mutable std::mutex FLock; // guards FLines
    std::vector<std::string> FLines;
};

std::string browser_tag(cef_browser_t* browser);

class test_life_span : public engine_object<cef_life_span_handler_t> {
public:
    explicit test_life_span(event_log& log);
    bool close_refused = false;
    HWND popup_parent = nullptr; // popups become its children at the requested place

private:
    int OnBeforePopup(cef_browser_t* browser, cef_frame_t* frame, const cef_string_t* url, const cef_string_t* name,
                      cef_window_open_disposition_t disposition, int gesture, const cef_popup_features_t* features,
                      cef_window_info_t* window, cef_client_t** client, cef_browser_settings_t* settings,
                      int* no_script_access);
    void OnAfterCreated(cef_browser_t* browser);
    int DoClose(cef_browser_t* browser);
    void OnBeforeClose(cef_browser_t* browser);
    event_log& FLog;
};

class test_load : public engine_object<cef_load_handler_t> {
public:
    explicit test_load(event_log& log);

private:
    void OnLoadingStateChange(cef_browser_t* browser, int loading, int back, int forward);
    void OnLoadStart(cef_browser_t* browser, cef_frame_t* frame);
    void OnLoadEnd(cef_browser_t* browser, cef_frame_t* frame, int status);
    void OnLoadError(cef_browser_t* browser, cef_frame_t* frame, cef_errorcode_t code, const cef_string_t* text,
                     const cef_string_t* url);
    event_log& FLog;
};

// Status messages go to `status_window` (when set) as WM_APP with the sending thread's identifier.
class test_display : public engine_object<cef_display_handler_t> {
public:
    explicit test_display(event_log& log);
    HWND status_window = nullptr;

private:
    void OnAddressChange(cef_browser_t* browser, cef_frame_t* frame, const cef_string_t* url);
    void OnTitleChange(cef_browser_t* browser, const cef_string_t* title);
    void OnStatusMessage(cef_browser_t* browser, const cef_string_t* text);
    event_log& FLog;
};

// Removes command `removed_command` from every context menu.
class test_context_menu : public engine_object<cef_context_menu_handler_t> {
public:
    test_context_menu();
    int removed_command = 0;

private:
    void OnBeforeContextMenu(cef_browser_t* browser, cef_frame_t* frame, cef_context_menu_params_t* params,
                             cef_menu_model_t* model);
};

// Answers every script dialog with "ok" and every authentication with fixed credentials.
class test_dialogs : public engine_object<cef_jsdialog_handler_t> {
public:
    test_dialogs();

private:
    int OnJsdialog(cef_browser_t* browser, const cef_string_t* origin, const cef_string_t* lang,
                   cef_jsdialog_type_t type, const cef_string_t* message, const cef_string_t* prompt,
                   cef_jsdialog_callback_t* callback, int* suppress);
};

class test_requests : public engine_object<cef_request_handler_t> {
public:
    test_requests();

private:
    int GetAuthCredentials(cef_browser_t* browser, cef_frame_t* frame, int proxy, const cef_string_t* host, int port,
                           const cef_string_t* realm, const cef_string_t* scheme, cef_auth_callback_t* callback);
};

class test_client : public engine_object<cef_client_t> {
public:
    explicit test_client(event_log& log);
    test_life_span& life_span() { return *engine_impl<test_life_span>(FLifeSpan.get()); }
    test_display& display() { return *engine_impl<test_display>(FDisplay.get()); }
    test_context_menu& context_menu() { return *engine_impl<test_context_menu>(FContextMenu.get()); }

private:
    cef_life_span_handler_t* GetLifeSpanHandler() { return FLifeSpan.pass(); }
    cef_load_handler_t* GetLoadHandler() { return FLoad.pass(); }
    cef_display_handler_t* GetDisplayHandler() { return FDisplay.pass(); }
    cef_context_menu_handler_t* GetContextMenuHandler() { return FContextMenu.pass(); }
    cef_jsdialog_handler_t* GetJsdialogHandler() { return FDialogs.pass(); }
    cef_request_handler_t* GetRequestHandler() { return FRequests.pass(); }
    int OnProcessMessageReceived(cef_browser_t* browser, cef_process_id_t source, cef_process_message_t* message);

    event_log& FLog;
    engine_ref<cef_life_span_handler_t> FLifeSpan;
    engine_ref<cef_load_handler_t> FLoad;
    engine_ref<cef_display_handler_t> FDisplay;
    engine_ref<cef_context_menu_handler_t> FContextMenu;
    engine_ref<cef_jsdialog_handler_t> FDialogs;
    engine_ref<cef_request_handler_t> FRequests;
};

class test_browser_process : public engine_object<cef_browser_process_handler_t> {
public:
    explicit test_browser_process(event_log& log);

private:
    void OnContextInitialized();
    event_log& FLog;
};

// Answers the message "ask" (argument 0: a global variable's name) with "answer" (the name and the variable's
// text), read in the page's script context.
class test_render_process : public engine_object<cef_render_process_handler_t> {
public:
    explicit test_render_process(event_log& log);

private:
    void OnBrowserCreated(cef_browser_t* browser);
    void OnBrowserDestroyed(cef_browser_t* browser);
    int OnProcessMessageReceived(cef_browser_t* browser, cef_process_id_t source, cef_process_message_t* message);
    event_log& FLog;
};

class test_app : public engine_object<cef_app_t> {
public:
    explicit test_app(event_log& log);

private:
    void OnBeforeCommandLineProcessing(const cef_string_t* type, cef_command_line_t* line);
    cef_browser_process_handler_t* GetBrowserProcessHandler() { return FBrowserProcess.pass(); }
    cef_render_process_handler_t* GetRenderProcessHandler() { return FRenderProcess.pass(); }
    event_log& FLog;
    engine_ref<cef_browser_process_handler_t> FBrowserProcess;
    engine_ref<cef_render_process_handler_t> FRenderProcess;
};

} // namespace kq::test
