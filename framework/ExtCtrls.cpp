#include "framework/ExtCtrls.h"

namespace kq {

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    auto style = ControlStyle();
    style.include(TControlStyleFlag::csAcceptsControls);
    style.exclude(TControlStyleFlag::csSetCaption);
    SetControlStyle(style);
    SetBounds(Left(), Top(), 185, 41);
}

} // namespace kq
