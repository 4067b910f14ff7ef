#pragma once
// EOleSysError, OleCheck, GUIDs, com_thread, CreateComObject.
#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Win32.h"
#include "framework/Win32Handles.h"

#include <objbase.h>

#include <cstdint>
#include <utility>

namespace kq {

// A failed COM call; the message is the system's text for the result code.
class EOleSysError : public Exception {
public:
    explicit EOleSysError(HRESULT code);
    HRESULT ErrorCode;
};

// The system error code a result stands for: the Win32 code it was made from, else the result itself.
std::uint32_t error_code_of(HRESULT code) noexcept;

// Raises EOleSysError when code is a failure.
void OleCheck(HRESULT code);

// A new GUID; EOleSysError when the system cannot make one.
GUID CreateGUID();
// The registry form of a GUID: "{" 8-4-4-4-12 "}" in upper-case hex digits, 38 characters.
String GUIDToString(const GUID& guid);

// COM with OLE for the calling thread, for the lifetime of the object (one per thread that uses shell
// objects or dialogs; nesting is allowed). A thread already initialised in another mode keeps it.
class com_thread {
public:
    com_thread() noexcept;
    ~com_thread();
    com_thread(const com_thread&) = delete;
    com_thread& operator=(const com_thread&) = delete;

private:
    HRESULT FResult;
};

// Memory handed out by the shell or COM, freed with CoTaskMemFree.
template <class T>
using co_task_ptr = unique_handle<T*, ::CoTaskMemFree>;

// A new in-process object of the class, seen through interface I. EOleSysError when it cannot be created,
// EIntfCastError when it lacks the interface.
template <class I>
com_ptr<I> CreateComObject(REFCLSID cls) {
    com_ptr<IUnknown> object;
    OleCheck(::CoCreateInstance(cls, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(object.put())));
    return object.template as<I>();
}

} // namespace kq
