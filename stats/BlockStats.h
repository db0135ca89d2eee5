// What the statistics read from a "dxt" block without decoding its texels:
// its palettes, made by the decoder's own arithmetic, and how many of its
// texels index each palette entry.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "decode/Decode.h"

namespace marrowix::blockstats {

// How many of four indices have each value, a byte a value: for four
// colour indices (a byte of them, 2 bits each) and for four alpha indices
// (12 bits, 3 bits each). Summed over a block's bytes (or 12-bit groups)
// the bytes count its 16 texels.
inline std::array<std::uint32_t, 256> MakeColourCounts() {
    std::array<std::uint32_t, 256> t{};
    for (unsigned v = 0; v < 256; ++v) {
        for (unsigned k = 0; k < 4; ++k) {
            t[v] += 1u << (8 * ((v >> (2 * k)) & 3));
        }
    }
    return t;
}
inline std::vector<std::uint64_t> MakeAlphaCounts() {
    std::vector<std::uint64_t> t(4096);
    for (unsigned v = 0; v < 4096; ++v) {
        for (unsigned k = 0; k < 4; ++k) {
            t[v] += std::uint64_t{1} << (8 * ((v >> (3 * k)) & 7));
        }
    }
    return t;
}
// A block's colour palettes by their end points: four 8-bit values of a
// 5-bit or a 6-bit channel (byte k the entry k), made once by the decoder's
// own arithmetic.
struct PaletteTables {
    std::array<std::uint32_t, 1024> five{};  // (e0 << 5 | e1)
    std::array<std::uint32_t, 4096> six{};   // (e0 << 6 | e1)
};

inline const PaletteTables& Palettes() {
    static const PaletteTables tables = [] {
        PaletteTables t;
        for (std::uint32_t e0 = 0; e0 < 64; ++e0) {
            for (std::uint32_t e1 = 0; e1 < 64; ++e1) {
                for (unsigned k = 0; k < 4; ++k) {
                    if (e0 < 32 && e1 < 32) {
                        t.five[e0 << 5 | e1] |= PaletteChannel(Expand5(e0), Expand5(e1), k)
                                                << (8 * k);
                    }
                    t.six[e0 << 6 | e1] |= PaletteChannel(Expand6(e0), Expand6(e1), k) << (8 * k);
                }
            }
        }
        return t;
    }();
    return tables;
}

// The quotients by 7 and by 5 of an alpha palette's weighted sums (at most
// 7 x 255); the second gives 255 at 2047, where the six-value mode's index 7
// points.
struct AlphaQuotients {
    std::array<std::uint8_t, 2048> seventh{};
    std::array<std::uint8_t, 2048> fifth{};
};
constexpr AlphaQuotients MakeAlphaQuotients() {
    AlphaQuotients q;
    for (unsigned x = 0; x < 2048; ++x) {
        q.seventh[x] = static_cast<std::uint8_t>(std::min(x / 7, 255u));
        q.fifth[x] = static_cast<std::uint8_t>(std::min(x / 5, 255u));
    }
    q.fifth[2047] = 255;
    return q;
}
inline constexpr AlphaQuotients kAlphaQuotients = MakeAlphaQuotients();

// A block's eight alphas, byte i the alpha of index i: the decoder's
// arithmetic, (w0 x a0 + w1 x a1) / 7 or / 5, with the weights of indices
// 2 to 7 in lanes of 16 bits. Worked out rather than looked up: a table of
// every pair of end points would not stay in the cache.
inline std::uint64_t AlphaPalette(std::uint32_t a0, std::uint32_t a1) {
    const bool eight = a0 > a1;
    const std::uint64_t middle = a0 * (eight ? 0x0003'0004'0005'0006u : 0x0001'0002'0003'0004u) +
                                 a1 * std::uint64_t{0x0004'0003'0002'0001u};
    const std::uint64_t last =
        eight ? a0 * std::uint64_t{0x0001'0002u} + a1 * std::uint64_t{0x0006'0005u} : 0x07FF'0000u;
    const std::uint8_t* q = eight ? kAlphaQuotients.seventh.data() : kAlphaQuotients.fifth.data();
    return a0 | a1 << 8 | std::uint64_t{q[middle & 0xFFFF]} << 16 |
           std::uint64_t{q[(middle >> 16) & 0xFFFF]} << 24 |
           std::uint64_t{q[(middle >> 32) & 0xFFFF]} << 32 | std::uint64_t{q[middle >> 48]} << 40 |
           std::uint64_t{q[last & 0xFFFF]} << 48 | std::uint64_t{q[last >> 16]} << 56;
}

inline const std::array<std::uint32_t, 256> kColourCounts = MakeColourCounts();
inline const std::vector<std::uint64_t> kAlphaCounts = MakeAlphaCounts();

}  // namespace marrowix::blockstats
