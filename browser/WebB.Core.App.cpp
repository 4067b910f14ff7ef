#include "browser/WebB.Core.App.h"

#include <float.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "browser/WebB.Handler.BrowserProcess.h"
#include "browser/WebB.Handler.RenderProcess.h"
#include "browser/WebB.Handler.ResourceBundle.h"
#include "engine/EngineObject.h"
#include "engine/EngineStrings.h"
#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/Properties.h"

namespace kq {

TWebBApp* WebBApp = nullptr;

namespace {

constexpr char16_t load_lib_first_text[] = u"TWebBApp.LoadLib must be called first";

// Set up before the engine starts and torn down after it has stopped; engine threads only read it.
struct app_state {
    std::unique_ptr<TWebBApp> app;
    engine_ref<cef_resource_bundle_handler_t> resource_bundle;
    engine_ref<cef_browser_process_handler_t> browser_process;
    engine_ref<cef_render_process_handler_t> render_process;
    TOnBeforeCommandLineProcessing before_command_line;
    TOnRegisterCustomSchemes register_custom_schemes;
    std::vector<TRegExtentionPar> extentions;
};

app_state& state() {
    static app_state s;
    return s;
}

// The application object the engine asks for its callbacks and handlers.
class TInternalApp : public engine_object<cef_app_t> {
public:
    TInternalApp() {
        cef()->on_before_command_line_processing = &engine_thunk<&TInternalApp::BeforeCommandLineProcessing>::call;
        cef()->on_register_custom_schemes = &engine_thunk<&TInternalApp::RegisterCustomSchemes>::call;
        cef()->get_resource_bundle_handler = &engine_thunk<&TInternalApp::GetResourceBundleHandler>::call;
        cef()->get_browser_process_handler = &engine_thunk<&TInternalApp::GetBrowserProcessHandler>::call;
        cef()->get_render_process_handler = &engine_thunk<&TInternalApp::GetRenderProcessHandler>::call;
    }

private:
    void BeforeCommandLineProcessing(const cef_string_t* process_type, const ICefCommandLine& command_line) {
        if (state().before_command_line) state().before_command_line(to_string(process_type), command_line);
    }
    void RegisterCustomSchemes(const engine_ref<cef_scheme_registrar_t>& registrar) {
        if (state().register_custom_schemes) state().register_custom_schemes(registrar);
    }
    cef_resource_bundle_handler_t* GetResourceBundleHandler() { return state().resource_bundle.pass(); }
    cef_browser_process_handler_t* GetBrowserProcessHandler() { return state().browser_process.pass(); }
    cef_render_process_handler_t* GetRenderProcessHandler() { return state().render_process.pass(); }
};

} // namespace

// --- Life cycle

TWebBApp::TWebBApp() = default;

TWebBApp::~TWebBApp() { CefShutDown(); }

bool TWebBApp::Init() { return LoadLib(); }

bool TWebBApp::LoadLib() {
    if (FLibrary.loaded()) return true;
    // The engine's code expects every floating-point exception masked.
    _controlfp(_MCW_EM, _MCW_EM);
    // A path is taken from the current folder; the system's search would try the program's folder first.
    const bool has_folder = FCefLibrary.find_first_of(u"\\/") != String::npos;
    switch (FLibrary.load(has_folder ? ExpandFileName(FCefLibrary) : FCefLibrary)) {
    case engine_load_status::not_loadable: RaiseLastOSError(FLibrary.load_error());
    case engine_load_status::export_missing: throw ECefException(u"Invalid CEF Library version");
    case engine_load_status::loaded: break;
    }
    const cef_exports& api = FLibrary.exports();

    cef_settings_t settings{};
    settings.size = sizeof settings;
    settings.single_process = FCefSingleProcess;
    settings.no_sandbox = FCefNoSandbox;
    settings.browser_subprocess_path = cef_string_view(FCefBrowserSubprocessPath);
    // The engine's browser-process work runs on the GUI thread, driven by the message-loop timer.
    settings.multi_threaded_message_loop = 0;
    settings.windowless_rendering_enabled = FCefWindowlessRenderingEnabled;
    settings.command_line_args_disabled = FCefCommandLineArgsDisabled;
    settings.cache_path = cef_string_view(FCefCache);
    settings.user_data_path = cef_string_view(FCefUserDataPath);
    settings.persist_session_cookies = FCefPersistSessionCookies;
    settings.persist_user_preferences = 0;
    settings.user_agent = cef_string_view(FCefUserAgent);
    settings.product_version = cef_string_view(FCefProductVersion);
    settings.locale = cef_string_view(FCefLocale);
    settings.log_file = cef_string_view(FCefLogFile);
    settings.log_severity = FCefLogSeverity;
    settings.javascript_flags = cef_string_view(FCefJavaScriptFlags);
    settings.resources_dir_path = cef_string_view(FCefResourcesDirPath);
    settings.locales_dir_path = cef_string_view(FCefLocalesDirPath);
    settings.pack_loading_disabled = FCefPackLoadingDisabled;
    settings.remote_debugging_port = FCefRemoteDebuggingPort;
    settings.uncaught_exception_stack_size = FCefUncaughtExceptionStackSize;
    settings.context_safety_implementation = FCefContextSafetyImplementation;
    settings.ignore_certificate_errors = FCefIgnoreCertificateErrors;
    settings.background_color = FCefBackgroundColor;
    settings.accept_language_list = cef_string_view(FCefAcceptLanguageList);

    const engine_ref<cef_app_t> app = make_engine_object<TInternalApp>();
    const cef_main_args_t args{::GetModuleHandleW(nullptr)};
    // A sub-process runs to its end inside this call; its exit code is not passed on.
    if (api.cef_execute_process(&args, app.pass(), FCefWindowsSandboxInfo) >= 0) return false;
    api.cef_initialize(&args, &settings, app.pass(), FCefWindowsSandboxInfo);
    FCefIsMainProcess = true;
    return true;
}

void TWebBApp::CefShutDown() {
    if (!FLibrary.loaded()) return;
    if (FCefIsMainProcess) FLibrary.exports().cef_shutdown();
    FCefIsMainProcess = false;
    FLibrary.unload();
}

void TWebBApp::check_loaded() const {
    if (!FLibrary.loaded()) throw Exception(load_lib_first_text);
}

// --- Events

TOnBeforeCommandLineProcessing TWebBApp::OnBeforeCommandLineProcessing() const { return state().before_command_line; }
void TWebBApp::SetOnBeforeCommandLineProcessing(TOnBeforeCommandLineProcessing Value) {
    state().before_command_line = std::move(Value);
}
TOnRegisterCustomSchemes TWebBApp::OnRegisterCustomSchemes() const { return state().register_custom_schemes; }
void TWebBApp::SetOnRegisterCustomSchemes(TOnRegisterCustomSchemes Value) {
    state().register_custom_schemes = std::move(Value);
}

// The handlers' events, reached through their holders.
#define KQ_HANDLER_EVENT(Holder, Name)                                                                 \
    T##Name TWebBApp::Name() const { return Holder().Name; }                                          \
    void TWebBApp::Set##Name(T##Name Value) { Holder().Name = std::move(Value); }
KQ_HANDLER_EVENT(ResourceBundleHandler, OnGetDataResource)
KQ_HANDLER_EVENT(ResourceBundleHandler, OnGetLocalizedString)
KQ_HANDLER_EVENT(ResourceBundleHandler, OnGetDataResourceForScale)
KQ_HANDLER_EVENT(BrowserProcessHandler, OnContextInitialized)
KQ_HANDLER_EVENT(BrowserProcessHandler, OnBeforeChildProcessLaunch)
KQ_HANDLER_EVENT(BrowserProcessHandler, OnRenderProcessThreadCreated)
KQ_HANDLER_EVENT(RenderProcessHandler, OnWebKitInitialized)
KQ_HANDLER_EVENT(RenderProcessHandler, OnBrowserCreated)
KQ_HANDLER_EVENT(RenderProcessHandler, OnBrowserDestroyed)
KQ_HANDLER_EVENT(RenderProcessHandler, OnBeforeNavigation)
KQ_HANDLER_EVENT(RenderProcessHandler, OnContextCreated)
KQ_HANDLER_EVENT(RenderProcessHandler, OnContextReleased)
KQ_HANDLER_EVENT(RenderProcessHandler, OnUncaughtException)
KQ_HANDLER_EVENT(RenderProcessHandler, OnFocusedNodeChanged)
KQ_HANDLER_EVENT(RenderProcessHandler, OnProcessMessageReceived)
KQ_HANDLER_EVENT(RenderProcessHandler, OnRenderThreadCreated)
#undef KQ_HANDLER_EVENT

TWebBResourceBundleHandler& TWebBApp::ResourceBundleHandler() noexcept {
    return *engine_impl<TWebBResourceBundleHandler>(state().resource_bundle.get());
}
TWebBBrowserProcessHandler& TWebBApp::BrowserProcessHandler() noexcept {
    return *engine_impl<TWebBBrowserProcessHandler>(state().browser_process.get());
}
TWebBRenderProcessHandler& TWebBApp::RenderProcessHandler() noexcept {
    return *engine_impl<TWebBRenderProcessHandler>(state().render_process.get());
}

// --- Wrappers of the engine's global functions

bool TWebBApp::CefBrowserHostCreate(const cef_window_info_t& window_info, const engine_ref<cef_client_t>& client,
                                    const String& url, const cef_browser_settings_t& settings,
                                    const engine_ref<cef_request_context_t>& RequestContext) {
    check_loaded();
    const cef_string_t u = cef_string_view(url);
    return FLibrary.exports().cef_browser_host_create_browser(&window_info, client.pass(), &u, &settings,
                                                              RequestContext.pass()) != 0;
}

ICefBrowser TWebBApp::CefBrowserHostCreateSync(const cef_window_info_t& window_info,
                                               const engine_ref<cef_client_t>& client, const String& url,
                                               const cef_browser_settings_t& settings,
                                               const engine_ref<cef_request_context_t>& RequestContext) {
    check_loaded();
    const cef_string_t u = cef_string_view(url);
    return ICefBrowser::adopt(FLibrary.exports().cef_browser_host_create_browser_sync(
        &window_info, client.pass(), &u, &settings, RequestContext.pass()));
}

void TWebBApp::CefDoMessageLoopWork() {
    if (FLibrary.loaded()) FLibrary.exports().cef_do_message_loop_work();
}
void TWebBApp::CefRunMessageLoop() {
    if (FLibrary.loaded()) FLibrary.exports().cef_run_message_loop();
}
void TWebBApp::CefQuitMessageLoop() { engine_api().cef_quit_message_loop(); }
void TWebBApp::CefSetOsModalLoop(bool loop) { engine_api().cef_set_osmodal_loop(loop ? 1 : 0); }
void TWebBApp::CefEnableHighDpiSupport() { engine_api().cef_enable_highdpi_support(); }

bool TWebBApp::CefRegisterSchemeHandlerFactory(const String& scheme_name, const String& HostName,
                                               const engine_ref<cef_scheme_handler_factory_t>& factory) {
    check_loaded();
    const cef_string_t s = cef_string_view(scheme_name);
    const cef_string_t h = cef_string_view(HostName);
    return FLibrary.exports().cef_register_scheme_handler_factory(&s, &h, factory.pass()) != 0;
}

namespace {
// Makes a new resource handler for each request of its scheme.
class class_scheme_handler_factory : public engine_object<cef_scheme_handler_factory_t> {
public:
    using maker = std::function<engine_ref<cef_resource_handler_t>(const ICefBrowser&, const ICefFrame&, const String&,
                                                                   const ICefRequest&)>;
    explicit class_scheme_handler_factory(maker make) : FMake(std::move(make)) {
        cef()->create = &engine_thunk<&class_scheme_handler_factory::Create>::call;
    }

private:
    cef_resource_handler_t* Create(ICefBrowser browser, ICefFrame frame, const cef_string_t* scheme_name,
                                   ICefRequest request) {
        return FMake(browser, frame, scheme_name ? to_string(scheme_name) : String(), request).pass();
    }
    maker FMake;
};
} // namespace

bool TWebBApp::register_scheme_handler_class(const String& scheme_name, const String& HostName,
                                             resource_handler_maker make) {
    check_loaded();
    return CefRegisterSchemeHandlerFactory(scheme_name, HostName,
                                           make_engine_object<class_scheme_handler_factory>(std::move(make)));
}

bool TWebBApp::CefClearSchemeHandlerFactories() {
    check_loaded();
    return FLibrary.exports().cef_clear_scheme_handler_factories() != 0;
}

namespace {
using whitelist_export = int (*)(const cef_string_t*, const cef_string_t*, const cef_string_t*, int);
bool change_whitelist(whitelist_export change, const String& SourceOrigin, const String& TargetProtocol,
                      const String& TargetDomain, bool AllowTargetSubdomains) {
    const cef_string_t o = cef_string_view(SourceOrigin);
    const cef_string_t p = cef_string_view(TargetProtocol);
    const cef_string_t d = cef_string_view(TargetDomain);
    return change(&o, &p, &d, AllowTargetSubdomains ? 1 : 0) != 0;
}
} // namespace

bool TWebBApp::CefAddCrossOriginWhitelistEntry(const String& SourceOrigin, const String& TargetProtocol,
                                               const String& TargetDomain, bool AllowTargetSubdomains) {
    check_loaded();
    return change_whitelist(FLibrary.exports().cef_add_cross_origin_whitelist_entry, SourceOrigin, TargetProtocol,
                            TargetDomain, AllowTargetSubdomains);
}

bool TWebBApp::CefRemoveCrossOriginWhitelistEntry(const String& SourceOrigin, const String& TargetProtocol,
                                                  const String& TargetDomain, bool AllowTargetSubdomains) {
    check_loaded();
    return change_whitelist(FLibrary.exports().cef_remove_cross_origin_whitelist_entry, SourceOrigin, TargetProtocol,
                            TargetDomain, AllowTargetSubdomains);
}

bool TWebBApp::CefClearCrossOriginWhitelist() {
    check_loaded();
    return FLibrary.exports().cef_clear_cross_origin_whitelist() != 0;
}

bool TWebBApp::CefRegisterExtension(const String& name, const String& code, const engine_ref<cef_v8handler_t>& Handler) {
    check_loaded();
    const cef_string_t n = cef_string_view(name);
    const cef_string_t c = cef_string_view(code);
    return FLibrary.exports().cef_register_extension(&n, &c, Handler.pass()) != 0;
}

// --- Extensions made from a value

namespace {

String invalid_value_text(const String& name) { return u"invalid value for property " + name; }

// A whole number of a script value, when it is one.
std::optional<std::int64_t> whole_number(const ICefV8Value& v) {
    if (v.IsInt()) return v.GetIntValue();
    if (v.IsUInt()) return v.GetUIntValue();
    if (v.IsDouble()) {
        const double d = v.GetDoubleValue();
        if (d >= -9.2e18 && d <= 9.2e18 && d == static_cast<double>(static_cast<std::int64_t>(d)))
            return static_cast<std::int64_t>(d);
    }
    return std::nullopt;
}

ICefV8Value number_to_v8(std::int64_t n) {
    if (n >= INT32_MIN && n <= INT32_MAX) return ICefV8Value::NewInt(static_cast<int32_t>(n));
    return ICefV8Value::NewDouble(static_cast<double>(n));
}

// A published property as script sees it; none for the kinds a script does not reach (sets, sub-objects,
// references, events, binary data).
ICefV8Value property_to_v8(const TPersistent& object, const property_info& p) {
    const property_value v = p.get(object);
    switch (p.kind) {
    case property_kind::integer:
    case property_kind::unsigned_integer:
    case property_kind::color:
    case property_kind::cursor: return number_to_v8(std::get<std::int64_t>(v));
    case property_kind::boolean: return ICefV8Value::NewBool(std::get<std::int64_t>(v) != 0);
    case property_kind::floating: return ICefV8Value::NewDouble(std::get<double>(v));
    case property_kind::string: return ICefV8Value::NewString(std::get<String>(v));
    case property_kind::enumeration: {
        const auto ordinal = static_cast<size_t>(std::get<std::int64_t>(v));
        return ordinal < p.names.size() ? ICefV8Value::NewString(p.names[ordinal]) : number_to_v8(std::get<std::int64_t>(v));
    }
    default: return {};
    }
}

// Writes a script value into a published property; false when it does not fit the property.
bool property_from_v8(TPersistent& object, const property_info& p, const ICefV8Value& v) {
    if (!p.set) return false;
    switch (p.kind) {
    case property_kind::integer:
    case property_kind::unsigned_integer:
    case property_kind::color:
    case property_kind::cursor: {
        const std::optional<std::int64_t> n = whole_number(v);
        if (!n || *n < p.min || *n > p.max) return false;
        p.set(object, *n);
        return true;
    }
    case property_kind::boolean:
        if (!v.IsBool()) return false;
        p.set(object, std::int64_t{v.GetBoolValue()});
        return true;
    case property_kind::floating:
        if (!v.IsInt() && !v.IsUInt() && !v.IsDouble()) return false;
        p.set(object, v.GetDoubleValue());
        return true;
    case property_kind::string:
        if (!v.IsString()) return false;
        p.set(object, v.GetStringValue());
        return true;
    case property_kind::enumeration: {
        if (v.IsString()) {
            const String name = v.GetStringValue();
            for (size_t i = 0; i < p.names.size(); ++i) {
                if (SameText(p.names[i], name)) {
                    p.set(object, static_cast<std::int64_t>(i));
                    return true;
                }
            }
            return false;
        }
        const std::optional<std::int64_t> n = whole_number(v);
        if (!n || *n < p.min || *n > p.max) return false;
        p.set(object, *n);
        return true;
    }
    default: return false;
    }
}

// The published properties of an object, live: each read and write reaches the object itself.
class published_accessor : public engine_object<cef_v8accessor_t> {
public:
    explicit published_accessor(typed_value::object_ref object) : FObject(std::move(object)) {
        cef()->get = &engine_thunk<&published_accessor::Get>::call;
        cef()->set = &engine_thunk<&published_accessor::Set>::call;
    }

private:
    int Get(const cef_string_t* name, ICefV8Value, cef_v8value_t** retval, cef_string_t*) {
        const property_info* p = FObject->PublishedProperties().find(to_string(name));
        const ICefV8Value v = p ? property_to_v8(*FObject, *p) : ICefV8Value();
        if (!v || !retval) return 0;
        *retval = v.ref().pass();
        return 1;
    }
    int Set(const cef_string_t* name, ICefV8Value, ICefV8Value value, cef_string_t* exception) {
        const String key = to_string(name);
        const property_info* p = FObject->PublishedProperties().find(key);
        if (!p) return 0;
        if (!value || !property_from_v8(*FObject, *p, value)) {
            if (exception) assign_cef_string(exception, invalid_value_text(key));
        }
        return 1;
    }

