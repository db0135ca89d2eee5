// Finding where one texel of a texture lives in the data file.
#include <algorithm>

#include "decode/Decode.h"
#include "textureset/TexelAccess.h"
#include "textureset/TextureSet.h"

namespace marrowix {

Result<TexelLocation> LocateTexel(const CTextureSet& set, std::size_t index, std::uint32_t x,
                                  std::uint32_t y) {
    Result<TexelLocation> result;
    if (index >= set.GetEntryCount()) {
        result.error = "no such entry (the set has " + std::to_string(set.GetEntryCount()) + ")";
        return result;
    }
    const TextureEntry entry = set.GetEntry(index);
    result.error = CheckEntrySize(entry);
    if (!result.ok()) {
        return result;
    }
    const auto width = static_cast<std::uint32_t>(entry.width);
    const auto height = static_cast<std::uint32_t>(entry.height);
    if (x >= width || y >= height) {
        result.error = "texel " + std::to_string(x) + ", " + std::to_string(y) +
                       " lies outside the texture of " + std::to_string(width) + " x " +
                       std::to_string(height);
        return result;
    }

    TexelLocation& where = result.value;
    const std::uint64_t data = std::uint64_t{entry.offset} + kTextureHeaderBytes;
    const bool dxt = set.GetMode() == kModeDxt;
    if (dxt) {
        const std::uint64_t across = (std::uint64_t{width} + 3) / 4;
        where.blockColumn = x / 4;
        where.blockRow = y / 4;
        where.offset = data + kBlockBytes * (std::uint64_t{where.blockRow} * across + x / 4);
        where.size = kBlockBytes;
    } else {
        where.offset = data + 2 * (std::uint64_t{y} * width + x);
        where.size = 2;
    }

    // The stretch as the file holds it; what it does not hold reads as 0.
    std::uint8_t stretch[kBlockBytes] = {};
    if (InputFile* file = set.GetDataFile(); file != nullptr && where.offset < file->Size()) {
        const auto held = static_cast<std::size_t>(
            std::min<std::uint64_t>(where.size, file->Size() - where.offset));
        where.bytes.resize(file->ReadAt(where.offset, stretch, held));
        std::copy_n(stretch, where.bytes.size(), where.bytes.begin());
    }

    if (!dxt) {
        where.texel = static_cast<std::uint16_t>(stretch[0] | (stretch[1] << 8));
        where.full = WidenTexel(where.texel);
        return result;
    }
    where.hasBlock = true;
    const Dxt5Block block = Dxt5Block::Read(stretch);
    where.alpha0 = block.alpha0;
    where.alpha1 = block.alpha1;
    where.colour0 = block.colour0;
    where.colour1 = block.colour1;
    const unsigned k = (y % 4) * 4 + x % 4;
    where.alphaIndex = static_cast<std::uint8_t>(block.AlphaIndex(k));
    where.colourIndex = static_cast<std::uint8_t>(block.ColourIndex(k));
    std::uint16_t square[16] = {};
    DecodeBlock(stretch, 0, 0, 4, 4, square, kLayoutRgba4444);
    where.texel = square[k];
    std::uint32_t full[16] = {};
    DecodeBlockImage(4, 4, stretch, full);
    where.full = full[k];
    return result;
}

}  // namespace marrowix
