// The DIB section backend and the bitmap's Windows side, under Wine.
#ifdef _WIN32

#include "graphics/Raster_Backends_GDI.h"

#include "framework/Controls.h"
#include "framework/Pictures.h"
#include "framework/Streams.h"
#include "tests/framework/raised.h"
#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kq;

namespace {

std::vector<TColor32> pixels_of(const TCustomBitmap32& b) {
    return {b.Bits(), b.Bits() + b.Width() * b.Height()};
}

using RasterGDIBackend = ::testing::Test;

// Text drawn in white on transparent black; the pixels the glyphs touched.
std::vector<bool> ink_of(const String& text, const String& face) {
    TBitmap32 b;
    b.SetSize(64, 32);
    TFont font;
    font.SetName(face);
    font.SetHeight(-24);
    font.SetColor(clWhite);
    b.SetFont(&font);
    b.Textout(0, 0, text);
    ::GdiFlush();
    std::vector<bool> ink;
    for (const TColor32 p : pixels_of(b))
        ink.push_back((p & 0x00FFFFFF) != 0);
    return ink;
}

} // namespace

TEST_F(RasterGDIBackend, NewBitmapIsTransparentBlackInItsOwnDIB) {
    TBitmap32 b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Bits(), nullptr);
    EXPECT_EQ(b.GetPlatformBackendClass(), &gdi_backend_class);
    b.SetSize(3, 2);
    EXPECT_EQ(pixels_of(b), std::vector<TColor32>(6, 0u));
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 3, 2}));
    EXPECT_NE(b.Handle(), nullptr);
    EXPECT_NE(b.BitmapHandle(), nullptr);
    const BITMAPINFO info = b.BitmapInfo();
    EXPECT_EQ(info.bmiHeader.biWidth, 3);
    EXPECT_EQ(info.bmiHeader.biHeight, -2);
    EXPECT_EQ(info.bmiHeader.biBitCount, 32);
    EXPECT_EQ(info.bmiHeader.biSizeImage, 24u);
    // The device context draws into the same pixels.
    ::SetPixelV(b.Handle(), 2, 1, RGB(0x12, 0x34, 0x56));
    ::GdiFlush();
    EXPECT_EQ(b.GetPixel(2, 1) & 0x00FFFFFF, 0x123456u);
}

TEST_F(RasterGDIBackend, ZeroSideReleasesTheDIB) {
    TBitmap32 b;
    int handle_changes = 0;
    b.OnHandleChanged = [&](TObject*) { ++handle_changes; };
    b.SetSize(4, 4);
    b.SetSize(0, 5);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 5);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.BitmapHandle(), nullptr);
    EXPECT_EQ(b.Handle(), nullptr);
    EXPECT_EQ(handle_changes, 2);
}

TEST_F(RasterGDIBackend, RequiringADeviceContextSwapsBackendsAndBack) {
    TBitmap32 b(&memory_backend_class);
    b.SetSize(2, 2);
    EXPECT_EQ(pixels_of(b), std::vector<TColor32>(4, clBlack32));
    b.SetPixel(1, 1, 0x80ABCDEF);
    TCustomBackend* memory = b.Backend();
    EXPECT_THROW(b.Handle(), EIntfCastError);

    TCustomBackend* saved = RequireBackendSupport(&b, {IID_IDeviceContextSupport}, backend_support_mode::any, false);
    ASSERT_EQ(saved, memory);
    EXPECT_NE(dynamic_cast<TGDIBackend*>(b.Backend()), nullptr);
    EXPECT_EQ(b.GetPixel(1, 1), 0x80ABCDEFu);
    EXPECT_EQ(b.GetPixel(0, 0), clBlack32);
    ::SetPixelV(b.Handle(), 0, 0, RGB(0xFF, 0, 0));
    ::GdiFlush();

    RestoreBackend(&b, saved);
    EXPECT_EQ(b.Backend(), memory);
    EXPECT_EQ(b.GetPixel(0, 0) & 0x00FFFFFF, 0xFF0000u);
    EXPECT_EQ(b.GetPixel(1, 1), 0x80ABCDEFu);
    EXPECT_EQ(memory->RefCount(), 1);

    // Already there: nothing happens.
    TBitmap32 gdi;
    EXPECT_EQ(RequireBackendSupport(&gdi, {IID_IDeviceContextSupport}, backend_support_mode::any, false), nullptr);
    EXPECT_EQ(RequireBackendSupport(&gdi, {IID_ITextToPathSupport}, backend_support_mode::any, false), nullptr);
}

