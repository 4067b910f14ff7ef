#include "graphics/Raster_Math.h"

#include "graphics/Raster.h"

#include "graphics_test_support.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <limits>
#include <vector>

using namespace kq;

namespace {
constexpr std::int32_t int_min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t int_max = std::numeric_limits<std::int32_t>::max();
} // namespace

TEST(RasterMath, HalfToEvenRoundingIgnoresTheProcessorsRoundingMode) {
    // The vector renderer changes the rounding mode; the library's conversions must not follow it.
    const int saved = std::fegetround();
    for (const int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST}) {
        SCOPED_TRACE(mode);
        std::fesetround(mode);
        const std::int64_t halves[] = {detail::round_half_even(0.5), detail::round_half_even(1.5),
                                       detail::round_half_even(-0.5), detail::round_half_even(-1.5)};
        const TRect rect = FloatRectToRect({0.5f, 1.5f, 2.5f, -2.5f}, rect_rounding::nearest);
        std::fesetround(saved);
        EXPECT_EQ(halves[0], 0);
        EXPECT_EQ(halves[1], 2);
        EXPECT_EQ(halves[2], 0);
        EXPECT_EQ(halves[3], -2);
        EXPECT_EQ(rect, (TRect{0, 2, 2, -2}));
    }
}

TEST(RasterMath, FixedToIntRounding) {
    struct row { TFixed value; std::int32_t down, up, nearest; };
    const row rows[] = {
        {0x18000, 1, 2, 1}, // an exact half rounds down
        {0x18001, 1, 2, 2},
        {0x10000, 1, 1, 1},
        {-0x18000, -2, -1, -2},
        {int_max, 0x7FFF, 0x8000, 0x8000}, // no overflow at the top of the range
        {int_min, -0x8000, -0x8000, -0x8000},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.value);
        EXPECT_EQ(FixedToIntDown(r.value), r.down);
        EXPECT_EQ(FixedToIntUp(r.value), r.up);
        EXPECT_EQ(FixedToIntNearest(r.value), r.nearest);
    }
}

TEST(RasterMath, FixedProductAndQuotient) {
    EXPECT_EQ(FixedProduct(0x18000, 0x20000), 0x30000);
    EXPECT_EQ(FixedProduct(-0x18000, 0x20000), -0x30000);
    EXPECT_EQ(FixedProduct(0x10000, 0x10000), 0x10000);
    EXPECT_EQ(FixedQuotient(0x30000, 0x20000), 0x18000);
    EXPECT_EQ(FixedQuotient(-0x10000, 0x30000), -0x5555); // truncated toward zero
    EXPECT_EQ(FixedQuotient(1, 3), 0x5555);
}

TEST(RasterMath, MulDivRoundedRoundsHalvesAwayFromZero) {
    struct row { std::int32_t a, b, c, result; };
    const row rows[] = {
        {5, 3, 2, 8},   {-5, 3, 2, -8}, {5, -3, -2, 8}, {1, 1, 0, -1}, {7, 1, 3, 2},
        {8, 1, 3, 3},   {int_max, int_max, int_max, int_max},
        {100000, 100000, 100000, 100000}, // the product passes 32 bits
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << " " << r.b << " " << r.c);
        EXPECT_EQ(MulDivRounded(r.a, r.b, r.c), r.result);
    }
}

