#include "graphics/Raster_LowLevel.h"

#include "graphics_test_support.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace kq;

namespace {

struct fill_form {
    const char* name;
    fill_dwords_proc proc;
};

const fill_form fill_forms[] = {{"portable", fill_dwords_portable},
                                {"store run", fill_dwords_store_run},
                                {"MMX", fill_dwords_mmx},
                                {"SSE2", fill_dwords_sse2}};

} // namespace

TEST(RasterLowLevel, EveryFillFormWritesExactlyItsWords) {
    constexpr std::uint32_t guard = 0xDEADBEEF, value = 0x12345678;
    for (const fill_form& form : fill_forms) {
        SCOPED_TRACE(form.name);
        for (int offset = 0; offset < 5; ++offset)
            for (int count = -3; count < 75; ++count) {
                std::vector<std::uint32_t> buffer(100, guard);
                form.proc(buffer.data() + offset, count, value);
                for (int i = 0; i < 100; ++i) {
                    const bool inside = i >= offset && i < offset + count;
                    ASSERT_EQ(buffer[static_cast<std::size_t>(i)], inside ? value : guard)
                        << "offset " << offset << " count " << count << " word " << i;
                }
            }
    }
}

TEST(RasterLowLevel, MoveDwordsCopiesForward) {
    std::vector<std::uint32_t> words{1, 2, 3, 4, 5, 6};
    MoveDwords(words.data() + 2, words.data(), 4); // destination below the source
    EXPECT_EQ(words, (std::vector<std::uint32_t>{3, 4, 5, 6, 5, 6}));
    MoveDwords(words.data(), words.data(), 6);
    MoveDwords(words.data(), words.data() + 1, 0);
    MoveDwords(words.data(), words.data() + 1, -2);
    EXPECT_EQ(words, (std::vector<std::uint32_t>{3, 4, 5, 6, 5, 6}));
}

TEST(RasterLowLevel, SwapSortAndClipSpan) {
    std::int32_t a = 5, b = 2;
    SortPair(a, b);
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 5);
    int x = 1, y = 2;
    int *px = &x, *py = &y;
    SwapValues(px, py);
    EXPECT_EQ(*px, 2);

    struct row { std::int32_t a, b, start, stop; bool visible; std::int32_t ca, cb; };
    const row rows[] = {
        {8, 2, 0, 10, true, 2, 8},   {-5, 20, 0, 10, true, 0, 9}, {12, 15, 0, 10, false, 12, 9},
        {3, 3, 0, 10, true, 3, 3},   {-3, -1, 0, 10, false, 0, -1},
    };
    for (const row& r : rows) {
        std::int32_t ca = r.a, cb = r.b;
        EXPECT_EQ(ClipSpan(ca, cb, r.start, r.stop), r.visible) << r.a << " " << r.b;
        EXPECT_EQ(ca, r.ca);
        EXPECT_EQ(cb, r.cb);
    }
}

TEST(RasterLowLevel, Clamping) {
    EXPECT_EQ(ClampByte(-1), 0);
    EXPECT_EQ(ClampByte(256), 255);
    EXPECT_EQ(ClampByte(17), 17);
    EXPECT_EQ(ClampToRange(5, 0, 3), 3);
    EXPECT_EQ(ClampToRange(-5, 0, 3), 0);
    EXPECT_EQ(ClampToRange(1, 5, 3), 3); // Min above Max gives Max
    EXPECT_EQ(ConstrainUnordered(9, 7, 2), 7);
    EXPECT_EQ(ConstrainUnordered(0, 7, 2), 2);
    EXPECT_EQ(ClampUpTo(12, 10), 10);
    EXPECT_EQ(ClampUpTo(-2, 10), 0);
    EXPECT_EQ(MaxOf3(1, 9, 4), 9);
    EXPECT_EQ(MinOf3(1, -9, 4), -9);
}

