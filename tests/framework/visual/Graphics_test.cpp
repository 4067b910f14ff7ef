#include "framework/Graphics.h"

#include "framework/Controls.h"
#include "framework/ImageLists.h"
#include "framework/Pictures.h"
#include "framework/Streams.h"

#include "VisualFixture.h"

#include <cwchar>

using namespace kq;
using kq::test::probe_dc;
using kq::test::visual_test;

namespace {

// A 16 x 16 icon: the left half fully transparent, the right half opaque blue.
HICON half_blue_icon() {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    uint32_t* bits = nullptr;
    HBITMAP colour = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) bits[y * 16 + x] = x < 8 ? 0x00000000u : 0xFF0000FFu;
    const uint8_t mask_bits[32] = {};
    HBITMAP mask = ::CreateBitmap(16, 16, 1, 1, mask_bits);
    ICONINFO info{TRUE, 0, 0, mask, colour};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(colour);
    ::DeleteObject(mask);
    return icon;
}

std::vector<uint8_t> stream_bytes(TGraphic& g) {
    TMemoryStream m;
    g.SaveToStream(m);
    const auto* p = static_cast<const uint8_t*>(m.Memory());
    return std::vector<uint8_t>(p, p + m.Size());
}

} // namespace

TEST(ColorToRGB, ResolvesSystemColoursOnly) {
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
    EXPECT_EQ(ColorToRGB(clOlive), 0x008080);
    EXPECT_EQ(ColorToRGB(clBtnFace), static_cast<std::int32_t>(::GetSysColor(COLOR_BTNFACE)));
    EXPECT_EQ(ColorToRGB(clWindowText), static_cast<std::int32_t>(::GetSysColor(COLOR_WINDOWTEXT)));
    EXPECT_EQ(ColorToRGB(clGradientActiveCaption),
              static_cast<std::int32_t>(::GetSysColor(COLOR_GRADIENTACTIVECAPTION)));
}

TEST(TFont, ReportsEachRealChangeOnceAndConvertsPointsToPixels) {
    TFont font;
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    font.SetSize(12);
    EXPECT_EQ(font.Height(), -::MulDiv(12, font.PixelsPerInch(), 72));
    EXPECT_EQ(font.Size(), 12);
    font.SetSize(12);
    font.SetName(u"Arial");
    font.SetName(u"Arial");
    font.SetStyle({TFontStyle::fsBold});
    font.SetColor(clRed);
    EXPECT_EQ(changes, 4);
    LOGFONTW lf{};
    ::GetObjectW(font.Handle(), sizeof lf, &lf);
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(std::wstring(lf.lfFaceName), L"Arial");

    TFont copy;
    copy.Assign(&font);
    EXPECT_EQ(copy.Name(), u"Arial");
    EXPECT_EQ(copy.Size(), 12);
    EXPECT_EQ(copy.Color(), clRed);
    TBrush brush;
    EXPECT_THROW(copy.Assign(&brush), EConvertError);
}

TEST(TCanvas, DrawsWithItsObjectsAndSurvivesTheirChanges) {
    probe_dc probe(40, 20);
    probe.fill(RGB(255, 255, 255));
    TCanvas canvas;
    canvas.SetHandle(probe.dc());
    canvas.Brush().SetColor(clRed);
    canvas.FillRect(RECT{0, 0, 10, 10});
    canvas.Brush().SetColor(RGB(0, 255, 0)); // the old brush is deselected before it is freed
    canvas.FillRect(RECT{10, 0, 20, 10});
    canvas.Pen().SetColor(RGB(0, 0, 255));
    canvas.MoveTo(0, 15);
    canvas.LineTo(40, 15);
    EXPECT_EQ(probe.at(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(probe.at(15, 5), RGB(0, 255, 0));
    EXPECT_EQ(probe.at(30, 15), RGB(0, 0, 255));
    EXPECT_GT(canvas.TextWidth(u"Wide text"), canvas.TextWidth(u"W"));
    EXPECT_GT(canvas.TextHeight(u"W"), 0);
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.FillRect(RECT{0, 0, 10, 10}); // a clear brush fills nothing
    EXPECT_EQ(probe.at(5, 5), RGB(255, 0, 0));
    canvas.SetHandle(nullptr);
    TCanvas unattached;
    EXPECT_THROW(unattached.FillRect(RECT{0, 0, 1, 1}), EInvalidOperation);
}

TEST(TBitmap, ScanLinesCanvasAndStreamsShareThePixels) {
    for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit}) {
        SCOPED_TRACE(format == TPixelFormat::pf24bit ? "24-bit" : "32-bit");
        TBitmap bitmap;
        bitmap.SetPixelFormat(format);
        bitmap.SetSize(5, 3);
        const int bytes = format == TPixelFormat::pf32bit ? 4 : 3;
        auto* row = static_cast<uint8_t*>(bitmap.ScanLine(1));
        row[2 * bytes + 2] = 0xFF; // red at (2, 1): rows are top-down
        EXPECT_EQ(bitmap.Canvas().Pixel(2, 1), RGB(255, 0, 0));
        bitmap.Canvas().SetPixel(4, 2, RGB(0, 0, 255));
        EXPECT_EQ(static_cast<uint8_t*>(bitmap.ScanLine(2))[4 * bytes], 0xFF);

        TMemoryStream stream;
        bitmap.SaveToStream(stream);
        stream.SetPosition(0);
        TBitmap back;
        back.LoadFromStream(stream);
        EXPECT_EQ(back.Width(), 5);
        EXPECT_EQ(back.Canvas().Pixel(2, 1), RGB(255, 0, 0));
        EXPECT_EQ(back.Canvas().Pixel(4, 2), RGB(0, 0, 255));
        EXPECT_THROW(bitmap.ScanLine(3), EInvalidGraphic);
    }
    // Growing keeps the pixels that still fit.
    TBitmap b;
    b.SetSize(2, 2);
    b.Canvas().SetPixel(1, 1, clRed);
    b.SetSize(4, 4);
    EXPECT_EQ(b.Canvas().Pixel(1, 1), RGB(255, 0, 0));
}

