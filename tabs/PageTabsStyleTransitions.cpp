#include "tabs/PageTabsStyleTransitions.h"

#include "framework/Conversions.h"
#include "framework/TickClock.h"
#include "tabs/PageTabsLookAndFeel.h"
#include "tabs/PageTabsUtils.h"

#include <algorithm>

namespace kq {

void TPageTabControlPropertyItems::SetProperties(const TPageTabsLookAndFeelStyle& Style,
                                                 const TPageTabsLookAndFeelFont* StyleFont,
                                                 const TPageTabsLookAndFeelBaseFont* DefaultFont,
                                                 std::uint32_t EndTickCount, TPageTabsEaseType EaseType) {
    FEaseType = EaseType;
    const TPageTabsLookAndFeelBaseFont class_defaults(nullptr);
    const TPageTabsLookAndFeelBaseFont& font = DefaultFont ? *DefaultFont : StyleFont ? *StyleFont : class_defaults;

    TPageTabControlProperties target;
    target.FontColor = font.Color();
    target.FontAlpha = font.Alpha();
    target.FontName = font.Name();
    target.FontSize = font.Size();
    target.TextRendoringMode = font.TextRendoringMode();
    target.StartColor = Style.StartColor();
    target.StopColor = Style.StopColor();
    target.OutlineColor = Style.OutlineColor();
    target.OutlineSize = Style.OutlineSize();
    target.OutlineAlpha = Style.OutlineAlpha();
    target.StartAlpha = Style.StartAlpha();
    target.StopAlpha = Style.StopAlpha();

    FStopTabProperties = target;
    FStartTabProperties = FCurrentTabProperties;
    FStartTickCount = tick_count();
    FCurrentTickCount = 0;
    if (EaseType != TPageTabsEaseType::ttNone) {
        FEndTickCount = EndTickCount;
    } else {
        FEndTickCount = 0;
        TransformColors(true);
    }
}

bool TPageTabControlPropertyItems::TransformColors(bool ForceUpdate) {
    if (!ForceUpdate && (FStartTickCount == 0 || FCurrentTickCount >= FEndTickCount)) return false;
    int percent = 100;
    if (!ForceUpdate) {
        FCurrentTickCount = std::min(tick_count() - FStartTickCount, FEndTickCount);
        percent = static_cast<int>(Round(ComputeEasedValue(FEaseType, FCurrentTickCount, 0, 100, FEndTickCount)));
    }
    const TPageTabControlProperties& from = FStartTabProperties;
    const TPageTabControlProperties& to = FStopTabProperties;
    TPageTabControlProperties& now = FCurrentTabProperties;
    now.FontColor = BlendColor(from.FontColor, to.FontColor, percent);
    now.StartColor = BlendColor(from.StartColor, to.StartColor, percent);
    now.StopColor = BlendColor(from.StopColor, to.StopColor, percent);
    now.OutlineColor = BlendColor(from.OutlineColor, to.OutlineColor, percent);
    now.FontAlpha = static_cast<std::uint8_t>(BlendInteger(from.FontAlpha, to.FontAlpha, percent));
    now.FontSize = BlendInteger(from.FontSize, to.FontSize, percent);
    now.StartAlpha = BlendInteger(from.StartAlpha, to.StartAlpha, percent);
    now.StopAlpha = BlendInteger(from.StopAlpha, to.StopAlpha, percent);
    now.OutlineAlpha = BlendInteger(from.OutlineAlpha, to.OutlineAlpha, percent);
    now.OutlineSize = BlendSingle(from.OutlineSize, to.OutlineSize, percent);
    return true;
}

} // namespace kq
