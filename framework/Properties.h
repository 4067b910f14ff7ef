#pragma once
// Property tables of published properties, methods and form fields.
#include "framework/Components.h"
#include "framework/Sets.h"
#include "framework/Strings.h"

#include <any>
#include <cassert>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

namespace kq {

// --- Values and kinds

enum class property_kind : std::uint8_t {
    integer,
    unsigned_integer,
    floating,
    string,
    boolean,
    enumeration,
    set,
    color,
    cursor,
    persistent, // a sub-object, read and written through its own properties
    collection,
    component,  // a reference to another component, by name
    binary,
    event,      // a method of the root component, by name
};

using byte_block = std::vector<std::uint8_t>;

// What a property getter yields and a setter takes: ordinal kinds (integers, booleans, enumerations
// by ordinal, sets as bit masks, colours, cursors) as int64; floats as double; strings and event
// method names as String; binary data as bytes; sub-objects and collections as TPersistent*;
// component references as TComponent*.
using property_value = std::variant<std::int64_t, double, String, byte_block, TPersistent*, TComponent*>;

// Integer values that component text shows by name (colours, cursors); the visual half fills the
// two maps at start-up.
class ident_map {
public:
    void add(std::int64_t value, String name);
    const String* name_of(std::int64_t value) const noexcept;
    std::optional<std::int64_t> value_of(StringView name) const noexcept;

private:
    std::vector<std::pair<std::int64_t, String>> FEntries;
};
ident_map& color_idents();
ident_map& cursor_idents();

struct property_info {
    String name;
    property_kind kind = property_kind::integer;
    std::int64_t min = 0, max = 0;      // ordinal kinds
    bool single_precision = false;      // floating: the value is a 32-bit float
    std::vector<String> names;          // enumeration and set members by ordinal
    const ident_map* idents = nullptr;  // colour and cursor names
    std::optional<property_value> default_value;

    std::function<property_value(const TPersistent&)> get;
    std::function<void(TPersistent&, const property_value&)> set; // none for sub-objects and collections
    // component: whether the property can hold this component (its class fits)
    std::function<bool(const TComponent*)> accepts;
    // event: assigns a method made by the root's method table; false when its signature differs
    std::function<bool(TPersistent&, const std::any&)> bind;
};

// True when the writer leaves the value out: it equals the declared default, or, without one, it is
// a float 0, an empty string or block, a nil reference, an empty collection or an unassigned event.
bool is_default_value(const property_info& info, const property_value& value);

// A method of a root component that the reader can bind to an event by name.
struct method_info {
    String name;
    std::function<std::any(TPersistent& self)> make; // a std::function of the method's signature
};

// A component field of a root class that the reader fills with the owned component of the same name.
struct field_info {
    String name;
    String class_name; // the class the field holds, for error messages
    // Stores component; false when its class does not fit the field.
    std::function<bool(TPersistent& self, TComponent* component)> set;
    std::function<TComponent*(const TPersistent& self)> get;
};

// --- Event methods

// What the reader stores in an event: the bound method with its name, so the writer can name it.
template <class Sig>
struct named_method;
template <class R, class... A>
struct named_method<R(A...)> {
    String name;
    std::function<R(A...)> call;
    R operator()(A... args) const { return call(std::forward<A>(args)...); }
};

// --- The per-class table

template <class C>
class property_builder;

// The published properties of one class, in declaration order, after those of its parent class. Each
// class builds its table once, in a function-local static of its PublishedProperties override:
//
//   const property_table& TThing::PublishedProperties() const {
//       static const property_table table = property_table::of<TThing>(TBase::PublishedProperties())
//           .integer(u"Width", &TThing::Width, &TThing::SetWidth, 10)
//           .persistent(u"Font", &TThing::Font);
//       return table;
//   }
class property_table {
public:
    property_table() = default;
    explicit property_table(const property_table* parent) : FParent(parent) {}

    template <class C>
    static property_builder<C> of(const property_table& parent);

