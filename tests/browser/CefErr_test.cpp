#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "browser/WebB.Cef.CefErr.h"
#include "framework/Conversions.h"

namespace kq {
namespace {

TEST(TCefErrorManager, QuotedRowsComeOutExactly) {
    struct row {
        std::int32_t code;
        const char16_t* name;
        const char16_t* description;
    };
    const row rows[] = {
        {-2, u"NET_ERROR_FAILED", u"A generic failure occurred."},
        {-3, u"NET_ERROR_ABORTED", u"An operation was aborted (due to user action)."},
        {-7, u"NET_ERROR_TIMED_OUT", u"An operation timed out."},
        {-100, u"NET_ERROR_CONNECTION_CLOSED", u"A connection was closed (corresponding to a TCP FIN)."},
        {-105, u"NET_ERROR_NAME_NOT_RESOLVED", u"The host name could not be resolved."},
        {-106, u"NET_ERROR_INTERNET_DISCONNECTED", u"The Internet connection has been lost."},
        {-118, u"NET_ERROR_CONNECTION_TIMED_OUT", u"A connection attempt timed out."},
        {-212, u"NET_ERROR_CERT_END",
         u"Add new certificate error codes here.\rUpdate the value of CERT_END whenever you add a new certificate "
         u"error\rcode.\rThe value immediately past the last certificate error code."},
        {-310, u"NET_ERROR_TOO_MANY_REDIRECTS", u"Attempting to load an URL resulted in too many redirects."},
        {-324, u"NET_ERROR_EMPTY_RESPONSE", u"The server closed the connection without sending any data."},
        {-800, u"NET_ERROR_DNS_MALFORMED_RESPONSE", u"DNS error codes.\rDNS resolver received a malformed response."},
        {-806, u"NET_ERROR_DNS_SORT_ERROR", nullptr},
    };
    TCefErrorManager manager;
    for (const row& r : rows) {
        SCOPED_TRACE(r.code);
        String name, description;
        ASSERT_TRUE(manager.GetErrorDescription(r.code, name, description));
        EXPECT_EQ(name, r.name);
        if (r.description) {
            EXPECT_EQ(description, r.description);
        }
        EXPECT_EQ(description.find(u'\n'), String::npos);
    }
}

TEST(TCefErrorManager, MultiLineDescriptionsJoinWithCarriageReturns) {
    TCefErrorManager manager;
    String name, description;
    ASSERT_TRUE(manager.GetErrorDescription(-1, name, description));
    EXPECT_EQ(std::count(description.begin(), description.end(), u'\r'), 3);
    ASSERT_TRUE(manager.GetErrorDescription(-200, name, description));
    // A section's heading comment belongs to its first entry.
    EXPECT_EQ(description,
              u"Certificate error codes\rThe values of certificate error codes must be consecutive.\rThe server "
              u"responded with a certificate whose common name did not match\rthe host name.  This could mean:\r1. "
              u"An attacker has redirected our traffic to his server and is\r   presenting a certificate for which "
              u"he knows the private key.\r2. The server is misconfigured and responding with the wrong cert.\r3. "
              u"The user is on a wireless network and is being redirected to the\r   network's login page.\r4. The "
              u"OS has used a DNS search suffix and the server doesn't have\r   a certificate for the abbreviated "
              u"name in the address bar.");
}

TEST(TCefErrorManager, HoldsExactlyTheListedCodes) {
    TCefErrorManager manager;
    String name, description;
    manager.GetErrorDescription(-1, name, description);
    const auto* table = manager.ErrorData();
    ASSERT_NE(table, nullptr);
    const std::pair<int, int> ranges[] = {{-1, -22},    {-100, -131}, {-133, -143}, {-145, -152}, {-200, -208},
                                          {-210, -212}, {-300, -302}, {-310, -312}, {-320, -356}, {-400, -406},
                                          {-501, -503}, {-601, -607}, {-701, -712}, {-800, -806}};
    std::size_t expected = 0;
    for (const auto& [from, to] : ranges) {
        for (int code = from; code >= to; --code) {
            SCOPED_TRACE(code);
            ASSERT_EQ(table->count(code), 1u);
            EXPECT_EQ(table->at(code)[0].rfind(u"NET_ERROR_", 0), 0u);
            EXPECT_FALSE(table->at(code)[1].empty());
            ++expected;
        }
    }
    EXPECT_EQ(table->size(), expected);
}

TEST(TCefErrorManager, UnknownCodesLeaveTheCallersStrings) {
    TCefErrorManager manager;
    for (std::int32_t code : {0, -132, -144, -209, -303, 1, -807}) {
        SCOPED_TRACE(code);
        String name = u"name", description = u"description";
        EXPECT_FALSE(manager.GetErrorDescription(code, name, description));
        EXPECT_EQ(name, u"name");
        EXPECT_EQ(description, u"description");
    }
}

TEST(TCefErrorManager, UserAbortedIsMinusThreeOnly) {
    for (std::int32_t code : {-3, -20, -2, 0, 3, -105}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(TCefErrorManager::IsUserAborted(code), code == -3);
    }
}

TEST(TCefErrorManager, BuildsTheTableOnceOnFirstLookup) {
    TCefErrorManager manager;
    EXPECT_EQ(manager.ErrorData(), nullptr);
    EXPECT_TRUE(TCefErrorManager::IsUserAborted(-3));
    EXPECT_EQ(manager.ErrorData(), nullptr);
    String name, description;
    manager.GetErrorDescription(-132, name, description);
    const auto* first = manager.ErrorData();
    ASSERT_NE(first, nullptr);
    manager.GetErrorDescription(-105, name, description);
    EXPECT_EQ(manager.ErrorData(), first);
}

TEST(TCefErrorManager, StartupMakesTheGlobalManager) {
    cef_error_manager_startup();
    ASSERT_NE(CefErrorManager, nullptr);
    String name, description;
    EXPECT_TRUE(CefErrorManager->GetErrorDescription(-105, name, description));
    cef_error_manager_shutdown();
    EXPECT_EQ(CefErrorManager, nullptr);
}

} // namespace
} // namespace kq
