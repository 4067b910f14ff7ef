#include "framework/Conversions.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <cfenv>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <vector>

using namespace kq;

namespace {

// Built by appending: gcc 12 at -O3 warns falsely (-Wrestrict) on a chain of + here.
String quoted(StringView text, StringView tail) {
    String out = u"'";
    out.append(text).append(tail);
    return out;
}

// Writes a path with '|' where the platform's delimiter goes.
String p(StringView text) {
    String out(text);
    for (char16_t& c : out)
        if (c == u'|') c = PathDelim;
    return out;
}

} // namespace

// --- Format

TEST(Format, FillsTheFormsInUse) {
    static int target = 0;
    struct row { StringView format; std::vector<format_arg> args; String expected; };
    const row rows[] = {
        {u"<h2>Failed to load URL %s with error %d</h2>", {u"http://a/", -105},
         u"<h2>Failed to load URL http://a/ with error -105</h2>"},
        {u"%.4d-%.2d-%.2d", {2024, 3, 9}, u"2024-03-09"},
        {u"%.3d|%.2d", {-7, 123}, u"-007|123"},
        {u"[%5d][%-5d][%5s][%-3s]", {42, 42, u"ab", u"ab"}, u"[   42][42   ][   ab][ab ]"},
        {u"[%*d][%-*d]", {4, 7, 3, 8}, u"[   7][8  ]"},
        {u"Item not found ($0%x)", {0x1A2Bc}, u"Item not found ($01A2BC)"},
        {u"%X %.8x", {255, 0xAB}, u"FF 000000AB"},
        {u"%x %u", {-1, -1}, u"FFFFFFFF 4294967295"},
        {u"%d %u", {std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::uint64_t>::max()},
         u"-9223372036854775808 18446744073709551615"},
        {u"%.2s|%.0s|%s", {u"abc", u"abc", u""}, u"ab||"},
        {u"Path%.0f", {32.0}, u"Path32"},
        {u"%f %.3f %.1f", {1.5, -2.0, 0.26}, u"1.50 -2.000 0.3"},
        {u"%e|%.3e", {1234.5, -0.000123}, u"1.23450000000000E+003|-1.23E-004"},
        {u"%g|%.3g", {0.5, 1234.5}, u"0.5|1.23E3"},
        {u"('%s', x);('%0:s', y);%s", {u"n", u"m"}, u"('n', x);('n', y);m"},
        {u"变量 %s 不存在或类型不匹配", {u"甲"}, u"变量 甲 不存在或类型不匹配"},
        {u"100%% %s", {u"done"}, u"100% done"},
        {u"%p", {static_cast<const void*>(&target)}, IntToHex(reinterpret_cast<std::uintptr_t>(&target),
                                                            2 * sizeof(void*))},
        {u"%D %S", {5, u"x"}, u"5 x"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.format));
        switch (r.args.size()) { // Format takes a braced list; build one of the row's length
        case 1: EXPECT_EQ(Format(r.format, {r.args[0]}), r.expected); break;
        case 2: EXPECT_EQ(Format(r.format, {r.args[0], r.args[1]}), r.expected); break;
        case 3: EXPECT_EQ(Format(r.format, {r.args[0], r.args[1], r.args[2]}), r.expected); break;
        case 4: EXPECT_EQ(Format(r.format, {r.args[0], r.args[1], r.args[2], r.args[3]}), r.expected); break;
        default: FAIL() << "row with " << r.args.size() << " arguments";
        }
    }
    EXPECT_EQ(Format(u"no arguments"), u"no arguments");
}

