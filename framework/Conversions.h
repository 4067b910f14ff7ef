#pragma once
// Number, date-time and file-name texts, Format, Round, FormatSettings.
#include "framework/Strings.h"

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace kq {

// Number texts do not follow the machine's locale; only this setting changes them.
struct TFormatSettings {
    char16_t DecimalSeparator = u'.';
};
extern TFormatSettings FormatSettings;

// --- Format

// One argument of Format: an integer, a float, a text or a pointer.
class format_arg {
public:
    enum class kind { integer, floating, text, pointer };

    template <class I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool> &&
                                            !std::is_same_v<I, char16_t> && !std::is_same_v<I, char>,
                                        int> = 0>
    format_arg(I value) noexcept
        : FKind(kind::integer), FInteger(static_cast<std::int64_t>(value)), FUnsigned64(sizeof(I) == 8 &&
                                                                                     std::is_unsigned_v<I>) {}
    // Deleted so that they cannot slip in as numbers or pointers.
    format_arg(bool) = delete;
    format_arg(char16_t) = delete;
    format_arg(char) = delete;
    format_arg(const char*) = delete;
    format_arg(double value) noexcept : FKind(kind::floating), FFloat(value) {}
    format_arg(StringView value) noexcept : FKind(kind::text), FText(value) {}
    format_arg(const String& value) noexcept : FKind(kind::text), FText(value) {}
    format_arg(const char16_t* value) noexcept : FKind(kind::text), FText(value ? StringView(value) : StringView()) {}
    format_arg(const void* value) noexcept : FKind(kind::pointer), FPointer(value) {}

    kind Kind() const noexcept { return FKind; }
    std::int64_t Integer() const noexcept { return FInteger; }
    bool IsUnsigned64() const noexcept { return FUnsigned64; }
    double Float() const noexcept { return FFloat; }
    StringView Text() const noexcept { return FText; }
    const void* Pointer() const noexcept { return FPointer; }

private:
    kind FKind;
    std::int64_t FInteger = 0;
    bool FUnsigned64 = false;
    double FFloat = 0;
    StringView FText;
    const void* FPointer = nullptr;
};

// Specifiers: "%" [index ":"] ["-"] [width] ["." precision] type, where index, width and precision may
// be "*" (taken from the next integer argument). Types: d u x X (hex digits are upper case) f e g p s,
// and "%%". %.Nd pads with zeros to N digits; %f without a precision shows 2 decimals. An argument of
// the wrong kind raises EConvertError "Format '%s' invalid or incompatible with argument"; a missing one
// "No argument for format '%s'".
String Format(StringView format, std::initializer_list<format_arg> args = {});

// --- Numbers

String IntToStr(std::int64_t value);
namespace detail {
String hex_digits(std::uint64_t value, int digits);
}

// Upper-case hex digits, at least digits of them; a negative value shows its pattern in its own width.
template <class I, std::enable_if_t<std::is_integral_v<I>, int> = 0>
String IntToHex(I value, int digits) {
    return detail::hex_digits(static_cast<std::make_unsigned_t<I>>(value), digits);
}

// Leading blanks, a sign, then decimal digits or "$"/"0x" and hex digits; hex may use the whole unsigned
// range and wraps to the signed type. Anything else raises EConvertError "'%s' is not a valid integer value".
int StrToInt(StringView text);
std::int64_t StrToInt64(StringView text);
int StrToIntDef(StringView text, int fallback);
bool TryStrToInt(StringView text, int& value);
bool TryStrToInt64(StringView text, std::int64_t& value);

// 15 significant digits, fixed unless the exponent is 15 or more or the value is below 1E-5.
String FloatToStr(double value);
// Blanks around the number are allowed; EConvertError "'%s' is not a valid floating point value".
double StrToFloat(StringView text);
bool TryStrToFloat(StringView text, double& value);

// Half to even; values beyond the 64-bit range are a caller's bug.
std::int64_t Round(double value);
std::int64_t Trunc(double value);

// "True"/"False" with use_bool_strs, else "-1"/"0".
String BoolToStr(bool value, bool use_bool_strs = false);
// "true"/"false" in any case, or a number (0 is false); EConvertError "'%s' is not a valid boolean value".
bool StrToBool(StringView text);

// --- Text

String Trim(StringView text);      // drops characters up to and including the blank at both ends
String TrimLeft(StringView text);
String TrimRight(StringView text);
// The letters A to Z only; other characters stay as they are.
String UpperCase(StringView text);
String LowerCase(StringView text);
// Ordinal comparisons; < 0, 0, > 0. CompareText folds A to Z only.
int CompareStr(StringView a, StringView b);
int CompareText(StringView a, StringView b);
bool SameText(StringView a, StringView b);
// The user's locale, case ignored (CompareString on Win32); natively an ordinal comparison after simple
// upper-casing of Latin, Greek, Cyrillic and full-width letters.
int AnsiCompareText(StringView a, StringView b);
bool AnsiSameText(StringView a, StringView b);
// 1-based index of the first occurrence, 0 when absent.
int Pos(StringView sub, StringView text);

enum TReplaceFlag : unsigned { rfReplaceAll = 1, rfIgnoreCase = 2 };
String StringReplace(StringView text, StringView old_pattern, StringView new_pattern, unsigned flags);

// --- Files and folders

#ifdef _WIN32
constexpr char16_t PathDelim = u'\\';
#else
constexpr char16_t PathDelim = u'/';
#endif

String IncludeTrailingPathDelimiter(StringView path);
String ExcludeTrailingPathDelimiter(StringView path);
// Up to and including the last delimiter (or drive colon); the rest.
String ExtractFilePath(StringView file_name);
String ExtractFileName(StringView file_name);
String ExtractFileExt(StringView file_name);

bool FileExists(const String& file_name);      // an existing entry that is not a folder
bool DirectoryExists(const String& path);
// Creates the folder and every missing parent; false when that fails.
bool ForceDirectories(const String& path);

// --- Dates

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

// EConvertError "Invalid argument to date encode" / "Invalid argument to time encode" out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond);
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& millisecond);
// Local time.
TDateTime Now();

} // namespace kq
