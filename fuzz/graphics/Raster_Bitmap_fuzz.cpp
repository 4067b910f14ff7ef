// Bitmap streams from anywhere: the "Data" reader and the BMP reader may only succeed or raise, must not
// allocate what the stream cannot hold, and a failed read leaves the bitmap as it was. What they read
// writes back to the same pixels.

#include "fuzz/FuzzInput.h"
#include "framework/Exceptions.h"
#include "framework/Streams.h"
#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

using namespace kq;

using fuzz::check;

bool same_pixels(const TCustomBitmap32& a, const TCustomBitmap32& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    if (a.Empty() || b.Empty()) return a.Empty() == b.Empty();
    return std::memcmp(a.Bits(), b.Bits(), static_cast<std::size_t>(a.Width()) * a.Height() * 4) == 0;
}

template <class Read, class Write>
void reader(const std::uint8_t* data, std::size_t size, Read read, Write write) {
    TCustomBitmap32 bitmap;
    bitmap.SetSize(2, 1);
    bitmap.SetPixel(0, 0, 0x01020304);
    TMemoryStream in;
    in.WriteBuffer(data, static_cast<std::int64_t>(size));
    in.SetPosition(0);
    try {
        read(bitmap, in);
    } catch (const Exception&) {
        check(bitmap.Width() == 2 && bitmap.Height() == 1 && bitmap.GetPixel(0, 0) == 0x01020304);
        return;
    }
    TMemoryStream out;
    write(bitmap, out);
    out.SetPosition(0);
    TCustomBitmap32 again;
    read(again, out);
    check(same_pixels(bitmap, again));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::start_once([] { graphics_startup(); });
    if (size == 0) return 0;
    // The first byte picks the reader, so one corpus covers both.
    if (data[0] & 1)
        reader(data + 1, size - 1, [](TCustomBitmap32& b, TStream& s) { b.ReadData(s); },
               [](const TCustomBitmap32& b, TStream& s) { b.WriteData(s); });
    else
        reader(data + 1, size - 1, [](TCustomBitmap32& b, TStream& s) { b.LoadFromStream(s); },
               [](const TCustomBitmap32& b, TStream& s) { b.SaveToStream(s, (b.Width() & 1) != 0); });
    return 0;
}