TEST(Format, RejectsBadSpecifiersAndArguments) {
    struct row { StringView format; format_arg arg; StringView expected; };
    const row rows[] = {
        {u"%d", 1.5, u"Format '%d' invalid or incompatible with argument"},
        {u"%s", 1, u"Format '%s' invalid or incompatible with argument"},
        {u"%f", 1, u"Format '%f' invalid or incompatible with argument"},
        {u"%x", u"1", u"Format '%x' invalid or incompatible with argument"},
        {u"%p", 1, u"Format '%p' invalid or incompatible with argument"},
        {u"%*d", u"w", u"Format '%*d' invalid or incompatible with argument"},
        {u"%q", 1, u"Format '%q' invalid or incompatible with argument"},
        {u"ends in %", 1, u"Format 'ends in %' invalid or incompatible with argument"},
        {u"%d %d", 1, u"No argument for format '%d %d'"},
        {u"%1:d", 1, u"No argument for format '%1:d'"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.format));
        EXPECT_EQ(raised_message<EConvertError>([&] { Format(r.format, {r.arg}); }), r.expected);
    }
}

TEST(Format, PaddingOfACallIsBounded) {
    constexpr std::size_t budget = 1 << 20;
    const auto repeated = [](StringView piece, int times) {
        String out;
        for (int i = 0; i < times; ++i) out += piece;
        return out;
    };
    // Arguments: a width, a one-digit number, a one-character text.
    struct row { String format; std::size_t length; };
    const row rows[] = {
        {u"%1:99999999d", budget},
        {repeated(u"%1:1048576d", 64), budget + 64},
        {repeated(u"%1:.1048576d", 64), budget + 64},
        {repeated(u"%2:-1048576s", 64), budget + 64},
        {repeated(u"%0:*d", 64), budget + 64},
        {u"%1:.1048570d%1:20d", budget + 2}, // 7 of the second's 19 blanks are left
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.format.substr(0, 24)));
        EXPECT_EQ(Format(r.format, {1048576, 7, u"x"}).size(), r.length);
    }
}

// --- Numbers

