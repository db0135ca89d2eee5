// Fitting a DXT5 block's alpha to this format's decoder, at every quality
// whose blocks are fitted by Marrowix: `alpha` holds 16 pixels' alphas in
// raster order, `present` 1 for each pixel the image has and 0 for the
// others, which take index 0.
#pragma once

#include <cstdint>

namespace marrowix {

// Each pixel's nearest alpha of end points a0, a1 (the first of equals);
// returns the squared error of the present ones.
int AlphaIndices(std::uint32_t a0, std::uint32_t a1, const int* alpha, const int* present,
                 unsigned* index);

// The alpha end points, and each pixel's alpha index (bytes 0-7): eight
// levels between the extremes, or six between the extremes of those that
// are neither 0 nor 255 (which the six-level mode holds), whichever fits
// better.
void FitAlpha(const int* alpha, const int* present, std::uint8_t* block);

// Sixteen 3-bit indices into bytes 2-7 of the block.
void WriteAlphaIndices(const unsigned* index, std::uint8_t* block);

}  // namespace marrowix
