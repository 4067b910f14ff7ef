#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>

#include "framework/Strings.h"

namespace kq {

// The engine's network error codes with their names and English descriptions, for the error page.
// Used on the GUI thread.
class TCefErrorManager {
public:
    // Code -> [name, description].
    using error_table = std::map<std::int32_t, std::array<String, 2>>;

    TCefErrorManager() = default;
    TCefErrorManager(const TCefErrorManager&) = delete;
    TCefErrorManager& operator=(const TCefErrorManager&) = delete;

    // Builds the table on first use. An unknown code answers false and leaves both strings as they were.
    bool GetErrorDescription(std::int32_t err_code, String& error_name, String& error_description);
    // A load the user stopped; the table is not consulted.
    static bool IsUserAborted(std::int32_t err_code) noexcept { return err_code == -3; }

    // None until the first lookup.
    const error_table* ErrorData() const noexcept { return FErrorData.get(); }

private:
    std::unique_ptr<error_table> FErrorData;
};

// The process's net-error table, made by cef_error_manager_startup and freed by cef_error_manager_shutdown.
extern TCefErrorManager* CefErrorManager;
void cef_error_manager_startup();
void cef_error_manager_shutdown();

} // namespace kq
