#include "skin/uSkFormBorder.h"

#include <vector>

#include "framework/Forms.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCButton.h"
#include "tests/framework/visual/VisualFixture.h"

#include "SkinControlTestSupport.h"

using namespace kq;
using kq::test::visual_test;
using kq::test::window_pixels;

namespace {

RECT window_rect(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r;
}

struct edge_place {
    int x, y, width, height;
};

std::ostream& operator<<(std::ostream& o, const edge_place& e) {
    return o << e.width << " x " << e.height << " at (" << e.x << ", " << e.y << ")";
}
bool operator==(const edge_place& a, const edge_place& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

edge_place place_of(TSkFormLayerWindow* w) {
    if (!w || !w->HandleAllocated()) return {0, 0, -1, -1};
    const RECT r = window_rect(w->Handle());
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

class image_border : public visual_test {
protected:
    void TearDown() override {
        delete form;
        delete below;
        visual_test::TearDown();
    }
    static void settle(int ms = 100) { pump_until([] { return false; }, ms); }

    // A sizeable skinned form of 400 x 300 at (100, 100) with a border of the system's defaults.
    void make() {
        form = CreateForm<TForm>(Application);
        form->SetBorderStyle(TFormBorderStyle::bsSizeable);
        form->SetBounds(100, 100, 400, 300);
        form->SetCaption(u"Framed");
        skin = new TSkinForm(form);
        border = new TSkFormLayerBorder(form);
        skin->SetImageBorder(border);
    }
    void show() {
        form->Show();
        ::SetForegroundWindow(form->Handle());
        settle(300);
    }
    // A plain white form under the framed one, shown first so that it lies below.
    void make_below(int x, int y, int width, int height) {
        below = CreateForm<TForm>(Application);
        below->SetBorderStyle(TFormBorderStyle::bsNone);
        below->SetColor(clWhite);
        below->SetBounds(x, y, width, height);
        below->Show();
        settle();
    }
    edge_place edge(TSkFormLayerBorderType type) const {
        switch (type) {
        case mpflTop: return place_of(border->TopBorder());
        case mpflBottom: return place_of(border->BottomBorder());
        case mpflLeft: return place_of(border->LeftBorder());
        default: return place_of(border->RightBorder());
        }
    }
    TSkFormLayerWindow* window_of(TSkFormLayerBorderType type) const {
        switch (type) {
        case mpflTop: return border->TopBorder();
        case mpflBottom: return border->BottomBorder();
        case mpflLeft: return border->LeftBorder();
        default: return border->RightBorder();
        }
    }
    // The screen point over the most opaque pixel of the top edge's image, above the form.
    POINT darkest_top_point() const {
        TBitmap32* image = border->TopImage();
        int best_x = 0, best_y = 0;
        std::uint32_t best = 0;
        for (int y = 0; y < border->Size().Top(); ++y)
            for (int x = 20; x < image->Width() - 20; ++x)
                if ((image->GetPixel(x, y) >> 24) > best) {
                    best = image->GetPixel(x, y) >> 24;
                    best_x = x;
                    best_y = y;
                }
        EXPECT_GT(best, 0u) << "the edge keeps the image's alpha";
        const RECT r = window_rect(border->TopBorder()->Handle());
        return {r.left + best_x, r.top + best_y};
    }

    // What a compositing display shows around the form (Wine's draws layered windows opaque): the edges
    // blended over white, the form on top, as a BMP file.
    void save_composed(const String& file) const {
        const RECT area = window_rect(below->Handle());
        TBitmap32 picture;
        picture.SetSize(area.right - area.left, area.bottom - area.top);
        picture.Clear(0xFFFFFFFFu);
        for (auto type : {mpflTop, mpflBottom, mpflLeft, mpflRight}) {
            TBitmap32* image = border->edge_image(type);
            const edge_place e = edge(type);
            image->SetDrawMode(dmBlend);
            image->DrawTo(&picture, e.x - area.left, e.y - area.top);
            image->SetDrawMode(dmOpaque);
        }
        const window_pixels shown(form->Handle());
        const RECT f = window_rect(form->Handle());
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                picture.SetPixelS(f.left - area.left + x, f.top - area.top + y, 0xFF000000u | shown.at(x, y));
        picture.SaveToFile(file);
    }

    TForm* form = nullptr;
    TForm* below = nullptr;
    TSkinForm* skin = nullptr;
    TSkFormLayerBorder* border = nullptr;
};

TEST_F(image_border, FramesA400By300FormAt100And100AndFollowsItsMovesAndSizes) {
    make();
    show();
    ASSERT_NE(border->TopBorder(), nullptr);
    struct row {
        TSkFormLayerBorderType type;
        edge_place shown, moved;
    };
    // Moved to (150, 120) and made 500 x 200: S is 516 x 216.
    const row rows[] = {
        {mpflTop, {92, 92, 416, 13}, {142, 112, 516, 13}},
        {mpflBottom, {92, 395, 416, 13}, {142, 315, 516, 13}},
        {mpflLeft, {92, 105, 13, 290}, {142, 125, 13, 190}},
        {mpflRight, {495, 105, 13, 290}, {645, 125, 13, 190}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_EQ(edge(r.type), r.shown);
        const HWND w = window_of(r.type)->Handle();
        EXPECT_TRUE(::IsWindowVisible(w));
        EXPECT_EQ(static_cast<DWORD>(::GetWindowLongPtrW(w, GWL_STYLE)) & ~static_cast<DWORD>(WS_VISIBLE | WS_CLIPSIBLINGS),
                  static_cast<DWORD>(WS_POPUP));
        const auto ex = static_cast<DWORD>(::GetWindowLongPtrW(w, GWL_EXSTYLE));
        EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW),
                  static_cast<DWORD>(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW));
    }
    // Directly behind the form, the last one placed first; the edges are stacked a moment after showing.
    const auto stack_below_form = [&] {
        std::vector<HWND> stack;
        HWND next = form->Handle();
        for (int i = 0; i < 4; ++i) stack.push_back(next = ::GetWindow(next, GW_HWNDNEXT));
        return stack;
    };
    const std::vector<HWND> behind{border->RightBorder()->Handle(), border->LeftBorder()->Handle(),
                                   border->BottomBorder()->Handle(), border->TopBorder()->Handle()};
    pump_until([&] { return stack_below_form() == behind; }, 10000);
    EXPECT_EQ(stack_below_form(), behind);

    form->SetBounds(150, 120, 500, 200);
    pump_until([&] { return edge(mpflTop) == rows[0].moved && edge(mpflRight) == rows[3].moved; }, 10000);
    for (const row& r : rows) {
        SCOPED_TRACE(r.type);
        EXPECT_EQ(edge(r.type), r.moved);
    }
}

// The unit's own placement, for the other modes and the odd sizes.
TEST_F(image_border, EdgeWindowsByModeAndInsets) {
    struct row {
        const char* name;
        bool transparent;
        TSkStretchKind kind;
        int inflate_left, inflate_top, inflate_right, inflate_bottom;
        int height; // of the form
        edge_place top, bottom, left, right;
    };
    const row rows[] = {
        // Opaque sides run the whole height and share the corners.
        {"opaque", false, skAuto, 5, 5, -5, -5, 300, {92, 92, 416, 13}, {92, 395, 416, 13}, {92, 92, 13, 316},
         {495, 92, 13, 316}},
        // Tiled transparent edges lie wholly outside the form.
        {"tiled", true, skTile, 5, 5, -5, -5, 300, {92, 92, 416, 8}, {92, 400, 416, 8}, {92, 100, 8, 300},
         {500, 100, 8, 300}},
        // Negative and positive insets of one size give one frame.
        {"signs", true, skAuto, -5, -5, 5, 5, 300, {92, 92, 416, 13}, {92, 395, 416, 13}, {92, 105, 13, 290},
         {495, 105, 13, 290}},
        // A form lower than the insets: no room for the sides, which show nothing.
        {"low", true, skAuto, 5, 5, -5, -5, 6, {92, 92, 416, 13}, {92, 101, 416, 13}, {0, 0, -1, -1},
         {0, 0, -1, -1}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        make();
        border->SetTransparent(r.transparent);
        border->SetDragEnabled(false);
        border->SetStretchKind(r.kind);
        border->InflateSize().SetLeft(r.inflate_left);
        border->InflateSize().SetTop(r.inflate_top);
        border->InflateSize().SetRight(r.inflate_right);
        border->InflateSize().SetBottom(r.inflate_bottom);
        form->SetBounds(100, 100, 400, r.height);
        ASSERT_EQ(form->Height(), r.height);
        border->InitFrame(form);
        border->Show(100, 100, 400, r.height);
        settle();
        EXPECT_EQ(edge(mpflTop), r.top);
        EXPECT_EQ(edge(mpflBottom), r.bottom);
        if (r.left.width < 0) {
            EXPECT_EQ(border->LeftImage()->Height(), 0);
            EXPECT_FALSE(::IsWindowVisible(border->LeftBorder()->Handle()));
            EXPECT_FALSE(::IsWindowVisible(border->RightBorder()->Handle()));
        } else {
            EXPECT_EQ(edge(mpflLeft), r.left);
            EXPECT_EQ(edge(mpflRight), r.right);
        }
        if (r.kind == skTile) {
            EXPECT_EQ(border->InflateSize().Left(), 0);
            EXPECT_EQ(border->InflateSize().Bottom(), 0);
        }
        delete form;
        form = nullptr;
    }
}

// A real click on a transparent edge reaches the window below it; an opaque edge keeps it.
TEST_F(image_border, AClickOnATransparentEdgeReachesTheWindowBelow) {
    for (const bool transparent : {true, false}) {
        SCOPED_TRACE(transparent ? "transparent" : "opaque");
        make_below(40, 150, 100, 100);
        int presses = 0;
        below->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++presses; };
        make();
        border->SetTransparent(transparent);
        border->SetDragEnabled(false);
        show();
        const POINT p{96, 200}; // in the left edge, outside the form
        const RECT left = window_rect(border->LeftBorder()->Handle());
        ASSERT_TRUE(::PtInRect(&left, p));
        // the edge lies above the window below, once the edges are stacked behind the form
        const auto edge_above_below = [&] {
            HWND w = border->LeftBorder()->Handle();
            while (w && w != below->Handle()) w = ::GetWindow(w, GW_HWNDNEXT);
            return w == below->Handle();
        };
        pump_until(edge_above_below, 10000);
        ASSERT_TRUE(edge_above_below());

        test::mouse_to(p);
        settle();
        test::left_down();
        settle();
        test::left_up();
        // A press that should come is waited for; one that should not is given a while to show up.
        if (transparent)
            pump_until([&] { return presses > 0; }, 10000);
        else
            settle(200);
        EXPECT_EQ(presses, transparent ? 1 : 0);
        delete form;
        form = nullptr;
        delete below;
        below = nullptr;
    }
}

TEST_F(image_border, VanishesWhileTheFormIsMinimisedOrMaximisedAndComesBackOnRestore) {
    make_below(20, 20, 560, 460);
    make();
    show();
    const POINT p = darkest_top_point();
    const auto screen_at = [&] {
        const window_pixels px(below->Handle());
        return px.at(p.x - 20, p.y - 20);
    };
    const std::uint32_t framed = screen_at();
    EXPECT_NE(framed, 0xFFFFFFu); // the shadow over white
    save_composed(u"image_border.bmp");

    struct row {
        int command;
        bool hidden;
    };
    const row rows[] = {{SW_MINIMIZE, true}, {SW_RESTORE, false}, {SW_MAXIMIZE, true}, {SW_RESTORE, false}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.command);
        ::ShowWindow(form->Handle(), r.command);
        pump_until([&] { return border->Hidden() == r.hidden && border->TopBorder()->IsHided() == r.hidden; }, 10000);
        for (TSkFormLayerWindow* w : {border->LeftBorder(), border->TopBorder(), border->RightBorder(),
                                      border->BottomBorder()})
            EXPECT_EQ(w->IsHided(), r.hidden);
        EXPECT_EQ(border->Hidden(), r.hidden);
        // Wine's display shows a layered window drawn see-through as it was: only the shown frame is read back.
        if (!r.hidden) {
            EXPECT_EQ(screen_at(), framed);
        }
    }
    EXPECT_EQ(edge(mpflTop), (edge_place{92, 92, 416, 13}));
    EXPECT_EQ(edge(mpflLeft), (edge_place{92, 105, 13, 290}));
}

// An opaque border's top edge takes the title-bar controls over: they measure themselves against it, and a
// real click on its close button closes the form.
TEST_F(image_border, AnOpaqueTopEdgeHostsTheTitleBarControls) {
    make();
    border->SetTransparent(false);
    border->SetDragEnabled(false);
    auto* close = new TSkinSystemButton(form);
    close->Pos().SetUseDefault(false);
    close->Pos().SetAlign(caRight);
    close->Pos().SetXValue(30);
    close->Pos().SetYValue(0);
    show();
    ASSERT_NE(border->TopBorder(), nullptr);
    EXPECT_EQ(close->host_form(), border->TopBorder());
    EXPECT_EQ(close->command_form(), form);
    EXPECT_EQ(close->Pos().XValue(), 30 - 16); // once, whatever the redraws since
    const RECT top = window_rect(border->TopBorder()->Handle());
    EXPECT_EQ(close->ClientRect().Left, top.right - top.left - 30);

    test::mouse_to({top.right - 22, top.top + 6});
    pump_until([&] { return close->CursorEnter(); }, 10000);
    EXPECT_TRUE(close->CursorEnter());
    test::left_down();
    settle();
    test::left_up();
    pump_until([&] { return !::IsWindowVisible(form->Handle()); }, 10000);
    EXPECT_FALSE(::IsWindowVisible(form->Handle()));
}

// A border without its image shows no frame, and every call on it still works.
TEST_F(image_border, AMissingImageShowsNoFrame) {
    make();
    border->SetImage(u"NoSuchSkinImage");
    show();
    EXPECT_EQ(border->TopBorder(), nullptr);
    EXPECT_EQ(border->TopImage(), nullptr);
    form->SetBounds(120, 110, 300, 200);
    ::ShowWindow(form->Handle(), SW_MINIMIZE);
    settle();
    ::ShowWindow(form->Handle(), SW_RESTORE);
    settle();
    skin->InvalidateNC();
    EXPECT_EQ(border->LeftBorder(), nullptr);
    // and a border that goes away leaves the form without one
    delete border;
    EXPECT_EQ(skin->ImageBorder(), nullptr);
    form->SetBounds(100, 100, 400, 300);
    settle();
}

} // namespace
