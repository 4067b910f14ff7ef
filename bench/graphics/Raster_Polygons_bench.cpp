// Polygon fill against the platform's usual vector library (cairo, image surface, anti-aliased): the same
// polygons in an opaque colour over an opaque background, on 1024 x 1024 pixels, ours and the peer's
// alternating in one loop. Counters: "ratio" (our time over the peer's), ns per covered pixel and per
// edge for each side.

#include "graphics/Raster.h"
#include "graphics/Raster_Bitmap.h"
#include "graphics/Raster_LowLevel.h"
#include "graphics/Raster_Polygons.h"
#include "graphics/Raster_VectorUtils.h"

#include <benchmark/benchmark.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

using namespace kq;

namespace {

constexpr int size = 1024;
constexpr TColor32 background = 0xFF203040;
constexpr TColor32 ink = 0xFFE0B060;

struct scene {
    TArrayOfArrayOfFloatPoint polygons;
    bool one_call = true; // all polygons in one fill, or one fill each
    TFillRule rule = frNonZero;
};

scene rotated_square() {
    TArrayOfFloatPoint p;
    for (int k = 0; k < 4; ++k) {
        const double a = std::numbers::pi / 6 + k * std::numbers::pi / 2;
        p.push_back({static_cast<float>(512 + 450 * std::sqrt(2.0) * std::cos(a)),
                     static_cast<float>(512 + 450 * std::sqrt(2.0) * std::sin(a))});
    }
    // A 900 x 900 square turned by 30 degrees reaches past the bitmap at its corners; so does the peer's.
    return {{p}};
}

scene circle(float radius) {
    return {{CirclePoints({512.3f, 511.6f}, radius)}};
}

scene star(TFillRule rule) {
    TArrayOfFloatPoint p;
    for (int k = 0; k < 1000; ++k) {
        const double a = 2 * std::numbers::pi * ((k * 337) % 1000) / 1000.0;
        p.push_back({static_cast<float>(512 + 480 * std::cos(a)), static_cast<float>(512 + 480 * std::sin(a))});
    }
    return {{p}, true, rule};
}

scene glyphs() {
    std::mt19937 random{20261210};
    std::uniform_real_distribution<float> where(20, size - 20), radius(4, 12), jitter(0.6f, 1.0f);
    std::uniform_int_distribution<int> edges(10, 40);
    scene s;
    s.one_call = false;
    for (int i = 0; i < 10000; ++i) {
        const float cx = where(random), cy = where(random), r = radius(random);
        const int n = edges(random);
        TArrayOfFloatPoint p;
        for (int k = 0; k < n; ++k) {
            const double a = 2 * std::numbers::pi * k / n;
            const float rk = r * (k % 2 ? 0.55f : 1.0f) * jitter(random);
            p.push_back({static_cast<float>(cx + rk * std::cos(a)), static_cast<float>(cy + rk * std::sin(a))});
        }
        s.polygons.push_back(std::move(p));
    }
    return s;
}

std::size_t edges_of(const scene& s) {
    std::size_t n = 0;
    for (const auto& p : s.polygons)
        n += p.size();
    return n;
}

struct ours {
    TCustomBitmap32 bitmap;
    TPolygonRenderer32VPR renderer;
    explicit ours(TFillRule rule) : renderer(&bitmap, rule) {
        bitmap.SetSize(size, size);
        renderer.SetColor(ink);
    }
    void reset() { FillDwords(bitmap.Bits(), size * size, background); }
    void draw(const scene& s) {
        if (s.one_call) {
            renderer.PolyPolygonFS(s.polygons);
        } else {
            for (const auto& p : s.polygons)
                renderer.PolygonFS(p);
        }
    }
    const TColor32* pixels() const { return bitmap.Bits(); }
};

struct peer {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t* cr = cairo_create(surface);
    explicit peer(TFillRule rule) {
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
        cairo_set_fill_rule(cr, rule == frNonZero ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_set_source_rgb(cr, ((ink >> 16) & 255) / 255.0, ((ink >> 8) & 255) / 255.0, (ink & 255) / 255.0);
    }
    ~peer() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    peer(const peer&) = delete;
    peer& operator=(const peer&) = delete;
    void reset() {
        cairo_surface_flush(surface);
        FillDwords(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface)), size * size, background);
        cairo_surface_mark_dirty(surface);
    }
    void path(const TArrayOfFloatPoint& p) {
        cairo_move_to(cr, p[0].X, p[0].Y);
        for (std::size_t i = 1; i < p.size(); ++i)
            cairo_line_to(cr, p[i].X, p[i].Y);
        cairo_close_path(cr);
    }
    void draw(const scene& s) {
        if (s.one_call) {
            for (const auto& p : s.polygons)
                path(p);
            cairo_fill(cr);
        } else {
            for (const auto& p : s.polygons) {
                path(p);
                cairo_fill(cr);
            }
        }
        cairo_surface_flush(surface);
    }
    const TColor32* pixels() {
        cairo_surface_flush(surface);
        return reinterpret_cast<const TColor32*>(cairo_image_surface_get_data(surface));
    }
};

