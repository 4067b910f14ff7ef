#pragma once
// Polygons of the drawn items and their hit testing.
#include "framework/Controls.h"
#include "framework/Geometry.h"
#include "tabs/PageTabsUtils.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kq {

class TCustomForm;
class TPageTab;
class IPageTabDockControl;

// --- Polygons

enum class TDrawToFunctions : std::uint8_t { dfBrush, dfPen, dfBrushAndPen };

// One shape of a drawn item with the brush and pen to draw it. The brush and pen are shared with the
// look or item that made them, which may replace its own at any time.
class TPageTabPolygon {
public:
    TPageTabPolygon(TPolygon Polygon, std::shared_ptr<const TGPBrush> Brush, std::shared_ptr<const TGPPen> Pen)
        : FPolygon(std::move(Polygon)), FBrush(std::move(Brush)), FPen(std::move(Pen)) {}

    const TPolygon& Polygon() const noexcept { return FPolygon; }
    void SetPolygon(TPolygon Value) { FPolygon = std::move(Value); }
    const std::shared_ptr<const TGPBrush>& Brush() const noexcept { return FBrush; }
    void SetBrush(std::shared_ptr<const TGPBrush> Value) { FBrush = std::move(Value); }
    const std::shared_ptr<const TGPPen>& Pen() const noexcept { return FPen; }
    void SetPen(std::shared_ptr<const TGPPen> Value) { FPen = std::move(Value); }

private:
    TPolygon FPolygon;
    std::shared_ptr<const TGPBrush> FBrush;
    std::shared_ptr<const TGPPen> FPen;
};

// The shapes of one drawn item, used for painting, hit testing and clipping. Shared: it lives as long
// as someone holds it.
class IPageTabPolygons {
public:
    virtual ~IPageTabPolygons() = default;
    virtual int PolygonCount() const = 0;
    // In the order added; outside 0 to PolygonCount - 1 raises the list index error.
    virtual TPageTabPolygon& GetPolygons(int Index) = 0;
    // Returns the list itself, so that calls chain.
    virtual IPageTabPolygons& AddPolygon(TPolygon Polygon, std::shared_ptr<const TGPBrush> Brush,
                                         std::shared_ptr<const TGPPen> Pen) = 0;
    // Fills with each polygon's brush and then outlines with its pen, as asked; a missing brush or pen
    // skips that step for that polygon.
    virtual void DrawTo(TGPGraphics& TargetCanvas, TDrawToFunctions DrawToFunctions) = 0;
};

using page_tab_polygons = std::shared_ptr<IPageTabPolygons>;

class TPageTabPolygons : public IPageTabPolygons {
public:
    int PolygonCount() const override { return static_cast<int>(FPolygons.size()); }
    TPageTabPolygon& GetPolygons(int Index) override;
    IPageTabPolygons& AddPolygon(TPolygon Polygon, std::shared_ptr<const TGPBrush> Brush,
                                 std::shared_ptr<const TGPPen> Pen) override;
    void DrawTo(TGPGraphics& TargetCanvas, TDrawToFunctions DrawToFunctions) override;

private:
    std::vector<TPageTabPolygon> FPolygons;
};

// --- Drag object

enum class TDragOverType : std::uint8_t { dotNone, dotHomeContainer, dotRemoteContainer };

// The state of one tab drag, shared between the strip it started in and the strip under the cursor.
class IDragTabObject {
public:
    virtual ~IDragTabObject() = default;

    virtual TPoint DragCursorOffset() const = 0;
    virtual TCustomForm* DragForm() const = 0;
    virtual TPoint DragFormOffset() const = 0;
    virtual TPoint DragPoint() const = 0;
    virtual TPageTab* DragTab() const = 0;
    virtual int DropTabIndex() const = 0;
    virtual bool HideAddButton() const = 0;
    virtual TRect OriginalControlRect() const = 0;
    virtual IPageTabDockControl* SourceControl() const = 0;
    virtual IPageTabDockControl* DockControl() const = 0;
    virtual TCursor OriginalCursor() const = 0;
    virtual TDragOverType DragOverType() const = 0;

    virtual void SetDragCursorOffset(TPoint Value) = 0;
    // The drag object releases the form when it goes.
    virtual void SetDragForm(TCustomForm* Value) = 0;
    virtual void SetDragFormOffset(TPoint Value) = 0;
    virtual void SetDragPoint(TPoint Value) = 0;
    virtual void SetDragTab(TPageTab* Value) = 0;
    virtual void SetDropTabIndex(int Value) = 0;
    virtual void SetHideAddButton(bool Value) = 0;
    virtual void SetOriginalControlRect(TRect Value) = 0;
    virtual void SetSourceControl(IPageTabDockControl* Value) = 0;
    virtual void SetDockControl(IPageTabDockControl* Value) = 0;
    virtual void SetOriginalCursor(TCursor Value) = 0;
    virtual void SetDragOverType(TDragOverType Value) = 0;
};

class TDragTabObject : public IDragTabObject {
public:
    TDragTabObject() = default;
    TDragTabObject(const TDragTabObject&) = delete;
    TDragTabObject& operator=(const TDragTabObject&) = delete;
    // Releases the drag form, deferred until the messages already queued for it are handled.
    ~TDragTabObject() override;

    TPoint DragCursorOffset() const override { return FDragCursorOffset; }
    TCustomForm* DragForm() const override { return FDragForm; }
    TPoint DragFormOffset() const override { return FDragFormOffset; }
    TPoint DragPoint() const override { return FDragPoint; }
    TPageTab* DragTab() const override { return FDragTab; }
    int DropTabIndex() const override { return FDropTabIndex; }
    bool HideAddButton() const override { return FHideAddButton; }
    TRect OriginalControlRect() const override { return FOriginalControlRect; }
    IPageTabDockControl* SourceControl() const override { return FSourceControl; }
    IPageTabDockControl* DockControl() const override { return FDockControl; }
    TCursor OriginalCursor() const override { return FOriginalCursor; }
    TDragOverType DragOverType() const override { return FDragOverType; }

    void SetDragCursorOffset(TPoint Value) override { FDragCursorOffset = Value; }
    void SetDragForm(TCustomForm* Value) override { FDragForm = Value; }
    void SetDragFormOffset(TPoint Value) override { FDragFormOffset = Value; }
    void SetDragPoint(TPoint Value) override { FDragPoint = Value; }
    void SetDragTab(TPageTab* Value) override { FDragTab = Value; }
    void SetDropTabIndex(int Value) override { FDropTabIndex = Value; }
    void SetHideAddButton(bool Value) override { FHideAddButton = Value; }
    void SetOriginalControlRect(TRect Value) override { FOriginalControlRect = Value; }
    void SetSourceControl(IPageTabDockControl* Value) override { FSourceControl = Value; }
    void SetDockControl(IPageTabDockControl* Value) override { FDockControl = Value; }
    void SetOriginalCursor(TCursor Value) override { FOriginalCursor = Value; }
    void SetDragOverType(TDragOverType Value) override { FDragOverType = Value; }

private:
    TPageTab* FDragTab = nullptr;
    TPoint FDragCursorOffset;
    TPoint FDragFormOffset;
    TPoint FDragPoint;
    bool FHideAddButton = false;
    TRect FOriginalControlRect;
    int FDropTabIndex = 0;
    TCustomForm* FDragForm = nullptr;
    IPageTabDockControl* FSourceControl = nullptr;
    IPageTabDockControl* FDockControl = nullptr;
    TCursor FOriginalCursor = crDefault;
    TDragOverType FDragOverType = TDragOverType::dotNone;
};

} // namespace kq
