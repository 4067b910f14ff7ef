#pragma once
// TSkinImageButton: the skin library's image button.

#include "skin/uSkCustomButton.h"

namespace kq {

// The image button of the back, forward and reload buttons and of the installer's buttons.
class TSkinImageButton : public TSkinCustomButton {
public:
    using TSkinCustomButton::TSkinCustomButton;

    const property_table& PublishedProperties() const override;
};

} // namespace kq
