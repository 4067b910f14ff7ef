#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/WebB.Settings.h"
#include "engine/CefLibrary.h"
#include "engine/EngineStrings.h"
#include "framework/Conversions.h"
#include "framework/Files.h"
#include "framework/Properties.h"
#include "tests/engine/StandinHarness.h"

namespace kq {
namespace {

TEST(TWebBOptions, DefaultsAndStreamDefaults) {
    const TWebBOptions o;
    EXPECT_TRUE(o.DevToolsEnable());
    EXPECT_FALSE(o.PopupNewWin());
    EXPECT_TRUE(o.CloseWPagesClosed());
    EXPECT_FALSE(o.AutoDown());
    EXPECT_FALSE(o.ShowLoadError());
    EXPECT_EQ(o.DownLoadPath(), ExtractFilePath(executable_path()) + u"Download\\");
    // A new object writes nothing: every value is its stream default.
    for (const property_info* p : o.PublishedProperties().all()) {
        SCOPED_TRACE(string_to_utf8(p->name));
        ASSERT_TRUE(p->default_value.has_value());
        EXPECT_EQ(p->get(o), *p->default_value);
    }
}

TEST(TWebBOptions, DownLoadPathTakesOnlyExistingFolders) {
    const String folder = ExtractFilePath(executable_path());
    const String bare = ExcludeTrailingPathDelimiter(folder);
    struct row {
        String value;
        String stored;
    };
    const row rows[] = {
        {bare, folder},                               // a trailing "\" is added
        {folder, folder},                             // and not doubled
        {folder + u"no such folder", folder},         // a missing folder leaves the old value
        {folder + u"browser_tests.exe", folder},      // so does a file
        {u"", folder},
    };
    TWebBOptions o;
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.value));
        o.SetDownLoadPath(r.value);
        EXPECT_EQ(o.DownLoadPath(), r.stored);
    }
}

TEST(TChromiumOptions, DefaultsAreTheEngineDefaults) {
    const TChromiumOptions c;
    EXPECT_EQ(c.WindowlessFrameRate(), 30);
    EXPECT_EQ(c.BackgroundColor(), 0u);
    EXPECT_EQ(c.AcceptLanguageList(), u"");
    const TChromiumFontOptions f;
    EXPECT_EQ(f.RemoteFonts(), STATE_DEFAULT);
    EXPECT_EQ(f.DefaultFontSize(), 0);
    EXPECT_EQ(f.StandardFontFamily(), u"");
    for (const TPersistent* o : std::vector<const TPersistent*>{&c, &f}) {
        for (const property_info* p : o->PublishedProperties().all()) {
            SCOPED_TRACE(string_to_utf8(p->name));
            if (p->kind == property_kind::enumeration) {
                EXPECT_EQ(p->get(*o), property_value{std::int64_t{STATE_DEFAULT}});
            }
            if (p->default_value) {
                EXPECT_EQ(p->get(*o), *p->default_value);
            }
        }
    }
}

TEST(TChromiumFontOptions, PublishesItsTableInOrderWithTheStandardFamilyReadOnly) {
    TChromiumFontOptions f;
    std::vector<String> names;
    for (const property_info* p : f.PublishedProperties().all()) names.push_back(p->name);
    EXPECT_EQ(names, (std::vector<String>{u"StandardFontFamily", u"FixedFontFamily", u"SerifFontFamily",
                                          u"SansSerifFontFamily", u"CursiveFontFamily", u"FantasyFontFamily",
                                          u"DefaultFontSize", u"DefaultFixedFontSize", u"MinimumFontSize",
                                          u"MinimumLogicalFontSize", u"RemoteFonts"}));
    const property_info* standard = f.PublishedProperties().find(u"StandardFontFamily");
    ASSERT_NE(standard, nullptr);
    standard->set(f, String(u"Times"));
    EXPECT_EQ(standard->get(f), property_value{String()});
    const property_info* serif = f.PublishedProperties().find(u"SerifFontFamily");
    serif->set(f, String(u"Georgia"));
    EXPECT_EQ(f.SerifFontFamily(), u"Georgia");
}

// The engine's string functions come from the stand-in.
class FillBrowserSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(FLibrary.load(test::standin_path()), engine_load_status::loaded); }
    void TearDown() override { EXPECT_EQ(test::standin_control(FLibrary).live_total(), 0); }
    engine_library FLibrary;
};

