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
// EResNotFound when the module has no such resource. Read-only: a write moves nothing.
class TResourceStream : public TStream {
public:
    TResourceStream(HMODULE instance, const String& res_name, const String& res_type, WORD language);

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t size) override;
    std::int64_t Size() override { return FSize; }

    // The resource's bytes, valid while the module stays loaded.
    const void* Memory() const noexcept { return FMemory; }

private:
    const std::uint8_t* FMemory = nullptr;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
};

// The bytes of the program's RCDATA resource of that name, in whichever language it has; valid while the
// program runs. nullopt when the program has none.
std::optional<std::span<const std::uint8_t>> program_rcdata(const String& name);

} // namespace kq
