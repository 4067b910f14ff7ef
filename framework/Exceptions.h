#pragma once
// Exception and its subclasses, guard_callback, the application's exception handler.
#include "framework/Strings.h"

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace kq {

// Root of the framework's errors. The message is UTF-16 text shown to the user; what() is its UTF-8 form.
class Exception : public std::exception {
public:
    explicit Exception(String message);

    const String& Message() const noexcept { return FMessage; }
    void SetMessage(String message);
    const char* what() const noexcept override { return FWhat.c_str(); }
    // A code address of the function that raised it, for the report of an exception that ends the program.
    const void* RaiseAddress() const noexcept { return FRaiseAddress; }

private:
    String FMessage;
    std::string FWhat;
    const void* FRaiseAddress;
};

class EOSError : public Exception {
public:
    EOSError(String message, std::uint32_t code) : Exception(std::move(message)), ErrorCode(code) {}
    std::uint32_t ErrorCode;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A value outside the range of its target type.
class ERangeError : public Exception {
public:
    ERangeError() : Exception(u"Range check error") {}
};

class EListError : public Exception {
public:
    using Exception::Exception;
};

// EListError "List index out of bounds (%d)", the one way every list reports a bad index.
[[noreturn]] void raise_list_index_error(std::int64_t index);

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EFilerError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EReadError : public EFilerError {
public:
    using EFilerError::EFilerError;
};

class EWriteError : public EFilerError {
public:
    using EFilerError::EFilerError;
};

class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

// EOutOfResources "Out of system resources": the system refused a handle (window, device context, GDI
// object, image list).
[[noreturn]] void raise_out_of_resources();

// A call that the object's state does not allow (a canvas without a device context, a visible window
// made modal).
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

// An object asked for an interface it does not implement: "Interface not supported".
class EIntfCastError : public Exception {
public:
    EIntfCastError() : Exception(u"Interface not supported") {}
};

// A failed run-time check reported to the caller as an ordinary error. With a source the message names
// it: "Assertion failure (WebB.Core.WebBrowser, line 1279)".
class EAssertionFailed : public Exception {
public:
    explicit EAssertionFailed(String message);
    EAssertionFailed(String message, StringView source, int line);
};

// --- Operating system errors

// The system's text for an error code (no trailing line break); natively the C library's text for errno.
String SysErrorMessage(std::uint32_t code);

// The calling thread's last error: GetLastError on Win32, errno natively.
std::uint32_t last_os_error() noexcept;
void set_last_os_error(std::uint32_t code) noexcept;

// "System Error.  Code: %d.\r\n%s%s" with the system's text, or "A call to an OS function failed" for 0.
[[noreturn]] void RaiseLastOSError(std::uint32_t code);
[[noreturn]] void RaiseLastOSError();

// --- Callback edges

// Receives every exception caught at a callback edge. Set once at start-up, before threads start.
using exception_handler = void (*)(const std::exception_ptr& error);
void set_exception_handler(exception_handler handler) noexcept;
exception_handler get_exception_handler() noexcept;
// Writes the message to the debugger output (Win32) and stderr.
void default_exception_handler(const std::exception_ptr& error);

// The message of any exception: Message for ours, what() for others.
String exception_message(const std::exception_ptr& error);

// Hands the exception to the current handler; never throws. With a forwarder set, the forwarder may take
// it first (returning true), to report it on another thread.
void handle_exception(const std::exception_ptr& error) noexcept;

// Set by the threads unit: carries an exception caught off the GUI thread to the GUI thread.
using exception_forwarder = bool (*)(const std::exception_ptr& error);
void set_exception_forwarder(exception_forwarder forwarder) noexcept;

// Runs f at an edge no exception may cross (window procedure, engine or timer callback, thread entry);
// an exception goes to the application's handler and the callback returns fallback.
template <class R, class F>
R guard_callback(R fallback, F&& f) noexcept {
    try {
        return std::forward<F>(f)();
    } catch (...) {
        handle_exception(std::current_exception());
        return fallback;
    }
}

template <class F>
void guard_callback(F&& f) noexcept {
    try {
        std::forward<F>(f)();
    } catch (...) {
        handle_exception(std::current_exception());
    }
}

// Inside a callback of a synchronous C API: the first exception is kept in pending and the callback
// returns fallback (typically "stop"); the caller rethrows after the API returns (rethrow_pending).
template <class R, class F>
R guard_callback(std::exception_ptr& pending, R fallback, F&& f) noexcept {
    try {
        return std::forward<F>(f)();
    } catch (...) {
        if (!pending) pending = std::current_exception();
        return fallback;
    }
}

inline void rethrow_pending(std::exception_ptr& pending) {
    if (pending) std::rethrow_exception(std::exchange(pending, nullptr));
}

} // namespace kq
