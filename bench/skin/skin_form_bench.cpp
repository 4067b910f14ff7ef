// Times a full non-client repaint of a maximised skinned form with KQ's values (a teal title bar 28 high,
// no frame, two system buttons and the caption label) against one BitBlt of the window's whole area into
// its window DC, and against one BitBlt of just the non-client area (the stricter floor). The sides
// alternate call by call in one loop, which side goes first swapping every pass; a round's ratio is the
// repaint's total time over the BitBlt's. Run by hand under Wine on a 1280 x 1024 screen; see
// bench/skin/README.md.
#include "bench/Figures.h"
#include "framework/Forms.h"
#include "framework/Win32Handles.h"
#include "graphics/Raster.h"
#include "skin/Skin.h"
#include "skin/uSkinForm.h"
#include "skin/uSkinNCButton.h"
#include "skin/uSkinNCLabel.h"
#include "tests/skin/KQSkinForm.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using namespace kq;
using clock_type = std::chrono::steady_clock;

constexpr int rounds = 31, passes = 20;

using bench::figures;

void pump(int milliseconds) {
    const auto end = clock_type::now() + std::chrono::milliseconds(milliseconds);
    while (clock_type::now() < end) {
        Application->ProcessMessages();
        ::Sleep(1);
    }
}

} // namespace

int main() {
    graphics_startup();
    forms_startup();
    skin_startup(); // reads the program's store, KQ's here, as KQ does
    Application->Initialize();
    {
        const auto [form, skin, minimize, close, label] = test::make_kq_skin_form();
        TSkinSystemButton* const buttons[] = {minimize, close};
        form->Show();
        const HWND window = form->Handle();
        // Without a window manager, Wine applies the X server's late report of an earlier size to a
        // window just maximised (it stays maximised in state at its old size); maximised again it stays.
        const auto maximised = [&] {
            RECT r{};
            ::GetWindowRect(window, &r);
            return ::IsZoomed(window) && r.right - r.left >= ::GetSystemMetrics(SM_CXSCREEN);
        };
        int attempts = 0;
        do {
            ::ShowWindow(window, SW_RESTORE);
            ::ShowWindow(window, SW_MAXIMIZE);
            ::SetForegroundWindow(window);
            pump(500);
        } while (!maximised() && ++attempts < 5);
        RECT outer{}, client{};
        ::GetWindowRect(window, &outer);
        ::GetClientRect(window, &client);
        const int w = outer.right - outer.left, h = outer.bottom - outer.top;
        if (!maximised()) { // its figures would not be those of a maximised form
            std::printf("the window is %d x %d, not maximised: no figures\n", w, h);
            delete form;
            skin_shutdown();
            forms_shutdown();
            graphics_shutdown();
            return 1;
        }
        // The non-client area is the title bar above the client (no frame): its rows across the window.
        POINT origin{0, 0};
        ::ClientToScreen(window, &origin);
        const int nc_rows = h - (client.bottom - client.top);

        // The source of the BitBlts: a bitmap like the screen's, filled so it is not blank.
        const window_frame_dc target(window);
        unique_hdc source(::CreateCompatibleDC(target.get()));
        unique_hbitmap picture(::CreateCompatibleBitmap(target.get(), w, h));
        const HGDIOBJ old = ::SelectObject(source.get(), picture.get());
        ::PatBlt(source.get(), 0, 0, w, h, WHITENESS);

        const auto repaint = [&] {
            ::SendMessageW(window, WM_NCPAINT, 1, 0);
            ::GdiFlush();
        };
        const auto blit = [&](int rows) {
            return [&, rows] {
                ::BitBlt(target.get(), 0, 0, w, rows, source.get(), 0, 0, SRCCOPY);
                ::GdiFlush();
            };
        };
        const auto whole = blit(h), title = blit(nc_rows);
        struct result {
            figures ours_ms, whole_ms, title_ms, against_whole, against_title;
        };
        const auto measure = [&] {
            result r;
            for (int round = 0; round < rounds; ++round) {
                clock_type::duration t_ours{}, t_whole{}, t_title{};
                const auto timed = [](const auto& side, clock_type::duration& total) {
                    const auto start = clock_type::now();
                    side();
                    total += clock_type::now() - start;
                };
                for (int pass = 0; pass < passes; ++pass) {
                    if ((round * passes + pass) % 2 == 0) {
                        timed(repaint, t_ours);
                        timed(whole, t_whole);
                        timed(title, t_title);
                    } else {
                        timed(title, t_title);
                        timed(whole, t_whole);
                        timed(repaint, t_ours);
                    }
                }
                const auto ms = [](clock_type::duration d) {
                    return std::chrono::duration<double, std::milli>(d).count() / passes;
                };
                r.ours_ms.samples.push_back(ms(t_ours));
                r.whole_ms.samples.push_back(ms(t_whole));
                r.title_ms.samples.push_back(ms(t_title));
                r.against_whole.samples.push_back(ms(t_ours) / ms(t_whole));
                r.against_title.samples.push_back(ms(t_ours) / ms(t_title));
                Application->ProcessMessages();
            }
            return r;
        };
        // KQ's title bar as it is; then without the caption label, without any title-bar control, and
        // without the title's gradient, to show what the repaint's time goes to.
        const result full = measure();
        label->SetVisible(false);
        const result no_label = measure();
        for (TSkinSystemButton* b : buttons) b->SetVisible(false);
        const result bare = measure();
        skin->SetActiveGradient(false);
        const result flat = measure();
        ::SelectObject(source.get(), old);

        std::printf("window %d x %d at (%ld, %ld), client origin (%ld, %ld), non-client rows %d, zoomed %d\n", w, h,
                    outer.left, outer.top, origin.x, origin.y, nc_rows, ::IsZoomed(window) ? 1 : 0);
        std::printf("%d rounds of %d alternating passes; median (least .. most)\n", rounds, passes);
        const auto row = [](const char* name, const figures& f) {
            std::printf("%-44s %9.4f (%.4f .. %.4f)\n", name, f.median(), f.least(), f.most());
        };
        const auto block = [&](const char* name, const result& r) {
            std::printf("%s\n", name);
            row("  non-client repaint, ms", r.ours_ms);
            row("  BitBlt of the whole window, ms", r.whole_ms);
            row("  BitBlt of the non-client rows, ms", r.title_ms);
            row("  ratio repaint / whole-window BitBlt", r.against_whole);
            row("  ratio repaint / non-client BitBlt", r.against_title);
        };
        block("KQ's title bar (two system buttons, caption label)", full);
        block("without the caption label", no_label);
        block("without any title-bar control", bare);
        block("without any title-bar control, no gradient (plain title colour)", flat);
        delete form;
    }
    skin_shutdown();
    forms_shutdown();
    graphics_shutdown();
    return 0;
}
