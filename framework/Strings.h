#pragma once
// String (UTF-16), wide/from_wide, UTF-8 conversion, the system's string functions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kq {

// The system's text type: UTF-16 code units on every platform (Length counts code units, as the
// Windows API and the engine do). Literals are written u"...".
using String = std::u16string;
using StringView = std::u16string_view;

// What reading UTF-8 does with bytes that are not well-formed UTF-8.
enum class utf8_policy : std::uint8_t {
    // Each ill-formed sequence (a stray or cut one, an overlong form, a surrogate, a value past U+10FFFF)
    // becomes one U+FFFD; the byte that broke a sequence is read again. Nothing is dropped silently.
    replace,
    // The XML library's reading, so its files load as they always have: a sequence broken by a byte
    // outside 0x80-0xBF is dropped together with that byte, as is one cut at the end; a lead byte the
    // standard does not know takes one or two continuation bytes by its bit 0x20; what a complete
    // sequence holds is taken as it is (surrogate halves written one by one come back as a pair), past
    // U+10FFFF cut to its low 16 bits.
    drop,
};

String utf8_to_string(std::string_view utf8, utf8_policy policy = utf8_policy::replace);
// A lone surrogate becomes U+FFFD.
std::string string_to_utf8(StringView text);
// Appends one character, or one surrogate half on its own, as UTF-8.
void append_utf8(std::string& out, char32_t c);

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide characters are UTF-16 code units");

// Win32 boundary: the same code units, seen as wchar_t.
inline const wchar_t* wide(const String& text) noexcept {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline String from_wide(const wchar_t* text, std::size_t length) {
    return String(reinterpret_cast<const char16_t*>(text), length);
}
inline String from_wide(const wchar_t* text) {
    return text ? String(reinterpret_cast<const char16_t*>(text)) : String();
}
#endif

} // namespace kq
