// Reading one texture's texels from the data file.
#include <algorithm>
#include <bit>
#include <new>
#include <type_traits>

#include "decode/Decode.h"
#include "textureset/TexelAccess.h"
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

namespace {

// `count` texels of "etc" data from `at` bytes after the header into `out`;
// false when the file did not hold them all. Bytes the file does not hold
// are 0: where it ends inside a texel, the low byte that is there stays and
// the high byte is 0.
bool ReadEtcTexels(InputFile* file, const TextureEntry& entry, std::uint64_t at, std::uint16_t* out,
                   std::size_t count) {
    const std::size_t got = ReadEntryBytes(file, entry, at, out, count * 2);
    const std::size_t whole = got / 2;
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < whole; ++i) {
            out[i] = static_cast<std::uint16_t>((out[i] << 8) | (out[i] >> 8));
        }
    }
    std::size_t zeroFrom = whole;
    if (got % 2 != 0) {
        out[whole] = reinterpret_cast<const std::uint8_t*>(out)[got - 1];
        ++zeroFrom;
    }
    std::fill(out + zeroFrom, out + count, std::uint16_t{0});
    return got == count * 2;
}

// The region of "dxt" texels, one contiguous read of its blocks where it
// spans whole rows, otherwise one read a row of blocks; the decoder takes
// missing bytes as 0.
template <class Texel>
bool ReadDxtRegion(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint32_t firstColumn, std::uint32_t columns,
                   Texel* out) {
    const auto width = static_cast<std::uint32_t>(entry.width);
    InputFile* file = set.GetDataFile();
    const std::uint64_t rowBytes = BlockDataSize(width, 4);
    const bool wholeRows = firstColumn == 0 && columns == width;
    // Rows of blocks read and decoded at once.
    const std::uint32_t step = wholeRows ? rows : 4;
    Buffer<std::uint8_t> blocks;
    bool complete = true;
    for (std::uint32_t r = 0; r < rows; r += step) {
        const std::uint32_t n = std::min(step, rows - r);
        const std::uint64_t at =
            std::uint64_t{(firstRow + r) / 4} * rowBytes + std::uint64_t{firstColumn / 4} * 16;
        const std::uint64_t wanted = BlockDataSize(columns, n);
        blocks.resize(AvailableBytes(file, entry, at, wanted));
        blocks.resize(ReadEntryBytes(file, entry, at, blocks.data(), blocks.size()));
        complete = complete && blocks.size() == wanted;
        std::span<Texel> region(out + std::size_t{r} * columns, std::size_t{columns} * n);
        if constexpr (std::is_same_v<Texel, std::uint16_t>) {
            DecodeBlockImage(columns, n, blocks, region, kLayoutRgba4444);
        } else {
            DecodeBlockImage(columns, n, blocks, region);
        }
    }
    return complete;
}

}  // namespace

bool ReadTexelRegion(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                     std::uint32_t rows, std::uint32_t firstColumn, std::uint32_t columns,
                     std::uint16_t* out) {
    if (std::size_t{columns} * rows == 0) {
        return true;
    }
    if (set.GetMode() == kModeDxt) {
        return ReadDxtRegion(set, entry, firstRow, rows, firstColumn, columns, out);
    }
    const auto width = static_cast<std::uint32_t>(entry.width);
    InputFile* file = set.GetDataFile();
    const auto at = [&](std::uint32_t y) { return (std::uint64_t{y} * width + firstColumn) * 2; };
    if (columns == width) {
        return ReadEtcTexels(file, entry, at(firstRow), out, std::size_t{width} * rows);
    }
    bool complete = true;
    for (std::uint32_t r = 0; r < rows; ++r) {
        complete &=
            ReadEtcTexels(file, entry, at(firstRow + r), out + std::size_t{r} * columns, columns);
    }
    return complete;
}

bool ReadTexelRegion(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                     std::uint32_t rows, std::uint32_t firstColumn, std::uint32_t columns,
                     std::uint32_t* out) {
    const std::size_t texels = std::size_t{columns} * rows;
    if (texels == 0) {
        return true;
    }
    if (set.GetMode() == kModeDxt) {
        return ReadDxtRegion(set, entry, firstRow, rows, firstColumn, columns, out);
    }
    Buffer<std::uint16_t> nibbles(texels);
    const bool complete =
        ReadTexelRegion(set, entry, firstRow, rows, firstColumn, columns, nibbles.data());
    for (std::size_t i = 0; i < texels; ++i) {
        out[i] = WidenTexel(nibbles[i]);
    }
    return complete;
}

bool ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint16_t* out) {
    const auto width = static_cast<std::uint32_t>(entry.width);
    return ReadTexelRegion(set, entry, firstRow, rows, 0, width, out);
}

bool ReadTexelRows(const CTextureSet& set, const TextureEntry& entry, std::uint32_t firstRow,
                   std::uint32_t rows, std::uint32_t* out) {
    const auto width = static_cast<std::uint32_t>(entry.width);
    return ReadTexelRegion(set, entry, firstRow, rows, 0, width, out);
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
        result.outOfMemory = true;
        result.error = "not enough memory for " + std::to_string(width) + " x " +
                       std::to_string(height) + " texels";
    }
    return result;
}

std::size_t ReadEntryData(const CTextureSet& set, const TextureEntry& entry, std::uint64_t at,
                          std::uint8_t* out, std::size_t n) {
    const std::size_t got = ReadEntryBytes(set.GetDataFile(), entry, at, out, n);
    std::fill(out + got, out + n, std::uint8_t{0});
    return got;
}

}  // namespace marrowix
