#include "installer/controls/uSkinEdit.h"

#include "framework/Clipboard.h"
#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/Ime.h"
#include "framework/Properties.h"
#include "graphics/Raster.h"

#include <windowsx.h>
#include "skin/uSkRasterLib.h"
#include "skin/uSkinResManager.h"

#include <algorithm>
#include <cstring>

namespace kq {

namespace {

bool is_lead(char16_t c) noexcept { return c >= 0xD800 && c <= 0xDBFF; }
bool is_trail(char16_t c) noexcept { return c >= 0xDC00 && c <= 0xDFFF; }

// Units of the character that starts at offset i (2 for a whole surrogate pair).
int units_at(const String& text, int i) {
    const auto n = static_cast<int>(text.size());
    return i + 1 < n && is_lead(text[static_cast<size_t>(i)]) && is_trail(text[static_cast<size_t>(i) + 1]) ? 2 : 1;
}

// Units of the character that ends at position p.
int units_before(const String& text, int p) {
    return p >= 2 && is_trail(text[static_cast<size_t>(p) - 1]) && is_lead(text[static_cast<size_t>(p) - 2]) ? 2 : 1;
}

// True when p lies between the two units of a pair.
bool inside_pair(const String& text, int p) {
    return p > 0 && p < static_cast<int>(text.size()) && is_lead(text[static_cast<size_t>(p) - 1]) &&
           is_trail(text[static_cast<size_t>(p)]);
}

// The first count units of text, one fewer when the cut would split a pair.
String first_units(const String& text, int count) {
    if (count >= static_cast<int>(text.size())) return text;
    if (count > 0 && is_lead(text[static_cast<size_t>(count) - 1])) --count;
    return text.substr(0, static_cast<size_t>(std::max(count, 0)));
}

// The system default locale whose context menu is in Chinese: Chinese (simplified).
constexpr LCID chinese_menu_locale = 2052;

// What the context menu's entries look at to be enabled.
struct edit_menu_state {
    bool writable, selection, clipboard_text, text;
};

// One entry of the field's context menu, in menu order: its captions, its Tag, when it is enabled and
// what a click on it does (the separator does nothing).
struct edit_menu_row {
    StringView chinese;
    StringView english;
    std::int32_t tag;
    bool (*enabled)(const edit_menu_state&);
    void (TSkinPngEdit::*action)();
};

constexpr edit_menu_row edit_menu_rows[] = {
    {u"剪切", u"Cut", 2, [](const edit_menu_state& s) { return s.writable; }, &TSkinPngEdit::CutToClipboard},
    {u"复制", u"Copy", 3, [](const edit_menu_state& s) { return s.selection; }, &TSkinPngEdit::CopyToClipboard},
    {u"粘贴", u"Paste", 4, [](const edit_menu_state& s) { return s.writable && s.clipboard_text; },
     &TSkinPngEdit::PasteFromClipboard},
    {u"删除", u"Delete", 5, [](const edit_menu_state& s) { return s.writable && s.selection; },
     &TSkinPngEdit::ClearSelection},
    {u"-", u"-", 0, [](const edit_menu_state&) { return false; }, nullptr},
    {u"全选", u"Select All", 6, [](const edit_menu_state& s) { return s.text; }, &TSkinPngEdit::SelectAll},
};

std::vector<String> edit_menu_column(StringView edit_menu_row::*caption) {
    std::vector<String> captions;
    for (const edit_menu_row& row : edit_menu_rows) captions.emplace_back(row.*caption);
    return captions;
}

} // namespace

const std::vector<String>& edit_menu_captions(LCID Locale) {
    static const std::vector<String> chinese = edit_menu_column(&edit_menu_row::chinese);
    static const std::vector<String> english = edit_menu_column(&edit_menu_row::english);
    return Locale == chinese_menu_locale ? chinese : english;
}

// --- Life

TSkinPngEdit::TSkinPngEdit(TComponent* AOwner) : TSkinCustomControl(AOwner) {
    FItems = GetItemsClass()(this);
    FSpace = std::make_unique<TSkSpaceSize>();
    FSpace->SetLeft(4);
    FSpace->SetTop(6);
    FSpace->SetRight(4);
    FSpace->SetBottom(6);
    FSpace->OnChange = [this](TObject*) { Invalidate(); };
    FFontHint = std::make_unique<TFont>();
    FFontHint->SetColor(11711154);
    FCursorTimer = std::make_unique<TSimpleTimer>(500, [this](TObject*) { cursor_tick(); });
    FTips = std::make_unique<TSkinEditTips>(this);
    FDefaultPopupMenu = std::make_unique<TPopupMenu>(nullptr);
    FDefaultPopupMenu->OnPopup = [this](TObject* Sender) { PopupMenuPopup(Sender); };
    TSkinCustomControl::SetColor(0xFFFFFF);
    SetBounds(Left(), Top(), 120, 26);
    SetCursor(crIBeam);
    SetTabStop(true);
    TControlStyle style = ControlStyle();
    style.include(TControlStyleFlag::csCaptureMouse);
    style.include(TControlStyleFlag::csClickEvents);
    style.include(TControlStyleFlag::csDoubleClicks);
    SetControlStyle(style);
}

TSkinPngEdit::~TSkinPngEdit() {
    FItems->FEdit = nullptr; // the items no longer repaint a field that is going away
    FDefaultPopupMenu.reset();
    FTips.reset();
    FFontHint.reset();
    FSpace.reset();
    FCursorTimer.reset();
    FCheckItem = nullptr;
    FItems.reset();
}

void TSkinPngEdit::CreateWnd() {
    TSkinCustomControl::CreateWnd();
    if (FDisableIME) {
        FDisableIME = false;
        SetDisableIME(true);
    }
}

// --- Text, selection, cursor

void TSkinPngEdit::clamp_positions() {
    const auto len = static_cast<int>(FText.size());
    FCursorPos = std::clamp(FCursorPos, 0, len);
    if (inside_pair(FText, FCursorPos)) ++FCursorPos;
    FSelPoint1 = std::clamp(FSelPoint1, 0, len);
    FSelPoint2 = std::clamp(FSelPoint2, 0, len);
    if (inside_pair(FText, FSelPoint1)) ++FSelPoint1;
    if (inside_pair(FText, FSelPoint2)) ++FSelPoint2;
    FFirstDisplayChar = std::clamp(FFirstDisplayChar, 1, std::max(len, 1));
}

void TSkinPngEdit::SetText(const String& Value) {
    if (Value == FText) return;
    FText = FMaxLength >= 1 ? first_units(Value, FMaxLength) : Value;
    FCursorPos = FSelPoint1 = FSelPoint2 = 0;
    FFirstDisplayChar = 1;
    restart_caret();
    ScrollToCursor();
    Change();
}

void TSkinPngEdit::Clear() { SetText(u""); }

void TSkinPngEdit::SetMaxLength(std::int32_t Value) {
    FMaxLength = std::max(Value, 0);
    if (FMaxLength > 0 && static_cast<int>(FText.size()) > FMaxLength) SetText(first_units(FText, FMaxLength));
}

void TSkinPngEdit::SetSelStart(int Value) {
    Value = std::clamp(Value, 0, static_cast<int>(FText.size()));
    if (inside_pair(FText, Value)) --Value;
    FSelPoint1 = FSelPoint2 = Value;
    Invalidate();
}

void TSkinPngEdit::SetSelLength(int Value) {
    if (FReadOnly) return;
    if (FSelPoint1 >= FSelPoint2)
        FSelPoint1 = FSelPoint2 + Value;
    else
        FSelPoint2 = FSelPoint1 + Value;
    const auto len = static_cast<int>(FText.size());
    FSelPoint1 = std::clamp(FSelPoint1, 0, len);
    FSelPoint2 = std::clamp(FSelPoint2, 0, len);
    // A pair is selected whole or not at all.
    int& low = FSelPoint1 <= FSelPoint2 ? FSelPoint1 : FSelPoint2;
    int& high = FSelPoint1 <= FSelPoint2 ? FSelPoint2 : FSelPoint1;
    if (inside_pair(FText, low)) --low;
    if (inside_pair(FText, high)) ++high;
    Invalidate();
}

String TSkinPngEdit::SelText() const {
    return FText.substr(static_cast<size_t>(SelStart()), static_cast<size_t>(SelLength()));
}

void TSkinPngEdit::SetSelText(const String& Value) {
    if (FReadOnly) return;
    clamp_positions();
    const int length = SelLength();
    const int at = length > 0 ? SelStart() : FCursorPos;
    if (length > 0) FText.erase(static_cast<size_t>(at), static_cast<size_t>(length));
    FText.insert(static_cast<size_t>(at), Value);
    FCursorPos = FSelPoint1 = FSelPoint2 = at;
    SetCursorPos(at + static_cast<int>(Value.size()));
    FSelPoint1 = FSelPoint2 = FCursorPos;
    if (FMaxLength > 0) FText = first_units(FText, FMaxLength);
    clamp_positions();
    FSelPoint1 = FSelPoint2 = FCursorPos;
    ScrollToCursor();
    Change();
}

void TSkinPngEdit::SetCursorPos(int Value) {
    Value = std::clamp(Value, 0, static_cast<int>(FText.size()));
    restart_caret();
    const int old = FCursorPos;
    FCursorPos = Value;
    if (inside_pair(FText, Value)) FCursorPos = Value < old ? Value - 1 : Value + 1;
    if (FShiftState.contains(TShiftStateFlag::ssShift) || FMouseButtons.contains(TMouseButton::mbLeft)) {
        if (FSelPoint2 == old)
            FSelPoint2 = FCursorPos;
        else if (FSelPoint1 == old)
            FSelPoint1 = FCursorPos;
        else {
            // The selection lay elsewhere: it now runs from where the cursor was.
            FSelPoint1 = old;
            FSelPoint2 = FCursorPos;
        }
    } else {
        FSelPoint1 = FSelPoint2 = FCursorPos;
    }
    ScrollToCursor();
    Invalidate();
}

void TSkinPngEdit::SelectAll() {
    SetSelStart(0);
    SetSelLength(static_cast<int>(FText.size()));
}

void TSkinPngEdit::CopyToClipboard() {
    if (SelLength() > 0) Clipboard().SetAsText(SelText());
}

void TSkinPngEdit::CutToClipboard() {
    if (FReadOnly) return;
    CopyToClipboard();
    SetSelText(u"");
}

void TSkinPngEdit::PasteFromClipboard() {
    String text = Clipboard().AsText();
    std::erase_if(text, [](char16_t c) { return c == u'\r' || c == u'\n'; });
    SetSelText(text);
}

int TSkinPngEdit::GetSelTextBuf(char16_t* Buffer, int BufSize) {
    if (!Buffer || BufSize <= 0) return 0;
    const int count = std::min(BufSize, SelLength());
    if (count > 0) std::memcpy(Buffer, FText.data() + SelStart(), static_cast<size_t>(count) * sizeof(char16_t));
    return count;
}

void TSkinPngEdit::delete_range(int Start, int Count) {
    FText.erase(static_cast<size_t>(Start), static_cast<size_t>(Count));
    FCursorPos = FSelPoint1 = FSelPoint2 = Start;
    clamp_positions();
    ScrollToCursor();
    Change();
}

void TSkinPngEdit::Change() {
    restart_caret();
    Invalidate();
    if (OnChange) OnChange(this);
}

// --- Caret

void TSkinPngEdit::restart_caret() {
    FCursorTimer->SetEnabled(false);
    FCursorShowing = true;
    if (Focused()) FCursorTimer->SetEnabled(true);
}

void TSkinPngEdit::stop_caret() {
    FCursorTimer->SetEnabled(false);
    FCursorShowing = false;
}

void TSkinPngEdit::cursor_tick() {
    if (Focused()) {
        FCursorShowing = !FCursorShowing;
    } else {
        stop_caret();
    }
    Invalidate();
}

// --- Measuring

TBitmap32* TSkinPngEdit::measure(const TFont& Font) {
    if (!FMeasure) {
        FMeasure = std::make_unique<TBitmap32>();
        FMeasure->SetSize(1, 1);
    }
    FMeasure->Font()->Assign(&Font);
    return FMeasure.get();
}

int TSkinPngEdit::TextHeight() { return Parent() ? measure(Font())->TextHeight(u"Wg") : 12; }

int TSkinPngEdit::HintTextHeight() { return Parent() ? measure(*FFontHint)->TextHeight(u"Wg") : 12; }

int TSkinPngEdit::TextRangeWidth(int From, int Count, const String& Text) {
    const String& text = Text.empty() ? FText : Text;
    if (!Parent()) return 0;
    From = std::max(From, 1);
    const auto size = static_cast<int>(text.size());
    if (From > size) return 0;
    Count = std::min(Count, size - From + 1);
    if (Count <= 0) return 0;
    return measure(Font())->TextWidth(text.substr(static_cast<size_t>(From) - 1, static_cast<size_t>(Count)));
}

int TSkinPngEdit::CharWidth(int Index, const String& Text) {
    const String& text = Text.empty() ? FText : Text;
    if (text.empty() || !Parent()) return 0;
    const int at = std::max(Index, 1) - 1;
    if (at >= static_cast<int>(text.size())) return 0;
    return measure(Font())->TextWidth(text.substr(static_cast<size_t>(at), static_cast<size_t>(units_at(text, at))));
}

TSkinPngEdit::margins TSkinPngEdit::text_margins() const {
    return FSpace->Active() ? margins{FSpace->Left(), FSpace->Right()} : margins{8, 8};
}

int TSkinPngEdit::text_top(int height, int text_height) const {
    return FSpace->Active() ? FSpace->Top() : (height - text_height) / 2;
}

int TSkinPngEdit::CharIndexAt(int X, int) {
    if (FText.empty()) return -1;
    update_item_room();
    const margins m = text_margins();
    const auto len = static_cast<int>(FText.size());
    const int limit = Width() - FRightOffset - m.right;
    int x = m.left + FLeftOffset;
    // Each character's right edge decides: a pointer more than 3 pixels left of it stays before it.
    for (int i = FFirstDisplayChar - 1; i < len;) {
        x += CharWidth(i + 1);
        if (x >= X + 4) return i;
        i += units_at(FText, i);
        if (x >= limit) break;
    }
    return len;
}

void TSkinPngEdit::ScrollToCursor() {
    if (FText.empty()) {
        FFirstDisplayChar = 1;
        return;
    }
    update_item_room();
    if (FCursorPos < FFirstDisplayChar) FFirstDisplayChar = std::max(FCursorPos, 1);
    const int reserve = FSpace->Active() ? FSpace->Left() + FSpace->Right() + FLeftOffset + FRightOffset
                                         : FLeftOffset + FRightOffset + 12;
    const int room = Width() - reserve;
    const auto len = static_cast<int>(FText.size());
    // Also stops once the first shown character passes the cursor: a field narrower than its reserve
    // has no room at all and would otherwise never leave this loop.
    while (FFirstDisplayChar <= FCursorPos && FFirstDisplayChar <= len &&
           TextRangeWidth(FFirstDisplayChar, FCursorPos - FFirstDisplayChar + 1) >= room)
        FFirstDisplayChar += units_at(FText, FFirstDisplayChar - 1);
    FFirstDisplayChar = std::clamp(FFirstDisplayChar, 1, len);
}

// --- Items

void TSkinPngEdit::update_item_room() {
    int left = 0, right = 0;
    for (int i = 0; i < FItems->Count(); ++i) {
        TSkEditItem* item = FItems->Items(i);
        if (!item->Visible() || !item->MakeSpace()) continue;
        const TRect r = item->Rect();
        if (item->Pos().Align() == agLeft)
            left = std::max(left, r.Right);
        else
            right = std::max(right, Width() - r.Left);
    }
    FLeftOffset = std::max(left, 0);
    FRightOffset = std::max(right, 0);
}

void TSkinPngEdit::SetShowCheckBox(bool Value) {
    if (FShowCheckBox == Value) return;
    FShowCheckBox = Value;
    if (Value && !FCheckItem) {
        FCheckItem = FItems->Add();
        FCheckItem->SetKind(ikButton);
        FCheckItem->SetMakeSpace(true);
        FCheckItem->Pos().SetAlign(agLeft);
        FCheckItem->Pos().SetX(5);
        FCheckItem->Pos().SetY(6);
    }
    if (FCheckItem) FCheckItem->SetVisible(Value);
    update_check_item();
    Invalidate();
}

void TSkinPngEdit::SetChecked(bool Value) {
    if (FChecked == Value) return;
    FChecked = Value;
    update_check_item();
}

void TSkinPngEdit::update_check_item() {
    if (!FCheckItem) return;
    FCheckItem->SetImage(FChecked ? u"SkinCheckedCheckbox_18" : u"SkinUncheckedCheckbox_18");
    FCheckItem->SetImageHot(FChecked ? u"SkinCheckedCheckbox_18_h" : u"SkinUncheckedCheckbox_18_h");
}

void TSkinPngEdit::item_deleting(const TCollectionItem* Item) {
    if (FCheckItem == Item) FCheckItem = nullptr;
    Invalidate();
}

// --- Look

void TSkinPngEdit::SetBorderNormal(const TSkResID& Value) {
    if (FBorderNormal == Value) return;
    FBorderNormal = Value;
    Invalidate();
}

void TSkinPngEdit::SetBorderHot(const TSkResID& Value) {
    if (FBorderHot == Value) return;
    FBorderHot = Value;
    Invalidate();
}

void TSkinPngEdit::SetTextHint(const String& Value) {
    if (FTextHint == Value) return;
    FTextHint = Value;
    Invalidate();
}

// --- Painting

void TSkinPngEdit::DrawBody(TBitmap32* Canvas) {
    if (FBorderVisible) {
        TSkinImage* border = nullptr;
        if (Focused() || FHot) border = SkinResManager()->GetImageByName(FBorderHot);
        if (!border) border = SkinResManager()->GetImageByName(FBorderNormal);
        if (border) DrawNineSliceThirds(border, Canvas, false);
    }
    DrawItems(Canvas);
    DrawTextHint(Canvas);
    DrawText(Canvas);
}

void TSkinPngEdit::DrawItems(TBitmap32* Bitmap) {
    update_item_room();
    TSkinResManager* store = SkinResManager();
    for (int i = 0; i < FItems->Count(); ++i) {
        TSkEditItem* item = FItems->Items(i);
        if (!item->Visible()) continue;
        const int x = item->Pos().Align() == agLeft ? item->Pos().X() : Width() - item->Pos().X();
        const int y = item->Pos().Y();
        TSkinImage* image = nullptr;
        switch (item->Kind()) {
        case ikButton:
            if (i == FItems->HotIndex()) {
                if (FMouseButtons.contains(TMouseButton::mbLeft)) image = store->GetImageByName(item->ImagePress());
                if (!image) image = store->GetImageByName(item->ImageHot());
            }
            if (!image) image = store->GetImageByName(item->Image());
            break;
        case ikImage: image = store->GetImageByName(item->Image()); break;
        case ikText:
            Bitmap->Font()->Assign(&item->Font());
            Bitmap->Textout(x, y, item->Text());
            break;
        }
        if (image) image->DrawTo(Bitmap, x, y);
    }
}

void TSkinPngEdit::DrawTextHint(TBitmap32* Bitmap) {
    if (!FText.empty() || FTextHint.empty() || (Focused() && !FTextHintHideInKey)) return;
    Bitmap->Font()->Assign(FFontHint.get());
    const int x = FLeftOffset + text_margins().left;
    Bitmap->Textout(x, text_top(Height(), HintTextHeight()), FTextHint);
}

void TSkinPngEdit::DrawText(TBitmap32* Bitmap) {
    const int text_height = TextHeight();
    const int top = text_top(Bitmap->Height(), text_height);
    const margins m = text_margins();
    const int left = m.left + FLeftOffset;
    const int limit = Width() - (m.right + FRightOffset);
    const auto len = static_cast<int>(FText.size());
    const int sel_start = SelStart(), sel_length = SelLength();
    Bitmap->Font()->Assign(&Font());
    int x = left;
    int caret_x = -1; // the boundary at SelStart, when the character before it is on view
    for (int k = FFirstDisplayChar; k <= len;) {
        const int n = units_at(FText, k - 1);
        const String ch = FText.substr(static_cast<size_t>(k) - 1, static_cast<size_t>(n));
        const bool selected = sel_length >= 1 && sel_start < k && k <= sel_start + sel_length;
        DrawChar(Bitmap, x, selected, ch, top);
        x += Bitmap->TextWidth(ch);
        // A pair is one character: its boundary follows the trail.
        if (k + n - 1 == sel_start) caret_x = x;
        if (x >= limit) break;
        k += n;
    }
    // The caret stands at SelStart, whichever end of a selection the cursor is at; with that boundary
    // off view, one pixel left of the boundary after the character before the cursor.
    if (FCursorPos <= 0)
        FCursorXPos = left;
    else if (caret_x >= 0)
        FCursorXPos = caret_x;
    else
        FCursorXPos = left + TextRangeWidth(FFirstDisplayChar, FCursorPos - FFirstDisplayChar + 1) - 1;
    if (Focused() && FCursorShowing) DrawCaret(Bitmap, FCursorXPos, !FText.empty() && FCursorPos > 0 ? -1 : 0);
}

void TSkinPngEdit::DrawChar(TBitmap32* Bitmap, int X, bool Selected, const String& Text, int Y) {
    TFont* font = Bitmap->Font();
    Bitmap->Textout(X, Y, Text);
    if (!Selected || !Enabled()) return;
    const TColor colour = font->Color();
    const SIZE extent = Bitmap->TextExtent(Text);
    Bitmap->FillRectS(X, Y - 1, X + extent.cx, Y + extent.cy + 1, WinColorToColor32(clHighlight));
    font->SetColor(clHighlightText);
    Bitmap->Textout(X, Y, Text);
    font->SetColor(colour);
}

void TSkinPngEdit::DrawCaret(TBitmap32* Bitmap, int X, int Index) {
    if (Index >= 1) X += CharWidth(Index) - 1;
    const int height = TextHeight();
    const int top = text_top(Bitmap->Height(), height);
    Bitmap->VertLineS(X, top, top + height - 1, WinColorToColor32(FCursorColor));
}

// --- Context menu

void TSkinPngEdit::PopupMenuPopup(TObject* Sender) {
    auto* menu = dynamic_cast<TPopupMenu*>(Sender);
    if (!menu) return;
    menu->Items().Clear();
    BuildPopupMenu(menu);
}

void TSkinPngEdit::BuildPopupMenu(TPopupMenu* Menu) {
    bool clipboard_text = false;
    try {
        clipboard_text = !Clipboard().AsText().empty();
    } catch (const EClipboardException&) {
        // Held by another program: nothing to paste now.
    }
    const edit_menu_state state{!FReadOnly, SelLength() > 0, clipboard_text, !FText.empty()};
    const bool chinese = ::GetSystemDefaultLCID() == chinese_menu_locale;
    for (const edit_menu_row& row : edit_menu_rows) {
        auto* item = new TMenuItem(Menu);
        item->SetCaption(String(chinese ? row.chinese : row.english));
        item->SetTag(row.tag);
        item->SetEnabled(row.enabled(state));
        item->OnClick = [this](TObject* Sender) { menu_click(Sender); };
        Menu->Items().Add(item);
    }
}

void TSkinPngEdit::menu_click(TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(Sender);
    if (!item) return;
    for (const edit_menu_row& row : edit_menu_rows)
        if (row.action && row.tag == item->Tag()) (this->*row.action)();
}

void TSkinPngEdit::popup_default_menu(TPoint Screen) {
    // The menu takes the foreground for its own window; the field keeps its selection meanwhile, so that
    // the chosen entry acts on what was selected, and takes the focus back afterwards.
    FMenuShowing = true;
    auto done = scope_exit([this] {
        if (HandleAllocated() && ::GetFocus() != Handle()) {
            if (TCustomForm* form = GetParentForm(this); form && form->HandleAllocated())
                ::SetForegroundWindow(form->Handle());
            ::SetFocus(Handle());
        }
        FMenuShowing = false;
    });
    FDefaultPopupMenu->SetPopupComponent(this);
    FDefaultPopupMenu->Popup(Screen.X, Screen.Y);
}

// --- Input method

void TSkinPngEdit::SetDisableIME(bool Value) {
    if (FDisableIME == Value) return;
    FDisableIME = Value;
    if (!HandleAllocated()) return; // applied when the window is made
    if (Value)
        FHImc = detached_ime_context(Handle());
    else
        FHImc.restore();
}

// Failures in the input-method handlers are swallowed: a composition must not end in an error box. The
// context is an owner, so it is released on the way out either way.
void TSkinPngEdit::handle_ime_start(TMessage& Message) {
    try {
        TSkinCustomControl::WndProc(Message);
        const ime_context context(Handle());
        if (!context) return;
        context.SetCompositionFont(Font());
        context.SetCompositionWindow(RECT{0, 0, Width(), Height()}, POINT{FCursorXPos, 0});
    } catch (const Exception&) {
    }
}

void TSkinPngEdit::handle_ime_composition(TMessage& Message) {
    try {
        if (Message.LParam & GCS_RESULTSTR) {
            String result;
            bool has_context = false;
            {
                const ime_context context(Handle());
                has_context = static_cast<bool>(context);
                if (has_context) result = context.CompositionString(GCS_RESULTSTR);
            }
            if (has_context) {
                Message.Result = 0;
                SetSelText(result);
                return;
            }
        }
        TSkinCustomControl::WndProc(Message);
    } catch (const Exception&) {
    }
}

// --- Window text

bool TSkinPngEdit::handle_text_message(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SETTEXT:
        if (!FBlockWinMsg) {
            const auto* text = reinterpret_cast<const wchar_t*>(Message.LParam);
            SetText(text ? from_wide(text) : String());
        }
        Message.Result = FBlockWinMsg ? 0 : TRUE;
        return true;
    case WM_GETTEXT: {
        Message.Result = 0;
        auto* buffer = reinterpret_cast<wchar_t*>(Message.LParam);
        const WPARAM size = Message.WParam;
        if (FBlockWinMsg || !buffer || size == 0) return true;
        const size_t count = std::min<size_t>(FText.size(), size - 1);
        std::memcpy(buffer, FText.data(), count * sizeof(wchar_t));
        buffer[count] = L'\0';
        Message.Result = static_cast<LRESULT>(count);
        return true;
    }
    case WM_GETTEXTLENGTH:
        Message.Result = FBlockWinMsg ? 0 : static_cast<LRESULT>(FText.size());
        return true;
    default: return false;
    }
}

