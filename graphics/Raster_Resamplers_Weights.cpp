// A kernel's weights: the table of a kernel resampler and the weight maps of a kernel stretch.
#include "graphics/Raster_Resamplers.h"

#include "graphics/Raster_Math.h"
#include "graphics/Raster_Resamplers_Shared.h"

#include <algorithm>
#include <cmath>

namespace kq {

// --- Weights

namespace {

std::int32_t weight_of(float value) {
    return static_cast<std::int32_t>(detail::round_half_even(static_cast<double>(value) * 256.0));
}

} // namespace

void build_weight_table(const TCustomKernel& kernel, std::int32_t tableSize, TIntegerMap& table) {
    const std::int32_t w = detail::reach_of(kernel);
    tableSize = std::max(tableSize, 2);
    table.SetSize(2 * w + 1, tableSize + 1);
    for (std::int32_t row = 0; row <= tableSize; ++row) {
        const float fraction = static_cast<float>(row) / static_cast<float>(tableSize - 1);
        std::int32_t* line = table.Scanline(row);
        std::int32_t sum = 0;
        for (std::int32_t j = -w; j <= w; ++j) {
            line[j + w] = weight_of(kernel.Filter(static_cast<float>(j) + fraction));
            sum += line[j + w];
        }
        line[w] += 256 - sum;
    }
}

TMappingTable BuildWeightMap(std::int32_t dstLo, std::int32_t dstHi, std::int32_t clipLo, std::int32_t clipHi,
                             std::int32_t srcLo, std::int32_t srcHi, const TCustomKernel& kernel) {
    TMappingTable result;
    const std::int64_t srcW = static_cast<std::int64_t>(srcHi) - srcLo;
    if (srcW <= 0 || clipHi <= clipLo)
        return result;
    const auto clusters = static_cast<std::size_t>(static_cast<std::int64_t>(clipHi) - clipLo);
    if (srcW == 1) {
        result.assign(clusters, TCluster{{srcLo, 256}});
        return result;
    }
    const float scale = static_cast<float>(static_cast<double>(static_cast<std::int64_t>(dstHi) - dstLo) /
                                           static_cast<double>(srcW));
    const std::int32_t middle = static_cast<std::int32_t>((static_cast<std::int64_t>(srcLo) + srcHi) / 2);
    if (!(scale > 0)) {
        // A collapsed (or inverted) destination takes the middle of the source.
        result.assign(clusters, TCluster{{middle, 256}});
        return result;
    }
    const float width = std::max(kernel.GetWidth(), 0.0f);
    const auto clamp_pos = [&](double j) {
        return static_cast<std::int32_t>(std::clamp(j, static_cast<double>(srcLo), static_cast<double>(srcHi - 1)));
    };
    result.resize(clusters);
    for (std::size_t i = 0; i < clusters; ++i) {
        const float center = static_cast<float>(srcLo) - 0.5f +
                             static_cast<float>(static_cast<double>(static_cast<std::int64_t>(i) + clipLo - dstLo) + 0.5) /
                                 scale;
        TCluster& cluster = result[i];
        const bool shrinking = scale < 1.0f;
        const float reach = shrinking ? width / scale : width;
        const double first = std::floor(static_cast<double>(center) - reach);
        const double last = std::ceil(static_cast<double>(center) + reach);
        for (double j = first; j <= last; j += 1.0) {
            const float distance = center - static_cast<float>(j);
            const std::int32_t weight = shrinking ? weight_of(scale * kernel.Filter(distance * scale))
                                                  : weight_of(kernel.Filter(distance));
            if (weight != 0)
                cluster.push_back({clamp_pos(j), weight});
        }
        if (cluster.empty()) {
            cluster.push_back({clamp_pos(std::floor(static_cast<double>(center))), 256});
            continue;
        }
        std::int32_t sum = 0;
        for (const TPointRec& p : cluster)
            sum += p.Weight;
        cluster[(cluster.size() - 1) / 2].Weight += 256 - sum;
    }
    return result;
}

} // namespace kq
