#include "framework/ImageLists.h"

#include "framework/ComponentText.h"
#include "framework/ImageCodecs.h"
#include "framework/ResourceStreams.h"
#include "../raised.h"

#include "VisualFixture.h"

using namespace kq;
using kq::test::visual_test;

namespace {

// The image on white, as the list draws it.
COLORREF pixel(TCustomImageList& list, int index, int x, int y) {
    TBitmap image;
    list.GetBitmap(index, image);
    return ::GetPixel(image.Canvas().Handle(), x, y);
}

} // namespace

// The tab strip's pictures come from the program's resources, one image per 16 pixels of each strip.
TEST_F(visual_test, ImageListsReadTheTabStripPicturesTheProgramEmbeds) {
    struct row {
        const char16_t* name;
        int count;
    };
    for (const row r : {row{u"TABIMAGES", 1}, row{u"TABOVERLAYS", 1}, row{u"TABSPINNERUPLOAD", 12},
                        row{u"TABSPINNERDOWNLOAD", 12}}) {
        SCOPED_TRACE(string_to_utf8(r.name));
        TImageList list(nullptr);
        list.SetResourceName(r.name);
        EXPECT_EQ(list.Count(), r.count);
        EXPECT_EQ(list.ResourceName(), r.name);
    }
    // Read from component text, as a form resource sets it; transparent pixels stay transparent.
    TImageList list(nullptr);
    read_component_text(u"object ImageList3: TImageList\r\n  ResourceName = 'TABIMAGES'\r\nend\r\n", list);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(pixel(list, 0, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(pixel(list, 0, 3, 8), RGB(52, 120, 196)); // the sheet's opaque border
}

TEST_F(visual_test, AnImageListResourceThatIsMissingOrDoesNotFitIsAnError) {
    struct row {
        const char16_t* name;
        int width;
        const char16_t* message;
    };
    const row rows[] = {
        {u"NOSUCHPICTURE", 16, u"Resource NOSUCHPICTURE not found"},
        {u"TABSPINNERUPLOAD", 20, u"Invalid image size"}, // 12 frames of 16 do not cut into 20
        {u"TABIMAGES", 8, u"Invalid image size"},         // 16 rows high for a list 8 high
    };
    for (const row& r : rows) {
        SCOPED_TRACE(string_to_utf8(r.name));
        TImageList list(nullptr);
        list.SetSize(r.width, r.width);
        const String message = raised_message<Exception>([&] { list.SetResourceName(r.name); });
        EXPECT_EQ(message, r.message);
        EXPECT_EQ(list.Count(), 0);
        EXPECT_TRUE(list.ResourceName().empty());
    }
    TImageList list(nullptr);
    EXPECT_NE(raised_message<EInvalidGraphic>([&] { list.SetResourceName(u"TRESOURCEFORM"); }), u"not raised");
}
