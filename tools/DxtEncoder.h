// A small DXT5 encoder for making sample sets: end points from each block's
// bounding box, every texel given the nearest of the colours and alphas that
// Marrowix's decoder derives from them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace marrowix {

// Encodes 16 texels of 8-bit RGBA, row by row, into one 16-byte block.
void EncodeDxt5Block(std::span<const std::uint8_t, 64> rgba, std::span<std::uint8_t, 16> block);

// Encodes a width x height RGBA image (top row first) into its blocks; texels
// past the right and bottom edges repeat the edge texels.
std::vector<std::uint8_t> EncodeDxt5Image(std::uint32_t width, std::uint32_t height,
                                          std::span<const std::uint8_t> rgba);

}  // namespace marrowix
