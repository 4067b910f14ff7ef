// State strips cut from the store's images, and the small persistent helpers.
#include "skin/uSkinIntf.h"
#include "tests/skin/SkinTestSupport.h"

#include "skin/uSkinResManager.h"

#include <gtest/gtest.h>

namespace kq::test {
namespace {

TEST(TPngPictures, CutsEqualFramesOfTheStoreImage) {
    TPngPictures p;
    p.SetImage(u"SkinBtn_close"); // 117 x 19
    ASSERT_NE(p.SourceImage(), nullptr);
    EXPECT_EQ(p.GetSingleWidth(), 39);
    EXPECT_EQ(p.GetSingleHeight(), 19);
    struct row {
        std::int32_t index;
        bool exists;
    };
    for (const row r : {row{0, true}, row{1, true}, row{2, true}, row{3, false}, row{-1, false}}) {
        SCOPED_TRACE(r.index);
        p.SetNormal(r.index);
        auto frame = p.GetNormalImage();
        ASSERT_EQ(frame != nullptr, r.exists);
        if (!frame) continue;
        EXPECT_EQ(frame->Width(), 39);
        EXPECT_EQ(frame->Height(), 19);
        EXPECT_EQ(frame->DrawMode(), dmBlend);
        // An opaque pixel of the strip comes out unchanged in its frame.
        const TSkinImage* src = p.SourceImage();
        for (std::int32_t y = 0; y < 19; ++y)
            for (std::int32_t x = 0; x < 39; ++x) {
                const TColor32 s = src->GetPixel(r.index * 39 + x, y);
                if (s >> 24 == 0xFF) {
                    ASSERT_EQ(frame->GetPixel(x, y), s) << x << "," << y;
                }
            }
    }
}

TEST(TPngPictures, StackedFramesAndDegenerateCounts) {
    TPngPictures p;
    p.SetImage(u"SkinBrower_up"); // 29 x 120, four frames stacked
    p.SetMultiLineMode(true);
    p.SetCount(4);
    EXPECT_EQ(p.GetSingleWidth(), 29);
    EXPECT_EQ(p.GetSingleHeight(), 30);
    p.SetHot(3);
    auto hot = p.GetHotImage();
    ASSERT_NE(hot, nullptr);
    EXPECT_EQ(hot->Width(), 29);
    EXPECT_EQ(hot->Height(), 30);
    p.SetCount(0);
    EXPECT_EQ(p.GetSingleHeight(), 0);
    EXPECT_EQ(p.GetHotImage(), nullptr);
    p.SetMultiLineMode(false);
    EXPECT_EQ(p.GetSingleWidth(), 0);
    p.SetImage(u"NoSuchImage");
    EXPECT_EQ(p.SourceImage(), nullptr);
    EXPECT_FALSE(p.SourceSize());
    EXPECT_EQ(p.GetNormalImage(), nullptr);
}

TEST(TPngPictures, NotifiesOnlyForWhatRepaints) {
    TPngPictures p;
    int calls = 0;
    p.SetPicturesChanged([&](TObject* sender) {
        EXPECT_EQ(sender, &p);
        ++calls;
    });
    EXPECT_EQ(calls, 1); // assigning the handler notifies at once
    p.SetPressed(1);
    p.SetMultiLineMode(true);
    EXPECT_EQ(calls, 1);
    p.SetImage(u"1");
    p.SetCount(3);
    EXPECT_EQ(calls, 3);
    p.Lock();
    p.SetHot(0);
    p.UnLock();
    EXPECT_EQ(calls, 3);

    TPngPictures copy;
    copy.Assign(&p);
    EXPECT_EQ(copy.Image(), u"1");
    EXPECT_EQ(copy.SourceImage(), p.SourceImage());
    EXPECT_EQ(copy.Pressed(), 1);
    EXPECT_TRUE(copy.MultiLineMode());
}

TEST(TSkLightClass, AssignKeepsTheBlurRadiusAndChangesNotify) {
    TSkLightClass a, b;
    int changes = 0;
    b.OnChanged = [&](TObject*) { ++changes; };
    a.SetActive(false);
    a.SetColor(0x123456);
    a.SetBlurRadius(4);
    b.SetBlurRadius(2);
    b.Assign(&a);
    EXPECT_FALSE(b.Active());
    EXPECT_EQ(b.Color(), 0x123456);
    EXPECT_EQ(b.BlurRadius(), 2);
    EXPECT_EQ(changes, 3);
    b.SetColor(0x123456);
    EXPECT_EQ(changes, 3);
    TSkOffset offset;
    EXPECT_THROW(b.Assign(&offset), EConvertError);
}

} // namespace
} // namespace kq::test
