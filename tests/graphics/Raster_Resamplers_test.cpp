#include "graphics/Raster_Resamplers.h"

#include "graphics/Raster_Transforms.h"

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

// --- Transfers

namespace {

struct area_report {
    TRect area;
    std::uint32_t info;
    bool operator==(const area_report&) const = default;
};

// Every pixel different: opaque, x in blue, y in green, the bitmap's tag in red.
void fill_numbered(TCustomBitmap32& b, std::uint8_t tag = 0) {
    for (std::int32_t y = 0; y < b.Height(); ++y)
        for (std::int32_t x = 0; x < b.Width(); ++x)
            b.SetPixel(x, y, MakeColor32(tag, static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x)));
}

std::vector<TColor32> pixels_of(const TCustomBitmap32& b) {
    return {b.Bits(), b.Bits() + b.Width() * b.Height()};
}

struct recorder {
    std::vector<area_report> reports;
    explicit recorder(TCustomBitmap32& b) {
        b.OnAreaChanged = [this](TObject*, const TRect& area, std::uint32_t info) { reports.push_back({area, info}); };
    }
};

bool contains(const TRect& r, std::int32_t x, std::int32_t y) {
    return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

TRect random_rect(std::int32_t span) {
    const auto coordinate = [span] {
        const std::uint32_t pick = test::random_word() % 10;
        if (pick == 0)
            return static_cast<std::int32_t>(test::random_word()); // anything, huge included
        return static_cast<std::int32_t>(test::random_word() % static_cast<std::uint32_t>(3 * span)) - span;
    };
    return {coordinate(), coordinate(), coordinate(), coordinate()};
}

// Counts its runs; stretches nothing.
class counting_resampler : public TCustomResampler {
public:
    using TCustomResampler::TCustomResampler;
    int resamples = 0;
    TColor32 GetSampleFixed(TFixed, TFixed) override { return 0; }
    void Resample(TCustomBitmap32*, const TRect&, const TRect&, TCustomBitmap32*, const TRect&, TDrawMode,
                  const TPixelCombineEvent&) override {
        ++resamples;
    }
};

} // namespace

TEST(RasterTransfer, CopyBlockToANegativeDestinationTakesTheSourceFromThere) {
    TCustomBitmap32 src, dst;
    src.SetSize(10, 4);
    fill_numbered(src, 1);
    dst.SetSize(10, 4);
    dst.Clear(0);
    recorder r(dst);
    CopyBlock(&dst, -5, 0, dst.BoundsRect(), &src, src.BoundsRect(), dmOpaque);
    for (std::int32_t y = 0; y < 4; ++y)
        for (std::int32_t x = 0; x < 10; ++x)
            EXPECT_EQ(dst.GetPixel(x, y), x < 5 ? src.GetPixel(x + 5, y) : 0u) << x << "," << y;
    EXPECT_EQ(r.reports, (std::vector<area_report>{{{0, 0, 5, 4}, AreaInfoRect}}));
}

// Whatever the rectangles, the copy is the brute-force one: each destination pixel inside DstClip whose
// source position lies inside SrcRect and the source.
TEST(RasterTransfer, CopyBlockClipsAnyRectangles) {
    TCustomBitmap32 src, dst;
    src.SetSize(7, 5);
    fill_numbered(src, 1);
    dst.SetSize(6, 8);
    for (int round = 0; round < 3000; ++round) {
        dst.Clear(0x12345678);
        const TRect dstClip = random_rect(10), srcRect = random_rect(10);
        const TRect place = random_rect(10);
        SCOPED_TRACE(testing::Message() << "round " << round);
        CopyBlock(&dst, place.Left, place.Top, dstClip, &src, srcRect, dmOpaque);
        for (std::int32_t y = 0; y < dst.Height(); ++y)
            for (std::int32_t x = 0; x < dst.Width(); ++x) {
                const std::int64_t sx = static_cast<std::int64_t>(x) - place.Left + srcRect.Left;
                const std::int64_t sy = static_cast<std::int64_t>(y) - place.Top + srcRect.Top;
                const bool copied = contains(dstClip, x, y) && sx >= srcRect.Left && sx < srcRect.Right &&
                                    sy >= srcRect.Top && sy < srcRect.Bottom && sx >= 0 && sx < 7 && sy >= 0 && sy < 5;
                const TColor32 expected = copied ? src.GetPixel(static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy))
                                                 : 0x12345678u;
                ASSERT_EQ(dst.GetPixel(x, y), expected) << x << "," << y;
            }
    }
}

