#include "tabs/PageTabsPictures.h"

#include "framework/Graphics.h"
#include "tabs/PageTabsStyleTransitions.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace kq {

namespace {

// Row y of a 32-bit top-down buffer.
std::uint32_t* row_of(TBitmap& buffer, int y) { return static_cast<std::uint32_t*>(buffer.ScanLine(y)); }

std::int64_t area_of(const TRect& r) {
    return static_cast<std::int64_t>(r.Right - r.Left) * static_cast<std::int64_t>(r.Bottom - r.Top);
}

bool inside(const TRect& inner, const TRect& outer) {
    return inner.Left >= outer.Left && inner.Top >= outer.Top && inner.Right <= outer.Right &&
           inner.Bottom <= outer.Bottom;
}

} // namespace

// --- Keys

void picture_key::add(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    add(bits);
}

void picture_key::add(const String& value) {
    add(static_cast<std::uint64_t>(value.size()));
    bytes.append(reinterpret_cast<const char*>(value.data()), value.size() * sizeof(char16_t));
}

void picture_key::add(const TPageTabControlProperties& value) {
    add(value.FontColor);
    add(value.FontAlpha);
    add(value.FontName);
    add(value.FontSize);
    add(value.TextRendoringMode);
    add(value.StartColor);
    add(value.StopColor);
    add(value.OutlineColor);
    add(value.OutlineSize);
    add(value.OutlineAlpha);
    add(value.StartAlpha);
    add(value.StopAlpha);
}

void picture_key::add(const TRect& value, TPoint origin) {
    add(TRect{value.Left - origin.X, value.Top - origin.Y, value.Right - origin.X, value.Bottom - origin.Y});
}

// --- Pictures

void buffer_snapshot::take(TBitmap& Buffer, const TRect& AClip) {
    Clip = AClip;
    const int width = Clip.Right - Clip.Left;
    Pixels.resize(static_cast<std::size_t>(area_of(Clip)));
    for (int y = Clip.Top; y < Clip.Bottom; ++y)
        std::memcpy(Pixels.data() + static_cast<std::size_t>(y - Clip.Top) * width, row_of(Buffer, y) + Clip.Left,
                    width * sizeof(std::uint32_t));
}

bool item_picture::put(TBitmap& Buffer, const TRect& Bounds, const picture_key& Key) const {
    if (FDrawn.empty() || !(Key == FKey)) return false;
    const int width = Bounds.Right - Bounds.Left;
    assert(width == FBounds.Right - FBounds.Left && Bounds.Bottom - Bounds.Top == FBounds.Bottom - FBounds.Top);
    const std::size_t row_bytes = width * sizeof(std::uint32_t);
    for (int y = Bounds.Top; y < Bounds.Bottom; ++y)
        if (std::memcmp(row_of(Buffer, y) + Bounds.Left, FUnder.data() + static_cast<std::size_t>(y - Bounds.Top) * width,
                        row_bytes) != 0)
            return false;
    for (int y = Bounds.Top; y < Bounds.Bottom; ++y)
        std::memcpy(row_of(Buffer, y) + Bounds.Left, FDrawn.data() + static_cast<std::size_t>(y - Bounds.Top) * width,
                    row_bytes);
    return true;
}

void item_picture::keep(TBitmap& Buffer, const buffer_snapshot& Before, const TRect& Bounds, picture_key Key,
                        std::int64_t Limit) {
    clear();
    const TRect& clip = Before.Clip;
    if (!inside(Bounds, clip) || 2 * area_of(Bounds) > Limit || area_of(Bounds) <= 0) return;
    const int clip_width = clip.Right - clip.Left;
    // Nothing outside Bounds may have changed: otherwise the picture would not hold all of the drawing.
    for (int y = clip.Top; y < clip.Bottom; ++y) {
        const std::uint32_t* now = row_of(Buffer, y) + clip.Left;
        const std::uint32_t* was = Before.Pixels.data() + static_cast<std::size_t>(y - clip.Top) * clip_width;
        if (y < Bounds.Top || y >= Bounds.Bottom) {
            if (std::memcmp(now, was, clip_width * sizeof(std::uint32_t)) != 0) return;
            continue;
        }
        const int left = Bounds.Left - clip.Left, right = Bounds.Right - clip.Left;
        if (std::memcmp(now, was, left * sizeof(std::uint32_t)) != 0 ||
            std::memcmp(now + right, was + right, (clip_width - right) * sizeof(std::uint32_t)) != 0)
            return;
    }
    const int width = Bounds.Right - Bounds.Left;
    FUnder.resize(static_cast<std::size_t>(area_of(Bounds)));
    FDrawn.resize(FUnder.size());
    for (int y = Bounds.Top; y < Bounds.Bottom; ++y) {
        const std::size_t at = static_cast<std::size_t>(y - Bounds.Top) * width;
        std::memcpy(FUnder.data() + at,
                    Before.Pixels.data() + static_cast<std::size_t>(y - clip.Top) * clip_width + (Bounds.Left - clip.Left),
                    width * sizeof(std::uint32_t));
        std::memcpy(FDrawn.data() + at, row_of(Buffer, y) + Bounds.Left, width * sizeof(std::uint32_t));
    }
    FBounds = Bounds;
    FKey = std::move(Key);
}

void item_picture::clear() noexcept {
    FKey = {};
    std::vector<std::uint32_t>().swap(FUnder);
    std::vector<std::uint32_t>().swap(FDrawn);
}

} // namespace kq
