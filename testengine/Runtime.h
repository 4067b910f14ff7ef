#pragma once
// The stand-in's threads and UI queue.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineRef.h"
#include "engine/cef_capi.h"

// The stand-in engine's threads: the UI queue (drained by cef_do_message_loop_work on the thread that
// initialised the engine), an IO thread and an in-process renderer thread.
namespace kq::standin {

bool engine_running() noexcept;
bool on_thread(cef_thread_id_t thread) noexcept;

// Queues work on a thread: TID_UI, TID_IO or TID_RENDERER (any other runs on the IO thread).
// Nothing runs once the engine has shut down.
void post(cef_thread_id_t thread, std::function<void()> task);
inline void post_ui(std::function<void()> task) { post(TID_UI, std::move(task)); }
// Runs a task on a thread and waits for it (at once when already there).
void run_on(cef_thread_id_t thread, const std::function<void()>& task);

// The application object given to cef_initialize (none before and after).
cef_app_t* application() noexcept;
HINSTANCE module_instance() noexcept;

// The engine's view of a command line.
struct command_line_text {
    std::wstring program;
    std::vector<std::pair<std::wstring, std::wstring>> switches;
    std::vector<std::wstring> arguments;
};
command_line_text parse_command_line(const std::wstring& text);
engine_ref<cef_command_line_t> make_command_line(command_line_text value);
command_line_text command_line_of(cef_command_line_t* line);
// "--a --b=c" for the record.
std::string switches_text(const command_line_text& line);

// Browsers: counts the live ones; at shutdown, closes what is left without telling the client.
int live_browser_count();
void close_remaining_browsers();
void register_page_class();
void unregister_page_class();

} // namespace kq::standin
