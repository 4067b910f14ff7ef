#include "framework/Properties.h"

#include "sample_components.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kq;

namespace {

std::vector<String> names_of(const property_table& table) {
    std::vector<String> names;
    for (const property_info* p : table.all()) names.push_back(p->name);
    return names;
}

} // namespace

TEST(property_table, InheritsTheParentsPropertiesAheadOfItsOwn) {
    TSampleChild child(nullptr);
    const property_table& table = child.PublishedProperties();
    EXPECT_EQ(names_of(table), (std::vector<String>{u"Tag", u"Width", u"Mask", u"Ratio", u"Scale", u"Caption", u"Enabled",
                                                    u"Shape", u"Styles", u"Color", u"Cursor", u"Font", u"Items", u"Buddy",
                                                    u"Data", u"OnClick", u"OnResize", u"Extra"}));

    EXPECT_EQ(table.find(u"eXtRa")->name, u"Extra");
    EXPECT_EQ(table.find(u"tag")->name, u"Tag");
    EXPECT_EQ(table.find(u"Missing"), nullptr);
    EXPECT_EQ(table.find_method(u"buttonclick")->name, u"ButtonClick");
    // A parent's table does not see its descendants' additions, and tables are built once.
    EXPECT_EQ(TSample(nullptr).PublishedProperties().find(u"Extra"), nullptr);
    EXPECT_EQ(&TSampleChild(nullptr).PublishedProperties(), &table);
}

TEST(property_table, AccessorsReadAndWriteThroughGettersAndSetters) {
    TSample s(nullptr);
    std::vector<String> log;
    s.SetName(u"S");
    s.SetterLog = &log;
    const property_table& t = s.PublishedProperties();

    t.find(u"Width")->set(s, std::int64_t{42});
    EXPECT_EQ(s.Width, 42);
    EXPECT_EQ(log, std::vector<String>{u"S.Width"}); // through SetWidth
    t.find(u"Shape")->set(s, std::int64_t{2});
    EXPECT_EQ(s.Shape, TSampleShape::shStar);
    t.find(u"Styles")->set(s, std::int64_t{0b1010});
    EXPECT_EQ(s.Styles, (TSampleStyles{TSampleStyle::ssItalic, TSampleStyle::ssStrikeOut}));
    t.find(u"Scale")->set(s, 0.25);
    EXPECT_EQ(s.Scale, 0.25f);
    t.find(u"Data")->set(s, byte_block{1, 2});
    EXPECT_EQ(std::get<byte_block>(t.find(u"Data")->get(s)), (byte_block{1, 2}));
    EXPECT_EQ(std::get<TPersistent*>(t.find(u"Font")->get(s)), &s.Font);
    EXPECT_EQ(t.find(u"Items")->kind, property_kind::collection);
    EXPECT_EQ(std::get<std::int64_t>(t.find(u"Enabled")->get(s)), 1);

    // The declared type gives the range the reader enforces.
    const property_info* mask = t.find(u"Mask");
    EXPECT_EQ(mask->kind, property_kind::unsigned_integer);
    EXPECT_EQ(mask->min, 0);
    EXPECT_EQ(mask->max, 4294967295);
    EXPECT_EQ(t.find(u"Cursor")->min, -32768);
    EXPECT_TRUE(t.find(u"Ratio")->single_precision == false && t.find(u"Scale")->single_precision);
}

TEST(property_table, DefaultsAreTheDeclaredValueOrElseTheEmptyValueOfTheKind) {
    TSample s(nullptr);
    const property_table& t = s.PublishedProperties();
    struct row {
        const char16_t* property;
        property_value value;
        bool is_default;
    };
    const row rows[] = {
        {u"Width", std::int64_t{10}, true},   {u"Width", std::int64_t{0}, false},
        {u"Mask", std::int64_t{0}, false},    // no declared default: even zero is written
        {u"Enabled", std::int64_t{1}, true},  {u"Enabled", std::int64_t{0}, false},
        {u"Ratio", 0.0, true},                {u"Ratio", -0.0, true}, {u"Ratio", 1e-300, false},
        {u"Caption", String(), true},         {u"Caption", String(u" "), false},
        {u"Styles", std::int64_t{0}, false},  {u"Data", byte_block{}, true}, {u"Data", byte_block{0}, false},
        {u"Buddy", static_cast<TComponent*>(nullptr), true}, {u"Buddy", static_cast<TComponent*>(&s), false},
        {u"OnClick", String(), true},         {u"OnClick", String(u"X"), false},
        {u"Items", static_cast<TPersistent*>(&s.Items), true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.property));
        EXPECT_EQ(is_default_value(*t.find(r.property), r.value), r.is_default);
    }
    s.Items.Add();
    EXPECT_FALSE(is_default_value(*t.find(u"Items"), static_cast<TPersistent*>(&s.Items)));
}

TEST(property_table, EventsBindMethodsOfTheRootByName) {
    TSample form(nullptr), button(nullptr);
    form.SetName(u"Form");
    button.SetName(u"Button");
    const property_info* on_click = button.PublishedProperties().find(u"OnClick");
    const property_info* on_resize = button.PublishedProperties().find(u"OnResize");
    const method_info* click = form.PublishedProperties().find_method(u"ButtonClick");

    ASSERT_TRUE(on_click->bind(button, click->make(form)));
    button.OnClick(&button);
    EXPECT_EQ(form.Clicks, std::vector<String>{u"Button"}); // the form's method ran
    EXPECT_EQ(std::get<String>(on_click->get(button)), u"ButtonClick");

    // A method of another signature is refused and leaves the event as it was.
    EXPECT_FALSE(on_resize->bind(button, click->make(form)));
    EXPECT_FALSE(button.OnResize);

    // An event assigned in code has no name to write.
    button.OnClick = [](TObject*) {};
    EXPECT_EQ(std::get<String>(on_click->get(button)), u"");
}

TEST(property_table, ComponentReferencesAcceptOnlyTheDeclaredClass) {
    TSample s(nullptr);
    TComponent plain(nullptr);
    TSampleChild child(nullptr);
    const property_info* buddy = s.PublishedProperties().find(u"Buddy");
    EXPECT_FALSE(buddy->accepts(&plain));
    EXPECT_TRUE(buddy->accepts(&child));
    EXPECT_TRUE(buddy->accepts(nullptr));
    buddy->set(s, static_cast<TComponent*>(&child));
    EXPECT_EQ(s.Buddy, &child);
}

TEST(class_registry, CreatesRegisteredClassesByNameWithAnOwner) {
    register_sample_classes();
    TComponent owner(nullptr);
    const component_factory create = find_class(u"tsamplechild");
    ASSERT_NE(create, nullptr);
    TComponent* made = create(&owner);
    EXPECT_EQ(made->ClassName(), u"TSampleChild");
    EXPECT_EQ(made->Owner(), &owner);
    EXPECT_EQ(find_class(u"TNeverRegistered"), nullptr);
}

TEST(ident_map, NamesValuesBothWays) {
    ident_map map;
    map.add(-16777201, u"clBtnFace");
    map.add(255, u"clRed");
    EXPECT_EQ(*map.name_of(255), u"clRed");
    EXPECT_EQ(map.name_of(254), nullptr);
    EXPECT_EQ(map.value_of(u"CLBTNFACE"), -16777201);
    EXPECT_EQ(map.value_of(u"clBlue"), std::nullopt);
}
