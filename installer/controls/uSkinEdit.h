#pragma once
// TSkinPngEdit, TSkinEdit: a single-line text field drawn by the program itself (no system edit behind
// it): skin border, inner spacing, hint, caret, selection, items inside the frame, a check box item, a
// balloon tip, its own context menu and input-method text.
//
// Positions: a position p runs from 0 to the text's length (UTF-16 units) and means that p units lie
// before it; character indexes are 1-based. A surrogate pair is one character for the cursor, deletion,
// selection, drawing and scrolling, so no position ever stays between its two units.

#include "framework/Ime.h"
#include "framework/Menus.h"
#include "installer/controls/SkinEditHost.h"
#include "installer/controls/uSkItemsInEdit.h"
#include "installer/controls/uSkLocateObj.h"
#include "installer/controls/uSkinEditTips.h"
#include "skin/uSimpleTimer.h"
#include "skin/uSkinCtrls.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace kq {

using TMouseButtons = enum_set<TMouseButton>;

// The context menu's captions for a system default locale: Chinese (simplified) for 2052, else English;
// in menu order (Cut, Copy, Paste, Delete, separator, Select All).
const std::vector<String>& edit_menu_captions(LCID Locale);

class TSkinPngEdit : public TSkinCustomControl, public skin_edit_host {
public:
    explicit TSkinPngEdit(TComponent* AOwner);
    ~TSkinPngEdit() override;

    // --- Items
    TCollection::item_factory GetItemClass() const override { return &TCollection::item_class<TSkEditItem>; }
    // Makes the items collection of an edit.
    using items_factory = std::unique_ptr<TSkEditItems> (*)(TSkinPngEdit* Edit);
    virtual items_factory GetItemsClass() const {
        return [](TSkinPngEdit* Edit) { return std::make_unique<TSkEditItems>(Edit); };
    }
    TSkEditItem* CreateNewItem() { return FItems->Add(); }
    TSkEditItems& EdItems() noexcept { return *FItems; }
    void SetEdItems(const TSkEditItems& Value) { FItems->Assign(&Value); }
    TSkSpaceSize& Space() noexcept { return *FSpace; }
    void SetSpace(const TSkSpaceSize& Value) { FSpace->Assign(&Value); }
    TSkinEditTips& Tips() noexcept { return *FTips; }
    void SetTips(const TSkinEditTips& Value) { FTips->Assign(&Value); }
    TControl& host_control() noexcept override { return *this; }
    void item_deleting(const TCollectionItem* Item) override;

    // --- Text and selection
    // The text is the control's own (Text()).
    virtual void SetText(const String& Value);
    std::int32_t MaxLength() { return GetMaxLength(); }
    // A negative value is 0, no limit; a limit below the text's length cuts the text.
    virtual void SetMaxLength(std::int32_t Value);
    // Replaces the selection (or inserts at the cursor) and puts the cursor after the new text.
    virtual void SetSelText(const String& Value);
    int SelStart() const noexcept { return std::min(FSelPoint1, FSelPoint2); }
    void SetSelStart(int Value);
    int SelLength() const noexcept { return std::abs(FSelPoint1 - FSelPoint2); }
    void SetSelLength(int Value);
    String SelText() const;
    int CursorPos() const noexcept { return FCursorPos; }
    int FirstDisplayChar() const noexcept { return FFirstDisplayChar; }

    virtual void Clear();
    void ClearSelection() { SetSelText(u""); }
    void SelectAll();
    void CopyToClipboard();
    void CutToClipboard();
    // Line breaks in the clipboard's text are left out: the field holds one line.
    void PasteFromClipboard();
    // Copies at most BufSize characters of the selection, without a terminating zero; the count copied.
    virtual int GetSelTextBuf(char16_t* Buffer, int BufSize);
    // The field keeps no undo history.
    void Undo() {}
    void ClearUndo() {}
    void SetSelTextBuf(const char16_t*) {}
    bool CanUndo() const noexcept { return false; }
    bool Modified() const noexcept { return false; }
    void SetModified(bool) noexcept {}

