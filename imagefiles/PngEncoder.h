// A PNG encoder for 8-bit RGBA images that compresses parts of the image on
// all cores: each part's rows are filtered and deflated by whichever worker
// takes it, ended at a flush point so that the parts join into the one zlib
// stream a PNG holds, their checksums combined.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace marrowix {

// Fills `rgba` (width x 4 bytes) with row `y` of the image, top row 0:
// red, green, blue, alpha. Called from several threads at once.
using PngRowSource = std::function<void(std::uint32_t y, std::uint8_t* rgba)>;

// Writes a PNG of the image to `file`. Empty on success, otherwise the
// reason (the system's, for a failed write).
std::string EncodePng(std::FILE* file, std::uint32_t width, std::uint32_t height,
                      const PngRowSource& row);

}  // namespace marrowix
