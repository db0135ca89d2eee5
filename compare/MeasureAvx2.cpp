// The AVX2 path of the difference sums: eight texels at a time, each
// channel's absolute difference as bytes, squared and summed in 32 bits.
#include <immintrin.h>

#include <algorithm>

#include "compare/MeasureKernels.h"

namespace marrowix::kernels {

namespace {

// Eight RGBA4444 texels widened exactly, as WidenTexel does.
inline __m256i WidenNibbles(const std::uint16_t* p) {
    const __m256i t = _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m256i blue = _mm256_srli_epi32(_mm256_and_si256(t, _mm256_set1_epi32(0xF0)), 4);
    const __m256i green = _mm256_and_si256(t, _mm256_set1_epi32(0xF00));
    const __m256i red = _mm256_slli_epi32(_mm256_and_si256(t, _mm256_set1_epi32(0xF000)), 4);
    const __m256i alpha = _mm256_slli_epi32(_mm256_and_si256(t, _mm256_set1_epi32(0xF)), 24);
    const __m256i x = _mm256_or_si256(_mm256_or_si256(blue, green), _mm256_or_si256(red, alpha));
    return _mm256_add_epi32(_mm256_slli_epi32(x, 4), x);
}

template <class Load, class Rest>
KernelSums Measure(Load load, const std::uint32_t* b, std::size_t n, Rest rest) {
    // Squares of 16-bit differences summed in pairs by a multiply-add: over
    // blue and green, and red and alpha, in alternate 32-bit lanes; and, with
    // blue and red masked off, green and alpha alone. Blue and red follow.
    const __m256i zero = _mm256_setzero_si256();
    const __m256i odd = _mm256_set1_epi32(static_cast<int>(0xFFFF0000u));
    __m256i pairs = zero;       // lanes: blue + green, red + alpha
    __m256i greenAlpha = zero;  // lanes: green, alpha
    __m256i largest = zero;     // per byte
    __m256i equal = zero;       // minus the texels that are equal
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i va = load(i);
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i d = _mm256_or_si256(_mm256_subs_epu8(va, vb), _mm256_subs_epu8(vb, va));
        largest = _mm256_max_epu8(largest, d);
        equal = _mm256_add_epi32(equal, _mm256_cmpeq_epi32(va, vb));
        const __m256i lo = _mm256_unpacklo_epi8(d, zero);
        const __m256i hi = _mm256_unpackhi_epi8(d, zero);
        pairs = _mm256_add_epi32(
            pairs, _mm256_add_epi32(_mm256_madd_epi16(lo, lo), _mm256_madd_epi16(hi, hi)));
        greenAlpha = _mm256_add_epi32(
            greenAlpha, _mm256_add_epi32(_mm256_madd_epi16(lo, _mm256_and_si256(lo, odd)),
                                         _mm256_madd_epi16(hi, _mm256_and_si256(hi, odd))));
    }
    KernelSums sums;
    alignas(32) std::uint32_t lanes[8];
    alignas(32) std::uint8_t bytes[32];
    static constexpr int kOrder[4] = {2, 1, 0, 3};  // byte c holds this channel
    std::uint32_t total[2][2] = {};                 // [pairs, green and alpha][even, odd lane]
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), pairs);
    for (int k = 0; k < 8; ++k) {
        total[0][k % 2] += lanes[k];
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), greenAlpha);
    for (int k = 0; k < 8; ++k) {
        total[1][k % 2] += lanes[k];
    }
    sums.squares[1] = total[1][0];                // green
    sums.squares[3] = total[1][1];                // alpha
    sums.squares[2] = total[0][0] - total[1][0];  // blue
    sums.squares[0] = total[0][1] - total[1][1];  // red
    _mm256_store_si256(reinterpret_cast<__m256i*>(bytes), largest);
    for (int k = 0; k < 32; ++k) {
        std::uint32_t& m = sums.largest[kOrder[k % 4]];
        m = std::max<std::uint32_t>(m, bytes[k]);
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), equal);
    std::uint32_t equalCount = 0;
    for (std::uint32_t v : lanes) {
        equalCount -= v;
    }
    sums.differing = static_cast<std::uint32_t>(i) - equalCount;
    // The last texels by the reference.
    const KernelSums last = rest(i);
    for (int c = 0; c < 4; ++c) {
        sums.squares[c] += last.squares[c];
        sums.largest[c] = std::max(sums.largest[c], last.largest[c]);
    }
    sums.differing += last.differing;
    return sums;
}

}  // namespace

KernelSums MeasureAvx2(const std::uint32_t* a, const std::uint32_t* b, std::size_t n) {
    return Measure(
        [a](std::size_t i) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i)); },
        b, n, [=](std::size_t i) { return MeasureScalar(a + i, b + i, n - i); });
}

KernelSums MeasureNibblesAvx2(const std::uint16_t* a, const std::uint32_t* b, std::size_t n) {
    return Measure([a](std::size_t i) { return WidenNibbles(a + i); }, b, n,
                   [=](std::size_t i) { return MeasureNibblesScalar(a + i, b + i, n - i); });
}

}  // namespace marrowix::kernels
