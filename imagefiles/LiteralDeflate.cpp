#include "imagefiles/LiteralDeflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

namespace marrowix {
namespace {

// The literal/length alphabet used: the 256 bytes and end-of-block.
constexpr unsigned kSymbols = 257;
constexpr unsigned kEndOfBlock = 256;
// Every block declares two distance codes of one bit (none is used): a
// complete code, which every decoder takes.
constexpr unsigned kDistanceCodes = 2;
// The order the code-length code's lengths are stored in.
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// Bits, least significant first, into a buffer sized beforehand.
class BitWriter {
public:
    explicit BitWriter(std::uint8_t* out) : m_out(out) {}

    // Up to 32 bits at once.
    void Put(std::uint32_t bits, unsigned count) {
        m_bits |= std::uint64_t{bits} << m_count;
        m_count += count;
        if (m_count >= 32) {
            const auto low = static_cast<std::uint32_t>(m_bits);
            for (int i = 0; i < 4; ++i) {
                *m_out++ = static_cast<std::uint8_t>(low >> (8 * i));
            }
            m_bits >>= 32;
            m_count -= 32;
        }
    }

    // The bits left, padded with zeros to a byte; the end of what was written.
    std::uint8_t* Finish() {
        while (m_count > 0) {
            *m_out++ = static_cast<std::uint8_t>(m_bits);
            m_bits >>= 8;
            m_count = m_count > 8 ? m_count - 8 : 0;
        }
        return m_out;
    }

private:
    std::uint8_t* m_out;
    std::uint64_t m_bits = 0;
    unsigned m_count = 0;
};

// Canonical codes of the lengths (RFC 1951, 3.2.2), bit-reversed so that
// they go out least significant bit first.
template <std::size_t N>
std::array<std::uint16_t, N> CanonicalCodes(const std::array<std::uint8_t, N>& lengths) {
    std::array<unsigned, 16> perLength{};
    for (const std::uint8_t l : lengths) {
        ++perLength[l];
    }
    perLength[0] = 0;
    std::array<unsigned, 16> next{};
    for (unsigned bits = 1, code = 0; bits < 16; ++bits) {
        code = (code + perLength[bits - 1]) << 1;
        next[bits] = code;
    }
    std::array<std::uint16_t, N> codes{};
    for (std::size_t s = 0; s < N; ++s) {
        if (lengths[s] != 0) {
            unsigned code = next[lengths[s]]++;
            unsigned reversed = 0;
            for (unsigned b = 0; b < lengths[s]; ++b, code >>= 1) {
                reversed = reversed << 1 | (code & 1);
            }
            codes[s] = static_cast<std::uint16_t>(reversed);
        }
    }
    return codes;
}

// One block's codes: its literals' and its code-length code's.
struct BlockCodes {
    std::array<std::uint8_t, kSymbols> lengths{};
    std::array<std::uint8_t, 19> codeLengthLengths{};
    unsigned storedCodeLengths = 4;  // HCLEN + 4
    std::size_t bits = 0;            // the whole block's
};

BlockCodes MakeCodes(std::span<const std::uint8_t> data) {
    // Four tables, so that runs of one byte do not wait on one counter.
    std::array<std::array<std::uint32_t, 256>, 4> partial{};
    std::size_t i = 0;
    for (; i + 4 <= data.size(); i += 4) {
        ++partial[0][data[i]];
        ++partial[1][data[i + 1]];
        ++partial[2][data[i + 2]];
        ++partial[3][data[i + 3]];
    }
    for (; i < data.size(); ++i) {
        ++partial[0][data[i]];
    }
    std::array<std::uint32_t, kSymbols> counts{};
    for (unsigned b = 0; b < 256; ++b) {
        counts[b] = partial[0][b] + partial[1][b] + partial[2][b] + partial[3][b];
    }
    counts[kEndOfBlock] = 1;
    BlockCodes c;
    PrefixCodeLengths(counts, 15, c.lengths);
    std::array<std::uint32_t, 19> lengthCounts{};
    for (const std::uint8_t l : c.lengths) {
        ++lengthCounts[l];
    }
    lengthCounts[1] += kDistanceCodes;
    PrefixCodeLengths(lengthCounts, 7, c.codeLengthLengths);
    c.storedCodeLengths = 19;
    while (c.storedCodeLengths > 4 &&
           c.codeLengthLengths[kCodeLengthOrder[c.storedCodeLengths - 1]] == 0) {
        --c.storedCodeLengths;
    }
    c.bits = 3 + 5 + 5 + 4 + 3 * std::size_t{c.storedCodeLengths};
    for (unsigned l = 0; l < 16; ++l) {
        c.bits += std::size_t{lengthCounts[l]} * c.codeLengthLengths[l];
    }
    for (unsigned s = 0; s < kSymbols; ++s) {
        c.bits += std::size_t{counts[s]} * c.lengths[s];
    }
    return c;
}

// One block: its header, its bytes, end-of-block.
void WriteBlock(BitWriter& out, std::span<const std::uint8_t> data, const BlockCodes& c,
                bool final) {
    out.Put(final ? 1 : 0, 1);
    out.Put(2, 2);  // dynamic Huffman codes
    out.Put(kSymbols - 257, 5);
    out.Put(kDistanceCodes - 1, 5);
    out.Put(c.storedCodeLengths - 4, 4);
    for (unsigned k = 0; k < c.storedCodeLengths; ++k) {
        out.Put(c.codeLengthLengths[kCodeLengthOrder[k]], 3);
    }
    const auto lengthCodes = CanonicalCodes(c.codeLengthLengths);
    for (const std::uint8_t l : c.lengths) {
        out.Put(lengthCodes[l], c.codeLengthLengths[l]);
    }
    for (unsigned d = 0; d < kDistanceCodes; ++d) {
        out.Put(lengthCodes[1], c.codeLengthLengths[1]);
    }
    const auto codes = CanonicalCodes(c.lengths);
    // Two bytes a call: at most 30 bits.
    std::array<std::uint32_t, 256> code{};
    std::array<std::uint8_t, 256> length{};
    for (unsigned b = 0; b < 256; ++b) {
        code[b] = codes[b];
        length[b] = c.lengths[b];
    }
    std::size_t i = 0;
    for (; i + 2 <= data.size(); i += 2) {
        const std::uint8_t a = data[i];
        const std::uint8_t b = data[i + 1];
        out.Put(code[a] | code[b] << length[a], length[a] + length[b]);
    }
    for (; i < data.size(); ++i) {
        out.Put(code[data[i]], length[data[i]]);
    }
    out.Put(codes[kEndOfBlock], c.lengths[kEndOfBlock]);
}

}  // namespace

void PrefixCodeLengths(std::span<const std::uint32_t> counts, unsigned maxBits,
                       std::span<std::uint8_t> lengths) {
    std::fill(lengths.begin(), lengths.end(), std::uint8_t{0});
    std::vector<unsigned> used;
    for (unsigned s = 0; s < counts.size(); ++s) {
        if (counts[s] != 0) {
            used.push_back(s);
        }
    }
    if (used.size() < 2) {
        const unsigned a = used.empty() ? 0 : used[0];
        lengths[a] = 1;
        lengths[a == 0 ? 1 : 0] = 1;
        return;
    }
    // Huffman's code by two queues: the leaves by rising count, then the
    // nodes in the order they are made, which is also by rising weight.
    std::stable_sort(used.begin(), used.end(),
                     [&](unsigned a, unsigned b) { return counts[a] < counts[b]; });
    const std::size_t m = used.size();
    std::vector<std::uint64_t> weight(2 * m - 1);
    std::vector<std::size_t> parent(2 * m - 1, 0);
    for (std::size_t k = 0; k < m; ++k) {
        weight[k] = counts[used[k]];
    }
    std::size_t leaf = 0;
    std::size_t node = m;
    for (std::size_t next = m; next < 2 * m - 1; ++next) {
        auto take = [&] {
            return leaf < m && (node >= next || weight[leaf] <= weight[node]) ? leaf++ : node++;
        };
        const std::size_t a = take();
        const std::size_t b = take();
        weight[next] = weight[a] + weight[b];
        parent[a] = parent[b] = next;
    }
    std::vector<unsigned> depth(2 * m - 1, 0);
    std::vector<unsigned> perLength(m + 1, 0);
    for (std::size_t k = 2 * m - 1; k-- > 0;) {
        depth[k] = k == 2 * m - 2 ? 0 : depth[parent[k]] + 1;
        if (k < m) {
            ++perLength[depth[k]];
        }
    }
    // Too long: a pair at the deepest level becomes one code a level up,
    // and a shorter code becomes two a level down; the code stays complete.
    for (std::size_t bits = m; bits > maxBits; --bits) {
        while (perLength[bits] > 0) {
            std::size_t j = bits - 2;
            while (perLength[j] == 0) {
                --j;
            }
            perLength[bits] -= 2;
            perLength[bits - 1] += 1;
            perLength[j + 1] += 2;
            perLength[j] -= 1;
        }
    }
    // The longest codes to the rarest symbols.
    std::size_t k = 0;
    for (std::size_t bits = std::min<std::size_t>(m, maxBits); bits >= 1; --bits) {
        for (unsigned n = 0; n < perLength[bits]; ++n) {
            lengths[used[k++]] = static_cast<std::uint8_t>(bits);
        }
    }
}

void DeflateLiterals(std::span<const std::uint8_t> data, bool final,
                     std::vector<std::uint8_t>& out) {
    // A block's bytes take at most 15 bits each; its header at most 1,900.
    const std::size_t blocks =
        std::max<std::size_t>(1, (data.size() + kLiteralBlockBytes - 1) / kLiteralBlockBytes);
    const std::size_t start = out.size();
    out.resize(start + data.size() * 2 + blocks * 256 + 16);
    BitWriter bits(out.data() + start);
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::span<const std::uint8_t> piece =
            data.subspan(b * kLiteralBlockBytes,
                         std::min(kLiteralBlockBytes,
                                  data.size() - std::min(data.size(), b * kLiteralBlockBytes)));
        WriteBlock(bits, piece, MakeCodes(piece), final && b + 1 == blocks);
    }
    if (!final) {
        bits.Put(0, 3);  // a stored block, not final, of no bytes
    }
    std::uint8_t* end = bits.Finish();
    if (!final) {
        for (const std::uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) {
            *end++ = b;
        }
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::size_t LiteralDeflateBytes(std::span<const std::uint8_t> data) {
    std::size_t bits = 0;
    for (std::size_t at = 0; at < data.size(); at += kLiteralBlockBytes) {
        bits += MakeCodes(data.subspan(at, std::min(kLiteralBlockBytes, data.size() - at))).bits;
    }
    return (bits + 7) / 8;
}

}  // namespace marrowix
