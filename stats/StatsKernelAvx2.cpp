// The statistics' vector path: eight blocks' fields, end-point pairs, index
// counts and modes at once in AVX2 registers, then each block's counts
// added at its pairs.
#include <immintrin.h>

#include <cstring>

#include "stats/BlockStats.h"
#include "stats/KeyedCounts.h"

namespace marrowix::kernels {
namespace {

// Set bits in each 32-bit lane.
__m256i BitsSet(__m256i v) {
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1,
                                           2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i bytes = _mm256_add_epi8(
        _mm256_shuffle_epi8(table, _mm256_and_si256(v, nibble)),
        _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble)));
    return _mm256_madd_epi16(_mm256_maddubs_epi16(bytes, _mm256_set1_epi8(1)),
                             _mm256_set1_epi16(1));
}

int Lanes(__m256i mask) {
    return __builtin_popcount(static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(mask))));
}

// Each 32-bit lane's first byte whose count is not 0, copied to all four
// of its bytes.
__m256i FirstUsed(__m256i palette, __m256i control) {
    return _mm256_shuffle_epi8(palette, control);
}

// Each block's eight alphas, the decoder's (w0 x a0 + w1 x a1) / 7 or / 5
// (the quotient as a product's high half, exact over these sums), four in
// each of `low` and `high`.
void AlphaPalettes(__m256i a0, __m256i a1, __m256i& low, __m256i& high) {
    const __m256i eightValues = _mm256_cmpgt_epi32(a0, a1);
    auto weighted = [&](int w0, int w1, int reciprocal) {
        const __m256i sum = _mm256_add_epi16(_mm256_mullo_epi16(a0, _mm256_set1_epi32(w0)),
                                             _mm256_mullo_epi16(a1, _mm256_set1_epi32(w1)));
        return _mm256_mulhi_epu16(sum, _mm256_set1_epi32(reciprocal));
    };
    __m256i entry[8] = {a0, a1};
    for (int i = 2; i < 8; ++i) {
        const __m256i six = i <= 5   ? weighted(6 - i, i - 1, 13108)
                            : i == 6 ? _mm256_setzero_si256()
                                     : _mm256_set1_epi32(255);
        entry[i] = _mm256_blendv_epi8(six, weighted(8 - i, i - 1, 9363), eightValues);
    }
    low = _mm256_or_si256(
        _mm256_or_si256(entry[0], _mm256_slli_epi32(entry[1], 8)),
        _mm256_or_si256(_mm256_slli_epi32(entry[2], 16), _mm256_slli_epi32(entry[3], 24)));
    high = _mm256_or_si256(
        _mm256_or_si256(entry[4], _mm256_slli_epi32(entry[5], 8)),
        _mm256_or_si256(_mm256_slli_epi32(entry[6], 16), _mm256_slli_epi32(entry[7], 24)));
}

}  // namespace

