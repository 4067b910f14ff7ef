#include "graphics/Raster_Rasterizers.h"

#include "graphics/Raster_Bitmap.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace kq;

namespace {

// Answers X + 16 Y, opaque; counts its runs; can raise after opening an update on a bitmap.
class position_sampler : public TCustomSampler {
public:
    int prepared = 0, finalized = 0;
    TCustomBitmap32* fail_inside = nullptr;
    TRect bounds{-1000, -1000, 1000, 1000};

    TColor32 GetSampleInt(std::int32_t X, std::int32_t Y) override {
        if (fail_inside) {
            fail_inside->BeginUpdate();
            throw std::runtime_error("sampler failed");
        }
        return 0xFF000000u | static_cast<TColor32>(X + 16 * Y);
    }
    TColor32 GetSampleFixed(TFixed X, TFixed Y) override { return GetSampleInt(X >> 16, Y >> 16); }
    void PrepareSampling() override { ++prepared; }
    void FinalizeSampling() override { ++finalized; }
    bool HasBounds() const override { return true; }
    TFloatRect GetSampleBounds() const override { return RectToFloatRect(bounds); }
};

struct area_report {
    TRect area;
    std::uint32_t info;
    bool operator==(const area_report&) const = default;
};

} // namespace

TEST(RasterRasterizers, FillsTheRectangleWithinTheSamplerBounds) {
    TCustomBitmap32 dst;
    dst.SetSize(6, 4);
    dst.Clear(0);
    position_sampler sampler;
    sampler.bounds = {2, -5, 100, 3};
    TRegularRasterizer rasterizer;
    rasterizer.SetSampler(&sampler);
    rasterizer.Rasterize(&dst, {1, 1, 50, 50});
    for (std::int32_t y = 0; y < 4; ++y)
        for (std::int32_t x = 0; x < 6; ++x)
            EXPECT_EQ(dst.GetPixel(x, y), x >= 2 && y >= 1 && y < 3 ? 0xFF000000u | static_cast<TColor32>(x + 16 * y) : 0u)
                << x << "," << y;
    EXPECT_EQ(sampler.prepared, 1);
    EXPECT_EQ(sampler.finalized, 1);
    // Nothing left to fill: the sampler is still prepared and finalized.
    rasterizer.Rasterize(&dst, {10, 10, 20, 20});
    EXPECT_EQ(sampler.prepared, 2);
    EXPECT_EQ(sampler.finalized, 2);
}

TEST(RasterRasterizers, StoresByTheSourceDrawMode) {
    TCustomBitmap32 src, dst;
    dst.SetSize(4, 1);
    position_sampler sampler;
    TRegularRasterizer rasterizer;
    rasterizer.SetSampler(&sampler);
    struct row {
        TDrawMode mode;
        bool callback;
        std::vector<TColor32> expected;
    };
    const TColor32 under = 0x00ABCDEF;
    const row rows[] = {
        {dmOpaque, false, {0xFF000000, 0xFF000001, 0xFF000002, 0xFF000003}},
        // Without its callback the custom mode blends.
        {dmCustom, false, {BlendColorsAlpha(0xFF000000, under, 255), BlendColorsAlpha(0xFF000001, under, 255),
                           BlendColorsAlpha(0xFF000002, under, 255), BlendColorsAlpha(0xFF000003, under, 255)}},
        {dmCustom, true, {0x000000FF, 0x010000FF, 0x020000FF, 0x030000FF}},
        // The outer colour is the transparent colour.
        {dmTransparent, false, {0xFF000000, 0xFF000001, under, 0xFF000003}},
        // Blending uses the master-alpha form even at 255, which falls a step short of a copy.
        {dmBlend, false, {BlendColorsAlpha(0xFF000000, under, 255), BlendColorsAlpha(0xFF000001, under, 255),
                          BlendColorsAlpha(0xFF000002, under, 255), BlendColorsAlpha(0xFF000003, under, 255)}},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(int(r.mode));
        dst.Clear(under);
        src.SetDrawMode(r.mode);
        src.SetOuterColor(0xFF000002);
        src.OnPixelCombine = nullptr;
        if (r.callback)
            src.OnPixelCombine = [](TColor32 f, TColor32& b, TColor32 m) { b = (f & 0xFF) << 24 | m; };
        rasterizer.Rasterize(&dst, dst.BoundsRect(), &src);
        EXPECT_EQ((std::vector<TColor32>{dst.Bits(), dst.Bits() + 4}), r.expected);
    }
    // Settings given directly: a custom mode with no callback blends too.
    TCombineInfo custom;
    custom.DrawMode = dmCustom;
    custom.SrcAlpha = 128;
    dst.Clear(under);
    rasterizer.Rasterize(&dst, dst.BoundsRect(), custom);
    EXPECT_EQ(dst.GetPixel(1, 0), BlendColorsAlpha(0xFF000001, under, 128));
    // Assigning from a bitmap takes its settings for the plain Rasterize.
    src.SetDrawMode(dmTransparent);
    src.SetOuterColor(0xFF000001);
    rasterizer.Assign(&src);
    dst.Clear(under);
    rasterizer.Rasterize(&dst);
    EXPECT_EQ(dst.GetPixel(1, 0), under);
    EXPECT_EQ(dst.GetPixel(2, 0), 0xFF000002u);
    const TCombineInfo info = CombineInfoOf(src);
    EXPECT_EQ(info.DrawMode, dmTransparent);
    EXPECT_EQ(info.TransparentColor, 0xFF000001u);
}

TEST(RasterRasterizers, ReportsEveryUpdateRowCountRows) {
    TCustomBitmap32 dst;
    dst.SetSize(3, 5);
    std::vector<area_report> reports;
    dst.OnAreaChanged = [&](TObject*, const TRect& area, std::uint32_t info) { reports.push_back({area, info}); };
    position_sampler sampler;
    TRegularRasterizer rasterizer;
    rasterizer.SetSampler(&sampler);
    rasterizer.SetUpdateRowCount(2);
    rasterizer.Rasterize(&dst, {1, 0, 3, 5});
    EXPECT_EQ(reports, (std::vector<area_report>{{{1, 0, 3, 2}, AreaInfoRect},
                                                 {{1, 2, 3, 4}, AreaInfoRect},
                                                 {{1, 4, 3, 5}, AreaInfoRect}}));
    TRegularRasterizer copy;
    copy.Assign(&rasterizer);
    EXPECT_EQ(copy.UpdateRowCount(), 2);
}

TEST(RasterRasterizers, AFailingSamplerLeavesTheDestinationAsItsUpdatesWere) {
    TCustomBitmap32 dst;
    dst.SetSize(2, 2);
    dst.BeginUpdate();
    position_sampler sampler;
    sampler.fail_inside = &dst;
    TRegularRasterizer rasterizer;
    rasterizer.SetSampler(&sampler);
    EXPECT_THROW(rasterizer.Rasterize(&dst), std::runtime_error);
    EXPECT_EQ(dst.UpdateCount(), 1);
    EXPECT_EQ(sampler.finalized, 1);
    dst.EndUpdate();
}