    typed_value::object_ref FObject;
};

// The script view of a value: scalars as they are, none as undefined, an object as a script object whose
// properties are the object's published ones.
ICefV8Value value_to_v8(const typed_value& value) {
    return std::visit(
        [](const auto& v) -> ICefV8Value {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) return ICefV8Value::NewUndefined();
            else if constexpr (std::is_same_v<T, bool>) return ICefV8Value::NewBool(v);
            else if constexpr (std::is_same_v<T, std::int64_t>) return number_to_v8(v);
            else if constexpr (std::is_same_v<T, double>) return ICefV8Value::NewDouble(v);
            else if constexpr (std::is_same_v<T, String>) return ICefV8Value::NewString(v);
            else {
                if (!v) return ICefV8Value::NewNull();
                const ICefV8Value object = ICefV8Value::NewObject(make_engine_object<published_accessor>(v));
                for (const property_info* p : v->PublishedProperties().all()) {
                    if (property_to_v8(*v, *p))
                        object.SetValueByAccessor(p->name, V8_ACCESS_CONTROL_DEFAULT, V8_PROPERTY_ATTRIBUTE_NONE);
                }
                return object;
            }
        },
        value.data());
}

// A script scalar as a value; none for a script object, array, function or date.
std::optional<typed_value> scalar_from_v8(const ICefV8Value& v) {
    if (v.IsUndefined() || v.IsNull()) return typed_value();
    if (v.IsBool()) return typed_value(v.GetBoolValue());
    if (v.IsInt()) return typed_value(std::int64_t{v.GetIntValue()});
    if (v.IsUInt()) return typed_value(std::int64_t{v.GetUIntValue()});
    if (v.IsDouble()) return typed_value(v.GetDoubleValue());
    if (v.IsString()) return typed_value(v.GetStringValue());
    return std::nullopt;
}

// The native side of an extension made from a value: $g reads the value, $s(v) writes it. A scalar takes
// the script's value and type; an object keeps its identity and takes the values of the script object's
// properties that name its published ones. Runs on the renderer's main thread.
class value_extention_handler : public engine_object<cef_v8handler_t> {
public:
    value_extention_handler(String name, typed_value value) : FName(std::move(name)), FValue(std::move(value)) {
        cef()->execute = &engine_thunk<&value_extention_handler::Execute>::call;
    }

private:
    int Execute(const cef_string_t* function, ICefV8Value, size_t count, cef_v8value_t* const* arguments,
                cef_v8value_t** retval, cef_string_t* exception) {
        // The engine counts each argument for the callee, as for any other parameter.
        std::vector<ICefV8Value> args;
        for (size_t i = 0; i < count && arguments; ++i) args.push_back(ICefV8Value::adopt(arguments[i]));
        const String name = to_string(function);
        const std::lock_guard lock(FLock);
        if (name == u"$g") {
            if (retval) *retval = value_to_v8(FValue).ref().pass();
            return 1;
        }
        if (name != u"$s") return 0;
        if (args.empty() || !args[0] || !write(args[0])) {
            if (exception) assign_cef_string(exception, invalid_value_text(FName));
        }
        return 1;
    }
    bool write(const ICefV8Value& v) {
        if (const auto* object = std::get_if<typed_value::object_ref>(&FValue.data())) {
            if (!*object || !v.IsObject()) return false;
            for (const property_info* p : (*object)->PublishedProperties().all()) {
                if (!property_to_v8(**object, *p) || !v.HasValueByKey(p->name)) continue;
                if (!property_from_v8(**object, *p, v.GetValueByKey(p->name))) return false;
            }
            return true;
        }
        std::optional<typed_value> scalar = scalar_from_v8(v);
        if (!scalar) return false;
        FValue = std::move(*scalar);
        return true;
    }

