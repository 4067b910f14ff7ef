#pragma once
// Registry_key, reading the registry.
#include "framework/Handles.h"
#include "framework/Strings.h"
#include "framework/Win32.h"

#include <optional>

namespace kq {

// A registry key opened for reading only: opening never creates a key, and nothing is ever written.
class registry_key {
public:
    // The key at path under root; an empty object (false) when it does not exist or cannot be read.
    static registry_key open_read(HKEY root, const String& path);

    explicit operator bool() const noexcept { return static_cast<bool>(FKey); }

    // A text value (REG_SZ or REG_EXPAND_SZ, not expanded), without its terminating null; nothing when the
    // key is empty, the value is missing or holds another type.
    std::optional<String> read_string(const String& name) const;

private:
    unique_handle<HKEY, ::RegCloseKey> FKey;
};

} // namespace kq
