// Whether there is memory for what the viewer is about to show: a tree of
// millions of rows takes memory inside the toolkit, which cannot recover
// when it runs out, so the viewer asks first and shows what fits.
#pragma once

#include <cstddef>

namespace marrowix {

// Bytes the tree takes for each texture it shows, its view's layout of the
// row included, with room for the lists to grow.
constexpr std::size_t kTreeBytesPerTexture = 192;
// Bytes kept free beside it for everything else the window does.
constexpr std::size_t kSpareBytes = std::size_t{64} << 20;

// Whether `bytes` could be had now (asked for and given back at once).
bool RoomFor(std::size_t bytes);

// The largest number of textures up to `count`, halving from there, whose
// tree fits the memory there is; 0 when none does.
std::size_t TexturesThatFit(std::size_t count);

}  // namespace marrowix
