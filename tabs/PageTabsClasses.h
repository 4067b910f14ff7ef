#pragma once
// TPageTab, TPageTabs collections and the tabs' model.
#include "framework/Components.h"
#include "framework/Controls.h"
#include "framework/Conversions.h"
#include "framework/Geometry.h"
#include "framework/Strings.h"
#include "tabs/PageTabsPolygons.h"
#include "tabs/PageTabsTypes.h"

#include <initializer_list>
#include <memory>

namespace kq {

class TBasePageTabsControl;
class TCustomImageList;
class TCustomPageTabs;
class TGPGraphics;
class TOptions;
class TPageTab;
class TPageTabControl;
class TPageTabsLookAndFeel;

// How a tab's drawn item reads its tab. Not counted: a tab lives as long as its collection holds it.
class IPageTab {
public:
    virtual const String& Caption() const = 0;
    virtual int ImageIndex() const = 0;
    virtual int ImageIndexOverlay() const = 0;
    virtual bool Active() const = 0;
    virtual bool Pinned() const = 0;
    virtual int GetIndex() const = 0;
    virtual bool Modified() const = 0;
    virtual TPageTab* GetPageTab() = 0;
    virtual bool MarkedForDeletion() const = 0;
    virtual TPageTabSpinnerState SpinnerState() const = 0;
    virtual bool HideCloseButton() const = 0;
    virtual void* Data() const = 0;
    virtual void SetData(void* Value) = 0;

protected:
    ~IPageTab() = default;
};

// The strip as tabs, the tab list, settings objects and drawn items see it. Every change reaches the
// strip through HandleTabChange.
class IPageTabs {
public:
    // Index of the last tab of the leading run of pinned tabs; -1 when the first tab is not pinned.
    virtual int GetLastPinnedIndex() = 0;
    virtual TPageTab* GetActiveTab() = 0;
    // Polygons of the nearest visible tab before Index; nullptr when there is none.
    virtual page_tab_polygons GetPreviousTabPolygons(int Index) = 0;
    // Handled true skips the default drawing.
    virtual void DoOnBeforeDrawItem(TGPGraphics& TargetCanvas, const TRect& ItemRect, TPageTabItemType ItemType,
                                    int TabIndex, bool& Handled) = 0;
    virtual void DoOnAfterDrawItem(TGPGraphics& TargetCanvas, const TRect& ItemRect, TPageTabItemType ItemType,
                                   int TabIndex) = 0;
    // A handler may supply the item's polygons.
    virtual void DoOnGetControlPolygons(TBasePageTabsControl* PageTabsControl, const TRect& ItemRect,
                                        TPageTabItemType ItemType, TTabOrientation Orientation,
                                        page_tab_polygons& Polygons) = 0;
    // Only in debug mode.
    virtual void DoOnDebugLog(StringView Text, std::initializer_list<format_arg> Args) = 0;
    // Allow false vetoes the activation of ANewTab.
    virtual void DoOnActiveTabChanging(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow) = 0;
    // ATab is nullptr for changes of the list or of the settings as a whole.
    virtual void HandleTabChange(TPageTab* ATab, TTabChangeType TabChangeType) = 0;
    // Left and right moved by the scroll offset.
    virtual TRect OffsetByScroll(const TRect& Rect) = 0;
    // Left and right moved by the scroll offset as mirrored for right-to-left.
    virtual TRect OffsetByBidiScroll(const TRect& Rect) = 0;
    // Mirrored within the strip when it reads right to left; else unchanged.
    virtual TRect MirrorRect(const TRect& Rect) = 0;
    virtual TBiDiMode CurrentBiDiMode() = 0;
    virtual void Invalidate() = 0;
    virtual TComponentState ComponentStateOf() const = 0;
    virtual bool HasActiveDragObject() const = 0;
    virtual TPageTabsLookAndFeel* GetLookAndFeel() = 0;
    virtual TOptions* GetOptions() = 0;
    virtual TCustomImageList* GetImages() = 0;
    virtual TCustomImageList* GetImagesOverlay() = 0;
    virtual TCustomImageList* GetImagesSpinnerDownload() = 0;
    virtual TCustomImageList* GetImagesSpinnerUpload() = 0;

protected:
    ~IPageTabs() = default;
};

// The drag state, shared by the strip the drag started in and the strip under the cursor; it goes when
// the last of them lets it go.
using drag_tab_object = std::shared_ptr<IDragTabObject>;

// How strips talk to each other during a tab drag. X and Y are client coordinates of the strip called.
class IPageTabDockControl {
public:
    virtual TCustomPageTabs* TabStripControl() = 0;
    // Accept false refuses the drag here; a leave is handled even then.
    virtual void DockDragOver(TObject* Sender, int X, int Y, TDragState State, const drag_tab_object& DragTabObject,
                              bool& Accept) = 0;
    // A handler may change what the drop does.
    virtual void DockDragDrop(TObject* Sender, int X, int Y, const drag_tab_object& DragTabObject, bool Cancelled,
                              TTabDropOptions& TabDropOptions) = 0;
    // A copy of the dragged tab at the drop index; nullptr without a drag over this strip.
    virtual TPageTab* InsertDroppedTab() = 0;
    // One step of a drag scroll that is running.
    virtual void FireScrollTimer() = 0;
    virtual void DockDragEnd(int MouseX, int MouseY, bool Cancelled) = 0;
    virtual TBiDiMode CurrentBiDiMode() = 0;

protected:
    ~IPageTabDockControl() = default;
};

// --- Tab

class TPageTab : public TCollectionItem, public IPageTab {
public:
    TPageTab();
    ~TPageTab() override;

