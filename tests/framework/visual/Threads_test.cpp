#include "framework/Threads.h"

#include "VisualFixture.h"

#include "framework/Exceptions.h"
#include "framework/Timers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace kq::test {
namespace {

// Records every exception the application's handler receives, with the thread it was reported on.
struct reported {
    String message;
    DWORD thread;
};
std::mutex reports_lock;
std::vector<reported> reports;

void recording_handler(const std::exception_ptr& error) {
    const std::lock_guard lock(reports_lock);
    reports.push_back({exception_message(error), ::GetCurrentThreadId()});
}

class threads_test : public visual_test {
protected:
    void SetUp() override {
        visual_test::SetUp();
        reports.clear();
        FPrevious = get_exception_handler();
        set_exception_handler(recording_handler);
    }
    void TearDown() override {
        set_exception_handler(FPrevious);
        visual_test::TearDown();
    }
    static size_t report_count() {
        const std::lock_guard lock(reports_lock);
        return reports.size();
    }

private:
    exception_handler FPrevious = nullptr;
};

TEST_F(threads_test, GuiThreadIsTheOneThatStartedTheFramework) {
    EXPECT_EQ(gui_thread_id(), ::GetCurrentThreadId());
    EXPECT_TRUE(on_gui_thread());
    bool other = true;
    std::thread([&] { other = on_gui_thread(); }).join();
    EXPECT_FALSE(other);
}

TEST_F(threads_test, SynchronizeRunsOnTheGuiThreadWhileTheCallerWaits) {
    DWORD ran_on = 0;
    bool returned = false, done_before_return = false;
    TThread worker([&](TThread& self) {
        bool done = false;
        returned = self.Synchronize([&] {
            ran_on = ::GetCurrentThreadId();
            done = true;
        });
        done_before_return = done;
    });
    worker.WaitFor();
    EXPECT_EQ(ran_on, ::GetCurrentThreadId());
    EXPECT_TRUE(returned);
    EXPECT_TRUE(done_before_return);
}

TEST_F(threads_test, SynchronizeOnTheGuiThreadRunsAtOnce) {
    int runs = 0;
    EXPECT_TRUE(Synchronize([&] { ++runs; }));
    EXPECT_EQ(runs, 1);
}

TEST_F(threads_test, AnExceptionOfAHandOverIsRethrownToTheCaller) {
    struct row {
        const char* name;
        bool through_thread;
    };
    for (const row r : {row{"TThread", true}, row{"plain thread", false}}) {
        SCOPED_TRACE(r.name);
        String caught;
        const auto body = [&](const std::function<bool(const std::function<void()>&)>& sync) {
            try {
                sync([] { throw EConvertError(u"bad value"); });
            } catch (const Exception& e) {
                caught = e.Message();
            }
        };
        if (r.through_thread) {
            TThread worker([&](TThread& self) { body([&](const auto& m) { return self.Synchronize(m); }); });
            worker.WaitFor();
        } else {
            TEvent finished(true, false);
            std::thread t([&] {
                body([](const auto& m) { return Synchronize(m); });
                finished.SetEvent();
            });
            EXPECT_EQ(wait_for_handle(finished.Handle(), 10'000, wait_serving::sent_messages),
                      TWaitResult::wrSignaled);
            t.join();
        }
        EXPECT_EQ(caught, u"bad value");
        EXPECT_EQ(report_count(), 0u);
    }
}

TEST_F(threads_test, QueuedCallsRunLaterOnTheGuiThreadInOrder) {
    std::vector<std::pair<int, DWORD>> runs;
    std::thread([&] {
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(Queue([&runs, i] { runs.push_back({i, ::GetCurrentThreadId()}); }));
    }).join();
    EXPECT_TRUE(runs.empty());
    ASSERT_TRUE(pump_until([&] { return runs.size() == 3; }));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(runs[i].first, i);
        EXPECT_EQ(runs[i].second, ::GetCurrentThreadId());
    }
}

TEST_F(threads_test, ExceptionsCaughtOffTheGuiThreadAreReportedOnIt) {
    {
        TThread worker([](TThread&) { throw EOSError(u"from a worker", 5); });
        worker.WaitFor();
    }
    std::thread([] { guard_callback([] { throw Exception(u"from an engine callback"); }); }).join();
    EXPECT_EQ(report_count(), 0u) << "not reported from the thread that caught it";
    ASSERT_TRUE(pump_until([] { return report_count() == 2; }));
    EXPECT_EQ(reports[0].message, u"from a worker");
    EXPECT_EQ(reports[1].message, u"from an engine callback");
    for (const reported& r : reports) EXPECT_EQ(r.thread, ::GetCurrentThreadId());
}

TEST_F(threads_test, QueuedCallsStillPendingRunAtShutdown) {
    int runs = 0;
    std::thread([&] { Queue([&] { ++runs; }); }).join();
    ::PostQuitMessage(4); // the application's loop has ended; its quit must survive the shutdown
    std::thread([&] { Queue([&] { ++runs; }); }).join();
    threads_shutdown();
    EXPECT_EQ(runs, 2);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, unsigned(WM_QUIT));
    EXPECT_EQ(msg.wParam, 4u);
    bool synchronized = true, queued = true;
    std::thread([&] {
        synchronized = Synchronize([] {});
        queued = Queue([] {});
    }).join();
    EXPECT_FALSE(synchronized);
    EXPECT_FALSE(queued);
    threads_startup(); // for the fixture's shutdown
}