TEST_F(FillBrowserSettingsTest, MapsFontsEncodingAndTheEighteenStatesInOrder) {
    TChromiumOptions options;
    TChromiumFontOptions fonts;
    fonts.SetFixedFontFamily(u"Fixed");
    fonts.SetSerifFontFamily(u"Serif");
    fonts.SetSansSerifFontFamily(u"微软雅黑");
    fonts.SetCursiveFontFamily(u"Cursive");
    fonts.SetFantasyFontFamily(u"Fantasy");
    fonts.SetDefaultFontSize(16);
    fonts.SetDefaultFixedFontSize(13);
    fonts.SetMinimumFontSize(9);
    fonts.SetMinimumLogicalFontSize(6);
    fonts.SetRemoteFonts(STATE_DISABLED);
    options.SetWindowlessFrameRate(60);
    options.SetBackgroundColor(0xFFFFFFFF);
    options.SetAcceptLanguageList(u"zh-CN,zh");
    // Each switch gets its own value, so a shifted field shows.
    using setter = void (TChromiumOptions::*)(TCefState);
    const setter switches[] = {
        &TChromiumOptions::SetJavascript, &TChromiumOptions::SetJavascriptOpenWindows,
        &TChromiumOptions::SetJavascriptCloseWindows, &TChromiumOptions::SetJavascriptAccessClipboard,
        &TChromiumOptions::SetJavascriptDomPaste, &TChromiumOptions::SetCaretBrowsing, &TChromiumOptions::SetPlugins,
        &TChromiumOptions::SetUniversalAccessFromFileUrls, &TChromiumOptions::SetFileAccessFromFileUrls,
        &TChromiumOptions::SetWebSecurity, &TChromiumOptions::SetImageLoading,
        &TChromiumOptions::SetImageShrinkStandaloneToFit, &TChromiumOptions::SetTextAreaResize,
        &TChromiumOptions::SetTabToLinks, &TChromiumOptions::SetLocalStorage, &TChromiumOptions::SetDatabases,
        &TChromiumOptions::SetApplicationCache, &TChromiumOptions::SetWebgl};
    for (std::size_t i = 0; i < std::size(switches); ++i) (options.*switches[i])(static_cast<TCefState>(1 + i % 2));

    browser_settings_record record;
    cef_browser_settings_t& s = record.get();
    FillBrowserSettings(s, options, fonts, u"GBK");
    EXPECT_EQ(s.size, sizeof s);
    EXPECT_EQ(s.windowless_frame_rate, 60);
    EXPECT_EQ(to_string(&s.standard_font_family), u"");
    EXPECT_EQ(to_string(&s.fixed_font_family), u"Fixed");
    EXPECT_EQ(to_string(&s.serif_font_family), u"Serif");
    EXPECT_EQ(to_string(&s.sans_serif_font_family), u"微软雅黑");
    EXPECT_EQ(to_string(&s.cursive_font_family), u"Cursive");
    EXPECT_EQ(to_string(&s.fantasy_font_family), u"Fantasy");
    EXPECT_EQ((std::vector<int>{s.default_font_size, s.default_fixed_font_size, s.minimum_font_size,
                                s.minimum_logical_font_size}),
              (std::vector<int>{16, 13, 9, 6}));
    EXPECT_EQ(to_string(&s.default_encoding), u"GBK");
    EXPECT_EQ(s.remote_fonts, STATE_DISABLED);
    const cef_state_t* states = &s.javascript;
    for (std::size_t i = 0; i < std::size(switches); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(states[i], static_cast<cef_state_t>(1 + i % 2));
    }
    EXPECT_EQ(&states[17], &s.webgl);
    EXPECT_EQ(s.background_color, 0xFFFFFFFFu);
    EXPECT_EQ(to_string(&s.accept_language_list), u"zh-CN,zh");
    // The engine's copies carry the engine's own destructor.
    EXPECT_NE(s.fixed_font_family.dtor, nullptr);
}

TEST_F(FillBrowserSettingsTest, LocalStorageAloneLeavesEveryOtherSwitchAtTheDefault) {
    TChromiumOptions options;
    options.SetLocalStorage(STATE_ENABLED);
    browser_settings_record record;
    FillBrowserSettings(record.get(), options, TChromiumFontOptions(), u"");
    const cef_state_t* states = &record.get().javascript;
    for (int i = 0; i < 18; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(states[i], &states[i] == &record.get().local_storage ? STATE_ENABLED : STATE_DEFAULT);
    }
}

TEST_F(FillBrowserSettingsTest, RefusesARecordSmallerThanItsOwn) {
    cef_browser_settings_t s{};
    s.size = sizeof s - 1;
    try {
        FillBrowserSettings(s, TChromiumOptions(), TChromiumFontOptions(), u"");
        ADD_FAILURE() << "no exception";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), u"Assertion failure (WebB.Core.WebBrowser, line 1279)");
    }
    EXPECT_EQ(s.windowless_frame_rate, 0);
}

} // namespace
} // namespace kq
