#pragma once

#include "framework/Forms.h"
#include "framework/Menus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace kq::test {

// Starts the visual framework for one test and stops it afterwards, so each test has a fresh
// application (Terminate cannot leak into the next test).
class visual_test : public ::testing::Test {
protected:
    void SetUp() override {
        forms_startup();
        menus_startup();
        Application->Initialize();
    }
    void TearDown() override {
        menus_shutdown();
        forms_shutdown();
        // A WM_QUIT left by Terminate must not end the next test's loop.
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    // Handles messages until done() or the time runs out; returns done().
    static bool pump_until(const std::function<bool()>& done, int milliseconds = 3000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done() && std::chrono::steady_clock::now() < end) {
            Application->ProcessMessages();
            ::Sleep(1);
        }
        return done();
    }
};

// Plays the user of a modal window from a second thread. Once a visible top-level window with this title
// is there, answer(w) reads it and returns the id of the button to press, or 0 while the window is not
// ready yet (a system dialog may be visible before its texts are set). The button is pressed again
// until the window has gone, since a press that arrives before the dialog's loop can be lost.
// cls narrows the search to one window class (message boxes share their title with the application).
inline std::thread answer_window(const wchar_t* title, std::function<int(HWND)> answer,
                                 const wchar_t* cls = nullptr) {
    return std::thread([title, cls, answer = std::move(answer)] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(5);
        int button = 0;
        while (std::chrono::steady_clock::now() < end) {
            const HWND w = ::FindWindowW(cls, title);
            if (!w) {
                if (button) return;
            } else if (::IsWindowVisible(w)) {
                if (!button) button = answer(w);
                if (button) ::SendMessageW(::GetDlgItem(w, button), BM_CLICK, 0, 0);
            }
            ::Sleep(button ? 50 : 10);
        }
    });
}

// Posts a message to the constructing thread every 10 ms while it exists: input that keeps arriving.
class steady_input {
public:
    steady_input() : FTarget(::GetCurrentThreadId()), FPoster([this] {
        while (!FDone) {
            ::PostThreadMessageW(FTarget, WM_NULL, 0, 0);
            ::Sleep(10);
        }
    }) {}
    ~steady_input() {
        FDone = true;
        FPoster.join();
    }
    steady_input(const steady_input&) = delete;
    steady_input& operator=(const steady_input&) = delete;

private:
    DWORD FTarget;
    std::atomic<bool> FDone{false};
    std::thread FPoster;
};

// How far the process's GDI and USER handle tables reach: a fresh batch of objects is made and the
// highest handle index noted. Leaked objects keep their slots, so each one pushes the mark further.
// (GetGuiResources reports nothing under Wine.)
struct handle_marks {
    unsigned gdi = 0, user = 0;
};

inline handle_marks current_handle_marks() {
    constexpr int batch = 256;
    handle_marks marks;
    HGDIOBJ brushes[batch];
    HMENU menus[batch];
    for (int i = 0; i < batch; ++i) {
        brushes[i] = ::CreateSolidBrush(RGB(i, 0, 0));
        menus[i] = ::CreateMenu();
        marks.gdi = std::max(marks.gdi, unsigned(LOWORD(reinterpret_cast<ULONG_PTR>(brushes[i]))));
        marks.user = std::max(marks.user, unsigned(LOWORD(reinterpret_cast<ULONG_PTR>(menus[i]))));
    }
    for (int i = 0; i < batch; ++i) {
        ::DeleteObject(brushes[i]);
        ::DestroyMenu(menus[i]);
    }
    return marks;
}

// A memory DC with a 32-bit top-down DIB selected, for pixel probes.
class probe_dc {
public:
    probe_dc(int width, int height) {
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        FBitmap = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits), nullptr, 0);
        FDC = ::CreateCompatibleDC(nullptr);
        FOld = ::SelectObject(FDC, FBitmap);
        FWidth = width;
    }
    ~probe_dc() {
        ::SelectObject(FDC, FOld);
        ::DeleteDC(FDC);
        ::DeleteObject(FBitmap);
    }
    probe_dc(const probe_dc&) = delete;
    probe_dc& operator=(const probe_dc&) = delete;

    HDC dc() const { return FDC; }
    void fill(COLORREF colour) {
        ::GdiFlush();
        for (int i = 0; i < FWidth * height(); ++i)
            FBits[i] = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    }
    // As COLORREF (0x00BBGGRR).
    COLORREF at(int x, int y) const {
        ::GdiFlush();
        const uint32_t p = FBits[y * FWidth + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    int height() const {
        BITMAP bm{};
        ::GetObjectW(FBitmap, sizeof bm, &bm);
        return bm.bmHeight;
    }

private:
    HBITMAP FBitmap = nullptr;
    HDC FDC = nullptr;
    HGDIOBJ FOld = nullptr;
    uint32_t* FBits = nullptr;
    int FWidth = 0;
};

} // namespace kq::test
