// The stand-in's list values and process messages.
#include "testengine/Values.h"

#include <vector>

#include "testengine/StandinObject.h"
#include "testengine/StandinText.h"

namespace kq::standin {

namespace {

struct entry {
    cef_value_type_t type = VTYPE_NULL;
    int number = 0; // bool and int
    double real = 0;
    std::wstring text;
    bool operator==(const entry&) const = default;
};

using entries = std::vector<entry>;

class list_value : public standin_object<cef_list_value_t> {
public:
    explicit list_value(std::shared_ptr<entries> data) : FData(std::move(data)) {
        cef_list_value_t* c = cef();
        c->is_valid = &engine_thunk<&list_value::is_valid>::call;
        c->is_owned = &engine_thunk<&list_value::is_owned>::call;
        c->is_read_only = &engine_thunk<&list_value::is_read_only>::call;
        c->is_same = &engine_thunk<&list_value::is_same>::call;
        c->is_equal = &engine_thunk<&list_value::is_equal>::call;
        c->copy = &engine_thunk<&list_value::copy>::call;
        c->set_size = &engine_thunk<&list_value::set_size>::call;
        c->get_size = &engine_thunk<&list_value::get_size>::call;
        c->clear = &engine_thunk<&list_value::clear>::call;
        c->remove = &engine_thunk<&list_value::remove>::call;
        c->get_type = &engine_thunk<&list_value::get_type>::call;
        c->get_bool = &engine_thunk<&list_value::get_bool>::call;
        c->get_int = &engine_thunk<&list_value::get_int>::call;
        c->get_double = &engine_thunk<&list_value::get_double>::call;
        c->get_string = &engine_thunk<&list_value::get_string>::call;
        c->set_null = &engine_thunk<&list_value::set_null>::call;
        c->set_bool = &engine_thunk<&list_value::set_bool>::call;
        c->set_int = &engine_thunk<&list_value::set_int>::call;
        c->set_double = &engine_thunk<&list_value::set_double>::call;
        c->set_string = &engine_thunk<&list_value::set_string>::call;
    }
    const char* kind() const noexcept override { return "cef_list_value_t"; }
    static const std::shared_ptr<entries>& data_of(cef_list_value_t* l) {
        return static_cast<list_value*>(owner_of(l))->FData;
    }

private:
    void release_resources() noexcept override { FData.reset(); }

    const entry* at(int i) const {
        return i >= 0 && static_cast<size_t>(i) < FData->size() ? &(*FData)[static_cast<size_t>(i)] : nullptr;
    }
    // Setting past the end grows the list, as the engine does.
    entry* slot(int i) {
        if (i < 0) return nullptr;
        if (static_cast<size_t>(i) >= FData->size()) FData->resize(static_cast<size_t>(i) + 1);
        return &(*FData)[static_cast<size_t>(i)];
    }
    int is_valid() { return 1; }
    int is_owned() { return 0; }
    int is_read_only() { return 0; }
    int is_same(cef_list_value_t* other) {
        const auto o = engine_ref<cef_list_value_t>::adopt(other);
        return o && data_of(o.get()) == FData;
    }
    int is_equal(cef_list_value_t* other) {
        const auto o = engine_ref<cef_list_value_t>::adopt(other);
        return o && *data_of(o.get()) == *FData;
    }
    cef_list_value_t* copy() { return make<list_value>(std::make_shared<entries>(*FData)).detach(); }
    int set_size(size_t n) {
        FData->resize(n);
        return 1;
    }
    size_t get_size() { return FData->size(); }
    int clear() {
        FData->clear();
        return 1;
    }
    int remove(int i) {
        if (!at(i)) return 0;
        FData->erase(FData->begin() + i);
        return 1;
    }
    cef_value_type_t get_type(int i) { return at(i) ? at(i)->type : VTYPE_INVALID; }
    int get_bool(int i) { return at(i) && at(i)->type == VTYPE_BOOL ? at(i)->number : 0; }
    int get_int(int i) { return at(i) && at(i)->type == VTYPE_INT ? at(i)->number : 0; }
    double get_double(int i) { return at(i) && at(i)->type == VTYPE_DOUBLE ? at(i)->real : 0; }
    cef_string_userfree_t get_string(int i) {
        return make_userfree(at(i) && at(i)->type == VTYPE_STRING ? at(i)->text : std::wstring());
    }
    int set(int i, entry e) {
        entry* s = slot(i);
        if (!s) return 0;
        *s = std::move(e);
        return 1;
    }
    int set_null(int i) { return set(i, entry{}); }
    int set_bool(int i, int v) { return set(i, entry{VTYPE_BOOL, v ? 1 : 0, 0, {}}); }
    int set_int(int i, int v) { return set(i, entry{VTYPE_INT, v, 0, {}}); }
    int set_double(int i, double v) { return set(i, entry{VTYPE_DOUBLE, 0, v, {}}); }
    int set_string(int i, const cef_string_t* v) { return set(i, entry{VTYPE_STRING, 0, 0, text_of(v)}); }

    std::shared_ptr<entries> FData;
};

class process_message : public standin_object<cef_process_message_t> {
public:
    process_message(std::wstring name, std::shared_ptr<entries> arguments)
        : FName(std::move(name)), FArguments(std::move(arguments)) {
        cef_process_message_t* c = cef();
        c->is_valid = &engine_thunk<&process_message::is_valid>::call;
        c->is_read_only = &engine_thunk<&process_message::is_read_only>::call;
        c->copy = &engine_thunk<&process_message::copy>::call;
        c->get_name = &engine_thunk<&process_message::get_name>::call;
        c->get_argument_list = &engine_thunk<&process_message::get_argument_list>::call;
    }
    const char* kind() const noexcept override { return "cef_process_message_t"; }
    const std::wstring& name() const { return FName; }

private:
    void release_resources() noexcept override { FArguments.reset(); }

    int is_valid() { return 1; }
    int is_read_only() { return 0; }
    cef_process_message_t* copy() {
        return make<process_message>(FName, std::make_shared<entries>(*FArguments)).detach();
    }
    cef_string_userfree_t get_name() { return make_userfree(FName); }
    // The same arguments each time: what is set through one list is seen through the next.
    cef_list_value_t* get_argument_list() { return make<list_value>(FArguments).detach(); }

    std::wstring FName;
    std::shared_ptr<entries> FArguments;
};

} // namespace

std::wstring message_name(cef_process_message_t* message) {
    return message ? static_cast<process_message*>(process_message::owner_of(message))->name() : std::wstring();
}

} // namespace kq::standin

using namespace kq::standin;

extern "C" {

cef_list_value_t* cef_list_value_create(void) { return make<list_value>(std::make_shared<entries>()).detach(); }

cef_process_message_t* cef_process_message_create(const cef_string_t* name) {
    return make<process_message>(text_of(name), std::make_shared<entries>()).detach();
}

} // extern "C"
