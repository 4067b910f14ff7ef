#pragma once
// The few system services: code pages, the local time bias, case-insensitive comparison, replacing
// files, URL fetching.
#include "framework/Strings.h"

#include <cstdint>
#include <string>
#include <string_view>

// The few system services the XML library needs, with a Win32 and a native version.
namespace kq::xml_platform {

// The system's ANSI code page (1252 natively).
int ansi_codepage() noexcept;

// Whether the conversions below can serve this code page here.
bool codepage_supported(int codepage) noexcept;

// Bytes in a code page to UTF-16; a byte sequence cut at the end of the input is left out and its length
// returned in `held`, so the caller can join it with the next bytes. Unknown bytes become U+FFFD.
String multibyte_to_wide(int codepage, std::string_view bytes, std::size_t* held = nullptr);

// UTF-16 to bytes in a code page; characters the code page lacks become "?" and set `used_default`.
std::string wide_to_multibyte(int codepage, StringView text, bool& used_default);

// Minutes to add to local time to get UTC: the bias plus the daylight or standard bias in effect.
int local_bias_minutes() noexcept;

// Locale-aware comparison ignoring case: <0, 0, >0.
int compare_text_ignore_case(StringView a, StringView b) noexcept;

// What a file is written under before it replaces its target.
inline constexpr StringView replacing_file_suffix = u".tmp";
// Moves `from` onto `to`, replacing it in one step; false with the system's error when refused.
bool replace_file(const String& from, const String& to) noexcept;
void remove_file(const String& name) noexcept;

enum class url_result { ok, no_session, cannot_open };
// Reads the document at `url` from the network, never from a cache.
url_result load_url(const std::string& url, std::string& data);

} // namespace kq::xml_platform
