// The skin's settings component: its file beside the program, its announcements, and skin forms that
// follow it.
#include "skin/SkinMessages.h"
#include "skin/uSkinRes.h"

#include "framework/Conversions.h"
#include "framework/DataModules.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/Properties.h"
#include "skin/uSkComm.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkFormBorder.h"
#include "skin/uSkinForm.h"
#include "tests/PublishedRoundTrip.h"
#include "tests/framework/visual/VisualFixture.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace kq::test {
namespace {

namespace fs = std::filesystem;

fs::path program_folder() { return fs::path(wide(ExtractFilePath(executable_path()))); }

void write_text(const fs::path& file, std::string_view text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

std::string read_text(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A settings file with the given elements under SkinRes/Config/Custom/Form.
std::string settings_file(std::string_view form_elements) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<SkinRes><Config><Custom><Form>" + std::string(form_elements) +
           "</Form></Custom></Config></SkinRes>\r\n";
}

// The values a settings file carries, with the colour shift, for comparing in one go.
struct settings_values {
    TSkinStyle Style;
    std::int32_t DefaultSkinOrder, HitTestWidth, GradientHeight, TitleHeight;
    TColor TitlerColor, Color;
    std::int32_t FramWidth;
    skin_color_shift Shift;
    bool operator==(const settings_values&) const = default;
};

settings_values values_of(const TSkFormSkinRes& f) {
    return {f.Style(),       f.DefaultSkinOrder(), f.HitTestWidth(), f.GradientHeight(), f.TitleHeight(),
            f.TitlerColor(), f.Color(),            f.FramWidth(),    SkinColorShift()};
}

const settings_values construction_values{ssColor, 0, 5, 168, 27, 16761926, 15920353, 2, {}};

void PrintTo(const settings_values& v, std::ostream* os) {
    *os << "{style " << int(v.Style) << ", order " << v.DefaultSkinOrder << ", hit " << v.HitTestWidth << ", gradient "
        << v.GradientHeight << ", title " << v.TitleHeight << ", titler " << v.TitlerColor << ", colour " << v.Color
        << ", frame " << v.FramWidth << ", hsb " << v.Shift.Hue << "/" << v.Shift.Saturation << "/"
        << v.Shift.Brightness << "}";
}

// Every test starts and ends without the program's "Skin" folder, and with no colour shift.
class skin_settings : public visual_test {
protected:
    void SetUp() override {
        visual_test::SetUp();
        remove_skin_folder();
    }
    void TearDown() override {
        delete form;
        remove_skin_folder();
        visual_test::TearDown();
    }
    static void remove_skin_folder() {
        std::error_code ignored;
        fs::remove_all(skin_folder(), ignored);
        SetSkinColorShift({});
    }
    static fs::path skin_folder() { return program_folder() / L"Skin"; }
    static fs::path config_file() { return skin_folder() / L"Config.xml"; }

    // A shown form with a skin form, which counts the settings' announcements that reach it.
    void make_form() {
        applied = 0;
        form = CreateForm<TForm>(Application);
        form->SetBounds(100, 80, 300, 200);
        skin = new TSkinForm(form);
        form->Show();
        applied_hook = form->HookWindowProc([this](TMessage& m, const TWndMethod& next) {
            if (m.Msg == WM_VK_APPLYSKINRES) ++applied;
            next(m);
        });
    }

    TForm* form = nullptr;
    TSkinForm* skin = nullptr;
    int applied = 0;
    window_hook applied_hook;
};

TEST_F(skin_settings, WithoutAFileTheConstructionValuesStayAndAreAnnouncedOnce) {
    struct row {
        const char* name;
        bool default_picture;
    };
    for (const row r : {row{"no pictures", false}, row{"the default picture", true}}) {
        SCOPED_TRACE(r.name);
        remove_skin_folder();
        const fs::path leaf = skin_folder() / L"Default" / L"skin_bk_leaf.jpg";
        if (r.default_picture)
            write_text(leaf, "jpeg");
        make_form();
        TSkinRes settings(nullptr);
        EXPECT_EQ(applied, 1);
        EXPECT_EQ(values_of(settings.Form()), construction_values);
        EXPECT_EQ(settings.Form().CustomPicture(), r.default_picture ? from_wide(leaf.c_str()) : String());
        EXPECT_EQ(settings.Form().CustomPictureName(), r.default_picture ? u"skin_bk_leaf.jpg" : u"");
        EXPECT_FALSE(fs::exists(config_file())) << "reading writes nothing";
        applied_hook = {};
        delete form;
        form = nullptr;
    }
}

TEST_F(skin_settings, SavedAndLoadedEveryValueComesBackAndLoadingAnnouncesNothing) {
    const fs::path picture = skin_folder() / L"Custom" / L"招标 背景.png";
    TSkinRes saved(nullptr);
    const settings_values values{ssPicture, 3, 7, 90, 31, 0x123456, -16777201, 4, {200, -30, 25}};
    {
        TSkFormSkinRes& f = saved.Form();
        f.BeginUpdate();
        f.SetStyle(values.Style);
        f.SetDefaultSkinOrder(values.DefaultSkinOrder);
        f.SetHitTestWidth(values.HitTestWidth);
        f.SetGradientHeight(values.GradientHeight);
        f.SetTitleHeight(values.TitleHeight);
        f.SetTitlerColor(values.TitlerColor);
        f.SetColor(values.Color);
        f.SetFramWidth(values.FramWidth);
        f.SetCustomPicture(from_wide(picture.c_str()));
        f.SetCustomPictureName(u"招标 背景.png");
        SetSkinColorShift(values.Shift);
        f.EndUpdate();
    }
    saved.Save();
    ASSERT_TRUE(fs::exists(config_file())) << "the missing folder is made";
    EXPECT_FALSE(fs::exists(config_file().string() + ".tmp"));
    const std::string text = read_text(config_file());
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>", 0), 0u) << text;
    // the twelve values in their order
    size_t at = 0;
    for (const char* name : {"<Style>1<", "<FormBg>招标 背景.png<", "<DefaultSkinOrder>3<", "<HitTestWidth>7<",
                             "<GradientHeight>90<", "<TitleHeight>31<", "<TitlerColor>1193046<",
                             "<Color>-16777201<", "<FramWidth>4<", "<HSB_H>200<", "<HSB_S>-30<", "<HSB_B>25<"}) {
        const size_t found = text.find(name, at);
        ASSERT_NE(found, std::string::npos) << name << " after " << at << " in " << text;
        at = found;
    }

    write_text(picture, "png");
    SetSkinColorShift({});
    make_form();
    TSkinRes loaded(nullptr);
    EXPECT_EQ(applied, 0);
    EXPECT_EQ(values_of(loaded.Form()), values);
    EXPECT_EQ(loaded.Form().CustomPicture(), from_wide(picture.c_str()));
    EXPECT_EQ(loaded.Form().CustomPictureName(), u"招标 背景.png");

    // Saved again over the old file: replaced whole.
    loaded.Form().SetTitleHeight(40);
    loaded.Save();
    EXPECT_NE(read_text(config_file()).find("<TitleHeight>40<"), std::string::npos);
    EXPECT_FALSE(fs::exists(config_file().string() + ".tmp"));
}

TEST_F(skin_settings, ASaveThatCannotBeWrittenLeavesTheOldFileWhole) {
    TSkinRes settings(nullptr);
    const std::string old = settings_file("<TitleHeight>40</TitleHeight>");
    write_text(config_file(), old);
    const String file = from_wide(config_file().c_str());
    ::SetFileAttributesW(wide(file), FILE_ATTRIBUTE_READONLY);
    auto writable = scope_exit([&] { ::SetFileAttributesW(wide(file), FILE_ATTRIBUTE_NORMAL); });
    EXPECT_THROW(settings.Save(), EFCreateError);
    EXPECT_EQ(read_text(config_file()), old);
    EXPECT_FALSE(fs::exists(config_file().string() + ".tmp"));
}

TEST_F(skin_settings, WhatTheFileLacksOrRefusesKeepsItsValue) {
    struct row {
        const char* name;
        std::string text;
        std::function<void(settings_values&)> expected; // applied to the construction values
        const wchar_t* existing_picture = nullptr;       // made in the "Skin" folder first
    };
    const row rows[] = {
        {"no Form element", "<?xml version=\"1.0\"?><SkinRes><Config><Custom/></Config></SkinRes>", [](auto&) {}},
        {"no Config element", "<SkinRes><Other/></SkinRes>", [](auto&) {}},
        {"an empty document", "", [](auto&) {}},
        {"only a title height", settings_file("<TitleHeight>40</TitleHeight>"), [](auto& v) { v.TitleHeight = 40; }},
        {"a negative frame width", settings_file("<FramWidth>-3</FramWidth><Color>255</Color>"),
         [](auto& v) { v.Color = 255; }},
        {"only the hue", settings_file("<HSB_H>-90</HSB_H>"), [](auto& v) { v.Shift.Hue = -90; }},
        {"a picture that is not there", settings_file("<FormBg>gone.png</FormBg>"), [](auto&) {}},
        {"a picture with a path", settings_file("<FormBg>..\\Elsewhere\\x.png</FormBg>"), [](auto&) {},
         L"Elsewhere\\x.png"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        SetSkinColorShift({});
        TSkinRes settings(nullptr);
        write_text(config_file(), r.text);
        if (r.existing_picture)
            write_text(skin_folder() / r.existing_picture, "png");
        settings.Load();
        settings_values expected = construction_values;
        r.expected(expected);
        EXPECT_EQ(values_of(settings.Form()), expected);
        EXPECT_EQ(settings.Form().CustomPicture(), u"");
        EXPECT_FALSE(settings.Form().Locked());
        remove_skin_folder();
    }
}

TEST_F(skin_settings, ABadValueRaisesNamingItAndAppliesNothing) {
    struct row {
        std::string elements;
        const char16_t* message;
    };
    const row rows[] = {
        {"<Style>0</Style><TitleHeight>abc</TitleHeight><Color>255</Color>",
         u"'abc' is not a valid integer value (element \"TitleHeight\" of \""},
        {"<TitleHeight>40</TitleHeight><Style>2</Style>", u"'2' is not a valid style (element \"Style\" of \""},
        {"<HSB_H>30</HSB_H><HSB_B>1.5</HSB_B>", u"'1.5' is not a valid integer value (element \"HSB_B\" of \""},
        {"<Color>99999999999</Color>", u"'99999999999' is not a valid integer value (element \"Color\" of \""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.elements);
        TSkinRes settings(nullptr);
        settings.Form().SetTitleHeight(33);
        const settings_values before = values_of(settings.Form());
        write_text(config_file(), settings_file(r.elements));
        try {
            settings.Load();
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            const String file = from_wide(config_file().c_str());
            EXPECT_EQ(e.Message(), String(r.message) + file + u"\")");
        }
        EXPECT_EQ(values_of(settings.Form()), before);
        // not left locked: the next change is announced
        int announced = 0;
        settings.Form().OnChanged = [&](TObject*) { ++announced; };
        settings.Form().SetTitleHeight(34);
        EXPECT_EQ(announced, 1);
        remove_skin_folder();
    }
}

TEST_F(skin_settings, WhatIsAnnounced) {
    struct row {
        const char* name;
        std::function<void(TSkinRes&)> change;
        int announcements;
    };
    const row rows[] = {
        {"the same picture text", [](TSkinRes& s) { s.Form().SetCustomPicture(u"SkinBg"); }, 0},
        {"the picture text in another case", [](TSkinRes& s) { s.Form().SetCustomPicture(u"skinbg"); }, 1},
        {"the same colour", [](TSkinRes& s) { s.Form().SetColor(s.Form().Color()); }, 0},
        {"a negative frame width", [](TSkinRes& s) { s.Form().SetFramWidth(-1); }, 0},
        {"each of two values",
         [](TSkinRes& s) {
             s.Form().SetColor(1);
             s.Form().SetTitleHeight(20);
         },
         2},
        {"nested updates",
         [](TSkinRes& s) {
             s.Form().BeginUpdate();
             s.Form().BeginUpdate();
             s.Form().SetColor(1);
             s.Form().EndUpdate();
             s.Form().SetTitleHeight(20);
             s.Form().EndUpdate();
         },
         1},
        {"an update that changes nothing",
         [](TSkinRes& s) {
             s.Form().BeginUpdate();
             s.Form().EndUpdate();
         },
         1},
        {"changes while locked",
         [](TSkinRes& s) {
             s.Form().Lock();
             s.Form().SetColor(1);
             s.Form().UnLock();
         },
         0},
        {"the defaults", [](TSkinRes& s) { s.ApplyDefault(); }, 1},
        {"a copy of other settings",
         [](TSkinRes& s) {
             TSkFormSkinRes other(nullptr);
             other.SetColor(1);
             other.SetTitleHeight(20);
             s.SetForm(other);
         },
         1},
    };
    make_form();
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TSkinRes settings(nullptr);
        settings.Form().SetCustomPicture(u"SkinBg");
        int announced = 0;
        settings.Form().OnChanged = [&](TObject* sender) {
            EXPECT_EQ(sender, &settings.Form());
            ++announced;
        };
        applied = 0;
        r.change(settings);
        EXPECT_EQ(announced, r.announcements);
        EXPECT_EQ(applied, r.announcements) << "every announcement tells the skinned forms";
    }
}

TEST_F(skin_settings, DefaultsResetTheValuesAndTheShiftButKeepThePictureName) {
    TSkinRes settings(nullptr);
    TSkFormSkinRes& f = settings.Form();
    f.SetStyle(ssPicture);
    f.SetTitleHeight(40);
    f.SetFramWidth(0);
    f.SetCustomPicture(u"x.png");
    f.SetCustomPictureName(u"x.png");
    f.SetRoundWindow(false);
    SetSkinColorShift({10, 20, 30});
    settings.ApplyDefault();
    EXPECT_EQ(values_of(f), construction_values);
    EXPECT_EQ(f.CustomPicture(), u"");
    EXPECT_EQ(f.CustomPictureName(), u"x.png");
    EXPECT_FALSE(f.RoundWindow());
}

TEST_F(skin_settings, ASkinFormGivenTheSettingsFollowsThemAndEveryFormFillsTheDefaults) {
    make_form();
    TSkinRes settings(nullptr);
    settings.Form().SetColor(0x0000FF);
    skin->SetSkinRes(&settings);
    EXPECT_EQ(skin->Color(), 0x0000FF);
    EXPECT_EQ(skin->ClientBkColor(), 0x0000FF);
    // a change reaches the form through the settings' announcement
    settings.Form().SetTitlerColor(0x00FF00);
    EXPECT_EQ(skin->TitlerColor(), 0x00FF00);
    EXPECT_EQ(skin->NCBkColor(), 0x00FF00);
    // the form's values are the defaults every skin form writes into
    ASSERT_NE(default_skin_res(), nullptr);
    EXPECT_EQ(default_skin_res()->Color(), 0x0000FF);
    EXPECT_EQ(default_skin_res()->TitlerColor(), 0x00FF00);
    skin->SetCustomPicture(u"SkinForm_bg");
    EXPECT_EQ(default_skin_res()->CustomPicture(), u"SkinForm_bg");
    // the settings going away leave the form without them
    auto* gone = new TSkinRes(form);
    skin->SetSkinRes(gone);
    delete gone;
    EXPECT_EQ(skin->SkinRes(), nullptr);
}

// Colour-style forms shift their colours by degrees of hue; picture-style forms shift the picture's
// pixels by the same angle.
TEST_F(skin_settings, ColoursAndPicturesShiftByTheSameHue) {
    for (const std::int32_t hue : {0, 60, 120, 200, 240, -120, 420}) {
        SCOPED_TRACE(hue);
        for (const TColor colour : {0x0000FF, 0x20A0E0, 0x336699}) {
            TColor shifted = 0;
            ShiftColorHSB(colour, hue, 0, 0, shifted);
            TBitmap32 picture;
            picture.SetSize(1, 1);
            picture.SetPixel(0, 0, WinColorToColor32(colour));
            ShiftBitmapHSL(&picture, hue_steps(hue), 0, 0);
            const TColor32 p = picture.GetPixel(0, 0);
            const TColor32 expected = WinColorToColor32(shifted);
            for (const int shift : {0, 8, 16})
                EXPECT_NEAR(int((p >> shift) & 0xFF), int((expected >> shift) & 0xFF), 8)
                    << std::hex << colour << " channel " << std::dec << shift;
        }
    }
    // the form's own colours follow the shift
    SetSkinColorShift({120, 0, 0});
    make_form();
    skin->SetColor(0x0000FF);
    skin->RefreshSkin();
    EXPECT_EQ(skin->ClientBkColor(), 0x00FF00);
}

// --- In a form text

// A data module, as the programs keep their settings component in one.
const String settings_head = u"object Root: TDataModule\r\n"
                             u"  object Border1: TSkFormLayerBorder\r\n"
                             u"  end\r\n"
                             u"  object Settings1: TSkinRes\r\n";
const String settings_tail = u"  end\r\nend\r\n";

// Every published value of the settings in a form text, the component told to keep the file in step with
// them: read and written back equal, and once loaded the component has written them to its file.
TEST_F(skin_settings, FormTextSetsEveryValueAndWithoutTheSkinFileWritesIt) {
    const std::vector<published_row> rows = {
        {u"UseSkinFile", u"False"},
        {u"Form.ActiveGradient", u"False"},
        {u"Form.DoubleFrame", u"False"},
        {u"Form.FillStyle", u"mfsTile"},
        {u"Form.FlatFrame", u"True"},
        {u"Form.RoundWindow", u"False"},
        {u"Form.ImageBorder", u"Border1"},
        {u"Form.TitleHeight", u"32"},
        {u"Form.TitlerColor", u"11463932"},
        {u"Form.Color", u"8184058"},
        {u"Form.FramWidth", u"0"},
        {u"Form.HitTestWidth", u"6"},
        {u"Form.GradientHeight", u"150"},
        {u"Form.CustomPicture", u"'afternoon'"},
        {u"Form.Style", u"ssPicture"},
        {u"Form.DefaultSkinOrder", u"3"},
    };
    const std::unique_ptr<TDataModule> root{CreateDataModule<TDataModule>(nullptr)};
    expect_round_trip(*root, settings_head, rows, settings_tail, u"object Settings1: TSkinRes");
    auto* settings = dynamic_cast<TSkinRes*>(root->FindComponent(u"Settings1"));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Form().ImageBorder(), root->FindComponent(u"Border1"));
    const std::string file = read_text(config_file());
    for (const char* value : {"<Style>1<", "<DefaultSkinOrder>3<", "<HitTestWidth>6<", "<GradientHeight>150<",
                              "<TitleHeight>32<", "<TitlerColor>11463932<", "<Color>8184058<", "<FramWidth>0<"})
        EXPECT_NE(file.find(value), std::string::npos) << value << " in " << file;

    // The border goes: the settings forget it.
    delete root->FindComponent(u"Border1");
    EXPECT_EQ(settings->Form().ImageBorder(), nullptr);
}

// Kept in step with its file, the component placed in a form takes the file's values over those of the text
// once it is loaded; its information property is read but never written.
TEST_F(skin_settings, FormTextWithTheSkinFileTakesTheFilesValues) {
    write_text(config_file(), settings_file("<TitleHeight>33</TitleHeight><FramWidth>5</FramWidth>"));
    const std::unique_ptr<TDataModule> root{CreateDataModule<TDataModule>(nullptr)};
    read_component_text(settings_head + u"    About = aiSkinComponent\r\n"
                                        u"    Form.TitleHeight = 40\r\n"
                                        u"    Form.GradientHeight = 150\r\n" +
                            settings_tail,
                        *root);
    auto* settings = dynamic_cast<TSkinRes*>(root->FindComponent(u"Settings1"));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Form().TitleHeight(), 33);
    EXPECT_EQ(settings->Form().FramWidth(), 5);
    EXPECT_EQ(settings->Form().GradientHeight(), 150) << "what the file lacks keeps the text's value";
    const String written = write_component_text(*root);
    EXPECT_EQ(written.find(u"About"), String::npos);
    EXPECT_NE(written.find(u"UseSkinFile = True"), String::npos);
}

} // namespace
} // namespace kq::test