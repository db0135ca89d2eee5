#include "compare/DifferenceImage.h"

#include <algorithm>

namespace marrowix {

std::uint64_t DifferenceImage(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                              std::uint8_t* __restrict out, std::size_t bytes, int scale,
                              int threshold) {
    if (threshold <= 0) {
        // Plain loops over bytes, which the compiler makes vector code of:
        // a difference above 255 / scale is full, any other fits a byte.
        const auto s = static_cast<unsigned>(std::clamp(scale, 1, 255));
        const auto limit = static_cast<std::uint8_t>(255 / s);
        int shift = -1;  // the scales the view steps through are powers of two
        for (int k = 0; k < 8; ++k) {
            shift = s == (1u << k) ? k : shift;
        }
        for (std::size_t i = 0; i < bytes; ++i) {
            const std::uint8_t high = std::max(a[i], b[i]);
            const std::uint8_t low = std::min(a[i], b[i]);
            const auto diff = static_cast<std::uint8_t>(high - low);
            const auto scaled = static_cast<std::uint8_t>(shift >= 0 ? diff << shift : diff * s);
            out[i] = diff > limit ? std::uint8_t{255} : scaled;
        }
        return 0;
    }
    std::uint64_t over = 0;
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
        std::uint8_t largest = 0;
        for (int c = 0; c < 4; ++c) {
            const auto diff = static_cast<std::uint8_t>(std::max(a[i + c], b[i + c]) -
                                                        std::min(a[i + c], b[i + c]));
            largest = std::max(largest, diff);
        }
        const bool above = largest > threshold;
        over += above ? 1 : 0;
        out[i + 0] = above ? 0 : static_cast<std::uint8_t>(a[i + 0] / 3);
        out[i + 1] = above ? 0 : static_cast<std::uint8_t>(a[i + 1] / 3);
        out[i + 2] = above ? 255 : static_cast<std::uint8_t>(a[i + 2] / 3);
        out[i + 3] = 0;
    }
    return over;
}

}  // namespace marrowix
