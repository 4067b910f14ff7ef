// The title-bar buttons on a shown skinned form, under real mouse input, and the caption label's width.

#include "skin/SkinMessages.h"
#include "skin/uSkinNCButton.h"

#include "framework/Forms.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCLabel.h"
#include "skin/uSkinResManager.h"
#include "tests/skin/SkinFormTestFixture.h"
#include "tests/skin/KQSkinForm.h"

#include "SkinControlTestSupport.h"

#include <set>

using namespace kq;
using kq::test::window_pixels;

namespace {

class title_bar_controls : public test::skinned_form_test {
protected:
    void make(int width = 400, int height = 300) { form = test::make_skinned_form(width, height, skin); }
    void click_at(POINT screen) {
        test::mouse_to(screen);
        settle();
        test::left_down();
        settle();
        test::left_up();
        settle(200);
    }
};

// The maximise button shows the restore image while the window is maximised, without a change notice
// (which would paint the title bar again from inside its paint); a click on it restores, the next
// maximises.
TEST_F(title_bar_controls, MaximiseButtonShowsTheRestoreImageWhileMaximised) {
    make();
    auto* button = new TSkinSystemButton(form);
    button->SetKind(bkMaximize);
    int title_paints = 0;
    const window_hook count = form->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
        if (m.Msg == WM_VK_UPDATENC) ++title_paints;
        next(m);
    });
    show();
    const HWND w = form->Handle();
    // The button's pixels, from its left edge, in the window as it is now.
    // (Maximised it sits a pixel higher: the rows from the third on are in the window both times.)
    const auto face = [&] {
        settle();
        const window_pixels px(w);
        const TRect r = button->ClientRect();
        std::vector<std::uint32_t> pixels;
        for (int y = r.Top + 2; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) pixels.push_back(px.at(x, y));
        return pixels;
    };
    const std::vector<std::uint32_t> normal = face();
    EXPECT_EQ(button->Picture().Image(), button->MaximizeImage());

    const RECT at = window_rect();
    click_at({at.left + button->ClientRect().Left + 10, at.top + 8});
    ASSERT_TRUE(pump_until([&] { return ::IsZoomed(w) != 0; }));
    title_paints = 0;
    skin->InvalidateNC();
    EXPECT_EQ(title_paints, 1);
    EXPECT_EQ(button->Picture().Image(), button->RestoresizeImage());
    const std::vector<std::uint32_t> zoomed = face();
    EXPECT_EQ(zoomed.size(), normal.size());
    EXPECT_NE(zoomed, normal);

    const RECT max = window_rect();
    click_at({max.left + button->ClientRect().Left + 10, max.top + 8});
    ASSERT_TRUE(pump_until([&] { return !::IsZoomed(w); }));
    skin->InvalidateNC();
    EXPECT_EQ(button->Picture().Image(), button->MaximizeImage());
    EXPECT_EQ(face(), normal);
}

// A button image of four solid frames: normal, hot, pressed, disabled.
constexpr std::uint32_t frame_colours[] = {0xC80000u, 0x00C800u, 0x0000C8u, 0x808080u};

