// The form's window as the skin uses it: translucency, monitor, owner window, canvas outside painting,
// accelerators, the screen's own cursors, and the client area aligned children fill.
#include "framework/Forms.h"

#include "VisualFixture.h"

using namespace kq;
using kq::test::visual_test;

TEST_F(visual_test, FormAlphaAndTransparentColourMakeTheWindowLayered) {
    auto* form = CreateForm<TForm>(Application);
    form->SetAlphaBlend(true);
    form->SetAlphaBlendValue(0); // set before the window exists: applied when it is made
    const HWND h = form->Handle();
    auto layered = [h] { return (::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_LAYERED) != 0; };
    auto attributes = [h](COLORREF& key, BYTE& alpha, DWORD& flags) {
        return ::GetLayeredWindowAttributes(h, &key, &alpha, &flags) != FALSE;
    };
    COLORREF key = 0;
    BYTE alpha = 1;
    DWORD flags = 0;
    ASSERT_TRUE(layered());
    ASSERT_TRUE(attributes(key, alpha, flags));
    EXPECT_EQ(alpha, 0);
    EXPECT_EQ(flags, DWORD{LWA_ALPHA});

    form->SetAlphaBlendValue(128);
    form->SetTransparentColorValue(clRed);
    form->SetTransparentColor(true);
    ASSERT_TRUE(attributes(key, alpha, flags));
    EXPECT_EQ(alpha, 128);
    EXPECT_EQ(key, RGB(255, 0, 0));
    EXPECT_EQ(flags, DWORD{LWA_ALPHA | LWA_COLORKEY});

    form->SetAlphaBlend(false);
    ASSERT_TRUE(attributes(key, alpha, flags));
    EXPECT_EQ(flags, DWORD{LWA_COLORKEY});
    form->SetTransparentColor(false);
    EXPECT_FALSE(layered());
    delete form;
}

TEST_F(visual_test, FormKnowsItsMonitorAndItsOwnerWindow) {
    TForm* main = nullptr;
    Application->CreateForm(main);
    main->HandleNeeded();
    auto* owner = CreateForm<TForm>(Application);
    auto* form = CreateForm<TForm>(Application);
    EXPECT_EQ(form->Monitor().MonitorNum, 0);
    EXPECT_EQ(form->Monitor().Handle, Screen->Monitors().at(0).Handle);
    const std::vector<TMonitor> all = Screen->Monitors();
    for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].MonitorNum, static_cast<int>(i));

    form->SetParentWindow(owner->Handle());
    EXPECT_EQ(::GetWindow(form->Handle(), GW_OWNER), owner->Handle());
    form->SetParentWindow(nullptr);
    EXPECT_EQ(::GetWindow(form->Handle(), GW_OWNER), main->Handle());
    delete form;
    delete owner;
    delete main;
}

TEST_F(visual_test, FormCanvasOutsidePaintingDrawsOnTheWindow) {
    auto* form = CreateForm<TForm>(Application);
    form->SetBounds(60, 60, 200, 150);
    form->Show();
    pump_until([] { return false; }, 200);
    form->Canvas().Brush().SetColor(clRed);
    form->Canvas().FillRect(RECT{0, 0, 20, 20});
    {
        const window_dc dc(form->Handle());
        EXPECT_EQ(::GetPixel(dc.get(), 10, 10), RGB(255, 0, 0));
    }
    delete form;
}

TEST(IsAccel, FindsTheCharacterAfterASingleAmpersand) {
    struct row {
        const char16_t* caption;
        char16_t key;
        bool expected;
    };
    const row rows[] = {
        {u"&File", u'F', true},    {u"&file", u'F', true},   {u"Fi&le", u'L', true}, {u"&File", u'I', false},
        {u"File", u'F', false},    {u"A&&B", u'B', false},   {u"&&A&B", u'B', true}, {u"End&", u'D', false},
        {u"&文件", u'文', true},    {u"", u'A', false},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.caption));
        EXPECT_EQ(IsAccel(r.key, r.caption), r.expected);
    }
}

TEST_F(visual_test, ScreenKeepsTheProgramsOwnCursorsAndControlsShowThem) {
    auto make_cursor = [] {
        std::vector<BYTE> and_mask(32 * 4, 0xFF), xor_mask(32 * 4, 0);
        return ::CreateCursor(::GetModuleHandleW(nullptr), 0, 0, 32, 32, and_mask.data(), xor_mask.data());
    };
    constexpr TCursor crOwn = 1;
    const HCURSOR first = make_cursor();
    Screen->SetCursors(crOwn, first);
    EXPECT_EQ(Screen->Cursors(crOwn), first);

    auto* form = CreateForm<TForm>(Application);
    form->SetBounds(60, 60, 200, 150);
    form->SetCursor(crOwn);
    form->Show();
    ::SendMessageW(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form->Handle()), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), first);

    // Replacing destroys the old one (the fixture counts it); nullptr gives the index back.
    const HCURSOR second = make_cursor();
    Screen->SetCursors(crOwn, second);
    EXPECT_EQ(Screen->Cursors(crOwn), second);
    Screen->SetCursors(crOwn, nullptr);
    EXPECT_EQ(Screen->Cursors(crOwn), Screen->Cursors(crArrow));
    // A replaced predefined cursor, freed with the screen.
    const HCURSOR hand = make_cursor();
    Screen->SetCursors(crHandPoint, hand);
    EXPECT_EQ(Screen->Cursors(crHandPoint), hand);
    delete form;
}

namespace {
// Keeps a drawn border of 3 pixels free of aligned children.
class TBorderedPanel : public TCustomControl {
public:
    using TCustomControl::TCustomControl;

protected:
    void AdjustClientRect(RECT& rect) override { ::InflateRect(&rect, -3, -3); }
};
} // namespace

TEST_F(visual_test, AlignedChildrenFillTheAdjustedClientRect) {
    auto* form = CreateForm<TForm>(Application);
    auto* panel = new TBorderedPanel(form);
    panel->SetBounds(0, 0, 100, 80);
    panel->SetParent(form);
    auto* child = new TCustomControl(form);
    child->SetParent(panel);
    child->SetAlign(TAlign::alClient);
    EXPECT_EQ(child->BoundsRect().left, 3);
    EXPECT_EQ(child->BoundsRect().top, 3);
    EXPECT_EQ(child->BoundsRect().right, 97);
    EXPECT_EQ(child->BoundsRect().bottom, 77);
    delete form;
}
