#include "framework/Registry.h"

#include <vector>

namespace kq {

registry_key registry_key::open_read(HKEY root, const String& path) {
    registry_key key;
    if (::RegOpenKeyExW(root, wide(path), 0, KEY_QUERY_VALUE, key.FKey.put()) != ERROR_SUCCESS) key.FKey.release();
    return key;
}

std::optional<String> registry_key::read_string(const String& name) const {
    if (!FKey) return std::nullopt;
    std::vector<wchar_t> data(128);
    for (;;) {
        DWORD type = 0;
        auto bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LSTATUS status =
            ::RegQueryValueExW(FKey.get(), wide(name), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &bytes);
        if (status == ERROR_MORE_DATA) {
            // The value may grow between the two calls; ask again with the size it reported.
            data.resize(bytes / sizeof(wchar_t) + 1);
            continue;
        }
        if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::nullopt;
        // The stored data need not end with a null, and may hold more than one.
        String text = from_wide(data.data(), bytes / sizeof(wchar_t));
        if (const auto end = text.find(u'\0'); end != String::npos) text.resize(end);
        return text;
    }
}

} // namespace kq
