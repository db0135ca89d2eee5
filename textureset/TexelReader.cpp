// Reading one texture's texels from the data file.
#include <algorithm>
#include <bit>
#include <new>

#include "decode/Decode.h"
#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

// Reads up to `n` bytes of the entry's data after its header; returns how
// many the file held.
std::size_t ReadEntryBytes(InputFile* file, const TextureEntry& entry, void* dst, std::size_t n) {
    if (file == nullptr) {
        return 0;
    }
    return file->ReadAt(std::uint64_t{entry.offset} + kTextureHeaderBytes, dst, n);
}

// Bytes of the entry's data the file can still deliver, at most `wanted`.
std::size_t AvailableBytes(InputFile* file, const TextureEntry& entry, std::uint64_t wanted) {
    if (file == nullptr) {
        return 0;
    }
    const std::uint64_t start = std::uint64_t{entry.offset} + kTextureHeaderBytes;
    const std::uint64_t left = file->Size() > start ? file->Size() - start : 0;
    return static_cast<std::size_t>(std::min(left, wanted));
}

}  // namespace

Result<Buffer<std::uint16_t>> ReadTexels(const CTextureSet& set, const TextureEntry& entry) {
    Result<Buffer<std::uint16_t>> result;
    result.error = CheckEntrySize(entry);
    if (!result.ok()) {
        return result;
    }
    const auto width = static_cast<std::uint32_t>(entry.width);
    const auto height = static_cast<std::uint32_t>(entry.height);
    const std::size_t texels = std::size_t{width} * height;
    InputFile* file = set.GetDataFile();
    try {
        result.value.resize(texels);
        if (texels == 0) {
            return result;
        }
        if (set.GetMode() == kModeEtc) {
            const std::size_t got = ReadEntryBytes(file, entry, result.value.data(), texels * 2);
            const std::size_t whole = got / 2;
            if constexpr (std::endian::native == std::endian::big) {
                for (std::size_t i = 0; i < whole; ++i) {
                    result.value[i] =
                        static_cast<std::uint16_t>((result.value[i] << 8) | (result.value[i] >> 8));
                }
            }
            // Bytes the file does not hold are 0: where it ends inside a texel,
            // the low byte that is there stays and the high byte is 0.
            std::size_t zeroFrom = whole;
            if (got % 2 != 0) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(result.value.data());
                result.value[whole] = bytes[got - 1];
                ++zeroFrom;
            }
            std::fill(result.value.begin() + static_cast<std::ptrdiff_t>(zeroFrom),
                      result.value.end(), std::uint16_t{0});
        } else {
            // Only what the blocks need and the file holds; the decoder takes
            // missing bytes as 0.
            Buffer<std::uint8_t> blocks(AvailableBytes(file, entry, BlockDataSize(width, height)));
            blocks.resize(ReadEntryBytes(file, entry, blocks.data(), blocks.size()));
            DecodeBlockImage(width, height, blocks, result.value, kLayoutRgba4444);
        }
    } catch (const std::bad_alloc&) {
        result.value.clear();
        result.error = "not enough memory for " + std::to_string(width) + " x " +
                       std::to_string(height) + " texels";
    }
    return result;
}

}  // namespace marrowix
