#pragma once
// TThread, Synchronize, Queue, TEvent, waiting that serves messages.
#include "framework/Win32Handles.h"
#include "framework/WindowLayer.h"

#include <atomic>
#include <functional>
#include <memory>

namespace kq {

// --- The GUI thread

// Makes the calling thread the GUI thread and creates the one hidden window through which other threads
// reach it; also routes exceptions caught off the GUI thread there. forms_startup calls it.
void threads_startup();
// Runs the calls still queued for the GUI thread, then destroys the window. Call on the GUI thread.
void threads_shutdown();

// Runs method on the GUI thread and returns once it has run: at once when called there, else through the
// hidden window while the caller blocks. An exception of method is rethrown to the caller. Before
// threads_startup or after threads_shutdown a call from another thread does not run method and returns
// false.
bool Synchronize(const std::function<void()>& method);

// Queues method to run later on the GUI thread and returns at once (false when there is no GUI thread to
// queue to). An exception of method goes to the application's handler there.
bool Queue(std::function<void()> method);

// --- Waiting

// Outcomes of a wait, in the order the system's wait results use.
enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError, wrIOCompletion };

enum class wait_serving {
    sent_messages, // only messages other threads send to this one are handled; the queue is left alone
    all_input,     // every queued message is dispatched as well
};

// Waits up to milliseconds (INFINITE allowed) for handle. On the GUI thread messages are served while it
// waits, as serving says; a WM_QUIT met while dispatching is put back into the queue and ends the wait
// with wrTimeout, so the caller's message loop still sees it. Elsewhere it is the plain wait.
TWaitResult wait_for_handle(HANDLE handle, DWORD milliseconds, wait_serving serving);

// Translates and dispatches every message queued for the calling thread. False when a WM_QUIT was met: it
// is put back into the queue and the rest stays queued for the caller's loop.
bool dispatch_pending_messages();

// --- Event

// An owned event object (manual or automatic reset).
class TEvent {
public:
    TEvent(bool manual_reset, bool initial_state);

    void SetEvent() noexcept;
    void ResetEvent() noexcept;
    HANDLE Handle() const noexcept { return FHandle.get(); }
    // The plain wait: no messages are served.
    TWaitResult WaitFor(DWORD milliseconds) const noexcept;

private:
    unique_kernel_handle FHandle;
};

// --- Thread

namespace detail {
struct thread_state;
}

// An owned thread that runs Execute once, starting at construction. Destroying it terminates it and waits
// for its end; on the GUI thread the wait keeps serving its hand-overs, so a tick being handed over
// completes. Destroyed from inside its own hand-over, the thread ends right after that hand-over returns
// and is joined later on the GUI thread. An exception leaving Execute goes to the application's handler
// on the GUI thread.
class TThread {
public:
    using execute_method = std::function<void(TThread& thread)>;

    explicit TThread(execute_method execute);
    ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Asks the thread to end: Terminated becomes true and a pause in progress ends.
    void Terminate() noexcept;
    bool Terminated() const noexcept;
    // Terminates nothing; waits for Execute to return (serving hand-overs when on the GUI thread).
    void WaitFor();
    DWORD ThreadID() const noexcept;

    // From Execute: runs method on the GUI thread and waits for it. False when the thread was terminated
    // before or during the hand-over: Execute must then return without touching what it captured, whose
    // owner may be gone. An exception of method is rethrown here.
    bool Synchronize(const std::function<void()>& method);
    // From Execute: sleeps milliseconds, or less when terminated meanwhile; false when terminated.
    bool pause(DWORD milliseconds) noexcept;

private:
    std::shared_ptr<detail::thread_state> FState;
};

} // namespace kq
