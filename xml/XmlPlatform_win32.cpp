// Win32 services: code pages, the time-zone bias, the locale's comparison and WinInet.
#include "xml/XmlPlatform.h"

#include "framework/Handles.h"

#include <windows.h>
#include <wininet.h>

namespace kq::xml_platform {

namespace {
using unique_inet = unique_handle<HINTERNET, ::InternetCloseHandle>;
} // namespace

int ansi_codepage() noexcept { return static_cast<int>(::GetACP()); }

bool codepage_supported(int codepage) noexcept {
    return codepage > 0 && ::IsValidCodePage(static_cast<UINT>(codepage));
}

String multibyte_to_wide(int codepage, std::string_view bytes, std::size_t* held) {
    if (held) *held = 0;
    std::size_t n = bytes.size();
    if (held) {
        // Keep a lead byte whose trail byte has not arrived yet.
        std::size_t i = 0;
        while (i < n) {
            if (::IsDBCSLeadByteEx(static_cast<UINT>(codepage), static_cast<BYTE>(bytes[i]))) {
                if (i + 1 >= n) {
                    *held = n - i;
                    n = i;
                    break;
                }
                i += 2;
            } else {
                ++i;
            }
        }
    }
    if (n == 0) return {};
    const int len = ::MultiByteToWideChar(static_cast<UINT>(codepage), 0, bytes.data(), static_cast<int>(n), nullptr, 0);
    if (len <= 0) return String(n, u'\uFFFD');
    std::wstring w(static_cast<std::size_t>(len), L'\0');
    ::MultiByteToWideChar(static_cast<UINT>(codepage), 0, bytes.data(), static_cast<int>(n), w.data(), len);
    return String(w.begin(), w.end());
}

std::string wide_to_multibyte(int codepage, StringView text, bool& used_default) {
    used_default = false;
    if (text.empty()) return {};
    const auto* w = reinterpret_cast<const wchar_t*>(text.data());
    BOOL used = FALSE;
    const int len = ::WideCharToMultiByte(static_cast<UINT>(codepage), 0, w, static_cast<int>(text.size()), nullptr, 0,
                                          "?", &used);
    if (len <= 0) {
        used_default = true;
        return std::string(text.size(), '?');
    }
    std::string out(static_cast<std::size_t>(len), '\0');
    used = FALSE;
    ::WideCharToMultiByte(static_cast<UINT>(codepage), 0, w, static_cast<int>(text.size()), out.data(), len, "?", &used);
    used_default = used != FALSE;
    return out;
}

int local_bias_minutes() noexcept {
    TIME_ZONE_INFORMATION tz{};
    switch (::GetTimeZoneInformation(&tz)) {
    case TIME_ZONE_ID_DAYLIGHT: return static_cast<int>(tz.Bias + tz.DaylightBias);
    case TIME_ZONE_ID_STANDARD: return static_cast<int>(tz.Bias + tz.StandardBias);
    default: return static_cast<int>(tz.Bias);
    }
}

int compare_text_ignore_case(StringView a, StringView b) noexcept {
    const int r = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(a.data()),
                                   static_cast<int>(a.size()), reinterpret_cast<const wchar_t*>(b.data()),
                                   static_cast<int>(b.size()));
    return r - CSTR_EQUAL;
}

bool replace_file(const String& from, const String& to) noexcept {
    return ::MoveFileExW(wide(from), wide(to), MOVEFILE_REPLACE_EXISTING) != 0;
}

void remove_file(const String& name) noexcept { ::DeleteFileW(wide(name)); }

url_result load_url(const std::string& url, std::string& data) {
    unique_inet session{::InternetOpenA("xmldocument", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)};
    if (!session) return url_result::no_session;
    unique_inet handle{::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0, INTERNET_FLAG_RELOAD, 0)};
    if (!handle) return url_result::cannot_open;
    char block[1024];
    DWORD got = 0;
    while (::InternetReadFile(handle.get(), block, sizeof block, &got) && got > 0) data.append(block, got);
    return url_result::ok;
}

} // namespace kq::xml_platform
