#include "graphics/Raster_Transforms.h"

#include "graphics_test_support.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

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
