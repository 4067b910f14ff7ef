// The skin's window-timer owner on a hidden window of its own, ticking through the message loop.
#include "skin/SkinWindowTimer.h"

#include "framework/WindowLayer.h"
#include "tests/framework/visual/VisualFixture.h"

#include <memory>
#include <vector>

namespace kq::test {
namespace {

// A hidden window that records the timer identifiers of the ticks it receives; a timer taking its tick
// is stopped as the skin's windows do.
class window_timer_test : public visual_test {
protected:
    static constexpr std::uintptr_t id = 7;
    std::vector<std::uintptr_t> ticks;
    window_timer timer{id};
    unique_hidden_window window{AllocateHWnd([this](TMessage& m) {
        if (m.Msg == WM_TIMER) {
            ticks.push_back(static_cast<std::uintptr_t>(m.WParam));
            timer.take_tick(m.WParam);
            return;
        }
        m.Result = ::DefWindowProcW(window.get(), m.Msg, m.WParam, m.LParam);
    })};
};

TEST_F(window_timer_test, FiresOnceThenStaysStopped) {
    ASSERT_TRUE(timer.start(window.get(), 5));
    EXPECT_TRUE(timer.running());
    EXPECT_TRUE(pump_until([&] { return !ticks.empty(); }));
    EXPECT_FALSE(timer.running());
    pump_until([] { return false; }, 60);
    EXPECT_EQ(ticks, std::vector<std::uintptr_t>{id});
}

TEST_F(window_timer_test, StopAndTheOwnerGoingKillTheTimer) {
    ASSERT_TRUE(timer.start(window.get(), 5));
    timer.stop();
    timer.stop(); // a second stop does nothing
    EXPECT_FALSE(timer.running());
    {
        window_timer other(id + 1);
        ASSERT_TRUE(other.start(window.get(), 5));
    }
    pump_until([] { return false; }, 60);
    EXPECT_TRUE(ticks.empty());
}

TEST_F(window_timer_test, ARefusedStartLeavesItStopped) {
    EXPECT_FALSE(timer.start(reinterpret_cast<HWND>(std::uintptr_t{0xDEAD0}), 5));
    EXPECT_FALSE(timer.running());
    timer.stop();
    // Taking a tick of another identifier is not this timer's.
    EXPECT_FALSE(timer.take_tick(id + 1));
}

} // namespace
} // namespace kq::test