// A ticking worker in the shape of an animation clock: hands a tick over, then pauses.
struct ticker {
    std::atomic<int> ticks{0};
    std::unique_ptr<TThread> thread;
    std::function<void()> on_tick;

    void start() {
        thread = std::make_unique<TThread>([this](TThread& self) {
            while (!self.Terminated()) {
                if (!self.Synchronize([this] {
                        ++ticks;
                        if (on_tick) on_tick();
                    }))
                    return; // the owner may be gone
                if (!self.pause(5)) return;
            }
        });
    }
};

TEST_F(threads_test, StoppingFromTheGuiThreadWaitsForTheWorkerAndServesItsHandOver) {
    ticker t;
    t.start();
    ASSERT_TRUE(pump_until([&] { return t.ticks >= 3; }));
    const DWORD id = t.thread->ThreadID();
    t.thread.reset(); // joins
    const unique_kernel_handle h{::OpenThread(SYNCHRONIZE, FALSE, id)};
    if (h) {
        EXPECT_EQ(::WaitForSingleObject(h.get(), 0), WAIT_OBJECT_0);
    }
    const int after = t.ticks;
    pump_until([] { return false; }, 50);
    EXPECT_EQ(t.ticks, after);
}

TEST_F(threads_test, AWorkerCanBeStoppedFromInsideItsOwnHandOver) {
    auto t = std::make_unique<ticker>();
    bool stopped = false;
    t->on_tick = [&] {
        if (t->ticks == 2) {
            t->thread.reset(); // must not wait for the worker that waits for us
            stopped = true;
        }
    };
    t->start();
    ASSERT_TRUE(pump_until([&] { return stopped; }));
    const int ticks = t->ticks;
    pump_until([] { return false; }, 100);
    EXPECT_EQ(t->ticks, ticks);
    EXPECT_EQ(report_count(), 0u);
}

