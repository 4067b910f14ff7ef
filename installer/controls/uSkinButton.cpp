#include "installer/controls/uSkinButton.h"

#include "framework/Geometry.h"
#include "framework/Menus.h"
#include "skin/uSkRasterLib.h"

namespace kq {

namespace {
constexpr TColor disabled_text_color = 11711154;
} // namespace

TSkinButton::TSkinButton(TComponent* AOwner) : TSkinCustomButton(AOwner) {
    TPngPictures& p = Pictures();
    p.SetImage(u"SkinButton");
    p.SetCount(5);
    p.SetNormal(0);
    p.SetHot(1);
    p.SetPressed(2);
    p.SetDisable(3);
    p.SetActive(true);
    SetBounds(Left(), Top(), 75, 27);
}

void TSkinButton::DrawBody(TBitmap32* Canvas) {
    const bool hot = hot_state();
    const bool pressed = pressed_state();
    RECT text = ClientRect();
    if (Pictures().Active()) {
        std::unique_ptr<TSkinImage> frame;
        if (hot) {
            frame = Pictures().GetHotImage();
        } else if (Enabled() && pressed) {
            frame = Pictures().GetPressedImage();
            ::OffsetRect(&text, PressedOffset(), PressedOffset());
        } else if (Enabled()) {
            frame = Pictures().GetNormalImage();
        } else {
            frame = Pictures().GetDisableImage();
        }
        // A strip without a frame for this state (an index past its last frame) leaves the face empty.
        if (frame) DrawNineSliceThirds(frame.get(), Canvas, false);
    }
    if (LayerMode()) DrawLayers(Canvas);
    DrawDropdownArrow(Canvas);
    if (!CaptionVisible()) return;
    Canvas->Font()->Assign(hot ? &HotFont() : &Font());
    if (!Enabled()) Canvas->Font()->SetColor(disabled_text_color);
    text.right -= DropdownMenuRect().Right - DropdownMenuRect().Left;
    std::uint32_t flags = DT_CENTER | DT_VCENTER | DT_WORDBREAK | DT_SINGLELINE;
    if (WordWrap()) {
        flags &= ~static_cast<std::uint32_t>(DT_SINGLELINE);
        Canvas->Canvas()->Font().Assign(Canvas->Font());
        const SIZE extent = Canvas->TextExtent(Caption());
        text.top = ((text.bottom - text.top) - extent.cy) / 2;
    }
    Canvas->Textout(to_TRect(text), flags, Caption());
}

const property_table& TSkinButton::PublishedProperties() const {
    static const property_table table =
        publish_button_face(property_table::of<TSkinButton>(TSkinCustomButton::PublishedProperties()));
    return table;
}

} // namespace kq
