#pragma once
// TSkFormSkinRes and TSkinRes: the skin's form settings, kept in step with the settings file
// "Skin\Config.xml" beside the program and pushed to every skinned form; the global default form
// settings and the skin-wide hue, saturation and brightness shift.

#include "framework/Components.h"
#include "framework/Graphics.h"
#include "skin/uSkinIntf.h"

namespace kq {

class TSkFormLayerBorder;
class TSkinRes;
class TXmlDocument;

// One form's skin settings. A change of an announcing value runs the owner's Apply, then OnChanged,
// unless updates are batched (BeginUpdate) or the object is locked.
class TSkFormSkinRes : public TPersistent {
public:
    explicit TSkFormSkinRes(TSkinRes* Owner);

    bool ActiveGradient() const noexcept { return FActiveGradient; }
    void SetActiveGradient(bool Value) { FActiveGradient = Value; }
    bool DoubleFrame() const noexcept { return FDoubleFrame; }
    void SetDoubleFrame(bool Value) { FDoubleFrame = Value; }
    TSkFillStyle FillStyle() const noexcept { return FFillStyle; }
    void SetFillStyle(TSkFillStyle Value) { FFillStyle = Value; }
    bool FlatFrame() const noexcept { return FFlatFrame; }
    void SetFlatFrame(bool Value) { FFlatFrame = Value; }
    bool RoundWindow() const noexcept { return FRoundWindow; }
    void SetRoundWindow(bool Value) { FRoundWindow = Value; }
    TSkFormLayerBorder* ImageBorder() const noexcept { return FImageBorder; }
    // Cleared when the border goes, as long as the settings have an owner to hear it.
    void SetImageBorder(TSkFormLayerBorder* Value);
    std::int32_t TitleHeight() const noexcept { return FTitleHeight; }
    void SetTitleHeight(std::int32_t Value);
    TColor TitlerColor() const noexcept { return FTitlerColor; }
    void SetTitlerColor(TColor Value);
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor Value);
    std::int32_t FramWidth() const noexcept { return FFramWidth; }
    // A negative width is ignored.
    void SetFramWidth(std::int32_t Value);
    std::int32_t HitTestWidth() const noexcept { return FHitTestWidth; }
    void SetHitTestWidth(std::int32_t Value);
    std::int32_t GradientHeight() const noexcept { return FGradientHeight; }
    void SetGradientHeight(std::int32_t Value);
    const TSkResID& CustomPicture() const noexcept { return FCustomPicture; }
    // Compared case-sensitively: another letter case is a change.
    void SetCustomPicture(const TSkResID& Value);
    TSkinStyle Style() const noexcept { return FStyle; }
    void SetStyle(TSkinStyle Value);
    std::int32_t DefaultSkinOrder() const noexcept { return FDefaultSkinOrder; }
    void SetDefaultSkinOrder(std::int32_t Value);
    // The file name part of the picture, as the settings file keeps it.
    const String& CustomPictureName() const noexcept { return FCustomPictureName; }
    void SetCustomPictureName(const String& Value) { FCustomPictureName = Value; }

    TNotifyEvent OnChanged;

    void BeginUpdate() noexcept { ++FUpdateCount; }
    // The outermost EndUpdate announces, whether or not anything changed in between.
    void EndUpdate();
    void Lock() noexcept { FLocked = true; }
    // Announces nothing.
    void UnLock() noexcept { FLocked = false; }
    bool Locked() const noexcept { return FLocked; }

    // Copies every value (the owner and OnChanged stay), then announces once.
    void Assign(const TPersistent* Source) override;
    const property_table& PublishedProperties() const override;

private:
    template <class T>
    void change(T& Field, const T& Value) {
        if (Field == Value)
            return;
        Field = Value;
        DoChanged();
    }
    void DoChanged();

    TSkResID FCustomPicture;
    std::int32_t FHitTestWidth = 5;
    std::int32_t FTitleHeight = 27;
    TColor FColor = 15920353;
    TColor FTitlerColor = 16761926;
    TSkinStyle FStyle = ssColor;
    std::int32_t FFramWidth = 2;
    std::int32_t FUpdateCount = 0;
    String FCustomPictureName;
    std::int32_t FDefaultSkinOrder = 0;
    std::int32_t FGradientHeight = 168;
    TSkinRes* FOwner;
    bool FLocked = false;
    TSkFormLayerBorder* FImageBorder = nullptr;
    bool FActiveGradient = true;
    bool FDoubleFrame = true;
    TSkFillStyle FFillStyle = mfsBlur;
    bool FRoundWindow = true;
    bool FFlatFrame = false;
};

// Keeps one settings object in step with "Skin\Config.xml" in the program's folder and tells every
// skinned form when the settings change. The file is read in the constructor.
class TSkinRes : public TComponent {
public:
    explicit TSkinRes(TComponent* AOwner);
    ~TSkinRes() override;

    TSkFormSkinRes& Form() noexcept { return *FForm; }
    const TSkFormSkinRes& Form() const noexcept { return *FForm; }
    // Copies the values (announced once).
    void SetForm(const TSkFormSkinRes& Value) { FForm->Assign(&Value); }
    bool UseSkinFile() const noexcept { return FUseSkinFile; }
    void SetUseSkinFile(bool Value) { FUseSkinFile = Value; }
    const String& XmlFileName() const noexcept { return FXmlFileName; }
    TSkAboutInfo About() const noexcept { return aiSkinComponent; }

    // Missing elements keep their values. A value that is not a decimal integer, or a style other than
    // colour or picture, raises EConvertError naming the element and the file; nothing is applied then.
    // Reading the file announces nothing.
    void Load();
    // Writes the whole file beside the old one and replaces it when complete; creates the folder.
    void Save();
    // Designing: Save. Otherwise tells every registered skinned form, newest first.
    void Apply();
    // The construction values and no colour shift, announced once.
    void ApplyDefault();

    void Loaded() override;
    const property_table& PublishedProperties() const override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    String folder() const; // the program's folder, with its delimiter
    // The picture N in "Skin\Custom\", else the default picture, else nothing; true when one was taken.
    bool take_picture(const String& Name);

    std::unique_ptr<TSkFormSkinRes> FForm;
    TXmlDocument* FXml = nullptr; // owned as a component
    String FXmlFileName;
    bool FUseSkinFile = true;
};

// The skin-wide colour shift: hue in degrees, saturation and brightness in percent; 0 at start.
struct skin_color_shift {
    std::int32_t Hue = 0, Saturation = 0, Brightness = 0;
    bool any() const noexcept { return Hue != 0 || Saturation != 0 || Brightness != 0; }
    bool operator==(const skin_color_shift&) const = default;
};
const skin_color_shift& SkinColorShift() noexcept;
void SetSkinColorShift(const skin_color_shift& Value) noexcept;

// The global default form settings: every skin form writes its values into it; nil outside the skin
// library's start-up and shutdown.
TSkFormSkinRes* default_skin_res() noexcept;
void uSkinRes_startup();
void uSkinRes_shutdown() noexcept;

} // namespace kq
