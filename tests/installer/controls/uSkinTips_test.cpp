#include "installer/controls/uSkinTips.h"

#include "installer/controls/uSkinEditTips.h"
#include "skin/uSkinPanel.h"

#include "ControlTestSupport.h"

using namespace kq;
using namespace kq::test;

namespace {

class balloon_tips : public edit_form {
protected:
    void SetUp() override {
        edit_form::SetUp();
        tips = new TSkinCustomTips(form);
        target = new TSkinPanel(form);
        target->SetParent(form);
        target->SetBounds(40, 20, 200, 60);
    }
    TSkinCustomTips* tips = nullptr;
    TSkinPanel* target = nullptr;
};

TEST_F(balloon_tips, WithoutRectangleOrControlNothingOpens) {
    EXPECT_EQ(tips->Show(u"title", u"tips", nullptr, nullptr), nullptr);
    EXPECT_EQ(tips->count(), 0);
}

// Drawn as a frame in FrameColor around TipsColor, at the control's client area, topmost, not active.
TEST_F(balloon_tips, TipCoversTheTopOfItsControlAndIsPaintedInItsColours) {
    show();
    const HWND w = tips->Show(u"提示", u"安装路径不能为空", nullptr, target);
    ASSERT_NE(w, nullptr);
    settle(100);
    RECT r{};
    ::GetWindowRect(w, &r);
    const POINT origin = target->ClientToScreen({0, 0});
    EXPECT_EQ(r.left, origin.x);
    EXPECT_EQ(r.top, origin.y);
    EXPECT_EQ(r.right - r.left, 200);
    EXPECT_TRUE(::GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_NE(::GetForegroundWindow(), w);
    EXPECT_TRUE(edit->Focused());

    const window_pixels px(w);
    const auto shown = [](TColor c) {
        const auto v = static_cast<std::uint32_t>(c);
        return ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
    };
    EXPECT_EQ(px.at(0, 0), shown(tips->FrameColor()));
    EXPECT_EQ(px.at(px.width() - 1, px.height() - 1), shown(tips->FrameColor()));
    EXPECT_EQ(px.at(2, px.height() - 3), shown(tips->TipsColor()));
    px.save(L"balloon_tip.bmp");
}

// A closed tip is freed (its window and its object), not kept until the component goes.
TEST_F(balloon_tips, ClickOnTheCloseButtonClosesAndFreesTheTip) {
    show();
    const HWND w = tips->Show(u"", u"tips", nullptr, target);
    settle(100);
    TSkinTipsWindow* tip = tips->window(0);
    const TRect b = tip->CloseButtonRect();
    ASSERT_GT(b.Right, b.Left);
    RECT r{};
    ::GetWindowRect(w, &r);
    mouse_to({r.left + (b.Left + b.Right) / 2, r.top + (b.Top + b.Bottom) / 2});
    settle();
    left_down();
    settle();
    left_up();
    EXPECT_TRUE(pump_until([&] { return tips->count() == 0; }, 2000));
    EXPECT_FALSE(::IsWindow(w));
}

TEST_F(balloon_tips, TipClosesWhenItsControlIsFreed) {
    show();
    const HWND w = tips->Show(u"", u"tips", nullptr, target);
    settle();
    delete target;
    EXPECT_FALSE(::IsWindow(w));
    EXPECT_TRUE(pump_until([&] { return tips->count() == 0; }, 2000));
    settle(200); // its timer ticks no more
}

TEST_F(balloon_tips, PauseEndsAnUntouchedTipAndPointerMovesExtendIt) {
    tips->SetPauseTime(400);
    show();
    const HWND w = tips->Show(u"", u"tips", nullptr, target);
    settle(100);
    RECT r{};
    ::GetWindowRect(w, &r);
    for (int i = 0; i < 8; ++i) {
        mouse_to({r.left + 10 + i, r.top + 5});
        settle(100);
    }
    EXPECT_EQ(tips->count(), 1);
    mouse_to({5, 5});
    EXPECT_TRUE(pump_until([&] { return tips->count() == 0; }, 3000));
}

TEST_F(balloon_tips, TipFollowsItsControlWhenTheFormMoves) {
    tips->SetPauseTime(0);
    show();
    const HWND w = tips->Show(u"", u"tips", nullptr, target);
    settle(100);
    RECT before{};
    ::GetWindowRect(w, &before);
    form->SetBounds(form->Left() + 30, form->Top() + 20, form->Width(), form->Height());
    RECT after{};
    EXPECT_TRUE(pump_until([&] {
        ::GetWindowRect(w, &after);
        return after.left != before.left;
    }, 2000));
    EXPECT_EQ(after.left - before.left, 30);
    EXPECT_EQ(after.top - before.top, 20);
}

// While another window is in front the tip hides; back in front, it shows again.
TEST_F(balloon_tips, TipHidesWhileItsFormIsInactive) {
    tips->SetHideOfParentDeactivate(true);
    tips->SetPauseTime(0);
    show();
    const HWND w = tips->Show(u"", u"tips", nullptr, target);
    settle(150);
    EXPECT_TRUE(::IsWindowVisible(w));
    auto* other = CreateForm<TForm>(Application);
    other->SetBounds(700, 500, 200, 100);
    other->Show();
    ::SetForegroundWindow(other->Handle());
    EXPECT_TRUE(pump_until([&] { return !::IsWindowVisible(w); }, 2000));
    ::SetForegroundWindow(form->Handle());
    EXPECT_TRUE(pump_until([&] { return ::IsWindowVisible(w) != FALSE; }, 2000));
    delete other;
}

TEST_F(balloon_tips, EditTipStandsRightOfTheFieldAndHideFreesIt) {
    show();
    TSkinEditTips& edit_tips = edit->Tips();
    EXPECT_EQ(edit_tips.PauseTime(), 0);
    EXPECT_FALSE(edit_tips.CloseButtonVisible());
    edit_tips.Show(u"路径无效");
    ASSERT_EQ(edit_tips.count(), 1);
    RECT r{};
    ::GetWindowRect(edit_tips.window(0)->Handle(), &r);
    EXPECT_EQ(r.left, form->ClientToScreen({32 + 418 + 5, 0}).x);
    EXPECT_EQ(r.right - r.left, edit_tips.GetTipsWidth(u"路径无效") + 10);
    edit_tips.Show(u"again");
    EXPECT_EQ(edit_tips.count(), 1);
    edit_tips.Hide();
    EXPECT_EQ(edit_tips.count(), 0);
}

} // namespace
