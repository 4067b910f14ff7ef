#include "framework/ResourceStreams.h"

#include "../raised.h"

#include <gtest/gtest.h>

#include <string>

using namespace kq;

namespace {

// ResourceSample.txt as the build stores it.
const std::string sample = "Sample resource: \xE6\xA0\xB7\xE6\x9C\xAC bytes.\n";

} // namespace

TEST(TResourceStream, ReadsTheResourceOfTheNamedTypeNameAndLanguage) {
    TResourceStream stream(::GetModuleHandleW(nullptr), u"SAMPLE", u"MYDATA", 2052);
    ASSERT_EQ(stream.Size(), static_cast<std::int64_t>(sample.size()));
    EXPECT_EQ(std::string(static_cast<const char*>(stream.Memory()), sample.size()), sample);
    std::string head(6, '\0'), rest(100, '\0');
    stream.ReadBuffer(head.data(), 6);
    EXPECT_EQ(head, "Sample");
    rest.resize(static_cast<std::size_t>(stream.Read(rest.data(), 100)));
    EXPECT_EQ(head + rest, sample);
    EXPECT_EQ(stream.Read(rest.data(), 1), 0);
    EXPECT_EQ(stream.Seek(-7, soFromEnd), static_cast<std::int64_t>(sample.size()) - 7);
}

TEST(TResourceStream, AMissingResourceIsNotFound) {
    struct row {
        const char16_t* name;
        const char16_t* type;
        WORD language;
    };
    for (const row& r : {row{u"SAMPLE", u"MYDATA", 1033}, row{u"SAMPLE", u"MYDATA", 0}, row{u"SAMPLE", u"OTHER", 2052},
                         row{u"OTHER", u"MYDATA", 2052}}) {
        SCOPED_TRACE(r.language);
        const HMODULE module = ::GetModuleHandleW(nullptr);
        EXPECT_EQ(raised_message<EResNotFound>([&] { TResourceStream(module, r.name, r.type, r.language); }),
                  u"Resource " + String(r.name) + u" not found");
    }
}

TEST(TResourceStream, IsReadOnly) {
    TResourceStream stream(::GetModuleHandleW(nullptr), u"SAMPLE", u"MYDATA", 2052);
    EXPECT_EQ(stream.Write("x", 1), 0);
    EXPECT_EQ(raised_message<EWriteError>([&] { stream.WriteBuffer("x", 1); }), u"Stream write error");
    EXPECT_THROW(stream.SetSize(0), EWriteError);
    EXPECT_EQ(std::string(static_cast<const char*>(stream.Memory()), sample.size()), sample);
}