    String FName;
    std::mutex FLock; // guards FValue: each renderer thread that runs script may call
    typed_value FValue;
};

} // namespace

bool TWebBApp::CefRegisterExtension(const String& name, const typed_value& Value) {
    check_loaded();
    const String code = u"__defineSetter__('" + name + u"', function(v){native function $s();$s(v)});__defineGetter__('" +
                        name + u"', function(){native function $g();return $g()});";
    return CefRegisterExtension(name, code, make_engine_object<value_extention_handler>(name, Value));
}

void TWebBApp::CefVisitWebPluginInfo(const engine_ref<cef_web_plugin_info_visitor_t>& visitor) {
    engine_api().cef_visit_web_plugin_info(visitor.pass());
}
namespace {
class web_plugin_info_visitor : public engine_object<cef_web_plugin_info_visitor_t> {
public:
    explicit web_plugin_info_visitor(TCefWebPluginInfoVisitorProc proc) : FProc(std::move(proc)) {
        cef()->visit = &engine_thunk<&web_plugin_info_visitor::Visit>::call;
    }

private:
    int Visit(ICefWebPluginInfo info, int count, int total) { return FProc && FProc(info, count, total) ? 1 : 0; }
    TCefWebPluginInfoVisitorProc FProc;
};

class web_plugin_unstable_callback : public engine_object<cef_web_plugin_unstable_callback_t> {
public:
    explicit web_plugin_unstable_callback(TCefWebPluginIsUnstableProc proc) : FProc(std::move(proc)) {
        cef()->is_unstable = &engine_thunk<&web_plugin_unstable_callback::IsUnstable>::call;
    }

private:
    void IsUnstable(const cef_string_t* path, int unstable) {
        if (FProc) FProc(path ? to_string(path) : String(), unstable != 0);
    }
    TCefWebPluginIsUnstableProc FProc;
};
} // namespace

