#include "framework/LayeredWindows.h"

#include "framework/Graphics.h"
#include "framework/ImageCodecs.h"

#include <cstring>
#include <vector>

namespace kq {

void premultiply_alpha(std::span<std::uint32_t> pixels) noexcept {
    for (std::uint32_t& p : pixels) {
        const std::uint32_t a = p >> 24;
        const std::uint32_t b = (p & 0xFF) * a / 255;
        const std::uint32_t g = ((p >> 8) & 0xFF) * a / 255;
        const std::uint32_t r = ((p >> 16) & 0xFF) * a / 255;
        p = (a << 24) | (r << 16) | (g << 8) | b;
    }
}

namespace {

// row(y) gives the address of row y of the picture.
template <class Rows>
void show_rows(HWND window, int width, int height, pixel_alpha form, std::uint8_t alpha, const POINT* position,
               const Rows& row) {
    if (width <= 0 || height <= 0) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        RaiseLastOSError();
    }
    // A premultiplied copy: the caller's pixels keep their alpha form.
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    unique_hbitmap copy(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!copy) RaiseLastOSError();
    auto* pixels = static_cast<std::uint32_t*>(bits);
    const auto row_pixels = static_cast<std::size_t>(width);
    for (int y = 0; y < height; ++y)
        std::memcpy(pixels + row_pixels * static_cast<std::size_t>(y), row(y), row_pixels * 4);
    if (form == pixel_alpha::straight) premultiply_alpha({pixels, row_pixels * static_cast<std::size_t>(height)});

    const LONG_PTR ex_style = ::GetWindowLongPtrW(window, GWL_EXSTYLE);
    if (!(ex_style & WS_EX_LAYERED)) ::SetWindowLongPtrW(window, GWL_EXSTYLE, ex_style | WS_EX_LAYERED);

    const window_dc screen;
    if (!screen) RaiseLastOSError();
    unique_hdc memory(::CreateCompatibleDC(screen.get()));
    if (!memory) RaiseLastOSError();
    select_object selected(memory.get(), copy.get());

    SIZE size{width, height};
    POINT origin{0, 0};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, AC_SRC_ALPHA};
    if (!::UpdateLayeredWindow(window, screen.get(), const_cast<POINT*>(position), &size, memory.get(), &origin, 0,
                               &blend, ULW_ALPHA))
        RaiseLastOSError();
}

} // namespace

void show_layered_pixels(HWND window, const std::uint32_t* pixels, int width, int height, pixel_alpha form,
                         std::uint8_t alpha, const POINT* position) {
    show_rows(window, width, height, form, alpha, position, [&](int y) {
        return pixels + static_cast<std::size_t>(width) * static_cast<std::size_t>(y);
    });
}

void show_layered_bitmap(HWND window, TBitmap& bitmap, std::uint8_t alpha, const POINT* position) {
    if (bitmap.PixelFormat() != TPixelFormat::pf32bit)
        throw EInvalidGraphic(u"A layered window shows 32-bit bitmaps only");
    const pixel_alpha form =
        bitmap.AlphaFormat() == TAlphaFormat::afPremultiplied ? pixel_alpha::premultiplied : pixel_alpha::straight;
    show_rows(window, bitmap.Width(), bitmap.Height(), form, alpha, position, [&](int y) { return bitmap.ScanLine(y); });
}

} // namespace kq