// Copying a bitmap onto itself reads every source pixel before it is overwritten, in any direction.
TEST(RasterTransfer, CopyBlockWithinOneBitmap) {
    const TPoint shifts[] = {{2, 1}, {-2, -1}, {1, -2}, {-1, 2}, {3, 0}, {0, 0}};
    for (const TDrawMode mode : {dmOpaque, dmTransparent}) {
        for (const TPoint& shift : shifts) {
            SCOPED_TRACE(testing::Message() << int(mode) << " by " << shift.X << "," << shift.Y);
            TCustomBitmap32 b, original;
            b.SetSize(7, 6);
            fill_numbered(b, 1);
            original.Assign(&b);
            CopyBlock(&b, 1 + shift.X, 1 + shift.Y, b.BoundsRect(), &b, {1, 1, 5, 5}, mode);
            for (std::int32_t y = 0; y < 6; ++y)
                for (std::int32_t x = 0; x < 7; ++x) {
                    const std::int32_t sx = x - shift.X, sy = y - shift.Y;
                    const bool moved = sx >= 1 && sx < 5 && sy >= 1 && sy < 5;
                    ASSERT_EQ(b.GetPixel(x, y), moved ? original.GetPixel(sx, sy) : original.GetPixel(x, y))
                        << x << "," << y;
                }
        }
    }
}

TEST(RasterTransfer, CopyBlockModes) {
    TCustomBitmap32 src, dst;
    src.SetSize(3, 1);
    dst.SetSize(3, 1);
    const TColor32 row[] = {0x80FF0000, 0x00000000, 0xFF00FF00};
    for (int i = 0; i < 3; ++i)
        src.SetPixel(i, 0, row[i]);
    struct mode_row {
        TDrawMode mode;
        std::uint32_t master;
        bool callback;
        std::vector<TColor32> expected;
    };
    const TColor32 under = 0xFF0000FF;
    // Blending at full master alpha goes through the row routine.
    std::vector<TColor32> blended(3, under);
    BlendRow(row, blended.data(), 3);
    const mode_row rows[] = {
        {dmOpaque, 255, false, {row[0], row[1], row[2]}},
        // A custom mode without its callback copies.
        {dmCustom, 255, false, {row[0], row[1], row[2]}},
        {dmCustom, 7, true, {0x07000007, 0x07000007, 0x07000007}},
        // The outer colour (0 by default) is not copied.
        {dmTransparent, 255, false, {row[0], under, row[2]}},
        {dmBlend, 255, false, blended},
        {dmBlend, 128, false, {BlendColorsAlpha(row[0], under, 128), under, BlendColorsAlpha(row[2], under, 128)}},
        {dmBlend, 0, false, {under, under, under}},
    };
    for (const mode_row& r : rows) {
        SCOPED_TRACE(testing::Message() << int(r.mode) << " master " << r.master);
        dst.Clear(under);
        src.SetDrawMode(r.mode);
        src.SetMasterAlpha(r.master);
        TPixelCombineEvent callback;
        if (r.callback)
            callback = [](TColor32, TColor32& b, TColor32 m) { b = m << 24 | m; };
        CopyBlock(&dst, 0, 0, dst.BoundsRect(), &src, src.BoundsRect(), r.mode, callback);
        EXPECT_EQ(pixels_of(dst), r.expected);
    }
}

TEST(RasterTransfer, NilBitmapsAreReported) {
    TCustomBitmap32 b;
    EXPECT_EQ(raised_message<EBitmapException>([&] { CopyBlock(nullptr, 0, 0, {}, nullptr, {}, dmOpaque); }),
              u"Destination bitmap is nil");
    EXPECT_EQ(raised_message<EBitmapException>([&] { StretchBlock(&b, {}, {}, nullptr, {}, nullptr, dmOpaque); }),
              u"Source bitmap is nil");
}

