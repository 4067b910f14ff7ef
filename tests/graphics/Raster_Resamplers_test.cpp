#include "graphics/Raster_Resamplers.h"

#include "framework/Exceptions.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_OrdinalMaps.h"
#include "graphics_test_support.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

using namespace kq;

namespace {

std::vector<std::unique_ptr<TCustomKernel>> every_kernel() {
    std::vector<std::unique_ptr<TCustomKernel>> kernels;
    for (std::int32_t i = 0; i < KernelClassList()->Count(); ++i)
        kernels.push_back(static_cast<const kernel_class*>(KernelClassList()->GetItems(i))->Create());
    return kernels;
}

struct counting_observer : TNotifiablePersistent {
    int changes = 0;
    void Changed() override { ++changes; }
};

using average_form = TColor32 (*)(std::int32_t, std::int32_t, const TColor32*, std::int32_t);
using interpolate_form = TColor32 (*)(std::int32_t, std::int32_t, const TColor32*, const TColor32*);
const String registry = u"Raster_Resamplers bindings";

// The four-pixel formula in plain integers.
TColor32 interpolate_reference(std::int32_t wx, std::int32_t wy, const TColor32* top, const TColor32* bottom) {
    TColor32 result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const auto channel = [shift](TColor32 c) { return static_cast<std::int32_t>((c >> shift) & 0xFF); };
        const std::int32_t t = (channel(top[0]) * wx + channel(top[1]) * (256 - wx)) >> 8;
        const std::int32_t b = (channel(bottom[0]) * wx + channel(bottom[1]) * (256 - wx)) >> 8;
        result |= static_cast<TColor32>((t * wy + b * (256 - wy)) >> 8) << shift;
    }
    return result;
}

} // namespace

// --- Kernels

TEST(RasterKernels, FilterValues) {
    TCubicKernel cubic;
    TBoxKernel box;
    TLinearKernel linear;
    TCosineKernel cosine;
    TSplineKernel spline;
    TMitchellKernel mitchell;
    THermiteKernel hermite;
    TLanczosKernel lanczos;
    TSinshKernel sinsh;
    TGaussianKernel gaussian;
    struct row {
        const TCustomKernel* kernel;
        float x, expected;
    };
    const row rows[] = {
        {&box, 0.5f, 1},      {&box, -0.5f, 1},      {&box, 0.51f, 0},       {&linear, 1, 0},
        {&linear, -1, 0},     {&linear, 0.25f, 0.75f}, {&linear, -0.25f, 0.75f}, {&cubic, 0, 1},
        {&cubic, 1, 0},       {&cubic, 2, 0},        {&cubic, 0.5f, 0.5625f}, {&cubic, 1.5f, -0.0625f},
        {&cosine, 0, 1},      {&cosine, 0.5f, 0.5f}, {&cosine, 1, 0},        {&spline, 0, 2.0f / 3},
        {&spline, 1, 1.0f / 6}, {&spline, 2, 0},     {&mitchell, 0, 16.0f / 18}, {&mitchell, 1, 1.0f / 18},
        {&mitchell, 2, 0},    {&hermite, 0, 1},      {&hermite, -1, 0},      {&hermite, 1, 0},
        {&hermite, 0.5f, 0.5625f}, {&hermite, -0.5f, 0.5625f}, {&hermite, 1.5f, -0.0625f}, {&lanczos, 0, 1},   {&lanczos, 1, 0},
        {&lanczos, 3, 0},     {&lanczos, 4, 0},      {&sinsh, 0, 1},         {&gaussian, 0, 1},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << string_to_utf8(r.kernel->ClassName()) << " at " << r.x);
        EXPECT_NEAR(r.kernel->Filter(r.x), r.expected, 1e-6);
    }
}

