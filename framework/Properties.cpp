#include "framework/Properties.h"

#include "framework/Conversions.h"

#include <algorithm>

namespace kq {

// --- Names of integer values

void ident_map::add(std::int64_t Value, String Name) { FEntries.emplace_back(Value, std::move(Name)); }

const String* ident_map::name_of(std::int64_t Value) const noexcept {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(), [Value](const auto& e) { return e.first == Value; });
    return found == FEntries.end() ? nullptr : &found->second;
}

std::optional<std::int64_t> ident_map::value_of(StringView Name) const noexcept {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(), [Name](const auto& e) { return SameText(e.second, Name); });
    if (found == FEntries.end()) return std::nullopt;
    return found->first;
}

ident_map& color_idents() {
    static ident_map map;
    return map;
}

ident_map& cursor_idents() {
    static ident_map map;
    return map;
}

// --- Defaults

bool is_default_value(const property_info& Info, const property_value& Value) {
    if (Info.default_value) return Value == *Info.default_value;
    switch (Info.kind) {
    case property_kind::floating: return std::get<double>(Value) == 0.0;
    case property_kind::string:
    case property_kind::event: return std::get<String>(Value).empty();
    case property_kind::binary: return std::get<byte_block>(Value).empty();
    case property_kind::component: return std::get<TComponent*>(Value) == nullptr;
    case property_kind::persistent: return std::get<TPersistent*>(Value) == nullptr;
    case property_kind::collection: {
        const auto* collection = static_cast<const TCollection*>(std::get<TPersistent*>(Value));
        return !collection || collection->Count() == 0;
    }
    default: return false;
    }
}

// --- Tables

const property_info* property_table::find(StringView Name) const noexcept {
    for (const property_table* t = this; t; t = t->FParent) {
        for (const property_info& p : t->FProperties)
            if (SameText(p.name, Name)) return &p;
    }
    return nullptr;
}

const method_info* property_table::find_method(StringView Name) const noexcept {
    for (const property_table* t = this; t; t = t->FParent) {
        for (const method_info& m : t->FMethods)
            if (SameText(m.name, Name)) return &m;
    }
    return nullptr;
}

std::vector<const property_info*> property_table::all() const {
    std::vector<const property_info*> result = FParent ? FParent->all() : std::vector<const property_info*>{};
    for (const property_info& p : FProperties) result.push_back(&p);
    return result;
}

// --- Class registry

namespace {
struct class_entry {
    String name;
    component_factory create;
};

std::vector<class_entry>& class_registry() {
    static std::vector<class_entry> registry;
    return registry;
}

class_entry* registered(StringView Name) noexcept {
    auto& registry = class_registry();
    const auto found = std::find_if(registry.begin(), registry.end(), [&](const class_entry& e) { return SameText(e.name, Name); });
    return found == registry.end() ? nullptr : &*found;
}
} // namespace

void register_class(String Name, component_factory Create) {
    if (class_entry* entry = registered(Name))
        entry->create = Create;
    else
        class_registry().push_back({std::move(Name), Create});
}

component_factory find_class(StringView Name) noexcept {
    const class_entry* entry = registered(Name);
    return entry ? entry->create : nullptr;
}

} // namespace kq
