#pragma once
// Engine_ref<T>, one counted reference to an engine object.
#include <utility>

namespace kq {

// One counted reference to an engine object (any structure that starts with its cef_base_t `base`).
// The engine hands out references already counted: objects it returns and the parameters of its callbacks
// are adopted; a copy adds a reference; destruction releases one.
template <class T>
class engine_ref {
public:
    using engine_struct = T;
    engine_ref() noexcept = default;
    engine_ref(std::nullptr_t) noexcept {}

    // Takes over a reference the engine already counted for us.
    static engine_ref adopt(T* p) noexcept { return engine_ref(p); }
    // Adds a reference of our own to a borrowed pointer.
    static engine_ref share(T* p) noexcept {
        if (p) p->base.add_ref(&p->base);
        return engine_ref(p);
    }

    engine_ref(const engine_ref& other) noexcept : FPtr(other.FPtr) {
        if (FPtr) FPtr->base.add_ref(&FPtr->base);
    }
    engine_ref(engine_ref&& other) noexcept : FPtr(std::exchange(other.FPtr, nullptr)) {}
    engine_ref& operator=(engine_ref other) noexcept {
        std::swap(FPtr, other.FPtr);
        return *this;
    }
    ~engine_ref() { reset(); }

    T* get() const noexcept { return FPtr; }
    T* operator->() const noexcept { return FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }

    // A counted pointer for an engine call that takes over a reference; ours stays.
    T* pass() const noexcept {
        if (FPtr) FPtr->base.add_ref(&FPtr->base);
        return FPtr;
    }
    // Gives our reference away.
    T* detach() noexcept { return std::exchange(FPtr, nullptr); }
    void reset() noexcept {
        if (T* p = std::exchange(FPtr, nullptr)) p->base.release(&p->base);
    }

    friend bool operator==(const engine_ref& a, const engine_ref& b) noexcept { return a.FPtr == b.FPtr; }

private:
    explicit engine_ref(T* p) noexcept : FPtr(p) {}
    T* FPtr = nullptr;
};

} // namespace kq
