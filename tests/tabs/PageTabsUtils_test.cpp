#include "tabs/PageTabsUtils.h"

#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Streams.h"
#include "framework/Timers.h"

#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kq {
namespace {

using page_tabs_utils_window = test::visual_test;

using enum TPageTabsEaseType;

TEST(PageTabsUtils, EasingFollowsEachCurve) {
    struct row {
        TPageTabsEaseType type;
        double t, expected;
    };
    // Start 0, change 100, duration 100.
    const row rows[] = {
        {ttNone, 50, 0},
        {ttLinearTween, 25, 25},
        {ttEaseInQuad, 25, 6.25},
        {ttEaseOutQuad, 25, 43.75},
        {ttEaseInOutQuad, 25, 12.5},
        {ttEaseInOutQuad, 50, 50},
        {ttEaseInOutQuad, 75, 87.5},
        {ttEaseInCubic, 25, 1.5625},
        {ttEaseOutCubic, 25, 57.8125},
        {ttEaseInOutCubic, 25, 6.25},
        {ttEaseInOutCubic, 75, 93.75},
        {ttEaseInQuart, 25, 0.390625},
        {ttEaseOutQuart, 25, 68.359375},
        {ttEaseInOutQuart, 25, 3.125},
        {ttEaseInOutQuart, 75, 96.875},
        {ttEaseInQuint, 25, 0.09765625},
        {ttEaseOutQuint, 25, 76.26953125},
        {ttEaseInOutQuint, 25, 1.5625},
        {ttEaseInOutQuint, 75, 98.4375},
        {ttEaseInSine, 50, 100 - 100 * std::sqrt(0.5)},
        {ttEaseOutSine, 50, 100 * std::sqrt(0.5)},
        {ttEaseInOutSine, 25, 50 - 50 * std::sqrt(0.5)},
        // The exponential curves neither start nor end exactly.
        {ttEaseInExpo, 0, 100.0 / 1024},
        {ttEaseInExpo, 100, 100},
        {ttEaseOutExpo, 0, 0},
        {ttEaseOutExpo, 100, 100.0 * 1023 / 1024},
        {ttEaseInOutExpo, 0, 50.0 / 1024},
        {ttEaseInOutExpo, 50, 50},
        {ttEaseInOutExpo, 100, 100 - 50.0 / 1024},
        {ttEaseInCirc, 50, 100 - 100 * std::sqrt(0.75)},
        {ttEaseOutCirc, 50, 100 * std::sqrt(0.75)},
        {ttEaseInOutCirc, 25, 50 - 50 * std::sqrt(0.75)},
        {ttEaseInOutCirc, 75, 50 + 50 * std::sqrt(0.75)},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << int(r.type) << " at " << r.t);
        EXPECT_NEAR(ComputeEasedValue(r.type, r.t, 0, 100, 100), r.expected, 1e-9);
    }
    EXPECT_DOUBLE_EQ(ComputeEasedValue(ttLinearTween, 50, 10, 100, 100), 60);
    EXPECT_DOUBLE_EQ(ComputeEasedValue(ttNone, 50, 10, 100, 100), 0); // not the start value
    // Time is not clamped.
    EXPECT_DOUBLE_EQ(ComputeEasedValue(ttLinearTween, 150, 0, 100, 100), 150);
}

TEST(PageTabsUtils, UnknownEaseTypesFailTheirAssertion) {
    try {
        ComputeEasedValue(static_cast<TPageTabsEaseType>(23), 1, 0, 1, 1);
        ADD_FAILURE() << "no error";
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), u"Invalid Ease Type");
    }
}

TEST(PageTabsUtils, EasedRectanglesRoundHalvesToEven) {
    struct row {
        TRect start, end;
        std::uint32_t t;
        TRect expected;
    };
    const row rows[] = {
        {{0, 0, 0, 0}, {1, 3, 5, 7}, 50, {0, 2, 2, 4}},       // 0.5, 1.5, 2.5, 3.5
        {{0, 0, 0, 0}, {-1, -3, -5, -7}, 50, {0, -2, -2, -4}}, // and below zero
        {{10, 20, 110, 48}, {30, 20, 130, 48}, 25, {15, 20, 115, 48}},
        {{10, 20, 110, 48}, {30, 20, 130, 48}, 100, {30, 20, 130, 48}},
    };
    for (const row& r : rows)
        EXPECT_EQ(InterpolateRectEased(r.start, r.end, r.t, 100, ttLinearTween), r.expected);
    // Callers never ask for ttNone: it collapses every coordinate.
    EXPECT_EQ(InterpolateRectEased({1, 2, 3, 4}, {5, 6, 7, 8}, 50, 100, ttNone), (TRect{0, 0, 0, 0}));
}

