// Stretches: nearest, bilinear, kernel and draft, each onto the destination through the combine modes.
#include "graphics/Raster_Resamplers.h"

#include "graphics/Raster_Math.h"
#include "graphics/Raster_Resamplers_Shared.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace kq {

using namespace detail;

// --- Stretches

void StretchNearestNeighbour(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                             const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip))
        return;
    if (!inside(SrcRect, Src->BoundsRect()))
        throw Exception(u"Invalid SrcRect");
    const std::int64_t srcW = SrcRect.Right - SrcRect.Left, srcH = SrcRect.Bottom - SrcRect.Top;
    const std::int64_t dstW = static_cast<std::int64_t>(DstRect.Right) - DstRect.Left;
    const std::int64_t dstH = static_cast<std::int64_t>(DstRect.Bottom) - DstRect.Top;
    if (dstW == srcW && dstH == srcH) {
        CombineBlock(Dst, clip, Src, static_cast<std::int32_t>(SrcRect.Left + clip.Left - DstRect.Left),
                     static_cast<std::int32_t>(SrcRect.Top + clip.Top - DstRect.Top), CombineOp, CombineCallBack);
        return;
    }
    const std::int32_t clipW = clip.Right - clip.Left;
    std::vector<std::int32_t> columns(static_cast<std::size_t>(clipW));
    for (std::int32_t i = 0; i < clipW; ++i)
        columns[static_cast<std::size_t>(i)] =
            dstW < 2 ? (SrcRect.Left + SrcRect.Right - 1) / 2
                     : static_cast<std::int32_t>(SrcRect.Left + (i + clip.Left - DstRect.Left) * srcW / dstW);
    const auto source_row = [&](std::int32_t y) {
        return dstH < 2 ? (SrcRect.Top + SrcRect.Bottom - 1) / 2
                        : static_cast<std::int32_t>(SrcRect.Top + (y + clip.Top - DstRect.Top) * srcH / dstH);
    };
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    std::vector<TColor32> buffer;
    if (op.mode != dmOpaque)
        buffer.resize(static_cast<std::size_t>(clipW));
    std::int32_t previous = -1;
    for (std::int32_t y = 0; y < clip.Bottom - clip.Top; ++y) {
        const std::int32_t row = source_row(y);
        TColor32* d = Dst->PixelPtr(clip.Left, clip.Top + y);
        if (op.mode == dmOpaque) {
            if (row == previous && y > 0)
                std::memcpy(d, Dst->PixelPtr(clip.Left, clip.Top + y - 1), static_cast<std::size_t>(clipW) * sizeof(TColor32));
            else {
                const TColor32* s = Src->ScanLine(row);
                for (std::int32_t i = 0; i < clipW; ++i)
                    d[i] = s[columns[static_cast<std::size_t>(i)]];
            }
        } else {
            if (row != previous) {
                const TColor32* s = Src->ScanLine(row);
                for (std::int32_t i = 0; i < clipW; ++i)
                    buffer[static_cast<std::size_t>(i)] = s[columns[static_cast<std::size_t>(i)]];
            }
            apply_row(op, buffer.data(), d, clipW);
        }
        previous = row;
    }
}

namespace {

struct linear_map_entry {
    std::int32_t Pos;    // the first of the two source pixels
    std::int32_t Weight; // of the first, 0..256
};

// One axis of the bilinear stretch: centres mapped back, clamped to the source, and the last source pixel
// read as the second of a pair so that no read passes SrcHi.
std::vector<linear_map_entry> linear_map(std::int32_t dstLo, std::int32_t dstHi, std::int32_t clipLo,
                                         std::int32_t clipHi, std::int32_t srcLo, std::int32_t srcHi,
                                         std::int32_t srcSize) {
    std::vector<linear_map_entry> map(static_cast<std::size_t>(clipHi - clipLo));
    const double scale = (static_cast<double>(srcHi) - srcLo) / (static_cast<double>(dstHi) - dstLo);
    for (std::size_t i = 0; i < map.size(); ++i) {
        double t = srcLo - 0.5 + (static_cast<double>(clipLo) + static_cast<double>(i) - dstLo + 0.5) * scale;
        t = std::clamp(t, 0.0, static_cast<double>(srcSize - 1));
        const double pos = std::floor(t);
        map[i] = {static_cast<std::int32_t>(pos),
                  256 - static_cast<std::int32_t>(detail::round_half_even((t - pos) * 256.0))};
    }
    for (auto it = map.rbegin(); it != map.rend() && it->Pos + 1 >= srcHi; ++it)
        *it = {it->Pos - 1, 0};
    return map;
}

} // namespace

