#pragma once
// The stand-in's counted objects.
#include <atomic>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

#include "engine/EngineObject.h"
#include "engine/EngineRef.h"
#include "testengine/Recorder.h"

namespace kq::standin {

// Every object the stand-in hands out stays in memory for a while after its last release (its resources are
// freed), so a release too many is seen in the counts instead of corrupting memory.
class tracked {
public:
    virtual ~tracked() = default;
    virtual const char* kind() const noexcept = 0;
    virtual int references() const noexcept = 0;
    // True once the thread that released the last reference is done with the object: its count reaches
    // zero before its resources go, and freeing it in between would free them under that thread.
    virtual bool released() const noexcept = 0;
    // In a heap of the stand-in's own: kept past their release among the program's short-lived blocks,
    // they would split its heap into holes it cannot reuse, and the program would grow for hours.
    static void* operator new(std::size_t size);
    static void operator delete(void* object) noexcept;
};
void register_object(std::unique_ptr<tracked> object);

template <class CStruct>
class standin_object : public engine_object<CStruct>, public tracked {
public:
    int references() const noexcept override { return this->reference_count(); }
    bool released() const noexcept override { return FReleased.load(std::memory_order_acquire); }

protected:
    // Drops what the object holds when its last reference goes.
    virtual void release_resources() noexcept {}

private:
    void last_reference_released() noexcept override {
        release_resources();
        FReleased.store(true, std::memory_order_release);
    }
    std::atomic<bool> FReleased{false};
};

// make<T>(args...): a new stand-in object with one reference, given to the returned engine_ref.
template <class T, class... A>
engine_ref<typename T::cef_type> make(A&&... args) {
    auto object = std::make_unique<T>(std::forward<A>(args)...);
    auto* cef = object->cef();
    register_object(std::move(object));
    return engine_ref<typename T::cef_type>::adopt(cef);
}

// Releases a reference the stand-in was given and does not keep.
template <class T>
void release_given(T* p) noexcept {
    engine_ref<T>::adopt(p).reset();
}

// A reference the stand-in holds to an object it received, counted under the structure's name.
template <class T>
class held {
public:
    held() noexcept = default;
    held(engine_ref<T> ref, const char* kind) : FRef(std::move(ref)), FKind(kind) {
        if (FRef) count_up(FKind);
    }
    held(held&& other) noexcept : FRef(std::move(other.FRef)), FKind(other.FKind) {}
    held& operator=(held&& other) noexcept {
        if (this != &other) {
            reset();
            FRef = std::move(other.FRef);
            FKind = other.FKind;
        }
        return *this;
    }
    ~held() { reset(); }

    void reset() noexcept {
        if (FRef) count_down(FKind);
        FRef.reset();
    }
    T* get() const noexcept { return FRef.get(); }
    T* operator->() const noexcept { return FRef.get(); }
    explicit operator bool() const noexcept { return static_cast<bool>(FRef); }
    T* pass() const noexcept { return FRef.pass(); }

private:
    engine_ref<T> FRef;
    const char* FKind = "";
};

// A handler the client hands out through one of its getters (none when the getter is missing or answers
// none).
template <class C, class G>
auto get_handler(C* owner, G C::*getter, const char* kind) {
    using H = std::remove_pointer_t<std::invoke_result_t<G, C*>>;
    if (!owner || !(owner->*getter)) return held<H>();
    return held<H>(engine_ref<H>::adopt((owner->*getter)(owner)), kind);
}

} // namespace kq::standin
