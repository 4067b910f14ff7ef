#pragma once
// The strip's look: gradient styles with outlines, pens, fonts and glows, grouped as the strip's parts
// are. Styles and pens keep the GDI+ brush and pen made from them until a setter changes them; the
// cached objects are shared, so a polygon list that still refers to an old one keeps it alive.

#include "framework/GdiPlus.h"
#include "framework/Geometry.h"
#include "framework/Graphics.h"
#include "tabs/PageTabsOptions.h"

#include <cstdint>
#include <memory>

namespace kq {

// --- Leaves

// A vertical two-colour gradient with an outline.
class TPageTabsLookAndFeelStyle : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelStyle(TPersistent* AOwner) : TPageTabsPersistent(AOwner) {}

    TColor StartColor() const noexcept { return FStartColor; }
    void SetStartColor(TColor Value) { style_changed(FStartColor, Value); }
    TColor StopColor() const noexcept { return FStopColor; }
    void SetStopColor(TColor Value) { style_changed(FStopColor, Value); }
    std::uint8_t StartAlpha() const noexcept { return FStartAlpha; }
    void SetStartAlpha(std::uint8_t Value) { style_changed(FStartAlpha, Value); }
    std::uint8_t StopAlpha() const noexcept { return FStopAlpha; }
    void SetStopAlpha(std::uint8_t Value) { style_changed(FStopAlpha, Value); }
    TColor OutlineColor() const noexcept { return FOutlineColor; }
    void SetOutlineColor(TColor Value) { style_changed(FOutlineColor, Value); }
    float OutlineSize() const noexcept { return FOutlineSize; }
    void SetOutlineSize(float Value) { style_changed(FOutlineSize, Value); }
    std::uint8_t OutlineAlpha() const noexcept { return FOutlineAlpha; }
    void SetOutlineAlpha(std::uint8_t Value) { style_changed(FOutlineAlpha, Value); }

    // The gradient from ClientRect's top to its bottom, made on the first call after a change and then
    // reused for any rectangle (all users pass rectangles of the same height).
    std::shared_ptr<TGPLinearGradientBrush> GetBrush(const TRect& ClientRect);
    std::shared_ptr<TGPPen> GetPen();
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    template <class T>
    void style_changed(T& field, T value) {
        field = value;
        Invalidate();
        DoChanged();
    }

    TColor FStartColor = 16777215;
    TColor FStopColor = 16777215;
    std::uint8_t FStartAlpha = 255;
    std::uint8_t FStopAlpha = 255;
    TColor FOutlineColor = 8421504;
    float FOutlineSize = 1.0f;
    std::uint8_t FOutlineAlpha = 255;
    std::shared_ptr<TGPLinearGradientBrush> FBrush;
    std::shared_ptr<TGPPen> FPen;
    bool FPenInvalidated = false;
};

class TPageTabsLookAndFeelPen : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelPen(TPersistent* AOwner, TColor Color = 0, float Thickness = 1.0f, int Alpha = 255)
        : TPageTabsPersistent(AOwner), FColor(Color), FThickness(Thickness), FAlpha(Alpha) {}

    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor Value) { pen_changed(FColor, Value); }
    float Thickness() const noexcept { return FThickness; }
    void SetThickness(float Value) { pen_changed(FThickness, Value); }
    // Only the low byte is used.
    int Alpha() const noexcept { return FAlpha; }
    void SetAlpha(int Value) { pen_changed(FAlpha, Value); }

    std::shared_ptr<TGPPen> GetPen();
    // Drops the cached pen at once.
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    template <class T>
    void pen_changed(T& field, T value) {
        field = value;
        Invalidate();
        DoChanged();
    }

    TColor FColor;
    float FThickness;
    int FAlpha;
    std::shared_ptr<TGPPen> FPen;
};

class TPageTabsLookAndFeelBaseFont : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelBaseFont(TPersistent* AOwner) : TPageTabsPersistent(AOwner) {}

    const String& Name() const noexcept { return FName; }
    void SetName(const String& Value) { changed(FName, Value); }
    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor Value) { changed(FColor, Value); }
    // Points.
    int Size() const noexcept { return FSize; }
    void SetSize(int Value) { changed(FSize, Value); }
    std::uint8_t Alpha() const noexcept { return FAlpha; }
    void SetAlpha(std::uint8_t Value) { changed(FAlpha, Value); }
    Gdiplus::TextRenderingHint TextRendoringMode() const noexcept { return FTextRendoringMode; }
    void SetTextRendoringMode(Gdiplus::TextRenderingHint Value) { changed(FTextRendoringMode, Value); }

    const property_table& PublishedProperties() const override;

