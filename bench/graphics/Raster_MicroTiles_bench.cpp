// Micro tiles against the platform's compositing library's regions, on a 1920 x 1080 area: the time per
// added rectangle, the time to turn a frame's marks into rectangles, how many rectangles come out and how
// much more they cover than the exact union of what was marked (the overdraw). Run by hand (README.md).
#include "graphics/Raster.h"
#include "graphics/Raster_Containers.h"
#include "graphics/Raster_MicroTiles.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

using namespace kq;
using clock_type = std::chrono::steady_clock;

constexpr int screen_width = 1920, screen_height = 1080;
constexpr int frame_count = 256;

enum class scene { random_rects, gui_churn, full_screen };

// The rectangles each frame marks, drawn before the timing.
std::vector<std::vector<TRect>> frames_of(scene kind) {
    std::mt19937 engine(20261210u);
    const auto uniform = [&](int lo, int hi) { return lo + static_cast<int>(engine() % static_cast<unsigned>(hi - lo + 1)); };
    std::vector<std::vector<TRect>> frames(frame_count);
    if (kind == scene::full_screen) {
        for (auto& f : frames)
            f.push_back({0, 0, screen_width, screen_height});
        return frames;
    }
    if (kind == scene::random_rects) {
        // 64 rectangles of 1 to 200 pixels a side anywhere on the screen.
        for (auto& f : frames)
            for (int i = 0; i < 64; ++i) {
                const int w = uniform(1, 200), h = uniform(1, 200);
                const int x = uniform(0, screen_width - w), y = uniform(0, screen_height - h);
                f.push_back({x, y, x + w, y + h});
            }
        return frames;
    }
    // A window of controls: a fixed layout of buttons, text lines, a caret, a progress bar and a list;
    // each frame a few of them change (hover glows, a blinking caret, a line of text, a growing bar).
    struct widget { TRect r; };
    std::vector<widget> widgets;
    for (int row = 0; row < 20; ++row)
        for (int col = 0; col < 8; ++col)
            widgets.push_back({{40 + col * 230, 60 + row * 48, 40 + col * 230 + 96, 60 + row * 48 + 28}});
    for (auto& f : frames) {
        const int changes = uniform(4, 24);
        for (int i = 0; i < changes; ++i) {
            const TRect b = widgets[engine() % widgets.size()].r;
            switch (engine() % 4) {
            case 0: f.push_back(b); break;                                               // a button's glow
            case 1: f.push_back({b.Left + 4, b.Top + 6, b.Left + 4 + uniform(8, 90), b.Top + 22}); break; // text
            case 2: f.push_back({b.Left + 30, b.Top + 6, b.Left + 31, b.Top + 22}); break; // caret
            default: f.push_back({b.Left, b.Bottom + 2, b.Left + uniform(1, 200), b.Bottom + 8}); break; // bar
            }
        }
        // A list that scrolls now and then repaints its whole box.
        if (engine() % 8 == 0)
            f.push_back({1500, 40, 1880, 1040});
    }
    return frames;
}

std::int64_t area_of(const TRect& r) {
    return std::int64_t{r.Right - r.Left} * (r.Bottom - r.Top);
}

// The exact area of a frame's union, from the region (its rectangles do not overlap).
std::int64_t union_area(const std::vector<TRect>& frame) {
    pixman_region32_t region;
    pixman_region32_init(&region);
    for (const TRect& r : frame)
        pixman_region32_union_rect(&region, &region, r.Left, r.Top, static_cast<unsigned>(r.Right - r.Left),
                                   static_cast<unsigned>(r.Bottom - r.Top));
    int n = 0;
    const pixman_box32_t* boxes = pixman_region32_rectangles(&region, &n);
    std::int64_t area = 0;
    for (int i = 0; i < n; ++i)
        area += std::int64_t{boxes[i].x2 - boxes[i].x1} * (boxes[i].y2 - boxes[i].y1);
    pixman_region32_fini(&region);
    return area;
}

double seconds(clock_type::duration d) {
    return std::chrono::duration<double>(d).count();
}

void BM_MicroTilesVsRegion(benchmark::State& state, scene kind) {
    const auto frames = frames_of(kind);
    std::int64_t adds = 0, frames_done = 0, our_rect_count = 0, peer_rect_count = 0, our_area = 0, exact_area = 0;
    clock_type::duration our_add{}, our_rects{}, peer_add{}, peer_rects{};
    TMicroTiles tiles;
    TilesInit(tiles);
    TilesResize(tiles, {0, 0, screen_width, screen_height});
    TRectList list;
    std::size_t f = 0;
    for (auto _ : state) {
        const std::vector<TRect>& frame = frames[f];
        f = (f + 1) % frames.size();

        auto start = clock_type::now();
        for (const TRect& r : frame)
            TilesAddRect(tiles, r);
        auto middle = clock_type::now();
        list.Clear();
        TilesToRects(tiles, list);
        TilesFillUsed(tiles, microtile_empty);
        auto end = clock_type::now();
        our_add += middle - start;
        our_rects += end - middle;

        pixman_region32_t region;
        start = clock_type::now();
        pixman_region32_init(&region);
        for (const TRect& r : frame)
            pixman_region32_union_rect(&region, &region, r.Left, r.Top, static_cast<unsigned>(r.Right - r.Left),
                                       static_cast<unsigned>(r.Bottom - r.Top));
        middle = clock_type::now();
        int n = 0;
        const pixman_box32_t* boxes = pixman_region32_rectangles(&region, &n);
        benchmark::DoNotOptimize(boxes);
        end = clock_type::now();
        pixman_region32_fini(&region);
        peer_add += middle - start;
        peer_rects += end - middle;

        adds += static_cast<std::int64_t>(frame.size());
        ++frames_done;
        our_rect_count += list.Count();
        peer_rect_count += n;
        // The coverage is counted once per frame of the set.
        if (frames_done <= frame_count) {
            for (std::int32_t i = 0; i < list.Count(); ++i)
                our_area += area_of(*list.Get(i));
            exact_area += union_area(frame);
        }
    }
    state.counters["ns_per_add"] = seconds(our_add) * 1e9 / static_cast<double>(adds);
    state.counters["peer_ns_per_add"] = seconds(peer_add) * 1e9 / static_cast<double>(adds);
    state.counters["add_ratio"] = seconds(our_add) / seconds(peer_add);
    state.counters["ns_to_rects"] = seconds(our_rects) * 1e9 / static_cast<double>(frames_done);
    state.counters["peer_ns_to_rects"] = seconds(peer_rects) * 1e9 / static_cast<double>(frames_done);
    state.counters["rects"] = static_cast<double>(our_rect_count) / static_cast<double>(frames_done);
    state.counters["peer_rects"] = static_cast<double>(peer_rect_count) / static_cast<double>(frames_done);
    state.counters["overdraw"] = static_cast<double>(our_area) / static_cast<double>(exact_area);
    state.counters["frame_ratio"] = seconds(our_add + our_rects) / seconds(peer_add + peer_rects);
}

double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

} // namespace

#define KQ_SPREAD ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)

BENCHMARK_CAPTURE(BM_MicroTilesVsRegion, random_rects, scene::random_rects)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MicroTilesVsRegion, gui_churn, scene::gui_churn)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_MicroTilesVsRegion, full_screen, scene::full_screen)->KQ_SPREAD;

int main(int argc, char** argv) {
    graphics_startup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    graphics_shutdown();
    return 0;
}
