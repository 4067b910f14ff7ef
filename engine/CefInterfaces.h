#pragma once
// ICefBrowser, ICefFrame and the other wrappers of engine objects the browser framework calls.
#include <cstdint>

#include "engine/EngineRef.h"
#include "engine/cef_capi.h"
#include "framework/Strings.h"

// Thin wrappers of the engine's objects with the names the browser framework uses. Each holds one counted
// reference (copies share the object); an empty wrapper stands for none. Calls go straight to the engine.
namespace kq {

class ICefBrowserHost;
class ICefFrame;
class ICefListValue;
class ICefProcessMessage;
class ICefV8Value;
class ICefv8Context;
class ICefV8Exception;

// The shared part: the reference, its test and the raw pointer for engine calls.
template <class T>
class cef_wrapper {
public:
    using engine_struct = T;
    cef_wrapper() noexcept = default;
    explicit cef_wrapper(engine_ref<T> ref) noexcept : FRef(std::move(ref)) {}
    T* get() const noexcept { return FRef.get(); }
    const engine_ref<T>& ref() const noexcept { return FRef; }
    explicit operator bool() const noexcept { return static_cast<bool>(FRef); }
    // The same engine object (not an equal one).
    friend bool operator==(const cef_wrapper& a, const cef_wrapper& b) noexcept { return a.FRef == b.FRef; }

protected:
    engine_ref<T> FRef;
};

class ICefBrowser : public cef_wrapper<cef_browser_t> {
public:
    using cef_wrapper::cef_wrapper;
    // Takes over a reference the engine counted for us (a callback parameter, a returned object).
    static ICefBrowser adopt(cef_browser_t* p) { return ICefBrowser(engine_ref<cef_browser_t>::adopt(p)); }

    ICefBrowserHost GetHost() const;
    bool CanGoBack() const;
    void GoBack() const;
    bool CanGoForward() const;
    void GoForward() const;
    bool IsLoading() const;
    void Reload() const;
    void ReloadIgnoreCache() const;
    void StopLoad() const;
    int GetIdentifier() const;
    bool IsSame(const ICefBrowser& other) const;
    bool IsPopup() const;
    ICefFrame GetMainFrame() const;
    ICefFrame GetFocusedFrame() const;
    bool SendProcessMessage(cef_process_id_t target, const ICefProcessMessage& message) const;
};

class ICefBrowserHost : public cef_wrapper<cef_browser_host_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefBrowserHost adopt(cef_browser_host_t* p) {
        return ICefBrowserHost(engine_ref<cef_browser_host_t>::adopt(p));
    }

    ICefBrowser GetBrowser() const;
    void CloseBrowser(bool force) const;
    void SetFocus(bool focus) const;
    HWND GetWindowHandle() const;
    double GetZoomLevel() const;
    void SetZoomLevel(double level) const;
    void StartDownload(const String& url) const;
    void Print() const;
    // The DevTools window of this page, with a client of its own (none: the engine's defaults).
    void ShowDevTools(const cef_window_info_t& window, cef_client_t* client, const cef_browser_settings_t& settings,
                      const cef_point_t* inspect_at) const;
    void CloseDevTools() const;
    void NotifyMoveOrResizeStarted() const;
    void WasResized() const;
};

class ICefFrame : public cef_wrapper<cef_frame_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefFrame adopt(cef_frame_t* p) { return ICefFrame(engine_ref<cef_frame_t>::adopt(p)); }

    bool IsValid() const;
    bool IsMain() const;
    String GetName() const;
    int64_t GetIdentifier() const;
    String GetUrl() const;
    void LoadUrl(const String& url) const;
    void LoadString(const String& text, const String& url) const;
    void ExecuteJavaScript(const String& code, const String& script_url, int start_line) const;
    ICefBrowser GetBrowser() const;
    ICefv8Context GetV8Context() const;
    // The engine hands the frame's source or text to the visitor later, on its UI thread.
    void GetSource(const engine_ref<cef_string_visitor_t>& visitor) const;
    void GetText(const engine_ref<cef_string_visitor_t>& visitor) const;
};

