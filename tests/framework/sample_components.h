#pragma once

// A small class tree with a published property of every kind, shared by the property and
// component-text tests.

#include "framework/Components.h"
#include "framework/Properties.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace kq {

enum class TSampleShape { shRect, shCircle, shStar };
enum class TSampleStyle { ssBold, ssItalic, ssUnderline, ssStrikeOut };
using TSampleStyles = enum_set<TSampleStyle>;

inline const std::vector<String>& sample_shape_names() {
    static const std::vector<String> names{u"shRect", u"shCircle", u"shStar"};
    return names;
}
inline const std::vector<String>& sample_style_names() {
    static const std::vector<String> names{u"ssBold", u"ssItalic", u"ssUnderline", u"ssStrikeOut"};
    return names;
}

class TSampleFont : public TPersistent {
public:
    String Name = u"Tahoma";
    int Height = -11;
    TSampleStyles Style;
    std::int32_t Color = 0;

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TSampleFont>(TPersistent::PublishedProperties())
            .string(u"Name", &TSampleFont::Name, &TSampleFont::Name, u"Tahoma")
            .integer(u"Height", &TSampleFont::Height, &TSampleFont::Height)
            .set_of(u"Style", &TSampleFont::Style, &TSampleFont::Style, sample_style_names(), TSampleStyles{})
            .color(u"Color", &TSampleFont::Color, &TSampleFont::Color, 0);
        return table;
    }
};

class TSampleItem : public TCollectionItem {
public:
    String Caption;
    int Size = 0;
    TSampleFont Font;

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TSampleItem>(TCollectionItem::PublishedProperties())
            .string(u"Caption", &TSampleItem::Caption, &TSampleItem::Caption)
            .integer(u"Size", &TSampleItem::Size, &TSampleItem::Size)
            .persistent(u"Font", &TSampleItem::Font);
        return table;
    }
};

class TSample : public TComponent {
public:
    explicit TSample(TComponent* owner) : TComponent(owner) {}

    int Width = 10;
    std::uint32_t Mask = 0;
    double Ratio = 0;
    float Scale = 0;
    String Caption;
    bool Enabled = true;
    TSampleShape Shape = TSampleShape::shRect;
    TSampleStyles Styles;
    std::int32_t Color = 0;
    std::int16_t Cursor = 0;
    TSampleFont Font;
    TCollection Items{&TCollection::item_class<TSampleItem>, this};
    TSample* Buddy = nullptr;
    byte_block Data;
    std::function<void(TObject*)> OnClick;
    std::function<void(TObject*, int)> OnResize;
    TComponent* ParentComponent = nullptr; // where the reader placed it

    void SetParentComponent(TComponent* value) override { ParentComponent = value; }

    // Set through SetWidth so tests can see setters run (and in which order).
    std::vector<String>* SetterLog = nullptr;
    void SetWidth(int value) {
        Width = value;
        StateDuringWidth = ComponentState();
        if (SetterLog) SetterLog->push_back(Name() + u".Width");
    }

    int LoadedCalls = 0;
    TSample* BuddyAtLoaded = nullptr;
    TComponentState StateDuringWidth;
    void Loaded() override {
        ++LoadedCalls;
        BuddyAtLoaded = Buddy;
        TComponent::Loaded();
    }

    // Methods the text may bind to events.
    std::vector<String> Clicks;
    void ButtonClick(TObject* sender) { Clicks.push_back(static_cast<TComponent*>(sender)->Name()); }
    void FormResize(TObject*, int) {}

    void Notification(TComponent* component, TOperation operation) override {
        if (operation == TOperation::opRemove && component == Buddy) Buddy = nullptr;
        TComponent::Notification(component, operation);
    }

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TSample>(TComponent::PublishedProperties())
            .integer(u"Width", &TSample::Width, &TSample::SetWidth, 10)
            .integer(u"Mask", &TSample::Mask, &TSample::Mask)
            .floating(u"Ratio", &TSample::Ratio, &TSample::Ratio)
            .floating(u"Scale", &TSample::Scale, &TSample::Scale)
            .string(u"Caption", &TSample::Caption, &TSample::Caption)
            .boolean(u"Enabled", &TSample::Enabled, &TSample::Enabled, true)
            .enumeration(u"Shape", &TSample::Shape, &TSample::Shape, sample_shape_names(), TSampleShape::shRect)
            .set_of(u"Styles", &TSample::Styles, &TSample::Styles, sample_style_names())
            .color(u"Color", &TSample::Color, &TSample::Color)
            .cursor(u"Cursor", &TSample::Cursor, &TSample::Cursor, 0)
            .persistent(u"Font", [](const TSample& s) -> const TSampleFont& { return s.Font; })
            .persistent(u"Items", [](const TSample& s) { return &s.Items; })
            .component(u"Buddy", &TSample::Buddy, &TSample::Buddy)
            .binary(u"Data", &TSample::Data, &TSample::Data)
            .event(u"OnClick", &TSample::OnClick)
            .event(u"OnResize", &TSample::OnResize)
            .method(u"ButtonClick", &TSample::ButtonClick)
            .method(u"FormResize", &TSample::FormResize);
        return table;
    }
};

// A class with nothing published of its own, to show inheritance of the table.
class TSampleChild : public TSample {
public:
    using TSample::TSample;
    int Extra = 0;
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TSampleChild>(TSample::PublishedProperties())
            .integer(u"Extra", &TSampleChild::Extra, &TSampleChild::Extra);
        return table;
    }
};

inline void register_sample_classes() {
    register_class<TSample>();
    register_class<TSampleChild>();
}

} // namespace kq
