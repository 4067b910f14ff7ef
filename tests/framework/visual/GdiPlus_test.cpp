#include "framework/GdiPlus.h"

#include "framework/Graphics.h"
#include "framework/Streams.h"

#include "VisualFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string_view>
#include <utility>

using namespace kq;
using Gdiplus::Point;
using Gdiplus::PointF;
using Gdiplus::RectF;

namespace {

class gdiplus_test : public ::testing::Test {
protected:
    void SetUp() override { gdiplus_startup(); }
    void TearDown() override { gdiplus_shutdown(); }
};

constexpr ARGB red = make_argb(255, 255, 0, 0);
constexpr ARGB blue = make_argb(255, 0, 0, 255);
constexpr ARGB white = make_argb(255, 255, 255, 255);

// A white 20 x 20 bitmap and a graphics object on it.
struct canvas {
    TGPBitmap bitmap{20, 20};
    TGPGraphics graphics{bitmap};
    canvas() { graphics.Clear(white); }
};

int red_of(ARGB c) { return (c >> 16) & 0xFF; }
int blue_of(ARGB c) { return c & 0xFF; }

TEST_F(gdiplus_test, FailingCallsRaiseTheirStatus) {
    struct row {
        const char* name;
        void (*call)();
        Gdiplus::Status status;
        std::u16string_view message;
    };
    const row rows[] = {
        {"bitmap without pixels", [] { TGPBitmap(0, 0); }, Gdiplus::InvalidParameter, u"GDI+ error 2 (InvalidParameter)"},
        {"pixel outside the bitmap", [] { TGPBitmap(2, 2).Pixel(5, 5); }, Gdiplus::InvalidParameter,
         u"GDI+ error 2 (InvalidParameter)"},
        {"polygon of two points",
         [] {
             const Point two[] = {Point(0, 0), Point(1, 1)};
             TGPGraphicsPath().AddPolygon(two);
         },
         Gdiplus::InvalidParameter, u"GDI+ error 2 (InvalidParameter)"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        try {
            r.call();
            ADD_FAILURE() << "no error";
        } catch (const EGdiPlusError& e) {
            EXPECT_EQ(e.Status, r.status);
            EXPECT_EQ(e.Message(), r.message);
        }
    }
    // Bytes that are no picture fail too, whatever status the system picks.
    auto bytes = std::make_unique<TMemoryStream>();
    bytes->WriteBuffer("not a picture", 13);
    bytes->SetPosition(0);
    const auto stream = make_stream_adapter(std::move(bytes));
    EXPECT_THROW(TGPBitmap::FromStream(stream.get()), EGdiPlusError);
}

TEST_F(gdiplus_test, PolygonsFillAndOutlineWithTheirBrushAndPen) {
    canvas c;
    const std::array<Point, 4> square{Point(2, 2), Point(17, 2), Point(17, 17), Point(2, 17)};
    c.graphics.FillPolygon(TGPSolidBrush(red), square);
    c.graphics.DrawPolygon(TGPPen(blue, 1.0f), square);
    EXPECT_EQ(c.bitmap.Pixel(10, 10), red);
    EXPECT_EQ(c.bitmap.Pixel(17, 10), blue);
    EXPECT_EQ(c.bitmap.Pixel(0, 0), white);
}

TEST_F(gdiplus_test, LinearGradientRunsFromTheFirstColourToTheSecondAndFollowsItsBlend) {
    TGPLinearGradientBrush brush(PointF(0, 0), PointF(0, 20), red, blue);
    EXPECT_EQ(brush.LinearColors(), std::make_pair(red, blue));
    {
        canvas c;
        c.graphics.FillRectangle(brush, RectF(0, 0, 20, 20));
        EXPECT_GT(red_of(c.bitmap.Pixel(5, 0)), 240);
        EXPECT_GT(blue_of(c.bitmap.Pixel(5, 19)), 240);
        const ARGB middle = c.bitmap.Pixel(5, 10);
        EXPECT_NEAR(red_of(middle), 128, 16);
    }
    // All of the second colour from the start.
    const float factors[] = {1.0f, 1.0f};
    const float positions[] = {0.0f, 1.0f};
    brush.SetBlend({factors, positions});
    canvas c;
    c.graphics.FillRectangle(brush, RectF(0, 0, 20, 20));
    EXPECT_EQ(c.bitmap.Pixel(5, 1), blue);
}

TEST_F(gdiplus_test, PathGradientShadesFromItsCentreToItsEdge) {
    TGPGraphicsPath path;
    path.AddEllipse(RectF(0, 0, 20, 20));
    TGPPathGradientBrush brush(path);
    brush.SetCenterColor(red);
    const ARGB edge[] = {make_argb(0, 0, 0, 255)};
    brush.SetSurroundColors(edge);
    EXPECT_EQ(brush.CenterColor(), red);
    canvas c;
    c.graphics.FillPath(brush, path);
    EXPECT_GT(red_of(c.bitmap.Pixel(10, 10)), 200);
    EXPECT_EQ(c.bitmap.Pixel(0, 0), white);
}

TEST_F(gdiplus_test, ClipPathAndRegionsLimitDrawing) {
    TGPGraphicsPath triangle;
    const std::array<Point, 3> points{Point(0, 0), Point(20, 0), Point(0, 20)};
    triangle.AddPolygon(points);
    EXPECT_TRUE(triangle.IsVisible(3, 3));
    EXPECT_FALSE(triangle.IsVisible(18, 18));

    canvas c;
    c.graphics.SetClip(triangle);
    c.graphics.FillRectangle(TGPSolidBrush(red), RectF(0, 0, 20, 20));
    EXPECT_EQ(c.bitmap.Pixel(3, 3), red);
    EXPECT_EQ(c.bitmap.Pixel(18, 18), white);

    TGPRegion region(RectF(0, 0, 10, 10));
    region.Combine(RectF(5, 5, 10, 10), Gdiplus::CombineModeExclude);
    EXPECT_TRUE(region.IsVisible(2, 2));
    EXPECT_FALSE(region.IsVisible(7, 7));

    // A saved clip comes back after the clip was narrowed further.
    canvas d;
    d.graphics.SetClip(RectF(0, 0, 10, 20));
    const TGPRegion saved = d.graphics.Clip();
    d.graphics.SetClip(RectF(0, 0, 5, 5), Gdiplus::CombineModeIntersect);
    d.graphics.SetClip(saved);
    d.graphics.FillRectangle(TGPSolidBrush(red), RectF(0, 0, 20, 20));
    EXPECT_EQ(d.bitmap.Pixel(8, 15), red);
    EXPECT_EQ(d.bitmap.Pixel(15, 15), white);
}

TEST_F(gdiplus_test, MissingFontFamiliesFallBackToADefaultFamilyThatExists) {
    EXPECT_FALSE(TGPFontFamily::Exists(u"No Such Family Anywhere"));
    const String fallback = TGPFontFamily(u"No Such Family Anywhere").Name();
    EXPECT_FALSE(fallback.empty());
    EXPECT_TRUE(TGPFontFamily::Exists(fallback));
    EXPECT_EQ(TGPFontFamily(u"Nor This One").Name(), fallback);
    EXPECT_EQ(TGPFontFamily(fallback).Name(), fallback);

    const TGPFont font(u"No Such Family Anywhere", 9.0f);
    EXPECT_EQ(font.FamilyName(), fallback);
    EXPECT_EQ(font.Size(), 9.0f);

    // The fallback draws text.
    canvas c;
    TGPStringFormat format(Gdiplus::StringFormatFlagsNoWrap);
    format.SetTrimming(Gdiplus::StringTrimmingNone);
    EXPECT_EQ(format.Flags(), Gdiplus::StringFormatFlagsNoWrap);
    EXPECT_EQ(format.Trimming(), Gdiplus::StringTrimmingNone);
    const RectF bounds = c.graphics.MeasureString(u"MMMM", font, RectF(0, 0, 1000, 20), &format);
    EXPECT_GT(bounds.Width, 10.0f);
    c.graphics.DrawString(u"MMMM", font, RectF(0, 0, 20, 20), &format, TGPSolidBrush(make_argb(255, 0, 0, 0)));
    int dark = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) dark += red_of(c.bitmap.Pixel(x, y)) < 128;
    EXPECT_GT(dark, 5);
}

TEST_F(gdiplus_test, PicturesLoadFromAStreamAdapterThatOwnsTheStream) {
    TBitmap source;
    source.SetPixelFormat(TPixelFormat::pf24bit);
    source.SetSize(4, 3);
    source.Canvas().Brush().SetColor(clRed);
    source.Canvas().FillRect(RECT{0, 0, 4, 3});
    auto bytes = std::make_unique<TMemoryStream>();
    source.SaveToStream(*bytes);
    bytes->SetPosition(0);

    auto stream = make_stream_adapter(std::move(bytes));
    TGPBitmap loaded = TGPBitmap::FromStream(stream.get());
    stream.reset(); // the picture keeps its own reference
    EXPECT_EQ(loaded.Width(), 4);
    EXPECT_EQ(loaded.Height(), 3);
    EXPECT_EQ(loaded.Pixel(2, 1), red);

    // And back to GDI.
    const unique_hbitmap gdi = loaded.GetHBITMAP(white);
    BITMAP info{};
    ASSERT_NE(::GetObjectW(gdi.get(), sizeof info, &info), 0);
    EXPECT_EQ(info.bmWidth, 4);
}

TEST_F(gdiplus_test, DrawsOnADeviceContext) {
    kq::test::probe_dc probe(10, 10);
    probe.fill(RGB(255, 255, 255));
    {
        TGPGraphics graphics(probe.dc());
        graphics.FillRectangle(TGPSolidBrush(blue), RectF(0, 0, 5, 10));
        graphics.Flush();
    }
    EXPECT_EQ(probe.at(2, 5), RGB(0, 0, 255));
    EXPECT_EQ(probe.at(7, 5), RGB(255, 255, 255));
}

TEST_F(gdiplus_test, OwnersMoveTheirObject) {
    TGPSolidBrush first(red);
    auto* handle = first.Handle();
    TGPSolidBrush second = std::move(first);
    EXPECT_EQ(second.Handle(), handle);
    EXPECT_EQ(first.Handle(), nullptr); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(second.Color(), red);
}

} // namespace
