#pragma once
// The installer controls' tests: real keys, and a form holding one text field as the installer sets it.

#include "framework/Forms.h"
#include "installer/controls/uSkinEdit.h"
#include "tests/framework/visual/VisualFixture.h"
#include "tests/PublishedRoundTrip.h"
#include "tests/skin/SkinControlTestSupport.h"

#include <initializer_list>

#include <imm.h>

namespace kq::test {

// Real key strokes to the focused window: a key pressed and released, with modifiers held around it.
void press(WORD key, std::initializer_list<WORD> held = {});
// A real right click at a screen point.
void right_click(POINT screen);
// Text composed through the window's input method and completed, as a person finishing a composition.
void compose(HWND window, const String& text);
// Each character typed as the keyboard's Unicode input.
void type(const String& text);

// A form with one method of each event signature the controls publish, for texts that bind events.
class TEventForm : public TForm {
public:
    using TForm::TForm;
    void Notify(TObject*) {}
    void Key(TObject*, std::uint16_t&, TShiftState) {}
    void KeyPress(TObject*, char16_t&) {}
    void Mouse(TObject*, TMouseButton, TShiftState, int, int) {}
    void MouseMove(TObject*, TShiftState, int, int) {}
    const property_table& PublishedProperties() const override;
};

// A form text of a TEventForm with one field whose one item the rows set (rows such as "Kind", "Pos.X"):
// each row must come back when the form is written.
void expect_item_round_trip(const std::vector<published_row>& rows);

// A borderless form with one field at the installer's place and settings: 418 x 32 at (32, 58), inner
// spacing 8, 7, 8, 6, its border images, font "微软雅黑" -12.
class edit_form : public visual_test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Shows the form, gives the field the focus (as a click would not: no cursor move) and settles.
    void show();
    static void settle(int ms = 60) { pump_until([] { return false; }, ms); }
    // A screen point inside the field.
    POINT at(int x, int y) const { return edit->ClientToScreen({x, y}); }
    void click(int x, int y);

    TForm* form = nullptr;
    TSkinEdit* edit = nullptr;
};

} // namespace kq::test
