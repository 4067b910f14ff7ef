#pragma once
// TDataModule: a non-visual container of components read from its resource, made with CreateDataModule.

#include "framework/Components.h"

#include <memory>
#include <utility>

namespace kq {

// A non-visual container of components, read from its resource as a form is: the program's RCDATA
// named after its class holds its component text. Create it with CreateDataModule, so that the resource
// is read and OnCreate raised once the whole object, derived classes included, is built.
class TDataModule : public TComponent {
public:
    explicit TDataModule(TComponent* owner);
    ~TDataModule() override;

    // Reads the module's resource when the executable has one, then raises OnCreate.
    virtual void AfterConstruction();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;

    const property_table& PublishedProperties() const override;

private:
    bool FCreated = false;
};

// Builds a data module of class T and runs its creation steps (resource, OnCreate).
template <class T, class... A>
T* CreateDataModule(TComponent* owner, A&&... args) {
    auto module = std::make_unique<T>(owner, std::forward<A>(args)...); // freed if its creation steps fail
    module->AfterConstruction();
    return module.release();
}

// Reads the program's RCDATA resource named after root's class into root; false when there is none.
bool read_component_resource(TComponent& root);

} // namespace kq
