#include "installer/controls/uSkLocateObj.h"

#include "framework/Properties.h"

namespace kq {

// --- TSkLocateObj

void TSkLocateObj::changed() {
    if (OnChange) OnChange(this);
}

void TSkLocateObj::SetX(std::int32_t Value) {
    if (FX == Value) return;
    FX = Value;
    changed();
}

void TSkLocateObj::SetY(std::int32_t Value) {
    if (FY == Value) return;
    FY = Value;
    changed();
}

void TSkLocateObj::SetAlign(TSkAlign Value) {
    if (FAlign == Value) return;
    FAlign = Value;
    changed();
}

void TSkLocateObj::Assign(const TPersistent* Source) {
    if (const auto* other = dynamic_cast<const TSkLocateObj*>(Source)) {
        SetX(other->FX);
        SetY(other->FY);
        SetAlign(other->FAlign);
        return;
    }
    TPersistent::Assign(Source);
}

// --- TSkSpaceSize

void TSkSpaceSize::SetActive(bool Value) { change(FActive, Value); }
void TSkSpaceSize::SetLeft(std::int32_t Value) { change(FLeft, Value); }
void TSkSpaceSize::SetTop(std::int32_t Value) { change(FTop, Value); }
void TSkSpaceSize::SetRight(std::int32_t Value) { change(FRight, Value); }
void TSkSpaceSize::SetBottom(std::int32_t Value) { change(FBottom, Value); }

void TSkSpaceSize::Assign(const TPersistent* Source) {
    if (const auto* other = dynamic_cast<const TSkSpaceSize*>(Source)) {
        SetActive(other->FActive);
        SetLeft(other->FLeft);
        SetTop(other->FTop);
        SetRight(other->FRight);
        SetBottom(other->FBottom);
        return;
    }
    TPersistent::Assign(Source);
}

const property_table& TSkLocateObj::PublishedProperties() const {
    using C = TSkLocateObj;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .integer(u"X", &C::X, &C::SetX, 0)
        .integer(u"Y", &C::Y, &C::SetY, 0)
        .enumeration(u"Align", &C::Align, &C::SetAlign, {u"agLeft", u"agRight"}, agLeft)
        .event(u"OnChange", &C::OnChange);
    return table;
}

const property_table& TSkSpaceSize::PublishedProperties() const {
    using C = TSkSpaceSize;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"Active", &C::Active, &C::SetActive, true)
        .integer(u"Left", &C::Left, &C::SetLeft, 0)
        .integer(u"Top", &C::Top, &C::SetTop, 0)
        .integer(u"Right", &C::Right, &C::SetRight, 0)
        .integer(u"Bottom", &C::Bottom, &C::SetBottom, 0);
    return table;
}

} // namespace kq
