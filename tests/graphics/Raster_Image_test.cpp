// The paint box under Wine: buffer sizing, its answers to the window messages and what a paint copies.
#ifdef _WIN32

#include "graphics/Raster_Image.h"

#include "framework/Exceptions.h"
#include "tests/framework/raised.h"
#include "tests/framework/visual/VisualFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace kq;
using kq::test::probe_dc;

constexpr TColor32 blue32 = 0xFF0000FF;

namespace {

// A paint box whose buffer is drawn by Draw (outside the reports: the whole buffer is repainted).
class test_box : public TCustomPaintBox32 {
public:
    using TCustomPaintBox32::TCustomPaintBox32;
    std::function<void(TBitmap32&)> Draw;
    int buffer_paints = 0;

protected:
    void PaintBuffer() override {
        ++buffer_paints;
        if (Draw) {
            Buffer()->BeginUpdate();
            Draw(*Buffer());
            Buffer()->EndUpdate();
        }
        TCustomPaintBox32::PaintBuffer();
    }
};

struct paint_box_test : kq::test::visual_test {
    TForm* form = nullptr;
    test_box* box = nullptr;

    void SetUp() override {
        visual_test::SetUp();
        form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, 300, 200);
        box = new test_box(form);
        box->SetBounds(10, 10, 120, 80);
        box->SetParent(form);
        box->Draw = [](TBitmap32& b) { b.Clear(clRed32); };
    }
    void TearDown() override {
        delete form;
        visual_test::TearDown();
    }

    // The invalid rectangles at each overlay, that is, what each paint copied (empty: the viewport).
    std::vector<std::vector<TRect>> overlays;
    void record_rects() {
        box->OnGDIOverlay = [this](TObject*) {
            std::vector<TRect> rects;
            for (std::int32_t i = 0; i < box->InvalidRects().Count(); ++i)
                rects.push_back(*box->InvalidRects().Get(i));
            overlays.push_back(rects);
        };
    }
    std::vector<std::vector<TRect>> partial_paints() const {
        std::vector<std::vector<TRect>> v;
        for (const auto& o : overlays)
            if (!o.empty())
                v.push_back(o);
        return v;
    }
};

std::pair<int, int> size_of(const TBitmap32* b) {
    return {b->Width(), b->Height()};
}

} // namespace

TEST_F(paint_box_test, BufferGrowsWithOversizeAndShrinksPastIt) {
    auto* fresh = new test_box(form);
    EXPECT_EQ(fresh->Width(), 192);
    EXPECT_EQ(fresh->Height(), 192);
    EXPECT_EQ(fresh->BufferOversize(), 40);
    EXPECT_EQ(fresh->RepaintMode(), rmFull);
    EXPECT_FALSE(fresh->RepaintOptimizer()->Enabled());
    EXPECT_EQ(size_of(fresh->Buffer()), std::make_pair(232, 232));

    box->SetBufferOversize(0);
    EXPECT_EQ(size_of(box->Buffer()), std::make_pair(120, 80));
    box->SetBounds(10, 10, 100, 80);
    EXPECT_EQ(size_of(box->Buffer()), std::make_pair(100, 80));
    box->SetBufferOversize(40);
    EXPECT_EQ(size_of(box->Buffer()), std::make_pair(100, 80));
    struct row { int width, buffer_width; };
    const row rows[] = {{101, 141}, {141, 141}, {120, 141}, {101, 141}, {100, 100}, {0, 1}, {50, 90}};
    for (const row& r : rows) {
        box->SetBounds(10, 10, r.width, 80);
        EXPECT_EQ(box->Buffer()->Width(), r.buffer_width) << r.width;
    }
    box->SetBounds(10, 10, 0, 0);
    EXPECT_EQ(size_of(box->Buffer()), std::make_pair(1, 1));

    box->SetBufferOversize(-5);
    EXPECT_EQ(box->BufferOversize(), 0);
}

TEST_F(paint_box_test, SettingTheSameOversizeKeepsTheBufferValid) {
    form->HandleNeeded();
    probe_dc probe(200, 100);
    ::SendMessageW(box->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(probe.dc()), 0);
    EXPECT_TRUE(box->BufferValid());
    box->SetBufferOversize(40);
    EXPECT_TRUE(box->BufferValid());
    box->SetBufferOversize(30);
    EXPECT_FALSE(box->BufferValid());
}

