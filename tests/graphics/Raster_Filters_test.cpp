#include "graphics/Raster_Filters.h"

#include "graphics_test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kq;

namespace {

const String registry = u"Raster_Filters bindings";

// The forms registered for an ID with the features they need, in registration order.
template <class Proc>
std::vector<std::pair<Proc, TCPUFeatures>> forms_of(std::int32_t id) {
    std::vector<std::pair<Proc, TCPUFeatures>> forms;
    TFunctionRegistry& r = test::registry_named(registry);
    for (std::int32_t i = 0; i < r.Count(); ++i)
        if (r.GetItems(i)->FunctionID == id)
            forms.push_back({reinterpret_cast<Proc>(r.GetItems(i)->Proc), r.GetItems(i)->CPUFeatures});
    return forms;
}

TColor32 reference(std::int32_t id, TColor32 v, TColor32 mask) {
    switch (id % 3) {
    case 0: return v & mask;
    case 1: return v | mask;
    default: return v ^ mask;
    }
}

} // namespace

TEST(RasterFilters, EveryFormOfEveryRoutineGivesTheSameResult) {
    struct row { std::int32_t count, offset; };
    std::vector<row> rows = {{0, 0}, {15, 0}, {16, 0}, {17, 0}, {15, 1}, {16, 3}, {17, 2}};
    for (int i = 0; i < 40; ++i)
        rows.push_back({static_cast<std::int32_t>(test::random_word() % 300), static_cast<std::int32_t>(test::random_word() % 4)});
    for (std::int32_t id = FID_MASKLINEAND; id <= FID_MASKCOPYXOR; ++id) {
        const bool copies = id >= FID_MASKCOPYAND;
        const std::size_t form_count = copies ? forms_of<mask_copy_proc>(id).size() : forms_of<mask_line_proc>(id).size();
        EXPECT_EQ(form_count, copies ? 4u : 2u) << id;
        for (std::size_t form = 0; form < form_count; ++form) {
            const TCPUFeatures needs =
                copies ? forms_of<mask_copy_proc>(id)[form].second : forms_of<mask_line_proc>(id)[form].second;
            if (!ProcessorFeatures.Includes(needs))
                continue;
            for (const row& r : rows) {
                SCOPED_TRACE(testing::Message() << "id " << id << " form " << form << " count " << r.count
                                                << " offset " << r.offset);
                const TColor32 mask = test::random_word();
                // Guards on both sides of the run must stay untouched.
                std::vector<TColor32> src(static_cast<std::size_t>(r.count + r.offset + 8)), dst(src.size());
                for (std::size_t i = 0; i < src.size(); ++i) {
                    src[i] = test::random_word();
                    dst[i] = test::random_word();
                }
                std::vector<TColor32> expected = dst;
                const std::size_t start = static_cast<std::size_t>(r.offset) + 4;
                for (std::int32_t i = 0; i < r.count; ++i) {
                    const std::size_t k = start + static_cast<std::size_t>(i);
                    expected[k] = reference(id, copies ? src[k] : dst[k], mask);
                }
                if (copies)
                    forms_of<mask_copy_proc>(id)[form].first(src.data() + start, dst.data() + start, r.count, mask);
                else
                    forms_of<mask_line_proc>(id)[form].first(dst.data() + start, mask, r.count);
                ASSERT_EQ(dst, expected);
            }
        }
    }
}

TEST(RasterFilters, BoundRoutinesOnKnownValues) {
    std::vector<TColor32> line = {0x12345678, 0xFFFFFFFF, 0, 0x80808080};
    const std::vector<TColor32> original = line;
    MaskLineXor(line.data(), 0x5A5A5A5A, 4);
    EXPECT_NE(line, original);
    MaskLineXor(line.data(), 0x5A5A5A5A, 4);
    EXPECT_EQ(line, original);
    std::vector<TColor32> copy(4);
    MaskCopyAnd(original.data(), copy.data(), 4, 0x00FFFFFF);
    EXPECT_EQ(copy, (std::vector<TColor32>{0x00345678, 0x00FFFFFF, 0, 0x00808080}));
    MaskLineOr(copy.data(), 0xFF000000, 2);
    EXPECT_EQ(copy[0], 0xFF345678u);
    EXPECT_EQ(copy[2], 0u);
}
