#include "framework/ComponentText.h"

#include "framework/Streams.h"
#include "raised.h"
#include "sample_components.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

using namespace kq;

namespace {

String text(std::string_view utf8) { return utf8_to_string(utf8); }

void register_sample_colours() {
    static bool done = false;
    if (done) return;
    done = true;
    color_idents().add(0x0000FF, u"clRed");
    cursor_idents().add(-21, u"crHourGlass");
}

// A root with a child, every kind of value set away from its default.
struct sample_tree {
    TSample root{nullptr};
    TSample* child = new TSample(&root);

    sample_tree() {
        register_sample_classes();
        register_sample_colours();
        root.SetName(u"Form1");
        child->SetName(u"Child1");
        root.SetTag(7);
        root.Width = 5;
        root.Mask = 4294967295u;
        root.Ratio = 0.1;
        root.Scale = 1.25f;
        root.Caption = u"It's\r\n中";
        root.Enabled = false;
        root.Shape = TSampleShape::shStar;
        root.Styles = {TSampleStyle::ssBold, TSampleStyle::ssUnderline};
        root.Color = 0x0000FF;
        root.Cursor = -21;
        root.Font.Name = u"Arial";
        root.Font.Style = {TSampleStyle::ssItalic};
        auto* a = static_cast<TSampleItem*>(root.Items.Add());
        a->Caption = u"a";
        auto* b = static_cast<TSampleItem*>(root.Items.Add());
        b->Size = 3;
        b->Font.Color = 12;
        root.Buddy = child;
        root.Data = {0x01, 0x02, 0xFF};
        child->Buddy = &root;
        child->Color = 0x123456;
        // Bound as the reader binds it, so the writer can name the method.
        child->OnClick = std::any_cast<std::function<void(TObject*)>>(
            root.PublishedProperties().find_method(u"ButtonClick")->make(root));
    }
};

constexpr std::string_view sample_text =
    "object Form1: TSample\r\n"
    "  Tag = 7\r\n"
    "  Width = 5\r\n"
    "  Mask = 4294967295\r\n"
    "  Ratio = 0.1\r\n"
    "  Scale = 1.25\r\n"
    "  Caption = 'It''s'#13#10#20013\r\n"
    "  Enabled = False\r\n"
    "  Shape = shStar\r\n"
    "  Styles = [ssBold, ssUnderline]\r\n"
    "  Color = clRed\r\n"
    "  Cursor = crHourGlass\r\n"
    "  Font.Name = 'Arial'\r\n"
    "  Font.Height = -11\r\n"
    "  Font.Style = [ssItalic]\r\n"
    "  Items = <\r\n"
    "    item\r\n"
    "      Caption = 'a'\r\n"
    "      Size = 0\r\n"
    "      Font.Height = -11\r\n"
    "    end\r\n"
    "    item\r\n"
    "      Size = 3\r\n"
    "      Font.Height = -11\r\n"
    "      Font.Color = 12\r\n"
    "    end>\r\n"
    "  Buddy = Child1\r\n"
    "  Data = {\r\n"
    "    0102FF}\r\n"
    "  object Child1: TSample\r\n"
    "    Mask = 0\r\n"
    "    Styles = []\r\n"
    "    Color = 1193046\r\n"
    "    Font.Height = -11\r\n"
    "    Buddy = Form1\r\n"
    "    OnClick = ButtonClick\r\n"
    "  end\r\n"
    "end\r\n";

// What a fresh TSample writes: only the properties that declare no default and are not empty.
String pristine_text() {
    TSample fresh(nullptr);
    return write_component_text(fresh);
}

} // namespace

// --- Writing

TEST(ComponentText, WritesEveryKindInItsTextForm) {
    sample_tree tree;
    EXPECT_EQ(string_to_utf8(write_component_text(tree.root)), sample_text);
}

TEST(ComponentText, LeavesOutDefaultsFloatZeroAndEmptyStrings) {
    TSample fresh(nullptr);
    EXPECT_EQ(string_to_utf8(write_component_text(fresh)),
              "object TSample\r\n  Mask = 0\r\n  Styles = []\r\n  Color = 0\r\n  Font.Height = -11\r\nend\r\n");
}

