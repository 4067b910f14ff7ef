#include "framework/ImageLists.h"

#include "framework/Conversions.h"
#include "framework/ImageCodecs.h"
#include "framework/Properties.h"
#include "framework/ResourceStreams.h"

#include <cstring>
#include <string>

namespace kq {

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}
TCustomImageList::~TCustomImageList() = default;

const property_table& TCustomImageList::PublishedProperties() const {
    static const property_table table = property_table::of<TCustomImageList>(TComponent::PublishedProperties())
        .integer(u"Width", &TCustomImageList::Width, &TCustomImageList::SetWidth, 16)
        .integer(u"Height", &TCustomImageList::Height, &TCustomImageList::SetHeight, 16)
        .boolean(u"Masked", &TCustomImageList::Masked, &TCustomImageList::SetMasked, true)
        .color(u"BkColor", &TCustomImageList::BkColor, &TCustomImageList::SetBkColor, clNone)
        .enumeration(u"DrawingStyle", &TCustomImageList::DrawingStyle, &TCustomImageList::SetDrawingStyle,
                     {u"dsFocus", u"dsSelected", u"dsNormal", u"dsTransparent"}, TDrawingStyle::dsNormal)
        // Last: the size above decides how the strip is cut.
        .string(u"ResourceName", &TCustomImageList::ResourceName, &TCustomImageList::SetResourceName, String());
    return table;
}

HIMAGELIST TCustomImageList::Handle() {
    if (!FHandle) {
        // 32-bit images keep per-pixel alpha; the mask serves images without it.
        FHandle.reset(::ImageList_Create(FWidth, FHeight, ILC_COLOR32 | (FMasked ? ILC_MASK : 0), 4, 4));
        if (!FHandle) raise_out_of_resources();
        ::ImageList_SetBkColor(FHandle.get(),
                               FBkColor == clNone ? CLR_NONE : static_cast<COLORREF>(ColorToRGB(FBkColor)));
    }
    return FHandle.get();
}

void TCustomImageList::SetResourceName(const String& value) {
    if (!value.empty()) {
        const auto file = program_rcdata(value);
        if (!file) throw EResNotFound(Format(u"Resource %s not found", {value}));
        const raster_image image = decode_png(*file).image;
        if (image.height != FHeight || image.width % FWidth != 0) throw EInvalidOperation(u"Invalid image size");
        // Straight alpha, as the list keeps 32-bit images.
        TBitmap strip;
        strip.SetPixelFormat(TPixelFormat::pf32bit);
        strip.SetSize(image.width, image.height);
        const size_t row = static_cast<size_t>(image.width);
        for (int y = 0; y < image.height; ++y)
            std::memcpy(strip.ScanLine(y), &image.pixels[static_cast<size_t>(y) * row], row * sizeof(std::uint32_t));
        Clear();
        Add(strip, nullptr);
    }
    FResourceName = value;
}

void TCustomImageList::changed() {
    if (OnChange) OnChange(this);
}

void TCustomImageList::SetSize(int width, int height) {
    if (width == FWidth && height == FHeight) return;
    if (width <= 0 || height <= 0) throw EInvalidOperation(u"Invalid image size");
    FWidth = width;
    FHeight = height;
    FHandle.reset();
    changed();
}

void TCustomImageList::SetMasked(bool value) {
    if (value == FMasked) return;
    FMasked = value;
    FHandle.reset();
    changed();
}

void TCustomImageList::SetBkColor(TColor value) {
    FBkColor = value;
    if (FHandle)
        ::ImageList_SetBkColor(FHandle.get(), value == clNone ? CLR_NONE : static_cast<COLORREF>(ColorToRGB(value)));
    changed();
}

int TCustomImageList::Count() { return FHandle ? ::ImageList_GetImageCount(FHandle.get()) : 0; }

void TCustomImageList::check_index(int index) {
    if (index < 0 || index >= Count()) throw EInvalidOperation(u"Invalid image list index " + utf8_to_string(std::to_string(index)));
}

int TCustomImageList::Add(TBitmap& image, TBitmap* mask) {
    const int index = ::ImageList_Add(Handle(), image.Handle(), mask ? mask->Handle() : nullptr);
    if (index < 0) throw EInvalidOperation(u"Failed to add an image to the image list");
    changed();
    return index;
}

int TCustomImageList::AddMasked(TBitmap& image, TColor mask_color) {
    const int index = ::ImageList_AddMasked(Handle(), image.Handle(), static_cast<COLORREF>(ColorToRGB(mask_color)));
    if (index < 0) throw EInvalidOperation(u"Failed to add an image to the image list");
    changed();
    return index;
}

int TCustomImageList::AddIcon(TIcon& image) {
    const int index = ::ImageList_ReplaceIcon(Handle(), -1, image.Handle());
    if (index < 0) throw EInvalidOperation(u"Failed to add an image to the image list");
    changed();
    return index;
}

void TCustomImageList::Delete(int index) {
    check_index(index);
    ::ImageList_Remove(FHandle.get(), index);
    changed();
}

void TCustomImageList::Clear() {
    if (FHandle) ::ImageList_Remove(FHandle.get(), -1);
    changed();
}

void TCustomImageList::Draw(TCanvas& canvas, int x, int y, int index, bool enabled) {
    check_index(index);
    UINT style = ILD_NORMAL;
    switch (FDrawingStyle) {
    case TDrawingStyle::dsFocus: style = ILD_FOCUS; break;
    case TDrawingStyle::dsSelected: style = ILD_SELECTED; break;
    case TDrawingStyle::dsTransparent: style = ILD_TRANSPARENT; break;
    case TDrawingStyle::dsNormal: style = FBkColor == clNone ? ILD_TRANSPARENT : ILD_NORMAL; break;
    }
    if (!enabled) style |= ILD_BLEND50;
    ::ImageList_Draw(FHandle.get(), index, canvas.Handle(), x, y, style);
}

void TCustomImageList::GetIcon(int index, TIcon& image) {
    check_index(index);
    image.SetHandle(::ImageList_GetIcon(FHandle.get(), index, ILD_TRANSPARENT));
}

void TCustomImageList::GetBitmap(int index, TBitmap& image) {
    check_index(index);
    image.SetPixelFormat(TPixelFormat::pf32bit);
    image.SetSize(FWidth, FHeight);
    image.Canvas().Brush().SetColor(clWhite);
    image.Canvas().FillRect(RECT{0, 0, FWidth, FHeight});
    ::ImageList_Draw(FHandle.get(), index, image.Canvas().Handle(), 0, 0, ILD_NORMAL);
}

} // namespace kq
