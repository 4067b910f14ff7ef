#include "installer/controls/uSkinEdit.h"

#include "framework/Clipboard.h"
#include "framework/Exceptions.h"
#include "framework/Ime.h"
#include "framework/Properties.h"
#include "skin/uSkinResManager.h"

#include <thread>
#include <vector>

#include "ControlTestSupport.h"
#include "tests/PublishedRoundTrip.h"

using namespace kq;
using namespace kq::test;

namespace {

constexpr std::uint16_t ctrl = VK_CONTROL;
constexpr std::uint16_t shift = VK_SHIFT;
const String pair = u"\U0001F600"; // one character, two units

class skinned_edit : public edit_form {};

// --- Typing and keys

TEST_F(skinned_edit, TypedTextGoesInAtTheCursorAndRaisesOnChange) {
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    show();
    type(u"abc");
    EXPECT_EQ(edit->Text(), u"abc");
    EXPECT_EQ(edit->CursorPos(), 3);
    EXPECT_EQ(changes, 3);
    press(VK_LEFT);
    type(u"安");
    EXPECT_EQ(edit->Text(), u"ab安c");
    EXPECT_EQ(edit->CursorPos(), 3);
    type(pair);
    EXPECT_EQ(edit->Text(), u"ab安" + pair + u"c");
    EXPECT_EQ(edit->CursorPos(), 5);
}

// A pair typed into a field with room for one unit only is refused whole: no half of it stays.
TEST_F(skinned_edit, TypedPairNeedsRoomForBothUnits) {
    show();
    edit->SetText(u"ab");
    edit->SetMaxLength(3);
    edit->SetCursorPos(2);
    type(pair);
    EXPECT_EQ(edit->Text(), u"ab");
    type(u"c");
    EXPECT_EQ(edit->Text(), u"abc");
}

TEST_F(skinned_edit, MovesByCharacterWordAndEndWithShiftExtendingTheSelection) {
    show();
    edit->SetText(u"abc def");
    struct row {
        const char* name;
        int from;
        WORD key;
        std::initializer_list<WORD> held;
        int cursor;
        String selected;
    };
    const row rows[] = {
        {"left", 3, VK_LEFT, {}, 2, u""},
        {"right", 3, VK_RIGHT, {}, 4, u""},
        {"ctrl+left stops after a space", 6, VK_LEFT, {ctrl}, 4, u""},
        {"ctrl+left to the start", 4, VK_LEFT, {ctrl}, 0, u""},
        {"ctrl+right stops after a space", 0, VK_RIGHT, {ctrl}, 4, u""},
        {"shift+ctrl+left selects", 6, VK_LEFT, {shift, ctrl}, 4, u"de"},
        {"home", 5, VK_HOME, {}, 0, u""},
        {"end", 2, VK_END, {}, 7, u""},
        {"shift+home", 5, VK_HOME, {shift}, 0, u"abc d"},
        {"shift+end", 2, VK_END, {shift}, 7, u"c def"},
        {"left at the start", 0, VK_LEFT, {}, 0, u""},
        {"up moves nothing", 3, VK_UP, {}, 3, u""},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        edit->SetCursorPos(r.from);
        edit->SetSelStart(r.from);
        press(r.key, r.held);
        EXPECT_EQ(edit->CursorPos(), r.cursor);
        EXPECT_EQ(edit->SelText(), r.selected);
    }
}

TEST_F(skinned_edit, BackspaceAndDeleteTakeASurrogatePairWhole) {
    show();
    edit->SetText(u"a" + pair + u"b");
    edit->SetCursorPos(3); // after the pair
    press(VK_BACK);
    EXPECT_EQ(edit->Text(), u"ab");
    EXPECT_EQ(edit->CursorPos(), 1);
    edit->SetText(u"a" + pair + u"b");
    edit->SetCursorPos(1);
    press(VK_DELETE);
    EXPECT_EQ(edit->Text(), u"ab");
    EXPECT_EQ(edit->CursorPos(), 1);
    // The cursor steps over a pair; shift selects it whole.
    edit->SetText(u"a" + pair + u"b");
    edit->SetCursorPos(1);
    press(VK_RIGHT);
    EXPECT_EQ(edit->CursorPos(), 3);
    press(VK_LEFT, {shift});
    EXPECT_EQ(edit->SelText(), pair);
    press(VK_DELETE);
    EXPECT_EQ(edit->Text(), u"ab");
}

TEST_F(skinned_edit, CursorBetweenTheUnitsOfAPairLandsBesideIt) {
    edit->SetText(u"a" + pair + u"b");
    edit->SetCursorPos(0);
    edit->SetCursorPos(2); // moving right
    EXPECT_EQ(edit->CursorPos(), 3);
    edit->SetCursorPos(2); // moving left
    EXPECT_EQ(edit->CursorPos(), 1);
}

TEST_F(skinned_edit, MaximumLengthRefusesTypingButTakesAReplacedSelection) {
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    show();
    edit->SetText(u"abcde");
    edit->SetMaxLength(5);
    changes = 0;
    edit->SetCursorPos(5);
    type(u"f");
    EXPECT_EQ(edit->Text(), u"abcde");
    EXPECT_EQ(changes, 0);
    edit->SetCursorPos(2);
    press(VK_RIGHT, {shift});
    press(VK_RIGHT, {shift});
    type(u"f");
    EXPECT_EQ(edit->Text(), u"abfe");
    EXPECT_EQ(edit->CursorPos(), 3);
}

TEST_F(skinned_edit, ReadOnlyFieldIgnoresEditingButMovesAndSelects) {
    show();
    edit->SetText(u"abc");
    edit->SetReadOnly(true);
    edit->SetCursorPos(3);
    type(u"x");
    press(VK_BACK);
    press(VK_LEFT, {shift});
    EXPECT_EQ(edit->Text(), u"abc");
    EXPECT_EQ(edit->SelText(), u"c");
    press(VK_DELETE);
    EXPECT_EQ(edit->Text(), u"abc");
}

// --- Text, selection and cursor kept inside the text

TEST_F(skinned_edit, SelectionAndCursorStayInsideTheTextAfterEveryChange) {
    edit->SetText(u"abcdef");
    edit->SetSelStart(2);
    edit->SetSelLength(-5); // reaches before the start
    EXPECT_EQ(edit->SelStart(), 0);
    EXPECT_EQ(edit->SelLength(), 2);
    edit->SetSelStart(4);
    edit->SetSelLength(100);
    EXPECT_EQ(edit->SelText(), u"ef");
    edit->SetSelStart(99);
    EXPECT_EQ(edit->SelStart(), 6);

    // Cut to the maximum length, the cursor after the inserted text comes back to the end.
    edit->SetMaxLength(5);
    EXPECT_EQ(edit->Text(), u"abcde");
    EXPECT_EQ(edit->CursorPos(), 0);
    edit->SetCursorPos(5);
    edit->SetSelText(u"xyz");
    EXPECT_EQ(edit->Text(), u"abcde");
    EXPECT_EQ(edit->CursorPos(), 5);
    EXPECT_EQ(edit->SelLength(), 0);
    edit->SetMaxLength(0);
    EXPECT_EQ(edit->Text(), u"abcde");

    // A cut never splits a pair.
    edit->SetText(u"ab" + pair);
    edit->SetMaxLength(3);
    EXPECT_EQ(edit->Text(), u"ab");
}

TEST_F(skinned_edit, AssigningTheSameTextChangesNothing) {
    edit->SetText(u"abc");
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->SetCursorPos(2);
    edit->SetText(u"abc");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(edit->CursorPos(), 2);
}

// --- Window text messages

TEST_F(skinned_edit, WindowTextMessagesAnswerWithinTheBuffer) {
    show();
    const HWND w = edit->Handle();
    ::SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"abcdef"));
    EXPECT_EQ(edit->Text(), u"abcdef");
    EXPECT_EQ(::SendMessageW(w, WM_GETTEXTLENGTH, 0, 0), 6);

    wchar_t buffer[8] = {L'#', L'#', L'#', L'#', L'#', L'#', L'#', L'#'};
    EXPECT_EQ(::SendMessageW(w, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 3);
    EXPECT_EQ(std::wstring(buffer), L"abc");
    EXPECT_EQ(buffer[4], L'#');

    // A zero size or a missing buffer copies nothing; a missing text is empty.
    buffer[0] = L'#';
    EXPECT_EQ(::SendMessageW(w, WM_GETTEXT, 0, reinterpret_cast<LPARAM>(buffer)), 0);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(::SendMessageW(w, WM_GETTEXT, 4, 0), 0);
    ::SendMessageW(w, WM_SETTEXT, 0, 0);
    EXPECT_EQ(edit->Text(), u"");

    // Blocked: nothing in, nothing out.
    edit->SetText(u"abcdef");
    edit->SetBlockWinMsg(true);
    EXPECT_EQ(::SendMessageW(w, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 0);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(::SendMessageW(w, WM_GETTEXTLENGTH, 0, 0), 0);
    ::SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"));
    EXPECT_EQ(edit->Text(), u"abcdef");
}

TEST_F(skinned_edit, AsksForArrowKeysAndCharactersOnly) {
    show();
    for (const WPARAM key : {WPARAM{VK_TAB}, WPARAM{VK_RETURN}, WPARAM{VK_LEFT}, WPARAM{'A'}})
        EXPECT_EQ(::SendMessageW(edit->Handle(), WM_GETDLGCODE, key, 0), 129);
}

// --- Caret

TEST_F(skinned_edit, CaretBlinksWhileFocusedAndStopsWhenFocusLeaves) {
    show();
    EXPECT_TRUE(edit->cursor_blinking());
    bool seen_hidden = false, seen_shown = false;
    pump_until([&] {
        (edit->CursorShowing() ? seen_shown : seen_hidden) = true;
        return seen_hidden && seen_shown;
    }, 2500);
    EXPECT_TRUE(seen_hidden && seen_shown);

    ::SetFocus(form->Handle());
    settle();
    EXPECT_FALSE(edit->cursor_blinking());
}

// --- Scrolling

// Scrolling to the cursor ends also in a field narrower than its inner spacing (8 + 8 here).
TEST_F(skinned_edit, NarrowFieldTakesTypedCharactersPromptly) {
    show();
    for (const int width : {20, 12, 2}) {
        SCOPED_TRACE(width);
        edit->SetWidth(width);
        edit->Clear();
        type(String(200, u'm'));
        EXPECT_TRUE(pump_until([&] { return edit->Text().size() == 200; }, 20000));
        EXPECT_EQ(edit->CursorPos(), static_cast<int>(edit->Text().size()));
        EXPECT_GE(edit->FirstDisplayChar(), 1);
        EXPECT_LE(edit->FirstDisplayChar(), 200);
    }
}

TEST_F(skinned_edit, LongTextScrollsToKeepTheCursorInView) {
    show();
    edit->SetText(String(120, u'w'));
    edit->SetCursorPos(120);
    EXPECT_GT(edit->FirstDisplayChar(), 1);
    EXPECT_LT(edit->TextRangeWidth(edit->FirstDisplayChar(), 120 - edit->FirstDisplayChar() + 1), 418 - 16);
    press(VK_HOME);
    EXPECT_EQ(edit->FirstDisplayChar(), 1);
}

// --- Mouse

// Where a pointer x falls: 3 pixels left of a character's right edge is after it, 4 or more before it.
TEST_F(skinned_edit, PointerPositionFallsOnTheNearerSideOfACharactersRightEdge) {
    show();
    edit->SetText(u"mmmmmm");
    const int w = edit->CharWidth(1);
    const int left = 8;
    struct row {
        int x;
        int position;
    };
    const row rows[] = {
        {left, 0},          {left + w - 4, 0},     {left + w - 3, 1},     {left + 2 * w - 3, 2},
        {left + 6 * w - 3, 6}, {left + 6 * w + 50, 6}, {400, 6},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.x);
        EXPECT_EQ(edit->CharIndexAt(r.x, 0), r.position);
    }
    edit->Clear();
    EXPECT_EQ(edit->CharIndexAt(20, 0), -1);
    // Characters of different widths: each one's own width decides.
    edit->SetText(u"iW");
    const int i = edit->CharWidth(1), W = edit->CharWidth(2);
    EXPECT_EQ(edit->CharIndexAt(left + i + W - 3, 0), 2);
    EXPECT_EQ(edit->CharIndexAt(left + i + W - 4, 0), 1);
}

