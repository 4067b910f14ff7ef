// The stand-in's fake script engine: values, one global object shared by every page, eval from a table.
#include "testengine/V8.h"

#include <cwchar>
#include <map>
#include <optional>
#include <set>
#include <mutex>
#include <string>
#include <vector>

#include "testengine/Browser.h"
#include "testengine/ControlExports.h"
#include "testengine/StandinObject.h"
#include "testengine/StandinText.h"

namespace kq::standin {

namespace {

// thrown: an eval table entry whose evaluation raises (text: the message, integer: line, column).
enum class v8_kind { undefined, null, boolean, integer, unsigned_integer, real, string, function, array, object, date, thrown };

struct v8_data {
    v8_kind kind = v8_kind::undefined;
    bool boolean = false;
    int integer = 0;
    unsigned unsigned_integer = 0;
    double real = 0;
    std::wstring text; // strings, function names and the messages of thrown ones
    int column = 0;    // of a thrown one
    std::map<std::wstring, std::shared_ptr<v8_data>> properties;
    std::vector<std::shared_ptr<v8_data>> elements;
    // An object made with an accessor: the keys set by accessor are read and written through it.
    held<cef_v8accessor_t> accessor;
    std::set<std::wstring> accessor_keys;
};

// A global property that a registered extension defines with getter and setter: the native functions of
// the extension's handler that they call.
struct extension_property {
    engine_ref<cef_v8handler_t> handler;
    std::wstring getter, setter;
};

std::mutex script_lock; // guards the global object's properties, eval_table, the accessor keys and extensions
std::shared_ptr<v8_data> global_object;
std::map<std::wstring, std::shared_ptr<v8_data>> eval_table;
std::map<std::wstring, extension_property> extension_properties;
std::vector<held<cef_v8handler_t>> extension_handlers; // one reference each, until reset or shutdown

std::shared_ptr<v8_data> data_of_kind(v8_kind kind) {
    auto d = std::make_shared<v8_data>();
    d->kind = kind;
    return d;
}

std::shared_ptr<v8_data> global() {
    if (!global_object) global_object = data_of_kind(v8_kind::object);
    return global_object;
}

thread_local int entered_depth = 0;

std::shared_ptr<v8_data> parse_value(const char* type, const wchar_t* value) noexcept {
  try {
    const std::string t = type ? type : "";
    const std::wstring v = value ? value : L"";
    auto d = std::make_shared<v8_data>();
    if (t == "null") d->kind = v8_kind::null;
    else if (t == "bool") d->kind = v8_kind::boolean, d->boolean = v == L"true";
    else if (t == "int") d->kind = v8_kind::integer, d->integer = std::stoi(v);
    else if (t == "uint") d->kind = v8_kind::unsigned_integer, d->unsigned_integer = static_cast<unsigned>(std::stoul(v));
    else if (t == "double") d->kind = v8_kind::real, d->real = std::stod(v);
    else if (t == "string") d->kind = v8_kind::string, d->text = v;
    else if (t == "function") d->kind = v8_kind::function, d->text = v;
    else if (t == "array") d->kind = v8_kind::array;
    else if (t == "object") d->kind = v8_kind::object;
    else if (t == "date") d->kind = v8_kind::date;
    else if (t == "throw") {
        // message|line|column
        d->kind = v8_kind::thrown;
        const size_t a = v.find(L'|'), b = a == std::wstring::npos ? a : v.find(L'|', a + 1);
        d->text = v.substr(0, a);
        if (b != std::wstring::npos) {
            d->integer = std::stoi(v.substr(a + 1, b - a - 1));
            d->column = std::stoi(v.substr(b + 1));
        }
    }
    return d;
  } catch (...) {
    record("standin_set_value", "unreadable value");
    return std::make_shared<v8_data>();
  }
}

class v8_value : public standin_object<cef_v8value_t> {
public:
    explicit v8_value(std::shared_ptr<v8_data> d) : FData(std::move(d)) {
        cef_v8value_t* c = cef();
        c->is_valid = &engine_thunk<&v8_value::is_valid>::call;
        c->is_undefined = &engine_thunk<&v8_value::is<v8_kind::undefined>>::call;
        c->is_null = &engine_thunk<&v8_value::is<v8_kind::null>>::call;
        c->is_bool = &engine_thunk<&v8_value::is<v8_kind::boolean>>::call;
        c->is_int = &engine_thunk<&v8_value::is<v8_kind::integer>>::call;
        c->is_uint = &engine_thunk<&v8_value::is<v8_kind::unsigned_integer>>::call;
        c->is_double = &engine_thunk<&v8_value::is<v8_kind::real>>::call;
        c->is_date = &engine_thunk<&v8_value::is<v8_kind::date>>::call;
        c->is_string = &engine_thunk<&v8_value::is<v8_kind::string>>::call;
        c->is_object = &engine_thunk<&v8_value::is_object>::call;
        c->is_array = &engine_thunk<&v8_value::is<v8_kind::array>>::call;
        c->is_function = &engine_thunk<&v8_value::is<v8_kind::function>>::call;
        c->is_same = &engine_thunk<&v8_value::is_same>::call;
        c->get_bool_value = &engine_thunk<&v8_value::get_bool_value>::call;
        c->get_int_value = &engine_thunk<&v8_value::get_int_value>::call;
        c->get_uint_value = &engine_thunk<&v8_value::get_uint_value>::call;
        c->get_double_value = &engine_thunk<&v8_value::get_double_value>::call;
        c->get_string_value = &engine_thunk<&v8_value::get_string_value>::call;
        c->has_exception = &engine_thunk<&v8_value::has_exception>::call;
        c->has_value_bykey = &engine_thunk<&v8_value::has_value_bykey>::call;
        c->get_value_bykey = &engine_thunk<&v8_value::get_value_bykey>::call;
        c->set_value_bykey = &engine_thunk<&v8_value::set_value_bykey>::call;
        c->set_value_byaccessor = &engine_thunk<&v8_value::set_value_byaccessor>::call;
        c->delete_value_bykey = &engine_thunk<&v8_value::delete_value_bykey>::call;
        c->get_value_byindex = &engine_thunk<&v8_value::get_value_byindex>::call;
        c->get_array_length = &engine_thunk<&v8_value::get_array_length>::call;
        c->get_keys = &engine_thunk<&v8_value::get_keys>::call;
        c->get_function_name = &engine_thunk<&v8_value::get_function_name>::call;
    }
    const char* kind() const noexcept override { return "cef_v8value_t"; }
    // Reads a property as script does: through an extension or an accessor when one answers for it.
    static engine_ref<cef_v8value_t> property(const std::shared_ptr<v8_data>& object, const std::wstring& key) {
        const auto holder = make<v8_value>(object);
        const cef_string_t k = borrowed(key);
        return engine_ref<cef_v8value_t>::adopt(holder->get_value_bykey(holder.get(), &k));
    }
    static int write_property(const std::shared_ptr<v8_data>& object, const std::wstring& key,
                              engine_ref<cef_v8value_t> value) {
        const auto holder = make<v8_value>(object);
        const cef_string_t k = borrowed(key);
        return holder->set_value_bykey(holder.get(), &k, value.pass(), V8_PROPERTY_ATTRIBUTE_NONE);
    }
    static const std::shared_ptr<v8_data>& data_of(cef_v8value_t* v) {
        return static_cast<v8_value*>(owner_of(v))->FData;
    }

private:
    void release_resources() noexcept override { FData.reset(); }

