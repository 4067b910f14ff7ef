#pragma once
// Engine strings, string lists and maps.
#include <utility>
#include <vector>

#include "engine/cef_capi.h"
#include "framework/Strings.h"

namespace kq {

// The text of an engine string; none is empty.
String to_string(const cef_string_t* s);

// An engine string that borrows the text of `s` for an input parameter: valid while `s` lives unchanged.
// The engine copies what it keeps.
inline cef_string_t cef_string_view(const String& s) noexcept {
    return cef_string_t{const_cast<wchar_t*>(wide(s)), s.size(), nullptr};
}
// A temporary would be gone before the engine reads it.
cef_string_t cef_string_view(String&&) = delete;

// Sets an engine-owned string (an in-out parameter) to a copy of `s`.
void assign_cef_string(cef_string_t* target, StringView s);

// The text of a string the engine allocated for us, which is freed here.
String take_userfree(cef_string_userfree_t s);

// An engine string that the engine fills through put(); cleared through the library at the end.
class cef_string_holder {
public:
    cef_string_holder() noexcept = default;
    cef_string_holder(const cef_string_holder&) = delete;
    cef_string_holder& operator=(const cef_string_holder&) = delete;
    ~cef_string_holder();

    cef_string_t* put() noexcept;
    String value() const { return to_string(&FValue); }

private:
    cef_string_t FValue{};
};

// An engine string list owned from its allocation to its free.
class cef_string_list_holder {
public:
    cef_string_list_holder();
    explicit cef_string_list_holder(const std::vector<String>& values);
    cef_string_list_holder(const cef_string_list_holder&) = delete;
    cef_string_list_holder& operator=(const cef_string_list_holder&) = delete;
    ~cef_string_list_holder();

    cef_string_list_t get() const noexcept { return FList; }
    void append(const String& value);
    std::vector<String> values() const;

private:
    cef_string_list_t FList;
};

// Every entry of a list the engine owns (a parameter of a callback).
std::vector<String> string_list_values(cef_string_list_t list);

// An engine string map owned from its allocation to its free.
class cef_string_map_holder {
public:
    cef_string_map_holder();
    cef_string_map_holder(const cef_string_map_holder&) = delete;
    cef_string_map_holder& operator=(const cef_string_map_holder&) = delete;
    ~cef_string_map_holder();

    cef_string_map_t get() const noexcept { return FMap; }
    void append(const String& key, const String& value);
    // The entries in the map's order.
    std::vector<std::pair<String, String>> entries() const;
    // The value of `key`; false when the map has no such key.
    bool find(const String& key, String& value) const;

private:
    cef_string_map_t FMap;
};

} // namespace kq