TEST_F(skinned_edit, ClickPlacesTheCursorAndDragSelects) {
    show();
    edit->SetText(u"mmmmmm");
    const int w = edit->CharWidth(1);
    const int y = 16;
    click(8 + 2 * w + 1, y);
    EXPECT_EQ(edit->CursorPos(), 2);
    EXPECT_EQ(edit->SelLength(), 0);
    edit->Repaint();
    EXPECT_EQ(edit->CursorXPos(), 8 + 2 * w);

    mouse_to(at(8 + 1 * w + 1, y));
    settle(20);
    left_down();
    settle(20);
    mouse_to(at(8 + 4 * w + 1, y));
    settle(40);
    left_up();
    settle();
    EXPECT_EQ(edit->CursorPos(), 4);
    EXPECT_EQ(edit->SelText(), u"mmm");

    // A drag past the end never reads past the text.
    left_down();
    settle(20);
    mouse_to(at(415, y));
    settle(40);
    left_up();
    settle();
    EXPECT_EQ(edit->CursorPos(), 6);
}

TEST_F(skinned_edit, DoubleClickSelectsAllAndHidesTheCaretUntilTheNextMove) {
    show();
    edit->SetText(u"abc def");
    for (const bool auto_select : {true, false}) {
        SCOPED_TRACE(auto_select);
        edit->SetAutoSelect(auto_select);
        const POINT p = at(8 + edit->TextRangeWidth(1, 2) + 1, 16);
        mouse_to(p);
        settle(20);
        left_down();
        left_up();
        left_down();
        left_up();
        settle(80);
        EXPECT_EQ(edit->SelText(), u"abc def");
        EXPECT_EQ(edit->CursorPos(), auto_select ? 7 : 2);
        EXPECT_FALSE(edit->CursorShowing());
        ::Sleep(600); // no double click with the next one
        click(8 + 1, 16);
        EXPECT_EQ(edit->SelLength(), 0);
        EXPECT_EQ(edit->CursorPos(), 0);
        EXPECT_TRUE(edit->CursorShowing());
    }
}

