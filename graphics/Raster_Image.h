#pragma once
// Windows only: the windowed control that paints itself from an off-screen bitmap.

#include "framework/Controls.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_RepaintOpt.h"

#include <cstdint>
#include <memory>

namespace kq {

enum TRepaintMode : std::uint8_t { rmFull, rmDirect, rmOptimizer };
enum TPaintBoxOption : std::uint8_t { pboWantArrowKeys, pboAutoFocus };
using TPaintBoxOptions = enum_set<TPaintBoxOption>;

// The optimiser class every paint box makes its optimiser of (the micro-tile optimiser).
extern TCustomRepaintOptimizerClass RepaintOptimizerClass;

// Descendants draw into Buffer in PaintBuffer; the control copies the buffer, or only its invalid
// rectangles, to the window. The buffer's lock is the one lock of the pair: the control holds it while it
// sizes or copies the buffer and whenever it calls its optimiser, so a thread that draws into the buffer
// between its Lock and Unlock also reports its areas to the optimiser under it.
class TCustomPaintBox32 : public TCustomControl {
public:
    explicit TCustomPaintBox32(TComponent* AOwner);
    ~TCustomPaintBox32() override;

    TBitmap32* Buffer() const { return FBuffer.get(); }
    std::int32_t BufferOversize() const { return FBufferOversize; }
    // A negative value is stored as 0.
    void SetBufferOversize(std::int32_t Value);
    TPaintBoxOptions Options() const { return FOptions; }
    void SetOptions(TPaintBoxOptions Value) { FOptions = Value; }
    TRepaintMode RepaintMode() const { return FRepaintMode; }
    virtual void SetRepaintMode(TRepaintMode Value);
    TCustomRepaintOptimizer* RepaintOptimizer() const { return FRepaintOptimizer.get(); }
    bool BufferValid() const { return FBufferValid; }
    const TRectList& InvalidRects() const { return FInvalidRects; }

    // Copies the viewport, or SrcRect of it, from the buffer to the window at once.
    void Flush();
    void Flush(const TRect& SrcRect);

    void Invalidate() override;
    virtual void ForceFullInvalidate();
    void Loaded() override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    virtual TRect GetViewportRect();

    // Raised after the buffer was copied to the window, for GDI drawing over it.
    TNotifyEvent OnGDIOverlay;

protected:
    virtual bool CanRepaintPartially();
    virtual bool HasInvalidRects();
    virtual void OptimizeInvalidRects();
    // Fills the buffer; this class only keeps the books (see the .cpp). Runs under the buffer's lock.
    virtual void PaintBuffer();
    virtual void DoGDIOverlay();
    virtual void BufferResized(std::int32_t OldWidth, std::int32_t OldHeight);
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();

    // The paint pipeline, within WM_PAINT with the canvas on the window.
    void Paint() override;
    void PaintWindow(HDC DC) override;
    void WndProc(TMessage& Message) override;
    void Resize() override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;

    void AdjustBufferSize();
    void ClearInvalidRects() { FInvalidRects.Clear(); }

    bool FForceFullRepaint = true;

private:
    void HandlePaint(TMessage& Message);
    void DirectAreaChangeHandler(TObject* Sender, const TRect& Area, std::uint32_t Info);
    template <class F>
    void with_buffer_locked(F&& f);

    std::unique_ptr<TBitmap32> FBuffer;
    std::int32_t FBufferOversize = 40;
    bool FBufferValid = false;
    TRepaintMode FRepaintMode = rmFull;
    TRectList FInvalidRects;
    std::unique_ptr<TCustomRepaintOptimizer> FRepaintOptimizer;
    TPaintBoxOptions FOptions;
    bool FPainting = false; // inside the window's paint: direct changes wait for the next one
};

} // namespace kq