class ICefCommandLine : public cef_wrapper<cef_command_line_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefCommandLine adopt(cef_command_line_t* p) {
        return ICefCommandLine(engine_ref<cef_command_line_t>::adopt(p));
    }

    String GetCommandLineString() const;
    String GetProgram() const;
    bool HasSwitch(const String& name) const;
    String GetSwitchValue(const String& name) const;
    void AppendSwitch(const String& name) const;
    void AppendSwitchWithValue(const String& name, const String& value) const;
    void AppendArgument(const String& argument) const;
};

class ICefListValue : public cef_wrapper<cef_list_value_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefListValue adopt(cef_list_value_t* p) { return ICefListValue(engine_ref<cef_list_value_t>::adopt(p)); }
    static ICefListValue New();

    std::size_t GetSize() const;
    bool SetSize(std::size_t size) const;
    cef_value_type_t GetType(int index) const;
    bool GetBool(int index) const;
    int GetInt(int index) const;
    double GetDouble(int index) const;
    String GetString(int index) const;
    bool SetNull(int index) const;
    bool SetBool(int index, bool value) const;
    bool SetInt(int index, int value) const;
    bool SetDouble(int index, double value) const;
    bool SetString(int index, const String& value) const;
};

class ICefProcessMessage : public cef_wrapper<cef_process_message_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefProcessMessage adopt(cef_process_message_t* p) {
        return ICefProcessMessage(engine_ref<cef_process_message_t>::adopt(p));
    }
    static ICefProcessMessage New(const String& name);

    String GetName() const;
    ICefListValue GetArgumentList() const;
};

class ICefV8Value : public cef_wrapper<cef_v8value_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefV8Value adopt(cef_v8value_t* p) { return ICefV8Value(engine_ref<cef_v8value_t>::adopt(p)); }
    static ICefV8Value NewBool(bool value);
    static ICefV8Value NewInt(int32_t value);
    static ICefV8Value NewDouble(double value);
    static ICefV8Value NewString(const String& value);
    static ICefV8Value NewUndefined();
    static ICefV8Value NewNull();
    // An object; its properties set by accessor are read and written through the accessor.
    static ICefV8Value NewObject(const engine_ref<cef_v8accessor_t>& accessor = {});

    bool IsValid() const;
    bool IsUndefined() const;
    bool IsNull() const;
    bool IsBool() const;
    bool IsInt() const;
    bool IsUInt() const;
    bool IsDouble() const;
    bool IsDate() const;
    bool IsString() const;
    bool IsObject() const;
    bool IsArray() const;
    bool IsFunction() const;
    bool GetBoolValue() const;
    int32_t GetIntValue() const;
    uint32_t GetUIntValue() const;
    double GetDoubleValue() const;
    String GetStringValue() const;
    String GetFunctionName() const;
    bool HasValueByKey(const String& key) const;
    ICefV8Value GetValueByKey(const String& key) const;
    bool SetValueByKey(const String& key, const ICefV8Value& value, cef_v8_propertyattribute_t attribute) const;
    bool SetValueByAccessor(const String& key, cef_v8_accesscontrol_t settings,
                            cef_v8_propertyattribute_t attribute) const;
};

class ICefV8Exception : public cef_wrapper<cef_v8exception_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefV8Exception adopt(cef_v8exception_t* p) {
        return ICefV8Exception(engine_ref<cef_v8exception_t>::adopt(p));
    }

    String GetMessage() const;
    String GetSourceLine() const;
    int GetLineNumber() const;
    int GetStartColumn() const;
};

class ICefv8Context : public cef_wrapper<cef_v8context_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefv8Context adopt(cef_v8context_t* p) { return ICefv8Context(engine_ref<cef_v8context_t>::adopt(p)); }

    bool IsValid() const;
    ICefBrowser GetBrowser() const;
    ICefFrame GetFrame() const;
    ICefV8Value GetGlobal() const;
    bool Enter() const;
    bool Exit() const;
    // True with the result set, or false with the exception set.
    bool Eval(const String& code, ICefV8Value& result, ICefV8Exception& exception) const;
};

// --- Objects of the client's callbacks

class ICefRequest : public cef_wrapper<cef_request_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefRequest adopt(cef_request_t* p) { return ICefRequest(engine_ref<cef_request_t>::adopt(p)); }
    static ICefRequest New();

    String GetUrl() const;
    void SetUrl(const String& url) const;
    String GetMethod() const;
};

