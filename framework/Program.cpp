#include "framework/Program.h"

#include <windows.h>
#include <shellapi.h>

#include <typeinfo>

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/Object.h"
#include "framework/Win32Handles.h"

namespace kq {

namespace {

struct raise_site {
    String class_name = u"Exception";
    const void* address = nullptr;
};

raise_site site_of(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return {class_name_of(typeid(e)), e.RaiseAddress()};
    } catch (const std::exception& e) {
        return {class_name_of(typeid(e)), nullptr};
    } catch (...) {
        return {};
    }
}

// The module holding an address (the program itself when none is known), and the address's offset from
// the start of that module's code.
void locate(const void* address, String& module_name, std::uintptr_t& offset) {
    HMODULE module = nullptr;
    if (!address || !::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                          static_cast<LPCWSTR>(address), &module)) {
        module = ::GetModuleHandleW(nullptr);
        address = nullptr;
    }
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    module_name = ExtractFileName(from_wide(path));
    offset = 0;
    if (address) {
        const auto base = reinterpret_cast<std::uintptr_t>(module);
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + static_cast<std::uintptr_t>(dos->e_lfanew));
        offset = reinterpret_cast<std::uintptr_t>(address) - base - nt->OptionalHeader.BaseOfCode;
    }
}

} // namespace

bool command_line_switch(StringView name, String* value) {
    int count = 0;
    const unique_hlocal arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!arguments) return false;
    const auto* argv = static_cast<wchar_t* const*>(arguments.get());
    for (int i = 1; i < count; ++i) {
        const String argument = from_wide(argv[i]);
        const StringView text(argument);
        if (text.size() < name.size() + 2 || text.substr(0, 2) != u"--" || text.substr(2, name.size()) != name)
            continue;
        const StringView rest = text.substr(2 + name.size());
        if (!rest.empty() && rest.front() != u'=') continue;
        if (value) *value = String(rest.empty() ? rest : rest.substr(1));
        return true;
    }
    return false;
}

String application_error_text(const std::exception_ptr& error) {
    const raise_site site = site_of(error);
    String module_name;
    std::uintptr_t offset = 0;
    locate(site.address, module_name, offset);
    const String message = exception_message(error);
    const String dot = !message.empty() && message.back() == u'.' ? u"" : u".";
    return u"Exception " + site.class_name + u" in module " + module_name + u" at " +
           IntToHex(offset, static_cast<int>(sizeof(void*) * 2)) + u".\r\n" + message + dot + u"\r\n";
}

int run_program(const std::function<void()>& body) noexcept {
    try {
        body();
        return 0;
    } catch (...) {
        try {
            const String text = application_error_text(std::current_exception());
            ::MessageBoxW(nullptr, wide(text), L"Application Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
        } catch (...) {
            // Nothing is left to report a failing report to; the exit code still tells.
        }
        return 1;
    }
}

} // namespace kq
