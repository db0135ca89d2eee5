// Reading one texture's texels from the data file.
#include <algorithm>
#include <bit>
#include <new>

#include "decode/Decode.h"
#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

// Reads up to `n` bytes of the entry's data from `at` bytes after its
// header; returns how many the file held.
std::size_t ReadEntryBytes(InputFile* file, const TextureEntry& entry, std::uint64_t at, void* dst,
                           std::size_t n) {
    if (file == nullptr) {
        return 0;
    }
    return file->ReadAt(std::uint64_t{entry.offset} + kTextureHeaderBytes + at, dst, n);
}

// Bytes of the entry's data the file can still deliver from `at` bytes after
// its header, at most `wanted`.
std::size_t AvailableBytes(InputFile* file, const TextureEntry& entry, std::uint64_t at,
                           std::uint64_t wanted) {
    if (file == nullptr) {
        return 0;
    }
    const std::uint64_t start = std::uint64_t{entry.offset} + kTextureHeaderBytes + at;
    const std::uint64_t left = file->Size() > start ? file->Size() - start : 0;
    return static_cast<std::size_t>(std::min(left, wanted));
}

}  // namespace

void ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint16_t* out) {
    const auto width = static_cast<std::uint32_t>(entry.width);
    const std::size_t texels = std::size_t{width} * rows;
    if (texels == 0) {
        return;
    }
    InputFile* file = set.GetDataFile();
    if (set.GetMode() == kModeEtc) {
        const std::uint64_t at = std::uint64_t{firstRow} * width * 2;
        const std::size_t got = ReadEntryBytes(file, entry, at, out, texels * 2);
        const std::size_t whole = got / 2;
        if constexpr (std::endian::native == std::endian::big) {
            for (std::size_t i = 0; i < whole; ++i) {
                out[i] = static_cast<std::uint16_t>((out[i] << 8) | (out[i] >> 8));
            }
        }
        // Bytes the file does not hold are 0: where it ends inside a texel,
        // the low byte that is there stays and the high byte is 0.
        std::size_t zeroFrom = whole;
        if (got % 2 != 0) {
            out[whole] = reinterpret_cast<const std::uint8_t*>(out)[got - 1];
            ++zeroFrom;
        }
        std::fill(out + zeroFrom, out + texels, std::uint16_t{0});
        return;
    }
    // "dxt": the rows of blocks that hold these rows, as far as the file holds
    // them; the decoder takes missing bytes as 0.
    const std::uint64_t rowBytes = BlockDataSize(width, 4);
    const std::uint64_t at = std::uint64_t{firstRow / 4} * rowBytes;
    Buffer<std::uint8_t> blocks(AvailableBytes(file, entry, at, BlockDataSize(width, rows)));
    blocks.resize(ReadEntryBytes(file, entry, at, blocks.data(), blocks.size()));
    DecodeBlockImage(width, rows, blocks, std::span<std::uint16_t>(out, texels), kLayoutRgba4444);
}

void ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint32_t* out) {
    const auto width = static_cast<std::uint32_t>(entry.width);
    const std::size_t texels = std::size_t{width} * rows;
    if (texels == 0) {
        return;
    }
    if (set.GetMode() == kModeEtc) {
        Buffer<std::uint16_t> nibbles(texels);
        ReadTexelRows(set, entry, firstRow, rows, nibbles.data());
        for (std::size_t i = 0; i < texels; ++i) {
            out[i] = WidenTexel(nibbles[i]);
        }
        return;
    }
    const std::uint64_t rowBytes = BlockDataSize(width, 4);
    const std::uint64_t at = std::uint64_t{firstRow / 4} * rowBytes;
    InputFile* file = set.GetDataFile();
    Buffer<std::uint8_t> blocks(AvailableBytes(file, entry, at, BlockDataSize(width, rows)));
    blocks.resize(ReadEntryBytes(file, entry, at, blocks.data(), blocks.size()));
    DecodeBlockImage(width, rows, blocks, std::span<std::uint32_t>(out, texels));
}

Result<Buffer<std::uint16_t>> ReadTexels(const CTextureSet& set, const TextureEntry& entry) {
    Result<Buffer<std::uint16_t>> result;
    result.error = CheckEntrySize(entry);
    if (!result.ok()) {
        return result;
    }
    const auto width = static_cast<std::uint32_t>(entry.width);
    const auto height = static_cast<std::uint32_t>(entry.height);
    try {
        result.value.resize(std::size_t{width} * height);
        ReadTexelRows(set, entry, 0, height, result.value.data());
    } catch (const std::bad_alloc&) {
        result.value.clear();
        result.error = "not enough memory for " + std::to_string(width) + " x " +
                       std::to_string(height) + " texels";
    }
    return result;
}

}  // namespace marrowix
