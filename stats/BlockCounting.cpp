#include "stats/BlockCounting.h"

#include <algorithm>
#include <bit>

#include "stats/BlockStats.h"

namespace marrowix {
namespace {

using namespace blockstats;

// Each block's texels added to the histograms: the reference.
void CountBlocksDirect(const std::uint8_t* bytes, std::uint32_t blockRow, std::uint32_t cx,
                       std::uint32_t blocks, const TexelRect& r, bool full, TextureStats& s) {
    auto& hr = s.channels[0].histogram;
    auto& hg = s.channels[1].histogram;
    auto& hb = s.channels[2].histogram;
    auto& ha = s.channels[3].histogram;
    const std::uint32_t y0 = std::max(4 * blockRow, r.y);
    const std::uint32_t y1 = std::min(4 * blockRow + 4, r.y + r.height);
    const bool allRows = y0 == 4 * blockRow && y1 == 4 * blockRow + 4;
    const PaletteTables& t = Palettes();
    const std::uint64_t* alphaCountsOf = kAlphaCounts.data();  // not reloaded each block
    // Counted here rather than in `s`, which the histograms' stores
    // would make the compiler read and write again every block.
    std::uint64_t alphaEight = 0;
    std::uint64_t threeColourOrder = 0;
    std::uint64_t oneColour = 0;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        const Dxt5Block block = Dxt5Block::Read(bytes + std::size_t{b} * kBlockBytes);
        const std::uint32_t a0 = block.alpha0;
        const std::uint32_t a1 = block.alpha1;
        const std::uint32_t c0 = block.colour0;
        const std::uint32_t c1 = block.colour1;
        const std::uint64_t alphaIndices = block.alphaIndices;
        const std::uint32_t colourIndices = block.colourIndices;
        alphaEight += a0 > a1 ? 1 : 0;
        threeColourOrder += c0 <= c1 ? 1 : 0;

        // Each palette's four (or eight) 8-bit values, a byte each, from
        // tables of the decoder's arithmetic; at 4-bit precision the
        // histograms are folded at the end.
        const std::uint32_t red = t.five[(c0 >> 11) << 5 | (c1 >> 11)];
        const std::uint32_t green = t.six[((c0 >> 5) & 63) << 6 | ((c1 >> 5) & 63)];
        const std::uint32_t blue = t.five[(c0 & 31) << 5 | (c1 & 31)];
        const std::uint64_t alpha = AlphaPalette(a0, a1);
        // How many of the 16 texels index each colour and each alpha.
        const std::uint32_t colourCounts =
            kColourCounts[colourIndices & 255] + kColourCounts[(colourIndices >> 8) & 255] +
            kColourCounts[(colourIndices >> 16) & 255] + kColourCounts[colourIndices >> 24];
        // One colour: no colour used differs from the first one used,
        // as the precision shows them (8 bits, or the high nibbles).
        // A byte a palette entry; a count is at most 16, so adding 0x7F
        // to each byte sets its top bit exactly when it is not 0.
        const std::uint32_t usedBytes = (colourCounts + 0x7F7F7F7Fu) & 0x80808080u;
        const unsigned first = static_cast<unsigned>(std::countr_zero(usedBytes)) - 7;
        auto apart = [first](std::uint32_t palette) {
            return palette ^ (((palette >> first) & 255) * 0x01010101u);
        };
        const std::uint32_t differ =
            (apart(red) | apart(green) | apart(blue)) & (full ? 0xFFFFFFFFu : 0xF0F0F0F0u);
        const std::uint32_t differBytes =
            (((differ & 0x7F7F7F7Fu) + 0x7F7F7F7Fu) | differ) & 0x80808080u;
        oneColour += (differBytes & usedBytes) == 0 ? 1 : 0;

        const std::uint32_t x = cx + 4 * b;
        const std::uint32_t x0 = std::max(x, r.x);
        const std::uint32_t x1 = std::min(x + 4, r.x + r.width);
        if (allRows && x0 == x && x1 == x + 4) {
            for (unsigned k = 0; k < 4; ++k) {
                const std::uint64_t n = (colourCounts >> (8 * k)) & 255;
                hr[(red >> (8 * k)) & 255] += n;
                hg[(green >> (8 * k)) & 255] += n;
                hb[(blue >> (8 * k)) & 255] += n;
            }
            const std::uint64_t alphaCounts =
                alphaCountsOf[alphaIndices & 4095] + alphaCountsOf[(alphaIndices >> 12) & 4095] +
                alphaCountsOf[(alphaIndices >> 24) & 4095] + alphaCountsOf[alphaIndices >> 36];
            for (unsigned i = 0; i < 8; ++i) {
                ha[(alpha >> (8 * i)) & 255] += (alphaCounts >> (8 * i)) & 255;
            }
            continue;
        }
        for (std::uint32_t y = y0; y < y1; ++y) {
            for (std::uint32_t tx = x0; tx < x1; ++tx) {
                const unsigned k = (y % 4) * 4 + (tx - x);
                const unsigned shift = 8 * ((colourIndices >> (2 * k)) & 3);
                ++hr[(red >> shift) & 255];
                ++hg[(green >> shift) & 255];
                ++hb[(blue >> shift) & 255];
                ++ha[(alpha >> (8 * ((alphaIndices >> (3 * k)) & 7))) & 255];
            }
        }
    }
    s.blocks += blocks;
    s.alphaEight += alphaEight;
    s.alphaSix += blocks - alphaEight;
    s.threeColourOrder += threeColourOrder;
    s.oneColour += oneColour;
}

}  // namespace

void CountDxtBlocks(const std::uint8_t* bytes, std::uint32_t blockRow, std::uint32_t cx,
                    std::uint32_t blocks, const TexelRect& r, bool full, TextureStats& s,
                    KeyedCounts* keyed) {
    const bool allRows = 4 * blockRow >= r.y && 4 * blockRow + 4 <= r.y + r.height;
    if (keyed == nullptr || !allRows) {
        CountBlocksDirect(bytes, blockRow, cx, blocks, r, full, s);
        return;
    }
    // Whole columns: blocks [inside, inside + 8 x groups).
    const std::uint32_t right = r.x + r.width;
    const std::uint32_t inside = std::min(blocks, r.x > cx ? (r.x - cx + 3) / 4 : std::uint32_t{0});
    const std::uint32_t end = right >= cx + 4 ? std::min(blocks, (right - cx) / 4) : 0;
    const std::uint32_t groups = end > inside ? (end - inside) / 8 : 0;
    if (groups == 0) {
        CountBlocksDirect(bytes, blockRow, cx, blocks, r, full, s);
        return;
    }
    CountBlocksDirect(bytes, blockRow, cx, inside, r, full, s);
    BlockTallies tallies;
    CountWholeBlocks(bytes + std::size_t{inside} * kBlockBytes, std::size_t{groups} * 8, full,
                     *keyed, s, tallies);
    s.blocks += std::uint64_t{groups} * 8;
    s.alphaEight += tallies.alphaEight;
    s.alphaSix += std::uint64_t{groups} * 8 - tallies.alphaEight;
    s.threeColourOrder += tallies.threeColourOrder;
    s.oneColour += tallies.oneColour;
    const std::uint32_t after = inside + 8 * groups;
    CountBlocksDirect(bytes + std::size_t{after} * kBlockBytes, blockRow, cx + 4 * after,
                      blocks - after, r, full, s);
}

}  // namespace marrowix
