#include "graphics/Raster_Bitmap.h"

#include "framework/Exceptions.h"
#include "framework/Streams.h"
#include "graphics/Raster_Backends.h"
#include "tests/framework/raised.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace kq;

namespace {

struct area_report {
    TRect area;
    std::uint32_t info;
    bool operator==(const area_report&) const = default;
};

std::vector<std::uint8_t> bytes_of(TMemoryStream& s) {
    const auto* p = static_cast<const std::uint8_t*>(s.Memory());
    return {p, p + s.Size()};
}

void fill_pattern(TCustomBitmap32& b) {
    for (std::int32_t y = 0; y < b.Height(); ++y)
        for (std::int32_t x = 0; x < b.Width(); ++x)
            b.SetPixel(x, y, 0x80000000u | static_cast<TColor32>(y << 8 | x));
}

std::vector<TColor32> pixels_of(const TCustomBitmap32& b) {
    return {b.Bits(), b.Bits() + b.Width() * b.Height()};
}

} // namespace

TEST(RasterBitmap, NewBitmapIsEmptyWithItsDefaults) {
    TCustomBitmap32 b;
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Bits(), nullptr);
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 0, 0}));
    EXPECT_FALSE(b.Clipping());
    EXPECT_EQ(b.DrawMode(), dmOpaque);
    EXPECT_EQ(b.CombineMode(), cmBlend);
    EXPECT_EQ(b.WrapMode(), wmClamp);
    EXPECT_EQ(b.MasterAlpha(), 255u);
    EXPECT_EQ(b.OuterColor(), 0u);
    EXPECT_EQ(b.PenColor(), clWhite32);
    EXPECT_EQ(b.StippleStep(), 1.0f);
    EXPECT_FALSE(b.MeasuringMode());
    ASSERT_NE(b.Backend(), nullptr);
    EXPECT_EQ(b.Backend()->RefCount(), 1);
}

TEST(RasterBitmap, MemoryStorageStartsOpaqueBlackAndResizingClearsIt) {
    TCustomBitmap32 b;
    ASSERT_TRUE(b.SetSize(3, 2));
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 3, 2}));
    EXPECT_EQ(pixels_of(b), std::vector<TColor32>(6, clBlack32));
    b.SetPixel(1, 1, 0x12345678);
    b.SetClipRect({0, 0, 1, 1});
    ASSERT_TRUE(b.SetSize(2, 3));
    EXPECT_EQ(pixels_of(b), std::vector<TColor32>(6, clBlack32));
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 2, 3})); // every resize resets the clip
    EXPECT_FALSE(b.SetSize(2, 3));
}

TEST(RasterBitmap, ZeroSideReleasesTheStorage) {
    TCustomBitmap32 b;
    b.SetSize(4, 4);
    b.SetSize(0, 5);
    EXPECT_EQ(b.Width(), 0);
    EXPECT_EQ(b.Height(), 5);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Bits(), nullptr);
}

TEST(RasterBitmap, ClipRectIsKeptInsideTheBounds) {
    struct row {
        TRect set, expected;
        bool clipping;
    };
    const row rows[] = {
        {{-5, -5, 2, 1}, {0, 0, 2, 1}, true},
        {{0, 0, 3, 2}, {0, 0, 3, 2}, false},
        {{-100, -100, 100, 100}, {0, 0, 3, 2}, false},
        {{5, 5, 9, 9}, {0, 0, 0, 0}, true},       // no overlap
        {{3, 0, 9, 2}, {3, 0, 3, 2}, true},       // touching edge: empty but placed
        {{2, 1, 1, 0}, {0, 0, 0, 0}, true},       // inverted
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.set.Left << "," << r.set.Top << "," << r.set.Right << "," << r.set.Bottom);
        TCustomBitmap32 b;
        b.SetSize(3, 2);
        b.SetClipRect(r.set);
        EXPECT_EQ(b.ClipRect(), r.expected);
        EXPECT_EQ(b.Clipping(), r.clipping);
        EXPECT_EQ(b.FixedClipRect(), RectToFixedRect(r.expected));
    }
}