TEST(TPngImage, DrawsWithItsAlpha) {
    raster_image img;
    img.width = 2;
    img.height = 1;
    img.pixels = {0xFFFF0000u, 0x80FF0000u}; // opaque red, half red
    TPngImage png;
    png.SetPixels(img);
    probe_dc probe(2, 1);
    probe.fill(RGB(255, 255, 255));
    TCanvas canvas;
    canvas.SetHandle(probe.dc());
    canvas.Draw(0, 0, png);
    canvas.SetHandle(nullptr);
    EXPECT_EQ(probe.at(0, 0), RGB(255, 0, 0));
    const COLORREF half = probe.at(1, 0);
    EXPECT_EQ(GetRValue(half), 255);
    EXPECT_NEAR(GetGValue(half), 127, 2);
}

TEST(TPicture, PicksTheGraphicClassByContent) {
    raster_image img;
    img.width = img.height = 2;
    img.pixels.assign(4, 0xFF102030u);
    TIcon icon;
    icon.SetHandle(half_blue_icon());
    struct row {
        const char* name;
        std::vector<uint8_t> data;
        String class_name;
    };
    const row rows[] = {
        {"png", encode_png(img), u"TPngImage"},
        {"bmp", encode_bmp(img, 24), u"TBitmap"},
        {"ico", stream_bytes(icon), u"TIcon"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TMemoryStream m;
        m.WriteBuffer(r.data.data(), static_cast<std::int64_t>(r.data.size()));
        m.SetPosition(0);
        TPicture picture;
        picture.LoadFromStream(m);
        ASSERT_NE(picture.Graphic(), nullptr);
        EXPECT_EQ(picture.Graphic()->ClassName(), r.class_name);
        EXPECT_EQ(picture.Width(), r.name == std::string("ico") ? 16 : 2);
    }
    TStringStream junk(u"not a picture");
    TPicture picture;
    try {
        picture.LoadFromStream(junk);
        ADD_FAILURE();
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message(), u"Unknown picture file format");
    }
}

TEST_F(visual_test, ImageListDrawsAnIconWithItsTransparency) {
    TImageList list(nullptr);
    TIcon icon;
    icon.SetHandle(half_blue_icon());
    EXPECT_EQ(list.AddIcon(icon), 0);
    EXPECT_EQ(list.Count(), 1);

    auto check = [](const char* what, auto draw) {
        SCOPED_TRACE(what);
        probe_dc probe(16, 16);
        probe.fill(RGB(255, 0, 0));
        TCanvas canvas;
        canvas.SetHandle(probe.dc());
        draw(canvas);
        canvas.SetHandle(nullptr);
        EXPECT_EQ(probe.at(3, 8), RGB(255, 0, 0)); // the background shows through
        EXPECT_EQ(probe.at(12, 8), RGB(0, 0, 255));
    };
    check("list", [&](TCanvas& c) { list.Draw(c, 0, 0, 0); });
    TIcon back;
    list.GetIcon(0, back);
    EXPECT_EQ(back.Width(), 16);
    check("icon from the list", [&](TCanvas& c) { c.Draw(0, 0, back); });
    // Through an icon file and back.
    TMemoryStream m;
    back.SaveToStream(m);
    m.SetPosition(0);
    TIcon loaded;
    loaded.LoadFromStream(m);
    check("icon file", [&](TCanvas& c) { c.Draw(0, 0, loaded); });
    EXPECT_THROW(list.Draw(*std::make_unique<TCanvas>(), 0, 0, 1), EInvalidOperation);
}

