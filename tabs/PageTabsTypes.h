#pragma once
// The changes a tab, the tab list or a settings object reports.
#include "framework/Sets.h"
#include "framework/Strings.h"

#include <cstdint>
#include <vector>

namespace kq {

// Every change a tab, the tab list or a settings object reports to the strip.
enum class TTabChangeType : std::uint8_t {
    tcAdded,
    tcMoved,
    tcDeleting,
    tcDeleted,
    tcPropertyUpdated,
    tcActivated,
    tcDeactivated,
    tcPinned,
    tcControlState,
    tcVisibility,
};

// Where a dragged tab is relative to the strip told about it.
enum class TDragState : std::uint8_t { dsDragEnter, dsDragLeave, dsDragMove };

// What a drop does with the dragged tab.
enum class TTabDropOption : std::uint8_t { tdDeleteDraggedTab, tdCreateDroppedTab, tdMoveTab };
using TTabDropOptions = enum_set<TTabDropOption>;

// What a tab shows in place of its image while something loads.
enum class TPageTabSpinnerState : std::uint8_t {
    tssNone,
    tssRenderedUpload,
    tssRenderedDownload,
    tssImageUpload,
    tssImageDownload,
};

// Easing of every animation of the strip.
enum class TPageTabsEaseType : std::uint8_t {
    ttNone,
    ttLinearTween,
    ttEaseInQuad,
    ttEaseOutQuad,
    ttEaseInOutQuad,
    ttEaseInCubic,
    ttEaseOutCubic,
    ttEaseInOutCubic,
    ttEaseInQuart,
    ttEaseOutQuart,
    ttEaseInOutQuart,
    ttEaseInQuint,
    ttEaseOutQuint,
    ttEaseInOutQuint,
    ttEaseInSine,
    ttEaseOutSine,
    ttEaseInOutSine,
    ttEaseInExpo,
    ttEaseOutExpo,
    ttEaseInOutExpo,
    ttEaseInCirc,
    ttEaseOutCirc,
    ttEaseInOutCirc,
};

// Tabs open downwards (toTop) or upwards.
enum class TTabOrientation : std::uint8_t { toTop, toBottom };

// State of a drawn item.
enum class TDrawState : std::uint8_t { dsUnknown, dsActive, dsNotActive, dsDown, dsHot, dsDisabled };

// What is being drawn; passed to the draw and polygon events.
enum class TPageTabItemType : std::uint8_t {
    itTabContainer,
    itBackground,
    itTab,
    itTabOutline,
    itTabText,
    itTabCloseButton,
    itTabImage,
    itTabImageOverlay,
    itTabImageSpinner,
    itTabMouseGlow,
    itTabModifiedGlow,
    itAddButton,
    itAddButtonPlus,
    itScrollLeftButton,
    itScrollRightButton,
};

enum class THitTestArea : std::uint8_t {
    htNowhere,
    htBackground,
    htTab,
    htAddButton,
    htCloseButton,
    htScrollButtonLeft,
    htScrollButtonRight,
};

// Member names by ordinal, for the property tables.
const std::vector<String>& ease_type_names();
const std::vector<String>& tab_orientation_names();

} // namespace kq
