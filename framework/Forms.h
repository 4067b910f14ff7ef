#pragma once
// TCustomForm, TForm, TApplication, TScreen, THintWindow, forms start-up.
#include "framework/Controls.h"
#include "framework/Timers.h"

#include <exception>
#include <map>
#include <memory>
#include <vector>

namespace kq {

class TMainMenu;
struct TMonitor;

enum class TFormBorderStyle : std::uint8_t { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TBorderIcon : std::uint8_t { biSystemMenu, biMinimize, biMaximize };
using TBorderIcons = enum_set<TBorderIcon>;
enum class TWindowState : std::uint8_t { wsNormal, wsMinimized, wsMaximized };
enum class TPosition : std::uint8_t { poDesigned, poDefault, poScreenCenter, poMainFormCenter, poOwnerFormCenter };
enum class TFormStyle : std::uint8_t { fsNormal, fsStayOnTop };
enum class TCloseAction : std::uint8_t { caNone, caHide, caFree, caMinimize };

using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;
constexpr TModalResult mrCancel = IDCANCEL;
constexpr TModalResult mrYes = IDYES;
constexpr TModalResult mrNo = IDNO;

using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& can_close)>;

// A top-level window. Create forms with CreateForm (or Application->CreateForm) so that OnCreate runs
// once the whole object, derived classes included, is built.
class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;

    // Reads the form's resource (RCDATA named after the class, component text in UTF-8) when the
    // executable has one, then raises OnCreate. Called once by CreateForm.
    virtual void AfterConstruction();

    TFormBorderStyle BorderStyle() const noexcept { return FBorderStyle; }
    void SetBorderStyle(TFormBorderStyle value);
    TBorderIcons BorderIcons() const noexcept { return FBorderIcons; }
    void SetBorderIcons(TBorderIcons value);
    TWindowState WindowState() const;
    void SetWindowState(TWindowState value);
    TPosition Position() const noexcept { return FPosition; }
    void SetPosition(TPosition value) { FPosition = value; }
    TFormStyle FormStyle() const noexcept { return FFormStyle; }
    void SetFormStyle(TFormStyle value);
    TIcon& Icon() noexcept { return FIcon; }
    void SetIcon(const TIcon& value) { FIcon.Assign(&value); }
    TMainMenu* Menu() const noexcept { return FMenu; }
    void SetMenu(TMainMenu* value);
    bool KeyPreview() const noexcept { return FKeyPreview; }
    void SetKeyPreview(bool value) { FKeyPreview = value; }

    // The form's canvas: the paint DC while OnPaint runs, the window's client DC outside painting.
    TCanvas& Canvas() noexcept { return *FCanvas; }
    // Translucency of the whole window (0 see-through, 255 opaque) and a colour drawn see-through, through
    // the layered window attributes; the window is layered while either is on.
    bool AlphaBlend() const noexcept { return FAlphaBlend; }
    void SetAlphaBlend(bool value);
    std::uint8_t AlphaBlendValue() const noexcept { return FAlphaBlendValue; }
    void SetAlphaBlendValue(std::uint8_t value);
    bool TransparentColor() const noexcept { return FTransparentColor; }
    void SetTransparentColor(bool value);
    TColor TransparentColorValue() const noexcept { return FTransparentColorValue; }
    void SetTransparentColorValue(TColor value);
    // The monitor that holds most of the form.
    TMonitor Monitor();
    TWinControl* ActiveControl() const noexcept { return FActiveControl; }
    void SetActiveControl(TWinControl* control);
    bool Active() const noexcept { return FActive; }
    // Moves the focus to the next (or previous) tab stop of the form.
    void SelectNext(TWinControl* current, bool go_forward);

    void Show();
    void Close();
    // Shows the form modally and returns its ModalResult; other forms are disabled meanwhile.
    TModalResult ShowModal();
    TModalResult ModalResult() const noexcept { return FModalResult; }
    // While the form is modal, a result other than mrNone ends its loop, also when set by a message that
    // another thread sent.
    void SetModalResult(TModalResult value);
    // Frees the form once the messages already queued for it have been handled.
    void Release();

    RECT ClientRect() override;
    void SetVisible(bool value) override;
    bool Showing() const override;
    POINT ClientOrigin() override;

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TNotifyEvent OnPaint;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    // The focused control of this form changed (WM_SETFOCUS of a child).
    void FocusControlChanged(TWinControl* control);
    void Notification(TComponent* component, TOperation operation) override;
    const property_table& PublishedProperties() const override;

protected:
    void CreateParams(TCreateParams& params) override;
    void CreateWnd() override;
    void WndProc(TMessage& message) override;
    void PaintWindow(HDC dc) override;
    virtual bool CloseQuery();
    virtual void DoClose(TCloseAction& action);

private:
    friend class TApplication;
    void apply_position();
    void dialog_key(TMessage& message);
    void set_icons();
    void showing_changed();
    void apply_layered();

