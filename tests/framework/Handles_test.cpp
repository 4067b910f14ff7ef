#include "framework/Handles.h"

// The owners come without the system's macros: each includer decides how it sees Win32.
#if defined(_WINDOWS_) || defined(GetMessage) || defined(CreateWindow) || defined(INVALID_HANDLE_VALUE)
#error "framework/Handles.h brings Win32 declarations to its includers"
#endif

#include <gtest/gtest.h>

#include <vector>

using namespace kq;

namespace {
std::vector<int> closed;
void close_fake(int h) { closed.push_back(h); }
using fake_handle = unique_handle<int, close_fake>;
} // namespace

TEST(unique_handle, ClosesOnceAndOnlyValidValues) {
    closed.clear();
    {
        fake_handle a{7};
        fake_handle none;
        fake_handle b{std::move(a)};
        EXPECT_FALSE(a);
        EXPECT_TRUE(b);
        *b.put() = 9; // put() closes 7 before handing out the address
        EXPECT_EQ(closed, std::vector<int>{7});
        fake_handle c{3};
        c = std::move(b);
        EXPECT_EQ(closed, (std::vector<int>{7, 3}));
        EXPECT_EQ(c.release(), 9);
    }
    EXPECT_EQ(closed, (std::vector<int>{7, 3}));
}

TEST(scope_exit, RunsUnlessReleased) {
    int runs = 0;
    {
        scope_exit undo{[&] { ++runs; }};
        scope_exit kept{[&] { runs += 10; }};
        kept.release();
    }
    EXPECT_EQ(runs, 1);
}
