#pragma once
// The strip's drawn buttons: the add button with its optional plus sign and the two scroll buttons. Each
// keeps one style transition for its body and one for its symbol.

#include "tabs/PageTabsControls.h"
#include "tabs/PageTabsStyleTransitions.h"

#include <memory>

namespace kq {

class TGPGraphics;
class TGPLinearGradientBrush;
class TGPPen;
class TPageTabsLookAndFeel;
class TPageTabsLookAndFeelStyle;

class TBaseChromeButtonControl : public TBasePageTabsControl {
public:
    explicit TBaseChromeButtonControl(IPageTabs* PageTabs);
    ~TBaseChromeButtonControl() override;

    // Gradient and outline from the values the transitions show now; made on first use after a change
    // and shared with the polygons that use them.
    virtual std::shared_ptr<const TGPBrush> ButtonBrush();
    virtual std::shared_ptr<const TGPPen> ButtonPen();
    virtual std::shared_ptr<const TGPBrush> SymbolBrush();
    virtual std::shared_ptr<const TGPPen> SymbolPen();

    // Unforced, the strip hears of the new state only through the repaint the transition asks for.
    void SetDrawState(TDrawState Value, int AnimationTimeMS, TPageTabsEaseType EaseType, bool ForceUpdate) override;
    // The symbol moves only while the body does: both start together with the same time and easing.
    bool AnimateStyle() override;
    void Invalidate() override;
    // The polygons filled and outlined, between the strip's before- and after-drawing events.
    virtual void DrawTo(TGPGraphics& TabCanvas, int MouseX, int MouseY, IPageTabPolygons* ClipPolygons);
    bool describe_pixels(picture_key& Key, TPoint Origin, int MouseX, int MouseY,
                         IPageTabPolygons* ClipPolygons) override;

    const TPageTabControlPropertyItems& ButtonPropertyItems() const noexcept { return FButtonControlPropertyItems; }
    const TPageTabControlPropertyItems& SymbolPropertyItems() const noexcept { return FSymbolControlPropertyItems; }
    // The looks of the current state; nullptr until a state is chosen.
    TPageTabsLookAndFeelStyle* ButtonStyle() const noexcept { return FButtonStyle; }
    TPageTabsLookAndFeelStyle* SymbolStyle() const noexcept { return FSymbolStyle; }

protected:
    virtual void SelectButtonStyles() {}
    TPageTabsLookAndFeel& look_and_feel() const;

    TPageTabsLookAndFeelStyle* FButtonStyle = nullptr;
    TPageTabsLookAndFeelStyle* FSymbolStyle = nullptr;

private:
    std::shared_ptr<TGPLinearGradientBrush> FButtonBrush;
    std::shared_ptr<TGPPen> FButtonPen;
    std::shared_ptr<TGPLinearGradientBrush> FSymbolBrush;
    std::shared_ptr<TGPPen> FSymbolPen;
    TPageTabControlPropertyItems FButtonControlPropertyItems;
    TPageTabControlPropertyItems FSymbolControlPropertyItems;
};

class TAddButtonControl : public TBaseChromeButtonControl {
public:
    explicit TAddButtonControl(IPageTabs* PageTabs);
    page_tab_polygons GetPolygons() override;

protected:
    void SelectButtonStyles() override;
};

class TScrollButtonControl : public TBaseChromeButtonControl {
public:
    using TBaseChromeButtonControl::TBaseChromeButtonControl;

protected:
    void SelectButtonStyles() override;
    page_tab_polygons BuildScrollButtonPolygons(bool Left);
};

class TScrollButtonLeftControl : public TScrollButtonControl {
public:
    explicit TScrollButtonLeftControl(IPageTabs* PageTabs);
    page_tab_polygons GetPolygons() override { return BuildScrollButtonPolygons(true); }
};

class TScrollButtonRightControl : public TScrollButtonControl {
public:
    explicit TScrollButtonRightControl(IPageTabs* PageTabs);
    page_tab_polygons GetPolygons() override { return BuildScrollButtonPolygons(false); }
};

} // namespace kq
