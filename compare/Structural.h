// Measures that know how a texture looks, beside the plain per-channel ones:
//   premultiplied colour: each of red, green and blue as c x a / 255 (what
//   shows over black), its MSE per channel over all texels, and the PSNR of
//   their mean, as for plain RGB;
//   SSIM of luma: Y = 0.2126 R + 0.7152 G + 0.0722 B of the 8-bit values,
//   local means, variances and covariance under a Gaussian window of 11 x 11
//   (sigma 1.5, weights summing to 1), at every position where the window
//   lies wholly inside the texture,
//     SSIM = (2 mx my + C1)(2 sxy + C2) / ((mx^2 + my^2 + C1)(sx^2 + sy^2 + C2))
//   with C1 = (0.01 x 255)^2 and C2 = (0.03 x 255)^2, averaged over those
//   positions. A texture narrower or lower than 11 texels takes a window as
//   wide or as high as itself (the Gaussian's middle taps, weights summing
//   to 1 again).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "textureset/TextureSet.h"

namespace marrowix {

// Sums of squared differences of premultiplied red, green and blue.
class PremultipliedSums {
public:
    void Add(const std::uint32_t* a, const std::uint32_t* b, std::size_t n);
    // Whether a texel of either image is not opaque.
    bool HasAlpha() const { return m_hasAlpha; }
    // Mean squared difference of each of red, green and blue.
    std::array<double, 3> Mse(std::uint64_t texels) const;

private:
    std::array<std::uint64_t, 3> m_squares{};  // of (c x a) differences, 255 x 255 times too large
    bool m_hasAlpha = false;
};

// Reads `rows` x `cols` texels from (x, y) of one image, 0xAARRGGBB, row
// after row, into `out`; false when not every byte could be read. Asked
// only for x and y that are multiples of 4.
using RegionReader = std::function<bool(std::uint32_t y, std::uint32_t rows, std::uint32_t x,
                                        std::uint32_t cols, std::uint32_t* out)>;

// SSIM of the luma of two width x height images, read tile by tile in
// bounded memory. Sets *complete to false when a read failed.
double LumaSsim(const RegionReader& a, const RegionReader& b, std::uint32_t width,
                std::uint32_t height, bool* complete);

// Entry `ea` of `a` against entry `eb` of `b` (the same size, readable).
double LumaSsim(const CTextureSet& a, const TextureEntry& ea, const CTextureSet& b,
                const TextureEntry& eb, bool* complete);

}  // namespace marrowix
