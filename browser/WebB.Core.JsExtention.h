#pragma once
// TWebBJsExtention, the script bridge.
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "framework/Win32.h"

#include "engine/CefInterfaces.h"
#include "framework/Strings.h"
#include "framework/Threads.h"

// The script bridge: reads, writes and tests global script variables of a page's main frame and evaluates
// scripts there, by messages to the page's render process and its answers.
namespace kq {

// The tagged value the bridge hands over: empty (unassigned), null, Boolean, 32-bit signed and unsigned
// and 64-bit signed integers, double, string, or an array of such values.
class Variant {
public:
    enum class TVarType { varEmpty, varNull, varBoolean, varInteger, varLongWord, varInt64, varDouble, varString, varArray };
    using enum TVarType;

    Variant() noexcept = default;
    Variant(bool Value) : FValue(Value) {}
    Variant(std::int32_t Value) : FValue(Value) {}
    Variant(std::uint32_t Value) : FValue(Value) {}
    Variant(std::int64_t Value) : FValue(Value) {}
    Variant(double Value) : FValue(Value) {}
    Variant(String Value) : FValue(std::move(Value)) {}
    Variant(const char16_t* Value) : FValue(String(Value)) {}
    Variant(std::vector<Variant> Value) : FValue(std::move(Value)) {}
    static Variant Null() {
        Variant v;
        v.FValue = null_value{};
        return v;
    }

    TVarType VarType() const noexcept { return static_cast<TVarType>(FValue.index()); }
    // Readings as a type: empty and null read as false, 0 or "". A text that is not a number or a Boolean,
    // and an array, raise EConvertError; a number outside the 32-bit range raises ERangeError.
    bool AsBoolean() const;
    std::int32_t AsInteger() const;
    double AsFloat() const;
    String AsString() const;

    friend bool operator==(const Variant& a, const Variant& b);

private:
    struct null_value {
        bool operator==(const null_value&) const = default;
    };
    std::variant<std::monostate, null_value, bool, std::int32_t, std::uint32_t, std::int64_t, double, String,
                 std::vector<Variant>>
        FValue;
};

// The outcome of one request: the value and the error text (empty when there is none).
using TJsExtentionProc = std::function<void(const Variant& Value, const String& ExpStr)>;
// Run inside the renderer with the page, its main frame's script context (not entered) and the caller's data.
using TRenderProcessCallbackA =
    std::function<void(const ICefBrowser& browser, const ICefv8Context& context, void* data)>;

// The operation codes of a request to the renderer.
namespace js_operation {
inline constexpr int read = 0;
inline constexpr int write = 1;
inline constexpr int defined = 2;
inline constexpr int evaluate = 3;
} // namespace js_operation

// The values that travel in the bridge's messages: an int, double, bool or string entry. Any other value
// leaves the entry null; a 64-bit integer outside the 32-bit range raises ERangeError.
void set_list_entry(const ICefListValue& list, int index, const Variant& Value);
// An entry back: bool, int, double or string; empty for any other entry type.
Variant list_entry_value(const ICefListValue& list, int index);

// Asks the renderer of a page to run a closure with its script context. The message carries counted
// references to the page and to the closure, which the renderer releases; both stay in the one process
// shared by browser and renderer. False when the message could not be sent.
bool send_run_in_render(const ICefBrowser& browser, const TRenderProcessCallbackA& AProc, void* data);

// The browser half of the bridge, one per browser view. The "Proc" forms may be called on any thread;
// they return at once and hand the outcome to proc on the GUI thread. The other forms wait for the reply
// without a time limit, serving messages on the GUI thread, however long the renderer takes. They end
// without a value only when no reply can come: the page is closed or the bridge goes meanwhile, the
// program quits (WM_QUIT), or the call sits inside the engine's own work on the GUI thread, which is not
// re-entered and so could never deliver it (such a call returns at once; its request still goes). A page
// that is not given sends nothing, and the waiting forms then return at once with no value.
class TWebBJsExtention {
public:
    TWebBJsExtention();
    TWebBJsExtention(const TWebBJsExtention&) = delete;
    TWebBJsExtention& operator=(const TWebBJsExtention&) = delete;
    ~TWebBJsExtention();

    void GetAsBooleanProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc);
    void GetAsFloatProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc);
    void GetAsIntegerProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc);
    void GetAsStringProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc);
    void GetDefinedProc(const ICefBrowser& browser, const String& name, TJsExtentionProc proc);
    void GetExecuteScriptResultProc(const ICefBrowser& browser, const String& script, TJsExtentionProc proc);
    void SetAsBooleanProc(const ICefBrowser& browser, const String& name, bool Value, TJsExtentionProc proc);
    void SetAsFloatProc(const ICefBrowser& browser, const String& name, double Value, TJsExtentionProc proc);
    // ERangeError, before anything is sent, for a value outside the 32-bit range.
    void SetAsIntegerProc(const ICefBrowser& browser, const String& name, std::int64_t Value, TJsExtentionProc proc);
    void SetAsStringProc(const ICefBrowser& browser, const String& name, const String& Value, TJsExtentionProc proc);

    bool GetAsBoolean(const ICefBrowser& browser, const String& name);
    double GetAsFloat(const ICefBrowser& browser, const String& name);
    std::int32_t GetAsInteger(const ICefBrowser& browser, const String& name);
    // The reply's error text instead of the value when there is one.
    String GetAsString(const ICefBrowser& browser, const String& name);
    bool GetDefined(const ICefBrowser& browser, const String& name);
    // The value; an empty string instead when its text contains "不存在".
    Variant GetExecuteScriptResult(const ICefBrowser& browser, const String& script);
    void SetAsBoolean(const ICefBrowser& browser, const String& name, bool Value);
    void SetAsFloat(const ICefBrowser& browser, const String& name, double Value);
    void SetAsInteger(const ICefBrowser& browser, const String& name, std::int64_t Value);
    void SetAsString(const ICefBrowser& browser, const String& name, const String& Value);

    // Delivers one reply (the view calls it on the GUI thread) to the request of that id, whichever bridge
    // sent it; a reply for no pending request is dropped.
    void UnRegisterHandler(const String& id, const String& exp_str, const Variant& value);
    // The page has gone, and with it every answer to come: the requests of every bridge for it are
    // forgotten and the calls waiting for them return with no value.
    static void PageClosed(int browser_id);

    // Requests sent and not answered yet.
    int PendingCount() const;

private:
    struct outcome {
        Variant value;
        String error;
    };
    // The request's id; empty when nothing was sent (no page, or the message did not go).
    String send(const ICefBrowser& browser, int code, const String& text, const Variant* Value,
                TJsExtentionProc proc, std::shared_ptr<TEvent> waiter = {});
    outcome request(const ICefBrowser& browser, int code, const String& text, const Variant* Value = nullptr);
    // The requests of every bridge are kept in one table, keyed by their ids: a reply reaches its request
    // through whichever view shows the page, also when the page belongs to another bridge's view.
};

} // namespace kq