    TFormBorderStyle FBorderStyle = TFormBorderStyle::bsSizeable;
    TBorderIcons FBorderIcons{TBorderIcon::biSystemMenu, TBorderIcon::biMinimize, TBorderIcon::biMaximize};
    TWindowState FWindowState = TWindowState::wsNormal;
    TPosition FPosition = TPosition::poDesigned;
    TFormStyle FFormStyle = TFormStyle::fsNormal;
    TIcon FIcon;
    TMainMenu* FMenu = nullptr;
    bool FKeyPreview = false;
    TWinControl* FActiveControl = nullptr;
    bool FActive = false;
    bool FCreated = false;
    bool FModal = false;
    TModalResult FModalResult = mrNone;
    bool FAlphaBlend = false;
    std::uint8_t FAlphaBlendValue = 255;
    bool FTransparentColor = false;
    TColor FTransparentColorValue = clBlack;
    std::unique_ptr<TCanvas> FCanvas;
};

// The key of a character (a letter's virtual key is its capital) is caption's accelerator: the character
// after a single '&' ("&&" is a plain '&'), compared without regard to case.
bool IsAccel(std::uint16_t key, StringView caption);

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
};

// Builds a form of class T and runs its creation steps (resource, OnCreate).
template <class T, class... A>
T* CreateForm(TComponent* owner, A&&... args) {
    auto form = std::make_unique<T>(owner, std::forward<A>(args)...); // freed if its creation steps fail
    form->AfterConstruction();
    return form.release();
}

// A borderless top-most window that shows a hint text; it never takes the focus.
class THintWindow : public TCustomControl {
public:
    explicit THintWindow(TComponent* owner);
    // The size the text needs, wrapped at max_width, with the window's margins.
    virtual RECT CalcHintRect(int max_width, const String& hint);
    // Shows hint at rect (screen coordinates).
    virtual void ActivateHint(const RECT& rect, const String& hint);
    void ReleaseHandle();

protected:
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
};

// --- Application

using TMessageEvent = std::function<void(MSG& msg, bool& handled)>;
using TExceptionEvent = std::function<void(TObject* sender, const std::exception_ptr& e)>;
// Sees the application window's messages first; true means handled (message.Result is the answer).
using TWindowHook = std::function<bool(TMessage& message)>;

class TApplicationEvents;

class TApplication : public TComponent {
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    void Initialize();
    // The application's hidden window: WM_CLOSE sent to it closes the main form.
    HWND Handle();
    // The full path of the program's executable file.
    String ExeName() const;
    // Hooks see the application window's messages in the order they were added, before the window's own
    // handling. owner names a hook for UnhookMainWindow.
    void HookMainWindow(const void* owner, TWindowHook hook);
    void UnhookMainWindow(const void* owner) noexcept;
    const String& Title() const noexcept { return FTitle; }
    void SetTitle(const String& value);
    TCustomForm* MainForm() const noexcept { return FMainForm; }
    bool MainFormOnTaskBar() const noexcept { return FMainFormOnTaskBar; }
    void SetMainFormOnTaskBar(bool value) { FMainFormOnTaskBar = value; }
    bool ShowMainForm() const noexcept { return FShowMainForm; }
    void SetShowMainForm(bool value) { FShowMainForm = value; }

    // Hints of controls with ShowHint: shown HintPause ms after the mouse rests on one, hidden after
    // HintHidePause ms, when the mouse leaves the control (or the hint's rectangle) or a button goes down.
    bool ShowHint() const noexcept { return FShowHint; }
    void SetShowHint(bool value);
    int HintPause() const noexcept { return FHintPause; }
    void SetHintPause(int value) { FHintPause = value; }
    int HintHidePause() const noexcept { return FHintHidePause; }
    void SetHintHidePause(int value) { FHintHidePause = value; }
    void CancelHint();
    // For the framework's controls: the mouse is over control at a screen point; control goes away.
    void hint_mouse_move(TControl* control, POINT screen_pos);
    void forget_control(const TControl* control) noexcept;

    // Creates a form owned by the application; the first one becomes the main form.
    template <class T>
    void CreateForm(T*& reference) {
        reference = kq::CreateForm<T>(this);
        if (!FMainForm) FMainForm = reference;
    }

    // The message loop: runs until Terminate (or the main form closes).
    void Run();
    // Handles every queued message, then returns.
    void ProcessMessages();
    // Waits for one message and handles it.
    void HandleMessage();
    void Terminate();
    bool Terminated() const noexcept { return FTerminated; }
    void Minimize();
    void Restore();

