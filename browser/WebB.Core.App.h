#pragma once
// TWebBApp: the engine's start-up and its process handlers.
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "browser/WebB.Events.h"
#include "engine/CefInterfaces.h"
#include "engine/CefLibrary.h"
#include "engine/EngineObject.h"
#include "engine/EngineRef.h"
#include "engine/cef_capi.h"
#include "framework/Components.h"
#include "framework/Exceptions.h"
#include "framework/Strings.h"

namespace kq {

class TWebBResourceBundleHandler;
class TWebBBrowserProcessHandler;
class TWebBRenderProcessHandler;

// A failure of the engine itself (a library of another version).
class ECefException : public Exception {
public:
    using Exception::Exception;
};

// A value whose type is known only at run time: none, a Boolean, an integer, a float, a string, or an
// object whose published properties (its property table's integers, Booleans, floats, strings and
// enumerations) a script reads and writes. The object is shared: what a script writes, its holder sees.
class typed_value {
public:
    using object_ref = std::shared_ptr<TPersistent>;
    using storage = std::variant<std::monostate, bool, std::int64_t, double, String, object_ref>;

    typed_value() noexcept = default;
    typed_value(bool Value) : FValue(Value) {}
    typed_value(int Value) : FValue(std::int64_t{Value}) {}
    typed_value(std::int64_t Value) : FValue(Value) {}
    typed_value(double Value) : FValue(Value) {}
    typed_value(String Value) : FValue(std::move(Value)) {}
    typed_value(const char16_t* Value) : FValue(String(Value)) {}
    typed_value(object_ref Value) : FValue(std::move(Value)) {}

    bool empty() const noexcept { return std::holds_alternative<std::monostate>(FValue); }
    const storage& data() const noexcept { return FValue; }
    friend bool operator==(const typed_value&, const typed_value&) = default;

private:
    storage FValue;
};

// One script extension registered for every renderer: script code with its native handler, or, without
// either, a value the extension's name reads and writes.
struct TRegExtentionPar {
    String name;
    String code;
    engine_ref<cef_v8handler_t> Handler;
    typed_value value;
};

// What the engine's plug-in visits hand to a closure: the plug-in, its position and the number of
// plug-ins; false stops the visit.
using TCefWebPluginInfoVisitorProc = std::function<bool(const ICefWebPluginInfo& info, int count, int total)>;
// Whether the plug-in at path is unstable.
using TCefWebPluginIsUnstableProc = std::function<void(const String& path, bool unstable)>;

// The engine for the whole process: its start-up settings, the loaded library, start as main process or
// sub-process, shutdown, and thin wrappers of the engine's global functions. One instance, WebBApp; used
// on the GUI thread.
class TWebBApp {
public:
    TWebBApp();
    TWebBApp(const TWebBApp&) = delete;
    TWebBApp& operator=(const TWebBApp&) = delete;
    ~TWebBApp();

    // True in the main process (also when the engine runs already); false in an engine sub-process that
    // has just run to its end: the program must then end. Raises EOSError when the library cannot be
    // loaded and ECefException when it lacks an export.
    bool Init();
    bool LoadLib();
    bool IsNeedInitInMainProcess() const noexcept { return !FCefSingleProcess && !FLibrary.loaded(); }
    void CefShutDown();
    bool Loaded() const noexcept { return FLibrary.loaded(); }
    bool CefIsMainProcess() const noexcept { return FCefIsMainProcess; }

