#pragma once
// TCustomPageTabs, TPageTabs: the strip, layout, input.
#include "framework/Controls.h"
#include "framework/Menus.h"
#include "framework/Sets.h"
#include "framework/Timers.h"
#include "tabs/PageTabsButtons.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsControls.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"
#include "tabs/PageTabsThreadTimer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kq {

enum class TTabDisplayState : std::uint8_t { tdNormal, tdCompressed, tdScrolling };
enum class TScrollDirection : std::uint8_t { mdsNone, mdsLeft, mdsRight };

enum class TPageTabState : std::uint8_t {
    stsAnimatingMovement,
    stsAnimatingStyle,
    stsDragging,
    stsDragStarted,
    stsDragFinished,
    stsCancellingDrag,
    stsCompletingDrag,
    stsDeletingUnPinnedTabs,
    stsTabDeleted,
    stsEndTabDeleted,
    stsResizing,
    stsMouseDown,
    stsPendingUpdates,
    stsAddingDroppedTab,
    stsAnimatingNewTab,
    stsFirstPaint,
    stsControlPositionsInvalidated,
    stsDebug,
    stsAnimatingCloseTab,
};
using TPageTabStates = enum_set<TPageTabState>;

struct THitTestResult {
    int TabIndex = -1;
    THitTestArea HitTestArea = THitTestArea::htNowhere;
};

class TCustomPageTabs;

using TOnActiveTabChanging = std::function<void(TObject* Sender, TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow)>;
using TOnChange = std::function<void(TObject* Sender, TPageTab* ATab, TTabChangeType TabChangeType)>;
using TOnActiveTabChanged = std::function<void(TObject* Sender, TPageTab* ATab)>;
using TOnDebugLog = std::function<void(TObject* Sender, const String& Text)>;
using TOnButtonAddClick = std::function<void(TObject* Sender, bool& Handled)>;
using TOnButtonCloseTabClick = std::function<void(TObject* Sender, TPageTab* ATab, bool& Close)>;
using TOnStateChange =
    std::function<void(TObject* Sender, TPageTabStates PreviousState, TPageTabStates CurrentState)>;
using TOnBeforeDrawItem = std::function<void(TObject* Sender, TGPGraphics& TargetCanvas, const TRect& ItemRect,
                                             TPageTabItemType ItemType, int TabIndex, bool& Handled)>;
using TOnAfterDrawItem = std::function<void(TObject* Sender, TGPGraphics& TargetCanvas, const TRect& ItemRect,
                                            TPageTabItemType ItemType, int TabIndex)>;
using TOnGetControlPolygons =
    std::function<void(TObject* Sender, TObject* PageTabsControl, const TRect& ItemRect, TPageTabItemType ItemType,
                       TTabOrientation Orientation, page_tab_polygons& Polygons)>;
using TOnShowHint = std::function<void(TObject* Sender, const THitTestResult& HitTestResult, String& HintText,
                                       int& HintTimeout)>;
using TOnTabDblClick = std::function<void(TObject* Sender, TPageTab* ATab)>;
using TOnTabDragStart = std::function<void(TObject* Sender, TPageTab* ATab, bool& Allow)>;
using TOnTabDragOver = std::function<void(TObject* Sender, int X, int Y, TDragState State,
                                          IDragTabObject* DragTabObject, bool& Accept)>;
using TOnTabDragDrop = std::function<void(TObject* Sender, int X, int Y, IDragTabObject* DragTabObject,
                                          bool Cancelled, TTabDropOptions& TabDropOptions)>;
using TOnTabDragDropped = std::function<void(TObject* Sender, IDragTabObject* DragTabObject, TPageTab* NewTab)>;
using TOnTabDragEnd = std::function<void(TObject* Sender, int MouseX, int MouseY, bool Cancelled)>;
using TOnNeedDragImageControl = std::function<void(TObject* Sender, TPageTab* ATab, TWinControl*& DragControl)>;
// A form supplied here is released with the drag.
using TOnCreateDragForm = std::function<void(TObject* Sender, TPageTab* ATab, TCustomForm*& DragForm)>;
using TOnAnimateStyle = std::function<void(TObject* Sender, TBasePageTabsControl* PageTabsControl,
                                           TDrawState NewDrawState, std::uint32_t& AnimationTimeMS,
                                           TPageTabsEaseType& EaseType)>;
