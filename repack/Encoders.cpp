#include "repack/Encoders.h"

#include <squish.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "decode/Decode.h"
#include "platform/EveryCore.h"
#include "repack/BlockFit.h"
#include "repack/ClusterFit.h"

namespace marrowix {

const char* DxtQualityName(DxtQuality quality) {
    switch (quality) {
        case DxtQuality::kFast:
            return "fast";
        case DxtQuality::kNormal:
            return "normal";
        case DxtQuality::kBest:
            return "best";
    }
    return "?";
}

std::vector<std::uint8_t> EncodeDxt5(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                     std::uint32_t height, DxtQuality quality) {
    const std::uint32_t across = (width + 3) / 4;
    const std::uint32_t down = (height + 3) / 4;
    std::vector<std::uint8_t> blocks(std::size_t{across} * down * 16);
    const int fit = quality == DxtQuality::kBest ? squish::kColourIterativeClusterFit
                                                 : squish::kColourClusterFit;
    const int flags = squish::kDxt5 | fit | squish::kWeightColourByAlpha;
    // Rows of blocks taken by whichever thread is free.
    std::atomic<std::uint32_t> next{0};
    auto work = [&] {
        std::uint8_t pixels[16 * 4];
        for (std::uint32_t by; (by = next++) < down;) {
            for (std::uint32_t bx = 0; bx < across; ++bx) {
                int mask = 0;
                for (std::uint32_t py = 0; py < 4; ++py) {
                    for (std::uint32_t px = 0; px < 4; ++px) {
                        const std::uint32_t x = bx * 4 + px;
                        const std::uint32_t y = by * 4 + py;
                        std::uint8_t* to = pixels + (py * 4 + px) * 4;
                        if (x < width && y < height) {
                            std::copy_n(rgba.data() + (std::size_t{y} * width + x) * 4, 4, to);
                            mask |= 1 << (py * 4 + px);
                        } else {
                            std::fill_n(to, 4, std::uint8_t{0});
                        }
                    }
                }
                std::uint8_t* block = blocks.data() + (std::size_t{by} * across + bx) * 16;
                if (quality == DxtQuality::kFast) {
                    FitBlockFast(pixels, mask, block);
                    continue;
                }
                if (quality == DxtQuality::kNormal) {
                    FitBlockNormal(pixels, mask, block);
                    continue;
                }
                squish::CompressMasked(pixels, mask, block, flags);
                RefineEndPoints(pixels, mask, block);
                ChooseIndices(pixels, mask, block);
            }
        }
    };
    RunOnEveryCore(down, work);
    return blocks;
}

std::vector<std::uint8_t> EncodeRgba4444(std::span<const std::uint8_t> rgba, std::uint32_t width,
                                         std::uint32_t height, bool dither) {
    std::vector<std::uint8_t> texels(std::size_t{width} * height * 2);
    // Errors carried to this row and the next, per channel, in 1/16 of a
    // level step; two rows of width + 2 (a column of slack each side).
    std::vector<std::int32_t> carry(dither ? (std::size_t{width} + 2) * 4 * 2 : 0, 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::int32_t* here =
            dither ? carry.data() + (y % 2) * (std::size_t{width} + 2) * 4 : nullptr;
        std::int32_t* below =
            dither ? carry.data() + ((y + 1) % 2) * (std::size_t{width} + 2) * 4 : nullptr;
        if (dither) {
            std::fill_n(below, (std::size_t{width} + 2) * 4, 0);
        }
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* p = rgba.data() + (std::size_t{y} * width + x) * 4;
            std::uint32_t nibble[4];
            for (int c = 0; c < 4; ++c) {
                std::int32_t value = p[c];
                if (dither) {
                    // Rounded to the nearest whole value, halves away from zero.
                    const std::int32_t e = here[(x + 1) * 4 + c];
                    value += (e >= 0 ? e + 8 : e - 8) / 16;
                }
                nibble[c] = NearestNibble(value);
                if (dither) {
                    const std::int32_t error =
                        std::clamp(value, 0, 255) - static_cast<std::int32_t>(nibble[c] * 17);
                    here[(x + 2) * 4 + c] += error * 7;
                    below[x * 4 + c] += error * 3;
                    below[(x + 1) * 4 + c] += error * 5;
                    below[(x + 2) * 4 + c] += error * 1;
                }
            }
            // Red in bits 15-12, green 11-8, blue 7-4, alpha 3-0.
            const std::uint32_t t = nibble[0] << 12 | nibble[1] << 8 | nibble[2] << 4 | nibble[3];
            texels[(std::size_t{y} * width + x) * 2] = static_cast<std::uint8_t>(t);
            texels[(std::size_t{y} * width + x) * 2 + 1] = static_cast<std::uint8_t>(t >> 8);
        }
    }
    return texels;
}

}  // namespace marrowix