TEST_F(skinned_edit, PointerOverTheFieldMakesItHot) {
    form->Show();
    settle(100);
    mouse_to(at(100, 10));
    settle();
    EXPECT_TRUE(edit->Hot());
    mouse_to(form->ClientToScreen({5, 5}));
    settle();
    EXPECT_FALSE(edit->Hot());
}

// --- Focus

TEST_F(skinned_edit, EnteringSelectsAllAndLeavingEmptiesTheSelection) {
    auto* other = new TSkinEdit(form);
    other->SetParent(form);
    other->SetBounds(32, 120, 200, 32);
    show();
    edit->SetText(u"abc");
    ::SetFocus(other->Handle());
    settle();
    EXPECT_EQ(edit->SelLength(), 0);
    EXPECT_EQ(edit->SelStart(), 0);
    EXPECT_FALSE(edit->cursor_blinking());
    edit->SetFocus();
    settle();
    EXPECT_EQ(edit->SelText(), u"abc");
    EXPECT_TRUE(edit->cursor_blinking());

    edit->SetAutoSelect(false);
    ::SetFocus(other->Handle());
    settle();
    edit->SetFocus();
    settle();
    EXPECT_EQ(edit->SelLength(), 0);
}

TEST_F(skinned_edit, FontChangeAndDisablingRaiseOnChange) {
    show();
    int changes = 0;
    edit->OnChange = [&](TObject*) { ++changes; };
    edit->Font().SetHeight(-14);
    EXPECT_EQ(changes, 1);
    const TColor colour = edit->Font().Color();
    edit->SetEnabled(false);
    EXPECT_EQ(edit->Font().Color(), 13421772);
    edit->SetEnabled(true);
    EXPECT_EQ(edit->Font().Color(), colour);
}

