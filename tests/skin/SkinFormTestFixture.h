#pragma once
// The fixture of the skin form's and its title-bar controls' window tests: a skinned form freed at the
// end, shown in front, and its place on the screen.

#include "framework/Forms.h"
#include "skin/uSkinForm.h"
#include "tests/framework/visual/VisualFixture.h"

namespace kq::test {

class skinned_form_test : public visual_test {
protected:
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }
    void show() {
        form->Show();
        ::SetForegroundWindow(form->Handle());
        settle(300);
    }
    // Lets the window's drawing reach the screen.
    static void settle(int ms = 100) { pump_until([] { return false; }, ms); }
    RECT window_rect() const {
        RECT r{};
        ::GetWindowRect(form->Handle(), &r);
        return r;
    }
    TForm* form = nullptr;
    TSkinForm* skin = nullptr;
};

} // namespace kq::test
