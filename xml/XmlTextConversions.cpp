#include "xml/XmlTextConversions.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "xml/XmlPlatform.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kq {

namespace {

constexpr char base64_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::string_view entities[5][2] = {
    {"&", "&amp;"}, {"<", "&lt;"}, {">", "&gt;"}, {"'", "&apos;"}, {"\"", "&quot;"}};

// The UTF-16 unit of the character at `i` and its byte length, as the one-byte-per-character code page
// paths read it: two, three or four bytes only when the continuation bytes are there.
std::uint32_t decode_lead(std::string_view s, std::size_t i, std::size_t& len) {
    const auto b = static_cast<std::uint8_t>(s[i]);
    auto cont = [&](std::size_t k) { return i + k < s.size() && (static_cast<std::uint8_t>(s[i + k]) & 0xC0) == 0x80; };
    auto at = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[i + k]) & 0x3F); };
    if (b >= 0xC0 && b <= 0xDF && cont(1)) {
        len = 2;
        return ((b & 0x1Fu) << 6) | at(1);
    }
    if (b >= 0xE0 && b <= 0xEF && cont(1) && cont(2)) {
        len = 3;
        return (((b & 0x0Fu) << 12) | (at(1) << 6) | at(2)) & 0xFFFF;
    }
    if (b >= 0xF0 && b <= 0xF7 && cont(1) && cont(2) && cont(3)) {
        len = 4;
        return (((b & 0x07u) << 18) | (at(1) << 12) | (at(2) << 6) | at(3)) & 0xFFFF;
    }
    len = 1;
    return b;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

[[noreturn]] void convert_error(std::string_view text, const char* what) {
    throw EConvertError(String(u"'") + Utf8ToWide(text) + u"' is not a valid " + utf8_to_string(what));
}

std::string_view trim_spaces(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civil_from_days(std::int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// Day 0 of the date-time count is 30 December 1899.
const std::int64_t epoch_days = days_from_civil(1899, 12, 30);

bool valid_date(int y, int m, int d) {
    static constexpr int month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= month_days[m - 1] + (m == 2 && leap ? 1 : 0);
}

} // namespace

// --- UTF-8, UTF-16 and code pages

void utf8_sink::put(std::uint32_t c) {
    if (c < 0x80) {
        if (c == '\r') {
            out.push_back('\n');
            last_cr = true;
            return;
        }
        if (c == '\n' && last_cr) {
            last_cr = false;
            return;
        }
        last_cr = false;
        out.push_back(static_cast<char>(c));
        return;
    }
    last_cr = false;
    append_utf8(out, c);
}

std::string WideToUtf8(StringView text) {
    std::string out;
    out.reserve(text.size() * 3);
    utf8_sink sink{out};
    for (char16_t c : text) sink.put(c);
    return out;
}

String Utf8ToWide(std::string_view text) { return utf8_to_string(text, utf8_policy::drop); }

std::string utf8_from_ansi(std::string_view bytes, int codepage) {
    if (codepage == 0) codepage = xml_platform::ansi_codepage();
    std::string out;
    out.reserve(bytes.size());
    utf8_sink sink{out};
    // The whole text converts at once, so the pairs of double-byte code pages stay together.
    for (char16_t c : xml_platform::multibyte_to_wide(codepage, bytes)) sink.put(c);
    return out;
}

std::string ansi_from_utf8(std::string_view text, int codepage, bool& used_default) {
    if (codepage == 0) codepage = xml_platform::ansi_codepage();
    String wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = 1;
        wide.push_back(static_cast<char16_t>(decode_lead(text, i, len)));
        i += len;
    }
    return xml_platform::wide_to_multibyte(codepage, wide, used_default);
}

// --- Line ends

