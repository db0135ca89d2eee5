#include "imagefiles/ImageFiles.h"

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <vector>

#include "decode/Decode.h"
#include "imagefiles/PngEncoder.h"
#include "textureset/TextureSet.h"

namespace marrowix {
namespace {

std::string ErrnoText() {
    return std::generic_category().message(errno);
}

std::string CheckDib(std::span<const std::uint8_t> dib, BITMAPINFOHEADER* header) {
    *header = ReadDibHeader(dib);
    const std::uint64_t pixels = std::uint64_t(header->biWidth < 0 ? 0 : header->biWidth) *
                                 std::uint64_t(header->biHeight < 0 ? 0 : header->biHeight) * 4;
    if (dib.size() < kDibHeaderSize || header->biSize != kDibHeaderSize ||
        header->biBitCount != 32 || dib.size() - kDibHeaderSize != pixels) {
        return "not a 32-bit preview image";
    }
    return {};
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// Runs `write` with the file `path` names: its folder opened, then by name.
template <class Write>
std::string AtPath(const std::string& path, Write write) {
    OutputFolder folder;
    std::string name;
    if (std::string error = OpenFolderOf(path, &folder, &name); !error.empty()) {
        return error;
    }
    return write(folder, name);
}

}  // namespace

std::string WriteBmpFile(const OutputFolder& folder, const std::string& name,
                         std::span<const std::uint8_t> dib, const SetFileGuard& guard) {
    BITMAPINFOHEADER header;
    if (std::string error = CheckDib(dib, &header); !error.empty()) {
        return error;
    }
    constexpr std::uint32_t kFileHeaderSize = 14;
    if (dib.size() > 0xFFFFFFFFu - kFileHeaderSize) {
        return "image too large for a BMP file";
    }
    std::vector<std::uint8_t> fileHeader;
    fileHeader.push_back('B');
    fileHeader.push_back('M');
    PutLe(fileHeader, static_cast<std::uint32_t>(kFileHeaderSize + dib.size()), 4);  // bfSize
    PutLe(fileHeader, 0, 4);  // bfReserved1, bfReserved2
    PutLe(fileHeader, kFileHeaderSize + static_cast<std::uint32_t>(kDibHeaderSize), 4);
    return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) -> std::string {
        if (std::fwrite(fileHeader.data(), 1, fileHeader.size(), file) != fileHeader.size() ||
            std::fwrite(dib.data(), 1, dib.size(), file) != dib.size()) {
            return ErrnoText();
        }
        return {};
    });
}

std::string WritePngFile(const OutputFolder& folder, const std::string& name,
                         std::span<const std::uint8_t> dib, const SetFileGuard& guard) {
    BITMAPINFOHEADER header;
    if (std::string error = CheckDib(dib, &header); !error.empty()) {
        return error;
    }
    if (header.biWidth == 0 || header.biHeight == 0) {
        return "a PNG cannot hold an image of " + std::to_string(header.biWidth) + " x " +
               std::to_string(header.biHeight) + " pixels";
    }
    const auto width = static_cast<std::uint32_t>(header.biWidth);
    const auto height = static_cast<std::uint32_t>(header.biHeight);
    const std::uint8_t* pixels = dib.data() + kDibHeaderSize;  // bottom-up BGRA
    return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) {
        return EncodePng(file, width, height, [&](std::uint32_t y, std::uint8_t* rgba) {
            const std::uint8_t* src = pixels + std::size_t{height - 1 - y} * width * 4;
            for (std::size_t x = 0; x < std::size_t{width} * 4; x += 4) {
                rgba[x + 0] = src[x + 2];
                rgba[x + 1] = src[x + 1];
                rgba[x + 2] = src[x + 0];
                rgba[x + 3] = src[x + 3];
            }
        });
    });
}

Result<Buffer<std::uint8_t>> BuildFileImage(const CTextureSet& set, std::size_t index,
                                            ImageFormat format, Precision precision) {
    return format == ImageFormat::kPng ? BuildImageDib(set, index, precision)
                                       : BuildPreviewDib(set, index);
}

std::string WriteImageFile(const OutputFolder& folder, const std::string& name, ImageFormat format,
                           std::span<const std::uint8_t> image, const SetFileGuard& guard) {
    return format == ImageFormat::kPng ? WritePngFile(folder, name, image, guard)
                                       : WriteBmpFile(folder, name, image, guard);
}

std::string WriteImageFile(const std::string& path, ImageFormat format,
                           std::span<const std::uint8_t> image, const SetFileGuard& guard) {
    return AtPath(path, [&](const OutputFolder& folder, const std::string& name) {
        return WriteImageFile(folder, name, format, image, guard);
    });
}

std::string WriteBmpFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard) {
    return AtPath(path, [&](const OutputFolder& folder, const std::string& name) {
        return WriteBmpFile(folder, name, dib, guard);
    });
}

std::string WritePngFile(const std::string& path, std::span<const std::uint8_t> dib,
                         const SetFileGuard& guard) {
    return AtPath(path, [&](const OutputFolder& folder, const std::string& name) {
        return WritePngFile(folder, name, dib, guard);
    });
}

std::string WriteRgbaPngFile(const std::string& path, std::uint32_t width, std::uint32_t height,
                             std::span<const std::uint8_t> rgba, const SetFileGuard& guard) {
    if (rgba.size() != std::size_t{width} * height * 4) {
        return "the image holds " + std::to_string(rgba.size()) + " bytes, not " +
               std::to_string(std::size_t{width} * height * 4);
    }
    return AtPath(path, [&](const OutputFolder& folder, const std::string& name) {
        return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) {
            return EncodePng(file, width, height, [&](std::uint32_t y, std::uint8_t* row) {
                std::copy_n(rgba.data() + std::size_t{y} * width * 4, std::size_t{width} * 4, row);
            });
        });
    });
}

}  // namespace marrowix
