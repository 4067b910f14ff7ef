#pragma once
// TSkinButton: the installer's push button, its state frame stretched over the whole button.

#include "skin/uSkCustomButton.h"

namespace kq {

class TSkinButton : public TSkinCustomButton {
public:
    explicit TSkinButton(TComponent* AOwner);

    const property_table& PublishedProperties() const override;

protected:
    void DrawBody(TBitmap32* Canvas) override;
};

} // namespace kq
