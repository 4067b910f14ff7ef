#include "framework/Threads.h"

#include "framework/Exceptions.h"
#include "framework/Win32Handles.h"
#include "framework/WindowLayer.h"

#include <process.h>

#include <cassert>
#include <optional>

namespace kq {

namespace detail {

struct thread_state {
    TThread::execute_method execute;
    TThread* owner = nullptr;
    unique_kernel_handle handle;
    DWORD id = 0;
    std::atomic<bool> terminated{false};
    TEvent terminate_event{true, false};
    // GUI thread only: true while one of this thread's hand-overs runs.
    bool in_hand_over = false;
};

} // namespace detail

namespace {

constexpr UINT msg_synchronize = WM_USER + 1; // LParam: hand_over*, owned by the sender
constexpr UINT msg_queue = WM_USER + 2;       // LParam: std::function<void()>*, owned by the message

// The hand-over window: written on the GUI thread at start-up and shutdown, read by any thread.
std::atomic<HWND> hand_over_window{nullptr};

// One synchronous call, on the sender's stack for the duration of the send.
struct hand_over {
    const std::function<void()>* method;
    detail::thread_state* thread; // null for a call from a thread that is not a TThread
    std::exception_ptr error;
    bool ran = false;
};

void run_hand_over(hand_over& call) {
    detail::thread_state* thread = call.thread;
    if (thread && thread->terminated) return;
    if (thread) thread->in_hand_over = true;
    try {
        (*call.method)();
    } catch (...) {
        call.error = std::current_exception();
    }
    // The sender holds the state until the send returns, so it is still there.
    if (thread) thread->in_hand_over = false;
    call.ran = true;
}

void run_queued(LPARAM call) {
    const std::unique_ptr<std::function<void()>> method(reinterpret_cast<std::function<void()>*>(call));
    (*method)();
}

void hand_over_method(TMessage& m) {
    switch (m.Msg) {
    case msg_synchronize:
        run_hand_over(*reinterpret_cast<hand_over*>(m.LParam));
        return;
    case msg_queue:
        run_queued(m.LParam);
        return;
    default:
        m.Result = ::DefWindowProcW(hand_over_window.load(), m.Msg, m.WParam, m.LParam);
    }
}

// Reports an exception caught on another thread where the user can see it: on the GUI thread.
bool forward_to_gui_thread(const std::exception_ptr& error) {
    if (on_gui_thread()) return false;
    return Queue([error] { handle_exception(error); });
}

} // namespace

bool dispatch_pending_messages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return true;
}

namespace {

TWaitResult plain_result(DWORD result) {
    switch (result) {
    case WAIT_OBJECT_0: return TWaitResult::wrSignaled;
    case WAIT_ABANDONED_0: return TWaitResult::wrAbandoned;
    case WAIT_FAILED: return TWaitResult::wrError;
    case WAIT_IO_COMPLETION: return TWaitResult::wrIOCompletion;
    default: return TWaitResult::wrTimeout;
    }
}

unsigned __stdcall thread_entry(void* parameter) {
    const std::unique_ptr<std::shared_ptr<detail::thread_state>> holder(
        static_cast<std::shared_ptr<detail::thread_state>*>(parameter));
    // Keeps the state alive even when the owner goes while a hand-over runs.
    const std::shared_ptr<detail::thread_state> state = *holder;
    guard_callback([&] { state->execute(*state->owner); });
    return 0;
}

} // namespace

// --- The GUI thread

void threads_startup() {
    assert(!hand_over_window.load());
    set_gui_thread();
    hand_over_window.store(AllocateHWnd(hand_over_method));
    set_exception_forwarder(forward_to_gui_thread);
}

void threads_shutdown() {
    assert_gui_thread();
    const HWND window = hand_over_window.exchange(nullptr);
    if (!window) return;
    set_exception_forwarder(nullptr);
    MSG msg;
    std::optional<int> quit;
    while (::PeekMessageW(&msg, window, msg_queue, msg_queue, PM_REMOVE)) {
        // A pending WM_QUIT passes every filter; it is put back for the caller's loop.
        if (msg.message == WM_QUIT) {
            quit = static_cast<int>(msg.wParam);
            continue;
        }
        guard_callback([&] { run_queued(msg.lParam); });
    }
    if (quit) ::PostQuitMessage(*quit);
    // The thread stays the GUI thread: other threads must not take a call as their own after shutdown.
    DeallocateHWnd(window);
}

