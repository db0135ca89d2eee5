#include "repack/AlphaFit.h"

#include <algorithm>

#include "decode/Decode.h"

namespace marrowix {

int AlphaIndices(std::uint32_t a0, std::uint32_t a1, const int* alpha, const int* present,
                 unsigned* index) {
    int values[8];
    for (std::uint32_t i = 0; i < 8; ++i) {
        values[i] = static_cast<int>(BlockAlpha(a0, a1, i));
    }
    int sum = 0;
    for (int i = 0; i < 16; ++i) {
        int best = 1 << 30;
        unsigned chosen = 0;
        for (unsigned k = 0; k < 8; ++k) {
            const int d = alpha[i] - values[k];
            const int e = d * d;
            chosen = e < best ? k : chosen;
            best = e < best ? e : best;
        }
        index[i] = chosen * static_cast<unsigned>(present[i]);
        sum += best * present[i];
    }
    return sum;
}

void FitAlpha(const int* alpha, const int* present, std::uint8_t* block) {
    int low = 255;
    int high = 0;
    int innerLow = 255;
    int innerHigh = 0;
    for (int i = 0; i < 16; ++i) {
        if (present[i] != 0) {
            low = std::min(low, alpha[i]);
            high = std::max(high, alpha[i]);
            if (alpha[i] != 0 && alpha[i] != 255) {
                innerLow = std::min(innerLow, alpha[i]);
                innerHigh = std::max(innerHigh, alpha[i]);
            }
        }
    }
    if (low == high) {
        // One alpha (an opaque block, most often): both end points, index 0.
        block[0] = block[1] = static_cast<std::uint8_t>(low);
        std::fill_n(block + 2, 6, std::uint8_t{0});
        return;
    }
    if (innerLow > innerHigh) {
        innerLow = innerHigh = 0;  // only 0 and 255: the six-level mode holds both
    }
    unsigned index[16];
    auto a0 = static_cast<std::uint32_t>(innerLow);
    auto a1 = static_cast<std::uint32_t>(innerHigh);
    const int six = AlphaIndices(a0, a1, alpha, present, index);
    if (high > low && six > 0) {
        unsigned eightIndex[16];
        if (AlphaIndices(static_cast<std::uint32_t>(high), static_cast<std::uint32_t>(low), alpha,
                         present, eightIndex) < six) {
            a0 = static_cast<std::uint32_t>(high);
            a1 = static_cast<std::uint32_t>(low);
            std::copy_n(eightIndex, 16, index);
        }
    }
    block[0] = static_cast<std::uint8_t>(a0);
    block[1] = static_cast<std::uint8_t>(a1);
    WriteAlphaIndices(index, block);
}

void WriteAlphaIndices(const unsigned* index, std::uint8_t* block) {
    std::uint64_t bits = 0;
    for (int i = 0; i < 16; ++i) {
        bits |= std::uint64_t{index[i]} << (3 * i);
    }
    for (int k = 0; k < 6; ++k) {
        block[2 + k] = static_cast<std::uint8_t>(bits >> (8 * k));
    }
}

}  // namespace marrowix
