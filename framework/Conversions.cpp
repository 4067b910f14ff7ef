#include "framework/Conversions.h"

#include "framework/Exceptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kq {

TFormatSettings FormatSettings;

namespace {

String ascii(std::string_view text) { return String(text.begin(), text.end()); }

String quoted_error(const char16_t* before, StringView text, const char16_t* after) {
    return before + String(text) + after;
}

char16_t fold(char16_t c) noexcept { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

bool is_blank(char16_t c) noexcept { return c <= u' '; }

template <char16_t (*Fold)(char16_t) noexcept>
int compare_folded(StringView a, StringView b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = Fold(a[i]), y = Fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// --- Numbers to text

String unsigned_digits(std::uint64_t value, int base) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, base);
    std::string digits(buffer, result.ptr);
    std::transform(digits.begin(), digits.end(), digits.begin(), [](char c) { return c >= 'a' ? c - 32 : c; });
    return ascii(digits);
}

String zero_padded(String digits, int min_digits) {
    if (static_cast<int>(digits.size()) < min_digits) digits.insert(0, min_digits - digits.size(), u'0');
    return digits;
}

std::optional<String> special_float(double value) {
    if (std::isnan(value)) return String(u"NAN");
    if (std::isinf(value)) return String(value < 0 ? u"-INF" : u"INF");
    return std::nullopt;
}

// The value's significant digits (no trailing zeros) and the decimal exponent of the first one.
struct decimal_digits {
    std::string digits;
    int exponent;
};

decimal_digits significant_digits(double value, int precision) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, precision - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    decimal_digits out{std::string(1, text[0]), 0};
    if (e > 2) out.digits += text.substr(2, e - 2);
    while (out.digits.size() > 1 && out.digits.back() == '0') out.digits.pop_back();
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), out.exponent);
    return out;
}

String general_float(double value, int precision) {
    if (auto special = special_float(value)) return *special;
    if (value == 0) return u"0";
    const decimal_digits d = significant_digits(value, precision);
    String out = value < 0 ? u"-" : u"";
    const String digits = ascii(d.digits);
    if (d.exponent >= precision || d.exponent < -4) {
        out += digits[0];
        if (digits.size() > 1) out += FormatSettings.DecimalSeparator + digits.substr(1);
        return out + u"E" + IntToStr(d.exponent);
    }
    if (d.exponent < 0) return out + u'0' + FormatSettings.DecimalSeparator + String(-d.exponent - 1, u'0') + digits;
    const auto whole = static_cast<std::size_t>(d.exponent) + 1;
    if (digits.size() <= whole) return out + digits + String(whole - digits.size(), u'0');
    return out + digits.substr(0, whole) + FormatSettings.DecimalSeparator + digits.substr(whole);
}

