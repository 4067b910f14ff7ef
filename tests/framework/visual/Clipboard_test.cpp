#include "framework/Clipboard.h"

#include "VisualFixture.h"

#include <cstring>

using namespace kq;
using kq::test::visual_test;

TEST_F(visual_test, ClipboardTextRoundTripsUnicodeAndClears) {
    const String text = u"复制 copy \U0001F600 ok";
    Clipboard().SetAsText(text);
    EXPECT_TRUE(Clipboard().HasText());
    EXPECT_EQ(Clipboard().AsText(), text);
    Clipboard().SetAsText(u"");
    EXPECT_EQ(Clipboard().AsText(), u"");
    Clipboard().Clear();
    EXPECT_FALSE(Clipboard().HasText());
    EXPECT_EQ(Clipboard().AsText(), u"");
}

TEST_F(visual_test, ClipboardTextWithoutEndingNullIsReadToTheEndOfItsBlock) {
    // Text another program put there without a terminating null.
    const char16_t raw[] = {u'a', u'b', u'c', u'd'};
    const HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, sizeof raw);
    ASSERT_NE(block, nullptr);
    std::memcpy(::GlobalLock(block), raw, sizeof raw);
    ::GlobalUnlock(block);
    ASSERT_TRUE(::OpenClipboard(Application->Handle()));
    ::EmptyClipboard();
    ASSERT_NE(::SetClipboardData(CF_UNICODETEXT, block), nullptr);
    ::CloseClipboard();
    // The system may hand back a copy that it ended with a null of its own; nothing past the block is read.
    const String text = Clipboard().AsText();
    EXPECT_GE(text.size(), 3u);
    EXPECT_TRUE(String(u"abcd").starts_with(text)) << string_to_utf8(text);
    Clipboard().Clear();
}
