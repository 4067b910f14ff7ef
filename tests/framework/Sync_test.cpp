#include "framework/Sync.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

using namespace kq;

namespace {

bool try_from_other_thread(TCriticalSection& cs) {
    bool entered = false;
    std::thread([&] {
        entered = cs.TryEnter();
        if (entered) cs.Leave();
    }).join();
    return entered;
}

// Without spinning, and spinning before it sleeps (the browser framework's locks on several processors).
class TCriticalSectionTest : public ::testing::TestWithParam<std::uint32_t> {};

} // namespace

TEST_P(TCriticalSectionTest, OwnerReentersAndOthersWaitUntilLastLeave) {
    TCriticalSection cs(GetParam());
    cs.Enter();
    ASSERT_TRUE(cs.TryEnter()) << "re-entrant for the owning thread";
    EXPECT_FALSE(try_from_other_thread(cs));
    cs.Leave();
    EXPECT_FALSE(try_from_other_thread(cs)) << "still held once";
    cs.Leave();
    EXPECT_TRUE(try_from_other_thread(cs));
}

TEST_P(TCriticalSectionTest, SerialisesThreads) {
    TCriticalSection cs(GetParam());
    long counter = 0; // guarded by cs
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                std::lock_guard hold(cs);
                counter = counter + 1;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(counter, 80000);
}

INSTANTIATE_TEST_SUITE_P(SpinCounts, TCriticalSectionTest, ::testing::Values(0u, 4000u));
