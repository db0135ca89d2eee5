// TGA: true-colour pictures of 24 or 32 bits, uncompressed (type 2) or
// run-length encoded (type 10), rows from the bottom or the top and either
// way across, as the descriptor says.
#include <algorithm>
#include <vector>

#include "repack/pictures/PictureReaders.h"

namespace marrowix {
namespace {

constexpr std::size_t kHeader = 18;

// A pixel's bytes (blue, green, red[, alpha]) into red, green, blue, alpha.
void Put(const std::uint8_t* p, unsigned bytes, std::uint8_t* out) {
    out[0] = p[2];
    out[1] = p[1];
    out[2] = p[0];
    out[3] = bytes == 4 ? p[3] : 0xFF;
}

}  // namespace

std::string ReadTga(PictureBytes& file, InputImage& image) {
    std::uint8_t h[kHeader] = {};
    if (file.ReadAt(0, h, kHeader) != kHeader) {
        return "not a TGA file that can be read (its header is cut short)";
    }
    const unsigned type = h[2];
    const unsigned depth = h[16];
    const unsigned descriptor = h[17];
    if ((type != 2 && type != 10) || (depth != 24 && depth != 32) || h[1] > 1) {
        return "a TGA of a kind that cannot be read: only true-colour pictures of 24 or 32 bits, "
               "uncompressed or run-length encoded, are (this one is of type " +
               std::to_string(type) + ", " + std::to_string(depth) + " bits)";
    }
    const std::uint32_t width = Le16(h + 12);
    const std::uint32_t height = Le16(h + 14);
    if (std::string problem = SizeProblem(width, height); !problem.empty()) {
        return problem;
    }
    const unsigned bytes = depth / 8;
    // The picture's ID and a colour map (of no use to true colour) come first.
    const std::uint64_t mapBytes = h[1] == 1 ? std::uint64_t{Le16(h + 5)} * ((h[7] + 7u) / 8) : 0;
    std::uint64_t at = kHeader + h[0] + mapBytes;
    const std::uint64_t pixels = std::uint64_t{width} * height;
    const std::uint64_t held = file.Size() > at ? file.Size() - at : 0;
    // A run packet gives at most 128 pixels for 1 + `bytes` bytes.
    const std::uint64_t most = type == 2 ? held / bytes : held / (1 + bytes) * 128 + 128;
    if (pixels > most) {
        return "it is cut short: " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels cannot come from its " + std::to_string(file.Size()) + " bytes";
    }
    if (std::string error = ReservePixels(image, width, height); !error.empty()) {
        return error;
    }
    // Pixels in the file's order, then placed by the descriptor's origin.
    std::vector<std::uint8_t> chunk(std::size_t{1} << 16);
    std::size_t chunkAt = 0;
    std::size_t chunkHas = 0;
    auto next = [&](std::uint8_t* dst, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            if (chunkAt == chunkHas) {
                chunkHas = file.ReadAt(at, chunk.data(), chunk.size());
                at += chunkHas;
                chunkAt = 0;
                if (chunkHas == 0) {
                    return false;
                }
            }
            dst[i] = chunk[chunkAt++];
        }
        return true;
    };
    const bool topDown = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    auto place = [&](std::uint64_t n, const std::uint8_t* pixel) {
        const auto y = static_cast<std::uint32_t>(n / width);
        const auto x = static_cast<std::uint32_t>(n % width);
        const std::uint32_t row = topDown ? y : height - 1 - y;
        const std::uint32_t column = rightToLeft ? width - 1 - x : x;
        Put(pixel, bytes, image.rgba.data() + (std::size_t{row} * width + column) * 4);
    };
    std::uint8_t pixel[4] = {};
    for (std::uint64_t n = 0; n < pixels;) {
        std::uint32_t count = 1;
        bool run = false;
        if (type == 10) {
            std::uint8_t packet = 0;
            if (!next(&packet, 1)) {
                return "it is cut short: its pixels end after " + std::to_string(n);
            }
            count = (packet & 0x7Fu) + 1;
            run = (packet & 0x80u) != 0;
            // A packet may run on into the next row, not past the picture.
            count = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, pixels - n));
        }
        for (std::uint32_t i = 0; i < count; ++i, ++n) {
            if ((i == 0 || !run) && !next(pixel, bytes)) {
                return "it is cut short: its pixels end after " + std::to_string(n);
            }
            place(n, pixel);
        }
    }
    image.width = width;
    image.height = height;
    return {};
}

}  // namespace marrowix
