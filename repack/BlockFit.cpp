#include "repack/BlockFit.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "decode/Decode.h"
#include "repack/AlphaFit.h"

namespace marrowix {
namespace {

// Blocks whose colours lie closer than this along their axis (in 8-bit
// steps, the axis's largest component 1) also try the one colour's end points.
constexpr float kNearlyOneColour = 24;

struct Colour {
    float r = 0;
    float g = 0;
    float b = 0;
};

// For each 8-bit value the 5-bit (or 6-bit) one whose widening is nearest
// to it, the lower of equals.
template <std::uint32_t kMax>
constexpr std::array<std::uint8_t, 256> NearestEnds() {
    std::array<std::uint8_t, 256> t{};
    for (std::uint32_t v = 0; v < 256; ++v) {
        std::uint32_t best = 0;
        std::uint32_t bestError = 256;
        for (std::uint32_t q = 0; q <= kMax; ++q) {
            const std::uint32_t w = kMax == 31 ? Expand5(q) : Expand6(q);
            const std::uint32_t e = w > v ? w - v : v - w;
            if (e < bestError) {
                best = q;
                bestError = e;
            }
        }
        t[v] = static_cast<std::uint8_t>(best);
    }
    return t;
}
constexpr std::array<std::uint8_t, 256> kNearest5 = NearestEnds<31>();
constexpr std::array<std::uint8_t, 256> kNearest6 = NearestEnds<63>();

// A channel's value as the nearest 8-bit one, clamped.
std::size_t Byte(float v) {
    return static_cast<std::size_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f);
}

// The 5:6:5 end point whose widened channels are nearest to `c`, rounded.
std::uint32_t Quantize(const Colour& c) {
    return std::uint32_t{kNearest5[Byte(c.r)]} << 11 | std::uint32_t{kNearest6[Byte(c.g)]} << 5 |
           kNearest5[Byte(c.b)];
}

// For each 8-bit value the end points (e0 << 8 | e1, 5-bit or 6-bit) whose
// palette entry 2, two thirds of the first and a third of the second as this
// format's decoder truncates them, is nearest to it: a block of one colour
// then shows it more closely than either end point alone can.
struct OneColourEnds {
    std::array<std::uint16_t, 256> five{};
    std::array<std::uint16_t, 256> six{};
};

const OneColourEnds& OneColour() {
    static const OneColourEnds ends = [] {
        OneColourEnds t;
        auto fill = [](std::array<std::uint16_t, 256>& table, std::uint32_t max, auto expand) {
            std::array<std::uint32_t, 256> error{};
            error.fill(256);
            for (std::uint32_t e0 = 0; e0 <= max; ++e0) {
                for (std::uint32_t e1 = 0; e1 <= max; ++e1) {
                    const std::uint32_t shown = PaletteChannel(expand(e0), expand(e1), 2);
                    for (std::uint32_t v = shown > 8 ? shown - 8 : 0;
                         v <= std::min(255u, shown + 8); ++v) {
                        const std::uint32_t e = shown > v ? shown - v : v - shown;
                        if (e < error[v]) {
                            error[v] = e;
                            table[v] = static_cast<std::uint16_t>(e0 << 8 | e1);
                        }
                    }
                }
            }
        };
        fill(t.five, 31, Expand5);
        fill(t.six, 63, Expand6);
        return t;
    }();
    return ends;
}

// The four colours this format's decoder makes of two end points.
struct Palette {
    int rgb[4][3];
    Palette(std::uint32_t c0, std::uint32_t c1) {
        const std::uint32_t e0[3] = {Expand5(c0 >> 11), Expand6((c0 >> 5) & 63), Expand5(c0 & 31)};
        const std::uint32_t e1[3] = {Expand5(c1 >> 11), Expand6((c1 >> 5) & 63), Expand5(c1 & 31)};
        for (unsigned k = 0; k < 4; ++k) {
            for (int c = 0; c < 3; ++c) {
                rgb[k][c] = static_cast<int>(PaletteChannel(e0[c], e1[c], k));
            }
        }
    }
};

// A block's pixels a channel at a time, and 1 for each present pixel, 0
// for the others: loops over the 16 of them then run in vector lanes.
struct Pixels {
    int r[16];
    int g[16];
    int b[16];
    int a[16];
    int present[16];
};

Pixels Load(const std::uint8_t* pixels, int mask) {
    Pixels p;
    for (int i = 0; i < 16; ++i) {
        p.r[i] = pixels[4 * i];
        p.g[i] = pixels[4 * i + 1];
        p.b[i] = pixels[4 * i + 2];
        p.a[i] = pixels[4 * i + 3];
        p.present[i] = (mask >> i) & 1;
    }
    return p;
}

std::uint32_t ColourEnd(const std::uint8_t* block, int end) {
    return block[8 + 2 * end] | std::uint32_t{block[9 + 2 * end]} << 8;
}

void WriteColourIndices(const unsigned* index, std::uint8_t* block) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        bits |= index[i] << (2 * i);
    }
    for (int k = 0; k < 4; ++k) {
        block[12 + k] = static_cast<std::uint8_t>(bits >> (8 * k));
    }
}

