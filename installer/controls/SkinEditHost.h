#pragma once
// skin_edit_host: what a skinned field's items and balloon tip ask of the field that owns them. The field
// includes them; through this they need not include the field.

#include "framework/Components.h"

namespace kq {

class TControl;

class skin_edit_host {
public:
    // The field as a control: the tip sits next to it, right-aligned items count from its width, and a
    // changed item repaints it.
    virtual TControl& host_control() noexcept = 0;
    // The class of the items the field's collection makes.
    virtual TCollection::item_factory GetItemClass() const = 0;
    // An item of the field's is going away: the field stops using it as its check box and repaints.
    virtual void item_deleting(const TCollectionItem* Item) = 0;

protected:
    ~skin_edit_host() = default;
};

} // namespace kq
