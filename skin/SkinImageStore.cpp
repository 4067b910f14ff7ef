#include "skin/SkinImageStore.h"

#include "framework/Exceptions.h"
#include "framework/Handles.h"
#include "graphics/Raster_Resamplers.h"

#include <cstring>
#include <string_view>

namespace kq {
namespace {

constexpr std::string_view store_magic = "KQSKIN01";
// Every image the programs carry is far below this; a larger count or size is damage.
constexpr std::uint32_t max_items = 4096;
constexpr std::int32_t max_side = 16384;

class store_reader {
public:
    explicit store_reader(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}

    std::span<const std::uint8_t> take(std::size_t count) {
        if (count > FBytes.size() - FPos) damaged();
        auto part = FBytes.subspan(FPos, count);
        FPos += count;
        return part;
    }
    std::uint32_t u32() {
        auto b = take(4);
        return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
    }
    std::uint16_t u16() {
        auto b = take(2);
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::uint8_t u8() { return take(1)[0]; }
    String text() {
        auto b = take(u16());
        return utf8_to_string(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
    }
    bool at_end() const noexcept { return FPos == FBytes.size(); }

    [[noreturn]] static void damaged() { throw EReadError(skin_store_damaged_text); }

private:
    std::span<const std::uint8_t> FBytes;
    std::size_t FPos = 0;
};

std::int32_t le_i32(std::span<const std::uint8_t> b) {
    return static_cast<std::int32_t>(std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
                                     std::uint32_t{b[3]} << 24);
}

void read_item(store_reader& in, TSkinBitmapItem& item) {
    item.SetResID(in.text());
    item.SetDescription(in.text());
    const std::uint8_t mode = in.u8();
    if (mode > dmTransparent) store_reader::damaged();
    const String resampler = in.text();
    const std::uint32_t size = in.u32();
    auto data = in.take(size);
    if (size < 8) store_reader::damaged();
    const std::int32_t w = le_i32(data.subspan(0, 4)), h = le_i32(data.subspan(4, 4));
    if (w < 0 || h < 0 || w > max_side || h > max_side ||
        std::uint64_t{size} != 8 + 4 * std::uint64_t(w) * std::uint64_t(h))
        store_reader::damaged();
    TSkinImage* bitmap = item.Bitmap();
    bitmap->SetDrawMode(static_cast<TDrawMode>(mode));
    if (!resampler.empty()) {
        if (!FindResamplerClass(resampler)) store_reader::damaged();
        bitmap->SetResamplerClassName(resampler);
    }
    bitmap->SetSize(w, h);
    if (w > 0 && h > 0) std::memcpy(bitmap->Bits(), data.data() + 8, size - 8);
}

} // namespace

void read_skin_store(std::span<const std::uint8_t> Store, TSkinImageList& List) {
    TSkinBitmapCollection& items = *List.Bitmaps();
    items.BeginUpdate();
    bool complete = false;
    auto end_update = scope_exit([&] {
        if (!complete) items.Clear();
        items.EndUpdate();
    });
    items.Clear();
    store_reader in(Store);
    auto magic = in.take(store_magic.size());
    if (std::memcmp(magic.data(), store_magic.data(), store_magic.size()) != 0) store_reader::damaged();
    const std::uint32_t count = in.u32();
    if (count > max_items) store_reader::damaged();
    for (std::uint32_t i = 0; i < count; ++i) read_item(in, *items.Add());
    if (!in.at_end()) store_reader::damaged();
    complete = true;
}

} // namespace kq
