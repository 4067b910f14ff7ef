#include "framework/Pictures.h"

#include "framework/Streams.h"

#include <cstring>

namespace kq {

namespace {

template <class T>
std::unique_ptr<TGraphic> copy_of(const TGraphic& g) {
    auto copy = std::make_unique<T>();
    copy->Assign(&g);
    return copy;
}

} // namespace

std::unique_ptr<TBitmap> bitmap_from_raster(const raster_image& image) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetSize(image.width, image.height);
    bitmap->SetAlphaFormat(TAlphaFormat::afDefined);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(bitmap->ScanLine(y), &image.pixels[static_cast<size_t>(y) * image.width],
                    static_cast<size_t>(image.width) * 4);
    return bitmap;
}

// --- TPngImage

TColor TPngImage::TransparentColor() const noexcept {
    const uint32_t c = FPicture.transparent_color;
    return static_cast<TColor>((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16);
}

void TPngImage::SetPixels(raster_image image) {
    FPicture = png_picture{};
    FPicture.image = std::move(image);
    FPicture.transparency = TPngTransparencyMode::ptmPartial;
    FCache.reset();
    Changed();
}

void TPngImage::Assign(const TPersistent* source) {
    if (auto* p = dynamic_cast<const TPngImage*>(source)) {
        FPicture = p->FPicture;
        FOptions = p->FOptions;
        FCache.reset();
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TPngImage::Draw(TCanvas& canvas, const RECT& rect) {
    if (Empty()) return;
    if (!FCache) FCache = bitmap_from_raster(FPicture.image);
    FCache->Draw(canvas, rect);
}

void TPngImage::LoadFromStream(TStream& stream) {
    FPicture = decode_png(read_to_end(stream));
    FOptions.color_type = FPicture.color_type;
    FOptions.interlaced = FPicture.interlaced;
    FCache.reset();
    Changed();
}

void TPngImage::SaveToStream(TStream& stream) {
    const std::vector<uint8_t> file = encode_png(FPicture.image, FOptions);
    stream.WriteBuffer(file.data(), static_cast<std::int64_t>(file.size()));
}

// --- TJPEGImage

void TJPEGImage::Assign(const TPersistent* source) {
    if (auto* j = dynamic_cast<const TJPEGImage*>(source)) {
        FImage = j->FImage;
        FCache.reset();
        Changed();
        return;
    }
    TGraphic::Assign(source);
}

void TJPEGImage::Draw(TCanvas& canvas, const RECT& rect) {
    if (Empty()) return;
    if (!FCache) {
        FCache = bitmap_from_raster(FImage);
        FCache->SetAlphaFormat(TAlphaFormat::afIgnored); // always opaque
    }
    FCache->Draw(canvas, rect);
}

void TJPEGImage::LoadFromStream(TStream& stream) {
    FImage = decode_jpeg(read_to_end(stream));
    FCache.reset();
    Changed();
}

void TJPEGImage::SaveToStream(TStream&) { throw EInvalidGraphic(u"Saving JPEG images is not supported"); }

// --- TPicture

std::unique_ptr<TGraphic> graphic_for_signature(std::span<const std::uint8_t> data) {
    auto starts = [&](std::initializer_list<uint8_t> sig) {
        return data.size() >= sig.size() && std::equal(sig.begin(), sig.end(), data.begin());
    };
    if (starts({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) return std::make_unique<TPngImage>();
    if (starts({0xFF, 0xD8, 0xFF})) return std::make_unique<TJPEGImage>();
    if (starts({'B', 'M'})) return std::make_unique<TBitmap>();
    if (starts({0, 0, 1, 0})) return std::make_unique<TIcon>();
    return nullptr;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::changed() {
    if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(const TGraphic* value) {
    if (!value) {
        FGraphic.reset();
    } else if (dynamic_cast<const TPngImage*>(value)) {
        FGraphic = copy_of<TPngImage>(*value);
    } else if (dynamic_cast<const TJPEGImage*>(value)) {
        FGraphic = copy_of<TJPEGImage>(*value);
    } else if (dynamic_cast<const TIcon*>(value)) {
        FGraphic = copy_of<TIcon>(*value);
    } else {
        FGraphic = copy_of<TBitmap>(*value);
    }
    changed();
}

void TPicture::LoadFromStream(TStream& stream) {
    const std::int64_t start = stream.Position();
    uint8_t head[8] = {};
    const std::int64_t got = stream.Read(head, sizeof head);
    stream.SetPosition(start);
    std::unique_ptr<TGraphic> graphic = graphic_for_signature(std::span(head, static_cast<size_t>(got)));
    if (!graphic) throw EInvalidGraphic(u"Unknown picture file format");
    graphic->LoadFromStream(stream);
    FGraphic = std::move(graphic);
    changed();
}

void TPicture::LoadFromFile(const String& file_name) {
    TFileStream stream(file_name, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TPicture::SaveToStream(TStream& stream) {
    if (FGraphic) FGraphic->SaveToStream(stream);
}

void TPicture::SaveToFile(const String& file_name) {
    TFileStream stream(file_name, fmCreate);
    SaveToStream(stream);
}

void TPicture::Assign(const TPersistent* source) {
    if (auto* p = dynamic_cast<const TPicture*>(source)) {
        SetGraphic(p->FGraphic.get());
        return;
    }
    if (auto* g = dynamic_cast<const TGraphic*>(source)) {
        SetGraphic(g);
        return;
    }
    if (!source) {
        SetGraphic(nullptr);
        return;
    }
    TPersistent::Assign(source);
}

} // namespace kq