String fixed_float(double value, int decimals) {
    if (auto special = special_float(value)) return *special;
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    String out = ascii(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
    std::replace(out.begin(), out.end(), u'.', FormatSettings.DecimalSeparator);
    return out;
}

// "d.dddE+ddd": precision digits in all, an exponent of at least three digits.
String scientific_float(double value, int precision) {
    if (auto special = special_float(value)) return *special;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                                      precision - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    String out = ascii(text.substr(0, e));
    std::replace(out.begin(), out.end(), u'.', FormatSettings.DecimalSeparator);
    return out + u'E' + char16_t(text[e + 1]) + zero_padded(ascii(text.substr(e + 2)), 3);
}

// --- Format

class formatter {
public:
    formatter(StringView format, std::initializer_list<format_arg> args) : FFormat(format), FArgs(args) {}

    String run() {
        String out;
        while (FAt < FFormat.size()) {
            const char16_t c = FFormat[FAt++];
            if (c != u'%') {
                out += c;
            } else if (peek() == u'%') {
                out += u'%';
                ++FAt;
            } else {
                out += specifier();
            }
        }
        return out;
    }

private:
    [[noreturn]] void invalid() const {
        throw EConvertError(quoted_error(u"Format '", FFormat, u"' invalid or incompatible with argument"));
    }

    char16_t peek() const { return FAt < FFormat.size() ? FFormat[FAt] : u'\0'; }

    const format_arg& next_arg() {
        if (FNext >= FArgs.size())
            throw EConvertError(quoted_error(u"No argument for format '", FFormat, u"'"));
        return FArgs.begin()[FNext++];
    }

    // Digits, or "*" taking the next integer argument; capped, so a wild width cannot exhaust memory.
    std::optional<int> number() {
        constexpr int cap = 1 << 20;
        if (peek() == u'*') {
            ++FAt;
            const format_arg& arg = next_arg();
            if (arg.Kind() != format_arg::kind::integer) invalid();
            return static_cast<int>(std::clamp<std::int64_t>(arg.Integer(), -cap, cap));
        }
        if (peek() < u'0' || peek() > u'9') return std::nullopt;
        int value = 0;
        while (peek() >= u'0' && peek() <= u'9') {
            value = std::min(value * 10 + (peek() - u'0'), cap);
            ++FAt;
        }
        return value;
    }

    String specifier() {
        std::optional<int> width = number();
        if (width && peek() == u':') {
            ++FAt;
            if (*width < 0) invalid();
            FNext = static_cast<std::size_t>(*width);
            width = number();
        }
        bool left = false;
        if (!width && peek() == u'-') {
            left = true;
            ++FAt;
            width = number();
        }
        std::optional<int> precision;
        if (peek() == u'.') {
            ++FAt;
            precision = number().value_or(0);
        }
        if (FAt >= FFormat.size()) invalid();
        const char16_t type = fold(FFormat[FAt++]);
        String text = convert(type, next_arg(), precision);
        const auto pad = static_cast<std::size_t>(std::max(width.value_or(0), 0));
        if (text.size() < pad) text.insert(left ? text.size() : 0, pad - text.size(), u' ');
        return text;
    }

    String convert(char16_t type, const format_arg& arg, std::optional<int> precision) {
        using k = format_arg::kind;
        switch (type) {
        case u'D':
            if (arg.Kind() != k::integer) invalid();
            if (arg.Integer() < 0 && !arg.IsUnsigned64())
                return u'-' + zero_padded(unsigned_digits(0 - static_cast<std::uint64_t>(arg.Integer()), 10),
                                          precision.value_or(0));
            return zero_padded(unsigned_digits(static_cast<std::uint64_t>(arg.Integer()), 10), precision.value_or(0));
        case u'U':
        case u'X': {
            if (arg.Kind() != k::integer) invalid();
            std::uint64_t value = static_cast<std::uint64_t>(arg.Integer());
            // A negative 32-bit value shows as its 32-bit pattern, as the platform's Integer does.
            if (!arg.IsUnsigned64() && arg.Integer() < 0 && arg.Integer() >= std::numeric_limits<std::int32_t>::min())
                value = static_cast<std::uint32_t>(arg.Integer());
            return zero_padded(unsigned_digits(value, type == u'U' ? 10 : 16), precision.value_or(0));
        }
        case u'F':
            if (arg.Kind() != k::floating) invalid();
            return fixed_float(arg.Float(), std::clamp(precision.value_or(2), 0, 18));
        case u'E':
            if (arg.Kind() != k::floating) invalid();
            return scientific_float(arg.Float(), std::clamp(precision.value_or(15), 1, 18));
        case u'G':
            if (arg.Kind() != k::floating) invalid();
            return general_float(arg.Float(), std::clamp(precision.value_or(15), 1, 18));
        case u'P':
            if (arg.Kind() != k::pointer) invalid();
            return zero_padded(unsigned_digits(reinterpret_cast<std::uintptr_t>(arg.Pointer()), 16),
                               2 * sizeof(void*));
        case u'S': {
            if (arg.Kind() != k::text) invalid();
            StringView text = arg.Text();
            if (precision && *precision >= 0 && static_cast<std::size_t>(*precision) < text.size())
                text = text.substr(0, static_cast<std::size_t>(*precision));
            return String(text);
        }
        default: invalid();
        }
    }

    StringView FFormat;
    std::initializer_list<format_arg> FArgs;
    std::size_t FAt = 0;
    std::size_t FNext = 0;
};

// --- Text to numbers

// Parses an integer of the given width; hex may fill the unsigned range and wraps.
template <class I>
bool parse_integer(StringView text, I& value) {
    using U = std::make_unsigned_t<I>;
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    int base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16, ++i;
    } else if (i + 1 < text.size() && text[i] == u'0' && fold(text[i + 1]) == u'X') {
        base = 16, i += 2;
    }
    if (i == text.size()) return false;
    U limit = std::numeric_limits<U>::max();
    if (base == 10) limit = static_cast<U>(std::numeric_limits<I>::max()) + (negative ? 1 : 0);
    U magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = fold(text[i]);
        int digit;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else return false;
        if (magnitude > (limit - static_cast<U>(digit)) / static_cast<U>(base)) return false;
        magnitude = static_cast<U>(magnitude * static_cast<U>(base) + static_cast<U>(digit));
    }
    value = static_cast<I>(negative ? static_cast<U>(0 - magnitude) : magnitude);
    return true;
}

template <class I>
I integer_or_raise(StringView text) {
    I value = 0;
    if (!parse_integer(text, value)) throw EConvertError(quoted_error(u"'", text, u"' is not a valid integer value"));
    return value;
}

// --- Dates