    // --- Settings, read by LoadLib only
    const String& CefLibrary() const noexcept { return FCefLibrary; }
    void SetCefLibrary(const String& Value) { FCefLibrary = Value; }
    const String& CefCache() const noexcept { return FCefCache; }
    void SetCefCache(const String& Value) { FCefCache = Value; }
    const String& CefUserAgent() const noexcept { return FCefUserAgent; }
    void SetCefUserAgent(const String& Value) { FCefUserAgent = Value; }
    const String& CefProductVersion() const noexcept { return FCefProductVersion; }
    void SetCefProductVersion(const String& Value) { FCefProductVersion = Value; }
    const String& CefLocale() const noexcept { return FCefLocale; }
    void SetCefLocale(const String& Value) { FCefLocale = Value; }
    const String& CefLogFile() const noexcept { return FCefLogFile; }
    void SetCefLogFile(const String& Value) { FCefLogFile = Value; }
    const String& CefJavaScriptFlags() const noexcept { return FCefJavaScriptFlags; }
    void SetCefJavaScriptFlags(const String& Value) { FCefJavaScriptFlags = Value; }
    const String& CefResourcesDirPath() const noexcept { return FCefResourcesDirPath; }
    void SetCefResourcesDirPath(const String& Value) { FCefResourcesDirPath = Value; }
    const String& CefLocalesDirPath() const noexcept { return FCefLocalesDirPath; }
    void SetCefLocalesDirPath(const String& Value) { FCefLocalesDirPath = Value; }
    bool CefPackLoadingDisabled() const noexcept { return FCefPackLoadingDisabled; }
    void SetCefPackLoadingDisabled(bool Value) { FCefPackLoadingDisabled = Value; }
    bool CefSingleProcess() const noexcept { return FCefSingleProcess; }
    void SetCefSingleProcess(bool Value) { FCefSingleProcess = Value; }
    bool CefNoSandbox() const noexcept { return FCefNoSandbox; }
    void SetCefNoSandbox(bool Value) { FCefNoSandbox = Value; }
    const String& CefBrowserSubprocessPath() const noexcept { return FCefBrowserSubprocessPath; }
    void SetCefBrowserSubprocessPath(const String& Value) { FCefBrowserSubprocessPath = Value; }
    bool CefCommandLineArgsDisabled() const noexcept { return FCefCommandLineArgsDisabled; }
    void SetCefCommandLineArgsDisabled(bool Value) { FCefCommandLineArgsDisabled = Value; }
    int CefRemoteDebuggingPort() const noexcept { return FCefRemoteDebuggingPort; }
    void SetCefRemoteDebuggingPort(int Value) { FCefRemoteDebuggingPort = Value; }
    const TOnGetDataResource& CefGetDataResource() const noexcept { return FCefGetDataResource; }
    void SetCefGetDataResource(TOnGetDataResource Value) { FCefGetDataResource = std::move(Value); }
    const TOnGetLocalizedString& CefGetLocalizedString() const noexcept { return FCefGetLocalizedString; }
    void SetCefGetLocalizedString(TOnGetLocalizedString Value) { FCefGetLocalizedString = std::move(Value); }
    int CefUncaughtExceptionStackSize() const noexcept { return FCefUncaughtExceptionStackSize; }
    void SetCefUncaughtExceptionStackSize(int Value) { FCefUncaughtExceptionStackSize = Value; }
    int CefContextSafetyImplementation() const noexcept { return FCefContextSafetyImplementation; }
    void SetCefContextSafetyImplementation(int Value) { FCefContextSafetyImplementation = Value; }
    bool CefPersistSessionCookies() const noexcept { return FCefPersistSessionCookies; }
    void SetCefPersistSessionCookies(bool Value) { FCefPersistSessionCookies = Value; }
    bool CefIgnoreCertificateErrors() const noexcept { return FCefIgnoreCertificateErrors; }
    void SetCefIgnoreCertificateErrors(bool Value) { FCefIgnoreCertificateErrors = Value; }
    cef_color_t CefBackgroundColor() const noexcept { return FCefBackgroundColor; }
    void SetCefBackgroundColor(cef_color_t Value) { FCefBackgroundColor = Value; }
    void* CefWindowsSandboxInfo() const noexcept { return FCefWindowsSandboxInfo; }
    void SetCefWindowsSandboxInfo(void* Value) { FCefWindowsSandboxInfo = Value; }
    bool CefWindowlessRenderingEnabled() const noexcept { return FCefWindowlessRenderingEnabled; }
    void SetCefWindowlessRenderingEnabled(bool Value) { FCefWindowlessRenderingEnabled = Value; }
    const String& CefAcceptLanguageList() const noexcept { return FCefAcceptLanguageList; }
    void SetCefAcceptLanguageList(const String& Value) { FCefAcceptLanguageList = Value; }

    // --- Events, kept by the process-wide holders; set them before the engine starts.
    TOnBeforeCommandLineProcessing OnBeforeCommandLineProcessing() const;
    void SetOnBeforeCommandLineProcessing(TOnBeforeCommandLineProcessing Value);
    TOnRegisterCustomSchemes OnRegisterCustomSchemes() const;
    void SetOnRegisterCustomSchemes(TOnRegisterCustomSchemes Value);