TEST(RasterKernels, WidthsAndClamping) {
    struct row {
        String name;
        float width;
        bool clamps;
    };
    const row rows[] = {
        {u"TBoxKernel", 1, false},      {u"TLinearKernel", 1, false},  {u"TCosineKernel", 1, false},
        {u"TSplineKernel", 2, true},    {u"TCubicKernel", 2, true},    {u"TMitchellKernel", 2, true},
        {u"TAlbrechtKernel", 3, true},  {u"TLanczosKernel", 3, true},  {u"TGaussianKernel", 3, true},
        {u"TBlackmanKernel", 3, true},  {u"THannKernel", 3, true},     {u"THammingKernel", 3, true},
        {u"TSinshKernel", 3, true},     {u"THermiteKernel", 2, true},
    };
    ASSERT_EQ(KernelClassList()->Count(), 14);
    for (std::int32_t i = 0; i < 14; ++i) {
        const row& r = rows[i];
        SCOPED_TRACE(string_to_utf8(r.name));
        EXPECT_EQ(KernelClassList()->GetItems(i)->ClassName, r.name); // the list keeps this order
        const auto kernel = create_kernel(r.name);
        ASSERT_TRUE(kernel);
        EXPECT_EQ(kernel->ClassName(), r.name);
        EXPECT_EQ(kernel->GetWidth(), r.width);
        EXPECT_EQ(kernel->NeedsClamping(), r.clamps);
    }
    EXPECT_FALSE(create_kernel(u"tboxkernel"));
}

TEST(RasterKernels, ParameterSettersKeepTheirLimits) {
    TLanczosKernel lanczos;
    lanczos.SetWidth(20);
    EXPECT_EQ(lanczos.Width(), 16);
    EXPECT_EQ(lanczos.Filter(15.5f) != 0, true);
    TAlbrechtKernel albrecht;
    EXPECT_EQ(albrecht.Terms(), 7);
    albrecht.SetTerms(1);
    EXPECT_EQ(albrecht.Terms(), 2);
    albrecht.SetTerms(12);
    EXPECT_EQ(albrecht.Terms(), 11);
    TGaussianKernel gaussian;
    gaussian.SetSigma(0);
    EXPECT_FLOAT_EQ(gaussian.Sigma(), 1.33f);
    EXPECT_NEAR(gaussian.WindowValue(1), std::exp(-std::log(2.0) / 1.33), 1e-6);
    TSinshKernel sinsh;
    sinsh.SetCoeff(0);
    EXPECT_EQ(sinsh.Coeff(), 0.5f);
    sinsh.SetWidth(40); // not capped
    EXPECT_EQ(sinsh.GetWidth(), 40);
}

TEST(RasterKernels, AlbrechtWindowUsesItsCoefficients) {
    TAlbrechtKernel albrecht;
    // At x = 0 the window is the sum of the coefficients; at the width's end (c = -1) their alternating sum.
    for (std::int32_t terms = 2; terms <= 11; ++terms) {
        SCOPED_TRACE(terms);
        albrecht.SetTerms(terms);
        double sum = 0, alternating = 0;
        for (std::int32_t i = 0; i < terms; ++i) {
            sum += AlbrechtCoefficients[terms - 2][i];
            alternating += (i % 2 ? -1 : 1) * AlbrechtCoefficients[terms - 2][i];
        }
        EXPECT_NEAR(albrecht.WindowValue(0), sum, 1e-6);
        EXPECT_NEAR(albrecht.WindowValue(3), alternating, 1e-6);
    }
}

TEST(RasterKernels, ChangesReachTheObserverOnlyWhenAValueChanges) {
    counting_observer observer;
    TCubicKernel cubic;
    cubic.FObserver = &observer;
    cubic.SetCoeff(-0.5f);
    EXPECT_EQ(observer.changes, 0);
    cubic.SetCoeff(-1);
    EXPECT_EQ(observer.changes, 1);
    TLanczosKernel lanczos;
    lanczos.FObserver = &observer;
    lanczos.SetWidth(16);
    lanczos.SetWidth(30); // still 16
    EXPECT_EQ(observer.changes, 2);
    TGaussianKernel gaussian;
    gaussian.FObserver = &observer;
    gaussian.SetSigma(0);
    gaussian.SetSigma(2);
    EXPECT_EQ(observer.changes, 3);
}

