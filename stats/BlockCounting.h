// Counting a row's "dxt" blocks into a texture's statistics: each block's
// texels added to the histograms one palette entry (or, for a block the
// rectangle cuts, one texel) at a time, the reference; or, on the vector
// path, whole blocks counted by their end points.
#pragma once

#include <cstdint>

#include "stats/KeyedCounts.h"
#include "stats/TextureStats.h"

namespace marrowix {

// `blocks` blocks at `bytes`, of block row `blockRow` from texel column `cx`
// (a multiple of 4) on, the texels inside `r` added to `s` at `full`
// precision (false: one colour judged by the high nibbles). With `keyed`,
// the run of whole blocks inside the rectangle goes to it in groups of 8.
void CountDxtBlocks(const std::uint8_t* bytes, std::uint32_t blockRow, std::uint32_t cx,
                    std::uint32_t blocks, const TexelRect& r, bool full, TextureStats& s,
                    KeyedCounts* keyed);

}  // namespace marrowix
