#include "installer/controls/uSkinEditTips.h"

#include "framework/Properties.h"
#include "installer/controls/uSkinEdit.h"

namespace kq {

TSkinCustomEditTips::TSkinCustomEditTips(TSkinPngEdit* Edit) : TSkinCustomTips(nullptr), FOwner(Edit) {
    SetPauseTime(0);
    SetTipsColor(4864985);
    SetFrameColor(4864985);
    TipsFont().SetColor(15724527);
    SetCloseButtonVisible(false);
    SetHideOfParentDeactivate(true);
}

void TSkinCustomEditTips::Show(const String& Tips) {
    const int top = FOwner->Top() + (FOwner->Height() - GetTipsHeight(Tips)) / 2 - 5;
    Show(TPoint{FOwner->Left() + FOwner->Width() + 5, top}, Tips);
}

void TSkinCustomEditTips::Show(TPoint LeftTop, const String& Tips) {
    Hide();
    const TRect r{LeftTop.X, LeftTop.Y, LeftTop.X + GetTipsWidth(Tips) + 10, LeftTop.Y + GetTipsHeight(Tips)};
    TSkinCustomTips::Show(u"", Tips, hdCustom, &r, FOwner);
}

// --- Published

const property_table& TSkinEditTips::PublishedProperties() const {
    using C = TSkinEditTips;
    static const property_table table = property_table::of<C>(TSkinCustomEditTips::PublishedProperties())
        .color(u"FrameColor", &C::FrameColor, &C::SetFrameColor)
        .color(u"TipsColor", &C::TipsColor, &C::SetTipsColor)
        .persistent(u"TipsFont", [](const C& c) { return &const_cast<C&>(c).TipsFont(); })
        .integer(u"PauseTime", &C::PauseTime, &C::SetPauseTime, 3500);
    return table;
}

} // namespace kq