    // By name without regard to case, the class's own first, then its parents'.
    const property_info* find(StringView name) const noexcept;
    const method_info* find_method(StringView name) const noexcept;
    // Every property, the root class's first.
    std::vector<const property_info*> all() const;
    // Every component field, the root class's first.
    std::vector<const field_info*> fields() const;

protected:
    const property_table* FParent = nullptr;
    std::vector<property_info> FProperties;
    std::vector<method_info> FMethods;
    std::vector<field_info> FFields;
};

namespace detail {

template <class C, class G>
using getter_type = std::remove_cvref_t<std::invoke_result_t<const G&, const C&>>;

template <class T>
struct is_enum_set : std::false_type {};
template <class E>
struct is_enum_set<enum_set<E>> : std::true_type {
    using element = E;
};

template <class F>
struct member_function;
template <class R, class K, class... A>
struct member_function<R (K::*)(A...)> {
    using signature = R(A...);
    using klass = K;
};
template <class R, class K, class... A>
struct member_function<R (K::*)(A...) const> {
    using signature = R(A...);
    using klass = K;
};

template <class C, class S, class V>
void call_set(const S& set, C& object, V&& value) {
    if constexpr (std::is_member_object_pointer_v<S>)
        object.*set = std::forward<V>(value);
    else
        std::invoke(set, object, std::forward<V>(value));
}

template <class T>
T* as_pointer(T& object) noexcept {
    return &object;
}
template <class T>
T* as_pointer(T* object) noexcept {
    return object;
}

} // namespace detail

template <class C>
class property_builder : public property_table {
    static C& self(TPersistent& object) noexcept { return static_cast<C&>(object); }
    static const C& self(const TPersistent& object) noexcept { return static_cast<const C&>(object); }

public:
    explicit property_builder(const property_table* parent) : property_table(parent) {}

    // Integers of any width; unsigned types make an unsigned property. Getters and setters are member
    // functions, lambdas taking the object, or a data member.
    template <class G, class S, class T = detail::getter_type<C, G>>
    property_builder& integer(String name, G get, S set, std::optional<std::type_identity_t<T>> Default = {}) {
        static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
        static_assert(sizeof(T) < sizeof(std::int64_t) || std::is_signed_v<T>);
        return ordinal<T>(std::move(name), std::is_unsigned_v<T> ? property_kind::unsigned_integer : property_kind::integer,
                          std::move(get), std::move(set), Default);
    }

    template <class G, class S, class T = detail::getter_type<C, G>>
    property_builder& boolean(String name, G get, S set, std::optional<bool> Default = {}) {
        static_assert(std::is_same_v<T, bool>);
        return ordinal<T>(std::move(name), property_kind::boolean, std::move(get), std::move(set), Default);
    }

    template <class G, class S, class T = detail::getter_type<C, G>>
    property_builder& enumeration(String name, G get, S set, std::vector<String> names,
                                  std::optional<std::type_identity_t<T>> Default = {}) {
        static_assert(std::is_enum_v<T>);
        property_info& info = ordinal<T>(std::move(name), property_kind::enumeration, std::move(get), std::move(set), Default)
                                  .FProperties.back();
        info.min = 0;
        info.max = static_cast<std::int64_t>(names.size()) - 1;
        info.names = std::move(names);
        return *this;
    }

    // Sets of an enumeration; Names gives the members by ordinal.
    template <class G, class S, class T = detail::getter_type<C, G>>
    property_builder& set_of(String name, G get, S set, std::vector<String> names,
                             std::optional<std::type_identity_t<T>> Default = {}) {
        static_assert(detail::is_enum_set<T>::value);
        property_info info = base(std::move(name), property_kind::set);
        info.names = std::move(names);
        info.get = [get](const TPersistent& o) -> property_value {
            return static_cast<std::int64_t>(T(std::invoke(get, self(o))).bits());
        };
        info.set = [set](TPersistent& o, const property_value& v) {
            detail::call_set(set, self(o), T::from_bits(static_cast<std::uint64_t>(std::get<std::int64_t>(v))));
        };
        if (Default) info.default_value = static_cast<std::int64_t>(Default->bits());
        return add(std::move(info));
    }