void CountBlocksAvx2(const std::uint8_t* bytes, std::size_t groups, bool full, KeyedCounts& counts,
                     BlockTallies& tallies) {
    using namespace blockstats;
    const PaletteTables& t = Palettes();
    const std::uint64_t* alphaCountsOf = kAlphaCounts.data();
    const auto* five = reinterpret_cast<const int*>(t.five.data());
    const auto* six = reinterpret_cast<const int*>(t.six.data());
    std::uint32_t* red = counts.red.data();
    std::uint32_t* green = counts.green.data();
    std::uint32_t* blue = counts.blue.data();
    std::uint32_t* alpha = counts.alpha.data();
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i low5 = _mm256_set1_epi32(31);
    const __m256i low6 = _mm256_set1_epi32(63);
    const __m256i odd = _mm256_set1_epi32(0x55555555);
    const __m256i sixteen = _mm256_set1_epi32(16);
    const __m256i shown = _mm256_set1_epi32(full ? -1 : static_cast<int>(0xF0F0F0F0u));
    const __m256i laneBase = _mm256_setr_epi32(0, 4, 8, 12, 0, 4, 8, 12);
    // After the transposition below, lane j holds block kOrder[j].
    constexpr unsigned kOrder[8] = {0, 2, 4, 6, 1, 3, 5, 7};
    alignas(32) std::uint32_t redPair[8], greenPair[8], bluePair[8], used[8];
    alignas(32) std::uint8_t alphas[2][32];
    std::uint64_t eight = 0;
    std::uint64_t ascending = 0;
    std::uint64_t one = 0;
    for (std::size_t g = 0; g < groups; ++g, bytes += 8 * kBlockBytes) {
        // Two blocks a register; dword d of each block gathered into `d`.
        const auto* p = reinterpret_cast<const __m256i*>(bytes);
        const __m256i q0 = _mm256_loadu_si256(p);
        const __m256i q1 = _mm256_loadu_si256(p + 1);
        const __m256i q2 = _mm256_loadu_si256(p + 2);
        const __m256i q3 = _mm256_loadu_si256(p + 3);
        const __m256i t0 = _mm256_unpacklo_epi32(q0, q1);
        const __m256i t1 = _mm256_unpackhi_epi32(q0, q1);
        const __m256i t2 = _mm256_unpacklo_epi32(q2, q3);
        const __m256i t3 = _mm256_unpackhi_epi32(q2, q3);
        const __m256i d0 = _mm256_unpacklo_epi64(t0, t2);  // a0, a1, two bytes of indices
        const __m256i d2 = _mm256_unpacklo_epi64(t1, t3);  // c0, c1
        const __m256i d3 = _mm256_unpackhi_epi64(t1, t3);  // colour indices

        const __m256i a0 = _mm256_and_si256(d0, byte);
        const __m256i a1 = _mm256_and_si256(_mm256_srli_epi32(d0, 8), byte);
        eight += static_cast<std::uint64_t>(Lanes(_mm256_cmpgt_epi32(a0, a1)));
        const __m256i c0 = _mm256_and_si256(d2, _mm256_set1_epi32(0xFFFF));
        const __m256i c1 = _mm256_srli_epi32(d2, 16);
        ascending += static_cast<std::uint64_t>(8 - Lanes(_mm256_cmpgt_epi32(c0, c1)));

        const __m256i kr = _mm256_or_si256(_mm256_slli_epi32(_mm256_srli_epi32(c0, 11), 5),
                                           _mm256_srli_epi32(c1, 11));
        const __m256i kg =
            _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(_mm256_srli_epi32(c0, 5), low6), 6),
                            _mm256_and_si256(_mm256_srli_epi32(c1, 5), low6));
        const __m256i kb = _mm256_or_si256(_mm256_slli_epi32(_mm256_and_si256(c0, low5), 5),
                                           _mm256_and_si256(c1, low5));
        _mm256_store_si256(reinterpret_cast<__m256i*>(redPair), kr);
        _mm256_store_si256(reinterpret_cast<__m256i*>(greenPair), kg);
        _mm256_store_si256(reinterpret_cast<__m256i*>(bluePair), kb);
        __m256i lowAlphas;
        __m256i highAlphas;
        AlphaPalettes(a0, a1, lowAlphas, highAlphas);
        _mm256_store_si256(reinterpret_cast<__m256i*>(alphas[0]), lowAlphas);
        _mm256_store_si256(reinterpret_cast<__m256i*>(alphas[1]), highAlphas);

        // How many texels index each colour, a byte each: index 3 has both
        // bits set, 2 the high one only, 1 the low one only.
        const __m256i low = _mm256_and_si256(d3, odd);
        const __m256i high = _mm256_and_si256(_mm256_srli_epi32(d3, 1), odd);
        const __m256i n3 = BitsSet(_mm256_and_si256(low, high));
        const __m256i n2 = _mm256_sub_epi32(BitsSet(high), n3);
        const __m256i n1 = _mm256_sub_epi32(BitsSet(low), n3);
        const __m256i n0 =
            _mm256_sub_epi32(sixteen, _mm256_add_epi32(_mm256_add_epi32(n1, n2), n3));
        const __m256i packed =
            _mm256_or_si256(_mm256_or_si256(n0, _mm256_slli_epi32(n1, 8)),
                            _mm256_or_si256(_mm256_slli_epi32(n2, 16), _mm256_slli_epi32(n3, 24)));
        _mm256_store_si256(reinterpret_cast<__m256i*>(used), packed);

        // One colour: every used entry shows what the first used one does.
        const __m256i zero = _mm256_setzero_si256();
        const __m256i skipped = _mm256_add_epi32(
            _mm256_add_epi32(_mm256_cmpeq_epi32(n0, zero),
                             _mm256_cmpeq_epi32(_mm256_add_epi32(n0, n1), zero)),
            _mm256_cmpeq_epi32(_mm256_add_epi32(_mm256_add_epi32(n0, n1), n2), zero));
        const __m256i control =
            _mm256_mullo_epi32(_mm256_sub_epi32(laneBase, skipped), _mm256_set1_epi32(0x01010101));
        const __m256i pr = _mm256_i32gather_epi32(five, kr, 4);
        const __m256i pg = _mm256_i32gather_epi32(six, kg, 4);
        const __m256i pb = _mm256_i32gather_epi32(five, kb, 4);
        const __m256i differ = _mm256_and_si256(
            _mm256_or_si256(_mm256_or_si256(_mm256_xor_si256(pr, FirstUsed(pr, control)),
                                            _mm256_xor_si256(pg, FirstUsed(pg, control))),
                            _mm256_xor_si256(pb, FirstUsed(pb, control))),
            shown);
        const __m256i usedBytes =
            _mm256_andnot_si256(_mm256_cmpeq_epi8(packed, zero), _mm256_set1_epi8(-1));
        one += static_cast<std::uint64_t>(
            Lanes(_mm256_cmpeq_epi32(_mm256_and_si256(differ, usedBytes), zero)));

        for (unsigned j = 0; j < 8; ++j) {
            const __m128i colour = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(used[j])));
            for (std::uint32_t* at :
                 {red + 4 * redPair[j], green + 4 * greenPair[j], blue + 4 * bluePair[j]}) {
                auto* slot = reinterpret_cast<__m128i*>(at);
                _mm_storeu_si128(slot, _mm_add_epi32(_mm_loadu_si128(slot), colour));
            }
            std::uint64_t head;
            std::memcpy(&head, bytes + kOrder[j] * kBlockBytes, 8);
            const std::uint64_t indices = head >> 16;
            const std::uint64_t alphaCounts =
                alphaCountsOf[indices & 4095] + alphaCountsOf[(indices >> 12) & 4095] +
                alphaCountsOf[(indices >> 24) & 4095] + alphaCountsOf[indices >> 36];
            for (unsigned i = 0; i < 8; ++i) {
                alpha[256 * i + alphas[i / 4][4 * j + i % 4]] += (alphaCounts >> (8 * i)) & 255;
            }
        }
    }
    tallies.alphaEight += eight;
    tallies.threeColourOrder += ascending;
    tallies.oneColour += one;
}

}  // namespace marrowix::kernels
