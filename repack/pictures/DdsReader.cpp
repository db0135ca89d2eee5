// DDS: the first level of DXT5 blocks (FourCC DXT5, or DX10 BC3), taken
// as they are, or of 32-bit RGBA or BGRA pixels.
#include <cstring>
#include <new>
#include <span>
#include <vector>

#include "decode/Decode.h"
#include "repack/pictures/PictureReaders.h"

namespace marrowix {
namespace {

constexpr std::uint32_t FourCc(const char (&c)[5]) {
    return std::uint32_t(std::uint8_t(c[0])) | std::uint32_t(std::uint8_t(c[1])) << 8 |
           std::uint32_t(std::uint8_t(c[2])) << 16 | std::uint32_t(std::uint8_t(c[3])) << 24;
}

// What a DDS holds at its first level.
enum class DdsKind { kDxt5, kRgba, kBgra, kOther };

// A DDS: "DDS ", a 124-byte header (and a 20-byte DX10 header where its
// pixel format says so), then the first level's data.
}  // namespace

std::string ReadDds(PictureBytes& file, InputImage& image) {
    std::uint8_t head[4 + 124 + 20] = {};
    const std::size_t got = file.ReadAt(0, head, sizeof head);
    if (got < 128 || Le32(head) != FourCc("DDS ") || Le32(head + 4) != 124) {
        return "not a DDS file that can be read (its header is missing or broken)";
    }
    const std::uint8_t* h = head + 4;
    const std::uint32_t height = Le32(h + 8);
    const std::uint32_t width = Le32(h + 12);
    const std::uint8_t* format = h + 72;  // DDS_PIXELFORMAT
    const std::uint32_t flags = Le32(format + 4);
    const std::uint32_t fourCc = Le32(format + 8);
    std::size_t dataStart = 128;
    DdsKind kind = DdsKind::kOther;
    constexpr std::uint32_t kFourCcFlag = 0x4;
    constexpr std::uint32_t kRgbFlag = 0x40;
    if ((flags & kFourCcFlag) != 0 && fourCc == FourCc("DXT5")) {
        kind = DdsKind::kDxt5;
    } else if ((flags & kFourCcFlag) != 0 && fourCc == FourCc("DX10")) {
        if (got < sizeof head) {
            return "not a DDS file that can be read (its DX10 header is cut short)";
        }
        dataStart += 20;
        const std::uint32_t dxgi = Le32(head + 128);
        kind = dxgi == 77 || dxgi == 78   ? DdsKind::kDxt5  // BC3_UNORM, BC3_UNORM_SRGB
               : dxgi == 28 || dxgi == 29 ? DdsKind::kRgba  // R8G8B8A8_UNORM(_SRGB)
               : dxgi == 87 || dxgi == 91 ? DdsKind::kBgra  // B8G8R8A8_UNORM(_SRGB)
                                          : DdsKind::kOther;
    } else if ((flags & kRgbFlag) != 0 && Le32(format + 12) == 32) {
        const std::uint32_t r = Le32(format + 16);
        const std::uint32_t g = Le32(format + 20);
        const std::uint32_t b = Le32(format + 24);
        const std::uint32_t a = Le32(format + 28);
        if (g == 0x0000FF00 && a == 0xFF000000 && r == 0x000000FF && b == 0x00FF0000) {
            kind = DdsKind::kRgba;
        } else if (g == 0x0000FF00 && a == 0xFF000000 && r == 0x00FF0000 && b == 0x000000FF) {
            kind = DdsKind::kBgra;
        }
    }
    if (kind == DdsKind::kOther) {
        return "a DDS of a kind that cannot be read: only DXT5 blocks and 32-bit RGBA "
               "pixels are";
    }
    if (std::string problem = SizeProblem(width, height); !problem.empty()) {
        return problem;
    }
    const std::uint64_t bytes =
        kind == DdsKind::kDxt5 ? BlockDataSize(width, height) : std::uint64_t{width} * height * 4;
    // The file's size is known: data it does not hold is never reserved.
    if (dataStart + bytes > file.Size()) {
        return "it is cut short: its first level needs " + std::to_string(bytes) +
               " bytes after its header, and it holds " +
               std::to_string(file.Size() > dataStart ? file.Size() - dataStart : 0);
    }
    std::vector<std::uint8_t> data;
    try {
        data.resize(static_cast<std::size_t>(bytes));
        image.rgba.resize(std::size_t{width} * height * 4);
    } catch (const std::bad_alloc&) {
        return "not enough memory for its " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    if (file.ReadAt(dataStart, data.data(), data.size()) != data.size()) {
        return "it is cut short: its first level needs " + std::to_string(bytes) + " bytes";
    }
    image.width = width;
    image.height = height;
    if (kind == DdsKind::kDxt5) {
        std::vector<std::uint32_t> texels(std::size_t{width} * height);
        DecodeBlockImage(width, height, data, std::span<std::uint32_t>(texels));
        for (std::size_t i = 0; i < texels.size(); ++i) {
            const std::uint32_t t = texels[i];
            std::uint8_t* p = image.rgba.data() + i * 4;
            p[0] = static_cast<std::uint8_t>(t >> 16);
            p[1] = static_cast<std::uint8_t>(t >> 8);
            p[2] = static_cast<std::uint8_t>(t);
            p[3] = static_cast<std::uint8_t>(t >> 24);
        }
        image.dxtBlocks = std::move(data);
        return {};
    }
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        const bool bgra = kind == DdsKind::kBgra;
        image.rgba[i + 0] = data[i + (bgra ? 2 : 0)];
        image.rgba[i + 1] = data[i + 1];
        image.rgba[i + 2] = data[i + (bgra ? 0 : 2)];
        image.rgba[i + 3] = data[i + 3];
    }
    return {};
}

}  // namespace marrowix
