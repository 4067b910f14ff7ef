#include "testengine/Recorder.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <windows.h>

#include "testengine/ControlExports.h"
#include "testengine/StandinObject.h"
#include "testengine/V8.h"
#include "testengine/Browser.h"

namespace kq::standin {

namespace {

struct call {
    std::string thread;
    std::string name;
    std::string detail;
};

// Both guarded by state_lock; tests read them from their own thread while engine threads append.
std::mutex state_lock;
std::vector<call> calls;
std::map<std::string, int, std::less<>> live;
std::vector<std::unique_ptr<tracked>> objects;

thread_local const char* current_thread_name = nullptr;

// With STANDIN_RECORD_FILE set, every call is also appended to that file as "process id, thread, name,
// detail" on one line, so a test can read what the stand-in saw inside another program (and its
// sub-processes, which append to the same file).
void append_to_record_file(const call& c) {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"STANDIN_RECORD_FILE", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    const HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string line = std::to_string(::GetCurrentProcessId()) + "\t" + c.thread + "\t" + c.name + "\t" +
                             c.detail + "\n";
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

} // namespace

void record(std::string_view name, std::string_view detail) {
    const std::lock_guard lock(state_lock);
    calls.push_back(call{thread_name(), std::string(name), std::string(detail)});
    append_to_record_file(calls.back());
}

void set_thread_name(const char* name) noexcept { current_thread_name = name; }

const char* thread_name() noexcept { return current_thread_name ? current_thread_name : "other"; }

void count_up(std::string_view kind) {
    const std::lock_guard lock(state_lock);
    ++live[std::string(kind)];
}

void register_object(std::unique_ptr<tracked> object) {
    const std::lock_guard lock(state_lock);
    objects.push_back(std::move(object));
}

void count_down(std::string_view kind) {
    const std::lock_guard lock(state_lock);
    --live[std::string(kind)];
}

} // namespace kq::standin

using namespace kq::standin;

extern "C" {

void standin_reset(void) {
    {
        const std::lock_guard lock(state_lock);
        calls.clear();
    }
    reset_script_tables();
    reset_page_tables();
}

size_t standin_calls_text(char* buffer, size_t capacity) {
    std::string text;
    {
        const std::lock_guard lock(state_lock);
        for (const call& c : calls) text += c.thread + '\t' + c.name + '\t' + c.detail + '\n';
    }
    if (buffer && capacity > 0) {
        const size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return text.size();
}

int standin_live_count(const char* kind) {
    const std::lock_guard lock(state_lock);
    const std::string_view wanted = kind ? kind : "";
    int total = 0;
    for (const auto& [name, n] : live) {
        if (!kind || name == wanted) total += n;
    }
    for (const auto& object : objects) {
        const int refs = object->references();
        if (wanted == "over_released") {
            total += refs < 0 ? 1 : 0;
        } else if (refs != 0 && (!kind || wanted == object->kind())) {
            ++total;
        }
    }
    return total;
}

} // extern "C"