// --- Messages

void TSkinPngEdit::WndProc(TMessage& Message) {
    if (handle_text_message(Message)) return;
    switch (Message.Msg) {
    case WM_GETDLGCODE: Message.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_LBUTTONDBLCLK:
        TSkinCustomControl::WndProc(Message);
        SelectAll();
        stop_caret();
        Invalidate();
        return;
    case WM_SETFOCUS:
        TSkinCustomControl::WndProc(Message);
        if (FMenuShowing) {
            restart_caret();
            return;
        }
        FCursorShowing = true;
        FCursorTimer->SetEnabled(Focused());
        if (FAutoSelect) {
            SetSelStart(0);
            SetSelLength(static_cast<int>(FText.size()));
        } else {
            SetSelLength(0);
        }
        FHot = true;
        BringToFront();
        Invalidate();
        return;
    case WM_KILLFOCUS:
        TSkinCustomControl::WndProc(Message);
        FCursorTimer->SetEnabled(false);
        if (FMenuShowing) return;
        FHot = false;
        if (FAutoSelect) SetSelStart(0);
        SetSelLength(0);
        Invalidate();
        return;
    case CM_MOUSEENTER:
        TSkinCustomControl::WndProc(Message);
        BringToFront();
        SetCursor(crIBeam);
        FHot = true;
        Invalidate();
        return;
    case CM_MOUSELEAVE:
        TSkinCustomControl::WndProc(Message);
        if (!Focused()) SendToBack();
        FHot = false;
        if (FItems->HotIndex() >= 0) FItems->SetHotIndex(-1);
        Invalidate();
        return;
    case CM_ENABLEDCHANGED:
        TSkinCustomControl::WndProc(Message);
        if (!Enabled()) {
            FOldFontColor = Font().Color();
            Font().SetColor(13421772);
        } else {
            Font().SetColor(FOldFontColor);
        }
        return;
    case CM_FONTCHANGED:
        TSkinCustomControl::WndProc(Message);
        Change();
        return;
    case CM_TEXTCHANGED:
        // The text set without a window (by the framework's own text setter).
        clamp_positions();
        if (FMaxLength > 0) FText = first_units(FText, FMaxLength);
        clamp_positions();
        TSkinCustomControl::WndProc(Message);
        return;
    case WM_CONTEXTMENU: {
        if (PopupMenu()) break;
        TPoint p{GET_X_LPARAM(Message.LParam), GET_Y_LPARAM(Message.LParam)};
        if (p.X == -1 && p.Y == -1) p = to_TPoint(ClientToScreen({Width() / 2, Height() / 2}));
        popup_default_menu(p);
        Message.Result = 1;
        return;
    }
    case WM_IME_STARTCOMPOSITION:
        if (!FDisableIME) handle_ime_start(Message);
        return;
    case WM_IME_COMPOSITION:
        if (!FDisableIME) handle_ime_composition(Message);
        return;
    default: break;
    }
    TSkinCustomControl::WndProc(Message);
}

