#include "skin/uSkFormBorder.h"

#include "framework/LayeredWindows.h"
#include "skin/SkinMessages.h"
#include "skin/uSkRasterLib.h"
#include "skin/uSkinNCCtrlBase.h"
#include "skin/uSkinResManager.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace kq {

namespace {

// SWP_NOSIZE, SWP_NOMOVE, SWP_NOACTIVATE, SWP_NOOWNERZORDER, SWP_NOSENDCHANGING: a Z-order change only.
constexpr UINT z_order_only = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING;
constexpr UINT place_flags = SWP_SHOWWINDOW | SWP_NOACTIVATE | SWP_NOSIZE;
constexpr UINT restack_delay_ms = 50;
// The system command that starts moving a window with the mouse.
constexpr WPARAM drag_move_command = 0xF011;

bool has_pixels(const TBitmap32* image) { return image && image->Width() > 0 && image->Height() > 0; }

} // namespace

// --- TSkBorderSize

void TSkBorderSize::Assign(const TPersistent* Source) {
    if (const auto* s = dynamic_cast<const TSkBorderSize*>(Source)) {
        FLeft = s->FLeft;
        FTop = s->FTop;
        FRight = s->FRight;
        FBottom = s->FBottom;
        return;
    }
    TPersistent::Assign(Source);
}

const property_table& TSkBorderSize::PublishedProperties() const {
    static const property_table table = property_table::of<TSkBorderSize>(TPersistent::PublishedProperties())
        .integer(u"Left", &TSkBorderSize::Left, &TSkBorderSize::SetLeft, 8)
        .integer(u"Top", &TSkBorderSize::Top, &TSkBorderSize::SetTop, 8)
        .integer(u"Right", &TSkBorderSize::Right, &TSkBorderSize::SetRight, 8)
        .integer(u"Bottom", &TSkBorderSize::Bottom, &TSkBorderSize::SetBottom, 8);
    return table;
}

// --- TSkFormLayerWindow

TSkFormLayerWindow::TSkFormLayerWindow(TSkFormLayerBorder* AOwner, TForm* AForm, bool Transparent)
    : TForm(AOwner), FTransparent(Transparent), FForm(AForm), FLayerBorder(AOwner) {
    SetBorderStyle(TFormBorderStyle::bsNone);
    SetPosition(TPosition::poScreenCenter);
    SetFormStyle(AForm && AForm->FormStyle() == TFormStyle::fsStayOnTop ? TFormStyle::fsStayOnTop
                                                                       : TFormStyle::fsNormal);
    HandleNeeded();
}

void TSkFormLayerWindow::CreateParams(TCreateParams& Params) {
    TForm::CreateParams(Params);
    Params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_LAYERED | (FTransparent ? WS_EX_TRANSPARENT : WS_EX_NOACTIVATE);
    Params.ExStyle &= ~static_cast<DWORD>(WS_EX_APPWINDOW);
    // Owned by the main form, a window could never go behind it.
    if (Application && FForm && Application->MainForm() == FForm)
        Params.WndParent = nullptr;
    Params.WindowClass.style = CS_OWNDC | CS_DBLCLKS;
    Params.Style = WS_POPUP;
}

void TSkFormLayerWindow::DrawSelf(std::uint32_t AFlag) {
    if (!HandleAllocated())
        return;
    const HWND window = Handle();
    TBitmap32* edge = FLayerBorder->edge_image(FBorderType);
    if (!has_pixels(edge)) {
        ::ShowWindow(window, SW_HIDE);
        return;
    }
    TBitmap32 copy;
    copy.Assign(edge);
    if (AFlag == 0 && FBorderType == mpflTop && !FLayerBorder->Transparent() && FLayerBorder->NCCtrlList())
        host_title_bar_controls(copy);
    RECT bounds{};
    ::GetWindowRect(window, &bounds);
    const POINT place{bounds.left, bounds.top};
    show_layered_pixels(window, copy.Bits(), copy.Width(), copy.Height(), pixel_alpha::straight,
                        AFlag == 0 ? 255 : 0, &place);
}

void TSkFormLayerWindow::DoShow() {
    FHided = false;
    DrawSelf(0);
}

void TSkFormLayerWindow::DoHide() {
    FHided = true;
    DrawSelf(1);
}

bool TSkFormLayerWindow::DispatchNCMouseButton(bool Down) {
    if (const auto* controls = FLayerBorder->NCCtrlList())
        for (TSkinNCCtrlBase* c : *controls) {
            if (!c->CursorEnter())
                continue;
            if (Down)
                c->LMouseDown();
            else
                c->LMouseUp();
            DrawSelf(0);
            return true;
        }
    DrawSelf(0);
    return false;
}

