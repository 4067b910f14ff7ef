#pragma once
// Kept pictures of the strip's drawn items. Under Wine every GDI+ call on a device context costs a
// quarter to half a millisecond whatever it draws, and most of a repaint repeats the previous one: an
// item that only moved draws the same pixels at another place. An item's picture holds the pixels of
// its last drawing and of what lay under it, keyed by everything that decided them, so that a repaint
// can put the picture back instead of drawing again.

#include "framework/Strings.h"
#include "graphics/Raster.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace kq {

class TBitmap;
struct TPageTabControlProperties;

// The values that decide an item's pixels, as bytes; positions in it are relative to the item.
class picture_key {
public:
    template <class T>
        requires std::is_trivially_copyable_v<T> && std::has_unique_object_representations_v<T>
    void add(const T& value) {
        bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
    }
    void add(float value);
    void add(const String& value);
    void add(const TPageTabControlProperties& value);
    // Relative to Origin.
    void add(const TRect& value, TPoint origin);
    bool operator==(const picture_key&) const = default;
    std::size_t size() const noexcept { return bytes.size(); }

private:
    std::string bytes;
};

// The buffer within a clip rectangle, taken before an item draws afresh.
struct buffer_snapshot {
    TRect Clip;
    std::vector<std::uint32_t> Pixels;
    void take(TBitmap& Buffer, const TRect& AClip);
};

// One item's kept picture on a 32-bit top-down buffer. Its place is Bounds, in buffer pixels: what the
// item may change, clipped; its key holds Bounds relative to the item.
class item_picture {
public:
    // Puts the picture back when it was kept under Key and the pixels now under Bounds are those it was
    // drawn over; false (and nothing changed) otherwise.
    bool put(TBitmap& Buffer, const TRect& Bounds, const picture_key& Key) const;
    // After the item drew afresh over Before (whose clip holds Bounds). A drawing that changed a pixel
    // outside Bounds, or a picture of more than Limit pixels, is not kept: the item then draws every time.
    void keep(TBitmap& Buffer, const buffer_snapshot& Before, const TRect& Bounds, picture_key Key,
              std::int64_t Limit);
    // Frees the pixels; the next repaint draws the item afresh.
    void clear() noexcept;
    // Bytes of pixels held.
    std::size_t memory() const noexcept { return (FUnder.capacity() + FDrawn.capacity()) * sizeof(std::uint32_t); }

private:
    picture_key FKey;
    TRect FBounds;
    std::vector<std::uint32_t> FUnder; // the buffer within Bounds before the item drew
    std::vector<std::uint32_t> FDrawn; // and after
};

} // namespace kq