// --- Keyboard

void TSkinPngEdit::word_move(int Step) {
    const auto move = [&] { SetCursorPos(FCursorPos + Step); };
    if (!FShiftState.contains(TShiftStateFlag::ssCtrl)) {
        move();
        return;
    }
    for (;;) {
        const int old = FCursorPos;
        move();
        if (FCursorPos == old || (FCursorPos > 0 && FText[static_cast<size_t>(FCursorPos) - 1] == u' ')) return;
    }
}

void TSkinPngEdit::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    TSkinCustomControl::KeyDown(Key, Shift);
    // Recorded even for a key the handler cleared: a held Shift still extends later cursor moves.
    FShiftState = Shift;
    if (Key == 0) return;
    const bool ctrl = Shift.contains(TShiftStateFlag::ssCtrl);
    const auto len = static_cast<int>(FText.size());
    clamp_positions();
    switch (Key) {
    case VK_BACK:
        if (FReadOnly) break;
        if (SelLength() > 0)
            SetSelText(u"");
        else if (FCursorPos > 0) {
            const int n = units_before(FText, FCursorPos);
            delete_range(FCursorPos - n, n);
        }
        break;
    case VK_END: SetCursorPos(len); break;
    case VK_HOME: SetCursorPos(0); break;
    case VK_LEFT:
        if (FCursorPos > 0) word_move(-1);
        break;
    case VK_RIGHT:
        if (FCursorPos < len) word_move(1);
        break;
    case VK_DELETE:
        if (FReadOnly) break;
        if (SelLength() > 0)
            SetSelText(u"");
        else if (FCursorPos < len)
            delete_range(FCursorPos, units_at(FText, FCursorPos));
        break;
    case 'C':
        if (ctrl) CopyToClipboard();
        break;
    case 'V':
        if (ctrl) PasteFromClipboard();
        break;
    case 'X':
        if (ctrl) CutToClipboard();
        break;
    default: break;
    }
}