    int is_valid() { return 1; }
    template <v8_kind K>
    int is() {
        return FData->kind == K;
    }
    // Arrays and functions are objects too.
    int is_object() {
        return FData->kind == v8_kind::object || FData->kind == v8_kind::array || FData->kind == v8_kind::function;
    }
    int is_same(cef_v8value_t* other) {
        const auto o = engine_ref<cef_v8value_t>::adopt(other);
        return o && data_of(o.get()) == FData;
    }
    int get_bool_value() { return FData->boolean; }
    int32 get_int_value() {
        return FData->kind == v8_kind::unsigned_integer ? static_cast<int32>(FData->unsigned_integer) : FData->integer;
    }
    uint32 get_uint_value() {
        return FData->kind == v8_kind::integer ? static_cast<uint32>(FData->integer) : FData->unsigned_integer;
    }
    double get_double_value() {
        switch (FData->kind) {
        case v8_kind::integer: return FData->integer;
        case v8_kind::unsigned_integer: return FData->unsigned_integer;
        default: return FData->real;
        }
    }
    cef_string_userfree_t get_string_value() { return make_userfree(FData->kind == v8_kind::string ? FData->text : L""); }
    int has_exception() { return 0; }
    int has_value_bykey(const cef_string_t* key) {
        const std::lock_guard lock(script_lock);
        return FData->properties.count(text_of(key)) ? 1 : 0;
    }
    // A missing property reads as undefined, as in script.
    cef_v8value_t* get_value_bykey(const cef_string_t* key) {
        const std::wstring k = text_of(key);
        if (cef_v8value_t* native = native_get(k)) return native;
        std::shared_ptr<v8_data> found;
        {
            const std::lock_guard lock(script_lock);
            const auto it = FData->properties.find(k);
            if (it != FData->properties.end()) found = it->second;
        }
        return make<v8_value>(found ? found : std::make_shared<v8_data>()).detach();
    }
    int set_value_bykey(const cef_string_t* key, cef_v8value_t* value, cef_v8_propertyattribute_t attribute) {
        auto v = engine_ref<cef_v8value_t>::adopt(value);
        const std::wstring k = text_of(key);
        record("v8.set_value_bykey", utf8_of(k) + " attribute=" + std::to_string(attribute));
        if (!v) return 0;
        if (const std::optional<int> done = native_set(k, v)) return *done;
        const std::lock_guard lock(script_lock);
        FData->properties[k] = data_of(v.get());
        return 1;
    }
    int set_value_byaccessor(const cef_string_t* key, cef_v8_accesscontrol_t, cef_v8_propertyattribute_t) {
        const std::lock_guard lock(script_lock);
        if (!FData->accessor) return 0;
        FData->accessor_keys.insert(text_of(key));
        return 1;
    }

