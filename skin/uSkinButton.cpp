#include "skin/uSkinButton.h"

#include "framework/Menus.h"
#include "framework/Properties.h"

namespace kq {

const property_table& TSkinImageButton::PublishedProperties() const {
    using B = TSkinImageButton;
    static const property_table table = property_table::of<B>(TSkinCustomButton::PublishedProperties())
        .persistent(u"Pictures", [](const B& b) { return &const_cast<B&>(b).Pictures(); })
        .boolean(u"LayerMode", &B::LayerMode, &B::SetLayerMode, false)
        .persistent(u"Layers", [](const B& b) { return &const_cast<B&>(b).Layers(); })
        .persistent(u"LayersOffset", [](const B& b) { return &const_cast<B&>(b).LayersOffset(); })
        .boolean(u"CaptionVisible", &B::CaptionVisible, &B::SetCaptionVisible, true)
        .persistent(u"CaptionOffset", [](const B& b) { return &const_cast<B&>(b).CaptionOffset(); })
        .persistent(u"ImageOffset", [](const B& b) { return &const_cast<B&>(b).ImageOffset(); })
        .component(u"DropdownMenu", &B::DropdownMenu, &B::SetDropdownMenu);
    return table;
}

} // namespace kq