bool Synchronize(const std::function<void()>& method) {
    if (on_gui_thread()) {
        method();
        return true;
    }
    const HWND window = hand_over_window.load();
    if (!window) return false;
    hand_over call{&method, nullptr, nullptr};
    ::SendMessageW(window, msg_synchronize, 0, reinterpret_cast<LPARAM>(&call));
    if (call.error) std::rethrow_exception(call.error);
    return call.ran;
}

bool Queue(std::function<void()> method) {
    const HWND window = hand_over_window.load();
    if (!window) return false;
    auto call = std::make_unique<std::function<void()>>(std::move(method));
    if (!::PostMessageW(window, msg_queue, 0, reinterpret_cast<LPARAM>(call.get()))) return false;
    call.release(); // now owned by the message
    return true;
}

// --- Waiting

TWaitResult wait_for_handle(HANDLE handle, DWORD milliseconds, wait_serving serving) {
    if (!on_gui_thread()) return plain_result(::WaitForSingleObject(handle, milliseconds));
    const DWORD wake = serving == wait_serving::all_input ? QS_ALLINPUT : QS_SENDMESSAGE;
    // Input already in the queue counts even when something looked at it before this wait began (a
    // nested wait inside a dispatched message): otherwise a pending timer would not wake it. Sent messages
    // are always served on a look, so they need no such flag (and a posted one must not wake that wait).
    const DWORD flags = serving == wait_serving::all_input ? MWMO_INPUTAVAILABLE : 0;
    DWORD remaining = milliseconds;
    for (;;) {
        const DWORD start = ::GetTickCount();
        const DWORD result = ::MsgWaitForMultipleObjectsEx(1, &handle, remaining, wake, flags);
        if (result != WAIT_OBJECT_0 + 1) return plain_result(result);
        if (serving == wait_serving::all_input) {
            if (!dispatch_pending_messages()) return TWaitResult::wrTimeout;
        } else {
            MSG msg;
            ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        if (remaining == INFINITE) continue;
        // Time spent serving counts: steady input must not extend the wait.
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= remaining) return TWaitResult::wrTimeout;
        remaining -= elapsed;
    }
}

// --- TEvent

TEvent::TEvent(bool manual_reset, bool initial_state)
    : FHandle(::CreateEventW(nullptr, manual_reset, initial_state, nullptr)) {
    if (!FHandle) RaiseLastOSError();
}

void TEvent::SetEvent() noexcept { ::SetEvent(FHandle.get()); }

void TEvent::ResetEvent() noexcept { ::ResetEvent(FHandle.get()); }

TWaitResult TEvent::WaitFor(DWORD milliseconds) const noexcept {
    return plain_result(::WaitForSingleObject(FHandle.get(), milliseconds));
}

// --- TThread

TThread::TThread(execute_method execute) : FState(std::make_shared<detail::thread_state>()) {
    FState->execute = std::move(execute);
    FState->owner = this;
    auto parameter = std::make_unique<std::shared_ptr<detail::thread_state>>(FState);
    unsigned id = 0;
    const auto handle = ::_beginthreadex(nullptr, 0, thread_entry, parameter.get(), 0, &id);
    if (!handle) RaiseLastOSError();
    parameter.release(); // the thread owns it now
    FState->handle.reset(reinterpret_cast<HANDLE>(handle));
    FState->id = id;
}

TThread::~TThread() {
    Terminate();
    if (on_gui_thread() && FState->in_hand_over) {
        // The thread waits for this hand-over to return; join it once it has.
        Queue([state = FState] { wait_for_handle(state->handle.get(), INFINITE, wait_serving::sent_messages); });
        return;
    }
    WaitFor();
}

void TThread::Terminate() noexcept {
    FState->terminated = true;
    FState->terminate_event.SetEvent();
}

bool TThread::Terminated() const noexcept { return FState->terminated; }

void TThread::WaitFor() { wait_for_handle(FState->handle.get(), INFINITE, wait_serving::sent_messages); }

DWORD TThread::ThreadID() const noexcept { return FState->id; }

bool TThread::Synchronize(const std::function<void()>& method) {
    // A copy: after the send this object may be gone.
    const std::shared_ptr<detail::thread_state> state = FState;
    if (state->terminated) return false;
    const HWND window = hand_over_window.load();
    if (!window) return false;
    hand_over call{&method, state.get(), nullptr};
    ::SendMessageW(window, msg_synchronize, 0, reinterpret_cast<LPARAM>(&call));
    if (state->terminated) {
        if (call.error) handle_exception(call.error);
        return false;
    }
    if (call.error) std::rethrow_exception(call.error);
    return call.ran;
}

bool TThread::pause(DWORD milliseconds) noexcept {
    FState->terminate_event.WaitFor(milliseconds);
    return !FState->terminated;
}

} // namespace kq
