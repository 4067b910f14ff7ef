#pragma once
// TControl, TWinControl, TCustomControl, window hooks, alignment, mouse and paint handling.
#include "framework/Graphics.h"
#include "framework/Messages.h"
#include "framework/WindowLayer.h"

#include <functional>
#include <memory>
#include <vector>

namespace kq {

class TControl;
class TWinControl;
class TPopupMenu;
class TCustomForm;

// --- Window procedure hooks

// A hook sees a message before the rest of the chain; it passes it on (or not) by calling next.
using TWndHook = std::function<void(TMessage& message, const TWndMethod& next)>;

namespace detail {
struct window_hook_chain;
}

// Keeps one hook in a control's chain; destroying it (or Unhook) takes the hook out wherever it sits,
// so hooks may be removed in any order. Safe to outlive the control.
class window_hook {
public:
    window_hook() noexcept = default;
    window_hook(window_hook&&) noexcept;
    window_hook& operator=(window_hook&&) noexcept;
    ~window_hook();
    void Unhook() noexcept;
    bool Hooked() const noexcept;

private:
    friend class TControl;
    window_hook(std::weak_ptr<detail::window_hook_chain> chain, std::uint64_t id) noexcept;
    std::weak_ptr<detail::window_hook_chain> FChain;
    std::uint64_t FId = 0;
};

// --- Enumerations

enum class TAlign : std::uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TAlignment : std::uint8_t { taLeftJustify, taRightJustify, taCenter };
enum class TVerticalAlignment : std::uint8_t { taAlignTop, taAlignBottom, taVerticalCenter };
enum class TAnchorKind : std::uint8_t { akLeft, akTop, akRight, akBottom };
using TAnchors = enum_set<TAnchorKind>;
enum class TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };
enum class TShiftStateFlag : std::uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = enum_set<TShiftStateFlag>;
using TCursor = std::int16_t;

// What the framework does for a control on its own: capture the mouse while a button is down, raise
// OnClick on a release inside it, treat a second press as a double click, skip the background fill
// (the control paints every pixel itself). A control that handles these itself leaves them out.
enum class TControlStyleFlag : std::uint8_t {
    csAcceptsControls,
    csCaptureMouse,
    csClickEvents,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csReplicatable,
    csReflector,
};
using TControlStyle = enum_set<TControlStyleFlag>;

// What a control is doing now: csPaintCopy while it paints into another control's picture (a child's
// copy of its parent's background), not on its own window.
enum class TControlStateFlag : std::uint8_t { csPaintCopy };
using TControlState = enum_set<TControlStateFlag>;

// Reading order of a control's text.
enum class TBiDiMode : std::uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// Member names by ordinal, for published properties of these types.
const std::vector<String>& bidi_mode_names();
const std::vector<String>& alignment_names();
const std::vector<String>& vertical_alignment_names();

constexpr TCursor crDefault = 0;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crNo = -18;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TKeyEvent = std::function<void(TObject* sender, std::uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char16_t& key)>;

// Size limits of a control, applied by SetBounds and, for a window with a sizing frame, while the user
// resizes it; 0 means no limit. A minimum above the maximum raises the maximum, and the other way round.
class TSizeConstraints : public TPersistent {
public:
    TSizeConstraints() = default;
    TSizeConstraints(int min_width, int min_height, int max_width, int max_height);

    int MinWidth() const noexcept { return FMinWidth; }
    void SetMinWidth(int value);
    int MinHeight() const noexcept { return FMinHeight; }
    void SetMinHeight(int value);
    int MaxWidth() const noexcept { return FMaxWidth; }
    void SetMaxWidth(int value);
    int MaxHeight() const noexcept { return FMaxHeight; }
    void SetMaxHeight(int value);

    void Assign(const TPersistent* source) override;
    const property_table& PublishedProperties() const override;

    TNotifyEvent OnChange;

private:
    void changed();

    int FMinWidth = 0, FMinHeight = 0, FMaxWidth = 0, FMaxHeight = 0;
};

struct TCreateParams {
    String Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    WNDCLASSEXW WindowClass{};
    String WinClassName;
};

// What CM_HINTSHOW carries (LParam points to it): a handler may change the text, the place, the rectangle
// in which the hint stays valid and its timeout, or answer 1 to show nothing.
struct THintInfo {
    TControl* HintControl = nullptr;
    POINT CursorPos{};   // control's client coordinates
    RECT CursorRect{};   // control's client coordinates; leaving it asks for the hint again
    POINT HintPos{};     // screen coordinates of the hint window's top-left
    int HintMaxWidth = 0;
    String HintStr;
    int HideTimeout = 0; // milliseconds; 0 keeps the hint until the mouse moves on
};

// The shift keys and mouse buttons down now.
TShiftState KeyboardState();

