#include "browser/WebB.Core.JsExtention.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>

#include "browser/WebB.Core.BrowserHandler.h"
#include "browser/WebB.Handler.RenderProcess.h"
#include "browser/WebB.Locker.h"
#include "browser/WebB.Utils.h"
#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Threads.h"

namespace kq {

// --- Variant

namespace {

[[noreturn]] void cast_error(const char16_t* target) {
    throw EConvertError(Format(u"Could not convert variant of type (Array) into type (%s)", {target}));
}

std::int32_t checked_int32(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw ERangeError();
    return static_cast<std::int32_t>(value);
}

// Rounded half to even; NaN and values far outside the range are refused before rounding.
std::int32_t checked_int32(double value) {
    if (!(value > -2147483649.0 && value < 2147483648.0)) throw ERangeError();
    return checked_int32(Round(value));
}

// Overloads for std::visit.
template <class... F>
struct overloaded : F... {
    using F::operator()...;
};

} // namespace

bool operator==(const Variant& a, const Variant& b) { return a.FValue == b.FValue; }

bool Variant::AsBoolean() const {
    return std::visit(overloaded{[](std::monostate) { return false; }, [](null_value) { return false; },
                                 [](bool v) { return v; }, [](const String& v) { return StrToBool(v); },
                                 [](const std::vector<Variant>&) -> bool { cast_error(u"Boolean"); },
                                 [](auto number) { return number != 0; }},
                      FValue);
}

std::int32_t Variant::AsInteger() const {
    return std::visit(overloaded{[](std::monostate) { return 0; }, [](null_value) { return 0; },
                                 [](bool v) { return v ? 1 : 0; }, [](double v) { return checked_int32(v); },
                                 [](const String& v) { return StrToInt(v); },
                                 [](const std::vector<Variant>&) -> std::int32_t { cast_error(u"Integer"); },
                                 [](auto number) { return checked_int32(static_cast<std::int64_t>(number)); }},
                      FValue);
}

double Variant::AsFloat() const {
    return std::visit(overloaded{[](std::monostate) { return 0.0; }, [](null_value) { return 0.0; },
                                 [](bool v) { return v ? 1.0 : 0.0; }, [](const String& v) { return StrToFloat(v); },
                                 [](const std::vector<Variant>&) -> double { cast_error(u"Double"); },
                                 [](auto number) { return static_cast<double>(number); }},
                      FValue);
}

String Variant::AsString() const {
    return std::visit(overloaded{[](std::monostate) { return String(); }, [](null_value) { return String(); },
                                 [](bool v) { return BoolToStr(v, true); }, [](double v) { return FloatToStr(v); },
                                 [](const String& v) { return v; },
                                 [](const std::vector<Variant>&) -> String { cast_error(u"String"); },
                                 [](auto number) { return IntToStr(static_cast<std::int64_t>(number)); }},
                      FValue);
}

// --- List entries

void set_list_entry(const ICefListValue& list, int index, const Variant& Value) {
    switch (Value.VarType()) {
    case Variant::varInteger:
    case Variant::varInt64: list.SetInt(index, Value.AsInteger()); break;
    case Variant::varDouble: list.SetDouble(index, Value.AsFloat()); break;
    case Variant::varBoolean: list.SetBool(index, Value.AsBoolean()); break;
    case Variant::varString: list.SetString(index, Value.AsString()); break;
    default: list.SetNull(index); break;
    }
}

Variant list_entry_value(const ICefListValue& list, int index) {
    if (!list || index < 0 || static_cast<std::size_t>(index) >= list.GetSize()) return {};
    switch (list.GetType(index)) {
    case VTYPE_BOOL: return list.GetBool(index);
    case VTYPE_INT: return static_cast<std::int32_t>(list.GetInt(index));
    case VTYPE_DOUBLE: return list.GetDouble(index);
    case VTYPE_STRING: return list.GetString(index);
    default: return {};
    }
}

bool send_run_in_render(const ICefBrowser& browser, const TRenderProcessCallbackA& AProc, void* data) {
    auto page = std::make_unique<ICefBrowser>(browser);
    auto closure = std::make_unique<TRenderProcessCallbackA>(AProc);
    const auto hex = [](const void* p) { return IntToHex(reinterpret_cast<std::uintptr_t>(p), 4); };
    const ICefProcessMessage message = ICefProcessMessage::New(runinrender_message);
    const ICefListValue args = message.GetArgumentList();
    args.SetSize(3);
    args.SetString(0, hex(page.get()));
    args.SetString(1, hex(closure.get()));
    args.SetString(2, hex(data));
    if (!browser.SendProcessMessage(PID_RENDERER, message)) return false;
    // The renderer owns both references from here on.
    page.release();
    closure.release();
    return true;
}

// --- TWebBJsExtention

namespace {

struct pending {
    const TWebBJsExtention* owner;
    TJsExtentionProc proc;
    int browser_id;
    std::shared_ptr<TEvent> waiter; // set by a waiting form: signalled when no reply can come
};

// Request id to the closure waiting for its reply, for every bridge; guarded by JsHandlerLocker.
std::map<String, pending>& pending_requests() {
    static std::map<String, pending> table;
    return table;
}

// Forgets the requests that match, ending the calls that wait for them. JsHandlerLocker is held.
template <class Match>
void forget_requests(Match match) {
    std::map<String, pending>& table = pending_requests();
    for (auto it = table.begin(); it != table.end();) {
        if (!match(it->second)) {
            ++it;
            continue;
        }
        if (it->second.waiter) it->second.waiter->SetEvent();
        it = table.erase(it);
    }
}

} // namespace

TWebBJsExtention::TWebBJsExtention() = default;

TWebBJsExtention::~TWebBJsExtention() {
    // The outcomes went to this bridge's callers: nothing is left to receive them.
    const std::lock_guard lock(*JsHandlerLocker);
    forget_requests([this](const pending& p) { return p.owner == this; });
}

void TWebBJsExtention::PageClosed(int browser_id) {
    const std::lock_guard lock(*JsHandlerLocker);
    forget_requests([browser_id](const pending& p) { return p.browser_id == browser_id; });
}

String TWebBJsExtention::send(const ICefBrowser& browser, int code, const String& text, const Variant* Value,
                              TJsExtentionProc proc, std::shared_ptr<TEvent> waiter) {
    // A value that cannot travel fails before anything is registered or sent, with or without a page.
    if (Value && Value->VarType() == Variant::varInt64) static_cast<void>(Value->AsInteger());
    // A page that is not given gets nothing, and nothing waits for a reply that cannot come.
    if (!browser) return {};
    const ICefProcessMessage message = ICefProcessMessage::New(torender_jsextention_message);
    const ICefListValue args = message.GetArgumentList();
    args.SetSize(Value ? 4 : 3);
    if (Value) set_list_entry(args, 3, *Value);
    args.SetInt(1, code);
    args.SetString(2, text);
    const String id = CreateGuidString();
    args.SetString(0, id);
    {
        const std::lock_guard lock(*JsHandlerLocker);
        pending_requests()[id] = pending{this, std::move(proc), browser.GetIdentifier(), std::move(waiter)};
    }
    if (browser.SendProcessMessage(PID_RENDERER, message)) return id;
    const std::lock_guard lock(*JsHandlerLocker);
    pending_requests().erase(id);
    return {};
}

TWebBJsExtention::outcome TWebBJsExtention::request(const ICefBrowser& browser, int code, const String& text,
                                                    const Variant* Value) {
    // Each call waits on its own event, so calls that overlap (nested through the message dispatch of the
    // wait, or from several threads) each return after their own reply.
    struct reply {
        std::shared_ptr<TEvent> done = std::make_shared<TEvent>(true, false);
        outcome result;
    };
    const auto r = std::make_shared<reply>();
    const String id = send(
        browser, code, text, Value,
        [r](const Variant& v, const String& e) {
            r->result = {v, e};
            r->done->SetEvent();
        },
        r->done);
    if (id.empty()) return {};
    // From here on only the process's table is touched: the bridge may be freed while this waits.
    const auto forget = [&id] {
        const std::lock_guard lock(*JsHandlerLocker);
        pending_requests().erase(id);
    };
    // The reply could only come through the engine's work this call is part of.
    if (TWebBHandler::in_engine_work()) {
        forget();
        return {};
    }
    // No time limit: a renderer still working on the request (a long script, a dialog it shows) is
    // waited for. The wait ends without the reply only when none can come, or when the program quits;
    // on the GUI thread, where replies are delivered, the closure cannot run after that.
    if (WaitForReply(r->done->Handle(), INFINITE) == TWaitResult::wrSignaled) return std::move(r->result);
    forget();
    return {};
}

void TWebBJsExtention::GetAsBooleanProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc) {
    send(browser, js_operation::read, name, nullptr, std::move(proc));
}

