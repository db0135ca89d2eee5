// JPEG through libjpeg-turbo: baseline and progressive, grey or colour,
// opaque (the format has no alpha). A file that ends before its last scan
// is refused rather than shown with the rest filled in.
#include <csetjmp>
#include <cstdio>
#include <new>
#include <vector>

// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include "repack/pictures/PictureReaders.h"

namespace marrowix {
namespace {

// The most pixels a JPEG can declare for each byte it holds: a picture of
// one colour, progressive, takes a little over a bit for many blocks, so
// the bound is generous; beyond it the size is far past the data.
constexpr std::uint64_t kMaxPixelsPerByte = 8192;

struct Errors {
    jpeg_error_mgr manager{};
    std::jmp_buf jump{};
    std::string reason;
    std::string damage;  // the first sign of corrupt data, when there was one
};

void Fail(j_common_ptr info) {
    auto* errors = reinterpret_cast<Errors*>(info->err);
    char text[JMSG_LENGTH_MAX] = {};
    info->err->format_message(info, text);
    errors->reason = text;
    std::longjmp(errors->jump, 1);
}

// Warnings the library recovers from by filling in what it could not
// decode (data ending early, a bad code, a marker in the middle): the file
// is refused once the decoding is over, never shown so. Extra bytes between
// markers and unusual headers spoil nothing.
void Warn(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<Errors*>(info->err);
    const int code = info->err->msg_code;
    if (level < 0 && errors->damage.empty() && code != JWRN_EXTRANEOUS_DATA &&
        code != JWRN_ADOBE_XFORM && code != JWRN_JFIF_MAJOR && code != JWRN_BOGUS_ICC) {
        char text[JMSG_LENGTH_MAX] = {};
        info->err->format_message(info, text);
        errors->damage = code == JWRN_JPEG_EOF ? "its data ends before its last scan" : text;
    }
}

}  // namespace

std::string ReadJpeg(PictureBytes& file, InputImage& image) {
    // The whole file, as the library reads it from memory: never more
    // than the file holds.
    std::vector<std::uint8_t> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(file.Size()));
    } catch (const std::bad_alloc&) {
        return "not enough memory to read it";
    }
    if (file.ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) {
        return "it could not be read in full";
    }
    jpeg_decompress_struct info{};
    Errors errors;
    std::string problem;  // before the jump: nothing made after it needs undoing
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = Fail;
    errors.manager.emit_message = Warn;
    // Everything below may end here; what it made is released with `info`.
    if (setjmp(errors.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return "not a JPEG that can be read (" + errors.reason + ")";
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    const std::uint32_t width = info.image_width;
    const std::uint32_t height = info.image_height;
    problem = SizeProblem(width, height);
    if (problem.empty() && std::uint64_t{width} * height > bytes.size() * kMaxPixelsPerByte) {
        problem = "it is cut short: " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels cannot come from its " + std::to_string(bytes.size()) + " bytes";
    }
    if (problem.empty() && info.jpeg_color_space != JCS_GRAYSCALE &&
        info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB) {
        problem =
            "a JPEG of a kind that cannot be read: only grey and colour (YCbCr or RGB) "
            "pictures are, not CMYK";
    }
    if (problem.empty()) {
        problem = ReservePixels(image, width, height);
    }
    if (!problem.empty()) {
        jpeg_destroy_decompress(&info);
        return problem;
    }
    info.out_color_space = JCS_EXT_RGBA;  // the filler byte is 0xFF: opaque
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.rgba.data() + std::size_t{info.output_scanline} * width * 4;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (!errors.damage.empty()) {
        image.rgba.clear();
        return "not a JPEG that can be read in full (" + errors.damage + ")";
    }
    image.width = width;
    image.height = height;
    image.note = "opaque: JPEG has no alpha";
    return {};
}

}  // namespace marrowix
