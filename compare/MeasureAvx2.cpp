// The AVX2 path of the difference sums: sixteen texels at a time, each
// channel's absolute difference as bytes, gathered by channel, squared and
// summed in 32 bits.
#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "compare/MeasureKernels.h"

namespace marrowix::kernels {

namespace {

// Sixteen RGBA4444 texels widened exactly, as WidenTexel does: texels 0-7
// in `first`, 8-15 in `second`, as 0xAARRGGBB.
inline void WidenNibbles(const std::uint16_t* p, __m256i& first, __m256i& second) {
    // Quarters 0, 2 | 1, 3, so that unpacking within lanes keeps the order.
    const __m256i t =
        _mm256_permute4x64_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), 0xD8);
    const __m256i low = _mm256_set1_epi8(0x0F);
    // n x 17 for n in 0..15 (as signed bytes past 127).
    const __m256i times17 = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, 17, 34, 51, 68, 85, 102, 119, -120, -103, -86, -69, -52, -35, -18, -1));
    // A texel's low byte is blue:alpha, its high byte red:green.
    const __m256i alphaGreen = _mm256_shuffle_epi8(times17, _mm256_and_si256(t, low));
    const __m256i blueRed =
        _mm256_shuffle_epi8(times17, _mm256_and_si256(_mm256_srli_epi16(t, 4), low));
    // Bytes blue, alpha, red, green; then blue, green, red, alpha.
    const __m256i order = _mm256_setr_epi8(0, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13, 0,
                                           3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12, 15, 14, 13);
    first = _mm256_shuffle_epi8(_mm256_unpacklo_epi8(blueRed, alphaGreen), order);
    second = _mm256_shuffle_epi8(_mm256_unpackhi_epi8(blueRed, alphaGreen), order);
}

class Sums {
public:
    // Eight texels of each image.
    void Add(__m256i va, __m256i vb) {
        const __m256i d = _mm256_or_si256(_mm256_subs_epu8(va, vb), _mm256_subs_epu8(vb, va));
        m_largest = _mm256_max_epu8(m_largest, d);
        m_equal = _mm256_add_epi32(m_equal, _mm256_cmpeq_epi32(va, vb));
        // Each lane's bytes by channel: four blue, four green, four red,
        // four alpha; their squares summed in pairs.
        const __m256i byChannel = _mm256_shuffle_epi8(
            d, _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0, 4, 8, 12,
                                1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15));
        const __m256i blueGreen = _mm256_unpacklo_epi8(byChannel, _mm256_setzero_si256());
        const __m256i redAlpha = _mm256_unpackhi_epi8(byChannel, _mm256_setzero_si256());
        m_blueGreen = _mm256_add_epi32(m_blueGreen, _mm256_madd_epi16(blueGreen, blueGreen));
        m_redAlpha = _mm256_add_epi32(m_redAlpha, _mm256_madd_epi16(redAlpha, redAlpha));
    }

    // The sums of `texels` texels added, into `sums`.
    void Into(KernelSums& sums, std::size_t texels) const {
        alignas(32) std::uint32_t lanes[8];
        alignas(32) std::uint8_t bytes[32];
        // Dwords 0, 1 of each lane hold the first channel, 2, 3 the second.
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), m_blueGreen);
        for (int k = 0; k < 8; ++k) {
            sums.squares[k % 4 < 2 ? 2 : 1] += lanes[k];
        }
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), m_redAlpha);
        for (int k = 0; k < 8; ++k) {
            sums.squares[k % 4 < 2 ? 0 : 3] += lanes[k];
        }
        static constexpr int kOrder[4] = {2, 1, 0, 3};  // byte c holds this channel
        _mm256_store_si256(reinterpret_cast<__m256i*>(bytes), m_largest);
        for (int k = 0; k < 32; ++k) {
            std::uint32_t& m = sums.largest[kOrder[k % 4]];
            m = std::max<std::uint32_t>(m, bytes[k]);
        }
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), m_equal);
        std::uint32_t equal = 0;
        for (std::uint32_t v : lanes) {
            equal -= v;
        }
        sums.differing += static_cast<std::uint32_t>(texels) - equal;
    }

private:
    __m256i m_blueGreen = _mm256_setzero_si256();
    __m256i m_redAlpha = _mm256_setzero_si256();
    __m256i m_largest = _mm256_setzero_si256();  // per byte
    __m256i m_equal = _mm256_setzero_si256();    // minus the texels that are equal
};

inline __m256i Load(const std::uint32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

}  // namespace

KernelSums MeasureAvx2(const std::uint32_t* a, const std::uint32_t* b, std::size_t n) {
    return MeasureInSteps<8, Sums>(
        n, [=](Sums& sums, std::size_t i) { sums.Add(Load(a + i), Load(b + i)); },
        [=](std::size_t i) { return MeasureScalar(a + i, b + i, n - i); });
}

KernelSums MeasureNibblesAvx2(const std::uint16_t* a, const std::uint32_t* b, std::size_t n) {
    return MeasureInSteps<16, Sums>(
        n,
        [=](Sums& sums, std::size_t i) {
            __m256i first;
            __m256i second;
            WidenNibbles(a + i, first, second);
            sums.Add(first, Load(b + i));
            sums.Add(second, Load(b + i + 8));
        },
        [=](std::size_t i) { return MeasureNibblesScalar(a + i, b + i, n - i); });
}

namespace avx2 {
#include "compare/SsimRows.inc"
}  // namespace avx2

double SsimTileAvx2(const float* x, const float* y, std::uint32_t rows, std::uint32_t cols,
                    const float* across, std::uint32_t kx, const float* down, std::uint32_t ky,
                    float* scratch, float offset) {
    return avx2::SsimTileSum(x, y, rows, cols, across, kx, down, ky, scratch, offset);
}

void PremultipliedAvx2(const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                       std::uint64_t* squares, std::uint32_t* alphas) {
    avx2::PremultipliedRows(a, b, n, squares, alphas);
}

}  // namespace marrowix::kernels