TEST(RasterBitmap, ClippedAccessUsesTheOuterColour) {
    TCustomBitmap32 b;
    b.SetSize(3, 2);
    b.SetOuterColor(0x11223344);
    b.SetClipRect({-5, -5, 2, 1});
    EXPECT_EQ(b.GetPixelS(2, 0), 0x11223344u);
    EXPECT_EQ(b.GetPixelS(-1, 0), 0x11223344u);
    EXPECT_EQ(b.GetPixelS(0, 1), 0x11223344u);
    EXPECT_EQ(b.GetPixelS(1, 0), clBlack32);
    b.SetPixelS(2, 0, 0xFFFFFFFF);
    b.SetPixelS(0, 5000, 0xFFFFFFFF);
    b.SetPixelS(1, 0, 0xFF0000FF);
    EXPECT_EQ(b.GetPixel(2, 0), clBlack32);
    EXPECT_EQ(b.GetPixel(1, 0), 0xFF0000FFu);
}

TEST(RasterBitmap, WrappedAccessFollowsTheWrapMode) {
    TCustomBitmap32 b;
    b.SetSize(3, 1);
    b.SetPixel(0, 0, 10);
    b.SetPixel(1, 0, 11);
    b.SetPixel(2, 0, 12);
    struct row {
        TWrapMode mode;
        std::int32_t x;
        TColor32 expected;
    };
    const row rows[] = {{wmClamp, -4, 10}, {wmClamp, 7, 12},  {wmRepeat, 3, 10},
                        {wmRepeat, -1, 12}, {wmMirror, 3, 12}, {wmMirror, -1, 10}};
    for (const row& r : rows) {
        SCOPED_TRACE(r.x);
        b.SetWrapMode(r.mode);
        EXPECT_EQ(b.GetPixelW(r.x, 5), r.expected);
    }
}

TEST(RasterBitmap, ChangeNotificationsFollowUpdatesAndMeasuring) {
    TCustomBitmap32 b;
    b.SetSize(2, 2);
    int changes = 0;
    std::vector<area_report> areas, measured;
    b.OnChange = [&](TObject*) { ++changes; };
    b.OnAreaChanged = [&](TObject*, const TRect& a, std::uint32_t i) { areas.push_back({a, i}); };
    b.BeginUpdate();
    b.Changed();
    b.Changed({0, 0, 1, 1}, AreaInfoRect);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(areas.empty());
    b.EndUpdate();
    b.Changed({1, 1, 2, 2}, AreaInfoLine + 2);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(areas.size(), 1u);
    EXPECT_EQ(areas[0], (area_report{{1, 1, 2, 2}, AreaInfoLine + 2}));

    b.BeginMeasuring([&](TObject*, const TRect& a, std::uint32_t i) { measured.push_back({a, i}); });
    EXPECT_TRUE(b.MeasuringMode());
    b.Changed();
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(measured.size(), 1u);
    EXPECT_EQ(measured[0], (area_report{{0, 0, 2, 2}, AreaInfoRect}));
    b.EndMeasuring();
    b.Changed();
    EXPECT_EQ(areas.size(), 2u); // the saved handler is back
    EXPECT_EQ(changes, 2);
    b.PropertyChanged();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(areas.size(), 2u);
}

TEST(RasterBitmap, ClearFillsTheClipOrEverything) {
    TCustomBitmap32 b;
    b.SetSize(3, 2);
    b.Clear(0x01020304);
    EXPECT_EQ(pixels_of(b), std::vector<TColor32>(6, 0x01020304u));
    b.SetClipRect({1, 0, 2, 1});
    b.Clear(0xAABBCCDD);
    EXPECT_EQ(pixels_of(b), (std::vector<TColor32>{0x01020304, 0xAABBCCDD, 0x01020304, 0x01020304, 0x01020304,
                                                   0x01020304}));
    b.ResetAlpha(0x7F);
    EXPECT_EQ(b.GetPixel(1, 0), 0x7FBBCCDDu);
    EXPECT_EQ(b.GetPixel(2, 1), 0x7F020304u);
}