TEST_F(threads_test, PauseEndsEarlyWhenTerminated) {
    std::atomic<bool> result{true};
    const DWORD start = ::GetTickCount();
    {
        TThread worker([&](TThread& self) { result = self.pause(60'000); });
        ::Sleep(20);
    } // terminates and joins
    EXPECT_LT(::GetTickCount() - start, 5'000u);
    EXPECT_FALSE(result);
}

TEST_F(threads_test, EventWaits) {
    TEvent manual(true, false);
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrTimeout);
    manual.SetEvent();
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrSignaled) << "manual reset stays set";
    manual.ResetEvent();
    EXPECT_EQ(manual.WaitFor(0), TWaitResult::wrTimeout);
    TEvent automatic(false, true);
    EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrSignaled);
    EXPECT_EQ(automatic.WaitFor(0), TWaitResult::wrTimeout) << "automatic reset clears on a wait";
}

// --- Waiting on the GUI thread

TEST_F(threads_test, WaitWithoutTimeReturnsAtOnce) {
    TEvent event(true, false);
    for (const wait_serving serving : {wait_serving::sent_messages, wait_serving::all_input}) {
        const DWORD start = ::GetTickCount();
        EXPECT_EQ(wait_for_handle(event.Handle(), 0, serving), TWaitResult::wrTimeout);
        EXPECT_LT(::GetTickCount() - start, 200u);
    }
    event.SetEvent();
    EXPECT_EQ(wait_for_handle(event.Handle(), 0, wait_serving::all_input), TWaitResult::wrSignaled);
}

TEST_F(threads_test, WaitServesMessagesSentByOtherThreads) {
    // A worker blocked on a send to the GUI thread can only set the event once the send is served.
    for (const wait_serving serving : {wait_serving::sent_messages, wait_serving::all_input}) {
        TEvent event(true, false);
        int served = 0;
        const unique_hidden_window target{AllocateHWnd([&](TMessage& m) {
            if (m.Msg == WM_USER + 7) ++served;
        })};
        std::thread worker([&] {
            ::SendMessageW(target.get(), WM_USER + 7, 0, 0);
            event.SetEvent();
        });
        EXPECT_EQ(wait_for_handle(event.Handle(), 10'000, serving), TWaitResult::wrSignaled);
        worker.join();
        EXPECT_EQ(served, 1);
    }
}

TEST_F(threads_test, ServingSentMessagesOnlyLeavesTheQueueAlone) {
    int posted = 0;
    const unique_hidden_window target{AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER + 8) ++posted;
    })};
    ::PostMessageW(target.get(), WM_USER + 8, 0, 0);
    TEvent event(true, false);
    EXPECT_EQ(wait_for_handle(event.Handle(), 50, wait_serving::sent_messages), TWaitResult::wrTimeout);
    EXPECT_EQ(posted, 0);
    EXPECT_EQ(wait_for_handle(event.Handle(), 50, wait_serving::all_input), TWaitResult::wrTimeout);
    EXPECT_EQ(posted, 1);
}

// A wait that starts after the queue was looked at (a nested wait inside a dispatched message, say) still
// serves what was already waiting there: the engine's loop timer that delivers replies is such a message.
TEST_F(threads_test, InputAlreadySeenBeforeTheWaitIsServed) {
    TEvent event(true, false);
    const unique_hidden_window target{AllocateHWnd([&](TMessage& m) {
        if (m.Msg == WM_USER + 9) event.SetEvent();
    })};
    ::PostMessageW(target.get(), WM_USER + 9, 0, 0);
    ::GetQueueStatus(QS_ALLINPUT); // the posted message is now seen, not new
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(wait_for_handle(event.Handle(), 3'000, wait_serving::all_input), TWaitResult::wrSignaled);
    EXPECT_LT(::GetTickCount() - start, 1'000u);
}

TEST_F(threads_test, AQuitMessageSeenWhileWaitingIsKept) {
    TEvent event(true, false);
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
    ::PostQuitMessage(3);
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(wait_for_handle(event.Handle(), 5'000, wait_serving::all_input), TWaitResult::wrTimeout);
    EXPECT_LT(::GetTickCount() - start, 2'000u) << "the quit ends the wait";
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, unsigned(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(threads_test, SteadyInputDoesNotExtendTheWait) {
    TEvent event(true, false);
    DWORD elapsed = 0;
    {
        const steady_input input;
        const DWORD start = ::GetTickCount();
        EXPECT_EQ(wait_for_handle(event.Handle(), 1'000, wait_serving::all_input), TWaitResult::wrTimeout);
        elapsed = ::GetTickCount() - start;
    }
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 1'500u);
}

} // namespace
} // namespace kq::test
