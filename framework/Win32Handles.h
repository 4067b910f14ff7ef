#pragma once
// Owners of Win32, GDI and COM handles: one alias or class per handle kind, for every unit that holds one.

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "framework/Win32.h"

#include <objbase.h>

#include <utility>

namespace kq {

// --- GDI objects

using unique_gdi_object = unique_handle<HGDIOBJ, ::DeleteObject>;
using unique_hbitmap = unique_handle<HBITMAP, ::DeleteObject>;
using unique_henhmetafile = unique_handle<HENHMETAFILE, ::DeleteEnhMetaFile>;
using unique_hbrush = unique_handle<HBRUSH, ::DeleteObject>;
using unique_hrgn = unique_handle<HRGN, ::DeleteObject>;
using unique_hicon = unique_handle<HICON, ::DestroyIcon>;
using unique_hcursor = unique_handle<HCURSOR, ::DestroyCursor>;
using unique_hdc = unique_handle<HDC, ::DeleteDC>;

// --- Windows and kernel objects

using unique_hwnd = unique_handle<HWND, ::DestroyWindow>;
using unique_hmenu = unique_handle<HMENU, ::DestroyMenu>;
using unique_himagelist = unique_handle<HIMAGELIST, ::ImageList_Destroy>;
using unique_hhook = unique_handle<HHOOK, ::UnhookWindowsHookEx>;
using unique_hlocal = unique_handle<HLOCAL, ::LocalFree>;
using unique_hglobal = unique_handle<HGLOBAL, ::GlobalFree>;
// Events, threads and processes: null means "none".
using unique_kernel_handle = unique_handle<HANDLE, ::CloseHandle>;
// Files and find handles say "none" with INVALID_HANDLE_VALUE.
using unique_file = unique_handle<HANDLE, ::CloseHandle, invalid_is_minus_one>;
using unique_find = unique_handle<HANDLE, ::FindClose, invalid_is_minus_one>;
using unique_module = unique_handle<HMODULE, ::FreeLibrary>;

// --- Device contexts whose release needs a second value

// A device context taken from a window by Get (GetDC or GetWindowDC), released to that window.
template <HDC(WINAPI* Get)(HWND)>
class basic_window_dc {
public:
    explicit basic_window_dc(HWND window = nullptr) noexcept : FWindow(window), FDC(Get(window)) {}
    basic_window_dc(const basic_window_dc&) = delete;
    basic_window_dc& operator=(const basic_window_dc&) = delete;
    ~basic_window_dc() {
        if (FDC) ::ReleaseDC(FWindow, FDC);
    }
    HDC get() const noexcept { return FDC; }
    explicit operator bool() const noexcept { return FDC != nullptr; }

private:
    HWND FWindow;
    HDC FDC;
};

// The client area's device context (GetDC); no window means the screen's.
using window_dc = basic_window_dc<::GetDC>;
// The whole window's device context, frame and title included (GetWindowDC).
using window_frame_dc = basic_window_dc<::GetWindowDC>;

// The device context of a WM_PAINT, from BeginPaint to EndPaint.
class paint_dc {
public:
    explicit paint_dc(HWND window) noexcept : FWindow(window), FDC(::BeginPaint(window, &FPaint)) {}
    paint_dc(const paint_dc&) = delete;
    paint_dc& operator=(const paint_dc&) = delete;
    ~paint_dc() { ::EndPaint(FWindow, &FPaint); }
    HDC get() const noexcept { return FDC; }
    const PAINTSTRUCT& paint() const noexcept { return FPaint; }

private:
    HWND FWindow;
    PAINTSTRUCT FPaint{};
    HDC FDC;
};

// Selects obj into dc for the scope's lifetime.
class select_object {
public:
    select_object(HDC dc, HGDIOBJ obj) noexcept : FDC(dc), FOld(::SelectObject(dc, obj)) {}
    select_object(const select_object&) = delete;
    select_object& operator=(const select_object&) = delete;
    ~select_object() { ::SelectObject(FDC, FOld); }

private:
    HDC FDC;
    HGDIOBJ FOld;
};

// Saves the DC's state (clip, origin, objects) for the scope's lifetime.
class saved_dc {
public:
    explicit saved_dc(HDC dc) noexcept : FDC(dc), FState(::SaveDC(dc)) {}
    saved_dc(const saved_dc&) = delete;
    saved_dc& operator=(const saved_dc&) = delete;
    ~saved_dc() { ::RestoreDC(FDC, FState); }

private:
    HDC FDC;
    int FState;
};

// --- COM

// A COM interface's owner: a counted reference that can ask for the object's other interfaces.
template <class I>
class com_ptr : public counted_ref<I> {
public:
    using counted_ref<I>::counted_ref;

    // The object's interface J; EIntfCastError when it has none.
    template <class J>
    com_ptr<J> as() const {
        com_ptr<J> result;
        if (!this->get() ||
            FAILED(this->get()->QueryInterface(__uuidof(J), reinterpret_cast<void**>(result.put()))) || !result)
            throw EIntfCastError();
        return result;
    }
};

} // namespace kq