TEST(IntToStr, DecimalAndHex) {
    EXPECT_EQ(IntToStr(0), u"0");
    EXPECT_EQ(IntToStr(-2147483648LL), u"-2147483648");
    EXPECT_EQ(IntToStr(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808");
    EXPECT_EQ(IntToHex(0xBEEF, 8), u"0000BEEF");
    EXPECT_EQ(IntToHex(0x12345, 2), u"12345");
    EXPECT_EQ(IntToHex(0, 0), u"0");
    EXPECT_EQ(IntToHex(-1, 4), u"FFFFFFFF");
    EXPECT_EQ(IntToHex(std::int64_t{-2}, 1), u"FFFFFFFFFFFFFFFE");
    EXPECT_EQ(IntToHex(std::int16_t{-1}, 1), u"FFFF");
}

TEST(StrToInt, AcceptsDecimalAndHexWithSign) {
    struct row { StringView text; int value; };
    const row rows[] = {
        {u"0", 0}, {u"-12", -12}, {u"+7", 7}, {u"  12", 12}, {u"$ff", 255}, {u"0x1F", 31}, {u"0X10", 16},
        {u"-$10", -16}, {u"$FFFFFFFF", -1}, {u"2147483647", 2147483647}, {u"-2147483648", -2147483647 - 1},
        {u"007", 7},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.text));
        EXPECT_EQ(StrToInt(r.text), r.value);
        EXPECT_EQ(StrToIntDef(r.text, 99), r.value);
    }
    EXPECT_EQ(StrToInt64(u"$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64(u"$7FFFFFFFFFFFFFFF"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(StrToInt64(u"-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(StrToInt64(u"4294967296"), 4294967296LL);
}

TEST(StrToInt, RejectsEverythingElse) {
    const StringView bad[] = {u"", u" ", u"-", u"12 ", u"1a", u"$", u"0x", u"$G", u"2147483648", u"-2147483649",
                              u"$100000000", u"--1", u"1.0", u"١٢", u"x10"};
    for (StringView text : bad) {
        SCOPED_TRACE(string_to_utf8(text));
        EXPECT_EQ(raised_message<EConvertError>([&] { StrToInt(text); }), quoted(text, u"' is not a valid integer value"));
        EXPECT_EQ(StrToIntDef(text, 99), 99);
        int value = 5;
        EXPECT_FALSE(TryStrToInt(text, value));
        EXPECT_EQ(value, 5) << "left unchanged";
    }
    EXPECT_EQ(raised_message<EConvertError>([] { StrToInt64(u"9223372036854775808"); }),
              u"'9223372036854775808' is not a valid integer value");
    EXPECT_EQ(raised_message<EConvertError>([] { StrToInt64(u"$10000000000000000"); }),
              u"'$10000000000000000' is not a valid integer value");
}

TEST(FloatToStr, FifteenSignificantDigits) {
    struct row { double value; StringView text; };
    const row rows[] = {
        {0.0, u"0"}, {-0.0, u"0"}, {1.5, u"1.5"}, {-0.25, u"-0.25"}, {100, u"100"}, {1.0 / 3, u"0.333333333333333"},
        {2.0 / 3, u"0.666666666666667"}, {0.1 + 0.2, u"0.3"}, {123456789012345.0, u"123456789012345"},
        {1e15, u"1E15"}, {1.5e20, u"1.5E20"}, {0.0001, u"0.0001"}, {0.00001, u"1E-5"}, {-1.25e-10, u"-1.25E-10"},
        {std::numeric_limits<double>::quiet_NaN(), u"NAN"}, {std::numeric_limits<double>::infinity(), u"INF"},
        {-std::numeric_limits<double>::infinity(), u"-INF"},
        // Rounding up would pass the largest double, and the text would not read back.
        {std::numeric_limits<double>::max(), u"1.79769313486231E308"},
        {-std::numeric_limits<double>::max(), u"-1.79769313486231E308"},
        {1.797693134862315e308, u"1.79769313486231E308"}, {1.79769313486231e308, u"1.79769313486231E308"},
        {1.79769313486229e308, u"1.79769313486229E308"}, {9.99999999999999e307, u"9.99999999999999E307"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(FloatToStr(r.value), r.text);
    }
}

TEST(FloatToStr, ExtremesReadBack) {
    using limits = std::numeric_limits<double>;
    const double values[] = {limits::max(), limits::lowest(), limits::min(), limits::denorm_min(), -limits::denorm_min(),
                             1e308, 9.999999999999999e307, 2.2250738585072009e-308};
    for (double value : values) {
        SCOPED_TRACE(value);
        const String text = FloatToStr(value);
        double back = 0;
        ASSERT_TRUE(TryStrToFloat(text, back)) << string_to_utf8(text);
        EXPECT_LE(std::fabs(back - value), std::fabs(value) * 1e-14);
        EXPECT_EQ(FloatToStr(back), text);
    }
}

TEST(StrToFloat, ParsesPlainNumbersOnly) {
    struct row { StringView text; double value; };
    const row rows[] = {
        {u"1.5", 1.5}, {u" -2.5e3 ", -2500}, {u"+.5", 0.5}, {u"5.", 5}, {u"1E-2", 0.01}, {u"7", 7},
        {u"0.1", 0.1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.text));
        EXPECT_EQ(StrToFloat(r.text), r.value);
    }
    const StringView bad[] = {u"", u" ", u"abc", u"1.5x", u"inf", u"nan", u"0x10", u"1e", u"1e+", u"1,5", u".",
                              u"-", u"1e999", u"1 2"};
    for (StringView text : bad) {
        SCOPED_TRACE(string_to_utf8(text));
        EXPECT_EQ(raised_message<EConvertError>([&] { StrToFloat(text); }),
                  quoted(text, u"' is not a valid floating point value"));
    }
}

TEST(FormatSettings, DecimalSeparatorIsTheOnlyInfluence) {
    const auto restore = scope_exit([] { FormatSettings.DecimalSeparator = u'.'; });
    FormatSettings.DecimalSeparator = u',';
    EXPECT_EQ(FloatToStr(1.5), u"1,5");
    EXPECT_EQ(FloatToStr(1.5e-7), u"1,5E-7");
    EXPECT_EQ(Format(u"%.2f", {0.5}), u"0,50");
    EXPECT_EQ(StrToFloat(u"1,5"), 1.5);
    double value = 0;
    EXPECT_FALSE(TryStrToFloat(u"1.5", value));
}

TEST(Round, IgnoresTheProcessorsRoundingMode) {
    struct row { int mode; const char* name; };
    const row modes[] = {{FE_UPWARD, "upward"}, {FE_DOWNWARD, "downward"}, {FE_TOWARDZERO, "toward zero"}};
    const int saved = std::fegetround();
    for (const row& m : modes) {
        SCOPED_TRACE(m.name);
        std::fesetround(m.mode);
        const std::int64_t got[] = {Round(2.5), Round(3.5), Round(-2.5), Round(-3.5), Round(2.4999), Round(-2.6)};
        std::fesetround(saved);
        const std::int64_t expected[] = {2, 4, -2, -4, 2, -3};
        for (std::size_t i = 0; i < std::size(got); ++i) EXPECT_EQ(got[i], expected[i]) << i;
    }
}

TEST(Round, HalfToEven) {
    struct row { double value; std::int64_t rounded; std::int64_t truncated; };
    const row rows[] = {
        {0.5, 0, 0}, {1.5, 2, 1}, {2.5, 2, 2}, {-0.5, 0, 0}, {-1.5, -2, -1}, {-2.5, -2, -2},
        {2.4999, 2, 2}, {2.5001, 3, 2}, {-2.6, -3, -2}, {1e12 + 0.5, 1000000000000, 1000000000000},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(Round(r.value), r.rounded);
        EXPECT_EQ(Trunc(r.value), r.truncated);
    }
}

TEST(Booleans, TextsBothWays) {
    EXPECT_EQ(BoolToStr(true), u"-1");
    EXPECT_EQ(BoolToStr(false), u"0");
    EXPECT_EQ(BoolToStr(true, true), u"True");
    EXPECT_EQ(BoolToStr(false, true), u"False");
    struct row { StringView text; bool value; };
    const row rows[] = {{u"TRUE", true}, {u"false", false}, {u"0", false}, {u"-1", true}, {u"2", true}};
    for (const row& r : rows) EXPECT_EQ(StrToBool(r.text), r.value) << string_to_utf8(r.text);
    EXPECT_EQ(raised_message<EConvertError>([] { StrToBool(u"yes"); }), u"'yes' is not a valid boolean value");
}

// --- Text

TEST(Text, TrimCaseAndCompare) {
    EXPECT_EQ(Trim(u" \t a b \r\n"), u"a b");
    EXPECT_EQ(TrimLeft(u"  a "), u"a ");
    EXPECT_EQ(TrimRight(u"  a "), u"  a");
    EXPECT_EQ(Trim(u"   "), u"");
    EXPECT_EQ(UpperCase(u"abz{É招"), u"ABZ{É招");
    EXPECT_EQ(LowerCase(u"ABZ@é招"), u"abz@é招");

    struct row { StringView a, b; int text_sign, str_sign; };
    const row rows[] = {
        {u"abc", u"ABC", 0, 1}, {u"a", u"b", -1, -1}, {u"ab", u"a", 1, 1}, {u"", u"", 0, 0},
        {u"_", u"a", 1, -1}, // folds to upper case: "_" sorts after the letters
    };
    auto sign = [](int v) { return (v > 0) - (v < 0); };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.a) + " vs " + string_to_utf8(r.b));
        EXPECT_EQ(sign(CompareText(r.a, r.b)), r.text_sign);
        EXPECT_EQ(sign(CompareStr(r.a, r.b)), r.str_sign);
        EXPECT_EQ(SameText(r.a, r.b), r.text_sign == 0);
    }
}