TEST(RasterKernels, AssignCopiesPublishedPropertiesBetweenKernels) {
    TAlbrechtKernel source;
    source.SetWidth(5);
    source.SetTerms(4);
    TAlbrechtKernel dest;
    dest.Assign(&source);
    EXPECT_EQ(dest.Width(), 5);
    EXPECT_EQ(dest.Terms(), 4);
    TLanczosKernel lanczos; // only the width is shared
    lanczos.Assign(&source);
    EXPECT_EQ(lanczos.Width(), 5);
    TCubicKernel cubic;
    cubic.SetCoeff(-1);
    TCubicKernel other;
    other.Assign(&cubic);
    EXPECT_EQ(other.Coeff(), -1);
    TIntegerMap map;
    EXPECT_EQ(raised_message<EConvertError>([&] { map.Assign(&cubic); }),
              u"Cannot assign a TCubicKernel to a TIntegerMap");
}

// --- Weights

TEST(RasterKernels, WeightTableRowsSumTo256ForEveryKernelAndWidth) {
    const float widths[] = {0.3f, 1, 2.5f, 7, 16};
    for (const auto& kernel : every_kernel()) {
        for (const std::int32_t tableSize : {1, 2, 5, 32}) {
            const auto check = [&](const TCustomKernel& k) {
                SCOPED_TRACE(testing::Message() << string_to_utf8(k.ClassName()) << " width " << k.GetWidth() << " size " << tableSize);
                TIntegerMap table;
                build_weight_table(k, tableSize, table);
                const std::int32_t w = static_cast<std::int32_t>(std::ceil(std::max(k.GetWidth(), 0.0f)));
                const std::int32_t rows = std::max(tableSize, 2) + 1;
                ASSERT_EQ(table.Width(), 2 * w + 1);
                ASSERT_EQ(table.Height(), rows);
                for (std::int32_t y = 0; y < rows; ++y) {
                    std::int32_t sum = 0;
                    for (std::int32_t x = 0; x < table.Width(); ++x)
                        sum += table.Value(x, y);
                    EXPECT_EQ(sum, 256) << "row " << y;
                }
            };
            check(*kernel);
            if (auto* windowed = dynamic_cast<TWindowedSincKernel*>(kernel.get()))
                for (const float width : widths) {
                    windowed->SetWidth(width);
                    check(*windowed);
                }
        }
    }
}

TEST(RasterKernels, WeightTableRowsSampleTheFilterAtTheirFraction) {
    TLinearKernel linear;
    TIntegerMap table;
    build_weight_table(linear, 32, table);
    ASSERT_EQ(table.Width(), 3);
    ASSERT_EQ(table.Height(), 33);
    // Row 0 at fraction 0; row 31 at fraction 1 (one whole pixel on).
    EXPECT_EQ(table.Value(0, 0), 0);
    EXPECT_EQ(table.Value(1, 0), 256);
    EXPECT_EQ(table.Value(2, 0), 0);
    EXPECT_EQ(table.Value(0, 31), 256);
    EXPECT_EQ(table.Value(1, 31), 0);
    EXPECT_EQ(table.Value(2, 31), 0);
    TSinshKernel negative;
    negative.SetWidth(-4); // reaches nowhere: one column holding everything
    build_weight_table(negative, 4, table);
    EXPECT_EQ(table.Width(), 1);
    EXPECT_EQ(table.Value(0, 2), 256);
}

TEST(RasterKernels, WeightMapsStayInsideTheSourceAndSumTo256) {
    struct row {
        std::int32_t dstLo, dstHi, clipLo, clipHi, srcLo, srcHi;
    };
    const row rows[] = {
        {0, 40, 0, 40, 0, 10},    {0, 40, 13, 27, 0, 10},  {0, 10, 0, 10, 0, 40},  {0, 10, 3, 4, 5, 45},
        {-7, 33, 0, 20, 2, 9},    {0, 3, 0, 3, 0, 1000},   {0, 1000, 990, 1000, 0, 3}, {5, 6, 5, 6, 0, 7},
        {0, 7, 0, 7, 3, 5},       {0, 5, 0, 5, 0, 2},      {100, 101, 100, 101, 0, 1}, {0, 640, 0, 640, 0, 1920},
    };
    const float widths[] = {0.3f, 1, 3, 16};
    for (const auto& kernel : every_kernel()) {
        for (const float width : widths) {
            if (auto* windowed = dynamic_cast<TWindowedSincKernel*>(kernel.get()))
                windowed->SetWidth(width);
            else if (width != 1)
                continue;
            for (const row& r : rows) {
                SCOPED_TRACE(testing::Message() << string_to_utf8(kernel->ClassName()) << " width " << width << " dst " << r.dstLo
                                                << ".." << r.dstHi << " clip " << r.clipLo << ".." << r.clipHi
                                                << " src " << r.srcLo << ".." << r.srcHi);
                const TMappingTable map =
                    BuildWeightMap(r.dstLo, r.dstHi, r.clipLo, r.clipHi, r.srcLo, r.srcHi, *kernel);
                ASSERT_EQ(map.size(), static_cast<std::size_t>(r.clipHi - r.clipLo));
                for (const TCluster& cluster : map) {
                    ASSERT_FALSE(cluster.empty());
                    std::int32_t sum = 0;
                    for (const TPointRec& p : cluster) {
                        EXPECT_GE(p.Pos, r.srcLo);
                        EXPECT_LT(p.Pos, r.srcHi);
                        sum += p.Weight;
                    }
                    EXPECT_EQ(sum, 256);
                }
            }
        }
    }
}

