#include "skin/uSkinPanel.h"

#include "framework/Properties.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkinResManager.h"

namespace kq {

namespace {
// The three low bytes of a colour value taken as red, green and blue (no system colour resolved).
TColor32 low_bytes_color(TColor Color, std::uint8_t Alpha) {
    const auto v = static_cast<std::uint32_t>(Color);
    return MakeColor32(static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), Alpha);
}
} // namespace

TSkinCustomPanel::TSkinCustomPanel(TComponent* AOwner) : TSkinCustomControl(AOwner) {
    SetControlStyle({TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                     TControlStyleFlag::csClickEvents, TControlStyleFlag::csDoubleClicks});
    SetBounds(Left(), Top(), 185, 114);
}

void TSkinCustomPanel::SetAlpha(std::uint8_t Value) { change(FAlpha, Value); }
void TSkinCustomPanel::SetBorderSides(TSides Value) {
    if (FBorderSides == Value)
        return;
    FBorderSides = Value;
    Invalidate();
    Realign();
}
void TSkinCustomPanel::SetBorderColor(TColor Value) { change(FBorderColor, Value); }
void TSkinCustomPanel::SetBorderAlpha(std::uint8_t Value) { change(FBorderAlpha, Value); }
void TSkinCustomPanel::SetDoubleBorder(bool Value) {
    if (FDoubleBorder == Value)
        return;
    FDoubleBorder = Value;
    Invalidate();
    Realign();
}
void TSkinCustomPanel::SetBackgroundImage(const TSkResID& Value) { change(FBackgroundImage, Value); }
void TSkinCustomPanel::SetBackgroundFillType(TSkPngFillType Value) { change(FBackgroundFillType, Value); }

void TSkinCustomPanel::AlignControls(RECT& Rect) {
    const int inset = FDoubleBorder ? 2 : 1;
    if (FBorderSides.contains(sdLeft)) Rect.left += inset;
    if (FBorderSides.contains(sdTop)) Rect.top += inset;
    if (FBorderSides.contains(sdRight)) Rect.right -= inset;
    if (FBorderSides.contains(sdBottom)) Rect.bottom -= inset;
    TSkinCustomControl::AlignControls(Rect);
}

void TSkinCustomPanel::DrawBody(TBitmap32* Canvas) {
    TSkinImage* image = FBackgroundImage.empty() ? nullptr : SkinResManager()->GetImageByName(FBackgroundImage);
    const auto draw_image = [&] {
        if (!image)
            return;
        if (FBackgroundFillType == ftNormal)
            image->DrawTo(Canvas, FBackgroundOffsetX, FBackgroundOffsetY);
        else
            DrawSkinImage(image, Canvas, FBackgroundFillType);
    };
    if (designing() || FAlpha == 255) {
        if (FAlpha != 0)
            Canvas->FillRectS(0, 0, Width(), Height(), WinColorToColor32(Color()));
        draw_image();
    } else {
        if (FAlpha != 0)
            Canvas->FillRectTS(0, 0, ClientWidth(), ClientHeight(), low_bytes_color(Color(), FAlpha));
        draw_image();
        if (OnCustomDraw)
            OnCustomDraw(this, Canvas);
    }
    DrawBorder(Canvas);
}

void TSkinCustomPanel::DrawBorder(TBitmap32* Canvas) {
    const int w = Width(), h = Height();
    Canvas->BeginUpdate();
    auto end = scope_exit([Canvas] { Canvas->EndUpdate(); });
    if (designing()) {
        const TColor32 c = MakeColor32(23, 180, 187, 176);
        if (FBorderSides.contains(sdLeft)) Canvas->LineAS(0, 0, 0, h, c);
        if (FBorderSides.contains(sdTop)) Canvas->LineAS(0, 0, w, 0, c);
        if (FBorderSides.contains(sdRight)) Canvas->LineAS(w - 1, 0, w - 1, h, c);
        if (FBorderSides.contains(sdBottom)) Canvas->LineAS(0, h - 1, w, h - 1, c);
        return;
    }
    const TColor32 o = low_bytes_color(FBorderColor, FBorderAlpha);
    const TColor32 i = MakeColor32(255, 255, 255, FBorderAlpha);
    if (FBorderSides.contains(sdLeft)) {
        Canvas->LineAS(0, 0, 0, h, o);
        if (FDoubleBorder) Canvas->LineAS(1, 1, 1, h, i);
    }
    if (FBorderSides.contains(sdTop)) {
        Canvas->LineAS(0, 0, w, 0, o);
        if (FDoubleBorder) Canvas->LineAS(1, 1, w, 1, i);
    }
    if (FBorderSides.contains(sdRight) && w > 1) {
        Canvas->LineAS(w - 1, 0, w - 1, h, o);
        if (FDoubleBorder && w > 2 && h > 1) Canvas->LineAS(w - 2, 1, w - 2, h - 1, i);
    }
    if (FBorderSides.contains(sdBottom) && w > 1 && h > 1) {
        Canvas->LineAS(0, h - 1, w, h - 1, o);
        if (FDoubleBorder && w > 2 && h > 2) Canvas->LineAS(1, h - 2, w - 1, h - 2, i);
    }
}

// --- Published

const property_table& TSkinCustomPanel::PublishedProperties() const {
    using C = TSkinCustomPanel;
    static const property_table table = property_table::of<C>(TSkinCustomControl::PublishedProperties())
        .integer(u"Alpha", &C::Alpha, &C::SetAlpha, std::uint8_t{192})
        .set_of(u"BorderSides", &C::BorderSides, &C::SetBorderSides, {u"sdLeft", u"sdTop", u"sdRight", u"sdBottom"},
                TSides{sdLeft, sdTop, sdRight, sdBottom})
        .color(u"BorderColor", &C::BorderColor, &C::SetBorderColor, TColor{14273466})
        .boolean(u"DoubleBorder", &C::DoubleBorder, &C::SetDoubleBorder, true)
        .string(u"BackgroundImage", &C::BackgroundImage, &C::SetBackgroundImage, String())
        .enumeration(u"BackgroundFillType", &C::BackgroundFillType, &C::SetBackgroundFillType,
                     {u"ftNormal", u"ftTile", u"ftAutoStretch", u"ftCenter"}, ftNormal)
        .integer(u"BackgroundOffsetX", &C::BackgroundOffsetX, &C::SetBackgroundOffsetX, 0)
        .integer(u"BackgroundOffsetY", &C::BackgroundOffsetY, &C::SetBackgroundOffsetY, 0)
        .event(u"OnCustomDraw", &C::OnCustomDraw);
    return table;
}

} // namespace kq