TEST(Text, LocaleComparisonIgnoresCaseBeyondAscii) {
    struct row { StringView a, b; };
    const row same[] = {
        {u"Äpfel", u"äPFEL"}, {u"ПРИВЕТ ЁЖ", u"привет ёж"}, {u"ΣΟΦΟΣ", u"σοφος"}, {u"Łódź Ÿ", u"łÓDŹ ÿ"},
        {u"Ｆｕｌｌ", u"ｆＵＬＬ"}, {u"招标 Ab", u"招标 aB"}, {u"", u""},
    };
    for (const row& r : same) {
        SCOPED_TRACE(string_to_utf8(r.a));
        EXPECT_EQ(AnsiCompareText(r.a, r.b), 0);
        EXPECT_TRUE(AnsiSameText(r.a, r.b));
    }
    const row ordered[] = {{u"a", u"B"}, {u"B", u"c"}, {u"apple", u"Banana"}, {u"ab", u"ABC"}, {u"Яблоко", u"ящик"}};
    for (const row& r : ordered) {
        SCOPED_TRACE(string_to_utf8(r.a) + " < " + string_to_utf8(r.b));
        EXPECT_LT(AnsiCompareText(r.a, r.b), 0);
        EXPECT_GT(AnsiCompareText(r.b, r.a), 0);
    }
    EXPECT_FALSE(AnsiSameText(u"a", u"ä")) << "accents count";
    EXPECT_FALSE(AnsiSameText(u"co-op", u"coop")) << "punctuation counts";
    EXPECT_FALSE(AnsiSameText(u"it's", u"its"));
    EXPECT_FALSE(SameText(u"Äpfel", u"äPFEL")) << "SameText folds A to Z only";
}

