#include <gtest/gtest.h>

#include "engine/CefLibrary.h"
#include "engine/EngineStrings.h"
#include "tests/engine/StandinHarness.h"
#include "framework/Win32.h"

namespace kq {
namespace {

// Each test runs with the stand-in loaded and proves that it freed every string, list and map it made.
class EngineStrings : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FLibrary.load(test::standin_path()), engine_load_status::loaded);
        FLiveBefore = control().live_total();
    }
    void TearDown() override {
        if (FLibrary.loaded()) {
            EXPECT_EQ(control().live_total(), FLiveBefore);
        }
    }
    test::standin_control control() const { return test::standin_control(FLibrary); }

    engine_library FLibrary;
    int FLiveBefore = 0;
};

const String texts[] = {
    u"", u"about:blank", u"暂时只支持单进程模式", u"\U0001F600 surrogate pair", String(u"embedded\0nul", 12),
};

TEST_F(EngineStrings, RoundTripThroughTheEngine) {
    for (const String& text : texts) {
        SCOPED_TRACE(string_to_utf8(text));
        const cef_string_t view = cef_string_view(text);
        EXPECT_EQ(view.length, text.size());
        EXPECT_EQ(view.dtor, nullptr);
        EXPECT_EQ(to_string(&view), text);

        // The engine's copy outlives our text.
        cef_string_holder copy;
        String source = text;
        assign_cef_string(copy.put(), source);
        source.assign(u"changed");
        EXPECT_EQ(copy.value(), text);
        assign_cef_string(copy.put(), u"again");
        EXPECT_EQ(copy.value(), u"again");
    }
    EXPECT_EQ(to_string(nullptr), u"");
}

TEST_F(EngineStrings, UserfreeStringsAreFreedOnTake) {
    for (const String& text : texts) {
        cef_string_userfree_t s = engine_api().cef_string_userfree_utf16_alloc();
        assign_cef_string(s, text);
        EXPECT_EQ(take_userfree(s), text);
    }
    EXPECT_EQ(take_userfree(nullptr), u"");
}

TEST_F(EngineStrings, ListsKeepOrderAndCopies) {
    const std::vector<String> values(std::begin(texts), std::end(texts));
    cef_string_list_holder list(values);
    EXPECT_EQ(list.values(), values);
    list.append(u"last");
    EXPECT_EQ(list.values().back(), u"last");
    EXPECT_EQ(string_list_values(nullptr), std::vector<String>{});
    cef_string_list_holder empty;
    EXPECT_TRUE(empty.values().empty());
}

TEST_F(EngineStrings, MapsFindTheFirstEntryOfAKey) {
    cef_string_map_holder map;
    map.append(u"Content-Type", u"text/html");
    map.append(u"标题", u"首页");
    map.append(u"Content-Type", u"text/plain");
    const std::vector<std::pair<String, String>> expected = {
        {u"Content-Type", u"text/html"}, {u"标题", u"首页"}, {u"Content-Type", u"text/plain"}};
    EXPECT_EQ(map.entries(), expected);
    String value;
    EXPECT_TRUE(map.find(u"Content-Type", value));
    EXPECT_EQ(value, u"text/html");
    EXPECT_TRUE(map.find(u"标题", value));
    EXPECT_EQ(value, u"首页");
    EXPECT_FALSE(map.find(u"content-type", value));
}

} // namespace
} // namespace kq