TEST(RasterTransfer, StretchBlockWithASourceReachingOutside) {
    TCustomBitmap32 src, dst;
    src.SetSize(10, 10);
    fill_numbered(src, 1);
    dst.SetSize(40, 20);
    dst.Clear(0);
    recorder r(dst);
    StretchBlock(&dst, {0, 0, 40, 20}, dst.BoundsRect(), &src, {-10, 0, 10, 10}, src.Resampler(), dmOpaque);
    for (std::int32_t y = 0; y < 20; ++y)
        for (std::int32_t x = 0; x < 40; ++x)
            ASSERT_EQ(dst.GetPixel(x, y), x < 20 ? 0u : src.GetPixel((x - 20) / 2, y / 2)) << x << "," << y;
    EXPECT_EQ(r.reports, (std::vector<area_report>{{{20, 0, 40, 20}, AreaInfoRect}}));
}

TEST(RasterTransfer, StretchBlockCallsTheResamplerOnlyToScale) {
    TCustomBitmap32 src, dst;
    src.SetSize(4, 4);
    fill_numbered(src, 1);
    dst.SetSize(8, 8);
    auto* resampler = new counting_resampler(&src); // src owns it
    StretchBlock(&dst, {2, 2, 6, 6}, dst.BoundsRect(), &src, src.BoundsRect(), resampler, dmOpaque);
    EXPECT_EQ(resampler->resamples, 0);
    EXPECT_EQ(dst.GetPixel(3, 4), src.GetPixel(1, 2));
    StretchBlock(&dst, {0, 0, 8, 8}, dst.BoundsRect(), &src, src.BoundsRect(), resampler, dmOpaque);
    EXPECT_EQ(resampler->resamples, 1);
    // Nothing to do: no run and no report.
    recorder r(dst);
    StretchBlock(&dst, {0, 0, 8, 8}, dst.BoundsRect(), &src, {2, 2, 2, 4}, resampler, dmOpaque);
    StretchBlock(&dst, {0, 0, 8, 8}, dst.BoundsRect(), &src, {20, 0, 30, 4}, resampler, dmOpaque);
    src.SetMasterAlpha(0);
    StretchBlock(&dst, {0, 0, 8, 8}, dst.BoundsRect(), &src, src.BoundsRect(), resampler, dmBlend);
    EXPECT_EQ(resampler->resamples, 1);
    EXPECT_TRUE(r.reports.empty());
    // Measuring reports the area without drawing.
    src.SetMasterAlpha(255);
    std::vector<area_report> measured;
    dst.BeginMeasuring([&](TObject*, const TRect& area, std::uint32_t info) { measured.push_back({area, info}); });
    StretchBlock(&dst, {0, 0, 8, 8}, dst.BoundsRect(), &src, src.BoundsRect(), resampler, dmOpaque);
    dst.EndMeasuring();
    EXPECT_EQ(resampler->resamples, 1);
    EXPECT_EQ(measured, (std::vector<area_report>{{{0, 0, 8, 8}, AreaInfoRect}}));
}

