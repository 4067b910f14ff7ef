#pragma once
// Reading back what a window shows, and real mouse input, for the skinned controls' tests.

#include "framework/Win32.h"

#include <cstdint>
#include <thread>
#include <vector>

namespace kq::test {

// What the screen shows of a window (its whole rectangle), as 0x00RRGGBB. The screen may show a paint
// a little later; the window's own picture (read_from::window) is there as soon as it has painted.
enum class read_from { screen, window };
class window_pixels {
public:
    explicit window_pixels(HWND window, read_from source = read_from::screen);
    int width() const noexcept { return FWidth; }
    int height() const noexcept { return FHeight; }
    std::uint32_t at(int x, int y) const { return FPixels.at(static_cast<size_t>(y * FWidth + x)); }
    // Writes the picture as a 24-bit BMP file.
    void save(const wchar_t* file) const;

private:
    int FWidth = 0, FHeight = 0;
    std::vector<std::uint32_t> FPixels;
};

// One 8-bit channel of a 0x00RRGGBB pixel: 16 red, 8 green, 0 blue.
inline std::uint8_t channel(std::uint32_t p, int shift) { return static_cast<std::uint8_t>(p >> shift); }

// Moves the cursor to the screen point and presses and/or releases the left button, as a person does.
void mouse_to(POINT screen);
void left_down();
void left_up();
// Presses or releases a key, as a person does, for the window with the focus.
void key_down(WORD key);
void key_up(WORD key);
// Two quick presses of the left button, from another thread: the system's move loop of a press on a
// title bar runs inside the press, so the caller keeps its messages going meanwhile.
std::jthread double_click_hand();

} // namespace kq::test
