#include "framework/Strings.h"

#include <algorithm>
#include <cstdint>

namespace kq {

namespace {

constexpr char32_t replacement = 0xFFFD;

void append_utf16(String& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

} // namespace

void append_utf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

String utf8_to_string(std::string_view utf8, utf8_policy policy) {
    const bool replace = policy == utf8_policy::replace;
    String out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const std::size_t n = utf8.size();
    while (i < n) {
        const auto b0 = static_cast<std::uint8_t>(utf8[i]);
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, c = b0 & 0x07, min = 0x10000;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, c = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, c = b0 & 0x1F, min = 0x80;
        } else if (replace) {
            out.push_back(replacement);
            ++i;
            continue;
        } else {
            extra = (b0 & 0x20) ? 2 : 1, c = b0 & ((b0 & 0x20) ? 0x0F : 0x1F);
        }
        std::size_t j = i + 1;
        for (; j < n && j <= i + extra; ++j) {
            const auto b = static_cast<std::uint8_t>(utf8[j]);
            if ((b & 0xC0) != 0x80) break;
            c = (c << 6) | (b & 0x3F);
        }
        const bool complete = j == i + 1 + extra;
        if (!replace) {
            if (!complete) {
                i = std::min(j + 1, n);
            } else {
                if (c >= 0x10000 && c <= 0x10FFFF)
                    append_utf16(out, c);
                else
                    out.push_back(static_cast<char16_t>(c & 0xFFFF));
                i = j;
            }
            continue;
        }
        // A cut or overlong sequence, a surrogate or a value past U+10FFFF is one replacement character.
        if (!complete || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out.push_back(replacement);
            i = j == i + 1 ? i + 1 : j;
            continue;
        }
        append_utf16(out, c);
        i = j;
    }
    return out;
}

std::string string_to_utf8(StringView text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = replacement;
        }
        append_utf8(out, c);
    }
    return out;
}

} // namespace kq
