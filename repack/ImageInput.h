// Images that go into a set: PNG files of every colour type and depth, and
// DDS files holding DXT5 blocks (taken block for block) or uncompressed
// 8-bit RGBA pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decode/Image.h"
#include "textureset/TextureSet.h"

namespace marrowix {

struct InputImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // Red, green, blue, alpha, 8 bits each, top row first; for a DDS of
    // DXT5 blocks, the blocks decoded at full precision.
    std::vector<std::uint8_t> rgba;
    // A DDS of DXT5 blocks: its blocks as they are, row of blocks after row
    // of blocks; empty otherwise.
    std::vector<std::uint8_t> dxtBlocks;

    ImageView View() const { return PackedImage(rgba.data(), width, height, PixelFormat::kRgba); }
};

// Reads the image at the native path `path`: a PNG (16-bit channels
// narrowed by rounding, grey and palette expanded, an image without alpha
// opaque) or a DDS of DXT5 blocks or of 32-bit RGBA / BGRA pixels (its
// first level). Refused with a reason naming the file for anything else, a
// truncated or corrupt file, a size of 0 or one larger than a texture may be.
Result<InputImage> ReadInputImage(const std::string& path);

}  // namespace marrowix