TEST(RasterKernels, WeightMapEdgeCases) {
    TBoxKernel box;
    EXPECT_TRUE(BuildWeightMap(0, 10, 0, 10, 4, 4, box).empty()); // no source
    EXPECT_TRUE(BuildWeightMap(0, 10, 5, 5, 0, 4, box).empty());  // no clip
    const TMappingTable single = BuildWeightMap(0, 3, 0, 3, 6, 7, box);
    ASSERT_EQ(single.size(), 3u);
    for (const TCluster& c : single)
        EXPECT_EQ(c, (TCluster{{6, 256}}));
    const TMappingTable collapsed = BuildWeightMap(4, 4, 0, 2, 2, 9, box); // no destination width
    ASSERT_EQ(collapsed.size(), 2u);
    EXPECT_EQ(collapsed[0], (TCluster{{5, 256}}));
    // Box enlargement by 2: each source pixel twice.
    const TMappingTable doubled = BuildWeightMap(0, 4, 0, 4, 0, 2, box);
    ASSERT_EQ(doubled.size(), 4u);
    const std::int32_t expected[] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(doubled[i].size(), 1u);
        EXPECT_EQ(doubled[i][0].Pos, expected[i]);
    }
}

// --- Block average

TEST(RasterResamplerRoutines, AverageBlockOfTheFourPixelExample) {
    const TColor32 block[] = {0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF};
    for (int form = 0; form < 3; ++form)
        EXPECT_EQ(test::registered_form<average_form>(registry, resamplers_id::AverageBlock, form)(2, 2, block, 8),
                  0xFF7F7F7Fu);
    EXPECT_EQ(AverageBlock(4, 1, block, 16), 0xFF7F7F7Fu);
}

// A block of one colour averages to that colour whatever its pixel count (a reciprocal factor would lose a
// step for counts that are not powers of two).
TEST(RasterResamplerRoutines, AverageBlockOfOneColourIsThatColour) {
    const TColor32 colours[] = {0xFFFFFFFF, 0x80FF7F01, 0x00000000, 0x01010101};
    const std::int32_t sizes[][2] = {{3, 1}, {1, 3}, {7, 5}, {3, 3}, {300, 2}, {600, 3}, {255, 255}};
    for (const TColor32 colour : colours)
        for (const auto& size : sizes) {
            const std::vector<TColor32> block(static_cast<std::size_t>(size[0] * size[1]), colour);
            for (int form = 0; form < 3; ++form) {
                SCOPED_TRACE(testing::Message() << std::hex << colour << std::dec << " " << size[0] << "x" << size[1]
                                                << " form " << form);
                EXPECT_EQ(test::registered_form<average_form>(registry, resamplers_id::AverageBlock, form)(
                              size[0], size[1], block.data(), size[0] * 4),
                          colour);
            }
        }
}