void TWebBApp::CefVisitWebPluginInfoProc(TCefWebPluginInfoVisitorProc proc) {
    CefVisitWebPluginInfo(make_engine_object<web_plugin_info_visitor>(std::move(proc)));
}

void TWebBApp::CefIsWebPluginUnstableProc(const String& path, TCefWebPluginIsUnstableProc proc) {
    CefIsWebPluginUnstable(path, make_engine_object<web_plugin_unstable_callback>(std::move(proc)));
}

void TWebBApp::CefRefreshWebPlugins() { engine_api().cef_refresh_web_plugins(); }

namespace {
using path_export = void (*)(const cef_string_t*);
void call_with_path(path_export cef_exports::*export_slot, const String& path) {
    const cef_string_t p = cef_string_view(path);
    (engine_api().*export_slot)(&p);
}
} // namespace

void TWebBApp::CefAddWebPluginPath(const String& path) { call_with_path(&cef_exports::cef_add_web_plugin_path, path); }
void TWebBApp::CefAddWebPluginDirectory(const String& path) {
    call_with_path(&cef_exports::cef_add_web_plugin_directory, path);
}
void TWebBApp::CefRemoveWebPluginPath(const String& path) {
    call_with_path(&cef_exports::cef_remove_web_plugin_path, path);
}
void TWebBApp::CefUnregisterInternalWebPlugin(const String& path) {
    call_with_path(&cef_exports::cef_unregister_internal_web_plugin, path);
}
void TWebBApp::CefForceWebPluginShutdown(const String& path) {
    call_with_path(&cef_exports::cef_force_web_plugin_shutdown, path);
}
void TWebBApp::CefRegisterWebPluginCrash(const String& path) {
    call_with_path(&cef_exports::cef_register_web_plugin_crash, path);
}
void TWebBApp::CefIsWebPluginUnstable(const String& path,
                                      const engine_ref<cef_web_plugin_unstable_callback_t>& callback) {
    const cef_string_t p = cef_string_view(path);
    engine_api().cef_is_web_plugin_unstable(&p, callback.pass());
}