namespace {

// Lanes 0..3 weigh the left pixel of a pair, lanes 4..7 the right one.
struct alignas(16) pair_weight {
    __m128i lanes;
};

pair_weight pair_weights(std::int32_t w) {
    const auto a = static_cast<short>(w), b = static_cast<short>(256 - w);
    return {_mm_set_epi16(b, b, b, b, a, a, a, a)};
}

struct sse2_column {
    pair_weight weight;
    std::int32_t pos;
};

// The top and bottom pair of one destination pixel, each mixed by its column weight: top sums in lanes 0..3,
// bottom sums in 4..7.
inline __m128i mix_pairs(const sse2_column& c, const TColor32* top, const TColor32* bottom) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i t = _mm_mullo_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + c.pos)), zero), c.weight.lanes);
    const __m128i b = _mm_mullo_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom + c.pos)), zero), c.weight.lanes);
    return _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(t, b), _mm_unpackhi_epi64(t, b)), 8);
}

// A row of the bilinear stretch, exactly as the SSE2 four-pixel interpolator computes each pixel, two
// pixels at a time.
void interpolate_row_sse2(const sse2_column* columns, std::size_t count, const TColor32* top, std::int32_t rowWidth,
                          std::int32_t wy, TColor32* out) {
    const __m128i vertical = pair_weights(wy).lanes;
    const TColor32* bottom = top + rowWidth;
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i m0 = _mm_mullo_epi16(mix_pairs(columns[i], top, bottom), vertical);
        const __m128i m1 = _mm_mullo_epi16(mix_pairs(columns[i + 1], top, bottom), vertical);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(m0, m1), _mm_unpackhi_epi64(m0, m1)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(r, r));
    }
    if (i < count) {
        const __m128i m = _mm_mullo_epi16(mix_pairs(columns[i], top, bottom), vertical);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(m, _mm_srli_si128(m, 8)), 8);
        out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
    }
}

// A row of the bilinear stretch whose row weight is 256: the lower row adds nothing (its weight is 0) and
// the vertical mix gives the upper row's horizontal mix back exactly, so only that row is read.
void interpolate_top_row_sse2(const sse2_column* columns, std::size_t count, const TColor32* top, TColor32* out) {
    const __m128i zero = _mm_setzero_si128();
    const auto mixed = [&](std::size_t i) {
        return _mm_mullo_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + columns[i].pos)), zero),
            columns[i].weight.lanes);
    };
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i t0 = mixed(i), t1 = mixed(i + 1);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(r, r));
    }
    if (i < count) {
        const __m128i t = mixed(i);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_si128(t, 8)), 8);
        out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
    }
}

// One source row mixed horizontally for every destination column (four 16-bit lanes per column), kept
// while destination rows share their source rows.
void mix_row_sse2(const sse2_column* columns, std::size_t count, const TColor32* row, std::uint16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t i = 0; i < count; ++i) {
        const __m128i t = _mm_mullo_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + columns[i].pos)), zero),
            columns[i].weight.lanes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 4 * i), _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_si128(t, 8)), 8));
    }
}

// The vertical mix of two mixed rows, two pixels at a time.
void mix_rows_sse2(const std::uint16_t* top, const std::uint16_t* bottom, std::size_t count, std::int32_t wy,
                   TColor32* out) {
    const __m128i a = _mm_set1_epi16(static_cast<short>(wy)), b = _mm_set1_epi16(static_cast<short>(256 - wy));
    std::size_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + 4 * i));
        const __m128i u = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bottom + 4 * i));
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, a), _mm_mullo_epi16(u, b)), 8);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(r, r));
    }
    if (i < count) {
        const __m128i t = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(top + 4 * i));
        const __m128i u = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bottom + 4 * i));
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, a), _mm_mullo_epi16(u, b)), 8);
        out[i] = static_cast<TColor32>(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
    }
}

} // namespace