TEST(RasterBitmap, DataStreamHasTheDocumentedBytesAndReadsBack) {
    TCustomBitmap32 b;
    b.SetSize(1, 1);
    b.SetPixel(0, 0, 0xC0112233);
    TMemoryStream s;
    b.WriteData(s);
    EXPECT_EQ(bytes_of(s), (std::vector<std::uint8_t>{1, 0, 0, 0, 1, 0, 0, 0, 0x33, 0x22, 0x11, 0xC0}));
    TCustomBitmap32 c;
    s.SetPosition(0);
    c.ReadData(s);
    EXPECT_EQ(c.Width(), 1);
    EXPECT_EQ(c.Height(), 1);
    EXPECT_EQ(c.GetPixel(0, 0), 0xC0112233u);
}

TEST(RasterBitmap, BmpStreamHasTheDocumentedLayoutAndReadsBack) {
    TCustomBitmap32 b;
    b.SetSize(2, 2);
    b.SetPixel(0, 0, 0xFF000001);
    b.SetPixel(1, 0, 0xFF000002);
    b.SetPixel(0, 1, 0x80000003);
    b.SetPixel(1, 1, 0x00000004);
    for (const bool top_down : {true, false}) {
        SCOPED_TRACE(top_down);
        TMemoryStream s;
        b.SaveToStream(s, top_down);
        const std::uint8_t h0 = top_down ? 2 : 0xFE, h1 = top_down ? 0 : 0xFF;
        const std::vector<std::uint8_t> expected_head = {
            'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                 // file header
            40, 0, 0, 0, 2, 0, 0, 0, h0, h1, h1, h1, 1, 0, 32, 0, 0, 0, 0, 0, // size, width, height, planes, bits, compression
            16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const std::vector<std::uint8_t> all = bytes_of(s);
        ASSERT_EQ(all.size(), 70u);
        EXPECT_EQ(std::vector<std::uint8_t>(all.begin(), all.begin() + 54), expected_head);
        // The first row written is the bottom row with a positive height, the top row otherwise.
        EXPECT_EQ(all[54], top_down ? 3 : 1);
        TCustomBitmap32 c;
        s.SetPosition(0);
        c.LoadFromStream(s);
        EXPECT_EQ(pixels_of(c), pixels_of(b));
    }
}

TEST(RasterBitmap, EqualBitmapsAndTheDataAnAncestorAlreadyHolds) {
    TCustomBitmap32 empty, empty_wide, base, same, other_pixel, transposed;
    empty_wide.SetSize(5, 0);
    for (TCustomBitmap32* b : {&base, &same, &other_pixel}) {
        b->SetSize(3, 2);
        fill_pattern(*b);
    }
    other_pixel.SetPixel(2, 1, 0);
    // The same pixel block in another shape.
    transposed.SetSize(2, 3);
    std::memcpy(transposed.Bits(), base.Bits(), 6 * sizeof(TColor32));
    TBitmap32 other_class;
    other_class.SetSize(3, 2);
    std::memcpy(other_class.Bits(), base.Bits(), 6 * sizeof(TColor32));

    struct equal_row { const char* name; const TCustomBitmap32& a; const TCustomBitmap32& b; bool equal; };
    const equal_row equal_rows[] = {
        {"both empty, of other sizes", empty, empty_wide, true},
        {"only the first empty", empty, base, false},
        {"only the second empty", base, empty, false},
        {"the same pixels", base, same, true},
        {"one pixel differs", base, other_pixel, false},
        {"the same block in another shape", base, transposed, false},
        {"another class", base, other_class, false},
    };
    for (const equal_row& r : equal_rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(BitmapsEqual(r.a, r.b), r.equal);
    }

    const TCustomMap map_of_the_size(3, 2);
    struct store_row { const char* name; const TCustomBitmap32& self; const TPersistent* ancestor; bool stored; };
    const store_row store_rows[] = {
        {"no ancestor, empty", empty, nullptr, false},
        {"no ancestor, pixels", base, nullptr, true},
        {"an equal ancestor", base, &same, false},
        {"an ancestor with another pixel", base, &other_pixel, true},
        {"an ancestor that is no bitmap", base, &map_of_the_size, true},
        {"both empty", empty, &empty_wide, false},
        {"emptied against an ancestor with pixels", empty, &base, true},
    };
    for (const store_row& r : store_rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(r.self.HasDataToStore(r.ancestor), r.stored);
    }
}

TEST(RasterBitmap, BadStreamsRaiseAndLeaveTheBitmapAsItWas) {
    const auto data = [](std::int32_t w, std::int32_t h, std::size_t pixel_bytes) {
        TMemoryStream s;
        s.WriteBuffer(&w, 4);
        s.WriteBuffer(&h, 4);
        std::vector<std::uint8_t> p(pixel_bytes, 0x5A);
        if (!p.empty())
            s.WriteBuffer(p.data(), static_cast<std::int64_t>(p.size()));
        return bytes_of(s);
    };
    const auto bmp = [](std::int32_t w, std::int32_t h, std::size_t pixel_bytes) {
        TCustomBitmap32 b;
        b.SetSize(1, 1);
        TMemoryStream s;
        b.SaveToStream(s);
        std::vector<std::uint8_t> v = bytes_of(s);
        v.resize(54);
        std::memcpy(&v[18], &w, 4);
        std::memcpy(&v[22], &h, 4);
        v.resize(54 + pixel_bytes, 0x5A);
        return v;
    };
    struct row {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool as_bmp;
    };
    const row rows[] = {
        {"data without size", {1, 0, 0}, false},
        {"data short by a byte", data(2, 2, 15), false},
        {"data claiming 2^31 pixels", data(0x10000, 0x8000, 16), false},
        {"data claiming the largest size", data(0x7FFFFFFF, 0x7FFFFFFF, 4), false},
        {"bmp shorter than its header", std::vector<std::uint8_t>(20, 'B'), true},
        {"bmp short by a byte", bmp(2, 2, 15), true},
        {"bmp with negative width", bmp(-2, 2, 16), true},
        {"bmp with the smallest height", bmp(2, static_cast<std::int32_t>(0x80000000), 16), true},
        {"bmp claiming the largest size", bmp(0x7FFFFFFF, -0x7FFFFFFF, 16), true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        TCustomBitmap32 b;
        b.SetSize(2, 1);
        b.SetPixel(0, 0, 0x01020304);
        TMemoryStream s;
        s.WriteBuffer(r.bytes.data(), static_cast<std::int64_t>(r.bytes.size()));
        s.SetPosition(0);
        EXPECT_EQ(raised_message<Exception>([&] { r.as_bmp ? b.LoadFromStream(s) : b.ReadData(s); }),
                  u"Stream read error");
        EXPECT_EQ(b.Width(), 2);
        EXPECT_EQ(b.Height(), 1);
        EXPECT_EQ(b.GetPixel(0, 0), 0x01020304u);
    }
}

TEST(RasterBitmap, AssignCopiesPixelsAndDrawingProperties) {
    TCustomBitmap32 a;
    a.SetSize(3, 2);
    fill_pattern(a);
    a.SetDrawMode(dmBlend);
    a.SetCombineMode(cmMerge);
    a.SetWrapMode(wmMirror);
    a.SetMasterAlpha(100);
    a.SetOuterColor(0x55);
    a.SetPenColor(0x66);
    TCustomBitmap32 b;
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.Assign(&a);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(pixels_of(b), pixels_of(a));
    EXPECT_EQ(b.DrawMode(), dmBlend);
    EXPECT_EQ(b.CombineMode(), cmMerge);
    EXPECT_EQ(b.WrapMode(), wmMirror);
    EXPECT_EQ(b.MasterAlpha(), 100u);
    EXPECT_EQ(b.OuterColor(), 0x55u);
    EXPECT_EQ(b.PenColor(), clWhite32); // the pen is not copied
    b.Assign(nullptr);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Width(), 0);
}

TEST(RasterBitmap, SettingsReportChangesOnlyWhenTheyChange) {
    TCustomBitmap32 b;
    int changes = 0;
    b.OnChange = [&](TObject*) { ++changes; };
    b.SetDrawMode(dmOpaque);
    b.SetMasterAlpha(255);
    b.SetCombineMode(cmBlend);
    b.SetWrapMode(wmClamp);
    EXPECT_EQ(changes, 0);
    b.SetDrawMode(dmBlend);
    b.SetMasterAlpha(1000); // no range test
    b.SetCombineMode(cmMerge);
    b.SetWrapMode(wmRepeat);
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(b.MasterAlpha(), 1000u);
    EXPECT_EQ(b.BlendProc, &MergePixel);
    b.SetResamplerClassName(u"TNoSuchResampler");
    EXPECT_EQ(changes, 4);
}

TEST(RasterBitmap, BackendSwitchKeepsThePixels) {
    TCustomBitmap32 b;
    b.SetSize(3, 2);
    fill_pattern(b);
    const std::vector<TColor32> before = pixels_of(b);
    TCustomBackend* old = b.ReleaseBackend();
    EXPECT_EQ(old->RefCount(), 2);
    b.SetBackend(new_object<TMemoryBackend>());
    EXPECT_EQ(old->RefCount(), 1); // the bitmap dropped its reference
    EXPECT_NE(b.Backend(), old);
    EXPECT_EQ(pixels_of(b), before);
    EXPECT_EQ(b.Bits(), b.Backend()->Bits());
    b.SetPixel(0, 0, 0xDEADBEEF);
    RestoreBackend(&b, old);
    EXPECT_EQ(b.Backend(), old);
    EXPECT_EQ(b.GetPixel(0, 0), 0xDEADBEEFu);
    EXPECT_EQ(old->RefCount(), 1);
}

TEST(RasterBitmap, RequireBackendSupportAnswersByMode) {
    TCustomBitmap32 b;
    b.SetSize(2, 1);
    EXPECT_EQ(RequireBackendSupport(&b, {IID_IInterface}, backend_support_mode::all, false), nullptr);
    EXPECT_EQ(RequireBackendSupport(&b, {IID_IDeviceContextSupport, IID_IInterface}, backend_support_mode::any, false),
              nullptr);
    // Unsatisfied: the bitmap gets a fresh backend of its platform class carrying the pixels (or none
    // when flushing), and the old one is handed back.
    b.SetPixel(1, 0, 0x42);
    TCustomBackend* old = RequireBackendSupport(&b, {IID_IDeviceContextSupport}, backend_support_mode::all, false);
    ASSERT_NE(old, nullptr);
    EXPECT_EQ(b.GetPixel(1, 0), 0x42u);
    RestoreBackend(&b, old);
    EXPECT_EQ(b.Backend(), old);
    old = RequireBackendSupport(&b, {}, backend_support_mode::any, true);
    ASSERT_NE(old, nullptr);
    EXPECT_TRUE(b.Empty());
    RestoreBackend(&b, old);
}

TEST(RasterBitmap, SizeFromOtherMapsAndFailures) {
    TCustomBitmap32 a, b;
    a.SetSize(4, 3);
    b.SetSizeFrom(&a);
    EXPECT_EQ(b.BoundsRect(), (TRect{0, 0, 4, 3}));
    EXPECT_THROW(b.SetSize(0x10000, 0x10000), EBitmapException);
    EXPECT_EQ(b.Width(), 0); // a failed allocation leaves no storage
    EXPECT_EQ(b.Bits(), nullptr);
}

TEST(RasterBitmap, SidesBeyondSubPixelRangeWithoutStorage) {
    TCustomBitmap32 b;
    b.SetSize(0, 9895936);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.ClipRect(), (TRect{0, 0, 0, 9895936}));
    b.SetPixelXS(0, 0, clWhite32); // must neither overflow nor write
    TMemoryStream s;
    b.WriteData(s);
    s.SetPosition(0);
    TCustomBitmap32 c;
    c.ReadData(s);
    EXPECT_EQ(c.Height(), 9895936);
}
