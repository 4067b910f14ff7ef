#include "graphics/Raster_Transforms.h"

#include "framework/Conversions.h"
#include "graphics/Raster_Bindings.h"
#include "graphics/Raster_Blend.h"
#include "graphics/Raster_Math.h"
#include "graphics/Raster_Rasterizers.h"
#include "graphics/Raster_Resamplers.h"

#include <algorithm>
#include <cmath>

namespace kq {

det2x2_single_proc Det2x2Single;
det2x2_double_proc Det2x2Double;

namespace {

// Values beyond the 16.16 range saturate instead of wrapping.
TFixed to_fixed(float value) {
    const double scaled = std::nearbyint(static_cast<double>(value) * 65536.0);
    if (!(scaled >= -2147483648.0))
        return value != value ? 0 : INT32_MIN;
    if (scaled > 2147483647.0)
        return INT32_MAX;
    return static_cast<TFixed>(scaled);
}

// x' = F[0][r] x + F[1][r] y + F[2][r] in 16.16, wrapping as the 32-bit sums of the fixed form do.
TFixed fixed_row(const TFixedMatrix& f, int row, TFixed x, TFixed y) {
    return static_cast<TFixed>(static_cast<std::uint32_t>(FixedProduct(x, f[0][row])) +
                               static_cast<std::uint32_t>(FixedProduct(y, f[1][row])) +
                               static_cast<std::uint32_t>(f[2][row]));
}

} // namespace

// --- TTransformation

void TTransformation::Changed() {
    FTransformValid = false;
    TNotifiablePersistent::Changed();
}

void TTransformation::SetSrcRect(const TFloatRect& value) {
    FSrcRect = value;
    Changed();
}

void TTransformation::PrepareTransform() {}

void TTransformation::ReverseTransformInt(std::int32_t dst_x, std::int32_t dst_y, std::int32_t& src_x,
                                          std::int32_t& src_y) {
    TFixed x, y;
    ReverseTransformFixed(IntToFixed(dst_x), IntToFixed(dst_y), x, y);
    src_x = FixedToIntNearest(x);
    src_y = FixedToIntNearest(y);
}

void TTransformation::ReverseTransformFixed(TFixed dst_x, TFixed dst_y, TFixed& src_x, TFixed& src_y) {
    float x, y;
    ReverseTransformFloat(static_cast<float>(dst_x) / 65536.0f, static_cast<float>(dst_y) / 65536.0f, x, y);
    src_x = to_fixed(x);
    src_y = to_fixed(y);
}

void TTransformation::ReverseTransformFloat(float, float, float&, float&) {
    throw ETransformNotImplemented(Format(u"Reverse transformation is not implemented in %s.", {ClassName()}));
}

void TTransformation::TransformInt(std::int32_t src_x, std::int32_t src_y, std::int32_t& dst_x, std::int32_t& dst_y) {
    TFixed x, y;
    TransformFixed(IntToFixed(src_x), IntToFixed(src_y), x, y);
    dst_x = FixedToIntNearest(x);
    dst_y = FixedToIntNearest(y);
}

void TTransformation::TransformFixed(TFixed src_x, TFixed src_y, TFixed& dst_x, TFixed& dst_y) {
    float x, y;
    TransformFloat(static_cast<float>(src_x) / 65536.0f, static_cast<float>(src_y) / 65536.0f, x, y);
    dst_x = to_fixed(x);
    dst_y = to_fixed(y);
}

void TTransformation::TransformFloat(float, float, float&, float&) {
    throw ETransformNotImplemented(Format(u"Forward transformation is not implemented in %s.", {ClassName()}));
}

TFloatRect TTransformation::GetTransformedBounds(const TFloatRect& src_rect) {
    return src_rect;
}

TPoint TTransformation::ReverseTransform(const TPoint& p) {
    return mapped(p, &TTransformation::ReverseTransformInt);
}

TFixedPoint TTransformation::ReverseTransform(const TFixedPoint& p) {
    return mapped(p, &TTransformation::ReverseTransformFixed);
}

TFloatPoint TTransformation::ReverseTransform(const TFloatPoint& p) {
    return mapped(p, &TTransformation::ReverseTransformFloat);
}

TPoint TTransformation::Transform(const TPoint& p) {
    return mapped(p, &TTransformation::TransformInt);
}

TFixedPoint TTransformation::Transform(const TFixedPoint& p) {
    return mapped(p, &TTransformation::TransformFixed);
}

TFloatPoint TTransformation::Transform(const TFloatPoint& p) {
    return mapped(p, &TTransformation::TransformFloat);
}

// --- T3x3Transformation

void T3x3Transformation::PrepareTransform() {
    FInverseMatrix = FMatrix;
    MatrixInvert(FInverseMatrix);
    FInverseFixedMatrix = MatrixToFixed(FInverseMatrix);
    FFixedMatrix = MatrixToFixed(FMatrix);
    FTransformValid = true;
}

void T3x3Transformation::ReverseTransformFixed(TFixed dst_x, TFixed dst_y, TFixed& src_x, TFixed& src_y) {
    src_x = fixed_row(FInverseFixedMatrix, 0, dst_x, dst_y);
    src_y = fixed_row(FInverseFixedMatrix, 1, dst_x, dst_y);
}

void T3x3Transformation::ReverseTransformFloat(float dst_x, float dst_y, float& src_x, float& src_y) {
    const TFloatMatrix& m = FInverseMatrix;
    src_x = m[0][0] * dst_x + m[1][0] * dst_y + m[2][0];
    src_y = m[0][1] * dst_x + m[1][1] * dst_y + m[2][1];
}

void T3x3Transformation::TransformFixed(TFixed src_x, TFixed src_y, TFixed& dst_x, TFixed& dst_y) {
    dst_x = fixed_row(FFixedMatrix, 0, src_x, src_y);
    dst_y = fixed_row(FFixedMatrix, 1, src_x, src_y);
}

void T3x3Transformation::TransformFloat(float src_x, float src_y, float& dst_x, float& dst_y) {
    const TFloatMatrix& m = FMatrix;
    dst_x = m[0][0] * src_x + m[1][0] * src_y + m[2][0];
    dst_y = m[0][1] * src_x + m[1][1] * src_y + m[2][1];
}

// --- TAffineTransformation

TAffineTransformation::TAffineTransformation() {
    Clear();
}

void TAffineTransformation::Clear() {
    FMatrix = IdentityFloatMatrix;
    Changed();
}

void TAffineTransformation::apply(const TFloatMatrix& t) {
    FMatrix = MatrixMultiply(t, FMatrix);
    Changed();
}

void TAffineTransformation::Translate(float dx, float dy) {
    TFloatMatrix t = IdentityFloatMatrix;
    t[2][0] = dx;
    t[2][1] = dy;
    apply(t);
}

void TAffineTransformation::Scale(float sx, float sy) {
    TFloatMatrix t = IdentityFloatMatrix;
    t[0][0] = sx;
    t[1][1] = sy;
    apply(t);
}

void TAffineTransformation::Scale(float value) {
    Scale(value, value);
}

void TAffineTransformation::Skew(float fx, float fy) {
    TFloatMatrix t = IdentityFloatMatrix;
    t[1][0] = fx;
    t[0][1] = fy;
    apply(t);
}

void TAffineTransformation::Rotate(float alpha) {
    float s, c;
    SineCosine(alpha * 3.14159265358979f / 180.0f, s, c);
    TFloatMatrix t = IdentityFloatMatrix;
    t[0][0] = c;
    t[1][0] = s;
    t[0][1] = -s;
    t[1][1] = c;
    apply(t);
}

void TAffineTransformation::Rotate(float cx, float cy, float alpha) {
    const bool centred = cx != 0 || cy != 0;
    if (centred)
        Translate(-cx, -cy);
    Rotate(alpha);
    if (centred)
        Translate(cx, cy);
    Changed();
}

TFloatRect TAffineTransformation::GetTransformedBounds(const TFloatRect& src_rect) {
    const TVector3f corners[4] = {MatrixApply(FMatrix, {src_rect.Left, src_rect.Top, 1}),
                                  MatrixApply(FMatrix, {src_rect.Right, src_rect.Top, 1}),
                                  MatrixApply(FMatrix, {src_rect.Left, src_rect.Bottom, 1}),
                                  MatrixApply(FMatrix, {src_rect.Right, src_rect.Bottom, 1})};
    TFloatRect r{corners[0][0], corners[0][1], corners[0][0], corners[0][1]};
    for (const TVector3f& v : corners) {
        r.Left = std::min(r.Left, v[0]);
        r.Right = std::max(r.Right, v[0]);
        r.Top = std::min(r.Top, v[1]);
        r.Bottom = std::max(r.Bottom, v[1]);
    }
    return r;
}

// --- Matrix helpers

float MatrixDet2(float a, float b, float c, float d) {
    return a * d - b * c;
}

float MatrixDet3(float a1, float a2, float a3, float b1, float b2, float b3, float c1, float c2, float c3) {
    return a1 * (b2 * c3 - b3 * c2) - b1 * (a2 * c3 - a3 * c2) + c1 * (a2 * b3 - a3 * b2);
}

float MatrixDeterminant(const TFloatMatrix& m) {
    return MatrixDet3(m[0][0], m[0][1], m[0][2], m[1][0], m[1][1], m[1][2], m[2][0], m[2][1], m[2][2]);
}

// The adjugate of a matrix is the transpose of that of its transpose, so the storage order does not matter.
void MatrixAdjugate(TFloatMatrix& m) {
    const TFloatMatrix a = m;
    m[0][0] = MatrixDet2(a[1][1], a[1][2], a[2][1], a[2][2]);
    m[0][1] = -MatrixDet2(a[0][1], a[0][2], a[2][1], a[2][2]);
    m[0][2] = MatrixDet2(a[0][1], a[0][2], a[1][1], a[1][2]);
    m[1][0] = -MatrixDet2(a[1][0], a[1][2], a[2][0], a[2][2]);
    m[1][1] = MatrixDet2(a[0][0], a[0][2], a[2][0], a[2][2]);
    m[1][2] = -MatrixDet2(a[0][0], a[0][2], a[1][0], a[1][2]);
    m[2][0] = MatrixDet2(a[1][0], a[1][1], a[2][0], a[2][1]);
    m[2][1] = -MatrixDet2(a[0][0], a[0][1], a[2][0], a[2][1]);
    m[2][2] = MatrixDet2(a[0][0], a[0][1], a[1][0], a[1][1]);
}

void MatrixScale(TFloatMatrix& m, float factor) {
    for (auto& column : m)
        for (float& v : column)
            v *= factor;
}

void MatrixInvert(TFloatMatrix& m) {
    const float d = MatrixDeterminant(m);
    if (!(std::fabs(d) >= 1e-5f)) {
        m = IdentityFloatMatrix;
        return;
    }
    MatrixAdjugate(m);
    MatrixScale(m, 1.0f / d);
}

TFloatMatrix MatrixMultiply(const TFloatMatrix& m1, const TFloatMatrix& m2) {
    TFloatMatrix r{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = m1[0][j] * m2[i][0] + m1[1][j] * m2[i][1] + m1[2][j] * m2[i][2];
    return r;
}

TVector3f MatrixApply(const TFloatMatrix& m, const TVector3f& v) {
    TVector3f r;
    for (int i = 0; i < 3; ++i)
        r[i] = m[0][i] * v[0] + m[1][i] * v[1] + m[2][i] * v[2];
    return r;
}

TFixedMatrix MatrixToFixed(const TFloatMatrix& m) {
    TFixedMatrix r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = to_fixed(m[i][j]);
    return r;
}

// --- Drawing through a transformation

void TransformBitmap(TCustomBitmap32* Dst, TCustomBitmap32* Src, TTransformation* Transformation) {
    const std::unique_ptr<TRasterizer> rasterizer = TransformRasterizerClass();
    TransformBitmap(Dst, Src, Transformation, rasterizer.get());
}

void TransformBitmap(TCustomBitmap32* Dst, TCustomBitmap32* Src, TTransformation* Transformation,
                     TRasterizer* Rasterizer) {
    TransformBitmap(Dst, Src, Transformation, Rasterizer, Dst->BoundsRect());
}

void TransformBitmap(TCustomBitmap32* Dst, TCustomBitmap32* Src, TTransformation* Transformation,
                     TRasterizer* Rasterizer, const TRect& DstClip) {
    RequireBitmaps(Dst, Src);
    // Only a crossed intersection stops; an empty but ordered one still runs and is reported.
    const TRect& clip = Dst->ClipRect();
    const TRect dst_rect{std::max(DstClip.Left, clip.Left), std::max(DstClip.Top, clip.Top),
                         std::min(DstClip.Right, clip.Right), std::min(DstClip.Bottom, clip.Bottom)};
    if (dst_rect.Right < dst_rect.Left || dst_rect.Bottom < dst_rect.Top)
        return;
    if (!Dst->MeasuringMode()) {
        TTransformer transformer(Src->Resampler(), Transformation);
        struct finish {
            TRasterizer* rasterizer;
            ~finish() {
                EndBlending();
                rasterizer->SetSampler(nullptr);
            }
        } done{Rasterizer};
        Rasterizer->SetSampler(&transformer);
        Rasterizer->Rasterize(Dst, dst_rect, Src);
    }
    Dst->Changed(dst_rect, AreaInfoRect);
}

// --- Bindings

namespace {

float det2x2_single_plain(float a, float b, float c, float d) {
    return a * d - b * c;
}

// Both products kept in double before the one rounding to single.
float det2x2_single_wide(float a, float b, float c, float d) {
    return static_cast<float>(static_cast<double>(a) * d - static_cast<double>(b) * c);
}

double det2x2_double_plain(double a, double b, double c, double d) {
    return a * d - b * c;
}

double det2x2_double_wide(double a, double b, double c, double d) {
    return static_cast<double>(static_cast<long double>(a) * d - static_cast<long double>(b) * c);
}

} // namespace

void RegisterTransformBindings() {
    namespace id = transforms_id;
    TFunctionRegistry& r = *NewFunctionRegistry(u"Raster_Transforms bindings");
    r.RegisterBinding(id::Det2x2Single, &kq::Det2x2Single);
    r.RegisterBinding(id::Det2x2Double, &kq::Det2x2Double);
    r.Add(id::Det2x2Single, det2x2_single_plain);
    r.Add(id::Det2x2Single, det2x2_single_wide);
    r.Add(id::Det2x2Double, det2x2_double_plain);
    r.Add(id::Det2x2Double, det2x2_double_wide);
    r.RebindAll();
}

void Raster_Transforms_startup() {
    RegisterTransformBindings();
}

} // namespace kq
