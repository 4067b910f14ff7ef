#include "installer/controls/uSkinEditTips.h"

#include "framework/Properties.h"

namespace kq {

TSkinCustomEditTips::TSkinCustomEditTips(skin_edit_host* Edit) : TSkinCustomTips(nullptr), FOwner(Edit) {
    SetPauseTime(0);
    SetTipsColor(4864985);
    SetFrameColor(4864985);
    TipsFont().SetColor(15724527);
    SetCloseButtonVisible(false);
    SetHideOfParentDeactivate(true);
}

void TSkinCustomEditTips::Show(const String& Tips) {
    const TControl& edit = FOwner->host_control();
    const int top = edit.Top() + (edit.Height() - GetTipsHeight(Tips)) / 2 - 5;
    Show(TPoint{edit.Left() + edit.Width() + 5, top}, Tips);
}

void TSkinCustomEditTips::Show(TPoint LeftTop, const String& Tips) {
    Hide();
    const TRect r{LeftTop.X, LeftTop.Y, LeftTop.X + GetTipsWidth(Tips) + 10, LeftTop.Y + GetTipsHeight(Tips)};
    TSkinCustomTips::Show(u"", Tips, hdCustom, &r, &FOwner->host_control());
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
