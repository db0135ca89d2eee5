// PNG through libpng: every colour type and depth, read as 8-bit RGBA.
#include <png.h>

#include <csetjmp>
#include <new>

#include "repack/pictures/PictureReaders.h"

namespace marrowix {
namespace {

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
    PictureBytes* file;
    std::uint64_t at = 0;
};
void ReadPngBytes(png_structp png, png_bytep data, png_size_t n) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (source->file->ReadAt(source->at, data, n) != n) {
        png_error(png, "the file ends early");
    }
    source->at += n;
}

}  // namespace

std::string ReadPng(PictureBytes& file, InputImage& image) {
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

}  // namespace marrowix
