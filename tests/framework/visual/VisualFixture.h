#pragma once

#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace kq::test {

// The GDI and USER objects this process holds. GetGuiResources reports nothing under Wine; there the
// tables are read directly, since Wine accepts a handle given by its table index alone: every GDI index
// is asked for its object type, every USER index for a menu or an icon (both answered in the process).
// Windows are counted by enumeration, as asking for a window that is not there goes to the server.
struct handle_counts {
    unsigned gdi = 0, user = 0;
};

namespace detail {

inline BOOL CALLBACK collect_window(HWND window, LPARAM data) noexcept {
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    return TRUE;
}

// The windows of this process: top-level, message-only, and the children of both at every depth.
[[gnu::noinline]] inline unsigned own_windows() {
    std::vector<HWND> windows;
    ::EnumWindows(collect_window, reinterpret_cast<LPARAM>(&windows));
    for (HWND w = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = ::FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
        windows.push_back(w);
    const size_t tops = windows.size();
    for (size_t i = 0; i < tops; ++i) ::EnumChildWindows(windows[i], collect_window, reinterpret_cast<LPARAM>(&windows));
    return static_cast<unsigned>(std::count_if(windows.begin(), windows.end(), [](HWND w) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(w, &process);
        return process == ::GetCurrentProcessId();
    }));
}

} // namespace detail

// Kept out of the tests' bodies: inlined there at -O3, the i686 compiler reports a false free-nonheap-object.
[[gnu::noinline]] inline handle_counts current_handle_counts() {
    const HANDLE process = ::GetCurrentProcess();
    handle_counts counts{::GetGuiResources(process, GR_GDIOBJECTS), ::GetGuiResources(process, GR_USEROBJECTS)};
    if (counts.gdi == 0) {
        for (ULONG_PTR index = 1; index <= 0xFFFF; ++index)
            if (::GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++counts.gdi;
    }
    if (counts.user == 0) {
        for (ULONG_PTR index = 0x20; index <= 0xFFFF; index += 2) {
            ICONINFO info{};
            if (::IsMenu(reinterpret_cast<HMENU>(index))) {
                ++counts.user;
            } else if (::GetIconInfo(reinterpret_cast<HICON>(index), &info)) {
                ++counts.user;
                if (info.hbmColor) ::DeleteObject(info.hbmColor);
                if (info.hbmMask) ::DeleteObject(info.hbmMask);
            }
        }
        counts.user += detail::own_windows();
    }
    return counts;
}

// The names tests written before the counts used; the values are counts now, so "no more than before
// plus a margin" still reads true.
using handle_marks = handle_counts;
inline handle_marks current_handle_marks() { return current_handle_counts(); }

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

// Starts the visual framework for one test and stops it afterwards, so each test has a fresh
// application (Terminate cannot leak into the next test).
class visual_test : public ::testing::Test {
protected:
    void SetUp() override {
        warm_up();
        FHandles = current_handle_counts();
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
        const handle_counts after = current_handle_counts();
        EXPECT_EQ(after.gdi, FHandles.gdi) << "GDI objects left behind";
        EXPECT_EQ(after.user, FHandles.user) << "USER objects left behind";
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

private:
    // The system keeps some objects from their first use to the end of the process (the thread's input
    // window, caption, menu and message fonts, frame bitmaps, message box icons, the classes of its
    // controls, cached window DCs). They are made once, before the first count, by what the tests do: forms of each frame
    // shown and resized, a menu bar, controls of ours and of the system, a hint and a message box.
    [[gnu::noinline]] static void warm_up() {
        static bool done = false;
        if (std::exchange(done, true)) return;
        forms_startup();
        menus_startup();
        Application->Initialize();
        Application->SetTitle(u"warm-up");
        for (const TFormBorderStyle border : {TFormBorderStyle::bsSizeable, TFormBorderStyle::bsDialog}) {
            TForm* form = CreateForm<TForm>(Application);
            form->SetBorderStyle(border);
            form->SetBounds(0, 0, 200, 120);
            auto* bar = new TMainMenu(form);
            auto* item = new TMenuItem(form);
            item->SetCaption(u"File");
            bar->Items().Add(item);
            form->SetMenu(bar);
            auto* control = new TCustomControl(form);
            control->SetBounds(0, 0, 100, 50);
            control->SetParent(form);
            for (const wchar_t* cls : {L"STATIC", L"EDIT", L"BUTTON"})
                ::CreateWindowExW(0, cls, L"x", WS_CHILD | WS_VISIBLE, 0, 60, 50, 20, form->Handle(), nullptr,
                                  nullptr, nullptr);
            // The theme's tab images are loaded once per kind of tab: first and middle ones, selected or not.
            auto* pages = new TPageControl(form);
            pages->SetBounds(0, 60, 190, 50);
            pages->SetParent(form);
            for (const char16_t* caption : {u"x", u"y", u"z"}) {
                auto* sheet = new TTabSheet(form);
                sheet->SetCaption(caption);
                sheet->SetPageControl(pages);
            }
            form->Show();
            for (const WPARAM index : {1, 2, 0}) {
                RECT tab{};
                ::SendMessageW(pages->Handle(), TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&tab));
                ::PostMessageW(pages->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(tab.left + 2, tab.top + 2));
                ::PostMessageW(pages->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(tab.left + 2, tab.top + 2));
                Application->ProcessMessages();
            }
            for (const SIZE size : {SIZE{400, 300}, SIZE{150, 120}}) {
                form->SetClientSize(size.cx, size.cy);
                Application->ProcessMessages();
            }
            control->Canvas().TextWidth(u"W");
            // Window DCs come from a cache that grows to the most DCs ever out at once.
            std::vector<HWND> children;
            std::vector<HDC> dcs;
            for (int i = 0; i < 32; ++i)
                children.push_back(::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, i, 0, 5, 5,
                                                     form->Handle(), nullptr, nullptr, nullptr));
            for (HWND child : children) dcs.push_back(::GetDC(child));
            for (size_t i = 0; i < children.size(); ++i) ::ReleaseDC(children[i], dcs[i]);
            delete form;
        }
        {
            THintWindow hint(nullptr);
            hint.ActivateHint(RECT{0, 0, 100, 20}, u"warm-up");
            hint.ReleaseHandle();
        }
        {
            // The first popup menu shown.
            TPopupMenu menu(nullptr);
            auto* entry = new TMenuItem(&menu);
            entry->SetCaption(u"warm-up");
            entry->SetChecked(true);
            menu.Items().Add(entry);
            std::thread user([] {
                ::Sleep(200);
                ::SendMessageW(PopupList->Window(), WM_CANCELMODE, 0, 0);
            });
            menu.Popup(10, 10);
            user.join();
        }
        std::thread user = answer_window(L"warm-up", [](HWND) { return IDOK; }, L"#32770");
        Application->MessageBox(u"warm-up", u"warm-up", MB_OK | MB_ICONERROR);
        user.join();
        menus_shutdown();
        forms_shutdown();
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }

    handle_counts FHandles;
};

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
