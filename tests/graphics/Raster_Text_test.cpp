// Text as glyph outlines through the GDI backend, under Wine.
#ifdef _WIN32

#include "graphics/Raster_Text.h"

#include "framework/Strings.h"
#include "graphics/Raster_Backends_GDI.h"
#include "graphics/Raster_Paths.h"
#include "graphics/Raster_Polygons.h"
#include "graphics/Raster_VectorUtils.h"
#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace kq;

namespace {

constexpr std::int32_t font_height = 24;

// A bitmap whose backend's font is the given face at 24 pixels.
struct text_fixture {
    TBitmap32 bitmap;
    ITextToPathSupport* outlines = nullptr;

    explicit text_fixture(const String& face = u"Arial") {
        bitmap.SetSize(8, 8);
        TFont font;
        font.SetName(face);
        font.SetHeight(-font_height);
        bitmap.SetFont(&font);
        outlines = require_interface<ITextToPathSupport>(bitmap.Backend(), IID_ITextToPathSupport);
    }
};

TFloatRect bounds_of(const TArrayOfArrayOfFloatPoint& polygons) {
    TFloatRect r = PolygonBounds(polygons.at(0));
    for (const TArrayOfFloatPoint& p : polygons) {
        const TFloatRect b = PolygonBounds(p);
        r = {std::min(r.Left, b.Left), std::min(r.Top, b.Top), std::max(r.Right, b.Right),
             std::max(r.Bottom, b.Bottom)};
    }
    return r;
}

} // namespace

TEST(RasterText, ALetterAndAChineseCharacterBecomeOutlinesInTheirBox) {
    struct row {
        const char16_t* text;
        const char16_t* face;
    };
    const row rows[] = {{u"A", u"Arial"}, {u"中", u"SimSun"}};
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.face));
        text_fixture f(r.face);
        TFlattenedPath path;
        f.outlines->TextToPath(&path, 10, 20, r.text);
        ASSERT_GE(path.Path().size(), 1u);
        const TFloatRect b = bounds_of(path.Path());
        const TFloatRect measured = f.outlines->MeasureText({10, 20, 10, 20}, r.text, 0);
        // Inside the cell the layout measures: from the pen position down one line, one advance wide.
        EXPECT_GE(b.Left, 10 - 1);
        EXPECT_GE(b.Top, 20);
        EXPECT_LE(b.Right, measured.Right + 1);
        EXPECT_LE(b.Bottom, measured.Bottom);
        EXPECT_GT(b.Right - b.Left, font_height / 4);
        EXPECT_GT(b.Bottom - b.Top, font_height / 3);
        EXPECT_GT(measured.Right, 10 + font_height / 4);
        EXPECT_NEAR(measured.Bottom - measured.Top, font_height + 4, 6);
    }
}

TEST(RasterText, OutlinesFillLikeTheText) {
    // The outline of "A" rendered through the polygon renderer inks its middle, not the corners.
    text_fixture f;
    TFlattenedPath path;
    f.outlines->TextToPath(&path, 0, 0, u"H");
    TCustomBitmap32 target;
    target.SetSize(32, 32);
    target.Clear(clBlack32);
    TPolygonRenderer32VPR renderer(&target, frNonZero);
    renderer.SetColor(clWhite32);
    renderer.PolyPolygonFS(path.Path());
    const TFloatRect b = bounds_of(path.Path());
    std::int32_t inked = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            inked += target.GetPixel(x, y) != clBlack32;
    EXPECT_GT(inked, 20);
    // The left stem of the H: a column of ink near the left edge of the outline.
    EXPECT_NE(target.GetPixel(static_cast<int>(b.Left) + 1, static_cast<int>((b.Top + b.Bottom) / 2)), clBlack32);
}

