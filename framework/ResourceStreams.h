#pragma once
// TResourceStream, module resources.
#include "framework/Exceptions.h"
#include "framework/Streams.h"
#include "framework/Win32.h"

#include <cstdint>
#include <optional>
#include <span>

namespace kq {

// A missing module resource: "Resource %s not found" with the resource's name.
class EResNotFound : public Exception {
public:
    using Exception::Exception;
};

// Reads one module resource in place, found by type, name and language (exactly that language). Raises
// EResNotFound when the module has no such resource. Read-only: a write moves nothing. Memory() stays
// valid while the module stays loaded.
class TResourceStream : public memory_view_stream {
public:
    TResourceStream(HMODULE instance, const String& res_name, const String& res_type, WORD language);
};

// The bytes of the program's RCDATA resource of that name, in whichever language it has; valid while the
// program runs. nullopt when the program has none.
std::optional<std::span<const std::uint8_t>> program_rcdata(const String& name);

} // namespace kq
