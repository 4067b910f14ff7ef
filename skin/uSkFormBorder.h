#pragma once
// TSkFormLayerBorder, the layered image border: four layered popup windows around a skinned form, one per
// edge, each showing a slice of one skin image stretched or tiled to the form's size plus a margin.

#include "framework/Forms.h"
#include "skin/uSkinIntf.h"

#include <memory>
#include <vector>

namespace kq {

class TSkinNCCtrlBase;
class TSkFormLayerBorder;

enum TSkStretchKind : std::uint8_t { skAuto, skTile };
enum TSkFormLayerBorderType : std::uint8_t { mpflLeft, mpflTop, mpflRight, mpflBottom };

// How far something reaches on each side; setters only store.
class TSkBorderSize : public TPersistent {
public:
    std::int32_t Left() const noexcept { return FLeft; }
    void SetLeft(std::int32_t Value) { FLeft = Value; }
    std::int32_t Top() const noexcept { return FTop; }
    void SetTop(std::int32_t Value) { FTop = Value; }
    std::int32_t Right() const noexcept { return FRight; }
    void SetRight(std::int32_t Value) { FRight = Value; }
    std::int32_t Bottom() const noexcept { return FBottom; }
    void SetBottom(std::int32_t Value) { FBottom = Value; }
    std::int32_t Width() const noexcept { return FLeft + FRight; }
    std::int32_t Height() const noexcept { return FTop + FBottom; }

    // Copies the four values.
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    std::int32_t FRight = 8, FBottom = 8, FTop = 8, FLeft = 8;
};

// One edge window: a borderless, never activated popup that shows its edge image through per-pixel alpha.
// Transparent ones let every mouse action through; opaque ones take it as non-client input.
class TSkFormLayerWindow : public TForm {
public:
    TSkFormLayerWindow(TSkFormLayerBorder* AOwner, TForm* AForm, bool Transparent);

    TSkFormLayerBorderType BorderType() const noexcept { return FBorderType; }
    void SetBorderType(TSkFormLayerBorderType Value) { FBorderType = Value; }
    bool Drag() const noexcept { return FDrag; }
    void SetDrag(bool Value) { FDrag = Value; }
    bool IsHided() const noexcept { return FHided; }

    // Shows the border's image of this edge at the window's place: AFlag 0 visible, 1 fully transparent.
    // A window whose edge has no image is hidden.
    void DrawSelf(std::uint32_t AFlag);
    void DoShow();
    void DoHide();

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;

private:
    bool DispatchNCMouseButton(bool Down);

    bool FTransparent;
    TSkFormLayerBorderType FBorderType = mpflLeft;
    bool FDrag = false;
    bool FHided = false;
    TForm* FForm;
    TSkFormLayerBorder* FLayerBorder;
};

class TSkFormLayerBorder : public TComponent {
public:
    explicit TSkFormLayerBorder(TComponent* AOwner);
    ~TSkFormLayerBorder() override;

    TSkStretchKind StretchKind() const noexcept { return FStretchKind; }
    void SetStretchKind(TSkStretchKind Value) { FStretchKind = Value; }
    bool Transparent() const noexcept { return FTransparent; }
    void SetTransparent(bool Value) { FTransparent = Value; }
    bool DragEnabled() const noexcept { return FDragEnabled; }
    void SetDragEnabled(bool Value) { FDragEnabled = Value; }
    const TSkResID& Image() const noexcept { return FImage; }
    void SetImage(const TSkResID& Value) { FImage = Value; }
    TSkBorderSize& Size() noexcept { return *FSize; }
    void SetSize(const TSkBorderSize& Value) { FSize->Assign(&Value); }
    TSkBorderSize& InflateSize() noexcept { return *FInflateSize; }
    void SetInflateSize(const TSkBorderSize& Value) { FInflateSize->Assign(&Value); }
    // The skin form's list of title-bar controls (shared, not owned), given by ShowWithForm.
    const std::vector<TSkinNCCtrlBase*>* NCCtrlList() const noexcept { return FNCCtrlList; }

    TForm* Form() const noexcept { return FForm; }
    TBitmap32* LeftImage() const noexcept { return FLeftImage.get(); }
    TBitmap32* TopImage() const noexcept { return FTopImage.get(); }
    TBitmap32* RightImage() const noexcept { return FRightImage.get(); }
    TBitmap32* BottomImage() const noexcept { return FBottomImage.get(); }
    TBitmap32* EdgeImage(TSkFormLayerBorderType Type) const noexcept;
    TSkFormLayerWindow* LeftBorder() const noexcept { return FLeftBorder; }
    TSkFormLayerWindow* TopBorder() const noexcept { return FTopBorder; }
    TSkFormLayerWindow* RightBorder() const noexcept { return FRightBorder; }
    TSkFormLayerWindow* BottomBorder() const noexcept { return FBottomBorder; }
    // The frame is shown (not minimised away); Hidden: the edges are drawn see-through.
    bool FrameVisible() const noexcept { return FVisible; }
    bool Hidden() const noexcept { return FHide; }

    void InitFrame(TForm* AForm);
    // The list's owner going away takes it back.
    void ForgetNCCtrlList(const std::vector<TSkinNCCtrlBase*>* NCItems) noexcept {
        if (FNCCtrlList == NCItems) FNCCtrlList = nullptr;
    }
    void ShowWithForm(const std::vector<TSkinNCCtrlBase*>* NCItems);
    // Builds new edge images and windows for a form at (X, Y) of that size and shows them. An image the
    // skin does not have makes no frame at all.
    void Show(std::int32_t X, std::int32_t Y, std::int32_t AWidth, std::int32_t AHeight);
    void Show();
    void Hide();
    void SetBounds(std::int32_t X, std::int32_t Y, std::int32_t AWidth, std::int32_t AHeight);
    void SetBoundsWithForm();
    void MoveWithForm(std::int32_t ALeft, std::int32_t ATop);
    void Minimizing();
    void Restoring();
    void ReAlign();
    void SetAlphaBlend();
    void CheckFormAlpha(bool AUpdate);
    void FreeLayerWindow();

    void Notification(TComponent* AComponent, TOperation Operation) override;
    const property_table& PublishedProperties() const override;

private:
    template <class F>
    void each_window(F&& f, std::initializer_list<TSkFormLayerWindow* TSkFormLayerBorder::*> order);
    void BuildEdgeImages(std::int32_t AWidth, std::int32_t AHeight);
    void zero_tiled_insets();
    HWND InsertAfter();
    void PlaceWindows(std::int32_t X, std::int32_t Y, std::int32_t AW, std::int32_t AH, HWND After);
    bool form_iconic() const;

    TSkStretchKind FStretchKind = skAuto;
    bool FTransparent = true;
    bool FDragEnabled = true;
    TSkResID FImage = u"SkinSlider_Aio_light_bkg";
    std::unique_ptr<TSkBorderSize> FSize, FInflateSize;
    const std::vector<TSkinNCCtrlBase*>* FNCCtrlList = nullptr;
    TForm* FForm = nullptr;
    std::unique_ptr<TBitmap32> FLeftImage, FTopImage, FRightImage, FBottomImage;
    // Owned as components; cleared when freed.
    TSkFormLayerWindow *FLeftBorder = nullptr, *FTopBorder = nullptr, *FRightBorder = nullptr,
                       *FBottomBorder = nullptr;
    bool FVisible = false;
    bool FHide = false;
    bool FMinimized = false;
};

} // namespace kq