// Each pixel's nearest palette entry (the first of equals); returns the
// squared error of the present ones.
int Indices(const Palette& palette, const Pixels& p, unsigned* index) {
    int sum = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 1 << 30;
        unsigned chosen = 0;
        for (unsigned k = 0; k < 4; ++k) {
            const int dr = p.r[i] - palette.rgb[k][0];
            const int dg = p.g[i] - palette.rgb[k][1];
            const int db = p.b[i] - palette.rgb[k][2];
            const int e = dr * dr + dg * dg + db * db;
            chosen = e < best ? k : chosen;
            best = e < best ? e : best;
        }
        index[i] = chosen * static_cast<unsigned>(p.present[i]);
        sum += best * p.present[i];
    }
    return sum;
}

// The end points that best give the pixels as their indices weight them
// (entry 0 all of the first, 1 all of the second, 2 and 3 two thirds and a
// third), each pixel weighted by `weight` (0 for those not present); false
// when the system is singular (every pixel on one entry).
bool LeastSquares(const Pixels& p, const float* weight, const unsigned* index, Colour* first,
                  Colour* second) {
    constexpr float kOfFirst[4] = {1.0f, 0.0f, 2.0f / 3, 1.0f / 3};
    float aa = 0;
    float ab = 0;
    float bb = 0;
    Colour ax;
    Colour bx;
    for (int i = 0; i < 16; ++i) {
        const float a = kOfFirst[index[i]];
        const float b = 1 - a;
        const float w = weight[i];
        aa += w * a * a;
        ab += w * a * b;
        bb += w * b * b;
        ax.r += w * a * p.r[i];
        ax.g += w * a * p.g[i];
        ax.b += w * a * p.b[i];
        bx.r += w * b * p.r[i];
        bx.g += w * b * p.g[i];
        bx.b += w * b * p.b[i];
    }
    const float det = aa * bb - ab * ab;
    if (std::abs(det) < 1e-6f) {
        return false;
    }
    const float f = 1 / det;
    *first = {(ax.r * bb - bx.r * ab) * f, (ax.g * bb - bx.g * ab) * f,
              (ax.b * bb - bx.b * ab) * f};
    *second = {(bx.r * aa - ax.r * ab) * f, (bx.g * aa - ax.g * ab) * f,
               (bx.b * aa - ax.b * ab) * f};
    return true;
}

// Each pixel's weight, the colours' weighted mean and their principal axis
// (its largest component 1, or 0 for one colour).
void Spread(const Pixels& p, float* weight, Colour& mean, Colour& axis) {
    // The colours' weighted mean and covariance; a pixel counts by its
    // alpha, so that colours hardly seen bend the fit less.
    float total = 0;
    for (int i = 0; i < 16; ++i) {
        weight[i] = static_cast<float>(p.present[i] * (p.a[i] + 1)) / 256.0f;
        total += weight[i];
        mean.r += weight[i] * static_cast<float>(p.r[i]);
        mean.g += weight[i] * static_cast<float>(p.g[i]);
        mean.b += weight[i] * static_cast<float>(p.b[i]);
    }
    const float share = 1 / total;
    mean = {mean.r * share, mean.g * share, mean.b * share};
    float cov[6] = {};  // rr, rg, rb, gg, gb, bb
    for (int i = 0; i < 16; ++i) {
        const float r = static_cast<float>(p.r[i]) - mean.r;
        const float g = static_cast<float>(p.g[i]) - mean.g;
        const float b = static_cast<float>(p.b[i]) - mean.b;
        const float w = weight[i];
        cov[0] += w * r * r;
        cov[1] += w * r * g;
        cov[2] += w * r * b;
        cov[3] += w * g * g;
        cov[4] += w * g * b;
        cov[5] += w * b * b;
    }
    // The principal axis by power iteration from the grey diagonal, or
    // where the covariance takes that to nothing (red against blue) from
    // its column of the largest variance.
    axis = {cov[0] + cov[1] + cov[2], cov[1] + cov[3] + cov[4], cov[2] + cov[4] + cov[5]};
    const float variance = std::max({cov[0], cov[3], cov[5]});
    if (std::max({std::abs(axis.r), std::abs(axis.g), std::abs(axis.b)}) < variance / 16) {
        axis = cov[0] == variance   ? Colour{cov[0], cov[1], cov[2]}
               : cov[3] == variance ? Colour{cov[1], cov[3], cov[4]}
                                    : Colour{cov[2], cov[4], cov[5]};
    }
    for (int step = 0; step < 8; ++step) {
        const Colour next{cov[0] * axis.r + cov[1] * axis.g + cov[2] * axis.b,
                          cov[1] * axis.r + cov[3] * axis.g + cov[4] * axis.b,
                          cov[2] * axis.r + cov[4] * axis.g + cov[5] * axis.b};
        const float largest = std::max({std::abs(next.r), std::abs(next.g), std::abs(next.b)});
        if (largest <= 0) {
            break;  // one colour: any axis will do
        }
        const float scale = 1 / largest;
        axis = {next.r * scale, next.g * scale, next.b * scale};
    }
}

}  // namespace

