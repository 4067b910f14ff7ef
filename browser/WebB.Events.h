#pragma once

#include <cstddef>
#include <functional>

#include "engine/CefInterfaces.h"
#include "engine/EngineRef.h"
#include "engine/cef_capi.h"
#include "framework/Strings.h"

// Event types of the engine application and its process handlers. Each is raised on the engine thread
// that makes the callback; "var" parameters are references the handler may change.
namespace kq {

// --- Application callbacks
using TOnBeforeCommandLineProcessing = std::function<void(const String& processType, const ICefCommandLine& commandLine)>;
using TOnRegisterCustomSchemes = std::function<void(const engine_ref<cef_scheme_registrar_t>& registrar)>;

// --- Resource bundle
// Cancel set to true means the handler supplied the answer.
using TOnGetDataResource = std::function<void(int resourceId, void*& data, std::size_t& dataSize, bool& Cancel)>;
using TOnGetLocalizedString = std::function<void(int messageId, String& stringVal, bool& Cancel)>;
// The size is a reference so that a handler supplying data for a scale can report its size too.
using TOnGetDataResourceForScale =
    std::function<void(int resourceId, cef_scale_factor_t scaleFactor, void*& data, std::size_t& dataSize, bool& Cancel)>;

// --- Browser process
using TOnContextInitialized = std::function<void()>;
using TOnBeforeChildProcessLaunch = std::function<void(const ICefCommandLine& commandLine)>;
using TOnRenderProcessThreadCreated = std::function<void(const ICefListValue& extraInfo)>;

// --- Render process
using TOnRenderThreadCreated = std::function<void(const ICefListValue& extraInfo)>;
using TOnWebKitInitialized = std::function<void()>;
using TOnBrowserCreated = std::function<void(const ICefBrowser& browser)>;
using TOnBrowserDestroyed = std::function<void(const ICefBrowser& browser)>;
using TOnBeforeNavigation =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_request_t>& request,
                       cef_navigation_type_t navigationType, bool isRedirect, bool& Cancel)>;
using TOnContextCreated =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context)>;
using TOnContextReleased =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context)>;
using TOnUncaughtException =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const ICefv8Context& context,
                       const ICefV8Exception& exception, const engine_ref<cef_v8stack_trace_t>& stackTrace)>;
using TOnFocusedNodeChanged =
    std::function<void(const ICefBrowser& browser, const ICefFrame& frame, const engine_ref<cef_domnode_t>& node)>;
using TOnProcessMessageReceived = std::function<void(const ICefBrowser& browser, cef_process_id_t sourceProcess,
                                                     const ICefProcessMessage& message, bool& Cancel)>;

} // namespace kq
