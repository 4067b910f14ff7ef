#pragma once
// Affine and projective transforms.
#include "framework/Exceptions.h"
#include "graphics/Raster.h"
#include "graphics/Raster_Persistent.h"

#include <array>
#include <cstdint>

namespace kq {

class TCustomBitmap32;
class TRasterizer;

// M[column][row] of the usual matrix: (x, y) maps to (M[0][0] x + M[1][0] y + M[2][0],
// M[0][1] x + M[1][1] y + M[2][1]); points are never divided by a third coordinate.
using TFloatMatrix = std::array<std::array<float, 3>, 3>;
using TFixedMatrix = std::array<std::array<TFixed, 3>, 3>;
using TVector3f = std::array<float, 3>;

constexpr TFloatMatrix IdentityFloatMatrix{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

class ETransformNotImplemented : public Exception {
public:
    using Exception::Exception;
};

// A mapping between a source and a destination plane. Subclasses give at least the float operations; the
// integer and fixed ones derive from them.
class TTransformation : public TNotifiablePersistent {
public:
    // Marks the derived data out of date, then notifies.
    void Changed() override;

    const TFloatRect& SrcRect() const { return FSrcRect; }
    void SetSrcRect(const TFloatRect& value);
    bool TransformValid() const { return FTransformValid; }

    virtual void PrepareTransform();
    // Nearest integers of the fixed forms (a half rounds down).
    virtual void ReverseTransformInt(std::int32_t dst_x, std::int32_t dst_y, std::int32_t& src_x, std::int32_t& src_y);
    virtual void ReverseTransformFixed(TFixed dst_x, TFixed dst_y, TFixed& src_x, TFixed& src_y);
    // Raise ETransformNotImplemented unless a subclass implements them.
    virtual void ReverseTransformFloat(float dst_x, float dst_y, float& src_x, float& src_y);
    virtual void TransformInt(std::int32_t src_x, std::int32_t src_y, std::int32_t& dst_x, std::int32_t& dst_y);
    virtual void TransformFixed(TFixed src_x, TFixed src_y, TFixed& dst_x, TFixed& dst_y);
    virtual void TransformFloat(float src_x, float src_y, float& dst_x, float& dst_y);

    virtual bool HasTransformedBounds() const { return true; }
    // Where a source rectangle lands; the base returns it unchanged.
    virtual TFloatRect GetTransformedBounds(const TFloatRect& src_rect);
    TFloatRect GetTransformedBounds() { return GetTransformedBounds(FSrcRect); }

    // These prepare the transformation first when it is out of date.
    TPoint ReverseTransform(const TPoint& p);
    TFixedPoint ReverseTransform(const TFixedPoint& p);
    TFloatPoint ReverseTransform(const TFloatPoint& p);
    TPoint Transform(const TPoint& p);
    TFixedPoint Transform(const TFixedPoint& p);
    TFloatPoint Transform(const TFloatPoint& p);

protected:
    TFloatRect FSrcRect;
    bool FTransformValid = false;

private:
    // Prepares when out of date, then maps P through Op (a virtual operation, so subclasses' forms run).
    template <class P, class V>
    P mapped(const P& p, void (TTransformation::*op)(V, V, V&, V&)) {
        if (!FTransformValid)
            PrepareTransform();
        P r;
        (this->*op)(p.X, p.Y, r.X, r.Y);
        return r;
    }
};

class T3x3Transformation : public TTransformation {
public:
    const TFloatMatrix& Matrix() const { return FMatrix; }

    void PrepareTransform() override;
    void ReverseTransformFixed(TFixed dst_x, TFixed dst_y, TFixed& src_x, TFixed& src_y) override;
    void ReverseTransformFloat(float dst_x, float dst_y, float& src_x, float& src_y) override;
    void TransformFixed(TFixed src_x, TFixed src_y, TFixed& dst_x, TFixed& dst_y) override;
    void TransformFloat(float src_x, float src_y, float& dst_x, float& dst_y) override;

protected:
    TFloatMatrix FMatrix = IdentityFloatMatrix;
    TFloatMatrix FInverseMatrix = IdentityFloatMatrix;
    TFixedMatrix FFixedMatrix{};
    TFixedMatrix FInverseFixedMatrix{};
};

// Each operation applies after the ones before it.
class TAffineTransformation : public T3x3Transformation {
public:
    TAffineTransformation();

    void Clear();
    void Translate(float dx, float dy);
    void Scale(float sx, float sy);
    void Scale(float value);
    // x' = x + Fx y, y' = Fy x + y.
    void Skew(float fx, float fy);
    // Degrees; x' = cos x + sin y, y' = -sin x + cos y.
    void Rotate(float alpha);
    void Rotate(float cx, float cy, float alpha);

    // The bounding box of the four transformed corners.
    TFloatRect GetTransformedBounds(const TFloatRect& src_rect) override;
    using TTransformation::GetTransformedBounds;

private:
    void apply(const TFloatMatrix& t);
};

// --- Matrix helpers (single precision)

float MatrixDet2(float a, float b, float c, float d);
float MatrixDet3(float a1, float a2, float a3, float b1, float b2, float b3, float c1, float c2, float c3);
float MatrixDeterminant(const TFloatMatrix& m);
void MatrixAdjugate(TFloatMatrix& m);
void MatrixScale(TFloatMatrix& m, float factor);
// A matrix whose determinant is below 1e-5 in size becomes the identity.
void MatrixInvert(TFloatMatrix& m);
// The product M1 x M2.
TFloatMatrix MatrixMultiply(const TFloatMatrix& m1, const TFloatMatrix& m2);
TVector3f MatrixApply(const TFloatMatrix& m, const TVector3f& v);
TFixedMatrix MatrixToFixed(const TFloatMatrix& m);

// --- Drawing through a transformation

// Fills every pixel of Dst's clip rectangle (within DstClip) that the source reaches from Src sampled at the
// reverse-mapped position through Src's resampler, stored by Src's draw mode; reports the area. A DstClip
// outside Dst's clip rectangle changes and reports nothing. Without a rasterizer, one made by
// TransformRasterizerClass is used.
void TransformBitmap(TCustomBitmap32* Dst, TCustomBitmap32* Src, TTransformation* Transformation);
void TransformBitmap(TCustomBitmap32* Dst, TCustomBitmap32* Src, TTransformation* Transformation,
                     TRasterizer* Rasterizer);
void TransformBitmap(TCustomBitmap32* Dst, TCustomBitmap32* Src, TTransformation* Transformation,
                     TRasterizer* Rasterizer, const TRect& DstClip);

// --- Bound routines (registry "Raster_Transforms bindings")

using det2x2_single_proc = float (*)(float a, float b, float c, float d);
using det2x2_double_proc = double (*)(double a, double b, double c, double d);
extern det2x2_single_proc Det2x2Single;
extern det2x2_double_proc Det2x2Double;

namespace transforms_id {
enum : std::int32_t { Det2x2Single, Det2x2Double };
}

void RegisterTransformBindings();
void Raster_Transforms_startup();

} // namespace kq
