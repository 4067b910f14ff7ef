#include "framework/Regions.h"

namespace kq {

bool set_window_region(HWND window, unique_hrgn region, bool redraw) {
    if (!::SetWindowRgn(window, region.get(), redraw ? TRUE : FALSE)) return false;
    region.release(); // the window's now
    return true;
}

} // namespace kq