void TSkinPngEdit::KeyUp(std::uint16_t& Key, TShiftState Shift) {
    TSkinCustomControl::KeyUp(Key, Shift);
    FShiftState = Shift;
}

void TSkinPngEdit::KeyPress(char16_t& Key) {
    if (FReadOnly) return;
    if (Key < 32) {
        TSkinCustomControl::KeyPress(Key);
        return;
    }
    const bool completes_pair = FPendingLead && is_trail(Key);
    if (is_trail(Key) && !completes_pair) return; // the rest of a refused pair
    const int room_needed = is_lead(Key) ? 2 : 1;
    if (!completes_pair && FMaxLength > 0 && SelLength() == 0 &&
        static_cast<int>(FText.size()) + room_needed > FMaxLength) {
        FPendingLead = 0;
        return;
    }
    TSkinCustomControl::KeyPress(Key);
    if (Key == 0) {
        FPendingLead = 0;
        return;
    }
    if (is_lead(Key)) {
        FPendingLead = Key;
        return;
    }
    const String typed = FPendingLead && is_trail(Key) ? String{FPendingLead, Key} : String(1, Key);
    FPendingLead = 0;
    SetSelText(typed);
}

// --- Mouse

void TSkinPngEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    FShiftState = Shift;
    FMouseButtons.include(Button);
    if (HandleAllocated() && ::GetFocus() != Handle()) ::SetFocus(Handle());
    if (Button == TMouseButton::mbLeft) {
        if (FAutoSelect && Shift.contains(TShiftStateFlag::ssDouble)) {
            SelectAll();
            SetCursorPos(static_cast<int>(FText.size()));
        } else {
            SetCursorPos(CharIndexAt(X, Y));
            SetSelStart(FCursorPos);
        }
        if (FShowCheckBox && FCheckItem && PointInRect(FCheckItem->Rect(), {X, Y})) {
            FChecked = !FChecked;
            update_check_item();
        }
        for (int i = 0; i < FItems->Count(); ++i) {
            TSkEditItem* item = FItems->Items(i);
            if (item->Visible() && item->Kind() == ikButton && PointInRect(item->Rect(), {X, Y})) {
                item->Click();
                break;
            }
        }
    }
    TSkinCustomControl::MouseDown(Button, Shift, X, Y);
}

