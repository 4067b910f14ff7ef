#pragma once

#include "framework/Graphics.h"

namespace kq {

enum class TDrawingStyle : std::uint8_t { dsFocus, dsSelected, dsNormal, dsTransparent };

// Images of one size in one system image list, drawn with their mask or alpha.
class TCustomImageList : public TComponent {
public:
    explicit TCustomImageList(TComponent* AOwner);
    ~TCustomImageList() override;

    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    // Changing the size empties the list.
    void SetSize(int AWidth, int AHeight);
    void SetWidth(int Value) { SetSize(Value, FHeight); }
    void SetHeight(int Value) { SetSize(FWidth, Value); }
    bool Masked() const noexcept { return FMasked; }
    void SetMasked(bool Value);
    TColor BkColor() const noexcept { return FBkColor; }
    void SetBkColor(TColor Value);
    TDrawingStyle DrawingStyle() const noexcept { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle Value) { FDrawingStyle = Value; }

    HIMAGELIST Handle();
    int Count();

    // Each adds one image per Width pixels of the bitmap; the index of the first is returned.
    int Add(TBitmap& Image, TBitmap* Mask);
    int AddMasked(TBitmap& Image, TColor MaskColor);
    int AddIcon(TIcon& Image);
    void Delete(int Index);
    void Clear();

    void Draw(TCanvas& Canvas, int X, int Y, int Index, bool Enabled = true);
    // The image as an icon, with its transparency; Image takes the new handle.
    void GetIcon(int Index, TIcon& Image);
    void GetBitmap(int Index, TBitmap& Image);

    TNotifyEvent OnChange;
    const property_table& PublishedProperties() const override;

private:
    void check_index(int Index);
    void changed();

    int FWidth = 16;
    int FHeight = 16;
    bool FMasked = true;
    TColor FBkColor = clNone;
    TDrawingStyle FDrawingStyle = TDrawingStyle::dsNormal;
    unique_handle<HIMAGELIST, ::ImageList_Destroy> FHandle;
};

class TImageList : public TCustomImageList {
public:
    using TCustomImageList::TCustomImageList;
};

} // namespace kq
