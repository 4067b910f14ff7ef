#pragma once
// Engine_object, engine_thunk: C++ objects the engine sees as its structures.
#include <atomic>
#include <concepts>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

#include "engine/EngineRef.h"
#include "engine/cef_capi.h"
#include "framework/Exceptions.h"

namespace kq {

// Base of a C++ object that the engine sees as the structure CStruct (one that starts with its cef_base_t).
// The count starts at 1, owned by the engine_ref that make_engine_object returns; the object deletes itself
// when the last reference, ours or the engine's, is released (on whatever thread that happens).
template <class CStruct>
class engine_object {
public:
    using cef_type = CStruct;

    engine_object(const engine_object&) = delete;
    engine_object& operator=(const engine_object&) = delete;

    CStruct* cef() noexcept { return &FHeader.cef; }
    // A counted pointer for the engine, which will release it.
    CStruct* pass() noexcept {
        add_ref();
        return cef();
    }
    void add_ref() noexcept { FRefs.fetch_add(1, std::memory_order_relaxed); }
    bool release() noexcept {
        if (FRefs.fetch_sub(1, std::memory_order_acq_rel) != 1) return false;
        last_reference_released();
        return true;
    }
    bool has_one_ref() const noexcept { return FRefs.load(std::memory_order_acquire) == 1; }
    // Below zero after one release too many.
    int reference_count() const noexcept { return FRefs.load(std::memory_order_acquire); }

    // The C++ object behind a structure this helper made.
    static engine_object* owner_of(CStruct* s) noexcept {
        return reinterpret_cast<header*>(s)->owner;
    }

protected:
    engine_object() noexcept {
        FHeader.cef.base.size = sizeof(CStruct);
        FHeader.cef.base.add_ref = &base_add_ref;
        FHeader.cef.base.release = &base_release;
        FHeader.cef.base.has_one_ref = &base_has_one_ref;
        FHeader.owner = this;
    }
    virtual ~engine_object() = default;
    // Ends the object; an object that must outlive its last reference overrides this.
    virtual void last_reference_released() noexcept { delete this; }

private:
    // Standard layout, so the engine's pointer to the structure is also a pointer to the header.
    struct header {
        CStruct cef{};
        engine_object* owner = nullptr;
    };
    static_assert(std::is_standard_layout_v<header> && offsetof(header, cef) == 0);

    static engine_object* from_base(cef_base_t* b) noexcept {
        return owner_of(reinterpret_cast<CStruct*>(b));
    }
    static void CEF_CALLBACK base_add_ref(cef_base_t* b) { from_base(b)->add_ref(); }
    static int CEF_CALLBACK base_release(cef_base_t* b) { return from_base(b)->release() ? 1 : 0; }
    static int CEF_CALLBACK base_has_one_ref(cef_base_t* b) { return from_base(b)->has_one_ref() ? 1 : 0; }

    header FHeader;
    std::atomic<int> FRefs{1};
};

// make_engine_object<T>(args...): a new T with one reference, held by the returned engine_ref.
template <class T, class... A>
engine_ref<typename T::cef_type> make_engine_object(A&&... args) {
    T* object = new T(std::forward<A>(args)...);
    return engine_ref<typename T::cef_type>::adopt(object->cef());
}

// The C++ object of type Impl behind an engine structure it exposes.
template <class Impl>
Impl* engine_impl(typename Impl::cef_type* s) noexcept {
    return static_cast<Impl*>(Impl::owner_of(s));
}

// A parameter type that takes over the engine's counted reference: engine_ref<T> and the ICef... wrappers.
template <class P>
concept adopting_param = requires(typename P::engine_struct* p) {
    { P::adopt(p) } -> std::same_as<P>;
};

// How a method's parameter of type A arrives from the engine: an adopting type as the raw structure pointer
// it adopts, anything else as it is.
template <class A>
struct callback_param {
    using c_type = A;
    static A&& from(A&& a) noexcept { return static_cast<A&&>(a); }
};
template <class A>
    requires adopting_param<std::remove_cvref_t<A>>
struct callback_param<A> {
    using value_type = std::remove_cvref_t<A>;
    using c_type = typename value_type::engine_struct*;
    static value_type from(c_type p) noexcept { return value_type::adopt(p); }
};

// engine_thunk<&Impl::Method>::call: a function for a slot of Impl's structure that calls Method on the
// object behind `self`; the signature is the slot's without `self`. Parameters the method takes as
// engine_ref<T> or as a wrapper adopt the reference the engine counted for the callee, before anything
// else runs, so no handler can leak or forget one. An exception stops at the thunk (it goes to the
// application's handler, on the GUI thread) and the engine gets the neutral answer (zero, false, none).
template <auto Method>
struct engine_thunk;

template <class Impl, class R, class... A, R (Impl::*Method)(A...)>
struct engine_thunk<Method> {
    static R CEF_CALLBACK call(typename Impl::cef_type* self, typename callback_param<A>::c_type... args) noexcept {
        const auto body = [&](auto&&... adopted) -> R {
            return (engine_impl<Impl>(self)->*Method)(static_cast<decltype(adopted)&&>(adopted)...);
        };
        // Adopted here, so a reference is released even when the method throws.
        const auto run = [&]() -> R { return body(callback_param<A>::from(static_cast<decltype(args)&&>(args))...); };
        if constexpr (std::is_void_v<R>) {
            guard_callback(run);
        } else {
            return guard_callback(R{}, run);
        }
    }
};

} // namespace kq