TEST(Text, PosAndStringReplace) {
    EXPECT_EQ(Pos(u"b", u"abcb"), 2);
    EXPECT_EQ(Pos(u"x", u"abc"), 0);
    EXPECT_EQ(Pos(u"", u"abc"), 0);

    struct row { StringView text, from, to; unsigned flags; StringView expected; };
    const row rows[] = {
        {u"a = b = c", u" = ", u" := ", 0, u"a := b = c"},
        {u"a = b = c", u" = ", u" := ", rfReplaceAll, u"a := b := c"},
        {u"Abc aBC", u"bc", u"-", rfReplaceAll | rfIgnoreCase, u"A- a-"},
        {u"Abc aBC", u"bc", u"-", rfReplaceAll, u"A- aBC"},
        {u"aaa", u"a", u"aa", rfReplaceAll, u"aaaaaa"},
        {u"abc", u"", u"x", rfReplaceAll, u"abc"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.text));
        EXPECT_EQ(StringReplace(r.text, r.from, r.to, r.flags), r.expected);
    }
}

// --- Files and folders

TEST(Paths, SplitAndJoin) {
    EXPECT_EQ(IncludeTrailingPathDelimiter(p(u"a|b")), p(u"a|b|"));
    EXPECT_EQ(IncludeTrailingPathDelimiter(p(u"a|b|")), p(u"a|b|"));
    EXPECT_EQ(IncludeTrailingPathDelimiter(u""), p(u"|"));
    EXPECT_EQ(ExcludeTrailingPathDelimiter(p(u"a|b|")), p(u"a|b"));

    struct row { String name, path, file, ext; };
    const row rows[] = {
        {p(u"|x|Setup|kq.exe"), p(u"|x|Setup|"), u"kq.exe", u".exe"},
        {u"kq.tar.gz", u"", u"kq.tar.gz", u".gz"},
        {p(u"a.d|file"), p(u"a.d|"), u"file", u""},
        {p(u"a|"), p(u"a|"), u"", u""},
#ifdef _WIN32
        {u"C:kq.ini", u"C:", u"kq.ini", u".ini"},
        {u"C:\\a/b.txt", u"C:\\a/", u"b.txt", u".txt"},
#endif
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.name));
        EXPECT_EQ(ExtractFilePath(r.name), r.path);
        EXPECT_EQ(ExtractFileName(r.name), r.file);
        EXPECT_EQ(ExtractFileExt(r.name), r.ext);
    }
}