    // Who answers a property natively: an extension's handler with the native function that its getter or
    // setter calls (for the global object), or the object's accessor; neither for a plain property.
    struct native_answer {
        engine_ref<cef_v8handler_t> handler;
        engine_ref<cef_v8accessor_t> accessor;
        std::wstring function;
    };
    native_answer native_of(const std::wstring& key, std::wstring extension_property::*function) const {
        const std::lock_guard lock(script_lock);
        if (FData == global_object) {
            const auto it = extension_properties.find(key);
            if (it != extension_properties.end() && !(it->second.*function).empty())
                return {it->second.handler, nullptr, it->second.*function};
        } else if (FData->accessor && FData->accessor_keys.count(key)) {
            return {nullptr, engine_ref<cef_v8accessor_t>::share(FData->accessor.get()), {}};
        }
        return {};
    }

    // A property an extension's getter or an object's accessor answers; null for any other.
    cef_v8value_t* native_get(const std::wstring& key) {
        const auto [handler, accessor, function] = native_of(key, &extension_property::getter);
        cef_v8value_t* result = nullptr;
        cef_string_t exception{};
        const cef_string_t name = borrowed(handler ? function : key);
        if (handler) {
            handler->execute(handler.get(), &name, make<v8_value>(FData).detach(), 0, nullptr, &result, &exception);
        } else if (accessor) {
            accessor->get(accessor.get(), &name, make<v8_value>(FData).detach(), &result, &exception);
        } else {
            return nullptr;
        }
        take_exception(exception);
        return result ? result : make<v8_value>(std::make_shared<v8_data>()).detach();
    }
    // Hands a write to an extension's setter or an object's accessor; nothing for any other property.
    std::optional<int> native_set(const std::wstring& key, engine_ref<cef_v8value_t>& value) {
        const auto [handler, accessor, function] = native_of(key, &extension_property::setter);
        cef_string_t exception{};
        int done = 0;
        if (handler) {
            const cef_string_t name = borrowed(function);
            cef_v8value_t* const arguments[] = {value.pass()};
            cef_v8value_t* result = nullptr;
            done = handler->execute(handler.get(), &name, make<v8_value>(FData).detach(), 1, arguments, &result,
                                    &exception);
            if (result) release_given(result);
        } else if (accessor) {
            const cef_string_t name = borrowed(key);
            done = accessor->set(accessor.get(), &name, make<v8_value>(FData).detach(), value.pass(), &exception);
        } else {
            return std::nullopt;
        }
        take_exception(exception);
        return done;
    }
    // A native function's exception is recorded, as script would see it thrown.
    static void take_exception(cef_string_t& exception) {
        if (!exception.str) return;
        record("v8.exception", utf8_of(text_of(&exception)));
        cef_string_utf16_clear(&exception);
    }
    int delete_value_bykey(const cef_string_t* key) {
        const std::lock_guard lock(script_lock);
        return FData->properties.erase(text_of(key)) ? 1 : 0;
    }
    cef_v8value_t* get_value_byindex(int i) {
        if (i < 0 || static_cast<size_t>(i) >= FData->elements.size()) return make<v8_value>(std::make_shared<v8_data>()).detach();
        return make<v8_value>(FData->elements[static_cast<size_t>(i)]).detach();
    }
    int get_array_length() { return static_cast<int>(FData->elements.size()); }
    int get_keys(cef_string_list_t keys) {
        const std::lock_guard lock(script_lock);
        for (const auto& [k, v] : FData->properties) {
            const cef_string_t s = borrowed(k);
            cef_string_list_append(keys, &s);
        }
        return 1;
    }
    cef_string_userfree_t get_function_name() {
        return make_userfree(FData->kind == v8_kind::function ? FData->text : L"");
    }