using TOnAnimateMovement = std::function<void(TObject* Sender, TBasePageTabsControl* PageTabsControl,
                                              std::uint32_t& AnimationTimeMS, TPageTabsEaseType& EaseType)>;
using TOnSetTabWidth = std::function<void(TObject* Sender, TPageTabControl* ATabControl, int& TabWidth)>;
using TOnTabPopupMenu = std::function<void(TObject* Sender, TPageTab* ATab, TPopupMenu* PopupMenu)>;

// The owner-drawn, animated tab bar. Every change of its tabs, options and look arrives through
// HandleTabChange and turns into layout, animation, painting and events here.
class TCustomPageTabs : public TCustomControl, public IPageTabs, public IPageTabDockControl {
public:
    explicit TCustomPageTabs(TComponent* AOwner);
    ~TCustomPageTabs() override;

    TPageTabsList& Tabs() noexcept { return *FTabs; }
    void SetTabs(const TPageTabsList* Value) { FTabs->Assign(Value); }
    TOptions& Options() noexcept { return *FOptions; }
    // Assigning reports no change to the strip: the items' kept pictures go stale here.
    void SetOptions(const TOptions* Value) {
        FOptions->Assign(Value);
        ++FPictureGeneration;
    }
    TPageTabsLookAndFeel& LookAndFeel() noexcept { return *FLookAndFeel; }
    void SetLookAndFeel(const TPageTabsLookAndFeel* Value) {
        FLookAndFeel->Assign(Value);
        ++FPictureGeneration;
    }
    TAddButtonControl& AddButtonControl() noexcept { return *FAddButtonControl; }
    TScrollButtonLeftControl& ScrollButtonLeftControl() noexcept { return *FScrollButtonLeftControl; }
    TScrollButtonRightControl& ScrollButtonRightControl() noexcept { return *FScrollButtonRightControl; }
    TThreadTimer& AnimateTimer() noexcept { return *FAnimateTimer; }

    TPageTab* ActiveTab() { return FTabs->ActiveTab(); }
    // nullptr is ignored.
    void SetActiveTab(TPageTab* Value);
    int ActiveTabIndex() const;
    // -1 clears the active tab; indexes outside -1..Count-1 change nothing.
    void SetActiveTabIndex(int Value);

    TCustomImageList* Images() const noexcept { return FImages; }
    void SetImages(TCustomImageList* Value);
    TCustomImageList* ImagesOverlay() const noexcept { return FImagesOverlay; }
    void SetImagesOverlay(TCustomImageList* Value);
    TCustomImageList* ImagesSpinnerUpload() const noexcept { return FImagesSpinnerUpload; }
    void SetImagesSpinnerUpload(TCustomImageList* Value);
    TCustomImageList* ImagesSpinnerDownload() const noexcept { return FImagesSpinnerDownload; }
    void SetImagesSpinnerDownload(TCustomImageList* Value);

    void BeginUpdate();
    void EndUpdate();
    void InvalidateAllControls();
    void SetDefaultOptions();
    void SetDefaultLookAndFeel();
    // The caption, "<No Caption>" for an empty one, "" outside the list.
    String GetTabDescription(int Index) const;
    TPageTab* GetTabUnderMouse();
    TTabDisplayState GetTabDisplayState();

    // Options and look as component text. Loading sets each property read through its setter and ends
    // with one repaint; a failure raises, keeping the values read before it (none on a syntax error).
    // Saving to a file replaces it only once the whole text is written.
    virtual void SaveLookAndFeel(TStream& Stream);
    virtual void SaveLookAndFeel(const String& Filename);
    virtual void LoadLookAndFeel(TStream& Stream);
    virtual void LoadLookAndFeel(const String& Filename);
    virtual void SaveOptions(TStream& Stream);
    virtual void SaveOptions(const String& Filename);
    virtual void LoadOptions(TStream& Stream);
    virtual void LoadOptions(const String& Filename);
    // One "PageTabs1.<path> := <value>;" line per property written.
    String OptionsToCode();
    String LookAndFeelToCode();

