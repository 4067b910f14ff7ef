#include "tabs/PageTabs.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/Lists.h"
#include "framework/Properties.h"
#include "framework/Streams.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kq {
namespace {

// --- Walking the property metadata

struct leaf {
    String path;
    TPersistent* object;
    const property_info* info;
};

// Every value property below Root, in the order component text writes them, with its dotted path.
std::vector<leaf> leaves(TPersistent& Root, const String& Prefix) {
    std::vector<leaf> result;
    for (const property_info* info : Root.PublishedProperties().all()) {
        const String path = Prefix + info->name;
        if (info->kind == property_kind::persistent) {
            auto below = leaves(*std::get<TPersistent*>(info->get(Root)), path + u".");
            result.insert(result.end(), below.begin(), below.end());
        } else {
            result.push_back({path, &Root, info});
        }
    }
    return result;
}

enum class tree { options, look };

TPersistent& tree_of(TCustomPageTabs& Strip, tree Tree) {
    if (Tree == tree::options) return Strip.Options();
    return Strip.LookAndFeel();
}

String prefix_of(tree Tree) { return Tree == tree::options ? u"Options." : u"LookAndFeel."; }

// Every value of the tree by path, as exact text (floats with all their digits).
std::map<std::string, std::string> values_of(TCustomPageTabs& Strip, tree Tree) {
    std::map<std::string, std::string> result;
    for (const leaf& l : leaves(tree_of(Strip, Tree), prefix_of(Tree))) {
        const property_value value = l.info->get(*l.object);
        std::string shown;
        if (const auto* i = std::get_if<std::int64_t>(&value)) shown = std::to_string(*i);
        else if (const auto* d = std::get_if<double>(&value)) {
            char buffer[40];
            std::snprintf(buffer, sizeof buffer, "%a", *d);
            shown = buffer;
        } else if (const auto* s = std::get_if<String>(&value)) shown = "'" + string_to_utf8(*s) + "'";
        result[string_to_utf8(l.path)] = shown;
    }
    return result;
}

// Gives every value of the tree another one its type allows.
void change_every_value(TCustomPageTabs& Strip, tree Tree) {
    for (const leaf& l : leaves(tree_of(Strip, Tree), String())) {
        const property_value value = l.info->get(*l.object);
        switch (l.info->kind) {
        case property_kind::boolean: l.info->set(*l.object, std::int64_t{!std::get<std::int64_t>(value)}); break;
        case property_kind::enumeration: {
            const auto count = static_cast<std::int64_t>(l.info->names.size());
            l.info->set(*l.object, (std::get<std::int64_t>(value) + 1) % count);
            break;
        }
        case property_kind::integer:
        case property_kind::unsigned_integer:
        case property_kind::color:
        case property_kind::cursor: {
            const std::int64_t n = std::get<std::int64_t>(value);
            l.info->set(*l.object, n < l.info->max ? n + 1 : n - 1);
            break;
        }
        case property_kind::floating: l.info->set(*l.object, std::get<double>(value) + 1.5); break;
        case property_kind::string: l.info->set(*l.object, std::get<String>(value) + u"x"); break;
        default: ADD_FAILURE() << "no change for " << string_to_utf8(l.path);
        }
    }
}

// --- Fixture

// A strip that counts how often it is painted.
class counting_strip : public TPageTabs {
public:
    using TPageTabs::TPageTabs;
    int paints = 0;

protected:
    void DrawStrip() override {
        ++paints;
        TPageTabs::DrawStrip();
    }
};

std::string text_of(TStringStream& Stream) { return string_to_utf8(Stream.DataString()); }

void save(TCustomPageTabs& Strip, tree Tree, TStream& Stream) {
    if (Tree == tree::options) Strip.SaveOptions(Stream);
    else Strip.SaveLookAndFeel(Stream);
}

void load(TCustomPageTabs& Strip, tree Tree, TStream& Stream) {
    if (Tree == tree::options) Strip.LoadOptions(Stream);
    else Strip.LoadLookAndFeel(Stream);
}

void load_text(TCustomPageTabs& Strip, tree Tree, const String& Text) {
    TStringStream stream(Text);
    load(Strip, Tree, stream);
}

// A default strip with two tabs on a shown form, so that repaints really paint.
class settings_test : public test::visual_test {
protected:
    void SetUp() override {
        test::visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 800, 80);
        strip = new counting_strip(form);
        strip->SetBounds(0, 0, 724, 35);
        strip->SetParent(form);
        for (int i = 0; i < 2; ++i) strip->Tabs().Add()->SetCaption(IntToStr(i));
        form->Show();
        for (int i = 0; i < 20; ++i) {
            Application->ProcessMessages();
            ::Sleep(5);
        }
        strip->paints = 0;
    }
    void TearDown() override {
        delete form;
        test::visual_test::TearDown();
    }

