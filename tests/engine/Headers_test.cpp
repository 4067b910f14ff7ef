// Compiled only: the engine's headers bring no Win32 macros, and their own
// declarations of the system's handle types agree with the system headers included after them.
#include "engine/CefInterfaces.h"
#include "engine/CefLibrary.h"
#include "engine/EngineObject.h"
#include "engine/EngineStrings.h"

#if defined(_WINDOWS_) || defined(GetMessage) || defined(LoadString) || defined(CreateWindow)
#error "an engine header brings Win32 macros to its includers"
#endif

#include <windows.h>

#include <type_traits>

static_assert(std::is_same_v<decltype(cef_window_info_t::parent_window), HWND>);
static_assert(std::is_same_v<decltype(cef_main_args_t::instance), HINSTANCE>);
static_assert(std::is_same_v<HCURSOR, HICON>);
