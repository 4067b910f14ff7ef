// Native services: iconv for code pages, the C library for the time zone. No WinInet here.
#include "xml/XmlPlatform.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iconv.h>
#include <memory>

namespace kq::xml_platform {

namespace {

std::string iconv_name(int codepage) {
    struct row { int cp; const char* name; };
    static constexpr row rows[] = {
        {20127, "ASCII"}, {20866, "KOI8-R"}, {21866, "KOI8-U"}, {10000, "MACINTOSH"}, {20932, "EUC-JP"},
        {51932, "EUC-JP"}, {51949, "EUC-KR"}, {51936, "GB2312"}, {54936, "GB18030"}, {52936, "HZ-GB-2312"},
        {50220, "ISO-2022-JP"}, {50222, "ISO-2022-JP"}, {50225, "ISO-2022-KR"}, {65000, "UTF-7"},
        {65001, "UTF-8"}, {1200, "UTF-16LE"}, {1201, "UTF-16BE"}, {12000, "UTF-32LE"}, {12001, "UTF-32BE"},
        {28591, "ISO-8859-1"}, {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"}, {28594, "ISO-8859-4"},
        {28595, "ISO-8859-5"}, {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"}, {28598, "ISO-8859-8"},
        {28599, "ISO-8859-9"}, {28603, "ISO-8859-13"}, {28605, "ISO-8859-15"}, {949, "CP949"},
        {932, "CP932"}, {936, "CP936"}, {950, "CP950"}, {1361, "JOHAB"},
    };
    for (const row& r : rows)
        if (r.cp == codepage) return r.name;
    return std::string("CP") + std::to_string(codepage);
}

struct iconv_closer {
    void operator()(void* cd) const noexcept { iconv_close(static_cast<iconv_t>(cd)); }
};
using unique_iconv = std::unique_ptr<void, iconv_closer>;

unique_iconv open_iconv(const std::string& to, const std::string& from) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    return unique_iconv(cd);
}

} // namespace

int ansi_codepage() noexcept { return 1252; }

bool codepage_supported(int codepage) noexcept {
    return codepage > 0 && open_iconv("UTF-16LE", iconv_name(codepage)) != nullptr;
}

String multibyte_to_wide(int codepage, std::string_view bytes, std::size_t* held) {
    if (held) *held = 0;
    String out;
    unique_iconv cd = open_iconv("UTF-16LE", iconv_name(codepage));
    if (!cd) {
        out.assign(bytes.size(), u'\uFFFD');
        return out;
    }
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    std::string buf(4 * bytes.size() + 16, '\0');
    while (in_left > 0) {
        char* o = buf.data();
        std::size_t o_left = buf.size();
        const std::size_t r = iconv(static_cast<iconv_t>(cd.get()), &in, &in_left, &o, &o_left);
        const std::size_t produced = buf.size() - o_left;
        for (std::size_t i = 0; i + 1 < produced; i += 2)
            out.push_back(static_cast<char16_t>(static_cast<unsigned char>(buf[i]) |
                                                (static_cast<unsigned char>(buf[i + 1]) << 8)));
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == EINVAL) { // cut at the end
            if (held) {
                *held = in_left;
            } else {
                out.append(in_left, u'\uFFFD');
            }
            break;
        }
        if (errno == EILSEQ) {
            out.push_back(u'\uFFFD');
            ++in;
            --in_left;
        }
    }
    return out;
}

std::string wide_to_multibyte(int codepage, StringView text, bool& used_default) {
    used_default = false;
    std::string out;
    unique_iconv cd = open_iconv(iconv_name(codepage), "UTF-16LE");
    std::string le(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        le[2 * i] = static_cast<char>(text[i] & 0xFF);
        le[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    if (!cd) {
        used_default = !text.empty();
        out.assign(text.size(), '?');
        return out;
    }
    char* in = le.data();
    std::size_t in_left = le.size();
    std::string buf(4 * text.size() + 16, '\0');
    while (in_left > 0) {
        char* o = buf.data();
        std::size_t o_left = buf.size();
        const std::size_t r = iconv(static_cast<iconv_t>(cd.get()), &in, &in_left, &o, &o_left);
        out.append(buf.data(), buf.size() - o_left);
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == EILSEQ || errno == EINVAL) { // not in the code page, or a lone surrogate
            out.push_back('?');
            used_default = true;
            const std::size_t skip = in_left >= 2 ? 2 : in_left;
            in += skip;
            in_left -= skip;
        }
    }
    return out;
}

int local_bias_minutes() noexcept {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int>(-local.tm_gmtoff / 60);
}

int compare_text_ignore_case(StringView a, StringView b) noexcept {
    auto fold = [](char16_t c) -> char16_t {
        if (c >= u'A' && c <= u'Z') return c + 32;
        if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
        if (c >= 0x391 && c <= 0x3A9) return c + 32;
        if (c >= 0x410 && c <= 0x42F) return c + 32;
        return c;
    };
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = fold(a[i]), y = fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool replace_file(const String& from, const String& to) noexcept {
    return std::rename(string_to_utf8(from).c_str(), string_to_utf8(to).c_str()) == 0;
}

void remove_file(const String& name) noexcept { std::remove(string_to_utf8(name).c_str()); }

url_result load_url(const std::string&, std::string&) { return url_result::no_session; }

} // namespace kq::xml_platform