private:
    String FName = u"Segoe UI";
    TColor FColor = 0;
    int FSize = 9;
    std::uint8_t FAlpha = 255;
    Gdiplus::TextRenderingHint FTextRendoringMode = Gdiplus::TextRenderingHintClearTypeGridFit;
};

class TPageTabsLookAndFeelFont : public TPageTabsLookAndFeelBaseFont {
public:
    using TPageTabsLookAndFeelBaseFont::TPageTabsLookAndFeelBaseFont;

    // The tab style takes the tabs' default font instead.
    bool UseDefaultFont() const noexcept { return FUseDefaultFont; }
    void SetUseDefaultFont(bool Value) { changed(FUseDefaultFont, Value); }

    const property_table& PublishedProperties() const override;

private:
    bool FUseDefaultFont = true;
};

// A radial glow from its centre colour to its outside colour.
class TPageTabsLookAndFeelGlow : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelGlow(TPersistent* AOwner) : TPageTabsPersistent(AOwner) {}

    TColor CentreColor() const noexcept { return FCentreColor; }
    void SetCentreColor(TColor Value) { changed(FCentreColor, Value); }
    TColor OutsideColor() const noexcept { return FOutsideColor; }
    void SetOutsideColor(TColor Value) { changed(FOutsideColor, Value); }
    std::uint8_t CentreAlpha() const noexcept { return FCentreAlpha; }
    void SetCentreAlpha(std::uint8_t Value) { changed(FCentreAlpha, Value); }
    std::uint8_t OutsideAlpha() const noexcept { return FOutsideAlpha; }
    void SetOutsideAlpha(std::uint8_t Value) { changed(FOutsideAlpha, Value); }

    const property_table& PublishedProperties() const override;

private:
    TColor FCentreColor = 16777215;
    TColor FOutsideColor = 16777215;
    std::uint8_t FCentreAlpha = 180;
    std::uint8_t FOutsideAlpha = 0;
};

// --- Groups

