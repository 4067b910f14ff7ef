#pragma once
// ime_context: a window's input context (composition strings, font and window), and reading a composition;
// detached_ime_context: a context taken off its window until it is put back.

#include "framework/Graphics.h"

#include <functional>

#include <imm.h>

namespace kq {

// A window's input context, taken with ImmGetContext and released at scope end; empty when the window
// has none (no input method, or the context was taken away with ImmAssociateContext).
class ime_context {
public:
    explicit ime_context(HWND window) noexcept;
    ime_context(const ime_context&) = delete;
    ime_context& operator=(const ime_context&) = delete;
    ~ime_context();

    HIMC get() const noexcept { return FContext; }
    explicit operator bool() const noexcept { return FContext != nullptr; }

    // One string of the composition (GCS_RESULTSTR, GCS_COMPSTR, ...); empty without one.
    String CompositionString(DWORD index) const;
    void SetCompositionFont(const TFont& font) const;
    // The composition window: a rectangle in the window's client coordinates, with the caret at position.
    void SetCompositionWindow(const RECT& area, POINT position) const;

private:
    HWND FWindow;
    HIMC FContext;
};

// A window's input context taken off the window (ImmAssociateContext with none), kept until it is put back:
// restore() or scope end associates it with the window again, unless the window is gone. Empty when the
// window had no context to take.
class detached_ime_context {
public:
    detached_ime_context() noexcept = default;
    explicit detached_ime_context(HWND window) noexcept;
    detached_ime_context(detached_ime_context&& other) noexcept;
    detached_ime_context& operator=(detached_ime_context&& other) noexcept;
    ~detached_ime_context() { restore(); }

    void restore() noexcept;
    explicit operator bool() const noexcept { return FContext != nullptr; }

private:
    HWND FWindow = nullptr;
    HIMC FContext = nullptr;
};

// Reads a composition string through read(buffer, bytes), which answers as ImmGetCompositionStringW does:
// the size in bytes for a null buffer, the bytes copied otherwise, a negative error code on failure. A
// negative or zero size gives nothing; an odd one, or a copy that claims more than the buffer, gives the
// whole characters that fit.
String read_composition_string(const std::function<LONG(void* buffer, DWORD bytes)>& read);

} // namespace kq
