#include "framework/ResourceStreams.h"

#include "framework/Conversions.h"

namespace kq {

namespace {

struct language_search {
    WORD wanted;
    bool found = false;
};

BOOL CALLBACK note_language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) noexcept {
    auto* search = reinterpret_cast<language_search*>(param);
    search->found = search->found || language == search->wanted;
    return !search->found;
}

// The lookup by language falls back to other languages of the same name; only the one asked for counts.
HRSRC find_resource(HMODULE instance, const String& name, const String& type, WORD language) noexcept {
    language_search search{language};
    ::EnumResourceLanguagesW(instance, wide(type), wide(name), note_language, reinterpret_cast<LONG_PTR>(&search));
    return search.found ? ::FindResourceExW(instance, wide(type), wide(name), language) : nullptr;
}

std::span<const std::uint8_t> resource_bytes(HMODULE instance, const String& name, const String& type, WORD language) {
    const HRSRC info = find_resource(instance, name, type, language);
    const HGLOBAL data = info ? ::LoadResource(instance, info) : nullptr;
    const void* memory = data ? ::LockResource(data) : nullptr;
    if (!memory) throw EResNotFound(Format(u"Resource %s not found", {name}));
    return {static_cast<const std::uint8_t*>(memory), ::SizeofResource(instance, info)};
}

} // namespace

TResourceStream::TResourceStream(HMODULE instance, const String& res_name, const String& res_type, WORD language)
    : memory_view_stream(resource_bytes(instance, res_name, res_type, language)) {}

std::optional<std::span<const std::uint8_t>> program_rcdata(const String& name) {
    const HRSRC info = ::FindResourceW(nullptr, wide(name), MAKEINTRESOURCEW(10));
    if (!info) return std::nullopt;
    const HGLOBAL loaded = ::LoadResource(nullptr, info);
    const auto* data = static_cast<const std::uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!data) RaiseLastOSError();
    return std::span<const std::uint8_t>(data, ::SizeofResource(nullptr, info));
}

} // namespace kq
