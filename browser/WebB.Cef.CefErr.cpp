#include "browser/WebB.Cef.CefErr.h"

namespace kq {

TCefErrorManager* CefErrorManager = nullptr;

namespace {

struct error_row {
    std::int32_t code;
    const char16_t* name;
    const char16_t* description;
};

// In descending code order, from -1 to -806.
constexpr error_row error_rows[] = {
#include "browser/WebB.Cef.CefErr.rows.inc"
};

} // namespace

bool TCefErrorManager::GetErrorDescription(std::int32_t err_code, String& error_name, String& error_description) {
    if (!FErrorData) {
        auto table = std::make_unique<error_table>();
        for (const error_row& row : error_rows) table->emplace(row.code, std::array<String, 2>{row.name, row.description});
        FErrorData = std::move(table);
    }
    const auto found = FErrorData->find(err_code);
    if (found == FErrorData->end()) return false;
    error_name = found->second[0];
    error_description = found->second[1];
    return true;
}

namespace {
std::unique_ptr<TCefErrorManager>& owned_manager() {
    static std::unique_ptr<TCefErrorManager> manager;
    return manager;
}
} // namespace

void cef_error_manager_startup() {
    owned_manager() = std::make_unique<TCefErrorManager>();
    CefErrorManager = owned_manager().get();
}

void cef_error_manager_shutdown() {
    CefErrorManager = nullptr;
    owned_manager().reset();
}

} // namespace kq