    TPageTabStates State() const noexcept { return FState; }
    virtual bool IncludeState(TPageTabState State);
    virtual bool ExcludeState(TPageTabState State);
    virtual bool HasState(TPageTabState State) const;
    virtual TPageTabControl* GetTabControl(int Index);
    virtual THitTestResult HitTest(TPoint pt, bool IgnoreDisabledControls);
    virtual void ScrollIntoView(TPageTab* Tab);
    // Whether a drag may be over (X, Y): anywhere for a drag from another strip, only inside the tab
    // container for a drag of this strip.
    virtual bool IsInsideDragArea(int X, int Y);

    // Drags the tab at the client point; with none there, or refused, it ends at once as cancelled.
    void BeginDrag(int MouseX, int MouseY);
    // Drops the running drag where it is over, or cancels it. A cancelled drag leaves every tab in place.
    void EndDrag(int MouseX, int MouseY, bool Cancelled);
    // The drag this strip started; nullptr when none runs.
    IDragTabObject* DragTabObject() const noexcept { return FDragTabObject.get(); }

    // Layout, testable without painting.
    virtual void LayoutButtonsAndContainer();
    virtual void LayoutTabRects();
    // Both layouts; once more when the tabs' new total width shows or hides the scroll buttons, which
    // the buttons' layout could not know yet.
    void LayoutAll();
    const TRect& TabContainerRect() const noexcept { return FTabContainerRect; }
    int ScrollWidth() const noexcept { return FScrollWidth; }
    int AdjustedTabWidth() const noexcept { return FAdjustedTabWidth; }
    int TabEndSpace() const noexcept { return FTabEndSpace; }
    int MaxAddButtonRight() const noexcept { return FMaxAddButtonRight; }
    int ScrollOffset() const noexcept { return FScrollOffset; }
    void SetScrollOffset(int Value);
    int MaxScrollOffset();
    bool ScrollingActive() const;
    bool ScrollButtonsVisible() const;
    // One scroll step; only while the strip scrolls.
    void ScrollTabs(TScrollDirection Direction, bool StartTimer);
    void FitScrollOffsetToWidth(bool Force);
    void Resize() override;

    int LastPinnedIndex() const;
    int VisiblePinnedTabCount(bool IncludeMarked) const;
    int VisibleUnpinnedTabCount(bool IncludeMarked) const;
    int VisibleTabCount(bool IncludeMarked) const;
    int VisibleTabIndexAtOrBefore(int Index) const;

    // IPageTabs
    int GetLastPinnedIndex() override { return LastPinnedIndex(); }
    TPageTab* GetActiveTab() override { return FTabs->ActiveTab(); }
    page_tab_polygons GetPreviousTabPolygons(int Index) override;
    void DoOnBeforeDrawItem(TGPGraphics& TargetCanvas, const TRect& ItemRect, TPageTabItemType ItemType,
                            int TabIndex, bool& Handled) override;
    void DoOnAfterDrawItem(TGPGraphics& TargetCanvas, const TRect& ItemRect, TPageTabItemType ItemType,
                           int TabIndex) override;
    void DoOnGetControlPolygons(TBasePageTabsControl* PageTabsControl, const TRect& ItemRect,
                                TPageTabItemType ItemType, TTabOrientation Orientation,
                                page_tab_polygons& Polygons) override;
    void DoOnDebugLog(StringView Text, std::initializer_list<format_arg> Args) override;
    void DoOnActiveTabChanging(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow) override;
    void HandleTabChange(TPageTab* ATab, TTabChangeType TabChangeType) override;
    TRect OffsetByScroll(const TRect& Rect) override;
    TRect OffsetByBidiScroll(const TRect& Rect) override;
    TRect MirrorRect(const TRect& Rect) override;
    TBiDiMode CurrentBiDiMode() override { return BiDiMode(); }
    void Invalidate() override;
    TComponentState ComponentStateOf() const override { return ComponentState(); }
    bool HasActiveDragObject() const override { return FActiveDragTabObject != nullptr; }
    TPageTabsLookAndFeel* GetLookAndFeel() override { return FLookAndFeel.get(); }
    TOptions* GetOptions() override { return FOptions.get(); }
    TCustomImageList* GetImages() override { return FImages; }
    TCustomImageList* GetImagesOverlay() override { return FImagesOverlay; }
    TCustomImageList* GetImagesSpinnerDownload() override { return FImagesSpinnerDownload; }
    TCustomImageList* GetImagesSpinnerUpload() override { return FImagesSpinnerUpload; }