    // --- Look and behaviour
    bool AutoSelect() const noexcept { return FAutoSelect; }
    void SetAutoSelect(bool Value) noexcept { FAutoSelect = Value; }
    bool ReadOnly() const noexcept { return FReadOnly; }
    void SetReadOnly(bool Value) noexcept { FReadOnly = Value; }
    const TSkResID& BorderNormal() const noexcept { return FBorderNormal; }
    void SetBorderNormal(const TSkResID& Value);
    const TSkResID& BorderHot() const noexcept { return FBorderHot; }
    void SetBorderHot(const TSkResID& Value);
    bool BorderVisible() const noexcept { return FBorderVisible; }
    void SetBorderVisible(bool Value) noexcept { FBorderVisible = Value; }
    const String& TextHint() const noexcept { return FTextHint; }
    void SetTextHint(const String& Value);
    bool TextHintHideInKey() const noexcept { return FTextHintHideInKey; }
    void SetTextHintHideInKey(bool Value) noexcept { FTextHintHideInKey = Value; }
    TFont& FontHint() noexcept { return *FFontHint; }
    void SetFontHint(const TFont& Value) { FFontHint->Assign(&Value); }
    TColor CursorColor() const noexcept { return FCursorColor; }
    void SetCursorColor(TColor Value) noexcept { FCursorColor = Value; }
    bool ShowCheckBox() const noexcept { return FShowCheckBox; }
    void SetShowCheckBox(bool Value);
    bool Checked() const noexcept { return FChecked; }
    void SetChecked(bool Value);
    // Swallows WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH (each answered 0).
    bool BlockWinMsg() const noexcept { return FBlockWinMsg; }
    void SetBlockWinMsg(bool Value) noexcept { FBlockWinMsg = Value; }
    bool DisableIME() const noexcept { return FDisableIME; }
    void SetDisableIME(bool Value);
    bool Hot() const noexcept { return FHot; }
    // The caret is in its visible phase (it is drawn only while the field has the focus).
    bool CursorShowing() const noexcept { return FCursorShowing; }
    bool cursor_blinking() const noexcept { return FCursorTimer->Enabled(); }
    // The caret's x, worked out by the last paint.
    int CursorXPos() const noexcept { return FCursorXPos; }
    // Room the items take at the left and at the right edge.
    int LeftOffset() const noexcept { return FLeftOffset; }
    int RightOffset() const noexcept { return FRightOffset; }
    TPopupMenu& DefaultPopupMenu() noexcept { return *FDefaultPopupMenu; }

    virtual void SetCursorPos(int Value);
    // The position a pointer x falls on; -1 for an empty text.
    virtual int CharIndexAt(int X, int Y);
    virtual int TextRangeWidth(int From, int Count, const String& Text = {});
    virtual int CharWidth(int Index, const String& Text = {});
    virtual int TextHeight();
    virtual int HintTextHeight();

    TNotifyEvent OnChange;

    const property_table& PublishedProperties() const override;

protected:
    virtual void BuildPopupMenu(TPopupMenu* Menu);
    virtual void PopupMenuPopup(TObject* Sender);
    virtual std::int32_t GetMaxLength() { return FMaxLength; }
    virtual void ScrollToCursor();
    virtual void DrawCaret(TBitmap32* Bitmap, int X, int Index);
    virtual void DrawText(TBitmap32* Bitmap);
    virtual void DrawChar(TBitmap32* Bitmap, int X, bool Selected, const String& Text, int Y);
    virtual void DrawItems(TBitmap32* Bitmap);
    virtual void DrawTextHint(TBitmap32* Bitmap);
    void DrawBody(TBitmap32* Canvas) override;
    virtual void Change();

    void CreateWnd() override;
    void WndProc(TMessage& Message) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
    void KeyUp(std::uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char16_t& Key) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

private:
    struct margins {
        int left, right;
    };
    margins text_margins() const;
    int text_top(int height, int text_height) const;
    void restart_caret();
    void stop_caret();
    void clamp_positions();
    void update_item_room();
    void update_check_item();
    void menu_click(TObject* Sender);
    void cursor_tick();
    void delete_range(int Start, int Count);
    void word_move(int Step);
    TBitmap32* measure(const TFont& Font);
    void popup_default_menu(TPoint Screen);
    void handle_ime_start(TMessage& Message);
    void handle_ime_composition(TMessage& Message);
    bool handle_text_message(TMessage& Message);

    bool FAutoSelect = true;
    bool FHot = false;
    bool FReadOnly = false;
    std::unique_ptr<TSkEditItems> FItems;
    std::unique_ptr<TSkSpaceSize> FSpace;
    TSkResID FBorderNormal = u"SkinBorderNormal";
    TSkResID FBorderHot = u"SkinBorderHot";
    String FTextHint;
    std::unique_ptr<TFont> FFontHint;
    std::unique_ptr<TSimpleTimer> FCursorTimer;
    bool FBorderVisible = true;
    TColor FCursorColor = 0;
    TColor FOldFontColor = 0;
    bool FShowCheckBox = false;
    bool FChecked = false;
    TSkEditItem* FCheckItem = nullptr;
    bool FTextHintHideInKey = false;
    bool FBlockWinMsg = false;
    bool FDisableIME = false;
    detached_ime_context FHImc; // the window's input context while DisableIME holds it off
    std::unique_ptr<TSkinEditTips> FTips;
    std::unique_ptr<TPopupMenu> FDefaultPopupMenu;
    std::int32_t FMaxLength = 0;
    TShiftState FShiftState;
    TMouseButtons FMouseButtons;
    int FSelPoint1 = 0;
    int FSelPoint2 = 0;
    int FCursorPos = 0;
    bool FCursorShowing = false;
    int FFirstDisplayChar = 1;
    int FCursorXPos = 0;
    int FLeftOffset = 0;
    int FRightOffset = 0;
    // While the built-in menu is up the focus visits the menu's window: neither a leave nor an entry.
    bool FMenuShowing = false;
    // A typed lead unit waits for its trail: the pair goes in whole or not at all.
    char16_t FPendingLead = 0;
    std::unique_ptr<TBitmap32> FMeasure; // scratch bitmap the measuring draws on
};

class TSkinEdit : public TSkinPngEdit {
public:
    using TSkinPngEdit::TSkinPngEdit;

    const property_table& PublishedProperties() const override;
};

} // namespace kq
