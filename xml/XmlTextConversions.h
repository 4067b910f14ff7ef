#pragma once
// Stateless text work: UTF-8/UTF-16/ANSI, line ends, entities and references, Base64, number and date-time texts.
#include "framework/Strings.h"
#include "xml/XmlTypes.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Stateless text conversions shared by the document, the nodes, the parser and the writer. All text is
// UTF-8 unless a name says otherwise.
namespace kq {

// Appends UTF-16 units as UTF-8 (one to three bytes, surrogate halves each on their own), turning CR LF
// and a lone CR into LF; `last_cr` carries a CR from one call to the next.
struct utf8_sink {
    std::string& out;
    bool last_cr = false;
    void put(std::uint32_t unit);
};

// UTF-16 to UTF-8, one to three bytes per unit (surrogate halves each become three), line ends to LF.
std::string WideToUtf8(StringView text);
// UTF-8 to UTF-16, one unit per sequence of up to three bytes and a surrogate pair for four; a broken
// sequence is dropped together with the byte that broke it. Line ends are kept.
String Utf8ToWide(std::string_view text);

// Bytes of a code page (0: the system's ANSI code page) to UTF-8 with line ends normalised.
std::string utf8_from_ansi(std::string_view bytes, int codepage);
// UTF-8 to bytes of a code page; characters it lacks become "?" and set `used_default`.
std::string ansi_from_utf8(std::string_view text, int codepage, bool& used_default);

// CR LF and a lone CR become LF.
std::string normalise_line_ends(std::string_view text);
// LF to the style's line end.
std::string convert_line_ends(std::string_view text, TXmlEolStyle style);

// The five special characters as entities.
std::string escape_text(std::string_view text);

// Looks up a non-standard reference ("&name;") among the entity declarations in reach; false when unknown.
using entity_lookup = std::function<bool(std::string_view reference, std::string& value)>;
// Replaces the standard entities and character references; other references go through `lookup` (when
// given) or stay as they are, and set `non_standard`.
std::string resolve_references(std::string_view text, bool& non_standard, const entity_lookup* lookup = nullptr);

// Characters below 33 off both ends; `trimmed` tells whether anything went.
std::string trim_text(std::string_view text, bool& trimmed);
struct blank_split {
    std::string_view leading, core, trailing;
};
blank_split split_blanks(std::string_view text) noexcept;

std::string encode_base64(std::string_view bytes);
// `control_chars` before the characters at 0, 76, 152, ... and once at the end.
std::string insert_line_breaks(std::string_view text, std::string_view control_chars, int line_length = 76);
// Tabs, line ends and spaces removed.
std::string strip_base64_blanks(std::string_view text);
// Decoded bytes of a cleaned Base64 text that must hold at least `count` bytes; raises the filer errors.
std::string decode_base64(std::string_view cleaned, std::size_t count);
// Byte count of a cleaned Base64 text; raises "error while calculating streamlength".
std::size_t base64_length(std::string_view cleaned);
// Pairs of hexadecimal digits into at most `count` bytes; stops at the first pair that is not hexadecimal.
std::string decode_hex(std::string_view text, std::size_t count);

std::string int_to_text(std::int64_t value);
// "$" and upper-case digits padded with zeros to `digits`.
std::string hex_to_text(std::uint64_t value, int digits);
std::string float_to_text(double value, int significant_digits, bool allow_exponent);
std::string bool_to_text(bool value);

struct datetime_parts {
    bool date = true;
    bool time = true;
    int fraction_digits = 0;
    bool local_zone = false;
};
// `value` in days since 30 December 1899, the time of day as the fraction.
std::string datetime_to_text(double value, const datetime_parts& parts);

// Strict readers raise EConvertError with the platform's texts.
std::int32_t text_to_int(std::string_view text);
std::int64_t text_to_int64(std::string_view text);
bool try_text_to_int64(std::string_view text, std::int64_t& value) noexcept;
// With FormatSettings.DecimalSeparator as the decimal separator.
double text_to_float(std::string_view text);
// "." as the decimal separator; false on any failure.
bool try_text_to_float(std::string_view text, double& value) noexcept;
bool text_to_bool(std::string_view text);
bool try_text_to_bool(std::string_view text, bool& value) noexcept;
// Fixed character positions; false when the date or time is not valid.
bool try_text_to_datetime(std::string_view text, bool use_local_bias, double& value) noexcept;
double text_to_datetime(std::string_view text, bool use_local_bias);

// Calendar helpers on the same day count.
double encode_datetime(int year, int month, int day, int hour, int minute, int second, int msec);
void decode_datetime(double value, int& year, int& month, int& day, int& hour, int& minute, int& second, int& msec);

} // namespace kq
