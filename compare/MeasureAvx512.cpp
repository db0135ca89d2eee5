// The AVX-512 path of the difference sums (BW, VBMI and VNNI): sixteen
// texels a register, as the AVX2 path does with eight, the squares summed
// by multiply-accumulate and the equal texels counted by mask.
#include "platform/Avx512.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "compare/MeasureKernels.h"

namespace marrowix::kernels {

namespace {

// Sixteen RGBA4444 texels widened exactly, as WidenTexel does, as 0xAARRGGBB.
inline __m512i WidenNibbles(const std::uint16_t* p) {
    // Texel k's bytes blue:alpha, red:green as blue:alpha, red:green,
    // red:green, blue:alpha in dword k.
    const __m512i spread =
        _mm512_set_epi32(0x1E1F1F1E, 0x1C1D1D1C, 0x1A1B1B1A, 0x18191918, 0x16171716, 0x14151514,
                         0x12131312, 0x10111110, 0x0E0F0F0E, 0x0C0D0D0C, 0x0A0B0B0A, 0x08090908,
                         0x06070706, 0x04050504, 0x02030302, 0x00010100);
    const __m512i t = _mm512_permutexvar_epi8(
        spread, _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))));
    // Blue and red from the high nibbles of bytes 0 and 2, green and alpha
    // from the low nibbles of bytes 1 and 3.
    const __m512i n =
        _mm512_or_si512(_mm512_and_si512(_mm512_srli_epi16(t, 4), _mm512_set1_epi32(0x000F000F)),
                        _mm512_and_si512(t, _mm512_set1_epi32(0x0F000F00)));
    return _mm512_or_si512(n, _mm512_slli_epi16(n, 4));
}

class Sums {
public:
    // Sixteen texels of each image.
    void Add(__m512i va, __m512i vb) {
        const __m512i d = _mm512_or_si512(_mm512_subs_epu8(va, vb), _mm512_subs_epu8(vb, va));
        m_largest = _mm512_max_epu8(m_largest, d);
        m_equal += static_cast<std::uint32_t>(std::popcount(_mm512_cmpeq_epi32_mask(va, vb)));
        // Each quarter's bytes by channel: four blue, four green, four
        // red, four alpha; their squares summed in pairs.
        const __m512i byChannel = _mm512_shuffle_epi8(
            d, Four(_mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15)));
        const __m512i blueGreen = _mm512_unpacklo_epi8(byChannel, _mm512_setzero_si512());
        const __m512i redAlpha = _mm512_unpackhi_epi8(byChannel, _mm512_setzero_si512());
        m_blueGreen = _mm512_dpwssd_epi32(m_blueGreen, blueGreen, blueGreen);
        m_redAlpha = _mm512_dpwssd_epi32(m_redAlpha, redAlpha, redAlpha);
    }

    // The sums of `texels` texels added, into `sums`.
    void Into(KernelSums& sums, std::size_t texels) const {
        alignas(64) std::uint32_t lanes[16];
        alignas(64) std::uint8_t bytes[64];
        // Dwords 0, 1 of each quarter hold the first channel, 2, 3 the second.
        _mm512_store_si512(lanes, m_blueGreen);
        for (int k = 0; k < 16; ++k) {
            sums.squares[k % 4 < 2 ? 2 : 1] += lanes[k];
        }
        _mm512_store_si512(lanes, m_redAlpha);
        for (int k = 0; k < 16; ++k) {
            sums.squares[k % 4 < 2 ? 0 : 3] += lanes[k];
        }
        static constexpr int kOrder[4] = {2, 1, 0, 3};  // byte c holds this channel
        _mm512_store_si512(bytes, m_largest);
        for (int k = 0; k < 64; ++k) {
            std::uint32_t& m = sums.largest[kOrder[k % 4]];
            m = std::max<std::uint32_t>(m, bytes[k]);
        }
        sums.differing += static_cast<std::uint32_t>(texels) - m_equal;
    }

private:
    __m512i m_blueGreen = _mm512_setzero_si512();
    __m512i m_redAlpha = _mm512_setzero_si512();
    __m512i m_largest = _mm512_setzero_si512();  // per byte
    std::uint32_t m_equal = 0;
};

inline __m512i Load(const std::uint32_t* p) {
    return _mm512_loadu_si512(p);
}

}  // namespace

KernelSums MeasureAvx512(const std::uint32_t* a, const std::uint32_t* b, std::size_t n) {
    return MeasureInSteps<16, Sums>(
        n, [=](Sums& sums, std::size_t i) { sums.Add(Load(a + i), Load(b + i)); },
        [=](std::size_t i) { return MeasureScalar(a + i, b + i, n - i); });
}

KernelSums MeasureNibblesAvx512(const std::uint16_t* a, const std::uint32_t* b, std::size_t n) {
    return MeasureInSteps<16, Sums>(
        n, [=](Sums& sums, std::size_t i) { sums.Add(WidenNibbles(a + i), Load(b + i)); },
        [=](std::size_t i) { return MeasureNibblesScalar(a + i, b + i, n - i); });
}

namespace avx512 {
#include "compare/SsimRows.inc"
}  // namespace avx512

double SsimTileAvx512(const float* x, const float* y, std::uint32_t rows, std::uint32_t cols,
                      const float* across, std::uint32_t kx, const float* down, std::uint32_t ky,
                      float* scratch, float offset) {
    return avx512::SsimTileSum(x, y, rows, cols, across, kx, down, ky, scratch, offset);
}

void PremultipliedAvx512(const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                         std::uint64_t* squares, std::uint32_t* alphas) {
    avx512::PremultipliedRows(a, b, n, squares, alphas);
}

}  // namespace marrowix::kernels
