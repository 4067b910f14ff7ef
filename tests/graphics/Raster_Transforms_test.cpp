#include "graphics/Raster_Transforms.h"

#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Rasterizers.h"
#include "graphics_test_support.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kq;

namespace {

// A transformation that implements nothing of its own.
class bare_transformation : public TTransformation {};

TFloatPoint forward(TTransformation& t, float x, float y) {
    return t.Transform(TFloatPoint{x, y});
}

void expect_near(TFloatPoint p, float x, float y) {
    EXPECT_NEAR(p.X, x, 1e-4);
    EXPECT_NEAR(p.Y, y, 1e-4);
}

} // namespace

TEST(RasterTransforms, EachOperationAppliesAfterTheEarlierOnes) {
    TAffineTransformation t;
    EXPECT_EQ(forward(t, 3, 4), (TFloatPoint{3, 4}));
    t.Translate(10, 20);
    EXPECT_EQ(forward(t, 3, 4), (TFloatPoint{13, 24}));
    t.Scale(2);
    EXPECT_EQ(forward(t, 3, 4), (TFloatPoint{26, 48}));
    EXPECT_EQ(t.Transform(TPoint{3, 4}), (TPoint{26, 48}));
    expect_near(t.ReverseTransform(TFloatPoint{26, 48}), 3, 4);
    EXPECT_EQ(t.ReverseTransform(TPoint{26, 48}), (TPoint{3, 4}));
    t.Clear();
    t.Skew(0.5f, 0);
    EXPECT_EQ(forward(t, 1, 2), (TFloatPoint{2, 2}));
}

TEST(RasterTransforms, Rotation) {
    TAffineTransformation t;
    t.Rotate(90);
    expect_near(forward(t, 1, 0), 0, -1);
    expect_near(t.ReverseTransform(TFloatPoint{0, -1}), 1, 0);
    TAffineTransformation centredAtOrigin;
    centredAtOrigin.Rotate(0, 0, 33);
    TAffineTransformation plain;
    plain.Rotate(33);
    EXPECT_EQ(centredAtOrigin.Matrix(), plain.Matrix());
    TAffineTransformation centred;
    centred.Rotate(5, 5, 180);
    expect_near(forward(centred, 5, 5), 5, 5);
    expect_near(forward(centred, 6, 5), 4, 5);
    t.Clear();
    t.Rotate(45);
    const TFloatRect bounds = t.GetTransformedBounds(TFloatRect{0, 0, 10, 10});
    EXPECT_NEAR(bounds.Left, 0, 1e-4);
    EXPECT_NEAR(bounds.Top, -7.0711, 1e-3);
    EXPECT_NEAR(bounds.Right, 14.1421, 1e-3);
    EXPECT_NEAR(bounds.Bottom, 7.0711, 1e-3);
}

TEST(RasterTransforms, IntegerTransformRoundsHalvesDown) {
    TAffineTransformation t;
    t.Scale(0.5f);
    struct row {
        TPoint in, out;
    };
    const row rows[] = {{{1, 1}, {0, 0}}, {{3, 3}, {1, 1}}, {{2, 2}, {1, 1}}, {{-1, -1}, {-1, -1}}, {{5, 0}, {2, 0}}};
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.in.X << "," << r.in.Y);
        EXPECT_EQ(t.Transform(r.in), r.out);
    }
}

TEST(RasterTransforms, SingularMatrixReversesAsTheIdentity) {
    TAffineTransformation t;
    t.Scale(0);
    EXPECT_EQ(forward(t, 7, 9), (TFloatPoint{0, 0}));
    EXPECT_EQ(t.ReverseTransform(TFloatPoint{7, 9}), (TFloatPoint{7, 9}));
    EXPECT_EQ(t.ReverseTransform(TPoint{7, 9}), (TPoint{7, 9}));
}

TEST(RasterTransforms, ChangesInvalidateAndNotify) {
    TAffineTransformation t;
    int changes = 0;
    t.OnChange = [&](TObject*) { ++changes; };
    t.PrepareTransform();
    EXPECT_TRUE(t.TransformValid());
    t.Translate(1, 1);
    EXPECT_FALSE(t.TransformValid());
    t.Rotate(1, 1, 30); // two translations, the rotation and its own report
    EXPECT_EQ(changes, 5);
    t.SetSrcRect({1, 2, 3, 4});
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(t.GetTransformedBounds(), t.GetTransformedBounds(TFloatRect{1, 2, 3, 4}));
    // The next mapping prepares again.
    t.Clear();
    t.Translate(2, 0);
    EXPECT_EQ(t.ReverseTransform(TPoint{2, 0}), (TPoint{0, 0}));
    EXPECT_TRUE(t.TransformValid());
}

