// Writing a preview image (the block BuildPreviewDib returns) as a file. The
// image is written to a temporary file beside the target and renamed into
// place, so a failure leaves nothing at the target.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace marrowix {

// A 14-byte BITMAPFILEHEADER followed by the block, byte for byte. Returns
// an empty string on success, otherwise the reason.
std::string WriteBmpFile(const std::string& path, std::span<const std::uint8_t> dib);

// A PNG of the block's pixels, top row first, with the fourth byte as alpha.
std::string WritePngFile(const std::string& path, std::span<const std::uint8_t> dib);

}  // namespace marrowix
