#include "tabs/PageTabsLookAndFeel.h"

#include "framework/Properties.h"
#include "tabs/PageTabsUtils.h"

namespace kq {

namespace {

const std::vector<String>& text_rendering_hint_names() {
    static const std::vector<String> names{u"TextRenderingHintSystemDefault",
                                           u"TextRenderingHintSingleBitPerPixelGridFit",
                                           u"TextRenderingHintSingleBitPerPixel",
                                           u"TextRenderingHintAntiAliasGridFit",
                                           u"TextRenderingHintAntiAlias",
                                           u"TextRenderingHintClearTypeGridFit"};
    return names;
}

} // namespace

// --- Style

std::shared_ptr<TGPLinearGradientBrush> TPageTabsLookAndFeelStyle::GetBrush(const TRect& ClientRect) {
    // A brush whose last call failed may be half set: it is built again.
    if (FInvalidated || (FBrush && FBrush->LastStatus() != Gdiplus::Ok)) {
        FBrush.reset();
        FInvalidated = false;
    }
    if (!FBrush)
        FBrush = std::make_shared<TGPLinearGradientBrush>(
            Gdiplus::PointF(0, static_cast<float>(ClientRect.Top)), Gdiplus::PointF(0, static_cast<float>(ClientRect.Bottom)),
            MakeGPColor(FStartColor, FStartAlpha), MakeGPColor(FStopColor, FStopAlpha));
    return FBrush;
}

std::shared_ptr<TGPPen> TPageTabsLookAndFeelStyle::GetPen() {
    if (FPenInvalidated) {
        FPen.reset();
        FPenInvalidated = false;
    }
    if (!FPen) FPen = std::make_shared<TGPPen>(MakeGPColor(FOutlineColor, FOutlineAlpha), FOutlineSize);
    return FPen;
}

void TPageTabsLookAndFeelStyle::Invalidate() {
    TPageTabsPersistent::Invalidate();
    FPenInvalidated = true;
}

const property_table& TPageTabsLookAndFeelStyle::PublishedProperties() const {
    using C = TPageTabsLookAndFeelStyle;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .color(u"StartColor", &C::StartColor, &C::SetStartColor)
        .color(u"StopColor", &C::StopColor, &C::SetStopColor)
        .integer(u"StartAlpha", &C::StartAlpha, &C::SetStartAlpha)
        .integer(u"StopAlpha", &C::StopAlpha, &C::SetStopAlpha)
        .color(u"OutlineColor", &C::OutlineColor, &C::SetOutlineColor)
        .floating(u"OutlineSize", &C::OutlineSize, &C::SetOutlineSize)
        .integer(u"OutlineAlpha", &C::OutlineAlpha, &C::SetOutlineAlpha);
    return table;
}

// --- Pen

std::shared_ptr<TGPPen> TPageTabsLookAndFeelPen::GetPen() {
    if (!FPen) FPen = std::make_shared<TGPPen>(MakeGPColor(FColor, static_cast<std::uint8_t>(FAlpha & 0xFF)), FThickness);
    return FPen;
}

void TPageTabsLookAndFeelPen::Invalidate() {
    TPageTabsPersistent::Invalidate();
    // Dropped here rather than on the next GetPen: holders of the old pen keep it alive meanwhile.
    FPen.reset();
}

const property_table& TPageTabsLookAndFeelPen::PublishedProperties() const {
    using C = TPageTabsLookAndFeelPen;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .color(u"Color", &C::Color, &C::SetColor)
        .floating(u"Thickness", &C::Thickness, &C::SetThickness)
        .integer(u"Alpha", &C::Alpha, &C::SetAlpha);
    return table;
}

// --- Fonts and glows

const property_table& TPageTabsLookAndFeelBaseFont::PublishedProperties() const {
    using C = TPageTabsLookAndFeelBaseFont;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .string(u"Name", &C::Name, &C::SetName)
        .color(u"Color", &C::Color, &C::SetColor)
        .integer(u"Size", &C::Size, &C::SetSize)
        .integer(u"Alpha", &C::Alpha, &C::SetAlpha)
        .enumeration(u"TextRendoringMode", &C::TextRendoringMode, &C::SetTextRendoringMode, text_rendering_hint_names());
    return table;
}

const property_table& TPageTabsLookAndFeelFont::PublishedProperties() const {
    using C = TPageTabsLookAndFeelFont;
    static const property_table table = property_table::of<C>(TPageTabsLookAndFeelBaseFont::PublishedProperties())
        .boolean(u"UseDefaultFont", &C::UseDefaultFont, &C::SetUseDefaultFont);
    return table;
}

const property_table& TPageTabsLookAndFeelGlow::PublishedProperties() const {
    using C = TPageTabsLookAndFeelGlow;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .color(u"CentreColor", &C::CentreColor, &C::SetCentreColor)
        .color(u"OutsideColor", &C::OutsideColor, &C::SetOutsideColor)
        .integer(u"CentreAlpha", &C::CentreAlpha, &C::SetCentreAlpha)
        .integer(u"OutsideAlpha", &C::OutsideAlpha, &C::SetOutsideAlpha);
    return table;
}

// --- Groups

TPageTabsLookAndFeelStyleProperties::TPageTabsLookAndFeelStyleProperties(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FFont(std::make_unique<TPageTabsLookAndFeelFont>(this)),
      FStyle(std::make_unique<TPageTabsLookAndFeelStyle>(AOwner)) {}

void TPageTabsLookAndFeelStyleProperties::Invalidate() {
    TPageTabsPersistent::Invalidate();
    FStyle->Invalidate();
}

const property_table& TPageTabsLookAndFeelStyleProperties::PublishedProperties() const {
    using C = TPageTabsLookAndFeelStyleProperties;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Font", &C::Font)
        .persistent(u"Style", &C::Style);
    return table;
}

TPageTabsLookAndFeelCustomStyleItems::TPageTabsLookAndFeelCustomStyleItems(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FNormal(std::make_unique<TPageTabsLookAndFeelStyle>(this)),
      FDown(std::make_unique<TPageTabsLookAndFeelStyle>(this)), FHot(std::make_unique<TPageTabsLookAndFeelStyle>(this)) {}

void TPageTabsLookAndFeelCustomStyleItems::Invalidate() {
    FNormal->Invalidate();
    FDown->Invalidate();
    FHot->Invalidate();
}

const property_table& TPageTabsLookAndFeelCustomStyleItems::PublishedProperties() const {
    using C = TPageTabsLookAndFeelCustomStyleItems;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Normal", &C::Normal)
        .persistent(u"Down", &C::Down)
        .persistent(u"Hot", &C::Hot);
    return table;
}

TPageTabsLookAndFeelDisabledButton::TPageTabsLookAndFeelDisabledButton(TPersistent* AOwner)
    : TPageTabsLookAndFeelButtonItems(AOwner), FDisabled(std::make_unique<TPageTabsLookAndFeelStyle>(this)) {}

void TPageTabsLookAndFeelDisabledButton::Invalidate() {
    TPageTabsLookAndFeelButtonItems::Invalidate();
    FDisabled->Invalidate();
}

const property_table& TPageTabsLookAndFeelDisabledButton::PublishedProperties() const {
    using C = TPageTabsLookAndFeelDisabledButton;
    static const property_table table = property_table::of<C>(TPageTabsLookAndFeelCustomStyleItems::PublishedProperties())
        .persistent(u"Disabled", &C::Disabled);
    return table;
}

TPageTabsCustomLookAndFeelPenItem::TPageTabsCustomLookAndFeelPenItem(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FNormal(std::make_unique<TPageTabsLookAndFeelPen>(this)),
      FDown(std::make_unique<TPageTabsLookAndFeelPen>(this)), FHot(std::make_unique<TPageTabsLookAndFeelPen>(this)) {}

void TPageTabsCustomLookAndFeelPenItem::Invalidate() {
    FNormal->Invalidate();
    FDown->Invalidate();
    FHot->Invalidate();
}

const property_table& TPageTabsCustomLookAndFeelPenItem::PublishedProperties() const {
    using C = TPageTabsCustomLookAndFeelPenItem;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Normal", &C::Normal)
        .persistent(u"Down", &C::Down)
        .persistent(u"Hot", &C::Hot);
    return table;
}

TPageTabsLookAndFeelSpinners::TPageTabsLookAndFeelSpinners(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FUpload(std::make_unique<TPageTabsLookAndFeelPen>(this, 12759975, 2.5f, 255)),
      FDownload(std::make_unique<TPageTabsLookAndFeelPen>(this, 14388040, 2.5f, 255)) {}

const property_table& TPageTabsLookAndFeelSpinners::PublishedProperties() const {
    using C = TPageTabsLookAndFeelSpinners;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Upload", &C::Upload)
        .persistent(u"Download", &C::Download);
    return table;
}

TPageTabsCustomLookAndFeelStylePropertyItems::TPageTabsCustomLookAndFeelStylePropertyItems(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FActive(std::make_unique<TPageTabsLookAndFeelStyleProperties>(this)),
      FNotActive(std::make_unique<TPageTabsLookAndFeelStyleProperties>(this)),
      FHot(std::make_unique<TPageTabsLookAndFeelStyleProperties>(this)) {}

TPageTabsLookAndFeelTab::TPageTabsLookAndFeelTab(TPersistent* AOwner)
    : TPageTabsCustomLookAndFeelStylePropertyItems(AOwner),
      FBaseLine(std::make_unique<TPageTabsLookAndFeelPen>(this, 8421504, 2.0f, 255)),
      FModified(std::make_unique<TPageTabsLookAndFeelGlow>(this)),
      FDefaultFont(std::make_unique<TPageTabsLookAndFeelBaseFont>(this)),
      FMouseGlow(std::make_unique<TPageTabsLookAndFeelGlow>(this)),
      FSpinners(std::make_unique<TPageTabsLookAndFeelSpinners>(this)) {}

void TPageTabsLookAndFeelTab::Invalidate() {
    FBaseLine->Invalidate();
}

const property_table& TPageTabsLookAndFeelTab::PublishedProperties() const {
    using C = TPageTabsLookAndFeelTab;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"BaseLine", &C::BaseLine)
        .persistent(u"Modified", &C::Modified)
        .persistent(u"DefaultFont", &C::DefaultFont)
        .persistent(u"MouseGlow", &C::MouseGlow)
        .persistent(u"Spinners", &C::Spinners)
        .persistent(u"Active", &C::Active)
        .persistent(u"NotActive", &C::NotActive)
        .persistent(u"Hot", &C::Hot);
    return table;
}

TPageTabsLookAndFeelCloseButton::TPageTabsLookAndFeelCloseButton(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FCross(std::make_unique<TPageTabsLookAndFeelPenItem>(this)),
      FCircle(std::make_unique<TPageTabsLookAndFeelButtonItems>(this)) {
    // Class defaults, set without reporting: nothing listens while the tree is built.
    FCross->Normal()->SetColor(12103593);
    FCross->Hot()->SetColor(16777215);
    FCross->Hot()->SetAlpha(240);
    FCross->Down()->SetColor(255);
    const struct {
        TPageTabsLookAndFeelStyle* style;
        TColor colour;
    } circles[] = {{FCircle->Normal(), 16777215}, {FCircle->Hot(), 3487169}, {FCircle->Down(), 3487169}};
    for (const auto& c : circles) {
        c.style->SetStartColor(c.colour);
        c.style->SetStopColor(c.colour);
        c.style->SetOutlineAlpha(0);
    }
}

void TPageTabsLookAndFeelCloseButton::Invalidate() {
    FCross->Invalidate();
    FCircle->Invalidate();
}

const property_table& TPageTabsLookAndFeelCloseButton::PublishedProperties() const {
    using C = TPageTabsLookAndFeelCloseButton;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Cross", &C::Cross)
        .persistent(u"Circle", &C::Circle);
    return table;
}

TPageTabsLookAndFeelAddButton::TPageTabsLookAndFeelAddButton(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FButton(std::make_unique<TPageTabsLookAndFeelButtonItems>(this)),
      FPlusSign(std::make_unique<TPageTabsLookAndFeelButtonItems>(this)) {}

void TPageTabsLookAndFeelAddButton::Invalidate() {
    TPageTabsPersistent::Invalidate();
    FButton->Invalidate();
    FPlusSign->Invalidate();
}

const property_table& TPageTabsLookAndFeelAddButton::PublishedProperties() const {
    using C = TPageTabsLookAndFeelAddButton;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Button", &C::Button)
        .persistent(u"PlusSign", &C::PlusSign);
    return table;
}

TPageTabsLookAndFeelScrollButton::TPageTabsLookAndFeelScrollButton(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FButton(std::make_unique<TPageTabsLookAndFeelDisabledButton>(this)),
      FArrow(std::make_unique<TPageTabsLookAndFeelDisabledButton>(this)) {}

void TPageTabsLookAndFeelScrollButton::Invalidate() {
    TPageTabsPersistent::Invalidate();
    FButton->Invalidate();
    FArrow->Invalidate();
}

const property_table& TPageTabsLookAndFeelScrollButton::PublishedProperties() const {
    using C = TPageTabsLookAndFeelScrollButton;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"Button", &C::Button)
        .persistent(u"Arrow", &C::Arrow);
    return table;
}

// --- Root

TPageTabsLookAndFeel::TPageTabsLookAndFeel(TPersistent* AOwner)
    : TPageTabsPersistent(AOwner), FTabsContainer(std::make_unique<TPageTabsLookAndFeelStyle>(this)),
      FTabs(std::make_unique<TPageTabsLookAndFeelTab>(this)),
      FCloseButton(std::make_unique<TPageTabsLookAndFeelCloseButton>(this)),
      FAddButton(std::make_unique<TPageTabsLookAndFeelAddButton>(this)),
      FScrollButtons(std::make_unique<TPageTabsLookAndFeelScrollButton>(this)) {
    FTabsContainer->SetOutlineSize(0);
}

void TPageTabsLookAndFeel::Invalidate() {
    TPageTabsPersistent::Invalidate();
    FScrollButtons->Invalidate();
    FTabs->Invalidate();
    FTabsContainer->Invalidate();
    FCloseButton->Invalidate();
    FAddButton->Invalidate();
}

const property_table& TPageTabsLookAndFeel::PublishedProperties() const {
    using C = TPageTabsLookAndFeel;
    static const property_table table = property_table::of<C>(TPersistent::PublishedProperties())
        .persistent(u"TabsContainer", &C::TabsContainer)
        .persistent(u"Tabs", &C::Tabs)
        .persistent(u"CloseButton", &C::CloseButton)
        .persistent(u"AddButton", &C::AddButton)
        .persistent(u"ScrollButtons", &C::ScrollButtons);
    return table;
}

// --- Strip defaults

void set_style(TPageTabsLookAndFeelStyle& s, const style_values& v) {
    s.SetStartColor(v.start);
    s.SetStopColor(v.stop);
    s.SetStartAlpha(v.start_alpha);
    s.SetStopAlpha(v.stop_alpha);
    s.SetOutlineColor(v.outline);
    s.SetOutlineSize(v.size);
    s.SetOutlineAlpha(v.outline_alpha);
}

void set_pen(TPageTabsLookAndFeelPen& p, TColor colour, float thickness, int alpha) {
    p.SetColor(colour);
    p.SetThickness(thickness);
    p.SetAlpha(alpha);
}

void set_font(TPageTabsLookAndFeelBaseFont& f, TColor colour, std::uint8_t alpha) {
    f.SetName(u"Segoe UI");
    f.SetColor(colour);
    f.SetSize(9);
    f.SetAlpha(alpha);
    f.SetTextRendoringMode(Gdiplus::TextRenderingHintClearTypeGridFit);
}


void apply_strip_defaults(TPageTabsLookAndFeel& look_and_feel) {
    TPageTabsLookAndFeelTab& tabs = *look_and_feel.Tabs();
    TPageTabsLookAndFeelButtonItems& circle = *look_and_feel.CloseButton()->Circle();
    TPageTabsLookAndFeelButtonItems& add = *look_and_feel.AddButton()->Button();
    TPageTabsLookAndFeelButtonItems& plus = *look_and_feel.AddButton()->PlusSign();
    TPageTabsLookAndFeelDisabledButton& scroll = *look_and_feel.ScrollButtons()->Button();
    TPageTabsLookAndFeelDisabledButton& arrow = *look_and_feel.ScrollButtons()->Arrow();
    const style_values white{16777215, 16777215, 255, 255, 8421504, 1.0f, 255};
    const style_values arrow_white{16777215, 16777215, 255, 255, 8421504, 1.0f, 200};
    const struct {
        TPageTabsLookAndFeelStyle* style;
        style_values values;
    } styles[] = {
        {look_and_feel.TabsContainer(), {14586466, 13201730, 255, 255, 14520930, 0.0f, 0}},
        {tabs.Active()->Style(), {16777215, 16316920, 255, 255, 10189918, 1.0f, 255}},
        {tabs.NotActive()->Style(), {15194573, 15194573, 210, 210, 13546390, 1.0f, 215}},
        {tabs.Hot()->Style(), {15721176, 15589847, 255, 255, 12423799, 1.0f, 235}},
        {circle.Normal(), {clGradientActiveCaption, clNone, 0, 0, 8421504, 1.0f, 0}},
        {circle.Down(), {3487169, 3487169, 255, 255, 8421504, 1.0f, 255}},
        {circle.Hot(), {9408475, 9803748, 255, 255, 6054595, 1.0f, 255}},
        {add.Normal(), {14340292, 14340035, 255, 255, 13088421, 1.0f, 255}},
        {add.Down(), {13417645, 13417644, 255, 255, 10852748, 1.0f, 255}},
        {add.Hot(), {15524314, 15524314, 255, 255, 14927787, 1.0f, 255}},
        {plus.Normal(), white},
        {plus.Down(), white},
        {plus.Hot(), white},
        {scroll.Normal(), {14735310, 14274499, 255, 255, 11507842, 1.0f, 255}},
        {scroll.Down(), {13417645, 13417644, 255, 255, 10852748, 1.0f, 255}},
        {scroll.Hot(), {15524314, 15524313, 255, 255, 14927788, 1.0f, 255}},
        {scroll.Disabled(), {14340036, 14274499, 150, 150, 11113341, 1.0f, 100}},
        {arrow.Normal(), arrow_white},
        {arrow.Down(), arrow_white},
        {arrow.Hot(), arrow_white},
        {arrow.Disabled(), {12632256, 12632256, 150, 150, 8421504, 1.0f, 200}},
    };
    for (const auto& s : styles) set_style(*s.style, s.values);

    set_pen(*tabs.BaseLine(), 11110509, 1.0f, 255);
    TPageTabsLookAndFeelPenItem& cross = *look_and_feel.CloseButton()->Cross();
    set_pen(*cross.Normal(), 6643031, 1.5f, 255);
    set_pen(*cross.Down(), 15461369, 2.0f, 220);
    set_pen(*cross.Hot(), 16777215, 2.0f, 220);

    set_font(*tabs.DefaultFont(), 0, 255);
    set_font(*tabs.Active()->Font(), 32896, 100);
    tabs.Active()->Font()->SetUseDefaultFont(true);
    set_font(*tabs.NotActive()->Font(), 4603477, 215);
    tabs.NotActive()->Font()->SetUseDefaultFont(false);
    set_font(*tabs.Hot()->Font(), 4210752, 215);
    tabs.Hot()->Font()->SetUseDefaultFont(false);

    for (TPageTabsLookAndFeelGlow* glow : {tabs.Modified(), tabs.MouseGlow()}) {
        glow->SetCentreColor(16777215);
        glow->SetOutsideColor(16777215);
        glow->SetOutsideAlpha(0);
    }
    tabs.Modified()->SetCentreAlpha(130);
    tabs.MouseGlow()->SetCentreAlpha(120);
}

} // namespace kq