TEST(PageTabsUtils, PointsInsidePolygonsByTheEvenOddRule) {
    const TPolygon square{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    // A square with a square hole cut by walking back around it.
    const TPolygon framed{{0, 0}, {12, 0}, {12, 12}, {0, 12}, {0, 0}, {3, 3}, {3, 9}, {9, 9}, {9, 3}, {3, 3}};
    struct row {
        const TPolygon* polygon;
        int x, y;
        bool inside;
    };
    const row rows[] = {
        {&square, 5, 5, true},   {&square, 10, 5, false}, {&square, 0, 5, true},
        {&square, 5, 0, true},   {&square, 5, 10, false}, {&square, -1, 5, false},
        {&framed, 1, 6, true},   {&framed, 6, 6, false},  {&framed, 10, 6, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.x << "," << r.y);
        EXPECT_EQ(IsPointInsidePolygon(*r.polygon, r.x, r.y), r.inside);
    }
    EXPECT_FALSE(IsPointInsidePolygon({}, 0, 0));
}

TEST(PageTabsUtils, PolygonsArePlacedFlippedAndMirroredInTheirRectangle) {
    const TRect r{100, 10, 140, 30};
    const TPoint points[] = {{0, 0}, {5, 2}, {40, 20}};
    EXPECT_EQ(PositionPolygon(r, points, TTabOrientation::toTop), (TPolygon{{100, 10}, {105, 12}, {140, 30}}));
    EXPECT_EQ(PositionPolygon(r, points, TTabOrientation::toBottom), (TPolygon{{100, 29}, {105, 27}, {140, 9}}));
    EXPECT_EQ(MirrorPolygon(r, TPolygon{{100, 10}, {105, 12}, {140, 30}}), (TPolygon{{140, 10}, {135, 12}, {100, 30}}));
    EXPECT_EQ(MirrorRectInRect(TRect{0, 0, 200, 30}, TRect{10, 5, 50, 25}), (TRect{150, 5, 190, 25}));
    EXPECT_EQ(ShrinkRect(TRect{0, 0, 20, 10}, 3), (TRect{3, 3, 17, 7}));
    EXPECT_TRUE(RectsEqual(TRect{1, 2, 3, 4}, TRect{1, 2, 3, 4}));
    EXPECT_FALSE(RectsEqual(TRect{1, 2, 3, 4}, TRect{1, 2, 3, 5}));
}

TEST(PageTabsUtils, BlendsTruncateTowardZero) {
    struct row {
        int start, stop, percent, expected;
    };
    const row rows[] = {{10, 20, 50, 15}, {20, 10, 55, 15}, {9, 12, 50, 10}, {0, 255, 100, 255}, {255, 0, 50, 128}};
    for (const row& r : rows) EXPECT_EQ(BlendInteger(r.start, r.stop, r.percent), r.expected);

    EXPECT_FLOAT_EQ(BlendSingle(1.0f, 2.0f, 50), 1.5f);
    EXPECT_EQ(BlendColor(0x000000, 0xFFFFFF, 50), 0x7F7F7F);
    EXPECT_EQ(BlendColor(0x0000FF, 0x00FF00, 50), 0x007F80); // red 128, green 127
    EXPECT_EQ(BlendColor(0x112233, 0x445566, 0), 0x112233);
    EXPECT_EQ(BlendColor(0x112233, 0x445566, 100), 0x445566);
    // A system colour is blended as its raw value and loses its high byte.
    EXPECT_EQ(BlendColor(clGradientActiveCaption, clGradientActiveCaption, 100), clGradientActiveCaption & 0xFFFFFF);
}

TEST(PageTabsUtils, GdiPlusColoursPutAlphaOnTopAndSwapRedAndBlue) {
    EXPECT_EQ(MakeGPColor(0x0000FF, 200), 0xC8FF0000u);
    EXPECT_EQ(MakeGPColor(0xFF0000, 255), 0xFF0000FFu);
    EXPECT_EQ(MakeGPColor(0x336699, 0), 0x00996633u);
    const COLORREF system = ::GetSysColor(COLOR_GRADIENTACTIVECAPTION);
    EXPECT_EQ(MakeGPColor(clGradientActiveCaption, 255),
              make_argb(255, GetRValue(system), GetGValue(system), GetBValue(system)));
}

TEST(PageTabsUtils, RectanglesBecomeGdiPlusRectanglesOfWidthAndHeight) {
    const Gdiplus::RectF f = RectToGPRectF(TRect{10, 20, 110, 48});
    EXPECT_EQ(f.X, 10.0f);
    EXPECT_EQ(f.Y, 20.0f);
    EXPECT_EQ(f.Width, 100.0f);
    EXPECT_EQ(f.Height, 28.0f);
    const Gdiplus::Rect i = RectToGPRect(TRect{-5, 0, 5, 3});
    EXPECT_EQ(i.X, -5);
    EXPECT_EQ(i.Width, 10);
    EXPECT_EQ(i.Height, 3);
    EXPECT_EQ(PointToGPPoint(TPoint{7, -2}).Y, -2);
}

class gdiplus_utils : public ::testing::Test {
protected:
    void SetUp() override { gdiplus_startup(); }
    void TearDown() override { gdiplus_shutdown(); }
};

TEST_F(gdiplus_utils, ClipPolygonsLimitDrawing) {
    TGPBitmap bitmap(20, 20);
    TGPGraphics graphics(bitmap);
    graphics.Clear(make_argb(255, 255, 255, 255));
    SetClipPolygon(graphics, TPolygon{{0, 0}, {20, 0}, {0, 20}}, Gdiplus::CombineModeReplace);
    // Intersected with a band on the left: only the triangle's left part.
    SetClipPolygon(graphics, TPolygon{{0, 0}, {5, 0}, {5, 20}, {0, 20}}, Gdiplus::CombineModeIntersect);
    graphics.FillRectangle(TGPSolidBrush(make_argb(255, 255, 0, 0)), Gdiplus::RectF(0, 0, 20, 20));
    EXPECT_EQ(bitmap.Pixel(2, 2), make_argb(255, 255, 0, 0));
    EXPECT_EQ(bitmap.Pixel(8, 2), make_argb(255, 255, 255, 255));
    EXPECT_EQ(bitmap.Pixel(2, 18), make_argb(255, 255, 255, 255));
}

TEST_F(gdiplus_utils, IconsBecomeGdiPlusImages) {
    TBitmap colour;
    colour.SetPixelFormat(TPixelFormat::pf32bit);
    colour.SetSize(16, 16);
    for (int y = 0; y < 16; ++y) {
        auto* row = static_cast<std::uint32_t*>(colour.ScanLine(y));
        for (int x = 0; x < 16; ++x) row[x] = 0xFF00FF00u;
    }
    TBitmap mask;
    mask.SetSize(16, 16);
    ICONINFO info{TRUE, 0, 0, mask.Handle(), colour.Handle()};
    TIcon icon;
    icon.SetHandle(::CreateIconIndirect(&info));
    const TGPImage image = IconToGPImage(icon);
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.Height(), 16);
}