    // The modal message box of the application: its title is the caption when none is given.
    int MessageBox(const String& text, const String& caption = {}, UINT flags = MB_OK);
    // The top-level handler: OnException when assigned (the application's, else the first
    // application-events component's), otherwise ShowException.
    void HandleException(TObject* sender, const std::exception_ptr& e);
    // A modal message box with the error icon, the application title and the innermost message.
    void ShowException(const std::exception_ptr& e);

    TExceptionEvent OnException;
    TMessageEvent OnMessage;

    // For the framework: forms and application-events components register themselves.
    void add_events(TApplicationEvents* events);
    void remove_events(TApplicationEvents* events) noexcept;
    void Notification(TComponent* component, TOperation operation) override;

    // For the application window's procedure.
    void WndProc(TMessage& message);

private:
    bool ProcessMessage(MSG& msg);
    bool IsKeyMsg(MSG& msg);
    void activate_hint();

    String FTitle;
    // The application's hidden top-level window, created on first use.
    unique_hwnd FHandle;
    TCustomForm* FMainForm = nullptr;
    bool FMainFormOnTaskBar = true;
    bool FShowMainForm = true;
    bool FTerminated = false;
    std::vector<TApplicationEvents*> FEvents;
    std::vector<std::pair<const void*, TWindowHook>> FWindowHooks;
    bool FShowHint = true;
    int FHintPause = 500;
    int FHintHidePause = 2500;
    TControl* FHintControl = nullptr;
    RECT FHintRect{};  // screen coordinates in which the shown hint stays
    bool FHintShown = false;
    THintWindow* FHintWindow = nullptr; // owned as a component
    // One-shot: the pause before a hint shows, and how long it stays; made on first use.
    std::unique_ptr<TTimer> FShowHintTimer;
    std::unique_ptr<TTimer> FHideHintTimer;
};

// Lets any component take part in the application's message hook and exception handling.
class TApplicationEvents : public TComponent {
public:
    explicit TApplicationEvents(TComponent* owner);
    ~TApplicationEvents() override;

    TMessageEvent OnMessage;
    TExceptionEvent OnException;
    const property_table& PublishedProperties() const override;
};

// --- Screen

struct TMonitor {
    HMONITOR Handle = nullptr;
    RECT BoundsRect{};
    RECT WorkareaRect{};
    bool Primary = false;
    int MonitorNum = 0; // the index in the screen's list of monitors
    int Width() const noexcept { return BoundsRect.right - BoundsRect.left; }
    int Height() const noexcept { return BoundsRect.bottom - BoundsRect.top; }
};

class TScreen : public TComponent {
public:
    explicit TScreen(TComponent* owner);
    ~TScreen() override;

    int FormCount() const noexcept { return static_cast<int>(FForms.size()); }
    TCustomForm* Forms(int index) const { return FForms.at(static_cast<size_t>(index)); }
    TCustomForm* ActiveForm() const noexcept { return FActiveForm; }
    TWinControl* ActiveControl() const;

    // A cursor other than crDefault overrides every control's cursor.
    TCursor Cursor() const noexcept { return FCursor; }
    void SetCursor(TCursor value);
    HCURSOR Cursors(TCursor index) const;
    // Puts a cursor of the program's own at index (a positive number, or one of the predefined ones to
    // replace it); the screen owns and destroys it. nullptr takes index back to what it was.
    void SetCursors(TCursor index, HCURSOR cursor);

    int Width() const;
    int Height() const;
    int PixelsPerInch() const noexcept { return FPixelsPerInch; }
    RECT WorkAreaRect() const;
    // Enumerated anew on each call: monitors come and go.
    std::vector<TMonitor> Monitors() const;
    int MonitorCount() const { return static_cast<int>(Monitors().size()); }
    TMonitor MonitorFromWindow(HWND handle) const;

    // For the framework's forms.
    void add_form(TCustomForm* form);
    void remove_form(TCustomForm* form) noexcept;
    void set_active_form(TCustomForm* form) noexcept { FActiveForm = form; }

private:
    std::vector<TCustomForm*> FForms;
    TCustomForm* FActiveForm = nullptr;
    TCursor FCursor = crDefault;
    int FPixelsPerInch = 96;
    std::map<TCursor, unique_hcursor> FCursors; // the program's own
};

class TMouse {
public:
    POINT CursorPos() const;
    void SetCursorPos(POINT value);
};

// The process's application, screen and mouse, made by forms_startup and freed by forms_shutdown.
extern TApplication* Application;
extern TScreen* Screen;
extern TMouse* Mouse;

// Starts the visual framework: common controls, the application, the screen, the top-level exception
// handler, the classes and colour and cursor names of component text. forms_shutdown frees the
// application's forms and undoes the rest.
void forms_startup();
void forms_shutdown();

// The message of the innermost exception of a nested chain.
String innermost_message(const std::exception_ptr& e);

} // namespace kq
