#include "framework/LayeredWindows.h"

#include "framework/Forms.h"
#include "framework/ImageCodecs.h"

#include "VisualFixture.h"

#include <cstring>

using namespace kq;
using kq::test::visual_test;

namespace {

TEST(LayeredWindows, PremultiplyScalesColourByAlphaRoundingDown) {
    struct row {
        std::uint32_t in, out;
    };
    const row rows[] = {
        {0xFF336699u, 0xFF336699u}, // opaque stays
        {0x00FFFFFFu, 0x00000000u}, // transparent goes black
        {0x80FF8040u, 0x80804020u}, // 255*128/255 = 128, 128*128/255 = 64, 64*128/255 = 32
        {0x01FFFFFFu, 0x01010101u},
        {0x7F010101u, 0x7F000000u}, // 1*127/255 = 0
    };
    for (const row& r : rows) {
        std::uint32_t p = r.in;
        premultiply_alpha({&p, 1});
        EXPECT_EQ(p, r.out) << std::hex << r.in;
    }
}

// An opaque red square with a transparent middle, shown in a popup window.
TEST_F(visual_test, ShowsABitmapInAWindowThatBecomesLayered) {
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf32bit);
    picture.SetSize(40, 30);
    for (int y = 0; y < 30; ++y) {
        auto* row = static_cast<std::uint32_t*>(picture.ScanLine(y));
        for (int x = 0; x < 40; ++x) row[x] = (x >= 15 && x < 25) ? 0x00FFFFFFu : 0xFFFF0000u;
    }

    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW cls{};
    cls.lpfnWndProc = ::DefWindowProcW;
    cls.hInstance = instance;
    cls.lpszClassName = L"KQLayeredTest";
    ::RegisterClassW(&cls);
    const HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"KQLayeredTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                          nullptr, instance, nullptr);
    ASSERT_NE(window, nullptr);
    auto destroy = scope_exit([&] {
        ::DestroyWindow(window);
        ::UnregisterClassW(L"KQLayeredTest", instance);
    });

    const POINT place{50, 60};
    show_layered_bitmap(window, picture, 255, &place);
    ::ShowWindow(window, SW_SHOWNOACTIVATE);
    pump_until([] { return false; }, 200);

    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED);
    RECT r{};
    ::GetWindowRect(window, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right - r.left, 40);
    EXPECT_EQ(r.bottom - r.top, 30);
    // The caller's picture keeps its straight alpha.
    EXPECT_EQ(static_cast<std::uint32_t*>(picture.ScanLine(0))[20], 0x00FFFFFFu);

    const COLORREF edge = ::GetPixel(window_dc().get(), 55, 70);
    EXPECT_EQ(edge, RGB(255, 0, 0));
}

TEST_F(visual_test, LayeredWindowsRefuseBitmapsWithoutAlphaAndEmptyPictures) {
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(4, 4);
    EXPECT_THROW(show_layered_bitmap(::GetDesktopWindow(), picture, 255), EInvalidGraphic);
    const std::uint32_t pixel = 0xFF000000u;
    for (const SIZE size : {SIZE{0, 4}, SIZE{4, 0}, SIZE{-1, 1}})
        EXPECT_THROW(show_layered_pixels(::GetDesktopWindow(), &pixel, size.cx, size.cy, pixel_alpha::straight, 255),
                     EOSError);
}

} // namespace
