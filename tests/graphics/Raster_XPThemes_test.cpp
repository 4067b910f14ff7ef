// The theme nexus under Wine.
#ifdef _WIN32

#include "graphics/Raster_XPThemes.h"

#include <gtest/gtest.h>

using namespace kq;

namespace {

// The state the nexus keeps must match the system's answer.
void expect_consistent_state() {
    ASSERT_NE(theme_library(), nullptr);
    EXPECT_EQ(themes_flag(), ThemesInUse());
    EXPECT_EQ(scrollbar_theme() != nullptr, themes_flag());
    EXPECT_EQ(globals_theme() != nullptr, themes_flag());
}

// Closes the nexus's handles through a module reference of the test's own.
void close_nexus_handles() {
    const HMODULE library = ::LoadLibraryW(L"uxtheme.dll");
    ASSERT_NE(library, nullptr);
    const auto close = reinterpret_cast<HRESULT(WINAPI*)(HANDLE)>(
        reinterpret_cast<void*>(::GetProcAddress(library, "CloseThemeData")));
    for (const HANDLE theme : {scrollbar_theme(), globals_theme()})
        if (theme)
            close(theme);
    ::FreeLibrary(library);
}

} // namespace

TEST(RasterXPThemes, NexusLoadsReloadsOnThemeChangeAndClosesOnShutdown) {
    // Started with the library.
    ASSERT_NE(ThemeNexus, nullptr);
    expect_consistent_state();
    const HWND window = ThemeNexus->WindowHandle();
    // A top-level window: the system's broadcast of a theme change reaches only those.
    EXPECT_EQ(::GetAncestor(window, GA_PARENT), ::GetDesktopWindow());

    ::SendMessageW(window, WM_THEMECHANGED, 0, 0);
    expect_consistent_state();

    // Unloaded behind its back, the library (and the handles) come back with the next broadcast change.
    close_nexus_handles();
    FreeThemeLibrary();
    ASSERT_EQ(theme_library(), nullptr);
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_THEMECHANGED, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    expect_consistent_state();

    Raster_XPThemes_shutdown();
    EXPECT_EQ(ThemeNexus, nullptr);
    EXPECT_EQ(theme_library(), nullptr);
    EXPECT_EQ(scrollbar_theme(), nullptr);
    EXPECT_EQ(globals_theme(), nullptr);
    EXPECT_FALSE(::IsWindow(window));

    Raster_XPThemes_startup();
    expect_consistent_state();
}

TEST(RasterXPThemes, LibraryLoadsOnceAndFrees) {
    ASSERT_TRUE(LoadThemeLibrary());
    const HMODULE library = theme_library();
    EXPECT_TRUE(LoadThemeLibrary());
    EXPECT_EQ(theme_library(), library);
}

#endif