// Drawing the opaque top edge changes structure: this window becomes the title bar, so the title-bar
// controls move onto it (each once) before they are painted into Picture.
void TSkFormLayerWindow::host_title_bar_controls(TBitmap32& Picture) {
    const std::vector<TSkinNCCtrlBase*>& controls = *FLayerBorder->NCCtrlList();
    const std::int32_t margin = FLayerBorder->Size().Width();
    for (size_t i = 0; i < controls.size(); ++i) {
        TSkinNCCtrlBase* c = controls[i];
        c->host_on(this, margin);
        // Messages are served before each control is painted: the registrations and removals the
        // controls posted to the form arrive first, and a control removed meanwhile is not painted.
        Application->ProcessMessages();
        if (i < controls.size() && controls[i] == c)
            c->Paint(&Picture);
    }
}

void TSkFormLayerWindow::restack_soon() { FRestackTimer.start(Handle(), restack_delay_ms); }

void TSkFormLayerWindow::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_TIMER:
        if (!FRestackTimer.take_tick(Message.WParam))
            break;
        if (FForm)
            FLayerBorder->MoveWithForm(FForm->Left(), FForm->Top());
        return;
    case WM_NCHITTEST:
        TForm::WndProc(Message);
        // Every mouse action then arrives as a non-client one.
        Message.Result = HTOBJECT;
        return;
    case WM_MOUSEACTIVATE:
        Message.Result = MA_NOACTIVATE;
        return;
    case WM_NCLBUTTONDOWN:
        if (!DispatchNCMouseButton(true) && FDrag && FForm && FForm->HandleAllocated()) {
            ::ReleaseCapture();
            ::SendMessageW(FForm->Handle(), WM_SYSCOMMAND, drag_move_command, 0);
        }
        return;
    case WM_NCLBUTTONUP:
        DispatchNCMouseButton(false);
        return;
    case WM_NCMOUSEMOVE: {
        TForm::WndProc(Message);
        const TPoint cursor{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        if (const auto* controls = FLayerBorder->NCCtrlList()) {
            const std::vector<TSkinNCCtrlBase*> list = *controls; // a control may remove itself meanwhile
            for (TSkinNCCtrlBase* c : list)
                if (std::find(controls->begin(), controls->end(), c) != controls->end())
                    c->NCMouseMove(cursor);
        }
        return;
    }
    case WM_VK_UPDATENC:
        DrawSelf(0);
        return;
    default:
        break;
    }
    TForm::WndProc(Message);
}

// --- TSkFormLayerBorder

TSkFormLayerBorder::TSkFormLayerBorder(TComponent* AOwner)
    : TComponent(AOwner), FSize(std::make_unique<TSkBorderSize>()), FInflateSize(std::make_unique<TSkBorderSize>()) {
    FInflateSize->SetLeft(5);
    FInflateSize->SetTop(5);
    FInflateSize->SetRight(-5);
    FInflateSize->SetBottom(-5);
}

TSkFormLayerBorder::~TSkFormLayerBorder() {
    FreeLayerWindow();
    if (FForm)
        FForm->RemoveFreeNotification(this);
}

TBitmap32* TSkFormLayerBorder::edge_image(TSkFormLayerBorderType Type) const noexcept {
    return FImages[Type].get();
}

template <class F>
void TSkFormLayerBorder::each_window(F&& f, const edge_list& order) {
    for (TSkFormLayerBorderType edge : order)
        if (TSkFormLayerWindow* w = FBorders[edge])
            f(*w);
}

void TSkFormLayerBorder::InitFrame(TForm* AForm) {
    if (FForm == AForm)
        return;
    if (FForm)
        FForm->RemoveFreeNotification(this);
    FForm = AForm;
    if (FForm)
        FForm->FreeNotification(this);
}

void TSkFormLayerBorder::ShowWithForm(const std::vector<TSkinNCCtrlBase*>* NCItems) {
    FNCCtrlList = NCItems;
    if (FForm)
        Show(FForm->Left(), FForm->Top(), FForm->Width(), FForm->Height());
}

// Transparent tiles lie wholly outside the form.
void TSkFormLayerBorder::zero_tiled_insets() {
    if (FTransparent && FStretchKind == skTile) {
        FInflateSize->SetLeft(0);
        FInflateSize->SetTop(0);
        FInflateSize->SetRight(0);
        FInflateSize->SetBottom(0);
    }
}