TEST_F(RasterGDIBackend, TextInMeasuringModeOnlyReportsItsArea) {
    TBitmap32 b;
    b.SetSize(40, 20);
    std::vector<std::pair<TRect, std::uint32_t>> areas;
    b.BeginMeasuring([&](TObject*, const TRect& a, std::uint32_t i) { areas.push_back({a, i}); });
    b.Textout(2, 3, u"Wg");
    b.EndMeasuring();
    EXPECT_EQ(pixels_of(b), std::vector<TColor32>(800, 0u));
    const SIZE extent = b.TextExtent(u"Wg");
    ASSERT_GT(extent.cx, 0);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0].first, (TRect{2, 3, 2 + extent.cx + 1, 3 + extent.cy + 1}));
    EXPECT_EQ(areas[0].second, AreaInfoRect);
}

TEST_F(RasterGDIBackend, TextUsesTheBitmapsCurrentFont) {
    TBitmap32 b;
    b.SetSize(10, 10);
    TFont font;
    font.SetHeight(-10);
    b.SetFont(&font);
    const SIZE small = b.TextExtent(u"Text");
    b.Textout(0, 0, u"x"); // selects and caches the font
    font.SetHeight(-30);
    b.SetFont(&font);
    const SIZE large = b.TextExtent(u"Text");
    EXPECT_GT(large.cy, small.cy);
    b.Font()->SetHeight(-10); // a change through the font itself drops the cached handle too
    EXPECT_EQ(b.TextExtent(u"Text").cy, small.cy);
}

TEST_F(RasterGDIBackend, ChineseTextRendersGlyphs) {
    // Missing glyphs would all be the same box.
    const std::vector<bool> a = ink_of(u"中", u"SimSun"), b = ink_of(u"国", u"SimSun");
    EXPECT_NE(std::count(a.begin(), a.end(), true), 0);
    EXPECT_NE(a, b);
}

TEST_F(RasterGDIBackend, FrameworkPicturesAssignedIn) {
    struct row {
        const char* name;
        TPixelFormat format;
        std::uint8_t alpha;
        std::uint8_t expected_alpha;
    };
    const row rows[] = {{"24-bit", TPixelFormat::pf24bit, 0x40, 0xFF}, {"32-bit", TPixelFormat::pf32bit, 0x40, 0x40}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TBitmap source;
        source.SetPixelFormat(r.format);
        source.SetSize(2, 1);
        for (int x = 0; x < 2; ++x) {
            auto* p = static_cast<std::uint8_t*>(source.ScanLine(0)) + x * (r.format == TPixelFormat::pf32bit ? 4 : 3);
            p[0] = 0x30;
            p[1] = 0x20;
            p[2] = 0x10;
            if (r.format == TPixelFormat::pf32bit)
                p[3] = r.alpha;
        }
        TBitmap32 b;
        b.Assign(&source);
        ASSERT_EQ(b.Width(), 2);
        EXPECT_EQ(b.GetPixel(1, 0), MakeColor32(0x10, 0x20, 0x30, r.expected_alpha));
    }
    raster_image image;
    image.width = 2;
    image.height = 1;
    image.pixels = {0x80FF0000, 0xFF00FF00};
    TPngImage png;
    png.SetPixels(image);
    TBitmap32 b;
    b.Assign(&png);
    ASSERT_EQ(b.Width(), 2);
    for (const TColor32 p : pixels_of(b))
        EXPECT_EQ(Color32Alpha(p), 0xFF);
    EXPECT_EQ(b.GetPixel(1, 0), 0xFF00FF00u);
}

