// Number, boolean and Format texts from anywhere may only succeed or raise EConvertError, and what the
// framework writes must read back.

#include "fuzz/FuzzInput.h"
#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Lists.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

namespace {

using namespace kq;

using fuzz::check;

template <class I, class Raising, class Trying>
void integer_reader(StringView text, Raising raising, Trying trying) {
    I tried = 0;
    const bool valid = trying(text, tried);
    try {
        const I value = raising(text);
        check(valid && value == tried);
    } catch (const EConvertError&) {
        check(!valid);
    }
    if (valid) check(raising(IntToStr(tried)) == tried);
}

void integers(StringView text) {
    integer_reader<int>(text, StrToInt, TryStrToInt);
    integer_reader<std::int64_t>(text, StrToInt64, TryStrToInt64);
    int narrow = 0;
    const bool narrow_valid = TryStrToInt(text, narrow);
    check(StrToIntDef(text, 12345) == (narrow_valid ? narrow : 12345));
    // A decimal that fits in an int reads the same at both widths (hex wraps at each width).
    std::int64_t wide = 0;
    if (text.find_first_of(u"$xX") == StringView::npos && TryStrToInt64(text, wide) &&
        wide >= std::numeric_limits<int>::min() && wide <= std::numeric_limits<int>::max())
        check(narrow_valid && narrow == wide);
}

// FloatToStr's text reads back, and from then on text and value are stable.
void float_round_trip(double value) {
    if (!std::isfinite(value)) return;
    const String text = FloatToStr(value);
    double back = 0;
    check(TryStrToFloat(text, back));
    check(std::fabs(back - value) <= std::fabs(value) * 1e-14);
    check(FloatToStr(back) == text);
    check(StrToFloat(FloatToStr(back)) == back);
}

void floats(StringView text) {
    double tried = 0;
    const bool valid = TryStrToFloat(text, tried);
    try {
        const double value = StrToFloat(text);
        check(valid && (value == tried || (std::isnan(value) && std::isnan(tried))));
    } catch (const EConvertError&) {
        check(!valid);
    }
    if (valid) float_round_trip(tried);
}

void booleans(StringView text) {
    try {
        const bool value = StrToBool(text);
        check(StrToBool(BoolToStr(value)) == value && StrToBool(BoolToStr(value, true)) == value);
    } catch (const EConvertError&) {
    }
}

// A fixed argument of every kind, with extremes, against a fuzzed format. Padding has a budget per call
// and no single specifier writes more than a few hundred characters besides it.
void format(StringView text) {
    static const int pointee = 0;
    try {
        const String out = Format(text, {42, -7, std::numeric_limits<std::int64_t>::min(),
                                          std::numeric_limits<std::uint64_t>::max(), 3.25, -1e300, 5e-324,
                                          std::numeric_limits<double>::quiet_NaN(), u"text", String(),
                                          static_cast<const void*>(&pointee), std::numeric_limits<int>::max()});
        check(out.size() <= (std::size_t{1} << 20) + 400 * text.size());
    } catch (const EConvertError&) {
    }
}

void string_list(StringView text) {
    TStringList lines;
    lines.SetText(text);
    TStringList again;
    again.SetText(lines.Text());
    check(again.Text() == lines.Text());

    // Any line (no line breaks left) survives the comma form.
    again.SetCommaText(lines.CommaText());
    check(again.Count() == lines.Count());
    for (int i = 0; i < lines.Count(); ++i) check(again.Strings(i) == lines.Strings(i));

    TStringList items;
    items.SetCommaText(text);
    again.SetCommaText(items.CommaText());
    check(again.CommaText() == items.CommaText());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const String text = utf8_to_string(std::string_view(reinterpret_cast<const char*>(data), size));
    integers(text);
    floats(text);
    booleans(text);
    format(text);
    string_list(text);
    // The same bytes as a double: every finite value's text reads back.
    if (size >= sizeof(double)) {
        double value;
        std::memcpy(&value, data, sizeof value);
        float_round_trip(value);
    }
    return 0;
}