// --- Controls

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const noexcept { return FParent; }
    virtual void SetParent(TWinControl* parent);

    int Left() const noexcept { return FLeft; }
    int Top() const noexcept { return FTop; }
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }
    void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
    void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
    void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
    RECT BoundsRect() const noexcept { return RECT{FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    void SetBoundsRect(const RECT& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
    virtual void SetBounds(int left, int top, int width, int height);

    virtual RECT ClientRect();
    int ClientWidth() { return ClientRect().right; }
    int ClientHeight() { return ClientRect().bottom; }
    void SetClientSize(int width, int height);
    POINT ClientToScreen(POINT point);
    POINT ScreenToClient(POINT point);
    // The top-left of the client area in the parent window's client coordinates.
    virtual POINT ClientOrigin();

    TAlign Align() const noexcept { return FAlign; }
    void SetAlign(TAlign value);
    TAnchors Anchors() const noexcept { return FAnchors; }
    void SetAnchors(TAnchors value);
    TSizeConstraints& Constraints() noexcept { return FConstraints; }
    void SetConstraints(const TSizeConstraints& value);

    bool Visible() const noexcept { return FVisible; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible and every parent up to a form showing.
    virtual bool Showing() const;
    bool Enabled() const noexcept { return FEnabled; }
    virtual void SetEnabled(bool value);

    TColor Color() const noexcept { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const noexcept { return FParentColor; }
    void SetParentColor(bool value);
    TFont& Font() noexcept { return *FFont; }
    void SetFont(const TFont& value) { FFont->Assign(&value); }
    bool ParentFont() const noexcept { return FParentFont; }
    void SetParentFont(bool value);
    // Reading order of the control's text; set, it no longer follows the parent's (ParentBiDiMode).
    TBiDiMode BiDiMode() const noexcept { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode value);
    bool ParentBiDiMode() const noexcept { return FParentBiDiMode; }
    void SetParentBiDiMode(bool value);
    // The text reads from right to left: any mode but bdLeftToRight.
    bool IsRightToLeft() const noexcept { return FBiDiMode != TBiDiMode::bdLeftToRight; }
    TCursor Cursor() const noexcept { return FCursor; }
    void SetCursor(TCursor value);
    const String& Hint() const noexcept { return FHint; }
    void SetHint(const String& value) { FHint = value; }
    bool ShowHint() const noexcept { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    TPopupMenu* PopupMenu() const noexcept { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* value);

    // The caption; windowed controls keep it as their window text.
    const String& Text() const noexcept { return FText; }
    void SetText(const String& value);
    const String& Caption() const noexcept { return FText; }
    void SetCaption(const String& value) { SetText(value); }

    // The mouse is over the control (between CM_MOUSEENTER and CM_MOUSELEAVE).
    bool MouseInControl() const noexcept { return FMouseInControl; }

    TControlStyle ControlStyle() const noexcept { return FControlStyle; }
    void SetControlStyle(TControlStyle value) noexcept { FControlStyle = value; }
    TControlState ControlState() const noexcept { return FControlState; }
    void SetControlState(TControlState value) noexcept { FControlState = value; }

    virtual void Invalidate();
    virtual void Update();
    void Repaint();
    void Refresh() { Repaint(); }
    void BringToFront();
    void SendToBack();

    // Sends a message through WindowProc and returns its result.
    LRESULT Perform(UINT msg, WPARAM w_param, LPARAM l_param);

    // The replaceable window procedure: every message of the control passes it (after the hooks). It
    // starts as the virtual WndProc; a component may save it, install its own and call the saved one.
    TWndMethod WindowProc;
    // Adds a hook in front of the chain; the returned object removes it, in any order.
    [[nodiscard]] window_hook HookWindowProc(TWndHook hook);
    // Runs a message through the hooks, then WindowProc; once the control is being destroyed, through
    // WindowProc alone.
    void Dispatch(TMessage& message);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* value) override;

    void Notification(TComponent* component, TOperation operation) override;
    const property_table& PublishedProperties() const override;

protected:
    virtual void WndProc(TMessage& message);
    // Messages nobody handled: windowed controls give them to the system.
    virtual void DefaultHandler(TMessage& message);

    virtual void Click();
    virtual void DblClick();
    virtual void Resize();
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    // The control's own bounds change (after SetBounds moved it).
    virtual void BoundsChanged() {}
    void RequestAlign();
    void InvalidateParentRect();
    bool IsMouseDown() const noexcept { return FMouseDown; }

    TWinControl* FParent = nullptr;
    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    String FText;
    TControlStyle FControlStyle{TControlStyleFlag::csCaptureMouse, TControlStyleFlag::csClickEvents,
                                TControlStyleFlag::csSetCaption, TControlStyleFlag::csDoubleClicks};

private:
    friend class TWinControl;
    void FontChanged();
    void ParentFontChanged();
    void ParentColorChanged();
    void ParentBiDiModeChanged();
    void handle_mouse(TMessage& message);

    TAlign FAlign = TAlign::alNone;
    TAnchors FAnchors{TAnchorKind::akLeft, TAnchorKind::akTop};
    TSizeConstraints FConstraints;
    // Distances to the parent's right and bottom edge, kept by right/bottom anchors.
    int FAnchorRight = 0, FAnchorBottom = 0;
    bool FAnchorsKnown = false;
    bool FVisible = true;
    bool FEnabled = true;
    TColor FColor = clBtnFace;
    bool FParentColor = false;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    TBiDiMode FBiDiMode = TBiDiMode::bdLeftToRight;
    bool FParentBiDiMode = true;
    TCursor FCursor = crDefault;
    String FHint;
    bool FShowHint = false;
    TPopupMenu* FPopupMenu = nullptr;
    bool FMouseInControl = false;
    bool FMouseDown = false;
    TControlState FControlState;
    std::shared_ptr<detail::window_hook_chain> FHooks;
};

// A control with a window of its own: the window class is named after the component class, the caption
// is the window text.
class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    HWND Handle();
    bool HandleAllocated() const noexcept { return FHandle != nullptr; }
    void HandleNeeded() { Handle(); }
    // Destroys the window (and its children's); it is made again on the next use.
    void DestroyHandle();
    void RecreateWnd();

    int ControlCount() const noexcept { return static_cast<int>(FControls.size()); }
    TControl* Controls(int index) const { return FControls.at(static_cast<size_t>(index)); }
    // The child under a client point (the topmost), or nullptr.
    TControl* ControlAtPos(POINT pos, bool allow_disabled = false);
    bool ContainsControl(const TControl* control) const;

    int TabOrder() const;
    void SetTabOrder(int value);
    bool TabStop() const noexcept { return FTabStop; }
    void SetTabStop(bool value) { FTabStop = value; }
    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    // The windowed children with TabStop, in tab order.
    std::vector<TWinControl*> TabList() const;

    // Lays out the aligned and anchored children in the client rectangle.
    void Realign();
    void DisableAlign() noexcept { ++FAlignLevel; }
    void EnableAlign();

    RECT ClientRect() override;
    POINT ClientOrigin() override;
    void SetVisible(bool value) override;
    void SetEnabled(bool value) override;
    bool Showing() const override;
    void Invalidate() override;
    void Update() override;
    // Paints the control into dc as WM_PAINT would, for copies of a parent's background.
    void PaintTo(HDC dc, int x, int y);
    // The window a control without Parent sits in (a form: its owner window); changing it remakes the
    // window.
    HWND ParentWindow() const noexcept { return FParentWindow; }
    void SetParentWindow(HWND value);

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
    const property_table& PublishedProperties() const override;
    void Loaded() override;

protected:
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWnd();
    virtual void CreateWindowHandle(const TCreateParams& params);
    virtual void DestroyWnd();
    void WndProc(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;
    // Draws the control's own content; the base fills nothing (WM_ERASEBKGND did).
    virtual void PaintWindow(HDC dc);
    // Paints the graphic (windowless) children into dc.
    void PaintControls(HDC dc);
    virtual void AlignControls(RECT& rect);
    // Narrows the client rectangle that aligned children fill (a drawn border keeps its pixels).
    virtual void AdjustClientRect(RECT& rect) { (void)rect; }
    virtual void KeyDown(std::uint16_t& key, TShiftState shift);
    virtual void KeyUp(std::uint16_t& key, TShiftState shift);
    virtual void KeyPress(char16_t& key);
    void BoundsChanged() override;

    // The class's original window procedure for messages nobody handled (DefWindowProcW by default).
    WNDPROC FDefWndProc = ::DefWindowProcW;

private:
    friend class TControl;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    void UpdateShowing();
    void paint_handler(TMessage& message);
    // Takes the bounds from the window; true when its size changed.
    bool UpdateBounds();
    void focus_changed(bool gained);
    void window_message(TMessage& message);

    HWND FHandle = nullptr;
    HWND FParentWindow = nullptr;
    std::vector<TControl*> FControls; // children, in z order (bottom first)
    std::vector<TWinControl*> FTabList; // the windowed children, in tab order
    bool FTabStop = false;
    int FAlignLevel = 0;
    bool FRealignPending = false;
    bool FCreating = false;
};

// A windowed control that paints itself on a canvas.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    TCanvas& Canvas() noexcept { return *FCanvas; }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// The canvas of controls and forms: outside painting it draws on the window's DC, taken for each drawing
// operation; while the control paints, on the paint DC.
std::unique_ptr<TCanvas> make_control_canvas(TControl& control);

// A windowless control, painted by its parent in the parent's window.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    TCanvas& Canvas() noexcept { return *FCanvas; }

protected:
    virtual void Paint() {}
    void WndProc(TMessage& message) override;

private:
    std::unique_ptr<TCanvas> FCanvas;
};

// --- Window handles

// For a control that wraps a system control: its own class is made from the system's class of that name
// (same style, extra bytes, cursor and background, the framework's procedure in front), and system_proc
// receives the system's procedure, which gets what the control leaves.
void use_system_class(TCreateParams& params, const wchar_t* system_class, WNDPROC& system_proc);

// The control of a window handle made by this framework, or nullptr.
TWinControl* FindControl(HWND handle) noexcept;
// The form a control sits on (the topmost parent), or nullptr.
TCustomForm* GetParentForm(const TControl* control) noexcept;

// Registers the framework's window classes on demand; unregisters them at shutdown.
void controls_startup();
void controls_shutdown();

} // namespace kq
