#include "tests/tabs/RecordingStrip.h"

#include "framework/Conversions.h"

#include <memory>

namespace kq::test {

std::ostream& operator<<(std::ostream& out, const change& c) {
    static const char* const names[] = {"tcAdded",      "tcMoved",     "tcDeleting",    "tcDeleted",
                                        "tcPropertyUpdated", "tcActivated", "tcDeactivated", "tcPinned",
                                        "tcControlState", "tcVisibility"};
    out << '{';
    if (c.tab)
        out << '"' << string_to_utf8(c.tab->Caption()) << '"';
    else
        out << "nil";
    return out << ", " << names[static_cast<int>(c.type)] << '}';
}

// Building the look reports its defaults; a test starts with nothing recorded.
recording_strip::recording_strip() : TComponent(nullptr), FOptions(this), FLookAndFeel(this), FTabs(this) {
    clear_changes();
}

void recording_strip::add_tabs(int Count) {
    const int first = FTabs.Count();
    for (int i = 0; i < Count; ++i) FTabs.Add()->SetCaption(IntToStr(first + i));
    clear_changes();
}

TPageTabControl* recording_strip::add_drawn_tab() {
    apply_strip_defaults(FOptions);
    apply_strip_defaults(FLookAndFeel);
    add_tabs(1);
    TPageTab* tab = FTabs.Items(FTabs.Count() - 1);
    tab->SetTabControl(std::make_unique<TPageTabControl>(this, tab));
    return tab->TabControl();
}

int recording_strip::GetLastPinnedIndex() {
    int last = -1;
    while (last + 1 < FTabs.Count() && FTabs.Items(last + 1)->Pinned()) ++last;
    return last;
}

void recording_strip::DoOnActiveTabChanging(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow) {
    if (OnActiveTabChanging) OnActiveTabChanging(AOldTab, ANewTab, Allow);
}

void recording_strip::DoOnGetControlPolygons(TBasePageTabsControl* PageTabsControl, const TRect&,
                                             TPageTabItemType ItemType, TTabOrientation, page_tab_polygons& Polygons) {
    if (OnGetControlPolygons) OnGetControlPolygons(PageTabsControl, ItemType, Polygons);
}

TRect recording_strip::OffsetByScroll(const TRect& Rect) {
    return {Rect.Left - scroll_offset, Rect.Top, Rect.Right - scroll_offset, Rect.Bottom};
}

TRect recording_strip::OffsetByBidiScroll(const TRect& Rect) {
    const bool mirrored = bidi_mode == TBiDiMode::bdRightToLeft || bidi_mode == TBiDiMode::bdRightToLeftNoAlign;
    const int offset = mirrored ? -scroll_offset : scroll_offset;
    return {Rect.Left - offset, Rect.Top, Rect.Right - offset, Rect.Bottom};
}

TRect recording_strip::MirrorRect(const TRect& Rect) {
    const bool mirrored = bidi_mode == TBiDiMode::bdRightToLeft || bidi_mode == TBiDiMode::bdRightToLeftNoAlign;
    if (!mirrored) return Rect;
    return {client_width - Rect.Right, Rect.Top, client_width - Rect.Left, Rect.Bottom};
}

void recording_strip::HandleTabChange(TPageTab* ATab, TTabChangeType TabChangeType) {
    changes.push_back({ATab, TabChangeType});
}

} // namespace kq::test
