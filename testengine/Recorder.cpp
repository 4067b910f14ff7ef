#include "testengine/Recorder.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <windows.h>

#include "framework/Handles.h"
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

// The heap of the stand-in's objects, made at the first one (nothing runs at load). Declared before the
// objects, so it is destroyed after them.
class object_heap {
public:
    HANDLE get() {
        std::call_once(FMade, [this] { FHeap.reset(::HeapCreate(0, 0, 0)); });
        return FHeap.get();
    }

private:
    std::once_flag FMade;
    unique_handle<HANDLE, ::HeapDestroy> FHeap;
};
constinit object_heap objects_heap;

// Both guarded by state_lock; tests read them from their own thread while engine threads append.
std::mutex state_lock;
std::vector<call> calls;
std::map<std::string, int, std::less<>> live;
std::vector<std::unique_ptr<tracked>> objects;
std::size_t next_sweep = 0; // the size of objects at which released ones are freed next

thread_local const char* current_thread_name = nullptr;

// With STANDIN_RECORD_FILE set, every call is appended to that file as "process id, thread, name, detail"
// on one line, so a test can read what the stand-in saw inside another program (and its sub-processes,
// which append to the same file); the record is then not kept in memory, where a long run would grow it.
// False when no file is set.
bool append_to_record_file(const call& c) {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(L"STANDIN_RECORD_FILE", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    const HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    const std::string line = std::to_string(::GetCurrentProcessId()) + "\t" + c.thread + "\t" + c.name + "\t" +
                             c.detail + "\n";
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return true;
}

} // namespace

void record(std::string_view name, std::string_view detail) {
    const std::lock_guard lock(state_lock);
    call c{thread_name(), std::string(name), std::string(detail)};
    if (!append_to_record_file(c)) calls.push_back(std::move(c));
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
    // A released object stays for the next kept_released registrations, long enough for a release too many
    // to show in the counts; older ones are freed, so a program that opens and closes pages for hours holds
    // a bounded number. An object released too many times stays to be counted.
    constexpr std::size_t kept_released = 1024;
    if (objects.size() < next_sweep) return;
    const auto recent = objects.end() - static_cast<std::ptrdiff_t>(std::min(kept_released, objects.size()));
    const auto freeable = [](const auto& o) { return o->references() == 0 && o->released(); };
    objects.erase(std::remove_if(objects.begin(), recent, freeable), recent);
    next_sweep = objects.size() + kept_released;
}

void* tracked::operator new(std::size_t size) {
    if (const HANDLE heap = objects_heap.get())
        if (void* p = ::HeapAlloc(heap, 0, size)) return p;
    throw std::bad_alloc();
}

void tracked::operator delete(void* object) noexcept {
    if (object) ::HeapFree(objects_heap.get(), 0, object);
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