TEST(RasterLowLevel, WrapAndMirrorEdgeValues) {
    struct row { TWrapProcEx proc; std::int32_t v, min, max, result; };
    const row rows[] = {
        {WrapInt, -1, 0, 9, 9},     {WrapInt, 10, 0, 9, 0},     {WrapInt, 23, 0, 9, 3},
        {WrapInt, -11, 0, 9, 9},    {WrapInt, 3, 5, 7, 6},      {MirrorInt, 12, 0, 9, 7},
        {MirrorInt, -1, 0, 9, 0},   {MirrorInt, 10, 0, 9, 9},   {MirrorInt, 25, 0, 9, 5},
        {WrapMask, -1, 0, 7, 7},    {WrapMask, 9, 1, 8, 1},     {MirrorMask, 8, 0, 7, 7},
        {MirrorMask, 9, 0, 7, 6},   {MirrorMask, -1, 0, 7, 0},
    };
    for (const row& r : rows)
        EXPECT_EQ(r.proc(r.v, r.min, r.max), r.result) << r.v << " in " << r.min << ".." << r.max;
}

// The mask forms stand in for the general ones wherever the best-function rules pick them.
TEST(RasterLowLevel, MaskFormsAgreeWithGeneralForms) {
    for (const auto& [min, max] : {std::pair{0, 7}, {1, 8}, {3, 18}, {0, 0}, {5, 68}})
        for (std::int32_t v = -200; v <= 200; ++v) {
            EXPECT_EQ(BestWrapFunc(min, max)(v, min, max), WrapInt(v, min, max)) << v << " " << min;
            EXPECT_EQ(BestMirrorFunc(min, max)(v, min, max), MirrorInt(v, min, max)) << v << " " << min;
        }
}

TEST(RasterLowLevel, WrapFunctionChoice) {
    EXPECT_EQ(WrapFuncForRange(wmRepeat, 0, 7), WrapMask);
    EXPECT_EQ(WrapFuncForRange(wmRepeat, 1, 8), WrapMask);
    EXPECT_EQ(WrapFuncForRange(wmRepeat, 0, 9), WrapInt);
    EXPECT_EQ(WrapFuncForRange(wmRepeat, -1, 6), WrapInt);
    EXPECT_EQ(WrapFuncForRange(wmMirror, 0, 15), MirrorMask);
    EXPECT_EQ(WrapFuncForRange(wmMirror, 0, 14), MirrorInt);
    EXPECT_EQ(WrapFuncForRange(wmClamp, 0, 7), ClampToRange);
    EXPECT_EQ(WrapFuncFor(wmRepeat), WrapInt);
    EXPECT_EQ(WrapFuncFor(wmMirror), MirrorInt);
    EXPECT_EQ(WrapFuncFor(wmClamp), ClampToRange);
}

// Empty ranges and the ends of the Integer range must neither divide by zero nor overflow.
TEST(RasterLowLevel, WrapFunctionsSurviveDegenerateRanges) {
    constexpr std::int32_t lo = std::numeric_limits<std::int32_t>::min(), hi = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(WrapInt(5, 3, 2), 2);
    EXPECT_EQ(MirrorInt(5, 3, 2), 2);
    EXPECT_EQ(WrapInt(lo, 0, 9), WrapInt(lo % 10 + 10, 0, 9));
    EXPECT_EQ(WrapInt(hi, -5, 5), -5 + static_cast<std::int32_t>((static_cast<std::int64_t>(hi) + 5) % 11));
    const std::int32_t m = MirrorInt(lo, 0, 9);
    EXPECT_TRUE(m >= 0 && m <= 9);
}

TEST(RasterLowLevel, WrapFloat) {
    EXPECT_FLOAT_EQ(WrapFloat(7.5f, 3), 1.5f);
    EXPECT_FLOAT_EQ(WrapFloat(-0.5f, 3), 2.5f);
    EXPECT_FLOAT_EQ(WrapFloat(2, 3), 2);
    // These would never finish subtracting.
    EXPECT_FLOAT_EQ(WrapFloat(5, 0), 5);
    EXPECT_FLOAT_EQ(WrapFloat(5, -1), 5);
    const float far = WrapFloat(1e30f, 1);
    EXPECT_TRUE(far >= 0 && far < 1);
}

TEST(RasterLowLevel, DivBy255AndShifts) {
    for (std::uint32_t v = 0; v <= 66298; ++v)
        ASSERT_EQ(DivBy255(v), v / 255) << v;
    EXPECT_EQ(Shift8Right(-256), -1);
    EXPECT_EQ(Shift8Right(-1), -1);
    EXPECT_EQ(Shift9Right(1024), 2);
}
