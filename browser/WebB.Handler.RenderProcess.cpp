// First: the engine wrappers' GetMessage must not become a Win32 macro.
#include "framework/Win32.h"

#include "browser/WebB.Handler.RenderProcess.h"

#include <cstdint>
#include <memory>

#include "browser/WebB.Core.App.h"
#include "browser/WebB.Core.JsExtention.h"
#include "framework/Conversions.h"
#include "framework/Handles.h"

namespace kq {

TWebBRenderProcessHandler::TWebBRenderProcessHandler()
    : js_extention_message(&HandleJsExtentionMessage), run_in_render_message(&HandleRunInRenderMessage) {
    using self = TWebBRenderProcessHandler;
    cef()->on_render_thread_created = &engine_thunk<&self::RenderThreadCreated>::call;
    cef()->on_web_kit_initialized = &engine_thunk<&self::WebKitInitialized>::call;
    cef()->on_browser_created = &engine_thunk<&self::BrowserCreated>::call;
    cef()->on_browser_destroyed = &engine_thunk<&self::BrowserDestroyed>::call;
    cef()->get_load_handler = &engine_thunk<&self::GetLoadHandler>::call;
    cef()->on_before_navigation = &engine_thunk<&self::BeforeNavigation>::call;
    cef()->on_context_created = &engine_thunk<&self::ContextCreated>::call;
    cef()->on_context_released = &engine_thunk<&self::ContextReleased>::call;
    cef()->on_uncaught_exception = &engine_thunk<&self::UncaughtException>::call;
    cef()->on_focused_node_changed = &engine_thunk<&self::FocusedNodeChanged>::call;
    cef()->on_process_message_received = &engine_thunk<&self::ProcessMessageReceived>::call;
}

void TWebBRenderProcessHandler::RenderThreadCreated(const ICefListValue& extra_info) {
    if (OnRenderThreadCreated) OnRenderThreadCreated(extra_info);
}

void TWebBRenderProcessHandler::WebKitInitialized() {
    for (const TRegExtentionPar& entry : RegisteredExtentions()) {
        if (!entry.code.empty() || entry.Handler) WebBApp->CefRegisterExtension(entry.name, entry.code, entry.Handler);
        else WebBApp->CefRegisterExtension(entry.name, entry.value);
    }
    if (OnWebKitInitialized) OnWebKitInitialized();
}

void TWebBRenderProcessHandler::BrowserCreated(const ICefBrowser& browser) {
    if (OnBrowserCreated) OnBrowserCreated(browser);
}

void TWebBRenderProcessHandler::BrowserDestroyed(const ICefBrowser& browser) {
    if (OnBrowserDestroyed) OnBrowserDestroyed(browser);
}

cef_load_handler_t* TWebBRenderProcessHandler::GetLoadHandler() { return nullptr; }

// Every navigation goes ahead.
int TWebBRenderProcessHandler::BeforeNavigation(const ICefBrowser&, const ICefFrame&, const engine_ref<cef_request_t>&,
                                                cef_navigation_type_t, int) {
    return 0;
}

void TWebBRenderProcessHandler::ContextCreated(const ICefBrowser& browser, const ICefFrame& frame,
                                               const ICefv8Context& context) {
    if (OnContextCreated) OnContextCreated(browser, frame, context);
}

void TWebBRenderProcessHandler::ContextReleased(const ICefBrowser& browser, const ICefFrame& frame,
                                                const ICefv8Context& context) {
    if (OnContextReleased) OnContextReleased(browser, frame, context);
}

void TWebBRenderProcessHandler::UncaughtException(const ICefBrowser& browser, const ICefFrame& frame,
                                                  const ICefv8Context& context, const ICefV8Exception& exception,
                                                  const engine_ref<cef_v8stack_trace_t>& stackTrace) {
    if (OnUncaughtException) OnUncaughtException(browser, frame, context, exception, stackTrace);
}

void TWebBRenderProcessHandler::FocusedNodeChanged(const ICefBrowser& browser, const ICefFrame& frame,
                                                   const engine_ref<cef_domnode_t>& node) {
    if (OnFocusedNodeChanged) OnFocusedNodeChanged(browser, frame, node);
}

int TWebBRenderProcessHandler::ProcessMessageReceived(const ICefBrowser& browser, cef_process_id_t source_process,
                                                      const ICefProcessMessage& message) {
    const String name = message ? message.GetName() : String();
    bool handled = false;
    if (name == torender_jsextention_message) {
        if (js_extention_message) js_extention_message(browser, message);
        handled = true;
    } else if (name == runinrender_message) {
        if (run_in_render_message) run_in_render_message(browser, message);
        handled = true;
    }
    if (OnProcessMessageReceived) OnProcessMessageReceived(browser, source_process, message, handled);
    return handled ? 1 : 0;
}

// --- The script bridge's render half

namespace {

// Scalars as they are; undefined as empty; a function as its name; arrays and objects as an array whose
// elements are not read (they travel as no value anyway). Any other value (a date) raises.
Variant v8_to_variant(const ICefV8Value& v) {
    if (v.IsString()) return v.GetStringValue();
    if (v.IsBool()) return v.GetBoolValue();
    if (v.IsInt()) return v.GetIntValue();
    if (v.IsUInt()) return v.GetUIntValue();
    if (v.IsDouble()) return v.GetDoubleValue();
    if (v.IsUndefined()) return {};
    if (v.IsNull()) return Variant::Null();
    if (v.IsFunction()) return v.GetFunctionName();
    if (v.IsArray() || v.IsObject()) return std::vector<Variant>{};
    throw EConvertError(u"指定的JavaScript变量无法转换为 Variant");
}

ICefV8Value new_v8_value(const ICefListValue& args, int index) {
    switch (args.GetType(index)) {
    case VTYPE_BOOL: return ICefV8Value::NewBool(args.GetBool(index));
    case VTYPE_INT: return ICefV8Value::NewInt(args.GetInt(index));
    case VTYPE_DOUBLE: return ICefV8Value::NewDouble(args.GetDouble(index));
    case VTYPE_STRING: return ICefV8Value::NewString(args.GetString(index));
    default: return {};
    }
}

struct js_outcome {
    Variant value;
    String error;
};

// One request in an entered context.
js_outcome run_js_operation(const ICefv8Context& context, int operation, const String& name,
                            const ICefListValue& args) {
    js_outcome out;
    const ICefV8Value global = context.GetGlobal();
    switch (operation) {
    case js_operation::read: {
        const String missing = Format(u"变量 %s 不存在或类型不匹配", {name});
        const ICefV8Value found = global ? global.GetValueByKey(name) : ICefV8Value();
        if (!found || !found.IsValid()) {
            out.error = missing;
        } else if (!found.IsUndefined()) {
            out.value = v8_to_variant(found);
        } else {
            // Undefined as a property: the name may still evaluate (a declared but unset variable).
            ICefV8Value result;
            ICefV8Exception exception;
            if (context.Eval(name, result, exception) && result) out.value = v8_to_variant(result);
            else out.error = missing;
        }
        break;
    }
    case js_operation::write:
        if (args.GetSize() == 4 && global) {
            if (const ICefV8Value v = new_v8_value(args, 3)) global.SetValueByKey(name, v, V8_PROPERTY_ATTRIBUTE_NONE);
        }
        break;
    case js_operation::defined:
        out.value = global && global.HasValueByKey(name);
        break;
    case js_operation::evaluate: {
        ICefV8Value result;
        ICefV8Exception exception;
        if (context.Eval(name, result, exception) && result) {
            out.value = v8_to_variant(result);
        } else if (exception) {
            out.error = Format(u"执行脚本时发生异常：\r\n信息：%s\r\n位置:第 %d 行 %d 列\r\n脚本:\r\n%s",
                               {exception.GetMessage(), exception.GetLineNumber(), exception.GetStartColumn(),
                                exception.GetSourceLine()});
        }
        break;
    }
    default: break;
    }
    return out;
}

// An address the sender wrote in hexadecimal; 0 for a text that is none.
std::uintptr_t address_of(const String& text) {
    std::int64_t address = 0;
    if (text.empty() || !TryStrToInt64(u"$" + text, address)) return 0;
    return static_cast<std::uintptr_t>(address);
}

// A reference the sender handed over.
template <class T>
std::unique_ptr<T> adopt_address(const String& text) {
    return std::unique_ptr<T>(reinterpret_cast<T*>(address_of(text)));
}

} // namespace

void HandleJsExtentionMessage(const ICefBrowser& browser, const ICefProcessMessage& message) {
    const ICefListValue args = message ? message.GetArgumentList() : ICefListValue();
    if (!args) return;
    const String id = args.GetString(0);
    const int operation = args.GetInt(1);
    const String name = args.GetString(2);
    if (operation < js_operation::read || operation > js_operation::evaluate) return;
    const ICefFrame frame = browser ? browser.GetMainFrame() : ICefFrame();
    const ICefv8Context context = frame ? frame.GetV8Context() : ICefv8Context();
    js_outcome out;
    if (context && context.Enter()) {
        const auto leave = scope_exit([&context] { context.Exit(); });
        try {
            out = run_js_operation(context, operation, name, args);
        } catch (const Exception& e) {
            // A value that does not convert is answered with the reason; the renderer goes on.
            out = {Variant(), e.Message()};
        }
    }
    const ICefProcessMessage reply = ICefProcessMessage::New(tobrowser_jsextention_message);
    const ICefListValue entries = reply.GetArgumentList();
    entries.SetSize(3);
    entries.SetString(0, id);
    set_list_entry(entries, 1, out.value);
    entries.SetString(2, out.error);
    browser.SendProcessMessage(PID_BROWSER, reply);
}

void HandleRunInRenderMessage(const ICefBrowser& browser, const ICefProcessMessage& message) {
    const ICefListValue args = message ? message.GetArgumentList() : ICefListValue();
    if (!args) return;
    const std::unique_ptr<ICefBrowser> sender = adopt_address<ICefBrowser>(args.GetString(0));
    const std::unique_ptr<TRenderProcessCallbackA> closure = adopt_address<TRenderProcessCallbackA>(args.GetString(1));
    void* const data = reinterpret_cast<void*>(address_of(args.GetString(2)));
    if (!closure || !*closure) return;
    const ICefFrame frame = browser ? browser.GetMainFrame() : ICefFrame();
    const ICefv8Context context = frame ? frame.GetV8Context() : ICefv8Context();
    (*closure)(sender ? *sender : ICefBrowser(), context, data);
}

} // namespace kq