void StretchBilinear(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                     const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack) {
    RequireBitmaps(Dst, Src);
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip) || !inside(SrcRect, Src->BoundsRect()))
        return;
    // A pair needs two source pixels on each axis; a single column or row is the linear kernel's case.
    if (SrcRect.Right - SrcRect.Left < 2 || SrcRect.Bottom - SrcRect.Top < 2) {
        const TLinearKernel linear;
        KernelStretch(Dst, DstRect, clip, Src, SrcRect, CombineOp, CombineCallBack, linear);
        return;
    }
    const auto columns = linear_map(DstRect.Left, DstRect.Right, clip.Left, clip.Right, SrcRect.Left, SrcRect.Right,
                                    Src->Width());
    const auto rows = linear_map(DstRect.Top, DstRect.Bottom, clip.Top, clip.Bottom, SrcRect.Top, SrcRect.Bottom,
                                 Src->Height());
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const interpolate_four_proc interpolate = InterpolateFour;
    end_blending_at_exit done;
    const std::int32_t width = Src->Width();
    // With the SSE2 interpolator bound, whole rows run inline with the same arithmetic; when enlarging
    // vertically, the horizontal mix of a source row serves every destination row that reads it.
    const bool inline_rows = interpolate == interpolate_four_sse2;
    const bool keep_rows = inline_rows && clip.Bottom - clip.Top > 1 && DstRect.Bottom - DstRect.Top > SrcRect.Bottom - SrcRect.Top;
    std::vector<sse2_column> sse2_columns;
    if (inline_rows)
        for (const linear_map_entry& c : columns)
            sse2_columns.push_back({pair_weights(c.Weight), c.Pos});
    std::vector<std::uint16_t> mixed_top(keep_rows ? 4 * columns.size() : 0), mixed_bottom(mixed_top.size());
    std::int32_t mixed_pos = -1; // the source row in mixed_top; none yet
    bool mixed = false;
    std::vector<TColor32> line(op.mode == dmOpaque ? 0 : columns.size());
    for (std::size_t y = 0; y < rows.size(); ++y) {
        const TColor32* top = Src->ScanLine(rows[y].Pos);
        const std::int32_t wy = rows[y].Weight;
        TColor32* d = Dst->PixelPtr(clip.Left, clip.Top + static_cast<std::int32_t>(y));
        TColor32* out = line.empty() ? d : line.data();
        if (keep_rows) {
            if (mixed && rows[y].Pos == mixed_pos + 1) {
                mixed_top.swap(mixed_bottom);
                mix_row_sse2(sse2_columns.data(), columns.size(), top + width, mixed_bottom.data());
            } else if (!mixed || rows[y].Pos != mixed_pos) {
                mix_row_sse2(sse2_columns.data(), columns.size(), top, mixed_top.data());
                mix_row_sse2(sse2_columns.data(), columns.size(), top + width, mixed_bottom.data());
            }
            mixed_pos = rows[y].Pos;
            mixed = true;
            mix_rows_sse2(mixed_top.data(), mixed_bottom.data(), columns.size(), wy, out);
        } else if (inline_rows && wy == 256) {
            interpolate_top_row_sse2(sse2_columns.data(), columns.size(), top, out);
        } else if (inline_rows) {
            interpolate_row_sse2(sse2_columns.data(), columns.size(), top, width, wy, out);
        } else {
            for (std::size_t i = 0; i < columns.size(); ++i)
                out[i] = interpolate(columns[i].Weight, wy, top + columns[i].Pos, top + columns[i].Pos + width);
        }
        if (!line.empty())
            apply_row(op, line.data(), d, static_cast<std::int32_t>(line.size()));
    }
}

void KernelStretch(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                   const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack,
                   const TCustomKernel& Kernel) {
    RequireBitmaps(Dst, Src);
    if (blend_without_alpha(*Src, CombineOp))
        return;
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip) || !inside(SrcRect, Src->BoundsRect()))
        return;
    const TMappingTable columns =
        BuildWeightMap(DstRect.Left, DstRect.Right, clip.Left, clip.Right, SrcRect.Left, SrcRect.Right, Kernel);
    const TMappingTable rows =
        BuildWeightMap(DstRect.Top, DstRect.Bottom, clip.Top, clip.Bottom, SrcRect.Top, SrcRect.Bottom, Kernel);
    if (columns.empty() || rows.empty())
        return;
    std::int32_t first = INT32_MAX, last = INT32_MIN;
    for (const TCluster& cluster : columns)
        for (const TPointRec& p : cluster) {
            first = std::min(first, p.Pos);
            last = std::max(last, p.Pos);
        }
    struct entry {
        std::int32_t B, G, R, A;
    };
    std::vector<entry> buffer(static_cast<std::size_t>(last - first + 1));
    std::vector<TColor32> line(columns.size());
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const bool clamps = Kernel.NeedsClamping();
    const auto channel = [clamps](std::int32_t sum) {
        if (clamps)
            sum = std::clamp(sum, 0, 0xFF0000);
        return static_cast<TColor32>((sum >> 16) & 0xFF);
    };
    end_blending_at_exit done;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        for (std::int32_t x = first; x <= last; ++x) {
            entry e{0, 0, 0, 0};
            for (const TPointRec& p : rows[y]) {
                const TColor32 c = Src->GetPixel(x, p.Pos);
                e.B += static_cast<std::int32_t>(c & 0xFF) * p.Weight;
                e.G += static_cast<std::int32_t>((c >> 8) & 0xFF) * p.Weight;
                e.R += static_cast<std::int32_t>((c >> 16) & 0xFF) * p.Weight;
                e.A += static_cast<std::int32_t>(c >> 24) * p.Weight;
            }
            buffer[static_cast<std::size_t>(x - first)] = e;
        }
        for (std::size_t i = 0; i < columns.size(); ++i) {
            entry sum{0, 0, 0, 0};
            for (const TPointRec& p : columns[i]) {
                const entry& e = buffer[static_cast<std::size_t>(p.Pos - first)];
                sum.B += e.B * p.Weight;
                sum.G += e.G * p.Weight;
                sum.R += e.R * p.Weight;
                sum.A += e.A * p.Weight;
            }
            line[i] = channel(sum.A) << 24 | channel(sum.R) << 16 | channel(sum.G) << 8 | channel(sum.B);
        }
        apply_row(op, line.data(), Dst->PixelPtr(clip.Left, clip.Top + static_cast<std::int32_t>(y)),
                  static_cast<std::int32_t>(line.size()));
    }
}

