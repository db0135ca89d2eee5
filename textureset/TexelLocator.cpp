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
    where.alpha0 = stretch[0];
    where.alpha1 = stretch[1];
    where.colour0 = static_cast<std::uint16_t>(stretch[8] | (stretch[9] << 8));
    where.colour1 = static_cast<std::uint16_t>(stretch[10] | (stretch[11] << 8));
    const unsigned k = (y % 4) * 4 + x % 4;
    std::uint64_t alphaIndices = 0;
    for (int b = 7; b >= 2; --b) {
        alphaIndices = (alphaIndices << 8) | stretch[b];
    }
    std::uint32_t colourIndices = 0;
    for (int b = 15; b >= 12; --b) {
        colourIndices = (colourIndices << 8) | stretch[b];
    }
    where.alphaIndex = static_cast<std::uint8_t>((alphaIndices >> (3 * k)) & 7);
    where.colourIndex = static_cast<std::uint8_t>((colourIndices >> (2 * k)) & 3);
    std::uint16_t square[16] = {};
    DecodeBlock(stretch, 0, 0, 4, 4, square, kLayoutRgba4444);
    where.texel = square[k];
    std::uint32_t full[16] = {};
    DecodeBlockImage(4, 4, stretch, full);
    where.full = full[k];
    return result;
}

}  // namespace marrowix