void TSkFormLayerBorder::BuildEdgeImages(std::int32_t AWidth, std::int32_t AHeight) {
    for (auto& image : FImages)
        image.reset();
    const std::int32_t W = AWidth + FSize->Width(), H = AHeight + FSize->Height();
    zero_tiled_insets();
    TSkinImage* image = SkinResManager()->GetImageByName(FImage);
    // Without its image the border shows no frame.
    if (!image || image->Empty() || W <= 0 || H <= 0)
        return;
    TBitmap32 S;
    S.SetSize(W, H);
    S.Clear(0);
    if (FStretchKind == skTile)
        TileDrawBitmap(image, &S, 0, 0);
    else
        DrawNineSliceThirds(image, &S, false);

    const std::int32_t iT = std::abs(FInflateSize->Top()), iB = std::abs(FInflateSize->Bottom()),
                       iL = std::abs(FInflateSize->Left()), iR = std::abs(FInflateSize->Right());
    const std::int32_t hT = std::max(0, iT + FSize->Top()), hB = std::max(0, iB + FSize->Bottom()),
                       wL = std::max(0, iL + FSize->Left()), wR = std::max(0, iR + FSize->Right());
    // A form lower than the insets leaves no room for the sides: they become empty, never negative.
    const auto cut = [&S](std::int32_t width, std::int32_t height, const TRect& source) {
        auto edge = std::make_unique<TBitmap32>();
        edge->SetSize(std::max(0, width), std::max(0, height));
        edge->Clear(0);
        if (!edge->Empty())
            S.DrawTo(edge.get(), 0, 0, source);
        return edge;
    };
    FImages[mpflTop] = cut(W, hT, {0, 0, W, hT});
    FImages[mpflBottom] = cut(W, hB, {0, H - hB, W, H});
    if (FTransparent) {
        const std::int32_t side = H - hB - hT;
        FImages[mpflLeft] = cut(wL, side, {0, iT + hT, wL, H});
        FImages[mpflRight] = cut(wR, side, {W - wR, iT + hT, W, H});
    } else {
        FImages[mpflLeft] = cut(wL, H, {0, 0, wL, H});
        FImages[mpflRight] = cut(wR, H, {W - wR, 0, W, H});
    }
}

bool TSkFormLayerBorder::form_iconic() const {
    return FForm && FForm->HandleAllocated() && ::IsIconic(FForm->Handle());
}

HWND TSkFormLayerBorder::insert_after() {
    const HWND F = FForm && FForm->HandleAllocated() ? FForm->Handle() : nullptr;
    HWND candidate = nullptr;
    if (FForm && FForm->FormStyle() == TFormStyle::fsStayOnTop) {
        if (F && F == ::GetActiveWindow())
            ::SetWindowPos(F, HWND_TOP, 0, 0, 0, 0, z_order_only);
    } else {
        candidate = F;
        if (F && (::GetWindowLongPtrW(F, GWL_EXSTYLE) & WS_EX_TOPMOST)) {
            ::SetWindowPos(F, HWND_TOPMOST, 0, 0, 0, 0, z_order_only);
            candidate = HWND_TOPMOST;
        }
    }
    if (!candidate)
        candidate = F && ::IsIconic(F) ? ::GetWindow(F, GW_HWNDPREV) : F;
    return candidate;
}

void TSkFormLayerBorder::place_windows(std::int32_t X, std::int32_t Y, std::int32_t AW, std::int32_t AH, HWND After) {
    zero_tiled_insets();
    const std::int32_t iB = std::abs(FInflateSize->Bottom()), iR = std::abs(FInflateSize->Right());
    const auto place = [&](TSkFormLayerWindow* w, std::int32_t x, std::int32_t y) {
        if (!w || !w->HandleAllocated() || !has_pixels(edge_image(w->BorderType())))
            return;
        const HWND h = w->Handle();
        ::SetWindowPos(h, After, x, y, 0, 0, place_flags);
    };
    const std::int32_t left = X - FSize->Left();
    if (FTransparent) {
        place(FBorders[mpflTop], left, Y - FSize->Top());
        place(FBorders[mpflBottom], left, Y + AH - iB);
        std::int32_t T = Y - FSize->Top();
        if (FBorders[mpflTop] && FBorders[mpflTop]->HandleAllocated()) {
            RECT r{};
            ::GetWindowRect(FBorders[mpflTop]->Handle(), &r);
            T = r.bottom;
        }
        place(FBorders[mpflLeft], left, T);
        place(FBorders[mpflRight], X + AW - iR, T);
    } else {
        place(FBorders[mpflLeft], left, Y - FSize->Top());
        place(FBorders[mpflRight], X + AW - iR, Y - FSize->Top());
        place(FBorders[mpflTop], left, Y - FSize->Top());
        place(FBorders[mpflBottom], left, Y + AH - iB);
    }
}

