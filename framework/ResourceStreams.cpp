#include "framework/ResourceStreams.h"

#include "framework/Conversions.h"

#include <algorithm>
#include <cstring>

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

} // namespace

TResourceStream::TResourceStream(HMODULE instance, const String& res_name, const String& res_type, WORD language) {
    const HRSRC info = find_resource(instance, res_name, res_type, language);
    const HGLOBAL data = info ? ::LoadResource(instance, info) : nullptr;
    const void* memory = data ? ::LockResource(data) : nullptr;
    if (!memory) throw EResNotFound(Format(u"Resource %s not found", {res_name}));
    FMemory = static_cast<const std::uint8_t*>(memory);
    FSize = ::SizeofResource(instance, info);
}

std::int64_t TResourceStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0 || FPosition < 0 || FPosition >= FSize) return 0;
    const std::int64_t n = std::min(count, FSize - FPosition);
    std::memcpy(buffer, FMemory + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TResourceStream::Write(const void*, std::int64_t) { return 0; }

std::int64_t TResourceStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    switch (origin) {
    case soFromBeginning: FPosition = offset; break;
    case soFromCurrent: FPosition += offset; break;
    case soFromEnd: FPosition = FSize + offset; break;
    }
    return FPosition;
}

void TResourceStream::SetSize(std::int64_t) { throw EWriteError(u"Stream write error"); }

std::optional<std::span<const std::uint8_t>> program_rcdata(const String& name) {
    const HRSRC info = ::FindResourceW(nullptr, wide(name), MAKEINTRESOURCEW(10));
    if (!info) return std::nullopt;
    const HGLOBAL loaded = ::LoadResource(nullptr, info);
    const auto* data = static_cast<const std::uint8_t*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!data) RaiseLastOSError();
    return std::span<const std::uint8_t>(data, ::SizeofResource(nullptr, info));
}

} // namespace kq
