#include "installer/controls/uSkinLabel.h"

#include "InstallerControlFixture.h"

using namespace kq;
using namespace kq::test;

namespace {

using skinned_labels = installer_controls;

SIZE text_extent(const TFont& font, const String& text) {
    const HDC screen = ::GetDC(nullptr);
    const HGDIOBJ old = ::SelectObject(screen, const_cast<TFont&>(font).Handle());
    SIZE size{};
    ::GetTextExtentPoint32W(screen, wide(text), static_cast<int>(text.size()), &size);
    ::SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    return size;
}

// AutoSize takes the caption's single-line extent; an ellipsis switches it off for later captions.
TEST_F(skinned_labels, FitsItsCaptionUntilAnEllipsisIsSet) {
    TSkinLabel* l = place<TSkinLabel>(10, 10, 60, 17);
    l->Font().SetName(u"微软雅黑");
    l->Font().SetHeight(-12);
    l->SetCaption(u"安装位置：");
    const SIZE fitted = text_extent(l->Font(), u"安装位置：");
    EXPECT_EQ(l->Width(), fitted.cx);
    EXPECT_EQ(l->Height(), fitted.cy);

    l->SetEllipsisPosition(epEndEllipsis);
    EXPECT_FALSE(l->AutoSize());
    l->SetCaption(u"安装位置：一段长得多的文字");
    EXPECT_EQ(l->Width(), fitted.cx);
}

// Vertical alignment: the caption's ink lies in the top, middle or bottom band of a tall label.
TEST_F(skinned_labels, VerticalAlignmentPlacesTheCaption) {
    struct row {
        TVerticalAlignment alignment;
        int first_band; // of three equal bands, the only one with ink
    };
    const row rows[] = {{TVerticalAlignment::taAlignTop, 0},
                        {TVerticalAlignment::taVerticalCenter, 1},
                        {TVerticalAlignment::taAlignBottom, 2}};
    TSkinLabel* l = place<TSkinLabel>(10, 10, 200, 90);
    l->SetAutoSize(false);
    l->Light().SetActive(false);
    l->Font().SetColor(clWhite);
    l->SetCaption(u"Tessaro");
    l->SetBounds(10, 10, 200, 90);
    show();
    for (const row& r : rows) {
        SCOPED_TRACE(static_cast<int>(r.alignment));
        l->SetAlignmentVertical(r.alignment);
        form->Update();
        pump_until([] { return false; }, 80);
        int ink[3]{};
        for (int y = 0; y < 90; ++y)
            for (int x = 0; x < 200; ++x) ink[y / 30] += rgb_at(l->Buffer(), x, y) != form_pixel;
        for (int band = 0; band < 3; ++band) {
            if (band == r.first_band)
                EXPECT_GT(ink[band], 0);
            else
                EXPECT_EQ(ink[band], 0) << "band " << band;
        }
    }
}

} // namespace
