#include "testengine/Runtime.h"
#include "testengine/Plugins.h"
#include "testengine/V8.h"

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "testengine/ControlExports.h"
#include "testengine/Recorder.h"
#include "testengine/StandinObject.h"
#include "testengine/StandinText.h"

#include <windows.h>

namespace kq::standin {

namespace {

// The engine ran in this process: unloading the library then reports what the program left alive.
std::atomic<bool> ever_initialised{false};

void run_guarded(const std::function<void()>& task) noexcept {
    try {
        task();
    } catch (...) {
        record("exception", thread_name());
    }
}

// A thread of the engine with its own queue.
class worker {
public:
    explicit worker(const char* name) : FThread([this, name] { run(name); }) {}
    worker(const worker&) = delete;
    worker& operator=(const worker&) = delete;
    ~worker() { stop(); }
    // Runs what is queued, then ends; what is posted afterwards is dropped with the worker.
    void stop() {
        {
            const std::lock_guard lock(FLock);
            FStopping = true;
        }
        FWake.notify_one();
        if (FThread.joinable()) FThread.join();
    }
    void post(std::function<void()> task) {
        {
            const std::lock_guard lock(FLock);
            FQueue.push_back(std::move(task));
        }
        FWake.notify_one();
    }
    std::thread::id id() const noexcept { return FThread.get_id(); }

private:
    void run(const char* name) noexcept {
        set_thread_name(name);
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(FLock);
                FWake.wait(lock, [&] { return FStopping || !FQueue.empty(); });
                if (FQueue.empty()) return;
                task = std::move(FQueue.front());
                FQueue.pop_front();
            }
            run_guarded(task);
        }
    }

    std::mutex FLock; // guards FQueue and FStopping
    std::condition_variable FWake;
    std::deque<std::function<void()>> FQueue;
    bool FStopping = false;
    std::thread FThread;
};

// The workers live as long as the state: a thread that still sees the state may post to them.
struct engine_state {
    DWORD ui_thread = 0;
    std::thread::id io_thread, renderer_thread;
    held<cef_app_t> app;
    std::unique_ptr<worker> io;
    std::unique_ptr<worker> renderer;
};

// Set up and torn down on the UI thread; engine threads read it while the engine runs.
std::atomic<engine_state*> running{nullptr};

std::mutex ui_lock; // guards ui_queue
std::deque<std::function<void()>> ui_queue;
bool in_loop_work = false; // UI thread only

std::wstring process_type() {
    const command_line_text line = parse_command_line(::GetCommandLineW());
    for (const auto& [name, value] : line.switches) {
        if (name == L"type") return value;
    }
    return std::wstring();
}

// Lets the application adjust a command line, as the engine does before it reads its switches.
std::string process_command_line(cef_app_t* app, const std::wstring& type, const std::wstring& text) {
    engine_ref<cef_command_line_t> line = make_command_line(parse_command_line(text));
    if (app && app->on_before_command_line_processing) {
        const cef_string_t type_text = borrowed(type);
        app->on_before_command_line_processing(app, &type_text, line.pass());
    }
    return switches_text(command_line_of(line.get()));
}

std::string settings_text(const cef_settings_t& s) {
    std::string t = "size=" + std::to_string(s.size);
    const auto number = [&](const char* name, long long v) { t += std::string(" ") + name + "=" + std::to_string(v); };
    const auto text = [&](const char* name, const cef_string_t& v) {
        t += std::string(" ") + name + "=" + utf8_of(text_of(&v));
    };
    number("single_process", s.single_process);
    number("no_sandbox", s.no_sandbox);
    text("browser_subprocess_path", s.browser_subprocess_path);
    number("multi_threaded_message_loop", s.multi_threaded_message_loop);
    number("windowless_rendering_enabled", s.windowless_rendering_enabled);
    text("cache_path", s.cache_path);
    text("user_agent", s.user_agent);
    text("locale", s.locale);
    text("locales_dir_path", s.locales_dir_path);
    number("log_severity", s.log_severity);
    number("remote_debugging_port", s.remote_debugging_port);
    number("background_color", s.background_color);
    return t;
}

// With sub-processes the engine starts the program once more as its renderer, after the browser-process
// handler has seen the command line. STANDIN_RENDERER_ARGUMENTS adds arguments for a test program.
void launch_renderer() {
    wchar_t exe[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
    command_line_text child;
    child.program = std::wstring(exe, n);
    child.switches.emplace_back(L"type", L"renderer");
    engine_ref<cef_command_line_t> line = make_command_line(child);
    auto handler = get_handler(application(), &cef_app_t::get_browser_process_handler, "cef_browser_process_handler_t");
    if (handler && handler->on_before_child_process_launch) handler->on_before_child_process_launch(handler.get(), line.pass());
    handler.reset();
    child = command_line_of(line.get());
    std::wstring text = L"\"" + child.program + L"\"";
    for (const auto& [name, value] : child.switches) text += L" --" + name + (value.empty() ? L"" : L"=" + value);
    for (const std::wstring& a : child.arguments) text += L" " + a;
    wchar_t extra[1024];
    const DWORD extra_length = ::GetEnvironmentVariableW(L"STANDIN_RENDERER_ARGUMENTS", extra, 1024);
    if (extra_length > 0 && extra_length < 1024) text += L" " + std::wstring(extra, extra_length);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started = ::CreateProcessW(nullptr, text.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    record("launch_renderer", started ? switches_text(child) : "failed");
    if (started) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
}

} // namespace

bool engine_running() noexcept { return running.load() != nullptr; }

bool on_thread(cef_thread_id_t thread) noexcept {
    const engine_state* e = running.load();
    if (!e) return false;
    switch (thread) {
    case TID_UI: return ::GetCurrentThreadId() == e->ui_thread;
    case TID_RENDERER: return std::this_thread::get_id() == e->renderer_thread;
    default: return std::this_thread::get_id() == e->io_thread;
    }
}

void post(cef_thread_id_t thread, std::function<void()> task) {
    engine_state* e = running.load();
    if (!e) return;
    switch (thread) {
    case TID_UI: {
        const std::lock_guard lock(ui_lock);
        ui_queue.push_back(std::move(task));
        break;
    }
    case TID_RENDERER: e->renderer->post(std::move(task)); break;
    default: e->io->post(std::move(task)); break;
    }
}

void run_on(cef_thread_id_t thread, const std::function<void()>& task) {
    if (on_thread(thread) || !engine_running()) {
        run_guarded(task);
        return;
    }
    std::mutex done_lock;
    std::condition_variable done_signal;
    bool done = false;
    post(thread, [&] {
        run_guarded(task);
        const std::lock_guard lock(done_lock);
        done = true;
        done_signal.notify_one();
    });
    std::unique_lock lock(done_lock);
    done_signal.wait(lock, [&] { return done; });
}

cef_app_t* application() noexcept {
    const engine_state* e = running.load();
    return e ? e->app.get() : nullptr;
}

HINSTANCE module_instance() noexcept {
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&module_instance), &module);
    return module;
}

} // namespace kq::standin

