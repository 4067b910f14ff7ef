#include "tabs/PageTabsThreadTimer.h"

#include "framework/Forms.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <tlhelp32.h>

#include <chrono>
#include <functional>
#include <stdexcept>
#include <vector>

namespace kq {
namespace {

class thread_timer : public test::visual_test {
protected:
    void SetUp() override { test::visual_test::SetUp(); }
    void TearDown() override { test::visual_test::TearDown(); }

    // Serves the GUI thread's messages (and so the timer's hand-overs) for the time given, or until done.
    static void pump(int milliseconds, const std::function<bool()>& done = [] { return false; }) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done() && std::chrono::steady_clock::now() < end) {
            Application->ProcessMessages();
            ::Sleep(1);
        }
    }

    static int thread_count() {
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        THREADENTRY32 entry{};
        entry.dwSize = sizeof entry;
        int count = 0;
        for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
            count += entry.th32OwnerProcessID == ::GetCurrentProcessId();
        ::CloseHandle(snapshot);
        return count;
    }
};

// Counted by events rather than in a fixed span of wall time: a starved process sees its ticks late,
// never early, so the bounds hold under any load and still catch a timer that does not tick, or one that
// ticks faster than its interval or without its least sleep of ten milliseconds.
TEST_F(thread_timer, TicksNoFasterThanItsIntervalAndAtLeastOnceASecond) {
    struct row {
        int interval;
        int least_gap_ms; // no two hand-overs start closer than this
    };
    const row rows[] = {{50, 50}, {0, 10}, {5, 10}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.interval);
        constexpr std::size_t wanted = 21;
        TThreadTimer timer(nullptr);
        std::vector<std::chrono::steady_clock::time_point> at;
        DWORD tick_thread = 0;
        timer.OnTimer = [&](TObject* sender) {
            EXPECT_EQ(sender, &timer);
            tick_thread = ::GetCurrentThreadId();
            at.push_back(std::chrono::steady_clock::now());
        };
        timer.SetInterval(r.interval);
        const auto enabled = std::chrono::steady_clock::now();
        timer.SetEnabled(true);
        // Twenty gaps are a second at interval fifty on a quiet machine; fifteen seconds still tell a timer
        // that ticks at its interval from one that ticks at that many seconds, or not at all.
        pump(15000, [&] { return at.size() >= wanted; });
        timer.SetEnabled(false);
        ASSERT_GE(at.size(), wanted);
        // The n-th tick starts at least n gaps after the timer does; a tenth off for the clocks' grain.
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(at[wanted - 1] - enabled).count();
        EXPECT_GE(took, static_cast<long long>(wanted - 1) * r.least_gap_ms * 9 / 10);
        EXPECT_EQ(tick_thread, ::GetCurrentThreadId()); // ticks run on the GUI thread
    }
}

std::vector<String> reported;

// Each failing tick would otherwise reach the application's handler, up to forty times a second.
TEST_F(thread_timer, AFailingTickIsDroppedUnreportedAndTheTimerGoesOn) {
    const exception_handler previous = get_exception_handler();
    set_exception_handler([](const std::exception_ptr& e) { reported.push_back(exception_message(e)); });
    const auto restore = scope_exit([&] { set_exception_handler(previous); });
    reported.clear();
    TThreadTimer timer(nullptr);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) {
        ++ticks;
        if (ticks == 1) throw EConvertError(u"first tick fails");
        if (ticks == 2) throw std::runtime_error("second tick fails");
    };
    timer.SetInterval(20);
    timer.SetEnabled(true);
    pump(3000, [&] { return ticks >= 4; });
    timer.SetEnabled(false);
    EXPECT_GE(ticks, 4);
    EXPECT_EQ(reported, std::vector<String>{});
}

TEST_F(thread_timer, DisablingLeavesNoThreadAndEnablingAgainStartsAFreshOne) {
    const int before = thread_count();
    TThreadTimer timer(nullptr);
    int ticks = 0;
    timer.OnTimer = [&](TObject*) { ++ticks; };
    timer.SetInterval(20);
    EXPECT_EQ(thread_count(), before); // nothing runs until enabled
    for (int round = 1; round <= 2; ++round) {
        // No SCOPED_TRACE here: the test framework starts a thread of its own for it.
        timer.SetEnabled(true);
        EXPECT_EQ(thread_count(), before + 1) << "round " << round;
        pump(2000, [&] { return ticks >= 2 * round; });
        timer.SetEnabled(false);
        EXPECT_EQ(thread_count(), before) << "round " << round;
        const int stopped_at = ticks;
        pump(100);
        EXPECT_EQ(ticks, stopped_at) << "round " << round;
    }
}

TEST_F(thread_timer, StoppingOrFreeingItFromInsideItsTickReturns) {
    const int before = thread_count();
    int ticks = 0;
    TThreadTimer stopped(nullptr);
    stopped.OnTimer = [&](TObject*) {
        ++ticks;
        stopped.SetEnabled(false);
    };
    stopped.SetInterval(20);
    stopped.SetEnabled(true);
    pump(2000, [&] { return ticks > 0 && thread_count() == before; });
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(stopped.Enabled());

    auto* freed = new TThreadTimer(nullptr);
    bool gone = false;
    freed->OnTimer = [&](TObject*) {
        delete freed;
        gone = true;
    };
    freed->SetInterval(20);
    freed->SetEnabled(true);
    pump(2000, [&] { return gone && thread_count() == before; });
    EXPECT_TRUE(gone);
    EXPECT_EQ(thread_count(), before);
}

TEST_F(thread_timer, DesignTimeTimersNeverTick) {
    const int before = thread_count();
    TThreadTimer timer(nullptr);
    timer.SetComponentState(TComponentState{TComponentStateFlag::csDesigning});
    int ticks = 0;
    timer.OnTimer = [&](TObject*) { ++ticks; };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    EXPECT_EQ(thread_count(), before);
    pump(100);
    EXPECT_EQ(ticks, 0);
}

} // namespace
} // namespace kq