namespace {

// A 20 x 20 pixel frame on the screen's scale with one square filled at (5, 5)-(15, 15).
void record_square(TMetafile& m, COLORREF colour) {
    const window_dc screen;
    const HDC s = screen.get();
    const RECT frame{0, 0, ::MulDiv(20, ::GetDeviceCaps(s, HORZSIZE) * 100, ::GetDeviceCaps(s, HORZRES)),
                     ::MulDiv(20, ::GetDeviceCaps(s, VERTSIZE) * 100, ::GetDeviceCaps(s, VERTRES))};
    const HDC dc = ::CreateEnhMetaFileW(s, nullptr, &frame, nullptr);
    {
        const unique_hbrush brush(::CreateSolidBrush(colour));
        const RECT square{5, 5, 15, 15};
        ::FillRect(dc, &square, brush.get());
    }
    m.SetHandle(::CloseEnhMetaFile(dc));
}

} // namespace

TEST_F(RasterGDIBackend, MetafileAssignedInIsOpaqueOnlyWhereItDraws) {
    TMetafile recorded;
    record_square(recorded, RGB(0x10, 0x80, 0xF0));
    ASSERT_NE(recorded.Handle(), nullptr);
    // The same picture after a trip through its file form.
    TMemoryStream file;
    recorded.SaveToStream(file);
    file.SetPosition(0);
    TMetafile reloaded;
    reloaded.LoadFromStream(file);
    for (TMetafile* m : {&recorded, &reloaded}) {
        SCOPED_TRACE(m == &recorded ? "recorded" : "reloaded");
        TBitmap32 b;
        b.Assign(m);
        EXPECT_EQ(b.Width(), m->Width());
        EXPECT_NEAR(b.Width(), 20, 1);
        EXPECT_NEAR(b.Height(), 20, 1);
        // Drawn pixels are opaque; the rest keep the white of the first drawing with alpha 0.
        EXPECT_EQ(b.GetPixel(10, 10), 0xFF1080F0u);
        EXPECT_EQ(b.GetPixel(1, 1), 0x00FFFFFFu);
        EXPECT_EQ(b.GetPixel(18, 18), 0x00FFFFFFu);
    }
    std::vector<std::uint8_t> garbage(200, 7);
    TMemoryStream bad;
    bad.WriteBuffer(garbage.data(), static_cast<std::int64_t>(garbage.size()));
    bad.SetPosition(0);
    EXPECT_THROW(reloaded.LoadFromStream(bad), EInvalidGraphic);
}

TEST_F(RasterGDIBackend, SizeFromTheFrameworksGraphicsAndControls) {
    TBitmap graphic;
    graphic.SetSize(5, 7);
    TComponent owner(nullptr);
    auto* control = new TGraphicControl(&owner);
    control->SetBounds(3, 4, 11, 13);
    const TIcon empty_icon;
    struct row { const char* name; const TPersistent* source; std::int32_t width, height; };
    const row rows[] = {
        {"a framework bitmap", &graphic, 5, 7},
        {"a control", control, 11, 13},
        {"an empty icon", &empty_icon, 0, 0},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TBitmap32 b;
        b.SetSize(2, 2);
        b.SetSizeFrom(r.source);
        EXPECT_EQ(b.Width(), r.width);
        EXPECT_EQ(b.Height(), r.height);
    }
    // A framework object without a size is still refused.
    TBitmap32 b;
    const TFont font;
    EXPECT_EQ(raised_message<Exception>([&] { b.SetSizeFrom(&font); }), u"Can't set size from 'TFont'");
}

