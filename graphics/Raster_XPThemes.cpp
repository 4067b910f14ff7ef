#include "graphics/Raster_XPThemes.h"

#include <array>

namespace kq {

std::unique_ptr<TThemeNexus> ThemeNexus;

namespace {

using open_theme_data_proc = HANDLE(WINAPI*)(HWND, LPCWSTR);
using close_theme_data_proc = HRESULT(WINAPI*)(HANDLE);
using bool_proc = BOOL(WINAPI*)();

// In this order: OpenThemeData, CloseThemeData, DrawThemeBackground, DrawThemeEdge, GetThemeColor,
// GetThemeMetric, GetThemeMargins, SetWindowTheme, IsThemeActive, IsAppThemed, EnableTheming.
constexpr std::array<const char*, 11> function_names{
    "OpenThemeData",  "CloseThemeData", "DrawThemeBackground", "DrawThemeEdge", "GetThemeColor", "GetThemeMetric",
    "GetThemeMargins", "SetWindowTheme", "IsThemeActive",       "IsAppThemed",   "EnableTheming"};
enum function_index { open_theme_data, close_theme_data, is_theme_active = 8, is_app_themed, enable_theming };

// GUI thread only.
struct theme_state {
    HMODULE library = nullptr;
    std::array<FARPROC, 11> functions{};
    bool in_use = false;
    HANDLE scrollbar = nullptr;
    HANDLE globals = nullptr;
};

theme_state& state() {
    static theme_state s;
    return s;
}

template <class Proc>
Proc function(function_index index) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(state().functions[index]));
}

// The library stays loaded while this code sits in a module other than the program: such a module may be
// unloading, when freeing libraries is not allowed.
bool inside_library() {
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&inside_library), &self);
    return self != ::GetModuleHandleW(nullptr);
}

void OpenVisualStyles(HWND window) {
    theme_state& s = state();
    s.in_use = false;
    if (!LoadThemeLibrary())
        return;
    s.in_use = ThemesInUse();
    if (s.in_use) {
        s.scrollbar = function<open_theme_data_proc>(open_theme_data)(window, L"SCROLLBAR");
        s.globals = function<open_theme_data_proc>(open_theme_data)(window, L"GLOBALS");
    }
}

void CloseVisualStyles() {
    theme_state& s = state();
    // Every open handle is closed, also when styles were switched off since it was opened: it would
    // otherwise stay open and outlive the library.
    if (!inside_library() && s.library) {
        for (HANDLE* theme : {&s.scrollbar, &s.globals})
            if (*theme) {
                function<close_theme_data_proc>(close_theme_data)(*theme);
                *theme = nullptr;
            }
    }
    FreeThemeLibrary();
}

} // namespace

bool LoadThemeLibrary() {
    theme_state& s = state();
    if (s.library)
        return true;
    s.library = ::LoadLibraryW(L"uxtheme.dll");
    if (!s.library)
        return false;
    for (std::size_t i = 0; i < function_names.size(); ++i)
        s.functions[i] = ::GetProcAddress(s.library, function_names[i]);
    for (const function_index required :
         {open_theme_data, close_theme_data, is_theme_active, is_app_themed, enable_theming})
        if (!s.functions[required]) {
            FreeThemeLibrary();
            break;
        }
    return s.library != nullptr;
}

void FreeThemeLibrary() {
    theme_state& s = state();
    if (!s.library)
        return;
    if (!inside_library())
        ::FreeLibrary(s.library);
    s.library = nullptr;
    s.functions.fill(nullptr);
}

bool ThemesInUse() {
    return state().library && function<bool_proc>(is_app_themed)() && function<bool_proc>(is_theme_active)();
}

HMODULE theme_library() { return state().library; }
bool themes_flag() { return state().in_use; }
HANDLE scrollbar_theme() { return state().scrollbar; }
HANDLE globals_theme() { return state().globals; }

// --- TThemeNexus

TThemeNexus::TThemeNexus()
    : FWindowHandle(AllocateBroadcastHWnd([this](TMessage& m) { WndProc(m); })) {
    OpenVisualStyles(FWindowHandle.get());
}

TThemeNexus::~TThemeNexus() {
    CloseVisualStyles();
}

void TThemeNexus::WndProc(TMessage& Message) {
    if (Message.Msg == WM_THEMECHANGED) {
        CloseVisualStyles();
        OpenVisualStyles(FWindowHandle.get());
    }
    Message.Result = ::DefWindowProcW(FWindowHandle.get(), Message.Msg, Message.WParam, Message.LParam);
}

void Raster_XPThemes_startup() {
    ThemeNexus = std::make_unique<TThemeNexus>();
}

void Raster_XPThemes_shutdown() {
    ThemeNexus.reset();
}

} // namespace kq
