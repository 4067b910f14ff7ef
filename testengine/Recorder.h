#pragma once
// The record of calls and live-object counts.
#include <string>
#include <string_view>

// The stand-in engine's record of calls and its live-object counts, read by tests through the control
// exports (standin_*).
namespace kq::standin {

// Appends one call, with the name of the thread it ran on, to the record.
void record(std::string_view name, std::string_view detail = {});

// Names the calling thread in the record ("ui", "io", "renderer"); unnamed threads are "other".
void set_thread_name(const char* name) noexcept;
const char* thread_name() noexcept;

// Live objects of one kind: the stand-in's own objects it handed out and the references it holds to
// objects it received.
void count_up(std::string_view kind);
void count_down(std::string_view kind);

} // namespace kq::standin
