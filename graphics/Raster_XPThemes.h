#pragma once
// Windows only: keeps the visual-styles library loaded with two theme handles open, and reopens them when
// the user changes the theme.

#include "framework/WindowLayer.h"

#include <memory>

namespace kq {

// Loads the library once; false (and nothing stays loaded) when it or one of its required functions is
// missing.
bool LoadThemeLibrary();
void FreeThemeLibrary();
// Loaded, and the application and the system both use visual styles.
bool ThemesInUse();

// The module state, for whoever needs it: the library (nil when not loaded), the flag the nexus keeps,
// and its handles of "SCROLLBAR" and "GLOBALS" (nil when not open).
HMODULE theme_library();
bool themes_flag();
HANDLE scrollbar_theme();
HANDLE globals_theme();

class TThemeNexus : public TObject {
public:
    TThemeNexus();
    ~TThemeNexus() override;

    // The hidden top-level window that hears WM_THEMECHANGED.
    HWND WindowHandle() const { return FWindowHandle.get(); }

private:
    void WndProc(TMessage& Message);

    unique_hidden_window FWindowHandle;
};

// Made by Raster_XPThemes_startup, freed by Raster_XPThemes_shutdown.
extern std::unique_ptr<TThemeNexus> ThemeNexus;

void Raster_XPThemes_startup();
void Raster_XPThemes_shutdown();

} // namespace kq
