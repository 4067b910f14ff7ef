#include "installer/controls/uSkinEdit.h"

#include "framework/Clipboard.h"

#include "ControlTestSupport.h"

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
    EXPECT_TRUE(edit->CursorBlinking());
    bool seen_hidden = false, seen_shown = false;
    pump_until([&] {
        (edit->CursorShowing() ? seen_shown : seen_hidden) = true;
        return seen_hidden && seen_shown;
    }, 2500);
    EXPECT_TRUE(seen_hidden && seen_shown);

    ::SetFocus(form->Handle());
    settle();
    EXPECT_FALSE(edit->CursorBlinking());
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

} // namespace
