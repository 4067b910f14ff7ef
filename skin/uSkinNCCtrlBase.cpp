#include "skin/uSkinNCCtrlBase.h"

#include "framework/Properties.h"
#include "graphics/Raster.h"
#include "skin/SkinMessages.h"

namespace kq {

void TNCCtrlPos::SetAlign(TNCCtrlAlign Value) {
    if (FAlign == Value)
        return;
    FAlign = Value;
    Changed();
}

void TNCCtrlPos::SetXValue(std::int32_t Value) {
    if (FXValue == Value)
        return;
    FXValue = Value;
    Changed();
}

void TNCCtrlPos::SetYValue(std::int32_t Value) {
    if (FYValue == Value)
        return;
    FYValue = Value;
    Changed();
}

std::int32_t TNCCtrlPos::X() const {
    if (FAlign == caRight && FForm)
        return FForm->Width() - FXValue;
    return FXValue;
}

void TNCCtrlPos::Changed() {
    if (!FLocked && OnChanged)
        OnChanged(this);
}

void TNCCtrlPos::Assign(const TPersistent* Source) {
    if (const auto* p = dynamic_cast<const TNCCtrlPos*>(Source)) {
        if (p == this)
            return;
        FUseDefault = p->FUseDefault;
        FWidth = p->FWidth;
        FHeight = p->FHeight;
        SetAlign(p->FAlign);
        SetXValue(p->FXValue);
        SetYValue(p->FYValue);
        return;
    }
    TPersistent::Assign(Source);
}

TSkinNCCtrlBase::TSkinNCCtrlBase(TComponent* AOwner)
    : TComponent(AOwner), FHintWindow(std::make_unique<THintWindow>(nullptr)) {
    FForm = dynamic_cast<TForm*>(AOwner);
    FPos = std::make_unique<TNCCtrlPos>(FForm);
    FPos->OnChanged = [this](TObject*) { PositionChanged(); };
    FPos->SetWidth(25);
    FPos->SetHeight(25);
    FTimer = std::make_unique<TTimer>(nullptr);
    FTimer->SetInterval(100);
    FTimer->OnTimer = [this](TObject*) { TimerTick(); };
    FTimer->SetEnabled(!designing());
    if (!designing() && FForm)
        ::PostMessageW(FForm->Handle(), WM_VK_ADDNCCONTROL, reinterpret_cast<WPARAM>(this), 0);
}

TSkinNCCtrlBase::~TSkinNCCtrlBase() {
    if (FParentObject)
        FParentObject->forget(this);
}

void TSkinNCCtrlBase::SetPollInterval(unsigned Milliseconds) { FTimer->SetInterval(Milliseconds); }

void TSkinNCCtrlBase::PositionChanged() {
    FOldPos = {FPos->XValue(), FPos->YValue()};
}

void TSkinNCCtrlBase::SetVisible(bool Value) {
    if (FVisible == Value)
        return;
    FVisible = Value;
    Invalidate();
}

TRect TSkinNCCtrlBase::ClientRect() {
    const int x = FPos->X() + FClientRectOffset.X, y = FPos->Y() + FClientRectOffset.Y;
    return {x, y, x + GetWidth(), y + GetHeight()};
}

std::int32_t TSkinNCCtrlBase::GetWidth() { return FPos->Width(); }
std::int32_t TSkinNCCtrlBase::GetHeight() { return FPos->Height(); }

TPoint TSkinNCCtrlBase::window_point() const {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    const TPoint at = to_TPoint(cursor);
    if (!FForm || !FForm->HandleAllocated())
        return at;
    RECT w{};
    ::GetWindowRect(FForm->Handle(), &w);
    const TRect window = to_TRect(w);
    return {at.X - window.Left, at.Y - window.Top};
}

void TSkinNCCtrlBase::host_on(TForm* Host, std::int32_t Margin) {
    if (FForm == Host)
        return;
    FSourceForm = FForm;
    FForm = Host;
    if (FPos->Align() == caRight)
        FPos->SetXValue(FPos->XValue() - Margin);
}

void TSkinNCCtrlBase::TimerTick() {
    try {
        POINT cursor{};
        if (!::GetCursorPos(&cursor) || !FForm || !FForm->HandleAllocated())
            return;
        if (!FHooked)
            ::PostMessageW(FForm->Handle(), WM_VK_ADDNCCONTROL, reinterpret_cast<WPARAM>(this), 0);
        if (::WindowFromPoint(cursor) != FForm->Handle() && FMouseEnter) {
            FMouseEnter = false;
            MouseLeave();
        }
    } catch (const Exception&) {
        // a tick is only a poll: the next one looks again
    }
}

void TSkinNCCtrlBase::NCMouseMove(TPoint) {
    if (designing())
        return;
    try {
        follow_mouse();
    } catch (const Exception&) {
        // a mouse move is repeated by the next one
    }
}

void TSkinNCCtrlBase::follow_mouse() {
    const bool inside = PointInRect(ClientRect(), window_point());
    if (inside)
        MouseHover();
    if (inside != FMouseEnter) {
        FMouseEnter = inside;
        if (inside)
            MouseEnter();
        else
            MouseLeave();
    }
}

void TSkinNCCtrlBase::MouseEnter() {
    if (!FVisible)
        return;
    Invalidate();
    if (!FHint.empty())
        show_hint();
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TSkinNCCtrlBase::MouseLeave() {
    if (!FVisible)
        return;
    Invalidate();
    FHintWindow->ReleaseHandle();
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TSkinNCCtrlBase::MouseHover() {}

// At once, below and right of the cursor, sized to the text.
void TSkinNCCtrlBase::show_hint() {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    TCanvas& canvas = FHintWindow->Canvas();
    canvas.SetFont(FHintWindow->Font());
    const SIZE text = canvas.TextExtent(FHint);
    const RECT r{cursor.x + 16, cursor.y + 16, cursor.x + 16 + text.cx + 8, cursor.y + 16 + text.cy + 2};
    FHintWindow->ActivateHint(r, FHint);
}

void TSkinNCCtrlBase::LMouseDown() {
    Invalidate();
    if (OnLMouseDown)
        OnLMouseDown(this);
}

void TSkinNCCtrlBase::LMouseUp() {
    Invalidate();
    if (OnLMouseUp)
        OnLMouseUp(this);
}

// A maximised window's controls sit one pixel further up and towards the left.
void TSkinNCCtrlBase::Paint(TBitmap32*) {
    if (destroying() || !FForm)
        return;
    FPos->Lock();
    const bool zoomed = FForm->HandleAllocated() && ::IsZoomed(FForm->Handle());
    FPos->SetXValue(zoomed ? FOldPos.X - 1 : FOldPos.X);
    FPos->SetYValue(zoomed ? FOldPos.Y - 1 : FOldPos.Y);
    FPos->UnLock();
}

void TSkinNCCtrlBase::Invalidate() {
    if (!designing() && FForm && FForm->HandleAllocated())
        FForm->Perform(WM_VK_UPDATENC, 0, 0);
}

void TSkinNCCtrlBase::RemoveSelf() {
    if (!destroying() && FForm && FForm->HandleAllocated())
        ::SendMessageW(FForm->Handle(), WM_VK_REMOVENCCONTROL, reinterpret_cast<WPARAM>(this), 0);
}

// --- Published

const property_table& TNCCtrlPos::PublishedProperties() const {
    using C = TNCCtrlPos;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .enumeration(u"Align", &C::Align, &C::SetAlign, {u"caLeft", u"caRight"}, caLeft)
        .integer(u"XValue", &C::XValue, &C::SetXValue, 0)
        .integer(u"YValue", &C::YValue, &C::SetYValue, 0)
        .boolean(u"UseDefault", &C::UseDefault, &C::SetUseDefault, false)
        .integer(u"Width", &C::Width, &C::SetWidth, 0)
        .integer(u"Height", &C::Height, &C::SetHeight, 0);
    return table;
}

const property_table& TSkinNCCtrlBase::PublishedProperties() const {
    using C = TSkinNCCtrlBase;
    static const property_table table = property_table::of<C>(TComponent::PublishedProperties())
        .enumeration(u"About", [](const C&) { return aiSkinComponent; }, [](C&, TSkAboutInfo) {},
                     {u"aiSkinComponent"}, aiSkinComponent)
        .integer(u"Tag", &C::Tag, &C::SetTag, 0)
        .persistent(u"Pos", [](const C& c) { return &const_cast<C&>(c).Pos(); })
        .string(u"Hint", &C::Hint, &C::SetHint, String())
        .boolean(u"Visible", &C::Visible, &C::SetVisible, true)
        .event(u"OnLMouseDown", &C::OnLMouseDown)
        .event(u"OnLMouseUp", &C::OnLMouseUp)
        .event(u"OnMouseEnter", &C::OnMouseEnter)
        .event(u"OnMouseLeave", &C::OnMouseLeave);
    return table;
}

} // namespace kq
