// The platform the GUI code stands on works under the test runner: windows, a message loop with a
// timer, and GDI+.
#include "framework/Strings.h"

#include <windows.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

namespace {

int timer_ticks = 0;

LRESULT CALLBACK smoke_proc(HWND h, UINT m, WPARAM w, LPARAM l) noexcept {
    if (m == WM_TIMER) {
        ++timer_ticks;
        return 0;
    }
    return DefWindowProcW(h, m, w, l);
}

} // namespace

TEST(Platform, TopLevelAndChildWindowsAndTimerTick) {
    const wchar_t* class_name = L"KQSmokeWindow";
    WNDCLASSW wc{};
    wc.lpfnWndProc = smoke_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = class_name;
    ASSERT_NE(RegisterClassW(&wc), 0);

    const kq::String caption = u"招标 smoke";
    HWND top = CreateWindowExW(0, class_name, kq::wide(caption), WS_OVERLAPPEDWINDOW, 10, 10, 300, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(top, nullptr);
    HWND child = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE, 5, 5, 80, 24, top, nullptr,
                                 wc.hInstance, nullptr);
    ASSERT_NE(child, nullptr);
    ShowWindow(top, SW_SHOWNORMAL);
    EXPECT_EQ(GetParent(child), top);

    wchar_t text[64]{};
    GetWindowTextW(top, text, 64);
    EXPECT_EQ(kq::from_wide(text), caption);

    ASSERT_NE(SetTimer(top, 1, 10, nullptr), 0u);
    const DWORD deadline = GetTickCount() + 5000;
    MSG msg;
    while (timer_ticks == 0 && static_cast<int>(deadline - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    KillTimer(top, 1);
    EXPECT_GT(timer_ticks, 0);

    EXPECT_TRUE(DestroyWindow(top));
    EXPECT_FALSE(IsWindow(child)); // destroying the parent destroys its children
    EXPECT_TRUE(UnregisterClassW(class_name, wc.hInstance));
}

TEST(Platform, GdiPlusStartsAndDraws) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    {
        Gdiplus::Bitmap bitmap(16, 16, PixelFormat32bppARGB);
        Gdiplus::Graphics graphics(&bitmap);
        Gdiplus::SolidBrush brush(Gdiplus::Color(255, 10, 200, 30));
        EXPECT_EQ(graphics.FillRectangle(&brush, 0, 0, 16, 16), Gdiplus::Ok);
        Gdiplus::Color c;
        ASSERT_EQ(bitmap.GetPixel(8, 8, &c), Gdiplus::Ok);
        EXPECT_EQ(c.GetValue(), 0xFF0AC81Eu);
    }
    Gdiplus::GdiplusShutdown(token);
}