// Quotients just past the signed range used to come back wrapped to the other sign.
TEST(RasterMath, MulDivRoundedNeverWrapsAQuotient) {
    struct row { std::int32_t a, b, c, result; };
    const row rows[] = {
        {65536, 32768, 1, -1},         // 2^31 does not fit
        {-65536, 32768, 1, int_min},   // -2^31 does
        {65535, 65537, 2, -1},         // 2^31 - 0.5 rounds to 2^31
        {-65535, 65537, 2, int_min},
        {65535, 65537, 3, 1431655765}, // just below: exact
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.a << " " << r.b << " " << r.c);
        EXPECT_EQ(MulDivRounded(r.a, r.b, r.c), r.result);
    }
    // Random operands against a wide reference.
    for (int i = 0; i < 20000; ++i) {
        const auto a = static_cast<std::int32_t>(test::random_word());
        const auto b = static_cast<std::int32_t>(test::random_word()) >> (test::random_word() % 31);
        auto c = static_cast<std::int32_t>(test::random_word()) >> (test::random_word() % 31);
        if (c == 0)
            c = 1;
        const auto magnitude = [](std::int32_t v) { return static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(v))); };
        const std::uint64_t product = magnitude(a) * magnitude(b), divisor = magnitude(c);
        std::uint64_t q = product / divisor;
        if (2 * (product % divisor) >= divisor)
            ++q;
        const bool negative = ((a < 0) != (b < 0)) != (c < 0) && product != 0;
        const std::uint64_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
        const std::int32_t got = MulDivRounded(a, b, c);
        if (q > limit) {
            EXPECT_EQ(got, -1) << a << " " << b << " " << c;
        } else if (!(negative && q == 0x80000000u && got == -1)) { // the overflow test may claim -2^31 too
            const std::int64_t exact = negative ? -static_cast<std::int64_t>(q) : static_cast<std::int64_t>(q);
            EXPECT_EQ(got, exact) << a << " " << b << " " << c;
        }
    }
}

TEST(RasterMath, SmallHelpers) {
    EXPECT_TRUE(IsPowerOfTwo(0));
    EXPECT_TRUE(IsPowerOfTwo(1));
    EXPECT_TRUE(IsPowerOfTwo(1024));
    EXPECT_FALSE(IsPowerOfTwo(6));
    EXPECT_FALSE(IsPowerOfTwo(-1));

    std::int32_t rem = 0;
    EXPECT_EQ(DivRem(-7, 2, rem), -3);
    EXPECT_EQ(rem, -1);
    EXPECT_EQ(DivRem(7, -2, rem), -3);
    EXPECT_EQ(rem, 1);

    EXPECT_EQ(IntHypot(3, 4), 5);
    EXPECT_EQ(IntHypot(-5, 12), 13);
    EXPECT_EQ(IntHypot(1, 1), 1);
    EXPECT_EQ(IntHypot(int_min, int_min), int_max); // the hypotenuse passes the range
    EXPECT_FLOAT_EQ(FloatHypot(3, 4), 5);

    float s = 0, c = 0;
    SineCosine(0.5f, s, c);
    EXPECT_FLOAT_EQ(s, std::sin(0.5f));
    EXPECT_FLOAT_EQ(c, std::cos(0.5f));
    SineCosineScaled(0.5f, 2, s, c);
    EXPECT_FLOAT_EQ(s, 2 * std::sin(0.5f));
    EXPECT_FLOAT_EQ(c, 2 * std::cos(0.5f));
}

TEST(RasterMath, CumulativeSumSkipsZeroBitPatterns) {
    for (const auto form : {cumulative_sum_portable, cumulative_sum_sse2}) {
        std::vector<float> v{1, 2, 0, -0.0f, 4};
        form(v.data(), 5);
        EXPECT_EQ(v, (std::vector<float>{1, 3, 3, 3, 7}));
        // Nothing to do, and nothing read, for an empty or one-value array.
        form(nullptr, 0);
        float one = 5;
        form(&one, 1);
        EXPECT_EQ(one, 5);
    }
    EXPECT_EQ(CumulativeSum, cumulative_sum_sse2); // every processor these tests run on has SSE2
}

TEST(RasterMath, CumulativeSumSse2MatchesPortableUpToRounding) {
    for (int length = 0; length < 120; ++length)
        for (int offset = 0; offset < 4; ++offset) {
            std::vector<float> a(static_cast<std::size_t>(length + offset));
            for (float& x : a)
                x = test::random_word() % 4 == 0 ? 0.0f : static_cast<float>(test::random_word() % 2001) / 100 - 10;
            std::vector<float> b = a;
            cumulative_sum_portable(a.data() + offset, length);
            cumulative_sum_sse2(b.data() + offset, length);
            for (std::size_t i = 0; i < a.size(); ++i)
                ASSERT_NEAR(a[i], b[i], 1e-3f) << "length " << length << " offset " << offset << " at " << i;
        }
}
