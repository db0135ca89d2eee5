#include "stats/KeyedCounts.h"

#include <algorithm>
#include <array>

#include "platform/PathChoice.h"
#include "stats/BlockStats.h"

namespace marrowix {
namespace {

using namespace blockstats;

// Adds four counts a pair to `histogram` at the pair's palette entries
// (byte k of palette[pair] the value of entry k), clearing them.
template <std::size_t N, class Histogram>
void FoldChannel(std::vector<std::uint32_t>& counts, const std::array<std::uint32_t, N>& palette,
                 Histogram& histogram) {
    for (std::size_t pair = 0; pair < N; ++pair) {
        std::uint32_t* n = counts.data() + pair * 4;
        if ((n[0] | n[1] | n[2] | n[3]) == 0) {
            continue;
        }
        for (unsigned k = 0; k < 4; ++k) {
            histogram[(palette[pair] >> (8 * k)) & 255] += n[k];
            n[k] = 0;
        }
    }
}

bool Supported(StatsPath path) {
#if defined(__x86_64__) || defined(_M_X64)
    if (path == StatsPath::kAvx2) {
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    }
#endif
    return path == StatsPath::kScalar;
}

// A trial: 64 blocks of varied bytes, counted and folded.
void StatsTrial(StatsPath path) {
    if (path == StatsPath::kScalar) {
        return;
    }
    static std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> b(64 * 16);
        std::uint32_t state = 2024;
        for (auto& v : b) {
            v = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);
        }
        return b;
    }();
    static KeyedCounts counts;
    TextureStats stats;
    BlockTallies tallies;
    CountWholeBlocks(bytes.data(), 64, true, counts, stats, tallies);
    FoldKeyedCounts(counts, stats);
}

PathSetting<StatsPath>& Paths() {
    static PathSetting<StatsPath> paths("MARROWIX_STATS_PATH",
                                        {StatsPath::kScalar, StatsPath::kAvx2}, Supported,
                                        StatsPathName, StatsTrial);
    return paths;
}

}  // namespace

void FoldKeyedCounts(KeyedCounts& counts, TextureStats& stats) {
    const PaletteTables& t = Palettes();
    FoldChannel(counts.red, t.five, stats.channels[0].histogram);
    FoldChannel(counts.green, t.six, stats.channels[1].histogram);
    FoldChannel(counts.blue, t.five, stats.channels[2].histogram);
    for (std::size_t i = 0; i < counts.alpha.size(); ++i) {
        stats.channels[3].histogram[i % 256] += counts.alpha[i];
        counts.alpha[i] = 0;
    }
    counts.blocks = 0;
}

void CountWholeBlocks(const std::uint8_t* bytes, std::size_t blocks, bool full, KeyedCounts& counts,
                      TextureStats& stats, BlockTallies& tallies) {
    constexpr std::size_t kGroupsAtOnce = 4096;  // well under what the counts hold
    for (std::size_t done = 0; done < blocks;) {
        const std::size_t n = std::min(blocks - done, kGroupsAtOnce * 8);
        if (counts.blocks + n > KeyedCounts::kMostBlocks) {
            FoldKeyedCounts(counts, stats);
        }
        counts.blocks += n;
#if defined(__x86_64__) || defined(_M_X64)
        kernels::CountBlocksAvx2(bytes + done * kBlockBytes, n / 8, full, counts, tallies);
#else
        (void)full;
        (void)tallies;
#endif
        done += n;
    }
}

const char* StatsPathName(StatsPath path) {
    return path == StatsPath::kAvx2 ? "avx2" : "scalar";
}

std::vector<StatsPath> AvailableStatsPaths() {
    return Paths().Available();
}

StatsPath ActiveStatsPath() {
    return Paths().Active();
}

bool ForceStatsPath(StatsPath path) {
    return Paths().Force(path);
}

std::string DescribeStatsPath() {
    return Paths().Describe();
}

}  // namespace marrowix