// --- Clipboard

TEST_F(skinned_edit, CopyCutAndPasteGoThroughTheSystemClipboard) {
    show();
    edit->SetText(u"abcd");
    edit->SetCursorPos(1);
    press(VK_RIGHT, {shift});
    press(VK_RIGHT, {shift});
    press('C', {ctrl});
    EXPECT_EQ(Clipboard().AsText(), u"bc");
    press('X', {ctrl});
    EXPECT_EQ(edit->Text(), u"ad");
    EXPECT_EQ(edit->CursorPos(), 1);
    press(VK_END);
    press('V', {ctrl});
    EXPECT_EQ(edit->Text(), u"adbc");

    // Other letters with Ctrl do nothing here; line breaks of a pasted text are left out.
    press('A', {ctrl});
    press('Z', {ctrl});
    EXPECT_EQ(edit->Text(), u"adbc");
    Clipboard().SetAsText(u"x\r\ny\n");
    press('V', {ctrl});
    EXPECT_EQ(edit->Text(), u"adbcxy");

    // An empty clipboard deletes the selection.
    Clipboard().Clear();
    press(VK_LEFT, {shift});
    press('V', {ctrl});
    EXPECT_EQ(edit->Text(), u"adbcx");
}

TEST_F(skinned_edit, SelectionCopiesIntoABufferWithoutTerminator) {
    edit->SetText(u"abcdef");
    edit->SetSelStart(1);
    edit->SetSelLength(3);
    char16_t buffer[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(edit->GetSelTextBuf(buffer, 2), 2);
    EXPECT_EQ(String(buffer, 4), u"bc##");
    EXPECT_EQ(edit->GetSelTextBuf(nullptr, 2), 0);
    EXPECT_EQ(edit->GetSelTextBuf(buffer, -1), 0);
}

// --- Context menu

TEST(edit_menu_captions, ChineseForTheSimplifiedChineseLocaleElseEnglish) {
    EXPECT_EQ(edit_menu_captions(2052), (std::vector<String>{u"剪切", u"复制", u"粘贴", u"删除", u"-", u"全选"}));
    for (const LCID other : {LCID{1033}, LCID{1028}, LCID{2057}})
        EXPECT_EQ(edit_menu_captions(other),
                  (std::vector<String>{u"Cut", u"Copy", u"Paste", u"Delete", u"-", u"Select All"}));
}

struct menu_entry {
    String caption;
    bool enabled;
};

// Reads the popup menu once it shows, then closes it.
std::thread read_popup(std::vector<menu_entry>& entries) {
    return std::thread([&entries] {
        for (int i = 0; i < 500; ++i) {
            const HWND w = ::FindWindowW(L"#32768", nullptr);
            const HMENU menu = w ? reinterpret_cast<HMENU>(::SendMessageW(w, MN_GETHMENU, 0, 0)) : nullptr;
            if (menu && ::IsWindowVisible(w)) {
                for (int k = 0; k < ::GetMenuItemCount(menu); ++k) {
                    wchar_t text[64] = {};
                    MENUITEMINFOW info{};
                    info.cbSize = sizeof info;
                    info.fMask = MIIM_STRING | MIIM_STATE | MIIM_FTYPE;
                    info.dwTypeData = text;
                    info.cch = 64;
                    ::GetMenuItemInfoW(menu, static_cast<UINT>(k), TRUE, &info);
                    entries.push_back({(info.fType & MFT_SEPARATOR) ? String(u"-") : from_wide(text),
                                       !(info.fState & MFS_DISABLED)});
                }
                ::SendMessageW(PopupList->Window(), WM_CANCELMODE, 0, 0);
                return;
            }
            ::Sleep(10);
        }
    });
}

TEST_F(skinned_edit, ContextMenuOffersTheEntriesTheFieldCanDoNow) {
    show();
    const std::vector<String>& captions = edit_menu_captions(::GetSystemDefaultLCID());
    struct row {
        const char* name;
        String text;
        bool read_only;
        bool select;
        bool clipboard;
        bool enabled[6];
    };
    const row rows[] = {
        {"empty, editable, clipboard empty", u"", false, false, false, {true, false, false, false, false, false}},
        {"empty, clipboard text", u"", false, false, true, {true, false, true, false, false, false}},
        {"selection", u"abc", false, true, true, {true, true, true, true, false, true}},
        {"read-only with a selection", u"abc", true, true, true, {false, true, false, false, false, true}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        edit->SetReadOnly(false);
        edit->SetText(r.text);
        if (r.select) edit->SelectAll();
        edit->SetReadOnly(r.read_only);
        if (r.clipboard)
            Clipboard().SetAsText(u"clip");
        else
            Clipboard().Clear();
        std::vector<menu_entry> entries;
        std::thread user = read_popup(entries);
        right_click(at(200, 16));
        user.join();
        settle();
        ASSERT_EQ(entries.size(), captions.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].caption, captions[i]) << i;
            EXPECT_EQ(entries[i].enabled, r.enabled[i]) << i;
        }
    }
}