TEST(RasterTransfer, NearestNeighbourMapping) {
    TCustomBitmap32 src, dst;
    src.SetSize(2, 5);
    fill_numbered(src, 1);
    dst.SetSize(4, 1);
    StretchNearestNeighbour(&dst, {0, 0, 4, 1}, dst.BoundsRect(), &src, src.BoundsRect(), dmOpaque, {});
    // Columns 0, 0, 1, 1 of the middle row.
    EXPECT_EQ(pixels_of(dst), (std::vector<TColor32>{src.GetPixel(0, 2), src.GetPixel(0, 2), src.GetPixel(1, 2),
                                                     src.GetPixel(1, 2)}));
    // A clip inside the destination keeps the mapping of the whole rectangle.
    dst.Clear(0);
    StretchNearestNeighbour(&dst, {0, 0, 4, 1}, {1, 0, 3, 1}, &src, src.BoundsRect(), dmOpaque, {});
    EXPECT_EQ(pixels_of(dst), (std::vector<TColor32>{0, src.GetPixel(0, 2), src.GetPixel(1, 2), 0}));
    EXPECT_EQ(raised_message<Exception>([&] {
                  StretchNearestNeighbour(&dst, {0, 0, 4, 1}, dst.BoundsRect(), &src, {0, 0, 3, 5}, dmOpaque, {});
              }),
              u"Invalid SrcRect");
    // Other modes read through a row buffer.
    TCustomBitmap32 tall;
    tall.SetSize(2, 6);
    src.SetOuterColor(src.GetPixel(1, 1));
    StretchNearestNeighbour(&tall, {0, 0, 2, 6}, tall.BoundsRect(), &src, {0, 0, 2, 2}, dmTransparent, {});
    EXPECT_EQ(pixels_of(tall), (std::vector<TColor32>{src.GetPixel(0, 0), src.GetPixel(1, 0), src.GetPixel(0, 0),
                                                      src.GetPixel(1, 0), src.GetPixel(0, 0), src.GetPixel(1, 0),
                                                      src.GetPixel(0, 1), 0xFF000000, src.GetPixel(0, 1), 0xFF000000,
                                                      src.GetPixel(0, 1), 0xFF000000}));
}

// Every resampler stretches and shrinks a source of one colour into that colour.
TEST(RasterTransfer, OneColourStaysThatColourThroughEveryResampler) {
    const String names[] = {u"TNearestResampler", u"TLinearResampler", u"TDraftResampler", u"TKernelResampler"};
    const TRect targets[] = {{0, 0, 17, 13}, {0, 0, 3, 2}, {0, 0, 1, 1}, {0, 0, 30, 4}, {-3, -2, 40, 40}};
    const String kernels[] = {u"TBoxKernel", u"TCubicKernel", u"TLanczosKernel", u"TSplineKernel"};
    for (const String& name : names)
        for (const String& kernel : kernels)
            for (const TRect& target : targets) {
                SCOPED_TRACE(testing::Message() << string_to_utf8(name) << " " << string_to_utf8(kernel) << " to "
                                                << target.Right << "x" << target.Bottom);
                TCustomBitmap32 src, dst;
                src.SetSize(9, 7);
                src.Clear(0xFF336699);
                src.SetResamplerClassName(name);
                if (auto* k = dynamic_cast<TKernelResampler*>(src.Resampler()))
                    k->SetKernelClassName(kernel);
                dst.SetSize(20, 15);
                dst.Clear(0);
                StretchBlock(&dst, target, dst.BoundsRect(), &src, src.BoundsRect(), src.Resampler(), dmOpaque);
                for (std::int32_t y = 0; y < dst.Height(); ++y)
                    for (std::int32_t x = 0; x < dst.Width(); ++x)
                        ASSERT_EQ(dst.GetPixel(x, y), contains(target, x, y) ? 0xFF336699u : 0u) << x << "," << y;
            }
}

// No resampler writes outside DstClip or reads outside the source, for any rectangles.
TEST(RasterTransfer, StretchesClipAnyRectangles) {
    const String names[] = {u"TNearestResampler", u"TLinearResampler", u"TDraftResampler", u"TKernelResampler"};
    TCustomBitmap32 src, dst;
    src.SetSize(6, 5);
    fill_numbered(src, 1);
    dst.SetSize(9, 7);
    for (const String& name : names) {
        src.SetResamplerClassName(name);
        if (auto* k = dynamic_cast<TKernelResampler*>(src.Resampler()))
            k->SetKernelClassName(u"TLanczosKernel");
        for (int round = 0; round < 1500; ++round) {
            dst.Clear(0x12345678);
            const TRect dstRect = random_rect(12), dstClip = random_rect(12), srcRect = random_rect(8);
            SCOPED_TRACE(testing::Message() << string_to_utf8(name) << " round " << round);
            StretchBlock(&dst, dstRect, dstClip, &src, srcRect, src.Resampler(), dmOpaque);
            for (std::int32_t y = 0; y < dst.Height(); ++y)
                for (std::int32_t x = 0; x < dst.Width(); ++x)
                    if (!contains(dstClip, x, y) || !contains(dstRect, x, y)) {
                        ASSERT_EQ(dst.GetPixel(x, y), 0x12345678u) << x << "," << y;
                    }
        }
    }
}

