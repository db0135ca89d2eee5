#include "imagefiles/ImageFiles.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <vector>

#include "decode/Decode.h"
#include "imagefiles/DdsFile.h"
#include "imagefiles/EntryPixels.h"
#include "imagefiles/PngEncoder.h"
#include "textureset/PreviewImage.h"
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

[[maybe_unused]] void PutLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

constexpr std::uint32_t kBmpFileHeaderSize = 14;
constexpr std::size_t kLargestDib = 0xFFFFFFFFu - kBmpFileHeaderSize;

// The 14 bytes before a preview block of `dibSize` bytes in a BMP file.
std::vector<std::uint8_t> BmpFileHeader(std::size_t dibSize) {
    std::vector<std::uint8_t> header;
    header.push_back('B');
    header.push_back('M');
    PutLe(header, static_cast<std::uint32_t>(kBmpFileHeaderSize + dibSize), 4);  // bfSize
    PutLe(header, 0, 4);  // bfReserved1, bfReserved2
    PutLe(header, kBmpFileHeaderSize + static_cast<std::uint32_t>(kDibHeaderSize), 4);
    return header;
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
    if (dib.size() > kLargestDib) {
        return "image too large for a BMP file";
    }
    const std::vector<std::uint8_t> fileHeader = BmpFileHeader(dib.size());
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
    return WritePngFile(folder, name, *ViewDib(dib), guard);
}

std::string WritePngFile(const OutputFolder& folder, const std::string& name,
                         const ImageView& image, const SetFileGuard& guard) {
    const PngPixelSource source = [&](std::uint32_t y, std::uint32_t x, std::uint32_t count,
                                      std::uint8_t* rgba) {
        const std::uint8_t* src = image.Row(y) + std::size_t{x} * 4;
        if (image.format == PixelFormat::kRgba) {
            std::copy_n(src, std::size_t{count} * 4, rgba);
            return;
        }
        for (std::size_t i = 0; i < std::size_t{count} * 4; i += 4) {
            rgba[i + 0] = src[i + 2];
            rgba[i + 1] = src[i + 1];
            rgba[i + 2] = src[i + 0];
            rgba[i + 3] = src[i + 3];
        }
    };
    return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) {
        return EncodePng(file, image.width, image.height, [&] { return source; });
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

std::string WritePngFile(const std::string& path, const ImageView& image,
                         const SetFileGuard& guard) {
    return AtPath(path, [&](const OutputFolder& folder, const std::string& name) {
        return WritePngFile(folder, name, image, guard);
    });
}

std::string ExportEntryImage(const OutputFolder& folder, const std::string& name,
                             const CTextureSet& set, std::size_t index, ImageFormat format,
                             Precision precision, const SetFileGuard& guard) {
    if (format == ImageFormat::kDds) {
        return ExportEntryDds(folder, name, set, index, guard);
    }
    if (std::string refused = CheckEntry(set, index); !refused.empty()) {
        return refused;
    }
    const TextureEntry entry = set.GetEntry(index);
    const auto width = static_cast<std::uint32_t>(entry.width);
    const auto height = static_cast<std::uint32_t>(entry.height);
    const PixelForm form = format == ImageFormat::kBmp     ? PixelForm::kPreview
                           : precision == Precision::kFull ? PixelForm::kFull
                                                           : PixelForm::kNibbles;
    if (format == ImageFormat::kPng) {
        if (width == 0 || height == 0) {
            return "a PNG cannot hold an image of " + std::to_string(width) + " x " +
                   std::to_string(height) + " pixels";
        }
        // Each worker its own reader, turning 0xAARRGGBB into red, green,
        // blue, alpha.
        const PngSourceMaker makeSource = [&]() -> PngPixelSource {
            auto reader = std::make_shared<EntryPixelReader>(set, entry, form);
            return [reader](std::uint32_t y, std::uint32_t x, std::uint32_t count,
                            std::uint8_t* rgba) {
                const std::uint32_t* pixels = reader->Pixels(y, x, count);
                for (std::uint32_t i = 0; i < count; ++i, rgba += 4) {
                    const std::uint32_t p = pixels[i];
                    rgba[0] = static_cast<std::uint8_t>(p >> 16);
                    rgba[1] = static_cast<std::uint8_t>(p >> 8);
                    rgba[2] = static_cast<std::uint8_t>(p);
                    rgba[3] = static_cast<std::uint8_t>(p >> 24);
                }
            };
        };
        return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) -> std::string {
            try {
                return EncodePng(file, width, height, makeSource);
            } catch (const std::bad_alloc&) {
                return "not enough memory to export it";
            }
        });
    }
    const std::size_t dibSize = kDibHeaderSize + std::size_t{width} * height * 4;
    if (dibSize > kLargestDib) {
        return "image too large for a BMP file";
    }
    // The preview block's rows, bottom row first, a piece at a time.
    return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) -> std::string {
        try {
            std::vector<std::uint8_t> header = BmpFileHeader(dibSize);
            header.resize(header.size() + kDibHeaderSize);
            WriteDibHeader(header.data() + kBmpFileHeaderSize, entry.width, entry.height);
            if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) {
                return ErrnoText();
            }
            EntryPixelReader reader(set, entry, form);
            // Pieces gathered into writes of kPixelPieceMax pixels at most.
            std::vector<std::uint8_t> bytes(std::size_t{kPixelPieceMax} * 4);
            std::size_t filled = 0;
            auto flush = [&] {
                const bool ok = std::fwrite(bytes.data(), 1, filled, file) == filled;
                filled = 0;
                return ok;
            };
            for (std::uint32_t y = height; y-- > 0;) {
                for (std::uint32_t x = 0; x < width; x += kPixelPieceMax) {
                    const std::uint32_t n = std::min(kPixelPieceMax, width - x);
                    if (filled + std::size_t{n} * 4 > bytes.size() && !flush()) {
                        return ErrnoText();
                    }
                    const std::uint32_t* pixels = reader.Pixels(y, x, n);
                    if constexpr (std::endian::native == std::endian::little) {
                        std::memcpy(bytes.data() + filled, pixels, std::size_t{n} * 4);
                        filled += std::size_t{n} * 4;
                    } else {
                        for (std::uint32_t i = 0; i < n; ++i, filled += 4) {
                            PutLe32(bytes.data() + filled, pixels[i]);
                        }
                    }
                }
            }
            return flush() ? std::string() : ErrnoText();
        } catch (const std::bad_alloc&) {
            return "not enough memory to export it";
        }
    });
}

std::string ExportEntryImage(const std::string& path, const CTextureSet& set, std::size_t index,
                             ImageFormat format, Precision precision, const SetFileGuard& guard) {
    return AtPath(path, [&](const OutputFolder& folder, const std::string& name) {
        return ExportEntryImage(folder, name, set, index, format, precision, guard);
    });
}

}  // namespace marrowix
