#pragma once
// Maps of integers.
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <vector>

namespace kq {

// A Width x Height map of Integers, row-major. Coordinates are not range-checked.
class TIntegerMap : public TCustomMap {
public:
    TIntegerMap() = default;
    TIntegerMap(std::int32_t width, std::int32_t height);

    // Every value := FillValue, then Changed.
    void Clear(std::int32_t fillValue);
    void Assign(const TPersistent* source) override;
    bool Empty() const override;

    // Nil when the map is empty.
    std::int32_t* Bits() { return FBits.empty() ? nullptr : FBits.data(); }
    std::int32_t* ValPtr(std::int32_t x, std::int32_t y);
    std::int32_t Value(std::int32_t x, std::int32_t y) const;
    void SetValue(std::int32_t x, std::int32_t y, std::int32_t value);
    std::int32_t* Scanline(std::int32_t y);

protected:
    void ChangeSize(std::int32_t& width, std::int32_t& height, std::int32_t newWidth, std::int32_t newHeight) override;

private:
    std::vector<std::int32_t> FBits;

    std::size_t index_of(std::int32_t x, std::int32_t y) const;
};

} // namespace kq
