#include "tests/tabs/RecordingStrip.h"

#include "framework/Conversions.h"

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

recording_strip::recording_strip() : TComponent(nullptr), FOptions(this), FTabs(this) {}

void recording_strip::add_tabs(int Count) {
    const int first = FTabs.Count();
    for (int i = 0; i < Count; ++i) FTabs.Add()->SetCaption(IntToStr(first + i));
    clear_changes();
}

int recording_strip::GetLastPinnedIndex() {
    int last = -1;
    while (last + 1 < FTabs.Count() && FTabs.Items(last + 1)->Pinned()) ++last;
    return last;
}

void recording_strip::DoOnActiveTabChanging(TPageTab* AOldTab, TPageTab* ANewTab, bool& Allow) {
    if (OnActiveTabChanging) OnActiveTabChanging(AOldTab, ANewTab, Allow);
}

void recording_strip::HandleTabChange(TPageTab* ATab, TTabChangeType TabChangeType) {
    changes.push_back({ATab, TabChangeType});
}

} // namespace kq::test
