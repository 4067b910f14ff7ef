#pragma once
// TSkFormLayerBorder, the layered image border: four layered popup windows around a skinned form, one per
// edge, each showing a slice of one skin image stretched or tiled to the form's size plus a margin.

#include "framework/Forms.h"
#include "skin/SkinMessages.h"
#include "skin/SkinWindowTimer.h"
#include "skin/uSkinIntf.h"

#include <array>
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
    // Has the border's edges stacked again shortly, when this window's timer fires.
    void restack_soon();

protected:
    void CreateParams(TCreateParams& Params) override;
    void WndProc(TMessage& Message) override;

private:
    bool DispatchNCMouseButton(bool Down);
    void host_title_bar_controls(TBitmap32& Picture);

    bool FTransparent;
    TSkFormLayerBorderType FBorderType = mpflLeft;
    bool FDrag = false;
    bool FHided = false;
    TForm* FForm;
    TSkFormLayerBorder* FLayerBorder;
    window_timer FRestackTimer{skin_timer_restack};
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
    TBitmap32* LeftImage() const noexcept { return edge_image(mpflLeft); }
    TBitmap32* TopImage() const noexcept { return edge_image(mpflTop); }
    TBitmap32* RightImage() const noexcept { return edge_image(mpflRight); }
    TBitmap32* BottomImage() const noexcept { return edge_image(mpflBottom); }
    TBitmap32* edge_image(TSkFormLayerBorderType Type) const noexcept;
    TSkFormLayerWindow* LeftBorder() const noexcept { return FBorders[mpflLeft]; }
    TSkFormLayerWindow* TopBorder() const noexcept { return FBorders[mpflTop]; }
    TSkFormLayerWindow* RightBorder() const noexcept { return FBorders[mpflRight]; }
    TSkFormLayerWindow* BottomBorder() const noexcept { return FBorders[mpflBottom]; }
    // The frame is shown (not minimised away); Hidden: the edges are drawn see-through.
    bool FrameVisible() const noexcept { return FVisible; }
    bool Hidden() const noexcept { return FHide; }

    void InitFrame(TForm* AForm);
    // The list's owner going away takes it back.
    void forget_nc_ctrl_list(const std::vector<TSkinNCCtrlBase*>* NCItems) noexcept {
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
    using edge_list = std::array<TSkFormLayerBorderType, 4>;
    // The edges in their own order (showing, hiding, freeing), and in the order the windows are made.
    static constexpr edge_list edge_order{mpflLeft, mpflTop, mpflRight, mpflBottom};
    static constexpr edge_list creation_order{mpflLeft, mpflRight, mpflTop, mpflBottom};
    // The order the edges are drawn in: the title-bar edge first.
    static constexpr edge_list draw_order{mpflTop, mpflBottom, mpflLeft, mpflRight};
    template <class F>
    void each_window(F&& f, const edge_list& order);
    void BuildEdgeImages(std::int32_t AWidth, std::int32_t AHeight);
    void zero_tiled_insets();
    HWND insert_after();
    void place_windows(std::int32_t X, std::int32_t Y, std::int32_t AW, std::int32_t AH, HWND After);
    bool form_iconic() const;

    TSkStretchKind FStretchKind = skAuto;
    bool FTransparent = true;
    bool FDragEnabled = true;
    TSkResID FImage = u"SkinSlider_Aio_light_bkg";
    std::unique_ptr<TSkBorderSize> FSize, FInflateSize;
    const std::vector<TSkinNCCtrlBase*>* FNCCtrlList = nullptr;
    TForm* FForm = nullptr;
    // By edge (TSkFormLayerBorderType).
    std::array<std::unique_ptr<TBitmap32>, 4> FImages;
    // Owned as components; cleared when freed.
    std::array<TSkFormLayerWindow*, 4> FBorders{};
    bool FVisible = false;
    bool FHide = false;
    bool FMinimized = false;
};

} // namespace kq
