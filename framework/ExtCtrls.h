#pragma once
// TPanel, the plain container control.
#include "framework/Controls.h"

namespace kq {

// A plain container: its Color fills it and it holds other controls.
class TPanel : public TCustomControl {
public:
    explicit TPanel(TComponent* owner);
};

} // namespace kq
