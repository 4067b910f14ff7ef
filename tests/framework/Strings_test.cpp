#include "framework/Strings.h"

#include <gtest/gtest.h>

using namespace kq;

TEST(Strings, Utf8RoundTripsEveryPlane) {
    const String text = u"招标 tender \u00e9 \U0001F600";
    EXPECT_EQ(utf8_to_string(string_to_utf8(text)), text);
    EXPECT_EQ(string_to_utf8(u"投标"), "\xE6\x8A\x95\xE6\xA0\x87");
}

TEST(Strings, IllFormedInputBecomesReplacementCharacters) {
    struct row { std::string_view utf8; String expected; };
    const row rows[] = {
        {"a\x80z", u"a\uFFFDz"},               // stray continuation byte
        {"a\xE6\x8A", u"a\uFFFD"},             // sequence cut at the end of the input
        {"\xC0\xAF", u"\uFFFD"},               // overlong form of '/'
        {"\xED\xA0\x80", u"\uFFFD"},           // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD"},       // past U+10FFFF
        {"\xE6\x8Az", u"\uFFFDz"},             // cut sequence followed by ASCII keeps the ASCII
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(r.utf8)));
        EXPECT_EQ(utf8_to_string(r.utf8), r.expected);
    }
    EXPECT_EQ(string_to_utf8(String(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx"); // lone surrogate
}
