#include "framework/Properties.h"

#include "framework/Conversions.h"

#include <algorithm>

namespace kq {

// --- Names of integer values

void ident_map::add(std::int64_t value, String name) { FEntries.emplace_back(value, std::move(name)); }

const String* ident_map::name_of(std::int64_t value) const noexcept {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(), [value](const auto& e) { return e.first == value; });
    return found == FEntries.end() ? nullptr : &found->second;
}

std::optional<std::int64_t> ident_map::value_of(StringView name) const noexcept {
    const auto found = std::find_if(FEntries.begin(), FEntries.end(), [name](const auto& e) { return SameText(e.second, name); });
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

bool is_default_value(const property_info& info, const property_value& value) {
    if (info.default_value) return value == *info.default_value;
    switch (info.kind) {
    case property_kind::floating: return std::get<double>(value) == 0.0;
    case property_kind::string:
    case property_kind::event: return std::get<String>(value).empty();
    case property_kind::binary: return std::get<byte_block>(value).empty();
    case property_kind::component: return std::get<TComponent*>(value) == nullptr;
    case property_kind::persistent: return std::get<TPersistent*>(value) == nullptr;
    case property_kind::collection: {
        const auto* collection = static_cast<const TCollection*>(std::get<TPersistent*>(value));
        return !collection || collection->Count() == 0;
    }
    default: return false;
    }
}

// --- Tables

const property_info* property_table::find(StringView name) const noexcept {
    for (const property_table* t = this; t; t = t->FParent) {
        for (const property_info& p : t->FProperties)
            if (SameText(p.name, name)) return &p;
    }
    return nullptr;
}

const method_info* property_table::find_method(StringView name) const noexcept {
    for (const property_table* t = this; t; t = t->FParent) {
        for (const method_info& m : t->FMethods)
            if (SameText(m.name, name)) return &m;
    }
    return nullptr;
}

std::vector<const property_info*> property_table::all() const {
    std::vector<const property_info*> result = FParent ? FParent->all() : std::vector<const property_info*>{};
    for (const property_info& p : FProperties) result.push_back(&p);
    return result;
}

std::vector<const field_info*> property_table::fields() const {
    std::vector<const field_info*> result = FParent ? FParent->fields() : std::vector<const field_info*>{};
    for (const field_info& f : FFields) result.push_back(&f);
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

class_entry* registered(StringView name) noexcept {
    auto& registry = class_registry();
    const auto found = std::find_if(registry.begin(), registry.end(), [&](const class_entry& e) { return SameText(e.name, name); });
    return found == registry.end() ? nullptr : &*found;
}
} // namespace

void register_class(String name, component_factory create) {
    if (class_entry* entry = registered(name))
        entry->create = create;
    else
        class_registry().push_back({std::move(name), create});
}

component_factory find_class(StringView name) noexcept {
    const class_entry* entry = registered(name);
    return entry ? entry->create : nullptr;
}

} // namespace kq
