// Fitting DXT5 blocks to this format's decoder. The fast quality's block
// is fitted without libsquish: the colours' principal axis (weighted by
// alpha), its extremes as end points, then one least-squares step from the
// indices they give, kept when it lowers the block's error; the alpha end
// points of whichever of the two alpha modes fits better; and each pixel
// the colour and alpha index nearest to it under this format's arithmetic
// (the first of equals), as at every quality.
#pragma once

#include <cstdint>

namespace marrowix {

// `pixels`: 16 pixels of red, green, blue, alpha in raster order, those
// whose bit in `mask` is set present (at least one); the others take index
// 0. Writes the whole block.
void FitBlockFast(const std::uint8_t* pixels, int mask, std::uint8_t* block);

// Moves each 5:6:5 channel of the block's end points a step up or down
// while that lowers its colour error under this format's arithmetic (the
// normal and best qualities, after libsquish's fit).
void RefineEndPoints(const std::uint8_t* pixels, int mask, std::uint8_t* block);

// Each pixel's colour and alpha index (bytes 2-7 and 12-15) chosen again
// for the end points the block holds: the nearest under this format's
// palette, the first of equals; 0 for the pixels not present.
void ChooseIndices(const std::uint8_t* pixels, int mask, std::uint8_t* block);

}  // namespace marrowix
