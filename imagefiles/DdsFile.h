// DDS files of a texture, one level and no mipmaps, that other tools take
// as they are: a "dxt" texture as FourCC DXT5 holding its own blocks byte
// for byte (those its size needs, as the data file holds them), an "etc"
// texture as 32-bit pixels with the masks of A8R8G8B8, each nibble widened
// exactly (n x 17).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "imagefiles/OutputFolder.h"
#include "textureset/TextureSet.h"

namespace marrowix {

constexpr std::size_t kDdsHeaderSize = 4 + 124;  // "DDS " and DDS_HEADER

// The magic and header of a DDS of `width` x `height` texels holding DXT5
// blocks (kModeDxt) or A8R8G8B8 pixels (kModeEtc).
std::array<std::uint8_t, kDdsHeaderSize> DdsHeader(std::uint32_t width, std::uint32_t height,
                                                   TextureMode mode);

// Writes entry `index` of `set` as a DDS named `name` inside `folder`, a
// piece at a time. Refused as the other exports refuse (CheckEntry's reason,
// a texture of no texels). Empty on success, otherwise the reason.
std::string ExportEntryDds(const OutputFolder& folder, const std::string& name,
                           const CTextureSet& set, std::size_t index, const SetFileGuard& guard);

}  // namespace marrowix
