#pragma once

#include "skin/uSkinImageList.h"

#include <cstdint>
#include <span>
#include <vector>

namespace kq::test {

// The bytes of each program's skin image store: resources of the test program under Windows, the files
// the build drew natively.
std::span<const std::uint8_t> kq_store_bytes();
std::span<const std::uint8_t> setup_store_bytes();

} // namespace kq::test