// The menu's window takes the foreground while it is up; the field keeps its selection and focus.
TEST_F(skinned_edit, ContextMenuEntriesActOnTheSelectionMadeBeforeIt) {
    show();
    edit->SetText(u"abcd");
    edit->SetCursorPos(1);
    press(VK_RIGHT, {shift});
    press(VK_RIGHT, {shift});
    std::vector<menu_entry> entries;
    std::thread user = read_popup(entries);
    right_click(at(200, 16));
    user.join();
    settle();
    EXPECT_EQ(edit->SelText(), u"bc");
    EXPECT_TRUE(edit->Focused());

    TMenu& menu = edit->DefaultPopupMenu();
    auto choose = [&](int index) {
        ::PostMessageW(PopupList->Window(), WM_COMMAND, menu.Items().Items(index)->Command(), 0);
        settle();
    };
    choose(1); // copy
    EXPECT_EQ(Clipboard().AsText(), u"bc");
    choose(3); // delete
    EXPECT_EQ(edit->Text(), u"ad");
    choose(2); // paste
    EXPECT_EQ(edit->Text(), u"abcd");
    choose(5); // select all
    EXPECT_EQ(edit->SelText(), u"abcd");
    choose(0); // cut
    EXPECT_EQ(edit->Text(), u"");
    EXPECT_EQ(Clipboard().AsText(), u"abcd");
}

// --- Input method

// Composed text goes in as typed text does, also into a full field, which is then cut back.
TEST_F(skinned_edit, ComposedTextGoesInAtTheCursor) {
    show();
    edit->SetText(u"ab");
    edit->SetCursorPos(1);
    compose(edit->Handle(), u"安装");
    settle();
    EXPECT_EQ(edit->Text(), u"a安装b");
    EXPECT_EQ(edit->CursorPos(), 3);
    edit->SetMaxLength(5);
    compose(edit->Handle(), u"位置");
    settle();
    EXPECT_EQ(edit->Text(), u"a安装位置");
}

TEST_F(skinned_edit, DisabledInputMethodTakesNoComposition) {
    show();
    EXPECT_TRUE(ime_context(edit->Handle()));
    edit->SetDisableIME(true);
    EXPECT_FALSE(ime_context(edit->Handle()));
    compose(edit->Handle(), u"安装");
    edit->Perform(WM_IME_COMPOSITION, 0, GCS_RESULTSTR);
    settle();
    EXPECT_EQ(edit->Text(), u"");
    edit->SetDisableIME(false);
    EXPECT_TRUE(ime_context(edit->Handle()));
}

