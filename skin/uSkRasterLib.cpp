#include "skin/uSkRasterLib.h"

#include "framework/Conversions.h"
#include "graphics/Raster_Resamplers.h"
#include "graphics/Raster_Transforms.h"

#include <algorithm>
#include <cmath>

namespace kq {
namespace {

std::uint8_t clamp_byte(std::int32_t v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

} // namespace

// --- Colour

void ShiftBitmapHSL(TCustomBitmap32* Bitmap, std::int32_t dH, std::int32_t dS, std::int32_t dL) {
    if (!Bitmap || Bitmap->Empty()) return;
    const std::size_t n = std::size_t(Bitmap->Width()) * std::size_t(Bitmap->Height());
    TColor32* p = Bitmap->Bits();
    for (std::size_t i = 0; i < n; ++i) {
        std::uint8_t h, s, l;
        Color32ToHsl(p[i] | 0xFF000000u, h, s, l);
        const std::int32_t nh = (h + dH) & 0xFF;
        const std::int32_t ns = dS > 0 ? clamp_byte(s + dS) : clamp_byte(s + s * dS / 100);
        const std::int32_t nl = clamp_byte(l + dL);
        p[i] = HslToColor32(nh, ns, nl, 255);
    }
    Bitmap->Changed();
}

std::int32_t hue_steps(std::int32_t Degrees) noexcept {
    const std::int32_t d = (Degrees % 360 + 360) % 360;
    return (d * 255 + 180) / 360;
}

// --- Fills

void DrawSkinImage(TCustomBitmap32* Image, TCustomBitmap32* Dst, TSkPngFillType FillType) {
    if (!Image || !Dst) return;
    switch (FillType) {
    case ftNormal:
        Image->DrawTo(Dst, 0, 0);
        break;
    case ftTile:
        TileDrawBitmap(Image, Dst, 0, 0);
        break;
    case ftAutoStretch:
        if (auto* image = dynamic_cast<TBitmap32*>(Image); image && dynamic_cast<TBitmap32*>(Dst))
            DrawNineSliceThirds(image, static_cast<TBitmap32*>(Dst), false);
        break;
    case ftCenter:
        Image->DrawTo(Dst, (Dst->Width() - Image->Width()) / 2, (Dst->Height() - Image->Height()) / 2);
        break;
    }
}

void TileDrawBitmap(TCustomBitmap32* Src, TCustomBitmap32* Dst, std::int32_t X0, std::int32_t Y0) {
    if (!Src || !Dst) return;
    const std::int32_t w = std::max(1, Src->Width()), h = std::max(1, Src->Height());
    Dst->Lock();
    Dst->BeginUpdate();
    for (std::int32_t r = 0; r <= Dst->Height() / h; ++r)
        for (std::int32_t c = 0; c <= Dst->Width() / w; ++c) Src->DrawTo(Dst, X0 + c * w, Y0 + r * h);
    Dst->EndUpdate();
    Dst->Unlock();
    Dst->Changed();
}

void ZoomDrawBitmap(TCustomBitmap32* Src, TCustomBitmap32* Dst, float Extra) {
    if (!Src || !Dst || Src->Empty()) return;
    const float scale = std::max(float(Dst->Width()) / float(Src->Width()), float(Dst->Height()) / float(Src->Height())) +
                        Extra;
    Src->SetResamplerClassName(u"TLinearResampler");
    Src->Resampler()->SetPixelAccessMode(pamTransparentEdge);
    TAffineTransformation t;
    t.SetSrcRect(TFloatRect{0, 0, float(Src->Width()), float(Src->Height())});
    t.Scale(scale);
    const TFloatRect bounds = t.GetTransformedBounds();
    TBitmap32 temp;
    temp.SetSize(static_cast<std::int32_t>(Round(bounds.Right - bounds.Left)),
                 static_cast<std::int32_t>(Round(bounds.Bottom - bounds.Top)));
    temp.Clear(0xFF000000u);
    TransformBitmap(&temp, Src, &t);
    temp.DrawTo(Dst, (Dst->Width() - temp.Width()) / 2, (Dst->Height() - temp.Height()) / 2);
}

void DrawNineSlice(TBitmap32* Image, TBitmap32* Dst, const TRect& M, bool ViaGDI) {
    if (!Image || !Dst || Image->Empty() || Dst->Empty()) return;
    const std::int32_t W = Image->Width(), H = Image->Height(), W2 = Dst->Width(), H2 = Dst->Height();
    const std::int32_t dx = W2 - W, dy = H2 - H;
    const std::int32_t x1 = M.Left, y1 = M.Top, x2 = M.Right, y2 = M.Bottom;
    const struct {
        TRect src, dst;
    } pieces[] = {
        {{x1, y1, x2, y2}, {x1, y1, x2 + dx, y2 + dy}},       // centre
        {{0, y1, x1, y2}, {0, y1, x1, y2 + dy}},              // left
        {{x1, 0, x2, y1}, {x1, 0, x2 + dx, y1}},              // top
        {{x2, y1, W, y2}, {x2 + dx, y1, W2, y2 + dy}},        // right
        {{x1, y2, x2, H}, {x1, y2 + dy, x2 + dx, H2}},        // bottom
        {{0, 0, x1, y1}, {0, 0, x1, y1}},                     // top-left
        {{x2, 0, W, y1}, {x2 + dx, 0, W2, y1}},               // top-right
        {{0, y2, x1, H}, {0, y2 + dy, x1, H2}},               // bottom-left
        {{x2, y2, W, H}, {x2 + dx, y2 + dy, W2, H2}},         // bottom-right
    };
    for (const auto& p : pieces) {
        if (p.src.Right <= p.src.Left || p.src.Bottom <= p.src.Top) continue;
        if (p.dst.Right <= p.dst.Left || p.dst.Bottom <= p.dst.Top) continue;
        if (ViaGDI)
            Dst->Draw(p.dst, p.src, Image->Handle());
        else
            Dst->Draw(p.dst, p.src, Image);
    }
}

void DrawNineSliceThirds(TBitmap32* Image, TBitmap32* Dst, bool ViaGDI) {
    if (!Image || !Dst) return;
    const std::int32_t a = std::max(1, Image->Width() / 3), b = std::max(1, Image->Height() / 3);
    TRect m{a, b, 2 * a, 2 * b};
    if (Image->Width() == Dst->Width()) m = {0, b, 0, 2 * b};
    if (Image->Height() == Dst->Height()) m = {a, 0, 2 * a, 0};
    DrawNineSlice(Image, Dst, m, ViaGDI);
}

std::unique_ptr<TSkinImage> ResizeSkinImage(TBitmap32* Image, std::int32_t Width, std::int32_t Height) {
    if (!Image) return nullptr;
    auto image = std::make_unique<TSkinImage>();
    Image->CopyPropertiesTo(image.get());
    image->SetSize(Width, Height);
    image->Clear(0);
    DrawNineSliceThirds(Image, image.get(), true);
    return image;
}

std::unique_ptr<TSkinImage> CropSkinImageMiddle(TBitmap32* Image, std::int32_t Height, std::int32_t Width) {
    if (!Image) return nullptr;
    auto image = std::make_unique<TSkinImage>();
    const std::int32_t c = (Image->Height() - Height) / 2;
    if (Height <= 0 || Width <= 0 || Height + c > Image->Height() || Width > Image->Width()) {
        image->Assign(Image);
        return image;
    }
    Image->CopyPropertiesTo(image.get());
    image->SetSize(Width, Height);
    for (std::int32_t y = 0; y < Height; ++y)
        std::copy_n(Image->ScanLine(y + c), Width, image->ScanLine(y));
    image->Changed();
    return image;
}

void SplitImageStrip(TBitmap32* Image, std::int32_t Count, TDynSkinImage& Frames) {
    FreeSkinImages(Frames);
    if (!Image || Count <= 0) return;
    for (std::int32_t i = 0; i < Count; ++i) Frames.push_back(cut_frame(Image, Count, i, false));
}

void FreeSkinImages(TDynSkinImage& Frames) {
    Frames.clear();
}

} // namespace kq