    // IPageTabDockControl
    TCustomPageTabs* TabStripControl() override { return this; }
    void DockDragOver(TObject* Sender, int X, int Y, TDragState State, const drag_tab_object& DragTabObject,
                      bool& Accept) override;
    void DockDragDrop(TObject* Sender, int X, int Y, const drag_tab_object& DragTabObject, bool Cancelled,
                      TTabDropOptions& TabDropOptions) override;
    TPageTab* InsertDroppedTab() override;
    void FireScrollTimer() override;
    void DockDragEnd(int MouseX, int MouseY, bool Cancelled) override;

    void Loaded() override;
    void Notification(TComponent* AComponent, TOperation Operation) override;

    TOnActiveTabChanging OnActiveTabChanging;
    TOnChange OnChange;
    TOnActiveTabChanged OnActiveTabChanged;
    TOnDebugLog OnDebugLog;
    TOnButtonAddClick OnButtonAddClick;
    TOnButtonCloseTabClick OnButtonCloseTabClick;
    TOnStateChange OnStateChange;
    TOnBeforeDrawItem OnBeforeDrawItem;
    TOnAfterDrawItem OnAfterDrawItem;
    TOnGetControlPolygons OnGetControlPolygons;
    TOnShowHint OnShowHint;
    TOnTabDblClick OnTabDblClick;
    TOnTabDragStart OnTabDragStart;
    TOnTabDragOver OnTabDragOver;
    TOnTabDragDrop OnTabDragDrop;
    TOnTabDragDropped OnTabDragDropped;
    TOnTabDragEnd OnTabDragEnd;
    TOnNeedDragImageControl OnNeedDragImageControl;
    TOnCreateDragForm OnCreateDragForm;
    TNotifyEvent OnAfterDragImageCreated;
    TNotifyEvent OnScroll;
    TNotifyEvent OnScrollWidthChanged;
    TOnAnimateStyle OnAnimateStyle;
    TOnAnimateMovement OnAnimateMovement;
    TOnSetTabWidth OnSetTabWidth;
    TOnTabPopupMenu OnTabPopupMenu;

    // The built-in menu last built; nullptr before the first.
    TPopupMenu* TabPopupMenu() const noexcept { return FTabPopupMenu.get(); }
    // Builds the built-in menu for the last mouse-down afresh and pops it up at ScreenPoint.
    virtual void ShowTabPopupMenu(TObject* Sender, TPoint ScreenPoint);
    // What the built-in menu's item with Tag does.
    virtual void TabPopupMenuClick(int Tag);
    void BuildTabPopupMenu();

