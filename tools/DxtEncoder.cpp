#include "tools/DxtEncoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "decode/Decode.h"

namespace marrowix {
namespace {

std::uint32_t Pack565(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
}

std::array<std::uint32_t, 3> Widen565(std::uint32_t c) {
    return {Expand5(c >> 11), Expand6((c >> 5) & 0x3F), Expand5(c & 0x1F)};
}

// Colour end points along the principal axis of the block's colours.
void ColourEndPoints(std::span<const std::uint8_t, 64> rgba, std::array<std::uint32_t, 3>& hi,
                     std::array<std::uint32_t, 3>& lo) {
    std::array<double, 3> mean{};
    for (std::size_t k = 0; k < 16; ++k) {
        for (std::size_t ch = 0; ch < 3; ++ch) {
            mean[ch] += rgba[k * 4 + ch] / 16.0;
        }
    }
    std::array<std::array<double, 3>, 3> cov{};
    for (std::size_t k = 0; k < 16; ++k) {
        for (std::size_t i = 0; i < 3; ++i) {
            for (std::size_t j = 0; j < 3; ++j) {
                cov[i][j] += (rgba[k * 4 + i] - mean[i]) * (rgba[k * 4 + j] - mean[j]);
            }
        }
    }
    std::array<double, 3> axis{1, 1, 1};
    for (int iteration = 0; iteration < 16; ++iteration) {
        std::array<double, 3> next{};
        for (std::size_t i = 0; i < 3; ++i) {
            next[i] = cov[i][0] * axis[0] + cov[i][1] * axis[1] + cov[i][2] * axis[2];
        }
        const double length = std::sqrt(next[0] * next[0] + next[1] * next[1] + next[2] * next[2]);
        if (length < 1e-9) {
            break;
        }
        for (std::size_t i = 0; i < 3; ++i) {
            axis[i] = next[i] / length;
        }
    }
    double lowest = 1e9;
    double highest = -1e9;
    for (std::size_t k = 0; k < 16; ++k) {
        double t = 0;
        for (std::size_t ch = 0; ch < 3; ++ch) {
            t += (rgba[k * 4 + ch] - mean[ch]) * axis[ch];
        }
        lowest = std::min(lowest, t);
        highest = std::max(highest, t);
    }
    for (std::size_t ch = 0; ch < 3; ++ch) {
        hi[ch] =
            static_cast<std::uint32_t>(std::clamp(mean[ch] + axis[ch] * highest, 0.0, 255.0) + 0.5);
        lo[ch] =
            static_cast<std::uint32_t>(std::clamp(mean[ch] + axis[ch] * lowest, 0.0, 255.0) + 0.5);
        hi[ch] = std::min<std::uint32_t>(hi[ch], 255);
        lo[ch] = std::min<std::uint32_t>(lo[ch], 255);
    }
}

}  // namespace

void EncodeDxt5Block(std::span<const std::uint8_t, 64> rgba, std::span<std::uint8_t, 16> block) {
    std::array<std::uint32_t, 3> lo{};
    std::array<std::uint32_t, 3> hi{};
    ColourEndPoints(rgba, hi, lo);
    std::uint32_t alphaLo = 255;
    std::uint32_t alphaHi = 0;
    for (std::size_t k = 0; k < 16; ++k) {
        alphaLo = std::min<std::uint32_t>(alphaLo, rgba[k * 4 + 3]);
        alphaHi = std::max<std::uint32_t>(alphaHi, rgba[k * 4 + 3]);
    }

    const std::uint32_t c0 = Pack565(hi[0], hi[1], hi[2]);
    const std::uint32_t c1 = Pack565(lo[0], lo[1], lo[2]);
    const auto e0 = Widen565(c0);
    const auto e1 = Widen565(c1);
    std::array<std::array<std::uint32_t, 3>, 4> palette{};
    for (std::size_t ch = 0; ch < 3; ++ch) {
        palette[0][ch] = e0[ch];
        palette[1][ch] = e1[ch];
        palette[2][ch] = (2 * e0[ch] + e1[ch]) / 3;
        palette[3][ch] = (e0[ch] + 2 * e1[ch]) / 3;
    }

    // a0 > a1 selects the eight-level mode; equal end points need index 0 only.
    const std::uint32_t a0 = alphaHi;
    const std::uint32_t a1 = alphaLo;
    std::array<std::uint32_t, 8> alphas{a0, a1};
    for (std::uint32_t i = 2; i < 8; ++i) {
        alphas[i] = ((8 - i) * a0 + (i - 1) * a1) / 7;
    }

    std::uint32_t colourBits = 0;
    std::uint64_t alphaBits = 0;
    for (std::size_t k = 0; k < 16; ++k) {
        std::uint32_t best = 0;
        std::uint32_t bestError = ~0u;
        for (std::uint32_t i = 0; i < 4; ++i) {
            std::uint32_t error = 0;
            for (std::size_t ch = 0; ch < 3; ++ch) {
                const int d = int(palette[i][ch]) - int(rgba[k * 4 + ch]);
                error += std::uint32_t(d * d);
            }
            if (error < bestError) {
                bestError = error;
                best = i;
            }
        }
        colourBits |= best << (2 * k);

        std::uint32_t bestAlpha = 0;
        if (a0 > a1) {
            int bestDistance = 1 << 30;
            for (std::uint32_t i = 0; i < 8; ++i) {
                const int d = std::abs(int(alphas[i]) - int(rgba[k * 4 + 3]));
                if (d < bestDistance) {
                    bestDistance = d;
                    bestAlpha = i;
                }
            }
        }
        alphaBits |= std::uint64_t{bestAlpha} << (3 * k);
    }

    block[0] = static_cast<std::uint8_t>(a0);
    block[1] = static_cast<std::uint8_t>(a1);
    for (std::size_t i = 0; i < 6; ++i) {
        block[2 + i] = static_cast<std::uint8_t>(alphaBits >> (8 * i));
    }
    block[8] = static_cast<std::uint8_t>(c0);
    block[9] = static_cast<std::uint8_t>(c0 >> 8);
    block[10] = static_cast<std::uint8_t>(c1);
    block[11] = static_cast<std::uint8_t>(c1 >> 8);
    for (std::size_t i = 0; i < 4; ++i) {
        block[12 + i] = static_cast<std::uint8_t>(colourBits >> (8 * i));
    }
}

std::vector<std::uint8_t> EncodeDxt5Image(std::uint32_t width, std::uint32_t height,
                                          std::span<const std::uint8_t> rgba) {
    std::vector<std::uint8_t> blocks(BlockDataSize(width, height));
    if (width == 0 || height == 0) {
        return blocks;
    }
    std::size_t at = 0;
    std::array<std::uint8_t, 64> texels{};
    for (std::uint32_t by = 0; by < height; by += 4) {
        for (std::uint32_t bx = 0; bx < width; bx += 4) {
            for (std::uint32_t k = 0; k < 16; ++k) {
                const std::uint32_t x = std::min(bx + k % 4, width - 1);
                const std::uint32_t y = std::min(by + k / 4, height - 1);
                for (std::size_t ch = 0; ch < 4; ++ch) {
                    texels[k * 4 + ch] = rgba[(std::size_t{y} * width + x) * 4 + ch];
                }
            }
            EncodeDxt5Block(texels, std::span<std::uint8_t, 16>(blocks.data() + at, 16));
            at += 16;
        }
    }
    return blocks;
}

}  // namespace marrowix
