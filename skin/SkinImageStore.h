#pragma once
// Reading the skin image store a program carries into a skin image list.

#include "skin/uSkinImageList.h"

#include <cstdint>
#include <span>

namespace kq {

// The skin image store a program carries (written by resources/make_skin_images.py): "KQSKIN01", the
// item count, then per item its name, description, draw mode, resampler class name and the bitmap's
// "Data" block. Replaces List's items by the store's. A damaged store raises EReadError and leaves the
// list empty; nothing is read past the end.
void read_skin_store(std::span<const std::uint8_t> Store, TSkinImageList& List);

// The error text of a damaged store.
inline constexpr char16_t skin_store_damaged_text[] = u"The skin image store is damaged";

} // namespace kq
