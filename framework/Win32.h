#pragma once
// The one place the visual framework includes <windows.h>. Win32 names its functions through macros
// (DrawText -> DrawTextW); a few of them collide with method names of the framework's classes, so they
// are undefined here and the wide functions are called by their W names.
#include <windows.h>
#include <commctrl.h>

#undef DrawText
#undef TextOut
#undef LoadImage
#undef GetObject
#undef CreateFont
#undef CreateWindow
#undef MessageBox
#undef GetClassName
#undef PostMessage
#undef SendMessage
#undef LoadIcon
#undef LoadCursor
#undef FindWindow
#undef GetWindowText
#undef SetWindowText
#undef GetMessage
#undef LoadString
#undef PeekMessage
#undef DispatchMessage
#undef CreateDialog
#undef DrawState
#undef FindResource
#undef LoadBitmap
#undef LoadMenu
#undef GetCharWidth
#undef AppendMenu
#undef InsertMenu
#undef ModifyMenu
#undef GetCurrentTime
#undef GetTextMetrics
