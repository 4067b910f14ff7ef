#pragma once
// Finding the tab strip under a screen point while a tab is dragged. The strip's own drag and drop
// (starting, moving, the gap, dropping, the drag image) is defined in PageTabsDragDrop.cpp as members
// of TCustomPageTabs.

#include "framework/Geometry.h"
#include "framework/Threads.h"

#include <vector>

namespace kq {

class TCustomPageTabs;

// One probe, on its own thread: starts at once and ends by itself. The thread only asks which window
// lies under each probed point; which of them is a strip is decided on the GUI thread after the join.
class TWindowFromPointFixThread {
public:
    // Probes the corners of squares of half-size Range, Range - Step, ... down to 0 around Pt, then Pt
    // itself when the count reaches 0 exactly.
    TWindowFromPointFixThread(TPoint Pt, int Range, int Step);
    // Waits for the probe; the first strip of this application met, nullptr when none.
    TCustomPageTabs* WaitForPageTabs();

private:
    void Execute();

    TPoint FPoint;
    int FRange;
    int FStep;
    std::vector<HWND> FWindows; // under each probed point, in probe order; written only by the thread
    TCustomPageTabs* FPageTabs = nullptr;
    TThread FThread; // last: it starts once the fields above are set
};

// The strip within Range pixels of Pt (screen coordinates); no thread is left once it returns.
TCustomPageTabs* FindTabStripAtPoint(TPoint Pt, int Range, int Step);

} // namespace kq
