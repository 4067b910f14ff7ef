#pragma once
// The skin library's own window messages and the identifiers of the window timers it sets.

#include <cstdint>

namespace kq {

// Sent or posted by the skin to its forms' and controls' windows. The first block keeps the numbers the
// skin has always used, in the private WM_USER range of the windows it owns (WM_USER + 2002 is unused).
constexpr unsigned WM_VK_REFRESHCONTROL = 0x0400 + 2001;
constexpr unsigned WM_VK_UPDATENC = 0x0400 + 2003;
constexpr unsigned WM_VK_REFRESHSKIN = 0x0400 + 2004;
constexpr unsigned WM_VK_APPLYSKINRES = 0x0400 + 2005;
constexpr unsigned WM_VK_ADDNCCONTROL = 0x0400 + 2006;
constexpr unsigned WM_VK_REMOVENCCONTROL = 0x0400 + 2007;

// The menu hand-over messages are performed on whichever form is active, so they need numbers no window
// uses for anything else: they sit in a block of the application range reserved for the skin, below the
// framework's CM_BASE. (Numbers from 0xC000 up are handed out by RegisterWindowMessage and could mean
// anything.)
constexpr unsigned SKIN_MESSAGE_FIRST = 0xA000;
constexpr unsigned SKIN_MESSAGE_LAST = 0xA0FF;
constexpr unsigned WM_VK_MENUCLOSED = SKIN_MESSAGE_FIRST + 0;
constexpr unsigned WM_VK_ENTERMENULOOP = SKIN_MESSAGE_FIRST + 1;
constexpr unsigned WM_VK_EXITMENULOOP = SKIN_MESSAGE_FIRST + 2;

// Window timers the skin sets on the windows of framework forms and controls (each held by a
// `window_timer`). The framework itself sets no timer on a form's or control's window (its own timers
// live on hidden windows), so these never meet one of its own; a framework timer on such a window would
// take an identifier above 0xFFFF.
constexpr std::uintptr_t skin_timer_restack = 1;       // a border's edge windows stacked again
constexpr std::uintptr_t skin_timer_nc_repaint = 2;    // a form's deferred non-client repaint
constexpr std::uintptr_t skin_timer_start_flash = 3;   // a form's first show, made visible again
constexpr std::uintptr_t skin_timer_next_menu = 4;     // a form opens the next title-bar menu
constexpr std::uintptr_t skin_timer_delay_refresh = 10000; // a skinned control repaints after resizing

} // namespace kq