TEST(RasterText, WordBreakWrapsAtTheLastSpaceThatFits) {
    text_fixture f;
    const TFloatRect one_word = f.outlines->MeasureText({0, 0, 0, 0}, u"aaa bbb", 0);
    const float line_height = one_word.Bottom - one_word.Top;
    // Wide enough for "aaa bbb" but not for "aaa bbb ccc".
    const TFloatRect box{0, 0, one_word.Right + 2, 200};
    TFlattenedPath path;
    f.outlines->TextToPath(&path, box, u"aaa bbb ccc", glyph_word_break);
    ASSERT_FALSE(path.Path().empty());
    // Each polygon lies on the first line (bbb included) or on the second (ccc, from the left edge).
    TFloatRect first_line{1e9f, 1e9f, -1e9f, -1e9f}, second_line = first_line;
    for (const TArrayOfFloatPoint& p : path.Path()) {
        const TFloatRect b = PolygonBounds(p);
        TFloatRect& line = b.Top >= line_height - 1 ? second_line : first_line;
        line = {std::min(line.Left, b.Left), std::min(line.Top, b.Top), std::max(line.Right, b.Right),
                std::max(line.Bottom, b.Bottom)};
    }
    EXPECT_GT(first_line.Right, one_word.Right / 2); // "bbb" stayed on the first line
    EXPECT_LE(first_line.Right, box.Right);
    EXPECT_LT(second_line.Left, one_word.Right / 3); // "ccc" starts the second line
    EXPECT_LE(second_line.Bottom, 2 * line_height);
    EXPECT_LT(second_line.Right, one_word.Right / 2);

    // Without word break the words run on past the box; with single line too.
    TFlattenedPath single;
    f.outlines->TextToPath(&single, box, u"aaa bbb ccc", glyph_word_break | glyph_single_line);
    EXPECT_LT(bounds_of(single.Path()).Bottom, line_height);
    EXPECT_GT(bounds_of(single.Path()).Right, box.Right);
}

TEST(RasterText, AlignmentMovesTheLine) {
    text_fixture f;
    const TFloatRect box{0, 0, 200, 100};
    TFlattenedPath left, right, centre, bottom;
    f.outlines->TextToPath(&left, box, u"ab", glyph_align_left);
    f.outlines->TextToPath(&right, box, u"ab", glyph_align_right);
    f.outlines->TextToPath(&centre, box, u"ab", glyph_align_center | glyph_vertical_center);
    f.outlines->TextToPath(&bottom, box, u"ab", glyph_bottom);
    const TFloatRect l = bounds_of(left.Path()), r = bounds_of(right.Path()), c = bounds_of(centre.Path());
    EXPECT_LT(l.Left, 5);
    EXPECT_GT(r.Right, 190);
    EXPECT_LE(r.Right, 200);
    EXPECT_NEAR((c.Left + c.Right) / 2, 100, 6);
    EXPECT_NEAR((c.Top + c.Bottom) / 2, 50, 8);
    EXPECT_GT(bounds_of(bottom.Path()).Bottom, 90);
}

TEST(RasterText, OtherPathsGetTheCurrentPointOnly) {
    // A path that is no flattened path receives the layout's state, not its polygons.
    class counting_path : public TCustomPath {
    public:
        int emitted = 0;

    protected:
        void EmitPoint(const TFloatPoint&) override { ++emitted; }
    } path;
    text_fixture f;
    f.outlines->TextToPath(&path, 0, 0, u"A");
    EXPECT_EQ(path.emitted, 0);
    EXPECT_NE(path.CurrentPoint(), (TFloatPoint{0, 0}));
    // A nil path measures only; an empty text measures one empty line.
    f.outlines->TextToPath(nullptr, 0, 0, u"A");
    const TFloatRect empty = f.outlines->MeasureText({5, 5, 5, 5}, u"", 0);
    EXPECT_EQ(empty.Right, 5);
}

TEST(RasterText, HintingModesKeepTheShape) {
    text_fixture f;
    TFloatRect boxes[3];
    for (std::int32_t mode = 0; mode < 3; ++mode) {
        SetGlyphHinting(mode);
        TFlattenedPath path;
        f.outlines->TextToPath(&path, 0, 0, u"W");
        ASSERT_FALSE(path.Path().empty());
        boxes[mode] = bounds_of(path.Path());
    }
    SetGlyphHinting(0);
    for (const TFloatRect& b : boxes) {
        EXPECT_NEAR(b.Left, boxes[0].Left, 2);
        EXPECT_NEAR(b.Right, boxes[0].Right, 2);
        EXPECT_NEAR(b.Top, boxes[0].Top, 2);
    }
}

TEST(RasterText, OutlinesLeaveNoGDIObjectsBehind) {
    // The screen's device context and the selected font go back after every layout.
    const auto round = [] {
        text_fixture f;
        TFlattenedPath path;
        f.outlines->TextToPath(&path, {0, 0, 40, 40}, u"ab cd", glyph_word_break);
        f.outlines->MeasureText({0, 0, 0, 0}, u"ab", 0);
    };
    round();
    const test::handle_marks before = test::current_handle_marks();
    for (int i = 0; i < 40; ++i)
        round();
    EXPECT_LE(test::current_handle_marks().gdi, before.gdi + 2);
}

#endif
