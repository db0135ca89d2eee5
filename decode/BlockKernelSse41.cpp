// Whole blocks one at a time in 128-bit registers (SSSE3 byte shuffles).
#include <immintrin.h>

#include "decode/BlockKernels.h"

namespace marrowix::kernels {
namespace {

// The colour index (0-3) of each texel k of a block loaded into `x`: byte k
// of the result. The indices lie in bytes 12-15, two bits a texel.
inline __m128i ColourIndices(__m128i x) {
    const __m128i spread = _mm_shuffle_epi8(
        x, _mm_setr_epi8(12, 12, 12, 12, 13, 13, 13, 13, 14, 14, 14, 14, 15, 15, 15, 15));
    const __m128i low = _mm_set1_epi32(0x40100401);    // bit 2k of each byte's texel
    const __m128i high = _mm_set1_epi32(-0x7FDFF7FE);  // 0x80200802: bit 2k + 1
    const __m128i bit0 = _mm_cmpeq_epi8(_mm_and_si128(spread, low), low);
    const __m128i bit1 = _mm_cmpeq_epi8(_mm_and_si128(spread, high), high);
    return _mm_or_si128(_mm_and_si128(bit0, _mm_set1_epi8(1)),
                        _mm_and_si128(bit1, _mm_set1_epi8(2)));
}

// The alpha index (0-7) of each texel: bits 16 + 3k to 18 + 3k of the
// block, bit by bit: the byte that holds the bit, and the bit in it.
inline __m128i AlphaIndices(__m128i x) {
    const __m128i bytes[3] = {_mm_setr_epi8(2, 2, 2, 3, 3, 3, 4, 4, 5, 5, 5, 6, 6, 6, 7, 7),
                              _mm_setr_epi8(2, 2, 2, 3, 3, 4, 4, 4, 5, 5, 5, 6, 6, 7, 7, 7),
                              _mm_setr_epi8(2, 2, 3, 3, 3, 4, 4, 4, 5, 5, 6, 6, 6, 7, 7, 7)};
    const __m128i masks[3] = {
        _mm_setr_epi8(1, 8, 64, 2, 16, -128, 4, 32, 1, 8, 64, 2, 16, -128, 4, 32),
        _mm_setr_epi8(2, 16, -128, 4, 32, 1, 8, 64, 2, 16, -128, 4, 32, 1, 8, 64),
        _mm_setr_epi8(4, 32, 1, 8, 64, 2, 16, -128, 4, 32, 1, 8, 64, 2, 16, -128)};
    __m128i indices = _mm_setzero_si128();
    for (int j = 0; j < 3; ++j) {
        const __m128i spread = _mm_shuffle_epi8(x, bytes[j]);
        const __m128i set = _mm_cmpeq_epi8(_mm_and_si128(spread, masks[j]), masks[j]);
        indices =
            _mm_or_si128(indices, _mm_and_si128(set, _mm_set1_epi8(static_cast<char>(1 << j))));
    }
    return indices;
}

}  // namespace

void DecodeBlocksSse41(const std::uint8_t* blocks, std::size_t count, std::uint16_t* out,
                       std::size_t stride, const PaletteTables& tables) {
    for (std::size_t n = 0; n < count; ++n, blocks += 16, out += 4) {
        const BlockTable t = LookUpBlock(blocks, tables);
        const __m128i table =
            _mm_set_epi64x(static_cast<long long>(t.alphas), static_cast<long long>(t.colours));
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks));
        const __m128i colour = ColourIndices(x);
        const __m128i alpha = _mm_or_si128(AlphaIndices(x), _mm_set1_epi8(8));
        const __m128i low =
            _mm_or_si128(_mm_shuffle_epi8(table, colour), _mm_shuffle_epi8(table, alpha));
        const __m128i high = _mm_shuffle_epi8(table, _mm_or_si128(colour, _mm_set1_epi8(4)));
        const __m128i rows01 = _mm_unpacklo_epi8(low, high);
        const __m128i rows23 = _mm_unpackhi_epi8(low, high);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), rows01);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + stride), _mm_srli_si128(rows01, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * stride), rows23);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 3 * stride), _mm_srli_si128(rows23, 8));
    }
}

void DecodeBlocks8Sse41(const std::uint8_t* blocks, std::size_t count, std::uint32_t* out,
                        std::size_t stride, const PaletteTables8& tables) {
    for (std::size_t n = 0; n < count; ++n, blocks += 16, out += 4) {
        const BlockTable8 t = LookUpBlock8(blocks, tables);
        const __m128i colours =
            _mm_set_epi64x(static_cast<long long>(t.red), static_cast<long long>(t.blueGreen));
        const __m128i alphas = _mm_set_epi64x(0, static_cast<long long>(t.alphas));
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks));
        const __m128i colour = ColourIndices(x);
        const __m128i blue = _mm_shuffle_epi8(colours, colour);
        const __m128i green = _mm_shuffle_epi8(colours, _mm_or_si128(colour, _mm_set1_epi8(4)));
        const __m128i red = _mm_shuffle_epi8(colours, _mm_or_si128(colour, _mm_set1_epi8(8)));
        const __m128i alpha = _mm_shuffle_epi8(alphas, AlphaIndices(x));
        // Texels 0-7 and 8-15 as blue, green pairs and red, alpha pairs,
        // then each texel's four bytes: rows 0 to 3.
        const __m128i bg01 = _mm_unpacklo_epi8(blue, green);
        const __m128i ra01 = _mm_unpacklo_epi8(red, alpha);
        const __m128i bg23 = _mm_unpackhi_epi8(blue, green);
        const __m128i ra23 = _mm_unpackhi_epi8(red, alpha);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(bg01, ra01));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + stride), _mm_unpackhi_epi16(bg01, ra01));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * stride),
                         _mm_unpacklo_epi16(bg23, ra23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * stride),
                         _mm_unpackhi_epi16(bg23, ra23));
    }
}

}  // namespace marrowix::kernels
