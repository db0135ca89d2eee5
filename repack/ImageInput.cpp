#include "repack/ImageInput.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "decode/Decode.h"
#include "textureset/DisplayText.h"
#include "textureset/InputFile.h"

namespace marrowix {
namespace {

std::string SizeProblem(std::uint64_t width, std::uint64_t height) {
    if (width == 0 || height == 0) {
        return "its size is " + std::to_string(width) + " x " + std::to_string(height);
    }
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF || width * height > kMaxTexels) {
        return "its size " + std::to_string(width) + " x " + std::to_string(height) +
               " is too large for a texture (at most " + std::to_string(kMaxTexels) + " texels)";
    }
    return {};
}

// libpng's errors end the read through this jump.
void PngError(png_structp png, png_const_charp message) {
    auto* reason = static_cast<std::string*>(png_get_error_ptr(png));
    *reason = message;
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

// The most bytes deflate can give per byte it reads (a run of one value:
// 258 bytes from about a quarter of a byte), with room for the headers.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kPngSlack = 4096;

// libpng reads the file from its start through this, one piece after another.
struct PngSource {
    InputFile* file;
    std::uint64_t at = 0;
};
void ReadPngBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->file->ReadAt(source->at, data, n) != n) {
        png_error(png, "the file ends early");
    }
    source->at += n;
}

std::string ReadPng(InputFile& file, InputImage& image) {
    const std::uint64_t fileSize = file.Size();
    PngSource source{&file};
    std::string reason;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &reason, PngError, PngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "not enough memory to read it";
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "not a PNG that can be read (" + reason + ")";
    }
    // libpng's own default refuses sides over 1,000,000; the format allows
    // 2^31 - 1, and the texture's own limit is checked below.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_read_fn(png, &source, ReadPngBytes);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (std::string problem = SizeProblem(width, height); !problem.empty()) {
        png_destroy_read_struct(&png, &info, nullptr);
        return problem;
    }
    // Its pixels as stored cannot come from fewer compressed bytes than
    // deflate's best ratio allows: a small file declaring a huge size is
    // refused before its pixels are reserved.
    const std::uint64_t storedBits = std::uint64_t{png_get_bit_depth(png, info)} *
                                     png_get_channels(png, info) * std::uint64_t{width};
    const std::uint64_t storedBytes = (storedBits + 7) / 8 * height;
    if (storedBytes > fileSize * kMaxInflateRatio + kPngSlack) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "it is cut short: " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels cannot come from its " + std::to_string(fileSize) + " bytes";
    }
    // Every colour type and depth to 8-bit RGBA.
    png_set_expand(png);    // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);  // 16 bits to 8, rounded
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // no alpha: opaque
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != std::size_t{width} * 4) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "its pixels cannot be read as 8-bit RGBA";
    }
    try {
        image.rgba.resize(std::size_t{width} * height * 4);
    } catch (const std::bad_alloc&) {
        png_destroy_read_struct(&png, &info, nullptr);
        return "not enough memory for its " + std::to_string(width) + " x " +
               std::to_string(height) + " pixels";
    }
    // Row by row (each pass over every row when interlaced), so that no
    // table of row pointers is needed for tall images.
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, image.rgba.data() + std::size_t{y} * width * 4, nullptr);
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    image.width = width;
    image.height = height;
    return {};
}

std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

constexpr std::uint32_t FourCc(const char (&c)[5]) {
    return std::uint32_t(std::uint8_t(c[0])) | std::uint32_t(std::uint8_t(c[1])) << 8 |
           std::uint32_t(std::uint8_t(c[2])) << 16 | std::uint32_t(std::uint8_t(c[3])) << 24;
}

// What a DDS holds at its first level.
enum class DdsKind { kDxt5, kRgba, kBgra, kOther };

// A DDS: "DDS ", a 124-byte header (and a 20-byte DX10 header where its
// pixel format says so), then the first level's data.
std::string ReadDds(InputFile& file, InputImage& image) {
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

}  // namespace

Result<InputImage> ReadInputImage(const std::string& path) {
    Result<InputImage> result;
    auto fail = [&](const std::string& why) {
        result.value = InputImage{};
        result.error = "'" + DisplayPath(path) + "': " + why;
        return result;
    };
    // Regular files only, opened without blocking: a FIFO or a device at an
    // image's path is refused by name rather than waited on.
    std::string openError;
    const std::unique_ptr<InputFile> file = InputFile::Open(FromNativePath(path), &openError);
    if (!file) {
        return fail(openError == "is a directory"       ? "a folder, not an image file"
                    : openError == "not a regular file" ? "not a regular file (a FIFO, a device "
                                                          "or a socket); images are read only "
                                                          "from files"
                                                        : openError);
    }
    std::uint8_t magic[8] = {};
    const std::size_t got = file->ReadAt(0, magic, sizeof magic);
    std::string error;
    if (got == 8 && png_sig_cmp(magic, 0, 8) == 0) {
        error = ReadPng(*file, result.value);
    } else if (got >= 4 && std::memcmp(magic, "DDS ", 4) == 0) {
        error = ReadDds(*file, result.value);
    } else {
        error = "not a PNG or DDS file";
    }
    return error.empty() ? result : fail(error);
}

}  // namespace marrowix
