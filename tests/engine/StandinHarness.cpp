#include "tests/engine/StandinHarness.h"

#include <sstream>

#include "testengine/ControlExports.h"
#include "framework/Win32.h"

namespace kq::test {

String standin_path(const wchar_t* file) {
    wchar_t exe[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    String path = from_wide(exe, n);
    path.erase(path.find_last_of(u"\\/") + 1);
    return path + from_wide(file);
}

standin_control::standin_control(const engine_library& library) : FModule(library.module()) {}

void standin_control::reset() const { function<decltype(&standin_reset)>("standin_reset")(); }

std::vector<recorded_call> standin_control::calls() const {
    const auto text_of = function<decltype(&standin_calls_text)>("standin_calls_text");
    std::string text(text_of(nullptr, 0), '\0');
    text_of(text.data(), text.size() + 1);
    std::vector<recorded_call> result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const size_t a = line.find('\t');
        const size_t b = line.find('\t', a + 1);
        result.push_back({line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
    }
    return result;
}

std::vector<recorded_call> standin_control::calls(const std::string& name) const {
    std::vector<recorded_call> result;
    for (recorded_call& c : calls()) {
        if (c.name == name) result.push_back(std::move(c));
    }
    return result;
}

int standin_control::live(const char* kind) const {
    return function<decltype(&standin_live_count)>("standin_live_count")(kind);
}

} // namespace kq::test
