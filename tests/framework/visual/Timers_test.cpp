#include "framework/Timers.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

namespace kq::test {
namespace {

TEST_F(visual_test, OnlyTheBroadcastHiddenWindowHearsBroadcasts) {
    const UINT message = ::RegisterWindowMessageW(L"kq-hidden-window-broadcast-test");
    int heard_by_broadcast_window = 0, heard_by_message_window = 0;
    unique_hidden_window broadcast(AllocateBroadcastHWnd([&](TMessage& m) {
        if (m.Msg == message) ++heard_by_broadcast_window;
        m.Result = ::DefWindowProcW(broadcast.get(), m.Msg, m.WParam, m.LParam);
    }));
    unique_hidden_window message_only(AllocateHWnd([&](TMessage& m) {
        if (m.Msg == message) ++heard_by_message_window;
        m.Result = ::DefWindowProcW(message_only.get(), m.Msg, m.WParam, m.LParam);
    }));
    EXPECT_EQ(::GetAncestor(broadcast.get(), GA_PARENT), ::GetDesktopWindow());
    EXPECT_FALSE(::IsWindowVisible(broadcast.get()));
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, message, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
    EXPECT_EQ(heard_by_broadcast_window, 1);
    EXPECT_EQ(heard_by_message_window, 0);
    // Sent directly, both hear it.
    ::SendMessageW(message_only.get(), message, 0, 0);
    EXPECT_EQ(heard_by_message_window, 1);
}

} // namespace
} // namespace kq::test
