#pragma once
// TPngImage, TJPEGImage, TPicture.
#include "framework/Graphics.h"
#include "framework/ImageCodecs.h"

#include <memory>

namespace kq {

// A PNG picture: the decoded pixels with the file's colour type, depth and transparency.
class TPngImage : public TGraphic {
public:
    int Width() const override { return FPicture.image.width; }
    int Height() const override { return FPicture.image.height; }
    const png_picture& Picture() const noexcept { return FPicture; }
    const raster_image& Pixels() const noexcept { return FPicture.image; }
    TPngTransparencyMode TransparencyMode() const noexcept { return FPicture.transparency; }
    // The colour a tRNS chunk makes transparent in grey and RGB files, as 0x00BBGGRR.
    TColor TransparentColor() const noexcept;

    // What SaveToStream writes.
    png_encode_options& SaveOptions() noexcept { return FOptions; }
    // Replaces the pixels (the file's properties become those of an 8-bit RGBA image).
    void SetPixels(raster_image image);

    void Assign(const TPersistent* source) override;
    void Draw(TCanvas& canvas, const RECT& rect) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;

private:
    png_picture FPicture;
    png_encode_options FOptions;
    std::unique_ptr<TBitmap> FCache; // the pixels as a 32-bit bitmap with alpha, made on first draw
};

class TJPEGImage : public TGraphic {
public:
    int Width() const override { return FImage.width; }
    int Height() const override { return FImage.height; }
    const raster_image& Pixels() const noexcept { return FImage; }

    void Assign(const TPersistent* source) override;
    void Draw(TCanvas& canvas, const RECT& rect) override;
    void LoadFromStream(TStream& stream) override;
    // Pictures are only read; writing raises EInvalidGraphic.
    void SaveToStream(TStream& stream) override;

private:
    raster_image FImage;
    std::unique_ptr<TBitmap> FCache;
};

// The pixels as a 32-bit bitmap with straight alpha.
std::unique_ptr<TBitmap> bitmap_from_raster(const raster_image& image);

// Holds one graphic of whichever class the loaded data is.
class TPicture : public TPersistent {
public:
    TPicture();
    ~TPicture() override;

    TGraphic* Graphic() const noexcept { return FGraphic.get(); }
    // Takes a copy of value (nullptr empties the picture).
    void SetGraphic(const TGraphic* value);
    int Width() const { return FGraphic ? FGraphic->Width() : 0; }
    int Height() const { return FGraphic ? FGraphic->Height() : 0; }

    // The class is chosen by the data's signature: BMP, PNG, JPEG or icon; EInvalidGraphic otherwise.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const String& file_name);
    void SaveToStream(TStream& stream);
    void SaveToFile(const String& file_name);

    void Assign(const TPersistent* source) override;
    TNotifyEvent OnChange;

private:
    void changed();
    std::unique_ptr<TGraphic> FGraphic;
};

// A new, empty graphic of the class that reads data (by its signature), or nullptr.
std::unique_ptr<TGraphic> graphic_for_signature(std::span<const std::uint8_t> data);

} // namespace kq
