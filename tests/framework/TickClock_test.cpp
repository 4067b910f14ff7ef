#include "framework/TickClock.h"

#include <gtest/gtest.h>

using namespace kq;

TEST(TickClock, ASteppedClockStandsInForTheSystemClockWhileItLives) {
    {
        stepped_tick_clock clock(0xFFFFFFF0u);
        EXPECT_EQ(tick_count(), 0xFFFFFFF0u);
        clock.advance(0x20);
        EXPECT_EQ(tick_count(), 0x10u); // wrapped
        EXPECT_EQ(tick_difference(tick_count(), 0xFFFFFFF0u), 0x20);
        EXPECT_EQ(tick_difference(0xFFFFFFF0u, tick_count()), -0x20);
        clock.set(5);
        EXPECT_EQ(tick_count(), 5u);
    }
    // The system clock again.
    EXPECT_EQ(set_tick_clock(nullptr), nullptr);
}
