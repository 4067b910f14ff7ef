#pragma once
// TSkinNCButton and TSkinSystemButton: title-bar buttons drawn from a state strip.

#include "skin/uSkinNCCtrlBase.h"

namespace kq {

enum TNCButtonState : std::uint8_t { bsNormal, bsHot, bsPressed };
enum TSystemButtonKind : std::uint8_t { bkClose, bkMinimize, bkMaximize };

// A title-bar button has put up its own mouse cursor; the skin form leaves WM_SETCURSOR alone meanwhile.
extern bool NCButtonCursorSet;

class TSkinCustomNCButton : public TSkinNCCtrlBase {
public:
    explicit TSkinCustomNCButton(TComponent* AOwner);
    ~TSkinCustomNCButton() override;

    TPngPictures& Picture() noexcept { return *FPicture; }
    void SetPicture(const TPngPictures& Value);
    bool AllowAllUp() const noexcept { return FAllowAllUp; }
    void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
    TCursor Cursor() const noexcept { return FCursor; }
    void SetCursor(TCursor Value) { FCursor = Value; }
    bool Down() const noexcept { return FDown; }
    void SetDown(bool Value);
    std::int32_t GroupIndex() const noexcept { return FGroupIndex; }
    void SetGroupIndex(std::int32_t Value) { FGroupIndex = Value; }
    bool Enabled() const noexcept { return FEnabled; }
    void SetEnabled(bool Value);
    TNCButtonState State() const noexcept { return FState; }
    void SetState(TNCButtonState Value) { FState = Value; }
    const String& Caption() const noexcept { return FCaption; }
    void SetCaption(const String& Value);
    TSkOffset& CaptionOffset() noexcept { return FCaptionOffset; }
    TFont& Font() noexcept { return *FFont; }
    TFont& HotFont() noexcept { return *FHotFont; }

    TNotifyEvent OnClick;

    void MouseEnter() override;
    void MouseLeave() override;
    void MouseHover() override;
    void LMouseDown() override;
    void LMouseUp() override;
    void Paint(TBitmap32* Canvas) override;
    virtual void PictureChanged();
    virtual void ReleaseGroupButtons();
    virtual void Click();

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPngPictures> FPicture;
    bool FAllowAllUp = false;
    TCursor FCursor = 0;
    bool FDown = false;
    std::int32_t FGroupIndex = 0;
    bool FEnabled = true;
    TNCButtonState FState = bsNormal;
    String FCaption;
    TSkOffset FCaptionOffset;
    std::unique_ptr<TFont> FFont, FHotFont;
};

class TSkinNCButton : public TSkinCustomNCButton {
public:
    using TSkinCustomNCButton::TSkinCustomNCButton;
};

// Close, minimise or maximise: sends the matching system command to its form after its OnClick.
class TSkinSystemButton : public TSkinCustomNCButton {
public:
    explicit TSkinSystemButton(TComponent* AOwner);

    TSystemButtonKind Kind() const noexcept { return FKind; }
    void SetKind(TSystemButtonKind Value);
    const TSkResID& CloseImage() const noexcept { return FCloseImage; }
    void SetCloseImage(const TSkResID& Value);
    const TSkResID& MinimizeImage() const noexcept { return FMinimizeImage; }
    void SetMinimizeImage(const TSkResID& Value);
    const TSkResID& MaximizeImage() const noexcept { return FMaximizeImage; }
    void SetMaximizeImage(const TSkResID& Value);
    const TSkResID& RestoresizeImage() const noexcept { return FRestoresizeImage; }
    void SetRestoresizeImage(const TSkResID& Value);

    void Paint(TBitmap32* Canvas) override;
    void LMouseUp() override;
    void PictureChanged() override;
    virtual void UpdateKindPicture();

    const property_table& PublishedProperties() const override;

private:
    TSystemButtonKind FKind = bkClose;
    TSkResID FCloseImage = u"SkinBtn_close";
    TSkResID FMinimizeImage = u"SkinBtn_mini";
    TSkResID FMaximizeImage = u"SkinBtn_max";
    TSkResID FRestoresizeImage = u"SkinBtn_restore";
};

} // namespace kq
