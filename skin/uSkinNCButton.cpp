#include "skin/uSkinNCButton.h"

#include "framework/Properties.h"

namespace kq {

bool NCButtonCursorSet = false;

namespace {
HCURSOR screen_cursor(TCursor c) { return Screen ? Screen->Cursors(c) : nullptr; }
} // namespace

TSkinCustomNCButton::TSkinCustomNCButton(TComponent* AOwner)
    : TSkinNCCtrlBase(AOwner), FPicture(std::make_unique<TPngPictures>()), FFont(std::make_unique<TFont>()),
      FHotFont(std::make_unique<TFont>()) {
    FPicture->SetActive(true);
    FPicture->SetCount(3);
    FPicture->SetPicturesChanged([this](TObject*) { PictureChanged(); });
    FFont->OnChange = [this](TObject*) { Invalidate(); };
    FHotFont->OnChange = [this](TObject*) { Invalidate(); };
}

TSkinCustomNCButton::~TSkinCustomNCButton() = default;

void TSkinCustomNCButton::SetPicture(const TPngPictures& Value) {
    if (&Value != FPicture.get())
        FPicture->Assign(&Value);
}

void TSkinCustomNCButton::SetEnabled(bool Value) {
    if (FEnabled == Value)
        return;
    FEnabled = Value;
    Invalidate();
}

void TSkinCustomNCButton::SetCaption(const String& Value) {
    if (FCaption == Value)
        return;
    FCaption = Value;
    Invalidate();
}

void TSkinCustomNCButton::SetDown(bool Value) {
    if (FDown == Value)
        return;
    FDown = Value;
    if (Value) {
        FState = bsPressed;
        ReleaseGroupButtons();
    } else {
        FState = bsNormal;
    }
    Invalidate();
}

void TSkinCustomNCButton::ReleaseGroupButtons() {
    if (!ParentObject())
        return;
    for (TSkinNCCtrlBase* c : ParentObject()->NCCtrlList())
        if (auto* b = dynamic_cast<TSkinCustomNCButton*>(c); b && b != this && b->FGroupIndex == FGroupIndex)
            b->SetDown(false);
}

void TSkinCustomNCButton::PictureChanged() {
    if (FPicture->SourceSize()) {
        FPos->SetWidth(FPicture->GetSingleWidth());
        FPos->SetHeight(FPicture->GetSingleHeight());
    } else {
        FPos->SetWidth(0);
        FPos->SetHeight(0);
    }
    Invalidate();
}

void TSkinCustomNCButton::MouseEnter() {
    if (Visible() && FEnabled) {
        FState = FDown ? bsPressed : bsHot;
        if (FCursor != 0) {
            ::SetCursor(screen_cursor(FCursor));
            NCButtonCursorSet = true;
        }
    }
    TSkinNCCtrlBase::MouseEnter();
}

void TSkinCustomNCButton::MouseLeave() {
    if (Visible() && FEnabled) {
        FState = FDown ? bsPressed : bsNormal;
        if (NCButtonCursorSet) {
            NCButtonCursorSet = false;
            ::SetCursor(screen_cursor(0));
        }
    }
    TSkinNCCtrlBase::MouseLeave();
}

void TSkinCustomNCButton::MouseHover() {
    if (Visible() && FEnabled && FCursor != 0 && ::GetCursor() != screen_cursor(FCursor)) {
        NCButtonCursorSet = false;
        ::SetCursor(screen_cursor(FCursor));
        NCButtonCursorSet = true;
    }
}

void TSkinCustomNCButton::LMouseDown() {
    if (FEnabled)
        FState = bsPressed;
    TSkinNCCtrlBase::LMouseDown();
}

void TSkinCustomNCButton::LMouseUp() {
    if (!FEnabled || !Visible()) {
        TSkinNCCtrlBase::LMouseUp();
        return;
    }
    if (FAllowAllUp)
        SetDown(!FDown);
    else if (FGroupIndex <= 0)
        FState = bsHot;
    else
        SetDown(true);
    TSkinNCCtrlBase::LMouseUp();
    Click();
}

void TSkinCustomNCButton::Click() {
    if (FEnabled && OnClick)
        OnClick(this);
}

void TSkinCustomNCButton::Paint(TBitmap32* Canvas) {
    TSkinNCCtrlBase::Paint(Canvas);
    if (FPicture->Active()) {
        std::unique_ptr<TSkinImage> frame;
        if (!FEnabled)
            frame = FPicture->GetDisableImage();
        else if (FState == bsHot)
            frame = FPicture->GetHotImage();
        else if (FState == bsPressed)
            frame = FPicture->GetPressedImage();
        else
            frame = FPicture->GetNormalImage();
        if (frame)
            frame->DrawTo(Canvas, FPos->X(), FPos->Y());
    }
    if (!FCaption.empty()) {
        Canvas->Font()->Assign(FState == bsNormal ? FFont.get() : FHotFont.get());
        const SIZE size = Canvas->TextExtent(FCaption);
        if (FPos->Width() < size.cx)
            FPos->SetWidth(size.cx);
        if (FPos->Height() < size.cy)
            FPos->SetHeight(size.cy);
        Canvas->Textout(FPos->X() + FCaptionOffset.X(), FPos->Y() + FCaptionOffset.Y(), FCaption);
    }
}

TSkinSystemButton::TSkinSystemButton(TComponent* AOwner) : TSkinCustomNCButton(AOwner) {
    Picture().SetImage(FCloseImage);
    FPos->SetAlign(caRight);
    FPos->SetXValue(40);
    FPos->SetYValue(-1);
    FPos->SetUseDefault(true);
}

void TSkinSystemButton::SetKind(TSystemButtonKind Value) {
    if (FKind == Value)
        return;
    FKind = Value;
    UpdateKindPicture();
}

void TSkinSystemButton::SetCloseImage(const TSkResID& Value) {
    if (FCloseImage == Value)
        return;
    FCloseImage = Value;
    PictureChanged();
}
void TSkinSystemButton::SetMinimizeImage(const TSkResID& Value) {
    if (FMinimizeImage == Value)
        return;
    FMinimizeImage = Value;
    PictureChanged();
}
void TSkinSystemButton::SetMaximizeImage(const TSkResID& Value) {
    if (FMaximizeImage == Value)
        return;
    FMaximizeImage = Value;
    PictureChanged();
}
void TSkinSystemButton::SetRestoresizeImage(const TSkResID& Value) {
    if (FRestoresizeImage == Value)
        return;
    FRestoresizeImage = Value;
    PictureChanged();
}

void TSkinSystemButton::PictureChanged() {
    TSkinCustomNCButton::PictureChanged();
    UpdateKindPicture();
}

void TSkinSystemButton::UpdateKindPicture() {
    static constexpr std::int32_t offsets[] = {40, 96, 68};
    const TSkResID& image = FKind == bkClose ? FCloseImage : FKind == bkMinimize ? FMinimizeImage : FMaximizeImage;
    if (Picture().Image() != image)
        Picture().SetImage(image); // notifies PictureChanged, which comes back here with nothing to do
    if (FPos->UseDefault()) {
        FPos->SetXValue(offsets[FKind]);
        FPos->SetYValue(-1);
    }
}

void TSkinSystemButton::Paint(TBitmap32* Canvas) {
    if (FKind == bkMaximize && host_form() && host_form()->HandleAllocated()) {
        Picture().Lock();
        const bool zoomed = ::GetWindowLongW(host_form()->Handle(), GWL_STYLE) & WS_MAXIMIZE;
        Picture().SetImage(zoomed ? FRestoresizeImage : FMaximizeImage);
        Picture().UnLock();
    }
    TSkinCustomNCButton::Paint(Canvas);
}

void TSkinSystemButton::LMouseUp() {
    TSkinCustomNCButton::LMouseUp();
    if (!Enabled())
        return;
    TForm* target = command_form();
    if (!target || !target->HandleAllocated())
        return;
    const HWND window = target->Handle();
    WPARAM command = SC_CLOSE;
    if (FKind == bkMinimize)
        command = SC_MINIMIZE;
    else if (FKind == bkMaximize)
        command = (::GetWindowLongW(window, GWL_STYLE) & WS_MAXIMIZE) ? SC_RESTORE : SC_MAXIMIZE;
    ::SendMessageW(window, WM_SYSCOMMAND, command, 0);
}

// --- Published

const property_table& TSkinCustomNCButton::PublishedProperties() const {
    using C = TSkinCustomNCButton;
    static const property_table table = property_table::of<C>(TSkinNCCtrlBase::PublishedProperties())
        .persistent(u"Picture", [](const C& c) { return &const_cast<C&>(c).Picture(); })
        .boolean(u"AllowAllUp", &C::AllowAllUp, &C::SetAllowAllUp, false)
        .cursor(u"Cursor", &C::Cursor, &C::SetCursor, TCursor{0})
        .boolean(u"Down", &C::Down, &C::SetDown, false)
        .integer(u"GroupIndex", &C::GroupIndex, &C::SetGroupIndex, 0)
        .boolean(u"Enabled", &C::Enabled, &C::SetEnabled, true)
        .event(u"OnClick", &C::OnClick);
    return table;
}

const property_table& TSkinNCButton::PublishedProperties() const {
    using C = TSkinNCButton;
    static const property_table table = property_table::of<C>(TSkinCustomNCButton::PublishedProperties())
        .string(u"Caption", &C::Caption, &C::SetCaption, String())
        .persistent(u"CaptionOffset", [](const C& c) { return &const_cast<C&>(c).CaptionOffset(); })
        .persistent(u"Font", [](const C& c) { return &const_cast<C&>(c).Font(); })
        .persistent(u"HotFont", [](const C& c) { return &const_cast<C&>(c).HotFont(); });
    return table;
}

const property_table& TSkinSystemButton::PublishedProperties() const {
    using C = TSkinSystemButton;
    static const property_table table = property_table::of<C>(TSkinCustomNCButton::PublishedProperties())
        .enumeration(u"Kind", &C::Kind, &C::SetKind, {u"bkClose", u"bkMinimize", u"bkMaximize"}, bkClose)
        .string(u"CloseImage", &C::CloseImage, &C::SetCloseImage, String(u"SkinBtn_close"))
        .string(u"MinimizeImage", &C::MinimizeImage, &C::SetMinimizeImage, String(u"SkinBtn_mini"))
        .string(u"MaximizeImage", &C::MaximizeImage, &C::SetMaximizeImage, String(u"SkinBtn_max"))
        .string(u"RestoresizeImage", &C::RestoresizeImage, &C::SetRestoresizeImage, String(u"SkinBtn_restore"));
    return table;
}

} // namespace kq