void TSkinPngEdit::MouseMove(TShiftState Shift, int X, int Y) {
    TSkinCustomControl::MouseMove(Shift, X, Y);
    if (FMouseButtons.contains(TMouseButton::mbLeft)) {
        int p = CharIndexAt(X, Y);
        if (p >= 0 && p < static_cast<int>(FText.size()) && is_trail(FText[static_cast<size_t>(p)])) ++p;
        SetCursorPos(p);
    }
    int hot = -1;
    for (int i = 0; i < FItems->Count() && hot < 0; ++i) {
        TSkEditItem* item = FItems->Items(i);
        if (item->Visible() && item->Kind() == ikButton && PointInRect(item->Rect(), {X, Y})) hot = i;
    }
    if (hot >= 0) {
        if (FItems->HotIndex() != hot) {
            FItems->SetHotIndex(hot);
            SetCursor(FItems->Items(hot)->Curosor());
            Invalidate();
        }
    } else if (FItems->HotIndex() >= 0) {
        SetCursor(crIBeam);
        FItems->SetHotIndex(-1);
        Invalidate();
    }
}

void TSkinPngEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    FShiftState = Shift;
    const bool was_left = Button == TMouseButton::mbLeft && FMouseButtons.contains(Button);
    FMouseButtons.exclude(Button);
    if (was_left) Invalidate();
    TSkinCustomControl::MouseUp(Button, Shift, X, Y);
}