TEST(PageTabsUtils, ColourKeysTakeTheirAlphaPremultiplied) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.SetSize(2, 1);
    auto* row = static_cast<std::uint32_t*>(bitmap.ScanLine(0));
    row[0] = 0xFF80FF40u; // the key
    row[1] = 0xFF80FF41u;
    SetColorKeyAlpha(bitmap, 0x80FF40, 128);
    row = static_cast<std::uint32_t*>(bitmap.ScanLine(0));
    EXPECT_EQ(row[0], 0x80408020u); // 128*128/255 = 64, 255*128/255 = 128, 64*128/255 = 32
    EXPECT_EQ(row[1], 0xFF80FF41u);
}

TEST_F(page_tabs_utils_window, DragImagesComeAsHiddenLayeredFormsOfTheBitmapsSize) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(TPixelFormat::pf32bit);
    bitmap.SetSize(30, 12);
    TCustomForm* form = ShowLayeredDragImage(Application, bitmap, 220);
    EXPECT_EQ(form->Owner(), Application);
    EXPECT_FALSE(::IsWindowVisible(form->Handle()));
    EXPECT_TRUE(::GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
    // The layered window is the bitmap; its border goes when the caller removes it.
    RECT r{};
    ::GetWindowRect(form->Handle(), &r);
    EXPECT_EQ(r.right - r.left, 30);
    EXPECT_EQ(r.bottom - r.top, 12);
    delete form;
}

