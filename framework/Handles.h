#pragma once

#include <type_traits>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kq {

// Which value of a handle type means "none".
struct null_is_invalid {
    template <class H> static constexpr H invalid() noexcept { return H{}; }
};
#ifdef _WIN32
struct invalid_is_minus_one {
    template <class H> static H invalid() noexcept { return reinterpret_cast<H>(INVALID_HANDLE_VALUE); }
};
#endif

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
#ifdef _WIN32
        const DWORD error = ::GetLastError();
        Close(h);
        ::SetLastError(error);
#else
        Close(h);
#endif
    }

    H FHandle = Invalid::template invalid<H>();
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
