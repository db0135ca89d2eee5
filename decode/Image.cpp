#include "decode/Image.h"

#include <algorithm>
#include <array>

namespace marrowix {
namespace {

// Where red, green, blue and alpha sit in a pixel of `format`.
constexpr std::array<int, 4> ChannelOrder(PixelFormat format) {
    return format == PixelFormat::kRgba ? std::array<int, 4>{0, 1, 2, 3}
                                        : std::array<int, 4>{2, 1, 0, 3};
}

}  // namespace

bool SamePixels(const ImageView& a, const ImageView& b) {
    if (!a.SameSize(b)) {
        return false;
    }
    const std::size_t rowBytes = std::size_t{a.width} * 4;
    const std::array<int, 4> inA = ChannelOrder(a.format);
    const std::array<int, 4> inB = ChannelOrder(b.format);
    for (std::uint32_t y = 0; y < a.height; ++y) {
        const std::uint8_t* p = a.Row(y);
        const std::uint8_t* q = b.Row(y);
        if (a.format == b.format) {
            if (!std::equal(p, p + rowBytes, q)) {
                return false;
            }
            continue;
        }
        for (std::size_t x = 0; x < rowBytes; x += 4) {
            for (int c = 0; c < 4; ++c) {
                if (p[x + inA[c]] != q[x + inB[c]]) {
                    return false;
                }
            }
        }
    }
    return true;
}

}  // namespace marrowix
