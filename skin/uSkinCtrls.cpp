#include "skin/uSkinCtrls.h"

#include "framework/Properties.h"
#include "framework/Forms.h"
#include "framework/Messages.h"
#include "framework/Properties.h"
#include "skin/SkinMessages.h"
#include "skin/uSkinHelper.h"

#include <algorithm>

namespace kq {

TSkinCustomControl::TSkinCustomControl(TComponent* AOwner) : TCustomPaintBox32(AOwner) {
    SetBufferOversize(0);
    if (!designing())
        WinControlHelper()->Items().push_back(this);
}

TSkinCustomControl::~TSkinCustomControl() {
    if (!designing()) {
        auto& items = WinControlHelper()->Items();
        items.erase(std::remove(items.begin(), items.end(), this), items.end());
    }
}

void TSkinCustomControl::SetColor(TColor Value) {
    FColor = Value;
    Invalidate();
}

void TSkinCustomControl::RefreshSubControl(bool All) {
    if (All || designing())
        return;
    for (int i = 0; i < ControlCount(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(Controls(i)); w && w->HandleAllocated())
            ::PostMessageW(w->Handle(), WM_VK_REFRESHCONTROL, 0, 0);
}

void TSkinCustomControl::InvalidateNC() {
    if (ClientWidth() != Width() || ClientHeight() != Height())
        Perform(WM_NCPAINT, 0, 0);
}

void TSkinCustomControl::DrawBody(TBitmap32*) {}

void TSkinCustomControl::DoBackgroundChanging(TBitmap32* Background, bool& Handled) {
    if (OnBackgroundChanging)
        OnBackgroundChanging(this, Background, Handled);
}

void TSkinCustomControl::DoBackgroundChanged(TBitmap32* Canvas) {
    if (OnBackgroundChanged)
        OnBackgroundChanged(this, Canvas);
}

void TSkinCustomControl::PaintBuffer() {
    TBitmap32* buffer = Buffer();
    buffer->BeginUpdate();
    {
        auto end = scope_exit([buffer] { buffer->EndUpdate(); });
        bool handled = false;
        DoBackgroundChanging(buffer, handled);
        if (!handled) {
            if (FTransparent)
                CopyParentBackground(this, buffer,
                                     {Left() + FXOffset, Top() + FYOffset, Left() + Width() + FXOffset,
                                      Top() + Height() + FYOffset});
            else
                buffer->FillRectS(0, 0, Width(), Height(), WinColorToColor32(FColor));
        }
        DoBackgroundChanged(buffer);
        DrawBody(buffer);
    }
    // A control that sticks out of its parent shows more of it as it moves: rebuilt at every paint.
    const TWinControl* parent = Parent();
    if (parent && (const_cast<TWinControl*>(parent)->Width() < Left() + Width() ||
                   const_cast<TWinControl*>(parent)->Height() < Top() + Height())) {
        ClearInvalidRects();
        FForceFullRepaint = false;
        return;
    }
    TCustomPaintBox32::PaintBuffer();
}

void TSkinCustomControl::Resize() {
    TCustomPaintBox32::Resize();
    TBitmap32* buffer = Buffer();
    buffer->BeginUpdate();
    auto end = scope_exit([buffer] { buffer->EndUpdate(); });
    buffer->FillRectS(0, 0, Width(), Height(), WinColorToColor32(FColor));
}

void TSkinCustomControl::AlignControls(RECT& Rect) {
    TCustomPaintBox32::AlignControls(Rect);
    if (!designing())
        Invalidate();
}

void TSkinCustomControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_VK_REFRESHCONTROL:
        if (!designing()) {
            Invalidate();
            InvalidateNC();
        }
        return;
    case CM_ENABLEDCHANGED:
    case CM_TEXTCHANGED:
        TCustomPaintBox32::WndProc(Message);
        Invalidate();
        return;
    case WM_ERASEBKGND:
        if (FEraseBackground && Message.WParam && Message.LParam == 1)
            Buffer()->DrawTo(reinterpret_cast<HDC>(Message.WParam), 0, 0);
        Message.Result = 1;
        return;
    case WM_MOVE:
        TCustomPaintBox32::WndProc(Message);
        if (FAutoInvalidate) {
            Invalidate();
            RefreshSubControl(false);
        }
        return;
    case WM_SIZE:
        if (FDelayRefresh && HandleAllocated())
            FDelayRefreshTimer.start(Handle(), 10);
        break;
    case WM_TIMER:
        if (FDelayRefreshTimer.take_tick(Message.WParam)) {
            Invalidate();
            return;
        }
        break;
    case WM_WINDOWPOSCHANGED:
        if (!designing() && !ComponentState().contains(TComponentStateFlag::csDestroying))
            AdjustBufferSize();
        break;
    default:
        break;
    }
    TCustomPaintBox32::WndProc(Message);
}

