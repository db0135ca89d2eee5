// Whole blocks two at a time, one in each 128-bit half of a 256-bit
// register (AVX2 shuffles work within the halves).
#include <immintrin.h>

#include "decode/BlockKernels.h"

namespace marrowix::kernels {
namespace {

inline __m256i Twice(__m128i x) {
    return _mm256_broadcastsi128_si256(x);
}

// See the 128-bit kernel: colour indices from bytes 12-15, two bits a texel.
inline __m256i ColourIndices(__m256i x) {
    const __m256i spread = _mm256_shuffle_epi8(
        x, Twice(_mm_setr_epi8(12, 12, 12, 12, 13, 13, 13, 13, 14, 14, 14, 14, 15, 15, 15, 15)));
    const __m256i low = _mm256_set1_epi32(0x40100401);
    const __m256i high = _mm256_set1_epi32(-0x7FDFF7FE);  // 0x80200802
    const __m256i bit0 = _mm256_cmpeq_epi8(_mm256_and_si256(spread, low), low);
    const __m256i bit1 = _mm256_cmpeq_epi8(_mm256_and_si256(spread, high), high);
    return _mm256_or_si256(_mm256_and_si256(bit0, _mm256_set1_epi8(1)),
                           _mm256_and_si256(bit1, _mm256_set1_epi8(2)));
}

// Alpha indices, bits 16 + 3k to 18 + 3k, bit by bit.
inline __m256i AlphaIndices(__m256i x) {
    const __m256i bytes[3] = {Twice(_mm_setr_epi8(2, 2, 2, 3, 3, 3, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7)),
                              Twice(_mm_setr_epi8(2, 2, 2, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 7, 7, 7)),
                              Twice(_mm_setr_epi8(2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 6, 6, 6, 7, 7, 7))};
    const __m256i masks[3] = {
        Twice(_mm_setr_epi8(1, 8, 64, 2, 16, -128, 4, 32, 1, 8, 64, 2, 16, -128, 4, 32)),
        Twice(_mm_setr_epi8(2, 16, -128, 4, 32, 1, 8, 64, 2, 16, -128, 4, 32, 1, 8, 64)),
        Twice(_mm_setr_epi8(4, 32, 1, 8, 64, 2, 16, -128, 4, 32, 1, 8, 64, 2, 16, -128))};
    __m256i indices = _mm256_setzero_si256();
    for (int j = 0; j < 3; ++j) {
        const __m256i spread = _mm256_shuffle_epi8(x, bytes[j]);
        const __m256i set = _mm256_cmpeq_epi8(_mm256_and_si256(spread, masks[j]), masks[j]);
        indices = _mm256_or_si256(
            indices, _mm256_and_si256(set, _mm256_set1_epi8(static_cast<char>(1 << j))));
    }
    return indices;
}

}  // namespace

void DecodeBlocksAvx2(const std::uint8_t* blocks, std::size_t count, std::uint16_t* out,
                      std::size_t stride, const PaletteTables& tables) {
    std::size_t n = 0;
    for (; n + 2 <= count; n += 2, blocks += 32, out += 8) {
        const BlockTable t0 = LookUpBlock(blocks, tables);
        const BlockTable t1 = LookUpBlock(blocks + 16, tables);
        const __m256i table = _mm256_set_epi64x(
            static_cast<long long>(t1.alphas), static_cast<long long>(t1.colours),
            static_cast<long long>(t0.alphas), static_cast<long long>(t0.colours));
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blocks));
        const __m256i colour = ColourIndices(x);
        const __m256i alpha = _mm256_or_si256(AlphaIndices(x), _mm256_set1_epi8(8));
        const __m256i low =
            _mm256_or_si256(_mm256_shuffle_epi8(table, colour), _mm256_shuffle_epi8(table, alpha));
        const __m256i high =
            _mm256_shuffle_epi8(table, _mm256_or_si256(colour, _mm256_set1_epi8(4)));
        // Per half: rows 0 and 1 of its block, then rows 2 and 3.
        const __m256i rows01 = _mm256_unpacklo_epi8(low, high);
        const __m256i rows23 = _mm256_unpackhi_epi8(low, high);
        // Row r of both blocks side by side.
        const __m256i r01 = _mm256_permute4x64_epi64(rows01, 0xD8);  // 0, 2, 1, 3
        const __m256i r23 = _mm256_permute4x64_epi64(rows23, 0xD8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(r01));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + stride),
                         _mm256_extracti128_si256(r01, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * stride), _mm256_castsi256_si128(r23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * stride),
                         _mm256_extracti128_si256(r23, 1));
    }
    if (n < count) {
        DecodeBlocksSse41(blocks, count - n, out, stride, tables);
    }
}

void DecodeBlocks8Avx2(const std::uint8_t* blocks, std::size_t count, std::uint32_t* out,
                       std::size_t stride, const PaletteTables8& tables) {
    std::size_t n = 0;
    for (; n + 2 <= count; n += 2, blocks += 32, out += 8) {
        const BlockTable8 t0 = LookUpBlock8(blocks, tables);
        const BlockTable8 t1 = LookUpBlock8(blocks + 16, tables);
        const __m256i colours =
            _mm256_set_epi64x(static_cast<long long>(t1.red), static_cast<long long>(t1.blueGreen),
                              static_cast<long long>(t0.red), static_cast<long long>(t0.blueGreen));
        const __m256i alphas = _mm256_set_epi64x(0, static_cast<long long>(t1.alphas), 0,
                                                 static_cast<long long>(t0.alphas));
        const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(blocks));
        const __m256i colour = ColourIndices(x);
        const __m256i blue = _mm256_shuffle_epi8(colours, colour);
        const __m256i green =
            _mm256_shuffle_epi8(colours, _mm256_or_si256(colour, _mm256_set1_epi8(4)));
        const __m256i red =
            _mm256_shuffle_epi8(colours, _mm256_or_si256(colour, _mm256_set1_epi8(8)));
        const __m256i alpha = _mm256_shuffle_epi8(alphas, AlphaIndices(x));
        // Per half as in the 128-bit kernel; row r of the two blocks is then
        // eight texels side by side.
        const __m256i bg01 = _mm256_unpacklo_epi8(blue, green);
        const __m256i ra01 = _mm256_unpacklo_epi8(red, alpha);
        const __m256i bg23 = _mm256_unpackhi_epi8(blue, green);
        const __m256i ra23 = _mm256_unpackhi_epi8(red, alpha);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_unpacklo_epi16(bg01, ra01));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + stride),
                            _mm256_unpackhi_epi16(bg01, ra01));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * stride),
                            _mm256_unpacklo_epi16(bg23, ra23));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 3 * stride),
                            _mm256_unpackhi_epi16(bg23, ra23));
    }
    if (n < count) {
        DecodeBlocks8Sse41(blocks, count - n, out, stride, tables);
    }
}

}  // namespace marrowix::kernels