    // How many drawn items the last paint drew afresh; the others it put back from their kept pictures.
    int redrawn_items() const noexcept { return FRedrawnItems; }

protected:
    // Paints the whole strip into the back buffer and copies it to the canvas WM_PAINT attached. An item
    // whose pixels would come out as in an earlier paint is put back from its kept picture, unless a
    // handler may draw over items (keeps_item_pictures).
    virtual void DrawStrip();
    // False while a handler of the draw or polygon events is assigned: every item then draws every time,
    // raising its events. A descendant that overrides DoOnBeforeDrawItem, DoOnAfterDrawItem or
    // DoOnGetControlPolygons returns false here.
    virtual bool keeps_item_pictures() const;
    // Clips to where tabs are drawn.
    void ClipToTabArea(TGPGraphics& Canvas);
    // Where tabs are drawn, in client coordinates.
    TRect tab_area();
    virtual void DoOnActiveTabChanged(TPageTab* ATab);
    virtual void DoOnButtonCloseTabClick(TPageTab* ATab, bool& Close);
    // Adds a tab unless a handler set Handled.
    virtual void DoOnButtonAddClick();
    virtual void DoOnStateChange(TPageTabStates PreviousState, TPageTabStates CurrentState);
    virtual void DoOnMouseLeave();
    virtual void DoOnShowHint(const THitTestResult& HitTestResult, String& HintText, int& HintTimeout);
    virtual void DoOnTabDblClick(TPageTab* ATab);
    virtual void DoOnScroll();
    virtual void DoOnScrollWidthChanged();
    virtual void DoOnAnimateStyle(TBasePageTabsControl* Control, TDrawState NewDrawState,
                                  std::uint32_t& AnimationTimeMS, TPageTabsEaseType& EaseType);
    virtual void DoOnAnimateMovement(TBasePageTabsControl* Control, std::uint32_t& AnimationTimeMS,
                                     TPageTabsEaseType& EaseType);
    virtual void DoOnSetTabWidth(TPageTabControl* ATabControl, int& TabWidth);
    virtual void DoOnNeedDragImageControl(TPageTab* ATab, TWinControl*& DragControl);
    virtual void DoOnCreateDragForm(TPageTab* ATab, TCustomForm*& DragForm);
    virtual void DoOnBeginTabDrag(TPageTab* ATab, bool& Allow);
    virtual void DoOnTabDragStart(TPageTab* ATab, bool& Allow);
    virtual void DoOnTabDragOver(int X, int Y, TDragState State, IDragTabObject* DragTabObject, bool& Accept);
    virtual void DoOnTabDragDrop(int X, int Y, IDragTabObject* DragTabObject, bool Cancelled,
                                 TTabDropOptions& TabDropOptions);
    virtual void DoOnTabDragDropped(IDragTabObject* DragTabObject, TPageTab* NewTab);
    virtual void DoOnTabDragEnd(int MouseX, int MouseY, bool Cancelled);
    virtual void DoOnAfterDragImageCreated();
    virtual void DoOnTabPopupMenu(TPageTab* ATab, TPopupMenu* PopupMenu);
    // The image that follows the mouse outside every strip: a layered form owned by the strip, hidden;
    // nullptr when the drag shows only the cursor.
    virtual TCustomForm* CreateDragForm(TPageTab* ATab);
    // Places the drag image with the mouse at screen point (X, Y), building it when first shown.
    void MoveDragForm(int X, int Y, bool Visible);
    // One tick of the animation clock, on the GUI thread: advances every item's movement, style, glow and
    // spinner, removes closed tabs that have shrunk, and repaints when something changed.
    virtual void AdvanceAnimations();
    // Draw states from the mouse position.
    virtual void UpdateHoverDrawStates(bool Force);
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void WndProc(TMessage& Message) override;
    // Ends smart resizing: closed tabs' neighbours grow back.
    void SmartResizeTimerTick();
    void check_mouse_left();

    void CreateWnd() override;
    void PaintWindow(HDC DC) override;
    void Paint() override;
    void RequestRepaint();
    bool IsReadyForUpdates() const;
    void ClearDeletionStates();
    bool right_to_left() const noexcept;
    // Gives a drawn item a draw state, with the style animation of the options where one applies.
    void ApplyControlDrawState(TBasePageTabsControl& Control, TDrawState Value, bool Force);
    // Makes the named movement the one the next placements use.
    void SelectMovementAnimation(const TPageTabsMovementAnimationTypes& Animation);
    void PlaceControl(TBasePageTabsControl& Control, const TRect& Rect, bool Animate);
    // Moves Control's left edge to NewLeft, keeping its width, top and bottom.
    void PlaceControlAtLeft(TBasePageTabsControl& Control, int NewLeft, bool Animate);
    void PlaceTabRun(int& X, int TabWidth, int Remainder, bool Pinned);
    void ShiftTabsAfterClosedTab();
    void ComputeTabWidth(int& Width, int& Remainder);
    int ContentTabWidth(TPageTabControl& TabControl);

    // Drag and drop's part of the input, layout and painting.
    // The drag start check of a mouse move, with the hit test of the move.
    void CheckDragStart(int X, int Y, const THitTestResult& Hit);
    // A mouse move of the drag this strip runs: finds the strip under the mouse and moves the image.
    void DragMouseMove(int X, int Y);
    struct drag_gap {
        int Width = 0;     // of the dragged tab, overlap included
        bool Made = false; // the run has received the drag
    };
    // Places the dragged tab at the mouse when the drag over this strip belongs to this run; nullopt
    // when it does not.
    std::optional<drag_gap> PlaceDraggedTab(bool Pinned, int TabWidth);
    // The dragged tab of this strip takes no place among the others while the drag runs.
    bool LeftOutOfLayout(const TPageTab& Tab) const;
    // Before placing Tab at X: opens the gap in front of it when the dragged tab's middle lies before
    // Tab's right end.
    void OpenDragGap(drag_gap& Gap, int& X, const TPageTab& Tab, int Width);
    // After the run: the drop index behind it when no tab received the drag; the scroll width then
    // grows by LastWidth, the run's last tab's.
    void CloseDragGap(const drag_gap& Gap, int& X, bool Pinned, int LastWidth);
    // The active tab is drawn in place unless this strip's drag is elsewhere.
    bool DrawsActiveTabInPlace() const;
    bool DragHidesAddButton() const;
    // The dragged tab's drawn item while the drag is over this strip, drawn over all but the buttons.
    TPageTabControl* DragTabControl() const noexcept { return FDragTabControl; }
    // The begin-drag query: a descendant may refuse a drag before OnTabDragStart is asked.
    TOnTabDragStart FOnBeginTabDrag;

