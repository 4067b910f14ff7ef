#include "engine/CefLibrary.h"

#include "framework/Win32.h"

#include <atomic>
#include <cassert>
#include <type_traits>

namespace kq {

namespace {
// Written on the GUI thread before the engine starts and after it stops; read from any engine thread.
std::atomic<const cef_exports*> bound_exports{nullptr};
} // namespace

void free_module(HINSTANCE module) noexcept { ::FreeLibrary(module); }

std::string resolve_exports(HINSTANCE module, cef_exports& out) {
    std::string missing;
    for_each_export(out, [&](const char* name, auto& slot) {
        const FARPROC address = ::GetProcAddress(module, name);
        if (!address && missing.empty()) missing = name;
        // Function pointers of any type convert to one another; the table's types are the declared ones.
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(reinterpret_cast<void (*)()>(address));
    });
    return missing;
}

engine_load_status engine_library::load(const String& path) {
    if (FModule) return engine_load_status::loaded;
    FLoadError = 0;
    FMissingExport.clear();
    unique_handle<HINSTANCE, free_module> module{::LoadLibraryW(wide(path))};
    if (!module) {
        FLoadError = ::GetLastError();
        return engine_load_status::not_loadable;
    }
    cef_exports exports;
    FMissingExport = resolve_exports(module.get(), exports);
    if (!FMissingExport.empty()) return engine_load_status::export_missing;
    FExports = exports;
    FModule = std::move(module);
    bound_exports.store(&FExports, std::memory_order_release);
    return engine_load_status::loaded;
}

void engine_library::unload() noexcept {
    if (!FModule) return;
    const cef_exports* mine = &FExports;
    bound_exports.compare_exchange_strong(mine, nullptr, std::memory_order_acq_rel);
    FModule.reset();
    FExports = cef_exports{};
}

const cef_exports& engine_api() noexcept {
    const cef_exports* e = bound_exports.load(std::memory_order_acquire);
    assert(e && "the engine library is not loaded");
    return *e;
}

bool engine_api_bound() noexcept { return bound_exports.load(std::memory_order_acquire) != nullptr; }

} // namespace kq
