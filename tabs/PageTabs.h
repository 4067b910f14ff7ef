#pragma once

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
#include <vector>

namespace kq {

enum class TTabDisplayState : std::uint8_t { tdNormal, tdCompressed, tdScrolling };
enum class TScrollDirection : std::uint8_t { mdsNone, mdsLeft, mdsRight };
enum class TTabDropOption : std::uint8_t { tdDeleteDraggedTab, tdCreateDroppedTab, tdMoveTab };
using TTabDropOptions = enum_set<TTabDropOption>;

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
using TOnAnimateStyle = std::function<void(TObject* Sender, TBasePageTabsControl* PageTabsControl,
                                           TDrawState NewDrawState, std::uint32_t& AnimationTimeMS,
                                           TPageTabsEaseType& EaseType)>;
using TOnAnimateMovement = std::function<void(TObject* Sender, TBasePageTabsControl* PageTabsControl,
                                              std::uint32_t& AnimationTimeMS, TPageTabsEaseType& EaseType)>;
using TOnSetTabWidth = std::function<void(TObject* Sender, TPageTabControl* ATabControl, int& TabWidth)>;

// The owner-drawn, animated tab bar. Every change of its tabs, options and look arrives through
// HandleTabChange and turns into layout, animation, painting and events here.
class TCustomPageTabs : public TCustomControl, public IPageTabs {
public:
    explicit TCustomPageTabs(TComponent* AOwner);
    ~TCustomPageTabs() override;

    TPageTabsList& Tabs() noexcept { return *FTabs; }
    void SetTabs(const TPageTabsList* Value) { FTabs->Assign(Value); }
    TOptions& Options() noexcept { return *FOptions; }
    void SetOptions(const TOptions* Value) { FOptions->Assign(Value); }
    TPageTabsLookAndFeel& LookAndFeel() noexcept { return *FLookAndFeel; }
    void SetLookAndFeel(const TPageTabsLookAndFeel* Value) { FLookAndFeel->Assign(Value); }
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
    TBiDiMode BiDiMode() const noexcept { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode Value);

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
    // The drag-start check, filled in by drag and drop; nothing starts a drag yet.
    virtual bool IsInsideDragArea(int X, int Y);

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
    TBiDiMode CurrentBiDiMode() override { return FBiDiMode; }
    void Invalidate() override;
    TComponentState ComponentStateOf() const override { return ComponentState(); }
    bool HasActiveDragObject() const override { return false; }
    TPageTabsLookAndFeel* GetLookAndFeel() override { return FLookAndFeel.get(); }
    TOptions* GetOptions() override { return FOptions.get(); }
    TCustomImageList* GetImages() override { return FImages; }
    TCustomImageList* GetImagesOverlay() override { return FImagesOverlay; }
    TCustomImageList* GetImagesSpinnerDownload() override { return FImagesSpinnerDownload; }
    TCustomImageList* GetImagesSpinnerUpload() override { return FImagesSpinnerUpload; }

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
    TNotifyEvent OnScroll;
    TNotifyEvent OnScrollWidthChanged;
    TOnAnimateStyle OnAnimateStyle;
    TOnAnimateMovement OnAnimateMovement;
    TOnSetTabWidth OnSetTabWidth;
    std::function<void(TObject* Sender, TPageTab* ATab, TPopupMenu* PopupMenu)> OnTabPopupMenu;

    // The built-in menu last built; nullptr before the first.
    TPopupMenu* TabPopupMenu() const noexcept { return FTabPopupMenu.get(); }
    // Builds the built-in menu for the last mouse-down afresh and pops it up at ScreenPoint.
    virtual void ShowTabPopupMenu(TObject* Sender, TPoint ScreenPoint);
    // What the built-in menu's item with Tag does.
    virtual void TabPopupMenuClick(int Tag);
    void BuildTabPopupMenu();

protected:
    // Paints the whole strip into the back buffer and copies it to the canvas WM_PAINT attached.
    virtual void DrawStrip();
    // Clips to where tabs are drawn.
    void ClipToTabArea(TGPGraphics& Canvas);
    virtual void DoOnActiveTabChanged(TPageTab* ATab);
    virtual void DoOnButtonCloseTabClick(TPageTab* ATab, bool& Close);
    // Adds a tab unless a handler set Handled.
    virtual void DoOnButtonAddClick();
    virtual void DoOnStateChange(TPageTabStates PreviousState, TPageTabStates CurrentState);
    virtual void DoOnScroll();
    virtual void DoOnScrollWidthChanged();
    virtual void DoOnAnimateMovement(TBasePageTabsControl* Control, std::uint32_t& AnimationTimeMS,
                                     TPageTabsEaseType& EaseType);
    virtual void DoOnSetTabWidth(TPageTabControl* ATabControl, int& TabWidth);
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
    void PlaceTabRun(int& X, int TabWidth, int Remainder, bool Pinned);
    void ShiftTabsAfterClosedTab();
    void ComputeTabWidth(int& Width, int& Remainder);
    int ContentTabWidth(TPageTabControl& TabControl);

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
    bool FCreatingWindow = false;
    TBiDiMode FBiDiMode = TBiDiMode::bdLeftToRight;
};

// The strip as forms place it.
class TPageTabs : public TCustomPageTabs {
public:
    using TCustomPageTabs::TCustomPageTabs;
    const property_table& PublishedProperties() const override;
};

} // namespace kq
