// What a texture holds, as the viewer shows it: per channel the range, the
// mean, the standard deviation and a histogram of 256 bins; how much of it is
// transparent; and what its encoding chose: for "dxt" the blocks of each
// alpha mode, those whose colour end points are in the order a three-colour
// block would have, and those of one colour; for "etc" the number of
// distinct texels. Values are 8 bits a channel at full precision (the
// blocks' own values, "etc" nibbles n x 17) and at 4-bit precision each
// nibble widened exactly (n x 17), so 16 bins are used. Texels the data file
// does not hold count as 0, as everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/Decode.h"
#include "textureset/TextureSet.h"

namespace marrowix {

struct ChannelStats {
    std::array<std::uint64_t, 256> histogram{};
    std::uint8_t min = 0;
    std::uint8_t max = 0;
    double mean = 0;
    double stddev = 0;  // of the population
};

struct TextureStats {
    std::uint64_t texels = 0;
    std::array<ChannelStats, 4> channels;  // red, green, blue, alpha
    // Alpha coverage: texels at 0, at 255, and between.
    std::uint64_t transparent = 0;
    std::uint64_t opaque = 0;
    std::uint64_t translucent = 0;
    // "dxt", over the blocks the texels lie in: the alpha modes (a0 > a1:
    // eight interpolated values; otherwise six, and 0 and 255), colour end
    // points with c0 <= c1 (a three-colour block's order, which this format
    // decodes as four colours all the same), and blocks whose 16 texels show
    // one colour (red, green and blue; alpha aside).
    std::uint64_t blocks = 0;
    std::uint64_t alphaEight = 0;
    std::uint64_t alphaSix = 0;
    std::uint64_t threeColourOrder = 0;
    std::uint64_t oneColour = 0;
    // "etc": distinct RGBA4444 texels.
    std::uint64_t distinct = 0;
    // The data file did not hold every byte the texels need.
    bool incomplete = false;
};

// A rectangle of texels.
struct TexelRect {
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The statistics of entry `index` at `precision`, of every texel or of those
// in `region` (clipped to the texture; an empty one has no texels). Reads
// the data in bands of bounded size, on every core when the texture is large.
// Refused, with the reason, for an entry whose size cannot be read.
Result<TextureStats> ComputeStats(const CTextureSet& set, std::size_t index, Precision precision,
                                  const TexelRect* region = nullptr);

// ComputeStats' reason when memory ran out: the measuring failed, not the
// texture.
inline constexpr const char* kStatsOutOfMemory = "not enough memory for statistics";

}  // namespace marrowix