TEST(ComponentText, SplitsLongStringsAndBinaryDataOverLines) {
    TSample s(nullptr);
    s.Caption = String(70, u'x') + u"'";
    s.Data = byte_block(40, 0xAB);
    const std::string written = string_to_utf8(write_component_text(s));
    EXPECT_NE(written.find("  Caption = '" + std::string(64, 'x') + "' +\r\n    'xxxxxx'''\r\n"), std::string::npos);
    std::string hex_line;
    for (int i = 0; i < 32; ++i) hex_line += "AB";
    EXPECT_NE(written.find("  Data = {\r\n    " + hex_line + "\r\n    ABABABABABABABAB}\r\n"), std::string::npos);

    TSample back(nullptr);
    read_component_text(write_component_text(s), back);
    EXPECT_EQ(back.Caption, s.Caption);
    EXPECT_EQ(back.Data, s.Data);
}

// A component without owner or name that carries a settings tree it does not own, as the tab strip
// saves its options.
namespace {

class TLeafSettings : public TPersistent {
public:
    int TabOverlap = 0;
    TSampleShape Trim = TSampleShape::shRect;
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TLeafSettings>(TPersistent::PublishedProperties())
            .integer(u"TabOverlap", &TLeafSettings::TabOverlap, &TLeafSettings::TabOverlap)
            .enumeration(u"Trim", &TLeafSettings::Trim, &TLeafSettings::Trim, sample_shape_names());
        return table;
    }
};

class TMiddleSettings : public TPersistent {
public:
    TLeafSettings Tabs;
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TMiddleSettings>(TPersistent::PublishedProperties())
            .persistent(u"Tabs", &TMiddleSettings::Tabs);
        return table;
    }
};

class TTopSettings : public TPersistent {
public:
    TMiddleSettings Display;
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TTopSettings>(TPersistent::PublishedProperties())
            .persistent(u"Display", &TTopSettings::Display);
        return table;
    }
};

class TSettingsWrapper : public TComponent {
public:
    explicit TSettingsWrapper(TPersistent* options) : TComponent(nullptr), FOptions(options) {}
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TSettingsWrapper>(TComponent::PublishedProperties())
            .persistent(u"Options", [](const TSettingsWrapper& w) { return w.FOptions; });
        return table;
    }

private:
    TPersistent* FOptions;
};

} // namespace

TEST(ComponentText, NestedSettingsTravelAsDottedPathsUnderAnUnnamedHeader) {
    TTopSettings settings;
    settings.Display.Tabs.TabOverlap = 15;
    settings.Display.Tabs.Trim = TSampleShape::shStar;
    TSettingsWrapper wrapper(&settings);
    const String written = write_component_text(wrapper);
    EXPECT_EQ(string_to_utf8(written), "object TSettingsWrapper\r\n"
                                       "  Options.Display.Tabs.TabOverlap = 15\r\n"
                                       "  Options.Display.Tabs.Trim = shStar\r\n"
                                       "end\r\n");

    TTopSettings other;
    TSettingsWrapper reader(&other);
    read_component_text(written, reader);
    EXPECT_EQ(other.Display.Tabs.TabOverlap, 15);
    EXPECT_EQ(other.Display.Tabs.Trim, TSampleShape::shStar);

    // Only the header and the end: nothing changes.
    read_component_text(u"object TSettingsWrapper\r\nend\r\n", reader);
    EXPECT_EQ(other.Display.Tabs.TabOverlap, 15);
    EXPECT_EQ(reader.Name(), u"");
}

// --- Round trip

TEST(ComponentText, RoundTripOfATreeGivesEqualValues) {
    sample_tree tree;
    tree.root.Ratio = 1.0 / 3.0;
    tree.root.Scale = 0.1f;
    tree.root.Caption = u"长'文本 " + String(80, u'z') + u"\t";
    tree.root.Data.assign(100, 0);
    for (std::size_t i = 0; i < tree.root.Data.size(); ++i) tree.root.Data[i] = static_cast<std::uint8_t>(i * 7);
    tree.root.Cursor = -4; // no name: written as a number
    tree.root.Width = -2147483647 - 1;
    const String written = write_component_text(tree.root);

    TSample copy(nullptr);
    read_component_text(written, copy);
    EXPECT_EQ(write_component_text(copy), written);

    ASSERT_EQ(copy.ComponentCount(), 1);
    auto* child = dynamic_cast<TSample*>(copy.Components(0));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(copy.Name(), u"Form1");
    EXPECT_EQ(copy.Tag(), 7);
    EXPECT_EQ(copy.Width, -2147483647 - 1);
    EXPECT_EQ(copy.Mask, 4294967295u);
    EXPECT_EQ(copy.Ratio, 1.0 / 3.0);
    EXPECT_EQ(copy.Scale, 0.1f);
    EXPECT_EQ(copy.Caption, tree.root.Caption);
    EXPECT_FALSE(copy.Enabled);
    EXPECT_EQ(copy.Shape, TSampleShape::shStar);
    EXPECT_EQ(copy.Styles, tree.root.Styles);
    EXPECT_EQ(copy.Color, 0xFF);
    EXPECT_EQ(copy.Cursor, -4);
    EXPECT_EQ(copy.Font.Name, u"Arial");
    EXPECT_EQ(copy.Font.Style, TSampleStyles{TSampleStyle::ssItalic});
    ASSERT_EQ(copy.Items.Count(), 2);
    EXPECT_EQ(static_cast<TSampleItem*>(copy.Items.Items(0))->Caption, u"a");
    EXPECT_EQ(static_cast<TSampleItem*>(copy.Items.Items(1))->Font.Color, 12);
    EXPECT_EQ(copy.Data, tree.root.Data);
    EXPECT_EQ(copy.Buddy, child);
    EXPECT_EQ(child->Buddy, &copy);
    EXPECT_EQ(child->Color, 0x123456);
    ASSERT_TRUE(child->OnClick);
    child->OnClick(child);
    EXPECT_EQ(copy.Clicks, std::vector<String>{u"Child1"}); // bound to the new root's method
}