TEST(TFont, PitchQualityAndAnAdoptedHandleReachTheSystemFont) {
    TFont font;
    font.SetPitch(TFontPitch::fpFixed);
    font.SetQuality(TFontQuality::fqAntialiased);
    LOGFONTW lf{};
    ASSERT_EQ(::GetObjectW(font.Handle(), sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfPitchAndFamily & 3, FIXED_PITCH);
    EXPECT_EQ(lf.lfQuality, ANTIALIASED_QUALITY);
    font.SetPitch(TFontPitch::fpVariable);
    font.SetQuality(TFontQuality::fqClearType);
    ASSERT_EQ(::GetObjectW(font.Handle(), sizeof lf, &lf), int(sizeof lf));
    EXPECT_EQ(lf.lfPitchAndFamily & 3, VARIABLE_PITCH);
    EXPECT_EQ(lf.lfQuality, CLEARTYPE_QUALITY);

    LOGFONTW made{};
    made.lfHeight = -20;
    made.lfWeight = FW_BOLD;
    made.lfItalic = TRUE;
    made.lfQuality = NONANTIALIASED_QUALITY;
    made.lfPitchAndFamily = FIXED_PITCH;
    std::wcscpy(made.lfFaceName, L"Courier New");
    const HFONT handle = ::CreateFontIndirectW(&made);
    int changes = 0;
    font.OnChange = [&](TObject*) { ++changes; };
    font.SetHandle(handle);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(font.Handle(), handle); // the font owns it now
    EXPECT_EQ(font.Name(), u"Courier New");
    EXPECT_EQ(font.Height(), -20);
    EXPECT_EQ(font.Style(), (TFontStyles{TFontStyle::fsBold, TFontStyle::fsItalic}));
    EXPECT_EQ(font.Pitch(), TFontPitch::fpFixed);
    EXPECT_EQ(font.Quality(), TFontQuality::fqNonAntialiased);
    font.SetHeight(-10);
    EXPECT_NE(font.Handle(), handle);
    EXPECT_THROW(font.SetHandle(nullptr), EInvalidOperation);
}

TEST(TCanvas, DrawsAGraphicAtAConstantOpacity) {
    probe_dc probe(8, 4);
    probe.fill(RGB(255, 255, 255));
    TBitmap black;
    black.SetSize(4, 4);
    black.Canvas().Brush().SetColor(clBlack);
    black.Canvas().FillRect(RECT{0, 0, 4, 4});
    TCanvas canvas;
    canvas.SetHandle(probe.dc());
    canvas.Draw(0, 0, black, 128);
    canvas.Draw(4, 0, black, 255);
    canvas.SetHandle(nullptr);
    const COLORREF half = probe.at(1, 1);
    EXPECT_NEAR(GetRValue(half), 127, 1);
    EXPECT_EQ(GetRValue(half), GetBValue(half));
    EXPECT_EQ(probe.at(5, 1), RGB(0, 0, 0));
}

TEST_F(visual_test, ControlCanvasOutsidePaintingDrawsOnTheWindow) {
    TForm* form = CreateForm<TForm>(Application);
    form->SetBounds(0, 0, 200, 120);
    auto* panel = new TCustomControl(form);
    panel->SetBounds(0, 0, 100, 50);
    panel->SetParent(form);
    form->Show();
    Application->ProcessMessages();
    panel->Canvas().Brush().SetColor(clRed);
    panel->Canvas().FillRect(RECT{0, 0, 100, 50});
    EXPECT_FALSE(panel->Canvas().HandleAllocated()); // the window DC went back after the operation
    const HDC dc = ::GetDC(panel->Handle());
    EXPECT_EQ(::GetPixel(dc, 10, 10), RGB(255, 0, 0));
    ::ReleaseDC(panel->Handle(), dc);
    // Without a window the canvas still measures text.
    auto* windowless = new TCustomControl(form);
    EXPECT_GT(windowless->Canvas().TextWidth(u"W"), 0);
}

TEST(logfont_of, CarriesTheFontAndNamesTheDefaultFace) {
    struct row {
        const char16_t* name;
        TFontStyles style;
        TFontPitch pitch;
        const char16_t* face;
        LONG weight;
        BYTE pitch_bits;
    };
    const row rows[] = {
        {u"Tahoma", {}, TFontPitch::fpDefault, u"Tahoma", FW_NORMAL, DEFAULT_PITCH},
        {u"default", {TFontStyle::fsBold}, TFontPitch::fpVariable, u"MS Sans Serif", FW_BOLD, VARIABLE_PITCH},
        {u"微软雅黑", {TFontStyle::fsItalic, TFontStyle::fsUnderline}, TFontPitch::fpFixed, u"微软雅黑", FW_NORMAL,
         FIXED_PITCH},
        {u"A face name longer than the thirty-one characters a logical font holds", {}, TFontPitch::fpDefault,
         u"A face name longer than the thi", FW_NORMAL, DEFAULT_PITCH},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.name));
        TFont font;
        font.SetName(r.name);
        font.SetStyle(r.style);
        font.SetPitch(r.pitch);
        font.SetHeight(-13);
        const LOGFONTW lf = logfont_of(font);
        EXPECT_EQ(String(from_wide(lf.lfFaceName)), r.face);
        EXPECT_EQ(lf.lfWeight, r.weight);
        EXPECT_EQ(lf.lfPitchAndFamily, r.pitch_bits);
        EXPECT_EQ(lf.lfHeight, -13);
        EXPECT_EQ(lf.lfItalic != 0, r.style.contains(TFontStyle::fsItalic));
        EXPECT_EQ(lf.lfUnderline != 0, r.style.contains(TFontStyle::fsUnderline));
    }
}
