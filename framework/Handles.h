#pragma once
// Unique_handle, counted_ref, scope_exit: portable owners.
#include "framework/Exceptions.h"

#include <cstdint>
#include <type_traits>
#include <utility>

// No system header here: the owners below are used by code on both sides of the Win32 line, and a
// header that brought <windows.h> would bring its macros to every includer.
namespace kq {

// Which value of a handle type means "none".
struct null_is_invalid {
    template <class H> static constexpr H invalid() noexcept { return H{}; }
};
// INVALID_HANDLE_VALUE: the handle with every bit set.
struct invalid_is_minus_one {
    template <class H> static H invalid() noexcept { return reinterpret_cast<H>(static_cast<std::intptr_t>(-1)); }
};

// Move-only owner of one handle, closed by Close at scope end. Closing keeps the thread's last error,
// so an error report made after a failed call stays true.
template <class H, auto Close, class Invalid = null_is_invalid>
class unique_handle {
public:
    unique_handle() noexcept = default;
    explicit unique_handle(H h) noexcept : FHandle(h) {}
    unique_handle(unique_handle&& other) noexcept : FHandle(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    ~unique_handle() { reset(); }

    H get() const noexcept { return FHandle; }
    explicit operator bool() const noexcept { return FHandle != Invalid::template invalid<H>(); }

    H release() noexcept { return std::exchange(FHandle, Invalid::template invalid<H>()); }
    void reset(H h = Invalid::template invalid<H>()) noexcept {
        const H old = std::exchange(FHandle, h);
        if (old != Invalid::template invalid<H>()) close(old);
    }
    // Frees the old value first, then hands out the address for an out-parameter.
    H* put() noexcept {
        reset();
        return &FHandle;
    }

private:
    static void close(H h) noexcept {
        const std::uint32_t error = last_os_error();
        Close(h);
        set_last_os_error(error);
    }

    H FHandle = Invalid::template invalid<H>();
};

// Owns one reference to an object counted through its AddRef and Release (a COM interface, the raster
// library's counted objects): a copy adds a reference, destruction releases it.
template <class I>
class counted_ref {
public:
    counted_ref() noexcept = default;
    // Adopts a reference the caller already holds.
    explicit counted_ref(I* adopted) noexcept : FPointer(adopted) {}
    counted_ref(const counted_ref& other) noexcept : FPointer(other.FPointer) {
        if (FPointer) FPointer->AddRef();
    }
    counted_ref(counted_ref&& other) noexcept : FPointer(std::exchange(other.FPointer, nullptr)) {}
    counted_ref& operator=(counted_ref other) noexcept {
        std::swap(FPointer, other.FPointer);
        return *this;
    }
    ~counted_ref() { reset(); }

    I* get() const noexcept { return FPointer; }
    I* operator->() const noexcept { return FPointer; }
    explicit operator bool() const noexcept { return FPointer != nullptr; }

    void reset() noexcept {
        if (I* old = std::exchange(FPointer, nullptr)) old->Release();
    }
    // Hands the reference to the caller.
    I* release() noexcept { return std::exchange(FPointer, nullptr); }
    // Releases the old reference first, then hands out the address for an out-parameter.
    I** put() noexcept {
        reset();
        return &FPointer;
    }

private:
    I* FPointer = nullptr;
};

// Runs a one-off clean-up at scope end.
template <class F>
class scope_exit {
public:
    explicit scope_exit(F f) noexcept(std::is_nothrow_move_constructible_v<F>) : FAction(std::move(f)) {}
    scope_exit(const scope_exit&) = delete;
    scope_exit& operator=(const scope_exit&) = delete;
    ~scope_exit() {
        if (FActive) FAction();
    }
    void release() noexcept { FActive = false; }

private:
    F FAction;
    bool FActive = true;
};

} // namespace kq