TEST(ComponentText, ExtremeNumbersReadBack) {
    register_sample_classes();
    using single = std::numeric_limits<float>;
    using wide = std::numeric_limits<double>;
    struct row { float scale; double ratio; };
    const row rows[] = {
        {single::max(), wide::max()}, {single::lowest(), wide::lowest()}, {single::min(), wide::min()},
        {single::denorm_min(), wide::denorm_min()}, {-single::denorm_min(), -wide::denorm_min()},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.ratio);
        TSample s(nullptr);
        s.Scale = r.scale;
        s.Ratio = r.ratio;
        TSample copy(nullptr);
        read_component_text(write_component_text(s), copy);
        EXPECT_EQ(copy.Scale, r.scale);
        EXPECT_EQ(copy.Ratio, r.ratio);
    }
}

TEST(ComponentText, StreamsCarryTheTextAsUtf8) {
    sample_tree tree;
    TMemoryStream stream;
    write_component_text(stream, tree.root);
    EXPECT_EQ(stream.Size(), static_cast<std::int64_t>(sample_text.size()));
    stream.SetPosition(0);
    TSample copy(nullptr);
    read_component_text(stream, copy);
    EXPECT_EQ(string_to_utf8(write_component_text(copy)), sample_text);
}

// --- Reading

TEST(ComponentText, ReadsIdentifiersWithoutRegardToCaseAndOtherNumberForms) {
    register_sample_classes();
    TSample s(nullptr);
    read_component_text(text("OBJECT form1: TSAMPLE\n"
                             "  wIdTh = $1F\n"
                             "  mask = $FFFFFFFF\n"
                             "  ratio = 2\n"
                             "  scale = -1.5E2\n"
                             "  shape = SHCIRCLE\n"
                             "  enabled = false\n"
                             "  styles = [SSITALIC,ssbold]\n"
                             "  caption = 'a' +\n"
                             "    #$41#66 + ''\n"
                             "  font.name = 'x'\n"
                             "  buddy = FORM1\n"
                             "END"),
                        s);
    EXPECT_EQ(s.Name(), u"form1");
    EXPECT_EQ(s.Width, 31);
    EXPECT_EQ(s.Mask, 0xFFFFFFFFu);
    EXPECT_EQ(s.Ratio, 2.0);
    EXPECT_EQ(s.Scale, -150.0f);
    EXPECT_EQ(s.Shape, TSampleShape::shCircle);
    EXPECT_FALSE(s.Enabled);
    EXPECT_EQ(s.Styles, (TSampleStyles{TSampleStyle::ssBold, TSampleStyle::ssItalic}));
    EXPECT_EQ(s.Caption, u"aAB");
    EXPECT_EQ(s.Font.Name, u"x");
    EXPECT_EQ(s.Buddy, &s);
}