void DraftStretch(TCustomBitmap32* Dst, const TRect& DstRect, const TRect& DstClip, TCustomBitmap32* Src,
                  const TRect& SrcRect, TDrawMode CombineOp, const TPixelCombineEvent& CombineCallBack,
                  const TCustomKernel& Kernel) {
    RequireBitmaps(Dst, Src);
    TRect clip = DstClip;
    if (!stretch_clip(*Dst, DstRect, clip) || !inside(SrcRect, Src->BoundsRect()))
        return;
    const std::int32_t srcW = SrcRect.Right - SrcRect.Left, srcH = SrcRect.Bottom - SrcRect.Top;
    const std::int64_t dstW = static_cast<std::int64_t>(DstRect.Right) - DstRect.Left;
    const std::int64_t dstH = static_cast<std::int64_t>(DstRect.Bottom) - DstRect.Top;
    if (dstW > srcW || dstH > srcH) {
        if (srcW < 2 || srcH < 2)
            KernelStretch(Dst, DstRect, clip, Src, SrcRect, CombineOp, CombineCallBack, Kernel);
        else
            StretchBilinear(Dst, DstRect, clip, Src, SrcRect, CombineOp, CombineCallBack);
        return;
    }
    const float scaleX = static_cast<float>(srcW) / static_cast<float>(dstW);
    const float scaleY = static_cast<float>(srcH) / static_cast<float>(dstH);
    const std::int32_t firstX =
        SrcRect.Left + static_cast<std::int32_t>(static_cast<float>(clip.Left - DstRect.Left) * scaleX);
    const std::int32_t firstY =
        SrcRect.Top + static_cast<std::int32_t>(static_cast<float>(clip.Top - DstRect.Top) * scaleY);
    const std::int64_t sx = static_cast<std::int64_t>(scaleX * 65536.0f);
    const std::int64_t sy = static_cast<std::int64_t>(scaleY * 65536.0f);
    // Block edges as offsets from the first pixel, held inside the source rectangle.
    const auto edge = [](std::int64_t k, std::int64_t step, std::int32_t first, std::int32_t limit) {
        return static_cast<std::int32_t>(std::min<std::int64_t>(first + ((k * step) >> 16), limit));
    };
    const combine_op op = combine_of(*Src, CombineOp, CombineCallBack);
    const average_block_proc average = AverageBlock;
    const std::int32_t stride = Src->Width() * 4;
    end_blending_at_exit done;
    for (std::int32_t y = 0; y < clip.Bottom - clip.Top; ++y) {
        const std::int32_t y0 = std::min(edge(y, sy, firstY, SrcRect.Bottom), SrcRect.Bottom - 1);
        const std::int32_t dy = std::max(edge(y + 1, sy, firstY, SrcRect.Bottom) - y0, 1);
        TColor32* d = Dst->PixelPtr(clip.Left, clip.Top + y);
        for (std::int32_t x = 0; x < clip.Right - clip.Left; ++x) {
            const std::int32_t x0 = std::min(edge(x, sx, firstX, SrcRect.Right), SrcRect.Right - 1);
            const std::int32_t dx = std::max(edge(x + 1, sx, firstX, SrcRect.Right) - x0, 1);
            apply_pixel(op, average(dx, dy, Src->PixelPtr(x0, y0), stride), d[x]);
        }
    }
}

} // namespace kq
