// The AVX2 path of the difference sums: eight texels at a time, each
// channel's absolute difference as bytes, squared per channel in 32 bits.
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
    const __m256i low = _mm256_set1_epi32(0xFF);
    __m256i squares[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(),
                          _mm256_setzero_si256()};
    __m256i largest = _mm256_setzero_si256();  // per byte
    __m256i equal = _mm256_setzero_si256();    // minus the texels that are equal
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i va = load(i);
        const __m256i vb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        const __m256i d = _mm256_or_si256(_mm256_subs_epu8(va, vb), _mm256_subs_epu8(vb, va));
        largest = _mm256_max_epu8(largest, d);
        equal = _mm256_add_epi32(equal, _mm256_cmpeq_epi32(va, vb));
        // Channel bytes 0 (blue), 1 (green), 2 (red), 3 (alpha), each alone
        // in its 32 bits, squared by a multiply-add of 16-bit halves.
        for (int c = 0; c < 4; ++c) {
            const __m256i channel = _mm256_and_si256(_mm256_srli_epi32(d, 8 * c), low);
            squares[c] = _mm256_add_epi32(squares[c], _mm256_madd_epi16(channel, channel));
        }
    }
    KernelSums sums;
    alignas(32) std::uint32_t lanes[8];
    alignas(32) std::uint8_t bytes[32];
    static constexpr int kOrder[4] = {2, 1, 0, 3};  // byte c holds this channel
    for (int c = 0; c < 4; ++c) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), squares[c]);
        std::uint32_t total = 0;
        for (std::uint32_t v : lanes) {
            total += v;
        }
        sums.squares[kOrder[c]] = total;
    }
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
