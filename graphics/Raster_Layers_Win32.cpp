// The layers' mouse dispatch and GDI step: Windows only.
#include "graphics/Raster_Layers.h"

#include "framework/Forms.h"

namespace kq {

void set_screen_cursor(std::int16_t cursor) {
    if (Screen)
        Screen->SetCursor(cursor);
}

void TCustomLayer::MouseDown(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
    if (Button == TMouseButton::mbLeft) {
        if (Shift.contains(TShiftStateFlag::ssDouble)) {
            FClicked = false;
            if (OnDblClick)
                OnDblClick(this);
        } else {
            FClicked = true;
        }
    }
    if (OnMouseDown)
        OnMouseDown(this, Button, Shift, X, Y);
}

void TCustomLayer::MouseMove(TShiftState Shift, std::int32_t X, std::int32_t Y) {
    set_screen_cursor(FCursor);
    if (OnMouseMove)
        OnMouseMove(this, Shift, X, Y);
}

void TCustomLayer::MouseUp(TMouseButton Button, TShiftState Shift, std::int32_t X, std::int32_t Y) {
    set_screen_cursor(crDefault);
    if (Button == TMouseButton::mbLeft && FClicked) {
        FClicked = false;
        if (OnClick)
            OnClick(this);
    }
    if (OnMouseUp)
        OnMouseUp(this, Button, Shift, X, Y);
}

void TCustomLayer::PaintGDI(TCanvas*) {}

void TCustomLayer::SetAsMouseListener() {
    if (!FLayerCollection)
        return;
    FLayerCollection->SetMouseListener(this);
    set_screen_cursor(FCursor);
}

} // namespace kq
