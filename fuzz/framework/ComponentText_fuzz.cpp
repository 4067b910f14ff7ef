// Component text from anywhere (a damaged settings file) may only raise the framework's errors.

#include "framework/ComponentText.h"
#include "framework/Components.h"
#include "framework/Exceptions.h"
#include "framework/Properties.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace kq {

class TFuzzItem : public TCollectionItem {
public:
    String Caption;
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TFuzzItem>(TCollectionItem::PublishedProperties())
            .string(u"Caption", &TFuzzItem::Caption, &TFuzzItem::Caption);
        return table;
    }
};

class TFuzzFont : public TPersistent {
public:
    String Name;
    double Size = 0;
    float Scale = 0;
    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TFuzzFont>(TPersistent::PublishedProperties())
            .string(u"Name", &TFuzzFont::Name, &TFuzzFont::Name)
            .floating(u"Size", &TFuzzFont::Size, &TFuzzFont::Size)
            .floating(u"Scale", &TFuzzFont::Scale, &TFuzzFont::Scale);
        return table;
    }
};

enum class TFuzzKind { fkA, fkB };

class TFuzzComponent : public TComponent {
public:
    using TComponent::TComponent;
    std::uint8_t Small = 0;
    bool Flag = false;
    TFuzzKind Kind = TFuzzKind::fkA;
    enum_set<TFuzzKind> Kinds;
    TFuzzFont Font;
    TCollection Items{&TCollection::item_class<TFuzzItem>, this};
    TFuzzComponent* Link = nullptr;
    byte_block Data;
    std::function<void(TObject*)> OnEvent;
    void Handler(TObject*) {}

    void Notification(TComponent* AComponent, TOperation Operation) override {
        if (Operation == TOperation::opRemove && AComponent == Link) Link = nullptr;
        TComponent::Notification(AComponent, Operation);
    }

    const property_table& PublishedProperties() const override {
        static const property_table table = property_table::of<TFuzzComponent>(TComponent::PublishedProperties())
            .integer(u"Small", &TFuzzComponent::Small, &TFuzzComponent::Small)
            .boolean(u"Flag", &TFuzzComponent::Flag, &TFuzzComponent::Flag)
            .enumeration(u"Kind", &TFuzzComponent::Kind, &TFuzzComponent::Kind, {u"fkA", u"fkB"})
            .set_of(u"Kinds", &TFuzzComponent::Kinds, &TFuzzComponent::Kinds, {u"fkA", u"fkB"})
            .persistent(u"Font", [](const TFuzzComponent& c) { return &c.Font; })
            .persistent(u"Items", [](const TFuzzComponent& c) { return &c.Items; })
            .component(u"Link", &TFuzzComponent::Link, &TFuzzComponent::Link)
            .binary(u"Data", &TFuzzComponent::Data, &TFuzzComponent::Data)
            .event(u"OnEvent", &TFuzzComponent::OnEvent)
            .method(u"Handler", &TFuzzComponent::Handler);
        return table;
    }
};

} // namespace kq

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kq;
    register_class<TFuzzComponent>();
    const String text = utf8_to_string(std::string_view(reinterpret_cast<const char*>(data), size));
    TFuzzComponent root(nullptr);
    try {
        read_component_text(text, root);
    } catch (const Exception&) {
        // bad text is refused; what was read before the error must still write and read back
    }
    // Whatever the root holds now is written so that it reads back to the same text.
    const String written = write_component_text(root);
    TFuzzComponent copy(nullptr);
    read_component_text(written, copy);
    if (write_component_text(copy) != written) __builtin_trap();
    return 0;
}
