#include "installer/controls/uSkinCheckBox.h"

#include "framework/Forms.h"
#include "framework/Messages.h"
#include "framework/Properties.h"
#include "skin/uBitmapHelper.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkinResManager.h"

namespace kq {

namespace {
constexpr TColor disabled_text_color = 13750737;
constexpr std::int32_t caption_gap = 3;
} // namespace

TSkinCheckBox::TSkinCheckBox(TComponent* AOwner) : TSkinCustomControl(AOwner) {
    SetTabStop(true);
    SetBounds(Left(), Top(), 113, 17);
    FLight.OnChanged = [this](TObject*) { Invalidate(); };
}

void TSkinCheckBox::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    Invalidate();
    Changed();
}

void TSkinCheckBox::SetPictures(const TSkResID& Value) {
    if (FPictures == Value) return;
    FPictures = Value;
    Invalidate();
}

void TSkinCheckBox::Changed() {
    if (OnChanged) OnChanged(this);
}

void TSkinCheckBox::CreateWnd() {
    TSkinCustomControl::CreateWnd();
    ::SendMessageW(Handle(), BM_SETCHECK, FChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TSkinCheckBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case BM_SETCHECK:
        // Answers the state; the state changes only through Checked.
        Message.Result = FChecked ? BST_CHECKED : BST_UNCHECKED;
        Invalidate();
        return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TSkinCustomControl::WndProc(Message);
        Invalidate();
        return;
    case CM_DIALOGCHAR:
        if (IsAccel(static_cast<std::uint16_t>(Message.WParam), Caption()) && CanFocus()) {
            SetFocus();
            Message.Result = 1;
            return;
        }
        break;
    default: break;
    }
    TSkinCustomControl::WndProc(Message);
}

void TSkinCheckBox::DoMouseEnter() {
    TSkinCustomControl::DoMouseEnter();
    FMouseInControl = true;
    Invalidate();
}

void TSkinCheckBox::DoMouseLeave() {
    TSkinCustomControl::DoMouseLeave();
    FMouseInControl = false;
    Invalidate();
}

void TSkinCheckBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TSkinCustomControl::MouseDown(Button, Shift, X, Y);
    if (Button != TMouseButton::mbLeft) return;
    if (CanFocus()) SetFocus();
    SetChecked(!FChecked);
}

void TSkinCheckBox::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    TSkinCustomControl::KeyDown(Key, Shift);
    if (Key == VK_SPACE) SetChecked(!FChecked);
}

void TSkinCheckBox::DrawBody(TBitmap32* Canvas) {
    TSkinCustomControl::DrawBody(Canvas);
    TSkinImage* picture = FPictures.empty() ? nullptr : SkinResManager()->GetImageByName(FPictures);
    TDynSkinImage frames;
    SplitImageStrip(picture, 4, frames);
    if (frames.size() < 4 || !frames[0]) return;
    const int index = (FChecked ? 2 : 0) + (FMouseInControl ? 1 : 0);
    TSkinImage* frame = frames[static_cast<size_t>(index)].get();
    // Right to left, the box stands at the right edge and the caption ends beside it.
    const bool right_to_left = IsRightToLeft();
    const std::int32_t x = right_to_left ? Width() - frame->Width() : 0;
    const std::int32_t y = Height() / 2 - frame->Height() / 2;
    frame->DrawTo(Canvas, x, y);
    const TRect text = right_to_left ? TRect{0, 0, Width() - frame->Width() - caption_gap, Height()}
                                     : TRect{frame->Width() + caption_gap, 0, Width(), Height()};
    const std::uint32_t flags = DT_VCENTER | DT_SINGLELINE | (right_to_left ? DT_RIGHT : DT_LEFT);
    Canvas->Font()->Assign(&Font());
    Canvas->Canvas()->Font().Assign(&Font());
    if (FLight.Active()) DrawGlowText(*Canvas->Canvas(), text, Caption(), FLight.BlurRadius(), FLight.Color(), flags);
    if (!Enabled()) Canvas->Font()->SetColor(disabled_text_color);
    Canvas->Textout(text, flags, Caption());
}

// --- Published

const property_table& TSkinCheckBox::PublishedProperties() const {
    using C = TSkinCheckBox;
    static const property_table table = property_table::of<C>(TSkinCustomControl::PublishedProperties())
        .string(u"Pictures", &C::Pictures, &C::SetPictures, String())
        .boolean(u"Checked", &C::Checked, &C::SetChecked, false)
        .persistent(u"Light", [](const C& c) { return &const_cast<C&>(c).Light(); })
        .event(u"OnChanged", &C::OnChanged);
    return table;
}

} // namespace kq