std::size_t changed_pixels(const TColor32* p) {
    return static_cast<std::size_t>(std::count_if(p, p + size * size, [](TColor32 c) { return c != background; }));
}

std::size_t inked_pixels(const TColor32* p) {
    return static_cast<std::size_t>(std::count(p, p + size * size, ink));
}

using clock_type = std::chrono::steady_clock;

void BM_PolygonFill(benchmark::State& state, scene (*make)()) {
    const scene s = make();
    ours a(s.rule);
    peer b(s.rule);
    // Both sides draw the same shape: the fully inked pixels agree within the edges' width.
    a.reset();
    a.draw(s);
    b.reset();
    b.draw(s);
    const std::size_t covered = changed_pixels(a.pixels()), ours_ink = inked_pixels(a.pixels()),
                      peer_ink = inked_pixels(b.pixels());
    const double disagreement =
        std::abs(static_cast<double>(ours_ink) - static_cast<double>(peer_ink)) / std::max<double>(peer_ink, 1);
    if (disagreement > 0.05) {
        std::fprintf(stderr, "the two sides disagree: %zu and %zu fully inked pixels\n", ours_ink, peer_ink);
        std::exit(1);
    }
    clock_type::duration ours_time{}, peer_time{};
    for (auto _ : state) {
        a.reset();
        auto start = clock_type::now();
        a.draw(s);
        benchmark::ClobberMemory();
        ours_time += clock_type::now() - start;
        b.reset();
        start = clock_type::now();
        b.draw(s);
        benchmark::ClobberMemory();
        peer_time += clock_type::now() - start;
    }
    const double n = static_cast<double>(state.iterations());
    const double ours_ns = std::chrono::duration<double, std::nano>(ours_time).count() / n;
    const double peer_ns = std::chrono::duration<double, std::nano>(peer_time).count() / n;
    const double edges = static_cast<double>(edges_of(s));
    state.counters["ratio"] = ours_ns / peer_ns;
    state.counters["ours_ns_px"] = ours_ns / static_cast<double>(covered);
    state.counters["peer_ns_px"] = peer_ns / static_cast<double>(covered);
    state.counters["ours_ns_edge"] = ours_ns / edges;
    state.counters["peer_ns_edge"] = peer_ns / edges;
    state.counters["covered_px"] = static_cast<double>(covered);
}

double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
double largest(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); }

} // namespace

#define KQ_SPREAD ComputeStatistics("min", smallest)->ComputeStatistics("max", largest)->Unit(benchmark::kMicrosecond)

BENCHMARK_CAPTURE(BM_PolygonFill, rotated_square_900, rotated_square)->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_PolygonFill, circle_16, [] { return circle(16); })->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_PolygonFill, circle_64, [] { return circle(64); })->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_PolygonFill, circle_256, [] { return circle(256); })->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_PolygonFill, star_1000_non_zero, [] { return star(frNonZero); })->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_PolygonFill, star_1000_even_odd, [] { return star(frEvenOdd); })->KQ_SPREAD;
BENCHMARK_CAPTURE(BM_PolygonFill, glyphs_10000, glyphs)->KQ_SPREAD;

int main(int argc, char** argv) {
    graphics_startup();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    graphics_shutdown();
    return 0;
}