// A disabled close button shows its disabled frame in every state and sends no command; enabled, the
// same hand shows its hot and pressed frames and closes the form.
TEST_F(title_bar_controls, ADisabledButtonShowsItsDisabledFrameAndSendsNoCommand) {
    TBitmap32 strip;
    strip.SetSize(80, 20);
    for (int i = 0; i < 4; ++i) strip.FillRectS(i * 20, 0, i * 20 + 20, 20, 0xFF000000u | frame_colours[i]);
    SkinResManager()->AddRes(&strip, u"FourFrameButton", u"");
    const auto reload = scope_exit([] { SkinResManager()->Reload(); });

    struct row {
        bool enabled;
        std::uint32_t away, over, pressed;
        bool closes;
    };
    const row rows[] = {
        {false, frame_colours[3], frame_colours[3], frame_colours[3], false},
        {true, frame_colours[0], frame_colours[1], frame_colours[2], true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.enabled);
        make();
        auto* button = new TSkinSystemButton(form);
        button->Picture().SetCount(4);
        button->Picture().SetDisable(3);
        button->SetCloseImage(u"FourFrameButton");
        button->SetEnabled(r.enabled);
        int clicks = 0, commands = 0, presses = 0;
        button->OnClick = [&](TObject*) { ++clicks; };
        const window_hook count = form->HookWindowProc([&](TMessage& m, const TWndMethod& next) {
            if (m.Msg == WM_SYSCOMMAND && (m.WParam & 0xFFF0) == SC_CLOSE) ++commands;
            presses += m.Msg == WM_NCLBUTTONDOWN;
            next(m);
        });
        show();
        const HWND w = form->Handle();
        ASSERT_EQ(button->ClientRect().Left, 400 - 40);
        const POINT face{400 - 30, 8};
        const RECT at = window_rect();
        test::mouse_to({at.left + 200, at.top + 8}); // the title, away from the button
        settle();
        settle();
        EXPECT_EQ(window_pixels(w).at(face.x, face.y), r.away);
        test::mouse_to({at.left + face.x, at.top + face.y});
        ASSERT_TRUE(pump_until([&] { return button->CursorEnter(); }));
        settle();
        EXPECT_EQ(window_pixels(w).at(face.x, face.y), r.over);
        test::left_down();
        ASSERT_TRUE(pump_until([&] { return presses == 1; }));
        settle();
        EXPECT_EQ(window_pixels(w).at(face.x, face.y), r.pressed);
        test::left_up();
        if (r.closes)
            EXPECT_TRUE(pump_until([&] { return ::IsWindowVisible(w) == FALSE; }));
        else
            settle(300);
        EXPECT_EQ(clicks, r.closes ? 1 : 0);
        EXPECT_EQ(commands, r.closes ? 1 : 0);
        EXPECT_EQ(::IsWindowVisible(w) == FALSE, r.closes);
        delete form;
        form = nullptr;
    }
}

// The caption label cut to MaxWidth with each ellipsis: nothing beyond the width, the text's start as it
// was, and each ellipsis its own end; without MaxWidth the ellipsis changes nothing.
TEST_F(title_bar_controls, LabelMaxWidthCutsTheCaptionWithEachEllipsis) {
    make(500, 200);
    skin->SetActiveGradient(false);
    skin->SetTitlerColor(clBlack);
    skin->SetFramWidth(0);
    auto* label = new TSkinNCLabel(form);
    label->Light().SetActive(false);
    label->Font().SetColor(clWhite);
    label->SetCaption(u"C:\\Program Files\\Tessaro\\browser\\window of the tests.exe");
    show();
    const HWND w = form->Handle();
    // The lit columns of the title bar, and its pixels.
    struct drawn {
        std::set<int> columns;
        std::vector<std::uint32_t> pixels;
    };
    const auto draw = [&](int max_width, TEllipsisPosition e) {
        label->SetMaxWidth(max_width);
        label->SetEllipsisPosition(e);
        skin->InvalidateNC();
        settle(); // what the window drew reaches the screen
        const window_pixels px(w);
        drawn d;
        for (int y = 0; y < 27; ++y)
            for (int x = 0; x < px.width(); ++x) {
                d.pixels.push_back(px.at(x, y));
                if (px.at(x, y) != 0)
                    d.columns.insert(x);
            }
        return d;
    };
    const auto left_part = [](const drawn& d, int to) {
        std::vector<std::uint32_t> part;
        for (size_t i = 0; i < d.pixels.size(); ++i)
            if (static_cast<int>(i % 500) < to)
                part.push_back(d.pixels[i]);
        return part;
    };
    const drawn whole = draw(0, epNone);
    ASSERT_FALSE(whole.columns.empty());
    EXPECT_GT(*whole.columns.rbegin(), 5 + 150);
    EXPECT_EQ(draw(0, epEndEllipsis).pixels, whole.pixels);

    const drawn none = draw(100, epNone), path = draw(100, epPathEllipsis), end = draw(100, epEndEllipsis),
                word = draw(100, epWordEllipsis);
    for (const drawn* d : {&none, &path, &end, &word}) {
        ASSERT_FALSE(d->columns.empty());
        EXPECT_LT(*d->columns.rbegin(), 5 + 100);
        EXPECT_GE(*d->columns.begin(), 5);
    }
    // Cut without an ellipsis: the whole caption's first 100 pixels.
    EXPECT_EQ(left_part(none, 5 + 100), left_part(whole, 5 + 100));
    // The end and word ellipses keep the start and put their dots at the end; the path one keeps the
    // file's name at the end instead.
    for (const drawn* d : {&end, &word}) {
        EXPECT_EQ(left_part(*d, 5 + 30), left_part(whole, 5 + 30));
        EXPECT_NE(d->pixels, none.pixels);
    }
    EXPECT_NE(path.pixels, end.pixels);
    EXPECT_NE(path.pixels, none.pixels);
}

} // namespace
