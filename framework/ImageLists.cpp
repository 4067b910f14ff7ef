#include "framework/ImageLists.h"

#include "framework/Properties.h"

#include <string>

namespace kq {

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}
TCustomImageList::~TCustomImageList() = default;

const property_table& TCustomImageList::PublishedProperties() const {
    static const property_table table = property_table::of<TCustomImageList>(TComponent::PublishedProperties())
        .integer(u"Width", &TCustomImageList::Width, &TCustomImageList::SetWidth, 16)
        .integer(u"Height", &TCustomImageList::Height, &TCustomImageList::SetHeight, 16)
        .boolean(u"Masked", &TCustomImageList::Masked, &TCustomImageList::SetMasked, true)
        .color(u"BkColor", &TCustomImageList::BkColor, &TCustomImageList::SetBkColor, clNone)
        .enumeration(u"DrawingStyle", &TCustomImageList::DrawingStyle, &TCustomImageList::SetDrawingStyle,
                     {u"dsFocus", u"dsSelected", u"dsNormal", u"dsTransparent"}, TDrawingStyle::dsNormal);
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

void TCustomImageList::changed() {
    if (OnChange) OnChange(this);
}

void TCustomImageList::SetSize(int AWidth, int AHeight) {
    if (AWidth == FWidth && AHeight == FHeight) return;
    if (AWidth <= 0 || AHeight <= 0) throw EInvalidOperation(u"Invalid image size");
    FWidth = AWidth;
    FHeight = AHeight;
    FHandle.reset();
    changed();
}

void TCustomImageList::SetMasked(bool Value) {
    if (Value == FMasked) return;
    FMasked = Value;
    FHandle.reset();
    changed();
}

void TCustomImageList::SetBkColor(TColor Value) {
    FBkColor = Value;
    if (FHandle)
        ::ImageList_SetBkColor(FHandle.get(), Value == clNone ? CLR_NONE : static_cast<COLORREF>(ColorToRGB(Value)));
    changed();
}

int TCustomImageList::Count() { return FHandle ? ::ImageList_GetImageCount(FHandle.get()) : 0; }

void TCustomImageList::check_index(int Index) {
    if (Index < 0 || Index >= Count()) throw EInvalidOperation(u"Invalid image list index " + utf8_to_string(std::to_string(Index)));
}

int TCustomImageList::Add(TBitmap& Image, TBitmap* Mask) {
    const int index = ::ImageList_Add(Handle(), Image.Handle(), Mask ? Mask->Handle() : nullptr);
    if (index < 0) throw EInvalidOperation(u"Failed to add an image to the image list");
    changed();
    return index;
}

int TCustomImageList::AddMasked(TBitmap& Image, TColor MaskColor) {
    const int index = ::ImageList_AddMasked(Handle(), Image.Handle(), static_cast<COLORREF>(ColorToRGB(MaskColor)));
    if (index < 0) throw EInvalidOperation(u"Failed to add an image to the image list");
    changed();
    return index;
}

int TCustomImageList::AddIcon(TIcon& Image) {
    const int index = ::ImageList_ReplaceIcon(Handle(), -1, Image.Handle());
    if (index < 0) throw EInvalidOperation(u"Failed to add an image to the image list");
    changed();
    return index;
}

void TCustomImageList::Delete(int Index) {
    check_index(Index);
    ::ImageList_Remove(FHandle.get(), Index);
    changed();
}

void TCustomImageList::Clear() {
    if (FHandle) ::ImageList_Remove(FHandle.get(), -1);
    changed();
}

void TCustomImageList::Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled) {
    check_index(Index);
    UINT style = ILD_NORMAL;
    switch (FDrawingStyle) {
    case TDrawingStyle::dsFocus: style = ILD_FOCUS; break;
    case TDrawingStyle::dsSelected: style = ILD_SELECTED; break;
    case TDrawingStyle::dsTransparent: style = ILD_TRANSPARENT; break;
    case TDrawingStyle::dsNormal: style = FBkColor == clNone ? ILD_TRANSPARENT : ILD_NORMAL; break;
    }
    if (!Enabled) style |= ILD_BLEND50;
    ::ImageList_Draw(FHandle.get(), Index, Canvas.Handle(), X, Y, style);
}

void TCustomImageList::GetIcon(int Index, TIcon& Image) {
    check_index(Index);
    Image.SetHandle(::ImageList_GetIcon(FHandle.get(), Index, ILD_TRANSPARENT));
}

void TCustomImageList::GetBitmap(int Index, TBitmap& Image) {
    check_index(Index);
    Image.SetPixelFormat(TPixelFormat::pf32bit);
    Image.SetSize(FWidth, FHeight);
    Image.Canvas().Brush().SetColor(clWhite);
    Image.Canvas().FillRect(RECT{0, 0, FWidth, FHeight});
    ::ImageList_Draw(FHandle.get(), Index, Image.Canvas().Handle(), 0, 0, ILD_NORMAL);
}

} // namespace kq