    TForm* form = nullptr;
    counting_strip* strip = nullptr;
};

const tree both_trees[] = {tree::options, tree::look};

// --- Saving and loading

TEST_F(settings_test, SavingAndLoadingADefaultStripChangesNoValue) {
    for (const tree t : both_trees) {
        SCOPED_TRACE(static_cast<int>(t));
        const auto before = values_of(*strip, t);
        TStringStream text;
        save(*strip, t, text);
        text.SetPosition(0);
        load(*strip, t, text);
        EXPECT_EQ(values_of(*strip, t), before);
    }
}

TEST_F(settings_test, EveryChangedValueTravelsToAnotherStrip) {
    for (const tree t : both_trees) {
        SCOPED_TRACE(static_cast<int>(t));
        TPageTabs changed(nullptr);
        change_every_value(changed, t);
        const auto before = values_of(*strip, t);
        TStringStream text;
        save(changed, t, text);
        text.SetPosition(0);
        load(*strip, t, text);
        EXPECT_EQ(values_of(*strip, t), values_of(changed, t));
        EXPECT_NE(values_of(*strip, t), before);
    }
}

TEST_F(settings_test, TextNamesTheWrapperAndWritesOnePathPerLine) {
    TStringStream options;
    strip->SaveOptions(options);
    const std::string o = text_of(options);
    EXPECT_EQ(o.rfind("object TTabsOptions\r\n", 0), 0u) << o;
    EXPECT_NE(o.find("\r\n  Options.Display.Tabs.TabOverlap = 15\r\n"), std::string::npos);
    EXPECT_NE(o.find("\r\n  Options.Display.Tabs.TextTrimType = tttFade\r\n"), std::string::npos);
    EXPECT_NE(o.find("\r\n  Options.DragDrop.ContrainDraggedTabWithinContainer = True\r\n"), std::string::npos);
    EXPECT_TRUE(o.ends_with("\r\nend\r\n"));

    TStringStream look;
    strip->SaveLookAndFeel(look);
    const std::string l = text_of(look);
    EXPECT_EQ(l.rfind("object TTabsLookAndFeel\r\n", 0), 0u) << l;
    EXPECT_NE(l.find("\r\n  LookAndFeel.Tabs.DefaultFont.Name = 'Segoe UI'\r\n"), std::string::npos);
    EXPECT_NE(l.find("\r\n  LookAndFeel.Tabs.DefaultFont.TextRendoringMode = TextRenderingHintClearTypeGridFit\r\n"),
              std::string::npos);
    EXPECT_NE(l.find("\r\n  LookAndFeel.CloseButton.Circle.Normal.StartColor = clGradientActiveCaption\r\n"),
              std::string::npos);
}

// One line per written property, in the order of the metadata: every option, and every look value but a
// zero outline, which component text leaves out.
TEST_F(settings_test, CodeHasOneAssignmentPerWrittenProperty) {
    struct row {
        tree t;
        std::function<String()> code;
        std::size_t left_out;
    };
    const row rows[] = {{tree::options, [&] { return strip->OptionsToCode(); }, 0},
                        {tree::look, [&] { return strip->LookAndFeelToCode(); }, 1}};
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.t));
        TStringList lines;
        lines.SetText(r.code());
        std::vector<String> written;
        const auto all = leaves(tree_of(*strip, r.t), prefix_of(r.t));
        for (const leaf& l : all)
            if (!is_default_value(*l.info, l.info->get(*l.object))) written.push_back(l.path);
        EXPECT_EQ(written.size() + r.left_out, all.size());
        ASSERT_EQ(lines.Count(), static_cast<int>(written.size()));
        for (int i = 0; i < lines.Count(); ++i) {
            const String& line = lines.Strings(i);
            SCOPED_TRACE(string_to_utf8(line));
            EXPECT_TRUE(line.starts_with(u"PageTabs1." + written[static_cast<std::size_t>(i)] + u" := "));
            EXPECT_TRUE(line.ends_with(u";"));
        }
    }
    const String options = strip->OptionsToCode();
    EXPECT_NE(options.find(u"\r\nPageTabs1.Options.Display.Tabs.TabOverlap := 15;\r\n"), String::npos);
    EXPECT_NE(strip->LookAndFeelToCode().find(u"\r\nPageTabs1.LookAndFeel.Tabs.DefaultFont.Name := 'Segoe UI';\r\n"),
              String::npos);
}

