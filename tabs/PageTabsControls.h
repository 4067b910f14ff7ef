#pragma once
// The drawn items' base classes.
#include "framework/Components.h"
#include "framework/Geometry.h"
#include "tabs/PageTabsPictures.h"
#include "tabs/PageTabsPolygons.h"
#include "tabs/PageTabsTypes.h"

#include <cstdint>
#include <memory>
#include <span>

namespace kq {

class IPageTab;
class IPageTabs;
class TCustomImageList;
class TGPBrush;
class TGPFont;
class TGPGraphics;
class TGPLinearGradientBrush;
class TGPPen;
class TOptions;
class TPageTabControlPropertyItems;
class TPageTabsLookAndFeelStyleProperties;

// --- Base of every drawn item

// A drawn item of the strip: a rectangle that moves with easing, a draw state, right-to-left mirroring,
// scrolling and the polygons it is drawn and hit-tested with. Coordinates are the strip's, before
// scrolling and mirroring.
class TBasePageTabsControl : public TObject {
public:
    explicit TBasePageTabsControl(IPageTabs* PageTabs);

    const TRect& ControlRect() const noexcept { return FControlRect; }
    // ControlRect mirrored within the strip when it reads right to left, unless OverrideBidi.
    TRect BiDiControlRect() const;
    const TRect& StartRect() const noexcept { return FStartRect; }
    const TRect& EndRect() const noexcept { return FEndRect; }
    TDrawState DrawState() const noexcept { return FDrawState; }
    TPageTabItemType ControlType() const noexcept { return FControlType; }
    // The item moves with the strip's scroll offset (tabs do, buttons do not).
    bool ScrollableControl() const noexcept { return FScrollableControl; }
    void SetScrollableControl(bool Value) noexcept { FScrollableControl = Value; }
    bool OverrideBidi() const noexcept { return FOverrideBidi; }
    void SetOverrideBidi(bool Value) noexcept { FOverrideBidi = Value; }

    virtual void NotifyDrawStateChanged();
    virtual void StopStyleAnimation();
    virtual void Invalidate();
    // The polygons a handler of the strip supplies, with the defaults filled in where it left out a
    // brush or pen; nullptr when no handler supplied any.
    virtual page_tab_polygons InternalGetPolygons(TPageTabItemType ControlType,
                                                  const std::shared_ptr<const TGPBrush>& DefaultBrush,
                                                  const std::shared_ptr<const TGPPen>& DefaultPen);
    virtual page_tab_polygons GetPolygons() = 0;
    // One step of the movement; true while it moves, including the step that arrives.
    virtual bool AnimateMovement();
    // One step of the style transition; true when the item looks different.
    virtual bool AnimateStyle();
    virtual TRect ControlRectScrolled() const;
    virtual bool ContainsPoint(TPoint Pt);
    // Points relative to ControlRect placed in the strip, flipped vertically for toBottom.
    virtual TPolygon NewPolygon(const TRect& ControlRect, std::span<const TPoint> Points,
                                TTabOrientation Orientation) const;
    virtual void SetDrawState(TDrawState Value, int AnimationTimeMS, TPageTabsEaseType EaseType, bool ForceUpdate);
    // The first placement, and every placement with ttNone, jumps; otherwise the item moves there
    // from where it stands, unless it is already moving to ARect.
    virtual void SetPosition(const TRect& ARect, std::uint32_t AnimationTime, TPageTabsEaseType EaseType);
    virtual void SetHeight(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType);
    virtual void SetWidth(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType);
    virtual void SetLeft(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType);
    virtual void SetTop(int Value, std::uint32_t AnimationTime, TPageTabsEaseType EaseType);

    // Mirrored within BiDiControlRect when the strip reads right to left.
    TPolygon BidiPolygon(const TPolygon& Polygon) const;
    // R moved by the strip's scroll offset when the item scrolls.
    TRect ScrolledItemRect(const TRect& R) const;
    // R mirrored within the strip when it reads right to left.
    TRect MirroredContentRect(const TRect& R) const;

    // Adds to Key everything besides the strip's options and look that decides the item's pixels when it
    // draws with the mouse at (MouseX, MouseY) outside ClipPolygons, places relative to Origin; false when
    // the item must draw every time.
    virtual bool describe_pixels(picture_key& Key, TPoint Origin, int MouseX, int MouseY,
                                 IPageTabPolygons* ClipPolygons);
    // The picture of the item's last drawing, kept by the strip's painting; freed with the item and
    // whenever it is invalidated.
    item_picture& kept_picture() noexcept { return FPicture; }

protected:
    IPageTabs& page_tabs() const noexcept { return *FPageTabs; }
    TOptions& options() const;
    bool right_to_left() const;