// --- Script extensions

void TWebBApp::RegisterClasses(const std::vector<TRegExtentionPar>& reg_par_list) {
    std::vector<TRegExtentionPar>& list = state().extentions;
    for (const TRegExtentionPar& entry : reg_par_list) {
        const bool known = std::any_of(list.begin(), list.end(), [&](const TRegExtentionPar& e) {
            return e.name == entry.name && e.code == entry.code;
        });
        if (!known) list.push_back(entry);
    }
}

void TWebBApp::RegisterClasses(const std::vector<typed_value::object_ref>& obj_list) {
    std::vector<TRegExtentionPar> entries;
    for (const typed_value::object_ref& object : obj_list) {
        if (object) entries.push_back({object->ClassName(), String(), nullptr, typed_value(object)});
    }
    RegisterClasses(entries);
}

const std::vector<TRegExtentionPar>& RegisteredExtentions() { return state().extentions; }

// --- Module start-up and shutdown

void webbapp_startup() {
    app_state& s = state();
    s.app = std::make_unique<TWebBApp>();
    WebBApp = s.app.get();
    s.resource_bundle = make_engine_object<TWebBResourceBundleHandler>();
    s.browser_process = make_engine_object<TWebBBrowserProcessHandler>();
    s.render_process = make_engine_object<TWebBRenderProcessHandler>();
}

void webbapp_shutdown() {
    app_state& s = state();
    s.resource_bundle.reset();
    s.browser_process.reset();
    s.render_process.reset();
    s.before_command_line = nullptr;
    s.register_custom_schemes = nullptr;
    s.extentions.clear();
    if (s.app) s.app->CefShutDown();
    s.app.reset();
    WebBApp = nullptr;
}

} // namespace kq