namespace {

// Marks a control as painting into another control's picture while it lives.
class paint_copy_mark {
public:
    explicit paint_copy_mark(TControl& Control) : FControl(Control) {
        TControlState state = Control.ControlState();
        state.include(TControlStateFlag::csPaintCopy);
        Control.SetControlState(state);
    }
    paint_copy_mark(const paint_copy_mark&) = delete;
    paint_copy_mark& operator=(const paint_copy_mark&) = delete;
    ~paint_copy_mark() {
        TControlState state = FControl.ControlState();
        state.exclude(TControlStateFlag::csPaintCopy);
        FControl.SetControlState(state);
    }

private:
    TControl& FControl;
};

// A parent's own painting without its graphic controls (a WM_PAINT with a DC paints them all), which
// the framework gives only to the control's own class and its descendants.
struct paint_window_of : TWinControl {
    static void paint(TWinControl& Control, HDC DC) { (Control.*&paint_window_of::PaintWindow)(DC); }
};

} // namespace

void CopyParentBackground(TControl* Control, TBitmap32* Bitmap, const TRect& R) {
    TWinControl* parent = Control->Parent();
    if (!parent)
        return;
    TBitmap32* source = nullptr;
    TRect r = R;
    int dx = 0, dy = 0;
    if (auto* form = dynamic_cast<TForm*>(parent); form && skin_form_background(form, source, dx, dy)) {
        r = {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
    } else if (auto* skinned = dynamic_cast<TSkinCustomControl*>(parent)) {
        source = skinned->BackgroundPicture();
    }
    const bool designing = Control->ComponentState().contains(TComponentStateFlag::csDesigning);
    if (source && !designing) {
        source->DrawTo(Bitmap, Bitmap->ClipRect(), r);
        return;
    }
    // An unskinned parent paints itself into the buffer's DC, then the graphic controls that come before
    // this control in its list (those under it); windowed siblings are windows of their own.
    const HDC dc = Bitmap->Handle();
    if (!dc || !parent->HandleAllocated())
        return;
    const paint_copy_mark parent_mark(*parent);
    {
        const saved_dc keep(dc);
        ::SetViewportOrgEx(dc, -Control->Left(), -Control->Top(), nullptr);
        const RECT client = parent->ClientRect();
        ::IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
        parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        paint_window_of::paint(*parent, dc);
    }
    const RECT bounds = Control->BoundsRect();
    for (int i = 0; i < parent->ControlCount(); ++i) {
        TControl* sibling = parent->Controls(i);
        if (sibling == Control)
            break;
        const RECT r = sibling->BoundsRect();
        RECT overlap{};
        if (!dynamic_cast<TGraphicControl*>(sibling) || !sibling->Visible() || !::IntersectRect(&overlap, &r, &bounds))
            continue;
        const paint_copy_mark mark(*sibling);
        const saved_dc keep(dc);
        ::SetViewportOrgEx(dc, r.left - bounds.left, r.top - bounds.top, nullptr);
        ::IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        sibling->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    }
}

// Color and the background events replace the control's own: the skin draws from these.
const property_table& TSkinCustomControl::PublishedProperties() const {
    using C = TSkinCustomControl;
    static const property_table table = property_table::of<C>(TCustomPaintBox32::PublishedProperties())
        .boolean(u"Transparent", &C::Transparent, &C::SetTransparent, true)
        .color(u"Color", &C::Color, &C::SetColor, TColor{0xFFFFFF})
        .boolean(u"AutoInvalidate", &C::AutoInvalidate, &C::SetAutoInvalidate, false)
        .boolean(u"EraseBackground", &C::EraseBackground, &C::SetEraseBackground, false)
        .event(u"OnBackgroundChanging", &C::OnBackgroundChanging)
        .event(u"OnBackgroundChanged", &C::OnBackgroundChanged);
    return table;
}

} // namespace kq
