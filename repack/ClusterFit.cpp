#include "repack/ClusterFit.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "platform/PathChoice.h"
#include "repack/BlockFit.h"

namespace marrowix {
namespace kernels {
namespace scalar {

using V = float;
using I = int;
constexpr int kLanes = 1;
inline I ToInt(V v) {
    return static_cast<I>(v);
}
inline V ToFloat(I v) {
    return static_cast<V>(v);
}
inline V Lane(const float* at) {
    return *at;
}
inline void Store(float* at, V v) {
    *at = v;
}
inline I Lanes() {
    return 0;
}
inline float LaneOf(V v, int) {
    return v;
}
inline int LaneOf(I v, int) {
    return v;
}

#include "repack/ClusterSearch.inc"

}  // namespace scalar

void SearchSplitsScalar(const ClusterSums& sums, ClusterBest& best) {
    scalar::SearchSplits(sums, best);
}

}  // namespace kernels

namespace {

bool Supported(FitPath path) {
#if defined(__x86_64__) || defined(_M_X64)
    if (path == FitPath::kAvx2) {
        return __builtin_cpu_supports("avx2");
    }
#endif
    return path == FitPath::kScalar;
}

void Search(FitPath path, const ClusterSums& sums, ClusterBest& best) {
#if defined(__x86_64__) || defined(_M_X64)
    if (path == FitPath::kAvx2) {
        kernels::SearchSplitsAvx2(sums, best);
        return;
    }
#endif
    kernels::SearchSplitsScalar(sums, best);
}

// A trial: the search over 16 points of varied colour.
void FitTrial(FitPath path) {
    ClusterSums sums;
    sums.n = 16;
    std::uint32_t state = 2024;
    for (int i = 1; i < 17 + 16; ++i) {
        const float w = i <= 16 ? 1.0f : 0.0f;
        sums.w[i] = sums.w[i - 1] + w;
        for (auto& x : sums.x) {
            state = state * 1664525u + 1013904223u;
            x[i] = x[i - 1] + w * static_cast<float>(state >> 24);
        }
    }
    ClusterBest best;
    Search(path, sums, best);
    volatile std::uint32_t sink = best.ends;
    (void)sink;
}

PathSetting<FitPath>& Paths() {
    static PathSetting<FitPath> paths("MARROWIX_FIT_PATH", {FitPath::kScalar, FitPath::kAvx2},
                                      Supported, FitPathName, FitTrial);
    return paths;
}

}  // namespace

void FitBlockNormal(const std::uint8_t* pixels, int mask, std::uint8_t* block) {
    ColourSpread spread;
    FitBlockFast(pixels, mask, block, &spread);  // the alpha, and the colours to beat
    const int error = ColourError(pixels, mask, block);
    if (error == 0) {
        return;
    }
    // The present pixels in their order along the axis, the first of
    // equals first, and the prefix sums of their weights and colours.
    int order[16];
    float along[16];
    int n = 0;
    for (int i = 0; i < 16; ++i) {
        if ((mask >> i) & 1) {
            const std::uint8_t* p = pixels + 4 * i;
            along[i] = static_cast<float>(p[0]) * spread.axis[0] +
                       static_cast<float>(p[1]) * spread.axis[1] +
                       static_cast<float>(p[2]) * spread.axis[2];
            order[n++] = i;
        }
    }
    for (int k = 1; k < n; ++k) {  // insertion, which keeps equals in order
        const int i = order[k];
        int j = k;
        for (; j > 0 && along[order[j - 1]] > along[i]; --j) {
            order[j] = order[j - 1];
        }
        order[j] = i;
    }
    // A colour next to the same colour joins it: one point of both weights,
    // so that smooth blocks have fewer splits to try.
    ClusterSums sums;
    int points = 0;
    for (int k = 0; k < n; ++k) {
        const std::uint8_t* p = pixels + 4 * order[k];
        const bool same = k > 0 && std::memcmp(p, pixels + 4 * order[k - 1], 3) == 0;
        const float w = spread.weight[order[k]];
        if (!same) {
            ++points;
            sums.w[points] = sums.w[points - 1];
            for (int ch = 0; ch < 3; ++ch) {
                sums.x[ch][points] = sums.x[ch][points - 1];
            }
        }
        sums.w[points] += w;
        for (int ch = 0; ch < 3; ++ch) {
            sums.x[ch][points] += w * static_cast<float>(p[ch]);
        }
    }
    sums.n = points;
    ClusterBest best;
    Search(ActiveFitPath(), sums, best);
    if (best.order == ClusterBest{}.order) {
        return;  // no split has end points of its own
    }
    std::uint8_t tried[16];
    std::memcpy(tried, block, 16);
    std::uint32_t c0 = best.ends >> 16;
    std::uint32_t c1 = best.ends & 0xFFFF;
    for (const std::uint32_t end : {c0, c1}) {
        const int at = end == c0 ? 8 : 10;
        tried[at] = static_cast<std::uint8_t>(end);
        tried[at + 1] = static_cast<std::uint8_t>(end >> 8);
    }
    RefineEndPoints(pixels, mask, tried);
    // The larger end point first, as a four-colour block is written; the
    // palette is the same either way round.
    c0 = tried[8] | std::uint32_t{tried[9]} << 8;
    c1 = tried[10] | std::uint32_t{tried[11]} << 8;
    if (c0 < c1) {
        std::swap(tried[8], tried[10]);
        std::swap(tried[9], tried[11]);
    }
    ChooseIndices(pixels, mask, tried);
    if (ColourError(pixels, mask, tried) < error) {
        std::memcpy(block + 8, tried + 8, 8);
    }
}

const char* FitPathName(FitPath path) {
    return path == FitPath::kAvx2 ? "avx2" : "scalar";
}

std::vector<FitPath> AvailableFitPaths() {
    return Paths().Available();
}

FitPath ActiveFitPath() {
    return Paths().Active();
}

bool ForceFitPath(FitPath path) {
    return Paths().Force(path);
}

std::string DescribeFitPath() {
    return Paths().Describe();
}

}  // namespace marrowix
