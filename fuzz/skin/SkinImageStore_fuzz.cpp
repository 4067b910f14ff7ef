// Image stores from anywhere: the reader may only fill the list with whole images or raise EReadError and
// leave it empty, never read past the store or allocate what the store cannot hold.

#include "fuzz/FuzzInput.h"
#include "framework/Exceptions.h"
#include "graphics/Raster.h"
#include "skin/SkinImageStore.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

using namespace kq;

using fuzz::check;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::start_once([] { graphics_startup(); });
    TSkinImageList list(nullptr);
    // A list that held images before: a damaged store must not leave them, nor half of its own.
    list.Bitmaps()->Add();
    try {
        read_skin_store(std::span<const std::uint8_t>(data, size), list);
    } catch (const EReadError&) {
        check(list.Bitmaps()->Count() == 0);
        return 0;
    }
    std::uint64_t bytes = 8 + 4;
    for (int i = 0; i < list.Bitmaps()->Count(); ++i) {
        const TSkinImage* image = list.Bitmap(i);
        check(image->Width() >= 0 && image->Height() >= 0);
        bytes += 4 * static_cast<std::uint64_t>(image->Width()) * static_cast<std::uint64_t>(image->Height());
    }
    check(bytes <= size);
    return 0;
}