    template <class G, class S, class T = detail::getter_type<C, G>>
    property_builder& color(String name, G get, S set, std::optional<std::type_identity_t<T>> Default = {}) {
        ordinal<T>(std::move(name), property_kind::color, std::move(get), std::move(set), Default).FProperties.back().idents =
            &color_idents();
        return *this;
    }

    template <class G, class S, class T = detail::getter_type<C, G>>
    property_builder& cursor(String name, G get, S set, std::optional<std::type_identity_t<T>> Default = {}) {
        ordinal<T>(std::move(name), property_kind::cursor, std::move(get), std::move(set), Default).FProperties.back().idents =
            &cursor_idents();
        return *this;
    }

    template <class G, class S, class T = detail::getter_type<C, G>>
    property_builder& floating(String name, G get, S set, std::optional<std::type_identity_t<T>> Default = {}) {
        static_assert(std::is_floating_point_v<T>);
        property_info info = base(std::move(name), property_kind::floating);
        info.single_precision = std::is_same_v<T, float>;
        info.get = [get](const TPersistent& o) -> property_value { return static_cast<double>(std::invoke(get, self(o))); };
        info.set = [set](TPersistent& o, const property_value& v) {
            detail::call_set(set, self(o), static_cast<T>(std::get<double>(v)));
        };
        if (Default) info.default_value = static_cast<double>(*Default);
        return add(std::move(info));
    }

    template <class G, class S>
    property_builder& string(String name, G get, S set, std::optional<String> Default = {}) {
        property_info info = base(std::move(name), property_kind::string);
        info.get = [get](const TPersistent& o) -> property_value { return String(std::invoke(get, self(o))); };
        info.set = [set](TPersistent& o, const property_value& v) { detail::call_set(set, self(o), std::get<String>(v)); };
        if (Default) info.default_value = std::move(*Default);
        return add(std::move(info));
    }

    template <class G, class S>
    property_builder& binary(String name, G get, S set) {
        property_info info = base(std::move(name), property_kind::binary);
        info.get = [get](const TPersistent& o) -> property_value { return byte_block(std::invoke(get, self(o))); };
        info.set = [set](TPersistent& o, const property_value& v) { detail::call_set(set, self(o), std::get<byte_block>(v)); };
        return add(std::move(info));
    }

    // A sub-object the class owns (a reference or pointer to a TPersistent); a TCollection makes a
    // collection property. The reader fills the held object; it is never replaced.
    template <class G>
    property_builder& persistent(String name, G get) {
        using held = std::remove_cv_t<std::remove_pointer_t<detail::getter_type<C, G>>>;
        static_assert(std::is_base_of_v<TPersistent, held>);
        property_info info = base(std::move(name), std::is_base_of_v<TCollection, held> ? property_kind::collection
                                                                                           : property_kind::persistent);
        // Getters see the object as const; the reader fills the sub-object of a non-const one.
        info.get = [get](const TPersistent& o) -> property_value {
            return static_cast<TPersistent*>(const_cast<held*>(detail::as_pointer(std::invoke(get, self(o)))));
        };
        return add(std::move(info));
    }

    // A reference to another component; the reader hands over only components of the right class.
    template <class G, class S>
    property_builder& component(String name, G get, S set) {
        using target = std::remove_pointer_t<detail::getter_type<C, G>>;
        static_assert(std::is_base_of_v<TComponent, target>);
        property_info info = base(std::move(name), property_kind::component);
        info.get = [get](const TPersistent& o) -> property_value {
            return static_cast<TComponent*>(std::invoke(get, self(o)));
        };
        info.accepts = [](const TComponent* c) { return !c || dynamic_cast<const target*>(c); };
        info.set = [set](TPersistent& o, const property_value& v) {
            TComponent* c = std::get<TComponent*>(v);
            auto* typed = dynamic_cast<target*>(c);
            assert(typed || !c);
            detail::call_set(set, self(o), typed);
        };
        return add(std::move(info));
    }

