// A PNG encoder for 8-bit RGBA images that compresses parts of the image on
// all cores: each part's pixels are filtered and deflated by whichever worker
// takes it, ended at a flush point so that the parts join into the one zlib
// stream a PNG holds, their checksums combined.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace marrowix {

// Fills `rgba` (count x 4 bytes) with pixels x to x + count - 1 of row y,
// top row 0: red, green, blue, alpha.
using PngPixelSource =
    std::function<void(std::uint32_t y, std::uint32_t x, std::uint32_t count, std::uint8_t* rgba)>;
// Makes the source of one worker: each worker asks its own source, in rising
// order of rows within a part, so a source may keep what it read last.
// Sources of different workers are called at once.
using PngSourceMaker = std::function<PngPixelSource()>;

// Writes a PNG of the image to `file`. Empty on success, otherwise the
// reason (the system's, for a failed write). Memory stays bounded whatever
// the image's shape: parts and the pieces asked of a source are cut by
// pixels, not rows, so a row longer than a part is split between parts.
std::string EncodePng(std::FILE* file, std::uint32_t width, std::uint32_t height,
                      const PngSourceMaker& makeSource);

}  // namespace marrowix