TEST(PageTabsUtils, ScaledBitmapsTakeTheRoundedSizeAndAverage) {
    TBitmap source;
    source.SetPixelFormat(TPixelFormat::pf32bit);
    source.SetSize(4, 2);
    source.Canvas().Brush().SetColor(clRed);
    source.Canvas().FillRect(RECT{0, 0, 4, 2});
    TBitmap target;
    ScaleBitmap(source, target, 0.5);
    EXPECT_EQ(source.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(target.PixelFormat(), TPixelFormat::pf24bit);
    EXPECT_EQ(target.Width(), 2);
    EXPECT_EQ(target.Height(), 1);
    EXPECT_EQ(target.Canvas().Pixel(1, 0), RGB(255, 0, 0));
    ScaleBitmap(source, target, 1.25); // 5 and 2.5 round to 5 and 2
    EXPECT_EQ(target.Width(), 5);
    EXPECT_EQ(target.Height(), 2);
}

TEST_F(gdiplus_utils, BitmapsPassedThroughGdiPlusComeBackOpaqueWith32Bits) {
    TBitmap bitmap;
    bitmap.SetSize(3, 3);
    bitmap.Canvas().Brush().SetColor(0x00FF00);
    bitmap.Canvas().FillRect(RECT{0, 0, 3, 3});
    RecreateBitmapThroughGDIPlus(bitmap);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf32bit);
    EXPECT_EQ(bitmap.Width(), 3);
    EXPECT_EQ(static_cast<std::uint32_t*>(bitmap.ScanLine(1))[1], 0xFF00FF00u);
}

TEST_F(page_tabs_utils_window, ParentsPaintTheBackgroundUnderAControlAndWindowsCopyTheirImage) {
    TForm* form = CreateForm<TForm>(Application);
    auto destroy = scope_exit([&] { delete form; });
    form->SetBounds(0, 0, 200, 100);
    form->SetColor(clRed);
    auto* panel = new TCustomControl(form);
    panel->SetBounds(10, 10, 40, 20);
    panel->SetColor(0xFF0000); // blue
    panel->SetParent(form);
    form->Show();
    for (int i = 0; i < 20; ++i) {
        Application->ProcessMessages();
        ::Sleep(5);
    }

    TBitmap background;
    background.SetSize(40, 20);
    background.Canvas().Brush().SetColor(clWhite);
    background.Canvas().FillRect(RECT{0, 0, 40, 20});
    PaintParentBackground(*panel, background.Canvas());
    EXPECT_EQ(background.Canvas().Pixel(0, 0), RGB(255, 0, 0));
    EXPECT_EQ(background.Canvas().Pixel(39, 19), RGB(255, 0, 0));

    TBitmap image;
    image.SetSize(50, 30);
    image.Canvas().Brush().SetColor(clWhite);
    image.Canvas().FillRect(RECT{0, 0, 50, 30});
    CopyControlImage(*panel, image, 5, 5);
    EXPECT_EQ(image.Canvas().Pixel(2, 2), RGB(255, 255, 255));
    EXPECT_EQ(image.Canvas().Pixel(6, 6), RGB(0, 0, 255));
    EXPECT_EQ(image.Canvas().Pixel(44, 24), RGB(0, 0, 255));
}

TEST(PageTabsUtils, ComponentsWriteThemselvesAsTextAndAsAssignments) {
    TTimer timer(nullptr);
    timer.SetName(u"Clock");
    EXPECT_EQ(ComponentToCode(timer, u"Timer1"), u"");

    timer.SetInterval(250);
    timer.SetEnabled(false);
    EXPECT_EQ(ComponentToCode(timer, u"Timer1"), u"Timer1.Enabled := False;\r\nTimer1.Interval := 250;\r\n");

    TMemoryStream text;
    ComponentToText(timer, text);
    text.SetPosition(0);
    TTimer copy(nullptr);
    TextToComponent(copy, text);
    EXPECT_EQ(copy.Interval(), 250u);
    EXPECT_FALSE(copy.Enabled());
}

} // namespace
} // namespace kq
