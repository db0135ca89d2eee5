// The fast quality's DXT5 block, fitted for this format's decoder without
// libsquish: the colours' principal axis (weighted by alpha), its extremes
// as end points, then one least-squares step from the indices they give,
// kept when it lowers the block's error; the alpha end points of whichever
// of the two alpha modes fits better; and each pixel the colour and alpha
// index nearest to it under this format's arithmetic (the first of equals),
// as at every quality.
#pragma once

#include <cstdint>

namespace marrowix {

// `pixels`: 16 pixels of red, green, blue, alpha in raster order, those
// whose bit in `mask` is set present (at least one); the others take index
// 0. Writes the whole block.
void FitBlockFast(const std::uint8_t* pixels, int mask, std::uint8_t* block);

}  // namespace marrowix