void FitBlockFast(const std::uint8_t* pixels, int mask, std::uint8_t* block, ColourSpread* spread) {
    const Pixels p = Load(pixels, mask);
    float weight[16];
    Colour mean;
    Colour axis;
    Spread(p, weight, mean, axis);
    if (spread != nullptr) {
        std::copy_n(weight, 16, spread->weight);
        spread->axis[0] = axis.r;
        spread->axis[1] = axis.g;
        spread->axis[2] = axis.b;
    }
    FitAlpha(p.a, p.present, block);
    // The extremes along it.
    float lowest = 1e30f;
    float highest = -1e30f;
    int from = 0;
    int to = 0;
    for (int i = 0; i < 16; ++i) {
        if (p.present[i] != 0) {
            const float d = static_cast<float>(p.r[i]) * axis.r +
                            static_cast<float>(p.g[i]) * axis.g +
                            static_cast<float>(p.b[i]) * axis.b;
            from = d < lowest ? i : from;
            lowest = std::min(lowest, d);
            to = d > highest ? i : to;
            highest = std::max(highest, d);
        }
    }
    auto colourOf = [&p](int i) {
        return Colour{static_cast<float>(p.r[i]), static_cast<float>(p.g[i]),
                      static_cast<float>(p.b[i])};
    };
    std::uint32_t c0 = Quantize(colourOf(to));
    std::uint32_t c1 = Quantize(colourOf(from));
    unsigned index[16];
    int error = Indices(Palette(c0, c1), p, index);
    if (error > 0 && highest - lowest < kNearlyOneColour) {
        // Nearly one colour: the end points that show the mean best.
        const OneColourEnds& ends = OneColour();
        const std::uint32_t r = ends.five[Byte(mean.r)];
        const std::uint32_t g = ends.six[Byte(mean.g)];
        const std::uint32_t b = ends.five[Byte(mean.b)];
        const std::uint32_t t0 = (r >> 8) << 11 | (g >> 8) << 5 | (b >> 8);
        const std::uint32_t t1 = (r & 255) << 11 | (g & 255) << 5 | (b & 255);
        unsigned tried[16];
        if (const int e = Indices(Palette(t0, t1), p, tried); e < error) {
            c0 = t0;
            c1 = t1;
            error = e;
            std::copy_n(tried, 16, index);
        }
    }
    // One least-squares step from those indices, kept when it fits better.
    Colour first;
    Colour second;
    if (error > 0 && LeastSquares(p, weight, index, &first, &second)) {
        const std::uint32_t t0 = Quantize(first);
        const std::uint32_t t1 = Quantize(second);
        unsigned tried[16];
        if (Indices(Palette(t0, t1), p, tried) < error) {
            c0 = t0;
            c1 = t1;
            std::copy_n(tried, 16, index);
        }
    }
    block[8] = static_cast<std::uint8_t>(c0);
    block[9] = static_cast<std::uint8_t>(c0 >> 8);
    block[10] = static_cast<std::uint8_t>(c1);
    block[11] = static_cast<std::uint8_t>(c1 >> 8);
    WriteColourIndices(index, block);
}

void RefineEndPoints(const std::uint8_t* pixels, int mask, std::uint8_t* block) {
    const Pixels p = Load(pixels, mask);
    unsigned index[16];
    std::uint32_t ends[2] = {ColourEnd(block, 0), ColourEnd(block, 1)};
    int best = Indices(Palette(ends[0], ends[1]), p, index);
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
                    const int e = Indices(Palette(tried[0], tried[1]), p, index);
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

void ChooseIndices(const std::uint8_t* pixels, int mask, std::uint8_t* block) {
    const Pixels p = Load(pixels, mask);
    unsigned index[16];
    Indices(Palette(ColourEnd(block, 0), ColourEnd(block, 1)), p, index);
    WriteColourIndices(index, block);
    AlphaIndices(block[0], block[1], p.a, p.present, index);
    WriteAlphaIndices(index, block);
}

int ColourError(const std::uint8_t* pixels, int mask, const std::uint8_t* block) {
    unsigned index[16];
    return Indices(Palette(ColourEnd(block, 0), ColourEnd(block, 1)), Load(pixels, mask), index);
}

}  // namespace marrowix
