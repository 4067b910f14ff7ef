// Simple timers on their shared hidden window, ticking through the message loop.
#include "skin/uSimpleTimer.h"

#include "tests/framework/visual/VisualFixture.h"

#include <memory>

namespace kq::test {
namespace {

using TSimpleTimerTest = visual_test;

TEST_F(TSimpleTimerTest, IntervalZeroStaysStopped) {
    TSimpleTimer timer(0, [](TObject*) {});
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(SimpleTimerHandler()->ActiveCount(), 0);
}

TEST_F(TSimpleTimerTest, TicksUntilDisabledAndSuspendsWithoutHandlerOrInterval) {
    int ticks = 0;
    TSimpleTimer timer(10, [&](TObject* sender) {
        EXPECT_NE(sender, nullptr);
        ++ticks;
    });
    timer.SetEnabled(true);
    EXPECT_TRUE(pump_until([&] { return ticks >= 3; }));
    // No interval: suspended, still Enabled; a new interval runs it again.
    timer.SetInterval(0);
    EXPECT_TRUE(timer.Enabled());
    const int suspended = ticks;
    pump_until([] { return false; }, 80);
    EXPECT_EQ(ticks, suspended);
    timer.SetInterval(10);
    EXPECT_TRUE(pump_until([&] { return ticks > suspended; }));
    timer.SetEnabled(false);
    const int stopped = ticks;
    pump_until([] { return false; }, 80);
    EXPECT_EQ(ticks, stopped);
}

TEST_F(TSimpleTimerTest, AutoDisableFiresOncePerEnabling) {
    int ticks = 0;
    TSimpleTimer timer(5, [&](TObject*) { ++ticks; });
    timer.SetAutoDisable(true);
    for (int round = 1; round <= 2; ++round) {
        timer.SetEnabled(true);
        EXPECT_TRUE(pump_until([&] { return ticks == round; }));
        EXPECT_FALSE(timer.Enabled());
        pump_until([] { return false; }, 60);
        EXPECT_EQ(ticks, round);
    }
}

TEST_F(TSimpleTimerTest, TheSharedWindowGoesWithTheLastTimer) {
    const int orders[][3] = {{0, 1, 2}, {2, 1, 0}, {1, 2, 0}};
    for (const auto& order : orders) {
        std::unique_ptr<TSimpleTimer> timers[3];
        for (auto& t : timers) t = std::make_unique<TSimpleTimer>();
        ASSERT_NE(SimpleTimerHandler(), nullptr);
        const HWND window = SimpleTimerHandler()->WindowHandle();
        EXPECT_EQ(SimpleTimerHandler()->RefCount(), 3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NE(SimpleTimerHandler(), nullptr);
            timers[order[i]].reset();
        }
        EXPECT_EQ(SimpleTimerHandler(), nullptr);
        EXPECT_FALSE(::IsWindow(window));
    }
}

// The identifier is the object's full address (pointer-sized); a tick for a freed timer is dropped.
TEST_F(TSimpleTimerTest, AStaleTickIsIgnored) {
    int ticks = 0;
    TSimpleTimer keeper(1000, [&](TObject*) { ++ticks; });
    auto gone = std::make_unique<TSimpleTimer>(1000, [&](TObject*) { ++ticks; });
    EXPECT_EQ(gone->TimerId(), reinterpret_cast<std::uintptr_t>(gone.get()));
    const std::uintptr_t stale = gone->TimerId();
    gone.reset();
    ::PostMessageW(SimpleTimerHandler()->WindowHandle(), WM_TIMER, stale, 0);
    ::PostMessageW(SimpleTimerHandler()->WindowHandle(), WM_TIMER, keeper.TimerId(), 0);
    EXPECT_TRUE(pump_until([&] { return ticks == 1; }));
    pump_until([] { return false; }, 30);
    EXPECT_EQ(ticks, 1);
}

} // namespace
} // namespace kq::test
