#pragma once
// TCustomImageList, TImageList.
#include "framework/Graphics.h"

namespace kq {

enum class TDrawingStyle : std::uint8_t { dsFocus, dsSelected, dsNormal, dsTransparent };

// Images of one size in one system image list, drawn with their mask or alpha.
class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* owner);
    ~TCustomImageList() override;

    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    // Changing the size empties the list.
    void SetSize(int width, int height);
    void SetWidth(int value) { SetSize(value, FHeight); }
    void SetHeight(int value) { SetSize(FWidth, value); }
    bool Masked() const noexcept { return FMasked; }
    void SetMasked(bool value);
    TColor BkColor() const noexcept { return FBkColor; }
    void SetBkColor(TColor value);
    TDrawingStyle DrawingStyle() const noexcept { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle value) { FDrawingStyle = value; }

    // The program's RCDATA resource of this name, a PNG strip of Width-pixel frames side by side, gives the
    // list's images. Raises EResNotFound when the program lacks it, EInvalidGraphic when it is no PNG, and
    // EInvalidOperation when its size does not fit the list's.
    const String& ResourceName() const noexcept { return FResourceName; }
    void SetResourceName(const String& value);

    HIMAGELIST Handle();
    int Count();

    // Each adds one image per Width pixels of the bitmap; the index of the first is returned.
    int Add(TBitmap& image, TBitmap* mask);
    int AddMasked(TBitmap& image, TColor mask_color);
    int AddIcon(TIcon& image);
    void Delete(int index);
    void Clear();

    void Draw(TCanvas& canvas, int x, int y, int index, bool enabled = true);
    // The image as an icon, with its transparency; image takes the new handle.
    void GetIcon(int index, TIcon& image);
    void GetBitmap(int index, TBitmap& image);

    TNotifyEvent OnChange;
    const property_table& PublishedProperties() const override;

private:
    void check_index(int index);
    void changed();

    int FWidth = 16;
    int FHeight = 16;
    bool FMasked = true;
    TColor FBkColor = clNone;
    TDrawingStyle FDrawingStyle = TDrawingStyle::dsNormal;
    String FResourceName;
    unique_himagelist FHandle;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};

} // namespace kq