// --- Published

const property_table& TSkinPngEdit::PublishedProperties() const {
    using C = TSkinPngEdit;
    static const property_table table = property_table::of<C>(TSkinCustomControl::PublishedProperties())
        .string(u"TextHint", &C::TextHint, &C::SetTextHint, String())
        .boolean(u"TextHintHideInKey", &C::TextHintHideInKey, &C::SetTextHintHideInKey, false)
        .color(u"CursorColor", &C::CursorColor, &C::SetCursorColor, TColor{0})
        .boolean(u"DisableIME", &C::DisableIME, &C::SetDisableIME, false);
    return table;
}

// The framework's own members (layout, font, colours, hints, popup menu, tab order, visibility, reading
// order and the mouse, key and focus events) come with the framework's tables.
const property_table& TSkinEdit::PublishedProperties() const {
    using C = TSkinEdit;
    static const property_table table = property_table::of<C>(TSkinPngEdit::PublishedProperties())
        .boolean(u"AutoSelect", &C::AutoSelect, &C::SetAutoSelect, true)
        .boolean(u"ShowCheckBox", &C::ShowCheckBox, &C::SetShowCheckBox, false)
        .boolean(u"Checked", &C::Checked, &C::SetChecked, false)
        .persistent(u"FontHint", [](const C& c) { return &const_cast<C&>(c).FontHint(); })
        .string(u"BorderNormal", &C::BorderNormal, &C::SetBorderNormal, String(u"SkinBorderNormal"))
        .string(u"BorderHot", &C::BorderHot, &C::SetBorderHot, String(u"SkinBorderHot"))
        .boolean(u"BorderVisible", &C::BorderVisible, &C::SetBorderVisible, true)
        .boolean(u"ReadOnly", &C::ReadOnly, &C::SetReadOnly, false)
        .string(u"Text", &C::Text, [](C& c, const String& v) { c.SetText(v); }, String())
        .integer(u"MaxLength", [](const C& c) { return const_cast<C&>(c).MaxLength(); }, &C::SetMaxLength, 0)
        .persistent(u"EdItems", [](const C& c) { return &const_cast<C&>(c).EdItems(); })
        .persistent(u"Space", [](const C& c) { return &const_cast<C&>(c).Space(); })
        .event<void(TObject*)>(u"OnChange", &C::OnChange);
    return table;
}

} // namespace kq