TEST(RasterTransforms, BaseClassReportsMissingOperations) {
    bare_transformation t;
    EXPECT_EQ(raised_message<ETransformNotImplemented>([&] { t.Transform(TPoint{1, 1}); }),
              u"Forward transformation is not implemented in bare_transformation.");
    EXPECT_EQ(raised_message<ETransformNotImplemented>([&] { t.ReverseTransform(TFloatPoint{1, 1}); }),
              u"Reverse transformation is not implemented in bare_transformation.");
    EXPECT_TRUE(t.HasTransformedBounds());
    EXPECT_EQ(t.GetTransformedBounds(TFloatRect{1, 2, 3, 4}), (TFloatRect{1, 2, 3, 4}));
}

TEST(RasterTransforms, MatrixHelpers) {
    const TFloatMatrix m{{{2, 0, 0}, {1, 3, 0}, {4, 5, 1}}}; // x' = 2x + y + 4, y' = 3y + 5
    EXPECT_EQ(MatrixDeterminant(m), 6);
    TFloatMatrix inverse = m;
    MatrixInvert(inverse);
    const TFloatMatrix product = MatrixMultiply(m, inverse);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(product[i][j], IdentityFloatMatrix[i][j], 1e-6) << i << "," << j;
    EXPECT_EQ(MatrixApply(m, {1, 1, 1}), (TVector3f{7, 8, 1}));
    const TFixedMatrix fixed = MatrixToFixed(TFloatMatrix{{{0.5f, 1.0f / 65536 / 2, 0}, {-1, 1e9f, -1e9f}, {0, 0, 1}}});
    EXPECT_EQ(fixed[0][0], 0x8000);
    EXPECT_EQ(fixed[0][1], 0);           // a tie rounds to even
    EXPECT_EQ(fixed[1][0], -65536);
    EXPECT_EQ(fixed[1][1], INT32_MAX);   // beyond the range saturates
    EXPECT_EQ(fixed[1][2], INT32_MIN);
    EXPECT_EQ(MatrixDet2(1, 2, 3, 4), -2);
}

TEST(RasterTransforms, DeterminantBindingsTakeTheLaterForm) {
    TFunctionRegistry& r = test::registry_named(u"Raster_Transforms bindings");
    ASSERT_EQ(r.Count(), 4);
    EXPECT_EQ(reinterpret_cast<TFunctionProc>(Det2x2Single), r.GetItems(1)->Proc);
    EXPECT_EQ(reinterpret_cast<TFunctionProc>(Det2x2Double), r.GetItems(3)->Proc);
    for (int i = 0; i < 4; i += 2) {
        EXPECT_TRUE(r.GetItems(i)->CPUFeatures == TCPUFeatures{});
        EXPECT_TRUE(r.GetItems(i + 1)->CPUFeatures == TCPUFeatures{});
    }
    EXPECT_EQ(Det2x2Single(1, 2, 3, 4), -2.0f);
    EXPECT_EQ(Det2x2Double(1, 2, 3, 4), -2.0);
}

// --- Drawing through a transformation

namespace {

void fill_numbered(TCustomBitmap32& b) {
    for (std::int32_t y = 0; y < b.Height(); ++y)
        for (std::int32_t x = 0; x < b.Width(); ++x)
            b.SetPixel(x, y, MakeColor32(0x40, static_cast<std::uint8_t>(y), static_cast<std::uint8_t>(x)));
}

} // namespace

// A strip of three frames cut as the skin does: the frame's part of the strip, moved left by whole frame
// widths, nearest sampling, copied as it is.
TEST(RasterTransformBitmap, FrameCutGivesEachFramePixelExactly) {
    constexpr std::int32_t frame = 7, height = 5;
    TCustomBitmap32 strip;
    strip.SetSize(3 * frame, height);
    fill_numbered(strip);
    strip.SetPixel(9, 2, 0x00000000); // transparent pixels are copied too
    strip.SetPixel(15, 4, 0x80FFFFFF);
    for (std::int32_t k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        TCustomBitmap32 dst;
        dst.SetSize(frame, height);
        dst.Clear(0x12345678);
        TAffineTransformation t;
        t.SetSrcRect({static_cast<float>(k * frame), 0, static_cast<float>((k + 1) * frame), height});
        t.Translate(static_cast<float>(-k * frame), 0);
        TransformBitmap(&dst, &strip, &t);
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < frame; ++x)
                ASSERT_EQ(dst.GetPixel(x, y), strip.GetPixel(x + k * frame, y)) << x << "," << y;
    }
}

