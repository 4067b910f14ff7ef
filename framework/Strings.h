#pragma once
// String (UTF-16), wide/from_wide, UTF-8 conversion, the system's string functions.
#include <cstddef>
#include <string>
#include <string_view>

namespace kq {

// The system's text type: UTF-16 code units on every platform (Length counts code units, as the
// Windows API and the engine do). Literals are written u"...".
using String = std::u16string;
using StringView = std::u16string_view;

// Ill-formed input (a lone surrogate, a bad UTF-8 sequence) becomes U+FFFD; nothing is dropped silently.
String utf8_to_string(std::string_view utf8);
std::string string_to_utf8(StringView text);

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
