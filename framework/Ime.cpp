#include "framework/Ime.h"

#include <algorithm>
#include <utility>

namespace kq {

ime_context::ime_context(HWND window) noexcept : FWindow(window), FContext(::ImmGetContext(window)) {}

ime_context::~ime_context() {
    if (FContext) ::ImmReleaseContext(FWindow, FContext);
}

String ime_context::CompositionString(DWORD index) const {
    if (!FContext) return {};
    return read_composition_string(
        [&](void* buffer, DWORD bytes) { return ::ImmGetCompositionStringW(FContext, index, buffer, bytes); });
}

void ime_context::SetCompositionFont(const TFont& font) const {
    if (!FContext) return;
    LOGFONTW lf = logfont_of(font);
    ::ImmSetCompositionFontW(FContext, &lf);
}

void ime_context::SetCompositionWindow(const RECT& area, POINT position) const {
    if (!FContext) return;
    COMPOSITIONFORM form{};
    form.dwStyle = CFS_RECT;
    form.ptCurrentPos = position;
    form.rcArea = area;
    ::ImmSetCompositionWindow(FContext, &form);
}

detached_ime_context::detached_ime_context(HWND window) noexcept {
    const ime_context current(window);
    if (!current) return;
    FWindow = window;
    FContext = ::ImmAssociateContext(window, nullptr);
}

detached_ime_context::detached_ime_context(detached_ime_context&& other) noexcept
    : FWindow(std::exchange(other.FWindow, nullptr)), FContext(std::exchange(other.FContext, nullptr)) {}

detached_ime_context& detached_ime_context::operator=(detached_ime_context&& other) noexcept {
    if (this != &other) {
        restore();
        FWindow = std::exchange(other.FWindow, nullptr);
        FContext = std::exchange(other.FContext, nullptr);
    }
    return *this;
}

void detached_ime_context::restore() noexcept {
    if (FContext && ::IsWindow(FWindow)) ::ImmAssociateContext(FWindow, FContext);
    FWindow = nullptr;
    FContext = nullptr;
}

String read_composition_string(const std::function<LONG(void* buffer, DWORD bytes)>& read) {
    const LONG size = read(nullptr, 0);
    if (size <= 0) return {};
    String text(static_cast<size_t>(size) / sizeof(char16_t), u'\0');
    if (text.empty()) return {};
    const DWORD bytes = static_cast<DWORD>(text.size() * sizeof(char16_t));
    const LONG copied = read(text.data(), bytes);
    if (copied <= 0) return {};
    text.resize(std::min<size_t>(static_cast<size_t>(copied), bytes) / sizeof(char16_t));
    return text;
}

} // namespace kq