// The field's window made again while the input method is off: the new window has none either, and
// allowing the input method gives the new window its context back.
TEST_F(skinned_edit, InputMethodStaysOffAcrossANewWindow) {
    show();
    edit->SetDisableIME(true);
    const HWND before = edit->Handle();
    edit->RecreateWnd();
    const HWND after = edit->Handle();
    ASSERT_NE(after, before);
    EXPECT_FALSE(ime_context(after));
    edit->SetDisableIME(false);
    EXPECT_TRUE(ime_context(after));
}

// A failure while composed text goes in (here OnChange raising) stays inside the field: no error box, and
// the text is in.
int reported_errors = 0;
void count_error(const std::exception_ptr&) { ++reported_errors; }

TEST_F(skinned_edit, FailuresInTheInputMethodHandlersAreSwallowed) {
    show();
    edit->OnChange = [](TObject*) { throw Exception(u"refused"); };
    const exception_handler previous = get_exception_handler();
    set_exception_handler(count_error);
    reported_errors = 0;
    ::SendMessageW(edit->Handle(), WM_IME_STARTCOMPOSITION, 0, 0);
    compose(edit->Handle(), u"安装");
    settle();
    set_exception_handler(previous);
    EXPECT_EQ(reported_errors, 0);
    EXPECT_EQ(edit->Text(), u"安装");
    edit->OnChange = nullptr;
    // The field goes on taking compositions.
    compose(edit->Handle(), u"位置");
    settle();
    EXPECT_EQ(edit->Text(), u"安装位置");
}

// --- Painting

