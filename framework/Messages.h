#pragma once
// The framework's own CM_ control messages, and the numbers reserved for the skin's messages and timers.

#include <cstdint>

namespace kq {

// The framework's own control messages. Their numbers are fixed: components compare them in window
// procedures and forward them with Perform. They sit in the application range (0x8000-0xBFFF), clear of
// the WM_USER ranges that views and skinned forms use for their own messages.
constexpr unsigned CM_BASE = 0xB000;

constexpr unsigned CM_ENABLEDCHANGED = CM_BASE + 3;
constexpr unsigned CM_COLORCHANGED = CM_BASE + 4;
constexpr unsigned CM_FONTCHANGED = CM_BASE + 5;
constexpr unsigned CM_CURSORCHANGED = CM_BASE + 6;
constexpr unsigned CM_VISIBLECHANGED = CM_BASE + 11;
constexpr unsigned CM_TEXTCHANGED = CM_BASE + 18;
constexpr unsigned CM_MOUSEENTER = CM_BASE + 19;
constexpr unsigned CM_MOUSELEAVE = CM_BASE + 20;
constexpr unsigned CM_DIALOGKEY = CM_BASE + 22;
constexpr unsigned CM_DIALOGCHAR = CM_BASE + 23;
constexpr unsigned CM_FOCUSCHANGED = CM_BASE + 24;
constexpr unsigned CM_SHOWINGCHANGED = CM_BASE + 26;
constexpr unsigned CM_WANTSPECIALKEY = CM_BASE + 28;
constexpr unsigned CM_RELEASE = CM_BASE + 33;
constexpr unsigned CM_HINTSHOW = CM_BASE + 48;
constexpr unsigned CM_INVALIDATE = CM_BASE + 55; // a windowed control asks to be repainted
constexpr unsigned CM_BIDIMODECHANGED = CM_BASE + 60;

// Notifications a system control sends its parent, handed back to the control that sent them: the
// message number plus CN_BASE, the parameters unchanged.
constexpr unsigned CN_BASE = 0xBC00;
constexpr unsigned CN_NOTIFY = CN_BASE + 0x004E;  // WM_NOTIFY
constexpr unsigned CN_COMMAND = CN_BASE + 0x0111; // WM_COMMAND

// --- The skin library's messages and timers

// Sent or posted by the skin to its forms' and controls' windows. The first block keeps the numbers the
// skin has always used, in the private WM_USER range of the windows it owns (WM_USER + 2002 is unused).
constexpr unsigned WM_VK_REFRESHCONTROL = 0x0400 + 2001;
constexpr unsigned WM_VK_UPDATENC = 0x0400 + 2003;
constexpr unsigned WM_VK_REFRESHSKIN = 0x0400 + 2004;
constexpr unsigned WM_VK_APPLYSKINRES = 0x0400 + 2005;
constexpr unsigned WM_VK_ADDNCCONTROL = 0x0400 + 2006;
constexpr unsigned WM_VK_REMOVENCCONTROL = 0x0400 + 2007;

// The menu hand-over messages are performed on whichever form is active, so they need numbers no window
// uses for anything else: they sit in a block of the application range reserved for the skin, below
// CM_BASE. (Numbers from 0xC000 up are handed out by RegisterWindowMessage and could mean anything.)
constexpr unsigned SKIN_MESSAGE_FIRST = 0xA000;
constexpr unsigned SKIN_MESSAGE_LAST = 0xA0FF;
constexpr unsigned WM_VK_MENUCLOSED = SKIN_MESSAGE_FIRST + 0;
constexpr unsigned WM_VK_ENTERMENULOOP = SKIN_MESSAGE_FIRST + 1;
constexpr unsigned WM_VK_EXITMENULOOP = SKIN_MESSAGE_FIRST + 2;

// Window timers the skin sets on the windows of framework forms and controls. The framework itself sets
// no timer on a form's or control's window (its own timers live on hidden windows), so these never meet
// one of its own; a framework timer on such a window would take an identifier above 0xFFFF.
constexpr std::uintptr_t skin_timer_nc_repaint = 2;    // a form's deferred non-client repaint
constexpr std::uintptr_t skin_timer_start_flash = 3;   // a form's first show, made visible again
constexpr std::uintptr_t skin_timer_next_menu = 4;     // a form opens the next title-bar menu
constexpr std::uintptr_t skin_timer_delay_refresh = 10000; // a skinned control repaints after resizing

} // namespace kq
