#include "framework/Strings.h"

#include <gtest/gtest.h>

using namespace kq;

TEST(Strings, Utf8RoundTripsEveryPlane) {
    const String text = u"招标 tender \u00e9 \U0001F600";
    EXPECT_EQ(utf8_to_string(string_to_utf8(text)), text);
    EXPECT_EQ(string_to_utf8(u"投标"), "\xE6\x8A\x95\xE6\xA0\x87");
}

TEST(Strings, IllFormedUtf8IsReplacedOrDroppedByPolicy) {
    const String surrogate(1, char16_t(0xD800));
    struct row { std::string_view utf8; String replaced; String dropped; };
    const row rows[] = {
        {"a\x80z", u"a\uFFFDz", u"a"},                        // stray continuation byte
        {"a\xE6\x8A", u"a\uFFFD", u"a"},                      // sequence cut at the end of the input
        {"\xC0\xAF", u"\uFFFD", u"/"},                        // overlong form of '/'
        {"\xED\xA0\x80", u"\uFFFD", surrogate},               // encoded surrogate
        {"\xED\xA0\xBD\xED\xB8\x80", u"\uFFFD\uFFFD", u"\U0001F600"}, // a pair's halves one by one
        {"\xF4\x90\x80\x80", u"\uFFFD", String(1, u'\0')},   // past U+10FFFF
        {"\xE6\x8Az", u"\uFFFDz", u""},                       // cut sequence followed by ASCII
        {"\xC3\x28", u"\uFFFD(", u""},                        // the byte that broke it
        {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD", String(u"\u8200\0", 2)}, // no such lead
        {"ok \xE6\x8B\x9B \xF0\x9F\x98\x80", u"ok \u62DB \U0001F600", u"ok \u62DB \U0001F600"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(std::string(r.utf8)));
        EXPECT_EQ(utf8_to_string(r.utf8), r.replaced);
        EXPECT_EQ(utf8_to_string(r.utf8, utf8_policy::replace), r.replaced);
        EXPECT_EQ(utf8_to_string(r.utf8, utf8_policy::drop), r.dropped);
    }
    EXPECT_EQ(string_to_utf8(surrogate + u"x"), "\xEF\xBF\xBDx"); // lone surrogate
}
