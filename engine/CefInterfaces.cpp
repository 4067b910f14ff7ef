#include "engine/CefInterfaces.h"

#include "engine/CefLibrary.h"
#include "engine/EngineStrings.h"

namespace kq {

// --- ICefBrowser

ICefBrowserHost ICefBrowser::GetHost() const { return ICefBrowserHost::adopt(get()->get_host(get())); }
bool ICefBrowser::CanGoBack() const { return get()->can_go_back(get()) != 0; }
void ICefBrowser::GoBack() const { get()->go_back(get()); }
bool ICefBrowser::CanGoForward() const { return get()->can_go_forward(get()) != 0; }
void ICefBrowser::GoForward() const { get()->go_forward(get()); }
bool ICefBrowser::IsLoading() const { return get()->is_loading(get()) != 0; }
void ICefBrowser::Reload() const { get()->reload(get()); }
void ICefBrowser::ReloadIgnoreCache() const { get()->reload_ignore_cache(get()); }
void ICefBrowser::StopLoad() const { get()->stop_load(get()); }
int ICefBrowser::GetIdentifier() const { return get()->get_identifier(get()); }
bool ICefBrowser::IsSame(const ICefBrowser& other) const {
    return other && get()->is_same(get(), other.ref().pass()) != 0;
}
bool ICefBrowser::IsPopup() const { return get()->is_popup(get()) != 0; }
ICefFrame ICefBrowser::GetMainFrame() const { return ICefFrame::adopt(get()->get_main_frame(get())); }
ICefFrame ICefBrowser::GetFocusedFrame() const { return ICefFrame::adopt(get()->get_focused_frame(get())); }
bool ICefBrowser::SendProcessMessage(cef_process_id_t target, const ICefProcessMessage& message) const {
    return get()->send_process_message(get(), target, message.ref().pass()) != 0;
}

// --- ICefBrowserHost

ICefBrowser ICefBrowserHost::GetBrowser() const { return ICefBrowser::adopt(get()->get_browser(get())); }
void ICefBrowserHost::CloseBrowser(bool force) const { get()->close_browser(get(), force ? 1 : 0); }
void ICefBrowserHost::SetFocus(bool focus) const { get()->set_focus(get(), focus ? 1 : 0); }
HWND ICefBrowserHost::GetWindowHandle() const { return get()->get_window_handle(get()); }
double ICefBrowserHost::GetZoomLevel() const { return get()->get_zoom_level(get()); }
void ICefBrowserHost::SetZoomLevel(double level) const { get()->set_zoom_level(get(), level); }
void ICefBrowserHost::StartDownload(const String& url) const {
    const cef_string_t u = cef_string_view(url);
    get()->start_download(get(), &u);
}
void ICefBrowserHost::Print() const { get()->print(get()); }
void ICefBrowserHost::ShowDevTools(const cef_window_info_t& window, cef_client_t* client,
                                   const cef_browser_settings_t& settings, const cef_point_t* inspect_at) const {
    get()->show_dev_tools(get(), &window, client, &settings, inspect_at);
}
void ICefBrowserHost::CloseDevTools() const { get()->close_dev_tools(get()); }
void ICefBrowserHost::NotifyMoveOrResizeStarted() const { get()->notify_move_or_resize_started(get()); }
void ICefBrowserHost::WasResized() const { get()->was_resized(get()); }

// --- ICefFrame

bool ICefFrame::IsValid() const { return get()->is_valid(get()) != 0; }
bool ICefFrame::IsMain() const { return get()->is_main(get()) != 0; }
String ICefFrame::GetName() const { return take_userfree(get()->get_name(get())); }
int64_t ICefFrame::GetIdentifier() const { return get()->get_identifier(get()); }
String ICefFrame::GetUrl() const { return take_userfree(get()->get_url(get())); }
void ICefFrame::LoadUrl(const String& url) const {
    const cef_string_t u = cef_string_view(url);
    get()->load_url(get(), &u);
}
void ICefFrame::LoadString(const String& text, const String& url) const {
    const cef_string_t t = cef_string_view(text);
    const cef_string_t u = cef_string_view(url);
    get()->load_string(get(), &t, &u);
}
void ICefFrame::ExecuteJavaScript(const String& code, const String& script_url, int start_line) const {
    const cef_string_t c = cef_string_view(code);
    const cef_string_t u = cef_string_view(script_url);
    get()->execute_java_script(get(), &c, &u, start_line);
}
ICefBrowser ICefFrame::GetBrowser() const { return ICefBrowser::adopt(get()->get_browser(get())); }
ICefv8Context ICefFrame::GetV8Context() const { return ICefv8Context::adopt(get()->get_v8context(get())); }
void ICefFrame::GetSource(const engine_ref<cef_string_visitor_t>& visitor) const { get()->get_source(get(), visitor.pass()); }
void ICefFrame::GetText(const engine_ref<cef_string_visitor_t>& visitor) const { get()->get_text(get(), visitor.pass()); }

// --- ICefCommandLine

String ICefCommandLine::GetCommandLineString() const { return take_userfree(get()->get_command_line_string(get())); }
String ICefCommandLine::GetProgram() const { return take_userfree(get()->get_program(get())); }
bool ICefCommandLine::HasSwitch(const String& name) const {
    const cef_string_t n = cef_string_view(name);
    return get()->has_switch(get(), &n) != 0;
}
String ICefCommandLine::GetSwitchValue(const String& name) const {
    const cef_string_t n = cef_string_view(name);
    return take_userfree(get()->get_switch_value(get(), &n));
}
void ICefCommandLine::AppendSwitch(const String& name) const {
    const cef_string_t n = cef_string_view(name);
    get()->append_switch(get(), &n);
}
void ICefCommandLine::AppendSwitchWithValue(const String& name, const String& value) const {
    const cef_string_t n = cef_string_view(name);
    const cef_string_t v = cef_string_view(value);
    get()->append_switch_with_value(get(), &n, &v);
}
void ICefCommandLine::AppendArgument(const String& argument) const {
    const cef_string_t a = cef_string_view(argument);
    get()->append_argument(get(), &a);
}

// --- ICefListValue

ICefListValue ICefListValue::New() { return adopt(engine_api().cef_list_value_create()); }
std::size_t ICefListValue::GetSize() const { return get()->get_size(get()); }
bool ICefListValue::SetSize(std::size_t size) const { return get()->set_size(get(), size) != 0; }
cef_value_type_t ICefListValue::GetType(int index) const { return get()->get_type(get(), index); }
bool ICefListValue::GetBool(int index) const { return get()->get_bool(get(), index) != 0; }
int ICefListValue::GetInt(int index) const { return get()->get_int(get(), index); }
double ICefListValue::GetDouble(int index) const { return get()->get_double(get(), index); }
String ICefListValue::GetString(int index) const { return take_userfree(get()->get_string(get(), index)); }
bool ICefListValue::SetNull(int index) const { return get()->set_null(get(), index) != 0; }
bool ICefListValue::SetBool(int index, bool value) const { return get()->set_bool(get(), index, value ? 1 : 0) != 0; }
bool ICefListValue::SetInt(int index, int value) const { return get()->set_int(get(), index, value) != 0; }
bool ICefListValue::SetDouble(int index, double value) const { return get()->set_double(get(), index, value) != 0; }
bool ICefListValue::SetString(int index, const String& value) const {
    const cef_string_t v = cef_string_view(value);
    return get()->set_string(get(), index, &v) != 0;
}

// --- ICefProcessMessage

ICefProcessMessage ICefProcessMessage::New(const String& name) {
    const cef_string_t n = cef_string_view(name);
    return adopt(engine_api().cef_process_message_create(&n));
}
String ICefProcessMessage::GetName() const { return take_userfree(get()->get_name(get())); }
ICefListValue ICefProcessMessage::GetArgumentList() const {
    return ICefListValue::adopt(get()->get_argument_list(get()));
}

// --- ICefV8Value

ICefV8Value ICefV8Value::NewBool(bool value) { return adopt(engine_api().cef_v8value_create_bool(value ? 1 : 0)); }
ICefV8Value ICefV8Value::NewInt(int32_t value) { return adopt(engine_api().cef_v8value_create_int(value)); }
ICefV8Value ICefV8Value::NewDouble(double value) { return adopt(engine_api().cef_v8value_create_double(value)); }
ICefV8Value ICefV8Value::NewString(const String& value) {
    const cef_string_t v = cef_string_view(value);
    return adopt(engine_api().cef_v8value_create_string(&v));
}
ICefV8Value ICefV8Value::NewUndefined() { return adopt(engine_api().cef_v8value_create_undefined()); }
ICefV8Value ICefV8Value::NewNull() { return adopt(engine_api().cef_v8value_create_null()); }
ICefV8Value ICefV8Value::NewObject(const engine_ref<cef_v8accessor_t>& accessor) {
    return adopt(engine_api().cef_v8value_create_object(accessor.pass()));
}
bool ICefV8Value::IsValid() const { return get()->is_valid(get()) != 0; }
bool ICefV8Value::IsUndefined() const { return get()->is_undefined(get()) != 0; }
bool ICefV8Value::IsNull() const { return get()->is_null(get()) != 0; }
bool ICefV8Value::IsBool() const { return get()->is_bool(get()) != 0; }
bool ICefV8Value::IsInt() const { return get()->is_int(get()) != 0; }
bool ICefV8Value::IsUInt() const { return get()->is_uint(get()) != 0; }
bool ICefV8Value::IsDouble() const { return get()->is_double(get()) != 0; }
bool ICefV8Value::IsDate() const { return get()->is_date(get()) != 0; }
bool ICefV8Value::IsString() const { return get()->is_string(get()) != 0; }
bool ICefV8Value::IsObject() const { return get()->is_object(get()) != 0; }
bool ICefV8Value::IsArray() const { return get()->is_array(get()) != 0; }
bool ICefV8Value::IsFunction() const { return get()->is_function(get()) != 0; }
bool ICefV8Value::GetBoolValue() const { return get()->get_bool_value(get()) != 0; }
int32_t ICefV8Value::GetIntValue() const { return get()->get_int_value(get()); }
uint32_t ICefV8Value::GetUIntValue() const { return get()->get_uint_value(get()); }
double ICefV8Value::GetDoubleValue() const { return get()->get_double_value(get()); }
String ICefV8Value::GetStringValue() const { return take_userfree(get()->get_string_value(get())); }
String ICefV8Value::GetFunctionName() const { return take_userfree(get()->get_function_name(get())); }
bool ICefV8Value::HasValueByKey(const String& key) const {
    const cef_string_t k = cef_string_view(key);
    return get()->has_value_bykey(get(), &k) != 0;
}
ICefV8Value ICefV8Value::GetValueByKey(const String& key) const {
    const cef_string_t k = cef_string_view(key);
    return adopt(get()->get_value_bykey(get(), &k));
}
bool ICefV8Value::SetValueByKey(const String& key, const ICefV8Value& value,
                                cef_v8_propertyattribute_t attribute) const {
    const cef_string_t k = cef_string_view(key);
    return get()->set_value_bykey(get(), &k, value.ref().pass(), attribute) != 0;
}
bool ICefV8Value::SetValueByAccessor(const String& key, cef_v8_accesscontrol_t settings,
                                     cef_v8_propertyattribute_t attribute) const {
    const cef_string_t k = cef_string_view(key);
    return get()->set_value_byaccessor(get(), &k, settings, attribute) != 0;
}

// --- ICefV8Exception

String ICefV8Exception::GetMessage() const { return take_userfree(get()->get_message(get())); }
String ICefV8Exception::GetSourceLine() const { return take_userfree(get()->get_source_line(get())); }
int ICefV8Exception::GetLineNumber() const { return get()->get_line_number(get()); }
int ICefV8Exception::GetStartColumn() const { return get()->get_start_column(get()); }

// --- ICefv8Context

bool ICefv8Context::IsValid() const { return get()->is_valid(get()) != 0; }
ICefBrowser ICefv8Context::GetBrowser() const { return ICefBrowser::adopt(get()->get_browser(get())); }
ICefFrame ICefv8Context::GetFrame() const { return ICefFrame::adopt(get()->get_frame(get())); }
ICefV8Value ICefv8Context::GetGlobal() const { return ICefV8Value::adopt(get()->get_global(get())); }
bool ICefv8Context::Enter() const { return get()->enter(get()) != 0; }
bool ICefv8Context::Exit() const { return get()->exit(get()) != 0; }
bool ICefv8Context::Eval(const String& code, ICefV8Value& result, ICefV8Exception& exception) const {
    const cef_string_t c = cef_string_view(code);
    cef_v8value_t* value = nullptr;
    cef_v8exception_t* error = nullptr;
    const bool ok = get()->eval(get(), &c, &value, &error) != 0;
    result = ICefV8Value::adopt(value);
    exception = ICefV8Exception::adopt(error);
    return ok;
}

// --- Objects of the client's callbacks

String ICefWebPluginInfo::GetName() const { return take_userfree(get()->get_name(get())); }
String ICefWebPluginInfo::GetPath() const { return take_userfree(get()->get_path(get())); }
String ICefWebPluginInfo::GetVersion() const { return take_userfree(get()->get_version(get())); }
String ICefWebPluginInfo::GetDescription() const { return take_userfree(get()->get_description(get())); }

ICefRequest ICefRequest::New() { return adopt(engine_api().cef_request_create()); }
String ICefRequest::GetUrl() const { return take_userfree(get()->get_url(get())); }
void ICefRequest::SetUrl(const String& url) const {
    const cef_string_t u = cef_string_view(url);
    get()->set_url(get(), &u);
}
String ICefRequest::GetMethod() const { return take_userfree(get()->get_method(get())); }

ICefUrlRequest ICefUrlRequest::New(const ICefRequest& request, cef_urlrequest_client_t* client) {
    if (client) client->base.add_ref(&client->base);
    return adopt(engine_api().cef_urlrequest_create(request.ref().pass(), client, nullptr));
}
ICefRequest ICefUrlRequest::GetRequest() const { return ICefRequest::adopt(get()->get_request(get())); }
cef_urlrequest_status_t ICefUrlRequest::GetRequestStatus() const { return get()->get_request_status(get()); }
void ICefUrlRequest::Cancel() const { get()->cancel(get()); }

bool ICefMenuModel::Clear() const { return get()->clear(get()) != 0; }
int ICefMenuModel::GetCount() const { return get()->get_count(get()); }
bool ICefMenuModel::AddSeparator() const { return get()->add_separator(get()) != 0; }
bool ICefMenuModel::AddItem(int command_id, const String& label) const {
    const cef_string_t l = cef_string_view(label);
    return get()->add_item(get(), command_id, &l) != 0;
}
bool ICefMenuModel::Remove(int command_id) const { return get()->remove(get(), command_id) != 0; }
bool ICefMenuModel::RemoveAt(int index) const { return get()->remove_at(get(), index) != 0; }
int ICefMenuModel::GetIndexOf(int command_id) const { return get()->get_index_of(get(), command_id); }
int ICefMenuModel::GetCommandIdAt(int index) const { return get()->get_command_id_at(get(), index); }
cef_menu_item_type_t ICefMenuModel::GetTypeAt(int index) const { return get()->get_type_at(get(), index); }
bool ICefMenuModel::SetEnabled(int command_id, bool enabled) const {
    return get()->set_enabled(get(), command_id, enabled ? 1 : 0) != 0;
}

String ICefContextMenuParams::GetLinkUrl() const { return take_userfree(get()->get_link_url(get())); }
String ICefContextMenuParams::GetPageUrl() const { return take_userfree(get()->get_page_url(get())); }
cef_context_menu_type_flags_t ICefContextMenuParams::GetTypeFlags() const { return get()->get_type_flags(get()); }

ICefCookieManager ICefCookieManager::Global() {
    return ICefCookieManager::adopt(engine_api().cef_cookie_manager_get_global_manager(nullptr));
}
bool ICefCookieManager::SetStoragePath(const String& path, bool persist_session_cookies) const {
    const cef_string_t p = cef_string_view(path);
    return get()->set_storage_path(get(), &p, persist_session_cookies ? 1 : 0, nullptr) != 0;
}
bool ICefCookieManager::FlushStore() const { return get()->flush_store(get(), nullptr) != 0; }

void ICefJsDialogCallback::Cont(bool success, const String& user_input) const {
    const cef_string_t u = cef_string_view(user_input);
    get()->cont(get(), success ? 1 : 0, &u);
}
void ICefAuthCallback::Cont(const String& username, const String& password) const {
    const cef_string_t u = cef_string_view(username), p = cef_string_view(password);
    get()->cont(get(), &u, &p);
}
void ICefAuthCallback::Cancel() const { get()->cancel(get()); }
void ICefRequestCallback::Cont(bool allow) const { get()->cont(get(), allow ? 1 : 0); }
void ICefRequestCallback::Cancel() const { get()->cancel(get()); }
void ICefBeforeDownloadCallback::Cont(const String& download_path, bool show_dialog) const {
    const cef_string_t p = cef_string_view(download_path);
    get()->cont(get(), &p, show_dialog ? 1 : 0);
}
String ICefDownloadItem::GetUrl() const { return take_userfree(get()->get_url(get())); }

} // namespace kq
