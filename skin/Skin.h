#pragma once
// The skin library's start-up and shutdown.

namespace kq {

// The skin library's start-up: reads the program's image store into the resource module and makes the
// default form settings. Runs after the raster library's start-up (the store's images name its nearest
// resampler). Shutdown frees the settings, the manager, the module, the registries and the timers'
// shared window.
void skin_startup();
void skin_shutdown() noexcept;

} // namespace kq
