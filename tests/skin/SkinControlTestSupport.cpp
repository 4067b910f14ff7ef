#include "SkinControlTestSupport.h"

#include <cstdio>

namespace kq::test {

window_pixels::window_pixels(HWND window, read_from source) {
    RECT r{};
    ::GetWindowRect(window, &r);
    FWidth = r.right - r.left;
    FHeight = r.bottom - r.top;
    FPixels.assign(static_cast<size_t>(FWidth * FHeight), 0);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), FWidth, -FHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const bool own = source == read_from::window;
    const HDC screen = own ? ::GetWindowDC(window) : ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, FWidth, FHeight, screen, own ? 0 : r.left, own ? 0 : r.top, SRCCOPY);
    ::GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (size_t i = 0; i < FPixels.size(); ++i) FPixels[i] = p[i] & 0xFFFFFFu;
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(own ? window : nullptr, screen);
}

void window_pixels::save(const wchar_t* file) const {
    FILE* f = ::_wfopen(file, L"wb");
    if (!f)
        return;
    const int row = (FWidth * 3 + 3) & ~3;
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{sizeof(BITMAPINFOHEADER), FWidth, FHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof ih;
    fh.bfSize = fh.bfOffBits + static_cast<DWORD>(row * FHeight);
    std::fwrite(&fh, sizeof fh, 1, f);
    std::fwrite(&ih, sizeof ih, 1, f);
    std::vector<std::uint8_t> line(static_cast<size_t>(row), 0);
    for (int y = FHeight - 1; y >= 0; --y) {
        for (int x = 0; x < FWidth; ++x) {
            const std::uint32_t p = at(x, y);
            line[static_cast<size_t>(x * 3)] = static_cast<std::uint8_t>(p);
            line[static_cast<size_t>(x * 3 + 1)] = static_cast<std::uint8_t>(p >> 8);
            line[static_cast<size_t>(x * 3 + 2)] = static_cast<std::uint8_t>(p >> 16);
        }
        std::fwrite(line.data(), 1, line.size(), f);
    }
    std::fclose(f);
}

namespace {
void send_mouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    ::SendInput(1, &input, sizeof input);
}
} // namespace

void mouse_to(POINT screen) {
    ::SetCursorPos(screen.x, screen.y);
    send_mouse(MOUSEEVENTF_MOVE); // a move of 0 makes the system look at the window under the cursor
}
void left_down() { send_mouse(MOUSEEVENTF_LEFTDOWN); }
void left_up() { send_mouse(MOUSEEVENTF_LEFTUP); }

namespace {
void send_key(WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    ::SendInput(1, &input, sizeof input);
}
} // namespace

void key_down(WORD key) { send_key(key, 0); }
void key_up(WORD key) { send_key(key, KEYEVENTF_KEYUP); }

std::jthread double_click_hand() {
    return std::jthread([] {
        for (int i = 0; i < 2; ++i) {
            left_down();
            ::Sleep(30);
            left_up();
            ::Sleep(30);
        }
    });
}

} // namespace kq::test
