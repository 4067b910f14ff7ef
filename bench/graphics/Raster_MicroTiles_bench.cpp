// Micro tiles against the platform's compositing library's regions, on a 1920 x 1080 area: the time of a
// whole frame (mark, merge into rectangles, clear), split into marking and the rest, how many rectangles
// come out and how much more they cover than the exact union of what was marked (the overdraw). Run by
// hand (README.md).
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

// One byte per pixel of the screen: the pixels a list of rectangles covers.
struct coverage {
    std::vector<unsigned char> pixels = std::vector<unsigned char>(std::size_t{screen_width} * screen_height);
    void add(int left, int top, int right, int bottom) {
        for (int y = std::max(top, 0); y < std::min(bottom, screen_height); ++y)
            for (int x = std::max(left, 0); x < std::min(right, screen_width); ++x)
                pixels[std::size_t{screen_width} * static_cast<unsigned>(y) + static_cast<unsigned>(x)] = 1;
    }
    std::int64_t area() const { return std::count(pixels.begin(), pixels.end(), 1); }
};

// Before any timing, every frame is marked both ways and compared pixel by pixel: the tiles' rectangles
// cover every pixel of the region, and nothing outside the 32 x 32 tiles the frame's rectangles touch
// (a tile keeps one box of what was marked in it). Returns the overdraw: the tiles' area over the exact one.
double check_coverage(const std::vector<std::vector<TRect>>& frames) {
    TMicroTiles tiles;
    TilesInit(tiles);
    TilesResize(tiles, {0, 0, screen_width, screen_height});
    std::int64_t our_area = 0, exact_area = 0;
    for (const std::vector<TRect>& frame : frames) {
        TRectList list;
        for (const TRect& r : frame)
            TilesAddRect(tiles, r);
        TilesToRects(tiles, list);
        TilesFillUsed(tiles, microtile_empty);
        pixman_region32_t region;
        pixman_region32_init(&region);
        for (const TRect& r : frame)
            pixman_region32_union_rect(&region, &region, r.Left, r.Top, static_cast<unsigned>(r.Right - r.Left),
                                       static_cast<unsigned>(r.Bottom - r.Top));
        int n = 0;
        const pixman_box32_t* boxes = pixman_region32_rectangles(&region, &n);
        coverage ours, exact, whole_tiles;
        for (std::int32_t i = 0; i < list.Count(); ++i) {
            const TRect& r = *list.Get(i);
            ours.add(r.Left, r.Top, r.Right, r.Bottom);
        }
        for (int i = 0; i < n; ++i)
            exact.add(boxes[i].x1, boxes[i].y1, boxes[i].x2, boxes[i].y2);
        pixman_region32_fini(&region);
        for (const TRect& r : frame)
            whole_tiles.add(r.Left & ~(microtile_size - 1), r.Top & ~(microtile_size - 1),
                            (r.Right + microtile_size - 1) & ~(microtile_size - 1),
                            (r.Bottom + microtile_size - 1) & ~(microtile_size - 1));
        for (std::size_t i = 0; i < ours.pixels.size(); ++i)
            if (exact.pixels[i] > ours.pixels[i] || ours.pixels[i] > whole_tiles.pixels[i]) {
                std::fprintf(stderr, "micro tiles and region disagree at pixel (%zu, %zu)\n", i % screen_width,
                             i / screen_width);
                std::exit(1);
            }
        our_area += ours.area();
        exact_area += exact.area();
    }
    TilesFree(tiles);
    return static_cast<double>(our_area) / static_cast<double>(exact_area);
}

double seconds(clock_type::duration d) {
    return std::chrono::duration<double>(d).count();
}

// A whole frame each way, both sides in one loop so both see the same load: ours marks the
// tiles, merges them into rectangles and clears the used tiles for the next frame; the region takes the
// union of the rectangles and hands over its list. frame_ratio (ours / the region's) is the headline.
void BM_MicroTilesVsRegion(benchmark::State& state, scene kind) {
    const auto frames = frames_of(kind);
    // Checked once per scene: the benchmark runs this function again for every repetition.
    static double overdraws[3] = {};
    double& overdraw = overdraws[static_cast<int>(kind)];
    if (overdraw == 0)
        overdraw = check_coverage(frames);
    std::int64_t adds = 0, frames_done = 0, our_rect_count = 0, peer_rect_count = 0;
    clock_type::duration our_add{}, our_rects{}, peer_add{}, peer_rects{};
    TMicroTiles tiles;
    TilesInit(tiles);
    TilesResize(tiles, {0, 0, screen_width, screen_height});
    TRectList list;
    std::size_t f = 0;
    const auto ours = [&](const std::vector<TRect>& frame) {
        const auto start = clock_type::now();
        for (const TRect& r : frame)
            TilesAddRect(tiles, r);
        const auto middle = clock_type::now();
        list.Clear();
        TilesToRects(tiles, list);
        TilesFillUsed(tiles, microtile_empty);
        const auto end = clock_type::now();
        our_add += middle - start;
        our_rects += end - middle;
        our_rect_count += list.Count();
    };
    const auto peer = [&](const std::vector<TRect>& frame) {
        pixman_region32_t region;
        const auto start = clock_type::now();
        pixman_region32_init(&region);
        for (const TRect& r : frame)
            pixman_region32_union_rect(&region, &region, r.Left, r.Top, static_cast<unsigned>(r.Right - r.Left),
                                       static_cast<unsigned>(r.Bottom - r.Top));
        const auto middle = clock_type::now();
        int n = 0;
        const pixman_box32_t* boxes = pixman_region32_rectangles(&region, &n);
        benchmark::DoNotOptimize(boxes);
        const auto end = clock_type::now();
        pixman_region32_fini(&region);
        peer_add += middle - start;
        peer_rects += end - middle;
        peer_rect_count += n;
    };
    // Which side goes first swaps every frame, so neither always finds the other's data in the cache.
    bool ours_first = true;
    for (auto _ : state) {
        const std::vector<TRect>& frame = frames[f];
        f = (f + 1) % frames.size();
        if (ours_first) {
            ours(frame);
            peer(frame);
        } else {
            peer(frame);
            ours(frame);
        }
        ours_first = !ours_first;
        adds += static_cast<std::int64_t>(frame.size());
        ++frames_done;
    }
    TilesFree(tiles);
    state.counters["frame_ratio"] = seconds(our_add + our_rects) / seconds(peer_add + peer_rects);
    state.counters["ns_per_frame"] = seconds(our_add + our_rects) * 1e9 / static_cast<double>(frames_done);
    state.counters["peer_ns_per_frame"] = seconds(peer_add + peer_rects) * 1e9 / static_cast<double>(frames_done);
    state.counters["ns_per_add"] = seconds(our_add) * 1e9 / static_cast<double>(adds);
    state.counters["peer_ns_per_add"] = seconds(peer_add) * 1e9 / static_cast<double>(adds);
    state.counters["ns_to_rects"] = seconds(our_rects) * 1e9 / static_cast<double>(frames_done);
    state.counters["peer_ns_to_rects"] = seconds(peer_rects) * 1e9 / static_cast<double>(frames_done);
    state.counters["rects"] = static_cast<double>(our_rect_count) / static_cast<double>(frames_done);
    state.counters["peer_rects"] = static_cast<double>(peer_rect_count) / static_cast<double>(frames_done);
    state.counters["overdraw"] = overdraw;
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