TEST(ComponentText, ASyntaxErrorChangesNothing) {
    sample_tree tree;
    const std::string good(sample_text);
    struct row {
        std::string_view find, replace, message;
    };
    const row rows[] = {
        {"  Width = 5", "  Width 5", "Line 3, column 9: '=' expected"},
        {"  Caption = 'It''s'", "  Caption = 'It''s", "Line 7, column 13: unterminated string"},
        {"    0102FF}", "    0102GF}", "Line 29, column 9: invalid binary data"},
        {"    0102FF}", "    0102F}", "Line 29, column 10: invalid binary data"},
        {"[ssBold, ssUnderline]", "[ssBold ssUnderline]", "Line 10, column 20: ']' expected"},
        {"    end>", "    end", "Line 27, column 3: 'item' expected"},
        {"  object Child1: TSample", "  object Child1 TSample", "Line 31, column 5: '=' expected"},
        {"#13#10#20013", "#13#10#", "Line 7, column 27: invalid character code"},
        {"#13#10#20013", "#13#10#65536", "Line 7, column 31: invalid character code"},
        {"  Scale = 1.25", "  Scale = 1.2.5", "Line 6, column 11: invalid number"},
        {"  Ratio = 0.1", "  Ratio = 0.1 +", "Line 5, column 15: identifier expected"},
        {"  Ratio = 0.1", "  Ratio = ]", "Line 5, column 11: value expected"},
        {"end\r\n", "end\r\nend\r\n", "Line 39, column 1: end of text expected"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.replace));
        std::string bad = good;
        const auto at = bad.rfind(r.find);
        ASSERT_NE(at, std::string::npos);
        bad.replace(at, r.find.size(), r.replace);
        TSample target(nullptr);
        EXPECT_EQ(string_to_utf8(raised_message<EReadError>([&] { read_component_text(text(bad), target); })), r.message);
        EXPECT_EQ(write_component_text(target), pristine_text());
        EXPECT_EQ(target.ComponentCount(), 0);
        EXPECT_EQ(target.Name(), u"");
    }
}

TEST(ComponentText, RefusesNestingDeeperThanAnyRealText) {
    const auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += "object TSample\n";
        for (int i = 0; i < depth; ++i) s += "end\n";
        return text(s);
    };
    register_sample_classes();
    TSample deep(nullptr);
    read_component_text(nested(100), deep);
    EXPECT_EQ(raised_message<EReadError>([&] { read_component_text(nested(101), deep); }),
              u"Line 101, column 1: nesting too deep");
    std::string collections = "object TSample\n"; // collections in items count as well
    for (int i = 0; i < 100; ++i) collections += "X = <item\n";
    EXPECT_EQ(raised_message<EReadError>([&] { read_component_text(text(collections), deep); }),
              u"Line 101, column 5: nesting too deep");
}

TEST(ComponentText, AnUnknownPropertyOrBadValueNamesThePropertyAndLine) {
    register_sample_classes();
    struct row {
        std::string_view line, message;
    };
    const row rows[] = {
        {"Widht = 5", "Line 3: property Widht does not exist"},
        {"Font.Nme = 'x'", "Line 3: property Font.Nme does not exist"},
        {"Width.X = 1", "Line 3: property Width.X does not exist"},
        {"Items.Count = 1", "Line 3: property Items.Count does not exist"},
        {"Shape = shHexagon", "Line 3: invalid value for property Shape"},
        {"Width = 'x'", "Line 3: invalid value for property Width"},
        {"Width = 2147483648", "Line 3: invalid value for property Width"},
        {"Mask = -1", "Line 3: invalid value for property Mask"},
        {"Cursor = crUnknown", "Line 3: invalid value for property Cursor"},
        {"Enabled = Yes", "Line 3: invalid value for property Enabled"},
        {"Styles = [ssBold, ssNone]", "Line 3: invalid value for property Styles"},
        {"Ratio = 'x'", "Line 3: invalid value for property Ratio"},
        {"Scale = 1e39", "Line 3: invalid value for property Scale"},
        {"Scale = -3.4028235677973366e38", "Line 3: invalid value for property Scale"}, // rounds to infinity
        {"Caption = 5", "Line 3: invalid value for property Caption"},
        {"Data = 'x'", "Line 3: invalid value for property Data"},
        {"Font = 1", "Line 3: invalid value for property Font"},
        {"Items = 1", "Line 3: invalid value for property Items"},
        {"Items = <\r\n item\r\n Nope = 1\r\n end>", "Line 5: property Nope does not exist"},
        {"Buddy = Nobody", "Line 3: invalid value for property Buddy"},
        {"Buddy = Plain", "Line 3: invalid value for property Buddy"},
        {"Buddy = Other.Form", "Line 3: invalid value for property Buddy"},
        {"OnClick = Missing", "Line 3: method Missing not found for property OnClick"},
        {"OnResize = ButtonClick", "Line 3: invalid value for property OnResize"},
        {"object X: TUnknown\r\n end", "Line 3: class TUnknown not found"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.line));
        TSample target(nullptr);
        new TComponent(&target);
        target.Components(0)->SetName(u"Plain");
        const std::string bad = "object Form1: TSample\r\n  Width = 7\r\n  " + std::string(r.line) + "\r\nend\r\n";
        EXPECT_EQ(string_to_utf8(raised_message<EReadError>([&] { read_component_text(text(bad), target); })), r.message);
        EXPECT_EQ(target.Width, 7); // what was read before the error stays
        EXPECT_TRUE(target.ComponentState().empty());
    }
}

