#include "skin/uSkinRes.h"

#include "framework/Conversions.h"
#include "framework/Exceptions.h"
#include "framework/Files.h"
#include "framework/Forms.h"
#include "framework/Properties.h"
#include "framework/Streams.h"
#include "skin/SkinMessages.h"
#include "skin/SkinSettingsFile.h"
#include "skin/uSkFormBorder.h"
#include "skin/uSkinHelper.h"
#include "xml/XmlDocument.h"
#include "xml/XmlNodeTree.h"
#include "xml/XmlStreams.h"

#include <optional>

namespace kq {

namespace {

constexpr char16_t config_file[] = u"Skin\\Config.xml";
constexpr char16_t custom_folder[] = u"Skin\\Custom\\";
constexpr char16_t default_picture[] = u"Skin\\Default\\skin_bk_leaf.jpg";

skin_color_shift shift;
std::unique_ptr<TSkFormSkinRes> default_settings; // no owner: its changes reach only its OnChanged

template <class T, class Setter>
void apply(const std::optional<T>& value, Setter&& set) {
    if (value)
        set(*value);
}

} // namespace

// --- TSkFormSkinRes

TSkFormSkinRes::TSkFormSkinRes(TSkinRes* Owner) : FOwner(Owner) {}

void TSkFormSkinRes::SetTitleHeight(std::int32_t Value) { change(FTitleHeight, Value); }
void TSkFormSkinRes::SetTitlerColor(TColor Value) { change(FTitlerColor, Value); }
void TSkFormSkinRes::SetColor(TColor Value) { change(FColor, Value); }
void TSkFormSkinRes::SetHitTestWidth(std::int32_t Value) { change(FHitTestWidth, Value); }
void TSkFormSkinRes::SetGradientHeight(std::int32_t Value) { change(FGradientHeight, Value); }
void TSkFormSkinRes::SetCustomPicture(const TSkResID& Value) { change(FCustomPicture, Value); }
void TSkFormSkinRes::SetStyle(TSkinStyle Value) { change(FStyle, Value); }
void TSkFormSkinRes::SetDefaultSkinOrder(std::int32_t Value) { change(FDefaultSkinOrder, Value); }

void TSkFormSkinRes::SetFramWidth(std::int32_t Value) {
    if (Value >= 0)
        change(FFramWidth, Value);
}

void TSkFormSkinRes::EndUpdate() {
    if (--FUpdateCount == 0)
        DoChanged();
}

void TSkFormSkinRes::DoChanged() {
    if (FUpdateCount > 0 || FLocked)
        return;
    if (FOwner)
        FOwner->Apply();
    if (OnChanged)
        OnChanged(this);
}

void TSkFormSkinRes::Assign(const TPersistent* Source) {
    const auto* s = dynamic_cast<const TSkFormSkinRes*>(Source);
    if (!s) {
        TPersistent::Assign(Source);
        return;
    }
    if (s == this)
        return;
    BeginUpdate();
    auto end = scope_exit([this] { EndUpdate(); });
    FActiveGradient = s->FActiveGradient;
    FDoubleFrame = s->FDoubleFrame;
    FFillStyle = s->FFillStyle;
    FFlatFrame = s->FFlatFrame;
    FRoundWindow = s->FRoundWindow;
    SetImageBorder(s->FImageBorder);
    FCustomPictureName = s->FCustomPictureName;
    SetTitleHeight(s->FTitleHeight);
    SetTitlerColor(s->FTitlerColor);
    SetColor(s->FColor);
    SetFramWidth(s->FFramWidth);
    SetHitTestWidth(s->FHitTestWidth);
    SetGradientHeight(s->FGradientHeight);
    SetCustomPicture(s->FCustomPicture);
    SetStyle(s->FStyle);
    SetDefaultSkinOrder(s->FDefaultSkinOrder);
}

// --- TSkinRes

TSkinRes::TSkinRes(TComponent* AOwner)
    : TComponent(AOwner), FForm(std::make_unique<TSkFormSkinRes>(this)), FXml(new TXmlDocument(this)) {
    FXmlFileName = folder() + config_file;
    Load();
}

TSkinRes::~TSkinRes() = default;

String TSkinRes::folder() const { return ExtractFilePath(executable_path()); }

bool TSkinRes::take_picture(const String& Name) {
    // The file keeps a bare file name; anything with a path in it is not one of the custom pictures.
    const bool custom = !Name.empty() && ExtractFileName(Name) == Name;
    for (const String& path : {custom ? folder() + custom_folder + Name : String(), folder() + default_picture}) {
        if (!path.empty() && FileExists(path)) {
            FForm->SetCustomPictureName(ExtractFileName(path));
            FForm->SetCustomPicture(path);
            return true;
        }
    }
    return false;
}

void TSkinRes::Load() {
    if (!FileExists(FXmlFileName)) {
        FForm->BeginUpdate();
        auto end = scope_exit([this] { FForm->EndUpdate(); });
        take_picture({});
        return;
    }
    FXml->LoadFromFile(FXmlFileName);
    const std::optional<skin_file_values> values = read_skin_file_values(*FXml, FXmlFileName, ssPicture);
    if (!values)
        return;
    const skin_file_values& v = *values;
    FForm->Lock();
    auto unlock = scope_exit([this] { FForm->UnLock(); });
    apply(v.Style, [&](std::int32_t s) { FForm->SetStyle(static_cast<TSkinStyle>(s & 0xFF)); });
    apply(v.DefaultSkinOrder, [&](std::int32_t n) { FForm->SetDefaultSkinOrder(n); });
    apply(v.FormBg, [&](const String& name) { take_picture(name); });
    apply(v.GradientHeight, [&](std::int32_t n) { FForm->SetGradientHeight(n); });
    apply(v.HitTestWidth, [&](std::int32_t n) { FForm->SetHitTestWidth(n); });
    apply(v.TitleHeight, [&](std::int32_t n) { FForm->SetTitleHeight(n); });
    apply(v.TitlerColor, [&](std::int32_t n) { FForm->SetTitlerColor(n); });
    apply(v.Color, [&](std::int32_t n) { FForm->SetColor(n); });
    apply(v.FramWidth, [&](std::int32_t n) { FForm->SetFramWidth(n); });
    skin_color_shift s = shift;
    apply(v.Hue, [&](std::int32_t n) { s.Hue = n; });
    apply(v.Saturation, [&](std::int32_t n) { s.Saturation = n; });
    apply(v.Brightness, [&](std::int32_t n) { s.Brightness = n; });
    shift = s;
}

void TSkinRes::Save() {
    FXml->New();
    TXmlElement* root = FXml->Root();
    root->SetName("SkinRes");
    TXmlNode* form = root->NodeNew("Config")->NodeNew("Custom")->NodeNew("Form");
    const auto add = [form](const char* name, std::int32_t value) { form->NodeNew(name)->SetValueAsInteger(value); };
    add("Style", FForm->Style());
    form->NodeNew("FormBg")->SetValueUnicode(FForm->CustomPictureName());
    add("DefaultSkinOrder", FForm->DefaultSkinOrder());
    add("HitTestWidth", FForm->HitTestWidth());
    add("GradientHeight", FForm->GradientHeight());
    add("TitleHeight", FForm->TitleHeight());
    add("TitlerColor", FForm->TitlerColor());
    add("Color", FForm->Color());
    add("FramWidth", FForm->FramWidth());
    add("HSB_H", shift.Hue);
    add("HSB_S", shift.Saturation);
    add("HSB_B", shift.Brightness);
    TXmlFastMemStream text(4096);
    if (!FXml->SaveToStream(text))
        RaiseFileCreateError(FXmlFileName, ERROR_WRITE_FAULT);
    // A folder that cannot be made shows when the file is written into it.
    ForceDirectories(ExtractFilePath(FXmlFileName));
    write_file_replacing(FXmlFileName, text.Memory(), static_cast<std::size_t>(text.Size()));
}

void TSkinRes::Apply() {
    if (ComponentState().contains(TComponentStateFlag::csDesigning)) {
        Save();
        return;
    }
    // A form may close while messages run: each step looks at the registry as it is then.
    for (int i = FormSkinHelper()->Count() - 1; i >= 0; --i) {
        if (Application)
            Application->ProcessMessages();
        if (i >= FormSkinHelper()->Count())
            continue;
        if (TForm* form = FormSkinHelper()->Items()[static_cast<size_t>(i)]->Form)
            ::SendMessageW(form->Handle(), WM_VK_APPLYSKINRES, 0, 0);
    }
}

void TSkinRes::ApplyDefault() {
    if (ComponentState().contains(TComponentStateFlag::csDesigning))
        return;
    FForm->BeginUpdate();
    auto end = scope_exit([this] { FForm->EndUpdate(); });
    FForm->SetStyle(ssColor);
    FForm->SetDefaultSkinOrder(0);
    FForm->SetCustomPicture({});
    FForm->SetHitTestWidth(5);
    FForm->SetTitleHeight(27);
    FForm->SetGradientHeight(168);
    FForm->SetTitlerColor(16761926);
    FForm->SetColor(15920353);
    FForm->SetFramWidth(2);
    shift = {};
}

void TSkinRes::Loaded() {
    TComponent::Loaded();
    if (FUseSkinFile)
        Load();
    else
        Save();
}

void TSkFormSkinRes::SetImageBorder(TSkFormLayerBorder* Value) {
    if (FImageBorder == Value)
        return;
    if (FImageBorder && FOwner)
        FImageBorder->RemoveFreeNotification(FOwner);
    FImageBorder = Value;
    if (FImageBorder && FOwner)
        FImageBorder->FreeNotification(FOwner);
}

void TSkinRes::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && FForm && AComponent == FForm->ImageBorder())
        FForm->SetImageBorder(nullptr);
}

