#include "tabs/PageTabsLookAndFeel.h"

#include "framework/Properties.h"
#include "tabs/PageTabsUtils.h"
#include "tests/tabs/PropertyPath.h"
#include "tests/tabs/RecordingStrip.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <variant>

namespace kq::test {
namespace {

using enum TTabChangeType;

// Numbers of every kind as a double; strings by themselves.
std::variant<double, String> value_at(TPersistent& root, const String& path) {
    const located at = locate(root, path);
    const property_value value = at.info->get(*at.object);
    if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
    if (const auto* d = std::get_if<double>(&value)) return *d;
    return std::get<String>(value);
}

using style_values = std::array<double, 7>;
const char16_t* const style_fields[] = {u"StartColor", u"StopColor",   u"StartAlpha",  u"StopAlpha",
                                        u"OutlineColor", u"OutlineSize", u"OutlineAlpha"};
constexpr style_values plain{16777215, 16777215, 255, 255, 8421504, 1.0, 255};
constexpr style_values plus_sign{16777215, 16777215, 255, 255, 8421504, 1.0, 255};
constexpr style_values arrow{16777215, 16777215, 255, 255, 8421504, 1.0, 200};

struct style_row {
    const char16_t* path;
    style_values class_values, strip_values;
};

const style_row styles[] = {
    {u"TabsContainer", {16777215, 16777215, 255, 255, 8421504, 0.0, 255},
     {14586466, 13201730, 255, 255, 14520930, 0.0, 0}},
    {u"Tabs.Active.Style", plain, {16777215, 16316920, 255, 255, 10189918, 1.0, 255}},
    {u"Tabs.NotActive.Style", plain, {15194573, 15194573, 210, 210, 13546390, 1.0, 215}},
    {u"Tabs.Hot.Style", plain, {15721176, 15589847, 255, 255, 12423799, 1.0, 235}},
    {u"CloseButton.Circle.Normal", {16777215, 16777215, 255, 255, 8421504, 1.0, 0},
     {double(clGradientActiveCaption), double(clNone), 0, 0, 8421504, 1.0, 0}},
    {u"CloseButton.Circle.Down", {3487169, 3487169, 255, 255, 8421504, 1.0, 0},
     {3487169, 3487169, 255, 255, 8421504, 1.0, 255}},
    {u"CloseButton.Circle.Hot", {3487169, 3487169, 255, 255, 8421504, 1.0, 0},
     {9408475, 9803748, 255, 255, 6054595, 1.0, 255}},
    {u"AddButton.Button.Normal", plain, {14340292, 14340035, 255, 255, 13088421, 1.0, 255}},
    {u"AddButton.Button.Down", plain, {13417645, 13417644, 255, 255, 10852748, 1.0, 255}},
    {u"AddButton.Button.Hot", plain, {15524314, 15524314, 255, 255, 14927787, 1.0, 255}},
    {u"AddButton.PlusSign.Normal", plain, plus_sign},
    {u"AddButton.PlusSign.Down", plain, plus_sign},
    {u"AddButton.PlusSign.Hot", plain, plus_sign},
    {u"ScrollButtons.Button.Normal", plain, {14735310, 14274499, 255, 255, 11507842, 1.0, 255}},
    {u"ScrollButtons.Button.Down", plain, {13417645, 13417644, 255, 255, 10852748, 1.0, 255}},
    {u"ScrollButtons.Button.Hot", plain, {15524314, 15524313, 255, 255, 14927788, 1.0, 255}},
    {u"ScrollButtons.Button.Disabled", plain, {14340036, 14274499, 150, 150, 11113341, 1.0, 100}},
    {u"ScrollButtons.Arrow.Normal", plain, arrow},
    {u"ScrollButtons.Arrow.Down", plain, arrow},
    {u"ScrollButtons.Arrow.Hot", plain, arrow},
    {u"ScrollButtons.Arrow.Disabled", plain, {12632256, 12632256, 150, 150, 8421504, 1.0, 200}},
};

using pen_values = std::array<double, 3>;
struct pen_row {
    const char16_t* path;
    pen_values class_values, strip_values;
};
const pen_row pens[] = {
    {u"Tabs.BaseLine", {8421504, 2.0, 255}, {11110509, 1.0, 255}},
    {u"Tabs.Spinners.Upload", {12759975, 2.5, 255}, {12759975, 2.5, 255}},
    {u"Tabs.Spinners.Download", {14388040, 2.5, 255}, {14388040, 2.5, 255}},
    {u"CloseButton.Cross.Normal", {12103593, 1.0, 255}, {6643031, 1.5, 255}},
    {u"CloseButton.Cross.Down", {255, 1.0, 255}, {15461369, 2.0, 220}},
    {u"CloseButton.Cross.Hot", {16777215, 1.0, 240}, {16777215, 2.0, 220}},
};

// Colour, size, alpha, rendering mode and (for style fonts) UseDefaultFont; the name is "Segoe UI"
// everywhere.
constexpr double clear_type = Gdiplus::TextRenderingHintClearTypeGridFit;
struct font_row {
    const char16_t* path;
    bool has_use_default;
    std::array<double, 5> class_values, strip_values;
};
const font_row fonts[] = {
    {u"Tabs.DefaultFont", false, {0, 9, 255, clear_type, 0}, {0, 9, 255, clear_type, 0}},
    {u"Tabs.Active.Font", true, {0, 9, 255, clear_type, 1}, {32896, 9, 100, clear_type, 1}},
    {u"Tabs.NotActive.Font", true, {0, 9, 255, clear_type, 1}, {4603477, 9, 215, clear_type, 0}},
    {u"Tabs.Hot.Font", true, {0, 9, 255, clear_type, 1}, {4210752, 9, 215, clear_type, 0}},
};

struct glow_row {
    const char16_t* path;
    std::array<double, 4> class_values, strip_values;
};
const glow_row glows[] = {
    {u"Tabs.Modified", {16777215, 16777215, 180, 0}, {16777215, 16777215, 130, 0}},
    {u"Tabs.MouseGlow", {16777215, 16777215, 180, 0}, {16777215, 16777215, 120, 0}},
};

template <std::size_t N>
void expect_values(TPersistent& root, const String& path, const char16_t* const (&fields)[N],
                   const std::array<double, N>& expected) {
    for (std::size_t i = 0; i < N; ++i) {
        const String field = path + u"." + fields[i];
        SCOPED_TRACE(string_to_utf8(field));
        EXPECT_EQ(std::get<double>(value_at(root, field)), expected[i]);
    }
}

TEST(TPageTabsLookAndFeel, ClassAndStripDefaults) {
    for (const bool strip_defaults : {false, true}) {
        SCOPED_TRACE(strip_defaults ? "strip defaults" : "class defaults");
        TPageTabsLookAndFeel look(nullptr);
        if (strip_defaults) apply_strip_defaults(look);
        for (const style_row& r : styles)
            expect_values(look, r.path, style_fields, strip_defaults ? r.strip_values : r.class_values);
        for (const pen_row& r : pens) {
            const char16_t* const fields[] = {u"Color", u"Thickness", u"Alpha"};
            expect_values(look, r.path, fields, strip_defaults ? r.strip_values : r.class_values);
        }
        for (const font_row& r : fonts) {
            const auto& v = strip_defaults ? r.strip_values : r.class_values;
            const char16_t* const fields[] = {u"Color", u"Size", u"Alpha", u"TextRendoringMode"};
            expect_values(look, r.path, fields, {v[0], v[1], v[2], v[3]});
            EXPECT_EQ(std::get<String>(value_at(look, String(r.path) + u".Name")), u"Segoe UI");
            if (r.has_use_default) {
                EXPECT_EQ(std::get<double>(value_at(look, String(r.path) + u".UseDefaultFont")), v[4]);
            }
        }
        for (const glow_row& r : glows) {
            const char16_t* const fields[] = {u"CentreColor", u"OutsideColor", u"CentreAlpha", u"OutsideAlpha"};
            expect_values(look, r.path, fields, strip_defaults ? r.strip_values : r.class_values);
        }
    }
}

TEST(TPageTabsLookAndFeel, PublishesItsPropertiesWithTheSystemsNames) {
    TPageTabsLookAndFeel look(nullptr);
    const auto names = [](const TPersistent& p) {
        std::vector<String> result;
        for (const property_info* info : p.PublishedProperties().all()) result.push_back(info->name);
        return result;
    };
    EXPECT_EQ(names(look), (std::vector<String>{u"TabsContainer", u"Tabs", u"CloseButton", u"AddButton", u"ScrollButtons"}));
    EXPECT_EQ(names(*look.Tabs()), (std::vector<String>{u"BaseLine", u"Modified", u"DefaultFont", u"MouseGlow",
                                                        u"Spinners", u"Active", u"NotActive", u"Hot"}));
    EXPECT_EQ(names(*look.Tabs()->Active()->Font()),
              (std::vector<String>{u"Name", u"Color", u"Size", u"Alpha", u"TextRendoringMode", u"UseDefaultFont"}));
    EXPECT_EQ(names(*look.ScrollButtons()->Button()), (std::vector<String>{u"Normal", u"Down", u"Hot", u"Disabled"}));
    // A zero outline is left out of component text and stays zero.
    const located size = locate(look, u"TabsContainer.OutlineSize");
    EXPECT_TRUE(is_default_value(*size.info, size.info->get(*size.object)));
}

TEST(TPageTabsLookAndFeel, WhichSettersReportToTheStrip) {
    struct row {
        const char* name;
        std::function<void(TPageTabsLookAndFeel&)> change;
        bool reports;
    };
    const row rows[] = {
        {"style colour", [](auto& l) { l.Tabs()->Hot()->Style()->SetStartColor(1); }, true},
        {"style outline size", [](auto& l) { l.TabsContainer()->SetOutlineSize(2.0f); }, true},
        {"pen thickness", [](auto& l) { l.Tabs()->BaseLine()->SetThickness(3.0f); }, true},
        {"font size", [](auto& l) { l.Tabs()->DefaultFont()->SetSize(12); }, true},
        {"font flag", [](auto& l) { l.Tabs()->Hot()->Font()->SetUseDefaultFont(false); }, true},
        {"glow alpha", [](auto& l) { l.Tabs()->MouseGlow()->SetCentreAlpha(1); }, true},
        {"root copies a group", [](auto& l) { l.SetTabsContainer(l.TabsContainer()); }, true},
        {"tab look copies its base line", [](auto& l) { l.Tabs()->SetBaseLine(l.Tabs()->BaseLine()); }, true},
        {"tab look copies its default font", [](auto& l) { l.Tabs()->SetDefaultFont(l.Tabs()->DefaultFont()); }, true},
        {"tab look copies its active look", [](auto& l) { l.Tabs()->SetActive(l.Tabs()->Active()); }, false},
        {"tab look copies its spinners", [](auto& l) { l.Tabs()->SetSpinners(l.Tabs()->Spinners()); }, false},
        {"style group copies its font", [](auto& l) { l.Tabs()->Hot()->SetFont(l.Tabs()->Hot()->Font()); }, true},
        {"button items copy a style",
         [](auto& l) { l.AddButton()->Button()->SetHot(l.AddButton()->Button()->Hot()); }, true},
        {"add button copies its button", [](auto& l) { l.AddButton()->SetButton(l.AddButton()->Button()); }, false},
        {"add button copies its plus sign", [](auto& l) { l.AddButton()->SetPlusSign(l.AddButton()->PlusSign()); },
         false},
        {"close button copies its cross", [](auto& l) { l.CloseButton()->SetCross(l.CloseButton()->Cross()); }, true},
        {"scroll buttons copy their arrow",
         [](auto& l) { l.ScrollButtons()->SetArrow(l.ScrollButtons()->Arrow()); }, true},
        {"spinners copy a pen", [](auto& l) { l.Tabs()->Spinners()->SetUpload(l.Tabs()->Spinners()->Upload()); }, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        recording_strip strip;
        TPageTabsLookAndFeel look(&strip);
        strip.clear_changes();
        r.change(look);
        const std::vector<change> expected =
            r.reports ? std::vector<change>{{nullptr, tcPropertyUpdated}} : std::vector<change>{};
        EXPECT_EQ(strip.changes, expected);
    }
}

class gdiplus_look : public ::testing::Test {
protected:
    void SetUp() override { gdiplus_startup(); }
    void TearDown() override { gdiplus_shutdown(); }
};

TEST_F(gdiplus_look, StyleBrushIsReusedUntilASetterRuns) {
    TPageTabsLookAndFeel look(nullptr);
    apply_strip_defaults(look);
    TPageTabsLookAndFeelStyle& style = *look.Tabs()->Active()->Style();
    const auto first = style.GetBrush(TRect{0, 3, 100, 31});
    EXPECT_EQ(style.GetBrush(TRect{50, 0, 60, 10}), first); // any rectangle, the same brush
    EXPECT_EQ(first->Rectangle().Y, 3.0f);
    EXPECT_EQ(first->LinearColors(), std::make_pair(ARGB{0xFFFFFFFF}, ARGB{0xFFF8F9F8}));

    // Other looks changing leave it alone; its own setter replaces it.
    look.Tabs()->Hot()->Style()->SetStartColor(0);
    EXPECT_EQ(style.GetBrush(TRect{0, 3, 100, 31}), first);
    style.SetStartColor(0x0000FF);
    const auto second = style.GetBrush(TRect{0, 3, 100, 31});
    EXPECT_NE(second, first);
    EXPECT_EQ(second->LinearColors().first, ARGB{0xFFFF0000});
    // A polygon list that still holds the old brush can use it.
    EXPECT_EQ(first->LinearColors().first, ARGB{0xFFFFFFFF});

    const auto pen = style.GetPen();
    EXPECT_EQ(style.GetPen(), pen);
    EXPECT_EQ(pen->Color(), MakeGPColor(10189918, 255));
    style.SetOutlineAlpha(10);
    EXPECT_EQ(style.GetPen()->Color(), MakeGPColor(10189918, 10));
}

TEST_F(gdiplus_look, AStyleBrushWhoseLastCallFailedIsBuiltAgain) {
    TPageTabsLookAndFeel look(nullptr);
    TPageTabsLookAndFeelStyle& style = *look.TabsContainer();
    const TRect r{0, 0, 100, 30};
    const auto first = style.GetBrush(r);
    // A blend must run from 0 to 1: this one fails and leaves the brush's last status an error.
    const float factors[] = {0.0f, 1.0f};
    const float positions[] = {0.5f, 0.7f};
    EXPECT_THROW(first->SetBlend({factors, positions}), EGdiPlusError);
    ASSERT_NE(first->LastStatus(), Gdiplus::Ok);
    const auto second = style.GetBrush(r);
    EXPECT_NE(second, first);
    EXPECT_EQ(second->LastStatus(), Gdiplus::Ok);
    EXPECT_EQ(style.GetBrush(r), second) << "a sound brush is kept";
}

TEST_F(gdiplus_look, PenSettersDropTheCachedPenAtOnce) {
    TPageTabsLookAndFeel look(nullptr);
    TPageTabsLookAndFeelPen& pen = *look.Tabs()->BaseLine();
    std::weak_ptr<TGPPen> cached = pen.GetPen();
    EXPECT_EQ(cached.lock()->Width(), 2.0f);
    EXPECT_EQ(cached.lock()->Color(), MakeGPColor(8421504, 255));
    pen.SetColor(255);
    EXPECT_TRUE(cached.expired());
    EXPECT_EQ(pen.GetPen()->Color(), MakeGPColor(255, 255));
    // Only the low byte of the alpha counts.
    pen.SetAlpha(0x180);
    EXPECT_EQ(pen.GetPen()->Color(), MakeGPColor(255, 0x80));
}

TEST_F(gdiplus_look, InvalidatingTheRootRebuildsAllButTheTabStyles) {
    TPageTabsLookAndFeel look(nullptr);
    const TRect r{0, 0, 10, 10};
    const auto container = look.TabsContainer()->GetBrush(r);
    const auto circle = look.CloseButton()->Circle()->Hot()->GetBrush(r);
    const auto arrow = look.ScrollButtons()->Arrow()->Disabled()->GetBrush(r);
    const auto plus = look.AddButton()->PlusSign()->Down()->GetBrush(r);
    const auto active = look.Tabs()->Active()->Style()->GetBrush(r);
    const std::weak_ptr<TGPPen> base_line = look.Tabs()->BaseLine()->GetPen();
    look.Invalidate();
    EXPECT_NE(look.TabsContainer()->GetBrush(r), container);
    EXPECT_NE(look.CloseButton()->Circle()->Hot()->GetBrush(r), circle);
    EXPECT_NE(look.ScrollButtons()->Arrow()->Disabled()->GetBrush(r), arrow);
    EXPECT_NE(look.AddButton()->PlusSign()->Down()->GetBrush(r), plus);
    EXPECT_TRUE(base_line.expired());
    EXPECT_EQ(look.Tabs()->Active()->Style()->GetBrush(r), active);
    // A style group invalidates its style.
    look.Tabs()->Active()->Invalidate();
    EXPECT_NE(look.Tabs()->Active()->Style()->GetBrush(r), active);
}

TEST(TPageTabsLookAndFeel, CopiesArePropertyByPropertyAndReportOnce) {
    TPageTabsLookAndFeel source(nullptr);
    apply_strip_defaults(source);
    recording_strip strip;
    TPageTabsLookAndFeel target(&strip);
    strip.clear_changes();
    target.SetTabs(source.Tabs());
    EXPECT_EQ(target.Tabs()->Hot()->Font()->Color(), 4210752);
    EXPECT_EQ(target.Tabs()->BaseLine()->Color(), 11110509);
    EXPECT_EQ(strip.changes, (std::vector<change>{{nullptr, tcPropertyUpdated}}));
}

} // namespace
} // namespace kq::test