TEST_F(RasterGDIBackend, CopiedOutToAFrameworkBitmapWithItsPixels) {
    TBitmap32 b;
    b.SetSize(2, 2);
    b.SetPixel(1, 0, 0xFF102030);
    TBitmap out;
    out.Assign(&b);
    ASSERT_EQ(out.Width(), 2);
    EXPECT_EQ(out.PixelFormat(), TPixelFormat::pf32bit);
    const auto* p = static_cast<const std::uint8_t*>(out.ScanLine(0)) + 4;
    EXPECT_EQ(p[0], 0x30);
    EXPECT_EQ(p[1], 0x20);
    EXPECT_EQ(p[2], 0x10);
}

TEST_F(RasterGDIBackend, RenderedTextTakesTheColourAndItsAlpha) {
    for (const std::int32_t level : {-1, 0, 2}) {
        SCOPED_TRACE(level);
        TBitmap32 b;
        b.SetSize(60, 30);
        b.Clear(clWhite32);
        b.Font()->SetHeight(-20);
        b.RenderText(2, 2, u"W", level, 0xFF0000FF);
        int blue = 0;
        for (const TColor32 p : pixels_of(b)) {
            if (((p >> 16) & 0xFF) <= 1 && (p & 0xFF) == 0xFF) // the row blend leaves 1 of the white
                ++blue;
            EXPECT_EQ((p >> 8) & 0xFF, (p >> 16) & 0xFF); // blue text on white: red and green move together
        }
        EXPECT_GT(blue, 0);
        EXPECT_EQ(b.Font()->Quality(), TFontQuality::fqDefault);
    }
    // A transparent colour leaves the bitmap as it was.
    TBitmap32 b;
    b.SetSize(20, 20);
    b.Clear(clWhite32);
    b.RenderText(TRect{0, 0, 20, 20}, DT_LEFT, u"W", 0x000000FF);
    for (const TColor32 p : pixels_of(b))
        EXPECT_EQ(p, clWhite32);
    EXPECT_EQ(b.Font()->Quality(), TFontQuality::fqNonAntialiased);
}

TEST_F(RasterGDIBackend, TileToStretchesAcrossTiles) {
    TBitmap32 b;
    b.SetSize(2, 1);
    b.SetPixel(0, 0, 0xFFFF0000);
    b.SetPixel(1, 0, 0xFF0000FF);
    test::probe_dc probe(2100, 4);
    b.TileTo(probe.dc(), {0, 0, 2100, 4}, b.BoundsRect());
    EXPECT_EQ(probe.at(10, 1), RGB(255, 0, 0));
    EXPECT_EQ(probe.at(1049, 3), RGB(255, 0, 0));
    EXPECT_EQ(probe.at(1050, 0), RGB(0, 0, 255));
    EXPECT_EQ(probe.at(2099, 3), RGB(0, 0, 255));
}

TEST(RasterGDIBackendHandles, BitmapsLeaveNoGDIObjectsBehind) {
    // One round of what a bitmap does with system objects; the handle tables move by a slot or two
    // whatever the order of frees, so a leak shows only as growth over many rounds.
    const auto round = [] {
        TBitmap32 b;
        b.SetSize(8, 8);
        b.Textout(0, 0, u"x");
        b.Font()->SetHeight(-20);
        b.Textout(0, 0, u"y");
        b.Canvas()->FillRect({0, 0, 2, 2});
        TCustomBackend* saved = RequireBackendSupport(&b, {IID_IInterface}, backend_support_mode::all, false);
        RestoreBackend(&b, saved);
        b.SetSize(0, 3);
        b.TextExtent(u"z");
        TBitmap32 m(&memory_backend_class);
        m.SetSize(2, 2);
        saved = RequireBackendSupport(&m, {IID_IDeviceContextSupport}, backend_support_mode::any, false);
        RestoreBackend(&m, saved);
        TBitmap out;
        out.Assign(&m);
        m.Assign(&out);
    };
    round();
    const test::handle_marks before = test::current_handle_marks();
    for (int i = 0; i < 40; ++i)
        round();
    EXPECT_LE(test::current_handle_marks().gdi, before.gdi + 2);
}

#endif
