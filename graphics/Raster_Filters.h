#pragma once
// Bit-mask filters.
#include "graphics/Raster.h"

#include <cstdint>

namespace kq {

// Bit masks over runs of 32-bit pixels, bound at start-up (registry "Raster_Filters bindings"). A Count
// of 0 or less changes nothing.
using mask_line_proc = void (*)(PColor32 Dst, TColor32 Mask, std::int32_t Count);
using mask_copy_proc = void (*)(const TColor32* Src, PColor32 Dst, std::int32_t Count, TColor32 Mask);

extern mask_line_proc MaskLineAnd;
extern mask_line_proc MaskLineOr;
extern mask_line_proc MaskLineXor;
extern mask_copy_proc MaskCopyAnd;
extern mask_copy_proc MaskCopyOr;
extern mask_copy_proc MaskCopyXor;

constexpr std::int32_t FID_MASKLINEAND = 0;
constexpr std::int32_t FID_MASKLINEOR = 1;
constexpr std::int32_t FID_MASKLINEXOR = 2;
constexpr std::int32_t FID_MASKCOPYAND = 3;
constexpr std::int32_t FID_MASKCOPYOR = 4;
constexpr std::int32_t FID_MASKCOPYXOR = 5;

void Raster_Filters_startup();

} // namespace kq
