#include "xml/XmlTextConversions.h"

#include "framework/Exceptions.h"
#include "xml/XmlPlatform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace kq;

TEST(TextConversions, Utf16ToUtf8NormalisesLineEnds) {
    struct row { String in; std::string out; };
    const row rows[] = {
        {u"a\r\nb", "a\nb"},
        {u"a\rb", "a\nb"},
        {u"a\r\r\nb", "a\n\nb"},
        {u"\u00e9\u62db", "\xC3\xA9\xE6\x8B\x9B"},
        {u"\U0001F600", "\xED\xA0\xBD\xED\xB8\x80"}, // each surrogate half on its own
    };
    for (const row& r : rows) EXPECT_EQ(WideToUtf8(r.in), r.out);
}

TEST(TextConversions, Utf8ToUtf16DropsBrokenSequences) {
    struct row { std::string in; String out; };
    const row rows[] = {
        {"\xC3\x28", u""},                        // the lead and the byte that broke it go
        {"a\xC3\xA9z", u"a\u00e9z"},
        {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"}, // halves written separately come back as a pair
        {"\xF0\x9F\x98\x80", u"\U0001F600"},     // four-byte form read as a pair
        {"x\xE6\x8B", u"x"},                     // cut at the end of the text: nothing read past it
        {"a\r\nb", u"a\r\nb"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.in);
        EXPECT_EQ(Utf8ToWide(r.in), r.out);
    }
}

TEST(TextConversions, LineEndStyles) {
    EXPECT_EQ(normalise_line_ends("a\r\nb\rc\n"), "a\nb\nc\n");
    EXPECT_EQ(convert_line_ends("a\nb", esLF), "a\nb");
    EXPECT_EQ(convert_line_ends("a\nb", esCR), "a\rb");
    EXPECT_EQ(convert_line_ends("a\nb", esCRLF), "a\r\nb");
    EXPECT_EQ(convert_line_ends("a\rb", esCRLF), "a\rb"); // no LF: unchanged
}

TEST(TextConversions, EscapeAndResolveRoundTrip) {
    const std::string plain = "a<b & 'c' \"d\">";
    const std::string escaped = escape_text(plain);
    EXPECT_EQ(escaped, "a&lt;b &amp; &apos;c&apos; &quot;d&quot;&gt;");
    bool non_standard = true;
    EXPECT_EQ(resolve_references(escaped, non_standard), plain);
    EXPECT_FALSE(non_standard);
}

TEST(TextConversions, ResolvingReferences) {
    struct row { std::string in; std::string out; bool non_standard; };
    const row rows[] = {
        {"&#65;&#x42;", "AB", false},
        {"&#X42;", "B", false},
        {"&#x10000;", "&#x10000;", true}, // above FFFF stays
        {"&#13;", "\n", false},           // a CR reference arrives as LF
        {"&nbsp;", "&nbsp;", true},
        {"a & b", "a & b", false},        // no semicolon after it
        {"&a &amp;", "&a &", false},      // another ampersand comes first
        {"&#;", "&#;", true},
        {"&#12a;", "&#12a;", true},
        {"&", "&", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.in);
        bool non_standard = false;
        EXPECT_EQ(resolve_references(r.in, non_standard), r.out);
        EXPECT_EQ(non_standard, r.non_standard);
    }
    const entity_lookup lookup = [](std::string_view ref, std::string& value) {
        if (ref != "&me;") return false;
        value = "\"Me\"";
        return true;
    };
    bool non_standard = false;
    EXPECT_EQ(resolve_references("hi &me; &you;", non_standard, &lookup), "hi \"Me\" &you;");
    EXPECT_TRUE(non_standard);
}

TEST(TextConversions, ResolvingManyAmpersandsWithoutSemicolonIsLinear) {
    // Each '&' used to look for a ';' through the rest of the text: a megabyte took seconds.
    struct row { std::string unit; std::string tail; std::string tail_out; };
    const row rows[] = {
        {"&a", "", ""},
        {"x&", "&amp;", "&"},
        {"&&", "&lt;", "<"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.unit + r.tail);
        std::string text;
        for (std::size_t i = 0; i < (1u << 20) / r.unit.size(); ++i) text += r.unit;
        const std::string expected = text + r.tail_out;
        text += r.tail;
        bool non_standard = true;
        EXPECT_EQ(resolve_references(text, non_standard), expected);
        EXPECT_FALSE(non_standard);
    }
}

TEST(TextConversions, TrimAndSplitBlanks) {
    bool trimmed = false;
    EXPECT_EQ(trim_text(" \t x y\n", trimmed), "x y");
    EXPECT_TRUE(trimmed);
    EXPECT_EQ(trim_text("  ", trimmed), "");
    EXPECT_EQ(trim_text("xy", trimmed), "xy");
    EXPECT_FALSE(trimmed);
    const blank_split s = split_blanks("\n  core text \t");
    EXPECT_EQ(s.leading, "\n  ");
    EXPECT_EQ(s.core, "core text");
    EXPECT_EQ(s.trailing, " \t");
    const blank_split blank = split_blanks(" \n ");
    EXPECT_EQ(blank.leading, " \n ");
    EXPECT_TRUE(blank.core.empty() && blank.trailing.empty());
}

TEST(TextConversions, Base64) {
    struct row { std::string bytes; std::string text; };
    const row rows[] = {{"abc", "YWJj"}, {"ab", "YWI="}, {"a", "YQ=="}, {"", ""}, {std::string("\xFF\xFE\x00", 3), "//4A"}};
    for (const row& r : rows) {
        EXPECT_EQ(encode_base64(r.bytes), r.text);
        EXPECT_EQ(decode_base64(r.text, base64_length(r.text)), r.bytes);
    }
    EXPECT_EQ(decode_base64(strip_base64_blanks("YW Jj\r\n"), 3), "abc");
    EXPECT_EQ(base64_length("YWI="), 2u);
    EXPECT_EQ(base64_length("YWJj"), 3u);
    EXPECT_THROW(base64_length("YWJ"), EFilerError);
    try {
        decode_base64("YWJ", 2);
        FAIL();
    } catch (const EFilerError& e) {
        EXPECT_EQ(e.Message(), u"error while calculating streamlength");
    }
    try {
        decode_base64("YWJj", 4);
        FAIL();
    } catch (const EFilerError& e) {
        EXPECT_EQ(e.Message(), u"missing data in binary stream");
    }
    EXPECT_EQ(decode_base64("Y!Jj", 3), std::string("`\x02\x63", 3)); // outside the alphabet counts as 0
}

TEST(TextConversions, LineBreaksEvery76Characters) {
    const std::string text(160, 'A');
    const std::string out = insert_line_breaks(text, "\r\n");
    EXPECT_EQ(out, "\r\n" + text.substr(0, 76) + "\r\n" + text.substr(76, 76) + "\r\n" + text.substr(152) + "\r\n");
    EXPECT_EQ(insert_line_breaks("", "|"), "|");
    EXPECT_EQ(insert_line_breaks("abc", ""), "abc");
}

TEST(TextConversions, HexadecimalDecoding) {
    EXPECT_EQ(decode_hex("4a6B", 2), "Jk");
    EXPECT_EQ(decode_hex("4a6", 2), "J");   // never reads past the text
    EXPECT_EQ(decode_hex("4aZZ41", 4), "J"); // stops at a pair that is not hexadecimal
    EXPECT_THROW(decode_hex("4a", 3), EFilerError);
}

TEST(TextConversions, FloatText) {
    struct row { double v; int digits; bool exp; std::string text; };
    const row rows[] = {
        {1.5, 6, true, "1.5"},         {100, 6, true, "100"},
        {0.5, 6, true, ".5"},          {0.001234, 6, true, "1.234E-3"},
        {1e9, 6, true, "1.00000E9"},   {1e9, 6, false, "1000000000"},
        {0.001234, 6, false, ".001234"}, {-2.5, 6, true, "-2.5"},
        {123456789, 6, true, "1.23457E8"}, {0, 6, true, "0"},
        {2.5, 1, true, "2"},           {0.0999999, 3, true, ".1"},
        {INFINITY, 6, true, "INF"},    {-INFINITY, 6, true, "-INF"},
        {NAN, 6, true, "NAN"},         {5e-324, 6, true, "4.94066E-324"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        EXPECT_EQ(float_to_text(r.v, r.digits, r.exp), r.text);
    }
    EXPECT_THROW(float_to_text(1, 0, true), Exception);
    EXPECT_THROW(float_to_text(1, 10, true), Exception);
}

TEST(TextConversions, NumberAndBooleanReaders) {
    EXPECT_EQ(text_to_int("-42"), -42);
    EXPECT_EQ(text_to_int("$FF"), 255);
    EXPECT_EQ(text_to_int("0x10"), 16);
    EXPECT_EQ(text_to_int64("-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(hex_to_text(0xAB, 4), "$00AB");
    EXPECT_EQ(int_to_text(-7), "-7");
    try {
        text_to_int("12x");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), u"'12x' is not a valid integer value");
    }
    EXPECT_THROW(text_to_int("2147483648"), EConvertError);
    EXPECT_THROW(text_to_int(""), EConvertError);
    EXPECT_DOUBLE_EQ(text_to_float("1.5e2"), 150);
    EXPECT_THROW(text_to_float("1,5"), EConvertError);
    EXPECT_THROW(text_to_float("nan"), EConvertError);
    struct row { std::string text; bool ok; bool value; };
    const row rows[] = {{"TRUE", true, true}, {"false", true, false}, {"0", true, false},
                        {"-3", true, true},   {"yes", false, false},  {"", false, false}};
    for (const row& r : rows) {
        bool v = !r.value;
        EXPECT_EQ(try_text_to_bool(r.text, v), r.ok) << r.text;
        if (r.ok) {
            EXPECT_EQ(v, r.value) << r.text;
        }
    }
}

TEST(TextConversions, DateTimeText) {
    const double t = encode_datetime(2018, 9, 21, 10, 15, 30, 456);
    struct row { datetime_parts parts; std::string text; };
    const row rows[] = {
        {{true, false, 0, false}, "2018-09-21"},
        {{false, true, 0, false}, "10:15:30Z"},
        {{true, true, 0, false}, "2018-09-21T10:15:30Z"},
        {{true, true, 3, false}, "2018-09-21T10:15:30.456Z"},
        {{true, true, 2, false}, "2018-09-21T10:15:30.45Z"},
    };
    for (const row& r : rows) EXPECT_EQ(datetime_to_text(t, r.parts), r.text);
    // The local zone is written from the bias, without converting the time.
    const int bias = xml_platform::local_bias_minutes();
    char zone[16];
    std::snprintf(zone, sizeof zone, "%s%.2d:%.2d", bias <= 0 ? "+" : "-", std::abs(bias) / 60, std::abs(bias) % 60);
    EXPECT_EQ(datetime_to_text(t, {true, true, 3, true}), std::string("2018-09-21T10:15:30.456") + zone);
    EXPECT_DOUBLE_EQ(encode_datetime(1899, 12, 30, 0, 0, 0, 0), 0);
    EXPECT_DOUBLE_EQ(encode_datetime(1900, 1, 1, 12, 0, 0, 0), 2.5);
}

TEST(TextConversions, ReadingDateTimeUsesFixedPositionsWithinTheText) {
    struct row { std::string text; bool ok; double value; };
    const row rows[] = {
        {"2018-09-21", true, encode_datetime(2018, 9, 21, 0, 0, 0, 0)},
        {"2018-09-21T10:15:30Z", true, encode_datetime(2018, 9, 21, 10, 15, 30, 0)},
        {"2018-09-21T10:15:30.123Z", true, encode_datetime(2018, 9, 21, 10, 15, 30, 123)},
        {"2018-09-21T10:15", true, encode_datetime(2018, 9, 21, 0, 0, 0, 0)}, // 16 characters: no time read
        {"2018-09-21T10:15:", true, encode_datetime(2018, 9, 21, 10, 15, 0, 0)},
        {"2018-02-30", false, 0},
        {"2018-09", false, 0},             // shorter than the date: nothing read past the end
        {"", false, 0},
        {"2018-09-21T25:00:00Z", false, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.text);
        double v = -1;
        EXPECT_EQ(try_text_to_datetime(r.text, false, v), r.ok);
        if (r.ok) {
            EXPECT_NEAR(v, r.value, 1e-9);
        }
    }
    EXPECT_THROW(text_to_datetime("x", false), EConvertError);
    // With the local zone, an offset moves the value to UTC, then the local bias applies.
    const double bias = xml_platform::local_bias_minutes() / 1440.0;
    double v = 0;
    ASSERT_TRUE(try_text_to_datetime("2018-09-21T10:15:30.000+08:00", true, v));
    EXPECT_NEAR(v, encode_datetime(2018, 9, 21, 2, 15, 30, 0) - bias, 1e-9);
    ASSERT_TRUE(try_text_to_datetime("2018-09-21T10:15:30.000-01:30", true, v));
    EXPECT_NEAR(v, encode_datetime(2018, 9, 21, 11, 45, 30, 0) - bias, 1e-9);
}

TEST(TextConversions, CodePages) {
    bool used_default = false;
    EXPECT_EQ(utf8_from_ansi("caf\xE9\r\n", 1252), "caf\xC3\xA9\n");
    EXPECT_EQ(ansi_from_utf8("caf\xC3\xA9", 1252, used_default), "caf\xE9");
    EXPECT_FALSE(used_default);
    EXPECT_EQ(ansi_from_utf8("\xE6\x8B\x9B!", 1252, used_default), "?!");
    EXPECT_TRUE(used_default);
    if (!xml_platform::codepage_supported(936)) GTEST_SKIP() << "code page 936 not available here";
    // A double-byte code page keeps its pairs together, a trail byte in the ASCII range included.
    EXPECT_EQ(utf8_from_ansi("\xD5\xD0\xB1\xEA", 936), "招标");
    EXPECT_EQ(utf8_from_ansi("\x81\x40", 936), "\xE4\xB8\x82");
    EXPECT_EQ(ansi_from_utf8("招标", 936, used_default), "\xD5\xD0\xB1\xEA");
    EXPECT_FALSE(used_default);
}
