#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#endif

using namespace kq;

namespace {

// Replaces the application's handler for one test and puts the old one back.
class ExceptionEdge : public testing::Test {
protected:
    void SetUp() override {
        saved = get_exception_handler();
        seen.clear();
        set_exception_handler([](const std::exception_ptr& e) { seen.push_back(exception_message(e)); });
    }
    void TearDown() override { set_exception_handler(saved); }

    static inline std::vector<String> seen;
    exception_handler saved = nullptr;
};

String os_error_text(std::uint32_t code) {
    try {
        RaiseLastOSError(code);
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode, code);
        return e.Message();
    }
    return u"not raised";
}

} // namespace

TEST(Exception, MessageAndWhatAgree) {
    Exception e(u"招标 failed");
    EXPECT_EQ(e.Message(), u"招标 failed");
    EXPECT_STREQ(e.what(), "\xE6\x8B\x9B\xE6\xA0\x87 failed");
    e.SetMessage(u"投标");
    EXPECT_EQ(e.Message(), u"投标");
    EXPECT_STREQ(e.what(), "\xE6\x8A\x95\xE6\xA0\x87");
}

TEST(EAssertionFailed, NamesSourceAndLineWhenGiven) {
    EXPECT_EQ(EAssertionFailed(u"Invalid Ease Type").Message(), u"Invalid Ease Type");
    EXPECT_EQ(EAssertionFailed(u"Assertion failure", u"WebB.Core.WebBrowser", 1279).Message(),
              u"Assertion failure (WebB.Core.WebBrowser, line 1279)");
}

TEST(ERangeError, FixedText) { EXPECT_EQ(ERangeError().Message(), u"Range check error"); }

TEST(Exception, FilerErrorsAreStreamErrors) {
    EXPECT_THROW(throw EReadError(u"x"), EFilerError);
    EXPECT_THROW(throw EWriteError(u"x"), EStreamError);
    EXPECT_THROW(throw EFOpenError(u"x"), EStreamError);
    EXPECT_THROW(throw EFCreateError(u"x"), Exception);
    EXPECT_THROW(throw EConvertError(u"x"), std::exception);
}

TEST(RaiseLastOSError, MessageCarriesCodeAndSystemText) {
    EXPECT_EQ(os_error_text(0), u"A call to an OS function failed");
    const std::uint32_t not_found = 2; // ERROR_FILE_NOT_FOUND and ENOENT alike
    const String reason = SysErrorMessage(not_found);
    ASSERT_FALSE(reason.empty());
    EXPECT_GT(reason.back(), u' ') << "no trailing line break";
    EXPECT_EQ(os_error_text(not_found), u"System Error.  Code: 2.\r\n" + reason);
}

TEST(RaiseLastOSError, TakesTheThreadsLastError) {
#ifdef _WIN32
    ::SetLastError(5);
#else
    errno = 5;
#endif
    try {
        RaiseLastOSError();
        FAIL() << "not raised";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode, 5u);
        EXPECT_EQ(e.Message(), u"System Error.  Code: 5.\r\n" + SysErrorMessage(5));
    }
}

TEST(ExceptionMessage, ReadsEveryKindOfException) {
    EXPECT_EQ(exception_message(std::make_exception_ptr(EListError(u"List index out of bounds (3)"))),
              u"List index out of bounds (3)");
    EXPECT_EQ(exception_message(std::make_exception_ptr(std::runtime_error("\xE6\x8A\x95"))), u"投");
    EXPECT_EQ(exception_message(std::make_exception_ptr(42)), u"Unknown exception");
}

TEST_F(ExceptionEdge, GuardCallbackReturnsResultOrFallback) {
    EXPECT_EQ(guard_callback(-1, [] { return 7; }), 7);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(guard_callback(-1, []() -> int { throw Exception(u"in callback"); }), -1);
    guard_callback([] { throw std::logic_error("void callback"); });
    EXPECT_EQ(seen, (std::vector<String>{u"in callback", u"void callback"}));
}

TEST_F(ExceptionEdge, ThrowingHandlerIsContained) {
    set_exception_handler([](const std::exception_ptr&) { throw Exception(u"handler failed"); });
    EXPECT_EQ(guard_callback(0, []() -> int { throw Exception(u"x"); }), 0);
}

TEST_F(ExceptionEdge, DefaultHandlerWritesMessage) {
    set_exception_handler(nullptr);
    testing::internal::CaptureStderr();
    guard_callback([] { throw EConvertError(u"'x' is not a valid integer value"); });
    EXPECT_NE(testing::internal::GetCapturedStderr().find("'x' is not a valid integer value"), std::string::npos);
}

TEST_F(ExceptionEdge, DeferredGuardKeepsFirstExceptionForRethrow) {
    std::exception_ptr pending;
    EXPECT_EQ(guard_callback(pending, 0, [] { return 1; }), 1);
    EXPECT_FALSE(pending);
    EXPECT_EQ(guard_callback(pending, 0, []() -> int { throw EListError(u"first"); }), 0);
    EXPECT_EQ(guard_callback(pending, 0, []() -> int { throw EConvertError(u"second"); }), 0);
    EXPECT_TRUE(seen.empty()) << "stored, not handed to the application";
    try {
        rethrow_pending(pending);
        FAIL() << "not rethrown";
    } catch (const EListError& e) {
        EXPECT_EQ(e.Message(), u"first");
    }
    EXPECT_FALSE(pending);
    EXPECT_NO_THROW(rethrow_pending(pending));
}
