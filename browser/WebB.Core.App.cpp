#include "browser/WebB.Core.App.h"

#include <float.h>

#include <algorithm>
#include <memory>

#include "browser/WebB.Handler.BrowserProcess.h"
#include "browser/WebB.Handler.RenderProcess.h"
#include "browser/WebB.Handler.ResourceBundle.h"
#include "engine/EngineObject.h"
#include "engine/EngineStrings.h"
#include "framework/Files.h"

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

void TWebBApp::CefVisitWebPluginInfo(const engine_ref<cef_web_plugin_info_visitor_t>& visitor) {
    engine_api().cef_visit_web_plugin_info(visitor.pass());
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
