#pragma once
// Window regions: the owner of a region handle, and giving a window its region.

#include "framework/Win32Handles.h"

namespace kq {

// Gives window the region (nullptr: none, the whole window shows). The system owns a region it accepted
// and frees it itself; one it refused is freed here. False when refused (GetLastError says why).
// Never call it with redraw from inside WM_NCPAINT: the system then loses the client inset that
// WM_NCCALCSIZE gave, and the client area becomes the whole window.
bool set_window_region(HWND window, unique_hrgn region, bool redraw);

} // namespace kq