    // An event member (a std::function) bound by method name.
    template <class Sig>
    property_builder& event(String name, std::function<Sig> C::*field) {
        property_info info = base(std::move(name), property_kind::event);
        info.get = [field](const TPersistent& o) -> property_value {
            const auto* m = (self(o).*field).template target<named_method<Sig>>();
            return m ? m->name : String();
        };
        info.bind = [field](TPersistent& o, const std::any& method) {
            const auto* f = std::any_cast<std::function<Sig>>(&method);
            if (!f) return false;
            self(o).*field = *f;
            return true;
        };
        return add(std::move(info));
    }

    // A method that component text may bind to events by name.
    template <class M>
    property_builder& method(String name, M member) {
        using sig = typename detail::member_function<M>::signature;
        method_info info{name, [name, member](TPersistent& o) -> std::any {
                             return std::function<sig>(named_method<sig>{name, bind_method<sig>(self(o), member)});
                         }};
        FMethods.push_back(std::move(info));
        return *this;
    }

    // A component field bound by name when component text is read into the object, e.g.
    // .field(u"OkButton", &TDialogForm::OkButton); cleared when the component goes.
    template <class T>
    property_builder& field(String name, T* C::*member) {
        static_assert(std::is_base_of_v<TComponent, T>);
        FFields.push_back({std::move(name), class_name_of(typeid(T)),
                           [member](TPersistent& o, TComponent* c) {
                               T* typed = dynamic_cast<T*>(c);
                               if (c && !typed) return false;
                               self(o).*member = typed;
                               return true;
                           },
                           [member](const TPersistent& o) -> TComponent* { return self(o).*member; }});
        return *this;
    }

private:
    template <class Sig, class M>
    static std::function<Sig> bind_method(C& object, M method) {
        return [&object, method](auto&&... args) { return std::invoke(method, object, std::forward<decltype(args)>(args)...); };
    }

    static property_info base(String name, property_kind kind) {
        property_info info;
        info.name = std::move(name);
        info.kind = kind;
        return info;
    }

    property_builder& add(property_info info) {
        FProperties.push_back(std::move(info));
        return *this;
    }

    template <class T, class G, class S>
    property_builder& ordinal(String name, property_kind kind, G get, S set, std::optional<T> Default) {
        property_info info = base(std::move(name), kind);
        if constexpr (std::is_enum_v<T>) {
            info.min = 0;
            info.max = std::numeric_limits<std::int64_t>::max();
        } else {
            info.min = static_cast<std::int64_t>(std::numeric_limits<T>::min());
            info.max = static_cast<std::int64_t>(std::numeric_limits<T>::max());
        }
        info.get = [get](const TPersistent& o) -> property_value {
            return static_cast<std::int64_t>(std::invoke(get, self(o)));
        };
        info.set = [set](TPersistent& o, const property_value& v) {
            detail::call_set(set, self(o), static_cast<T>(std::get<std::int64_t>(v)));
        };
        if (Default) info.default_value = static_cast<std::int64_t>(*Default);
        return add(std::move(info));
    }
};

template <class C>
property_builder<C> property_table::of(const property_table& parent) {
    static_assert(std::is_base_of_v<TPersistent, C>);
    return property_builder<C>(&parent);
}

// --- Class registry

using component_factory = TComponent* (*)(TComponent* owner);

// Classes the reader may create for `object name: TClass`; registered from start-up functions.
void register_class(String name, component_factory create);
template <class T>
void register_class() {
    static_assert(std::is_base_of_v<TComponent, T>);
    register_class(class_name_of(typeid(T)), [](TComponent* owner) -> TComponent* { return new T(owner); });
}
// The factory of a class, by name without regard to case; nullptr when none is registered.
component_factory find_class(StringView name) noexcept;

} // namespace kq
