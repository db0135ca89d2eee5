#include "imagefiles/DdsFile.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>
#include <vector>

#include "decode/Decode.h"
#include "imagefiles/EntryPixels.h"
#include "textureset/TexelAccess.h"

namespace marrowix {
namespace {

void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// Bytes written at a time: a bounded piece whatever the texture's size.
constexpr std::size_t kPiece = std::size_t{1} << 20;

std::string ErrnoText() {
    return std::generic_category().message(errno);
}

// The blocks as the data file holds them.
std::string WriteBlocks(std::FILE* file, const CTextureSet& set, const TextureEntry& entry) {
    const std::uint64_t total = BlockDataSize(static_cast<std::uint32_t>(entry.width),
                                              static_cast<std::uint32_t>(entry.height));
    std::vector<std::uint8_t> piece(
        static_cast<std::size_t>(std::min<std::uint64_t>(total, kPiece)));
    for (std::uint64_t at = 0; at < total; at += piece.size()) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), total - at));
        ReadEntryData(set, entry, at, piece.data(), n);
        if (std::fwrite(piece.data(), 1, n, file) != n) {
            return ErrnoText();
        }
    }
    return {};
}

// The texels widened, 0xAARRGGBB stored little-endian, top row first.
std::string WritePixels(std::FILE* file, const CTextureSet& set, const TextureEntry& entry) {
    const auto width = static_cast<std::uint32_t>(entry.width);
    const auto height = static_cast<std::uint32_t>(entry.height);
    EntryPixelReader reader(set, entry, PixelForm::kFull);
    std::vector<std::uint8_t> bytes(std::size_t{kPixelPieceMax} * 4);
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; x += kPixelPieceMax) {
            const std::uint32_t n = std::min(kPixelPieceMax, width - x);
            const std::uint32_t* pixels = reader.Pixels(y, x, n);
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(bytes.data(), pixels, std::size_t{n} * 4);
            } else {
                for (std::uint32_t i = 0; i < n; ++i) {
                    PutLe32(bytes.data() + std::size_t{i} * 4, pixels[i]);
                }
            }
            if (std::fwrite(bytes.data(), 1, std::size_t{n} * 4, file) != std::size_t{n} * 4) {
                return ErrnoText();
            }
        }
    }
    return {};
}

}  // namespace

std::array<std::uint8_t, kDdsHeaderSize> DdsHeader(std::uint32_t width, std::uint32_t height,
                                                   TextureMode mode) {
    constexpr std::uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8;
    constexpr std::uint32_t kPixelFormat = 0x1000, kLinearSize = 0x80000;
    constexpr std::uint32_t kAlphaPixels = 0x1, kFourCc = 0x4, kRgb = 0x40;
    constexpr std::uint32_t kTexture = 0x1000;
    const bool blocks = mode == kModeDxt;
    std::array<std::uint8_t, kDdsHeaderSize> head{};
    std::memcpy(head.data(), "DDS ", 4);
    std::uint8_t* h = head.data() + 4;
    PutLe32(h + 0, 124);  // dwSize
    PutLe32(h + 4, kCaps | kHeight | kWidth | kPixelFormat | (blocks ? kLinearSize : kPitch));
    PutLe32(h + 8, height);
    PutLe32(h + 12, width);
    // The first level's bytes for blocks, a row's for pixels.
    PutLe32(h + 16, blocks ? static_cast<std::uint32_t>(BlockDataSize(width, height)) : width * 4);
    std::uint8_t* format = h + 72;  // DDS_PIXELFORMAT
    PutLe32(format + 0, 32);
    if (blocks) {
        PutLe32(format + 4, kFourCc);
        std::memcpy(format + 8, "DXT5", 4);
    } else {
        PutLe32(format + 4, kRgb | kAlphaPixels);
        PutLe32(format + 12, 32);
        PutLe32(format + 16, 0x00FF0000);  // red
        PutLe32(format + 20, 0x0000FF00);  // green
        PutLe32(format + 24, 0x000000FF);  // blue
        PutLe32(format + 28, 0xFF000000);  // alpha
    }
    PutLe32(h + 104, kTexture);  // dwCaps
    return head;
}

std::string ExportEntryDds(const OutputFolder& folder, const std::string& name,
                           const CTextureSet& set, std::size_t index, const SetFileGuard& guard) {
    if (std::string refused = CheckEntry(set, index); !refused.empty()) {
        return refused;
    }
    const TextureEntry entry = set.GetEntry(index);
    const auto width = static_cast<std::uint32_t>(entry.width);
    const auto height = static_cast<std::uint32_t>(entry.height);
    if (width == 0 || height == 0) {
        return "a DDS cannot hold an image of " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    const std::array<std::uint8_t, kDdsHeaderSize> head = DdsHeader(width, height, set.GetMode());
    return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) -> std::string {
        if (std::fwrite(head.data(), 1, head.size(), file) != head.size()) {
            return ErrnoText();
        }
        try {
            return set.GetMode() == kModeDxt ? WriteBlocks(file, set, entry)
                                             : WritePixels(file, set, entry);
        } catch (const std::bad_alloc&) {
            return "not enough memory to export it";
        }
    });
}

}  // namespace marrowix
