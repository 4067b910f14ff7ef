#pragma once
// ShowMessage and message boxes.
#include "framework/Strings.h"
#include "framework/Win32.h"

namespace kq {

// A message box with one OK button, the application title as its caption.
void ShowMessage(const String& text);

// A modal one-line input dialog. value is changed only when the user confirms (OK or Enter).
bool InputQuery(const String& caption, const String& prompt, String& value);

// The system's folder-browse dialog rooted at the desktop (new style, file-system folders only, no
// new-folder button). On confirmation folder is the chosen path as the shell returns it.
bool BrowseForFolder(HWND owner, const String& title, String& folder);

} // namespace kq
