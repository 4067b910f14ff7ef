#include "installer/controls/uSkinLabel.h"

#include "framework/Messages.h"
#include "framework/Properties.h"
#include "skin/uBitmapHelper.h"

namespace kq {

namespace {
constexpr std::uint32_t ellipsis_flags[] = {0, DT_PATH_ELLIPSIS, DT_END_ELLIPSIS, DT_WORD_ELLIPSIS};
} // namespace

TSkinLabel::TSkinLabel(TComponent* AOwner) : TSkinCustomPanel(AOwner) {
    SetControlStyle({TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csClickEvents,
                     TControlStyleFlag::csSetCaption, TControlStyleFlag::csDoubleClicks,
                     TControlStyleFlag::csReplicatable});
    SetAutoInvalidate(true);
    SetBorderSides({});
    SetAlpha(0);
    SetBounds(Left(), Top(), 60, 17);
    FLight.OnChanged = [this](TObject*) { Invalidate(); };
}

void TSkinLabel::SetLight(const TSkLightClass* Value) {
    if (Value) FLight.Assign(Value);
}

void TSkinLabel::SetAutoSize(bool Value) {
    FAutoSize = Value;
    if (Value) adjust_bounds();
}

void TSkinLabel::SetAlignmentVertical(TVerticalAlignment Value) {
    if (FAlignmentVertical == Value) return;
    FAlignmentVertical = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TSkinLabel::SetAlignmentHorizontal(TAlignment Value) {
    if (FAlignmentHorizontal == Value) return;
    FAlignmentHorizontal = Value;
    if (HandleAllocated()) RecreateWnd();
}

void TSkinLabel::SetEllipsisPosition(TEllipsisPosition Value) {
    if (FEllipsisPosition == Value) return;
    FEllipsisPosition = Value;
    FAutoSize = false;
    Invalidate();
}

void TSkinLabel::Loaded() {
    TSkinCustomPanel::Loaded();
    adjust_bounds();
}

void TSkinLabel::CreateParams(TCreateParams& Params) {
    TSkinCustomPanel::CreateParams(Params);
    Params.WindowClass.style &= ~static_cast<UINT>(CS_VREDRAW);
}

void TSkinLabel::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_TEXTCHANGED:
        TSkinCustomPanel::WndProc(Message);
        if (FAutoSize) adjust_bounds();
        Invalidate();
        return;
    case CM_FONTCHANGED:
        // At run time the label keeps its size when its font changes.
        TSkinCustomPanel::WndProc(Message);
        if (designing()) {
            if (FAutoSize) adjust_bounds();
            Invalidate();
        }
        return;
    default: TSkinCustomPanel::WndProc(Message);
    }
}

SIZE TSkinLabel::caption_extent() {
    Buffer()->Font()->Assign(&Font());
    return Buffer()->TextExtent(Caption());
}

void TSkinLabel::adjust_bounds() {
    if (!FAutoSize || ComponentState().contains(TComponentStateFlag::csReading)) return;
    const SIZE extent = caption_extent();
    SetBounds(Left(), Top(), extent.cx, extent.cy);
}

void TSkinLabel::DrawBody(TBitmap32* Canvas) {
    TSkinCustomPanel::DrawBody(Canvas);
    TRect r{0, 0, Width(), Height()};
    std::uint32_t flags = 0;
    switch (FAlignmentHorizontal) {
    case TAlignment::taLeftJustify: break;
    case TAlignment::taRightJustify: flags |= DT_RIGHT; break;
    case TAlignment::taCenter: flags |= DT_CENTER; break;
    }
    switch (FAlignmentVertical) {
    case TVerticalAlignment::taAlignTop: break;
    case TVerticalAlignment::taVerticalCenter: flags |= DT_VCENTER | DT_SINGLELINE; break;
    case TVerticalAlignment::taAlignBottom: flags |= DT_BOTTOM | DT_SINGLELINE; break;
    }
    Canvas->Canvas()->Font().Assign(&Font());
    Canvas->Font()->Assign(&Font());
    if (FWordWap) {
        const std::int32_t text_height = caption_extent().cy;
        if (FAlignmentVertical == TVerticalAlignment::taVerticalCenter) {
            flags &= ~static_cast<std::uint32_t>(DT_SINGLELINE);
            r.Top = (Height() - text_height) / 2;
            r.Bottom = r.Top + text_height;
        } else if (FAlignmentVertical == TVerticalAlignment::taAlignBottom) {
            flags &= ~static_cast<std::uint32_t>(DT_SINGLELINE);
            r.Top = r.Bottom - text_height;
        }
        flags |= DT_WORDBREAK;
    }
    flags |= ellipsis_flags[FEllipsisPosition];
    if (FLight.Active()) DrawGlowText(*Canvas->Canvas(), r, Caption(), FLight.BlurRadius(), FLight.Color(), flags);
    Canvas->Textout(r, flags, Caption());
}

// --- Published

const property_table& TSkinLabel::PublishedProperties() const {
    using C = TSkinLabel;
    static const property_table table = property_table::of<C>(TSkinCustomPanel::PublishedProperties())
        .integer(u"Alpha", &C::Alpha, &C::SetAlpha, std::uint8_t{0})
        .enumeration(u"EllipsisPosition", &C::EllipsisPosition, &C::SetEllipsisPosition,
                     {u"epNone", u"epPathEllipsis", u"epEndEllipsis", u"epWordEllipsis"}, epNone)
        .enumeration(u"AlignmentHorizontal", &C::AlignmentHorizontal, &C::SetAlignmentHorizontal,
                     {u"taLeftJustify", u"taRightJustify", u"taCenter"}, TAlignment::taLeftJustify)
        .enumeration(u"AlignmentVertical", &C::AlignmentVertical, &C::SetAlignmentVertical,
                     {u"taAlignTop", u"taAlignBottom", u"taVerticalCenter"}, TVerticalAlignment::taAlignTop)
        .boolean(u"AutoSize", &C::AutoSize, &C::SetAutoSize, true)
        .persistent(u"Light", [](const C& c) { return &const_cast<C&>(c).Light(); })
        .boolean(u"WordWap", &C::WordWap, &C::SetWordWap, false)
        .set_of(u"BorderSides", &C::BorderSides, &C::SetBorderSides, {u"sdLeft", u"sdTop", u"sdRight", u"sdBottom"},
                TSides{});
    return table;
}

} // namespace kq