constexpr int days_per_month[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                       {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

bool is_leap(int year) noexcept { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

// Days from 1970-01-01 in the proleptic Gregorian calendar.
constexpr std::int64_t days_from_civil(std::int64_t y, int m, int d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

constexpr std::int64_t epoch_offset = days_from_civil(1899, 12, 30);
constexpr std::int64_t msecs_per_day = 24 * 60 * 60 * 1000;

} // namespace

String Format(StringView format, std::initializer_list<format_arg> args) { return formatter(format, args).run(); }

// --- Numbers

String IntToStr(std::int64_t value) {
    if (value < 0) return u'-' + unsigned_digits(0 - static_cast<std::uint64_t>(value), 10);
    return unsigned_digits(static_cast<std::uint64_t>(value), 10);
}

String detail::hex_digits(std::uint64_t value, int digits) { return zero_padded(unsigned_digits(value, 16), digits); }

int StrToInt(StringView text) { return integer_or_raise<int>(text); }
std::int64_t StrToInt64(StringView text) { return integer_or_raise<std::int64_t>(text); }
bool TryStrToInt(StringView text, int& value) { return parse_integer(text, value); }
bool TryStrToInt64(StringView text, std::int64_t& value) { return parse_integer(text, value); }

int StrToIntDef(StringView text, int fallback) {
    int value = 0;
    return parse_integer(text, value) ? value : fallback;
}

String FloatToStr(double value) { return general_float(value, 15); }

bool TryStrToFloat(StringView text, double& value) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && is_blank(text[begin])) ++begin;
    while (end > begin && is_blank(text[end - 1])) --end;
    // Checked by hand: the C++ parser would also take "inf", "nan" and hex floats.
    std::string number;
    std::size_t i = begin;
    bool negative = false;
    if (i < end && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    int digits = 0;
    auto take_digits = [&] {
        int n = 0;
        for (; i < end && text[i] >= u'0' && text[i] <= u'9'; ++i, ++n) number += static_cast<char>(text[i]);
        return n;
    };
    digits += take_digits();
    if (i < end && text[i] == FormatSettings.DecimalSeparator) {
        number += '.';
        ++i;
        digits += take_digits();
    }
    if (digits == 0) return false;
    if (i < end && fold(text[i]) == u'E') {
        number += 'e';
        ++i;
        if (i < end && (text[i] == u'+' || text[i] == u'-')) number += static_cast<char>(text[i++]);
        if (take_digits() == 0) return false;
    }
    if (i != end) return false;
    double parsed = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), parsed);
    if (result.ec != std::errc()) return false;
    value = negative ? -parsed : parsed;
    return true;
}

double StrToFloat(StringView text) {
    double value = 0;
    if (!TryStrToFloat(text, value))
        throw EConvertError(quoted_error(u"'", text, u"' is not a valid floating point value"));
    return value;
}

std::int64_t Round(double value) {
    // Written out rather than left to the floating-point rounding mode, which foreign code may change.
    const double floor = std::floor(value);
    const double rest = value - floor;
    auto result = static_cast<std::int64_t>(floor);
    if (rest > 0.5 || (rest == 0.5 && result % 2 != 0)) ++result;
    return result;
}

std::int64_t Trunc(double value) { return static_cast<std::int64_t>(value); }

String BoolToStr(bool value, bool use_bool_strs) {
    if (use_bool_strs) return value ? u"True" : u"False";
    return value ? u"-1" : u"0";
}

bool StrToBool(StringView text) {
    if (SameText(text, u"true")) return true;
    if (SameText(text, u"false")) return false;
    double number = 0;
    if (TryStrToFloat(text, number)) return number != 0;
    throw EConvertError(quoted_error(u"'", text, u"' is not a valid boolean value"));
}

// --- Text

String TrimLeft(StringView text) {
    std::size_t begin = 0;
    while (begin < text.size() && is_blank(text[begin])) ++begin;
    return String(text.substr(begin));
}

String TrimRight(StringView text) {
    std::size_t end = text.size();
    while (end > 0 && is_blank(text[end - 1])) --end;
    return String(text.substr(0, end));
}

String Trim(StringView text) { return TrimLeft(TrimRight(text)); }

String UpperCase(StringView text) {
    String out(text);
    std::transform(out.begin(), out.end(), out.begin(), fold);
    return out;
}

String LowerCase(StringView text) {
    String out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; });
    return out;
}

int CompareStr(StringView a, StringView b) { return a.compare(b); }

int CompareText(StringView a, StringView b) { return compare_folded<fold>(a, b); }

bool SameText(StringView a, StringView b) { return a.size() == b.size() && CompareText(a, b) == 0; }

namespace {

// Simple upper case of the letters whose case is a fixed offset or an even/odd pair.
char16_t simple_upper(char16_t c) noexcept {
    if (c < 0x80) return fold(c);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
        return char16_t(c - 0x20);
    if (c == 0xFF) return 0x178;
    if (c == 0x3C2) return 0x3A3; // final sigma
    if (c >= 0x450 && c <= 0x45F) return char16_t(c - 0x50);
    // Latin Extended-A: upper case first in each pair, except in the two runs that start on an odd code;
    // dotted and dotless i have no simple pair.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return (c & 1) ? char16_t(c - 1) : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : char16_t(c - 1);
    return c;
}

} // namespace