TEST(RasterTransfer, BilinearEnlargementKeepsTheCorners) {
    TCustomBitmap32 src, dst;
    src.SetSize(2, 2);
    const TColor32 corners[] = {0xFF000000, 0xFFFFFFFF, 0xFF808080, 0xFF102030};
    for (int i = 0; i < 4; ++i)
        src.SetPixel(i % 2, i / 2, corners[i]);
    dst.SetSize(4, 4);
    StretchBilinear(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), dmOpaque, {});
    EXPECT_EQ(dst.GetPixel(0, 0), corners[0]);
    EXPECT_EQ(dst.GetPixel(3, 0), corners[1]);
    EXPECT_EQ(dst.GetPixel(0, 3), corners[2]);
    EXPECT_EQ(dst.GetPixel(3, 3), corners[3]);
    // Column 1 lies a quarter of the way from the left pixel to the right one.
    const TColor32 pair[] = {corners[0], corners[1]};
    EXPECT_EQ(dst.GetPixel(1, 0), InterpolateFour(192, 256, pair, pair));
}

// The bilinear rows run inline while the SSE2 interpolator is bound; the MMX one computes the same formula
// one call per pixel.
TEST(RasterTransfer, BilinearRowsMatchTheInterpolatorPerPixel) {
    TCustomBitmap32 src, inline_rows, per_pixel;
    src.SetSize(13, 7);
    for (std::int32_t i = 0; i < 13 * 7; ++i)
        src.Bits()[i] = test::random_word();
    // The last two shrink the rows by 3 exactly: every row weight is 256, and only the upper row is read.
    for (const TRect& target : {TRect{0, 0, 31, 17}, TRect{-5, 3, 29, 40}, TRect{2, 1, 9, 5}, TRect{1, 1, 12, 3},
                                TRect{0, 1, 29, 3}}) {
        inline_rows.SetSize(30, 20);
        per_pixel.SetSize(30, 20);
        StretchBilinear(&inline_rows, target, {1, 1, 29, 19}, &src, {1, 1, 12, 7}, dmOpaque, {});
        {
            test::simulated_processor mmx{TCPUFeatures{ciMMX, ciSSE}};
            StretchBilinear(&per_pixel, target, {1, 1, 29, 19}, &src, {1, 1, 12, 7}, dmOpaque, {});
        }
        EXPECT_EQ(pixels_of(inline_rows), pixels_of(per_pixel));
    }
}

TEST(RasterTransfer, DraftShrinkAveragesBlocks) {
    TCustomBitmap32 src, dst;
    src.SetSize(4, 2);
    const TColor32 pixels[] = {0xFF000000, 0xFFFFFFFF, 0xFF0000FF, 0xFF0000FF,
                               0xFFFFFFFF, 0xFF000000, 0xFF0000FF, 0xFF0000FF};
    for (int i = 0; i < 8; ++i)
        src.SetPixel(i % 4, i / 4, pixels[i]);
    src.SetResamplerClassName(u"TDraftResampler");
    dst.SetSize(2, 1);
    StretchBlock(&dst, dst.BoundsRect(), dst.BoundsRect(), &src, src.BoundsRect(), src.Resampler(), dmOpaque);
    EXPECT_EQ(pixels_of(dst), (std::vector<TColor32>{0xFF7F7F7F, 0xFF0000FF}));
}

// --- Resamplers as samplers