TEST_F(paint_box_test, AnswersDialogCodeAndEraseWithoutErasing) {
    form->HandleNeeded();
    struct row { TPaintBoxOptions options; LRESULT incoming, answer; };
    const row rows[] = {{{}, 4, 4}, {{pboWantArrowKeys}, 4, 5}, {{pboWantArrowKeys}, 1, 1}, {{}, 5, 4},
                        {{pboAutoFocus}, 0, 0}};
    for (const row& r : rows) {
        box->SetOptions(r.options);
        TMessage m{WM_GETDLGCODE, 0, 0, r.incoming};
        box->Dispatch(m);
        EXPECT_EQ(m.Result, r.answer) << r.incoming;
    }
    probe_dc probe(200, 100);
    probe.fill(RGB(0, 255, 0));
    EXPECT_EQ(::SendMessageW(box->Handle(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(probe.dc()), 0), 1);
    EXPECT_EQ(probe.at(5, 5), RGB(0, 255, 0));
}

TEST_F(paint_box_test, PaintWithoutInvalidRectanglesCopiesTheWholeViewport) {
    form->HandleNeeded();
    record_rects();
    probe_dc probe(200, 100);
    probe.fill(RGB(0, 255, 0));
    ::SendMessageW(box->Handle(), WM_PAINT, reinterpret_cast<WPARAM>(probe.dc()), 0);
    EXPECT_EQ(overlays, (std::vector<std::vector<TRect>>{{}}));
    for (const auto& [x, y] : {std::pair{0, 0}, {119, 0}, {0, 79}, {119, 79}, {60, 40}})
        EXPECT_EQ(probe.at(x, y), RGB(255, 0, 0)) << x << "," << y;
    // The buffer's oversize is never shown.
    EXPECT_EQ(probe.at(120, 40), RGB(0, 255, 0));
    EXPECT_EQ(probe.at(60, 80), RGB(0, 255, 0));
    EXPECT_EQ(box->InvalidRects().Count(), 0);
}

TEST_F(paint_box_test, WithTheOptimiserOnlyTheChangedRectanglesAreCopied) {
    box->SetRepaintMode(rmOptimizer);
    EXPECT_TRUE(box->RepaintOptimizer()->Enabled());
    form->Show();
    record_rects();
    ASSERT_TRUE(pump_until([&] { return box->buffer_paints > 0; }));
    // The first paint copied the whole viewport; the whole buffer the optimiser was reset to goes next.
    int paints = box->buffer_paints;
    box->Invalidate();
    ASSERT_TRUE(pump_until([&] { return box->buffer_paints > paints; }));
    pump_until([] { return false; }, 100);

    // Drawing from outside the paint, between the buffer's Lock and Unlock, reaches the optimiser.
    box->Draw = nullptr;
    box->Buffer()->Lock();
    box->Buffer()->FillRectS(10, 10, 20, 20, blue32);
    box->Buffer()->FillRectS(70, 40, 100, 60, blue32);
    box->Buffer()->Unlock();
    overlays.clear();
    paints = box->buffer_paints;
    box->Invalidate();
    // A partial repaint is posted as a bare WM_PAINT: nothing is invalidated.
    RECT update{};
    EXPECT_FALSE(::GetUpdateRect(box->Handle(), &update, FALSE));
    ASSERT_TRUE(pump_until([&] { return box->buffer_paints > paints; }));
    pump_until([] { return false; }, 100);
    EXPECT_EQ(partial_paints(), (std::vector<std::vector<TRect>>{{{10, 10, 20, 20}, {70, 40, 100, 60}}}));

    window_dc dc(box->Handle());
    EXPECT_EQ(::GetPixel(dc.get(), 15, 15), RGB(0, 0, 255));
    EXPECT_EQ(::GetPixel(dc.get(), 5, 5), RGB(255, 0, 0));
}

TEST_F(paint_box_test, FullModeInvalidatesTheWindow) {
    form->Show();
    ASSERT_TRUE(pump_until([&] { return box->buffer_paints > 0; }));
    ::ValidateRect(box->Handle(), nullptr);
    box->Invalidate();
    RECT update{};
    EXPECT_TRUE(::GetUpdateRect(box->Handle(), &update, FALSE));
    EXPECT_EQ(update.right, 120);
}

TEST_F(paint_box_test, ControlWithoutParentPaintsNothingAndKeepsItsRectangles) {
    auto* loose = new test_box(form);
    loose->SetRepaintMode(rmDirect);
    loose->Buffer()->FillRectS(1, 1, 5, 5, blue32);
    const std::int32_t waiting = loose->InvalidRects().Count();
    ASSERT_GT(waiting, 0);
    probe_dc probe(50, 50);
    probe.fill(RGB(0, 255, 0));
    TMessage m{WM_PAINT, reinterpret_cast<WPARAM>(probe.dc()), 0, 0};
    loose->Dispatch(m);
    EXPECT_EQ(probe.at(2, 2), RGB(0, 255, 0));
    EXPECT_EQ(loose->InvalidRects().Count(), waiting);
    EXPECT_EQ(loose->buffer_paints, 0);
}

TEST_F(paint_box_test, DirectModeRepaintsTheChangedAreaAtOnce) {
    form->Show();
    ASSERT_TRUE(pump_until([&] { return box->buffer_paints > 0; }));
    box->SetRepaintMode(rmDirect);
    pump_until([] { return false; }, 100);
    record_rects();
    box->Draw = nullptr;
    box->Buffer()->FillRectS(30, 30, 40, 40, blue32);
    // Each report of the drawing (the unclipped fill inside reports too) is one immediate paint.
    ASSERT_FALSE(partial_paints().empty());
    for (const auto& rects : partial_paints())
        EXPECT_EQ(rects, (std::vector<TRect>{{30, 30, 40, 40}}));
    EXPECT_EQ(box->InvalidRects().Count(), 0);
}

TEST_F(paint_box_test, FlushCopiesTheBufferAtOnce) {
    form->Show();
    ASSERT_TRUE(pump_until([&] { return box->buffer_paints > 0; }));
    pump_until([] { return false; }, 100);
    box->Buffer()->FillRect(0, 0, 120, 80, blue32);
    window_dc dc(box->Handle());
    EXPECT_EQ(::GetPixel(dc.get(), 50, 50), RGB(255, 0, 0));
    box->Flush({40, 40, 60, 60});
    EXPECT_EQ(::GetPixel(dc.get(), 50, 50), RGB(0, 0, 255));
    EXPECT_EQ(::GetPixel(dc.get(), 5, 5), RGB(255, 0, 0));
    box->Flush();
    EXPECT_EQ(::GetPixel(dc.get(), 5, 5), RGB(0, 0, 255));
}

TEST_F(paint_box_test, CannotBeAssignedToAnotherPaintBox) {
    auto* other = new test_box(form);
    EXPECT_THROW(other->Assign(box), EConvertError);
}

#endif
