#include "graphics/Raster_OrdinalMaps.h"

#include "graphics/Raster_LowLevel.h"

#include <cassert>

namespace kq {

TIntegerMap::TIntegerMap(std::int32_t width, std::int32_t height) {
    SetSize(width, height);
}

void TIntegerMap::ChangeSize(std::int32_t& width, std::int32_t& height, std::int32_t newWidth,
                             std::int32_t newHeight) {
    const std::size_t count = static_cast<std::size_t>(newWidth) * static_cast<std::size_t>(newHeight);
    FBits.resize(count);
    if (count == 0)
        FBits.shrink_to_fit();
    width = newWidth;
    height = newHeight;
}

void TIntegerMap::Clear(std::int32_t fillValue) {
    if (!FBits.empty())
        FillDwords(reinterpret_cast<std::uint32_t*>(FBits.data()), static_cast<std::int32_t>(FBits.size()),
                   static_cast<std::uint32_t>(fillValue));
    Changed();
}

void TIntegerMap::Assign(const TPersistent* source) {
    BeginUpdate();
    // The update ends and the change is reported also when the copy fails.
    // Not a scope_exit: Changed raises OnChange, which may throw, and a destructor must not.
    try {
        if (const auto* map = dynamic_cast<const TIntegerMap*>(source)) {
            SetSize(map->Width(), map->Height());
            FBits = map->FBits;
        } else {
            TCustomMap::Assign(source);
        }
    } catch (...) {
        EndUpdate();
        Changed();
        throw;
    }
    EndUpdate();
    Changed();
}

bool TIntegerMap::Empty() const {
    return FBits.empty();
}

std::size_t TIntegerMap::index_of(std::int32_t x, std::int32_t y) const {
    assert(x >= 0 && x < FWidth && y >= 0 && y < FHeight);
    return static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * static_cast<std::size_t>(FWidth);
}

std::int32_t* TIntegerMap::ValPtr(std::int32_t x, std::int32_t y) {
    return &FBits[index_of(x, y)];
}

std::int32_t TIntegerMap::Value(std::int32_t x, std::int32_t y) const {
    return FBits[index_of(x, y)];
}

void TIntegerMap::SetValue(std::int32_t x, std::int32_t y, std::int32_t value) {
    FBits[index_of(x, y)] = value;
}

std::int32_t* TIntegerMap::Scanline(std::int32_t y) {
    return &FBits[index_of(0, y)];
}

} // namespace kq
