// Whole blocks four at a time, one in each 128-bit quarter of a 512-bit
// register; the indices are picked out of each block by bit offset
// (AVX-512 VBMI multishift).
#include "platform/Avx512.h"

#include "decode/BlockKernels.h"

namespace marrowix::kernels {
namespace {

// Bit offsets, within a block's first 8 bytes, of texel k's alpha index
// and, within its last 8, of its colour index.
inline __m512i AlphaAt() {
    return Four(_mm_setr_epi8(16, 19, 22, 25, 28, 31, 34, 37, 40, 43, 46, 49, 52, 55, 58, 61));
}
inline __m512i ColourAt() {
    return Four(_mm_setr_epi8(32, 34, 36, 38, 40, 42, 44, 46, 48, 50, 52, 54, 56, 58, 60, 62));
}

// Each texel's colour index (0-3) and alpha index (0-7), four blocks at once.
inline __m512i ColourIndices(__m512i x) {
    return _mm512_and_si512(_mm512_multishift_epi64_epi8(ColourAt(), _mm512_unpackhi_epi64(x, x)),
                            _mm512_set1_epi8(3));
}
inline __m512i AlphaIndices(__m512i x) {
    return _mm512_and_si512(_mm512_multishift_epi64_epi8(AlphaAt(), _mm512_unpacklo_epi64(x, x)),
                            _mm512_set1_epi8(7));
}

}  // namespace

void DecodeBlocksAvx512(const std::uint8_t* blocks, std::size_t count, std::uint16_t* out,
                        std::size_t stride, const PaletteTables& tables) {
    // Row r of the four blocks side by side: quarters' first halves, then
    // their second halves.
    const __m512i rowsInOrder = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
    std::size_t n = 0;
    for (; n + 4 <= count; n += 4, blocks += 64, out += 16) {
        BlockTable t[4];
        for (int b = 0; b < 4; ++b) {
            t[b] = LookUpBlock(blocks + 16 * b, tables);
        }
        const __m512i table = _mm512_setr_epi64(
            static_cast<long long>(t[0].colours), static_cast<long long>(t[0].alphas),
            static_cast<long long>(t[1].colours), static_cast<long long>(t[1].alphas),
            static_cast<long long>(t[2].colours), static_cast<long long>(t[2].alphas),
            static_cast<long long>(t[3].colours), static_cast<long long>(t[3].alphas));
        const __m512i x = _mm512_loadu_si512(blocks);
        const __m512i colour = ColourIndices(x);
        const __m512i alpha = _mm512_or_si512(AlphaIndices(x), _mm512_set1_epi8(8));
        const __m512i low =
            _mm512_or_si512(_mm512_shuffle_epi8(table, colour), _mm512_shuffle_epi8(table, alpha));
        const __m512i high =
            _mm512_shuffle_epi8(table, _mm512_or_si512(colour, _mm512_set1_epi8(4)));
        const __m512i r01 = _mm512_permutexvar_epi64(rowsInOrder, _mm512_unpacklo_epi8(low, high));
        const __m512i r23 = _mm512_permutexvar_epi64(rowsInOrder, _mm512_unpackhi_epi8(low, high));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_castsi512_si256(r01));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + stride),
                            _mm512_extracti64x4_epi64(r01, 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * stride),
                            _mm512_castsi512_si256(r23));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 3 * stride),
                            _mm512_extracti64x4_epi64(r23, 1));
    }
    if (n < count) {
        DecodeBlocksAvx2(blocks, count - n, out, stride, tables);
    }
}

void DecodeBlocks8Avx512(const std::uint8_t* blocks, std::size_t count, std::uint32_t* out,
                         std::size_t stride, const PaletteTables8& tables) {
    std::size_t n = 0;
    for (; n + 4 <= count; n += 4, blocks += 64, out += 16) {
        BlockTable8 t[4];
        for (int b = 0; b < 4; ++b) {
            t[b] = LookUpBlock8(blocks + 16 * b, tables);
        }
        const __m512i colours = _mm512_setr_epi64(
            static_cast<long long>(t[0].blueGreen), static_cast<long long>(t[0].red),
            static_cast<long long>(t[1].blueGreen), static_cast<long long>(t[1].red),
            static_cast<long long>(t[2].blueGreen), static_cast<long long>(t[2].red),
            static_cast<long long>(t[3].blueGreen), static_cast<long long>(t[3].red));
        const __m512i alphas = _mm512_setr_epi64(
            static_cast<long long>(t[0].alphas), 0, static_cast<long long>(t[1].alphas), 0,
            static_cast<long long>(t[2].alphas), 0, static_cast<long long>(t[3].alphas), 0);
        const __m512i x = _mm512_loadu_si512(blocks);
        const __m512i colour = ColourIndices(x);
        const __m512i blue = _mm512_shuffle_epi8(colours, colour);
        const __m512i green =
            _mm512_shuffle_epi8(colours, _mm512_or_si512(colour, _mm512_set1_epi8(4)));
        const __m512i red =
            _mm512_shuffle_epi8(colours, _mm512_or_si512(colour, _mm512_set1_epi8(8)));
        const __m512i alpha = _mm512_shuffle_epi8(alphas, AlphaIndices(x));
        // Per quarter as in the 128-bit kernel; row r of the four blocks is
        // then sixteen texels side by side.
        const __m512i bg01 = _mm512_unpacklo_epi8(blue, green);
        const __m512i ra01 = _mm512_unpacklo_epi8(red, alpha);
        const __m512i bg23 = _mm512_unpackhi_epi8(blue, green);
        const __m512i ra23 = _mm512_unpackhi_epi8(red, alpha);
        _mm512_storeu_si512(out, _mm512_unpacklo_epi16(bg01, ra01));
        _mm512_storeu_si512(out + stride, _mm512_unpackhi_epi16(bg01, ra01));
        _mm512_storeu_si512(out + 2 * stride, _mm512_unpacklo_epi16(bg23, ra23));
        _mm512_storeu_si512(out + 3 * stride, _mm512_unpackhi_epi16(bg23, ra23));
    }
    if (n < count) {
        DecodeBlocks8Avx2(blocks, count - n, out, stride, tables);
    }
}

}  // namespace marrowix::kernels