TEST(RasterResamplerRoutines, AverageBlockFormsAgreeOnRandomBlocks) {
    const auto plain = test::registered_form<average_form>(registry, resamplers_id::AverageBlock, 0);
    const std::int32_t widths[] = {1, 2, 3, 7, 16, 33, 257, 258, 700};
    std::vector<TColor32> image(1024 * 6 + 3);
    for (TColor32& p : image)
        p = test::random_word();
    for (const std::int32_t width : widths)
        for (const std::int32_t height : {1, 2, 5})
            for (const std::int32_t offset : {0, 1, 3}) {
                SCOPED_TRACE(testing::Message() << width << "x" << height << " at " << offset);
                const TColor32* first = image.data() + offset;
                const TColor32 expected = plain(width, height, first, 1024 * 4);
                for (int form = 1; form < 3; ++form)
                    EXPECT_EQ(test::registered_form<average_form>(registry, resamplers_id::AverageBlock, form)(
                                  width, height, first, 1024 * 4),
                              expected);
            }
    for (int form = 0; form < 3; ++form) // an empty block reads nothing
        EXPECT_EQ(test::registered_form<average_form>(registry, resamplers_id::AverageBlock, form)(0, 5, nullptr, 0), 0u);
}

// --- Four-pixel interpolation

TEST(RasterResamplerRoutines, InterpolateFourCorners) {
    const TColor32 top[] = {0x11223344, 0x55667788};
    const TColor32 bottom[] = {0x99AABBCC, 0xDDEEFF00};
    EXPECT_EQ(InterpolateFour(256, 256, top, bottom), top[0]);
    EXPECT_EQ(InterpolateFour(0, 0, top, bottom), bottom[1]);
    EXPECT_EQ(InterpolateFour(0, 256, top, bottom), top[1]);
    EXPECT_EQ(InterpolateFour(256, 0, top, bottom), bottom[0]);
}

TEST(RasterResamplerRoutines, SimdInterpolationFormsComputeTheFormula) {
    for (int form = 1; form < 3; ++form) {
        const auto f = test::registered_form<interpolate_form>(registry, resamplers_id::InterpolateFour, form);
        for (int i = 0; i < 20000; ++i) {
            // Pairs at odd offsets of a row, as the bilinear stretch reads them.
            TColor32 row[5];
            for (TColor32& p : row)
                p = test::random_word();
            const std::int32_t wx = static_cast<std::int32_t>(test::random_word() % 257);
            const std::int32_t wy = static_cast<std::int32_t>(test::random_word() % 257);
            ASSERT_EQ(f(wx, wy, row + 1, row + 3), interpolate_reference(wx, wy, row + 1, row + 3))
                << "form " << form << " wx " << wx << " wy " << wy;
        }
    }
}

TEST(RasterResamplerRoutines, PlainInterpolationCombinesWithCappedWeights) {
    const auto plain = test::registered_form<interpolate_form>(registry, resamplers_id::InterpolateFour, 0);
    for (int i = 0; i < 2000; ++i) {
        const TColor32 top[] = {test::random_word(), test::random_word()};
        const TColor32 bottom[] = {test::random_word(), test::random_word()};
        const std::int32_t wx = static_cast<std::int32_t>(test::random_word() % 257);
        const std::int32_t wy = static_cast<std::int32_t>(test::random_word() % 257);
        const std::int32_t cx = std::min(wx, 255), cy = std::min(wy, 255);
        ASSERT_EQ(plain(wx, wy, top, bottom),
                  CombineColors(CombineColors(top[0], top[1], cx), CombineColors(bottom[0], bottom[1], cx), cy));
    }
}

TEST(RasterResamplerRoutines, BindingFollowsTheProcessor) {
    const TColor32 top[] = {0xFFFFFFFF, 0};
    {
        test::simulated_processor none{TCPUFeatures{}};
        EXPECT_EQ(reinterpret_cast<TFunctionProc>(InterpolateFour),
                  reinterpret_cast<TFunctionProc>(
                      test::registered_form<interpolate_form>(registry, resamplers_id::InterpolateFour, 0)));
    }
    {
        // MMX alone is not enough for the MMX interpolator.
        test::simulated_processor mmx{TCPUFeatures{ciMMX}};
        EXPECT_EQ(reinterpret_cast<TFunctionProc>(InterpolateFour),
                  reinterpret_cast<TFunctionProc>(
                      test::registered_form<interpolate_form>(registry, resamplers_id::InterpolateFour, 0)));
        EXPECT_EQ(reinterpret_cast<TFunctionProc>(AverageBlock),
                  reinterpret_cast<TFunctionProc>(
                      test::registered_form<average_form>(registry, resamplers_id::AverageBlock, 1)));
    }
    EXPECT_EQ(InterpolateFour(256, 256, top, top), 0xFFFFFFFFu);
}