    TOnGetDataResource OnGetDataResource() const;
    void SetOnGetDataResource(TOnGetDataResource Value);
    TOnGetLocalizedString OnGetLocalizedString() const;
    void SetOnGetLocalizedString(TOnGetLocalizedString Value);
    TOnGetDataResourceForScale OnGetDataResourceForScale() const;
    void SetOnGetDataResourceForScale(TOnGetDataResourceForScale Value);

    TOnContextInitialized OnContextInitialized() const;
    void SetOnContextInitialized(TOnContextInitialized Value);
    TOnBeforeChildProcessLaunch OnBeforeChildProcessLaunch() const;
    void SetOnBeforeChildProcessLaunch(TOnBeforeChildProcessLaunch Value);
    TOnRenderProcessThreadCreated OnRenderProcessThreadCreated() const;
    void SetOnRenderProcessThreadCreated(TOnRenderProcessThreadCreated Value);

    TOnWebKitInitialized OnWebKitInitialized() const;
    void SetOnWebKitInitialized(TOnWebKitInitialized Value);
    TOnBrowserCreated OnBrowserCreated() const;
    void SetOnBrowserCreated(TOnBrowserCreated Value);
    TOnBrowserDestroyed OnBrowserDestroyed() const;
    void SetOnBrowserDestroyed(TOnBrowserDestroyed Value);
    TOnBeforeNavigation OnBeforeNavigation() const;
    void SetOnBeforeNavigation(TOnBeforeNavigation Value);
    TOnContextCreated OnContextCreated() const;
    void SetOnContextCreated(TOnContextCreated Value);
    TOnContextReleased OnContextReleased() const;
    void SetOnContextReleased(TOnContextReleased Value);
    TOnUncaughtException OnUncaughtException() const;
    void SetOnUncaughtException(TOnUncaughtException Value);
    TOnFocusedNodeChanged OnFocusedNodeChanged() const;
    void SetOnFocusedNodeChanged(TOnFocusedNodeChanged Value);
    TOnProcessMessageReceived OnProcessMessageReceived() const;
    void SetOnProcessMessageReceived(TOnProcessMessageReceived Value);
    TOnRenderThreadCreated OnRenderThreadCreated() const;
    void SetOnRenderThreadCreated(TOnRenderThreadCreated Value);

    // --- Wrappers of the engine's global functions. Those that raise "TWebBApp.LoadLib must be called
    // first" before the library is loaded say so; the message-loop ones then do nothing; the others need
    // a loaded library.
    // Raises. A page is created asynchronously; its browser comes to the client's life-span handler.
    bool CefBrowserHostCreate(const cef_window_info_t& window_info, const engine_ref<cef_client_t>& client,
                              const String& url, const cef_browser_settings_t& settings,
                              const engine_ref<cef_request_context_t>& RequestContext);
    // Raises.
    ICefBrowser CefBrowserHostCreateSync(const cef_window_info_t& window_info, const engine_ref<cef_client_t>& client,
                                         const String& url, const cef_browser_settings_t& settings,
                                         const engine_ref<cef_request_context_t>& RequestContext);
    void CefDoMessageLoopWork();
    void CefRunMessageLoop();
    void CefQuitMessageLoop();
    void CefSetOsModalLoop(bool loop);
    void CefEnableHighDpiSupport();
    // Raises.
    bool CefRegisterSchemeHandlerFactory(const String& scheme_name, const String& HostName,
                                         const engine_ref<cef_scheme_handler_factory_t>& factory);
    // Raises. The engine asks for a new Handler for each request of the scheme: Handler is an engine
    // object made from (browser, frame, scheme name, request).
    template <class Handler>
    bool CefRegisterSchemeHandlerFactory(const String& scheme_name, const String& HostName) {
        return register_scheme_handler_class(
            scheme_name, HostName,
            [](const ICefBrowser& browser, const ICefFrame& frame, const String& name, const ICefRequest& request) {
                return engine_ref<cef_resource_handler_t>(make_engine_object<Handler>(browser, frame, name, request));
            });
    }
    bool CefClearSchemeHandlerFactories();
    bool CefAddCrossOriginWhitelistEntry(const String& SourceOrigin, const String& TargetProtocol,
                                         const String& TargetDomain, bool AllowTargetSubdomains);
    bool CefRemoveCrossOriginWhitelistEntry(const String& SourceOrigin, const String& TargetProtocol,
                                            const String& TargetDomain, bool AllowTargetSubdomains);
    bool CefClearCrossOriginWhitelist();
    bool CefRegisterExtension(const String& name, const String& code, const engine_ref<cef_v8handler_t>& Handler);
    // Raises. Makes name a global script property whose reads and writes reach Value, on the renderer's
    // main thread.
    bool CefRegisterExtension(const String& name, const typed_value& Value);
    // Need a loaded library.
    void CefVisitWebPluginInfo(const engine_ref<cef_web_plugin_info_visitor_t>& visitor);
    void CefVisitWebPluginInfoProc(TCefWebPluginInfoVisitorProc proc);
    void CefRefreshWebPlugins();
    void CefAddWebPluginPath(const String& path);
    void CefAddWebPluginDirectory(const String& path);
    void CefRemoveWebPluginPath(const String& path);
    void CefUnregisterInternalWebPlugin(const String& path);
    void CefForceWebPluginShutdown(const String& path);
    void CefRegisterWebPluginCrash(const String& path);
    void CefIsWebPluginUnstable(const String& path, const engine_ref<cef_web_plugin_unstable_callback_t>& callback);
    void CefIsWebPluginUnstableProc(const String& path, TCefWebPluginIsUnstableProc proc);

