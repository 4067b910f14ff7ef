// The peer of the start-up benchmark: a bare Win32 program that shows one maximised window filled with the
// stand-in engine's first page colour, and ends when it is closed.
#include <windows.h>

namespace {

constexpr COLORREF page = RGB(0xE5, 0x39, 0x35);

LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        const HDC dc = ::BeginPaint(window, &ps);
        const HBRUSH brush = ::CreateSolidBrush(page);
        ::FillRect(dc, &ps.rcPaint, brush);
        ::DeleteObject(brush);
        ::EndPaint(window, &ps);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wparam, lparam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSW c{};
    c.lpfnWndProc = window_proc;
    c.hInstance = instance;
    c.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    c.lpszClassName = L"BareWindow";
    ::RegisterClassW(&c);
    const HWND window = ::CreateWindowExW(0, L"BareWindow", L"Bare", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                          CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    ::ShowWindow(window, SW_SHOWMAXIMIZED);
    MSG m;
    while (::GetMessageW(&m, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&m);
        ::DispatchMessageW(&m);
    }
    return 0;
}