// A font and a style. The style reports to the group's owner directly.
class TPageTabsLookAndFeelStyleProperties : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelStyleProperties(TPersistent* AOwner);

    TPageTabsLookAndFeelFont* Font() const noexcept { return FFont.get(); }
    void SetFont(const TPageTabsLookAndFeelFont* Value) { copy_and_report(*FFont, Value); }
    TPageTabsLookAndFeelStyle* Style() const noexcept { return FStyle.get(); }
    void SetStyle(const TPageTabsLookAndFeelStyle* Value) { copy_and_report(*FStyle, Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelFont> FFont;
    std::unique_ptr<TPageTabsLookAndFeelStyle> FStyle;
};

// Normal, Down and Hot styles of a button or symbol.
class TPageTabsLookAndFeelCustomStyleItems : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelCustomStyleItems(TPersistent* AOwner);

    TPageTabsLookAndFeelStyle* Normal() const noexcept { return FNormal.get(); }
    void SetNormal(const TPageTabsLookAndFeelStyle* Value) { copy_and_report(*FNormal, Value); }
    TPageTabsLookAndFeelStyle* Down() const noexcept { return FDown.get(); }
    void SetDown(const TPageTabsLookAndFeelStyle* Value) { copy_and_report(*FDown, Value); }
    TPageTabsLookAndFeelStyle* Hot() const noexcept { return FHot.get(); }
    void SetHot(const TPageTabsLookAndFeelStyle* Value) { copy_and_report(*FHot, Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelStyle> FNormal;
    std::unique_ptr<TPageTabsLookAndFeelStyle> FDown;
    std::unique_ptr<TPageTabsLookAndFeelStyle> FHot;
};

class TPageTabsLookAndFeelButtonItems : public TPageTabsLookAndFeelCustomStyleItems {
public:
    using TPageTabsLookAndFeelCustomStyleItems::TPageTabsLookAndFeelCustomStyleItems;
};

class TPageTabsLookAndFeelDisabledButton : public TPageTabsLookAndFeelButtonItems {
public:
    explicit TPageTabsLookAndFeelDisabledButton(TPersistent* AOwner);

    TPageTabsLookAndFeelStyle* Disabled() const noexcept { return FDisabled.get(); }
    void SetDisabled(const TPageTabsLookAndFeelStyle* Value) { copy_and_report(*FDisabled, Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelStyle> FDisabled;
};

// Normal, Down and Hot pens.
class TPageTabsCustomLookAndFeelPenItem : public TPageTabsPersistent {
public:
    explicit TPageTabsCustomLookAndFeelPenItem(TPersistent* AOwner);

    TPageTabsLookAndFeelPen* Normal() const noexcept { return FNormal.get(); }
    void SetNormal(const TPageTabsLookAndFeelPen* Value) { copy_invalidate_report(*FNormal, Value); }
    TPageTabsLookAndFeelPen* Down() const noexcept { return FDown.get(); }
    void SetDown(const TPageTabsLookAndFeelPen* Value) { copy_invalidate_report(*FDown, Value); }
    TPageTabsLookAndFeelPen* Hot() const noexcept { return FHot.get(); }
    void SetHot(const TPageTabsLookAndFeelPen* Value) { copy_invalidate_report(*FHot, Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

protected:
    void copy_invalidate_report(TPersistent& held, const TPersistent* value) {
        held.Assign(value);
        Invalidate();
        DoChanged();
    }

private:
    std::unique_ptr<TPageTabsLookAndFeelPen> FNormal;
    std::unique_ptr<TPageTabsLookAndFeelPen> FDown;
    std::unique_ptr<TPageTabsLookAndFeelPen> FHot;
};

class TPageTabsLookAndFeelPenItem : public TPageTabsCustomLookAndFeelPenItem {
public:
    using TPageTabsCustomLookAndFeelPenItem::TPageTabsCustomLookAndFeelPenItem;
};

class TPageTabsLookAndFeelSpinners : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelSpinners(TPersistent* AOwner);

    TPageTabsLookAndFeelPen* Upload() const noexcept { return FUpload.get(); }
    void SetUpload(const TPageTabsLookAndFeelPen* Value) { copy_and_report(*FUpload, Value); }
    TPageTabsLookAndFeelPen* Download() const noexcept { return FDownload.get(); }
    void SetDownload(const TPageTabsLookAndFeelPen* Value) { copy_and_report(*FDownload, Value); }

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelPen> FUpload;
    std::unique_ptr<TPageTabsLookAndFeelPen> FDownload;
};

// The looks of active, inactive and hot tabs.
class TPageTabsCustomLookAndFeelStylePropertyItems : public TPageTabsPersistent {
public:
    explicit TPageTabsCustomLookAndFeelStylePropertyItems(TPersistent* AOwner);

    TPageTabsLookAndFeelStyleProperties* Active() const noexcept { return FActive.get(); }
    void SetActive(const TPageTabsLookAndFeelStyleProperties* Value) { FActive->Assign(Value); }
    TPageTabsLookAndFeelStyleProperties* NotActive() const noexcept { return FNotActive.get(); }
    void SetNotActive(const TPageTabsLookAndFeelStyleProperties* Value) { FNotActive->Assign(Value); }
    TPageTabsLookAndFeelStyleProperties* Hot() const noexcept { return FHot.get(); }
    void SetHot(const TPageTabsLookAndFeelStyleProperties* Value) { FHot->Assign(Value); }

private:
    std::unique_ptr<TPageTabsLookAndFeelStyleProperties> FActive;
    std::unique_ptr<TPageTabsLookAndFeelStyleProperties> FNotActive;
    std::unique_ptr<TPageTabsLookAndFeelStyleProperties> FHot;
};

class TPageTabsLookAndFeelTab : public TPageTabsCustomLookAndFeelStylePropertyItems {
public:
    explicit TPageTabsLookAndFeelTab(TPersistent* AOwner);

    TPageTabsLookAndFeelPen* BaseLine() const noexcept { return FBaseLine.get(); }
    void SetBaseLine(const TPageTabsLookAndFeelPen* Value) { copy_and_report(*FBaseLine, Value); }
    TPageTabsLookAndFeelGlow* Modified() const noexcept { return FModified.get(); }
    void SetModified(const TPageTabsLookAndFeelGlow* Value) { copy_and_report(*FModified, Value); }
    TPageTabsLookAndFeelBaseFont* DefaultFont() const noexcept { return FDefaultFont.get(); }
    void SetDefaultFont(const TPageTabsLookAndFeelBaseFont* Value) { copy_and_report(*FDefaultFont, Value); }
    TPageTabsLookAndFeelGlow* MouseGlow() const noexcept { return FMouseGlow.get(); }
    void SetMouseGlow(const TPageTabsLookAndFeelGlow* Value) { copy_and_report(*FMouseGlow, Value); }
    TPageTabsLookAndFeelSpinners* Spinners() const noexcept { return FSpinners.get(); }
    void SetSpinners(const TPageTabsLookAndFeelSpinners* Value) { FSpinners->Assign(Value); }
    // Only the base line: the tab styles are invalidated by the items that use them.
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelPen> FBaseLine;
    std::unique_ptr<TPageTabsLookAndFeelGlow> FModified;
    std::unique_ptr<TPageTabsLookAndFeelBaseFont> FDefaultFont;
    std::unique_ptr<TPageTabsLookAndFeelGlow> FMouseGlow;
    std::unique_ptr<TPageTabsLookAndFeelSpinners> FSpinners;
};

class TPageTabsLookAndFeelCloseButton : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelCloseButton(TPersistent* AOwner);

    TPageTabsLookAndFeelPenItem* Cross() const noexcept { return FCross.get(); }
    void SetCross(const TPageTabsLookAndFeelPenItem* Value) { copy_invalidate_report(*FCross, Value); }
    TPageTabsLookAndFeelButtonItems* Circle() const noexcept { return FCircle.get(); }
    void SetCircle(const TPageTabsLookAndFeelButtonItems* Value) { copy_invalidate_report(*FCircle, Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    void copy_invalidate_report(TPersistent& held, const TPersistent* value) {
        held.Assign(value);
        Invalidate();
        DoChanged();
    }

    std::unique_ptr<TPageTabsLookAndFeelPenItem> FCross;
    std::unique_ptr<TPageTabsLookAndFeelButtonItems> FCircle;
};

class TPageTabsLookAndFeelAddButton : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelAddButton(TPersistent* AOwner);

    TPageTabsLookAndFeelButtonItems* Button() const noexcept { return FButton.get(); }
    void SetButton(const TPageTabsLookAndFeelButtonItems* Value) { FButton->Assign(Value); }
    TPageTabsLookAndFeelButtonItems* PlusSign() const noexcept { return FPlusSign.get(); }
    void SetPlusSign(const TPageTabsLookAndFeelButtonItems* Value) { FPlusSign->Assign(Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelButtonItems> FButton;
    std::unique_ptr<TPageTabsLookAndFeelButtonItems> FPlusSign;
};

class TPageTabsLookAndFeelScrollButton : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeelScrollButton(TPersistent* AOwner);

    TPageTabsLookAndFeelDisabledButton* Button() const noexcept { return FButton.get(); }
    void SetButton(const TPageTabsLookAndFeelDisabledButton* Value) { copy_and_report(*FButton, Value); }
    TPageTabsLookAndFeelDisabledButton* Arrow() const noexcept { return FArrow.get(); }
    void SetArrow(const TPageTabsLookAndFeelDisabledButton* Value) { copy_and_report(*FArrow, Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelDisabledButton> FButton;
    std::unique_ptr<TPageTabsLookAndFeelDisabledButton> FArrow;
};

// --- Root

class TPageTabsLookAndFeel : public TPageTabsPersistent {
public:
    explicit TPageTabsLookAndFeel(TPersistent* AOwner);

    TPageTabsLookAndFeelStyle* TabsContainer() const noexcept { return FTabsContainer.get(); }
    void SetTabsContainer(const TPageTabsLookAndFeelStyle* Value) { copy_and_report(*FTabsContainer, Value); }
    TPageTabsLookAndFeelTab* Tabs() const noexcept { return FTabs.get(); }
    void SetTabs(const TPageTabsLookAndFeelTab* Value) { copy_and_report(*FTabs, Value); }
    TPageTabsLookAndFeelCloseButton* CloseButton() const noexcept { return FCloseButton.get(); }
    void SetCloseButton(const TPageTabsLookAndFeelCloseButton* Value) { copy_and_report(*FCloseButton, Value); }
    TPageTabsLookAndFeelAddButton* AddButton() const noexcept { return FAddButton.get(); }
    void SetAddButton(const TPageTabsLookAndFeelAddButton* Value) { copy_and_report(*FAddButton, Value); }
    TPageTabsLookAndFeelScrollButton* ScrollButtons() const noexcept { return FScrollButtons.get(); }
    void SetScrollButtons(const TPageTabsLookAndFeelScrollButton* Value) { copy_and_report(*FScrollButtons, Value); }
    void Invalidate() override;

    const property_table& PublishedProperties() const override;

private:
    std::unique_ptr<TPageTabsLookAndFeelStyle> FTabsContainer;
    std::unique_ptr<TPageTabsLookAndFeelTab> FTabs;
    std::unique_ptr<TPageTabsLookAndFeelCloseButton> FCloseButton;
    std::unique_ptr<TPageTabsLookAndFeelAddButton> FAddButton;
    std::unique_ptr<TPageTabsLookAndFeelScrollButton> FScrollButtons;
};

// The values the strip gives its look right after creating it, where they differ from the classes'.
void apply_strip_defaults(TPageTabsLookAndFeel& look_and_feel);

// Whole leaves set at once, for the strip's defaults and for looks of applications.
struct style_values {
    TColor start, stop;
    std::uint8_t start_alpha, stop_alpha;
    TColor outline;
    float size;
    std::uint8_t outline_alpha;
};
void set_style(TPageTabsLookAndFeelStyle& s, const style_values& v);
void set_pen(TPageTabsLookAndFeelPen& p, TColor colour, float thickness, int alpha);
// Segoe UI, 9 points, with clear-type grid fitting, in the given colour and alpha.
void set_font(TPageTabsLookAndFeelBaseFont& f, TColor colour, std::uint8_t alpha);

} // namespace kq