    std::shared_ptr<v8_data> FData;
};

class v8_exception : public standin_object<cef_v8exception_t> {
public:
    // A name nothing defines: a reference error on line 1, column 0.
    explicit v8_exception(std::wstring source)
        : FSource(source), FMessage(L"ReferenceError: " + source + L" is not defined") {
        bind();
    }
    v8_exception(std::wstring source, const v8_data& thrown)
        : FSource(std::move(source)), FMessage(thrown.text), FLine(thrown.integer), FColumn(thrown.column) {
        bind();
    }
    const char* kind() const noexcept override { return "cef_v8exception_t"; }

private:
    void bind() {
        cef_v8exception_t* c = cef();
        c->get_message = &engine_thunk<&v8_exception::get_message>::call;
        c->get_source_line = &engine_thunk<&v8_exception::get_source_line>::call;
        c->get_script_resource_name = &engine_thunk<&v8_exception::get_script_resource_name>::call;
        c->get_line_number = &engine_thunk<&v8_exception::get_line_number>::call;
        c->get_start_position = &engine_thunk<&v8_exception::zero>::call;
        c->get_end_position = &engine_thunk<&v8_exception::zero>::call;
        c->get_start_column = &engine_thunk<&v8_exception::get_start_column>::call;
        c->get_end_column = &engine_thunk<&v8_exception::zero>::call;
    }
    cef_string_userfree_t get_message() { return make_userfree(FMessage); }
    cef_string_userfree_t get_source_line() { return make_userfree(FSource); }
    cef_string_userfree_t get_script_resource_name() { return make_userfree(L""); }
    int get_line_number() { return FLine; }
    int get_start_column() { return FColumn; }
    int zero() { return 0; }

