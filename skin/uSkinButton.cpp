#include "skin/uSkinButton.h"

#include "framework/Menus.h"

namespace kq {

const property_table& TSkinImageButton::PublishedProperties() const {
    using C = TSkinImageButton;
    static const property_table table =
        publish_button_face(property_table::of<C>(TSkinCustomButton::PublishedProperties()))
            .persistent(u"CaptionOffset", [](const C& c) { return &const_cast<C&>(c).CaptionOffset(); })
            .persistent(u"ImageOffset", [](const C& c) { return &const_cast<C&>(c).ImageOffset(); });
    return table;
}

} // namespace kq
