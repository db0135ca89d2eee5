#include "compare/DifferenceImage.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace marrowix {

namespace {

std::uint8_t ScaledDifference(std::uint8_t a, std::uint8_t b, unsigned scale) {
    const unsigned diff = static_cast<unsigned>(std::max(a, b) - std::min(a, b));
    return static_cast<std::uint8_t>(std::min(diff * scale, 255u));
}

#if defined(__SSE2__)
// A scale of 2^k is k doublings that stop at 255; -1 for any other scale,
// which the scalar code multiplies (the view steps through powers of two).
int DoublingsOf(int scale) {
    for (int k = 0; k < 8; ++k) {
        if (scale == (1 << k)) {
            return k;
        }
    }
    return -1;
}
#endif

}  // namespace

std::uint64_t DifferenceImageScalar(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* out,
                                    std::size_t bytes, int scale, int threshold) {
    if (threshold <= 0) {
        const auto s = static_cast<unsigned>(std::clamp(scale, 1, 255));
        for (std::size_t i = 0; i < bytes; ++i) {
            out[i] = ScaledDifference(a[i], b[i], s);
        }
        return 0;
    }
    std::uint64_t over = 0;
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
        std::uint8_t largest = 0;
        for (int c = 0; c < 4; ++c) {
            largest = std::max(largest, ScaledDifference(a[i + c], b[i + c], 1));
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

std::uint64_t DifferenceImage(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                              std::uint8_t* __restrict out, std::size_t bytes, int scale,
                              int threshold) {
#if defined(__SSE2__)
    // SSE2 is part of every x86-64 processor: no choice to make at run time.
    // Sixteen bytes at a time, the rest by the scalar code above.
    const int doublings = DoublingsOf(std::clamp(scale, 1, 255));
    const __m128i zero = _mm_setzero_si128();
    std::size_t done = 0;
    std::uint64_t over = 0;
    auto load = [](const std::uint8_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    };
    auto store = [](std::uint8_t* p, __m128i v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    };
    if (threshold <= 0 && doublings >= 0) {
        for (; done + 16 <= bytes; done += 16) {
            const __m128i x = load(a + done);
            const __m128i y = load(b + done);
            __m128i diff = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
            for (int k = 0; k < doublings; ++k) {
                diff = _mm_adds_epu8(diff, diff);  // stops at 255
            }
            store(out + done, diff);
        }
    } else if (threshold > 0) {
        const __m128i limit = _mm_set1_epi8(static_cast<char>(std::min(threshold, 255)));
        const __m128i third = _mm_set1_epi16(0x5556);  // (x * 0x5556) >> 16 is x / 3 to 255
        const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
        const __m128i red = _mm_set1_epi32(0x00FF0000);
        for (; done + 16 <= bytes; done += 16) {
            const __m128i x = load(a + done);
            const __m128i y = load(b + done);
            const __m128i diff = _mm_or_si128(_mm_subs_epu8(x, y), _mm_subs_epu8(y, x));
            // A pixel is within the threshold when no byte exceeds it.
            const __m128i within = _mm_cmpeq_epi32(_mm_subs_epu8(diff, limit), zero);
            const int mask = _mm_movemask_ps(_mm_castsi128_ps(within));
            over += 4 - static_cast<unsigned>(std::popcount(static_cast<unsigned>(mask)));
            const __m128i low = _mm_mulhi_epu16(_mm_unpacklo_epi8(x, zero), third);
            const __m128i high = _mm_mulhi_epu16(_mm_unpackhi_epi8(x, zero), third);
            const __m128i dim = _mm_and_si128(_mm_packus_epi16(low, high), colour);
            store(out + done,
                  _mm_or_si128(_mm_and_si128(within, dim), _mm_andnot_si128(within, red)));
        }
    }
    return over +
           DifferenceImageScalar(a + done, b + done, out + done, bytes - done, scale, threshold);
#else
    return DifferenceImageScalar(a, b, out, bytes, scale, threshold);
#endif
}

}  // namespace marrowix
