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

std::unique_ptr<TBitmap> bitmap_from_raster(const raster_image& Image) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetPixelFormat(TPixelFormat::pf32bit);
    bitmap->SetSize(Image.width, Image.height);
    bitmap->SetAlphaFormat(TAlphaFormat::afDefined);
    for (int y = 0; y < Image.height; ++y)
        std::memcpy(bitmap->ScanLine(y), &Image.pixels[static_cast<size_t>(y) * Image.width],
                    static_cast<size_t>(Image.width) * 4);
    return bitmap;
}

// --- TPngImage

TColor TPngImage::TransparentColor() const noexcept {
    const uint32_t c = FPicture.transparent_color;
    return static_cast<TColor>((c >> 16 & 0xFF) | (c & 0xFF00) | (c & 0xFF) << 16);
}

void TPngImage::SetPixels(raster_image Image) {
    FPicture = png_picture{};
    FPicture.image = std::move(Image);
    FPicture.transparency = TPngTransparencyMode::ptmPartial;
    FCache.reset();
    Changed();
}

void TPngImage::Assign(const TPersistent* Source) {
    if (auto* p = dynamic_cast<const TPngImage*>(Source)) {
        FPicture = p->FPicture;
        FOptions = p->FOptions;
        FCache.reset();
        Changed();
        return;
    }
    TGraphic::Assign(Source);
}

void TPngImage::Draw(TCanvas& ACanvas, const RECT& Rect) {
    if (Empty()) return;
    if (!FCache) FCache = bitmap_from_raster(FPicture.image);
    FCache->Draw(ACanvas, Rect);
}

void TPngImage::LoadFromStream(TStream& Stream) {
    FPicture = decode_png(read_to_end(Stream));
    FOptions.color_type = FPicture.color_type;
    FOptions.interlaced = FPicture.interlaced;
    FCache.reset();
    Changed();
}

void TPngImage::SaveToStream(TStream& Stream) {
    const std::vector<uint8_t> file = encode_png(FPicture.image, FOptions);
    Stream.WriteBuffer(file.data(), static_cast<std::int64_t>(file.size()));
}

// --- TJPEGImage

void TJPEGImage::Assign(const TPersistent* Source) {
    if (auto* j = dynamic_cast<const TJPEGImage*>(Source)) {
        FImage = j->FImage;
        FCache.reset();
        Changed();
        return;
    }
    TGraphic::Assign(Source);
}

void TJPEGImage::Draw(TCanvas& ACanvas, const RECT& Rect) {
    if (Empty()) return;
    if (!FCache) {
        FCache = bitmap_from_raster(FImage);
        FCache->SetAlphaFormat(TAlphaFormat::afIgnored); // always opaque
    }
    FCache->Draw(ACanvas, Rect);
}

void TJPEGImage::LoadFromStream(TStream& Stream) {
    FImage = decode_jpeg(read_to_end(Stream));
    FCache.reset();
    Changed();
}

void TJPEGImage::SaveToStream(TStream&) { throw EInvalidGraphic(u"Saving JPEG images is not supported"); }

// --- TPicture

std::unique_ptr<TGraphic> graphic_for_signature(std::span<const std::uint8_t> Data) {
    auto starts = [&](std::initializer_list<uint8_t> sig) {
        return Data.size() >= sig.size() && std::equal(sig.begin(), sig.end(), Data.begin());
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

void TPicture::SetGraphic(const TGraphic* Value) {
    if (!Value) {
        FGraphic.reset();
    } else if (dynamic_cast<const TPngImage*>(Value)) {
        FGraphic = copy_of<TPngImage>(*Value);
    } else if (dynamic_cast<const TJPEGImage*>(Value)) {
        FGraphic = copy_of<TJPEGImage>(*Value);
    } else if (dynamic_cast<const TIcon*>(Value)) {
        FGraphic = copy_of<TIcon>(*Value);
    } else {
        FGraphic = copy_of<TBitmap>(*Value);
    }
    changed();
}

void TPicture::LoadFromStream(TStream& Stream) {
    const std::int64_t start = Stream.Position();
    uint8_t head[8] = {};
    const std::int64_t got = Stream.Read(head, sizeof head);
    Stream.SetPosition(start);
    std::unique_ptr<TGraphic> graphic = graphic_for_signature(std::span(head, static_cast<size_t>(got)));
    if (!graphic) throw EInvalidGraphic(u"Unknown picture file format");
    graphic->LoadFromStream(Stream);
    FGraphic = std::move(graphic);
    changed();
}

void TPicture::LoadFromFile(const String& FileName) {
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TPicture::SaveToStream(TStream& Stream) {
    if (FGraphic) FGraphic->SaveToStream(Stream);
}

void TPicture::SaveToFile(const String& FileName) {
    TFileStream stream(FileName, fmCreate);
    SaveToStream(stream);
}

void TPicture::Assign(const TPersistent* Source) {
    if (auto* p = dynamic_cast<const TPicture*>(Source)) {
        SetGraphic(p->FGraphic.get());
        return;
    }
    if (auto* g = dynamic_cast<const TGraphic*>(Source)) {
        SetGraphic(g);
        return;
    }
    if (!Source) {
        SetGraphic(nullptr);
        return;
    }
    TPersistent::Assign(Source);
}

} // namespace kq