int AnsiCompareText(StringView a, StringView b) {
#ifdef _WIN32
    const auto* x = reinterpret_cast<const wchar_t*>(a.data());
    const auto* y = reinterpret_cast<const wchar_t*>(b.data());
    // String sort: word sort would ignore hyphens and apostrophes, making "co-op" equal to "coop".
    const int result = ::CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, x,
                                        static_cast<int>(a.size()), y, static_cast<int>(b.size()));
    if (result != 0) return result - CSTR_EQUAL;
#endif
    return compare_folded<simple_upper>(a, b);
}

bool AnsiSameText(StringView a, StringView b) { return AnsiCompareText(a, b) == 0; }

int Pos(StringView sub, StringView text) {
    if (sub.empty()) return 0;
    const std::size_t at = text.find(sub);
    return at == StringView::npos ? 0 : static_cast<int>(at) + 1;
}

String StringReplace(StringView text, StringView old_pattern, StringView new_pattern, unsigned flags) {
    if (old_pattern.empty()) return String(text);
    const String haystack = flags & rfIgnoreCase ? UpperCase(text) : String(text);
    const String needle = flags & rfIgnoreCase ? UpperCase(old_pattern) : String(old_pattern);
    String out;
    std::size_t from = 0;
    for (std::size_t at; (at = haystack.find(needle, from)) != String::npos;) {
        out.append(text.substr(from, at - from)).append(new_pattern);
        from = at + needle.size();
        if (!(flags & rfReplaceAll)) break;
    }
    return out.append(text.substr(from));
}

// --- Files and folders

namespace {

#ifdef _WIN32
constexpr StringView path_delimiters = u"\\/:";
#else
constexpr StringView path_delimiters = u"/";
#endif

std::size_t after_last_delimiter(StringView file_name) {
    const std::size_t at = file_name.find_last_of(path_delimiters);
    return at == StringView::npos ? 0 : at + 1;
}

std::filesystem::path fs_path(const String& path) { return std::filesystem::path(path); }

} // namespace

String IncludeTrailingPathDelimiter(StringView path) {
    String out(path);
    if (out.empty() || out.back() != PathDelim) out += PathDelim;
    return out;
}

String ExcludeTrailingPathDelimiter(StringView path) {
    String out(path);
    if (!out.empty() && out.back() == PathDelim) out.pop_back();
    return out;
}

String ExtractFilePath(StringView file_name) { return String(file_name.substr(0, after_last_delimiter(file_name))); }

String ExtractFileName(StringView file_name) { return String(file_name.substr(after_last_delimiter(file_name))); }

String ExtractFileExt(StringView file_name) {
    const std::size_t dot = file_name.find_last_of(u'.');
    if (dot == StringView::npos || dot < after_last_delimiter(file_name)) return {};
    return String(file_name.substr(dot));
}

bool FileExists(const String& file_name) {
    std::error_code error;
    const auto status = std::filesystem::status(fs_path(file_name), error);
    return !error && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
}

bool DirectoryExists(const String& path) {
    std::error_code error;
    return std::filesystem::is_directory(fs_path(path), error);
}

bool ForceDirectories(const String& path) {
    const String folder = ExcludeTrailingPathDelimiter(path);
    if (folder.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(fs_path(folder), error);
    return DirectoryExists(folder);
}

// --- Dates

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > days_per_month[is_leap(year)][month - 1])
        throw EConvertError(u"Invalid argument to date encode");
    return static_cast<TDateTime>(days_from_civil(year, month, day) - epoch_offset);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999)
        throw EConvertError(u"Invalid argument to time encode");
    return static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / msecs_per_day;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    // The whole part counts days also before 1899-12-30; the fraction is always the time of day.
    const std::int64_t z = Trunc(value) + epoch_offset + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond) {
    const double fraction = std::fabs(value - static_cast<double>(Trunc(value)));
    // Rounding may reach the next midnight; the time stays within its day.
    const std::int64_t ms = std::min(Round(fraction * msecs_per_day), msecs_per_day - 1);
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    millisecond = static_cast<int>(ms % 1000);
}

TDateTime Now() {
#ifdef _WIN32
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    return EncodeDate(t.wYear, t.wMonth, t.wDay) + EncodeTime(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
#else
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm t{};
    ::localtime_r(&now.tv_sec, &t);
    return EncodeDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) +
           EncodeTime(t.tm_hour, t.tm_min, std::min(t.tm_sec, 59), static_cast<int>(now.tv_nsec / 1000000));
#endif
}

} // namespace kq
