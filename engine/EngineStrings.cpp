#include "engine/EngineStrings.h"

#include "engine/CefLibrary.h"

namespace kq {

String to_string(const cef_string_t* s) {
    if (!s || !s->str) return String();
    return from_wide(s->str, s->length);
}

void assign_cef_string(cef_string_t* target, StringView s) {
    engine_api().cef_string_utf16_set(reinterpret_cast<const char16*>(s.data()), s.size(), target, 1);
}

String take_userfree(cef_string_userfree_t s) {
    if (!s) return String();
    String text = to_string(s);
    engine_api().cef_string_userfree_utf16_free(s);
    return text;
}

// --- cef_string_holder

cef_string_holder::~cef_string_holder() { engine_api().cef_string_utf16_clear(&FValue); }

cef_string_t* cef_string_holder::put() noexcept {
    engine_api().cef_string_utf16_clear(&FValue);
    return &FValue;
}

// --- cef_string_list_holder

cef_string_list_holder::cef_string_list_holder() : FList(engine_api().cef_string_list_alloc()) {}

cef_string_list_holder::cef_string_list_holder(const std::vector<String>& values) : cef_string_list_holder() {
    for (const String& v : values) append(v);
}

cef_string_list_holder::~cef_string_list_holder() { engine_api().cef_string_list_free(FList); }

void cef_string_list_holder::append(const String& value) {
    const cef_string_t s = cef_string_view(value);
    engine_api().cef_string_list_append(FList, &s);
}

std::vector<String> cef_string_list_holder::values() const { return string_list_values(FList); }

std::vector<String> string_list_values(cef_string_list_t list) {
    std::vector<String> values;
    if (!list) return values;
    const cef_exports& api = engine_api();
    const int n = api.cef_string_list_size(list);
    values.reserve(static_cast<std::size_t>(n > 0 ? n : 0));
    for (int i = 0; i < n; ++i) {
        cef_string_holder value;
        api.cef_string_list_value(list, i, value.put());
        values.push_back(value.value());
    }
    return values;
}

// --- cef_string_map_holder

cef_string_map_holder::cef_string_map_holder() : FMap(engine_api().cef_string_map_alloc()) {}

cef_string_map_holder::~cef_string_map_holder() { engine_api().cef_string_map_free(FMap); }

void cef_string_map_holder::append(const String& key, const String& value) {
    const cef_string_t k = cef_string_view(key);
    const cef_string_t v = cef_string_view(value);
    engine_api().cef_string_map_append(FMap, &k, &v);
}

std::vector<std::pair<String, String>> cef_string_map_holder::entries() const {
    const cef_exports& api = engine_api();
    std::vector<std::pair<String, String>> result;
    const int n = api.cef_string_map_size(FMap);
    for (int i = 0; i < n; ++i) {
        cef_string_holder key, value;
        api.cef_string_map_key(FMap, i, key.put());
        api.cef_string_map_value(FMap, i, value.put());
        result.emplace_back(key.value(), value.value());
    }
    return result;
}

bool cef_string_map_holder::find(const String& key, String& value) const {
    const cef_string_t k = cef_string_view(key);
    cef_string_holder found;
    if (!engine_api().cef_string_map_find(FMap, &k, found.put())) return false;
    value = found.value();
    return true;
}

} // namespace kq