// --- Published

const property_table& TSkFormSkinRes::PublishedProperties() const {
    using C = TSkFormSkinRes;
    // No declared defaults: every value is written.
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .boolean(u"ActiveGradient", &C::ActiveGradient, &C::SetActiveGradient)
        .boolean(u"DoubleFrame", &C::DoubleFrame, &C::SetDoubleFrame)
        .enumeration(u"FillStyle", &C::FillStyle, &C::SetFillStyle, {u"mfsBlur", u"mfsTile", u"mfsStretch"})
        .boolean(u"FlatFrame", &C::FlatFrame, &C::SetFlatFrame)
        .boolean(u"RoundWindow", &C::RoundWindow, &C::SetRoundWindow)
        .component(u"ImageBorder", &C::ImageBorder, &C::SetImageBorder)
        .integer(u"TitleHeight", &C::TitleHeight, &C::SetTitleHeight)
        .color(u"TitlerColor", &C::TitlerColor, &C::SetTitlerColor)
        .color(u"Color", &C::Color, &C::SetColor)
        .integer(u"FramWidth", &C::FramWidth, &C::SetFramWidth)
        .integer(u"HitTestWidth", &C::HitTestWidth, &C::SetHitTestWidth)
        .integer(u"GradientHeight", &C::GradientHeight, &C::SetGradientHeight)
        .string(u"CustomPicture", &C::CustomPicture, &C::SetCustomPicture)
        .enumeration(u"Style", &C::Style, &C::SetStyle, {u"ssColor", u"ssPicture"})
        .integer(u"DefaultSkinOrder", &C::DefaultSkinOrder, &C::SetDefaultSkinOrder);
    return table;
}

const property_table& TSkinRes::PublishedProperties() const {
    using C = TSkinRes;
    static const property_table table = property_table::of<C>(TComponent::PublishedProperties())
        // Information only: it always reads its one value, which is never written.
        .enumeration(u"About", &C::About, [](C&, TSkAboutInfo) {}, {u"aiSkinComponent"}, aiSkinComponent)
        .persistent(u"Form", [](const C& c) { return &c.Form(); })
        .boolean(u"UseSkinFile", &C::UseSkinFile, &C::SetUseSkinFile);
    return table;
}

// --- Unit state

const skin_color_shift& SkinColorShift() noexcept { return shift; }
void SetSkinColorShift(const skin_color_shift& Value) noexcept { shift = Value; }

TSkFormSkinRes* default_skin_res() noexcept { return default_settings.get(); }

void uSkinRes_startup() {
    register_class<TSkinRes>();
    if (!default_settings)
        default_settings = std::make_unique<TSkFormSkinRes>(nullptr);
}

void uSkinRes_shutdown() noexcept {
    default_settings.reset();
    shift = {};
}

} // namespace kq