void TWebBJsExtention::GetAsFloatProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc) {
    send(browser, js_operation::read, name, nullptr, std::move(proc));
}

void TWebBJsExtention::GetAsIntegerProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc) {
    send(browser, js_operation::read, name, nullptr, std::move(proc));
}

void TWebBJsExtention::GetAsStringProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc) {
    send(browser, js_operation::read, name, nullptr, std::move(proc));
}

void TWebBJsExtention::GetDefinedProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc) {
    send(browser, js_operation::defined, name, nullptr, std::move(proc));
}

void TWebBJsExtention::GetExecuteScriptResultProc(const ICefBrowser& browser, const String& script,
                                                  TJsExtentionProc proc) {
    send(browser, js_operation::evaluate, script, nullptr, std::move(proc));
}

void TWebBJsExtention::SetAsBooleanProc(const ICefBrowser& browser, const String& name, bool Value,
                                        TJsExtentionProc proc) {
    const Variant v(Value);
    send(browser, js_operation::write, name, &v, std::move(proc));
}

void TWebBJsExtention::SetAsFloatProc(const ICefBrowser& browser, const String& name, double Value,
                                      TJsExtentionProc proc) {
    const Variant v(Value);
    send(browser, js_operation::write, name, &v, std::move(proc));
}