class ICefWebPluginInfo : public cef_wrapper<cef_web_plugin_info_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefWebPluginInfo adopt(cef_web_plugin_info_t* p) {
        return ICefWebPluginInfo(engine_ref<cef_web_plugin_info_t>::adopt(p));
    }

    String GetName() const;
    String GetPath() const;
    String GetVersion() const;
    String GetDescription() const;
};

// A request the program makes itself; its client hears the data and the completion.
class ICefUrlRequest : public cef_wrapper<cef_urlrequest_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefUrlRequest adopt(cef_urlrequest_t* p) { return ICefUrlRequest(engine_ref<cef_urlrequest_t>::adopt(p)); }
    // Starts the request; none when the engine refuses it.
    static ICefUrlRequest New(const ICefRequest& request, cef_urlrequest_client_t* client);

    ICefRequest GetRequest() const;
    cef_urlrequest_status_t GetRequestStatus() const;
    void Cancel() const;
};

class ICefMenuModel : public cef_wrapper<cef_menu_model_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefMenuModel adopt(cef_menu_model_t* p) { return ICefMenuModel(engine_ref<cef_menu_model_t>::adopt(p)); }

    bool Clear() const;
    int GetCount() const;
    bool AddSeparator() const;
    bool AddItem(int command_id, const String& label) const;
    bool Remove(int command_id) const;
    bool RemoveAt(int index) const;
    int GetIndexOf(int command_id) const;
    int GetCommandIdAt(int index) const;
    cef_menu_item_type_t GetTypeAt(int index) const;
    bool SetEnabled(int command_id, bool enabled) const;
};

class ICefContextMenuParams : public cef_wrapper<cef_context_menu_params_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefContextMenuParams adopt(cef_context_menu_params_t* p) {
        return ICefContextMenuParams(engine_ref<cef_context_menu_params_t>::adopt(p));
    }

    String GetLinkUrl() const;
    String GetPageUrl() const;
    cef_context_menu_type_flags_t GetTypeFlags() const;
};

class ICefCookieManager : public cef_wrapper<cef_cookie_manager_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefCookieManager adopt(cef_cookie_manager_t* p) {
        return ICefCookieManager(engine_ref<cef_cookie_manager_t>::adopt(p));
    }
    // The engine's global manager (none before the engine runs).
    static ICefCookieManager Global();

    bool SetStoragePath(const String& path, bool persist_session_cookies) const;
    bool FlushStore() const;
};

class ICefJsDialogCallback : public cef_wrapper<cef_jsdialog_callback_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefJsDialogCallback adopt(cef_jsdialog_callback_t* p) {
        return ICefJsDialogCallback(engine_ref<cef_jsdialog_callback_t>::adopt(p));
    }
    void Cont(bool success, const String& user_input) const;
};

class ICefAuthCallback : public cef_wrapper<cef_auth_callback_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefAuthCallback adopt(cef_auth_callback_t* p) {
        return ICefAuthCallback(engine_ref<cef_auth_callback_t>::adopt(p));
    }
    void Cont(const String& username, const String& password) const;
    void Cancel() const;
};

class ICefRequestCallback : public cef_wrapper<cef_request_callback_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefRequestCallback adopt(cef_request_callback_t* p) {
        return ICefRequestCallback(engine_ref<cef_request_callback_t>::adopt(p));
    }
    void Cont(bool allow) const;
    void Cancel() const;
};

class ICefBeforeDownloadCallback : public cef_wrapper<cef_before_download_callback_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefBeforeDownloadCallback adopt(cef_before_download_callback_t* p) {
        return ICefBeforeDownloadCallback(engine_ref<cef_before_download_callback_t>::adopt(p));
    }
    void Cont(const String& download_path, bool show_dialog) const;
};

class ICefDownloadItem : public cef_wrapper<cef_download_item_t> {
public:
    using cef_wrapper::cef_wrapper;
    static ICefDownloadItem adopt(cef_download_item_t* p) {
        return ICefDownloadItem(engine_ref<cef_download_item_t>::adopt(p));
    }
    String GetUrl() const;
};

} // namespace kq