TEST(ComponentText, LoadingStatesAndLoadedComeAfterEveryReference) {
    sample_tree tree;
    const String written = write_component_text(tree.root);
    TSample copy(nullptr);
    TSample* existing = new TSample(&copy);
    existing->SetName(u"child1"); // found by name, not created again
    std::vector<String> log;
    copy.SetterLog = &log;
    existing->SetterLog = &log;
    copy.Width = 1; // differs from the text's 5 so the setter is seen
    read_component_text(written, copy);

    ASSERT_EQ(copy.ComponentCount(), 1);
    EXPECT_EQ(copy.Components(0), existing);
    EXPECT_EQ(existing->ParentComponent, &copy); // objects written in the root belong to it
    EXPECT_EQ(log, std::vector<String>{u"Form1.Width"});
    const TComponentState loading{TComponentStateFlag::csLoading, TComponentStateFlag::csReading};
    EXPECT_EQ(copy.StateDuringWidth, loading);
    EXPECT_TRUE(copy.ComponentState().empty());
    EXPECT_TRUE(existing->ComponentState().empty());
    EXPECT_EQ(copy.LoadedCalls, 1);
    EXPECT_EQ(existing->LoadedCalls, 1);
    // References are resolved before any Loaded, wherever the target stands in the text.
    EXPECT_EQ(copy.BuddyAtLoaded, existing);
    EXPECT_EQ(existing->BuddyAtLoaded, &copy);
}

namespace {

// A root that uses its components through fields, as forms do.
class TSampleForm : public TSample {
public:
    using TSample::TSample;
    TSample* Panel = nullptr;
    TSampleChild* Special = nullptr;
    std::vector<TComponent*> FieldsAtLoaded;

    void Loaded() override {
        FieldsAtLoaded = {Panel, Special};
        TSample::Loaded();
    }

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TSampleForm>(TSample::PublishedProperties())
            .field(u"Panel", &TSampleForm::Panel)
            .field(u"Special", &TSampleForm::Special);
        return table;
    }
};

} // namespace

TEST(ComponentText, FieldsBindToTheirComponentsBeforeLoadedAndClearWhenTheyGo) {
    register_sample_classes();
    TSampleForm form(nullptr);
    auto* special = new TSampleChild(&form); // owned before reading: bound as well
    special->SetName(u"Special");
    read_component_text(text("object Form1: TSampleForm\r\n"
                             "  object panel: TSample\r\n  end\r\n"
                             "  object Other: TSample\r\n  end\r\n"
                             "end\r\n"),
                        form);
    ASSERT_NE(form.Panel, nullptr);
    EXPECT_EQ(form.Panel, form.FindComponent(u"Panel"));
    EXPECT_EQ(form.Special, special);
    EXPECT_EQ(form.FieldsAtLoaded, (std::vector<TComponent*>{form.Panel, special}));
    delete special;
    EXPECT_EQ(form.Special, nullptr);
    EXPECT_NE(form.Panel, nullptr);
}

TEST(ComponentText, AFieldWithoutItsComponentOrOfAnotherClassIsAnError) {
    register_sample_classes();
    struct row {
        std::string_view objects, message;
    };
    const row rows[] = {
        {"  object Panel: TSample\r\n  end\r\n", "field Special has no component of that name"},
        {"  object Panel: TSample\r\n  end\r\n  object Special: TSample\r\n  end\r\n",
         "Line 4: field Special needs a TSampleChild, not a TSample"},
        {"  object Panel: TSampleChild\r\n  end\r\n  object Special: TSampleChild\r\n  end\r\n", "not raised"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.objects));
        TSampleForm form(nullptr);
        const std::string source = "object Form1: TSampleForm\r\n" + std::string(r.objects) + "end\r\n";
        EXPECT_EQ(string_to_utf8(raised_message<EReadError>([&] { read_component_text(text(source), form); })), r.message);
    }
}
