# The Win32 half of the framework: the window layer, controls, forms, graphics, pictures, dialogs, threads, GDI+, and the
# COM, registry, shell and module-resource wrappers. Windows only.
kq_library(framework_visual SOURCES
    WindowLayer.cpp
    GdiPlus.cpp LayeredWindows.cpp
    Graphics.cpp Pictures.cpp Controls.cpp Forms.cpp DataModules.cpp Regions.cpp Clipboard.cpp Ime.cpp Timers.cpp Threads.cpp ImageLists.cpp Menus.cpp Dialogs.cpp
    StdCtrls.cpp ComCtrls.cpp ExtCtrls.cpp
    ComObjects.cpp Registry.cpp ResourceStreams.cpp ShellFolders.cpp ShellLinks.cpp Files.cpp Program.cpp
    DEPENDS framework framework_codecs gdi32 user32 gdiplus comctl32 ole32 shell32 msimg32 advapi32 uuid imm32)
kq_compile_alone(framework_visual Controls.cpp Forms.cpp Menus.cpp)
