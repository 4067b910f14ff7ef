#include "framework/Exceptions.h"

#include "framework/Conversions.h"
#include "framework/Handles.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <system_error>

#ifdef _WIN32
#include "framework/Win32Handles.h"
#endif

namespace kq {

namespace {

std::atomic<exception_handler> current_handler{nullptr};
std::atomic<exception_forwarder> current_forwarder{nullptr};

String trim_trailing_space(String text) {
    while (!text.empty() && text.back() <= u' ') text.pop_back();
    return text;
}

} // namespace

// Not inline, so the return address lies in the code that creates the exception.
Exception::Exception(String message)
    : FMessage(std::move(message)), FWhat(string_to_utf8(FMessage)), FRaiseAddress(__builtin_return_address(0)) {}

void Exception::SetMessage(String message) {
    FWhat = string_to_utf8(message);
    FMessage = std::move(message);
}

EAssertionFailed::EAssertionFailed(String message) : Exception(std::move(message)) {}

EAssertionFailed::EAssertionFailed(String message, StringView source, int line)
    : Exception(Format(u"%s (%s, line %d)", {message, source, line})) {}

void raise_list_index_error(std::int64_t index) {
    throw EListError(Format(u"List index out of bounds (%d)", {index}));
}

void raise_out_of_resources() {
    throw EOutOfResources(u"Out of system resources");
}

// --- Operating system errors

#ifdef _WIN32
String SysErrorMessage(std::uint32_t code) {
    unique_hlocal buffer; // FormatMessage allocates the text
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                              FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.put()), 0, nullptr);
    if (!buffer) return {};
    return trim_trailing_space(from_wide(static_cast<const wchar_t*>(buffer.get()), length));
}

std::uint32_t last_os_error() noexcept { return ::GetLastError(); }
void set_last_os_error(std::uint32_t code) noexcept { ::SetLastError(code); }
#else
String SysErrorMessage(std::uint32_t code) {
    return trim_trailing_space(utf8_to_string(std::generic_category().message(static_cast<int>(code))));
}

std::uint32_t last_os_error() noexcept { return static_cast<std::uint32_t>(errno); }
void set_last_os_error(std::uint32_t code) noexcept { errno = static_cast<int>(code); }
#endif

void RaiseLastOSError(std::uint32_t code) {
    if (code == 0) throw EOSError(u"A call to an OS function failed", 0);
    // %d of the 32-bit code: codes with the top bit set show negative.
    const auto shown = static_cast<std::int32_t>(code);
    throw EOSError(Format(u"System Error.  Code: %d.\r\n%s%s", {shown, SysErrorMessage(code), u""}), code);
}

void RaiseLastOSError() { RaiseLastOSError(last_os_error()); }

// --- Callback edges

void set_exception_handler(exception_handler handler) noexcept { current_handler.store(handler); }

exception_handler get_exception_handler() noexcept { return current_handler.load(); }

String exception_message(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    } catch (const std::exception& e) {
        return utf8_to_string(e.what());
    } catch (...) {
        return u"Unknown exception";
    }
}

void default_exception_handler(const std::exception_ptr& error) {
    const String message = exception_message(error);
#ifdef _WIN32
    ::OutputDebugStringW(wide(message + u"\r\n"));
#endif
    std::fputs((string_to_utf8(message) + "\n").c_str(), stderr);
}

void set_exception_forwarder(exception_forwarder forwarder) noexcept { current_forwarder.store(forwarder); }

void handle_exception(const std::exception_ptr& error) noexcept {
    try {
        const exception_forwarder forwarder = current_forwarder.load();
        if (forwarder && forwarder(error)) return;
        const exception_handler handler = current_handler.load();
        (handler ? handler : default_exception_handler)(error);
    } catch (...) {
        // A failing handler has nowhere left to report to.
    }
}

} // namespace kq
