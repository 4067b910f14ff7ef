#pragma once
// The skin library's start-up and shutdown.

namespace kq {

// The skin library's start-up: reads the program's image store into the resource module and registers the
// skin components a form resource may hold. Runs after the raster library's start-up (the store's images
// name its nearest resampler) and the forms' (the class registry). Shutdown frees the manager, the
// module, the registries and the timers' shared window.
void skin_startup();
void skin_shutdown() noexcept;

} // namespace kq
