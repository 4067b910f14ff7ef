#pragma once
// A stand-in for the strip that records every change tabs and settings tell it of.
#include "framework/Components.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsControls.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsOptions.h"

#include <functional>
#include <ostream>
#include <set>
#include <vector>

namespace kq::test {

struct change {
    TPageTab* tab;
    TTabChangeType type;
    bool operator==(const change&) const = default;
};

std::ostream& operator<<(std::ostream& out, const change& c);

// The strip's interface as tabs and settings see it, recording every change it is told of.
class recording_strip : public TComponent, public IPageTabs {
public:
    recording_strip();

    TPageTabsList& Tabs() noexcept { return FTabs; }
    TOptions& Options() noexcept { return FOptions; }
    TPageTabsLookAndFeel& LookAndFeel() noexcept { return FLookAndFeel; }
    // Adds Count tabs captioned "0", "1", ... and forgets the changes that adding reported.
    void add_tabs(int Count);
    // With the application's options and look, adds one tab with its drawn item; the tab's item.
    TPageTabControl* add_drawn_tab();
    void clear_changes() noexcept { changes.clear(); }

    std::vector<change> changes;
    // Draw events as raised (before or after), and the item types a handler claims to have drawn.
    struct draw_event {
        bool before;
        TPageTabItemType type;
        int tab_index;
        TRect rect;
        bool operator==(const draw_event&) const = default;
    };
    std::vector<draw_event> draws;
    std::set<TPageTabItemType> handled_items;
    bool drag_active = false;
    std::function<void(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow)> OnActiveTabChanging;
    std::function<void(TBasePageTabsControl* Control, TPageTabItemType ItemType, page_tab_polygons& Polygons)>
        OnGetControlPolygons;
    TComponentState state;
    // The strip's client width (what right-to-left mirrors within), scroll offset and reading order.
    int client_width = 300;
    int scroll_offset = 0;
    TBiDiMode bidi_mode = TBiDiMode::bdLeftToRight;
    TCustomImageList* images = nullptr;
    TCustomImageList* images_overlay = nullptr;
    TCustomImageList* images_spinner_download = nullptr;
    TCustomImageList* images_spinner_upload = nullptr;

    int GetLastPinnedIndex() override;
    TPageTab* GetActiveTab() override { return FTabs.ActiveTab(); }
    page_tab_polygons GetPreviousTabPolygons(int) override { return nullptr; }
    void DoOnBeforeDrawItem(TGPGraphics&, const TRect& ItemRect, TPageTabItemType ItemType, int TabIndex,
                            bool& Handled) override {
        draws.push_back({true, ItemType, TabIndex, ItemRect});
        Handled = handled_items.contains(ItemType);
    }
    void DoOnAfterDrawItem(TGPGraphics&, const TRect& ItemRect, TPageTabItemType ItemType, int TabIndex) override {
        draws.push_back({false, ItemType, TabIndex, ItemRect});
    }
    void DoOnGetControlPolygons(TBasePageTabsControl* PageTabsControl, const TRect& ItemRect,
                                TPageTabItemType ItemType, TTabOrientation Orientation,
                                page_tab_polygons& Polygons) override;
    void DoOnDebugLog(StringView, std::initializer_list<format_arg>) override {}
    void DoOnActiveTabChanging(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow) override;
    void HandleTabChange(TPageTab* ATab, TTabChangeType TabChangeType) override;
    TRect OffsetByScroll(const TRect& Rect) override;
    TRect OffsetByBidiScroll(const TRect& Rect) override;
    TRect MirrorRect(const TRect& Rect) override;
    TBiDiMode CurrentBiDiMode() override { return bidi_mode; }
    void Invalidate() override {}
    TComponentState ComponentStateOf() const override { return state; }
    bool HasActiveDragObject() const override { return drag_active; }
    TPageTabsLookAndFeel* GetLookAndFeel() override { return &FLookAndFeel; }
    TOptions* GetOptions() override { return &FOptions; }
    TCustomImageList* GetImages() override { return images; }
    TCustomImageList* GetImagesOverlay() override { return images_overlay; }
    TCustomImageList* GetImagesSpinnerDownload() override { return images_spinner_download; }
    TCustomImageList* GetImagesSpinnerUpload() override { return images_spinner_upload; }

private:
    TOptions FOptions;
    TPageTabsLookAndFeel FLookAndFeel;
    TPageTabsList FTabs;
};

} // namespace kq::test
