// The stand-in's command-line object.
#include <utility>

#include "testengine/Runtime.h"
#include "testengine/StandinObject.h"
#include "testengine/StandinText.h"

#include <windows.h>

namespace kq::standin {

namespace {

class command_line : public standin_object<cef_command_line_t> {
public:
    explicit command_line(command_line_text value) : FValue(std::move(value)) {
        cef_command_line_t* c = cef();
        c->is_valid = &engine_thunk<&command_line::is_valid>::call;
        c->is_read_only = &engine_thunk<&command_line::is_read_only>::call;
        c->copy = &engine_thunk<&command_line::copy>::call;
        c->init_from_string = &engine_thunk<&command_line::init_from_string>::call;
        c->reset = &engine_thunk<&command_line::reset>::call;
        c->get_argv = &engine_thunk<&command_line::get_argv>::call;
        c->get_command_line_string = &engine_thunk<&command_line::get_command_line_string>::call;
        c->get_program = &engine_thunk<&command_line::get_program>::call;
        c->set_program = &engine_thunk<&command_line::set_program>::call;
        c->has_switches = &engine_thunk<&command_line::has_switches>::call;
        c->has_switch = &engine_thunk<&command_line::has_switch>::call;
        c->get_switch_value = &engine_thunk<&command_line::get_switch_value>::call;
        c->get_switches = &engine_thunk<&command_line::get_switches>::call;
        c->append_switch = &engine_thunk<&command_line::append_switch>::call;
        c->append_switch_with_value = &engine_thunk<&command_line::append_switch_with_value>::call;
        c->has_arguments = &engine_thunk<&command_line::has_arguments>::call;
        c->get_arguments = &engine_thunk<&command_line::get_arguments>::call;
        c->append_argument = &engine_thunk<&command_line::append_argument>::call;
    }
    const char* kind() const noexcept override { return "cef_command_line_t"; }
    const command_line_text& value() const { return FValue; }

private:
    int is_valid() { return 1; }
    int is_read_only() { return 0; }
    cef_command_line_t* copy() { return make_command_line(FValue).detach(); }
    void init_from_string(const cef_string_t* text) { FValue = parse_command_line(text_of(text)); }
    void reset() { FValue = command_line_text{}; }
    void get_argv(cef_string_list_t list) {
        for (const std::wstring& a : argv()) append(list, a);
    }
    cef_string_userfree_t get_command_line_string() {
        std::wstring text;
        for (const std::wstring& a : argv()) {
            if (!text.empty()) text.append(1, L' ');
            text.append(a);
        }
        return make_userfree(text);
    }
    cef_string_userfree_t get_program() { return make_userfree(FValue.program); }
    void set_program(const cef_string_t* program) { FValue.program = text_of(program); }
    int has_switches() { return FValue.switches.empty() ? 0 : 1; }
    int has_switch(const cef_string_t* name) { return find(text_of(name)) ? 1 : 0; }
    cef_string_userfree_t get_switch_value(const cef_string_t* name) {
        const std::wstring* v = find(text_of(name));
        return make_userfree(v ? *v : std::wstring());
    }
    void get_switches(cef_string_map_t map) {
        for (const auto& [name, value] : FValue.switches) {
            const cef_string_t k = borrowed(name);
            const cef_string_t v = borrowed(value);
            cef_string_map_append(map, &k, &v);
        }
    }
    void append_switch(const cef_string_t* name) { FValue.switches.emplace_back(text_of(name), std::wstring()); }
    void append_switch_with_value(const cef_string_t* name, const cef_string_t* value) {
        FValue.switches.emplace_back(text_of(name), text_of(value));
    }
    int has_arguments() { return FValue.arguments.empty() ? 0 : 1; }
    void get_arguments(cef_string_list_t list) {
        for (const std::wstring& a : FValue.arguments) append(list, a);
    }
    void append_argument(const cef_string_t* a) { FValue.arguments.push_back(text_of(a)); }

    const std::wstring* find(const std::wstring& name) const {
        for (const auto& [n, v] : FValue.switches) {
            if (n == name) return &v;
        }
        return nullptr;
    }
    std::vector<std::wstring> argv() const {
        std::vector<std::wstring> result{FValue.program};
        for (const auto& [n, v] : FValue.switches) {
            std::wstring a = L"--";
            a.append(n);
            if (!v.empty()) a.append(1, L'=').append(v);
            result.push_back(std::move(a));
        }
        result.insert(result.end(), FValue.arguments.begin(), FValue.arguments.end());
        return result;
    }
    static void append(cef_string_list_t list, const std::wstring& text) {
        const cef_string_t s = borrowed(text);
        cef_string_list_append(list, &s);
    }

    command_line_text FValue;
};

} // namespace

// Words separated by spaces; double quotes group, and are dropped. (Backslash rules are not needed here.)
std::vector<std::wstring> split_words(const std::wstring& text) {
    std::vector<std::wstring> words;
    std::wstring word;
    bool quoted = false, started = false;
    for (const wchar_t c : text) {
        if (c == L'"') {
            quoted = !quoted;
            started = true;
        } else if ((c == L' ' || c == L'\t') && !quoted) {
            if (started) words.push_back(std::exchange(word, std::wstring()));
            started = false;
        } else {
            word += c;
            started = true;
        }
    }
    if (started) words.push_back(word);
    return words;
}

command_line_text parse_command_line(const std::wstring& text) {
    command_line_text line;
    const std::vector<std::wstring> words = split_words(text);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::wstring& a = words[i];
        if (i == 0) {
            line.program = a;
        } else if (a.size() > 2 && a.compare(0, 2, L"--") == 0) {
            const size_t eq = a.find(L'=');
            line.switches.emplace_back(a.substr(2, eq == std::wstring::npos ? std::wstring::npos : eq - 2),
                                       eq == std::wstring::npos ? std::wstring() : a.substr(eq + 1));
        } else {
            line.arguments.push_back(a);
        }
    }
    return line;
}

engine_ref<cef_command_line_t> make_command_line(command_line_text value) {
    return make<command_line>(std::move(value));
}

command_line_text command_line_of(cef_command_line_t* line) {
    return line ? static_cast<command_line*>(command_line::owner_of(line))->value() : command_line_text{};
}

std::string switches_text(const command_line_text& line) {
    std::string text;
    for (const auto& [n, v] : line.switches) {
        if (!text.empty()) text += ' ';
        text += "--";
        text += utf8_of(n);
        if (!v.empty()) {
            text += '=';
            text += utf8_of(v);
        }
    }
    return text;
}

} // namespace kq::standin

using namespace kq::standin;

extern "C" {

cef_command_line_t* cef_command_line_create(void) { return make_command_line({}).detach(); }

cef_command_line_t* cef_command_line_get_global(void) {
    return make_command_line(parse_command_line(::GetCommandLineW())).detach();
}

} // extern "C"
