// The preview image of a texture of a set, decoded: the block the viewer
// shows and BMP files hold, and the same at 8 bits a channel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/Decode.h"
#include "textureset/TextureSet.h"

namespace marrowix {

// The preview image of entry `index`: a 40-byte header, then width x height
// pixels of 4 bytes (blue, green, red, alpha), bottom row first. Refused,
// with the reason, for an index out of range or an entry of unusable size.
Result<Buffer<std::uint8_t>> BuildPreviewDib(const CTextureSet& set, std::size_t index);

// The image of entry `index` at 8 bits a channel, in the preview block's
// form (the same header, then bottom-up pixels blue, green, red, alpha):
// at kNibbles each nibble widened exactly (n x 17), at kFull the texels as
// ReadTexelRows gives them at 8 bits. What PNG files, copied images and the
// 8-bit view hold; refused as BuildPreviewDib refuses.
Result<Buffer<std::uint8_t>> BuildImageDib(const CTextureSet& set, std::size_t index,
                                           Precision precision);

}  // namespace marrowix
