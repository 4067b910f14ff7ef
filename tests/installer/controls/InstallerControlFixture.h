#pragma once
// The fixture of the installer's control tests: a plain dark form that shows a control at a known place.
#include "framework/Forms.h"
#include "tests/framework/visual/VisualFixture.h"

#include "tests/skin/SkinControlTestSupport.h"

namespace kq::test {

class installer_controls : public visual_test {
protected:
    // The form's colour as TColor and as the colour of a buffer pixel (its alpha aside).
    static constexpr TColor form_color = 0x402010;
    static constexpr std::uint32_t form_pixel = 0x102040u;
    static std::uint32_t rgb_at(TBitmap32* buffer, int x, int y) { return buffer->GetPixel(x, y) & 0xFFFFFFu; }

    void SetUp() override {
        visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBorderStyle(TFormBorderStyle::bsNone);
        form->SetBounds(40, 40, 600, 200);
        form->SetColor(form_color);
        // Away from where the controls will be: the pointer over a control makes it hot.
        mouse_to(POINT{1200, 1000});
    }
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }
    template <class T>
    T* place(int x, int y, int w, int h) {
        auto* c = new T(form);
        c->SetParent(form);
        c->SetBounds(x, y, w, h);
        return c;
    }
    void show() {
        form->Show();
        form->Update();
        pump_until([] { return false; }, 150);
    }
    // The screen point at a control's client point.
    static POINT screen_at(TControl* c, int x, int y) { return c->ClientToScreen(POINT{x, y}); }
    void click(TControl* c, int x, int y) {
        ::SetForegroundWindow(form->Handle());
        mouse_to(screen_at(c, x, y));
        pump_until([] { return false; }, 50);
        left_down();
        pump_until([] { return false; }, 50);
        left_up();
        pump_until([] { return false; }, 100);
    }
    static void key(WORD vk) {
        INPUT in[2]{};
        in[0].type = in[1].type = INPUT_KEYBOARD;
        in[0].ki.wVk = in[1].ki.wVk = vk;
        in[1].ki.dwFlags = KEYEVENTF_KEYUP;
        ::SendInput(2, in, sizeof(INPUT));
    }

    TForm* form = nullptr;
};

} // namespace kq::test
