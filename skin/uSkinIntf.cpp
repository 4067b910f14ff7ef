#include "skin/uSkinIntf.h"

#include "framework/Graphics.h"
#include "framework/Properties.h"
#include "graphics/Raster_Transforms.h"

namespace kq {

// --- TSkLightClass

void TSkLightClass::SetActive(bool Value) {
    if (FActive == Value) return;
    FActive = Value;
    Changed();
}

void TSkLightClass::SetColor(std::int32_t Value) {
    if (FColor == Value) return;
    FColor = Value;
    Changed();
}

void TSkLightClass::SetBlurRadius(std::int32_t Value) {
    if (FBlurRadius == Value) return;
    FBlurRadius = Value;
    Changed();
}

void TSkLightClass::Changed() {
    if (OnChanged) OnChanged(this);
}

void TSkLightClass::Assign(const TPersistent* Source) {
    if (const auto* light = dynamic_cast<const TSkLightClass*>(Source)) {
        SetActive(light->FActive);
        SetColor(light->FColor);
        return;
    }
    TPersistent::Assign(Source);
}

const property_table& TSkLightClass::PublishedProperties() const {
    static const property_table table = property_table::of<TSkLightClass>(TPersistent::PublishedProperties())
        .boolean(u"Active", &TSkLightClass::Active, &TSkLightClass::SetActive, true)
        .color(u"Color", &TSkLightClass::Color, &TSkLightClass::SetColor, 16777214)
        .integer(u"BlurRadius", &TSkLightClass::BlurRadius, &TSkLightClass::SetBlurRadius, 1)
        .event(u"OnChanged", &TSkLightClass::OnChanged);
    return table;
}

// --- TSkOffset

void TSkOffset::SetX(std::int32_t Value) {
    if (FX == Value) return;
    FX = Value;
    Changed();
}

void TSkOffset::SetY(std::int32_t Value) {
    if (FY == Value) return;
    FY = Value;
    Changed();
}

void TSkOffset::Changed() {
    if (OnChanged) OnChanged(this);
}

const property_table& TSkOffset::PublishedProperties() const {
    static const property_table table = property_table::of<TSkOffset>(TPersistent::PublishedProperties())
        .integer(u"X", &TSkOffset::X, &TSkOffset::SetX, 0)
        .integer(u"Y", &TSkOffset::Y, &TSkOffset::SetY, 0)
        .event(u"OnChanged", &TSkOffset::OnChanged);
    return table;
}

// --- TPngPictures

namespace {
skin_image_lookup image_lookup = nullptr;
} // namespace

void set_skin_image_lookup(skin_image_lookup Lookup) noexcept { image_lookup = Lookup; }

void TPngPictures::SetActive(bool Value) {
    FActive = Value;
    notify();
}

void TPngPictures::SetImage(const TSkResID& Value) {
    if (FImage == Value) return;
    FImage = Value;
    FSource = image_lookup ? image_lookup(Value) : nullptr;
    notify();
}

void TPngPictures::SetNormal(std::int32_t Value) {
    FNormal = Value;
    notify();
}

void TPngPictures::SetHot(std::int32_t Value) {
    FHot = Value;
    notify();
}

void TPngPictures::SetDisable(std::int32_t Value) {
    FDisable = Value;
    notify();
}

void TPngPictures::SetCount(std::int32_t Value) {
    FCount = Value;
    notify();
}

void TPngPictures::SetPicturesChanged(TNotifyEvent Value) {
    FPicturesChanged = std::move(Value);
    notify();
}

std::optional<image_size> TPngPictures::SourceSize() const {
    if (!FSource || FSource->Empty()) return std::nullopt;
    return image_size{FSource->Width(), FSource->Height()};
}

std::int32_t TPngPictures::GetSingleWidth() const {
    if (!FSource || FSource->Empty()) return 0;
    if (FMultiLineMode) return FSource->Width();
    return FCount > 0 ? FSource->Width() / FCount : 0;
}

std::int32_t TPngPictures::GetSingleHeight() const {
    if (!FSource || FSource->Empty()) return 0;
    if (!FMultiLineMode) return FSource->Height();
    return FCount > 0 ? FSource->Height() / FCount : 0;
}

std::unique_ptr<TSkinImage> TPngPictures::frame(std::int32_t index) const {
    return cut_frame(FSource, FCount, index, FMultiLineMode);
}

void TPngPictures::notify() {
    if (!FLocked && FPicturesChanged) FPicturesChanged(this);
}

void TPngPictures::Assign(const TPersistent* Source) {
    if (const auto* p = dynamic_cast<const TPngPictures*>(Source)) {
        SetActive(p->FActive);
        SetImage(p->FImage);
        SetCount(p->FCount);
        SetNormal(p->FNormal);
        SetHot(p->FHot);
        SetPressed(p->FPressed);
        SetDisable(p->FDisable);
        SetMultiLineMode(p->FMultiLineMode);
        return;
    }
    TPersistent::Assign(Source);
}

const property_table& TPngPictures::PublishedProperties() const {
    static const property_table table = property_table::of<TPngPictures>(TPersistent::PublishedProperties())
        .boolean(u"Active", &TPngPictures::Active, &TPngPictures::SetActive, false)
        .boolean(u"MultiLineMode", &TPngPictures::MultiLineMode, &TPngPictures::SetMultiLineMode, false)
        .string(u"Image", &TPngPictures::Image, &TPngPictures::SetImage, String())
        .integer(u"Normal", &TPngPictures::Normal, &TPngPictures::SetNormal, 0)
        .integer(u"Hot", &TPngPictures::Hot, &TPngPictures::SetHot, 1)
        .integer(u"Pressed", &TPngPictures::Pressed, &TPngPictures::SetPressed, 2)
        .integer(u"Disable", &TPngPictures::Disable, &TPngPictures::SetDisable, 0)
        .integer(u"Count", &TPngPictures::Count, &TPngPictures::SetCount, 3);
    return table;
}

// --- Frame cut

std::unique_ptr<TSkinImage> cut_frame(TCustomBitmap32* Source, std::int32_t Count, std::int32_t Index, bool Stacked) {
    if (!Source || Count <= 0 || Index < 0 || Index >= Count) return nullptr;
    const std::int32_t w = Source->Width(), h = Source->Height();
    const std::int32_t fw = Stacked ? w : w / Count, fh = Stacked ? h / Count : h;
    const std::int32_t x0 = Stacked ? 0 : Index * fw, y0 = Stacked ? Index * fh : 0;
    return cut_region(Source, TRect{x0, y0, x0 + fw, y0 + fh});
}

std::unique_ptr<TSkinImage> cut_region(TCustomBitmap32* Source, const TRect& Region) {
    if (!Source) return nullptr;
    const std::int32_t w = Region.Right - Region.Left, h = Region.Bottom - Region.Top;
    auto image = std::make_unique<TSkinImage>();
    Source->CopyPropertiesTo(image.get());
    image->SetSize(w, h);
    image->Clear(0);
    if (w <= 0 || h <= 0) return image;
    TAffineTransformation t;
    const auto x0 = static_cast<float>(Region.Left), y0 = static_cast<float>(Region.Top);
    t.SetSrcRect(TFloatRect{x0, y0, x0 + static_cast<float>(w), y0 + static_cast<float>(h)});
    t.Translate(-x0, -y0);
    // Repeating the blended draw lets half-transparent edge pixels converge on the source's colour.
    for (int pass = 0; pass < 8; ++pass) TransformBitmap(image.get(), Source, &t);
    return image;
}

// --- Text objects

TSkTextObj::TSkTextObj() {
    FLight.OnChanged = [this](TObject*) { Changed(); };
}

TSkTextObj::~TSkTextObj() = default;

void TSkTextObj::SetText(const String& Value) {
    if (FText == Value) return;
    FText = Value;
    Changed();
}

void TSkTextObj::SetVisible(bool Value) {
    if (FVisible == Value) return;
    FVisible = Value;
    Changed();
}

void TSkTextObj::Changed() {
    if (OnChanged) OnChanged(this);
}

void TSkTextObj::Assign(const TPersistent* Source) {
    if (const auto* o = dynamic_cast<const TSkTextObj*>(Source)) {
        FLight.Assign(&o->FLight);
        SetText(o->FText);
        SetVisible(o->FVisible);
        return;
    }
    TPersistent::Assign(Source);
}

const property_table& TSkTextObj::PublishedProperties() const {
    using C = TSkTextObj;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Light", [](const C& c) { return &const_cast<C&>(c).Light(); })
        .string(u"Text", &C::Text, &C::SetText, String())
        .boolean(u"Visible", &C::Visible, &C::SetVisible, true)
        .event(u"OnChanged", &C::OnChanged);
    return table;
}

TSkCaption::TSkCaption() : FFont(std::make_unique<TFont>()) {
    FFont->OnChange = [this](TObject*) { Changed(); };
}

TSkCaption::~TSkCaption() = default;

void TSkCaption::SetFont(const TFont& Value) {
    FFont->Assign(&Value);
    Changed();
}

void TSkCaption::SetOffsetX(std::int32_t Value) {
    if (FOffsetX == Value) return;
    FOffsetX = Value;
    Changed();
}

void TSkCaption::SetOffsetY(std::int32_t Value) {
    if (FOffsetY == Value) return;
    FOffsetY = Value;
    Changed();
}

void TSkCaption::Assign(const TPersistent* Source) {
    TSkTextObj::Assign(Source);
    if (const auto* o = dynamic_cast<const TSkCaption*>(Source)) SetFont(*o->FFont);
}

const property_table& TSkCaption::PublishedProperties() const {
    using C = TSkCaption;
    static const property_table table = property_table::of<C>(TSkTextObj::PublishedProperties())
        .integer(u"OffsetX", &C::OffsetX, &C::SetOffsetX, 0)
        .integer(u"OffsetY", &C::OffsetY, &C::SetOffsetY, 0)
        .persistent(u"Font", [](const C& c) { return &const_cast<C&>(c).Font(); });
    return table;
}

} // namespace kq
