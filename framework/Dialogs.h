#pragma once

#include "framework/Strings.h"
#include "framework/Win32.h"

namespace kq {

// A message box with one OK button, the application title as its caption.
void ShowMessage(const String& Text);

// A modal one-line input dialog. Value is changed only when the user confirms (OK or Enter).
bool InputQuery(const String& Caption, const String& Prompt, String& Value);

// The system's folder-browse dialog rooted at the desktop (new style, file-system folders only, no
// new-folder button). On confirmation Folder is the chosen path as the shell returns it.
bool BrowseForFolder(HWND Owner, const String& Title, String& Folder);

} // namespace kq