TEST(RasterResamplers, NearestReadsByAccessMode) {
    TCustomBitmap32 b;
    b.SetSize(10, 10);
    fill_numbered(b, 1);
    b.SetOuterColor(0x11111111);
    TNearestResampler* nearest = dynamic_cast<TNearestResampler*>(b.Resampler());
    ASSERT_TRUE(nearest);
    nearest->SetPixelAccessMode(pamTransparentEdge);
    nearest->PrepareSampling();
    EXPECT_EQ(nearest->GetSampleInt(-1, 5), b.GetPixel(0, 5) & 0x00FFFFFF);
    EXPECT_EQ(nearest->GetSampleInt(3, 5), b.GetPixel(3, 5));
    EXPECT_EQ(nearest->GetSampleFixed(0x38000, 0x57FFF), b.GetPixel(3, 5)); // halves round down
    EXPECT_EQ(nearest->GetSampleFloat(3.4f, 5.6f), b.GetPixel(3, 6));
    nearest->FinalizeSampling();
    nearest->SetPixelAccessMode(pamSafe);
    nearest->PrepareSampling();
    EXPECT_EQ(nearest->GetSampleInt(-1, 5), 0x11111111u);
    nearest->SetPixelAccessMode(pamWrap);
    EXPECT_EQ(nearest->GetSampleInt(-1, 5), b.GetPixel(0, 5)); // clamping wrap mode
    nearest->FinalizeSampling();
}

TEST(RasterResamplers, KernelSamplesOutsideTheClip) {
    TCustomBitmap32 b;
    b.SetSize(10, 10);
    fill_numbered(b, 1);
    b.SetOuterColor(0x80402010);
    b.SetResamplerClassName(u"TKernelResampler");
    auto* kernel = dynamic_cast<TKernelResampler*>(b.Resampler());
    ASSERT_TRUE(kernel);
    kernel->SetPixelAccessMode(pamTransparentEdge);
    kernel->PrepareSampling();
    EXPECT_EQ(kernel->GetSampleFloat(-3, 4), 0u);
    kernel->FinalizeSampling();
    kernel->SetPixelAccessMode(pamSafe);
    kernel->PrepareSampling();
    EXPECT_EQ(kernel->GetSampleFloat(-3, 4), 0x80402010u);
    // The box at a pixel centre reads that pixel in every weight mode.
    for (const TKernelMode mode : {kmDynamic, kmTableNearest, kmTableLinear}) {
        kernel->FinalizeSampling();
        kernel->SetKernelMode(mode);
        kernel->PrepareSampling();
        EXPECT_EQ(kernel->GetSampleFloat(4, 6), b.GetPixel(4, 6)) << int(mode);
        EXPECT_EQ(kernel->GetSampleInt(4, 6), b.GetPixel(4, 6)) << int(mode);
    }
    kernel->FinalizeSampling();
    kernel->SetTableSize(1);
    EXPECT_EQ(kernel->TableSize(), 2);
    kernel->SetKernelClassName(u"TNoSuchKernel");
    EXPECT_EQ(kernel->KernelClassName(), u"TBoxKernel");
    kernel->SetKernelClassName(u"TMitchellKernel");
    EXPECT_EQ(kernel->Width(), 2);
}

// Wrapped reads see the colour everywhere, so every kernel and reach gives it back exactly.
TEST(RasterResamplers, KernelSamplesOfOneColourInWrapMode) {
    TCustomBitmap32 b;
    b.SetSize(5, 4);
    b.Clear(0xFF336699);
    b.SetWrapMode(wmRepeat);
    b.SetResamplerClassName(u"TKernelResampler");
    auto* kernel = static_cast<TKernelResampler*>(b.Resampler());
    kernel->SetPixelAccessMode(pamWrap);
    for (const String& name : {String(u"TLanczosKernel"), String(u"TSinshKernel"), String(u"TMitchellKernel")})
        for (const float width : {3.0f, 20.0f}) {
            SCOPED_TRACE(testing::Message() << string_to_utf8(name) << " " << width);
            kernel->SetKernelClassName(name);
            if (auto* sinsh = dynamic_cast<TSinshKernel*>(kernel->Kernel()))
                sinsh->SetWidth(width);
            kernel->PrepareSampling();
            EXPECT_EQ(kernel->GetSampleFloat(4.3f, 5.7f), 0xFF336699u);
            EXPECT_EQ(kernel->GetSampleFloat(-40.5f, 2.25f), 0xFF336699u);
            kernel->FinalizeSampling();
        }
}

