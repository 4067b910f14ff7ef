#pragma once
// The skin library's shared types: TSkinImage, fill and side kinds, text glow, offsets, state strips.

#include "framework/Strings.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_Persistent.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace kq {

// An image name in the skin image store, or the path of an image file.
using TSkResID = String;

// The skin library's image: a bitmap without behaviour of its own.
class TSkinImage : public TBitmap32 {
public:
    using TBitmap32::TBitmap32;
};

using TDynSkinImage = std::vector<std::unique_ptr<TSkinImage>>;

enum TSkinStyle : std::uint8_t { ssColor, ssPicture };
enum TSkFillStyle : std::uint8_t { mfsBlur, mfsTile, mfsStretch };
enum TSkPngFillType : std::uint8_t { ftNormal, ftTile, ftAutoStretch, ftCenter };
enum TEllipsisPosition : std::uint8_t { epNone, epPathEllipsis, epEndEllipsis, epWordEllipsis };
enum TSide : std::uint8_t { sdLeft, sdTop, sdRight, sdBottom };
using TSides = enum_set<TSide>;
enum TSkAboutInfo : std::uint8_t { aiSkinComponent };

// Glow settings of a text.
class TSkLightClass : public TPersistent {
public:
    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    std::int32_t Color() const noexcept { return FColor; }
    void SetColor(std::int32_t Value);
    std::int32_t BlurRadius() const noexcept { return FBlurRadius; }
    void SetBlurRadius(std::int32_t Value);
    TNotifyEvent OnChanged;

    // Copies Active and Color; BlurRadius stays.
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

protected:
    virtual void Changed();

private:
    bool FActive = true;
    std::int32_t FColor = 16777214;
    std::int32_t FBlurRadius = 1;
};

class TSkOffset : public TPersistent {
public:
    std::int32_t X() const noexcept { return FX; }
    void SetX(std::int32_t Value);
    std::int32_t Y() const noexcept { return FY; }
    void SetY(std::int32_t Value);
    TNotifyEvent OnChanged;

    const property_table& PublishedProperties() const override;

protected:
    virtual void Changed();

private:
    std::int32_t FX = 0;
    std::int32_t FY = 0;
};

struct image_size {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// How a state strip finds the image its name stands for: the resource manager's lookup, installed by the
// skin library's start-up (the manager stores these values, so this unit cannot include it). Until then
// no name finds an image.
using skin_image_lookup = TSkinImage* (*)(const String& ResID);
void set_skin_image_lookup(skin_image_lookup Lookup) noexcept;

// A state strip: one store image cut into Count equal frames (side by side, or stacked in MultiLineMode).
// The source image belongs to the store.
class TPngPictures : public TPersistent {
public:
    bool Active() const noexcept { return FActive; }
    void SetActive(bool Value);
    bool MultiLineMode() const noexcept { return FMultiLineMode; }
    void SetMultiLineMode(bool Value) { FMultiLineMode = Value; }
    const TSkResID& Image() const noexcept { return FImage; }
    void SetImage(const TSkResID& Value);
    std::int32_t Normal() const noexcept { return FNormal; }
    void SetNormal(std::int32_t Value);
    std::int32_t Hot() const noexcept { return FHot; }
    void SetHot(std::int32_t Value);
    std::int32_t Pressed() const noexcept { return FPressed; }
    void SetPressed(std::int32_t Value) { FPressed = Value; }
    std::int32_t Disable() const noexcept { return FDisable; }
    void SetDisable(std::int32_t Value);
    std::int32_t Count() const noexcept { return FCount; }
    void SetCount(std::int32_t Value);
    // The source's size; nullopt without a non-empty source.
    std::optional<image_size> SourceSize() const;
    TSkinImage* SourceImage() const noexcept { return FSource; }

    const TNotifyEvent& PicturesChanged() const noexcept { return FPicturesChanged; }
    void SetPicturesChanged(TNotifyEvent Value);

    void Lock() noexcept { FLocked = true; }
    void UnLock() noexcept { FLocked = false; }

    // Each gives a new frame, or nil (index negative or not below Count, no source).
    std::unique_ptr<TSkinImage> GetNormalImage() const { return frame(FNormal); }
    std::unique_ptr<TSkinImage> GetHotImage() const { return frame(FHot); }
    std::unique_ptr<TSkinImage> GetPressedImage() const { return frame(FPressed); }
    std::unique_ptr<TSkinImage> GetDisableImage() const { return frame(FDisable); }
    // 0 without a source, and for a Count of 0 (which would divide by zero).
    std::int32_t GetSingleWidth() const;
    std::int32_t GetSingleHeight() const;

    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TSkinImage> frame(std::int32_t index) const;
    void notify();

    bool FActive = false;
    bool FMultiLineMode = false;
    TSkResID FImage;
    TSkinImage* FSource = nullptr;
    std::int32_t FNormal = 0;
    std::int32_t FHot = 1;
    std::int32_t FPressed = 2;
    std::int32_t FDisable = 0;
    std::int32_t FCount = 3;
    bool FLocked = false;
    TNotifyEvent FPicturesChanged;
};

// Frame index of a strip of Count frames side by side (or stacked): a new image with the source's
// properties, drawn through the frame's transformation 8 times; nil for a nil source, a Count of 0 or
// less, or an index outside 0 .. Count - 1.
std::unique_ptr<TSkinImage> cut_frame(TCustomBitmap32* Source, std::int32_t Count, std::int32_t Index, bool Stacked);
// Region of Source as a new image with the source's properties, cut the same way; nil for a nil source.
std::unique_ptr<TSkinImage> cut_region(TCustomBitmap32* Source, const TRect& Region);

class TFont;

// A text drawn over a control, with its glow and visibility.
class TSkTextObj : public TPersistent {
public:
    TSkTextObj();
    ~TSkTextObj() override;

    TSkLightClass& Light() noexcept { return FLight; }
    void SetLight(const TSkLightClass& Value) { FLight.Assign(&Value); }
    const String& Text() const noexcept { return FText; }
    void SetText(const String& Value);
    bool Visible() const noexcept { return FVisible; }
    void SetVisible(bool Value);
    TNotifyEvent OnChanged;

    // Copies Light, Text and Visible.
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

protected:
    virtual void Changed();

private:
    bool FVisible = true;
    TSkLightClass FLight;
    String FText;
};

// A caption: a text object with its font and an offset from the centre.
class TSkCaption : public TSkTextObj {
public:
    TSkCaption();
    ~TSkCaption() override;

    TFont& Font() noexcept { return *FFont; }
    void SetFont(const TFont& Value);
    std::int32_t OffsetX() const noexcept { return FOffsetX; }
    void SetOffsetX(std::int32_t Value);
    std::int32_t OffsetY() const noexcept { return FOffsetY; }
    void SetOffsetY(std::int32_t Value);

    // Also copies the font; the offsets stay.
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TFont> FFont;
    std::int32_t FOffsetX = 0;
    std::int32_t FOffsetY = 0;
};

} // namespace kq