std::string normalise_line_ends(std::string_view text) {
    if (text.find('\r') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::string convert_line_ends(std::string_view text, TXmlEolStyle style) {
    if (style == esLF || text.find('\n') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        if (c == '\n') {
            out.push_back('\r');
            if (style == esCRLF) out.push_back('\n');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// --- Escapes and references

std::string escape_text(std::string_view text) {
    if (text.find_first_of("&<>'\"") == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        bool special = false;
        for (const auto& e : entities) {
            if (c == e[0][0]) {
                out.append(e[1]);
                special = true;
                break;
            }
        }
        if (!special) out.push_back(c);
    }
    return out;
}

std::string resolve_references(std::string_view text, bool& non_standard, const entity_lookup* lookup) {
    non_standard = false;
    if (text.find('&') == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size());
    utf8_sink sink{out};
    std::size_t i = 0;
    // The next ';' is kept between references, so a text of many '&' and no ';' is scanned once.
    std::size_t semi = 0;
    while (i < text.size()) {
        if (text[i] != '&') {
            out.push_back(text[i++]);
            continue;
        }
        if (semi != std::string_view::npos && semi <= i) semi = text.find(';', i + 1);
        const std::size_t amp = text.find('&', i + 1);
        if (semi == std::string_view::npos || (amp != std::string_view::npos && amp < semi)) {
            out.push_back(text[i++]);
            continue;
        }
        const std::string_view ref = text.substr(i, semi - i + 1);
        i = semi + 1;
        bool done = false;
        for (const auto& e : entities) {
            if (ref == e[1]) {
                out.append(e[0]);
                done = true;
                break;
            }
        }
        if (done) continue;
        if (ref.size() > 3 && ref[1] == '#') {
            std::string_view num = ref.substr(2, ref.size() - 3);
            int base = 10;
            if (num[0] == 'x' || num[0] == 'X') {
                base = 16;
                num.remove_prefix(1);
            }
            std::uint32_t value = 0;
            const auto r = std::from_chars(num.data(), num.data() + num.size(), value, base);
            if (!num.empty() && r.ec == std::errc() && r.ptr == num.data() + num.size() && value <= 0xFFFF) {
                sink.last_cr = false;
                sink.put(value);
                continue;
            }
        }
        non_standard = true;
        std::string value;
        if (lookup && *lookup && (*lookup)(ref, value)) {
            out.append(value);
        } else {
            out.append(ref);
        }
    }
    return out;
}

// --- Blanks

std::string trim_text(std::string_view text, bool& trimmed) {
    const std::string_view t = trim_spaces(text);
    trimmed = t.size() < text.size();
    return std::string(t);
}

blank_split split_blanks(std::string_view text) noexcept {
    std::size_t a = 0;
    while (a < text.size() && static_cast<unsigned char>(text[a]) < 33) ++a;
    std::size_t b = text.size();
    while (b > a && static_cast<unsigned char>(text[b - 1]) < 33) --b;
    return {text.substr(0, a), text.substr(a, b - a), text.substr(b)};
}

// --- Base64 and hexadecimal

std::string encode_base64(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                                (static_cast<std::uint8_t>(bytes[i + 1]) << 8) | static_cast<std::uint8_t>(bytes[i + 2]);
        for (int s = 18; s >= 0; s -= 6) out.push_back(base64_alphabet[(v >> s) & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<std::uint8_t>(bytes[i + 1]) << 8;
        out.push_back(base64_alphabet[(v >> 18) & 63]);
        out.push_back(base64_alphabet[(v >> 12) & 63]);
        out.push_back(rest == 2 ? base64_alphabet[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

std::string insert_line_breaks(std::string_view text, std::string_view control_chars, int line_length) {
    if (control_chars.empty() || line_length <= 0) return std::string(text);
    std::string out;
    out.reserve(text.size() + (text.size() / line_length + 2) * control_chars.size());
    for (std::size_t i = 0; i < text.size(); i += static_cast<std::size_t>(line_length)) {
        out.append(control_chars);
        out.append(text.substr(i, static_cast<std::size_t>(line_length)));
    }
    out.append(control_chars);
    return out;
}

std::string strip_base64_blanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\t' && c != '\n' && c != '\r' && c != ' ') out.push_back(c);
    return out;
}

std::size_t base64_length(std::string_view cleaned) {
    if (cleaned.size() % 4 != 0) throw EFilerError(u"error while calculating streamlength");
    std::size_t n = cleaned.size() / 4 * 3;
    if (!cleaned.empty() && cleaned.back() == '=') {
        --n;
        if (cleaned.size() > 1 && cleaned[cleaned.size() - 2] == '=') --n;
    }
    return n;
}

std::string decode_base64(std::string_view cleaned, std::size_t count) {
    if (cleaned.size() % 4 != 0) throw EFilerError(u"error while calculating streamlength");
    if (cleaned.size() / 4 * 3 < count) throw EFilerError(u"missing data in binary stream");
    std::string out;
    out.reserve(count);
    auto value = [](char c) -> std::uint32_t {
        if (c >= 'A' && c <= 'Z') return static_cast<std::uint32_t>(c - 'A');
        if (c >= 'a' && c <= 'z') return static_cast<std::uint32_t>(c - 'a' + 26);
        if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0' + 52);
        if (c == '+') return 62;
        if (c == '/') return 63;
        return 0; // "=" and anything outside the alphabet
    };
    for (std::size_t i = 0; i + 4 <= cleaned.size() && out.size() < count; i += 4) {
        const std::uint32_t v = (value(cleaned[i]) << 18) | (value(cleaned[i + 1]) << 12) |
                                (value(cleaned[i + 2]) << 6) | value(cleaned[i + 3]);
        for (int s = 16; s >= 0 && out.size() < count; s -= 8) out.push_back(static_cast<char>((v >> s) & 0xFF));
    }
    return out;
}

std::string decode_hex(std::string_view text, std::size_t count) {
    if (count % 2 != 0) throw EFilerError(u"error while calculating streamlength");
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size() && out.size() < count; i += 2) {
        const int hi = hex_value(text[i]), lo = hex_value(text[i + 1]);
        if (hi < 0 || lo < 0) break;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return out;
}

// --- Numbers, booleans, dates

std::string int_to_text(std::int64_t value) { return std::to_string(value); }

std::string hex_to_text(std::uint64_t value, int digits) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llX", digits < 0 ? 0 : (digits > 16 ? 16 : digits),
                  static_cast<unsigned long long>(value));
    return std::string("$") + buf;
}

std::string float_to_text(double value, int significant_digits, bool allow_exponent) {
    int d = significant_digits;
    if (d < 1 || d > 9) throw Exception(u"significant digits out of range");
    if (value == 0) return "0";
    // Scaling an infinity or NaN would never end.
    if (std::isnan(value)) return "NAN";
    std::string out;
    if (value < 0) {
        out.push_back('-');
        value = -value;
    }
    if (std::isinf(value)) return out + "INF";
    static constexpr double pow10[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    int i = d;
    while (value < pow10[d - 1]) {
        value *= 10;
        --i;
    }
    while (value >= pow10[d]) {
        value /= 10;
        ++i;
    }
    auto m = Round(value);
    if (m >= static_cast<std::int64_t>(pow10[d])) {
        m /= 10;
        ++i;
    }
    while (m % 10 == 0 && i < d) {
        m /= 10;
        --d;
    }
    bool has_exponent = false;
    int exponent = 0;
    if (allow_exponent && (i < -1 || i > d + 2)) {
        has_exponent = true;
        exponent = i - 1;
        i = 1;
    }
    std::string digits = std::to_string(m);
    while (d < i) {
        digits.push_back('0');
        ++d;
    }
    while (i < 0) {
        digits.insert(digits.begin(), '0');
        ++i;
    }
    if (i == 0) {
        digits.insert(digits.begin(), '.');
    } else if (i < static_cast<int>(digits.size())) {
        digits.insert(digits.begin() + i, '.');
    }
    out += digits;
    if (has_exponent) {
        out += 'E';
        out += std::to_string(exponent);
    }
    return out;
}

std::string bool_to_text(bool value) { return value ? "true" : "false"; }

double encode_datetime(int year, int month, int day, int hour, int minute, int second, int msec) {
    const double date = static_cast<double>(days_from_civil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - epoch_days);
    const double time = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / 86400000.0;
    return date >= 0 ? date + time : date - time;
}

void decode_datetime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& msec) {
    auto days = static_cast<std::int64_t>(std::trunc(value));
    auto ms = static_cast<std::int64_t>(std::llround(std::fabs(value - static_cast<double>(days)) * 86400000.0));
    if (ms >= 86400000) {
        ms -= 86400000;
        days += value < 0 ? -1 : 1;
    }
    civil_from_days(days + epoch_days, year, month, day);
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

std::string datetime_to_text(double value, const datetime_parts& parts) {
    int y, mo, d, h, mi, s, ms;
    decode_datetime(value, y, mo, d, h, mi, s, ms);
    char buf[64];
    std::string out;
    if (parts.date) {
        std::snprintf(buf, sizeof buf, "%.4d-%.2d-%.2d", y, mo, d);
        out += buf;
        if (parts.time) out += "T";
    }
    if (parts.time) {
        std::snprintf(buf, sizeof buf, "%.2d:%.2d:%.2d", h, mi, s);
        out += buf;
        if (parts.fraction_digits > 0) {
            std::snprintf(buf, sizeof buf, "%.3d", ms);
            out += ".";
            out.append(buf, parts.fraction_digits < 3 ? static_cast<std::size_t>(parts.fraction_digits) : 3);
        }
        if (parts.local_zone) {
            const int b = xml_platform::local_bias_minutes();
            const int a = b < 0 ? -b : b;
            std::snprintf(buf, sizeof buf, "%s%.2d:%.2d", b <= 0 ? "+" : "-", a / 60, a % 60);
            out += buf;
        } else {
            out += "Z";
        }
    }
    return out;
}

bool try_text_to_int64(std::string_view text, std::int64_t& value) noexcept {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (!t.empty() && t.front() == '$') {
        base = 16;
        t.remove_prefix(1);
    } else if (t.size() > 1 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    }
    if (t.empty()) return false;
    std::uint64_t u = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), u, base);
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return false;
    if (base == 10) {
        if (u > (negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull)) return false;
        value = negative ? static_cast<std::int64_t>(0 - u) : static_cast<std::int64_t>(u);
    } else {
        value = static_cast<std::int64_t>(negative ? 0 - u : u);
    }
    return true;
}

std::int64_t text_to_int64(std::string_view text) {
    std::int64_t v = 0;
    if (!try_text_to_int64(text, v)) convert_error(text, "integer value");
    return v;
}

std::int32_t text_to_int(std::string_view text) {
    std::int64_t v = 0;
    if (!try_text_to_int64(text, v)) convert_error(text, "integer value");
    const bool hex = text.find_first_of("$xX") != std::string_view::npos;
    if (hex ? (v < -0xFFFFFFFFll || v > 0xFFFFFFFFll) : (v < INT32_MIN || v > INT32_MAX))
        convert_error(text, "integer value");
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
}

bool try_text_to_float(std::string_view text, double& value) noexcept {
    std::string_view t = trim_spaces(text);
    if (!t.empty() && t.front() == '+') t.remove_prefix(1);
    if (t.empty()) return false;
    for (char c : t)
        if (!is_digit(c) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E') return false;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

double text_to_float(std::string_view text) {
    // The strict form reads as the program's other number texts do: with the configured separator.
    double v = 0;
    if (!TryStrToFloat(Utf8ToWide(text), v)) convert_error(text, "floating point value");
    return v;
}

bool try_text_to_bool(std::string_view text, bool& value) noexcept {
    auto same = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if ((a[i] | 0x20) != b[i]) return false;
        return true;
    };
    if (same(text, "true")) {
        value = true;
        return true;
    }
    if (same(text, "false")) {
        value = false;
        return true;
    }
    double d = 0;
    if (try_text_to_float(text, d)) {
        value = d != 0;
        return true;
    }
    std::int64_t i = 0;
    if (try_text_to_int64(text, i)) {
        value = i != 0;
        return true;
    }
    return false;
}

bool text_to_bool(std::string_view text) {
    bool v = false;
    if (!try_text_to_bool(text, v)) convert_error(text, "boolean value");
    return v;
}

bool try_text_to_datetime(std::string_view text, bool use_local_bias, double& value) noexcept {
    // Fixed 1-based positions; a field past the end of the text is simply missing.
    auto field = [&](std::size_t pos, std::size_t len, int& out) {
        if (pos - 1 + len > text.size()) return false;
        out = 0;
        for (std::size_t k = pos - 1; k < pos - 1 + len; ++k) {
            if (!is_digit(text[k])) return false;
            out = out * 10 + (text[k] - '0');
        }
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    if (!field(1, 4, y) || !field(6, 2, mo) || !field(9, 2, d)) return false;
    if (text.size() > 16) {
        if (!field(12, 2, h) || !field(15, 2, mi)) return false;
        if (!field(18, 2, s)) s = 0;
        if (!field(21, 3, ms)) ms = 0;
    }
    if (!valid_date(y, mo, d) || h > 23 || mi > 59 || s > 59) return false;
    value = encode_datetime(y, mo, d, h, mi, s, ms);
    if (use_local_bias) {
        if (text.size() > 24) {
            int zh = 0, zm = 0;
            if (!field(25, 2, zh)) zh = 0;
            if (!field(28, 2, zm)) zm = 0;
            const double offset = (zh * 60 + zm) / 1440.0;
            value = text[23] == '+' ? value - offset : value + offset;
        }
        value -= xml_platform::local_bias_minutes() / 1440.0;
    }
    return true;
}

double text_to_datetime(std::string_view text, bool use_local_bias) {
    double v = 0;
    if (!try_text_to_datetime(text, use_local_bias, v)) convert_error(text, "date and time");
    return v;
}

} // namespace kq