    std::wstring FSource;
    std::wstring FMessage;
    int FLine = 1;
    int FColumn = 0;
};

class v8_context : public page_object<cef_v8context_t> {
public:
    explicit v8_context(std::shared_ptr<browser_state> b) : page_object(std::move(b)) {
        cef_v8context_t* c = cef();
        c->is_valid = &engine_thunk<&v8_context::is_valid>::call;
        c->get_browser = &engine_thunk<&v8_context::get_browser>::call;
        c->get_frame = &engine_thunk<&v8_context::get_frame>::call;
        c->get_global = &engine_thunk<&v8_context::get_global>::call;
        c->enter = &engine_thunk<&v8_context::enter>::call;
        c->exit = &engine_thunk<&v8_context::exit>::call;
        c->is_same = &engine_thunk<&v8_context::is_same>::call;
        c->eval = &engine_thunk<&v8_context::eval>::call;
    }
    const char* kind() const noexcept override { return "cef_v8context_t"; }

private:
    int is_valid() { return !FState->closed; }
    cef_browser_t* get_browser() { return browser_param(FState); }
    cef_frame_t* get_frame() { return frame_param(FState); }
    cef_v8value_t* get_global() {
        const std::lock_guard lock(script_lock);
        return make<v8_value>(global()).detach();
    }
    int enter() {
        ++entered_depth;
        return 1;
    }
    int exit() {
        if (entered_depth == 0) return 0;
        --entered_depth;
        return 1;
    }
    int is_same(cef_v8context_t* other) {
        const auto o = engine_ref<cef_v8context_t>::adopt(other);
        return o && static_cast<v8_context*>(owner_of(o.get()))->FState == FState;
    }
    // Scripts come from the eval table; a bare global name evaluates to its value; anything else throws.
    // Scripts come from the eval table. Besides, a global name evaluates to its value and a path "a.b" to a
    // property of it, read as script reads it; "a.b=literal" (a number, true, false or a quoted string)
    // writes one. Anything else throws.
    int eval(const cef_string_t* code, cef_v8value_t** result, cef_v8exception_t** exception) {
        const std::wstring source = text_of(code);
        record("v8.eval", utf8_of(source));
        std::shared_ptr<v8_data> found;
        bool known_global = false;
        const std::wstring target = source.substr(0, source.find(L'='));
        const std::wstring first = target.substr(0, target.find(L'.'));
        {
            const std::lock_guard lock(script_lock);
            if (const auto it = eval_table.find(source); it != eval_table.end()) found = it->second;
            known_global = global()->properties.count(first) || extension_properties.count(first);
        }
        if (found && found->kind == v8_kind::thrown) {
            if (exception) *exception = make<v8_exception>(source, *found).detach();
            return 0;
        }
        if (found) {
            if (result) *result = make<v8_value>(found).detach();
            return 1;
        }
        if (!known_global) {
            if (exception) *exception = make<v8_exception>(source).detach();
            return 0;
        }
        std::shared_ptr<v8_data> owner = global();
        std::wstring key = first;
        for (size_t at = first.size(); at < target.size();) {
            const size_t next = target.find(L'.', at + 1);
            owner = v8_value::data_of(v8_value::property(owner, key).get());
            key = target.substr(at + 1, next == std::wstring::npos ? std::wstring::npos : next - at - 1);
            at = next == std::wstring::npos ? target.size() : next;
        }
        engine_ref<cef_v8value_t> value;
        if (target.size() < source.size()) {
            value = literal(source.substr(target.size() + 1));
            v8_value::write_property(owner, key, value);
        } else {
            value = v8_value::property(owner, key);
        }
        if (result) *result = value.detach();
        return 1;
    }
    static engine_ref<cef_v8value_t> literal(const std::wstring& text) {
        if (text == L"true" || text == L"false") return engine_ref<cef_v8value_t>::adopt(cef_v8value_create_bool(text == L"true"));
        if (text.size() >= 2 && (text[0] == L'\'' || text[0] == L'"')) {
            const std::wstring inner = text.substr(1, text.size() - 2);
            const cef_string_t t = borrowed(inner);
            return engine_ref<cef_v8value_t>::adopt(cef_v8value_create_string(&t));
        }
        try {
            size_t used = 0;
            const int whole = std::stoi(text, &used);
            if (used == text.size()) return engine_ref<cef_v8value_t>::adopt(cef_v8value_create_int(whole));
            return engine_ref<cef_v8value_t>::adopt(cef_v8value_create_double(std::stod(text)));
        } catch (...) {
            return engine_ref<cef_v8value_t>::adopt(cef_v8value_create_undefined());
        }
    }
};

} // namespace

cef_v8context_t* make_v8context(const std::shared_ptr<browser_state>& b) { return make<v8_context>(b).detach(); }

void forget_extensions() {
    std::vector<held<cef_v8handler_t>> handlers;
    std::map<std::wstring, extension_property> properties;
    const std::lock_guard lock(script_lock);
    // Released after the lock: a handler's last release may run its own code.
    handlers.swap(extension_handlers);
    properties.swap(extension_properties);
}

// The extensions are the engine's state, not a test table: they stay until shutdown.
void reset_script_tables() {
    std::shared_ptr<v8_data> global;
    const std::lock_guard lock(script_lock);
    global.swap(global_object);
    eval_table.clear();
}

} // namespace kq::standin

