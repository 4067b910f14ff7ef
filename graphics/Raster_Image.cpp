#include "graphics/Raster_Image.h"

#include "framework/Handles.h"
#include "graphics/Raster_Backends_GDI.h"
#include "graphics/Raster_MicroTiles.h"

#include <algorithm>

namespace kq {

TCustomRepaintOptimizerClass RepaintOptimizerClass = &micro_tiles_repaint_optimizer_class;

TCustomPaintBox32::TCustomPaintBox32(TComponent* AOwner)
    : TCustomControl(AOwner), FBuffer(std::make_unique<TBitmap32>()),
      FRepaintOptimizer(RepaintOptimizerClass->Create(FBuffer.get(), &FInvalidRects)) {
    SetHeight(192);
    SetWidth(192);
}

TCustomPaintBox32::~TCustomPaintBox32() {
    FBuffer->OnAreaChanged = nullptr; // it points at the optimiser or at this control
}

template <class F>
void TCustomPaintBox32::with_buffer_locked(F&& f) {
    FBuffer->Lock();
    auto unlock = scope_exit([this] { FBuffer->Unlock(); });
    f();
}

// --- Sizing

TRect TCustomPaintBox32::GetViewportRect() {
    return {0, 0, Width(), Height()};
}

void TCustomPaintBox32::AdjustBufferSize() {
    const TRect viewport = GetViewportRect();
    const auto new_size = [this](std::int32_t current, std::int32_t wanted) {
        std::int32_t size = current;
        if (current < wanted)
            size = wanted + FBufferOversize;
        else if (wanted < current - FBufferOversize)
            size = wanted;
        return size <= 0 ? 1 : size;
    };
    const std::int32_t width = new_size(FBuffer->Width(), std::max(viewport.Right - viewport.Left, 0));
    const std::int32_t height = new_size(FBuffer->Height(), std::max(viewport.Bottom - viewport.Top, 0));
    if (width == FBuffer->Width() && height == FBuffer->Height())
        return;
    std::int32_t old_width = 0, old_height = 0;
    with_buffer_locked([&] {
        old_width = FBuffer->Width();
        old_height = FBuffer->Height();
        FBuffer->SetSize(width, height);
    });
    BufferResized(old_width, old_height);
    ForceFullInvalidate();
}

void TCustomPaintBox32::SetBufferOversize(std::int32_t Value) {
    Value = std::max(Value, 0);
    if (Value == FBufferOversize)
        return;
    FBufferOversize = Value;
    AdjustBufferSize();
    FBufferValid = false;
}

void TCustomPaintBox32::BufferResized(std::int32_t, std::int32_t) {
    if (FRepaintOptimizer->Enabled())
        with_buffer_locked([this] { FRepaintOptimizer->BufferResizedHandler(FBuffer->Width(), FBuffer->Height()); });
}

void TCustomPaintBox32::Resize() {
    AdjustBufferSize();
    FBufferValid = false;
    TCustomControl::Resize();
}

void TCustomPaintBox32::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    if (ComponentState().contains(TComponentStateFlag::csDesigning))
        AdjustBufferSize();
    FBufferValid = false;
}

// --- Invalidation

void TCustomPaintBox32::Invalidate() {
    FBufferValid = false;
    TCustomControl::Invalidate();
}

void TCustomPaintBox32::ForceFullInvalidate() {
    if (FRepaintOptimizer->Enabled())
        with_buffer_locked([this] { FRepaintOptimizer->Reset(); });
    FForceFullRepaint = true;
    Invalidate();
}

void TCustomPaintBox32::Loaded() {
    FBufferValid = false;
    TCustomControl::Loaded();
}

bool TCustomPaintBox32::CanRepaintPartially() {
    if (!FRepaintOptimizer->Enabled() || FForceFullRepaint)
        return false;
    bool available = false;
    with_buffer_locked([&] { available = FRepaintOptimizer->UpdatesAvailable(); });
    return available;
}

bool TCustomPaintBox32::HasInvalidRects() {
    return true;
}

void TCustomPaintBox32::OptimizeInvalidRects() {
    if (FRepaintOptimizer->Enabled() && !FForceFullRepaint)
        with_buffer_locked([this] { FRepaintOptimizer->PerformOptimization(); });
}

void TCustomPaintBox32::PaintBuffer() {
    if (FForceFullRepaint) {
        // The whole viewport is copied: an empty list says so.
        FForceFullRepaint = false;
        FInvalidRects.Clear();
    } else {
        OptimizeInvalidRects();
    }
    FBufferValid = true;
}

