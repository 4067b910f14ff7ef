// Times the tab strip with the main window's look, 30 tabs on a 1280-pixel strip: one full layout, one
// full repaint into the back buffer (items put back from their kept pictures), the same repaint with a
// draw handler assigned (every item draws afresh), and one animation tick with every tab moving (the
// tick lays out and repaints the window). Each is printed as a fraction of a 16.7 ms frame and as a
// ratio to one GDI+ fill of a buffer of the strip's size, timed in the same rounds; then how many pixels
// differ between the two repaints and the memory the items' kept pictures hold. Run by hand under Wine;
// see bench/README.md.
#include "bench/Figures.h"
#include "framework/Conversions.h"
#include "framework/Forms.h"
#include "framework/GdiPlus.h"
#include "framework/Win32Handles.h"
#include "framework/TickClock.h"
#include "tabs/PageTabs.h"
#include "tests/tabs/MainWindowStrip.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <functional>
#include <numeric>
#include <vector>

namespace {

using namespace kq;

constexpr int strip_width = 1280, strip_height = 35, tab_count = 30;
// Rounds alternate the four measurements, so a busy machine slows them alike.
constexpr int rounds = 21;
constexpr double frame_ms = 16.7;

class bench_strip : public TPageTabs {
public:
    using TPageTabs::TPageTabs;
    void tick() { AdvanceAnimations(); }
};

// Milliseconds per call: Work run Repeats times.
double time_ms(int Repeats, const std::function<void()>& Work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < Repeats; ++i) Work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / Repeats;
}

using bench::figures;

} // namespace

int main() {
    forms_startup();
    gdiplus_startup();
    stepped_tick_clock clock;
    {
        TForm* form = CreateForm<TForm>(Application);
        form->SetBounds(0, 0, strip_width + 20, 80);
        auto* strip = new bench_strip(form);
        strip->AnimateTimer().SetEnabled(false); // the bench ticks by hand
        test::apply_main_window_settings(*strip);
        strip->SetBounds(0, 0, strip_width, strip_height);
        strip->SetParent(form);
        form->Show();
        for (int i = 0; i < tab_count; ++i) strip->Tabs().Add()->SetCaption(u"招标公告 " + IntToStr(i + 1));
        strip->Tabs().Items(3)->SetSpinnerState(TPageTabSpinnerState::tssRenderedDownload);
        for (int i = 0; i < 10; ++i) {
            clock.advance(100);
            strip->tick();
        }

        // The repaint goes through WM_PAINT with a memory DC, as when the parent paints the strip.
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), strip_width, -strip_height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        unique_hbitmap dib(
            ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        const HGDIOBJ old = ::SelectObject(dc.get(), dib.get());
        TGPGraphics fill_canvas(dc.get());
        const TGPSolidBrush brush(0xFFF2F2F2);
        const Gdiplus::RectF whole(0, 0, static_cast<float>(strip_width), static_cast<float>(strip_height));

        figures fill{"GDI+ fill of the buffer", {}}, layout{"full layout", {}}, repaint{"full repaint", {}},
            drawn{"repaint, every item drawn", {}}, tick{"tick, every tab moving", {}};
        const auto paint = [&] { strip->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc.get()), 0); };
        // A draw handler makes every item draw afresh, raising its events, instead of putting back its picture.
        const auto paint_drawn = [&] {
            strip->OnAfterDrawItem = [](TObject*, TGPGraphics&, const TRect&, TPageTabItemType, int) {};
            paint();
            strip->OnAfterDrawItem = nullptr;
        };
        int shift = 0;
        for (int round = 0; round < rounds; ++round) {
            fill.samples.push_back(time_ms(200, [&] { fill_canvas.FillRectangle(brush, whole); }));
            layout.samples.push_back(time_ms(50, [&] { strip->LayoutAll(); }));
            repaint.samples.push_back(time_ms(20, paint));
            drawn.samples.push_back(time_ms(10, paint_drawn));
            tick.samples.push_back(time_ms(20, [&] {
                // Every tab sets off 10 pixels to one side; the tick moves them all, lays out and repaints.
                shift = shift == 0 ? 10 : 0;
                for (int i = 0; i < tab_count; ++i) {
                    TPageTabControl& control = *strip->Tabs().Items(i)->TabControl();
                    TRect r = control.EndRect();
                    r.Left += shift ? 10 : -10;
                    r.Right += shift ? 10 : -10;
                    control.SetPosition(r, 100, TPageTabsEaseType::ttLinearTween);
                }
                strip->IncludeState(TPageTabState::stsControlPositionsInvalidated);
                clock.advance(16);
                strip->tick();
            }));
        }
        // The same pixels both ways: a repaint from the kept pictures against one in which every item draws.
        paint();
        paint();
        ::GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        const std::vector<std::uint32_t> from_pictures(pixels, pixels + strip_width * strip_height);
        paint_drawn();
        ::GdiFlush();
        const auto differing = std::inner_product(from_pictures.begin(), from_pictures.end(), pixels, std::size_t{0}, std::plus<>(),
                                                  std::not_equal_to<>());
        ::SelectObject(dc.get(), old);

        const double base = fill.median();
        std::printf("%d tabs, %d x %d strip, %d rounds; median (least .. most)\n", tab_count, strip_width,
                    strip_height, rounds);
        std::printf("%-24s %10s %22s %12s %12s\n", "", "ms", "range ms", "of a frame", "x GDI+ fill");
        for (const figures* f : {&fill, &layout, &repaint, &drawn, &tick})
            std::printf("%-24s %10.4f %10.4f .. %-9.4f %11.3f %12.1f\n", f->name, f->median(), f->least(), f->most(),
                        f->median() / frame_ms, f->median() / base);
        std::printf("pixels differing between the two repaints: %zu of %d\n", differing, strip_width * strip_height);
        // What the items' kept pictures hold, against the bound of the strip's area per item.
        std::size_t kept = 0;
        int items = 0;
        auto count = [&](TBasePageTabsControl& item) {
            kept += item.kept_picture().memory();
            ++items;
        };
        for (int i = 0; i < tab_count; ++i) count(*strip->Tabs().Items(i)->TabControl());
        count(strip->AddButtonControl());
        count(strip->ScrollButtonLeftControl());
        count(strip->ScrollButtonRightControl());
        const std::size_t strip_bytes = std::size_t{strip_width} * strip_height * 4;
        std::printf("kept pictures: %zu bytes for %d items (%.2f of the strip's %zu bytes per item; bound 1)\n", kept,
                    items, static_cast<double>(kept) / static_cast<double>(strip_bytes) / items, strip_bytes);
        delete form;
    }
    gdiplus_shutdown();
    forms_shutdown();
    return 0;
}
