// Encoding 8-bit RGBA images into a set's two encodings: DXT5 blocks (by
// BlockFit.h at the fast quality, ClusterFit.h at normal, libsquish at
// best), and RGBA4444 texels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace marrowix {

// The colour fits: our own fast one (BlockFit.h), our own cluster fit
// (ClusterFit.h), libsquish's iterative cluster fit.
enum class DxtQuality { kFast, kNormal, kBest };

// "fast", "normal", "best".
const char* DxtQualityName(DxtQuality quality);

// The DXT5 blocks of a width x height image given as rows of red, green,
// blue, alpha (top row first), row of blocks after row of blocks; colour
// weighted by alpha, encoded on every core. Blocks at the right and bottom
// edges hold only the pixels the image has. At fast each block is fitted
// for this format's arithmetic from the start (BlockFit.h); at normal a
// cluster fit measures its splits as this format widens end points, then
// steps them (ClusterFit.h). At best libsquish fits it for its own
// decoder's, whose widening of end points and thirds differ from this
// format's by a step here and there; each end point channel is then moved a
// step at a time while that lowers the block's error. At every quality each
// pixel takes the colour and alpha index nearest to it.
std::vector<std::uint8_t> EncodeDxt5(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                     std::uint32_t height, DxtQuality quality);

// The RGBA4444 texels of the image, little-endian, 2 bytes each: each
// channel the nearest of the 16 levels n x 17; with `dither`, the error of
// each channel is diffused to the neighbours not yet visited by
// Floyd-Steinberg's weights (7/16 right, 3/16 below left, 5/16 below, 1/16
// below right), in raster order.
std::vector<std::uint8_t> EncodeRgba4444(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                         std::uint32_t height, bool dither);

// The nearest level n (0 to 15) whose value n x 17 is nearest to `value`.
constexpr std::uint32_t NearestNibble(std::int32_t value) {
    const std::int32_t clamped = value < 0 ? 0 : value > 255 ? 255 : value;
    return static_cast<std::uint32_t>((clamped + 8) / 17);
}

}  // namespace marrowix