    const String& Caption() const override { return FCaption; }
    void SetCaption(const String& Value);
    bool Active() const override { return FActive; }
    // Activation asks the strip first and may be vetoed; it deactivates every other tab.
    void SetActive(bool Value);
    int Tag() const noexcept { return FTag; }
    void SetTag(int Value) noexcept { FTag = Value; }
    int ImageIndex() const override { return FImageIndex; }
    void SetImageIndex(int Value);
    int ImageIndexOverlay() const override { return FImageIndexOverlay; }
    void SetImageIndexOverlay(int Value);
    bool Pinned() const override { return FPinned; }
    // Moves the tab to the end of the pinned run (or just behind it) and activates it.
    void SetPinned(bool Value);
    bool Visible() const noexcept { return FVisible; }
    // Reported even when unchanged; hiding the active tab deactivates it first.
    void SetVisible(bool Value);
    bool Modified() const override { return FModified; }
    void SetModified(bool Value);
    TPageTabSpinnerState SpinnerState() const override { return FSpinnerState; }
    void SetSpinnerState(TPageTabSpinnerState Value);
    bool HideCloseButton() const override { return FHideCloseButton; }
    void SetHideCloseButton(bool Value);

    // Free for the user; never dereferenced.
    void* Data() const override { return FData; }
    void SetData(void* Value) override { FData = Value; }
    // Empty for a pinned tab.
    String DisplayCaption() const;
    bool MarkedForDeletion() const override { return FMarkedForDeletion; }
    bool ImageIsVisible() const noexcept { return FImageIndex != -1 || FImageIndexOverlay != -1; }

    // The tab's drawn item, made by the strip; the tab owns it.
    TPageTabControl* TabControl() const noexcept { return FTabControl.get(); }
    void SetTabControl(std::unique_ptr<TPageTabControl> Value);

    int GetIndex() const override { return Index(); }
    TPageTab* GetPageTab() override { return this; }

    // The strip that holds the tab's collection; nullptr outside a strip.
    IPageTabs* GetPageTabInterface() const;

    void SetCollection(TCollection* Value) override;
    const property_table& PublishedProperties() const override;

private:
    friend class TPageTabsList;
    void notify(TTabChangeType change);
    // Stores a changed value and reports tcPropertyUpdated; an equal value changes nothing.
    template <class T>
    void update(T& field, const T& value);

    String FCaption;
    void* FData = nullptr;
    int FImageIndex = -1;
    int FImageIndexOverlay = -1;
    int FTag = 0;
    bool FPinned = false;
    bool FActive = false;
    bool FVisible = true;
    bool FModified = false;
    bool FMarkedForDeletion = false;
    TPageTabSpinnerState FSpinnerState = TPageTabSpinnerState::tssNone;
    bool FHideCloseButton = false;
    std::unique_ptr<TPageTabControl> FTabControl;
};

// --- Tab list

// The strip's ordered, owned tabs. The owner must implement IPageTabs.
class TPageTabsList : public TCollection {
public:
    explicit TPageTabsList(TPersistent* AOwner);

    TPageTab* Items(int Index) const { return static_cast<TPageTab*>(TCollection::Items(Index)); }
    virtual TPageTab* Add();
    // The first active tab, nullptr when none.
    TPageTab* ActiveTab() const;
    // Activates Value when it is one of this list's tabs; anything else does nothing.
    void SetActiveTab(TPageTab* Value);
    int IndexOf(const TPageTab* ATab) const noexcept;
    void Move(int OldIndex, int NewIndex);
    // Without DeleteNow and with the delete animation on, the tab is only marked and stays until
    // the strip deletes it again. An active tab hands over to its nearest visible neighbour.
    void DeleteTab(int Index, bool DeleteNow);

    void SetItem(int Index, const TCollectionItem* Value) override;
    void Assign(const TPersistent* Source) override;

    // Fails an assertion when the owner is not a strip.
    virtual IPageTabs* GetPageTabInterface() const;

protected:
    void Notify(TCollectionItem* Item, TCollectionNotification Action) override;
};

// --- Settings wrappers

// Carry a settings tree through component text, which holds the published properties of a component.
// The tree is borrowed: it must be set before the wrapper is written or read, and outlive that use.
class TTabsOptions : public TComponent {
public:
    explicit TTabsOptions(TComponent* AOwner) : TComponent(AOwner) {}

    TPersistent* Options() const noexcept { return FOptions; }
    void SetOptions(TPersistent* Value) noexcept { FOptions = Value; }

    const property_table& PublishedProperties() const override;

private:
    TPersistent* FOptions = nullptr;
};

class TTabsLookAndFeel : public TComponent {
public:
    explicit TTabsLookAndFeel(TComponent* AOwner) : TComponent(AOwner) {}

    TPersistent* LookAndFeel() const noexcept { return FLookAndFeel; }
    void SetLookAndFeel(TPersistent* Value) noexcept { FLookAndFeel = Value; }

    const property_table& PublishedProperties() const override;

private:
    TPersistent* FLookAndFeel = nullptr;
};

} // namespace kq
