#include "framework/DataModules.h"

#include "framework/ComponentText.h"
#include "framework/Properties.h"
#include "framework/ResourceStreams.h"

namespace kq {

bool read_component_resource(TComponent& root) {
    const auto text = program_rcdata(root.ClassName());
    if (!text) return false;
    read_component_text(utf8_to_string(std::string_view(reinterpret_cast<const char*>(text->data()), text->size())),
                        root);
    return true;
}

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) {}

TDataModule::~TDataModule() {
    // OnDestroy sees the module whole: its components go after it, in the base destructor.
    if (FCreated && OnDestroy) guard_callback([&] { OnDestroy(this); });
}

void TDataModule::AfterConstruction() {
    read_component_resource(*this);
    FCreated = true;
    if (OnCreate) OnCreate(this);
}

const property_table& TDataModule::PublishedProperties() const {
    static const property_table table = property_table::of<TDataModule>(TComponent::PublishedProperties())
        .event(u"OnCreate", &TDataModule::OnCreate)
        .event(u"OnDestroy", &TDataModule::OnDestroy);
    return table;
}

} // namespace kq