TEST(RasterResamplers, LinearTransparentEdge) {
    TCustomBitmap32 b;
    b.SetSize(4, 4);
    b.Clear(0xFFFFFFFF);
    b.SetResamplerClassName(u"TLinearResampler");
    auto* linear = dynamic_cast<TLinearResampler*>(b.Resampler());
    ASSERT_TRUE(linear);
    linear->SetPixelAccessMode(pamTransparentEdge);
    linear->PrepareSampling();
    EXPECT_EQ(linear->GetSampleFixed(0x10000, 0x18000), 0xFFFFFFFFu);
    EXPECT_EQ(linear->GetSampleFixed(-0x30000, 0x10000), 0u);
    EXPECT_EQ(linear->GetSampleFixed(0x10000, 0x60000), 0u);
    // Half a pixel outside: partly transparent white.
    const TColor32 band = linear->GetSampleFixed(-0x8000, 0x10000);
    EXPECT_GT(band >> 24, 0u);
    EXPECT_LT(band >> 24, 255u);
    EXPECT_EQ(band & 0x00FFFFFF, 0x00FFFFFFu);
    linear->FinalizeSampling();
    linear->SetPixelAccessMode(pamSafe);
    linear->PrepareSampling();
    EXPECT_EQ(linear->GetSampleFloat(3, 3), 0xFFFFFFFFu);
    EXPECT_EQ(linear->GetSampleFloat(5, 3), b.OuterColor());
    linear->FinalizeSampling();
}

TEST(RasterResamplers, TransformerOverTheIdentityReadsTheWrappedSampler) {
    TCustomBitmap32 b;
    b.SetSize(6, 5);
    fill_numbered(b, 1);
    TAffineTransformation identity;
    identity.SetSrcRect({0, 0, 6, 5});
    for (const String& name : {String(u"TNearestResampler"), String(u"TLinearResampler"), String(u"TKernelResampler")}) {
        SCOPED_TRACE(string_to_utf8(name));
        b.SetResamplerClassName(name);
        TTransformer transformer(b.Resampler(), &identity);
        transformer.PrepareSampling();
        EXPECT_TRUE(transformer.HasBounds());
        EXPECT_EQ(transformer.GetSampleBounds(), (TFloatRect{0, 0, 6, 5}));
        for (std::int32_t y = -1; y <= 5; ++y)
            for (std::int32_t x = -1; x <= 6; ++x)
                ASSERT_EQ(transformer.GetSampleInt(x, y), b.Resampler()->GetSampleInt(x, y)) << x << "," << y;
        transformer.FinalizeSampling();
    }
    TNestedSampler nested;
    EXPECT_EQ(raised_message<ENestedException>([&] { nested.PrepareSampling(); }), u"Nested sampler is nil");
}

TEST(RasterResamplers, ClassListsHoldTheResamplersAndKernels) {
    std::vector<String> names;
    for (std::int32_t i = 0; i < ResamplerClassList().Count(); ++i)
        names.push_back(ResamplerClassList().GetItems(i)->ClassName);
    EXPECT_EQ(names, (std::vector<String>{u"TNearestResampler", u"TLinearResampler", u"TDraftResampler",
                                          u"TKernelResampler"}));
    TCustomBitmap32 b;
    EXPECT_EQ(b.ResamplerClassName(), u"TNearestResampler");
    b.SetResamplerClassName(u"TDraftResampler");
    EXPECT_TRUE(dynamic_cast<TDraftResampler*>(b.Resampler()));
    // A kernel resampler's settings travel with Assign.
    TCustomBitmap32 from, to;
    from.SetResamplerClassName(u"TKernelResampler");
    auto* k = static_cast<TKernelResampler*>(from.Resampler());
    k->SetKernelClassName(u"TLanczosKernel");
    static_cast<TLanczosKernel*>(k->Kernel())->SetWidth(5);
    k->SetKernelMode(kmTableLinear);
    to.Assign(&from);
    auto* copied = dynamic_cast<TKernelResampler*>(to.Resampler());
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->KernelClassName(), u"TLanczosKernel");
    EXPECT_EQ(copied->KernelMode(), kmTableLinear);
    EXPECT_EQ(copied->Kernel()->GetWidth(), 5);
}
