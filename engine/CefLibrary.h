#pragma once
// Engine_library: loading the engine library and resolving its exports.
#include <string>

#include "engine/cef_exports.h"
#include "framework/Handles.h"
#include "framework/Strings.h"

namespace kq {

// FreeLibrary, kept out of this header so that it brings no Win32 declarations (HMODULE is HINSTANCE).
void free_module(HINSTANCE module) noexcept;

enum class engine_load_status { loaded, not_loadable, export_missing };

// The engine library, loaded at run time with every export the program uses resolved. While one is
// loaded its exports are also the binding's (engine_api()).
class engine_library {
public:
    engine_library() = default;
    engine_library(const engine_library&) = delete;
    engine_library& operator=(const engine_library&) = delete;
    ~engine_library() { unload(); }

    // Nothing happens when a library is loaded already. On failure nothing stays loaded:
    // not_loadable keeps the system's error code, export_missing the first name not found.
    engine_load_status load(const String& path);
    void unload() noexcept;

    bool loaded() const noexcept { return static_cast<bool>(FModule); }
    HINSTANCE module() const noexcept { return FModule.get(); }
    DWORD load_error() const noexcept { return FLoadError; }
    const std::string& missing_export() const noexcept { return FMissingExport; }
    const cef_exports& exports() const noexcept { return FExports; }

private:
    unique_handle<HINSTANCE, free_module> FModule;
    cef_exports FExports;
    DWORD FLoadError = 0;
    std::string FMissingExport;
};

// Resolves every export from a loaded module; answers the first name that is missing, empty when none is.
std::string resolve_exports(HINSTANCE module, cef_exports& out);

// The exports of the loaded library; calling before a library is loaded is a bug.
const cef_exports& engine_api() noexcept;
bool engine_api_bound() noexcept;

} // namespace kq
