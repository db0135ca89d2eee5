#include "imagefiles/ImageFiles.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <system_error>
#include <vector>

#include "decode/Decode.h"
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

struct PngJob {
    std::FILE* file;
    std::uint32_t width;
    std::uint32_t height;
    const std::uint8_t* pixels;  // bottom-up BGRA
    std::uint8_t* row;           // width x 4 bytes of scratch
    int writeError;              // errno of a failed write, 0 when none failed
    char message[256];
};

void OnPngError(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// The file's own writes, so that a failure keeps its errno.
void OnPngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    errno = 0;
    if (std::fwrite(data, 1, size, job->file) != size) {
        job->writeError = errno != 0 ? errno : EIO;
        png_error(png, "cannot write the PNG");
    }
}

void OnPngFlush(png_structp png) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    errno = 0;
    if (std::fflush(job->file) != 0) {
        job->writeError = errno != 0 ? errno : EIO;
        png_error(png, "cannot write the PNG");
    }
}

// Only plain data lives in this frame, as libpng leaves it by longjmp.
bool RunPng(PngJob* job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, OnPngError, OnPngWarning);
    if (png == nullptr) {
        std::snprintf(job->message, sizeof job->message, "cannot start the PNG writer");
        return false;
    }
    // Any size the program accepts; libpng's own default stops at 1,000,000.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (job->writeError != 0) {
            std::snprintf(job->message, sizeof job->message, "%s",
                          std::generic_category().message(job->writeError).c_str());
        } else if (job->message[0] == 0) {
            std::snprintf(job->message, sizeof job->message, "cannot write the PNG");
        }
        return false;
    }
    png_set_write_fn(png, job, OnPngWrite, OnPngFlush);
    png_set_IHDR(png, info, job->width, job->height, 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = std::size_t{job->width} * 4;
    for (std::uint32_t y = 0; y < job->height; ++y) {
        const std::uint8_t* src = job->pixels + std::size_t{job->height - 1 - y} * stride;
        for (std::size_t x = 0; x < stride; x += 4) {
            job->row[x + 0] = src[x + 2];
            job->row[x + 1] = src[x + 1];
            job->row[x + 2] = src[x + 0];
            job->row[x + 3] = src[x + 3];
        }
        png_write_row(png, job->row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
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
    std::vector<std::uint8_t> row(static_cast<std::size_t>(header.biWidth) * 4);
    return WriteFileAtomically(folder, name, guard, [&](std::FILE* file) -> std::string {
        PngJob job{file,
                   static_cast<std::uint32_t>(header.biWidth),
                   static_cast<std::uint32_t>(header.biHeight),
                   dib.data() + kDibHeaderSize,
                   row.data(),
                   0,
                   {}};
        if (!RunPng(&job)) {
            return job.message;
        }
        return {};
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

}  // namespace marrowix