    TRect FControlRect;
    IPageTabs* FPageTabs;
    TDrawState FDrawState = TDrawState::dsUnknown;
    TRect FStartRect;
    std::uint32_t FStartTicks = 0; // 0: never moved
    std::uint32_t FCurrentTickCount = 0;
    TRect FEndRect;
    bool FPositionInitialised = false;
    bool FScrollableControl = false;
    bool FOverrideBidi = false;
    TPageTabsEaseType FEaseType = TPageTabsEaseType::ttNone;
    std::uint32_t FAnimationTime = 0;
    bool FInvalidated = false;
    TPageTabItemType FControlType = TPageTabItemType::itTab;
    item_picture FPicture;
};

// --- Tab item

// Where the parts of a tab go, in strip coordinates after mirroring and scrolling.
struct tab_content_rects {
    TRect ImageRect, TextRect, CloseRect, CrossRect;
    bool ShowImage = false, ShowOverlay = false, ShowSpinner = false, ShowText = false;
};

class TPageTabControl : public TBasePageTabsControl {
public:
    TPageTabControl(IPageTabs* PageTabs, IPageTab* TabInterface);
    ~TPageTabControl() override;

    IPageTab* PageTab() const noexcept { return FPageTab; }
    TDrawState CloseButtonState() const noexcept { return FCloseButtonState; }
    virtual void SetCloseButtonState(TDrawState Value);
    // One step of the modified glow; false (and the sweep reset) while the tab shows none.
    virtual bool AnimateModified();
    // One step of the spinner; false when the tab shows none.
    virtual bool AnimateSpinner();

    THitTestArea GetHitTestArea(int MouseX, int MouseY);
    TRect GetCloseButonRect() const;
    TRect GetCloseButtonCrossRect() const;
    bool CloseButtonShown() const;
    tab_content_rects CalculateContentRects() const;
    int GetTabWidthByContent();

    int ModifiedPosition() const noexcept { return FModifiedPosition; }
    int SpinnerImageIndex() const noexcept { return FSpinnerImageIndex; }
    int SpinnerRenderedDegrees() const noexcept { return FSpinnerRenderedDegrees; }
    const TPageTabControlPropertyItems& PropertyItems() const noexcept { return *FPageTabControlPropertyItems; }
    // Nullptr until the first draw state.
    TPageTabsLookAndFeelStyleProperties* TabProperties() const noexcept { return FTabProperties; }
    // The body's brush and pen, from the style values the tab shows now; shared with the polygons.
    std::shared_ptr<const TGPBrush> TabBrush();
    std::shared_ptr<const TGPPen> TabPen();

    void Invalidate() override;
    void StopStyleAnimation() override;
    void SetDrawState(TDrawState Value, int AnimationTimeMS, TPageTabsEaseType EaseType, bool ForceUpdate) override;
    page_tab_polygons GetPolygons() override;
    bool AnimateStyle() override;
    bool describe_pixels(picture_key& Key, TPoint Origin, int MouseX, int MouseY,
                         IPageTabPolygons* ClipPolygons) override;

    // Paints the tab on the strip's canvas, each part between the strip's draw events, outside
    // ClipPolygons (the shapes of tabs lying over this one; may be null). Nothing before the first
    // draw state.
    virtual void DrawTo(TGPGraphics& TabCanvas, int MouseX, int MouseY, IPageTabPolygons* ClipPolygons);

private:
    void DrawRadialGlow(TGPGraphics& TabCanvas, const TRect& R, TColor CentreColor, TColor OutsideColor,
                        std::uint8_t CentreAlpha, std::uint8_t OutsideAlpha);
    void DrawTabCaption(TGPGraphics& TabCanvas, const TRect& TextRect);
    const TGPFont& caption_font(const String& name, float size);
    String caption_text() const;
    TRect modified_glow_rect() const;
    // Whether the mouse glow shows, in the tab's first polygon Shape.
    bool mouse_glow_shown(const TPolygon& Shape, int MouseX, int MouseY) const;
    void DrawTabImage(TGPGraphics& TabCanvas, TCustomImageList* List, int Index, const TRect& R,
                      TPageTabItemType ItemType);
    void DrawTabSpinner(TGPGraphics& TabCanvas, const TRect& ImageRect);
    TCustomImageList* spinner_image_list() const;
    bool image_shown(TCustomImageList* list, int index) const;

    IPageTab* FPageTab;
    TDrawState FCloseButtonState = TDrawState::dsUnknown;
    std::unique_ptr<TPageTabControlPropertyItems> FPageTabControlPropertyItems;
    TPageTabsLookAndFeelStyleProperties* FTabProperties = nullptr;
    std::shared_ptr<TGPLinearGradientBrush> FTabBrush;
    std::shared_ptr<TGPPen> FTabPen;
    std::unique_ptr<TGPFont> FCaptionFont; // null until the first caption
    String FCaptionFontName;
    float FCaptionFontSize = 0;
    int FModifiedPosition = 0;
    bool FModifiedMovingLeft = false;
    bool FPenInvalidated = false;
    bool FBrushInvalidated = false;
    std::uint32_t FModifiedStartTicks = 0; // 0: no sweep
    int FSpinnerImageIndex = 0;
    int FSpinnerRenderedDegrees = 0;
};

} // namespace kq
