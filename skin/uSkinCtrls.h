#pragma once
// TSkinCustomControl, the base of every skinned windowed control: a paint box whose buffer holds what
// lies behind the control (so it looks transparent over a skinned form or panel), then the control's own
// face.

#include "graphics/Raster_Image.h"
#include "skin/SkinMessages.h"
#include "skin/SkinWindowTimer.h"
#include "skin/uSkinIntf.h"

#include <functional>

namespace kq {

class TForm;

using TSkBackgroundEvent = std::function<void(TObject* Sender, TBitmap32* Background, bool& Handled)>;
using TSkCustomDrawEvent = std::function<void(TObject* Sendre, TBitmap32* ACanvas)>;

class TSkinCustomControl : public TCustomPaintBox32 {
public:
    explicit TSkinCustomControl(TComponent* AOwner);
    ~TSkinCustomControl() override;

    bool Transparent() const noexcept { return FTransparent; }
    void SetTransparent(bool Value) { FTransparent = Value; }
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor Value);
    bool AutoInvalidate() const noexcept { return FAutoInvalidate; }
    void SetAutoInvalidate(bool Value) { FAutoInvalidate = Value; }
    bool EraseBackground() const noexcept { return FEraseBackground; }
    void SetEraseBackground(bool Value) { FEraseBackground = Value; }
    bool DelayRefresh() const noexcept { return FDelayRefresh; }
    void SetDelayRefresh(bool Value) { FDelayRefresh = Value; }
    // The back buffer.
    TBitmap32* BackgroundPicture() { return GetBackgroundPicture(); }

    TSkBackgroundEvent OnBackgroundChanging;
    TSkCustomDrawEvent OnBackgroundChanged;

    // Asks every windowed child to repaint (posted); with All, nothing.
    void RefreshSubControl(bool All);
    // Repaints the non-client frame, when the control has one.
    void InvalidateNC();

    const property_table& PublishedProperties() const override;

protected:
    virtual TBitmap32* GetBackgroundPicture() { return Buffer(); }
    virtual void DrawBody(TBitmap32* Canvas);
    virtual void DoBackgroundChanging(TBitmap32* Background, bool& Handled);
    virtual void DoBackgroundChanged(TBitmap32* Canvas);

    void PaintBuffer() override;
    void WndProc(TMessage& Message) override;
    void Resize() override;
    void AlignControls(RECT& Rect) override;

    bool designing() const { return ComponentState().contains(TComponentStateFlag::csDesigning); }

    // Added to the control's position when the parent's background is copied.
    std::int32_t FXOffset = 0;
    std::int32_t FYOffset = 0;

private:
    bool FTransparent = true;
    TColor FColor = 0xFFFFFF;
    bool FAutoInvalidate = false;
    bool FEraseBackground = false;
    bool FDelayRefresh = false;
    window_timer FDelayRefreshTimer{skin_timer_delay_refresh};
};

// Fills Bitmap with what Control's parent shows in R (the parent's client coordinates).
void CopyParentBackground(TControl* Control, TBitmap32* Bitmap, const TRect& R);

// The skin form's side of the copy: the source picture of a skinned form and the offset of its client
// area in it; false when Form has no skin form. Given by the skin form's unit.
bool skin_form_background(TForm* Form, TBitmap32*& Source, int& DX, int& DY);

} // namespace kq
