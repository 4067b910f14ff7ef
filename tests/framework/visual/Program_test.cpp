#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Program.h"

namespace kq {
namespace {

std::exception_ptr caught(void (*raise)()) {
    try {
        raise();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

// The address part: the digits of a pointer, upper case.
String address_of(const String& text) {
    const std::size_t at = text.find(u" at ") + 4;
    return text.substr(at, text.find(u".\r\n") - at);
}

TEST(application_error_text, NamesClassModuleAddressAndMessageWithAFullStop) {
    struct row {
        void (*raise)();
        const char16_t* head;
        const char16_t* tail;
    };
    const row rows[] = {
        {[] { throw EConvertError(u"Bad number"); }, u"Exception EConvertError in module framework_visual_tests.exe at ",
         u".\r\nBad number.\r\n"},
        {[] { throw EOSError(u"System Error.  Code: 5.\r\nAccess denied.", 5); },
         u"Exception EOSError in module framework_visual_tests.exe at ", u".\r\nSystem Error.  Code: 5.\r\nAccess denied.\r\n"},
        {[] { throw std::runtime_error("plain"); }, u"Exception runtime_error in module framework_visual_tests.exe at ",
         u".\r\nplain.\r\n"},
    };
    for (const row& r : rows) {
        const String text = application_error_text(caught(r.raise));
        SCOPED_TRACE(string_to_utf8(text));
        EXPECT_EQ(text.rfind(r.head, 0), 0u);
        EXPECT_EQ(text.substr(text.size() - StringView(r.tail).size()), r.tail);
        const String address = address_of(text);
        EXPECT_EQ(address.size(), sizeof(void*) * 2);
        EXPECT_EQ(address.find_first_not_of(u"0123456789ABCDEF"), String::npos);
    }
}

TEST(application_error_text, AddressIsInsideThisProgramsCode) {
    const String text = application_error_text(caught([] { throw Exception(u"x"); }));
    const std::uint64_t offset = std::stoull(string_to_utf8(address_of(text)), nullptr, 16);
    EXPECT_GT(offset, 0u);
    EXPECT_LT(offset, 64u * 1024 * 1024);
}

TEST(run_program, AnswersZeroWhenTheBodyEnds) { EXPECT_EQ(run_program([] {}), 0); }

} // namespace
} // namespace kq