using namespace kq::standin;

extern "C" {

int cef_execute_process(const cef_main_args_t*, cef_app_t* app, void*) {
    held<cef_app_t> given(kq::engine_ref<cef_app_t>::adopt(app), "cef_app_t");
    const std::wstring type = process_type();
    if (type.empty()) {
        record("cef_execute_process", "-1");
        return -1;
    }
    const std::string switches = process_command_line(app, type, ::GetCommandLineW());
    record("cef_execute_process", "type=" + utf8_of(type) + " " + switches);
    if (const char* file = std::getenv("STANDIN_SWITCHES_FILE")) {
        std::ofstream(file, std::ios::binary) << switches << '\n';
    }
    return 0;
}

int cef_initialize(const cef_main_args_t*, const cef_settings_t* settings, cef_app_t* app, void*) {
    held<cef_app_t> given(kq::engine_ref<cef_app_t>::adopt(app), "cef_app_t");
    if (!settings || settings->size != sizeof(cef_settings_t)) {
        record("cef_initialize", "rejected: settings size " + std::to_string(settings ? settings->size : 0));
        return 0;
    }
    if (engine_running()) {
        record("cef_initialize", "rejected: already initialised");
        return 0;
    }
    set_thread_name("ui");
    record("cef_initialize", settings_text(*settings));
    auto state = std::make_unique<engine_state>();
    state->ui_thread = ::GetCurrentThreadId();
    state->app = std::move(given);
    state->io = std::make_unique<worker>("io");
    state->renderer = std::make_unique<worker>("renderer");
    state->io_thread = state->io->id();
    state->renderer_thread = state->renderer->id();
    running.store(state.release());
    ever_initialised = true;
    register_page_class();
    record("command_line", process_command_line(app, std::wstring(), ::GetCommandLineW()));
    if (!settings->single_process) launch_renderer();
    post_ui([] {
        cef_app_t* a = application();
        auto handler = get_handler(a, &cef_app_t::get_browser_process_handler, "cef_browser_process_handler_t");
        if (handler && handler->on_context_initialized) handler->on_context_initialized(handler.get());
    });
    return 1;
}

void cef_shutdown(void) {
    record("cef_shutdown", "browsers=" + std::to_string(live_browser_count()));
    // From here on nothing new is queued; the workers finish what they have.
    std::unique_ptr<engine_state> e(running.exchange(nullptr));
    if (!e) return;
    e->io->stop();
    e->renderer->stop();
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(ui_lock);
        dropped.swap(ui_queue);
    }
    dropped.clear();
    close_remaining_browsers();
    forget_extensions();
    forget_scheme_handler_factories();
    unregister_page_class();
    e.reset();
    set_thread_name(nullptr);
}

void cef_do_message_loop_work(void) {
    if (!on_thread(TID_UI)) {
        if (engine_running()) record("cef_do_message_loop_work", "not on the UI thread");
        return;
    }
    if (in_loop_work) {
        record("cef_do_message_loop_work", "re-entered");
        return;
    }
    in_loop_work = true;
    for (;;) {
        std::function<void()> task;
        {
            const std::lock_guard lock(ui_lock);
            if (ui_queue.empty()) break;
            task = std::move(ui_queue.front());
            ui_queue.pop_front();
        }
        run_guarded(task);
    }
    in_loop_work = false;
}

int cef_currently_on(cef_thread_id_t thread) { return on_thread(thread) ? 1 : 0; }

int cef_post_task(cef_thread_id_t thread, cef_task_t* task) {
    auto given = std::make_shared<held<cef_task_t>>(kq::engine_ref<cef_task_t>::adopt(task), "cef_task_t");
    if (!engine_running() || !task) return 0;
    post(thread, [given] {
        if ((*given)->execute) (*given)->execute(given->get());
        given->reset();
    });
    return 1;
}

int cef_post_delayed_task(cef_thread_id_t thread, cef_task_t* task, int64) { return cef_post_task(thread, task); }

} // extern "C"

// Unloaded by the program (not at its end): the objects still alive, which a clean shutdown leaves none of.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_DETACH && !reserved && kq::standin::ever_initialised)
        kq::standin::record("unload", "live=" + std::to_string(standin_live_count(nullptr)));
    return TRUE;
}