TEST(RasterTransformBitmap, OutsideTheClipNothingChangesOrIsReported) {
    TCustomBitmap32 src, dst;
    src.SetSize(4, 4);
    fill_numbered(src);
    dst.SetSize(8, 8);
    dst.Clear(0);
    dst.SetClipRect({0, 0, 4, 4});
    int areas = 0, changes = 0;
    dst.OnAreaChanged = [&](TObject*, const TRect&, std::uint32_t) { ++areas; };
    dst.OnChange = [&](TObject*) { ++changes; };
    TAffineTransformation t;
    t.SetSrcRect({0, 0, 4, 4});
    TRegularRasterizer rasterizer;
    TransformBitmap(&dst, &src, &t, &rasterizer, {5, 5, 8, 8});
    TransformBitmap(&dst, &src, &t, &rasterizer, {-10, -10, -2, -2});
    EXPECT_EQ(areas, 0);
    EXPECT_EQ(changes, 0);
    for (std::int32_t i = 0; i < 64; ++i)
        ASSERT_EQ(dst.Bits()[i], 0u);
    // Partly inside: only the clip rectangle changes, and it is reported.
    std::vector<TRect> reported;
    dst.OnAreaChanged = [&](TObject*, const TRect& area, std::uint32_t) { reported.push_back(area); };
    TransformBitmap(&dst, &src, &t, &rasterizer, {2, 2, 8, 8});
    EXPECT_EQ(reported.back(), (TRect{2, 2, 4, 4}));
    EXPECT_EQ(dst.GetPixel(3, 3), src.GetPixel(3, 3));
    EXPECT_EQ(dst.GetPixel(1, 1), 0u);
    EXPECT_EQ(dst.GetPixel(4, 4), 0u);
}

TEST(RasterTransformBitmap, EmptyButOrderedClipIsReportedWithoutDrawing) {
    TCustomBitmap32 src, dst;
    src.SetSize(4, 4);
    fill_numbered(src);
    dst.SetSize(8, 8);
    dst.SetClipRect({0, 0, 4, 4});
    TAffineTransformation t;
    t.SetSrcRect({0, 0, 4, 4});
    TRegularRasterizer rasterizer;
    struct row { TRect clip, reported; };
    const row rows[] = {
        {{4, 4, 8, 8}, {4, 4, 4, 4}}, // touches the clip rectangle's corner
        {{2, 2, 2, 6}, {2, 2, 2, 4}}, // no width
        {{1, 3, 3, 3}, {1, 3, 3, 3}}, // no height
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.clip.Left << "," << r.clip.Top << "," << r.clip.Right << "," << r.clip.Bottom);
        const std::vector<TColor32> before(dst.Bits(), dst.Bits() + 64);
        std::vector<TRect> reported;
        dst.OnAreaChanged = [&](TObject*, const TRect& area, std::uint32_t) { reported.push_back(area); };
        TransformBitmap(&dst, &src, &t, &rasterizer, r.clip);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0], r.reported);
        EXPECT_EQ(std::vector<TColor32>(dst.Bits(), dst.Bits() + 64), before);
    }
}

TEST(RasterTransformBitmap, ScalingUpRepeatsPixels) {
    TCustomBitmap32 src, dst;
    src.SetSize(3, 2);
    fill_numbered(src);
    dst.SetSize(8, 5);
    dst.Clear(0);
    TAffineTransformation t;
    t.SetSrcRect({0, 0, 3, 2});
    t.Scale(2);
    TransformBitmap(&dst, &src, &t);
    for (std::int32_t y = 0; y < 5; ++y)
        for (std::int32_t x = 0; x < 8; ++x)
            EXPECT_EQ(dst.GetPixel(x, y), x < 6 && y < 4 ? src.GetPixel(x / 2, y / 2) : 0u) << x << "," << y;
}

TEST(RasterTransformBitmap, MeasuringReportsWithoutDrawing) {
    TCustomBitmap32 src, dst;
    src.SetSize(2, 2);
    fill_numbered(src);
    dst.SetSize(3, 3);
    dst.Clear(0);
    std::vector<TRect> measured;
    dst.BeginMeasuring([&](TObject*, const TRect& area, std::uint32_t) { measured.push_back(area); });
    TAffineTransformation t;
    t.SetSrcRect({0, 0, 2, 2});
    TransformBitmap(&dst, &src, &t);
    dst.EndMeasuring();
    EXPECT_EQ(measured, (std::vector<TRect>{{0, 0, 3, 3}}));
    EXPECT_EQ(dst.GetPixel(0, 0), 0u);
}
