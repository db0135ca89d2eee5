// BMP: pictures of 24 or 32 bits, bottom-up or top-down, uncompressed or
// with bit fields of 8-bit channels (alpha among them or not).
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "repack/pictures/PictureReaders.h"

namespace marrowix {
namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;

// Where an 8-bit channel sits in a 32-bit pixel, or none (mask 0).
struct Channel {
    int shift = -1;
};
bool ChannelOf(std::uint32_t mask, Channel* channel) {
    if (mask == 0) {
        return true;
    }
    const int shift = std::countr_zero(mask);
    if (shift % 8 != 0 || (mask >> shift) != 0xFF) {
        return false;
    }
    channel->shift = shift;
    return true;
}

}  // namespace

std::string ReadBmp(PictureBytes& file, InputImage& image) {
    std::uint8_t h[kFileHeader + 124] = {};
    const std::size_t got = file.ReadAt(0, h, sizeof h);
    const std::uint32_t infoSize = got >= kFileHeader + 4 ? Le32(h + kFileHeader) : 0;
    if (got < kFileHeader + 40 || h[0] != 'B' || h[1] != 'M' || infoSize < 40 || infoSize > 124 ||
        got < kFileHeader + infoSize) {
        return "not a BMP file that can be read (its header is missing or broken)";
    }
    const std::uint8_t* info = h + kFileHeader;
    const auto signedWidth = static_cast<std::int32_t>(Le32(info + 4));
    const auto signedHeight = static_cast<std::int32_t>(Le32(info + 8));
    const std::uint32_t bits = Le16(info + 14);
    const std::uint32_t compression = Le32(info + 16);
    if ((bits != 24 && bits != 32) ||
        !(compression == kRgb ||
          (bits == 32 && (compression == kBitFields || compression == kAlphaBitFields)))) {
        return "a BMP of a kind that cannot be read: only 24- and 32-bit pictures, uncompressed "
               "or with bit fields, are (this one has " +
               std::to_string(bits) + " bits, compression " + std::to_string(compression) + ")";
    }
    if (signedWidth <= 0 || signedHeight == 0 || signedHeight == INT32_MIN) {
        return "its size is " + std::to_string(signedWidth) + " x " + std::to_string(signedHeight);
    }
    const auto width = static_cast<std::uint32_t>(signedWidth);
    const bool topDown = signedHeight < 0;
    const auto height = static_cast<std::uint32_t>(topDown ? -signedHeight : signedHeight);
    if (std::string problem = SizeProblem(width, height); !problem.empty()) {
        return problem;
    }
    // Masks: in the header from its third version on, else after it.
    Channel red{16}, green{8}, blue{0}, alpha{};
    bool alphaByDefault = false;  // 32-bit without fields: the fourth byte
    if (compression == kRgb) {
        alphaByDefault = bits == 32;
    } else {
        std::uint8_t masks[16] = {};
        const std::size_t count = compression == kAlphaBitFields || infoSize >= 56 ? 4 : 3;
        if (infoSize >= 52) {
            std::copy_n(info + 40, count * 4, masks);
        } else if (file.ReadAt(kFileHeader + infoSize, masks, count * 4) != count * 4) {
            return "not a BMP file that can be read (its bit fields are cut short)";
        }
        red = green = blue = alpha = Channel{};
        if (!ChannelOf(Le32(masks), &red) || !ChannelOf(Le32(masks + 4), &green) ||
            !ChannelOf(Le32(masks + 8), &blue) ||
            (count == 4 && !ChannelOf(Le32(masks + 12), &alpha))) {
            return "a BMP of a kind that cannot be read: its bit fields are not 8-bit channels";
        }
    }
    const unsigned bytes = bits / 8;
    const std::uint64_t rowBytes = (std::uint64_t{width} * bytes + 3) / 4 * 4;
    const std::uint64_t start = Le32(h + 10);
    // Bit fields not in the header follow it.
    const std::uint64_t fieldsAfter =
        compression == kRgb || infoSize >= 52 ? 0 : (compression == kAlphaBitFields ? 16 : 12);
    const std::uint64_t headers = kFileHeader + infoSize + fieldsAfter;
    if (start < headers) {
        return "not a BMP file that can be read (its pixels would start inside its header, at "
               "byte " +
               std::to_string(start) + ")";
    }
    if (start + rowBytes * height > file.Size()) {
        return "it is cut short: its " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels need " + std::to_string(rowBytes * height) + " bytes from byte " +
               std::to_string(start) + ", and it holds " + std::to_string(file.Size());
    }
    if (std::string error = ReservePixels(image, width, height); !error.empty()) {
        return error;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes));
    bool fourthUsed = false;                               // a fourth byte not 0 somewhere
    bool previewForm = bits == 32 && compression == kRgb;  // every byte n x 16
    for (std::uint32_t y = 0; y < height; ++y) {
        if (file.ReadAt(start + rowBytes * y, row.data(), row.size()) != row.size()) {
            return "it is cut short";
        }
        std::uint8_t* out =
            image.rgba.data() + std::size_t{topDown ? y : height - 1 - y} * width * 4;
        for (std::uint32_t x = 0; x < width; ++x, out += 4) {
            const std::uint8_t* p = row.data() + std::size_t{x} * bytes;
            const std::uint32_t v = bytes == 4 ? Le32(p) : Le16(p) | (std::uint32_t{p[2]} << 16);
            auto take = [v](Channel c, std::uint8_t otherwise) {
                return c.shift < 0 ? otherwise : static_cast<std::uint8_t>(v >> c.shift);
            };
            out[0] = take(red, 0);
            out[1] = take(green, 0);
            out[2] = take(blue, 0);
            out[3] = alphaByDefault ? p[3] : take(alpha, 0xFF);
            if (alphaByDefault) {
                fourthUsed = fourthUsed || p[3] != 0;
                previewForm = previewForm && ((p[0] | p[1] | p[2] | p[3]) & 0x0F) == 0;
            }
        }
    }
    if (previewForm) {
        // Every byte a nibble n as n x 16: the preview block as the viewer
        // and marrowix-inspect write it, each nibble widened exactly (n x 17).
        for (std::uint8_t& b : image.rgba) {
            b = static_cast<std::uint8_t>(b | (b >> 4));
        }
    }
    if (alphaByDefault && !fourthUsed) {
        // The fourth byte of a 32-bit picture without fields was left 0:
        // no alpha, opaque.
        for (std::size_t i = 3; i < image.rgba.size(); i += 4) {
            image.rgba[i] = 0xFF;
        }
    }
    image.width = width;
    image.height = height;
    return {};
}

}  // namespace marrowix
