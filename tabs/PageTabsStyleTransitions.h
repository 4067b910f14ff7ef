#pragma once
// Transitions between the strip's looks.
#include "framework/GdiPlus.h"
#include "framework/Graphics.h"
#include "tabs/PageTabsTypes.h"

#include <cstdint>

namespace kq {

class TPageTabsLookAndFeelBaseFont;
class TPageTabsLookAndFeelFont;
class TPageTabsLookAndFeelStyle;

// The values a style transition moves between.
struct TPageTabControlProperties {
    TColor FontColor = 0;
    std::uint8_t FontAlpha = 0;
    String FontName;
    int FontSize = 0;
    Gdiplus::TextRenderingHint TextRendoringMode = Gdiplus::TextRenderingHintSystemDefault;
    TColor StartColor = 0;
    TColor StopColor = 0;
    TColor OutlineColor = 0;
    float OutlineSize = 0;
    int OutlineAlpha = 0;
    int StartAlpha = 0;
    int StopAlpha = 0;
};

// Moves a drawn item's colours, alphas, font size and outline width from what it shows now to a new
// look, by the tick clock. Font name and rendering mode do not move: users take them from the stop
// values.
class TPageTabControlPropertyItems {
public:
    // Starts from the current values towards Style and the font (DefaultFont when given, else StyleFont,
    // else the class defaults) over EndTickCount milliseconds. ttNone jumps at once; any other ease type
    // with a duration of 0 never moves.
    void SetProperties(const TPageTabsLookAndFeelStyle& Style, const TPageTabsLookAndFeelFont* StyleFont,
                       const TPageTabsLookAndFeelBaseFont* DefaultFont, std::uint32_t EndTickCount,
                       TPageTabsEaseType EaseType);
    // Advances the current values; false when nothing moved. ForceUpdate sets them to the stop values.
    bool TransformColors(bool ForceUpdate);
    // The transition counts as finished where it stands.
    void EndAnimation() noexcept { FCurrentTickCount = FEndTickCount; }

    std::uint32_t StartTickCount() const noexcept { return FStartTickCount; }
    std::uint32_t EndTickCount() const noexcept { return FEndTickCount; }
    std::uint32_t CurrentTickCount() const noexcept { return FCurrentTickCount; }
    const TPageTabControlProperties& StartTabProperties() const noexcept { return FStartTabProperties; }
    void SetStartTabProperties(const TPageTabControlProperties& Value) { FStartTabProperties = Value; }
    const TPageTabControlProperties& StopTabProperties() const noexcept { return FStopTabProperties; }
    void SetStopTabProperties(const TPageTabControlProperties& Value) { FStopTabProperties = Value; }
    const TPageTabControlProperties& CurrentTabProperties() const noexcept { return FCurrentTabProperties; }
    void SetCurrentTabProperties(const TPageTabControlProperties& Value) { FCurrentTabProperties = Value; }

private:
    std::uint32_t FStartTickCount = 0;
    std::uint32_t FEndTickCount = 0;
    std::uint32_t FCurrentTickCount = 0;
    TPageTabControlProperties FStartTabProperties;
    TPageTabControlProperties FStopTabProperties;
    TPageTabControlProperties FCurrentTabProperties;
    TPageTabsEaseType FEaseType = TPageTabsEaseType::ttNone;
};

} // namespace kq