TEST_F(settings_test, ColoursReadAsIdentifiersOrNumbers) {
    load_text(*strip, tree::look,
              u"object TTabsLookAndFeel\r\n"
              u"  LookAndFeel.TabsContainer.StartColor = clRed\r\n"
              u"  LookAndFeel.TabsContainer.StopColor = 255\r\n"
              u"  LookAndFeel.Tabs.BaseLine.Color = clGradientActiveCaption\r\n"
              u"  LookAndFeel.Tabs.MouseGlow.CentreColor = -2147483635\r\n"
              u"end\r\n");
    const TPageTabsLookAndFeel& look = strip->LookAndFeel();
    EXPECT_EQ(look.TabsContainer()->StartColor(), clRed);
    EXPECT_EQ(look.TabsContainer()->StopColor(), 255);
    EXPECT_EQ(look.Tabs()->BaseLine()->Color(), clGradientActiveCaption);
    EXPECT_EQ(look.Tabs()->MouseGlow()->CentreColor(), clHighlight);
}

// --- Failures

TEST_F(settings_test, AFailedLoadKeepsWhatWasReadBeforeItUnlessTheTextIsMalformed) {
    struct row {
        const char* name;
        String second_line;
        String message;
        int tab_overlap; // after the failure; the first line sets 7
        int paints;
    };
    const row rows[] = {
        {"unknown property", u"  Options.Display.Tabs.Nothing = 1", u"Line 3: property Options.Display.Tabs.Nothing does not exist",
         7, 1},
        {"invalid value", u"  Options.Display.Tabs.MinWidth = True", u"Line 3: invalid value for property Options.Display.Tabs.MinWidth",
         7, 1},
        {"syntax error", u"  Options.Display.Tabs.MinWidth 30", u"Line 3, column 33: '=' expected", 15, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        strip->Options().Display()->Tabs()->SetTabOverlap(15);
        strip->paints = 0;
        try {
            load_text(*strip, tree::options,
                      u"object TTabsOptions\r\n  Options.Display.Tabs.TabOverlap = 7\r\n" + r.second_line + u"\r\nend\r\n");
            ADD_FAILURE() << "no error";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), r.message);
        }
        EXPECT_EQ(strip->Options().Display()->Tabs()->TabOverlap(), r.tab_overlap);
        EXPECT_EQ(strip->Options().Display()->Tabs()->MinWidth(), 25);
        EXPECT_EQ(strip->paints, r.paints);
        EXPECT_FALSE(strip->HasState(TPageTabState::stsPendingUpdates)) << "the update bracket was left open";
    }
}

// Options text is no look text.
TEST_F(settings_test, LoadingTheOtherTreesTextChangesNothing) {
    TStringStream text;
    strip->SaveOptions(text);
    text.SetPosition(0);
    const auto before = values_of(*strip, tree::look);
    EXPECT_THROW(strip->LoadLookAndFeel(text), EReadError);
    EXPECT_EQ(values_of(*strip, tree::look), before);
}

// --- Repaints