void TCustomPaintBox32::SetRepaintMode(TRepaintMode Value) {
    if (!FRepaintOptimizer)
        return;
    with_buffer_locked([&] {
        switch (Value) {
        case rmOptimizer:
            FBuffer->OnAreaChanged = [this](TObject* s, const TRect& a, std::uint32_t i) {
                FRepaintOptimizer->AreaUpdateHandler(s, a, i);
            };
            break;
        case rmDirect:
            FBuffer->OnAreaChanged = [this](TObject* s, const TRect& a, std::uint32_t i) {
                DirectAreaChangeHandler(s, a, i);
            };
            break;
        case rmFull:
            FBuffer->OnAreaChanged = nullptr;
            break;
        }
        FRepaintOptimizer->SetEnabled(Value == rmOptimizer);
    });
    FRepaintMode = Value;
    Invalidate();
}

void TCustomPaintBox32::DirectAreaChangeHandler(TObject*, const TRect& Area, std::uint32_t) {
    FInvalidRects.Add(Area);
    if (!FPainting)
        Repaint();
}

// --- Painting

void TCustomPaintBox32::PaintWindow(HDC DC) {
    FPainting = true;
    auto done = scope_exit([this] { FPainting = false; });
    TCustomControl::PaintWindow(DC);
}

void TCustomPaintBox32::Paint() {
    if (!Parent())
        return;
    if (FRepaintOptimizer->Enabled())
        FRepaintOptimizer->BeginPaint();
    with_buffer_locked([this] {
        // A backend without paint support raises EIntfCastError here; the lock is released on the way out.
        IPaintSupport* paint = require_interface<IPaintSupport>(FBuffer->Backend(), IID_IPaintSupport);
        if (!FBufferValid) {
            paint->ImageNeeded();
            PaintBuffer();
            paint->CheckPixmap();
        }
        paint->DoPaint(FBuffer.get(), FInvalidRects, &Canvas(), this);
    });
    DoGDIOverlay();
    if (FRepaintOptimizer->Enabled())
        FRepaintOptimizer->EndPaint();
    ClearInvalidRects();
    FForceFullRepaint = false;
}

void TCustomPaintBox32::Flush() {
    Flush(GetViewportRect());
}

void TCustomPaintBox32::Flush(const TRect& SrcRect) {
    if (!FBuffer->Handle())
        return;
    Canvas().Lock();
    auto unlock_canvas = scope_exit([this] { Canvas().Unlock(); });
    with_buffer_locked([&] {
        if (!HandleAllocated())
            return;
        const TRect viewport = GetViewportRect();
        ::BitBlt(Canvas().Handle(), SrcRect.Left + viewport.Left, SrcRect.Top + viewport.Top,
                 SrcRect.Right - SrcRect.Left, SrcRect.Bottom - SrcRect.Top, FBuffer->Handle(), SrcRect.Left,
                 SrcRect.Top, SRCCOPY);
    });
}

void TCustomPaintBox32::DoGDIOverlay() {
    if (OnGDIOverlay)
        OnGDIOverlay(this);
}

// --- Messages

void TCustomPaintBox32::HandlePaint(TMessage& Message) {
    if (CanRepaintPartially()) {
        if (HasInvalidRects()) {
            // Now, on the window's own DC: the begin-paint below clips to an update region that a posted
            // paint does not have.
            window_dc dc(Handle());
            PaintWindow(dc.get());
        } else {
            ::InvalidateRect(Handle(), nullptr, FALSE);
        }
    }
    TCustomControl::WndProc(Message);
}

void TCustomPaintBox32::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_PAINT:
        HandlePaint(Message);
        return;
    case WM_ERASEBKGND:
        Message.Result = 1; // the buffer covers every pixel
        return;
    case WM_GETDLGCODE:
        if (FOptions.contains(pboWantArrowKeys))
            Message.Result |= DLGC_WANTARROWS;
        else
            Message.Result &= ~static_cast<LRESULT>(DLGC_WANTARROWS);
        return;
    case CM_INVALIDATE:
        if (CanRepaintPartially() && HandleAllocated()) {
            ::PostMessageW(Handle(), WM_PAINT, 0, 0);
            return;
        }
        break;
    case CM_MOUSEENTER:
        DoMouseEnter();
        return;
    case CM_MOUSELEAVE:
        DoMouseLeave();
        return;
    default:
        break;
    }
    TCustomControl::WndProc(Message);
}

// The framework's own handling of the two messages already sets MouseInControl and raises the event;
// going through it once keeps the event single.
void TCustomPaintBox32::DoMouseEnter() {
    TMessage m{CM_MOUSEENTER, 0, 0, 0};
    TCustomControl::WndProc(m);
}

void TCustomPaintBox32::DoMouseLeave() {
    TMessage m{CM_MOUSELEAVE, 0, 0, 0};
    TCustomControl::WndProc(m);
}

void TCustomPaintBox32::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (FOptions.contains(pboAutoFocus) && CanFocus())
        SetFocus();
    TCustomControl::MouseDown(Button, Shift, X, Y);
}

} // namespace kq