void TSkFormLayerBorder::Show(std::int32_t X, std::int32_t Y, std::int32_t AWidth, std::int32_t AHeight) {
    FVisible = true;
    FHide = false;
    BuildEdgeImages(AWidth, AHeight);
    FreeLayerWindow();
    if (!FImages[mpflTop])
        return;
    const HWND after = insert_after();
    for (TSkFormLayerBorderType edge : creation_order) {
        auto* w = new TSkFormLayerWindow(this, FForm, FTransparent);
        FBorders[edge] = w;
        w->FreeNotification(this);
        w->SetBorderType(edge);
        w->SetDrag(FDragEnabled);
    }
    each_window([](TSkFormLayerWindow& w) { w.DrawSelf(0); }, draw_order);
    place_windows(X, Y, AWidth, AHeight, after);
    // Wine's X driver stacks newly mapped windows on top once the display has answered: the order is
    // set again shortly after.
    if (FBorders[mpflTop] && FBorders[mpflTop]->HandleAllocated())
        FBorders[mpflTop]->restack_soon();
}

void TSkFormLayerBorder::SetBounds(std::int32_t X, std::int32_t Y, std::int32_t AWidth, std::int32_t AHeight) {
    if (!FVisible)
        return;
    BuildEdgeImages(AWidth, AHeight);
    each_window([](TSkFormLayerWindow& w) { w.DrawSelf(0); }, draw_order);
    const HWND after = insert_after();
    if (!form_iconic())
        place_windows(X, Y, AWidth, AHeight, after);
}

void TSkFormLayerBorder::SetBoundsWithForm() {
    if (!FForm)
        return;
    if (FForm->WindowState() == TWindowState::wsMaximized) {
        Minimizing();
        return;
    }
    if (FHide && !form_iconic())
        Restoring();
    if (FVisible && FForm->Visible())
        SetBounds(FForm->Left(), FForm->Top(), FForm->Width(), FForm->Height());
}

void TSkFormLayerBorder::MoveWithForm(std::int32_t ALeft, std::int32_t ATop) {
    if (!FForm || !FBorders[mpflLeft] || !FBorders[mpflTop] || !FBorders[mpflRight] || !FBorders[mpflBottom] || form_iconic() || FHide)
        return;
    const HWND after = insert_after();
    place_windows(ALeft, ATop, FForm->Width(), FForm->Height(), after);
}

void TSkFormLayerBorder::Minimizing() {
    if (FMinimized)
        return;
    FMinimized = true;
    FHide = true;
    FVisible = false;
    each_window([](TSkFormLayerWindow& w) { w.DoHide(); }, edge_order);
}

void TSkFormLayerBorder::Restoring() {
    if (!FMinimized)
        return;
    FMinimized = false;
    FHide = false;
    FVisible = true;
    each_window([](TSkFormLayerWindow& w) { w.DoShow(); }, edge_order);
}

void TSkFormLayerBorder::Hide() {
    FHide = true;
    each_window([](TSkFormLayerWindow& w) { w.DoHide(); }, edge_order);
}

void TSkFormLayerBorder::Show() {
    FHide = false;
    each_window([](TSkFormLayerWindow& w) { w.DoShow(); }, edge_order);
}

void TSkFormLayerBorder::ReAlign() {
    if (FForm && FForm->HandleAllocated() && ::IsZoomed(FForm->Handle()))
        Minimizing();
    else
        Restoring();
}

void TSkFormLayerBorder::SetAlphaBlend() {
    if (!FVisible || !FImages[mpflTop])
        return;
    each_window([](TSkFormLayerWindow& w) { w.DrawSelf(0); }, draw_order);
}

void TSkFormLayerBorder::CheckFormAlpha(bool AUpdate) {
    if (FVisible && AUpdate)
        SetAlphaBlend();
}

void TSkFormLayerBorder::FreeLayerWindow() {
    for (TSkFormLayerBorderType edge : edge_order)
        delete std::exchange(FBorders[edge], nullptr);
}

void TSkFormLayerBorder::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove)
        return;
    for (TSkFormLayerWindow*& w : FBorders)
        if (w == AComponent)
            w = nullptr;
    if (AComponent == FForm) {
        FForm = nullptr;
        FreeLayerWindow();
    }
}

const property_table& TSkFormLayerBorder::PublishedProperties() const {
    static const property_table table =
        property_table::of<TSkFormLayerBorder>(TComponent::PublishedProperties())
            .enumeration(u"StretchKind", &TSkFormLayerBorder::StretchKind, &TSkFormLayerBorder::SetStretchKind,
                         {u"skAuto", u"skTile"}, skAuto)
            .boolean(u"Transparent", &TSkFormLayerBorder::Transparent, &TSkFormLayerBorder::SetTransparent, true)
            .boolean(u"DragEnabled", &TSkFormLayerBorder::DragEnabled, &TSkFormLayerBorder::SetDragEnabled, true)
            .string(u"Image", &TSkFormLayerBorder::Image, &TSkFormLayerBorder::SetImage,
                    String(u"SkinSlider_Aio_light_bkg"))
            .persistent(u"Size", [](const TSkFormLayerBorder& b) { return b.FSize.get(); })
            .persistent(u"InflateSize", [](const TSkFormLayerBorder& b) { return b.FInflateSize.get(); });
    return table;
}

} // namespace kq
