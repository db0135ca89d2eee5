// Whole "dxt" blocks counted by their colour end points rather than by
// their texels' values: a block adds how many of its texels index each
// palette entry at the entry of its red, green and blue end points (four
// counts each), and the histograms are made from those counts once, each
// end-point pair's palette worked out once rather than for every block. A
// block then costs three additions of four counts instead of twelve
// histogram bins. Alpha, whose 65,536 pairs would not stay in the cache,
// adds its eight counts to bins of its own, one histogram an index, so that
// the entries of one block that show one value do not wait on each other.
// The vector path counts this way; the scalar reference adds every block to
// the histograms directly, and the two agree exactly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "stats/TextureStats.h"

namespace marrowix {

// The block modes counted along the way, as in TextureStats.
struct BlockTallies {
    std::uint64_t alphaEight = 0;
    std::uint64_t threeColourOrder = 0;
    std::uint64_t oneColour = 0;
};

struct KeyedCounts {
    // Index counts of 32 bits: entry k of the red pair (e0 << 5 | e1) at
    // red[4 x pair + k], of the green pair (e0 << 6 | e1) at green[...];
    // texels of alpha index i and value v at alpha[256 x i + v].
    std::vector<std::uint32_t> red = std::vector<std::uint32_t>(1024 * 4);
    std::vector<std::uint32_t> green = std::vector<std::uint32_t>(4096 * 4);
    std::vector<std::uint32_t> blue = std::vector<std::uint32_t>(1024 * 4);
    std::vector<std::uint32_t> alpha = std::vector<std::uint32_t>(8 * 256);
    // Blocks counted since the last fold: at most 16 a block in a count,
    // so 2^28 of them fit 32 bits.
    std::uint64_t blocks = 0;
    static constexpr std::uint64_t kMostBlocks = (std::uint64_t{1} << 28) - 1;
};

// Adds the counts to the 8-bit histograms of `stats` and clears them.
void FoldKeyedCounts(KeyedCounts& counts, TextureStats& stats);

// Counts `blocks` whole blocks at `bytes` (a multiple of 8 of them) on the
// vector path; `full` is the precision at which one colour is judged (false:
// the high nibbles). Folds first where the counts could overflow.
void CountWholeBlocks(const std::uint8_t* bytes, std::size_t blocks, bool full, KeyedCounts& counts,
                      TextureStats& stats, BlockTallies& tallies);

// The statistics' block paths: the scalar reference and a vector one.
enum class StatsPath { kScalar, kAvx2 };
const char* StatsPathName(StatsPath path);  // "scalar", "avx2"
// The paths this processor runs, the scalar one first.
std::vector<StatsPath> AvailableStatsPaths();
// The path ComputeStats takes for large "dxt" textures: the fastest on a
// trial at first use, unless another is forced (also by the environment
// variable MARROWIX_STATS_PATH); forcing one the processor lacks is refused.
StatsPath ActiveStatsPath();
bool ForceStatsPath(StatsPath path);
// "avx2 (the only path here)".
std::string DescribeStatsPath();

namespace kernels {
#if defined(__x86_64__) || defined(_M_X64)
// Groups of 8 whole blocks.
void CountBlocksAvx2(const std::uint8_t* bytes, std::size_t groups, bool full, KeyedCounts& counts,
                     BlockTallies& tallies);
#endif
}  // namespace kernels

}  // namespace marrowix
