#include "repack/Encoders.h"

#include <squish.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "decode/Decode.h"
#include "platform/EveryCore.h"
#include "repack/FastFit.h"

namespace marrowix {
namespace {

// Chooses again each pixel's colour and alpha index of a block libsquish
// made, for the palette this format's decoder computes from the block's end
// points (its widening and its truncated thirds and sevenths, which differ by
// a step here and there from libsquish's own): no pixel is ever further from
// its colour than with libsquish's choice.
// The four colours this format's decoder gives a block's end points.
struct Palette {
    int rgb[4][3];
    Palette(std::uint32_t c0, std::uint32_t c1) {
        for (unsigned k = 0; k < 4; ++k) {
            rgb[k][0] = static_cast<int>(PaletteChannel(Expand5(c0 >> 11), Expand5(c1 >> 11), k));
            rgb[k][1] = static_cast<int>(
                PaletteChannel(Expand6((c0 >> 5) & 63), Expand6((c1 >> 5) & 63), k));
            rgb[k][2] = static_cast<int>(PaletteChannel(Expand5(c0 & 31), Expand5(c1 & 31), k));
        }
    }
    // The palette colour nearest to a pixel, and its squared distance.
    unsigned Nearest(const std::uint8_t* p, int* error) const {
        unsigned best = 0;
        *error = 1 << 30;
        for (unsigned k = 0; k < 4; ++k) {
            const int dr = p[0] - rgb[k][0];
            const int dg = p[1] - rgb[k][1];
            const int db = p[2] - rgb[k][2];
            const int e = dr * dr + dg * dg + db * db;
            if (e < *error) {
                *error = e;
                best = k;
            }
        }
        return best;
    }
};

// The squared colour error of a block's pixels with the best index each.
int BlockError(std::uint32_t c0, std::uint32_t c1, const std::uint8_t* pixels, int mask) {
    const Palette palette(c0, c1);
    int sum = 0;
    for (int i = 0; i < 16; ++i) {
        if ((mask >> i) & 1) {
            int e = 0;
            palette.Nearest(pixels + i * 4, &e);
            sum += e;
        }
    }
    return sum;
}

// Moves each 5:6:5 channel of both end points a step up or down while that
// lowers the block's error under this format's arithmetic.
void RefineEndPoints(std::uint8_t* block, const std::uint8_t* pixels, int mask) {
    std::uint32_t ends[2] = {block[8] | std::uint32_t{block[9]} << 8,
                             block[10] | std::uint32_t{block[11]} << 8};
    int best = BlockError(ends[0], ends[1], pixels, mask);
    constexpr struct {
        int shift;
        std::uint32_t max;
    } kChannels[3] = {{11, 31}, {5, 63}, {0, 31}};
    for (int end = 0; end < 2; ++end) {
        for (const auto& channel : kChannels) {
            for (const int step : {-1, 1}) {
                for (;;) {
                    const std::uint32_t v = (ends[end] >> channel.shift) & channel.max;
                    if ((step < 0 && v == 0) || (step > 0 && v == channel.max)) {
                        break;
                    }
                    std::uint32_t tried[2] = {ends[0], ends[1]};
                    tried[end] =
                        (ends[end] & ~(channel.max << channel.shift)) |
                        (static_cast<std::uint32_t>(static_cast<int>(v) + step) << channel.shift);
                    const int e = BlockError(tried[0], tried[1], pixels, mask);
                    if (e >= best) {
                        break;
                    }
                    best = e;
                    ends[end] = tried[end];
                }
            }
        }
    }
    for (int end = 0; end < 2; ++end) {
        block[8 + 2 * end] = static_cast<std::uint8_t>(ends[end]);
        block[9 + 2 * end] = static_cast<std::uint8_t>(ends[end] >> 8);
    }
}

void RefitIndices(std::uint8_t* block, const std::uint8_t* pixels, int mask) {
    const std::uint32_t a0 = block[0];
    const std::uint32_t a1 = block[1];
    const Palette palette(block[8] | std::uint32_t{block[9]} << 8,
                          block[10] | std::uint32_t{block[11]} << 8);
    int alphas[8];
    for (std::uint32_t i = 0; i < 8; ++i) {
        alphas[i] = static_cast<int>(BlockAlpha(a0, a1, i));
    }
    std::uint64_t alphaBits = 0;
    std::uint32_t colourBits = 0;
    for (int i = 0; i < 16; ++i) {
        const std::uint8_t* p = pixels + i * 4;
        unsigned bestColour = 0;
        unsigned bestAlpha = 0;
        if ((mask >> i) & 1) {
            int best = 0;
            bestColour = palette.Nearest(p, &best);
            best = 1 << 30;
            for (unsigned k = 0; k < 8; ++k) {
                const int e = std::abs(p[3] - alphas[k]);
                if (e < best) {
                    best = e;
                    bestAlpha = k;
                }
            }
        }
        colourBits |= bestColour << (2 * i);
        alphaBits |= std::uint64_t{bestAlpha} << (3 * i);
    }
    for (int b = 0; b < 6; ++b) {
        block[2 + b] = static_cast<std::uint8_t>(alphaBits >> (8 * b));
    }
    for (int b = 0; b < 4; ++b) {
        block[12 + b] = static_cast<std::uint8_t>(colourBits >> (8 * b));
    }
}

}  // namespace

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
                squish::CompressMasked(pixels, mask, block, flags);
                RefineEndPoints(block, pixels, mask);
                RefitIndices(block, pixels, mask);
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