using namespace kq;
using namespace kq::standin;

namespace {
cef_v8value_t* new_value(std::shared_ptr<v8_data> d) { return make<v8_value>(std::move(d)).detach(); }
} // namespace

extern "C" {

int cef_v8context_in_context(void) { return entered_depth > 0; }
cef_v8value_t* cef_v8value_create_undefined(void) { return new_value(data_of_kind(v8_kind::undefined)); }
cef_v8value_t* cef_v8value_create_null(void) { return new_value(data_of_kind(v8_kind::null)); }
cef_v8value_t* cef_v8value_create_bool(int v) {
    auto d = data_of_kind(v8_kind::boolean);
    d->boolean = v != 0;
    return new_value(d);
}
cef_v8value_t* cef_v8value_create_int(int32 v) {
    auto d = data_of_kind(v8_kind::integer);
    d->integer = v;
    return new_value(d);
}
cef_v8value_t* cef_v8value_create_uint(uint32 v) {
    auto d = data_of_kind(v8_kind::unsigned_integer);
    d->unsigned_integer = v;
    return new_value(d);
}
cef_v8value_t* cef_v8value_create_double(double v) {
    auto d = data_of_kind(v8_kind::real);
    d->real = v;
    return new_value(d);
}
cef_v8value_t* cef_v8value_create_string(const cef_string_t* v) {
    auto d = data_of_kind(v8_kind::string);
    d->text = text_of(v);
    return new_value(d);
}
cef_v8value_t* cef_v8value_create_object(cef_v8accessor_t* accessor) {
    auto d = data_of_kind(v8_kind::object);
    d->accessor = held<cef_v8accessor_t>(engine_ref<cef_v8accessor_t>::adopt(accessor), "cef_v8accessor_t");
    return new_value(d);
}

// The extension's code is read as far as the stand-in understands script: each global property that
// __defineGetter__ or __defineSetter__ defines, with the native function its accessor calls.
int cef_register_extension(const cef_string_t* extension_name, const cef_string_t* javascript_code,
                           cef_v8handler_t* handler) {
    held<cef_v8handler_t> given(engine_ref<cef_v8handler_t>::adopt(handler), "cef_v8handler_t");
    const std::wstring name = text_of(extension_name), code = text_of(javascript_code);
    record("cef_register_extension", utf8_of(name) + " " + utf8_of(code));
    if (!given) return 1;
    const std::lock_guard lock(script_lock);
    for (const auto& [definer, is_getter] : {std::pair{L"__defineGetter__('", true}, std::pair{L"__defineSetter__('", false}}) {
        for (size_t at = code.find(definer); at != std::wstring::npos; at = code.find(definer, at + 1)) {
            const size_t start = at + std::wcslen(definer);
            const size_t end = code.find(L'\'', start);
            const size_t native = code.find(L"native function ", end);
            if (end == std::wstring::npos || native == std::wstring::npos) continue;
            const size_t fn = native + std::wcslen(L"native function ");
            extension_property& p = extension_properties[code.substr(start, end - start)];
            p.handler = engine_ref<cef_v8handler_t>::share(given.get());
            (is_getter ? p.getter : p.setter) = code.substr(fn, code.find(L'(', fn) - fn);
        }
    }
    extension_handlers.push_back(std::move(given));
    return 1;
}

cef_v8value_t* cef_v8value_create_array(int length) {
    auto d = data_of_kind(v8_kind::array);
    for (int i = 0; i < length; ++i) d->elements.push_back(data_of_kind(v8_kind::undefined));
    return new_value(d);
}

void standin_set_global(const wchar_t* name, const char* type, const wchar_t* value) {
    const std::lock_guard lock(script_lock);
    global()->properties[name ? name : L""] = parse_value(type, value);
}

void standin_set_eval(const wchar_t* code, const char* type, const wchar_t* value) {
    const std::lock_guard lock(script_lock);
    eval_table[code ? code : L""] = parse_value(type, value);
}

} // extern "C"
