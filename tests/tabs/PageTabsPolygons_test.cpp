#include "tabs/PageTabsPolygons.h"

#include "framework/Exceptions.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Handles.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <memory>

namespace kq {
namespace {

using drag_tab_object = test::visual_test;

class polygons_test : public ::testing::Test {
protected:
    void SetUp() override { gdiplus_startup(); }
    void TearDown() override { gdiplus_shutdown(); }
};

constexpr ARGB red = make_argb(255, 255, 0, 0);
constexpr ARGB blue = make_argb(255, 0, 0, 255);
constexpr ARGB clear = 0;

// A square from (2, 2) to (14, 14) on a 16 x 16 canvas.
const TPolygon square = {{2, 2}, {14, 2}, {14, 14}, {2, 14}};

struct canvas {
    TGPBitmap bitmap{16, 16};
    TGPGraphics graphics{bitmap};
    canvas() { graphics.Clear(clear); }
    ARGB centre() const { return bitmap.Pixel(8, 8); }
    ARGB edge() const { return bitmap.Pixel(2, 8); }
};

TEST_F(polygons_test, DrawsTheStepsItIsAskedFor) {
    struct row {
        const char* name;
        bool brush;
        bool pen;
        TDrawToFunctions functions;
        ARGB centre;
        ARGB edge;
    };
    const row rows[] = {
        {"brush and pen", true, true, TDrawToFunctions::dfBrushAndPen, red, blue},
        {"brush only asked", true, true, TDrawToFunctions::dfBrush, red, red},
        {"pen only asked", true, true, TDrawToFunctions::dfPen, clear, blue},
        {"pen asked, polygons without pens", true, false, TDrawToFunctions::dfPen, clear, clear},
        {"brush asked, polygons without brushes", false, true, TDrawToFunctions::dfBrush, clear, clear},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        auto brush = r.brush ? std::make_shared<TGPSolidBrush>(red) : nullptr;
        auto pen = r.pen ? std::make_shared<TGPPen>(blue, 1.0f) : nullptr;
        TPageTabPolygons polygons;
        polygons.AddPolygon(square, brush, pen);
        canvas c;
        polygons.DrawTo(c.graphics, r.functions);
        EXPECT_EQ(c.centre(), r.centre);
        EXPECT_EQ(c.edge(), r.edge);
    }
}

TEST_F(polygons_test, ChainedAdditionsKeepTheirOrder) {
    auto brush = std::make_shared<TGPSolidBrush>(red);
    TPageTabPolygons polygons;
    const TPolygon a = {{0, 0}}, b = {{1, 1}}, c = {{2, 2}};
    IPageTabPolygons& result = polygons.AddPolygon(a, brush, nullptr).AddPolygon(b, nullptr, nullptr).AddPolygon(c, brush, nullptr);
    EXPECT_EQ(&result, &polygons);
    ASSERT_EQ(polygons.PolygonCount(), 3);
    EXPECT_EQ(polygons.GetPolygons(0).Polygon(), a);
    EXPECT_EQ(polygons.GetPolygons(1).Polygon(), b);
    EXPECT_EQ(polygons.GetPolygons(2).Polygon(), c);
    EXPECT_EQ(polygons.GetPolygons(1).Brush(), nullptr);
    EXPECT_THROW(polygons.GetPolygons(3), EListError);
    EXPECT_THROW(polygons.GetPolygons(-1), EListError);
}

// The look that made a brush may replace it while a polygon list still refers to it.
TEST_F(polygons_test, ABrushReplacedByItsOwnerStaysValidForTheList) {
    auto owner_brush = std::make_shared<TGPSolidBrush>(red);
    auto owner_pen = std::make_shared<TGPPen>(blue, 1.0f);
    auto polygons = std::make_shared<TPageTabPolygons>();
    polygons->AddPolygon(square, owner_brush, owner_pen);
    owner_brush = std::make_shared<TGPSolidBrush>(blue);
    owner_pen.reset();

    canvas c;
    polygons->DrawTo(c.graphics, TDrawToFunctions::dfBrushAndPen);
    EXPECT_EQ(c.centre(), red);
    EXPECT_EQ(c.edge(), blue);
}

TEST_F(polygons_test, AnEmptyShapeDrawsNothing) {
    TPageTabPolygons polygons;
    polygons.AddPolygon({}, std::make_shared<TGPSolidBrush>(red), std::make_shared<TGPPen>(blue, 1.0f));
    canvas c;
    EXPECT_NO_THROW(polygons.DrawTo(c.graphics, TDrawToFunctions::dfBrushAndPen));
    EXPECT_EQ(c.centre(), clear);
}

TEST(TDragTabObject, KeepsWhatItIsGiven) {
    auto drag = std::make_shared<TDragTabObject>();
    drag->SetDragPoint({5, 6});
    drag->SetOriginalControlRect({1, 2, 3, 4});
    drag->SetDropTabIndex(3);
    drag->SetDragOverType(TDragOverType::dotRemoteContainer);
    EXPECT_EQ(drag->DragPoint(), (TPoint{5, 6}));
    EXPECT_EQ(drag->OriginalControlRect(), (TRect{1, 2, 3, 4}));
    EXPECT_EQ(drag->DropTabIndex(), 3);
    EXPECT_EQ(drag->DragOverType(), TDragOverType::dotRemoteContainer);
    EXPECT_EQ(drag->DragForm(), nullptr);
    drag.reset(); // with no drag form there is nothing to release
}

TEST_F(drag_tab_object, ReleasesItsDragFormOnceQueuedMessagesAreHandled) {
    TComponent owner(nullptr);
    auto* form = new TForm(&owner);
    form->HandleNeeded();
    {
        TDragTabObject drag;
        drag.SetDragForm(form);
    }
    ASSERT_EQ(owner.ComponentCount(), 1); // still there: the release waits for the message loop
    Application->ProcessMessages();
    EXPECT_EQ(owner.ComponentCount(), 0);
}

} // namespace
} // namespace kq
