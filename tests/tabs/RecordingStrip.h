#pragma once

#include "framework/Components.h"
#include "tabs/PageTabsClasses.h"
#include "tabs/PageTabsOptions.h"

#include <functional>
#include <ostream>
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
    // Adds Count tabs captioned "0", "1", ... and forgets the changes that adding reported.
    void add_tabs(int Count);
    void clear_changes() noexcept { changes.clear(); }

    std::vector<change> changes;
    std::function<void(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow)> OnActiveTabChanging;
    TComponentState state;

    int GetLastPinnedIndex() override;
    TPageTab* GetActiveTab() override { return FTabs.ActiveTab(); }
    void DoOnActiveTabChanging(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow) override;
    void HandleTabChange(TPageTab* ATab, TTabChangeType TabChangeType) override;
    void Invalidate() override {}
    TComponentState ComponentStateOf() const override { return state; }
    bool HasActiveDragObject() const override { return false; }
    TPageTabsLookAndFeel* GetLookAndFeel() override { return nullptr; }
    TOptions* GetOptions() override { return &FOptions; }
    TCustomImageList* GetImages() override { return nullptr; }
    TCustomImageList* GetImagesOverlay() override { return nullptr; }
    TCustomImageList* GetImagesSpinnerDownload() override { return nullptr; }
    TCustomImageList* GetImagesSpinnerUpload() override { return nullptr; }

private:
    TOptions FOptions;
    TPageTabsList FTabs;
};

} // namespace kq::test