TEST(Paths, FilesAndFolders) {
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "kq-conversions-paths";
    std::filesystem::remove_all(root);
    const auto cleanup = scope_exit([&] { std::filesystem::remove_all(root); });
    const String base = IncludeTrailingPathDelimiter(root.u16string());

    EXPECT_FALSE(DirectoryExists(base + u"招标"));
    EXPECT_TRUE(ForceDirectories(base + p(u"招标|b|c|")));
    EXPECT_TRUE(DirectoryExists(base + p(u"招标|b|c")));
    EXPECT_FALSE(FileExists(base + p(u"招标|b")));
    EXPECT_TRUE(ForceDirectories(base + u"招标")) << "an existing folder is fine";
    EXPECT_FALSE(ForceDirectories(u""));

    std::filesystem::path file = root / std::filesystem::path(u"招标") / "f.txt";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file).put('x');
    EXPECT_TRUE(FileExists(file.u16string()));
    EXPECT_FALSE(DirectoryExists(file.u16string()));
    EXPECT_FALSE(ForceDirectories(file.u16string() + p(u"|sub"))) << "a file stands in the way";
    EXPECT_FALSE(FileExists(base + u"missing.txt"));
}

// --- Dates

TEST(Dates, EncodeKnownDays) {
    struct row { int y, m, d; double serial; };
    const row rows[] = {
        {1899, 12, 30, 0}, {1899, 12, 29, -1}, {1900, 1, 1, 2}, {1900, 3, 1, 61}, {2000, 1, 1, 36526},
        {2000, 2, 29, 36585}, {2024, 3, 9, 45360}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.y << "-" << r.m << "-" << r.d);
        EXPECT_EQ(EncodeDate(r.y, r.m, r.d), r.serial);
        int y = 0, m = 0, d = 0;
        // Before the epoch the time of day is counted away from zero: -1.75 is day -1 at 18:00.
        DecodeDate(r.serial < 0 ? r.serial - 0.75 : r.serial + 0.75, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, r.y * 10000 + r.m * 100 + r.d);
    }
}

TEST(Dates, DecodeInvertsEncodeEveryDay) {
    for (int serial = -693593; serial <= 2958465; serial += 7) {
        int y = 0, m = 0, d = 0;
        DecodeDate(serial, y, m, d);
        ASSERT_EQ(EncodeDate(y, m, d), serial);
    }
}

TEST(Dates, TimeOfDay) {
    EXPECT_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    struct row { double value; int h, n, s, ms; };
    const row rows[] = {
        {EncodeTime(23, 59, 59, 999), 23, 59, 59, 999}, {EncodeTime(0, 0, 0, 1), 0, 0, 0, 1},
        {36526 + EncodeTime(13, 14, 15, 16), 13, 14, 15, 16}, {-1.25, 6, 0, 0, 0},
        {0.99999999999, 23, 59, 59, 999},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.value);
        int h, n, s, ms;
        DecodeTime(r.value, h, n, s, ms);
        EXPECT_EQ(std::vector<int>({h, n, s, ms}), std::vector<int>({r.h, r.n, r.s, r.ms}));
    }
}

TEST(Dates, RejectInvalidParts) {
    const int dates[][3] = {{2023, 2, 29}, {0, 1, 1}, {10000, 1, 1}, {2023, 13, 1}, {2023, 4, 31}, {2023, 1, 0}};
    for (const auto& d : dates)
        EXPECT_EQ(raised_message<EConvertError>([&] { EncodeDate(d[0], d[1], d[2]); }), u"Invalid argument to date encode");
    const int times[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& t : times)
        EXPECT_EQ(raised_message<EConvertError>([&] { EncodeTime(t[0], t[1], t[2], t[3]); }), u"Invalid argument to time encode");
    EXPECT_NO_THROW(EncodeDate(2024, 2, 29));
}

TEST(Dates, NowIsToday) {
    const TDateTime now = Now();
    EXPECT_GT(now, EncodeDate(2020, 1, 1));
    EXPECT_LT(now, EncodeDate(2100, 1, 1));
}