    TRect FClosedTabRect;
    THitTestResult FLastHitTestResult;
    THitTestResult FMouseDownHitTest;
    TMouseButton FMouseButton = TMouseButton::mbLeft;
    TPoint FMouseDownPoint;
    int FClosedTabIndex = -1;
    int FLastMouseX = -1, FLastMouseY = -1;
    TPageTabsEaseType FMovementEaseType = TPageTabsEaseType::ttNone;
    std::uint32_t FMovementAnimationTime = 0;
    // Glow and spinner frames do not advance before these ticks; 0: at the next tick.
    std::uint32_t FNextModifiedGlowAnimateTickCount = 0;
    std::uint32_t FNextSpinnerAnimateTickCount = 0;

private:
    std::unique_ptr<TPopupMenu> FTabPopupMenu;
    // The tab of the mouse-down and the tabs listed when the menu was built; nullptr once gone.
    TPageTab* FTabPopupMenuTab = nullptr;
    std::vector<TPageTab*> FTabPopupMenuTabs;
    void forget_menu_tab(const TPageTab* tab) noexcept;
    std::unique_ptr<TPageTabsLookAndFeel> FLookAndFeel;
    std::unique_ptr<TOptions> FOptions;
    std::unique_ptr<TPageTabsList> FTabs;
    std::unique_ptr<TAddButtonControl> FAddButtonControl;
    std::unique_ptr<TScrollButtonLeftControl> FScrollButtonLeftControl;
    std::unique_ptr<TScrollButtonRightControl> FScrollButtonRightControl;
    TCustomImageList* FImages = nullptr;
    TCustomImageList* FImagesOverlay = nullptr;
    TCustomImageList* FImagesSpinnerUpload = nullptr;
    TCustomImageList* FImagesSpinnerDownload = nullptr;
    TThreadTimer* FAnimateTimer = nullptr;            // owned as a component
    TTimer* FScrollTimer = nullptr;                   // owned as a component
    TTimer* FCancelTabSmartResizeTimer = nullptr;     // owned as a component
    int FUpdateCount = 0;
    int FPausedUpdateCount = 0;
    TPageTabStates FState;
    int FAdjustedTabWidth = 0;
    int FScrollWidth = 0;
    int FPreviousScrollWidth = 0;
    bool FInvalidatingControls = false;
    int FTabEndSpace = 0;
    int FScrollOffset = -1;
    TRect FTabContainerRect;
    TScrollDirection FScrollDirection = TScrollDirection::mdsNone;
    int FLastClientWidth = 0;
    int FMaxAddButtonRight = 0;
    bool FControlConstructed = false;
    std::unique_ptr<TBitmap> FCanvasBmp;
    std::unique_ptr<TBitmap> FBackgroundBmp;
    // Part of every kept picture's key: moves on when options or look change without the items being
    // invalidated.
    std::uint32_t FPictureGeneration = 0;
    int FRedrawnItems = 0;
    bool FCreatingWindow = false;
    drag_tab_object FDragTabObject;       // only in the strip the drag started in
    drag_tab_object FActiveDragTabObject; // in the strip the drag is over
    // The dragged tab's drawn item on the strip it is over: the source's own, or the stand-in below.
    TPageTabControl* FDragTabControl = nullptr;
    std::unique_ptr<TPageTabControl> FDragTabStandIn;
    bool FDragCancelled = false;
    // Where the drag over this strip last was, in client coordinates.
    TPoint FDragOverPoint;
};

// The strip as forms place it.
class TPageTabs : public TCustomPageTabs {
public:
    using TCustomPageTabs::TCustomPageTabs;
    const property_table& PublishedProperties() const override;
};

} // namespace kq
