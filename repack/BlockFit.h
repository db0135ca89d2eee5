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
// 0. Writes the whole block, and with `spread` what it measured of the
// colours.
struct ColourSpread;
void FitBlockFast(const std::uint8_t* pixels, int mask, std::uint8_t* block,
                  ColourSpread* spread = nullptr);

// Moves each 5:6:5 channel of the block's end points a step up or down
// while that lowers its colour error under this format's arithmetic (the
// normal and best qualities, after libsquish's fit).
void RefineEndPoints(const std::uint8_t* pixels, int mask, std::uint8_t* block);

// Each pixel's colour and alpha index (bytes 2-7 and 12-15) chosen again
// for the end points the block holds: the nearest under this format's
// palette, the first of equals; 0 for the pixels not present.
void ChooseIndices(const std::uint8_t* pixels, int mask, std::uint8_t* block);

// Each pixel's weight (its alpha, 0 for those not present) and the
// colours' principal axis under those weights (its largest component 1;
// 0 for a block of one colour), as the fits take them.
struct ColourSpread {
    float weight[16];
    float axis[3];
};

// The squared colour error of the present pixels for the block's end
// points, each on its nearest palette entry.
int ColourError(const std::uint8_t* pixels, int mask, const std::uint8_t* block);

}  // namespace marrowix
