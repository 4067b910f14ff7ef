#pragma once
// The framework's own CM_ control messages and CN_ notifications. (The skin's messages and timers live in
// skin/SkinMessages.h.)

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

} // namespace kq