void TWebBJsExtention::SetAsIntegerProc(const ICefBrowser& browser, const String& name, std::int64_t Value,
                                        TJsExtentionProc proc) {
    const Variant v(Value);
    send(browser, js_operation::write, name, &v, std::move(proc));
}

void TWebBJsExtention::SetAsStringProc(const ICefBrowser& browser, const String& name, const String& Value,
                                       TJsExtentionProc proc) {
    const Variant v(Value);
    send(browser, js_operation::write, name, &v, std::move(proc));
}

bool TWebBJsExtention::GetAsBoolean(const ICefBrowser& browser, const String& name) {
    return request(browser, js_operation::read, name).value.AsBoolean();
}

double TWebBJsExtention::GetAsFloat(const ICefBrowser& browser, const String& name) {
    return request(browser, js_operation::read, name).value.AsFloat();
}

std::int32_t TWebBJsExtention::GetAsInteger(const ICefBrowser& browser, const String& name) {
    return request(browser, js_operation::read, name).value.AsInteger();
}

String TWebBJsExtention::GetAsString(const ICefBrowser& browser, const String& name) {
    const outcome o = request(browser, js_operation::read, name);
    return o.error.empty() ? o.value.AsString() : o.error;
}

bool TWebBJsExtention::GetDefined(const ICefBrowser& browser, const String& name) {
    return request(browser, js_operation::defined, name).value.AsBoolean();
}

Variant TWebBJsExtention::GetExecuteScriptResult(const ICefBrowser& browser, const String& script) {
    Variant v = request(browser, js_operation::evaluate, script).value;
    // Only a string can hold the text; numbers and Booleans never do.
    if (v.VarType() == Variant::varString && v.AsString().find(u"不存在") != String::npos) return String();
    return v;
}

void TWebBJsExtention::SetAsBoolean(const ICefBrowser& browser, const String& name, bool Value) {
    const Variant v(Value);
    request(browser, js_operation::write, name, &v);
}

void TWebBJsExtention::SetAsFloat(const ICefBrowser& browser, const String& name, double Value) {
    const Variant v(Value);
    request(browser, js_operation::write, name, &v);
}

void TWebBJsExtention::SetAsInteger(const ICefBrowser& browser, const String& name, std::int64_t Value) {
    const Variant v(Value);
    request(browser, js_operation::write, name, &v);
}

void TWebBJsExtention::SetAsString(const ICefBrowser& browser, const String& name, const String& Value) {
    const Variant v(Value);
    request(browser, js_operation::write, name, &v);
}

void TWebBJsExtention::UnRegisterHandler(const String& id, const String& exp_str, const Variant& value) {
    TJsExtentionProc proc;
    {
        const std::lock_guard lock(*JsHandlerLocker);
        const auto it = pending_requests().find(id);
        if (it == pending_requests().end()) return;
        proc = std::move(it->second.proc);
        pending_requests().erase(it);
    }
    // Run outside the lock: a closure that waits for another thread using a bridge cannot deadlock it.
    if (proc) proc(value, exp_str);
}

int TWebBJsExtention::PendingCount() const {
    const std::lock_guard lock(*JsHandlerLocker);
    return static_cast<int>(std::count_if(pending_requests().begin(), pending_requests().end(),
                                          [this](const auto& entry) { return entry.second.owner == this; }));
}

} // namespace kq