    // Adds script extensions for every renderer. An entry equal in name and code to one already listed
    // (also one added earlier in the same call) is not added again.
    void RegisterClasses(const std::vector<TRegExtentionPar>& reg_par_list);
    // Each object becomes an extension named after its class, with the object as its value.
    void RegisterClasses(const std::vector<typed_value::object_ref>& obj_list);

    // The three process handlers, which exist from start-up on in every process.
    static TWebBResourceBundleHandler& ResourceBundleHandler() noexcept;
    static TWebBBrowserProcessHandler& BrowserProcessHandler() noexcept;
    static TWebBRenderProcessHandler& RenderProcessHandler() noexcept;

private:
    using resource_handler_maker = std::function<engine_ref<cef_resource_handler_t>(
        const ICefBrowser& browser, const ICefFrame& frame, const String& scheme_name, const ICefRequest& request)>;
    bool register_scheme_handler_class(const String& scheme_name, const String& HostName, resource_handler_maker make);
    void check_loaded() const;

    engine_library FLibrary;
    bool FCefIsMainProcess = false;
    String FCefLibrary = u"libcef.dll";
    String FCefCache;
    String FCefUserDataPath;
    String FCefUserAgent;
    String FCefProductVersion;
    String FCefLocale;
    String FCefLogFile;
    cef_log_severity_t FCefLogSeverity = LOGSEVERITY_DISABLE;
    String FCefJavaScriptFlags;
    String FCefResourcesDirPath;
    String FCefLocalesDirPath;
    bool FCefPackLoadingDisabled = false;
    bool FCefSingleProcess = true;
    bool FCefNoSandbox = false;
    String FCefBrowserSubprocessPath;
    bool FCefCommandLineArgsDisabled = false;
    int FCefRemoteDebuggingPort = 0;
    TOnGetDataResource FCefGetDataResource;
    TOnGetLocalizedString FCefGetLocalizedString;
    TOnGetDataResourceForScale FCefGetDataResourceForScale;
    int FCefUncaughtExceptionStackSize = 0;
    int FCefContextSafetyImplementation = 0;
    bool FCefPersistSessionCookies = false;
    bool FCefIgnoreCertificateErrors = false;
    cef_color_t FCefBackgroundColor = 0;
    String FCefAcceptLanguageList;
    void* FCefWindowsSandboxInfo = nullptr;
    bool FCefWindowlessRenderingEnabled = false;
};

// The process's engine object, made by webbapp_startup and freed by webbapp_shutdown.
extern TWebBApp* WebBApp;

// Creates WebBApp and the three process handlers. The shutdown step releases the handlers and the hooks,
// shuts the engine down and frees WebBApp.
void webbapp_startup();
void webbapp_shutdown();

// The script extensions registered for every renderer, in the order of registration.
const std::vector<TRegExtentionPar>& RegisteredExtentions();

} // namespace kq
