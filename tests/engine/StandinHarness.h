#pragma once
// Loading the stand-in engine library and reaching its test-control exports.
#include <string>
#include <vector>

#include "engine/CefLibrary.h"
#include "framework/Win32.h"
#include "framework/Strings.h"

namespace kq::test {

// The path of a stand-in engine library built beside the test program.
String standin_path(const wchar_t* file = L"libcef.dll");

struct recorded_call {
    std::string thread;
    std::string name;
    std::string detail;
    bool operator==(const recorded_call&) const = default;
};

// The stand-in's control interface, reached through the loaded library.
class standin_control {
public:
    explicit standin_control(const engine_library& library);

    void reset() const;
    std::vector<recorded_call> calls() const;
    // Calls with this name only, in order.
    std::vector<recorded_call> calls(const std::string& name) const;
    int live(const char* kind) const;
    int live_total() const { return live(nullptr); }

    template <class F>
    F function(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(::GetProcAddress(FModule, name)));
    }

private:
    HMODULE FModule;
};

} // namespace kq::test
