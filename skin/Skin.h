#pragma once
// The skin library's start-up and shutdown.

namespace kq {

// The skin library's start-up: reads the program's image store into the resource module, makes the
// default form settings, installs the popup-menu hook (in the main process also switching the session's
// menu selection fade off for the run) and registers the skin components a form resource may hold. Runs
// after the raster library's start-up (the store's images name its nearest resampler) and the forms' (the
// class registry). Shutdown puts the session's menu settings back, removes the hook and frees the
// settings, the manager, the module, the registries and the timers' shared window.
void skin_startup();
void skin_shutdown() noexcept;

} // namespace kq