std::uint32_t rgb_of(TColor c) {
    const auto v = static_cast<std::uint32_t>(ColorToRGB(c));
    return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

bool any_pixel(const window_pixels& px, RECT area, const std::function<bool(std::uint32_t)>& wanted) {
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (wanted(px.at(x, y))) return true;
    return false;
}

// One picture: an empty field with its hint, and a focused, hot field with text, a selection and the caret.
TEST_F(skinned_edit, ShowsHintTextSelectionCaretAndHotBorder) {
    auto* hinted = new TSkinEdit(form);
    hinted->SetParent(form);
    hinted->SetBounds(32, 10, 418, 32);
    hinted->SetBorderNormal(u"00603[36x22x8BPP]");
    hinted->SetBorderHot(u"00601[36x22x8BPP]");
    hinted->Space().SetLeft(8);
    hinted->Space().SetTop(7);
    hinted->FontHint().SetName(u"微软雅黑");
    hinted->FontHint().SetHeight(-12);
    hinted->SetTextHint(u"请选择安装位置");
    show();
    edit->SetText(u"D:\\KQ\\TSR\\");
    edit->SetCursorPos(2);
    press(VK_END, {shift});
    mouse_to(at(300, 16));
    settle(100);
    ASSERT_TRUE(pump_until([&] { return edit->CursorShowing(); }, 1500));
    form->Repaint();
    const window_pixels px(form->Handle());
    px.save(L"skinned_edit.bmp");

    // The hint in grey 178, inside the empty field.
    EXPECT_TRUE(any_pixel(px, {32 + 8, 10 + 7, 32 + 120, 10 + 24}, [](std::uint32_t p) {
        return (p & 0xFF) < 200 && (p & 0xFF) > 150;
    }));
    // The selection in the highlight colour, from position 2 to the end.
    const int sel_left = 32 + 8 + edit->TextRangeWidth(1, 2);
    EXPECT_TRUE(any_pixel(px, {sel_left + 1, 58 + 8, sel_left + 10, 58 + 20},
                          [](std::uint32_t p) { return p == rgb_of(clHighlight); }));
    // The caret: a black column at the selection's start, though the cursor is at its end.
    EXPECT_EQ(edit->CursorXPos(), 8 + edit->TextRangeWidth(1, 2));
    const int caret = 32 + edit->CursorXPos();
    EXPECT_TRUE(any_pixel(px, {caret, 58 + 8, caret + 1, 58 + 20}, [](std::uint32_t p) { return p == 0; }));
    // The hot border differs from the normal one at the same place.
    EXPECT_NE(px.at(32 + 100, 58), px.at(32 + 100, 10));
}

// The hint shows in an empty field while it has no focus, or also while focused with TextHintHideInKey.
TEST_F(skinned_edit, HintShowsOnlyInAnEmptyFieldWithoutFocusUnlessKeptWhileTyping) {
    edit->SetTextHint(u"WWWW");
    edit->FontHint().SetColor(0x0000FF);
    auto* other = new TSkinEdit(form);
    other->SetParent(form);
    other->SetBounds(32, 120, 200, 32);
    show();
    struct row {
        const char* name;
        bool focused;
        bool keep;
        String text;
        bool shows;
    };
    const row rows[] = {
        {"unfocused, empty", false, false, u"", true},
        {"focused, empty", true, false, u"", false},
        {"focused, kept while typing", true, true, u"", true},
        {"unfocused, with text", false, false, u"x", false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        edit->SetText(r.text);
        edit->SetTextHintHideInKey(r.keep);
        ::SetFocus(r.focused ? edit->Handle() : other->Handle());
        settle();
        edit->Repaint();
        bool red = false;
        for (int y = 0; y < edit->Height(); ++y)
            for (int x = 0; x < edit->Width(); ++x)
                red = red || (edit->Buffer()->GetPixel(x, y) & 0xFFFFFF) == 0xFF0000;
        EXPECT_EQ(red, r.shows);
    }
}

// --- Items and the check box item

// Runtime images under the check box item's names, taken out again at the end.
struct check_box_images {
    check_box_images() {
        TBitmap32 image;
        image.SetSize(18, 18);
        image.Clear(MakeColor32(0, 120, 215));
        for (const char16_t* name : names) SkinResManager()->AddRes(&image, name, u"");
    }
    ~check_box_images() {
        for (const char16_t* name : names) SkinResManager()->Delete(name);
    }
    static constexpr const char16_t* names[] = {u"SkinCheckedCheckbox_18", u"SkinCheckedCheckbox_18_h",
                                                u"SkinUncheckedCheckbox_18", u"SkinUncheckedCheckbox_18_h"};
};

TEST_F(skinned_edit, CheckBoxItemReservesRoomAndTogglesOnAClick) {
    const check_box_images images;
    edit->SetText(u"abc");
    edit->SetShowCheckBox(true);
    show();
    edit->Repaint();
    EXPECT_EQ(edit->LeftOffset(), 5 + 18);
    EXPECT_EQ(edit->CharIndexAt(5 + 18 + 8 + 1, 0), 0);
    ASSERT_EQ(edit->EdItems().Count(), 1);
    TSkEditItem* box = edit->EdItems().Items(0);
    EXPECT_EQ(box->Image(), u"SkinUncheckedCheckbox_18");
    click(10, 10);
    EXPECT_TRUE(edit->Checked());
    EXPECT_EQ(box->Image(), u"SkinCheckedCheckbox_18");
    EXPECT_EQ(box->ImageHot(), u"SkinCheckedCheckbox_18_h");
    edit->SetShowCheckBox(false);
    edit->Repaint();
    EXPECT_FALSE(box->Visible());
    EXPECT_EQ(edit->LeftOffset(), 0);
}

TEST_F(skinned_edit, ButtonItemsAreClickedAndHotUnderThePointer) {
    TSkinImage* cancel = SkinResManager()->GetImageByName(u"SkinCancel_18_Normal");
    ASSERT_NE(cancel, nullptr);
    TSkEditItem* item = edit->EdItems().Add();
    item->SetImage(u"SkinCancel_18_Normal");
    item->SetImageHot(u"SkinCancel_18_Hot");
    item->Pos().SetAlign(agRight);
    item->Pos().SetX(26);
    item->Pos().SetY(7);
    item->SetCurosor(crHandPoint);
    int clicks = 0;
    item->OnClick = [&](TObject*) { ++clicks; };
    show();
    edit->Repaint();
    EXPECT_EQ(edit->RightOffset(), 26);
    mouse_to(at(418 - 26 + 5, 12));
    settle();
    EXPECT_EQ(edit->EdItems().HotIndex(), 0);
    EXPECT_EQ(edit->Cursor(), crHandPoint);
    click(418 - 26 + 5, 12);
    EXPECT_EQ(clicks, 1);
    mouse_to(at(100, 12));
    settle();
    EXPECT_EQ(edit->EdItems().HotIndex(), -1);
    EXPECT_EQ(edit->Cursor(), crIBeam);
}

// Whether a full column of the caret's height stands in black at x of the field (in form pixels).
bool caret_column_at(const window_pixels& px, TSkinEdit* field, int x) {
    const int top = 58 + 7;
    for (int y = top; y < top + field->TextHeight(); ++y)
        if (px.at(32 + x, y) != 0) return false;
    return true;
}

// The caret stands at the selection's start, whichever end the cursor is at, as long as that boundary is on
// view; it follows the cursor once the selection is gone.
TEST_F(skinned_edit, CaretStandsAtTheSelectionStartWhicheverEndTheCursorIsAt) {
    show();
    edit->SetText(u"mmmmmmmm");
    const int w = edit->CharWidth(1);
    struct row {
        const char* name;
        int from;
        WORD key;
        int cursor;
    };
    const row rows[] = {{"cursor at the right end", 2, VK_RIGHT, 5}, {"cursor at the left end", 5, VK_LEFT, 2}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        edit->SetCursorPos(r.from);
        for (int i = 0; i < 3; ++i) press(r.key, {shift});
        ASSERT_EQ(edit->CursorPos(), r.cursor);
        ASSERT_EQ(edit->SelText(), u"mmm");
        ASSERT_TRUE(pump_until([&] { return edit->CursorShowing(); }, 1500));
        edit->Repaint();
        const window_pixels px(form->Handle());
        EXPECT_EQ(edit->CursorXPos(), 8 + 2 * w);
        EXPECT_TRUE(caret_column_at(px, edit, 8 + 2 * w));
    }
    press(VK_END);
    ASSERT_TRUE(pump_until([&] { return edit->CursorShowing(); }, 1500));
    edit->Repaint();
    EXPECT_EQ(edit->CursorXPos(), 8 + 8 * w);
    EXPECT_TRUE(caret_column_at(window_pixels(form->Handle()), edit, 8 + 8 * w));
}

// A Shift that the form's key handler swallows is still held for the field: a cursor move the program makes
// meanwhile extends the selection, which shows in the highlight colour.
TEST_F(skinned_edit, ShiftClearedByTheKeyHandlerStillExtendsTheSelection) {
    edit->OnKeyDown = [](TObject*, std::uint16_t& key, TShiftState) {
        if (key == VK_SHIFT) key = 0;
    };
    show();
    edit->SetText(u"mmmmmm");
    edit->SetCursorPos(1);
    const int w = edit->CharWidth(1);
    INPUT down{};
    down.type = INPUT_KEYBOARD;
    down.ki.wVk = VK_SHIFT;
    ::SendInput(1, &down, sizeof(INPUT));
    settle();
    edit->SetCursorPos(4);
    INPUT up = down;
    up.ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(1, &up, sizeof(INPUT));
    settle();
    EXPECT_EQ(edit->SelText(), u"mmm");
    edit->Repaint();
    const window_pixels px(form->Handle());
    const int selected_x = 32 + 8 + 2 * w + w / 2;
    EXPECT_TRUE(any_pixel(px, {selected_x, 58 + 8, selected_x + 1, 58 + 20},
                          [](std::uint32_t p) { return p == rgb_of(clHighlight); }));
}

// --- Published

// A form text that sets every published property of the field (the framework's members with them) loads,
// and writing the form gives each value back.
TEST_F(skinned_edit, FormTextSetsEveryPublishedProperty) {
    register_class<TSkinEdit>();
    const std::vector<published_row> rows = {
        {u"TextHint", u"'Choose a folder'"},
        {u"TextHintHideInKey", u"True"},
        {u"CursorColor", u"4864985"},
        {u"DisableIME", u"True"},
        {u"AutoSelect", u"False"},
        {u"ShowCheckBox", u"True"},
        {u"Checked", u"True"},
        {u"FontHint.Color", u"8553090"},
        {u"FontHint.Height", u"-13"},
        {u"BorderNormal", u"'00603[36x22x8BPP]'"},
        {u"BorderHot", u"'00601[36x22x8BPP]'"},
        {u"BorderVisible", u"False"},
        {u"ReadOnly", u"True"},
        {u"Text", u"'D:\\KQ\\TSR\\'"},
        {u"MaxLength", u"40"},
        {u"Space.Active", u"False"},
        {u"Space.Left", u"8"},
        {u"Space.Top", u"7"},
        {u"Space.Right", u"9"},
        {u"Space.Bottom", u"5"},
        {u"OnChange", u"Notify"},
        {u"Align", u"alTop"},
        {u"Anchors", u"[akLeft, akRight]"},
        {u"Constraints.MinWidth", u"50"},
        {u"Font.Height", u"-12"},
        {u"Font.Name", u"'Arial'"},
        {u"ParentFont", u"False"},
        {u"ParentColor", u"True"},
        {u"BiDiMode", u"bdRightToLeft"},
        {u"ParentBiDiMode", u"False"},
        {u"Cursor", u"crHandPoint"},
        {u"Hint", u"'Where to install'"},
        {u"ShowHint", u"True"},
        {u"Enabled", u"False"},
        {u"Visible", u"False"},
        {u"PopupMenu", u"Menu1"},
        {u"TabOrder", u"0"},
        {u"TabStop", u"True"},
        {u"OnClick", u"Notify"},
        {u"OnDblClick", u"Notify"},
        {u"OnEnter", u"Notify"},
        {u"OnExit", u"Notify"},
        {u"OnKeyDown", u"Key"},
        {u"OnKeyPress", u"KeyPress"},
        {u"OnKeyUp", u"Key"},
        {u"OnMouseDown", u"Mouse"},
        {u"OnMouseMove", u"MouseMove"},
        {u"OnMouseUp", u"Mouse"},
        {u"OnMouseEnter", u"Notify"},
        {u"OnMouseLeave", u"Notify"},
    };
    const std::unique_ptr<TEventForm> root{CreateForm<TEventForm>(nullptr)};
    expect_round_trip(*root, u"object Root: TEventForm\r\n  object Menu1: TPopupMenu\r\n  end\r\n"
                             u"  object Field: TSkinEdit\r\n",
                      rows, u"  end\r\nend\r\n", u"object Field: TSkinEdit");
}

} // namespace
