// The normal quality's DXT5 colour fit: the cluster fit's search, every
// split of the block's colours (one point for a colour next to the same
// colour), in their order along the principal axis, into runs on the four
// palette entries, each split's least-squares end
// points rounded to 5:6:5 and its error measured for them as this format's
// decoder widens them; the best split's end points then stepped while that
// lowers the error under the decoder's arithmetic, and kept where they beat
// the fast fit's. Alpha is the fast fit's. The search runs on a path chosen
// at run time; the scalar one is the reference, and every path finds the
// same end points.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace marrowix {

// `pixels` and `mask` as FitBlockFast takes them; writes the whole block.
void FitBlockNormal(const std::uint8_t* pixels, int mask, std::uint8_t* block);

enum class FitPath { kScalar, kAvx2 };
const char* FitPathName(FitPath path);  // "scalar", "avx2"
// The paths this processor runs, the scalar one first.
std::vector<FitPath> AvailableFitPaths();
// The search's path: the fastest on a trial at first use, unless another
// is forced (also by the environment variable MARROWIX_FIT_PATH); forcing
// one the processor lacks is refused.
FitPath ActiveFitPath();
bool ForceFitPath(FitPath path);
std::string DescribeFitPath();

// Up to 16 points, the prefix sums of their weights and weighted channels
// (sums[0] 0, sums[n] all of them), padded past n so that the widest lanes
// may read there (what they make of it is never taken).
struct ClusterSums {
    int n = 0;
    float w[17 + 16] = {};
    float x[3][17 + 16] = {};
};

// The best split found: its error, its order among the splits (the first
// of equals wins), its end points (c0 << 16 | c1).
struct ClusterBest {
    float error = 3.0e38f;
    int order = 1 << 30;
    std::uint32_t ends = 0;
};

namespace kernels {
void SearchSplitsScalar(const ClusterSums& sums, ClusterBest& best);
#if defined(__x86_64__) || defined(_M_X64)
void SearchSplitsAvx2(const ClusterSums& sums, ClusterBest& best);
#endif
}  // namespace kernels

}  // namespace marrowix
