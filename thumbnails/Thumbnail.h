// Small images of whole textures, for surveying a set: each pixel the
// average of the texels it covers, made by reading only some of them when the
// texture is much larger than the thumbnail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decode/Decode.h"
#include "textureset/TextureSet.h"

namespace marrowix {

struct ThumbnailSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The size of a thumbnail of a width x height texture within side x side:
// the texture's aspect kept, never larger than the texture, at least 1 x 1.
ThumbnailSize FitThumbnail(std::uint32_t width, std::uint32_t height, std::uint32_t side);

struct Thumbnail {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // 0xAARRGGBB, top row first, each channel the rounded average of the
    // texels the pixel covers: at Precision::kNibbles of the preview block's
    // bytes (n x 16), at kFull of the 8-bit values ReadTexelRows gives.
    std::vector<std::uint32_t> pixels;
    std::uint64_t bytesRead = 0;  // of the data file
    // Of the texture's size and encoding and of every byte read, with where
    // it was read: equal digests, equal thumbnails.
    std::uint64_t digest = 0;
};

// Texel rows a thumbnail row averages in full. When a thumbnail row covers
// more, it averages kSampledRows of them spread evenly over its rows ("dxt":
// the rows of kSampledRows / 4 rows of blocks, spread evenly), so that a
// thumbnail of a large texture reads a fraction of its data; every column of
// those rows counts, unless a thumbnail column covers more than 16384 of
// them: then it averages 8 of its columns (two groups of 4, spread evenly),
// so that a thumbnail of a very wide texture reads a few blocks a pixel.
constexpr std::uint32_t kSampledRows = 8;

// A thumbnail of entry `index` within side x side; refused, with the
// reason, for an index out of range or a size without an image. Texels the
// data file does not hold count as 0, as everywhere. Safe to call on many
// threads at once for one set: it reads by position only, into buffers of
// its own of bounded size.
Result<Thumbnail> MakeThumbnail(const CTextureSet& set, std::size_t index, std::uint32_t side,
                                Precision precision);

// The digest MakeThumbnail's thumbnail would carry, made by the same reads
// without decoding a texel: whether a thumbnail made before still shows the
// entry (a set read again after its files changed).
Result<std::uint64_t> ThumbnailDigest(const CTextureSet& set, std::size_t index, std::uint32_t side,
                                      Precision precision);

}  // namespace marrowix