TEST_F(settings_test, LoadingRepaintsOnceAtTheEnd) {
    TPageTabs changed(nullptr);
    change_every_value(changed, tree::options);
    change_every_value(changed, tree::look);
    struct row {
        const char* name;
        tree t;
        String text;
    };
    TStringStream options, look;
    changed.SaveOptions(options);
    changed.SaveLookAndFeel(look);
    const row rows[] = {
        {"every option", tree::options, options.DataString()},
        {"every look value", tree::look, look.DataString()},
        {"one option", tree::options, u"object TTabsOptions\r\n  Options.Display.Tabs.TabOverlap = 9\r\nend\r\n"},
        // Setting nothing still ends with the one repaint a load promises.
        {"header and end only", tree::options, u"object TTabsOptions\r\nend\r\n"},
        {"look header and end only", tree::look, u"object TTabsLookAndFeel\r\nend\r\n"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        strip->paints = 0;
        int paints_while_loading = 0;
        strip->OnChange = [&](TObject*, TPageTab*, TTabChangeType) { paints_while_loading = strip->paints; };
        load_text(*strip, r.t, r.text);
        EXPECT_EQ(paints_while_loading, 0);
        EXPECT_EQ(strip->paints, 1);
        EXPECT_FALSE(strip->HasState(TPageTabState::stsPendingUpdates));
        strip->OnChange = nullptr;
    }
}

// --- Files

class settings_file_test : public settings_test {
protected:
    void SetUp() override {
        settings_test::SetUp();
        folder = std::filesystem::temp_directory_path() / ("kq-tab-settings-" + std::to_string(::GetCurrentProcessId()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            ::SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(folder, error);
        settings_test::TearDown();
    }
    String path(const wchar_t* name) const { return from_wide((folder / name).c_str()); }
    void write(const wchar_t* name, const std::string& content) const {
        std::ofstream(folder / name, std::ios::binary) << content;
    }
    std::string read(const wchar_t* name) const {
        std::ifstream in(folder / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::filesystem::path> files() const {
        std::vector<std::filesystem::path> found;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) found.push_back(entry.path().filename());
        return found;
    }

    std::filesystem::path folder;
};

TEST_F(settings_file_test, SavingOverALongerFileLeavesOnlyTheNewText) {
    for (const tree t : both_trees) {
        SCOPED_TRACE(static_cast<int>(t));
        TStringStream expected;
        save(*strip, t, expected);
        write(L"settings.txt", std::string(200000, 'x'));
        if (t == tree::options) strip->SaveOptions(path(L"settings.txt"));
        else strip->SaveLookAndFeel(path(L"settings.txt"));
        EXPECT_EQ(read(L"settings.txt"), text_of(expected));
        EXPECT_EQ(files(), (std::vector<std::filesystem::path>{L"settings.txt"}));
    }
}

TEST_F(settings_file_test, AFailedSaveLeavesTheOldFileIntact) {
    write(L"settings.txt", "old settings");
    const String target = path(L"settings.txt");
    ::SetFileAttributesW(wide(target), FILE_ATTRIBUTE_READONLY);
    for (const tree t : both_trees) {
        SCOPED_TRACE(static_cast<int>(t));
        try {
            if (t == tree::options) strip->SaveOptions(target);
            else strip->SaveLookAndFeel(target);
            ADD_FAILURE() << "no error";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(e.Message(), u"Cannot create file \"" + target + u"\". " + SysErrorMessage(ERROR_ACCESS_DENIED));
        }
        EXPECT_EQ(read(L"settings.txt"), "old settings");
        EXPECT_EQ(files(), (std::vector<std::filesystem::path>{L"settings.txt"}));
    }
}

// A strip whose options text breaks off after its first word.
class breaking_strip : public TPageTabs {
public:
    using TPageTabs::TPageTabs;
    using TPageTabs::SaveOptions;
    void SaveOptions(TStream& Stream) override {
        Stream.WriteBuffer("object", 6);
        throw EWriteError(u"Stream write error");
    }
};

TEST_F(settings_file_test, ATextThatBreaksOffLeavesTheOldFileIntact) {
    write(L"settings.txt", "old settings");
    breaking_strip breaking(nullptr);
    EXPECT_THROW(breaking.SaveOptions(path(L"settings.txt")), EWriteError);
    EXPECT_EQ(read(L"settings.txt"), "old settings");
    EXPECT_EQ(files(), (std::vector<std::filesystem::path>{L"settings.txt"}));
}

TEST_F(settings_file_test, LoadingAFileReadsWhatWasSaved) {
    TPageTabs changed(nullptr);
    change_every_value(changed, tree::options);
    change_every_value(changed, tree::look);
    changed.SaveOptions(path(L"options.txt"));
    changed.SaveLookAndFeel(path(L"look.txt"));
    strip->LoadOptions(path(L"options.txt"));
    strip->LoadLookAndFeel(path(L"look.txt"));
    EXPECT_EQ(values_of(*strip, tree::options), values_of(changed, tree::options));
    EXPECT_EQ(values_of(*strip, tree::look), values_of(changed, tree::look));

    const String missing = path(L"missing.txt");
    try {
        strip->LoadOptions(missing);
        ADD_FAILURE() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), u"Cannot open file \"" + missing + u"\". " + SysErrorMessage(ERROR_FILE_NOT_FOUND));
    }
}

} // namespace
} // namespace kq
